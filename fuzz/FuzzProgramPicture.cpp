// A program read back for the preview, on any bytes: the model, the hole search and the SVG must hold
// together whatever a hand-edited program holds. Every hole read must be drawn once, the nearest hole must be
// no farther than any other, and the picture must stay plain text.
#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz/FuzzSupport.h"
#include "preview/PreviewModel.h"
#include "preview/ProgramPreview.h"
#include "preview/Scene.h"
#include "preview/SvgWriter.h"

namespace {

using korvex::fuzz::Escaped;
using namespace korvex::preview;

std::size_t Occurrences(const std::string& text, const std::string& what) {
    std::size_t count = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) {
        ++count;
    }
    return count;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view program(reinterpret_cast<const char*>(data), size);
    const PreviewModel model(ReadProgramMoves(program), {{1, 0.8}, {2, 1e300}, {3, -1.0}}, {Point{1e308, -1e308}});
    for (const Point& probe : {Point{0.0, 0.0}, Point{-1e300, 5.0}, Point{12.5, 1e12}}) {
        const std::optional<std::size_t> nearest = model.NearestHole(probe);
        KORVEX_FUZZ_CHECK(nearest.has_value() == !model.Holes().empty(), Escaped(program));
        if (!nearest) {
            continue;
        }
        const Point at = model.Holes()[*nearest].at;
        const double found = std::hypot(at.x - probe.x, at.y - probe.y);
        for (const ModelHole& hole : model.Holes()) {
            KORVEX_FUZZ_CHECK(!(std::hypot(hole.at.x - probe.x, hole.at.y - probe.y) < found), Escaped(program));
        }
        model.HoleAt(probe);
    }
    if (model.Holes().size() + model.Rapids().size() < 5000) {
        const std::string svg = SceneToSvg(BuildScene(model));
        KORVEX_FUZZ_CHECK(Occurrences(svg, "<circle class=\"hole ") == model.Holes().size(), Escaped(program));
        KORVEX_FUZZ_CHECK(svg.find('\0') == std::string::npos, Escaped(program));
    }
    return 0;
}
