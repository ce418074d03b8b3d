#pragma once
// Lines of a text file, as UTF-8.
#include <cstddef>
#include <memory>
#include <span>
#include <string>

#include "common/system.h"
#include "common/unicode.h"

namespace perchlet {

// The bytes of an open file, in order, a chunk at a time.
class ChunkSource {
public:
    virtual ~ChunkSource() = default;
    // Fills the start of `into` with the next bytes and tells how many; 0 at the end of the
    // file. Failures raise RunError.
    virtual std::size_t read(std::span<char> into) = 0;
};

// The most a text file read line by line may hold. Far more than a batch file of 30 commands or
// the options file ever needs, and small enough that reading and decoding one whole stays well
// within the memory of a 32-bit process.
inline constexpr std::size_t kTextFileLimit = std::size_t{16} << 20;

// Lines end at CR LF, a lone LF or a lone CR. The file is read whole, in chunks of chunkSize, and
// decoded at the first line: whether it is UTF-8 or in the ANSI code page shows only once every
// byte has been seen (the files read are a few lines of text). A file of more than `limit` bytes
// raises FileTooLarge there, after reading no more than one byte past it.
class LineReader : public InputFile {
public:
    LineReader(std::unique_ptr<ChunkSource> source, const AnsiCodePage& ansi,
               std::size_t chunkSize = 64 * 1024, std::size_t limit = kTextFileLimit)
        : source_(std::move(source)), ansi_(ansi), chunkSize_(chunkSize), limit_(limit) {}
    bool readLine(std::string& line) override;

private:
    bool fill();

    std::unique_ptr<ChunkSource> source_;
    const AnsiCodePage& ansi_;
    std::size_t chunkSize_;
    std::size_t limit_;
    std::string buffer_;
    std::size_t at_ = 0;
    bool skipLineFeed_ = false;
};

}  // namespace perchlet
