// How long korvex takes from being started to its window being exposed, against an empty Qt window started
// the same way in the same run, alternately, so both see the same load. Each program prints the monotonic clock
// at its first expose (KORVEX_STARTUP_PROBE); the time counts from just before posix_spawn.
//
//   korvex-startup-bench [runs]     (default 15; QT_QPA_PLATFORM=offscreen unless a display is set)
//
// Prints best and median of each and their ratio, and whether korvex's median is within 1.3 x the empty window's
// and 300 ms (a measurement, not a check: on a loaded machine both move). Beside them the CPU time each process
// used in all (until it quit after the expose, every thread), which moves less with the machine's load.
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <ctime>
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
    double exposedMs = -1.0; // negative when the program did not report its expose
    double cpuMs = 0.0;
};

Start StartOnce(const std::string& program, const std::string& settingsFolder) {
    int out[2];
    if (::pipe(out) != 0) {
        return {};
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e) {
        env.emplace_back(*e);
    }
    env.emplace_back("KORVEX_STARTUP_PROBE=1");
    // Settings of its own: the bench neither reads nor changes the user's.
    env.emplace_back("XDG_CONFIG_HOME=" + settingsFolder);
    if (std::getenv("DISPLAY") == nullptr && std::getenv("QT_QPA_PLATFORM") == nullptr) {
        env.emplace_back("QT_QPA_PLATFORM=offscreen");
    }
    std::vector<char*> envp;
    for (std::string& e : env) {
        envp.push_back(e.data());
    }
    envp.push_back(nullptr);
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
    if (std::from_chars(text.data(), text.data() + text.size(), exposed).ec == std::errc() && exposed >= start) {
        result.exposedMs = static_cast<double>(exposed - start) / 1e6;
    }
    return result;
}

struct Figures {
    double best = 0.0;
    double median = 0.0;
};

Figures Summarise(std::vector<double> times) {
    std::sort(times.begin(), times.end());
    return Figures{times.front(), times[times.size() / 2]};
}

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
    std::vector<double> times[2];
    std::vector<double> cpu[2];
    for (int run = 0; run < runs; ++run) {
        for (int which = 0; which < 2; ++which) {
            const Start start = StartOnce(programs[which], pattern);
            if (start.exposedMs < 0.0) {
                std::fprintf(stderr, "%s did not report its window\n", programs[which].c_str());
                return 2;
            }
            times[which].push_back(start.exposedMs);
            cpu[which].push_back(start.cpuMs);
        }
    }
    const Figures empty = Summarise(times[0]);
    const Figures korvex = Summarise(times[1]);
    std::printf("window start-up to first expose, %d runs each (ms)\n", runs);
    std::printf("%-14s best %7.1f  median %7.1f   CPU median %7.1f\n", "empty Qt", empty.best, empty.median,
                Summarise(cpu[0]).median);
    std::printf("%-14s best %7.1f  median %7.1f   CPU median %7.1f\n", "korvex", korvex.best, korvex.median,
                Summarise(cpu[1]).median);
    const double ratio = korvex.median / empty.median;
    std::printf("korvex / empty (median) %.2f: %s\n", ratio,
                ratio <= 1.3 && korvex.median <= 300.0 ? "within 1.3 x and 300 ms" : "OVER 1.3 x or 300 ms");
    return 0;
}
