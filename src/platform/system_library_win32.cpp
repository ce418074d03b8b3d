#include "platform/system_library_win32.h"

#include <string>

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
    // Asked for its size first: nothing says the folder is shorter than MAX_PATH.
    const UINT size = GetSystemDirectoryW(nullptr, 0);  // with its NUL; 0 when it failed
    std::wstring path(size, L'\0');
    const UINT folderLength = size == 0 ? 0 : GetSystemDirectoryW(path.data(), size);
    if (folderLength == 0 || folderLength >= size) {
        return nullptr;
    }
    path.resize(folderLength);
    path += L'\\';
    path += name;
    // Its own dependencies from System32 too; without the flags, first from beside it.
    return LoadLibraryExW(
        path.c_str(), nullptr,
        searchFlagsKnown() ? LOAD_LIBRARY_SEARCH_SYSTEM32 : LOAD_WITH_ALTERED_SEARCH_PATH);
}

HMODULE loadSystemLibraryByName(const wchar_t* name) {
    return searchFlagsKnown() ? LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32)
                              : loadSystemLibrary(name);
}

}  // namespace perchlet::win32
