#include "registry/walk.h"

#include <charconv>
#include <cinttypes>
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

// A LUID is meaningful only when the member named like it with "Valid" after it is true.
bool luid_valid(const StructureInfo& structure, const MemberRow& member,
                const unsigned char* base) {
    char valid_name[64];
    snprintf(valid_name, sizeof valid_name, "%sValid", member.name);
    const MemberRow* valid = find_member(structure, valid_name);
    return valid == nullptr || element_unsigned(*valid, base + valid->offset) != 0;
}

void append_hex(std::string& out, uint64_t value) {
    char text[24];
    snprintf(text, sizeof text, "0x%" PRIx64, value);
    out += text;
}

void append_flags_text(std::string& out, const MemberRow& member, uint64_t value) {
    if (value == 0) {
        out += '0';
        return;
    }
    uint64_t unnamed = value;
    bool first = true;
    uint32_t index = 0;
    while (const ValueName* bit = next_set_bit(member, value, index)) {
        out += first ? "" : " | ";
        out += bit->name;
        unnamed &= ~bit->value;
        first = false;
    }
    if (unnamed != 0) {
        out += first ? "" : " | ";
        append_hex(out, unnamed);
    }
}

void append_uuid_text(std::string& out, const unsigned char* bytes, uint32_t count) {
    char text[4];
    for (uint32_t i = 0; i < count; ++i) {
        if (count == VK_UUID_SIZE && (i == 4 || i == 6 || i == 8 || i == 10)) {
            out += '-';
        }
        snprintf(text, sizeof text, "%02x", bytes[i]);
        out += text;
    }
}

}  // namespace

const ValueName* next_set_bit(const MemberRow& member, uint64_t value, uint32_t& index) {
    for (; member.names != nullptr && index < member.names->count; ++index) {
        const ValueName& bit = member.names->values[index];
        if (bit.value != 0 && (bit.value & (bit.value - 1)) == 0 && (value & bit.value) != 0) {
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

void append_float_text(std::string& out, float value) {
    char text[32];
    const std::to_chars_result result = std::to_chars(text, text + sizeof text, value);
    out.append(text, static_cast<size_t>(result.ptr - text));
}

void append_element_text(std::string& out, const MemberRow& member, const unsigned char* element) {
    if (member.kind == MemberKind::Float) {
        append_float_text(out, load<float>(element));
        return;
    }
    const uint64_t value = element_unsigned(member, element);
    switch (member.kind) {
        case MemberKind::Int32:
        case MemberKind::Int64:
            out += std::to_string(element_signed(member, element));
            return;
        case MemberKind::Enum: {
            const char* name = member.names != nullptr ? value_name(*member.names, value) : nullptr;
            if (name != nullptr) {
                out += name;
            } else {
                out += std::to_string(static_cast<int32_t>(static_cast<uint32_t>(value)));
            }
            return;
        }
        case MemberKind::Flags:
        case MemberKind::Flags64:
            append_flags_text(out, member, value);
            return;
        default:
            out += std::to_string(value);
            return;
    }
}

void append_member_text(std::string& out, const MemberRow& member, const unsigned char* bytes,
                        uint32_t count) {
    switch (member.kind) {
        case MemberKind::String:
            out.append(reinterpret_cast<const char*>(bytes),
                       strnlen(reinterpret_cast<const char*>(bytes), count));
            return;
        case MemberKind::Uuid:
        case MemberKind::Luid:
            append_uuid_text(out, bytes, count);
            return;
        default:
            break;
    }
    if (member.count == 1) {
        append_element_text(out, member, bytes);
        return;
    }
    out += '[';
    for (uint32_t i = 0; i < count; ++i) {
        out += i == 0 ? "" : ", ";
        append_element_text(out, member, bytes + i * element_size(member));
    }
    out += ']';
}
