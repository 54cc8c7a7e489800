#include "floor_calls.h"

#include <cstdint>
#include <vector>

#include "vulkan/entry_points.h"

namespace {

// The report gives a list no more room than this, whatever the count query answered.
uint32_t room_for(uint32_t count) {
    return count < most_listed_records ? count : most_listed_records;
}

void read_instance_extensions() {
    uint32_t count = 0;
    if (vulkan.vkEnumerateInstanceExtensionProperties(nullptr, &count, nullptr) != VK_SUCCESS ||
        count == 0) {
        return;
    }
    count = room_for(count);
    std::vector<VkExtensionProperties> extensions(count);
    vulkan.vkEnumerateInstanceExtensionProperties(nullptr, &count, extensions.data());
}

void read_device(VkPhysicalDevice device) {
    // Zeroed like the report's records, so that the floor pays for the same stores.
    VkPhysicalDeviceProperties properties{};
    vulkan.vkGetPhysicalDeviceProperties(device, &properties);
    VkPhysicalDeviceMemoryProperties memory{};
    vulkan.vkGetPhysicalDeviceMemoryProperties(device, &memory);
    uint32_t count = 0;
    if (vulkan.vkEnumerateDeviceExtensionProperties(device, nullptr, &count, nullptr) !=
            VK_SUCCESS ||
        count == 0) {
        return;
    }
    count = room_for(count);
    std::vector<VkExtensionProperties> extensions(count);
    vulkan.vkEnumerateDeviceExtensionProperties(device, nullptr, &count, extensions.data());
}

}  // namespace

bool make_report_queries(VkInstance instance) {
    if (instance == VK_NULL_HANDLE || vulkan.vkEnumerateInstanceExtensionProperties == nullptr ||
        vulkan.vkEnumeratePhysicalDevices == nullptr ||
        vulkan.vkGetPhysicalDeviceProperties == nullptr ||
        vulkan.vkGetPhysicalDeviceMemoryProperties == nullptr ||
        vulkan.vkEnumerateDeviceExtensionProperties == nullptr) {
        return false;
    }
    read_instance_extensions();
    uint32_t count = 0;
    if (vulkan.vkEnumeratePhysicalDevices(instance, &count, nullptr) != VK_SUCCESS || count == 0) {
        return true;
    }
    const uint32_t capacity = room_for(count);
    count = capacity;
    std::vector<VkPhysicalDevice> devices(capacity);
    if (vulkan.vkEnumeratePhysicalDevices(instance, &count, devices.data()) != VK_SUCCESS) {
        return true;
    }
    for (uint32_t i = 0; i < count && i < capacity; ++i) {
        read_device(devices[i]);
    }
    return true;
}
