// The fake driver exported under the loader's names, so that the real program can be run end to
// end against it: build as libvulkan.so.1 and put its folder first on LD_LIBRARY_PATH.
// FAKE_VULKAN_SCENARIO picks what it answers: "sample" (the default), "incompatible",
// "no-devices", "two-devices", "hostile" (the second device of "two-devices" and two devices whose
// answers no driver should give), "families:F" (one sample device with F queue families) or
// "many:D:E" (D sample devices with E made-up extensions each).
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "fake_driver.h"

namespace {

// Set up on the first call rather than at load time, when the fake's own state may not have
// been constructed yet.
void set_up_scenario() {
    static bool done = false;
    if (done) {
        return;
    }
    done = true;
    reset_fake_driver();
    fake.instance_extensions = {extension("VK_KHR_surface", 25), extension("VK_KHR_display", 23)};
    const char* scenario = getenv("FAKE_VULKAN_SCENARIO");
    unsigned devices = 0;
    if (scenario == nullptr) {
        return;
    }
    if (strcmp(scenario, "incompatible") == 0) {
        fake.create_result = VK_ERROR_INCOMPATIBLE_DRIVER;
    } else if (strcmp(scenario, "no-devices") == 0) {
        // What the real loader answers on a machine without a Vulkan device.
        fake.devices.clear();
        fake.device_count_result = VK_ERROR_INITIALIZATION_FAILED;
    } else if (strcmp(scenario, "two-devices") == 0) {
        fake.devices.push_back(second_device());
    } else if (strcmp(scenario, "hostile") == 0) {
        fake.devices = {second_device(), hostile_device(false), hostile_device(true)};
    } else if (sscanf(scenario, "families:%u", &devices) == 1) {
        FakeDevice& device = fake.devices.front();
        device.queue_families.resize(devices, device.queue_families.front());
        for (unsigned f = 0; f < devices; ++f) {
            device.queue_families[f].queueCount = f + 1;
        }
    } else if (sscanf(scenario, "many:%u:%u", &devices, &fake.generated_device_extensions) == 2) {
        fake.devices.resize(devices, sample_device());
    }
}

}  // namespace

#define FAKE_EXPORT extern "C" __attribute__((visibility("default")))

FAKE_EXPORT VKAPI_ATTR PFN_vkVoidFunction VKAPI_CALL vkGetInstanceProcAddr(VkInstance instance,
                                                                           const char* name) {
    set_up_scenario();
    return fake_get_instance_proc_addr(instance, name);
}
FAKE_EXPORT VKAPI_ATTR VkResult VKAPI_CALL vkCreateInstance(const VkInstanceCreateInfo* info,
                                                            const VkAllocationCallbacks* allocator,
                                                            VkInstance* instance) {
    set_up_scenario();
    return fake_create_instance(info, allocator, instance);
}
FAKE_EXPORT VKAPI_ATTR void VKAPI_CALL vkDestroyInstance(VkInstance instance,
                                                         const VkAllocationCallbacks* allocator) {
    set_up_scenario();
    fake_destroy_instance(instance, allocator);
}
FAKE_EXPORT VKAPI_ATTR VkResult VKAPI_CALL vkEnumeratePhysicalDevices(VkInstance instance,
                                                                      uint32_t* count,
                                                                      VkPhysicalDevice* devices) {
    set_up_scenario();
    return fake_enumerate_physical_devices(instance, count, devices);
}
FAKE_EXPORT VKAPI_ATTR void VKAPI_CALL
vkGetPhysicalDeviceProperties(VkPhysicalDevice device, VkPhysicalDeviceProperties* properties) {
    set_up_scenario();
    fake_get_physical_device_properties(device, properties);
}
FAKE_EXPORT VKAPI_ATTR VkResult VKAPI_CALL vkEnumerateInstanceExtensionProperties(
    const char* layer, uint32_t* count, VkExtensionProperties* properties) {
    set_up_scenario();
    return fake_enumerate_instance_extension_properties(layer, count, properties);
}
FAKE_EXPORT VKAPI_ATTR VkResult VKAPI_CALL
vkEnumerateDeviceExtensionProperties(VkPhysicalDevice device, const char* layer, uint32_t* count,
                                     VkExtensionProperties* properties) {
    set_up_scenario();
    return fake_enumerate_device_extension_properties(device, layer, count, properties);
}
FAKE_EXPORT VKAPI_ATTR void VKAPI_CALL vkGetPhysicalDeviceMemoryProperties(
    VkPhysicalDevice device, VkPhysicalDeviceMemoryProperties* memory) {
    set_up_scenario();
    fake_get_physical_device_memory_properties(device, memory);
}
