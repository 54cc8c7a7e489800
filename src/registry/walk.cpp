#include "registry/walk.h"

#include <charconv>
#include <cstdio>
#include <cstring>

namespace {

template <typename T>
T load(const unsigned char* element) {
    T value;
    memcpy(&value, element, sizeof value);
    return value;
}

bool is_signed(MemberKind kind) {
    return kind == MemberKind::Int32 || kind == MemberKind::Int64;
}

}  // namespace

bool luid_valid(const StructureInfo& structure, const MemberRow& member, const void* bytes) {
    char valid_name[64];
    snprintf(valid_name, sizeof valid_name, "%sValid", member.name);
    const MemberRow* valid = find_member(structure, valid_name);
    return valid == nullptr ||
           element_unsigned(*valid, static_cast<const unsigned char*>(bytes) + valid->offset) != 0;
}

const ValueName* next_set_bit(const MemberRow& member, uint64_t value, uint32_t& index) {
    if (value == 0 || member.names == nullptr) {
        return nullptr;
    }
    for (; index < member.names->count; ++index) {
        const ValueName& bit = member.names->values[index];
        if ((value & bit.value) != 0 && (bit.value & (bit.value - 1)) == 0) {
            ++index;
            return &bit;
        }
    }
    return nullptr;
}

size_t element_size(const MemberRow& member) {
    switch (member.kind) {
        case MemberKind::Int64:
        case MemberKind::Uint64:
        case MemberKind::Flags64:
            return 8;
        case MemberKind::Size:
            return sizeof(size_t);
        case MemberKind::Uint8:
        case MemberKind::String:
        case MemberKind::Uuid:
        case MemberKind::Luid:
            return 1;
        case MemberKind::Structure:
            return 0;
        default:
            return 4;
    }
}

uint64_t element_unsigned(const MemberRow& member, const unsigned char* element) {
    switch (element_size(member)) {
        case 8:
            return load<uint64_t>(element);
        case 4:
            if (member.kind == MemberKind::Float) {
                // Converting a float outside the range is undefined: it saturates instead.
                const float value = load<float>(element);
                if (!(value > 0.0f)) {
                    return 0;
                }
                return value < 18446744073709551616.0f ? static_cast<uint64_t>(value) : UINT64_MAX;
            }
            return is_signed(member.kind) ? static_cast<uint64_t>(load<int32_t>(element))
                                          : load<uint32_t>(element);
        case 1:
            return element[0];
        default:
            return 0;
    }
}

int64_t element_signed(const MemberRow& member, const unsigned char* element) {
    if (member.kind == MemberKind::Int32) {
        return load<int32_t>(element);
    }
    return static_cast<int64_t>(element_unsigned(member, element));
}

double element_float(const MemberRow& member, const unsigned char* element) {
    if (member.kind == MemberKind::Float) {
        return static_cast<double>(load<float>(element));
    }
    if (is_signed(member.kind)) {
        return static_cast<double>(element_signed(member, element));
    }
    return static_cast<double>(element_unsigned(member, element));
}

uint32_t member_element_count(const StructureInfo& structure, const MemberRow& member,
                              const void* bytes) {
    if (member.count_member < 0) {
        return member.count;
    }
    const MemberRow& counter = structure.members[member.count_member];
    const uint64_t valid =
        element_unsigned(counter, static_cast<const unsigned char*>(bytes) + counter.offset);
    return valid < member.count ? static_cast<uint32_t>(valid) : member.count;
}

void walk_structure(const StructureInfo& structure, const void* bytes,
                    const MemberVisitor& visitor) {
    const unsigned char* base = static_cast<const unsigned char*>(bytes);
    for (uint32_t m = 0; m < structure.member_count; ++m) {
        const MemberRow& member = structure.members[m];
        const uint32_t count = member_element_count(structure, member, bytes);
        if (member.kind == MemberKind::Luid && !luid_valid(structure, member, base)) {
            continue;
        }
        if (member.kind != MemberKind::Structure) {
            if (visitor.value != nullptr) {
                visitor.value(visitor.context, member, base + member.offset, count);
            }
            continue;
        }
        for (uint32_t i = 0; i < count; ++i) {
            if (visitor.enter != nullptr) {
                visitor.enter(visitor.context, member, i, count);
            }
            walk_structure(*member.nested, base + member.offset + i * member.nested->size, visitor);
            if (visitor.leave != nullptr) {
                visitor.leave(visitor.context, member, i, count);
            }
        }
    }
}

namespace {

// The most bytes one number takes: "-9223372036854775808", "18446744073709551615".
constexpr size_t most_number_length = 20;
// The shortest form of a float: "-1.1754944e-38", "nan", "-inf".
constexpr size_t most_float_length = 24;

// "0x" and the digits in lower case, as printf's "0x%" PRIx64 writes them.
void put_hex(StreamCursor& out, uint64_t value) {
    char* at = room(out, 2 + 16);
    *at++ = '0';
    *at++ = 'x';
    out.at = std::to_chars(at, at + 16, value, 16).ptr;
}

// The bits of the value named in the table's order, then those without a name in hex. Each bit
// has one name in a table (a test holds it), so the names stop once every bit is named.
void put_flags_text(StreamCursor& out, const MemberRow& member, uint64_t value) {
    if (value == 0) {
        put_char(out, '0');
        return;
    }
    uint64_t unnamed = value;
    uint32_t index = 0;
    while (const ValueName* bit = next_set_bit(member, unnamed, index)) {
        if (unnamed != value) {
            put(out, " | ", 3);
        }
        put(out, bit->name);
        unnamed &= ~bit->value;
    }
    if (unnamed != 0) {
        if (unnamed != value) {
            put(out, " | ", 3);
        }
        put_hex(out, unnamed);
    }
}

void put_uuid_text(StreamCursor& out, const unsigned char* bytes, uint32_t count) {
    static const char digits[] = "0123456789abcdef";
    char* at = room(out, 3 * size_t{count});
    for (uint32_t i = 0; i < count; ++i) {
        if (count == VK_UUID_SIZE && (i == 4 || i == 6 || i == 8 || i == 10)) {
            *at++ = '-';
        }
        *at++ = digits[bytes[i] >> 4];
        *at++ = digits[bytes[i] & 0xF];
    }
    out.at = at;
}

template <typename Number>
void put_number(StreamCursor& out, Number value) {
    char* at = room(out, most_number_length);
    out.at = std::to_chars(at, at + most_number_length, value).ptr;
}

void put_element_text(StreamCursor& out, const MemberRow& member, const unsigned char* element) {
    if (member.kind == MemberKind::Float) {
        put_float_text(out, load<float>(element));
        return;
    }
    const uint64_t value = element_unsigned(member, element);
    switch (member.kind) {
        case MemberKind::Int32:
        case MemberKind::Int64:
            put_number(out, element_signed(member, element));
            return;
        case MemberKind::Enum: {
            const char* name = member.names != nullptr ? value_name(*member.names, value) : nullptr;
            if (name != nullptr) {
                put(out, name);
            } else {
                put_number(out, static_cast<int32_t>(static_cast<uint32_t>(value)));
            }
            return;
        }
        case MemberKind::Flags:
        case MemberKind::Flags64:
            put_flags_text(out, member, value);
            return;
        default:
            put_number(out, value);
            return;
    }
}

// Appends to a string through a cursor.
template <typename Put>
void append_through_cursor(std::string& out, Put put_text) {
    StreamCursor cursor = open_cursor(out);
    put_text(cursor);
    close_cursor(cursor);
}

}  // namespace

void put_float_text(StreamCursor& out, float value) {
    char* at = room(out, most_float_length);
    out.at = std::to_chars(at, at + most_float_length, value).ptr;
}

void append_float_text(std::string& out, float value) {
    append_through_cursor(out, [value](StreamCursor& cursor) { put_float_text(cursor, value); });
}

void append_element_text(std::string& out, const MemberRow& member, const unsigned char* element) {
    append_through_cursor(out, [&member, element](StreamCursor& cursor) {
        put_element_text(cursor, member, element);
    });
}

void append_member_text(std::string& out, const MemberRow& member, const unsigned char* bytes,
                        uint32_t count) {
    append_through_cursor(
        out, [&](StreamCursor& cursor) { put_member_text(cursor, member, bytes, count); });
}

void put_member_text(StreamCursor& out, const MemberRow& member, const unsigned char* bytes,
                     uint32_t count) {
    switch (member.kind) {
        case MemberKind::String:
            put(out, reinterpret_cast<const char*>(bytes),
                strnlen(reinterpret_cast<const char*>(bytes), count));
            return;
        case MemberKind::Uuid:
        case MemberKind::Luid:
            put_uuid_text(out, bytes, count);
            return;
        default:
            break;
    }
    if (member.count == 1) {
        put_element_text(out, member, bytes);
        return;
    }
    put_char(out, '[');
    for (uint32_t i = 0; i < count; ++i) {
        if (i != 0) {
            put(out, ", ", 2);
        }
        put_element_text(out, member, bytes + i * element_size(member));
    }
    put_char(out, ']');
}
