#include <io.h>

#include <cerrno>
#include <climits>
#include <cstdio>

#include "app/output.h"

namespace {

// The C runtime's descriptors; -1 when none is kept. A copy keeps the text mode of standard
// output, so line feeds are still written as CR LF.
int kept_output = -1;
constexpr int standard_output = 1;
constexpr int standard_error = 2;

}  // namespace

bool hold_standard_output() {
    fflush(stdout);
    kept_output = _dup(standard_output);
    const int error = errno;
    _dup2(standard_error, standard_output);
    errno = error;
    return kept_output >= 0;
}

bool write_standard_output(const char* data, size_t size) {
    fflush(stdout);
    if (kept_output < 0) {
        errno = EBADF;
        return false;
    }
    while (size > 0) {
        const unsigned piece = size < INT_MAX ? static_cast<unsigned>(size) : INT_MAX;
        const int written = _write(kept_output, data, piece);
        if (written <= 0) {
            return false;
        }
        data += written;
        size -= static_cast<size_t>(written);
    }
    return true;
}

void release_standard_output() {
    fflush(stdout);
    if (kept_output >= 0) {
        _dup2(kept_output, standard_output);
        _close(kept_output);
        kept_output = -1;
    }
}
