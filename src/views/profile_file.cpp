#include "views/profile_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

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

// The index of the first bracket that opens a level deeper than allowed, or size when there is
// none. Brackets inside strings do not count; the text need not be well-formed.
size_t too_deep_at(const char* text, size_t size) {
    int depth = 0;
    bool in_string = false;
    for (size_t i = 0; i < size; ++i) {
        const char c = text[i];
        if (in_string) {
            if (c == '\\') {
                ++i;
            } else if (c == '"') {
                in_string = false;
            }
        } else if (c == '"') {
            in_string = true;
        } else if (c == '[' || c == '{') {
            if (++depth > most_profile_nesting) {
                return i;
            }
        } else if ((c == ']' || c == '}') && depth > 0) {
            --depth;
        }
    }
    return size;
}

// Finds where and why a text that did not parse went wrong, without building a value (the
// parser's SAX interface; every value is accepted).
struct ErrorFinder {
    size_t position = 0;  // bytes read when the parser gave up
    std::string message;

    bool null() {
        return true;
    }
    bool boolean(bool) {
        return true;
    }
    bool number_integer(ProfileJson::number_integer_t) {
        return true;
    }
    bool number_unsigned(ProfileJson::number_unsigned_t) {
        return true;
    }
    bool number_float(ProfileJson::number_float_t, const std::string&) {
        return true;
    }
    bool string(std::string&) {
        return true;
    }
    bool binary(ProfileJson::binary_t&) {
        return true;
    }
    bool start_object(std::size_t) {
        return true;
    }
    bool key(std::string&) {
        return true;
    }
    bool end_object() {
        return true;
    }
    bool start_array(std::size_t) {
        return true;
    }
    bool end_array() {
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

}  // namespace

bool read_profile_file(const char* path, std::string& text, std::string& why) {
    text.clear();
    FILE* file = fopen(path, "rb");
    if (file == nullptr) {
        why = std::string("cannot be opened: ") + strerror(errno);
        return false;
    }
    // Read in pieces rather than trusting a size asked beforehand: pipes have none, and a file
    // may grow while it is read.
    char piece[65536];
    bool whole = true;
    for (;;) {
        const size_t got = fread(piece, 1, sizeof piece, file);
        text.append(piece, got);
        if (text.size() > most_profile_file_bytes) {
            why = "is larger than 64 MiB";
            whole = false;
            break;
        }
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
        text.clear();
    }
    return whole;
}

bool parse_profile_json(const char* text, size_t size, ProfileJson& value, std::string& why) {
    value = nullptr;
    const size_t deep = too_deep_at(text, size);
    if (deep < size) {
        why = "nested deeper than " + std::to_string(most_profile_nesting) + " levels at " +
              line_and_column(text, size, deep);
        return false;
    }
    value = ProfileJson::parse(text, text + size, nullptr, false);
    if (!value.is_discarded()) {
        return true;
    }
    value = nullptr;
    ErrorFinder finder;
    ProfileJson::sax_parse(text, text + size, &finder);
    // The parser counts the byte it stopped at as read.
    const size_t at = finder.position > 0 ? finder.position - 1 : 0;
    why = "malformed JSON at " + line_and_column(text, size, at) + ": " + reason_of(finder.message);
    return false;
}
