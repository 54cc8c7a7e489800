// Brisol on 34 real GPUs this machine does not have: the replay driver answers the real loader
// from each device's Vulkan Profiles document (tests/data/devices), and every output is checked
// against the document itself, read here with a JSON parser and the registry tables.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "registry/registry.h"
#include "support.h"

namespace {

using Json = nlohmann::json;

ProgramRun run_replayed(const std::string& document, const std::vector<std::string>& args) {
    return run_program(BRISOL_EXE, args,
                       {"VK_DRIVER_FILES=" REPLAY_ICD, "VK_ICD_FILENAMES=" REPLAY_ICD,
                        "BRISOL_REPLAY_DOCUMENT=" + document});
}

std::string file_text(const std::string& path) {
    std::ostringstream text;
    text << std::ifstream(path, std::ios::binary).rdbuf();
    return text.str();
}

std::vector<std::string> lines_in(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);) {
        lines.push_back(line);
    }
    return lines;
}

// ---- What the registry says the document's device is ----

// Its version, as far as an instance of this build's headers reaches, and its extensions.
struct Offer {
    uint32_t version;
    std::set<std::string> extensions;
};

bool provides(const Offer& offer, uint32_t version, const char* const* names, uint32_t count) {
    if (version != 0 && version <= offer.version) {
        return true;
    }
    for (uint32_t i = 0; i < count; ++i) {
        if (offer.extensions.count(names[i]) != 0) {
            return true;
        }
    }
    return false;
}

bool provides(const Offer& offer, const StructureInfo& info) {
    return info.root == ChainRoot::None ||
           provides(offer, info.api_version, info.extensions, info.extension_count);
}

// A structure a block names, by its name or an alias; null when this build does not know it
// there (unknown, or of another block).
const StructureInfo* known_structure(const std::string& name, ChainRoot root,
                                     const StructureInfo& plain) {
    const StructureInfo* info = find_structure(name.c_str());
    return info != nullptr && (info == &plain || info->root == root) ? info : nullptr;
}

// ---- The document's values ----

// One value the document gives a member this build knows, at its place under its structure
// ("limits.maxImageDimension1D").
struct Leaf {
    std::string place;
    const MemberRow* member;
    const Json* value;
};

void leaves_of(const StructureInfo& info, const Json& members, const std::string& prefix,
               std::vector<Leaf>& leaves) {
    for (const auto& [name, value] : members.items()) {
        const MemberRow* member = find_member(info, name.c_str());
        if (member == nullptr) {
            continue;  // unknown to this build; sType and pNext carry nothing
        }
        const std::string place = prefix + name;
        if (member->kind != MemberKind::Structure) {
            leaves.push_back({place, member, &value});
        } else if (member->count == 1) {
            leaves_of(*member->nested, value, place + ".", leaves);
        } else {
            for (size_t i = 0; i < value.size(); ++i) {
                leaves_of(*member->nested, value[i], place + "[" + std::to_string(i) + "].",
                          leaves);
            }
        }
    }
}

// The value at a place of a -json structure, or null.
const Json* value_at(const Json& structure, const std::string& place) {
    const Json* at = &structure;
    std::istringstream parts(place);
    for (std::string part; std::getline(parts, part, '.');) {
        const size_t bracket = part.find('[');
        const std::string name = part.substr(0, bracket);
        if (!at->is_object() || !at->contains(name)) {
            return nullptr;
        }
        at = &(*at)[name];
        if (bracket != std::string::npos) {
            const size_t index = std::stoul(part.substr(bracket + 1));
            if (!at->is_array() || index >= at->size()) {
                return nullptr;
            }
            at = &(*at)[index];
        }
    }
    return at;
}

// The bits of a flags value named in the schema's form, and whether every name was known.
uint64_t flag_bits(const MemberRow& member, const Json& names, bool& all_known) {
    uint64_t bits = 0;
    for (const Json& name : names.is_array() ? names : Json::array({names})) {
        uint64_t bit = 0;
        if (name.is_string() &&
            value_of_name(*member.names, name.get<std::string>().c_str(), &bit)) {
            bits |= bit;
        } else {
            all_known = false;
        }
    }
    return bits;
}

// The bits a flags table has a name for, one bit a name.
uint64_t named_bits(const ValueNames& names) {
    uint64_t bits = 0;
    for (uint32_t i = 0; i < names.count; ++i) {
        const uint64_t value = names.values[i].value;
        bits |= value != 0 && (value & (value - 1)) == 0 ? value : 0;
    }
    return bits;
}

// One element in a form both sides share: a number (floats as the float the member holds), or
// null for a name this build does not know.
Json element_value(const MemberRow& member, const Json& value) {
    uint64_t named = 0;
    switch (member.kind) {
        case MemberKind::Bool32:
            return value.is_boolean() ? Json(value.get<bool>() ? 1 : 0) : Json();
        case MemberKind::Enum:
            return value.is_string() &&
                           value_of_name(*member.names, value.get<std::string>().c_str(), &named)
                       ? Json(named)
                       : Json();
        case MemberKind::Float:
            return value.is_number() ? Json(static_cast<double>(value.get<float>())) : Json();
        default:
            return value.is_number() ? value : Json();
    }
}

// What a document writes in another form than the member takes: a number as a string ("64"), or
// null. The replay driver reads the value it spells, or zero.
bool other_form(const MemberRow& member, const Json& value) {
    if (value.is_null()) {
        return true;
    }
    return value.is_string() && member.kind != MemberKind::String &&
           member.kind != MemberKind::Enum && member.kind != MemberKind::Flags &&
           member.kind != MemberKind::Flags64;
}

Json spelled(const MemberRow& member, const Json& value) {
    const Json number =
        value.is_string() ? Json::parse(value.get<std::string>(), nullptr, false) : Json();
    if (member.kind == MemberKind::Float) {
        return number.is_number() ? Json(static_cast<double>(number.get<float>())) : Json(0.0);
    }
    if (number.is_boolean()) {
        return Json(number.get<bool>() ? 1 : 0);
    }
    return number.is_number() ? number : Json(0);
}

// Compares one value of the document with the same value in Brisol's -json document; "" when
// they agree. The cases where they differ because the document cannot carry the value the same
// way are named here, each with what -json must then give.
std::string value_difference(const MemberRow& member, const Json& theirs, const Json* ours,
                             const Json& our_structure) {
    const auto differ = [&] {
        return "document " + theirs.dump() + ", brisol " + (ours ? ours->dump() : "nothing");
    };
    if (other_form(member, theirs)) {
        // Read as what it spells; an enumeration's zero, which has no name, is left out of -json
        // (and said under "brisol").
        const Json expected = spelled(member, theirs);
        if (member.kind == MemberKind::Enum && value_name(*member.names, 0) == nullptr) {
            return ours == nullptr ? "" : differ();
        }
        return ours != nullptr && element_value(member, *ours) == expected ? "" : differ();
    }
    if (member.kind == MemberKind::Luid && ours == nullptr &&
        our_structure.value("deviceLUIDValid", true) == false) {
        return "";  // a LUID is written only where its device says it is valid
    }
    if (member.kind == MemberKind::Enum && element_value(member, theirs).is_null()) {
        return "";  // an enumerant name this build does not know is not read
    }
    if (ours == nullptr) {
        return differ();
    }
    if (member.kind == MemberKind::Flags || member.kind == MemberKind::Flags64) {
        bool known = true;
        bool ours_known = true;
        const uint64_t bits = flag_bits(member, theirs, known);
        // Bits without a name in this build ("VK_SHADER_STAGE_ALL" holds them) are left out of
        // -json, and said under "brisol"; names this build does not know are not read.
        const uint64_t expected = bits & named_bits(*member.names);
        return flag_bits(member, *ours, ours_known) == expected && ours_known ? "" : differ();
    }
    if (member.kind == MemberKind::String) {
        return *ours == theirs ? "" : differ();
    }
    const bool array = theirs.is_array();
    if (array != ours->is_array() || (array && theirs.size() != ours->size())) {
        return differ();
    }
    for (size_t i = 0; i < (array ? theirs.size() : 1); ++i) {
        const Json& a = array ? theirs[i] : theirs;
        const Json& b = array ? (*ours)[i] : *ours;
        if (element_value(member, a) != element_value(member, b)) {
            return differ();
        }
    }
    return "";
}

// Whether a structure of -json holds nothing: every value false, zero, empty or, for an
// enumeration, the name of zero.
bool all_zero(const StructureInfo& info, const Json& members) {
    std::vector<Leaf> leaves;
    leaves_of(info, members, "", leaves);
    for (const Leaf& leaf : leaves) {
        const MemberRow& member = *leaf.member;
        bool known = true;
        for (const Json& element : leaf.value->is_array() && member.kind != MemberKind::Flags &&
                                           member.kind != MemberKind::Flags64
                                       ? *leaf.value
                                       : Json::array({*leaf.value})) {
            const bool zero = member.kind == MemberKind::Flags || member.kind == MemberKind::Flags64
                                  ? flag_bits(member, element, known) == 0
                              : member.kind == MemberKind::String
                                  ? element == ""
                                  : element_value(member, element) == 0;
            if (!zero) {
                return false;
            }
        }
    }
    return true;
}

// ---- What -all writes ----

// The places the -all text report names under each section of a device ("Properties",
// "Formats", ...): "VkPhysicalDeviceProperties.limits.maxImageDimension1D",
// "VK_FORMAT_R8_UNORM.VkFormatProperties.bufferFeatures", "family 0.VkQueueFamilyProperties.
// queueCount".
std::map<std::string, std::set<std::string>> complete_places(const std::string& text) {
    std::map<std::string, std::set<std::string>> places;
    std::string section;
    std::vector<std::string> headings;
    for (const std::string& line : lines_in(text)) {
        if (line.rfind("- ", 0) == 0) {
            section = line.substr(2, line.find(':') - 2);
            headings.clear();
            continue;
        }
        const size_t depth = line.find_first_not_of('\t');
        if (depth == 0 || depth == std::string::npos) {
            section = line.empty() ? section : "";
            continue;
        }
        headings.resize(std::min(headings.size(), depth - 1));
        const std::string body = line.substr(depth);
        if (body.back() == ':') {
            headings.resize(depth - 1);
            headings.push_back(body.substr(0, body.size() - 1));
            continue;
        }
        std::string place;
        for (const std::string& heading : headings) {
            place += heading + ".";
        }
        places[section].insert(place + body.substr(0, body.find(": ")));
    }
    return places;
}

// ---- One device ----

struct Check {
    std::vector<std::string> faults;
    size_t values = 0;
    std::set<std::string> other_forms;  // places of values written in another form
    std::set<std::string> unprovided;   // structures the document names, the device lacks
};

void fault(Check& check, const std::string& text) {
    check.faults.push_back(text);
}

// The structures of one block (features or properties): those the document names that the
// device provides must be in -json with every value; those -json adds must be ones the device
// provides, which the driver leaves as Brisol gave them (zero), because the document does not
// name them.
void check_block(Check& check, const Offer& offer, const char* block, const Json& theirs,
                 const Json& ours, ChainRoot root, const StructureInfo& plain,
                 std::map<std::string, std::set<std::string>>& names) {
    std::set<std::string> named;
    for (const auto& [name, members] : theirs.items()) {
        const StructureInfo* info = known_structure(name, root, plain);
        if (info == nullptr) {
            continue;  // unknown to this build: -profile says so
        }
        if (!provides(offer, *info)) {
            check.unprovided.insert(info->name);
            continue;
        }
        named.insert(info->name);
        if (!ours.contains(info->name)) {
            fault(check, std::string(block) + " " + info->name + ": missing from -json");
            continue;
        }
        const Json& structure = ours[info->name];
        std::vector<Leaf> leaves;
        leaves_of(*info, members, "", leaves);
        for (const Leaf& leaf : leaves) {
            const std::string place = std::string(info->name) + "." + leaf.place;
            if (other_form(*leaf.member, *leaf.value)) {
                check.other_forms.insert(name + "." + leaf.place);  // as the document names it
            }
            const Json* mine = value_at(structure, leaf.place);
            const std::string difference =
                value_difference(*leaf.member, *leaf.value, mine, structure);
            ++check.values;
            if (!difference.empty()) {
                fault(check, place + ": " + difference);
            }
            if (mine != nullptr) {
                names[block].insert(place);
            }
        }
    }
    for (const auto& [name, members] : ours.items()) {
        const StructureInfo* info = find_structure(name.c_str());
        if (named.count(name) != 0) {
            continue;
        }
        if (info == nullptr || !provides(offer, *info)) {
            fault(check, std::string(block) + " " + name + ": in -json, not provided");
        } else if (!all_zero(*info, members)) {
            fault(check, std::string(block) + " " + name + ": not named, yet not zero");
        }
    }
}

void check_formats(Check& check, const Offer& offer, const Json& theirs, const Json& ours,
                   std::map<std::string, std::set<std::string>>& names) {
    for (const auto& [name, structures] : ours.items()) {
        for (const auto& [structure, members] : structures.items()) {
            const StructureInfo* info = find_structure(structure.c_str());
            if (!theirs.contains(name) && (info == nullptr || !all_zero(*info, members))) {
                fault(check, "format " + name + ": not named, yet not zero");
            }
        }
    }
    for (const auto& [name, structures] : theirs.items()) {
        uint64_t value = 0;
        if (!value_of_name(format_names, name.c_str(), &value)) {
            continue;
        }
        const FormatInfo* info = nullptr;
        for (uint32_t i = 0; i < format_info_count; ++i) {
            info = format_infos[i].format == static_cast<VkFormat>(value) ? &format_infos[i] : info;
        }
        if (info == nullptr || !ours.contains(name)) {
            fault(check, "format " + name + ": missing from -json");
            continue;
        }
        std::map<std::string, std::set<std::string>> format_names_by_block;
        check_block(check, offer, "format", structures, ours[name], ChainRoot::FormatProperties2,
                    format_properties_info, format_names_by_block);
        for (const std::string& place : format_names_by_block["format"]) {
            names["Formats"].insert(name + "." + place);
        }
    }
}

// The queue families, each once in -json (the schema's list holds each item once), every one in
// -all.
void check_families(Check& check, const Offer& offer, const Json& theirs, const Json& ours,
                    std::map<std::string, std::set<std::string>>& names) {
    std::vector<Json> distinct;
    for (const Json& family : theirs) {
        if (std::find(distinct.begin(), distinct.end(), family) == distinct.end()) {
            distinct.push_back(family);
        }
    }
    if (distinct.size() != ours.size()) {
        fault(check, "queue families: " + std::to_string(distinct.size()) + " distinct, -json " +
                         std::to_string(ours.size()));
        return;
    }
    for (size_t i = 0; i < distinct.size(); ++i) {
        std::map<std::string, std::set<std::string>> unused;
        check_block(check, offer, "queue family", distinct[i], ours[i],
                    ChainRoot::QueueFamilyProperties2, queue_family_properties_info, unused);
    }
    for (size_t i = 0; i < theirs.size(); ++i) {
        for (const auto& [name, members] : theirs[i].items()) {
            std::vector<Leaf> leaves;
            const StructureInfo* info = known_structure(name, ChainRoot::QueueFamilyProperties2,
                                                        queue_family_properties_info);
            if (info != nullptr) {
                leaves_of(*info, members, "", leaves);
            }
            for (const Leaf& leaf : leaves) {
                names["Queue families"].insert("family " + std::to_string(i) + "." + info->name +
                                               "." + leaf.place);
            }
        }
    }
}

void check_extensions(Check& check, const Json& theirs, const Json& ours, const Json& others,
                      const std::string& complete) {
    for (const auto& [name, version] : theirs.items()) {
        const Json& list = registry_names_extension(name.c_str()) ? ours : others;
        if (list.value(name, Json()) != version) {
            fault(check, "extension " + name + ": -json gives " + list.value(name, Json()).dump());
        }
        if (complete.find("/ " + name + " (spec version: " + version.dump() + ")\n") ==
            std::string::npos) {
            fault(check, "extension " + name + ": not listed by -all");
        }
    }
    if (ours.size() + others.size() != theirs.size()) {
        fault(check, "extensions: -json lists " + std::to_string(ours.size() + others.size()) +
                         ", the document " + std::to_string(theirs.size()));
    }
}

// -profile DOC meets every requirement of the document this build knows: the only lines for the
// device are names this build does not know, values the document writes in another form, and
// structures or formats the document names of an extension the device does not list.
void check_profile(Check& check, const ProgramRun& run, const std::string& profile,
                   const std::string& name, const std::string& replay_errors) {
    std::vector<std::string> lines = lines_in(run.out);
    std::string notes;
    size_t unmet = 0;
    for (size_t i = 2; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        const std::string where = line.substr(4, line.find(':') - 4);
        const size_t known = line.rfind(": unknown to this build (device)");
        const size_t odd = line.find(": the file gives ");
        if (known != std::string::npos ||
            (odd != std::string::npos && check.other_forms.count(where))) {
            notes += "brisol replay driver: " + profile + ": " +
                     line.substr(4, line.size() - 4 - std::string(" (device)").size()) + "\n";
            unmet += odd != std::string::npos;
        } else if (line.find(": required present, device missing") == std::string::npos ||
                   check.unprovided.count(where) == 0) {
            fault(check, "-profile: " + line);
        }
    }
    const bool supported = lines.size() == 2;
    if (lines.empty() || lines[0].rfind("Profile " + profile + " (api-version ", 0) != 0 ||
        lines[0].find(supported ? "): supported" : "): not supported") == std::string::npos ||
        lines[1] != "  Device 1, " + name + (supported ? ": supported" : ": not supported") ||
        run.status != (supported ? 0 : 1)) {
        fault(check, "-profile: " + run.out.substr(0, 300));
    }
    if (unmet != check.other_forms.size()) {
        fault(check, "-profile: " + std::to_string(unmet) + " values of another form, not " +
                         std::to_string(check.other_forms.size()));
    }
    // The replay driver says on standard error what it could not read as given, as -profile
    // words it.
    if (replay_errors != notes) {
        fault(check, "replay driver's lines:\n" + replay_errors + "-profile's:\n" + notes);
    }
}

// -diff DOC, the document against the replay driver that answers from it, differs only where the
// driver answers what the document does not say: the structures of the device's version that the
// document does not name (present, all zero), the name and version the driver takes from the
// document's label where its properties give neither, the logical device the driver does not
// make, and flags whose bits have no name (VK_SHADER_STAGE_ALL), which a document cannot hold;
// and the document names structures of an extension the device does not list, which the driver
// cannot give.
// Values of other forms and names unknown to this build are notes, not differences.
void check_diff(Check& check, const ProgramRun& run, const Json& theirs) {
    std::set<std::string> named;
    for (const char* block : {"features", "properties"}) {
        for (const auto& [name, members] : theirs[block].items()) {
            const StructureInfo* info = find_structure(name.c_str());
            named.insert(info != nullptr ? info->name : name);
        }
    }
    const Json& plain = theirs["properties"]["VkPhysicalDeviceProperties"];
    const std::vector<std::string> lines = lines_in(run.out);
    size_t differences = 0;
    for (size_t i = 3; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        const std::string where = line.substr(2, line.find(':') - 2);
        const std::string member = where.substr(where.find('.') + 1);
        if (line.rfind("  not compared in ", 0) == 0 ||
            line == "  error in B: unable to make a logical device") {
            continue;
        }
        ++differences;
        const bool unnamed =
            named.count(where) == 0 &&
            line.find(": A missing, B present: B more capable") != std::string::npos;
        const bool labelled = (where == "VkPhysicalDeviceProperties.driverVersion" ||
                               where == "VkPhysicalDeviceProperties.deviceName") &&
                              !plain.contains(member);
        const size_t a = line.find(": A "), b = line.find(", B "), end = line.rfind(": ");
        const bool nameless = a != std::string::npos && b != std::string::npos && end > b &&
                              line.compare(a + 4, end - b - 4, line, b + 4, end - b - 4) == 0 &&
                              line.compare(a + 4 + end - b - 4, 5, " | 0x") == 0;
        const bool unprovided =
            check.unprovided.count(where) != 0 &&
            line.find(": A present, B missing: A more capable") != std::string::npos;
        if (!unnamed && !labelled && !nameless && !unprovided) {
            fault(check, "-diff: " + line);
        }
    }
    if (lines.size() < 3 || lines[1] != "B: this machine" ||
        (lines[2].find(": no differences") != std::string::npos) != (differences == 0) ||
        run.status != (differences == 0 ? 0 : 1)) {
        fault(check, "-diff: " + run.out.substr(0, 300));
    }
}

}  // namespace

TEST(Corpus, RealDevicesThroughTheReplayDriver) {
    const struct {
        const char* file;
        const char* driver_version;  // as the label says it: NVIDIA's four numbers, else three
        const char* golden;          // the golden reports of -a -xml and the default report
    } devices[] = {
        {"amd_radeon__tm__r7_370_series_2_0_179_windows_10", "2.0.179"},
        {"amd_radeon_pro_vega_48_0_2_2009_osx_13_1", "0.2.2009"},
        {"amd_radeon_rx_5700_2_0_353_windows_10", "2.0.353"},
        {"amd_radeon_rx_5700_xt__radv_navi10__26_0_99_arch_unknown", "26.0.99"},
        {"amd_radeon_rx_580_series__radv_polaris10__23_1_7_arch_unknown", "23.1.7"},
        {"amd_radeon_rx_6800_xt_2_0_283_windows_11", "2.0.283"},
        {"amd_radeon_rx_7800_xt__radv_navi32__24_0_99_arch_unknown", "24.0.99"},
        {"amd_radeon_rx_9070_xt__radv_gfx1201__26_1_99_cachyos_unknown", "26.1.99"},
        {"amd_radv_bonaire__aco__21_1_4_arch_unknown", "21.1.4"},
        {"apple_m1_0_2_1911_osx_11_2", "0.2.1911"},
        {"apple_m1_0_2_2209_macos_26_5_1", "0.2.2209"},
        {"apple_m3_max_0_2_2015_osx_14_1", "0.2.2015", "apple_m3_max"},
        {"apple_m5_26_0_99_macos_26_4_1", "26.0.99"},
        {"intel_r__arc_tm__a380_graphics_0_405_161_windows_11", "0.405.161"},
        {"intel_r__arc_tm__a380_graphics__dg2__23_0_99_ubuntu_22_04", "23.0.99"},
        {"intel_r__arc_tm__a380_graphics__dg2__26_1_3_opensuse_tumbleweed_20260618", "26.1.3"},
        {"intel_r__arc_tm__a750_graphics__dg2__23_2_99_arch_unknown", "23.2.99"},
        {"intel_r__arc_tm__a770_graphics_0_406_609_windows_11", "0.406.609"},
        {"intel_r__arc_tm__b580_graphics_0_406_632_windows_10", "0.406.632"},
        {"intel_r__hd_graphics_520_0_402_1274_windows_10", "0.402.1274"},
        {"intel_r__hd_graphics_530__skl_gt2__21_1_99_ubuntu_21_02", "21.1.99"},
        {"intel_r__iris_r__xe_graphics__tgl_gt2__26_1_3_void_unknown", "26.1.3"},
        {"intel_r__uhd_graphics_620_0_404_2125_windows_10", "0.404.2125"},
        {"intel_r__uhd_graphics_630_0_2_2009_osx_13_2", "0.2.2009"},
        {"llvmpipe__llvm_22_1_6__256_bits__26_1_2_windows_unknown", "26.1.2"},
        {"llvmpipe__llvm_22_1_7__128_bits__26_1_99_macos_26_5", "26.1.99"},
        {"nvidia_geforce_gtx_1060_537_13_0_0_windows_10", "537.13.0.0", "nvidia_geforce_gtx_1060"},
        {"nvidia_geforce_gtx_1650_610_62_0_0_windows_10", "610.62.0.0"},
        {"nvidia_geforce_gtx_650_ti_474_4_0_0_windows_10", "474.4.0.0"},
        {"nvidia_geforce_gtx_660_470_74_0_0_arch_unknown", "470.74.0.0"},
        {"nvidia_geforce_rtx_2060_525_47_26_0_ubuntu_23_04", "525.47.26.0"},
        {"nvidia_geforce_rtx_2070_610_43_2_0_arch_unknown", "610.43.2.0"},
        {"nvidia_geforce_rtx_5080_610_62_0_0_windows_11", "610.62.0.0"},
        {"nvidia_quadro_k4200_0_0_157_53_osx_10_15", "0.0.157.53"},
    };
    size_t values = 0;
    for (const auto& device : devices) {
        const std::string path = std::string(DEVICE_DOCUMENTS "/") + device.file + ".json";
        const Json document = Json::parse(file_text(path), nullptr, false);
        ASSERT_TRUE(document.is_object()) << path;
        const std::string profile = document["profiles"].begin().key();
        const Json& theirs = document["capabilities"].begin().value();
        const std::string label = document["profiles"].begin().value()["label"];
        const std::string name = label.substr(0, label.find(" driver "));
        uint32_t version = 0;
        const Json& properties = theirs["properties"]["VkPhysicalDeviceProperties"];
        version = properties["apiVersion"].get<uint32_t>();
        Offer offer{std::min(version, uint32_t{VK_HEADER_VERSION_COMPLETE}), {}};
        for (const auto& extension : theirs["extensions"].items()) {
            offer.extensions.insert(extension.key());
        }

        const ProgramRun json_run = run_replayed(path, {"-json"});
        const Json ours_document = Json::parse(json_run.out, nullptr, false);
        ASSERT_TRUE(ours_document.is_object()) << device.file;
        const Json& ours = ours_document["capabilities"].begin().value();
        const ProgramRun complete = run_replayed(path, {"-all"});
        EXPECT_EQ(complete.err, json_run.err) << device.file;

        Check check;
        std::map<std::string, std::set<std::string>> names;
        check_block(check, offer, "Features", theirs["features"], ours["features"],
                    ChainRoot::Features2, physical_device_features_info, names);
        check_block(check, offer, "Properties", theirs["properties"], ours["properties"],
                    ChainRoot::Properties2, physical_device_properties_info, names);
        check_formats(check, offer, theirs["formats"], ours["formats"], names);
        check_families(check, offer, theirs["queueFamiliesProperties"],
                       ours["queueFamiliesProperties"], names);
        check_extensions(check, theirs["extensions"], ours["extensions"],
                         ours_document["brisol"]["devices"][0]["otherExtensions"], complete.out);
        check_profile(check, run_replayed(path, {"-profile", path}), profile, name, json_run.err);
        check_diff(check, run_replayed(path, {"-diff", path}), theirs);

        // -all names everything -json gives of the document, and decodes the driver's version
        // as its vendor writes it.
        std::map<std::string, std::set<std::string>> written = complete_places(complete.out);
        for (const auto& [section, places] : names) {
            for (const std::string& place : places) {
                if (written[section].count(place) == 0) {
                    fault(check, "-all: " + section + " " + place + " missing");
                }
            }
        }
        if (complete.out.find("\n- Driver version: " + std::string(device.driver_version) +
                              " (raw: ") == std::string::npos) {
            fault(check, "-all: no driver version " + std::string(device.driver_version));
        }
        const ProgramRun complete_xml = run_replayed(path, {"-all", "-xml"});
        EXPECT_EQ(xml_error(complete_xml.out), "") << device.file;

        std::string faults;
        for (const std::string& line : check.faults) {
            faults += line + "\n";
        }
        EXPECT_EQ(faults, "") << device.file;
        EXPECT_GT(check.values, 500u) << device.file;
        values += check.values;

        if (device.golden != nullptr) {
            const std::string golden = std::string(GOLDEN_REPORTS "/") + device.golden;
            const ProgramRun xml = run_replayed(path, {"-a", "-xml"});
            EXPECT_EQ(xml_error(xml.out), "") << device.file;
            EXPECT_TRUE(xml.out == file_text(golden + ".a.xml")) << golden << ".a.xml";
            EXPECT_TRUE(run_replayed(path, {}).out == file_text(golden + ".txt"))
                << golden << ".txt";
        }
    }
    EXPECT_GT(values, 35000u);
}

// The Khronos roadmap profile and the LunarG desktop baselines on a handful of real devices: the
// verdicts, and lines worked out by hand from the documents (the RX 580's document gives
// shaderSignedZeroInfNanPreserveFloat16 false and minMemoryMapAlignment 4096; the M3 Max's,
// Vulkan 1.2.275, maxPerStageDescriptorSamplers 16 and no VK_KHR_global_priority; the HD 520's
// VK_KHR_maintenance1 of spec version 1; the RX 6800 XT's maxPushConstantsSize 128; the RTX 2060's
// Vulkan 1.3.250 and no VK_KHR_vertex_attribute_divisor).
TEST(Corpus, PublishedProfilesOnRealDevices) {
    const char* const profiles[] = {
        "VP_KHR_roadmap_2022 (api-version 1.3.204)",
        "VP_LUNARG_desktop_baseline_2022 (api-version 1.1.139)",
        "VP_LUNARG_desktop_baseline_2023 (api-version 1.2.148)",
        "VP_LUNARG_desktop_baseline_2024 (api-version 1.2.197)",
        "VP_LUNARG_desktop_baseline_2026 (api-version 1.4.304)",
    };
    const struct {
        const char* file;
        const char* supported;  // one character a profile, in the order above
        std::vector<std::string> lines;
    } devices[] = {
        {"nvidia_geforce_rtx_2060_525_47_26_0_ubuntu_23_04",
         "++++-",
         {"    api-version: required 1.4.304, device 1.3.250",
          "    extension VK_KHR_vertex_attribute_divisor: required 1, device missing "
          "(VP_LUNARG_desktop_baseline_2026_block)"}},
        {"intel_r__arc_tm__a770_graphics_0_406_609_windows_11", "+++++", {}},
        {"amd_radeon_rx_6800_xt_2_0_283_windows_11",
         "++++-",
         {"    VkPhysicalDeviceProperties.limits.maxPushConstantsSize: required 256, device 128 "
          "(VP_LUNARG_desktop_baseline_2026_block)"}},
        {"amd_radeon_rx_580_series__radv_polaris10__23_1_7_arch_unknown",
         "-----",
         {"    VkPhysicalDeviceVulkan12Properties.shaderSignedZeroInfNanPreserveFloat16: required "
          "1, "
          "device 0 (vulkan12requirements_roadmap2022)",
          "    VkPhysicalDeviceProperties.limits.minMemoryMapAlignment: required 64, device 4096 "
          "(VP_LUNARG_desktop_baseline_2022_block)"}},
        {"apple_m3_max_0_2_2015_osx_14_1",
         "-----",
         {"    api-version: required 1.3.204, device 1.2.275",
          "    VkPhysicalDeviceProperties.limits.maxPerStageDescriptorSamplers: required 64, "
          "device "
          "16 (vulkan10requirements_roadmap2022)",
          "    extension VK_KHR_global_priority: required 1, device missing "
          "(vulkan13requirements_roadmap2022)"}},
        {"intel_r__hd_graphics_520_0_402_1274_windows_10",
         "-----",
         {"    extension VK_KHR_maintenance1: required 2, device 1 "
          "(VP_LUNARG_desktop_baseline_2022_block)"}},
        {"llvmpipe__llvm_22_1_6__256_bits__26_1_2_windows_unknown", "+---+", {}},
    };
    for (const auto& device : devices) {
        const std::string path = std::string(DEVICE_DOCUMENTS "/") + device.file + ".json";
        const ProgramRun run = run_replayed(
            path, {"-profile", PUBLISHED_PROFILES "/VP_KHR_roadmap_2022.json", "-profile",
                   PUBLISHED_PROFILES "/LunarG/VP_LUNARG_desktop_baseline.json"});
        const std::vector<std::string> lines = lines_in(run.out);
        std::vector<std::string> verdicts;
        for (const std::string& line : lines) {
            if (line.rfind("Profile ", 0) == 0) {
                verdicts.push_back(line);
            }
        }
        std::vector<std::string> expected;
        for (size_t i = 0; i < 5; ++i) {
            expected.push_back(std::string("Profile ") + profiles[i] +
                               (device.supported[i] == '+' ? ": supported" : ": not supported"));
        }
        EXPECT_EQ(verdicts, expected) << device.file;
        for (const std::string& line : device.lines) {
            EXPECT_NE(std::find(lines.begin(), lines.end(), line), lines.end())
                << device.file << ": " << line;
        }
        EXPECT_EQ(run.status, std::string(device.supported) == "+++++" ? 0 : 1) << device.file;
    }
    // A device that misses only what the hand-worked lines say misses nothing else.
    const ProgramRun run =
        run_replayed(std::string(DEVICE_DOCUMENTS "/") + devices[0].file + ".json",
                     {"-profile", PUBLISHED_PROFILES "/LunarG/VP_LUNARG_desktop_baseline.json"});
    EXPECT_EQ(count_of(run.out, "\n    "), devices[0].lines.size()) << run.out;
}
