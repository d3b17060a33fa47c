// The window's font: the real face where Wine's fonts are installed, and where it is missing (the suite runs
// this a second time with KORVEX_FONT_DIRS pointing at an empty folder) a stand-in in which every caption
// still fits its control, on the same layout.
#include <QCheckBox>
#include <QFile>
#include <QFontInfo>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QTest>

#include <memory>

#include "tests/ui/WindowFixture.h"
#include "ui/TfrmKorvex.h"
#include "ui/WindowFont.h"

using korvex::test::WindowFixture;
using korvex::ui::TfrmKorvex;

class WindowFontTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<WindowFixture> fixture_;
    std::unique_ptr<TfrmKorvex> window_;

    static bool FontHidden() { return qEnvironmentVariableIsSet("KORVEX_FONT_DIRS"); }

private slots:
    void init() {
        fixture_ = std::make_unique<WindowFixture>();
        window_ = std::make_unique<TfrmKorvex>();
    }

    void cleanup() {
        window_.reset();
        fixture_.reset();
    }

    void faceFoundOrStandIn() {
        const QString family = QFontInfo(window_->font()).family();
        if (FontHidden()) {
            QVERIFY(!korvex::ui::HasWindowFontFace());
            QVERIFY2(family != QStringLiteral("MS Sans Serif"), qPrintable(family));
        } else if (QFile::exists(QStringLiteral("/usr/share/wine/fonts/ms_sans_serif.ttf"))) {
            QVERIFY(korvex::ui::HasWindowFontFace());
            QCOMPARE(family, QStringLiteral("MS Sans Serif"));
        }
        // Either way the layout is the design's at 96 dpi.
        QCOMPARE(korvex::ui::WindowScale(window_->font()), 1.0);
        QCOMPARE(window_->centralWidget()->size(), QSize(896, 760));
    }

    void everyCaptionFits_data() {
        QTest::addColumn<QString>("name");
        // The rows are the window's captioned controls, found in a window of their own.
        const WindowFixture fixture;
        const TfrmKorvex window;
        for (const QWidget* widget : window.centralWidget()->findChildren<QWidget*>()) {
            const bool captioned = (qobject_cast<const QLabel*>(widget) != nullptr &&
                                    !qobject_cast<const QLabel*>(widget)->text().isEmpty()) ||
                                   qobject_cast<const QAbstractButton*>(widget) != nullptr;
            if (captioned && !widget->objectName().isEmpty()) {
                QTest::newRow(qPrintable(widget->objectName())) << widget->objectName();
            }
        }
    }

    void everyCaptionFits() {
        QFETCH(QString, name);
        auto* widget = window_->centralWidget()->findChild<QWidget*>(name);
        QVERIFY(widget != nullptr);
        QString text;
        int room = widget->width();
        if (auto* label = qobject_cast<QLabel*>(widget)) {
            text = label->text();
        } else if (auto* box = qobject_cast<QCheckBox*>(widget)) {
            text = box->text();
            room -= box->style()->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, box) +
                    box->style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, nullptr, box);
        } else if (auto* button = qobject_cast<QPushButton*>(widget)) {
            text = button->text();
            room -= 2 * button->style()->pixelMetric(QStyle::PM_ButtonMargin, nullptr, button);
        }
        const int needed = QFontMetrics(widget->font()).horizontalAdvance(text);
        QVERIFY2(needed <= room, qPrintable(QStringLiteral("\"%1\" needs %2 of %3").arg(text).arg(needed).arg(room)));
    }
};

QTEST_MAIN(WindowFontTest)
#include "WindowFontTest.moc"
