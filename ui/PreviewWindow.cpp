#include "ui/PreviewWindow.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QHBoxLayout>
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
#include <map>

#include "platform/AtomicFile.h"
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

void PreviewCanvas::FitToWindow() {
    const preview::Box bounds = scene_ ? scene_->model.DrawingBounds() : preview::Box{};
    view_ = preview::FitViewport(bounds, width() - LegendWidth(), height());
    followSize_ = true;
    ViewChanged();
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
    const std::optional<std::size_t> nearest = scene_->model.NearestHole(at);
    if (nearest) {
        const preview::ModelHole& hole = scene_->model.Holes()[*nearest];
        const QString tool = hole.tool < 0 ? QStringLiteral("no tool") : QStringLiteral("T%1").arg(hole.tool);
        text += QStringLiteral("    nearest hole: %1 at X %2  Y %3 mm").arg(tool, Mm(hole.at.x), Mm(hole.at.y));
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
    for (const preview::AxisTick& tick :
         preview::AxisTicks(v.WorldX(preview::kMarginLeft), v.WorldX(w), v.scale, preview::kTickSpacingPixels)) {
        const double x = v.PixelX(tick.value);
        painter.drawLine(QPointF(x, rulerY), QPointF(x, rulerY + 5.0));
        painter.drawText(QRectF(x - 50.0, rulerY + 6.0, 100.0, preview::kFontPixels + 6.0), Qt::AlignHCenter,
                         QString::fromStdString(tick.label));
    }
    for (const preview::AxisTick& tick :
         preview::AxisTicks(v.WorldY(rulerY), v.WorldY(preview::kMarginTop), v.scale, preview::kTickSpacingPixels)) {
        const double y = v.PixelY(tick.value);
        painter.drawLine(QPointF(preview::kMarginLeft - 5.0, y), QPointF(preview::kMarginLeft, y));
        painter.drawText(QRectF(0.0, y - 10.0, preview::kMarginLeft - 8.0, 20.0), Qt::AlignRight | Qt::AlignVCenter,
                         QString::fromStdString(tick.label));
    }
    // Both rulers count millimetres; the unit stands in the corner between them.
    painter.drawText(QRectF(0.0, rulerY + 6.0, preview::kMarginLeft - 8.0, preview::kFontPixels + 6.0), Qt::AlignRight,
                     QStringLiteral("mm"));
    if (scene_) {
        painter.setPen(ToQColor(preview::kTextColour));
        painter.drawText(QRectF(preview::kMarginLeft, 4.0, w - preview::kMarginLeft, preview::kMarginTop - 4.0),
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
    lastRenderMs_ = static_cast<double>(timer.nsecsElapsed()) / 1e6;
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
    connect(canvas, &PreviewCanvas::StatusChanged, lblStatus, &QLabel::setText);
    resize(900, 700);
}

void PreviewWindow::ShowProgram(const std::string& programPath, const std::map<std::int32_t, double>& toolDiameters,
                                std::vector<preview::Point> differences) {
    std::error_code error;
    preview::Scene scene = preview::LoadProgramScene(programPath, toolDiameters, std::move(differences), error);
    SetScene(std::move(scene));
    setWindowTitle(QStringLiteral("Preview - ") + QString::fromStdString(programPath));
    if (error) {
        lblStatus->setText(
            QStringLiteral("Cannot read %1: %2")
                .arg(QString::fromStdString(programPath), QString::fromStdString(platform::SystemReason(error))));
    }
}

void PreviewWindow::SetScene(preview::Scene scene) {
    scene_ = std::make_shared<const preview::Scene>(std::move(scene));
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

void PreviewLink::ProgramWritten(const std::string& programPath, const std::map<std::int32_t, double>& toolDiameters,
                                 std::vector<preview::Point> differences) {
    programPath_ = programPath;
    toolDiameters_ = toolDiameters;
    differences_ = std::move(differences);
    shown_ = false;
    if (window_ && window_->isVisible()) {
        window_->SetMachineTime(machineTime_);
        window_->ShowProgram(programPath_, toolDiameters_, differences_);
        shown_ = true;
    }
}

void PreviewLink::Show(QWidget* owner) {
    if (!window_) {
        // A window of its own that closes with the main window; closing it only hides it.
        window_ = new PreviewWindow(owner);
        shown_ = false;
    }
    if (!shown_ && !programPath_.empty()) {
        window_->SetMachineTime(machineTime_);
        window_->ShowProgram(programPath_, toolDiameters_, differences_);
        shown_ = true;
    }
    window_->show();
    window_->raise();
    window_->activateWindow();
}

} // namespace korvex::ui
