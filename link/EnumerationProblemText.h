#pragma once
// How an interface that looks like a frame but could not be opened is reported: the reason,
// and for a permission problem what to do about it. `oculant-cli list`, the CLI's connection
// error and the main window say the same.

#include <optional>
#include <string>

#include "link/HIDTalk.h"

namespace oculant {

// "/dev/hidraw3: looks like a touch frame but permission denied (open /dev/hidraw3: ...)".
std::string enumerationProblemText(const EnumerationProblem& problem);

// "Fix: ..." for a node the user may not open: the backend's advice (for hidraw, whether the
// access rule is installed and covers this frame, and the command that gives access), or plain
// advice where it has none. Nothing for the other failures.
std::optional<std::string> enumerationProblemFix(const EnumerationProblem& problem);

// Ends every fix: running the tool as root is not the way.
inline constexpr const char* kNotAsRootAdvice = " Do not run Oculant as root.";

}  // namespace oculant
