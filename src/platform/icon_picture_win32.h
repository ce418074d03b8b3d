#pragma once
// Icons built from what is drawn in a device context.
#include <windows.h>

#include <cstdint>
#include <memory>
#include <span>

#include "platform/handles.h"

namespace perchlet::win32 {

// An icon of width x height pixels: its colours copied from colourSource, its mask from
// maskSource (a pixel of the mask source's background colour is transparent, every other one
// opaque). The sources may be the same device context; they are only read. Null when the
// system cannot make the icon. The icon is destroyed with its last owner; no device context or
// bitmap made here outlives the call.
std::shared_ptr<IconHandle> funcCreateIconPicture(HDC colourSource, HDC maskSource, int width,
                                                  int height);

// The icon of size x size pixels that loading the .ico file holding these bytes gives: the system
// chooses among its images as it does for the file. Null when the bytes are no icon file it can
// use.
HICON iconFromIcoBytes(std::span<const std::uint8_t> ico, int size);

}  // namespace perchlet::win32
