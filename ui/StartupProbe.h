// For the start-up benchmark: with KORVEX_STARTUP_PROBE set, a program prints the CLOCK_MONOTONIC time in
// nanoseconds when its window is first exposed and quits. Header-only so that the benchmark's empty window
// links nothing more than Qt Widgets and measures the same moment.
#pragma once

#include <QApplication>
#include <QEvent>
#include <QWidget>
#include <QWindow>

#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace korvex::ui {

class StartupProbe : public QObject {
public:
    // Watches `window` when the variable is set; does nothing otherwise. Call before show().
    static void WatchIfAsked(QWidget& window) {
        if (std::getenv("KORVEX_STARTUP_PROBE") == nullptr) {
            return;
        }
        window.winId(); // creates the native window, so its expose events can be watched
        window.windowHandle()->installEventFilter(new StartupProbe(&window));
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Expose && !reported_ && static_cast<QWindow*>(watched)->isExposed()) {
            reported_ = true;
            timespec now{};
            ::clock_gettime(CLOCK_MONOTONIC, &now);
            std::printf("%lld\n", static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec);
            std::fflush(stdout);
            QApplication::exit(0);
        }
        return false;
    }

private:
    explicit StartupProbe(QObject* parent) : QObject(parent) {}
    bool reported_ = false;
};

} // namespace korvex::ui
