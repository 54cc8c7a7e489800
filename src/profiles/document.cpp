#include "profiles/document.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <deque>
#include <utility>

#include <vulkan/vulkan.h>

#include "profiles/requirements.h"
#include "report/report.h"

namespace {

// Where a byte of the text is, as editors count: lines and columns from 1.
std::string line_and_column(const char* text, size_t size, size_t index) {
    size_t line = 1;
    size_t line_start = 0;
    for (size_t i = 0; i < index && i < size; ++i) {
        if (text[i] == '\n') {
            ++line;
            line_start = i + 1;
        }
    }
    return "line " + std::to_string(line) + ", column " + std::to_string(index - line_start + 1);
}

// What a look at the raw text finds before the parser sees it: the first bracket that opens a
// level deeper than allowed, the first string longer than allowed (size when none), and how many
// values the text holds at most (one, and one more for each bracket and comma). Brackets and
// commas inside strings do not count; the text need not be well-formed.
struct TextScan {
    size_t too_deep_at;
    size_t too_long_at;
    size_t values;
};

TextScan scan_text(const char* text, size_t size) {
    TextScan scan{size, size, 1};
    int depth = 0;
    bool in_string = false;
    size_t string_start = 0;
    for (size_t i = 0; i < size; ++i) {
        const char c = text[i];
        if (in_string) {
            if (c == '\\') {
                ++i;
            } else if (c == '"') {
                in_string = false;
            }
            if (i - string_start > most_profile_string_bytes && scan.too_long_at == size) {
                scan.too_long_at = string_start;
            }
        } else if (c == '"') {
            in_string = true;
            string_start = i;
        } else if (c == '[' || c == '{') {
            ++scan.values;
            if (++depth > most_profile_nesting && scan.too_deep_at == size) {
                scan.too_deep_at = i;
            }
        } else if (c == ',') {
            ++scan.values;
        } else if ((c == ']' || c == '}') && depth > 0) {
            --depth;
        }
    }
    return scan;
}

// Builds the document as nlohmann's own DOM parser does (its SAX interface), with two changes for
// large objects. Their members are added at the end without first looking for an earlier member
// of the same name: ordered_json looks through every member it holds, which makes an object of n
// members cost n * n / 2 comparisons (hours for a million); a name given twice is kept twice and
// lookups find the first. And an object's members are gathered apart and moved into it once it
// ends, in room of the exact size: growing the object member by member would copy every name at
// each growth (ordered_json's names are const), twice the names' memory at once. Where the text
// does not parse, it keeps where and why.
struct DocumentBuilder {
    using Members = std::deque<std::pair<std::string, ProfileJson>>;

    ProfileJson& root;
    std::vector<ProfileJson*> open;  // the objects and arrays being filled, innermost last
    std::vector<Members> members;    // of each object being filled, innermost last
    size_t position = 0;             // bytes read when the parser gave up
    std::string message;

    template <typename Value>
    ProfileJson* add(Value&& value) {
        if (open.empty()) {
            root = ProfileJson(std::forward<Value>(value));
            return &root;
        }
        if (open.back()->is_array()) {
            ProfileJson::array_t& array = open.back()->get_ref<ProfileJson::array_t&>();
            array.emplace_back(std::forward<Value>(value));
            return &array.back();
        }
        ProfileJson& member = members.back().back().second;
        member = ProfileJson(std::forward<Value>(value));
        return &member;
    }
    bool null() {
        add(nullptr);
        return true;
    }
    bool boolean(bool value) {
        add(value);
        return true;
    }
    bool number_integer(ProfileJson::number_integer_t value) {
        add(value);
        return true;
    }
    bool number_unsigned(ProfileJson::number_unsigned_t value) {
        add(value);
        return true;
    }
    bool number_float(ProfileJson::number_float_t value, const std::string&) {
        add(value);
        return true;
    }
    bool string(std::string& value) {
        add(std::move(value));
        return true;
    }
    bool binary(ProfileJson::binary_t& value) {
        add(ProfileJson::binary(std::move(value)));
        return true;
    }
    bool start_object(std::size_t) {
        open.push_back(add(ProfileJson::value_t::object));
        members.emplace_back();
        return true;
    }
    bool key(std::string& name) {
        members.back().emplace_back(std::move(name), nullptr);
        return true;
    }
    bool end_object() {
        ProfileJson::object_t::Container& object = open.back()->get_ref<ProfileJson::object_t&>();
        object.reserve(members.back().size());
        for (auto& [name, value] : members.back()) {
            object.emplace_back(std::move(name), std::move(value));
        }
        members.pop_back();
        open.pop_back();
        return true;
    }
    bool start_array(std::size_t) {
        open.push_back(add(ProfileJson::value_t::array));
        return true;
    }
    bool end_array() {
        open.pop_back();
        return true;
    }
    bool parse_error(std::size_t at, const std::string&, const nlohmann::detail::exception& error) {
        position = at;
        message = error.what();
        return false;
    }
};

// The parser's reason without its error code and position, which the caller gives itself:
// "[json.exception.parse_error.101] parse error at line 1, column 2: syntax error ..." becomes
// "syntax error ...". Bytes that would break the line are replaced.
std::string reason_of(std::string message) {
    const size_t code_end = message.find("] ");
    if (code_end != std::string::npos) {
        message.erase(0, code_end + 2);
    }
    if (message.rfind("parse error at line ", 0) == 0) {
        const size_t at = message.find(": ");
        message.erase(0, at == std::string::npos ? message.size() : at + 2);
    }
    for (char& c : message) {
        const unsigned char byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte >= 0x7F) {
            c = '?';
        }
    }
    return message;
}

// ---- Checking that a document is a profiles document ----

// The first fault of a capability, as the walk over it finds it.
struct FaultFinder {
    std::string fault;
};

void keep_fault(void* context, ProblemKind kind, const std::string& where,
                const std::string& text) {
    std::string& fault = static_cast<FaultFinder*>(context)->fault;
    if (kind == ProblemKind::Fault && fault.empty()) {
        fault = where + ": " + text;
    }
}

bool names_capabilities(const ProfileJson& alternative, const ProfileDocument& document) {
    if (alternative.is_string()) {
        return document.capabilities.count(alternative.get_ref<const std::string&>()) != 0;
    }
    if (!alternative.is_array() || alternative.empty()) {
        return false;
    }
    for (const ProfileJson& name : alternative) {
        if (!name.is_string() ||
            document.capabilities.count(name.get_ref<const std::string&>()) == 0) {
            return false;
        }
    }
    return true;
}

// An entry of a profile's capabilities: a capability's name, or an array of alternatives, each a
// name or an array of names that are all required.
bool valid_entry(const ProfileJson& entry, const ProfileDocument& document) {
    if (entry.is_string()) {
        return names_capabilities(entry, document);
    }
    if (!entry.is_array() || entry.empty()) {
        return false;
    }
    for (const ProfileJson& alternative : entry) {
        if (!names_capabilities(alternative, document)) {
            return false;
        }
    }
    return true;
}

bool check_profile(const std::string& name, const ProfileJson& profile,
                   const ProfileDocument& document, uint32_t& version, std::string& why) {
    const auto api_version = profile.is_object() ? profile.find("api-version") : profile.end();
    if (api_version == profile.end() || !api_version->is_string() ||
        !parse_api_version(api_version->get_ref<const std::string&>(), version)) {
        why = "profile " + name + ": expected an \"api-version\" of the form 1.3.204";
        return false;
    }
    const auto list = profile.find("capabilities");
    if (list == profile.end() || !list->is_array()) {
        why = "profile " + name + ": expected a \"capabilities\" array";
        return false;
    }
    for (const ProfileJson& entry : *list) {
        if (!valid_entry(entry, document)) {
            why = "profile " + name + ": a capabilities entry names no capability of the file";
            return false;
        }
    }
    const auto required = profile.find("profiles");
    if (required == profile.end()) {
        return true;
    }
    bool names = required->is_array();
    for (size_t i = 0; names && i < required->size(); ++i) {
        names = (*required)[i].is_string();
    }
    if (!names) {
        why = "profile " + name + ": expected a \"profiles\" array of profile names";
    }
    return names;
}

bool check_document(ProfileDocument& document, std::vector<uint32_t>& versions, std::string& why) {
    const ProfileJson& root = document.root;
    const auto capabilities = root.is_object() ? root.find("capabilities") : root.end();
    const auto profiles = root.is_object() ? root.find("profiles") : root.end();
    if (capabilities == root.end() || !capabilities->is_object() || profiles == root.end() ||
        !profiles->is_object()) {
        why = "expected \"capabilities\" and \"profiles\" objects at the top";
        return false;
    }
    if (profiles->empty()) {
        why = "the \"profiles\" object holds no profile";
        return false;
    }
    for (const auto& item : capabilities->items()) {
        document.capabilities.emplace(item.key(), &item.value());
    }
    for (const auto& item : capabilities->items()) {
        FaultFinder finder;
        RequirementVisitor visitor{};
        visitor.context = &finder;
        visitor.problem = keep_fault;
        walk_capability(item.value(), visitor);
        if (!finder.fault.empty()) {
            why = "capability " + item.key() + ", " + finder.fault;
            return false;
        }
    }
    for (const auto& item : profiles->items()) {
        versions.push_back(0);
        if (!check_profile(item.key(), item.value(), document, versions.back(), why)) {
            return false;
        }
    }
    return true;
}

// ---- Required profiles ----

// The profiles of each name, in the order of the documents.
using ProfileIndex = std::unordered_map<std::string, std::vector<size_t>>;

long find_profile(const ProfileSet& set, const ProfileIndex& index, const std::string& name,
                  const ProfileDocument* own) {
    const auto found = index.find(name);
    if (found == index.end()) {
        return -1;
    }
    for (const size_t i : found->second) {
        if (set.profiles[i].document == own) {
            return static_cast<long>(i);
        }
    }
    return static_cast<long>(found->second.front());
}

// Orders the profiles that start requires, and start after them, depth first without recursion
// (a chain may be as long as the documents hold profiles); true when it finds a cycle instead.
// state: 0 unseen, 1 on the path, 2 ordered.
bool cycle_from(ProfileSet& set, size_t start, std::vector<uint8_t>& state, std::string& why,
                size_t& in_profile) {
    std::vector<std::pair<size_t, size_t>> path{{start, 0}};
    state[start] = 1;
    while (!path.empty()) {
        auto& [profile, next] = path.back();
        const std::vector<RequiredProfile>& required = set.profiles[profile].required;
        if (next == required.size()) {
            state[profile] = 2;
            set.order.push_back(profile);
            path.pop_back();
            continue;
        }
        const long target = required[next++].index;
        if (target < 0 || state[static_cast<size_t>(target)] == 2) {
            continue;
        }
        const size_t index = static_cast<size_t>(target);
        if (state[index] == 1) {
            const std::string& name = *set.profiles[index].name;
            in_profile = index;
            why = "not a profiles document: profile " + control_escaped(name) + " requires itself";
            if (profile != index) {
                why += ", through " + control_escaped(*set.profiles[profile].name);
            }
            return true;
        }
        state[index] = 1;
        path.emplace_back(index, 0);
    }
    return false;
}

}  // namespace

bool read_profile_file(const char* path, size_t room, std::string& text, std::string& why) {
    text.clear();
    FILE* file = fopen(path, "rb");
    if (file == nullptr) {
        why = std::string("cannot be opened: ") + strerror(errno);
        return false;
    }
    const std::string too_large = room == most_profile_file_bytes
                                      ? "is larger than 64 MiB"
                                      : "takes the files given together past 64 MiB";
    // A regular file's size is known, so the text is given its room at once; a larger one is
    // refused before it is read.
    struct stat status {};
    if (fstat(fileno(file), &status) == 0 && S_ISREG(status.st_mode) && status.st_size > 0) {
        const size_t size = static_cast<size_t>(status.st_size);
        if (size > room) {
            fclose(file);
            why = too_large;
            return false;
        }
        text.reserve(size);
    }
    // Read in pieces rather than trusting the size asked: pipes have none, and a file may grow
    // while it is read.
    char piece[65536];
    bool whole = true;
    for (;;) {
        const size_t got = fread(piece, 1, sizeof piece, file);
        if (got > room - text.size()) {
            why = too_large;
            whole = false;
            break;
        }
        text.append(piece, got);
        if (got < sizeof piece) {
            if (ferror(file) != 0) {
                why = std::string("cannot be read: ") + strerror(errno);
                whole = false;
            }
            break;
        }
    }
    fclose(file);
    if (!whole) {
        std::string().swap(text);
    }
    return whole;
}

bool parse_profile_json(const char* text, size_t size, size_t room, ProfileJson& value,
                        size_t& values, std::string& why) {
    value = nullptr;
    const TextScan scan = scan_text(text, size);
    values = scan.values;
    if (scan.too_deep_at < size) {
        why = "nested deeper than " + std::to_string(most_profile_nesting) + " levels at " +
              line_and_column(text, size, scan.too_deep_at);
        return false;
    }
    if (scan.too_long_at < size) {
        why =
            "holds a string longer than 1 MiB at " + line_and_column(text, size, scan.too_long_at);
        return false;
    }
    if (scan.values > room) {
        why = room == most_profile_values
                  ? "holds more than " + std::to_string(most_profile_values) + " values"
                  : "takes the files given together past " + std::to_string(most_profile_values) +
                        " values";
        return false;
    }
    DocumentBuilder builder{value, {}, {}, 0, ""};
    if (ProfileJson::sax_parse(text, text + size, &builder)) {
        return true;
    }
    value = nullptr;
    // The parser counts the byte it stopped at as read.
    const size_t at = builder.position > 0 ? builder.position - 1 : 0;
    why =
        "malformed JSON at " + line_and_column(text, size, at) + ": " + reason_of(builder.message);
    return false;
}

bool parse_api_version(const std::string& text, uint32_t& version) {
    uint32_t parts[3] = {0, 0, 0};
    const uint32_t most[3] = {127, 1023, 4095};
    size_t at = 0;
    for (int p = 0; p < 3; ++p) {
        size_t digits = 0;
        while (at < text.size() && text[at] >= '0' && text[at] <= '9' && parts[p] <= most[p]) {
            parts[p] = parts[p] * 10 + static_cast<uint32_t>(text[at++] - '0');
            ++digits;
        }
        if (digits == 0 || parts[p] > most[p] ||
            (p < 2 && (at >= text.size() || text[at] != '.'))) {
            return false;
        }
        at += p < 2 ? 1 : 0;
    }
    version = VK_MAKE_API_VERSION(0, parts[0], parts[1], parts[2]);
    return at == text.size();
}

bool holds_nul(const std::string& name) {
    return name.find('\0') != std::string::npos;
}

bool add_profile_text(ProfileSet& set, const char* path, const char* text, size_t size,
                      std::string& why) {
    auto document = std::make_unique<ProfileDocument>();
    document->path = path;
    size_t values = 0;
    if (!parse_profile_json(text, size, most_profile_values - set.values, document->root, values,
                            why)) {
        return false;
    }
    std::vector<uint32_t> versions;
    if (!check_document(*document, versions, why)) {
        // The reason may name what the file names, which must not break the line.
        why = "not a profiles document: " + control_escaped(why);
        return false;
    }
    set.values += values;
    size_t p = 0;
    for (const auto& item : document->root["profiles"].items()) {
        set.profiles.push_back({&item.key(), &item.value(), document.get(), versions[p++], {}});
    }
    set.documents.push_back(std::move(document));
    return true;
}

bool add_profile_file(ProfileSet& set, const char* path, std::string& why) {
    std::string text;
    if (!read_profile_file(path, most_profile_file_bytes - set.bytes, text, why)) {
        return false;
    }
    if (!add_profile_text(set, path, text.data(), text.size(), why)) {
        return false;
    }
    set.bytes += text.size();
    return true;
}

bool resolve_required_profiles(ProfileSet& set, size_t& document, std::string& why) {
    ProfileIndex index;
    for (size_t i = 0; i < set.profiles.size(); ++i) {
        index[*set.profiles[i].name].push_back(i);
    }
    for (Profile& profile : set.profiles) {
        profile.required.clear();
        const auto list = profile.json->find("profiles");
        if (list == profile.json->end()) {
            continue;
        }
        for (const ProfileJson& name : *list) {
            const std::string& text = name.get_ref<const std::string&>();
            profile.required.push_back({&text, find_profile(set, index, text, profile.document)});
        }
    }
    set.order.clear();
    std::vector<uint8_t> state(set.profiles.size(), 0);
    for (size_t p = 0; p < set.profiles.size(); ++p) {
        size_t in_profile = 0;
        if (state[p] == 0 && cycle_from(set, p, state, why, in_profile)) {
            document = 0;
            while (set.documents[document].get() != set.profiles[in_profile].document) {
                ++document;
            }
            return false;
        }
    }
    return true;
}
