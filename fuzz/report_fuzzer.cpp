// libFuzzer target: one whole report run in process per input, against a driver whose every
// answer the input scripts. It aborts, so that libFuzzer keeps the input, unless both reports
// come out complete and the XML report is well-formed and valid against the report's schema, or,
// with "-json", the document parses, or, with "-labels", every label keeps Kubernetes' rules,
// or, with "-metrics", the exposition reads as the Prometheus text format.
//
// The input is read front to back; where it ends, every further byte reads as 0, which means
// "succeed" or "tell the truth". In order:
//   options          bit 0 "-a", bit 1 "-f", bit 2 "-xml", bit 3 "-noheaderfooter",
//                    bit 4 the loader library cannot be opened, bit 5 "-all", bit 6 "-json",
//                    bit 7 "-labels", or "-metrics" with bit 6 (where it wins over "-json")
//   missing          bit i drops entry point i of BRISOL_VULKAN_ENTRY_POINTS
//   result           instance creation
//   listing          the instance extensions: count result, fill result, count query's count,
//                    fill call's count
//   listing          the physical devices, the same four
//   byte             devices the driver holds (modulo 4)
//   extensions       the instance extensions: a byte count, then per extension its name (bytes
//                    up to a 0 byte or 256 bytes, the latter without a terminating NUL) and a
//                    32-bit spec version
//   per device       VkPhysicalDeviceProperties and VkPhysicalDeviceMemoryProperties byte for
//                    byte, a listing and extensions for the device extensions
// and, for "-all" only, after the devices:
//   complete         a 32-bit instance version, a 16-bit mask of the complete report's commands
//                    to drop (complete_commands), a count for the layers' fill call and one for
//                    each device group's device count
//   layers           a byte count, then per layer its VkLayerProperties byte for byte
//   per device       VkPhysicalDeviceFeatures and VkFormatProperties byte for byte, a byte count
//                    of queue families, each VkQueueFamilyProperties byte for byte, a count for
//                    the fill call, then up to 4 chained structures: a byte (0 ends the list)
//                    choosing one of the chained structures of the tables, and its bytes after
//                    sType and pNext
// and then, for the further parts of "-all":
//   further          3 more bytes of the mask of commands to drop (bits 16 to 39), a byte of
//                    instance extensions to add (bit 0 VK_EXT_headless_surface, bit 1
//                    VK_KHR_get_surface_capabilities2, bit 2 VK_KHR_surface_protected_capabilities,
//                    bit 3 VK_EXT_surface_maintenance1)
//                    and, per layer, its device extensions (extensions)
//   per device       a byte of device extensions to add (bit 0 VK_EXT_calibrated_timestamps, 1
//                    VK_KHR_fragment_shading_rate, 2 VK_EXT_sample_locations, 3
//                    VK_NV_cooperative_matrix, 4 the H.264 decode extensions, 5 VK_KHR_swapchain,
//                    6 VK_EXT_tooling_info), the further commands' result and fill call's count,
//                    the video profiles' subsamplings and bit depths (a byte each), the memory
//                    types of images (32 bits), VkSurfaceCapabilitiesKHR and the sample location
//                    grid byte for byte, then the tools, surface formats, present modes, present
//                    rectangles, time domains, shading rates, cooperative matrices, video
//                    formats and compatible present modes: each a byte count (modulo 8) and its
//                    records byte for byte
// A result is a byte: an index into known_results, 0xFF for the next four bytes taken as any
// 32-bit code, anything else VK_SUCCESS. A count is a byte: 0 for the truth, 0xFD for 2^32 - 1,
// 0xFE for 2^31, 0xFF for the next four bytes, anything else that value less one, modulo 32.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "app/run.h"
#include "fake/fake_driver.h"
#include "registry/registry.h"
#include "support.h"
#include "views/json.h"
#include "views/labels.h"
#include "views/metrics.h"
#include "vulkan/commands.h"
#include "vulkan/entry_points.h"

namespace {

struct Input {
    const uint8_t* at;
    size_t left;
};

uint8_t take_byte(Input& input) {
    if (input.left == 0) {
        return 0;
    }
    --input.left;
    return *input.at++;
}

uint32_t take_u32(Input& input) {
    uint32_t value = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        value |= static_cast<uint32_t>(take_byte(input)) << shift;
    }
    return value;
}

// Fills a record byte for byte; what the input no longer holds stays zero.
template <typename T>
void take_record(Input& input, T& record) {
    memset(&record, 0, sizeof record);
    const size_t length = input.left < sizeof record ? input.left : sizeof record;
    memcpy(&record, input.at, length);
    input.at += length;
    input.left -= length;
}

// Every kind of answer a command gives: success, VK_INCOMPLETE, the other positive codes and the
// errors.
const VkResult known_results[] = {
    VK_SUCCESS,
    VK_INCOMPLETE,
    VK_NOT_READY,
    VK_TIMEOUT,
    VK_EVENT_SET,
    VK_EVENT_RESET,
    VK_ERROR_OUT_OF_HOST_MEMORY,
    VK_ERROR_OUT_OF_DEVICE_MEMORY,
    VK_ERROR_INITIALIZATION_FAILED,
    VK_ERROR_DEVICE_LOST,
    VK_ERROR_LAYER_NOT_PRESENT,
    VK_ERROR_EXTENSION_NOT_PRESENT,
    VK_ERROR_INCOMPATIBLE_DRIVER,
    VK_ERROR_UNKNOWN,
};

VkResult take_result(Input& input) {
    const uint8_t code = take_byte(input);
    if (code < sizeof known_results / sizeof known_results[0]) {
        return known_results[code];
    }
    if (code == 0xFF) {
        return static_cast<VkResult>(static_cast<int32_t>(take_u32(input)));
    }
    return VK_SUCCESS;
}

int64_t take_count(Input& input) {
    const uint8_t code = take_byte(input);
    switch (code) {
        case 0:
            return -1;
        case 0xFD:
            return UINT32_MAX;
        case 0xFE:
            return INT32_MAX + int64_t{1};
        case 0xFF:
            return take_u32(input);
        default:
            return (code - 1) % 32;
    }
}

struct ListingScript {
    VkResult count_result;
    VkResult fill_result;
    int64_t query_count;
    int64_t fill_count;
};

// Beyond this a lie on both calls makes the program list that many empty records: a valid
// report, but one too slow to build and validate thousands of times a second.
constexpr int64_t most_believed_records = 32;

ListingScript take_listing(Input& input) {
    ListingScript script;
    script.count_result = take_result(input);
    script.fill_result = take_result(input);
    script.query_count = take_count(input);
    script.fill_count = take_count(input);
    if (script.query_count > most_believed_records && script.fill_count > most_believed_records) {
        script.fill_count = -1;
    }
    return script;
}

std::vector<VkExtensionProperties> take_extensions(Input& input) {
    std::vector<VkExtensionProperties> extensions(take_byte(input));
    for (VkExtensionProperties& extension : extensions) {
        size_t length = 0;
        while (length < sizeof extension.extensionName && input.left > 0) {
            const uint8_t byte = take_byte(input);
            if (byte == 0) {
                break;
            }
            extension.extensionName[length++] = static_cast<char>(byte);
        }
        extension.specVersion = take_u32(input);
    }
    return extensions;
}

// The commands the complete report asks vkGetInstanceProcAddr for, one bit each: the loader's
// version query, then the commands of the table in their order.
const char* const complete_commands[] = {"vkEnumerateInstanceVersion",
#define BRISOL_COMMAND_NAME(name, version, extension_name, instance_extension) #name,
                                         BRISOL_VULKAN_COMMANDS(BRISOL_COMMAND_NAME)
#undef BRISOL_COMMAND_NAME
};

void take_chain(Input& input, FakeDevice& device) {
    for (int i = 0; i < 4; ++i) {
        const uint8_t choice = take_byte(input);
        if (choice == 0) {
            return;
        }
        const StructureInfo& info = *chained_structures[(choice - 1u) % chained_structure_count];
        std::vector<unsigned char> structure(info.size);
        memcpy(structure.data(), &info.stype, sizeof info.stype);
        const size_t header = sizeof(VkBaseOutStructure);
        const size_t length = input.left < info.size - header ? input.left : info.size - header;
        memcpy(structure.data() + header, input.at, length);
        input.at += length;
        input.left -= length;
        device.chain.push_back(std::move(structure));
    }
}

// A byte count (modulo 8) of records, each byte for byte (sType included, as a driver writes it).
template <typename T>
std::vector<T> take_records(Input& input) {
    std::vector<T> records(take_byte(input) % 8);
    for (T& record : records) {
        take_record(input, record);
    }
    return records;
}

void add_extensions(std::vector<VkExtensionProperties>& list, uint8_t chosen,
                    const std::vector<std::vector<const char*>>& names) {
    for (size_t bit = 0; bit < names.size(); ++bit) {
        if ((chosen & (1u << bit)) != 0) {
            for (const char* name : names[bit]) {
                list.push_back(extension(name, 1));
            }
        }
    }
}

void take_further_answers(Input& input, FakeDriver& driver) {
    for (unsigned bit = 16; bit < 40; bit += 8) {
        const uint8_t dropped = take_byte(input);
        for (unsigned i = 0; i < 8; ++i) {
            if ((dropped & (1u << i)) != 0 &&
                bit + i < sizeof complete_commands / sizeof complete_commands[0]) {
                driver.missing_commands.emplace_back(complete_commands[bit + i]);
            }
        }
    }
    add_extensions(driver.instance_extensions, take_byte(input),
                   {{"VK_EXT_headless_surface"},
                    {"VK_KHR_get_surface_capabilities2"},
                    {"VK_KHR_surface_protected_capabilities"},
                    {"VK_EXT_surface_maintenance1"}});
    for (size_t i = 0; i < driver.layers.size(); ++i) {
        driver.layer_device_extensions.push_back(take_extensions(input));
    }
    for (FakeDevice& device : driver.devices) {
        add_extensions(
            device.extensions, take_byte(input),
            {{"VK_EXT_calibrated_timestamps"},
             {"VK_KHR_fragment_shading_rate"},
             {"VK_EXT_sample_locations"},
             {"VK_NV_cooperative_matrix"},
             {"VK_KHR_video_queue", "VK_KHR_video_decode_queue", "VK_KHR_video_decode_h264"},
             {"VK_KHR_swapchain"},
             {"VK_EXT_tooling_info"}});
        device.further_result = take_result(input);
        device.further_fill_count = take_count(input);
        device.video_subsamplings = take_byte(input);
        device.video_depths = take_byte(input);
        device.image_memory_types = take_u32(input);
        take_record(input, device.surface_capabilities);
        take_record(input, device.sample_location_grid);
        device.tools = take_records<VkPhysicalDeviceToolProperties>(input);
        device.surface_formats = take_records<VkSurfaceFormatKHR>(input);
        device.present_modes = take_records<uint32_t>(input);
        device.present_rectangles = take_records<VkRect2D>(input);
        device.time_domains = take_records<uint32_t>(input);
        device.shading_rates = take_records<VkPhysicalDeviceFragmentShadingRateKHR>(input);
        device.cooperative_matrices = take_records<VkCooperativeMatrixPropertiesNV>(input);
        device.video_formats = take_records<VkVideoFormatPropertiesKHR>(input);
        device.compatible_present_modes = take_records<uint32_t>(input);
    }
}

void take_complete_answers(Input& input, FakeDriver& driver) {
    driver.instance_version = take_u32(input);
    const uint32_t dropped = take_byte(input) | static_cast<uint32_t>(take_byte(input)) << 8;
    for (unsigned bit = 0; bit < 16; ++bit) {
        if ((dropped & (1u << bit)) != 0) {
            driver.missing_commands.emplace_back(complete_commands[bit]);
        }
    }
    driver.layer_fill_count = take_count(input);
    driver.group_device_count = take_count(input);
    driver.layers.resize(take_byte(input) % 8);
    for (VkLayerProperties& layer : driver.layers) {
        take_record(input, layer);
    }
    for (FakeDevice& device : driver.devices) {
        take_record(input, device.features);
        take_record(input, device.format_properties);
        device.queue_families.resize(take_byte(input) % 8);
        for (VkQueueFamilyProperties& family : device.queue_families) {
            take_record(input, family);
        }
        device.queue_family_fill_count = take_count(input);
        take_chain(input, device);
    }
    take_further_answers(input, driver);
}

struct RunScript {
    RunOptions options;
    bool loader_missing = false;
    uint8_t missing_entry_points = 0;
    FakeDriver driver;
};

RunScript script;

RunScript take_script(Input& input) {
    RunScript taken;
    const uint8_t options = take_byte(input);
    std::vector<const char*> argv = {"brisol"};
    const char* const option_texts[] = {"-a",    "-f",   "-xml", "-noheaderfooter",
                                        nullptr, "-all", "-json"};
    for (unsigned bit = 0; bit < 7; ++bit) {
        if ((options & (1u << bit)) != 0 && option_texts[bit] != nullptr) {
            argv.push_back(option_texts[bit]);
        }
    }
    if ((options & 0x80) != 0) {
        argv.push_back((options & 0x40) != 0 ? "-metrics" : "-labels");
    }
    taken.options = parse_options(static_cast<int>(argv.size()), argv.data());
    taken.loader_missing = (options & 0x10) != 0;
    taken.missing_entry_points = take_byte(input);

    FakeDriver& driver = taken.driver;
    driver.create_result = take_result(input);
    const ListingScript instance_listing = take_listing(input);
    driver.instance_extension_count_result = instance_listing.count_result;
    driver.instance_extension_fill_result = instance_listing.fill_result;
    driver.instance_extension_query_count = instance_listing.query_count;
    driver.instance_extension_fill_count = instance_listing.fill_count;
    const ListingScript device_listing = take_listing(input);
    driver.device_count_result = device_listing.count_result;
    driver.device_fill_result = device_listing.fill_result;
    driver.device_query_count = device_listing.query_count;
    driver.device_fill_count = device_listing.fill_count;
    driver.devices.resize(take_byte(input) % 4);
    driver.instance_extensions = take_extensions(input);
    for (FakeDevice& device : driver.devices) {
        take_record(input, device.properties);
        take_record(input, device.memory);
        const ListingScript listing = take_listing(input);
        device.extension_count_result = listing.count_result;
        device.extension_fill_result = listing.fill_result;
        device.extension_query_count = listing.query_count;
        device.extension_fill_count = listing.fill_count;
        device.extensions = take_extensions(input);
    }
    if (taken.options.complete) {
        take_complete_answers(input, driver);
    }
    return taken;
}

int scripted_library;

ModuleHandle bind_scripted_driver() {
    if (script.loader_missing) {
        return bind_vulkan_library("/nonexistent/libvulkan.so.1");
    }
    install_fake_driver();
    fake = script.driver;
    unsigned bit = 0;
#define BRISOL_DROP_ENTRY_POINT(name)                       \
    if ((script.missing_entry_points & (1u << bit)) != 0) { \
        vulkan.name = nullptr;                              \
    }                                                       \
    ++bit;
    BRISOL_VULKAN_ENTRY_POINTS(BRISOL_DROP_ENTRY_POINT)
#undef BRISOL_DROP_ENTRY_POINT
    return &scripted_library;
}

void release_scripted_driver(ModuleHandle) {}

const VulkanLoader scripted_loader = {bind_scripted_driver, release_scripted_driver};

[[noreturn]] void fail(const char* what, const std::string& report) {
    fprintf(stderr, "brisol_fuzz: %s\n---- report ----\n%s\n---- end ----\n", what, report.c_str());
    abort();
}

bool starts_with(const std::string& text, const std::string& start) {
    return text.compare(0, start.size(), start) == 0;
}

bool ends_with(const std::string& text, const std::string& end) {
    return text.size() >= end.size() &&
           text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// The document parses, and has the schema's two parts and the program's own.
void check_json_document(const ReportStream& printed) {
    if (&printed != &json_report) {
        fail("the run returned another report than the JSON document", printed);
    }
    const nlohmann::json document = nlohmann::json::parse(printed, nullptr, false);
    if (document.is_discarded() || !document.is_object() || !document.contains("capabilities") ||
        !document.contains("profiles") || !document.contains("brisol")) {
        fail("the JSON document does not parse or lacks a part", printed);
    }
}

void check_driver_use(const std::string& report) {
    if (fake.unknown_device_calls != 0) {
        fail("a device command was given a handle the driver never gave out", report);
    }
    const bool destroyable = vulkan.vkDestroyInstance != nullptr;
    if (fake.instances_destroyed != (destroyable ? fake.instances_created : 0)) {
        fail("the instance was not destroyed exactly once", report);
    }
    // What the further parts make is destroyed once it has told what it can.
    const bool surfaces_destroyable =
        std::find(fake.missing_commands.begin(), fake.missing_commands.end(),
                  "vkDestroySurfaceKHR") == fake.missing_commands.end();
    if (fake.surfaces_destroyed != (surfaces_destroyable ? fake.surfaces_made : 0) ||
        fake.logical_devices_destroyed != fake.logical_devices_made ||
        fake.images_destroyed != fake.images_made) {
        fail("a surface, logical device or image was not destroyed", report);
    }
}

// The fleet views: every label keeps the rules, the exposition reads and says whether Vulkan is
// up, and the reports, which they do not print, are left as they were (empty).
void check_fleet_view(const ReportStream& printed) {
    const bool labels = script.options.format == OutputFormat::Labels;
    if (&printed != (labels ? &labels_report : &metrics_report)) {
        fail("the run returned another output than the fleet view asked for", printed);
    }
    if (!text_report.empty() || !xml_report.empty()) {
        fail("a fleet view left its errors in the reports", text_report + xml_report);
    }
    std::string faults = labels ? label_file_faults(printed) : "";
    if (!labels) {
        samples_of(printed, faults);
        if (count_of(printed, "\nbrisol_vulkan_up ") != 1) {
            fail("the exposition does not say brisol_vulkan_up once", printed);
        }
    }
    if (!faults.empty()) {
        fail(("the fleet view breaks its format: " + faults).c_str(), printed);
    }
}

void check_reports(const ReportStream& printed) {
    const RunOptions& options = script.options;
    if (options.format == OutputFormat::Labels || options.format == OutputFormat::Metrics) {
        check_fleet_view(printed);
        if (!script.loader_missing) {
            check_driver_use(printed);
        }
        return;
    }
    if (options.format == OutputFormat::Json) {
        check_json_document(printed);
        if (!script.loader_missing) {
            check_driver_use(printed);
        }
        return;
    }
    const bool xml = options.format == OutputFormat::Xml;
    if (&printed != (xml ? &xml_report : &text_report)) {
        fail("the run returned the other report", printed);
    }
    if (!starts_with(xml_report, xml_prolog) || !ends_with(xml_report, xml_epilogue)) {
        fail("the XML report is not framed by its prolog and epilogue", xml_report);
    }
    const std::string error = xml_error(xml_report);
    if (!error.empty()) {
        fail(("the XML report is not valid: " + error).c_str(), xml_report);
    }
    if (!xml) {
        const std::string start = options.header_footer ? text_header : "";
        const std::string end = options.header_footer ? text_footer : "\n";
        if (!starts_with(text_report, start) || !ends_with(text_report, end)) {
            fail("the text report does not end as its options say", text_report);
        }
    }
    // Every error goes to both reports (the complete report's only to the printed one); names in
    // the text report are raw and may repeat it.
    if ((!options.complete || !xml) &&
        count_of(text_report, "\n [ERROR] ") < count_of(xml_report, "\n<error msg=\"")) {
        fail("an error reached the XML report only", text_report);
    }
    if (script.loader_missing) {
        const std::string lost =
            "\n<error msg=\"Unable to load Vulkan core lib (probably an incompatible driver)\" />";
        if (xml_report != xml_prolog + lost + xml_epilogue) {
            fail("a report without a loader holds more than its error", xml_report);
        }
        return;
    }
    // Names in the XML report are escaped, so these tags can only be the program's own; in the
    // text report a name may repeat a heading. The complete report writes the printed report
    // alone.
    const size_t devices = count_of(xml_report, "<vk_device ");
    if (options.complete && xml &&
        count_of(xml_report, "\n\t\t\t</device_details>\n\t\t</vk_device>") != devices) {
        fail("a device of the complete report lacks its details", xml_report);
    }
    if (options.complete && !xml && count_of(text_report, "\n- Properties:") < devices) {
        fail("a device of the complete report lacks its details", text_report);
    }
    check_driver_use(xml_report);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Input input = {data, size};
    script = take_script(input);
    reset_reports();
    const ReportStream& printed = build_report(script.options, scripted_loader);
    check_reports(printed);
    return 0;
}
