#include "floor_calls.h"

#include <stdint.h>
#include <stdlib.h>

static uint32_t room_for(uint32_t count) {
    return count < FLOOR_MOST_LISTED_RECORDS ? count : FLOOR_MOST_LISTED_RECORDS;
}

/* Zeroed like the report's records, so that the floor pays for the same stores. */
static VkExtensionProperties* zeroed_extensions(uint32_t count) {
    return calloc(count, sizeof(VkExtensionProperties));
}

static void read_instance_extensions(const struct FloorEntryPoints* calls) {
    uint32_t count = 0;
    if (calls->vkEnumerateInstanceExtensionProperties(NULL, &count, NULL) != VK_SUCCESS ||
        count == 0) {
        return;
    }
    count = room_for(count);
    VkExtensionProperties* extensions = zeroed_extensions(count);
    if (extensions != NULL) {
        calls->vkEnumerateInstanceExtensionProperties(NULL, &count, extensions);
        free(extensions);
    }
}

/* The device's extensions by the two calls, handed to the appendix as read. */
static void read_device_extensions(const struct FloorEntryPoints* calls, VkPhysicalDevice device,
                                   const struct FloorAppendix* appendix) {
    uint32_t count = 0;
    VkExtensionProperties* extensions = NULL;
    int read =
        calls->vkEnumerateDeviceExtensionProperties(device, NULL, &count, NULL) == VK_SUCCESS;
    if (read && count > 0) {
        const uint32_t room = room_for(count);
        count = room;
        extensions = zeroed_extensions(room);
        read = extensions != NULL && calls->vkEnumerateDeviceExtensionProperties(
                                         device, NULL, &count, extensions) == VK_SUCCESS;
        count = count < room ? count : room;
    }
    if (appendix != NULL && appendix->device != NULL) {
        appendix->device(appendix->context, device, read, extensions, read ? count : 0);
    }
    free(extensions);
}

static void read_device(const struct FloorEntryPoints* calls, VkPhysicalDevice device,
                        const struct FloorAppendix* appendix) {
    VkPhysicalDeviceProperties properties = {0};
    calls->vkGetPhysicalDeviceProperties(device, &properties);
    VkPhysicalDeviceMemoryProperties memory = {0};
    calls->vkGetPhysicalDeviceMemoryProperties(device, &memory);
    read_device_extensions(calls, device, appendix);
}

int make_report_queries(const struct FloorEntryPoints* calls, VkInstance instance,
                        const struct FloorAppendix* appendix) {
    if (instance == VK_NULL_HANDLE || calls->vkEnumerateInstanceExtensionProperties == NULL ||
        calls->vkEnumeratePhysicalDevices == NULL || calls->vkGetPhysicalDeviceProperties == NULL ||
        calls->vkGetPhysicalDeviceMemoryProperties == NULL ||
        calls->vkEnumerateDeviceExtensionProperties == NULL) {
        return 0;
    }
    read_instance_extensions(calls);
    if (appendix != NULL && appendix->instance != NULL) {
        appendix->instance(appendix->context);
    }
    uint32_t count = 0;
    if (calls->vkEnumeratePhysicalDevices(instance, &count, NULL) != VK_SUCCESS || count == 0) {
        return 1;
    }
    const uint32_t capacity = room_for(count);
    count = capacity;
    VkPhysicalDevice* devices = calloc(capacity, sizeof(VkPhysicalDevice));
    if (devices == NULL) {
        return 1;
    }
    if (calls->vkEnumeratePhysicalDevices(instance, &count, devices) == VK_SUCCESS) {
        for (uint32_t i = 0; i < count && i < capacity; ++i) {
            if (devices[i] != VK_NULL_HANDLE) {
                read_device(calls, devices[i], appendix);
            }
        }
    }
    free(devices);
    return 1;
}
