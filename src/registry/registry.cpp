#include "registry/registry.h"

#include <algorithm>
#include <cstring>

const StructureInfo* find_structure(const char* name) {
    for (uint32_t i = 0; i < all_structure_count; ++i) {
        const StructureInfo& structure = *all_structures[i];
        if (strcmp(structure.name, name) == 0) {
            return &structure;
        }
        for (uint32_t a = 0; a < structure.alias_count; ++a) {
            if (strcmp(structure.aliases[a], name) == 0) {
                return &structure;
            }
        }
    }
    return nullptr;
}

const MemberRow* find_member(const StructureInfo& structure, const char* name) {
    for (uint32_t i = 0; i < structure.member_count; ++i) {
        if (strcmp(structure.members[i].name, name) == 0) {
            return &structure.members[i];
        }
    }
    return nullptr;
}

const ValueNames* find_value_names(const char* type_name) {
    for (uint32_t i = 0; i < value_name_table_count; ++i) {
        if (strcmp(value_name_tables[i]->type_name, type_name) == 0) {
            return value_name_tables[i];
        }
    }
    return nullptr;
}

const char* value_name(const ValueNames& names, uint64_t value) {
    for (uint32_t i = 0; i < names.count; ++i) {
        if (names.values[i].value == value) {
            return names.values[i].name;
        }
    }
    return nullptr;
}

bool value_of_name(const ValueNames& names, const char* name, uint64_t* value) {
    for (uint32_t i = 0; i < names.count; ++i) {
        if (strcmp(names.values[i].name, name) == 0) {
            *value = names.values[i].value;
            return true;
        }
    }
    for (uint32_t i = 0; i < names.alias_count; ++i) {
        if (strcmp(names.aliases[i].name, name) == 0) {
            *value = names.aliases[i].value;
            return true;
        }
    }
    return false;
}

bool registry_names_extension(const char* name) {
    const char* const* end = registry_extension_names + registry_extension_count;
    const char* const* at = std::lower_bound(
        registry_extension_names, end, name,
        [](const char* listed, const char* wanted) { return strcmp(listed, wanted) < 0; });
    return at != end && strcmp(*at, name) == 0;
}
