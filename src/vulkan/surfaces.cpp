#include "vulkan/surfaces.h"

#include <cstdlib>
#include <cstring>

namespace {

const char* const surface_extension = "VK_KHR_surface";
const char* const capabilities2_extension = "VK_KHR_get_surface_capabilities2";
const char* const headless_extension = "VK_EXT_headless_surface";

// The extensions that need VK_KHR_surface and VK_KHR_get_surface_capabilities2.
const char* const capabilities2_extensions[] = {"VK_KHR_surface_protected_capabilities",
                                                "VK_EXT_surface_maintenance1"};

bool holds(const std::vector<VkExtensionProperties>& listed, const char* name) {
    for (const VkExtensionProperties& extension : listed) {
        if (strncmp(extension.extensionName, name, sizeof extension.extensionName) == 0) {
            return true;
        }
    }
    return false;
}

}  // namespace

void add_surface_extensions(const std::vector<VkExtensionProperties>& listed,
                            std::vector<const char*>& enabled,
                            std::vector<const char*>& displayless) {
    if (!holds(listed, surface_extension)) {
        return;
    }
    enabled.push_back(surface_extension);
    if (holds(listed, capabilities2_extension)) {
        enabled.push_back(capabilities2_extension);
        for (const char* name : capabilities2_extensions) {
            if (holds(listed, name)) {
                enabled.push_back(name);
            }
        }
    }
    if (holds(listed, headless_extension)) {
        enabled.push_back(headless_extension);
    }
    for (uint32_t i = 0; i < platform_window_system_count; ++i) {
        const WindowSystem& system = platform_window_systems[i];
        if (!holds(listed, system.extension)) {
            continue;
        }
        const char* display =
            system.display_variable != nullptr ? getenv(system.display_variable) : "always";
        if (display != nullptr && *display != '\0') {
            enabled.push_back(system.extension);
        } else {
            displayless.push_back(system.extension);
        }
    }
}

void make_surfaces(VkInstance instance, const InstanceSetup& setup, InstanceSurfaces& surfaces) {
    surfaces = InstanceSurfaces{};
    if (instance == VK_NULL_HANDLE) {
        return;
    }
    for (uint32_t i = 0; i < platform_window_system_count; ++i) {
        const WindowSystem& system = platform_window_systems[i];
        for (const char* displayless : setup.displayless_extensions) {
            if (strcmp(displayless, system.extension) == 0) {
                surfaces.unreachable.push_back({system.extension, system.without_display});
            }
        }
        if (!instance_enabled(setup, system.extension)) {
            continue;
        }
        const char* why = nullptr;
        const VkSurfaceKHR surface = system.open(instance, &why);
        if (surface != VK_NULL_HANDLE) {
            surfaces.made.push_back({system.extension, surface, &system});
        } else {
            surfaces.unreachable.push_back({system.extension, why});
        }
    }
    if (!instance_enabled(setup, headless_extension)) {
        return;
    }
    const auto create = vulkan_commands.vkCreateHeadlessSurfaceEXT;
    VkHeadlessSurfaceCreateInfoEXT info{};
    info.sType = VK_STRUCTURE_TYPE_HEADLESS_SURFACE_CREATE_INFO_EXT;
    VkSurfaceKHR surface = VK_NULL_HANDLE;
    if (create == nullptr) {
        surfaces.unreachable.push_back(
            {headless_extension, "vkCreateHeadlessSurfaceEXT is missing"});
    } else if (create(instance, &info, nullptr, &surface) != VK_SUCCESS ||
               surface == VK_NULL_HANDLE) {
        surfaces.unreachable.push_back({headless_extension, "Vulkan could not make the surface"});
    } else {
        surfaces.made.push_back({headless_extension, surface, nullptr});
    }
}

void destroy_surfaces(VkInstance instance, InstanceSurfaces& surfaces) {
    for (const MadeSurface& made : surfaces.made) {
        if (vulkan_commands.vkDestroySurfaceKHR != nullptr) {
            vulkan_commands.vkDestroySurfaceKHR(instance, made.surface, nullptr);
        }
        if (made.system != nullptr) {
            made.system->close();
        }
    }
    surfaces = InstanceSurfaces{};
}
