/* The Vulkan calls that `brisol -all` makes beyond those of `brisol -a`, in Brisol's order and
   with Brisol's room for each list, and nothing else: the commands bound through
   vkGetInstanceProcAddr once the instance exists, the instance's layers, each layer's
   extensions and the device groups, then for each device the Properties2, Features2, queue
   family and memory chains, every format and the tools. Plain C on the C library alone. */
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
};

/* Creates the instance as Brisol's complete report does: the lower of the loader's version and
   the headers', VK_KHR_get_physical_device_properties2 on a 1.0 loader that lists it. The
   instance is VK_NULL_HANDLE when it cannot be created. */
struct FloorCompleteInstance floor_create_complete_instance(const struct FloorLoader* loader);

/* The appendix of make_report_queries that makes the complete report's calls: it binds the
   commands after the instance extensions, as Brisol does, and, where one is missing, falls back
   or leaves the query out as Brisol does. */
struct FloorAppendix floor_complete_appendix(const struct FloorCompleteInstance* instance);

/* How many commands that the instance's version has in core were not handed out, once bound:
   not 0 means that the floor left calls out, and measures less than Brisol's work. */
unsigned floor_complete_commands_missing(void);

#endif
