#pragma once
#include <string>
#include <string_view>

#include "common/system.h"

namespace perchlet {

// Warnings and errors (by their first word, in any letter case) stand flush left; every other
// message is indented by three blanks.
bool isFlushTraceMessage(std::string_view message);

// "dd/mm/yyyy hh:mm:ss" with the locale's separators in place of "/" and ":".
std::string formatTimeStamp(const LocalTime& time, std::string_view dateSeparator,
                            std::string_view timeSeparator);

std::string formatTraceLine(const LocalTime& time, std::string_view dateSeparator,
                            std::string_view timeSeparator, std::string_view message);

}  // namespace perchlet
