// Reads its own version beside a planted version.dll: built with VERSION_IMPORTED through an
// import of version.dll, otherwise loading it as Perchlet does. Both import user32, which under
// Wine brings the planted copy into the process.
#include <windows.h>

#include "platform/system_library_win32.h"

int main() {
    wchar_t path[MAX_PATH];
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    DWORD handle = 0;
    MessageBeep(MB_OK);
#ifdef VERSION_IMPORTED
    GetFileVersionInfoSizeW(path, &handle);
#else
    const auto infoSize = perchlet::win32::moduleFunction<decltype(&GetFileVersionInfoSizeW)>(
        perchlet::win32::loadSystemLibrary(L"version.dll"), "GetFileVersionInfoSizeW");
    if (infoSize == nullptr) {
        return 2;
    }
    infoSize(path, &handle);  // whatever it finds: the call is what counts
#endif
    return 0;
}
