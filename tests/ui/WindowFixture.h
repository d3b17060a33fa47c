// What every window test needs: the program's files in a temporary folder that holds the window's design
// values (so loading the settings leaves the window as designed), the application title, and message boxes
// recorded instead of shown.
#pragma once

#include <QApplication>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>

#include "platform/MessageBox.h"

class QWidget;

namespace korvex::test {

class WindowFixture {
public:
    WindowFixture();
    ~WindowFixture();
    WindowFixture(const WindowFixture&) = delete;
    WindowFixture& operator=(const WindowFixture&) = delete;

    QString Folder() const { return folder_.path(); }
    platform::MessageBoxRecorder& Boxes() { return boxes_; }
    // "kind|caption|text" of every box shown so far.
    QStringList BoxLog() const;

private:
    QTemporaryDir folder_;
    platform::MessageBoxRecorder boxes_;
};

// The child of `root` with the given objectName, or nullptr.
QObject* FindByName(QObject& root, const QString& name);

// Runs `answer` on the dialog that `open` shows, then lets `open` return.
template <typename Dialog>
void Answer(const std::function<void()>& open, const std::function<void(Dialog&)>& answer) {
    bool answered = false;
    QTimer::singleShot(0, [&] {
        if (auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget())) {
            answer(*dialog);
            answered = true;
        }
    });
    open();
    QVERIFY(answered);
}

} // namespace korvex::test
