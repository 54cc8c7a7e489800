#include "report/cursor.h"

#include <charconv>

namespace {

// The room grows a kilobyte at a time, which is cheap to clear, within memory reserved a
// megabyte (or the stream's size) at a time, so that the written bytes are seldom copied: a
// device's complete report is a few hundred kilobytes.
constexpr size_t room_step = size_t{1} << 10;
constexpr size_t least_reserve = size_t{1} << 20;

}  // namespace

StreamCursor open_cursor(ReportStream& stream) {
    char* end = &stream[0] + stream.size();
    return StreamCursor{&stream, end, end};
}

void close_cursor(StreamCursor& cursor) {
    cursor.stream->resize(cursor_offset(cursor));
    cursor.at = &(*cursor.stream)[0] + cursor.stream->size();
    cursor.end = cursor.at;
}

void grow_room(StreamCursor& cursor, size_t bytes) {
    ReportStream& stream = *cursor.stream;
    const size_t used = cursor_offset(cursor);
    const size_t needed = used + bytes + room_step;
    if (needed > stream.capacity()) {
        const size_t doubled = 2 * stream.capacity();
        stream.reserve(needed + least_reserve > doubled ? needed + least_reserve : doubled);
    }
    stream.resize(needed);
    cursor.at = &stream[0] + used;
    cursor.end = &stream[0] + stream.size();
}

void put_decimal(StreamCursor& cursor, uint64_t value) {
    char* out = room(cursor, 20);
    cursor.at = std::to_chars(out, out + 20, value).ptr;
}

namespace {

// The first of a value's two slots: the top bits of the value, mixed.
size_t first_slot(uint64_t value) {
    constexpr size_t slot_count = sizeof(KnownTexts::slots) / sizeof(KnownText);
    static_assert(slot_count == 128, "the slot is the top 7 bits of the mixed value");
    return static_cast<size_t>((value * 0x9E3779B97F4A7C15u) >> 57);
}

}  // namespace

const KnownText* find_known_text(const KnownTexts& texts, const void* table, uint64_t value) {
    const size_t slot = first_slot(value);
    for (const size_t at : {slot, slot ^ 1}) {
        const KnownText& known = texts.slots[at];
        if (known.table == table && known.value == value) {
            return &known;
        }
    }
    return nullptr;
}

void remember_text(KnownTexts& texts, const void* table, uint64_t value, uint64_t note,
                   const StreamCursor& cursor, size_t offset) {
    const size_t slot = first_slot(value);
    const KnownText& first = texts.slots[slot];
    KnownText& known =
        first.table == nullptr || first.table == table ? texts.slots[slot] : texts.slots[slot ^ 1];
    known = KnownText{table, value, note, offset, cursor_offset(cursor) - offset};
}

void put_known_text(StreamCursor& cursor, const KnownText& text) {
    char* at = room(cursor, text.length);
    memcpy(at, cursor.stream->data() + text.offset, text.length);
    cursor.at = at + text.length;
}
