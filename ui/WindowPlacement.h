// Where a window opens: at its design position, unless that would leave part of it outside the screen's
// available area (a small laptop screen, a panel at the edge); then it moves just far enough, its size kept.
#pragma once

#include <QPoint>
#include <QRect>

namespace korvex::ui {

// The top-left corner for `window` so that it lies inside `area`; where it is larger than the area, its
// top-left corner goes to the area's (the title bar and the menu stay reachable).
QPoint KeepOnScreen(const QRect& window, const QRect& area);

} // namespace korvex::ui
