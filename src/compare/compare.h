// Comparing two values of one member as its limit type says, the one place that knows what
// "more capable" means: the profile check asks whether a device meets a requirement, and a
// comparison of two devices asks which of them is more capable. Values are laid out as the
// generated tables lay out the member (registry/registry.h); strings are compared as the JSON
// document writes them.
#pragma once

#include <cstdint>
#include <string>

#include "registry/registry.h"

// Which of two sides, A and B, offers more in one value.
enum class Comparison : uint8_t {
    Equal,
    AMore,      // A is more capable: a larger max, a smaller min, a finer alignment, a wider range,
                // true where B is false, a superset of B's flag bits
    BMore,      // the same, B over A
    Different,  // neither: unequal values of a member compared for equality, flags neither of
                // which holds the other's, ranges neither of which contains the other
};

// Whether side A, a device, meets side B, a requirement: its value is equal or more capable.
bool meets(Comparison comparison);

// The limit type a member is compared by: its limittype in vk.xml, or the Khronos Profiles
// library's where the two disagree (see the README); a member without one takes inherited, the
// limit type of the member it is nested in. LimitStruct on a nested member hands nothing down:
// nested_limit gives what its members inherit.
LimitType member_limit(const MemberRow& member, LimitType inherited);
LimitType nested_limit(LimitType limit);

// Whether a member is compared as one value rather than element by element: strings, UUIDs and
// LUIDs compared for equality, and [minimum, maximum] ranges.
bool compared_whole(const MemberRow& member, LimitType limit);

// One element of a member on each side (a and b hold element_size(member) bytes): booleans as
// booleans, whatever nonzero value they hold; numbers as max, bits, min (with mul: the finer
// alignment, the one that divides the other) or for equality; an enumeration under max or min
// by its number; flags as sets of bits unless they are compared for equality.
Comparison compare_elements(const MemberRow& member, LimitType limit, const unsigned char* a,
                            const unsigned char* b);

// A whole member of each side (compared_whole, not a string): a range contains the other, an
// identifier is equal or not.
Comparison compare_whole(const MemberRow& member, LimitType limit, const unsigned char* a,
                         const unsigned char* b);

// Two strings as the JSON document writes them: Equal or Different. A NUL inside either counts
// like any other character, so "abc" and "abc\0junk" differ.
Comparison compare_texts(const std::string& a, const std::string& b);

// A string member's text as the JSON document writes it: up to its first NUL and at most its
// array's length less one, each byte sequence that is no UTF-8 replaced by U+FFFD.
std::string exported_text(const MemberRow& member, const unsigned char* bytes);

// Vulkan API versions as the Khronos Profiles library compares them: major and minor, neither
// the patch nor the variant.
Comparison compare_api_versions(uint32_t a, uint32_t b);
