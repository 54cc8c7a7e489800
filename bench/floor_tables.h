/* The types of the floor's tables, which src/registry/generate_tables.py --floor writes from the
   same registry and with the same selection as Brisol's own tables: every chained structure of
   each chain root in Brisol's order, every format, and what provides each. Plain C. */
#ifndef BRISOL_FLOOR_TABLES_H
#define BRISOL_FLOOR_TABLES_H

#include <stdint.h>

#include <vulkan/vulkan.h>

#ifdef __cplusplus
extern "C" {
#endif

/* The structures the chains extend, in the generator's order of them. */
enum FloorChainRoot {
    FLOOR_PROPERTIES2,
    FLOOR_FEATURES2,
    FLOOR_FORMAT_PROPERTIES2,
    FLOOR_QUEUE_FAMILY_PROPERTIES2,
    FLOOR_MEMORY_PROPERTIES2,
    FLOOR_CHAIN_ROOT_COUNT
};

/* What provides a structure or a format: a core version (0 when only extensions do), or one of
   the extensions floor_extension_indices[first_extension ...] names. */
struct FloorProvision {
    uint32_t api_version;
    uint16_t first_extension;
    uint16_t extension_count;
};

struct FloorStructure {
    VkStructureType stype;
    uint32_t size;
    struct FloorProvision provision;
};

struct FloorChainTable {
    const struct FloorStructure* structures;
    uint32_t count;
};

struct FloorFormat {
    VkFormat format;
    struct FloorProvision provision;
};

extern const struct FloorChainTable floor_chains[FLOOR_CHAIN_ROOT_COUNT];
extern const struct FloorFormat floor_formats[];
extern const uint32_t floor_format_count;
/* Every extension that provides a chained structure or a format, sorted as strcmp sorts. */
extern const char* const floor_extension_names[];
extern const uint32_t floor_extension_count;
extern const uint16_t floor_extension_indices[];

#ifdef __cplusplus
}
#endif

#endif
