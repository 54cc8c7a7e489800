#include "views/node.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "query/facts.h"
#include "registry/registry.h"
#include "vulkan/commands.h"
#include "vulkan/instance.h"
#include "vulkan/lists.h"

namespace {

// Indexed by VkPhysicalDeviceType.
const char* const device_type_words[] = {"other", "integrated", "discrete", "virtual", "cpu"};
static_assert(sizeof device_type_words / sizeof device_type_words[0] ==
                  VK_PHYSICAL_DEVICE_TYPE_CPU + 1,
              "one word per Vulkan 1.0 device type");

const char* device_type_word(const VkPhysicalDeviceType& type) {
    // A driver may store any 32 bits here: read as the number it is, anything unknown is "other".
    uint32_t value = 0;
    static_assert(sizeof value == sizeof type, "device types are 32 bits");
    memcpy(&value, &type, sizeof value);
    return value < sizeof device_type_words / sizeof device_type_words[0]
               ? device_type_words[value]
               : device_type_words[VK_PHYSICAL_DEVICE_TYPE_OTHER];
}

std::string driver_id_text(const DeviceFacts& facts) {
    const void* bytes =
        facts.property_chain.find(VK_STRUCTURE_TYPE_PHYSICAL_DEVICE_DRIVER_PROPERTIES);
    if (bytes == nullptr) {
        return "";
    }
    VkPhysicalDeviceDriverProperties driver;
    memcpy(&driver, bytes, sizeof driver);
    uint32_t id = 0;
    static_assert(sizeof id == sizeof driver.driverID, "driver IDs are 32 bits");
    memcpy(&id, &driver.driverID, sizeof id);
    static const ValueNames* const names = find_value_names("VkDriverId");
    const char* name = names != nullptr ? value_name(*names, id) : nullptr;
    return name != nullptr ? name : std::to_string(id);
}

std::vector<HeapSummary> heaps_of(const DeviceFacts& facts) {
    std::vector<HeapSummary> heaps;
    if (!facts.memory_read) {
        return heaps;
    }
    VkPhysicalDeviceMemoryBudgetPropertiesEXT budget{};
    const void* bytes =
        facts.memory_chain.find(VK_STRUCTURE_TYPE_PHYSICAL_DEVICE_MEMORY_BUDGET_PROPERTIES_EXT);
    if (bytes != nullptr) {
        memcpy(&budget, bytes, sizeof budget);
    }
    // The heap array has room for VK_MAX_MEMORY_HEAPS; a larger count is not believed.
    const uint32_t count = facts.memory.memoryHeapCount < VK_MAX_MEMORY_HEAPS
                               ? facts.memory.memoryHeapCount
                               : VK_MAX_MEMORY_HEAPS;
    for (uint32_t h = 0; h < count; ++h) {
        const VkMemoryHeap& heap = facts.memory.memoryHeaps[h];
        heaps.push_back({heap.size, (heap.flags & VK_MEMORY_HEAP_DEVICE_LOCAL_BIT) != 0,
                         bytes != nullptr, budget.heapBudget[h], budget.heapUsage[h]});
    }
    return heaps;
}

void read_devices(VkInstance instance, const InstanceFacts& instance_facts, NodeFacts& facts,
                  bool with_profiles) {
    std::vector<VkPhysicalDevice> handles;
    const ListResult listed = read_physical_devices(instance, handles);
    if (listed == ListResult::CountFailed && vulkan.vkEnumeratePhysicalDevices != nullptr) {
        facts.errors.emplace_back("unable to list the physical devices");
    } else if (listed == ListResult::FillFailed) {
        facts.errors.emplace_back("unable to read the physical devices");
    }
    // One device's facts at a time, and only the parts the summary reads unless the profiles
    // need them all: a driver that claims thousands of devices with thousands of extensions costs
    // their summaries only. Each device is read once, for the summary and the profiles alike.
    DeviceFacts device;
    for (const VkPhysicalDevice handle : handles) {
        if (with_profiles) {
            query_device(instance_facts, handle, device);
            check_profile_device(device);
        } else {
            query_device_identity(instance_facts, handle, device);
        }
        facts.devices.push_back(device_summary(device));
    }
}

void read_vulkan(const VulkanLoader& loader, NodeFacts& facts, bool with_profiles) {
    const ModuleHandle handle = loader.bind();
    if (handle == nullptr) {
        return;
    }
    facts.loader_found = true;
    // The devices are queried with the version the instance was made with; its layers and
    // groups say nothing the fleet views write.
    InstanceFacts instance_facts;
    const VkInstance instance = create_complete_instance(instance_facts.setup);
    facts.loader_version = instance_facts.setup.loader_version;
    if (instance == VK_NULL_HANDLE) {
        if (vulkan.vkCreateInstance == nullptr) {
            facts.errors.emplace_back("vkCreateInstance is missing");
        }
        loader.release(handle);
        return;
    }
    bind_vulkan_commands(instance, instance_facts.setup);
    read_devices(instance, instance_facts, facts, with_profiles);
    release_vulkan_commands();
    destroy_vulkan_instance(instance);
    loader.release(handle);
}

}  // namespace

DeviceSummary device_summary(const DeviceFacts& facts) {
    const VkPhysicalDeviceProperties& properties = facts.properties;
    return {vulkan_name(properties.deviceName).text,
            device_type_word(properties.deviceType),
            properties.vendorID,
            properties.deviceID,
            properties.apiVersion,
            driver_id_text(facts),
            driver_version_text(properties.vendorID, properties.driverVersion),
            heaps_of(facts)};
}

void read_node_facts(const VulkanLoader& loader, NodeFacts& facts, bool with_profiles) {
    // The lower layers write their failures to both reports, which are not printed: the facts
    // take the messages, and the reports are given back as they were.
    const size_t text_mark = text_report.size();
    const size_t xml_mark = xml_report.size();
    facts = NodeFacts{};
    if (with_profiles) {
        start_profile_check();
    }
    read_vulkan(loader, facts, with_profiles);
    for (std::string& error : errors_reported_since(text_mark)) {
        facts.errors.push_back(std::move(error));
    }
    text_report.resize(text_mark);
    xml_report.resize(xml_mark);
}

uint32_t highest_api_version(const NodeFacts& facts) {
    uint32_t highest = 0;
    for (const DeviceSummary& device : facts.devices) {
        const uint32_t version = VK_MAKE_API_VERSION(0, VK_API_VERSION_MAJOR(device.api_version),
                                                     VK_API_VERSION_MINOR(device.api_version),
                                                     VK_API_VERSION_PATCH(device.api_version));
        highest = version > highest ? version : highest;
    }
    return highest;
}

uint64_t device_local_bytes(const DeviceSummary& device) {
    uint64_t total = 0;
    for (const HeapSummary& heap : device.heaps) {
        if (heap.device_local) {
            total = heap.size > UINT64_MAX - total ? UINT64_MAX : total + heap.size;
        }
    }
    return total;
}

std::string hex_id(uint32_t id) {
    char text[16];
    snprintf(text, sizeof text, "0x%04x", id);
    return text;
}
