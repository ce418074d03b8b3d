// Writes a text value with an odd byte count, as some installers do and reg.exe cannot: the
// text in UTF-16 and the first half of its terminating NUL.
//
//   odd_registry_value.exe <HKCR\key or HKCU\key> <value name, "" for the default> <text>
//
// The key is made where missing. Exit code 0 when written, 1 when the registry refused (the
// Windows error is printed), 2 for a wrong call.
#include <windows.h>

#include <cstdio>
#include <cwchar>

int main() {
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (argv == nullptr || argc != 4) {
        std::fprintf(stderr, "usage: odd_registry_value <key> <name> <text>\n");
        return 2;
    }
    HKEY root = nullptr;
    const wchar_t* subKey = nullptr;
    if (std::wcsncmp(argv[1], L"HKCR\\", 5) == 0) {
        root = HKEY_CLASSES_ROOT;
        subKey = argv[1] + 5;
    } else if (std::wcsncmp(argv[1], L"HKCU\\", 5) == 0) {
        root = HKEY_CURRENT_USER;
        subKey = argv[1] + 5;
    } else {
        std::fprintf(stderr, "the key must start with HKCR\\ or HKCU\\\n");
        return 2;
    }
    HKEY key = nullptr;
    LONG status =
        RegCreateKeyExW(root, subKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr);
    if (status == ERROR_SUCCESS) {
        const DWORD bytes = static_cast<DWORD>(std::wcslen(argv[3]) * sizeof(wchar_t) + 1);
        status = RegSetValueExW(key, *argv[2] ? argv[2] : nullptr, 0, REG_SZ,
                                reinterpret_cast<const BYTE*>(argv[3]), bytes);
        RegCloseKey(key);
    }
    if (status != ERROR_SUCCESS) {
        std::printf("error %ld\n", status);
        return 1;
    }
    return 0;
}
