#include "vulkan/instance.h"

#include <cstdint>
#include <cstring>
#include <vector>

#include "app/product.h"
#include "report/report.h"
#include "vulkan/entry_points.h"

const bool platform_enumerates_portability = BRISOL_ENUMERATE_PORTABILITY != 0;

namespace {

// Lives as long as the program, so the pointer handed to vkCreateInstance never dangles.
const char* const portability_extensions[] = {VK_KHR_PORTABILITY_ENUMERATION_EXTENSION_NAME};

}  // namespace

bool enumerate_portability(bool platform_wants) {
    if (!platform_wants || vulkan.vkEnumerateInstanceExtensionProperties == nullptr) {
        return false;
    }
    uint32_t count = 0;
    if (vulkan.vkEnumerateInstanceExtensionProperties(nullptr, &count, nullptr) != VK_SUCCESS ||
        count == 0) {
        return false;
    }
    count = list_room(count);
    std::vector<VkExtensionProperties> properties(count);
    // A list that grew in between answers VK_INCOMPLETE; the instance is then created as usual
    // rather than probed again.
    if (vulkan.vkEnumerateInstanceExtensionProperties(nullptr, &count, properties.data()) !=
        VK_SUCCESS) {
        return false;
    }
    const size_t listed = count < properties.size() ? count : properties.size();
    for (size_t i = 0; i < listed; ++i) {
        if (strcmp(vulkan_name(properties[i].extensionName).text, portability_extensions[0]) == 0) {
            return true;
        }
    }
    return false;
}

VkInstance create_vulkan_instance(bool platform_wants) {
    if (vulkan.vkCreateInstance == nullptr) {
        return VK_NULL_HANDLE;
    }
    VkApplicationInfo application{};
    application.sType = VK_STRUCTURE_TYPE_APPLICATION_INFO;
    application.pNext = nullptr;
    application.pApplicationName = BRISOL_DISPLAY_NAME;
    application.applicationVersion = 1;
    application.pEngineName = BRISOL_DISPLAY_NAME;
    application.engineVersion = 1;
    application.apiVersion = VK_MAKE_VERSION(1, 0, 0);

    VkInstanceCreateInfo create_info{};
    create_info.sType = VK_STRUCTURE_TYPE_INSTANCE_CREATE_INFO;
    create_info.pNext = nullptr;
    create_info.flags = 0;
    create_info.pApplicationInfo = &application;
    create_info.enabledLayerCount = 0;
    create_info.ppEnabledLayerNames = nullptr;
    create_info.enabledExtensionCount = 0;
    create_info.ppEnabledExtensionNames = nullptr;
    if (enumerate_portability(platform_wants)) {
        create_info.flags = VK_INSTANCE_CREATE_ENUMERATE_PORTABILITY_BIT_KHR;
        create_info.enabledExtensionCount = 1;
        create_info.ppEnabledExtensionNames = portability_extensions;
    }

    VkInstance instance = VK_NULL_HANDLE;
    const VkResult result = vulkan.vkCreateInstance(&create_info, nullptr, &instance);
    // A success that hands back no instance is a failure like any other.
    if (result == VK_SUCCESS && instance != VK_NULL_HANDLE) {
        return instance;
    }
    // Whatever a failed call stored in the handle is not ours to use.
    if (result == VK_ERROR_INCOMPATIBLE_DRIVER) {
        report_error("Vulkan instance creation failed (code: VK_ERROR_INCOMPATIBLE_DRIVER)");
    } else {
        report_error("Vulkan instance creation failed: unknown error");
    }
    return VK_NULL_HANDLE;
}

void destroy_vulkan_instance(VkInstance instance) {
    if (instance != VK_NULL_HANDLE && vulkan.vkDestroyInstance != nullptr) {
        vulkan.vkDestroyInstance(instance, nullptr);
    }
}
