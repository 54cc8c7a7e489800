#include "views/complete.h"

#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "registry/walk.h"
#include "report/report.h"

namespace {

// The complete report has thousands of short pieces, so they are appended as they are rather
// than formatted with printf, which would cost more than the rest of the run.
void put_text(const char* text) {
    append_text_bytes(text, strlen(text));
}

void put_xml(const char* text) {
    append_xml_bytes(text, strlen(text));
}

// A new line indented by depth tabs (at most 15).
const char new_lines[] = "\n\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t";

size_t indent(uint32_t depth) {
    return 1 + (depth < 15 ? depth : 15);
}

void text_line(uint32_t depth) {
    append_text_bytes(new_lines, indent(depth));
}

void xml_line(uint32_t depth) {
    append_xml_bytes(new_lines, indent(depth));
}

void put_number(void (*put)(const char*, size_t), uint64_t value) {
    char digits[24];
    const std::to_chars_result end = std::to_chars(digits, digits + sizeof digits, value);
    put(digits, static_cast<size_t>(end.ptr - digits));
}

// Where the walk writes: the depth of the members in each report, and the value of the member
// at hand, formatted once for both.
struct Layout {
    uint32_t text_depth;
    uint32_t xml_depth;
    std::string value;
};

void write_member(void* context, const MemberRow& member, const unsigned char* bytes,
                  uint32_t count) {
    Layout& layout = *static_cast<Layout*>(context);
    layout.value.clear();
    append_member_text(layout.value, member, bytes, count);
    text_line(layout.text_depth);
    put_text(member.name);
    put_text(": ");
    append_text_bytes(layout.value.data(), layout.value.size());
    xml_line(layout.xml_depth);
    put_xml("<member name=\"");
    put_xml(member.name);
    put_xml("\" value=\"");
    // Only strings come from the driver; names and numbers need no escaping.
    if (member.kind == MemberKind::String) {
        put_xml(xml_escaped(vulkan_name(layout.value.data(), layout.value.size())).text);
    } else {
        append_xml_bytes(layout.value.data(), layout.value.size());
    }
    put_xml("\" />");
}

// An element of a nested structure: its members one level deeper, under the member's name (and
// index, in an array of structures).
void enter_nested(void* context, const MemberRow& member, uint32_t index, uint32_t) {
    Layout& layout = *static_cast<Layout*>(context);
    text_line(layout.text_depth);
    put_text(member.name);
    xml_line(layout.xml_depth);
    put_xml("<member name=\"");
    put_xml(member.name);
    if (member.count > 1) {
        put_text("[");
        put_number(append_text_bytes, index);
        put_text("]");
        put_xml("\" index=\"");
        put_number(append_xml_bytes, index);
    }
    put_text(":");
    put_xml("\">");
    ++layout.text_depth;
    ++layout.xml_depth;
}

void leave_nested(void* context, const MemberRow&, uint32_t, uint32_t) {
    Layout& layout = *static_cast<Layout*>(context);
    --layout.text_depth;
    --layout.xml_depth;
    xml_line(layout.xml_depth);
    put_xml("</member>");
}

// One structure, whole, as the tables describe it: a heading line and its members below.
void write_structure(Layout& layout, const StructureInfo& info, const void* bytes) {
    text_line(layout.text_depth);
    put_text(info.name);
    put_text(":");
    xml_line(layout.xml_depth);
    put_xml("<structure name=\"");
    put_xml(info.name);
    put_xml("\">");
    ++layout.text_depth;
    ++layout.xml_depth;
    walk_structure(info, bytes, MemberVisitor{&layout, write_member, enter_nested, leave_nested});
    --layout.text_depth;
    --layout.xml_depth;
    xml_line(layout.xml_depth);
    put_xml("</structure>");
}

void write_chain(Layout& layout, const StructureChain& chain) {
    for (size_t i = 0; i < chain.size(); ++i) {
        write_structure(layout, *chain.structures[i], chain.bytes(i));
    }
}

void report_failure(const char* failure) {
    if (failure != nullptr) {
        report_error(failure);
    }
}

// A section of a device: "- Title: count" in the text report, <element count="count"> in the
// XML report (without a count when count is negative).
void open_section(const char* title, const char* element, int64_t count) {
    put_text("\n- ");
    put_text(title);
    put_text(":");
    xml_line(4);
    put_xml("<");
    put_xml(element);
    if (count >= 0) {
        put_text(" ");
        put_number(append_text_bytes, static_cast<uint64_t>(count));
        put_xml(" count=\"");
        put_number(append_xml_bytes, static_cast<uint64_t>(count));
        put_xml("\"");
    }
    put_xml(">");
}

void close_section(const char* element) {
    xml_line(4);
    put_xml("</");
    put_xml(element);
    put_xml(">");
}

void write_driver_version(const VkPhysicalDeviceProperties& properties) {
    const DriverVersionText decoded =
        driver_version_text(properties.vendorID, properties.driverVersion);
    append_text("\n- Driver version: %s (raw: %u)", decoded.text, properties.driverVersion);
    append_xml("\n\t\t\t\t<driver_version decoded=\"%s\" raw=\"%u\" />", decoded.text,
               properties.driverVersion);
}

void write_queue_families(Layout& layout, const DeviceFacts& facts) {
    open_section("Queue families", "queue_families",
                 static_cast<int64_t>(facts.queue_families.size()));
    for (size_t i = 0; i < facts.queue_families.size(); ++i) {
        const QueueFamilyFacts& family = facts.queue_families[i];
        append_text("\n\tfamily %u:", static_cast<unsigned>(i));
        append_xml("\n\t\t\t\t\t<queue_family index=\"%u\">", static_cast<unsigned>(i));
        layout.text_depth = 2;
        layout.xml_depth = 6;
        write_structure(layout, queue_family_properties_info, &family.properties);
        write_chain(layout, family.chain);
        put_xml("\n\t\t\t\t\t</queue_family>");
    }
    report_failure(facts.queue_families_failure);
    close_section("queue_families");
}

void write_formats(Layout& layout, const DeviceFacts& facts) {
    open_section("Formats", "formats", static_cast<int64_t>(facts.formats.size()));
    layout.text_depth = 2;
    layout.xml_depth = 6;
    for (const FormatFacts& format : facts.formats) {
        put_text("\n\t");
        put_text(format.info->name);
        put_text(":");
        put_xml("\n\t\t\t\t\t<format name=\"");
        put_xml(format.info->name);
        put_xml("\">");
        write_structure(layout, format_properties_info, &format.properties);
        write_chain(layout, format.chain);
        put_xml("\n\t\t\t\t\t</format>");
    }
    report_failure(facts.formats_failure);
    close_section("formats");
}

void write_device_facts(const DeviceFacts& facts) {
    Layout layout{0, 0, {}};
    put_xml("\n\t\t\t<device_details>");
    write_driver_version(facts.properties);
    report_failure(facts.extensions_failure);

    layout.text_depth = 1;
    layout.xml_depth = 5;
    open_section("Properties", "properties", -1);
    write_structure(layout, physical_device_properties_info, &facts.properties);
    write_chain(layout, facts.property_chain);
    report_failure(facts.property_chain_failure);
    close_section("properties");

    open_section("Features", "features", -1);
    if (facts.features_read) {
        write_structure(layout, physical_device_features_info, &facts.features);
    }
    write_chain(layout, facts.feature_chain);
    report_failure(facts.feature_chain_failure);
    close_section("features");

    write_queue_families(layout, facts);

    layout.text_depth = 1;
    layout.xml_depth = 5;
    open_section("Memory", "memory", -1);
    if (facts.memory_read) {
        write_structure(layout, memory_properties_info, &facts.memory);
    } else {
        report_error("vkGetPhysicalDeviceMemoryProperties is missing");
    }
    write_chain(layout, facts.memory_chain);
    close_section("memory");

    write_formats(layout, facts);

    if (facts.tools_available) {
        layout.text_depth = 1;
        layout.xml_depth = 5;
        open_section("Tools", "tools", static_cast<int64_t>(facts.tools.size()));
        for (const VkPhysicalDeviceToolProperties& tool : facts.tools) {
            write_structure(layout, tool_properties_info, &tool);
        }
        report_failure(facts.tools_failure);
        close_section("tools");
    }
    put_xml("\n\t\t\t</device_details>");
}

void write_layer_extensions(const LayerFacts& layer) {
    if (layer.extensions_failure != nullptr) {
        report_error(layer.extensions_failure);
        return;
    }
    const unsigned count = static_cast<unsigned>(layer.extensions.size());
    append_text("\n\tLayer extensions: %u", count);
    if (count == 0) {
        put_xml("\n\t\t\t\t<vk_extensions num_extensions=\"0\" />");
        return;
    }
    append_xml("\n\t\t\t\t<vk_extensions num_extensions=\"%u\" >", count);
    for (unsigned i = 0; i < count; ++i) {
        const VulkanName name = vulkan_name(layer.extensions[i].extensionName);
        const uint32_t spec_version = layer.extensions[i].specVersion;
        append_text("\n\t\t%u/ %s (spec version: %u)", i + 1, name.text, spec_version);
        append_xml("\n\t\t\t\t\t<vk_extension name=\"%s\" spec_version=\"%u\" />",
                   xml_escaped(name).text, spec_version);
    }
    put_xml("\n\t\t\t\t</vk_extensions>");
}

void write_layers(const InstanceFacts& facts) {
    const unsigned count = static_cast<unsigned>(facts.layers.size());
    append_text("\nInstance layers: %u", count);
    append_xml("\n\t\t<layers count=\"%u\">", count);
    for (unsigned i = 0; i < count; ++i) {
        const VkLayerProperties& layer = facts.layers[i].properties;
        const VulkanName name = vulkan_name(layer.layerName);
        const VulkanName description = vulkan_name(layer.description);
        const VersionText spec_version = version_text(layer.specVersion);
        append_text("\n- %u/ %s (spec version: %s, implementation version: %u)\n\t%s", i + 1,
                    name.text, spec_version.text, layer.implementationVersion, description.text);
        append_xml("\n\t\t\t<layer name=\"%s\" spec_version=\"%s\" implementation_version=\"%u\"",
                   xml_escaped(name).text, spec_version.text, layer.implementationVersion);
        append_xml(" description=\"%s\">", xml_escaped(description).text);
        write_layer_extensions(facts.layers[i]);
        put_xml("\n\t\t\t</layer>");
    }
    report_failure(facts.layers_failure);
    put_xml("\n\t\t</layers>");
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
    const unsigned count = static_cast<unsigned>(facts.groups.size());
    append_text("\nDevice groups: %u", count);
    append_xml("\n\t<device_groups count=\"%u\">", count);
    for (unsigned i = 0; i < count; ++i) {
        const VkPhysicalDeviceGroupProperties& group = facts.groups[i];
        // The array has room for VK_MAX_DEVICE_GROUP_SIZE; a larger count is not believed.
        const uint32_t members = group.physicalDeviceCount < VK_MAX_DEVICE_GROUP_SIZE
                                     ? group.physicalDeviceCount
                                     : VK_MAX_DEVICE_GROUP_SIZE;
        const unsigned subset = group.subsetAllocation != VK_FALSE ? 1 : 0;
        append_text("\n- %u/ subset allocation: %u, devices:", i + 1, subset);
        append_xml("\n\t\t<device_group subset_allocation=\"%u\">", subset);
        for (uint32_t d = 0; d < members; ++d) {
            const unsigned number = device_number(group.physicalDevices[d]);
            append_text(" %u", number);
            append_xml("\n\t\t\t<group_device number=\"%u\" />", number);
        }
        put_xml("\n\t\t</device_group>");
    }
    report_failure(facts.groups_failure);
    put_xml("\n\t</device_groups>");
    append_text("\n");
}

void report_complete_instance(const InstanceFacts& facts) {
    const VersionText loader_version = version_text(facts.setup.loader_version);
    const VersionText api_version = version_text(facts.setup.api_version);
    const unsigned properties2 = facts.setup.properties2_extension ? 1 : 0;
    append_text("\n\nLoader instance version: %s", loader_version.text);
    append_text("\nInstance API version: %s%s", api_version.text,
                properties2 != 0 ? " (with VK_KHR_get_physical_device_properties2)" : "");
    append_xml("\n\n\t<instance_details loader_version=\"%s\" api_version=\"%s\"",
               loader_version.text, api_version.text);
    append_xml(" properties2_extension=\"%u\">", properties2);
    write_layers(facts);
    reported_devices.clear();
    put_xml("\n\t</instance_details>");
}

void report_complete_device(void* context, VkPhysicalDevice device,
                            const std::vector<VkExtensionProperties>* extensions) {
    reported_devices.push_back(device);
    DeviceFacts facts;
    query_device(*static_cast<const InstanceFacts*>(context), device, facts, extensions);
    write_device_facts(facts);
}
