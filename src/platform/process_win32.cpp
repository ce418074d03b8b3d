#include "platform/process_win32.h"

#include <windows.h>

#include <vector>

#include "platform/handles.h"
#include "platform/system_library_win32.h"
#include "startup/arguments.h"

namespace perchlet::win32 {

namespace {
std::string modulePath() {
    std::string path(MAX_PATH, '\0');
    for (;;) {
        const DWORD length =
            GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}
}  // namespace

VersionRecord Win32Process::versionRecord() const {
    VersionRecord record;
    // Loaded here from System32, not imported: an import of this DLL, which is no KnownDLL, is
    // looked for beside the program first.
    const ModuleHandle version(loadSystemLibrary(L"version.dll"));
    using InfoSize = DWORD(WINAPI*)(const wchar_t*, DWORD*);
    using Info = BOOL(WINAPI*)(const wchar_t*, DWORD, DWORD, void*);
    using Query = BOOL(WINAPI*)(const void*, const wchar_t*, void**, UINT*);
    const auto infoSize = moduleFunction<InfoSize>(version.get(), "GetFileVersionInfoSizeW");
    const auto info = moduleFunction<Info>(version.get(), "GetFileVersionInfoW");
    const auto query = moduleFunction<Query>(version.get(), "VerQueryValueW");
    if (infoSize == nullptr || info == nullptr || query == nullptr) {
        return record;
    }
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) {
            return record;
        }
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2);
    }
    DWORD ignored = 0;
    const DWORD size = infoSize(path.c_str(), &ignored);
    std::vector<char> data(size);
    if (size == 0 || !info(path.c_str(), 0, size, data.data())) {
        return record;
    }
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (query(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &length) && fixed != nullptr) {
        record.major = HIWORD(fixed->dwFileVersionMS);
        record.minor = LOWORD(fixed->dwFileVersionMS);
        record.revision = LOWORD(fixed->dwFileVersionLS);
    }
    struct Translation {
        WORD language;
        WORD codePage;
    }* translation = nullptr;
    if (query(data.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation),
              &length) &&
        length >= sizeof(Translation)) {
        wchar_t key[64];
        wsprintfW(key, L"\\StringFileInfo\\%04x%04x\\ProductName", translation->language,
                  translation->codePage);
        wchar_t* name = nullptr;
        if (query(data.data(), key, reinterpret_cast<void**>(&name), &length) && name != nullptr &&
            length > 0) {
            const int bytes =
                WideCharToMultiByte(CP_ACP, 0, name, -1, nullptr, 0, nullptr, nullptr);
            if (bytes > 0) {
                record.productName.resize(static_cast<std::size_t>(bytes));
                WideCharToMultiByte(CP_ACP, 0, name, -1, record.productName.data(), bytes, nullptr,
                                    nullptr);
                record.productName.resize(static_cast<std::size_t>(bytes) - 1);  // the NUL
            }
        }
    }
    return record;
}

std::string Win32Process::commandLineArguments() const {
    return std::string(argumentsOf(GetCommandLineA()));
}

std::string Win32Process::executableFolder() const {
    const std::string path = modulePath();
    const auto slash = path.find_last_of("\\/");
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

std::string Win32Process::systemTempFolder() const {
    char buffer[MAX_PATH + 1];
    const DWORD length = GetTempPathA(sizeof buffer, buffer);
    std::string folder(buffer, length > 0 && length < sizeof buffer ? length : 0);
    if (!folder.empty() && folder.back() == '\\') {
        folder.pop_back();
    }
    return folder;
}

void Win32Process::initCommonControls() {
    // Nothing to do yet: the library comes with the first box or dialog (ensureCommonControls).
}

}  // namespace perchlet::win32
