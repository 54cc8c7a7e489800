// The sections driven in process through the fake driver placed in the entry-point table.
#include <gtest/gtest.h>

#include <cfloat>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>

#include "fake/fake_driver.h"
#include "sections/devices.h"
#include "sections/extensions.h"
#include "sections/limits.h"
#include "support.h"
#include "vulkan/entry_points.h"
#include "vulkan/instance.h"

namespace {

class Sections : public ::testing::Test {
protected:
    void SetUp() override {
        install_fake_driver();
        instance = create_vulkan_instance();
        ASSERT_NE(instance, VK_NULL_HANDLE);
    }
    VkInstance instance = VK_NULL_HANDLE;
};

// The lines of a listing whose text holds one of the names, in listing order.
std::string lines_naming(const std::string& listing, const std::vector<std::string>& names) {
    std::string picked;
    size_t start = 0;
    while (start < listing.size()) {
        size_t end = listing.find('\n', start + 1);
        if (end == std::string::npos) {
            end = listing.size();
        }
        const std::string line = listing.substr(start, end - start);
        for (const std::string& name : names) {
            if (line.find("\t" + name + ":") != std::string::npos ||
                line.find("\"" + name + "\"") != std::string::npos) {
                picked += line;
            }
        }
        start = end;
    }
    return picked;
}

}  // namespace

TEST_F(Sections, WorkedDeviceExampleIsByteExact) {
    const StreamMark mark;
    EXPECT_TRUE(report_physical_devices(instance, false));
    EXPECT_EQ(mark.new_text(), sample_devices_text(""));
    EXPECT_EQ(mark.new_xml(), sample_devices_xml(""));
}

TEST_F(Sections, WorkedLimitsExampleIsByteExact) {
    const StreamMark mark;
    report_device_limits(fake.devices[0].properties.limits);
    const std::vector<std::string> names = {
        "maxImageDimension1D", "bufferImageGranularity",       "maxComputeWorkGroupCount",
        "maxSamplerLodBias",   "maxViewportDimensions",        "viewportBoundsRange",
        "minTexelOffset",      "framebufferColorSampleCounts", "timestampComputeAndGraphics",
        "nonCoherentAtomSize"};
    EXPECT_EQ(lines_naming(mark.new_text(), names),
              "\n\tmaxImageDimension1D: 16384"
              "\n\tbufferImageGranularity: 1024"
              "\n\tmaxComputeWorkGroupCount: [65535; 65535; 65535]"
              "\n\tmaxSamplerLodBias: 15.000000"
              "\n\tmaxViewportDimensions: [16384; 16384]"
              "\n\tviewportBoundsRange: [-32768.000000 ; 32767.000000]"
              "\n\tminTexelOffset: 4294967288"
              "\n\tframebufferColorSampleCounts: 15"
              "\n\ttimestampComputeAndGraphics: 1"
              "\n\tnonCoherentAtomSize: 64");
    EXPECT_EQ(
        lines_naming(mark.new_xml(), names),
        "\n\t\t\t\t<limit name=\"maxImageDimension1D\" x=\"16384\" />"
        "\n\t\t\t\t<limit name=\"bufferImageGranularity\" x=\"1024\" />"
        "\n\t\t\t\t<limit name=\"maxComputeWorkGroupCount\" x=\"65535\" y=\"65535\" z=\"65535\" />"
        "\n\t\t\t\t<limit name=\"maxSamplerLodBias\" x=\"15.000000\" />"
        "\n\t\t\t\t<limit name=\"maxViewportDimensions\" x=\"16384\" y=\"16384\" />"
        "\n\t\t\t\t<limit name=\"viewportBoundsRange\" x=\"-32768.000000\" y=\"32767.000000\" />"
        "\n\t\t\t\t<limit name=\"minTexelOffset\" x=\"4294967288\" />"
        "\n\t\t\t\t<limit name=\"framebufferColorSampleCounts\" x=\"15\" />"
        "\n\t\t\t\t<limit name=\"timestampComputeAndGraphics\" x=\"1\" />"
        "\n\t\t\t\t<limit name=\"nonCoherentAtomSize\" x=\"64\" />");
    EXPECT_EQ(mark.new_text().rfind("\n- Device limits:", 0), 0u);
    EXPECT_EQ(mark.new_xml().rfind("\n\t\t\t<limits>", 0), 0u);
    EXPECT_EQ(mark.new_xml().substr(mark.new_xml().size() - 13), "\n\t\t\t</limits>");
}

// Every row shows its own member: each 32-bit word of the record gets a distinct value.
TEST_F(Sections, EveryLimitRowShowsItsOwnMember) {
    VkPhysicalDeviceLimits limits{};
    uint32_t words[sizeof limits / 4];
    for (uint32_t i = 0; i < sizeof limits / 4; ++i) {
        words[i] = 1000 + i;
    }
    memcpy(&limits, words, sizeof limits);
    limits.maxSamplerLodBias = 2.5f;
    limits.minMemoryMapAlignment = (size_t{1} << 32) + 64;
    const StreamMark mark;
    report_device_limits(limits);
    const std::string text = mark.new_text();
    EXPECT_EQ(count_of(text, "\n\t"), device_limit_row_count);
    EXPECT_EQ(count_of(mark.new_xml(), "<limit name="), device_limit_row_count);
    EXPECT_EQ(count_of(text, "maxPerStageDescriptorStorageBuffers"), 0u);
    EXPECT_NE(text.find("\n\tmaxPerStageDescriptorSampledImages: " +
                        std::to_string(limits.maxPerStageDescriptorSampledImages) + "\n"),
              std::string::npos);
    EXPECT_NE(text.find("\n\tmaxImageDimension3D: 1002\n"), std::string::npos);
    EXPECT_NE(text.find("\n\tmaxSamplerLodBias: 2.500000\n"), std::string::npos);
    EXPECT_NE(text.find("\n\tmaxComputeWorkGroupSize: [" +
                        std::to_string(limits.maxComputeWorkGroupSize[0]) + "; " +
                        std::to_string(limits.maxComputeWorkGroupSize[1]) + "; " +
                        std::to_string(limits.maxComputeWorkGroupSize[2]) + "]"),
              std::string::npos);
    // Written whole, not cut to its low 32 bits (which would read 64).
    EXPECT_NE(text.find("\n\tminMemoryMapAlignment: 4294967360\n"), std::string::npos);
    EXPECT_NE(mark.new_xml().find("<limit name=\"minMemoryMapAlignment\" x=\"4294967360\" />"),
              std::string::npos);
    EXPECT_NE(text.find("\n\tnonCoherentAtomSize: " + std::to_string(limits.nonCoherentAtomSize)),
              std::string::npos);
}

TEST_F(Sections, DetailedDevicesCarryTheirLimits) {
    fake.devices.push_back(sample_device());
    const StreamMark mark;
    report_physical_devices(instance, true);
    EXPECT_EQ(count_of(mark.new_xml(), "<limit name="), 2 * device_limit_row_count);
    EXPECT_EQ(count_of(mark.new_xml(), "\n\t\t\t</vk_extensions>\n\t\t\t<limits>"), 2u);
    EXPECT_EQ(count_of(mark.new_text(), "(spec version: 68)\n- Device limits:"), 2u);
    EXPECT_NE(mark.new_text().find("nonCoherentAtomSize: 64\n\n[ Device 2 ]"), std::string::npos);
}

TEST_F(Sections, DeviceIdentityValues) {
    struct Case {
        const char* what;
        uint32_t vendor, device, driver, api;
        uint32_t type;
        std::string text;  // expected inside the text report
        std::string xml;   // expected inside the XML report
    };
    const Case cases[] = {
        {"vendor wider than 16 bits", 0x10005, 0, 1, 0, 4, "- DeviceID: 10005-   0",
         "vendor_id=\"65541\" device_id=\"0\""},
        {"device ID above 2^31 stays unsigned", 0x13B5, 0xac740000u, 1, 0, 1,
         "- DeviceID: 13B5-AC740000", "vendor_id=\"5045\" device_id=\"2893283328\""},
        {"largest NVIDIA driver", 4318, 1, 4294967295u, 4294967295u, 2,
         "\n- NVIDIA driver version: R1023.x\n- Vulkan API version: 1023.1023.4095",
         "nvidia_driver_version_major=\"1023\" api_ver_major=\"1023\" api_ver_minor=\"1023\" "
         "api_ver_patch=\"4095\""},
        {"version 1.1.126", 0x1002, 1, 7, 4198526, 2, "- Vulkan API version: 1.1.126",
         "driver_version=\"7\" api_ver_major=\"1\" api_ver_minor=\"1\" api_ver_patch=\"126\"\n"},
        {"unknown device type", 0x1002, 1, 7, 4198526, 5,
         "- Vulkan API version: 1.1.126\n- Memory heap count",
         "api_ver_patch=\"126\" >\n\t\t\t<vk_memory"},
        {"type other", 0x1002, 1, 7, 0, 0, "- Device type: VK_PHYSICAL_DEVICE_TYPE_OTHER",
         "\n\t\t\t\tdevice_type=\"VK_PHYSICAL_DEVICE_TYPE_OTHER\" >"},
        {"virtual GPU", 0x1002, 1, 7, 0, 3, "- Device type: VK_PHYSICAL_DEVICE_TYPE_VIRTUAL_GPU",
         "\n\t\t\t\tdevice_type=\"VK_PHYSICAL_DEVICE_TYPE_VIRTUAL_GPU\" >"},
        {"integrated GPU", 0x8086, 1, 7, 0, 1,
         "- Device type: VK_PHYSICAL_DEVICE_TYPE_INTEGRATED_GPU",
         "\n\t\t\t\tdevice_type=\"VK_PHYSICAL_DEVICE_TYPE_INTEGRATED_GPU\" >"},
        // Past the enumeration's range, which loading it as an enumeration does not survive
        // under the undefined-behaviour sanitizer.
        {"type with the top bit set", 0x1002, 1, 7, 4198526, 0xFE01F239u,
         "- Vulkan API version: 1.1.126\n- Memory heap count",
         "api_ver_patch=\"126\" >\n\t\t\t<vk_memory"},
    };
    for (const Case& c : cases) {
        install_fake_driver();
        VkPhysicalDeviceProperties& p = fake.devices[0].properties;
        p.vendorID = c.vendor;
        p.deviceID = c.device;
        p.driverVersion = c.driver;
        p.apiVersion = c.api;
        // Stored as a driver stores it: a cast to the enumeration could not hold every value.
        memcpy(&p.deviceType, &c.type, sizeof p.deviceType);
        const StreamMark mark;
        report_physical_devices(instance, false);
        EXPECT_NE(mark.new_text().find(c.text), std::string::npos) << c.what << mark.new_text();
        EXPECT_NE(mark.new_xml().find(c.xml), std::string::npos) << c.what << mark.new_xml();
        EXPECT_EQ(count_of(mark.new_text(), "NVIDIA"), c.vendor == 4318 ? 1u : 0u) << c.what;
        EXPECT_EQ(count_of(mark.new_xml(), "nvidia_driver_version_major"),
                  c.vendor == 4318 ? 1u : 0u)
            << c.what;
    }
}

TEST_F(Sections, MemoryHeaps) {
    struct Case {
        uint32_t count;
        VkDeviceSize first_size;
        std::string text;
        std::string xml;
    };
    const Case cases[] = {
        {0, 0, "\n- Memory heap count: 0",
         "\n\t\t\t<vk_memory heap_count=\"0\" >\n\t\t\t</vk_memory>"},
        {1, 268435455, "\n- Memory heap count: 1\n\theap 0 - size: 255 MB",
         "\n\t\t\t<vk_memory heap_count=\"1\" >\n\t\t\t\t<memory_heap index=\"0\" size=\"255\" "
         "/>\n\t\t\t</vk_memory>"},
        {1, 1048575, "\n\theap 0 - size: 0 MB", "size=\"0\" />"},
        {1, UINT64_MAX, "\n\theap 0 - size: 17592186044415 MB", "size=\"17592186044415\" />"},
        // A count past the array is cut to the array's 16 heaps, in the count and the listing.
        {4000000000u, 1 << 20, "\n- Memory heap count: 16\n\theap 0 - size: 1 MB",
         "<vk_memory heap_count=\"16\" >"},
    };
    for (const Case& c : cases) {
        install_fake_driver();
        fake.devices[0].memory.memoryHeapCount = c.count;
        fake.devices[0].memory.memoryHeaps[0].size = c.first_size;
        const StreamMark mark;
        EXPECT_TRUE(report_memory_heaps(reinterpret_cast<VkPhysicalDevice>(&fake.devices[0])));
        EXPECT_NE(mark.new_text().find(c.text), std::string::npos) << mark.new_text();
        EXPECT_NE(mark.new_xml().find(c.xml), std::string::npos) << mark.new_xml();
        EXPECT_EQ(count_of(mark.new_xml(), "<memory_heap "), c.count > 16 ? 16u : c.count);
    }
    vulkan.vkGetPhysicalDeviceMemoryProperties = nullptr;
    const StreamMark mark;
    EXPECT_FALSE(report_memory_heaps(reinterpret_cast<VkPhysicalDevice>(&fake.devices[0])));
    EXPECT_FALSE(report_memory_heaps(VK_NULL_HANDLE));
    EXPECT_EQ(mark.new_text() + mark.new_xml(), "");
}

TEST_F(Sections, DeviceEnumerationOutcomes) {
    struct Case {
        const char* what;
        VkResult count_result, fill_result;
        int64_t fill_count;
        size_t devices;
        bool written;
        std::string text;          // the whole text the section writes, or its start
        int64_t query_count = -1;  // what the count query answers, when not the truth
    };
    const Case cases[] = {
        {"no device, success", VK_SUCCESS, VK_SUCCESS, -1, 0, false, ""},
        {"no device, loader error", VK_ERROR_INITIALIZATION_FAILED, VK_SUCCESS, -1, 0, false,
         "\n [ERROR] unable to list the physical devices"},
        {"count query incomplete", VK_INCOMPLETE, VK_SUCCESS, -1, 1, false,
         "\n [ERROR] unable to list the physical devices"},
        {"fill fails", VK_SUCCESS, VK_ERROR_DEVICE_LOST, -1, 1, false,
         "\n [ERROR] unable to read the physical devices"},
        {"fill incomplete", VK_SUCCESS, VK_INCOMPLETE, -1, 2, false,
         "\n [ERROR] unable to read the physical devices"},
        {"fewer on the fill", VK_SUCCESS, VK_SUCCESS, 1, 2, true, "\n\n# Vulkan devices: 1\n"},
        {"none on the fill", VK_SUCCESS, VK_SUCCESS, 0, 1, true, "\n\n# Vulkan devices: 0\n"},
        {"more on the fill than room", VK_SUCCESS, VK_SUCCESS, 1000, 2, true,
         "\n\n# Vulkan devices: 2\n"},
        // A count near 2^32 once asked for 32 GiB of handles; the room offered is bounded.
        {"count query answers 2^32 - 1", VK_SUCCESS, VK_SUCCESS, -1, 2, true,
         "\n\n# Vulkan devices: 2\n", UINT32_MAX},
        // Handles the fill call claims but never wrote stay null: they are no devices, and a
        // loader would dereference them.
        {"fill claims handles it did not write", VK_SUCCESS, VK_SUCCESS, 3, 1, true,
         "\n\n# Vulkan devices: 1\n\n[ Device 1 ]", 3},
    };
    for (const Case& c : cases) {
        install_fake_driver();
        fake.devices.resize(c.devices, sample_device());
        fake.device_count_result = c.count_result;
        fake.device_fill_result = c.fill_result;
        fake.device_query_count = c.query_count;
        fake.device_fill_count = c.fill_count;
        const StreamMark mark;
        EXPECT_EQ(report_physical_devices(instance, false), c.written) << c.what;
        EXPECT_EQ(mark.new_text().substr(0, c.text.size()), c.text) << c.what;
        EXPECT_EQ(fake.unknown_device_calls, 0) << c.what;
        if (!c.written) {
            EXPECT_EQ(mark.new_text(), c.text) << c.what;
            EXPECT_EQ(count_of(mark.new_xml(), "vk_devices"), 0u) << c.what;
        }
    }
    // With a count of 0 after the fill the element is still opened and closed.
    EXPECT_EQ(count_of(xml_report, "\n\n\t<vk_devices num_devices=\"0\" >\n\n\t</vk_devices>\n"),
              1u);
}

TEST_F(Sections, DeviceGuardsWriteNothing) {
    const StreamMark mark;
    EXPECT_FALSE(report_physical_devices(VK_NULL_HANDLE, true));
    vulkan.vkGetPhysicalDeviceProperties = nullptr;
    EXPECT_FALSE(report_physical_devices(instance, true));
    install_fake_driver();
    vulkan.vkEnumeratePhysicalDevices = nullptr;
    EXPECT_FALSE(report_physical_devices(instance, true));
    EXPECT_EQ(mark.new_text() + mark.new_xml(), "");
}

TEST_F(Sections, MissingOptionalCommandsDropOnlyTheirBlocks) {
    vulkan.vkGetPhysicalDeviceMemoryProperties = nullptr;
    vulkan.vkEnumerateDeviceExtensionProperties = nullptr;
    const StreamMark mark;
    EXPECT_TRUE(report_physical_devices(instance, false));
    EXPECT_NE(mark.new_text().find("DISCRETE_GPU\n"), std::string::npos);
    EXPECT_NE(mark.new_xml().find("DISCRETE_GPU\" >\n\t\t</vk_device>"), std::string::npos);
}

TEST_F(Sections, HostileDeviceNames) {
    char* name = fake.devices[0].properties.deviceName;
    // No NUL anywhere in the array: the name ends with the array.
    memset(name, 'N', VK_MAX_PHYSICAL_DEVICE_NAME_SIZE);
    StreamMark mark;
    report_physical_devices(instance, false);
    EXPECT_NE(mark.new_text().find("- Device name: " + std::string(256, 'N') + "\n"),
              std::string::npos);
    EXPECT_NE(mark.new_xml().find("<vk_device name=\"" + std::string(256, 'N') + "\" vendor_id"),
              std::string::npos);

    strcpy(name, "R&D <GPU> \"x\" a=\"b\"\t\x01");
    fake.devices[0].extensions = {extension("VK_<&>\"", 1)};
    mark = StreamMark();
    report_physical_devices(instance, false);
    EXPECT_NE(mark.new_text().find("- Device name: R&D <GPU> \"x\" a=\"b\"\t\x01\n"),
              std::string::npos);
    EXPECT_NE(mark.new_text().find("\t1/ VK_<&>\" (spec version: 1)"), std::string::npos);
    EXPECT_NE(mark.new_xml().find("<vk_device name=\"R&amp;D &lt;GPU&gt; &quot;x&quot; "
                                  "a=&quot;b&quot;&#9;?\" vendor_id"),
              std::string::npos);
    EXPECT_NE(mark.new_xml().find("<vk_extension name=\"VK_&lt;&amp;&gt;&quot;\" "),
              std::string::npos);
    // The devices section stands inside the instance element in a whole report.
    const std::string document =
        xml_prolog + "\n<vk_instance>" + mark.new_xml() + "\n</vk_instance>" + xml_epilogue;
    EXPECT_EQ(xml_error(document), "");
}

TEST_F(Sections, ExtensionListings) {
    struct Case {
        const char* what;
        bool device;
        size_t available;
        VkResult count_result, fill_result;
        int64_t fill_count;
        bool written;
        std::string text;
        std::string xml;
        int64_t query_count = -1;  // what the count query answers, when not the truth
    };
    const Case cases[] = {
        {"instance, none", false, 0, VK_SUCCESS, VK_SUCCESS, -1, true,
         "\n - # instance extensions : 0", "\n\n\t<vk_extensions num_extensions=\"0\" />"},
        {"device, none", true, 0, VK_SUCCESS, VK_SUCCESS, -1, true, "\n- # device extensions: 0",
         "\n\t\t\t<vk_extensions num_extensions=\"0\" />"},
        {"instance, three", false, 3, VK_SUCCESS, VK_SUCCESS, -1, true,
         "\nInstance extensions: 3\n- 1/ VK_EXT_0 (spec version: 1)\n- 2/ VK_EXT_1 (spec version: "
         "2)\n- 3/ VK_EXT_2 (spec version: 3)",
         "\n\n\t<vk_extensions num_extensions=\"3\" >"
         "\n\t\t<vk_extension name=\"VK_EXT_0\" spec_version=\"1\" />"
         "\n\t\t<vk_extension name=\"VK_EXT_1\" spec_version=\"2\" />"
         "\n\t\t<vk_extension name=\"VK_EXT_2\" spec_version=\"3\" />"
         "\n\t</vk_extensions>"},
        {"device, two", true, 2, VK_SUCCESS, VK_SUCCESS, -1, true,
         "\n- Device extensions: 2\n\t1/ VK_EXT_0 (spec version: 1)\n\t2/ VK_EXT_1 (spec version: "
         "2)",
         "\n\t\t\t<vk_extensions num_extensions=\"2\" >"
         "\n\t\t\t\t<vk_extension name=\"VK_EXT_0\" spec_version=\"1\" />"
         "\n\t\t\t\t<vk_extension name=\"VK_EXT_1\" spec_version=\"2\" />"
         "\n\t\t\t</vk_extensions>"},
        {"instance, count fails", false, 3, VK_ERROR_OUT_OF_HOST_MEMORY, VK_SUCCESS, -1, false,
         "\n [ERROR] unable to list the instance extensions",
         "\n<error msg=\"unable to list the instance extensions\" />"},
        {"device, count incomplete", true, 3, VK_INCOMPLETE, VK_SUCCESS, -1, false,
         "\n [ERROR] unable to list the device extensions",
         "\n<error msg=\"unable to list the device extensions\" />"},
        {"instance, fill incomplete", false, 3, VK_SUCCESS, VK_INCOMPLETE, -1, false,
         "\n [ERROR] unable to read the instance extensions",
         "\n<error msg=\"unable to read the instance extensions\" />"},
        {"device, fill fails", true, 3, VK_SUCCESS, VK_ERROR_LAYER_NOT_PRESENT, -1, false,
         "\n [ERROR] unable to read the device extensions",
         "\n<error msg=\"unable to read the device extensions\" />"},
        {"device, fill claims more than the room", true, 1, VK_SUCCESS, VK_SUCCESS, 999999, true,
         "\n- Device extensions: 1\n\t1/ VK_EXT_0 (spec version: 1)",
         "\n\t\t\t<vk_extensions num_extensions=\"1\" >"
         "\n\t\t\t\t<vk_extension name=\"VK_EXT_0\" spec_version=\"1\" />"
         "\n\t\t\t</vk_extensions>"},
        {"instance, fewer on the fill", false, 2, VK_SUCCESS, VK_SUCCESS, 1, true,
         "\nInstance extensions: 1\n- 1/ VK_EXT_0 (spec version: 1)",
         "\n\n\t<vk_extensions num_extensions=\"1\" >"
         "\n\t\t<vk_extension name=\"VK_EXT_0\" spec_version=\"1\" />"
         "\n\t</vk_extensions>"},
        // A count near 2^32 once asked for a terabyte and ended the program; the room offered
        // is bounded, and the fill call says what it really holds.
        {"device, count query answers 2^32 - 1", true, 2, VK_SUCCESS, VK_SUCCESS, -1, true,
         "\n- Device extensions: 2\n\t1/ VK_EXT_0 (spec version: 1)\n\t2/ VK_EXT_1 (spec version: "
         "2)",
         "\n\t\t\t<vk_extensions num_extensions=\"2\" >"
         "\n\t\t\t\t<vk_extension name=\"VK_EXT_0\" spec_version=\"1\" />"
         "\n\t\t\t\t<vk_extension name=\"VK_EXT_1\" spec_version=\"2\" />"
         "\n\t\t\t</vk_extensions>",
         UINT32_MAX},
        {"instance, count query answers 2^31", false, 1, VK_SUCCESS, VK_SUCCESS, -1, true,
         "\nInstance extensions: 1\n- 1/ VK_EXT_0 (spec version: 1)",
         "\n\n\t<vk_extensions num_extensions=\"1\" >"
         "\n\t\t<vk_extension name=\"VK_EXT_0\" spec_version=\"1\" />"
         "\n\t</vk_extensions>",
         int64_t{1} << 31},
        {"instance, a list longer than the room offered", false, most_listed_records + 1,
         VK_SUCCESS, VK_SUCCESS, -1, false, "\n [ERROR] unable to read the instance extensions",
         "\n<error msg=\"unable to read the instance extensions\" />"},
    };
    for (const Case& c : cases) {
        install_fake_driver();
        std::vector<VkExtensionProperties> list;
        for (size_t i = 0; i < c.available; ++i) {
            list.push_back(
                extension(("VK_EXT_" + std::to_string(i)).c_str(), static_cast<uint32_t>(i + 1)));
        }
        FakeDevice& device = fake.devices[0];
        bool written = false;
        const StreamMark mark;
        if (c.device) {
            device.extensions = list;
            device.extension_count_result = c.count_result;
            device.extension_fill_result = c.fill_result;
            device.extension_query_count = c.query_count;
            device.extension_fill_count = c.fill_count;
            written = report_device_extensions(reinterpret_cast<VkPhysicalDevice>(&device));
        } else {
            fake.instance_extensions = list;
            fake.instance_extension_count_result = c.count_result;
            fake.instance_extension_fill_result = c.fill_result;
            fake.instance_extension_query_count = c.query_count;
            fake.instance_extension_fill_count = c.fill_count;
            written = report_instance_extensions(instance);
        }
        EXPECT_EQ(written, c.written) << c.what;
        EXPECT_EQ(mark.new_text(), c.text) << c.what;
        EXPECT_EQ(mark.new_xml(), c.xml) << c.what;
    }
}

TEST_F(Sections, ExtensionGuardsWriteNothing) {
    const StreamMark mark;
    EXPECT_FALSE(report_instance_extensions(VK_NULL_HANDLE));
    EXPECT_FALSE(report_device_extensions(VK_NULL_HANDLE));
    vulkan.vkEnumerateInstanceExtensionProperties = nullptr;
    vulkan.vkEnumerateDeviceExtensionProperties = nullptr;
    EXPECT_FALSE(report_instance_extensions(instance));
    EXPECT_FALSE(report_device_extensions(reinterpret_cast<VkPhysicalDevice>(&fake.devices[0])));
    EXPECT_EQ(mark.new_text() + mark.new_xml(), "");
}

TEST(Instance, CreatedWithTheProgramsDescription) {
    install_fake_driver();
    const StreamMark mark;
    const VkInstance instance = create_vulkan_instance();
    ASSERT_NE(instance, VK_NULL_HANDLE);
    EXPECT_EQ(fake.create_info.sType, VK_STRUCTURE_TYPE_INSTANCE_CREATE_INFO);
    EXPECT_EQ(fake.create_info.pNext, nullptr);
    EXPECT_EQ(fake.create_info.flags, 0u);
    EXPECT_EQ(fake.create_info.enabledLayerCount, 0u);
    EXPECT_EQ(fake.create_info.ppEnabledLayerNames, nullptr);
    EXPECT_EQ(fake.create_info.enabledExtensionCount, 0u);
    EXPECT_EQ(fake.create_info.ppEnabledExtensionNames, nullptr);
    EXPECT_EQ(fake.application_info.sType, VK_STRUCTURE_TYPE_APPLICATION_INFO);
    EXPECT_STREQ(fake.application_info.pApplicationName, "Brisol");
    EXPECT_STREQ(fake.application_info.pEngineName, "Brisol");
    EXPECT_EQ(fake.application_info.applicationVersion, 1u);
    EXPECT_EQ(fake.application_info.engineVersion, 1u);
    EXPECT_EQ(fake.application_info.apiVersion, 0x400000u);
    destroy_vulkan_instance(instance);
    EXPECT_EQ(fake.instances_destroyed, 1);
    EXPECT_EQ(mark.new_text() + mark.new_xml(), "");
}

TEST(Instance, CreationFailures) {
    const struct {
        VkResult result;
        const char* message;
    } cases[] = {
        {VK_ERROR_INCOMPATIBLE_DRIVER,
         "Vulkan instance creation failed (code: VK_ERROR_INCOMPATIBLE_DRIVER)"},
        {VK_ERROR_INITIALIZATION_FAILED, "Vulkan instance creation failed: unknown error"},
        {VK_ERROR_OUT_OF_HOST_MEMORY, "Vulkan instance creation failed: unknown error"},
        {VK_INCOMPLETE, "Vulkan instance creation failed: unknown error"},
        // Success that hands back a null instance.
        {VK_SUCCESS, "Vulkan instance creation failed: unknown error"},
    };
    for (const auto& c : cases) {
        install_fake_driver();
        fake.create_result = c.result;
        fake.create_null_instance = c.result == VK_SUCCESS;
        const StreamMark mark;
        EXPECT_EQ(create_vulkan_instance(), VK_NULL_HANDLE);
        EXPECT_EQ(mark.new_text(), std::string("\n [ERROR] ") + c.message);
        EXPECT_EQ(mark.new_xml(), std::string("\n<error msg=\"") + c.message + "\" />");
    }
    install_fake_driver();
    vulkan.vkCreateInstance = nullptr;
    const StreamMark mark;
    EXPECT_EQ(create_vulkan_instance(), VK_NULL_HANDLE);
    destroy_vulkan_instance(VK_NULL_HANDLE);
    EXPECT_EQ(mark.new_text() + mark.new_xml(), "");
    EXPECT_EQ(fake.instances_destroyed, 0);
}

TEST(EntryPoints, ListingShowsEachMemberInOrder) {
    install_fake_driver();
    vulkan.vkGetPhysicalDeviceMemoryProperties = nullptr;
    const StreamMark mark;
    report_entry_points();
    EXPECT_EQ(mark.new_text(),
              "\n\nVulkan entrypoints:"
              "\n- vkGetInstanceProcAddr loaded: YES"
              "\n- vkCreateInstance loaded:  YES"
              "\n- vkDestroyInstance loaded:  YES"
              "\n- vkEnumeratePhysicalDevices loaded:  YES"
              "\n- vkGetPhysicalDeviceProperties loaded:  YES"
              "\n- vkEnumerateInstanceExtensionProperties loaded:  YES"
              "\n- vkEnumerateDeviceExtensionProperties loaded:  YES"
              "\n- vkGetPhysicalDeviceMemoryProperties loaded:  NO"
              "\n");
    EXPECT_EQ(mark.new_xml(),
              "\n\n<vk_entry_points>"
              "\n\t<vk_entry_point name=\"vkGetInstanceProcAddr\" loaded=\"1\" />"
              "\n\t<vk_entry_point name=\"vkCreateInstance\" loaded=\"1\" />"
              "\n\t<vk_entry_point name=\"vkDestroyInstance\" loaded=\"1\" />"
              "\n\t<vk_entry_point name=\"vkEnumeratePhysicalDevices\" loaded=\"1\" />"
              "\n\t<vk_entry_point name=\"vkGetPhysicalDeviceProperties\" loaded=\"1\" />"
              "\n\t<vk_entry_point name=\"vkEnumerateInstanceExtensionProperties\" loaded=\"1\" />"
              "\n\t<vk_entry_point name=\"vkEnumerateDeviceExtensionProperties\" loaded=\"1\" />"
              "\n\t<vk_entry_point name=\"vkGetPhysicalDeviceMemoryProperties\" loaded=\"0\" />"
              "\n</vk_entry_points>\n");
}

// Whatever a driver puts in the limits, the XML report stays valid: a float prints up to 39
// digits before the point, or as inf or nan.
TEST_F(Sections, ExtremeLimitsKeepTheReportValid) {
    const struct {
        float value;
        const char* written;
    } cases[] = {
        {FLT_MAX, "340282346638528859811704183484516925440.000000"},
        {-FLT_MAX, "-340282346638528859811704183484516925440.000000"},
        {INFINITY, "inf"},
        {-INFINITY, "-inf"},
        {NAN, "nan"},
        {-NAN, "-nan"},
        {FLT_MIN, "0.000000"},
        {-0.0f, "-0.000000"},
    };
    for (const auto& c : cases) {
        install_fake_driver();
        VkPhysicalDeviceLimits& limits = fake.devices[0].properties.limits;
        // Every integer at its largest, every float at the case's value.
        memset(&limits, 0xFF, sizeof limits);
        for (const LimitRow& row : device_limit_rows) {
            if (row.kind == LimitKind::Float || row.kind == LimitKind::FloatPair) {
                for (size_t at = 0; at < row.size; at += sizeof c.value) {
                    memcpy(reinterpret_cast<unsigned char*>(&limits) + row.offset + at, &c.value,
                           sizeof c.value);
                }
            }
        }
        const StreamMark mark;
        report_physical_devices(instance, true);
        const std::string xml = mark.new_xml();
        EXPECT_NE(
            xml.find("<limit name=\"timestampPeriod\" x=\"" + std::string(c.written) + "\" />"),
            std::string::npos)
            << c.written;
        EXPECT_NE(xml.find("<limit name=\"sparseAddressSpaceSize\" x=\"18446744073709551615\" />"),
                  std::string::npos);
        EXPECT_EQ(
            xml_error(xml_prolog + "\n<vk_instance>" + xml + "\n</vk_instance>" + xml_epilogue), "")
            << c.written;
    }
}

namespace {

// A row's expected text and XML attributes, chosen by the member's type in the Vulkan headers
// rather than by the program's table; every component gets a value no other one has.
struct ExpectedRow {
    std::string text, xml;
};
uint32_t next_limit_value = 0;

std::string decimal(double value) {
    char text[64];
    snprintf(text, sizeof text, "%f", value);
    return text;
}
ExpectedRow expect_limit(uint32_t& member) {
    member = 1000 + next_limit_value++;
    return {std::to_string(member), "x=\"" + std::to_string(member) + "\""};
}
ExpectedRow expect_limit(int32_t& member) {
    member = -100 - static_cast<int32_t>(next_limit_value++);
    const std::string bits = std::to_string(static_cast<uint32_t>(member));
    return {bits, "x=\"" + bits + "\""};
}
// VkDeviceSize and size_t alike; both more than 32 bits wide.
ExpectedRow expect_limit(uint64_t& member) {
    member = (uint64_t{1} << 40) + next_limit_value++;
    return {std::to_string(member), "x=\"" + std::to_string(member) + "\""};
}
ExpectedRow expect_limit(float& member) {
    member = static_cast<float>(next_limit_value++) + 0.25f;
    return {decimal(member), "x=\"" + decimal(member) + "\""};
}
ExpectedRow expect_limit(float (&member)[2]) {
    const ExpectedRow x = expect_limit(member[0]);
    const ExpectedRow y = expect_limit(member[1]);
    return {"[" + x.text + " ; " + y.text + "]", x.xml + " y" + y.xml.substr(1)};
}
ExpectedRow expect_limit(uint32_t (&member)[2]) {
    const ExpectedRow x = expect_limit(member[0]);
    const ExpectedRow y = expect_limit(member[1]);
    return {"[" + x.text + "; " + y.text + "]", x.xml + " y" + y.xml.substr(1)};
}
ExpectedRow expect_limit(uint32_t (&member)[3]) {
    const ExpectedRow x = expect_limit(member[0]);
    const ExpectedRow y = expect_limit(member[1]);
    const ExpectedRow z = expect_limit(member[2]);
    return {"[" + x.text + "; " + y.text + "; " + z.text + "]",
            x.xml + " y" + y.xml.substr(1) + " z" + z.xml.substr(1)};
}

}  // namespace

// Every row, both reports, byte for byte: a row read as another kind, from another member or a
// pair's second value read from the first shows a value the table below does not expect.
TEST(Limits, EveryRowInBothReports) {
    VkPhysicalDeviceLimits limits{};
    next_limit_value = 0;
#define ROW(member) \
    { #member, expect_limit(limits.member) }
    // The members, packed, in the order of the record.
    // clang-format off
    const std::pair<const char*, ExpectedRow> rows[] = {
        ROW(maxImageDimension1D), ROW(maxImageDimension2D), ROW(maxImageDimension3D),
        ROW(maxImageDimensionCube), ROW(maxImageArrayLayers), ROW(maxTexelBufferElements),
        ROW(maxUniformBufferRange), ROW(maxStorageBufferRange), ROW(maxPushConstantsSize),
        ROW(maxMemoryAllocationCount), ROW(maxSamplerAllocationCount), ROW(bufferImageGranularity),
        ROW(sparseAddressSpaceSize), ROW(maxBoundDescriptorSets),
        ROW(maxPerStageDescriptorSamplers), ROW(maxPerStageDescriptorUniformBuffers),
        ROW(maxPerStageDescriptorSampledImages), ROW(maxPerStageDescriptorStorageImages),
        ROW(maxPerStageDescriptorInputAttachments), ROW(maxPerStageResources),
        ROW(maxDescriptorSetSamplers), ROW(maxDescriptorSetUniformBuffers),
        ROW(maxDescriptorSetUniformBuffersDynamic), ROW(maxDescriptorSetStorageBuffers),
        ROW(maxDescriptorSetStorageBuffersDynamic), ROW(maxDescriptorSetSampledImages),
        ROW(maxDescriptorSetStorageImages), ROW(maxDescriptorSetInputAttachments),
        ROW(maxVertexInputAttributes), ROW(maxVertexInputBindings),
        ROW(maxVertexInputAttributeOffset), ROW(maxVertexInputBindingStride),
        ROW(maxVertexOutputComponents), ROW(maxTessellationGenerationLevel),
        ROW(maxTessellationPatchSize), ROW(maxTessellationControlPerVertexInputComponents),
        ROW(maxTessellationControlPerVertexOutputComponents),
        ROW(maxTessellationControlPerPatchOutputComponents),
        ROW(maxTessellationControlTotalOutputComponents),
        ROW(maxTessellationEvaluationInputComponents),
        ROW(maxTessellationEvaluationOutputComponents), ROW(maxGeometryShaderInvocations),
        ROW(maxGeometryInputComponents), ROW(maxGeometryOutputComponents),
        ROW(maxGeometryOutputVertices), ROW(maxGeometryTotalOutputComponents),
        ROW(maxFragmentInputComponents), ROW(maxFragmentOutputAttachments),
        ROW(maxFragmentDualSrcAttachments), ROW(maxFragmentCombinedOutputResources),
        ROW(maxComputeSharedMemorySize), ROW(maxComputeWorkGroupCount),
        ROW(maxComputeWorkGroupInvocations), ROW(maxComputeWorkGroupSize),
        ROW(subPixelPrecisionBits), ROW(subTexelPrecisionBits), ROW(mipmapPrecisionBits),
        ROW(maxDrawIndexedIndexValue), ROW(maxDrawIndirectCount), ROW(maxSamplerLodBias),
        ROW(maxSamplerAnisotropy), ROW(maxViewports), ROW(maxViewportDimensions),
        ROW(viewportBoundsRange), ROW(viewportSubPixelBits), ROW(minMemoryMapAlignment),
        ROW(minTexelBufferOffsetAlignment), ROW(minUniformBufferOffsetAlignment),
        ROW(minStorageBufferOffsetAlignment), ROW(minTexelOffset), ROW(maxTexelOffset),
        ROW(minTexelGatherOffset), ROW(maxTexelGatherOffset), ROW(minInterpolationOffset),
        ROW(maxInterpolationOffset), ROW(subPixelInterpolationOffsetBits), ROW(maxFramebufferWidth),
        ROW(maxFramebufferHeight), ROW(maxFramebufferLayers), ROW(framebufferColorSampleCounts),
        ROW(framebufferDepthSampleCounts), ROW(framebufferStencilSampleCounts),
        ROW(framebufferNoAttachmentsSampleCounts), ROW(maxColorAttachments),
        ROW(sampledImageColorSampleCounts), ROW(sampledImageIntegerSampleCounts),
        ROW(sampledImageDepthSampleCounts), ROW(sampledImageStencilSampleCounts),
        ROW(storageImageSampleCounts), ROW(maxSampleMaskWords), ROW(timestampComputeAndGraphics),
        ROW(timestampPeriod), ROW(maxClipDistances), ROW(maxCullDistances),
        ROW(maxCombinedClipAndCullDistances), ROW(discreteQueuePriorities), ROW(pointSizeRange),
        ROW(lineWidthRange), ROW(pointSizeGranularity), ROW(lineWidthGranularity), ROW(strictLines),
        ROW(standardSampleLocations), ROW(optimalBufferCopyOffsetAlignment),
        ROW(optimalBufferCopyRowPitchAlignment), ROW(nonCoherentAtomSize),
    };
    // clang-format on
#undef ROW
    std::string text = "\n- Device limits:";
    std::string xml = "\n\t\t\t<limits>";
    for (const auto& row : rows) {
        text += "\n\t" + std::string(row.first) + ": " + row.second.text;
        xml += "\n\t\t\t\t<limit name=\"" + std::string(row.first) + "\" " + row.second.xml + " />";
    }
    const StreamMark mark;
    report_device_limits(limits);
    EXPECT_EQ(mark.new_text(), text);
    EXPECT_EQ(mark.new_xml(), xml + "\n\t\t\t</limits>");
}

// Spec versions from 2^31 up are unsigned in both listings and both reports.
TEST_F(Sections, SpecVersionsFromTwoToTheThirtyFirstUp) {
    const struct {
        bool device;
        uint32_t spec_version;
        std::string text, xml;
    } cases[] = {
        {false, 2147483648u, "\nInstance extensions: 1\n- 1/ VK_EXT_x (spec version: 2147483648)",
         "\n\n\t<vk_extensions num_extensions=\"1\" >\n\t\t<vk_extension name=\"VK_EXT_x\" "
         "spec_version=\"2147483648\" />\n\t</vk_extensions>"},
        {false, UINT32_MAX, "\nInstance extensions: 1\n- 1/ VK_EXT_x (spec version: 4294967295)",
         "\n\n\t<vk_extensions num_extensions=\"1\" >\n\t\t<vk_extension name=\"VK_EXT_x\" "
         "spec_version=\"4294967295\" />\n\t</vk_extensions>"},
        {true, 2147483648u, "\n- Device extensions: 1\n\t1/ VK_EXT_x (spec version: 2147483648)",
         "\n\t\t\t<vk_extensions num_extensions=\"1\" >\n\t\t\t\t<vk_extension name=\"VK_EXT_x\" "
         "spec_version=\"2147483648\" />\n\t\t\t</vk_extensions>"},
        {true, UINT32_MAX, "\n- Device extensions: 1\n\t1/ VK_EXT_x (spec version: 4294967295)",
         "\n\t\t\t<vk_extensions num_extensions=\"1\" >\n\t\t\t\t<vk_extension name=\"VK_EXT_x\" "
         "spec_version=\"4294967295\" />\n\t\t\t</vk_extensions>"},
    };
    for (const auto& c : cases) {
        install_fake_driver();
        const StreamMark mark;
        if (c.device) {
            fake.devices[0].extensions = {extension("VK_EXT_x", c.spec_version)};
            report_device_extensions(reinterpret_cast<VkPhysicalDevice>(&fake.devices[0]));
        } else {
            fake.instance_extensions = {extension("VK_EXT_x", c.spec_version)};
            report_instance_extensions(instance);
        }
        EXPECT_EQ(mark.new_text(), c.text);
        EXPECT_EQ(mark.new_xml(), c.xml);
    }
}

namespace {

// A locale whose decimal point is ',', made with localedef where the system has none; "" when
// none can be had. The process is left in the "C" locale.
std::string comma_locale() {
    const char* const name = "de_DE.UTF-8";
    if (setlocale(LC_ALL, name) == nullptr) {
        static const std::string folder = [] {
            char made[] = "/tmp/brisol-locale-XXXXXX";
            return mkdtemp(made) != nullptr ? std::string(made) : std::string();
        }();
        const std::string command =
            "localedef -i de_DE -f UTF-8 " + folder + "/" + name + " >/dev/null 2>&1";
        if (folder.empty() || system(command.c_str()) > 1) {
            return "";
        }
        setenv("LOCPATH", folder.c_str(), 1);
    }
    const bool comma =
        setlocale(LC_ALL, name) != nullptr && strcmp(localeconv()->decimal_point, ",") == 0;
    setlocale(LC_ALL, "C");
    return comma ? name : "";
}

}  // namespace

// A driver that sets a ',' locale while the instance is created changes no number.
TEST(Locale, NumbersIgnoreTheLocaleADriverSets) {
    const std::string locale = comma_locale();
    if (locale.empty()) {
        GTEST_SKIP() << "no locale with a ',' decimal point (localedef, package locales)";
    }
    std::string reports[2];
    for (const bool localized : {false, true}) {
        install_fake_driver();
        fake.locale_on_create = localized ? locale : "";
        const VkInstance instance = create_vulkan_instance();
        const StreamMark mark;
        report_physical_devices(instance, true);
        reports[localized] = mark.new_text() + mark.new_xml();
        EXPECT_STREQ(localeconv()->decimal_point, localized ? "," : ".");
        setlocale(LC_ALL, "C");
    }
    EXPECT_NE(reports[0].find("maxSamplerLodBias\" x=\"15.000000\""), std::string::npos);
    EXPECT_EQ(reports[1], reports[0]);
}
