#include "report/report.h"

#include <charconv>
#include <clocale>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include <vulkan/vulkan.h>

#include "report/plain_pieces.h"

ReportStream text_report;
ReportStream xml_report;
WrittenReports written_reports = {true, true, 0, 0};

namespace {

constexpr uint32_t nvidia_vendor_id = 0x10DE;
constexpr uint32_t intel_vendor_id = 0x8086;
// Set by the build: Intel's driver encodes its version its own way on Windows only.
constexpr bool platform_is_windows = BRISOL_PLATFORM_WINDOWS != 0;

// Pieces of plain conversions go straight into the stream; the others are formatted by vsnprintf.
// Most pieces are short lines; only those that carry a long Vulkan name outgrow the stack area,
// and they are formatted a second time into an area of the exact size. The format attribute
// says the format was checked at the callers; without it clang's -Wformat-nonliteral rejects
// the vsnprintf calls.
BRISOL_PRINTF(2, 0) void append_piece(ReportStream& stream, const char* format, va_list args) {
    const size_t start = stream.size();
    va_list copy;
    va_copy(copy, args);
    const bool plain = append_plain_piece(stream, format, copy);
    va_end(copy);
    if (plain) {
        return;
    }
    stream.resize(start);
    char area[256];
    va_copy(copy, args);
    const int needed = vsnprintf(area, sizeof area, format, copy);
    va_end(copy);
    if (needed <= 0) {
        return;
    }
    const size_t length = static_cast<size_t>(needed);
    if (length < sizeof area) {
        stream.append(area, strnlen(area, length));
        return;
    }
    std::vector<char> large(length + 1);
    va_copy(copy, args);
    vsnprintf(large.data(), large.size(), format, copy);
    va_end(copy);
    stream.append(large.data(), strnlen(large.data(), length));
}

}  // namespace

void reset_reports() {
    text_report.clear();
    xml_report.clear();
    written_reports = {true, true, 0, 0};
}

void append_text(const char* format, ...) {
    va_list args;
    va_start(args, format);
    append_piece(text_report, format, args);
    va_end(args);
}

void append_xml(const char* format, ...) {
    va_list args;
    va_start(args, format);
    append_piece(xml_report, format, args);
    va_end(args);
}

bool reports_are_full() {
    return text_report.size() + written_reports.text_left_out > most_report_bytes ||
           xml_report.size() + written_reports.xml_left_out > most_report_bytes;
}

void report_error(const char* message) {
    append_text("\n [ERROR] %s", message);
    append_xml("\n<error msg=\"%s\" />", message);
}

std::string control_escaped(const std::string& text) {
    std::string escaped;
    escaped.reserve(text.size());
    for (const char c : text) {
        const unsigned char byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte != 0x7F) {
            escaped += c;
        } else if (c == '\n') {
            escaped += "\\n";
        } else if (c == '\t') {
            escaped += "\\t";
        } else {
            char code[8];
            snprintf(code, sizeof code, "\\x%02x", byte);
            escaped += code;
        }
    }
    return escaped;
}

std::vector<std::string> errors_reported_since(size_t mark) {
    std::vector<std::string> errors;
    const std::string lead = "\n [ERROR] ";
    for (size_t at = text_report.find(lead, mark); at != std::string::npos;
         at = text_report.find(lead, at + lead.size())) {
        const size_t start = at + lead.size();
        const size_t end = text_report.find('\n', start);
        errors.push_back(text_report.substr(start, end == std::string::npos ? end : end - start));
    }
    return errors;
}

VulkanName vulkan_name(const char* array, size_t array_size) {
    VulkanName name{};
    const size_t length = strnlen(array, array_size);
    memcpy(name.text, array, length < sizeof name.text ? length : sizeof name.text - 1);
    return name;
}

Utf8Sequence utf8_sequence(const unsigned char* bytes, size_t left) {
    const unsigned char lead = bytes[0];
    size_t trail = 0;
    // The second byte's range is what rules out overlong forms, surrogates and code points past
    // U+10FFFF (RFC 3629's table).
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        trail = 1;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        trail = 2;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        trail = 3;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return {1, false, 0};
    }
    uint32_t code_point = lead & (0x3Fu >> trail);
    for (size_t k = 1; k <= trail; ++k) {
        if (k >= left || bytes[k] < low || bytes[k] > high) {
            return {k, false, 0};
        }
        code_point = (code_point << 6) | (bytes[k] & 0x3Fu);
        low = 0x80;
        high = 0xBF;
    }
    return {trail + 1, true, code_point};
}

XmlText xml_escaped(const VulkanName& name) {
    XmlText escaped;
    *write_xml_escaped(escaped.text, name.text, strlen(name.text)) = '\0';
    return escaped;
}

namespace {

// How each byte below 0x80 stands in an XML attribute value: markup characters as entities, tab,
// line feed and carriage return as character references, the other control bytes, which XML 1.0
// forbids, as '?'; length 0 for a byte that stands as it is.
struct XmlByte {
    char text[7];
    uint8_t length;
};

struct XmlBytes {
    XmlByte bytes[0x80];
};

constexpr XmlBytes make_xml_bytes() {
    XmlBytes table{};
    for (unsigned byte = 0; byte < 0x20; ++byte) {
        table.bytes[byte] = {{'?'}, 1};
    }
    table.bytes[static_cast<unsigned char>('\t')] = {{'&', '#', '9', ';'}, 4};
    table.bytes[static_cast<unsigned char>('\n')] = {{'&', '#', '1', '0', ';'}, 5};
    table.bytes[static_cast<unsigned char>('\r')] = {{'&', '#', '1', '3', ';'}, 5};
    table.bytes[static_cast<unsigned char>('&')] = {{'&', 'a', 'm', 'p', ';'}, 5};
    table.bytes[static_cast<unsigned char>('<')] = {{'&', 'l', 't', ';'}, 4};
    table.bytes[static_cast<unsigned char>('>')] = {{'&', 'g', 't', ';'}, 4};
    table.bytes[static_cast<unsigned char>('"')] = {{'&', 'q', 'u', 'o', 't', ';'}, 6};
    return table;
}

constexpr XmlBytes xml_bytes = make_xml_bytes();

}  // namespace

char* write_xml_escaped(char* out, const char* text, size_t length) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(text);
    for (size_t i = 0; i < length; ++i) {
        const unsigned char byte = bytes[i];
        // Nearly every byte is plain ASCII, which needs no decoding.
        if (byte < 0x80) {
            const XmlByte& escaped = xml_bytes.bytes[byte];
            // Copies of a length the compiler knows, rather than a call a byte.
            switch (escaped.length) {
                case 0:
                    *out++ = static_cast<char>(byte);
                    break;
                case 1:
                    *out++ = escaped.text[0];
                    break;
                case 4:
                    memcpy(out, escaped.text, 4);
                    out += 4;
                    break;
                case 5:
                    memcpy(out, escaped.text, 5);
                    out += 5;
                    break;
                default:
                    memcpy(out, escaped.text, 6);
                    out += 6;
                    break;
            }
            continue;
        }
        const Utf8Sequence sequence = utf8_sequence(bytes + i, length - i);
        // XML 1.0 allows neither U+FFFE nor U+FFFF. Any other byte from 0x80 up stays as it is,
        // one at a time.
        if (sequence.valid && sequence.code_point != 0xFFFE && sequence.code_point != 0xFFFF) {
            // At most 10 bytes for at least 2: within the room of six per byte.
            *out++ = '&';
            *out++ = '#';
            out = std::to_chars(out, out + 7, sequence.code_point).ptr;
            *out++ = ';';
            i += sequence.length - 1;
        } else {
            *out++ = static_cast<char>(byte);
        }
    }
    return out;
}

DecimalText decimal_text(double value) {
    DecimalText decimal{};
    snprintf(decimal.text, sizeof decimal.text, "%f", value);
    // The locale's decimal point, which may be more than one byte, becomes '.'.
    const char* point = localeconv()->decimal_point;
    if (point == nullptr || point[0] == '\0' || strcmp(point, ".") == 0) {
        return decimal;
    }
    char* at = strstr(decimal.text, point);
    if (at != nullptr) {
        const size_t point_length = strlen(point);
        *at = '.';
        memmove(at + 1, at + point_length, strlen(at + point_length) + 1);
    }
    return decimal;
}

VersionText version_text(uint32_t version) {
    VersionText text{};
    snprintf(text.text, sizeof text.text, "%u.%u.%u", VK_API_VERSION_MAJOR(version),
             VK_API_VERSION_MINOR(version), VK_API_VERSION_PATCH(version));
    return text;
}

DriverVersionText driver_version_text(uint32_t vendor_id, uint32_t driver_version) {
    const uint32_t v = driver_version;
    DriverVersionText text{};
    if (vendor_id == nvidia_vendor_id) {
        snprintf(text.text, sizeof text.text, "%u.%u.%u.%u", v >> 22, (v >> 14) & 0xFF,
                 (v >> 6) & 0xFF, v & 0x3F);
    } else if (vendor_id == intel_vendor_id && platform_is_windows) {
        snprintf(text.text, sizeof text.text, "%u.%u", v >> 14, v & 0x3FFF);
    } else {
        snprintf(text.text, sizeof text.text, "%u.%u.%u", v >> 22, (v >> 12) & 0x3FF, v & 0xFFF);
    }
    return text;
}
