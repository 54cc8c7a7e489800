// The one Vulkan instance of a run.
#pragma once

#include <vulkan/vulkan.h>

#include "vulkan/commands.h"

// Set by the build: true on macOS, whose loader hides portability drivers (MoltenVK) from an
// instance that does not ask for them, and then fails vkCreateInstance as an incompatible driver.
extern const bool platform_enumerates_portability;

// Whether the instance asks for portability drivers: only when the platform wants it and the
// loader lists VK_KHR_portability_enumeration. Writes nothing to the reports; false, so that the
// instance is created as usual, when the platform does not want it, the extension is not listed
// or the list cannot be read.
bool enumerate_portability(bool platform_wants);

// Whether the loader lists the instance extension; false when the list cannot be read.
bool instance_extension_listed(const char* name);

// Returns VK_NULL_HANDLE when vkCreateInstance is missing (nothing written) or fails (the
// reason written to both reports); a success that stores a null handle is a failure.
// enumerate_portability(platform_wants) decides whether the instance asks for portability drivers;
// the application info is the same either way.
VkInstance create_vulkan_instance(bool platform_wants = platform_enumerates_portability);

// The instance of the complete report: created with the lower of the loader's and the headers'
// version and, on a 1.0 loader that lists it, with VK_KHR_get_physical_device_properties2;
// with surfaces, also with the surface extensions the loader lists (add_surface_extensions).
// setup says what was asked for. Fails as create_vulkan_instance does.
VkInstance create_complete_instance(InstanceSetup& setup, bool surfaces = false,
                                    bool platform_wants = platform_enumerates_portability);

// Destroys the instance when it exists and the loader exports vkDestroyInstance.
void destroy_vulkan_instance(VkInstance instance);
