// The profile check ("-profile FILE", given any number of times): does each device meet each
// Vulkan profile of the documents, and what is missing. The documents are read and checked for
// shape before Vulkan is touched (profiles/document.h); the devices are then read through the
// query layer and each requirement compared as compare/compare.h says.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include <vulkan/vulkan.h>

#include "query/facts.h"
#include "report/report.h"

// Reads the files, in order, and keeps them as the documents to check. False, with file set to
// the one at fault and why to one line ("cannot be opened: ...", "is larger than 64 MiB",
// "malformed JSON at line 3, column 7: ...", "not a profiles document: ..."), when one cannot be
// read, is not a profiles document, or the profiles they define require each other in a cycle;
// no document is kept then.
bool load_profile_documents(const std::vector<const char*>& paths, std::string& file,
                            std::string& why);
// The same for documents already in memory, named "document 1", "document 2", ...
bool parse_profile_documents(const std::vector<std::string>& texts, std::string& file,
                             std::string& why);

// The verdict as a JSON document, for "-json"; written by report_profile_verdict.
extern ReportStream profile_json_report;

// Checks every profile of the kept documents against every device of the instance (none when
// the instance is null) and writes the verdict to text_report, xml_report and
// profile_json_report, each at most about most_report_bytes. instance_facts gives the version
// the instance was created with. Returns true when every profile is supported by at least one
// device; false also when no document is kept.
bool report_profile_verdict(VkInstance instance, const InstanceFacts& instance_facts);

// The same check without a verdict written, for views that need only its outcome.
bool check_profiles(VkInstance instance, const InstanceFacts& instance_facts);

// The same check for a caller that reads the devices itself (the fleet views read them once for
// their own values too): start, then every device's facts, each as it is read (query_device's
// whole facts). The outcome is in profile_supports(). Does nothing when no document is kept.
void start_profile_check();
void check_profile_device(const DeviceFacts& facts);

// The outcome of the last check as data: every profile of the kept documents, in order, and
// whether some device meets it. Empty before a check.
struct ProfileSupport {
    std::string name;
    bool supported;
};
const std::vector<ProfileSupport>& profile_supports();
