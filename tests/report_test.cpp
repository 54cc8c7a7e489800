#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <vulkan/vulkan.h>

#include "report/cursor.h"
#include "support.h"

TEST(ReportStreams, EmptyPiecesAppendNothing) {
    const StreamMark mark;
    append_text("%s", "");
    append_xml("%s", "");
    EXPECT_EQ(mark.new_text(), "");
    EXPECT_EQ(mark.new_xml(), "");
}

// Pieces of every length around the 256-byte stack area reach the stream whole.
TEST(ReportStreams, PiecesOfAnyLengthAreAppendedWhole) {
    for (size_t length : {1u, 254u, 255u, 256u, 257u, 310u, 4096u}) {
        const std::string piece(length, 'n');
        const StreamMark mark;
        append_text("%s", piece.c_str());
        append_xml("\n\t\t\t\t<vk_extension name=\"%s\" spec_version=\"%u\" />", piece.c_str(),
                   4294967295u);
        EXPECT_EQ(mark.new_text(), piece) << length;
        EXPECT_EQ(mark.new_xml(),
                  "\n\t\t\t\t<vk_extension name=\"" + piece + "\" spec_version=\"4294967295\" />")
            << length;
    }
}

// Pieces that skip printf, and those that fall back to it (any other conversion, a long one
// among them), read as snprintf writes them.
#define EXPECT_PIECE_AS_PRINTF(...)                                             \
    do {                                                                        \
        std::vector<char> printed(512);                                         \
        snprintf(printed.data(), printed.size(), __VA_ARGS__);                  \
        const StreamMark mark;                                                  \
        append_xml(__VA_ARGS__);                                                \
        EXPECT_EQ(mark.new_xml(), std::string(printed.data())) << #__VA_ARGS__; \
    } while (false)

TEST(ReportStreams, PiecesReadAsPrintfWritesThem) {
    const std::string long_name(300, 'n');
    EXPECT_PIECE_AS_PRINTF("no conversion");
    EXPECT_PIECE_AS_PRINTF("\n- %u/ %s (spec version: %u)", 0u, "", 4294967295u);
    EXPECT_PIECE_AS_PRINTF("%d|%d|%d|%d", 0, -1, INT_MIN, INT_MAX);
    EXPECT_PIECE_AS_PRINTF("%llu|%llu", 0ull, ULLONG_MAX);
    EXPECT_PIECE_AS_PRINTF("%4X|%4X|%4X|%4X", 0u, 0xABCu, 0x10005u, 0xFFFFFFFFu);
    EXPECT_PIECE_AS_PRINTF("%s=%f %u", "x", 16.5, 7u);
    EXPECT_PIECE_AS_PRINTF("%s %f", long_name.c_str(), -0.125);
    // Around the 256-byte area: "-0.125000" is nine bytes.
    for (const size_t length : {245u, 246u, 247u}) {
        EXPECT_PIECE_AS_PRINTF("%s %f", std::string(length, 'n').c_str(), -0.125);
    }
    EXPECT_PIECE_AS_PRINTF("100%% %s %x", "x", 255u);
}

TEST(ReportStreams, ErrorGoesToBothStreams) {
    const StreamMark mark;
    report_error("unable to list the device extensions");
    EXPECT_EQ(mark.new_text(), "\n [ERROR] unable to list the device extensions");
    EXPECT_EQ(mark.new_xml(), "\n<error msg=\"unable to list the device extensions\" />");
}

TEST(ReportStreams, XmlEscapingOfVulkanText) {
    const struct {
        const char* in;
        const char* out;
    } cases[] = {
        {"VK_KHR_swapchain", "VK_KHR_swapchain"},
        {"A & B", "A &amp; B"},
        {"<GPU>", "&lt;GPU&gt;"},
        {"x\" injected=\"1", "x&quot; injected=&quot;1"},
        {"tab\tlf\ncr\r", "tab&#9;lf&#10;cr&#13;"},
        {"\x01\x1f\x7f", "??\x7f"},
        {"caf\xe9 \xff", "caf\xe9 \xff"},
        {"'single'", "'single'"},
        // Valid UTF-8 of two to four bytes, at the edges of each length, becomes references.
        {"GPU\xe2\x84\xa2 caf\xc3\xa9", "GPU&#8482; caf&#233;"},
        {"\xc2\x80|\xdf\xbf", "&#128;|&#2047;"},
        {"\xe0\xa0\x80|\xed\x9f\xbf|\xee\x80\x80|\xef\xbf\xbd",
         "&#2048;|&#55295;|&#57344;|&#65533;"},
        {"\xf0\x90\x80\x80|\xf4\x8f\xbf\xbf", "&#65536;|&#1114111;"},
        // Anything else from 0x80 up stays as it is: overlong forms, surrogates, past U+10FFFF,
        // U+FFFE and U+FFFF, lone continuation bytes and truncated sequences.
        {"\xc0\xaf|\xc1\xbf|\xe0\x9f\xbf|\xf0\x8f\xbf\xbf",
         "\xc0\xaf|\xc1\xbf|\xe0\x9f\xbf|\xf0\x8f\xbf\xbf"},
        {"\xed\xa0\x80|\xed\xbf\xbf", "\xed\xa0\x80|\xed\xbf\xbf"},
        {"\xf4\x90\x80\x80|\xf5\x80\x80\x80", "\xf4\x90\x80\x80|\xf5\x80\x80\x80"},
        {"\xef\xbf\xbe|\xef\xbf\xbf", "\xef\xbf\xbe|\xef\xbf\xbf"},
        {"\x80\xbf|\xe2\x84|\xf0\x9f\x98", "\x80\xbf|\xe2\x84|\xf0\x9f\x98"},
        {"\xe2\x84\xa2\xe2\x84", "&#8482;\xe2\x84"},
        {"\xc3<\xa9", "\xc3&lt;\xa9"},
    };
    for (const auto& c : cases) {
        const VulkanName name = vulkan_name(c.in, strlen(c.in) + 1);
        EXPECT_STREQ(xml_escaped(name).text, c.out) << c.in;
    }
}

TEST(ReportStreams, NamesStopAtTheEndOfTheirArray) {
    char array[VK_MAX_EXTENSION_NAME_SIZE];
    memset(array, 'q', sizeof array);
    const VulkanName name = vulkan_name(array);
    EXPECT_EQ(std::string(name.text), std::string(256, 'q'));

    // The worst case for escaping still fits.
    memset(array, '&', sizeof array);
    EXPECT_EQ(strlen(xml_escaped(vulkan_name(array)).text), 256u * 5);
    memset(array, '"', sizeof array);
    EXPECT_EQ(strlen(xml_escaped(vulkan_name(array)).text), 256u * 6);
}

// Every XML report the suite checks is also validated against the schema; these documents are
// well-formed, so only the schema can turn them away.
TEST(ReportSchema, TurnsAwayWhatTheProgramNeverWrites) {
    const struct {
        const char* what;
        std::string body;  // between the root tags
        bool valid;
    } cases[] = {
        {"nothing at all", "", true},
        {"the missing loader",
         "\n<error msg=\"Unable to load Vulkan core lib (probably an "
         "incompatible driver)\" />",
         true},
        {"an empty instance", "\n<vk_instance>\n</vk_instance>", true},
        {"devices outside the instance", "<vk_devices num_devices=\"0\" ></vk_devices>", false},
        {"an error the program has no text for", "\n<error msg=\"something else\" />", false},
        {"a negative count", "<vk_instance><vk_extensions num_extensions=\"-1\" /></vk_instance>",
         false},
        {"an unknown device type",
         "<vk_instance><vk_devices num_devices=\"1\" ><vk_device name=\"x\" vendor_id=\"1\" "
         "device_id=\"2\" driver_version=\"3\" api_ver_major=\"1\" api_ver_minor=\"0\" "
         "api_ver_patch=\"0\" device_type=\"VK_PHYSICAL_DEVICE_TYPE_MAX_ENUM\" />"
         "</vk_devices></vk_instance>",
         false},
        {"a device without its name",
         "<vk_instance><vk_devices num_devices=\"1\" ><vk_device vendor_id=\"1\" "
         "device_id=\"2\" driver_version=\"3\" api_ver_major=\"1\" api_ver_minor=\"0\" "
         "api_ver_patch=\"0\" /></vk_devices></vk_instance>",
         false},
        {"the entry points after the instance",
         "<vk_instance /><vk_entry_points></vk_entry_points>", false},
    };
    for (const auto& c : cases) {
        const std::string error = xml_error(xml_prolog + c.body + xml_epilogue);
        EXPECT_EQ(error.empty(), c.valid) << c.what << ": " << error;
    }
}

// Pieces put through a cursor land as appends would put them, across the room's steps and the
// stream's moves; a piece taken back is gone, and closing leaves the stream as long as what was
// written.
TEST(ReportStreams, CursorsWriteWhatAppendsWould) {
    std::string stream = "head";
    std::string expected = stream;
    StreamCursor cursor = open_cursor(stream);
    put_char(cursor, '(');
    expected += '(';
    const std::string long_piece(1500, 'x');
    put(cursor, long_piece.data(), long_piece.size());
    expected += long_piece;
    for (const uint64_t value : {uint64_t{0}, uint64_t{7}, uint64_t{UINT64_MAX}}) {
        put_decimal(cursor, value);
        expected += std::to_string(value);
    }
    for (int i = 0; i < 300000; ++i) {
        put(cursor, "0123456789");
        expected += "0123456789";
    }
    const size_t mark = cursor_offset(cursor);
    EXPECT_EQ(mark, expected.size());
    put(cursor, "taken back");
    move_cursor_back(cursor, mark);
    put_char(cursor, ')');
    expected += ')';
    close_cursor(cursor);
    EXPECT_EQ(stream.size(), expected.size());
    EXPECT_TRUE(stream == expected);
}
