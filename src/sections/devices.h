// The physical devices: identity, versions, type and memory heaps, with each device's
// extensions and, when detailed, its limits.
#pragma once

#include <vector>

#include <vulkan/vulkan.h>

// More sections for each device, written after its own (the complete report's); write may be
// null.
struct DeviceAppendix {
    // extensions: the device's list as its section read it, or null when it could not be read.
    void (*write)(void* context, VkPhysicalDevice device,
                  const std::vector<VkExtensionProperties>* extensions);
    void* context;
};

// Returns true when the device list was read and the section written. False, with nothing
// written, when the instance or an entry point is missing or no device is counted; false, with
// an error written, when the enumeration fails. Devices past the reports' size limit are left
// out, with an error inside the section; the result is still true.
bool report_physical_devices(VkInstance instance, bool detailed,
                             DeviceAppendix appendix = DeviceAppendix{});

// Returns false, having written nothing, when the handle or the entry point is missing.
bool report_memory_heaps(VkPhysicalDevice physical_device);
