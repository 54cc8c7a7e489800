// The one Vulkan instance of a run.
#pragma once

#include <vulkan/vulkan.h>

// Returns VK_NULL_HANDLE when vkCreateInstance is missing (nothing written) or fails (the
// reason written to both reports).
VkInstance create_vulkan_instance();

// Destroys the instance when it exists and the loader exports vkDestroyInstance.
void destroy_vulkan_instance(VkInstance instance);
