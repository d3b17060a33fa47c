// The program's three message boxes and the guard that brings every escaping error to the error box.
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <stdexcept>

#include "platform/MessageBox.h"
#include "ui/ErrorGuard.h"

using korvex::platform::MessageBoxKind;
using korvex::platform::MessageBoxRecorder;
using korvex::platform::MessageBoxRequest;

Q_DECLARE_METATYPE(MessageBoxKind)

class MessageBoxTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { korvex::platform::SetApplicationTitle(QStringLiteral("Korvex")); }

    void errorBoxFullStop_data() {
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("shown");
        QTest::newRow("digit") << QStringLiteral("Can not convert value 1,2,3")
                               << QStringLiteral("Can not convert value 1,2,3.");
        QTest::newRow("letter") << QStringLiteral("Unable to create backup file. Specify also output file name")
                                << QStringLiteral("Unable to create backup file. Specify also output file name.");
        QTest::newRow("slash, the code after the point") << QStringLiteral("a/") << QStringLiteral("a/.");
        QTest::newRow("point itself") << QStringLiteral("Done.") << QStringLiteral("Done.");
        QTest::newRow("hyphen, below the point") << QStringLiteral("a-") << QStringLiteral("a-");
        QTest::newRow("comma") << QStringLiteral("a,") << QStringLiteral("a,");
        QTest::newRow("blank") << QStringLiteral("Can not convert value ") << QStringLiteral("Can not convert value ");
        QTest::newRow("exclamation mark") << QStringLiteral("not specified!!!") << QStringLiteral("not specified!!!");
        QTest::newRow("8-bit letter") << QStringLiteral("Datei \u00e4") << QStringLiteral("Datei \u00e4.");
        QTest::newRow("empty") << QString() << QString();
    }

    void errorBoxFullStop() {
        QFETCH(QString, message);
        QFETCH(QString, shown);
        QCOMPARE(korvex::platform::ErrorBoxText(message), shown);
        // The same through a handler that fails.
        MessageBoxRecorder boxes;
        const bool finished = korvex::ui::RunGuarded([&] { throw std::runtime_error(message.toStdString()); });
        QVERIFY(!finished);
        QCOMPARE(boxes.Shown().size(), std::size_t{1});
        QCOMPARE(boxes.Shown().front().text, shown);
    }

    void guardLetsSuccessPass() {
        MessageBoxRecorder boxes;
        int runs = 0;
        QVERIFY(korvex::ui::RunGuarded([&] { ++runs; }));
        QCOMPARE(runs, 1);
        QVERIFY(boxes.Shown().empty());
        // Not even an error of no known kind gets past the guard.
        QVERIFY(!korvex::ui::RunGuarded([] { throw 42; }));
        QCOMPARE(boxes.Shown().size(), std::size_t{1});
    }

    void boxLooks_data() {
        QTest::addColumn<MessageBoxKind>("kind");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("icon");
        QTest::addColumn<bool>("centred");
        QTest::newRow("error box") << MessageBoxKind::Error << QStringLiteral("Korvex") << QStringLiteral("Bad 1.")
                                   << int(QMessageBox::Critical) << false;
        QTest::newRow("key filter box") << MessageBoxKind::Plain << QStringLiteral("Korvex")
                                        << QStringLiteral("Invalid key: a") << int(QMessageBox::NoIcon) << true;
        QTest::newRow("numerical error box") << MessageBoxKind::NumericalError << QStringLiteral("Numerical Error")
                                             << QStringLiteral("Cant convert abc") << int(QMessageBox::NoIcon) << false;
    }

    void boxLooks() {
        QFETCH(MessageBoxKind, kind);
        QFETCH(QString, caption);
        QFETCH(QString, text);
        QFETCH(int, icon);
        QFETCH(bool, centred);
        MessageBoxRecorder boxes;
        switch (kind) {
        case MessageBoxKind::Error:
            korvex::platform::ShowErrorBox(QStringLiteral("Bad 1"));
            break;
        case MessageBoxKind::Plain:
            korvex::platform::ShowPlainBox(text);
            break;
        case MessageBoxKind::NumericalError:
            korvex::platform::ShowNumericalErrorBox(text);
            break;
        case MessageBoxKind::Question:
            QFAIL("questions have a test of their own");
        }
        QCOMPARE(boxes.Shown().size(), std::size_t{1});
        const MessageBoxRequest request = boxes.Shown().front();
        QCOMPARE(request.kind, kind);
        QCOMPARE(request.caption, caption);
        QCOMPARE(request.text, text);
        QCOMPARE(request.centredOnScreen, centred);
        if (kind != MessageBoxKind::Error) {
            QCOMPARE(request.owner, nullptr);
        }
        const std::unique_ptr<QMessageBox> box = korvex::platform::CreateMessageBox(request);
        QCOMPARE(box->windowTitle(), caption);
        QCOMPARE(box->text(), text);
        QCOMPARE(int(box->icon()), icon);
        QCOMPARE(box->standardButtons(), QMessageBox::StandardButtons(QMessageBox::Ok));
        QCOMPARE(box->windowModality(), Qt::ApplicationModal);
    }

    void questionIsNoUnlessAnsweredYes() {
        MessageBoxRecorder boxes;
        QVERIFY(!korvex::platform::AskYesNo(QStringLiteral("Replace?")));
        boxes.SetNextAnswer([](const MessageBoxRequest& request) { *request.yes = true; });
        QVERIFY(korvex::platform::AskYesNo(QStringLiteral("Replace?")));
        QCOMPARE(boxes.Shown().size(), std::size_t{2});
        const std::unique_ptr<QMessageBox> box = korvex::platform::CreateMessageBox(boxes.Shown().front());
        QCOMPARE(box->standardButtons(), QMessageBox::Yes | QMessageBox::No);
        QCOMPARE(box->defaultButton(), box->button(QMessageBox::No));
        QCOMPARE(box->escapeButton(), box->button(QMessageBox::No));
        QCOMPARE(box->icon(), QMessageBox::Question);
    }

    void realBoxWaitsForOk() {
        QString seenTitle;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (box != nullptr) {
                seenTitle = box->windowTitle();
                box->button(QMessageBox::Ok)->click();
            }
        });
        korvex::platform::ShowNumericalErrorBox(QStringLiteral("Cant convert x"));
        QCOMPARE(seenTitle, QStringLiteral("Numerical Error"));
    }
};

QTEST_MAIN(MessageBoxTest)
#include "MessageBoxTest.moc"
