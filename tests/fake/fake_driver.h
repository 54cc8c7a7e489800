// A scriptable stand-in for the Vulkan loader and one driver, for what no real driver can be made
// to do: failing calls, lists that change between the count and the fill, hostile values.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <vulkan/vulkan.h>

struct FakeDevice {
    VkPhysicalDeviceProperties properties{};
    VkPhysicalDeviceMemoryProperties memory{};
    std::vector<VkExtensionProperties> extensions;
    VkResult extension_count_result = VK_SUCCESS;
    VkResult extension_fill_result = VK_SUCCESS;
    // When not negative, the count the count query reports, whatever the list holds.
    int64_t extension_query_count = -1;
    // When not negative, the count the fill call reports, whatever room it was given.
    int64_t extension_fill_count = -1;

    // What the complete report's commands answer. Every format has the same properties.
    VkPhysicalDeviceFeatures features{};
    std::vector<VkQueueFamilyProperties> queue_families;
    int64_t queue_family_fill_count = -1;
    VkFormatProperties format_properties{};
    // Whole structures (see chain_structure) copied, after their sType and pNext, into the
    // structure of the same sType wherever the program links one into a chain.
    std::vector<std::vector<unsigned char>> chain;

    // What the further commands answer. The tools are what the extension's command answers;
    // the core command answers none, as under the validation layer.
    std::vector<VkPhysicalDeviceToolProperties> tools;
    VkSurfaceCapabilitiesKHR surface_capabilities{};
    std::vector<VkSurfaceFormatKHR> surface_formats;
    std::vector<uint32_t> present_modes;  // as numbers: any value a driver may write
    std::vector<VkRect2D> present_rectangles;
    // What each present mode is compatible with (VK_EXT_surface_maintenance1), as numbers.
    std::vector<uint32_t> compatible_present_modes;
    std::vector<uint32_t> time_domains;
    std::vector<VkPhysicalDeviceFragmentShadingRateKHR> shading_rates;
    std::vector<VkCooperativeMatrixPropertiesNV> cooperative_matrices;
    // Every sample count's maxSampleLocationGridSize.
    VkExtent2D sample_location_grid{};
    // The video profiles accepted: those of these chroma subsamplings and bit depths (every
    // codec's own values), each with the same capabilities (and chain), and these formats.
    VkVideoChromaSubsamplingFlagsKHR video_subsamplings = 0;
    VkVideoComponentBitDepthFlagsKHR video_depths = 0;
    VkVideoCapabilitiesKHR video_capabilities{};
    std::vector<VkVideoFormatPropertiesKHR> video_formats;
    // The memory types an image may be bound to.
    uint32_t image_memory_types = 0;
    // When not negative, the count every further list's fill call reports, whatever room it was
    // given; when not VK_SUCCESS, what the further commands answer.
    int64_t further_fill_count = -1;
    VkResult further_result = VK_SUCCESS;
};

template <typename T>
std::vector<unsigned char> chain_structure(const T& structure) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(&structure);
    return std::vector<unsigned char>(bytes, bytes + sizeof structure);
}

struct FakeDriver {
    VkResult create_result = VK_SUCCESS;
    // VK_SUCCESS with a null instance.
    bool create_null_instance = false;
    // When not empty, the locale vkCreateInstance sets for the whole process, as drivers may.
    std::string locale_on_create;
    // When not 0, every device lists that many extensions, made up as they are asked for and
    // each with a 255-byte name of XML markup: a list no memory could hold for 4096 devices.
    uint32_t generated_device_extensions = 0;
    std::vector<VkExtensionProperties> instance_extensions;
    VkResult instance_extension_count_result = VK_SUCCESS;
    VkResult instance_extension_fill_result = VK_SUCCESS;
    int64_t instance_extension_query_count = -1;
    int64_t instance_extension_fill_count = -1;
    std::vector<FakeDevice> devices;
    VkResult device_count_result = VK_SUCCESS;
    VkResult device_fill_result = VK_SUCCESS;
    int64_t device_query_count = -1;
    int64_t device_fill_count = -1;

    // The complete report's instance: what vkEnumerateInstanceVersion answers, the layers, the
    // count each device group claims (when not negative), and the commands vkGetInstanceProcAddr
    // does not hand out (a 1.0 loader lacks vkEnumerateInstanceVersion).
    uint32_t instance_version = VK_API_VERSION_1_3;
    std::vector<VkLayerProperties> layers;
    int64_t layer_fill_count = -1;
    int64_t group_device_count = -1;
    std::vector<std::string> missing_commands;
    // The device extensions each layer adds, by the layer's index in layers.
    std::vector<std::vector<VkExtensionProperties>> layer_device_extensions;

    // What the program did to the driver.
    VkInstanceCreateInfo create_info{};
    VkApplicationInfo application_info{};
    // Copied, since the program's array need not outlive the call.
    std::vector<std::string> enabled_extensions;
    int instance_extension_calls = 0;
    int instances_created = 0;
    int instances_destroyed = 0;
    // Device commands called with a handle the fake never gave out; a real loader would
    // dereference it.
    int unknown_device_calls = 0;
    int surfaces_made = 0;
    int surfaces_destroyed = 0;
    int logical_devices_made = 0;
    int logical_devices_destroyed = 0;
    int images_made = 0;
    int images_destroyed = 0;
};

extern FakeDriver fake;

// Device 1 of the report format's worked example: an NVIDIA discrete GPU with two heaps, one
// extension and the limits of the limits example.
FakeDevice sample_device();
// A second device, a CPU with markup in its name, that differs from the sample where a profile
// looks: its queue families (a transfer family before a graphics one), features, sparse
// properties and VK_KHR_fragment_shading_rate with 16 rasterization samples at most.
FakeDevice second_device();
// A Vulkan 1.3 device whose answers no driver should give: a name of 256 bytes without a NUL (or,
// with invalid_utf8, 255 bytes that are no UTF-8), booleans that are neither 0 nor 1, flag bits
// and enumeration values without names, a NaN limit, a driver name without a NUL.
FakeDevice hostile_device(bool invalid_utf8);
VkExtensionProperties extension(const char* name, uint32_t spec_version);

// A device with everything the further commands can tell, and the instance extensions of the
// headless surface: a device of Vulkan 1.3 with one queue family that decodes H.264, sample
// locations for 2 and 8 samples, and each list of two or three records.
void add_further_answers();

// Resets the fake to two instance extensions and one sample device.
void reset_fake_driver();

// The driver's commands, with the signatures of the Vulkan headers.
VKAPI_ATTR VkResult VKAPI_CALL fake_create_instance(const VkInstanceCreateInfo* create_info,
                                                    const VkAllocationCallbacks* allocator,
                                                    VkInstance* instance);
VKAPI_ATTR void VKAPI_CALL fake_destroy_instance(VkInstance instance,
                                                 const VkAllocationCallbacks* allocator);
VKAPI_ATTR VkResult VKAPI_CALL fake_enumerate_physical_devices(VkInstance instance, uint32_t* count,
                                                               VkPhysicalDevice* devices);
VKAPI_ATTR void VKAPI_CALL fake_get_physical_device_properties(
    VkPhysicalDevice device, VkPhysicalDeviceProperties* properties);
VKAPI_ATTR void VKAPI_CALL fake_get_physical_device_memory_properties(
    VkPhysicalDevice device, VkPhysicalDeviceMemoryProperties* memory);
VKAPI_ATTR VkResult VKAPI_CALL fake_enumerate_instance_extension_properties(
    const char* layer, uint32_t* count, VkExtensionProperties* properties);
VKAPI_ATTR VkResult VKAPI_CALL fake_enumerate_device_extension_properties(
    VkPhysicalDevice device, const char* layer, uint32_t* count, VkExtensionProperties* properties);
VKAPI_ATTR PFN_vkVoidFunction VKAPI_CALL fake_get_instance_proc_addr(VkInstance instance,
                                                                     const char* name);
