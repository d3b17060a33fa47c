// korvex: the windowed converter.
#include <QDialog>
#include <QIcon>

#include "platform/MessageBox.h"
#include "ui/ErrorGuard.h"
#include "ui/TfrmKorvex.h"

int main(int argc, char** argv) {
    korvex::ui::GuardedApplication application(argc, argv);
    const QString title = QStringLiteral("Korvex");
    QApplication::setApplicationName(title);
    korvex::platform::SetApplicationTitle(title);

    korvex::ui::TfrmKorvex frmKorvex;
    QApplication::setWindowIcon(frmKorvex.windowIcon());

    // Stand-in for the About dialog: created hidden right after the main window, shown by "Info" / "About".
    QDialog frmInfo;
    frmInfo.setObjectName(QStringLiteral("frmInfo"));
    frmInfo.setWindowTitle(QStringLiteral("Info"));
    // Closing the main window ends the program, also while the About dialog is open.
    frmInfo.setAttribute(Qt::WA_QuitOnClose, false);
    frmKorvex.SetAboutDialog([&frmInfo] {
        frmInfo.show();
        frmInfo.raise();
        frmInfo.activateWindow();
    });

    frmKorvex.show();
    return QApplication::exec();
}
