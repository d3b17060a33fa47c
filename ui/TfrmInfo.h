// The About box: which program and which version is running, read once from the executable's own version
// resource, with a picture, fixed notes and a link to the maker's web page.
#pragma once

#include <QWidget>

#include <string>

#include "version/VersionInfo.h"

class QFrame;
class QLabel;
class QPushButton;

namespace korvex::ui {

class TfrmInfo : public QWidget {
    Q_OBJECT

public:
    // The maker's web page that the program name links to.
    static constexpr const char kMakerWebPage[] = "https://korvex.example/";

    // Creates the box hidden and reads the version resource (FormCreate).
    explicit TfrmInfo(QWidget* parent = nullptr);

    // Where the Readme with the licence and the warranty conditions is, as the box names it: its path in
    // share/doc/korvex of an installed program's prefix, or beside a portable copy (and when there is none).
    static QString ReadmeLocation(const std::string& executablePath);

    // Shows the box without blocking other windows: in front, centred on the screen when it was hidden.
    void ShowInFront();

    // The record read when the box was created.
    const version::TFileVersionInfo& VersionInfo() const { return VersionInfo_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormCreate();
    void Button1Click();
    void lblProgramNameClick();
    void lblProgramNameMouseEnter();
    void lblProgramNameMouseLeave();

    void CreateControls();
    // Sets a label's text and sizes it to the text, one line high.
    void SetLabelText(QLabel* label, const QString& text);
    QLabel* NewLabel(const char* name, int left, int top, const QString& text, bool bold = false,
                     bool underline = false);

    // Components, in the order of the form's declaration.
    QFrame* lblInfo = nullptr;
    QPushButton* Button1 = nullptr;
    QLabel* Image1 = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* lblCopyRight = nullptr;
    QLabel* lblProgramName = nullptr;
    QLabel* lblVersion = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label7 = nullptr;
    QLabel* Label8 = nullptr;
    QLabel* lblBuild = nullptr;
    QLabel* lblDescription = nullptr;

    version::TFileVersionInfo VersionInfo_;
    double scale_ = 1.0;
    bool linkPressed_ = false;
};

} // namespace korvex::ui
