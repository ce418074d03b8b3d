#pragma once
// Lines of a text file read in chunks.
#include <cstddef>
#include <memory>
#include <span>
#include <string>

#include "common/system.h"

namespace perchlet {

// The bytes of an open file, in order.
class ChunkSource {
public:
    virtual ~ChunkSource() = default;
    // Fills the start of `into` with the next bytes and tells how many; 0 at the end of the
    // file. Failures raise RunError.
    virtual std::size_t read(std::span<char> into) = 0;
};

// Lines end at CR LF, a lone LF or a lone CR, also where a chunk ends between the CR and the LF.
class LineReader : public InputFile {
public:
    explicit LineReader(std::unique_ptr<ChunkSource> source, std::size_t chunkSize = 64 * 1024)
        : source_(std::move(source)), chunkSize_(chunkSize) {}
    bool readLine(std::string& line) override;

private:
    bool fill();

    std::unique_ptr<ChunkSource> source_;
    std::size_t chunkSize_;
    std::string buffer_;
    std::size_t at_ = 0;
    bool skipLineFeed_ = false;
};

}  // namespace perchlet
