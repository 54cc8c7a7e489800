#include <windows.h>

#include "vulkan/module.h"

ModuleHandle open_module(const char* file_name) {
    return LoadLibraryA(file_name);
}

ModuleSymbol find_module_symbol(ModuleHandle module, const char* name) {
    return reinterpret_cast<ModuleSymbol>(GetProcAddress(static_cast<HMODULE>(module), name));
}

void close_module(ModuleHandle module) {
    FreeLibrary(static_cast<HMODULE>(module));
}
