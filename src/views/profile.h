// The profile check ("-profile FILE"): does each device meet each Vulkan profile of a Profiles
// document, and what is missing. The document is read and checked for shape before Vulkan is
// touched; the devices are then read through the query layer and compared through the registry
// tables, each property the way its limittype in vk.xml says.
#pragma once

#include <cstddef>
#include <string>

#include <vulkan/vulkan.h>

#include "query/facts.h"
#include "report/report.h"

// Reads the file and keeps it as the document to check. False, with why set to one line ("cannot
// be opened: ...", "is larger than 64 MiB", "malformed JSON at line 3, column 7: ...", "not a
// profiles document: ..."), when it cannot be read or is not a profiles document; no document is
// kept then.
bool load_profile_document(const char* path, std::string& why);
// The same for a document already in memory.
bool parse_profile_document(const char* text, size_t size, std::string& why);

// The verdict as a JSON document, for "-json"; written by report_profile_verdict.
extern ReportStream profile_json_report;

// Checks every profile of the kept document against every device of the instance (none when the
// instance is null) and writes the verdict to text_report, xml_report and profile_json_report.
// instance_facts gives the version the instance was created with. Returns true when every
// profile is supported by at least one device; false also when no document is kept.
bool report_profile_verdict(VkInstance instance, const InstanceFacts& instance_facts);
