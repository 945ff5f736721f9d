#pragma once
// Dynamic libraries behind 32-bit module handles: loaded by absolute path, their exports looked up
// by name, released by handle. A handle that names no module finds nothing.

#include <cstdint>
#include <string>

using HMODULE = uint32_t;

// Loads the library with every symbol bound at once and kept to itself; 0 when it cannot be loaded.
// A relative name is taken from the current directory, never searched for on the library path.
HMODULE LoadLibrary(const std::string& FileName);
// false when the handle names no module.
bool FreeLibrary(HMODULE Module);
// The export of that name, or nullptr.
void* GetProcAddress(HMODULE Module, const char* ProcName);
// The path the module was loaded from, "" for a bad handle.
std::string GetModuleFileName(HMODULE Module);
