// Devices described by a Vulkan Profiles document rather than by a driver: each profile of a
// document is one device, and what its capabilities give is read into the same facts a driver's
// answers fill, so that whatever compares devices or answers for one reads a document as it reads
// a driver.
#pragma once

#include <string>
#include <vector>

#include "profiles/document.h"
#include "query/facts.h"

struct DocumentDevice {
    const Profile* profile = nullptr;  // the profile that describes the device
    DeviceFacts facts;
    // Whether the document gives VkPhysicalDeviceProperties: a driver always does, and the facts
    // hold zeros (but the profile's API version) where a document does not.
    bool properties_read = false;
    // What the document gives that the facts cannot hold as given, one line each, worded as the
    // profile check words them: names this build does not know ("VkPhysicalDeviceFooEXT: unknown
    // to this build"), values of another form, read as what they spell or as zero
    // ("VkPhysicalDeviceProperties.limits.bufferImageGranularity: the file gives \"64\", not a
    // number").
    std::vector<std::string> notes;
};

// Reads the device one profile describes: the API version of the profile, then every capability
// it names, in order (of an entry of alternatives, the first). Required profiles are not read:
// they say what the device must meet, not what it is. Members the document leaves out are zero;
// structures it does not name are not in the chains, which hold the others in the registry's
// order; formats are in the registry's order, queue families in the document's; nothing of
// memory or tools is read (memory_read stays false). An extension whose spec version is of
// another form is listed with the version it spells, or 0. The handle is null. Never fails: what
// could not be read is in notes.
void read_document_device(const Profile& profile, DocumentDevice& device);

// The capabilities read_document_device walks for the profile, in order: each entry's name, or of
// an entry of alternatives the first's names. Those the document does not define are left out.
std::vector<const ProfileJson*> device_capabilities(const Profile& profile);

// Every profile of the set as one device, in the set's order.
std::vector<DocumentDevice> read_document_devices(const ProfileSet& set);
