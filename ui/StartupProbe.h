// For the start-up benchmark: with KORVEX_STARTUP_PROBE set, a program prints two CLOCK_MONOTONIC times in
// nanoseconds, when its window is first exposed and when that first frame has been painted and handed to the
// display, then quits. Header-only so that the benchmark's empty window links nothing more than Qt Widgets and
// measures the same moments.
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
        if (event->type() != QEvent::Expose || reported_ || !static_cast<QWindow*>(watched)->isExposed()) {
            return false;
        }
        reported_ = true;
        const long long exposed = Now();
        // The window paints and flushes its frame while it handles the expose: handled here, the time after it is
        // the moment the window shows its content, whatever it has to draw.
        watched->removeEventFilter(this);
        watched->event(event);
        const long long painted = Now();
        std::printf("%lld %lld\n", exposed, painted);
        std::fflush(stdout);
        QApplication::exit(0);
        return true;
    }

private:
    static long long Now() {
        timespec now{};
        ::clock_gettime(CLOCK_MONOTONIC, &now);
        return static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec;
    }

    explicit StartupProbe(QObject* parent) : QObject(parent) {}
    bool reported_ = false;
};

} // namespace korvex::ui
