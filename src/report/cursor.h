// Writing a long section into a stream through a cursor, with room made ahead in large steps.
// The complete report and the JSON document are thousands of short pieces; through a cursor a
// piece costs a bounds check and the copy of its bytes rather than a call into the string's
// append.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "report/report.h"

// While a cursor is open, its stream holds room past the cursor: nothing else may append to the
// stream, or read its size, until the cursor is closed.
struct StreamCursor {
    ReportStream* stream;
    char* at;   // where the next byte goes
    char* end;  // the end of the room
};

// Opens a cursor at the end of the stream.
StreamCursor open_cursor(ReportStream& stream);

// Gives the room back: the stream ends where the cursor is.
void close_cursor(StreamCursor& cursor);

// Grows the room to at least bytes past the cursor, which may move the stream's bytes (and the
// cursor with them). Never fails: running out of memory ends the program as any append does.
void grow_room(StreamCursor& cursor, size_t bytes);

// Room for at least bytes at the cursor; the caller writes there and moves cursor.at past what
// it wrote.
inline char* room(StreamCursor& cursor, size_t bytes) {
    if (static_cast<size_t>(cursor.end - cursor.at) < bytes) {
        grow_room(cursor, bytes);
    }
    return cursor.at;
}

inline void put(StreamCursor& cursor, const char* bytes, size_t length) {
    memcpy(room(cursor, length), bytes, length);
    cursor.at += length;
}

inline void put(StreamCursor& cursor, const char* text) {
    put(cursor, text, strlen(text));
}

inline void put_char(StreamCursor& cursor, char byte) {
    *room(cursor, 1) = byte;
    ++cursor.at;
}

// How many bytes the stream holds before the cursor, and the cursor moved back to such a place:
// a piece written since can be taken back.
inline size_t cursor_offset(const StreamCursor& cursor) {
    return static_cast<size_t>(cursor.at - cursor.stream->data());
}
inline void move_cursor_back(StreamCursor& cursor, size_t offset) {
    cursor.at = &(*cursor.stream)[0] + offset;
}

// A number in decimal, as printf's "%llu" writes it.
void put_decimal(StreamCursor& cursor, uint64_t value);

// Texts a stream holds already, found again by a key of the caller's: a table and a value. The
// complete report and the JSON document write the same few dozen sets of flags some fourteen
// hundred times (lavapipe's formats), and copy a set's text from where they first wrote it. A
// key has two slots, chosen by its value alone, so that the same value from two tables keeps
// both texts and the table tells them apart.
struct KnownText {
    const void* table;  // null: an empty slot
    uint64_t value;
    uint64_t note;  // whatever the caller keeps with the text
    size_t offset;  // where the text starts in the stream
    size_t length;
};

struct KnownTexts {
    KnownText slots[128];
};

// The text known for the key, or null.
const KnownText* find_known_text(const KnownTexts& texts, const void* table, uint64_t value);

// Remembers under the key the text written through the cursor since offset, with a note.
void remember_text(KnownTexts& texts, const void* table, uint64_t value, uint64_t note,
                   const StreamCursor& cursor, size_t offset);

// Puts a known text of the cursor's stream at the cursor again.
void put_known_text(StreamCursor& cursor, const KnownText& text);
