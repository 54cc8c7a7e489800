#include "views/labels.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

ReportStream labels_report;

namespace {

// Kubernetes' limit for a label's name (after the prefix) and for its value.
constexpr size_t most_label_characters = 63;
// NFD leaves a feature file larger than this unread.
constexpr size_t most_feature_file_bytes = 65536;

const char profile_prefix[] = "vulkan.profile.";

bool letter_or_digit(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

bool label_character(char c) {
    return letter_or_digit(c) || c == '.' || c == '_' || c == '-';
}

// The text in a label's alphabet: each run of other bytes becomes one '_', and the result
// begins and ends with a letter or digit and holds at most most characters. "" when the text
// holds no letter or digit.
std::string label_text(const std::string& text, size_t most) {
    std::string mapped;
    bool replacing = false;
    for (const char c : text) {
        if (label_character(c)) {
            mapped += c;
            replacing = false;
        } else if (!replacing) {
            mapped += '_';
            replacing = true;
        }
    }
    size_t begin = 0;
    while (begin < mapped.size() && !letter_or_digit(mapped[begin])) {
        ++begin;
    }
    mapped = mapped.substr(begin, most);
    while (!mapped.empty() && !letter_or_digit(mapped.back())) {
        mapped.pop_back();
    }
    return mapped;
}

// One line; the name is the program's own or already mapped, the value is mapped here.
void add_label(std::string& lines, const std::string& name, const std::string& value) {
    lines += name;
    lines += '=';
    lines += label_text(value, most_label_characters);
    lines += '\n';
}

// A version as "major.minor": the part of the full text before its second dot.
std::string major_minor(uint32_t version) {
    const std::string full = version_text(version).text;
    return full.substr(0, full.rfind('.'));
}

// Device-local memory in whole GiB, rounded to the nearest, so that a 24 GB card whose heap is
// a few MiB short still reads 24.
std::string gibibytes(uint64_t bytes) {
    return std::to_string((bytes >> 30) + ((bytes >> 29) & 1));
}

// Appends a group of lines whole when the file stays within what NFD reads; false, with nothing
// appended, when it would not.
bool add_group(const std::string& lines) {
    if (labels_report.size() + lines.size() > most_feature_file_bytes) {
        return false;
    }
    labels_report += lines;
    return true;
}

// One label a profile name; profiles whose names map to the same label share it, true only when
// every one of them is supported, so that a node selector never picks a node that lacks one.
void add_profile_labels(const std::vector<ProfileSupport>& profiles) {
    std::vector<std::pair<std::string, bool>> labels;
    for (const ProfileSupport& profile : profiles) {
        const std::string part =
            label_text(profile.name, most_label_characters - (sizeof profile_prefix - 1));
        if (part.empty()) {
            continue;
        }
        const std::string name = profile_prefix + part;
        size_t at = 0;
        while (at < labels.size() && labels[at].first != name) {
            ++at;
        }
        if (at == labels.size()) {
            labels.emplace_back(name, profile.supported);
        } else {
            labels[at].second = labels[at].second && profile.supported;
        }
    }
    for (const auto& [name, supported] : labels) {
        std::string line;
        add_label(line, name, supported ? "true" : "false");
        add_group(line);
    }
}

std::string device_labels(uint32_t number, const DeviceSummary& device) {
    const std::string prefix = "vulkan.device." + std::to_string(number) + ".";
    std::string lines;
    add_label(lines, prefix + "name", device.name);
    add_label(lines, prefix + "type", device.type);
    add_label(lines, prefix + "vendor-id", hex_id(device.vendor_id));
    add_label(lines, prefix + "device-id", hex_id(device.device_id));
    add_label(lines, prefix + "api-version", major_minor(device.api_version));
    add_label(lines, prefix + "driver", device.driver);
    add_label(lines, prefix + "driver-version", device.driver_version.text);
    add_label(lines, prefix + "local-memory-gib", gibibytes(device_local_bytes(device)));
    return lines;
}

}  // namespace

void write_labels(const NodeFacts& facts, const std::vector<ProfileSupport>& profiles) {
    labels_report.clear();
    std::string lines;
    add_label(lines, "vulkan.present", facts.devices.empty() ? "false" : "true");
    add_label(lines, "vulkan.devices", std::to_string(facts.devices.size()));
    if (!facts.devices.empty()) {
        add_label(lines, "vulkan.api-version", major_minor(highest_api_version(facts)));
    }
    if (facts.loader_found) {
        add_label(lines, "vulkan.loader-version", version_text(facts.loader_version).text);
    }
    add_group(lines);
    // The profiles come before the devices: they are what pods select nodes by.
    add_profile_labels(profiles);
    for (size_t i = 0; i < facts.devices.size(); ++i) {
        if (!add_group(device_labels(static_cast<uint32_t>(i + 1), facts.devices[i]))) {
            break;
        }
    }
}
