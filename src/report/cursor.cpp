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
