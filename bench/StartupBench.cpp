// How long korvex takes from being started to showing its window, against an empty Qt window started the same
// way in the same run, alternately, so both see the same load. Each program prints the monotonic clock when its
// window is first exposed and when that first frame is painted (KORVEX_STARTUP_PROBE); the time counts from just
// before posix_spawn.
//
//   korvex-startup-bench [runs]     (default 15)
//
// Measured on an X display: the one in DISPLAY, or else an Xvfb of the bench's own. A desktop start connects to
// the display, its input method, accessibility bus and icon theme, and the window is only visible once painted,
// so the verdict (korvex's median within 1.3 x the empty window's and 300 ms, to the painted frame) is taken
// there. The same figures without a display (Qt's offscreen platform, which skips all of that) follow for
// reference. Measurements, not checks: on a loaded machine both move. Beside them the CPU time each process used
// in all (until it quit after its first frame, every thread), which moves less with the machine's load.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

extern char** environ;

namespace {

long long Now() {
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec;
}

struct Start {
    double exposedMs = -1.0; // negative when the program did not report its window
    double paintedMs = -1.0;
    double cpuMs = 0.0;
};

// The environment with `extra` set, and every variable of the same name dropped.
std::vector<std::string> Environment(const std::vector<std::string>& extra) {
    std::vector<std::string> result;
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string entry(*e);
        const bool replaced = std::any_of(extra.begin(), extra.end(), [&entry](const std::string& wanted) {
            const std::size_t name = wanted.find('=') + 1;
            return entry.compare(0, name, wanted, 0, name) == 0;
        });
        if (!replaced) {
            result.push_back(entry);
        }
    }
    result.insert(result.end(), extra.begin(), extra.end());
    return result;
}

std::vector<char*> Pointers(std::vector<std::string>& texts) {
    std::vector<char*> result;
    for (std::string& text : texts) {
        result.push_back(text.data());
    }
    result.push_back(nullptr);
    return result;
}

Start StartOnce(const std::string& program, std::vector<std::string> env) {
    int out[2];
    if (::pipe(out) != 0) {
        return {};
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    std::vector<char*> envp = Pointers(env);
    std::vector<char*> argv = {const_cast<char*>(program.c_str()), nullptr};
    pid_t child = 0;
    const long long start = Now();
    const int error = ::posix_spawn(&child, program.c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    if (error != 0) {
        ::close(out[0]);
        return {};
    }
    std::string text;
    char block[64];
    for (ssize_t got; (got = ::read(out[0], block, sizeof block)) > 0;) {
        text.append(block, static_cast<std::size_t>(got));
    }
    ::close(out[0]);
    int status = 0;
    rusage usage{};
    ::wait4(child, &status, 0, &usage);
    Start result;
    result.cpuMs =
        (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
    long long exposed = 0;
    long long painted = 0;
    const char* const end = text.data() + text.size();
    const auto first = std::from_chars(text.data(), end, exposed);
    if (first.ec == std::errc() && first.ptr != end && std::from_chars(first.ptr + 1, end, painted).ec == std::errc() &&
        exposed >= start && painted >= exposed) {
        result.exposedMs = static_cast<double>(exposed - start) / 1e6;
        result.paintedMs = static_cast<double>(painted - start) / 1e6;
    }
    return result;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double Best(const std::vector<double>& values) {
    return *std::min_element(values.begin(), values.end());
}

struct Series {
    std::vector<double> exposed, painted, cpu;
};

// Both programs, alternately, `runs` times each; false when one did not report its window.
bool Measure(const std::string (&programs)[2], const std::vector<std::string>& env, int runs, Series (&series)[2]) {
    for (int run = 0; run < runs; ++run) {
        for (int which = 0; which < 2; ++which) {
            const Start start = StartOnce(programs[which], env);
            if (start.exposedMs < 0.0) {
                std::fprintf(stderr, "%s did not report its window\n", programs[which].c_str());
                return false;
            }
            series[which].exposed.push_back(start.exposedMs);
            series[which].painted.push_back(start.paintedMs);
            series[which].cpu.push_back(start.cpuMs);
        }
    }
    return true;
}

// Returns korvex's median to the painted frame over the empty window's.
double Report(const char* where, const Series (&series)[2]) {
    std::printf("%s\n", where);
    std::printf("  %-10s %21s %21s %11s\n", "", "exposed best / median", "painted best / median", "CPU median");
    const char* const names[2] = {"empty Qt", "korvex"};
    for (int which = 0; which < 2; ++which) {
        const Series& s = series[which];
        std::printf("  %-10s %9.1f / %9.1f %9.1f / %9.1f %11.1f\n", names[which], Best(s.exposed), Median(s.exposed),
                    Best(s.painted), Median(s.painted), Median(s.cpu));
    }
    const double exposedRatio = Median(series[1].exposed) / Median(series[0].exposed);
    const double paintedRatio = Median(series[1].painted) / Median(series[0].painted);
    std::printf("  korvex / empty (median): exposed %.2f, painted %.2f\n", exposedRatio, paintedRatio);
    return paintedRatio;
}

// An Xvfb of the bench's own, on the first free display; stopped when this object goes.
class OwnDisplay {
public:
    static std::optional<OwnDisplay> Start() {
        int ready[2];
        if (::pipe(ready) != 0) {
            return std::nullopt;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addclose(&actions, ready[0]);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
        const std::string fd = std::to_string(ready[1]);
        std::vector<std::string> args = {"Xvfb", "-displayfd", fd, "-screen", "0", "1280x1024x24", "-nolisten", "tcp"};
        std::vector<char*> argv = Pointers(args);
        pid_t server = 0;
        const int error = ::posix_spawnp(&server, "Xvfb", &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        ::close(ready[1]);
        if (error != 0) {
            ::close(ready[0]);
            return std::nullopt;
        }
        // Xvfb writes its display's number there once it accepts clients.
        std::string number;
        char block[16];
        for (ssize_t got;
             number.find('\n') == std::string::npos && (got = ::read(ready[0], block, sizeof block)) > 0;) {
            number.append(block, static_cast<std::size_t>(got));
        }
        ::close(ready[0]);
        int display = -1;
        if (std::from_chars(number.data(), number.data() + number.size(), display).ec != std::errc()) {
            ::kill(server, SIGTERM);
            ::waitpid(server, nullptr, 0);
            return std::nullopt;
        }
        return OwnDisplay(server, ":" + std::to_string(display));
    }

    OwnDisplay(OwnDisplay&& other) noexcept : server_(other.server_), name_(std::move(other.name_)) {
        other.server_ = 0;
    }
    OwnDisplay(const OwnDisplay&) = delete;
    OwnDisplay& operator=(const OwnDisplay&) = delete;
    OwnDisplay& operator=(OwnDisplay&&) = delete;
    ~OwnDisplay() {
        if (server_ > 0) {
            ::kill(server_, SIGTERM);
            ::waitpid(server_, nullptr, 0);
        }
    }

    const std::string& Name() const { return name_; }

private:
    OwnDisplay(pid_t server, std::string name) : server_(server), name_(std::move(name)) {}

    pid_t server_ = 0;
    std::string name_;
};

} // namespace

int main(int argc, char** argv) {
    int runs = 15;
    if (argc > 1) {
        std::from_chars(argv[1], argv[1] + std::char_traits<char>::length(argv[1]), runs);
    }
    runs = std::max(runs, 1);
    char pattern[] = "/tmp/korvex-startup-XXXXXX";
    if (::mkdtemp(pattern) == nullptr) {
        std::perror("mkdtemp");
        return 2;
    }
    const std::string programs[2] = {KORVEX_EMPTY_WINDOW_PATH, KORVEX_WINDOW_PATH};
    // Settings of its own: the bench neither reads nor changes the user's.
    const std::string settings = std::string("XDG_CONFIG_HOME=") + pattern;
    std::printf("window start-up, %d runs each (ms from start)\n", runs);

    const char* display = std::getenv("DISPLAY");
    std::optional<OwnDisplay> own =
        display == nullptr || *display == '\0' ? OwnDisplay::Start() : std::optional<OwnDisplay>();
    const std::string displayName = own ? own->Name() : display != nullptr ? display : "";
    if (!displayName.empty()) {
        Series series[2];
        if (!Measure(programs,
                     Environment({"KORVEX_STARTUP_PROBE=1", settings, "DISPLAY=" + displayName, "QT_QPA_PLATFORM=xcb"}),
                     runs, series)) {
            return 2;
        }
        const std::string where = "on the X display " + displayName + (own ? " (an Xvfb of the bench's own)" : "");
        const double ratio = Report(where.c_str(), series);
        const bool within = ratio <= 1.3 && Median(series[1].painted) <= 300.0;
        std::printf("  painted frame: %s\n", within ? "within 1.3 x and 300 ms" : "OVER 1.3 x or 300 ms");
    } else {
        std::printf("no X display (DISPLAY unset and no Xvfb to start): offscreen figures only, no verdict\n");
    }
    own.reset();

    Series offscreen[2];
    if (!Measure(programs, Environment({"KORVEX_STARTUP_PROBE=1", settings, "QT_QPA_PLATFORM=offscreen"}), runs,
                 offscreen)) {
        return 2;
    }
    Report("without a display (offscreen platform; for reference)", offscreen);
    return 0;
}
