// libFuzzer target: each input is a Vulkan Profiles document that the replay driver
// (tests/replay) reads in process as BRISOL_REPLAY_DOCUMENT would name it, and Brisol then reports
// on, through the driver's own commands: "-all", "-all -xml" or "-json", chosen by the input's
// length. It aborts, so that libFuzzer keeps the input, unless a document the driver cannot read
// fails the instance's creation with VK_ERROR_INITIALIZATION_FAILED and one line, every line the
// driver says is a line, and the report is complete: the text report ends with its footer, the
// XML report is valid against the report's schema, the JSON document parses.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <nlohmann/json.hpp>

#include "app/run.h"
#include "replay/replay.h"
#include "support.h"
#include "views/json.h"
#include "vulkan/entry_points.h"

namespace {

[[noreturn]] void fail(const char* what, const std::string& output) {
    fprintf(stderr, "brisol_replay_fuzz: %s\n---- output ----\n%s\n---- end ----\n", what,
            output.c_str());
    abort();
}

size_t lines_said = 0;

void check_line(const std::string& line) {
    if (line.find('\n') != std::string::npos || line.rfind("brisol replay driver: ", 0) != 0) {
        fail("the driver said something that is not one line of its own", line);
    }
    ++lines_said;
}

// The loader of the runs: the entry points are the replay driver's own commands.
int replay_library;

ModuleHandle bind_replay_driver() {
#define BRISOL_BIND_REPLAY(name) vulkan.name = reinterpret_cast<PFN_##name>(replay_command(#name));
    BRISOL_VULKAN_ENTRY_POINTS(BRISOL_BIND_REPLAY)
#undef BRISOL_BIND_REPLAY
    return &replay_library;
}

void release_replay_driver(ModuleHandle) {}

const VulkanLoader replay_loader = {bind_replay_driver, release_replay_driver};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string document(reinterpret_cast<const char*>(data), size);
    replay_document_in_memory(&document);
    replay_lines_to(check_line);
    lines_said = 0;
    const char* const forms[][3] = {
        {"brisol", "-all", ""}, {"brisol", "-all", "-xml"}, {"brisol", "-json", ""}};
    const char* const* argv = forms[size % 3];
    reset_reports();
    const std::string printed = build_report(parse_options(3, argv), replay_loader);
    const bool refused =
        text_report.find(
            "Vulkan instance creation failed (code: "
            "VK_ERROR_INITIALIZATION_FAILED)") != std::string::npos ||
        printed.find("Vulkan instance creation failed (code: VK_ERROR_INITIALIZATION_FAILED)") !=
            std::string::npos;
    if (refused && lines_said != 1) {
        fail("a refused document does not come with one line", printed);
    }
    if (size % 3 == 2) {
        if (nlohmann::json::parse(printed, nullptr, false).is_discarded()) {
            fail("the JSON document does not parse", printed);
        }
        return 0;
    }
    const std::string error = xml_error(xml_report);
    if (!error.empty()) {
        fail(("the XML report is not valid: " + error).c_str(), xml_report);
    }
    if (size % 3 == 0 && (printed.size() < text_footer.size() ||
                          printed.compare(printed.size() - text_footer.size(), std::string::npos,
                                          text_footer) != 0)) {
        fail("the text report does not end with its footer", printed);
    }
    return 0;
}
