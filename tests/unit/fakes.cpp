#include "fakes.h"

#include "common/line_reader.h"

namespace perchlet::testing {

namespace {

class FakeOutputFile : public OutputFile {
public:
    FakeOutputFile(FakeFiles& files, std::string path) : files_(files), path_(std::move(path)) {}
    void writeLine(const std::string& text) override {
        if (files_.failingWrites.count(path_) != 0) {
            throw RunError(61, "Disk full");
        }
        files_.contents[path_] += text + "\r\n";
    }

private:
    FakeFiles& files_;
    std::string path_;
};

class FakeInputFile : public InputFile {
public:
    FakeInputFile(std::string text, std::size_t failAfter)
        : text_(std::move(text)), failAfter_(failAfter) {}
    bool readLine(std::string& line) override {
        if (read_ == failAfter_) {
            throw RunError(62, "Input past end of file");
        }
        if (at_ >= text_.size()) {
            return false;
        }
        const auto end = text_.find_first_of("\r\n", at_);
        if (end == std::string::npos) {
            line = text_.substr(at_);
            at_ = text_.size();
        } else {
            line = text_.substr(at_, end - at_);
            at_ =
                end +
                ((text_[end] == '\r' && end + 1 < text_.size() && text_[end + 1] == '\n') ? 2 : 1);
        }
        ++read_;
        return true;
    }

private:
    std::string text_;
    std::size_t at_ = 0;
    std::size_t read_ = 0;
    std::size_t failAfter_;
};

}  // namespace

std::unique_ptr<OutputFile> FakeFiles::openAppend(const std::string& path) {
    if (unopenable.count(path) != 0 || folders.count(path) != 0) {
        throw RunError(75, "Path/File access error");
    }
    contents[path];
    return std::make_unique<FakeOutputFile>(*this, path);
}

std::unique_ptr<InputFile> FakeFiles::openRead(const std::string& path) {
    if (unopenable.count(path) != 0 || contents.count(path) == 0) {
        throw RunError(53, "File not found");
    }
    if (contents[path].size() > kTextFileLimit) {
        throw FileTooLarge(kTextFileLimit);  // refused as LineReader refuses it
    }
    const auto fail = failReadAfterLines.find(path);
    return std::make_unique<FakeInputFile>(
        contents[path], fail == failReadAfterLines.end() ? std::string::npos : fail->second);
}

std::vector<std::string> FakeFiles::lines(const std::string& path) const {
    std::vector<std::string> result;
    const auto found = contents.find(path);
    if (found == contents.end()) {
        return result;
    }
    const std::string& text = found->second;
    for (std::size_t at = 0; at < text.size();) {
        const auto end = text.find("\r\n", at);
        result.push_back(text.substr(at, end - at));
        if (end == std::string::npos) {
            break;
        }
        at = end + 2;
    }
    return result;
}

std::vector<std::string> FakeSystem::traceMessages() const {
    std::vector<std::string> messages;
    for (const auto& line : files.lines(kLogPath)) {
        // "dd/mm/yyyy hh:mm:ss" is 19 characters, then one blank and the indent.
        std::string message = line.size() > 20 ? line.substr(20) : std::string();
        if (startsWith(message, "   ")) {
            message = message.substr(3);
        }
        messages.push_back(message);
    }
    return messages;
}

}  // namespace perchlet::testing
