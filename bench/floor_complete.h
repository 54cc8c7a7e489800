/* The Vulkan calls that `brisol -all` makes beyond those of `brisol -a`, in Brisol's order and
   with Brisol's room for each list, and nothing else: the commands bound through
   vkGetInstanceProcAddr once the instance exists, the instance's layers, each layer's
   extensions and the device groups, then for each device the Properties2, Features2, queue
   family and memory chains, every format, each layer's device extensions, the tools, the time
   domains, shading rates and cooperative matrices where the device lists their extensions, and
   what the memory types hold (a logical device and its images). Plain C on the C library alone.

   The floor is run without a display (bench/run and bench/check-calls see to it), where lavapipe
   makes no surface: it enables the surface extensions Brisol enables, but makes no surface and
   asks nothing of one. Nor does it ask for sample locations or video profiles, which lavapipe
   has none of. On a driver that has them, the floor measures less than Brisol's work. */
#ifndef BRISOL_FLOOR_COMPLETE_H
#define BRISOL_FLOOR_COMPLETE_H

#include <vulkan/vulkan.h>

#include "floor_calls.h"
#include "floor_loader.h"

/* The room Brisol gives the lists it reads in one call first: the layers and each layer's
   extensions, and the device's extensions when they are read again. */
#define FLOOR_LIST_GUESS 32u
#define FLOOR_DEVICE_EXTENSION_GUESS 256u

/* How the instance was made, as Brisol's complete report makes it. */
struct FloorCompleteInstance {
    const struct FloorLoader* loader;
    VkInstance instance;
    uint32_t api_version; /* the version the instance was created with */
    int properties2;      /* whether it enabled VK_KHR_get_physical_device_properties2 */
    /* Every extension it enabled but portability enumeration, as Brisol's names them. */
    const char* enabled[FLOOR_MOST_ENABLED_EXTENSIONS];
    uint32_t enabled_count;
};

/* Creates the instance as Brisol's complete report does: the lower of the loader's version and
   the headers', VK_KHR_get_physical_device_properties2 on a 1.0 loader that lists it, and the
   surface extensions the loader lists (a window system's where the environment names its
   display). The instance is VK_NULL_HANDLE when it cannot be created. */
struct FloorCompleteInstance floor_create_complete_instance(const struct FloorLoader* loader);

/* The appendix of make_report_queries that makes the complete report's calls: it binds the
   commands after the instance extensions, as Brisol does, and, where one is missing, falls back
   or leaves the query out as Brisol does. */
struct FloorAppendix floor_complete_appendix(const struct FloorCompleteInstance* instance);

/* How many commands that the instance's version has in core were not handed out, once bound:
   not 0 means that the floor left calls out, and measures less than Brisol's work. */
unsigned floor_complete_commands_missing(void);

/* Frees what the appendix kept between the instance's queries and the devices'. */
void floor_complete_release(void);

#endif
