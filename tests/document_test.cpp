// A device read from a Vulkan Profiles document is the device the document was written from:
// Brisol's own -json document of lavapipe, read back, gives the facts the driver gave.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <string>
#include <vector>

#include "profiles/document.h"
#include "query/document.h"
#include "query/facts.h"
#include "support.h"
#include "views/json.h"
#include "vulkan/commands.h"
#include "vulkan/instance.h"

namespace {

// The devices of lavapipe as the driver tells them, read in this process.
std::vector<DeviceFacts> lavapipe_devices() {
    std::vector<DeviceFacts> devices;
    const ModuleHandle handle = system_vulkan_loader.bind();
    InstanceSetup setup;
    const VkInstance instance = create_complete_instance(setup);
    if (instance != VK_NULL_HANDLE) {
        bind_vulkan_commands(instance, setup);
        InstanceFacts facts;
        query_instance(instance, setup, facts);
        std::vector<VkPhysicalDevice> handles;
        read_physical_devices(instance, handles);
        devices.resize(handles.size());
        for (size_t i = 0; i < handles.size(); ++i) {
            query_device(facts, handles[i], devices[i]);
        }
        release_vulkan_commands();
        destroy_vulkan_instance(instance);
    }
    system_vulkan_loader.release(handle);
    return devices;
}

}  // namespace

TEST(Document, LavapipesOwnDocumentGivesItsFacts) {
    setenv("VK_DRIVER_FILES", LAVAPIPE_ICD, 1);
    setenv("VK_ICD_FILENAMES", LAVAPIPE_ICD, 1);
    // Both make lavapipe's logical device, for what its memory types hold.
    begin_driver_leaks_ignored();
    const std::vector<DeviceFacts> driver = lavapipe_devices();
    reset_reports();
    write_json_document(system_vulkan_loader);
    end_driver_leaks_ignored();
    ASSERT_EQ(driver.size(), 1u);
    const std::string text = json_report;
    unsetenv("VK_DRIVER_FILES");
    unsetenv("VK_ICD_FILENAMES");

    ProfileSet set;
    std::string why;
    ASSERT_TRUE(add_profile_text(set, "own.json", text.data(), text.size(), why)) << why;
    const std::vector<DocumentDevice> read = read_document_devices(set);
    ASSERT_EQ(read.size(), 1u);
    EXPECT_EQ(read[0].notes, std::vector<std::string>{});
    // The driver's facts hold every format the device's version provides, the document only
    // those it names: both name all of lavapipe's, whose properties all have some bit or none.
    const std::vector<std::string> expected = facts_lines(driver[0]);
    const std::vector<std::string> got = facts_lines(read[0].facts);
    EXPECT_GT(expected.size(), 2000u);
    for (size_t i = 0; i < expected.size() || i < got.size(); ++i) {
        const std::string want = i < expected.size() ? expected[i] : "(none)";
        ASSERT_EQ(i < got.size() ? got[i] : "(none)", want) << "line " << i;
    }
    EXPECT_EQ(read[0].facts.api_version, driver[0].properties.apiVersion);
}

// Values of another form than their member takes are read as what they spell, or as zero, with a
// note each, worded as the profile check words them; names this build does not know are notes.
TEST(Document, ValuesOfAnotherFormAreReadAsTheySpell) {
    const struct {
        const char* what;
        const char* capability;
        std::vector<std::string> lines;  // among the facts' lines
        std::vector<std::string> notes;
    } cases[] = {
        {"a spec version as a string",
         R"({"extensions": {"VK_KHR_swapchain": "70", "VK_KHR_maintenance1": null}})",
         {"extension VK_KHR_swapchain: 70", "extension VK_KHR_maintenance1: 0"},
         {"extension VK_KHR_swapchain: the file gives \"70\", not a number",
          "extension VK_KHR_maintenance1: the file gives null, not a number"}},
        {"numbers as strings, null",
         R"({"properties": {"VkPhysicalDeviceProperties": {"limits": )"
         R"({"bufferImageGranularity": "64", "maxSamplerLodBias": "15.5", )"
         R"("maxImageDimension1D": null}}}})",
         {"properties VkPhysicalDeviceProperties.limits.bufferImageGranularity: 64",
          "properties VkPhysicalDeviceProperties.limits.maxSamplerLodBias: 15.5",
          "properties VkPhysicalDeviceProperties.limits.maxImageDimension1D: 0"},
         {"VkPhysicalDeviceProperties.limits.bufferImageGranularity: the file gives \"64\", not a "
          "number",
          "VkPhysicalDeviceProperties.limits.maxSamplerLodBias: the file gives \"15.5\", not a "
          "number",
          "VkPhysicalDeviceProperties.limits.maxImageDimension1D: the file gives null, not a "
          "number"}},
        {"names this build does not know",
         R"({"extensions": {"VK_EXT_made_up": 3}, "features": {"VkPhysicalDeviceMadeUpFeaturesEXT": )"
         R"({"madeUp": true}}, "formats": {"VK_FORMAT_MADE_UP": {}}})",
         {},
         {"VkPhysicalDeviceMadeUpFeaturesEXT: unknown to this build",
          "format VK_FORMAT_MADE_UP: unknown to this build"}},
    };
    for (const auto& c : cases) {
        const std::string text =
            std::string(R"({"capabilities": {"c": )") + c.capability +
            R"(}, "profiles": {"VP_X": {"version": 1, "api-version": "1.3.0", "label": "X", )"
            R"("description": "x", "capabilities": ["c"]}}})";
        ProfileSet set;
        std::string why;
        ASSERT_TRUE(add_profile_text(set, "doc.json", text.data(), text.size(), why)) << why;
        const std::vector<DocumentDevice> devices = read_document_devices(set);
        ASSERT_EQ(devices.size(), 1u) << c.what;
        EXPECT_EQ(devices[0].notes, c.notes) << c.what;
        const std::vector<std::string> lines = facts_lines(devices[0].facts);
        for (const std::string& line : c.lines) {
            EXPECT_NE(std::find(lines.begin(), lines.end(), line), lines.end())
                << c.what << ": " << line;
        }
    }
}
