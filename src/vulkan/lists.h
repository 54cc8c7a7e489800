// Vulkan's lists, read by the two calls: a count query with no array, then a fill call.
#pragma once

#include <cstdint>
#include <vector>

#include <vulkan/vulkan.h>

#include "vulkan/entry_points.h"

// How a list read ended.
enum class ListResult {
    Read,         // the records the fill call wrote, at most the room it was given
    Empty,        // the count query answered 0; no fill call was made
    CountFailed,  // the count query failed, or the command is missing
    FillFailed,   // the fill call failed (VK_INCOMPLETE too: the list changed in between)
};

// Whether the list was read, be it empty.
inline bool list_read(ListResult result) {
    return result == ListResult::Read || result == ListResult::Empty;
}

// Reads a list: room for at most list_room(count) records, each a copy of prototype (which
// carries an sType where the records need one). A fill call that claims more records than it
// was given room for is not believed past the room. records is empty unless Read.
template <typename Record, typename Fill>
ListResult read_list(std::vector<Record>& records, const Record& prototype, Fill fill) {
    records.clear();
    uint32_t count = 0;
    if (fill(&count, nullptr) != VK_SUCCESS) {
        return ListResult::CountFailed;
    }
    if (count == 0) {
        return ListResult::Empty;
    }
    const uint32_t room = list_room(count);
    records.assign(room, prototype);
    count = room;
    if (fill(&count, records.data()) != VK_SUCCESS) {
        records.clear();
        return ListResult::FillFailed;
    }
    records.resize(count < room ? count : room);
    return ListResult::Read;
}

// Reads a list in one call when it fits: a fill call with room for guess records first, and the
// two calls of read_list only when that call answers VK_INCOMPLETE. For the lists that cost the
// loader a scan of every layer manifest per call (the layers and their extensions), or that
// are read a second time. A failed first call is FillFailed.
template <typename Record, typename Fill>
ListResult read_list_at_once(std::vector<Record>& records, const Record& prototype, uint32_t guess,
                             Fill fill) {
    records.assign(guess, prototype);
    uint32_t count = guess;
    const VkResult result = fill(&count, records.data());
    if (result == VK_INCOMPLETE) {
        return read_list(records, prototype, fill);
    }
    if (result != VK_SUCCESS) {
        records.clear();
        return ListResult::FillFailed;
    }
    records.resize(count < guess ? count : guess);
    return records.empty() ? ListResult::Empty : ListResult::Read;
}

// The physical devices, without the null handles a faulty fill call may leave: they are no
// devices, and the loader would dereference them in the next call.
ListResult read_physical_devices(VkInstance instance, std::vector<VkPhysicalDevice>& devices);
// The instance extensions of the implementation and the implicit layers (layer null), or of
// one layer.
ListResult read_instance_extensions(const char* layer,
                                    std::vector<VkExtensionProperties>& extensions);
ListResult read_device_extensions(VkPhysicalDevice device,
                                  std::vector<VkExtensionProperties>& extensions);
