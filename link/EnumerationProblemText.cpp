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
    if (!problem.fix.empty())
        return problem.fix;
    return std::string("Fix: give this user read and write access to ") + problem.path + "." + kNotAsRootAdvice;
}

}  // namespace oculant
