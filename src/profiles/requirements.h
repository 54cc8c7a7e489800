// Walking what one capability of a Vulkan Profiles document requires, block by block, structure
// by structure and member by member, through the generated tables: extensions, then the
// features, properties, formats and queue families as the document names them. A visitor is
// told each requirement with its value read into the member's own bytes; the document's check
// looks for values it cannot hold, the profile check compares with a device.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "profiles/document.h"
#include "profiles/values.h"
#include "registry/registry.h"

enum class BlockKind : uint8_t { Features, Properties, Formats, QueueFamilies };

enum class ProblemKind : uint8_t {
    Unknown,     // a name this build's tables do not know, or one holding a NUL (where ends with
                 // the name)
    Misplaced,   // a structure in another block than its own (text: "not a properties structure")
    Unexpected,  // a value of another form than its member takes (text: "the file gives "64",
                 // not a number")
    Fault,       // what the document cannot hold (text: "expected an array of bit names"); it is
                 // no profiles document
};

// A structure a block names: a chained one by its name or an alias, a 1.0 one
// (VkPhysicalDeviceFeatures), or the 1.0 one through the structure that wraps it
// ("VkPhysicalDeviceFeatures2": {"features": {...}}).
struct StructureVisit {
    BlockKind block;
    const StructureInfo& structure;
    const std::string& where;  // "VkPhysicalDeviceFeatures2.features"
};

// One member given a value. Nested members are visited one by one: container is the structure
// that declares the member, at offset in the structure the block names.
struct MemberVisit {
    const StructureInfo& container;
    size_t offset;
    const MemberRow& member;
    LimitType limit;  // as compare's member_limit gives it, inherited limit types included
    const MemberValue& value;
    const unsigned char* wanted;  // the value read, member.size bytes
    const std::string& where;     // "VkPhysicalDeviceProperties.limits.maxImageDimension1D"
};

// One element of an array of nested structures, before its members.
struct NestedVisit {
    const StructureInfo& container;
    size_t offset;
    const MemberRow& member;
    uint32_t index;
    const std::string& where;  // with the index: "...memoryHeaps[1]"
};

// What a walk tells its visitor. Places (where) are those of the lines the profile check writes:
// "extension VK_KHR_x", "format VK_FORMAT_X VkFormatProperties.bufferFeatures", "queue family 0
// VkQueueFamilyProperties.queueCount". Each function may be null.
struct RequirementVisitor {
    void* context;
    // An extension and the spec version asked for.
    void (*extension)(void* context, const std::string& name, uint32_t spec_version,
                      const std::string& where);
    // A format (item: its value) or an entry of the queue families (item: its index) begins,
    // before its structures, or ends (start false).
    void (*block_item)(void* context, BlockKind block, uint64_t item, bool start);
    // A structure; false skips its members. structure_end follows its members.
    bool (*structure)(void* context, const StructureVisit& visit);
    void (*structure_end)(void* context, const StructureVisit& visit);
    // An element of an array of nested structures; false skips its members.
    bool (*nested)(void* context, const NestedVisit& visit);
    void (*member)(void* context, const MemberVisit& visit);
    void (*problem)(void* context, ProblemKind kind, const std::string& where,
                    const std::string& text);
};

// Walks one capability (the object a document's "capabilities" gives a name), in the order of
// the document. Members named sType or pNext are passed over: they carry nothing to require.
void walk_capability(const ProfileJson& capability, const RequirementVisitor& visitor);

// A structure by its name or an alias, through an index built on first use; null when the
// tables do not know it.
const StructureInfo* structure_named(const std::string& name);
