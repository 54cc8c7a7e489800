#include "vulkan/lists.h"

ListResult read_physical_devices(VkInstance instance, std::vector<VkPhysicalDevice>& devices) {
    devices.clear();
    if (instance == VK_NULL_HANDLE || vulkan.vkEnumeratePhysicalDevices == nullptr) {
        return ListResult::CountFailed;
    }
    const ListResult result =
        read_list(devices, VkPhysicalDevice{VK_NULL_HANDLE},
                  [instance](uint32_t* count, VkPhysicalDevice* handles) {
                      return vulkan.vkEnumeratePhysicalDevices(instance, count, handles);
                  });
    size_t kept = 0;
    for (VkPhysicalDevice device : devices) {
        if (device != VK_NULL_HANDLE) {
            devices[kept++] = device;
        }
    }
    devices.resize(kept);
    return result;
}

ListResult read_instance_extensions(const char* layer,
                                    std::vector<VkExtensionProperties>& extensions) {
    extensions.clear();
    if (vulkan.vkEnumerateInstanceExtensionProperties == nullptr) {
        return ListResult::CountFailed;
    }
    return read_list(extensions, VkExtensionProperties{},
                     [layer](uint32_t* count, VkExtensionProperties* properties) {
                         return vulkan.vkEnumerateInstanceExtensionProperties(layer, count,
                                                                              properties);
                     });
}

ListResult read_device_extensions(VkPhysicalDevice device,
                                  std::vector<VkExtensionProperties>& extensions) {
    extensions.clear();
    if (device == VK_NULL_HANDLE || vulkan.vkEnumerateDeviceExtensionProperties == nullptr) {
        return ListResult::CountFailed;
    }
    return read_list(extensions, VkExtensionProperties{},
                     [device](uint32_t* count, VkExtensionProperties* properties) {
                         return vulkan.vkEnumerateDeviceExtensionProperties(device, nullptr, count,
                                                                            properties);
                     });
}
