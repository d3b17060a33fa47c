// The Excellon reading's parts: format detection (each hint alone and in pairs), number reading, what the
// reader refuses, and the inspection the format dialog shows.
#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "conversion/Numbers.h"
#include "excellon/DrillFileReport.h"
#include "excellon/Format.h"
#include "excellon/Reader.h"
#include "tests/support/Files.h"

namespace {

using namespace korvex::excellon;
using korvex::testing::TempFolder;
using korvex::testing::WriteFile;

template <typename Row>
std::string RowName(const testing::TestParamInfo<Row>& row) {
    return row.param.name;
}

// Line ends and a byte order mark as drill files from any system write them

TEST(DrillLinesTest, EndAtLfCrLfOrLoneCrAndLoseTheByteOrderMark) {
    struct Case {
        const char* name;
        std::string content;
        std::vector<std::string> lines;
    };
    const std::string full(65535, 'A');
    const Case cases[] = {
        {"old Macintosh line ends", "M48\rMETRIC\r\rX1\r", {"M48", "METRIC", "", "X1"}},
        {"cr lf is one end", "M48\r\nX1\r\n", {"M48", "X1"}},
        {"lone cr at a read's end", full + "\rX1", {full, "X1"}},
        {"byte order mark", "\xEF\xBB\xBFM48\nX1\n", {"M48", "X1"}},
        {"byte order mark only before the first line", "M48\n\xEF\xBB\xBFX1", {"M48", "\xEF\xBB\xBFX1"}},
    };
    TempFolder folder("korvex-excellon-lines");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteFile(folder.Path() / "board.drl", c.content);
        const auto input = korvex::platform::TextLineReader::Open((folder.Path() / "board.drl").string());
        ASSERT_NE(input, nullptr);
        EXPECT_EQ(ReadDrillLines(*input), c.lines);
    }
}

// Detection

struct DetectRow {
    const char* name;
    std::vector<std::string> lines;
    std::string sidecar; // nc_param.txt beside the file; "" for none
    ReadingChoice choice;
    std::string expected; // Format::Describe()
};

void PrintTo(const DetectRow& row, std::ostream* out) {
    *out << row.name;
}

ReadingChoice User(UnitsChoice units, int integer, int decimal, ZerosChoice zeros) {
    ReadingChoice choice;
    choice.excellon = true;
    choice.units = units;
    choice.integerDigits = integer;
    choice.decimalDigits = decimal;
    choice.zeros = zeros;
    return choice;
}

const ReadingChoice kFromFile = User(UnitsChoice::FromFile, 0, 0, ZerosChoice::FromFile);

class DetectTest : public testing::TestWithParam<DetectRow> {};

TEST_P(DetectTest, TakesEachHintFromItsSource) {
    const DetectRow& row = GetParam();
    TempFolder folder("korvex-excellon-detect");
    if (!row.sidecar.empty()) {
        WriteFile(folder.Path() / "nc_param.txt", row.sidecar);
    }
    const Format format = DetectFormat(row.lines, row.choice, (folder.Path() / "board.drl").string());
    EXPECT_EQ(format.Describe(), row.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Hints, DetectTest,
    testing::Values(DetectRow{"nothing_gives_the_defaults",
                              {"T1", "X1Y2"},
                              "",
                              kFromFile,
                              "inch, 2:4 TZ, absolute (units default, digits default, zeros inference)"},
                    DetectRow{"metric_default_digits",
                              {"METRIC"},
                              "",
                              kFromFile,
                              "mm, 3:3 TZ, absolute (units header, digits default, zeros default)"},
                    DetectRow{"leading_zeros_inferred",
                              {"INCH", "X0127Y01"},
                              "",
                              kFromFile,
                              "inch, 2:4 LZ, absolute (units header, digits default, zeros inference)"},
                    DetectRow{"header_zeros_and_file_format_comment",
                              {";FILE_FORMAT=4:4", "METRIC,LZ"},
                              "",
                              kFromFile,
                              "mm, 4:4 LZ, absolute (units header, digits comment, zeros header)"},
                    DetectRow{"file_format_comment_keeps_zero_inference",
                              {";FILE_FORMAT=2:5", "INCH", "X012Y0345"},
                              "",
                              kFromFile,
                              "inch, 2:5 LZ, absolute (units header, digits comment, zeros inference)"},
                    DetectRow{"pattern_and_zeros_in_one_word",
                              {"METRIC,TZ,0000.00"},
                              "",
                              kFromFile,
                              "mm, 4:2 TZ, absolute (units header, digits header, zeros header)"},
                    DetectRow{"pattern_line_of_its_own",
                              {"INCH", "000.000"},
                              "",
                              kFromFile,
                              "inch, 3:3 TZ, absolute (units header, digits header, zeros default)"},
                    DetectRow{"header_beats_brace_comment",
                              {";FORMAT={2:4/ absolute / inch / suppress leading zeros}", "METRIC,LZ"},
                              "",
                              kFromFile,
                              "mm, 2:4 LZ, absolute (units header, digits comment, zeros header)"},
                    DetectRow{"brace_comment_decimal_gives_no_digits",
                              {";FORMAT={-:-/ incremental / metric / decimal}"},
                              "",
                              kFromFile,
                              "mm, 3:3 TZ, incremental (units comment, digits default, zeros default)"},
                    DetectRow{"siemens_leading_is_tz",
                              {"; Format : 2.5 / Absolute / MM / Leading"},
                              "",
                              kFromFile,
                              "mm, 2:5 TZ, absolute (units comment, digits comment, zeros comment)"},
                    DetectRow{"siemens_trailing_is_lz",
                              {"; Format : 2.4 / Absolute / Inch / Trailing"},
                              "",
                              kFromFile,
                              "inch, 2:4 LZ, absolute (units comment, digits comment, zeros comment)"},
                    DetectRow{"siemens_comment_under_header_word",
                              {"; Format : 3.3 / Absolute / Inch / Trailing", "INCH,TZ"},
                              "",
                              kFromFile,
                              "inch, 3:3 TZ, absolute (units header, digits comment, zeros header)"},
                    DetectRow{"first_units_word_wins",
                              {"M72", "METRIC", "M71"},
                              "",
                              kFromFile,
                              "inch, 2:4 TZ, absolute (units header, digits default, zeros default)"},
                    DetectRow{"ici_on_is_incremental",
                              {"METRIC", "ICI,ON"},
                              "",
                              kFromFile,
                              "mm, 3:3 TZ, incremental (units header, digits default, zeros default)"},
                    DetectRow{"sidecar_for_a_headerless_file",
                              {"X0123Y01"},
                              "FORMAT 3.5\nOUTPUT-UNITS METRIC\nSUPPRESS-LEAD-ZEROES NO\nSUPPRESS-TRAIL-ZEROES YES\n",
                              kFromFile,
                              "mm, 3:5 LZ, absolute (units sidecar, digits sidecar, zeros sidecar)"},
                    DetectRow{"file_hints_beat_the_sidecar",
                              {"INCH,TZ", "X123Y1"},
                              "FORMAT 3.5\nOUTPUT-UNITS METRIC\nSUPPRESS-TRAIL-ZEROES YES\n",
                              kFromFile,
                              "inch, 3:5 TZ, absolute (units header, digits sidecar, zeros header)"},
                    DetectRow{"units_code_with_trailing_zeros",
                              {"M71,TZ"},
                              "",
                              kFromFile,
                              "mm, 3:3 TZ, absolute (units header, digits default, zeros header)"},
                    DetectRow{"units_code_with_leading_zeros",
                              {"M72,LZ"},
                              "",
                              kFromFile,
                              "inch, 2:4 LZ, absolute (units header, digits default, zeros header)"},
                    DetectRow{"units_code_with_zeros_and_pattern",
                              {"M71,LZ,000.000"},
                              "",
                              kFromFile,
                              "mm, 3:3 LZ, absolute (units header, digits header, zeros header)"},
                    DetectRow{"inch_word_with_zeros_and_pattern",
                              {"INCH,TZ,00.0000", "X12345678"},
                              "",
                              kFromFile,
                              "inch, 4:4 TZ, absolute (units header, digits inference, zeros header)"},
                    DetectRow{"allegro_nc_param_every_digit_written",
                              {"X00130500Y00184500"},
                              "INTEGER-PLACES              3\r\nDECIMAL-PLACES              5\r\n"
                              "OUTPUT-UNITS                ENGLISH\r\nSUPPRESS-LEAD-ZEROES        NO\r\n"
                              "SUPPRESS-TRAIL-ZEROES       NO\r\nCOORDINATES                 ABSOLUTE\r\n",
                              kFromFile,
                              "inch, 3:5 LZ, absolute (units sidecar, digits sidecar, zeros sidecar)"},
                    DetectRow{"ncdrill_log_tabs_and_any_case",
                              {"X123Y1"},
                              "integer-places\t2\ndecimal-places\t4\nOutput-Units\tMETRIC\n"
                              "SUPPRESS-LEAD-ZEROES\tNO\nSUPPRESS-TRAIL-ZEROES\tYES\nCOORDINATES\tINCREMENTAL\n",
                              kFromFile,
                              "mm, 2:4 LZ, incremental (units sidecar, digits sidecar, zeros sidecar)"},
                    DetectRow{"ncdrill_log_leading_zeros_left_out",
                              {"X0123Y01"},
                              "SUPPRESS-LEAD-ZEROES\tYES\nSUPPRESS-TRAIL-ZEROES\tNO\n",
                              kFromFile,
                              "inch, 2:4 TZ, absolute (units default, digits default, zeros sidecar)"},
                    DetectRow{"all_zero_numbers_infer_nothing",
                              {"INCH", "G93X000000Y000000", "X125Y1"},
                              "",
                              kFromFile,
                              "inch, 2:4 TZ, absolute (units header, digits default, zeros inference)"},
                    DetectRow{"long_numbers_widen_the_integer_part",
                              {"METRIC", "X1234567Y1"},
                              "",
                              kFromFile,
                              "mm, 4:3 TZ, absolute (units header, digits inference, zeros inference)"},
                    DetectRow{"long_numbers_widen_a_declared_format",
                              {";FILE_FORMAT=2:4", "INCH,TZ", "X12345678"},
                              "",
                              kFromFile,
                              "inch, 4:4 TZ, absolute (units header, digits inference, zeros header)"},
                    DetectRow{"leading_zero_format_keeps_its_digits",
                              {"METRIC,LZ", "X0123456789"},
                              "",
                              kFromFile,
                              "mm, 3:3 LZ, absolute (units header, digits default, zeros header)"},
                    DetectRow{"decimal_numbers_are_not_counted",
                              {"METRIC", "X123456.789"},
                              "",
                              kFromFile,
                              "mm, 3:3 TZ, absolute (units header, digits default, zeros default)"},
                    DetectRow{"user_overrides_every_hint",
                              {"INCH,LZ", ";FILE_FORMAT=2:4", "X0123456789"},
                              "",
                              User(UnitsChoice::Millimetre, 3, 3, ZerosChoice::TZ),
                              "mm, 3:3 TZ, absolute (units user, digits user, zeros user)"},
                    DetectRow{"user_digits_beside_header_zeros",
                              {"METRIC,LZ"},
                              "",
                              User(UnitsChoice::FromFile, 4, 2, ZerosChoice::FromFile),
                              "mm, 4:2 LZ, absolute (units header, digits user, zeros header)"}),
    RowName<DetectRow>);

// Numbers

struct NumberRow {
    const char* name;
    std::string text;
    Digits digits;
    Zeros zeros;
    std::optional<double> expected;
};

void PrintTo(const NumberRow& row, std::ostream* out) {
    *out << row.name;
}

class NumberTest : public testing::TestWithParam<NumberRow> {};

TEST_P(NumberTest, ReadsByTheFormat) {
    const NumberRow& row = GetParam();
    Format format;
    format.digits.Set(row.digits, Source::User);
    format.zeros.Set(row.zeros, Source::User);
    const std::optional<double> value = ReadFormattedNumber(row.text, format);
    ASSERT_EQ(value.has_value(), row.expected.has_value()) << row.text;
    if (value) {
        EXPECT_DOUBLE_EQ(*value, *row.expected);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Texts, NumberTest,
    testing::Values(NumberRow{"lz_short", "0127", {2, 4}, Zeros::LZ, 1.27},
                    NumberRow{"lz_full", "012345", {2, 4}, Zeros::LZ, 1.2345},
                    NumberRow{"lz_shorter_than_integer_part", "1", {2, 4}, Zeros::LZ, 10.0},
                    NumberRow{"lz_too_long_keeps_decimals", "0123456789", {3, 3}, Zeros::LZ, 123456.789},
                    NumberRow{"lz_negative", "-0005", {2, 4}, Zeros::LZ, -0.05},
                    NumberRow{"tz_short", "5", {2, 4}, Zeros::TZ, 0.0005},
                    NumberRow{"tz_full", "12345", {3, 3}, Zeros::TZ, 12.345},
                    NumberRow{"tz_plus_sign", "+500", {3, 3}, Zeros::TZ, 0.5},
                    NumberRow{"decimal_as_written", "1.25", {2, 4}, Zeros::LZ, 1.25},
                    NumberRow{"decimal_point_last", "55.", {3, 3}, Zeros::TZ, 55.0},
                    NumberRow{"decimal_point_first", "-.75", {3, 3}, Zeros::TZ, -0.75},
                    NumberRow{"empty", "", {2, 4}, Zeros::TZ, std::nullopt},
                    NumberRow{"sign_alone", "-", {2, 4}, Zeros::TZ, std::nullopt},
                    NumberRow{"point_alone", ".", {2, 4}, Zeros::TZ, std::nullopt},
                    NumberRow{"two_points", "1.2.3", {2, 4}, Zeros::TZ, std::nullopt},
                    NumberRow{"sign_inside", "1-2", {2, 4}, Zeros::TZ, std::nullopt},
                    NumberRow{"too_many_digits", "1234567890123456789", {2, 4}, Zeros::TZ, std::nullopt}),
    RowName<NumberRow>);

// What the reader refuses, word for word

class NullSink : public ReaderSink {
public:
    void Comment(std::string_view) override {}
    void DefineTool(std::int32_t, std::optional<double>, std::string_view, std::string_view,
                    std::string_view) override {}
    void SelectTool(std::int32_t, std::string_view) override {}
    void UnloadTool() override {}
    void Hole(double, double) override {}
    void Path(const korvex::conversion::PathEvent&) override {}
    void EndOfProgram() override {}
};

struct RefusalRow {
    const char* name;
    std::string line;
    std::string message;
};

void PrintTo(const RefusalRow& row, std::ostream* out) {
    *out << row.name;
}

class RefusalTest : public testing::TestWithParam<RefusalRow> {};

TEST_P(RefusalTest, NamesTheLine) {
    const RefusalRow& row = GetParam();
    Format format;
    CompleteFormat(format, DigitCounts{});
    NullSink sink;
    try {
        ReadExcellon({"M48", "METRIC", "%", "T1", "G00X0Y0", "M15", row.line}, 1, format, sink);
        ADD_FAILURE() << "no error for " << row.line;
    } catch (const korvex::conversion::ConversionError& error) {
        EXPECT_EQ(std::string(error.what()), row.message);
        EXPECT_EQ(error.Line(), 7u);
        EXPECT_EQ(error.FileText(), row.line);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Lines, RefusalTest,
    testing::Values(
        RefusalRow{"two_points", "X1.2.3Y4", "Can not read \"X1.2.3\" in line 7 of the drill file: X1.2.3Y4"},
        RefusalRow{"sign_alone", "X-Y1", "Can not read \"X-\" in line 7 of the drill file: X-Y1"},
        RefusalRow{"no_word", "12AB", "Can not read \"12AB\" in line 7 of the drill file: 12AB"},
        RefusalRow{"code_with_point", "G1.5X1", "Can not read \"G1.5\" in line 7 of the drill file: G1.5X1"},
        RefusalRow{"stray_character_in_number", "X1$0Y1000",
                   "Can not read \"X1$0\" in line 7 of the drill file: X1$0Y1000"},
        RefusalRow{"arc_letter_outside_an_arc", "X12A4Y1000",
                   "Can not read \"X12A4\" in line 7 of the drill file: X12A4Y1000"},
        RefusalRow{"vendor_line_in_the_body", "R,H", "Can not read \"R,\" in line 7 of the drill file: R,H"},
        RefusalRow{"tool_word_after_tool", "T2X1", "Can not read \"X1\" in line 7 of the drill file: T2X1"},
        RefusalRow{"tool_number_with_point", "T1.5", "Can not read \"T1.5\" in line 7 of the drill file: T1.5"},
        RefusalRow{"arc_without_centre", "G02X1.Y1.",
                   "An arc without I, J or A in line 7 of the drill file: G02X1.Y1."},
        RefusalRow{"arc_radius_too_small", "G03X10.Y0A2.",
                   "An arc of radius 2.000000 mm cannot reach its end in line 7 of the drill file: G03X10.Y0A2."},
        // Codes that would put holes elsewhere than the lines say: drilling on without them is drilling wrong.
        RefusalRow{"pattern_begins", "M25",
                   "Can not carry out \"M25\" (step and repeat) in line 7 of the drill file: M25"},
        RefusalRow{"pattern_repeats", "M02X1.Y0",
                   "Can not carry out \"M02\" (step and repeat) in line 7 of the drill file: M02X1.Y0"},
        RefusalRow{"pattern_repeats_swapped", "M02XYM70",
                   "Can not carry out \"M02\" (step and repeat) in line 7 of the drill file: M02XYM70"},
        RefusalRow{"canned_circle", "G84X1.Y1.",
                   "Can not carry out \"G84\" (drilled circle) in line 7 of the drill file: G84X1.Y1."},
        RefusalRow{"cutter_compensation", "G41",
                   "Can not carry out \"G41\" (cutter compensation) in line 7 of the drill file: G41"},
        RefusalRow{"swap_axes", "M70", "Can not carry out \"M70\" (swap axes) in line 7 of the drill file: M70"},
        RefusalRow{"canned_text", "M97,A1",
                   "Can not carry out \"M97\" (canned text) in line 7 of the drill file: M97,A1"},
        RefusalRow{"unknown_m_code", "M99",
                   "Can not carry out \"M99\" (a code this reading does not know) in line 7 of the drill file: M99"},
        RefusalRow{"unknown_g_code", "G26",
                   "Can not carry out \"G26\" (a code this reading does not know) in line 7 of the drill file: G26"}),
    RowName<RefusalRow>);

// Body codes that stop, wait, tell or end: the holes stay where the lines say, and a dwell's X is no place

class HoleSink : public NullSink {
public:
    void Hole(double x, double y) override { holes.push_back({x, y}); }
    std::vector<std::pair<double, double>> holes;
};

class QuietCodeTest : public testing::TestWithParam<const char*> {};

TEST_P(QuietCodeTest, PlacesNoHole) {
    Format format;
    CompleteFormat(format, DigitCounts{});
    HoleSink sink;
    ReadExcellon({"M48", "METRIC", "T1C0.8", "%", "T1", "X1.Y2.", GetParam(), "X3.", "M30"}, 1, format, sink);
    EXPECT_EQ(sink.holes, (std::vector<std::pair<double, double>>{{1.0, 2.0}, {3.0, 2.0}}));
}

INSTANTIATE_TEST_SUITE_P(Lines, QuietCodeTest,
                         testing::Values("G04X1000", "G40", "G71", "M00", "M01", "M02", "M03", "M05", "M06", "M07",
                                         "M08", "M09", "M18", "M47,CHECK DRILLS", "M45,LONG MESSAGE"));

TEST(UnitsCodeTest, G70AndG71SetTheUnitsAsM72AndM71Do) {
    Format format;
    CompleteFormat(format, DigitCounts{});
    HoleSink sink;
    ReadExcellon({"M48", "METRIC", "T1C0.8", "%", "T1", "G70", "X1.Y2.", "G71", "X1.Y2.", "M30"}, 1, format, sink);
    EXPECT_EQ(sink.holes, (std::vector<std::pair<double, double>>{{25.4, 50.8}, {1.0, 2.0}}));
}

// Four digits after T are the tool and the machine's compensation where the file defines only the tool

struct ToolRow {
    const char* name;
    const char* definition;
    const char* selection;
    const char* selected;
};

void PrintTo(const ToolRow& row, std::ostream* out) {
    *out << row.name;
}

class ToolSink : public NullSink {
public:
    void SelectTool(std::int32_t tool, std::string_view word) override {
        selected.push_back(std::to_string(tool) + " " + std::string(word));
    }
    std::vector<std::string> selected;
};

class ToolSelectionTest : public testing::TestWithParam<ToolRow> {};

TEST_P(ToolSelectionTest, SelectsTheDefinedTool) {
    const ToolRow& row = GetParam();
    Format format;
    CompleteFormat(format, DigitCounts{});
    ToolSink sink;
    ReadExcellon({"M48", "METRIC", row.definition, "%", row.selection, "X1.Y1.", "M30"}, 1, format, sink);
    EXPECT_EQ(sink.selected, std::vector<std::string>{row.selected});
}

INSTANTIATE_TEST_SUITE_P(Lines, ToolSelectionTest,
                         testing::Values(ToolRow{"compensation", "T01C0.8", "T0102", "1 T01"},
                                         ToolRow{"defined_as_written", "T0102C0.8", "T0102", "102 T0102"},
                                         ToolRow{"three_digits", "T01C0.8", "T101", "101 T101"},
                                         ToolRow{"nothing_defined", "", "T0102", "102 T0102"}),
                         RowName<ToolRow>);

// Header lines: which the reading does not know (a warning) and which it reads or passes silently

class HeaderSink : public NullSink {
public:
    void UnknownHeaderLine(std::size_t line, std::string_view text) override {
        unknown.push_back(std::to_string(line) + " " + std::string(text));
    }
    std::vector<std::string> unknown;
};

struct HeaderRow {
    const char* name;
    std::string line;
    bool unknown;
};

void PrintTo(const HeaderRow& row, std::ostream* out) {
    *out << row.name;
}

class HeaderLineTest : public testing::TestWithParam<HeaderRow> {};

TEST_P(HeaderLineTest, BecomesACommentAndOnlyUnknownOnesAreNamed) {
    const HeaderRow& row = GetParam();
    Format format;
    CompleteFormat(format, DigitCounts{});
    HeaderSink sink;
    ReadExcellon({"M48", row.line + "  ", "T1C0.8", "%", "T1", "X1000Y1000", "M30"}, 1, format, sink);
    EXPECT_EQ(sink.unknown, row.unknown ? std::vector<std::string>{"2 " + row.line} : std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(
    Lines, HeaderLineTest,
    testing::Values(HeaderRow{"reset_hits", "R,H", true}, HeaderRow{"lone_slash", "/", true},
                    HeaderRow{"unknown_word", "LAYER,TOP", true}, HeaderRow{"digits_only", "12AB", true},
                    HeaderRow{"known_word", "TCST,OFF", false}, HeaderRow{"known_word_alone", "OSTOP", false},
                    HeaderRow{"units_code_with_zeros", "M71,TZ", false}, HeaderRow{"mode_code", "G90", false},
                    HeaderRow{"digit_pattern", "000.000", false}),
    RowName<HeaderRow>);

// Inspection for the format dialog

TEST(InspectTest, DescribesAFileAsTheRunReadsIt) {
    TempFolder folder("korvex-excellon-inspect");
    const auto path = folder.Path() / "board.drl";
    WriteFile(path, "M48\nMETRIC,TZ\nT1C0.8\nT2C1.0\n%\nT1\nX10.Y-10.G85X10.Y-12.5\nG05\nX1000Y2000\nR2X500\nT2\n"
                    "G00X0Y0\nM15\nG01X5.\nM16\nT0\nM30\n");
    const DrillFileReport report = InspectDrillFile(path.string(), kFromFile);
    ASSERT_TRUE(report.readable) << report.error;
    EXPECT_EQ(report.description, "mm, 3:3 TZ (units header, digits default, zeros header), 2 tools, 3 holes, "
                                  "1 slots, 1 routes");
    ASSERT_EQ(report.tools.size(), 2u);
    EXPECT_EQ(report.tools[1].number, 2);
    EXPECT_DOUBLE_EQ(report.tools[1].diameterMm, 1.0);
    EXPECT_TRUE(report.decimalNumbers);
    EXPECT_DOUBLE_EQ(report.minX, 0.0);
    EXPECT_DOUBLE_EQ(report.maxX, 10.0);
    EXPECT_DOUBLE_EQ(report.minY, -12.5);
    EXPECT_DOUBLE_EQ(report.maxY, 2.0);

    const DrillFileReport inch = InspectDrillFile(path.string(), User(UnitsChoice::Inch, 2, 4, ZerosChoice::LZ));
    EXPECT_EQ(inch.units, "inch");
    EXPECT_EQ(inch.unitsSource, "user");
    EXPECT_EQ(inch.zeros, "LZ");
}

TEST(InspectTest, ReportsWhatItCannotRead) {
    TempFolder folder("korvex-excellon-inspect");
    EXPECT_EQ(InspectDrillFile((folder.Path() / "missing.drl").string(), kFromFile).error,
              "can not open " + (folder.Path() / "missing.drl").string());
    WriteFile(folder.Path() / "bad.drl", "M48\nMETRIC\n%\nX1..2\n");
    const DrillFileReport bad = InspectDrillFile((folder.Path() / "bad.drl").string(), kFromFile);
    EXPECT_FALSE(bad.readable);
    EXPECT_EQ(bad.error, "Can not read \"X1..2\" in line 4 of the drill file: X1..2");
    WriteFile(folder.Path() / "empty.drl", "");
    EXPECT_EQ(InspectDrillFile((folder.Path() / "empty.drl").string(), kFromFile).error,
              "no drill data in " + (folder.Path() / "empty.drl").string());
    WriteFile(folder.Path() / "copper.gbr", "%FSLAX24Y24*%\n%ADD10C,0.0600*%\nX0Y0D03*\n");
    EXPECT_EQ(InspectDrillFile((folder.Path() / "copper.gbr").string(), kFromFile).error,
              "no drill data in " + (folder.Path() / "copper.gbr").string() + "; it looks like a Gerber file");
}

} // namespace
