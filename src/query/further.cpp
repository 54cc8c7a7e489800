#include "query/further.h"

#include <cstring>

#include "vulkan/entry_points.h"

namespace {

// The most video profiles a device is asked about, and the most it is reported with: each
// codec's profile structure has a few values to try, each with three chroma subsamplings and
// three bit depths.
constexpr uint32_t most_video_profiles = 1024;
constexpr size_t most_kept_video_profiles = 64;

// Whether the device, or a layer for it, lists the extension.
bool offered(const DeviceFacts& facts, const char* name) {
    if (listed(facts.extensions, name)) {
        return true;
    }
    for (const LayerDeviceExtensions& layer : facts.layer_extensions) {
        if (listed(layer.extensions, name)) {
            return true;
        }
    }
    return false;
}

}  // namespace

void query_layer_extensions(const InstanceFacts& instance, DeviceFacts& facts) {
    const VkPhysicalDevice device = facts.handle;
    for (const LayerFacts& layer : instance.layers) {
        LayerDeviceExtensions extensions{{}, nullptr};
        const char* name = layer.properties.layerName;
        if (vulkan.vkEnumerateDeviceExtensionProperties == nullptr ||
            !list_read(read_list(extensions.extensions, VkExtensionProperties{},
                                 [device, name](uint32_t* count, VkExtensionProperties* records) {
                                     return vulkan.vkEnumerateDeviceExtensionProperties(
                                         device, name, count, records);
                                 }))) {
            extensions.failure = "unable to read the layer's device extensions";
        }
        facts.layer_extensions.push_back(std::move(extensions));
    }
}

void query_tools(DeviceFacts& facts) {
    // The validation layer adds VK_EXT_tooling_info for the device, and answers the extension's
    // command with itself where the core command, which it does not intercept, answers none.
    const bool extension = offered(facts, VK_EXT_TOOLING_INFO_EXTENSION_NAME);
    facts.tools_available = facts.api_version >= VK_API_VERSION_1_3 || extension;
    if (!facts.tools_available) {
        return;
    }
    const auto get = extension ? vulkan_commands.vkGetPhysicalDeviceToolPropertiesEXT
                               : vulkan_commands.vkGetPhysicalDeviceToolProperties;
    if (get == nullptr) {
        facts.tools_failure = extension ? "vkGetPhysicalDeviceToolPropertiesEXT is missing"
                                        : "vkGetPhysicalDeviceToolProperties is missing";
        return;
    }
    VkPhysicalDeviceToolProperties prototype{};
    prototype.sType = VK_STRUCTURE_TYPE_PHYSICAL_DEVICE_TOOL_PROPERTIES;
    const VkPhysicalDevice device = facts.handle;
    if (!list_read(read_list(facts.tools, prototype,
                             [get, device](uint32_t* count, VkPhysicalDeviceToolProperties* tools) {
                                 return get(device, count, tools);
                             }))) {
        facts.tools_failure = "unable to read the tool properties";
    }
}

void query_time_domains(DeviceFacts& facts) {
    const auto get = vulkan_commands.vkGetPhysicalDeviceCalibrateableTimeDomainsEXT;
    facts.time_domains_available =
        get != nullptr && listed(facts.extensions, VK_EXT_CALIBRATED_TIMESTAMPS_EXTENSION_NAME);
    if (!facts.time_domains_available) {
        return;
    }
    const VkPhysicalDevice device = facts.handle;
    // Read as numbers: an enumeration may hold only the values it names.
    if (!list_read(read_list(
            facts.time_domains, uint32_t{0}, [get, device](uint32_t* count, uint32_t* domains) {
                return get(device, count, reinterpret_cast<VkTimeDomainEXT*>(domains));
            }))) {
        facts.time_domains_failure = "unable to read the calibrateable time domains";
    }
}

void query_shading_rates(DeviceFacts& facts) {
    const auto get = vulkan_commands.vkGetPhysicalDeviceFragmentShadingRatesKHR;
    facts.shading_rates_available =
        get != nullptr && listed(facts.extensions, VK_KHR_FRAGMENT_SHADING_RATE_EXTENSION_NAME);
    if (!facts.shading_rates_available) {
        return;
    }
    VkPhysicalDeviceFragmentShadingRateKHR prototype{};
    prototype.sType = VK_STRUCTURE_TYPE_PHYSICAL_DEVICE_FRAGMENT_SHADING_RATE_KHR;
    const VkPhysicalDevice device = facts.handle;
    if (!list_read(read_list(
            facts.shading_rates, prototype,
            [get, device](uint32_t* count, VkPhysicalDeviceFragmentShadingRateKHR* rates) {
                return get(device, count, rates);
            }))) {
        facts.shading_rates_failure = "unable to read the fragment shading rates";
    }
}

void query_multisample(DeviceFacts& facts) {
    const auto get = vulkan_commands.vkGetPhysicalDeviceMultisamplePropertiesEXT;
    const void* locations = facts.property_chain.find(
        VK_STRUCTURE_TYPE_PHYSICAL_DEVICE_SAMPLE_LOCATIONS_PROPERTIES_EXT);
    facts.multisample_available = get != nullptr && locations != nullptr &&
                                  listed(facts.extensions, VK_EXT_SAMPLE_LOCATIONS_EXTENSION_NAME);
    if (!facts.multisample_available) {
        return;
    }
    VkPhysicalDeviceSampleLocationsPropertiesEXT properties;
    memcpy(&properties, locations, sizeof properties);
    // One call per sample count the device says it can place samples for, of those Vulkan
    // names: no other may be asked about.
    for (uint32_t i = 0; i < sample_count_names.count; ++i) {
        const auto mask = static_cast<uint32_t>(sample_count_names.values[i].value);
        if ((properties.sampleLocationSampleCounts & mask) == 0) {
            continue;
        }
        MultisampleFacts multisample{mask, {}};
        multisample.properties.sType = VK_STRUCTURE_TYPE_MULTISAMPLE_PROPERTIES_EXT;
        get(facts.handle, static_cast<VkSampleCountFlagBits>(mask), &multisample.properties);
        multisample.properties.pNext = nullptr;
        facts.multisample.push_back(multisample);
    }
}

void query_cooperative_matrices(DeviceFacts& facts) {
    const auto get = vulkan_commands.vkGetPhysicalDeviceCooperativeMatrixPropertiesNV;
    facts.cooperative_matrices_available =
        get != nullptr && listed(facts.extensions, VK_NV_COOPERATIVE_MATRIX_EXTENSION_NAME);
    if (!facts.cooperative_matrices_available) {
        return;
    }
    VkCooperativeMatrixPropertiesNV prototype{};
    prototype.sType = VK_STRUCTURE_TYPE_COOPERATIVE_MATRIX_PROPERTIES_NV;
    const VkPhysicalDevice device = facts.handle;
    if (!list_read(read_list(facts.cooperative_matrices, prototype,
                             [get, device](uint32_t* count, VkCooperativeMatrixPropertiesNV* all) {
                                 return get(device, count, all);
                             }))) {
        facts.cooperative_matrices_failure = "unable to read the cooperative matrix properties";
    }
}

// ---- Video ----

namespace {

// The codec operations any queue family reports.
uint32_t codec_operations(const DeviceFacts& facts) {
    uint32_t operations = 0;
    for (const QueueFamilyFacts& family : facts.queue_families) {
        if (const void* bytes =
                family.chain.find(VK_STRUCTURE_TYPE_QUEUE_FAMILY_VIDEO_PROPERTIES_KHR)) {
            VkQueueFamilyVideoPropertiesKHR video;
            memcpy(&video, bytes, sizeof video);
            operations |= video.videoCodecOperations;
        }
    }
    return operations;
}

// The values to try for each member of a codec's profile structure: every named value of an
// enumeration member but the invalid ones. Members of other kinds stay 0.
struct ProfileMember {
    const MemberRow* member;
    std::vector<uint64_t> values;
};

std::vector<ProfileMember> profile_members(const StructureInfo* profile) {
    std::vector<ProfileMember> members;
    for (uint32_t i = 0; profile != nullptr && i < profile->member_count; ++i) {
        const MemberRow& member = profile->members[i];
        if (member.kind != MemberKind::Enum || member.names == nullptr || member.count != 1) {
            continue;
        }
        ProfileMember tried{&member, {}};
        for (uint32_t v = 0; v < member.names->count; ++v) {
            if (strstr(member.names->values[v].name, "_INVALID") == nullptr) {
                tried.values.push_back(member.names->values[v].value);
            }
        }
        if (!tried.values.empty()) {
            members.push_back(std::move(tried));
        }
    }
    return members;
}

void query_video_formats(const DeviceFacts& facts, const VideoCodecInfo& codec,
                         VideoProfileFacts& profile) {
    const auto get = vulkan_commands.vkGetPhysicalDeviceVideoFormatPropertiesKHR;
    if (get == nullptr) {
        return;
    }
    for (uint32_t u = 0; u < codec.image_usage_count; ++u) {
        VideoFormatFacts formats{codec.image_usages[u], {}, nullptr};
        VkVideoProfileListInfoKHR list{};
        list.sType = VK_STRUCTURE_TYPE_VIDEO_PROFILE_LIST_INFO_KHR;
        list.profileCount = 1;
        list.pProfiles = &profile.profile;
        VkPhysicalDeviceVideoFormatInfoKHR info{};
        info.sType = VK_STRUCTURE_TYPE_PHYSICAL_DEVICE_VIDEO_FORMAT_INFO_KHR;
        info.pNext = &list;
        info.imageUsage = codec.image_usages[u];
        VkVideoFormatPropertiesKHR prototype{};
        prototype.sType = VK_STRUCTURE_TYPE_VIDEO_FORMAT_PROPERTIES_KHR;
        const VkPhysicalDevice device = facts.handle;
        if (!list_read(read_list(
                formats.formats, prototype,
                [get, device, &info](uint32_t* count, VkVideoFormatPropertiesKHR* records) {
                    return get(device, &info, count, records);
                }))) {
            formats.failure = "unable to read the video format properties";
        }
        for (VkVideoFormatPropertiesKHR& format : formats.formats) {
            format.pNext = nullptr;
        }
        profile.formats.push_back(std::move(formats));
    }
}

// Asks for the capabilities of the profile; true, with them kept, when the device accepts it.
bool try_video_profile(DeviceFacts& facts, const VideoCodecInfo& codec,
                       VideoProfileFacts& profile) {
    ++facts.video_profiles_tried;
    profile.profile.pNext = link_chain(profile.codec_profile);
    lay_out_structures(profile.capability_chain, codec.capabilities, codec.capability_count);
    profile.capabilities = VkVideoCapabilitiesKHR{};
    profile.capabilities.sType = VK_STRUCTURE_TYPE_VIDEO_CAPABILITIES_KHR;
    profile.capabilities.pNext = link_chain(profile.capability_chain);
    const VkResult result = vulkan_commands.vkGetPhysicalDeviceVideoCapabilitiesKHR(
        facts.handle, &profile.profile, &profile.capabilities);
    unlink_chain(profile.capability_chain);
    profile.capabilities.pNext = nullptr;
    if (result != VK_SUCCESS) {
        return false;
    }
    query_video_formats(facts, codec, profile);
    unlink_chain(profile.codec_profile);
    profile.profile.pNext = nullptr;
    return true;
}

// Every profile of the codec, by chroma subsampling, bit depth and the values of the codec's own
// profile structure.
void query_codec(DeviceFacts& facts, const VideoCodecInfo& codec) {
    const std::vector<ProfileMember> members = profile_members(codec.profile);
    size_t combinations = 1;
    for (const ProfileMember& member : members) {
        combinations *= member.values.size();
    }
    const VkVideoChromaSubsamplingFlagBitsKHR subsamplings[] = {
        VK_VIDEO_CHROMA_SUBSAMPLING_420_BIT_KHR, VK_VIDEO_CHROMA_SUBSAMPLING_422_BIT_KHR,
        VK_VIDEO_CHROMA_SUBSAMPLING_444_BIT_KHR};
    const VkVideoComponentBitDepthFlagBitsKHR depths[] = {VK_VIDEO_COMPONENT_BIT_DEPTH_8_BIT_KHR,
                                                          VK_VIDEO_COMPONENT_BIT_DEPTH_10_BIT_KHR,
                                                          VK_VIDEO_COMPONENT_BIT_DEPTH_12_BIT_KHR};
    for (size_t combination = 0; combination < combinations; ++combination) {
        for (const VkVideoChromaSubsamplingFlagBitsKHR subsampling : subsamplings) {
            for (const VkVideoComponentBitDepthFlagBitsKHR depth : depths) {
                if (facts.video_profiles_tried >= most_video_profiles ||
                    facts.video_profiles.size() >= most_kept_video_profiles) {
                    return;
                }
                VideoProfileFacts profile{};
                profile.profile.sType = VK_STRUCTURE_TYPE_VIDEO_PROFILE_INFO_KHR;
                profile.profile.videoCodecOperation =
                    static_cast<VkVideoCodecOperationFlagBitsKHR>(codec.operation);
                profile.profile.chromaSubsampling = subsampling;
                profile.profile.lumaBitDepth = depth;
                profile.profile.chromaBitDepth = depth;
                lay_out_structures(profile.codec_profile, &codec.profile,
                                   codec.profile != nullptr ? 1 : 0);
                size_t rest = combination;
                for (const ProfileMember& member : members) {
                    const uint32_t value =
                        static_cast<uint32_t>(member.values[rest % member.values.size()]);
                    rest /= member.values.size();
                    memcpy(reinterpret_cast<unsigned char*>(profile.codec_profile.storage.data()) +
                               member.member->offset,
                           &value, sizeof value);
                }
                if (try_video_profile(facts, codec, profile)) {
                    facts.video_profiles.push_back(std::move(profile));
                }
            }
        }
    }
}

}  // namespace

void query_video(DeviceFacts& facts) {
    facts.video_available = vulkan_commands.vkGetPhysicalDeviceVideoCapabilitiesKHR != nullptr &&
                            listed(facts.extensions, VK_KHR_VIDEO_QUEUE_EXTENSION_NAME);
    if (!facts.video_available) {
        return;
    }
    const uint32_t operations = codec_operations(facts);
    for (uint32_t i = 0; i < video_codec_info_count; ++i) {
        if ((operations & video_codec_infos[i].operation) != 0) {
            query_codec(facts, video_codec_infos[i]);
        }
    }
}
