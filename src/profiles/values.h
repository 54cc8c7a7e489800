// Reading one value of a Vulkan Profiles document into a member's own bytes, laid out as the
// generated tables lay out the member, and saying what the document gave where it gave something
// else than the member takes: the profile check writes one unmet line for such a value, a reader
// that fills structures takes what the value spells ("64" as 64, null as zero).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "profiles/document.h"
#include "registry/registry.h"

enum class ValueForm : uint8_t {
    Read,        // as the member takes it
    Unknown,     // an enumerant or flag bit name the tables of this build do not know
    Unexpected,  // a value of another form than the member takes: "64" or null for a number
    Invalid,     // of the member's form but not a value it can hold: a uint32_t of 2^32, an
                 // integer of 1.5, an array longer than the member's; the document is refused
};

// What one element (or, with index whole_member, the whole member) of a value is, when it is not
// simply read.
constexpr uint32_t whole_member = UINT32_MAX;
struct ValueNote {
    uint32_t index;
    ValueForm form;        // Unknown or Unexpected
    bool read;             // the element holds a value to compare (flags: the bits named right)
    bool spelled;          // Unexpected: the element holds what the value spells
    std::string text;      // Unknown: the name; Unexpected: the value as the file writes it
    const char* expected;  // Unexpected: what the member takes ("a number")
};

struct MemberValue {
    bool valid = true;   // false: Invalid, the document cannot be read (why in text)
    uint32_t given = 0;  // elements the document gives: 1 for one value, an array's length
    std::string text;    // a string member: the string as given; when not valid: why
    std::vector<ValueNote> notes;
};

// Reads value into bytes (member.size bytes, zeroed by the caller): one element, an array of at
// most member.count elements, or a string, which is cut to the array's length less one byte in
// bytes and kept whole in text. Never fails: what it could not read is in valid and notes.
MemberValue read_member_value(const ProfileJson& value, const MemberRow& member,
                              unsigned char* bytes);

// Whether the element at index is to be compared: read, and not named by a note that says
// otherwise.
bool element_read(const MemberValue& value, uint32_t index);

// A spec version of the extensions block: Read, Unexpected (a string, null) or Invalid (negative,
// past 2^32 - 1, not an integer), with the note's text and expectation in note.
ValueForm read_spec_version(const ProfileJson& value, uint32_t& version, ValueNote& note);

// The value as a document writes it, for a line that names it: strings quoted and escaped as
// JSON writes them, cut after 64 bytes; "an array" and "an object" for those.
std::string described_value(const ProfileJson& value);
