// libFuzzer target: one to three profile documents per input, separated by NUL bytes (which no
// JSON text holds), read as "-profile FILE" given once for each reads them and, when they are
// accepted, checked against the fake driver's sample device in process. It aborts, so
// that libFuzzer keeps the input, unless a refused document comes with a one-line reason and an
// accepted one gives a verdict in all three forms: text lines, an XML report valid against the
// report's schema, and a JSON document that parses.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "app/run.h"
#include "support.h"
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
    std::string file;
    std::string why;
    if (!parse_profile_documents(documents, file, why)) {
        if (why.empty() || why.find('\n') != std::string::npos) {
            fail("a refused document has no one-line reason", why);
        }
        return 0;
    }
    // The XML and JSON forms are built on every run; asking for each checks the choice too.
    check_verdict(size % 2 == 0 ? "-xml" : "-json");
    return 0;
}
