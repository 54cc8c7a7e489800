#include "views/profile_verdict.h"

#include <cstdio>
#include <utility>

#include "report/report.h"
#include "views/escape.h"
#include "views/profile.h"

namespace {

// What one piece of the verdict adds to each form.
struct Pieces {
    std::string text;
    std::string xml;
    std::string json;
};

// The room the pieces of one profile on one device take in each form.
struct Room {
    size_t text = 0;
    size_t xml = 0;
    size_t json = 0;

    void add(const Pieces& pieces) {
        text += pieces.text.size();
        xml += pieces.xml.size();
        json += pieces.json.size();
    }
};

// Whether room fits in all three forms, with some left to close them.
bool fits(const Room& room) {
    constexpr size_t closing = 4096;
    return text_report.size() + room.text + closing <= most_report_bytes &&
           xml_report.size() + room.xml + closing <= most_report_bytes &&
           profile_json_report.size() + room.json + closing <= most_report_bytes;
}

bool fits(const Pieces& pieces) {
    Room room;
    room.add(pieces);
    return fits(room);
}

void append(const Pieces& pieces) {
    text_report += pieces.text;
    xml_report += pieces.xml;
    profile_json_report += pieces.json;
}

Pieces line_pieces(const Line& line, bool first) {
    Pieces pieces;
    pieces.text = "    " + control_escaped(line.where) + ": ";
    pieces.xml = "\n\t\t\t<";
    pieces.json = std::string(first ? "" : ",") +
                  "\n                        {\"capability\": " + json_string(line.capability) +
                  ", \"where\": " + json_string(line.where);
    const std::string common = "capability=\"" + xml_attribute(line.capability) + "\" where=\"" +
                               xml_attribute(line.where) + "\"";
    switch (line.kind) {
        case LineKind::Unmet:
            pieces.text += "required " + control_escaped(line.required) + ", device " +
                           control_escaped(line.device);
            pieces.xml += "unmet " + common + " required=\"" + xml_attribute(line.required) +
                          "\" device=\"" + xml_attribute(line.device) + "\" />";
            pieces.json += ", \"required\": " + json_string(line.required) +
                           ", \"device\": " + json_string(line.device) + "}";
            break;
        case LineKind::Unknown:
            pieces.text += "unknown to this build";
            pieces.xml += "unknown " + common + " />";
            pieces.json += ", \"unknown\": true}";
            break;
        case LineKind::Problem:
            pieces.text += control_escaped(line.device);
            pieces.xml += "problem " + common + " text=\"" + xml_attribute(line.device) + "\" />";
            pieces.json += ", \"problem\": " + json_string(line.device) + "}";
            break;
    }
    if (!line.capability.empty()) {
        pieces.text += " (" + control_escaped(line.capability) + ")";
    }
    pieces.text += '\n';
    return pieces;
}

Pieces device_head(size_t number, const std::string& name, const PairResult& pair,
                   uint64_t left_out, bool first) {
    const std::string verdict = pair.met ? "supported" : "not supported";
    const std::string count = std::to_string(left_out);
    Pieces pieces;
    pieces.text =
        "  Device " + std::to_string(number) + ", " + control_escaped(name) + ": " + verdict + "\n";
    pieces.xml = "\n\t\t<vk_profile_device number=\"" + std::to_string(number) + "\" name=\"" +
                 xml_attribute(name) + "\" supported=\"" + (pair.met ? "1" : "0") +
                 "\" left_out=\"" + count + "\">";
    pieces.json = std::string(first ? "" : ",") + "\n                {\n" +
                  "                    \"number\": " + std::to_string(number) + ",\n" +
                  "                    \"name\": " + json_string(name) + ",\n" +
                  "                    \"supported\": " + (pair.met ? "true" : "false") + ",\n" +
                  "                    \"left_out\": " + count + ",\n" +
                  "                    \"unmet\": [";
    return pieces;
}

Pieces device_end(bool lines, uint64_t left_out) {
    Pieces pieces;
    if (left_out != 0) {
        pieces.text = "    " + std::to_string(left_out) + " more unmet requirements left out\n";
    }
    pieces.xml = "\n\t\t</vk_profile_device>";
    pieces.json = lines ? "\n                    ]\n                }" : "]\n                }";
    return pieces;
}

Pieces profile_head(const Profile& profile, bool supported, bool first) {
    const std::string version = version_text(profile.api_version).text;
    const std::string& name = *profile.name;
    Pieces pieces;
    pieces.text = "Profile " + control_escaped(name) + " (api-version " + version +
                  "): " + (supported ? "supported" : "not supported") + "\n";
    pieces.xml = "\n\t<vk_profile name=\"" + xml_attribute(name) + "\" api_version=\"" + version +
                 "\" supported=\"" + (supported ? "1" : "0") + "\">";
    pieces.json = std::string(first ? "" : ",") +
                  "\n        {\n            \"name\": " + json_string(name) +
                  ",\n            \"api-version\": \"" + version +
                  "\",\n            \"supported\": " + (supported ? "true" : "false") +
                  ",\n            \"devices\": [";
    return pieces;
}

// Writes one profile on one device: as many of its lines as fit in every form, and how many
// unmet requirements were left out. False when not all of its lines fit.
bool write_pair(size_t number, const std::string& name, const PairResult& pair, bool first,
                uint64_t& written_unmet) {
    Room room;
    room.add(device_head(number, name, pair, UINT64_MAX, first));
    room.add(device_end(true, UINT64_MAX));
    if (!fits(room)) {
        return false;
    }
    std::vector<Pieces> lines;
    lines.reserve(pair.lines.size());
    for (const Line& line : pair.lines) {
        Pieces pieces = line_pieces(line, lines.empty());
        room.add(pieces);
        if (!fits(room)) {
            break;
        }
        lines.push_back(std::move(pieces));
    }
    const uint64_t left_out = pair.unmet - lines.size();
    append(device_head(number, name, pair, left_out, first));
    for (const Pieces& pieces : lines) {
        append(pieces);
    }
    append(device_end(!lines.empty(), left_out));
    written_unmet += pair.unmet;
    return lines.size() == pair.lines.size();
}

}  // namespace

void write_profile_verdict(const Verdict& verdict, const std::vector<Profile>& profiles,
                           bool supported) {
    // Errors of the run (no loader, no instance) stand on lines of their own before the verdict.
    if (!text_report.empty() && text_report.back() != '\n') {
        append_text("\n");
    }
    append_xml("\n<vk_profiles supported=\"%d\">", supported ? 1 : 0);
    profile_json_report = std::string("{\n    \"supported\": ") + (supported ? "true" : "false") +
                          ",\n    \"errors\": [";
    bool first = true;
    for (const std::string& error : errors_reported_since(0)) {
        profile_json_report += std::string(first ? "" : ", ") + json_string(error);
        first = false;
    }
    profile_json_report += "],\n    \"profiles\": [";
    const size_t devices = verdict.device_names.size();
    uint64_t written_unmet = 0;
    bool cut = false;
    for (size_t p = 0; p < profiles.size() && !cut; ++p) {
        const ProfileVerdict& profile = verdict.profiles[p];
        const Pieces head = profile_head(profiles[p], profile.supported, p == 0);
        if (!fits(head)) {
            cut = true;
            break;
        }
        append(head);
        if (devices == 0) {
            append_text("  no device\n");
        }
        for (size_t d = 0; d < devices && !cut; ++d) {
            cut = d >= profile.devices.size() ||
                  !write_pair(d + 1, verdict.device_names[d], profile.devices[d], d == 0,
                              written_unmet);
        }
        append_xml("\n\t</vk_profile>");
        profile_json_report += devices == 0 ? "]\n        }" : "\n            ]\n        }";
    }
    const uint64_t left_out = cut ? verdict.unmet - written_unmet : 0;
    if (cut) {
        append_text(
            "the verdict reached its size limit: the remaining profiles and devices were left "
            "out, with %llu more unmet requirements\n",
            static_cast<unsigned long long>(left_out));
        append_xml("\n\t<vk_profiles_left_out unmet=\"%llu\" />",
                   static_cast<unsigned long long>(left_out));
    }
    append_xml("\n</vk_profiles>");
    profile_json_report += std::string(profiles.empty() ? "" : "\n    ") +
                           "],\n    \"left_out\": " + std::to_string(left_out) + "\n}\n";
}
