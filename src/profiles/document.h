// Vulkan Profiles documents, as "-profile FILE" reads them and whatever else reads devices or
// profiles from one: reading a file within bounds, parsing it within bounds, checking that it is
// a profiles document, and the profiles of several documents with the capabilities they name
// and the profiles they require, resolved across the documents. What a profile means for a
// device is the views' business.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include <nlohmann/json.hpp>

// Objects keep the order of the file, so that requirements are listed in that order.
using ProfileJson = nlohmann::ordered_json;

// The bounds of what a run reads, all its documents together. Larger inputs are refused before
// they are parsed: the parser builds about a hundred bytes per value and copies each string, so
// that within these bounds a run holds well under 256 MiB whatever the files hold.
constexpr size_t most_profile_file_bytes = size_t{64} << 20;
// The deepest nesting of arrays and objects (a profile needs fewer than ten); the parser recurses.
constexpr int most_profile_nesting = 256;
// Values (objects, arrays, numbers, strings, ...): the largest published document, a desktop
// baseline of 455 kB, holds about 33,000.
constexpr size_t most_profile_values = size_t{1} << 19;
// The longest string or name: real ones are descriptions of a few hundred bytes.
constexpr size_t most_profile_string_bytes = size_t{1} << 20;

// Reads the whole file. False, with why set ("cannot be opened: No such file or directory",
// "is larger than 64 MiB"), when it cannot be read in full or holds more than room bytes.
bool read_profile_file(const char* path, size_t room, std::string& text, std::string& why);

// Parses a document of at most room values. False, with why set, when it is nested too deeply,
// holds too many values or too long a string, or is not JSON ("malformed JSON at line 3, column
// 7: ..."); the value is then null. values is set to the number of values counted.
bool parse_profile_json(const char* text, size_t size, size_t room, ProfileJson& value,
                        size_t& values, std::string& why);

// "1.3.204" as a packed version; false unless it is three numbers that fit.
bool parse_api_version(const std::string& text, uint32_t& version);

// Whether a name from a document holds a NUL: no name of Vulkan or of the file can, so such a
// name matches nothing.
bool holds_nul(const std::string& name);

struct ProfileDocument {
    std::string path;
    ProfileJson root;
    // The capabilities it defines, by name.
    std::unordered_map<std::string, const ProfileJson*> capabilities;
};

struct RequiredProfile {
    const std::string* name;
    long index;  // into ProfileSet::profiles; -1 when no document defines the profile
};

// One profile of a document.
struct Profile {
    const std::string* name;
    const ProfileJson* json;  // its object: "api-version", "capabilities", "profiles", ...
    const ProfileDocument* document;
    uint32_t api_version;
    std::vector<RequiredProfile> required;  // resolved by resolve_required_profiles
};

// The documents of a run, in the order given, and every profile of each, in order.
struct ProfileSet {
    std::vector<std::unique_ptr<ProfileDocument>> documents;
    std::vector<Profile> profiles;
    // Every profile (an index into profiles) after the profiles it requires, so that their
    // verdicts are known first; filled by resolve_required_profiles.
    std::vector<size_t> order;
    size_t bytes = 0;   // read so far, against most_profile_file_bytes
    size_t values = 0;  // parsed so far, against most_profile_values
};

// Reads, parses and checks one document and adds it and its profiles to the set. False, with why
// set to one line ("cannot be opened: ...", "malformed JSON at ...", "not a profiles document:
// ..."), when it cannot be read, is not JSON or is not a profiles document: without
// "capabilities" and "profiles" objects, a profile that names a capability the document does not
// define, a value its member cannot hold (a uint32_t of 2^32). The set is then as it was.
bool add_profile_file(ProfileSet& set, const char* path, std::string& why);
// The same for a document in memory; path names it.
bool add_profile_text(ProfileSet& set, const char* path, const char* text, size_t size,
                      std::string& why);

// Once every document is added: finds each profile's required profiles ("profiles": [...]) by
// name, in its own document first and then in the others in order, and puts the profiles in the
// order they are to be checked in. False when the requirements go round in a cycle, with why set
// ("not a profiles document: profile VP_A_a requires itself, through VP_B_b") and document set to
// the index of the document of the profile where it was found.
bool resolve_required_profiles(ProfileSet& set, size_t& document, std::string& why);
