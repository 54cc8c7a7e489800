#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "app/output.h"

namespace {

// The real standard output, or -1.
int kept_output = -1;

}  // namespace

bool hold_standard_output() {
    fflush(stdout);
    // Above the standard three and closed on exec, so that no program a driver starts inherits it.
    kept_output = fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 3);
    const int error = errno;
    dup2(STDERR_FILENO, STDOUT_FILENO);
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
        const ssize_t written = write(kept_output, data, size);
        if (written > 0) {
            data += written;
            size -= static_cast<size_t>(written);
            continue;
        }
        if (written < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            pollfd ready = {kept_output, POLLOUT, 0};
            if (poll(&ready, 1, -1) < 0 && errno != EINTR) {
                return false;
            }
        } else if (written == 0) {
            errno = EIO;
            return false;
        } else if (errno != EINTR) {
            return false;
        }
    }
    return true;
}

void release_standard_output() {
    fflush(stdout);
    if (kept_output >= 0) {
        dup2(kept_output, STDOUT_FILENO);
        close(kept_output);
        kept_output = -1;
    }
}
