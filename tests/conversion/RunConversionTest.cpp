#include "conversion/RunConversion.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <random>
#include <sstream>
#include <unistd.h>

#include "conversion/ConversionState.h"
#include "conversion/Numbers.h"
#include "conversion/ProgramEmitter.h"
#include "conversion/RunObserver.h"
#include "platform/TextFile.h"
#include "tests/fakes/RecordingHost.h"
#include "tests/support/Files.h"

namespace korvex::conversion {
namespace {

namespace fs = std::filesystem;
using testing::ReadFile;
using testing::RecordingHost;
using testing::WriteFile;

// The body of a program: everything after the seven banner lines.
std::string Body(const std::string& program) {
    std::size_t pos = 0;
    for (int line = 0; line < 7; ++line) {
        pos = program.find("\r\n", pos) + 2;
    }
    return program.substr(pos);
}

class RunConversionTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder = fs::temp_directory_path() / ("korvex-run-" + std::to_string(::getpid()) + "-" +
                                              ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(folder);
        fs::create_directories(folder);
        input = folder / "board.drl";
        output = folder / "board.CNC";
        host.fields[Field::InputFileName] = input.string();
        host.fields[Field::OutputFileName] = output.string();
        state.LineNumbersOn = true;
        state.LineNumberIncrement = 5;
    }
    void TearDown() override { fs::remove_all(folder); }

    fs::path folder;
    fs::path input;
    fs::path output;
    RecordingHost host;
    ConversionState state;
};

TEST_F(RunConversionTest, ZWordsFillTheToolTable) {
    struct Case {
        const char* zOffset;
        const char* zUp;
        const char* zDown;
        const char* upWord;
        const char* storedUp;
        const char* storedDown;
    };
    const Case cases[] = {
        {"0", "1", "2", "G00 Z1.000", "Z1.00", "Z-2.0"},        {"5", "1", "2", "G00 Z6.000", "Z6.00", "Z3.00"},
        {"0", "1", "10", "G00 Z1.000", "Z1.00", "Z-10."},       {"0.0005", "1", "2", "G00 Z1.001", "Z1.001", "Z-2.0"},
        {"0", "1.25", "0.05", "G00 Z1.250", "Z1.25", "Z-0.05"},
    };
    WriteFile(input, "");
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.zOffset) + " " + c.zUp + " " + c.zDown);
        host.fields[Field::ZOffset] = c.zOffset;
        host.fields[Field::ZUp] = c.zUp;
        host.fields[Field::ZDown] = c.zDown;
        ASSERT_EQ(RunConversion(state, host), RunOutcome::Finished);
        EXPECT_EQ(Body(ReadFile(output)), std::string(c.upWord) + "\r\nM30\r\n");
        for (int tool = 0; tool < ToolTable::kSize; ++tool) {
            ASSERT_EQ(state.ToolTable[tool].ZUp, c.storedUp);
            ASSERT_EQ(state.ToolTable[tool].ZDown, c.storedDown);
        }
    }
}

TEST_F(RunConversionTest, SuccessfulRunLogsAfterEarlierContent) {
    WriteFile(input, "M48\r\nT1C0.8\r\n%\r\nT1\r\nX10Y20\r\nM30\r\n");
    host.log = "earlier\n";
    host.fields[Field::XOffset] = "0";
    ASSERT_EQ(RunConversion(state, host), RunOutcome::Finished);
    EXPECT_EQ(host.log, "earlier\n"
                        "do conversion with the following parameters:\n"
                        "convert file: " +
                            input.string() + " to file: " + output.string() +
                            "\n"
                            "xoffsett...0\n"
                            "yOffsett 0\n"
                            "zauf...1\n"
                            "zab...2\n"
                            "Start processing of " +
                            output.string() +
                            " ...\n"
                            "Conversion finished\n");
    const std::string program = ReadFile(output);
    EXPECT_EQ(program.substr(0, program.find("\r\n")), "; Conversion of file :" + input.string() + " to CNC-code");
    EXPECT_EQ(Body(program), "; M48\r\n"
                             "; T1  C0.8   ; Tool-definition\r\n"
                             ";% of Header Definition\r\n"
                             "N00000 G00 Z30\r\n"
                             "N00005 T1\r\n"
                             "N00010 M06\r\n"
                             "N00015 G00 Z20\r\n"
                             "N00020 G00 Z1.00\r\n"
                             "N00025 G00 X0.254 Y0.508\r\n"
                             "N00030 G01 Z-2.0\r\n"
                             "N00035 G00 Z1.000\r\n"
                             "N00040 M30\r\n");
    EXPECT_TRUE(state.InchMode);
    EXPECT_EQ(state.OutputFile, nullptr);
}

TEST_F(RunConversionTest, BannerLinesAreFixedExceptTheFreeOnes) {
    WriteFile(input, "");
    ASSERT_EQ(RunConversion(state, host), RunOutcome::Finished);
    std::istringstream lines(ReadFile(output));
    std::vector<std::string> banner(7);
    for (std::string& line : banner) {
        std::getline(lines, line);
    }
    EXPECT_EQ(banner[1], "; Conversion done by KORVEX_WIN\r");
    EXPECT_EQ(banner[2], "; The file can be run with a CNC-Machine\r");
    EXPECT_EQ(banner[3].substr(0, 2), "; ");
    EXPECT_EQ(banner[4].substr(0, 2), "; ");
    EXPECT_EQ(banner[5], "; " + std::string(46, '-') + "\r");
    EXPECT_EQ(banner[6], ";\r");
}

TEST_F(RunConversionTest, HolesBeforeTheFirstToolUseThisRunsZ) {
    WriteFile(input, "T1\r\nX1\r\n");
    ASSERT_EQ(RunConversion(state, host), RunOutcome::Finished);
    host.fields[Field::ZUp] = "3";
    WriteFile(input, "X1\r\n");
    ASSERT_EQ(RunConversion(state, host), RunOutcome::Finished);
    EXPECT_EQ(Body(ReadFile(output)), "N00000 G00 Z3.00\r\n"
                                      "N00005 G00 X0.025\r\n"
                                      "N00010 G01 Z-2.0\r\n"
                                      "G00 Z3.000\r\nM30\r\n");
}

TEST_F(RunConversionTest, NumericalErrorStopsTheRunAndDivisorZeroBecomesOne) {
    struct Case {
        const char* divisor;
        const char* xOffset;
        std::vector<std::string> boxes;
        const char* stop; // nullptr: the run converts
    };
    const Case cases[] = {
        {"abc",
         "1.2.3",
         {"Cant convert abc", "Cant convert 1,2,3"},
         "Numerical Error in Divisor \"abc\", xOffsett \"1.2.3\": conversion stopped, no program written"},
        {"1",
         "0.000f",
         {"Cant convert 0,000f"},
         "Numerical Error in xOffsett \"0.000f\": conversion stopped, no program written"},
        {"", "0", {"Cant convert "}, "Numerical Error in Divisor \"\": conversion stopped, no program written"},
        {"0", "0", {}, nullptr},
    };
    WriteFile(input, "M71\r\nX10Y10\r\n");
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.divisor) + " " + c.xOffset);
        WriteFile(output, "older program\r\n");
        host.boxes.clear();
        host.fields[Field::Divisor] = c.divisor;
        host.fields[Field::XOffset] = c.xOffset;
        host.fields[Field::YOffset] = "2";
        if (c.stop != nullptr) {
            try {
                RunConversion(state, host);
                ADD_FAILURE() << "the run did not stop";
            } catch (const ConversionError& error) {
                EXPECT_STREQ(error.what(), c.stop);
            }
            EXPECT_EQ(ReadFile(output), "older program\r\n");
            EXPECT_NE(host.LogText().find(c.stop), std::string::npos);
        } else {
            ASSERT_EQ(RunConversion(state, host), RunOutcome::Finished);
            EXPECT_NE(ReadFile(output).find("G00 X10.000 Y12.000"), std::string::npos);
        }
        EXPECT_EQ(host.boxes, c.boxes);
        // The rule for 0 holds for a bad divisor too: the field shows what the run would divide by.
        if (std::string(c.divisor) != "1") {
            EXPECT_EQ(host.fields[Field::Divisor], "1");
        }
    }

    // Without an input name the run ends before anything else, but after the divisor's rule.
    host.boxes.clear();
    host.fields[Field::Divisor] = "0";
    host.fields[Field::InputFileName] = "";
    EXPECT_EQ(RunConversion(state, host), RunOutcome::EndedEarly);
    EXPECT_TRUE(host.boxes.empty());
    EXPECT_EQ(host.fields[Field::Divisor], "1");
}

TEST_F(RunConversionTest, EarlyEnds) {
    struct Case {
        const char* name;
        std::string inputName;
        std::string outputName;
        std::string log;
    };
    const std::string previous = "previous\n";
    const Case cases[] = {
        {"empty input name", "", "out.CNC", previous},
        {"empty output name", "in.drl", "", previous},
        {"not specified", "not specified!!!", "out.CNC",
         previous + "specify input file,  for more information press KORVEX -h\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        host.log = previous;
        host.fields[Field::InputFileName] = c.inputName;
        host.fields[Field::OutputFileName] = c.outputName;
        host.fields[Field::XOffset] = "4";
        state.XOffset = 0;
        EXPECT_EQ(RunConversion(state, host), RunOutcome::EndedEarly);
        EXPECT_EQ(host.log, c.log);
    }
    // "not specified!!!" ends after the settings were taken.
    EXPECT_EQ(state.XOffset, 4.0);
}

TEST_F(RunConversionTest, InputThatCannotBeOpenedGoesOnTop) {
    host.log = "earlier\n";
    host.fields[Field::InputFileName] = "please specify";
    EXPECT_EQ(RunConversion(state, host), RunOutcome::EndedEarly);
    EXPECT_EQ(host.log.substr(0, std::string("can not open please specify\n\rearlier\n").size()),
              "can not open please specify\n\rearlier\n");
    EXPECT_NE(host.log.find("Start processing of " + output.string() + " ..."), std::string::npos);
    EXPECT_FALSE(fs::exists(output));
}

TEST_F(RunConversionTest, OutputThatIsTheInputIsRefused) {
    const std::string drill = "M48\r\nT1\r\n%\r\nX1Y1\r\n";
    WriteFile(input, drill);
    fs::create_hard_link(input, folder / "hard.drl");
    fs::create_symlink(input, folder / "soft.drl");
    for (const fs::path& name :
         {input, folder / "hard.drl", folder / "soft.drl", folder / ".." / folder.filename() / "board.drl"}) {
        SCOPED_TRACE(name.string());
        host.log.clear();
        host.fields[Field::OutputFileName] = name.string();
        EXPECT_EQ(RunConversion(state, host), RunOutcome::EndedEarly);
        EXPECT_EQ(host.log.substr(0, host.log.find('\n')), "error on creating " + name.string());
        EXPECT_EQ(ReadFile(input), drill);
    }
}

TEST_F(RunConversionTest, BadZFieldEndsTheRunBeforeTheTableChanges) {
    WriteFile(input, "");
    ASSERT_EQ(RunConversion(state, host), RunOutcome::Finished);
    host.fields[Field::ZDown] = "1,2";
    host.fields[Field::XOffset] = "7";
    try {
        RunConversion(state, host);
        FAIL() << "no error raised";
    } catch (const ConversionError& error) {
        EXPECT_STREQ(error.what(), "Can not convert value 1,2");
    }
    EXPECT_EQ(state.ToolTable[0].ZDown, "Z-2.0");
    EXPECT_EQ(state.XOffset, 0.0);
}

TEST_F(RunConversionTest, ErrorInTheBodyLeavesNoPartialProgramAndKeepsTheOldOne) {
    WriteFile(output, "old program\r\n");
    WriteFile(input, "X1\r\nX1.2.3\r\n");
    host.log = "";
    try {
        RunConversion(state, host);
        FAIL() << "no error raised";
    } catch (const ConversionError& error) {
        EXPECT_STREQ(error.what(), "Can not convert value 1,2,3");
    }
    EXPECT_EQ(ReadFile(output), "old program\r\n");
    EXPECT_EQ(host.log.find("Conversion finished"), std::string::npos);
    EXPECT_EQ(state.OutputFile, nullptr);
    fs::remove(output);
    EXPECT_THROW(RunConversion(state, host), ConversionError);
    EXPECT_FALSE(fs::exists(output));
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1)
        << "a temporary file was left";
}

TEST_F(RunConversionTest, OverflowingValuesEndTheRunAndLeaveNoProgram) {
    const std::string ones308 = "1" + std::string(308, '0');
    const std::string ones300 = "1" + std::string(300, '0');
    struct Case {
        const char* name;
        std::string drill;
        std::map<Field, std::string> fields;
        std::string message;
    };
    const Case cases[] = {
        {"inch x, tiny divisor",
         "X1000000000000\r\n",
         {{Field::Divisor, "1e-300"}},
         "Value out of range: X1000000000000"},
        {"inch y, tiny divisor",
         "X0Y1000000000000\r\n",
         {{Field::Divisor, "1e-300"}},
         "Value out of range: Y1000000000000"},
        {"metric x, 308 zeros",
         "M71\r\nX" + ones308 + "\r\n",
         {{Field::Divisor, "0.1"}},
         "Value out of range: X" + ones308},
        {"metric y, offset",
         "M71\r\nY" + ones308 + "\r\n",
         {{Field::YOffset, "1e308"}},
         "Value out of range: Y" + ones308},
        {"negative x offset",
         "M71\r\nX-" + ones308 + "\r\n",
         {{Field::XOffset, "-1e308"}},
         "Value out of range: X-" + ones308},
        {"inch x offset",
         "X" + ones308 + "\r\n",
         {{Field::XOffset, "1.797e308"}, {Field::Divisor, "0.01"}},
         "Value out of range: X" + ones308},
        {"after good holes",
         "M71\r\nX1Y1\r\nX2\r\nX" + ones300 + "\r\n",
         {{Field::Divisor, "1e-10"}},
         "Value out of range: X" + ones300},
        {"z up",
         "",
         {{Field::ZOffset, "1e308"}, {Field::ZUp, "1e308"}},
         "Value out of range: z offset 1e308 + z up 1e308"},
        {"z down",
         "",
         {{Field::ZOffset, "-1e308"}, {Field::ZUp, "1e308"}, {Field::ZDown, "1e308"}},
         "Value out of range: z offset -1e308 - z down 1e308"},
        // From 10^36 up a value has no plain decimal text: "1.00000E+36" (and "Z1.00" once cut) is no number a
        // machine should get.
        {"metric x, 10^36",
         "M71\r\nX1Y1\r\nX1" + std::string(36, '0') + "\r\n",
         {},
         "Value out of range: X1" + std::string(36, '0')},
        {"metric y, 36 nines read as 10^36",
         "M71\r\nY" + std::string(36, '9') + "\r\n",
         {},
         "Value out of range: Y" + std::string(36, '9')},
        {"inch x, divided beyond 10^36", "X1\r\n", {{Field::Divisor, "1e-38"}}, "Value out of range: X1"},
        {"z up 10^36", "", {{Field::ZUp, "1e36"}}, "Value out of range: z offset 0 + z up 1e36"},
        {"z down -10^36", "", {{Field::ZDown, "1e36"}}, "Value out of range: z offset 0 - z down 1e36"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RecordingHost caseHost;
        caseHost.fields = host.fields;
        for (const auto& [field, text] : c.fields) {
            caseHost.fields[field] = text;
        }
        WriteFile(input, c.drill);
        fs::remove(output);
        try {
            RunConversion(state, caseHost);
            ADD_FAILURE() << "no error raised";
        } catch (const ConversionError& error) {
            EXPECT_EQ(error.what(), c.message);
        }
        EXPECT_FALSE(fs::exists(output));
        EXPECT_EQ(caseHost.log.find("Conversion finished"), std::string::npos);
    }
}

TEST_F(RunConversionTest, M30Variants) {
    struct Case {
        const char* name;
        std::string drill;
        std::string body;
    };
    const Case cases[] = {
        {"exact", "M30\r\n", "N00000 G00 Z1.000\r\nN00005 M30\r\n"},
        {"with comment", "M30;end\r\n", "N00000 M30\r\nG00 Z1.000\r\nM30\r\n"},
        {"small letters", "m30\r\n", "N00000 m30\r\nG00 Z1.000\r\nM30\r\n"},
        {"twice", "M30\nM30\n", "N00000 G00 Z1.000\r\nN00005 M30\r\nN00010 G00 Z1.000\r\nN00015 M30\r\n"},
        {"with blank", "M30 \r\n", "N00000 M30\r\nG00 Z1.000\r\nM30\r\n"},
        {"empty input", "", "G00 Z1.000\r\nM30\r\n"},
        {"ctrl-z after last line", "M30\r\n\x1a", "N00000 G00 Z1.000\r\nN00005 M30\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteFile(input, c.drill);
        ASSERT_EQ(RunConversion(state, host), RunOutcome::Finished);
        EXPECT_EQ(Body(ReadFile(output)), c.body);
    }
}

// Drills every run of holes that may be reordered backwards, so the held holes' words show in the program.
class ReversingOrder : public HoleOrder {
public:
    std::vector<std::size_t> Order(const std::vector<HolePosition>& holes, bool fixed) override {
        std::vector<std::size_t> order(holes.size());
        for (std::size_t i = 0; i < order.size(); ++i) {
            order[i] = fixed ? i : order.size() - 1 - i;
        }
        return order;
    }
};

// Notes every hole it is told about, in whatever batches they come.
class WatchingObserver : public RunObserver {
public:
    void OnHole(ConversionState&, const HoleEvent& hole) override {
        text_ << hole.xWord << '|' << hole.yWord << ' ' << hole.x << ' ' << hole.y << ' ' << hole.hasX << hole.hasY
              << " T" << hole.tool << '\n';
    }
    std::string Text() const { return text_.str(); }

private:
    std::ostringstream text_;
};

// Random drill files of coordinate lines and the lines between them, converted with the fast paths and
// without: the same program, with and without a hole order (the writer holds the holes), and the same holes
// told to an observer (one by one without the fast paths, in batches with them).
TEST_F(RunConversionTest, FastPathsGiveTheFullAlgorithmsProgram) {
    std::mt19937 random(20261208);
    auto pick = [&random](std::initializer_list<const char*> texts) {
        return std::string(texts.begin()[random() % texts.size()]);
    };
    auto number = [&random, &pick]() -> std::string {
        switch (random() % 6) {
        case 0:
            return std::to_string(static_cast<int>(random() % 200000) - 100000);
        case 1:
            return std::to_string(random() % 100000) + "." + std::to_string(random() % 100000);
        case 2:
            return (random() % 2 ? "-" : "") + std::to_string(random() % 1000) + "." + std::to_string(random() % 10) +
                   "005";
        case 3:
            return pick({"0", "-0", "-0.000", ".5", "5.", "+3", "00012.5", "99999.9995", "100000", "1234567890123456"});
        default:
            return std::to_string(random() % 300) + "." + std::to_string(100 + random() % 900);
        }
    };
    for (int file = 0; file < 24; ++file) {
        std::string drill = file % 2 ? "M71\r\n" : "";
        for (int line = 0; line < 300; ++line) {
            switch (random() % 12) {
            case 0:
                drill += pick({"T1", "T2", "M72", "M71", "G05", "X1 Y2", "x1y2", "Y1X2", "X1Y2;c", "X1X2"});
                break;
            case 1:
                drill += "X" + number();
                break;
            case 2:
                drill += "Y" + number();
                break;
            default:
                drill += "X" + number() + "Y" + number();
            }
            drill += random() % 4 ? "\r\n" : "\n";
        }
        WriteFile(input, drill);
        host.fields[Field::Divisor] = pick({"1", "1", "10", "1000", "25.4", "0.5"});
        host.fields[Field::XOffset] = pick({"0", "0", "-0", "1.5"});
        host.fields[Field::YOffset] = pick({"0", "-2.25"});
        state.LineNumbersOn = file % 3 != 0;
        // Increments whose digits carry through one, several and all five digits of the line number.
        static const std::int32_t kIncrements[] = {5, 2147483600, 1, 99999, 37, 100005, 50};
        state.LineNumberIncrement = kIncrements[file % 7];
        for (const int observed : {0, 1, 2}) {
            SCOPED_TRACE(drill.substr(0, 400) + " observed " + std::to_string(observed) + " divisor " +
                         host.fields[Field::Divisor] + " increment " + std::to_string(state.LineNumberIncrement));
            std::string programs[2];
            for (const bool fast : {true, false}) {
                ReversingOrder reversing;
                WatchingObserver watching;
                state.Order = observed == 1 ? &reversing : nullptr;
                state.Observer = observed == 2 ? &watching : nullptr;
                EnableFastPaths(fast);
                const RunOutcome outcome = RunConversion(state, host);
                EnableFastPaths(true);
                state.Observer = nullptr;
                state.Order = nullptr;
                ASSERT_EQ(outcome, RunOutcome::Finished);
                programs[fast ? 0 : 1] =
                    ReadFile(output) + " " + std::to_string(state.FirstInchDecimalLine) + watching.Text();
            }
            EXPECT_EQ(programs[0], programs[1]);
        }
    }
}

} // namespace
} // namespace korvex::conversion
