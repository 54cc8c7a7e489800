// What the device's queries share: which structures the device provides, and the chains laid
// out, linked and unlinked in a chain's own storage.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include <vulkan/vulkan.h>

#include "query/facts.h"
#include "registry/registry.h"

// Whether the list holds the name.
bool listed(const std::vector<VkExtensionProperties>& extensions, const char* name);

// What provides a structure or a format on the device: its version (the lower of the device's
// and the instance's), and its extension names sorted, so that the chains and the formats, some
// five hundred of them, find each name by binary search.
struct DeviceOffer {
    uint32_t api_version;
    std::vector<const char*> extensions;
};

// The device's offer, with more extension names (the instance's, for the surfaces' chains).
DeviceOffer device_offer(const DeviceFacts& facts, const std::vector<const char*>& more = {});

// Whether the device's version, or one of its extensions, provides what the tables describe.
bool provided(const DeviceOffer& offer, uint32_t api_version, const char* const* names,
              uint32_t name_count);

// Lays out the structures given, in order, each zeroed.
void lay_out_structures(StructureChain& chain, const StructureInfo* const* structures,
                        size_t count);

// Lays out every chained structure of the root that the device provides, each zeroed, but the
// one of sType left_out (a structure that the call may only be given with more input).
void lay_out_chain(StructureChain& chain, ChainRoot root, const DeviceOffer& offer,
                   VkStructureType left_out = VK_STRUCTURE_TYPE_MAX_ENUM);

// Gives each structure of a laid-out chain its sType and links it to the next one, in the
// chain's own storage (a copy of a chain needs linking again). Returns the head, or null.
void* link_chain(StructureChain& chain);

// Drops the links once the call has filled the chain: they would point into a copy's source.
void unlink_chain(StructureChain& chain);
