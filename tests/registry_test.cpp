// The generated tables and the reading of values through them.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "registry/registry.h"
#include "registry/walk.h"

namespace {

// The text of one member of a structure whose bytes the caller fills.
std::string member_text(const char* structure_name, const char* member_name,
                        const std::vector<unsigned char>& value) {
    const StructureInfo* structure = find_structure(structure_name);
    EXPECT_NE(structure, nullptr) << structure_name;
    const MemberRow* member = structure != nullptr ? find_member(*structure, member_name) : nullptr;
    EXPECT_NE(member, nullptr) << member_name;
    if (member == nullptr) {
        return "";
    }
    std::vector<unsigned char> bytes(structure->size, 0);
    memcpy(bytes.data() + member->offset, value.data(),
           value.size() < member->size ? value.size() : member->size);
    std::string text = "before:";
    append_member_text(text, *member, bytes.data() + member->offset,
                       member_element_count(*structure, *member, bytes.data()));
    return text;
}

template <typename T>
std::vector<unsigned char> bytes_of(const T& value) {
    const auto* first = reinterpret_cast<const unsigned char*>(&value);
    return std::vector<unsigned char>(first, first + sizeof value);
}

}  // namespace

// The names of the set bits stop once every bit is named, which is only right when no bit has
// two names in a table.
TEST(Registry, EachBitHasOneNameInAFlagsTable) {
    for (uint32_t t = 0; t < value_name_table_count; ++t) {
        const ValueNames& table = *value_name_tables[t];
        std::set<uint64_t> bits;
        for (uint32_t i = 0; i < table.count; ++i) {
            const uint64_t value = table.values[i].value;
            if (table.bits && value != 0 && (value & (value - 1)) == 0) {
                EXPECT_TRUE(bits.insert(value).second) << table.type_name << " " << value;
            }
        }
    }
}

// Every kind of value as a person reads it, appended after what the string held.
TEST(Registry, MemberTextReadsAsAPersonReadsIt) {
    const VkFormatFeatureFlags two_and_unnamed =
        VK_FORMAT_FEATURE_SAMPLED_IMAGE_BIT | VK_FORMAT_FEATURE_BLIT_DST_BIT | 0x80000000u;
    VkPhysicalDeviceLimits limits{};
    limits.maxComputeWorkGroupCount[0] = 65535;
    limits.maxComputeWorkGroupCount[2] = 4294967295u;
    uint8_t uuid[VK_UUID_SIZE];
    for (unsigned i = 0; i < VK_UUID_SIZE; ++i) {
        uuid[i] = static_cast<uint8_t>(i * 17);
    }
    char name[VK_MAX_PHYSICAL_DEVICE_NAME_SIZE];
    memset(name, 'n', sizeof name);  // no terminating NUL
    const struct {
        const char* structure;
        const char* member;
        std::vector<unsigned char> value;
        std::string text;
    } cases[] = {
        {"VkFormatProperties", "linearTilingFeatures", bytes_of(VkFormatFeatureFlags{0}),
         "before:0"},
        {"VkFormatProperties", "linearTilingFeatures", bytes_of(two_and_unnamed),
         "before:VK_FORMAT_FEATURE_SAMPLED_IMAGE_BIT | VK_FORMAT_FEATURE_BLIT_DST_BIT | "
         "0x80000000"},
        {"VkFormatProperties", "bufferFeatures", bytes_of(VkFormatFeatureFlags{0x80000000u}),
         "before:0x80000000"},
        {"VkFormatProperties3", "optimalTilingFeatures",
         bytes_of(VkFormatFeatureFlags2{VK_FORMAT_FEATURE_2_SAMPLED_IMAGE_BIT |
                                        (VkFormatFeatureFlags2{1} << 62)}),
         "before:VK_FORMAT_FEATURE_2_SAMPLED_IMAGE_BIT | 0x4000000000000000"},
        {"VkPhysicalDeviceDriverProperties", "driverID", bytes_of(VK_DRIVER_ID_MESA_LLVMPIPE),
         "before:VK_DRIVER_ID_MESA_LLVMPIPE"},
        {"VkPhysicalDeviceDriverProperties", "driverID", bytes_of(int32_t{-7}), "before:-7"},
        {"VkPhysicalDeviceLimits", "minTexelOffset", bytes_of(int32_t{-2147483647 - 1}),
         "before:-2147483648"},
        {"VkPhysicalDeviceLimits", "maxSamplerLodBias", bytes_of(15.5f), "before:15.5"},
        {"VkPhysicalDeviceLimits", "maxSamplerAnisotropy", bytes_of(1e-05f), "before:1e-05"},
        // Every digit the float needs to read back, and no more.
        {"VkPhysicalDeviceLimits", "maxSamplerLodBias", bytes_of(16.000002f), "before:16.000002"},
        {"VkPhysicalDeviceLimits", "sparseAddressSpaceSize", bytes_of(uint64_t{UINT64_MAX}),
         "before:18446744073709551615"},
        {"VkPhysicalDeviceLimits", "maxComputeWorkGroupCount",
         bytes_of(limits.maxComputeWorkGroupCount), "before:[65535, 0, 4294967295]"},
        {"VkPhysicalDeviceIDProperties", "deviceUUID", bytes_of(uuid),
         "before:00112233-4455-6677-8899-aabbccddeeff"},
        // The hex bytes of a LUID, without a UUID's dashes.
        {"VkPhysicalDeviceIDProperties", "deviceLUID", std::vector<unsigned char>(uuid, uuid + 8),
         "before:0011223344556677"},
        {"VkPhysicalDeviceProperties", "deviceName", bytes_of(name),
         "before:" + std::string(sizeof name, 'n')},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(member_text(c.structure, c.member, c.value), c.text)
            << c.structure << "." << c.member;
    }
}
