#include "common/trace.h"

#include <cstdio>

#include "common/text.h"

namespace perchlet {

bool isFlushTraceMessage(std::string_view message) {
    return toUpper(message.substr(0, 7)) == "WARNING" || toUpper(message.substr(0, 5)) == "ERROR";
}

namespace {
std::string twoDigits(int value) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%02d", value);
    return buffer;
}
}  // namespace

std::string formatTimeStamp(const LocalTime& time, std::string_view dateSeparator,
                            std::string_view timeSeparator) {
    char year[16];
    std::snprintf(year, sizeof year, "%04d", time.year);
    std::string stamp = twoDigits(time.day);
    stamp += dateSeparator;
    stamp += twoDigits(time.month);
    stamp += dateSeparator;
    stamp += year;
    stamp += ' ';
    stamp += twoDigits(time.hour);
    stamp += timeSeparator;
    stamp += twoDigits(time.minute);
    stamp += timeSeparator;
    stamp += twoDigits(time.second);
    return stamp;
}

std::string formatTraceLine(const LocalTime& time, std::string_view dateSeparator,
                            std::string_view timeSeparator, std::string_view message) {
    std::string line = formatTimeStamp(time, dateSeparator, timeSeparator);
    line += isFlushTraceMessage(message) ? " " : "    ";
    line += message;
    return line;
}

}  // namespace perchlet
