// What an uncaught exception does: end the program at once. A GUI program has no console for
// the verbose handler's report, and replacing it keeps the C++ name demangler (some 50 KB) out
// of the executable.
#include <cstdlib>

namespace __gnu_cxx {

void __verbose_terminate_handler() {
    std::abort();
}

}  // namespace __gnu_cxx
