#include "sections/limits.h"

#include <cstdint>
#include <cstring>

#include "report/report.h"

#define BRISOL_LIMIT(kind, member)                                          \
    {                                                                       \
#member, LimitKind::kind, offsetof(VkPhysicalDeviceLimits, member), \
            sizeof(static_cast <VkPhysicalDeviceLimits*>(nullptr)->member)  \
    }

// In the declaration order of VkPhysicalDeviceLimits. maxPerStageDescriptorStorageBuffers has
// never had a row, and stored reports are compared row by row, so it stays out.
constexpr LimitRow device_limit_rows[device_limit_row_count] = {
    BRISOL_LIMIT(Uint, maxImageDimension1D),
    BRISOL_LIMIT(Uint, maxImageDimension2D),
    BRISOL_LIMIT(Uint, maxImageDimension3D),
    BRISOL_LIMIT(Uint, maxImageDimensionCube),
    BRISOL_LIMIT(Uint, maxImageArrayLayers),
    BRISOL_LIMIT(Uint, maxTexelBufferElements),
    BRISOL_LIMIT(Uint, maxUniformBufferRange),
    BRISOL_LIMIT(Uint, maxStorageBufferRange),
    BRISOL_LIMIT(Uint, maxPushConstantsSize),
    BRISOL_LIMIT(Uint, maxMemoryAllocationCount),
    BRISOL_LIMIT(Uint, maxSamplerAllocationCount),
    BRISOL_LIMIT(Uint64, bufferImageGranularity),
    BRISOL_LIMIT(Uint64, sparseAddressSpaceSize),
    BRISOL_LIMIT(Uint, maxBoundDescriptorSets),
    BRISOL_LIMIT(Uint, maxPerStageDescriptorSamplers),
    BRISOL_LIMIT(Uint, maxPerStageDescriptorUniformBuffers),
    BRISOL_LIMIT(Uint, maxPerStageDescriptorSampledImages),
    BRISOL_LIMIT(Uint, maxPerStageDescriptorStorageImages),
    BRISOL_LIMIT(Uint, maxPerStageDescriptorInputAttachments),
    BRISOL_LIMIT(Uint, maxPerStageResources),
    BRISOL_LIMIT(Uint, maxDescriptorSetSamplers),
    BRISOL_LIMIT(Uint, maxDescriptorSetUniformBuffers),
    BRISOL_LIMIT(Uint, maxDescriptorSetUniformBuffersDynamic),
    BRISOL_LIMIT(Uint, maxDescriptorSetStorageBuffers),
    BRISOL_LIMIT(Uint, maxDescriptorSetStorageBuffersDynamic),
    BRISOL_LIMIT(Uint, maxDescriptorSetSampledImages),
    BRISOL_LIMIT(Uint, maxDescriptorSetStorageImages),
    BRISOL_LIMIT(Uint, maxDescriptorSetInputAttachments),
    BRISOL_LIMIT(Uint, maxVertexInputAttributes),
    BRISOL_LIMIT(Uint, maxVertexInputBindings),
    BRISOL_LIMIT(Uint, maxVertexInputAttributeOffset),
    BRISOL_LIMIT(Uint, maxVertexInputBindingStride),
    BRISOL_LIMIT(Uint, maxVertexOutputComponents),
    BRISOL_LIMIT(Uint, maxTessellationGenerationLevel),
    BRISOL_LIMIT(Uint, maxTessellationPatchSize),
    BRISOL_LIMIT(Uint, maxTessellationControlPerVertexInputComponents),
    BRISOL_LIMIT(Uint, maxTessellationControlPerVertexOutputComponents),
    BRISOL_LIMIT(Uint, maxTessellationControlPerPatchOutputComponents),
    BRISOL_LIMIT(Uint, maxTessellationControlTotalOutputComponents),
    BRISOL_LIMIT(Uint, maxTessellationEvaluationInputComponents),
    BRISOL_LIMIT(Uint, maxTessellationEvaluationOutputComponents),
    BRISOL_LIMIT(Uint, maxGeometryShaderInvocations),
    BRISOL_LIMIT(Uint, maxGeometryInputComponents),
    BRISOL_LIMIT(Uint, maxGeometryOutputComponents),
    BRISOL_LIMIT(Uint, maxGeometryOutputVertices),
    BRISOL_LIMIT(Uint, maxGeometryTotalOutputComponents),
    BRISOL_LIMIT(Uint, maxFragmentInputComponents),
    BRISOL_LIMIT(Uint, maxFragmentOutputAttachments),
    BRISOL_LIMIT(Uint, maxFragmentDualSrcAttachments),
    BRISOL_LIMIT(Uint, maxFragmentCombinedOutputResources),
    BRISOL_LIMIT(Uint, maxComputeSharedMemorySize),
    BRISOL_LIMIT(UintTriple, maxComputeWorkGroupCount),
    BRISOL_LIMIT(Uint, maxComputeWorkGroupInvocations),
    BRISOL_LIMIT(UintTriple, maxComputeWorkGroupSize),
    BRISOL_LIMIT(Uint, subPixelPrecisionBits),
    BRISOL_LIMIT(Uint, subTexelPrecisionBits),
    BRISOL_LIMIT(Uint, mipmapPrecisionBits),
    BRISOL_LIMIT(Uint, maxDrawIndexedIndexValue),
    BRISOL_LIMIT(Uint, maxDrawIndirectCount),
    BRISOL_LIMIT(Float, maxSamplerLodBias),
    BRISOL_LIMIT(Float, maxSamplerAnisotropy),
    BRISOL_LIMIT(Uint, maxViewports),
    BRISOL_LIMIT(UintPair, maxViewportDimensions),
    BRISOL_LIMIT(FloatPair, viewportBoundsRange),
    BRISOL_LIMIT(Uint, viewportSubPixelBits),
    BRISOL_LIMIT(Size, minMemoryMapAlignment),
    BRISOL_LIMIT(Uint64, minTexelBufferOffsetAlignment),
    BRISOL_LIMIT(Uint64, minUniformBufferOffsetAlignment),
    BRISOL_LIMIT(Uint64, minStorageBufferOffsetAlignment),
    BRISOL_LIMIT(Uint, minTexelOffset),
    BRISOL_LIMIT(Uint, maxTexelOffset),
    BRISOL_LIMIT(Uint, minTexelGatherOffset),
    BRISOL_LIMIT(Uint, maxTexelGatherOffset),
    BRISOL_LIMIT(Float, minInterpolationOffset),
    BRISOL_LIMIT(Float, maxInterpolationOffset),
    BRISOL_LIMIT(Uint, subPixelInterpolationOffsetBits),
    BRISOL_LIMIT(Uint, maxFramebufferWidth),
    BRISOL_LIMIT(Uint, maxFramebufferHeight),
    BRISOL_LIMIT(Uint, maxFramebufferLayers),
    BRISOL_LIMIT(Uint, framebufferColorSampleCounts),
    BRISOL_LIMIT(Uint, framebufferDepthSampleCounts),
    BRISOL_LIMIT(Uint, framebufferStencilSampleCounts),
    BRISOL_LIMIT(Uint, framebufferNoAttachmentsSampleCounts),
    BRISOL_LIMIT(Uint, maxColorAttachments),
    BRISOL_LIMIT(Uint, sampledImageColorSampleCounts),
    BRISOL_LIMIT(Uint, sampledImageIntegerSampleCounts),
    BRISOL_LIMIT(Uint, sampledImageDepthSampleCounts),
    BRISOL_LIMIT(Uint, sampledImageStencilSampleCounts),
    BRISOL_LIMIT(Uint, storageImageSampleCounts),
    BRISOL_LIMIT(Uint, maxSampleMaskWords),
    BRISOL_LIMIT(Uint, timestampComputeAndGraphics),
    BRISOL_LIMIT(Float, timestampPeriod),
    BRISOL_LIMIT(Uint, maxClipDistances),
    BRISOL_LIMIT(Uint, maxCullDistances),
    BRISOL_LIMIT(Uint, maxCombinedClipAndCullDistances),
    BRISOL_LIMIT(Uint, discreteQueuePriorities),
    BRISOL_LIMIT(FloatPair, pointSizeRange),
    BRISOL_LIMIT(FloatPair, lineWidthRange),
    BRISOL_LIMIT(Float, pointSizeGranularity),
    BRISOL_LIMIT(Float, lineWidthGranularity),
    BRISOL_LIMIT(Uint, strictLines),
    BRISOL_LIMIT(Uint, standardSampleLocations),
    BRISOL_LIMIT(Uint64, optimalBufferCopyOffsetAlignment),
    BRISOL_LIMIT(Uint64, optimalBufferCopyRowPitchAlignment),
    BRISOL_LIMIT(Uint64, nonCoherentAtomSize),
};

#undef BRISOL_LIMIT

namespace {

constexpr size_t member_size_of(LimitKind kind) {
    switch (kind) {
        case LimitKind::Uint:
            return sizeof(uint32_t);
        case LimitKind::Uint64:
            return sizeof(VkDeviceSize);
        case LimitKind::Size:
            return sizeof(size_t);
        case LimitKind::Float:
            return sizeof(float);
        case LimitKind::FloatPair:
            return 2 * sizeof(float);
        case LimitKind::UintPair:
            return 2 * sizeof(uint32_t);
        case LimitKind::UintTriple:
            return 3 * sizeof(uint32_t);
    }
    return 0;
}

// Every row reads a member of exactly the width its kind expects, and the rows follow the
// record's own order.
constexpr bool rows_match_the_record() {
    size_t previous_end = 0;
    for (const LimitRow& row : device_limit_rows) {
        if (row.size != member_size_of(row.kind) || row.offset < previous_end) {
            return false;
        }
        previous_end = row.offset + row.size;
    }
    return true;
}

template <typename T>
T read_member(const VkPhysicalDeviceLimits& limits, size_t offset, size_t index = 0) {
    T value;
    memcpy(&value, reinterpret_cast<const unsigned char*>(&limits) + offset + index * sizeof(T),
           sizeof value);
    return value;
}

void report_limit_row(const LimitRow& row, const VkPhysicalDeviceLimits& limits) {
    const char* name = row.name;
    const size_t at = row.offset;
    switch (row.kind) {
        case LimitKind::Uint: {
            const auto x = read_member<uint32_t>(limits, at);
            append_xml("\n\t\t\t\t<limit name=\"%s\" x=\"%u\" />", name, x);
            append_text("\n\t%s: %u", name, x);
            break;
        }
        case LimitKind::Uint64:
        case LimitKind::Size: {
            const unsigned long long x = row.kind == LimitKind::Size
                                             ? read_member<size_t>(limits, at)
                                             : read_member<VkDeviceSize>(limits, at);
            append_xml("\n\t\t\t\t<limit name=\"%s\" x=\"%llu\" />", name, x);
            append_text("\n\t%s: %llu", name, x);
            break;
        }
        case LimitKind::Float: {
            const DecimalText x = decimal_text(read_member<float>(limits, at));
            append_xml("\n\t\t\t\t<limit name=\"%s\" x=\"%s\" />", name, x.text);
            append_text("\n\t%s: %s", name, x.text);
            break;
        }
        case LimitKind::FloatPair: {
            const DecimalText x = decimal_text(read_member<float>(limits, at, 0));
            const DecimalText y = decimal_text(read_member<float>(limits, at, 1));
            append_xml("\n\t\t\t\t<limit name=\"%s\" x=\"%s\" y=\"%s\" />", name, x.text, y.text);
            append_text("\n\t%s: [%s ; %s]", name, x.text, y.text);
            break;
        }
        case LimitKind::UintPair: {
            const auto x = read_member<uint32_t>(limits, at, 0);
            const auto y = read_member<uint32_t>(limits, at, 1);
            append_xml("\n\t\t\t\t<limit name=\"%s\" x=\"%u\" y=\"%u\" />", name, x, y);
            append_text("\n\t%s: [%u; %u]", name, x, y);
            break;
        }
        case LimitKind::UintTriple: {
            const auto x = read_member<uint32_t>(limits, at, 0);
            const auto y = read_member<uint32_t>(limits, at, 1);
            const auto z = read_member<uint32_t>(limits, at, 2);
            append_xml("\n\t\t\t\t<limit name=\"%s\" x=\"%u\" y=\"%u\" z=\"%u\" />", name, x, y, z);
            append_text("\n\t%s: [%u; %u; %u]", name, x, y, z);
            break;
        }
    }
}

}  // namespace

void report_device_limits(const VkPhysicalDeviceLimits& limits) {
    static_assert(rows_match_the_record(), "a limit row disagrees with VkPhysicalDeviceLimits");
    append_xml("\n\t\t\t<limits>");
    append_text("\n- Device limits:");
    for (const LimitRow& row : device_limit_rows) {
        report_limit_row(row, limits);
    }
    append_xml("\n\t\t\t</limits>");
}
