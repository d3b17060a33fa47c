// The main window as the operator meets it: every control at its place with its design content, the
// window's frame, font and drawing, the menu and the dialogs, the keyboard's tab order, opening, closing
// and "About", and what the settings see of the controls.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFontDatabase>
#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QWindow>

#include <memory>
#include <stdexcept>

#include "conversion/ConversionState.h"
#include "platform/DecimalSeparator.h"
#include "tests/ui/WindowFixture.h"
#include "ui/Drawing.h"
#include "ui/TfrmKorvex.h"

using korvex::test::FindByName;
using korvex::test::WindowFixture;
using korvex::ui::TfrmKorvex;

namespace {

// What a control shows of its design content, in one text.
QString Content(QObject* object) {
    if (auto* label = qobject_cast<QLabel*>(object)) {
        return label->pixmap().isNull() ? label->text() : QStringLiteral("<picture>");
    }
    if (auto* edit = qobject_cast<QLineEdit*>(object)) {
        return edit->text();
    }
    if (auto* box = qobject_cast<QCheckBox*>(object)) {
        return box->text() + (box->isChecked() ? QStringLiteral(" [x]") : QStringLiteral(" [ ]"));
    }
    if (auto* button = qobject_cast<QPushButton*>(object)) {
        return button->text();
    }
    if (auto* memo = qobject_cast<QPlainTextEdit*>(object)) {
        return memo->toPlainText();
    }
    if (auto* combo = qobject_cast<QComboBox*>(object)) {
        QStringList items;
        for (int i = 0; i < combo->count(); ++i) {
            items << combo->itemText(i);
        }
        return items.join(u',') + QStringLiteral(" @") + QString::number(combo->currentIndex());
    }
    if (auto* menu = qobject_cast<QMenu*>(object)) {
        return menu->title();
    }
    if (auto* action = qobject_cast<QAction*>(object)) {
        return action->text();
    }
    if (auto* widget = qobject_cast<QWidget*>(object)) {
        return widget->windowTitle();
    }
    return QString();
}

// The controls in the keyboard's tab order, hidden ones included.
const char* const kTabOrder[] = {"edXOffsett",
                                 "edYOffsett",
                                 "btnConvertCon",
                                 "meOutput",
                                 "Button1",
                                 "Button2",
                                 "edZab",
                                 "edZauf",
                                 "edInputFileName",
                                 "edOutputFileName",
                                 "edZOffsett",
                                 "meTxBefore",
                                 "meTxAfter",
                                 "edDivider",
                                 "chkSuppressLeadingZeros",
                                 "chkIncludeLineNumber",
                                 "chkG79",
                                 "edG81",
                                 "cbDeltaLineNumber"};

// A window whose saving can be watched and made to fail.
class WatchedWindow : public TfrmKorvex {
public:
    int saves = 0;
    bool failSaving = false;

private:
    void SaveSettings() override {
        ++saves;
        if (failSaving) {
            throw std::runtime_error("In /nowhere/korvex.INI kann nicht geschrieben werden");
        }
    }
};

} // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<WindowFixture> fixture_;
    std::unique_ptr<WatchedWindow> window_;

    QWidget* Widget(const char* name) {
        auto* widget = qobject_cast<QWidget*>(FindByName(*window_, QString::fromLatin1(name)));
        if (widget == nullptr) {
            qFatal("no control %s", name);
        }
        return widget;
    }

    void ShowActive() {
        window_->show();
        QApplication::setActiveWindow(window_.get());
        QVERIFY(QTest::qWaitForWindowActive(window_.get()));
    }

private slots:
    void init() {
        fixture_ = std::make_unique<WindowFixture>();
        window_ = std::make_unique<WatchedWindow>();
    }

    void cleanup() {
        window_.reset();
        fixture_.reset();
    }

    void controlTable_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QRect>("geometry");
        QTest::addColumn<QString>("content");
        QTest::addColumn<bool>("tabStop");
        QTest::addColumn<bool>("visible");
        QTest::addColumn<bool>("enabled");
        const auto row = [](const char* name, const char* kind, QRect geometry, const QString& content, bool tabStop,
                            bool visible = true, bool enabled = true) {
            QTest::newRow(name) << QString::fromLatin1(kind) << geometry << content << tabStop << visible << enabled;
        };
        const QRect none;
        const auto s = [](const char* text) { return QString::fromLatin1(text); };
        row("edXOffsett", "QLineEdit", {63, 80, 77, 23}, s("0"), true);
        row("edYOffsett", "QLineEdit", {63, 109, 77, 21}, s("0"), true);
        row("Label1", "QLabel", {8, 85, 36, 13}, s("xOffsett"), false);
        row("Label2", "QLabel", {8, 113, 36, 13}, s("yOffsett"), false);
        row("btnConvertCon", "QPushButton", {228, 537, 132, 22}, s("Convert"), true);
        row("InputFileDlg", "QFileDialog", none, s("Select cnc file"), false, false);
        row("SaveDialog1", "QFileDialog", none, s("Save File"), false, false);
        row("Button1", "QPushButton", {8, 8, 97, 21}, s("Input File"), true);
        row("Button2", "QPushButton", {8, 42, 97, 21}, s("Output File"), true);
        row("edZab", "QLineEdit", {257, 81, 81, 21}, s("2"), true);
        row("edZauf", "QLineEdit", {258, 109, 81, 21}, s("1"), true);
        row("lblzauf", "QLabel", {201, 113, 20, 13}, s("z up"), false);
        row("Label4", "QLabel", {201, 85, 37, 13}, s("z  down"), false);
        row("Label3", "QLabel", {146, 85, 16, 13}, s("mm"), false);
        row("Label5", "QLabel", {345, 113, 16, 13}, s("mm"), false);
        row("Label6", "QLabel", {344, 85, 16, 13}, s("mm"), false);
        row("Label7", "QLabel", {146, 113, 16, 13}, s("mm"), false);
        row("Image1", "QLabel", {376, 83, 511, 449}, s("<picture>"), false);
        row("edInputFileName", "QLineEdit", {111, 8, 776, 21}, s("please specify"), true);
        row("edOutputFileName", "QLineEdit", {111, 42, 776, 21}, s("please specify"), true);
        row("edZOffsett", "QLineEdit", {63, 139, 77, 21}, s("0"), true);
        row("lblZOffsett", "QLabel", {8, 143, 36, 13}, s("zOffsett"), false);
        row("meOutput", "QPlainTextEdit", {8, 565, 880, 186}, s("\n"), true);
        row("Label8", "QLabel", {8, 546, 60, 13}, s("Output result"), false);
        row("MainMenu1", "QMenuBar", none, QString(), false);
        row("File1", "QMenu", none, s("&File"), false, false);
        row("Exit1", "QAction", none, s("C&lose Converter"), false);
        row("Info1", "QMenu", none, s("&Info"), false, false);
        row("About1", "QAction", none, s("&About"), false);
        row("Label9", "QLabel", {146, 143, 16, 13}, s("mm"), false);
        row("Savesettings1", "QAction", none, s("&Save settings"), false);
        row("Label10", "QLabel", {8, 375, 132, 13}, s("G-Code before Tool change"), false);
        row("Label11", "QLabel", {8, 199, 119, 13}, s("G-Code after tool change"), false);
        row("meTxBefore", "QPlainTextEdit", {8, 394, 353, 129}, s("G00 Z30\n"), true);
        row("meTxAfter", "QPlainTextEdit", {8, 218, 352, 143}, s("M06\nG00 Z20\n"), true);
        row("edDivider", "QLineEdit", {257, 139, 81, 21}, s("1"), true);
        row("Label12", "QLabel", {201, 143, 32, 13}, s("Divisor"), false);
        row("Label13", "QLabel", {344, 143, 6, 13}, s("1"), false);
        row("chkSuppressLeadingZeros", "QCheckBox", {202, 195, 137, 17}, s("Suppress leading zeros [ ]"), true, false);
        row("chkIncludeLineNumber", "QCheckBox", {8, 170, 119, 17}, s("include line number [ ]"), true);
        row("chkG79", "QCheckBox", {8, 193, 159, 17}, s("create G81/G79 drill cycle [ ]"), true, false);
        row("edG81", "QLineEdit", {8, 218, 331, 21}, s("G81 Z6 B7 F500 H3"), true, false, false);
        row("cbDeltaLineNumber", "QComboBox", {256, 168, 83, 21}, s("1,5,10,50 @1"), true);
        row("Label16", "QLabel", {143, 171, 107, 13}, s("Line number increment"), false);
    }

    void controlTable() {
        QFETCH(QString, kind);
        QFETCH(QRect, geometry);
        QFETCH(QString, content);
        QFETCH(bool, tabStop);
        QFETCH(bool, visible);
        QFETCH(bool, enabled);
        window_->show();
        QObject* control = FindByName(*window_, QString::fromLatin1(QTest::currentDataTag()));
        QVERIFY(control != nullptr);
        QVERIFY2(control->inherits(kind.toLatin1().constData()), control->metaObject()->className());
        QCOMPARE(Content(control), content);
        if (auto* widget = qobject_cast<QWidget*>(control)) {
            // Controls of the client area; menus and dialogs are windows of their own.
            if (!geometry.isNull()) {
                QCOMPARE(widget->parentWidget(), window_->centralWidget());
                QCOMPARE(widget->geometry(), geometry);
                QCOMPARE((widget->focusPolicy() & Qt::TabFocus) != 0, tabStop);
            }
            QCOMPARE(widget->isVisible(), visible);
            QCOMPARE(widget->isEnabled(), enabled);
            QVERIFY(widget->toolTip().isEmpty());
        } else {
            auto* action = qobject_cast<QAction*>(control);
            QVERIFY(action != nullptr);
            QCOMPARE(action->isVisible(), visible);
            QCOMPARE(action->isEnabled(), enabled);
        }
    }

    void windowFrame() {
        window_->show();
        QCOMPARE(window_->windowTitle(), QStringLiteral("Korvex"));
        QCOMPARE(window_->pos(), QPoint(450, 108));
        // The client area lies below the menu bar and has the design size.
        QCOMPARE(window_->centralWidget()->size(), QSize(896, 760));
        QCOMPARE(window_->centralWidget()->y(), window_->menuBar()->height());
        QCOMPARE(window_->height(), 760 + window_->menuBar()->height());
        const Qt::WindowFlags flags = window_->windowFlags();
        QVERIFY(flags & Qt::WindowMinimizeButtonHint);
        QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));
        QVERIFY(flags & Qt::WindowCloseButtonHint);
        QVERIFY(window_->windowIcon().availableSizes().contains(QSize(16, 16)));
        QCOMPARE(window_->palette().color(QPalette::Window), window_->palette().color(QPalette::Button));
        // Resizing the frame leaves every control where it was.
        window_->resize(1100, 900);
        QCOMPARE(Widget("meOutput")->geometry(), QRect(8, 565, 880, 186));
        QCOMPARE(Widget("Image1")->geometry(), QRect(376, 83, 511, 449));
        window_->resize(300, 200);
        QCOMPARE(Widget("edInputFileName")->geometry(), QRect(111, 8, 776, 21));
    }

    void windowFont() {
        const QFont font = window_->font();
        QCOMPARE(QFontMetrics(font).height(), 13);
        if (QFile::exists(QStringLiteral("/usr/share/wine/fonts/ms_sans_serif.ttf"))) {
            QCOMPARE(QFontInfo(font).family(), QStringLiteral("MS Sans Serif"));
        }
        QCOMPARE(Widget("Label8")->font(), font);
        QVERIFY(Widget("btnConvertCon")->font().bold());
        // The longest label fits its design width in the window's font.
        QVERIFY(QFontMetrics(font).horizontalAdvance(QStringLiteral("G-Code before Tool change")) <= 132);
    }

    void drawing_data() {
        QTest::addColumn<QPoint>("point");
        QTest::addColumn<QColor>("colour");
        QTest::newRow("side-view work piece") << QPoint(200, 179) << QColor(0, 153, 0);
        QTest::newRow("support") << QPoint(90, 220) << QColor(128, 128, 128);
        QTest::newRow("zero symbol quarter") << QPoint(53, 168) << QColor(102, 255, 51);
        QTest::newRow("top-view work piece") << QPoint(150, 350) << QColor(0, 153, 0);
        QTest::newRow("hole") << QPoint(241, 309) << QColor(255, 255, 255);
        QTest::newRow("axis") << QPoint(27, 150) << QColor(0, 0, 0);
        QTest::newRow("no background") << QPoint(250, 30) << QColor(Qt::transparent);
    }

    void drawing() {
        QFETCH(QPoint, point);
        QFETCH(QColor, colour);
        auto* image = qobject_cast<QLabel*>(Widget("Image1"));
        // Natural size from the top-left corner, not fitted to the 511 x 449 area: the right edge is cut.
        QVERIFY(!image->hasScaledContents());
        QCOMPARE(image->alignment(), Qt::AlignLeft | Qt::AlignTop);
        const QPixmap picture = image->pixmap();
        QCOMPARE(picture.deviceIndependentSize().toSize(), QSize(514, 446));
        const QImage pixels = picture.toImage();
        const qreal ratio = picture.devicePixelRatio();
        QCOMPARE(pixels.pixelColor((QPointF(point) * ratio).toPoint()), colour);
    }

    // The window shows a copy rendered beforehand at scale 1: it must still be what the source renders. It was
    // rendered with the fonts the package depends on; where Arial's twin is another, the two differ by design.
    void prerenderedDrawing() {
        korvex::ui::PrepareDrawingFonts();
        if (QFontInfo(QFont(QStringLiteral("Arial"))).family() != QStringLiteral("Liberation Sans")) {
            QSKIP("Liberation Sans is not installed");
        }
        const QImage rendered = korvex::ui::RenderDrawing(1.0, 1.0);
        if (rendered != korvex::ui::PrerenderedDrawing()) {
            const QString renewal = QDir::current().absoluteFilePath(QStringLiteral("drawing.png"));
            QVERIFY(rendered.save(renewal));
            QFAIL(qPrintable(korvex::ui::PrerenderedDrawingSource() +
                             QStringLiteral(" is not what drawing.svg renders; "
                                            "replace it with ") +
                             renewal));
        }
    }

    void menuAndDialogs() {
        QStringList menus;
        for (QAction* action : window_->menuBar()->actions()) {
            menus << action->text();
        }
        QCOMPARE(menus, (QStringList{QStringLiteral("&File"), QStringLiteral("&Info")}));
        // The run's choices and the preview come in front of the design's two entries, which close the menu as
        // before.
        QStringList file;
        for (QAction* action : window_->File1->actions()) {
            file << (action->isSeparator() ? QStringLiteral("-") : action->text());
        }
        // Every entry has its Alt letter; the recent files come first.
        QCOMPARE(file, (QStringList{QStringLiteral("&Recent files"), QStringLiteral("-"),
                                    QStringLiteral("&Drill file format…"), QStringLiteral("Drill &order"),
                                    QStringLiteral("&Controller…"), QStringLiteral("Drill r&ack…"),
                                    QStringLiteral("&Verify after converting"), QStringLiteral("&Board side…"),
                                    QStringLiteral("Board &files…"), QStringLiteral("-"), QStringLiteral("&Preview…"),
                                    QStringLiteral("&Save settings"), QStringLiteral("C&lose Converter")}));
        QCOMPARE(window_->File1->actions().mid(10),
                 (QList<QAction*>{window_->Preview1, window_->Savesettings1, window_->Exit1}));
        QCOMPARE(window_->Info1->actions(), QList<QAction*>{window_->About1});

        QFileDialog* open = window_->InputFileDlg;
        QCOMPARE(open->acceptMode(), QFileDialog::AcceptOpen);
        const QString drillFiles =
            QStringLiteral("Drill files (*.drl *.DRL *.Drl *.drd *.DRD *.Drd *.xln *.XLN *.Xln *.exc *.EXC *.Exc *.txt "
                           "*.TXT *.Txt *.ncd *.NCD *.Ncd *.cnc *.CNC *.Cnc *.tap *.TAP *.Tap *.fdr *.FDR *.Fdr "
                           "*.drill *.DRILL *.Drill *.nc *.NC *.Nc)");
        QCOMPARE(open->nameFilters(), (QStringList{drillFiles, QStringLiteral("All files (*)")}));
        QCOMPARE(open->selectedNameFilter(), drillFiles);
        QCOMPARE(open->defaultSuffix(), QStringLiteral("txt"));
        QFileDialog* save = window_->SaveDialog1;
        QCOMPARE(save->acceptMode(), QFileDialog::AcceptSave);
        QCOMPARE(save->nameFilters(), (QStringList{QStringLiteral("CNC-File (*.Cnc)"), QStringLiteral("Alle (*)")}));
        QCOMPARE(save->selectedNameFilter(), QStringLiteral("CNC-File (*.Cnc)"));
        QCOMPARE(save->defaultSuffix(), QStringLiteral("Cnc"));
        QVERIFY(save->testOption(QFileDialog::DontConfirmOverwrite));
        QVERIFY(!open->isVisible() && !save->isVisible());
    }

    // Alt with a letter opens the menu of that letter wherever the focus is, and no field takes the letter.
    void altLetterOpensTheMenu_data() {
        QTest::addColumn<QString>("field");
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("menu"); // empty: no menu has the letter
        for (const char* field : {"edXOffsett", "edInputFileName", "edDivider", "meTxBefore", "cbDeltaLineNumber"}) {
            const QString name = QLatin1String(field);
            QTest::addRow("%s Alt+F", field) << name << int(Qt::Key_F) << QStringLiteral("File1");
            QTest::addRow("%s Alt+I", field) << name << int(Qt::Key_I) << QStringLiteral("Info1");
            QTest::addRow("%s Alt+X", field) << name << int(Qt::Key_X) << QString();
        }
    }

    void altLetterOpensTheMenu() {
        QFETCH(QString, field);
        QFETCH(int, key);
        QFETCH(QString, menu);
        ShowActive();
        const QByteArray name = field.toLatin1();
        QWidget* target = Widget(name.constData());
        if (auto* combo = qobject_cast<QComboBox*>(target)) {
            target = combo->lineEdit();
        }
        target->setFocus();
        const QString before = Content(Widget(name.constData()));
        QTest::keyClick(target, Qt::Key(key), Qt::AltModifier);
        QCOMPARE(Content(Widget(name.constData())), before);
        QMenu* opened = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        QCOMPARE(opened != nullptr ? opened->objectName() : QString(), menu);
        if (opened != nullptr) {
            opened->close();
        }
        QCOMPARE(fixture_->BoxLog(), QStringList());
    }

    void tabKeyFromYOffset() {
        ShowActive();
        Widget("edYOffsett")->setFocus();
        const QString before = window_->meOutput->toPlainText();
        for (const char* next : {"btnConvertCon", "meOutput", "Button1"}) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), Widget(next));
        }
        // The log pane let the Tab key pass instead of typing it.
        QCOMPARE(window_->meOutput->toPlainText(), before);
    }

    void tabCycleSkipsHiddenControls() {
        ShowActive();
        Widget("edXOffsett")->setFocus();
        QStringList expected;
        for (const char* name : kTabOrder) {
            if (Widget(name)->isVisible() && Widget(name)->isEnabled()) {
                expected << QString::fromLatin1(name);
            }
        }
        expected << QStringLiteral("edXOffsett");
        QCOMPARE(expected.size(), 17);
        QStringList visited;
        for (int i = 0; i < expected.size(); ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QWidget* focus = QApplication::focusWidget();
            // The increment list hands its focus to its text field.
            while (focus != nullptr && focus->objectName().isEmpty()) {
                focus = focus->parentWidget();
            }
            visited << (focus != nullptr ? focus->objectName() : QString());
        }
        expected.removeFirst();
        expected << QStringLiteral("edYOffsett");
        QCOMPARE(visited, expected);
    }

    void closing_data() {
        QTest::addColumn<bool>("byMenu");
        QTest::addColumn<bool>("saveFails");
        QTest::newRow("Close Converter") << true << false;
        QTest::newRow("close box") << false << false;
        QTest::newRow("Close Converter, save fails") << true << true;
        QTest::newRow("close box, save fails") << false << true;
    }

    void closing() {
        QFETCH(bool, byMenu);
        QFETCH(bool, saveFails);
        window_->show();
        window_->failSaving = saveFails;
        if (byMenu) {
            window_->Exit1->trigger();
        } else {
            // What the window system's close box sends.
            window_->windowHandle()->close();
        }
        QCOMPARE(window_->saves, 1);
        QCOMPARE(window_->isVisible(), saveFails);
        QCOMPARE(fixture_->BoxLog(),
                 saveFails
                     ? QStringList{QStringLiteral("error|Korvex|In /nowhere/korvex.INI kann nicht geschrieben werden.")}
                     : QStringList{});
    }

    void saveSettingsFromMenu() {
        window_->show();
        window_->Savesettings1->trigger();
        QCOMPARE(window_->saves, 1);
        window_->failSaving = true;
        window_->Savesettings1->trigger();
        QCOMPARE(window_->saves, 2);
        QVERIFY(window_->isVisible());
        QCOMPARE(fixture_->BoxLog().size(), 1);
    }

    void aboutShowsTheDialogEachTime() {
        window_->show();
        window_->About1->trigger(); // no dialog connected: nothing happens
        int shown = 0;
        window_->SetAboutDialog([&shown] { ++shown; });
        window_->About1->trigger();
        window_->About1->trigger();
        QCOMPARE(shown, 2);
        // Nothing modal stands between the operator and the main window.
        QCOMPARE(QApplication::activeModalWidget(), nullptr);
        QCOMPARE(fixture_->BoxLog(), QStringList());
    }

    void creatingSetsSeparatorAndMacroLists() {
        window_.reset();
        korvex::platform::SetDecimalSeparator(',');
        korvex::conversion::TheConversionState().MacroBefore = {"old"};
        korvex::conversion::TheConversionState().MacroAfter = {"old"};
        window_ = std::make_unique<WatchedWindow>();
        QCOMPARE(korvex::platform::DecimalSeparator(), '.');
        QVERIFY(korvex::conversion::TheConversionState().MacroBefore.empty());
        QVERIFY(korvex::conversion::TheConversionState().MacroAfter.empty());
        // The system announces new regional settings: the user's separator comes back.
        QEvent change(QEvent::LocaleChange);
        QApplication::sendEvent(window_.get(), &change);
        QCOMPARE(korvex::platform::DecimalSeparator(), korvex::platform::RegionalDecimalSeparator());
        korvex::platform::SetDecimalSeparator('.');
    }

    void settingsControls() {
        using korvex::conversion::Field;
        using korvex::settings::FileDialog;
        using korvex::settings::MacroBlock;
        korvex::settings::SettingsControls& controls = *window_;
        const std::pair<Field, const char*> fields[] = {{Field::XOffset, "edXOffsett"},
                                                        {Field::YOffset, "edYOffsett"},
                                                        {Field::ZUp, "edZauf"},
                                                        {Field::ZDown, "edZab"},
                                                        {Field::ZOffset, "edZOffsett"},
                                                        {Field::Divisor, "edDivider"},
                                                        {Field::InputFileName, "edInputFileName"},
                                                        {Field::OutputFileName, "edOutputFileName"}};
        for (const auto& [field, name] : fields) {
            controls.SetText(field, std::string("text of ") + name);
            QCOMPARE(qobject_cast<QLineEdit*>(Widget(name))->text(), QStringLiteral("text of ") + QLatin1String(name));
            QCOMPARE(controls.Text(field), std::string("text of ") + name);
        }

        // Check boxes run their click handlers on a change of state only.
        QSignalSpy toggled(window_->chkIncludeLineNumber, &QCheckBox::toggled);
        controls.SetIncludeLineNumberChecked(false);
        controls.SetIncludeLineNumberChecked(true);
        controls.SetIncludeLineNumberChecked(true);
        QCOMPARE(toggled.count(), 1);
        QVERIFY(controls.IncludeLineNumberChecked());
        controls.SetSuppressLeadingZerosChecked(true);
        QVERIFY(window_->chkSuppressLeadingZeros->isChecked() && controls.SuppressLeadingZerosChecked());
        controls.SetG81EditEnabled(true);
        QVERIFY(window_->edG81->isEnabled() && controls.G81EditEnabled());

        // A selection by the program reaches no change handler; an index outside the list selects nothing.
        QSignalSpy changed(window_->cbDeltaLineNumber, &QComboBox::currentIndexChanged);
        controls.SelectDeltaLineNumberIndex(3);
        QCOMPARE(controls.DeltaLineNumberIndex(), 3);
        QCOMPARE(controls.DeltaLineNumberText(), std::string("50"));
        controls.SelectDeltaLineNumberIndex(4);
        QCOMPARE(controls.DeltaLineNumberIndex(), -1);
        QCOMPARE(controls.DeltaLineNumberText(), std::string());
        QCOMPARE(changed.count(), 0);

        // Blocks cross as CR LF text.
        QCOMPARE(controls.MacroText(MacroBlock::After), std::string("M06\r\nG00 Z20\r\n"));
        controls.SetMacroText(MacroBlock::Before, "G00 Z40\r\nM05\r\n");
        QCOMPARE(window_->meTxBefore->toPlainText(), QStringLiteral("G00 Z40\nM05\n"));
        QCOMPARE(controls.MacroText(MacroBlock::Before), std::string("G00 Z40\r\nM05\r\n"));

        controls.SetInitialFolder(FileDialog::Input, fixture_->Folder().toStdString());
        QCOMPARE(controls.InitialFolder(FileDialog::Input), fixture_->Folder().toStdString());
        QCOMPARE(window_->InputFileDlg->directory().absolutePath(), fixture_->Folder());
        controls.SetInitialFolder(FileDialog::Save, "");
        QCOMPARE(controls.InitialFolder(FileDialog::Save), std::string());
    }
};

QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
