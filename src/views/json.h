// The "-json" document: every device as a Khronos Vulkan Profiles document (one capabilities
// block and one profile per device), with the loader's and the instance's data, and whatever
// failed, under the program's own top-level key "brisol".
#pragma once

#include "report/report.h"
#include "vulkan/entry_points.h"

// The document of the last write_json_document, printed instead of the text or XML report.
extern ReportStream json_report;

// Builds the whole document into json_report, replacing what it held: binds the loader, creates
// the complete instance and reads the instance and every device through the same queries and
// tables as the complete report. Never fails: a missing loader, a failed instance or a failed
// query is said under "brisol", and the document stays valid against the Profiles schema of
// the headers it was built with. The text and XML reports are left as they were.
void write_json_document(const VulkanLoader& loader);
