// The surfaces of the complete report: one for each window system that the instance enabled and
// the environment offers, and a headless one where the instance enabled VK_EXT_headless_surface.
#pragma once

#include <vector>

#include <vulkan/vulkan.h>

#include "vulkan/commands.h"
#include "vulkan/window_system.h"

struct MadeSurface {
    const char* extension;       // the instance extension that made it
    VkSurfaceKHR surface;        // never VK_NULL_HANDLE
    const WindowSystem* system;  // null for the headless surface
};

// A window system the instance enabled but no surface could be made for, and why (a fixed text).
struct UnreachableSystem {
    const char* extension;
    const char* why;
};

struct InstanceSurfaces {
    std::vector<MadeSurface> made;
    std::vector<UnreachableSystem> unreachable;
};

// Adds to enabled, in order, the surface extensions of the complete report that listed holds
// and whose own needs are met: VK_KHR_surface first, then the extensions that ask more of a
// surface, the headless one and this platform's window systems. Each name is the program's own
// text.
// A window system's extension is enabled only where the environment names its display, and
// otherwise added to displayless.
void add_surface_extensions(const std::vector<VkExtensionProperties>& listed,
                            std::vector<const char*>& enabled,
                            std::vector<const char*>& displayless);

// Makes the surfaces, once the commands are bound. Never fails as a whole: each window system
// that cannot make one, or whose extension the instance left out for want of a display, is said
// in unreachable.
void make_surfaces(VkInstance instance, const InstanceSetup& setup, InstanceSurfaces& surfaces);

// Destroys every surface made and closes its window system; surfaces is left empty.
void destroy_surfaces(VkInstance instance, InstanceSurfaces& surfaces);
