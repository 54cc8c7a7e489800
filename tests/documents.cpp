#include "documents.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <fstream>
#include <sstream>

std::string scratch_folder() {
    std::string folder = testing::TempDir() + "brisol-documents-XXXXXX";
    EXPECT_NE(mkdtemp(folder.data()), nullptr);
    return folder + "/";
}

std::string write_file(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
    return path;
}

std::string read_file(const std::string& path) {
    std::ostringstream text;
    text << std::ifstream(path, std::ios::binary).rdbuf();
    return text.str();
}

std::string empty_objects(size_t count) {
    std::string text = "[";
    for (size_t i = 0; i < count; ++i) {
        text += i == 0 ? "{}" : ",{}";
    }
    return text + "]";
}

std::vector<RefusedDocument> refused_documents() {
    const std::string valid_profile =
        R"("profiles": {"VP_X_y": {"api-version": "1.3.0", "capabilities": ["c"]}})";
    const auto with_capability = [&valid_profile](const std::string& block) {
        return "{\"capabilities\": {\"c\": " + block + "}, " + valid_profile + "}";
    };
    const std::string limits = R"({"properties": {"VkPhysicalDeviceProperties": {"limits": )";
    return {
        {"missing.json", "", "cannot be opened: No such file or directory"},
        {"empty.json", "",
         "malformed JSON at line 1, column 1: syntax error while parsing value - unexpected end "
         "of input; expected '[', '{', or a literal"},
        {"truncated.json", "{\n  \"profiles\": {\"VP_X_y\": [1, ",
         "malformed JSON at line 2, column 30: syntax error while parsing value - unexpected end "
         "of input; expected '[', '{', or a literal"},
        {"not-utf8.json", "{\"a\": \"\xff\"}",
         "malformed JSON at line 1, column 8: syntax error while parsing value - invalid string: "
         "ill-formed UTF-8 byte; last read: '\"?'"},
        {"array.json", "[]",
         "not a profiles document: expected \"capabilities\" and \"profiles\" objects at the top"},
        {"no-profile.json", R"({"capabilities": {}, "profiles": {}})",
         "not a profiles document: the \"profiles\" object holds no profile"},
        {"uint32-overflow.json",
         with_capability(limits + R"({"maxImageDimension1D": 4294967296}}}})"),
         "not a profiles document: capability c, VkPhysicalDeviceProperties.limits."
         "maxImageDimension1D: expected an unsigned 32-bit integer"},
        {"float-overflow.json", with_capability(limits + R"({"maxSamplerLodBias": 1e39}}}})"),
         "not a profiles document: capability c, VkPhysicalDeviceProperties.limits."
         "maxSamplerLodBias: expected a number within the range of a float"},
        {"double-overflow.json", with_capability(limits + R"({"maxSamplerLodBias": 1e400}}}})"),
         "malformed JSON at line 1, column 107: number overflow parsing '1e400'"},
        {"negative-version.json", with_capability(R"({"extensions": {"VK_KHR_a": -1}})"),
         "not a profiles document: capability c, extension VK_KHR_a: expected a spec version (an "
         "unsigned 32-bit integer)"},
        {"fraction-limit.json", with_capability(limits + R"({"maxImageDimension1D": 1.5}}}})"),
         "not a profiles document: capability c, VkPhysicalDeviceProperties.limits."
         "maxImageDimension1D: expected an unsigned 32-bit integer"},
        {"int32-underflow.json", with_capability(limits + R"({"minTexelOffset": -2147483649}}}})"),
         "not a profiles document: capability c, VkPhysicalDeviceProperties.limits."
         "minTexelOffset: expected a signed 32-bit integer"},
        {"range-of-one.json", with_capability(limits + R"({"lineWidthRange": [1]}}}})"),
         "not a profiles document: capability c, VkPhysicalDeviceProperties.limits."
         "lineWidthRange: expected [minimum, maximum]"},
        {"long-array.json",
         with_capability(limits + R"({"maxComputeWorkGroupCount": [1, 2, 3, 4]}}}})"),
         "not a profiles document: capability c, VkPhysicalDeviceProperties.limits."
         "maxComputeWorkGroupCount: expected an array of at most 3 values"},
        {"number-entry.json",
         R"({"capabilities": {"c": {}}, "profiles": {"VP_X_y": {"api-version": "1.3.0", )"
         R"("capabilities": [5]}}})",
         "not a profiles document: profile VP_X_y: a capabilities entry names no capability of "
         "the file"},
        {"required-number.json",
         R"({"capabilities": {"c": {}}, "profiles": {"VP_X_y": {"api-version": "1.3.0", )"
         R"("capabilities": ["c"], "profiles": [5]}}})",
         "not a profiles document: profile VP_X_y: expected a \"profiles\" array of profile "
         "names"},
        {"line-break-in-name.json",
         R"({"capabilities": {}, "profiles": {"VP_X_y\nProfile VP_Z_z": {"api-version": "1.3", )"
         R"("capabilities": []}}})",
         "not a profiles document: profile VP_X_y\\nProfile VP_Z_z: expected an \"api-version\" "
         "of the form 1.3.204"},
        {"self-required.json",
         R"({"capabilities": {"c": {}}, "profiles": {"VP_X_y": {"api-version": "1.3.0", )"
         R"("capabilities": ["c"], "profiles": ["VP_X_y"]}}})",
         "not a profiles document: profile VP_X_y requires itself"},
        {"cycle.json",
         R"({"capabilities": {"c": {}}, "profiles": {"VP_X_a": {"api-version": "1.3.0", )"
         R"("capabilities": ["c"], "profiles": ["VP_X_b"]}, "VP_X_b": {"api-version": "1.3.0", )"
         R"("capabilities": ["c"], "profiles": ["VP_X_a"]}}})",
         "not a profiles document: profile VP_X_a requires itself, through VP_X_b"},
        {"empty-objects.json", empty_objects(1 << 18), "holds more than 524288 values"},
        {"long-string.json", "{\"" + std::string((1 << 20) + 1, 'x') + "\": 1}",
         "holds a string longer than 1 MiB at line 1, column 2"},
        {"undefined-capability.json",
         R"({"capabilities": {}, "profiles": {"VP_X_y": {"api-version": "1.3.0", )"
         R"("capabilities": ["c"]}}})",
         "not a profiles document: profile VP_X_y: a capabilities entry names no capability of "
         "the file"},
        {"bad-api-version.json",
         R"({"capabilities": {}, "profiles": {"VP_X_y": {"api-version": "1.3", )"
         R"("capabilities": []}}})",
         "not a profiles document: profile VP_X_y: expected an \"api-version\" of the form "
         "1.3.204"},
        {"deep.json", std::string(300, '[') + std::string(300, ']'),
         "nested deeper than 256 levels at line 1, column 257"},
        {"huge.json", std::string((size_t{65} << 20), ' '), "is larger than 64 MiB"},
        // The bound is 64 MiB exactly: a file of that size is parsed.
        {"exactly-64-mib.json", std::string((size_t{64} << 20) - 2, ' ') + "[]",
         "not a profiles document: expected \"capabilities\" and \"profiles\" objects at the top"},
    };
}
