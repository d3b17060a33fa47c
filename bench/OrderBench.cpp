// How short and how fast the short drill order is. First a table: per shared real board the rapid travel
// korvex-cli reports with --order short against a near-optimal tour's length, then uniform random boards against
// the Beardwood-Halton-Hammersley estimate with the CPU time taken. Then the timing benchmarks.
// Counters: travel_ratio = short order / file order, holes_per_s.
#include <benchmark/benchmark.h>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <numeric>
#include <regex>
#include <string>
#include <unistd.h>
#include <vector>

#include "order/ShortPath.h"

namespace {

using korvex::order::Point;

class Sequence {
public:
    explicit Sequence(std::uint64_t seed) : state_(seed) {}
    double Next(double limit) {
        state_ = state_ * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<double>(state_ >> 11) / 9007199254740992.0 * limit;
    }

private:
    std::uint64_t state_;
};

// Holes spread over a 300 x 200 mm board in no particular order, as many CAD tools write them; half of them
// in rows of pins 2.54 mm apart, like connectors and chips.
std::vector<Point> Board(std::size_t count) {
    Sequence random(42);
    std::vector<Point> points;
    points.reserve(count);
    while (points.size() < count) {
        const double x = random.Next(300.0);
        const double y = random.Next(200.0);
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
        std::swap(points[i - 1], points[static_cast<std::size_t>(random.Next(static_cast<double>(i)))]);
    }
    return points;
}

// One tool's holes spread evenly over 100 x 100 mm.
std::vector<Point> Uniform(std::size_t count) {
    Sequence random(7);
    std::vector<Point> points(count);
    for (Point& p : points) {
        p.x = random.Next(100.0);
        p.y = random.Next(100.0);
    }
    return points;
}

// The shared boards with the length of a near-optimal tour (LKH-3, each tool's run from where the last one
// ended, end free, from X0 Y0, read with --excellon) and what the short order gave before this version.
struct SharedBoard {
    const char* file;
    double lkh;
    double before;
};

constexpr SharedBoard kSharedBoards[] = {
    {"gerbv-ekf2_drill0.exc", 6739, 7065},           {"altium_LimeSDR-QPCIe_1v2-RoundHoles.TXT", 6898, 7274},
    {"fritzing_combined.txt", 2505, 2668},           {"geda_controller.plated-drill.cnc", 1418, 1576},
    {"kicad-x2_Flashpads-PTH.drl", 593, 593},        {"pads_Drill.drl", 2393, 2482},
    {"pcb2gcode-kicad_multivibrator.drl", 283, 283}, {"target3001_IRNASIoTbank1.2.Drill", 1507, 1547},
    {"tracespace-kicad_mchck.drl", 271, 272},
};

// The rapid travel korvex-cli reports for a file in this order, or a negative number when it reports none.
double CliTravel(const std::filesystem::path& drill, const std::filesystem::path& output, const char* order) {
    const std::string command = std::string("\"") + KORVEX_CLI_PATH + "\" --excellon --order=" + order + " -o \"" +
                                output.string() + "\" \"" + drill.string() + "\" 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return -1.0;
    }
    std::string log;
    char buffer[4096];
    for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) {
        log.append(buffer, got);
    }
    pclose(pipe);
    std::smatch match;
    if (!std::regex_search(log, match, std::regex(R"(rapid travel ([0-9.]+) mm)"))) {
        return -1.0;
    }
    return std::stod(match[1].str());
}

// The holes of a written program, in runs: a run ends at any line that is not part of a hole (a tool change,
// a slot, a route). A hole is "G00 Z", "G00 X Y" (either word may be left out), "G01 Z".
std::vector<std::vector<Point>> ProgramRuns(const std::filesystem::path& program) {
    std::vector<std::string> lines;
    FILE* file = std::fopen(program.string().c_str(), "r");
    if (file == nullptr) {
        return {};
    }
    char buffer[4096];
    while (std::fgets(buffer, sizeof buffer, file) != nullptr) {
        std::string line(buffer);
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) {
            line.pop_back();
        }
        if (!line.empty() && line[0] == 'N' && line.find(' ') != std::string::npos) {
            line.erase(0, line.find(' ') + 1);
        }
        lines.push_back(line);
    }
    std::fclose(file);
    std::vector<std::vector<Point>> runs;
    Point at;
    bool inRun = false;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const bool hole = i + 2 < lines.size() && lines[i].rfind("G00 Z", 0) == 0 &&
                          lines[i + 1].rfind("G00 ", 0) == 0 && lines[i + 1].rfind("G00 Z", 0) != 0 &&
                          lines[i + 2].rfind("G01 Z", 0) == 0;
        if (!hole) {
            inRun = false;
            continue;
        }
        const std::string& move = lines[i + 1];
        for (std::size_t word = move.find_first_of("XY"); word != std::string::npos;
             word = move.find_first_of("XY", word + 1)) {
            double value = 0.0;
            std::from_chars(move.data() + word + 1, move.data() + move.size(), value);
            (move[word] == 'X' ? at.x : at.y) = value;
        }
        if (!inRun) {
            runs.emplace_back();
            inRun = true;
        }
        runs.back().push_back(at);
        i += 2;
    }
    return runs;
}

// The whole travel through the runs in these orders from X0 Y0.
double RunsTravel(const std::vector<std::vector<Point>>& runs, const std::vector<std::vector<std::size_t>>& orders) {
    double length = 0.0;
    Point at{0.0, 0.0};
    for (std::size_t r = 0; r < runs.size(); ++r) {
        length += korvex::order::TravelLength(runs[r], orders[r], at);
        at = orders[r].empty() ? at : runs[r][orders[r].back()];
    }
    return length;
}

void PrintSharedBoards() {
    const std::filesystem::path folder = KORVEX_REALDATA_DIR;
    std::printf("Shared boards (korvex-cli --excellon --order=short, rapid travel in mm):\n");
    if (!std::filesystem::is_directory(folder)) {
        std::printf("  skipped: %s is not there\n\n", folder.string().c_str());
        return;
    }
    const std::filesystem::path output =
        std::filesystem::temp_directory_path() / ("korvex-order-bench-" + std::to_string(::getpid()) + ".cnc");
    // "runs" orders the holes of the file-order program with OrderRuns (each run's end towards the next run);
    // it counts holes only, no moves to slots and routes, and so does "chained" (ShortOrder run after run).
    std::printf("  %-42s %8s %8s %8s %8s  %9s %9s %9s\n", "board", "LKH", "before", "now", "now/LKH", "holes:file",
                "chained", "runs");
    double sums[6] = {};
    for (const SharedBoard& board : kSharedBoards) {
        const double now = CliTravel(folder / board.file, output, "short");
        CliTravel(folder / board.file, output, "file"); // only the program is wanted: the log gives no travel
        const std::vector<std::vector<Point>> runs = ProgramRuns(output);
        if (now < 0.0 || runs.empty()) {
            std::printf("  %-42s no rapid travel reported or no holes read back\n", board.file);
            continue;
        }
        std::vector<std::vector<std::size_t>> fileOrders(runs.size());
        std::vector<std::vector<std::size_t>> chained(runs.size());
        Point at{0.0, 0.0};
        for (std::size_t r = 0; r < runs.size(); ++r) {
            fileOrders[r].resize(runs[r].size());
            std::iota(fileOrders[r].begin(), fileOrders[r].end(), std::size_t{0});
            chained[r] = korvex::order::ShortOrder(runs[r], at);
            at = chained[r].empty() ? at : runs[r][chained[r].back()];
        }
        const double row[6] = {board.lkh,
                               board.before,
                               now,
                               RunsTravel(runs, fileOrders),
                               RunsTravel(runs, chained),
                               RunsTravel(runs, korvex::order::OrderRuns(runs, Point{0.0, 0.0}))};
        std::printf("  %-42s %8.0f %8.0f %8.1f %8.4f  %9.1f %9.1f %9.1f\n", board.file, row[0], row[1], row[2],
                    row[2] / row[0], row[3], row[4], row[5]);
        for (int i = 0; i < 6; ++i) {
            sums[i] += row[i];
        }
    }
    std::filesystem::remove(output);
    std::printf("  %-42s %8.0f %8.0f %8.1f %8.4f  %9.1f %9.1f %9.1f\n\n", "total", sums[0], sums[1], sums[2],
                sums[2] / sums[0], sums[3], sums[4], sums[5]);
}

void PrintUniformBoards() {
    std::printf("Uniform boards, one tool, 100 x 100 mm, from a corner, end free:\n");
    std::printf("  %9s %12s %12s %8s %9s\n", "holes", "travel mm", "BHH mm", "ratio", "CPU s");
    for (const std::size_t count : {std::size_t{10000}, std::size_t{100000}, std::size_t{1000000}}) {
        const std::vector<Point> points = Uniform(count);
        const std::clock_t started = std::clock();
        const std::vector<std::size_t> order = korvex::order::ShortOrder(points, Point{0.0, 0.0});
        const double seconds = static_cast<double>(std::clock() - started) / CLOCKS_PER_SEC;
        const double travel = korvex::order::TravelLength(points, order, Point{0.0, 0.0});
        const double bhh = 0.7124 * std::sqrt(static_cast<double>(count) * 100.0 * 100.0);
        std::printf("  %9zu %12.1f %12.1f %8.4f %9.2f\n", count, travel, bhh, travel / bhh, seconds);
        std::fflush(stdout);
    }
    std::printf("\n");
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

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    PrintSharedBoards();
    PrintUniformBoards();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
