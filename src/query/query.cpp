#include <algorithm>
#include <cstring>
#include <utility>

#include "query/chains.h"
#include "query/facts.h"
#include "query/further.h"
#include "vulkan/entry_points.h"
#include "vulkan/lists.h"

namespace {

// Room for the first call of the lists read in one call: most machines have fewer layers, and
// fewer extensions per layer; devices have a few hundred extensions at most.
constexpr uint32_t list_guess = 32;
constexpr uint32_t device_extension_guess = 256;

// A name of the device's list before another, as strncmp orders them: a driver's name need not
// end within its array.
bool name_before(const char* a, const char* b) {
    return strncmp(a, b, VK_MAX_EXTENSION_NAME_SIZE) < 0;
}

}  // namespace

bool listed(const std::vector<VkExtensionProperties>& extensions, const char* name) {
    for (const VkExtensionProperties& extension : extensions) {
        if (strncmp(extension.extensionName, name, sizeof extension.extensionName) == 0) {
            return true;
        }
    }
    return false;
}

DeviceOffer device_offer(const DeviceFacts& facts, const std::vector<const char*>& more) {
    DeviceOffer offer{facts.api_version, {}};
    offer.extensions.reserve(facts.extensions.size() + more.size());
    for (const VkExtensionProperties& extension : facts.extensions) {
        offer.extensions.push_back(extension.extensionName);
    }
    offer.extensions.insert(offer.extensions.end(), more.begin(), more.end());
    std::sort(offer.extensions.begin(), offer.extensions.end(), name_before);
    return offer;
}

bool provided(const DeviceOffer& offer, uint32_t api_version, const char* const* names,
              uint32_t name_count) {
    if (api_version != 0 && api_version <= offer.api_version) {
        return true;
    }
    for (uint32_t i = 0; i < name_count; ++i) {
        const auto at = std::lower_bound(offer.extensions.begin(), offer.extensions.end(), names[i],
                                         name_before);
        if (at != offer.extensions.end() && !name_before(names[i], *at)) {
            return true;
        }
    }
    return false;
}

void lay_out_structures(StructureChain& chain, const StructureInfo* const* structures,
                        size_t count) {
    auto layout = std::make_shared<ChainLayout>();
    size_t bytes = 0;
    for (size_t i = 0; i < count; ++i) {
        layout->structures.push_back(structures[i]);
        layout->offsets.push_back(bytes);
        bytes += (structures[i]->size + 7) / 8 * 8;
    }
    layout->words = bytes / 8;
    chain.storage.assign(layout->words, 0);
    chain.structures = layout->structures.data();
    chain.layout = std::move(layout);
}

void lay_out_chain(StructureChain& chain, ChainRoot root, const DeviceOffer& offer,
                   VkStructureType left_out) {
    std::vector<const StructureInfo*> structures;
    for (uint32_t i = 0; i < chained_structure_count; ++i) {
        const StructureInfo& info = *chained_structures[i];
        if (info.root == root && info.stype != left_out &&
            provided(offer, info.api_version, info.extensions, info.extension_count)) {
            structures.push_back(&info);
        }
    }
    lay_out_structures(chain, structures.data(), structures.size());
}

void* link_chain(StructureChain& chain) {
    void* next = nullptr;
    for (size_t i = chain.size(); i-- > 0;) {
        auto* header = reinterpret_cast<VkBaseOutStructure*>(
            reinterpret_cast<unsigned char*>(chain.storage.data()) + chain.layout->offsets[i]);
        header->sType = chain.structures[i]->stype;
        header->pNext = static_cast<VkBaseOutStructure*>(next);
        next = header;
    }
    return next;
}

void unlink_chain(StructureChain& chain) {
    for (size_t i = 0; i < chain.size(); ++i) {
        reinterpret_cast<VkBaseOutStructure*>(
            reinterpret_cast<unsigned char*>(chain.storage.data()) + chain.layout->offsets[i])
            ->pNext = nullptr;
    }
}

namespace {

void* build_chain(StructureChain& chain, ChainRoot root, const DeviceOffer& offer) {
    lay_out_chain(chain, root, offer);
    return link_chain(chain);
}

void query_properties(DeviceFacts& facts, const DeviceOffer& offer) {
    if (vulkan_commands.vkGetPhysicalDeviceProperties2 == nullptr) {
        facts.property_chain_failure = "vkGetPhysicalDeviceProperties2 is missing";
        return;
    }
    VkPhysicalDeviceProperties2 head{};
    head.sType = VK_STRUCTURE_TYPE_PHYSICAL_DEVICE_PROPERTIES_2;
    head.pNext = build_chain(facts.property_chain, ChainRoot::Properties2, offer);
    vulkan_commands.vkGetPhysicalDeviceProperties2(facts.handle, &head);
    unlink_chain(facts.property_chain);
    facts.properties = head.properties;
}

void query_features(DeviceFacts& facts, const DeviceOffer& offer) {
    if (vulkan_commands.vkGetPhysicalDeviceFeatures2 == nullptr) {
        facts.feature_chain_failure = "vkGetPhysicalDeviceFeatures2 is missing";
        if (vulkan_commands.vkGetPhysicalDeviceFeatures != nullptr) {
            vulkan_commands.vkGetPhysicalDeviceFeatures(facts.handle, &facts.features);
            facts.features_read = true;
        }
        return;
    }
    VkPhysicalDeviceFeatures2 head{};
    head.sType = VK_STRUCTURE_TYPE_PHYSICAL_DEVICE_FEATURES_2;
    head.pNext = build_chain(facts.feature_chain, ChainRoot::Features2, offer);
    vulkan_commands.vkGetPhysicalDeviceFeatures2(facts.handle, &head);
    unlink_chain(facts.feature_chain);
    facts.features = head.features;
    facts.features_read = true;
}

void query_queue_families(DeviceFacts& facts, const DeviceOffer& offer) {
    const auto get = vulkan_commands.vkGetPhysicalDeviceQueueFamilyProperties;
    const auto get2 = vulkan_commands.vkGetPhysicalDeviceQueueFamilyProperties2;
    if (get == nullptr && get2 == nullptr) {
        facts.queue_families_failure = "vkGetPhysicalDeviceQueueFamilyProperties is missing";
        return;
    }
    const VkPhysicalDevice device = facts.handle;
    if (get2 == nullptr) {
        std::vector<VkQueueFamilyProperties> families;
        read_list(families, VkQueueFamilyProperties{},
                  [get, device](uint32_t* count, VkQueueFamilyProperties* records) {
                      get(device, count, records);
                      return VK_SUCCESS;
                  });
        for (const VkQueueFamilyProperties& family : families) {
            facts.queue_families.push_back({family, {}});
        }
        return;
    }
    uint32_t count = 0;
    get2(device, &count, nullptr);
    count = list_room(count);
    StructureChain layout;
    lay_out_chain(layout, ChainRoot::QueueFamilyProperties2, offer);
    facts.queue_families.assign(count, QueueFamilyFacts{{}, layout});
    std::vector<VkQueueFamilyProperties2> families(count);
    for (uint32_t i = 0; i < count; ++i) {
        families[i].sType = VK_STRUCTURE_TYPE_QUEUE_FAMILY_PROPERTIES_2;
        families[i].pNext = link_chain(facts.queue_families[i].chain);
    }
    get2(device, &count, families.data());
    // A driver that claims more families than it was given room for is not believed.
    facts.queue_families.resize(count < families.size() ? count : families.size());
    for (size_t i = 0; i < facts.queue_families.size(); ++i) {
        facts.queue_families[i].properties = families[i].queueFamilyProperties;
        unlink_chain(facts.queue_families[i].chain);
    }
}

void query_memory(DeviceFacts& facts, const DeviceOffer& offer) {
    if (vulkan_commands.vkGetPhysicalDeviceMemoryProperties2 != nullptr) {
        VkPhysicalDeviceMemoryProperties2 head{};
        head.sType = VK_STRUCTURE_TYPE_PHYSICAL_DEVICE_MEMORY_PROPERTIES_2;
        head.pNext = build_chain(facts.memory_chain, ChainRoot::MemoryProperties2, offer);
        vulkan_commands.vkGetPhysicalDeviceMemoryProperties2(facts.handle, &head);
        unlink_chain(facts.memory_chain);
        facts.memory = head.memoryProperties;
        facts.memory_read = true;
    } else if (vulkan.vkGetPhysicalDeviceMemoryProperties != nullptr) {
        vulkan.vkGetPhysicalDeviceMemoryProperties(facts.handle, &facts.memory);
        facts.memory_read = true;
    }
}

void query_formats(DeviceFacts& facts, const DeviceOffer& offer) {
    const auto get2 = vulkan_commands.vkGetPhysicalDeviceFormatProperties2;
    const auto get = vulkan_commands.vkGetPhysicalDeviceFormatProperties;
    if (get2 == nullptr && get == nullptr) {
        facts.formats_failure = "vkGetPhysicalDeviceFormatProperties is missing";
        return;
    }
    StructureChain layout;
    if (get2 != nullptr) {
        lay_out_chain(layout, ChainRoot::FormatProperties2, offer);
    }
    facts.formats.reserve(format_info_count);
    for (uint32_t i = 0; i < format_info_count; ++i) {
        const FormatInfo& info = format_infos[i];
        if (!provided(offer, info.api_version, info.extensions, info.extension_count)) {
            continue;
        }
        facts.formats.push_back({&info, {}, layout});
        FormatFacts& format = facts.formats.back();
        if (get2 == nullptr) {
            get(facts.handle, info.format, &format.properties);
            continue;
        }
        VkFormatProperties2 head{};
        head.sType = VK_STRUCTURE_TYPE_FORMAT_PROPERTIES_2;
        head.pNext = link_chain(format.chain);
        get2(facts.handle, info.format, &head);
        unlink_chain(format.chain);
        format.properties = head.formatProperties;
    }
}

}  // namespace

void query_instance(VkInstance instance, const InstanceSetup& setup, InstanceFacts& facts) {
    facts = InstanceFacts{};
    facts.setup = setup;
    const auto layers = vulkan_commands.vkEnumerateInstanceLayerProperties;
    std::vector<VkLayerProperties> properties;
    if (layers == nullptr) {
        facts.layers_failure = "vkEnumerateInstanceLayerProperties is missing";
    } else if (!list_read(read_list_at_once(properties, VkLayerProperties{}, list_guess,
                                            [layers](uint32_t* count, VkLayerProperties* records) {
                                                return layers(count, records);
                                            }))) {
        facts.layers_failure = "unable to read the instance layers";
    }
    for (const VkLayerProperties& layer : properties) {
        LayerFacts layer_facts{layer, {}, nullptr};
        // The name is bounded and terminated before it is handed back to the loader.
        layer_facts.properties.layerName[VK_MAX_EXTENSION_NAME_SIZE - 1] = '\0';
        const char* name = layer_facts.properties.layerName;
        if (vulkan.vkEnumerateInstanceExtensionProperties == nullptr ||
            !list_read(read_list_at_once(
                layer_facts.extensions, VkExtensionProperties{}, list_guess,
                [name](uint32_t* count, VkExtensionProperties* records) {
                    return vulkan.vkEnumerateInstanceExtensionProperties(name, count, records);
                }))) {
            layer_facts.extensions_failure = "unable to read the layer's instance extensions";
        }
        facts.layers.push_back(std::move(layer_facts));
    }
    const auto groups = vulkan_commands.vkEnumeratePhysicalDeviceGroups;
    VkPhysicalDeviceGroupProperties prototype{};
    prototype.sType = VK_STRUCTURE_TYPE_PHYSICAL_DEVICE_GROUP_PROPERTIES;
    if (groups == nullptr) {
        facts.groups_failure = "vkEnumeratePhysicalDeviceGroups is missing";
    } else if (!list_read(read_list(
                   facts.groups, prototype,
                   [groups, instance](uint32_t* count, VkPhysicalDeviceGroupProperties* records) {
                       return groups(instance, count, records);
                   }))) {
        facts.groups_failure = "unable to read the device groups";
    }
    make_surfaces(instance, setup, facts.surfaces);
}

namespace {

// What every reading of a device starts from: its extensions, its 1.0 properties and the version
// its chains are built for.
void query_device_start(const InstanceFacts& instance, VkPhysicalDevice device, DeviceFacts& facts,
                        const std::vector<VkExtensionProperties>* extensions) {
    facts = DeviceFacts{};
    facts.handle = device;
    if (extensions != nullptr) {
        facts.extensions = *extensions;
    } else if (vulkan.vkEnumerateDeviceExtensionProperties == nullptr ||
               !list_read(read_list_at_once(
                   facts.extensions, VkExtensionProperties{}, device_extension_guess,
                   [device](uint32_t* count, VkExtensionProperties* records) {
                       return vulkan.vkEnumerateDeviceExtensionProperties(device, nullptr, count,
                                                                          records);
                   }))) {
        facts.extensions_failure = "unable to read the device extensions";
    }
    if (vulkan.vkGetPhysicalDeviceProperties != nullptr) {
        vulkan.vkGetPhysicalDeviceProperties(device, &facts.properties);
    }
    const uint32_t device_version = facts.properties.apiVersion;
    facts.api_version =
        device_version < instance.setup.api_version ? device_version : instance.setup.api_version;
}

}  // namespace

void query_device_identity(const InstanceFacts& instance, VkPhysicalDevice device,
                           DeviceFacts& facts,
                           const std::vector<VkExtensionProperties>* extensions) {
    query_device_start(instance, device, facts, extensions);
    const DeviceOffer offer = device_offer(facts);
    query_properties(facts, offer);
    query_memory(facts, offer);
}

// The calls in the order bench/floor_complete.c makes them, which bench/check-calls compares.
void query_device(const InstanceFacts& instance, VkPhysicalDevice device, DeviceFacts& facts,
                  const std::vector<VkExtensionProperties>* extensions) {
    query_device_start(instance, device, facts, extensions);
    const DeviceOffer offer = device_offer(facts);
    query_properties(facts, offer);
    query_features(facts, offer);
    query_queue_families(facts, offer);
    query_memory(facts, offer);
    query_formats(facts, offer);
    query_layer_extensions(instance, facts);
    query_tools(facts);
    query_surfaces(instance, facts);
    query_time_domains(facts);
    query_shading_rates(facts);
    query_multisample(facts);
    query_cooperative_matrices(facts);
    query_video(facts);
    query_memory_images(facts);
}

void release_instance_facts(VkInstance instance, InstanceFacts& facts) {
    destroy_surfaces(instance, facts.surfaces);
}
