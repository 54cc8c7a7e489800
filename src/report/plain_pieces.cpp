#include "report/plain_pieces.h"

#include <cstring>

namespace {

// The digits of a value in base 10 or upper-case base 16, with blanks in front up to width.
void append_digits(ReportStream& stream, unsigned long long value, unsigned base, size_t width) {
    char digits[24];
    size_t count = 0;
    do {
        digits[count++] = "0123456789ABCDEF"[value % base];
        value /= base;
    } while (value != 0);
    if (width > count) {
        stream.append(width - count, ' ');
    }
    while (count > 0) {
        stream.push_back(digits[--count]);
    }
}

void append_signed(ReportStream& stream, int value) {
    unsigned long long magnitude = static_cast<unsigned long long>(value);
    if (value < 0) {
        stream.push_back('-');
        magnitude = 0 - magnitude;  // INT_MIN's magnitude too
    }
    append_digits(stream, magnitude, 10, 0);
}

}  // namespace

bool append_plain_piece(ReportStream& stream, const char* format, va_list args) {
    const char* at = format;
    for (const char* percent = strchr(at, '%'); percent != nullptr; percent = strchr(at, '%')) {
        stream.append(at, static_cast<size_t>(percent - at));
        const char* conversion = percent + 1;
        if (*conversion == 's') {
            stream.append(va_arg(args, const char*));
            at = conversion + 1;
        } else if (*conversion == 'u') {
            append_digits(stream, va_arg(args, unsigned), 10, 0);
            at = conversion + 1;
        } else if (*conversion == 'd') {
            append_signed(stream, va_arg(args, int));
            at = conversion + 1;
        } else if (strncmp(conversion, "llu", 3) == 0) {
            append_digits(stream, va_arg(args, unsigned long long), 10, 0);
            at = conversion + 3;
        } else if (strncmp(conversion, "4X", 2) == 0) {
            append_digits(stream, va_arg(args, unsigned), 16, 4);
            at = conversion + 2;
        } else {
            return false;
        }
    }
    stream.append(at);
    return true;
}
