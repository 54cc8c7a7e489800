#!/usr/bin/env python3
"""Writes the fuzzer's seed corpus (fuzz/corpus/) in the input layout that report_fuzzer.cpp
reads. Run it again whenever that layout changes."""
import os
import random
import struct

OPT_ALL, OPT_FUNCS, OPT_XML, OPT_BARE, OPT_NO_LOADER, OPT_COMPLETE, OPT_JSON = 1, 2, 4, 8, 16, 32, 64
# "-labels", or "-metrics" with OPT_JSON.
OPT_FLEET = 128
# Indexes into known_results.
SUCCESS, INCOMPLETE, NOT_READY, ERROR_INITIALIZATION_FAILED, ERROR_INCOMPATIBLE_DRIVER = 0, 1, 2, 8, 12
TRUTH, ALL_ONES, TOP_BIT = 0, 0xFD, 0xFE


def count(n):
    return bytes([n + 1])


def listing(count_result=SUCCESS, fill_result=SUCCESS, query=bytes([TRUTH]), fill=bytes([TRUTH])):
    return bytes([count_result, fill_result]) + query + fill


def extensions(items):
    out = bytes([len(items)])
    for name, spec_version in items:
        out += name if len(name) == 256 else name + b"\0"
        out += struct.pack("<I", spec_version)
    return out


def properties(name, vendor, device, driver, api, device_type, limits=b""):
    head = struct.pack("<IIIII", api, driver, vendor, device, device_type)
    record = head + name.ljust(256, b"\0")[:256] + bytes(16) + limits.ljust(504, b"\0")
    return record.ljust(824, b"\0")


def memory(heaps):
    record = struct.pack("<I", 0).ljust(260, b"\0") + struct.pack("<I", len(heaps))
    for size in heaps:
        record += struct.pack("<QI4x", size, 1)
    return record.ljust(520, b"\0")


def device(props, mem, listing_bytes=listing(), items=()):
    return props + mem + listing_bytes + extensions(list(items))


def run(options, devices, instance_items=(), missing=0, create=SUCCESS,
        instance_listing=listing(), device_listing=listing()):
    return (bytes([options, missing, create]) + instance_listing + device_listing +
            bytes([len(devices)]) + extensions(list(instance_items)) + b"".join(devices))


def sample_limits():
    words = [16384, 16384, 2048, 16384, 2048, 134217728, 65536, 4294967295]
    return b"".join(struct.pack("<I", w) for w in words)


SAMPLE = device(properties(b"Sample Discrete GPU", 4318, 7040, (388 << 22) + (13 << 14),
                           (1 << 22) + 61, 2, sample_limits()),
                memory([8589934592, 17122000896]), items=[(b"VK_KHR_swapchain", 68)])
INSTANCE = [(b"VK_KHR_surface", 25), (b"VK_KHR_display", 23)]

def complete(version, dropped=0, layer_fill=bytes([TRUTH]), group_count=bytes([TRUTH]), layers=(),
             devices=()):
    """The answers of "-all": the instance's, then each device's (see complete_device)."""
    out = struct.pack("<IH", version, dropped) + layer_fill + group_count + bytes([len(layers)])
    for name, description in layers:
        out += name.ljust(256, b"\0")[:256] + struct.pack("<II", 1 << 22, 1)
        out += description.ljust(256, b"\0")[:256]
    return out + b"".join(devices)


def complete_device(families, fill=bytes([TRUTH]), chain=b"\0"):
    features = struct.pack("<I", 1) * 55
    formats = struct.pack("<III", 0, 0x1FFF, 0x80000048)
    out = features + formats + bytes([len(families)])
    for flags, count in families:
        out += struct.pack("<IIIIII", flags, count, 64, 1, 1, 1)
    return out + fill + chain


def further(dropped=0, instance=0, layers=(), devices=()):
    """The further answers of "-all", after every device's (see further_device): the commands
    to drop beyond the first 16, the instance extensions to add, each layer's device
    extensions."""
    out = struct.pack("<I", dropped)[:3] + bytes([instance])
    return out + b"".join(extensions(list(items)) for items in layers) + b"".join(devices)


# The sizes of the records the further lists are given byte for byte, in their order: tools,
# surface formats, present modes, present rectangles, time domains, shading rates, cooperative
# matrices, video formats, compatible present modes.
FURTHER_RECORDS = [1048, 8, 4, 16, 4, 32, 48, 56, 4]


def further_device(extensions=0, result=SUCCESS, fill=bytes([TRUTH]), subsamplings=0, depths=0,
                   image_types=0, capabilities=b"", grid=b"", lists=()):
    out = bytes([extensions, result]) + fill + bytes([subsamplings, depths])
    out += struct.pack("<I", image_types) + capabilities.ljust(52, b"\0")[:52]
    out += grid.ljust(8, b"\0")[:8]
    for size, records in zip(FURTHER_RECORDS, list(lists) + [[]] * 9):
        out += bytes([len(records)]) + b"".join(r.ljust(size, b"\0")[:size] for r in records)
    return out


def stype(value, rest=b""):
    """A record that begins with its sType (and a null pNext)."""
    return struct.pack("<I4xQ", value, 0) + rest


random.seed(2026)
SEEDS = {
    "sample-text": run(0, [SAMPLE], INSTANCE),
    "sample-all-xml": run(OPT_ALL | OPT_FUNCS | OPT_XML, [SAMPLE], INSTANCE),
    "hostile-names": run(
        OPT_ALL | OPT_XML,
        [device(properties(b"R&D <GPU> \"x\" a='b'\t\x01\x7f\xe9" * 16, 0x10005, 0xAC740000,
                           0xFFFFFFFF, 0xFFFFFFFF, 0x80000000),
                memory([1 << 63] * 17), items=[(b"VK_<&>\"\n\r", 1), (b"N" * 256, 0xFFFFFFFF)])],
        [(b"\xff" * 256, 0), (b"-->", 7)]),
    "creation-fails": run(OPT_FUNCS | OPT_XML, [SAMPLE], INSTANCE,
                          create=ERROR_INCOMPATIBLE_DRIVER),
    "lying-counts": run(
        OPT_ALL | OPT_BARE, [SAMPLE, SAMPLE, SAMPLE], INSTANCE,
        instance_listing=listing(fill_result=INCOMPLETE, query=count(1)),
        device_listing=listing(query=bytes([ALL_ONES]), fill=count(2))),
    "failing-listings": run(
        OPT_XML, [device(SAMPLE[:824], SAMPLE[824:1344], listing(NOT_READY)), SAMPLE], INSTANCE,
        instance_listing=listing(ERROR_INITIALIZATION_FAILED),
        device_listing=listing(query=bytes([TOP_BIT]))),
    "missing-entry-points": run(OPT_FUNCS | OPT_XML, [SAMPLE], INSTANCE, missing=0b10100100),
    "loader-missing": run(OPT_NO_LOADER | OPT_FUNCS | OPT_XML, [SAMPLE], INSTANCE),
    "raw-records": run(
        OPT_ALL | OPT_XML,
        [device(bytes(random.randrange(256) for _ in range(824)),
                bytes(random.randrange(256) for _ in range(520)))] * 2, INSTANCE),
    # Inputs that once found faults, kept as regression seeds.
    "huge-extension-count": run(
        OPT_XML, [device(SAMPLE[:824], SAMPLE[824:1344], listing(query=bytes([ALL_ONES])),
                         [(b"VK_KHR_swapchain", 68)])], INSTANCE,
        instance_listing=listing(query=bytes([TOP_BIT]))),
    "extreme-limits": run(
        OPT_ALL | OPT_XML,
        [device(properties(b"Extreme", 1, 2, 3, 4, 0x80000000,
                           struct.pack("<f", 3.4028234663852886e38) * 126),
                memory([0xFFFFFFFFFFFFFFFF] * 16))], INSTANCE),
    "complete-sample": run(OPT_COMPLETE | OPT_XML, [SAMPLE], INSTANCE) + complete(
        (1 << 22) | (3 << 12), layers=[(b"VK_LAYER_sample", b"A sample layer")],
        devices=[complete_device([(7, 1)])]),
    # A chain byte picks a structure of the tables; the bytes after it are its members.
    "complete-hostile": run(OPT_COMPLETE | OPT_BARE, [SAMPLE, SAMPLE], INSTANCE) + complete(
        0xFFFFFFFF, dropped=0b100000100100, layer_fill=bytes([ALL_ONES]),
        group_count=bytes([ALL_ONES]), layers=[(b"L" * 256, b"<&>" * 90), (b"\xff", b"")],
        devices=[complete_device([(0xFFFFFFFF, 0xFFFFFFFF)] * 3, bytes([ALL_ONES]),
                                 bytes([1]) + bytes(random.randrange(256) for _ in range(600))
                                 + bytes([7]) + b"\xff" * 600 + b"\0"),
                 complete_device([], chain=b"\0")]),
    # Floats of every sign and size, read whole by the complete report.
    "complete-extreme-limits": run(
        OPT_COMPLETE | OPT_XML,
        [device(properties(b"Extreme", 1, 2, 3, 4, 0x80000000,
                           struct.pack("<f", -3.4028234663852886e38) * 126),
                memory([0xFFFFFFFFFFFFFFFF] * 16))], INSTANCE) + complete(
        (1 << 22) | (3 << 12), devices=[complete_device([(1, 1)])]),
    "json-hostile": run(
        OPT_JSON,
        [device(properties(b"R&D <GPU> \"x\"\t\x01\x7f\xe9\xe2\x82(\xed\xa0\x80" * 16, 1, 2, 3,
                           0xFFFFFFFF, 0x80000000, struct.pack("<f", float("nan")) * 126),
                memory([1]), items=[(b"VK_KHR_swapchain", 1), (b"VK_KHR_swapchain", 2),
                                    (b"VK_\xff\x01", 1)])] * 2,
        [(b"\xff" * 256, 0)]),
    # The fleet views over hostile names and heaps; with "-all", chained structures too.
    "labels-hostile": run(
        OPT_FLEET | OPT_COMPLETE,
        [device(properties(b"R&D <GPU> \"x\"\t\x01\x7f\xe9\xe2\x82(\xed\xa0\x80" * 16, 0x10DE,
                           0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0x80000000),
                memory([1 << 63] * 17), items=[(b"VK_EXT_memory_budget", 1),
                                               (b"VK_KHR_driver_properties", 1)])] * 2,
        INSTANCE) + complete(
        (1 << 22) | (3 << 12),
        devices=[complete_device([(1, 1)], chain=bytes(random.randrange(256) for _ in range(600))
                                 + b"\0")] * 2),
    "metrics-hostile": run(
        OPT_FLEET | OPT_JSON | OPT_COMPLETE,
        [device(properties(b"\\\"\n\xff" * 60, 1, 2, 3, 4, 5), memory([1, 2, 3]),
                items=[(b"VK_EXT_memory_budget", 1)])],
        INSTANCE) + complete(
        (1 << 22) | (3 << 12),
        devices=[complete_device([(1, 1)], chain=bytes(random.randrange(256) for _ in range(600))
                                 + b"\0")]),
    "metrics-loader-missing": run(OPT_NO_LOADER | OPT_FLEET | OPT_JSON, [SAMPLE], INSTANCE),
    # Every further part: a headless surface, a layer's device extensions, the tools through
    # VK_EXT_tooling_info, each list, video profiles and what the memory types hold.
    "complete-further": run(OPT_COMPLETE | OPT_XML, [SAMPLE], INSTANCE) + complete(
        (1 << 22) | (3 << 12), layers=[(b"VK_LAYER_sample", b"A sample layer")],
        devices=[complete_device([(7, 1)])]) + further(
        instance=0b1111, layers=[[(b"VK_EXT_tooling_info", 1)]],
        devices=[further_device(
            0x7F, subsamplings=1, depths=1, image_types=3,
            capabilities=struct.pack("<II", 2, 8), grid=struct.pack("<II", 4, 2),
            lists=[[stype(1000245000, b"Tool")], [struct.pack("<II", 50, 0)],
                   [struct.pack("<I", 2), struct.pack("<I", 1)],
                   [struct.pack("<iiII", 0, 0, 640, 480)], [struct.pack("<I", 0)],
                   [stype(1000226004, struct.pack("<III", 5, 2, 2))],
                   [stype(1000249001, struct.pack("<IIII", 16, 8, 16, 1))],
                   [stype(1000023003, struct.pack("<I", 1000156003))],
                   [struct.pack("<I", 2), struct.pack("<I", 3)]])]),
    # The same with every answer hostile: lying counts, values without names, every profile
    # accepted, every memory type, failing commands on the second device.
    "complete-further-hostile": run(OPT_COMPLETE | OPT_BARE, [SAMPLE, SAMPLE], INSTANCE) + complete(
        (1 << 22) | (3 << 12), layers=[(b"L" * 256, b"<&>")],
        devices=[complete_device([(7, 1)]), complete_device([(7, 1)])]) + further(
        dropped=0b1000000000000000000001, instance=0b011,
        layers=[[(b"VK_EXT_tooling_info", 1), (b"<&>" * 80, 0xFFFFFFFF)]],
        devices=[further_device(0xFF, fill=bytes([ALL_ONES]), subsamplings=0xFF, depths=0xFF,
                                image_types=0xFFFFFFFF, capabilities=b"\xff" * 52,
                                lists=[[b"\xff" * 1048] * 7, [b"\xff" * 8] * 7,
                                       [b"\xff" * 4] * 7, [b"\xff" * 16], [b"\xff" * 4] * 7]),
                 further_device(0xFF, result=ERROR_INITIALIZATION_FAILED)]),
    "unwritten-handles": run(OPT_ALL | OPT_XML, [SAMPLE], INSTANCE,
                             device_listing=listing(query=count(3), fill=count(3))),
}

folder = os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus")
os.makedirs(folder, exist_ok=True)
for name, data in SEEDS.items():
    with open(os.path.join(folder, name), "wb") as seed:
        seed.write(data)
