#include "platform/system_library_win32.h"

#include <cwchar>

namespace perchlet::win32 {

namespace {

HMODULE kernel32() {
    return GetModuleHandleW(L"kernel32.dll");  // in every process: nothing is loaded
}

// The LOAD_LIBRARY_SEARCH flags came with Windows 8, and to Windows 7 with KB2533623 together
// with AddDllDirectory; without them LoadLibraryExW refuses the flags.
bool searchFlagsKnown() {
    using AddDllDirectory = void*(WINAPI*)(const wchar_t*);
    return moduleFunction<AddDllDirectory>(kernel32(), "AddDllDirectory") != nullptr;
}

}  // namespace

void restrictLibrarySearch() {
    using SetDefaultDllDirectories = BOOL(WINAPI*)(DWORD);
    const auto setDefault =
        moduleFunction<SetDefaultDllDirectories>(kernel32(), "SetDefaultDllDirectories");
    // Where it is missing (Windows 7 without KB2533623) only the current folder can go. Either
    // call fails only for an argument it does not know; every system DLL this program loads
    // names System32 itself all the same, so a failure leaves start-up nothing to act on.
    if (setDefault != nullptr) {
        setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32);
    }
    SetDllDirectoryW(L"");
}

HMODULE loadSystemLibrary(const wchar_t* name) {
    wchar_t path[MAX_PATH];
    const UINT folderLength = GetSystemDirectoryW(path, MAX_PATH);
    const std::size_t nameLength = std::wcslen(name);
    if (folderLength == 0 || folderLength + 1 + nameLength >= MAX_PATH) {
        return nullptr;  // 0: failed; more than the buffer: the length it would need
    }
    path[folderLength] = L'\\';
    std::wmemcpy(path + folderLength + 1, name, nameLength + 1);
    // Its own dependencies from System32 too; without the flags, first from beside it.
    return LoadLibraryExW(
        path, nullptr,
        searchFlagsKnown() ? LOAD_LIBRARY_SEARCH_SYSTEM32 : LOAD_WITH_ALTERED_SEARCH_PATH);
}

HMODULE loadSystemLibraryByName(const wchar_t* name) {
    return searchFlagsKnown() ? LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32)
                              : loadSystemLibrary(name);
}

}  // namespace perchlet::win32
