#pragma once
// Windows errors as the core's run-time errors.
namespace perchlet::win32 {

// A RunError for a Windows error code, with the system's wording.
[[noreturn]] void raiseWindowsError(unsigned long code);
// The same for the calling thread's last Windows error.
[[noreturn]] void raiseLastError();

}  // namespace perchlet::win32
