#pragma once
// The .ico file layout built from an icon group resource and its image resources. Pure: it
// reads only the bytes it is given, so any group, however damaged, is answered without a crash.
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "icons/icon_system.h"

namespace perchlet {

enum class IcoBuildStatus {
    Built,
    Empty,          // the group's count is 0 or less: nothing to write and nothing to report
    GroupDamaged,   // fewer bytes than the header and entries need, or not an icon group
    ImageNotFound,  // the lookup's status, for the first image that failed
    ImageLoadFailed,
    ImageLockFailed,
    ImageDamaged,  // an image resource holds fewer bytes than its group entry claims
};

struct IcoBuild {
    IcoBuildStatus status = IcoBuildStatus::Empty;
    std::vector<std::uint8_t> file;   // the whole .ico file when Built; empty otherwise
    std::uint16_t failedImageId = 0;  // the image that failed, for the Image... statuses
};

// The RT_ICON resource of an image id.
using IconImageLookup = std::function<ResourceBytes(std::uint16_t imageId)>;

// The group's 6-byte header as read, one 16-byte directory entry per group entry (its first
// twelve bytes, then the image's offset in the file), then the images in group order. Images are
// looked up in group order and the first failure ends the build. The group's count is a signed
// 16-bit number; count x 14 and count x 16 + 6 must fit in it and each image's offset in signed
// 32 bits, or RunError 6 (overflow) is raised.
IcoBuild buildIcoFile(std::span<const std::uint8_t> group, const IconImageLookup& images);

}  // namespace perchlet
