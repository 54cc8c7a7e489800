#include "views/diff.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "compare/compare.h"
#include "profiles/document.h"
#include "query/document.h"
#include "registry/registry.h"
#include "registry/walk.h"
#include "views/diff_result.h"
#include "views/json.h"

ReportStream diff_json_report;

namespace {

// ---- The documents of the run ----

struct Side {
    ProfileSet set;
    std::string name;
};

Side side_a;
Side side_b;
bool documents_kept = false;
bool b_kept = false;

// Each side's documents are read within the bounds of one run (profiles/document.h), both sides
// together, as "-profile" reads its files; each side's required profiles are resolved among its
// own documents, so that a cycle refuses the document as "-profile" refuses it.
bool add_side(Side& side, const char* path, const std::string* text, const ProfileSet& before,
              std::string& why) {
    side.set = ProfileSet{};
    side.set.bytes = before.bytes;
    side.set.values = before.values;
    side.name = path;
    const bool added = text != nullptr
                           ? add_profile_text(side.set, path, text->data(), text->size(), why)
                           : add_profile_file(side.set, path, why);
    size_t document = 0;
    return added && resolve_required_profiles(side.set, document, why);
}

// text: the documents in memory, or null to read the files.
bool keep_sides(const char* a, const std::string* a_text, const char* b, const std::string* b_text,
                std::string& file, std::string& why) {
    documents_kept = false;
    b_kept = false;
    const ProfileSet none;
    if (!add_side(side_a, a, a_text, none, why)) {
        file = a;
        return false;
    }
    if (b != nullptr && !add_side(side_b, b, b_text, side_a.set, why)) {
        file = b;
        return false;
    }
    documents_kept = true;
    b_kept = b != nullptr;
    return true;
}

// ---- Comparing one pair of devices ----

// The most bytes of notes and differences kept at once, all pairs together: no form of the
// result may take more than most_report_bytes, so more could hardly be written.
constexpr size_t most_kept_bytes = most_report_bytes;
// The most values of capabilities the devices of one comparison read, both sides together, which
// keeps every comparison within about a fifth of a second. A real device's capabilities hold some
// 4,000 to 7,000 values, so that about seventy pairs of them are compared; a document that names
// one large capability from a hundred thousand profiles would otherwise be read a hundred
// thousand times.
constexpr size_t most_read_values = size_t{2} * most_profile_values;
// What a device costs beyond the values it reads, in values: its facts are compared through every
// table of the registry whatever they hold, about what reading 64 values costs. A document of
// tens of thousands of profiles that name nothing is read only so far too.
constexpr size_t device_read_values = 64;

struct PairCheck {
    DevicePair& pair;
    size_t& budget;     // bytes left to keep
    bool bits = false;  // flags are told by the bits each side alone has (formats)
    std::string where;  // the place being compared
};

Comparison combined(Comparison x, Comparison y) {
    if (x == Comparison::Equal) {
        return y;
    }
    return y == Comparison::Equal || y == x ? x : Comparison::Different;
}

// Once something is not kept, nothing after it is, so that what is listed is all that came
// before what was left out.
void add_note(DevicePair& pair, size_t& budget, bool in_b, NoteKind kind, std::string text) {
    ++pair.lines;
    const size_t cost = sizeof(DiffNote) + text.size();
    if (cost <= budget) {
        budget -= cost;
        pair.notes.push_back({in_b, kind, std::move(text)});
    } else {
        budget = 0;
    }
}

void add_difference(PairCheck& check, DifferenceKind kind, Comparison more, std::string a,
                    std::string b) {
    DevicePair& pair = check.pair;
    ++pair.lines;
    if (more == Comparison::AMore) {
        ++pair.a_more;
    } else if (more == Comparison::BMore) {
        ++pair.b_more;
    } else {
        ++pair.different;
    }
    const size_t cost = sizeof(Difference) + check.where.size() + a.size() + b.size();
    if (cost <= check.budget) {
        check.budget -= cost;
        pair.listed.push_back({kind, more, check.where, std::move(a), std::move(b)});
    } else {
        check.budget = 0;
    }
}

// Something one side has and the other lacks: a structure, an element of an array of them, a
// queue family. The side that has it offers more.
void add_presence(PairCheck& check, bool in_a) {
    add_difference(check, DifferenceKind::Values, in_a ? Comparison::AMore : Comparison::BMore,
                   in_a ? "present" : "missing", in_a ? "missing" : "present");
}

std::string member_text(const MemberRow& member, const unsigned char* bytes, uint32_t count) {
    std::string text;
    append_member_text(text, member, bytes, count);
    return text;
}

// The flag bits of a value as the complete report writes them; "" for none.
std::string bits_text(const MemberRow& member, uint64_t bits) {
    if (bits == 0) {
        return "";
    }
    unsigned char element[8];
    if (element_size(member) == 8) {
        memcpy(element, &bits, 8);
    } else {
        const auto narrow = static_cast<uint32_t>(bits);
        memcpy(element, &narrow, 4);
    }
    std::string text;
    append_element_text(text, member, element);
    return text;
}

// One member that is not a structure, in the containers at a and b.
void compare_value(PairCheck& check, const StructureInfo& container, const MemberRow& member,
                   LimitType limit, const unsigned char* a, const unsigned char* b) {
    const uint32_t a_count = member_element_count(container, member, a);
    const uint32_t b_count = member_element_count(container, member, b);
    const unsigned char* a_value = a + member.offset;
    const unsigned char* b_value = b + member.offset;
    const size_t size = element_size(member);
    if (a_count == b_count && memcmp(a_value, b_value, a_count * size) == 0) {
        return;
    }
    Comparison more = Comparison::Equal;
    if (compared_whole(member, limit)) {
        more = compare_whole(member, limit, a_value, b_value);
    } else {
        // Element by element; an element only one side holds is more on that side.
        for (uint32_t i = 0; i < a_count || i < b_count; ++i) {
            const Comparison element =
                i >= b_count ? Comparison::AMore
                : i >= a_count
                    ? Comparison::BMore
                    : compare_elements(member, limit, a_value + i * size, b_value + i * size);
            more = combined(more, element);
        }
    }
    if (more == Comparison::Equal) {
        return;
    }
    const bool flags = member.kind == MemberKind::Flags || member.kind == MemberKind::Flags64;
    if (check.bits && flags && member.count == 1) {
        const uint64_t a_bits = element_unsigned(member, a_value);
        const uint64_t b_bits = element_unsigned(member, b_value);
        add_difference(check, DifferenceKind::Bits, more, bits_text(member, a_bits & ~b_bits),
                       bits_text(member, b_bits & ~a_bits));
        return;
    }
    add_difference(check, DifferenceKind::Values, more, member_text(member, a_value, a_count),
                   member_text(member, b_value, b_count));
}

void compare_members(PairCheck& check, const StructureInfo& structure, const unsigned char* a,
                     const unsigned char* b, LimitType inherited);

// A nested structure, or each element of an array of them.
void compare_nested(PairCheck& check, const StructureInfo& container, const MemberRow& member,
                    LimitType limit, const unsigned char* a, const unsigned char* b) {
    const StructureInfo& nested = *member.nested;
    const LimitType inner = nested_limit(limit);
    if (member.count == 1) {
        compare_members(check, nested, a + member.offset, b + member.offset, inner);
        return;
    }
    const uint32_t a_count = member_element_count(container, member, a);
    const uint32_t b_count = member_element_count(container, member, b);
    const size_t mark = check.where.size();
    for (uint32_t i = 0; i < a_count || i < b_count; ++i) {
        check.where += "[" + std::to_string(i) + "]";
        if (i < a_count && i < b_count) {
            const size_t at = member.offset + i * nested.size;
            compare_members(check, nested, a + at, b + at, inner);
        } else {
            add_presence(check, i < a_count);
        }
        check.where.resize(mark);
    }
}

// Every member in the registry's order, nested structures depth first, each under its place.
void compare_members(PairCheck& check, const StructureInfo& structure, const unsigned char* a,
                     const unsigned char* b, LimitType inherited) {
    const size_t mark = check.where.size();
    for (uint32_t m = 0; m < structure.member_count; ++m) {
        const MemberRow& member = structure.members[m];
        const LimitType limit = member_limit(member, inherited);
        check.where += '.';
        check.where += member.name;
        if (member.kind == MemberKind::Structure) {
            compare_nested(check, structure, member, limit, a, b);
        } else if (member.kind != MemberKind::Luid || luid_valid(structure, member, a) ||
                   luid_valid(structure, member, b)) {
            compare_value(check, structure, member, limit, a, b);
        }
        check.where.resize(mark);
    }
}

// One structure of each side, null where a side lacks it: its members, or its name once.
void compare_structure(PairCheck& check, const StructureInfo& info, const void* a, const void* b) {
    const size_t mark = check.where.size();
    check.where += info.name;
    if (a != nullptr && b != nullptr) {
        compare_members(check, info, static_cast<const unsigned char*>(a),
                        static_cast<const unsigned char*>(b), LimitNone);
    } else if (a != nullptr || b != nullptr) {
        add_presence(check, a != nullptr);
    }
    check.where.resize(mark);
}

// The chained structures of one root, in the registry's order.
const std::vector<const StructureInfo*>& chained_of(ChainRoot root) {
    static const auto lists = [] {
        std::vector<std::vector<const StructureInfo*>> by_root(chain_root_count);
        for (uint32_t i = 0; i < chained_structure_count; ++i) {
            by_root[static_cast<size_t>(chained_structures[i]->root)].push_back(
                chained_structures[i]);
        }
        return by_root;
    }();
    return lists[static_cast<size_t>(root)];
}

const void* chained(const StructureChain& chain, const StructureInfo& info) {
    for (size_t i = 0; i < chain.size(); ++i) {
        if (chain.structures[i] == &info) {
            return chain.bytes(i);
        }
    }
    return nullptr;
}

void compare_chains(PairCheck& check, ChainRoot root, const StructureChain& a,
                    const StructureChain& b) {
    for (const StructureInfo* info : chained_of(root)) {
        compare_structure(check, *info, chained(a, *info), chained(b, *info));
    }
}

// ---- The parts of a device ----

// The API version by major and minor first, as the profile check compares it, then by the rest:
// the later patch is the newer driver.
void compare_api_version(PairCheck& check, uint32_t a, uint32_t b) {
    if (a == b) {
        return;
    }
    Comparison more = compare_api_versions(a, b);
    if (more == Comparison::Equal) {
        more = a > b ? Comparison::AMore : Comparison::BMore;
    }
    check.where = "api-version";
    add_difference(check, DifferenceKind::Values, more, version_text(a).text, version_text(b).text);
}

struct NamedVersion {
    std::string name;
    uint32_t version;
};

// The extensions the registry names, sorted; the others are noted as not compared: this
// machine's document cannot list them.
std::vector<NamedVersion> known_extensions(const DeviceFacts& facts, PairCheck& check, bool in_b) {
    std::vector<NamedVersion> known;
    for (const VkExtensionProperties& extension : facts.extensions) {
        const VulkanName name = vulkan_name(extension.extensionName);
        if (registry_names_extension(name.text)) {
            known.push_back({name.text, extension.specVersion});
        } else {
            add_note(check.pair, check.budget, in_b, NoteKind::NotCompared,
                     std::string("extension ") + name.text + ": unknown to this build");
        }
    }
    std::sort(known.begin(), known.end(),
              [](const NamedVersion& x, const NamedVersion& y) { return x.name < y.name; });
    return known;
}

void compare_extensions(PairCheck& check, const DeviceFacts& a, const DeviceFacts& b) {
    const std::vector<NamedVersion> a_known = known_extensions(a, check, false);
    const std::vector<NamedVersion> b_known = known_extensions(b, check, true);
    size_t i = 0;
    size_t j = 0;
    while (i < a_known.size() || j < b_known.size()) {
        const bool in_a =
            j == b_known.size() || (i < a_known.size() && a_known[i].name <= b_known[j].name);
        const bool in_b =
            i == a_known.size() || (j < b_known.size() && b_known[j].name <= a_known[i].name);
        const NamedVersion& named = in_a ? a_known[i] : b_known[j];
        check.where = "extension " + named.name;
        if (in_a && in_b) {
            const uint32_t x = a_known[i].version;
            const uint32_t y = b_known[j].version;
            if (x != y) {
                add_difference(check, DifferenceKind::Values,
                               x > y ? Comparison::AMore : Comparison::BMore, std::to_string(x),
                               std::to_string(y));
            }
        } else {
            add_difference(check, DifferenceKind::Values,
                           in_a ? Comparison::AMore : Comparison::BMore,
                           in_a ? std::to_string(named.version) : "missing",
                           in_a ? "missing" : std::to_string(named.version));
        }
        i += in_a ? 1 : 0;
        j += in_b ? 1 : 0;
    }
}

// The API version stands on a line of its own; the member that holds it is not listed again.
void compare_blocks(PairCheck& check, const DocumentDevice& a, const DocumentDevice& b) {
    check.where.clear();
    compare_structure(check, physical_device_features_info,
                      a.facts.features_read ? &a.facts.features : nullptr,
                      b.facts.features_read ? &b.facts.features : nullptr);
    compare_chains(check, ChainRoot::Features2, a.facts.feature_chain, b.facts.feature_chain);
    VkPhysicalDeviceProperties a_properties = a.facts.properties;
    VkPhysicalDeviceProperties b_properties = b.facts.properties;
    a_properties.apiVersion = 0;
    b_properties.apiVersion = 0;
    compare_structure(check, physical_device_properties_info,
                      a.properties_read ? &a_properties : nullptr,
                      b.properties_read ? &b_properties : nullptr);
    compare_chains(check, ChainRoot::Properties2, a.facts.property_chain, b.facts.property_chain);
}

// A format one side lacks has no feature: its structures are compared with zeros.
void compare_format(PairCheck& check, const FormatFacts* a, const FormatFacts* b) {
    const FormatFacts& given = a != nullptr ? *a : *b;
    check.where = "format " + std::string(given.info->name) + " ";
    if (a != nullptr && b != nullptr) {
        compare_structure(check, format_properties_info, &a->properties, &b->properties);
        compare_chains(check, ChainRoot::FormatProperties2, a->chain, b->chain);
        return;
    }
    const auto with_zeros = [&check, a](const StructureInfo& info, const void* bytes) {
        const std::vector<uint64_t> zeros((info.size + 7) / 8, 0);
        compare_structure(check, info, a != nullptr ? bytes : zeros.data(),
                          a != nullptr ? zeros.data() : bytes);
    };
    with_zeros(format_properties_info, &given.properties);
    for (size_t i = 0; i < given.chain.size(); ++i) {
        with_zeros(*given.chain.structures[i], given.chain.bytes(i));
    }
}

// Both lists are in the registry's order, the order of format_infos.
void compare_formats(PairCheck& check, const DeviceFacts& a, const DeviceFacts& b) {
    check.bits = true;
    size_t i = 0;
    size_t j = 0;
    while (i < a.formats.size() || j < b.formats.size()) {
        const FormatFacts* x = i < a.formats.size() ? &a.formats[i] : nullptr;
        const FormatFacts* y = j < b.formats.size() ? &b.formats[j] : nullptr;
        if (x != nullptr && y != nullptr && x->info == y->info) {
            compare_format(check, x, y);
            ++i;
            ++j;
        } else if (y == nullptr || (x != nullptr && x->info < y->info)) {
            compare_format(check, x, nullptr);
            ++i;
        } else {
            compare_format(check, nullptr, y);
            ++j;
        }
    }
    check.bits = false;
}

// A family's bytes, its chain's structures without their sType and pNext: two families with the
// same bytes are the same family.
std::string family_bytes(const QueueFamilyFacts& family) {
    std::string bytes(reinterpret_cast<const char*>(&family.properties), sizeof family.properties);
    const size_t header = sizeof(VkBaseOutStructure);
    for (size_t i = 0; i < family.chain.size(); ++i) {
        const size_t size = family.chain.structures[i]->size;
        bytes.append(family.chain.structures[i]->name);
        bytes.append(static_cast<const char*>(family.chain.bytes(i)) + header, size - header);
    }
    return bytes;
}

// The families of a device, each once, in order: a Profiles document holds each family once
// (Brisol's own writes a family equal to an earlier one as a note), while a driver may list the
// same family several times and other tools' documents keep them all. Compared with repeats, the
// same device would differ from its own document.
std::vector<const QueueFamilyFacts*> distinct_families(const DeviceFacts& facts) {
    std::vector<const QueueFamilyFacts*> distinct;
    std::unordered_set<std::string> seen;
    for (const QueueFamilyFacts& family : facts.queue_families) {
        if (seen.insert(family_bytes(family)).second) {
            distinct.push_back(&family);
        }
    }
    return distinct;
}

// Families are paired by their place in each list of distinct families.
void compare_queue_families(PairCheck& check, const DeviceFacts& a, const DeviceFacts& b) {
    const std::vector<const QueueFamilyFacts*> in_a = distinct_families(a);
    const std::vector<const QueueFamilyFacts*> in_b = distinct_families(b);
    const size_t count = std::max(in_a.size(), in_b.size());
    for (size_t f = 0; f < count; ++f) {
        check.where = "queue family " + std::to_string(f);
        if (f >= in_a.size() || f >= in_b.size()) {
            add_presence(check, f < in_a.size());
            continue;
        }
        check.where += ' ';
        compare_structure(check, queue_family_properties_info, &in_a[f]->properties,
                          &in_b[f]->properties);
        compare_chains(check, ChainRoot::QueueFamilyProperties2, in_a[f]->chain, in_b[f]->chain);
    }
}

// ---- What a document says of its devices beyond their capabilities ----

// The "brisol" part of a document Brisol wrote: the errors of the run that made it, and for each
// device (by its profile) what went wrong and what the document could not hold. Any document may
// hold anything there; only strings where strings belong are read.
struct SideNotes {
    std::vector<std::string> errors;
    std::unordered_map<std::string, const ProfileJson*> devices;
};

void add_strings(const ProfileJson& object, const char* key, std::vector<std::string>& out) {
    const auto list = object.find(key);
    if (list == object.end() || !list->is_array()) {
        return;
    }
    for (const ProfileJson& item : *list) {
        if (item.is_string()) {
            out.push_back(item.get<std::string>());
        }
    }
}

void read_side_notes(const ProfileSet& set, SideNotes& notes) {
    for (const auto& document : set.documents) {
        const auto brisol = document->root.find("brisol");
        if (brisol == document->root.end() || !brisol->is_object()) {
            continue;
        }
        add_strings(*brisol, "errors", notes.errors);
        const auto devices = brisol->find("devices");
        if (devices == brisol->end() || !devices->is_array()) {
            continue;
        }
        for (const ProfileJson& device : *devices) {
            const auto profile = device.is_object() ? device.find("profile") : device.end();
            if (profile != device.end() && profile->is_string()) {
                notes.devices.emplace(profile->get<std::string>(), &device);
            }
        }
    }
}

void add_device_notes(DevicePair& pair, size_t& budget, const SideNotes& notes,
                      const DocumentDevice& device, bool in_b) {
    const auto found = notes.devices.find(*device.profile->name);
    std::vector<std::string> errors;
    std::vector<std::string> omitted;
    if (found != notes.devices.end()) {
        add_strings(*found->second, "errors", errors);
        add_strings(*found->second, "omitted", omitted);
        const auto others = found->second->find("otherExtensions");
        if (others != found->second->end() && others->is_object()) {
            for (const auto& item : others->items()) {
                omitted.push_back("extension " + item.key() + ": unknown to this build");
            }
        }
    }
    for (std::string& error : errors) {
        add_note(pair, budget, in_b, NoteKind::Error, std::move(error));
    }
    const std::vector<std::string>* lists[] = {&device.notes, &omitted};
    for (const std::vector<std::string>* list : lists) {
        for (const std::string& note : *list) {
            add_note(pair, budget, in_b, NoteKind::NotCompared, note);
        }
    }
}

// ---- Every pair ----

// The values of a capability, counted once each: what reading a device costs.
size_t values_of(const ProfileJson& value) {
    size_t count = 1;
    if (value.is_structured()) {
        for (const ProfileJson& item : value) {
            count += values_of(item);
        }
    }
    return count;
}

struct Reader {
    std::unordered_map<const ProfileJson*, size_t> capability_values;
    size_t read = 0;  // values read so far, against most_read_values

    // The values reading and comparing the device would read.
    size_t cost(const Profile& profile) {
        size_t total = device_read_values;
        for (const ProfileJson* capability : device_capabilities(profile)) {
            auto found = capability_values.find(capability);
            if (found == capability_values.end()) {
                found = capability_values.emplace(capability, values_of(*capability)).first;
            }
            total += found->second;
        }
        return total;
    }
};

void compare_pair(DevicePair& pair, size_t& budget, const DocumentDevice& a,
                  const DocumentDevice& b, const SideNotes& a_notes, const SideNotes& b_notes) {
    add_device_notes(pair, budget, a_notes, a, false);
    add_device_notes(pair, budget, b_notes, b, true);
    PairCheck check{pair, budget, false, ""};
    compare_api_version(check, a.facts.properties.apiVersion, b.facts.properties.apiVersion);
    compare_extensions(check, a.facts, b.facts);
    compare_blocks(check, a, b);
    compare_formats(check, a.facts, b.facts);
    compare_queue_families(check, a.facts, b.facts);
}

// Pairs the devices in order and compares each pair, one pair at a time: the devices read are
// let go before the next pair is read.
void compare_sides(const ProfileSet& a, const ProfileSet& b, DiffResult& result) {
    SideNotes a_notes;
    SideNotes b_notes;
    read_side_notes(a, a_notes);
    read_side_notes(b, b_notes);
    for (std::string& error : a_notes.errors) {
        result.errors.push_back({false, NoteKind::Error, std::move(error)});
    }
    for (std::string& error : b_notes.errors) {
        result.errors.push_back({true, NoteKind::Error, std::move(error)});
    }
    const size_t count = std::max(a.profiles.size(), b.profiles.size());
    size_t budget = most_kept_bytes;
    Reader reader;
    DocumentDevice x;
    DocumentDevice y;
    for (size_t p = 0; p < count; ++p) {
        DevicePair pair;
        const Profile* in_a = p < a.profiles.size() ? &a.profiles[p] : nullptr;
        const Profile* in_b = p < b.profiles.size() ? &b.profiles[p] : nullptr;
        pair.a = in_a != nullptr ? in_a->name : nullptr;
        pair.b = in_b != nullptr ? in_b->name : nullptr;
        if (in_a != nullptr && in_b != nullptr) {
            const size_t cost = reader.cost(*in_a) + reader.cost(*in_b);
            if (cost > most_read_values - reader.read) {
                result.not_compared = count - p;
                return;
            }
            reader.read += cost;
            read_document_device(*in_a, x);
            read_document_device(*in_b, y);
            compare_pair(pair, budget, x, y, a_notes, b_notes);
        }
        budget -= std::min(budget, sizeof pair);
        result.pairs.push_back(std::move(pair));
    }
}

// This machine as "-json" reads it, as a document of its own. A machine without a device writes
// a document without a profile, which is no profiles document: it has no device then, and the
// errors its document gives.
void read_machine(const VulkanLoader& loader, ProfileSet& set, DiffResult& result) {
    write_json_document(loader);
    std::string why;
    set = ProfileSet{};
    if (add_profile_text(set, "this machine", json_report.data(), json_report.size(), why)) {
        return;
    }
    set = ProfileSet{};
    ProfileJson root;
    size_t values = 0;
    std::string unread;
    if (!parse_profile_json(json_report.data(), json_report.size(), most_profile_values, root,
                            values, unread)) {
        result.errors.push_back({true, NoteKind::Error, "its document cannot be read: " + unread});
        return;
    }
    const auto brisol = root.find("brisol");
    std::vector<std::string> errors;
    if (brisol != root.end() && brisol->is_object()) {
        add_strings(*brisol, "errors", errors);
    }
    for (std::string& error : errors) {
        result.errors.push_back({true, NoteKind::Error, std::move(error)});
    }
}

}  // namespace

bool load_diff_documents(const char* a, const char* b, std::string& file, std::string& why) {
    return keep_sides(a, nullptr, b, nullptr, file, why);
}

bool parse_diff_documents(const std::string& a, const std::string* b, std::string& file,
                          std::string& why) {
    return keep_sides("document A", &a, b != nullptr ? "document B" : nullptr, b, file, why);
}

bool report_diff(const VulkanLoader& loader, DiffForm form) {
    diff_json_report.clear();
    if (!documents_kept) {
        return true;
    }
    DiffResult result;
    result.a_name = side_a.name;
    result.b_is_machine = !b_kept;
    result.b_name = b_kept ? side_b.name : "";
    ProfileSet machine;
    if (!b_kept) {
        read_machine(loader, machine, result);
    }
    std::vector<DiffNote> machine_errors = std::move(result.errors);
    result.errors.clear();
    compare_sides(side_a.set, b_kept ? side_b.set : machine, result);
    result.errors.insert(result.errors.end(), machine_errors.begin(), machine_errors.end());
    write_diff(result, form);
    return result_differs(result);
}
