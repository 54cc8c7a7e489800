#include "profiles/values.h"

#include <cfloat>
#include <cmath>
#include <cstring>

#include "registry/walk.h"

namespace {

template <typename T>
void store(unsigned char* at, T value) {
    memcpy(at, &value, sizeof value);
}

const char* expected_of(const MemberRow& member) {
    switch (member.kind) {
        case MemberKind::Bool32:
            return "true or false";
        case MemberKind::Enum:
            return "an enumerant name";
        case MemberKind::Flags:
        case MemberKind::Flags64:
            return "an array of bit names";
        case MemberKind::String:
            return "a string";
        default:
            return "a number";
    }
}

bool unsigned_in(const ProfileJson& value, uint64_t most, uint64_t& out) {
    if (!value.is_number_unsigned() || value.get<uint64_t>() > most) {
        return false;
    }
    out = value.get<uint64_t>();
    return true;
}

bool signed_in(const ProfileJson& value, int64_t least, int64_t most, int64_t& out) {
    if (value.is_number_unsigned()) {
        if (value.get<uint64_t>() > static_cast<uint64_t>(most)) {
            return false;
        }
        out = static_cast<int64_t>(value.get<uint64_t>());
        return true;
    }
    if (!value.is_number_integer() || value.get<int64_t>() < least || value.get<int64_t>() > most) {
        return false;
    }
    out = value.get<int64_t>();
    return true;
}

// Stores a JSON number into an element of a numeric kind (or a boolean, an enumeration or flags,
// for a value given as a number). False, with why, when the kind cannot hold it.
bool store_number(const ProfileJson& value, const MemberRow& member, unsigned char* element,
                  std::string& why) {
    int64_t signed_value = 0;
    uint64_t unsigned_value = 0;
    switch (member.kind) {
        case MemberKind::Int32:
        case MemberKind::Enum:
            if (!signed_in(value, INT32_MIN,
                           member.kind == MemberKind::Enum ? UINT32_MAX : INT32_MAX,
                           signed_value)) {
                why = "expected a signed 32-bit integer";
                return false;
            }
            store<uint32_t>(element, static_cast<uint32_t>(signed_value));
            return true;
        case MemberKind::Int64:
            if (!signed_in(value, INT64_MIN, INT64_MAX, signed_value)) {
                why = "expected a signed 64-bit integer";
                return false;
            }
            store<int64_t>(element, signed_value);
            return true;
        case MemberKind::Float:
            if (!value.is_number() || !std::isfinite(value.get<double>()) ||
                std::fabs(value.get<double>()) > FLT_MAX) {
                why = "expected a number within the range of a float";
                return false;
            }
            store<float>(element, static_cast<float>(value.get<double>()));
            return true;
        case MemberKind::Bool32:
            if (!value.is_number()) {
                why = "expected a number";
                return false;
            }
            store<uint32_t>(element, value.get<double>() != 0 ? 1u : 0u);
            return true;
        default:
            break;
    }
    const size_t size = element_size(member);
    const uint64_t most = size == 1 ? UINT8_MAX : size == 4 ? UINT32_MAX : UINT64_MAX;
    if (!unsigned_in(value, most, unsigned_value)) {
        why = "expected an unsigned " + std::to_string(size * 8) + "-bit integer";
        return false;
    }
    if (size == 1) {
        store<uint8_t>(element, static_cast<uint8_t>(unsigned_value));
    } else if (size == 4) {
        store<uint32_t>(element, static_cast<uint32_t>(unsigned_value));
    } else if (size == sizeof(size_t)) {
        store<size_t>(element, static_cast<size_t>(unsigned_value));
    } else {
        store<uint64_t>(element, unsigned_value);
    }
    return true;
}

// A value of another form than the member takes: noted, and what it spells stored when it
// spells one (a number in a string, true or false in a string, null as zero).
void note_unexpected(const ProfileJson& value, const MemberRow& member, unsigned char* element,
                     uint32_t index, const char* expected, MemberValue& out) {
    bool spelled = false;
    std::string why;
    if (value.is_null()) {
        spelled = true;  // the caller zeroed the element
    } else if (value.is_boolean()) {
        spelled = store_number(ProfileJson(value.get<bool>() ? 1u : 0u), member, element, why);
    } else if (value.is_number()) {
        spelled = store_number(value, member, element, why);
    } else if (value.is_string()) {
        const std::string& text = value.get_ref<const std::string&>();
        if (member.kind == MemberKind::Bool32 && (text == "true" || text == "false")) {
            store<uint32_t>(element, text == "true" ? 1u : 0u);
            spelled = true;
        } else {
            const ProfileJson number = ProfileJson::parse(text, nullptr, false);
            spelled = number.is_number() && store_number(number, member, element, why);
        }
    }
    out.notes.push_back(
        {index, ValueForm::Unexpected, false, spelled, described_value(value), expected});
}

// The table a flag bit name is also looked for in: the 64-bit flags repeat the values of the
// 32-bit ones they grew from, and a document may name those (as C code may).
const ValueNames* older_bits(const ValueNames& names) {
    const std::string type = names.type_name;
    const size_t at = type.rfind("FlagBits2");
    if (at == std::string::npos || at + 9 != type.size()) {
        return nullptr;
    }
    return find_value_names(type.substr(0, at + 8).c_str());
}

bool named_value(const MemberRow& member, const std::string& name, uint64_t& value) {
    if (member.names == nullptr || holds_nul(name)) {
        return false;
    }
    if (value_of_name(*member.names, name.c_str(), &value)) {
        return true;
    }
    const ValueNames* older =
        member.kind == MemberKind::Flags64 ? older_bits(*member.names) : nullptr;
    return older != nullptr && value_of_name(*older, name.c_str(), &value);
}

// Flags as the schema writes them: an array of bit names, or one name for a single bit. Bits
// with names the tables do not know are noted; the others are read.
void read_flags(const ProfileJson& value, const MemberRow& member, unsigned char* element,
                uint32_t index, MemberValue& out) {
    const size_t count = value.is_string() ? 1 : value.size();
    uint64_t bits = 0;
    for (size_t i = 0; i < count; ++i) {
        const ProfileJson& name = value.is_string() ? value : value[i];
        uint64_t bit = 0;
        if (!name.is_string()) {
            out.notes.push_back(
                {index, ValueForm::Unexpected, true, false, described_value(name), "a bit name"});
        } else if (named_value(member, name.get_ref<const std::string&>(), bit)) {
            bits |= bit;
        } else {
            out.notes.push_back({index, ValueForm::Unknown, true, false,
                                 name.get_ref<const std::string&>(), nullptr});
        }
    }
    if (member.kind == MemberKind::Flags64) {
        store<uint64_t>(element, bits);
    } else {
        store<uint32_t>(element, static_cast<uint32_t>(bits));
    }
}

void read_element(const ProfileJson& value, const MemberRow& member, unsigned char* element,
                  uint32_t index, MemberValue& out) {
    switch (member.kind) {
        case MemberKind::Bool32:
            if (value.is_boolean()) {
                store<uint32_t>(element, value.get<bool>() ? 1u : 0u);
                return;
            }
            break;
        case MemberKind::Enum: {
            if (!value.is_string()) {
                break;
            }
            uint64_t named = 0;
            if (named_value(member, value.get_ref<const std::string&>(), named)) {
                store<uint32_t>(element, static_cast<uint32_t>(named));
            } else {
                out.notes.push_back({index, ValueForm::Unknown, false, false,
                                     value.get_ref<const std::string&>(), nullptr});
            }
            return;
        }
        case MemberKind::Flags:
        case MemberKind::Flags64:
            if (value.is_string() || value.is_array()) {
                read_flags(value, member, element, index, out);
                return;
            }
            break;
        default:
            if (value.is_number()) {
                if (!store_number(value, member, element, out.text)) {
                    out.valid = false;
                }
                return;
            }
            break;
    }
    note_unexpected(value, member, element, index, expected_of(member), out);
}

}  // namespace

MemberValue read_member_value(const ProfileJson& value, const MemberRow& member,
                              unsigned char* bytes) {
    MemberValue out;
    out.given = 1;
    if (member.kind == MemberKind::String) {
        if (value.is_string()) {
            out.text = value.get_ref<const std::string&>();
            const size_t room = member.count > 0 ? member.count - 1u : 0u;
            memcpy(bytes, out.text.data(), out.text.size() < room ? out.text.size() : room);
        } else {
            out.notes.push_back({0, ValueForm::Unexpected, false, value.is_null(),
                                 described_value(value), "a string"});
        }
        return out;
    }
    if (member.count == 1) {
        read_element(value, member, bytes, 0, out);
        return out;
    }
    if (!value.is_array()) {
        out.given = 0;
        out.notes.push_back({whole_member, ValueForm::Unexpected, false, false,
                             described_value(value), "an array"});
        return out;
    }
    if (value.size() > member.count) {
        out.valid = false;
        out.text = "expected an array of at most " + std::to_string(member.count) + " values";
        return out;
    }
    out.given = static_cast<uint32_t>(value.size());
    const size_t size = element_size(member);
    for (uint32_t i = 0; i < out.given && out.valid; ++i) {
        read_element(value[i], member, bytes + i * size, i, out);
    }
    return out;
}

bool element_read(const MemberValue& value, uint32_t index) {
    if (!value.valid || index >= value.given) {
        return false;
    }
    for (const ValueNote& note : value.notes) {
        if ((note.index == index || note.index == whole_member) && !note.read) {
            return false;
        }
    }
    return true;
}

ValueForm read_spec_version(const ProfileJson& value, uint32_t& version, ValueNote& note) {
    uint64_t number = 0;
    if (unsigned_in(value, UINT32_MAX, number)) {
        version = static_cast<uint32_t>(number);
        return ValueForm::Read;
    }
    if (value.is_number()) {
        note.text = "expected a spec version (an unsigned 32-bit integer)";
        return ValueForm::Invalid;
    }
    const ProfileJson spelled =
        value.is_string() ? ProfileJson::parse(value.get_ref<const std::string&>(), nullptr, false)
                          : ProfileJson(value.is_null() ? 0 : -1);
    note.spelled = unsigned_in(spelled, UINT32_MAX, number);
    version = note.spelled ? static_cast<uint32_t>(number) : 0;
    note.index = 0;
    note.form = ValueForm::Unexpected;
    note.read = false;
    note.text = described_value(value);
    note.expected = "a number";
    return ValueForm::Unexpected;
}

std::string described_value(const ProfileJson& value) {
    if (value.is_array()) {
        return "an array";
    }
    if (value.is_object()) {
        return "an object";
    }
    std::string text = value.dump(-1, ' ', false, ProfileJson::error_handler_t::replace);
    constexpr size_t most = 64;
    if (text.size() <= most) {
        return text;
    }
    size_t cut = most;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) {
        --cut;
    }
    text.resize(cut);
    return text + "...";
}
