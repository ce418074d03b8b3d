#pragma once
// Windows errors as the core's run-time errors.
namespace perchlet::win32 {

// A RunError for the calling thread's last Windows error, with the system's wording.
[[noreturn]] void raiseLastError();

}  // namespace perchlet::win32
