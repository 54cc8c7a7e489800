// The Vulkan commands the program uses, bound from the loader library at run time.
#pragma once

#include <vulkan/vulkan.h>

#include "vulkan/module.h"

// The one list of entry points, in the order they are looked up and listed.
#define BRISOL_VULKAN_ENTRY_POINTS(X)         \
    X(vkGetInstanceProcAddr)                  \
    X(vkCreateInstance)                       \
    X(vkDestroyInstance)                      \
    X(vkEnumeratePhysicalDevices)             \
    X(vkGetPhysicalDeviceProperties)          \
    X(vkEnumerateInstanceExtensionProperties) \
    X(vkEnumerateDeviceExtensionProperties)   \
    X(vkGetPhysicalDeviceMemoryProperties)

// Each member is null until bound, and stays null when the loader does not export it. Every
// call through the table tests its member first.
struct VulkanEntryPoints {
#define BRISOL_DECLARE_ENTRY_POINT(name) PFN_##name name;
    BRISOL_VULKAN_ENTRY_POINTS(BRISOL_DECLARE_ENTRY_POINT)
#undef BRISOL_DECLARE_ENTRY_POINT
};

extern VulkanEntryPoints vulkan;

// The most records a list is given room for, whatever count a driver's count query answers. Real
// lists hold a few hundred; a count near 2^32 would ask for a terabyte and end the program. A
// driver that really holds more answers the fill call with VK_INCOMPLETE, a read failure. The
// bound also limits what a driver that lies on both calls gets listed: 4096 empty devices with
// their limits make reports of tens of megabytes, where 65536 would make hundreds.
constexpr uint32_t most_listed_records = 4096;

// The room to give a list whose count query answered count.
constexpr uint32_t list_room(uint32_t count) {
    return count < most_listed_records ? count : most_listed_records;
}

// The loader's file name on this platform, set by the build.
extern const char* const vulkan_loader_name;

// Opens the loader and binds every entry point it exports. Returns null, having written the
// error to both reports and left every entry point null, when the library cannot be opened.
ModuleHandle bind_vulkan_loader();
// The same, for a library given by file name.
ModuleHandle bind_vulkan_library(const char* file_name);

// Lists which entry points were found, in both reports.
void report_entry_points();

// Closes the library; a null handle does nothing. Nothing may call through the table after it.
void release_vulkan_loader(ModuleHandle handle);

// How a report run gets its entry points and gives them back.
struct VulkanLoader {
    ModuleHandle (*bind)();
    void (*release)(ModuleHandle handle);
};

// bind_vulkan_loader and release_vulkan_loader.
extern const VulkanLoader system_vulkan_loader;
