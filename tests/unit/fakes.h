#pragma once
// Small stand-ins for the system, so the core runs under test on any machine.
#include <functional>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "common/errors.h"
#include "common/program.h"
#include "common/text.h"
#include "startup/startup.h"

namespace perchlet::testing {

class FakeEnvironment : public Environment {
public:
    std::map<std::string, std::string> variables;  // names in any case; looked up case-blind
    std::string variable(const std::string& name) const override {
        for (const auto& [key, value] : variables) {
            if (toUpper(key) == toUpper(name)) {
                return value;
            }
        }
        return {};
    }
};

struct ShownBox {
    std::string prompt;
    unsigned flags;
    std::string title;
};

class FakeMessageBoxes : public MessageBoxes {
public:
    std::vector<ShownBox> shown;
    // What the user does while a box waits: its message loop runs the program's windows.
    std::function<void()> whileShown;
    void show(const std::string& prompt, unsigned flags, const std::string& title) override {
        shown.push_back({prompt, flags, title});
        if (whileShown) {
            whileShown();
        }
    }
};

class FakeClock : public Clock {
public:
    LocalTime time{2009, 10, 31, 14, 5, 9};
    std::string date = "/";
    std::string timeSep = ":";
    LocalTime now() const override { return time; }
    std::string dateSeparator() const override { return date; }
    std::string timeSeparator() const override { return timeSep; }
};

// Files held in memory. Paths are compared exactly.
class FakeFiles : public Files {
public:
    std::map<std::string, std::string> contents;  // ordinary files
    std::set<std::string> hidden;                 // files that exist but are hidden or system
    std::set<std::string> folders;
    std::set<std::string> unopenable;                       // exist, but opening them fails
    std::set<std::string> failingWrites;                    // appends to these fail
    std::set<std::string> uncreatable;                      // folders that cannot be created
    std::map<std::string, std::size_t> failReadAfterLines;  // read error after N lines

    bool isOrdinaryFile(const std::string& path) const override {
        return contents.count(path) != 0 && hidden.count(path) == 0;
    }
    bool exists(const std::string& path) const override {
        return contents.count(path) != 0 || folders.count(path) != 0;
    }
    void createFolder(const std::string& path) override {
        if (uncreatable.count(path) != 0 || contents.count(path) != 0) {
            throw RunError(75, "Path/File access error");
        }
        folders.insert(path);
    }
    std::unique_ptr<OutputFile> openAppend(const std::string& path) override;
    std::unique_ptr<InputFile> openRead(const std::string& path) override;

    // The lines of a file, split at CR LF.
    std::vector<std::string> lines(const std::string& path) const;
};

class FakeProcess : public Process {
public:
    VersionRecord version{"Perchlet!", 4, 2, 7};  // fields that differ; not the release's
    std::string arguments;  // after the program's name, which has a blank to split it at
    std::string exeFolder = "C:\\Apps";
    std::string tempFolder = "C:\\Windows\\Temp";
    VersionRecord versionRecord() const override { return version; }
    std::string commandLine() const override {
        return "\"C:\\Program Files\\Perchlet.exe\" " + arguments;
    }
    std::string executableFolder() const override { return exeFolder; }
    std::string systemTempFolder() const override { return tempFolder; }
};

// Records the fields of every icon start-up adds.
class RecordingTray : public TrayIconSink {
public:
    std::vector<std::vector<std::string>> added;  // command, tooltip, icon of each call
    int removals = 0;
    int failOnCall = 0;  // 1-based call that raises `failure`; 0: none
    std::exception_ptr failure = std::make_exception_ptr(RunError(7, "Out of memory"));

    void AddIconToTray(const InputFields& fields) override {
        added.push_back({fields.strCommand, fields.strToolTip, fields.strIconSpec});
        if (static_cast<int>(added.size()) == failOnCall) {
            std::rethrow_exception(failure);
        }
    }
    void removeAllIcons() override { ++removals; }
};

// A program wired to fakes. The working folder and an open log are set up by openLog().
struct FakeSystem {
    FakeEnvironment env;
    FakeFiles files;
    FakeMessageBoxes boxes;
    FakeClock clock;
    FakeProcess process;
    Program program{Services{env, files, boxes, clock, process}};

    static constexpr const char* kLogPath = "C:\\Data\\Perchlet\\Perchlet.log";

    // Opens a trace log as start-up would, with the program's title set.
    void openLog() {
        program.strAppTitle = "Perchlet! v4.2.7";
        program.strDataFolder = "C:\\Data\\Perchlet";
        program.logFile = files.openAppend(kLogPath);
    }
    // The trace messages written so far, without their time stamps and indents.
    std::vector<std::string> traceMessages() const;
};

}  // namespace perchlet::testing
