// The "-json" document: compared value by value with vulkaninfo's on lavapipe, and read back by
// a real JSON parser in every case the tests make.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <nlohmann/json.hpp>
#include <set>
#include <string>
#include <vector>

#include "app/run.h"
#include "fake/fake_driver.h"
#include "registry/registry.h"
#include "support.h"
#include "views/json.h"

using nlohmann::json;

namespace {

const std::vector<std::string> lavapipe_env = {"VK_DRIVER_FILES=" LAVAPIPE_ICD,
                                               "VK_ICD_FILENAMES=" LAVAPIPE_ICD,
                                               "ASAN_OPTIONS=detect_leaks=0"};

// The one capabilities block of a document that describes one device.
const json& only_block(const json& document) {
    static const json none = json::object();
    const json& blocks = document["capabilities"];
    return blocks.size() == 1 ? blocks.begin().value() : none;
}

// Compares every value vulkaninfo wrote with the same value in Brisol's document. Flags are
// lists of bit names in any order, so lists of names compare as sets, name by name.
struct Comparison {
    size_t values = 0;
    std::vector<std::string> mismatches;

    void differ(const std::string& path, const json& ours, const json& theirs) {
        mismatches.push_back(path + ": brisol " + ours.dump() + ", vulkaninfo " + theirs.dump());
    }

    void compare(const std::string& path, const json& ours, const json& theirs) {
        if (theirs.is_object()) {
            for (const auto& [name, value] : theirs.items()) {
                if (!ours.is_object() || !ours.contains(name)) {
                    differ(path + "." + name, nullptr, value);
                } else {
                    compare(path + "." + name, ours[name], value);
                }
            }
        } else if (theirs.is_array() && (theirs.empty() || theirs[0].is_string())) {
            const std::set<std::string> their_names(theirs.begin(), theirs.end());
            std::set<std::string> our_names;
            if (ours.is_array() && (ours.empty() || ours[0].is_string())) {
                our_names = std::set<std::string>(ours.begin(), ours.end());
            }
            values += their_names.size() > our_names.size() ? their_names.size() : our_names.size();
            if (our_names != their_names) {
                differ(path, ours, theirs);
            }
        } else if (theirs.is_array()) {
            if (!ours.is_array() || ours.size() != theirs.size()) {
                differ(path, ours, theirs);
                return;
            }
            for (size_t i = 0; i < theirs.size(); ++i) {
                compare(path + "[" + std::to_string(i) + "]", ours[i], theirs[i]);
            }
        } else {
            ++values;
            // Floats compare as the floats the device gave, whatever digits each tool printed.
            const bool same = theirs.is_number_float() || ours.is_number_float()
                                  ? ours.is_number() && theirs.is_number() &&
                                        static_cast<float>(ours.get<double>()) ==
                                            static_cast<float>(theirs.get<double>())
                                  : ours == theirs;
            if (!same) {
                differ(path, ours, theirs);
            }
        }
    }
};

}  // namespace

// Every extension, feature, property, format and queue family that both write.
TEST(Json, AgreesWithVulkaninfoOnLavapipe) {
    char folder[] = "/tmp/brisol-json-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    const std::string peer_file = std::string(folder) + "/vulkaninfo.json";
    const ProgramRun peer =
        run_program("/usr/bin/vulkaninfo", {"-j", "-o", peer_file}, lavapipe_env);
    ASSERT_EQ(peer.status, 0) << peer.err;
    FILE* file = fopen(peer_file.c_str(), "r");
    ASSERT_NE(file, nullptr);
    const json theirs = json::parse(file);
    fclose(file);
    unlink(peer_file.c_str());
    rmdir(folder);
    const ProgramRun run = run_program(BRISOL_EXE, {"-json"}, lavapipe_env);
    ASSERT_EQ(run.status, 0);
    const json document = json::parse(run.out);
    const json& ours = only_block(document);
    const json& peer_block = theirs["capabilities"]["device"];
    ASSERT_FALSE(ours.empty()) << "one lavapipe device";

    Comparison comparison;
    comparison.compare("extensions", ours["extensions"], peer_block["extensions"]);
    // vulkaninfo may name a structure by an alias; Brisol writes each under its table's name.
    for (const char* part : {"features", "properties"}) {
        for (const auto& [name, value] : peer_block[part].items()) {
            const StructureInfo* info = find_structure(name.c_str());
            const std::string ours_name = info != nullptr ? info->name : name;
            comparison.compare(std::string(part) + "." + name, ours[part].value(ours_name, json()),
                               value);
        }
    }
    comparison.compare("formats", ours["formats"], peer_block["formats"]);
    comparison.compare("queueFamiliesProperties", ours["queueFamiliesProperties"],
                       peer_block["queueFamiliesProperties"]);
    std::string all;
    for (const std::string& mismatch : comparison.mismatches) {
        all += mismatch + "\n";
    }
    EXPECT_EQ(all, "");
    EXPECT_GT(comparison.values, 3000u);  // 4194 on Debian 12's lavapipe
}

// Every kind of document parses, says what failed under "brisol", and names each device's block
// and profile uniquely, as the schema's names allow.
TEST(Json, EveryDocumentParses) {
    const VulkanLoader missing = {[] { return bind_vulkan_library("/nonexistent/libvulkan.so.1"); },
                                  release_vulkan_loader};
    // Two identical devices whose name has control bytes, quotes and bytes that are not UTF-8,
    // and whose formats have a bit no table names.
    const VulkanLoader hostile = {[] {
                                      const ModuleHandle handle = fake_vulkan_loader.bind();
                                      FakeDevice device = sample_device();
                                      device.format_properties.bufferFeatures |= 0x80000000u;
                                      strcpy(device.properties.deviceName,
                                             "GPU\x01\x1f\"\\\n \xff\xe2\x82(\xed\xa0\x80");
                                      device.extensions.push_back(extension("VK_NO\x7f\xc3", 1));
                                      fake.devices = {device, device};
                                      return handle;
                                  },
                                  fake_vulkan_loader.release};
    const auto in_process = [](const VulkanLoader& loader) {
        const char* argv[] = {"brisol", "-json"};
        return ProgramRun{build_report(parse_options(2, argv), loader), "", 0};
    };
    const struct {
        const char* label;
        ProgramRun run;
        size_t devices;
        json errors;          // "brisol": "errors"
        std::string profile;  // the first device's, where the case names it
        std::string omitted;  // a value left out of some device's block, where the case names one
    } cases[] = {
        // The name the README shows.
        {"lavapipe", run_program(BRISOL_EXE, {"-json"}, lavapipe_env), 1, json::array(),
         "VP_BRISOL_device_1_llvmpipe_LLVM_15_0_6_256_bits"},
        {"missing loader",
         in_process(missing),
         0,
         {"Unable to load Vulkan core lib (probably an incompatible driver)"}},
        {"failed instance",
         run_with_fake_loader({"-json", "-a"}, "incompatible"),
         0,
         {"Vulkan instance creation failed (code: VK_ERROR_INCOMPATIBLE_DRIVER)"}},
        {"hostile strings", in_process(hostile), 2, json::array()},
        // JSON has no number for a NaN.
        {"hostile values", run_with_fake_loader({"-json"}, "hostile"), 3, json::array(),
         "VP_BRISOL_device_1_Second_GPU_friends",
         "VkPhysicalDeviceLimits.maxSamplerLodBias: not a finite number"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.run.status, 0) << c.label;
        EXPECT_EQ(c.run.err, "") << c.label;
        const json document = json::parse(c.run.out, nullptr, false);
        ASSERT_FALSE(document.is_discarded()) << c.label << "\n" << c.run.out;
        EXPECT_EQ(document["$schema"], "https://schema.khronos.org/vulkan/profiles-0.8.1-" +
                                           std::to_string(VK_HEADER_VERSION) + ".json#");
        EXPECT_EQ(document["brisol"]["errors"], c.errors) << c.label;
        ASSERT_EQ(document["profiles"].size(), c.devices) << c.label;
        ASSERT_EQ(document["capabilities"].size(), c.devices) << c.label;
        for (const auto& [name, profile] : document["profiles"].items()) {
            EXPECT_EQ(name.rfind("VP_BRISOL_device_", 0), 0u) << name;
            EXPECT_EQ(name.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"
                                             "0123456789_"),
                      std::string::npos)
                << name;
            EXPECT_TRUE(document["capabilities"].contains(profile["capabilities"][0])) << name;
        }
        if (!c.profile.empty()) {
            EXPECT_EQ(document["profiles"].begin().key(), c.profile) << c.label;
        }
        size_t omitted = 0;
        for (const json& device : document["brisol"].value("devices", json::array())) {
            for (const json& note : device.value("omitted", json::array())) {
                omitted += note == c.omitted;
            }
        }
        EXPECT_EQ(omitted > 0, !c.omitted.empty()) << c.label;
    }
    const std::string& hostile_out = cases[3].run.out;
    const json document = json::parse(hostile_out);
    for (const auto& [name, profile] : document["profiles"].items()) {
        EXPECT_EQ(profile["label"],
                  "GPU\x01\x1f\"\\\n \xEF\xBF\xBD\xEF\xBF\xBD(\xEF\xBF\xBD"
                  "\xEF\xBF\xBD\xEF\xBF\xBD");
    }
    EXPECT_NE(hostile_out.find("\"GPU\\u0001\\u001f\\\"\\\\\\u000a "), std::string::npos);
    EXPECT_EQ(document["brisol"]["devices"][1]["otherExtensions"],
              json::parse("{\"VK_NO\\u007f\xEF\xBF\xBD\": 1}"));
    // Every format's flags keep their named bits, and each format says what it left out, though
    // the text of a set of flags is written once and copied.
    const json& formats = document["capabilities"].begin().value()["formats"];
    ASSERT_GT(formats.size(), 100u);
    for (const auto& [name, format] : formats.items()) {
        EXPECT_EQ(format["VkFormatProperties"]["bufferFeatures"],
                  json::parse("[\"VK_FORMAT_FEATURE_VERTEX_BUFFER_BIT\"]"))
            << name;
    }
    size_t notes = 0;
    for (const json& note : document["brisol"]["devices"][1]["omitted"]) {
        notes += note ==
                 "VkFormatProperties.bufferFeatures: bits 0x80000000 have no name in "
                 "VkFormatFeatureFlagBits";
    }
    EXPECT_EQ(notes, formats.size());
}

// Other options change nothing in the document; of -txt, -xml and -json the last one wins.
TEST(Json, OptionsAroundIt) {
    const auto report = [](std::vector<const char*> args) {
        args.insert(args.begin(), "brisol");
        return build_report(parse_options(static_cast<int>(args.size()), args.data()),
                            fake_vulkan_loader);
    };
    const std::string plain = report({"-json"});
    EXPECT_EQ(report({"-a", "-all", "-f", "-noheaderfooter", "-json"}), plain);
    EXPECT_EQ(report({"-xml", "-json-txt"}), plain);
    EXPECT_EQ(report({"-json", "-xml"}).rfind(xml_prolog, 0), 0u);
    EXPECT_EQ(report({"-json", "-txt"}).rfind(text_header, 0), 0u);
}
