#pragma once
// One owner per kind of Win32 resource, so every release happens in exactly one place. Each
// owner counts the objects alive of its kind, which the tests read back to prove that nothing
// is leaked (GetGuiResources is not available everywhere the program is tested).
#include <windows.h>

#include <atomic>
#include <utility>

namespace perchlet::win32 {

enum class GuiKind {
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

// Live objects of each kind made through the owners below.
long liveObjects(GuiKind kind);
void countCreated(GuiKind kind);
void countReleased(GuiKind kind);

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

struct IconTraits {
    using Handle = HICON;
    static constexpr GuiKind kind = GuiKind::Icon;
    static Handle invalid() { return nullptr; }
    static void release(Handle h) { DestroyIcon(h); }
};
struct BrushTraits {
    using Handle = HBRUSH;
    static constexpr GuiKind kind = GuiKind::Brush;
    static Handle invalid() { return nullptr; }
    static void release(Handle h) { DeleteObject(h); }
};
struct FontTraits {
    using Handle = HFONT;
    static constexpr GuiKind kind = GuiKind::Font;
    static Handle invalid() { return nullptr; }
    static void release(Handle h) { DeleteObject(h); }
};
struct BitmapTraits {
    using Handle = HBITMAP;
    static constexpr GuiKind kind = GuiKind::Bitmap;
    static Handle invalid() { return nullptr; }
    static void release(Handle h) { DeleteObject(h); }
};
// A memory device context made with CreateCompatibleDC.
struct MemoryDcTraits {
    using Handle = HDC;
    static constexpr GuiKind kind = GuiKind::DeviceContext;
    static Handle invalid() { return nullptr; }
    static void release(Handle h) { DeleteDC(h); }
};
struct ModuleTraits {
    using Handle = HMODULE;
    static constexpr GuiKind kind = GuiKind::Module;
    static Handle invalid() { return nullptr; }
    static void release(Handle h) { FreeLibrary(h); }
};
struct RegistryKeyTraits {
    using Handle = HKEY;
    static constexpr GuiKind kind = GuiKind::RegistryKey;
    static Handle invalid() { return nullptr; }
    static void release(Handle h) { RegCloseKey(h); }
};
struct FileTraits {
    using Handle = HANDLE;
    static constexpr GuiKind kind = GuiKind::File;
    static Handle invalid() { return INVALID_HANDLE_VALUE; }
    static void release(Handle h) { CloseHandle(h); }
};

// A directory search of FindFirstFileA; counted with the files.
struct FindTraits {
    using Handle = HANDLE;
    static constexpr GuiKind kind = GuiKind::File;
    static Handle invalid() { return INVALID_HANDLE_VALUE; }
    static void release(Handle h) { FindClose(h); }
};

using IconHandle = Owned<IconTraits>;
using BitmapHandle = Owned<BitmapTraits>;
using BrushHandle = Owned<BrushTraits>;
using FontHandle = Owned<FontTraits>;
using MemoryDc = Owned<MemoryDcTraits>;
using ModuleHandle = Owned<ModuleTraits>;
using RegistryKey = Owned<RegistryKeyTraits>;
using FileHandle = Owned<FileTraits>;
using FindHandle = Owned<FindTraits>;

// The screen's device context, borrowed for one scope.
class ScreenDc {
public:
    ScreenDc() : dc_(GetDC(nullptr)) { countCreated(GuiKind::DeviceContext); }
    ScreenDc(const ScreenDc&) = delete;
    ScreenDc& operator=(const ScreenDc&) = delete;
    ~ScreenDc() {
        ReleaseDC(nullptr, dc_);
        countReleased(GuiKind::DeviceContext);
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
