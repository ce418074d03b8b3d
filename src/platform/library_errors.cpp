// What the standard library throws when a call breaks its rules (a position past a string's end,
// a string longer than memory allows). The library's own versions build their exceptions on a
// second string type that would add some 25 KiB to the program; these raise the program's own
// run-time errors instead, which the procedure that traps errors reports, as it would any other.
// The linker sends every call of the library's helper to the wrapper of the same name
// (--wrap, listed in CMakeLists.txt), so the library keeps its own definitions: a reference to
// a helper not wrapped here still links.
#include <new>

#include "common/errors.h"

extern "C" {

[[noreturn]] void __wrap__ZSt17__throw_bad_allocv() {  // std::__throw_bad_alloc()
    throw std::bad_alloc();
}
[[noreturn]] void __wrap__ZSt28__throw_bad_array_new_lengthv() {
    throw std::bad_alloc();
}
[[noreturn]] void __wrap__ZSt20__throw_length_errorPKc(const char*) {
    throw std::bad_alloc();  // more than memory could ever hold
}
[[noreturn]] void __wrap__ZSt20__throw_out_of_rangePKc(const char*) {
    throw perchlet::errors::subscriptOutOfRange();
}
[[noreturn]] void __wrap__ZSt24__throw_out_of_range_fmtPKcz(const char*, ...) {
    throw perchlet::errors::subscriptOutOfRange();
}
[[noreturn]] void __wrap__ZSt19__throw_logic_errorPKc(const char*) {
    throw perchlet::errors::invalidArgument();
}
[[noreturn]] void __wrap__ZSt24__throw_invalid_argumentPKc(const char*) {
    throw perchlet::errors::invalidArgument();
}

}  // extern "C"
