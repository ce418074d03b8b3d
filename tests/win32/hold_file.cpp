// Holds a file open with no sharing at all, so that every other open of it fails, for a while.
//
//   hold_file.exe <file> <milliseconds> [<pattern>]
//
// Prints "holding" once the file is open and then waits; the file stays locked until the time
// is up or the process is ended. With a pattern (FindFirstFile's wildcards), the time counts from
// when a file matching it first exists (looked for every 2 ms, for 60 s at most): another
// program's file written just before it touches the held one. Exit code 0 after the wait, 1 when
// the file could not be opened (the Windows error is printed), 3 when the pattern never matched.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

namespace {

bool exists(const char* pattern) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(pattern, &found);
    if (search == INVALID_HANDLE_VALUE) {
        return false;
    }
    FindClose(search);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3 && argc != 4) {
        std::fprintf(stderr, "usage: hold_file <file> <milliseconds> [<pattern>]\n");
        return 2;
    }
    HANDLE file = CreateFileA(argv[1], GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        std::printf("cannot open %s: error %lu\n", argv[1],
                    static_cast<unsigned long>(GetLastError()));
        std::fflush(stdout);
        return 1;
    }
    std::printf("holding\n");
    std::fflush(stdout);
    int status = 0;
    if (argc == 4) {
        const ULONGLONG deadline = GetTickCount64() + 60000;
        while (!exists(argv[3]) && GetTickCount64() < deadline) {
            Sleep(2);
        }
        status = exists(argv[3]) ? 0 : 3;
    }
    Sleep(static_cast<DWORD>(std::strtoul(argv[2], nullptr, 10)));
    CloseHandle(file);
    return status;
}
