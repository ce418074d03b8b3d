// Stands in front of the shell's notification area for the tests: it can refuse requests, as a
// task bar that is not up yet or too busy does, and it writes down what the shell was handed.
//
//   fake_tray.exe <log file> [<plan> [<seconds>]]
//
// It owns a hidden top-level window of class "Shell_TrayWnd" in front of the real tray's window:
// Wine's Shell_NotifyIcon sends each request as WM_COPYDATA to the first window of that class.
// Every request except NIM_DELETE takes the plan's next letter:
//   R  refused: reply FALSE, pass nothing on (a task bar that is not there or does not answer)
//   L  lost answer: pass it on to the real tray, then reply FALSE whatever it said (a call that
//      timed out after the tray had taken it)
//   F  passed on, the real tray's reply returned
// Requests past the end of the plan ("" or "-": none), and every NIM_DELETE, are passed on. The
// program ends after <seconds> (default 600), or when its window is closed. Its window is unaware
// of scale, as an old shell's is.
//
// The log is appended to and flushed line by line; ASCII, one record a line, fields separated by
// tabs, each field key=value:
//   ready     window=<hex> tray=<hex> first=<0|1>
//       once, when the window is up: ours, the real tray's (0 if none), and whether ours is the
//       first of its class (when it is not, the shell does not come to us; exit code 1)
//   request   seq=<n> action=<refused|lost|passed> reply=<0|1>
//             message=<ADD|MODIFY|DELETE|SETFOCUS|SETVERSION|<number>> hwnd=<hex> uid=<n>
//             flags=<hex> tip=<text> [width=<n> height=<n> planes=<n> bpp=<n> mask=<hex>
//             color=<hex>]
//       one for each request received, written once it is answered. seq counts from 1. tip is
//       the request's tip in UTF-8 with \ \t \r \n escaped as \\ \t \r \n (empty without NIF_TIP).
//       The icon fields come when the request carries an icon: its size and colour depth, and
//       the bytes of its AND mask and of its colour bitmap as GetBitmapBits gives them, in
//       lower-case hex: rows top down, each row padded to a multiple of 16 bits; 32-bpp pixels
//       are B, G, R, A. A monochrome icon (bpp=1) has no colour bitmap (color= is empty) and a
//       mask of twice its height (AND rows, then XOR rows). When the request's size fits no
//       layout known, icon=unknown size=<bytes> stands instead.
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "escaped.h"

namespace {

constexpr char kTrayClass[] = "Shell_TrayWnd";
constexpr UINT_PTR kLifetimeTimer = 1;

// Wine's request record: the NOTIFYICONDATA fields in a fixed form, then the icon's bits. Its
// four icon fields (width, height, planes, bpp) stand after the GUID in older Wine and after
// uCallbackMessage in newer; both records are 960 bytes.
constexpr std::size_t kHeaderSize = 960;
constexpr std::size_t kIconFieldsOld = 944;
constexpr std::size_t kIconFieldsNew = 16;
constexpr std::size_t kTipOffset = 16;
constexpr std::size_t kTipOffsetNew = 32;
constexpr std::size_t kTipChars = 128;

struct State {
    FILE* log = nullptr;
    HWND window = nullptr;
    std::string plan;
    std::size_t used = 0;  // letters of the plan taken
    unsigned seq = 0;
} state;

UINT readUint(const BYTE* data, std::size_t offset) {
    UINT value = 0;
    std::memcpy(&value, data + offset, sizeof value);
    return value;
}

std::string hex(const BYTE* data, std::size_t size) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    out.reserve(size * 2);
    for (std::size_t i = 0; i < size; ++i) {
        out += digits[data[i] >> 4];
        out += digits[data[i] & 15];
    }
    return out;
}

std::string messageName(ULONG_PTR message) {
    switch (message) {
        case NIM_ADD:
            return "ADD";
        case NIM_MODIFY:
            return "MODIFY";
        case NIM_DELETE:
            return "DELETE";
        case NIM_SETFOCUS:
            return "SETFOCUS";
        case NIM_SETVERSION:
            return "SETVERSION";
        default:
            return std::to_string(message);
    }
}

// Bytes Wine gives a bitmap of that form (GetBitmapBits, rounded up to 16 bits in all).
std::size_t bitsSize(std::size_t width, std::size_t height, std::size_t planes, std::size_t bpp) {
    return (planes * width * height * bpp + 15) / 16 * 2;
}

struct IconFields {
    UINT width, height, planes, bpp;
    std::size_t maskSize, colorSize;
};

// The icon's fields at that offset, when they account for exactly the bytes after the header.
bool iconAt(const BYTE* data, std::size_t size, std::size_t offset, IconFields& icon) {
    icon = {readUint(data, offset),
            readUint(data, offset + 4),
            readUint(data, offset + 8),
            readUint(data, offset + 12),
            0,
            0};
    if (icon.width == 0 || icon.width > 1024 || icon.height == 0 || icon.height > 1024 ||
        icon.planes != 1 || icon.bpp == 0 || icon.bpp > 32) {
        return false;
    }
    if (icon.bpp == 1) {
        icon.maskSize = bitsSize(icon.width, icon.height * 2, 1, 1);
    } else {
        icon.maskSize = bitsSize(icon.width, icon.height, 1, 1);
        icon.colorSize = bitsSize(icon.width, icon.height, icon.planes, icon.bpp);
    }
    return kHeaderSize + icon.maskSize + icon.colorSize == size;
}

std::string tipText(const BYTE* data, std::size_t offset) {
    wchar_t tip[kTipChars + 1] = {};
    std::memcpy(tip, data + offset, kTipChars * sizeof(wchar_t));
    char utf8[kTipChars * 4 + 1] = "";
    if (WideCharToMultiByte(CP_UTF8, 0, tip, -1, utf8, sizeof utf8, nullptr, nullptr) == 0) {
        return "?";
    }
    return escaped(utf8);
}

std::string describe(ULONG_PTR message, const COPYDATASTRUCT& request) {
    const auto* data = static_cast<const BYTE*>(request.lpData);
    const std::size_t size = request.cbData;
    char head[160];
    if (data == nullptr || size < kHeaderSize) {
        std::snprintf(head, sizeof head, "message=%s\tsize=%lu", messageName(message).c_str(),
                      static_cast<unsigned long>(size));
        return head;
    }
    const UINT flags = readUint(data, 8);
    std::snprintf(head, sizeof head, "message=%s\thwnd=%x\tuid=%u\tflags=%x",
                  messageName(message).c_str(), readUint(data, 0), readUint(data, 4), flags);
    std::string out = head;
    IconFields icon{};
    const bool newer = size > kHeaderSize && iconAt(data, size, kIconFieldsNew, icon);
    const bool older = !newer && size > kHeaderSize && iconAt(data, size, kIconFieldsOld, icon);
    std::string tip;
    if (flags & NIF_TIP) {
        tip = tipText(data, newer ? kTipOffsetNew : kTipOffset);
    }
    out += "\ttip=" + tip;
    if (size > kHeaderSize && !newer && !older) {
        return out + "\ticon=unknown\tsize=" + std::to_string(size);
    }
    if (newer || older) {
        char fields[96];
        std::snprintf(fields, sizeof fields, "\twidth=%u\theight=%u\tplanes=%u\tbpp=%u", icon.width,
                      icon.height, icon.planes, icon.bpp);
        out += fields;
        out += "\tmask=" + hex(data + kHeaderSize, icon.maskSize);
        out += "\tcolor=" + hex(data + kHeaderSize + icon.maskSize, icon.colorSize);
    }
    return out;
}

void writeLine(const std::string& line) {
    std::fputs(line.c_str(), state.log);
    std::fputc('\n', state.log);
    std::fflush(state.log);
}

// The real tray: the first window of the class that is not ours.
HWND realTray() {
    HWND found = nullptr;
    while ((found = FindWindowExA(nullptr, found, kTrayClass, nullptr)) != nullptr) {
        if (found != state.window) {
            return found;
        }
    }
    return nullptr;
}

LRESULT pass(WPARAM wParam, const COPYDATASTRUCT& request) {
    HWND tray = realTray();
    if (tray == nullptr) {
        return FALSE;
    }
    COPYDATASTRUCT copy = request;
    DWORD_PTR reply = FALSE;
    if (!SendMessageTimeoutA(tray, WM_COPYDATA, wParam, reinterpret_cast<LPARAM>(&copy),
                             SMTO_NORMAL | SMTO_ABORTIFHUNG, 10000, &reply)) {
        return FALSE;
    }
    return static_cast<LRESULT>(reply);
}

LRESULT handleRequest(WPARAM wParam, const COPYDATASTRUCT& request) {
    char letter = 'F';
    if (request.dwData != NIM_DELETE && state.used < state.plan.size()) {
        letter = state.plan[state.used++];
    }
    LRESULT reply = FALSE;
    const char* action = "passed";
    if (letter == 'R') {
        action = "refused";
    } else if (letter == 'L') {
        pass(wParam, request);
        action = "lost";
    } else {
        reply = pass(wParam, request) ? TRUE : FALSE;
    }
    char head[96];
    std::snprintf(head, sizeof head, "request\tseq=%u\taction=%s\treply=%d\t", ++state.seq, action,
                  reply ? 1 : 0);
    writeLine(head + describe(request.dwData, request));
    return reply;
}

LRESULT CALLBACK trayProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COPYDATA:
            return handleRequest(wParam, *reinterpret_cast<const COPYDATASTRUCT*>(lParam));
        case WM_TIMER:
            if (wParam == kLifetimeTimer) {
                DestroyWindow(window);
            }
            return 0;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        default:
            return DefWindowProcA(window, message, wParam, lParam);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argc > 4) {
        std::fprintf(stderr, "usage: fake_tray.exe <log file> [<plan of R, L, F> [<seconds>]]\n");
        return 2;
    }
    state.log = std::fopen(argv[1], "ab");
    if (state.log == nullptr) {
        std::fprintf(stderr, "fake_tray: cannot open %s\n", argv[1]);
        return 2;
    }
    state.plan = argc >= 3 && std::strcmp(argv[2], "-") != 0 ? argv[2] : "";
    const long seconds = argc == 4 ? std::strtol(argv[3], nullptr, 10) : 600;

    if (SetThreadDpiAwarenessContext(DPI_AWARENESS_CONTEXT_UNAWARE) == nullptr) {
        std::fprintf(stderr, "fake_tray: SetThreadDpiAwarenessContext failed\n");
        return 1;
    }
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = trayProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = kTrayClass;
    if (!RegisterClassA(&windowClass)) {
        std::fprintf(stderr, "fake_tray: RegisterClassA failed (error %lu)\n", GetLastError());
        return 1;
    }
    // Topmost and created last, it comes before the real tray's window in the z-order that
    // FindWindow searches; hidden, it never shows.
    state.window = CreateWindowExA(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, kTrayClass, "", WS_POPUP, 0, 0,
                                   0, 0, nullptr, nullptr, windowClass.hInstance, nullptr);
    if (state.window == nullptr) {
        std::fprintf(stderr, "fake_tray: CreateWindowExA failed (error %lu)\n", GetLastError());
        return 1;
    }
    SetWindowPos(state.window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    if (!SetTimer(state.window, kLifetimeTimer, static_cast<UINT>(seconds) * 1000, nullptr)) {
        std::fprintf(stderr, "fake_tray: SetTimer failed (error %lu)\n", GetLastError());
        return 1;
    }
    const bool first = FindWindowExA(nullptr, nullptr, kTrayClass, nullptr) == state.window;
    char ready[96];
    std::snprintf(ready, sizeof ready, "ready\twindow=%lx\ttray=%lx\tfirst=%d",
                  static_cast<unsigned long>(reinterpret_cast<ULONG_PTR>(state.window)),
                  static_cast<unsigned long>(reinterpret_cast<ULONG_PTR>(realTray())),
                  first ? 1 : 0);
    writeLine(ready);
    if (!first) {
        return 1;
    }
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        DispatchMessageA(&message);
    }
    std::fclose(state.log);
    return 0;
}
