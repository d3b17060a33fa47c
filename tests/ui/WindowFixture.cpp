#include "tests/ui/WindowFixture.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>

#include <stdexcept>

#include "platform/ExecutablePath.h"
#include "ui/TfrmKorvex.h"

namespace korvex::test {

namespace {

void WriteFile(const QString& path, const QByteArray& content) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(content) != content.size()) {
        throw std::runtime_error("cannot write " + path.toStdString());
    }
}

const char* KindName(platform::MessageBoxKind kind) {
    switch (kind) {
    case platform::MessageBoxKind::Error:
        return "error";
    case platform::MessageBoxKind::Plain:
        return "plain";
    case platform::MessageBoxKind::NumericalError:
        return "numerical";
    case platform::MessageBoxKind::Question:
        return "question";
    }
    return "?";
}

} // namespace

WindowFixture::WindowFixture() {
    if (!folder_.isValid()) {
        throw std::runtime_error("no temporary folder");
    }
    const QString executable = folder_.filePath(QStringLiteral("korvex"));
    // The window's design values, as a saved settings file would give them back.
    WriteFile(executable + QStringLiteral(".INI"), "[Settings]\r\n"
                                                   "IncludeLineNumber=0\r\n"
                                                   "XOffsett=0\r\n"
                                                   "YOffsett=0\r\n"
                                                   "ZAuf=1\r\n"
                                                   "edZab=2\r\n"
                                                   "edZOffsett=0\r\n"
                                                   "Divisor=1\r\n"
                                                   "DeltaLineNumberIndex=1\r\n"
                                                   "SuppressLeadingZeros=0\r\n"
                                                   "G81Enabled=0\r\n");
    WriteFile(folder_.filePath(QStringLiteral("TxMacroBefore.txt")), "G00 Z30\r\n");
    WriteFile(folder_.filePath(QStringLiteral("TxMacroAfter.txt")), "M06\r\nG00 Z20\r\n");
    platform::SetExecutablePathForTesting(executable.toStdString());
    platform::SetApplicationTitle(QStringLiteral("Korvex"));
    // Closing a test's window must not end the test program.
    QApplication::setQuitOnLastWindowClosed(false);
}

WindowFixture::~WindowFixture() {
    platform::SetExecutablePathForTesting(std::string());
}

QStringList WindowFixture::BoxLog() const {
    QStringList log;
    for (const platform::MessageBoxRequest& box : boxes_.Shown()) {
        log << QString::fromLatin1(KindName(box.kind)) + u'|' + box.caption + u'|' + box.text;
    }
    return log;
}

QObject* FindByName(QObject& root, const QString& name) {
    // The window's file dialogs are built on first use; asking for one by name is such a use.
    if (auto* window = qobject_cast<ui::TfrmKorvex*>(&root)) {
        if (name == QLatin1String("InputFileDlg")) {
            return window->InputFileDlg.get();
        }
        if (name == QLatin1String("SaveDialog1")) {
            return window->SaveDialog1.get();
        }
    }
    return root.findChild<QObject*>(name);
}

} // namespace korvex::test
