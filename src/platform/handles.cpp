#include "platform/handles.h"

#include "platform/wide_text.h"

namespace perchlet::win32 {

namespace {

// Live objects of each kind made through the owners.
std::atomic<long> live[static_cast<int>(HandleKind::kCount)];

long liveObjects(HandleKind kind) {
    return live[static_cast<int>(kind)].load();
}

}  // namespace

void countCreated(HandleKind kind) {
    ++live[static_cast<int>(kind)];
}
void countReleased(HandleKind kind) {
    --live[static_cast<int>(kind)];
}

void reportLiveObjects(const char* when) {
    wchar_t line[256];
    wsprintfW(line,
              L"Perchlet objects %hs: icons=%ld bitmaps=%ld dcs=%ld modules=%ld keys=%ld files=%ld "
              L"menus=%ld windows=%ld brushes=%ld fonts=%ld\n",
              when, liveObjects(HandleKind::Icon), liveObjects(HandleKind::Bitmap),
              liveObjects(HandleKind::DeviceContext), liveObjects(HandleKind::Module),
              liveObjects(HandleKind::RegistryKey), liveObjects(HandleKind::File),
              liveObjects(HandleKind::Menu), liveObjects(HandleKind::Window),
              liveObjects(HandleKind::Brush), liveObjects(HandleKind::Font));
    // The ANSI form for this plain ASCII line: Wine traces that one only, where the tests read it.
    OutputDebugStringA(toUtf8(line).c_str());
}

}  // namespace perchlet::win32
