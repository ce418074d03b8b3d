#include "cmdline/parser.h"

#include <array>
#include <cstdint>
#include <utility>

#include "cmdline/expansion.h"
#include "common/errors.h"
#include "common/program.h"

namespace perchlet {

namespace {

// How often find occurs in text, counting non-overlapping occurrences from the left.
std::int32_t funcCountOccurrences(std::string_view text, std::string_view find) {
    std::int32_t count = 0;
    if (find.empty()) {
        return 0;
    }
    for (auto at = text.find(find); at != std::string_view::npos; at = text.find(find, at)) {
        ++count;
        at += find.size();
    }
    return count;
}

// The field table: 1 command, 2 tooltip, 3 icon (0 is never used).
struct FieldTable {
    std::array<std::string, 4> strInputFields;
    std::int16_t intFieldCount = 0;
};

// Stores value as the next field of the table and removes one pair of enclosing quotes.
// Raises run-time error 9 for a fourth field and 5 for a lone quote.
void subAddField(FieldTable& table, const std::string& value) {
    if (table.intFieldCount >= 3) {
        throw errors::subscriptOutOfRange();
    }
    std::string& field = table.strInputFields[++table.intFieldCount];
    field = value;
    if (!field.empty() && field.front() == '"' && field.back() == '"') {
        if (field.size() < 2) {
            throw errors::invalidArgument();
        }
        field = field.substr(1, field.size() - 2);
    }
}

// Positions below are 1-based, as the line syntax is described.
std::size_t findFrom(std::string_view text, char c, std::size_t position) {
    const auto at = text.find(c, position - 1);
    return at == std::string_view::npos ? 0 : at + 1;
}

std::string middle(std::string_view text, std::size_t start, std::int64_t length) {
    if (length < 0) {
        throw errors::invalidArgument();
    }
    if (start > text.size()) {
        return {};
    }
    return std::string(text.substr(start - 1, static_cast<std::size_t>(length)));
}

}  // namespace

std::optional<InputFields> subParseInputLine(Program& program, const std::string& strLine) {
    if (funcCountOccurrences(strLine, "\"") % 2 != 0) {
        program.showMessage("Command line '" + strLine + "' appears to be malformed\n\n" +
                                "Please ensure that commands are properly surrounded by matched "
                                "quotes where neccessary",
                            kIconWarning);
        return std::nullopt;
    }

    FieldTable table;
    try {
        const std::string_view line = strLine;
        std::size_t start = 1;
        for (std::size_t comma = findFrom(line, ',', start); comma != 0;
             comma = findFrom(line, ',', start)) {
            std::size_t end = comma;
            const auto segment = middle(line, start, static_cast<std::int64_t>(end - start));
            if (funcCountOccurrences(segment, "\"") % 2 != 0) {
                // The comma lies inside a quoted run: the field runs through its closing quote.
                end = findFrom(line, '"', end) + 1;
            }
            subAddField(table,
                        middle(line, start,
                               static_cast<std::int64_t>(end) - static_cast<std::int64_t>(start)));
            start = end + 1;
            if (start > line.size()) {
                break;
            }
        }
        if (start <= line.size()) {
            subAddField(table, std::string(line.substr(start - 1)));
        }
    } catch (const RunError& error) {
        program.reportError(error, "subParseInputLine");
        return std::nullopt;
    }

    auto& fields = table.strInputFields;
    std::string command = subReplaceEnvironmentVars(program, fields[1]);
    return InputFields{std::move(command), std::move(fields[2]), std::move(fields[3]),
                       std::move(fields[1])};
}

}  // namespace perchlet
