// One walk over a structure described by the registry tables, and the reading of its values:
// every view (text, XML, JSON) and the profile check read structures through these.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "registry/registry.h"
#include "report/cursor.h"

// What a walk tells its visitor. Each function may be null.
struct MemberVisitor {
    void* context;
    // A member that is not a structure: count elements of its kind from bytes (an array is cut
    // to the count its count member gives; a LUID not marked valid is not visited).
    void (*value)(void* context, const MemberRow& member, const unsigned char* bytes,
                  uint32_t count);
    // Before and after the members of one element of a nested structure.
    void (*enter)(void* context, const MemberRow& member, uint32_t index, uint32_t count);
    void (*leave)(void* context, const MemberRow& member, uint32_t index, uint32_t count);
};

// Visits every member of the structure at bytes, nested structures depth first.
void walk_structure(const StructureInfo& structure, const void* bytes,
                    const MemberVisitor& visitor);

// How many elements of a member hold values: its array length, or less when a count member
// says so (a count larger than the array is not believed).
uint32_t member_element_count(const StructureInfo& structure, const MemberRow& member,
                              const void* bytes);

// Whether a LUID member of the structure at bytes holds one: the member named like it with "Valid"
// after it is true, or there is none. The walk passes over a LUID that does not.
bool luid_valid(const StructureInfo& structure, const MemberRow& member, const void* bytes);

// The size of one element of a member's kind; 0 for Structure (use the nested table's size).
size_t element_size(const MemberRow& member);

// An element's value, zero-extended (Bool32, the unsigned kinds, Size, Enum, Flags, Flags64,
// Uint8, Uuid, Luid), sign-extended (Int32, Int64) or widened (Float). Any kind may be read as
// any of the three; the value is then converted as C++ converts it, except that a float read as
// unsigned saturates (negative and NaN as 0) rather than being undefined.
uint64_t element_unsigned(const MemberRow& member, const unsigned char* element);
int64_t element_signed(const MemberRow& member, const unsigned char* element);
double element_float(const MemberRow& member, const unsigned char* element);

// The names of the single bits set in a flags value, one a call: index starts at 0, and null
// says there are no more. The tables also name masks of several bits, which are skipped.
const ValueName* next_set_bit(const MemberRow& member, uint64_t value, uint32_t& index);

// Appends one member's value as a person reads it: signed numbers signed, floats in the
// shortest form that reads back to the same float, enums by name, flags as bit names joined by
// " | " (bits the headers do not know as hex, no bit as "0"), UUIDs as 8-4-4-4-12 hex, LUIDs as
// hex bytes, strings up to their first NUL or the end of their array, arrays as "[a, b, c]".
// Numbers use '.' whatever the locale. Values the tables cannot name are written as numbers.
void append_member_text(std::string& out, const MemberRow& member, const unsigned char* bytes,
                        uint32_t count);
// The same for one element.
void append_element_text(std::string& out, const MemberRow& member, const unsigned char* element);
// The shortest form of a float that reads back as the same float ("16.5", "1e-05", "nan").
void append_float_text(std::string& out, float value);

// The same texts written through a cursor, for the reports of thousands of values.
void put_member_text(StreamCursor& out, const MemberRow& member, const unsigned char* bytes,
                     uint32_t count);
void put_float_text(StreamCursor& out, float value);
