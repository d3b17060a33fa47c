// The yardstick for korvex's start-up: an empty Qt Widgets window of the same size, watched the same way.
#include <QApplication>
#include <QWidget>

#include "ui/StartupProbe.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QWidget window;
    window.resize(896, 784);
    korvex::ui::StartupProbe::WatchIfAsked(window);
    window.show();
    return QApplication::exec();
}
