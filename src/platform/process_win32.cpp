#include "platform/process_win32.h"

#include <windows.h>

#include <vector>

#include "platform/handles.h"
#include "platform/system_library_win32.h"
#include "platform/wide_text.h"

namespace perchlet::win32 {

namespace {
// Grown until the whole path fits: a folder may be deeper than MAX_PATH characters.
std::wstring modulePath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
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
    const std::wstring path = modulePath();
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
        if (query(data.data(), key, reinterpret_cast<void**>(&name), &length) && name != nullptr) {
            record.productName = toUtf8(name);
        }
    }
    return record;
}

std::string Win32Process::commandLine() const {
    return toUtf8(GetCommandLineW());
}

std::string Win32Process::executableFolder() const {
    const std::string path = toUtf8(modulePath());
    const auto slash = path.find_last_of("\\/");
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

std::string Win32Process::systemTempFolder() const {
    // Grown to the size asked for: where long paths are allowed, TMP may be deeper than MAX_PATH.
    std::wstring buffer(MAX_PATH + 1, L'\0');
    DWORD length = 0;
    for (;;) {
        length = GetTempPathW(static_cast<DWORD>(buffer.size()), buffer.data());
        if (length < buffer.size()) {
            break;  // 0 when it failed
        }
        buffer.resize(length + 1);
    }
    std::string folder = toUtf8(std::wstring_view(buffer.data(), length));
    if (!folder.empty() && folder.back() == '\\') {
        folder.pop_back();
    }
    return folder;
}

}  // namespace perchlet::win32
