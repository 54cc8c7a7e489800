#include "vulkan/instance.h"

#include <cstdint>
#include <cstring>
#include <vector>

#include "report/product.h"
#include "report/report.h"
#include "vulkan/entry_points.h"
#include "vulkan/lists.h"
#include "vulkan/surfaces.h"

const bool platform_enumerates_portability = BRISOL_ENUMERATE_PORTABILITY != 0;

namespace {

const char* const portability_extension = VK_KHR_PORTABILITY_ENUMERATION_EXTENSION_NAME;
const char* const properties2_extension = VK_KHR_GET_PHYSICAL_DEVICE_PROPERTIES_2_EXTENSION_NAME;

}  // namespace

bool instance_extension_listed(const char* name) {
    // A list that grew in between answers VK_INCOMPLETE; the instance is then created as usual
    // rather than probed again.
    std::vector<VkExtensionProperties> extensions;
    read_instance_extensions(nullptr, extensions);
    for (const VkExtensionProperties& extension : extensions) {
        if (strcmp(vulkan_name(extension.extensionName).text, name) == 0) {
            return true;
        }
    }
    return false;
}

bool enumerate_portability(bool platform_wants) {
    return platform_wants && instance_extension_listed(portability_extension);
}

namespace {

// extensions: what to enable besides portability enumeration.
VkInstance create_instance(uint32_t api_version, const std::vector<const char*>& extensions,
                           bool platform_wants) {
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
    application.apiVersion = api_version;

    // Lives until vkCreateInstance returns, which is all the loader asks.
    std::vector<const char*> enabled;
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
        enabled.push_back(portability_extension);
    }
    enabled.insert(enabled.end(), extensions.begin(), extensions.end());
    if (!enabled.empty()) {
        create_info.enabledExtensionCount = static_cast<uint32_t>(enabled.size());
        create_info.ppEnabledExtensionNames = enabled.data();
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

}  // namespace

VkInstance create_vulkan_instance(bool platform_wants) {
    return create_instance(VK_MAKE_VERSION(1, 0, 0), {}, platform_wants);
}

VkInstance create_complete_instance(InstanceSetup& setup, bool surfaces, bool platform_wants) {
    setup = InstanceSetup{};
    setup.loader_version = loader_instance_version();
    // Both the loader and the headers must know the version; its patch level is not asked for.
    const uint32_t known = setup.loader_version < VK_HEADER_VERSION_COMPLETE
                               ? setup.loader_version
                               : VK_HEADER_VERSION_COMPLETE;
    setup.api_version =
        VK_MAKE_API_VERSION(0, VK_API_VERSION_MAJOR(known), VK_API_VERSION_MINOR(known), 0);
    // The list is read once, and only when something is looked for in it.
    std::vector<VkExtensionProperties> listed;
    if (setup.api_version < VK_API_VERSION_1_1 || surfaces) {
        read_instance_extensions(nullptr, listed);
    }
    for (const VkExtensionProperties& extension : listed) {
        if (setup.api_version < VK_API_VERSION_1_1 &&
            strcmp(vulkan_name(extension.extensionName).text, properties2_extension) == 0) {
            setup.properties2_extension = true;
            setup.enabled_extensions.push_back(properties2_extension);
        }
    }
    if (surfaces) {
        add_surface_extensions(listed, setup.enabled_extensions, setup.displayless_extensions);
    }
    return create_instance(setup.api_version, setup.enabled_extensions, platform_wants);
}

void destroy_vulkan_instance(VkInstance instance) {
    if (instance != VK_NULL_HANDLE && vulkan.vkDestroyInstance != nullptr) {
        vulkan.vkDestroyInstance(instance, nullptr);
    }
}
