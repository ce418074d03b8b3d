#include "platform/handles.h"

#include "platform/wide_text.h"

namespace perchlet::win32 {

namespace {
std::atomic<long> live[static_cast<int>(GuiKind::kCount)];
}

long liveObjects(GuiKind kind) {
    return live[static_cast<int>(kind)].load();
}
void countCreated(GuiKind kind) {
    ++live[static_cast<int>(kind)];
}
void countReleased(GuiKind kind) {
    --live[static_cast<int>(kind)];
}

void reportLiveObjects(const char* when) {
    wchar_t line[256];
    wsprintfW(line,
              L"Perchlet objects %hs: icons=%ld bitmaps=%ld dcs=%ld modules=%ld keys=%ld files=%ld "
              L"menus=%ld windows=%ld brushes=%ld fonts=%ld\n",
              when, liveObjects(GuiKind::Icon), liveObjects(GuiKind::Bitmap),
              liveObjects(GuiKind::DeviceContext), liveObjects(GuiKind::Module),
              liveObjects(GuiKind::RegistryKey), liveObjects(GuiKind::File),
              liveObjects(GuiKind::Menu), liveObjects(GuiKind::Window), liveObjects(GuiKind::Brush),
              liveObjects(GuiKind::Font));
    // The ANSI form for this plain ASCII line: Wine traces that one only, where the tests read it.
    OutputDebugStringA(toUtf8(line).c_str());
}

}  // namespace perchlet::win32
