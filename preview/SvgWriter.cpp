#include "preview/SvgWriter.h"

#include <algorithm>
#include <cmath>

#include "platform/AtomicFile.h"

namespace korvex::preview {

namespace {

constexpr double kLegendWidth = 260.0;

std::string Escaped(const std::string& text) {
    std::string out;
    for (const char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out.push_back(c);
        }
    }
    return out;
}

std::string Num(double value) {
    return FormatMm(value, 4);
}

std::string Px(double value) {
    return FormatMm(value, 1);
}

std::string ToolClass(std::int32_t tool) {
    return tool < 0 ? std::string("Tnone") : "T" + std::to_string(tool);
}

void Text(std::string& svg, double x, double y, const std::string& anchor, const std::string& text,
          Rgb colour = kTextColour) {
    svg += "<text x=\"" + Px(x) + "\" y=\"" + Px(y) + "\" text-anchor=\"" + anchor + "\" fill=\"" + HexColour(colour) +
           "\">" + Escaped(text) + "</text>\n";
}

} // namespace

std::string SceneToSvg(const Scene& scene, double width, bool showRapids) {
    const PreviewModel& model = scene.model;
    const Box& bounds = model.DrawingBounds();
    const double drawingWidth = std::max(200.0, width - kLegendWidth);
    const double areaWidth = drawingWidth - kMarginLeft - kMarginRight;
    const double aspect = std::max(bounds.Height(), 2.0) / std::max(bounds.Width(), 2.0);
    const double legendHeight = kMarginTop + kLegendRowPixels * static_cast<double>(scene.legend.size() + 2);
    const double height =
        std::max(std::clamp(areaWidth * aspect, 200.0, 1600.0) + kMarginTop + kMarginBottom, legendHeight);
    const Viewport view = FitViewport(bounds, drawingWidth, height);
    const double thin = 1.0 / view.scale; // one pixel in millimetres

    std::string svg;
    svg.reserve(200 + model.Holes().size() * 90 + model.Rapids().size() * 90);
    svg += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    svg += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + Px(width) + "\" height=\"" + Px(height) +
           "\" viewBox=\"0 0 " + Px(width) + " " + Px(height) +
           "\" xml:space=\"preserve\" font-family=\"sans-serif\" font-size=\"" + Px(kFontPixels) + "\">\n";
    svg += "<rect width=\"100%\" height=\"100%\" fill=\"" + HexColour(kBackground) + "\"/>\n";

    // The drawing in millimetres, y upwards as on the machine.
    svg += "<g transform=\"matrix(" + Num(view.scale) + " 0 0 " + Num(-view.scale) + " " + Num(view.offsetX) + " " +
           Num(view.offsetY) + ")\">\n";
    const double left = view.WorldX(kMarginLeft);
    const double right = view.WorldX(drawingWidth - kMarginRight);
    const double top = view.WorldY(kMarginTop);
    const double bottom = view.WorldY(height - kMarginBottom);
    svg += "<g class=\"origin\" stroke=\"" + HexColour(kAxisColour) + "\" stroke-width=\"" + Num(thin) + "\">\n";
    svg += "<line x1=\"" + Num(left) + "\" y1=\"0\" x2=\"" + Num(right) + "\" y2=\"0\"/>\n";
    svg += "<line x1=\"0\" y1=\"" + Num(bottom) + "\" x2=\"0\" y2=\"" + Num(top) + "\"/>\n";
    svg += "</g>\n";

    svg += "<g fill=\"none\" stroke-linecap=\"round\" stroke-linejoin=\"round\">\n";
    for (const ModelStroke& stroke : model.Strokes()) {
        svg += "<polyline class=\"cut " + ToolClass(stroke.tool) + "\" stroke=\"" +
               HexColour(scene.ColourOf(stroke.tool)) + "\" stroke-width=\"" + Num(stroke.width) + "\" points=\"";
        for (std::size_t k = 0; k < stroke.points.size(); ++k) {
            svg += (k == 0 ? "" : " ") + Num(stroke.points[k].x) + "," + Num(stroke.points[k].y);
        }
        svg += "\"/>\n";
    }
    svg += "</g>\n";

    for (const ModelHole& hole : model.Holes()) {
        svg += "<circle class=\"hole " + ToolClass(hole.tool) + "\" cx=\"" + Num(hole.at.x) + "\" cy=\"" +
               Num(hole.at.y) + "\" r=\"" + Num(hole.diameter / 2.0) + "\" fill=\"" +
               HexColour(scene.ColourOf(hole.tool)) + "\"/>\n";
    }
    if (showRapids && !model.Rapids().empty()) {
        svg += "<g stroke=\"" + HexColour(kRapidColour) + "\" stroke-width=\"" + Num(thin) + "\">\n";
        for (const RapidLine& rapid : model.Rapids()) {
            svg += "<line class=\"rapid\" x1=\"" + Num(rapid.from.x) + "\" y1=\"" + Num(rapid.from.y) + "\" x2=\"" +
                   Num(rapid.to.x) + "\" y2=\"" + Num(rapid.to.y) + "\"/>\n";
        }
        svg += "</g>\n";
    }
    const double markRadius = std::max(model.LargestDiameter(), 6.0 * thin);
    for (const Point& p : model.Differences()) {
        svg += "<circle class=\"difference\" cx=\"" + Num(p.x) + "\" cy=\"" + Num(p.y) + "\" r=\"" + Num(markRadius) +
               "\" fill=\"none\" stroke=\"" + HexColour(kDifferenceColour) + "\" stroke-width=\"" + Num(2.0 * thin) +
               "\"/>\n";
    }
    svg += "</g>\n";

    // Rulers in millimetres along the left and bottom edges of the drawing.
    const std::string axis = HexColour(kAxisColour);
    const double rulerY = height - kMarginBottom;
    svg += "<g class=\"ruler\" stroke=\"" + axis + "\" stroke-width=\"1\">\n";
    svg += "<line x1=\"" + Px(kMarginLeft) + "\" y1=\"" + Px(rulerY) + "\" x2=\"" + Px(drawingWidth - kMarginRight) +
           "\" y2=\"" + Px(rulerY) + "\"/>\n";
    svg += "<line x1=\"" + Px(kMarginLeft) + "\" y1=\"" + Px(kMarginTop) + "\" x2=\"" + Px(kMarginLeft) + "\" y2=\"" +
           Px(rulerY) + "\"/>\n";
    const std::vector<AxisTick> xTicks = AxisTicks(left, right, view.scale, kTickSpacingPixels);
    const std::vector<AxisTick> yTicks = AxisTicks(bottom, top, view.scale, kTickSpacingPixels);
    for (const AxisTick& tick : xTicks) {
        const double px = view.PixelX(tick.value);
        svg += "<line x1=\"" + Px(px) + "\" y1=\"" + Px(rulerY) + "\" x2=\"" + Px(px) + "\" y2=\"" + Px(rulerY + 5) +
               "\"/>\n";
    }
    for (const AxisTick& tick : yTicks) {
        const double py = view.PixelY(tick.value);
        svg += "<line x1=\"" + Px(kMarginLeft - 5) + "\" y1=\"" + Px(py) + "\" x2=\"" + Px(kMarginLeft) + "\" y2=\"" +
               Px(py) + "\"/>\n";
    }
    svg += "</g>\n";
    for (const AxisTick& tick : xTicks) {
        Text(svg, view.PixelX(tick.value), rulerY + 8 + kFontPixels, "middle", tick.label);
    }
    for (const AxisTick& tick : yTicks) {
        Text(svg, kMarginLeft - 8, view.PixelY(tick.value) + kFontPixels / 3.0, "end", tick.label);
    }
    Text(svg, kMarginLeft - 8, rulerY + 8 + kFontPixels, "end", "mm");
    Text(svg, kMarginLeft, kMarginTop - 8, "start", scene.extentsText);

    // The legend beside the drawing.
    double y = kMarginTop;
    for (const LegendRow& row : scene.legend) {
        svg += "<rect x=\"" + Px(drawingWidth) + "\" y=\"" + Px(y) + "\" width=\"12\" height=\"12\" fill=\"" +
               HexColour(row.colour) + "\"/>\n";
        Text(svg, drawingWidth + 18, y + 10, "start", row.text);
        y += kLegendRowPixels;
    }
    if (!scene.differencesText.empty()) {
        Text(svg, drawingWidth, y + 10, "start", scene.differencesText, kDifferenceColour);
    }
    svg += "</svg>\n";
    return svg;
}

std::error_code WriteSvgFile(const std::string& path, const Scene& scene) {
    return platform::WriteFileAtomically(path, SceneToSvg(scene));
}

} // namespace korvex::preview
