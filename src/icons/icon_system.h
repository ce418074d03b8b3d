#pragma once
// What icon resolution needs from the system: the registry (read only), the resources of program
// and library modules, and a safe way to write an icon holding file. The Win32 layer implements
// them with the real API; the unit tests give fakes.
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace perchlet {

enum class RegistryRoot { CurrentUser, ClassesRoot };

class RegistryReader {
public:
    virtual ~RegistryReader() = default;
    // The value as stored, whole and in UTF-8, whatever its length and registry type; nothing when
    // the key cannot be opened or has no such value. valueName "" is the key's default value.
    // Other failures raise RunError.
    virtual std::optional<std::string> readValue(RegistryRoot root, const std::string& subKey,
                                                 const std::string& valueName) const = 0;
};

// Resource types, by their integer ids.
inline constexpr std::uint16_t kResourceTypeIcon = 3;
inline constexpr std::uint16_t kResourceTypeGroupIcon = 14;

// The name by which a resource with an integer id is found: "#" and the id in decimal.
inline std::string funcResourceName(std::uint32_t integerId) {
    return "#" + std::to_string(integerId);
}

enum class ResourceStatus { Found, NotFound, LoadFailed, LockFailed };

struct ResourceBytes {
    ResourceStatus status = ResourceStatus::NotFound;
    // The resource's bytes, bounded by its size; valid while the module that gave them is open.
    std::span<const std::uint8_t> bytes;
};

// A module mapped as data; closing it (destroying the object) releases the module.
class ResourceModule {
public:
    virtual ~ResourceModule() = default;
    // The names of the module's icon groups in the platform's enumeration order: a named group as
    // its name, a numbered one as "#" and the id in decimal.
    virtual std::vector<std::string> iconGroupNames() = 0;
    // Finds a resource by its name, or by "#" and a decimal id, and type.
    virtual ResourceBytes find(const std::string& name, std::uint16_t type) = 0;
};

class ModuleResources {
public:
    virtual ~ModuleResources() = default;
    // The module mapped as data, none of its code run; null when it cannot be mapped.
    virtual std::unique_ptr<ResourceModule> open(const std::string& path) = 0;
};

class HoldingFileWriter {
public:
    virtual ~HoldingFileWriter() = default;
    // Writes the bytes to a new file beside the target and moves it over the target only when every
    // write succeeded, so the target is either replaced whole or left as it was. False on failure.
    virtual bool replaceWith(const std::string& path, std::span<const std::uint8_t> bytes) = 0;
};

struct IconServices {
    RegistryReader& registry;
    ModuleResources& modules;
    HoldingFileWriter& holdingFiles;
};

}  // namespace perchlet
