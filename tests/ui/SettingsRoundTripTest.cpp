// The window's settings survive closing and starting again: values set in one window come back in the next
// window on the same executable folder.
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>

#include <memory>

#include "conversion/ConversionState.h"
#include "tests/ui/WindowFixture.h"
#include "ui/TfrmKorvex.h"

using korvex::settings::FileDialog;
using korvex::test::WindowFixture;
using korvex::ui::TfrmKorvex;

class SettingsRoundTripTest : public QObject {
    Q_OBJECT

private slots:
    void valuesComeBackInTheNextWindow() {
        WindowFixture fixture;
        const QString sources = fixture.Folder() + QStringLiteral("/sources");
        QVERIFY(QDir().mkpath(sources));
        // The save dialog's folder is written as "DestDir" but read from "SaveDir": only a hand-written
        // "SaveDir" moves it away from the executable's folder.
        const QString handWritten = fixture.Folder() + QStringLiteral("/programs");
        QVERIFY(QDir().mkpath(handWritten));
        {
            QFile ini(fixture.Folder() + QStringLiteral("/korvex.INI"));
            QVERIFY(ini.open(QIODevice::Append));
            ini.write(("[Program]\r\nSaveDir=" + handWritten + "\r\n").toLocal8Bit());
        }

        auto first = std::make_unique<TfrmKorvex>();
        first->show();
        first->edXOffsett->setText(QStringLiteral("1.5"));
        first->edYOffsett->setText(QStringLiteral("-2"));
        first->edZOffsett->setText(QStringLiteral("2.5"));
        first->edZab->setText(QStringLiteral("-1.8"));
        first->edZauf->setText(QStringLiteral("3"));
        first->edDivider->setText(QStringLiteral("abc"));
        first->chkIncludeLineNumber->click();
        first->chkSuppressLeadingZeros->setChecked(true);
        first->SelectDeltaLineNumberIndex(3);
        first->meTxBefore->setPlainText(QStringLiteral("G00 Z40\nM05"));
        first->meTxAfter->setPlainText(QStringLiteral("M06\n\nG00 Z25\n"));
        first->SetG81EditEnabled(true);
        first->SetInitialFolder(FileDialog::Input, sources.toStdString());
        QVERIFY(first->close());
        QCOMPARE(fixture.BoxLog(), QStringList());
        first.reset();

        korvex::conversion::ConversionState& state = korvex::conversion::TheConversionState();
        state.LineNumbersOn = false;
        state.LineNumberIncrement = 1;
        const TfrmKorvex second;
        QCOMPARE(fixture.BoxLog(), QStringList());
        QCOMPARE(second.edXOffsett->text(), QStringLiteral("1.5"));
        QCOMPARE(second.edYOffsett->text(), QStringLiteral("-2"));
        QCOMPARE(second.edZOffsett->text(), QStringLiteral("2.5"));
        QCOMPARE(second.edZab->text(), QStringLiteral("-1.8"));
        QCOMPARE(second.edZauf->text(), QStringLiteral("3"));
        QCOMPARE(second.edDivider->text(), QStringLiteral("abc"));
        QVERIFY(second.chkIncludeLineNumber->isChecked());
        QVERIFY(state.LineNumbersOn);
        QVERIFY(second.chkSuppressLeadingZeros->isChecked());
        QCOMPARE(second.cbDeltaLineNumber->currentText(), QStringLiteral("50"));
        QCOMPARE(state.LineNumberIncrement, 50);
        QCOMPARE(second.meTxBefore->toPlainText(), QStringLiteral("G00 Z40\nM05"));
        QCOMPARE(second.meTxAfter->toPlainText(), QStringLiteral("M06\n\nG00 Z25\n"));
        QVERIFY(second.edG81->isEnabled());
        QVERIFY(!second.chkG79->isChecked());
        QCOMPARE(second.InputFileDlg->directory().absolutePath(), sources);
        QCOMPARE(second.SaveDialog1->directory().absolutePath(), handWritten);

        QFile ini(fixture.Folder() + QStringLiteral("/korvex.INI"));
        QVERIFY(ini.open(QIODevice::ReadOnly));
        const QByteArray text = ini.readAll();
        QVERIFY(text.contains(("SourceDir=" + sources + "\r\n").toLocal8Bit()));
        QVERIFY(text.contains(("DestDir=" + handWritten + "\r\n").toLocal8Bit()));
        QVERIFY(text.contains(("SaveDir=" + handWritten + "\r\n").toLocal8Bit()));
    }
};

QTEST_MAIN(SettingsRoundTripTest)
#include "SettingsRoundTripTest.moc"
