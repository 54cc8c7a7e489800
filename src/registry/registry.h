// The types of the tables generated from the Vulkan registry (vk.xml): every structure that a
// device describes itself with, each member's kind, place and limit type, and the names of
// enumerations, flag bits and formats. The tables themselves are written by
// registry/generate_tables.py at build time; nothing here is typed by hand but these types.
#pragma once

#include <cstddef>
#include <cstdint>

#include <vulkan/vulkan.h>

// How a member's bytes are read.
enum class MemberKind : uint8_t {
    Bool32,     // VkBool32
    Int32,      // int32_t
    Uint32,     // uint32_t
    Int64,      // int64_t
    Uint64,     // uint64_t, VkDeviceSize
    Size,       // size_t
    Float,      // float
    Uint8,      // uint8_t (arrays of it that are not identifiers)
    String,     // char[count], not necessarily terminated
    Uuid,       // uint8_t[VK_UUID_SIZE]
    Luid,       // uint8_t[VK_LUID_SIZE], meaningful only when its "...Valid" sibling is true
    Enum,       // a 32-bit enumeration, or one bit of flags; names in MemberRow::names
    Flags,      // 32-bit flags; bit names in MemberRow::names
    Flags64,    // 64-bit flags; bit names in MemberRow::names
    Structure,  // a nested structure; its table in MemberRow::nested
};

// How the registry says a property compares (the member's limittype attribute), as bits:
// "min,pot" is LimitMin | LimitPot.
using LimitType = uint16_t;
constexpr LimitType LimitNone = 0;      // no limittype: features and identification
constexpr LimitType LimitMax = 1;       // the device's value is at least the required one
constexpr LimitType LimitMin = 2;       // the device's value is at most the required one
constexpr LimitType LimitBits = 4;      // a precision in bits: more is better
constexpr LimitType LimitBitmask = 8;   // every required bit (or true boolean) is set
constexpr LimitType LimitRange = 16;    // a [min, max] pair that must contain the required one
constexpr LimitType LimitExact = 32;    // must be equal
constexpr LimitType LimitNoauto = 64;   // no automatic comparison
constexpr LimitType LimitPot = 128;     // with Min or Max: a power of two
constexpr LimitType LimitMul = 256;     // with Min: the required value is a multiple of it
constexpr LimitType LimitStruct = 512;  // a nested structure, compared member by member

struct ValueName {
    uint64_t value;
    const char* name;
};

// The names of one enumeration or one flag-bits type, in the registry's order.
struct ValueNames {
    const char* type_name;  // "VkDriverId", "VkSampleCountFlagBits"
    const ValueName* values;
    uint32_t count;
    bool bits;  // flag bits: a value is a set of them
    // The other names vk.xml gives the same values (VK_SHADER_STAGE_TASK_BIT_NV for
    // VK_SHADER_STAGE_TASK_BIT_EXT), each with its value; may be null.
    const ValueName* aliases;
    uint32_t alias_count;
};

struct StructureInfo;

struct MemberRow {
    const char* name;  // as the headers spell it
    MemberKind kind;
    LimitType limit;
    uint16_t count;           // array length; 1 for a single value
    int16_t count_member;     // index of the member that says how many elements are valid, or -1
    uint32_t offset;          // of the member in its structure
    uint32_t size;            // of the whole member, every element
    const ValueNames* names;  // Enum, Flags, Flags64; null otherwise
    const StructureInfo* nested;  // Structure; null otherwise
};

// The structure a chained structure extends.
enum class ChainRoot : uint8_t {
    None,  // not chained: a top-level or nested structure
    Properties2,
    Features2,
    FormatProperties2,
    QueueFamilyProperties2,
    MemoryProperties2,
    // The roots of the complete report's further queries.
    SurfaceCapabilities2,
    SurfaceFormat2,
    VideoProfile,
    VideoCapabilities,
    VideoFormatProperties,
};
// How many roots there are: a table by root has this many rows.
constexpr size_t chain_root_count = static_cast<size_t>(ChainRoot::VideoFormatProperties) + 1;

struct StructureInfo {
    const char* name;
    const char* const* aliases;  // other names of the same structure (promotions), may be null
    uint32_t alias_count;
    VkStructureType stype;  // meaningful only when root is not None
    ChainRoot root;
    uint32_t size;
    const MemberRow* members;  // sType and pNext are left out
    uint32_t member_count;
    uint32_t api_version;           // the core version that provides it; 0 when only extensions do
    const char* const* extensions;  // the extensions that provide it, may be null
    uint32_t extension_count;
};

struct FormatInfo {
    VkFormat format;
    const char* name;
    uint32_t api_version;  // 0 when only extensions provide it
    const char* const* extensions;
    uint32_t extension_count;
};

// A video codec operation of the headers, and what its queries need.
struct VideoCodecInfo {
    uint32_t operation;            // its VkVideoCodecOperationFlagBitsKHR bit
    const StructureInfo* profile;  // its structure that extends VkVideoProfileInfoKHR, or null
    // The structures that extend VkVideoCapabilitiesKHR for it: the codec's and its kind's
    // (decode or encode).
    const StructureInfo* const* capabilities;
    uint32_t capability_count;
    // The VkImageUsageFlagBits its formats are asked for, one at a time.
    const uint32_t* image_usages;
    uint32_t image_usage_count;
};

// The generated tables.
extern const StructureInfo* const chained_structures[];  // every chained structure, by root
extern const uint32_t chained_structure_count;
extern const StructureInfo* const* const all_structures;  // every structure of the tables
extern const uint32_t all_structure_count;
extern const FormatInfo* const format_infos;
extern const uint32_t format_info_count;

// The structures of Vulkan 1.0 that the chains start from, or that the report reads whole.
extern const StructureInfo& physical_device_properties_info;  // VkPhysicalDeviceProperties
extern const StructureInfo& physical_device_features_info;    // VkPhysicalDeviceFeatures
extern const StructureInfo& physical_device_limits_info;      // VkPhysicalDeviceLimits
extern const StructureInfo& sparse_properties_info;           // VkPhysicalDeviceSparseProperties
extern const StructureInfo& queue_family_properties_info;     // VkQueueFamilyProperties
extern const StructureInfo& memory_properties_info;           // VkPhysicalDeviceMemoryProperties
extern const StructureInfo& format_properties_info;           // VkFormatProperties
extern const StructureInfo& format_properties3_info;          // VkFormatProperties3
extern const StructureInfo& tool_properties_info;             // VkPhysicalDeviceToolProperties
extern const StructureInfo& memory_budget_info;  // VkPhysicalDeviceMemoryBudgetPropertiesEXT
// The structures of the complete report's further queries.
extern const StructureInfo& surface_capabilities_info;     // VkSurfaceCapabilitiesKHR
extern const StructureInfo& surface_format_info;           // VkSurfaceFormatKHR
extern const StructureInfo& rect_2d_info;                  // VkRect2D
extern const StructureInfo& fragment_shading_rate_info;    // VkPhysicalDeviceFragmentShadingRateKHR
extern const StructureInfo& multisample_properties_info;   // VkMultisamplePropertiesEXT
extern const StructureInfo& cooperative_matrix_nv_info;    // VkCooperativeMatrixPropertiesNV
extern const StructureInfo& video_profile_info;            // VkVideoProfileInfoKHR
extern const StructureInfo& video_capabilities_info;       // VkVideoCapabilitiesKHR
extern const StructureInfo& video_format_properties_info;  // VkVideoFormatPropertiesKHR
// Every video codec operation of the headers; none when they have none.
extern const VideoCodecInfo* const video_codec_infos;
extern const uint32_t video_codec_info_count;

// Every enumeration and flag-bits table the structures use, and VkFormat, VkResult.
extern const ValueNames* const value_name_tables[];
extern const uint32_t value_name_table_count;
extern const ValueNames& format_names;  // VkFormat
// The enumerations that the further queries answer with, or ask for.
extern const ValueNames& time_domain_names;          // VkTimeDomainEXT
extern const ValueNames& present_mode_names;         // VkPresentModeKHR
extern const ValueNames& sample_count_names;         // VkSampleCountFlagBits
extern const ValueNames& chroma_subsampling_names;   // VkVideoChromaSubsamplingFlagBitsKHR
extern const ValueNames& component_bit_depth_names;  // VkVideoComponentBitDepthFlagBitsKHR
extern const ValueNames& image_tiling_names;         // VkImageTiling
extern const ValueNames& image_usage_names;          // VkImageUsageFlagBits

// Every extension the registry names for Vulkan, on any platform, provisional ones too, sorted
// as strcmp sorts: the extensions a Vulkan Profiles document of the same registry may list.
extern const char* const registry_extension_names[];
extern const uint32_t registry_extension_count;

// Lookups. Each returns null when the registry the build used does not know the name.
const StructureInfo* find_structure(const char* name);  // by name or alias, any table
const MemberRow* find_member(const StructureInfo& structure, const char* name);
const ValueNames* find_value_names(const char* type_name);
// The value's own name, never an alias; null when the table has none.
const char* value_name(const ValueNames& names, uint64_t value);
// Whether registry_extension_names holds the name.
bool registry_names_extension(const char* name);
// The value of a name or an alias in a table; false when the table has no such name.
bool value_of_name(const ValueNames& names, const char* name, uint64_t* value);
