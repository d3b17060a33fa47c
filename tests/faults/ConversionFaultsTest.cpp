// The conversion run against a hostile file system: every fault ends in a clear message or a clean error,
// the drill file is never touched, and an older G-code program is either replaced whole or kept whole.
#include <fcntl.h>
#include <memory>
#include <ostream>
#include <sys/file.h>
#include <sys/stat.h>

#include "conversion/ConversionHost.h"
#include "conversion/ConversionState.h"
#include "conversion/Numbers.h"
#include "conversion/RunConversion.h"
#include "platform/TextFile.h"
#include "tests/fakes/RecordingHost.h"
#include "tests/faults/FaultSupport.h"

namespace korvex::faults {
namespace {

using conversion::Field;
using conversion::RunOutcome;
using testing::RecordingHost;

const std::string kOldProgram = "; the program of yesterday\r\nN00000 G00 Z1.000\r\nM30\r\n";

// A drill file of `holes` holes with one tool.
std::string DrillFile(int holes) {
    std::string drill = "M48\r\nM71\r\nT1C0.8\r\n%\r\nT1\r\n";
    for (int i = 0; i < holes; ++i) {
        drill += "X" + std::to_string(i) + ".5Y" + std::to_string(i % 97) + ".25\r\n";
    }
    return drill + "M30\r\n";
}

class ConversionFaultTest : public FaultTest {
protected:
    // The host of one run from `input` to `output`, with the window's design settings.
    static void Name(RecordingHost& host, const fs::path& input, const fs::path& output) {
        host.fields[Field::InputFileName] = input.string();
        host.fields[Field::OutputFileName] = output.string();
    }

    // Converts `input` into `output` in a child process: "ended early" or "finished", then the log.
    static ChildReport ConvertInChild(const fs::path& input, const fs::path& output, const std::string& earlierLog,
                                      const ChildOptions& options) {
        return RunInChild(
            [&] {
                RecordingHost host;
                host.log = earlierLog;
                Name(host, input, output);
                conversion::ConversionState state;
                const bool ended = conversion::RunConversion(state, host) == RunOutcome::EndedEarly;
                return std::string(ended ? "ended early\n" : "finished\n") + host.log;
            },
            options);
    }

    // What the program for `drill` is when nothing goes wrong.
    std::string ExpectedProgram(const std::string& drill) {
        const fs::path reference = folder / "reference";
        fs::create_directory(reference);
        WriteFile(reference / "in.drl", drill);
        RecordingHost host;
        Name(host, reference / "in.drl", reference / "out.CNC");
        conversion::ConversionState state;
        EXPECT_EQ(conversion::RunConversion(state, host), RunOutcome::Finished);
        std::string program = ReadFile(reference / "out.CNC");
        // The banner names the input file; the rest does not depend on where the file was.
        const std::size_t end = program.find("\r\n");
        program.erase(0, end);
        fs::remove_all(reference);
        return program;
    }

    static std::string WithoutFirstLine(std::string program) {
        program.erase(0, program.find("\r\n"));
        return program;
    }

    static std::string OpenFailure(const std::string& message, const std::string& logBefore) {
        return message + "\n\r" + logBefore;
    }
};

// The seven parameter lines that every run logs before it opens the files.
std::string ParameterLog(const fs::path& input, const fs::path& output) {
    return "do conversion with the following parameters:\nconvert file: " + input.string() +
           " to file: " + output.string() + "\nxoffsett...0\nyOffsett 0\nzauf...1\nzab...2\nStart processing of " +
           output.string() + " ...\n";
}

// ---- Output that cannot be written ----

TEST_F(ConversionFaultTest, FullDeviceEndsTheRunWithTheSystemsReason) {
    const fs::path drill = Write("board.drl", DrillFile(5000));
    const std::string drillBytes = ReadFile(drill);
    RecordingHost host;
    Name(host, drill, "/dev/full");
    conversion::ConversionState state;
    try {
        conversion::RunConversion(state, host);
        FAIL() << "the run reported no error";
    } catch (const platform::IoError& error) {
        EXPECT_STREQ(error.what(), "Error writing /dev/full: No space left on device");
    }
    EXPECT_EQ(host.log.find("Conversion finished"), std::string::npos);
    EXPECT_EQ(state.OutputFile, nullptr);
    EXPECT_EQ(ReadFile(drill), drillBytes);
}

// A file-size limit makes the disk "full" in the middle of the program, on a real folder.
TEST_F(ConversionFaultTest, DiskFullInTheMiddleKeepsTheOldProgramWhole) {
    const fs::path drill = Write("board.drl", DrillFile(20000));
    const fs::path output = Write("board.CNC", kOldProgram);
    const auto entriesBefore = Entries(folder);
    ChildOptions options;
    options.fileSizeLimit = 64 * 1024;
    const ChildReport report = ConvertInChild(drill, output, "", options);
    EXPECT_EQ(report.text, "exception: Error writing " + output.string() + ": File too large");
    EXPECT_EQ(ReadFile(output), kOldProgram);
    EXPECT_EQ(Entries(folder), entriesBefore) << "a temporary file was left behind";
}

TEST_F(ConversionFaultTest, DiskFullForANewProgramLeavesNoFile) {
    const fs::path drill = Write("board.drl", DrillFile(20000));
    const fs::path output = folder / "new.CNC";
    ChildOptions options;
    options.fileSizeLimit = 64 * 1024;
    const ChildReport report = ConvertInChild(drill, output, "", options);
    EXPECT_EQ(report.text, "exception: Error writing " + output.string() + ": File too large");
    EXPECT_EQ(Entries(folder), std::set<std::string>{"board.drl"});
}

// ---- Folders and files the user may not write ----

struct ProtectedOutputCase {
    const char* name;
    bool outputExists;
    fs::perms outputPermissions;
    fs::perms folderPermissions;
};

// Test names show the case by name.
void PrintTo(const ProtectedOutputCase& c, std::ostream* out) {
    *out << c.name;
}

class ProtectedOutputTest : public ConversionFaultTest, public ::testing::WithParamInterface<ProtectedOutputCase> {};

TEST_P(ProtectedOutputTest, RunEndsWithErrorOnCreatingAndChangesNothing) {
    const ProtectedOutputCase& c = GetParam();
    const fs::path drill = Write("board.drl", DrillFile(10));
    const fs::path output = folder / "board.CNC";
    if (c.outputExists) {
        Write("board.CNC", kOldProgram);
        fs::permissions(output, c.outputPermissions);
    }
    fs::permissions(folder, c.folderPermissions);
    const auto entriesBefore = Entries(folder);
    ChildOptions options;
    options.asNobody = true;
    const ChildReport report = ConvertInChild(drill, output, "earlier\n", options);
    if (report.skipped) {
        GTEST_SKIP() << "cannot drop root's privileges here, and root writes anywhere";
    }
    EXPECT_EQ(report.text, "ended early\n" + OpenFailure("error on creating " + output.string(),
                                                         "earlier\n" + ParameterLog(drill, output)));
    fs::permissions(folder, fs::perms::all);
    EXPECT_EQ(Entries(folder), entriesBefore);
    if (c.outputExists) {
        EXPECT_EQ(ReadFile(output), kOldProgram);
    }
}

constexpr fs::perms kReadOnlyFolder = fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                      fs::perms::others_read | fs::perms::others_exec;
constexpr fs::perms kReadOnlyFile = fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read;

INSTANTIATE_TEST_SUITE_P(
    Faults, ProtectedOutputTest,
    ::testing::Values(ProtectedOutputCase{"NewProgramInReadOnlyFolder", false, fs::perms::none, kReadOnlyFolder},
                      ProtectedOutputCase{"ReadOnlyProgram", true, kReadOnlyFile, fs::perms::all},
                      ProtectedOutputCase{"ReadOnlyProgramInReadOnlyFolder", true, kReadOnlyFile, kReadOnlyFolder},
                      // The program could be rewritten in place, but not replaced whole: refused rather than
                      // risk a half-written program.
                      ProtectedOutputCase{"WritableProgramInReadOnlyFolder", true, fs::perms::all, kReadOnlyFolder}),
    [](const auto& row) { return std::string(row.param.name); });

// ---- Drill files that cannot be read ----

struct UnreadableInputCase {
    const char* name;
    std::function<fs::path(const fs::path& folder)> make; // makes the input, returns its name
};

// Test names show the case by name.
void PrintTo(const UnreadableInputCase& c, std::ostream* out) {
    *out << c.name;
}

class UnreadableInputTest : public ConversionFaultTest, public ::testing::WithParamInterface<UnreadableInputCase> {};

TEST_P(UnreadableInputTest, CanNotOpenGoesOnTopAndNoProgramIsWritten) {
    const fs::path input = GetParam().make(folder);
    const fs::path output = Write("board.CNC", kOldProgram);
    const auto entriesBefore = Entries(folder);
    ChildOptions options;
    options.asNobody = true;
    const ChildReport report = ConvertInChild(input, output, "earlier\n", options);
    if (report.skipped) {
        GTEST_SKIP() << "cannot drop root's privileges here";
    }
    EXPECT_EQ(report.text, "ended early\n" + OpenFailure("can not open " + input.string(),
                                                         "earlier\n" + ParameterLog(input, output)));
    EXPECT_EQ(ReadFile(output), kOldProgram);
    EXPECT_EQ(Entries(folder), entriesBefore);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, UnreadableInputTest,
    ::testing::Values(UnreadableInputCase{"Folder",
                                          [](const fs::path& folder) {
                                              fs::create_directory(folder / "drills.drl");
                                              return folder / "drills.drl";
                                          }},
                      UnreadableInputCase{"Missing", [](const fs::path& folder) { return folder / "gone.drl"; }},
                      UnreadableInputCase{"PermissionDenied",
                                          [](const fs::path& folder) {
                                              WriteFile(folder / "secret.drl", "X1Y1\r\n");
                                              fs::permissions(folder / "secret.drl",
                                                              fs::perms::owner_read | fs::perms::owner_write);
                                              return folder / "secret.drl";
                                          }},
                      UnreadableInputCase{"InUnreadableFolder",
                                          [](const fs::path& folder) {
                                              fs::create_directory(folder / "closed");
                                              WriteFile(folder / "closed" / "a.drl", "X1\r\n");
                                              fs::permissions(folder / "closed", fs::perms::owner_all);
                                              return folder / "closed" / "a.drl";
                                          }}),
    [](const auto& row) { return std::string(row.param.name); });

// Files that are no drill files at all: a pipe without a writer would stop the window for good, and a device
// that never ends would fill the memory with one endless line. Neither may be taken for a drill file.
struct SpecialInputCase {
    const char* name;
    std::function<fs::path(const fs::path& folder)> make;
};

// Test names show the case by name.
void PrintTo(const SpecialInputCase& c, std::ostream* out) {
    *out << c.name;
}

class SpecialInputTest : public ConversionFaultTest, public ::testing::WithParamInterface<SpecialInputCase> {};

TEST_P(SpecialInputTest, IsRefusedWithoutWaitingOrReadingForever) {
    const fs::path input = GetParam().make(folder);
    const fs::path output = folder / "board.CNC";
    bool hung = false;
    ChildOptions options;
    options.whileRunning = [&](pid_t child) {
        // A guard against a hang, not a measure of speed: the run needs no time at all to refuse the file.
        for (int waited = 0; waited < 500; ++waited) {
            siginfo_t info{};
            if (::waitid(P_PID, static_cast<id_t>(child), &info, WEXITED | WNOHANG | WNOWAIT) != 0 ||
                info.si_pid != 0) {
                return;
            }
            ::usleep(10000);
        }
        hung = true;
        ::kill(child, SIGKILL);
    };
    const ChildReport report = ConvertInChild(input, output, "", options);
    EXPECT_FALSE(hung) << "the run waited or read for good";
    EXPECT_EQ(report.text,
              "ended early\n" + OpenFailure("can not open " + input.string(), ParameterLog(input, output)));
    EXPECT_FALSE(fs::exists(output));
}

INSTANTIATE_TEST_SUITE_P(Faults, SpecialInputTest,
                         ::testing::Values(SpecialInputCase{"PipeWithoutWriter",
                                                            [](const fs::path& folder) {
                                                                const fs::path pipe = folder / "pipe.drl";
                                                                ::mkfifo(pipe.c_str(), 0666);
                                                                return pipe;
                                                            }},
                                           SpecialInputCase{"EndlessDevice",
                                                            [](const fs::path&) { return fs::path("/dev/zero"); }}),
                         [](const auto& row) { return std::string(row.param.name); });

// ---- A drill file that vanishes while the run reads it ----

// Changes the drill file on disk right after the run has opened it.
class VanishingInputHost : public RecordingHost {
public:
    std::function<void()> afterOpen;
    std::unique_ptr<platform::TextLineWriter> CreateOutput(const std::string& name,
                                                           const platform::TextLineReader& input) override {
        afterOpen();
        return RecordingHost::CreateOutput(name, input);
    }
};

struct VanishCase {
    const char* name;
    std::function<void(const fs::path& drill)> vanish;
};

// Test names show the case by name.
void PrintTo(const VanishCase& c, std::ostream* out) {
    *out << c.name;
}

class VanishingInputTest : public ConversionFaultTest, public ::testing::WithParamInterface<VanishCase> {};

TEST_P(VanishingInputTest, RunGoesOnWithTheOpenFile) {
    // Larger than the reader's buffer, so most of it is read after the change.
    const std::string drillBytes = DrillFile(20000);
    const fs::path drill = Write("board.drl", drillBytes);
    const fs::path output = folder / "board.CNC";
    VanishingInputHost host;
    Name(host, drill, output);
    host.afterOpen = [&] { GetParam().vanish(drill); };
    conversion::ConversionState state;
    EXPECT_EQ(conversion::RunConversion(state, host), RunOutcome::Finished);
    EXPECT_EQ(WithoutFirstLine(ReadFile(output)), ExpectedProgram(drillBytes));
}

INSTANTIATE_TEST_SUITE_P(Faults, VanishingInputTest,
                         ::testing::Values(VanishCase{"Deleted", [](const fs::path& drill) { fs::remove(drill); }},
                                           VanishCase{"ReplacedByRename",
                                                      [](const fs::path& drill) {
                                                          WriteFile(drill.string() + ".new", "X9Y9\r\n");
                                                          fs::rename(drill.string() + ".new", drill);
                                                      }},
                                           VanishCase{"DeletedAndWrittenAnew",
                                                      [](const fs::path& drill) {
                                                          fs::remove(drill);
                                                          WriteFile(drill, "M48\r\n");
                                                      }}),
                         [](const auto& row) { return std::string(row.param.name); });

// ---- The drill file as its own output ----

struct SameFileCase {
    const char* name;
    std::function<fs::path(const fs::path& folder, const fs::path& drill)> outputName;
};

// Test names show the case by name.
void PrintTo(const SameFileCase& c, std::ostream* out) {
    *out << c.name;
}

class SameFileTest : public ConversionFaultTest, public ::testing::WithParamInterface<SameFileCase> {};

TEST_P(SameFileTest, OutputThatIsTheDrillFileIsRefusedAndTheDrillFileKept) {
    const std::string drillBytes = DrillFile(100);
    const fs::path drill = Write("board.drl", drillBytes);
    fs::create_hard_link(drill, folder / "hard.drl");
    fs::create_symlink(drill, folder / "soft.drl");
    fs::create_symlink(folder / "soft.drl", folder / "softer.drl");
    const auto entriesBefore = Entries(folder);
    const fs::path output = GetParam().outputName(folder, drill);
    RecordingHost host;
    Name(host, drill, output);
    conversion::ConversionState state;
    EXPECT_EQ(conversion::RunConversion(state, host), RunOutcome::EndedEarly);
    EXPECT_EQ(host.log, OpenFailure("error on creating " + output.string(), ParameterLog(drill, output)));
    EXPECT_EQ(ReadFile(drill), drillBytes);
    EXPECT_EQ(Entries(folder), entriesBefore);
    EXPECT_TRUE(fs::is_symlink(folder / "soft.drl"));
}

INSTANTIATE_TEST_SUITE_P(
    Faults, SameFileTest,
    ::testing::Values(
        SameFileCase{"SameName", [](const fs::path&, const fs::path& drill) { return drill; }},
        SameFileCase{"HardLink", [](const fs::path& folder, const fs::path&) { return folder / "hard.drl"; }},
        SameFileCase{"SymbolicLink", [](const fs::path& folder, const fs::path&) { return folder / "soft.drl"; }},
        SameFileCase{"LinkToALink", [](const fs::path& folder, const fs::path&) { return folder / "softer.drl"; }},
        SameFileCase{"OtherSpelling",
                     [](const fs::path& folder, const fs::path&) {
                         return folder / ".." / folder.filename() / "." / "board.drl";
                     }}),
    [](const auto& row) { return std::string(row.param.name); });

// ---- Two converters, one output ----

// A second instance of the program converts into the file that the first one is writing right now.
TEST_F(ConversionFaultTest, SecondConverterOnTheSameOutputGetsErrorOnCreating) {
    const fs::path drill = Write("board.drl", DrillFile(10));
    const fs::path output = Write("board.CNC", kOldProgram);
    int ready[2];
    int go[2];
    ASSERT_EQ(::pipe(ready), 0);
    ASSERT_EQ(::pipe(go), 0);
    std::string secondLog;
    RunOutcome secondOutcome = RunOutcome::Finished;
    ChildOptions options;
    options.whileRunning = [&](pid_t) {
        char byte;
        ASSERT_EQ(::read(ready[0], &byte, 1), 1);
        RecordingHost host;
        Name(host, drill, output);
        conversion::ConversionState state;
        secondOutcome = conversion::RunConversion(state, host);
        secondLog = host.log;
        ASSERT_EQ(::write(go[1], "g", 1), 1);
    };
    const ChildReport report = RunInChild(
        [&] {
            auto writer = platform::CreateTextOutputFile(output.string(), nullptr);
            if (!writer) {
                return std::string("the first converter could not create its program");
            }
            writer->WriteLine("; the first converter");
            char byte = 'r';
            if (::write(ready[1], &byte, 1) != 1 || ::read(go[0], &byte, 1) != 1) {
                return std::string("lost the parent");
            }
            writer->WriteLine("M30");
            writer->Close();
            return std::string("closed");
        },
        options);
    for (int fd : {ready[0], ready[1], go[0], go[1]}) {
        ::close(fd);
    }
    EXPECT_EQ(report.text, "closed");
    EXPECT_EQ(secondOutcome, RunOutcome::EndedEarly);
    EXPECT_EQ(secondLog, OpenFailure("error on creating " + output.string(), ParameterLog(drill, output)));
    EXPECT_EQ(ReadFile(output), "; the first converter\r\nM30\r\n");
    EXPECT_EQ(Entries(folder), (std::set<std::string>{"board.CNC", "board.drl"}));
}

// ---- Runs that stop halfway ----

TEST_F(ConversionFaultTest, ErrorHalfwayKeepsTheOldProgramAndLeavesNoTemporaryFile) {
    std::string drillBytes = DrillFile(20000);
    drillBytes.insert(drillBytes.size() - 5, "X1.2.3\r\n");
    const fs::path drill = Write("board.drl", drillBytes);
    const fs::path output = Write("board.CNC", kOldProgram);
    RecordingHost host;
    Name(host, drill, output);
    conversion::ConversionState state;
    try {
        conversion::RunConversion(state, host);
        FAIL() << "the run reported no error";
    } catch (const conversion::ConversionError& error) {
        EXPECT_STREQ(error.what(), "Can not convert value 1,2,3");
    }
    EXPECT_EQ(ReadFile(output), kOldProgram);
    EXPECT_EQ(ReadFile(drill), drillBytes);
    EXPECT_EQ(Entries(folder), (std::set<std::string>{"board.CNC", "board.drl"}));
}

// Hands the lines on, and stops the process for good after `stopAfter` of them (a power cut).
class StoppingWriter : public platform::TextLineWriter {
public:
    StoppingWriter(std::unique_ptr<platform::TextLineWriter> inner, int stopAfter, int signalFd)
        : inner_(std::move(inner)), left_(stopAfter), signalFd_(signalFd) {}
    void WriteLine(std::string_view text) override {
        inner_->WriteLine(text);
        if (--left_ == 0) {
            const char byte = 's';
            if (::write(signalFd_, &byte, 1) == 1) {
                for (;;) {
                    ::pause();
                }
            }
        }
    }
    void Close() override { inner_->Close(); }

private:
    std::unique_ptr<platform::TextLineWriter> inner_;
    int left_;
    int signalFd_;
};

class StoppingHost : public RecordingHost {
public:
    int stopAfter = 0;
    int signalFd = -1;
    std::unique_ptr<platform::TextLineWriter> CreateOutput(const std::string& name,
                                                           const platform::TextLineReader& input) override {
        auto inner = RecordingHost::CreateOutput(name, input);
        return inner ? std::make_unique<StoppingWriter>(std::move(inner), stopAfter, signalFd) : nullptr;
    }
};

TEST_F(ConversionFaultTest, ProcessKilledHalfwayKeepsTheOldProgramWhole) {
    const fs::path drill = Write("board.drl", DrillFile(20000));
    const fs::path output = Write("board.CNC", kOldProgram);
    int stopped[2];
    ASSERT_EQ(::pipe(stopped), 0);
    ChildOptions options;
    options.whileRunning = [&](pid_t child) {
        char byte;
        ASSERT_EQ(::read(stopped[0], &byte, 1), 1);
        ::kill(child, SIGKILL);
    };
    RunInChild(
        [&] {
            StoppingHost host;
            host.stopAfter = 40000;
            host.signalFd = stopped[1];
            Name(host, drill, output);
            conversion::ConversionState state;
            conversion::RunConversion(state, host);
            return std::string("finished");
        },
        options);
    ::close(stopped[0]);
    ::close(stopped[1]);
    EXPECT_EQ(ReadFile(output), kOldProgram);

    // The next run replaces it as usual.
    RecordingHost host;
    Name(host, drill, output);
    conversion::ConversionState state;
    EXPECT_EQ(conversion::RunConversion(state, host), RunOutcome::Finished);
    EXPECT_EQ(WithoutFirstLine(ReadFile(output)), ExpectedProgram(DrillFile(20000)));
}

} // namespace
} // namespace korvex::faults
