// The verdict of the profile check as data, and its three forms: the text lines, the vk_profiles
// element of the XML report and the JSON document, each bounded like the reports.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "profiles/document.h"

// ---- What a device does not meet ----

enum class LineKind : uint8_t {
    Unmet,    // required and device hold the two values
    Unknown,  // a name this build does not know
    Problem,  // device holds what is wrong: "not a properties structure", "not supported"
};

struct Line {
    LineKind kind;
    std::string where;
    std::string required;
    std::string device;
    std::string capability;  // the capability it comes from, with its alternative
};

// One profile on one device.
struct PairResult {
    bool met = false;
    uint64_t unmet = 0;       // requirements not met, listed or not
    std::vector<Line> lines;  // the listed ones
};

struct ProfileVerdict {
    bool supported = false;
    std::vector<PairResult> devices;  // per device, as far as the verdict could keep them
};

// The verdict of every profile, in the order of the documents, on every device.
struct Verdict {
    std::vector<ProfileVerdict> profiles;
    std::vector<std::string> device_names;
    uint64_t unmet = 0;  // of every profile on every device
};

// Writes the verdict of the profiles, in order, to text_report, xml_report and
// profile_json_report, each at most about most_report_bytes: the profiles and devices past that
// are left out, with a last line that counts their unmet requirements. supported tells whether
// every profile is met by some device.
void write_profile_verdict(const Verdict& verdict, const std::vector<Profile>& profiles,
                           bool supported);
