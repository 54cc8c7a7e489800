#include "sections/extensions.h"

#include <cstdint>
#include <vector>

#include "report/report.h"
#include "vulkan/entry_points.h"
#include "vulkan/lists.h"

namespace {

// The two listings share one algorithm; they differ in the command they call and in the texts
// and indentation they write.
struct ExtensionListing {
    ListResult (*read)(VkPhysicalDevice device, std::vector<VkExtensionProperties>& extensions);
    const char* list_error;
    const char* read_error;
    const char* zero_count_text;
    const char* header_text;  // followed by the count
    const char* record_text_lead;
    const char* list_xml_lead;  // before the opening tag and the zero-count element
    const char* record_xml_lead;
    const char* close_xml_lead;
};

ListResult read_instance_listing(VkPhysicalDevice, std::vector<VkExtensionProperties>& extensions) {
    return read_instance_extensions(nullptr, extensions);
}

const ExtensionListing instance_listing = {
    read_instance_listing,
    "unable to list the instance extensions",
    "unable to read the instance extensions",
    "\n - # instance extensions : 0",
    "\nInstance extensions: ",
    "\n- ",
    "\n\n\t",
    "\n\t\t",
    "\n\t",
};

const ExtensionListing device_listing = {
    read_device_extensions,
    "unable to list the device extensions",
    "unable to read the device extensions",
    "\n- # device extensions: 0",
    "\n- Device extensions: ",
    "\n\t",
    "\n\t\t\t",
    "\n\t\t\t\t",
    "\n\t\t\t",
};

bool report_extensions(const ExtensionListing& listing, VkPhysicalDevice device,
                       std::vector<VkExtensionProperties>& extensions) {
    switch (listing.read(device, extensions)) {
        case ListResult::CountFailed:
            report_error(listing.list_error);
            return false;
        case ListResult::FillFailed:
            report_error(listing.read_error);
            return false;
        case ListResult::Empty:
            append_text("%s", listing.zero_count_text);
            append_xml("%s<vk_extensions num_extensions=\"0\" />", listing.list_xml_lead);
            return true;
        case ListResult::Read:
            break;
    }
    // At most list_room records, so the count fits the 32 bits it is written as.
    const uint32_t count = static_cast<uint32_t>(extensions.size());
    append_text("%s%u", listing.header_text, count);
    append_xml("%s<vk_extensions num_extensions=\"%u\" >", listing.list_xml_lead, count);
    for (uint32_t i = 0; i < count; ++i) {
        const VulkanName name = vulkan_name(extensions[i].extensionName);
        const uint32_t spec_version = extensions[i].specVersion;
        append_text("%s%u/ %s (spec version: %u)", listing.record_text_lead, i + 1, name.text,
                    spec_version);
        append_xml("%s<vk_extension name=\"%s\" spec_version=\"%u\" />", listing.record_xml_lead,
                   xml_escaped(name).text, spec_version);
    }
    append_xml("%s</vk_extensions>", listing.close_xml_lead);
    return true;
}

}  // namespace

bool report_instance_extensions(VkInstance instance) {
    if (instance == VK_NULL_HANDLE || vulkan.vkEnumerateInstanceExtensionProperties == nullptr) {
        return false;
    }
    std::vector<VkExtensionProperties> extensions;
    return report_extensions(instance_listing, VK_NULL_HANDLE, extensions);
}

bool report_device_extensions(VkPhysicalDevice physical_device,
                              std::vector<VkExtensionProperties>* listed) {
    if (physical_device == VK_NULL_HANDLE ||
        vulkan.vkEnumerateDeviceExtensionProperties == nullptr) {
        return false;
    }
    std::vector<VkExtensionProperties> extensions;
    const bool written = report_extensions(device_listing, physical_device, extensions);
    if (listed != nullptr) {
        listed->swap(extensions);
    }
    return written;
}
