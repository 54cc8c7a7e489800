// The 105 device limits, written for each device when the detailed report is asked for.
#pragma once

#include <cstddef>

#include <vulkan/vulkan.h>

// How a row's value is read and written.
enum class LimitKind {
    Uint,        // uint32_t, int32_t (its bits, unsigned), VkBool32 and VkSampleCountFlags
    Uint64,      // VkDeviceSize
    Size,        // size_t, written whole
    Float,       // float
    FloatPair,   // float[2]
    UintPair,    // uint32_t[2]
    UintTriple,  // uint32_t[3]
};

struct LimitRow {
    const char* name;  // the VkPhysicalDeviceLimits member, as the headers spell it
    LimitKind kind;
    size_t offset;  // of that member
    size_t size;    // of that member, checked against the kind at compile time
};

constexpr size_t device_limit_row_count = 105;
extern const LimitRow device_limit_rows[device_limit_row_count];

// Writes the limits element and the text listing; it calls nothing and cannot fail.
void report_device_limits(const VkPhysicalDeviceLimits& limits);
