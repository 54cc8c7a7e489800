#include "app/banners.h"

#include "report/product.h"
#include "report/report.h"

namespace {

void append_version_line_text() {
    append_text("\n%s %d.%d.%d", BRISOL_DISPLAY_NAME, BRISOL_VERSION_MAJOR, BRISOL_VERSION_MINOR,
                BRISOL_VERSION_PATCH);
}

// The help screen and the text footer end with the same closing lines.
void append_closing_lines_text() {
    append_text("\n---");
    append_text(BRISOL_CONTACT_LINE);
    append_text(BRISOL_NEWS_LINES);
    append_text("\n\n");
}

}  // namespace

void write_help_screen() {
    append_text("\n==========================================================");
    append_version_line_text();
    append_text("\n==========================================================");
    append_text("\nVulkan capabilities and extensions viewer");
    append_text(BRISOL_COPYRIGHT_TEXT_FORMAT, BRISOL_WEB_ADDRESS);
    append_text("\n\nSyntax: " BRISOL_COMMAND_NAME " [-option]");
    append_text("\n  -a: detailed information (device limits)");
    append_text("\n  -txt: outputs the report in text format (default)");
    append_text("\n  -xml: outputs the report in xml format");
    append_text("\n  -f: displays Vulkan entrypoints required by " BRISOL_DISPLAY_NAME
                " (API functions)");
    append_text("\n  -h: this help");
    append_text("\n  -noheaderfooter: does not output header and footer in text format");
    append_text("\n  -version: prints the version and exits");
    append_text("\n  -all: complete information (everything a device tells through Vulkan 1.3)");
    append_text("\n  -json: outputs the devices as a Vulkan Profiles JSON document");
    append_text("\n  -profile FILE: checks whether the devices meet the Vulkan profiles in FILE");
    append_text("\n  -labels: outputs node labels for Kubernetes Node Feature Discovery");
    append_text("\n  -metrics: outputs metrics in the Prometheus text format");
    append_text(
        "\n  -diff A [B]: what differs between the devices in A and in B (or this machine)");
    append_text("\n");
    append_closing_lines_text();
}

void write_version_line() {
    append_text("%s %d.%d.%d\n", BRISOL_DISPLAY_NAME, BRISOL_VERSION_MAJOR, BRISOL_VERSION_MINOR,
                BRISOL_VERSION_PATCH);
}

void write_text_header() {
    append_text("==========================================================");
    append_version_line_text();
    append_text("\n==========================================================");
    append_text("\nVulkan capabilities and extensions viewer");
    append_text(BRISOL_COPYRIGHT_TEXT_FORMAT, BRISOL_WEB_ADDRESS);
    append_text("\n");
}

void write_text_footer() {
    append_closing_lines_text();
}

void write_xml_prolog() {
    append_xml("<?xml version=\"1.0\" encoding=\"ISO-8859-1\" standalone=\"yes\"?>");
    append_xml("\n<!--");
    append_xml("\n%s %d.%d.%d", BRISOL_DISPLAY_NAME, BRISOL_VERSION_MAJOR, BRISOL_VERSION_MINOR,
               BRISOL_VERSION_PATCH);
    append_xml("\nVulkan capabilities and extensions viewer");
    append_xml(BRISOL_COPYRIGHT_XML_FORMAT, BRISOL_WEB_ADDRESS);
    append_xml("\n-->");
    append_xml("\n\n<" BRISOL_COMMAND_NAME ">");
}

void write_xml_epilogue() {
    append_xml("\n</" BRISOL_COMMAND_NAME ">");
    append_xml("\n<!--");
    append_xml(BRISOL_CONTACT_LINE);
    append_xml(BRISOL_NEWS_LINES);
    append_xml("\n-->\n");
}
