#pragma once
// System DLLs come from System32 only: a file of the same name placed beside the program (say, in
// a Downloads folder) or in the current folder would otherwise run inside it.
#include <windows.h>

namespace perchlet::win32 {

// Limits the search of every later load to System32 and drops the current folder from it. Called
// first thing, before anything loads a library.
void restrictLibrarySearch();

// Loads a system DLL, given by its bare file name, from System32 by its full path: a module of
// the same name already loaded from elsewhere is not taken for it. Null when that fails.
HMODULE loadSystemLibrary(const wchar_t* name);
// The same by name, searched for in System32 only, for a DLL the program's manifest names: the
// manifest's version of it comes first in a search.
HMODULE loadSystemLibraryByName(const wchar_t* name);

// A function of a loaded module as the type it is called through; null when it is missing.
template <typename Function>
Function moduleFunction(HMODULE module, const char* name) {
    // Through void (*)(): the one function type any other converts to without a warning.
    return module == nullptr ? nullptr
                             : reinterpret_cast<Function>(
                                   reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

// A function that newer Windows adds to a system DLL every process already has (kernel32,
// user32): looked up, so that the program still starts where it is missing; null then.
template <typename Function>
Function loadedFunction(const wchar_t* module, const char* name) {
    return moduleFunction<Function>(GetModuleHandleW(module), name);
}

}  // namespace perchlet::win32
