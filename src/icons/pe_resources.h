#pragma once
// A module's resources read straight from its file, found as the system finds them in a module
// mapped as a data file, reading only the bytes wanted. Mapping a large program to copy one icon
// out of it brings much of its file into memory; this reads a few kilobytes.
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "icons/icon_system.h"

namespace perchlet {

// Random access to a file's bytes.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    virtual std::uint64_t size() const = 0;
    // Reads exactly into.size() bytes from the offset; false when they cannot all be read.
    virtual bool read(std::uint64_t offset, std::span<std::uint8_t> into) = 0;
};

// Resource names as the system turns them into the program's text and back.
struct ResourceNameCodec {
    // A stored name (UTF-16) as the program's text.
    std::string (*toText)(const std::u16string&) = nullptr;
    // The program's text as the name looked for: UTF-16, upper case.
    std::u16string (*toUpperName)(const std::string&) = nullptr;
    // The user's language: preferred, after the neutral one, among a resource's languages.
    std::uint16_t userLanguage = 0;
};

// Whether the system would take the path as the file it names, which this reader can then open:
// a full path (drive or network) whose last part has an extension. A bare name is looked for in
// the system folders, under the name systemModuleFileName gives it.
bool namesItsFile(std::string_view path);

// The module's resources; null when the bytes are no PE module, which the system would not map.
std::unique_ptr<ResourceModule> openPeResources(std::unique_ptr<ByteSource> file,
                                                ResourceNameCodec codec);

}  // namespace perchlet
