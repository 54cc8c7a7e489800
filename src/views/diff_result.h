// What differs between the devices of two sides, as data, and its three forms: the text lines, the
// vk_diff element of the XML report and the JSON document, each bounded like the reports.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "compare/compare.h"
#include "views/diff.h"

enum class DifferenceKind : uint8_t {
    Values,  // a and b are each side's value, "missing" where a side lacks what the other has
    Bits,    // a and b are the flag bits that side alone has, "" where it has none
};

struct Difference {
    DifferenceKind kind;
    Comparison more;  // AMore, BMore or Different
    std::string where;
    std::string a;
    std::string b;
};

enum class NoteKind : uint8_t {
    NotCompared,  // what a side gives that this build cannot compare
    Error,        // what failed where the side's document was made
};

struct DiffNote {
    bool in_b;
    NoteKind kind;
    std::string text;
};

// One device of each side, or of one side alone.
struct DevicePair {
    const std::string* a = nullptr;  // the profile that describes it; null: only in B
    const std::string* b = nullptr;  // null: only in A
    uint64_t a_more = 0;
    uint64_t b_more = 0;
    uint64_t different = 0;
    uint64_t lines = 0;              // notes and differences found, kept or not
    std::vector<DiffNote> notes;     // listed first, as far as the comparison could keep them
    std::vector<Difference> listed;  // likewise

    uint64_t differences() const {
        return a_more + b_more + different;
    }
};

struct DiffResult {
    std::string a_name;
    std::string b_name;  // "" for this machine
    bool b_is_machine = false;
    std::vector<DiffNote> errors;  // of each side's run as a whole
    std::vector<DevicePair> pairs;
    // Pairs after the last one compared, which the comparison left out: it reads only so much of
    // the documents (see most_read_values).
    uint64_t not_compared = 0;
};

// Whether anything differs or was left out.
bool result_differs(const DiffResult& result);

// Writes the result in one form: text_report, xml_report or diff_json_report, at most about
// most_report_bytes; the devices past that are left out, with a last line that counts them and
// their differences.
void write_diff(const DiffResult& result, DiffForm form);
