// What a frame that may not be opened is told about the access rule: installed or not, where,
// whether it covers this frame (its probe run on the node, its id lines), and the command that
// fixes it. On a fake sysfs and fake rule folders.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "tests/support/HidBytes.h"
#include "tests/support/HidrawFakeTree.h"
#include "backends/hidraw/AccessRule.h"
#include "link/EnumerationProblemText.h"
#include "backends/virtual/VirtualFrame.h"

namespace oculant {
namespace {

using test::HidrawFakeTree;
namespace fs = std::filesystem;

// The rule as the build makes it from the template, for a probe program at `program`.
std::string shippedRule(const std::string& program)
{
    std::string rule = test::readFile(std::string(OCULANT_SOURCE_DIR) + "/data/70-oculant.rules");
    const std::string placeholder = "@OCULANT_UDEV_PROBE_PROGRAM@";
    rule.replace(rule.find(placeholder), placeholder.size(), program);
    return rule;
}

// The rule of the first releases: frames by their ids only.
const char* const kIdsOnlyRule =
    "SUBSYSTEM!=\"hidraw\", GOTO=\"oculant_end\"\n"
    "ATTRS{idVendor}==\"1209\", ATTRS{idProduct}==\"0c1a\", TAG+=\"uaccess\"\n"
    "LABEL=\"oculant_end\"\n";

TEST(AccessRule, permission_problem_says_what_the_rule_does_for_this_frame_and_the_fix)
{
    HidrawFakeTree tree;
    tree.addNode(3, 0x1209, 0x0C1B, VirtualFrame::reportDescriptor());  // a frame whose ids no rule lists
    tree.addNode(4, 0x1209, 0x0C1A, VirtualFrame::reportDescriptor());
    tree.addNode(5, 0x046D, 0xC077, test::corpusDescriptor("046D_C077_0002_0001.hex"));
    const fs::path root = fs::path(tree.sysfs()).parent_path();
    const std::string etc = (root / "etc-rules").string(), lib = (root / "lib-rules").string();
    const std::string program = (root / "lib/oculant/oculant-udev-probe").string();
    const std::string cli = (root / "lib/oculant/oculant-cli").string();
    fs::create_directories(root / "lib/oculant");
    for (const std::string& p : {program, cli}) {
        test::writeFile(p, "#!/bin/sh\n");
        ::chmod(p.c_str(), 0755);
    }
    AccessRuleLocations where;
    where.ruleDirs = {etc, lib};
    where.sysfsRoot = tree.sysfs();

    struct Case {
        const char* name;
        std::string etcRule, libRule;  // empty: no file there
        int node;
        AccessRuleCheck::State state;
        std::string ruleFile;
        std::string fixPart;  // in the Fix text
    };
    const std::string trigger3 = "run 'sudo udevadm trigger --action=add " + tree.sysfs() + "/class/hidraw/hidraw3'";
    const Case cases[] = {
        {"no rule", "", "", 3, AccessRuleCheck::State::NotInstalled, "",
         "Fix: the access rule 70-oculant.rules is not installed (looked in " + etc + ", " + lib +
             "). Install the oculant package, which applies it to the frames plugged in; after 'sudo cmake "
             "--install' instead, " + trigger3 + "."},
        {"the shipped rule with its program", "", shippedRule(program), 3, AccessRuleCheck::State::Covers,
         lib + "/70-oculant.rules",
         "Fix: the access rule " + lib + "/70-oculant.rules is installed and covers this frame, but udev has not "
             "applied it to the node since: " + trigger3 + " (or plug the frame in again)."},
        {"the shipped rule, its program not installed", "", shippedRule("/opt/gone/oculant-udev-probe"), 3,
         AccessRuleCheck::State::DoesNotCover, lib + "/70-oculant.rules",
         "does not cover this frame: the probe program it runs, /opt/gone/oculant-udev-probe, is not installed. "},
        {"an earlier release's rule, running the command-line tool's probe", "",
         "IMPORT{program}=\"" + cli + " udev-probe %S%p\"\nENV{ID_OCULANT_FRAME}==\"1\", TAG+=\"uaccess\"\n", 3,
         AccessRuleCheck::State::Covers, lib + "/70-oculant.rules", "is installed and covers this frame"},
        {"the shipped rule on a node that is no frame", "", shippedRule(program), 5,
         AccessRuleCheck::State::DoesNotCover, lib + "/70-oculant.rules",
         "its probe does not take the frame's descriptor for a frame's"},
        {"an ids-only rule without this frame", "", kIdsOnlyRule, 3, AccessRuleCheck::State::DoesNotCover,
         lib + "/70-oculant.rules",
         "it does not run the frame probe, and does not list this frame's ids (vendor 1209, product 0c1b). "
         "Install the current rule (the oculant package), or add the line 'SUBSYSTEM==\"hidraw\", "
         "ATTRS{idVendor}==\"1209\", ATTRS{idProduct}==\"0c1b\", TAG+=\"uaccess\"' to a copy of it in "
         "/etc/udev/rules.d/; then " + trigger3 + "."},
        {"an ids-only rule listing this frame", "", kIdsOnlyRule, 4, AccessRuleCheck::State::Covers,
         lib + "/70-oculant.rules", "installed and covers this frame"},
        {"a copy in the first folder takes the place of the shipped rule", kIdsOnlyRule, shippedRule(program), 3,
         AccessRuleCheck::State::DoesNotCover, etc + "/70-oculant.rules", "does not run the frame probe"},
        {"commented probe lines do not count", "",
         "#IMPORT{program}=\"" + program + " %S%p\"\n#ENV{ID_OCULANT_FRAME}==\"1\", TAG+=\"uaccess\"\n", 3,
         AccessRuleCheck::State::DoesNotCover, lib + "/70-oculant.rules", "does not run the frame probe"},
    };
    for (const Case& c : cases) {
        fs::remove_all(etc);
        fs::remove_all(lib);
        for (const auto& [dir, text] : {std::pair{etc, c.etcRule}, std::pair{lib, c.libRule}}) {
            if (text.empty())
                continue;
            fs::create_directories(dir);
            test::writeFile(dir + "/70-oculant.rules", text);
        }
        const std::string node = "hidraw" + std::to_string(c.node);
        const AccessRuleCheck check = checkAccessRule(node, where);
        EXPECT_EQ(int(check.state), int(c.state)) << c.name << ": " << check.whyNot;
        EXPECT_EQ(check.ruleFile, c.ruleFile) << c.name;
        const EnumerationProblem problem{tree.nodePath(c.node), OpenFailure::PermissionDenied, "",
                                         accessRuleFix(tree.nodePath(c.node), where)};
        const std::optional<std::string> fix = enumerationProblemFix(problem);
        ASSERT_TRUE(fix) << c.name;
        EXPECT_NE(fix->find(c.fixPart), std::string::npos) << c.name << ":\n" << *fix;
        EXPECT_NE(fix->find("Do not run Oculant as root."), std::string::npos) << c.name;
    }
    // Only a permission problem has an access fix.
    EXPECT_FALSE(enumerationProblemFix({tree.nodePath(3), OpenFailure::Busy, "", accessRuleFix(tree.nodePath(3), where)}));
}

}  // namespace
}  // namespace oculant
