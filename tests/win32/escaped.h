#pragma once
// Text fields of the test tools' output lines: \, tab, CR and LF escaped as \\, \t, \r and \n,
// so a field never breaks its line or its tab-separated record.
#include <string>

inline std::string escaped(const std::string& text) {
    std::string out;
    for (const char c : text) {
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\n':
                out += "\\n";
                break;
            default:
                out += c;
        }
    }
    return out;
}
