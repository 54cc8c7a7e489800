#!/usr/bin/env python3
"""Compares every value of "brisol -all -xml" with what vulkaninfo (Debian vulkan-tools) reports
for the same lavapipe device in its JSON document: every structure, member, queue family and
format that both write. Then, from vulkaninfo's text, which its JSON document leaves out: the
layers' device extensions, what each memory type can hold, the tools under the validation layer
and, with both under xvfb-run, the surfaces (present support, formats, present modes and
capabilities; their extents follow the window, 1x1 for brisol and larger for vulkaninfo, and
are left out). Usage: compare_with_vulkaninfo.py BRISOL LAVAPIPE_ICD VK_XML"""
import json
import os
import re
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


# ---- vulkaninfo's text ----

def text_section(text, title):
    """The lines of one top-level section of vulkaninfo's text, up to the next one."""
    lines = text.split("\n")
    start = next(i for i, line in enumerate(lines) if line.startswith(title)) + 2
    end = start
    while end < len(lines) and not (lines[end] and lines[end][0] != "\t" and
                                    end + 1 < len(lines) and lines[end + 1].startswith("====")):
        end += 1
    return lines[start:end]


def depth(line):
    return len(line) - len(line.lstrip("\t"))


def children(lines, at):
    """The lines one tab deeper than lines[at], up to the next line as shallow as it."""
    out = []
    for line in lines[at + 1:]:
        if line.strip() and depth(line) <= depth(lines[at]):
            break
        if line.strip() and depth(line) == depth(lines[at]) + 1:
            out.append(line.strip())
    return out


def vk(name):
    return "VK_" + name


def their_surfaces(text):
    """Each surface type vulkaninfo lists with its formats, present modes and capabilities."""
    lines = text_section(text, "Presentable Surfaces:")
    surfaces = {}
    for at, line in enumerate(lines):
        if not line.startswith("\tSurface types:"):
            continue
        block = {"formats": [], "modes": [], "capabilities": {}}
        end = next((i for i in range(at + 1, len(lines))
                    if lines[i].startswith("\tSurface types:") or
                    (lines[i] and not lines[i].startswith("\t"))), len(lines))
        for i in range(at + 1, end):
            item = lines[i].strip()
            if item.startswith("format = "):
                space = lines[i + 1].strip().split(" = ")[1]
                block["formats"].append((vk(item.split(" = ")[1]), vk(space)))
            elif lines[i].startswith("\tPresent Modes:"):
                block["modes"] = [vk(mode) for mode in children(lines, i)]
            elif depth(lines[i]) == 2 and ": count = " in item:
                name = item.split(":")[0]
                block["capabilities"][name] = sorted(vk(bit) for bit in children(lines, i))
            elif depth(lines[i]) == 2 and " = " in item:
                name, value = item.split(" = ")
                block["capabilities"][name.strip()] = value
        for surface in children(lines, at):
            surfaces[surface] = block
    return surfaces


def their_layer_device_extensions(text):
    """Each layer's device extensions: {layer: {name: revision}}."""
    layers = {}
    layer = None
    for line in text_section(text, "Layers:"):
        match = re.match(r"^(VK_LAYER_\w+) ", line)
        if match:
            layer = match.group(1)
            layers[layer] = {}
        match = re.match(r"^\t\t\t(VK_\w+)\s*: extension revision (\d+)", line)
        if match and layer is not None:
            layers[layer][match.group(1)] = match.group(2)
    return layers


def their_memory_images(text):
    """For each memory type, {tiling: sorted formats}, a color image as VK_FORMAT_R8G8B8A8_UNORM."""
    types = []
    lines = text.split("\n")
    for at, line in enumerate(lines):
        if line.strip() != "usable for:":
            continue
        usable = {}
        for i in range(at + 1, len(lines)):
            if depth(lines[i]) <= depth(line):
                break
            if depth(lines[i]) == depth(line) + 1:
                tiling = vk(lines[i].strip().rstrip(":"))
                usable[tiling] = sorted(
                    "VK_FORMAT_R8G8B8A8_UNORM" if f == "color images" else vk(f)
                    for f in children(lines, i) if not f.startswith("("))
        types.append(usable)
    return types


# ---- Brisol's XML ----

def our_surfaces(details, aliases):
    surfaces = {}
    for surface in details.findall("surfaces/surface"):
        capabilities = structures(surface.find("capabilities"), aliases)
        formats = [(f["format"], f["colorSpace"])
                   for f in structures_list(surface.find("surface_formats"))]
        surfaces[surface.get("extension")] = {
            "support": [p.get("supported") for p in surface.findall("present_support")],
            "formats": formats,
            "modes": [m.get("name") for m in surface.findall("present_modes/present_mode")],
            "capabilities": capabilities}
    return surfaces


def structures_list(element):
    return [members(s) for s in element.findall("structure")]


def compare_surfaces(comparison, ours, theirs, present_support):
    if sorted(ours) != sorted(theirs):
        comparison.mismatch("surface types", sorted(ours), sorted(theirs))
    for name in sorted(set(ours) & set(theirs)):
        mine, block = ours[name], theirs[name]
        comparison.value(name + " present support", mine["support"], present_support)
        comparison.value(name + " formats", [list(f) for f in mine["formats"]],
                         [list(f) for f in block["formats"]])
        comparison.value(name + " present modes", mine["modes"], block["modes"])
        capabilities = mine["capabilities"].get("VkSurfaceCapabilitiesKHR", {})
        for key, value in sorted(block["capabilities"].items()):
            if key in ("currentExtent", "minImageExtent", "maxImageExtent"):
                continue
            if key == "supportsProtected":
                mine_value = mine["capabilities"].get("VkSurfaceProtectedCapabilitiesKHR", {})
                comparison.value(name + ".supportsProtected", mine_value.get(key),
                                 value == "true")
            elif isinstance(value, list):
                comparison.value(name + "." + key, capabilities.get(key, ""), value)
            elif key in capabilities:
                comparison.value(name + "." + key, capabilities[key],
                                 vk(value) if not value.isdigit() else int(value))
        for extent in ("currentExtent", "minImageExtent", "maxImageExtent"):
            if capabilities.get(extent) != {"width": "1", "height": "1"}:
                comparison.mismatch(name + "." + extent + " of a 1x1 window",
                                    capabilities.get(extent), {"width": "1", "height": "1"})


def our_memory_images(details):
    types = []
    for memory_type in details.findall("memory_type_images/memory_type"):
        usable = {}
        for image in memory_type.findall("image"):
            usable.setdefault(image.get("tiling"), []).append(image.get("format"))
        types.append({tiling: sorted(formats) for tiling, formats in usable.items()})
    return types


def run_both(env, brisol_args, vulkaninfo_args, display=False):
    """brisol's XML document and vulkaninfo's text, each under its own X server when asked."""
    # Server numbers from 120 up: xvfb-run -a picks the first free one, and two runs that start
    # together from the same number may pick the same (the lavapipe tests start from 140).
    front = ["xvfb-run", "-a", "-n", "120"] if display else []
    ours = subprocess.run(front + [*brisol_args], env=env, check=True, capture_output=True)
    theirs = subprocess.run(front + ["vulkaninfo", *vulkaninfo_args], env=env, check=True,
                            capture_output=True)
    root = ElementTree.fromstring(ours.stdout)
    return root, theirs.stdout.decode("utf-8", "replace")


def compare_text_parts(brisol, env, aliases, comparison):
    """What vulkaninfo writes in its text alone: surfaces (under an X server), the layers' device
    extensions, what memory types hold, and the tools under the validation layer."""
    shown = dict(env, WAYLAND_DISPLAY="", XDG_RUNTIME_DIR=tempfile.gettempdir())
    root, text = run_both(shown, [brisol, "-all", "-xml"], ["--text"], display=True)
    device = root.find("vk_instance/vk_devices/vk_device")
    details = device.find("device_details")
    ours = our_surfaces(details, aliases)
    if not ours:
        comparison.mismatches.append("brisol made no surface under xvfb-run")
    support = ["1" if line.split(" = ")[1] == "true" else "0"
               for line in text.split("\n") if line.strip().startswith("present support")]
    compare_surfaces(comparison, ours, their_surfaces(text), support)
    comparison.value("memory types can hold", our_memory_images(details),
                     their_memory_images(text))
    layers = {layer.get("name"): {e.get("name"): e.get("spec_version")
                                  for e in layer.findall("vk_extensions/vk_extension")}
              for layer in details.findall("layer_device_extensions/layer")}
    theirs = their_layer_device_extensions(text)
    if sorted(layers) != sorted(theirs):
        comparison.mismatch("layers", sorted(layers), sorted(theirs))
    for name in sorted(set(layers) & set(theirs)):
        comparison.value(name + " device extensions", layers[name], theirs[name])

    layered = dict(env, VK_INSTANCE_LAYERS="VK_LAYER_KHRONOS_validation",
                   VK_LAYER_SETTINGS_PATH="/nonexistent", DISPLAY="", WAYLAND_DISPLAY="")
    root, text = run_both(layered, [brisol, "-all", "-xml"], ["--show-tool-props"])
    tools = [members(s) for s in root.findall(
        "vk_instance/vk_devices/vk_device/device_details/tools/structure")]
    names = re.findall(r"^\t\tname\s+= (.*)$", text, re.M)
    comparison.value("tools", [t["name"] for t in tools], names)
    if not names:
        comparison.mismatches.append("vulkaninfo shows no tool under the validation layer")


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

    compare_text_parts(brisol, env, aliases, comparison)

    print("compared %d values with vulkaninfo" % comparison.compared)
    for line in comparison.mismatches:
        print("MISMATCH " + line)
    if comparison.mismatches or comparison.compared < 1500:
        sys.exit(1)


if __name__ == "__main__":
    main()
