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
};

// Reads the instance-wide facts of an instance created as setup says. Never fails as a whole:
// each part says its own failure.
void query_instance(VkInstance instance, const InstanceSetup& setup, InstanceFacts& facts);

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
