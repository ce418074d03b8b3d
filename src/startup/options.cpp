#include "startup/options.h"

#include "common/errors.h"
#include "common/program.h"
#include "common/tray_messages.h"
#include "common/text.h"

namespace perchlet {

std::vector<std::string> splitOptionItems(std::string_view line) {
    std::vector<std::string> items;
    std::size_t at = 0;
    while (at <= line.size()) {
        while (at < line.size() && line[at] == ' ') {
            ++at;
        }
        std::string item;
        if (at < line.size() && line[at] == '"') {
            const auto close = line.find('"', at + 1);
            const auto end = close == std::string_view::npos ? line.size() : close;
            item = std::string(line.substr(at + 1, end - at - 1));
            at = end;
            const auto comma = line.find(',', at);
            at = comma == std::string_view::npos ? line.size() : comma;
        } else {
            const auto comma = line.find(',', at);
            const auto end = comma == std::string_view::npos ? line.size() : comma;
            std::string_view raw = line.substr(at, end - at);
            raw = raw.substr(0, raw.find_last_not_of(' ') + 1);
            item = std::string(raw);
            at = end;
        }
        items.push_back(std::move(item));
        if (at >= line.size()) {
            break;
        }
        ++at;  // over the comma; a comma at the very end leaves one more, empty item
        if (at == line.size()) {
            items.emplace_back();
            break;
        }
    }
    return items;
}

namespace {

const char* boolText(bool value) {
    return value ? "True" : "False";
}

class OptionsReader {
public:
    explicit OptionsReader(Program& program) : program_(program) {}

    void handle(const std::string& item) {
        if (!item.empty() && item.front() == ';') {
            return;
        }
        if (trimBlanks(item).empty()) {
            return;
        }
        std::string value;
        const auto equals = item.find('=');
        if (equals == std::string::npos) {
            value = toUpper(item);  // a value for the last key seen
        } else {
            key_ = toUpper(std::string_view(item).substr(0, equals));
            value = toUpper(std::string_view(item).substr(equals + 1));
        }
        apply(value);
    }

private:
    void apply(const std::string& value) {
        Options& options = program_.options;
        if (key_ == "EXITDISABLED") {
            options.ExitDisabled = value != "FALSE";
            program_.subWriteTrace(std::string("ExitDisabled setting value read as ") +
                                   boolText(options.ExitDisabled));
        } else if (key_ == "CLICKMODE") {
            options.ClickMode = value == "SINGLE" ? kSingleClickMessage : kDoubleClickMessage;
            program_.subWriteTrace("ClickMode setting value read as " +
                                   std::to_string(options.ClickMode));
        } else if (key_ == "RIGHTMOUSEMENUDISABLED") {
            options.RightMouseMenuDisabled = value != "FALSE";
            program_.subWriteTrace(std::string("RightMouseMenuDisabled setting value read as ") +
                                   boolText(options.RightMouseMenuDisabled));
        } else {
            program_.subWriteTrace("Warning: Unrecognised setting '" + key_ +
                                   "' found in Perchlet.ini, ignoring.");
        }
    }

    Program& program_;
    std::string key_;
};

}  // namespace

bool funcReadOptions(Program& program) {
    program.subWriteTrace("Reading Options...");
    const std::string path = program.sys.process.executableFolder() + "\\Perchlet.ini";
    if (!program.sys.files.isOrdinaryFile(path)) {
        program.subWriteTrace("Options file '" + path + "' not found...");
        return false;
    }
    try {
        auto file = program.sys.files.openRead(path);
        OptionsReader reader(program);
        std::string line;
        while (file->readLine(line)) {
            for (const auto& item : splitOptionItems(line)) {
                reader.handle(item);
            }
        }
        return true;
    } catch (const FileTooLarge& error) {
        // Refused before any item was read: the options keep their defaults.
        const std::string text = "Warning: Options file '" + path + "' is larger than " +
                                 error.limitText() + ", ignoring it.";
        program.subWriteTrace(text);
        program.showMessage(text, kIconWarning);
        return false;
    } catch (const RunError& error) {
        program.reportError(errorReport(error, "funcReadOptions", false, "occurred during"));
        return false;
    }
}

}  // namespace perchlet
