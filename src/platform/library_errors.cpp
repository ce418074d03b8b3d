// What the standard library throws when a call breaks its rules (a position past a string's end,
// a string longer than memory allows). The library's own versions build their exceptions on a
// second string type that would add some 25 KiB to the program; these raise the program's own
// run-time errors instead, which the procedure that traps errors reports, as it would any other.
#include <bits/functexcept.h>

#include <new>

#include "common/errors.h"

namespace std {

void __throw_bad_alloc() {
    throw std::bad_alloc();
}
void __throw_bad_array_new_length() {
    throw std::bad_alloc();
}
void __throw_length_error(const char*) {
    throw std::bad_alloc();  // more than memory could ever hold
}
void __throw_out_of_range(const char*) {
    throw perchlet::errors::subscriptOutOfRange();
}
void __throw_out_of_range_fmt(const char*, ...) {
    throw perchlet::errors::subscriptOutOfRange();
}
void __throw_logic_error(const char*) {
    throw perchlet::errors::invalidArgument();
}
void __throw_invalid_argument(const char*) {
    throw perchlet::errors::invalidArgument();
}

}  // namespace std
