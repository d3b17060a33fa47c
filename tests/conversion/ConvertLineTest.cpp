#include "conversion/ConvertLine.h"

#include <gtest/gtest.h>

#include "conversion/ConversionState.h"
#include "conversion/Numbers.h"
#include "conversion/ProgramEmitter.h"
#include "conversion/RunObserver.h"
#include "conversion/fast/FastPaths.h"
#include "tests/fakes/MemoryTextWriter.h"

namespace korvex::conversion {
namespace {

using Lines = std::vector<std::string>;

struct SplitCase {
    const char* name;
    std::string line;
    Lines words;
};

TEST(SplitWords, WordsAreLettersThenNumberCharacters) {
    const SplitCase cases[] = {
        {"coordinates", "X12.5Y-3.2", {"X12.5", "Y-3.2"}},
        {"tool with parameters", "T1C0.8F200S65", {"T1", "C0.8", "F200", "S65"}},
        {"header", "M48", {"M48"}},
        {"percent", "%", {"%"}},
        {"word of letters", "METRIC", {"METRIC"}},
        {"letters after digits", "12AB", {"12", "AB"}},
        {"blank separates", "X 1.5", {"X", "1.5"}},
        {"comma gives empty word", "METRIC,TZ", {"METRIC", "", "TZ"}},
        {"trailing blank", "X1.0 ", {"X1.0", ""}},
        {"blank and comma", "X1 ,Y2", {"X1", "", "", "Y2"}},
        {"blanks alone", "   ", {""}},
        {"comment cut", "X1.0Y2.0;comment", {"X1.0", "Y2.0"}},
        {"blank before comment", "T1C0.8 ;comment", {"T1", "C0.8", ""}},
        {"tab", "\tX1", {"", "X1"}},
        {"brackets are letters", "[X]1", {"[X]1"}},
        {"high bytes are other", "\xE4X1", {"", "X1"}},
        {"signs are number characters", "X+-1..2", {"X+-1..2"}},
    };
    WordList words;
    for (const SplitCase& c : cases) {
        SCOPED_TRACE(c.name);
        const int count = SplitWords(c.line, words);
        ASSERT_EQ(count, static_cast<int>(c.words.size()));
        for (int i = 0; i < count; ++i) {
            EXPECT_EQ(words.slots[static_cast<std::size_t>(i)], c.words[static_cast<std::size_t>(i)]) << "word " << i;
        }
    }
}

TEST(SplitWords, EmptyAndCommentLinesGiveNoWords) {
    WordList words;
    EXPECT_EQ(SplitWords("", words), 0);
    EXPECT_EQ(SplitWords(";", words), 0);
    EXPECT_EQ(SplitWords("; M48", words), 0);
}

TEST(SplitWords, LongLinesAreSplitWhole) {
    std::string line;
    for (int i = 0; i < 40; ++i) {
        line += "G" + std::to_string(i) + " ";
    }
    line += "X1";
    WordList words;
    ASSERT_EQ(SplitWords(line, words), 41);
    EXPECT_EQ(words.slots[40], "X1");
}

class ConvertLineTest : public ::testing::Test {
protected:
    void SetUp() override {
        state.OutputFile = &output;
        state.LineNumbersOn = false;
        state.LineNumberIncrement = 5;
        state.LineNumber = 0;
        state.InchMode = false;
        state.InHeader = false;
        state.Divisor = 1.0;
        state.RunZ = {"Z1.00", "Z-2.0"};
        state.ToolTable.Fill(state.RunZ);
        state.CurrentZUp = "Z1.00";
        state.CurrentZDown = "Z-2.0";
        state.MacroBefore = {"G00 Z30"};
        state.MacroAfter = {"M06", "G00 Z20"};
    }

    Lines Convert(const std::string& line) {
        output.lines.clear();
        ConvertLine(state, line);
        return output.lines;
    }

    ConversionState state;
    testing::MemoryTextWriter output;
};

struct LineCase {
    const char* name;
    std::string line;
    Lines written;
};

TEST_F(ConvertLineTest, MetricLinesOutsideTheHeader) {
    const LineCase cases[] = {
        {"empty", "", {}},
        {"comment", ";drill", {}},
        {"percent outside header", "%", {}},
        {"comment after coordinates", "X1.0Y2.0;comment", {"G00 Z1.00", "G00 X1.000 Y2.000", "G01 Z-2.0"}},
        {"Y before X", "Y2X1", {"G00 Z1.00", "G00 X1.000 Y2.000", "G01 Z-2.0"}},
        {"small letters", "x1y2", {"G00 Z1.00", "G00 X1.000 Y2.000", "G01 Z-2.0"}},
        {"Y only", "Y5", {"G00 Z1.00", "G00 Y5.000", "G01 Z-2.0"}},
        {"last X wins", "X1X2Y3", {"G00 Z1.00", "G00 X2.000 Y3.000", "G01 Z-2.0"}},
        {"M71 before X", "M71X10", {"; M71", "G00 Z1.00", "G00 X10.000", "G01 Z-2.0"}},
        {"M95 outside header", "M95", {"; M95"}},
        {"METRIC outside header", "METRIC", {}},
        {"F and S outside header", "F200S65", {}},
        {"other M words pass", "M30", {"M30"}},
        {"small m48 is no header", "m48", {"m48"}},
        {"G word", "G90", {"; G90 not implemented"}},
        {"I word", "I5", {"; I5 not implemented"}},
        {"INCH outside header", "INCH", {}},
        {"tool selection then unknown", "T1C0.8", {"G00 Z30", "T1", "M06", "G00 Z20", "; C0.8 not implemented"}},
        {"tool then hole",
         "T1X5Y5",
         {"G00 Z30", "T1", "M06", "G00 Z20", "G00 Z1.00", "G00 X5.000 Y5.000", "G01 Z-2.0"}},
        {"empty words do nothing", "X1 ,Y2", {"G00 Z1.00", "G00 X1.000 Y2.000", "G01 Z-2.0"}},
        {"blank line", "   ", {}},
        {"number word", "12", {"; 12 not implemented"}},
        {"bracket word", "[x]", {"; [x] not implemented"}},
    };
    for (const LineCase& c : cases) {
        SCOPED_TRACE(c.name);
        state.InchMode = false;
        state.InHeader = false;
        EXPECT_EQ(Convert(c.line), c.written);
    }
}

TEST_F(ConvertLineTest, HeaderWords) {
    EXPECT_EQ(Convert("M48"), Lines{"; M48"});
    EXPECT_TRUE(state.InHeader);
    EXPECT_EQ(Convert("F200"), Lines{"F200"});
    EXPECT_EQ(Convert("S65"), Lines{"S65"});
    EXPECT_EQ(Convert("METRIC"), Lines{});
    EXPECT_FALSE(state.InchMode);
    EXPECT_EQ(Convert("INCH"), Lines{});
    EXPECT_TRUE(state.InchMode);
    EXPECT_EQ(Convert("M72"), Lines{"; M72 Attention tool diameter indicated in inches"});
    EXPECT_EQ(Convert("M71"), Lines{"; M71"});
    EXPECT_FALSE(state.InchMode);
    EXPECT_EQ(Convert("%"), Lines{";% of Header Definition"});
    EXPECT_FALSE(state.InHeader);
    EXPECT_EQ(Convert("%"), Lines{});
    EXPECT_EQ(Convert("M48"), Lines{"; M48"});
    EXPECT_EQ(Convert("M95"), Lines{"; M95"});
    EXPECT_FALSE(state.InHeader);
}

TEST_F(ConvertLineTest, ToolDefinitionsStoreZWords) {
    state.InHeader = true;
    EXPECT_EQ(Convert("T1C0.8"), Lines{"; T1  C0.8   ; Tool-definition"});
    EXPECT_EQ(state.ToolTable[1].ZUp, "Z1.00");
    EXPECT_EQ(state.ToolTable[1].ZDown, "Z-2.0");

    EXPECT_EQ(Convert("T2C1.0Z-1.5B3"), Lines{"; T2  C1.0  Z-1.5  B3   ; Tool-definition"});
    EXPECT_EQ(state.ToolTable[2].ZDown, "Z-1.5");
    EXPECT_EQ(state.ToolTable[2].ZUp, "Z3");

    EXPECT_EQ(Convert("T3Z-1.55B12.34"), Lines{"; T3  Z-1.55  B12.34   ; Tool-definition"});
    EXPECT_EQ(state.ToolTable[3].ZDown, "Z-1.55");
    EXPECT_EQ(state.ToolTable[3].ZUp, "Z12.34");

    EXPECT_EQ(Convert("T1Z-1T2Z-2"), Lines{"; T1  Z-1  T2  Z-2   ; Tool-definition"});
    EXPECT_EQ(state.ToolTable[1].ZDown, "Z-2");
    EXPECT_EQ(state.ToolTable[2].ZDown, "Z-1.5");

    EXPECT_EQ(Convert("TZ"), Lines{"; TZ   ; Tool-definition"});
    EXPECT_EQ(state.ToolTable[0].ZDown, "Z-2.0");

    EXPECT_EQ(Convert("T4z-1"), Lines{"; T4  z-1   ; Tool-definition"});
    EXPECT_EQ(state.ToolTable[4].ZDown, "z-1");

    EXPECT_EQ(Convert("T5C0.8 ;comment"), Lines{"; T5  C0.8   ; Tool-definition"});
    EXPECT_EQ(Convert("T5,Z-3"), Lines{"; T5  Z-3   ; Tool-definition"});
    EXPECT_EQ(state.ToolTable[5].ZDown, "Z-3");
}

TEST_F(ConvertLineTest, HeaderOpenedAndToolDefinedOnOneLine) {
    EXPECT_EQ(Convert("M48T1C0.8Z-0.050"), (Lines{"; M48", "; T1  C0.8  Z-0.050   ; Tool-definition"}));
    EXPECT_EQ(state.ToolTable[1].ZDown, "Z-0.05");
}

TEST_F(ConvertLineTest, ToolNumbersOutsideTheTable) {
    state.InHeader = true;
    EXPECT_EQ(Convert("T99Z-5B7"), Lines{"; T99  Z-5  B7   ; Tool-definition"});
    EXPECT_EQ(Convert("T-1Z-5"), Lines{"; T-1  Z-5   ; Tool-definition"});
    state.InHeader = false;
    state.CurrentZUp = "Z9";
    state.CurrentZDown = "Z-9";
    EXPECT_EQ(Convert("T150"), (Lines{"G00 Z30", "T150", "M06", "G00 Z20"}));
    EXPECT_EQ(state.CurrentZUp, "Z1.00");
    EXPECT_EQ(state.CurrentZDown, "Z-2.0");
}

TEST_F(ConvertLineTest, ToolSelectionWithNumberingAndEmptyMacroLines) {
    state.LineNumbersOn = true;
    state.MacroBefore = {""};
    state.MacroAfter = {};
    EXPECT_EQ(Convert("T01"), (Lines{"N00000 ", "N00005 T01"}));
    state.MacroBefore = {};
    EXPECT_EQ(Convert("T"), (Lines{"N00010 T"}));
    EXPECT_EQ(Convert("X1"), (Lines{"N00015 G00 Z1.00", "N00020 G00 X1.000", "N00025 G01 Z-2.0"}));
    EXPECT_EQ(Convert("G90"), Lines{"; G90 not implemented"});
    EXPECT_EQ(state.LineNumber, 30);
}

// GRBL programs: the preset's marked after-block lines become each tool's own, definitions name mm, numbers
// above 255 are renumbered; any other line stays as the user wrote it.
struct GrblCase {
    const char* name;
    bool inch;
    bool split;
    std::vector<std::string> macroAfter;
    std::vector<std::string> input; // header lines, then "%", then body lines
    Lines written;
};

void PrintTo(const GrblCase& row, std::ostream* out) {
    *out << row.name;
}

const GrblCase kGrblCases[] = {
    {"PauseNamesToolAndDiameter",
     false,
     false,
     {"M00 (pause)", "G00 Z20"},
     {"T2C1.0", "%", "T2"},
     Lines{"; T2  C1.0  = 1.000 mm ; Tool-definition", "G00 Z30", "T2",
           "M00 (T2 1.000 mm: change tool, then cycle start)", "G00 Z20"}},
    {"InchDiameterInMm",
     true,
     false,
     {"M00 (pause)"},
     {"T1C0.020", "%", "T1"},
     Lines{"; T1  C0.020  = 0.508 mm ; Tool-definition", "G00 Z30", "T1",
           "M00 (T1 0.508 mm: change tool, then cycle start)"}},
    {"NoDiameter",
     false,
     false,
     {"M00 (pause)"},
     {"%", "T3"},
     Lines{"G00 Z30", "T3", "M00 (T3: change tool, then cycle start)"}},
    {"Sender",
     false,
     false,
     {"M6 (sender)"},
     {"T2C1.0", "%", "T2"},
     Lines{"; T2  C1.0  = 1.000 mm ; Tool-definition", "G00 Z30", "T2", "M6 T2 (1.000 mm)"}},
    {"EditedLinesStay",
     false,
     false,
     {"M00 (pause) ", "M00 (my words)"},
     {"%", "T2"},
     Lines{"G00 Z30", "T2", "M00 (pause) ", "M00 (my words)"}},
    {"AboveTwoHundredFiftyFive",
     false,
     false,
     {"M00 (pause)"},
     {"T1C0.5", "T300C0.8", "%", "T300", "T1"},
     Lines{"; T1  C0.5  = 0.500 mm ; Tool-definition", "; T300  C0.8  written as T2 for GRBL ; Tool-definition",
           "G00 Z30", "T2", "M00 (T2: change tool, then cycle start)", "G00 Z30", "T1",
           "M00 (T1 0.500 mm: change tool, then cycle start)"}},
    {"SplitMarksPartsAndDropsThePause",
     false,
     true,
     {"M00 (pause)", "G00 Z20"},
     {"T2C1.0", "%", "T2"},
     Lines{"; T2  C1.0  = 1.000 mm ; Tool-definition", "; Program part: T02 1.000 mm", "G00 Z30", "T2", "G00 Z20"}},
};

class ConvertLineGrblTest : public ConvertLineTest, public ::testing::WithParamInterface<GrblCase> {};

TEST_P(ConvertLineGrblTest, WritesTheToolsOwnLines) {
    const GrblCase& row = GetParam();
    RunObserver observer; // the plain reading takes diameters only for an observer
    ProgramEmitter emitter(state);
    state.Emitter = &emitter;
    state.Observer = &observer;
    state.GrblTools = true;
    state.PauseMark = "M00 (pause)";
    state.SenderMark = "M6 (sender)";
    state.SplitMarks = row.split;
    state.InchMode = row.inch;
    state.MacroAfter = row.macroAfter;
    state.InHeader = true;
    Lines written;
    for (const std::string& line : row.input) {
        if (line == "%") {
            state.InHeader = false;
            continue;
        }
        const Lines lines = Convert(line);
        written.insert(written.end(), lines.begin(), lines.end());
    }
    state.Emitter = nullptr;
    state.Observer = nullptr;
    EXPECT_EQ(written, row.written);
}

INSTANTIATE_TEST_SUITE_P(Cases, ConvertLineGrblTest, ::testing::ValuesIn(kGrblCases),
                         [](const auto& row) { return std::string(row.param.name); });

TEST_F(ConvertLineTest, InchDivisorAndOffset) {
    state.InchMode = true;
    state.Divisor = 10;
    EXPECT_EQ(Convert("X012500Y025400")[1], "G00 X31.750 Y64.516");
    EXPECT_EQ(Convert("Y030000")[1], "G00 Y76.200");
    state.Divisor = 2;
    state.XOffset = 5;
    EXPECT_EQ(Convert("X1000")[1], "G00 X17.700");
    state.Divisor = 1;
    state.XOffset = 0;
    EXPECT_EQ(Convert("X10M71"), (Lines{"; M71", "G00 Z1.00", "G00 X0.254", "G01 Z-2.0"}));
}

TEST_F(ConvertLineTest, BadCoordinatesRaiseAfterEarlierLines) {
    struct Case {
        const char* line;
        const char* message;
        Lines before;
    };
    const Case cases[] = {
        {"X", "Can not convert value ", {}},
        {"X1.2.3", "Can not convert value 1,2,3", {}},
        {"X1-2", "Can not convert value 1-2", {}},
        {"G90Y", "Can not convert value ", {"; G90 not implemented"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        output.lines.clear();
        try {
            ConvertLine(state, c.line);
            ADD_FAILURE() << "no error raised";
        } catch (const ConversionError& error) {
            EXPECT_STREQ(error.what(), c.message);
        }
        EXPECT_EQ(output.lines, c.before);
    }
}

// The coordinate-line fast path takes numbers of at most fifteen digits (one exact division) and leaves
// longer ones to ConvertLine; what it takes it writes as ConvertLine does.
TEST_F(ConvertLineTest, CoordinateLinesTakeAtMostFifteenDigits) {
    const struct {
        const char* line;
        bool taken;
    } cases[] = {
        {"X.123456789012345", true},   {"X.1234567890123456", false},   {"X123456789012345", true},
        {"X1234567890123456", false},  {"X-12345678901234.5", true},    {"X-12345678901234.56", false},
        {"X9.30633599643092Y1", true}, {"X1Y9.306335996430919", false}, {"X99999.9995Y-0", true},
        {"X-0.0005Y100000", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        for (const bool inch : {false, true}) {
            state.InchMode = inch;
            output.lines.clear();
            CoordinateLines coordinates(state);
            EXPECT_EQ(coordinates.Take(c.line), c.taken);
            coordinates.Flush();
            const Lines fast = output.lines;
            if (c.taken) {
                EnableFastPaths(false);
                const Lines full = Convert(c.line);
                EnableFastPaths(true);
                EXPECT_EQ(fast, full);
            }
        }
    }
}

TEST(StoreZWord, CutsOnlyDecimalZeros) {
    const std::pair<const char*, const char*> cases[] = {
        {"Z1.000", "Z1.00"},      {"Z-2.000", "Z-2.0"},   {"Z-10.000", "Z-10."}, {"Z-100.000", "Z-100"},
        {"Z-1.250", "Z-1.25"},    {"Z-0.050", "Z-0.05"},  {"Z-1.55", "Z-1.55"},  {"Z12.34", "Z12.34"},
        {"Z-1000.000", "Z-1000"}, {"Z6.000", "Z6.00"},    {"Z-1.5", "Z-1.5"},    {"Z3", "Z3"},
        {"Z-12345", "Z-12345"},   {"Z0.0005", "Z0.0005"}, {"Z12.500", "Z12.5"},  {"", ""},
    };
    for (const auto& [word, stored] : cases) {
        EXPECT_EQ(StoreZWord(word), stored) << word;
    }
}

TEST(StoreZWord, NumbersAreMendedOtherTextsGetThePlainCut) {
    const std::pair<const char*, const char*> cases[] = {
        {"Z-1.5-0", "Z-1.5"}, {"Z1.2.30", "Z1.2."}, {"Z1.2.00", "Z1.2."}, {"Z--1.000", "Z--1."},
        {"Z.....", "Z...."},  {"Z-.000", "Z-.00"},  {"Z+1.000", "Z+1.0"}, {"Z+1.250", "Z+1.25"},
        {"Z1e300", "Z1e30"},  {"Z-....5", "Z-..."}, {"Z.5000", "Z.500"},  {"Z1.2-30", "Z1.2-"},
    };
    for (const auto& [word, stored] : cases) {
        EXPECT_EQ(StoreZWord(word), stored) << word;
    }
}

} // namespace
} // namespace korvex::conversion
