// The real binary, end to end, against the fake loader library.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <nlohmann/json.hpp>

#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>

#include "app/output.h"
#include "app/run.h"
#include "fake/fake_driver.h"
#include "sections/limits.h"
#include "support.h"

namespace {

const std::string entry_points_text =
    "\n\nVulkan entrypoints:"
    "\n- vkGetInstanceProcAddr loaded: YES"
    "\n- vkCreateInstance loaded:  YES"
    "\n- vkDestroyInstance loaded:  YES"
    "\n- vkEnumeratePhysicalDevices loaded:  YES"
    "\n- vkGetPhysicalDeviceProperties loaded:  YES"
    "\n- vkEnumerateInstanceExtensionProperties loaded:  YES"
    "\n- vkEnumerateDeviceExtensionProperties loaded:  YES"
    "\n- vkGetPhysicalDeviceMemoryProperties loaded:  YES"
    "\n";

const std::string entry_points_xml =
    "\n\n<vk_entry_points>"
    "\n\t<vk_entry_point name=\"vkGetInstanceProcAddr\" loaded=\"1\" />"
    "\n\t<vk_entry_point name=\"vkCreateInstance\" loaded=\"1\" />"
    "\n\t<vk_entry_point name=\"vkDestroyInstance\" loaded=\"1\" />"
    "\n\t<vk_entry_point name=\"vkEnumeratePhysicalDevices\" loaded=\"1\" />"
    "\n\t<vk_entry_point name=\"vkGetPhysicalDeviceProperties\" loaded=\"1\" />"
    "\n\t<vk_entry_point name=\"vkEnumerateInstanceExtensionProperties\" loaded=\"1\" />"
    "\n\t<vk_entry_point name=\"vkEnumerateDeviceExtensionProperties\" loaded=\"1\" />"
    "\n\t<vk_entry_point name=\"vkGetPhysicalDeviceMemoryProperties\" loaded=\"1\" />"
    "\n</vk_entry_points>\n";

const std::string instance_extensions_text =
    "\nInstance extensions: 2"
    "\n- 1/ VK_KHR_surface (spec version: 25)"
    "\n- 2/ VK_KHR_display (spec version: 23)";

const std::string instance_extensions_xml =
    "\n\n\t<vk_extensions num_extensions=\"2\" >"
    "\n\t\t<vk_extension name=\"VK_KHR_surface\" spec_version=\"25\" />"
    "\n\t\t<vk_extension name=\"VK_KHR_display\" spec_version=\"23\" />"
    "\n\t</vk_extensions>";

enum class Expect { Help, Version, Text, TextWithoutHeader, Xml };

struct OptionCase {
    std::vector<std::string> args;
    Expect expect;
    bool detailed;
    bool entry_points;
};

// The sample device's limits listing, as the in-process section writes it.
StreamMark sample_limits() {
    const StreamMark mark;
    report_device_limits(sample_device().properties.limits);
    return mark;
}

std::string expected_output(const OptionCase& c) {
    const StreamMark limits = sample_limits();
    const std::string limits_text = c.detailed ? limits.new_text() : "";
    const std::string limits_xml = c.detailed ? limits.new_xml() : "";
    const std::string text_body = (c.entry_points ? entry_points_text : "") +
                                  instance_extensions_text + sample_devices_text(limits_text);
    switch (c.expect) {
        case Expect::Help:
            return help_screen;
        case Expect::Version:
            return "Brisol 0.3.0\n";
        case Expect::Text:
            return text_header + text_body + text_footer;
        case Expect::TextWithoutHeader:
            return text_body + "\n";
        case Expect::Xml:
            return xml_prolog + (c.entry_points ? entry_points_xml : "") + "\n<vk_instance>" +
                   instance_extensions_xml + sample_devices_xml(limits_xml) + "\n</vk_instance>" +
                   xml_epilogue;
    }
    return "";
}

}  // namespace

TEST(Run, OptionsSelectTheReport) {
    const OptionCase cases[] = {
        {{}, Expect::Text, false, false},
        {{"-txt"}, Expect::Text, false, false},
        {{"unknown", "/?", "-XML", "-H"}, Expect::Text, false, false},
        {{"-xml"}, Expect::Xml, false, false},
        {{"-xml", "-txt"}, Expect::Text, false, false},
        {{"-txt", "-xml"}, Expect::Xml, false, false},
        {{"-txt-xml"}, Expect::Xml, false, false},
        {{"--xml"}, Expect::Xml, false, false},
        {{"-xmlfile"}, Expect::Xml, false, false},
        {{"x-xml"}, Expect::Xml, false, false},
        {{"-h"}, Expect::Help, false, false},
        {{"-?"}, Expect::Help, false, false},
        {{"-help"}, Expect::Help, false, false},
        {{"--help"}, Expect::Help, false, false},
        {{"-xml", "-h"}, Expect::Help, false, false},
        {{"-noheaderfooter", "-h"}, Expect::Help, false, false},
        {{"-version"}, Expect::Version, false, false},
        {{"--version"}, Expect::Version, false, false},
        {{"-a", "-f", "-xml", "-noheaderfooter", "x-version"}, Expect::Version, true, true},
        {{"--version", "--help"}, Expect::Help, false, false},
        {{"-?", "-version"}, Expect::Help, false, false},
        {{"-VERSION", "version"}, Expect::Text, false, false},
        {{"-noheaderfooter"}, Expect::TextWithoutHeader, false, false},
        {{"-noheaderfooter", "-xml"}, Expect::Xml, false, false},
        {{"-a"}, Expect::Text, true, false},
        {{"data-analysis"}, Expect::Text, true, false},
        {{"-f"}, Expect::Text, false, true},
        {{"-a", "-f", "-xml"}, Expect::Xml, true, true},
        {{"-a-f-xml"}, Expect::Xml, true, true},
        {{"-a", "-f", "-noheaderfooter"}, Expect::TextWithoutHeader, true, true},
    };
    for (const OptionCase& c : cases) {
        std::string label;
        for (const std::string& arg : c.args) {
            label += arg + " ";
        }
        const ProgramRun run = run_with_fake_loader(c.args);
        EXPECT_EQ(run.out, expected_output(c)) << label;
        EXPECT_EQ(run.status, 0) << label;
        EXPECT_EQ(run.err, "") << label;
        if (c.expect == Expect::Xml) {
            EXPECT_EQ(xml_error(run.out), "") << label;
        }
    }
}

// The same run in process, as fuzzing and benchmarks make it, prints what the binary prints.
TEST(Run, InProcessRunsMatchTheBinary) {
    for (const char* argument : {"-a-f-xml", "-a-f", "-noheaderfooter", "-h", "--version"}) {
        const char* argv[] = {"brisol", argument};
        reset_reports();
        const std::string in_process = build_report(parse_options(2, argv), fake_vulkan_loader);
        EXPECT_EQ(in_process, run_with_fake_loader({argument}).out) << argument;
        // The XML report is built whole whichever report is printed.
        if (!parse_options(2, argv).show_help && !parse_options(2, argv).show_version) {
            EXPECT_EQ(xml_error(xml_report), "") << argument;
        }
    }
}

TEST(Run, NoArgumentsAtAllGiveTheDefaults) {
    const RunOptions options = parse_options(0, nullptr);
    EXPECT_FALSE(options.detailed);
    EXPECT_EQ(options.format, OutputFormat::Text);
    EXPECT_FALSE(options.show_entry_points);
    EXPECT_TRUE(options.header_footer);
    EXPECT_FALSE(options.show_help);
    EXPECT_FALSE(options.show_version);
}

// Where the program lives never changes what it prints.
TEST(Run, TheProgramsOwnPathIsNotAnOption) {
    char folder[] = "/tmp/brisol-test-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    const std::string dir = std::string(folder) + "/x-h-a-xml-f";
    ASSERT_EQ(mkdir(dir.c_str(), 0700), 0);
    const std::string link = dir + "/brisol-noheaderfooter";
    ASSERT_EQ(symlink(BRISOL_EXE, link.c_str()), 0);
    const ProgramRun run =
        run_program(link, {}, {"LD_LIBRARY_PATH=" FAKE_LOADER_DIR, "FAKE_VULKAN_SCENARIO=sample"});
    EXPECT_EQ(run.out, expected_output({{}, Expect::Text, false, false}));
    unlink(link.c_str());
    rmdir(dir.c_str());
    rmdir(folder);
}

TEST(Run, MissingLoaderStillGivesCompleteReports) {
    char folder[] = "/tmp/brisol-test-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    // A library file that exists but cannot be loaded, found before the real loader.
    const std::string library = std::string(folder) + "/libvulkan.so.1";
    FILE* file = fopen(library.c_str(), "w");
    ASSERT_NE(file, nullptr);
    fputs("not a shared library\n", file);
    fclose(file);
    const std::vector<std::string> env = {"LD_LIBRARY_PATH=" + std::string(folder)};
    const std::string error = "Unable to load Vulkan core lib (probably an incompatible driver)";

    ProgramRun run = run_program(BRISOL_EXE, {"-f"}, env);
    EXPECT_EQ(run.out, text_header + "\n [ERROR] " + error + text_footer);
    EXPECT_EQ(run.status, 0);
    run = run_program(BRISOL_EXE, {"-f", "-a", "-noheaderfooter"}, env);
    EXPECT_EQ(run.out, "\n [ERROR] " + error + "\n");
    run = run_program(BRISOL_EXE, {"-xml", "-f", "-a"}, env);
    EXPECT_EQ(run.out, xml_prolog + "\n<error msg=\"" + error + "\" />" + xml_epilogue);
    EXPECT_EQ(xml_error(run.out), "");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "");
    unlink(library.c_str());
    rmdir(folder);
}

TEST(Run, DriverFailuresStillGiveCompleteReports) {
    const std::string incompatible =
        "Vulkan instance creation failed (code: VK_ERROR_INCOMPATIBLE_DRIVER)";
    ProgramRun run = run_with_fake_loader({}, "incompatible");
    EXPECT_EQ(run.out, text_header + "\n [ERROR] " + incompatible + text_footer);
    run = run_with_fake_loader({"-xml", "-f"}, "incompatible");
    EXPECT_EQ(run.out, xml_prolog + entry_points_xml + "\n<error msg=\"" + incompatible + "\" />" +
                           xml_epilogue);
    EXPECT_EQ(xml_error(run.out), "");

    // What the real loader answers on a machine without a device.
    run = run_with_fake_loader({}, "no-devices");
    EXPECT_EQ(run.out, text_header + instance_extensions_text +
                           "\n [ERROR] unable to list the physical devices" + text_footer);
    run = run_with_fake_loader({"-xml"}, "no-devices");
    EXPECT_EQ(run.out, xml_prolog + "\n<vk_instance>" + instance_extensions_xml +
                           "\n<error msg=\"unable to list the physical devices\" />" +
                           "\n</vk_instance>" + xml_epilogue);
    EXPECT_EQ(xml_error(run.out), "");
}

TEST(Run, TwoDevicesWithAHostileName) {
    const ProgramRun text = run_with_fake_loader({"-a"}, "two-devices");
    EXPECT_NE(text.out.find("\n\n[ Device 2 ]--------------------------------------"
                            "\n- Device name: Second <GPU> & \"friends\""
                            "\n- DeviceID: 10005-AC740000"),
              std::string::npos);
    EXPECT_NE(text.out.find("nonCoherentAtomSize: 64\n\n[ Device 2 ]"), std::string::npos);
    const ProgramRun xml = run_with_fake_loader({"-a", "-xml"}, "two-devices");
    EXPECT_EQ(xml_error(xml.out), "");
    EXPECT_NE(xml.out.find("\t\t</vk_device>\n\n\t\t<vk_device name=\"Second &lt;GPU&gt; &amp; "
                           "&quot;friends&quot;\" vendor_id=\"65541\" device_id=\"2893283328\""),
              std::string::npos);
    EXPECT_EQ(count_of(xml.out, "<limit name="), 2 * device_limit_row_count);
}

TEST(Run, OutputThatCannotBeWrittenIsAnError) {
    const struct {
        const char* shell;
        const char* reason;
    } cases[] = {
        {"exec \"$0\" -xml > /dev/full", "No space left on device"},
        {"exec \"$0\" > /dev/full", "No space left on device"},
        {"exec \"$0\" -h > /dev/full", "No space left on device"},
        {"exec \"$0\" -xml >&-", "Bad file descriptor"},
        {"exec \"$0\" -h >&-", "Bad file descriptor"},
        {"exec \"$0\" -a < /dev/null > /dev/null 1<&0", "Bad file descriptor"},
    };
    for (const auto& c : cases) {
        const ProgramRun run =
            run_program("/bin/sh", {"-c", c.shell, BRISOL_EXE},
                        {"LD_LIBRARY_PATH=" FAKE_LOADER_DIR, "FAKE_VULKAN_SCENARIO=sample"});
        EXPECT_EQ(run.status, 1) << c.shell;
        EXPECT_EQ(run.err, "brisol: the report could not be written to standard output: " +
                               std::string(c.reason) + "\n")
            << c.shell;
        EXPECT_EQ(run.out, "") << c.shell;
    }
    // A reader that has quit ends the program by SIGPIPE, as it ends other tools: the shell shows
    // 141. The reader closes its end before the program starts, so the write always meets it.
    const ProgramRun run = run_program(
        "/bin/sh",
        {"-c",
         "d=$(mktemp -d) && mkfifo \"$d/f\" && { read _ <\"$d/f\"; \"$0\" -a -xml; echo $? >&2; } |"
         " { exec <&-; echo >\"$d/f\"; }; rm -r \"$d\"",
         BRISOL_EXE},
        {"LD_LIBRARY_PATH=" FAKE_LOADER_DIR});
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "141\n");
}

// In process the entry-point table outlives a run: a loader that cannot be opened must leave
// none of the previous run's entry points behind, or the run goes on past its error.
TEST(Run, MissingLoaderAfterAnotherRunInProcess) {
    const VulkanLoader missing = {[] { return bind_vulkan_library("/nonexistent/libvulkan.so.1"); },
                                  release_vulkan_loader};
    const char* argv[] = {"brisol", "-xml", "-f"};
    const RunOptions options = parse_options(3, argv);
    reset_reports();
    build_report(options, fake_vulkan_loader);
    reset_reports();
    const std::string xml = build_report(options, missing);
    EXPECT_EQ(xml, xml_prolog +
                       "\n<error msg=\"Unable to load Vulkan core lib (probably an incompatible "
                       "driver)\" />" +
                       xml_epilogue);
    EXPECT_EQ(xml_error(xml), "");
    EXPECT_EQ(vulkan.vkCreateInstance, nullptr);
}

namespace {

std::string replaced(std::string text, const std::string& from, const std::string& to) {
    for (size_t at = text.find(from); at != std::string::npos;
         at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
    return text;
}

}  // namespace

// A loader that exports only some of the commands: each missing one drops its own part of the
// report and nothing else, and the run neither stops nor calls through a null entry.
TEST(Run, EachMissingExportDropsOnlyItsPart) {
    const struct {
        const char* name;
        void (*drop)();
        bool instance, instance_extensions, devices, memory, device_extensions, destroyed;
    } cases[] = {
        {"vkGetInstanceProcAddr", [] { vulkan.vkGetInstanceProcAddr = nullptr; }, true, true, true,
         true, true, true},
        {"vkCreateInstance", [] { vulkan.vkCreateInstance = nullptr; }, false, false, false, false,
         false, false},
        {"vkDestroyInstance", [] { vulkan.vkDestroyInstance = nullptr; }, true, true, true, true,
         true, false},
        {"vkEnumeratePhysicalDevices", [] { vulkan.vkEnumeratePhysicalDevices = nullptr; }, true,
         true, false, false, false, true},
        {"vkGetPhysicalDeviceProperties", [] { vulkan.vkGetPhysicalDeviceProperties = nullptr; },
         true, true, false, false, false, true},
        {"vkEnumerateInstanceExtensionProperties",
         [] { vulkan.vkEnumerateInstanceExtensionProperties = nullptr; }, true, false, true, true,
         true, true},
        {"vkEnumerateDeviceExtensionProperties",
         [] { vulkan.vkEnumerateDeviceExtensionProperties = nullptr; }, true, true, true, true,
         false, true},
        {"vkGetPhysicalDeviceMemoryProperties",
         [] { vulkan.vkGetPhysicalDeviceMemoryProperties = nullptr; }, true, true, true, false,
         true, true},
    };
    static void (*drop)() = nullptr;
    const VulkanLoader partial = {[] {
                                      const ModuleHandle handle = fake_vulkan_loader.bind();
                                      drop();
                                      return handle;
                                  },
                                  fake_vulkan_loader.release};
    const char* argv[] = {"brisol", "-f", "-a"};
    for (const auto& c : cases) {
        drop = c.drop;
        reset_reports();
        const std::string text = build_report(parse_options(3, argv), partial);
        const std::string& xml = xml_report;
        EXPECT_EQ(xml_error(xml), "") << c.name;
        EXPECT_EQ(text.rfind(text_header, 0), 0u) << c.name;
        EXPECT_EQ(text.substr(text.size() - text_footer.size()), text_footer) << c.name;
        EXPECT_EQ(count_of(xml, " loaded=\"0\" />"), 1u) << c.name;
        EXPECT_EQ(
            count_of(xml, "<vk_entry_point name=\"" + std::string(c.name) + "\" loaded=\"0\""), 1u)
            << c.name;
        EXPECT_EQ(count_of(xml, "\n<vk_instance>"), c.instance ? 1u : 0u) << c.name;
        EXPECT_EQ(count_of(xml, "\n\n\t<vk_extensions num_extensions=\"2\" >"),
                  c.instance_extensions ? 1u : 0u)
            << c.name;
        EXPECT_EQ(count_of(xml, "<vk_device "), c.devices ? 1u : 0u) << c.name;
        EXPECT_EQ(count_of(xml, "<limit "), c.devices ? device_limit_row_count : 0u) << c.name;
        EXPECT_EQ(count_of(xml, "<vk_memory "), c.memory ? 1u : 0u) << c.name;
        EXPECT_EQ(count_of(xml, "\n\t\t\t<vk_extensions "), c.device_extensions ? 1u : 0u)
            << c.name;
        EXPECT_EQ(count_of(xml, "<error "), 0u) << c.name;
        EXPECT_EQ(fake.instances_destroyed, c.destroyed ? 1 : 0) << c.name;
    }
}

// A library by the loader's name that exports none of the commands, bound through the real
// symbol lookup: the listing says so, and the report is only its frame.
TEST(Run, LibraryWithoutAnyOfTheExports) {
    const VulkanLoader no_exports = {[] { return bind_vulkan_library("libc.so.6"); },
                                     release_vulkan_loader};
    const char* argv[] = {"brisol", "-f", "-a"};
    reset_reports();
    const std::string text = build_report(parse_options(3, argv), no_exports);
    EXPECT_EQ(text, text_header + replaced(entry_points_text, "YES", "NO") + text_footer);
    EXPECT_EQ(xml_report, xml_prolog + replaced(entry_points_xml, "loaded=\"1\"", "loaded=\"0\"") +
                              xml_epilogue);
    EXPECT_EQ(xml_error(xml_report), "");
}

// The complete report writes the printed report alone but measures the other, so the size limit
// leaves out the same devices whichever report is printed: here the XML report, with its
// extensions' markup escaped, reaches the limit first.
TEST(Run, TheSizeLimitCutsBothFormsAlike) {
    const ProgramRun text = run_with_fake_loader({"-all"}, "many:16:1000");
    const ProgramRun xml = run_with_fake_loader({"-all", "-xml"}, "many:16:1000");
    const size_t devices = count_of(xml.out, "<vk_device ");
    EXPECT_GT(devices, 1u);
    EXPECT_LT(devices, 16u);
    EXPECT_EQ(count_of(text.out, "\n\n[ Device "), devices);
    EXPECT_EQ(count_of(text.out, "\n- Properties:"), devices);
    EXPECT_EQ(count_of(xml.out, "<device_details>"), devices);
    EXPECT_EQ(count_of(text.out, "reached its size limit"), 1u);
}

// A non-blocking standard output that is full is waited on, not cut at the pipe's 64 KiB.
TEST(Run, NonBlockingOutputIsWaitedOn) {
    const std::vector<std::string> env = {"LD_LIBRARY_PATH=" FAKE_LOADER_DIR,
                                          "FAKE_VULKAN_SCENARIO=many:64:0"};
    const ProgramRun blocking = run_program(BRISOL_EXE, {"-a", "-xml"}, env);
    const ProgramRun nonblocking = run_program(BRISOL_EXE, {"-a", "-xml"}, env, true);
    EXPECT_GT(blocking.out.size(), 4u * 65536);
    EXPECT_EQ(nonblocking.err, "");
    EXPECT_EQ(nonblocking.status, 0);
    EXPECT_EQ(nonblocking.out.size(), blocking.out.size());
    EXPECT_TRUE(nonblocking.out == blocking.out);
}

// 4096 devices with 4096 extensions of 255 bytes of markup each would make tens of gigabytes of
// reports: both are cut after a device, say so, and stay complete and valid in bounded memory.
TEST(Run, TheWholeReportIsBounded) {
    const std::string error =
        "the report reached its size limit: the remaining devices were left out";
    const struct {
        std::vector<std::string> options;
        std::string end;  // "" where the form ends in sections after the devices
    } forms[] = {
        {{"-a", "-xml"},
         "\n\t\t</vk_device>\n<error msg=\"" + error +
             "\" />\n\n\t</vk_devices>\n\n</vk_instance>" + xml_epilogue},
        {{"-a", "-txt"}, "nonCoherentAtomSize: 64\n [ERROR] " + error + "\n" + text_footer},
        {{"-all", "-xml"}, ""},
        {{"-json"}, ""},
    };
    for (const auto& form : forms) {
        const std::string label =
            form.options.back() + (form.options.size() > 1 ? " " : "") + form.options.front();
        const ProgramRun run = run_with_fake_loader(form.options, "many:4096:4096");
        EXPECT_EQ(run.status, 0) << label;
        EXPECT_EQ(run.err, "") << label;
        ASSERT_GT(run.out.size(), form.end.size()) << label;
        EXPECT_EQ(run.out.substr(run.out.size() - form.end.size()), form.end) << label;
        EXPECT_EQ(count_of(run.out, error), 1u) << label;
        EXPECT_LT(run.out.size(), 2 * most_report_bytes) << label;
#if !defined(__SANITIZE_ADDRESS__)
        // The sanitizers' shadow memory and quarantine are no part of what the program holds.
        EXPECT_LT(run.peak_kib, 256 * 1024) << label;
#endif
        if (form.options.back() == "-xml") {
            EXPECT_EQ(xml_error(run.out), "") << label;
        } else if (form.options.back() == "-json") {
            EXPECT_FALSE(nlohmann::json::parse(run.out, nullptr, false).is_discarded());
        }
    }
}

namespace {

// The descriptors above the standard three that are open on the same file as the given one.
std::set<int> descriptors_on(const struct stat& file) {
    std::set<int> found;
    for (int fd = 3; fd < 1024; ++fd) {
        struct stat other {};
        if (fstat(fd, &other) == 0 && other.st_dev == file.st_dev && other.st_ino == file.st_ino) {
            found.insert(fd);
        }
    }
    return found;
}

}  // namespace

// The real standard output, set aside while Vulkan code runs, is closed on exec: a program a
// driver or a layer starts must not inherit it, or a reader of the report would wait for that
// program to end too.
TEST(Run, TheKeptStandardOutputIsClosedOnExec) {
    struct stat output {};
    ASSERT_EQ(fstat(STDOUT_FILENO, &output), 0);
    const std::set<int> before = descriptors_on(output);
    ASSERT_TRUE(hold_standard_output());
    std::set<int> kept = descriptors_on(output);
    for (const int fd : before) {
        kept.erase(fd);
    }
    const int flags = kept.size() == 1 ? fcntl(*kept.begin(), F_GETFD) : -1;
    release_standard_output();
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_NE(flags & FD_CLOEXEC, 0);
}
