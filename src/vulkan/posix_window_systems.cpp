// X11 (through XCB and through Xlib) and Wayland: each library is opened by its file name, and
// each function is looked up in it, as the loader's are.
#include <xcb/xcb.h>

#include <X11/Xlib.h>
#include <wayland-client.h>

#include <cstring>

#include "vulkan/entry_points.h"
#include "vulkan/module.h"
#include "vulkan/window_system.h"

namespace {

// The function of that name in the library, as the library's own header declares it; null when
// the library lacks it.
template <typename Function>
Function* find(ModuleHandle library, const char* name) {
    return reinterpret_cast<Function*>(find_module_symbol(library, name));
}

// The data object of that name in the library, or null.
template <typename Object>
Object* find_object(ModuleHandle library, const char* name) {
    const ModuleSymbol symbol = find_module_symbol(library, name);
    Object* object = nullptr;
    static_assert(sizeof object == sizeof symbol, "function and data pointers differ in size");
    memcpy(&object, &symbol, sizeof object);
    return object;
}

// The instance's command that makes a surface of this kind, or null.
template <typename Command>
Command surface_command(VkInstance instance, const char* name) {
    return vulkan.vkGetInstanceProcAddr != nullptr
               ? reinterpret_cast<Command>(vulkan.vkGetInstanceProcAddr(instance, name))
               : nullptr;
}

// ---- XCB ----

struct Xcb {
    ModuleHandle library;
    xcb_connection_t* connection;
    xcb_window_t window;
    decltype(&xcb_destroy_window) destroy_window;
    decltype(&xcb_disconnect) disconnect;
};
Xcb xcb;

void close_xcb() {
    if (xcb.connection != nullptr) {
        if (xcb.window != 0) {
            xcb.destroy_window(xcb.connection, xcb.window);
        }
        xcb.disconnect(xcb.connection);
    }
    if (xcb.library != nullptr) {
        close_module(xcb.library);
    }
    xcb = Xcb{};
}

VkSurfaceKHR open_xcb(VkInstance instance, const char** why) {
    close_xcb();
    xcb.library = open_module("libxcb.so.1");
    if (xcb.library == nullptr) {
        *why = "libxcb.so.1 cannot be opened";
        return VK_NULL_HANDLE;
    }
    const auto connect = find<decltype(xcb_connect)>(xcb.library, "xcb_connect");
    const auto has_error =
        find<decltype(xcb_connection_has_error)>(xcb.library, "xcb_connection_has_error");
    const auto get_setup = find<decltype(xcb_get_setup)>(xcb.library, "xcb_get_setup");
    const auto roots =
        find<decltype(xcb_setup_roots_iterator)>(xcb.library, "xcb_setup_roots_iterator");
    const auto next_screen = find<decltype(xcb_screen_next)>(xcb.library, "xcb_screen_next");
    const auto generate_id = find<decltype(xcb_generate_id)>(xcb.library, "xcb_generate_id");
    const auto create_window = find<decltype(xcb_create_window)>(xcb.library, "xcb_create_window");
    const auto flush = find<decltype(xcb_flush)>(xcb.library, "xcb_flush");
    xcb.destroy_window = find<decltype(xcb_destroy_window)>(xcb.library, "xcb_destroy_window");
    xcb.disconnect = find<decltype(xcb_disconnect)>(xcb.library, "xcb_disconnect");
    if (connect == nullptr || has_error == nullptr || get_setup == nullptr || roots == nullptr ||
        next_screen == nullptr || generate_id == nullptr || create_window == nullptr ||
        flush == nullptr || xcb.destroy_window == nullptr || xcb.disconnect == nullptr) {
        close_xcb();
        *why = "libxcb.so.1 lacks a function it should have";
        return VK_NULL_HANDLE;
    }
    int screen_number = 0;
    xcb.connection = connect(nullptr, &screen_number);
    xcb_screen_iterator_t screens = roots(get_setup(xcb.connection));
    if (has_error(xcb.connection) != 0) {
        close_xcb();
        *why = "the display DISPLAY names cannot be reached";
        return VK_NULL_HANDLE;
    }
    for (int i = 0; i < screen_number && screens.rem > 1; ++i) {
        next_screen(&screens);
    }
    xcb.window = generate_id(xcb.connection);
    create_window(xcb.connection, XCB_COPY_FROM_PARENT, xcb.window, screens.data->root, 0, 0, 1, 1,
                  0, XCB_WINDOW_CLASS_INPUT_OUTPUT, screens.data->root_visual, 0, nullptr);
    flush(xcb.connection);
    const auto create =
        surface_command<PFN_vkCreateXcbSurfaceKHR>(instance, "vkCreateXcbSurfaceKHR");
    VkXcbSurfaceCreateInfoKHR info{};
    info.sType = VK_STRUCTURE_TYPE_XCB_SURFACE_CREATE_INFO_KHR;
    info.connection = xcb.connection;
    info.window = xcb.window;
    VkSurfaceKHR surface = VK_NULL_HANDLE;
    if (create == nullptr || create(instance, &info, nullptr, &surface) != VK_SUCCESS ||
        surface == VK_NULL_HANDLE) {
        close_xcb();
        *why = "Vulkan could not make a surface of its window";
        return VK_NULL_HANDLE;
    }
    return surface;
}

// ---- Xlib ----

struct Xlib {
    ModuleHandle library;
    Display* display;
    Window window;
    decltype(&XDestroyWindow) destroy_window;
    decltype(&XCloseDisplay) close_display;
};
Xlib xlib;

void close_xlib() {
    if (xlib.display != nullptr) {
        if (xlib.window != 0) {
            xlib.destroy_window(xlib.display, xlib.window);
        }
        xlib.close_display(xlib.display);
    }
    if (xlib.library != nullptr) {
        close_module(xlib.library);
    }
    xlib = Xlib{};
}

VkSurfaceKHR open_xlib(VkInstance instance, const char** why) {
    close_xlib();
    xlib.library = open_module("libX11.so.6");
    if (xlib.library == nullptr) {
        *why = "libX11.so.6 cannot be opened";
        return VK_NULL_HANDLE;
    }
    const auto open_display = find<decltype(XOpenDisplay)>(xlib.library, "XOpenDisplay");
    const auto root = find<decltype(XDefaultRootWindow)>(xlib.library, "XDefaultRootWindow");
    const auto create_window =
        find<decltype(XCreateSimpleWindow)>(xlib.library, "XCreateSimpleWindow");
    const auto sync = find<decltype(XSync)>(xlib.library, "XSync");
    xlib.destroy_window = find<decltype(XDestroyWindow)>(xlib.library, "XDestroyWindow");
    xlib.close_display = find<decltype(XCloseDisplay)>(xlib.library, "XCloseDisplay");
    if (open_display == nullptr || root == nullptr || create_window == nullptr || sync == nullptr ||
        xlib.destroy_window == nullptr || xlib.close_display == nullptr) {
        close_xlib();
        *why = "libX11.so.6 lacks a function it should have";
        return VK_NULL_HANDLE;
    }
    xlib.display = open_display(nullptr);
    if (xlib.display == nullptr) {
        close_xlib();
        *why = "the display DISPLAY names cannot be reached";
        return VK_NULL_HANDLE;
    }
    xlib.window = create_window(xlib.display, root(xlib.display), 0, 0, 1, 1, 0, 0, 0);
    sync(xlib.display, False);
    const auto create =
        surface_command<PFN_vkCreateXlibSurfaceKHR>(instance, "vkCreateXlibSurfaceKHR");
    VkXlibSurfaceCreateInfoKHR info{};
    info.sType = VK_STRUCTURE_TYPE_XLIB_SURFACE_CREATE_INFO_KHR;
    info.dpy = xlib.display;
    info.window = xlib.window;
    VkSurfaceKHR surface = VK_NULL_HANDLE;
    if (create == nullptr || create(instance, &info, nullptr, &surface) != VK_SUCCESS ||
        surface == VK_NULL_HANDLE) {
        close_xlib();
        *why = "Vulkan could not make a surface of its window";
        return VK_NULL_HANDLE;
    }
    return surface;
}

// ---- Wayland ----
//
// The protocol's requests are inline functions of wayland-client-protocol.h, which call the
// library: they are made here through the library's own marshalling function instead, with the
// interfaces the library exports.

struct Wayland {
    ModuleHandle library;
    wl_display* display;
    wl_proxy* registry;
    wl_proxy* compositor;
    wl_proxy* surface;
    decltype(&wl_proxy_marshal_flags) marshal;
    decltype(&wl_proxy_get_version) version;
    decltype(&wl_proxy_destroy) destroy;
    decltype(&wl_display_disconnect) disconnect;
    const wl_interface* compositor_interface;
};
Wayland wayland;

void close_wayland() {
    if (wayland.surface != nullptr) {
        wayland.marshal(wayland.surface, WL_SURFACE_DESTROY, nullptr,
                        wayland.version(wayland.surface), WL_MARSHAL_FLAG_DESTROY);
    }
    if (wayland.compositor != nullptr) {
        wayland.destroy(wayland.compositor);
    }
    if (wayland.registry != nullptr) {
        wayland.destroy(wayland.registry);
    }
    if (wayland.display != nullptr) {
        wayland.disconnect(wayland.display);
    }
    if (wayland.library != nullptr) {
        close_module(wayland.library);
    }
    wayland = Wayland{};
}

// Binds the compositor when the registry announces it.
void announced(void*, wl_registry* registry, uint32_t name, const char* interface,
               uint32_t version) {
    if (wayland.compositor == nullptr && strcmp(interface, "wl_compositor") == 0) {
        const uint32_t bound = version < 4 ? version : 4;
        wayland.compositor = wayland.marshal(reinterpret_cast<wl_proxy*>(registry),
                                             WL_REGISTRY_BIND, wayland.compositor_interface, bound,
                                             0, name, interface, bound, nullptr);
    }
}

void withdrawn(void*, wl_registry*, uint32_t) {}

const wl_registry_listener registry_listener = {announced, withdrawn};

VkSurfaceKHR open_wayland(VkInstance instance, const char** why) {
    close_wayland();
    wayland.library = open_module("libwayland-client.so.0");
    if (wayland.library == nullptr) {
        *why = "libwayland-client.so.0 cannot be opened";
        return VK_NULL_HANDLE;
    }
    const auto connect = find<decltype(wl_display_connect)>(wayland.library, "wl_display_connect");
    const auto roundtrip =
        find<decltype(wl_display_roundtrip)>(wayland.library, "wl_display_roundtrip");
    const auto add_listener =
        find<decltype(wl_proxy_add_listener)>(wayland.library, "wl_proxy_add_listener");
    const auto registry_interface =
        find_object<const wl_interface>(wayland.library, "wl_registry_interface");
    const auto surface_interface =
        find_object<const wl_interface>(wayland.library, "wl_surface_interface");
    wayland.compositor_interface =
        find_object<const wl_interface>(wayland.library, "wl_compositor_interface");
    wayland.marshal =
        find<decltype(wl_proxy_marshal_flags)>(wayland.library, "wl_proxy_marshal_flags");
    wayland.version = find<decltype(wl_proxy_get_version)>(wayland.library, "wl_proxy_get_version");
    wayland.destroy = find<decltype(wl_proxy_destroy)>(wayland.library, "wl_proxy_destroy");
    wayland.disconnect =
        find<decltype(wl_display_disconnect)>(wayland.library, "wl_display_disconnect");
    if (connect == nullptr || roundtrip == nullptr || add_listener == nullptr ||
        registry_interface == nullptr || surface_interface == nullptr ||
        wayland.compositor_interface == nullptr || wayland.marshal == nullptr ||
        wayland.version == nullptr || wayland.destroy == nullptr || wayland.disconnect == nullptr) {
        close_wayland();
        *why = "libwayland-client.so.0 lacks a function it should have";
        return VK_NULL_HANDLE;
    }
    wayland.display = connect(nullptr);
    if (wayland.display == nullptr) {
        close_wayland();
        *why = "the compositor WAYLAND_DISPLAY names cannot be reached";
        return VK_NULL_HANDLE;
    }
    auto* display = reinterpret_cast<wl_proxy*>(wayland.display);
    wayland.registry = wayland.marshal(display, WL_DISPLAY_GET_REGISTRY, registry_interface,
                                       wayland.version(display), 0, nullptr);
    if (wayland.registry != nullptr) {
        add_listener(
            wayland.registry,
            reinterpret_cast<void (**)()>(const_cast<wl_registry_listener*>(&registry_listener)),
            nullptr);
        roundtrip(wayland.display);
    }
    if (wayland.compositor != nullptr) {
        wayland.surface =
            wayland.marshal(wayland.compositor, WL_COMPOSITOR_CREATE_SURFACE, surface_interface,
                            wayland.version(wayland.compositor), 0, nullptr);
    }
    const auto create =
        surface_command<PFN_vkCreateWaylandSurfaceKHR>(instance, "vkCreateWaylandSurfaceKHR");
    VkWaylandSurfaceCreateInfoKHR info{};
    info.sType = VK_STRUCTURE_TYPE_WAYLAND_SURFACE_CREATE_INFO_KHR;
    info.display = wayland.display;
    info.surface = reinterpret_cast<wl_surface*>(wayland.surface);
    VkSurfaceKHR surface = VK_NULL_HANDLE;
    if (wayland.surface == nullptr || create == nullptr ||
        create(instance, &info, nullptr, &surface) != VK_SUCCESS || surface == VK_NULL_HANDLE) {
        close_wayland();
        *why = "Vulkan could not make a surface of its window";
        return VK_NULL_HANDLE;
    }
    return surface;
}

const WindowSystem systems[] = {
    {"VK_KHR_xcb_surface", "DISPLAY", "DISPLAY is not set", open_xcb, close_xcb},
    {"VK_KHR_xlib_surface", "DISPLAY", "DISPLAY is not set", open_xlib, close_xlib},
    {"VK_KHR_wayland_surface", "WAYLAND_DISPLAY", "WAYLAND_DISPLAY is not set", open_wayland,
     close_wayland},
};

}  // namespace

const WindowSystem* const platform_window_systems = systems;
const uint32_t platform_window_system_count = sizeof systems / sizeof systems[0];
