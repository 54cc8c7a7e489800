#include "vulkan/entry_points.h"

#include "report/report.h"

VulkanEntryPoints vulkan;

const char* const vulkan_loader_name = BRISOL_VULKAN_LOADER_NAME;

ModuleHandle bind_vulkan_loader() {
    return bind_vulkan_library(vulkan_loader_name);
}

ModuleHandle bind_vulkan_library(const char* file_name) {
    ModuleHandle handle = open_module(file_name);
    if (handle == nullptr) {
        // A run in the same process before this one may have bound another library.
        vulkan = VulkanEntryPoints{};
        report_error("Unable to load Vulkan core lib (probably an incompatible driver)");
        return nullptr;
    }
#define BRISOL_BIND_ENTRY_POINT(name) \
    vulkan.name = reinterpret_cast<PFN_##name>(find_module_symbol(handle, #name));
    BRISOL_VULKAN_ENTRY_POINTS(BRISOL_BIND_ENTRY_POINT)
#undef BRISOL_BIND_ENTRY_POINT
    return handle;
}

void report_entry_points() {
    struct EntryPointState {
        const char* name;
        bool loaded;
    };
    const EntryPointState states[] = {
#define BRISOL_ENTRY_POINT_STATE(name) {#name, vulkan.name != nullptr},
        BRISOL_VULKAN_ENTRY_POINTS(BRISOL_ENTRY_POINT_STATE)
#undef BRISOL_ENTRY_POINT_STATE
    };
    append_text("\n\nVulkan entrypoints:");
    append_xml("\n\n<vk_entry_points>");
    bool first = true;
    for (const EntryPointState& state : states) {
        // The first line has one blank after "loaded:", the others two; stored reports keep it.
        append_text("\n- %s loaded:%s%s", state.name, first ? " " : "  ",
                    state.loaded ? "YES" : "NO");
        append_xml("\n\t<vk_entry_point name=\"%s\" loaded=\"%d\" />", state.name,
                   state.loaded ? 1 : 0);
        first = false;
    }
    append_text("\n");
    append_xml("\n</vk_entry_points>\n");
}

void release_vulkan_loader(ModuleHandle handle) {
    if (handle != nullptr) {
        close_module(handle);
    }
}

const VulkanLoader system_vulkan_loader = {bind_vulkan_loader, release_vulkan_loader};
