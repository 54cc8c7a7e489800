#include "fake_driver.h"

#include <clocale>
#include <cstdio>
#include <cstring>
#include <limits>

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
    device.features.robustBufferAccess = VK_TRUE;
    VkQueueFamilyProperties family{};
    family.queueFlags = VK_QUEUE_GRAPHICS_BIT | VK_QUEUE_COMPUTE_BIT;
    family.queueCount = 16;
    device.queue_families = {family};
    device.format_properties.bufferFeatures = VK_FORMAT_FEATURE_VERTEX_BUFFER_BIT;
    return device;
}

FakeDevice second_device() {
    FakeDevice second = sample_device();
    strcpy(second.properties.deviceName, "Second <GPU> & \"friends\"");
    second.properties.vendorID = 0x10005;
    second.properties.deviceID = 0xac740000u;
    second.properties.deviceType = VK_PHYSICAL_DEVICE_TYPE_CPU;
    second.properties.sparseProperties.residencyAlignedMipSize = VK_TRUE;
    second.features.wideLines = VK_TRUE;
    VkQueueFamilyProperties transfer{};
    transfer.queueFlags = VK_QUEUE_TRANSFER_BIT;
    transfer.queueCount = 2;
    transfer.minImageTransferGranularity = {1, 1, 1};
    VkQueueFamilyProperties graphics = transfer;
    graphics.queueFlags = VK_QUEUE_GRAPHICS_BIT | VK_QUEUE_COMPUTE_BIT | VK_QUEUE_TRANSFER_BIT;
    graphics.queueCount = 8;
    graphics.timestampValidBits = 64;
    second.queue_families = {transfer, graphics};
    second.extensions.push_back(extension("VK_KHR_fragment_shading_rate", 2));
    VkPhysicalDeviceFragmentShadingRatePropertiesKHR rate{};
    rate.sType = VK_STRUCTURE_TYPE_PHYSICAL_DEVICE_FRAGMENT_SHADING_RATE_PROPERTIES_KHR;
    rate.maxFragmentShadingRateRasterizationSamples = VK_SAMPLE_COUNT_16_BIT;
    second.chain.push_back(chain_structure(rate));
    return second;
}

FakeDevice hostile_device(bool invalid_utf8) {
    FakeDevice device = sample_device();
    VkPhysicalDeviceProperties& p = device.properties;
    if (invalid_utf8) {
        // Each byte becomes U+FFFD in the JSON document: 765 bytes for a 255-byte name.
        memset(p.deviceName, 0xff, sizeof p.deviceName - 1);
        p.deviceName[sizeof p.deviceName - 1] = '\0';
    } else {
        memset(p.deviceName, 'N', sizeof p.deviceName);
    }
    p.apiVersion = VK_API_VERSION_1_3;
    p.limits.framebufferColorSampleCounts = 0xFFFFFFFFu;
    p.limits.strictLines = 901524418u;
    p.limits.timestampComputeAndGraphics = 2;
    p.limits.maxSamplerLodBias = std::numeric_limits<float>::quiet_NaN();
    device.features.robustBufferAccess = 901524418u;
    device.features.wideLines = 2;
    device.format_properties.optimalTilingFeatures =
        0x80000000u | VK_FORMAT_FEATURE_SAMPLED_IMAGE_BIT;
    VkPhysicalDeviceVulkan12Properties driver{};
    driver.sType = VK_STRUCTURE_TYPE_PHYSICAL_DEVICE_VULKAN_1_2_PROPERTIES;
    driver.driverID = static_cast<VkDriverId>(999);
    memset(driver.driverName, 'D', sizeof driver.driverName);
    memset(driver.driverInfo, 0xc3, sizeof driver.driverInfo - 1);
    driver.denormBehaviorIndependence = static_cast<VkShaderFloatControlsIndependence>(77);
    device.chain.push_back(chain_structure(driver));
    VkPhysicalDeviceVulkan11Features features{};
    features.sType = VK_STRUCTURE_TYPE_PHYSICAL_DEVICE_VULKAN_1_1_FEATURES;
    features.storageBuffer16BitAccess = 901524418u;
    device.chain.push_back(chain_structure(features));
    return device;
}

void add_further_answers() {
    fake.instance_extensions.push_back(extension("VK_KHR_get_surface_capabilities2", 1));
    fake.instance_extensions.push_back(extension("VK_KHR_surface_protected_capabilities", 1));
    fake.instance_extensions.push_back(extension("VK_EXT_surface_maintenance1", 1));
    fake.instance_extensions.push_back(extension("VK_EXT_headless_surface", 1));
    VkLayerProperties layer{};
    strcpy(layer.layerName, "VK_LAYER_BRISOL_sample");
    strcpy(layer.description, "Sample <layer>");
    fake.layers = {layer};
    fake.layer_device_extensions = {{extension("VK_EXT_tooling_info", 1)}};

    FakeDevice& device = fake.devices[0];
    device.properties.apiVersion = VK_API_VERSION_1_3;
    for (const char* name :
         {"VK_KHR_swapchain", "VK_EXT_calibrated_timestamps", "VK_KHR_fragment_shading_rate",
          "VK_EXT_sample_locations", "VK_NV_cooperative_matrix", "VK_KHR_video_queue",
          "VK_KHR_video_decode_queue", "VK_KHR_video_decode_h264"}) {
        device.extensions.push_back(extension(name, 1));
    }
    device.memory.memoryTypeCount = 2;
    device.memory.memoryTypes[1].heapIndex = 1;
    device.image_memory_types = 2;
    device.format_properties.optimalTilingFeatures =
        VK_FORMAT_FEATURE_COLOR_ATTACHMENT_BIT | VK_FORMAT_FEATURE_DEPTH_STENCIL_ATTACHMENT_BIT;

    VkPhysicalDeviceToolProperties tool{};
    tool.sType = VK_STRUCTURE_TYPE_PHYSICAL_DEVICE_TOOL_PROPERTIES;
    strcpy(tool.name, "Sample Tool");
    strcpy(tool.version, "7");
    tool.purposes = VK_TOOL_PURPOSE_VALIDATION_BIT;
    device.tools = {tool};

    device.surface_capabilities.minImageCount = 2;
    device.surface_capabilities.maxImageCount = 8;
    device.surface_capabilities.currentExtent = {0xFFFFFFFFu, 0xFFFFFFFFu};
    device.surface_capabilities.supportedUsageFlags = VK_IMAGE_USAGE_COLOR_ATTACHMENT_BIT;
    device.surface_formats = {
        {VK_FORMAT_B8G8R8A8_SRGB, VK_COLOR_SPACE_SRGB_NONLINEAR_KHR},
        {VK_FORMAT_R16G16B16A16_SFLOAT, VK_COLOR_SPACE_EXTENDED_SRGB_LINEAR_EXT}};
    device.present_modes = {VK_PRESENT_MODE_FIFO_KHR, VK_PRESENT_MODE_MAILBOX_KHR};
    device.present_rectangles = {{{0, 0}, {640, 480}}};
    device.compatible_present_modes = {VK_PRESENT_MODE_FIFO_KHR, VK_PRESENT_MODE_FIFO_RELAXED_KHR};
    device.time_domains = {VK_TIME_DOMAIN_DEVICE_EXT, VK_TIME_DOMAIN_CLOCK_MONOTONIC_RAW_EXT};
    VkPhysicalDeviceFragmentShadingRateKHR rate{};
    rate.sType = VK_STRUCTURE_TYPE_PHYSICAL_DEVICE_FRAGMENT_SHADING_RATE_KHR;
    rate.sampleCounts = VK_SAMPLE_COUNT_1_BIT | VK_SAMPLE_COUNT_4_BIT;
    rate.fragmentSize = {2, 2};
    device.shading_rates = {rate, rate};
    device.shading_rates[1].fragmentSize = {4, 4};
    VkCooperativeMatrixPropertiesNV matrix{};
    matrix.sType = VK_STRUCTURE_TYPE_COOPERATIVE_MATRIX_PROPERTIES_NV;
    matrix.MSize = 16;
    matrix.NSize = 8;
    matrix.KSize = 16;
    matrix.AType = VK_COMPONENT_TYPE_FLOAT16_NV;
    matrix.scope = VK_SCOPE_SUBGROUP_NV;
    device.cooperative_matrices = {matrix};
    device.sample_location_grid = {4, 2};

    VkPhysicalDeviceSampleLocationsPropertiesEXT locations{};
    locations.sType = VK_STRUCTURE_TYPE_PHYSICAL_DEVICE_SAMPLE_LOCATIONS_PROPERTIES_EXT;
    locations.sampleLocationSampleCounts = VK_SAMPLE_COUNT_2_BIT | VK_SAMPLE_COUNT_8_BIT;
    device.chain.push_back(chain_structure(locations));
    VkSurfaceProtectedCapabilitiesKHR protected_capabilities{};
    protected_capabilities.sType = VK_STRUCTURE_TYPE_SURFACE_PROTECTED_CAPABILITIES_KHR;
    protected_capabilities.supportsProtected = VK_TRUE;
    device.chain.push_back(chain_structure(protected_capabilities));

    VkQueueFamilyVideoPropertiesKHR video{};
    video.sType = VK_STRUCTURE_TYPE_QUEUE_FAMILY_VIDEO_PROPERTIES_KHR;
    video.videoCodecOperations = VK_VIDEO_CODEC_OPERATION_DECODE_H264_BIT_KHR;
    device.chain.push_back(chain_structure(video));
    device.video_subsamplings = VK_VIDEO_CHROMA_SUBSAMPLING_420_BIT_KHR;
    device.video_depths = VK_VIDEO_COMPONENT_BIT_DEPTH_8_BIT_KHR;
    device.video_capabilities.maxCodedExtent = {4096, 2304};
    device.video_capabilities.maxDpbSlots = 17;
    strcpy(device.video_capabilities.stdHeaderVersion.extensionName,
           VK_STD_VULKAN_VIDEO_CODEC_H264_DECODE_EXTENSION_NAME);
    VkVideoDecodeH264CapabilitiesKHR h264{};
    h264.sType = VK_STRUCTURE_TYPE_VIDEO_DECODE_H264_CAPABILITIES_KHR;
    h264.maxLevelIdc = STD_VIDEO_H264_LEVEL_IDC_5_1;
    h264.fieldOffsetGranularity = {0, 2};
    device.chain.push_back(chain_structure(h264));
    VkSurfacePresentScalingCapabilitiesEXT scaling{};
    scaling.sType = VK_STRUCTURE_TYPE_SURFACE_PRESENT_SCALING_CAPABILITIES_EXT;
    scaling.supportedPresentScaling = VK_PRESENT_SCALING_ONE_TO_ONE_BIT_EXT;
    scaling.maxScaledImageExtent = {4096, 4096};
    device.chain.push_back(chain_structure(scaling));
    VkVideoFormatPropertiesKHR format{};
    format.sType = VK_STRUCTURE_TYPE_VIDEO_FORMAT_PROPERTIES_KHR;
    format.format = VK_FORMAT_G8_B8R8_2PLANE_420_UNORM;
    format.imageType = VK_IMAGE_TYPE_2D;
    format.imageUsageFlags = VK_IMAGE_USAGE_VIDEO_DECODE_DST_BIT_KHR;
    device.video_formats = {format};
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

VKAPI_ATTR VkResult VKAPI_CALL
fake_enumerate_device_extension_properties(VkPhysicalDevice handle, const char* layer,
                                           uint32_t* count, VkExtensionProperties* properties) {
    const FakeDevice* device = device_of(handle);
    if (device == nullptr) {
        return VK_ERROR_INITIALIZATION_FAILED;
    }
    if (layer != nullptr) {
        for (size_t i = 0; i < fake.layers.size(); ++i) {
            if (strncmp(fake.layers[i].layerName, layer, sizeof fake.layers[i].layerName) == 0) {
                return fill_list(i < fake.layer_device_extensions.size()
                                     ? fake.layer_device_extensions[i]
                                     : std::vector<VkExtensionProperties>{},
                                 count, properties, VK_SUCCESS, VK_SUCCESS, -1, -1);
            }
        }
        return VK_ERROR_LAYER_NOT_PRESENT;
    }
    if (fake.generated_device_extensions != 0) {
        return fill_generated_extensions(count, properties);
    }
    return fill_list(device->extensions, count, properties, device->extension_count_result,
                     device->extension_fill_result, device->extension_query_count,
                     device->extension_fill_count);
}

namespace {

// Copies the fake's structures into every structure of the chain with the same sType.
void fill_chain(const FakeDevice& device, void* head) {
    for (auto* out = static_cast<VkBaseOutStructure*>(head); out != nullptr; out = out->pNext) {
        for (const std::vector<unsigned char>& structure : device.chain) {
            VkStructureType type;
            memcpy(&type, structure.data(), sizeof type);
            if (type == out->sType) {
                memcpy(out + 1, structure.data() + sizeof *out, structure.size() - sizeof *out);
            }
        }
    }
}

VKAPI_ATTR VkResult VKAPI_CALL enumerate_instance_version(uint32_t* version) {
    *version = fake.instance_version;
    return VK_SUCCESS;
}

VKAPI_ATTR VkResult VKAPI_CALL enumerate_layers(uint32_t* count, VkLayerProperties* layers) {
    return fill_list(fake.layers, count, layers, VK_SUCCESS, VK_SUCCESS, -1, fake.layer_fill_count);
}

VKAPI_ATTR VkResult VKAPI_CALL enumerate_groups(VkInstance, uint32_t* count,
                                                VkPhysicalDeviceGroupProperties* groups) {
    std::vector<VkPhysicalDeviceGroupProperties> all;
    for (FakeDevice& device : fake.devices) {
        VkPhysicalDeviceGroupProperties group{};
        group.physicalDeviceCount =
            fake.group_device_count >= 0 ? static_cast<uint32_t>(fake.group_device_count) : 1;
        group.physicalDevices[0] = reinterpret_cast<VkPhysicalDevice>(&device);
        all.push_back(group);
    }
    if (groups != nullptr) {  // the program's records carry its sType and pNext
        for (size_t i = 0; i < all.size() && i < *count; ++i) {
            all[i].sType = groups[i].sType;
            all[i].pNext = groups[i].pNext;
        }
    }
    return fill_list(all, count, groups, VK_SUCCESS, VK_SUCCESS, -1, -1);
}

VKAPI_ATTR void VKAPI_CALL get_properties2(VkPhysicalDevice handle,
                                           VkPhysicalDeviceProperties2* properties) {
    if (const FakeDevice* device = device_of(handle)) {
        properties->properties = device->properties;
        fill_chain(*device, properties->pNext);
    }
}

VKAPI_ATTR void VKAPI_CALL get_features(VkPhysicalDevice handle,
                                        VkPhysicalDeviceFeatures* features) {
    if (const FakeDevice* device = device_of(handle)) {
        *features = device->features;
    }
}

VKAPI_ATTR void VKAPI_CALL get_features2(VkPhysicalDevice handle,
                                         VkPhysicalDeviceFeatures2* features) {
    if (const FakeDevice* device = device_of(handle)) {
        features->features = device->features;
        fill_chain(*device, features->pNext);
    }
}

VKAPI_ATTR void VKAPI_CALL get_memory2(VkPhysicalDevice handle,
                                       VkPhysicalDeviceMemoryProperties2* memory) {
    if (const FakeDevice* device = device_of(handle)) {
        memory->memoryProperties = device->memory;
        fill_chain(*device, memory->pNext);
    }
}

VKAPI_ATTR void VKAPI_CALL get_queue_families(VkPhysicalDevice handle, uint32_t* count,
                                              VkQueueFamilyProperties* families) {
    if (const FakeDevice* device = device_of(handle)) {
        fill_list(device->queue_families, count, families, VK_SUCCESS, VK_SUCCESS, -1,
                  device->queue_family_fill_count);
    }
}

VKAPI_ATTR void VKAPI_CALL get_queue_families2(VkPhysicalDevice handle, uint32_t* count,
                                               VkQueueFamilyProperties2* families) {
    const FakeDevice* device = device_of(handle);
    if (device == nullptr) {
        return;
    }
    const size_t held = device->queue_families.size();
    if (families == nullptr) {
        *count = static_cast<uint32_t>(held);
        return;
    }
    const uint32_t written = static_cast<uint32_t>(*count < held ? *count : held);
    for (uint32_t i = 0; i < written; ++i) {
        families[i].queueFamilyProperties = device->queue_families[i];
        fill_chain(*device, families[i].pNext);
    }
    *count = device->queue_family_fill_count >= 0
                 ? static_cast<uint32_t>(device->queue_family_fill_count)
                 : written;
}

VKAPI_ATTR void VKAPI_CALL get_format_properties(VkPhysicalDevice handle, VkFormat,
                                                 VkFormatProperties* properties) {
    if (const FakeDevice* device = device_of(handle)) {
        *properties = device->format_properties;
    }
}

VKAPI_ATTR void VKAPI_CALL get_format_properties2(VkPhysicalDevice handle, VkFormat,
                                                  VkFormatProperties2* properties) {
    if (const FakeDevice* device = device_of(handle)) {
        properties->formatProperties = device->format_properties;
        fill_chain(*device, properties->pNext);
    }
}

VKAPI_ATTR VkResult VKAPI_CALL get_tools(VkPhysicalDevice, uint32_t* count,
                                         VkPhysicalDeviceToolProperties*) {
    *count = 0;
    return VK_SUCCESS;
}

// ---- The further commands ----

// A list of the device's, answered as the fake's further lists are: with the device's lying
// count and result where it has them.
template <typename T>
VkResult further_list(const FakeDevice& device, const std::vector<T>& items, uint32_t* count,
                      T* out) {
    if (device.further_result != VK_SUCCESS) {
        return device.further_result;
    }
    // The records carry the sType the program gives them, and no further structures.
    return fill_list(items, count, out, VK_SUCCESS, VK_SUCCESS, -1,
                     out != nullptr ? device.further_fill_count : -1);
}

int surface_object;
int device_object;
int image_object;

VKAPI_ATTR VkResult VKAPI_CALL get_tools_ext(VkPhysicalDevice handle, uint32_t* count,
                                             VkPhysicalDeviceToolProperties* tools) {
    const FakeDevice* device = device_of(handle);
    return device != nullptr ? further_list(*device, device->tools, count, tools)
                             : VK_ERROR_INITIALIZATION_FAILED;
}

VKAPI_ATTR VkResult VKAPI_CALL create_headless_surface(VkInstance,
                                                       const VkHeadlessSurfaceCreateInfoEXT*,
                                                       const VkAllocationCallbacks*,
                                                       VkSurfaceKHR* surface) {
    ++fake.surfaces_made;
    *surface = reinterpret_cast<VkSurfaceKHR>(&surface_object);
    return VK_SUCCESS;
}

VKAPI_ATTR void VKAPI_CALL destroy_surface(VkInstance, VkSurfaceKHR surface,
                                           const VkAllocationCallbacks*) {
    if (surface == reinterpret_cast<VkSurfaceKHR>(&surface_object)) {
        ++fake.surfaces_destroyed;
    }
}

VKAPI_ATTR VkResult VKAPI_CALL get_surface_support(VkPhysicalDevice handle, uint32_t family,
                                                   VkSurfaceKHR, VkBool32* supported) {
    const FakeDevice* device = device_of(handle);
    if (device == nullptr || device->further_result != VK_SUCCESS) {
        return VK_ERROR_SURFACE_LOST_KHR;
    }
    *supported = family == 0 ? VK_TRUE : VK_FALSE;
    return VK_SUCCESS;
}

VKAPI_ATTR VkResult VKAPI_CALL get_surface_capabilities(VkPhysicalDevice handle, VkSurfaceKHR,
                                                        VkSurfaceCapabilitiesKHR* capabilities) {
    const FakeDevice* device = device_of(handle);
    if (device == nullptr || device->further_result != VK_SUCCESS) {
        return VK_ERROR_SURFACE_LOST_KHR;
    }
    *capabilities = device->surface_capabilities;
    return VK_SUCCESS;
}

VKAPI_ATTR VkResult VKAPI_CALL
get_surface_capabilities2(VkPhysicalDevice handle, const VkPhysicalDeviceSurfaceInfo2KHR* info,
                          VkSurfaceCapabilities2KHR* capabilities) {
    const VkResult result =
        get_surface_capabilities(handle, info->surface, &capabilities->surfaceCapabilities);
    if (result != VK_SUCCESS) {
        return result;
    }
    const FakeDevice& device = *device_of(handle);
    fill_chain(device, capabilities->pNext);
    for (auto* out = static_cast<VkBaseOutStructure*>(capabilities->pNext); out != nullptr;
         out = out->pNext) {
        if (out->sType == VK_STRUCTURE_TYPE_SURFACE_PRESENT_MODE_COMPATIBILITY_EXT) {
            auto* compatibility = reinterpret_cast<VkSurfacePresentModeCompatibilityEXT*>(out);
            further_list(device, device.compatible_present_modes, &compatibility->presentModeCount,
                         reinterpret_cast<uint32_t*>(compatibility->pPresentModes));
        }
    }
    return VK_SUCCESS;
}

VKAPI_ATTR VkResult VKAPI_CALL get_surface_formats(VkPhysicalDevice handle, VkSurfaceKHR,
                                                   uint32_t* count, VkSurfaceFormatKHR* formats) {
    const FakeDevice* device = device_of(handle);
    return device != nullptr ? further_list(*device, device->surface_formats, count, formats)
                             : VK_ERROR_SURFACE_LOST_KHR;
}

VKAPI_ATTR VkResult VKAPI_CALL get_surface_formats2(VkPhysicalDevice handle,
                                                    const VkPhysicalDeviceSurfaceInfo2KHR*,
                                                    uint32_t* count, VkSurfaceFormat2KHR* formats) {
    const FakeDevice* device = device_of(handle);
    if (device == nullptr) {
        return VK_ERROR_SURFACE_LOST_KHR;
    }
    std::vector<VkSurfaceFormatKHR> plain(formats != nullptr ? *count : 0);
    const VkResult result = further_list(*device, device->surface_formats, count,
                                         formats != nullptr ? plain.data() : nullptr);
    for (size_t i = 0; formats != nullptr && i < plain.size() && i < *count; ++i) {
        formats[i].surfaceFormat = plain[i];
        fill_chain(*device, formats[i].pNext);
    }
    return result;
}

VKAPI_ATTR VkResult VKAPI_CALL get_present_modes(VkPhysicalDevice handle, VkSurfaceKHR,
                                                 uint32_t* count, VkPresentModeKHR* modes) {
    const FakeDevice* device = device_of(handle);
    return device != nullptr ? further_list(*device, device->present_modes, count,
                                            reinterpret_cast<uint32_t*>(modes))
                             : VK_ERROR_SURFACE_LOST_KHR;
}

VKAPI_ATTR VkResult VKAPI_CALL get_present_rectangles(VkPhysicalDevice handle, VkSurfaceKHR,
                                                      uint32_t* count, VkRect2D* rectangles) {
    const FakeDevice* device = device_of(handle);
    return device != nullptr ? further_list(*device, device->present_rectangles, count, rectangles)
                             : VK_ERROR_SURFACE_LOST_KHR;
}

VKAPI_ATTR VkResult VKAPI_CALL get_time_domains(VkPhysicalDevice handle, uint32_t* count,
                                                VkTimeDomainEXT* domains) {
    const FakeDevice* device = device_of(handle);
    return device != nullptr ? further_list(*device, device->time_domains, count,
                                            reinterpret_cast<uint32_t*>(domains))
                             : VK_ERROR_INITIALIZATION_FAILED;
}

VKAPI_ATTR VkResult VKAPI_CALL get_shading_rates(VkPhysicalDevice handle, uint32_t* count,
                                                 VkPhysicalDeviceFragmentShadingRateKHR* rates) {
    const FakeDevice* device = device_of(handle);
    return device != nullptr ? further_list(*device, device->shading_rates, count, rates)
                             : VK_ERROR_INITIALIZATION_FAILED;
}

VKAPI_ATTR void VKAPI_CALL get_multisample(VkPhysicalDevice handle, VkSampleCountFlagBits,
                                           VkMultisamplePropertiesEXT* properties) {
    if (const FakeDevice* device = device_of(handle)) {
        properties->maxSampleLocationGridSize = device->sample_location_grid;
    }
}

VKAPI_ATTR VkResult VKAPI_CALL get_cooperative_matrices(VkPhysicalDevice handle, uint32_t* count,
                                                        VkCooperativeMatrixPropertiesNV* all) {
    const FakeDevice* device = device_of(handle);
    return device != nullptr ? further_list(*device, device->cooperative_matrices, count, all)
                             : VK_ERROR_INITIALIZATION_FAILED;
}

VKAPI_ATTR VkResult VKAPI_CALL get_video_capabilities(VkPhysicalDevice handle,
                                                      const VkVideoProfileInfoKHR* profile,
                                                      VkVideoCapabilitiesKHR* capabilities) {
    const FakeDevice* device = device_of(handle);
    if (device == nullptr || (profile->chromaSubsampling & device->video_subsamplings) == 0 ||
        (profile->lumaBitDepth & device->video_depths) == 0) {
        return VK_ERROR_VIDEO_PROFILE_FORMAT_NOT_SUPPORTED_KHR;
    }
    void* next = capabilities->pNext;
    *capabilities = device->video_capabilities;
    capabilities->sType = VK_STRUCTURE_TYPE_VIDEO_CAPABILITIES_KHR;
    capabilities->pNext = next;
    fill_chain(*device, next);
    return VK_SUCCESS;
}

VKAPI_ATTR VkResult VKAPI_CALL get_video_formats(VkPhysicalDevice handle,
                                                 const VkPhysicalDeviceVideoFormatInfoKHR*,
                                                 uint32_t* count,
                                                 VkVideoFormatPropertiesKHR* formats) {
    const FakeDevice* device = device_of(handle);
    return device != nullptr ? further_list(*device, device->video_formats, count, formats)
                             : VK_ERROR_INITIALIZATION_FAILED;
}

VKAPI_ATTR VkResult VKAPI_CALL get_image_format_properties(VkPhysicalDevice handle, VkFormat,
                                                           VkImageType, VkImageTiling tiling,
                                                           VkImageUsageFlags, VkImageCreateFlags,
                                                           VkImageFormatProperties* properties) {
    const FakeDevice* device = device_of(handle);
    if (device == nullptr || tiling != VK_IMAGE_TILING_OPTIMAL) {
        return VK_ERROR_FORMAT_NOT_SUPPORTED;
    }
    *properties = VkImageFormatProperties{};
    return VK_SUCCESS;
}

VKAPI_ATTR VkResult VKAPI_CALL create_device(VkPhysicalDevice handle, const VkDeviceCreateInfo*,
                                             const VkAllocationCallbacks*, VkDevice* device) {
    if (device_of(handle) == nullptr) {
        return VK_ERROR_INITIALIZATION_FAILED;
    }
    ++fake.logical_devices_made;
    *device = reinterpret_cast<VkDevice>(&device_object);
    return VK_SUCCESS;
}

VKAPI_ATTR void VKAPI_CALL destroy_device(VkDevice device, const VkAllocationCallbacks*) {
    if (device == reinterpret_cast<VkDevice>(&device_object)) {
        ++fake.logical_devices_destroyed;
    }
}

VKAPI_ATTR VkResult VKAPI_CALL create_image(VkDevice, const VkImageCreateInfo*,
                                            const VkAllocationCallbacks*, VkImage* image) {
    ++fake.images_made;
    *image = reinterpret_cast<VkImage>(&image_object);
    return VK_SUCCESS;
}

VKAPI_ATTR void VKAPI_CALL destroy_image(VkDevice, VkImage image, const VkAllocationCallbacks*) {
    if (image == reinterpret_cast<VkImage>(&image_object)) {
        ++fake.images_destroyed;
    }
}

VKAPI_ATTR void VKAPI_CALL get_image_memory_requirements(VkDevice, VkImage,
                                                         VkMemoryRequirements* requirements) {
    *requirements = VkMemoryRequirements{};
    requirements->memoryTypeBits = fake.devices.empty() ? 0 : fake.devices[0].image_memory_types;
}

struct FakeCommand {
    const char* name;
    PFN_vkVoidFunction command;
};

template <typename Command>
FakeCommand command(const char* name, Command function) {
    return {name, reinterpret_cast<PFN_vkVoidFunction>(function)};
}

}  // namespace

VKAPI_ATTR PFN_vkVoidFunction VKAPI_CALL fake_get_instance_proc_addr(VkInstance, const char* name) {
    // Under the core name and, where there is one, the extension's.
    const FakeCommand commands[] = {
        command("vkEnumerateInstanceVersion", enumerate_instance_version),
        command("vkEnumerateInstanceLayerProperties", enumerate_layers),
        command("vkEnumeratePhysicalDeviceGroups", enumerate_groups),
        command("vkEnumeratePhysicalDeviceGroupsKHR", enumerate_groups),
        command("vkGetPhysicalDeviceProperties2", get_properties2),
        command("vkGetPhysicalDeviceProperties2KHR", get_properties2),
        command("vkGetPhysicalDeviceFeatures", get_features),
        command("vkGetPhysicalDeviceFeatures2", get_features2),
        command("vkGetPhysicalDeviceFeatures2KHR", get_features2),
        command("vkGetPhysicalDeviceMemoryProperties2", get_memory2),
        command("vkGetPhysicalDeviceMemoryProperties2KHR", get_memory2),
        command("vkGetPhysicalDeviceQueueFamilyProperties", get_queue_families),
        command("vkGetPhysicalDeviceQueueFamilyProperties2", get_queue_families2),
        command("vkGetPhysicalDeviceQueueFamilyProperties2KHR", get_queue_families2),
        command("vkGetPhysicalDeviceFormatProperties", get_format_properties),
        command("vkGetPhysicalDeviceFormatProperties2", get_format_properties2),
        command("vkGetPhysicalDeviceFormatProperties2KHR", get_format_properties2),
        command("vkGetPhysicalDeviceToolProperties", get_tools),
        command("vkGetPhysicalDeviceToolPropertiesEXT", get_tools_ext),
        command("vkCreateHeadlessSurfaceEXT", create_headless_surface),
        command("vkDestroySurfaceKHR", destroy_surface),
        command("vkGetPhysicalDeviceSurfaceSupportKHR", get_surface_support),
        command("vkGetPhysicalDeviceSurfaceCapabilitiesKHR", get_surface_capabilities),
        command("vkGetPhysicalDeviceSurfaceCapabilities2KHR", get_surface_capabilities2),
        command("vkGetPhysicalDeviceSurfaceFormatsKHR", get_surface_formats),
        command("vkGetPhysicalDeviceSurfaceFormats2KHR", get_surface_formats2),
        command("vkGetPhysicalDeviceSurfacePresentModesKHR", get_present_modes),
        command("vkGetPhysicalDevicePresentRectanglesKHR", get_present_rectangles),
        command("vkGetPhysicalDeviceCalibrateableTimeDomainsEXT", get_time_domains),
        command("vkGetPhysicalDeviceFragmentShadingRatesKHR", get_shading_rates),
        command("vkGetPhysicalDeviceMultisamplePropertiesEXT", get_multisample),
        command("vkGetPhysicalDeviceCooperativeMatrixPropertiesNV", get_cooperative_matrices),
        command("vkGetPhysicalDeviceVideoCapabilitiesKHR", get_video_capabilities),
        command("vkGetPhysicalDeviceVideoFormatPropertiesKHR", get_video_formats),
        command("vkGetPhysicalDeviceImageFormatProperties", get_image_format_properties),
        command("vkCreateDevice", create_device),
        command("vkDestroyDevice", destroy_device),
        command("vkCreateImage", create_image),
        command("vkDestroyImage", destroy_image),
        command("vkGetImageMemoryRequirements", get_image_memory_requirements),
    };
    for (const std::string& missing : fake.missing_commands) {
        if (missing == name) {
            return nullptr;
        }
    }
    for (const FakeCommand& known : commands) {
        if (strcmp(known.name, name) == 0) {
            return known.command;
        }
    }
    return nullptr;
}
