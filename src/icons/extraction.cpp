#include "icons/extraction.h"

#include <limits>
#include <new>

#include "common/errors.h"
#include "common/program.h"
#include "common/text.h"
#include "icons/ico_builder.h"

namespace perchlet {

std::string funcResourceName(std::uint32_t integerId) {
    return "#" + std::to_string(integerId);
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

bool extract(Program& program, IconServices& services, const std::string& strSourcePath,
             const std::string& strOutputPath, std::int32_t intGroupIndex) {
    const auto warn = [&](const std::string& text) { program.showMessage(text, kIconWarning); };

    const std::unique_ptr<ResourceModule> module = services.modules.open(strSourcePath);
    if (!module) {
        warn("Icon source file, '" + strSourcePath + "' wasn't found");
        return false;
    }
    const std::vector<std::string> names = module->iconGroupNames();
    if (names.size() > static_cast<std::size_t>(std::numeric_limits<std::int16_t>::max())) {
        throw errors::overflow();  // the group count is a 16-bit number
    }
    if (names.empty()) {
        warn("Icon source file, '" + strSourcePath + "' doesn't contain any resources");
        return false;
    }
    if (intGroupIndex < std::numeric_limits<std::int16_t>::min() ||
        intGroupIndex > std::numeric_limits<std::int16_t>::max()) {
        throw errors::overflow();
    }
    const auto count = static_cast<std::int32_t>(names.size());
    if (intGroupIndex == count) {
        return false;  // one past the last group selects nothing, and that is no error
    }
    if (intGroupIndex < 0 || intGroupIndex > count) {
        throw errors::subscriptOutOfRange();
    }

    const ResourceBytes group =
        module->find(names[static_cast<std::size_t>(intGroupIndex)], kResourceTypeGroupIcon);
    switch (group.status) {
        case ResourceStatus::NotFound:
            throw RunError(errors::kResourceNotLocated, "Failed to locate resource entry");
        case ResourceStatus::LoadFailed:
            warn("Failed to load resource entry in icon source file, '" + strSourcePath + "'");
            return false;
        case ResourceStatus::LockFailed:
            warn("Failed to get pointer to resource entry in icon source file, '" + strSourcePath +
                 "'");
            return false;
        case ResourceStatus::Found:
            break;
    }

    const IcoBuild build = buildIcoFile(group.bytes, [&](std::uint16_t imageId) {
        return module->find(funcResourceName(imageId), kResourceTypeIcon);
    });
    if (const char* warning = buildWarning(build.status)) {
        warn(warning + strSourcePath + "'");
        return false;
    }
    if (build.status != IcoBuildStatus::Built) {
        return false;  // an empty group writes nothing and says nothing
    }
    if (!services.holdingFiles.replaceWith(strOutputPath, build.file)) {
        warn("Failed to create icon holding file '" + strOutputPath + "'");
        return false;
    }
    return true;
}

}  // namespace

bool subExtractIcons(Program& program, IconServices& services, const std::string& strSourcePath,
                     std::string strOutputPath, std::int32_t intGroupIndex) {
    if (!endsWith(strOutputPath, ".ico")) {
        strOutputPath += ".ico";
    }
    try {
        try {
            return extract(program, services, strSourcePath, strOutputPath, intGroupIndex);
        } catch (const std::bad_alloc&) {
            throw RunError(7, "Out of memory");
        }
    } catch (const RunError& error) {
        const std::string report = errorReport(error, "subExtractIcons");
        program.subWriteTrace(report);
        program.showMessage(report, kIconError);
    }
    return false;
}

}  // namespace perchlet
