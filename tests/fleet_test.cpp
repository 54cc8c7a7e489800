// The fleet views: "-labels" (a Node Feature Discovery feature file) and "-metrics" (Prometheus
// text exposition). Every case keeps Kubernetes' label rules, every exposition passes promtool,
// and lavapipe's values are vulkaninfo's.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "app/run.h"
#include "fake/fake_driver.h"
#include "support.h"
#include "views/labels.h"
#include "views/metrics.h"

namespace {

const std::vector<std::string> lavapipe_env = {"VK_DRIVER_FILES=" LAVAPIPE_ICD,
                                               "VK_ICD_FILENAMES=" LAVAPIPE_ICD,
                                               "ASAN_OPTIONS=detect_leaks=0"};

ProgramRun in_process(const char* option, const VulkanLoader& loader) {
    const char* argv[] = {"brisol", option};
    return ProgramRun{build_report(parse_options(2, argv), loader), "", 0};
}

// A folder whose libvulkan.so.1 is no library: the loader cannot be opened.
struct BrokenLoaderFolder {
    char path[32] = "/tmp/brisol-fleet-XXXXXX";
    BrokenLoaderFolder() {
        if (mkdtemp(path) != nullptr) {
            FILE* file = fopen(library().c_str(), "w");
            if (file != nullptr) {
                fputs("not a shared library\n", file);
                fclose(file);
            }
        }
    }
    ~BrokenLoaderFolder() {
        unlink(library().c_str());
        rmdir(path);
    }
    std::string library() const {
        return std::string(path) + "/libvulkan.so.1";
    }
    std::vector<std::string> env() const {
        return {"LD_LIBRARY_PATH=" + std::string(path)};
    }
};

// The hostile devices: names no label may hold, a device type, driver ID and API variant no
// header names, heap counts and sizes past the arrays and the 64-bit sum, and a memory budget.
FakeDevice hostile_device(int which) {
    FakeDevice device = sample_device();
    VkPhysicalDeviceProperties& p = device.properties;
    VkPhysicalDeviceDriverProperties driver{};
    driver.sType = VK_STRUCTURE_TYPE_PHYSICAL_DEVICE_DRIVER_PROPERTIES;
    if (which == 1) {
        strcpy(p.deviceName, "GPU\x01\x1f\"\\\n \xff\xe2\x82(\xed\xa0\x80");
        // A variant no Vulkan version has, which must not make this the highest version.
        p.apiVersion = VK_MAKE_API_VERSION(7, 1, 0, 61);
        p.driverVersion = (535u << 22) | (104u << 14) | (5u << 6) | 1u;
        const uint32_t unknown_type = 77;
        memcpy(&p.deviceType, &unknown_type, sizeof unknown_type);
        device.memory.memoryHeapCount = 99;
        VkPhysicalDeviceMemoryBudgetPropertiesEXT budget{};
        budget.sType = VK_STRUCTURE_TYPE_PHYSICAL_DEVICE_MEMORY_BUDGET_PROPERTIES_EXT;
        for (uint32_t h = 0; h < VK_MAX_MEMORY_HEAPS; ++h) {
            device.memory.memoryHeaps[h] = {uint64_t{1} << 63, VK_MEMORY_HEAP_DEVICE_LOCAL_BIT};
            budget.heapBudget[h] = h * 1000 + 1;
            budget.heapUsage[h] = h;
        }
        const uint32_t unknown_driver = 999;
        memcpy(&driver.driverID, &unknown_driver, sizeof unknown_driver);
        device.extensions.push_back(extension("VK_KHR_driver_properties", 1));
        device.extensions.push_back(extension("VK_EXT_memory_budget", 1));
        device.chain = {chain_structure(driver), chain_structure(budget)};
    } else if (which == 2) {
        const std::string name = "--" + std::string(61, 'x') + "._" + std::string(100, 'y');
        strcpy(p.deviceName, name.c_str());
        p.vendorID = 0x8086;
        p.driverVersion = VK_MAKE_VERSION(22, 3, 6);
        p.deviceType = VK_PHYSICAL_DEVICE_TYPE_INTEGRATED_GPU;
        p.apiVersion = VK_API_VERSION_1_1;  // without driver properties
        device.memory.memoryHeapCount = 2;
        device.memory.memoryHeaps[0] = {uint64_t{24564} << 20, VK_MEMORY_HEAP_DEVICE_LOCAL_BIT};
        device.memory.memoryHeaps[1] = {uint64_t{64} << 30, 0};
    } else {
        strcpy(p.deviceName, "\xe6\x97\xa5\xe6\x9c\xac");  // "Japan", in UTF-8
        p.vendorID = 0xFFFFFFFF;
        p.deviceID = 0xFFFFFFFF;
        p.driverVersion = 0;
        p.deviceType = VK_PHYSICAL_DEVICE_TYPE_VIRTUAL_GPU;
        p.apiVersion = VK_API_VERSION_1_3;  // driver properties come with the version
        device.memory.memoryHeapCount = 1;
        device.memory.memoryHeaps[0] = {uint64_t{3} << 29, VK_MEMORY_HEAP_DEVICE_LOCAL_BIT};
        driver.driverID = VK_DRIVER_ID_NVIDIA_PROPRIETARY;
        device.chain = {chain_structure(driver)};
    }
    return device;
}

const VulkanLoader hostile_loader = {
    [] {
        const ModuleHandle handle = fake_vulkan_loader.bind();
        fake.devices = {hostile_device(1), hostile_device(2), hostile_device(3)};
        return handle;
    },
    fake_vulkan_loader.release};

const std::string machine_without_device = "vulkan.present=false\nvulkan.devices=0\n";

const std::string sample_labels =
    "vulkan.present=true\n"
    "vulkan.devices=1\n"
    "vulkan.api-version=1.0\n"
    "vulkan.loader-version=1.3.0\n"
    "vulkan.device.1.name=Sample_Discrete_GPU\n"
    "vulkan.device.1.type=discrete\n"
    "vulkan.device.1.vendor-id=0x10de\n"
    "vulkan.device.1.device-id=0x1b80\n"
    "vulkan.device.1.api-version=1.0\n"
    "vulkan.device.1.driver=\n"
    "vulkan.device.1.driver-version=388.13.0.0\n"
    "vulkan.device.1.local-memory-gib=0\n";

const std::string hostile_labels =
    "vulkan.present=true\n"
    "vulkan.devices=3\n"
    "vulkan.api-version=1.3\n"
    "vulkan.loader-version=1.3.0\n"
    "vulkan.device.1.name=GPU\n"
    "vulkan.device.1.type=other\n"
    "vulkan.device.1.vendor-id=0x10de\n"
    "vulkan.device.1.device-id=0x1b80\n"
    "vulkan.device.1.api-version=1.0\n"
    "vulkan.device.1.driver=999\n"
    "vulkan.device.1.driver-version=535.104.5.1\n"
    "vulkan.device.1.local-memory-gib=17179869184\n"
    "vulkan.device.2.name=" +
    std::string(61, 'x') +
    "\n"
    "vulkan.device.2.type=integrated\n"
    "vulkan.device.2.vendor-id=0x8086\n"
    "vulkan.device.2.device-id=0x1b80\n"
    "vulkan.device.2.api-version=1.1\n"
    "vulkan.device.2.driver=\n"
    "vulkan.device.2.driver-version=22.3.6\n"
    "vulkan.device.2.local-memory-gib=24\n"
    "vulkan.device.3.name=\n"
    "vulkan.device.3.type=virtual\n"
    "vulkan.device.3.vendor-id=0xffffffff\n"
    "vulkan.device.3.device-id=0xffffffff\n"
    "vulkan.device.3.api-version=1.3\n"
    "vulkan.device.3.driver=VK_DRIVER_ID_NVIDIA_PROPRIETARY\n"
    "vulkan.device.3.driver-version=0.0.0\n"
    "vulkan.device.3.local-memory-gib=2\n";

// One family of an exposition, as the program writes it.
std::string family(const std::string& name, const std::string& help, const std::string& samples) {
    return "# HELP " + name + " " + help + "\n# TYPE " + name + " gauge\n" + samples;
}

std::string up_and_devices(int up, int devices) {
    return family("brisol_vulkan_up",
                  "Whether Vulkan is usable: 1 when the loader lists at least one device.",
                  "brisol_vulkan_up " + std::to_string(up) + "\n") +
           family("brisol_vulkan_devices", "The Vulkan physical devices the loader lists.",
                  "brisol_vulkan_devices " + std::to_string(devices) + "\n");
}

const std::string loader_1_3 =
    family("brisol_vulkan_loader_info", "The version of the Vulkan loader.",
           "brisol_vulkan_loader_info{version=\"1.3.0\"} 1\n");

const std::string info_help =
    "A Vulkan physical device: its name, IDs, type, driver and API version.";
const std::string heap_help = "The size of a memory heap of a Vulkan device.";

const std::string sample_metrics =
    up_and_devices(1, 1) + loader_1_3 +
    family("brisol_vulkan_device_info", info_help,
           "brisol_vulkan_device_info{device=\"1\",name=\"Sample Discrete GPU\","
           "vendor_id=\"0x10de\",device_id=\"0x1b80\",type=\"discrete\",driver=\"\","
           "driver_version=\"388.13.0.0\",api_version=\"1.0.61\"} 1\n") +
    family("brisol_vulkan_memory_heap_size_bytes", heap_help,
           "brisol_vulkan_memory_heap_size_bytes{device=\"1\",heap=\"0\",device_local=\"false\"}"
           " 8589934592\n"
           "brisol_vulkan_memory_heap_size_bytes{device=\"1\",heap=\"1\",device_local=\"false\"}"
           " 17122000896\n");

std::string hostile_metrics() {
    std::string sizes;
    std::string budgets;
    std::string usages;
    for (uint32_t h = 0; h < VK_MAX_MEMORY_HEAPS; ++h) {
        const std::string labels = "{device=\"1\",heap=\"" + std::to_string(h) + "\"";
        sizes += "brisol_vulkan_memory_heap_size_bytes" + labels +
                 ",device_local=\"true\"} 9223372036854775808\n";
        budgets += "brisol_vulkan_memory_heap_budget_bytes" + labels + "} " +
                   std::to_string(h * 1000 + 1) + "\n";
        usages +=
            "brisol_vulkan_memory_heap_usage_bytes" + labels + "} " + std::to_string(h) + "\n";
    }
    sizes +=
        "brisol_vulkan_memory_heap_size_bytes{device=\"2\",heap=\"0\",device_local=\"true\"} "
        "25757220864\n"
        "brisol_vulkan_memory_heap_size_bytes{device=\"2\",heap=\"1\",device_local=\"false\"} "
        "68719476736\n"
        "brisol_vulkan_memory_heap_size_bytes{device=\"3\",heap=\"0\",device_local=\"true\"} "
        "1610612736\n";
    const std::string replaced = "\xEF\xBF\xBD";
    return up_and_devices(1, 3) + loader_1_3 +
           family("brisol_vulkan_device_info", info_help,
                  "brisol_vulkan_device_info{device=\"1\",name=\"GPU\x01\x1f\\\"\\\\\\n " +
                      replaced + replaced + "(" + replaced + replaced + replaced +
                      "\",vendor_id=\"0x10de\",device_id=\"0x1b80\",type=\"other\","
                      "driver=\"999\",driver_version=\"535.104.5.1\",api_version=\"1.0.61\"} 1\n"
                      "brisol_vulkan_device_info{device=\"2\",name=\"--" +
                      std::string(61, 'x') + "._" + std::string(100, 'y') +
                      "\",vendor_id=\"0x8086\",device_id=\"0x1b80\",type=\"integrated\","
                      "driver=\"\",driver_version=\"22.3.6\",api_version=\"1.1.0\"} 1\n"
                      "brisol_vulkan_device_info{device=\"3\",name=\"\xe6\x97\xa5\xe6\x9c\xac\","
                      "vendor_id=\"0xffffffff\",device_id=\"0xffffffff\",type=\"virtual\","
                      "driver=\"VK_DRIVER_ID_NVIDIA_PROPRIETARY\",driver_version=\"0.0.0\","
                      "api_version=\"1.3.0\"} 1\n") +
           family("brisol_vulkan_memory_heap_size_bytes", heap_help, sizes) +
           family("brisol_vulkan_memory_heap_budget_bytes",
                  "How much of a memory heap the process may use (VK_EXT_memory_budget).",
                  budgets) +
           family("brisol_vulkan_memory_heap_usage_bytes",
                  "How much of a memory heap the process uses (VK_EXT_memory_budget).", usages);
}

// What promtool says of an exposition: "" when it reads it and its linter has nothing to say.
std::string promtool_says(const std::string& exposition) {
    char path[] = "/tmp/brisol-metrics-XXXXXX";
    const int descriptor = mkstemp(path);
    if (descriptor < 0) {
        return "no temporary file";
    }
    FILE* file = fdopen(descriptor, "w");
    fwrite(exposition.data(), 1, exposition.size(), file);
    fclose(file);
    const ProgramRun run =
        run_program("/bin/sh", {"-c", "exec \"$0\" check metrics < \"$1\"", PROMTOOL, path});
    unlink(path);
    if (run.status == 0 && run.out.empty() && run.err.empty()) {
        return "";
    }
    return "status " + std::to_string(run.status) + ": " + run.out + run.err;
}

struct FleetCase {
    const char* label;
    ProgramRun run;
    std::string expected;  // the whole output, or "" where it is checked otherwise
    size_t devices;
};

// The cases of both views: lavapipe through the real loader, the loader missing, a failed
// instance, no device, the fake's sample device, two devices, hostile devices and 4096 devices.
std::vector<FleetCase> fleet_cases(const char* option, const std::string& without_device,
                                   const std::string& failed_instance, const std::string& sample,
                                   const std::string& hostile) {
    const BrokenLoaderFolder broken;
    return {
        {"lavapipe", run_program(BRISOL_EXE, {option}, lavapipe_env), "", 1},
        {"missing loader", run_program(BRISOL_EXE, {option}, broken.env()), without_device, 0},
        {"failed instance", run_with_fake_loader({option}, "incompatible"), failed_instance, 0},
        {"no device", run_with_fake_loader({option}, "no-devices"), "", 0},
        {"sample", run_with_fake_loader({option}), sample, 1},
        {"two devices", run_with_fake_loader({option}, "two-devices"), "", 2},
        {"hostile", in_process(option, hostile_loader), hostile, 3},
        {"4096 devices", run_with_fake_loader({option}, "many:4096:0"), "", 4096},
    };
}

}  // namespace

// Every label of every case keeps Kubernetes' rules, and the file always says whether there is
// Vulkan at all.
TEST(Fleet, EveryLabelFileKeepsTheLabelRules) {
    const std::vector<FleetCase> cases = fleet_cases(
        "-labels", machine_without_device, machine_without_device + "vulkan.loader-version=1.3.0\n",
        sample_labels, hostile_labels);
    for (const FleetCase& c : cases) {
        EXPECT_EQ(c.run.status, 0) << c.label;
        EXPECT_EQ(c.run.err, "") << c.label;
        EXPECT_EQ(label_file_faults(c.run.out), "") << c.label << "\n" << c.run.out;
        if (!c.expected.empty()) {
            EXPECT_EQ(c.run.out, c.expected) << c.label;
        }
        std::map<std::string, std::string> labels;
        size_t device_labels = 0;
        for (const auto& [name, value] : labels_of(c.run.out)) {
            labels[name] = value;
            device_labels += name.rfind("vulkan.device.", 0) == 0 ? 1 : 0;
        }
        EXPECT_EQ(labels["vulkan.present"], c.devices > 0 ? "true" : "false") << c.label;
        EXPECT_EQ(labels["vulkan.devices"], std::to_string(c.devices)) << c.label;
        // Each device's labels are there whole or not at all.
        EXPECT_EQ(device_labels % 8, 0u) << c.label;
        if (c.devices < 4096) {
            EXPECT_EQ(device_labels, 8 * c.devices) << c.label;
        }
    }
    EXPECT_EQ(cases[3].run.out, cases[2].run.out);  // no device: as without an instance
    // 4096 devices fill the 64 KiB NFD reads: the first ones are labelled, the count is whole.
    const std::string& many = cases.back().run.out;
    EXPECT_GT(many.size(), 60000u);
    EXPECT_NE(many.find("\nvulkan.device.200.local-memory-gib=0\n"), std::string::npos);
    EXPECT_EQ(many.find("vulkan.device.4096."), std::string::npos);
}

// Every exposition passes promtool, says brisol_vulkan_up, and escapes what drivers write.
TEST(Fleet, EveryExpositionPassesPromtool) {
    const std::string missing =
        "# brisol: Unable to load Vulkan core lib (probably an incompatible driver)\n" +
        up_and_devices(0, 0);
    const std::string incompatible =
        "# brisol: Vulkan instance creation failed (code: VK_ERROR_INCOMPATIBLE_DRIVER)\n" +
        up_and_devices(0, 0) + loader_1_3;
    const std::vector<FleetCase> cases =
        fleet_cases("-metrics", missing, incompatible, sample_metrics, hostile_metrics());
    for (const FleetCase& c : cases) {
        EXPECT_EQ(c.run.status, 0) << c.label;
        EXPECT_EQ(c.run.err, "") << c.label;
        EXPECT_EQ(promtool_says(c.run.out), "") << c.label << "\n" << c.run.out;
        std::string faults;
        const std::vector<MetricSample> samples = samples_of(c.run.out, faults);
        EXPECT_EQ(faults, "") << c.label;
        if (!c.expected.empty()) {
            EXPECT_EQ(c.run.out, c.expected) << c.label;
        }
        std::map<std::string, std::string> values;
        size_t info = 0;
        for (const MetricSample& sample : samples) {
            values[sample.name] = sample.value;
            info += sample.name == "brisol_vulkan_device_info" ? 1 : 0;
        }
        EXPECT_EQ(values["brisol_vulkan_up"], c.devices > 0 ? "1" : "0") << c.label;
        EXPECT_EQ(values["brisol_vulkan_devices"], std::to_string(c.devices)) << c.label;
        EXPECT_EQ(info, c.devices) << c.label;
    }
    EXPECT_EQ(cases[3].run.out, "# brisol: unable to list the physical devices\n" +
                                    up_and_devices(0, 0) + loader_1_3);
    // The name of the hostile device reads back as the driver wrote it, less what is not UTF-8.
    std::string faults;
    const std::vector<MetricSample> samples = samples_of(cases[6].run.out, faults);
    EXPECT_EQ(samples[3].labels[1].second,
              "GPU\x01\x1f\"\\\n \xEF\xBF\xBD\xEF\xBF\xBD(\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD");
}

// The 34 real devices through the replay driver: each label file keeps the rules, each exposition
// passes promtool, and both give the device's name and its driver's version as the document's
// label writes them (NVIDIA's four numbers, the others' three).
TEST(Fleet, RealDevicesThroughTheReplayDriver) {
    size_t devices = 0;
    for (const auto& entry : std::filesystem::directory_iterator(DEVICE_DOCUMENTS)) {
        const std::string path = entry.path().string();
        if (entry.path().extension() != ".json") {
            continue;
        }
        ++devices;
        const nlohmann::json document = nlohmann::json::parse(std::ifstream(path));
        const std::string label = document["profiles"].begin().value()["label"];
        const size_t at = label.find(" driver ");
        ASSERT_NE(at, std::string::npos) << path;
        const std::string name = label.substr(0, at);
        const std::string version = label.substr(at + 8, label.find(' ', at + 8) - at - 8);
        const std::vector<std::string> env = {"VK_DRIVER_FILES=" REPLAY_ICD,
                                              "VK_ICD_FILENAMES=" REPLAY_ICD,
                                              "BRISOL_REPLAY_DOCUMENT=" + path};

        const ProgramRun labels = run_program(BRISOL_EXE, {"-labels"}, env);
        EXPECT_EQ(labels.status, 0) << path;
        EXPECT_EQ(label_file_faults(labels.out), "") << path << "\n" << labels.out;
        std::map<std::string, std::string> by_name;
        for (const auto& [key, value] : labels_of(labels.out)) {
            by_name[key] = value;
        }
        EXPECT_EQ(by_name["vulkan.devices"], "1") << path;
        EXPECT_EQ(by_name["vulkan.device.1.driver-version"], version) << path;

        const ProgramRun metrics = run_program(BRISOL_EXE, {"-metrics"}, env);
        EXPECT_EQ(metrics.status, 0) << path;
        EXPECT_EQ(promtool_says(metrics.out), "") << path << "\n" << metrics.out;
        std::string faults;
        std::map<std::string, std::string> info;
        for (const MetricSample& sample : samples_of(metrics.out, faults)) {
            for (const auto& [key, value] : sample.labels) {
                info[key] = sample.name == "brisol_vulkan_device_info" ? value : info[key];
            }
        }
        EXPECT_EQ(faults, "") << path;
        EXPECT_EQ(info["name"], name) << path;
        EXPECT_EQ(info["driver_version"], version) << path;
    }
    EXPECT_EQ(devices, 34u);
}

// lavapipe's labels and metrics say what vulkaninfo says of the same device.
TEST(Fleet, LavapipeAgreesWithVulkaninfo) {
    const ProgramRun summary = run_program("/usr/bin/vulkaninfo", {"--summary"}, lavapipe_env);
    const ProgramRun full = run_program("/usr/bin/vulkaninfo", {}, lavapipe_env);
    ASSERT_EQ(summary.status, 0) << summary.err;
    ASSERT_EQ(full.status, 0) << full.err;
    std::map<std::string, std::string> peer;
    const std::regex field(
        "\n\t?(Vulkan Instance Version|apiVersion|driverVersion|vendorID|"
        "deviceID|deviceType|deviceName|driverID) *[:=] ([^\n]*)");
    for (std::sregex_iterator at(summary.out.begin(), summary.out.end(), field), end; at != end;
         ++at) {
        peer.emplace((*at)[1], (*at)[2]);
    }
    const std::regex heap(
        "memoryHeaps\\[(\\d+)\\]:\n\t\tsize   = (\\d+) [^\n]*\n\t\tflags: "
        "count = \\d+\n((\t\t\t[A-Z_]+\n)*)");
    std::vector<std::pair<std::string, bool>> peer_heaps;
    for (std::sregex_iterator at(full.out.begin(), full.out.end(), heap), end; at != end; ++at) {
        peer_heaps.emplace_back((*at)[2],
                                std::string((*at)[3]).find("DEVICE_LOCAL") != std::string::npos);
    }
    ASSERT_EQ(peer.size(), 8u) << summary.out;
    ASSERT_FALSE(peer_heaps.empty());

    const ProgramRun metrics = run_program(BRISOL_EXE, {"-metrics"}, lavapipe_env);
    std::string faults;
    std::map<std::string, std::string> info;
    std::vector<std::pair<std::string, bool>> heaps;
    for (const MetricSample& sample : samples_of(metrics.out, faults)) {
        std::map<std::string, std::string> labels(sample.labels.begin(), sample.labels.end());
        if (sample.name == "brisol_vulkan_loader_info") {
            info["loader"] = labels["version"];
        } else if (sample.name == "brisol_vulkan_device_info") {
            info.insert(labels.begin(), labels.end());
        } else if (sample.name == "brisol_vulkan_memory_heap_size_bytes") {
            heaps.emplace_back(sample.value, labels["device_local"] == "true");
        }
    }
    // vulkaninfo writes "PHYSICAL_DEVICE_TYPE_CPU" and "DRIVER_ID_MESA_LLVMPIPE".
    const std::map<std::string, std::string> types = {
        {"PHYSICAL_DEVICE_TYPE_OTHER", "other"},
        {"PHYSICAL_DEVICE_TYPE_INTEGRATED_GPU", "integrated"},
        {"PHYSICAL_DEVICE_TYPE_DISCRETE_GPU", "discrete"},
        {"PHYSICAL_DEVICE_TYPE_VIRTUAL_GPU", "virtual"},
        {"PHYSICAL_DEVICE_TYPE_CPU", "cpu"}};
    EXPECT_EQ(info["loader"], peer["Vulkan Instance Version"]);
    EXPECT_EQ(info["name"], peer["deviceName"]);
    EXPECT_EQ(info["vendor_id"], peer["vendorID"]);
    EXPECT_EQ(info["device_id"], peer["deviceID"]);
    EXPECT_EQ(info["type"], types.at(peer["deviceType"]));
    EXPECT_EQ(info["driver"], "VK_" + peer["driverID"]);
    EXPECT_EQ(info["driver_version"], peer["driverVersion"]);
    EXPECT_EQ(info["api_version"], peer["apiVersion"]);
    EXPECT_EQ(heaps, peer_heaps);

    // The labels carry the same values in their own forms.
    const ProgramRun labels = run_program(BRISOL_EXE, {"-labels"}, lavapipe_env);
    uint64_t local = 0;
    for (const auto& [size, device_local] : peer_heaps) {
        local += device_local ? std::stoull(size) : 0;
    }
    // "llvmpipe (LLVM 15.0.6, 256 bits)" as a label value: "llvmpipe_LLVM_15.0.6_256_bits".
    std::string label_name =
        std::regex_replace(peer["deviceName"], std::regex("[^A-Za-z0-9._-]+"), "_");
    label_name = std::regex_replace(label_name, std::regex("^[._-]+|[._-]+$"), "");
    const std::string minor = peer["apiVersion"].substr(0, peer["apiVersion"].rfind('.'));
    const std::string expected =
        "vulkan.present=true\nvulkan.devices=1\nvulkan.api-version=" + minor +
        "\nvulkan.loader-version=" + peer["Vulkan Instance Version"] +
        "\nvulkan.device.1.name=" + label_name +
        "\nvulkan.device.1.type=" + types.at(peer["deviceType"]) +
        "\nvulkan.device.1.vendor-id=" + peer["vendorID"] +
        "\nvulkan.device.1.device-id=" + peer["deviceID"] +
        "\nvulkan.device.1.api-version=" + minor + "\nvulkan.device.1.driver=VK_" +
        peer["driverID"] + "\nvulkan.device.1.driver-version=" + peer["driverVersion"] +
        "\nvulkan.device.1.local-memory-gib=" + std::to_string((local + (1u << 29)) >> 30) + "\n";
    EXPECT_EQ(labels.out, expected);
}

// What -profile will hand the views: one label and one sample a profile, whatever its name.
TEST(Fleet, ProfileVerdicts) {
    const std::string long_name(100, 'L');
    const std::vector<ProfileSupport> profiles = {
        {"VP_KHR_roadmap_2022", false},
        {"VP_LUNARG_desktop_baseline_2023", true},
        {"VP_LUNARG_desktop_baseline_2023", false},  // the same name twice: met only if both are
        {"a/b c", true},
        {"((()))", true},  // no letter or digit: no label
        {long_name, true},
        {"\xc3\xbcn\xc3\xaf\"\\\n\xff", true},
    };
    NodeFacts facts;
    write_labels(facts, profiles);
    EXPECT_EQ(labels_report, machine_without_device +
                                 "vulkan.profile.VP_KHR_roadmap_2022=false\n"
                                 "vulkan.profile.VP_LUNARG_desktop_baseline_2023=false\n"
                                 "vulkan.profile.a_b_c=true\n"
                                 "vulkan.profile." +
                                 std::string(48, 'L') +
                                 "=true\n"
                                 "vulkan.profile.n=true\n");
    EXPECT_EQ(label_file_faults(labels_report), "");

    write_metrics(facts, profiles);
    const std::string name = "brisol_vulkan_profile_supported";
    EXPECT_EQ(metrics_report,
              up_and_devices(0, 0) +
                  family(name, "Whether some Vulkan device of the node meets the profile.",
                         name + "{profile=\"VP_KHR_roadmap_2022\"} 0\n" + name +
                             "{profile=\"VP_LUNARG_desktop_baseline_2023\"} 0\n" + name +
                             "{profile=\"a/b c\"} 1\n" + name + "{profile=\"((()))\"} 1\n" + name +
                             "{profile=\"" + long_name + "\"} 1\n" + name +
                             "{profile=\"\xc3\xbcn\xc3\xaf\\\"\\\\\\n\xEF\xBF\xBD\"} 1\n"));
    EXPECT_EQ(promtool_says(metrics_report), "") << metrics_report;

    // Thousands of profiles still make a file NFD reads, with as many of them as fit.
    std::vector<ProfileSupport> many;
    for (int i = 0; i < 5000; ++i) {
        many.push_back({"VP_many_" + std::to_string(i), i % 2 == 0});
    }
    write_labels(facts, many);
    EXPECT_EQ(label_file_faults(labels_report), "");
    EXPECT_GT(labels_report.size(), 60000u);
}

// 4096 devices of 255-byte names and sixteen heaps with budgets: the exposition ends whole
// within the reports' bound, says what it left out, and still reads.
TEST(Fleet, TheExpositionIsBounded) {
    const VulkanLoader crowded = {[] {
                                      const ModuleHandle handle = fake_vulkan_loader.bind();
                                      FakeDevice device = hostile_device(1);
                                      memset(device.properties.deviceName, '\xff', 255);
                                      fake.devices.assign(4096, device);
                                      return handle;
                                  },
                                  fake_vulkan_loader.release};
    const ProgramRun run = in_process("-metrics", crowded);
    EXPECT_EQ(run.out.rfind("# brisol: the report reached its size limit: the remaining devices "
                            "were left out\n# HELP brisol_vulkan_up ",
                            0),
              0u);
    EXPECT_GT(run.out.size(), most_report_bytes);
    EXPECT_LT(run.out.size(), most_report_bytes + 65536);
    std::string faults;
    samples_of(run.out, faults);
    EXPECT_EQ(faults, "");
    EXPECT_EQ(promtool_says(run.out), "");
}

// Of -txt, -xml, -json, -labels and -metrics the last one wins; the options that shape the
// reports change neither view; the help screen and the version line win over both.
TEST(Fleet, OptionsAroundThem) {
    const auto report = [](std::vector<const char*> args) {
        args.insert(args.begin(), "brisol");
        reset_reports();
        return build_report(parse_options(static_cast<int>(args.size()), args.data()),
                            fake_vulkan_loader);
    };
    const std::string labels = report({"-labels"});
    const std::string metrics = report({"-metrics"});
    EXPECT_EQ(labels, sample_labels);
    EXPECT_EQ(metrics, sample_metrics);
    EXPECT_EQ(report({"-a", "-all", "-f", "-noheaderfooter", "-labels"}), labels);
    EXPECT_EQ(report({"-all", "-noheaderfooter", "-metrics", "-f"}), metrics);
    EXPECT_EQ(report({"-xml", "-json", "-labels"}), labels);
    EXPECT_EQ(report({"-labels", "-metrics"}), metrics);
    EXPECT_EQ(report({"-metrics", "-labels"}), labels);
    EXPECT_EQ(report({"--metrics-labels"}), metrics);  // within one argument, -metrics is last
    EXPECT_EQ(report({"-labels", "-xml"}).rfind(xml_prolog, 0), 0u);
    EXPECT_EQ(report({"-metrics", "-txt"}).rfind(text_header, 0), 0u);
    EXPECT_EQ(report({"-metrics", "-json"}).rfind("{\n  \"$schema\"", 0), 0u);
    EXPECT_EQ(report({"-labels", "-h"}), help_screen);
    EXPECT_EQ(report({"-metrics", "-version"}), "Brisol 0.3.0\n");
    // Neither name holds another option, nor is held by one.
    EXPECT_EQ(report({"-Labels", "labels", "-metric"}).rfind(text_header, 0), 0u);
    for (const char* option : {"-labels", "-metrics"}) {
        const char* argv[] = {"brisol", option};
        const RunOptions options = parse_options(2, argv);
        EXPECT_TRUE(!options.detailed && !options.complete && !options.show_entry_points &&
                    options.header_footer && !options.show_help && !options.show_version &&
                    options.profile_paths.empty())
            << option;
    }
    for (const char* option : {"-a", "-all", "-txt", "-xml", "-json", "-f", "-noheaderfooter", "-h",
                               "-?", "-version", "-profile", "-diff"}) {
        const char* argv[] = {"brisol", option, "file"};
        const OutputFormat format = parse_options(3, argv).format;
        EXPECT_TRUE(format != OutputFormat::Labels && format != OutputFormat::Metrics) << option;
    }
}

// The lower layers write their failures to the reports, which neither view prints: the views
// take the messages and leave the reports as they were.
TEST(Fleet, TheReportsAreLeftAsTheyWere) {
    const VulkanLoader missing = {[] { return bind_vulkan_library("/nonexistent/libvulkan.so.1"); },
                                  release_vulkan_loader};
    for (const char* option : {"-labels", "-metrics"}) {
        reset_reports();
        append_text("before");
        append_xml("before");
        const ProgramRun run = in_process(option, missing);
        EXPECT_EQ(text_report, "before") << option;
        EXPECT_EQ(xml_report, "before") << option;
        EXPECT_EQ(run.out.rfind("vulkan.present=false\n", 0) == 0 ||
                      run.out.rfind("# brisol: Unable to load Vulkan core lib", 0) == 0,
                  true)
            << option;
    }
}

// "-profile" with either view: each device is checked as the views read it, a profile is true
// when some device meets it (its required profiles too), and the run ends 0 whatever the verdict;
// a file that is no profiles document is refused before Vulkan is touched.
TEST(Fleet, ProfilesFromTheCommandLine) {
    char folder[] = "/tmp/brisol-fleet-profiles-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    const std::string path = std::string(folder) + "/profiles.json";
    FILE* file = fopen(path.c_str(), "w");
    ASSERT_NE(file, nullptr);
    // lavapipe lacks shaderSampledImageArrayDynamicIndexing (see Profile.RoadmapOnLavapipe).
    fputs(R"({"capabilities": {
        "none": {},
        "dynamic": {"features": {"VkPhysicalDeviceFeatures":
                                     {"shaderSampledImageArrayDynamicIndexing": true}}}},
      "profiles": {
        "VP_TEST_met": {"version": 1, "api-version": "1.0.0", "capabilities": ["none"]},
        "VP_TEST_unmet": {"version": 1, "api-version": "1.0.0", "capabilities": ["dynamic"]},
        "VP_TEST_requires_unmet": {"version": 1, "api-version": "1.0.0",
                                   "capabilities": ["none"], "profiles": ["VP_TEST_unmet"]}}})",
          file);
    fclose(file);

    const ProgramRun labels = run_program(BRISOL_EXE, {"-labels", "-profile", path}, lavapipe_env);
    EXPECT_EQ(labels.status, 0) << labels.err;
    EXPECT_EQ(label_file_faults(labels.out), "");
    const auto all = labels_of(labels.out);
    const std::vector<std::pair<std::string, std::string>> profile_labels(all.begin() + 4,
                                                                          all.begin() + 7);
    EXPECT_EQ(profile_labels, (std::vector<std::pair<std::string, std::string>>{
                                  {"vulkan.profile.VP_TEST_met", "true"},
                                  {"vulkan.profile.VP_TEST_unmet", "false"},
                                  {"vulkan.profile.VP_TEST_requires_unmet", "false"}}));
    // The device labels are those of a run without profiles.
    const ProgramRun plain = run_program(BRISOL_EXE, {"-labels"}, lavapipe_env);
    std::vector<std::pair<std::string, std::string>> rest = all;
    rest.erase(rest.begin() + 4, rest.begin() + 7);
    EXPECT_EQ(rest, labels_of(plain.out));

    const ProgramRun metrics =
        run_program(BRISOL_EXE, {"--profile=" + path, "-metrics"}, lavapipe_env);
    EXPECT_EQ(metrics.status, 0) << metrics.err;
    EXPECT_EQ(promtool_says(metrics.out), "") << metrics.out;
    const std::string name = "brisol_vulkan_profile_supported";
    for (const char* sample : {"{profile=\"VP_TEST_met\"} 1\n", "{profile=\"VP_TEST_unmet\"} 0\n",
                               "{profile=\"VP_TEST_requires_unmet\"} 0\n"}) {
        EXPECT_EQ(count_of(metrics.out, name + sample), 1u) << sample << metrics.out;
    }

    const ProgramRun refused =
        run_program(BRISOL_EXE, {"-labels", "-profile", path + ".missing"}, lavapipe_env);
    EXPECT_EQ(refused.status, 2);
    EXPECT_EQ(refused.out, "");
    EXPECT_EQ(refused.err,
              "brisol: " + path + ".missing: cannot be opened: No such file or directory\n");
    unlink(path.c_str());
    rmdir(folder);
}
