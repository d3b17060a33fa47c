// Real files in a temporary folder, and child processes for the faults a test cannot cause in its own
// process: a user without root's privileges, a file-size limit standing in for a full disk, a process killed
// in the middle of a write.
#pragma once

#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <grp.h>
#include <gtest/gtest.h>
#include <set>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "tests/support/Files.h"

namespace korvex::faults {

namespace fs = std::filesystem;

// The uid and gid of "nobody": what the permission tests run as when the suite runs as root (as CI does).
inline constexpr uid_t kNobody = 65534;

using testing::ReadFile;
using testing::WriteFile;

// Names of the entries of a folder, hidden ones included.
inline std::set<std::string> Entries(const fs::path& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        names.insert(entry.path().filename().string());
    }
    return names;
}

// A fresh folder per test that every user may enter; removed with all it holds.
class FaultTest : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = std::string(info->test_suite_name()) + "-" + info->name();
        for (char& c : name) {
            c = std::isalnum(static_cast<unsigned char>(c)) ? c : '-';
        }
        folder = fs::temp_directory_path() / ("korvex-faults-" + std::to_string(::getpid()) + "-" + name);
        fs::remove_all(folder);
        fs::create_directories(folder);
        fs::permissions(folder, fs::perms::all);
    }
    void TearDown() override {
        std::error_code ignored;
        for (auto it = fs::recursive_directory_iterator(folder, ignored); it != fs::recursive_directory_iterator();
             it.increment(ignored)) {
            if (it->is_directory(ignored) && !it->is_symlink(ignored)) {
                fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
            }
        }
        fs::permissions(folder, fs::perms::owner_all, fs::perm_options::add, ignored);
        fs::remove_all(folder, ignored);
    }

    fs::path Write(const std::string& name, const std::string& content) {
        const fs::path path = folder / name;
        WriteFile(path, content);
        fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                                  fs::perms::others_read);
        return path;
    }

    fs::path folder;
};

// What a child process reported.
struct ChildReport {
    bool skipped = false; // the child could not become the user asked for
    int status = 0;       // as waitpid gives it
    std::string text;     // what `body` returned, or the message of the exception it threw
};

struct ChildOptions {
    bool asNobody = false;                   // drop root's privileges first (a no-op for other users)
    rlim_t fileSizeLimit = 0;                // 0: none; else writes beyond it fail with EFBIG, as on a full disk
    std::function<void(pid_t)> whileRunning; // called in the parent while the child runs
};

// Runs `body` in a child process and returns its result. Exceptions end the child with their message.
inline ChildReport RunInChild(const std::function<std::string()>& body, const ChildOptions& options = {}) {
    int channel[2];
    if (::pipe(channel) != 0) {
        return {true, 0, "no pipe"};
    }
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(channel[0]);
        std::string text;
        bool ok = true;
        if (options.asNobody && ::geteuid() == 0) {
            ok = ::setgroups(0, nullptr) == 0 && ::setgid(kNobody) == 0 && ::setuid(kNobody) == 0;
        }
        if (!ok) {
            text = "\x01";
        } else {
            if (options.fileSizeLimit > 0) {
                std::signal(SIGXFSZ, SIG_IGN);
                const rlimit limit{options.fileSizeLimit, options.fileSizeLimit};
                ::setrlimit(RLIMIT_FSIZE, &limit);
            }
            try {
                text = body();
            } catch (const std::exception& error) {
                text = std::string("exception: ") + error.what();
            }
        }
        std::size_t done = 0;
        while (done < text.size()) {
            const ssize_t n = ::write(channel[1], text.data() + done, text.size() - done);
            if (n <= 0) {
                break;
            }
            done += static_cast<std::size_t>(n);
        }
        ::_exit(0); // no atexit handlers, no leak check: the parent owns this process's resources
    }
    ::close(channel[1]);
    ChildReport report;
    if (pid < 0) {
        ::close(channel[0]);
        report.skipped = true;
        return report;
    }
    if (options.whileRunning) {
        options.whileRunning(pid);
    }
    char buffer[4096];
    ssize_t n;
    while ((n = ::read(channel[0], buffer, sizeof buffer)) > 0) {
        report.text.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(channel[0]);
    ::waitpid(pid, &report.status, 0);
    report.skipped = report.text == "\x01";
    return report;
}

} // namespace korvex::faults
