#include "sections/devices.h"

#include <cstdint>
#include <cstring>
#include <vector>

#include "report/report.h"
#include "sections/extensions.h"
#include "sections/limits.h"
#include "vulkan/entry_points.h"
#include "vulkan/lists.h"

namespace {

constexpr uint32_t nvidia_vendor_id = 0x10DE;

// Indexed by VkPhysicalDeviceType; a value outside the table writes no type at all.
const char* const device_type_names[] = {
    "VK_PHYSICAL_DEVICE_TYPE_OTHER",        "VK_PHYSICAL_DEVICE_TYPE_INTEGRATED_GPU",
    "VK_PHYSICAL_DEVICE_TYPE_DISCRETE_GPU", "VK_PHYSICAL_DEVICE_TYPE_VIRTUAL_GPU",
    "VK_PHYSICAL_DEVICE_TYPE_CPU",
};
static_assert(sizeof device_type_names / sizeof device_type_names[0] ==
                  VK_PHYSICAL_DEVICE_TYPE_CPU + 1,
              "one name per Vulkan 1.0 device type");

// Writes the device's heading and the attributes of its start tag, and closes the tag.
void report_device_identity(uint32_t number, const VkPhysicalDeviceProperties& properties) {
    const VulkanName name = vulkan_name(properties.deviceName);
    append_text("\n\n[ Device %u ]--------------------------------------", number);
    append_text("\n- Device name: %s", name.text);
    append_text("\n- DeviceID: %4X-%4X", properties.vendorID, properties.deviceID);
    append_xml("\n\n\t\t<vk_device name=\"%s\"", xml_escaped(name).text);
    append_xml(" vendor_id=\"%u\" device_id=\"%u\"", properties.vendorID, properties.deviceID);
    append_text("\n- Raw driver version: %u", properties.driverVersion);
    append_xml(" driver_version=\"%u\"", properties.driverVersion);
    // Only NVIDIA's driver version has a known encoding; other vendors' are left raw.
    if (properties.vendorID == nvidia_vendor_id) {
        const uint32_t major = properties.driverVersion >> 22;
        append_text("\n- NVIDIA driver version: R%u.x", major);
        append_xml(" nvidia_driver_version_major=\"%u\"", major);
    }
    const uint32_t api = properties.apiVersion;
    append_text("\n- Vulkan API version: %u.%u.%u", api >> 22, (api >> 12) & 0x3FF, api & 0xFFF);
    append_xml(" api_ver_major=\"%u\" api_ver_minor=\"%u\" api_ver_patch=\"%u\"", api >> 22,
               (api >> 12) & 0x3FF, api & 0xFFF);
    // A driver may store any 32 bits here, and C++ forbids loading an enumeration that holds a
    // value outside its range, so the member is read as the number it is.
    uint32_t type = 0;
    static_assert(sizeof type == sizeof properties.deviceType, "device types are 32 bits");
    memcpy(&type, &properties.deviceType, sizeof type);
    if (type < sizeof device_type_names / sizeof device_type_names[0]) {
        append_text("\n- Device type: %s", device_type_names[type]);
        append_xml("\n\t\t\t\tdevice_type=\"%s\"", device_type_names[type]);
    }
    append_xml(" >");
}

void report_device(uint32_t number, VkPhysicalDevice device, bool detailed,
                   const DeviceAppendix& appendix) {
    // A driver that writes nothing leaves a zeroed record rather than stack garbage.
    VkPhysicalDeviceProperties properties{};
    vulkan.vkGetPhysicalDeviceProperties(device, &properties);
    report_device_identity(number, properties);
    report_memory_heaps(device);
    std::vector<VkExtensionProperties> extensions;
    const bool listed = report_device_extensions(device, &extensions);
    if (detailed) {
        report_device_limits(properties.limits);
    }
    if (appendix.write != nullptr) {
        appendix.write(appendix.context, device, listed ? &extensions : nullptr);
    }
    append_xml("\n\t\t</vk_device>");
}

}  // namespace

bool report_physical_devices(VkInstance instance, bool detailed, DeviceAppendix appendix) {
    if (instance == VK_NULL_HANDLE || vulkan.vkEnumeratePhysicalDevices == nullptr ||
        vulkan.vkGetPhysicalDeviceProperties == nullptr) {
        return false;
    }
    std::vector<VkPhysicalDevice> devices;
    switch (read_physical_devices(instance, devices)) {
        case ListResult::CountFailed:
            report_error("unable to list the physical devices");
            return false;
        case ListResult::FillFailed:
            // VK_INCOMPLETE means devices appeared between the calls: reported, not retried.
            report_error("unable to read the physical devices");
            return false;
        case ListResult::Empty:
            return false;
        case ListResult::Read:
            break;
    }
    const uint32_t count = static_cast<uint32_t>(devices.size());
    append_text("\n\n# Vulkan devices: %u", count);
    append_xml("\n\n\t<vk_devices num_devices=\"%u\" >", count);
    for (uint32_t i = 0; i < count; ++i) {
        // The count above stays the driver's; the error says the listing stops short of it.
        if (reports_are_full()) {
            report_error("the report reached its size limit: the remaining devices were left out");
            break;
        }
        report_device(i + 1, devices[i], detailed, appendix);
    }
    append_xml("\n\n\t</vk_devices>");
    append_text("\n");
    append_xml("\n");
    return true;
}

bool report_memory_heaps(VkPhysicalDevice physical_device) {
    if (physical_device == VK_NULL_HANDLE ||
        vulkan.vkGetPhysicalDeviceMemoryProperties == nullptr) {
        return false;
    }
    VkPhysicalDeviceMemoryProperties memory{};
    vulkan.vkGetPhysicalDeviceMemoryProperties(physical_device, &memory);
    // The heap array has room for VK_MAX_MEMORY_HEAPS; a larger count is not believed.
    uint32_t heap_count = memory.memoryHeapCount;
    if (heap_count > VK_MAX_MEMORY_HEAPS) {
        heap_count = VK_MAX_MEMORY_HEAPS;
    }
    append_text("\n- Memory heap count: %u", heap_count);
    append_xml("\n\t\t\t<vk_memory heap_count=\"%u\" >", heap_count);
    for (uint32_t h = 0; h < heap_count; ++h) {
        const unsigned long long mebibytes = memory.memoryHeaps[h].size >> 20;
        append_text("\n\theap %u - size: %llu MB", h, mebibytes);
        append_xml("\n\t\t\t\t<memory_heap index=\"%u\" size=\"%llu\" />", h, mebibytes);
    }
    append_xml("\n\t\t\t</vk_memory>");
    return true;
}
