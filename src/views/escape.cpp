#include "views/escape.h"

#include <cstring>

#include "profiles/document.h"
#include "report/report.h"

// In pieces of the size the escaper takes, each cut before a UTF-8 character rather than inside
// one. A NUL, which would end a piece, is written as the other control bytes are.
std::string xml_attribute(const std::string& text) {
    std::string escaped;
    size_t at = 0;
    while (at < text.size()) {
        size_t length = text.size() - at < 256 ? text.size() - at : 256;
        while (at + length < text.size() && length > 252 &&
               (static_cast<unsigned char>(text[at + length]) & 0xC0) == 0x80) {
            --length;
        }
        VulkanName piece{};
        memcpy(piece.text, text.data() + at, length);
        for (size_t i = 0; i < length; ++i) {
            piece.text[i] = piece.text[i] == '\0' ? '\x01' : piece.text[i];
        }
        escaped += xml_escaped(piece).text;
        at += length;
    }
    return escaped;
}

std::string json_string(const std::string& text) {
    return ProfileJson(text).dump(-1, ' ', false, ProfileJson::error_handler_t::replace);
}
