#include "platform/holding_file_win32.h"

#include <windows.h>

#include <algorithm>

#include "platform/handles.h"

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

}  // namespace

bool Win32HoldingFiles::replaceWith(const std::string& path, std::span<const std::uint8_t> bytes) {
    // Beside the target, so the move stays on one volume and replaces it in one step; named by
    // the process so that two running copies do not write into each other's file.
    const std::string temporary = path + "." + std::to_string(GetCurrentProcessId()) + ".tmp";
    bool written = false;
    {
        const FileHandle file(CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr,
                                          CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) {
            return false;
        }
        written = writeAll(file.get(), bytes) && FlushFileBuffers(file.get());
    }
    if (written && MoveFileExA(temporary.c_str(), path.c_str(),
                               MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        return true;
    }
    DeleteFileA(temporary.c_str());
    return false;
}

}  // namespace perchlet::win32
