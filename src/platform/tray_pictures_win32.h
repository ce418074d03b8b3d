#pragma once
// The pictures of the tray icons: loaded at the system's small icon size, the default picture,
// and the crossed pictures of the exit fade.
#include <windows.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "icons/kept_icon_file.h"
#include "platform/handles.h"
#include "platform/icon_picture_win32.h"

namespace perchlet::win32 {

// A picture: the icon lives while any entry holds it.
using Picture = std::shared_ptr<IconHandle>;

class TrayPictures {
public:
    explicit TrayPictures(HINSTANCE instance);

    // The icon file at the tray's size (null when it cannot be loaded as an icon), with its
    // bytes when they are kept to make the picture again (none for a file too large to keep).
    struct Loaded {
        Picture picture;
        std::shared_ptr<const KeptIconFile> file;
    };
    Loaded load(const std::string& path);
    // The picture of a kept file at the tray's size now; null when it cannot be made.
    Picture make(const KeptIconFile& file) const;
    // The question-mark page, made when first wanted.
    const Picture& picDefault();
    // The picture with the cross laid over it; the picture itself when that cannot be made.
    Picture crossed(const Picture& picture);
    // Takes the size for the scale of the display that holds the task bar now; true when it
    // differs from the size the pictures so far were made at.
    bool followScale();

private:
    std::shared_ptr<const KeptIconFile> keep(KeptIconFile file);

    HINSTANCE instance_;
    // The system's small icons at the task bar's scale, which the shell shows tray icons at.
    SIZE size_;
    Picture picDefault_;
    std::optional<BitmapPixels> cross_;  // read when first wanted
    bool crossRead_ = false;
    // The files kept so far: entries whose files hold the same bytes share one copy.
    std::vector<std::weak_ptr<const KeptIconFile>> kept_;
};

}  // namespace perchlet::win32
