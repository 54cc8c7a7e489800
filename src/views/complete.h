// The complete report ("-all"): the sections that follow today's, for the instance and for
// each device, in both reports, read through the registry tables.
#pragma once

#include <vector>

#include <vulkan/vulkan.h>

#include "query/facts.h"

// The loader's version and the instance layers with their extensions.
void report_complete_instance(const InstanceFacts& facts);

// Everything else the device tells, after its own sections; context is the InstanceFacts, and
// extensions the list the device's section read (null: read it again).
void report_complete_device(void* context, VkPhysicalDevice device,
                            const std::vector<VkExtensionProperties>* extensions);

// The device groups, after the devices section: each device by the number that section gave it
// (0 for a handle it did not report).
void report_complete_groups(const InstanceFacts& facts);
