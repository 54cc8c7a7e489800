#include "query/document.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <unordered_map>
#include <utility>

#include "profiles/requirements.h"

namespace {

// The structures of one chain as the document gives them, before they are laid out.
struct PendingChain {
    std::vector<std::pair<const StructureInfo*, std::vector<uint64_t>>> structures;

    unsigned char* bytes_of(const StructureInfo& info) {
        for (auto& structure : structures) {
            if (structure.first == &info) {
                return reinterpret_cast<unsigned char*>(structure.second.data());
            }
        }
        structures.emplace_back(&info, std::vector<uint64_t>((info.size + 7) / 8, 0));
        return reinterpret_cast<unsigned char*>(structures.back().second.data());
    }
};

// Where a chained structure stands among the registry's: the chains keep that order, as a
// driver's do.
size_t registry_rank(const StructureInfo* info) {
    static const std::unordered_map<const StructureInfo*, size_t> ranks = [] {
        std::unordered_map<const StructureInfo*, size_t> index;
        for (uint32_t i = 0; i < chained_structure_count; ++i) {
            index.emplace(chained_structures[i], i);
        }
        return index;
    }();
    const auto found = ranks.find(info);
    return found != ranks.end() ? found->second : ranks.size();
}

// Lays the structures out one after the other, each with its sType and no pNext.
StructureChain laid_out(PendingChain& pending) {
    std::stable_sort(pending.structures.begin(), pending.structures.end(),
                     [](const auto& a, const auto& b) {
                         return registry_rank(a.first) < registry_rank(b.first);
                     });
    StructureChain chain;
    if (pending.structures.empty()) {
        return chain;
    }
    auto layout = std::make_shared<ChainLayout>();
    for (const auto& structure : pending.structures) {
        layout->structures.push_back(structure.first);
        layout->offsets.push_back(layout->words * 8);
        layout->words += structure.second.size();
    }
    chain.storage.reserve(layout->words);
    for (const auto& structure : pending.structures) {
        chain.storage.insert(chain.storage.end(), structure.second.begin(), structure.second.end());
    }
    for (size_t i = 0; i < layout->structures.size(); ++i) {
        auto* header = reinterpret_cast<VkBaseOutStructure*>(
            reinterpret_cast<unsigned char*>(chain.storage.data()) + layout->offsets[i]);
        header->sType = layout->structures[i]->stype;
        header->pNext = nullptr;
    }
    chain.structures = layout->structures.data();
    chain.layout = std::move(layout);
    return chain;
}

struct PendingFormat {
    VkFormatProperties properties{};
    PendingChain chain;
};

struct PendingFamily {
    VkQueueFamilyProperties properties{};
    PendingChain chain;
};

// What the walk over the capabilities has read so far.
struct Reading {
    DocumentDevice& device;
    PendingChain properties;
    PendingChain features;
    std::vector<std::pair<uint64_t, PendingFormat>> formats;  // by VkFormat, in the order given
    std::vector<PendingFamily> families;
    unsigned char* structure = nullptr;       // the structure being read, null when it is not kept
    const ProfileJson* capability = nullptr;  // the capability being walked
};

PendingFormat& format_of(Reading& reading, uint64_t format) {
    for (auto& known : reading.formats) {
        if (known.first == format) {
            return known.second;
        }
    }
    reading.formats.emplace_back(format, PendingFormat{});
    return reading.formats.back().second;
}

void on_extension(void* context, const std::string& name, uint32_t spec_version,
                  const std::string& where) {
    Reading& reading = *static_cast<Reading*>(context);
    if (name.size() >= VK_MAX_EXTENSION_NAME_SIZE) {
        reading.device.notes.push_back(where + ": longer than a Vulkan name can be");
        return;
    }
    for (VkExtensionProperties& known : reading.device.facts.extensions) {
        if (name == known.extensionName) {
            known.specVersion = spec_version;
            return;
        }
    }
    VkExtensionProperties extension{};
    memcpy(extension.extensionName, name.data(), name.size());
    extension.specVersion = spec_version;
    reading.device.facts.extensions.push_back(extension);
}

void on_block_item(void* context, BlockKind block, uint64_t item, bool start) {
    Reading& reading = *static_cast<Reading*>(context);
    if (!start) {
        return;
    }
    if (block == BlockKind::Formats) {
        format_of(reading, item);
    } else if (block == BlockKind::QueueFamilies) {
        reading.families.emplace_back();
    }
}

unsigned char* root_bytes(Reading& reading, BlockKind block) {
    DeviceFacts& facts = reading.device.facts;
    switch (block) {
        case BlockKind::Features:
            facts.features_read = true;
            return reinterpret_cast<unsigned char*>(&facts.features);
        case BlockKind::Properties:
            reading.device.properties_read = true;
            return reinterpret_cast<unsigned char*>(&facts.properties);
        case BlockKind::Formats:
            return reinterpret_cast<unsigned char*>(&reading.formats.back().second.properties);
        default:
            return reinterpret_cast<unsigned char*>(&reading.families.back().properties);
    }
}

PendingChain& chain_of(Reading& reading, BlockKind block) {
    switch (block) {
        case BlockKind::Features:
            return reading.features;
        case BlockKind::Properties:
            return reading.properties;
        case BlockKind::Formats:
            return reading.formats.back().second.chain;
        default:
            return reading.families.back().chain;
    }
}

bool on_structure(void* context, const StructureVisit& visit) {
    Reading& reading = *static_cast<Reading*>(context);
    reading.structure = visit.structure.root == ChainRoot::None
                            ? root_bytes(reading, visit.block)
                            : chain_of(reading, visit.block).bytes_of(visit.structure);
    return true;
}

void on_structure_end(void* context, const StructureVisit&) {
    static_cast<Reading*>(context)->structure = nullptr;
}

// The value read into the member's own bytes, or zero where the document gave none the member
// can hold: the bytes are the member's whatever the notes say.
void on_member(void* context, const MemberVisit& visit) {
    Reading& reading = *static_cast<Reading*>(context);
    if (reading.structure != nullptr) {
        memcpy(reading.structure + visit.offset + visit.member.offset, visit.wanted,
               visit.member.size);
    }
}

// An extension whose spec version the document gives in another form ("70", null) is listed
// with the version it spells, or 0: the walk tells such an extension only as a problem.
void read_spelled_extension(Reading& reading, const std::string& name, const std::string& where) {
    const auto block = reading.capability->find("extensions");
    const auto value = block->find(name);
    uint32_t version = 0;
    ValueNote note{};
    if (value != block->end() &&
        read_spec_version(*value, version, note) == ValueForm::Unexpected) {
        on_extension(&reading, name, version, where);
    }
}

void on_problem(void* context, ProblemKind kind, const std::string& where,
                const std::string& text) {
    Reading& reading = *static_cast<Reading*>(context);
    reading.device.notes.push_back(where + ": " +
                                   (kind == ProblemKind::Unknown ? "unknown to this build" : text));
    const std::string extension = "extension ";
    if (kind == ProblemKind::Unexpected && where.rfind(extension, 0) == 0) {
        read_spelled_extension(reading, where.substr(extension.size()), where);
    }
}

// The capabilities an entry of a profile's list names: one name, or of alternatives the first,
// which is one name or several.
void entry_capabilities(const ProfileJson& entry, std::vector<const std::string*>& names) {
    const ProfileJson& first = entry.is_array() && !entry.empty() ? entry[0] : entry;
    if (first.is_string()) {
        names.push_back(&first.get_ref<const std::string&>());
        return;
    }
    for (size_t i = 0; first.is_array() && i < first.size(); ++i) {
        if (first[i].is_string()) {
            names.push_back(&first[i].get_ref<const std::string&>());
        }
    }
}

void finish(Reading& reading) {
    DeviceFacts& facts = reading.device.facts;
    facts.property_chain = laid_out(reading.properties);
    facts.feature_chain = laid_out(reading.features);
    // In the registry's order, the order a driver's formats are read in.
    for (uint32_t i = 0; i < format_info_count && !reading.formats.empty(); ++i) {
        const uint64_t value = static_cast<uint64_t>(format_infos[i].format);
        for (auto& format : reading.formats) {
            if (format.first == value) {
                facts.formats.push_back(
                    {&format_infos[i], format.second.properties, laid_out(format.second.chain)});
                break;
            }
        }
    }
    for (PendingFamily& family : reading.families) {
        facts.queue_families.push_back({family.properties, laid_out(family.chain)});
    }
    facts.api_version = facts.properties.apiVersion;
}

}  // namespace

std::vector<const ProfileJson*> device_capabilities(const Profile& profile) {
    std::vector<const std::string*> names;
    const auto list = profile.json->find("capabilities");
    for (size_t i = 0; list != profile.json->end() && i < list->size(); ++i) {
        entry_capabilities((*list)[i], names);
    }
    std::vector<const ProfileJson*> capabilities;
    for (const std::string* name : names) {
        const auto capability = profile.document->capabilities.find(*name);
        if (capability != profile.document->capabilities.end()) {
            capabilities.push_back(capability->second);
        }
    }
    return capabilities;
}

void read_document_device(const Profile& profile, DocumentDevice& device) {
    device = DocumentDevice{};
    device.profile = &profile;
    Reading reading{device, {}, {}, {}, {}, nullptr, nullptr};
    device.facts.properties.apiVersion = profile.api_version;
    const RequirementVisitor visitor{&reading,         on_extension, on_block_item, on_structure,
                                     on_structure_end, nullptr,      on_member,     on_problem};
    for (const ProfileJson* capability : device_capabilities(profile)) {
        reading.capability = capability;
        walk_capability(*capability, visitor);
    }
    finish(reading);
}

std::vector<DocumentDevice> read_document_devices(const ProfileSet& set) {
    std::vector<DocumentDevice> devices(set.profiles.size());
    for (size_t i = 0; i < set.profiles.size(); ++i) {
        read_document_device(set.profiles[i], devices[i]);
    }
    return devices;
}
