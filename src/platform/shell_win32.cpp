#include "platform/shell_win32.h"

#include <windows.h>
#include <shellapi.h>

#include "platform/system_library_win32.h"
#include "platform/wide_text.h"

namespace perchlet::win32 {

namespace {

// The shell may hand a launch to extensions that need COM, in a single-threaded apartment.
// Initialised at the first launch, not at start-up: most runs launch nothing for a while, and
// ole32 is found at run time so that start-up loads nothing more. A failure is no reason not
// to try the launch: many targets need no extension at all.
void initialiseComOnce() {
    static bool done = false;
    if (done) {
        return;
    }
    done = true;
    using CoInitializeExFunction = HRESULT(WINAPI*)(void*, DWORD);
    const auto initialise =
        moduleFunction<CoInitializeExFunction>(loadSystemLibrary(L"ole32.dll"), "CoInitializeEx");
    constexpr DWORD kApartmentThreaded = 0x2;  // COINIT_APARTMENTTHREADED
    constexpr DWORD kDisableOle1Dde = 0x4;     // COINIT_DISABLE_OLE1DDE
    // S_OK, or S_FALSE when already initialised; both stay so until the process ends. The
    // library stays loaded with it.
    if (initialise != nullptr) {
        initialise(nullptr, kApartmentThreaded | kDisableOle1Dde);
    }
}

}  // namespace

std::intptr_t Win32Shell::open(const std::string& target, const std::string& parameters) {
    initialiseComOnce();
    return reinterpret_cast<std::intptr_t>(ShellExecuteW(
        nullptr, L"Open", toWide(target).c_str(), toWide(parameters).c_str(), L"", SW_SHOWNORMAL));
}

}  // namespace perchlet::win32
