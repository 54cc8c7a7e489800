#include "app/run.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "app/banners.h"
#include "app/output.h"
#include "sections/devices.h"
#include "sections/extensions.h"
#include "views/complete.h"
#include "views/diff.h"
#include "views/json.h"
#include "views/labels.h"
#include "views/metrics.h"
#include "views/node.h"
#include "views/profile.h"
#include "vulkan/commands.h"
#include "vulkan/entry_points.h"
#include "vulkan/instance.h"

RunOptions parse_options(int argc, const char* const* argv) {
    RunOptions options;
    for (int i = 1; i < argc; ++i) {
        // The file name of "-profile=FILE" is the user's, whatever it holds: only what comes
        // before it is searched for options.
        std::string before;
        const char* argument = argv[i];
        const char* profile = strstr(argument, "-profile");
        const char* diff = strstr(argument, "-diff");
        // Of the two, the first in the argument takes the file names: the other stands in them.
        if (profile != nullptr && diff != nullptr && profile < diff) {
            diff = nullptr;
        } else if (profile != nullptr && diff != nullptr) {
            profile = nullptr;
        }
        if (profile != nullptr && profile[8] == '=') {
            options.profile_paths.push_back(profile + 9);
            before.assign(argument, static_cast<size_t>(profile - argument));
            argument = before.c_str();
        } else if (profile != nullptr) {
            // The file name that follows is the user's, whatever it holds.
            options.profile_paths.push_back(i + 1 < argc ? argv[++i] : "");
        }
        if (diff != nullptr) {
            options.diff = true;
            if (diff[5] == '=') {
                options.diff_a = diff + 6;
                before.assign(argument, static_cast<size_t>(diff - argument));
                argument = before.c_str();
            } else {
                options.diff_a = i + 1 < argc ? argv[++i] : "";
            }
            options.diff_b = i + 1 < argc && argv[i + 1][0] != '-' ? argv[++i] : nullptr;
        }
        if (strstr(argument, "-a") != nullptr) {
            options.detailed = true;
        }
        // "-all" holds "-a", so the complete report has the limits too.
        if (strstr(argument, "-all") != nullptr) {
            options.complete = true;
        }
        if (strstr(argument, "-txt") != nullptr) {
            options.format = OutputFormat::Text;
        }
        // Searched after "-txt", so an argument holding both selects XML; then "-json", "-labels"
        // and "-metrics".
        if (strstr(argument, "-xml") != nullptr) {
            options.format = OutputFormat::Xml;
        }
        if (strstr(argument, "-json") != nullptr) {
            options.format = OutputFormat::Json;
        }
        if (strstr(argument, "-labels") != nullptr) {
            options.format = OutputFormat::Labels;
        }
        if (strstr(argument, "-metrics") != nullptr) {
            options.format = OutputFormat::Metrics;
        }
        if (strstr(argument, "-f") != nullptr) {
            options.show_entry_points = true;
        }
        if (strstr(argument, "-noheaderfooter") != nullptr) {
            options.header_footer = false;
        }
        if (strstr(argument, "-h") != nullptr || strstr(argument, "-?") != nullptr) {
            options.show_help = true;
        }
        if (strstr(argument, "-version") != nullptr) {
            options.show_version = true;
        }
    }
    return options;
}

namespace {

// Everything between the envelopes: the loader, the instance and the sections, each of which
// writes its own failures into the reports and lets the run go on. The complete report asks for
// a newer instance, and adds its sections to the instance's and to each device's.
void report_vulkan(const RunOptions& options, const VulkanLoader& loader) {
    const ModuleHandle handle = loader.bind();
    if (handle != nullptr && options.show_entry_points) {
        report_entry_points();
    }
    InstanceSetup setup;
    const VkInstance instance =
        options.complete ? create_complete_instance(setup, true) : create_vulkan_instance();
    if (instance != VK_NULL_HANDLE) {
        append_xml("\n<vk_instance>");
    }
    report_instance_extensions(instance);
    DeviceAppendix appendix{};
    InstanceFacts facts;
    if (options.complete && instance != VK_NULL_HANDLE) {
        bind_vulkan_commands(instance, setup);
        query_instance(instance, setup, facts);
        report_complete_instance(facts);
        appendix = {report_complete_device, &facts};
    }
    report_physical_devices(instance, options.detailed, appendix);
    if (appendix.write != nullptr) {
        report_complete_groups(facts);
        release_instance_facts(instance, facts);
    }
    release_vulkan_commands();
    if (instance != VK_NULL_HANDLE) {
        append_xml("\n</vk_instance>");
        destroy_vulkan_instance(instance);
    }
    loader.release(handle);
}

// "-profile": the instance of the complete report, and the verdict in place of the sections.
// Whether every profile was met by some device, for the exit status.
bool profile_supported = false;

void report_profile(const VulkanLoader& loader) {
    const ModuleHandle handle = loader.bind();
    InstanceSetup setup;
    const VkInstance instance = create_complete_instance(setup);
    // The devices are queried with the version the instance was made with; the layers and
    // groups of the instance play no part in a profile.
    InstanceFacts facts;
    facts.setup = setup;
    if (instance != VK_NULL_HANDLE) {
        bind_vulkan_commands(instance, setup);
    }
    profile_supported = report_profile_verdict(instance, facts);
    release_vulkan_commands();
    destroy_vulkan_instance(instance);
    loader.release(handle);
}

// "-diff": whether anything differs, for the exit status.
bool diff_found = false;

// Reads the files given with "-diff"; false, with one line on standard error, as load_profiles.
bool load_diff(const RunOptions& options) {
    if (*options.diff_a == '\0') {
        fprintf(stderr, "brisol: -diff: no file name given\n");
        return false;
    }
    std::string file;
    std::string why;
    if (!load_diff_documents(options.diff_a, options.diff_b, file, why)) {
        fprintf(stderr, "brisol: %s: %s\n", file.c_str(), why.c_str());
        return false;
    }
    return true;
}

// Reads every file given with "-profile"; false, with one line on standard error naming the
// file and why, when one cannot be read or is not a profiles document.
bool load_profiles(const std::vector<const char*>& paths) {
    for (const char* path : paths) {
        if (*path == '\0') {
            fprintf(stderr, "brisol: -profile: no file name given\n");
            return false;
        }
    }
    std::string file;
    std::string why;
    if (!load_profile_documents(paths, file, why)) {
        fprintf(stderr, "brisol: %s: %s\n", file.c_str(), why.c_str());
        return false;
    }
    return true;
}

}  // namespace

const ReportStream& build_report(const RunOptions& options, const VulkanLoader& loader) {
    if (options.show_help) {
        write_help_screen();
        return text_report;
    }
    if (options.show_version) {
        write_version_line();
        return text_report;
    }
    // The fleet views stand alone, and always make a whole file: a node that lost its driver
    // says so in its labels and metrics. With "-profile", one label or metric per profile says
    // whether some device meets it.
    if (options.format == OutputFormat::Labels || options.format == OutputFormat::Metrics) {
        const bool with_profiles = !options.profile_paths.empty();
        NodeFacts facts;
        read_node_facts(loader, facts, with_profiles);
        const std::vector<ProfileSupport> none;
        const std::vector<ProfileSupport>& profiles = with_profiles ? profile_supports() : none;
        if (options.format == OutputFormat::Labels) {
            write_labels(facts, profiles);
            return labels_report;
        }
        write_metrics(facts, profiles);
        return metrics_report;
    }
    // The comparison stands alone, in the form asked for: text, XML or JSON.
    if (options.diff) {
        const DiffForm form = options.format == OutputFormat::Xml    ? DiffForm::Xml
                              : options.format == OutputFormat::Json ? DiffForm::Json
                                                                     : DiffForm::Text;
        write_xml_prolog();
        diff_found = report_diff(loader, form);
        write_xml_epilogue();
        return form == DiffForm::Xml    ? xml_report
               : form == DiffForm::Json ? diff_json_report
                                        : text_report;
    }
    if (!options.profile_paths.empty()) {
        write_xml_prolog();
        report_profile(loader);
        write_xml_epilogue();
        return options.format == OutputFormat::Xml    ? xml_report
               : options.format == OutputFormat::Json ? profile_json_report
                                                      : text_report;
    }
    // The document stands alone: no banner, and the same whatever else is asked for.
    if (options.format == OutputFormat::Json) {
        write_json_document(loader);
        return json_report;
    }
    // The complete report's sections go into the printed report alone. Its room is made now,
    // before the loader and the layers fill the heap: made later, the megabyte moved the
    // loader's own large allocations and changed what they cost by some two million
    // instructions, which no measure of Brisol should hang on.
    written_reports = {options.format != OutputFormat::Xml, options.format == OutputFormat::Xml, 0,
                       0};
    if (options.complete) {
        (options.format == OutputFormat::Xml ? xml_report : text_report).reserve(size_t{1} << 20);
    }
    if (options.header_footer) {
        write_text_header();
    }
    write_xml_prolog();
    report_vulkan(options, loader);
    write_xml_epilogue();
    if (options.format == OutputFormat::Xml) {
        return xml_report;
    }
    if (options.header_footer) {
        write_text_footer();
    } else {
        append_text("\n");
    }
    return text_report;
}

int run_brisol(int argc, const char* const* argv) {
    const RunOptions options = parse_options(argc, argv);
    // A profile or a document to compare that cannot be read ends the run before Vulkan is
    // touched.
    const bool asked = !options.show_help && !options.show_version;
    const bool diffing = options.diff && asked;
    const bool checking = !options.profile_paths.empty() && asked && !diffing;
    if ((diffing && !load_diff(options)) || (checking && !load_profiles(options.profile_paths))) {
        return 2;
    }
    // A closed standard output still gets its report built, with descriptor 1 held by standard
    // error, so that the run and its failure are the same whatever drivers and layers do.
    const bool held = hold_standard_output();
    int error = errno;
    const ReportStream& report = build_report(options);
    const bool written = held && write_standard_output(report.data(), report.size());
    if (held) {
        error = errno;
    }
    release_standard_output();
    if (!written) {
        fprintf(stderr, "brisol: the report could not be written to standard output: %s\n",
                error != 0 ? strerror(error) : "write error");
        return 1;
    }
    if (diffing) {
        return diff_found ? 1 : 0;
    }
    // The fleet views print a whole file whatever the verdict: a node's labels say which
    // profiles it meets, and an unmet one is no failure of the run.
    const bool fleet =
        options.format == OutputFormat::Labels || options.format == OutputFormat::Metrics;
    return checking && !fleet && !profile_supported ? 1 : 0;
}
