#include "ui/PreviewWindow.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QShortcut>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>

#include "platform/AtomicFile.h"
#include "platform/IniFile.h"
#include "preview/ProgramPreview.h"
#include "ui/ErrorGuard.h"

namespace korvex::ui {

namespace {

QColor ToQColor(preview::Rgb colour) {
    return QColor(colour.r, colour.g, colour.b);
}

QString Mm(double value) {
    return QString::fromStdString(preview::FormatMm(value));
}

constexpr double kMinScale = 1e-3; // pixels per mm
constexpr double kMaxScale = 1e5;
// Holes narrower than this on screen are stamped into the image; wider ones are painted antialiased.
constexpr double kStampPixels = 8.0;
// Pixel positions beyond this are not drawn: they come only from absurd coordinates, and would not fit an int.
constexpr double kFarPixels = 1e8;
// A picture that renders faster than this is rendered anew while it is dragged.
constexpr double kSmoothMilliseconds = 25.0;
// One press of + or -, and of an arrow key as a share of the drawing's width or height.
constexpr double kZoomStep = 1.25;
constexpr double kPanShare = 0.1;

constexpr std::string_view kSection = "Preview";

double SegmentDistance(preview::Point p, preview::Point a, preview::Point b) {
    const double dx = b.x - a.x;
    const double dy = b.y - a.y;
    const double length = dx * dx + dy * dy;
    const double t = length > 0.0 ? std::clamp(((p.x - a.x) * dx + (p.y - a.y) * dy) / length, 0.0, 1.0) : 0.0;
    return std::hypot(p.x - (a.x + t * dx), p.y - (a.y + t * dy));
}

bool IsEmpty(const preview::Scene* scene) {
    return scene == nullptr || (scene->model.Holes().empty() && scene->model.Strokes().empty());
}

} // namespace

PreviewCanvas::PreviewCanvas(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("canvas"));
    setMouseTracking(true);
    setMinimumSize(320, 240);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
}

void PreviewCanvas::SetScene(std::shared_ptr<const preview::Scene> scene) {
    scene_ = std::move(scene);
    // A new program of the same board keeps the user's zoom, unless nothing of it would be in view.
    preview::Box visible;
    visible.Add(preview::Point{view_.WorldX(0.0), view_.WorldY(height())});
    visible.Add(preview::Point{view_.WorldX(width()), view_.WorldY(0.0)});
    if (followSize_ || !scene_ || !scene_->model.DrawingBounds().Intersects(visible)) {
        FitToWindow();
    } else {
        ViewChanged();
    }
}

void PreviewCanvas::SetShowRapids(bool show) {
    showRapids_ = show;
    ViewChanged();
}

void PreviewCanvas::SetFailure(const QString& message) {
    failure_ = message;
    ViewChanged();
}

void PreviewCanvas::SetEmptyNote(const QString& note) {
    emptyNote_ = note;
    ViewChanged();
}

void PreviewCanvas::FitToWindow() {
    const preview::Box bounds = scene_ ? scene_->model.DrawingBounds() : preview::Box{};
    view_ = preview::FitViewport(bounds, width() - LegendWidth(), height());
    followSize_ = true;
    ViewChanged();
    RefreshStatus();
}

void PreviewCanvas::ZoomBy(double factor) {
    const double cx = (width() - LegendWidth()) / 2.0;
    const double cy = height() / 2.0;
    const double worldX = view_.WorldX(cx);
    const double worldY = view_.WorldY(cy);
    view_.scale = std::clamp(view_.scale * factor, kMinScale, kMaxScale);
    view_.offsetX = cx - worldX * view_.scale;
    view_.offsetY = cy + worldY * view_.scale;
    followSize_ = false;
    ViewChanged();
    RefreshStatus();
}

void PreviewCanvas::PanBy(double dx, double dy) {
    view_.offsetX += dx;
    view_.offsetY += dy;
    followSize_ = false;
    ViewChanged();
    RefreshStatus();
}

void PreviewCanvas::keyPressEvent(QKeyEvent* event) {
    const double stepX = (width() - LegendWidth()) * kPanShare;
    const double stepY = height() * kPanShare;
    switch (event->key()) {
    case Qt::Key_Plus:
    case Qt::Key_Equal: // + without Shift on most layouts
        ZoomBy(kZoomStep);
        break;
    case Qt::Key_Minus:
        ZoomBy(1.0 / kZoomStep);
        break;
    case Qt::Key_Left: // the picture moves the other way, as the view goes left
        PanBy(stepX, 0.0);
        break;
    case Qt::Key_Right:
        PanBy(-stepX, 0.0);
        break;
    case Qt::Key_Up:
        PanBy(0.0, stepY);
        break;
    case Qt::Key_Down:
        PanBy(0.0, -stepY);
        break;
    case Qt::Key_Home:
        FitToWindow();
        break;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
}

void PreviewCanvas::leaveEvent(QEvent* event) {
    pointer_.reset();
    QWidget::leaveEvent(event);
}

void PreviewCanvas::RefreshStatus() {
    if (pointer_) {
        emit StatusChanged(StatusAt(*pointer_));
    }
}

void PreviewCanvas::ViewChanged() {
    cacheValid_ = false;
    update();
}

void PreviewCanvas::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    // Until the user zooms or pans, the picture follows the window's size.
    if (followSize_) {
        FitToWindow();
    } else {
        ViewChanged();
    }
}

void PreviewCanvas::wheelEvent(QWheelEvent* event) {
    const QPointF at = event->position();
    const double worldX = view_.WorldX(at.x());
    const double worldY = view_.WorldY(at.y());
    const double factor = std::pow(1.0015, event->angleDelta().y());
    view_.scale = std::clamp(view_.scale * factor, kMinScale, kMaxScale);
    view_.offsetX = at.x() - worldX * view_.scale;
    view_.offsetY = at.y() + worldY * view_.scale;
    followSize_ = false;
    ViewChanged();
    pointer_ = at;
    RefreshStatus();
    event->accept();
}

void PreviewCanvas::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        dragging_ = true;
        dragStart_ = event->position();
        dragStartView_ = view_;
        setCursor(Qt::ClosedHandCursor);
    }
}

void PreviewCanvas::mouseMoveEvent(QMouseEvent* event) {
    if (dragging_) {
        const QPointF delta = event->position() - dragStart_;
        view_.offsetX = dragStartView_.offsetX + delta.x();
        view_.offsetY = dragStartView_.offsetY + delta.y();
        followSize_ = false;
        ViewChanged();
    }
    pointer_ = event->position();
    emit StatusChanged(StatusAt(event->position()));
}

void PreviewCanvas::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        dragging_ = false;
        unsetCursor();
        update(); // the picture at its new place in full
    }
}

QString PreviewCanvas::StatusAt(QPointF pixel) const {
    const preview::Point at{view_.WorldX(pixel.x()), view_.WorldY(pixel.y())};
    QString text = QStringLiteral("X %1  Y %2 mm").arg(Mm(at.x), Mm(at.y));
    if (!scene_) {
        return text;
    }
    // The nearest of the holes and of the milled paths (slots and routes), by distance to the path's centre line.
    const preview::PreviewModel& model = scene_->model;
    const std::optional<std::size_t> nearest = model.NearestHole(at);
    double best = nearest ? std::hypot(model.Holes()[*nearest].at.x - at.x, model.Holes()[*nearest].at.y - at.y)
                          : std::numeric_limits<double>::infinity();
    const preview::ModelStroke* nearestStroke = nullptr;
    for (const preview::ModelStroke& stroke : model.Strokes()) {
        for (std::size_t k = 0; k < stroke.points.size(); ++k) {
            const double distance =
                SegmentDistance(at, stroke.points[k], stroke.points[std::min(k + 1, stroke.points.size() - 1)]);
            if (distance < best) {
                best = distance;
                nearestStroke = &stroke;
            }
        }
    }
    const auto toolName = [](std::int32_t tool) {
        return tool < 0 ? QStringLiteral("no tool") : QStringLiteral("T%1").arg(tool);
    };
    if (nearestStroke != nullptr) {
        const preview::Point& from = nearestStroke->points.front();
        const preview::Point& to = nearestStroke->points.back();
        text += QStringLiteral("    nearest cut: %1 from X %2  Y %3 to X %4  Y %5 mm")
                    .arg(toolName(nearestStroke->tool), Mm(from.x), Mm(from.y), Mm(to.x), Mm(to.y));
    } else if (nearest) {
        const preview::ModelHole& hole = model.Holes()[*nearest];
        text += QStringLiteral("    nearest hole: %1 at X %2  Y %3 mm")
                    .arg(toolName(hole.tool), Mm(hole.at.x), Mm(hole.at.y));
    }
    return text;
}

void PreviewCanvas::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    // While a slow picture is dragged, the last one moves along; it is drawn anew when the drag ends.
    const bool shiftOnly = dragging_ && cacheValid_ && cache_.size() == size() && cacheView_.scale == view_.scale &&
                           lastRenderMs_ > kSmoothMilliseconds;
    if (shiftOnly) {
        painter.fillRect(rect(), ToQColor(preview::kBackground));
        painter.drawImage(QPointF(view_.offsetX - cacheView_.offsetX, view_.offsetY - cacheView_.offsetY), cache_);
        return;
    }
    if (!cacheValid_ || cache_.size() != size()) {
        Render();
    }
    painter.drawImage(0, 0, cache_);
}

double PreviewCanvas::LegendWidth() const {
    if (!scene_) {
        return 0.0;
    }
    QFont font = this->font();
    font.setPixelSize(static_cast<int>(preview::kFontPixels));
    const QFontMetricsF metrics(font);
    double widest = metrics.horizontalAdvance(QString::fromStdString(scene_->differencesText));
    for (const preview::LegendRow& row : scene_->legend) {
        widest = std::max(widest, 18.0 + metrics.horizontalAdvance(QString::fromStdString(row.text)));
    }
    return widest + 16.0;
}

namespace {

// A filled disk as rows of pixels around its centre pixel. Small holes are stamped straight into the image:
// a hundred thousand antialiased ellipses through QPainter take a third of a second.
struct Span {
    int dy;
    int x0;
    int x1;
};

std::vector<Span> DiskSpans(double diameter) {
    std::vector<Span> spans;
    const double r = std::max(diameter, 2.0) / 2.0;
    const int reach = static_cast<int>(std::ceil(r));
    for (int dy = -reach; dy <= reach; ++dy) {
        const double y = dy + 0.5 - (diameter < 2.0 ? 0.5 : 0.0);
        const double half = r * r - y * y;
        if (half < 0.0) {
            continue;
        }
        const int x = static_cast<int>(std::floor(std::sqrt(half) + 0.5));
        spans.push_back(Span{dy, -x, x - 1});
    }
    if (spans.empty()) {
        spans.push_back(Span{0, -1, 0});
    }
    return spans;
}

// A one-pixel line, clipped to the image first (Liang-Barsky), then stepped pixel by pixel. A hundred
// thousand rapid moves through QPainter take longer than all the holes.
void DrawThinLine(QRgb* bits, std::ptrdiff_t stride, int width, int height, double x0, double y0, double x1, double y1,
                  QRgb colour) {
    if (!(std::fabs(x0) < kFarPixels && std::fabs(y0) < kFarPixels && std::fabs(x1) < kFarPixels &&
          std::fabs(y1) < kFarPixels)) {
        return; // only absurd coordinates reach this far
    }
    const double dx = x1 - x0;
    const double dy = y1 - y0;
    double t0 = 0.0;
    double t1 = 1.0;
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {x0, width - 1.0 - x0, y0, height - 1.0 - y0};
    for (int k = 0; k < 4; ++k) {
        if (p[k] == 0.0) {
            if (q[k] < 0.0) {
                return;
            }
            continue;
        }
        const double t = q[k] / p[k];
        if (p[k] < 0.0) {
            t0 = std::max(t0, t);
        } else {
            t1 = std::min(t1, t);
        }
        if (t0 > t1) {
            return;
        }
    }
    const double ax = x0 + t0 * dx;
    const double ay = y0 + t0 * dy;
    const double bx = x0 + t1 * dx;
    const double by = y0 + t1 * dy;
    const int steps = static_cast<int>(std::ceil(std::max(std::fabs(bx - ax), std::fabs(by - ay))));
    for (int k = 0; k <= steps; ++k) {
        const double t = steps == 0 ? 0.0 : static_cast<double>(k) / steps;
        const int x = std::clamp(static_cast<int>(ax + t * (bx - ax)), 0, width - 1);
        const int y = std::clamp(static_cast<int>(ay + t * (by - ay)), 0, height - 1);
        bits[y * stride + x] = colour;
    }
}

} // namespace

void PreviewCanvas::Render() {
    QElapsedTimer timer;
    timer.start();
    cache_ = QImage(size(), QImage::Format_RGB32);
    cache_.fill(ToQColor(preview::kBackground));
    cacheValid_ = true;
    cacheView_ = view_;
    QPainter painter(&cache_);
    const double legendWidth = LegendWidth();
    const double w = width() - legendWidth;
    const double h = height();
    const preview::Viewport& v = view_;
    preview::Box visible;
    visible.Add(preview::Point{v.WorldX(0.0), v.WorldY(h)});
    visible.Add(preview::Point{v.WorldX(w), v.WorldY(0.0)});

    // The origin's two axes across the whole view.
    painter.setPen(QPen(ToQColor(preview::kAxisColour), 1.0));
    painter.drawLine(QPointF(0.0, v.PixelY(0.0)), QPointF(w, v.PixelY(0.0)));
    painter.drawLine(QPointF(v.PixelX(0.0), 0.0), QPointF(v.PixelX(0.0), h));

    if (scene_) {
        const preview::PreviewModel& model = scene_->model;
        painter.setRenderHint(QPainter::Antialiasing, true);
        for (const preview::ModelStroke& stroke : model.Strokes()) {
            preview::Box reach = stroke.bounds;
            reach.Add(preview::Point{reach.minX, reach.minY}, stroke.width / 2.0);
            reach.Add(preview::Point{reach.maxX, reach.maxY}, stroke.width / 2.0);
            if (!reach.Intersects(visible)) {
                continue;
            }
            QPainterPath path;
            path.moveTo(v.PixelX(stroke.points.front().x), v.PixelY(stroke.points.front().y));
            for (std::size_t k = 1; k < stroke.points.size(); ++k) {
                path.lineTo(v.PixelX(stroke.points[k].x), v.PixelY(stroke.points[k].y));
            }
            QPen pen(ToQColor(scene_->ColourOf(stroke.tool)), std::max(1.0, stroke.width * v.scale), Qt::SolidLine,
                     Qt::RoundCap, Qt::RoundJoin);
            painter.strokePath(path, pen);
        }
        painter.end();

        // Holes: small ones stamped into the image, large ones (few, as only visible ones are visited) painted.
        std::vector<std::size_t> large;
        std::map<int, std::vector<Span>> stamps; // by diameter in half pixels
        auto* const bits = reinterpret_cast<QRgb*>(cache_.bits());
        const auto stride = static_cast<std::ptrdiff_t>(cache_.bytesPerLine() / sizeof(QRgb));
        const int clipWidth = static_cast<int>(w);
        const int clipHeight = cache_.height();
        std::vector<QRgb> colours;
        for (const preview::Rgb& colour : scene_->toolColours) {
            colours.push_back(qRgb(colour.r, colour.g, colour.b));
        }
        model.ForEachHoleIn(visible, [&](std::size_t index) {
            const preview::ModelHole& hole = model.Holes()[index];
            const double diameter = hole.diameter * v.scale;
            if (diameter >= kStampPixels) {
                if (diameter < kFarPixels) {
                    large.push_back(index);
                }
                return;
            }
            const double px = std::floor(v.PixelX(hole.at.x));
            const double py = std::floor(v.PixelY(hole.at.y));
            if (!(std::fabs(px) < kFarPixels && std::fabs(py) < kFarPixels)) {
                return;
            }
            const int key = static_cast<int>(diameter * 2.0 + 0.5);
            auto found = stamps.find(key);
            if (found == stamps.end()) {
                found = stamps.emplace(key, DiskSpans(key / 2.0)).first;
            }
            const int cx = static_cast<int>(px);
            const int cy = static_cast<int>(py);
            const QRgb colour = colours[model.ToolRow(hole.tool)];
            for (const Span& span : found->second) {
                const int y = cy + span.dy;
                if (y < 0 || y >= clipHeight) {
                    continue;
                }
                const int x0 = std::max(0, cx + span.x0);
                const int x1 = std::min(clipWidth - 1, cx + span.x1);
                if (x0 <= x1) {
                    QRgb* row = bits + y * stride;
                    std::fill(row + x0, row + x1 + 1, colour);
                }
            }
        });
        painter.begin(&cache_);
        painter.setClipRect(QRectF(0.0, 0.0, w, h));
        painter.setRenderHint(QPainter::Antialiasing, true);
        painter.setPen(Qt::NoPen);
        for (const std::size_t index : large) {
            const preview::ModelHole& hole = model.Holes()[index];
            const double r = hole.diameter * v.scale / 2.0;
            painter.setBrush(ToQColor(scene_->ColourOf(hole.tool)));
            painter.drawEllipse(QPointF(v.PixelX(hole.at.x), v.PixelY(hole.at.y)), r, r);
        }

        if (showRapids_) {
            painter.end();
            const QRgb grey = qRgb(preview::kRapidColour.r, preview::kRapidColour.g, preview::kRapidColour.b);
            for (const preview::RapidLine& rapid : model.Rapids()) {
                DrawThinLine(bits, stride, clipWidth, clipHeight, v.PixelX(rapid.from.x), v.PixelY(rapid.from.y),
                             v.PixelX(rapid.to.x), v.PixelY(rapid.to.y), grey);
            }
            painter.begin(&cache_);
            painter.setClipRect(QRectF(0.0, 0.0, w, h));
        }

        painter.setRenderHint(QPainter::Antialiasing, true);
        painter.setPen(QPen(ToQColor(preview::kDifferenceColour), 2.0));
        painter.setBrush(Qt::NoBrush);
        const double mark = std::max(model.LargestDiameter() * v.scale, 6.0);
        for (const preview::Point& p : model.Differences()) {
            painter.drawEllipse(QPointF(v.PixelX(p.x), v.PixelY(p.y)), mark, mark);
        }
        painter.setRenderHint(QPainter::Antialiasing, false);
        painter.setClipping(false);
    }

    // Rulers in millimetres on white bands at the left and bottom, the extents above, the legend beside.
    const QColor background = ToQColor(preview::kBackground);
    painter.setPen(Qt::NoPen);
    painter.setBrush(background);
    painter.drawRect(QRectF(0.0, 0.0, preview::kMarginLeft, h));
    painter.drawRect(QRectF(0.0, h - preview::kMarginBottom, width(), preview::kMarginBottom));
    painter.drawRect(QRectF(0.0, 0.0, width(), preview::kMarginTop));
    painter.drawRect(QRectF(w, 0.0, legendWidth, h));
    QFont font = painter.font();
    font.setPixelSize(static_cast<int>(preview::kFontPixels));
    painter.setFont(font);
    const QColor axis = ToQColor(preview::kAxisColour);
    const double rulerY = h - preview::kMarginBottom;
    painter.setPen(QPen(axis, 1.0));
    painter.drawLine(QPointF(preview::kMarginLeft, rulerY), QPointF(w, rulerY));
    painter.drawLine(QPointF(preview::kMarginLeft, preview::kMarginTop), QPointF(preview::kMarginLeft, rulerY));
    // A label that would reach into the corner of the unit, or past the drawing, is left out; its tick stays.
    const QFontMetricsF metrics(font);
    for (const preview::AxisTick& tick :
         preview::AxisTicks(v.WorldX(preview::kMarginLeft), v.WorldX(w), v.scale, preview::kTickSpacingPixels)) {
        const double x = v.PixelX(tick.value);
        painter.drawLine(QPointF(x, rulerY), QPointF(x, rulerY + 5.0));
        const QString label = QString::fromStdString(tick.label);
        const double half = metrics.horizontalAdvance(label) / 2.0;
        if (x - half >= preview::kMarginLeft + 2.0 && x + half <= w) {
            painter.drawText(QRectF(x - 50.0, rulerY + 6.0, 100.0, preview::kFontPixels + 6.0), Qt::AlignHCenter,
                             label);
        }
    }
    for (const preview::AxisTick& tick :
         preview::AxisTicks(v.WorldY(rulerY), v.WorldY(preview::kMarginTop), v.scale, preview::kTickSpacingPixels)) {
        const double y = v.PixelY(tick.value);
        painter.drawLine(QPointF(preview::kMarginLeft - 5.0, y), QPointF(preview::kMarginLeft, y));
        if (y + metrics.height() / 2.0 <= rulerY + 2.0) {
            painter.drawText(QRectF(0.0, y - 10.0, preview::kMarginLeft - 8.0, 20.0), Qt::AlignRight | Qt::AlignVCenter,
                             QString::fromStdString(tick.label));
        }
    }
    // Both rulers count millimetres; the unit stands in the corner between them.
    painter.drawText(QRectF(0.0, rulerY + 6.0, preview::kMarginLeft - 8.0, preview::kFontPixels + 6.0), Qt::AlignRight,
                     QStringLiteral("mm"));
    if (scene_) {
        painter.setPen(ToQColor(preview::kTextColour));
        // The band above the drawing runs over the legend's column too: the extents line may use all of it.
        painter.drawText(
            QRectF(preview::kMarginLeft, 4.0, width() - preview::kMarginLeft - 8.0, preview::kMarginTop - 4.0),
            Qt::AlignLeft | Qt::AlignVCenter, QString::fromStdString(scene_->extentsText));
        double y = preview::kMarginTop;
        for (const preview::LegendRow& row : scene_->legend) {
            painter.fillRect(QRectF(w + 8.0, y + 3.0, 12.0, 12.0), ToQColor(row.colour));
            painter.drawText(QRectF(w + 26.0, y, legendWidth - 26.0, preview::kLegendRowPixels),
                             Qt::AlignLeft | Qt::AlignVCenter, QString::fromStdString(row.text));
            y += preview::kLegendRowPixels;
        }
        if (!scene_->differencesText.empty()) {
            painter.setPen(ToQColor(preview::kDifferenceColour));
            painter.drawText(QRectF(w + 8.0, y, legendWidth - 8.0, preview::kLegendRowPixels),
                             Qt::AlignLeft | Qt::AlignVCenter, QString::fromStdString(scene_->differencesText));
        }
    }
    DrawNotes(painter, w, h);
    lastRenderMs_ = static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

void PreviewCanvas::DrawNotes(QPainter& painter, double drawingWidth, double drawingHeight) {
    const QRectF area(preview::kMarginLeft, preview::kMarginTop, drawingWidth - preview::kMarginLeft,
                      drawingHeight - preview::kMarginTop - preview::kMarginBottom);
    QString note;
    if (!failure_.isEmpty()) {
        // What was there stays recognisable, but plainly not the current result.
        painter.fillRect(QRectF(0.0, 0.0, width(), height()), QColor(128, 128, 128, 150));
        note = QStringLiteral("conversion failed: ") + failure_;
    } else if (IsEmpty(scene_.get())) {
        note = emptyNote_.isEmpty()
                   ? QStringLiteral("Nothing to show yet: choose an input file with \"Input File\", or "
                                    "convert.")
                   : emptyNote_;
    }
    if (note.isEmpty()) {
        return;
    }
    QFont font = painter.font();
    font.setPixelSize(static_cast<int>(preview::kFontPixels + 2.0));
    painter.setFont(font);
    const QRectF box =
        painter.boundingRect(area.adjusted(24.0, 0.0, -24.0, 0.0), Qt::AlignCenter | Qt::TextWordWrap, note)
            .adjusted(-10.0, -6.0, 10.0, 6.0);
    painter.setPen(QPen(ToQColor(preview::kAxisColour), 1.0));
    painter.setBrush(ToQColor(preview::kBackground));
    painter.drawRect(box);
    painter.setPen(ToQColor(failure_.isEmpty() ? preview::kTextColour : preview::kDifferenceColour));
    painter.drawText(box, Qt::AlignCenter | Qt::TextWordWrap, note);
}

PreviewWindow::PreviewWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("PreviewWindow"));
    setWindowTitle(QStringLiteral("Preview"));
    canvas = new PreviewCanvas(this);
    chkRapids = new QCheckBox(QStringLiteral("Rapid moves"), this);
    chkRapids->setObjectName(QStringLiteral("chkRapids"));
    chkRapids->setChecked(true);
    btnFit = new QPushButton(QStringLiteral("Fit to window"), this);
    btnFit->setObjectName(QStringLiteral("btnFit"));
    btnFit->setToolTip(QStringLiteral("Fit to window (F)"));
    lblStatus = new QLabel(this);
    lblStatus->setObjectName(QStringLiteral("lblStatus"));
    lblStatus->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* bar = new QHBoxLayout;
    bar->addWidget(chkRapids);
    bar->addWidget(btnFit);
    bar->addStretch(1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(bar);
    layout->addWidget(canvas, 1);
    layout->addWidget(lblStatus);

    connect(chkRapids, &QCheckBox::toggled, this, [this](bool on) { RunGuarded([&] { canvas->SetShowRapids(on); }); });
    connect(btnFit, &QPushButton::clicked, this, [this] { RunGuarded([&] { canvas->FitToWindow(); }); });
    connect(new QShortcut(QKeySequence(Qt::Key_F), this), &QShortcut::activated, this,
            [this] { RunGuarded([&] { canvas->FitToWindow(); }); });
    connect(new QShortcut(QKeySequence(Qt::Key_Escape), this), &QShortcut::activated, this, [this] { close(); });
    connect(canvas, &PreviewCanvas::StatusChanged, lblStatus, &QLabel::setText);
    resize(900, 700);
}

void PreviewWindow::ShowProgram(const std::string& programPath, const std::map<std::int32_t, double>& toolDiameters,
                                std::vector<preview::Point> differences, std::optional<double> endMillMm) {
    std::error_code error;
    preview::Scene scene =
        preview::LoadProgramScene(programPath, toolDiameters, std::move(differences), error, endMillMm);
    SetScene(std::move(scene));
    canvas->SetEmptyNote(QStringLiteral("The program has no holes or cuts."));
    setWindowTitle(QStringLiteral("Preview - ") + QString::fromStdString(programPath));
    if (error) {
        lblStatus->setText(
            QStringLiteral("Cannot read %1: %2")
                .arg(QString::fromStdString(programPath), QString::fromStdString(platform::SystemReason(error))));
    }
}

void PreviewWindow::ShowInput(const QString& inputName, preview::Scene scene, const QString& problem) {
    SetScene(std::move(scene));
    canvas->SetEmptyNote(problem.isEmpty()
                             ? QStringLiteral("No holes or cuts in this file as it is read now: see z down, "
                                              "Divisor and File › Drill file format…, and convert for "
                                              "the log's warnings.")
                             : problem);
    setWindowTitle(QStringLiteral("Preview - %1 (not converted yet)").arg(inputName));
    if (!problem.isEmpty()) {
        lblStatus->setText(problem);
    }
}

void PreviewWindow::ShowFailure(const QString& message) {
    canvas->SetFailure(message);
    setWindowTitle(QStringLiteral("Preview - conversion failed: ") + message);
    lblStatus->setText(QStringLiteral("conversion failed: ") + message);
}

void PreviewWindow::SetScene(preview::Scene scene) {
    scene_ = std::make_shared<const preview::Scene>(std::move(scene));
    canvas->SetFailure(QString());
    canvas->SetScene(scene_);
    ShowSceneStatus();
}

void PreviewWindow::SetMachineTime(const std::string& line) {
    machineTime_ = line;
    if (scene_) {
        ShowSceneStatus();
    }
}

void PreviewWindow::ShowSceneStatus() {
    std::string text = scene_->extentsText;
    if (!machineTime_.empty()) {
        text += (text.empty() ? "" : "    ") + machineTime_;
    }
    lblStatus->setText(QString::fromStdString(text));
}

void PreviewWindow::RestoreSettings(const std::string& settingsFile) {
    settingsFile_ = settingsFile;
    std::string bytes;
    if (settingsFile_.empty() || platform::ReadWholeFile(settingsFile_, bytes)) {
        return;
    }
    const platform::IniDocument ini(std::move(bytes));
    chkRapids->setChecked(ini.ReadBool(kSection, "Rapids", true));
    const int width = ini.ReadInteger(kSection, "Width", 0);
    const int height = ini.ReadInteger(kSection, "Height", 0);
    if (width > 0 && height > 0) {
        resize(std::max(width, minimumSizeHint().width()), std::max(height, minimumSizeHint().height()));
    }
    if (ini.HasKey(kSection, "Left") && ini.HasKey(kSection, "Top")) {
        move(ini.ReadInteger(kSection, "Left", 0), ini.ReadInteger(kSection, "Top", 0));
    }
}

void PreviewWindow::SaveSettings() const {
    if (settingsFile_.empty()) {
        return;
    }
    // Read afresh, as the main window's settings are: only this section's keys change. Remembering the
    // preview's place is a convenience; a file that cannot be read or written is left alone.
    std::string bytes;
    const std::error_code readError = platform::ReadWholeFile(settingsFile_, bytes);
    if (readError && !platform::IsMissingFileError(readError)) {
        return;
    }
    platform::IniDocument ini(readError ? std::string() : std::move(bytes));
    const std::string before = ini.Text();
    ini.WriteBool(kSection, "Rapids", chkRapids->isChecked());
    ini.WriteInteger(kSection, "Left", pos().x());
    ini.WriteInteger(kSection, "Top", pos().y());
    ini.WriteInteger(kSection, "Width", width());
    ini.WriteInteger(kSection, "Height", height());
    if (ini.Text() != before) {
        static_cast<void>(platform::WriteFileAtomically(settingsFile_, ini.Text()));
    }
}

void PreviewWindow::hideEvent(QHideEvent* event) {
    SaveSettings();
    QWidget::hideEvent(event);
}

PreviewLink::~PreviewLink() {
    if (window_ && window_->isVisible()) {
        window_->SaveSettings();
    }
}

void PreviewLink::InputChanged() {
    showing_ = Showing::Input;
    shown_ = false;
    if (window_ && window_->isVisible()) {
        Refresh();
    }
}

void PreviewLink::ProgramWritten(const std::string& programPath, const std::map<std::int32_t, double>& toolDiameters,
                                 std::vector<preview::Point> differences) {
    showing_ = Showing::Program;
    programPath_ = programPath;
    toolDiameters_ = toolDiameters;
    differences_ = std::move(differences);
    shown_ = false;
    if (window_ && window_->isVisible()) {
        Refresh();
    }
}

void PreviewLink::ConversionFailed(const QString& message) {
    showing_ = Showing::Failure;
    failure_ = message;
    shown_ = false;
    if (window_ && window_->isVisible()) {
        Refresh();
    }
}

void PreviewLink::Refresh() {
    // The estimate belongs to the written program only.
    window_->SetMachineTime(showing_ == Showing::Program ? machineTime_ : std::string());
    switch (showing_) {
    case Showing::Nothing:
        break;
    case Showing::Input:
        if (readInput_) {
            InputPreview input = readInput_();
            window_->ShowInput(input.inputName, std::move(input.scene), input.problem);
        }
        break;
    case Showing::Program:
        window_->ShowProgram(programPath_, toolDiameters_, differences_, endMillMm_);
        break;
    case Showing::Failure:
        window_->ShowFailure(failure_);
        break;
    }
    shown_ = true;
}

void PreviewLink::Show(QWidget* owner) {
    if (!window_) {
        // A window of its own that closes with the main window; closing it only hides it.
        window_ = new PreviewWindow(owner);
        window_->RestoreSettings(settingsFile_);
        shown_ = false;
    }
    if (!shown_) {
        Refresh();
    }
    window_->show();
    window_->raise();
    window_->activateWindow();
}

} // namespace korvex::ui
