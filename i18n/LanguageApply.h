#pragma once
// Applying a language to every window (the language selector's change handler): computes
// the new captions from the language file and the captions the windows show now; the
// windows only set what is returned.

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "i18n/Language.h"

namespace oculant {

// A window caption (control empty) or a control of a window, by the names in TextKeys.h.
struct CaptionTarget {
    std::string_view window;
    std::string_view control;
    bool toolTip = false;  // the control's tool tip rather than its caption
    bool operator==(const CaptionTarget&) const = default;
};

struct CaptionChange {
    CaptionTarget target;
    std::string text;
};

// What the windows show now: the current captions are the fallbacks of absent keys.
struct CaptionState {
    bool connected = false;  // the device link has a frame open
    bool recording = false;  // the signal window's LogOn item is checked
    // Current caption of a target; for a chart, the first line of its title.
    std::function<std::string(const CaptionTarget&)> currentCaption;
};

struct LanguageApplied {
    std::vector<CaptionChange> captions;  // in the order of application
    // The four new lines of ComboBoxDisplayDir; the window keeps its selected index.
    std::vector<std::string> displayDirItems;
    bool saved = true;  // false: applied, but the choice could not be written to the file
};

// userChoice: the user picked the language (the handler's sender is not null), so the choice
// is written to Default/Language first; at start-up nothing is written. A failed write does
// not stop the apply: the status bar then shows why instead of being cleared.
LanguageApplied ComboBoxLanChange(Language& language, bool userChoice, const CaptionState& state);

}  // namespace oculant
