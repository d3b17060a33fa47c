// How the preview looks, for every surface it is drawn on: the window paints it with QPainter and korvex-cli
// writes it as SVG, both from this one description, so they show the same picture.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "preview/PreviewModel.h"

namespace korvex::preview {

struct Rgb {
    std::uint8_t r = 0;
    std::uint8_t g = 0;
    std::uint8_t b = 0;
};
std::string HexColour(Rgb colour); // "#rrggbb"

constexpr Rgb kBackground{255, 255, 255};
constexpr Rgb kRapidColour{140, 140, 140};
constexpr Rgb kAxisColour{60, 60, 60};
constexpr Rgb kDifferenceColour{230, 0, 0};
constexpr Rgb kTextColour{0, 0, 0};

// Room around the drawing in pixels: tick labels left and below, the extents line above.
constexpr double kMarginLeft = 56.0;
constexpr double kMarginBottom = 34.0;
constexpr double kMarginTop = 26.0;
constexpr double kMarginRight = 16.0;
constexpr double kFontPixels = 12.0;
constexpr double kLegendRowPixels = 18.0;
// Holes smaller than this on screen are drawn as dots.
constexpr double kDotDiameterPixels = 3.0;
// Tick marks at least this far apart on screen.
constexpr double kTickSpacingPixels = 70.0;

struct LegendRow {
    std::int32_t tool = -1;
    Rgb colour;
    std::string text; // "T1  0.800 mm  12 holes  3 cuts"
};

struct AxisTick {
    double value = 0.0; // mm
    std::string label;
};

// Millimetres to pixels: px = offsetX + x * scale, py = offsetY - y * scale (y grows upwards on the machine).
struct Viewport {
    double scale = 1.0;
    double offsetX = 0.0;
    double offsetY = 0.0;

    double PixelX(double x) const { return offsetX + x * scale; }
    double PixelY(double y) const { return offsetY - y * scale; }
    double WorldX(double px) const { return (px - offsetX) / scale; }
    double WorldY(double py) const { return (offsetY - py) / scale; }
};

// The viewport that shows `bounds` whole and centred in the drawing area of a width x height surface.
Viewport FitViewport(const Box& bounds, double width, double height);

// Ticks at 1, 2 or 5 times a power of ten millimetres, at least `minSpacingPixels` apart.
std::vector<AxisTick> AxisTicks(double from, double to, double pixelsPerMm, double minSpacingPixels);

struct Scene {
    PreviewModel model;
    std::vector<Rgb> toolColours; // by the row of model.Tools()
    std::vector<LegendRow> legend;
    std::string extentsText;
    std::string differencesText; // empty when the verification found none

    Rgb ColourOf(std::int32_t tool) const { return toolColours[model.ToolRow(tool)]; }
};

Scene BuildScene(PreviewModel model);

} // namespace korvex::preview
