// "-profile FILE" end to end: the real binary, the real loader and lavapipe, real documents.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>

#include <nlohmann/json.hpp>

#include "app/run.h"
#include "documents.h"
#include "registry/registry.h"
#include "support.h"

namespace {

using Json = nlohmann::ordered_json;

ProgramRun check_on_lavapipe(const std::vector<std::string>& args) {
    return run_program(BRISOL_EXE, args,
                       {"VK_DRIVER_FILES=" LAVAPIPE_ICD, "VK_ICD_FILENAMES=" LAVAPIPE_ICD,
                        "ASAN_OPTIONS=detect_leaks=0"});
}

const char lavapipe_line[] = "  Device 1, llvmpipe (LLVM 15.0.6, 256 bits): ";

}  // namespace

// Debian's roadmap profile on lavapipe. Every expected line was worked out by hand: each
// requirement of the profile's eight capabilities (not its optionals) read against the device's
// values in `vulkaninfo -j` (VK_DRIVER_FILES=lvp_icd.x86_64.json) and compared as vk.xml's
// limittype says, in the order of the file. Met, and so absent: api-version 1.3.204 < 1.3.230;
// bufferImageGranularity (min,mul) 64 divides 4096; subgroupSize (max,pot) 8 >= 4; every max
// limit not listed below is at least the profile's; the only missing extension is
// VK_KHR_global_priority. Booleans are written as the complete report writes them, 1 and 0.
TEST(Profile, RoadmapOnLavapipe) {
    const std::string cap10 = " (vulkan10requirements_roadmap2022)";
    const std::string cap12 = " (vulkan12requirements_roadmap2022)";
    std::string expected = "Profile VP_KHR_roadmap_2022 (api-version 1.3.204): not supported\n" +
                           std::string(lavapipe_line) + "not supported\n";
    const auto add = [&expected](const std::string& line) { expected += "    " + line + "\n"; };
    for (const char* feature :
         {"shaderSampledImageArrayDynamicIndexing", "shaderStorageImageArrayDynamicIndexing"}) {
        add("VkPhysicalDeviceFeatures." + std::string(feature) + ": required 1, device 0" + cap10);
    }
    const std::string limits = "VkPhysicalDeviceProperties.limits.";
    add(limits + "maxPerStageDescriptorSamplers: required 64, device 32" + cap10);
    add(limits + "maxPerStageDescriptorSampledImages: required 200, device 128" + cap10);
    add(limits + "maxPerStageResources: required 200, device 128" + cap10);
    add(limits + "maxDescriptorSetSampledImages: required 1800, device 256" + cap10);
    add(limits + "mipmapPrecisionBits: required 6, device 4" + cap10);
    add("VkPhysicalDeviceVulkan11Features.samplerYcbcrConversion: required 1, device 0 "
        "(vulkan11requirements_roadmap2022)");
    // Every Vulkan 1.2 feature of the block but samplerMirrorClampToEdge and scalarBlockLayout.
    for (const char* feature :
         {"descriptorIndexing", "shaderUniformTexelBufferArrayDynamicIndexing",
          "shaderStorageTexelBufferArrayDynamicIndexing",
          "shaderUniformBufferArrayNonUniformIndexing", "shaderSampledImageArrayNonUniformIndexing",
          "shaderStorageBufferArrayNonUniformIndexing", "shaderStorageImageArrayNonUniformIndexing",
          "shaderUniformTexelBufferArrayNonUniformIndexing",
          "shaderStorageTexelBufferArrayNonUniformIndexing",
          "descriptorBindingSampledImageUpdateAfterBind",
          "descriptorBindingStorageImageUpdateAfterBind",
          "descriptorBindingStorageBufferUpdateAfterBind",
          "descriptorBindingUniformTexelBufferUpdateAfterBind",
          "descriptorBindingStorageTexelBufferUpdateAfterBind",
          "descriptorBindingUpdateUnusedWhilePending", "descriptorBindingPartiallyBound",
          "descriptorBindingVariableDescriptorCount", "runtimeDescriptorArray"}) {
        add("VkPhysicalDeviceVulkan12Features." + std::string(feature) + ": required 1, device 0" +
            cap12);
    }
    // lavapipe allows 65536 of each kind after bind; the profile asks 500000 of these.
    for (const char* limit :
         {"maxPerStageDescriptorUpdateAfterBindSamplers",
          "maxPerStageDescriptorUpdateAfterBindStorageBuffers",
          "maxPerStageDescriptorUpdateAfterBindSampledImages",
          "maxPerStageDescriptorUpdateAfterBindStorageImages",
          "maxPerStageUpdateAfterBindResources", "maxDescriptorSetUpdateAfterBindSamplers",
          "maxDescriptorSetUpdateAfterBindStorageBuffers",
          "maxDescriptorSetUpdateAfterBindSampledImages",
          "maxDescriptorSetUpdateAfterBindStorageImages"}) {
        add("VkPhysicalDeviceVulkan12Properties." + std::string(limit) +
            ": required 500000, device 65536" + cap12);
    }
    add("extension VK_KHR_global_priority: required 1, device missing "
        "(vulkan13requirements_roadmap2022)");

    const ProgramRun text = check_on_lavapipe({"-profile", ROADMAP_PROFILE});
    EXPECT_EQ(text.status, 1);
    EXPECT_EQ(text.err, "");
    EXPECT_EQ(text.out, expected);

    // The same verdict in the other two forms: the XML validates and the JSON parses, each with
    // one entry per unmet line.
    const ProgramRun xml = check_on_lavapipe({"-profile", ROADMAP_PROFILE, "-xml"});
    EXPECT_EQ(xml.status, 1);
    EXPECT_EQ(xml_error(xml.out), "");
    EXPECT_EQ(count_of(xml.out, "<unmet "), count_of(expected, "\n    "));
    const ProgramRun json = check_on_lavapipe({"-profile", ROADMAP_PROFILE, "-json"});
    EXPECT_EQ(json.status, 1);
    const Json verdict = Json::parse(json.out, nullptr, false);
    ASSERT_TRUE(verdict.is_object()) << json.out;
    EXPECT_EQ(verdict["supported"], false);
    const Json& unmet = verdict["profiles"][0]["devices"][0]["unmet"];
    ASSERT_EQ(unmet.size(), count_of(expected, "\n    "));
    EXPECT_EQ(unmet[4]["where"], limits + "maxPerStageResources");
    EXPECT_EQ(unmet[4]["required"], "200");
    EXPECT_EQ(unmet[4]["device"], "128");
}

// The device's own capabilities, as Brisol's -json document and as vulkaninfo's Profiles export,
// meet the device; each requirement made stricter than the device is named with both values, and
// nothing else.
TEST(Profile, DeviceDocumentRoundTrip) {
    const std::string folder = scratch_folder();
    const std::string exported = folder + "vulkaninfo.json";
    const ProgramRun vulkaninfo = run_program("/usr/bin/vulkaninfo", {"-j", "-o", exported},
                                              {"VK_DRIVER_FILES=" LAVAPIPE_ICD});
    ASSERT_EQ(vulkaninfo.status, 0) << vulkaninfo.err;
    const ProgramRun own = check_on_lavapipe({"-json"});
    ASSERT_EQ(own.status, 0) << own.err;
    const std::string device = " (device)";
    const std::string formats = "format VK_FORMAT_R8G8B8A8_UNORM ";
    const struct {
        const char* what;
        // The profile, the device's capability and the document's capabilities.
        std::function<void(Json& profile, Json& device, Json& capabilities)> stricter;
        std::string line;  // "" when the device still meets the document
    } cases[] = {
        {"the device's own document", [](Json&, Json&, Json&) {}, ""},
        {"a feature it lacks",
         [](Json&, Json& device, Json&) {
             device["features"]["VkPhysicalDeviceFeatures"]["depthBounds"] = true;
         },
         "VkPhysicalDeviceFeatures.depthBounds: required 1, device 0" + device},
        {"a max limit above its value",
         [](Json&, Json& device, Json&) {
             device["properties"]["VkPhysicalDeviceProperties"]["limits"]["maxImageDimension2D"] =
                 16385;
         },
         "VkPhysicalDeviceProperties.limits.maxImageDimension2D: required 16385, device 16384" +
             device},
        {"a min limit below its value",
         [](Json&, Json& device, Json&) {
             device["properties"]["VkPhysicalDeviceProperties"]["limits"]
                   ["minUniformBufferOffsetAlignment"] = 8;
         },
         "VkPhysicalDeviceProperties.limits.minUniformBufferOffsetAlignment: required 8, device "
         "16" +
             device},
        {"a bit it lacks",
         [](Json&, Json& device, Json&) {
             device["properties"]["VkPhysicalDeviceProperties"]["limits"]
                   ["framebufferColorSampleCounts"]
                       .push_back("VK_SAMPLE_COUNT_8_BIT");
         },
         "VkPhysicalDeviceProperties.limits.framebufferColorSampleCounts: required "
         "VK_SAMPLE_COUNT_1_BIT | VK_SAMPLE_COUNT_4_BIT | VK_SAMPLE_COUNT_8_BIT, device "
         "VK_SAMPLE_COUNT_1_BIT | VK_SAMPLE_COUNT_4_BIT" +
             device},
        {"a range wider than its own",
         [](Json&, Json& device, Json&) {
             device["properties"]["VkPhysicalDeviceProperties"]["limits"]["pointSizeRange"][1] =
                 256;
         },
         "VkPhysicalDeviceProperties.limits.pointSizeRange: required [0, 256], device [0, 255]" +
             device},
        {"a format feature",
         [](Json&, Json& device, Json&) {
             device["formats"]["VK_FORMAT_R8G8B8A8_UNORM"]["VkFormatProperties"]["bufferFeatures"] =
                 {"VK_FORMAT_FEATURE_VERTEX_BUFFER_BIT",
                  "VK_FORMAT_FEATURE_STORAGE_TEXEL_BUFFER_ATOMIC_BIT"};
         },
         formats +
             "VkFormatProperties.bufferFeatures: required VK_FORMAT_FEATURE_STORAGE_TEXEL_BUFFER_"
             "ATOMIC_BIT | VK_FORMAT_FEATURE_VERTEX_BUFFER_BIT, device VK_FORMAT_FEATURE_UNIFORM_"
             "TEXEL_BUFFER_BIT | VK_FORMAT_FEATURE_STORAGE_TEXEL_BUFFER_BIT | VK_FORMAT_FEATURE_"
             "VERTEX_BUFFER_BIT" +
             device},
        {"an extension it lacks",
         [](Json&, Json& device, Json&) { device["extensions"]["VK_KHR_ray_query"] = 1; },
         "extension VK_KHR_ray_query: required 1, device missing" + device},
        {"a newer extension",
         [](Json&, Json& device, Json&) { device["extensions"]["VK_KHR_swapchain"] = 71; },
         "extension VK_KHR_swapchain: required 71, device 70" + device},
        {"an instance extension the loader lists",
         [](Json&, Json& device, Json&) { device["extensions"]["VK_KHR_surface"] = 25; }, ""},
        {"a newer instance extension",
         [](Json&, Json& device, Json&) { device["extensions"]["VK_KHR_surface"] = 26; },
         "extension VK_KHR_surface: required 26, device 25" + device},
        {"a newer patch of the same API version",
         [](Json& profile, Json&, Json&) { profile["api-version"] = "1.3.4095"; }, ""},
        {"a newer API version",
         [](Json& profile, Json&, Json&) { profile["api-version"] = "1.4.0"; },
         "api-version: required 1.4.0, device 1.3.230"},
        {"more queues than a family has",
         [](Json&, Json& device, Json&) {
             device["queueFamiliesProperties"][0]["VkQueueFamilyProperties"]["queueCount"] = 2;
         },
         "queue family 0 (device family 0) VkQueueFamilyProperties.queueCount: required 2, "
         "device 1" +
             device},
        {"a structure the headers do not know",
         [](Json&, Json& device, Json&) {
             device["features"]["VkPhysicalDeviceWarpDriveFeaturesEXT"] = {};
         },
         "VkPhysicalDeviceWarpDriveFeaturesEXT: unknown to this build" + device},
        {"alternatives, one of them met",
         [](Json& profile, Json&, Json& caps) {
             caps["missing"] = {{"extensions", {{"VK_KHR_ray_query", 1}}}};
             caps["kept"] = Json::object();
             profile["capabilities"].push_back(Json::array({"missing", "kept"}));
         },
         ""},
        {"alternatives, none met",
         [](Json& profile, Json&, Json& caps) {
             caps["missing"] = {{"extensions", {{"VK_KHR_ray_query", 1}}}};
             profile["capabilities"] = Json::array({Json::array({"missing", "missing"})});
         },
         "extension VK_KHR_ray_query: required 1, device missing (missing, alternative 1 of 2)\n"
         "    extension VK_KHR_ray_query: required 1, device missing (missing, alternative 2 of "
         "2)"},
    };
    for (const std::string& source : {read_file(exported), own.out}) {
        const Json original = Json::parse(source, nullptr, false);
        ASSERT_TRUE(original.is_object());
        const std::string profile_name = original["profiles"].begin().key();
        const std::string capability = original["capabilities"].begin().key();
        for (const auto& test : cases) {
            Json document = original;
            Json& profile = document["profiles"][profile_name];
            test.stricter(profile, document["capabilities"][capability], document["capabilities"]);
            const std::string path = write_file(folder + "stricter.json", document.dump());
            const ProgramRun run = check_on_lavapipe({"-profile", path});
            const std::string header = "Profile " + profile_name + " (api-version " +
                                       profile["api-version"].get<std::string>() + "): ";
            // The lines name the capability "device"; each document names its own.
            std::string line = test.line;
            const std::string named = "(" + capability + ")";
            for (size_t at = line.find("(device)"); at != std::string::npos;
                 at = line.find("(device)", at + named.size())) {
                line.replace(at, 8, named);
            }
            const std::string expected =
                line.empty() ? header + "supported\n" + lavapipe_line + "supported\n"
                             : header + "not supported\n" + lavapipe_line + "not supported\n    " +
                                   line + "\n";
            EXPECT_EQ(run.out, expected) << test.what << " in " << profile_name;
            EXPECT_EQ(run.status, line.empty() ? 0 : 1) << test.what << " in " << profile_name;
            EXPECT_EQ(run.err, "") << test.what << " in " << profile_name;
        }
    }
}

// A profile that names a failing capability again and again lists 4096 unmet requirements and
// counts the others, rather than growing without bound.
TEST(Profile, BoundsTheUnmetLines) {
    Json document = {{"capabilities", {{"missing", {{"extensions", {{"VK_KHR_ray_query", 1}}}}}}},
                     {"profiles", {{"VP_X_y", {{"api-version", "1.0.0"}}}}}};
    document["profiles"]["VP_X_y"]["capabilities"] = Json::array();
    for (int i = 0; i < 5000; ++i) {
        document["profiles"]["VP_X_y"]["capabilities"].push_back("missing");
    }
    const std::string path = write_file(scratch_folder() + "repeated.json", document.dump());
    const ProgramRun run = check_on_lavapipe({"-profile", path});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(count_of(run.out,
                       "\n    extension VK_KHR_ray_query: required 1, device missing "
                       "(missing)"),
              4096u);
    EXPECT_EQ(run.out.substr(run.out.rfind("\n    ")),
              "\n    904 more unmet requirements left out\n");
}

// Files that are not profiles documents end the run with status 2, one line on standard error
// and nothing on standard output, before Vulkan is touched (no driver is offered here).
TEST(Profile, RefusesWhatIsNotAProfilesDocument) {
    const std::string folder = scratch_folder();
    for (const RefusedDocument& test : refused_documents()) {
        const std::string path = folder + test.name;
        if (std::string(test.name) != "missing.json") {
            write_file(path, test.text);
        }
        const ProgramRun run = run_program(BRISOL_EXE, {"-profile", path});
        EXPECT_EQ(run.status, 2) << test.name;
        EXPECT_EQ(run.out, "") << test.name;
        EXPECT_EQ(run.err, "brisol: " + path + ": " + test.why + "\n") << test.name;
        unlink(path.c_str());
    }
}

namespace {

// The devices a scenario offers, by the names the verdict gives them: "lavapipe" is Mesa's CPU
// driver through the real loader, any other a scenario of the fake loader library.
std::vector<std::string> device_names(const std::string& scenario) {
    if (scenario == "lavapipe") {
        return {"llvmpipe (LLVM 15.0.6, 256 bits)"};
    }
    if (scenario == "two-devices") {
        return {"Sample Discrete GPU", "Second <GPU> & \"friends\""};
    }
    return {"Sample Discrete GPU"};
}

ProgramRun check_on(const std::string& scenario, const std::vector<std::string>& args) {
    return scenario == "lavapipe" ? check_on_lavapipe(args) : run_with_fake_loader(args, scenario);
}

// The text verdict of one profile: for each device the lines it misses (none: it meets the
// profile).
std::string verdict_text(const std::string& profile, const std::string& api_version,
                         const std::vector<std::string>& names,
                         const std::vector<std::vector<std::string>>& unmet) {
    bool supported = false;
    std::string devices;
    for (size_t d = 0; d < names.size(); ++d) {
        supported = supported || unmet[d].empty();
        devices += "  Device " + std::to_string(d + 1) + ", " + names[d] + ": " +
                   (unmet[d].empty() ? "supported\n" : "not supported\n");
        for (const std::string& line : unmet[d]) {
            devices += "    " + line + "\n";
        }
    }
    return "Profile " + profile + " (api-version " + api_version +
           "): " + (supported ? "supported\n" : "not supported\n") + devices;
}

// A document whose one profile, VP_X_y, requires one capability, c.
std::string one_capability(const std::string& capability, const std::string& api_version) {
    return R"({"capabilities": {"c": )" + capability +
           R"(}, "profiles": {"VP_X_y": {"api-version": ")" + api_version +
           R"(", "capabilities": ["c"]}}})";
}

}  // namespace

// One requirement per profile, each against the devices of a scenario, with the lines the
// verdict gives each device (every line of a capability ends with " (c)", which the table leaves
// out). Device values of lavapipe are those `vulkaninfo -j` gives; the fake's are in
// tests/fake/fake_driver.cpp.
TEST(Profile, OneRequirementEach) {
    const std::string limits = R"({"properties": {"VkPhysicalDeviceProperties": {"limits": )";
    const std::string vulkan13 = R"({"properties": {"VkPhysicalDeviceVulkan13Properties": )";
    const std::string families = R"({"queueFamiliesProperties": [)";
    const std::string rgba = R"({"formats": {"VK_FORMAT_R8G8B8A8_UNORM": {"VkFormatProperties": )";
    const std::string rgba_optimal =
        "format VK_FORMAT_R8G8B8A8_UNORM VkFormatProperties.optimalTilingFeatures";
    const std::string lavapipe_rgba_optimal =
        "VK_FORMAT_FEATURE_SAMPLED_IMAGE_BIT | VK_FORMAT_FEATURE_STORAGE_IMAGE_BIT | "
        "VK_FORMAT_FEATURE_COLOR_ATTACHMENT_BIT | VK_FORMAT_FEATURE_COLOR_ATTACHMENT_BLEND_BIT | "
        "VK_FORMAT_FEATURE_BLIT_SRC_BIT | VK_FORMAT_FEATURE_BLIT_DST_BIT | "
        "VK_FORMAT_FEATURE_SAMPLED_IMAGE_FILTER_LINEAR_BIT | VK_FORMAT_FEATURE_TRANSFER_SRC_BIT | "
        "VK_FORMAT_FEATURE_TRANSFER_DST_BIT";
    const std::string rate = "VkPhysicalDeviceFragmentShadingRatePropertiesKHR";
    const struct {
        const char* what;
        const char* scenario;
        std::string capability;
        std::vector<std::vector<std::string>> unmet;  // per device
        const char* api_version;
    } cases[] = {
        {"bits: at least", "lavapipe", limits + R"({"subPixelPrecisionBits": 4}}}})", {{}}},
        {"bits: more than the device's",
         "lavapipe",
         limits + R"({"subPixelPrecisionBits": 9}}}})",
         {{"VkPhysicalDeviceProperties.limits.subPixelPrecisionBits: required 9, device 8"}}},
        {"exact on a boolean",
         "lavapipe",
         vulkan13 + R"({"storageTexelBufferOffsetSingleTexelAlignment": false}}})",
         {{"VkPhysicalDeviceVulkan13Properties.storageTexelBufferOffsetSingleTexelAlignment: "
           "required 0, device 1"}}},
        {"a range inside the device's",
         "lavapipe",
         limits + R"({"lineWidthRange": [2, 100]}}}})",
         {{}}},
        {"a range's lower bound",
         "lavapipe",
         limits + R"({"lineWidthRange": [0.5, 255]}}}})",
         {{"VkPhysicalDeviceProperties.limits.lineWidthRange: required [0.5, 255], device [1, "
           "255]"}}},
        {"an array member's index",
         "lavapipe",
         limits + R"({"maxComputeWorkGroupCount": [70000]}}}})",
         {{"VkPhysicalDeviceProperties.limits.maxComputeWorkGroupCount[0]: required 70000, "
           "device 65535"}}},
        {"arrays element by element",
         "lavapipe",
         limits + R"({"maxComputeWorkGroupCount": [1, 65536, 1]}}}})",
         {{"VkPhysicalDeviceProperties.limits.maxComputeWorkGroupCount[1]: required 65536, "
           "device 65535"}}},
        {"min,mul: a multiple of the device's",
         "lavapipe",
         limits + R"({"bufferImageGranularity": 4096}}}})",
         {{}}},
        {"min,mul: not a multiple",
         "lavapipe",
         limits + R"({"bufferImageGranularity": 96}}}})",
         {{"VkPhysicalDeviceProperties.limits.bufferImageGranularity: required 96, device 64"}}},
        {"min,mul: finer than the device's",
         "lavapipe",
         limits + R"({"bufferImageGranularity": 32}}}})",
         {{"VkPhysicalDeviceProperties.limits.bufferImageGranularity: required 32, device 64"}}},
        {"nested members inherit their limit type",
         "lavapipe",
         families + R"({"VkQueueFamilyProperties": {"minImageTransferGranularity": )"
                    R"({"width": 2, "height": 2, "depth": 2}}}]})",
         {{}}},
        {"a granularity of 0 is the coarsest",
         "two-devices",
         families + R"({"VkQueueFamilyProperties": {"minImageTransferGranularity": )"
                    R"({"width": 2, "height": 2, "depth": 0}}}]})",
         {{"queue family 0 (device family 0) VkQueueFamilyProperties.minImageTransferGranularity."
           "width: required 2, device 0",
           "queue family 0 (device family 0) VkQueueFamilyProperties.minImageTransferGranularity."
           "height: required 2, device 0"},
          {}}},
        {"a structure the device does not provide",
         "lavapipe",
         R"({"properties": {")" + rate + R"(": {"maxFragmentShadingRateCoverageSamples": 1}}})",
         {{rate + ": required present, device missing"}}},
        {"a feature structure it lacks, asked nothing but false",
         "lavapipe",
         R"({"features": {"VkPhysicalDeviceFragmentShadingRateFeaturesKHR": )"
         R"({"pipelineFragmentShadingRate": false}}})",
         {{}}},
        {"a feature structure it lacks, asked a feature",
         "lavapipe",
         R"({"features": {"VkPhysicalDeviceFragmentShadingRateFeaturesKHR": )"
         R"({"pipelineFragmentShadingRate": false, "primitiveFragmentShadingRate": true}}})",
         {{"VkPhysicalDeviceFragmentShadingRateFeaturesKHR: required present, device missing"}}},
        {"a format it does not provide",
         "lavapipe",
         R"({"formats": {"VK_FORMAT_PVRTC1_2BPP_UNORM_BLOCK_IMG": {"VkFormatProperties": )"
         R"({"optimalTilingFeatures": ["VK_FORMAT_FEATURE_SAMPLED_IMAGE_BIT"]}}}})",
         {{"format VK_FORMAT_PVRTC1_2BPP_UNORM_BLOCK_IMG VkFormatProperties.optimalTilingFeatures:"
           " required VK_FORMAT_FEATURE_SAMPLED_IMAGE_BIT, device 0"}}},
        {"api-version: major and minor, not the patch", "lavapipe", "{}", {{}}, "1.3.276"},
        {"api-version: a newer minor version",
         "lavapipe",
         "{}",
         {{"api-version: required 1.4.0, device 1.3.230"}},
         "1.4.0"},
        {"alias names of formats, enumerants and flag bits",
         "lavapipe",
         R"({"formats": {"VK_FORMAT_A4B4G4R4_UNORM_PACK16_EXT": {"VkFormatProperties": )"
         R"({"optimalTilingFeatures": ["VK_FORMAT_FEATURE_TRANSFER_SRC_BIT_KHR"]}, )"
         R"("VkFormatProperties3KHR": {"optimalTilingFeatures": )"
         R"(["VK_FORMAT_FEATURE_2_SAMPLED_IMAGE_BIT_KHR", "VK_FORMAT_FEATURE_BLIT_SRC_BIT"]}}}, )"
         R"("properties": {"VkPhysicalDeviceFloatControlsPropertiesKHR": )"
         R"({"denormBehaviorIndependence": "VK_SHADER_FLOAT_CONTROLS_INDEPENDENCE_ALL_KHR"}, )"
         R"("VkPhysicalDeviceVulkan11Properties": {"subgroupSupportedStages": )"
         R"(["VK_SHADER_STAGE_TASK_BIT_NV"]}}})",
         {{"VkPhysicalDeviceVulkan11Properties.subgroupSupportedStages: required "
           "VK_SHADER_STAGE_TASK_BIT_EXT, device VK_SHADER_STAGE_FRAGMENT_BIT | "
           "VK_SHADER_STAGE_COMPUTE_BIT"}}},
        // An alias that is more than the name with its vendor's suffix.
        {"a structure by an alias of another name",
         "lavapipe",
         R"({"features": {"VkPhysicalDeviceFloat16Int8FeaturesKHR": {"shaderInt8": true}}})",
         {{}}},
        {"an unknown bit beside known ones",
         "lavapipe",
         rgba + R"({"optimalTilingFeatures": ["VK_FORMAT_FEATURE_SAMPLED_IMAGE_BIT", )"
                R"("VK_FORMAT_FEATURE_MADE_UP_BIT", "VK_FORMAT_FEATURE_DISJOINT_BIT"]}}}})",
         {{rgba_optimal + " VK_FORMAT_FEATURE_MADE_UP_BIT: unknown to this build",
           rgba_optimal +
               ": required VK_FORMAT_FEATURE_SAMPLED_IMAGE_BIT | "
               "VK_FORMAT_FEATURE_DISJOINT_BIT, device " +
               lavapipe_rgba_optimal}}},
        {"names with a NUL",
         "lavapipe",
         R"({"extensions": {"VK_KHR_8bit_storage\u0000junk": 1}, "features": )"
         R"({"VkPhysicalDeviceFeatures\u0000": {}, "VkPhysicalDeviceFeatures": )"
         R"({"wideLines\u0000": true}}, "properties": {"VkPhysicalDeviceProperties": )"
         R"({"deviceName": "llvmpipe (LLVM 15.0.6, 256 bits)\u0000junk"}}})",
         {{"extension VK_KHR_8bit_storage\\x00junk: unknown to this build",
           "VkPhysicalDeviceFeatures\\x00: unknown to this build",
           "VkPhysicalDeviceFeatures.wideLines\\x00: unknown to this build",
           "VkPhysicalDeviceProperties.deviceName: required llvmpipe (LLVM 15.0.6, 256 "
           "bits)\\x00junk, device llvmpipe (LLVM 15.0.6, 256 bits)"}}},
        {"values of an unexpected form cost one requirement each",
         "lavapipe",
         R"({"extensions": {"VK_KHR_swapchain": "70", "VK_KHR_ray_query": 1}, )"
         R"("features": {"VkPhysicalDeviceFeatures": {"wideLines": 1, "depthBounds": true}}, )"
         R"("properties": {"VkPhysicalDeviceProperties": {"limits": {)"
         R"("bufferImageGranularity": "64", "maxComputeWorkGroupCount": 5, )"
         R"("maxImageDimension1D": 16385}}, "VkPhysicalDeviceVulkan12Properties": )"
         R"({"driverID": null, "driverName": 7}}})",
         {{"extension VK_KHR_swapchain: the file gives \"70\", not a number",
           "extension VK_KHR_ray_query: required 1, device missing",
           "VkPhysicalDeviceFeatures.wideLines: the file gives 1, not true or false",
           "VkPhysicalDeviceFeatures.depthBounds: required 1, device 0",
           "VkPhysicalDeviceProperties.limits.bufferImageGranularity: the file gives \"64\", not "
           "a number",
           "VkPhysicalDeviceProperties.limits.maxComputeWorkGroupCount: the file gives 5, not an "
           "array",
           "VkPhysicalDeviceProperties.limits.maxImageDimension1D: required 16385, device 16384",
           "VkPhysicalDeviceVulkan12Properties.driverID: the file gives null, not an enumerant "
           "name",
           "VkPhysicalDeviceVulkan12Properties.driverName: the file gives 7, not a string"}}},
        {"structures in another block, sType and pNext",
         "lavapipe",
         R"({"features": {"VkPhysicalDeviceVulkan13Properties": {}, "VkPhysicalDeviceFeatures": )"
         R"({"sType": "VK_STRUCTURE_TYPE_X", "pNext": null, "wideLines": true}}, )"
         R"("properties": {"VkPhysicalDeviceFeatures": {"wideLines": true}}})",
         {{"VkPhysicalDeviceVulkan13Properties: not a features structure",
           "VkPhysicalDeviceFeatures: not a properties structure"}}},
        {"supported when any device meets it",
         "two-devices",
         R"({"features": {"VkPhysicalDeviceFeatures2": {"features": {"wideLines": true}}}})",
         {{"VkPhysicalDeviceFeatures2.features.wideLines: required 1, device 0"}, {}}},
        {"queue families: ties name the first family",
         "two-devices",
         families + R"({"VkQueueFamilyProperties": {"queueCount": 16}}]})",
         {{},
          {"queue family 0 (device family 0) VkQueueFamilyProperties.queueCount: required 16, "
           "device 2"}}},
        {"queue families: the closest family",
         "two-devices",
         families + R"({"VkQueueFamilyProperties": {"queueFlags": ["VK_QUEUE_GRAPHICS_BIT"], )"
                    R"("queueCount": 16}}]})",
         {{},
          {"queue family 0 (device family 1) VkQueueFamilyProperties.queueCount: required 16, "
           "device 8"}}},
        {"queue families: a device without families",
         "families:0",
         families + R"({"VkQueueFamilyProperties": {}}]})",
         {{"queue family 0: required present, device missing"}}},
        {"an enumeration under max compares by number",
         "two-devices",
         R"({"properties": {")" + rate +
             R"(": {"maxFragmentShadingRateRasterizationSamples": "VK_SAMPLE_COUNT_4_BIT"}}})",
         {{rate + ": required present, device missing"}, {}}},
        {"residencyAlignedMipSize as min: false asked",
         "two-devices",
         R"({"properties": {"VkPhysicalDeviceProperties": {"sparseProperties": )"
         R"({"residencyAlignedMipSize": false}}}})",
         {{},
          {"VkPhysicalDeviceProperties.sparseProperties.residencyAlignedMipSize: required 0, "
           "device 1"}}},
        {"residencyAlignedMipSize as min: true asked",
         "two-devices",
         R"({"properties": {"VkPhysicalDeviceProperties": {"sparseProperties": )"
         R"({"residencyAlignedMipSize": true}}}})",
         {{}, {}}},
    };
    for (const auto& test : cases) {
        const std::string api_version = test.api_version != nullptr ? test.api_version : "1.0.0";
        const std::string path =
            write_file(scratch_folder() + "one.json", one_capability(test.capability, api_version));
        std::vector<std::vector<std::string>> unmet = test.unmet;
        bool supported = false;
        for (std::vector<std::string>& lines : unmet) {
            supported = supported || lines.empty();
            for (std::string& line : lines) {
                line += line.rfind("api-version", 0) == 0 ? "" : " (c)";
            }
        }
        const ProgramRun run = check_on(test.scenario, {"-profile", path});
        EXPECT_EQ(run.out, verdict_text("VP_X_y", api_version, device_names(test.scenario), unmet))
            << test.what;
        EXPECT_EQ(run.status, supported ? 0 : 1) << test.what;
        EXPECT_EQ(run.err, "") << test.what;
    }
}

// Profiles that require other profiles, in one file or several, and the ways of naming the
// files: each case writes its files and runs on lavapipe.
TEST(Profile, RequiredProfilesAndSeveralFiles) {
    // A profile met on lavapipe (api 1.0) and one that is not (depthBounds).
    const std::string met = R"("VP_X_met": {"api-version": "1.0.0", "capabilities": ["ok"]})";
    const std::string unmet = R"("VP_X_unmet": {"api-version": "1.0.0", "capabilities": ["no"]})";
    const std::string blocks =
        R"("capabilities": {"ok": {}, "no": {"features": {"VkPhysicalDeviceFeatures": )"
        R"({"depthBounds": true}}}})";
    const auto document = [&blocks](const std::string& profiles) {
        return "{" + blocks + R"(, "profiles": {)" + profiles + "}}";
    };
    const auto requiring = [](const std::string& name, const std::string& required) {
        return "\"" + name +
               R"(": {"api-version": "1.0.0", "capabilities": ["ok"], "profiles": [)" + required +
               "]}";
    };
    const std::string device = "llvmpipe (LLVM 15.0.6, 256 bits)";
    const auto profile = [&device](const std::string& name, const std::vector<std::string>& lines) {
        return verdict_text(name, "1.0.0", {device}, {lines});
    };
    const std::string depth_bounds =
        "VkPhysicalDeviceFeatures.depthBounds: required 1, device 0 (no)";
    const std::string folder = scratch_folder();
    const struct {
        const char* what;
        std::vector<std::string> files;  // written as 1.json, 2.json, ...
        std::vector<std::string> args;   // FILE n names file n
        std::string out;
        int status;
        std::string err;
    } cases[] = {
        {"several profiles, the first unmet",
         {document(unmet + ", " + met)},
         {"-profile", "FILE1"},
         profile("VP_X_unmet", {depth_bounds}) + profile("VP_X_met", {}),
         1,
         ""},
        {"alternatives: an array of a kept and a missing capability, in both orders",
         {document(
             R"("VP_X_a": {"api-version": "1.0.0", "capabilities": [[["ok", "no"], "ok"]]}, )"
             R"("VP_X_b": {"api-version": "1.0.0", "capabilities": [[["no", "ok"], ["ok", "no"]]]})")},
         {"-profile", "FILE1"},
         profile("VP_X_a", {}) +
             profile("VP_X_b", {"VkPhysicalDeviceFeatures.depthBounds: required 1, device 0 (no, "
                                "alternative 1 of 2)",
                                "VkPhysicalDeviceFeatures.depthBounds: required 1, device 0 (no, "
                                "alternative 2 of 2)"}),
         1,
         ""},
        {"a required profile that is met",
         {document(met + ", " + requiring("VP_X_a", "\"VP_X_met\""))},
         {"-profile", "FILE1"},
         profile("VP_X_met", {}) + profile("VP_X_a", {}),
         0,
         ""},
        {"a required profile that is not",
         {document(requiring("VP_X_a", "\"VP_X_unmet\"") + ", " + unmet)},
         {"-profile", "FILE1"},
         profile("VP_X_a", {"required profile VP_X_unmet: not supported"}) +
             profile("VP_X_unmet", {depth_bounds}),
         1,
         ""},
        {"requirements through a chain",
         {document(requiring("VP_X_a", "\"VP_X_b\"") + ", " +
                   requiring("VP_X_b", "\"VP_X_unmet\"") + ", " + unmet)},
         {"-profile", "FILE1"},
         profile("VP_X_a", {"required profile VP_X_b: not supported"}) +
             profile("VP_X_b", {"required profile VP_X_unmet: not supported"}) +
             profile("VP_X_unmet", {depth_bounds}),
         1,
         ""},
        {"a required profile no file defines",
         {document(requiring("VP_X_a", "\"VP_X_met\", \"VP_X_nowhere\"") + ", " + met)},
         {"-profile", "FILE1"},
         profile("VP_X_a", {"required profile VP_X_nowhere: defined in none of the files given"}) +
             profile("VP_X_met", {}),
         1,
         ""},
        {"a required profile from another file, every form of the option",
         {document(requiring("VP_X_a", "\"VP_X_met\"")), document(met), document(unmet)},
         {"-profile=FILE1", "--profile=FILE2", "-profile", "FILE3"},
         profile("VP_X_a", {}) + profile("VP_X_met", {}) + profile("VP_X_unmet", {depth_bounds}),
         1,
         ""},
        {"the same name in two files: the requiring profile's own file first",
         {document(met),
          document(requiring("VP_X_a", "\"VP_X_met\"") + ", " +
                   R"("VP_X_met": {"api-version": "1.0.0", "capabilities": ["no"]})")},
         {"-profile", "FILE1", "-profile", "FILE2"},
         profile("VP_X_met", {}) + profile("VP_X_a", {"required profile VP_X_met: not supported"}) +
             profile("VP_X_met",
                     {"VkPhysicalDeviceFeatures.depthBounds: required 1, device 0 (no)"}),
         1,
         ""},
        {"requirements that go round across files",
         {document(requiring("VP_X_a", "\"VP_X_b\"")), document(requiring("VP_X_b", "\"VP_X_a\""))},
         {"-profile", "FILE1", "-profile", "FILE2"},
         "",
         2,
         "brisol: FILE1: not a profiles document: profile VP_X_a requires itself, through "
         "VP_X_b\n"},
        {"one file of several that cannot be read",
         {document(met)},
         {"-profile", "FILE1", "-profile", "FILE9"},
         "",
         2,
         "brisol: FILE9: cannot be opened: No such file or directory\n"},
        {"an empty name after the equals sign",
         {document(met)},
         {"-profile", "FILE1", "-profile="},
         "",
         2,
         "brisol: -profile: no file name given\n"},
        {"a file name holding options",
         {document(met)},
         {"--profile=FILE1-h-version-xml"},
         profile("VP_X_met", {}),
         0,
         ""},
        {"an escaped quote, then brackets, inside a string",
         {"{" + blocks + R"(, "profiles": {"VP_X_met": {"api-version": "1.0.0", "label": "\")" +
          std::string(300, '[') + R"(", "capabilities": ["ok"]}}})"},
         {"-profile", "FILE1"},
         profile("VP_X_met", {}),
         0,
         ""},
    };
    const auto with_paths = [&folder](std::string text) {
        for (char n = '1'; n <= '9'; ++n) {
            const std::string name = std::string("FILE") + n;
            for (size_t at = text.find(name); at != std::string::npos; at = text.find(name, at)) {
                text.replace(at, name.size(), folder + n + ".json");
            }
        }
        return text;
    };
    for (const auto& test : cases) {
        for (size_t f = 0; f < test.files.size(); ++f) {
            write_file(folder + std::to_string(f + 1) + ".json", test.files[f]);
        }
        std::vector<std::string> args;
        for (const std::string& arg : test.args) {
            args.push_back(with_paths(arg));
        }
        if (test.args.back() == "--profile=FILE1-h-version-xml") {
            rename((folder + "1.json").c_str(), (folder + "1.json-h-version-xml").c_str());
        }
        const ProgramRun run = check_on_lavapipe(args);
        EXPECT_EQ(run.out, test.out) << test.what;
        EXPECT_EQ(run.status, test.status) << test.what;
        EXPECT_EQ(run.err, with_paths(test.err)) << test.what;
    }
}

// Names from the file cannot forge lines: the text writes their control characters out, the XML
// and JSON forms escape them as they escape everything else.
TEST(Profile, NamesFromTheFileMakeNoLinesOfTheirOwn) {
    const std::string forged = "VP_X_y (api-version 1.0.0): supported\nProfile VP_X_z";
    const std::string document =
        R"({"capabilities": {"c\td": {"extensions": {"VK_X_\r\nmade_up": 1}}}, "profiles": {")" +
        std::string("VP_X_y (api-version 1.0.0): supported\\nProfile VP_X_z") +
        R"(": {"api-version": "1.0.0", "capabilities": ["c\td"]}}})";
    const std::string path = write_file(scratch_folder() + "forged.json", document);
    const ProgramRun text = check_on_lavapipe({"-profile", path});
    EXPECT_EQ(text.out,
              "Profile VP_X_y (api-version 1.0.0): supported\\nProfile VP_X_z (api-version "
              "1.0.0): not supported\n" +
                  std::string(lavapipe_line) +
                  "not supported\n    extension VK_X_\\x0d\\nmade_up: required 1, device missing "
                  "(c\\td)\n");
    EXPECT_EQ(text.status, 1);
    const ProgramRun xml = check_on_lavapipe({"-profile", path, "-xml"});
    EXPECT_EQ(xml_error(xml.out), "");
    EXPECT_NE(xml.out.find("<vk_profile name=\"VP_X_y (api-version 1.0.0): supported&#10;Profile "
                           "VP_X_z\""),
              std::string::npos);
    EXPECT_NE(
        xml.out.find("<unmet capability=\"c&#9;d\" where=\"extension VK_X_&#13;&#10;made_up\""),
        std::string::npos);
    const ProgramRun json = check_on_lavapipe({"-profile", path, "-json"});
    const Json verdict = Json::parse(json.out, nullptr, false);
    ASSERT_TRUE(verdict.is_object()) << json.out;
    EXPECT_EQ(verdict["profiles"][0]["name"], forged);
    EXPECT_EQ(verdict["profiles"][0]["devices"][0]["unmet"][0]["where"],
              "extension VK_X_\r\nmade_up");
}

// The verdict in every form carries what went wrong with Vulkan before it.
TEST(Profile, EveryFormCarriesTheRunsErrors) {
    const std::string path =
        write_file(scratch_folder() + "empty.json",
                   R"({"capabilities": {"c": {}}, "profiles": {"VP_X_y": {"api-version": "1.0.0", )"
                   R"("capabilities": ["c"]}}})");
    const std::string not_a_library = scratch_folder();
    write_file(not_a_library + "libvulkan.so.1", "not a library");
    const struct {
        const char* what;
        std::vector<std::string> environment;
        std::string error;
    } cases[] = {
        {"no loader",
         {"LD_LIBRARY_PATH=" + not_a_library},
         "Unable to load Vulkan core lib (probably an incompatible driver)"},
        {"no driver",
         {"LD_LIBRARY_PATH=" FAKE_LOADER_DIR, "FAKE_VULKAN_SCENARIO=incompatible"},
         "Vulkan instance creation failed (code: VK_ERROR_INCOMPATIBLE_DRIVER)"},
    };
    for (const auto& test : cases) {
        const ProgramRun text = run_program(BRISOL_EXE, {"-profile", path}, test.environment);
        EXPECT_EQ(text.out,
                  "\n [ERROR] " + test.error +
                      "\nProfile VP_X_y (api-version 1.0.0): not supported\n  no device\n")
            << test.what;
        EXPECT_EQ(text.status, 1) << test.what;
        const ProgramRun xml =
            run_program(BRISOL_EXE, {"-profile", path, "-xml"}, test.environment);
        EXPECT_EQ(xml_error(xml.out), "") << test.what;
        EXPECT_NE(xml.out.find("<error msg=\"" + test.error + "\" />"), std::string::npos)
            << test.what;
        const ProgramRun json =
            run_program(BRISOL_EXE, {"-profile", path, "-json"}, test.environment);
        const Json verdict = Json::parse(json.out, nullptr, false);
        ASSERT_TRUE(verdict.is_object()) << json.out;
        EXPECT_EQ(verdict["errors"], Json::array({test.error})) << test.what;
        EXPECT_EQ(verdict["supported"], false) << test.what;
        EXPECT_EQ(verdict["profiles"][0]["devices"], Json::array()) << test.what;
    }
}

// Brisol's own document of a device meets that device, whatever the driver answers: each device
// meets the profile of its own capabilities, in every form.
TEST(Profile, OwnDocumentMeetsItsDevices) {
    for (const std::string scenario :
         {"lavapipe", "sample", "two-devices", "hostile", "families:9"}) {
        const ProgramRun own = check_on(scenario, {"-json"});
        ASSERT_EQ(own.status, 0) << scenario;
        const std::string path = write_file(scratch_folder() + "own.json", own.out);
        const ProgramRun run = check_on(scenario, {"-profile", path});
        EXPECT_EQ(run.status, 0) << scenario << "\n" << run.out;
        EXPECT_EQ(run.err, "") << scenario;
        const Json document = Json::parse(own.out);
        size_t number = 1;
        for (const auto& item : document["profiles"].items()) {
            // Under its own profile, the device of the same number is supported.
            const size_t profile = run.out.find("Profile " + item.key() + " ");
            ASSERT_NE(profile, std::string::npos) << scenario;
            const std::string device = "\n  Device " + std::to_string(number++) + ", ";
            const size_t line = run.out.find(device, profile);
            ASSERT_NE(line, std::string::npos) << scenario;
            const size_t end = run.out.find('\n', line + 1);
            EXPECT_EQ(run.out.substr(end - 11, 11), ": supported") << scenario << " " << item.key();
        }
        const ProgramRun xml = check_on(scenario, {"-profile", path, "-xml"});
        EXPECT_EQ(xml.status, 0) << scenario;
        EXPECT_EQ(xml_error(xml.out), "") << scenario;
        const ProgramRun json = check_on(scenario, {"-profile", path, "-json"});
        EXPECT_EQ(Json::parse(json.out, nullptr, false)["supported"], true) << scenario;
    }
}

// Every published profile of the Khronos Vulkan-Profiles repository (copies in tests/data, see
// their README) is read and checked on lavapipe: the two that are no profiles documents are
// refused, every other gives a verdict in all three forms. The counts pin what this build reads
// in each file; PublishedLinesAgainstVulkaninfo confirms chosen lines independently.
TEST(Profile, EveryPublishedProfileOnLavapipe) {
    const struct {
        const char* file;
        int status;
        size_t lines;    // unmet requirements listed
        size_t unknown;  // of which names this build does not know (Vulkan 1.4, provisional video)
    } cases[] = {
        {"Android/VP_ANDROID_15_requirements.json", 1, 14, 1},
        {"Android/VP_ANDROID_16_requirements.json", 1, 16, 0},
        {"Android/VP_ANDROID_17_requirements.json", 1, 30, 1},
        {"Android/VP_ANDROID_vulkan_profile_2021.json", 1, 85, 0},
        {"Android/VP_ANDROID_vulkan_profile_2022.json", 1, 89, 0},
        {"Android/VP_ANDROID_vulkan_profile_2025.json", 1, 125, 0},
        {"Khronos/VP_KHR_roadmap.json", 1, 175, 39},
        {"LunarG/VP_LUNARG_desktop_baseline.json", 1, 217, 0},
        {"LunarG/VP_LUNARG_desktop_baseline_config.json", 2, 0, 0},
        {"LunarG/VP_LUNARG_minimum_requirements.json", 1, 17, 3},
        {"VP_ANDROID_15_minimums.json", 1, 14, 1},
        {"VP_ANDROID_16_minimums.json", 1, 16, 0},
        {"VP_ANDROID_baseline_2021.json", 1, 85, 0},
        {"VP_ANDROID_baseline_2022.json", 1, 89, 0},
        {"VP_KHR_roadmap_2022.json", 1, 36, 0},
        {"test/data/VP_LUNARG_test_api.json", 1, 1273, 164},
        {"test/data/VP_LUNARG_test_api_1_0.json", 0, 0, 0},
        {"test/data/VP_LUNARG_test_api_1_1.json", 0, 0, 0},
        {"test/data/VP_LUNARG_test_api_1_2.json", 0, 0, 0},
        {"test/data/VP_LUNARG_test_api_1_3.json", 0, 0, 0},
        {"test/data/VP_LUNARG_test_api_alternate.json", 1, 167, 0},
        {"test/data/VP_LUNARG_test_api_version.json", 1, 1, 0},
        {"test/data/VP_LUNARG_test_api_version_profile.json", 0, 0, 0},
        {"test/data/VP_LUNARG_test_baseline_formats.json", 0, 0, 0},
        {"test/data/VP_LUNARG_test_capabilities.json", 0, 0, 0},
        {"test/data/VP_LUNARG_test_combine_intersect/VP_LUNARG_test_combine_intersect1.json", 1, 13,
         0},
        {"test/data/VP_LUNARG_test_combine_intersect/VP_LUNARG_test_combine_intersect2.json", 1, 12,
         0},
        {"test/data/VP_LUNARG_test_combine_union/VP_LUNARG_test_combine_union1.json", 1, 3, 0},
        {"test/data/VP_LUNARG_test_combine_union/VP_LUNARG_test_combine_union2.json", 1, 3, 0},
        {"test/data/VP_LUNARG_test_device_extensions.json", 0, 0, 0},
        {"test/data/VP_LUNARG_test_device_features.json", 1, 2, 0},
        {"test/data/VP_LUNARG_test_device_properties.json", 1, 3, 0},
        {"test/data/VP_LUNARG_test_duplicated.json", 0, 0, 0},
        {"test/data/VP_LUNARG_test_formats.json", 2, 0, 0},
        {"test/data/VP_LUNARG_test_host_image_copy/local_gpu.json", 1, 695, 4},
        {"test/data/VP_LUNARG_test_host_image_copy/remote_gpu.json", 1, 539, 2},
        {"test/data/VP_LUNARG_test_instance_extensions.json", 0, 0, 0},
        {"test/data/VP_LUNARG_test_promoted_api.json", 1, 91, 0},
        {"test/data/VP_LUNARG_test_required_profiles.json", 1, 1, 0},
        {"test/data/VP_LUNARG_test_required_profiles2.json", 1, 1, 0},
        {"test/data/VP_LUNARG_test_selecting_profile.json", 0, 0, 0},
        {"test/data/VP_LUNARG_test_structure_complex.json", 0, 0, 0},
        {"test/data/VP_LUNARG_test_structure_fallback.json", 0, 0, 0},
        {"test/data/VP_LUNARG_test_structure_simple.json", 0, 0, 0},
        {"test/data/VP_LUNARG_test_variants.json", 0, 0, 0},
        {"test/data/VP_LUNARG_test_vkformatproperties.json", 1, 4, 0},
        {"test/data/VP_LUNARG_test_vkqueuefamilyproperties.json", 1, 18, 4},
        {"test/data/VP_RASTERGRID_test_video_profiles.json", 1, 29, 12},
    };
    for (const auto& test : cases) {
        const std::string path = std::string(PUBLISHED_PROFILES "/") + test.file;
        const ProgramRun text = check_on_lavapipe({"-profile", path});
        EXPECT_EQ(text.status, test.status) << test.file << "\n" << text.err;
        EXPECT_EQ(count_of(text.out, "\n    "), test.lines) << test.file;
        EXPECT_EQ(count_of(text.out, ": unknown to this build"), test.unknown) << test.file;
        if (test.status == 2) {
            EXPECT_EQ(text.err.rfind("brisol: " + path + ": ", 0), 0u) << test.file;
            continue;
        }
        EXPECT_EQ(text.err, "") << test.file;
        const ProgramRun xml = check_on_lavapipe({"-profile", path, "-xml"});
        EXPECT_EQ(xml_error(xml.out), "") << test.file;
        EXPECT_EQ(count_of(xml.out, "\n\t\t\t<"), test.lines) << test.file;
        const ProgramRun json = check_on_lavapipe({"-profile", path, "-json"});
        const Json verdict = Json::parse(json.out, nullptr, false);
        ASSERT_TRUE(verdict.is_object()) << test.file;
        EXPECT_EQ(verdict["supported"], test.status == 0) << test.file;
    }
}

namespace {

// A value of vulkaninfo's document as the verdict writes it: booleans 1 and 0, integral numbers
// whole, arrays in brackets, flag bits in the order of their values (table names the bits).
std::string as_verdict_writes(const Json& value, const char* table = nullptr) {
    if (value.is_boolean()) {
        return value.get<bool>() ? "1" : "0";
    }
    if (value.is_number()) {
        const double number = value.get<double>();
        return number == std::floor(number) ? std::to_string(static_cast<long long>(number))
                                            : value.dump();
    }
    if (value.is_string()) {
        return value.get<std::string>();
    }
    std::vector<std::pair<uint64_t, std::string>> parts;
    for (const Json& element : value) {
        uint64_t bit = 0;
        if (table != nullptr) {
            value_of_name(*find_value_names(table), element.get<std::string>().c_str(), &bit);
        }
        parts.emplace_back(table != nullptr ? bit : parts.size(), as_verdict_writes(element));
    }
    std::sort(parts.begin(), parts.end());
    std::string text;
    for (const auto& [order, part] : parts) {
        text += (text.empty() ? "" : table != nullptr ? " | " : ", ") + part;
    }
    return table != nullptr ? text : "[" + text + "]";
}

}  // namespace

// Chosen unmet lines of published profiles, each worked out from the file (the required value,
// written here) and from `vulkaninfo -j` on the same device (the device's value, read at run
// time), one for each rule: max, bits, a range, a feature, flags as a superset, an extension the
// device lacks, format features, a queue family, the API version, identification compared for
// equality, a sparse property.
TEST(Profile, PublishedLinesAgainstVulkaninfo) {
    const std::string exported = scratch_folder() + "vulkaninfo.json";
    ASSERT_EQ(run_program("/usr/bin/vulkaninfo", {"-j", "-o", exported},
                          {"VK_DRIVER_FILES=" LAVAPIPE_ICD})
                  .status,
              0);
    const Json vulkaninfo = Json::parse(read_file(exported));
    const Json& device = vulkaninfo["capabilities"].begin().value();
    const Json& limits = device["properties"]["VkPhysicalDeviceProperties"]["limits"];
    const Json& properties = device["properties"]["VkPhysicalDeviceProperties"];
    const std::string rgba3 =
        "format VK_FORMAT_R8G8B8A8_UNORM VkFormatProperties3.optimalTilingFeatures";
    const struct {
        const char* file;
        std::string where;
        std::string required;
        std::string device;
        const char* capability;
    } cases[] = {
        {"Android/VP_ANDROID_15_requirements.json",
         "VkPhysicalDeviceProperties.limits.maxPerStageDescriptorSamplers", "128",
         as_verdict_writes(limits["maxPerStageDescriptorSamplers"]), "MUST"},
        {"VP_KHR_roadmap_2022.json", "VkPhysicalDeviceProperties.limits.mipmapPrecisionBits", "6",
         as_verdict_writes(limits["mipmapPrecisionBits"]), "vulkan10requirements_roadmap2022"},
        {"LunarG/VP_LUNARG_minimum_requirements.json",
         "VkPhysicalDeviceProperties.limits.pointSizeRange", "[1, 256]",
         as_verdict_writes(limits["pointSizeRange"]), "vulkan14requirements"},
        {"VP_KHR_roadmap_2022.json",
         "VkPhysicalDeviceFeatures.shaderSampledImageArrayDynamicIndexing", "1",
         as_verdict_writes(device["features"]["VkPhysicalDeviceFeatures"]
                                 ["shaderSampledImageArrayDynamicIndexing"]),
         "vulkan10requirements_roadmap2022"},
        {"LunarG/VP_LUNARG_minimum_requirements.json",
         "VkPhysicalDeviceVulkan11Properties.subgroupSupportedOperations",
         "VK_SUBGROUP_FEATURE_BASIC_BIT | VK_SUBGROUP_FEATURE_CLUSTERED_BIT",
         as_verdict_writes(device["properties"]["VkPhysicalDeviceVulkan11Properties"]
                                 ["subgroupSupportedOperations"],
                           "VkSubgroupFeatureFlagBits"),
         "vulkan14requirements"},
        {"VP_KHR_roadmap_2022.json", "extension VK_KHR_global_priority", "1",
         device["extensions"].contains("VK_KHR_global_priority") ? "listed" : "missing",
         "vulkan13requirements_roadmap2022"},
        {"test/data/VP_LUNARG_test_vkformatproperties.json", rgba3,
         "VK_FORMAT_FEATURE_2_STORAGE_IMAGE_BIT | VK_FORMAT_FEATURE_2_STORAGE_IMAGE_ATOMIC_BIT",
         as_verdict_writes(device["formats"]["VK_FORMAT_R8G8B8A8_UNORM"]["VkFormatProperties3"]
                                 ["optimalTilingFeatures"],
                           "VkFormatFeatureFlagBits2"),
         "baseline"},
        {"test/data/VP_LUNARG_test_vkqueuefamilyproperties.json",
         "queue family 1 (device family 0) "
         "VkQueueFamilyProperties2.queueFamilyProperties.queueCount",
         "2",
         as_verdict_writes(
             device["queueFamiliesProperties"][0]["VkQueueFamilyProperties"]["queueCount"]),
         "baseline"},
        {"LunarG/VP_LUNARG_minimum_requirements.json", "api-version", "1.4.304",
         vulkaninfo["profiles"].begin().value()["api-version"].get<std::string>(), nullptr},
        {"test/data/VP_LUNARG_test_combine_union/VP_LUNARG_test_combine_union1.json",
         "VkPhysicalDeviceProperties.vendorID", "4098", as_verdict_writes(properties["vendorID"]),
         "baseline"},
        {"test/data/VP_LUNARG_test_combine_union/VP_LUNARG_test_combine_union1.json",
         "VkPhysicalDeviceProperties.deviceType", "VK_PHYSICAL_DEVICE_TYPE_OTHER",
         as_verdict_writes(properties["deviceType"]), "baseline"},
        {"test/data/VP_LUNARG_test_device_properties.json",
         "VkPhysicalDeviceProperties.sparseProperties.residencyStandard2DBlockShape", "1",
         as_verdict_writes(properties["sparseProperties"]["residencyStandard2DBlockShape"]),
         "baseline"},
    };
    for (const auto& test : cases) {
        const ProgramRun run =
            check_on_lavapipe({"-profile", std::string(PUBLISHED_PROFILES "/") + test.file});
        std::string line =
            "\n    " + test.where + ": required " + test.required + ", device " + test.device;
        line += test.capability != nullptr ? " (" + std::string(test.capability) + ")\n" : "\n";
        EXPECT_NE(run.out.find(line), std::string::npos) << test.file << line;
    }
}

// No file and no driver takes the machine: a profile that names 4096 unmet queue families, named
// by 1000 profiles, against lavapipe and against a driver with 4096 families, gives a verdict of
// at most about 16 MiB in each form that says what it left out, as do names of markup that only
// the XML form makes long; a file of 60 MiB of empty objects is refused before it is parsed. Each
// run holds under 256 MiB.
TEST(Profile, BoundedWhateverTheFileAndTheDriver) {
    std::string entries;
    for (int f = 0; f < 4096; ++f) {
        entries +=
            std::string(f == 0 ? "" : ",") + R"({"VkQueueFamilyProperties": {"queueCount": 5000}})";
    }
    std::string profiles;
    for (int p = 0; p < 1000; ++p) {
        profiles += (p == 0 ? "\"VP_X_" : ",\"VP_X_") + std::to_string(p) +
                    R"(": {"api-version": "1.0.0", "capabilities": ["q"]})";
    }
    const std::string folder = scratch_folder();
    const std::string many =
        write_file(folder + "many.json", R"({"capabilities": {"q": {"queueFamiliesProperties": [)" +
                                             entries + R"(]}}, "profiles": {)" + profiles + "}}");
    EXPECT_LT(read_file(many).size(), size_t{300} << 10);
    for (const std::string scenario : {"lavapipe", "families:4096"}) {
        for (const char* form : {"-txt", "-xml", "-json"}) {
            const ProgramRun run = check_on(scenario, {"-profile", many, form});
            const std::string label = scenario + " " + form;
            EXPECT_EQ(run.status, 1) << label;
            EXPECT_EQ(run.err, "") << label;
            EXPECT_LT(run.out.size(), most_report_bytes + (size_t{64} << 10)) << label;
#if !defined(__SANITIZE_ADDRESS__)
            EXPECT_LT(run.peak_kib, 256 * 1024) << label;
#endif
            if (std::string(form) == "-txt") {
                EXPECT_NE(run.out.find("\nthe verdict reached its size limit: the remaining "
                                       "profiles and devices were left out, with "),
                          std::string::npos)
                    << label;
            } else if (std::string(form) == "-xml") {
                EXPECT_EQ(xml_error(run.out), "") << label;
                EXPECT_NE(run.out.find("<vk_profiles_left_out unmet=\""), std::string::npos)
                    << label;
            } else {
                const Json verdict = Json::parse(run.out, nullptr, false);
                ASSERT_TRUE(verdict.is_object()) << label;
                EXPECT_GT(verdict["left_out"].get<uint64_t>(), 0u) << label;
                EXPECT_EQ(verdict["profiles"].size() < 1000, true) << label;
            }
        }
    }
    // Lines whose places are names of markup, five times longer in the XML form than in the text:
    // the XML form is cut at its own size.
    std::string markup;
    for (int s = 0; s < 4096; ++s) {
        markup += (s == 0 ? "\"" : ",\"") + std::to_string(s) + std::string(400, '&') + "\": {}";
    }
    std::string naming;
    for (int p = 0; p < 20; ++p) {
        naming += (p == 0 ? "\"VP_X_" : ",\"VP_X_") + std::to_string(p) +
                  R"(": {"api-version": "1.0.0", "capabilities": ["m"]})";
    }
    const std::string names =
        write_file(folder + "markup.json", R"({"capabilities": {"m": {"features": {)" + markup +
                                               R"(}}}, "profiles": {)" + naming + "}}");
    const ProgramRun xml = check_on_lavapipe({"-profile", names, "-xml"});
    EXPECT_EQ(xml.status, 1);
    EXPECT_LT(xml.out.size(), most_report_bytes + (size_t{64} << 10));
    EXPECT_EQ(xml_error(xml.out), "");
    EXPECT_NE(xml.out.find("<vk_profiles_left_out unmet=\""), std::string::npos);

    const std::string objects = write_file(folder + "objects.json", empty_objects(20 << 20));
    const ProgramRun refused = run_program(BRISOL_EXE, {"-profile", objects});
    EXPECT_EQ(refused.status, 2);
    EXPECT_EQ(refused.err, "brisol: " + objects + ": holds more than 524288 values\n");
#if !defined(__SANITIZE_ADDRESS__)
    EXPECT_LT(refused.peak_kib, 256 * 1024);
#endif
}

// "-profile FILE", "-profile=FILE" and "--profile=FILE", any number of times: the file names are
// the user's, never searched for options, while what stands before "-profile=" in the same
// argument still is.
TEST(Profile, TheOptionTakesEveryFileGiven) {
    const struct {
        std::vector<const char*> args;
        std::vector<std::string> paths;
        OutputFormat format;
        bool help;
    } cases[] = {
        {{"-profile", "a.json"}, {"a.json"}, OutputFormat::Text, false},
        {{"-profile", "-h-xml"}, {"-h-xml"}, OutputFormat::Text, false},
        {{"-profile=my-hw-xml.json"}, {"my-hw-xml.json"}, OutputFormat::Text, false},
        {{"--profile=x-h.json", "-json"}, {"x-h.json"}, OutputFormat::Json, false},
        {{"-xml--profile=a"}, {"a"}, OutputFormat::Xml, false},
        {{"-profile", "a", "-profile=b", "--profile=c", "-h"},
         {"a", "b", "c"},
         OutputFormat::Text,
         true},
        {{"-profile="}, {""}, OutputFormat::Text, false},
        {{"-xml", "-profile"}, {""}, OutputFormat::Xml, false},
        {{"-profiles"}, {""}, OutputFormat::Text, false},
    };
    for (const auto& test : cases) {
        std::vector<const char*> argv{"brisol"};
        argv.insert(argv.end(), test.args.begin(), test.args.end());
        const RunOptions options = parse_options(static_cast<int>(argv.size()), argv.data());
        const std::vector<std::string> paths(options.profile_paths.begin(),
                                             options.profile_paths.end());
        EXPECT_EQ(paths, test.paths) << test.args.front();
        EXPECT_EQ(options.format, test.format) << test.args.front();
        EXPECT_EQ(options.show_help, test.help) << test.args.front();
    }
}
