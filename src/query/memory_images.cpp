// Which memory types can hold images: asked through a logical device made for that alone, with
// one queue that is given no work and no feature or extension enabled, and destroyed once the
// images' requirements are read. Each image is made unbound and destroyed at once.
#include "query/further.h"

namespace {

// A color format, then every depth and stencil format: the kinds of attachment a memory type
// may or may not hold.
const VkFormat image_formats[] = {
    VK_FORMAT_R8G8B8A8_UNORM,
    VK_FORMAT_D16_UNORM,
    VK_FORMAT_X8_D24_UNORM_PACK32,
    VK_FORMAT_D32_SFLOAT,
    VK_FORMAT_S8_UINT,
    VK_FORMAT_D16_UNORM_S8_UINT,
    VK_FORMAT_D24_UNORM_S8_UINT,
    VK_FORMAT_D32_SFLOAT_S8_UINT,
};
const VkImageTiling image_tilings[] = {VK_IMAGE_TILING_OPTIMAL, VK_IMAGE_TILING_LINEAR};

// The format's properties as the formats part read them; null when it did not read this one.
const VkFormatProperties* format_properties(const DeviceFacts& facts, VkFormat format) {
    for (const FormatFacts& read : facts.formats) {
        if (read.info->format == format) {
            return &read.properties;
        }
    }
    return nullptr;
}

// The image create info for the format as an attachment, when the device can make such an
// image: the format's features for the tiling allow the attachment, and the device's image
// format properties say yes.
bool attachment_image(const DeviceFacts& facts, VkFormat format, VkImageTiling tiling,
                      VkImageCreateInfo& info) {
    const VkFormatProperties* properties = format_properties(facts, format);
    if (properties == nullptr) {
        return false;
    }
    const bool color = format == VK_FORMAT_R8G8B8A8_UNORM;
    const VkFormatFeatureFlags wanted = color ? VK_FORMAT_FEATURE_COLOR_ATTACHMENT_BIT
                                              : VK_FORMAT_FEATURE_DEPTH_STENCIL_ATTACHMENT_BIT;
    const VkFormatFeatureFlags features = tiling == VK_IMAGE_TILING_OPTIMAL
                                              ? properties->optimalTilingFeatures
                                              : properties->linearTilingFeatures;
    if ((features & wanted) == 0) {
        return false;
    }
    info = VkImageCreateInfo{};
    info.sType = VK_STRUCTURE_TYPE_IMAGE_CREATE_INFO;
    info.imageType = VK_IMAGE_TYPE_2D;
    info.format = format;
    info.extent = {8, 8, 1};
    info.mipLevels = 1;
    info.arrayLayers = 1;
    info.samples = VK_SAMPLE_COUNT_1_BIT;
    info.tiling = tiling;
    info.usage =
        color ? VK_IMAGE_USAGE_COLOR_ATTACHMENT_BIT : VK_IMAGE_USAGE_DEPTH_STENCIL_ATTACHMENT_BIT;
    info.sharingMode = VK_SHARING_MODE_EXCLUSIVE;
    info.initialLayout = VK_IMAGE_LAYOUT_UNDEFINED;
    VkImageFormatProperties limits{};
    return vulkan_commands.vkGetPhysicalDeviceImageFormatProperties(
               facts.handle, format, info.imageType, tiling, info.usage, 0, &limits) == VK_SUCCESS;
}

VkDevice create_device(const DeviceFacts& facts) {
    const float priority = 1.0f;
    VkDeviceQueueCreateInfo queue{};
    queue.sType = VK_STRUCTURE_TYPE_DEVICE_QUEUE_CREATE_INFO;
    queue.queueFamilyIndex = 0;
    queue.queueCount = 1;
    queue.pQueuePriorities = &priority;
    VkDeviceCreateInfo info{};
    info.sType = VK_STRUCTURE_TYPE_DEVICE_CREATE_INFO;
    info.queueCreateInfoCount = 1;
    info.pQueueCreateInfos = &queue;
    VkDevice device = VK_NULL_HANDLE;
    if (vulkan_commands.vkCreateDevice(facts.handle, &info, nullptr, &device) != VK_SUCCESS) {
        return VK_NULL_HANDLE;
    }
    return device;
}

}  // namespace

void query_memory_images(DeviceFacts& facts) {
    const VulkanCommands& c = vulkan_commands;
    facts.memory_images_available =
        c.vkGetPhysicalDeviceImageFormatProperties != nullptr && c.vkCreateDevice != nullptr &&
        c.vkDestroyDevice != nullptr && c.vkCreateImage != nullptr && c.vkDestroyImage != nullptr &&
        c.vkGetImageMemoryRequirements != nullptr && !facts.queue_families.empty() &&
        facts.queue_families[0].properties.queueCount > 0 && facts.memory_read;
    if (!facts.memory_images_available) {
        return;
    }
    const VkDevice device = create_device(facts);
    if (device == VK_NULL_HANDLE) {
        facts.memory_images_failure = "unable to make a logical device";
        return;
    }
    for (const VkImageTiling tiling : image_tilings) {
        for (const VkFormat format : image_formats) {
            VkImageCreateInfo info;
            if (!attachment_image(facts, format, tiling, info)) {
                continue;
            }
            VkImage image = VK_NULL_HANDLE;
            if (c.vkCreateImage(device, &info, nullptr, &image) != VK_SUCCESS ||
                image == VK_NULL_HANDLE) {
                facts.memory_images_failure = "unable to make an image";
                continue;
            }
            VkMemoryRequirements requirements{};
            c.vkGetImageMemoryRequirements(device, image, &requirements);
            c.vkDestroyImage(device, image, nullptr);
            facts.memory_images.push_back({tiling, format, requirements.memoryTypeBits});
        }
    }
    c.vkDestroyDevice(device, nullptr);
}
