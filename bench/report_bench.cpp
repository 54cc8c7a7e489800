// Report building alone, in process, against the fake driver: what brisol itself costs once the
// loader and the driver have answered, and how that cost grows with the size of the report.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>

#include "app/run.h"
#include "fake/fake_driver.h"
#include "fake/fake_entry_points.h"
#include "floor_calls.h"
#include "report/report.h"
#include "vulkan/entry_points.h"

namespace {

constexpr uint32_t extensions_per_device = 300;

// Device names differ so that no two device sections are alike; extension names are of the
// usual length (about 30 characters).
void set_up_fake_driver(int64_t device_count) {
    reset_fake_driver();
    fake.devices.clear();
    for (int64_t d = 0; d < device_count; ++d) {
        FakeDevice device = sample_device();
        snprintf(device.properties.deviceName, sizeof device.properties.deviceName,
                 "Sample Discrete GPU %lld", static_cast<long long>(d + 1));
        device.extensions.clear();
        for (uint32_t e = 0; e < extensions_per_device; ++e) {
            char name[VK_MAX_EXTENSION_NAME_SIZE];
            snprintf(name, sizeof name, "VK_EXT_sample_extension_%03u", e + 1);
            device.extensions.push_back(extension(name, e % 9 + 1));
        }
        fake.devices.push_back(device);
    }
}

// Points the entry-point table at the fake without resetting it, so that every iteration sees
// the devices set up before the loop.
ModuleHandle bind_fake_entry_points() {
    point_entry_points_at_fake();
    return &fake;
}

void release_fake_entry_points(ModuleHandle) {}

const VulkanLoader fake_loader = {bind_fake_entry_points, release_fake_entry_points};

// A process starts with empty streams and grows them; keeping the capacity of the previous
// iteration would leave that growth out.
void start_like_a_new_process() {
    reset_reports();
    text_report.shrink_to_fit();
    xml_report.shrink_to_fit();
}

// "-a": both streams are built, the text one is printed. Bytes processed counts the printed
// stream only; both_streams_bytes counts everything written.
void report_building(benchmark::State& state) {
    set_up_fake_driver(state.range(0));
    RunOptions options;
    options.detailed = true;
    size_t printed_bytes = 0;
    size_t both_bytes = 0;
    for (auto _ : state) {
        start_like_a_new_process();
        const ReportStream& printed = build_report(options, fake_loader);
        benchmark::DoNotOptimize(printed.data());
        printed_bytes = printed.size();
        both_bytes = text_report.size() + xml_report.size();
    }
    const auto iterations = static_cast<int64_t>(state.iterations());
    state.SetBytesProcessed(iterations * static_cast<int64_t>(printed_bytes));
    state.SetComplexityN(static_cast<int64_t>(printed_bytes));
    state.counters["printed_bytes"] = static_cast<double>(printed_bytes);
    state.counters["both_streams_bytes"] = static_cast<double>(both_bytes);
    start_like_a_new_process();
}
BENCHMARK(report_building)->Arg(1)->Arg(8)->Arg(64)->Complexity(benchmark::oN);

// The stand-in loader's scenario "many:D:E": D sample devices, each listing E made-up extensions
// whose names are 255 bytes of markup. "-a -xml" (form 0) and "-json" (form 1), for how the
// instructions grow with the devices and the extensions (bench/run counts them with callgrind;
// the XML report reaches its 16 MiB bound before 16 devices of 1000 such extensions).
void report_scaling(benchmark::State& state) {
    reset_fake_driver();
    fake.devices.assign(static_cast<size_t>(state.range(0)), sample_device());
    fake.generated_device_extensions = static_cast<uint32_t>(state.range(1));
    RunOptions options;
    options.detailed = true;
    options.format = state.range(2) == 0 ? OutputFormat::Xml : OutputFormat::Json;
    size_t printed_bytes = 0;
    for (auto _ : state) {
        start_like_a_new_process();
        const ReportStream& printed = build_report(options, fake_loader);
        benchmark::DoNotOptimize(printed.data());
        printed_bytes = printed.size();
    }
    state.counters["printed_bytes"] = static_cast<double>(printed_bytes);
    start_like_a_new_process();
}
BENCHMARK(report_scaling)
    ->ArgsProduct({{1, 2, 4, 8, 16}, {0, 250, 500, 1000}, {0, 1}})
    ->Unit(benchmark::kMillisecond);

// The same queries against the same fake with nothing written: the fake's own share of the
// figures above.
void fake_driver_queries(benchmark::State& state) {
    set_up_fake_driver(state.range(0));
    bind_fake_entry_points();
    const FloorEntryPoints calls = {
        vulkan.vkEnumerateInstanceExtensionProperties, vulkan.vkEnumeratePhysicalDevices,
        vulkan.vkGetPhysicalDeviceProperties, vulkan.vkGetPhysicalDeviceMemoryProperties,
        vulkan.vkEnumerateDeviceExtensionProperties};
    VkInstance instance = VK_NULL_HANDLE;
    for (auto _ : state) {
        VkInstanceCreateInfo create_info{};
        create_info.sType = VK_STRUCTURE_TYPE_INSTANCE_CREATE_INFO;
        vulkan.vkCreateInstance(&create_info, nullptr, &instance);
        benchmark::DoNotOptimize(make_report_queries(&calls, instance, nullptr));
        vulkan.vkDestroyInstance(instance, nullptr);
    }
}
BENCHMARK(fake_driver_queries)->Arg(1)->Arg(8)->Arg(64);

}  // namespace

BENCHMARK_MAIN();
