#!/usr/bin/env python3
"""Writes the registry tables (registry/registry.h's types) from the Vulkan registry vk.xml.

Usage: generate_tables.py VK_XML OUTPUT_CPP
       generate_tables.py --floor VK_XML OUTPUT_C HEADER   (the floor program's tables, plain C)

Only what the headers of the same registry declare is written: the Vulkan API (not Vulkan SC),
no provisional or platform-specific extension, no disabled one. Every name of a structure, member
and enumerant is written as the C++ identifier it is, so a table that disagrees with the headers
fails to compile, and each structure gets a static_assert on the size of every member.
"""

import os
import re
import sys
import xml.etree.ElementTree as ET

# The structures a device describes itself with in one call of its own, and the chain roots.
ROOT_STRUCTURES = [
    'VkPhysicalDeviceProperties', 'VkPhysicalDeviceFeatures', 'VkPhysicalDeviceLimits',
    'VkPhysicalDeviceSparseProperties', 'VkQueueFamilyProperties',
    'VkPhysicalDeviceMemoryProperties', 'VkFormatProperties', 'VkFormatProperties3',
    'VkPhysicalDeviceToolProperties', 'VkPhysicalDeviceMemoryBudgetPropertiesEXT',
]
# The structures the complete report reads whole from a command of its own beyond those: a list
# (shading rates, cooperative matrices, present rectangles, video formats), a surface, a sample
# count, a video profile.
QUERY_STRUCTURES = [
    'VkSurfaceCapabilitiesKHR', 'VkSurfaceFormatKHR', 'VkRect2D',
    'VkPhysicalDeviceFragmentShadingRateKHR', 'VkMultisamplePropertiesEXT',
    'VkCooperativeMatrixPropertiesNV', 'VkVideoProfileInfoKHR', 'VkVideoCapabilitiesKHR',
    'VkVideoFormatPropertiesKHR',
]
CHAIN_ROOTS = {
    'VkPhysicalDeviceProperties2': 'Properties2',
    'VkPhysicalDeviceFeatures2': 'Features2',
    'VkFormatProperties2': 'FormatProperties2',
    'VkQueueFamilyProperties2': 'QueueFamilyProperties2',
    'VkPhysicalDeviceMemoryProperties2': 'MemoryProperties2',
    'VkSurfaceCapabilities2KHR': 'SurfaceCapabilities2',
    'VkSurfaceFormat2KHR': 'SurfaceFormat2',
    'VkVideoProfileInfoKHR': 'VideoProfile',
    'VkVideoCapabilitiesKHR': 'VideoCapabilities',
    'VkVideoFormatPropertiesKHR': 'VideoFormatProperties',
}
# Enumerations a command answers with, which no structure names: their names tables are written
# all the same.
QUERY_ENUMS = ['VkTimeDomainEXT', 'VkPresentModeKHR', 'VkSampleCountFlagBits',
               'VkVideoChromaSubsamplingFlagBitsKHR', 'VkVideoComponentBitDepthFlagBitsKHR',
               'VkImageTiling', 'VkImageUsageFlagBits']
SCALAR_KINDS = {
    'VkBool32': ('Bool32', 'VkBool32'), 'int32_t': ('Int32', 'int32_t'),
    'uint32_t': ('Uint32', 'uint32_t'), 'int64_t': ('Int64', 'int64_t'),
    'uint64_t': ('Uint64', 'uint64_t'), 'VkDeviceSize': ('Uint64', 'VkDeviceSize'),
    'VkDeviceAddress': ('Uint64', 'VkDeviceAddress'), 'size_t': ('Size', 'size_t'),
    'float': ('Float', 'float'), 'char': ('String', 'char'), 'uint8_t': ('Uint8', 'uint8_t'),
}
LIMIT_BITS = {
    'max': 'LimitMax', 'min': 'LimitMin', 'bits': 'LimitBits', 'bitmask': 'LimitBitmask',
    'range': 'LimitRange', 'exact': 'LimitExact', 'noauto': 'LimitNoauto', 'pot': 'LimitPot',
    'mul': 'LimitMul', 'struct': 'LimitStruct',
}


def for_vulkan(element):
    api = element.get('api') or element.get('supported')
    return api is None or 'vulkan' in api.split(',')


def version_of(number):
    major, minor = number.split('.')
    return 'VK_MAKE_API_VERSION(0, %s, %s, 0)' % (major, minor)


class Registry:
    def __init__(self, root, video_root=None):
        self.types = {}
        self.aliases = {}  # alias -> canonical name, for types and enumerants
        for element in root.find('types'):
            name = element.get('name') or (element.find('name').text
                                           if element.find('name') is not None else None)
            if name is None or not for_vulkan(element):
                continue
            if element.get('alias'):
                self.aliases[name] = element.get('alias')
            else:
                self.types[name] = element
        self.enums = {}  # enumeration name -> [(enumerant, value expression)]
        self.enum_widths = {}
        self.bitmask_enums = set()
        for enums in root.findall('enums'):
            if enums.get('type') not in ('enum', 'bitmask'):
                continue
            name = enums.get('name')
            self.enum_widths[name] = int(enums.get('bitwidth', '32'))
            if enums.get('type') == 'bitmask':
                self.bitmask_enums.add(name)
            self.enums[name] = []
            for enum in enums.findall('enum'):
                if for_vulkan(enum) and not enum.get('alias'):
                    self.enums[name].append(enum.get('name'))
        # The codecs' own enumerations (StdVideoH264ProfileIdc), which video.xml describes and the
        # headers vk.xml names declare.
        self.video_enums = set()
        for enums in video_root.findall('enums') if video_root is not None else []:
            if enums.get('type') == 'enum':
                name = enums.get('name')
                self.video_enums.add(name)
                self.enum_widths[name] = 32
                self.enums[name] = [e.get('name') for e in enums.findall('enum')
                                    if not e.get('alias')]
        self.type_versions = {}  # type -> core version number text
        self.type_extensions = {}  # type -> [extension names]
        self.enum_versions = {}
        self.enum_extensions = {}
        for feature in root.findall('feature'):
            if for_vulkan(feature):
                self.read_requires(feature, feature.get('number'), None)
        extensions = [e for e in root.find('extensions') if self.in_headers(e)]
        self.extension_names = set(e.get('name') for e in extensions)
        # What each extension needs besides itself ("requires" in older registries, "depends" in
        # newer ones, as an expression of names).
        self.extension_requires = {
            e.get('name'): [n for n in re.findall(r'[A-Za-z0-9_]+',
                                                  e.get('requires') or e.get('depends') or '')
                            if n in self.extension_names]
            for e in extensions}
        # Every extension the registry gives Vulkan, on any platform, provisional ones too: the
        # names a Vulkan Profiles document of the same registry may list.
        self.all_extension_names = sorted(e.get('name') for e in root.find('extensions')
                                          if for_vulkan(e) and e.get('supported') != 'disabled')
        for extension in extensions:
            self.read_requires(extension, None, extension.get('name'))
        self.enum_aliases = enum_aliases(root)

    @staticmethod
    def in_headers(extension):
        return (for_vulkan(extension) and extension.get('supported') != 'disabled' and
                not extension.get('platform') and extension.get('provisional') != 'true')

    def canonical(self, name):
        while name in self.aliases:
            name = self.aliases[name]
        return name

    def read_requires(self, parent, version, extension):
        for require in parent.findall('require'):
            if not for_vulkan(require):
                continue
            # What an extension adds only together with another one is that other one's too;
            # a device that lacks it would not know the structure.
            provider = extension
            condition = require.get('extension')
            if condition is not None and extension is not None:
                if condition not in self.extension_names:
                    continue
                provider = condition
            for element in require:
                name = element.get('name')
                if element.tag == 'type':
                    self.provide(self.type_versions, self.type_extensions,
                                 self.canonical(name), version, provider)
                elif element.tag == 'enum' and element.get('extends') and for_vulkan(element):
                    if element.get('alias'):
                        # A promoted value's old name: its extension provides the value too.
                        self.provide(self.enum_versions, self.enum_extensions,
                                     element.get('alias'), None, provider)
                        continue
                    values = self.enums.setdefault(element.get('extends'), [])
                    if name not in values:
                        values.append(name)
                    self.provide(self.enum_versions, self.enum_extensions, name, version,
                                 provider)

    @staticmethod
    def provide(versions, extensions, name, version, extension):
        if version is not None:
            versions.setdefault(name, version)
        if extension is not None and extension not in extensions.setdefault(name, []):
            extensions[name].append(extension)

    def provided(self, name):
        return name in self.type_versions or name in self.type_extensions


class Writer:
    def __init__(self, registry):
        self.registry = registry
        self.written = []  # structure names, in the order written
        self.value_tables = []  # enumeration or flag-bits names
        self.lines = []

    def flag_bits_of(self, type_name):
        element = self.registry.types[type_name]
        return element.get('requires') or element.get('bitvalues')

    def names_table(self, enum_name):
        if enum_name not in self.value_tables:
            self.value_tables.append(enum_name)
        return '&%s_names' % enum_name

    def member_kind(self, type_name):
        """The member kind, its C element type and its names table (or nullptr)."""
        if type_name in SCALAR_KINDS:
            kind, c_type = SCALAR_KINDS[type_name]
            return kind, c_type, 'nullptr'
        element = self.registry.types[type_name]
        category = element.get('category')
        if category is None and type_name in self.registry.video_enums:
            return 'Enum', type_name, self.names_table(type_name)
        if category == 'enum':
            # A member of a FlagBits type holds one of its bits, not a set of them: it is read
            # as an enumeration (the Profiles schema, too, gives it one name, not a list).
            if self.is_bitmask_enum(type_name) and self.registry.enum_widths[type_name] == 64:
                return 'Flags64', type_name, self.names_table(type_name)
            return 'Enum', type_name, self.names_table(type_name)
        if category == 'bitmask':
            base = element.find('type').text
            bits = self.flag_bits_of(type_name)
            names = self.names_table(bits) if bits and bits in self.registry.enums else 'nullptr'
            return ('Flags64' if base == 'VkFlags64' else 'Flags'), type_name, names
        if category == 'struct':
            self.write_structure(type_name)
            return 'Structure', type_name, 'nullptr'
        raise SystemExit('generate_tables: no member kind for %s' % type_name)

    def is_bitmask_enum(self, enum_name):
        return enum_name in self.registry.bitmask_enums

    def usable(self, name):
        """Whether a structure can be written: provided by the API and free of pointers."""
        element = self.registry.types.get(name)
        if element is None or not self.registry.provided(name):
            return False
        for member in element.findall('member'):
            if not for_vulkan(member) or member.find('name').text == 'pNext':
                continue
            if '*' in ''.join(member.itertext()):
                return False
            if self.registry.types.get(member.find('type').text, ET.Element('x')).get(
                    'category') == 'handle':
                return False
        return True

    def write_structure(self, name):
        if name in self.written:
            return
        element = self.registry.types[name]
        members = [m for m in element.findall('member')
                   if for_vulkan(m) and m.find('name').text not in ('sType', 'pNext')]
        rows, sizes = [], []
        member_names = [m.find('name').text for m in members]
        for member in members:
            rows.append(self.member_row(name, member, member_names, sizes))
        self.written.append(name)
        out = self.lines
        out.append('')
        out.append('static_assert(%s, "%s");' % (' &&\n              '.join(sizes), name))
        out.append('const MemberRow %s_members[] = {' % name)
        out.extend('    %s,' % row for row in rows)
        out.append('};')
        aliases = sorted(a for a, c in self.registry.aliases.items() if c == name)
        extensions = self.registry.type_extensions.get(name, [])
        out.append(self.string_list('%s_aliases' % name, aliases))
        out.append(self.string_list('%s_extensions' % name, extensions))
        extends = [e for e in (element.get('structextends') or '').split(',') if e in CHAIN_ROOTS]
        root = CHAIN_ROOTS[extends[0]] if extends else 'None'
        stype = element.find('member').get('values') if extends else None
        version = self.registry.type_versions.get(name)
        out.append('const StructureInfo %s_info = {' % name)
        out.append('    "%s", %s, %d,' % (name, '%s_aliases' % name if aliases else 'nullptr',
                                          len(aliases)))
        out.append('    %s, ChainRoot::%s, sizeof(%s),' % (
            stype or 'VkStructureType{}', root, name))
        out.append('    %s_members, %d,' % (name, len(rows)))
        out.append('    %s, %s, %d,' % (version_of(version) if version else '0',
                                        '%s_extensions' % name if extensions else 'nullptr',
                                        len(extensions)))
        out.append('};')

    @staticmethod
    def string_list(array_name, names):
        if not names:
            return ''
        return 'const char* const %s[] = {%s};' % (array_name,
                                                   ', '.join('"%s"' % n for n in names))

    def member_row(self, structure, member, member_names, sizes):
        member_name = member.find('name').text
        type_name = member.find('type').text
        kind, c_type, names = self.member_kind(type_name)
        enum = member.find('enum')
        text = ''.join(member.itertext())
        count = '1'
        if enum is not None:
            count = enum.text
        elif '[' in text:
            count = text[text.index('[') + 1:text.index(']')]
        if kind == 'Uint8' and count == 'VK_UUID_SIZE':
            kind = 'Uuid'
        elif kind == 'Uint8' and count == 'VK_LUID_SIZE':
            kind = 'Luid'
        nested = '&%s_info' % type_name if kind == 'Structure' else 'nullptr'
        limits = member.get('limittype')
        limit = ' | '.join(LIMIT_BITS[p] for p in limits.split(',')) if limits else 'LimitNone'
        count_member = -1
        if count != '1':
            for candidate in (member_name[:-1] + 'Count', member_name[:-3] + 'yCount',
                              member_name + 'Count'):
                if candidate in member_names:
                    count_member = member_names.index(candidate)
        sizes.append('sizeof(%s::%s) == %s * sizeof(%s)' % (structure, member_name, count,
                                                            c_type))
        return ('{"%s", MemberKind::%s, %s, %s, %d, offsetof(%s, %s), sizeof(%s::%s), %s, %s}' %
                (member_name, kind, limit, count, count_member, structure, member_name,
                 structure, member_name, names, nested))

    def write_value_tables(self):
        out = []
        for enum_name in self.value_tables:
            enumerants = self.registry.enums.get(enum_name, [])
            bits = self.is_bitmask_enum(enum_name)
            enumerants = [e for e in enumerants if not e.endswith('_MAX_ENUM')]
            values = 'nullptr'
            if enumerants:
                values = '%s_values' % enum_name
                out.append('const ValueName %s[] = {' % values)
                out.extend('    {static_cast<uint64_t>(%s), "%s"},' % (e, e) for e in enumerants)
                out.append('};')
            aliases, alias_count = write_alias_table(
                enum_name, enumerants, self.registry.enum_aliases.get(enum_name, {}), out)
            out.append('const ValueNames %s_names = {"%s", %s, %d, %s, %s, %d};' % (
                enum_name, enum_name, values, len(enumerants), 'true' if bits else 'false',
                aliases, alias_count))
        return out


# ---- Aliases of enumerants, flag bits and formats ----

def enum_aliases(root):
    """Every other name vk.xml gives an enumerant, a flag bit or a format, in the enumeration's
    own list or where a version or an extension adds it: {enumeration: {alias: target}}. A
    profile may use any of them; the target may itself be an alias."""
    aliases = {}
    for enums in root.findall('enums'):
        for enum in enums.findall('enum'):
            if enum.get('alias') and for_vulkan(enum):
                aliases.setdefault(enums.get('name'), {})[enum.get('name')] = enum.get('alias')
    parents = [f for f in root.findall('feature') if for_vulkan(f)]
    parents += [e for e in root.find('extensions')
                if for_vulkan(e) and e.get('supported') != 'disabled']
    for parent in parents:
        for require in parent.findall('require'):
            if not for_vulkan(require):
                continue
            for enum in require.findall('enum'):
                if enum.get('alias') and enum.get('extends') and for_vulkan(enum):
                    aliases.setdefault(enum.get('extends'), {})[enum.get('name')] = \
                        enum.get('alias')
    return aliases


def write_alias_table(enum_name, enumerants, aliases, out):
    """Writes the aliases of one enumeration whose target is one of its enumerants, each with
    the target's value (an alias a platform or provisional header declares need not be declared
    in this build's headers); returns the array's name (or nullptr) and its length. The
    enumerant's own name stays the one value_name() gives, so reports keep their words."""
    rows = []
    for alias, target in aliases.items():
        seen = set()
        while target in aliases and target not in seen:
            seen.add(target)
            target = aliases[target]
        if target in enumerants and alias not in enumerants:
            rows.append((target, alias))
    if not rows:
        return 'nullptr', 0
    out.append('const ValueName %s_aliases[] = {' % enum_name)
    out.extend('    {static_cast<uint64_t>(%s), "%s"},' % row for row in rows)
    out.append('};')
    return '%s_aliases' % enum_name, len(rows)


def format_provisions(registry):
    """Each format but VK_FORMAT_UNDEFINED: its enumerant, the core version that provides it (or
    None) and the extensions that do."""
    for enumerant in registry.enums['VkFormat']:
        if enumerant == 'VK_FORMAT_UNDEFINED':
            continue
        version = registry.enum_versions.get(enumerant, '1.0' if enumerant not in
                                             registry.enum_extensions else None)
        yield enumerant, version, registry.enum_extensions.get(enumerant, [])


def write_formats(registry, out):
    out.append('const FormatInfo formats[] = {')
    count = 0
    for enumerant, version, extensions in format_provisions(registry):
        out.append('    {%s, "%s", %s, %s, %d},' % (
            enumerant, enumerant, version_of(version) if version else '0',
            ('format_extensions_%d' % count) if extensions else 'nullptr', len(extensions)))
        if extensions:
            out.insert(out.index('const FormatInfo formats[] = {'),
                       'const char* const format_extensions_%d[] = {%s};' % (
                           count, ', '.join('"%s"' % e for e in extensions)))
        count += 1
    out.append('};')
    return count


def write_chained(registry, writer):
    """Writes the root structures and every chained structure; returns the chained ones' names,
    by root in CHAIN_ROOTS' order and, within a root, in the order written."""
    for name in ROOT_STRUCTURES + QUERY_STRUCTURES:
        writer.write_structure(name)
    chained = []
    for name, element in registry.types.items():
        extends = (element.get('structextends') or '').split(',')
        if element.get('category') == 'struct' and any(e in CHAIN_ROOTS for e in extends) \
                and writer.usable(name):
            writer.write_structure(name)
            chained.append(name)
    chained.sort(key=lambda n: (list(CHAIN_ROOTS).index(chain_root(registry, n)),
                                writer.written.index(n)))
    return chained


def chain_root(registry, name):
    """The first chain root the structure extends."""
    return [e for e in registry.types[name].get('structextends').split(',') if e in CHAIN_ROOTS][0]


def main():
    if sys.argv[1] == '--floor':
        write_floor_tables(*sys.argv[2:5])
        return
    vk_xml, output = sys.argv[1], sys.argv[2]
    registry = read_registry(vk_xml)
    writer = Writer(registry)
    chained = write_chained(registry, writer)
    writer.names_table('VkFormat')
    for name in QUERY_ENUMS:
        writer.names_table(name)
    codec_lines = write_video_codecs(registry, writer)
    out = ['// Generated by src/registry/generate_tables.py from %s. Do not edit.' % vk_xml,
           '#include <cstddef>', '', '#include "registry/registry.h"', '',
           'namespace {']
    out.extend(writer.write_value_tables())
    out.extend(writer.lines)
    format_lines = []
    format_count = write_formats(registry, format_lines)
    out.extend(format_lines)
    out.extend(codec_lines)
    out.append('const StructureInfo* const structures[] = {%s};' % ', '.join(
        '&%s_info' % n for n in writer.written))
    out.append('}  // namespace')
    out.append('')
    out.append('const StructureInfo* const chained_structures[] = {%s};' % ', '.join(
        '&%s_info' % n for n in chained))
    out.append('const uint32_t chained_structure_count = %d;' % len(chained))
    out.append('const StructureInfo* const* const all_structures = structures;')
    out.append('const uint32_t all_structure_count = %d;' % len(writer.written))
    out.append('const FormatInfo* const format_infos = formats;')
    out.append('const uint32_t format_info_count = %d;' % format_count)
    out.append('const ValueNames* const value_name_tables[] = {%s};' % ', '.join(
        '&%s_names' % n for n in writer.value_tables))
    out.append('const uint32_t value_name_table_count = %d;' % len(writer.value_tables))
    out.append('const ValueNames& format_names = VkFormat_names;')
    out.append('const char* const registry_extension_names[] = {%s};' % ', '.join(
        '"%s"' % n for n in registry.all_extension_names))
    out.append('const uint32_t registry_extension_count = %d;' % len(registry.all_extension_names))
    for name in ROOT_STRUCTURES + QUERY_STRUCTURES:
        out.append('const StructureInfo& %s = %s_info;' % (root_variable(name), name))
    for name in QUERY_ENUMS:
        out.append('const ValueNames& %s = %s_names;' % (enum_variable(name), name))
    out.append('const VideoCodecInfo* const video_codec_infos = %s;' % (
        'video_codecs' if codec_lines else 'nullptr'))
    out.append('const uint32_t video_codec_info_count = %d;' % sum(
        1 for line in codec_lines if line.startswith('    {')))
    with open(output, 'w', encoding='utf-8') as f:
        f.write('\n'.join(out) + '\n')


def root_variable(name):
    return {
        'VkPhysicalDeviceProperties': 'physical_device_properties_info',
        'VkPhysicalDeviceFeatures': 'physical_device_features_info',
        'VkPhysicalDeviceLimits': 'physical_device_limits_info',
        'VkPhysicalDeviceSparseProperties': 'sparse_properties_info',
        'VkQueueFamilyProperties': 'queue_family_properties_info',
        'VkPhysicalDeviceMemoryProperties': 'memory_properties_info',
        'VkFormatProperties': 'format_properties_info',
        'VkFormatProperties3': 'format_properties3_info',
        'VkPhysicalDeviceToolProperties': 'tool_properties_info',
        'VkPhysicalDeviceMemoryBudgetPropertiesEXT': 'memory_budget_info',
        'VkSurfaceCapabilitiesKHR': 'surface_capabilities_info',
        'VkSurfaceFormatKHR': 'surface_format_info',
        'VkRect2D': 'rect_2d_info',
        'VkPhysicalDeviceFragmentShadingRateKHR': 'fragment_shading_rate_info',
        'VkMultisamplePropertiesEXT': 'multisample_properties_info',
        'VkCooperativeMatrixPropertiesNV': 'cooperative_matrix_nv_info',
        'VkVideoProfileInfoKHR': 'video_profile_info',
        'VkVideoCapabilitiesKHR': 'video_capabilities_info',
        'VkVideoFormatPropertiesKHR': 'video_format_properties_info',
    }[name]


def enum_variable(name):
    return {
        'VkTimeDomainEXT': 'time_domain_names',
        'VkPresentModeKHR': 'present_mode_names',
        'VkSampleCountFlagBits': 'sample_count_names',
        'VkVideoChromaSubsamplingFlagBitsKHR': 'chroma_subsampling_names',
        'VkVideoComponentBitDepthFlagBitsKHR': 'component_bit_depth_names',
        'VkImageTiling': 'image_tiling_names',
        'VkImageUsageFlagBits': 'image_usage_names',
    }[name]


def read_registry(vk_xml):
    """vk.xml, with the video.xml beside it where there is one."""
    video_xml = os.path.join(os.path.dirname(vk_xml), 'video.xml')
    video = ET.parse(video_xml).getroot() if os.path.exists(video_xml) else None
    return Registry(ET.parse(vk_xml).getroot(), video)


def write_video_codecs(registry, writer):
    """Each video codec operation of the headers: the extension's structure that extends
    VkVideoProfileInfoKHR, the structures of it and of the extensions it requires that extend
    VkVideoCapabilitiesKHR, and the image usages its formats are asked for (decode: the output
    and the reference pictures; encode: the input and the reference pictures). Returns the lines
    of the table, none when the headers have no codec."""
    def extending(root, extensions):
        return [n for n, e in registry.types.items()
                if e.get('category') == 'struct' and writer.usable(n) and
                root in (e.get('structextends') or '').split(',') and
                any(x in extensions for x in registry.type_extensions.get(n, []))]
    out, rows = [], []
    usages = registry.enums.get('VkImageUsageFlagBits', [])
    for operation in registry.enums.get('VkVideoCodecOperationFlagBitsKHR', []):
        extensions = registry.enum_extensions.get(operation, [])
        if not extensions:
            continue
        own = extensions[:1]
        needed = own + registry.extension_requires.get(own[0], [])
        profiles = extending('VkVideoProfileInfoKHR', own)
        capabilities = extending('VkVideoCapabilitiesKHR', needed)
        kind = 'DECODE' if '_DECODE_' in operation else 'ENCODE'
        left_out = 'SRC' if kind == 'DECODE' else 'DST'
        image_usages = [u for u in usages if 'VIDEO_%s_' % kind in u and left_out not in u]
        out.append('const StructureInfo* const %s_capabilities[] = {%s};' % (
            operation, ', '.join('&%s_info' % n for n in capabilities) or 'nullptr'))
        out.append('const uint32_t %s_usages[] = {%s};' % (
            operation, ', '.join(image_usages) or '0'))
        rows.append('    {%s, %s, %s_capabilities, %d, %s_usages, %d},' % (
            operation, '&%s_info' % profiles[0] if profiles else 'nullptr', operation,
            len(capabilities), operation, len(image_usages)))
    if not rows:
        return []
    return out + ['const VideoCodecInfo video_codecs[] = {'] + rows + ['};']


# ---- The floor's tables ----
# The floor program of bench/ makes the complete report's Vulkan calls in plain C, without the
# C++ runtime: it builds the same chains and asks for the same formats, so it needs the same
# selection as the tables above (write_chained, format_provisions) written as C data. Each
# structure and format names its extensions by index into one sorted list, so that the floor
# finds a device's extensions by binary search, the cheapest way a plain program would.

def floor_root_enumerator(root):
    """FLOOR_QUEUE_FAMILY_PROPERTIES2 for VkQueueFamilyProperties2 (bench/floor_tables.h)."""
    words = re.findall(r'[A-Z][a-z]*[0-9]*', CHAIN_ROOTS[root])
    return 'FLOOR_' + '_'.join(w.upper() for w in words)


def write_floor_tables(vk_xml, output, header):
    """Writes the floor's chains and formats (floor_tables.h's types) as plain C."""
    registry = read_registry(vk_xml)
    # The floor builds the device's own chains: the surfaces' and the video profiles' it does not
    # ask for (bench/floor_complete.h).
    roots = list(CHAIN_ROOTS)[:5]
    chained = [n for n in write_chained(registry, Writer(registry))
               if chain_root(registry, n) in roots]
    formats = list(format_provisions(registry))
    providers = set(e for n in chained for e in registry.type_extensions.get(n, []))
    providers.update(e for _, _, extensions in formats for e in extensions)
    # strcmp's order: the names are ASCII, so Python's order of str is the same.
    providers = sorted(providers)
    indices = []

    def provision(version, extensions):
        first = len(indices)
        indices.extend(providers.index(e) for e in extensions)
        return '{%s, %d, %d}' % (version_of(version) if version else '0', first, len(extensions))

    out = ['/* Generated by src/registry/generate_tables.py --floor from %s. Do not edit. */'
           % vk_xml, '#include "%s"' % header, '']
    for root in roots:
        names = [n for n in chained if chain_root(registry, n) == root]
        out.append('static const struct FloorStructure %s_chain[] = {' % root)
        for name in names:
            stype = registry.types[name].find('member').get('values')
            out.append('    {%s, sizeof(%s), %s},' % (stype, name, provision(
                registry.type_versions.get(name), registry.type_extensions.get(name, []))))
        out.append('};')
    out.append('const struct FloorChainTable floor_chains[FLOOR_CHAIN_ROOT_COUNT] = {')
    out.extend('    [%s] = {%s_chain, sizeof %s_chain / sizeof %s_chain[0]},' % (
        floor_root_enumerator(root), root, root, root) for root in roots)
    out.append('};')
    out.append('const struct FloorFormat floor_formats[] = {')
    out.extend('    {%s, %s},' % (enumerant, provision(version, extensions))
               for enumerant, version, extensions in formats)
    out.append('};')
    out.append('const uint32_t floor_format_count = %d;' % len(formats))
    out.append('const char* const floor_extension_names[] = {%s};' % ', '.join(
        '"%s"' % e for e in providers))
    out.append('const uint32_t floor_extension_count = %d;' % len(providers))
    out.append('const uint16_t floor_extension_indices[] = {%s};' % ', '.join(
        str(i) for i in indices))
    with open(output, 'w', encoding='utf-8') as f:
        f.write('\n'.join(out) + '\n')


if __name__ == '__main__':
    main()
