// The main window's explanatory drawing (resources/drawing.svg), at the window's scale.
#pragma once

#include <QImage>
#include <QString>

namespace korvex::ui {

// Where Arial is missing, the drawing's labels take its metric twins. Call on the GUI thread before the first
// drawing is made.
void PrepareDrawingFonts();

// The drawing rendered from its source, at its natural size times `scale`, for a screen of `ratio` device pixels
// per pixel. Needs no widget, so that it can be made on any thread.
QImage RenderDrawing(double scale, qreal ratio);

// The drawing as the window shows it: at scale and ratio 1, the copy rendered beforehand
// (resources/drawing.png); otherwise rendered now.
QImage WindowDrawing(double scale, qreal ratio);

// The copy rendered beforehand, as read from the resources.
QImage PrerenderedDrawing();

// Where the copy rendered beforehand lives in the source tree, for the message that asks to renew it.
QString PrerenderedDrawingSource();

} // namespace korvex::ui
