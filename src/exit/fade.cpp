#include "exit/fade.h"

#include "common/text.h"

namespace perchlet {

bool isFadeUp(std::string_view direction) {
    return toUpper(direction) == "UP";
}

std::string shutdownTraceLine(std::int32_t iconCount) {
    return "Unloading " + std::to_string(iconCount) + " icons and terminating...";
}

}  // namespace perchlet
