#include "platform/process_win32.h"

#include <windows.h>

#include <vector>

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
    const std::string path = modulePath();
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
    std::vector<char> data(size);
    if (size == 0 || !GetFileVersionInfoA(path.c_str(), 0, size, data.data())) {
        return record;
    }
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (VerQueryValueA(data.data(), "\\", reinterpret_cast<void**>(&fixed), &length) &&
        fixed != nullptr) {
        record.major = HIWORD(fixed->dwFileVersionMS);
        record.minor = LOWORD(fixed->dwFileVersionMS);
        record.revision = LOWORD(fixed->dwFileVersionLS);
    }
    struct Translation {
        WORD language;
        WORD codePage;
    }* translation = nullptr;
    if (VerQueryValueA(data.data(), "\\VarFileInfo\\Translation",
                       reinterpret_cast<void**>(&translation), &length) &&
        length >= sizeof(Translation)) {
        char key[64];
        wsprintfA(key, "\\StringFileInfo\\%04x%04x\\ProductName", translation->language,
                  translation->codePage);
        char* name = nullptr;
        if (VerQueryValueA(data.data(), key, reinterpret_cast<void**>(&name), &length) &&
            name != nullptr) {
            record.productName = name;
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
