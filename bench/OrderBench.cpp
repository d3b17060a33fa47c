// How long the short drill order takes as the number of holes grows, and how much rapid travel it saves.
// Counters: travel_ratio = short order / file order, holes_per_s.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <numeric>
#include <vector>

#include "order/ShortPath.h"

namespace {

using korvex::order::Point;

// Holes spread over a 300 x 200 mm board in no particular order, as many CAD tools write them; half of them
// in rows of pins 2.54 mm apart, like connectors and chips.
std::vector<Point> Board(std::size_t count) {
    std::uint64_t state = 42;
    auto next = [&state](double limit) {
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<double>(state >> 11) / 9007199254740992.0 * limit;
    };
    std::vector<Point> points;
    points.reserve(count);
    while (points.size() < count) {
        const double x = next(300.0);
        const double y = next(200.0);
        if (points.size() % 2 == 0) {
            points.push_back({x, y});
            continue;
        }
        for (int pin = 0; pin < 16 && points.size() < count; ++pin) {
            points.push_back({x + 2.54 * pin, y});
        }
    }
    // Shuffle so that the file's order says nothing about where the holes are.
    for (std::size_t i = points.size(); i > 1; --i) {
        std::swap(points[i - 1], points[static_cast<std::size_t>(next(static_cast<double>(i)))]);
    }
    return points;
}

void BM_ShortOrder(benchmark::State& state) {
    const std::vector<Point> points = Board(static_cast<std::size_t>(state.range(0)));
    std::vector<std::size_t> fileOrder(points.size());
    std::iota(fileOrder.begin(), fileOrder.end(), std::size_t{0});
    std::vector<std::size_t> order;
    for (auto _ : state) {
        order = korvex::order::ShortOrder(points, Point{0.0, 0.0});
        benchmark::DoNotOptimize(order.data());
    }
    state.counters["travel_ratio"] = korvex::order::TravelLength(points, order, Point{0.0, 0.0}) /
                                     korvex::order::TravelLength(points, fileOrder, Point{0.0, 0.0});
    state.counters["holes_per_s"] =
        benchmark::Counter(static_cast<double>(points.size()), benchmark::Counter::kIsIterationInvariantRate);
}

BENCHMARK(BM_ShortOrder)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
