#include "views/metrics.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

ReportStream metrics_report;

namespace {

struct Family {
    const char* name;
    const char* help;  // the program's own text: nothing in it needs escaping
    std::string samples;
};

struct Label {
    const char* name;
    std::string value;
};

// A label value as the format reads it: backslash, quotation mark and line feed escaped, and
// bytes that are not UTF-8, which a scraper refuses, replaced with U+FFFD.
void append_label_value(std::string& out, const std::string& text) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    for (size_t i = 0; i < text.size();) {
        const unsigned char byte = bytes[i];
        if (byte >= 0x80) {
            const Utf8Sequence step = utf8_sequence(bytes + i, text.size() - i);
            if (step.valid) {
                out.append(text, i, step.length);
            } else {
                out += "\xEF\xBF\xBD";
            }
            i += step.length;
            continue;
        }
        if (byte == '\\') {
            out += "\\\\";
        } else if (byte == '"') {
            out += "\\\"";
        } else if (byte == '\n') {
            out += "\\n";
        } else {
            out += static_cast<char>(byte);
        }
        ++i;
    }
}

void add_sample(Family& family, const std::vector<Label>& labels, uint64_t value) {
    std::string& out = family.samples;
    out += family.name;
    for (size_t i = 0; i < labels.size(); ++i) {
        out += i == 0 ? "{" : ",";
        out += labels[i].name;
        out += "=\"";
        append_label_value(out, labels[i].value);
        out += '"';
    }
    out += labels.empty() ? " " : "} ";
    out += std::to_string(value);
    out += '\n';
}

// A family without samples is left out whole: its HELP and TYPE would describe nothing.
void write_family(const Family& family) {
    if (family.samples.empty()) {
        return;
    }
    std::string& out = metrics_report;
    out += "# HELP ";
    out += family.name;
    out += ' ';
    out += family.help;
    out += "\n# TYPE ";
    out += family.name;
    out += " gauge\n";
    out += family.samples;
}

void write_comment(const std::string& text) {
    // A comment ends at its line's end: a line feed in it would start a line of samples.
    std::string line = "# brisol: " + text;
    for (char& c : line) {
        c = c == '\n' ? ' ' : c;
    }
    metrics_report += line;
    metrics_report += '\n';
}

// The families of the devices, one device's samples in each.
struct DeviceFamilies {
    Family info{"brisol_vulkan_device_info",
                "A Vulkan physical device: its name, IDs, type, driver and API version.",
                {}};
    Family heap_size{"brisol_vulkan_memory_heap_size_bytes",
                     "The size of a memory heap of a Vulkan device.",
                     {}};
    Family heap_budget{"brisol_vulkan_memory_heap_budget_bytes",
                       "How much of a memory heap the process may use (VK_EXT_memory_budget).",
                       {}};
    Family heap_usage{"brisol_vulkan_memory_heap_usage_bytes",
                      "How much of a memory heap the process uses (VK_EXT_memory_budget).",
                      {}};

    size_t size() const {
        return info.samples.size() + heap_size.samples.size() + heap_budget.samples.size() +
               heap_usage.samples.size();
    }
};

void add_device(DeviceFamilies& families, uint32_t number, const DeviceSummary& device) {
    const std::string name = std::to_string(number);
    add_sample(families.info,
               {{"device", name},
                {"name", device.name},
                {"vendor_id", hex_id(device.vendor_id)},
                {"device_id", hex_id(device.device_id)},
                {"type", device.type},
                {"driver", device.driver},
                {"driver_version", device.driver_version.text},
                {"api_version", version_text(device.api_version).text}},
               1);
    for (size_t h = 0; h < device.heaps.size(); ++h) {
        const HeapSummary& heap = device.heaps[h];
        const std::string index = std::to_string(h);
        add_sample(families.heap_size,
                   {{"device", name},
                    {"heap", index},
                    {"device_local", heap.device_local ? "true" : "false"}},
                   heap.size);
        if (heap.budget_known) {
            add_sample(families.heap_budget, {{"device", name}, {"heap", index}}, heap.budget);
            add_sample(families.heap_usage, {{"device", name}, {"heap", index}}, heap.usage);
        }
    }
}

// One sample a profile name; the same name given twice is one series, 1 only when every
// profile of that name is supported.
Family profile_family(const std::vector<ProfileSupport>& profiles) {
    std::vector<std::pair<std::string, bool>> verdicts;
    for (const ProfileSupport& profile : profiles) {
        size_t at = 0;
        while (at < verdicts.size() && verdicts[at].first != profile.name) {
            ++at;
        }
        if (at == verdicts.size()) {
            verdicts.emplace_back(profile.name, profile.supported);
        } else {
            verdicts[at].second = verdicts[at].second && profile.supported;
        }
    }
    Family family{"brisol_vulkan_profile_supported",
                  "Whether some Vulkan device of the node meets the profile.",
                  {}};
    for (const auto& [name, supported] : verdicts) {
        add_sample(family, {{"profile", name}}, supported ? 1 : 0);
    }
    return family;
}

}  // namespace

void write_metrics(const NodeFacts& facts, const std::vector<ProfileSupport>& profiles) {
    metrics_report.clear();
    for (const std::string& error : facts.errors) {
        write_comment(error);
    }
    Family up{"brisol_vulkan_up",
              "Whether Vulkan is usable: 1 when the loader lists at least one device.",
              {}};
    add_sample(up, {}, facts.devices.empty() ? 0 : 1);
    Family devices{"brisol_vulkan_devices", "The Vulkan physical devices the loader lists.", {}};
    add_sample(devices, {}, facts.devices.size());
    Family loader{"brisol_vulkan_loader_info", "The version of the Vulkan loader.", {}};
    if (facts.loader_found) {
        add_sample(loader, {{"version", version_text(facts.loader_version).text}}, 1);
    }
    DeviceFamilies families;
    bool full = false;
    for (size_t i = 0; i < facts.devices.size() && !full; ++i) {
        // The same bound as the reports': a driver that claims thousands of devices gets an
        // exposition that ends whole and says what it left out.
        full = families.size() > most_report_bytes;
        if (!full) {
            add_device(families, static_cast<uint32_t>(i + 1), facts.devices[i]);
        }
    }
    if (full) {
        write_comment("the report reached its size limit: the remaining devices were left out");
    }
    for (const Family* family : {&up, &devices, &loader, &families.info, &families.heap_size,
                                 &families.heap_budget, &families.heap_usage}) {
        write_family(*family);
    }
    write_family(profile_family(profiles));
}
