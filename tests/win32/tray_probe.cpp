// Looks at Perchlet's windows from outside, as the end-to-end tests need it.
//
//   tray_probe.exe window <title>
//       Finds the top-level window with exactly that title and prints one line for it and one
//       for each child control, tab-separated key=value fields, the text last and escaped
//       (\\, \t, \r, \n):
//         window  hwnd= class= rect=l,t,r,b client=l,t,r,b style= exstyle= focus=<control id>
//                 screen=w,h dpi= text=
//         child   hwnd= id= class= rect=l,t,r,b enabled= visible= text=
//       Rectangles are in screen pixels. Exit code 1 when no such window exists.
//
//   tray_probe.exe menus <program file name>
//       Prints one line "menu  hwnd= rect=l,t,r,b" for each popup menu that program shows: a
//       visible top-level window of the system's menu class. This is the window manager's own
//       word, where the X server's view of a menu (its mapping, name and class hints) lags behind
//       or differs from one machine to another. Rectangles are in screen pixels.
//
//   tray_probe.exe forget <window class> <program path> <id>...
//       Deletes the notification icons with those ids (decimal) of every top-level window of
//       that class, of the program at that path only when it is not "", the way a restarted
//       shell has forgotten them. Prints "forgot <n> icon(s)". Exit code 1 when none was
//       deleted.
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "escaped.h"
#include <vector>

namespace {

std::string className(HWND window) {
    char name[256] = "";
    GetClassNameA(window, name, sizeof name);
    return name;
}

// The text through the control itself: another process's window answers WM_GETTEXT with a
// copy that the system carries across.
std::string windowText(HWND window) {
    std::vector<char> buffer(4096, '\0');
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutA(window, WM_GETTEXT, buffer.size(),
                             reinterpret_cast<LPARAM>(buffer.data()), SMTO_ABORTIFHUNG, 5000,
                             &copied)) {
        GetWindowTextA(window, buffer.data(), static_cast<int>(buffer.size()));
    }
    return buffer.data();
}

std::string rectText(const RECT& rect) {
    return std::to_string(rect.left) + "," + std::to_string(rect.top) + "," +
           std::to_string(rect.right) + "," + std::to_string(rect.bottom);
}

BOOL CALLBACK printChild(HWND child, LPARAM) {
    RECT rect{};
    GetWindowRect(child, &rect);
    std::printf("child\thwnd=%p\tid=%d\tclass=%s\trect=%s\tenabled=%d\tvisible=%d\ttext=%s\n",
                static_cast<void*>(child), GetDlgCtrlID(child), className(child).c_str(),
                rectText(rect).c_str(), IsWindowEnabled(child) ? 1 : 0,
                IsWindowVisible(child) ? 1 : 0, escaped(windowText(child)).c_str());
    return TRUE;
}

int describeWindow(const char* title) {
    HWND window = FindWindowA(nullptr, title);
    if (window == nullptr) {
        std::fprintf(stderr, "tray_probe: no window titled '%s'\n", title);
        return 1;
    }
    RECT rect{};
    GetWindowRect(window, &rect);
    RECT client{};
    GetClientRect(window, &client);
    MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&client), 2);
    GUITHREADINFO gui{};
    gui.cbSize = sizeof gui;
    int focus = 0;
    if (GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &gui) &&
        gui.hwndFocus != nullptr) {
        focus = GetDlgCtrlID(gui.hwndFocus);
    }
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSX);
    ReleaseDC(nullptr, screen);
    std::printf(
        "window\thwnd=%p\tclass=%s\trect=%s\tclient=%s\tstyle=0x%08lX\texstyle=0x%08lX\t"
        "focus=%d\tscreen=%d,%d\tdpi=%d\ttext=%s\n",
        static_cast<void*>(window), className(window).c_str(), rectText(rect).c_str(),
        rectText(client).c_str(), static_cast<unsigned long>(GetWindowLongA(window, GWL_STYLE)),
        static_cast<unsigned long>(GetWindowLongA(window, GWL_EXSTYLE)), focus,
        GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), dpi,
        escaped(windowText(window)).c_str());
    EnumChildWindows(window, printChild, 0);
    return 0;
}

struct Forget {
    std::string windowClass;
    std::string program;  // empty: any program
    std::vector<UINT> ids;
    int found = 0;
    int deleted = 0;
};

std::string programPath(HWND window) {
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId);
    if (process == nullptr) {
        return "";
    }
    char path[MAX_PATH] = "";
    DWORD size = sizeof path;
    const bool known = QueryFullProcessImageNameA(process, 0, path, &size) != 0;
    CloseHandle(process);
    return known ? path : "";
}

bool programIs(HWND window, const std::string& program) {
    const std::string path = programPath(window);
    return !path.empty() && lstrcmpiA(path.c_str(), program.c_str()) == 0;
}

BOOL CALLBACK printMenu(HWND window, LPARAM program) {
    // "#32768" is the class of every popup menu's window.
    if (className(window) != "#32768" || !IsWindowVisible(window)) {
        return TRUE;
    }
    const std::string path = programPath(window);
    const std::string name = path.substr(path.find_last_of("\\/") + 1);
    if (lstrcmpiA(name.c_str(), reinterpret_cast<const char*>(program)) == 0) {
        RECT rect{};
        GetWindowRect(window, &rect);
        std::printf("menu\thwnd=%p\trect=%s\n", static_cast<void*>(window), rectText(rect).c_str());
    }
    return TRUE;
}

int printMenus(const char* program) {
    // Screen pixels, as the X server and the screenshots have them, at any DPI.
    SetProcessDPIAware();
    EnumWindows(printMenu, reinterpret_cast<LPARAM>(program));
    return 0;
}

BOOL CALLBACK forgetIcon(HWND window, LPARAM context) {
    auto& forget = *reinterpret_cast<Forget*>(context);
    if (className(window) != forget.windowClass ||
        (!forget.program.empty() && !programIs(window, forget.program))) {
        return TRUE;
    }
    ++forget.found;
    // The window's icons are told apart by their ids: ask the shell to forget every one of them.
    NOTIFYICONDATAA record{};
    record.cbSize = NOTIFYICONDATAA_V1_SIZE;
    record.hWnd = window;
    for (const UINT id : forget.ids) {
        record.uID = id;
        if (Shell_NotifyIconA(NIM_DELETE, &record)) {
            ++forget.deleted;
        }
    }
    return TRUE;
}

int forgetIcons(const char* windowClass, const char* program, char** ids, int count) {
    Forget forget{windowClass, program, {}, 0, 0};
    for (int index = 0; index < count; ++index) {
        forget.ids.push_back(static_cast<UINT>(std::strtoul(ids[index], nullptr, 10)));
    }
    EnumWindows(forgetIcon, reinterpret_cast<LPARAM>(&forget));
    std::printf("forgot %d icon(s) of %d window(s)\n", forget.deleted, forget.found);
    return forget.deleted > 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "window") == 0) {
        return describeWindow(argv[2]);
    }
    if (argc == 3 && std::strcmp(argv[1], "menus") == 0) {
        return printMenus(argv[2]);
    }
    if (argc >= 4 && std::strcmp(argv[1], "forget") == 0) {
        return forgetIcons(argv[2], argv[3], argv + 4, argc - 4);
    }
    std::fprintf(stderr,
                 "usage: tray_probe.exe window <title>\n"
                 "       tray_probe.exe menus <program file name>\n"
                 "       tray_probe.exe forget <window class> <program path> <id>...\n");
    return 2;
}
