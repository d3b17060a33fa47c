// Running a built program from a test, and the window's design values the command line starts from.
#pragma once

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <string>
#include <vector>

#include "conversion/ConsoleHost.h"
#include "tests/support/Files.h"

namespace korvex::testing {

struct ProcessResult {
    int exitCode = -1; // -1: ended by a signal
    std::string out;   // empty when standard output went to a file of the caller's
    std::string err;
};

// Runs `program` with `args` in `work`, standard input from `stdinPath`; standard output and error go to
// `outPath` and `errPath` (so that `work` holds only what the program leaves), read back unless `keepOut`
// names standard output as the caller's own file.
inline ProcessResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                                const std::filesystem::path& work, const std::filesystem::path& stdinPath,
                                const std::filesystem::path& outPath, const std::filesystem::path& errPath,
                                bool keepOut = false) {
    std::vector<std::string> argvText{program};
    argvText.insert(argvText.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& text : argvText) {
        argv.push_back(text.data());
    }
    argv.push_back(nullptr);

    const pid_t child = ::fork();
    if (child == 0) {
        const int in = ::open(stdinPath.c_str(), O_RDONLY);
        const int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (in < 0 || out < 0 || err < 0 || ::dup2(in, 0) < 0 || ::dup2(out, 1) < 0 || ::dup2(err, 2) < 0 ||
            ::chdir(work.c_str()) != 0) {
            ::_exit(127);
        }
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    ProcessResult result;
    if (child < 0) {
        ADD_FAILURE() << "fork failed";
        return result;
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) {
            ADD_FAILURE() << "waitpid failed";
            return result;
        }
    }
    if (WIFEXITED(status)) {
        result.exitCode = WEXITSTATUS(status);
    }
    result.out = keepOut ? std::string() : ReadFile(outPath);
    result.err = ReadFile(errPath);
    return result;
}

// The window's design values, which korvex-cli starts from, for a run in this process.
inline void SetDesignValues(conversion::ConsoleHost& host, const std::string& input, const std::string& output) {
    using conversion::Field;
    host.SetField(Field::InputFileName, input);
    host.SetField(Field::OutputFileName, output);
    host.SetField(Field::XOffset, "0");
    host.SetField(Field::YOffset, "0");
    host.SetField(Field::ZOffset, "0");
    host.SetField(Field::ZUp, "1");
    host.SetField(Field::ZDown, "2");
    host.SetField(Field::Divisor, "1");
    host.SetMacroText(conversion::HostMacro::Before, "G00 Z30\r\n");
    host.SetMacroText(conversion::HostMacro::After, "M06\r\nG00 Z20\r\n");
}

} // namespace korvex::testing
