// The command line and the run sequence.
#pragma once

#include <vector>

#include "report/report.h"
#include "vulkan/entry_points.h"

// "-txt", "-xml", "-json", "-labels", "-metrics".
enum class OutputFormat { Text = 1, Xml = 2, Json = 3, Labels = 4, Metrics = 5 };

struct RunOptions {
    bool detailed = false;                     // "-a": device limits
    bool complete = false;                     // "-all": everything a device tells
    OutputFormat format = OutputFormat::Text;  // the last format option given wins
    bool show_entry_points = false;            // "-f"
    bool header_footer = true;                 // "-noheaderfooter" clears it
    bool show_help = false;                    // "-h", "-?"
    bool show_version = false;                 // "-version"; the help screen wins over it
    // "-profile FILE", "-profile=FILE", "--profile=FILE", any number of times: each file in the
    // order given. The file name is not searched for options; it is "" when "-profile" is the
    // last argument or nothing follows the "=".
    std::vector<const char*> profile_paths;
    // "-diff A [B]", "-diff=A [B]", "--diff=A [B]": the two sides to compare, B null for this
    // machine. Neither name is searched for options; the name after A is B only when it does not
    // begin with '-'. A is "" when nothing follows. Given again, the last one counts.
    bool diff = false;
    const char* diff_a = nullptr;
    const char* diff_b = nullptr;
};

// Options are recognised anywhere inside an argument, case-sensitively. The program's own path
// (argv[0]) is not searched, so where the program is installed never changes what it prints.
// Never fails: unknown arguments are ignored.
RunOptions parse_options(int argc, const char* const* argv);

// Builds both reports, or the help screen or the version line, in memory and returns the stream
// to print. The loader is the system's unless another is given: tests, fuzzing and benchmarks
// bind fakes through it.
const ReportStream& build_report(const RunOptions& options,
                                 const VulkanLoader& loader = system_vulkan_loader);

// Runs the whole program: parse, build, print. Returns the process exit status: 0, or 1 when
// the report could not be written to standard output (one line on standard error says why).
// With "-profile", 1 also when a profile is met by no device; with "-diff", as diff(1) has it, 1
// also when something differs. Both give 2, with one line on standard error and nothing printed,
// when a file cannot be read or is not a profiles document.
int run_brisol(int argc, const char* const* argv);
