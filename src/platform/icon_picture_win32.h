#pragma once
// Icons built from what is drawn in a device context.
#include <windows.h>

#include <memory>

#include "platform/handles.h"

namespace perchlet::win32 {

// An icon of width x height pixels: its colours copied from colourSource, its mask from
// maskSource (a pixel of the mask source's background colour is transparent, every other one
// opaque). The sources may be the same device context; they are only read. Null when the
// system cannot make the icon. The icon is destroyed with its last owner; no device context or
// bitmap made here outlives the call.
std::shared_ptr<IconHandle> funcCreateIconPicture(HDC colourSource, HDC maskSource, int width,
                                                  int height);

}  // namespace perchlet::win32
