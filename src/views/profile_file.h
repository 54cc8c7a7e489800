// Reading a Vulkan Profiles document ("-profile FILE") into a JSON value: the size bound, the
// nesting bound and the parse, each failure told in one line. What the document means is
// views/profile's business.
#pragma once

#include <cstddef>
#include <string>

#include <nlohmann/json.hpp>

// Objects keep the order of the file, so that unmet requirements are listed in that order.
using ProfileJson = nlohmann::ordered_json;

// The largest file read; a larger one is refused before it is parsed.
constexpr size_t most_profile_file_bytes = size_t{64} << 20;
// The deepest nesting of arrays and objects accepted (a profile needs fewer than ten); deeper
// documents are refused before the parser, which recurses, sees them.
constexpr int most_profile_nesting = 256;

// Reads the whole file. False, with why set ("cannot be opened: No such file or directory",
// "is larger than 64 MiB"), when it cannot be read in full.
bool read_profile_file(const char* path, std::string& text, std::string& why);

// Parses a document. False, with why set, when it is nested too deeply or is not JSON
// ("malformed JSON at line 3, column 7: ..."); the value is then null.
bool parse_profile_json(const char* text, size_t size, ProfileJson& value, std::string& why);
