#pragma once
// How an interface that looks like a frame but could not be opened is reported: the reason,
// and for a permission problem what to do about it. `oculant-cli list`, the CLI's connection
// error and the main window say the same.

#include <optional>
#include <string>

#include "device/AccessRule.h"
#include "device/HIDTalk.h"

namespace oculant {

// "/dev/hidraw3: looks like a touch frame but permission denied (open /dev/hidraw3: ...)".
std::string enumerationProblemText(const EnumerationProblem& problem);

// "Fix: ..." for a node the user may not open: whether the access rule is installed and covers
// this frame, and the command that gives access. Nothing for the other failures.
std::optional<std::string> enumerationProblemFix(const EnumerationProblem& problem,
                                                 const AccessRuleLocations& where = {});

}  // namespace oculant
