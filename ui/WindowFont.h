// The font of our windows and the scale that follows from it.
//
// The windows are laid out in pixels for "MS Sans Serif" 8 pt at 96 dpi, whose lines are 13 pixels high. The
// real bitmap face comes with fonts-wine; fontconfig hides such faces, so it is registered with the
// application directly. Without it, a sans-serif face of the same point size stands in.
#pragma once

#include <QFont>

namespace korvex::ui {

// "MS Sans Serif" 8 pt, or the stand-in. Needs a QGuiApplication.
QFont WindowFont();

// True when WindowFont() is the real "MS Sans Serif" face.
bool HasWindowFontFace();

// The factor for positions and sizes designed at 96 dpi: the window font's line height over 13. Point
// sizes already follow the screen's resolution, so the layout grows with the font.
double WindowScale(const QFont& font);

// `value` designed at 96 dpi, scaled and rounded.
int Scaled(int value, double scale);

} // namespace korvex::ui
