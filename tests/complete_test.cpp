// The complete report (-all) against the fake driver, for what lavapipe cannot be made to do: old
// loaders, missing commands, hostile answers. Every run must give both reports whole, the XML
// valid against the schema.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "app/run.h"
#include "fake/fake_driver.h"
#include "support.h"
#include "vulkan/commands.h"

namespace {

void (*arrange_fake)() = nullptr;
int scripted_library;

ModuleHandle bind_arranged_fake() {
    install_fake_driver();
    arrange_fake();
    return &scripted_library;
}

void release_arranged_fake(ModuleHandle) {}

const VulkanLoader arranged_loader = {bind_arranged_fake, release_arranged_fake};

const char* const properties2 = "VK_KHR_get_physical_device_properties2";
// The fake lists VK_KHR_surface, which the complete report's instance enables.
const char* const surface = "VK_KHR_surface";

void old_loader_with_properties2() {
    fake.missing_commands = {"vkEnumerateInstanceVersion"};
    fake.instance_extensions.push_back(extension(properties2, 2));
}

void old_loader_without_properties2() {
    fake.missing_commands = {"vkEnumerateInstanceVersion"};
    fake.devices[0].properties.vendorID = 0x8086;
}

void every_further_command_missing() {
    fake.devices[0].properties.apiVersion = VK_API_VERSION_1_3;
    fake.missing_commands = {
#define BRISOL_COMMAND_NAME(name, version, extension_name, instance_extension) #name,
        BRISOL_VULKAN_COMMANDS(BRISOL_COMMAND_NAME)
#undef BRISOL_COMMAND_NAME
    };
}

void hostile_answers() {
    FakeDevice& device = fake.devices[0];
    device.properties.apiVersion = VK_API_VERSION_1_3;
    VkPhysicalDeviceDriverProperties driver{};
    driver.sType = VK_STRUCTURE_TYPE_PHYSICAL_DEVICE_DRIVER_PROPERTIES;
    driver.driverID = static_cast<VkDriverId>(1000);
    memset(driver.driverName, 'N', sizeof driver.driverName);
    strcpy(driver.driverInfo, "<&>\"");
    device.chain = {chain_structure(driver)};
    device.queue_families[0].queueFlags = VK_QUEUE_GRAPHICS_BIT | 0x80000000u;
    device.queue_family_fill_count = 1000;
    device.memory.memoryTypeCount = 1000;
    VkLayerProperties layer{};
    memset(layer.layerName, 'L', sizeof layer.layerName);
    memset(layer.description, 'D', sizeof layer.description);
    fake.layers = {layer};
    fake.group_device_count = 1000;
}

// A Vulkan 1.3 device under an instance of Vulkan 1.1: the chains hold what 1.1 has.
void newer_device_than_instance() {
    fake.instance_version = VK_API_VERSION_1_1;
    fake.devices[0].properties.apiVersion = VK_API_VERSION_1_3;
}

// A driver that counts two queue families and then says it filled one.
void fewer_families_filled() {
    FakeDevice& device = fake.devices[0];
    device.queue_families.push_back(device.queue_families[0]);
    device.queue_family_fill_count = 1;
}

void no_format_properties2() {
    fake.devices[0].properties.apiVersion = VK_API_VERSION_1_3;
    fake.missing_commands = {"vkGetPhysicalDeviceFormatProperties2",
                             "vkGetPhysicalDeviceFormatProperties2KHR"};
}

// The multi-planar formats come with the extension on a 1.0 device.
void ycbcr_extension() {
    fake.devices[0].extensions.push_back(extension("VK_KHR_sampler_ycbcr_conversion", 14));
}

// Two structures that carry the same LUID, one saying it is valid and one not.
void identifiers() {
    FakeDevice& device = fake.devices[0];
    device.properties.apiVersion = VK_API_VERSION_1_3;
    VkPhysicalDeviceIDProperties id{};
    id.sType = VK_STRUCTURE_TYPE_PHYSICAL_DEVICE_ID_PROPERTIES;
    VkPhysicalDeviceVulkan11Properties vulkan11{};
    vulkan11.sType = VK_STRUCTURE_TYPE_PHYSICAL_DEVICE_VULKAN_1_1_PROPERTIES;
    for (uint8_t i = 0; i < VK_UUID_SIZE; ++i) {
        id.deviceUUID[i] = vulkan11.deviceUUID[i] = i;
    }
    for (uint8_t i = 0; i < VK_LUID_SIZE; ++i) {
        id.deviceLUID[i] = vulkan11.deviceLUID[i] = static_cast<uint8_t>(i + 1);
    }
    vulkan11.deviceLUIDValid = VK_TRUE;
    device.chain = {chain_structure(id), chain_structure(vulkan11)};
}

}  // namespace

TEST(CompleteReport, OldLoadersMissingCommandsAndHostileAnswers) {
    const std::string none = "0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0";
    const struct {
        const char* what;
        void (*arrange)();
        uint32_t api_version;  // the instance's
        std::vector<std::string> enabled, text, xml;
        // Pieces of the text report and how many times each comes in it.
        std::vector<std::pair<std::string, size_t>> counted = {};
    } cases[] = {
        {"a 1.0 loader that lists properties2",
         old_loader_with_properties2,
         VK_API_VERSION_1_0,
         {properties2, surface},
         {"\nLoader instance version: 1.0.0\nInstance API version: 1.0.0 (with " +
              std::string(properties2) + ")",
          "\n- Driver version: 388.13.0.0 (raw: 1627602944)",
          "\n- Queue families: 1\n\tfamily 0:\n\t\tVkQueueFamilyProperties:\n\t\t\tqueueFlags: "
          "VK_QUEUE_GRAPHICS_BIT | VK_QUEUE_COMPUTE_BIT\n\t\t\tqueueCount: 16\n",
          // The groups come from another extension, which the instance did not enable.
          "\nDevice groups: 0\n [ERROR] vkEnumeratePhysicalDeviceGroups is missing"},
         {"properties2_extension=\"1\">", "<driver_version decoded=\"388.13.0.0\""}},
        {"a 1.0 loader without properties2",
         old_loader_without_properties2,
         VK_API_VERSION_1_0,
         {surface},
         {"\n [ERROR] vkGetPhysicalDeviceProperties2 is missing",
          "\n [ERROR] vkGetPhysicalDeviceFeatures2 is missing",
          "\n [ERROR] vkEnumeratePhysicalDeviceGroups is missing",
          // Intel's own encoding is Windows' only.
          "\n- Driver version: 388.52.0 (raw: 1627602944)",
          "\tVkPhysicalDeviceFeatures:\n\t\trobustBufferAccess: 1\n", "\t\t\tqueueCount: 16\n",
          "\t\t\tbufferFeatures: VK_FORMAT_FEATURE_VERTEX_BUFFER_BIT\n"},
         {"properties2_extension=\"0\">"}},
        {"every further command missing",
         every_further_command_missing,
         VK_API_VERSION_1_3,
         {surface},
         {"\n [ERROR] vkEnumerateInstanceLayerProperties is missing",
          "\n [ERROR] vkEnumeratePhysicalDeviceGroups is missing",
          "\n [ERROR] vkGetPhysicalDeviceProperties2 is missing",
          "\n [ERROR] vkGetPhysicalDeviceFeatures2 is missing",
          "\n [ERROR] vkGetPhysicalDeviceQueueFamilyProperties is missing",
          "\n [ERROR] vkGetPhysicalDeviceFormatProperties is missing",
          "\n [ERROR] vkGetPhysicalDeviceToolProperties is missing",
          "\tVkPhysicalDeviceProperties:\n\t\tapiVersion: 4206592\n",
          "\tVkPhysicalDeviceMemoryProperties:\n"},
         {"<error msg=\"vkGetPhysicalDeviceToolProperties is missing\" />"}},
        {"hostile answers",
         hostile_answers,
         VK_API_VERSION_1_3,
         {surface},
         {"\n\t\tdriverID: 1000\n\t\tdriverName: " + std::string(256, 'N') + "\n\t\tdriverInfo: ",
          "queueFlags: VK_QUEUE_GRAPHICS_BIT | 0x80000000\n", "\n- Queue families: 1\n\tfamily 0:",
          // The name is cut to be handed back to the loader; the description is bounded.
          "\n- 1/ " + std::string(255, 'L') +
              " (spec version: 0.0.0, implementation version: 0)\n\t" + std::string(256, 'D') +
              "\n",
          "\t\tmemoryTypes[31]:\n", "\n- 1/ subset allocation: 0, devices: 1 " + none + "\n"},
         {"<member name=\"driverInfo\" value=\"&lt;&amp;&gt;&quot;\" />",
          "<member name=\"memoryTypes\" index=\"31\">"}},
        {"a 1.3 device under a 1.1 instance",
         newer_device_than_instance,
         VK_API_VERSION_1_1,
         {surface},
         {"\nInstance API version: 1.1.0", "\tVkPhysicalDeviceIDProperties:\n"},
         {},
         // VkPhysicalDeviceVulkan11Properties and the others came with Vulkan 1.2.
         {{"VkPhysicalDeviceVulkan1", 0}, {"VkFormatProperties3", 0}}},
        {"two queue families counted, one filled",
         fewer_families_filled,
         VK_API_VERSION_1_3,
         {surface},
         {"\n- Queue families: 1\n\tfamily 0:"},
         {},
         {{"\tfamily 1:", 0}}},
        {"a 1.3 device without vkGetPhysicalDeviceFormatProperties2",
         no_format_properties2,
         VK_API_VERSION_1_3,
         {surface},
         {"\n\tVK_FORMAT_R8_UNORM:\n\t\tVkFormatProperties:\n"},
         {},
         {{"VkFormatProperties3", 0}}},
        {"a 1.0 device with VK_KHR_sampler_ycbcr_conversion",
         ycbcr_extension,
         VK_API_VERSION_1_3,
         {surface},
         {"\n\tVK_FORMAT_G8B8G8R8_422_UNORM:\n"},
         {},
         // A format of Vulkan 1.3 that the extension does not bring.
         {{"VK_FORMAT_G16_B16R16_2PLANE_444_UNORM", 0}}},
        {"a LUID only where it is valid",
         identifiers,
         VK_API_VERSION_1_3,
         {surface},
         {"\tVkPhysicalDeviceIDProperties:\n\t\tdeviceUUID: 00010203-0405-0607-0809-0a0b0c0d0e0f"
          "\n\t\tdriverUUID: 00000000-0000-0000-0000-000000000000\n\t\tdeviceNodeMask: 0\n",
          "\n\t\tdeviceLUID: 0102030405060708\n\t\tdeviceNodeMask: 0\n\t\tdeviceLUIDValid: 1\n"},
         {},
         {{"deviceLUID: ", 1}}},
    };
    // The complete report writes the printed report alone: the text pieces come from "-all",
    // the XML ones from "-all -xml".
    const auto run = [](bool xml) {
        reset_reports();
        const char* const argv[] = {"brisol", "-all", "-xml"};
        return build_report(parse_options(xml ? 3 : 2, argv), arranged_loader);
    };
    for (const auto& c : cases) {
        arrange_fake = c.arrange;
        const std::string xml = run(true);
        EXPECT_EQ(xml_error(xml), "") << c.what;
        EXPECT_EQ(count_of(xml, "\n\t\t\t</device_details>\n\t\t</vk_device>"), 1u) << c.what;
        for (const std::string& piece : c.xml) {
            EXPECT_NE(xml.find(piece), std::string::npos) << c.what << ": " << piece;
        }
        const std::string text = run(false);
        EXPECT_EQ(fake.application_info.apiVersion, c.api_version) << c.what;
        EXPECT_EQ(fake.enabled_extensions, c.enabled) << c.what;
        EXPECT_EQ(fake.unknown_device_calls, 0) << c.what;
        EXPECT_EQ(text.substr(text.size() - text_footer.size()), text_footer) << c.what;
        EXPECT_EQ(count_of(text, "memoryTypes[32]"), 0u) << c.what;
        for (const std::string& piece : c.text) {
            EXPECT_NE(text.find(piece), std::string::npos) << c.what << ": " << piece;
        }
        for (const auto& [piece, count] : c.counted) {
            EXPECT_EQ(count_of(text, piece), count) << c.what << ": " << piece;
        }
        // The XML report of a text run holds what both reports always hold, and is whole.
        EXPECT_EQ(xml_error(xml_report), "") << c.what;
        EXPECT_EQ(count_of(xml_report, "<device_details>"), 0u) << c.what;
    }
}

// A run prints one report and writes the complete sections into that one alone; the other's are
// measured instead, so that the size limit ends both reports where they would end written whole.
// The bytes measured are those the other run writes.
TEST(CompleteReport, TheReportNotPrintedIsMeasuredToTheByte) {
    const struct {
        const char* what;
        void (*arrange)();
    } cases[] = {
        {"a 1.0 loader that lists properties2", old_loader_with_properties2},
        {"every further command missing", every_further_command_missing},
        {"hostile answers", hostile_answers},
    };
    for (const auto& c : cases) {
        arrange_fake = c.arrange;
        const char* const argv[] = {"brisol", "-all", "-xml"};
        reset_reports();
        const std::string xml = build_report(parse_options(3, argv), arranged_loader);
        const size_t text_of_xml_run = text_report.size() + written_reports.text_left_out;
        reset_reports();
        const std::string text = build_report(parse_options(2, argv), arranged_loader);
        EXPECT_EQ(xml_report.size() + written_reports.xml_left_out, xml.size()) << c.what;
        // Only the text run ends its text report with the footer.
        EXPECT_EQ(text_of_xml_run + text_footer.size(), text.size()) << c.what;
        EXPECT_GT(written_reports.xml_left_out, 1000u) << c.what;
    }
}
