#include "i18n/LanguageApply.h"

#include "i18n/TextKeys.h"

namespace oculant {

namespace {

using namespace textkeys;

class CaptionPlan {
public:
    CaptionPlan(const Language& language, const CaptionState& state)
        : language_(language), state_(state) {}

    // Key read with the target's current caption as fallback.
    void readOrKeep(std::string_view window, std::string_view control, std::string_view key) {
        CaptionTarget target{window, control};
        set(target, language_.LookupTextOr(key, current(target)));
    }
    void set(CaptionTarget target, std::string text) {
        result_.captions.push_back({target, std::move(text)});
    }
    std::string current(const CaptionTarget& target) const {
        return state_.currentCaption ? state_.currentCaption(target) : std::string();
    }
    LanguageApplied& result() { return result_; }

private:
    const Language& language_;
    const CaptionState& state_;
    LanguageApplied result_;
};

}  // namespace

LanguageApplied ComboBoxLanChange(Language& language, bool userChoice, const CaptionState& state) {
    Language::SaveResult save;
    if (userChoice) save = language.saveSelection();

    CaptionPlan plan(language, state);
    const CaptionTarget mainCaption{kMainWindow, ""};
    const KeyFallback& connection = state.connected ? kConnected : kUnconnected;
    plan.set(mainCaption, language.LookupTextOr(kMainCaption.key, plan.current(mainCaption)) +
                              " - " + language.LookupTextOr(connection.key, connection.fallback));
    plan.set({kMainWindow, kStatusBar}, save.statusText);

    for (const auto& control : kMainWindowControls) {
        plan.readOrKeep(kMainWindow, control.control, control.key);
    }
    plan.readOrKeep(kMainWindow, kMakerNameLabel, kMakerNameLabel);
    for (auto label : kBlankedWhenAbsent) {
        plan.set({kMainWindow, label}, language.LookupTextOr(label, ""));
    }
    for (const auto& orientation : kDisplayOrientations) {
        plan.result().displayDirItems.push_back(
            language.LookupTextOr(orientation.key, orientation.fallback));
    }

    std::string signalCaption = language.LookupText(kSignalCaption);
    if (state.recording) signalCaption += " - " + language.LookupText(kRecording);
    plan.set({kSignalWindow, ""}, signalCaption);
    for (const auto& chart : kSignalCharts) plan.readOrKeep(kSignalWindow, chart.control, chart.key);
    for (const auto& item : kSignalMenu) plan.readOrKeep(kSignalWindow, item.control, item.key);

    plan.readOrKeep(kDrawTestWindow, "", kDrawTestCaption.key);
    for (const auto& item : kDrawTestMenu) plan.readOrKeep(kDrawTestWindow, item.control, item.key);

    plan.readOrKeep(kDiagnosticWindow, "", kDiagnosticCaption.key);

    for (const WindowText& t : kAddedTexts)
        plan.set({t.window, t.control, t.toolTip}, language.LookupTextOr(t.text.key, t.text.fallback));

    plan.result().saved = save.saved;
    return std::move(plan.result());
}

}  // namespace oculant
