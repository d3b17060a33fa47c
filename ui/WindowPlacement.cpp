#include "ui/WindowPlacement.h"

#include <algorithm>

namespace korvex::ui {

QPoint KeepOnScreen(const QRect& window, const QRect& area) {
    if (area.isEmpty()) {
        return window.topLeft();
    }
    const auto fit = [](int position, int size, int start, int length) {
        // Right or bottom edge first, so that the left or top edge wins when the window is the larger.
        return std::max(start, std::min(position, start + length - size));
    };
    return {fit(window.x(), window.width(), area.x(), area.width()),
            fit(window.y(), window.height(), area.y(), area.height())};
}

} // namespace korvex::ui
