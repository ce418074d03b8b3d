#include "platform/services_win32.h"

#include <windows.h>
#include <shellapi.h>

#include <vector>

#include "common/errors.h"
#include "platform/handles.h"

namespace perchlet::win32 {

void raiseLastError() {
    const DWORD code = GetLastError();
    char* text = nullptr;
    FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string description = text != nullptr ? text : "Unknown error";
    LocalFree(text);
    while (!description.empty() && (description.back() == '\n' || description.back() == '\r' ||
                                    description.back() == ' ' || description.back() == '.')) {
        description.pop_back();
    }
    throw RunError(static_cast<std::int32_t>(code), description);
}

std::string Win32Environment::variable(const std::string& name) const {
    std::string value(256, '\0');
    for (;;) {
        const DWORD length =
            GetEnvironmentVariableA(name.c_str(), value.data(), static_cast<DWORD>(value.size()));
        if (length == 0) {
            return {};
        }
        if (length < value.size()) {
            value.resize(length);
            return value;
        }
        value.resize(length);
    }
}

void ensureCommonControls() {
    static bool loaded = false;
    if (loaded) {
        return;
    }
    loaded = true;
    if (HMODULE library = LoadLibraryA("comctl32.dll")) {
        using Init = void(WINAPI*)();
        // Through void (*)(): the one function type any other converts to without a warning.
        const auto init = reinterpret_cast<Init>(
            reinterpret_cast<void (*)()>(GetProcAddress(library, "InitCommonControls")));
        if (init != nullptr) {
            init();
        }
    }
}

void Win32MessageBoxes::show(const std::string& prompt, unsigned iconFlags,
                             const std::string& title) {
    if (watcher != nullptr) {
        watcher->beforeBox();
    }
    ensureCommonControls();
    MessageBoxA(nullptr, prompt.c_str(), title.c_str(), MB_OK | MB_SETFOREGROUND | iconFlags);
}

LocalTime Win32Clock::now() const {
    SYSTEMTIME time;
    GetLocalTime(&time);
    return {time.wYear, time.wMonth, time.wDay, time.wHour, time.wMinute, time.wSecond};
}

namespace {
std::string localeText(LCTYPE item, const char* fallback) {
    char buffer[16];
    return GetLocaleInfoA(LOCALE_USER_DEFAULT, item, buffer, sizeof buffer) > 1 ? buffer : fallback;
}
}  // namespace

std::string Win32Clock::dateSeparator() const {
    return localeText(LOCALE_SDATE, "/");
}
std::string Win32Clock::timeSeparator() const {
    return localeText(LOCALE_STIME, ":");
}

bool Win32Files::isOrdinaryFile(const std::string& path) const {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES &&
           (attributes &
            (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) == 0;
}

bool Win32Files::exists(const std::string& path) const {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void Win32Files::createFolder(const std::string& path) {
    if (!CreateDirectoryA(path.c_str(), nullptr)) {
        raiseLastError();
    }
}

namespace {

class AppendFile : public OutputFile {
public:
    explicit AppendFile(FileHandle file) : file_(std::move(file)) {}
    void writeLine(const std::string& text) override {
        // One unbuffered write per line: a line is in the file once the call returns, and two
        // runs appending at once never interleave inside a line.
        const std::string line = text + "\r\n";
        DWORD written = 0;
        if (!WriteFile(file_.get(), line.data(), static_cast<DWORD>(line.size()), &written,
                       nullptr) ||
            written != line.size()) {
            raiseLastError();
        }
    }

private:
    FileHandle file_;
};

class LineReader : public InputFile {
public:
    explicit LineReader(FileHandle file) : file_(std::move(file)) {}
    bool readLine(std::string& line) override {
        line.clear();
        bool any = false;
        for (;;) {
            if (at_ == buffer_.size() && !fill()) {
                return any;
            }
            const char c = buffer_[at_++];
            if (skipLineFeed_) {
                skipLineFeed_ = false;
                if (c == '\n') {
                    continue;  // the second half of a CR LF
                }
            }
            any = true;
            if (c == '\r' || c == '\n') {
                skipLineFeed_ = c == '\r';
                return true;
            }
            line += c;
        }
    }

private:
    bool fill() {
        buffer_.resize(64 * 1024);
        DWORD read = 0;
        if (!ReadFile(file_.get(), buffer_.data(), static_cast<DWORD>(buffer_.size()), &read,
                      nullptr)) {
            raiseLastError();
        }
        buffer_.resize(read);
        at_ = 0;
        return read > 0;
    }

    FileHandle file_;
    std::string buffer_;
    std::size_t at_ = 0;
    bool skipLineFeed_ = false;
};

}  // namespace

std::unique_ptr<OutputFile> Win32Files::openAppend(const std::string& path) {
    FileHandle file(CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        raiseLastError();
    }
    return std::make_unique<AppendFile>(std::move(file));
}

std::unique_ptr<InputFile> Win32Files::openRead(const std::string& path) {
    FileHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        raiseLastError();
    }
    return std::make_unique<LineReader>(std::move(file));
}

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

std::string argumentsOf(const char* commandLine) {
    const char* p = commandLine;
    if (*p == '"') {
        ++p;
        while (*p != '\0' && *p != '"') {
            ++p;
        }
        if (*p == '"') {
            ++p;
        }
    } else {
        while (*p != '\0' && *p != ' ' && *p != '\t') {
            ++p;
        }
    }
    if (*p == ' ' || *p == '\t') {
        ++p;
    }
    return p;
}

std::string Win32Process::commandLineArguments() const {
    return argumentsOf(GetCommandLineA());
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

namespace {

// The shell may hand a launch to extensions that need COM, in a single-threaded apartment.
// Initialised at the first launch, not at start-up: most runs launch nothing for a while, and
// ole32 is found at run time so that start-up loads nothing more. A failure is no reason not
// to try the launch: many targets need no extension at all.
void initialiseComOnce() {
    static bool done = false;
    if (done) {
        return;
    }
    done = true;
    HMODULE ole = LoadLibraryA("ole32.dll");
    if (ole == nullptr) {
        return;
    }
    using CoInitializeExFunction = HRESULT(WINAPI*)(void*, DWORD);
    const auto initialise = reinterpret_cast<CoInitializeExFunction>(
        reinterpret_cast<void (*)()>(GetProcAddress(ole, "CoInitializeEx")));
    constexpr DWORD kApartmentThreaded = 0x2;  // COINIT_APARTMENTTHREADED
    constexpr DWORD kDisableOle1Dde = 0x4;     // COINIT_DISABLE_OLE1DDE
    // S_OK, or S_FALSE when already initialised; both stay so until the process ends. The
    // library stays loaded with it.
    if (initialise != nullptr) {
        initialise(nullptr, kApartmentThreaded | kDisableOle1Dde);
    }
}

}  // namespace

std::intptr_t Win32Shell::open(const std::string& target, const std::string& parameters) {
    initialiseComOnce();
    return reinterpret_cast<std::intptr_t>(
        ShellExecuteA(nullptr, "Open", target.c_str(), parameters.c_str(), "", SW_SHOWNORMAL));
}

}  // namespace perchlet::win32
