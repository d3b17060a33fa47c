// The File menu's entries for the run's choices: "Drill file format…", the "Drill order" submenu and
// "Controller…". It keeps the choices the settings load and save, and hands them to "Convert".
//
// The drill order is a submenu of two checkable entries rather than a dialog: it is one choice between two
// values with nothing to set beside it, and the menu shows which one is in force without opening anything.
#pragma once

#include <QObject>

#include <functional>
#include <string>

#include "excellon/BoardOptions.h"
#include "settings/BoardSettings.h"
#include "settings/JobSettings.h"

class QAction;
class QActionGroup;
class QMenu;
class QWidget;

namespace korvex::settings {
class SettingsControls;
}

namespace korvex::ui {

class JobMenu : public QObject {
    Q_OBJECT

public:
    // The entries go into `fileMenu` in front of `before`. `inputFile` gives the Input File field's text;
    // `controls` receives the controller's tool-change blocks; `dialogParent` owns the dialogs.
    JobMenu(QMenu& fileMenu, QAction* before, QWidget& dialogParent, settings::SettingsControls& controls,
            std::function<std::string()> inputFile);

    const settings::JobSettings& Settings() const { return settings_; }
    void SetSettings(const settings::JobSettings& settings);

    QAction* DrillFileFormat1 = nullptr;
    QMenu* DrillOrder1 = nullptr;
    QAction* FileOrder1 = nullptr;
    QAction* ShortOrder1 = nullptr;
    QAction* Controller1 = nullptr;
    QAction* Verify1 = nullptr;
    QAction* DrillRack1 = nullptr;

    // The drills the user owns (File › "Drill rack…"), kept apart from the settings above in [DrillRack].
    const excellon::DrillRack& Rack() const { return rack_; }
    void SetRack(const excellon::DrillRack& rack) { rack_ = rack; }

    // -- The board: its side and origin, and further drill files --
    const settings::BoardSettings& Board() const { return board_; }
    void SetBoard(const settings::BoardSettings& board) { board_ = board; }
    QAction* BoardSide1 = nullptr;
    QAction* BoardFiles1 = nullptr;

public slots:
    void DrillFileFormat1Click();
    void Controller1Click();
    void BoardSide1Click();
    void BoardFiles1Click();
    void DrillRack1Click();

private:
    void ShowOrder();
    // Whether the main window's tool-change boxes hold what `controller` would write into them.
    bool BoxesHoldTheBlocks(const settings::ControllerSettings& controller) const;

    QWidget& dialogParent_;
    settings::SettingsControls& controls_;
    std::function<std::string()> inputFile_;
    settings::JobSettings settings_;
    settings::BoardSettings board_;
    excellon::DrillRack rack_;
};

} // namespace korvex::ui
