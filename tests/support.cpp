#include "support.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <libxml/parser.h>
#include <libxml/xmlschemas.h>
#include <libxml/xmlstring.h>

#include <cstdlib>
#include <cstring>
#include <set>

#include "fake/fake_driver.h"
#include "fake/fake_entry_points.h"
#include "query/facts.h"
#include "registry/walk.h"
#include "vulkan/entry_points.h"

extern char** environ;

const std::string text_header =
    "==========================================================\n"
    "Brisol 0.3.0\n"
    "==========================================================\n"
    "Vulkan capabilities and extensions viewer\n"
    "Copyright (C) 2026 The Brisol developers - https://brisol.example.org/\n";

const std::string text_footer =
    "\n---\n"
    "Contact: brisol@example.org\n"
    "More news about Vulkan:\n"
    "https://brisol.example.org/vulkan/\n\n";

const std::string help_screen =
    "\n==========================================================\n"
    "Brisol 0.3.0\n"
    "==========================================================\n"
    "Vulkan capabilities and extensions viewer\n"
    "Copyright (C) 2026 The Brisol developers - https://brisol.example.org/\n"
    "\n"
    "Syntax: brisol [-option]\n"
    "  -a: detailed information (device limits)\n"
    "  -txt: outputs the report in text format (default)\n"
    "  -xml: outputs the report in xml format\n"
    "  -f: displays Vulkan entrypoints required by Brisol (API functions)\n"
    "  -h: this help\n"
    "  -noheaderfooter: does not output header and footer in text format\n"
    "  -version: prints the version and exits\n"
    "  -all: complete information (everything a device tells through Vulkan 1.3)\n"
    "  -json: outputs the devices as a Vulkan Profiles JSON document\n"
    "  -profile FILE: checks whether the devices meet the Vulkan profiles in FILE\n"
    "  -labels: outputs node labels for Kubernetes Node Feature Discovery\n"
    "  -metrics: outputs metrics in the Prometheus text format\n"
    "  -diff A [B]: what differs between the devices in A and in B (or this machine)\n"
    "\n"
    "---\n"
    "Contact: brisol@example.org\n"
    "More news about Vulkan:\n"
    "https://brisol.example.org/vulkan/\n\n";

const std::string xml_prolog =
    "<?xml version=\"1.0\" encoding=\"ISO-8859-1\" standalone=\"yes\"?>\n"
    "<!--\n"
    "Brisol 0.3.0\n"
    "Vulkan capabilities and extensions viewer\n"
    "Copyright (C) 2026 The Brisol developers, https://brisol.example.org/\n"
    "-->\n"
    "\n"
    "<brisol>";

const std::string xml_epilogue =
    "\n</brisol>\n"
    "<!--\n"
    "Contact: brisol@example.org\n"
    "More news about Vulkan:\n"
    "https://brisol.example.org/vulkan/\n"
    "-->\n";

std::string sample_devices_text(const std::string& limits) {
    return "\n\n# Vulkan devices: 1"
           "\n\n[ Device 1 ]--------------------------------------"
           "\n- Device name: Sample Discrete GPU"
           "\n- DeviceID: 10DE-1B80"
           "\n- Raw driver version: 1627602944"
           "\n- NVIDIA driver version: R388.x"
           "\n- Vulkan API version: 1.0.61"
           "\n- Device type: VK_PHYSICAL_DEVICE_TYPE_DISCRETE_GPU"
           "\n- Memory heap count: 2"
           "\n\theap 0 - size: 8192 MB"
           "\n\theap 1 - size: 16328 MB"
           "\n- Device extensions: 1"
           "\n\t1/ VK_KHR_swapchain (spec version: 68)" +
           limits + "\n";
}

std::string sample_devices_xml(const std::string& limits) {
    return "\n\n\t<vk_devices num_devices=\"1\" >"
           "\n\n\t\t<vk_device name=\"Sample Discrete GPU\" vendor_id=\"4318\" "
           "device_id=\"7040\" driver_version=\"1627602944\" nvidia_driver_version_major=\"388\" "
           "api_ver_major=\"1\" api_ver_minor=\"0\" api_ver_patch=\"61\""
           "\n\t\t\t\tdevice_type=\"VK_PHYSICAL_DEVICE_TYPE_DISCRETE_GPU\" >"
           "\n\t\t\t<vk_memory heap_count=\"2\" >"
           "\n\t\t\t\t<memory_heap index=\"0\" size=\"8192\" />"
           "\n\t\t\t\t<memory_heap index=\"1\" size=\"16328\" />"
           "\n\t\t\t</vk_memory>"
           "\n\t\t\t<vk_extensions num_extensions=\"1\" >"
           "\n\t\t\t\t<vk_extension name=\"VK_KHR_swapchain\" spec_version=\"68\" />"
           "\n\t\t\t</vk_extensions>" +
           limits +
           "\n\t\t</vk_device>"
           "\n\n\t</vk_devices>"
           "\n";
}

namespace {

void read_both(int out_fd, int err_fd, ProgramRun& run) {
    pollfd fds[2] = {{out_fd, POLLIN, 0}, {err_fd, POLLIN, 0}};
    std::string* sinks[2] = {&run.out, &run.err};
    int open_count = 2;
    while (open_count > 0) {
        if (poll(fds, 2, -1) < 0) {
            break;
        }
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || fds[i].revents == 0) {
                continue;
            }
            char buffer[65536];
            const ssize_t got = read(fds[i].fd, buffer, sizeof buffer);
            if (got > 0) {
                sinks[i]->append(buffer, static_cast<size_t>(got));
            } else {
                close(fds[i].fd);
                fds[i].fd = -1;
                --open_count;
            }
        }
    }
}

}  // namespace

ProgramRun run_program(const std::string& path, const std::vector<std::string>& args,
                       const std::vector<std::string>& environment, bool nonblocking_output) {
    // An entry given replaces the inherited one: a shell keeps the last of two, getenv the first.
    std::vector<std::string> env_strings(environment);
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string inherited = *entry;
        const std::string name = inherited.substr(0, inherited.find('=') + 1);
        bool replaced = false;
        for (const std::string& given : environment) {
            replaced = replaced || given.rfind(name, 0) == 0;
        }
        if (!replaced) {
            env_strings.push_back(inherited);
        }
    }
    std::vector<char*> env;
    for (std::string& entry : env_strings) {
        env.push_back(entry.data());
    }
    env.push_back(nullptr);
    std::vector<std::string> arg_strings{path};
    arg_strings.insert(arg_strings.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& arg : arg_strings) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);

    int out_pipe[2];
    int err_pipe[2];
    ProgramRun run;
    if (pipe(out_pipe) != 0 || pipe(err_pipe) != 0) {
        return run;
    }
    const pid_t pid = fork();
    if (pid == 0) {
        if (nonblocking_output) {
            fcntl(out_pipe[1], F_SETFL, O_NONBLOCK);
        }
        dup2(out_pipe[1], 1);
        dup2(err_pipe[1], 2);
        close(out_pipe[0]);
        close(err_pipe[0]);
        execve(path.c_str(), argv.data(), env.data());
        _exit(127);
    }
    close(out_pipe[1]);
    close(err_pipe[1]);
    if (nonblocking_output) {
        usleep(200000);
    }
    read_both(out_pipe[0], err_pipe[0], run);
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    run.peak_kib = usage.ru_maxrss;
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return run;
}

ProgramRun run_with_fake_loader(const std::vector<std::string>& args, const std::string& scenario) {
    return run_program(BRISOL_EXE, args,
                       {"LD_LIBRARY_PATH=" FAKE_LOADER_DIR, "FAKE_VULKAN_SCENARIO=" + scenario});
}

namespace {

// Parsing the schema costs more than validating a report with it, so it is read once.
xmlSchemaValidCtxtPtr report_schema_validator() {
    static xmlSchemaValidCtxtPtr validator = [] {
        xmlSchemaParserCtxtPtr parser = xmlSchemaNewParserCtxt(BRISOL_REPORT_SCHEMA);
        xmlSchemaPtr schema = parser != nullptr ? xmlSchemaParse(parser) : nullptr;
        xmlSchemaFreeParserCtxt(parser);
        return schema != nullptr ? xmlSchemaNewValidCtxt(schema) : nullptr;
    }();
    return validator;
}

void keep_first_error(void* sink, xmlErrorPtr error) {
    std::string& first = *static_cast<std::string*>(sink);
    if (!first.empty() || error == nullptr) {
        return;
    }
    first = "line " + std::to_string(error->line) + ": " +
            (error->message != nullptr ? error->message : "not valid");
    while (!first.empty() && first.back() == '\n') {
        first.pop_back();
    }
}

}  // namespace

std::string xml_error(const std::string& document) {
    xmlResetLastError();
    // XML_PARSE_HUGE: in memory, libxml2 stops at 10 MB of input it has not let go of ("Huge input
    // lookup"), which a verdict of 16 MiB with long attribute values reaches; the same document
    // read from a file parses.
    xmlDocPtr doc =
        xmlReadMemory(document.data(), static_cast<int>(document.size()), "report.xml", nullptr,
                      XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_HUGE);
    std::string error;
    if (doc == nullptr) {
        const xmlError* last = xmlGetLastError();
        error = last != nullptr && last->message != nullptr ? last->message : "not well-formed";
        if (error.empty()) {
            error = "not well-formed";
        }
        return error;
    }
    xmlSchemaValidCtxtPtr validator = report_schema_validator();
    if (validator == nullptr) {
        error = "the report schema " BRISOL_REPORT_SCHEMA " could not be read";
    } else {
        xmlSchemaSetValidStructuredErrors(validator, keep_first_error, &error);
        if (xmlSchemaValidateDoc(validator, doc) != 0 && error.empty()) {
            error = "not valid against the report schema";
        }
        xmlSchemaSetValidStructuredErrors(validator, nullptr, nullptr);
    }
    xmlFreeDoc(doc);
    return error;
}

void install_fake_driver() {
    reset_fake_driver();
    point_entry_points_at_fake();
}

namespace {

int fake_library;

ModuleHandle bind_fake_driver() {
    install_fake_driver();
    return &fake_library;
}

void release_fake_driver(ModuleHandle) {}

}  // namespace

const VulkanLoader fake_vulkan_loader = {bind_fake_driver, release_fake_driver};

// LeakSanitizer's interface, where the program is linked with it.
extern "C" void __lsan_disable() __attribute__((weak));
extern "C" void __lsan_enable() __attribute__((weak));

void begin_driver_leaks_ignored() {
    if (__lsan_disable != nullptr) {
        __lsan_disable();
    }
}

void end_driver_leaks_ignored() {
    if (__lsan_enable != nullptr) {
        __lsan_enable();
    }
}

size_t count_of(const std::string& haystack, const std::string& needle) {
    size_t count = 0;
    for (size_t at = haystack.find(needle); at != std::string::npos;
         at = haystack.find(needle, at + needle.size())) {
        ++count;
    }
    return count;
}

namespace {

bool letter_or_digit(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

// Why a label's name or value breaks Kubernetes' rules, or "".
std::string label_part_fault(const std::string& part, bool may_be_empty) {
    if (part.empty()) {
        return may_be_empty ? "" : "empty";
    }
    if (part.size() > 63) {
        return "longer than 63 characters";
    }
    if (!letter_or_digit(part.front()) || !letter_or_digit(part.back())) {
        return "does not begin and end with a letter or digit";
    }
    for (const char c : part) {
        if (!letter_or_digit(c) && c != '.' && c != '_' && c != '-') {
            return "holds a character outside [A-Za-z0-9._-]";
        }
    }
    return "";
}

// The lines of a text, each without its line feed; a last line without one is a line too.
std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = text.find('\n', start);
        lines.push_back(text.substr(start, end == std::string::npos ? end : end - start));
        start = end == std::string::npos ? text.size() : end + 1;
    }
    return lines;
}

}  // namespace

std::vector<std::pair<std::string, std::string>> labels_of(const std::string& file) {
    std::vector<std::pair<std::string, std::string>> labels;
    for (const std::string& line : lines_of(file)) {
        const size_t equals = line.find('=');
        labels.emplace_back(line.substr(0, equals),
                            equals == std::string::npos ? "" : line.substr(equals + 1));
    }
    return labels;
}

std::string label_file_faults(const std::string& file) {
    std::string faults;
    if (file.size() > 65536) {
        faults += "larger than the 64 KiB NFD reads\n";
    }
    if (file.empty() || file.back() != '\n') {
        faults += "does not end with a line feed\n";
    }
    std::set<std::string> names;
    for (const std::string& line : lines_of(file)) {
        const size_t equals = line.find('=');
        if (equals == std::string::npos) {
            faults += "no '=' in: " + line + "\n";
            continue;
        }
        const std::string name = line.substr(0, equals);
        const std::string value = line.substr(equals + 1);
        const std::string name_fault = label_part_fault(name, false);
        const std::string value_fault = label_part_fault(value, true);
        if (!name_fault.empty()) {
            faults += "name " + name + ": " + name_fault + "\n";
        }
        if (!value_fault.empty()) {
            faults += "value of " + name + ": " + value_fault + "\n";
        }
        if (!names.insert(name).second) {
            faults += "name given twice: " + name + "\n";
        }
    }
    return faults;
}

namespace {

bool name_character(char c, bool first, bool colon) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || (colon && c == ':') ||
           (!first && c >= '0' && c <= '9');
}

// The name at text[at], [a-zA-Z_:][a-zA-Z0-9_:]* for metrics and without ':' for labels.
std::string take_name(const std::string& text, size_t& at, bool colon) {
    const size_t start = at;
    while (at < text.size() && name_character(text[at], at == start, colon)) {
        ++at;
    }
    return text.substr(start, at - start);
}

struct ExpositionReader {
    std::vector<MetricSample> samples;
    std::string faults;
    std::string current;             // the family being read
    std::set<std::string> finished;  // families another one followed
    std::set<std::string> helped;    // families with their HELP line
    std::set<std::string> typed;     // families with their TYPE line
    std::set<std::string> with_samples;
    std::set<std::string> series;

    void fault(const std::string& what, const std::string& line) {
        faults += what + ": " + line + "\n";
    }

    void enter(const std::string& family, const std::string& line) {
        if (family == current) {
            return;
        }
        if (finished.count(family) != 0) {
            fault("a family comes back after another one", line);
        }
        if (!current.empty()) {
            finished.insert(current);
        }
        current = family;
    }

    void read_description(const std::string& line) {
        const bool help = line.rfind("# HELP ", 0) == 0;
        size_t at = 7;
        const std::string name = take_name(line, at, true);
        if (name.empty() || at >= line.size() || line[at] != ' ') {
            fault("a HELP or TYPE line without a name", line);
            return;
        }
        enter(name, line);
        if (help) {
            if (!helped.insert(name).second) {
                fault("HELP given twice", line);
            }
            return;
        }
        const std::string type = line.substr(at + 1);
        if (type != "gauge" && type != "counter" && type != "untyped" && type != "summary" &&
            type != "histogram") {
            fault("an unknown type", line);
        }
        if (!typed.insert(name).second || with_samples.count(name) != 0) {
            fault("TYPE given twice or after samples", line);
        }
    }

    // The quoted value at line[at], unescaped; at ends past its closing quotation mark.
    bool take_value(const std::string& line, size_t& at, std::string& value) {
        if (at >= line.size() || line[at] != '"') {
            return false;
        }
        for (++at; at < line.size() && line[at] != '"'; ++at) {
            if (line[at] != '\\') {
                value += line[at];
                continue;
            }
            const char escaped = ++at < line.size() ? line[at] : '\0';
            if (escaped != '\\' && escaped != '"' && escaped != 'n') {
                return false;
            }
            value += escaped == 'n' ? '\n' : escaped;
        }
        return at++ < line.size();
    }

    void read_sample(const std::string& line) {
        MetricSample sample;
        size_t at = 0;
        sample.name = take_name(line, at, true);
        if (sample.name.empty()) {
            fault("a line that is no sample", line);
            return;
        }
        enter(sample.name, line);
        if (helped.count(sample.name) == 0 || typed.count(sample.name) == 0) {
            fault("a sample without HELP and TYPE before it", line);
        }
        with_samples.insert(sample.name);
        std::set<std::string> label_names;
        bool more = at < line.size() && line[at] == '{';
        at += more ? 1 : 0;
        while (more) {
            std::string name = take_name(line, at, false);
            std::string value;
            if (name.empty() || at >= line.size() || line[at++] != '=' ||
                !take_value(line, at, value) || at >= line.size() ||
                (line[at] != ',' && line[at] != '}')) {
                fault("a label that does not read", line);
                return;
            }
            if (!label_names.insert(name).second) {
                fault("a label given twice", line);
            }
            sample.labels.emplace_back(std::move(name), std::move(value));
            more = line[at++] == ',';
        }
        if (at >= line.size() || line[at] != ' ') {
            fault("no value", line);
            return;
        }
        sample.value = line.substr(at + 1);
        char* end = nullptr;
        strtod(sample.value.c_str(), &end);
        if (sample.value.empty() || *end != '\0') {
            fault("a value that is not one number", line);
        }
        std::set<std::pair<std::string, std::string>> sorted(sample.labels.begin(),
                                                             sample.labels.end());
        std::string key = sample.name;
        for (const auto& [name, value] : sorted) {
            key += "\n" + name + "=" + value;
        }
        if (!series.insert(key).second) {
            fault("a series given twice", line);
        }
        samples.push_back(std::move(sample));
    }
};

}  // namespace

std::vector<MetricSample> samples_of(const std::string& exposition, std::string& faults) {
    ExpositionReader reader;
    std::string checked = exposition;
    for (char& c : checked) {
        c = c == '\0' ? ' ' : c;
    }
    if (xmlCheckUTF8(reinterpret_cast<const unsigned char*>(checked.c_str())) == 0) {
        reader.faults += "not UTF-8\n";
    }
    if (exposition.empty() || exposition.back() != '\n') {
        reader.faults += "does not end with a line feed\n";
    }
    for (const std::string& line : lines_of(exposition)) {
        if (line.rfind("# HELP ", 0) == 0 || line.rfind("# TYPE ", 0) == 0) {
            reader.read_description(line);
        } else if (line.rfind("#", 0) != 0) {
            reader.read_sample(line);
        }
    }
    faults = reader.faults;
    return reader.samples;
}

namespace {

// A walk that writes each value under the names of the structures and members it is in.
struct LineWalk {
    std::vector<std::string>* lines;
    std::string prefix;
    std::vector<std::string> path;
};

std::string walk_path(const LineWalk& walk) {
    std::string text;
    for (const std::string& name : walk.path) {
        text += name;
    }
    return text;
}

void walk_lines(std::vector<std::string>& lines, const std::string& prefix,
                const StructureInfo& info, const void* bytes) {
    LineWalk walk{&lines, prefix + info.name, {}};
    const MemberVisitor visitor{
        &walk,
        [](void* context, const MemberRow& member, const unsigned char* at, uint32_t count) {
            LineWalk& w = *static_cast<LineWalk*>(context);
            std::string line = w.prefix + walk_path(w) + "." + member.name + ": ";
            append_member_text(line, member, at, count);
            w.lines->push_back(line);
        },
        [](void* context, const MemberRow& member, uint32_t index, uint32_t) {
            LineWalk& w = *static_cast<LineWalk*>(context);
            w.path.push_back("." + std::string(member.name) +
                             (member.count > 1 ? "[" + std::to_string(index) + "]" : ""));
        },
        [](void* context, const MemberRow&, uint32_t, uint32_t) {
            static_cast<LineWalk*>(context)->path.pop_back();
        }};
    walk_structure(info, bytes, visitor);
}

void chain_lines(std::vector<std::string>& lines, const std::string& prefix,
                 const StructureChain& chain) {
    for (size_t i = 0; i < chain.size(); ++i) {
        walk_lines(lines, prefix, *chain.structures[i], chain.bytes(i));
    }
}

}  // namespace

std::vector<std::string> facts_lines(const DeviceFacts& facts) {
    std::vector<std::string> lines;
    for (const VkExtensionProperties& extension : facts.extensions) {
        if (registry_names_extension(extension.extensionName)) {
            lines.push_back("extension " + std::string(extension.extensionName) + ": " +
                            std::to_string(extension.specVersion));
        }
    }
    walk_lines(lines, "properties ", physical_device_properties_info, &facts.properties);
    chain_lines(lines, "properties ", facts.property_chain);
    if (facts.features_read) {
        walk_lines(lines, "features ", physical_device_features_info, &facts.features);
    }
    chain_lines(lines, "features ", facts.feature_chain);
    for (const FormatFacts& format : facts.formats) {
        const std::string prefix = "format " + std::string(format.info->name) + " ";
        walk_lines(lines, prefix, format_properties_info, &format.properties);
        chain_lines(lines, prefix, format.chain);
    }
    for (size_t i = 0; i < facts.queue_families.size(); ++i) {
        const std::string prefix = "queue family " + std::to_string(i) + " ";
        walk_lines(lines, prefix, queue_family_properties_info,
                   &facts.queue_families[i].properties);
        chain_lines(lines, prefix, facts.queue_families[i].chain);
    }
    return lines;
}
