#include "fake_entry_points.h"

#include "fake_driver.h"
#include "vulkan/entry_points.h"

void point_entry_points_at_fake() {
    vulkan.vkGetInstanceProcAddr = fake_get_instance_proc_addr;
    vulkan.vkCreateInstance = fake_create_instance;
    vulkan.vkDestroyInstance = fake_destroy_instance;
    vulkan.vkEnumeratePhysicalDevices = fake_enumerate_physical_devices;
    vulkan.vkGetPhysicalDeviceProperties = fake_get_physical_device_properties;
    vulkan.vkEnumerateInstanceExtensionProperties = fake_enumerate_instance_extension_properties;
    vulkan.vkEnumerateDeviceExtensionProperties = fake_enumerate_device_extension_properties;
    vulkan.vkGetPhysicalDeviceMemoryProperties = fake_get_physical_device_memory_properties;
}
