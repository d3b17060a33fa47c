// Errors never cross Qt's event loop: every event handler of the windows runs under RunGuarded, which shows
// an escaping error in the application's error box and skips the rest of that handler. The program goes on.
#pragma once

#include <QApplication>

namespace korvex::ui {

// Shows the error being handled (inside a catch block) in the application's error box.
void ReportCurrentError() noexcept;

// Runs `handler`; returns false when it raised an error, which has then been shown.
template <typename Handler>
bool RunGuarded(Handler&& handler) noexcept {
    try {
        handler();
        return true;
    } catch (...) {
        ReportCurrentError();
        return false;
    }
}

// The application object of the windowed program: the last line of defence for an error that escapes an
// event handler that forgot its guard.
class GuardedApplication : public QApplication {
public:
    GuardedApplication(int& argc, char** argv) : QApplication(argc, argv) {}
    bool notify(QObject* receiver, QEvent* event) override;
};

} // namespace korvex::ui
