#include <dlfcn.h>

#include <cstring>

#include "vulkan/module.h"

ModuleHandle open_module(const char* file_name) {
    return dlopen(file_name, RTLD_NOW | RTLD_LOCAL);
}

ModuleSymbol find_module_symbol(ModuleHandle module, const char* name) {
    void* address = dlsym(module, name);
    // POSIX guarantees that a data pointer from dlsym converts to a function pointer.
    ModuleSymbol symbol = nullptr;
    static_assert(sizeof symbol == sizeof address, "function and data pointers differ in size");
    memcpy(&symbol, &address, sizeof symbol);
    return symbol;
}

void close_module(ModuleHandle module) {
    dlclose(module);
}
