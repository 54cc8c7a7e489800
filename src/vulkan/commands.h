// The commands of the complete report beyond the eight entry points, obtained the way Vulkan
// hands them out: through vkGetInstanceProcAddr, once the instance exists.
#pragma once

#include <cstdint>
#include <vector>

#include <vulkan/vulkan.h>

#include "vulkan/command_list.h"

// Each member is null until bound, and stays null when Vulkan does not hand it out.
struct VulkanCommands {
#define BRISOL_DECLARE_COMMAND(name, version, extension_name, instance_extension) PFN_##name name;
    BRISOL_VULKAN_COMMANDS(BRISOL_DECLARE_COMMAND)
#undef BRISOL_DECLARE_COMMAND
};

extern VulkanCommands vulkan_commands;

// How the instance of a complete report was made.
struct InstanceSetup {
    // What vkEnumerateInstanceVersion answers; VK_API_VERSION_1_0 when the loader lacks it.
    uint32_t loader_version = VK_API_VERSION_1_0;
    // The version the instance was created with: the lower of the loader's and the headers'.
    uint32_t api_version = VK_API_VERSION_1_0;
    // Whether the instance enabled VK_KHR_get_physical_device_properties2 (a 1.0 loader that
    // lists it).
    bool properties2_extension = false;
    // Every instance extension the instance enabled but portability enumeration, by the
    // program's own names of them (texts that live as long as the program).
    std::vector<const char*> enabled_extensions;
    // The window systems' extensions that the loader lists but the instance did not enable,
    // for want of a display in the environment.
    std::vector<const char*> displayless_extensions;
};

// Whether the instance enabled the extension.
bool instance_enabled(const InstanceSetup& setup, const char* name);

// What the loader's vkEnumerateInstanceVersion answers; VK_API_VERSION_1_0 when it lacks the
// command or the call fails.
uint32_t loader_instance_version();

// Binds every command for the instance: the core name when setup's version has it, else the
// extension's name when the instance enabled that extension or the extension is a device's.
// Missing ones stay null.
void bind_vulkan_commands(VkInstance instance, const InstanceSetup& setup);

// Leaves every command null again, before the instance is destroyed.
void release_vulkan_commands();
