// "-metrics": the node's Vulkan in the Prometheus text exposition format, for node_exporter's
// textfile collector (--collector.textfile.directory) or any scraper of such files.
#pragma once

#include <vector>

#include "report/report.h"
#include "views/node.h"

// The exposition of the last write_metrics.
extern ReportStream metrics_report;

// Writes the whole exposition into metrics_report, replacing what it held. Each family has its
// HELP and TYPE lines (every one a gauge) and is left out when it has no sample:
//   brisol_vulkan_up                       1 when there is a device, 0 when Vulkan is unusable
//   brisol_vulkan_devices
//   brisol_vulkan_loader_info{version}     1, with a loader
//   brisol_vulkan_device_info{device,name,vendor_id,device_id,type,driver,driver_version,
//                             api_version}  1, one a device, numbered from 1 as in the report
//   brisol_vulkan_memory_heap_size_bytes{device,heap,device_local}
//   brisol_vulkan_memory_heap_budget_bytes{device,heap}, ..._usage_bytes{device,heap}
//                                          where the device has VK_EXT_memory_budget
//   brisol_vulkan_profile_supported{profile}  1 when some device meets the profile, else 0
// Label values are escaped as the format asks (\\, \", \n), and bytes that are not UTF-8 are
// replaced with U+FFFD, whatever the driver or the document holds. The failures of the run are
// comment lines ("# brisol: ..."), which scrapers skip. The exposition is bounded like the
// reports: devices past the bound are left out, and a comment says so. Never fails.
void write_metrics(const NodeFacts& facts, const std::vector<ProfileSupport>& profiles);
