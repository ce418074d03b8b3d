// Holds a file open with no sharing at all, so that every other open of it fails, for a while.
//
//   hold_file.exe <file> <milliseconds>
//
// Prints "holding" once the file is open and then waits; the file stays locked until the time
// is up or the process is ended. Exit code 0 after the wait, 1 when the file could not be opened
// (the Windows error is printed).
#include <windows.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: hold_file <file> <milliseconds>\n");
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
    Sleep(static_cast<DWORD>(std::strtoul(argv[2], nullptr, 10)));
    CloseHandle(file);
    return 0;
}
