// Standard output, kept for the report while Vulkan code runs. One implementation per platform;
// CMake picks the file.
#pragma once

#include <cstddef>

// Sets the real standard output aside and points descriptor 1 at standard error, so that what
// drivers and layers print goes there, and a file a layer opens cannot be given descriptor 1.
// Returns false, errno saying why, when standard output is closed; descriptor 1 is pointed at
// standard error all the same.
bool hold_standard_output();

// Flushes stdio (a layer's printf waits in the process's stdout buffer), then writes the bytes to
// the kept standard output, waiting whenever a non-blocking one is full. Returns false, errno
// saying why, when it could not take them all or none is kept.
bool write_standard_output(const char* data, size_t size);

// Flushes stdio and points descriptor 1 back at the kept standard output. Where none was kept,
// descriptor 1 stays on standard error.
void release_standard_output();
