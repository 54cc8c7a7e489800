// The profile check in process against the fake driver: reading a document and checking it, for
// the documents that once took the check minutes (capability names looked up one by one, cached
// lines copied for every entry, a queue family compared with thousands of families by text) and
// for the largest published profile. The fake's device answers at once, so what is measured is
// the check's own cost. And the comparison of two documents ("-diff A B"): two real devices,
// and the most a comparison reads.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "app/run.h"
#include "fake/fake_driver.h"
#include "fake/fake_entry_points.h"
#include "report/report.h"
#include "views/diff.h"
#include "views/profile.h"

namespace {

// 20,000 capabilities (2 MB), and one profile that names the last of them 200,000 times.
std::string capability_names() {
    std::string capabilities;
    for (int c = 0; c < 20000; ++c) {
        capabilities += (c == 0 ? "\"c" : ",\"c") + std::to_string(c) +
                        R"(": {"extensions": {"VK_KHR_swapchain": 1}})";
    }
    std::string entries;
    for (int e = 0; e < 200000; ++e) {
        entries += e == 0 ? "\"c19999\"" : ",\"c19999\"";
    }
    return R"({"capabilities": {)" + capabilities +
           R"(}, "profiles": {"VP_X_y": {"api-version": "1.0.0", "capabilities": [)" + entries +
           "]}}}";
}

// A capability the device misses 4096 times over, named by 60,000 entries (330 kB): its unmet
// lines are listed once and only counted after.
std::string repeated_entries() {
    std::string extensions;
    for (int e = 0; e < 4096; ++e) {
        extensions += (e == 0 ? "\"VK_X_" : ",\"VK_X_") + std::to_string(e) + "\": 1";
    }
    std::string entries;
    for (int e = 0; e < 60000; ++e) {
        entries += e == 0 ? "\"m\"" : ",\"m\"";
    }
    return R"({"capabilities": {"m": {"extensions": {)" + extensions +
           R"(}}}, "profiles": {"VP_X_y": {"api-version": "1.0.0", "capabilities": [)" + entries +
           "]}}}";
}

// 4096 queue families of 48 bytes each (196 kB), against a device with 4096 families: each
// required family is compared with every family of the device.
std::string queue_families() {
    std::string families;
    for (int f = 0; f < 4096; ++f) {
        families +=
            std::string(f == 0 ? "" : ",") + R"({"VkQueueFamilyProperties": {"queueCount": 8192}})";
    }
    return R"({"capabilities": {"q": {"queueFamiliesProperties": [)" + families +
           R"(]}}, "profiles": {"VP_X_y": {"api-version": "1.0.0", "capabilities": ["q"]}}})";
}

ModuleHandle bind_fake_entry_points() {
    point_entry_points_at_fake();
    return &fake;
}

void release_fake_entry_points(ModuleHandle) {}

const VulkanLoader fake_loader = {bind_fake_entry_points, release_fake_entry_points};

// Reads the document and writes the verdict, as "-profile FILE" does after reading the file.
void check(benchmark::State& state, const std::string& document, uint32_t families) {
    reset_fake_driver();
    fake.devices.front().queue_families.resize(families, fake.devices.front().queue_families[0]);
    const char* const argv[] = {"brisol", "-profile", "document.json"};
    const RunOptions options = parse_options(3, argv);
    std::string file;
    std::string why;
    for (auto _ : state) {
        reset_reports();
        if (!parse_profile_documents({document}, file, why)) {
            state.SkipWithError(why.c_str());
            break;
        }
        benchmark::DoNotOptimize(build_report(options, fake_loader).data());
    }
    state.counters["document_bytes"] = static_cast<double>(document.size());
    state.counters["verdict_bytes"] = static_cast<double>(text_report.size());
}

void capability_names_bench(benchmark::State& state) {
    check(state, capability_names(), 1);
}
BENCHMARK(capability_names_bench)->Unit(benchmark::kMillisecond);

void repeated_entries_bench(benchmark::State& state) {
    check(state, repeated_entries(), 1);
}
BENCHMARK(repeated_entries_bench)->Unit(benchmark::kMillisecond);

void queue_families_bench(benchmark::State& state) {
    check(state, queue_families(), 4096);
}
BENCHMARK(queue_families_bench)->Unit(benchmark::kMillisecond);

std::string read_device(const char* name) {
    std::ostringstream text;
    text << std::ifstream(std::string(DEVICE_DOCUMENTS "/") + name, std::ios::binary).rdbuf();
    return text.str();
}

// Reads both documents and writes the differences as text, as "-diff A B" does.
void compare(benchmark::State& state, const std::string& a, const std::string& b) {
    const char* const argv[] = {"brisol", "-diff", "a.json", "b.json"};
    const RunOptions options = parse_options(4, argv);
    std::string file;
    std::string why;
    for (auto _ : state) {
        reset_reports();
        if (!parse_diff_documents(a, &b, file, why)) {
            state.SkipWithError(why.c_str());
            break;
        }
        benchmark::DoNotOptimize(build_report(options, fake_loader).data());
    }
    state.counters["document_bytes"] = static_cast<double>(a.size() + b.size());
    state.counters["differences_bytes"] = static_cast<double>(text_report.size());
}

// An NVIDIA and an AMD device (260 and 236 kB): 713 differences.
void diff_real_devices_bench(benchmark::State& state) {
    compare(state, read_device("nvidia_geforce_gtx_1650_610_62_0_0_windows_10.json"),
            read_device("amd_radeon_rx_6800_xt_2_0_283_windows_11.json"));
}
BENCHMARK(diff_real_devices_bench)->Unit(benchmark::kMillisecond);

// 2000 devices of 4096 queue families each (330 kB) against themselves: read until the
// comparison's bound on the values it reads, the devices past it not compared.
void diff_most_read_bench(benchmark::State& state) {
    std::string families;
    for (int f = 0; f < 4096; ++f) {
        families +=
            std::string(f == 0 ? "" : ",") + R"({"VkQueueFamilyProperties": {"queueCount": 5000}})";
    }
    std::string profiles;
    for (int p = 0; p < 2000; ++p) {
        profiles += (p == 0 ? "\"VP_X_" : ",\"VP_X_") + std::to_string(p) +
                    R"(": {"api-version": "1.0.0", "capabilities": ["q"]})";
    }
    const std::string document = R"({"capabilities": {"q": {"queueFamiliesProperties": [)" +
                                 families + R"(]}}, "profiles": {)" + profiles + "}}";
    compare(state, document, document);
}
BENCHMARK(diff_most_read_bench)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
