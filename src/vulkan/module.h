// Run-time loading of a shared library. One implementation per platform; CMake picks the file.
#pragma once

using ModuleHandle = void*;
using ModuleSymbol = void (*)();

// Returns null when the library cannot be opened.
ModuleHandle open_module(const char* file_name);
// Returns null when the library does not export the name.
ModuleSymbol find_module_symbol(ModuleHandle module, const char* name);
// The result is not examined: nothing can be done about a library that fails to close.
void close_module(ModuleHandle module);
