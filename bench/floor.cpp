// The floor program: everything a detailed report asks of Vulkan, through the same loader, the
// same binding and the same instance creation as brisol, and nothing else. It formats and prints
// nothing, so brisol's cost over it is brisol's own. Exit status 1 when the loader, the instance
// or an entry point is missing: a floor that queried nothing would measure nothing.
#include "floor_calls.h"
#include "vulkan/entry_points.h"
#include "vulkan/instance.h"

int main() {
    const ModuleHandle handle = bind_vulkan_loader();
    if (handle == nullptr) {
        return 1;
    }
    const VkInstance instance = create_vulkan_instance();
    const bool queried = make_report_queries(instance);
    destroy_vulkan_instance(instance);
    release_vulkan_loader(handle);
    return queried ? 0 : 1;
}
