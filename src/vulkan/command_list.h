// The commands of the complete report beyond the eight entry points, listed once. The list is
// plain C as well as C++, so that the floor program of bench/ looks up exactly these names, in
// this order, as Brisol does.
#pragma once

#include <stddef.h>

#include <vulkan/vulkan.h>

// The core version of a command that no version has in core: only its extension's name is
// looked up.
#define BRISOL_NOT_CORE 0xFFFFFFFFu

// Each command with the instance version that has it in core (0: a global command, asked for
// without an instance), the name an extension gives it for an older instance (the same
// signature) or NULL, and the instance extension that the instance must have enabled for that
// name to be used, or NULL for a device extension's command, which serves the devices that list
// the extension on any instance. The device commands at the end are looked up on the instance
// too, which hands out commands that serve every device.
#define BRISOL_VULKAN_COMMANDS(X)                                                                \
    X(vkEnumerateInstanceLayerProperties, 0, NULL, NULL)                                         \
    X(vkEnumeratePhysicalDeviceGroups, VK_API_VERSION_1_1, "vkEnumeratePhysicalDeviceGroupsKHR", \
      "VK_KHR_device_group_creation")                                                            \
    X(vkGetPhysicalDeviceProperties2, VK_API_VERSION_1_1, "vkGetPhysicalDeviceProperties2KHR",   \
      "VK_KHR_get_physical_device_properties2")                                                  \
    X(vkGetPhysicalDeviceFeatures, VK_API_VERSION_1_0, NULL, NULL)                               \
    X(vkGetPhysicalDeviceFeatures2, VK_API_VERSION_1_1, "vkGetPhysicalDeviceFeatures2KHR",       \
      "VK_KHR_get_physical_device_properties2")                                                  \
    X(vkGetPhysicalDeviceQueueFamilyProperties, VK_API_VERSION_1_0, NULL, NULL)                  \
    X(vkGetPhysicalDeviceQueueFamilyProperties2, VK_API_VERSION_1_1,                             \
      "vkGetPhysicalDeviceQueueFamilyProperties2KHR", "VK_KHR_get_physical_device_properties2")  \
    X(vkGetPhysicalDeviceMemoryProperties2, VK_API_VERSION_1_1,                                  \
      "vkGetPhysicalDeviceMemoryProperties2KHR", "VK_KHR_get_physical_device_properties2")       \
    X(vkGetPhysicalDeviceFormatProperties, VK_API_VERSION_1_0, NULL, NULL)                       \
    X(vkGetPhysicalDeviceFormatProperties2, VK_API_VERSION_1_1,                                  \
      "vkGetPhysicalDeviceFormatProperties2KHR", "VK_KHR_get_physical_device_properties2")       \
    X(vkGetPhysicalDeviceToolProperties, VK_API_VERSION_1_3, NULL, NULL)                         \
    X(vkGetPhysicalDeviceToolPropertiesEXT, BRISOL_NOT_CORE,                                     \
      "vkGetPhysicalDeviceToolPropertiesEXT", NULL)                                              \
    X(vkGetPhysicalDeviceSurfaceSupportKHR, BRISOL_NOT_CORE,                                     \
      "vkGetPhysicalDeviceSurfaceSupportKHR", "VK_KHR_surface")                                  \
    X(vkGetPhysicalDeviceSurfaceCapabilitiesKHR, BRISOL_NOT_CORE,                                \
      "vkGetPhysicalDeviceSurfaceCapabilitiesKHR", "VK_KHR_surface")                             \
    X(vkGetPhysicalDeviceSurfaceFormatsKHR, BRISOL_NOT_CORE,                                     \
      "vkGetPhysicalDeviceSurfaceFormatsKHR", "VK_KHR_surface")                                  \
    X(vkGetPhysicalDeviceSurfacePresentModesKHR, BRISOL_NOT_CORE,                                \
      "vkGetPhysicalDeviceSurfacePresentModesKHR", "VK_KHR_surface")                             \
    X(vkDestroySurfaceKHR, BRISOL_NOT_CORE, "vkDestroySurfaceKHR", "VK_KHR_surface")             \
    X(vkGetPhysicalDeviceSurfaceCapabilities2KHR, BRISOL_NOT_CORE,                               \
      "vkGetPhysicalDeviceSurfaceCapabilities2KHR", "VK_KHR_get_surface_capabilities2")          \
    X(vkGetPhysicalDeviceSurfaceFormats2KHR, BRISOL_NOT_CORE,                                    \
      "vkGetPhysicalDeviceSurfaceFormats2KHR", "VK_KHR_get_surface_capabilities2")               \
    X(vkCreateHeadlessSurfaceEXT, BRISOL_NOT_CORE, "vkCreateHeadlessSurfaceEXT",                 \
      "VK_EXT_headless_surface")                                                                 \
    X(vkGetPhysicalDevicePresentRectanglesKHR, BRISOL_NOT_CORE,                                  \
      "vkGetPhysicalDevicePresentRectanglesKHR", NULL)                                           \
    X(vkGetPhysicalDeviceCalibrateableTimeDomainsEXT, BRISOL_NOT_CORE,                           \
      "vkGetPhysicalDeviceCalibrateableTimeDomainsEXT", NULL)                                    \
    X(vkGetPhysicalDeviceFragmentShadingRatesKHR, BRISOL_NOT_CORE,                               \
      "vkGetPhysicalDeviceFragmentShadingRatesKHR", NULL)                                        \
    X(vkGetPhysicalDeviceMultisamplePropertiesEXT, BRISOL_NOT_CORE,                              \
      "vkGetPhysicalDeviceMultisamplePropertiesEXT", NULL)                                       \
    X(vkGetPhysicalDeviceCooperativeMatrixPropertiesNV, BRISOL_NOT_CORE,                         \
      "vkGetPhysicalDeviceCooperativeMatrixPropertiesNV", NULL)                                  \
    X(vkGetPhysicalDeviceVideoCapabilitiesKHR, BRISOL_NOT_CORE,                                  \
      "vkGetPhysicalDeviceVideoCapabilitiesKHR", NULL)                                           \
    X(vkGetPhysicalDeviceVideoFormatPropertiesKHR, BRISOL_NOT_CORE,                              \
      "vkGetPhysicalDeviceVideoFormatPropertiesKHR", NULL)                                       \
    X(vkGetPhysicalDeviceImageFormatProperties, VK_API_VERSION_1_0, NULL, NULL)                  \
    X(vkCreateDevice, VK_API_VERSION_1_0, NULL, NULL)                                            \
    X(vkDestroyDevice, VK_API_VERSION_1_0, NULL, NULL)                                           \
    X(vkCreateImage, VK_API_VERSION_1_0, NULL, NULL)                                             \
    X(vkDestroyImage, VK_API_VERSION_1_0, NULL, NULL)                                            \
    X(vkGetImageMemoryRequirements, VK_API_VERSION_1_0, NULL, NULL)
