/* The Vulkan queries of a detailed report and nothing else: the floor that no report can go
   below. Plain C, so that the floor program carries no C++ runtime; the report benchmark makes
   the same queries through the fake driver. */
#ifndef BRISOL_FLOOR_CALLS_H
#define BRISOL_FLOOR_CALLS_H

#include <vulkan/vulkan.h>

#ifdef __cplusplus
extern "C" {
#endif

/* The room brisol gives a list, whatever count the count query answered. */
#define FLOOR_MOST_LISTED_RECORDS 4096u

/* The entry points the queries call, from the loader or from a fake. */
struct FloorEntryPoints {
    PFN_vkEnumerateInstanceExtensionProperties vkEnumerateInstanceExtensionProperties;
    PFN_vkEnumeratePhysicalDevices vkEnumeratePhysicalDevices;
    PFN_vkGetPhysicalDeviceProperties vkGetPhysicalDeviceProperties;
    PFN_vkGetPhysicalDeviceMemoryProperties vkGetPhysicalDeviceMemoryProperties;
    PFN_vkEnumerateDeviceExtensionProperties vkEnumerateDeviceExtensionProperties;
};

/* What the complete report asks beyond the detailed report, where Brisol asks it; either function
   may be null. */
struct FloorAppendix {
    /* After the instance extensions. */
    void (*instance)(void* context);
    /* After each device's extensions: listed is 0 when the list could not be read, and the
       extensions are then none. */
    void (*device)(void* context, VkPhysicalDevice device, int listed,
                   const VkExtensionProperties* extensions, uint32_t count);
    void* context;
};

/* Lists the instance extensions, then for each device reads its properties, memory properties
   and extensions, each list with the two-call idiom as the report reads it, and calls the
   appendix (which may be null) where Brisol's complete report asks more. Returns 0, having
   called nothing, when the instance or one of the entry points is missing, and 1 otherwise. */
int make_report_queries(const struct FloorEntryPoints* calls, VkInstance instance,
                        const struct FloorAppendix* appendix);

#ifdef __cplusplus
}
#endif

#endif
