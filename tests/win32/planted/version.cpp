// A version.dll as someone might plant it beside a program. It serves the three functions
// Perchlet reads its version with from the real DLL in System32, but first appends the path of
// the module that called to version-callers.txt beside itself: being loaded proves nothing,
// since Wine's own user32 imports version.dll.
#include <windows.h>

namespace {

void recordCaller(void* returnAddress) {
    constexpr DWORD kByAddress =
        GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT;
    HMODULE caller = nullptr;
    HMODULE self = nullptr;
    wchar_t callerPath[MAX_PATH] = L"?";
    wchar_t logPath[MAX_PATH + 32];
    if (GetModuleHandleExW(kByAddress, static_cast<const wchar_t*>(returnAddress), &caller)) {
        GetModuleFileNameW(caller, callerPath, MAX_PATH);
    }
    GetModuleHandleExW(kByAddress, reinterpret_cast<const wchar_t*>(&recordCaller), &self);
    DWORD length = GetModuleFileNameW(self, logPath, MAX_PATH);
    while (length > 0 && logPath[length - 1] != L'\\') {
        --length;
    }
    lstrcpyW(logPath + length, L"version-callers.txt");
    const HANDLE log = CreateFileW(logPath, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                   nullptr, OPEN_ALWAYS, 0, nullptr);
    char line[MAX_PATH * 3];
    const int size =
        WideCharToMultiByte(CP_UTF8, 0, callerPath, -1, line, sizeof line - 1, nullptr, nullptr);
    if (log != INVALID_HANDLE_VALUE && size > 0) {
        line[size - 1] = '\n';
        DWORD written = 0;
        WriteFile(log, line, static_cast<DWORD>(size), &written, nullptr);
    }
    if (log != INVALID_HANDLE_VALUE) {
        CloseHandle(log);
    }
}

template <typename Function>
Function real(const char* name) {
    static const HMODULE system = [] {
        wchar_t path[MAX_PATH + 16];
        lstrcpyW(path + GetSystemDirectoryW(path, MAX_PATH), L"\\version.dll");
        return LoadLibraryW(path);  // a full path: the module loaded by name is this one
    }();
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(system, name)));
}

}  // namespace

extern "C" {

DWORD WINAPI GetFileVersionInfoSizeW(LPCWSTR path, LPDWORD handle) {
    recordCaller(__builtin_return_address(0));
    return real<decltype(&GetFileVersionInfoSizeW)>("GetFileVersionInfoSizeW")(path, handle);
}
BOOL WINAPI GetFileVersionInfoW(LPCWSTR path, DWORD handle, DWORD size, LPVOID data) {
    recordCaller(__builtin_return_address(0));
    return real<decltype(&GetFileVersionInfoW)>("GetFileVersionInfoW")(path, handle, size, data);
}
BOOL WINAPI VerQueryValueW(LPCVOID block, LPCWSTR subBlock, LPVOID* buffer, PUINT length) {
    recordCaller(__builtin_return_address(0));
    return real<decltype(&VerQueryValueW)>("VerQueryValueW")(block, subBlock, buffer, length);
}

}  // extern "C"
