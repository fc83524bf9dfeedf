#include "link/EnumerationProblemText.h"

namespace oculant {

namespace {

const char* failureText(OpenFailure f)
{
    switch (f) {
    case OpenFailure::PermissionDenied:
        return "permission denied";
    case OpenFailure::Busy:
        return "busy";
    case OpenFailure::NotFound:
        return "not found";
    default:
        return "cannot be opened";
    }
}

}  // namespace

std::string enumerationProblemText(const EnumerationProblem& problem)
{
    std::string text = problem.path + ": looks like a touch frame but " + failureText(problem.failure);
    if (!problem.detail.empty())
        text += " (" + problem.detail + ")";
    return text;
}

std::optional<std::string> enumerationProblemFix(const EnumerationProblem& problem)
{
    if (problem.failure != OpenFailure::PermissionDenied)
        return std::nullopt;
    return "Fix: list the frame's vendor and product ids in data/70-oculant.rules, install it into "
           "/etc/udev/rules.d/, run 'sudo udevadm control --reload && sudo udevadm trigger', then "
           "unplug and re-plug the frame. Do not run Oculant as root.";
}

}  // namespace oculant
