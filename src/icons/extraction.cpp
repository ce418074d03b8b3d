#include "icons/extraction.h"

#include <algorithm>
#include <limits>
#include <new>
#include <string_view>

#include "common/errors.h"
#include "common/program.h"
#include "common/text.h"
#include "icons/ico_builder.h"

namespace perchlet {

namespace {

bool isSeparator(char c) {
    return c == '\\' || c == '/';
}

// A folder as compared: lower case, every separator a backslash.
std::string folderKey(std::string_view folder) {
    std::string key = toLower(folder);
    std::replace(key.begin(), key.end(), '/', '\\');
    return key;
}

}  // namespace

std::string companionModulePath(const std::string& modulePath, const std::string& systemRoot) {
    std::string root = systemRoot;
    while (!root.empty() && isSeparator(root.back())) {
        root.pop_back();
    }
    const std::size_t last = modulePath.find_last_of("\\/");
    const std::string_view path = modulePath;
    const std::string_view name = last == std::string::npos ? path : path.substr(last + 1);
    // A drive-relative name ("c:x.dll") or a stream ("x.dll:s") is none of the system's modules.
    if (root.empty() || name.empty() || name.find(':') != std::string::npos) {
        return "";
    }
    if (last != std::string::npos) {
        const std::string folder = folderKey(path.substr(0, last));
        const std::string system = folderKey(root);
        std::string_view rest = folder;
        if (!startsWith(rest, system)) {
            return "";
        }
        rest.remove_prefix(system.size());
        if (!rest.empty() && rest != "\\system32" && rest != "\\syswow64" &&
            rest != "\\sysnative") {
            return "";
        }
    }
    root += "\\SystemResources\\";
    root += name;
    return root += ".mun";
}

std::string systemModuleFileName(std::string_view modulePath) {
    if (modulePath.empty() || modulePath.find_first_of("\\/:") != std::string_view::npos) {
        return "";
    }
    std::string name(modulePath);
    if (name.find('.') == std::string::npos) {
        name += ".dll";
    }
    return name;
}

namespace {

// The warnings of a failed image, or of a damaged group; nullptr when the build needs none.
const char* buildWarning(IcoBuildStatus status) {
    switch (status) {
        case IcoBuildStatus::ImageNotFound:
            return "Failed to locate resource in icon source file, '";
        case IcoBuildStatus::ImageLoadFailed:
            return "Failed to locate resource from icon source file, '";
        case IcoBuildStatus::ImageLockFailed:
            return "Failed to get resource address in icon source file, '";
        case IcoBuildStatus::GroupDamaged:
            return "Damaged icon group in icon source file, '";
        case IcoBuildStatus::ImageDamaged:
            return "Damaged icon image in icon source file, '";
        case IcoBuildStatus::Built:
        case IcoBuildStatus::Empty:
            break;
    }
    return nullptr;
}

// The name of the group chosen among the module's groups; null when the choice selects none.
const std::string* chooseGroup(const std::vector<std::string>& names, std::int32_t groupIndex,
                               bool byResourceId) {
    if (byResourceId) {
        // Any id a resource can have: the 16-bit limit of positions does not apply.
        const auto found = std::find(names.begin(), names.end(),
                                     funcResourceName(static_cast<std::uint32_t>(groupIndex)));
        if (groupIndex <= 0 || found == names.end()) {
            throw errors::subscriptOutOfRange();
        }
        return &*found;
    }
    if (groupIndex < std::numeric_limits<std::int16_t>::min() ||
        groupIndex > std::numeric_limits<std::int16_t>::max()) {
        throw errors::overflow();
    }
    const auto count = static_cast<std::int32_t>(names.size());
    if (groupIndex == count) {
        return nullptr;  // one past the last group selects nothing, and that is no error
    }
    if (groupIndex < 0 || groupIndex > count) {
        throw errors::subscriptOutOfRange();
    }
    return &names[static_cast<std::size_t>(groupIndex)];
}

// The system's own modules keep their icons in a companion file since Windows 10 1903, and the
// system's resource loader reads them from there: a module without icon groups gives way to its
// companion when that holds some.
void takeCompanionGroups(Program& program, IconServices& services, const std::string& modulePath,
                         std::unique_ptr<ResourceModule>& module, std::vector<std::string>& names) {
    const std::string companionPath =
        companionModulePath(modulePath, program.sys.env.variable("SystemRoot"));
    if (companionPath.empty()) {
        return;
    }
    if (std::unique_ptr<ResourceModule> companion = services.modules.open(companionPath)) {
        std::vector<std::string> companionNames = companion->iconGroupNames();
        if (!companionNames.empty()) {
            module = std::move(companion);
            names = std::move(companionNames);
        }
    }
}

bool extract(Program& program, IconServices& services, const std::string& sourcePath,
             const std::string& outputPath, std::int32_t groupIndex, bool byResourceId) {
    const auto warn = [&](const std::string& text) { program.showMessage(text, kIconWarning); };

    std::unique_ptr<ResourceModule> module = services.modules.open(sourcePath);
    if (!module) {
        warn("Icon source file, '" + sourcePath + "' wasn't found");
        return false;
    }
    std::vector<std::string> names = module->iconGroupNames();
    if (names.empty()) {
        takeCompanionGroups(program, services, sourcePath, module, names);
    }
    if (names.size() > static_cast<std::size_t>(std::numeric_limits<std::int16_t>::max())) {
        throw errors::overflow();  // the group count is a 16-bit number
    }
    if (names.empty()) {
        warn("Icon source file, '" + sourcePath + "' doesn't contain any resources");
        return false;
    }
    const std::string* groupName = chooseGroup(names, groupIndex, byResourceId);
    if (groupName == nullptr) {
        return false;
    }

    const ResourceBytes group = module->find(*groupName, kResourceTypeGroupIcon);
    switch (group.status) {
        case ResourceStatus::NotFound:
            throw RunError(errors::kResourceNotLocated, "Failed to locate resource entry");
        case ResourceStatus::LoadFailed:
            warn("Failed to load resource entry in icon source file, '" + sourcePath + "'");
            return false;
        case ResourceStatus::LockFailed:
            warn("Failed to get pointer to resource entry in icon source file, '" + sourcePath +
                 "'");
            return false;
        case ResourceStatus::Found:
            break;
    }

    const IcoBuild build = buildIcoFile(group.bytes, [&](std::uint16_t imageId) {
        return module->find(funcResourceName(imageId), kResourceTypeIcon);
    });
    if (const char* warning = buildWarning(build.status)) {
        warn(warning + sourcePath + "'");
        return false;
    }
    if (build.status != IcoBuildStatus::Built) {
        return false;  // an empty group writes nothing and says nothing
    }
    if (!services.holdingFiles.replaceWith(outputPath, build.file)) {
        warn("Failed to create icon holding file '" + outputPath + "'");
        return false;
    }
    return true;
}

}  // namespace

bool subExtractIcons(Program& program, IconServices& services, const std::string& sourcePath,
                     std::string outputPath, std::int32_t groupIndex, bool byResourceId) {
    if (!endsWith(outputPath, ".ico")) {
        outputPath += ".ico";
    }
    try {
        try {
            return extract(program, services, sourcePath, outputPath, groupIndex, byResourceId);
        } catch (const std::bad_alloc&) {
            throw errors::fromException(std::current_exception());
        }
    } catch (const RunError& error) {
        program.reportError(error, "subExtractIcons");
    }
    return false;
}

}  // namespace perchlet
