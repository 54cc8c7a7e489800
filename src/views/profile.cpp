#include "views/profile.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <unordered_map>
#include <utility>

#include "compare/compare.h"
#include "profiles/document.h"
#include "profiles/requirements.h"
#include "registry/registry.h"
#include "registry/walk.h"
#include "views/profile_verdict.h"
#include "vulkan/lists.h"

ReportStream profile_json_report;

namespace {

// The documents of the run, kept once they were read and found to be profiles documents.
ProfileSet documents;
bool documents_kept = false;
std::vector<ProfileSupport> supports;

// ---- Lines: what a device does not meet ----

// The most lines listed per profile and device; the others are only counted. A real profile
// misses a few dozen at most; a file that names one failing capability a million times would
// otherwise make a million lines.
constexpr size_t most_unmet_lines = 4096;
// The most bytes of lines kept at once: for the verdict of all profiles and devices together and,
// apart, for the capabilities of the device being checked. No form of the verdict may take more
// than most_report_bytes, so more could hardly be written.
constexpr size_t most_kept_bytes = most_report_bytes;

size_t cost_of(const Line& line) {
    return sizeof line + line.where.size() + line.required.size() + line.device.size() +
           line.capability.size();
}

struct LineList {
    std::vector<Line> lines;
    uint64_t count = 0;  // every line found, kept or not
};

// Keeps the line when the list has room and budget (bytes left to keep) allows; counts it
// either way.
void add_line(LineList& list, Line line, size_t& budget) {
    ++list.count;
    const size_t cost = cost_of(line);
    if (list.lines.size() < most_unmet_lines && cost <= budget) {
        budget -= cost;
        list.lines.push_back(std::move(line));
    }
}

std::string element_text(const MemberRow& member, const unsigned char* element) {
    std::string text;
    append_element_text(text, member, element);
    return text;
}

std::string member_text(const MemberRow& member, const unsigned char* bytes) {
    std::string text;
    append_member_text(text, member, bytes, member.count);
    return text;
}

// ---- The device, indexed for the lookups a document makes ----

struct DeviceView {
    const DeviceFacts* facts;
    std::unordered_map<std::string, uint32_t> extensions;  // name: spec version, the first listed
    std::unordered_map<uint64_t, const FormatFacts*> formats;
};

void index_device(const DeviceFacts& facts, DeviceView& view) {
    view.facts = &facts;
    view.extensions.clear();
    view.formats.clear();
    for (const VkExtensionProperties& extension : facts.extensions) {
        view.extensions.emplace(vulkan_name(extension.extensionName).text, extension.specVersion);
    }
    for (const FormatFacts& format : facts.formats) {
        view.formats.emplace(static_cast<uint64_t>(format.info->format), &format);
    }
}

// The instance extensions, read the first time a profile asks for an extension the device does
// not list: the loader reads every manifest again to answer, which would cost a run that needs
// no instance extension as much as its device queries.
std::unordered_map<std::string, uint32_t> instance_extensions;
bool instance_extensions_read = false;

const uint32_t* find_extension(const DeviceView& device, const std::string& name) {
    // A listed name is at most 255 bytes and its NUL.
    if (name.size() >= VK_MAX_EXTENSION_NAME_SIZE) {
        return nullptr;
    }
    const auto found = device.extensions.find(name);
    if (found != device.extensions.end()) {
        return &found->second;
    }
    if (!instance_extensions_read) {
        std::vector<VkExtensionProperties> listed;
        read_instance_extensions(nullptr, listed);
        for (const VkExtensionProperties& extension : listed) {
            instance_extensions.emplace(vulkan_name(extension.extensionName).text,
                                        extension.specVersion);
        }
        instance_extensions_read = true;
    }
    const auto instance = instance_extensions.find(name);
    return instance != instance_extensions.end() ? &instance->second : nullptr;
}

const unsigned char* chained(const StructureChain& chain, const StructureInfo& structure) {
    for (size_t i = 0; i < chain.size(); ++i) {
        if (chain.structures[i] == &structure) {
            return static_cast<const unsigned char*>(chain.bytes(i));
        }
    }
    return nullptr;
}

template <typename T>
const unsigned char* bytes_of(const T& structure) {
    return reinterpret_cast<const unsigned char*>(&structure);
}

// A format the device's version and extensions do not provide has no feature: each of its
// structures is all zero.
const unsigned char* zero_structure(const StructureInfo& structure) {
    alignas(8) static const unsigned char zeros[1024] = {};
    return structure.size <= sizeof zeros ? zeros : nullptr;
}

// ---- Comparing one member ----

// One requirement: a member of the structure at top + offset (container), and what it asks.
struct Requirement {
    const StructureInfo& container;
    size_t offset;
    const MemberRow& member;
    LimitType limit;
    const MemberValue& value;
    const unsigned char* wanted;
};

// Compares a requirement with the device's structure at top (the structure the block names).
// Returns how many of its values the device does not meet; when lines is not null, adds a line
// for each at where. Values the document gives in another form were lines of their own already.
uint64_t compare_member(const Requirement& requirement, const unsigned char* top,
                        const std::string& where, LineList* lines, size_t& budget) {
    const MemberRow& member = requirement.member;
    const MemberValue& value = requirement.value;
    const unsigned char* device = top + requirement.offset + member.offset;
    if (member.kind == MemberKind::String) {
        if (!element_read(value, 0)) {
            return 0;
        }
        std::string has = exported_text(member, device);
        if (compare_texts(has, value.text) == Comparison::Equal) {
            return 0;
        }
        if (lines != nullptr) {
            add_line(*lines, {LineKind::Unmet, where, value.text, std::move(has), ""}, budget);
        }
        return 1;
    }
    if (compared_whole(member, requirement.limit)) {
        for (uint32_t i = 0; i < value.given; ++i) {
            if (!element_read(value, i)) {
                return 0;
            }
        }
        if (value.given == 0 ||
            meets(compare_whole(member, requirement.limit, device, requirement.wanted))) {
            return 0;
        }
        if (lines != nullptr) {
            add_line(*lines,
                     {LineKind::Unmet, where, member_text(member, requirement.wanted),
                      member_text(member, device), ""},
                     budget);
        }
        return 1;
    }
    const uint32_t valid =
        member_element_count(requirement.container, member, top + requirement.offset);
    const size_t size = element_size(member);
    uint64_t unmet = 0;
    for (uint32_t i = 0; i < value.given; ++i) {
        if (!element_read(value, i)) {
            continue;
        }
        const unsigned char* wanted = requirement.wanted + i * size;
        const bool present = i < valid;
        if (present &&
            meets(compare_elements(member, requirement.limit, device + i * size, wanted))) {
            continue;
        }
        ++unmet;
        if (lines != nullptr) {
            add_line(
                *lines,
                {LineKind::Unmet, member.count > 1 ? where + "[" + std::to_string(i) + "]" : where,
                 element_text(member, wanted),
                 present ? element_text(member, device + i * size) : "missing", ""},
                budget);
        }
    }
    return unmet;
}

// A boolean given false (or booleans all false) asks nothing of a feature: a device that lacks
// the structure meets it.
bool asks_nothing(const MemberVisit& visit) {
    if (visit.member.kind != MemberKind::Bool32 ||
        (visit.limit & (LimitExact | LimitNoauto | LimitMin)) != 0) {
        return false;
    }
    for (uint32_t i = 0; i < visit.value.given; ++i) {
        if (element_read(visit.value, i) &&
            element_unsigned(visit.member, visit.wanted + 4 * i) != 0) {
            return false;
        }
    }
    return true;
}

// ---- Checking one capability against one device ----

// A member requirement of a queue family entry, kept to be compared with each family.
struct KeptMember {
    const StructureInfo* container;
    size_t offset;
    const MemberRow* member;
    LimitType limit;
    MemberValue value;
    std::vector<unsigned char> wanted;
    std::string where;  // from the structure on, without "queue family N "
};

struct KeptStructure {
    const StructureInfo* structure;
    std::string where;
    size_t first_member;
    size_t end_member;
};

struct QueueFamilyEntry {
    size_t index = 0;
    size_t prefix = 0;  // the length of "queue family N " in the places the walk gives
    std::vector<KeptStructure> structures;
    std::vector<KeptMember> members;
};

struct CapabilityCheck {
    const DeviceView& device;
    LineList& lines;
    size_t& budget;
    BlockKind block;
    const FormatFacts* format;  // the format being checked; null when the device lacks it
    const unsigned char* base;  // the device's structure being checked; null when it lacks it
    bool asks;                  // a member of a structure the device lacks asks something
    QueueFamilyEntry entry;
};

CapabilityCheck& check_of(void* context) {
    return *static_cast<CapabilityCheck*>(context);
}

void on_extension(void* context, const std::string& name, uint32_t version,
                  const std::string& where) {
    CapabilityCheck& check = check_of(context);
    const uint32_t* has = find_extension(check.device, name);
    if (has == nullptr) {
        add_line(check.lines, {LineKind::Unmet, where, std::to_string(version), "missing", ""},
                 check.budget);
    } else if (*has < version) {
        add_line(check.lines,
                 {LineKind::Unmet, where, std::to_string(version), std::to_string(*has), ""},
                 check.budget);
    }
}

// The unmet requirements of a queue family entry against one of the device's families, with
// their lines when lines is not null.
uint64_t family_unmet(const QueueFamilyEntry& entry, const QueueFamilyFacts& family,
                      const std::string& prefix, LineList* lines, size_t& budget) {
    static const std::string nowhere;
    uint64_t unmet = 0;
    for (const KeptStructure& structure : entry.structures) {
        const unsigned char* base = structure.structure == &queue_family_properties_info
                                        ? bytes_of(family.properties)
                                        : chained(family.chain, *structure.structure);
        if (base == nullptr) {
            ++unmet;
            if (lines != nullptr) {
                add_line(*lines,
                         {LineKind::Unmet, prefix + structure.where, "present", "missing", ""},
                         budget);
            }
            continue;
        }
        for (size_t m = structure.first_member; m < structure.end_member; ++m) {
            const KeptMember& kept = entry.members[m];
            const Requirement requirement{*kept.container, kept.offset, *kept.member,
                                          kept.limit,      kept.value,  kept.wanted.data()};
            unmet += compare_member(
                requirement, base, lines != nullptr ? prefix + kept.where : nowhere, lines, budget);
        }
    }
    return unmet;
}

// Each required family is met by some family of the device; when none meets it, the lines of the
// family that comes closest (fewest unmet requirements, the first of equals) say why.
void check_queue_family(CapabilityCheck& check) {
    const QueueFamilyEntry& entry = check.entry;
    const std::vector<QueueFamilyFacts>& families = check.device.facts->queue_families;
    const std::string name = "queue family " + std::to_string(entry.index);
    if (families.empty()) {
        add_line(check.lines, {LineKind::Unmet, name, "present", "missing", ""}, check.budget);
        return;
    }
    size_t closest = 0;
    uint64_t fewest = UINT64_MAX;
    for (size_t f = 0; f < families.size() && fewest != 0; ++f) {
        const uint64_t unmet = family_unmet(entry, families[f], "", nullptr, check.budget);
        if (unmet < fewest) {
            fewest = unmet;
            closest = f;
        }
    }
    if (fewest != 0) {
        family_unmet(entry, families[closest],
                     name + " (device family " + std::to_string(closest) + ") ", &check.lines,
                     check.budget);
    }
}

void on_block_item(void* context, BlockKind block, uint64_t item, bool start) {
    CapabilityCheck& check = check_of(context);
    check.block = block;
    if (block == BlockKind::Formats) {
        const auto found = check.device.formats.find(item);
        check.format = found != check.device.formats.end() ? found->second : nullptr;
    } else if (start) {
        check.entry = QueueFamilyEntry{};
        check.entry.index = static_cast<size_t>(item);
        check.entry.prefix = ("queue family " + std::to_string(item) + " ").size();
    } else {
        check_queue_family(check);
    }
}

const unsigned char* device_structure(const CapabilityCheck& check,
                                      const StructureInfo& structure) {
    const DeviceFacts& facts = *check.device.facts;
    switch (check.block) {
        case BlockKind::Features:
            if (&structure == &physical_device_features_info) {
                return facts.features_read ? bytes_of(facts.features) : nullptr;
            }
            return chained(facts.feature_chain, structure);
        case BlockKind::Properties:
            if (&structure == &physical_device_properties_info) {
                return bytes_of(facts.properties);
            }
            return chained(facts.property_chain, structure);
        case BlockKind::Formats:
            if (check.format == nullptr) {
                return zero_structure(structure);
            }
            if (&structure == &format_properties_info) {
                return bytes_of(check.format->properties);
            }
            return chained(check.format->chain, structure);
        default:
            return nullptr;
    }
}

bool on_structure(void* context, const StructureVisit& visit) {
    CapabilityCheck& check = check_of(context);
    check.block = visit.block;
    if (visit.block == BlockKind::QueueFamilies) {
        const size_t members = check.entry.members.size();
        check.entry.structures.push_back(
            {&visit.structure, visit.where.substr(check.entry.prefix), members, members});
        return true;
    }
    check.base = device_structure(check, visit.structure);
    check.asks = false;
    return true;
}

void on_structure_end(void* context, const StructureVisit& visit) {
    CapabilityCheck& check = check_of(context);
    if (visit.block == BlockKind::QueueFamilies) {
        check.entry.structures.back().end_member = check.entry.members.size();
        return;
    }
    // A property, format or queue family structure the device lacks is unmet whatever it asks;
    // a feature structure only when it asks for a feature.
    if (check.base == nullptr && (visit.block != BlockKind::Features || check.asks)) {
        add_line(check.lines, {LineKind::Unmet, visit.where, "present", "missing", ""},
                 check.budget);
    }
}

bool on_nested(void* context, const NestedVisit& visit) {
    CapabilityCheck& check = check_of(context);
    if (check.block == BlockKind::QueueFamilies || check.base == nullptr ||
        visit.index <
            member_element_count(visit.container, visit.member, check.base + visit.offset)) {
        return true;
    }
    add_line(check.lines, {LineKind::Unmet, visit.where, "present", "missing", ""}, check.budget);
    return false;
}

void on_member(void* context, const MemberVisit& visit) {
    CapabilityCheck& check = check_of(context);
    if (check.block == BlockKind::QueueFamilies) {
        check.entry.members.push_back(
            {&visit.container, visit.offset, &visit.member, visit.limit, visit.value,
             std::vector<unsigned char>(visit.wanted, visit.wanted + visit.member.size),
             visit.where.substr(check.entry.prefix)});
        return;
    }
    if (check.base == nullptr) {
        check.asks = check.asks || !asks_nothing(visit);
        return;
    }
    const Requirement requirement{visit.container, visit.offset, visit.member,
                                  visit.limit,     visit.value,  visit.wanted};
    compare_member(requirement, check.base, visit.where, &check.lines, check.budget);
}

void on_problem(void* context, ProblemKind kind, const std::string& where,
                const std::string& text) {
    CapabilityCheck& check = check_of(context);
    if (kind == ProblemKind::Unknown) {
        add_line(check.lines, {LineKind::Unknown, where, "", "", ""}, check.budget);
    } else if (kind != ProblemKind::Fault) {  // faults refused the document already
        add_line(check.lines, {LineKind::Problem, where, "", text, ""}, check.budget);
    }
}

LineList check_capability(const ProfileJson& capability, const DeviceView& device, size_t& budget) {
    LineList lines;
    CapabilityCheck check{device, lines, budget, BlockKind::Features, nullptr, nullptr, false, {}};
    const RequirementVisitor visitor{&check,           on_extension, on_block_item, on_structure,
                                     on_structure_end, on_nested,    on_member,     on_problem};
    walk_capability(capability, visitor);
    return lines;
}

// ---- Checking the profiles against one device ----

struct DeviceCheck {
    const DeviceView& device;
    // What each capability misses on the device, by its object in the document: a capability
    // that several profiles or entries name is compared once per device.
    std::unordered_map<const ProfileJson*, LineList> capabilities;
    size_t capability_budget;
    std::vector<uint8_t> met;  // per profile, once checked
};

const LineList& capability_lines(DeviceCheck& check, const ProfileJson& capability) {
    const auto found = check.capabilities.find(&capability);
    if (found != check.capabilities.end()) {
        return found->second;
    }
    LineList lines = check_capability(capability, check.device, check.capability_budget);
    return check.capabilities.emplace(&capability, std::move(lines)).first->second;
}

// The capabilities of one alternative of an entry: one name, or an array of names all required.
void alternative_capabilities(const ProfileJson& alternative, const ProfileDocument& document,
                              std::vector<std::pair<const std::string*, const ProfileJson*>>& out) {
    out.clear();
    const auto add = [&document, &out](const ProfileJson& name) {
        const std::string& text = name.get_ref<const std::string&>();
        out.emplace_back(&text, document.capabilities.at(text));
    };
    if (alternative.is_string()) {
        add(alternative);
        return;
    }
    for (const ProfileJson& name : alternative) {
        add(name);
    }
}

// Adds a capability's lines to a pair's, each tagged with where it comes from. Once the pair
// lists all it may, the rest is only counted.
void add_capability_lines(LineList& pair, const LineList& capability, const std::string& tag,
                          size_t& budget, bool keep) {
    size_t copied = 0;
    for (; keep && copied < capability.lines.size() && pair.lines.size() < most_unmet_lines;
         ++copied) {
        Line line = capability.lines[copied];
        line.capability = tag;
        add_line(pair, std::move(line), budget);
    }
    pair.count += capability.count - copied;
}

// Every requirement of a profile against one device: the API version, the profiles it requires
// (met on the same device), then each entry of its capabilities in order. An entry of
// alternatives is met when one alternative is; otherwise the lines of every alternative are
// given, each tagged with its place.
PairResult check_profile(DeviceCheck& check, const Profile& profile, size_t& budget, bool keep) {
    LineList pair;
    const uint32_t has = check.device.facts->properties.apiVersion;
    if (!meets(compare_api_versions(has, profile.api_version))) {
        add_line(pair,
                 {LineKind::Unmet, "api-version", version_text(profile.api_version).text,
                  version_text(has).text, ""},
                 budget);
    }
    for (const RequiredProfile& required : profile.required) {
        if (required.index < 0) {
            add_line(pair,
                     {LineKind::Problem, "required profile " + *required.name, "",
                      "defined in none of the files given", ""},
                     budget);
        } else if (check.met[static_cast<size_t>(required.index)] == 0) {
            add_line(
                pair,
                {LineKind::Problem, "required profile " + *required.name, "", "not supported", ""},
                budget);
        }
    }
    std::vector<std::pair<const std::string*, const ProfileJson*>> names;
    for (const ProfileJson& entry : profile.json->at("capabilities")) {
        const size_t alternatives = entry.is_array() ? entry.size() : 1;
        bool met = false;
        for (size_t a = 0; a < alternatives && !met; ++a) {
            alternative_capabilities(entry.is_array() ? entry[a] : entry, *profile.document, names);
            met = true;
            for (const auto& [name, capability] : names) {
                met = met && capability_lines(check, *capability).count == 0;
            }
        }
        for (size_t a = 0; a < alternatives && !met; ++a) {
            alternative_capabilities(entry.is_array() ? entry[a] : entry, *profile.document, names);
            for (const auto& [name, capability] : names) {
                std::string tag = *name;
                if (entry.is_array()) {
                    tag += ", alternative " + std::to_string(a + 1) + " of " +
                           std::to_string(alternatives);
                }
                add_capability_lines(pair, capability_lines(check, *capability), tag, budget, keep);
            }
        }
    }
    PairResult result;
    result.met = pair.count == 0;
    result.unmet = pair.count;
    result.lines = std::move(pair.lines);
    return result;
}

// ---- The verdict of every profile on every device ----

// Checks every profile on one device, adding to the verdict. With keep, the lines are kept for
// the verdict, as far as budget (most_kept_bytes at first) allows; the profiles beyond it are
// checked all the same.
void check_device(const DeviceFacts& facts, Verdict& verdict, size_t& budget, bool keep) {
    DeviceView view;
    index_device(facts, view);
    verdict.device_names.emplace_back(vulkan_name(facts.properties.deviceName).text);
    DeviceCheck check{view, {}, most_kept_bytes, std::vector<uint8_t>(documents.profiles.size())};
    for (const size_t p : documents.order) {
        const bool keep_pair = keep && budget >= sizeof(PairResult);
        PairResult result = check_profile(check, documents.profiles[p], budget, keep_pair);
        check.met[p] = result.met ? 1 : 0;
        verdict.unmet += result.unmet;
        ProfileVerdict& profile = verdict.profiles[p];
        profile.supported = profile.supported || result.met;
        if (keep_pair) {
            budget -= sizeof(PairResult);
            profile.devices.push_back(std::move(result));
        }
    }
    supports.clear();
    for (size_t p = 0; p < documents.profiles.size(); ++p) {
        supports.push_back({*documents.profiles[p].name, verdict.profiles[p].supported});
    }
}

Verdict empty_verdict() {
    Verdict verdict;
    verdict.profiles.resize(documents.profiles.size());
    instance_extensions.clear();
    instance_extensions_read = false;
    supports.clear();
    for (const Profile& profile : documents.profiles) {
        supports.push_back({*profile.name, false});
    }
    return verdict;
}

// Checks every profile on every device, one device at a time: what a device tells is read,
// compared and let go before the next is read.
Verdict check_devices(VkInstance instance, const InstanceFacts& instance_facts, bool keep) {
    Verdict verdict = empty_verdict();
    std::vector<VkPhysicalDevice> handles;
    if (instance != VK_NULL_HANDLE) {
        read_physical_devices(instance, handles);
    }
    size_t budget = most_kept_bytes;
    DeviceFacts facts;
    for (const VkPhysicalDevice handle : handles) {
        query_device(instance_facts, handle, facts);
        check_device(facts, verdict, budget, keep);
    }
    return verdict;
}

// The check of a caller that reads the devices itself.
Verdict running_check;

bool keep_documents(ProfileSet& set, std::string& file, std::string& why) {
    size_t document = 0;
    if (!resolve_required_profiles(set, document, why)) {
        file = set.documents[document]->path;
        return false;
    }
    documents = std::move(set);
    documents_kept = true;
    return true;
}

}  // namespace

bool load_profile_documents(const std::vector<const char*>& paths, std::string& file,
                            std::string& why) {
    documents_kept = false;
    documents = ProfileSet{};
    ProfileSet set;
    for (const char* path : paths) {
        if (!add_profile_file(set, path, why)) {
            file = path;
            return false;
        }
    }
    return keep_documents(set, file, why);
}

bool parse_profile_documents(const std::vector<std::string>& texts, std::string& file,
                             std::string& why) {
    documents_kept = false;
    documents = ProfileSet{};
    ProfileSet set;
    for (size_t i = 0; i < texts.size(); ++i) {
        const std::string name = "document " + std::to_string(i + 1);
        if (!add_profile_text(set, name.c_str(), texts[i].data(), texts[i].size(), why)) {
            file = name;
            return false;
        }
    }
    return keep_documents(set, file, why);
}

bool report_profile_verdict(VkInstance instance, const InstanceFacts& instance_facts) {
    profile_json_report.clear();
    supports.clear();
    if (!documents_kept) {
        return false;
    }
    const Verdict verdict = check_devices(instance, instance_facts, true);
    bool supported = true;
    for (const ProfileVerdict& profile : verdict.profiles) {
        supported = supported && profile.supported;
    }
    write_profile_verdict(verdict, documents.profiles, supported);
    return supported;
}

bool check_profiles(VkInstance instance, const InstanceFacts& instance_facts) {
    supports.clear();
    if (!documents_kept) {
        return false;
    }
    check_devices(instance, instance_facts, false);
    bool supported = true;
    for (const ProfileSupport& profile : supports) {
        supported = supported && profile.supported;
    }
    return supported;
}

void start_profile_check() {
    running_check = empty_verdict();
}

void check_profile_device(const DeviceFacts& facts) {
    if (documents_kept) {
        size_t budget = 0;
        check_device(facts, running_check, budget, false);
    }
}

const std::vector<ProfileSupport>& profile_supports() {
    return supports;
}
