// "-diff A [B]" end to end: the real binary, the real loader and lavapipe, real documents.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "app/run.h"
#include "documents.h"
#include "registry/registry.h"
#include "report/report.h"
#include "support.h"

namespace {

// Not const where a member may be missing: a const Json's operator[] does not add it.
using Json = nlohmann::ordered_json;

const std::string lavapipe_environment[] = {"VK_DRIVER_FILES=" LAVAPIPE_ICD,
                                            "VK_ICD_FILENAMES=" LAVAPIPE_ICD,
                                            "ASAN_OPTIONS=detect_leaks=0"};

// lavapipe with its vectors as wide as width bits (256 when empty: as it is).
ProgramRun on_lavapipe(const std::vector<std::string>& args, const std::string& width = "") {
    std::vector<std::string> environment(std::begin(lavapipe_environment),
                                         std::end(lavapipe_environment));
    if (!width.empty()) {
        environment.push_back("LP_NATIVE_VECTOR_WIDTH=" + width);
    }
    return run_program(BRISOL_EXE, args, environment);
}

ProgramRun on(const std::string& scenario, const std::vector<std::string>& args) {
    return scenario == "lavapipe" ? on_lavapipe(args) : run_with_fake_loader(args, scenario);
}

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    for (size_t at = 0; at < text.size();) {
        const size_t end = text.find('\n', at);
        lines.push_back(text.substr(at, end - at));
        at = end == std::string::npos ? text.size() : end + 1;
    }
    return lines;
}

// The device lines of a text comparison: those that begin "Device ".
std::vector<std::string> device_lines(const std::string& text) {
    std::vector<std::string> devices;
    for (const std::string& line : lines_of(text)) {
        if (line.rfind("Device ", 0) == 0) {
            devices.push_back(line);
        }
    }
    return devices;
}

// Every leaf of a capabilities block as "Structure.member", with its value, as vulkaninfo's export
// writes it.
void leaves(const Json& value, const std::string& place, std::map<std::string, Json>& out) {
    if (value.is_object()) {
        for (const auto& item : value.items()) {
            leaves(item.value(), place.empty() ? item.key() : place + "." + item.key(), out);
        }
        return;
    }
    out[place] = value;
}

}  // namespace

// lavapipe with 128-bit vectors against lavapipe as it is (256), from both sides, in every way the
// two can be given: a document and the machine, or two documents. The seven differences were
// counted by hand in `vulkaninfo -j` with and without LP_NATIVE_VECTOR_WIDTH=128, and are counted
// again here from vulkaninfo's two exports: the device's name, the subgroup size of two
// structures, and the smallest and largest subgroup sizes of two more. Each is listed once, with
// the side that is more capable as vk.xml's limit types say: subgroupSize and maxSubgroupSize
// "max,pot", minSubgroupSize "min,pot", deviceName "noauto".
TEST(Diff, LavapipesVectorWidthsBothWays) {
    const std::string folder = scratch_folder();
    const ProgramRun narrow = on_lavapipe({"-json"}, "128");
    const ProgramRun wide = on_lavapipe({"-json"});
    ASSERT_EQ(narrow.status, 0) << narrow.err;
    ASSERT_EQ(wide.status, 0) << wide.err;
    const std::string narrow_path = write_file(folder + "narrow.json", narrow.out);
    const std::string wide_path = write_file(folder + "wide.json", wide.out);

    const auto expected = [](const std::string& a_width, const std::string& b_width) {
        const bool a_narrow = a_width == "128";
        const std::string a = a_narrow ? "4" : "8";
        const std::string b = a_narrow ? "8" : "4";
        const std::string larger = a_narrow ? "B more capable" : "A more capable";
        const std::string smaller = a_narrow ? "A more capable" : "B more capable";
        const std::string values = ": A " + a + ", B " + b + ": ";
        return "Device 1, A VP_BRISOL_device_1_llvmpipe_LLVM_15_0_6_" + a_width +
               "_bits, B VP_BRISOL_device_1_llvmpipe_LLVM_15_0_6_" + b_width +
               "_bits: 7 differences: A more capable in " + (a_narrow ? "2" : "4") + ", B in " +
               (a_narrow ? "4" : "2") +
               ", different in 1\n"
               "  VkPhysicalDeviceProperties.deviceName: A llvmpipe (LLVM 15.0.6, " +
               a_width + " bits), B llvmpipe (LLVM 15.0.6, " + b_width +
               " bits): different\n"
               "  VkPhysicalDeviceSubgroupProperties.subgroupSize" +
               values + larger +
               "\n  VkPhysicalDeviceSubgroupSizeControlProperties.minSubgroupSize" + values +
               smaller + "\n  VkPhysicalDeviceSubgroupSizeControlProperties.maxSubgroupSize" +
               values + larger + "\n  VkPhysicalDeviceVulkan11Properties.subgroupSize" + values +
               larger + "\n  VkPhysicalDeviceVulkan13Properties.minSubgroupSize" + values +
               smaller + "\n  VkPhysicalDeviceVulkan13Properties.maxSubgroupSize" + values +
               larger + "\n";
    };
    const struct {
        std::vector<std::string> args;
        std::string width;  // of the machine
        std::string out;
    } cases[] = {
        {{"-diff", narrow_path},
         "",
         "A: " + narrow_path + "\nB: this machine\n" + expected("128", "256")},
        {{"-diff", wide_path},
         "128",
         "A: " + wide_path + "\nB: this machine\n" + expected("256", "128")},
        {{"-diff", narrow_path, wide_path},
         "",
         "A: " + narrow_path + "\nB: " + wide_path + "\n" + expected("128", "256")},
        {{"-diff", wide_path, narrow_path},
         "",
         "A: " + wide_path + "\nB: " + narrow_path + "\n" + expected("256", "128")},
    };
    for (const auto& test : cases) {
        const ProgramRun run = on_lavapipe(test.args, test.width);
        EXPECT_EQ(run.out, test.out) << test.args.back();
        EXPECT_EQ(run.status, 1) << test.args.back();
        EXPECT_EQ(run.err, "") << test.args.back();
    }

    // The same places as vulkaninfo's two exports differ in, beyond the names of their profiles.
    std::map<std::string, Json> exported[2];
    for (int i = 0; i < 2; ++i) {
        const std::string path = folder + "vulkaninfo.json";
        std::vector<std::string> environment{"VK_DRIVER_FILES=" LAVAPIPE_ICD};
        if (i == 0) {
            environment.emplace_back("LP_NATIVE_VECTOR_WIDTH=128");
        }
        ASSERT_EQ(run_program("/usr/bin/vulkaninfo", {"-j", "-o", path}, environment).status, 0);
        Json document = Json::parse(read_file(path));
        Json& device = document["capabilities"]["device"];
        for (const auto& block : {"features", "properties", "formats", "queueFamiliesProperties"}) {
            leaves(device[block], "", exported[i]);
        }
        for (const auto& extension : device["extensions"].items()) {
            exported[i]["extension " + extension.key()] = extension.value();
        }
    }
    std::vector<std::string> places;
    for (const auto& [place, value] : exported[0]) {
        if (exported[1].count(place) == 0 || exported[1].at(place) != value) {
            places.push_back(place);
        }
    }
    std::vector<std::string> listed;
    for (const std::string& line : lines_of(expected("128", "256"))) {
        if (line.rfind("  ", 0) == 0) {
            listed.push_back(line.substr(2, line.find(": ") - 2));
        }
    }
    std::sort(listed.begin(), listed.end());
    EXPECT_EQ(places, listed);

    // The XML form validates and the JSON form parses, each with the same seven.
    const ProgramRun xml = on_lavapipe({"-diff", narrow_path, "-xml"});
    EXPECT_EQ(xml.status, 1);
    EXPECT_EQ(xml_error(xml.out), "");
    EXPECT_EQ(count_of(xml.out, "<difference "), 7u);
    EXPECT_NE(
        xml.out.find("\n\t\t<difference where=\"VkPhysicalDeviceSubgroupSizeControlProperties."
                     "minSubgroupSize\" a=\"4\" b=\"8\" more=\"a\" />"),
        std::string::npos);
    const ProgramRun json = on_lavapipe({"-diff", narrow_path, "-json"});
    EXPECT_EQ(json.status, 1);
    Json result = Json::parse(json.out, nullptr, false);
    ASSERT_TRUE(result.is_object()) << json.out;
    EXPECT_EQ(result["differ"], true);
    EXPECT_EQ(result["b"], nullptr);
    Json& device = result["devices"][0];
    EXPECT_EQ(device["differences"], 7);
    EXPECT_EQ(device["a_more"], 2);
    EXPECT_EQ(device["b_more"], 4);
    EXPECT_EQ(device["different"], 1);
    ASSERT_EQ(device["lines"].size(), 7u);
    EXPECT_EQ(device["lines"][1],
              Json::parse(R"({"where": "VkPhysicalDeviceSubgroupProperties.)"
                          R"(subgroupSize", "a": "4", "b": "8", "more": "b"})"));
}

// A device's own document against the machine it came from: nothing differs, whatever the driver
// answers, in every form. vulkaninfo's export of lavapipe differs from lavapipe in the two formats
// of VK_EXT_4444_formats alone, which vulkaninfo leaves out of its document: every other value
// it exports is the value Brisol reads.
TEST(Diff, ADocumentAgainstTheMachineItCameFrom) {
    const std::string folder = scratch_folder();
    for (const std::string scenario :
         {"lavapipe", "sample", "two-devices", "hostile", "families:9"}) {
        const ProgramRun own = on(scenario, {"-json"});
        ASSERT_EQ(own.status, 0) << scenario;
        const std::string path = write_file(folder + "own.json", own.out);
        const ProgramRun text = on(scenario, {"-diff", path});
        EXPECT_EQ(text.status, 0) << scenario << "\n" << text.out;
        EXPECT_EQ(text.err, "") << scenario;
        const std::vector<std::string> devices = device_lines(text.out);
        EXPECT_EQ(devices.size(), Json::parse(own.out)["profiles"].size()) << scenario;
        for (const std::string& line : devices) {
            EXPECT_EQ(line.substr(line.size() - 16), ": no differences") << scenario;
        }
        const ProgramRun xml = on(scenario, {"-diff", path, "-xml"});
        EXPECT_EQ(xml.status, 0) << scenario;
        EXPECT_EQ(xml_error(xml.out), "") << scenario;
        EXPECT_NE(xml.out.find("\" differ=\"0\">"), std::string::npos) << scenario;
        const ProgramRun json = on(scenario, {"-diff", path, "-json"});
        EXPECT_EQ(json.status, 0) << scenario;
        EXPECT_EQ(Json::parse(json.out, nullptr, false)["differ"], false) << scenario;
    }

    const std::string exported = folder + "vulkaninfo.json";
    ASSERT_EQ(run_program("/usr/bin/vulkaninfo", {"-j", "-o", exported},
                          {"VK_DRIVER_FILES=" LAVAPIPE_ICD})
                  .status,
              0);
    const ProgramRun run = on_lavapipe({"-diff", exported});
    EXPECT_EQ(run.status, 1);
    const std::vector<std::string> lines = lines_of(run.out);
    ASSERT_EQ(lines.size(), 15u) << run.out;
    EXPECT_EQ(lines[2],
              "Device 1, A VP_VULKANINFO_llvmpipe_(LLVM_15_0_6,_256_bits)_0_0_1, B "
              "VP_BRISOL_device_1_llvmpipe_LLVM_15_0_6_256_bits: 12 differences: A more capable in "
              "0, B in 12, different in 0");
    // Each line gives the format's bits as lavapipe's own document names them.
    Json own = Json::parse(on_lavapipe({"-json"}).out);
    Json& formats = own["capabilities"].begin().value()["formats"];
    size_t line = 3;
    for (const char* format :
         {"VK_FORMAT_A4R4G4B4_UNORM_PACK16", "VK_FORMAT_A4B4G4R4_UNORM_PACK16"}) {
        for (const char* structure : {"VkFormatProperties", "VkFormatProperties3"}) {
            for (const char* member :
                 {"linearTilingFeatures", "optimalTilingFeatures", "bufferFeatures"}) {
                std::string bits;
                for (const Json& bit : formats[format][structure][member]) {
                    bits += (bits.empty() ? "" : " | ") + bit.get<std::string>();
                }
                EXPECT_EQ(lines[line++], "  format " + std::string(format) + " " + structure + "." +
                                             member + ": B only " + bits + ": B more capable");
            }
        }
    }
}

// Two real devices' documents (tests/data/devices): one line for each rule of "more capable",
// each worked out by hand from the two files and vk.xml's limit types, and the whole comparison
// the same from the other side, each line with its sides swapped.
TEST(Diff, TwoRealDevices) {
    const std::string nvidia =
        DEVICE_DOCUMENTS "/nvidia_geforce_gtx_1650_610_62_0_0_windows_10.json";
    const std::string amd = DEVICE_DOCUMENTS "/amd_radeon_rx_6800_xt_2_0_283_windows_11.json";
    const ProgramRun run = run_program(BRISOL_EXE, {"-diff", nvidia, amd});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "");
    const std::string head =
        "A: " + nvidia + "\nB: " + amd +
        "\nDevice 1, A VP_DEVICE_NVIDIA_GEFORCE_GTX_1650_610_62_0_0_WINDOWS_10, B "
        "VP_DEVICE_AMD_RADEON_RX_6800_XT_2_0_283_WINDOWS_11: 713 differences: A more capable in "
        "333, B in 341, different in 39\n";
    EXPECT_EQ(run.out.substr(0, head.size()), head);
    const char* const spot_checks[] = {
        // The API version, by major and minor.
        "api-version: A 1.4.341, B 1.3.262: A more capable",
        // Extensions: one side only, a later spec version.
        "extension VK_AMD_device_coherent_memory: A missing, B 1: B more capable",
        "extension VK_EXT_hdr_metadata: A 3, B 2: A more capable",
        // A feature: true.
        "VkPhysicalDeviceFeatures.alphaToOne: A 1, B 0: A more capable",
        // A structure one side alone has, named once.
        "VkPhysicalDeviceAccelerationStructureFeaturesKHR: A missing, B present: B more capable",
        // max: larger; bits: more; min: smaller (signed); min,mul: the alignment that divides.
        "VkPhysicalDeviceProperties.limits.maxImageDimensionCube: A 32768, B 16384: A more capable",
        "VkPhysicalDeviceProperties.limits.subPixelInterpolationOffsetBits: A 4, B 8: B more "
        "capable",
        "VkPhysicalDeviceProperties.limits.minTexelOffset: A -8, B -64: B more capable",
        "VkPhysicalDeviceProperties.limits.bufferImageGranularity: A 1024, B 1: B more capable",
        "VkPhysicalDeviceProperties.limits.pointSizeGranularity: A 0.0625, B 0.125: A more "
        "capable",
        // range: the wider one.
        "VkPhysicalDeviceProperties.limits.lineWidthRange: A [1, 64], B [0, 8191.88]: B more "
        "capable",
        // Flags: the superset; exact (the Khronos library's reading of timestampPeriod) and
        // noauto: different.
        "VkPhysicalDeviceProperties.limits.framebufferStencilSampleCounts: A VK_SAMPLE_COUNT_1_BIT "
        "| VK_SAMPLE_COUNT_2_BIT | VK_SAMPLE_COUNT_4_BIT | VK_SAMPLE_COUNT_8_BIT | "
        "VK_SAMPLE_COUNT_16_BIT, B VK_SAMPLE_COUNT_1_BIT | VK_SAMPLE_COUNT_2_BIT | "
        "VK_SAMPLE_COUNT_4_BIT | VK_SAMPLE_COUNT_8_BIT: A more capable",
        "VkPhysicalDeviceProperties.limits.timestampPeriod: A 1, B 10: different",
        "VkPhysicalDeviceDriverProperties.driverID: A VK_DRIVER_ID_NVIDIA_PROPRIETARY, B "
        "VK_DRIVER_ID_AMD_PROPRIETARY: different",
        // A format's bits gained and lost.
        "format VK_FORMAT_R32_SFLOAT VkFormatProperties.linearTilingFeatures: A only "
        "VK_FORMAT_FEATURE_STORAGE_IMAGE_ATOMIC_BIT, B only "
        "VK_FORMAT_FEATURE_COLOR_ATTACHMENT_BIT: "
        "different",
        // Queue families, member by member: flags neither of which holds the other's.
        "queue family 0 VkQueueFamilyProperties.queueCount: A 16, B 1: A more capable",
        "queue family 4 VkQueueFamilyProperties.queueFlags: A VK_QUEUE_TRANSFER_BIT | "
        "VK_QUEUE_SPARSE_BINDING_BIT, B VK_QUEUE_VIDEO_DECODE_BIT_KHR: different",
        // What this build cannot compare.
        "not compared in A: VkPhysicalDeviceHostImageCopyFeaturesEXT: unknown to this build",
    };
    for (const char* line : spot_checks) {
        EXPECT_EQ(count_of(run.out, "\n  " + std::string(line) + "\n"), 1u) << line;
    }

    Json forward = Json::parse(run_program(BRISOL_EXE, {"-diff", nvidia, amd, "-json"}).out);
    Json backward = Json::parse(run_program(BRISOL_EXE, {"-diff", amd, nvidia, "-json"}).out);
    Json& ab = forward["devices"][0];
    Json& ba = backward["devices"][0];
    EXPECT_EQ(ab["a_more"], ba["b_more"]);
    EXPECT_EQ(ab["b_more"], ba["a_more"]);
    EXPECT_EQ(ab["different"], ba["different"]);
    ASSERT_EQ(ab["lines"].size(), 713u);
    ASSERT_EQ(ba["lines"].size(), 713u);
    const auto swapped = [](Json line) {
        const char* sides[][2] = {{"a", "b"}, {"a_only", "b_only"}};
        for (const auto& pair : sides) {
            if (line.contains(pair[0])) {
                std::swap(line[pair[0]], line[pair[1]]);
            }
        }
        line["more"] = line["more"] == "a" ? "b" : line["more"] == "b" ? "a" : "different";
        return line;
    };
    for (size_t i = 0; i < ab["lines"].size(); ++i) {
        EXPECT_EQ(swapped(ab["lines"][i]), ba["lines"][i]) << i;
    }
}

// Devices are paired in order; the ones a side alone has are named as such, and a machine
// without Vulkan has none, with the error that says why.
TEST(Diff, PairsTheDevicesInOrder) {
    const std::string folder = scratch_folder();
    const auto profiles = [](int count, const std::string& version) {
        std::string text = R"({"capabilities": {"c": {}}, "profiles": {)";
        for (int p = 1; p <= count; ++p) {
            text += (p == 1 ? "" : ", ") + std::string("\"VP_X_") + std::to_string(p) +
                    R"(": {"api-version": ")" + version + R"(", "capabilities": ["c"]})";
        }
        return text + "}}";
    };
    const std::string three = write_file(folder + "three.json", profiles(3, "1.3.0"));
    const std::string one = write_file(folder + "one.json", profiles(1, "1.3.5"));
    // The API version by its patch too, where major and minor are the same.
    const ProgramRun forward = run_program(BRISOL_EXE, {"-diff", three, one});
    EXPECT_EQ(forward.out, "A: " + three + "\nB: " + one +
                               "\nDevice 1, A VP_X_1, B VP_X_1: 1 difference: A more capable in "
                               "0, B in 1, different in 0\n  api-version: A 1.3.0, B 1.3.5: B more "
                               "capable\nDevice 2, A VP_X_2: only in A\nDevice 3, A VP_X_3: only "
                               "in A\n");
    EXPECT_EQ(forward.status, 1);
    const ProgramRun backward = run_program(BRISOL_EXE, {"-diff", one, three, "-xml"});
    EXPECT_EQ(xml_error(backward.out), "");
    EXPECT_NE(backward.out.find("\n\t<vk_diff_device number=\"3\" b=\"VP_X_3\" />"),
              std::string::npos);
    EXPECT_EQ(run_program(BRISOL_EXE, {"-diff", one, one}).status, 0);

    const std::string not_a_library = scratch_folder();
    write_file(not_a_library + "libvulkan.so.1", "not a library");
    const std::string error = "Unable to load Vulkan core lib (probably an incompatible driver)";
    const std::vector<std::string> environment{"LD_LIBRARY_PATH=" + not_a_library};
    const ProgramRun text = run_program(BRISOL_EXE, {"-diff", one}, environment);
    EXPECT_EQ(text.out, "A: " + one + "\nB: this machine\nerror in B: " + error +
                            "\nDevice 1, A VP_X_1: only in A\n");
    EXPECT_EQ(text.status, 1);
    const ProgramRun xml = run_program(BRISOL_EXE, {"-diff", one, "-xml"}, environment);
    EXPECT_EQ(xml_error(xml.out), "");
    EXPECT_NE(xml.out.find("\n\t<note side=\"b\" kind=\"error\" text=\"" + error + "\" />"),
              std::string::npos);
    const ProgramRun json = run_program(BRISOL_EXE, {"-diff", one, "-json"}, environment);
    Json result = Json::parse(json.out, nullptr, false);
    EXPECT_EQ(result["errors"],
              Json::parse(R"([{"side": "b", "kind": "error", "text": ")" + error + R"("}])"));
    EXPECT_EQ(result["devices"][0]["b"], nullptr);
}

// An array is more capable on one side only when no element is more capable on the other; a
// queue family one side alone has is named once, and a family listed again is the same family.
TEST(Diff, ArraysAndFamiliesOneSideAloneHas) {
    const std::string folder = scratch_folder();
    const auto device = [&folder](const std::string& name, const std::string& counts,
                                  const std::string& families) {
        return write_file(folder + name,
                          R"({"capabilities": {"c": {"properties": {"VkPhysicalDeviceProperties": )"
                          R"({"limits": {"maxComputeWorkGroupCount": )" +
                              counts + R"(}}}, "queueFamiliesProperties": [)" + families +
                              R"(]}}, "profiles": {"VP_X_y": {"api-version": "1.3.0", )"
                              R"("capabilities": ["c"]}}})");
    };
    const std::string family = R"({"VkQueueFamilyProperties": {"queueCount": 1}})";
    const std::string other = R"({"VkQueueFamilyProperties": {"queueCount": 2}})";
    const std::string a = device("a.json", "[1, 2, 3]", family + ", " + other);
    const std::string b = device("b.json", "[3, 2, 1]", family + ", " + family);
    const ProgramRun run = run_program(BRISOL_EXE, {"-diff", a, b});
    EXPECT_EQ(run.out, "A: " + a + "\nB: " + b +
                           "\nDevice 1, A VP_X_y, B VP_X_y: 2 differences: A more capable in 1, B "
                           "in 0, different in 1\n  VkPhysicalDeviceProperties.limits."
                           "maxComputeWorkGroupCount: A [1, 2, 3], B [3, 2, 1]: different\n  queue "
                           "family 1: A present, B missing: A more capable\n");
    EXPECT_EQ(run.status, 1);
}

// -profile's files that are no profiles documents, as either side: status 2, one line on standard
// error naming the file, nothing on standard output, Vulkan untouched. The bounds on bytes and
// values are for both sides together, as for -profile's files.
TEST(Diff, RefusesWhatIsNotAProfilesDocument) {
    const std::string folder = scratch_folder();
    const std::string valid =
        write_file(folder + "valid.json",
                   R"({"capabilities": {"c": {}}, "profiles": {"VP_X_y": {"api-version": "1.3.0", )"
                   R"("capabilities": ["c"]}}})");
    for (const RefusedDocument& test : refused_documents()) {
        const std::string path = folder + test.name;
        if (std::string(test.name) != "missing.json") {
            write_file(path, test.text);
        }
        // After A, B is read within what A left of the bounds.
        std::string after = test.why;
        if (test.why == "is larger than 64 MiB" ||
            std::string(test.name) == "exactly-64-mib.json") {
            after = "takes the files given together past 64 MiB";
        } else if (test.why == "holds more than 524288 values") {
            after = "takes the files given together past 524288 values";
        }
        const struct {
            std::vector<std::string> args;
            std::string why;
        } sides[] = {
            {{"-diff", path}, test.why},
            {{"-diff", path, valid}, test.why},
            {{"-diff", valid, path}, after},
        };
        for (const auto& side : sides) {
            const ProgramRun run = run_program(BRISOL_EXE, side.args);
            EXPECT_EQ(run.status, 2) << test.name << " " << side.args.size();
            EXPECT_EQ(run.out, "") << test.name;
            EXPECT_EQ(run.err, "brisol: " + path + ": " + side.why + "\n") << test.name;
        }
        unlink(path.c_str());
    }
    const ProgramRun none = run_program(BRISOL_EXE, {"-xml", "-diff"});
    EXPECT_EQ(none.status, 2);
    EXPECT_EQ(none.out, "");
    EXPECT_EQ(none.err, "brisol: -diff: no file name given\n");
}

// "-diff A [B]", "-diff=A [B]" and "--diff=A [B]": the names are the user's, never searched for
// options; the name after A is B unless it begins with '-'. Of "-diff" and "-profile" in one
// argument, the first takes the file names.
TEST(Diff, TheOptionTakesOneOrTwoFiles) {
    const struct {
        std::vector<const char*> args;
        const char* a;
        const char* b;  // null: this machine
        OutputFormat format;
        bool help;
        std::vector<std::string> profiles;
    } cases[] = {
        {{"-diff", "a.json", "b.json"}, "a.json", "b.json", OutputFormat::Text, false, {}},
        {{"-diff", "a.json", "-xml"}, "a.json", nullptr, OutputFormat::Xml, false, {}},
        {{"-diff", "-h-xml", "x-all.json"}, "-h-xml", "x-all.json", OutputFormat::Text, false, {}},
        {{"-diff=my-hw-xml.json"}, "my-hw-xml.json", nullptr, OutputFormat::Text, false, {}},
        {{"--diff=x-h.json", "y-a.json", "-json"},
         "x-h.json",
         "y-a.json",
         OutputFormat::Json,
         false,
         {}},
        {{"-xml--diff=a"}, "a", nullptr, OutputFormat::Xml, false, {}},
        {{"-diff"}, "", nullptr, OutputFormat::Text, false, {}},
        {{"-diff", "a", "-", "-h"}, "a", nullptr, OutputFormat::Text, true, {}},
        {{"-diff=a-profile=p"}, "a-profile=p", nullptr, OutputFormat::Text, false, {}},
        {{"-profile=p-diff=a"}, nullptr, nullptr, OutputFormat::Text, false, {"p-diff=a"}},
        {{"-diff", "a", "b", "-profile", "p"}, "a", "b", OutputFormat::Text, false, {"p"}},
    };
    for (const auto& test : cases) {
        std::vector<const char*> argv{"brisol"};
        argv.insert(argv.end(), test.args.begin(), test.args.end());
        const RunOptions options = parse_options(static_cast<int>(argv.size()), argv.data());
        const std::string label = test.args.front();
        EXPECT_EQ(options.diff, test.a != nullptr) << label;
        EXPECT_EQ(options.diff_a != nullptr ? options.diff_a : "(none)",
                  std::string(test.a != nullptr ? test.a : "(none)"))
            << label;
        EXPECT_EQ(options.diff_b != nullptr ? options.diff_b : "(none)",
                  std::string(test.b != nullptr ? test.b : "(none)"))
            << label;
        EXPECT_EQ(options.format, test.format) << label;
        EXPECT_EQ(options.show_help, test.help) << label;
        EXPECT_EQ(
            std::vector<std::string>(options.profile_paths.begin(), options.profile_paths.end()),
            test.profiles)
            << label;
        EXPECT_FALSE(options.detailed || options.complete || options.show_entry_points) << label;
    }
}

// Names from the files cannot forge lines: the text writes their control characters out, the XML
// and JSON forms escape them.
TEST(Diff, NamesFromTheFilesMakeNoLinesOfTheirOwn) {
    const std::string folder = scratch_folder();
    const std::string forged = "VP_X_y: no differences\nDevice 2, A VP_X_z";
    const auto device = [&folder](const std::string& file, const std::string& name) {
        return write_file(
            folder + file,
            R"({"capabilities": {"c": {"extensions": {"VK_X_\r\nmade_up": 1}, "properties": )"
            R"({"VkPhysicalDeviceProperties": {"deviceName": ")" +
                name + R"("}}}}, "profiles": {")" +
                std::string("VP_X_y: no differences\\nDevice 2, A VP_X_z") +
                R"(": {"api-version": "1.0.0", "capabilities": ["c"]}}})");
    };
    const std::string a = device("a\nb.json", "GPU\\nDevice 9, A x: only in A");
    const std::string b = device("b.json", "GPU");
    const ProgramRun text = run_program(BRISOL_EXE, {"-diff", a, b});
    EXPECT_EQ(text.out, "A: " + folder + "a\\nb.json\nB: " + folder +
                            "b.json\nDevice 1, A VP_X_y: no differences\\nDevice 2, A VP_X_z, "
                            "B VP_X_y: no differences\\nDevice 2, A VP_X_z: 1 difference: A more "
                            "capable in 0, B in 0, different in 1\n"
                            "  not compared in A: extension VK_X_\\x0d\\nmade_up: unknown to this "
                            "build\n  not compared in B: extension VK_X_\\x0d\\nmade_up: unknown "
                            "to this build\n  VkPhysicalDeviceProperties.deviceName: A "
                            "GPU\\nDevice 9, A x: only in A, B GPU: different\n");
    EXPECT_EQ(text.status, 1);
    const ProgramRun xml = run_program(BRISOL_EXE, {"-diff", a, b, "-xml"});
    EXPECT_EQ(xml_error(xml.out), "");
    EXPECT_NE(xml.out.find(" a=\"VP_X_y: no differences&#10;Device 2, A VP_X_z\""),
              std::string::npos);
    EXPECT_NE(xml.out.find(" a=\"GPU&#10;Device 9, A x: only in A\" b=\"GPU\""), std::string::npos);
    Json json = Json::parse(run_program(BRISOL_EXE, {"-diff", a, b, "-json"}).out);
    EXPECT_EQ(json["devices"][0]["a"], forged);
    EXPECT_EQ(json["devices"][0]["notes"][1]["text"],
              "extension VK_X_\r\nmade_up: unknown to this build");
    EXPECT_EQ(json["devices"][0]["lines"][0]["a"], "GPU\nDevice 9, A x: only in A");
}

// No pair of files takes the machine: differences past 16 MiB are left out with a line that
// counts them, in every form, and documents that name one capability from thousands of profiles
// are read only so far, the devices past that counted as not compared. Each run holds under
// 256 MiB.
TEST(Diff, BoundedWhateverTheDocuments) {
    const std::string folder = scratch_folder();
    // Every format with every bit, on 40 devices, against as many without a format: some 1.2 MiB
    // of text per device.
    Json bits = Json::array();
    const ValueNames* names = find_value_names("VkFormatFeatureFlagBits");
    ASSERT_NE(names, nullptr);
    for (uint32_t i = 0; i < names->count; ++i) {
        bits.push_back(names->values[i].name);
    }
    Json formats = Json::object();
    for (uint32_t f = 0; f < format_info_count; ++f) {
        formats[format_infos[f].name]["VkFormatProperties"] = {{"linearTilingFeatures", bits},
                                                               {"optimalTilingFeatures", bits},
                                                               {"bufferFeatures", bits}};
    }
    const auto devices = [](const char* capability) {
        Json profiles = Json::object();
        for (int p = 0; p < 40; ++p) {
            profiles["VP_X_" + std::to_string(p)] = {{"api-version", "1.0.0"},
                                                     {"capabilities", {capability}}};
        }
        return profiles;
    };
    const std::string all = write_file(
        folder + "all.json",
        Json{{"capabilities", {{"all", {{"formats", formats}}}}}, {"profiles", devices("all")}}
            .dump());
    const std::string none = write_file(
        folder + "none.json",
        Json{{"capabilities", {{"none", Json::object()}}}, {"profiles", devices("none")}}.dump());
    for (const char* form : {"-txt", "-xml", "-json"}) {
        const ProgramRun run = run_program(BRISOL_EXE, {"-diff", all, none, form});
        EXPECT_EQ(run.status, 1) << form;
        EXPECT_EQ(run.err, "") << form;
        EXPECT_GT(run.out.size(), most_report_bytes / 2) << form;
        EXPECT_LT(run.out.size(), most_report_bytes + (size_t{64} << 10)) << form;
#if !defined(__SANITIZE_ADDRESS__)
        EXPECT_LT(run.peak_kib, 256 * 1024) << form;
#endif
        if (std::string(form) == "-txt") {
            EXPECT_NE(run.out.find("\nthe comparison reached its size limit: "), std::string::npos);
        } else if (std::string(form) == "-xml") {
            EXPECT_EQ(xml_error(run.out), "");
            EXPECT_NE(run.out.find("<vk_diff_left_out devices=\""), std::string::npos);
        } else {
            Json result = Json::parse(run.out, nullptr, false);
            ASSERT_TRUE(result.is_object());
            EXPECT_GT(result["left_out"]["devices"].get<uint64_t>(), 0u);
            EXPECT_GT(result["left_out"]["differences"].get<uint64_t>(), 0u);
        }
    }

    // 2000 devices of 4096 queue families each, against themselves.
    Json families = Json::array();
    for (int f = 0; f < 4096; ++f) {
        families.push_back({{"VkQueueFamilyProperties", {{"queueCount", 5000}}}});
    }
    Json profiles = Json::object();
    for (int p = 0; p < 2000; ++p) {
        profiles["VP_X_" + std::to_string(p)] = {{"api-version", "1.0.0"}, {"capabilities", {"q"}}};
    }
    const std::string many =
        write_file(folder + "many.json",
                   Json{{"capabilities", {{"q", {{"queueFamiliesProperties", families}}}}},
                        {"profiles", profiles}}
                       .dump());
    const ProgramRun run = run_program(BRISOL_EXE, {"-diff", many, many});
    EXPECT_EQ(run.status, 1);
    const std::vector<std::string> lines = lines_of(run.out);
    ASSERT_GT(lines.size(), 20u);
    EXPECT_EQ(lines[lines.size() - 2].substr(lines[lines.size() - 2].size() - 16),
              ": no differences");
    EXPECT_NE(lines.back().find(" more devices were not compared: the documents name more than "
                                "one comparison reads"),
              std::string::npos);
#if !defined(__SANITIZE_ADDRESS__)
    EXPECT_LT(run.peak_kib, 256 * 1024);
#endif
}
