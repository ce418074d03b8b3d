// Starts one program with an exact command-line text and returns its exit code.
//
// Wine quotes every argument that holds a blank when it builds a Windows command line, so a
// test cannot hand leading blanks, quotes or commas through wine's own argument list. This
// helper takes them from a request file instead:
//
//   launch_exact.exe <request file>
//
// The request file is a list of records, each ended by a NUL byte (command lines cannot hold
// one, so every other character passes unchanged, in UTF-8):
//
//   cmdline=<the whole command line, program name included>   (required, once)
//   app=<module to run>          lpApplicationName; without it the command line names it
//   cwd=<folder>                 current folder of the program
//   env=<NAME>=<value>           set in the environment the program inherits
//   unset=<NAME>                 remove from that environment
//   timeout=<milliseconds>       end the program after this long
//
// Exit code: the program's own, or 0xE0000001 when the request is unusable, 0xE0000002 when
// the program could not be started, 0xE0000003 when the timeout ended it. As a Unix exit status
// keeps only the low byte, the full code is also printed: "exit code <decimal>", after
// "started process <id>" once the program runs.
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr DWORD kBadRequest = 0xE0000001;
constexpr DWORD kNotStarted = 0xE0000002;
constexpr DWORD kTimedOut = 0xE0000003;

struct Request {
    std::string cmdline;
    bool haveCmdline = false;
    std::string app;
    std::string cwd;
    DWORD timeout = INFINITE;
};

bool readWholeFile(const wchar_t* path, std::string& content) {
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    char buffer[4096];
    DWORD got = 0;
    bool ok = true;
    for (;;) {
        if (!ReadFile(file, buffer, sizeof buffer, &got, nullptr)) {
            ok = false;
            break;
        }
        if (got == 0) {
            break;
        }
        content.append(buffer, got);
    }
    CloseHandle(file);
    return ok;
}

std::wstring wide(const std::string& text) {
    std::wstring result(text.size(), L'\0');
    result.resize(static_cast<std::size_t>(
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), result.data(),
                            static_cast<int>(result.size()))));
    return result;
}

bool startsWith(const std::string& text, const char* prefix, std::string& rest) {
    const std::string head(prefix);
    if (text.compare(0, head.size(), head) != 0) {
        return false;
    }
    rest = text.substr(head.size());
    return true;
}

// Applies environment records at once, so the program inherits them; fills the rest.
bool parseRequest(const std::string& content, Request& request) {
    std::size_t start = 0;
    while (start < content.size()) {
        std::size_t end = content.find('\0', start);
        if (end == std::string::npos) {
            std::fprintf(stderr, "launch_exact: last record is not ended by NUL\n");
            return false;
        }
        const std::string record = content.substr(start, end - start);
        start = end + 1;
        std::string value;
        if (startsWith(record, "cmdline=", value)) {
            request.cmdline = value;
            request.haveCmdline = true;
        } else if (startsWith(record, "app=", value)) {
            request.app = value;
        } else if (startsWith(record, "cwd=", value)) {
            request.cwd = value;
        } else if (startsWith(record, "timeout=", value)) {
            request.timeout = static_cast<DWORD>(std::strtoul(value.c_str(), nullptr, 10));
        } else if (startsWith(record, "env=", value)) {
            // The name may not be empty, but a value may hold further "=" signs.
            const std::size_t equals = value.find('=', 1);
            if (equals == std::string::npos) {
                std::fprintf(stderr, "launch_exact: env record without '=': %s\n", value.c_str());
                return false;
            }
            const std::string name = value.substr(0, equals);
            const std::string text = value.substr(equals + 1);
            if (!SetEnvironmentVariableW(wide(name).c_str(), wide(text).c_str())) {
                std::fprintf(stderr, "launch_exact: cannot set %s\n", name.c_str());
                return false;
            }
        } else if (startsWith(record, "unset=", value)) {
            SetEnvironmentVariableW(wide(value).c_str(), nullptr);
        } else {
            std::fprintf(stderr, "launch_exact: unknown record: %s\n", record.c_str());
            return false;
        }
    }
    if (!request.haveCmdline) {
        std::fprintf(stderr, "launch_exact: no cmdline record\n");
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: launch_exact <request file>\n");
        return static_cast<int>(kBadRequest);
    }
    // The request's path as the system has it: the run's folder may be beyond the code page.
    int count = 0;
    wchar_t** wideArgv = CommandLineToArgvW(GetCommandLineW(), &count);
    std::string content;
    if (wideArgv == nullptr || count != 2 || !readWholeFile(wideArgv[1], content)) {
        std::fprintf(stderr, "launch_exact: cannot read %s (error %lu)\n", argv[1],
                     static_cast<unsigned long>(GetLastError()));
        return static_cast<int>(kBadRequest);
    }
    Request request;
    if (!parseRequest(content, request)) {
        return static_cast<int>(kBadRequest);
    }

    // CreateProcessW may write into the command-line buffer, so it gets a copy of its own.
    std::wstring cmdline = wide(request.cmdline);
    const std::wstring app = wide(request.app);
    const std::wstring cwd = wide(request.cwd);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(app.empty() ? nullptr : app.c_str(), cmdline.data(), nullptr, nullptr,
                        FALSE, 0, nullptr, cwd.empty() ? nullptr : cwd.c_str(), &startup,
                        &process)) {
        std::fprintf(stderr, "launch_exact: CreateProcessW failed (error %lu) for [%s]\n",
                     static_cast<unsigned long>(GetLastError()), request.cmdline.c_str());
        return static_cast<int>(kNotStarted);
    }
    CloseHandle(process.hThread);
    std::printf("started process %lu\n", static_cast<unsigned long>(process.dwProcessId));
    std::fflush(stdout);

    DWORD exitCode = kTimedOut;
    if (WaitForSingleObject(process.hProcess, request.timeout) == WAIT_OBJECT_0) {
        GetExitCodeProcess(process.hProcess, &exitCode);
    } else {
        std::fprintf(stderr, "launch_exact: timed out after %lu ms, ending the program\n",
                     static_cast<unsigned long>(request.timeout));
        TerminateProcess(process.hProcess, kTimedOut);
        WaitForSingleObject(process.hProcess, 5000);
    }
    CloseHandle(process.hProcess);
    std::printf("exit code %lu\n", static_cast<unsigned long>(exitCode));
    std::fflush(stdout);
    return static_cast<int>(exitCode);
}
