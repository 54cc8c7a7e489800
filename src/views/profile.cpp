#include "views/profile.h"

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <map>
#include <utility>
#include <vector>

#include "registry/registry.h"
#include "registry/walk.h"
#include "views/profile_file.h"

ReportStream profile_json_report;

namespace {

// The document of the run, kept once it was read and found to be a profiles document.
ProfileJson document;
bool document_kept = false;

// ---- What a walk over the requirements finds ----

// One requirement a device does not meet, or one the headers do not know (then required holds
// nothing and device holds nothing).
struct Unmet {
    std::string where;       // "VkPhysicalDeviceFeatures.wideLines", "extension VK_KHR_x"
    std::string required;    // the profile's value, written as the reports write values
    std::string device;      // the device's value, or "missing"
    std::string capability;  // the capability it comes from, with its alternative
    bool unknown;
};

// One walk over requirements: either validating the document (no device, faults recorded) or
// comparing it with one device (unmet requirements recorded).
struct Walk {
    std::vector<Unmet>* unmet;  // null while validating
    std::string* fault;         // the first fault of the document, while validating
    std::string capability;
};

bool validating(const Walk& walk) {
    return walk.unmet == nullptr;
}

void add_unmet(Walk& walk, const std::string& where, std::string required, std::string device) {
    if (!validating(walk)) {
        walk.unmet->push_back(
            {where, std::move(required), std::move(device), walk.capability, false});
    }
}

void add_unknown(Walk& walk, const std::string& where) {
    if (!validating(walk)) {
        walk.unmet->push_back({where, "", "", walk.capability, true});
    }
}

void add_fault(Walk& walk, const std::string& where, const std::string& what) {
    if (walk.fault != nullptr && walk.fault->empty()) {
        *walk.fault = "capability " + walk.capability + ", " + where + ": " + what;
    }
}

// ---- Reading a required value into the member's own layout ----

enum class Reading { Read, Invalid, Unknown };

template <typename T>
void store(unsigned char* at, T value) {
    memcpy(at, &value, sizeof value);
}

bool unsigned_in(const ProfileJson& value, uint64_t most, uint64_t& out) {
    if (!value.is_number_unsigned() || value.get<uint64_t>() > most) {
        return false;
    }
    out = value.get<uint64_t>();
    return true;
}

bool signed_in(const ProfileJson& value, int64_t least, int64_t most, int64_t& out) {
    if (value.is_number_unsigned()) {
        if (value.get<uint64_t>() > static_cast<uint64_t>(most)) {
            return false;
        }
        out = static_cast<int64_t>(value.get<uint64_t>());
        return true;
    }
    if (!value.is_number_integer() || value.get<int64_t>() < least || value.get<int64_t>() > most) {
        return false;
    }
    out = value.get<int64_t>();
    return true;
}

// Flags as the schema writes them: an array of bit names (or one name for a single bit).
Reading read_flags(const ProfileJson& value, const MemberRow& member, unsigned char* at,
                   std::string& problem) {
    if (!value.is_array() && !value.is_string()) {
        problem = "expected an array of bit names";
        return Reading::Invalid;
    }
    // One name stands for an array of one, without copying the document's array.
    const size_t count = value.is_string() ? 1 : value.size();
    uint64_t bits = 0;
    for (size_t i = 0; i < count; ++i) {
        const ProfileJson& name = value.is_string() ? value : value[i];
        uint64_t bit = 0;
        if (!name.is_string()) {
            problem = "expected an array of bit names";
            return Reading::Invalid;
        }
        const std::string& text = name.get_ref<const std::string&>();
        if (member.names == nullptr || !value_of_name(*member.names, text.c_str(), &bit)) {
            problem = text;
            return Reading::Unknown;
        }
        bits |= bit;
    }
    if (member.kind == MemberKind::Flags64) {
        store<uint64_t>(at, bits);
    } else {
        store<uint32_t>(at, static_cast<uint32_t>(bits));
    }
    return Reading::Read;
}

Reading read_number(const ProfileJson& value, const MemberRow& member, unsigned char* at,
                    std::string& problem) {
    int64_t signed_value = 0;
    uint64_t unsigned_value = 0;
    switch (member.kind) {
        case MemberKind::Int32:
            if (!signed_in(value, INT32_MIN, INT32_MAX, signed_value)) {
                problem = "expected a signed 32-bit integer";
                return Reading::Invalid;
            }
            store<int32_t>(at, static_cast<int32_t>(signed_value));
            return Reading::Read;
        case MemberKind::Int64:
            if (!signed_in(value, INT64_MIN, INT64_MAX, signed_value)) {
                problem = "expected a signed 64-bit integer";
                return Reading::Invalid;
            }
            store<int64_t>(at, signed_value);
            return Reading::Read;
        case MemberKind::Float:
            if (!value.is_number() || !std::isfinite(value.get<double>()) ||
                std::fabs(value.get<double>()) > FLT_MAX) {
                problem = "expected a number within the range of a float";
                return Reading::Invalid;
            }
            store<float>(at, static_cast<float>(value.get<double>()));
            return Reading::Read;
        default:
            break;
    }
    const size_t size = element_size(member);
    const uint64_t most = size == 1 ? UINT8_MAX : size == 4 ? UINT32_MAX : UINT64_MAX;
    if (!unsigned_in(value, most, unsigned_value)) {
        problem = "expected an unsigned " + std::to_string(size * 8) + "-bit integer";
        return Reading::Invalid;
    }
    if (size == 1) {
        store<uint8_t>(at, static_cast<uint8_t>(unsigned_value));
    } else if (size == 4) {
        store<uint32_t>(at, static_cast<uint32_t>(unsigned_value));
    } else if (size == sizeof(size_t)) {
        store<size_t>(at, static_cast<size_t>(unsigned_value));
    } else {
        store<uint64_t>(at, unsigned_value);
    }
    return Reading::Read;
}

Reading read_element(const ProfileJson& value, const MemberRow& member, unsigned char* at,
                     std::string& problem) {
    uint64_t named = 0;
    switch (member.kind) {
        case MemberKind::Bool32:
            if (!value.is_boolean()) {
                problem = "expected true or false";
                return Reading::Invalid;
            }
            store<uint32_t>(at, value.get<bool>() ? 1u : 0u);
            return Reading::Read;
        case MemberKind::Enum:
            if (!value.is_string()) {
                problem = "expected an enumerant name";
                return Reading::Invalid;
            }
            if (member.names == nullptr ||
                !value_of_name(*member.names, value.get_ref<const std::string&>().c_str(),
                               &named)) {
                problem = value.get_ref<const std::string&>();
                return Reading::Unknown;
            }
            store<uint32_t>(at, static_cast<uint32_t>(named));
            return Reading::Read;
        case MemberKind::Flags:
        case MemberKind::Flags64:
            return read_flags(value, member, at, problem);
        default:
            return read_number(value, member, at, problem);
    }
}

// Reads a member's required value into bytes laid out as the device's member (member.size
// bytes, zeroed); given is how many elements the document gave.
Reading read_member(const ProfileJson& value, const MemberRow& member, unsigned char* bytes,
                    uint32_t& given, std::string& problem) {
    given = 1;
    if (member.kind == MemberKind::String) {
        if (!value.is_string() || value.get_ref<const std::string&>().size() >= member.count) {
            problem = "expected a string shorter than " + std::to_string(member.count) + " bytes";
            return Reading::Invalid;
        }
        const std::string& text = value.get_ref<const std::string&>();
        memcpy(bytes, text.data(), text.size());
        return Reading::Read;
    }
    if (member.count == 1) {
        return read_element(value, member, bytes, problem);
    }
    if (!value.is_array() || value.size() > member.count) {
        problem = "expected an array of at most " + std::to_string(member.count) + " values";
        return Reading::Invalid;
    }
    given = static_cast<uint32_t>(value.size());
    Reading reading = Reading::Read;
    for (uint32_t i = 0; i < given; ++i) {
        std::string element_problem;
        const Reading element =
            read_element(value[i], member, bytes + i * element_size(member), element_problem);
        if (element != Reading::Read && reading != Reading::Invalid) {
            reading = element;
            problem = element_problem;
        }
    }
    return reading;
}

// ---- Comparing one member ----

bool multiple_of(uint64_t required, uint64_t device) {
    return device == 0 ? required == 0 : required % device == 0;
}
bool multiple_of(int64_t required, int64_t device) {
    return device == 0 ? required == 0 : device == -1 || required % device == 0;
}
bool multiple_of(double required, double device) {
    return device == 0 ? required == 0 : std::fmod(required, device) == 0;
}

// A number compared as its limit type says: min (with mul: the required value is a multiple of
// the device's), max and bits (more is better; pot changes nothing), anything else equal.
template <typename T>
bool number_met(T required, T device, LimitType limit) {
    if ((limit & LimitMin) != 0) {
        return device <= required && ((limit & LimitMul) == 0 || multiple_of(required, device));
    }
    if ((limit & (LimitMax | LimitBits)) != 0) {
        return device >= required;
    }
    return device == required;
}

bool element_met(const MemberRow& member, LimitType limit, const unsigned char* required,
                 const unsigned char* device) {
    const bool equal = (limit & (LimitExact | LimitNoauto)) != 0;
    const uint64_t wanted = element_unsigned(member, required);
    const uint64_t has = element_unsigned(member, device);
    switch (member.kind) {
        case MemberKind::Bool32:
            return equal ? wanted == has : wanted == 0 || has != 0;
        case MemberKind::Flags:
        case MemberKind::Flags64:
            return equal ? wanted == has : (has & wanted) == wanted;
        case MemberKind::Enum:
            return wanted == has;
        case MemberKind::Float:
            return number_met(element_float(member, required), element_float(member, device),
                              limit);
        case MemberKind::Int32:
        case MemberKind::Int64:
            return number_met(element_signed(member, required), element_signed(member, device),
                              limit);
        default:
            if (!equal && (limit & LimitBitmask) != 0) {
                return (has & wanted) == wanted;
            }
            return number_met(wanted, has, limit);
    }
}

// Strings, identifiers and [minimum, maximum] ranges compare whole.
bool compared_whole(const MemberRow& member, LimitType limit) {
    return member.kind == MemberKind::String || member.kind == MemberKind::Uuid ||
           member.kind == MemberKind::Luid || (limit & LimitRange) != 0;
}

bool whole_met(const MemberRow& member, const unsigned char* required,
               const unsigned char* device) {
    if (member.kind == MemberKind::String) {
        return strncmp(reinterpret_cast<const char*>(required),
                       reinterpret_cast<const char*>(device), member.count) == 0;
    }
    if (member.kind != MemberKind::Uuid && member.kind != MemberKind::Luid) {
        const size_t size = element_size(member);
        return element_float(member, device) <= element_float(member, required) &&
               element_float(member, device + size) >= element_float(member, required + size);
    }
    return memcmp(required, device, member.size) == 0;
}

std::string member_text(const MemberRow& member, const unsigned char* bytes, uint32_t count) {
    std::string text;
    append_member_text(text, member, bytes, count);
    return text;
}

std::string element_text(const MemberRow& member, const unsigned char* element) {
    std::string text;
    append_element_text(text, member, element);
    return text;
}

void check_member(Walk& walk, const StructureInfo& structure, const MemberRow& member,
                  LimitType limit, const ProfileJson& value, const unsigned char* base,
                  const std::string& where) {
    // Members are at most a few hundred bytes (strings of 256); a larger one gets the heap.
    unsigned char room[512] = {};
    std::vector<unsigned char> large(member.size > sizeof room ? member.size : 0, 0);
    unsigned char* const wanted_bytes = large.empty() ? room : large.data();
    uint32_t given = 1;
    std::string problem;
    const Reading reading = read_member(value, member, wanted_bytes, given, problem);
    if (reading == Reading::Invalid) {
        add_fault(walk, where, problem);
        return;
    }
    if ((limit & LimitRange) != 0 && given != 2) {
        add_fault(walk, where, "expected [minimum, maximum]");
        return;
    }
    if (reading == Reading::Unknown) {
        add_unknown(walk, where + " " + problem);
        return;
    }
    if (validating(walk)) {
        return;
    }
    const unsigned char* device = base + member.offset;
    if (compared_whole(member, limit)) {
        if (!whole_met(member, wanted_bytes, device)) {
            add_unmet(walk, where, member_text(member, wanted_bytes, member.count),
                      member_text(member, device, member.count));
        }
        return;
    }
    const uint32_t valid = member_element_count(structure, member, base);
    const size_t size = element_size(member);
    for (uint32_t i = 0; i < given; ++i) {
        const unsigned char* wanted = wanted_bytes + i * size;
        if (i < valid && element_met(member, limit, wanted, device + i * size)) {
            continue;
        }
        add_unmet(walk, member.count > 1 ? where + "[" + std::to_string(i) + "]" : where,
                  element_text(member, wanted),
                  i < valid ? element_text(member, device + i * size) : "missing");
    }
}

void check_structure(Walk& walk, const StructureInfo& structure, const ProfileJson& members,
                     const unsigned char* base, LimitType inherited, std::string& where);

// One member of a structure; where names it.
void check_structure_member(Walk& walk, const StructureInfo& structure, const std::string& name,
                            const ProfileJson& value, const unsigned char* base,
                            LimitType inherited, std::string& where) {
    const MemberRow* member = find_member(structure, name.c_str());
    if (member == nullptr) {
        add_unknown(walk, where);
        return;
    }
    const LimitType limit = member->limit != LimitNone ? member->limit : inherited;
    if (member->kind != MemberKind::Structure) {
        check_member(walk, structure, *member, limit, value, base, where);
        return;
    }
    const LimitType inner = (limit & LimitStruct) != 0 ? LimitNone : limit;
    const unsigned char* nested = base != nullptr ? base + member->offset : nullptr;
    if (member->count == 1) {
        check_structure(walk, *member->nested, value, nested, inner, where);
        return;
    }
    if (!value.is_array() || value.size() > member->count) {
        add_fault(walk, where, "expected an array of at most " + std::to_string(member->count));
        return;
    }
    const uint32_t valid =
        base != nullptr ? member_element_count(structure, *member, base) : member->count;
    const size_t mark = where.size();
    for (uint32_t i = 0; i < value.size(); ++i) {
        where += "[" + std::to_string(i) + "]";
        if (i >= valid) {
            add_unmet(walk, where, "present", "missing");
        } else {
            check_structure(walk, *member->nested, value[i],
                            nested != nullptr ? nested + i * member->nested->size : nullptr, inner,
                            where);
        }
        where.resize(mark);
    }
}

// A structure's required members, nested structures member by member. base is the device's
// structure (null while validating); members without a limit type of their own take the one of
// the member they are nested in ("min,mul" on an extent), except under "struct". where names the
// structure; it grows by each member's name while that member is compared, so that no text is
// built for what is met.
void check_structure(Walk& walk, const StructureInfo& structure, const ProfileJson& members,
                     const unsigned char* base, LimitType inherited, std::string& where) {
    if (!members.is_object()) {
        add_fault(walk, where, "expected an object");
        return;
    }
    const size_t mark = where.size();
    for (const auto& item : members.items()) {
        where += '.';
        where += item.key();
        check_structure_member(walk, structure, item.key(), item.value(), base, inherited, where);
        where.resize(mark);
    }
}

// ---- The blocks of a capability ----

// Where a block's structures are found on the device: the structure it reads whole, the chain
// of the others, and the structure that wraps the first in one member, which the schema lets a
// document name ("VkPhysicalDeviceFeatures2": {"features": {...}}).
struct Source {
    const StructureInfo* root;
    const void* root_bytes;       // null when the device did not read it, or while validating
    const StructureChain* chain;  // null while validating
    const char* wrapper;
    const char* wrapper_member;
};

// Structure names looked up once per document: a device's own document names the same few
// structures for each of its hundreds of formats, and the tables are searched name by name.
std::map<std::string, const StructureInfo*> structures_by_name;

const StructureInfo* structure_named(const std::string& name) {
    const auto found = structures_by_name.find(name);
    if (found != structures_by_name.end()) {
        return found->second;
    }
    return structures_by_name.emplace(name, find_structure(name.c_str())).first->second;
}

const void* chained(const StructureChain* chain, const StructureInfo* structure) {
    for (size_t i = 0; chain != nullptr && i < chain->size(); ++i) {
        if (chain->structures[i] == structure) {
            return chain->bytes(i);
        }
    }
    return nullptr;
}

void check_wrapper(Walk& walk, const ProfileJson& members, const Source& source,
                   const std::string& where) {
    if (!members.is_object()) {
        add_fault(walk, where, "expected an object");
        return;
    }
    for (const auto& item : members.items()) {
        std::string at = where + "." + item.key();
        if (item.key() != source.wrapper_member) {
            add_unknown(walk, at);
        } else if (!validating(walk) && source.root_bytes == nullptr) {
            add_unmet(walk, at, "present", "missing");
        } else {
            check_structure(walk, *source.root, item.value(),
                            static_cast<const unsigned char*>(source.root_bytes), LimitNone, at);
        }
    }
}

void check_structures(Walk& walk, const ProfileJson& block, const Source& source,
                      const std::string& prefix) {
    if (!block.is_object()) {
        add_fault(walk, prefix.empty() ? "block" : prefix, "expected an object of structures");
        return;
    }
    for (const auto& item : block.items()) {
        const std::string& name = item.key();
        std::string where = prefix + name;
        if (name == source.wrapper || name == std::string(source.wrapper) + "KHR") {
            check_wrapper(walk, item.value(), source, where);
            continue;
        }
        const StructureInfo* structure = structure_named(name);
        if (structure == nullptr) {
            add_unknown(walk, where);
            continue;
        }
        const void* bytes =
            structure == source.root ? source.root_bytes : chained(source.chain, structure);
        if (!validating(walk) && bytes == nullptr) {
            add_unmet(walk, where, "present", "missing");
            continue;
        }
        check_structure(walk, *structure, item.value(), static_cast<const unsigned char*>(bytes),
                        LimitNone, where);
    }
}

// The device being compared; null while validating.
struct Device {
    const DeviceFacts* facts;
};

// The instance extensions, read the first time a profile asks for an extension the device does
// not list: the loader reads every manifest again to answer, which would cost a run that needs
// no instance extension as much as its device queries.
std::vector<VkExtensionProperties> instance_extensions;
bool instance_extensions_read = false;

const std::vector<VkExtensionProperties>* instance_extension_list() {
    if (!instance_extensions_read) {
        read_instance_extensions(nullptr, instance_extensions);
        instance_extensions_read = true;
    }
    return &instance_extensions;
}

const VkExtensionProperties* find_extension(const std::vector<VkExtensionProperties>* list,
                                            const std::string& name) {
    for (size_t i = 0; list != nullptr && i < list->size(); ++i) {
        const VkExtensionProperties& extension = (*list)[i];
        if (name.size() < VK_MAX_EXTENSION_NAME_SIZE &&
            strncmp(extension.extensionName, name.c_str(), VK_MAX_EXTENSION_NAME_SIZE) == 0) {
            return &extension;
        }
    }
    return nullptr;
}

void check_extensions(Walk& walk, const ProfileJson& block, const Device& device) {
    if (!block.is_object()) {
        add_fault(walk, "extensions", "expected an object of spec versions");
        return;
    }
    for (const auto& item : block.items()) {
        const std::string where = "extension " + item.key();
        uint64_t version = 0;
        if (!unsigned_in(item.value(), UINT32_MAX, version)) {
            add_fault(walk, where, "expected a spec version (an unsigned 32-bit integer)");
            continue;
        }
        if (validating(walk)) {
            continue;
        }
        const VkExtensionProperties* found = find_extension(&device.facts->extensions, item.key());
        if (found == nullptr) {
            found = find_extension(instance_extension_list(), item.key());
        }
        if (found == nullptr) {
            add_unmet(walk, where, std::to_string(version), "missing");
        } else if (found->specVersion < version) {
            add_unmet(walk, where, std::to_string(version), std::to_string(found->specVersion));
        }
    }
}

void check_formats(Walk& walk, const ProfileJson& block, const Device& device) {
    if (!block.is_object()) {
        add_fault(walk, "formats", "expected an object of formats");
        return;
    }
    // A format the device's version and extensions do not provide has no feature.
    static const VkFormatProperties no_properties{};
    for (const auto& item : block.items()) {
        const std::string where = "format " + item.key();
        uint64_t format = 0;
        if (!value_of_name(format_names, item.key().c_str(), &format)) {
            add_unknown(walk, where);
            continue;
        }
        Source source{&format_properties_info, nullptr, nullptr, "VkFormatProperties2",
                      "formatProperties"};
        for (size_t i = 0; device.facts != nullptr && i < device.facts->formats.size(); ++i) {
            const FormatFacts& facts = device.facts->formats[i];
            if (static_cast<uint64_t>(facts.info->format) == format) {
                source.root_bytes = &facts.properties;
                source.chain = &facts.chain;
            }
        }
        if (device.facts != nullptr && source.root_bytes == nullptr) {
            source.root_bytes = &no_properties;
        }
        check_structures(walk, item.value(), source, where + " ");
    }
}

// Each required family is met by some family of the device; when none meets it, the lines of
// the family that comes closest (fewest unmet requirements, the first of equals) say why.
void check_queue_families(Walk& walk, const ProfileJson& block, const Device& device) {
    if (!block.is_array()) {
        add_fault(walk, "queueFamiliesProperties", "expected an array of queue families");
        return;
    }
    const Source unread{&queue_family_properties_info, nullptr, nullptr, "VkQueueFamilyProperties2",
                        "queueFamilyProperties"};
    for (size_t r = 0; r < block.size(); ++r) {
        const std::string where = "queue family " + std::to_string(r);
        if (validating(walk)) {
            check_structures(walk, block[r], unread, where + " ");
            continue;
        }
        const std::vector<QueueFamilyFacts>& families = device.facts->queue_families;
        std::vector<Unmet> closest;
        bool met = families.empty();
        for (size_t f = 0; f < families.size() && !met; ++f) {
            std::vector<Unmet> lines;
            Walk family_walk{&lines, nullptr, walk.capability};
            Source source = unread;
            source.root_bytes = &families[f].properties;
            source.chain = &families[f].chain;
            check_structures(family_walk, block[r], source,
                             where + " (device family " + std::to_string(f) + ") ");
            met = lines.empty();
            if (f == 0 || lines.size() < closest.size()) {
                closest = std::move(lines);
            }
        }
        if (families.empty()) {
            add_unmet(walk, where, "present", "missing");
        } else if (!met) {
            walk.unmet->insert(walk.unmet->end(), closest.begin(), closest.end());
        }
    }
}

void check_capability(Walk& walk, const ProfileJson& block, const Device& device) {
    if (!block.is_object()) {
        add_fault(walk, "capability", "expected an object");
        return;
    }
    const DeviceFacts* facts = device.facts;
    for (const auto& item : block.items()) {
        const std::string& key = item.key();
        if (key == "extensions") {
            check_extensions(walk, item.value(), device);
        } else if (key == "features") {
            const Source source{
                &physical_device_features_info,
                facts != nullptr && facts->features_read ? &facts->features : nullptr,
                facts != nullptr ? &facts->feature_chain : nullptr, "VkPhysicalDeviceFeatures2",
                "features"};
            check_structures(walk, item.value(), source, "");
        } else if (key == "properties") {
            const Source source{&physical_device_properties_info,
                                facts != nullptr ? &facts->properties : nullptr,
                                facts != nullptr ? &facts->property_chain : nullptr,
                                "VkPhysicalDeviceProperties2", "properties"};
            check_structures(walk, item.value(), source, "");
        } else if (key == "formats") {
            check_formats(walk, item.value(), device);
        } else if (key == "queueFamiliesProperties") {
            check_queue_families(walk, item.value(), device);
        } else {
            add_unknown(walk, key);
        }
    }
}

// ---- Profiles ----

// "1.3.204" as a packed version; false unless it is three numbers that fit.
bool parse_api_version(const std::string& text, uint32_t& version) {
    uint32_t parts[3] = {0, 0, 0};
    const uint32_t most[3] = {127, 1023, 4095};
    size_t at = 0;
    for (int p = 0; p < 3; ++p) {
        size_t digits = 0;
        while (at < text.size() && text[at] >= '0' && text[at] <= '9' && parts[p] <= most[p]) {
            parts[p] = parts[p] * 10 + static_cast<uint32_t>(text[at++] - '0');
            ++digits;
        }
        if (digits == 0 || parts[p] > most[p] ||
            (p < 2 && (at >= text.size() || text[at] != '.'))) {
            return false;
        }
        at += p < 2 ? 1 : 0;
    }
    version = VK_MAKE_API_VERSION(0, parts[0], parts[1], parts[2]);
    return at == text.size();
}

// One alternative of a requirement block: a capability name, or an array of names that are all
// required. False when it is neither, or names a capability the document does not define.
bool alternative_names(const ProfileJson& alternative, const ProfileJson& capabilities,
                       std::vector<const std::string*>& names) {
    names.clear();
    const ProfileJson list =
        alternative.is_string() ? ProfileJson::array({alternative}) : alternative;
    if (!list.is_array() || list.empty()) {
        return false;
    }
    for (const ProfileJson& name : list) {
        if (!name.is_string() ||
            capabilities.find(name.get_ref<const std::string&>()) == capabilities.end()) {
            return false;
        }
        names.push_back(&capabilities.find(name.get_ref<const std::string&>()).key());
    }
    return true;
}

// The alternatives of one entry of a profile's capabilities: one for a name, each element for
// an array.
std::vector<const ProfileJson*> alternatives_of(const ProfileJson& entry) {
    std::vector<const ProfileJson*> alternatives;
    if (entry.is_string()) {
        alternatives.push_back(&entry);
    } else if (entry.is_array()) {
        for (const ProfileJson& alternative : entry) {
            alternatives.push_back(&alternative);
        }
    }
    return alternatives;
}

bool validate_profile(const std::string& name, const ProfileJson& profile,
                      const ProfileJson& capabilities, std::string& why) {
    uint32_t version = 0;
    const auto api_version = profile.is_object() ? profile.find("api-version") : profile.end();
    const auto list = profile.is_object() ? profile.find("capabilities") : profile.end();
    if (!profile.is_object() || api_version == profile.end() || !api_version->is_string() ||
        !parse_api_version(api_version->get_ref<const std::string&>(), version)) {
        why = "profile " + name + ": expected an \"api-version\" of the form 1.3.204";
        return false;
    }
    if (list == profile.end() || !list->is_array()) {
        why = "profile " + name + ": expected a \"capabilities\" array";
        return false;
    }
    std::vector<const std::string*> names;
    for (const ProfileJson& entry : *list) {
        const std::vector<const ProfileJson*> alternatives = alternatives_of(entry);
        bool named = !alternatives.empty();
        for (const ProfileJson* alternative : alternatives) {
            named = named && alternative_names(*alternative, capabilities, names);
        }
        if (!named) {
            why = "profile " + name + ": a capabilities entry names no capability of the file";
            return false;
        }
    }
    return true;
}

bool validate_document(const ProfileJson& root, std::string& why) {
    const auto capabilities = root.is_object() ? root.find("capabilities") : root.end();
    const auto profiles = root.is_object() ? root.find("profiles") : root.end();
    if (capabilities == root.end() || !capabilities->is_object() || profiles == root.end() ||
        !profiles->is_object()) {
        why = "expected \"capabilities\" and \"profiles\" objects at the top";
        return false;
    }
    if (profiles->empty()) {
        why = "the \"profiles\" object holds no profile";
        return false;
    }
    for (const auto& item : capabilities->items()) {
        std::string fault;
        Walk walk{nullptr, &fault, item.key()};
        check_capability(walk, item.value(), Device{nullptr});
        if (!fault.empty()) {
            why = fault;
            return false;
        }
    }
    for (const auto& item : profiles->items()) {
        if (!validate_profile(item.key(), item.value(), *capabilities, why)) {
            return false;
        }
    }
    return true;
}

// The most unmet requirements listed per profile and device; the others are only counted. A real
// profile misses a few dozen at most; a file that names one failing capability a million times
// would otherwise make a million lines.
constexpr size_t most_unmet_lines = 4096;

struct DeviceResult {
    std::vector<Unmet> unmet;
    size_t left_out = 0;  // unmet requirements beyond most_unmet_lines
};

void add_line(DeviceResult& result, const Unmet& line) {
    if (result.unmet.size() < most_unmet_lines) {
        result.unmet.push_back(line);
    } else {
        ++result.left_out;
    }
}

void add_lines(DeviceResult& result, const std::vector<Unmet>& lines, const std::string& tag) {
    for (const Unmet& line : lines) {
        add_line(result, line);
        if (result.left_out == 0) {
            result.unmet.back().capability = tag;
        }
    }
}

// What each capability misses on the device being checked, by name: a capability that several
// profiles or entries name is compared once per device.
using CapabilityLines = std::map<std::string, std::vector<Unmet>>;

const std::vector<Unmet>& capability_lines(const std::string& name, const ProfileJson& capabilities,
                                           const Device& device, CapabilityLines& known) {
    const auto found = known.find(name);
    if (found != known.end()) {
        return found->second;
    }
    std::vector<Unmet> lines;
    Walk walk{&lines, nullptr, ""};
    check_capability(walk, capabilities[name], device);
    return known.emplace(name, std::move(lines)).first->second;
}

// Every requirement of a profile against one device: the API version, then each entry of its
// capabilities in order. An entry of alternatives is met when one alternative is; otherwise the
// lines of every alternative are given, each tagged with its place.
DeviceResult check_profile(const ProfileJson& profile, const ProfileJson& capabilities,
                           const Device& device, CapabilityLines& known) {
    DeviceResult result;
    uint32_t required = 0;
    parse_api_version(profile["api-version"].get_ref<const std::string&>(), required);
    const uint32_t has = device.facts->properties.apiVersion;
    // The variant bits say which API it is, not how new it is.
    if ((has & 0x1FFFFFFFu) < required) {
        result.unmet.push_back(
            {"api-version", version_text(required).text, version_text(has).text, "", false});
    }
    std::vector<const std::string*> names;
    for (const ProfileJson& entry : profile["capabilities"]) {
        const std::vector<const ProfileJson*> alternatives = alternatives_of(entry);
        DeviceResult entry_result;
        bool met = false;
        for (size_t a = 0; a < alternatives.size() && !met; ++a) {
            met = true;
            alternative_names(*alternatives[a], capabilities, names);
            for (const std::string* name : names) {
                const std::vector<Unmet>& lines =
                    capability_lines(*name, capabilities, device, known);
                std::string tag = *name;
                if (entry.is_array()) {
                    tag += ", alternative " + std::to_string(a + 1) + " of " +
                           std::to_string(alternatives.size());
                }
                add_lines(entry_result, lines, tag);
                met = met && lines.empty();
            }
        }
        if (!met) {
            for (const Unmet& line : entry_result.unmet) {
                add_line(result, line);
            }
            result.left_out += entry_result.left_out;
        }
    }
    return result;
}

// ---- The verdict in the three forms ----

struct ProfileResult {
    std::string name;
    std::string api_version;
    std::vector<DeviceResult> devices;  // per device, what it does not meet
    bool supported;                     // by one device at least
};

std::string line_of(const Unmet& unmet) {
    std::string line = unmet.where + ": ";
    line += unmet.unknown ? "unknown to this build"
                          : "required " + unmet.required + ", device " + unmet.device;
    if (!unmet.capability.empty()) {
        line += " (" + unmet.capability + ")";
    }
    return line;
}

// Text of the document, escaped as the reports escape names from drivers; in pieces of the size
// the escaper takes, each cut before a UTF-8 character rather than inside one.
std::string xml_attribute(const std::string& text) {
    std::string escaped;
    size_t at = 0;
    while (at < text.size()) {
        size_t length = text.size() - at < 256 ? text.size() - at : 256;
        while (at + length < text.size() && length > 252 &&
               (static_cast<unsigned char>(text[at + length]) & 0xC0) == 0x80) {
            --length;
        }
        VulkanName piece{};
        memcpy(piece.text, text.data() + at, length);
        escaped += xml_escaped(piece).text;
        at += length;
    }
    return escaped;
}

void write_text(const std::vector<ProfileResult>& results,
                const std::vector<DeviceFacts>& devices) {
    // Errors of the run (no loader, no instance) stand on lines of their own before the verdict.
    if (!text_report.empty() && text_report.back() != '\n') {
        append_text("\n");
    }
    for (const ProfileResult& result : results) {
        append_text("Profile %s (api-version %s): %s\n", result.name.c_str(),
                    result.api_version.c_str(), result.supported ? "supported" : "not supported");
        if (devices.empty()) {
            append_text("  no device\n");
        }
        for (size_t d = 0; d < devices.size(); ++d) {
            const std::vector<Unmet>& unmet = result.devices[d].unmet;
            append_text("  Device %u, %s: %s\n", static_cast<unsigned>(d + 1),
                        vulkan_name(devices[d].properties.deviceName).text,
                        unmet.empty() ? "supported" : "not supported");
            for (const Unmet& line : unmet) {
                append_text("    %s\n", line_of(line).c_str());
            }
            if (result.devices[d].left_out != 0) {
                append_text("    %llu more unmet requirements left out\n",
                            static_cast<unsigned long long>(result.devices[d].left_out));
            }
        }
    }
}

void write_xml(const std::vector<ProfileResult>& results, const std::vector<DeviceFacts>& devices,
               bool supported) {
    append_xml("\n<vk_profiles supported=\"%d\">", supported ? 1 : 0);
    for (const ProfileResult& result : results) {
        append_xml("\n\t<vk_profile name=\"%s\" api_version=\"%s\" supported=\"%d\">",
                   xml_attribute(result.name).c_str(), result.api_version.c_str(),
                   result.supported ? 1 : 0);
        for (size_t d = 0; d < devices.size(); ++d) {
            const std::vector<Unmet>& unmet = result.devices[d].unmet;
            append_xml(
                "\n\t\t<vk_profile_device number=\"%u\" name=\"%s\" supported=\"%d\" "
                "left_out=\"%llu\">",
                static_cast<unsigned>(d + 1),
                xml_escaped(vulkan_name(devices[d].properties.deviceName)).text,
                unmet.empty() ? 1 : 0, static_cast<unsigned long long>(result.devices[d].left_out));
            for (const Unmet& line : unmet) {
                const std::string capability = xml_attribute(line.capability);
                const std::string where = xml_attribute(line.where);
                if (line.unknown) {
                    append_xml("\n\t\t\t<unknown capability=\"%s\" where=\"%s\" />",
                               capability.c_str(), where.c_str());
                    continue;
                }
                append_xml(
                    "\n\t\t\t<unmet capability=\"%s\" where=\"%s\" required=\"%s\" "
                    "device=\"%s\" />",
                    capability.c_str(), where.c_str(), xml_attribute(line.required).c_str(),
                    xml_attribute(line.device).c_str());
            }
            append_xml("\n\t\t</vk_profile_device>");
        }
        append_xml("\n\t</vk_profile>");
    }
    append_xml("\n</vk_profiles>");
}

void write_json(const std::vector<ProfileResult>& results, const std::vector<DeviceFacts>& devices,
                bool supported) {
    ProfileJson profiles = ProfileJson::array();
    for (const ProfileResult& result : results) {
        ProfileJson device_list = ProfileJson::array();
        for (size_t d = 0; d < devices.size(); ++d) {
            ProfileJson unmet_list = ProfileJson::array();
            for (const Unmet& line : result.devices[d].unmet) {
                ProfileJson unmet = {{"capability", line.capability}, {"where", line.where}};
                if (line.unknown) {
                    unmet["unknown"] = true;
                } else {
                    unmet["required"] = line.required;
                    unmet["device"] = line.device;
                }
                unmet_list.push_back(std::move(unmet));
            }
            device_list.push_back({{"number", d + 1},
                                   {"name", vulkan_name(devices[d].properties.deviceName).text},
                                   {"supported", result.devices[d].unmet.empty()},
                                   {"left_out", result.devices[d].left_out},
                                   {"unmet", std::move(unmet_list)}});
        }
        profiles.push_back({{"name", result.name},
                            {"api-version", result.api_version},
                            {"supported", result.supported},
                            {"devices", std::move(device_list)}});
    }
    const ProfileJson verdict = {{"supported", supported}, {"profiles", std::move(profiles)}};
    // Driver and document text that is not UTF-8 is replaced, so the output always parses.
    profile_json_report = verdict.dump(4, ' ', false, ProfileJson::error_handler_t::replace) + "\n";
}

}  // namespace

bool parse_profile_document(const char* text, size_t size, std::string& why) {
    document_kept = false;
    document = nullptr;
    structures_by_name.clear();
    ProfileJson parsed;
    if (!parse_profile_json(text, size, parsed, why)) {
        return false;
    }
    if (!validate_document(parsed, why)) {
        why = "not a profiles document: " + why;
        return false;
    }
    document = std::move(parsed);
    document_kept = true;
    return true;
}

bool load_profile_document(const char* path, std::string& why) {
    document_kept = false;
    std::string text;
    if (!read_profile_file(path, text, why)) {
        return false;
    }
    return parse_profile_document(text.data(), text.size(), why);
}

bool report_profile_verdict(VkInstance instance, const InstanceFacts& instance_facts) {
    profile_json_report.clear();
    std::vector<VkPhysicalDevice> handles;
    if (instance != VK_NULL_HANDLE) {
        read_physical_devices(instance, handles);
    }
    instance_extensions.clear();
    instance_extensions_read = false;
    std::vector<DeviceFacts> devices(handles.size());
    for (size_t d = 0; d < handles.size(); ++d) {
        query_device(instance_facts, handles[d], devices[d]);
    }
    if (!document_kept) {
        return false;
    }
    const ProfileJson& capabilities = document["capabilities"];
    std::vector<CapabilityLines> known(devices.size());
    std::vector<ProfileResult> results;
    bool supported = true;
    for (const auto& item : document["profiles"].items()) {
        ProfileResult result{item.key(), item.value()["api-version"].get<std::string>(), {}, false};
        for (size_t d = 0; d < devices.size(); ++d) {
            result.devices.push_back(
                check_profile(item.value(), capabilities, Device{&devices[d]}, known[d]));
            result.supported = result.supported || result.devices.back().unmet.empty();
        }
        supported = supported && result.supported;
        results.push_back(std::move(result));
    }
    write_text(results, devices);
    write_xml(results, devices, supported);
    write_json(results, devices, supported);
    return supported;
}
