#include "platform/files_win32.h"

#include <windows.h>

#include "common/line_reader.h"
#include "platform/handles.h"
#include "platform/last_error_win32.h"
#include "platform/wide_text.h"

namespace perchlet::win32 {

bool Win32Files::isOrdinaryFile(const std::string& path) const {
    const DWORD attributes = GetFileAttributesW(toWide(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES &&
           (attributes &
            (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) == 0;
}

bool Win32Files::exists(const std::string& path) const {
    return GetFileAttributesW(toWide(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

void Win32Files::createFolder(const std::string& path) {
    const std::wstring wide = toWide(path);
    if (!CreateDirectoryW(wide.c_str(), nullptr)) {
        const DWORD error = GetLastError();
        // Another run that started at the same moment made it first: the folder is there.
        const DWORD attributes = GetFileAttributesW(wide.c_str());
        if (error == ERROR_ALREADY_EXISTS && attributes != INVALID_FILE_ATTRIBUTES &&
            (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
            return;
        }
        raiseWindowsError(error);
    }
}

namespace {

class AppendFile : public OutputFile {
public:
    AppendFile(FileHandle file, bool utf8) : file_(std::move(file)), utf8_(utf8) {}
    void writeLine(const std::string& text) override {
        // One unbuffered write per line: a line is in the file once the call returns, and two
        // runs appending at once never interleave inside a line.
        const std::string line = (utf8_ ? text : Win32AnsiCodePage::fromUtf8(text)) + "\r\n";
        DWORD written = 0;
        if (!WriteFile(file_.get(), line.data(), static_cast<DWORD>(line.size()), &written,
                       nullptr) ||
            written != line.size()) {
            raiseLastError();
        }
    }

private:
    FileHandle file_;
    bool utf8_;
};

// Whether the file is written in UTF-8; an empty one gets the mark that says so. Decided under a
// lock, so that of two runs opening the file at once only one finds it empty and marks it.
bool continuesInUtf8(HANDLE file) {
    // A byte no log reaches: the lock keeps no reader or writer from the text itself. A file
    // system without locks still gets its log, at the small risk the lock is there for.
    OVERLAPPED lock{};
    lock.OffsetHigh = 0x7FFFFFFF;
    const bool locked = LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &lock) != FALSE;
    bool utf8 = false;
    bool done = false;
    LARGE_INTEGER size{};
    if (GetFileSizeEx(file, &size)) {
        DWORD count = 0;
        if (size.QuadPart == 0) {
            // The handle appends: the mark goes to the end, which is the start.
            done = WriteFile(file, kUtf8ByteOrderMark.data(),
                             static_cast<DWORD>(kUtf8ByteOrderMark.size()), &count, nullptr) &&
                   count == kUtf8ByteOrderMark.size();
            utf8 = true;
        } else {
            char start[3] = {};
            OVERLAPPED at{};  // from the first byte, whatever the file position
            done = ReadFile(file, start, sizeof start, &count, &at) != FALSE;
            utf8 = std::string_view(start, count) == kUtf8ByteOrderMark;
        }
    }
    const DWORD error = GetLastError();
    if (locked) {
        UnlockFileEx(file, 0, 1, 0, &lock);
    }
    if (!done) {
        raiseWindowsError(error);
    }
    return utf8;
}

class FileChunks : public ChunkSource {
public:
    explicit FileChunks(FileHandle file) : file_(std::move(file)) {}
    std::size_t read(std::span<char> into) override {
        DWORD read = 0;
        if (!ReadFile(file_.get(), into.data(), static_cast<DWORD>(into.size()), &read, nullptr)) {
            raiseLastError();
        }
        return read;
    }

private:
    FileHandle file_;
};

}  // namespace

std::unique_ptr<OutputFile> Win32Files::openAppend(const std::string& path) {
    // Appending only: every write goes to the end, whatever another run wrote meanwhile. Read
    // access for the mark at the start.
    FileHandle file(CreateFileW(toWide(path).c_str(), GENERIC_READ | FILE_APPEND_DATA,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        raiseLastError();
    }
    const bool utf8 = continuesInUtf8(file.get());
    return std::make_unique<AppendFile>(std::move(file), utf8);
}

std::unique_ptr<InputFile> Win32Files::openRead(const std::string& path) {
    FileHandle file(CreateFileW(toWide(path).c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        raiseLastError();
    }
    return std::make_unique<LineReader>(std::make_unique<FileChunks>(std::move(file)), ansi_);
}

}  // namespace perchlet::win32
