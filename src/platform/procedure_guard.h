#pragma once
// No C++ exception may leave a window or dialog procedure: the 32-bit unwinder cannot pass
// user32's frames (the program would end at once), and 64-bit Windows may swallow it and go on
// in a broken state. Each procedure catches at its boundary and reports here.
#include "common/program.h"

namespace perchlet::win32 {

// Reports the exception being handled as a trapped error of `where`, to the trace and in a stop
// box; a second one while that box is up goes to the trace only. The program goes on.
void reportTrappedException(Program& program, const char* where) noexcept;

}  // namespace perchlet::win32
