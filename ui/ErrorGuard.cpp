#include "ui/ErrorGuard.h"

#include <exception>

#include "platform/MessageBox.h"
#include "ui/WindowHost.h"

namespace korvex::ui {

void ReportCurrentError() noexcept {
    try {
        try {
            throw;
        } catch (const std::exception& error) {
            // Messages are 8-bit texts of the locale, as the engine and the settings write them.
            platform::ShowErrorBox(FromHostText(error.what()));
        } catch (...) {
            platform::ShowErrorBox(QStringLiteral("Unknown error"));
        }
    } catch (...) {
        // Showing the box failed (out of memory); there is nobody left to tell.
    }
}

bool GuardedApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        ReportCurrentError();
        return false;
    }
}

} // namespace korvex::ui
