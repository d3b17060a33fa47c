// The short drill order on arbitrary points, and the observer that writes holes in that order. Input: four
// bytes per point, X and Y as little-endian 16-bit numbers in hundredths of a mm (so that equal places, rows
// and columns are common); -32768 stands for not-a-number and 32767 for 1e308. The first point is the start.
// For the observer, the low bits of each point's X byte decide whether its line names X and Y, and a point
// whose Y byte is 0x7F ends the run of holes (as any other program line would).
//
// Checked besides memory safety: every point exactly once, the same order twice, never longer than the
// points' own order (also when ending towards a next point, and over two runs in sequence); the observer
// writes three lines per hole, no more, no less.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "conversion/ConversionState.h"
#include "conversion/ProgramEmitter.h"
#include "conversion/RunObserver.h"
#include "fuzz/FuzzSupport.h"
#include "order/ShortOrderObserver.h"
#include "order/ShortPath.h"
#include "platform/TextFile.h"

namespace {

using korvex::order::Point;

constexpr std::size_t kMaxPoints = 4096;

double Coordinate(const std::uint8_t* bytes) {
    const auto raw = static_cast<std::int16_t>(static_cast<std::uint16_t>(bytes[0] | (bytes[1] << 8)));
    if (raw == INT16_MIN) {
        return std::numeric_limits<double>::quiet_NaN();
    }
    if (raw == INT16_MAX) {
        return 1e308;
    }
    return raw / 100.0;
}

class CountingWriter : public korvex::platform::TextLineWriter {
public:
    void WriteLine(std::string_view) override { ++lines; }
    void Close() override {}
    std::size_t lines = 0;
};

void CheckOrder(const std::vector<Point>& points, Point start) {
    const std::vector<std::size_t> order = korvex::order::ShortOrder(points, start);
    KORVEX_FUZZ_CHECK(order.size() == points.size(), "order of another size");
    std::vector<char> seen(points.size(), 0);
    for (const std::size_t index : order) {
        KORVEX_FUZZ_CHECK(index < points.size() && seen[index] == 0, "a point twice or out of range");
        seen[index] = 1;
    }
    KORVEX_FUZZ_CHECK(korvex::order::ShortOrder(points, start) == order, "another order for the same points");
    std::vector<std::size_t> fileOrder(points.size());
    for (std::size_t i = 0; i < fileOrder.size(); ++i) {
        fileOrder[i] = i;
    }
    const double shortLength = korvex::order::TravelLength(points, order, start);
    const double fileLength = korvex::order::TravelLength(points, fileOrder, start);
    KORVEX_FUZZ_CHECK(!(shortLength > fileLength), "longer than the points' own order");

    // Ending towards the first point (the next run's start, say): still every point once, still never longer.
    const Point towards = points.empty() ? start : points.front();
    const std::vector<std::size_t> towardsOrder = korvex::order::ShortOrder(points, start, towards);
    KORVEX_FUZZ_CHECK(towardsOrder.size() == points.size(), "order of another size");
    std::vector<char> taken(points.size(), 0);
    for (const std::size_t index : towardsOrder) {
        KORVEX_FUZZ_CHECK(index < points.size() && taken[index] == 0, "a point twice or out of range");
        taken[index] = 1;
    }
    KORVEX_FUZZ_CHECK(!(korvex::order::TravelLength(points, towardsOrder, start, towards) >
                        korvex::order::TravelLength(points, fileOrder, start, towards)),
                      "longer than the points' own order on to the next point");
}

// The points as two runs, the first half and the rest: the whole travel is never longer than in file order.
void CheckRuns(const std::vector<Point>& points, Point start) {
    const std::size_t half = points.size() / 2;
    const std::vector<std::vector<Point>> runs{{points.begin(), points.begin() + static_cast<std::ptrdiff_t>(half)},
                                               {points.begin() + static_cast<std::ptrdiff_t>(half), points.end()}};
    const std::vector<std::vector<std::size_t>> orders = korvex::order::OrderRuns(runs, start);
    KORVEX_FUZZ_CHECK(orders.size() == 2 && orders[0].size() == runs[0].size() && orders[1].size() == runs[1].size(),
                      "orders of other sizes");
    auto total = [&](bool file) {
        double length = 0.0;
        Point at = start;
        for (std::size_t r = 0; r < 2; ++r) {
            std::vector<std::size_t> order = orders[r];
            for (std::size_t i = 0; file && i < order.size(); ++i) {
                order[i] = i;
            }
            length += korvex::order::TravelLength(runs[r], order, at);
            at = order.empty() ? at : runs[r][order.back()];
        }
        return length;
    };
    KORVEX_FUZZ_CHECK(!(total(false) > total(true)), "runs longer than in file order");
}

void CheckObserver(const std::uint8_t* data, std::size_t count) {
    korvex::conversion::ConversionState state;
    state.CurrentZUp = "Z1.00";
    state.CurrentZDown = "Z-2.0";
    CountingWriter output;
    state.OutputFile = &output;
    korvex::order::ShortOrderObserver observer;
    korvex::conversion::ProgramEmitter program(state);
    state.Emitter = &program;
    state.Observer = &observer;
    state.Order = &observer;
    std::size_t holes = 0;
    double x = 0.0;
    double y = 0.0;
    std::string xWord;
    std::string yWord;
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t* bytes = data + 4 * i;
        if (bytes[3] == 0x7F) {
            program.Flush();
            continue;
        }
        korvex::conversion::HoleEvent hole;
        hole.tool = bytes[0] >> 6;
        hole.hasX = (bytes[0] & 1) != 0 || (bytes[0] & 2) == 0;
        hole.hasY = (bytes[0] & 2) != 0 || (bytes[0] & 1) == 0;
        if (hole.hasX) {
            x = Coordinate(bytes);
            xWord = "X" + std::to_string(x);
            hole.xWord = xWord;
        }
        if (hole.hasY) {
            y = Coordinate(bytes + 2);
            yWord = "Y" + std::to_string(y);
            hole.yWord = yWord;
        }
        hole.x = x;
        hole.y = y;
        program.Hole(hole);
        KORVEX_FUZZ_CHECK(program.Holding(), "a hole not held");
        ++holes;
    }
    program.Flush();
    KORVEX_FUZZ_CHECK(output.lines == 3 * holes, "not three lines per hole");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 4) {
        return 0;
    }
    const Point start{Coordinate(data), Coordinate(data + 2)};
    const std::size_t count = std::min((size - 4) / 4, kMaxPoints);
    std::vector<Point> points;
    points.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        points.push_back({Coordinate(data + 4 + 4 * i), Coordinate(data + 6 + 4 * i)});
    }
    CheckOrder(points, start);
    CheckRuns(points, start);
    CheckObserver(data + 4, count);
    return 0;
}
