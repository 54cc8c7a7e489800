// The loader's interface to a driver (vulkan/vk_icd.h), the only symbols the replay driver's
// library exports: the loader finds every command through vk_icdGetInstanceProcAddr.
#include <vulkan/vk_icd.h>

#include "replay/replay.h"

#define REPLAY_EXPORT extern "C" __attribute__((visibility("default")))

// Version 5: commands are found through vk_icdGetInstanceProcAddr (1), the version is
// negotiated (2), the loader makes the surfaces (3), physical-device commands are also found
// through vk_icdGetPhysicalDeviceProcAddr (4), and the loader, not the driver, turns away an
// application's API version (5). Versions 6 and 7 add Windows' adapters and direct loading,
// which this driver does not offer.
REPLAY_EXPORT VKAPI_ATTR VkResult VKAPI_CALL
vk_icdNegotiateLoaderICDInterfaceVersion(uint32_t* version) {
    constexpr uint32_t ours = 5;
    if (*version > ours) {
        *version = ours;
    }
    return VK_SUCCESS;
}

REPLAY_EXPORT VKAPI_ATTR PFN_vkVoidFunction VKAPI_CALL vk_icdGetInstanceProcAddr(VkInstance,
                                                                                 const char* name) {
    return replay_command(name);
}

REPLAY_EXPORT VKAPI_ATTR PFN_vkVoidFunction VKAPI_CALL
vk_icdGetPhysicalDeviceProcAddr(VkInstance, const char* name) {
    return replay_physical_device_command(name) ? replay_command(name) : nullptr;
}
