#pragma once
// One owner per kind of Win32 resource, so every release happens in exactly one place. Each
// owner counts the objects alive of its kind, which the tests read back to prove that nothing
// is leaked (GetGuiResources is not available everywhere the program is tested).
#include <windows.h>

#include <atomic>
#include <utility>

namespace perchlet::win32 {

// The kinds of system objects the owners below count: user and GDI objects, modules, registry
// keys and kernel handles.
enum class HandleKind {
    Icon,
    Bitmap,
    DeviceContext,
    Module,
    RegistryKey,
    File,
    Menu,
    Window,
    Brush,
    Font,
    kCount
};

void countCreated(HandleKind kind);
void countReleased(HandleKind kind);

template <typename Traits>
class Owned {
public:
    using Handle = typename Traits::Handle;

    Owned() = default;
    explicit Owned(Handle handle) : handle_(handle) {
        if (valid()) {
            countCreated(Traits::kind);
        }
    }
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;
    Owned(Owned&& other) noexcept : handle_(std::exchange(other.handle_, Traits::invalid())) {}
    Owned& operator=(Owned&& other) noexcept {
        if (this != &other) {
            reset();
            handle_ = std::exchange(other.handle_, Traits::invalid());
        }
        return *this;
    }
    ~Owned() { reset(); }

    Handle get() const { return handle_; }
    bool valid() const { return handle_ != Traits::invalid(); }
    explicit operator bool() const { return valid(); }

    void reset() {
        if (valid()) {
            Traits::release(handle_);
            countReleased(Traits::kind);
            handle_ = Traits::invalid();
        }
    }

private:
    Handle handle_ = Traits::invalid();
};

// Handles that are null when there is none, released by one call.
template <typename H, HandleKind Kind, auto Release>
struct NullableTraits {
    using Handle = H;
    static constexpr HandleKind kind = Kind;
    static Handle invalid() { return nullptr; }
    static void release(Handle h) { Release(h); }
};

// Kernel handles, which are INVALID_HANDLE_VALUE when there is none; counted as files.
template <auto Release>
struct KernelTraits {
    using Handle = HANDLE;
    static constexpr HandleKind kind = HandleKind::File;
    static Handle invalid() { return INVALID_HANDLE_VALUE; }
    static void release(Handle h) { Release(h); }
};

using IconHandle = Owned<NullableTraits<HICON, HandleKind::Icon, DestroyIcon>>;
using BitmapHandle = Owned<NullableTraits<HBITMAP, HandleKind::Bitmap, DeleteObject>>;
using FontHandle = Owned<NullableTraits<HFONT, HandleKind::Font, DeleteObject>>;
// A memory device context made with CreateCompatibleDC.
using MemoryDc = Owned<NullableTraits<HDC, HandleKind::DeviceContext, DeleteDC>>;
using ModuleHandle = Owned<NullableTraits<HMODULE, HandleKind::Module, FreeLibrary>>;
using RegistryKey = Owned<NullableTraits<HKEY, HandleKind::RegistryKey, RegCloseKey>>;
using MenuHandle = Owned<NullableTraits<HMENU, HandleKind::Menu, DestroyMenu>>;
using FileHandle = Owned<KernelTraits<CloseHandle>>;
// A directory search of FindFirstFileW.
using FindHandle = Owned<KernelTraits<FindClose>>;

// Kernel handles that are null when there is none (OpenProcess, CreateEvent...); counted as files.
struct NullKernelTraits {
    using Handle = HANDLE;
    static constexpr HandleKind kind = HandleKind::File;
    static Handle invalid() { return nullptr; }
    static void release(Handle h) { CloseHandle(h); }
};
using KernelHandle = Owned<NullKernelTraits>;

struct WindowTraits {
    using Handle = HWND;
    static constexpr HandleKind kind = HandleKind::Window;
    static Handle invalid() { return nullptr; }
    static void release(Handle h) {
        if (IsWindow(h)) {
            DestroyWindow(h);
        }
    }
};
using WindowHandle = Owned<WindowTraits>;

// The screen's device context, borrowed for one scope.
class ScreenDc {
public:
    ScreenDc() : dc_(GetDC(nullptr)) { countCreated(HandleKind::DeviceContext); }
    ScreenDc(const ScreenDc&) = delete;
    ScreenDc& operator=(const ScreenDc&) = delete;
    ~ScreenDc() {
        ReleaseDC(nullptr, dc_);
        countReleased(HandleKind::DeviceContext);
    }
    HDC get() const { return dc_; }

private:
    HDC dc_;
};

// Tells a debugger listening to the program how many objects of each kind are alive, so a
// test can prove that running and shutting down leak nothing.
void reportLiveObjects(const char* when);

// Selects an object into a device context for one scope and puts the old one back.
class Selection {
public:
    Selection(HDC dc, HGDIOBJ object) : dc_(dc), old_(SelectObject(dc, object)) {}
    Selection(const Selection&) = delete;
    Selection& operator=(const Selection&) = delete;
    ~Selection() {
        if (old_ != nullptr) {
            SelectObject(dc_, old_);
        }
    }

private:
    HDC dc_;
    HGDIOBJ old_;
};

}  // namespace perchlet::win32
