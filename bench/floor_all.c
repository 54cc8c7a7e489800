/* The floor of the complete report: everything `brisol -all -xml` asks of Vulkan, through the
   same loader, the same look-ups and the same instance, in the same order and with the same room
   for each list, and nothing else. Plain C on the C library alone; it formats and prints
   nothing. Exit status 1 when the loader, the instance, an entry point or a command of the
   instance's version is missing: a floor that left calls out would measure nothing. */
#include "floor_calls.h"
#include "floor_complete.h"
#include "floor_loader.h"

int main(void) {
    struct FloorLoader loader;
    if (!floor_open_loader(&loader)) {
        return 1;
    }
    const struct FloorCompleteInstance instance = floor_create_complete_instance(&loader);
    const struct FloorAppendix appendix = floor_complete_appendix(&instance);
    const int queried = make_report_queries(&loader.calls, instance.instance, &appendix);
    floor_close_loader(&loader, instance.instance);
    floor_complete_release();
    return queried && floor_complete_commands_missing() == 0 ? 0 : 1;
}
