// The replay driver itself, under the real loader: what it makes of a document's profiles and
// labels, and how it turns away a document it cannot read.
#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <string>
#include <vector>

#include "support.h"

namespace {

const char* const environment_lead = "BRISOL_REPLAY_DOCUMENT=";

// A document of one capability and the given profiles (each "NAME": {...} without its braces'
// contents beyond label and capabilities).
std::string document(const std::string& capability, const std::vector<std::string>& labels) {
    std::string profiles;
    for (size_t i = 0; i < labels.size(); ++i) {
        profiles += (i == 0 ? "" : ", ") + std::string("\"VP_DEVICE_") + std::to_string(i) +
                    R"(": {"version": 1, "api-version": "1.3.0", "label": ")" + labels[i] +
                    R"(", "description": "d", "capabilities": ["c"]})";
    }
    return R"({"capabilities": {"c": )" + capability + R"(}, "profiles": {)" + profiles + "}}";
}

// 700 profiles that each name one capability of some 12,000 values: more readings than the
// driver makes.
std::string too_many_readings() {
    std::string formats;
    for (int i = 0; i < 3000; ++i) {
        formats += (i == 0 ? "" : ", ") + std::string("\"VK_FORMAT_MADE_UP_") + std::to_string(i) +
                   R"(": {"VkFormatProperties": {}})";
    }
    return document(R"({"formats": {)" + formats + "}}", std::vector<std::string>(700, "x"));
}

}  // namespace

TEST(Replay, DevicesFromProfilesAndLabels) {
    const std::string vendor = R"({"properties": {"VkPhysicalDeviceProperties": {"vendorID": )";
    const std::string failed =
        "\n [ERROR] Vulkan instance creation failed (code: VK_ERROR_INCOMPATIBLE_DRIVER)\n";
    const struct {
        const char* what;
        std::string document;             // written to a file; "" for no file at all
        std::vector<std::string> pieces;  // of the default report
        std::string err;                  // what the driver says; FILE stands for the path
    } cases[] = {
        {"the device's name, and NVIDIA's version packed in 10.8.8.6 bits",
         document(vendor + "4318}}}", {"NVIDIA GeForce GTX 1060 driver 537.13.0.0 on Windows 10"}),
         {"\n- Device name: NVIDIA GeForce GTX 1060\n- DeviceID: 10DE-   0\n"
          "- Raw driver version: 2252554240\n- NVIDIA driver version: R537.x\n"},
         ""},
        {"NVIDIA's largest version",
         document(vendor + "4318}}}", {"N driver 1023.255.255.63"}),
         {"\n- Raw driver version: 4294967295\n"},
         ""},
        {"every other vendor's as a Vulkan version",
         document(vendor + "4098}}}", {"AMD Radeon RX 6800 XT driver 2.0.283 on Windows 11"}),
         {"\n- Device name: AMD Radeon RX 6800 XT\n- DeviceID: 1002-   0\n"
          "- Raw driver version: 8388891\n- Vulkan API version: 1.3.0\n"
          "- Device type: VK_PHYSICAL_DEVICE_TYPE_OTHER\n"},
         ""},
        {"versions that do not fit, or are not there",
         document(vendor + "4098}}}", {"A driver 1024.0.0", "B driver 1.2", "C, no version"}),
         {"\n# Vulkan devices: 3\n",
          "\n- Device name: A\n- DeviceID: 1002-   0\n"
          "- Raw driver version: 0\n",
          "\n- Device name: B\n", "\n- Device name: C, no version\n"},
         ""},
        {"the document's own name and version win over the label's",
         document(vendor + R"(4318, "deviceName": "Own", "driverVersion": 7}}})",
                  {"Label driver 1.0.0.0"}),
         {"\n- Device name: Own\n- DeviceID: 10DE-   0\n- Raw driver version: 7\n"},
         ""},
        {"one heap, the size of the largest allocation",
         document(R"({"properties": {"VkPhysicalDeviceMaintenance3Properties": )"
                  R"({"maxMemoryAllocationSize": 6442450944}}})",
                  {"x"}),
         {"\n- Memory heap count: 1\n\theap 0 - size: 6144 MB\n"},
         ""},
        {"a plain heap where the document says nothing",
         document("{}", {"x"}),
         {"\n- Memory heap count: 1\n\theap 0 - size: 1024 MB\n"},
         ""},
        {"no document",
         "",
         {failed},
         "brisol replay driver: FILE: cannot be opened: No such file "
         "or directory\n"},
        {"a document without a profile",
         document("{}", {}),
         {failed},
         "brisol replay driver: FILE: not a profiles document: the \"profiles\" object holds no "
         "profile\n"},
        {"too many readings",
         too_many_readings(),
         {failed},
         "brisol replay driver: FILE: asks for more than 8388608 readings of its values in all "
         "its profiles\n"},
    };
    char folder[] = "/tmp/brisol-replay-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    const std::string path = std::string(folder) + "/device.json";
    for (const auto& c : cases) {
        if (!c.document.empty()) {
            std::ofstream(path, std::ios::binary) << c.document;
        }
        const ProgramRun run =
            run_program(BRISOL_EXE, {},
                        {"VK_DRIVER_FILES=" REPLAY_ICD, "VK_ICD_FILENAMES=" REPLAY_ICD,
                         environment_lead + path});
        unlink(path.c_str());
        for (const std::string& piece : c.pieces) {
            EXPECT_NE(run.out.find(piece), std::string::npos) << c.what << ": " << piece;
        }
        std::string err = c.err;
        const size_t file = err.find("FILE");
        if (file != std::string::npos) {
            err.replace(file, 4, path);
        }
        EXPECT_EQ(run.err, err) << c.what;
        EXPECT_EQ(run.status, 0) << c.what;
    }
    rmdir(folder);
    // Without the variable the driver has nothing to replay.
    const ProgramRun unset =
        run_program("/usr/bin/env", {"-u", "BRISOL_REPLAY_DOCUMENT", BRISOL_EXE, "-noheaderfooter"},
                    {"VK_DRIVER_FILES=" REPLAY_ICD, "VK_ICD_FILENAMES=" REPLAY_ICD});
    EXPECT_EQ(unset.out, failed);
    EXPECT_EQ(unset.err, "brisol replay driver: BRISOL_REPLAY_DOCUMENT: names no document\n");
}
