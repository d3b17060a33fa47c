// The preview window: the written program drawn to scale, beside the main window. It draws the same scene
// korvex-cli writes as SVG, with zoom around the pointer, panning, fit to window and a status line.
#pragma once

#include <QImage>
#include <QPoint>
#include <QPointer>
#include <QWidget>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "preview/Scene.h"

class QCheckBox;
class QLabel;
class QPushButton;

namespace korvex::ui {

// Paints the scene. The picture is rendered into an image only when the view changes; pointer moves alone
// repaint nothing. Holes outside the view are never visited, and holes smaller than a few pixels are dots.
class PreviewCanvas : public QWidget {
    Q_OBJECT

public:
    explicit PreviewCanvas(QWidget* parent = nullptr);

    void SetScene(std::shared_ptr<const preview::Scene> scene);
    void SetShowRapids(bool show);
    void FitToWindow();
    const preview::Viewport& View() const { return view_; }
    // How long the last rendering of the picture took, in milliseconds.
    double LastRenderMilliseconds() const { return lastRenderMs_; }
    // The status line's text for a pointer at `pixel`.
    QString StatusAt(QPointF pixel) const;

signals:
    void StatusChanged(const QString& text);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void Render();
    // The legend's column at the right, in pixels.
    double LegendWidth() const;
    void ViewChanged();

    std::shared_ptr<const preview::Scene> scene_;
    preview::Viewport view_;
    bool followSize_ = true; // until the user zooms or pans
    bool showRapids_ = true;
    bool dragging_ = false;
    QPointF dragStart_;
    preview::Viewport dragStartView_;
    QImage cache_;
    bool cacheValid_ = false;
    preview::Viewport cacheView_; // the view the image was rendered for
    double lastRenderMs_ = 0.0;
};

class PreviewWindow : public QWidget {
    Q_OBJECT

public:
    explicit PreviewWindow(QWidget* parent = nullptr);

    // Reads the program back and shows it; a program that cannot be read shows why in the status line.
    void ShowProgram(const std::string& programPath, const std::map<std::int32_t, double>& toolDiameters,
                     std::vector<preview::Point> differences = {});
    void SetScene(preview::Scene scene);
    // The run's "Machine time: " line, shown after the extents in the status line; empty for none.
    void SetMachineTime(const std::string& line);

    PreviewCanvas* canvas = nullptr;
    QCheckBox* chkRapids = nullptr;
    QPushButton* btnFit = nullptr;
    QLabel* lblStatus = nullptr;

private:
    void ShowSceneStatus();

    std::shared_ptr<const preview::Scene> scene_;
    std::string machineTime_;
};

// What the main window keeps for its preview: the last program written, and the window once opened.
class PreviewLink {
public:
    // After each finished conversion: an open preview shows the new program at once.
    // `differences` are where the verification found the program and the drill file apart (drawn in red).
    void ProgramWritten(const std::string& programPath, const std::map<std::int32_t, double>& toolDiameters,
                        std::vector<preview::Point> differences = {});
    // Before ProgramWritten: the run's machine-time line for the status line.
    void SetMachineTime(std::string line) { machineTime_ = std::move(line); }
    // "Preview…": opens the window (non-modal, beside `owner`) on the last program.
    void Show(QWidget* owner);
    PreviewWindow* Window() const { return window_; }

private:
    QPointer<PreviewWindow> window_;
    std::string programPath_;
    std::map<std::int32_t, double> toolDiameters_;
    std::vector<preview::Point> differences_;
    std::string machineTime_;
    bool shown_ = false; // whether the window shows programPath_ as it is now
};

} // namespace korvex::ui
