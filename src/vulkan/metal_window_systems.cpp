// macOS: a CAMetalLayer, the smallest object a Metal surface needs, made through the Objective-C
// runtime, which is loaded at run time like the loader.
#include <vulkan/vulkan.h>
#include <vulkan/vulkan_metal.h>

#include "vulkan/entry_points.h"
#include "vulkan/module.h"
#include "vulkan/window_system.h"

namespace {

using ObjectiveCObject = void*;
using GetClass = ObjectiveCObject (*)(const char*);
using RegisterSelector = ObjectiveCObject (*)(const char*);
using Send = ObjectiveCObject (*)(ObjectiveCObject, ObjectiveCObject);

struct Metal {
    ModuleHandle runtime;
    ModuleHandle quartz;
    ObjectiveCObject layer;
    Send send;
    RegisterSelector selector;
};
Metal metal;

void close_metal() {
    if (metal.layer != nullptr) {
        metal.send(metal.layer, metal.selector("release"));
    }
    if (metal.quartz != nullptr) {
        close_module(metal.quartz);
    }
    if (metal.runtime != nullptr) {
        close_module(metal.runtime);
    }
    metal = Metal{};
}

VkSurfaceKHR open_metal(VkInstance instance, const char** why) {
    close_metal();
    metal.runtime = open_module("/usr/lib/libobjc.A.dylib");
    // The framework defines the CAMetalLayer class once it is loaded.
    metal.quartz = open_module("/System/Library/Frameworks/QuartzCore.framework/QuartzCore");
    if (metal.runtime == nullptr || metal.quartz == nullptr) {
        close_metal();
        *why = "the Objective-C runtime or QuartzCore cannot be opened";
        return VK_NULL_HANDLE;
    }
    const auto get_class =
        reinterpret_cast<GetClass>(find_module_symbol(metal.runtime, "objc_getClass"));
    metal.selector =
        reinterpret_cast<RegisterSelector>(find_module_symbol(metal.runtime, "sel_registerName"));
    metal.send = reinterpret_cast<Send>(find_module_symbol(metal.runtime, "objc_msgSend"));
    const ObjectiveCObject layer_class = get_class != nullptr ? get_class("CAMetalLayer") : nullptr;
    if (layer_class == nullptr || metal.selector == nullptr || metal.send == nullptr) {
        close_metal();
        *why = "CAMetalLayer cannot be found";
        return VK_NULL_HANDLE;
    }
    metal.layer = metal.send(layer_class, metal.selector("new"));
    const auto create = vulkan.vkGetInstanceProcAddr != nullptr
                            ? reinterpret_cast<PFN_vkCreateMetalSurfaceEXT>(
                                  vulkan.vkGetInstanceProcAddr(instance, "vkCreateMetalSurfaceEXT"))
                            : nullptr;
    VkMetalSurfaceCreateInfoEXT info{};
    info.sType = VK_STRUCTURE_TYPE_METAL_SURFACE_CREATE_INFO_EXT;
    info.pLayer = static_cast<const CAMetalLayer*>(metal.layer);
    VkSurfaceKHR surface = VK_NULL_HANDLE;
    if (metal.layer == nullptr || create == nullptr ||
        create(instance, &info, nullptr, &surface) != VK_SUCCESS || surface == VK_NULL_HANDLE) {
        close_metal();
        *why = "Vulkan could not make a surface of its layer";
        return VK_NULL_HANDLE;
    }
    return surface;
}

const WindowSystem systems[] = {
    {"VK_EXT_metal_surface", nullptr, nullptr, open_metal, close_metal},
};

}  // namespace

const WindowSystem* const platform_window_systems = systems;
const uint32_t platform_window_system_count = sizeof systems / sizeof systems[0];
