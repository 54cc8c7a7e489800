// How the instance is created where the platform asks the loader for portability drivers, driven
// through the fake driver, whose instance extension list decides what the loader offers.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fake/fake_driver.h"
#include "support.h"
#include "vulkan/entry_points.h"
#include "vulkan/instance.h"

namespace {

const char* const portability = "VK_KHR_portability_enumeration";

}  // namespace

TEST(Portability, DecidedByThePlatformAndTheLoadersList) {
    const VkExtensionProperties surface = extension("VK_KHR_surface", 25);
    const VkExtensionProperties listed = extension(portability, 1);
    const struct {
        const char* what;
        bool platform_wants;
        std::vector<VkExtensionProperties> extensions;
        bool entry_point;
        VkResult count_result;
        VkResult fill_result;
        int64_t fill_count;
        bool enumerates;
        int probe_calls;
    } cases[] = {
        {"wanted and listed", true, {surface, listed}, true, VK_SUCCESS, VK_SUCCESS, -1, true, 2},
        {"wanted, listed alone", true, {listed}, true, VK_SUCCESS, VK_SUCCESS, -1, true, 2},
        {"wanted, not listed", true, {surface}, true, VK_SUCCESS, VK_SUCCESS, -1, false, 2},
        {"wanted, a longer name",
         true,
         {extension("VK_KHR_portability_enumeration2", 1)},
         true,
         VK_SUCCESS,
         VK_SUCCESS,
         -1,
         false,
         2},
        {"wanted, a shorter name",
         true,
         {extension("VK_KHR_portability", 1)},
         true,
         VK_SUCCESS,
         VK_SUCCESS,
         -1,
         false,
         2},
        {"wanted, empty list", true, {}, true, VK_SUCCESS, VK_SUCCESS, -1, false, 1},
        {"not wanted, listed",
         false,
         {surface, listed},
         true,
         VK_SUCCESS,
         VK_SUCCESS,
         -1,
         false,
         0},
        {"wanted, no entry point", true, {listed}, false, VK_SUCCESS, VK_SUCCESS, -1, false, 0},
        {"wanted, count fails",
         true,
         {listed},
         true,
         VK_ERROR_OUT_OF_HOST_MEMORY,
         VK_SUCCESS,
         -1,
         false,
         1},
        {"wanted, fill fails",
         true,
         {listed},
         true,
         VK_SUCCESS,
         VK_ERROR_OUT_OF_HOST_MEMORY,
         -1,
         false,
         2},
        // A list that grew between the calls is not probed again.
        {"wanted, fill incomplete", true, {listed}, true, VK_SUCCESS, VK_INCOMPLETE, -1, false, 2},
        // Only what the fill call says it wrote is read.
        {"wanted, fill reports fewer",
         true,
         {surface, listed},
         true,
         VK_SUCCESS,
         VK_SUCCESS,
         1,
         false,
         2},
        // Without the clamp to the room, the search reads far past the records it was given.
        {"wanted, not listed, fill reports more than room",
         true,
         {surface},
         true,
         VK_SUCCESS,
         VK_SUCCESS,
         1000,
         false,
         2},
        {"wanted, not listed, fill reports 2^32 - 1",
         true,
         {surface},
         true,
         VK_SUCCESS,
         VK_SUCCESS,
         UINT32_MAX,
         false,
         2},
        {"wanted, fill reports more than room",
         true,
         {surface, listed},
         true,
         VK_SUCCESS,
         VK_SUCCESS,
         1000,
         true,
         2},
    };
    for (const auto& c : cases) {
        install_fake_driver();
        fake.instance_extensions = c.extensions;
        fake.instance_extension_count_result = c.count_result;
        fake.instance_extension_fill_result = c.fill_result;
        fake.instance_extension_fill_count = c.fill_count;
        if (!c.entry_point) {
            vulkan.vkEnumerateInstanceExtensionProperties = nullptr;
        }
        const StreamMark mark;
        const VkInstance instance = create_vulkan_instance(c.platform_wants);
        ASSERT_NE(instance, VK_NULL_HANDLE) << c.what;
        EXPECT_EQ(fake.create_info.flags,
                  c.enumerates
                      ? VkInstanceCreateFlags{VK_INSTANCE_CREATE_ENUMERATE_PORTABILITY_BIT_KHR}
                      : VkInstanceCreateFlags{0})
            << c.what;
        EXPECT_EQ(fake.enabled_extensions,
                  c.enumerates ? std::vector<std::string>{portability} : std::vector<std::string>{})
            << c.what;
        if (!c.enumerates) {
            EXPECT_EQ(fake.create_info.ppEnabledExtensionNames, nullptr) << c.what;
        }
        EXPECT_EQ(fake.instance_extension_calls, c.probe_calls) << c.what;
        EXPECT_EQ(fake.create_info.pNext, nullptr) << c.what;
        EXPECT_EQ(fake.create_info.enabledLayerCount, 0u) << c.what;
        EXPECT_STREQ(fake.application_info.pApplicationName, "Brisol") << c.what;
        EXPECT_STREQ(fake.application_info.pEngineName, "Brisol") << c.what;
        EXPECT_EQ(fake.application_info.applicationVersion, 1u) << c.what;
        EXPECT_EQ(fake.application_info.engineVersion, 1u) << c.what;
        EXPECT_EQ(fake.application_info.apiVersion, 0x400000u) << c.what;
        // The probe is silent whatever it finds.
        EXPECT_EQ(mark.new_text() + mark.new_xml(), "") << c.what;
        destroy_vulkan_instance(instance);
        EXPECT_EQ(fake.instances_destroyed, 1) << c.what;
    }
}

// Linux loaders show every driver to a plain instance, so the platform asks for nothing here.
// A count query near 2^32 must not make the probe ask for a terabyte of records.
TEST(Portability, UnbelievableCountIsGivenBoundedRoom) {
    install_fake_driver();
    fake.instance_extensions = {extension(portability, 1)};
    fake.instance_extension_query_count = 4000000000;
    EXPECT_TRUE(enumerate_portability(true));
}

TEST(Portability, NotAskedForOnThisPlatform) {
    install_fake_driver();
    fake.instance_extensions = {extension(portability, 1)};
    const VkInstance instance = create_vulkan_instance();
    ASSERT_NE(instance, VK_NULL_HANDLE);
    EXPECT_EQ(fake.create_info.flags, 0u);
    EXPECT_EQ(fake.create_info.enabledExtensionCount, 0u);
    EXPECT_EQ(fake.instance_extension_calls, 0);
    destroy_vulkan_instance(instance);
}

// A portability instance that the loader still refuses is reported like any other failure.
TEST(Portability, RefusedInstanceIsReportedAsUsual) {
    install_fake_driver();
    fake.instance_extensions = {extension(portability, 1)};
    fake.create_result = VK_ERROR_INCOMPATIBLE_DRIVER;
    const StreamMark mark;
    EXPECT_EQ(create_vulkan_instance(true), VK_NULL_HANDLE);
    EXPECT_EQ(fake.enabled_extensions, std::vector<std::string>{portability});
    EXPECT_EQ(mark.new_text(),
              "\n [ERROR] Vulkan instance creation failed (code: VK_ERROR_INCOMPATIBLE_DRIVER)");
    EXPECT_EQ(mark.new_xml(),
              "\n<error msg=\"Vulkan instance creation failed (code: "
              "VK_ERROR_INCOMPATIBLE_DRIVER)\" />");
}
