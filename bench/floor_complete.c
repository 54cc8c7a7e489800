#include "floor_complete.h"

#include <stdlib.h>
#include <string.h>

#include "floor_tables.h"
#include "vulkan/command_list.h"

/* ---- The commands, bound as Brisol binds them ---- */

enum FloorCommand {
#define FLOOR_COMMAND_INDEX(name, version, extension_name, instance_extension) FLOOR_##name,
    BRISOL_VULKAN_COMMANDS(FLOOR_COMMAND_INDEX)
#undef FLOOR_COMMAND_INDEX
        FLOOR_COMMAND_COUNT
};

static PFN_vkVoidFunction commands[FLOOR_COMMAND_COUNT];
static unsigned missing_commands;

#define COMMAND(name) ((PFN_##name)commands[FLOOR_##name])

static int enabled(const struct FloorCompleteInstance* setup, const char* name) {
    for (uint32_t i = 0; i < setup->enabled_count; ++i) {
        if (strcmp(setup->enabled[i], name) == 0) {
            return 1;
        }
    }
    return 0;
}

/* Whether an extension's name of a command may be used: as Brisol decides
   (src/vulkan/commands.cpp). */
static int extension_usable(const struct FloorCompleteInstance* setup,
                            const char* instance_extension) {
    return instance_extension == NULL || enabled(setup, instance_extension);
}

static PFN_vkVoidFunction find_command(const struct FloorCompleteInstance* setup,
                                       uint32_t core_version, const char* name,
                                       const char* extension_name, const char* instance_extension) {
    const PFN_vkGetInstanceProcAddr get = setup->loader->vkGetInstanceProcAddr;
    PFN_vkVoidFunction found = NULL;
    if (core_version == 0) {
        found = get(VK_NULL_HANDLE, name);
    } else if (setup->api_version >= core_version) {
        found = get(setup->instance, name);
    } else if (extension_name != NULL && extension_usable(setup, instance_extension)) {
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
#define FLOOR_BIND_COMMAND(name, version, extension_name, instance_extension) \
    commands[FLOOR_##name] =                                                  \
        find_command(setup, version, #name, extension_name, instance_extension);
    BRISOL_VULKAN_COMMANDS(FLOOR_BIND_COMMAND)
#undef FLOOR_BIND_COMMAND
}

unsigned floor_complete_commands_missing(void) {
    return missing_commands;
}

/* ---- The instance ---- */

/* The instance extensions, read as Brisol reads them (the two calls). Returns the records (free
   them), or null. */
static VkExtensionProperties* read_instance_extensions(const struct FloorLoader* loader,
                                                       uint32_t* count) {
    const PFN_vkEnumerateInstanceExtensionProperties enumerate =
        loader->calls.vkEnumerateInstanceExtensionProperties;
    *count = 0;
    if (enumerate == NULL || enumerate(NULL, count, NULL) != VK_SUCCESS || *count == 0) {
        return NULL;
    }
    const uint32_t room = *count < FLOOR_MOST_LISTED_RECORDS ? *count : FLOOR_MOST_LISTED_RECORDS;
    VkExtensionProperties* listed = calloc(room, sizeof *listed);
    *count = room;
    if (listed == NULL || enumerate(NULL, count, listed) != VK_SUCCESS) {
        free(listed);
        *count = 0;
        return NULL;
    }
    *count = *count < room ? *count : room;
    return listed;
}

static int holds(const VkExtensionProperties* listed, uint32_t count, const char* name) {
    for (uint32_t i = 0; i < count; ++i) {
        if (strncmp(listed[i].extensionName, name, VK_MAX_EXTENSION_NAME_SIZE) == 0) {
            return 1;
        }
    }
    return 0;
}

static void enable(struct FloorCompleteInstance* setup, const char* name) {
    if (setup->enabled_count < FLOOR_MOST_ENABLED_EXTENSIONS) {
        setup->enabled[setup->enabled_count++] = name;
    }
}

/* The surface extensions, as Brisol's add_surface_extensions picks them (src/vulkan/surfaces.cpp)
   with the window systems of Linux (src/vulkan/posix_window_systems.cpp). */
static void enable_surface_extensions(struct FloorCompleteInstance* setup,
                                      const VkExtensionProperties* listed, uint32_t count) {
    static const char* const systems[][2] = {{"VK_KHR_xcb_surface", "DISPLAY"},
                                             {"VK_KHR_xlib_surface", "DISPLAY"},
                                             {"VK_KHR_wayland_surface", "WAYLAND_DISPLAY"}};
    if (!holds(listed, count, "VK_KHR_surface")) {
        return;
    }
    enable(setup, "VK_KHR_surface");
    if (holds(listed, count, "VK_KHR_get_surface_capabilities2")) {
        enable(setup, "VK_KHR_get_surface_capabilities2");
        if (holds(listed, count, "VK_KHR_surface_protected_capabilities")) {
            enable(setup, "VK_KHR_surface_protected_capabilities");
        }
        if (holds(listed, count, "VK_EXT_surface_maintenance1")) {
            enable(setup, "VK_EXT_surface_maintenance1");
        }
    }
    if (holds(listed, count, "VK_EXT_headless_surface")) {
        enable(setup, "VK_EXT_headless_surface");
    }
    for (size_t i = 0; i < sizeof systems / sizeof systems[0]; ++i) {
        const char* display = getenv(systems[i][1]);
        if (holds(listed, count, systems[i][0]) && display != NULL && *display != '\0') {
            enable(setup, systems[i][0]);
        }
    }
}

struct FloorCompleteInstance floor_create_complete_instance(const struct FloorLoader* loader) {
    struct FloorCompleteInstance setup;
    memset(&setup, 0, sizeof setup);
    setup.loader = loader;
    setup.api_version = VK_API_VERSION_1_0;
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
    uint32_t count = 0;
    VkExtensionProperties* listed = read_instance_extensions(loader, &count);
    setup.properties2 =
        setup.api_version < VK_API_VERSION_1_1 &&
        holds(listed, count, VK_KHR_GET_PHYSICAL_DEVICE_PROPERTIES_2_EXTENSION_NAME);
    if (setup.properties2) {
        enable(&setup, VK_KHR_GET_PHYSICAL_DEVICE_PROPERTIES_2_EXTENSION_NAME);
    }
    enable_surface_extensions(&setup, listed, count);
    free(listed);
    setup.instance =
        floor_create_instance(loader, setup.api_version, setup.enabled, setup.enabled_count);
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

/* The layers' names, bounded and terminated, for the devices' layer extensions. */
static char (*layer_names)[VK_MAX_EXTENSION_NAME_SIZE];
static uint32_t layer_name_count;

void floor_complete_release(void) {
    free(layer_names);
    layer_names = NULL;
    layer_name_count = 0;
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
    free(layer_names);
    layer_names = calloc(layer_count + 1u, sizeof *layer_names);
    layer_name_count = layer_names != NULL ? layer_count : 0;
    for (uint32_t i = 0; layers != NULL && i < layer_count; ++i) {
        struct LayerList layer;
        layer.loader = setup->loader;
        memcpy(layer.name, layers[i].layerName, sizeof layer.name);
        layer.name[sizeof layer.name - 1] = '\0';
        if (layer_names != NULL) {
            memcpy(layer_names[i], layer.name, sizeof layer.name);
        }
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
    /* What the memory types' images need of what was read before. */
    uint32_t first_family_queues;
    VkFormatProperties image_formats[8];
    int image_format_read[8];
};

/* The formats of the memory types' images, as Brisol's (src/query/memory_images.cpp). */
static const VkFormat image_formats[8] = {
    VK_FORMAT_R8G8B8A8_UNORM,
    VK_FORMAT_D16_UNORM,
    VK_FORMAT_X8_D24_UNORM_PACK32,
    VK_FORMAT_D32_SFLOAT,
    VK_FORMAT_S8_UINT,
    VK_FORMAT_D16_UNORM_S8_UINT,
    VK_FORMAT_D24_UNORM_S8_UINT,
    VK_FORMAT_D32_SFLOAT_S8_UINT,
};

static void keep_image_format(struct DeviceOffer* offer, VkFormat format,
                              const VkFormatProperties* properties) {
    for (size_t i = 0; i < 8; ++i) {
        if (image_formats[i] == format) {
            offer->image_formats[i] = *properties;
            offer->image_format_read[i] = 1;
        }
    }
}

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

static void query_queue_families(struct DeviceOffer* offer) {
    const PFN_vkGetPhysicalDeviceQueueFamilyProperties2 get2 =
        COMMAND(vkGetPhysicalDeviceQueueFamilyProperties2);
    if (get2 == NULL) {
        if (COMMAND(vkGetPhysicalDeviceQueueFamilyProperties) != NULL) {
            uint32_t count = 0;
            VkQueueFamilyProperties* families = read_list(
                fill_queue_families, offer, sizeof(VkQueueFamilyProperties), NULL, &count);
            offer->first_family_queues = families != NULL ? families[0].queueCount : 0;
            free(families);
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
        offer->first_family_queues = count > 0 ? families[0].queueFamilyProperties.queueCount : 0;
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
static void query_formats(struct DeviceOffer* offer) {
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
            keep_image_format(offer, format->format, &properties);
            continue;
        }
        memset(block, 0, size);
        VkFormatProperties2 head = {.sType = VK_STRUCTURE_TYPE_FORMAT_PROPERTIES_2,
                                    .pNext = link_chain(offer, FLOOR_FORMAT_PROPERTIES2, block)};
        get2(offer->handle, format->format, &head);
        keep_image_format(offer, format->format, &head.formatProperties);
    }
    free(block);
}

static VkResult fill_tools(const void* context, uint32_t* count, void* records) {
    const struct DeviceOffer* offer = context;
    return COMMAND(vkGetPhysicalDeviceToolProperties)(offer->handle, count, records);
}

static int listed_in(const VkExtensionProperties* extensions, uint32_t count, const char* name) {
    for (uint32_t i = 0; extensions != NULL && i < count; ++i) {
        if (strncmp(extensions[i].extensionName, name, VK_MAX_EXTENSION_NAME_SIZE) == 0) {
            return 1;
        }
    }
    return 0;
}

/* Each layer's device extensions, by the two calls; whether one of them lists
   VK_EXT_tooling_info. */
struct LayerDeviceList {
    const struct FloorLoader* loader;
    VkPhysicalDevice device;
    const char* layer;
};

static VkResult fill_layer_device_extensions(const void* context, uint32_t* count, void* records) {
    const struct LayerDeviceList* list = context;
    return list->loader->calls.vkEnumerateDeviceExtensionProperties(list->device, list->layer,
                                                                    count, records);
}

static int query_layer_extensions(const struct DeviceOffer* offer,
                                  const struct FloorLoader* loader) {
    int tooling = 0;
    for (uint32_t i = 0; i < layer_name_count; ++i) {
        const struct LayerDeviceList list = {loader, offer->handle, layer_names[i]};
        uint32_t count = 0;
        VkExtensionProperties* extensions = read_list(fill_layer_device_extensions, &list,
                                                      sizeof(VkExtensionProperties), NULL, &count);
        tooling |= listed_in(extensions, count, VK_EXT_TOOLING_INFO_EXTENSION_NAME);
        free(extensions);
    }
    return tooling;
}

static VkResult fill_tools_ext(const void* context, uint32_t* count, void* records) {
    const struct DeviceOffer* offer = context;
    return COMMAND(vkGetPhysicalDeviceToolPropertiesEXT)(offer->handle, count, records);
}

/* Through VK_EXT_tooling_info's command where the device or a layer lists it, as Brisol asks. */
static void query_tools(const struct DeviceOffer* offer, int extension) {
    const FillList fill = extension ? fill_tools_ext : fill_tools;
    const int bound = extension ? COMMAND(vkGetPhysicalDeviceToolPropertiesEXT) != NULL
                                : COMMAND(vkGetPhysicalDeviceToolProperties) != NULL;
    if ((offer->api_version >= VK_API_VERSION_1_3 || extension) && bound) {
        const VkPhysicalDeviceToolProperties prototype = {
            .sType = VK_STRUCTURE_TYPE_PHYSICAL_DEVICE_TOOL_PROPERTIES};
        uint32_t tools = 0;
        free(read_list(fill, offer, sizeof prototype, &prototype, &tools));
    }
}

static VkResult fill_time_domains(const void* context, uint32_t* count, void* records) {
    const struct DeviceOffer* offer = context;
    return COMMAND(vkGetPhysicalDeviceCalibrateableTimeDomainsEXT)(offer->handle, count, records);
}

static VkResult fill_shading_rates(const void* context, uint32_t* count, void* records) {
    const struct DeviceOffer* offer = context;
    return COMMAND(vkGetPhysicalDeviceFragmentShadingRatesKHR)(offer->handle, count, records);
}

static VkResult fill_cooperative_matrices(const void* context, uint32_t* count, void* records) {
    const struct DeviceOffer* offer = context;
    return COMMAND(vkGetPhysicalDeviceCooperativeMatrixPropertiesNV)(offer->handle, count, records);
}

/* The extensions' own lists, where the device lists the extension. */
static void query_extension_lists(const struct DeviceOffer* offer,
                                  const VkExtensionProperties* extensions, uint32_t count) {
    uint32_t read = 0;
    if (COMMAND(vkGetPhysicalDeviceCalibrateableTimeDomainsEXT) != NULL &&
        listed_in(extensions, count, VK_EXT_CALIBRATED_TIMESTAMPS_EXTENSION_NAME)) {
        free(read_list(fill_time_domains, offer, sizeof(VkTimeDomainEXT), NULL, &read));
    }
    if (COMMAND(vkGetPhysicalDeviceFragmentShadingRatesKHR) != NULL &&
        listed_in(extensions, count, VK_KHR_FRAGMENT_SHADING_RATE_EXTENSION_NAME)) {
        const VkPhysicalDeviceFragmentShadingRateKHR prototype = {
            .sType = VK_STRUCTURE_TYPE_PHYSICAL_DEVICE_FRAGMENT_SHADING_RATE_KHR};
        free(read_list(fill_shading_rates, offer, sizeof prototype, &prototype, &read));
    }
    if (COMMAND(vkGetPhysicalDeviceCooperativeMatrixPropertiesNV) != NULL &&
        listed_in(extensions, count, VK_NV_COOPERATIVE_MATRIX_EXTENSION_NAME)) {
        const VkCooperativeMatrixPropertiesNV prototype = {
            .sType = VK_STRUCTURE_TYPE_COOPERATIVE_MATRIX_PROPERTIES_NV};
        free(read_list(fill_cooperative_matrices, offer, sizeof prototype, &prototype, &read));
    }
}

/* What the memory types hold: a logical device with one queue, an image of each format and tiling
   that the device can make as an attachment, its requirements, as Brisol asks. */
static void query_memory_images(const struct DeviceOffer* offer) {
    if (COMMAND(vkGetPhysicalDeviceImageFormatProperties) == NULL ||
        COMMAND(vkCreateDevice) == NULL || COMMAND(vkDestroyDevice) == NULL ||
        COMMAND(vkCreateImage) == NULL || COMMAND(vkDestroyImage) == NULL ||
        COMMAND(vkGetImageMemoryRequirements) == NULL || offer->first_family_queues == 0) {
        return;
    }
    const float priority = 1.0f;
    const VkDeviceQueueCreateInfo queue = {.sType = VK_STRUCTURE_TYPE_DEVICE_QUEUE_CREATE_INFO,
                                           .queueCount = 1,
                                           .pQueuePriorities = &priority};
    const VkDeviceCreateInfo info = {.sType = VK_STRUCTURE_TYPE_DEVICE_CREATE_INFO,
                                     .queueCreateInfoCount = 1,
                                     .pQueueCreateInfos = &queue};
    VkDevice device = VK_NULL_HANDLE;
    if (COMMAND(vkCreateDevice)(offer->handle, &info, NULL, &device) != VK_SUCCESS) {
        return;
    }
    const VkImageTiling tilings[2] = {VK_IMAGE_TILING_OPTIMAL, VK_IMAGE_TILING_LINEAR};
    for (size_t t = 0; t < 2; ++t) {
        for (size_t f = 0; f < 8; ++f) {
            const int color = f == 0;
            const VkFormatFeatureFlags features =
                tilings[t] == VK_IMAGE_TILING_OPTIMAL
                    ? offer->image_formats[f].optimalTilingFeatures
                    : offer->image_formats[f].linearTilingFeatures;
            const VkFormatFeatureFlags wanted =
                color ? VK_FORMAT_FEATURE_COLOR_ATTACHMENT_BIT
                      : VK_FORMAT_FEATURE_DEPTH_STENCIL_ATTACHMENT_BIT;
            if (!offer->image_format_read[f] || (features & wanted) == 0) {
                continue;
            }
            const VkImageCreateInfo image_info = {
                .sType = VK_STRUCTURE_TYPE_IMAGE_CREATE_INFO,
                .imageType = VK_IMAGE_TYPE_2D,
                .format = image_formats[f],
                .extent = {8, 8, 1},
                .mipLevels = 1,
                .arrayLayers = 1,
                .samples = VK_SAMPLE_COUNT_1_BIT,
                .tiling = tilings[t],
                .usage = color ? VK_IMAGE_USAGE_COLOR_ATTACHMENT_BIT
                               : VK_IMAGE_USAGE_DEPTH_STENCIL_ATTACHMENT_BIT,
                .sharingMode = VK_SHARING_MODE_EXCLUSIVE,
                .initialLayout = VK_IMAGE_LAYOUT_UNDEFINED};
            VkImageFormatProperties limits = {{0, 0, 0}, 0, 0, 0, 0};
            if (COMMAND(vkGetPhysicalDeviceImageFormatProperties)(
                    offer->handle, image_info.format, image_info.imageType, image_info.tiling,
                    image_info.usage, 0, &limits) != VK_SUCCESS) {
                continue;
            }
            VkImage image = VK_NULL_HANDLE;
            if (COMMAND(vkCreateImage)(device, &image_info, NULL, &image) != VK_SUCCESS ||
                image == VK_NULL_HANDLE) {
                continue;
            }
            VkMemoryRequirements requirements = {0, 0, 0};
            COMMAND(vkGetImageMemoryRequirements)(device, image, &requirements);
            COMMAND(vkDestroyImage)(device, image, NULL);
        }
    }
    COMMAND(vkDestroyDevice)(device, NULL);
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
    struct DeviceOffer offer;
    memset(&offer, 0, sizeof offer);
    offer.handle = device;
    offer.api_version = properties.apiVersion;
    offer.listed = calloc(floor_extension_count, 1);
    offer.api_version =
        offer.api_version < setup->api_version ? offer.api_version : setup->api_version;
    mark_listed(&offer, extensions, count);
    query_properties_and_features(&offer);
    query_queue_families(&offer);
    query_memory(&offer, loader);
    query_formats(&offer);
    const int layer_tooling = query_layer_extensions(&offer, loader);
    query_tools(&offer,
                layer_tooling || listed_in(extensions, count, VK_EXT_TOOLING_INFO_EXTENSION_NAME));
    query_extension_lists(&offer, extensions, count);
    query_memory_images(&offer);
    free(offer.listed);
    free(read_again);
}

struct FloorAppendix floor_complete_appendix(const struct FloorCompleteInstance* instance) {
    /* The functions take the context as it is; they only read it. */
    struct FloorAppendix appendix = {query_instance, query_device, NULL};
    memcpy(&appendix.context, &instance, sizeof appendix.context);
    return appendix;
}
