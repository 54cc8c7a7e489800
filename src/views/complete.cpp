#include "views/complete.h"

#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "registry/walk.h"
#include "report/cursor.h"
#include "report/report.h"

namespace {

// A line break and depth tabs, at most 15.
size_t line_length(uint32_t depth) {
    return 1 + (depth < 15 ? depth : 15);
}

// ---- Writing ----
//
// The complete report is thousands of short pieces, so they go through cursors into room made
// ahead (report/cursor.h) rather than through printf or one append each. Each part of the
// report opens the cursors of the reports the run writes (written_reports), and closes them
// before anything else writes again. A report that is not written is only measured: the size
// limit counts its bytes, so that both reports end where they would have ended written whole.

// One of the two reports, as the complete report writes it.
struct Side {
    bool on;
    StreamCursor cursor;  // while on
    size_t skipped;       // while off: the bytes left out
    uint32_t depth;       // of the members, while a structure is walked
};

struct Output {
    Side text;
    Side xml;
    KnownTexts flags;  // in the report the values are first written to
};

Side open_side(bool on, ReportStream& stream) {
    Side side{on, {}, 0, 0};
    if (on) {
        side.cursor = open_cursor(stream);
    }
    return side;
}

Output open_output() {
    return Output{open_side(written_reports.text, text_report),
                  open_side(written_reports.xml, xml_report),
                  {}};
}

void close_output(Output& out) {
    if (out.text.on) {
        close_cursor(out.text.cursor);
    }
    if (out.xml.on) {
        close_cursor(out.xml.cursor);
    }
    written_reports.text_left_out += out.text.skipped;
    written_reports.xml_left_out += out.xml.skipped;
}

void put_bytes(Side& side, const char* bytes, size_t length) {
    if (side.on) {
        put(side.cursor, bytes, length);
    } else {
        side.skipped += length;
    }
}

// A fixed text of the program, whose length the compiler knows.
template <size_t N>
void put_piece(Side& side, const char (&piece)[N]) {
    put_bytes(side, piece, N - 1);
}

// A name of the tables or a text the program made (a version, a decoded driver version).
void put_name(Side& side, const char* name) {
    put_bytes(side, name, strlen(name));
}

void put_number(Side& side, uint64_t value) {
    char digits[20];
    put_bytes(side, digits,
              static_cast<size_t>(std::to_chars(digits, digits + 20, value).ptr - digits));
}

// A name from the driver, escaped for an XML attribute.
void put_escaped_name(Side& side, const VulkanName& name) {
    char escaped[sizeof(XmlText::text)];
    const size_t length = strlen(name.text);
    if (side.on) {
        side.cursor.at = write_xml_escaped(room(side.cursor, 6 * length), name.text, length);
    } else {
        side.skipped +=
            static_cast<size_t>(write_xml_escaped(escaped, name.text, length) - escaped);
    }
}

// A new line indented by depth tabs (at most 15), at room for 16 bytes.
char* new_line(char* at, uint32_t depth) {
    static const char tabs[] = "\n\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t";
    memcpy(at, tabs, 16);
    return at + line_length(depth);
}

void put_line(Side& side, uint32_t depth) {
    if (side.on) {
        side.cursor.at = new_line(room(side.cursor, 16), depth);
    } else {
        side.skipped += line_length(depth);
    }
}

// Shorter names for the many pieces below.
template <size_t N>
void text(Output& out, const char (&piece)[N]) {
    put_piece(out.text, piece);
}

template <size_t N>
void xml(Output& out, const char (&piece)[N]) {
    put_piece(out.xml, piece);
}

// An error of the complete report, in the reports the run writes: the same lines as
// report_error's.
void error(Output& out, const char* message) {
    text(out, "\n [ERROR] ");
    put_name(out.text, message);
    xml(out, "\n<error msg=\"");
    put_name(out.xml, message);
    xml(out, "\" />");
}

void report_failure(Output& out, const char* failure) {
    if (failure != nullptr) {
        error(out, failure);
    }
}

char* copy(char* at, const char* bytes, size_t length) {
    memcpy(at, bytes, length);
    return at + length;
}

template <size_t N>
char* copy(char* at, const char (&piece)[N]) {
    return copy(at, piece, N - 1);
}

// ---- Structures through the tables ----

// Puts a member's value as a person reads it (put_member_text), where the values are first
// written: a set of flags this part of the report wrote before is copied from there.
void put_value(Output& out, StreamCursor& cursor, const MemberRow& member,
               const unsigned char* bytes, uint32_t count) {
    if ((member.kind != MemberKind::Flags && member.kind != MemberKind::Flags64) ||
        member.count != 1 || member.names == nullptr) {
        put_member_text(cursor, member, bytes, count);
        return;
    }
    const uint64_t value = element_unsigned(member, bytes);
    if (const KnownText* known = find_known_text(out.flags, member.names, value)) {
        put_known_text(cursor, *known);
        return;
    }
    const size_t offset = cursor_offset(cursor);
    put_member_text(cursor, member, bytes, count);
    remember_text(out.flags, member.names, value, 0, cursor, offset);
}

// One member: "name: value" in the text report, <member name="name" value="value" /> in the
// XML report. The value is formatted once, into the first report written, and copied or
// measured for the other.
void write_member(void* context, const MemberRow& member, const unsigned char* bytes,
                  uint32_t count) {
    Output& out = *static_cast<Output*>(context);
    const size_t name_length = strlen(member.name);
    // Only strings come from the driver; names and numbers need no escaping in XML. A string is
    // cut where a Vulkan name is, at 256 bytes, in the XML report.
    const bool string = member.kind == MemberKind::String;
    const char* string_bytes = reinterpret_cast<const char*>(bytes);
    size_t value_offset = 0;
    size_t value_length = 0;
    if (out.text.on) {
        StreamCursor& text = out.text.cursor;
        char* at = new_line(room(text, 16 + name_length + 2), out.text.depth);
        at = copy(at, member.name, name_length);
        text.at = copy(at, ": ");
        value_offset = cursor_offset(text);
        put_value(out, text, member, bytes, count);
        value_length = cursor_offset(text) - value_offset;
    }
    const size_t string_length = string ? strnlen(string_bytes, count < 256 ? count : 256) : 0;
    if (!out.xml.on) {
        char escaped[6 * 256];
        const size_t escaped_length =
            string ? static_cast<size_t>(write_xml_escaped(escaped, string_bytes, string_length) -
                                         escaped)
                   : value_length;
        out.xml.skipped += line_length(out.xml.depth) + 14 + name_length + 9 + escaped_length + 4;
        return;
    }
    StreamCursor& xml = out.xml.cursor;
    char* at = new_line(room(xml, 16 + 14 + name_length + 9), out.xml.depth);
    at = copy(at, "<member name=\"");
    at = copy(at, member.name, name_length);
    xml.at = copy(at, "\" value=\"");
    const size_t xml_value_offset = cursor_offset(xml);
    if (string) {
        xml.at = write_xml_escaped(room(xml, 6 * string_length), string_bytes, string_length);
    } else if (out.text.on) {
        put(xml, text_report.data() + value_offset, value_length);
    } else {
        put_value(out, xml, member, bytes, count);
    }
    if (!out.text.on) {
        const size_t text_value =
            string ? strnlen(string_bytes, count) : cursor_offset(xml) - xml_value_offset;
        out.text.skipped += line_length(out.text.depth) + name_length + 2 + text_value;
    }
    put(xml, "\" />", 4);
}

// An element of a nested structure: its members one level deeper, under the member's name (and
// index, in an array of structures).
void enter_nested(void* context, const MemberRow& member, uint32_t index, uint32_t) {
    Output& out = *static_cast<Output*>(context);
    put_line(out.text, out.text.depth);
    put_name(out.text, member.name);
    put_line(out.xml, out.xml.depth);
    xml(out, "<member name=\"");
    put_name(out.xml, member.name);
    if (member.count > 1) {
        text(out, "[");
        put_number(out.text, index);
        text(out, "]");
        xml(out, "\" index=\"");
        put_number(out.xml, index);
    }
    text(out, ":");
    xml(out, "\">");
    ++out.text.depth;
    ++out.xml.depth;
}

void leave_nested(void* context, const MemberRow&, uint32_t, uint32_t) {
    Output& out = *static_cast<Output*>(context);
    --out.text.depth;
    --out.xml.depth;
    put_line(out.xml, out.xml.depth);
    xml(out, "</member>");
}

// One structure, whole, as the tables describe it: a heading line and its members below.
void write_structure(Output& out, const StructureInfo& info, const void* bytes) {
    put_line(out.text, out.text.depth);
    put_name(out.text, info.name);
    text(out, ":");
    put_line(out.xml, out.xml.depth);
    xml(out, "<structure name=\"");
    put_name(out.xml, info.name);
    xml(out, "\">");
    ++out.text.depth;
    ++out.xml.depth;
    walk_structure(info, bytes, MemberVisitor{&out, write_member, enter_nested, leave_nested});
    --out.text.depth;
    --out.xml.depth;
    put_line(out.xml, out.xml.depth);
    xml(out, "</structure>");
}

void write_chain(Output& out, const StructureChain& chain) {
    for (size_t i = 0; i < chain.size(); ++i) {
        write_structure(out, *chain.structures[i], chain.bytes(i));
    }
}

void set_depths(Output& out, uint32_t text_depth, uint32_t xml_depth) {
    out.text.depth = text_depth;
    out.xml.depth = xml_depth;
}

// ---- A device ----

// A section of a device: "- Title: count" in the text report, <element count="count"> in the
// XML report (without a count when count is negative).
template <size_t T, size_t E>
void open_section(Output& out, const char (&title)[T], const char (&element)[E], int64_t count) {
    text(out, "\n- ");
    text(out, title);
    text(out, ":");
    put_line(out.xml, 4);
    xml(out, "<");
    xml(out, element);
    if (count >= 0) {
        text(out, " ");
        put_number(out.text, static_cast<uint64_t>(count));
        xml(out, " count=\"");
        put_number(out.xml, static_cast<uint64_t>(count));
        xml(out, "\"");
    }
    xml(out, ">");
}

template <size_t E>
void close_section(Output& out, const char (&element)[E]) {
    put_line(out.xml, 4);
    xml(out, "</");
    xml(out, element);
    xml(out, ">");
}

void write_driver_version(Output& out, const VkPhysicalDeviceProperties& properties) {
    const uint32_t version = properties.driverVersion;
    const DriverVersionText decoded = driver_version_text(properties.vendorID, version);
    text(out, "\n- Driver version: ");
    put_name(out.text, decoded.text);
    text(out, " (raw: ");
    put_number(out.text, version);
    text(out, ")");
    xml(out, "\n\t\t\t\t<driver_version decoded=\"");
    put_name(out.xml, decoded.text);
    xml(out, "\" raw=\"");
    put_number(out.xml, version);
    xml(out, "\" />");
}

void write_queue_families(Output& out, const DeviceFacts& facts) {
    open_section(out, "Queue families", "queue_families",
                 static_cast<int64_t>(facts.queue_families.size()));
    for (size_t i = 0; i < facts.queue_families.size(); ++i) {
        const QueueFamilyFacts& family = facts.queue_families[i];
        text(out, "\n\tfamily ");
        put_number(out.text, i);
        text(out, ":");
        xml(out, "\n\t\t\t\t\t<queue_family index=\"");
        put_number(out.xml, i);
        xml(out, "\">");
        set_depths(out, 2, 6);
        write_structure(out, queue_family_properties_info, &family.properties);
        write_chain(out, family.chain);
        xml(out, "\n\t\t\t\t\t</queue_family>");
    }
    report_failure(out, facts.queue_families_failure);
    close_section(out, "queue_families");
}

void write_formats(Output& out, const DeviceFacts& facts) {
    open_section(out, "Formats", "formats", static_cast<int64_t>(facts.formats.size()));
    set_depths(out, 2, 6);
    for (const FormatFacts& format : facts.formats) {
        text(out, "\n\t");
        put_name(out.text, format.info->name);
        text(out, ":");
        xml(out, "\n\t\t\t\t\t<format name=\"");
        put_name(out.xml, format.info->name);
        xml(out, "\">");
        write_structure(out, format_properties_info, &format.properties);
        write_chain(out, format.chain);
        xml(out, "\n\t\t\t\t\t</format>");
    }
    report_failure(out, facts.formats_failure);
    close_section(out, "formats");
}

// An enumeration's value by its name, or as a number where the tables have none.
void put_value_name(Side& side, const ValueNames& names, uint64_t value) {
    if (const char* name = value_name(names, value)) {
        put_name(side, name);
    } else {
        put_number(side, value);
    }
}

// A section of structures of one kind, one each: the tools, the shading rates, the cooperative
// matrices.
template <typename Record, size_t T, size_t E>
void write_structure_list(Output& out, const char (&title)[T], const char (&element)[E],
                          const StructureInfo& info, const std::vector<Record>& records,
                          const char* failure) {
    set_depths(out, 1, 5);
    open_section(out, title, element, static_cast<int64_t>(records.size()));
    for (const Record& record : records) {
        write_structure(out, info, &record);
    }
    report_failure(out, failure);
    close_section(out, element);
}

// An extension as the layers' lists write it, at the depths given.
void write_extension_line(Output& out, size_t number, const VkExtensionProperties& extension,
                          bool deeper) {
    const VulkanName name = vulkan_name(extension.extensionName);
    text(out, "\n\t\t");
    if (deeper) {
        text(out, "\t");
    }
    put_number(out.text, number);
    text(out, "/ ");
    put_name(out.text, name.text);
    text(out, " (spec version: ");
    put_number(out.text, extension.specVersion);
    text(out, ")");
    xml(out, "\n\t\t\t\t\t");
    if (deeper) {
        xml(out, "\t\t");
    }
    xml(out, "<vk_extension name=\"");
    put_escaped_name(out.xml, name);
    xml(out, "\" spec_version=\"");
    put_number(out.xml, extension.specVersion);
    xml(out, "\" />");
}

void write_layer_device_extensions(Output& out, const InstanceFacts& instance,
                                   const DeviceFacts& facts) {
    const size_t count = facts.layer_extensions.size();
    if (count == 0) {
        return;
    }
    open_section(out, "Layer device extensions", "layer_device_extensions",
                 static_cast<int64_t>(count));
    for (size_t i = 0; i < count && i < instance.layers.size(); ++i) {
        const LayerDeviceExtensions& layer = facts.layer_extensions[i];
        const VulkanName name = vulkan_name(instance.layers[i].properties.layerName);
        text(out, "\n\t");
        put_name(out.text, name.text);
        text(out, ": ");
        put_number(out.text, layer.extensions.size());
        xml(out, "\n\t\t\t\t\t<layer name=\"");
        put_escaped_name(out.xml, name);
        xml(out, "\">");
        if (layer.failure != nullptr) {
            set_depths(out, 1, 6);
            error(out, layer.failure);
        } else if (layer.extensions.empty()) {
            xml(out, "\n\t\t\t\t\t\t<vk_extensions num_extensions=\"0\" />");
        } else {
            xml(out, "\n\t\t\t\t\t\t<vk_extensions num_extensions=\"");
            put_number(out.xml, layer.extensions.size());
            xml(out, "\" >");
            for (size_t e = 0; e < layer.extensions.size(); ++e) {
                write_extension_line(out, e + 1, layer.extensions[e], false);
            }
            xml(out, "\n\t\t\t\t\t\t</vk_extensions>");
        }
        xml(out, "\n\t\t\t\t\t</layer>");
    }
    close_section(out, "layer_device_extensions");
}

// ---- Surfaces ----

// A part of a surface: "\t\tTitle: count" and <element count="count">, at the surface's depth.
template <size_t T, size_t E>
void open_surface_part(Output& out, const char (&title)[T], const char (&element)[E],
                       size_t count) {
    text(out, "\n\t\t");
    text(out, title);
    text(out, ": ");
    put_number(out.text, count);
    xml(out, "\n\t\t\t\t\t\t<");
    xml(out, element);
    xml(out, " count=\"");
    put_number(out.xml, count);
    xml(out, "\">");
}

template <size_t E>
void close_surface_part(Output& out, const char (&element)[E]) {
    xml(out, "\n\t\t\t\t\t\t</");
    xml(out, element);
    xml(out, ">");
}

void write_present_support(Output& out, const SurfaceFacts& surface) {
    text(out, "\n\t\tPresent support:");
    for (size_t family = 0; family < surface.present_support.size(); ++family) {
        const unsigned supported = surface.present_support[family] != VK_FALSE ? 1 : 0;
        put_name(out.text, family == 0 ? " family " : ", family ");
        put_number(out.text, family);
        text(out, ": ");
        put_number(out.text, supported);
        xml(out, "\n\t\t\t\t\t\t<present_support family=\"");
        put_number(out.xml, family);
        xml(out, "\" supported=\"");
        put_number(out.xml, supported);
        xml(out, "\" />");
    }
    set_depths(out, 2, 6);
    report_failure(out, surface.present_support_failure);
}

void write_surface(Output& out, const SurfaceFacts& surface) {
    text(out, "\n\t");
    put_name(out.text, surface.extension);
    text(out, ":");
    xml(out, "\n\t\t\t\t\t<surface extension=\"");
    put_name(out.xml, surface.extension);
    xml(out, "\">");
    write_present_support(out, surface);

    xml(out, "\n\t\t\t\t\t\t<capabilities>");
    set_depths(out, 2, 7);
    if (surface.capabilities_read) {
        write_structure(out, surface_capabilities_info, &surface.capabilities);
        write_chain(out, surface.capability_chain);
    }
    report_failure(out, surface.capabilities_failure);
    xml(out, "\n\t\t\t\t\t\t</capabilities>");

    open_surface_part(out, "Formats", "surface_formats", surface.formats.size());
    set_depths(out, 3, 7);
    for (const SurfaceFormatFacts& format : surface.formats) {
        write_structure(out, surface_format_info, &format.format);
        write_chain(out, format.chain);
    }
    report_failure(out, surface.formats_failure);
    close_surface_part(out, "surface_formats");

    open_surface_part(out, "Present modes", "present_modes", surface.present_modes.size());
    for (const uint32_t mode : surface.present_modes) {
        text(out, "\n\t\t\t");
        put_value_name(out.text, present_mode_names, mode);
        xml(out, "\n\t\t\t\t\t\t\t<present_mode name=\"");
        put_value_name(out.xml, present_mode_names, mode);
        xml(out, "\" />");
    }
    report_failure(out, surface.present_modes_failure);
    close_surface_part(out, "present_modes");

    for (const PresentModeFacts& mode : surface.present_mode_capabilities) {
        text(out, "\n\t\tPresent mode ");
        put_value_name(out.text, present_mode_names, mode.mode);
        text(out, ":");
        xml(out, "\n\t\t\t\t\t\t<present_mode_capabilities name=\"");
        put_value_name(out.xml, present_mode_names, mode.mode);
        xml(out, "\">");
        set_depths(out, 3, 7);
        write_chain(out, mode.chain);
        if (mode.failure == nullptr) {
            text(out, "\n\t\t\tCompatible present modes:");
        }
        for (size_t i = 0; i < mode.compatible.size(); ++i) {
            put_name(out.text, i == 0 ? " " : ", ");
            put_value_name(out.text, present_mode_names, mode.compatible[i]);
            xml(out, "\n\t\t\t\t\t\t\t<compatible_present_mode name=\"");
            put_value_name(out.xml, present_mode_names, mode.compatible[i]);
            xml(out, "\" />");
        }
        report_failure(out, mode.failure);
        xml(out, "\n\t\t\t\t\t\t</present_mode_capabilities>");
    }

    if (surface.rectangles_available) {
        open_surface_part(out, "Present rectangles", "present_rectangles",
                          surface.rectangles.size());
        set_depths(out, 3, 7);
        for (const VkRect2D& rectangle : surface.rectangles) {
            write_structure(out, rect_2d_info, &rectangle);
        }
        report_failure(out, surface.rectangles_failure);
        close_surface_part(out, "present_rectangles");
    }
    xml(out, "\n\t\t\t\t\t</surface>");
}

void write_surfaces(Output& out, const DeviceFacts& facts) {
    if (facts.surfaces.empty()) {
        return;
    }
    open_section(out, "Surfaces", "surfaces", static_cast<int64_t>(facts.surfaces.size()));
    for (const SurfaceFacts& surface : facts.surfaces) {
        write_surface(out, surface);
    }
    close_section(out, "surfaces");
}

// ---- The extensions' own lists ----

void write_time_domains(Output& out, const DeviceFacts& facts) {
    if (!facts.time_domains_available) {
        return;
    }
    open_section(out, "Time domains", "time_domains",
                 static_cast<int64_t>(facts.time_domains.size()));
    for (const uint32_t domain : facts.time_domains) {
        text(out, "\n\t");
        put_value_name(out.text, time_domain_names, domain);
        xml(out, "\n\t\t\t\t\t<time_domain name=\"");
        put_value_name(out.xml, time_domain_names, domain);
        xml(out, "\" />");
    }
    set_depths(out, 1, 5);
    report_failure(out, facts.time_domains_failure);
    close_section(out, "time_domains");
}

void write_multisample(Output& out, const DeviceFacts& facts) {
    if (!facts.multisample_available) {
        return;
    }
    open_section(out, "Multisample properties", "multisample_properties",
                 static_cast<int64_t>(facts.multisample.size()));
    for (const MultisampleFacts& multisample : facts.multisample) {
        text(out, "\n\t");
        put_value_name(out.text, sample_count_names, multisample.samples);
        text(out, ":");
        xml(out, "\n\t\t\t\t\t<sample_count name=\"");
        put_value_name(out.xml, sample_count_names, multisample.samples);
        xml(out, "\">");
        set_depths(out, 2, 6);
        write_structure(out, multisample_properties_info, &multisample.properties);
        xml(out, "\n\t\t\t\t\t</sample_count>");
    }
    close_section(out, "multisample_properties");
}

void write_video_profile(Output& out, size_t index, const VideoProfileFacts& profile) {
    text(out, "\n\tprofile ");
    put_number(out.text, index);
    text(out, ":");
    xml(out, "\n\t\t\t\t\t<video_profile index=\"");
    put_number(out.xml, index);
    xml(out, "\">");
    set_depths(out, 2, 6);
    write_structure(out, video_profile_info, &profile.profile);
    write_chain(out, profile.codec_profile);
    write_structure(out, video_capabilities_info, &profile.capabilities);
    write_chain(out, profile.capability_chain);
    for (const VideoFormatFacts& formats : profile.formats) {
        text(out, "\n\t\tFormats for ");
        put_value_name(out.text, image_usage_names, formats.usage);
        text(out, ": ");
        put_number(out.text, formats.formats.size());
        xml(out, "\n\t\t\t\t\t\t<video_formats usage=\"");
        put_value_name(out.xml, image_usage_names, formats.usage);
        xml(out, "\" count=\"");
        put_number(out.xml, formats.formats.size());
        xml(out, "\">");
        set_depths(out, 3, 7);
        for (const VkVideoFormatPropertiesKHR& format : formats.formats) {
            write_structure(out, video_format_properties_info, &format);
        }
        report_failure(out, formats.failure);
        xml(out, "\n\t\t\t\t\t\t</video_formats>");
    }
    xml(out, "\n\t\t\t\t\t</video_profile>");
}

void write_video(Output& out, const DeviceFacts& facts) {
    if (!facts.video_available) {
        return;
    }
    text(out, "\n- Video profiles: ");
    put_number(out.text, facts.video_profiles.size());
    text(out, " (of ");
    put_number(out.text, facts.video_profiles_tried);
    text(out, " tried)");
    xml(out, "\n\t\t\t\t<video_profiles count=\"");
    put_number(out.xml, facts.video_profiles.size());
    xml(out, "\" tried=\"");
    put_number(out.xml, facts.video_profiles_tried);
    xml(out, "\">");
    for (size_t i = 0; i < facts.video_profiles.size(); ++i) {
        write_video_profile(out, i, facts.video_profiles[i]);
    }
    close_section(out, "video_profiles");
}

// For each memory type, the tilings and formats of the images it can hold.
void write_memory_images(Output& out, const DeviceFacts& facts) {
    if (!facts.memory_images_available) {
        return;
    }
    const uint32_t types = facts.memory.memoryTypeCount < VK_MAX_MEMORY_TYPES
                               ? facts.memory.memoryTypeCount
                               : VK_MAX_MEMORY_TYPES;
    open_section(out, "Memory types can hold", "memory_type_images", -1);
    for (uint32_t type = 0; type < types; ++type) {
        text(out, "\n\tmemoryTypes[");
        put_number(out.text, type);
        text(out, "]:");
        xml(out, "\n\t\t\t\t\t<memory_type index=\"");
        put_number(out.xml, type);
        xml(out, "\">");
        VkImageTiling tiling = VK_IMAGE_TILING_MAX_ENUM;
        for (const MemoryImageFacts& image : facts.memory_images) {
            if ((image.memory_types & (1u << type)) == 0) {
                continue;
            }
            put_name(out.text, image.tiling == tiling ? ", " : "\n\t\t");
            if (image.tiling != tiling) {
                put_value_name(out.text, image_tiling_names, image.tiling);
                text(out, ": ");
                tiling = image.tiling;
            }
            put_value_name(out.text, format_names, static_cast<uint32_t>(image.format));
            xml(out, "\n\t\t\t\t\t\t<image tiling=\"");
            put_value_name(out.xml, image_tiling_names, image.tiling);
            xml(out, "\" format=\"");
            put_value_name(out.xml, format_names, static_cast<uint32_t>(image.format));
            xml(out, "\" />");
        }
        xml(out, "\n\t\t\t\t\t</memory_type>");
    }
    set_depths(out, 1, 5);
    report_failure(out, facts.memory_images_failure);
    close_section(out, "memory_type_images");
}

// Everything the complete report adds after the tools.
void write_further_facts(Output& out, const InstanceFacts& instance, const DeviceFacts& facts) {
    write_layer_device_extensions(out, instance, facts);
    write_surfaces(out, facts);
    write_time_domains(out, facts);
    if (facts.shading_rates_available) {
        write_structure_list(out, "Fragment shading rates", "fragment_shading_rates",
                             fragment_shading_rate_info, facts.shading_rates,
                             facts.shading_rates_failure);
    }
    write_multisample(out, facts);
    if (facts.cooperative_matrices_available) {
        write_structure_list(out, "Cooperative matrices", "cooperative_matrices",
                             cooperative_matrix_nv_info, facts.cooperative_matrices,
                             facts.cooperative_matrices_failure);
    }
    write_video(out, facts);
    write_memory_images(out, facts);
}

void write_device_facts(Output& out, const InstanceFacts& instance, const DeviceFacts& facts) {
    xml(out, "\n\t\t\t<device_details>");
    write_driver_version(out, facts.properties);
    report_failure(out, facts.extensions_failure);

    set_depths(out, 1, 5);
    open_section(out, "Properties", "properties", -1);
    write_structure(out, physical_device_properties_info, &facts.properties);
    write_chain(out, facts.property_chain);
    report_failure(out, facts.property_chain_failure);
    close_section(out, "properties");

    open_section(out, "Features", "features", -1);
    if (facts.features_read) {
        write_structure(out, physical_device_features_info, &facts.features);
    }
    write_chain(out, facts.feature_chain);
    report_failure(out, facts.feature_chain_failure);
    close_section(out, "features");

    write_queue_families(out, facts);

    set_depths(out, 1, 5);
    open_section(out, "Memory", "memory", -1);
    if (facts.memory_read) {
        write_structure(out, memory_properties_info, &facts.memory);
    } else {
        error(out, "vkGetPhysicalDeviceMemoryProperties is missing");
    }
    write_chain(out, facts.memory_chain);
    close_section(out, "memory");

    write_formats(out, facts);

    if (facts.tools_available) {
        write_structure_list(out, "Tools", "tools", tool_properties_info, facts.tools,
                             facts.tools_failure);
    }
    write_further_facts(out, instance, facts);
    xml(out, "\n\t\t\t</device_details>");
}

// ---- The instance ----

void write_layer_extensions(Output& out, const LayerFacts& layer) {
    if (layer.extensions_failure != nullptr) {
        error(out, layer.extensions_failure);
        return;
    }
    const size_t count = layer.extensions.size();
    text(out, "\n\tLayer extensions: ");
    put_number(out.text, count);
    if (count == 0) {
        xml(out, "\n\t\t\t\t<vk_extensions num_extensions=\"0\" />");
        return;
    }
    xml(out, "\n\t\t\t\t<vk_extensions num_extensions=\"");
    put_number(out.xml, count);
    xml(out, "\" >");
    for (size_t i = 0; i < count; ++i) {
        const VulkanName name = vulkan_name(layer.extensions[i].extensionName);
        const uint32_t spec_version = layer.extensions[i].specVersion;
        text(out, "\n\t\t");
        put_number(out.text, i + 1);
        text(out, "/ ");
        put_name(out.text, name.text);
        text(out, " (spec version: ");
        put_number(out.text, spec_version);
        text(out, ")");
        xml(out, "\n\t\t\t\t\t<vk_extension name=\"");
        put_escaped_name(out.xml, name);
        xml(out, "\" spec_version=\"");
        put_number(out.xml, spec_version);
        xml(out, "\" />");
    }
    xml(out, "\n\t\t\t\t</vk_extensions>");
}

void write_layers(Output& out, const InstanceFacts& facts) {
    const size_t count = facts.layers.size();
    text(out, "\nInstance layers: ");
    put_number(out.text, count);
    xml(out, "\n\t\t<layers count=\"");
    put_number(out.xml, count);
    xml(out, "\">");
    for (size_t i = 0; i < count; ++i) {
        const VkLayerProperties& layer = facts.layers[i].properties;
        const VulkanName name = vulkan_name(layer.layerName);
        const VulkanName description = vulkan_name(layer.description);
        const VersionText spec_version = version_text(layer.specVersion);
        text(out, "\n- ");
        put_number(out.text, i + 1);
        text(out, "/ ");
        put_name(out.text, name.text);
        text(out, " (spec version: ");
        put_name(out.text, spec_version.text);
        text(out, ", implementation version: ");
        put_number(out.text, layer.implementationVersion);
        text(out, ")\n\t");
        put_name(out.text, description.text);
        xml(out, "\n\t\t\t<layer name=\"");
        put_escaped_name(out.xml, name);
        xml(out, "\" spec_version=\"");
        put_name(out.xml, spec_version.text);
        xml(out, "\" implementation_version=\"");
        put_number(out.xml, layer.implementationVersion);
        xml(out, "\" description=\"");
        put_escaped_name(out.xml, description);
        xml(out, "\">");
        write_layer_extensions(out, facts.layers[i]);
        xml(out, "\n\t\t\t</layer>");
    }
    report_failure(out, facts.layers_failure);
    xml(out, "\n\t\t</layers>");
}

// Which window systems gave a surface, and why the others did not: one line of text.
void write_window_systems(Output& out, const InstanceFacts& facts) {
    const InstanceSurfaces& surfaces = facts.surfaces;
    text(out, "\nSurfaces: ");
    if (surfaces.made.empty()) {
        text(out, "none");
    }
    xml(out, "\n\t\t<window_systems>");
    for (size_t i = 0; i < surfaces.made.size(); ++i) {
        if (i != 0) {
            text(out, ", ");
        }
        put_name(out.text, surfaces.made[i].extension);
        xml(out, "\n\t\t\t<window_system extension=\"");
        put_name(out.xml, surfaces.made[i].extension);
        xml(out, "\" reachable=\"1\" />");
    }
    for (size_t i = 0; i < surfaces.unreachable.size(); ++i) {
        const UnreachableSystem& system = surfaces.unreachable[i];
        put_name(out.text, i == 0 ? "; not reachable: " : ", ");
        put_name(out.text, system.extension);
        text(out, " (");
        put_name(out.text, system.why);
        text(out, ")");
        xml(out, "\n\t\t\t<window_system extension=\"");
        put_name(out.xml, system.extension);
        xml(out, "\" reachable=\"0\" why=\"");
        put_name(out.xml, system.why);
        xml(out, "\" />");
    }
    xml(out, "\n\t\t</window_systems>");
}

// The devices in the order the devices section reported them: listing them again would cost the
// loader as much as the first time.
std::vector<VkPhysicalDevice> reported_devices;

// The number the devices section gave a device (from 1), or 0 for a handle it did not report.
unsigned device_number(VkPhysicalDevice device) {
    for (size_t i = 0; i < reported_devices.size(); ++i) {
        if (reported_devices[i] == device) {
            return static_cast<unsigned>(i + 1);
        }
    }
    return 0;
}

}  // namespace

void report_complete_groups(const InstanceFacts& facts) {
    Output out = open_output();
    const size_t count = facts.groups.size();
    text(out, "\nDevice groups: ");
    put_number(out.text, count);
    xml(out, "\n\t<device_groups count=\"");
    put_number(out.xml, count);
    xml(out, "\">");
    for (size_t i = 0; i < count; ++i) {
        const VkPhysicalDeviceGroupProperties& group = facts.groups[i];
        // The array has room for VK_MAX_DEVICE_GROUP_SIZE; a larger count is not believed.
        const uint32_t members = group.physicalDeviceCount < VK_MAX_DEVICE_GROUP_SIZE
                                     ? group.physicalDeviceCount
                                     : VK_MAX_DEVICE_GROUP_SIZE;
        const unsigned subset = group.subsetAllocation != VK_FALSE ? 1 : 0;
        text(out, "\n- ");
        put_number(out.text, i + 1);
        text(out, "/ subset allocation: ");
        put_number(out.text, subset);
        text(out, ", devices:");
        xml(out, "\n\t\t<device_group subset_allocation=\"");
        put_number(out.xml, subset);
        xml(out, "\">");
        for (uint32_t d = 0; d < members; ++d) {
            const unsigned number = device_number(group.physicalDevices[d]);
            text(out, " ");
            put_number(out.text, number);
            xml(out, "\n\t\t\t<group_device number=\"");
            put_number(out.xml, number);
            xml(out, "\" />");
        }
        xml(out, "\n\t\t</device_group>");
    }
    report_failure(out, facts.groups_failure);
    xml(out, "\n\t</device_groups>");
    text(out, "\n");
    close_output(out);
}

void report_complete_instance(const InstanceFacts& facts) {
    Output out = open_output();
    const VersionText loader_version = version_text(facts.setup.loader_version);
    const VersionText api_version = version_text(facts.setup.api_version);
    const bool properties2 = facts.setup.properties2_extension;
    text(out, "\n\nLoader instance version: ");
    put_name(out.text, loader_version.text);
    text(out, "\nInstance API version: ");
    put_name(out.text, api_version.text);
    if (properties2) {
        text(out, " (with VK_KHR_get_physical_device_properties2)");
    }
    xml(out, "\n\n\t<instance_details loader_version=\"");
    put_name(out.xml, loader_version.text);
    xml(out, "\" api_version=\"");
    put_name(out.xml, api_version.text);
    xml(out, "\" properties2_extension=\"");
    put_name(out.xml, properties2 ? "1" : "0");
    xml(out, "\">");
    write_layers(out, facts);
    write_window_systems(out, facts);
    reported_devices.clear();
    xml(out, "\n\t</instance_details>");
    close_output(out);
}

void report_complete_device(void* context, VkPhysicalDevice device,
                            const std::vector<VkExtensionProperties>* extensions) {
    reported_devices.push_back(device);
    DeviceFacts facts;
    const InstanceFacts& instance = *static_cast<const InstanceFacts*>(context);
    query_device(instance, device, facts, extensions);
    Output out = open_output();
    write_device_facts(out, instance, facts);
    close_output(out);
}
