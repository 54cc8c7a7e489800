#!/usr/bin/env python3
"""Compares every value of "brisol -all -xml" with what vulkaninfo (Debian vulkan-tools) reports
for the same lavapipe device in its JSON document: every structure, member, queue family and
format that both write. Usage: compare_with_vulkaninfo.py BRISOL LAVAPIPE_ICD VK_XML"""
import json
import os
import struct
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ElementTree


def aliases_of(registry):
    """Every structure name of vk.xml mapped to the name the structure has in the headers."""
    names = {}
    for node in ElementTree.parse(registry).getroot().iter("type"):
        if node.get("category") == "struct" and node.get("alias"):
            names[node.get("name")] = node.get("alias")
    return names


def members(element):
    """A <structure> or nested <member> as a dict; an array of nested structures as a list."""
    out = {}
    for member in element.findall("member"):
        name = member.get("name")
        value = member.get("value") if member.get("value") is not None else members(member)
        if member.get("index") is not None:
            out.setdefault(name, []).append(value)
        else:
            out[name] = value
    return out


def structures(element, aliases):
    return {aliases.get(s.get("name"), s.get("name")): members(s) for s in element.findall("structure")}


def as_float32(value):
    return struct.unpack("f", struct.pack("f", float(value)))[0]


class Comparison:
    def __init__(self):
        self.compared = 0
        self.mismatches = []

    def value(self, path, ours, theirs):
        """ours: brisol's text (or dict/list of them); theirs: vulkaninfo's JSON value."""
        if isinstance(theirs, dict):
            if not isinstance(ours, dict):
                return self.mismatch(path, ours, theirs)
            for key in sorted(set(ours) & set(theirs)):
                self.value(path + "." + key, ours[key], theirs[key])
            return None
        if isinstance(ours, list):  # an array of nested structures
            if not isinstance(theirs, list) or len(ours) != len(theirs):
                return self.mismatch(path, ours, theirs)
            for i, (a, b) in enumerate(zip(ours, theirs)):
                self.value("%s[%d]" % (path, i), a, b)
            return None
        self.compared += 1
        if normalised(ours, theirs) != normalised_theirs(theirs):
            self.mismatch(path, ours, theirs)
        return None

    def mismatch(self, path, ours, theirs):
        self.mismatches.append("%s: brisol %r, vulkaninfo %r" % (path, ours, theirs))


def normalised_theirs(theirs):
    if isinstance(theirs, bool):
        return "1" if theirs else "0"
    if isinstance(theirs, float):
        return as_float32(theirs)
    if isinstance(theirs, list):
        items = [normalised_theirs(item) for item in theirs]
        return sorted(items) if all(isinstance(item, str) for item in items) else items
    return theirs


def normalised(ours, theirs):
    """Brisol's text read the way vulkaninfo's value is typed."""
    if isinstance(theirs, bool):
        return ours
    if isinstance(theirs, int):
        return int(ours) if ours.lstrip("-").isdigit() else ours
    if isinstance(theirs, float):
        return as_float32(ours)
    if isinstance(theirs, list):
        if ours.startswith("["):  # an array of numbers or booleans
            items = ours[1:-1].split(", ") if ours != "[]" else []
            return [normalised(item, theirs[0] if theirs else 0) for item in items]
        if theirs and isinstance(theirs[0], int):  # a UUID or LUID, as hex bytes
            digits = ours.replace("-", "")
            return [int(digits[i : i + 2], 16) for i in range(0, len(digits), 2)]
        # Flags: their bit names, in any order.
        return sorted(ours.split(" | ")) if ours != "0" else []
    return ours


def same_structures(comparison, where, ours, theirs):
    """The structures of one chain, compared both ways: the device's version and extensions
    decide which there are, and both tools must agree on them. Returns those both write."""
    for missing, lacking in ((set(theirs) - set(ours), "brisol"), (set(ours) - set(theirs), "vulkaninfo")):
        if missing:
            comparison.mismatches.append("%s: %s lacks %s" % (where, lacking, sorted(missing)))
    return set(ours) & set(theirs)


def main():
    brisol, icd, registry = sys.argv[1:4]
    env = dict(os.environ, VK_DRIVER_FILES=icd, VK_ICD_FILENAMES=icd, ASAN_OPTIONS="detect_leaks=0")
    report = subprocess.run([brisol, "-all", "-xml"], env=env, check=True, capture_output=True)
    with tempfile.TemporaryDirectory() as scratch:
        path = os.path.join(scratch, "vulkaninfo.json")
        subprocess.run(["vulkaninfo", "-j", "-o", path], env=env, check=True, capture_output=True)
        with open(path, encoding="utf-8") as file:
            device = json.load(file)["capabilities"]["device"]

    aliases = aliases_of(registry)
    report_device = ElementTree.fromstring(report.stdout).find("vk_instance/vk_devices/vk_device")
    details = report_device.find("device_details")
    comparison = Comparison()
    for section in ("properties", "features"):
        ours = structures(details.find(section), aliases)
        theirs = {aliases.get(name, name): value for name, value in device[section].items()}
        both = same_structures(comparison, section, ours, theirs)
        for name in sorted(both):
            comparison.value(name, ours[name], theirs[name])

    families = details.findall("queue_families/queue_family")
    if len(families) != len(device["queueFamiliesProperties"]):
        comparison.mismatch("queue families", len(families), len(device["queueFamiliesProperties"]))
    for index, (family, theirs) in enumerate(zip(families, device["queueFamiliesProperties"])):
        ours = structures(family, aliases)
        same_structures(comparison, "queue family %d" % index, ours, [aliases.get(n, n) for n in theirs])
        comparison.value("queue family %d" % index, ours, theirs)

    # vulkaninfo leaves out the formats without any feature, and a few others.
    formats = {f.get("name"): structures(f, aliases) for f in details.findall("formats/format")}
    for name, theirs in sorted(device["formats"].items()):
        if name not in formats:
            comparison.mismatches.append("brisol lacks the format " + name)
        same_structures(comparison, name, formats.get(name, {}), [aliases.get(n, n) for n in theirs])
        comparison.value(name, formats.get(name, {}), theirs)

    listed = report_device.findall("vk_extensions/vk_extension")
    extensions = {e.get("name"): e.get("spec_version") for e in listed}
    comparison.value("device extensions", extensions, device["extensions"])
    if set(extensions) != set(device["extensions"]):
        comparison.mismatch("device extension names", sorted(extensions), sorted(device["extensions"]))

    print("compared %d values with vulkaninfo" % comparison.compared)
    for line in comparison.mismatches:
        print("MISMATCH " + line)
    if comparison.mismatches or comparison.compared < 1500:
        sys.exit(1)


if __name__ == "__main__":
    main()
