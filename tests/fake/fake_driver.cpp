#include "fake_driver.h"

#include <clocale>
#include <cstdio>
#include <cstring>

FakeDriver fake;

namespace {

// Dispatchable handles only need to be distinct, non-null addresses.
int instance_object;

FakeDevice* device_of(VkPhysicalDevice handle) {
    for (FakeDevice& device : fake.devices) {
        if (reinterpret_cast<VkPhysicalDevice>(&device) == handle) {
            return &device;
        }
    }
    ++fake.unknown_device_calls;
    return nullptr;
}

// The Vulkan two-call idiom, with ways to lie about the count either call reports.
template <typename T>
VkResult fill_list(const std::vector<T>& items, uint32_t* count, T* out, VkResult count_result,
                   VkResult fill_result, int64_t query_count, int64_t fill_count) {
    if (out == nullptr) {
        *count = query_count >= 0 ? static_cast<uint32_t>(query_count)
                                  : static_cast<uint32_t>(items.size());
        return count_result;
    }
    const size_t room = *count;
    const size_t written = items.size() < room ? items.size() : room;
    for (size_t i = 0; i < written; ++i) {
        out[i] = items[i];
    }
    *count = fill_count >= 0 ? static_cast<uint32_t>(fill_count) : static_cast<uint32_t>(written);
    if (fill_result != VK_SUCCESS) {
        return fill_result;
    }
    return written < items.size() ? VK_INCOMPLETE : VK_SUCCESS;
}

VkResult fill_generated_extensions(uint32_t* count, VkExtensionProperties* out) {
    const uint32_t total = fake.generated_device_extensions;
    if (out == nullptr) {
        *count = total;
        return VK_SUCCESS;
    }
    const uint32_t written = *count < total ? *count : total;
    for (uint32_t i = 0; i < written; ++i) {
        out[i] = VkExtensionProperties{};
        memset(out[i].extensionName, '"', sizeof out[i].extensionName - 1);
        const int length = snprintf(out[i].extensionName, 32, "VK_EXT_made_up_%u", i);
        out[i].extensionName[length] = '"';
        out[i].specVersion = i;
    }
    *count = written;
    return written < total ? VK_INCOMPLETE : VK_SUCCESS;
}

}  // namespace

VkExtensionProperties extension(const char* name, uint32_t spec_version) {
    VkExtensionProperties properties{};
    strncpy(properties.extensionName, name, sizeof properties.extensionName - 1);
    properties.specVersion = spec_version;
    return properties;
}

FakeDevice sample_device() {
    FakeDevice device;
    VkPhysicalDeviceProperties& p = device.properties;
    strcpy(p.deviceName, "Sample Discrete GPU");
    p.vendorID = 4318;
    p.deviceID = 7040;
    p.driverVersion = (388u << 22) + (13u << 14);
    p.apiVersion = (1u << 22) + 61;
    p.deviceType = VK_PHYSICAL_DEVICE_TYPE_DISCRETE_GPU;
    VkPhysicalDeviceLimits& l = p.limits;
    l.maxImageDimension1D = 16384;
    l.bufferImageGranularity = 1024;
    l.maxComputeWorkGroupCount[0] = 65535;
    l.maxComputeWorkGroupCount[1] = 65535;
    l.maxComputeWorkGroupCount[2] = 65535;
    l.maxSamplerLodBias = 15.0f;
    l.maxViewportDimensions[0] = 16384;
    l.maxViewportDimensions[1] = 16384;
    l.viewportBoundsRange[0] = -32768.0f;
    l.viewportBoundsRange[1] = 32767.0f;
    l.minTexelOffset = -8;
    l.framebufferColorSampleCounts = 15;
    l.timestampComputeAndGraphics = VK_TRUE;
    l.nonCoherentAtomSize = 64;
    device.memory.memoryHeapCount = 2;
    device.memory.memoryHeaps[0].size = 8589934592ull;
    device.memory.memoryHeaps[1].size = 17122000896ull;
    device.extensions = {extension("VK_KHR_swapchain", 68)};
    return device;
}

void reset_fake_driver() {
    fake = FakeDriver{};
    fake.instance_extensions = {extension("VK_KHR_surface", 25), extension("VK_KHR_display", 23)};
    fake.devices.push_back(sample_device());
}

VKAPI_ATTR VkResult VKAPI_CALL fake_create_instance(const VkInstanceCreateInfo* create_info,
                                                    const VkAllocationCallbacks*,
                                                    VkInstance* instance) {
    fake.create_info = *create_info;
    if (create_info->pApplicationInfo != nullptr) {
        fake.application_info = *create_info->pApplicationInfo;
    }
    fake.enabled_extensions.clear();
    for (uint32_t i = 0; i < create_info->enabledExtensionCount; ++i) {
        fake.enabled_extensions.emplace_back(create_info->ppEnabledExtensionNames[i]);
    }
    if (!fake.locale_on_create.empty()) {
        setlocale(LC_ALL, fake.locale_on_create.c_str());
    }
    if (fake.create_null_instance) {
        *instance = VK_NULL_HANDLE;
        return VK_SUCCESS;
    }
    if (fake.create_result != VK_SUCCESS) {
        // A failed call's handle must not be used; make using it visible.
        *instance = reinterpret_cast<VkInstance>(&instance_object + 1);
        return fake.create_result;
    }
    ++fake.instances_created;
    *instance = reinterpret_cast<VkInstance>(&instance_object);
    return VK_SUCCESS;
}

VKAPI_ATTR void VKAPI_CALL fake_destroy_instance(VkInstance instance,
                                                 const VkAllocationCallbacks*) {
    if (instance == reinterpret_cast<VkInstance>(&instance_object)) {
        ++fake.instances_destroyed;
    }
}

VKAPI_ATTR VkResult VKAPI_CALL fake_enumerate_physical_devices(VkInstance, uint32_t* count,
                                                               VkPhysicalDevice* devices) {
    std::vector<VkPhysicalDevice> handles;
    for (FakeDevice& device : fake.devices) {
        handles.push_back(reinterpret_cast<VkPhysicalDevice>(&device));
    }
    return fill_list(handles, count, devices, fake.device_count_result, fake.device_fill_result,
                     fake.device_query_count, fake.device_fill_count);
}

VKAPI_ATTR void VKAPI_CALL fake_get_physical_device_properties(
    VkPhysicalDevice handle, VkPhysicalDeviceProperties* properties) {
    if (const FakeDevice* device = device_of(handle)) {
        *properties = device->properties;
    }
}

VKAPI_ATTR void VKAPI_CALL fake_get_physical_device_memory_properties(
    VkPhysicalDevice handle, VkPhysicalDeviceMemoryProperties* memory) {
    if (const FakeDevice* device = device_of(handle)) {
        *memory = device->memory;
    }
}

VKAPI_ATTR VkResult VKAPI_CALL fake_enumerate_instance_extension_properties(
    const char*, uint32_t* count, VkExtensionProperties* properties) {
    ++fake.instance_extension_calls;
    return fill_list(fake.instance_extensions, count, properties,
                     fake.instance_extension_count_result, fake.instance_extension_fill_result,
                     fake.instance_extension_query_count, fake.instance_extension_fill_count);
}

VKAPI_ATTR VkResult VKAPI_CALL fake_enumerate_device_extension_properties(
    VkPhysicalDevice handle, const char*, uint32_t* count, VkExtensionProperties* properties) {
    const FakeDevice* device = device_of(handle);
    if (device == nullptr) {
        return VK_ERROR_INITIALIZATION_FAILED;
    }
    if (fake.generated_device_extensions != 0) {
        return fill_generated_extensions(count, properties);
    }
    return fill_list(device->extensions, count, properties, device->extension_count_result,
                     device->extension_fill_result, device->extension_query_count,
                     device->extension_fill_count);
}

VKAPI_ATTR PFN_vkVoidFunction VKAPI_CALL fake_get_instance_proc_addr(VkInstance, const char*) {
    return nullptr;
}
