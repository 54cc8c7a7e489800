/* The floor program: everything `brisol -a -xml` asks of Vulkan, through the same loader, the
   same eight look-ups and the same instance creation, and nothing else. It is plain C linked
   against the C library alone, and formats and prints nothing, so brisol's cost over it is
   brisol's own, its C++ runtime included. Exit status 1 when the loader, the instance or an
   entry point is missing: a floor that queried nothing would measure nothing. */
#include <dlfcn.h>
#include <string.h>

#include "floor_calls.h"

/* The names brisol looks up, in its order. */
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

static PFN_vkVoidFunction found[ENTRY_POINT_COUNT];

/* POSIX guarantees that a data pointer from dlsym converts to a function pointer. */
static void bind(void* loader) {
    for (size_t i = 0; i < ENTRY_POINT_COUNT; ++i) {
        void* address = dlsym(loader, entry_point_names[i]);
        memcpy(&found[i], &address, sizeof found[i]);
    }
}

/* Where brisol enumerates portability drivers (macOS), the floor probes and asks as it does. */
static int enumerate_portability(PFN_vkEnumerateInstanceExtensionProperties enumerate) {
#if BRISOL_ENUMERATE_PORTABILITY
    uint32_t count = 0;
    if (enumerate == NULL || enumerate(NULL, &count, NULL) != VK_SUCCESS || count == 0) {
        return 0;
    }
    VkExtensionProperties listed[FLOOR_MOST_LISTED_RECORDS];
    memset(listed, 0, sizeof listed);
    count = count < FLOOR_MOST_LISTED_RECORDS ? count : FLOOR_MOST_LISTED_RECORDS;
    if (enumerate(NULL, &count, listed) != VK_SUCCESS) {
        return 0;
    }
    for (uint32_t i = 0; i < count && i < FLOOR_MOST_LISTED_RECORDS; ++i) {
        if (strcmp(listed[i].extensionName, VK_KHR_PORTABILITY_ENUMERATION_EXTENSION_NAME) == 0) {
            return 1;
        }
    }
#else
    (void)enumerate;
#endif
    return 0;
}

int main(void) {
    void* loader = dlopen(BRISOL_VULKAN_LOADER_NAME, RTLD_NOW | RTLD_LOCAL);
    if (loader == NULL) {
        return 1;
    }
    bind(loader);
    PFN_vkCreateInstance create = (PFN_vkCreateInstance)found[1];
    PFN_vkDestroyInstance destroy = (PFN_vkDestroyInstance)found[2];
    const struct FloorEntryPoints calls = {
        (PFN_vkEnumerateInstanceExtensionProperties)found[5],
        (PFN_vkEnumeratePhysicalDevices)found[3],
        (PFN_vkGetPhysicalDeviceProperties)found[4],
        (PFN_vkGetPhysicalDeviceMemoryProperties)found[7],
        (PFN_vkEnumerateDeviceExtensionProperties)found[6],
    };

    const VkApplicationInfo application = {
        .sType = VK_STRUCTURE_TYPE_APPLICATION_INFO,
        .pApplicationName = "Brisol",
        .applicationVersion = 1,
        .pEngineName = "Brisol",
        .engineVersion = 1,
        .apiVersion = VK_MAKE_VERSION(1, 0, 0),
    };
    VkInstanceCreateInfo create_info = {
        .sType = VK_STRUCTURE_TYPE_INSTANCE_CREATE_INFO,
        .pApplicationInfo = &application,
    };
    const char* const portability[] = {VK_KHR_PORTABILITY_ENUMERATION_EXTENSION_NAME};
    if (enumerate_portability(calls.vkEnumerateInstanceExtensionProperties)) {
        create_info.flags = VK_INSTANCE_CREATE_ENUMERATE_PORTABILITY_BIT_KHR;
        create_info.enabledExtensionCount = 1;
        create_info.ppEnabledExtensionNames = portability;
    }
    VkInstance instance = VK_NULL_HANDLE;
    if (create == NULL || create(&create_info, NULL, &instance) != VK_SUCCESS) {
        instance = VK_NULL_HANDLE;
    }
    const int queried = make_report_queries(&calls, instance);
    if (instance != VK_NULL_HANDLE && destroy != NULL) {
        destroy(instance, NULL);
    }
    dlclose(loader);
    return queried ? 0 : 1;
}
