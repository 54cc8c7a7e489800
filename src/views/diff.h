// "-diff A [B]": what differs between the devices of two Vulkan Profiles documents, or between
// those of one document and this machine as "-json" reads it, both ways. Each profile of a
// document is one device (query/document.h); the devices of the two sides are paired in order,
// and each pair compared value by value, compare/compare.h saying which side is more capable.
#pragma once

#include <cstdint>
#include <string>

#include "report/report.h"
#include "vulkan/entry_points.h"

enum class DiffForm : uint8_t { Text, Xml, Json };

// Reads the documents and keeps them for report_diff: a, and b unless it is null (B is then this
// machine). False, with file set to the one at fault and why to one line, worded as
// load_profile_documents words it, when one cannot be read or is not a profiles document; no
// document is kept then.
bool load_diff_documents(const char* a, const char* b, std::string& file, std::string& why);
// The same for documents in memory, named "document A" and "document B".
bool parse_diff_documents(const std::string& a, const std::string* b, std::string& file,
                          std::string& why);

// The differences as a JSON document, for "-json"; written by report_diff.
extern ReportStream diff_json_report;

// Compares the kept documents, B being this machine read through the loader when no B was kept,
// and writes the differences in one form: text lines to text_report, a vk_diff element to
// xml_report (in the envelope the caller writes) or a document to diff_json_report, each at most
// about most_report_bytes. Returns whether anything differs or was left out; true, with nothing
// written, when no document is kept.
bool report_diff(const VulkanLoader& loader, DiffForm form);
