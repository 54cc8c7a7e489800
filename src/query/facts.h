// What a device and the instance tell through Vulkan, read once into the raw structures of the
// headers and described by the registry tables. Nothing here is formatted: the views (the
// complete report, the JSON document, the profile check) read these facts through the tables.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include <vulkan/vulkan.h>

#include "registry/registry.h"
#include "vulkan/commands.h"
#include "vulkan/lists.h"
#include "vulkan/surfaces.h"

// The structures of a chain, in order, and where each lies in the chain's storage. Every format
// of a device has the same chain, and so has every queue family: their chains share one layout.
struct ChainLayout {
    std::vector<const StructureInfo*> structures;
    std::vector<size_t> offsets;  // of each structure in the storage, in bytes
    size_t words = 0;             // the storage's size, in uint64_t
};

// Structures of one chain as the device filled them, each whole (sType and pNext included), in
// memory aligned for any member.
struct StructureChain {
    std::shared_ptr<const ChainLayout> layout;         // null for an empty chain
    const StructureInfo* const* structures = nullptr;  // the layout's, by index
    std::vector<uint64_t> storage;                     // the structures, one after the other

    const void* bytes(size_t index) const {
        return reinterpret_cast<const unsigned char*>(storage.data()) + layout->offsets[index];
    }
    size_t size() const {
        return layout != nullptr ? layout->structures.size() : 0;
    }
    // The structure of that sType, or null when the chain does not hold it.
    const void* find(VkStructureType type) const {
        for (size_t i = 0; i < size(); ++i) {
            if (structures[i]->stype == type) {
                return bytes(i);
            }
        }
        return nullptr;
    }
};

// Each failure below is a fixed text of the program (null when the part was read), which the
// views write as an error line: a command that is missing, or a query that failed.

struct FormatFacts {
    const FormatInfo* info;
    VkFormatProperties properties;
    // Every structure that extends VkFormatProperties2 and that the device provides
    // (VkFormatProperties3 among them); empty without vkGetPhysicalDeviceFormatProperties2.
    StructureChain chain;
};

struct QueueFamilyFacts {
    VkQueueFamilyProperties properties;
    // Likewise for VkQueueFamilyProperties2.
    StructureChain chain;
};

// What one instance layer adds to a device's extensions.
struct LayerDeviceExtensions {
    std::vector<VkExtensionProperties> extensions;
    const char* failure;
};

// A device and one surface.
struct SurfaceFormatFacts {
    VkSurfaceFormatKHR format;
    StructureChain chain;  // the structures that extend VkSurfaceFormat2KHR, with Formats2
};

// What vkGetPhysicalDeviceSurfaceCapabilities2KHR tells of one present mode, given it
// (VK_EXT_surface_maintenance1).
struct PresentModeFacts {
    uint32_t mode;
    StructureChain chain;  // VkSurfacePresentScalingCapabilitiesEXT
    // VkSurfacePresentModeCompatibilityEXT: the modes it can be switched to, as numbers.
    std::vector<uint32_t> compatible;
    const char* failure;
};

struct SurfaceFacts {
    const char* extension;  // the instance extension that made the surface
    // vkGetPhysicalDeviceSurfaceSupportKHR for each queue family.
    std::vector<VkBool32> present_support;
    const char* present_support_failure = nullptr;
    // Through vkGetPhysicalDeviceSurfaceCapabilities2KHR with every structure that extends
    // VkSurfaceCapabilities2KHR and that the device's or the instance's extensions provide,
    // or through vkGetPhysicalDeviceSurfaceCapabilitiesKHR alone.
    VkSurfaceCapabilitiesKHR capabilities{};
    bool capabilities_read = false;
    StructureChain capability_chain;
    const char* capabilities_failure = nullptr;
    std::vector<SurfaceFormatFacts> formats;
    const char* formats_failure = nullptr;
    // VkPresentModeKHR values, kept as numbers: a driver may write any.
    std::vector<uint32_t> present_modes;
    const char* present_modes_failure = nullptr;
    // With VK_EXT_surface_maintenance1: each present mode of those that Vulkan names.
    std::vector<PresentModeFacts> present_mode_capabilities;
    // Where the device has vkGetPhysicalDevicePresentRectanglesKHR (VK_KHR_device_group, or
    // VK_KHR_swapchain on Vulkan 1.1).
    bool rectangles_available = false;
    std::vector<VkRect2D> rectangles;
    const char* rectangles_failure = nullptr;
};

struct MultisampleFacts {
    uint32_t samples;  // one VkSampleCountFlagBits
    VkMultisamplePropertiesEXT properties;
};

struct VideoFormatFacts {
    uint32_t usage;  // the VkImageUsageFlagBits asked for
    std::vector<VkVideoFormatPropertiesKHR> formats;
    const char* failure;
};

// A video profile that the device's vkGetPhysicalDeviceVideoCapabilitiesKHR accepts.
struct VideoProfileFacts {
    VkVideoProfileInfoKHR profile;
    StructureChain codec_profile;  // the codec's structure that extends VkVideoProfileInfoKHR
    VkVideoCapabilitiesKHR capabilities;
    StructureChain capability_chain;  // the codec's structures that extend it
    std::vector<VideoFormatFacts> formats;
};

// Which memory types can hold an image of a format and tiling (vkGetImageMemoryRequirements'
// memoryTypeBits for an 8x8 image of that format used as an attachment).
struct MemoryImageFacts {
    VkImageTiling tiling;
    VkFormat format;
    uint32_t memory_types;
};

struct DeviceFacts {
    VkPhysicalDevice handle = VK_NULL_HANDLE;
    // Through vkGetPhysicalDeviceProperties2 when the instance has it, else the 1.0 command.
    VkPhysicalDeviceProperties properties{};
    // The version the chains were built for: the lower of the device's and the instance's.
    uint32_t api_version = VK_API_VERSION_1_0;

    std::vector<VkExtensionProperties> extensions;
    const char* extensions_failure = nullptr;

    // Every structure of the registry that extends VkPhysicalDeviceProperties2 and that the
    // device's version or one of its extensions provides. Empty, with a failure, without
    // vkGetPhysicalDeviceProperties2.
    StructureChain property_chain;
    const char* property_chain_failure = nullptr;

    VkPhysicalDeviceFeatures features{};
    bool features_read = false;
    StructureChain feature_chain;  // likewise, for VkPhysicalDeviceFeatures2
    const char* feature_chain_failure = nullptr;

    std::vector<QueueFamilyFacts> queue_families;
    const char* queue_families_failure = nullptr;

    VkPhysicalDeviceMemoryProperties memory{};
    bool memory_read = false;
    // Every structure that extends VkPhysicalDeviceMemoryProperties2 and that the device
    // provides (VkPhysicalDeviceMemoryBudgetPropertiesEXT with VK_EXT_memory_budget).
    StructureChain memory_chain;

    // Every format of the registry that the device's version or extensions provide.
    std::vector<FormatFacts> formats;
    const char* formats_failure = nullptr;

    bool tools_available = false;  // Vulkan 1.3 or VK_EXT_tooling_info
    std::vector<VkPhysicalDeviceToolProperties> tools;
    const char* tools_failure = nullptr;

    // The parts below are read where the device's extensions provide them and the command is
    // there; a part without its command is left out, without a failure.

    // For each instance layer, in the order of InstanceFacts::layers.
    std::vector<LayerDeviceExtensions> layer_extensions;

    // For each surface of the instance, in its order.
    std::vector<SurfaceFacts> surfaces;

    bool time_domains_available = false;  // VK_EXT_calibrated_timestamps
    std::vector<uint32_t> time_domains;   // VkTimeDomainEXT values, as numbers
    const char* time_domains_failure = nullptr;

    bool shading_rates_available = false;  // VK_KHR_fragment_shading_rate
    std::vector<VkPhysicalDeviceFragmentShadingRateKHR> shading_rates;
    const char* shading_rates_failure = nullptr;

    // VK_EXT_sample_locations: each sample count of sampleLocationSampleCounts that Vulkan
    // names.
    bool multisample_available = false;
    std::vector<MultisampleFacts> multisample;

    bool cooperative_matrices_available = false;  // VK_NV_cooperative_matrix
    std::vector<VkCooperativeMatrixPropertiesNV> cooperative_matrices;
    const char* cooperative_matrices_failure = nullptr;

    // VK_KHR_video_queue: every profile of the codec operations the queue families report that
    // the device accepts, out of those the program tries (video_profiles_tried counts them).
    bool video_available = false;
    std::vector<VideoProfileFacts> video_profiles;
    uint32_t video_profiles_tried = 0;

    // Read through a logical device made for it, with no queue work, destroyed at once.
    bool memory_images_available = false;
    std::vector<MemoryImageFacts> memory_images;
    const char* memory_images_failure = nullptr;
};

struct LayerFacts {
    VkLayerProperties properties;
    std::vector<VkExtensionProperties> extensions;
    const char* extensions_failure;
};

struct InstanceFacts {
    InstanceSetup setup;  // the loader's version and how the instance was created

    std::vector<LayerFacts> layers;
    const char* layers_failure = nullptr;

    std::vector<VkPhysicalDeviceGroupProperties> groups;
    const char* groups_failure = nullptr;

    // The complete report's surfaces, made once the commands are bound and destroyed before
    // the instance (release_instance_facts).
    InstanceSurfaces surfaces;
};

// Reads the instance-wide facts of an instance created as setup says, and makes its surfaces.
// Never fails as a whole: each part says its own failure.
void query_instance(VkInstance instance, const InstanceSetup& setup, InstanceFacts& facts);

// Destroys the surfaces, before the commands are released and the instance destroyed.
void release_instance_facts(VkInstance instance, InstanceFacts& facts);

// Reads everything about one device into facts (which is reset first).
// extensions: the device's extensions when the caller has read them already (the loader answers
// slowly), or null to read them here.
void query_device(const InstanceFacts& instance, VkPhysicalDevice device, DeviceFacts& facts,
                  const std::vector<VkExtensionProperties>* extensions = nullptr);

// Reads only what says which device it is and what memory it has: the extensions, the
// properties with their chain and the memory properties with theirs. The other parts stay
// empty, without failures. For views that need no more, at a fraction of the calls.
void query_device_identity(const InstanceFacts& instance, VkPhysicalDevice device,
                           DeviceFacts& facts,
                           const std::vector<VkExtensionProperties>* extensions = nullptr);
