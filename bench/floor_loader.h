/* The loader's part of both floor programs: the library opened by Brisol's file name, the same
   eight look-ups in Brisol's order, the instance created with Brisol's application info (and, on
   macOS, the same portability probe). Plain C on the C library alone (POSIX: dlopen). */
#ifndef BRISOL_FLOOR_LOADER_H
#define BRISOL_FLOOR_LOADER_H

#include <vulkan/vulkan.h>

#include "floor_calls.h"

struct FloorLoader {
    void* library;
    PFN_vkGetInstanceProcAddr vkGetInstanceProcAddr;
    PFN_vkCreateInstance vkCreateInstance;
    PFN_vkDestroyInstance vkDestroyInstance;
    struct FloorEntryPoints calls; /* the five that the report's queries call */
};

/* Opens the loader and looks up the eight names. Returns 0 when the library cannot be opened. */
int floor_open_loader(struct FloorLoader* loader);

/* The most instance extensions the floors enable besides portability enumeration. */
#define FLOOR_MOST_ENABLED_EXTENSIONS 15u

/* Creates the instance as Brisol does for this version, enabling the extensions given (and, where
   Brisol does, portability enumeration first). Returns VK_NULL_HANDLE when vkCreateInstance is
   missing or fails. */
VkInstance floor_create_instance(const struct FloorLoader* loader, uint32_t api_version,
                                 const char* const* extensions, uint32_t extension_count);

/* Whether the loader lists the instance extension, read as Brisol reads it (the two calls, room
   for every record, zeroed). 0 when the list cannot be read. */
int floor_instance_extension_listed(const struct FloorLoader* loader, const char* name);

/* Destroys the instance when there is one, and closes the library. */
void floor_close_loader(struct FloorLoader* loader, VkInstance instance);

#endif
