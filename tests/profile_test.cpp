// "-profile FILE" end to end: the real binary, the real loader and lavapipe, real documents.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <unistd.h>

#include <fstream>
#include <functional>
#include <sstream>
#include <string>

#include <nlohmann/json.hpp>

#include "support.h"

namespace {

using Json = nlohmann::ordered_json;

ProgramRun check_on_lavapipe(const std::vector<std::string>& args) {
    return run_program(BRISOL_EXE, args,
                       {"VK_DRIVER_FILES=" LAVAPIPE_ICD, "VK_ICD_FILENAMES=" LAVAPIPE_ICD,
                        "ASAN_OPTIONS=detect_leaks=0"});
}

// A scratch folder for the documents of one test.
std::string scratch_folder() {
    std::string folder = testing::TempDir() + "brisol-profile-XXXXXX";
    EXPECT_NE(mkdtemp(folder.data()), nullptr);
    return folder + "/";
}

std::string write_file(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
    return path;
}

std::string read_file(const std::string& path) {
    std::ostringstream text;
    text << std::ifstream(path, std::ios::binary).rdbuf();
    return text.str();
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
        {"a newer API version",
         [](Json& profile, Json&, Json&) { profile["api-version"] = "1.3.231"; },
         "api-version: required 1.3.231, device 1.3.230"},
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
// and nothing on standard output, before Vulkan is touched (no driver is offered here). The
// position of malformed JSON is where the parser stopped: the last byte of the bad token, or the
// column just past the end of a truncated text.
TEST(Profile, RefusesWhatIsNotAProfilesDocument) {
    const std::string folder = scratch_folder();
    const std::string valid_profile =
        R"("profiles": {"VP_X_y": {"api-version": "1.3.0", "capabilities": ["c"]}})";
    const auto with_capability = [&valid_profile](const std::string& block) {
        return "{\"capabilities\": {\"c\": " + block + "}, " + valid_profile + "}";
    };
    const std::string limits = R"({"properties": {"VkPhysicalDeviceProperties": {"limits": )";
    const struct {
        const char* name;
        std::string text;  // null text: the file is not written
        std::string why;
    } cases[] = {
        {"missing.json", "", "cannot be opened: No such file or directory"},
        {"empty.json", "",
         "malformed JSON at line 1, column 1: syntax error while parsing value - unexpected end "
         "of input; expected '[', '{', or a literal"},
        {"truncated.json", "{\n  \"profiles\": {\"VP_X_y\": [1, ",
         "malformed JSON at line 2, column 30: syntax error while parsing value - unexpected end "
         "of input; expected '[', '{', or a literal"},
        {"not-utf8.json", "{\"a\": \"\xff\"}",
         "malformed JSON at line 1, column 8: syntax error while parsing value - invalid string: "
         "ill-formed UTF-8 byte; last read: '\"?'"},
        {"array.json", "[]",
         "not a profiles document: expected \"capabilities\" and \"profiles\" objects at the top"},
        {"no-profile.json", R"({"capabilities": {}, "profiles": {}})",
         "not a profiles document: the \"profiles\" object holds no profile"},
        {"string-limit.json", with_capability(limits + R"({"maxImageDimension1D": "big"}}}})"),
         "not a profiles document: capability c, VkPhysicalDeviceProperties.limits."
         "maxImageDimension1D: expected an unsigned 32-bit integer"},
        {"uint32-overflow.json",
         with_capability(limits + R"({"maxImageDimension1D": 4294967296}}}})"),
         "not a profiles document: capability c, VkPhysicalDeviceProperties.limits."
         "maxImageDimension1D: expected an unsigned 32-bit integer"},
        {"float-overflow.json", with_capability(limits + R"({"maxSamplerLodBias": 1e39}}}})"),
         "not a profiles document: capability c, VkPhysicalDeviceProperties.limits."
         "maxSamplerLodBias: expected a number within the range of a float"},
        {"double-overflow.json", with_capability(limits + R"({"maxSamplerLodBias": 1e400}}}})"),
         "malformed JSON at line 1, column 107: number overflow parsing '1e400'"},
        {"negative-version.json", with_capability(R"({"extensions": {"VK_KHR_a": -1}})"),
         "not a profiles document: capability c, extension VK_KHR_a: expected a spec version (an "
         "unsigned 32-bit integer)"},
        {"feature-number.json",
         with_capability(R"({"features": {"VkPhysicalDeviceFeatures": {"wideLines": 1}}})"),
         "not a profiles document: capability c, VkPhysicalDeviceFeatures.wideLines: expected "
         "true or false"},
        {"undefined-capability.json",
         R"({"capabilities": {}, "profiles": {"VP_X_y": {"api-version": "1.3.0", )"
         R"("capabilities": ["c"]}}})",
         "not a profiles document: profile VP_X_y: a capabilities entry names no capability of "
         "the file"},
        {"bad-api-version.json",
         R"({"capabilities": {}, "profiles": {"VP_X_y": {"api-version": "1.3", )"
         R"("capabilities": []}}})",
         "not a profiles document: profile VP_X_y: expected an \"api-version\" of the form "
         "1.3.204"},
        {"deep.json", std::string(300, '[') + std::string(300, ']'),
         "nested deeper than 256 levels at line 1, column 257"},
        {"huge.json", std::string((size_t{65} << 20), ' '), "is larger than 64 MiB"},
    };
    for (const auto& test : cases) {
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
