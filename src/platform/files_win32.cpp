#include "platform/files_win32.h"

#include <windows.h>

#include "common/line_reader.h"
#include "platform/handles.h"
#include "platform/last_error_win32.h"

namespace perchlet::win32 {

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
    return std::make_unique<LineReader>(std::make_unique<FileChunks>(std::move(file)));
}

}  // namespace perchlet::win32
