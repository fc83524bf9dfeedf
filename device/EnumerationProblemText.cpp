#include "device/EnumerationProblemText.h"

#include <cstdio>

#include "device/HidrawSysfs.h"

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

const char* const kNotAsRoot = " Do not run Oculant as root.";

std::string nodeNameOf(const std::string& path)
{
    const size_t slash = path.rfind('/');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    return hidrawNodeNumber(name) >= 0 ? name : std::string();
}

std::string joined(const std::vector<std::string>& dirs)
{
    std::string text;
    for (const std::string& d : dirs)
        text += (text.empty() ? "" : ", ") + d;
    return text;
}

std::string idLine(const HidAttributes& ids)
{
    char text[128];
    std::snprintf(text, sizeof text, "SUBSYSTEM==\"hidraw\", ATTRS{idVendor}==\"%04x\", ATTRS{idProduct}==\"%04x\", "
                  "TAG+=\"uaccess\"", ids.vendorId, ids.productId);
    return text;
}

std::string accessFix(const AccessRuleCheck& check, const AccessRuleLocations& where)
{
    const std::string trigger = "'sudo udevadm trigger --action=add " + check.sysfsFolder + "'";
    switch (check.state) {
    case AccessRuleCheck::State::NotInstalled:
        return std::string("Fix: the access rule ") + kAccessRuleFileName + " is not installed (looked in " +
               joined(where.ruleDirs) + "). Install the oculant package, which applies it to the frames plugged "
               "in; after 'sudo cmake --install' instead, run " + trigger + "." + kNotAsRoot;
    case AccessRuleCheck::State::DoesNotCover: {
        std::string text = "Fix: the access rule " + check.ruleFile + " is installed but does not cover this frame: " +
                           check.whyNot + ". Install the current rule (the oculant package)";
        if (check.ids)
            text += ", or add the line '" + idLine(*check.ids) + "' to a copy of it in /etc/udev/rules.d/";
        return text + "; then run " + trigger + "." + kNotAsRoot;
    }
    case AccessRuleCheck::State::Covers:
        break;
    }
    return "Fix: the access rule " + check.ruleFile + " is installed and covers this frame, but udev has not "
           "applied it to the node since: run " + trigger + " (or plug the frame in again). It gives access to the "
           "user of the active local session only; logged in over SSH or as a service account, use the rule's "
           "group line instead." + kNotAsRoot;
}

}  // namespace

std::string enumerationProblemText(const EnumerationProblem& problem)
{
    std::string text = problem.path + ": looks like a touch frame but " + failureText(problem.failure);
    if (!problem.detail.empty())
        text += " (" + problem.detail + ")";
    return text;
}

std::optional<std::string> enumerationProblemFix(const EnumerationProblem& problem, const AccessRuleLocations& where)
{
    if (problem.failure != OpenFailure::PermissionDenied)
        return std::nullopt;
    const std::string node = nodeNameOf(problem.path);
    if (node.empty())
        return std::string("Fix: give this user read and write access to ") + problem.path + "." + kNotAsRoot;
    return accessFix(checkAccessRule(node, where), where);
}

}  // namespace oculant
