// A stand-in libvulkan.so.1 that hands every call on to the real loader and writes it down, so
// that bench/check-calls can show that a floor program makes exactly the calls of the brisol run
// it stands for: the same look-ups, instance, lists with the same room, chains of the same
// structures in the same order, formats, in the same order. Built as libvulkan.so.1 in a folder
// of its own; the real loader is opened by the path in BRISOL_TRACE_LOADER and the calls are
// appended to the file BRISOL_TRACE_LOG. A command looked up that it does not wrap is written
// down as such, so that a new command cannot pass unseen.
#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <vulkan/vulkan.h>

namespace {

FILE* log_file;
void* real_loader;
PFN_vkGetInstanceProcAddr real_get_instance_proc_addr;

void open_real_loader() {
    if (real_loader != nullptr) {
        return;
    }
    const char* path = getenv("BRISOL_TRACE_LOADER");
    const char* log = getenv("BRISOL_TRACE_LOG");
    real_loader = path != nullptr ? dlopen(path, RTLD_NOW | RTLD_LOCAL) : nullptr;
    log_file = log != nullptr ? fopen(log, "w") : nullptr;
    if (real_loader == nullptr || log_file == nullptr) {
        fprintf(stderr, "trace loader: set BRISOL_TRACE_LOADER and BRISOL_TRACE_LOG\n");
        abort();
    }
    void* address = dlsym(real_loader, "vkGetInstanceProcAddr");
    memcpy(&real_get_instance_proc_addr, &address, sizeof address);
}

template <typename Function>
Function real(const char* name) {
    open_real_loader();
    void* address = dlsym(real_loader, name);
    Function function;
    memcpy(&function, &address, sizeof address);
    return function;
}

void note(const std::string& line) {
    fputs(line.c_str(), log_file);
    fputc('\n', log_file);
}

// Handles by the order they were first seen: their addresses differ from run to run.
std::string handle(const void* pointer) {
    static std::vector<const void*> seen;
    if (pointer == nullptr) {
        return "null";
    }
    for (size_t i = 0; i < seen.size(); ++i) {
        if (seen[i] == pointer) {
            return "#" + std::to_string(i);
        }
    }
    seen.push_back(pointer);
    return "#" + std::to_string(seen.size() - 1);
}

std::string number(uint64_t value) {
    return std::to_string(value);
}

// The sTypes of a chain, in order.
std::string chain(const void* next) {
    std::string text = "[";
    for (auto* s = static_cast<const VkBaseInStructure*>(next); s != nullptr; s = s->pNext) {
        text += (text.size() > 1 ? " " : "") + number(static_cast<uint32_t>(s->sType));
    }
    return text + "]";
}

// A list call: the room it was given (or a count query), what it answered.
std::string list(const uint32_t* count_in, const void* records, uint32_t count_out,
                 VkResult result) {
    return std::string(records == nullptr ? " count" : " room=" + number(*count_in)) + " -> " +
           number(count_out) + " " + number(static_cast<uint32_t>(result));
}

// The sType the program gave the first record of a list, which it must give every record.
template <typename Record>
std::string first_stype(const Record* records, uint32_t room) {
    return records != nullptr && room > 0
               ? " sType=" + number(static_cast<uint32_t>(records[0].sType))
               : std::string();
}

// The wrapped commands: the real one, under whichever name it was bound.
#define TRACED_COMMANDS(X)                              \
    X(vkEnumerateInstanceVersion)                       \
    X(vkEnumerateInstanceLayerProperties)               \
    X(vkEnumeratePhysicalDeviceGroups)                  \
    X(vkGetPhysicalDeviceProperties2)                   \
    X(vkGetPhysicalDeviceFeatures)                      \
    X(vkGetPhysicalDeviceFeatures2)                     \
    X(vkGetPhysicalDeviceQueueFamilyProperties)         \
    X(vkGetPhysicalDeviceQueueFamilyProperties2)        \
    X(vkGetPhysicalDeviceMemoryProperties2)             \
    X(vkGetPhysicalDeviceFormatProperties)              \
    X(vkGetPhysicalDeviceFormatProperties2)             \
    X(vkGetPhysicalDeviceToolProperties)                \
    X(vkGetPhysicalDeviceCalibrateableTimeDomainsEXT)   \
    X(vkGetPhysicalDeviceFragmentShadingRatesKHR)       \
    X(vkGetPhysicalDeviceCooperativeMatrixPropertiesNV) \
    X(vkGetPhysicalDeviceImageFormatProperties)         \
    X(vkCreateDevice)                                   \
    X(vkDestroyDevice)                                  \
    X(vkCreateImage)                                    \
    X(vkDestroyImage)                                   \
    X(vkGetImageMemoryRequirements)

struct RealCommands {
#define TRACED_MEMBER(name) PFN_##name name;
    TRACED_COMMANDS(TRACED_MEMBER)
#undef TRACED_MEMBER
};
RealCommands commands;

VKAPI_ATTR VkResult VKAPI_CALL trace_enumerate_instance_version(uint32_t* version) {
    const VkResult result = commands.vkEnumerateInstanceVersion(version);
    note("vkEnumerateInstanceVersion -> " + number(static_cast<uint32_t>(result)));
    return result;
}

VKAPI_ATTR VkResult VKAPI_CALL trace_enumerate_layers(uint32_t* count, VkLayerProperties* layers) {
    const uint32_t room = *count;
    const VkResult result = commands.vkEnumerateInstanceLayerProperties(count, layers);
    note("vkEnumerateInstanceLayerProperties" + list(&room, layers, *count, result));
    return result;
}

VKAPI_ATTR VkResult VKAPI_CALL trace_enumerate_groups(VkInstance instance, uint32_t* count,
                                                      VkPhysicalDeviceGroupProperties* groups) {
    const uint32_t room = *count;
    const std::string first = first_stype(groups, room);
    const VkResult result = commands.vkEnumeratePhysicalDeviceGroups(instance, count, groups);
    note("vkEnumeratePhysicalDeviceGroups " + handle(instance) + first +
         list(&room, groups, *count, result));
    return result;
}

VKAPI_ATTR void VKAPI_CALL trace_properties2(VkPhysicalDevice device,
                                             VkPhysicalDeviceProperties2* properties) {
    note("vkGetPhysicalDeviceProperties2 " + handle(device) + " " + chain(properties->pNext));
    commands.vkGetPhysicalDeviceProperties2(device, properties);
}

VKAPI_ATTR void VKAPI_CALL trace_features(VkPhysicalDevice device,
                                          VkPhysicalDeviceFeatures* features) {
    note("vkGetPhysicalDeviceFeatures " + handle(device));
    commands.vkGetPhysicalDeviceFeatures(device, features);
}

VKAPI_ATTR void VKAPI_CALL trace_features2(VkPhysicalDevice device,
                                           VkPhysicalDeviceFeatures2* features) {
    note("vkGetPhysicalDeviceFeatures2 " + handle(device) + " " + chain(features->pNext));
    commands.vkGetPhysicalDeviceFeatures2(device, features);
}

VKAPI_ATTR void VKAPI_CALL trace_queue_families(VkPhysicalDevice device, uint32_t* count,
                                                VkQueueFamilyProperties* families) {
    const uint32_t room = *count;
    commands.vkGetPhysicalDeviceQueueFamilyProperties(device, count, families);
    note("vkGetPhysicalDeviceQueueFamilyProperties " + handle(device) +
         list(&room, families, *count, VK_SUCCESS));
}

VKAPI_ATTR void VKAPI_CALL trace_queue_families2(VkPhysicalDevice device, uint32_t* count,
                                                 VkQueueFamilyProperties2* families) {
    const uint32_t room = *count;
    std::string chains;
    for (uint32_t i = 0; families != nullptr && i < room; ++i) {
        chains += " " + number(static_cast<uint32_t>(families[i].sType)) + chain(families[i].pNext);
    }
    commands.vkGetPhysicalDeviceQueueFamilyProperties2(device, count, families);
    note("vkGetPhysicalDeviceQueueFamilyProperties2 " + handle(device) + chains +
         list(&room, families, *count, VK_SUCCESS));
}

VKAPI_ATTR void VKAPI_CALL trace_memory2(VkPhysicalDevice device,
                                         VkPhysicalDeviceMemoryProperties2* memory) {
    note("vkGetPhysicalDeviceMemoryProperties2 " + handle(device) + " " + chain(memory->pNext));
    commands.vkGetPhysicalDeviceMemoryProperties2(device, memory);
}

VKAPI_ATTR void VKAPI_CALL trace_format(VkPhysicalDevice device, VkFormat format,
                                        VkFormatProperties* properties) {
    note("vkGetPhysicalDeviceFormatProperties " + handle(device) + " " +
         number(static_cast<uint32_t>(format)));
    commands.vkGetPhysicalDeviceFormatProperties(device, format, properties);
}

VKAPI_ATTR void VKAPI_CALL trace_format2(VkPhysicalDevice device, VkFormat format,
                                         VkFormatProperties2* properties) {
    note("vkGetPhysicalDeviceFormatProperties2 " + handle(device) + " " +
         number(static_cast<uint32_t>(format)) + " " + chain(properties->pNext));
    commands.vkGetPhysicalDeviceFormatProperties2(device, format, properties);
}

VKAPI_ATTR VkResult VKAPI_CALL trace_tools(VkPhysicalDevice device, uint32_t* count,
                                           VkPhysicalDeviceToolProperties* tools) {
    const uint32_t room = *count;
    const std::string first = first_stype(tools, room);
    const VkResult result = commands.vkGetPhysicalDeviceToolProperties(device, count, tools);
    note("vkGetPhysicalDeviceToolProperties " + handle(device) + first +
         list(&room, tools, *count, result));
    return result;
}

VKAPI_ATTR VkResult VKAPI_CALL trace_time_domains(VkPhysicalDevice device, uint32_t* count,
                                                  VkTimeDomainEXT* domains) {
    const uint32_t room = *count;
    const VkResult result =
        commands.vkGetPhysicalDeviceCalibrateableTimeDomainsEXT(device, count, domains);
    note("vkGetPhysicalDeviceCalibrateableTimeDomainsEXT " + handle(device) +
         list(&room, domains, *count, result));
    return result;
}

VKAPI_ATTR VkResult VKAPI_CALL trace_shading_rates(VkPhysicalDevice device, uint32_t* count,
                                                   VkPhysicalDeviceFragmentShadingRateKHR* rates) {
    const uint32_t room = *count;
    const std::string first = first_stype(rates, room);
    const VkResult result =
        commands.vkGetPhysicalDeviceFragmentShadingRatesKHR(device, count, rates);
    note("vkGetPhysicalDeviceFragmentShadingRatesKHR " + handle(device) + first +
         list(&room, rates, *count, result));
    return result;
}

VKAPI_ATTR VkResult VKAPI_CALL trace_cooperative_matrices(VkPhysicalDevice device, uint32_t* count,
                                                          VkCooperativeMatrixPropertiesNV* all) {
    const uint32_t room = *count;
    const std::string first = first_stype(all, room);
    const VkResult result =
        commands.vkGetPhysicalDeviceCooperativeMatrixPropertiesNV(device, count, all);
    note("vkGetPhysicalDeviceCooperativeMatrixPropertiesNV " + handle(device) + first +
         list(&room, all, *count, result));
    return result;
}

VKAPI_ATTR VkResult VKAPI_CALL trace_image_format(VkPhysicalDevice device, VkFormat format,
                                                  VkImageType type, VkImageTiling tiling,
                                                  VkImageUsageFlags usage, VkImageCreateFlags flags,
                                                  VkImageFormatProperties* properties) {
    const VkResult result = commands.vkGetPhysicalDeviceImageFormatProperties(
        device, format, type, tiling, usage, flags, properties);
    note("vkGetPhysicalDeviceImageFormatProperties " + handle(device) + " " +
         number(static_cast<uint32_t>(format)) + " " + number(static_cast<uint32_t>(type)) + " " +
         number(static_cast<uint32_t>(tiling)) + " " + number(usage) + " " + number(flags) +
         " -> " + number(static_cast<uint32_t>(result)));
    return result;
}

VKAPI_ATTR VkResult VKAPI_CALL trace_create_device(VkPhysicalDevice physical,
                                                   const VkDeviceCreateInfo* info,
                                                   const VkAllocationCallbacks* allocator,
                                                   VkDevice* device) {
    std::string queues;
    for (uint32_t i = 0; i < info->queueCreateInfoCount; ++i) {
        const VkDeviceQueueCreateInfo& queue = info->pQueueCreateInfos[i];
        queues += " queue=" + number(queue.queueFamilyIndex) + "x" + number(queue.queueCount);
    }
    const VkResult result = commands.vkCreateDevice(physical, info, allocator, device);
    note("vkCreateDevice " + handle(physical) + queues +
         " extensions=" + number(info->enabledExtensionCount) +
         " features=" + (info->pEnabledFeatures != nullptr ? "given" : "none") + " " +
         chain(info->pNext) + " -> " + number(static_cast<uint32_t>(result)));
    return result;
}

VKAPI_ATTR void VKAPI_CALL trace_destroy_device(VkDevice device,
                                                const VkAllocationCallbacks* allocator) {
    note("vkDestroyDevice");
    commands.vkDestroyDevice(device, allocator);
}

VKAPI_ATTR VkResult VKAPI_CALL trace_create_image(VkDevice device, const VkImageCreateInfo* info,
                                                  const VkAllocationCallbacks* allocator,
                                                  VkImage* image) {
    const VkResult result = commands.vkCreateImage(device, info, allocator, image);
    note("vkCreateImage format=" + number(static_cast<uint32_t>(info->format)) +
         " tiling=" + number(static_cast<uint32_t>(info->tiling)) +
         " usage=" + number(info->usage) + " " + number(info->extent.width) + "x" +
         number(info->extent.height) + " -> " + number(static_cast<uint32_t>(result)));
    return result;
}

VKAPI_ATTR void VKAPI_CALL trace_destroy_image(VkDevice device, VkImage image,
                                               const VkAllocationCallbacks* allocator) {
    note("vkDestroyImage");
    commands.vkDestroyImage(device, image, allocator);
}

VKAPI_ATTR void VKAPI_CALL trace_image_requirements(VkDevice device, VkImage image,
                                                    VkMemoryRequirements* requirements) {
    commands.vkGetImageMemoryRequirements(device, image, requirements);
    note("vkGetImageMemoryRequirements -> " + number(requirements->memoryTypeBits));
}

struct Wrapper {
    const char* name;
    PFN_vkVoidFunction* real;  // where the real command is kept
    PFN_vkVoidFunction wrapper;
};

template <typename Command>
Wrapper wrap(const char* name, Command& real_command, Command wrapper) {
    return {name, reinterpret_cast<PFN_vkVoidFunction*>(&real_command),
            reinterpret_cast<PFN_vkVoidFunction>(wrapper)};
}

// The names a command may be bound by: the core one and the extension's.
const std::vector<Wrapper>& wrappers() {
    static const std::vector<Wrapper> all = {
        wrap("vkEnumerateInstanceVersion", commands.vkEnumerateInstanceVersion,
             trace_enumerate_instance_version),
        wrap("vkEnumerateInstanceLayerProperties", commands.vkEnumerateInstanceLayerProperties,
             trace_enumerate_layers),
        wrap("vkEnumeratePhysicalDeviceGroups", commands.vkEnumeratePhysicalDeviceGroups,
             trace_enumerate_groups),
        wrap("vkEnumeratePhysicalDeviceGroupsKHR", commands.vkEnumeratePhysicalDeviceGroups,
             trace_enumerate_groups),
        wrap("vkGetPhysicalDeviceProperties2", commands.vkGetPhysicalDeviceProperties2,
             trace_properties2),
        wrap("vkGetPhysicalDeviceProperties2KHR", commands.vkGetPhysicalDeviceProperties2,
             trace_properties2),
        wrap("vkGetPhysicalDeviceFeatures", commands.vkGetPhysicalDeviceFeatures, trace_features),
        wrap("vkGetPhysicalDeviceFeatures2", commands.vkGetPhysicalDeviceFeatures2,
             trace_features2),
        wrap("vkGetPhysicalDeviceFeatures2KHR", commands.vkGetPhysicalDeviceFeatures2,
             trace_features2),
        wrap("vkGetPhysicalDeviceQueueFamilyProperties",
             commands.vkGetPhysicalDeviceQueueFamilyProperties, trace_queue_families),
        wrap("vkGetPhysicalDeviceQueueFamilyProperties2",
             commands.vkGetPhysicalDeviceQueueFamilyProperties2, trace_queue_families2),
        wrap("vkGetPhysicalDeviceQueueFamilyProperties2KHR",
             commands.vkGetPhysicalDeviceQueueFamilyProperties2, trace_queue_families2),
        wrap("vkGetPhysicalDeviceMemoryProperties2", commands.vkGetPhysicalDeviceMemoryProperties2,
             trace_memory2),
        wrap("vkGetPhysicalDeviceMemoryProperties2KHR",
             commands.vkGetPhysicalDeviceMemoryProperties2, trace_memory2),
        wrap("vkGetPhysicalDeviceFormatProperties", commands.vkGetPhysicalDeviceFormatProperties,
             trace_format),
        wrap("vkGetPhysicalDeviceFormatProperties2", commands.vkGetPhysicalDeviceFormatProperties2,
             trace_format2),
        wrap("vkGetPhysicalDeviceFormatProperties2KHR",
             commands.vkGetPhysicalDeviceFormatProperties2, trace_format2),
        wrap("vkGetPhysicalDeviceToolProperties", commands.vkGetPhysicalDeviceToolProperties,
             trace_tools),
        wrap("vkGetPhysicalDeviceToolPropertiesEXT", commands.vkGetPhysicalDeviceToolProperties,
             trace_tools),
        wrap("vkGetPhysicalDeviceCalibrateableTimeDomainsEXT",
             commands.vkGetPhysicalDeviceCalibrateableTimeDomainsEXT, trace_time_domains),
        wrap("vkGetPhysicalDeviceFragmentShadingRatesKHR",
             commands.vkGetPhysicalDeviceFragmentShadingRatesKHR, trace_shading_rates),
        wrap("vkGetPhysicalDeviceCooperativeMatrixPropertiesNV",
             commands.vkGetPhysicalDeviceCooperativeMatrixPropertiesNV, trace_cooperative_matrices),
        wrap("vkGetPhysicalDeviceImageFormatProperties",
             commands.vkGetPhysicalDeviceImageFormatProperties, trace_image_format),
        wrap("vkCreateDevice", commands.vkCreateDevice, trace_create_device),
        wrap("vkDestroyDevice", commands.vkDestroyDevice, trace_destroy_device),
        wrap("vkCreateImage", commands.vkCreateImage, trace_create_image),
        wrap("vkDestroyImage", commands.vkDestroyImage, trace_destroy_image),
        wrap("vkGetImageMemoryRequirements", commands.vkGetImageMemoryRequirements,
             trace_image_requirements),
    };
    return all;
}

}  // namespace

#define TRACE_EXPORT extern "C" __attribute__((visibility("default")))

TRACE_EXPORT VKAPI_ATTR PFN_vkVoidFunction VKAPI_CALL vkGetInstanceProcAddr(VkInstance instance,
                                                                            const char* name) {
    open_real_loader();
    PFN_vkVoidFunction found = real_get_instance_proc_addr(instance, name);
    std::string line = std::string("vkGetInstanceProcAddr ") + handle(instance) + " " + name;
    if (found == nullptr) {
        note(line + " -> null");
        return nullptr;
    }
    for (const Wrapper& wrapper : wrappers()) {
        if (strcmp(wrapper.name, name) == 0) {
            *wrapper.real = found;
            note(line);
            return wrapper.wrapper;
        }
    }
    note(line + " -> not traced");
    return found;
}

TRACE_EXPORT VKAPI_ATTR VkResult VKAPI_CALL vkCreateInstance(const VkInstanceCreateInfo* info,
                                                             const VkAllocationCallbacks* allocator,
                                                             VkInstance* instance) {
    std::string line = "vkCreateInstance flags=" + number(info->flags);
    if (info->pApplicationInfo != nullptr) {
        const VkApplicationInfo& app = *info->pApplicationInfo;
        line += std::string(" application=") + app.pApplicationName + "/" +
                number(app.applicationVersion) + " engine=" + app.pEngineName + "/" +
                number(app.engineVersion) + " api=" + number(app.apiVersion);
    }
    for (uint32_t i = 0; i < info->enabledLayerCount; ++i) {
        line += std::string(" layer=") + info->ppEnabledLayerNames[i];
    }
    for (uint32_t i = 0; i < info->enabledExtensionCount; ++i) {
        line += std::string(" extension=") + info->ppEnabledExtensionNames[i];
    }
    const VkResult result =
        real<PFN_vkCreateInstance>("vkCreateInstance")(info, allocator, instance);
    note(line + " " + chain(info->pNext) + " -> " + number(static_cast<uint32_t>(result)) + " " +
         handle(*instance));
    return result;
}

TRACE_EXPORT VKAPI_ATTR void VKAPI_CALL vkDestroyInstance(VkInstance instance,
                                                          const VkAllocationCallbacks* allocator) {
    note("vkDestroyInstance " + handle(instance));
    real<PFN_vkDestroyInstance>("vkDestroyInstance")(instance, allocator);
}

TRACE_EXPORT VKAPI_ATTR VkResult VKAPI_CALL vkEnumeratePhysicalDevices(VkInstance instance,
                                                                       uint32_t* count,
                                                                       VkPhysicalDevice* devices) {
    const uint32_t room = *count;
    const VkResult result = real<PFN_vkEnumeratePhysicalDevices>("vkEnumeratePhysicalDevices")(
        instance, count, devices);
    std::string line = "vkEnumeratePhysicalDevices " + handle(instance);
    for (uint32_t i = 0; devices != nullptr && i < *count && i < room; ++i) {
        line += " " + handle(devices[i]);
    }
    note(line + list(&room, devices, *count, result));
    return result;
}

TRACE_EXPORT VKAPI_ATTR void VKAPI_CALL
vkGetPhysicalDeviceProperties(VkPhysicalDevice device, VkPhysicalDeviceProperties* properties) {
    note("vkGetPhysicalDeviceProperties " + handle(device));
    real<PFN_vkGetPhysicalDeviceProperties>("vkGetPhysicalDeviceProperties")(device, properties);
}

TRACE_EXPORT VKAPI_ATTR void VKAPI_CALL vkGetPhysicalDeviceMemoryProperties(
    VkPhysicalDevice device, VkPhysicalDeviceMemoryProperties* memory) {
    note("vkGetPhysicalDeviceMemoryProperties " + handle(device));
    real<PFN_vkGetPhysicalDeviceMemoryProperties>("vkGetPhysicalDeviceMemoryProperties")(device,
                                                                                         memory);
}

TRACE_EXPORT VKAPI_ATTR VkResult VKAPI_CALL vkEnumerateInstanceExtensionProperties(
    const char* layer, uint32_t* count, VkExtensionProperties* properties) {
    const uint32_t room = *count;
    const VkResult result = real<PFN_vkEnumerateInstanceExtensionProperties>(
        "vkEnumerateInstanceExtensionProperties")(layer, count, properties);
    note(std::string("vkEnumerateInstanceExtensionProperties ") +
         (layer != nullptr ? layer : "null") + list(&room, properties, *count, result));
    return result;
}

TRACE_EXPORT VKAPI_ATTR VkResult VKAPI_CALL
vkEnumerateDeviceExtensionProperties(VkPhysicalDevice device, const char* layer, uint32_t* count,
                                     VkExtensionProperties* properties) {
    const uint32_t room = *count;
    const VkResult result = real<PFN_vkEnumerateDeviceExtensionProperties>(
        "vkEnumerateDeviceExtensionProperties")(device, layer, count, properties);
    note("vkEnumerateDeviceExtensionProperties " + handle(device) + " " +
         (layer != nullptr ? layer : "null") + list(&room, properties, *count, result));
    return result;
}
