#include "platform/holding_file_win32.h"

#include <windows.h>

#include <algorithm>
#include <string>

#include "icons/holding_names.h"
#include "platform/handles.h"
#include "platform/wide_text.h"

namespace perchlet::win32 {

namespace {

bool writeAll(HANDLE file, std::span<const std::uint8_t> bytes) {
    while (!bytes.empty()) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 20));
        DWORD written = 0;
        if (!WriteFile(file, bytes.data(), chunk, &written, nullptr) || written == 0) {
            return false;
        }
        bytes = bytes.subspan(written);
    }
    return true;
}

bool processRunning(DWORD id) {
    const KernelHandle process(OpenProcess(SYNCHRONIZE, FALSE, id));
    if (!process) {
        // One that may not be opened is running; one that is gone cannot be opened at all.
        return GetLastError() == ERROR_ACCESS_DENIED;
    }
    return WaitForSingleObject(process.get(), 0) == WAIT_TIMEOUT;
}

// A copy of the program ended in the middle of a write (killed, or the machine stopped) leaves
// its temporary "<name>.ico.<process id>.tmp" behind: removed here once no process of that id
// runs any more.
void removeStaleTemporaries(const std::string& folder) {
    WIN32_FIND_DATAW found;
    const FindHandle search(FindFirstFileW(toWide(folder + "*.ico.*.tmp").c_str(), &found));
    if (!search) {
        return;
    }
    do {
        const std::string name = toUtf8(found.cFileName);
        const auto process = holdingTemporaryOwner(name);
        if (process && *process != GetCurrentProcessId() && !processRunning(*process)) {
            DeleteFileW(toWide(folder + name).c_str());
        }
    } while (FindNextFileW(search.get(), &found));
}

// Whether the file already holds exactly these bytes.
bool holdsAlready(const std::string& path, std::span<const std::uint8_t> bytes) {
    const FileHandle file(CreateFileW(toWide(path).c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        return false;
    }
    std::uint8_t held[4096];
    for (;;) {
        DWORD read = 0;
        if (!ReadFile(file.get(), held, sizeof held, &read, nullptr) || read > bytes.size() ||
            !std::equal(held, held + read, bytes.begin())) {
            return false;
        }
        if (read == 0) {
            return bytes.empty();  // the file ended: the same only if every byte was met
        }
        bytes = bytes.subspan(read);
    }
}

// Moves the new file over the target. Antivirus scanners and the search indexer open a file
// just written, and the target while it is read, for a moment: a move refused for access or
// sharing is tried again a few times, waiting a little longer each time (about 0.75 s in all).
bool moveIntoPlace(const std::string& from, const std::string& to) {
    DWORD wait = 50;
    for (int attempt = 1;; ++attempt) {
        if (MoveFileExW(toWide(from).c_str(), toWide(to).c_str(), MOVEFILE_REPLACE_EXISTING)) {
            return true;
        }
        const DWORD error = GetLastError();
        if (attempt == 5 || (error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION)) {
            return false;
        }
        Sleep(wait);
        wait *= 2;
    }
}

}  // namespace

bool Win32HoldingFiles::replaceWith(const std::string& path, std::span<const std::uint8_t> bytes) {
    const std::string temporary = holdingTemporaryName(path, GetCurrentProcessId());
    // Once per folder and run: temporaries left since are this process's own.
    const std::string folder = path.substr(0, path.find_last_of("\\/") + 1);
    if (std::find(sweptFolders_.begin(), sweptFolders_.end(), folder) == sweptFolders_.end()) {
        sweptFolders_.push_back(folder);
        removeStaleTemporaries(folder);
    }
    // At each start the same commands mostly give the same copies: one already in place is
    // left as it is, which spares a write and a move per icon.
    if (holdsAlready(path, bytes)) {
        return true;
    }
    bool written = false;
    {
        const FileHandle file(CreateFileW(toWide(temporary).c_str(), GENERIC_WRITE, 0, nullptr,
                                          CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) {
            return false;
        }
        // No flush to the disk: the file is written anew at every start before it is read, and
        // one that is not, is not shown; a flush per icon would cost a disk round trip each at
        // log-on for a copy that a power cut may lose without harm.
        written = writeAll(file.get(), bytes);
    }
    if (written && moveIntoPlace(temporary, path)) {
        return true;
    }
    DeleteFileW(toWide(temporary).c_str());
    return false;
}

}  // namespace perchlet::win32
