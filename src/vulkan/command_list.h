// The commands of the complete report beyond the eight entry points, listed once. The list is
// plain C as well as C++, so that the floor program of bench/ looks up exactly these names, in
// this order, as Brisol does.
#pragma once

#include <stddef.h>

#include <vulkan/vulkan.h>

// Each command with the instance version that has it in core (0: a global command, asked for
// without an instance), and the name an extension gives it for an older instance (the same
// signature), or NULL.
#define BRISOL_VULKAN_COMMANDS(X)                                                                \
    X(vkEnumerateInstanceLayerProperties, 0, NULL)                                               \
    X(vkEnumeratePhysicalDeviceGroups, VK_API_VERSION_1_1, "vkEnumeratePhysicalDeviceGroupsKHR") \
    X(vkGetPhysicalDeviceProperties2, VK_API_VERSION_1_1, "vkGetPhysicalDeviceProperties2KHR")   \
    X(vkGetPhysicalDeviceFeatures, VK_API_VERSION_1_0, NULL)                                     \
    X(vkGetPhysicalDeviceFeatures2, VK_API_VERSION_1_1, "vkGetPhysicalDeviceFeatures2KHR")       \
    X(vkGetPhysicalDeviceQueueFamilyProperties, VK_API_VERSION_1_0, NULL)                        \
    X(vkGetPhysicalDeviceQueueFamilyProperties2, VK_API_VERSION_1_1,                             \
      "vkGetPhysicalDeviceQueueFamilyProperties2KHR")                                            \
    X(vkGetPhysicalDeviceMemoryProperties2, VK_API_VERSION_1_1,                                  \
      "vkGetPhysicalDeviceMemoryProperties2KHR")                                                 \
    X(vkGetPhysicalDeviceFormatProperties, VK_API_VERSION_1_0, NULL)                             \
    X(vkGetPhysicalDeviceFormatProperties2, VK_API_VERSION_1_1,                                  \
      "vkGetPhysicalDeviceFormatProperties2KHR")                                                 \
    X(vkGetPhysicalDeviceToolProperties, VK_API_VERSION_1_3, "vkGetPhysicalDeviceToolPropertiesEXT")
