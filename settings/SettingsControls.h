// What loading and saving the settings needs of the main window: the controls' texts, check states,
// enabled state, selected index and the two file dialogs' initial folders, and nothing else.
// Kept free of Qt so the settings logic is tested without a window.
#pragma once

#include <string>

#include "conversion/Field.h"

namespace korvex::excellon {
struct DrillRack;
}

namespace korvex::settings {

struct JobSettings;
struct BoardSettings;

enum class MacroBlock { Before, After };
enum class FileDialog { Input, Save };

class SettingsControls {
public:
    virtual ~SettingsControls() = default;

    // Loading and saving touch only the stored fields (the first kStoredFieldCount).
    virtual std::string Text(conversion::Field field) const = 0;
    virtual void SetText(conversion::Field field, const std::string& text) = 0;

    // Setting a check box to a new state runs its click handler, as a user's click would.
    virtual bool IncludeLineNumberChecked() const = 0;
    virtual void SetIncludeLineNumberChecked(bool checked) = 0;
    virtual bool SuppressLeadingZerosChecked() const = 0;
    virtual void SetSuppressLeadingZerosChecked(bool checked) = 0;
    virtual bool G81EditEnabled() const = 0;
    virtual void SetG81EditEnabled(bool enabled) = 0;

    // Index of the selected increment entry ("1", "5", "10", "50"), -1 when none is selected.
    virtual int DeltaLineNumberIndex() const = 0;
    // Selects by program: the change handler does not run; an index outside 0..3 leaves no entry selected.
    virtual void SelectDeltaLineNumberIndex(int index) = 0;
    // Text of the selected entry, empty when none is selected.
    virtual std::string DeltaLineNumberText() const = 0;

    // A block's whole text, lines separated by CR LF.
    virtual std::string MacroText(MacroBlock block) const = 0;
    virtual void SetMacroText(MacroBlock block, const std::string& text) = 0;

    virtual std::string InitialFolder(FileDialog dialog) const = 0;
    virtual void SetInitialFolder(FileDialog dialog, const std::string& folder) = 0;

    // The choices of the File menu's dialogs, kept in sections of their own; a front end without those
    // dialogs has none and leaves the sections alone.
    virtual const JobSettings* JobChoices() const { return nullptr; }
    virtual void SetJobChoices(const JobSettings& /*choices*/) {}
    virtual const BoardSettings* BoardChoices() const { return nullptr; }
    virtual void SetBoardChoices(const BoardSettings& /*choices*/) {}
    // File › "Drill rack…": the drills the user owns ([DrillRack], ui/DrillRackSettings.h).
    virtual const excellon::DrillRack* DrillRack() const { return nullptr; }
    virtual void SetDrillRack(const excellon::DrillRack& /*rack*/) {}
};

} // namespace korvex::settings
