#include "profiles/requirements.h"

#include <unordered_map>
#include <vector>

#include "compare/compare.h"
#include "registry/walk.h"

namespace {

// What a block holds: its 1.0 structure, the chain of the others, the structure that wraps the
// 1.0 one in one member, and what a structure of another block is called there.
struct BlockInfo {
    BlockKind kind;
    const StructureInfo* root;
    ChainRoot chain;
    const char* wrapper;
    const char* wrapper_member;
    const char* misplaced;
};

BlockInfo block_info(BlockKind kind) {
    switch (kind) {
        case BlockKind::Features:
            return {kind,
                    &physical_device_features_info,
                    ChainRoot::Features2,
                    "VkPhysicalDeviceFeatures2",
                    "features",
                    "not a features structure"};
        case BlockKind::Properties:
            return {kind,
                    &physical_device_properties_info,
                    ChainRoot::Properties2,
                    "VkPhysicalDeviceProperties2",
                    "properties",
                    "not a properties structure"};
        case BlockKind::Formats:
            return {kind,
                    &format_properties_info,
                    ChainRoot::FormatProperties2,
                    "VkFormatProperties2",
                    "formatProperties",
                    "not a format structure"};
        default:
            return {kind,
                    &queue_family_properties_info,
                    ChainRoot::QueueFamilyProperties2,
                    "VkQueueFamilyProperties2",
                    "queueFamilyProperties",
                    "not a queue family structure"};
    }
}

struct Walk {
    const RequirementVisitor& visitor;
    std::string where;
};

void problem(Walk& walk, ProblemKind kind, const std::string& where, const std::string& text) {
    if (walk.visitor.problem != nullptr) {
        walk.visitor.problem(walk.visitor.context, kind, where, text);
    }
}

// The notes of a value as problems, each at its element: "[1]" after the member when the member
// is an array, the name after that for an unknown one.
void note_problems(Walk& walk, const MemberRow& member, const MemberValue& value) {
    for (const ValueNote& note : value.notes) {
        std::string where = walk.where;
        if (member.count > 1 && member.kind != MemberKind::String && note.index != whole_member) {
            where += "[" + std::to_string(note.index) + "]";
        }
        if (note.form == ValueForm::Unknown) {
            problem(walk, ProblemKind::Unknown, where + " " + note.text, "");
        } else {
            problem(walk, ProblemKind::Unexpected, where,
                    "the file gives " + note.text + ", not " + note.expected);
        }
    }
}

void walk_members(Walk& walk, const StructureInfo& container, size_t offset,
                  const ProfileJson& members, LimitType inherited);

void walk_value(Walk& walk, const StructureInfo& container, size_t offset, const MemberRow& member,
                const ProfileJson& json, LimitType limit) {
    // Members are at most a few hundred bytes (strings of 256); a larger one gets the heap.
    unsigned char room[512] = {};
    std::vector<unsigned char> large(member.size > sizeof room ? member.size : 0, 0);
    unsigned char* const bytes = large.empty() ? room : large.data();
    const MemberValue value = read_member_value(json, member, bytes);
    if (!value.valid) {
        problem(walk, ProblemKind::Fault, walk.where, value.text);
        return;
    }
    const bool whole_unexpected = !value.notes.empty() && value.notes[0].index == whole_member;
    if ((limit & LimitRange) != 0 && member.count == 2 && value.given != 2 && !whole_unexpected) {
        problem(walk, ProblemKind::Fault, walk.where, "expected [minimum, maximum]");
        return;
    }
    note_problems(walk, member, value);
    if (walk.visitor.member != nullptr) {
        walk.visitor.member(walk.visitor.context, MemberVisit{container, offset, member, limit,
                                                              value, bytes, walk.where});
    }
}

void walk_member(Walk& walk, const StructureInfo& container, size_t offset, const MemberRow& member,
                 const ProfileJson& json, LimitType inherited) {
    const LimitType limit = member_limit(member, inherited);
    if (member.kind != MemberKind::Structure) {
        walk_value(walk, container, offset, member, json, limit);
        return;
    }
    const LimitType inner = nested_limit(limit);
    if (member.count == 1) {
        walk_members(walk, *member.nested, offset + member.offset, json, inner);
        return;
    }
    if (!json.is_array() || json.size() > member.count) {
        problem(walk, ProblemKind::Fault, walk.where,
                "expected an array of at most " + std::to_string(member.count));
        return;
    }
    const size_t mark = walk.where.size();
    for (uint32_t i = 0; i < json.size(); ++i) {
        walk.where += "[" + std::to_string(i) + "]";
        const NestedVisit visit{container, offset, member, i, walk.where};
        if (walk.visitor.nested == nullptr || walk.visitor.nested(walk.visitor.context, visit)) {
            walk_members(walk, *member.nested, offset + member.offset + i * member.nested->size,
                         json[i], inner);
        }
        walk.where.resize(mark);
    }
}

bool carries_nothing(const std::string& name) {
    return name == "sType" || name == "pNext";
}

// The members given, each under the place of its structure: where grows by each member's name
// while it is visited, so that no text is built for what a visitor passes over.
void walk_members(Walk& walk, const StructureInfo& container, size_t offset,
                  const ProfileJson& members, LimitType inherited) {
    if (!members.is_object()) {
        problem(walk, ProblemKind::Fault, walk.where, "expected an object");
        return;
    }
    const size_t mark = walk.where.size();
    for (const auto& item : members.items()) {
        const std::string& name = item.key();
        if (carries_nothing(name)) {
            continue;
        }
        walk.where += '.';
        walk.where += name;
        const MemberRow* member = holds_nul(name) ? nullptr : find_member(container, name.c_str());
        if (member == nullptr) {
            problem(walk, ProblemKind::Unknown, walk.where, "");
        } else {
            walk_member(walk, container, offset, *member, item.value(), inherited);
        }
        walk.where.resize(mark);
    }
}

void walk_structure(Walk& walk, const BlockInfo& block, const StructureInfo& structure,
                    const ProfileJson& members) {
    if (!members.is_object()) {
        problem(walk, ProblemKind::Fault, walk.where, "expected an object");
        return;
    }
    const StructureVisit visit{block.kind, structure, walk.where};
    if (walk.visitor.structure != nullptr && !walk.visitor.structure(walk.visitor.context, visit)) {
        return;
    }
    walk_members(walk, structure, 0, members, LimitNone);
    if (walk.visitor.structure_end != nullptr) {
        walk.visitor.structure_end(walk.visitor.context, visit);
    }
}

void walk_wrapper(Walk& walk, const BlockInfo& block, const ProfileJson& members) {
    if (!members.is_object()) {
        problem(walk, ProblemKind::Fault, walk.where, "expected an object");
        return;
    }
    const size_t mark = walk.where.size();
    for (const auto& item : members.items()) {
        if (carries_nothing(item.key())) {
            continue;
        }
        walk.where += '.';
        walk.where += item.key();
        if (item.key() == block.wrapper_member) {
            walk_structure(walk, block, *block.root, item.value());
        } else {
            problem(walk, ProblemKind::Unknown, walk.where, "");
        }
        walk.where.resize(mark);
    }
}

void walk_structures(Walk& walk, const BlockInfo& block, const ProfileJson& structures,
                     const char* block_name) {
    if (!structures.is_object()) {
        problem(walk, ProblemKind::Fault, walk.where.empty() ? std::string(block_name) : walk.where,
                "expected an object of structures");
        return;
    }
    const size_t mark = walk.where.size();
    for (const auto& item : structures.items()) {
        const std::string& name = item.key();
        walk.where += name;
        const StructureInfo* structure = holds_nul(name) ? nullptr : structure_named(name);
        if (name == block.wrapper || name == std::string(block.wrapper) + "KHR") {
            walk_wrapper(walk, block, item.value());
        } else if (structure == nullptr) {
            problem(walk, ProblemKind::Unknown, walk.where, "");
        } else if (structure != block.root && structure->root != block.chain) {
            problem(walk, ProblemKind::Misplaced, walk.where, block.misplaced);
        } else {
            walk_structure(walk, block, *structure, item.value());
        }
        walk.where.resize(mark);
    }
}

void walk_extensions(Walk& walk, const ProfileJson& block) {
    if (!block.is_object()) {
        problem(walk, ProblemKind::Fault, "extensions", "expected an object of spec versions");
        return;
    }
    for (const auto& item : block.items()) {
        const std::string where = "extension " + item.key();
        uint32_t version = 0;
        ValueNote note{};
        const ValueForm form = read_spec_version(item.value(), version, note);
        if (form == ValueForm::Invalid) {
            problem(walk, ProblemKind::Fault, where, note.text);
        } else if (holds_nul(item.key())) {
            problem(walk, ProblemKind::Unknown, where, "");
        } else if (form == ValueForm::Unexpected) {
            problem(walk, ProblemKind::Unexpected, where,
                    "the file gives " + note.text + ", not " + note.expected);
        } else if (walk.visitor.extension != nullptr) {
            walk.visitor.extension(walk.visitor.context, item.key(), version, where);
        }
    }
}

void block_item(Walk& walk, BlockKind block, uint64_t item, bool start) {
    if (walk.visitor.block_item != nullptr) {
        walk.visitor.block_item(walk.visitor.context, block, item, start);
    }
}

void walk_formats(Walk& walk, const ProfileJson& block) {
    if (!block.is_object()) {
        problem(walk, ProblemKind::Fault, "formats", "expected an object of formats");
        return;
    }
    const BlockInfo info = block_info(BlockKind::Formats);
    for (const auto& item : block.items()) {
        walk.where = "format " + item.key();
        uint64_t format = 0;
        if (holds_nul(item.key()) || !value_of_name(format_names, item.key().c_str(), &format)) {
            problem(walk, ProblemKind::Unknown, walk.where, "");
            continue;
        }
        walk.where += ' ';
        block_item(walk, BlockKind::Formats, format, true);
        walk_structures(walk, info, item.value(), "formats");
        block_item(walk, BlockKind::Formats, format, false);
    }
    walk.where.clear();
}

void walk_queue_families(Walk& walk, const ProfileJson& block) {
    if (!block.is_array()) {
        problem(walk, ProblemKind::Fault, "queueFamiliesProperties",
                "expected an array of queue families");
        return;
    }
    const BlockInfo info = block_info(BlockKind::QueueFamilies);
    for (size_t r = 0; r < block.size(); ++r) {
        walk.where = "queue family " + std::to_string(r) + " ";
        block_item(walk, BlockKind::QueueFamilies, r, true);
        walk_structures(walk, info, block[r], "queueFamiliesProperties");
        block_item(walk, BlockKind::QueueFamilies, r, false);
    }
    walk.where.clear();
}

}  // namespace

void walk_capability(const ProfileJson& capability, const RequirementVisitor& visitor) {
    Walk walk{visitor, ""};
    if (!capability.is_object()) {
        problem(walk, ProblemKind::Fault, "capability", "expected an object");
        return;
    }
    for (const auto& item : capability.items()) {
        const std::string& key = item.key();
        walk.where.clear();
        if (key == "extensions") {
            walk_extensions(walk, item.value());
        } else if (key == "features") {
            walk_structures(walk, block_info(BlockKind::Features), item.value(), "features");
        } else if (key == "properties") {
            walk_structures(walk, block_info(BlockKind::Properties), item.value(), "properties");
        } else if (key == "formats") {
            walk_formats(walk, item.value());
        } else if (key == "queueFamiliesProperties") {
            walk_queue_families(walk, item.value());
        } else {
            problem(walk, ProblemKind::Unknown, key, "");
        }
    }
}

const StructureInfo* structure_named(const std::string& name) {
    static const std::unordered_map<std::string, const StructureInfo*> index = [] {
        std::unordered_map<std::string, const StructureInfo*> names;
        for (uint32_t i = 0; i < all_structure_count; ++i) {
            const StructureInfo& structure = *all_structures[i];
            names.emplace(structure.name, &structure);
            for (uint32_t a = 0; a < structure.alias_count; ++a) {
                names.emplace(structure.aliases[a], &structure);
            }
        }
        return names;
    }();
    const auto found = index.find(name);
    return found != index.end() ? found->second : nullptr;
}
