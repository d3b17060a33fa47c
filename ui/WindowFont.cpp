#include "ui/WindowFont.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QImage>
#include <QStringList>

#include "platform/FontFiles.h"

namespace korvex::ui {

namespace {

constexpr char kFaceFileName[] = "ms_sans_serif.ttf";
constexpr char kFaceName[] = "MS Sans Serif";
constexpr int kPointSize = 8;
constexpr double kDesignLineHeight = 13.0;
constexpr int kDesignDpi = 96;
constexpr int kNarrowestStretch = 75;

bool RegisterFace() {
    const std::string file = platform::FindFontFile(kFaceFileName);
    if (file.empty()) {
        return false;
    }
    const int id = QFontDatabase::addApplicationFont(QString::fromStdString(file));
    return id >= 0 && QFontDatabase::applicationFontFamilies(id).contains(QString::fromLatin1(kFaceName));
}

bool Fits(const QFont& font, const std::vector<CaptionRoom>& captions) {
    QFont bold = font;
    bold.setBold(true);
    const QFontMetrics regularMetrics(font);
    const QFontMetrics boldMetrics(bold);
    for (const CaptionRoom& caption : captions) {
        const QFontMetrics& metrics = caption.bold ? boldMetrics : regularMetrics;
        if (metrics.horizontalAdvance(caption.text) > caption.width) {
            return false;
        }
    }
    return true;
}

} // namespace

bool HasWindowFontFace() {
    static const bool registered = RegisterFace();
    return registered;
}

QFont WindowFont() {
    if (HasWindowFontFace()) {
        QFont font(QString::fromLatin1(kFaceName), kPointSize);
        font.setStyleHint(QFont::SansSerif);
        return font;
    }
    // Arial's metrics are the nearest to the bitmap face's among free fonts; the metric twins come first.
    QFont font;
    font.setFamilies({QStringLiteral("Liberation Sans"), QStringLiteral("Arimo"), QStringLiteral("Arial")});
    font.setPointSize(kPointSize);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

double WindowScale(const QFont& font) {
    if (HasWindowFontFace() && QFontInfo(font).family() == QString::fromLatin1(kFaceName)) {
        return QFontMetrics(font).height() / kDesignLineHeight;
    }
    // A stand-in has lines of its own height: the rule compares it with itself at the design resolution.
    QImage designScreen(1, 1, QImage::Format_RGB32);
    const int dotsPerMeter = qRound(kDesignDpi / 0.0254);
    designScreen.setDotsPerMeterX(dotsPerMeter);
    designScreen.setDotsPerMeterY(dotsPerMeter);
    const int designHeight = QFontMetrics(font, &designScreen).height();
    return designHeight > 0 ? static_cast<double>(QFontMetrics(font).height()) / designHeight : 1.0;
}

int Scaled(int value, double scale) {
    return qRound(value * scale);
}

QFont FitCaptions(QFont font, const std::vector<CaptionRoom>& captions) {
    if (QFontInfo(font).family() == QString::fromLatin1(kFaceName)) {
        return font;
    }
    for (int stretch = 100; stretch > kNarrowestStretch && !Fits(font, captions); --stretch) {
        font.setStretch(stretch - 1);
    }
    return font;
}

} // namespace korvex::ui
