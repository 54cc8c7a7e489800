// The two in-memory reports and the only ways anything is written into them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#if defined(__GNUC__) || defined(__clang__)
#define BRISOL_PRINTF(format_index, first_arg) \
    __attribute__((format(printf, format_index, first_arg)))
#else
#define BRISOL_PRINTF(format_index, first_arg)
#endif

// An append-only byte string. Sections only ever add to its end; it is read once, when the
// chosen report is printed.
using ReportStream = std::string;

extern ReportStream text_report;
extern ReportStream xml_report;

// Empties both streams and has the long sections write both again, for another run in the
// same process (tests, fuzzing, benchmarks). A run itself never clears them.
void reset_reports();

// Which reports the long sections (the complete report's) write. A run prints one report, and
// building the other would cost as much again for nothing: such a run writes only the one it
// prints. The sections of the detailed report always write both.
struct WrittenReports {
    bool text;
    bool xml;
    // The bytes the long sections left out of a report they did not write. The size limit
    // counts them, so that a report ends where it would end with both reports written whole.
    size_t text_left_out;
    size_t xml_left_out;
};
extern WrittenReports written_reports;

// Formats one piece printf-style and appends it whole, however long it is.
void append_text(const char* format, ...) BRISOL_PRINTF(1, 2);
void append_xml(const char* format, ...) BRISOL_PRINTF(1, 2);

// The most bytes either report is let grow to before devices are left out. Real reports are a few
// hundred kilobytes; a driver that claims 4096 devices with 4096 long extensions each would ask
// for tens of gigabytes. The check comes before each device, so a report ends at most one
// device's listing (some megabytes) past it, and both stay far inside the memory a run may use.
constexpr size_t most_report_bytes = size_t{16} << 20;

// True once either report has grown past most_report_bytes, counting what was left out of it.
bool reports_are_full();

// Writes "[ERROR] message" to the text report, then an error element to the XML report.
// Messages are fixed texts of the program, so they need no escaping.
void report_error(const char* message);

// Text from a file or a driver for a line of its own: each control character (and DEL) written
// out as "\n", "\t" or "\xHH", so that no text can make a line of its own.
std::string control_escaped(const std::string& text);

// The messages report_error wrote since the text report was mark bytes long, in order: for the
// views that print neither report but say what failed in their own form.
std::vector<std::string> errors_reported_since(size_t mark);

// A name copied out of one of Vulkan's fixed-size character arrays. A driver may fill the array
// without a terminating NUL, so the copy stops at the end of the array and is always terminated.
struct VulkanName {
    char text[257];
};
VulkanName vulkan_name(const char* array, size_t array_size);

template <size_t N>
VulkanName vulkan_name(const char (&array)[N]) {
    static_assert(N < sizeof(VulkanName::text), "Vulkan name arrays are 256 bytes");
    return vulkan_name(array, N);
}

// Text from Vulkan made safe for an XML attribute value: markup characters become entities,
// tab, line feed and carriage return become character references, and the other control bytes,
// which XML 1.0 forbids, become '?'. Vulkan text is UTF-8 but the document is declared
// ISO-8859-1, so each valid UTF-8 sequence of a character XML allows becomes a decimal character
// reference ("&#8482;"); other bytes from 0x80 up pass as they are. Six bytes per input byte at
// most.
// The UTF-8 sequence at the start of bytes, of which left are readable: its length and, when it
// is well-formed (RFC 3629: two to four bytes, no overlong form, no surrogate, nothing past
// U+10FFFF), its code point. An ill-formed one is as long as its maximal ill-formed subpart, which
// a reader replaces by one U+FFFD; a byte below 0x80 is a sequence of one that is not valid here.
struct Utf8Sequence {
    size_t length;
    bool valid;
    uint32_t code_point;
};
Utf8Sequence utf8_sequence(const unsigned char* bytes, size_t left);

struct XmlText {
    char text[sizeof(VulkanName::text) * 6];
};
XmlText xml_escaped(const VulkanName& name);
// The same for length bytes of text, which hold no NUL, written at out, which has room for six
// bytes per byte of text. Returns the end of what it wrote.
char* write_xml_escaped(char* out, const char* text, size_t length);

// A Vulkan version as "major.minor.patch" (the variant, always 0 for Vulkan, left out). Never
// fails.
struct VersionText {
    char text[32];
};
VersionText version_text(uint32_t version);

// A driver version the way its vendor encodes it: NVIDIA's in 10.8.8.6 bits ("535.104.5.0"),
// Intel's on Windows in 18.14 bits, every other one as a Vulkan version of 10.10.12 bits
// ("22.3.6"). Never fails.
struct DriverVersionText {
    char text[48];
};
DriverVersionText driver_version_text(uint32_t vendor_id, uint32_t driver_version);

// A floating-point value as printf's "%f" writes it in the "C" locale: a driver or layer may set
// a locale whose decimal point is ',' for the whole process. Never fails.
struct DecimalText {
    char text[64];  // FLT_MAX takes 39 digits before the point
};
DecimalText decimal_text(double value);
