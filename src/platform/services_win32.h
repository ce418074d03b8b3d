#pragma once
// The system services of the core, made with the ANSI forms of the Windows API.
#include "common/system.h"
#include "tray/launch.h"

namespace perchlet::win32 {

// A RunError for the calling thread's last Windows error, with the system's wording.
[[noreturn]] void raiseLastError();

// Loads the common controls, once, before the first message box or dialog: they give its
// buttons the look the manifest asks for. Not at start-up, as most runs show no window at all
// and the library keeps some 3 MiB resident for the whole run.
void ensureCommonControls();

class Win32Environment : public Environment {
public:
    std::string variable(const std::string& name) const override;
};

// Told before each message box shows.
class BoxWatcher {
public:
    virtual void beforeBox() = 0;

protected:
    ~BoxWatcher() = default;
};

class Win32MessageBoxes : public MessageBoxes {
public:
    void show(const std::string& prompt, unsigned iconFlags, const std::string& title) override;
    BoxWatcher* watcher = nullptr;
};

class Win32Clock : public Clock {
public:
    LocalTime now() const override;
    std::string dateSeparator() const override;
    std::string timeSeparator() const override;
};

class Win32Files : public Files {
public:
    bool isOrdinaryFile(const std::string& path) const override;
    bool exists(const std::string& path) const override;
    void createFolder(const std::string& path) override;
    std::unique_ptr<OutputFile> openAppend(const std::string& path) override;
    std::unique_ptr<InputFile> openRead(const std::string& path) override;
};

class Win32Process : public Process {
public:
    VersionRecord versionRecord() const override;
    std::string commandLineArguments() const override;
    std::string executableFolder() const override;
    std::string systemTempFolder() const override;
    void initCommonControls() override;
};

class Win32Shell : public Shell {
public:
    std::intptr_t open(const std::string& target, const std::string& parameters) override;
};

// The arguments part of a raw command line: after the program's name (quoted or not) and the
// one blank that separates it, so blanks the user typed before the arguments stay.
std::string argumentsOf(const char* commandLine);

}  // namespace perchlet::win32
