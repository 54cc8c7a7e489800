// A device and each surface of the instance: present support, capabilities, formats, present
// modes and present rectangles, through the instance-level commands only (no logical device).
#include <cstring>

#include "query/further.h"

namespace {

void query_present_support(const DeviceFacts& facts, VkSurfaceKHR surface, SurfaceFacts& out) {
    const auto get = vulkan_commands.vkGetPhysicalDeviceSurfaceSupportKHR;
    if (get == nullptr) {
        return;
    }
    for (uint32_t family = 0; family < facts.queue_families.size(); ++family) {
        VkBool32 supported = VK_FALSE;
        if (get(facts.handle, family, surface, &supported) != VK_SUCCESS) {
            out.present_support_failure = "unable to read the present support";
            out.present_support.clear();
            return;
        }
        out.present_support.push_back(supported);
    }
}

void query_capabilities(const DeviceFacts& facts, const DeviceOffer& offer, VkSurfaceKHR surface,
                        SurfaceFacts& out) {
    const auto get2 = vulkan_commands.vkGetPhysicalDeviceSurfaceCapabilities2KHR;
    const auto get = vulkan_commands.vkGetPhysicalDeviceSurfaceCapabilitiesKHR;
    VkResult result = VK_SUCCESS;
    if (get2 != nullptr) {
        // The present scaling capabilities are asked for one present mode at a time.
        lay_out_chain(out.capability_chain, ChainRoot::SurfaceCapabilities2, offer,
                      VK_STRUCTURE_TYPE_SURFACE_PRESENT_SCALING_CAPABILITIES_EXT);
        VkPhysicalDeviceSurfaceInfo2KHR info{};
        info.sType = VK_STRUCTURE_TYPE_PHYSICAL_DEVICE_SURFACE_INFO_2_KHR;
        info.surface = surface;
        VkSurfaceCapabilities2KHR head{};
        head.sType = VK_STRUCTURE_TYPE_SURFACE_CAPABILITIES_2_KHR;
        head.pNext = link_chain(out.capability_chain);
        result = get2(facts.handle, &info, &head);
        unlink_chain(out.capability_chain);
        out.capabilities = head.surfaceCapabilities;
    } else if (get != nullptr) {
        result = get(facts.handle, surface, &out.capabilities);
    } else {
        return;
    }
    out.capabilities_read = result == VK_SUCCESS;
    if (!out.capabilities_read) {
        out.capabilities_failure = "unable to read the surface capabilities";
        out.capability_chain = StructureChain{};
    }
}

void query_formats(const DeviceFacts& facts, const DeviceOffer& offer, VkSurfaceKHR surface,
                   SurfaceFacts& out) {
    const auto get2 = vulkan_commands.vkGetPhysicalDeviceSurfaceFormats2KHR;
    const auto get = vulkan_commands.vkGetPhysicalDeviceSurfaceFormatsKHR;
    const VkPhysicalDevice device = facts.handle;
    if (get2 == nullptr) {
        std::vector<VkSurfaceFormatKHR> formats;
        if (get == nullptr) {
            return;
        }
        if (!list_read(read_list(formats, VkSurfaceFormatKHR{},
                                 [get, device, surface](uint32_t* count, VkSurfaceFormatKHR* all) {
                                     return get(device, surface, count, all);
                                 }))) {
            out.formats_failure = "unable to read the surface formats";
        }
        for (const VkSurfaceFormatKHR& format : formats) {
            out.formats.push_back({format, {}});
        }
        return;
    }
    VkPhysicalDeviceSurfaceInfo2KHR info{};
    info.sType = VK_STRUCTURE_TYPE_PHYSICAL_DEVICE_SURFACE_INFO_2_KHR;
    info.surface = surface;
    uint32_t count = 0;
    if (get2(device, &info, &count, nullptr) != VK_SUCCESS) {
        out.formats_failure = "unable to read the surface formats";
        return;
    }
    count = list_room(count);
    StructureChain layout;
    lay_out_chain(layout, ChainRoot::SurfaceFormat2, offer);
    out.formats.assign(count, SurfaceFormatFacts{{}, layout});
    std::vector<VkSurfaceFormat2KHR> formats(count);
    for (uint32_t i = 0; i < count; ++i) {
        formats[i].sType = VK_STRUCTURE_TYPE_SURFACE_FORMAT_2_KHR;
        formats[i].pNext = link_chain(out.formats[i].chain);
    }
    const VkResult result = get2(device, &info, &count, count > 0 ? formats.data() : nullptr);
    if (result != VK_SUCCESS) {
        out.formats_failure = "unable to read the surface formats";
        out.formats.clear();
        return;
    }
    // A driver that claims more formats than it was given room for is not believed.
    out.formats.resize(count < formats.size() ? count : formats.size());
    for (size_t i = 0; i < out.formats.size(); ++i) {
        out.formats[i].format = formats[i].surfaceFormat;
        unlink_chain(out.formats[i].chain);
    }
}

void query_present_modes(const DeviceFacts& facts, VkSurfaceKHR surface, SurfaceFacts& out) {
    const auto get = vulkan_commands.vkGetPhysicalDeviceSurfacePresentModesKHR;
    if (get == nullptr) {
        return;
    }
    const VkPhysicalDevice device = facts.handle;
    if (!list_read(read_list(out.present_modes, uint32_t{0},
                             [get, device, surface](uint32_t* count, uint32_t* modes) {
                                 return get(device, surface, count,
                                            reinterpret_cast<VkPresentModeKHR*>(modes));
                             }))) {
        out.present_modes_failure = "unable to read the present modes";
    }
}

// The structure of the tables that says how a present mode scales, or null.
const StructureInfo* scaling_structure() {
    for (uint32_t i = 0; i < chained_structure_count; ++i) {
        if (chained_structures[i]->stype ==
            VK_STRUCTURE_TYPE_SURFACE_PRESENT_SCALING_CAPABILITIES_EXT) {
            return chained_structures[i];
        }
    }
    return nullptr;
}

// One present mode's capabilities: the scaling, and the compatible modes by the two calls (each
// a whole capabilities query).
void query_present_mode(const DeviceFacts& facts, VkSurfaceKHR surface, PresentModeFacts& out) {
    const auto get2 = vulkan_commands.vkGetPhysicalDeviceSurfaceCapabilities2KHR;
    const StructureInfo* scaling = scaling_structure();
    lay_out_structures(out.chain, &scaling, scaling != nullptr ? 1 : 0);
    VkSurfacePresentModeEXT mode{};
    mode.sType = VK_STRUCTURE_TYPE_SURFACE_PRESENT_MODE_EXT;
    mode.presentMode = static_cast<VkPresentModeKHR>(out.mode);
    VkPhysicalDeviceSurfaceInfo2KHR info{};
    info.sType = VK_STRUCTURE_TYPE_PHYSICAL_DEVICE_SURFACE_INFO_2_KHR;
    info.pNext = &mode;
    info.surface = surface;
    VkSurfacePresentModeCompatibilityEXT compatibility{};
    compatibility.sType = VK_STRUCTURE_TYPE_SURFACE_PRESENT_MODE_COMPATIBILITY_EXT;
    compatibility.pNext = link_chain(out.chain);
    VkSurfaceCapabilities2KHR head{};
    head.sType = VK_STRUCTURE_TYPE_SURFACE_CAPABILITIES_2_KHR;
    head.pNext = &compatibility;
    VkResult result = get2(facts.handle, &info, &head);
    if (result == VK_SUCCESS && compatibility.presentModeCount > 0) {
        const uint32_t room = list_room(compatibility.presentModeCount);
        out.compatible.assign(room, 0);
        compatibility.presentModeCount = room;
        compatibility.pPresentModes = reinterpret_cast<VkPresentModeKHR*>(out.compatible.data());
        result = get2(facts.handle, &info, &head);
        out.compatible.resize(compatibility.presentModeCount < room ? compatibility.presentModeCount
                                                                    : room);
    }
    unlink_chain(out.chain);
    if (result != VK_SUCCESS) {
        out.failure = "unable to read the present mode's capabilities";
        out.chain = StructureChain{};
        out.compatible.clear();
    }
}

void query_present_mode_capabilities(const InstanceFacts& instance, const DeviceFacts& facts,
                                     VkSurfaceKHR surface, SurfaceFacts& out) {
    if (vulkan_commands.vkGetPhysicalDeviceSurfaceCapabilities2KHR == nullptr ||
        !instance_enabled(instance.setup, VK_EXT_SURFACE_MAINTENANCE_1_EXTENSION_NAME)) {
        return;
    }
    for (const uint32_t mode : out.present_modes) {
        // Only a mode Vulkan names may be given back to the driver.
        if (value_name(present_mode_names, mode) == nullptr) {
            continue;
        }
        PresentModeFacts present{mode, {}, {}, nullptr};
        query_present_mode(facts, surface, present);
        out.present_mode_capabilities.push_back(std::move(present));
    }
}

void query_rectangles(const DeviceFacts& facts, VkSurfaceKHR surface, SurfaceFacts& out) {
    const auto get = vulkan_commands.vkGetPhysicalDevicePresentRectanglesKHR;
    const bool swapchain = facts.api_version >= VK_API_VERSION_1_1 &&
                           listed(facts.extensions, VK_KHR_SWAPCHAIN_EXTENSION_NAME);
    out.rectangles_available =
        get != nullptr &&
        (swapchain || listed(facts.extensions, VK_KHR_DEVICE_GROUP_EXTENSION_NAME));
    if (!out.rectangles_available) {
        return;
    }
    const VkPhysicalDevice device = facts.handle;
    if (!list_read(read_list(out.rectangles, VkRect2D{},
                             [get, device, surface](uint32_t* count, VkRect2D* rectangles) {
                                 return get(device, surface, count, rectangles);
                             }))) {
        out.rectangles_failure = "unable to read the present rectangles";
    }
}

}  // namespace

void query_surfaces(const InstanceFacts& instance, DeviceFacts& facts) {
    if (instance.surfaces.made.empty()) {
        return;
    }
    // The surfaces' structures come with the instance's extensions as well as the device's.
    const DeviceOffer offer = device_offer(facts, instance.setup.enabled_extensions);
    for (const MadeSurface& made : instance.surfaces.made) {
        SurfaceFacts surface;
        surface.extension = made.extension;
        query_present_support(facts, made.surface, surface);
        query_capabilities(facts, offer, made.surface, surface);
        query_formats(facts, offer, made.surface, surface);
        query_present_modes(facts, made.surface, surface);
        query_present_mode_capabilities(instance, facts, made.surface, surface);
        query_rectangles(facts, made.surface, surface);
        facts.surfaces.push_back(std::move(surface));
    }
}
