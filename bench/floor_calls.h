// The Vulkan queries of a detailed report, made through the program's entry-point table and
// nothing else: the floor that no report can go below.
#pragma once

#include <vulkan/vulkan.h>

// Lists the instance extensions, then for each device reads its properties, memory properties
// and extensions, each list with the two-call idiom as the report reads it. Returns false, having
// called nothing, when the instance or one of those entry points is missing.
bool make_report_queries(VkInstance instance);
