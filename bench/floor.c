/* The floor program: everything `brisol -a -xml` asks of Vulkan, through the same loader, the
   same eight look-ups and the same instance creation, and nothing else. It is plain C linked
   against the C library alone, and formats and prints nothing, so brisol's cost over it is
   brisol's own, its C++ runtime included. Exit status 1 when the loader, the instance or an
   entry point is missing: a floor that queried nothing would measure nothing. */
#include "floor_calls.h"
#include "floor_loader.h"

int main(void) {
    struct FloorLoader loader;
    if (!floor_open_loader(&loader)) {
        return 1;
    }
    const VkInstance instance = floor_create_instance(&loader, VK_MAKE_VERSION(1, 0, 0), NULL, 0);
    const int queried = make_report_queries(&loader.calls, instance, NULL);
    floor_close_loader(&loader, instance);
    return queried ? 0 : 1;
}
