// What the tests share: the program's fixed texts, running the real binary, an XML parser and
// the in-process fake driver.
#pragma once

#include <string>
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
