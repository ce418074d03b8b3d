#include "platform/shell_win32.h"

#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include "platform/last_error_win32.h"
#include "platform/system_library_win32.h"
#include "platform/wide_text.h"

namespace perchlet::win32 {

namespace {

constexpr DWORD kApartmentThreaded = 0x2;  // COINIT_APARTMENTTHREADED
constexpr DWORD kDisableOle1Dde = 0x4;     // COINIT_DISABLE_OLE1DDE

HMODULE ole32() {
    static const HMODULE module = loadSystemLibrary(L"ole32.dll");
    return module;
}

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
    const auto initialise = moduleFunction<CoInitializeExFunction>(ole32(), "CoInitializeEx");
    // S_OK, or S_FALSE when already initialised; both stay so until the process ends. The
    // library stays loaded with it.
    if (initialise != nullptr) {
        initialise(nullptr, kApartmentThreaded | kDisableOle1Dde);
    }
}

// COM for one call on this thread, in a single-threaded apartment, balanced when it ends. One
// already there in another mode serves as well.
class ComForCall {
public:
    ComForCall() {
        using Initialise = HRESULT(WINAPI*)(void*, DWORD);
        const auto initialise = moduleFunction<Initialise>(ole32(), "CoInitializeEx");
        uninitialise_ = moduleFunction<Uninitialise>(ole32(), "CoUninitialize");
        if (initialise == nullptr || uninitialise_ == nullptr) {
            raiseWindowsError(ERROR_PROC_NOT_FOUND);
        }
        const HRESULT result = initialise(nullptr, kApartmentThreaded | kDisableOle1Dde);
        if (FAILED(result) && result != RPC_E_CHANGED_MODE) {
            raiseWindowsError(static_cast<unsigned long>(result));
        }
        balance_ = SUCCEEDED(result);  // S_FALSE too: each success is balanced
    }
    ComForCall(const ComForCall&) = delete;
    ComForCall& operator=(const ComForCall&) = delete;
    ~ComForCall() {
        if (balance_) {
            uninitialise_();
        }
    }

private:
    using Uninitialise = void(WINAPI*)();
    Uninitialise uninitialise_ = nullptr;
    bool balance_ = false;
};

}  // namespace

std::intptr_t Win32Shell::open(const std::string& target, const std::string& parameters) {
    initialiseComOnce();
    return reinterpret_cast<std::intptr_t>(ShellExecuteW(
        nullptr, L"Open", toWide(target).c_str(), toWide(parameters).c_str(), L"", SW_SHOWNORMAL));
}

std::optional<std::intptr_t> Win32Shell::runAsAdministrator(const std::string& target,
                                                            const std::string& parameters) {
    initialiseComOnce();
    const std::wstring file = toWide(target);
    const std::wstring arguments = toWide(parameters);
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_FLAG_NO_UI;  // as ShellExecute: the failure is ours to report
    info.lpVerb = L"runas";
    info.lpFile = file.c_str();
    info.lpParameters = arguments.c_str();
    info.lpDirectory = L"";
    info.nShow = SW_SHOWNORMAL;
    if (ShellExecuteExW(&info)) {
        return reinterpret_cast<std::intptr_t>(info.hInstApp);
    }
    const DWORD error = GetLastError();
    if (error == ERROR_CANCELLED) {
        return std::nullopt;  // the user said no at the consent prompt
    }
    // The shell's code, as ShellExecute gives it; the system's where the shell left none.
    const auto code = reinterpret_cast<std::intptr_t>(info.hInstApp);
    return code > 0 && code <= 32 ? code : static_cast<std::intptr_t>(error);
}

void Win32Shell::openLocation(const std::string& path) {
    const ComForCall com;
    PIDLIST_ABSOLUTE item = nullptr;
    SFGAOF attributes = 0;
    HRESULT result = SHParseDisplayName(toWide(path).c_str(), nullptr, &item, 0, &attributes);
    if (SUCCEEDED(result)) {
        // No items given: the item is opened in its parent folder, selected.
        result = SHOpenFolderAndSelectItems(item, 0, nullptr, 0);
        ILFree(item);
    }
    if (FAILED(result)) {
        raiseWindowsError(static_cast<unsigned long>(result));
    }
}

}  // namespace perchlet::win32
