// A version.dll as someone might plant it beside a program. Being loaded proves nothing, as
// Wine's own user32 imports version.dll: it appends the path of each module that asks it for a
// version's size to version-callers.txt beside itself. Calls go on to kernelbase, which serves
// these functions for the real DLL (the other two are forwarded there in version.def).
#include <windows.h>

extern "C" DWORD WINAPI GetFileVersionInfoSizeW(LPCWSTR path, LPDWORD handle) {
    constexpr DWORD kByAddress =
        GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT;
    HMODULE caller = nullptr;
    HMODULE self = nullptr;
    char line[MAX_PATH + 2] = "?";
    char logPath[MAX_PATH + 32];
    if (GetModuleHandleExW(kByAddress, static_cast<LPCWSTR>(__builtin_return_address(0)),
                           &caller)) {
        GetModuleFileNameA(caller, line, MAX_PATH);
    }
    GetModuleHandleExW(kByAddress, reinterpret_cast<LPCWSTR>(&GetFileVersionInfoSizeW), &self);
    DWORD length = GetModuleFileNameA(self, logPath, MAX_PATH);
    while (length > 0 && logPath[length - 1] != '\\') {
        --length;
    }
    lstrcpyA(logPath + length, "version-callers.txt");
    const HANDLE log = CreateFileA(logPath, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                   nullptr, OPEN_ALWAYS, 0, nullptr);
    if (log != INVALID_HANDLE_VALUE) {
        lstrcatA(line, "\n");
        DWORD written = 0;
        WriteFile(log, line, static_cast<DWORD>(lstrlenA(line)), &written, nullptr);
        CloseHandle(log);
    }
    const auto real =
        reinterpret_cast<decltype(&GetFileVersionInfoSizeW)>(reinterpret_cast<void (*)()>(
            GetProcAddress(GetModuleHandleW(L"kernelbase.dll"), "GetFileVersionInfoSizeW")));
    return real(path, handle);
}
