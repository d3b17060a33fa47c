#include "ui/Drawing.h"

#include <QFont>
#include <QPainter>
#include <QSvgRenderer>

#include "ui/WindowFont.h"

namespace korvex::ui {

// The drawing's labels are set in Arial. Where Arial is missing, its metric twins come first, then the
// condensed DejaVu, whose widths are within a few pixels of Arial's; fontconfig alone would take the much
// wider DejaVu Sans, and the labels would run into the lines beside them.
void PrepareDrawingFonts() {
    static const bool prepared = [] {
        QFont::insertSubstitutions(QStringLiteral("Arial"), {QStringLiteral("Liberation Sans"), QStringLiteral("Arimo"),
                                                             QStringLiteral("DejaVu Sans Condensed")});
        return true;
    }();
    static_cast<void>(prepared);
}

// At its natural size from the top-left corner; it is not fitted to the picture area, which cuts a few pixels off
// on the right.
QImage RenderDrawing(double scale, qreal ratio) {
    QSvgRenderer drawing(QStringLiteral(":/korvex/drawing.svg"));
    const QSize natural(Scaled(drawing.defaultSize().width(), scale), Scaled(drawing.defaultSize().height(), scale));
    QImage picture(natural * ratio, QImage::Format_ARGB32_Premultiplied);
    picture.setDevicePixelRatio(ratio);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    drawing.render(&painter, QRectF(QPointF(0, 0), QSizeF(natural)));
    painter.end();
    return picture;
}

QImage PrerenderedDrawing() {
    return QImage(QStringLiteral(":/korvex/drawing.png")).convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

QString PrerenderedDrawingSource() {
    return QStringLiteral("resources/drawing.png");
}

// Rendering the drawing's vectors and text takes a window's start longer than building all its controls; at the
// common scale a picture rendered beforehand (and checked against the source by the tests) is read instead.
QImage WindowDrawing(double scale, qreal ratio) {
    if (scale == 1.0 && ratio == 1.0) {
        QImage picture = PrerenderedDrawing();
        if (!picture.isNull()) {
            return picture;
        }
    }
    return RenderDrawing(scale, ratio);
}

} // namespace korvex::ui
