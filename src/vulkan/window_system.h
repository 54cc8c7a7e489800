// The window systems whose windows Vulkan can present to: each is opened at run time like the
// loader (never linked), and gives the smallest window a surface needs. One file per platform
// says which there are; CMake picks the file.
#pragma once

#include <cstdint>

#include <vulkan/vulkan.h>

struct WindowSystem {
    // The instance extension whose surfaces it makes ("VK_KHR_xcb_surface").
    const char* extension;
    // The environment variable that names its display, or null where there is always one.
    // Without it the instance does not even enable the extension: layers that see it enabled
    // would look for the display themselves, and complain on standard error.
    const char* display_variable;
    // Why no surface can be made without the variable ("DISPLAY is not set").
    const char* without_display;
    // Makes a window (unmapped, 1x1 where the system has sizes) and its surface on the instance,
    // which enabled the extension. Returns VK_NULL_HANDLE, having released whatever it opened,
    // with why set to a fixed text, when the environment names no display, the system's library
    // cannot be opened, the display cannot be reached or Vulkan fails to make the surface.
    VkSurfaceKHR (*open)(VkInstance instance, const char** why);
    // Destroys the window and releases the library, once the surface is destroyed; does nothing
    // when open failed.
    void (*close)();
};

// This platform's window systems, in the order the reports list them.
extern const WindowSystem* const platform_window_systems;
extern const uint32_t platform_window_system_count;
