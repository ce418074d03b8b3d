// Tells every top-level window that the shell has (re)created the task bar, as Explorer does
// after a restart, so tests can check that tray icons are registered again.
//
//   taskbar_created.exe
//
// Exit code 0 when the message went out, 1 when it could not be registered or sent.
#include <windows.h>

#include <cstdio>

int main() {
    const UINT message = RegisterWindowMessageA("TaskbarCreated");
    if (message == 0) {
        std::fprintf(stderr, "taskbar_created: RegisterWindowMessageA failed (error %lu)\n",
                     static_cast<unsigned long>(GetLastError()));
        return 1;
    }
    // A timeout, not SendMessage: one hung window must not hang the test.
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutA(HWND_BROADCAST, message, 0, 0, SMTO_ABORTIFHUNG | SMTO_NORMAL, 5000,
                             &result)) {
        const DWORD error = GetLastError();
        // A broadcast reports no error when some window simply did not answer in time.
        if (error != ERROR_SUCCESS && error != ERROR_TIMEOUT) {
            std::fprintf(stderr, "taskbar_created: broadcast failed (error %lu)\n",
                         static_cast<unsigned long>(error));
            return 1;
        }
    }
    std::printf("TaskbarCreated (0x%04X) broadcast\n", message);
    return 0;
}
