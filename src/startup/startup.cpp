#include "startup/startup.h"

#include "cmdline/parser.h"
#include "common/errors.h"
#include "common/program.h"
#include "common/text.h"
#include "startup/arguments.h"
#include "startup/options.h"

namespace perchlet {

namespace {

void setIdentity(Program& program) {
    const VersionRecord version = program.sys.process.versionRecord();
    program.strProductName = version.productName;
    program.strVersion = std::to_string(version.major) + "." + std::to_string(version.minor) + "." +
                         std::to_string(version.revision);
    program.strAppTitle = program.strProductName + " v" + program.strVersion;
}

// False when the folder could not be made; the user has been told.
bool chooseWorkingFolder(Program& program) {
    const std::string appData = program.sys.env.variable("APPDATA");
    if (appData.empty()) {
        program.strDataFolder = program.sys.env.variable("TEMP");
        if (program.strDataFolder.empty()) {
            // Without either variable the log would land in the root of the current drive.
            program.strDataFolder = program.sys.process.systemTempFolder();
        }
        return true;
    }
    program.strDataFolder = appData + "\\Perchlet";
    if (program.sys.files.exists(program.strDataFolder)) {
        return true;
    }
    try {
        program.sys.files.createFolder(program.strDataFolder);
    } catch (const RunError& error) {
        program.showMessage("Couldn't create the working folder '" + program.strDataFolder +
                                "'\n\n" + error.description(),
                            kIconWarning);
        return false;
    }
    return true;
}

void openTraceLog(Program& program) {
    const std::string path = program.strDataFolder + "\\Perchlet.log";
    try {
        program.logFile = program.sys.files.openAppend(path);
    } catch (const RunError& error) {
        program.showMessage("Couldn't open the trace log '" + path +
                                "', carrying on without it.\n\n" + error.description(),
                            kIconWarning);
    }
}

void addParsedCommand(Program& program, TrayIconSink& tray, const std::string& line) {
    if (const auto fields = subParseInputLine(program, line)) {
        tray.AddIconToTray(*fields);
    }
}

StartupOutcome readBatchFile(Program& program, TrayIconSink& tray, const std::string& name) {
    if (!program.sys.files.isOrdinaryFile(name)) {
        const std::string text =
            "Couldn't find '" + name + "' file as specified on command line - exiting!";
        program.subWriteTrace(text);
        program.showMessage(text, kIconError);
        return StartupOutcome::EndNow;
    }
    program.subWriteTrace("Opening Batch command file '" + name + "'");
    const auto readFailed = [&](const RunError& error) {
        tray.removeAllIcons();
        const std::string text = "Couldn't read '" + name +
                                 "' file as specified on command line (" + error.description() +
                                 ") - exiting!";
        program.subWriteTrace(text);
        program.showMessage(text, kIconError);
        return StartupOutcome::EndNow;
    };
    // Only the file's own failures are reported as such; one raised while adding an icon goes up
    // to subMain, which names it for what it is.
    std::unique_ptr<InputFile> file;
    try {
        file = program.sys.files.openRead(name);
    } catch (const RunError& error) {
        return readFailed(error);
    }
    std::string line;
    for (;;) {
        try {
            if (!file->readLine(line)) {
                break;
            }
        } catch (const RunError& error) {
            return readFailed(error);
        }
        if ((!line.empty() && line.front() == ';') || trimBlanks(line).empty()) {
            continue;
        }
        program.subWriteTrace("Read batch command line '" + line + "'");
        addParsedCommand(program, tray, line);
    }
    return StartupOutcome::Run;
}

StartupOutcome takeCommands(Program& program, TrayIconSink& tray) {
    const std::string arguments(argumentsOf(program.sys.process.commandLine()));
    program.subWriteTrace("Perchlet command line is '" + arguments + "'");
    if (arguments.empty()) {
        program.showMessage(
            "Please supply an appropriate command line.\n\nRefer to the 'Getting started with "
            "Perchlet' document for full details",
            kIconWarning);
        return StartupOutcome::EndNow;
    }
    if (toUpper(std::string_view(arguments).substr(0, 7)) == "/BATCH:") {
        return readBatchFile(program, tray, arguments.substr(7));
    }
    addParsedCommand(program, tray, arguments);
    return StartupOutcome::Run;
}

StartupOutcome startUp(Program& program, TrayIconSink& tray) {
    setIdentity(program);
    // No common-controls start here: the manifest gives the controls their visual styles, and
    // the library is loaded before the first box or dialog, which most runs never show.
    if (chooseWorkingFolder(program)) {
        openTraceLog(program);  // one box is enough when there is no folder for it
    }
    program.subWriteTrace(program.strAppTitle + " - Initializing!");
    funcReadOptions(program);
    return takeCommands(program, tray);
}

}  // namespace

StartupOutcome subMain(Program& program, TrayIconSink& tray) {
    try {
        return startUp(program, tray);
    } catch (...) {
        // Nothing below start-up traps this one, whatever it is (running out of memory too):
        // leave no icon behind and end.
        tray.removeAllIcons();
        program.reportError(errors::fromException(std::current_exception()), "subMain");
        return StartupOutcome::EndNow;
    }
}

}  // namespace perchlet
