// korvex: the windowed converter.
#include <QIcon>
#include <QStringList>

#include <future>
#include <memory>

#include "platform/FontFiles.h"
#include "platform/MessageBox.h"
#include "ui/ErrorGuard.h"
#include "ui/StartupProbe.h"
#include "ui/TfrmInfo.h"
#include "ui/TfrmKorvex.h"

int main(int argc, char** argv) {
    // Loading the font configuration takes about as long as building the application object; a thread does it
    // meanwhile, ready for the window's first text.
    std::future<void> fonts =
        std::async(std::launch::async | std::launch::deferred, korvex::platform::LoadFontConfiguration);
    korvex::ui::GuardedApplication application(argc, argv);
    const QString title = QStringLiteral("Korvex");
    QApplication::setApplicationName(title);
    korvex::platform::SetApplicationTitle(title);

    fonts.get();
    korvex::ui::TfrmKorvex frmKorvex;
    QApplication::setWindowIcon(frmKorvex.windowIcon());

    // Created on the first "About": reading the version resource and asking for the file's type name cost
    // time the window's start should not pay.
    std::unique_ptr<korvex::ui::TfrmInfo> frmInfo;
    frmKorvex.SetAboutDialog([&frmInfo] {
        if (!frmInfo) {
            frmInfo = std::make_unique<korvex::ui::TfrmInfo>();
        }
        frmInfo->ShowInFront();
    });

    korvex::ui::StartupProbe::WatchIfAsked(frmKorvex);
    frmKorvex.show();
    // `korvex FILE` (the desktop entry's "Exec=korvex %f"): FILE is the input, as if chosen with Input File.
    const QStringList arguments = QApplication::arguments();
    if (arguments.size() > 1 && !arguments.at(1).startsWith(u'-')) {
        frmKorvex.OpenInputFile(arguments.at(1));
    }
    return QApplication::exec();
}
