#include "report/report.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <vector>

ReportStream text_report;
ReportStream xml_report;

namespace {

// Most pieces are short lines; only those that carry a long Vulkan name outgrow the stack area,
// and they are formatted a second time into an area of the exact size. The format attribute
// says the format was checked at the callers; without it clang's -Wformat-nonliteral rejects
// the vsnprintf calls.
BRISOL_PRINTF(2, 0) void append_piece(ReportStream& stream, const char* format, va_list args) {
    char area[256];
    va_list copy;
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

void append_text_bytes(const char* bytes, size_t length) {
    text_report.append(bytes, length);
}

void append_xml_bytes(const char* bytes, size_t length) {
    xml_report.append(bytes, length);
}

void report_error(const char* message) {
    append_text("\n [ERROR] %s", message);
    append_xml("\n<error msg=\"%s\" />", message);
}

bool print_report(const ReportStream& stream) {
    errno = 0;
    const size_t written = fwrite(stream.data(), 1, stream.size(), stdout);
    const bool flushed = fflush(stdout) == 0;
    return written == stream.size() && flushed && !ferror(stdout);
}

VulkanName vulkan_name(const char* array, size_t array_size) {
    VulkanName name{};
    const size_t length = strnlen(array, array_size);
    memcpy(name.text, array, length < sizeof name.text ? length : sizeof name.text - 1);
    return name;
}

XmlText xml_escaped(const VulkanName& name) {
    XmlText escaped{};
    char* out = escaped.text;
    for (const char* in = name.text; *in != '\0'; ++in) {
        const unsigned char byte = static_cast<unsigned char>(*in);
        const char* entity = nullptr;
        switch (byte) {
            case '&':
                entity = "&amp;";
                break;
            case '<':
                entity = "&lt;";
                break;
            case '>':
                entity = "&gt;";
                break;
            case '"':
                entity = "&quot;";
                break;
            case '\t':
                entity = "&#9;";
                break;
            case '\n':
                entity = "&#10;";
                break;
            case '\r':
                entity = "&#13;";
                break;
            default:
                break;
        }
        if (entity != nullptr) {
            const size_t length = strlen(entity);
            memcpy(out, entity, length);
            out += length;
        } else {
            *out++ = byte < 0x20 ? '?' : static_cast<char>(byte);
        }
    }
    return escaped;
}
