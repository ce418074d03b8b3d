#pragma once
#include "common/system.h"

namespace perchlet::win32 {

// Told before each message box shows.
class BoxWatcher {
public:
    virtual void beforeBox() = 0;

protected:
    ~BoxWatcher() = default;
};

class Win32MessageBoxes : public MessageBoxes {
public:
    void show(const std::string& prompt, unsigned iconFlags, const std::string& title) override;
    BoxWatcher* watcher = nullptr;
};

}  // namespace perchlet::win32
