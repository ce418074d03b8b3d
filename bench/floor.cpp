// The floor Perchlet is measured against: the least a Windows program can do to show N tray
// icons. One hidden window, the stock application icon, N from the command line, then it waits.
#include <windows.h>
#include <shellapi.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR arguments, int) {
    unsigned count = 0;
    for (const char* c = arguments; *c >= '0' && *c <= '9'; ++c) {
        count = count * 10 + static_cast<unsigned>(*c - '0');
    }

    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = "floor";
    RegisterClassA(&windowClass);
    HWND window = CreateWindowExA(0, "floor", "floor", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                  instance, nullptr);

    NOTIFYICONDATAA record{};
    record.cbSize = NOTIFYICONDATAA_V1_SIZE;
    record.hWnd = window;
    record.uFlags = NIF_MESSAGE | NIF_ICON;
    record.uCallbackMessage = WM_APP;
    record.hIcon = LoadIconA(nullptr, IDI_APPLICATION);
    for (unsigned id = 1; id <= count; ++id) {
        record.uID = id;
        Shell_NotifyIconA(NIM_ADD, &record);
    }

    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        DispatchMessageA(&message);
    }
    return 0;
}
