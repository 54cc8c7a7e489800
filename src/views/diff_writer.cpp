#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "views/diff_result.h"
#include "views/escape.h"

namespace {

ReportStream& stream_of(DiffForm form) {
    switch (form) {
        case DiffForm::Xml:
            return xml_report;
        case DiffForm::Json:
            return diff_json_report;
        default:
            return text_report;
    }
}

// Whether bytes more fit in the form's stream, with some left to close it.
bool fits(const ReportStream& stream, size_t bytes) {
    constexpr size_t closing = 4096;
    return stream.size() + bytes + closing <= most_report_bytes;
}

const char* side_text(bool in_b) {
    return in_b ? "B" : "A";
}

const char* side_key(bool in_b) {
    return in_b ? "b" : "a";
}

// Which side is more capable, as the text says it and as XML and JSON say it.
const char* more_text(Comparison more) {
    return more == Comparison::AMore   ? "A more capable"
           : more == Comparison::BMore ? "B more capable"
                                       : "different";
}

const char* more_key(Comparison more) {
    return more == Comparison::AMore ? "a" : more == Comparison::BMore ? "b" : "different";
}

const char* note_text(NoteKind kind) {
    return kind == NoteKind::Error ? "error" : "not compared";
}

std::string count_text(uint64_t count, const char* one, const char* many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

// "7 differences: A more capable in 2, B in 4, different in 1", or "no differences".
std::string summary(const DevicePair& pair) {
    if (pair.differences() == 0) {
        return "no differences";
    }
    return count_text(pair.differences(), "difference", "differences") + ": A more capable in " +
           std::to_string(pair.a_more) + ", B in " + std::to_string(pair.b_more) +
           ", different in " + std::to_string(pair.different);
}

// ---- The pieces of each form ----

std::string text_line(const Difference& difference) {
    std::string line = "  " + control_escaped(difference.where) + ": ";
    if (difference.kind == DifferenceKind::Values) {
        line += "A " + control_escaped(difference.a) + ", B " + control_escaped(difference.b);
    } else {
        line += difference.a.empty() ? "" : "A only " + difference.a;
        line += difference.a.empty() || difference.b.empty() ? "" : ", ";
        line += difference.b.empty() ? "" : "B only " + difference.b;
    }
    return line + ": " + more_text(difference.more) + "\n";
}

std::string xml_line(const Difference& difference) {
    const bool values = difference.kind == DifferenceKind::Values;
    return std::string("\n\t\t<") + (values ? "difference" : "bits") + " where=\"" +
           xml_attribute(difference.where) + (values ? "\" a=\"" : "\" a_only=\"") +
           xml_attribute(difference.a) + (values ? "\" b=\"" : "\" b_only=\"") +
           xml_attribute(difference.b) + "\" more=\"" + more_key(difference.more) + "\" />";
}

std::string json_line(const Difference& difference, bool first) {
    const bool values = difference.kind == DifferenceKind::Values;
    return std::string(first ? "" : ",") +
           "\n                {\"where\": " + json_string(difference.where) +
           (values ? ", \"a\": " : ", \"a_only\": ") + json_string(difference.a) +
           (values ? ", \"b\": " : ", \"b_only\": ") + json_string(difference.b) +
           ", \"more\": \"" + more_key(difference.more) + "\"}";
}

std::string note_piece(DiffForm form, const DiffNote& note, const char* indent, bool first) {
    switch (form) {
        case DiffForm::Xml:
            return std::string("\n") + indent + "<note side=\"" + side_key(note.in_b) +
                   "\" kind=\"" + note_text(note.kind) + "\" text=\"" + xml_attribute(note.text) +
                   "\" />";
        case DiffForm::Json:
            return std::string(first ? "" : ",") + "\n" + indent + "{\"side\": \"" +
                   side_key(note.in_b) + "\", \"kind\": \"" + note_text(note.kind) +
                   "\", \"text\": " + json_string(note.text) + "}";
        default:
            return std::string(indent) + note_text(note.kind) + " in " + side_text(note.in_b) +
                   ": " + control_escaped(note.text) + "\n";
    }
}

std::string line_piece(DiffForm form, const Difference& difference, bool first) {
    switch (form) {
        case DiffForm::Xml:
            return xml_line(difference);
        case DiffForm::Json:
            return json_line(difference, first);
        default:
            return text_line(difference);
    }
}

std::string pair_head(DiffForm form, size_t number, const DevicePair& pair, uint64_t left_out,
                      bool first) {
    const std::string n = std::to_string(number);
    const bool both = pair.a != nullptr && pair.b != nullptr;
    if (form == DiffForm::Text) {
        std::string head = "Device " + n;
        head += pair.a != nullptr ? ", A " + control_escaped(*pair.a) : "";
        head += pair.b != nullptr ? ", B " + control_escaped(*pair.b) : "";
        return head + ": " +
               (both                ? summary(pair)
                : pair.a != nullptr ? "only in A"
                                    : "only in B") +
               "\n";
    }
    if (form == DiffForm::Xml) {
        std::string head = "\n\t<vk_diff_device number=\"" + n + "\"";
        head += pair.a != nullptr ? " a=\"" + xml_attribute(*pair.a) + "\"" : "";
        head += pair.b != nullptr ? " b=\"" + xml_attribute(*pair.b) + "\"" : "";
        if (!both) {
            return head + " />";
        }
        return head + " differences=\"" + std::to_string(pair.differences()) + "\" a_more=\"" +
               std::to_string(pair.a_more) + "\" b_more=\"" + std::to_string(pair.b_more) +
               "\" different=\"" + std::to_string(pair.different) + "\" left_out=\"" +
               std::to_string(left_out) + "\">";
    }
    const std::string indent = "\n            ";
    std::string head = std::string(first ? "" : ",") + "\n        {" + indent + "\"number\": " + n +
                       "," + indent +
                       "\"a\": " + (pair.a != nullptr ? json_string(*pair.a) : "null") + "," +
                       indent + "\"b\": " + (pair.b != nullptr ? json_string(*pair.b) : "null");
    if (!both) {
        return head + "\n        }";
    }
    return head + "," + indent + "\"differences\": " + std::to_string(pair.differences()) + "," +
           indent + "\"a_more\": " + std::to_string(pair.a_more) + "," + indent +
           "\"b_more\": " + std::to_string(pair.b_more) + "," + indent +
           "\"different\": " + std::to_string(pair.different) + "," + indent +
           "\"left_out\": " + std::to_string(left_out) + "," + indent + "\"notes\": [";
}

// Between the notes and the lines (JSON only), and after the lines.
std::string pair_middle(DiffForm form, bool notes) {
    if (form != DiffForm::Json) {
        return "";
    }
    return std::string(notes ? "\n            " : "") + "],\n            \"lines\": [";
}

std::string pair_end(DiffForm form, bool lines, uint64_t left_out) {
    switch (form) {
        case DiffForm::Xml:
            return "\n\t</vk_diff_device>";
        case DiffForm::Json:
            return std::string(lines ? "\n            " : "") + "]\n        }";
        default:
            return left_out == 0
                       ? ""
                       : "  " + count_text(left_out, "more line", "more lines") + " left out\n";
    }
}

// How much of a pair was written.
enum class Written : uint8_t { Nothing, Part, Whole };

// Writes one pair: as many of its notes and differences as fit, and how many were left out.
Written write_pair(DiffForm form, size_t number, const DevicePair& pair, bool first) {
    ReportStream& out = stream_of(form);
    const bool both = pair.a != nullptr && pair.b != nullptr;
    size_t room = pair_head(form, number, pair, UINT64_MAX, first).size() +
                  pair_middle(form, true).size() + pair_end(form, true, UINT64_MAX).size();
    if (!fits(out, room)) {
        return Written::Nothing;
    }
    if (!both) {
        out += pair_head(form, number, pair, 0, first);
        return Written::Whole;
    }
    std::vector<std::string> notes;
    std::vector<std::string> lines;
    for (const DiffNote& note : pair.notes) {
        std::string piece = note_piece(form, note,
                                       form == DiffForm::Json  ? "                "
                                       : form == DiffForm::Xml ? "\t\t"
                                                               : "  ",
                                       notes.empty());
        room += piece.size();
        if (!fits(out, room)) {
            break;
        }
        notes.push_back(std::move(piece));
    }
    for (size_t i = 0; i < pair.listed.size() && notes.size() == pair.notes.size(); ++i) {
        std::string piece = line_piece(form, pair.listed[i], lines.empty());
        room += piece.size();
        if (!fits(out, room)) {
            break;
        }
        lines.push_back(std::move(piece));
    }
    const uint64_t left_out = pair.lines - notes.size() - lines.size();
    out += pair_head(form, number, pair, left_out, first);
    for (const std::string& piece : notes) {
        out += piece;
    }
    out += pair_middle(form, !notes.empty());
    for (const std::string& piece : lines) {
        out += piece;
    }
    out += pair_end(form, !lines.empty(), left_out);
    return left_out == 0 ? Written::Whole : Written::Part;
}

void write_opening(const DiffResult& result, DiffForm form) {
    const bool differs = result_differs(result);
    ReportStream& out = stream_of(form);
    if (form == DiffForm::Text) {
        out += "A: " + control_escaped(result.a_name) +
               "\nB: " + (result.b_is_machine ? "this machine" : control_escaped(result.b_name)) +
               "\n";
    } else if (form == DiffForm::Xml) {
        out += "\n<vk_diff a=\"" + xml_attribute(result.a_name) + "\"" +
               (result.b_is_machine ? "" : " b=\"" + xml_attribute(result.b_name) + "\"") +
               " differ=\"" + (differs ? "1" : "0") + "\">";
    } else {
        out = "{\n    \"a\": " + json_string(result.a_name) +
              ",\n    \"b\": " + (result.b_is_machine ? "null" : json_string(result.b_name)) +
              ",\n    \"differ\": " + (differs ? "true" : "false") + ",\n    \"errors\": [";
    }
    // The errors of the runs are few (a run's own fixed messages); a document may name more,
    // which the bound cuts.
    bool first = true;
    for (const DiffNote& error : result.errors) {
        std::string piece = note_piece(form, error,
                                       form == DiffForm::Json  ? "        "
                                       : form == DiffForm::Xml ? "\t"
                                                               : "",
                                       first);
        if (!fits(out, piece.size())) {
            break;
        }
        out += piece;
        first = false;
    }
    if (form == DiffForm::Json) {
        out += std::string(first ? "" : "\n    ") + "],\n    \"devices\": [";
    }
}

void write_closing(DiffForm form, bool devices, uint64_t devices_left_out,
                   uint64_t differences_left_out, uint64_t not_compared) {
    ReportStream& out = stream_of(form);
    const std::string devices_text = std::to_string(devices_left_out);
    const std::string differences_text = std::to_string(differences_left_out);
    const std::string not_compared_text = std::to_string(not_compared);
    if (form == DiffForm::Text) {
        if (devices_left_out != 0) {
            out += "the comparison reached its size limit: " +
                   count_text(devices_left_out, "more device was", "more devices were") +
                   " left out, with " +
                   count_text(differences_left_out, "more difference", "more differences") + "\n";
        }
        if (not_compared != 0) {
            out += count_text(not_compared, "more device was", "more devices were") +
                   " not compared: the documents name more than one comparison reads\n";
        }
        return;
    }
    if (form == DiffForm::Xml) {
        if (devices_left_out != 0) {
            out += "\n\t<vk_diff_left_out devices=\"" + devices_text + "\" differences=\"" +
                   differences_text + "\" />";
        }
        if (not_compared != 0) {
            out += "\n\t<vk_diff_not_compared devices=\"" + not_compared_text + "\" />";
        }
        out += "\n</vk_diff>";
        return;
    }
    out += std::string(devices ? "\n    " : "") +
           "],\n    \"left_out\": {\"devices\": " + devices_text +
           ", \"differences\": " + differences_text +
           "},\n    \"not_compared\": " + not_compared_text + "\n}\n";
}

}  // namespace

bool result_differs(const DiffResult& result) {
    if (result.not_compared != 0) {
        return true;
    }
    for (const DevicePair& pair : result.pairs) {
        if (pair.a == nullptr || pair.b == nullptr || pair.differences() != 0) {
            return true;
        }
    }
    return false;
}

void write_diff(const DiffResult& result, DiffForm form) {
    write_opening(result, form);
    // The pairs after one that was not listed whole are left out: a pair is listed whole or last,
    // whether the form's bound or the comparison's (what it could keep) cut it.
    size_t written = 0;
    Written last = Written::Whole;
    while (written < result.pairs.size() && last == Written::Whole) {
        last = write_pair(form, written + 1, result.pairs[written], written == 0);
        written += last != Written::Nothing ? 1 : 0;
    }
    uint64_t differences = 0;
    for (size_t p = written; p < result.pairs.size(); ++p) {
        differences += result.pairs[p].differences();
    }
    write_closing(form, written != 0, result.pairs.size() - written, differences,
                  result.not_compared);
}
