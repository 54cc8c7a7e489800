// The complete report's further parts (surfaces, what layers add, tools, the extensions' own
// lists, video profiles, what memory types hold) against the fake driver: every answer a driver
// may give, hostile ones, failures and missing commands. Lavapipe has no video, cooperative
// matrices, shading rates or sample locations, and no headless surface.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <string>
#include <vector>

#include "app/run.h"
#include "fake/fake_driver.h"
#include "support.h"

namespace {

void (*arrange_fake)() = nullptr;
int scripted_library;

ModuleHandle bind_arranged_fake() {
    install_fake_driver();
    add_further_answers();
    if (arrange_fake != nullptr) {
        arrange_fake();
    }
    return &scripted_library;
}

void release_arranged_fake(ModuleHandle) {}

const VulkanLoader arranged_loader = {bind_arranged_fake, release_arranged_fake};

void hostile_answers() {
    FakeDevice& device = fake.devices[0];
    device.further_fill_count = 1000;
    device.time_domains[1] = 999;
    device.present_modes[0] = 12345;
    VkPhysicalDeviceSampleLocationsPropertiesEXT locations{};
    locations.sType = VK_STRUCTURE_TYPE_PHYSICAL_DEVICE_SAMPLE_LOCATIONS_PROPERTIES_EXT;
    locations.sampleLocationSampleCounts = 0xFFFFFFFFu;
    device.chain[0] = chain_structure(locations);
    device.video_subsamplings = ~0u;
    device.video_depths = ~0u;
    device.memory.memoryTypeCount = 1000;
    device.image_memory_types = ~0u;
}

void failing_answers() {
    fake.devices[0].further_result = VK_ERROR_OUT_OF_HOST_MEMORY;
}

void missing_commands() {
    fake.missing_commands = {"vkCreateHeadlessSurfaceEXT",
                             "vkGetPhysicalDeviceToolPropertiesEXT",
                             "vkGetPhysicalDeviceCalibrateableTimeDomainsEXT",
                             "vkGetPhysicalDeviceFragmentShadingRatesKHR",
                             "vkGetPhysicalDeviceMultisamplePropertiesEXT",
                             "vkGetPhysicalDeviceCooperativeMatrixPropertiesNV",
                             "vkGetPhysicalDeviceVideoCapabilitiesKHR",
                             "vkCreateDevice"};
}

// The instance is made without VK_KHR_get_surface_capabilities2: the first commands serve.
void first_surface_commands() {
    fake.instance_extensions.erase(fake.instance_extensions.begin() + 2,
                                   fake.instance_extensions.begin() + 4);
}

std::string run(bool xml) {
    reset_reports();
    const char* const argv[] = {"brisol", "-all", "-xml"};
    return build_report(parse_options(xml ? 3 : 2, argv), arranged_loader);
}

}  // namespace

TEST(FurtherReport, EveryAnswerHostileFailingAndMissing) {
    const std::string headless = "VK_EXT_headless_surface";
    const struct {
        const char* what;
        void (*arrange)();
        std::vector<std::string> text, xml, absent;
        int surfaces, images;
    } cases[] = {
        {"every answer",
         nullptr,
         {"\nSurfaces: VK_EXT_headless_surface\n",
          "\n- Tools: 1\n\tVkPhysicalDeviceToolProperties:\n\t\tname: Sample Tool\n\t\tversion: "
          "7\n",
          "\n- Layer device extensions: 1\n\tVK_LAYER_BRISOL_sample: 1\n\t\t1/ "
          "VK_EXT_tooling_info (spec version: 1)\n",
          "\n- Surfaces: 1\n\tVK_EXT_headless_surface:\n\t\tPresent support: family 0: 1\n\t\t"
          "VkSurfaceCapabilitiesKHR:\n\t\t\tminImageCount: 2\n\t\t\tmaxImageCount: 8\n\t\t\t"
          "currentExtent:\n\t\t\t\twidth: 4294967295\n",
          "\n\t\tVkSurfaceProtectedCapabilitiesKHR:\n\t\t\tsupportsProtected: 1\n\t\tFormats: 2\n"
          "\t\t\tVkSurfaceFormatKHR:\n\t\t\t\tformat: VK_FORMAT_B8G8R8A8_SRGB\n\t\t\t\tcolorSpace: "
          "VK_COLOR_SPACE_SRGB_NONLINEAR_KHR\n",
          "\n\t\tPresent modes: 2\n\t\t\tVK_PRESENT_MODE_FIFO_KHR\n\t\t\t"
          "VK_PRESENT_MODE_MAILBOX_KHR\n\t\tPresent mode VK_PRESENT_MODE_FIFO_KHR:\n\t\t\t"
          "VkSurfacePresentScalingCapabilitiesEXT:\n\t\t\t\tsupportedPresentScaling: "
          "VK_PRESENT_SCALING_ONE_TO_ONE_BIT_EXT\n",
          "\n\t\t\tCompatible present modes: VK_PRESENT_MODE_FIFO_KHR, "
          "VK_PRESENT_MODE_FIFO_RELAXED_KHR\n\t\tPresent mode VK_PRESENT_MODE_MAILBOX_KHR:\n",
          "\n\t\tPresent rectangles: 1\n\t\t\tVkRect2D:\n",
          "\n\t\t\t\textent:\n\t\t\t\t\twidth: 640\n\t\t\t\t\theight: 480\n",
          "\n- Time domains: 2\n\tVK_TIME_DOMAIN_DEVICE_EXT\n\t"
          "VK_TIME_DOMAIN_CLOCK_MONOTONIC_RAW_EXT\n",
          "\n- Fragment shading rates: 2\n\tVkPhysicalDeviceFragmentShadingRateKHR:\n\t\t"
          "sampleCounts: VK_SAMPLE_COUNT_1_BIT | VK_SAMPLE_COUNT_4_BIT\n\t\tfragmentSize:\n\t\t\t"
          "width: 2\n",
          "\n- Multisample properties: 2\n\tVK_SAMPLE_COUNT_2_BIT:\n\t\t"
          "VkMultisamplePropertiesEXT:\n\t\t\tmaxSampleLocationGridSize:\n\t\t\t\twidth: "
          "4\n\t\t\t\t"
          "height: 2\n\tVK_SAMPLE_COUNT_8_BIT:\n",
          "\n- Cooperative matrices: 1\n\tVkCooperativeMatrixPropertiesNV:\n\t\tMSize: 16\n",
          // Four H.264 profiles by three picture layouts, of nine subsamplings and depths each.
          "\n- Video profiles: 12 (of 108 tried)\n\tprofile 0:\n\t\tVkVideoProfileInfoKHR:\n\t\t\t"
          "videoCodecOperation: VK_VIDEO_CODEC_OPERATION_DECODE_H264_BIT_KHR\n\t\t\t"
          "chromaSubsampling: VK_VIDEO_CHROMA_SUBSAMPLING_420_BIT_KHR\n\t\t\tlumaBitDepth: "
          "VK_VIDEO_COMPONENT_BIT_DEPTH_8_BIT_KHR\n",
          "\n\t\tVkVideoDecodeH264ProfileInfoKHR:\n\t\t\tstdProfileIdc: "
          "STD_VIDEO_H264_PROFILE_IDC_BASELINE\n\t\t\tpictureLayout: "
          "VK_VIDEO_DECODE_H264_PICTURE_LAYOUT_PROGRESSIVE_KHR\n",
          "\n\t\tVkVideoDecodeH264CapabilitiesKHR:\n\t\t\tmaxLevelIdc: "
          "STD_VIDEO_H264_LEVEL_IDC_5_1\n",
          "\n\t\tFormats for VK_IMAGE_USAGE_VIDEO_DECODE_DST_BIT_KHR: 1\n\t\t\t"
          "VkVideoFormatPropertiesKHR:\n\t\t\t\tformat: VK_FORMAT_G8_B8R8_2PLANE_420_UNORM\n",
          "\n\t\tFormats for VK_IMAGE_USAGE_VIDEO_DECODE_DPB_BIT_KHR: 1\n",
          "\n- Memory types can hold:\n\tmemoryTypes[0]:\n\tmemoryTypes[1]:\n\t\t"
          "VK_IMAGE_TILING_OPTIMAL: VK_FORMAT_R8G8B8A8_UNORM, VK_FORMAT_D16_UNORM, "
          "VK_FORMAT_X8_D24_UNORM_PACK32, VK_FORMAT_D32_SFLOAT, VK_FORMAT_S8_UINT, "
          "VK_FORMAT_D16_UNORM_S8_UINT, VK_FORMAT_D24_UNORM_S8_UINT, "
          "VK_FORMAT_D32_SFLOAT_S8_UINT\n\nDevice groups: 1"},
         {"\n\t\t<window_systems>\n\t\t\t<window_system extension=\"VK_EXT_headless_surface\" "
          "reachable=\"1\" />\n\t\t</window_systems>",
          "\n\t\t\t\t<surfaces count=\"1\">\n\t\t\t\t\t<surface "
          "extension=\"VK_EXT_headless_surface\">\n\t\t\t\t\t\t<present_support family=\"0\" "
          "supported=\"1\" />\n\t\t\t\t\t\t<capabilities>\n\t\t\t\t\t\t\t<structure "
          "name=\"VkSurfaceCapabilitiesKHR\">",
          "<present_mode name=\"VK_PRESENT_MODE_MAILBOX_KHR\" />",
          "<time_domain name=\"VK_TIME_DOMAIN_DEVICE_EXT\" />",
          "<video_profiles count=\"12\" tried=\"108\">",
          "<video_formats usage=\"VK_IMAGE_USAGE_VIDEO_DECODE_DPB_BIT_KHR\" count=\"1\">",
          "\n\t\t\t\t\t<memory_type index=\"1\">\n\t\t\t\t\t\t<image "
          "tiling=\"VK_IMAGE_TILING_OPTIMAL\" format=\"VK_FORMAT_R8G8B8A8_UNORM\" />"},
         {"[ERROR]"},
         1,
         8},
        {"hostile answers",
         hostile_answers,
         {"\n- Time domains: 2\n\tVK_TIME_DOMAIN_DEVICE_EXT\n\t999\n",
          "\n\t\tPresent modes: 2\n\t\t\t12345\n\t\t\tVK_PRESENT_MODE_MAILBOX_KHR\n\t\t"
          "Present mode VK_PRESENT_MODE_MAILBOX_KHR:\n",
          // Only the sample counts Vulkan names are asked about.
          "\n- Multisample properties: 7\n\tVK_SAMPLE_COUNT_1_BIT:\n",
          "\n\tVK_SAMPLE_COUNT_64_BIT:\n\t\tVkMultisamplePropertiesEXT:\n",
          // No more profiles are kept than 64.
          "\n- Video profiles: 64 (of 64 tried)\n", "\n\tmemoryTypes[31]:\n\t\tVK_IMAGE_TILING"},
         {"<time_domain name=\"999\" />", "<present_mode name=\"12345\" />"},
         {"[ERROR]", "memoryTypes[32]", "profile 64:", "Present mode 12345"},
         1,
         8},
        {"failing commands",
         failing_answers,
         {"\n [ERROR] unable to read the tool properties",
          "\n [ERROR] unable to read the present support",
          "\n [ERROR] unable to read the surface capabilities",
          "\n [ERROR] unable to read the surface formats",
          "\n [ERROR] unable to read the present modes",
          "\n [ERROR] unable to read the present rectangles",
          "\n [ERROR] unable to read the calibrateable time domains",
          "\n [ERROR] unable to read the fragment shading rates",
          "\n [ERROR] unable to read the cooperative matrix properties",
          "\n [ERROR] unable to read the video format properties"},
         {"<error msg=\"unable to read the surface capabilities\" />"},
         {},
         1,
         8},
        {"missing commands",
         missing_commands,
         {"\nSurfaces: none; not reachable: VK_EXT_headless_surface "
          "(vkCreateHeadlessSurfaceEXT is missing)\n",
          "\n- Tools: 0\n [ERROR] vkGetPhysicalDeviceToolPropertiesEXT is missing"},
         {"reachable=\"0\" why=\"vkCreateHeadlessSurfaceEXT is missing\" />"},
         {"- Surfaces:", "- Time domains:", "- Fragment shading rates:", "- Multisample",
          "- Cooperative", "- Video", "- Memory types can hold"},
         0,
         0},
        {"the first surface commands",
         first_surface_commands,
         {"\n\t\tVkSurfaceCapabilitiesKHR:\n\t\t\tminImageCount: 2\n",
          "\n\t\tFormats: 2\n\t\t\tVkSurfaceFormatKHR:\n"},
         {},
         {"VkSurfaceProtectedCapabilitiesKHR", "[ERROR]"},
         1,
         8},
    };
    for (const auto& c : cases) {
        arrange_fake = c.arrange;
        const std::string xml = run(true);
        EXPECT_EQ(xml_error(xml), "") << c.what;
        const size_t text_of_xml_run = text_report.size() + written_reports.text_left_out;
        for (const std::string& piece : c.xml) {
            EXPECT_NE(xml.find(piece), std::string::npos) << c.what << ": " << piece;
        }
        const std::string text = run(false);
        EXPECT_EQ(xml_report.size() + written_reports.xml_left_out, xml.size()) << c.what;
        EXPECT_EQ(text_of_xml_run + text_footer.size(), text.size()) << c.what;
        for (const std::string& piece : c.text) {
            EXPECT_NE(text.find(piece), std::string::npos) << c.what << ": " << piece;
        }
        for (const std::string& piece : c.absent) {
            EXPECT_EQ(text.find(piece), std::string::npos) << c.what << ": " << piece;
        }
        EXPECT_EQ(text.substr(text.size() - text_footer.size()), text_footer) << c.what;
        EXPECT_EQ(fake.unknown_device_calls, 0) << c.what;
        // Everything made is destroyed: surfaces, the logical device, its images.
        EXPECT_EQ(fake.surfaces_made, c.surfaces) << c.what;
        EXPECT_EQ(fake.surfaces_destroyed, c.surfaces) << c.what;
        EXPECT_EQ(fake.logical_devices_made, c.images > 0 ? 1 : 0) << c.what;
        EXPECT_EQ(fake.logical_devices_destroyed, fake.logical_devices_made) << c.what;
        EXPECT_EQ(fake.images_made, c.images) << c.what;
        EXPECT_EQ(fake.images_destroyed, c.images) << c.what;

        // The JSON document keeps the same facts under "brisol".
        reset_reports();
        const char* const argv[] = {"brisol", "-json"};
        const std::string document = build_report(parse_options(2, argv), arranged_loader);
        const nlohmann::json json = nlohmann::json::parse(document, nullptr, false);
        ASSERT_FALSE(json.is_discarded()) << c.what;
        const nlohmann::json& device = json["brisol"]["devices"][0];
        EXPECT_EQ(json["brisol"]["windowSystems"][0]["extension"], headless) << c.what;
        EXPECT_EQ(device["surfaces"].size(), static_cast<size_t>(c.surfaces)) << c.what;
        EXPECT_EQ(device["layerDeviceExtensions"]["VK_LAYER_BRISOL_sample"]["VK_EXT_tooling_info"],
                  1)
            << c.what;
        EXPECT_EQ(fake.surfaces_destroyed, fake.surfaces_made) << c.what;
    }
    arrange_fake = nullptr;
    const std::string text = run(false);
    reset_reports();
    const char* const argv[] = {"brisol", "-json"};
    const nlohmann::json json =
        nlohmann::json::parse(std::string(build_report(parse_options(2, argv), arranged_loader)));
    const nlohmann::json& device = json["brisol"]["devices"][0];
    EXPECT_EQ(device["tools"][0]["VkPhysicalDeviceToolProperties"]["name"], "Sample Tool");
    EXPECT_EQ(device["surfaces"][0]["presentSupport"], nlohmann::json::array({true}));
    EXPECT_EQ(device["surfaces"][0]["presentModes"][1], "VK_PRESENT_MODE_MAILBOX_KHR");
    EXPECT_EQ(device["surfaces"][0]["presentModeCapabilities"]["VK_PRESENT_MODE_FIFO_KHR"]
                    ["compatiblePresentModes"][1],
              "VK_PRESENT_MODE_FIFO_RELAXED_KHR");
    EXPECT_EQ(device["timeDomains"][1], "VK_TIME_DOMAIN_CLOCK_MONOTONIC_RAW_EXT");
    EXPECT_EQ(device["fragmentShadingRates"].size(), 2u);
    EXPECT_EQ(device["multisampleProperties"]["VK_SAMPLE_COUNT_8_BIT"]["VkMultisamplePropertiesEXT"]
                    ["maxSampleLocationGridSize"]["width"],
              4);
    EXPECT_EQ(device["cooperativeMatrices"][0]["VkCooperativeMatrixPropertiesNV"]["KSize"], 16);
    EXPECT_EQ(device["videoProfiles"].size(), 12u);
    EXPECT_EQ(device["videoProfiles"][0]["VkVideoDecodeH264CapabilitiesKHR"]["maxLevelIdc"],
              "STD_VIDEO_H264_LEVEL_IDC_5_1");
    EXPECT_EQ(device["memoryTypeImages"][1][7]["format"], "VK_FORMAT_D32_SFLOAT_S8_UINT");
}
