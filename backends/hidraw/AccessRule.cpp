#include "backends/hidraw/AccessRule.h"

#include <sys/stat.h>
#include <unistd.h>

#include <charconv>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "backends/hidraw/HidrawSysfs.h"
#include "link/EnumerationProblemText.h"
#include "hid/UdevProbe.h"

namespace oculant {
namespace {

std::string_view trimmed(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

// The value of KEY"..." in a rule line (KEY holds its operator, as in `ATTRS{idVendor}=="`).
std::optional<std::string_view> quotedValue(std::string_view line, std::string_view key)
{
    const size_t at = line.find(key);
    if (at == std::string_view::npos)
        return std::nullopt;
    const size_t start = at + key.size();
    const size_t end = line.find('"', start);
    if (end == std::string_view::npos)
        return std::nullopt;
    return line.substr(start, end - start);
}

std::optional<uint16_t> usbId(std::optional<std::string_view> text)
{
    unsigned value = 0;
    if (!text || text->size() != 4)
        return std::nullopt;
    const auto [end, ec] = std::from_chars(text->data(), text->data() + 4, value, 16);
    if (ec != std::errc() || end != text->data() + 4)
        return std::nullopt;
    return uint16_t(value);
}

// ".../oculant-udev-probe ARGS" (the probe program of its own), or "PROGRAM udev-probe ARGS" (the
// command-line tool's probe command, which rules of earlier releases run): the program.
std::string probeProgramOf(std::string_view importValue)
{
    std::istringstream words{std::string(importValue)};
    std::string program, command;
    words >> program >> command;
    const size_t slash = program.rfind('/');
    const bool probeProgram = program.substr(slash == std::string::npos ? 0 : slash + 1) == "oculant-udev-probe";
    return probeProgram || command == "udev-probe" ? program : std::string();
}

std::string idsText(const HidAttributes& ids)
{
    char text[40];
    std::snprintf(text, sizeof text, "vendor %04x, product %04x", ids.vendorId, ids.productId);
    return text;
}

}  // namespace

AccessRuleText parseAccessRuleText(std::string_view text)
{
    AccessRuleText rule;
    std::string program;
    bool actsOnProbe = false;
    for (size_t start = 0; start < text.size();) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos)
            end = text.size();
        const std::string_view line = trimmed(text.substr(start, end - start));
        start = end + 1;
        if (line.empty() || line.front() == '#')
            continue;
        if (const auto value = quotedValue(line, "IMPORT{program}=\""))
            if (std::string p = probeProgramOf(*value); !p.empty())
                program = std::move(p);
        if (line.find("ENV{ID_OCULANT_FRAME}==\"1\"") != std::string_view::npos)
            actsOnProbe = true;
        const auto vendor = usbId(quotedValue(line, "ATTRS{idVendor}==\""));
        const auto product = usbId(quotedValue(line, "ATTRS{idProduct}==\""));
        if (vendor && product)
            rule.listedIds.push_back({*vendor, *product});
    }
    if (actsOnProbe)
        rule.probeProgram = std::move(program);
    return rule;
}

std::optional<std::string> findAccessRuleFile(const std::vector<std::string>& ruleDirs)
{
    for (const std::string& dir : ruleDirs) {
        const std::string path = dir + "/" + kAccessRuleFileName;
        struct stat st {};
        if (::stat(path.c_str(), &st) == 0)
            return path;
    }
    return std::nullopt;
}

AccessRuleCheck checkAccessRule(const std::string& nodeName, const AccessRuleLocations& where)
{
    AccessRuleCheck check;
    check.sysfsFolder = where.sysfsRoot + "/class/hidraw/" + nodeName;
    if (const std::optional<HidrawNodeInfo> node = readHidrawNode(where.sysfsRoot, nodeName))
        check.ids = node->attributes;
    const std::optional<std::string> file = findAccessRuleFile(where.ruleDirs);
    if (!file)
        return check;
    check.ruleFile = *file;
    check.state = AccessRuleCheck::State::DoesNotCover;
    std::ifstream in(*file, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    if (!in) {
        check.whyNot = "it cannot be read";
        return check;
    }
    const AccessRuleText rule = parseAccessRuleText(content.str());
    for (const HidAttributes& listed : rule.listedIds) {
        if (check.ids && listed.vendorId == check.ids->vendorId && listed.productId == check.ids->productId) {
            check.state = AccessRuleCheck::State::Covers;
            return check;
        }
    }
    if (rule.probeProgram.empty()) {
        check.whyNot = "it does not run the frame probe, and does not list this frame's ids";
        if (check.ids)
            check.whyNot += " (" + idsText(*check.ids) + ")";
        return check;
    }
    if (::access(rule.probeProgram.c_str(), X_OK) != 0) {
        check.whyNot = "the probe program it runs, " + rule.probeProgram + ", is not installed";
        return check;
    }
    const FrameProbe probe = probeFrameDescriptor(check.sysfsFolder);
    if (!probe.readable)
        check.whyNot = "its probe cannot read the frame's descriptor (" + probe.error + ")";
    else if (!probe.frame)
        check.whyNot = "its probe does not take the frame's descriptor for a frame's";
    else
        check.state = AccessRuleCheck::State::Covers;
    return check;
}

namespace {

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

std::string fixText(const AccessRuleCheck& check, const AccessRuleLocations& where)
{
    const std::string trigger = "'sudo udevadm trigger --action=add " + check.sysfsFolder + "'";
    switch (check.state) {
    case AccessRuleCheck::State::NotInstalled:
        return std::string("Fix: the access rule ") + kAccessRuleFileName + " is not installed (looked in " +
               joined(where.ruleDirs) + "). Install the oculant package, which applies it to the frames plugged "
               "in; after 'sudo cmake --install' instead, run " + trigger + "." + kNotAsRootAdvice;
    case AccessRuleCheck::State::DoesNotCover: {
        std::string text = "Fix: the access rule " + check.ruleFile + " is installed but does not cover this frame: " +
                           check.whyNot + ". Install the current rule (the oculant package)";
        if (check.ids)
            text += ", or add the line '" + idLine(*check.ids) + "' to a copy of it in /etc/udev/rules.d/";
        return text + "; then run " + trigger + "." + kNotAsRootAdvice;
    }
    case AccessRuleCheck::State::Covers:
        break;
    }
    return "Fix: the access rule " + check.ruleFile + " is installed and covers this frame, but udev has not "
           "applied it to the node since: run " + trigger + " (or plug the frame in again). It gives access to the "
           "user of the active local session only; logged in over SSH or as a service account, use the rule's "
           "group line instead." + kNotAsRootAdvice;
}

}  // namespace

std::string accessRuleFix(const std::string& nodePath, const AccessRuleLocations& where)
{
    const std::string node = nodeNameOf(nodePath);
    return node.empty() ? std::string() : fixText(checkAccessRule(node, where), where);
}

}  // namespace oculant
