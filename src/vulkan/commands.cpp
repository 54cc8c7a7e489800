#include "vulkan/commands.h"

#include <cstring>

#include "vulkan/entry_points.h"

VulkanCommands vulkan_commands;

namespace {

// A loader may hand out a command of an instance extension that the instance did not enable,
// but using it is not allowed. Device extensions' commands, such as VK_EXT_tooling_info's, are
// for the devices that list them, on any instance.
bool extension_usable(const InstanceSetup& setup, const char* instance_extension) {
    return instance_extension == nullptr || instance_enabled(setup, instance_extension);
}

PFN_vkVoidFunction find_command(VkInstance instance, const InstanceSetup& setup,
                                uint32_t core_version, const char* name, const char* extension_name,
                                const char* instance_extension) {
    if (core_version == 0) {
        return vulkan.vkGetInstanceProcAddr(VK_NULL_HANDLE, name);
    }
    if (setup.api_version >= core_version) {
        return vulkan.vkGetInstanceProcAddr(instance, name);
    }
    if (extension_name != nullptr && extension_usable(setup, instance_extension)) {
        return vulkan.vkGetInstanceProcAddr(instance, extension_name);
    }
    return nullptr;
}

}  // namespace

bool instance_enabled(const InstanceSetup& setup, const char* name) {
    for (const char* enabled : setup.enabled_extensions) {
        if (strcmp(enabled, name) == 0) {
            return true;
        }
    }
    return false;
}

uint32_t loader_instance_version() {
    if (vulkan.vkGetInstanceProcAddr == nullptr) {
        return VK_API_VERSION_1_0;
    }
    const auto enumerate = reinterpret_cast<PFN_vkEnumerateInstanceVersion>(
        vulkan.vkGetInstanceProcAddr(VK_NULL_HANDLE, "vkEnumerateInstanceVersion"));
    uint32_t version = VK_API_VERSION_1_0;
    if (enumerate == nullptr || enumerate(&version) != VK_SUCCESS) {
        return VK_API_VERSION_1_0;
    }
    return version;
}

void bind_vulkan_commands(VkInstance instance, const InstanceSetup& setup) {
    release_vulkan_commands();
    if (instance == VK_NULL_HANDLE || vulkan.vkGetInstanceProcAddr == nullptr) {
        return;
    }
#define BRISOL_BIND_COMMAND(name, version, extension_name, instance_extension) \
    vulkan_commands.name = reinterpret_cast<PFN_##name>(                       \
        find_command(instance, setup, version, #name, extension_name, instance_extension));
    BRISOL_VULKAN_COMMANDS(BRISOL_BIND_COMMAND)
#undef BRISOL_BIND_COMMAND
}

void release_vulkan_commands() {
    vulkan_commands = VulkanCommands{};
}
