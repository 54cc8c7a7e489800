#include "floor_loader.h"

#include <dlfcn.h>
#include <stdlib.h>
#include <string.h>

/* The names Brisol looks up, in its order. */
static const char* const entry_point_names[] = {
    "vkGetInstanceProcAddr",
    "vkCreateInstance",
    "vkDestroyInstance",
    "vkEnumeratePhysicalDevices",
    "vkGetPhysicalDeviceProperties",
    "vkEnumerateInstanceExtensionProperties",
    "vkEnumerateDeviceExtensionProperties",
    "vkGetPhysicalDeviceMemoryProperties",
};
#define ENTRY_POINT_COUNT (sizeof entry_point_names / sizeof entry_point_names[0])

int floor_open_loader(struct FloorLoader* loader) {
    memset(loader, 0, sizeof *loader);
    loader->library = dlopen(BRISOL_VULKAN_LOADER_NAME, RTLD_NOW | RTLD_LOCAL);
    if (loader->library == NULL) {
        return 0;
    }
    PFN_vkVoidFunction found[ENTRY_POINT_COUNT];
    for (size_t i = 0; i < ENTRY_POINT_COUNT; ++i) {
        /* POSIX guarantees that a data pointer from dlsym converts to a function pointer. */
        void* address = dlsym(loader->library, entry_point_names[i]);
        memcpy(&found[i], &address, sizeof found[i]);
    }
    loader->vkGetInstanceProcAddr = (PFN_vkGetInstanceProcAddr)found[0];
    loader->vkCreateInstance = (PFN_vkCreateInstance)found[1];
    loader->vkDestroyInstance = (PFN_vkDestroyInstance)found[2];
    loader->calls.vkEnumeratePhysicalDevices = (PFN_vkEnumeratePhysicalDevices)found[3];
    loader->calls.vkGetPhysicalDeviceProperties = (PFN_vkGetPhysicalDeviceProperties)found[4];
    loader->calls.vkEnumerateInstanceExtensionProperties =
        (PFN_vkEnumerateInstanceExtensionProperties)found[5];
    loader->calls.vkEnumerateDeviceExtensionProperties =
        (PFN_vkEnumerateDeviceExtensionProperties)found[6];
    loader->calls.vkGetPhysicalDeviceMemoryProperties =
        (PFN_vkGetPhysicalDeviceMemoryProperties)found[7];
    return 1;
}

int floor_instance_extension_listed(const struct FloorLoader* loader, const char* name) {
    const PFN_vkEnumerateInstanceExtensionProperties enumerate =
        loader->calls.vkEnumerateInstanceExtensionProperties;
    uint32_t count = 0;
    if (enumerate == NULL || enumerate(NULL, &count, NULL) != VK_SUCCESS || count == 0) {
        return 0;
    }
    count = count < FLOOR_MOST_LISTED_RECORDS ? count : FLOOR_MOST_LISTED_RECORDS;
    VkExtensionProperties* listed = calloc(count, sizeof *listed);
    int found = 0;
    if (listed != NULL && enumerate(NULL, &count, listed) == VK_SUCCESS) {
        for (uint32_t i = 0; i < count && i < FLOOR_MOST_LISTED_RECORDS && !found; ++i) {
            found = strncmp(listed[i].extensionName, name, VK_MAX_EXTENSION_NAME_SIZE) == 0;
        }
    }
    free(listed);
    return found;
}

VkInstance floor_create_instance(const struct FloorLoader* loader, uint32_t api_version,
                                 const char* const* extensions, uint32_t extension_count) {
    if (loader->vkCreateInstance == NULL) {
        return VK_NULL_HANDLE;
    }
    const VkApplicationInfo application = {
        .sType = VK_STRUCTURE_TYPE_APPLICATION_INFO,
        .pApplicationName = "Brisol",
        .applicationVersion = 1,
        .pEngineName = "Brisol",
        .engineVersion = 1,
        .apiVersion = api_version,
    };
    VkInstanceCreateInfo create_info = {
        .sType = VK_STRUCTURE_TYPE_INSTANCE_CREATE_INFO,
        .pApplicationInfo = &application,
    };
    const char* enabled[FLOOR_MOST_ENABLED_EXTENSIONS + 1];
    /* Where Brisol enumerates portability drivers (macOS), the floor probes and asks as it does. */
    if (BRISOL_ENUMERATE_PORTABILITY &&
        floor_instance_extension_listed(loader, VK_KHR_PORTABILITY_ENUMERATION_EXTENSION_NAME)) {
        create_info.flags = VK_INSTANCE_CREATE_ENUMERATE_PORTABILITY_BIT_KHR;
        enabled[create_info.enabledExtensionCount++] =
            VK_KHR_PORTABILITY_ENUMERATION_EXTENSION_NAME;
    }
    for (uint32_t i = 0; i < extension_count && i < FLOOR_MOST_ENABLED_EXTENSIONS; ++i) {
        enabled[create_info.enabledExtensionCount++] = extensions[i];
    }
    if (create_info.enabledExtensionCount > 0) {
        create_info.ppEnabledExtensionNames = enabled;
    }
    VkInstance instance = VK_NULL_HANDLE;
    if (loader->vkCreateInstance(&create_info, NULL, &instance) != VK_SUCCESS) {
        return VK_NULL_HANDLE;
    }
    return instance;
}

void floor_close_loader(struct FloorLoader* loader, VkInstance instance) {
    if (instance != VK_NULL_HANDLE && loader->vkDestroyInstance != NULL) {
        loader->vkDestroyInstance(instance, NULL);
    }
    if (loader->library != NULL) {
        dlclose(loader->library);
    }
    loader->library = NULL;
}
