// "-labels": the node's Vulkan as a feature file of Kubernetes Node Feature Discovery (NFD),
// which its "local" source reads from /etc/kubernetes/node-feature-discovery/features.d/: one
// "name=value" a line, each name without a namespace (NFD puts its own in front).
#pragma once

#include <vector>

#include "report/report.h"
#include "views/node.h"

// The file of the last write_labels.
extern ReportStream labels_report;

// Writes the whole file into labels_report, replacing what it held:
//   vulkan.present=true|false          whether there is a device at all
//   vulkan.devices=N
//   vulkan.api-version=1.3             the highest of the devices (with a device)
//   vulkan.loader-version=1.3.239      (with a loader)
//   vulkan.profile.NAME=true|false     one a profile: whether some device meets it
//   vulkan.device.N.name, .type, .vendor-id, .device-id, .api-version, .driver,
//   .driver-version, .local-memory-gib one group per device, numbered from 1 as in the report
// Every name and value keeps Kubernetes' label rules: at most 63 characters of [A-Za-z0-9._-],
// beginning and ending with a letter or digit (a value may be empty). Text from a driver or a
// document is mapped into that alphabet (each run of other bytes becomes one '_') and cut, never
// written raw; a profile whose name keeps no letter or digit gets no label. The file stays within
// the 64 KiB NFD reads: the devices that do not fit whole are left without labels of their own.
// Never fails: without a loader or a device the file says vulkan.present=false.
void write_labels(const NodeFacts& facts, const std::vector<ProfileSupport>& profiles);
