// The device's queries beyond its structures, formats and queue families: what the layers add,
// the tools, the surfaces, the extensions' own lists (time domains, shading rates, sample
// locations, cooperative matrices, video) and what the memory types can hold. Each is called by
// query_device, in the order bench/floor_complete.c makes the same calls.
#pragma once

#include "query/chains.h"
#include "query/facts.h"

void query_layer_extensions(const InstanceFacts& instance, DeviceFacts& facts);
void query_tools(DeviceFacts& facts);
void query_surfaces(const InstanceFacts& instance, DeviceFacts& facts);
void query_time_domains(DeviceFacts& facts);
void query_shading_rates(DeviceFacts& facts);
void query_multisample(DeviceFacts& facts);
void query_cooperative_matrices(DeviceFacts& facts);
void query_video(DeviceFacts& facts);
void query_memory_images(DeviceFacts& facts);
