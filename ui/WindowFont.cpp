#include "ui/WindowFont.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QStringList>

namespace korvex::ui {

namespace {

constexpr char kFaceFile[] = "/usr/share/wine/fonts/ms_sans_serif.ttf";
constexpr char kFaceName[] = "MS Sans Serif";
constexpr int kPointSize = 8;
constexpr double kDesignLineHeight = 13.0;

bool RegisterFace() {
    const int id = QFontDatabase::addApplicationFont(QString::fromLatin1(kFaceFile));
    return id >= 0 && QFontDatabase::applicationFontFamilies(id).contains(QString::fromLatin1(kFaceName));
}

} // namespace

bool HasWindowFontFace() {
    static const bool registered = RegisterFace();
    return registered;
}

QFont WindowFont() {
    QFont font(HasWindowFontFace() ? QString::fromLatin1(kFaceName) : QStringLiteral("Sans Serif"), kPointSize);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

double WindowScale(const QFont& font) {
    return QFontMetrics(font).height() / kDesignLineHeight;
}

int Scaled(int value, double scale) {
    return qRound(value * scale);
}

} // namespace korvex::ui
