// The preview as an SVG picture, plain text without Qt, for korvex-cli.
#pragma once

#include <string>
#include <system_error>

#include "preview/Scene.h"

namespace korvex::preview {

// The picture is `width` pixels wide (the legend column included); its height follows the drawing's shape.
// Holes are <circle class="hole T<n>"> in millimetres, cuts <polyline class="cut T<n>">, rapid moves
// <line class="rapid">, differences <circle class="difference">.
std::string SceneToSvg(const Scene& scene, double width = 1200.0, bool showRapids = true);

// Writes the picture whole or not at all; the system's error otherwise.
[[nodiscard]] std::error_code WriteSvgFile(const std::string& path, const Scene& scene);

} // namespace korvex::preview
