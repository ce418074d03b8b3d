#include "common/line_reader.h"

#include <algorithm>

#include "common/errors.h"

namespace perchlet {

bool LineReader::readLine(std::string& line) {
    line.clear();
    bool any = false;
    for (;;) {
        if (at_ == buffer_.size() && !fill()) {
            return any;
        }
        const char c = buffer_[at_++];
        if (skipLineFeed_) {
            skipLineFeed_ = false;
            if (c == '\n') {
                continue;  // the second half of a CR LF
            }
        }
        any = true;
        if (c == '\r' || c == '\n') {
            skipLineFeed_ = c == '\r';
            return true;
        }
        line += c;
    }
}

bool LineReader::fill() {
    if (!source_) {
        return false;
    }
    std::string bytes;
    for (;;) {
        const std::size_t had = bytes.size();
        if (had > limit_) {
            source_.reset();
            throw FileTooLarge(limit_);
        }
        // Never more than one byte past the limit, however large the file.
        bytes.resize(had + std::min(chunkSize_, limit_ + 1 - had));
        const std::size_t read = source_->read(std::span<char>(bytes).subspan(had));
        bytes.resize(had + read);
        if (read == 0) {
            break;
        }
    }
    source_.reset();
    buffer_ = decodeTextFile(bytes, ansi_);
    at_ = 0;
    return !buffer_.empty();
}

}  // namespace perchlet
