#include "platform/handles.h"

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

}  // namespace perchlet::win32
