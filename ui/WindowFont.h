// The font of our windows and the scale that follows from it.
//
// The windows are laid out in pixels for "MS Sans Serif" 8 pt at 96 dpi, whose lines are 13 pixels high. The
// real bitmap face comes with fonts-wine; fontconfig hides such faces, so its file is looked up in the font
// folders (platform::FindFontFile) and registered with the application directly. Without it an Arial-metric
// face (Liberation Sans, Arimo, Arial) of the same point size stands in, narrowed where a caption would not
// fit its control (FitCaptions).
#pragma once

#include <QFont>
#include <QString>

#include <vector>

namespace korvex::ui {

// "MS Sans Serif" 8 pt, or the stand-in. Needs a QGuiApplication.
QFont WindowFont();

// True when WindowFont() is the real "MS Sans Serif" face.
bool HasWindowFontFace();

// The factor for positions and sizes designed at 96 dpi: the window font's line height over its line height
// at 96 dpi (13 for the real face). Point sizes already follow the screen's resolution, so the layout grows
// with the font; positions on the screen are not scaled.
double WindowScale(const QFont& font);

// `value` designed at 96 dpi, scaled and rounded.
int Scaled(int value, double scale);

// A caption and the width its control gives it, in pixels.
struct CaptionRoom {
    QString text;
    int width = 0;
    bool bold = false;
};

// `font` as it is when every caption fits its room; otherwise narrowed (QFont::setStretch) just enough, but
// not below 75 %. The real face is returned unchanged: the layout was made for it.
QFont FitCaptions(QFont font, const std::vector<CaptionRoom>& captions);

} // namespace korvex::ui
