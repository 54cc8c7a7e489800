// libFuzzer target: one to three profile documents per input, separated by NUL bytes (which no
// JSON text holds), read in two modes, each in process against the fake driver's sample device.
// As "-profile FILE" given once for each reads them: when they are accepted, checked against the
// device. As "-diff A [B]" reads them: the first compared with the second or, alone, with the
// device. It aborts, so that libFuzzer keeps the input, unless a refused document comes with a
// one-line reason and an accepted one gives a verdict or a comparison in the forms asked for:
// text lines, an XML report valid against the report's schema, and a JSON document that parses.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "app/run.h"
#include "support.h"
#include "views/diff.h"
#include "views/profile.h"

namespace {

[[noreturn]] void fail(const char* what, const std::string& output) {
    fprintf(stderr, "brisol_profile_fuzz: %s\n---- output ----\n%s\n---- end ----\n", what,
            output.c_str());
    abort();
}

void check_verdict(const char* format) {
    const char* const argv[] = {"brisol", "-profile", "fuzzed.json", format};
    const RunOptions options = parse_options(4, argv);
    reset_reports();
    const ReportStream& printed = build_report(options, fake_vulkan_loader);
    if (&printed != (options.format == OutputFormat::Xml    ? &xml_report
                     : options.format == OutputFormat::Json ? &profile_json_report
                                                            : &text_report)) {
        fail("the run returned another stream than the format asks", printed);
    }
    if (text_report.rfind("Profile ", 0) != 0 || text_report.back() != '\n') {
        fail("the text verdict does not start with a profile or end a line", text_report);
    }
    const std::string error = xml_error(xml_report);
    if (!error.empty()) {
        fail(("the XML verdict is not valid: " + error).c_str(), xml_report);
    }
    if (nlohmann::json::parse(profile_json_report, nullptr, false).is_discarded()) {
        fail("the JSON verdict does not parse", profile_json_report);
    }
}

void check_refusal(const std::string& why) {
    if (why.empty() || why.find('\n') != std::string::npos) {
        fail("a refused document has no one-line reason", why);
    }
}

// The comparison in text and in one other form, each built as the run builds it.
void check_diff(const std::vector<std::string>& documents, const char* format) {
    std::string file;
    std::string why;
    const std::string* b = documents.size() > 1 ? &documents[1] : nullptr;
    if (!parse_diff_documents(documents[0], b, file, why)) {
        check_refusal(why);
        return;
    }
    for (const char* form : {"-txt", format}) {
        const char* const argv[] = {"brisol", "-diff", "a.json", form};
        const RunOptions options = parse_options(4, argv);
        reset_reports();
        const ReportStream& printed = build_report(options, fake_vulkan_loader);
        if (options.format == OutputFormat::Text &&
            (&printed != &text_report || printed.rfind("A: ", 0) != 0 || printed.back() != '\n')) {
            fail("the text comparison does not start with its sides or end a line", printed);
        }
        if (options.format == OutputFormat::Xml) {
            const std::string error = xml_error(printed);
            if (&printed != &xml_report || !error.empty()) {
                fail(("the XML comparison is not valid: " + error).c_str(), printed);
            }
        }
        if (options.format == OutputFormat::Json &&
            (&printed != &diff_json_report ||
             nlohmann::json::parse(printed, nullptr, false).is_discarded())) {
            fail("the JSON comparison does not parse", printed);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> documents;
    for (size_t at = 0; documents.size() < 3;) {
        const size_t end = documents.size() < 2 ? input.find('\0', at) : std::string::npos;
        documents.push_back(input.substr(at, end == std::string::npos ? end : end - at));
        if (end == std::string::npos) {
            break;
        }
        at = end + 1;
    }
    check_diff(documents, size % 2 == 0 ? "-json" : "-xml");
    std::string file;
    std::string why;
    if (!parse_profile_documents(documents, file, why)) {
        check_refusal(why);
        return 0;
    }
    // The XML and JSON forms are built on every run; asking for each checks the choice too.
    check_verdict(size % 2 == 0 ? "-xml" : "-json");
    return 0;
}
