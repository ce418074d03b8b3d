#include "exit/fade.h"

#include <string>

namespace perchlet {

std::string shutdownTraceLine(std::int32_t iconCount) {
    return "Unloading " + std::to_string(iconCount) + " icons and terminating...";
}

}  // namespace perchlet
