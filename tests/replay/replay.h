// The replay driver: a Vulkan driver whose physical devices are the profiles of one Vulkan
// Profiles document (BRISOL_REPLAY_DOCUMENT=FILE), each described by the capabilities it names,
// so that Brisol can be run on GPUs this machine does not have. The real loader loads it through
// its manifest (replay_icd.cpp exports the loader's interface); the fuzzer calls its commands in
// process. Test code: it reads documents with the program's own reader and tables.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include <vulkan/vulkan.h>

// The environment variable that names the document.
constexpr const char* replay_document_variable = "BRISOL_REPLAY_DOCUMENT";

// The most member visits a document may ask of the reader: each device reads at most every
// value of the document once per capability name it lists. Real documents ask for some 33,000;
// a document that asks for more (thousands of profiles naming one large capability) is refused
// rather than read for minutes.
constexpr size_t most_replayed_values = size_t{1} << 23;

// Every command the driver answers (global, instance and physical-device commands), under its
// core name and its extension's; null for any other name.
PFN_vkVoidFunction replay_command(const char* name);

// Whether the command takes a physical device first, as the loader's
// vk_icdGetPhysicalDeviceProcAddr asks; false for unknown names.
bool replay_physical_device_command(const char* name);

// For runs without a loader (the fuzzer): the text vkCreateInstance reads as the document instead
// of the file BRISOL_REPLAY_DOCUMENT names, or null to read the file again. The text must outlive
// the instance's creation.
void replay_document_in_memory(const std::string* text);

// Where the driver's lines go (one line each, no line feed): standard error when null.
void replay_lines_to(void (*sink)(const std::string& line));

// The driver version a document's label says ("NVIDIA GeForce GTX 1060 driver 537.13.0.0 on
// Windows 10"), packed the way the vendor packs it: NVIDIA's four numbers in 10.8.8.6 bits,
// everyone else's three as a Vulkan version in 10.10.12 bits (Intel's Windows driver included: its
// labels give the version so decoded). 0 when the label says no version of that form.
uint32_t packed_driver_version(uint32_t vendor_id, const std::string& label);

// The device name a label says: the text before " driver ", or the whole label.
std::string labelled_device_name(const std::string& label);
