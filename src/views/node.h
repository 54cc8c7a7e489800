// What the fleet views say of a node: "-labels" (Kubernetes Node Feature Discovery) and
// "-metrics" (Prometheus). A few values per device, taken from the facts the complete report
// reads, and whether Vulkan could be used at all; each view writes them in its own form.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "query/facts.h"
#include "report/report.h"
#include "views/profile.h"
#include "vulkan/entry_points.h"

struct HeapSummary {
    uint64_t size;
    bool device_local;
    // With VK_EXT_memory_budget: how much of the heap the process may use, and uses, in bytes.
    bool budget_known;
    uint64_t budget;
    uint64_t usage;
};

struct DeviceSummary {
    std::string name;  // as the driver wrote it
    const char* type;  // "discrete", "integrated", "virtual", "cpu" or "other"
    uint32_t vendor_id;
    uint32_t device_id;
    uint32_t api_version;
    // The VkDriverId's name in the registry ("VK_DRIVER_ID_MESA_LLVMPIPE"), its number where
    // the registry has no name for it, "" where the device does not say.
    std::string driver;
    DriverVersionText driver_version;  // as the vendor writes it
    std::vector<HeapSummary> heaps;    // empty when the memory properties could not be read
};

struct NodeFacts {
    bool loader_found = false;
    uint32_t loader_version = 0;         // what vkEnumerateInstanceVersion answers, with a loader
    std::vector<DeviceSummary> devices;  // numbered from 1, as in the report
    std::vector<std::string> errors;     // what failed, in the words of the reports
};

// What the fleet views read of a device's facts: those of query_device_identity, or more.
DeviceSummary device_summary(const DeviceFacts& facts);

// Binds the loader, creates the complete report's instance and reads every device through the
// query layer, one at a time. Never fails: a missing loader, a failed instance or a failed list
// leaves fewer devices (none) and says why in errors. The text and XML reports are left as
// they were. with_profiles: every device is also checked against the kept profile documents as
// it is read (profile_supports() then says which some device meets; none without a device).
void read_node_facts(const VulkanLoader& loader, NodeFacts& facts, bool with_profiles = false);

// The highest API version of the devices, its variant left out; 0 without a device.
uint32_t highest_api_version(const NodeFacts& facts);

// A vendor or device ID as both views write it: "0x10de".
std::string hex_id(uint32_t id);

// The size of the device's device-local heaps together, in bytes (at most 2^64 - 1).
uint64_t device_local_bytes(const DeviceSummary& device);
