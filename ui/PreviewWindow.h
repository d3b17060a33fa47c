// The preview window: the written program drawn to scale, beside the main window. It draws the same scene
// korvex-cli writes as SVG, with zoom around the pointer, panning, fit to window and a status line.
#pragma once

#include <QImage>
#include <QPoint>
#include <QPointer>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
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
    // A failed conversion: the picture stays, greyed, under the message. An empty message clears it.
    void SetFailure(const QString& message);
    const QString& Failure() const { return failure_; }
    // What an empty picture says instead.
    void SetEmptyNote(const QString& note);
    void FitToWindow();
    // Zooms by `factor` around the centre of the drawing; pans by pixels.
    void ZoomBy(double factor);
    void PanBy(double dx, double dy);
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
    void keyPressEvent(QKeyEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void Render();
    // The legend's column at the right, in pixels.
    double LegendWidth() const;
    void ViewChanged();
    // The status line follows every change of the view, not only the pointer's moves.
    void RefreshStatus();
    void DrawNotes(QPainter& painter, double drawingWidth, double drawingHeight);

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
    std::optional<QPointF> pointer_; // where the pointer is over the canvas
    QString failure_;
    QString emptyNote_;
};

class PreviewWindow : public QWidget {
    Q_OBJECT

public:
    explicit PreviewWindow(QWidget* parent = nullptr);

    // Reads the program back and shows it; a program that cannot be read shows why in the status line.
    void ShowProgram(const std::string& programPath, const std::map<std::int32_t, double>& toolDiameters,
                     std::vector<preview::Point> differences = {}, std::optional<double> endMillMm = std::nullopt);
    // The drill file as the chosen reading reads it, before any conversion; `problem` says why there is no
    // picture (the scene is then empty).
    void ShowInput(const QString& inputName, preview::Scene scene, const QString& problem = QString());
    // The last conversion failed: the picture is greyed under the reason.
    void ShowFailure(const QString& message);
    void SetScene(preview::Scene scene);
    // The run's "Machine time: " line, shown after the extents in the status line; empty for none.
    void SetMachineTime(const std::string& line);

    // The INI file whose section [Preview] keeps the rapids toggle and the window's place and size.
    void RestoreSettings(const std::string& settingsFile);
    void SaveSettings() const;

    PreviewCanvas* canvas = nullptr;
    QCheckBox* chkRapids = nullptr;
    QPushButton* btnFit = nullptr;
    QLabel* lblStatus = nullptr;

protected:
    void hideEvent(QHideEvent* event) override;

private:
    void ShowSceneStatus();

    std::shared_ptr<const preview::Scene> scene_;
    std::string machineTime_;
    std::string settingsFile_;
};

// The drill file read for the preview: its name, and its picture or why there is none.
struct InputPreview {
    QString inputName;
    preview::Scene scene;
    QString problem;
};

// What the main window keeps for its preview: what to show (the drill file before converting, the last program
// written, or the last failure), and the window once opened.
class PreviewLink {
public:
    PreviewLink() = default;
    ~PreviewLink();
    PreviewLink(const PreviewLink&) = delete;
    PreviewLink& operator=(const PreviewLink&) = delete;

    // Where the window keeps its settings, and how to read the input file when it is to be shown.
    void SetSettingsFile(std::string settingsFile) { settingsFile_ = std::move(settingsFile); }
    void SetInputReader(std::function<InputPreview()> reader) { readInput_ = std::move(reader); }

    // A new input file: an open preview shows it at once, "not converted yet".
    void InputChanged();
    // After each finished conversion: an open preview shows the new program at once.
    // `differences` are where the verification found the program and the drill file apart (drawn in red).
    void ProgramWritten(const std::string& programPath, const std::map<std::int32_t, double>& toolDiameters,
                        std::vector<preview::Point> differences = {});
    // Before ProgramWritten: the run's machine-time line for the status line.
    void SetMachineTime(std::string line) { machineTime_ = std::move(line); }
    // Before ProgramWritten: the drill rack's end mill, whose circles are drawn as the holes they make.
    void SetEndMill(std::optional<double> endMillMm) { endMillMm_ = endMillMm; }
    // After a conversion that did not finish: the picture is greyed under `message`.
    void ConversionFailed(const QString& message);
    // "Preview…": opens the window (non-modal, beside `owner`) on what there is to show.
    void Show(QWidget* owner);
    PreviewWindow* Window() const { return window_; }

private:
    enum class Showing { Nothing, Input, Program, Failure };
    void Refresh();

    QPointer<PreviewWindow> window_;
    Showing showing_ = Showing::Nothing;
    std::string programPath_;
    std::map<std::int32_t, double> toolDiameters_;
    std::vector<preview::Point> differences_;
    std::optional<double> endMillMm_;
    std::string machineTime_;
    QString failure_;
    std::string settingsFile_;
    std::function<InputPreview()> readInput_;
    bool shown_ = false; // whether the window shows what there is to show now
};

} // namespace korvex::ui
