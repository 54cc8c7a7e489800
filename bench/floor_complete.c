#include "floor_complete.h"

#include <stdlib.h>
#include <string.h>

#include "floor_tables.h"
#include "vulkan/command_list.h"

/* ---- The commands, bound as Brisol binds them ---- */

enum FloorCommand {
#define FLOOR_COMMAND_INDEX(name, version, extension_name) FLOOR_##name,
    BRISOL_VULKAN_COMMANDS(FLOOR_COMMAND_INDEX)
#undef FLOOR_COMMAND_INDEX
        FLOOR_COMMAND_COUNT
};

static PFN_vkVoidFunction commands[FLOOR_COMMAND_COUNT];
static unsigned missing_commands;

#define COMMAND(name) ((PFN_##name)commands[FLOOR_##name])

/* Whether an extension's name of a command may be used on an older instance: as Brisol decides
   (src/vulkan/commands.cpp). */
static int extension_usable(const struct FloorCompleteInstance* setup, const char* name) {
    if (strcmp(name, "vkEnumeratePhysicalDeviceGroupsKHR") == 0) {
        return 0;
    }
    return strcmp(name, "vkGetPhysicalDeviceToolPropertiesEXT") == 0 || setup->properties2;
}

static PFN_vkVoidFunction find_command(const struct FloorCompleteInstance* setup,
                                       uint32_t core_version, const char* name,
                                       const char* extension_name) {
    const PFN_vkGetInstanceProcAddr get = setup->loader->vkGetInstanceProcAddr;
    PFN_vkVoidFunction found = NULL;
    if (core_version == 0) {
        found = get(VK_NULL_HANDLE, name);
    } else if (setup->api_version >= core_version) {
        found = get(setup->instance, name);
    } else if (extension_name != NULL && extension_usable(setup, extension_name)) {
        return get(setup->instance, extension_name);
    } else {
        return NULL;
    }
    missing_commands += found == NULL;
    return found;
}

static void bind_commands(const struct FloorCompleteInstance* setup) {
    missing_commands = 0;
    memset(commands, 0, sizeof commands);
    if (setup->loader->vkGetInstanceProcAddr == NULL) {
        missing_commands = FLOOR_COMMAND_COUNT;
        return;
    }
#define FLOOR_BIND_COMMAND(name, version, extension_name) \
    commands[FLOOR_##name] = find_command(setup, version, #name, extension_name);
    BRISOL_VULKAN_COMMANDS(FLOOR_BIND_COMMAND)
#undef FLOOR_BIND_COMMAND
}

unsigned floor_complete_commands_missing(void) {
    return missing_commands;
}

/* ---- The instance ---- */

struct FloorCompleteInstance floor_create_complete_instance(const struct FloorLoader* loader) {
    struct FloorCompleteInstance setup = {loader, VK_NULL_HANDLE, VK_API_VERSION_1_0, 0};
    uint32_t loader_version = VK_API_VERSION_1_0;
    if (loader->vkGetInstanceProcAddr != NULL) {
        const PFN_vkEnumerateInstanceVersion enumerate =
            (PFN_vkEnumerateInstanceVersion)loader->vkGetInstanceProcAddr(
                VK_NULL_HANDLE, "vkEnumerateInstanceVersion");
        if (enumerate == NULL || enumerate(&loader_version) != VK_SUCCESS) {
            loader_version = VK_API_VERSION_1_0;
        }
    }
    const uint32_t known =
        loader_version < VK_HEADER_VERSION_COMPLETE ? loader_version : VK_HEADER_VERSION_COMPLETE;
    setup.api_version =
        VK_MAKE_API_VERSION(0, VK_API_VERSION_MAJOR(known), VK_API_VERSION_MINOR(known), 0);
    setup.properties2 = setup.api_version < VK_API_VERSION_1_1 &&
                        floor_instance_extension_listed(
                            loader, VK_KHR_GET_PHYSICAL_DEVICE_PROPERTIES_2_EXTENSION_NAME);
    setup.instance = floor_create_instance(loader, setup.api_version, setup.properties2);
    return setup;
}

/* A list read in one call with room for guess records (zeroed, as Brisol's are), and by the two
   calls when that one answers VK_INCOMPLETE. Returns the records (free them) and their count,
   or null. The fill function is one of the three below. */
typedef VkResult (*FillList)(const void* context, uint32_t* count, void* records);

static void* read_list(FillList fill, const void* context, size_t record_size,
                       const void* prototype, uint32_t* count) {
    *count = 0;
    if (fill(context, count, NULL) != VK_SUCCESS || *count == 0) {
        return NULL;
    }
    const uint32_t room = *count < FLOOR_MOST_LISTED_RECORDS ? *count : FLOOR_MOST_LISTED_RECORDS;
    unsigned char* records = calloc(room, record_size);
    if (records == NULL) {
        return NULL;
    }
    for (uint32_t i = 0; prototype != NULL && i < room; ++i) {
        memcpy(records + i * record_size, prototype, record_size);
    }
    *count = room;
    if (fill(context, count, records) != VK_SUCCESS) {
        free(records);
        return NULL;
    }
    *count = *count < room ? *count : room;
    return records;
}

static void* read_list_at_once(FillList fill, const void* context, size_t record_size,
                               uint32_t guess, uint32_t* count) {
    void* records = calloc(guess, record_size);
    if (records == NULL) {
        return NULL;
    }
    *count = guess;
    const VkResult result = fill(context, count, records);
    if (result == VK_INCOMPLETE) {
        free(records);
        return read_list(fill, context, record_size, NULL, count);
    }
    if (result != VK_SUCCESS) {
        free(records);
        return NULL;
    }
    *count = *count < guess ? *count : guess;
    return records;
}

static VkResult fill_layers(const void* context, uint32_t* count, void* records) {
    (void)context;
    return COMMAND(vkEnumerateInstanceLayerProperties)(count, records);
}

/* A layer's extensions: the loader, then the layer's name as Brisol hands it back, bounded and
   terminated. */
struct LayerList {
    const struct FloorLoader* loader;
    char name[VK_MAX_EXTENSION_NAME_SIZE];
};

static VkResult fill_layer_extensions(const void* context, uint32_t* count, void* records) {
    const struct LayerList* list = context;
    return list->loader->calls.vkEnumerateInstanceExtensionProperties(list->name, count, records);
}

static VkResult fill_groups(const void* context, uint32_t* count, void* records) {
    const struct FloorCompleteInstance* setup = context;
    return COMMAND(vkEnumeratePhysicalDeviceGroups)(setup->instance, count, records);
}

/* The layers, each layer's instance extensions, the device groups. */
static void query_instance(void* context) {
    const struct FloorCompleteInstance* setup = context;
    bind_commands(setup);
    uint32_t layer_count = 0;
    VkLayerProperties* layers = NULL;
    if (COMMAND(vkEnumerateInstanceLayerProperties) != NULL) {
        layers =
            read_list_at_once(fill_layers, NULL, sizeof *layers, FLOOR_LIST_GUESS, &layer_count);
    }
    for (uint32_t i = 0; layers != NULL && i < layer_count; ++i) {
        struct LayerList layer;
        layer.loader = setup->loader;
        memcpy(layer.name, layers[i].layerName, sizeof layer.name);
        layer.name[sizeof layer.name - 1] = '\0';
        uint32_t count = 0;
        free(read_list_at_once(fill_layer_extensions, &layer, sizeof(VkExtensionProperties),
                               FLOOR_LIST_GUESS, &count));
    }
    free(layers);
    if (COMMAND(vkEnumeratePhysicalDeviceGroups) != NULL) {
        const VkPhysicalDeviceGroupProperties prototype = {
            .sType = VK_STRUCTURE_TYPE_PHYSICAL_DEVICE_GROUP_PROPERTIES};
        uint32_t count = 0;
        free(read_list(fill_groups, setup, sizeof prototype, &prototype, &count));
    }
}

/* ---- A device ---- */

/* What the device offers: its version for the chains and which of the tables' extensions it
   lists (floor_extension_count flags). */
struct DeviceOffer {
    VkPhysicalDevice handle;
    uint32_t api_version;
    unsigned char* listed;
};

static int compare_names(const void* key, const void* element) {
    return strncmp(key, *(const char* const*)element, VK_MAX_EXTENSION_NAME_SIZE);
}

static void mark_listed(struct DeviceOffer* offer, const VkExtensionProperties* extensions,
                        uint32_t count) {
    for (uint32_t i = 0; offer->listed != NULL && i < count; ++i) {
        const char* const* found =
            bsearch(extensions[i].extensionName, floor_extension_names, floor_extension_count,
                    sizeof floor_extension_names[0], compare_names);
        if (found != NULL) {
            offer->listed[found - floor_extension_names] = 1;
        }
    }
}

static int provided(const struct DeviceOffer* offer, const struct FloorProvision* provision) {
    if (provision->api_version != 0 && provision->api_version <= offer->api_version) {
        return 1;
    }
    for (uint32_t i = 0; offer->listed != NULL && i < provision->extension_count; ++i) {
        if (offer->listed[floor_extension_indices[provision->first_extension + i]]) {
            return 1;
        }
    }
    return 0;
}

/* The bytes of the chain of one root: every structure the device provides, each rounded up to 8
   bytes, as Brisol lays them out. */
static size_t chain_size(const struct DeviceOffer* offer, enum FloorChainRoot root) {
    const struct FloorChainTable* table = &floor_chains[root];
    size_t size = 0;
    for (uint32_t i = 0; i < table->count; ++i) {
        if (provided(offer, &table->structures[i].provision)) {
            size += (table->structures[i].size + 7u) / 8u * 8u;
        }
    }
    return size;
}

/* Lays the chain out in a zeroed block of chain_size bytes: each structure with its sType,
   linked to the next in Brisol's order. Returns the head, or null. */
static void* link_chain(const struct DeviceOffer* offer, enum FloorChainRoot root,
                        unsigned char* block) {
    const struct FloorChainTable* table = &floor_chains[root];
    VkBaseOutStructure* head = NULL;
    VkBaseOutStructure** link = &head;
    for (uint32_t i = 0; i < table->count; ++i) {
        if (provided(offer, &table->structures[i].provision)) {
            VkBaseOutStructure* header = (VkBaseOutStructure*)(void*)block;
            header->sType = table->structures[i].stype;
            *link = header;
            link = &header->pNext;
            block += (table->structures[i].size + 7u) / 8u * 8u;
        }
    }
    return head;
}

static void query_chained(const struct DeviceOffer* offer, enum FloorChainRoot root, void* head) {
    unsigned char* block = calloc(1, chain_size(offer, root) + 8);
    if (block == NULL) {
        return;
    }
    ((VkBaseOutStructure*)head)->pNext = link_chain(offer, root, block);
    switch (root) {
        case FLOOR_PROPERTIES2:
            COMMAND(vkGetPhysicalDeviceProperties2)(offer->handle, head);
            break;
        case FLOOR_FEATURES2:
            COMMAND(vkGetPhysicalDeviceFeatures2)(offer->handle, head);
            break;
        case FLOOR_MEMORY_PROPERTIES2:
            COMMAND(vkGetPhysicalDeviceMemoryProperties2)(offer->handle, head);
            break;
        default:
            break;
    }
    free(block);
}

static void query_properties_and_features(const struct DeviceOffer* offer) {
    if (COMMAND(vkGetPhysicalDeviceProperties2) != NULL) {
        VkPhysicalDeviceProperties2 head = {.sType =
                                                VK_STRUCTURE_TYPE_PHYSICAL_DEVICE_PROPERTIES_2};
        query_chained(offer, FLOOR_PROPERTIES2, &head);
    }
    if (COMMAND(vkGetPhysicalDeviceFeatures2) != NULL) {
        VkPhysicalDeviceFeatures2 head = {.sType = VK_STRUCTURE_TYPE_PHYSICAL_DEVICE_FEATURES_2};
        query_chained(offer, FLOOR_FEATURES2, &head);
    } else if (COMMAND(vkGetPhysicalDeviceFeatures) != NULL) {
        VkPhysicalDeviceFeatures features = {0};
        COMMAND(vkGetPhysicalDeviceFeatures)(offer->handle, &features);
    }
}

static VkResult fill_queue_families(const void* context, uint32_t* count, void* records) {
    const struct DeviceOffer* offer = context;
    COMMAND(vkGetPhysicalDeviceQueueFamilyProperties)(offer->handle, count, records);
    return VK_SUCCESS;
}

static void query_queue_families(const struct DeviceOffer* offer) {
    const PFN_vkGetPhysicalDeviceQueueFamilyProperties2 get2 =
        COMMAND(vkGetPhysicalDeviceQueueFamilyProperties2);
    if (get2 == NULL) {
        if (COMMAND(vkGetPhysicalDeviceQueueFamilyProperties) != NULL) {
            uint32_t count = 0;
            free(read_list(fill_queue_families, offer, sizeof(VkQueueFamilyProperties), NULL,
                           &count));
        }
        return;
    }
    uint32_t count = 0;
    get2(offer->handle, &count, NULL);
    count = count < FLOOR_MOST_LISTED_RECORDS ? count : FLOOR_MOST_LISTED_RECORDS;
    const size_t size = chain_size(offer, FLOOR_QUEUE_FAMILY_PROPERTIES2) + 8;
    VkQueueFamilyProperties2* families = calloc(count + 1u, sizeof *families);
    unsigned char* blocks = calloc(count + 1u, size);
    if (families != NULL && blocks != NULL) {
        for (uint32_t i = 0; i < count; ++i) {
            families[i].sType = VK_STRUCTURE_TYPE_QUEUE_FAMILY_PROPERTIES_2;
            families[i].pNext =
                link_chain(offer, FLOOR_QUEUE_FAMILY_PROPERTIES2, blocks + i * size);
        }
        /* An empty list is asked with no array, as Brisol's empty one has none. */
        get2(offer->handle, &count, count > 0 ? families : NULL);
    }
    free(families);
    free(blocks);
}

static void query_memory(const struct DeviceOffer* offer, const struct FloorLoader* loader) {
    if (COMMAND(vkGetPhysicalDeviceMemoryProperties2) != NULL) {
        VkPhysicalDeviceMemoryProperties2 head = {
            .sType = VK_STRUCTURE_TYPE_PHYSICAL_DEVICE_MEMORY_PROPERTIES_2};
        query_chained(offer, FLOOR_MEMORY_PROPERTIES2, &head);
    } else {
        VkPhysicalDeviceMemoryProperties memory = {0};
        loader->calls.vkGetPhysicalDeviceMemoryProperties(offer->handle, &memory);
    }
}

/* Every format the device's version or extensions provide, each with a zeroed chain. */
static void query_formats(const struct DeviceOffer* offer) {
    const PFN_vkGetPhysicalDeviceFormatProperties2 get2 =
        COMMAND(vkGetPhysicalDeviceFormatProperties2);
    const PFN_vkGetPhysicalDeviceFormatProperties get =
        COMMAND(vkGetPhysicalDeviceFormatProperties);
    if (get2 == NULL && get == NULL) {
        return;
    }
    const size_t size = chain_size(offer, FLOOR_FORMAT_PROPERTIES2);
    unsigned char* block = calloc(1, size + 8);
    if (block == NULL) {
        return;
    }
    for (uint32_t i = 0; i < floor_format_count; ++i) {
        const struct FloorFormat* format = &floor_formats[i];
        if (!provided(offer, &format->provision)) {
            continue;
        }
        if (get2 == NULL) {
            VkFormatProperties properties = {0};
            get(offer->handle, format->format, &properties);
            continue;
        }
        memset(block, 0, size);
        VkFormatProperties2 head = {.sType = VK_STRUCTURE_TYPE_FORMAT_PROPERTIES_2,
                                    .pNext = link_chain(offer, FLOOR_FORMAT_PROPERTIES2, block)};
        get2(offer->handle, format->format, &head);
    }
    free(block);
}

static VkResult fill_tools(const void* context, uint32_t* count, void* records) {
    const struct DeviceOffer* offer = context;
    return COMMAND(vkGetPhysicalDeviceToolProperties)(offer->handle, count, records);
}

static int tooling_listed(const VkExtensionProperties* extensions, uint32_t count) {
    for (uint32_t i = 0; i < count; ++i) {
        if (strncmp(extensions[i].extensionName, VK_EXT_TOOLING_INFO_EXTENSION_NAME,
                    VK_MAX_EXTENSION_NAME_SIZE) == 0) {
            return 1;
        }
    }
    return 0;
}

static void query_tools(const struct DeviceOffer* offer, const VkExtensionProperties* extensions,
                        uint32_t count) {
    if ((offer->api_version >= VK_API_VERSION_1_3 || tooling_listed(extensions, count)) &&
        COMMAND(vkGetPhysicalDeviceToolProperties) != NULL) {
        const VkPhysicalDeviceToolProperties prototype = {
            .sType = VK_STRUCTURE_TYPE_PHYSICAL_DEVICE_TOOL_PROPERTIES};
        uint32_t tools = 0;
        free(read_list(fill_tools, offer, sizeof prototype, &prototype, &tools));
    }
}

/* A device's extensions, read again. */
struct DeviceList {
    const struct FloorLoader* loader;
    VkPhysicalDevice device;
};

static VkResult fill_device_extensions(const void* context, uint32_t* count, void* records) {
    const struct DeviceList* list = context;
    return list->loader->calls.vkEnumerateDeviceExtensionProperties(list->device, NULL, count,
                                                                    records);
}

static void query_device(void* context, VkPhysicalDevice device, int listed,
                         const VkExtensionProperties* extensions, uint32_t count) {
    const struct FloorCompleteInstance* setup = context;
    const struct FloorLoader* loader = setup->loader;
    /* The section's list, or the list read again in one call when the section could not. */
    VkExtensionProperties* read_again = NULL;
    if (!listed) {
        const struct DeviceList list = {loader, device};
        read_again = read_list_at_once(fill_device_extensions, &list, sizeof(VkExtensionProperties),
                                       FLOOR_DEVICE_EXTENSION_GUESS, &count);
        extensions = read_again;
        count = read_again != NULL ? count : 0;
    }
    VkPhysicalDeviceProperties properties = {0};
    loader->calls.vkGetPhysicalDeviceProperties(device, &properties);
    struct DeviceOffer offer = {device, properties.apiVersion, calloc(floor_extension_count, 1)};
    offer.api_version =
        offer.api_version < setup->api_version ? offer.api_version : setup->api_version;
    mark_listed(&offer, extensions, count);
    query_properties_and_features(&offer);
    query_queue_families(&offer);
    query_memory(&offer, loader);
    query_formats(&offer);
    query_tools(&offer, extensions, count);
    free(offer.listed);
    free(read_again);
}

struct FloorAppendix floor_complete_appendix(const struct FloorCompleteInstance* instance) {
    /* The functions take the context as it is; they only read it. */
    struct FloorAppendix appendix = {query_instance, query_device, NULL};
    memcpy(&appendix.context, &instance, sizeof appendix.context);
    return appendix;
}
