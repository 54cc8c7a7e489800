#include "replay/replay.h"

#include <vulkan/vk_icd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "profiles/document.h"
#include "query/document.h"
#include "report/report.h"

namespace {

// What the loader takes a dispatchable handle to point at: the loader's magic value first, which
// the loader then overwrites with its dispatch table, so nothing of the driver's may live there.
struct Dispatchable {
    VK_LOADER_DATA loader_data;
    void* object;
};

// One profile of the document as a physical device.
struct ReplayDevice {
    Dispatchable handle;
    DocumentDevice document;
    // The documents describe no memory: one device-local heap and one type of it.
    VkPhysicalDeviceMemoryProperties memory;
};

struct ReplayInstance {
    Dispatchable handle;
    ProfileSet set;  // the profiles the devices point into: never changed once read
    std::vector<std::unique_ptr<ReplayDevice>> devices;
};

const std::string* document_in_memory = nullptr;
void (*line_sink)(const std::string& line) = nullptr;

void say(const std::string& line) {
    if (line_sink != nullptr) {
        line_sink(line);
    } else {
        fprintf(stderr, "%s\n", line.c_str());
    }
}

// One line of the driver's: what comes from the document with its control bytes spelled out.
void say_about(const std::string& subject, const std::string& text) {
    say("brisol replay driver: " + control_escaped(subject) + ": " + control_escaped(text));
}

Dispatchable new_handle(void* object) {
    Dispatchable handle{};
    handle.loader_data.loaderMagic = ICD_LOADER_MAGIC;
    handle.object = object;
    return handle;
}

ReplayInstance& instance_of(VkInstance handle) {
    return *static_cast<ReplayInstance*>(reinterpret_cast<Dispatchable*>(handle)->object);
}

ReplayDevice& device_of(VkPhysicalDevice handle) {
    return *static_cast<ReplayDevice*>(reinterpret_cast<Dispatchable*>(handle)->object);
}

VkPhysicalDevice handle_of(ReplayDevice& device) {
    return reinterpret_cast<VkPhysicalDevice>(&device.handle);
}

// ---- Reading the document ----

// How many values a JSON value holds, itself included.
uint64_t values_in(const ProfileJson& value) {
    uint64_t count = 1;
    if (value.is_structured()) {
        for (const ProfileJson& item : value) {
            count += values_in(item);
        }
    }
    return count;
}

// The member visits reading every profile may cost at most: each capability name a profile lists
// is read once, and holds at most every value of the documents.
uint64_t visits_asked(const ProfileSet& set) {
    uint64_t visits = 0;
    for (const Profile& profile : set.profiles) {
        const auto list = profile.json->find("capabilities");
        if (list != profile.json->end()) {
            visits += values_in(*list) * set.values;
        }
    }
    return visits;
}

std::string label_of(const Profile& profile) {
    const auto label = profile.json->find("label");
    return label != profile.json->end() && label->is_string() ? label->get_ref<const std::string&>()
                                                              : std::string();
}

// The members the documents never carry, taken from the label where a document leaves them out:
// the device's name and its driver's version. Its ID, its type and its pipeline cache UUID stay
// zero (VK_PHYSICAL_DEVICE_TYPE_OTHER): the label does not say them.
void identify(ReplayDevice& device) {
    VkPhysicalDeviceProperties& properties = device.document.facts.properties;
    const std::string label = label_of(*device.document.profile);
    if (properties.deviceName[0] == '\0') {
        const std::string name = labelled_device_name(label);
        memcpy(properties.deviceName, name.data(),
               name.size() < sizeof properties.deviceName ? name.size()
                                                          : sizeof properties.deviceName - 1);
    }
    if (properties.driverVersion == 0) {
        properties.driverVersion = packed_driver_version(properties.vendorID, label);
    }
}

// The largest allocation the device allows, as its Vulkan 1.1 or maintenance3 properties say; 0
// when the document gives neither.
VkDeviceSize largest_allocation(const DeviceFacts& facts) {
    if (const void* bytes =
            facts.property_chain.find(VK_STRUCTURE_TYPE_PHYSICAL_DEVICE_VULKAN_1_1_PROPERTIES)) {
        VkPhysicalDeviceVulkan11Properties vulkan11;
        memcpy(&vulkan11, bytes, sizeof vulkan11);
        if (vulkan11.maxMemoryAllocationSize != 0) {
            return vulkan11.maxMemoryAllocationSize;
        }
    }
    if (const void* bytes =
            facts.property_chain.find(VK_STRUCTURE_TYPE_PHYSICAL_DEVICE_MAINTENANCE_3_PROPERTIES)) {
        VkPhysicalDeviceMaintenance3Properties maintenance3;
        memcpy(&maintenance3, bytes, sizeof maintenance3);
        return maintenance3.maxMemoryAllocationSize;
    }
    return 0;
}

// One device-local heap the size of the largest allocation (a device's heap holds at least
// that), 1 GiB where the document does not say; one memory type, device-local, in it.
VkPhysicalDeviceMemoryProperties replayed_memory(const DeviceFacts& facts) {
    VkPhysicalDeviceMemoryProperties memory{};
    const VkDeviceSize largest = largest_allocation(facts);
    memory.memoryHeapCount = 1;
    memory.memoryHeaps[0].size = largest != 0 ? largest : VkDeviceSize{1} << 30;
    memory.memoryHeaps[0].flags = VK_MEMORY_HEAP_DEVICE_LOCAL_BIT;
    memory.memoryTypeCount = 1;
    memory.memoryTypes[0].propertyFlags = VK_MEMORY_PROPERTY_DEVICE_LOCAL_BIT;
    memory.memoryTypes[0].heapIndex = 0;
    return memory;
}

// Reads the document into the instance's devices, saying on a line each what it gives that the
// devices cannot hold as given. False, with the subject and why, when it cannot be read.
bool read_document(ReplayInstance& instance, std::string& subject, std::string& why) {
    bool read = false;
    if (document_in_memory != nullptr) {
        subject = "the document in memory";
        read = add_profile_text(instance.set, subject.c_str(), document_in_memory->data(),
                                document_in_memory->size(), why);
    } else {
        const char* path = getenv(replay_document_variable);
        if (path == nullptr || path[0] == '\0') {
            subject = replay_document_variable;
            why = "names no document";
            return false;
        }
        subject = path;
        read = add_profile_file(instance.set, path, why);
    }
    if (!read) {
        return false;
    }
    if (visits_asked(instance.set) > most_replayed_values) {
        why = "asks for more than " + std::to_string(most_replayed_values) +
              " readings of its values in all its profiles";
        return false;
    }
    for (const Profile& profile : instance.set.profiles) {
        instance.devices.push_back(std::make_unique<ReplayDevice>());
        ReplayDevice& device = *instance.devices.back();
        device.handle = new_handle(&device);
        read_document_device(profile, device.document);
        identify(device);
        device.memory = replayed_memory(device.document.facts);
        for (const std::string& note : device.document.notes) {
            say_about(*profile.name, note);
        }
    }
    return true;
}

// ---- Answering ----

// A caller's chain longer than every structure the tables know, twice, is not believed: it
// loops.
const size_t most_chained = 2 * size_t{chained_structure_count} + 16;

// Fills each structure of the caller's chain that the document gave, member by member, keeping
// the caller's sType and pNext; the others are left as the caller gave them.
void fill_chain(const StructureChain& chain, void* next) {
    auto* out = static_cast<VkBaseOutStructure*>(next);
    for (size_t n = 0; out != nullptr && n < most_chained; out = out->pNext, ++n) {
        for (size_t i = 0; i < chain.size(); ++i) {
            const StructureInfo& info = *chain.structures[i];
            if (info.stype == out->sType) {
                const size_t header = sizeof(VkBaseOutStructure);
                memcpy(reinterpret_cast<unsigned char*>(out) + header,
                       static_cast<const unsigned char*>(chain.bytes(i)) + header,
                       info.size - header);
                break;
            }
        }
    }
}

// The two-call idiom over held records, each written by write.
template <typename Record, typename Write>
VkResult fill_list(uint32_t* count, Record* records, size_t held, Write write) {
    if (records == nullptr) {
        *count = static_cast<uint32_t>(held < UINT32_MAX ? held : UINT32_MAX);
        return VK_SUCCESS;
    }
    const size_t written = *count < held ? *count : held;
    for (size_t i = 0; i < written; ++i) {
        write(i, records[i]);
    }
    *count = static_cast<uint32_t>(written);
    return written < held ? VK_INCOMPLETE : VK_SUCCESS;
}

const FormatFacts* format_facts(const DeviceFacts& facts, VkFormat format) {
    for (const FormatFacts& known : facts.formats) {
        if (known.info->format == format) {
            return &known;
        }
    }
    return nullptr;
}

// A plausible instance of Vulkan 1.3 on Linux: the capability queries and the surfaces.
const VkExtensionProperties instance_extensions[] = {
    {VK_KHR_DEVICE_GROUP_CREATION_EXTENSION_NAME, VK_KHR_DEVICE_GROUP_CREATION_SPEC_VERSION},
    {VK_KHR_EXTERNAL_FENCE_CAPABILITIES_EXTENSION_NAME,
     VK_KHR_EXTERNAL_FENCE_CAPABILITIES_SPEC_VERSION},
    {VK_KHR_EXTERNAL_MEMORY_CAPABILITIES_EXTENSION_NAME,
     VK_KHR_EXTERNAL_MEMORY_CAPABILITIES_SPEC_VERSION},
    {VK_KHR_EXTERNAL_SEMAPHORE_CAPABILITIES_EXTENSION_NAME,
     VK_KHR_EXTERNAL_SEMAPHORE_CAPABILITIES_SPEC_VERSION},
    {VK_KHR_GET_PHYSICAL_DEVICE_PROPERTIES_2_EXTENSION_NAME,
     VK_KHR_GET_PHYSICAL_DEVICE_PROPERTIES_2_SPEC_VERSION},
    {VK_KHR_GET_SURFACE_CAPABILITIES_2_EXTENSION_NAME,
     VK_KHR_GET_SURFACE_CAPABILITIES_2_SPEC_VERSION},
    {VK_KHR_SURFACE_EXTENSION_NAME, VK_KHR_SURFACE_SPEC_VERSION},
    // The window systems' headers are not included: their names and spec versions as vk.xml
    // gives them.
    {"VK_KHR_wayland_surface", 6},
    {"VK_KHR_xcb_surface", 6},
    {"VK_KHR_xlib_surface", 6},
};

VKAPI_ATTR VkResult VKAPI_CALL create_instance(const VkInstanceCreateInfo*,
                                               const VkAllocationCallbacks*, VkInstance* handle) {
    auto instance = std::make_unique<ReplayInstance>();
    instance->handle = new_handle(instance.get());
    std::string subject;
    std::string why;
    if (!read_document(*instance, subject, why)) {
        say_about(subject, why);
        return VK_ERROR_INITIALIZATION_FAILED;
    }
    *handle = reinterpret_cast<VkInstance>(&instance.release()->handle);
    return VK_SUCCESS;
}

VKAPI_ATTR void VKAPI_CALL destroy_instance(VkInstance handle, const VkAllocationCallbacks*) {
    if (handle != VK_NULL_HANDLE) {
        delete &instance_of(handle);
    }
}

VKAPI_ATTR VkResult VKAPI_CALL enumerate_instance_version(uint32_t* version) {
    *version = VK_HEADER_VERSION_COMPLETE;
    return VK_SUCCESS;
}

VKAPI_ATTR VkResult VKAPI_CALL enumerate_instance_extensions(const char* layer, uint32_t* count,
                                                             VkExtensionProperties* extensions) {
    if (layer != nullptr) {
        return VK_ERROR_LAYER_NOT_PRESENT;
    }
    const size_t held = sizeof instance_extensions / sizeof instance_extensions[0];
    return fill_list(count, extensions, held,
                     [](size_t i, VkExtensionProperties& out) { out = instance_extensions[i]; });
}

VKAPI_ATTR VkResult VKAPI_CALL enumerate_physical_devices(VkInstance handle, uint32_t* count,
                                                          VkPhysicalDevice* devices) {
    ReplayInstance& instance = instance_of(handle);
    return fill_list(
        count, devices, instance.devices.size(),
        [&instance](size_t i, VkPhysicalDevice& out) { out = handle_of(*instance.devices[i]); });
}

// Each device a group of its own.
VKAPI_ATTR VkResult VKAPI_CALL enumerate_groups(VkInstance handle, uint32_t* count,
                                                VkPhysicalDeviceGroupProperties* groups) {
    ReplayInstance& instance = instance_of(handle);
    return fill_list(count, groups, instance.devices.size(),
                     [&instance](size_t i, VkPhysicalDeviceGroupProperties& out) {
                         out.physicalDeviceCount = 1;
                         memset(out.physicalDevices, 0, sizeof out.physicalDevices);
                         out.physicalDevices[0] = handle_of(*instance.devices[i]);
                         out.subsetAllocation = VK_FALSE;
                     });
}

VKAPI_ATTR void VKAPI_CALL get_properties(VkPhysicalDevice handle,
                                          VkPhysicalDeviceProperties* properties) {
    *properties = device_of(handle).document.facts.properties;
}

VKAPI_ATTR void VKAPI_CALL get_properties2(VkPhysicalDevice handle,
                                           VkPhysicalDeviceProperties2* properties) {
    const DeviceFacts& facts = device_of(handle).document.facts;
    properties->properties = facts.properties;
    fill_chain(facts.property_chain, properties->pNext);
}

VKAPI_ATTR void VKAPI_CALL get_features(VkPhysicalDevice handle,
                                        VkPhysicalDeviceFeatures* features) {
    *features = device_of(handle).document.facts.features;
}

VKAPI_ATTR void VKAPI_CALL get_features2(VkPhysicalDevice handle,
                                         VkPhysicalDeviceFeatures2* features) {
    const DeviceFacts& facts = device_of(handle).document.facts;
    features->features = facts.features;
    fill_chain(facts.feature_chain, features->pNext);
}

VKAPI_ATTR void VKAPI_CALL get_queue_families(VkPhysicalDevice handle, uint32_t* count,
                                              VkQueueFamilyProperties* families) {
    const std::vector<QueueFamilyFacts>& held = device_of(handle).document.facts.queue_families;
    fill_list(count, families, held.size(),
              [&held](size_t i, VkQueueFamilyProperties& out) { out = held[i].properties; });
}

VKAPI_ATTR void VKAPI_CALL get_queue_families2(VkPhysicalDevice handle, uint32_t* count,
                                               VkQueueFamilyProperties2* families) {
    const std::vector<QueueFamilyFacts>& held = device_of(handle).document.facts.queue_families;
    fill_list(count, families, held.size(), [&held](size_t i, VkQueueFamilyProperties2& out) {
        out.queueFamilyProperties = held[i].properties;
        fill_chain(held[i].chain, out.pNext);
    });
}

VKAPI_ATTR void VKAPI_CALL get_memory(VkPhysicalDevice handle,
                                      VkPhysicalDeviceMemoryProperties* memory) {
    *memory = device_of(handle).memory;
}

// The structures that extend it (the memory budget) are left as the caller gave them: the
// document says nothing of memory.
VKAPI_ATTR void VKAPI_CALL get_memory2(VkPhysicalDevice handle,
                                       VkPhysicalDeviceMemoryProperties2* memory) {
    memory->memoryProperties = device_of(handle).memory;
}

VKAPI_ATTR void VKAPI_CALL get_format_properties(VkPhysicalDevice handle, VkFormat format,
                                                 VkFormatProperties* properties) {
    const FormatFacts* known = format_facts(device_of(handle).document.facts, format);
    *properties = known != nullptr ? known->properties : VkFormatProperties{};
}

VKAPI_ATTR void VKAPI_CALL get_format_properties2(VkPhysicalDevice handle, VkFormat format,
                                                  VkFormatProperties2* properties) {
    const FormatFacts* known = format_facts(device_of(handle).document.facts, format);
    properties->formatProperties = known != nullptr ? known->properties : VkFormatProperties{};
    if (known != nullptr) {
        fill_chain(known->chain, properties->pNext);
    }
}

VKAPI_ATTR VkResult VKAPI_CALL enumerate_device_extensions(VkPhysicalDevice handle,
                                                           const char* layer, uint32_t* count,
                                                           VkExtensionProperties* extensions) {
    if (layer != nullptr) {
        return VK_ERROR_LAYER_NOT_PRESENT;
    }
    const std::vector<VkExtensionProperties>& held = device_of(handle).document.facts.extensions;
    return fill_list(count, extensions, held.size(),
                     [&held](size_t i, VkExtensionProperties& out) { out = held[i]; });
}

// A list the device has nothing in: no tools, surface formats, present modes or rectangles, time
// domains, fragment shading rates or cooperative matrices. The list's command takes the device,
// what it asks about (if anything), the count and the items.
template <typename Item>
VKAPI_ATTR VkResult VKAPI_CALL no_items(VkPhysicalDevice, uint32_t* count, Item*) {
    *count = 0;
    return VK_SUCCESS;
}

template <typename Asked, typename Item>
VKAPI_ATTR VkResult VKAPI_CALL no_items_of(VkPhysicalDevice, Asked, uint32_t* count, Item*) {
    *count = 0;
    return VK_SUCCESS;
}

// The commands the loader requires of every driver, answered as for a device that supports no
// image of any kind and makes no logical device: the documents describe neither.
VKAPI_ATTR VkResult VKAPI_CALL get_image_format_properties(VkPhysicalDevice, VkFormat, VkImageType,
                                                           VkImageTiling, VkImageUsageFlags,
                                                           VkImageCreateFlags,
                                                           VkImageFormatProperties* properties) {
    *properties = VkImageFormatProperties{};
    return VK_ERROR_FORMAT_NOT_SUPPORTED;
}

VKAPI_ATTR VkResult VKAPI_CALL get_image_format_properties2(VkPhysicalDevice,
                                                            const VkPhysicalDeviceImageFormatInfo2*,
                                                            VkImageFormatProperties2*) {
    return VK_ERROR_FORMAT_NOT_SUPPORTED;
}

VKAPI_ATTR void VKAPI_CALL get_sparse_image_format_properties(VkPhysicalDevice, VkFormat,
                                                              VkImageType, VkSampleCountFlagBits,
                                                              VkImageUsageFlags, VkImageTiling,
                                                              uint32_t* count,
                                                              VkSparseImageFormatProperties*) {
    *count = 0;
}

VKAPI_ATTR void VKAPI_CALL
get_sparse_image_format_properties2(VkPhysicalDevice, const VkPhysicalDeviceSparseImageFormatInfo2*,
                                    uint32_t* count, VkSparseImageFormatProperties2*) {
    *count = 0;
}

VKAPI_ATTR VkResult VKAPI_CALL create_device(VkPhysicalDevice, const VkDeviceCreateInfo*,
                                             const VkAllocationCallbacks*, VkDevice*) {
    return VK_ERROR_INITIALIZATION_FAILED;
}

VKAPI_ATTR PFN_vkVoidFunction VKAPI_CALL get_device_proc_addr(VkDevice, const char*) {
    return nullptr;
}

// No device presents: the documents say nothing of surfaces.
VKAPI_ATTR VkResult VKAPI_CALL get_surface_support(VkPhysicalDevice, uint32_t, VkSurfaceKHR,
                                                   VkBool32* supported) {
    *supported = VK_FALSE;
    return VK_SUCCESS;
}

// Of what the documents do not describe, each device offers nothing: surface capabilities all
// zero, empty lists (no_items above), and no video profile. The loader ends the process when a
// device lists an extension whose command its driver does not give, so each is answered.
VKAPI_ATTR VkResult VKAPI_CALL get_surface_capabilities(VkPhysicalDevice, VkSurfaceKHR,
                                                        VkSurfaceCapabilitiesKHR* capabilities) {
    *capabilities = VkSurfaceCapabilitiesKHR{};
    return VK_SUCCESS;
}

VKAPI_ATTR VkResult VKAPI_CALL get_surface_capabilities2(VkPhysicalDevice,
                                                         const VkPhysicalDeviceSurfaceInfo2KHR*,
                                                         VkSurfaceCapabilities2KHR* capabilities) {
    capabilities->surfaceCapabilities = VkSurfaceCapabilitiesKHR{};
    return VK_SUCCESS;
}

// The grid the document gives for sample locations, for every sample count it names.
VKAPI_ATTR void VKAPI_CALL get_multisample_properties(VkPhysicalDevice handle,
                                                      VkSampleCountFlagBits samples,
                                                      VkMultisamplePropertiesEXT* properties) {
    const auto* locations = static_cast<const VkPhysicalDeviceSampleLocationsPropertiesEXT*>(
        device_of(handle).document.facts.property_chain.find(
            VK_STRUCTURE_TYPE_PHYSICAL_DEVICE_SAMPLE_LOCATIONS_PROPERTIES_EXT));
    const bool named = locations != nullptr && (locations->sampleLocationSampleCounts &
                                                static_cast<uint32_t>(samples)) != 0;
    properties->maxSampleLocationGridSize =
        named ? locations->maxSampleLocationGridSize : VkExtent2D{};
}

VKAPI_ATTR VkResult VKAPI_CALL get_video_capabilities(VkPhysicalDevice,
                                                      const VkVideoProfileInfoKHR*,
                                                      VkVideoCapabilitiesKHR*) {
    return VK_ERROR_VIDEO_PROFILE_OPERATION_NOT_SUPPORTED_KHR;
}

VKAPI_ATTR VkResult VKAPI_CALL get_video_formats(VkPhysicalDevice,
                                                 const VkPhysicalDeviceVideoFormatInfoKHR*,
                                                 uint32_t* count, VkVideoFormatPropertiesKHR*) {
    *count = 0;
    return VK_ERROR_VIDEO_PROFILE_OPERATION_NOT_SUPPORTED_KHR;
}

// For callers without a loader, which ask the driver itself.
VKAPI_ATTR PFN_vkVoidFunction VKAPI_CALL get_instance_proc_addr(VkInstance, const char* name);

struct Command {
    const char* name;
    PFN_vkVoidFunction function;
    bool physical_device;
};

template <typename Function>
Command command(const char* name, Function function, bool physical_device) {
    return {name, reinterpret_cast<PFN_vkVoidFunction>(function), physical_device};
}

const Command* find_command(const char* name) {
    static const Command commands[] = {
        command("vkGetInstanceProcAddr", get_instance_proc_addr, false),
        command("vkCreateInstance", create_instance, false),
        command("vkDestroyInstance", destroy_instance, false),
        command("vkEnumerateInstanceVersion", enumerate_instance_version, false),
        command("vkEnumerateInstanceExtensionProperties", enumerate_instance_extensions, false),
        command("vkEnumeratePhysicalDevices", enumerate_physical_devices, false),
        command("vkEnumeratePhysicalDeviceGroups", enumerate_groups, false),
        command("vkEnumeratePhysicalDeviceGroupsKHR", enumerate_groups, false),
        command("vkGetPhysicalDeviceProperties", get_properties, true),
        command("vkGetPhysicalDeviceProperties2", get_properties2, true),
        command("vkGetPhysicalDeviceProperties2KHR", get_properties2, true),
        command("vkGetPhysicalDeviceFeatures", get_features, true),
        command("vkGetPhysicalDeviceFeatures2", get_features2, true),
        command("vkGetPhysicalDeviceFeatures2KHR", get_features2, true),
        command("vkGetPhysicalDeviceQueueFamilyProperties", get_queue_families, true),
        command("vkGetPhysicalDeviceQueueFamilyProperties2", get_queue_families2, true),
        command("vkGetPhysicalDeviceQueueFamilyProperties2KHR", get_queue_families2, true),
        command("vkGetPhysicalDeviceMemoryProperties", get_memory, true),
        command("vkGetPhysicalDeviceMemoryProperties2", get_memory2, true),
        command("vkGetPhysicalDeviceMemoryProperties2KHR", get_memory2, true),
        command("vkGetPhysicalDeviceFormatProperties", get_format_properties, true),
        command("vkGetPhysicalDeviceFormatProperties2", get_format_properties2, true),
        command("vkGetPhysicalDeviceFormatProperties2KHR", get_format_properties2, true),
        command("vkEnumerateDeviceExtensionProperties", enumerate_device_extensions, true),
        command("vkGetPhysicalDeviceToolProperties", no_items<VkPhysicalDeviceToolProperties>,
                true),
        command("vkGetPhysicalDeviceToolPropertiesEXT", no_items<VkPhysicalDeviceToolProperties>,
                true),
        command("vkGetPhysicalDeviceSurfaceSupportKHR", get_surface_support, true),
        command("vkGetPhysicalDeviceImageFormatProperties", get_image_format_properties, true),
        command("vkGetPhysicalDeviceImageFormatProperties2", get_image_format_properties2, true),
        command("vkGetPhysicalDeviceImageFormatProperties2KHR", get_image_format_properties2, true),
        command("vkGetPhysicalDeviceSparseImageFormatProperties",
                get_sparse_image_format_properties, true),
        command("vkGetPhysicalDeviceSparseImageFormatProperties2",
                get_sparse_image_format_properties2, true),
        command("vkGetPhysicalDeviceSparseImageFormatProperties2KHR",
                get_sparse_image_format_properties2, true),
        command("vkGetPhysicalDeviceSurfaceCapabilitiesKHR", get_surface_capabilities, true),
        command("vkGetPhysicalDeviceSurfaceCapabilities2KHR", get_surface_capabilities2, true),
        command("vkGetPhysicalDeviceSurfaceFormatsKHR",
                no_items_of<VkSurfaceKHR, VkSurfaceFormatKHR>, true),
        command("vkGetPhysicalDeviceSurfaceFormats2KHR",
                no_items_of<const VkPhysicalDeviceSurfaceInfo2KHR*, VkSurfaceFormat2KHR>, true),
        command("vkGetPhysicalDeviceSurfacePresentModesKHR",
                no_items_of<VkSurfaceKHR, VkPresentModeKHR>, true),
        command("vkGetPhysicalDevicePresentRectanglesKHR", no_items_of<VkSurfaceKHR, VkRect2D>,
                true),
        command("vkGetPhysicalDeviceCalibrateableTimeDomainsEXT", no_items<VkTimeDomainEXT>, true),
        command("vkGetPhysicalDeviceFragmentShadingRatesKHR",
                no_items<VkPhysicalDeviceFragmentShadingRateKHR>, true),
        command("vkGetPhysicalDeviceCooperativeMatrixPropertiesNV",
                no_items<VkCooperativeMatrixPropertiesNV>, true),
        command("vkGetPhysicalDeviceMultisamplePropertiesEXT", get_multisample_properties, true),
        command("vkGetPhysicalDeviceVideoCapabilitiesKHR", get_video_capabilities, true),
        command("vkGetPhysicalDeviceVideoFormatPropertiesKHR", get_video_formats, true),
        command("vkCreateDevice", create_device, true),
        command("vkGetDeviceProcAddr", get_device_proc_addr, false),
    };
    for (const Command& known : commands) {
        if (strcmp(known.name, name) == 0) {
            return &known;
        }
    }
    return nullptr;
}

VKAPI_ATTR PFN_vkVoidFunction VKAPI_CALL get_instance_proc_addr(VkInstance, const char* name) {
    const Command* known = name != nullptr ? find_command(name) : nullptr;
    return known != nullptr ? known->function : nullptr;
}

// The numbers of a version written "537.13.0.0"; false unless it is count numbers, each below
// the most its field holds.
bool version_fields(const std::string& text, const uint32_t (&most)[4], size_t count,
                    uint32_t (&fields)[4]) {
    size_t field = 0;
    uint64_t value = 0;
    bool digits = false;
    for (size_t i = 0; i <= text.size(); ++i) {
        if (i < text.size() && text[i] >= '0' && text[i] <= '9') {
            value = value * 10 + static_cast<uint64_t>(text[i] - '0');
            digits = true;
            if (value > most[field < count ? field : 0]) {
                return false;
            }
            continue;
        }
        if (!digits || field >= count || (i < text.size() && text[i] != '.')) {
            return false;
        }
        fields[field++] = static_cast<uint32_t>(value);
        value = 0;
        digits = false;
    }
    return field == count;
}

}  // namespace

PFN_vkVoidFunction replay_command(const char* name) {
    return get_instance_proc_addr(VK_NULL_HANDLE, name);
}

bool replay_physical_device_command(const char* name) {
    const Command* known = name != nullptr ? find_command(name) : nullptr;
    return known != nullptr && known->physical_device;
}

void replay_document_in_memory(const std::string* text) {
    document_in_memory = text;
}

void replay_lines_to(void (*sink)(const std::string& line)) {
    line_sink = sink;
}

uint32_t packed_driver_version(uint32_t vendor_id, const std::string& label) {
    const std::string lead = " driver ";
    const size_t at = label.find(lead);
    if (at == std::string::npos) {
        return 0;
    }
    const size_t start = at + lead.size();
    const size_t end = label.find(' ', start);
    const std::string version =
        label.substr(start, end == std::string::npos ? std::string::npos : end - start);
    uint32_t fields[4] = {};
    if (vendor_id == 0x10DE) {
        // NVIDIA: major, minor, secondary branch, tertiary branch.
        const uint32_t most[4] = {1023, 255, 255, 63};
        if (!version_fields(version, most, 4, fields)) {
            return 0;
        }
        return fields[0] << 22 | fields[1] << 14 | fields[2] << 6 | fields[3];
    }
    const uint32_t most[4] = {1023, 1023, 4095, 0};
    if (!version_fields(version, most, 3, fields)) {
        return 0;
    }
    return fields[0] << 22 | fields[1] << 12 | fields[2];
}

std::string labelled_device_name(const std::string& label) {
    return label.substr(0, label.find(" driver "));
}
