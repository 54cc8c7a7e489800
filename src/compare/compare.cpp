#include "compare/compare.h"

#include <cmath>
#include <cstring>

#include "registry/walk.h"
#include "report/report.h"

namespace {

// Where the Khronos Profiles library compares a member otherwise than vk.xml says, and users
// trust the library: it replaces the registry's limit type when it is one of replaced (LimitNone
// among them), and keeps it otherwise, as the library does.
struct LimitOverride {
    const char* structure;
    const char* member;
    LimitType replaced[3];
    uint32_t replaced_count;
    LimitType limit;
};

const LimitOverride limit_overrides[] = {
    // True means a mip tail aligned to the sparse block size: a constraint, so false is more.
    {"VkPhysicalDeviceSparseProperties",
     "residencyAlignedMipSize",
     {LimitNone, LimitBitmask},
     2,
     LimitMin},
    // A period is what the clock ticks at, not an alignment that a finer one satisfies.
    {"VkPhysicalDeviceLimits",
     "timestampPeriod",
     {LimitNone, LimitNoauto, LimitMin | LimitMul},
     3,
     LimitExact},
    {"VkPhysicalDeviceIDProperties", "deviceLUID", {LimitNone, LimitNoauto}, 2, LimitMax},
    {"VkPhysicalDeviceIDProperties", "deviceLUIDValid", {LimitNone, LimitNoauto}, 2, LimitMax},
};
constexpr size_t limit_override_count = sizeof limit_overrides / sizeof limit_overrides[0];

// The overridden members of this build's tables, found once.
struct OverriddenMember {
    const MemberRow* member;
    const LimitOverride* rule;
};

const OverriddenMember* overridden_members(size_t& count) {
    static OverriddenMember found[limit_override_count];
    static size_t found_count = [] {
        size_t n = 0;
        for (const LimitOverride& rule : limit_overrides) {
            const StructureInfo* structure = find_structure(rule.structure);
            const MemberRow* member =
                structure != nullptr ? find_member(*structure, rule.member) : nullptr;
            if (member != nullptr) {
                found[n++] = {member, &rule};
            }
        }
        return n;
    }();
    count = found_count;
    return found;
}

// Whether alignment x divides y, so that whatever is aligned to y is aligned to x: 0 stands for
// the coarsest (whole levels, for a granularity), which only 0 divides.
bool divides(uint64_t x, uint64_t y) {
    return x != 0 ? y % x == 0 : y == 0;
}
bool divides(int64_t x, int64_t y) {
    return x != 0 ? x == -1 || y % x == 0 : y == 0;
}
// As the Khronos library: within a ten-thousandth.
bool divides(double x, double y) {
    return x != 0 ? std::fabs(std::fmod(y, x)) < 0.0001 : y == 0;
}

template <typename T>
Comparison compare_numbers(T a, T b, LimitType limit) {
    if (a == b) {
        return Comparison::Equal;
    }
    if (!(a < b) && !(b < a)) {
        return Comparison::Different;  // NaN
    }
    if ((limit & LimitMin) != 0) {
        if ((limit & LimitMul) == 0) {
            return a < b ? Comparison::AMore : Comparison::BMore;
        }
        if (divides(a, b)) {
            return Comparison::AMore;
        }
        return divides(b, a) ? Comparison::BMore : Comparison::Different;
    }
    if ((limit & (LimitMax | LimitBits)) != 0) {
        return a > b ? Comparison::AMore : Comparison::BMore;
    }
    return Comparison::Different;
}

bool compared_for_equality(LimitType limit) {
    return (limit & (LimitExact | LimitNoauto)) != 0;
}

Comparison compare_booleans(bool a, bool b, LimitType limit) {
    if (a == b) {
        return Comparison::Equal;
    }
    if (compared_for_equality(limit)) {
        return Comparison::Different;
    }
    // Under min, false is the more capable value (it promises less of a constraint).
    const bool a_more = (limit & LimitMin) != 0 ? !a : a;
    return a_more ? Comparison::AMore : Comparison::BMore;
}

Comparison compare_bit_sets(uint64_t a, uint64_t b, LimitType limit) {
    if (a == b) {
        return Comparison::Equal;
    }
    if (compared_for_equality(limit)) {
        return Comparison::Different;
    }
    if ((a & b) == b) {
        return Comparison::AMore;
    }
    return (a & b) == a ? Comparison::BMore : Comparison::Different;
}

}  // namespace

bool meets(Comparison comparison) {
    return comparison == Comparison::Equal || comparison == Comparison::AMore;
}

LimitType member_limit(const MemberRow& member, LimitType inherited) {
    size_t count = 0;
    const OverriddenMember* overridden = overridden_members(count);
    for (size_t i = 0; i < count; ++i) {
        if (overridden[i].member != &member) {
            continue;
        }
        const LimitOverride& rule = *overridden[i].rule;
        for (uint32_t r = 0; r < rule.replaced_count; ++r) {
            if (rule.replaced[r] == member.limit) {
                return rule.limit;
            }
        }
    }
    return member.limit != LimitNone ? member.limit : inherited;
}

LimitType nested_limit(LimitType limit) {
    return (limit & LimitStruct) != 0 ? LimitNone : limit;
}

bool compared_whole(const MemberRow& member, LimitType limit) {
    if (member.kind == MemberKind::String || (limit & LimitRange) != 0) {
        return true;
    }
    const bool identifier = member.kind == MemberKind::Uuid || member.kind == MemberKind::Luid;
    return identifier && (limit & (LimitMin | LimitMax | LimitBits)) == 0;
}

Comparison compare_elements(const MemberRow& member, LimitType limit, const unsigned char* a,
                            const unsigned char* b) {
    switch (member.kind) {
        case MemberKind::Bool32:
            return compare_booleans(element_unsigned(member, a) != 0,
                                    element_unsigned(member, b) != 0, limit);
        case MemberKind::Flags:
        case MemberKind::Flags64:
            return compare_bit_sets(element_unsigned(member, a), element_unsigned(member, b),
                                    limit);
        case MemberKind::Enum: {
            // Enumerations are C ints: a limit compares their numbers (sample counts).
            const auto value = [&member](const unsigned char* element) {
                return static_cast<int64_t>(
                    static_cast<int32_t>(static_cast<uint32_t>(element_unsigned(member, element))));
            };
            if ((limit & (LimitMin | LimitMax | LimitBits)) != 0) {
                return compare_numbers(value(a), value(b), limit);
            }
            return value(a) == value(b) ? Comparison::Equal : Comparison::Different;
        }
        case MemberKind::Float:
            return compare_numbers(element_float(member, a), element_float(member, b), limit);
        case MemberKind::Int32:
        case MemberKind::Int64:
            return compare_numbers(element_signed(member, a), element_signed(member, b), limit);
        default:
            if ((limit & LimitBitmask) != 0) {
                return compare_bit_sets(element_unsigned(member, a), element_unsigned(member, b),
                                        limit);
            }
            return compare_numbers(element_unsigned(member, a), element_unsigned(member, b), limit);
    }
}

Comparison compare_whole(const MemberRow& member, LimitType limit, const unsigned char* a,
                         const unsigned char* b) {
    if (member.kind == MemberKind::String) {
        return compare_texts(exported_text(member, a), exported_text(member, b));
    }
    if ((limit & LimitRange) == 0 || member.count != 2) {
        return memcmp(a, b, member.size) == 0 ? Comparison::Equal : Comparison::Different;
    }
    const size_t size = element_size(member);
    const double a_low = element_float(member, a);
    const double a_high = element_float(member, a + size);
    const double b_low = element_float(member, b);
    const double b_high = element_float(member, b + size);
    if (a_low == b_low && a_high == b_high) {
        return Comparison::Equal;
    }
    if (a_low <= b_low && a_high >= b_high) {
        return Comparison::AMore;
    }
    return b_low <= a_low && b_high >= a_high ? Comparison::BMore : Comparison::Different;
}

Comparison compare_texts(const std::string& a, const std::string& b) {
    return a == b ? Comparison::Equal : Comparison::Different;
}

std::string exported_text(const MemberRow& member, const unsigned char* bytes) {
    const size_t room = member.count > 0 ? member.count - 1u : 0u;
    const size_t length = strnlen(reinterpret_cast<const char*>(bytes), room);
    std::string text;
    text.reserve(length);
    for (size_t i = 0; i < length;) {
        if (bytes[i] < 0x80) {
            text += static_cast<char>(bytes[i++]);
            continue;
        }
        const Utf8Sequence sequence = utf8_sequence(bytes + i, length - i);
        if (sequence.valid) {
            text.append(reinterpret_cast<const char*>(bytes + i), sequence.length);
        } else {
            text += "\xEF\xBF\xBD";
        }
        i += sequence.length;
    }
    return text;
}

Comparison compare_api_versions(uint32_t a, uint32_t b) {
    const uint64_t a_number = (VK_API_VERSION_MAJOR(a) << 10) | VK_API_VERSION_MINOR(a);
    const uint64_t b_number = (VK_API_VERSION_MAJOR(b) << 10) | VK_API_VERSION_MINOR(b);
    return compare_numbers(a_number, b_number, LimitMax);
}
