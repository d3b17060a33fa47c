#include "preview/Scene.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace korvex::preview {

namespace {

// Distinct on white and from the red of the differences and the grey of the rapids.
constexpr std::array<Rgb, 12> kPalette{{
    {31, 119, 180},
    {44, 160, 44},
    {255, 127, 14},
    {148, 103, 189},
    {23, 190, 207},
    {140, 86, 75},
    {227, 119, 194},
    {188, 189, 34},
    {0, 0, 128},
    {0, 128, 128},
    {128, 64, 0},
    {90, 90, 200},
}};

std::string Count(std::size_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

} // namespace

std::string HexColour(Rgb colour) {
    static const char digits[] = "0123456789abcdef";
    std::string text = "#";
    for (const std::uint8_t part : {colour.r, colour.g, colour.b}) {
        text.push_back(digits[part >> 4]);
        text.push_back(digits[part & 15]);
    }
    return text;
}

Viewport FitViewport(const Box& bounds, double width, double height) {
    const double areaWidth = std::max(1.0, width - kMarginLeft - kMarginRight);
    const double areaHeight = std::max(1.0, height - kMarginTop - kMarginBottom);
    // A single point still gets a readable millimetre or two around it.
    const double spanX = std::max(bounds.Width(), 2.0);
    const double spanY = std::max(bounds.Height(), 2.0);
    Viewport view;
    view.scale = std::min(areaWidth / spanX, areaHeight / spanY) * 0.95;
    const double centreX = bounds.empty ? 0.0 : (bounds.minX + bounds.maxX) / 2.0;
    const double centreY = bounds.empty ? 0.0 : (bounds.minY + bounds.maxY) / 2.0;
    view.offsetX = kMarginLeft + areaWidth / 2.0 - centreX * view.scale;
    view.offsetY = kMarginTop + areaHeight / 2.0 + centreY * view.scale;
    return view;
}

std::vector<AxisTick> AxisTicks(double from, double to, double pixelsPerMm, double minSpacingPixels) {
    std::vector<AxisTick> ticks;
    if (!(pixelsPerMm > 0.0) || !(to > from) || !std::isfinite(from) || !std::isfinite(to)) {
        return ticks;
    }
    const double minStep = minSpacingPixels / pixelsPerMm;
    if (!std::isfinite(minStep) || !(minStep > 0.0) || minStep > 1e300) {
        return ticks;
    }
    double power = std::pow(10.0, std::floor(std::log10(minStep)));
    double step = power;
    for (const double factor : {1.0, 2.0, 5.0, 10.0}) {
        step = factor * power;
        if (step >= minStep) {
            break;
        }
    }
    const int decimals = std::clamp(static_cast<int>(std::ceil(-std::log10(step) - 1e-9)), 0, 6);
    const double first = std::ceil(from / step);
    const double last = std::floor(to / step);
    if (last - first > 10000.0) {
        return ticks;
    }
    for (double k = first; k <= last; k += 1.0) {
        ticks.push_back(AxisTick{k * step, FormatMm(k * step, decimals)});
    }
    return ticks;
}

Scene BuildScene(PreviewModel model) {
    Scene scene;
    scene.model = std::move(model);
    const auto& tools = scene.model.Tools();
    for (std::size_t row = 0; row < tools.size(); ++row) {
        const ToolSummary& tool = tools[row];
        const Rgb colour = kPalette[row % kPalette.size()];
        scene.toolColours.push_back(colour);
        std::string text = tool.tool < 0 ? std::string("no tool") : "T" + std::to_string(tool.tool);
        text += "  " + (tool.diameter ? FormatMm(*tool.diameter) + " mm" : std::string("diameter unknown"));
        if (tool.holes > 0 || tool.cuts == 0) {
            text += "  " + Count(tool.holes, "hole", "holes");
        }
        if (tool.cuts > 0) {
            text += "  " + Count(tool.cuts, "cut", "cuts");
        }
        scene.legend.push_back(LegendRow{tool.tool, colour, std::move(text)});
    }
    scene.extentsText = ExtentsText(scene.model.Extents());
    if (!scene.model.Differences().empty()) {
        scene.differencesText =
            Count(scene.model.Differences().size(), "difference", "differences") + " from the drill file";
    }
    return scene;
}

} // namespace korvex::preview
