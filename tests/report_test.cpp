#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include <vulkan/vulkan.h>

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
