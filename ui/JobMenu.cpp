#include "ui/JobMenu.h"

#include <QAction>
#include <QActionGroup>
#include <QMenu>

#include <utility>

#include "platform/MessageBox.h"
#include "settings/JobChoices.h"
#include "settings/Settings.h"
#include "settings/SettingsControls.h"
#include "ui/BoardFilesDialog.h"
#include "ui/BoardSideDialog.h"
#include "ui/ControllerDialog.h"
#include "ui/DrillFileFormatDialog.h"
#include "ui/DrillRackDialog.h"
#include "ui/ErrorGuard.h"
#include "ui/WindowHost.h"

namespace korvex::ui {

JobMenu::JobMenu(QMenu& fileMenu, QAction* before, QWidget& dialogParent, settings::SettingsControls& controls,
                 std::function<std::string()> inputFile)
    : QObject(&fileMenu), dialogParent_(dialogParent), controls_(controls), inputFile_(std::move(inputFile)) {
    setObjectName(QStringLiteral("JobMenu"));
    const auto action = [&](const char* name, const QString& text) {
        auto* result = new QAction(text, this);
        result->setObjectName(QLatin1String(name));
        fileMenu.insertAction(before, result);
        return result;
    };

    DrillFileFormat1 = action("DrillFileFormat1", QStringLiteral("&Drill file format…"));

    DrillOrder1 = new QMenu(QStringLiteral("Drill &order"), &fileMenu);
    DrillOrder1->setObjectName(QStringLiteral("DrillOrder1"));
    fileMenu.insertMenu(before, DrillOrder1);
    auto* orders = new QActionGroup(this);
    orders->setExclusive(true);
    const auto orderEntry = [&](const char* name, const QString& text) {
        auto* result = DrillOrder1->addAction(text);
        result->setObjectName(QLatin1String(name));
        result->setCheckable(true);
        orders->addAction(result);
        return result;
    };
    FileOrder1 = orderEntry("FileOrder1", QStringLiteral("&As in the file"));
    ShortOrder1 = orderEntry("ShortOrder1", QStringLiteral("&Short path (each tool's holes reordered)"));

    Controller1 = action("Controller1", QStringLiteral("&Controller…"));
    DrillRack1 = action("DrillRack1", QStringLiteral("Drill r&ack…"));
    connect(DrillRack1, &QAction::triggered, this, &JobMenu::DrillRack1Click);
    Verify1 = action("Verify1", QStringLiteral("&Verify after converting"));
    Verify1->setCheckable(true);

    BoardSide1 = action("BoardSide1", QStringLiteral("&Board side…"));
    BoardFiles1 = action("BoardFiles1", QStringLiteral("Board &files…"));
    connect(BoardSide1, &QAction::triggered, this, &JobMenu::BoardSide1Click);
    connect(BoardFiles1, &QAction::triggered, this, &JobMenu::BoardFiles1Click);

    fileMenu.insertSeparator(before);
    connect(Verify1, &QAction::toggled, this, [this](bool checked) { settings_.verify = checked; });

    connect(DrillFileFormat1, &QAction::triggered, this, &JobMenu::DrillFileFormat1Click);
    connect(Controller1, &QAction::triggered, this, &JobMenu::Controller1Click);
    connect(orders, &QActionGroup::triggered, this, [this](QAction* chosen) {
        settings_.order = chosen == ShortOrder1 ? order::DrillOrder::Short : order::DrillOrder::File;
    });
    ShowOrder();
}

void JobMenu::SetSettings(const settings::JobSettings& settings) {
    settings_ = settings;
    ShowOrder();
}

void JobMenu::ShowOrder() {
    (settings_.order == order::DrillOrder::Short ? ShortOrder1 : FileOrder1)->setChecked(true);
    Verify1->setChecked(settings_.verify);
}

void JobMenu::DrillFileFormat1Click() {
    RunGuarded([this] {
        DrillFileFormatDialog dialog(settings_.format, inputFile_(), &dialogParent_);
        if (dialog.exec() == QDialog::Accepted) {
            settings_.format = dialog.Settings();
        }
    });
}

bool JobMenu::BoxesHoldTheBlocks(const settings::ControllerSettings& controller) const {
    // Compared as the boxes hold text: line ends and a last line break do not count.
    const auto comparable = [](const std::string& text) {
        std::string result = settings::NormalizeLineBreaks(text);
        while (!result.empty() && (result.back() == '\n' || result.back() == '\r')) {
            result.pop_back();
        }
        return result;
    };
    const auto [before, after] = settings::ToolChangeBlockTexts(controller);
    return comparable(controls_.MacroText(settings::MacroBlock::Before)) == comparable(before) &&
           comparable(controls_.MacroText(settings::MacroBlock::After)) == comparable(after);
}

void JobMenu::Controller1Click() {
    RunGuarded([this] {
        ControllerDialog dialog(settings_.controller, &dialogParent_);
        if (dialog.exec() != QDialog::Accepted) {
            return;
        }
        const settings::ControllerSettings chosen = dialog.Settings();
        const bool changed = chosen != settings_.controller;
        settings_.controller = chosen;
        if (chosen.controller == gcode::Controller::None || BoxesHoldTheBlocks(chosen)) {
            return;
        }
        // A new choice writes its blocks, as the dialog said. The same choice again would only throw away what
        // the user changed in the boxes since: that needs a yes.
        if (changed ||
            platform::AskYesNo(QStringLiteral("The tool-change boxes hold text edited by hand.\n"
                                              "Replace it with the blocks of %1?")
                                   .arg(FromHostText(std::string(gcode::ControllerTitle(chosen.controller)))))) {
            settings::FillToolChangeBlocks(controls_, chosen);
        }
    });
}

void JobMenu::BoardSide1Click() {
    RunGuarded([this] {
        BoardSideDialog dialog(board_.side, &dialogParent_);
        if (dialog.exec() == QDialog::Accepted) {
            board_.side = dialog.Settings();
        }
    });
}

void JobMenu::BoardFiles1Click() {
    RunGuarded([this] {
        BoardFilesDialog dialog(board_.moreFiles, inputFile_(), &dialogParent_);
        if (dialog.exec() == QDialog::Accepted) {
            board_.moreFiles = dialog.Files();
        }
    });
}

void JobMenu::DrillRack1Click() {
    RunGuarded([this] {
        DrillRackDialog dialog(rack_, &dialogParent_);
        if (dialog.exec() == QDialog::Accepted) {
            rack_ = dialog.Rack();
        }
    });
}

} // namespace korvex::ui
