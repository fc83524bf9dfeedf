#pragma once
// The udev rule that gives the seat's user access to the frames (70-oculant.rules): whether it
// is installed, and whether it covers a given frame. This is what `oculant-cli list` and the
// main window say about a frame they may not open, instead of guessing.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "link/HidBackend.h"

namespace oculant {

inline constexpr const char* kAccessRuleFileName = "70-oculant.rules";

// Where to look; both are parameters so that tests build the same shapes in a temp folder.
struct AccessRuleLocations {
    // udev's rule folders, highest priority first: a file in an earlier folder takes the place
    // of one with the same name in a later folder (/usr/local/lib is where `cmake --install`
    // with its default prefix puts the rule).
    std::vector<std::string> ruleDirs{"/etc/udev/rules.d", "/run/udev/rules.d", "/usr/local/lib/udev/rules.d",
                                      "/usr/lib/udev/rules.d"};
    std::string sysfsRoot = "/sys";
};

// What an installed rule file says, as far as frame access goes. Commented lines do not count.
struct AccessRuleText {
    // The program of its IMPORT{program}=".../oculant-udev-probe ..." line (or of an earlier
    // release's "PROGRAM udev-probe ..."), when the file also
    // acts on the answer (an ENV{ID_OCULANT_FRAME}=="1" line); empty otherwise.
    std::string probeProgram;
    std::vector<HidAttributes> listedIds;  // ATTRS{idVendor}/ATTRS{idProduct} lines
};

AccessRuleText parseAccessRuleText(std::string_view text);

// The rule file udev uses: the first folder that holds one wins. Nothing when none does.
std::optional<std::string> findAccessRuleFile(const std::vector<std::string>& ruleDirs);

struct AccessRuleCheck {
    enum class State { NotInstalled, DoesNotCover, Covers };
    State state = State::NotInstalled;
    std::string ruleFile;                // the installed file, when there is one
    std::string whyNot;                  // for DoesNotCover: the part that fails
    std::string sysfsFolder;             // <sysfsRoot>/class/hidraw/hidrawN, what udevadm trigger takes
    std::optional<HidAttributes> ids;    // the frame's, from sysfs, when known
};

// The rule's answer for hidraw node `nodeName` ("hidraw3"): the probe the rule runs is run here
// on the same sysfs folder (in this process, with the program the rule names checked to be
// there), and its id lines are compared with the frame's ids.
AccessRuleCheck checkAccessRule(const std::string& nodeName, const AccessRuleLocations& where);

// "Fix: ..." for the hidraw node at `nodePath` that the user may not open: the rule's state for
// this frame and the command that gives access. Empty for a path that is not a hidraw node.
std::string accessRuleFix(const std::string& nodePath, const AccessRuleLocations& where = {});

}  // namespace oculant
