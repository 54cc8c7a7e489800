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

void write_device_facts(Output& out, const DeviceFacts& facts) {
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
        set_depths(out, 1, 5);
        open_section(out, "Tools", "tools", static_cast<int64_t>(facts.tools.size()));
        for (const VkPhysicalDeviceToolProperties& tool : facts.tools) {
            write_structure(out, tool_properties_info, &tool);
        }
        report_failure(out, facts.tools_failure);
        close_section(out, "tools");
    }
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
    reported_devices.clear();
    xml(out, "\n\t</instance_details>");
    close_output(out);
}

void report_complete_device(void* context, VkPhysicalDevice device,
                            const std::vector<VkExtensionProperties>* extensions) {
    reported_devices.push_back(device);
    DeviceFacts facts;
    query_device(*static_cast<const InstanceFacts*>(context), device, facts, extensions);
    Output out = open_output();
    write_device_facts(out, facts);
    close_output(out);
}
