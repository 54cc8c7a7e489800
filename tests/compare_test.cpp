// The comparison by limit type, both ways, and the reading of a document's values into a
// member's bytes: the two pieces the profile check shares with whatever else compares or reads
// devices.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "compare/compare.h"
#include "profiles/values.h"
#include "registry/registry.h"

namespace {

const MemberRow& member_of(const char* structure, const char* name) {
    const StructureInfo* info = find_structure(structure);
    EXPECT_NE(info, nullptr) << structure;
    const MemberRow* member = info != nullptr ? find_member(*info, name) : nullptr;
    EXPECT_NE(member, nullptr) << structure << "." << name;
    return *member;
}

// A member's value read from JSON text, the way a document gives it.
std::vector<unsigned char> value_of(const MemberRow& member, const char* json) {
    std::vector<unsigned char> bytes(member.size, 0);
    read_member_value(ProfileJson::parse(json), member, bytes.data());
    return bytes;
}

const char* name_of(Comparison comparison) {
    switch (comparison) {
        case Comparison::Equal:
            return "Equal";
        case Comparison::AMore:
            return "AMore";
        case Comparison::BMore:
            return "BMore";
        default:
            return "Different";
    }
}

}  // namespace

// Each limit type, each pair of values given both ways: the answer and its mirror.
TEST(Compare, EachLimitTypeBothWays) {
    const struct {
        const char* structure;
        const char* member;
        const char* a;
        const char* b;
        Comparison expected;  // of a against b; b against a is its mirror
    } cases[] = {
        {"VkPhysicalDeviceLimits", "maxImageDimension2D", "8192", "4096", Comparison::AMore},
        {"VkPhysicalDeviceLimits", "maxImageDimension2D", "4096", "4096", Comparison::Equal},
        {"VkPhysicalDeviceLimits", "subPixelPrecisionBits", "8", "4", Comparison::AMore},
        {"VkPhysicalDeviceLimits", "minUniformBufferOffsetAlignment", "16", "256",
         Comparison::AMore},
        {"VkPhysicalDeviceLimits", "minTexelOffset", "-32", "-8", Comparison::AMore},
        {"VkPhysicalDeviceLimits", "bufferImageGranularity", "64", "4096", Comparison::AMore},
        {"VkPhysicalDeviceLimits", "bufferImageGranularity", "64", "96", Comparison::Different},
        {"VkPhysicalDeviceLimits", "pointSizeGranularity", "0.125", "1", Comparison::AMore},
        {"VkPhysicalDeviceLimits", "pointSizeGranularity", "0.75", "1", Comparison::Different},
        {"VkPhysicalDeviceLimits", "timestampPeriod", "1", "2", Comparison::Different},
        {"VkPhysicalDeviceLimits", "framebufferColorSampleCounts",
         R"(["VK_SAMPLE_COUNT_1_BIT", "VK_SAMPLE_COUNT_4_BIT"])", R"(["VK_SAMPLE_COUNT_4_BIT"])",
         Comparison::AMore},
        {"VkPhysicalDeviceLimits", "framebufferColorSampleCounts", R"(["VK_SAMPLE_COUNT_1_BIT"])",
         R"(["VK_SAMPLE_COUNT_4_BIT"])", Comparison::Different},
        {"VkPhysicalDeviceFeatures", "wideLines", "true", "false", Comparison::AMore},
        {"VkPhysicalDeviceSparseProperties", "residencyAlignedMipSize", "true", "false",
         Comparison::BMore},
        {"VkPhysicalDeviceVulkan13Properties", "storageTexelBufferOffsetSingleTexelAlignment",
         "true", "false", Comparison::Different},
        {"VkPhysicalDeviceProperties", "vendorID", "4318", "4098", Comparison::Different},
        {"VkPhysicalDeviceFragmentShadingRatePropertiesKHR",
         "maxFragmentShadingRateRasterizationSamples", "\"VK_SAMPLE_COUNT_16_BIT\"",
         "\"VK_SAMPLE_COUNT_4_BIT\"", Comparison::AMore},
        {"VkPhysicalDeviceVulkan12Properties", "driverID", "\"VK_DRIVER_ID_MESA_LLVMPIPE\"",
         "\"VK_DRIVER_ID_MESA_RADV\"", Comparison::Different},
        {"VkQueueFamilyProperties", "queueFlags", R"(["VK_QUEUE_GRAPHICS_BIT"])", "[]",
         Comparison::AMore},
    };
    for (const auto& test : cases) {
        const MemberRow& member = member_of(test.structure, test.member);
        const LimitType limit = member_limit(member, LimitNone);
        const std::vector<unsigned char> a = value_of(member, test.a);
        const std::vector<unsigned char> b = value_of(member, test.b);
        const Comparison mirror = test.expected == Comparison::AMore   ? Comparison::BMore
                                  : test.expected == Comparison::BMore ? Comparison::AMore
                                                                       : test.expected;
        EXPECT_STREQ(name_of(compare_elements(member, limit, a.data(), b.data())),
                     name_of(test.expected))
            << test.member << " " << test.a << " against " << test.b;
        EXPECT_STREQ(name_of(compare_elements(member, limit, b.data(), a.data())), name_of(mirror))
            << test.member << " " << test.b << " against " << test.a;
    }
}

// Whole members: ranges contain one another or not, identifiers are equal or not; strings and API
// versions.
TEST(Compare, WholeMembersStringsAndVersions) {
    const MemberRow& range = member_of("VkPhysicalDeviceLimits", "lineWidthRange");
    const LimitType range_limit = member_limit(range, LimitNone);
    ASSERT_TRUE(compared_whole(range, range_limit));
    const struct {
        const char* a;
        const char* b;
        Comparison expected;
    } ranges[] = {
        {"[1, 255]", "[1, 255]", Comparison::Equal},
        {"[0.5, 255]", "[1, 64]", Comparison::AMore},
        {"[1, 64]", "[0.5, 255]", Comparison::BMore},
        {"[0.5, 64]", "[1, 255]", Comparison::Different},
    };
    for (const auto& test : ranges) {
        EXPECT_STREQ(name_of(compare_whole(range, range_limit, value_of(range, test.a).data(),
                                           value_of(range, test.b).data())),
                     name_of(test.expected))
            << test.a << " against " << test.b;
    }
    const MemberRow& uuid = member_of("VkPhysicalDeviceProperties", "pipelineCacheUUID");
    ASSERT_TRUE(compared_whole(uuid, member_limit(uuid, LimitNone)));
    EXPECT_EQ(compare_whole(uuid, member_limit(uuid, LimitNone), value_of(uuid, "[1, 2]").data(),
                            value_of(uuid, "[1, 3]").data()),
              Comparison::Different);
    // The ID properties' LUID is compared as max, element by element, as the Khronos library does.
    const MemberRow& luid = member_of("VkPhysicalDeviceIDProperties", "deviceLUID");
    EXPECT_FALSE(compared_whole(luid, member_limit(luid, LimitNone)));

    const MemberRow& name = member_of("VkPhysicalDeviceProperties", "deviceName");
    char bytes[VK_MAX_PHYSICAL_DEVICE_NAME_SIZE];
    memset(bytes, 'N', sizeof bytes);
    EXPECT_EQ(exported_text(name, reinterpret_cast<const unsigned char*>(bytes)),
              std::string(255, 'N'));
    memcpy(bytes, "GPU\xff\0junk", 9);
    EXPECT_EQ(exported_text(name, reinterpret_cast<const unsigned char*>(bytes)),
              "GPU\xEF\xBF\xBD");
    EXPECT_EQ(compare_texts("abc", std::string("abc\0junk", 8)), Comparison::Different);

    EXPECT_EQ(
        compare_api_versions(VK_MAKE_API_VERSION(0, 1, 3, 230), VK_MAKE_API_VERSION(0, 1, 3, 276)),
        Comparison::Equal);
    EXPECT_EQ(
        compare_api_versions(VK_MAKE_API_VERSION(0, 1, 3, 0), VK_MAKE_API_VERSION(0, 1, 2, 999)),
        Comparison::AMore);
    EXPECT_EQ(
        compare_api_versions(VK_MAKE_API_VERSION(0, 1, 3, 0), VK_MAKE_API_VERSION(0, 2, 0, 0)),
        Comparison::BMore);
}

// A value of another form than its member takes is read as what it spells, where it spells one,
// for a reader that fills structures; the profile check reads the notes instead.
TEST(Compare, ValuesOfAnotherFormSpellWhatTheyCan) {
    const struct {
        const char* structure;
        const char* member;
        const char* json;
        bool spelled;
        uint64_t value;  // of the first element, when spelled
        std::string text;
        const char* expected;
    } cases[] = {
        {"VkPhysicalDeviceLimits", "bufferImageGranularity", "\"64\"", true, 64, "\"64\"",
         "a number"},
        {"VkPhysicalDeviceVulkan12Properties", "driverID", "null", true, 0, "null",
         "an enumerant name"},
        {"VkPhysicalDeviceLimits", "maxImageDimension1D", "\"big\"", false, 0, "\"big\"",
         "a number"},
        {"VkPhysicalDeviceLimits", "maxImageDimension1D", "true", true, 1, "true", "a number"},
        {"VkPhysicalDeviceFeatures", "wideLines", "1", true, 1, "1", "true or false"},
        {"VkPhysicalDeviceFeatures", "wideLines", "\"false\"", true, 0, "\"false\"",
         "true or false"},
        {"VkQueueFamilyProperties", "queueFlags", "7", true, 7, "7", "an array of bit names"},
        {"VkPhysicalDeviceLimits", "maxComputeWorkGroupCount", "5", false, 0, "5", "an array"},
        {"VkPhysicalDeviceVulkan12Properties", "driverName", "7", false, 0, "7", "a string"},
    };
    for (const auto& test : cases) {
        const MemberRow& member = member_of(test.structure, test.member);
        std::vector<unsigned char> bytes(member.size, 0);
        const MemberValue value =
            read_member_value(ProfileJson::parse(test.json), member, bytes.data());
        EXPECT_TRUE(value.valid) << test.member << " " << test.json;
        ASSERT_EQ(value.notes.size(), 1u) << test.member << " " << test.json;
        const ValueNote& note = value.notes[0];
        EXPECT_EQ(note.form, ValueForm::Unexpected) << test.member;
        EXPECT_EQ(note.spelled, test.spelled) << test.member << " " << test.json;
        EXPECT_EQ(note.text, test.text) << test.member;
        EXPECT_STREQ(note.expected, test.expected) << test.member;
        EXPECT_FALSE(element_read(value, 0)) << test.member;
        uint64_t first = 0;
        memcpy(&first, bytes.data(), bytes.size() < sizeof first ? bytes.size() : sizeof first);
        if (test.spelled) {
            EXPECT_EQ(first, test.value) << test.member << " " << test.json;
        }
    }
    // Values of the member's form that it cannot hold make the document no profiles document.
    const MemberRow& count = member_of("VkPhysicalDeviceLimits", "maxImageDimension1D");
    std::vector<unsigned char> bytes(count.size, 0);
    for (const char* json : {"4294967296", "-1", "1.5"}) {
        const MemberValue value = read_member_value(ProfileJson::parse(json), count, bytes.data());
        EXPECT_FALSE(value.valid) << json;
        EXPECT_EQ(value.text, "expected an unsigned 32-bit integer") << json;
    }
}
