// What the tests share: the program's fixed texts, running the real binary, an XML parser and
// the in-process fake driver.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "report/report.h"
#include "vulkan/entry_points.h"

// The envelope, byte for byte.
extern const std::string text_header;
extern const std::string text_footer;
extern const std::string help_screen;
extern const std::string xml_prolog;
extern const std::string xml_epilogue;

// The devices section for the fake driver's one sample device, with a limits listing (or none)
// after its extensions.
std::string sample_devices_text(const std::string& limits);
std::string sample_devices_xml(const std::string& limits);

struct ProgramRun {
    std::string out;
    std::string err;
    int status = -1;     // exit status, or 128 + signal
    long peak_kib = -1;  // the most memory the program held, in KiB
};

// Runs a program with extra environment entries ("NAME=value") and returns what it printed. A
// non-blocking standard output is read only after a pause, so that the program finds it full.
ProgramRun run_program(const std::string& path, const std::vector<std::string>& args,
                       const std::vector<std::string>& environment = {},
                       bool nonblocking_output = false);

// Runs the brisol binary against the fake loader library, in the given scenario.
ProgramRun run_with_fake_loader(const std::vector<std::string>& args,
                                const std::string& scenario = "sample");

// Parses a whole document with libxml2 and validates it against the report's schema; returns
// the first error, or "" when the document is well-formed and valid.
std::string xml_error(const std::string& document);

// Points every entry of the program's Vulkan table at the fake driver and resets the fake.
void install_fake_driver();

// A loader for in-process report runs: binding installs the fake driver, releasing does nothing.
extern const VulkanLoader fake_vulkan_loader;

// Every way a Node Feature Discovery feature file breaks Kubernetes' label rules or what NFD
// reads, one a line; "" when it keeps them all. A name is at most 63 characters of
// [A-Za-z0-9._-] beginning and ending with a letter or digit, without a namespace of its own
// (NFD puts one in front); a value is the same or empty; no name comes twice; the file is at
// most 64 KiB of whole lines.
std::string label_file_faults(const std::string& file);

// The labels of a feature file, in their order.
std::vector<std::pair<std::string, std::string>> labels_of(const std::string& file);

struct MetricSample {
    std::string name;
    std::vector<std::pair<std::string, std::string>> labels;  // values unescaped
    std::string value;
};

// Reads a Prometheus text exposition as the format says, with the program's own promises: each
// family once, whole, with HELP and TYPE lines before its samples, no series twice, and the
// whole text UTF-8. Every way the text breaks them goes to faults, one a line.
std::vector<MetricSample> samples_of(const std::string& exposition, std::string& faults);

// Between these, what this process allocates is left out of LeakSanitizer's check, where the
// tests run under it (nothing happens elsewhere): a driver that reports its devices in process
// may leave allocations behind that the check cannot see it still holds. Mesa's lavapipe leaves
// one when a logical device is made, and is unloaded before the check, which then can neither
// name nor suppress it. Calls nest.
void begin_driver_leaks_ignored();
void end_driver_leaks_ignored();

// Counts the occurrences of a text.
size_t count_of(const std::string& haystack, const std::string& needle);

// The bytes a stream gained since the mark was taken.
struct StreamMark {
    size_t text = text_report.size();
    size_t xml = xml_report.size();
    std::string new_text() const {
        return text_report.substr(text);
    }
    std::string new_xml() const {
        return xml_report.substr(xml);
    }
};

struct DeviceFacts;

// Every value of a device's facts that a Vulkan Profiles document can carry, one line each
// ("features VkPhysicalDeviceVulkan12Features.drawIndirectCount: 1", "format VK_FORMAT_R8_UNORM
// VkFormatProperties3.linearTilingFeatures: ..."), written by the walker: two sources of the same
// device give the same lines. The extensions are those the registry names.
std::vector<std::string> facts_lines(const DeviceFacts& facts);
