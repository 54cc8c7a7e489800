// The instance's and each device's extension listings.
#pragma once

#include <vector>

#include <vulkan/vulkan.h>

// Each returns true when the listing (or its zero-count form) was written; false when the
// handle or the entry point is missing (nothing written) or a query failed (error written).
bool report_instance_extensions(VkInstance instance);
// listed, when given, receives the device's list as read (empty unless it was written), so that
// later sections need not ask the loader again.
bool report_device_extensions(VkPhysicalDevice physical_device,
                              std::vector<VkExtensionProperties>* listed = nullptr);
