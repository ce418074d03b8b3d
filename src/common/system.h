#pragma once
// What the core needs from the system, in the small pieces the program uses. The Win32 layer
// implements them with the real API; the unit tests give fakes.
#include <cstdint>
#include <memory>
#include <string>

namespace perchlet {

// Message-box icons: the exclamation marks problems the user can correct, the stop icon errors.
inline constexpr unsigned kIconWarning = 0x30;
inline constexpr unsigned kIconError = 0x10;

class Environment {
public:
    virtual ~Environment() = default;
    // The variable's value; empty text when it is not defined. Names match case-insensitively.
    virtual std::string variable(const std::string& name) const = 0;
};

class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;
    // One OK button; returns when the user has closed the box.
    virtual void show(const std::string& prompt, unsigned iconFlags, const std::string& title) = 0;
};

struct LocalTime {
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
};

class Clock {
public:
    virtual ~Clock() = default;
    virtual LocalTime now() const = 0;
    // The user's locale separators, which stand in place of "/" and ":" in time stamps.
    virtual std::string dateSeparator() const = 0;
    virtual std::string timeSeparator() const = 0;
};

// A text file opened for appending. Failures raise RunError (number and description).
class OutputFile {
public:
    virtual ~OutputFile() = default;
    // Writes the text and a CR LF, and puts it on the disk before returning.
    virtual void writeLine(const std::string& text) = 0;
};

// A text file opened for reading line by line. Lines end at CR LF, a lone LF or a lone CR.
class InputFile {
public:
    virtual ~InputFile() = default;
    // The next line without its end; false at the end of the file. Failures raise RunError.
    virtual bool readLine(std::string& line) = 0;
};

class Files {
public:
    virtual ~Files() = default;
    // An existing file that is neither a folder nor hidden nor a system file.
    virtual bool isOrdinaryFile(const std::string& path) const = 0;
    // Anything of that name: file or folder.
    virtual bool exists(const std::string& path) const = 0;
    // Creates one folder level; raises RunError on failure.
    virtual void createFolder(const std::string& path) = 0;
    // Both raise RunError when the file cannot be opened. Lines read are UTF-8, whatever the
    // file's encoding (decodeTextFile).
    virtual std::unique_ptr<OutputFile> openAppend(const std::string& path) = 0;
    virtual std::unique_ptr<InputFile> openRead(const std::string& path) = 0;
};

struct VersionRecord {
    std::string productName;
    unsigned major = 0;
    unsigned minor = 0;
    unsigned revision = 0;
};

class Process {
public:
    virtual ~Process() = default;
    virtual VersionRecord versionRecord() const = 0;
    // The program's whole command line, its own name first, as the system gives it.
    virtual std::string commandLine() const = 0;
    // The folder of the program's executable, without a trailing backslash.
    virtual std::string executableFolder() const = 0;
    // The system's temporary folder, for when APPDATA and TEMP are both empty.
    virtual std::string systemTempFolder() const = 0;
};

}  // namespace perchlet
