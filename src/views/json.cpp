#include "views/json.h"

#include <algorithm>
#include <charconv>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "query/facts.h"
#include "registry/walk.h"
#include "vulkan/commands.h"
#include "vulkan/instance.h"

ReportStream json_report;

namespace {

// ---- JSON text ----
//
// The document is thousands of short pieces, written through cursors into room made ahead
// (report/cursor.h).

// One object or array being written, indented by two spaces a level. Scalar arrays are written
// on one line.
struct Json {
    StreamCursor* out;
    uint32_t depth;
    bool first;        // nothing written yet in the innermost object or array
    KnownTexts flags;  // the sets of flags written into this part
};

// Text from a driver as a JSON string: quotation mark and backslash escaped, every control byte
// (and DEL) as \u00XX, and bytes that are not UTF-8 replaced by U+FFFD, so that the document is
// valid UTF-8 whatever a driver wrote. Six bytes per byte of text at most, and the quotes.
void put_json_string(StreamCursor& out, const char* text, size_t length) {
    static const char hex[] = "0123456789abcdef";
    const auto* bytes = reinterpret_cast<const unsigned char*>(text);
    char* at = room(out, 6 * length + 2);
    *at++ = '"';
    for (size_t i = 0; i < length;) {
        const unsigned char byte = bytes[i];
        if (byte >= 0x20 && byte < 0x7F && byte != '"' && byte != '\\') {
            *at++ = static_cast<char>(byte);
            ++i;
        } else if (byte == '"' || byte == '\\') {
            *at++ = '\\';
            *at++ = static_cast<char>(byte);
            ++i;
        } else if (byte < 0x80) {
            memcpy(at, "\\u00", 4);
            at[4] = hex[byte >> 4];
            at[5] = hex[byte & 0xF];
            at += 6;
            ++i;
        } else {
            const Utf8Sequence step = utf8_sequence(bytes + i, length - i);
            if (step.valid) {
                memcpy(at, text + i, step.length);
                at += step.length;
            } else {
                memcpy(at, "\xEF\xBF\xBD", 3);
                at += 3;
            }
            i += step.length;
        }
    }
    *at++ = '"';
    out.at = at;
}

void put_json_string(StreamCursor& out, const char* text) {
    put_json_string(out, text, strlen(text));
}

// A name from the registry tables (a member, a structure, an enumerant, a format): an ASCII
// identifier, which needs no escaping.
void put_name(StreamCursor& out, const char* name) {
    const size_t length = strlen(name);
    char* at = room(out, length + 2);
    *at++ = '"';
    memcpy(at, name, length);
    at[length] = '"';
    out.at = at + length + 1;
}

template <typename Integer>
void put_integer(StreamCursor& out, Integer value) {
    char* at = room(out, 24);
    out.at = std::to_chars(at, at + 24, value).ptr;
}

void new_line(Json& json) {
    static const char spaces[] = "                ";
    size_t indent = 2 * static_cast<size_t>(json.depth);
    // Sixteen spaces at a time, copies of a length the compiler knows.
    char* at = room(*json.out, 1 + indent + 16);
    *at++ = '\n';
    json.out->at = at + indent;
    for (; indent > 0; indent -= indent < 16 ? indent : 16) {
        memcpy(at, spaces, 16);
        at += 16;
    }
}

// Starts the next element of the innermost array.
void item(Json& json) {
    if (!json.first) {
        put_char(*json.out, ',');
    }
    new_line(json);
    json.first = false;
}

// Starts the next member of the innermost object; its value follows.
void key(Json& json, const char* name) {
    item(json);
    put_json_string(*json.out, name);
    put(*json.out, ": ", 2);
}

// The same for a name from the registry tables.
void name_key(Json& json, const char* name) {
    item(json);
    put_name(*json.out, name);
    put(*json.out, ": ", 2);
}

void open(Json& json, char bracket) {
    put_char(*json.out, bracket);
    ++json.depth;
    json.first = true;
}

void close(Json& json, char bracket) {
    --json.depth;
    if (!json.first) {
        new_line(json);
    }
    put_char(*json.out, bracket);
    json.first = false;
}

void string_member(Json& json, const char* name, const char* value) {
    key(json, name);
    put_json_string(*json.out, value);
}

void version_member(Json& json, const char* name, uint32_t version) {
    string_member(json, name, version_text(version).text);
}

void string_list(Json& json, const char* name, const std::vector<std::string>& texts) {
    key(json, name);
    open(json, '[');
    for (const std::string& text : texts) {
        item(json);
        put_json_string(*json.out, text.data(), text.size());
    }
    close(json, ']');
}

// ---- Structure members in the schema's forms ----

// The member being written, for the notes on values the schema has no form for.
struct MemberWriter {
    Json* json;
    const char* structures[4];  // the walk's nesting, outermost first, as far as it fits
    uint32_t depth;             // how deep the walk is: 1 in the structure itself
    std::vector<std::string>* omitted;
};

void note(MemberWriter& writer, const MemberRow& member, const char* text) {
    const uint32_t room = sizeof writer.structures / sizeof writer.structures[0];
    const char* structure = writer.structures[(writer.depth < room ? writer.depth : room) - 1];
    writer.omitted->push_back(std::string(structure) + "." + member.name + ": " + text);
}

// Puts the flag bits set in value as an array of their names; returns the bits that have none.
// Each bit has one name in a table, so the names stop once every bit is named.
uint64_t put_flag_names(StreamCursor& out, const MemberRow& member, uint64_t value) {
    uint64_t unnamed = value;
    put_char(out, '[');
    uint32_t index = 0;
    while (const ValueName* bit = next_set_bit(member, unnamed, index)) {
        if (unnamed != value) {
            put(out, ", ", 2);
        }
        put_name(out, bit->name);
        unnamed &= ~bit->value;
    }
    put_char(out, ']');
    return unnamed;
}

// Puts one element in the schema's form; false, with nothing put, when it has none: a float
// that is not finite, an enumeration value without a name.
bool put_element_json(StreamCursor& out, const MemberRow& member, const unsigned char* element,
                      MemberWriter& writer) {
    char text[256];
    switch (member.kind) {
        case MemberKind::Bool32:
            if (element_unsigned(member, element) != 0) {
                put(out, "true", 4);
            } else {
                put(out, "false", 5);
            }
            return true;
        case MemberKind::Int32:
        case MemberKind::Int64:
            put_integer(out, element_signed(member, element));
            return true;
        case MemberKind::Float: {
            const float number = static_cast<float>(element_float(member, element));
            if (!std::isfinite(number)) {
                note(writer, member, "not a finite number");
                return false;
            }
            put_float_text(out, number);
            return true;
        }
        case MemberKind::Enum: {
            const uint64_t value = element_unsigned(member, element);
            const char* name = member.names != nullptr ? value_name(*member.names, value) : nullptr;
            if (name == nullptr) {
                snprintf(text, sizeof text, "%" PRIu64 " has no name in %s", value,
                         member.names != nullptr ? member.names->type_name : "its enumeration");
                note(writer, member, text);
                return false;
            }
            put_name(out, name);
            return true;
        }
        case MemberKind::Flags:
        case MemberKind::Flags64: {
            const uint64_t unnamed = put_flag_names(out, member, element_unsigned(member, element));
            if (unnamed != 0) {
                snprintf(text, sizeof text, "bits 0x%" PRIx64 " have no name in %s", unnamed,
                         member.names != nullptr ? member.names->type_name : "its flags");
                note(writer, member, text);
            }
            return true;
        }
        default:
            put_integer(out, element_unsigned(member, element));
            return true;
    }
}

// A set of flags, copied where this part wrote the same set before (the note on bits without a
// name is made each time).
void put_flags_json(const MemberRow& member, const unsigned char* bytes, MemberWriter& writer) {
    Json& json = *writer.json;
    StreamCursor& out = *json.out;
    const uint64_t value = element_unsigned(member, bytes);
    uint64_t unnamed = 0;
    if (const KnownText* known = find_known_text(json.flags, member.names, value)) {
        put_known_text(out, *known);
        unnamed = known->note;
    } else {
        const size_t offset = cursor_offset(out);
        unnamed = put_flag_names(out, member, value);
        remember_text(json.flags, member.names, value, unnamed, out, offset);
    }
    if (unnamed != 0) {
        char text[256];
        snprintf(text, sizeof text, "bits 0x%" PRIx64 " have no name in %s", unnamed,
                 member.names->type_name);
        note(writer, member, text);
    }
}

bool put_member_json(StreamCursor& out, const MemberRow& member, const unsigned char* bytes,
                     uint32_t count, MemberWriter& writer) {
    if ((member.kind == MemberKind::Flags || member.kind == MemberKind::Flags64) &&
        member.count == 1 && member.names != nullptr) {
        put_flags_json(member, bytes, writer);
        return true;
    }
    if (member.kind == MemberKind::String) {
        // Up to the NUL the array must hold: the schema allows the array's length less one.
        const size_t room = count > 0 ? count - 1 : 0;
        put_json_string(out, reinterpret_cast<const char*>(bytes),
                        strnlen(reinterpret_cast<const char*>(bytes), room));
        return true;
    }
    const bool array =
        member.count > 1 || member.kind == MemberKind::Uuid || member.kind == MemberKind::Luid;
    if (!array) {
        return put_element_json(out, member, bytes, writer);
    }
    put_char(out, '[');
    for (uint32_t i = 0; i < count; ++i) {
        if (i != 0) {
            put(out, ", ", 2);
        }
        if (!put_element_json(out, member, bytes + i * element_size(member), writer)) {
            return false;
        }
    }
    put_char(out, ']');
    return true;
}

void write_member(void* context, const MemberRow& member, const unsigned char* bytes,
                  uint32_t count) {
    MemberWriter& writer = *static_cast<MemberWriter*>(context);
    Json& json = *writer.json;
    const size_t mark = cursor_offset(*json.out);
    const bool first = json.first;
    name_key(json, member.name);
    // A value without a form leaves out the whole member: the schema requires none.
    if (!put_member_json(*json.out, member, bytes, count, writer)) {
        move_cursor_back(*json.out, mark);
        json.first = first;
    }
}

void enter_nested(void* context, const MemberRow& member, uint32_t index, uint32_t) {
    MemberWriter& writer = *static_cast<MemberWriter*>(context);
    Json& json = *writer.json;
    if (index == 0) {
        name_key(json, member.name);
        if (member.count > 1) {
            open(json, '[');
        }
    }
    if (member.count > 1) {
        item(json);
    }
    open(json, '{');
    if (writer.depth < sizeof writer.structures / sizeof writer.structures[0]) {
        writer.structures[writer.depth] = member.nested->name;
    }
    ++writer.depth;
}

void leave_nested(void* context, const MemberRow& member, uint32_t index, uint32_t count) {
    MemberWriter& writer = *static_cast<MemberWriter*>(context);
    --writer.depth;
    close(*writer.json, '}');
    if (member.count > 1 && index + 1 == count) {
        close(*writer.json, ']');
    }
}

// "Name": {members}, the structure under its own name.
void write_structure(Json& json, const StructureInfo& info, const void* bytes,
                     std::vector<std::string>& omitted) {
    name_key(json, info.name);
    open(json, '{');
    MemberWriter writer{&json, {info.name}, 1, &omitted};
    walk_structure(info, bytes, MemberVisitor{&writer, write_member, enter_nested, leave_nested});
    close(json, '}');
}

void write_chain(Json& json, const StructureChain& chain, std::vector<std::string>& omitted) {
    for (size_t i = 0; i < chain.size(); ++i) {
        write_structure(json, *chain.structures[i], chain.bytes(i), omitted);
    }
}

// ---- The device ----

// What the document says of one device beyond its block, under "brisol".
struct DeviceNotes {
    std::vector<std::string> errors;
    std::vector<std::string> omitted;                     // values the schema has no form for
    std::vector<VkExtensionProperties> other_extensions;  // not named by the registry
};

// "name": spec version for each extension, each name once; where keep is given, only the names
// it keeps, the others going to dropped.
void extension_members(Json& json, const std::vector<VkExtensionProperties>& extensions,
                       bool (*keep)(const char*), std::vector<VkExtensionProperties>* dropped) {
    std::vector<VulkanName> names;
    names.reserve(extensions.size());
    for (const VkExtensionProperties& extension : extensions) {
        names.push_back(vulkan_name(extension.extensionName));
    }
    // A name listed again is found next to its first listing among the names sorted, the order
    // of the list kept between equals.
    std::vector<uint32_t> sorted;
    sorted.reserve(names.size());
    std::vector<bool> again(names.size(), false);
    for (uint32_t i = 0; i < names.size(); ++i) {
        if (keep == nullptr || keep(names[i].text)) {
            sorted.push_back(i);
        }
    }
    std::stable_sort(sorted.begin(), sorted.end(), [&names](uint32_t a, uint32_t b) {
        return strcmp(names[a].text, names[b].text) < 0;
    });
    for (size_t k = 1; k < sorted.size(); ++k) {
        again[sorted[k]] = strcmp(names[sorted[k - 1]].text, names[sorted[k]].text) == 0;
    }
    for (uint32_t i = 0; i < names.size(); ++i) {
        if (keep != nullptr && !keep(names[i].text)) {
            dropped->push_back(extensions[i]);
        } else if (!again[i]) {
            key(json, names[i].text);
            put_integer(*json.out, extensions[i].specVersion);
        }
    }
}

void write_extensions(Json& json, const char* name,
                      const std::vector<VkExtensionProperties>& extensions,
                      bool (*keep)(const char*) = nullptr,
                      std::vector<VkExtensionProperties>* dropped = nullptr) {
    key(json, name);
    open(json, '{');
    extension_members(json, extensions, keep, dropped);
    close(json, '}');
}

void write_formats(Json& json, const DeviceFacts& facts, DeviceNotes& notes) {
    key(json, "formats");
    open(json, '{');
    for (const FormatFacts& format : facts.formats) {
        name_key(json, format.info->name);
        open(json, '{');
        write_structure(json, format_properties_info, &format.properties, notes.omitted);
        write_chain(json, format.chain, notes.omitted);
        close(json, '}');
    }
    close(json, '}');
}

// The schema's list of queue families holds each item once: a family equal to an earlier one is
// said under "brisol" instead.
void write_queue_families(Json& json, const DeviceFacts& facts, DeviceNotes& notes) {
    key(json, "queueFamiliesProperties");
    open(json, '[');
    std::vector<std::string> written;
    for (size_t i = 0; i < facts.queue_families.size(); ++i) {
        const QueueFamilyFacts& family = facts.queue_families[i];
        std::string text;
        StreamCursor cursor = open_cursor(text);
        Json one{&cursor, json.depth, true, {}};
        open(one, '{');
        write_structure(one, queue_family_properties_info, &family.properties, notes.omitted);
        write_chain(one, family.chain, notes.omitted);
        close(one, '}');
        close_cursor(cursor);
        size_t same = 0;
        while (same < written.size() && written[same] != text) {
            ++same;
        }
        if (same < written.size()) {
            notes.omitted.push_back("queue family " + std::to_string(i) +
                                    ": the same as an earlier one, which the list holds once");
            continue;
        }
        item(json);
        put(*json.out, text.data(), text.size());
        written.push_back(std::move(text));
    }
    close(json, ']');
}

void write_device_block(Json& json, const char* block, const DeviceFacts& facts,
                        DeviceNotes& notes) {
    key(json, block);
    open(json, '{');
    write_extensions(json, "extensions", facts.extensions, registry_names_extension,
                     &notes.other_extensions);
    key(json, "features");
    open(json, '{');
    if (facts.features_read) {
        write_structure(json, physical_device_features_info, &facts.features, notes.omitted);
    }
    write_chain(json, facts.feature_chain, notes.omitted);
    close(json, '}');
    key(json, "properties");
    open(json, '{');
    if (vulkan.vkGetPhysicalDeviceProperties != nullptr ||
        facts.property_chain_failure == nullptr) {
        write_structure(json, physical_device_properties_info, &facts.properties, notes.omitted);
    } else {
        notes.errors.push_back("vkGetPhysicalDeviceProperties is missing");
    }
    write_chain(json, facts.property_chain, notes.omitted);
    close(json, '}');
    write_formats(json, facts, notes);
    write_queue_families(json, facts, notes);
    close(json, '}');
}

// The device's name reduced to what the schema allows in a profile's name.
std::string name_part(const char* text) {
    std::string part;
    for (const char* c = text; *c != '\0'; ++c) {
        const bool kept =
            (*c >= 'A' && *c <= 'Z') || (*c >= 'a' && *c <= 'z') || (*c >= '0' && *c <= '9');
        if (kept) {
            part += *c;
        } else if (!part.empty() && part.back() != '_') {
            part += '_';
        }
    }
    while (!part.empty() && part.back() == '_') {
        part.pop_back();
    }
    return part;
}

// Says which driver it is: its name and information when the device tells them.
std::string driver_description(uint32_t number, const DeviceFacts& facts) {
    char text[800];
    if (const void* bytes =
            facts.property_chain.find(VK_STRUCTURE_TYPE_PHYSICAL_DEVICE_DRIVER_PROPERTIES)) {
        VkPhysicalDeviceDriverProperties driver;
        memcpy(&driver, bytes, sizeof driver);
        snprintf(text, sizeof text, "Device %u, driver %s (%s), as Brisol read it", number,
                 vulkan_name(driver.driverName).text, vulkan_name(driver.driverInfo).text);
        return text;
    }
    snprintf(text, sizeof text, "Device %u, driver version %u of vendor 0x%04X, as Brisol read it",
             number, facts.properties.driverVersion, facts.properties.vendorID);
    return text;
}

void write_profile(Json& json, const std::string& profile, const std::string& block,
                   uint32_t number, const DeviceFacts& facts) {
    key(json, profile.c_str());
    open(json, '{');
    key(json, "version");
    put_char(*json.out, '1');
    version_member(json, "api-version", facts.properties.apiVersion);
    string_member(json, "label", vulkan_name(facts.properties.deviceName).text);
    string_member(json, "description", driver_description(number, facts).c_str());
    key(json, "capabilities");
    open(json, '[');
    item(json);
    put_json_string(*json.out, block.c_str());
    close(json, ']');
    close(json, '}');
}

// ---- The document ----

// The three parts of the document, each an object written one device after the other, each
// through a cursor while the document is written.
struct Parts {
    std::string capabilities_text;
    std::string profiles_text;
    std::string brisol_text;
    StreamCursor capabilities_cursor = open_cursor(capabilities_text);
    StreamCursor profiles_cursor = open_cursor(profiles_text);
    StreamCursor brisol_cursor = open_cursor(brisol_text);
    Json capabilities{&capabilities_cursor, 1, true, {}};
    Json profiles{&profiles_cursor, 1, true, {}};
    Json brisol{&brisol_cursor, 1, true, {}};
};

size_t written_bytes(const Parts& parts) {
    return cursor_offset(parts.capabilities_cursor) + cursor_offset(parts.profiles_cursor) +
           cursor_offset(parts.brisol_cursor);
}

// ---- What the Profiles schema has no place for, under "brisol" ----

// A value of an enumeration by its name, or as a number where the tables have none.
void put_value_name(Json& json, const ValueNames& names, uint64_t value) {
    if (const char* name = value_name(names, value)) {
        put_name(*json.out, name);
    } else {
        put_integer(*json.out, value);
    }
}

// The same as a member's key: a value without a name as its number in a string.
void value_key(Json& json, const ValueNames& names, uint64_t value) {
    if (const char* name = value_name(names, value)) {
        name_key(json, name);
    } else {
        key(json, std::to_string(value).c_str());
    }
}

// "name": [{"Structure": {...}}, ...], one object a record.
template <typename Record>
void structure_list(Json& json, const char* name, const StructureInfo& info,
                    const std::vector<Record>& records, DeviceNotes& notes) {
    key(json, name);
    open(json, '[');
    for (const Record& record : records) {
        item(json);
        open(json, '{');
        write_structure(json, info, &record, notes.omitted);
        close(json, '}');
    }
    close(json, ']');
}

void note_failure(DeviceNotes& notes, const char* failure) {
    if (failure != nullptr) {
        notes.errors.emplace_back(failure);
    }
}

void write_surface(Json& json, const SurfaceFacts& surface, DeviceNotes& notes) {
    item(json);
    open(json, '{');
    string_member(json, "extension", surface.extension);
    key(json, "presentSupport");
    open(json, '[');
    for (const VkBool32 supported : surface.present_support) {
        item(json);
        if (supported != VK_FALSE) {
            put(*json.out, "true", 4);
        } else {
            put(*json.out, "false", 5);
        }
    }
    close(json, ']');
    key(json, "capabilities");
    open(json, '{');
    if (surface.capabilities_read) {
        write_structure(json, surface_capabilities_info, &surface.capabilities, notes.omitted);
        write_chain(json, surface.capability_chain, notes.omitted);
    }
    close(json, '}');
    key(json, "formats");
    open(json, '[');
    for (const SurfaceFormatFacts& format : surface.formats) {
        item(json);
        open(json, '{');
        write_structure(json, surface_format_info, &format.format, notes.omitted);
        write_chain(json, format.chain, notes.omitted);
        close(json, '}');
    }
    close(json, ']');
    key(json, "presentModes");
    open(json, '[');
    for (const uint32_t mode : surface.present_modes) {
        item(json);
        put_value_name(json, present_mode_names, mode);
    }
    close(json, ']');
    key(json, "presentModeCapabilities");
    open(json, '{');
    for (const PresentModeFacts& mode : surface.present_mode_capabilities) {
        value_key(json, present_mode_names, mode.mode);
        open(json, '{');
        write_chain(json, mode.chain, notes.omitted);
        key(json, "compatiblePresentModes");
        open(json, '[');
        for (const uint32_t compatible : mode.compatible) {
            item(json);
            put_value_name(json, present_mode_names, compatible);
        }
        close(json, ']');
        close(json, '}');
        note_failure(notes, mode.failure);
    }
    close(json, '}');
    if (surface.rectangles_available) {
        structure_list(json, "presentRectangles", rect_2d_info, surface.rectangles, notes);
    }
    close(json, '}');
    for (const char* failure :
         {surface.present_support_failure, surface.capabilities_failure, surface.formats_failure,
          surface.present_modes_failure, surface.rectangles_failure}) {
        note_failure(notes, failure);
    }
}

void write_video_profile(Json& json, const VideoProfileFacts& profile, DeviceNotes& notes) {
    item(json);
    open(json, '{');
    write_structure(json, video_profile_info, &profile.profile, notes.omitted);
    write_chain(json, profile.codec_profile, notes.omitted);
    write_structure(json, video_capabilities_info, &profile.capabilities, notes.omitted);
    write_chain(json, profile.capability_chain, notes.omitted);
    key(json, "formats");
    open(json, '{');
    for (const VideoFormatFacts& formats : profile.formats) {
        value_key(json, image_usage_names, formats.usage);
        open(json, '[');
        for (const VkVideoFormatPropertiesKHR& format : formats.formats) {
            item(json);
            open(json, '{');
            write_structure(json, video_format_properties_info, &format, notes.omitted);
            close(json, '}');
        }
        close(json, ']');
        note_failure(notes, formats.failure);
    }
    close(json, '}');
    close(json, '}');
}

void write_memory_images(Json& json, const DeviceFacts& facts) {
    key(json, "memoryTypeImages");
    open(json, '[');
    const uint32_t types = facts.memory.memoryTypeCount < VK_MAX_MEMORY_TYPES
                               ? facts.memory.memoryTypeCount
                               : VK_MAX_MEMORY_TYPES;
    for (uint32_t type = 0; type < types; ++type) {
        item(json);
        open(json, '[');
        for (const MemoryImageFacts& image : facts.memory_images) {
            if ((image.memory_types & (1u << type)) != 0) {
                item(json);
                open(json, '{');
                key(json, "tiling");
                put_value_name(json, image_tiling_names, image.tiling);
                key(json, "format");
                put_value_name(json, format_names, static_cast<uint32_t>(image.format));
                close(json, '}');
            }
        }
        close(json, ']');
    }
    close(json, ']');
}

// Everything the complete report tells beyond the Profiles document, for one device.
void write_further_facts(Json& json, const InstanceFacts& instance, const DeviceFacts& facts,
                         DeviceNotes& notes) {
    if (facts.tools_available) {
        structure_list(json, "tools", tool_properties_info, facts.tools, notes);
        note_failure(notes, facts.tools_failure);
    }
    key(json, "layerDeviceExtensions");
    open(json, '{');
    for (size_t i = 0; i < facts.layer_extensions.size() && i < instance.layers.size(); ++i) {
        write_extensions(json, vulkan_name(instance.layers[i].properties.layerName).text,
                         facts.layer_extensions[i].extensions);
        note_failure(notes, facts.layer_extensions[i].failure);
    }
    close(json, '}');
    key(json, "surfaces");
    open(json, '[');
    for (const SurfaceFacts& surface : facts.surfaces) {
        write_surface(json, surface, notes);
    }
    close(json, ']');
    if (facts.time_domains_available) {
        key(json, "timeDomains");
        open(json, '[');
        for (const uint32_t domain : facts.time_domains) {
            item(json);
            put_value_name(json, time_domain_names, domain);
        }
        close(json, ']');
        note_failure(notes, facts.time_domains_failure);
    }
    if (facts.shading_rates_available) {
        structure_list(json, "fragmentShadingRates", fragment_shading_rate_info,
                       facts.shading_rates, notes);
        note_failure(notes, facts.shading_rates_failure);
    }
    if (facts.multisample_available) {
        key(json, "multisampleProperties");
        open(json, '{');
        for (const MultisampleFacts& multisample : facts.multisample) {
            value_key(json, sample_count_names, multisample.samples);
            open(json, '{');
            write_structure(json, multisample_properties_info, &multisample.properties,
                            notes.omitted);
            close(json, '}');
        }
        close(json, '}');
    }
    if (facts.cooperative_matrices_available) {
        structure_list(json, "cooperativeMatrices", cooperative_matrix_nv_info,
                       facts.cooperative_matrices, notes);
        note_failure(notes, facts.cooperative_matrices_failure);
    }
    if (facts.video_available) {
        key(json, "videoProfiles");
        open(json, '[');
        for (const VideoProfileFacts& profile : facts.video_profiles) {
            write_video_profile(json, profile, notes);
        }
        close(json, ']');
    }
    if (facts.memory_images_available) {
        write_memory_images(json, facts);
        note_failure(notes, facts.memory_images_failure);
    }
}

void write_device(Parts& parts, uint32_t number, const InstanceFacts& instance,
                  const DeviceFacts& facts) {
    const std::string name = "device_" + std::to_string(number);
    const std::string part = name_part(vulkan_name(facts.properties.deviceName).text);
    const std::string block = part.empty() ? name : name + "_" + part;
    const std::string profile = "VP_BRISOL_" + block;
    DeviceNotes notes;
    write_device_block(parts.capabilities, block.c_str(), facts, notes);
    write_profile(parts.profiles, profile, block, number, facts);

    Json& json = parts.brisol;
    item(json);
    open(json, '{');
    string_member(json, "capabilities", block.c_str());
    string_member(json, "profile", profile.c_str());
    write_further_facts(json, instance, facts, notes);
    for (const char* failure :
         {facts.extensions_failure, facts.property_chain_failure, facts.feature_chain_failure,
          facts.queue_families_failure, facts.formats_failure}) {
        if (failure != nullptr) {
            notes.errors.emplace_back(failure);
        }
    }
    string_list(json, "errors", notes.errors);
    string_list(json, "omitted", notes.omitted);
    write_extensions(json, "otherExtensions", notes.other_extensions);
    close(json, '}');
}

void write_layers(Json& json, const InstanceFacts& facts) {
    key(json, "layers");
    open(json, '[');
    for (const LayerFacts& layer : facts.layers) {
        item(json);
        open(json, '{');
        string_member(json, "layerName", vulkan_name(layer.properties.layerName).text);
        version_member(json, "specVersion", layer.properties.specVersion);
        key(json, "implementationVersion");
        put_integer(*json.out, layer.properties.implementationVersion);
        string_member(json, "description", vulkan_name(layer.properties.description).text);
        write_extensions(json, "instanceExtensions", layer.extensions);
        if (layer.extensions_failure != nullptr) {
            string_list(json, "errors", {layer.extensions_failure});
        }
        close(json, '}');
    }
    close(json, ']');
}

// Which window systems gave a surface, and why the others did not.
void write_window_systems(Json& json, const InstanceFacts& facts) {
    key(json, "windowSystems");
    open(json, '[');
    for (const MadeSurface& made : facts.surfaces.made) {
        item(json);
        open(json, '{');
        string_member(json, "extension", made.extension);
        key(json, "reachable");
        put(*json.out, "true", 4);
        close(json, '}');
    }
    for (const UnreachableSystem& system : facts.surfaces.unreachable) {
        item(json);
        open(json, '{');
        string_member(json, "extension", system.extension);
        key(json, "reachable");
        put(*json.out, "false", 5);
        string_member(json, "why", system.why);
        close(json, '}');
    }
    close(json, ']');
}

void write_devices(Parts& parts, VkInstance instance, const InstanceFacts& facts,
                   std::vector<std::string>& errors) {
    std::vector<VkPhysicalDevice> devices;
    const ListResult listed = read_physical_devices(instance, devices);
    if (listed == ListResult::CountFailed && vulkan.vkEnumeratePhysicalDevices != nullptr) {
        errors.emplace_back("unable to list the physical devices");
    } else if (listed == ListResult::FillFailed) {
        errors.emplace_back("unable to read the physical devices");
    }
    key(parts.brisol, "devices");
    open(parts.brisol, '[');
    DeviceFacts device;
    for (size_t i = 0; i < devices.size(); ++i) {
        // The same bound as the reports': a driver that claims thousands of devices gets a
        // document that ends whole and says what it left out.
        if (written_bytes(parts) > most_report_bytes) {
            errors.emplace_back(
                "the report reached its size limit: the remaining devices were left out");
            break;
        }
        query_device(facts, devices[i], device);
        write_device(parts, static_cast<uint32_t>(i + 1), facts, device);
    }
    close(parts.brisol, ']');
}

void write_vulkan(Parts& parts, const VulkanLoader& loader, std::vector<std::string>& errors) {
    const ModuleHandle handle = loader.bind();
    if (handle == nullptr) {
        return;
    }
    InstanceSetup setup;
    const VkInstance instance = create_complete_instance(setup, true);
    Json& json = parts.brisol;
    version_member(json, "loaderVersion", setup.loader_version);
    std::vector<VkExtensionProperties> extensions;
    if (!list_read(read_instance_extensions(nullptr, extensions))) {
        errors.emplace_back("unable to read the instance extensions");
    }
    write_extensions(json, "instanceExtensions", extensions);
    if (instance == VK_NULL_HANDLE) {
        if (vulkan.vkCreateInstance == nullptr) {
            errors.emplace_back("vkCreateInstance is missing");
        }
        loader.release(handle);
        return;
    }
    version_member(json, "instanceApiVersion", setup.api_version);
    bind_vulkan_commands(instance, setup);
    InstanceFacts facts;
    query_instance(instance, setup, facts);
    write_layers(json, facts);
    if (facts.layers_failure != nullptr) {
        errors.emplace_back(facts.layers_failure);
    }
    write_window_systems(json, facts);
    write_devices(parts, instance, facts, errors);
    release_instance_facts(instance, facts);
    release_vulkan_commands();
    destroy_vulkan_instance(instance);
    loader.release(handle);
}

}  // namespace

void write_json_document(const VulkanLoader& loader) {
    // The lower layers write their failures to both reports, which are not printed: the
    // document takes the messages, and the reports are given back as they were.
    const size_t text_mark = text_report.size();
    const size_t xml_mark = xml_report.size();
    Parts parts;
    std::vector<std::string> errors;
    open(parts.capabilities, '{');
    open(parts.profiles, '{');
    open(parts.brisol, '{');
    write_vulkan(parts, loader, errors);
    for (std::string& error : errors_reported_since(text_mark)) {
        errors.push_back(std::move(error));
    }
    text_report.resize(text_mark);
    xml_report.resize(xml_mark);
    string_list(parts.brisol, "errors", errors);
    close(parts.capabilities, '}');
    close(parts.profiles, '}');
    close(parts.brisol, '}');
    close_cursor(parts.capabilities_cursor);
    close_cursor(parts.profiles_cursor);
    close_cursor(parts.brisol_cursor);

    std::string& out = json_report;
    out.clear();
    out.reserve(written_bytes(parts) + 256);
    out += "{\n  \"$schema\": \"https://schema.khronos.org/vulkan/profiles-0.8.1-";
    out += std::to_string(VK_HEADER_VERSION);
    out += ".json#\",\n  \"brisol\": ";
    out += parts.brisol_text;
    out += ",\n  \"capabilities\": ";
    out += parts.capabilities_text;
    out += ",\n  \"profiles\": ";
    out += parts.profiles_text;
    out += "\n}\n";
}
