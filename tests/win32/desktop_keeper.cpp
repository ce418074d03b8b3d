// Keeps Wine's desktop in use for a whole test session.
//
// Wine closes the desktop, and with it the shell process that owns the notification area,
// soon after the last program with a window ends; the next program then waits for a new shell
// to start. One hidden window held open from the start of the session to its end avoids that
// wait for every test, and keeps the notification area the same for all of them.
//
//   desktop_keeper.exe
//
// Prints "ready" once its window exists; runs until it is closed or the session ends.
#include <windows.h>

#include <cstdio>

namespace {

LRESULT CALLBACK keeperProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

int main() {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = keeperProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "PerchletTestDesktopKeeper";
    if (!RegisterClassA(&windowClass)) {
        std::fprintf(stderr, "desktop_keeper: RegisterClassA failed (error %lu)\n",
                     static_cast<unsigned long>(GetLastError()));
        return 1;
    }
    // Never shown: it only has to exist on the desktop.
    HWND window =
        CreateWindowExA(WS_EX_TOOLWINDOW, windowClass.lpszClassName, "desktop keeper", WS_POPUP, 0,
                        0, 1, 1, nullptr, nullptr, windowClass.hInstance, nullptr);
    if (!window) {
        std::fprintf(stderr, "desktop_keeper: CreateWindowExA failed (error %lu)\n",
                     static_cast<unsigned long>(GetLastError()));
        return 1;
    }
    std::printf("ready\n");
    std::fflush(stdout);
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return 0;
}
