#include "vulkan/instance.h"

#include "app/product.h"
#include "report/report.h"
#include "vulkan/entry_points.h"

VkInstance create_vulkan_instance() {
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

    VkInstance instance = VK_NULL_HANDLE;
    const VkResult result = vulkan.vkCreateInstance(&create_info, nullptr, &instance);
    if (result == VK_SUCCESS) {
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
