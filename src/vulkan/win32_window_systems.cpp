// Windows: a window of a class of the program's own, made through user32.dll, which is loaded
// at run time like the loader so that the program keeps importing nothing but the C runtime
// and kernel32.
#include <windows.h>

#include <vulkan/vulkan.h>
#include <vulkan/vulkan_win32.h>

#include "vulkan/entry_points.h"
#include "vulkan/module.h"
#include "vulkan/window_system.h"

namespace {

struct User32 {
    ModuleHandle library;
    HWND window;
    bool registered;
    decltype(&DestroyWindow) destroy_window;
    decltype(&UnregisterClassA) unregister_class;
};
User32 user32;

const char* const class_name = "BrisolSurfaceWindow";

template <typename Function>
Function* find(const char* name) {
    return reinterpret_cast<Function*>(find_module_symbol(user32.library, name));
}

void close_win32() {
    if (user32.window != nullptr) {
        user32.destroy_window(user32.window);
    }
    if (user32.registered) {
        user32.unregister_class(class_name, GetModuleHandleA(nullptr));
    }
    if (user32.library != nullptr) {
        close_module(user32.library);
    }
    user32 = User32{};
}

VkSurfaceKHR open_win32(VkInstance instance, const char** why) {
    close_win32();
    user32.library = open_module("user32.dll");
    if (user32.library == nullptr) {
        *why = "user32.dll cannot be opened";
        return VK_NULL_HANDLE;
    }
    const auto register_class = find<decltype(RegisterClassExA)>("RegisterClassExA");
    const auto create_window = find<decltype(CreateWindowExA)>("CreateWindowExA");
    const auto default_procedure = find<decltype(DefWindowProcA)>("DefWindowProcA");
    user32.destroy_window = find<decltype(DestroyWindow)>("DestroyWindow");
    user32.unregister_class = find<decltype(UnregisterClassA)>("UnregisterClassA");
    if (register_class == nullptr || create_window == nullptr || default_procedure == nullptr ||
        user32.destroy_window == nullptr || user32.unregister_class == nullptr) {
        close_win32();
        *why = "user32.dll lacks a function it should have";
        return VK_NULL_HANDLE;
    }
    const HINSTANCE module = GetModuleHandleA(nullptr);
    WNDCLASSEXA window_class{};
    window_class.cbSize = sizeof window_class;
    window_class.lpfnWndProc = default_procedure;
    window_class.hInstance = module;
    window_class.lpszClassName = class_name;
    user32.registered = register_class(&window_class) != 0;
    user32.window = create_window(0, class_name, class_name, WS_OVERLAPPEDWINDOW, 0, 0, 1, 1,
                                  nullptr, nullptr, module, nullptr);
    if (user32.window == nullptr) {
        close_win32();
        *why = "no window could be made";
        return VK_NULL_HANDLE;
    }
    const auto create = vulkan.vkGetInstanceProcAddr != nullptr
                            ? reinterpret_cast<PFN_vkCreateWin32SurfaceKHR>(
                                  vulkan.vkGetInstanceProcAddr(instance, "vkCreateWin32SurfaceKHR"))
                            : nullptr;
    VkWin32SurfaceCreateInfoKHR info{};
    info.sType = VK_STRUCTURE_TYPE_WIN32_SURFACE_CREATE_INFO_KHR;
    info.hinstance = module;
    info.hwnd = user32.window;
    VkSurfaceKHR surface = VK_NULL_HANDLE;
    if (create == nullptr || create(instance, &info, nullptr, &surface) != VK_SUCCESS ||
        surface == VK_NULL_HANDLE) {
        close_win32();
        *why = "Vulkan could not make a surface of its window";
        return VK_NULL_HANDLE;
    }
    return surface;
}

const WindowSystem systems[] = {
    {"VK_KHR_win32_surface", nullptr, nullptr, open_win32, close_win32},
};

}  // namespace

const WindowSystem* const platform_window_systems = systems;
const uint32_t platform_window_system_count = sizeof systems / sizeof systems[0];
