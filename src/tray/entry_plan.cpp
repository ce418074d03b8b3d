#include "tray/entry_plan.h"

#include <utility>

#include "cmdline/command_analysis.h"
#include "icons/icon_choice.h"

namespace perchlet {

TrayEntryPlan planTrayEntry(Program& program, IconServices& services, const std::string& strCommand,
                            const std::string& strIconSpec, std::int32_t n) {
    CommandAnalysis analysis = analyseCommand(strCommand);
    const IconChoice choice =
        chooseIconFile(program, services, strCommand, analysis, strIconSpec, n);
    TrayEntryPlan plan;
    if (useIconFile(program, choice, program.sys.files.isOrdinaryFile(choice.path))) {
        plan.iconFile = choice.path;
    }
    plan.launchTarget = std::move(analysis.launchTarget);
    plan.parameters = std::move(analysis.parameters);
    plan.isUrl = analysis.isUrl;
    return plan;
}

}  // namespace perchlet
