// The About box: its texts from the version resource, its layout and looks, the link, and hiding and showing.

#include <QDesktopServices>
#include <QDir>
#include <QEnterEvent>
#include <QFileInfo>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <climits>
#include <cstdlib>
#include <memory>

#include "platform/ExecutablePath.h"
#include "ui/TfrmInfo.h"
#include "ui/WindowFont.h"

using korvex::ui::TfrmInfo;

namespace {

const QString kNotice = QStringLiteral("Please inform me about bugs") + QString(14, QLatin1Char(' '));

// An ELF program without our version resource.
std::string ProgramWithoutVersionResource() {
    char resolved[PATH_MAX];
    return realpath("/bin/sh", resolved) != nullptr ? resolved : "/bin/sh";
}

} // namespace

// Receives the addresses that the dialog hands to the desktop.
class UrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void open(const QUrl& url) { opened.append(url); }
};

class TestAboutDialog : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TfrmInfo> dialog_;
    UrlCatcher catcher_;
    double scale_ = 1.0;

    QLabel* Label(const char* name) const {
        QLabel* label = dialog_->findChild<QLabel*>(QString::fromLatin1(name));
        if (label == nullptr) {
            qFatal("no label %s", name);
        }
        return label;
    }
    int S(int value) const { return korvex::ui::Scaled(value, scale_); }

    static void Hover(QWidget* widget, bool enter) {
        if (enter) {
            QEnterEvent event(QPointF(2, 2), QPointF(2, 2), widget->mapToGlobal(QPointF(2, 2)));
            QCoreApplication::sendEvent(widget, &event);
        } else {
            QEvent event(QEvent::Leave);
            QCoreApplication::sendEvent(widget, &event);
        }
    }

private slots:
    void initTestCase() {
        korvex::platform::SetExecutablePathForTesting("");
        scale_ = korvex::ui::WindowScale(korvex::ui::WindowFont());
        QDesktopServices::setUrlHandler(QStringLiteral("https"), &catcher_, "open");
        QDesktopServices::setUrlHandler(QStringLiteral("http"), &catcher_, "open");
    }
    void cleanupTestCase() {
        QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
        QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
    }
    void init() {
        korvex::platform::SetExecutablePathForTesting("");
        catcher_.opened.clear();
        dialog_ = std::make_unique<TfrmInfo>();
    }
    void cleanup() {
        dialog_.reset();
        korvex::platform::SetExecutablePathForTesting("");
    }

    void texts_data() {
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("text");
        QTest::newRow("program name") << "lblProgramName"
                                      << "Korvex";
        QTest::newRow("copyright") << "lblCopyRight"
                                   << "Copyright (C) 2026 Korvex developers";
        QTest::newRow("version") << "lblVersion"
                                 << "Version: 1.3";
        QTest::newRow("build") << "lblBuild"
                               << "Build: 1.3.0.1";
        QTest::newRow("description") << "lblDescription"
                                     << "Korvex";
        QTest::newRow("terms of use") << "Label4"
                                      << "Free to use under the MIT licence";
        QTest::newRow("mail") << "Label8"
                              << "Mail: korvex@korvex.example";
        QTest::newRow("bugs") << "Label7" << kNotice;
        QTest::newRow("warranty") << "Label2"
                                  << "Please read the warranty conditions in";
        QTest::newRow("readme") << "Label3"
                                << "Readme.txt beside the program";
    }
    void texts() {
        QFETCH(QString, label);
        QFETCH(QString, text);
        QLabel* widget = Label(qPrintable(label));
        QCOMPARE(widget->text(), text);
        QCOMPARE(widget->textFormat(), Qt::PlainText);
        // Labels take the width of their text and one line.
        QCOMPARE(widget->width(), widget->fontMetrics().horizontalAdvance(text));
        QCOMPARE(widget->height(), widget->fontMetrics().height());
        QCOMPARE(widget->parentWidget()->objectName(), QStringLiteral("lblInfo"));
        QCOMPARE(widget->focusPolicy(), Qt::NoFocus);
    }

    // Where the box says the Readme is: the files laid out as a portable copy, an installed prefix, or neither.
    void readmeLocation_data() {
        QTest::addColumn<QStringList>("files"); // beside the program in bin/, relative to the prefix
        QTest::addColumn<QString>("location");  // "PREFIX" stands for the prefix's real path
        QTest::newRow("portable") << QStringList{"bin/Readme.txt"} << "Readme.txt beside the program";
        QTest::newRow("installed") << QStringList{"share/doc/korvex/Readme.txt"}
                                   << "PREFIX/share/doc/korvex/Readme.txt";
        QTest::newRow("portable copy inside a prefix")
            << QStringList{"bin/Readme.txt", "share/doc/korvex/Readme.txt"} << "Readme.txt beside the program";
        QTest::newRow("none") << QStringList{} << "Readme.txt beside the program";
    }
    void readmeLocation() {
        QFETCH(QStringList, files);
        QFETCH(QString, location);
        const QTemporaryDir prefix;
        QVERIFY(QDir(prefix.path()).mkpath(QStringLiteral("bin")));
        for (const QString& file : files) {
            QVERIFY(QDir(prefix.path()).mkpath(QFileInfo(file).path()));
            QFile readme(prefix.filePath(file));
            QVERIFY(readme.open(QIODevice::WriteOnly));
        }
        location.replace(QStringLiteral("PREFIX"), QFileInfo(prefix.path()).canonicalFilePath());
        QCOMPARE(TfrmInfo::ReadmeLocation(prefix.filePath(QStringLiteral("bin/korvex")).toStdString()), location);
    }

    void executableWithoutVersionResource_data() {
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("text");
        QTest::newRow("program name") << "lblProgramName"
                                      << "";
        QTest::newRow("copyright") << "lblCopyRight"
                                   << "";
        QTest::newRow("version") << "lblVersion"
                                 << "Version: ";
        QTest::newRow("build") << "lblBuild"
                               << "Build: ";
        QTest::newRow("description") << "lblDescription"
                                     << "";
        QTest::newRow("notes stay") << "Label7" << kNotice;
    }
    void executableWithoutVersionResource() {
        QFETCH(QString, label);
        QFETCH(QString, text);
        korvex::platform::SetExecutablePathForTesting(ProgramWithoutVersionResource());
        dialog_ = std::make_unique<TfrmInfo>();
        QCOMPARE(Label(qPrintable(label))->text(), text);
        QCOMPARE(Label(qPrintable(label))->width(), Label(qPrintable(label))->fontMetrics().horizontalAdvance(text));
        QVERIFY(!dialog_->findChild<QLabel*>(QStringLiteral("Image1"))->pixmap().isNull());
        QVERIFY(dialog_->VersionInfo().ProductName.empty());
        QVERIFY(!dialog_->VersionInfo().ShellTypeName.empty());
    }

    void emptyProgramNameCannotBeClicked() {
        korvex::platform::SetExecutablePathForTesting(ProgramWithoutVersionResource());
        dialog_ = std::make_unique<TfrmInfo>();
        dialog_->ShowInFront();
        QCOMPARE(Label("lblProgramName")->width(), 0);
        QTest::mouseClick(dialog_->findChild<QFrame*>(QStringLiteral("lblInfo")), Qt::LeftButton, {},
                          QPoint(S(9), S(9)));
        QVERIFY(catcher_.opened.isEmpty());
    }

    void window() {
        QCOMPARE(dialog_->windowTitle(), QStringLiteral("Info"));
        QVERIFY(dialog_->isHidden());
        QCOMPARE(dialog_->size(), QSize(S(305), S(414)));
        const Qt::WindowFlags flags = dialog_->windowFlags();
        QVERIFY(flags & Qt::Window);
        QVERIFY(flags & Qt::WindowMinimizeButtonHint);
        QVERIFY(flags & Qt::WindowCloseButtonHint);
        QVERIFY(flags & Qt::WindowSystemMenuHint);
        QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));
        QVERIFY(!dialog_->testAttribute(Qt::WA_QuitOnClose));
        QCOMPARE(dialog_->windowIcon().availableSizes(), QList<QSize>{QSize(16, 16)});
        QCOMPARE(dialog_->palette().color(QPalette::Window), dialog_->palette().color(QPalette::Button));
        QCOMPARE(dialog_->font().pointSize(), 8);
        if (korvex::ui::HasWindowFontFace()) {
            QCOMPARE(dialog_->font().family(), QStringLiteral("MS Sans Serif"));
        }
        QCOMPARE(QFontMetrics(dialog_->font()).height(), S(13));
    }

    void geometry_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRect>("designed"); // width or height 0: sized to the text
        QTest::newRow("Image1") << "Image1" << QRect(8, 8, 289, 193);
        QTest::newRow("lblInfo") << "lblInfo" << QRect(8, 208, 289, 169);
        QTest::newRow("Button1") << "Button1" << QRect(112, 384, 75, 25);
        QTest::newRow("lblProgramName") << "lblProgramName" << QRect(8, 8, 0, 0);
        QTest::newRow("lblCopyRight") << "lblCopyRight" << QRect(10, 24, 0, 0);
        QTest::newRow("Label4") << "Label4" << QRect(8, 40, 0, 0);
        QTest::newRow("lblVersion") << "lblVersion" << QRect(8, 56, 0, 0);
        QTest::newRow("Label8") << "Label8" << QRect(8, 72, 0, 0);
        QTest::newRow("lblBuild") << "lblBuild" << QRect(8, 88, 0, 0);
        QTest::newRow("lblDescription") << "lblDescription" << QRect(8, 104, 0, 0);
        QTest::newRow("Label7") << "Label7" << QRect(8, 120, 0, 0);
        QTest::newRow("Label2") << "Label2" << QRect(8, 136, 0, 0);
        QTest::newRow("Label3") << "Label3" << QRect(8, 152, 0, 0);
    }
    void geometry() {
        QFETCH(QString, name);
        QFETCH(QRect, designed);
        const QWidget* widget = dialog_->findChild<QWidget*>(name);
        QVERIFY(widget != nullptr);
        QCOMPARE(widget->pos(), QPoint(S(designed.left()), S(designed.top())));
        if (designed.width() > 0) {
            QCOMPARE(widget->size(), QSize(S(designed.width()), S(designed.height())));
        }
    }

    void controlsInDeclarationOrder() {
        QStringList order;
        for (const QObject* child : dialog_->children()) {
            if (child->isWidgetType()) {
                order << child->objectName();
                for (const QObject* inner : child->children()) {
                    if (inner->isWidgetType()) {
                        order << inner->objectName();
                    }
                }
            }
        }
        QCOMPARE(order, (QStringList{"lblInfo", "Label4", "lblCopyRight", "lblProgramName", "lblVersion", "Label2",
                                     "Label3", "Label7", "Label8", "lblBuild", "lblDescription", "Button1", "Image1"}));
    }

    void looks() {
        QLabel* link = Label("lblProgramName");
        QVERIFY(link->property("bold").toBool());
        QVERIFY(link->font().underline());
        QCOMPARE(link->palette().color(QPalette::WindowText), QColor(0, 0, 255));
        QCOMPARE(link->cursor().shape(), Qt::ArrowCursor);
        for (const char* name : {"Label7", "Label2", "Label3"}) {
            QLabel* note = Label(name);
            QVERIFY2(note->property("bold").toBool(), name);
            QVERIFY2(note->autoFillBackground(), name);
            QCOMPARE(note->palette().color(QPalette::Window), QColor(255, 255, 0));
        }
        for (const char* name : {"lblCopyRight", "Label4", "lblVersion", "Label8", "lblBuild", "lblDescription"}) {
            QVERIFY2(!Label(name)->property("bold").toBool(), name);
            QVERIFY2(!Label(name)->autoFillBackground(), name);
        }
        const auto* panel = dialog_->findChild<QFrame*>(QStringLiteral("lblInfo"));
        QCOMPARE(panel->frameShape(), QFrame::Panel);
        QCOMPARE(panel->frameShadow(), QFrame::Sunken);
        const auto* close = dialog_->findChild<QPushButton*>(QStringLiteral("Button1"));
        QCOMPARE(close->text(), QStringLiteral("Close"));
        QVERIFY(!close->isDefault());
        QVERIFY(!close->autoDefault());
    }

    void pictureAtNaturalSizeFromTheTopLeft() {
        const auto* image = dialog_->findChild<QLabel*>(QStringLiteral("Image1"));
        QCOMPARE(image->pixmap().size(), QSize(292, 193));
        QCOMPARE(image->width(), S(289));
        const QImage picture = image->pixmap().toImage();
        const QImage shown = const_cast<QLabel*>(image)->grab().toImage();
        for (const QPoint& at : {QPoint(0, 0), QPoint(40, 40), QPoint(288, 100), QPoint(200, 192)}) {
            QCOMPARE(shown.pixelColor(at), picture.pixelColor(at));
        }
    }

    void linkTurnsPurpleUnderThePointer() {
        QLabel* link = Label("lblProgramName");
        for (int round = 0; round < 2; ++round) {
            Hover(link, true);
            QCOMPARE(link->palette().color(QPalette::WindowText), QColor(128, 0, 128));
            Hover(link, false);
            QCOMPARE(link->palette().color(QPalette::WindowText), QColor(0, 0, 255));
        }
    }

    void linkClickOpensTheMakersPage() {
        dialog_->ShowInFront();
        QLabel* link = Label("lblProgramName");
        QTest::mouseClick(link, Qt::LeftButton, {}, QPoint(3, 3));
        QCOMPARE(catcher_.opened, QList<QUrl>{QUrl(QStringLiteral("https://korvex.example/"))});

        // Pressed elsewhere, released on the label: no click. Right button: no click.
        catcher_.opened.clear();
        QTest::mousePress(link, Qt::LeftButton, {}, QPoint(3, 3));
        QTest::mouseRelease(link, Qt::LeftButton, {}, QPoint(link->width() + 20, 3));
        QTest::mouseClick(link, Qt::RightButton, {}, QPoint(3, 3));
        QVERIFY(catcher_.opened.isEmpty());
    }

    void closeThenAboutShowsTheSameTexts() {
        dialog_->ShowInFront();
        QVERIFY(dialog_->isVisible());
        QTest::mouseClick(dialog_->findChild<QPushButton*>(QStringLiteral("Button1")), Qt::LeftButton);
        QVERIFY(dialog_->isHidden());

        // Were the resource read again, these texts would now be empty.
        korvex::platform::SetExecutablePathForTesting(ProgramWithoutVersionResource());
        dialog_->ShowInFront();
        QVERIFY(dialog_->isVisible());
        QCOMPARE(Label("lblProgramName")->text(), QStringLiteral("Korvex"));
        QCOMPARE(Label("lblVersion")->text(), QStringLiteral("Version: 1.3"));
        QCOMPARE(Label("lblBuild")->text(), QStringLiteral("Build: 1.3.0.1"));
        QCOMPARE(dialog_->VersionInfo().FileVersion, std::string("1.3.0.1"));

        // The close box hides it the same way.
        QVERIFY(dialog_->close());
        QVERIFY(dialog_->isHidden());
        dialog_->ShowInFront();
        QCOMPARE(Label("lblCopyRight")->text(), QStringLiteral("Copyright (C) 2026 Korvex developers"));
    }

    void escapeAndEnterDoNotClose() {
        dialog_->ShowInFront();
        QVERIFY(QTest::qWaitForWindowExposed(dialog_.get()));
        QTest::keyClick(dialog_.get(), Qt::Key_Escape);
        QTest::keyClick(dialog_->findChild<QPushButton*>(QStringLiteral("Button1")), Qt::Key_Escape);
        QTest::keyClick(dialog_->findChild<QPushButton*>(QStringLiteral("Button1")), Qt::Key_Return);
        QVERIFY(dialog_->isVisible());
    }

    void shownCentredOnTheScreen() {
        dialog_->ShowInFront();
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        const QRect shown = dialog_->frameGeometry();
        QCOMPARE(shown.left() - screen.left(), screen.right() - shown.right() - (screen.width() - shown.width()) % 2);
        QCOMPARE(shown.top() - screen.top(), screen.bottom() - shown.bottom() - (screen.height() - shown.height()) % 2);
    }
};

QTEST_MAIN(TestAboutDialog)
#include "tst_about.moc"
