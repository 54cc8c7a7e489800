// The real binary against the real Vulkan loader and Mesa's CPU driver (lavapipe).
#include <gtest/gtest.h>

#include <unistd.h>

#include <fstream>
#include <iterator>
#include <string>
#include <utility>

#include "sections/limits.h"
#include "support.h"

namespace {

// The environment that asks the machine's own loader for the CPU driver only.
std::vector<std::string> on_lavapipe(std::vector<std::string> env) {
    env.push_back("VK_DRIVER_FILES=" LAVAPIPE_ICD);
    env.push_back("VK_ICD_FILENAMES=" LAVAPIPE_ICD);
    // Mesa leaves one allocation behind and is unloaded before a sanitizer's leak check, which
    // then cannot name or suppress it. Other sanitizer reports still fail the run, and the
    // program's own leaks are caught by the fake-driver runs.
    env.push_back("ASAN_OPTIONS=detect_leaks=0");
    return env;
}

ProgramRun run_on_lavapipe(const std::vector<std::string>& args,
                           std::vector<std::string> env = {}) {
    return run_program(BRISOL_EXE, args, on_lavapipe(std::move(env)));
}

std::string file_text(const std::string& path) {
    std::ifstream file(path);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

}  // namespace

TEST(Lavapipe, ReportsInEveryForm) {
    const struct {
        std::vector<std::string> args;
        bool xml, detailed, entry_points, header, complete = false;
    } forms[] = {
        {{}, false, false, false, true},
        {{"-a"}, false, true, false, true},
        {{"-f"}, false, false, true, true},
        {{"-a", "-f"}, false, true, true, true},
        {{"-noheaderfooter", "-a", "-f"}, false, true, true, false},
        {{"-xml"}, true, false, false, true},
        {{"-a", "-xml"}, true, true, false, true},
        {{"-f", "-xml"}, true, false, true, true},
        {{"-a", "-f", "-xml"}, true, true, true, true},
        {{"-all"}, false, true, false, true, true},
        {{"-all", "-f", "-xml"}, true, true, true, true, true},
    };
    for (const auto& form : forms) {
        const auto& args = form.args;
        const bool xml = form.xml;
        const bool detailed = form.detailed;
        const bool no_header = !form.header;
        const bool entry_points = form.entry_points;
        std::string label;
        for (const auto& arg : args) {
            label += arg + " ";
        }
        const ProgramRun run = run_on_lavapipe(args);
        EXPECT_EQ(run.status, 0) << label;
        EXPECT_EQ(run.err, "") << label;
        const std::string& out = run.out;
        if (xml) {
            EXPECT_EQ(xml_error(out), "") << label;
            EXPECT_EQ(
                out.rfind(xml_prolog + (entry_points ? "\n\n<vk_entry_points>" : "\n<vk_instance>"),
                          0),
                0u)
                << label;
            EXPECT_EQ(out.substr(out.size() - xml_epilogue.size()), xml_epilogue) << label;
            const size_t devices = count_of(out, "\n\n\t\t<vk_device name=\"llvmpipe");
            EXPECT_GE(devices, 1u) << label;
            EXPECT_EQ(count_of(out, "<vk_device "), devices) << label;
            EXPECT_NE(out.find("<vk_devices num_devices=\"" + std::to_string(devices) + "\" >"),
                      std::string::npos)
                << label;
            EXPECT_NE(out.find("vendor_id=\"65541\" device_id=\"0\""), std::string::npos);
            EXPECT_EQ(count_of(out, "<limit name="),
                      detailed ? devices * device_limit_row_count : 0)
                << label;
            EXPECT_EQ(count_of(out, "loaded=\"1\""), entry_points ? 8u : 0u) << label;
            EXPECT_EQ(count_of(out, "\n\t\t\t</device_details>"), form.complete ? devices : 0)
                << label;
        } else {
            EXPECT_EQ(out.rfind(no_header ? "\n" : text_header + "\n", 0), 0u) << label;
            const std::string end = no_header ? "\n\n" : "\n" + text_footer;
            EXPECT_EQ(out.substr(out.size() - end.size()), end) << label;
            EXPECT_NE(out.find("\nInstance extensions: "), std::string::npos) << label;
            const size_t devices = count_of(out, "- Device name: llvmpipe");
            EXPECT_GE(devices, 1u) << label;
            EXPECT_NE(out.find("\n- DeviceID: 10005-   0\n"), std::string::npos) << label;
            EXPECT_NE(out.find("\n- Device type: VK_PHYSICAL_DEVICE_TYPE_CPU\n"),
                      std::string::npos);
            EXPECT_EQ(count_of(out, "\n- Device limits:"), detailed ? devices : 0) << label;
            EXPECT_EQ(count_of(out, "\n\tmaxImageDimension1D: "), detailed ? devices : 0) << label;
            EXPECT_EQ(count_of(out, " loaded: YES") + count_of(out, " loaded:  YES"),
                      entry_points ? 8u : 0u)
                << label;
            EXPECT_EQ(count_of(out, "\n- Tools: "), form.complete ? devices : 0) << label;
        }
    }
}

TEST(Lavapipe, TheValidationLayerFindsNothing) {
    const std::vector<std::string> layer = {"VK_INSTANCE_LAYERS=VK_LAYER_KHRONOS_validation",
                                            "VK_LAYER_SETTINGS_PATH=/nonexistent"};
    // First make sure the layer is really there, so that silence below means something.
    std::vector<std::string> debug = layer;
    debug.push_back("VK_LOADER_DEBUG=layer");
    const ProgramRun loaded = run_on_lavapipe({"-a"}, debug);
    EXPECT_NE(loaded.err.find("Insert instance layer \"VK_LAYER_KHRONOS_validation\""),
              std::string::npos)
        << loaded.err;

    // The complete report builds every chain the device offers; the layer checks each of them.
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"-a", "-f", "-xml"}, std::vector<std::string>{"-all", "-xml"}}) {
        const ProgramRun run = run_on_lavapipe(args, layer);
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.err, "");
        // The complete report lists the layer itself, by its description.
        EXPECT_EQ(count_of(run.out, "Validation") - count_of(run.out, "Khronos Validation Layer"),
                  0u)
            << run.out;
        EXPECT_EQ(count_of(run.out, "VUID"), 0u);
        EXPECT_EQ(xml_error(run.out), "");
    }
}

// The real loader on a machine without any driver: instance creation fails, and both reports
// say so and are complete.
TEST(RealLoader, WithoutAnyDriver) {
    const std::vector<std::string> env = {"VK_DRIVER_FILES=/nonexistent/icd.json",
                                          "VK_ICD_FILENAMES=/nonexistent/icd.json"};
    const std::string error =
        "Vulkan instance creation failed (code: VK_ERROR_INCOMPATIBLE_DRIVER)";
    ProgramRun run = run_program(BRISOL_EXE, {"-a"}, env);
    EXPECT_EQ(run.out, text_header + "\n [ERROR] " + error + text_footer);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "");
    run = run_program(BRISOL_EXE, {"-a", "-xml"}, env);
    EXPECT_EQ(run.out, xml_prolog + "\n<error msg=\"" + error + "\" />" + xml_epilogue);
    EXPECT_EQ(xml_error(run.out), "");
}

// What the validation layer prints goes to standard error and the report to standard output
// only: with report_flags the layer prints a status line (to descriptor 1 unless brisol keeps it);
// with standard output closed, the log file the layer opens would be given descriptor 1.
TEST(Lavapipe, TheReportOwnsStandardOutput) {
    char made[] = "/tmp/brisol-layer-XXXXXX";
    ASSERT_NE(mkdtemp(made), nullptr);
    const std::string folder = made;
    const std::string settings = folder + "/vk_layer_settings.txt";
    const std::string log = folder + "/layer.log";
    const std::string status_line = "Khronos Validation Layer Active";
    const struct {
        const char* what;
        std::string settings;
        const char* shell;
        int status;
        bool logged;  // the status line went to the log file rather than to standard error
    } cases[] = {
        {"status line", "", "exec \"$0\" -a -xml", 0, false},
        {"closed output, log file", "khronos_validation.log_filename = " + log + "\n",
         "exec \"$0\" -a -xml >&-", 1, true},
    };
    for (const auto& c : cases) {
        std::ofstream(settings) << "khronos_validation.report_flags = info,warn,error\n"
                                << c.settings;
        const ProgramRun run =
            run_program("/bin/sh", {"-c", c.shell, BRISOL_EXE},
                        on_lavapipe({"VK_INSTANCE_LAYERS=VK_LAYER_KHRONOS_validation",
                                     "VK_LAYER_SETTINGS_PATH=" + folder}));
        const std::string logged = file_text(log);
        EXPECT_EQ(run.status, c.status) << c.what;
        EXPECT_EQ(count_of(c.logged ? logged : run.err, status_line), 1u) << c.what << run.err;
        EXPECT_EQ(count_of(logged, "<brisol>"), 0u) << c.what;
        if (c.status == 0) {
            EXPECT_EQ(xml_error(run.out), "") << c.what;
            EXPECT_EQ(run.out.rfind(xml_prolog, 0), 0u) << c.what;
        } else {
            EXPECT_EQ(run.err,
                      "brisol: the report could not be written to standard output: Bad file "
                      "descriptor\n")
                << c.what;
        }
        unlink(log.c_str());
    }
    unlink(settings.c_str());
    rmdir(folder.c_str());
}

// The complete report's further parts on lavapipe, in each environment that changes them: no
// display (one line says why there is no surface, and nothing goes to standard error), an X
// server (xvfb-run) with an XCB and an Xlib surface of a 1x1 window, displays that cannot be
// reached, and the validation layer, which adds its device extensions and answers for the tools
// through VK_EXT_tooling_info's command only. Lavapipe's time domains and memory types are the
// same everywhere.
TEST(Lavapipe, FurtherParts) {
    const std::string xvfb_run = "/usr/bin/xvfb-run";
    const std::vector<std::string> no_display = {"DISPLAY=", "WAYLAND_DISPLAY="};
    const std::string validation = "VK_INSTANCE_LAYERS=VK_LAYER_KHRONOS_validation";
    const struct {
        const char* what;
        bool under_xvfb;
        std::vector<std::string> env, text, absent;
    } cases[] = {
        {"no display",
         false,
         no_display,
         {"\nSurfaces: none; not reachable: VK_KHR_xcb_surface (DISPLAY is not set), "
          "VK_KHR_xlib_surface (DISPLAY is not set), VK_KHR_wayland_surface (WAYLAND_DISPLAY is "
          "not set)\n",
          "\n- Tools: 0\n- Layer device extensions: "},
         {"\n- Surfaces:"}},
        {"an X server",
         true,
         {"WAYLAND_DISPLAY="},
         {"\nSurfaces: VK_KHR_xcb_surface, VK_KHR_xlib_surface; not reachable: "
          "VK_KHR_wayland_surface (WAYLAND_DISPLAY is not set)\n",
          "\n- Surfaces: 2\n\tVK_KHR_xcb_surface:\n\t\tPresent support: family 0: 1\n\t\t"
          "VkSurfaceCapabilitiesKHR:\n",
          "\n\t\t\tcurrentExtent:\n\t\t\t\twidth: 1\n\t\t\t\theight: 1\n",
          "\n\tVK_KHR_xlib_surface:\n\t\tPresent support: family 0: 1\n",
          "\n\t\tVkSurfaceProtectedCapabilitiesKHR:\n\t\t\tsupportsProtected: 0\n\t\tFormats: 2\n",
          "\n\t\tPresent rectangles: 1\n"},
         {}},
        {"displays that cannot be reached",
         false,
         {"DISPLAY=:977", "WAYLAND_DISPLAY=brisol-no-compositor", "XDG_RUNTIME_DIR=/tmp"},
         {"\nSurfaces: none; not reachable: VK_KHR_xcb_surface (the display DISPLAY names cannot "
          "be reached), VK_KHR_xlib_surface (the display DISPLAY names cannot be reached), "
          "VK_KHR_wayland_surface (the compositor WAYLAND_DISPLAY names cannot be reached)\n"},
         {"\n- Surfaces:"}},
        {"the validation layer",
         false,
         {"DISPLAY=", "WAYLAND_DISPLAY=", validation, "VK_LAYER_SETTINGS_PATH=/nonexistent"},
         {"\n- Tools: 1\n\tVkPhysicalDeviceToolProperties:\n\t\tname: Khronos Validation Layer\n",
          // In the layer's order, which differs once it is enabled.
          "\n\tVK_LAYER_KHRONOS_validation: 3\n", "/ VK_EXT_debug_marker (spec version: 4)\n",
          "/ VK_EXT_tooling_info (spec version: 1)\n"},
         {}},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = {BRISOL_EXE, "-all"};
        if (c.under_xvfb) {
            // From server 140 up, apart from the vulkaninfo comparison's, which may run at the
            // same time: two xvfb-run -a from one number may pick the same server.
            args.insert(args.begin(), {"-a", "-n", "140"});
        }
        const ProgramRun run = c.under_xvfb ? run_program(xvfb_run, args, on_lavapipe(c.env))
                                            : run_program(BRISOL_EXE, {"-all"}, on_lavapipe(c.env));
        EXPECT_EQ(run.status, 0) << c.what;
        EXPECT_EQ(run.err, "") << c.what;
        for (const std::string& piece : c.text) {
            EXPECT_NE(run.out.find(piece), std::string::npos) << c.what << ": " << piece;
        }
        for (const std::string& piece : c.absent) {
            EXPECT_EQ(run.out.find(piece), std::string::npos) << c.what << ": " << piece;
        }
        EXPECT_NE(run.out.find("\n- Time domains: 2\n\tVK_TIME_DOMAIN_DEVICE_EXT\n\t"
                               "VK_TIME_DOMAIN_CLOCK_MONOTONIC_EXT\n"),
                  std::string::npos)
            << c.what;
        EXPECT_NE(run.out.find("\n\t\tVK_IMAGE_TILING_LINEAR: VK_FORMAT_R8G8B8A8_UNORM\n"),
                  std::string::npos)
            << c.what;
        // The XML report of the same run validates.
        args.push_back("-xml");
        const ProgramRun xml = c.under_xvfb
                                   ? run_program(xvfb_run, args, on_lavapipe(c.env))
                                   : run_program(BRISOL_EXE, {"-all", "-xml"}, on_lavapipe(c.env));
        EXPECT_EQ(xml_error(xml.out), "") << c.what;
        EXPECT_EQ(count_of(xml.out, "VUID"), 0u) << c.what;
    }
}

// A Wayland surface, from Weston's headless compositor on a socket of its own: Brisol opens
// libwayland-client at run time, binds the compositor and makes a surface of it.
TEST(Lavapipe, WaylandSurface) {
    const std::string script =
        "dir=$(mktemp -d); export XDG_RUNTIME_DIR=$dir WAYLAND_DISPLAY=brisol-test DISPLAY=; "
        "weston --backend=headless-backend.so --socket=brisol-test --idle-time=0 "
        ">/dev/null 2>&1 & pid=$!; i=0; "
        "while [ ! -S \"$XDG_RUNTIME_DIR/brisol-test\" ] && [ $i -lt 200 ]; do "
        "sleep 0.05; i=$((i+1)); done; "
        "\"$0\" -all; status=$?; kill $pid; wait $pid; rm -rf \"$dir\"; exit $status";
    ASSERT_EQ(access("/usr/bin/weston", X_OK), 0) << "install weston";
    const ProgramRun run = run_program("/bin/sh", {"-c", script, BRISOL_EXE}, on_lavapipe({}));
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "");
    for (const std::string& piece :
         {"\nSurfaces: VK_KHR_wayland_surface; not reachable: VK_KHR_xcb_surface (DISPLAY is not "
          "set), VK_KHR_xlib_surface (DISPLAY is not set)\n",
          "\n- Surfaces: 1\n\tVK_KHR_wayland_surface:\n\t\tPresent support: family 0: 1\n\t\t"
          "VkSurfaceCapabilitiesKHR:\n",
          "\n\t\tPresent modes: "}) {
        EXPECT_NE(run.out.find(piece), std::string::npos) << piece << run.out.substr(0, 4000);
    }
}
