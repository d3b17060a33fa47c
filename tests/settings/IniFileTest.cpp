#include "platform/IniFile.h"

#include <gtest/gtest.h>
#include <random>
#include <vector>

namespace korvex::platform {
namespace {

// ---------------------------------------------------------------------------------------------------------
// Reading

struct ReadCase {
    const char* name;
    std::string text;
    const char* section;
    const char* key;
    std::optional<std::string> expected; // nothing: the key is missing and the default applies
};

std::ostream& operator<<(std::ostream& out, const ReadCase& c) {
    return out << c.name;
}

class IniReadTest : public ::testing::TestWithParam<ReadCase> {};

TEST_P(IniReadTest, FindsTheValueAPersonMeant) {
    const ReadCase& c = GetParam();
    const IniDocument ini(c.text);
    EXPECT_EQ(ini.Value(c.section, c.key), c.expected);
    EXPECT_EQ(ini.HasKey(c.section, c.key), c.expected.has_value());
    EXPECT_EQ(ini.ReadString(c.section, c.key, "<default>"), c.expected.value_or("<default>"));
}

const std::string kLong(3000, 'v');

INSTANTIATE_TEST_SUITE_P(
    Rules, IniReadTest,
    ::testing::Values(
        ReadCase{"EmptyDocument", "", "Settings", "A", std::nullopt},
        ReadCase{"MissingSection", "[Other]\r\nA=1\r\n", "Settings", "A", std::nullopt},
        ReadCase{"MissingKey", "[Settings]\r\nB=1\r\n", "Settings", "A", std::nullopt},
        ReadCase{"PresentButEmpty", "[Settings]\r\nA=\r\n", "Settings", "A", ""},
        ReadCase{"OnlyBlanksIsEmpty", "[Settings]\r\nA=  \t \r\n", "Settings", "A", ""},
        ReadCase{"CrLf", "[Settings]\r\nA=1\r\nB=2\r\n", "Settings", "B", "2"},
        ReadCase{"Lf", "[Settings]\nA=1\nB=2\n", "Settings", "B", "2"},
        ReadCase{"LoneCr", "[Settings]\rA=1\rB=2\r", "Settings", "B", "2"},
        ReadCase{"MixedLineEnds", "[Settings]\nA=1\r\nB=2\rC=3", "Settings", "C", "3"},
        ReadCase{"LastLineWithoutLineEnd", "[Settings]\r\nA=last", "Settings", "A", "last"},
        ReadCase{"KeyCaseIgnored", "[Settings]\r\nedZOffsett=2.5\r\n", "Settings", "edzOffsett", "2.5"},
        ReadCase{"SectionCaseIgnored", "[SETTINGS]\r\nA=1\r\n", "settings", "a", "1"},
        ReadCase{"BlanksAroundValue", "[Settings]\r\nA=   1.5 \t\r\n", "Settings", "A", "1.5"},
        ReadCase{"BlanksAroundKeyAndEquals", "[Settings]\r\n   A   =  x y  \r\n", "Settings", "A", "x y"},
        ReadCase{"IndentedSection", "  [ Settings ]  \r\nA=1\r\n", "Settings", "A", "1"},
        ReadCase{"TextAfterSectionHead", "[Settings] ; the window\r\nA=1\r\n", "Settings", "A", "1"},
        ReadCase{"DoubleQuotes", "[Settings]\r\nA=\" 1.5 \"\r\n", "Settings", "A", " 1.5 "},
        ReadCase{"SingleQuotes", "[Settings]\r\nA='x'\r\n", "Settings", "A", "x"},
        ReadCase{"QuotesAfterBlanks", "[Settings]\r\nA=  \"x\"  \r\n", "Settings", "A", "x"},
        ReadCase{"OnlyOnePairRemoved", "[Settings]\r\nA=\"\"x\"\"\r\n", "Settings", "A", "\"x\""},
        ReadCase{"MismatchedQuotesKept", "[Settings]\r\nA=\"x'\r\n", "Settings", "A", "\"x'"},
        ReadCase{"OpeningQuoteOnlyKept", "[Settings]\r\nA=\"x\r\n", "Settings", "A", "\"x"},
        ReadCase{"LoneQuoteKept", "[Settings]\r\nA=\"\r\n", "Settings", "A", "\""},
        ReadCase{"EmptyQuotes", "[Settings]\r\nA=\"\"\r\n", "Settings", "A", ""},
        ReadCase{"InnerQuotesKept", "[Settings]\r\nA=a \"b\" c\r\n", "Settings", "A", "a \"b\" c"},
        ReadCase{"EqualsInValue", "[Settings]\r\nA=x=y\r\n", "Settings", "A", "x=y"},
        ReadCase{"FirstOfDuplicateKeys", "[Settings]\r\nA=1\r\na=2\r\n", "Settings", "A", "1"},
        ReadCase{"FirstOfDuplicateSections", "[Settings]\r\nB=1\r\n[Settings]\r\nA=2\r\n", "Settings", "A",
                 std::nullopt},
        ReadCase{"KeyOfTheNextSectionIsNotOurs", "[Settings]\r\n[Program]\r\nA=1\r\n", "Settings", "A", std::nullopt},
        ReadCase{"KeyBeforeAnySection", "A=1\r\n[Settings]\r\n", "Settings", "A", std::nullopt},
        ReadCase{"SemicolonComment", "[Settings]\r\n;A=1\r\nA=2\r\n", "Settings", "A", "2"},
        ReadCase{"HashComment", "[Settings]\r\n  # A=1\r\n", "Settings", "A", std::nullopt},
        ReadCase{"LineWithoutEquals", "[Settings]\r\nA\r\n", "Settings", "A", std::nullopt},
        ReadCase{"EmptyKeyName", "[Settings]\r\n=1\r\n", "Settings", "", std::nullopt},
        ReadCase{"UnclosedSectionHeadIsNoSection", "[Settings]\r\nA=1\r\n[Program\r\nB=2\r\n", "Settings", "B", "2"},
        ReadCase{"BlankLinesAndComments", "\r\n; korvex\r\n\r\n[Settings]\r\n\r\n; offsets\r\n\r\nA=1\r\n\r\n",
                 "Settings", "A", "1"},
        ReadCase{"ByteOrderMark", "\xEF\xBB\xBF[Settings]\r\nA=1\r\n", "Settings", "A", "1"},
        ReadCase{"CutTo2047", "[Settings]\r\nA=" + kLong + "\r\n", "Settings", "A", kLong.substr(0, 2047)},
        ReadCase{"CutAfterUnquoting", "[Settings]\r\nA=\"" + kLong + "\"\r\n", "Settings", "A", kLong.substr(0, 2047)}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(IniIntegerTest, DecimalOrHexadecimalWithinThirtyTwoBits) {
    struct Case {
        const char* text;
        std::optional<std::int32_t> expected;
    };
    const Case cases[] = {
        {"0", 0},
        {"3", 3},
        {"007", 7},
        {"-1", -1},
        {"+5", 5},
        {"2147483647", 2147483647},
        {"-2147483648", INT32_MIN},
        {"0x2", 2},
        {"0X1f", 31},
        {"$FF", 255},
        {"$ff", 255},
        {"-$10", -16},
        {"-0x10", -16},
        {"0xFFFFFFFF", -1},
        {"0x80000000", INT32_MIN},
        {"2147483648", std::nullopt},
        {"-2147483649", std::nullopt},
        {"0x100000000", std::nullopt},
        {"99999999999999999999", std::nullopt},
        {"", std::nullopt},
        {"-", std::nullopt},
        {"+", std::nullopt},
        {"0x", std::nullopt},
        {"$", std::nullopt},
        {"x10", std::nullopt},
        {"1.5", std::nullopt},
        {"1e3", std::nullopt},
        {"12a", std::nullopt},
        {"0x1g", std::nullopt},
        {" 1", std::nullopt},
        {"1 ", std::nullopt},
        {"--1", std::nullopt},
        {"yes", std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ParseIniInteger(c.text), c.expected) << '"' << c.text << '"';
    }
}

TEST(IniIntegerTest, IntegersAndBooleansFromTheDocument) {
    const IniDocument ini("[S]\r\n"
                          "Index=3\r\n"
                          "Hex=0x2\r\n"
                          "Dollar=$3\r\n"
                          "Quoted=' 2'\r\n"
                          "Padded=  1  \r\n"
                          "Word=yes\r\n"
                          "Empty=\r\n"
                          "Real=1.0\r\n"
                          "Zero=0\r\n"
                          "Two=2\r\n"
                          "Minus=-1\r\n"
                          "HexZero=0x0\r\n");
    EXPECT_EQ(ini.ReadInteger("S", "Index", 1), 3);
    EXPECT_EQ(ini.ReadInteger("S", "Hex", 1), 2);
    EXPECT_EQ(ini.ReadInteger("S", "Dollar", 1), 3);
    EXPECT_EQ(ini.ReadInteger("S", "Quoted", 1), 1) << "the blank inside the quotes is part of the value";
    EXPECT_EQ(ini.ReadInteger("S", "Padded", 9), 1);
    EXPECT_EQ(ini.ReadInteger("S", "Word", 9), 9);
    EXPECT_EQ(ini.ReadInteger("S", "Empty", 9), 9);
    EXPECT_EQ(ini.ReadInteger("S", "Real", 9), 9);
    EXPECT_EQ(ini.ReadInteger("S", "Missing", 9), 9);

    EXPECT_FALSE(ini.ReadBool("S", "Zero", true));
    EXPECT_TRUE(ini.ReadBool("S", "Index", false));
    EXPECT_TRUE(ini.ReadBool("S", "Two", false));
    EXPECT_TRUE(ini.ReadBool("S", "Minus", false));
    EXPECT_FALSE(ini.ReadBool("S", "HexZero", true));
    for (const bool fallback : {false, true}) {
        EXPECT_EQ(ini.ReadBool("S", "Word", fallback), fallback);
        EXPECT_EQ(ini.ReadBool("S", "Empty", fallback), fallback);
        EXPECT_EQ(ini.ReadBool("S", "Real", fallback), fallback);
        EXPECT_EQ(ini.ReadBool("S", "Missing", fallback), fallback);
        EXPECT_EQ(ini.ReadBool("Nowhere", "Zero", fallback), fallback);
    }
}

// ---------------------------------------------------------------------------------------------------------
// Writing

struct Write {
    const char* section;
    const char* key;
    std::string value;
};

struct WriteCase {
    const char* name;
    std::string before;
    std::vector<Write> writes;
    std::string after;
};

std::ostream& operator<<(std::ostream& out, const WriteCase& c) {
    return out << c.name;
}

class IniWriteTest : public ::testing::TestWithParam<WriteCase> {};

TEST_P(IniWriteTest, ChangesOnlyWhatIsWritten) {
    const WriteCase& c = GetParam();
    IniDocument ini(c.before);
    for (const Write& w : c.writes) {
        ini.WriteString(w.section, w.key, w.value);
    }
    EXPECT_EQ(ini.Text(), c.after);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, IniWriteTest,
    ::testing::Values(
        WriteCase{"CreatesSectionAndKey", "", {{"Settings", "A", "1"}}, "[Settings]\r\nA=1\r\n"},
        WriteCase{"NewKeysGoToTheEndOfTheirSection",
                  "",
                  {{"Settings", "A", "1"}, {"Program", "P", "/x"}, {"Settings", "B", "2"}},
                  "[Settings]\r\nA=1\r\nB=2\r\n[Program]\r\nP=/x\r\n"},
        WriteCase{"ReplacesInPlaceKeepingTheLineEnd",
                  "[Settings]\nA=1\nB=2\n",
                  {{"Settings", "A", "9"}},
                  "[Settings]\nA=9\nB=2\n"},
        WriteCase{"ReplacesWithTheWrittenSpelling",
                  "[settings]\r\n  edzoffsett = 2.5  \r\n",
                  {{"Settings", "edZOffsett", "3"}},
                  "[settings]\r\nedZOffsett=3\r\n"},
        WriteCase{"ReplacesOnlyTheFirstOfDuplicates",
                  "[Settings]\r\nA=1\r\nA=2\r\n",
                  {{"Settings", "A", "3"}},
                  "[Settings]\r\nA=3\r\nA=2\r\n"},
        WriteCase{"NewKeyBeforeBlankLinesAndTrailingComments",
                  "; top\r\n[Settings]\r\nA=1\r\n; about Program\r\n\r\n[Program]\n\nP=1\n",
                  {{"Settings", "B", "2"}, {"Program", "Q", "3"}},
                  "; top\r\n[Settings]\r\nA=1\r\nB=2\r\n; about Program\r\n\r\n[Program]\n\nP=1\nQ=3\r\n"},
        WriteCase{"NewKeyInASectionWithoutKeysFollowsItsHead",
                  "[Settings]\n; nothing yet\n[Program]\n",
                  {{"Settings", "A", "1"}},
                  "[Settings]\nA=1\r\n; nothing yet\n[Program]\n"},
        WriteCase{"LastLineWithoutLineEndGetsOne",
                  "[Settings]\nA=1",
                  {{"Settings", "B", "2"}, {"Program", "P", "3"}},
                  "[Settings]\nA=1\r\nB=2\r\n[Program]\r\nP=3\r\n"},
        WriteCase{"HeadWithoutLineEnd", "[Settings]", {{"Settings", "A", "1"}}, "[Settings]\r\nA=1\r\n"},
        WriteCase{"NewSectionAfterUnrelatedText", "just text", {{"S", "A", "1"}}, "just text\r\n[S]\r\nA=1\r\n"},
        WriteCase{"LoneCrCountsAsLineEnd", "[S]\rA=1\r", {{"S", "B", "2"}}, "[S]\rA=1\rB=2\r\n"},
        WriteCase{"CommentedKeyIsNotReplaced", "[S]\r\n;A=old\r\n", {{"S", "A", "new"}}, "[S]\r\nA=new\r\n;A=old\r\n"},
        WriteCase{"OnlyTheFirstOfDuplicateSections",
                  "[S]\r\nA=1\r\n[T]\r\n[S]\r\nB=1\r\n",
                  {{"S", "B", "2"}},
                  "[S]\r\nA=1\r\nB=2\r\n[T]\r\n[S]\r\nB=1\r\n"},
        WriteCase{"ByteOrderMarkKept", "\xEF\xBB\xBF[S]\nA=1\n", {{"S", "A", "2"}}, "\xEF\xBB\xBF[S]\nA=2\n"},
        WriteCase{"EmptyValue", "[S]\r\nA=1\r\n", {{"S", "A", ""}}, "[S]\r\nA=\r\n"},
        WriteCase{"ValuesThatNeedQuotes",
                  "",
                  {{"S", "Lead", " x"}, {"S", "Trail", "x\t"}, {"S", "Quoted", "'x'"}, {"S", "Inner", "a \"b\" c"}},
                  "[S]\r\nLead=\" x\"\r\nTrail=\"x\t\"\r\nQuoted=\"'x'\"\r\nInner=a \"b\" c\r\n"},
        WriteCase{"LineBreaksInAValueCannotBreakTheFile",
                  "[S]\r\n",
                  {{"S", "A", "1\r\n[Evil]\nB=2"}},
                  "[S]\r\nA=1  [Evil] B=2\r\n"},
        WriteCase{"SameValueLeavesTheTextAlone", "[S]\r\nA=1\r\n", {{"S", "A", "1"}}, "[S]\r\nA=1\r\n"}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(IniWriteTest, IntegersAndBooleansAreWrittenInDecimal) {
    IniDocument ini;
    ini.WriteInteger("S", "Index", -1);
    ini.WriteInteger("S", "Big", INT32_MIN);
    ini.WriteBool("S", "On", true);
    ini.WriteBool("S", "Off", false);
    EXPECT_EQ(ini.Text(), "[S]\r\nIndex=-1\r\nBig=-2147483648\r\nOn=1\r\nOff=0\r\n");
}

// Random hand-edited documents: whatever the surroundings, a written value reads back, the other keys keep
// their values, and every line that was not written is still there byte for byte.
TEST(IniWriteTest, RandomDocumentsKeepEverythingElse) {
    const std::vector<std::string> pieces = {
        "[S]", "[s]", " [ T ] ", "[Program]", "A=1",   "a = 2", "B=\"q\"", "B='",  "C=",  ";A=3", "# x",
        "",    "  ",  "junk",    "=v",        "[open", "C= x ", "D=$10",   "\xEF", "A==", "[]",   "[S] tail",
    };
    const std::vector<std::string> ends = {"\r\n", "\n", "\r", ""};
    const std::vector<std::string> values = {"", "v", " v ", "'v'", "\"", "a=b", "[S]", ";", "x\r\ny", "0x1F"};
    const std::vector<std::string> names = {"S", "T", "Program", "New"};
    const std::vector<std::string> keys = {"A", "B", "C", "D", "E"};
    std::mt19937 random(20240611);
    auto pick = [&random](const auto& list) {
        return list[std::uniform_int_distribution<std::size_t>(0, list.size() - 1)(random)];
    };
    for (int round = 0; round < 3000; ++round) {
        std::string text;
        const int lines = std::uniform_int_distribution<int>(0, 12)(random);
        for (int i = 0; i < lines; ++i) {
            text += pick(pieces);
            text += i + 1 < lines ? pick(std::vector<std::string>{"\r\n", "\n", "\r"}) : pick(ends);
        }
        IniDocument ini(text);
        const std::string section = pick(names);
        const std::string key = pick(keys);
        std::string value = pick(values);

        std::vector<std::pair<std::string, std::optional<std::string>>> others;
        for (const auto& s : names) {
            for (const auto& k : keys) {
                if (!(s == section && k == key)) {
                    others.emplace_back(s + "/" + k, ini.Value(s, k));
                }
            }
        }
        ini.WriteString(section, key, value);
        for (char& c : value) {
            if (c == '\r' || c == '\n') {
                c = ' ';
            }
        }
        SCOPED_TRACE(::testing::Message() << "document: " << ::testing::PrintToString(text) << " write " << section
                                          << "/" << key << "=" << ::testing::PrintToString(value));
        EXPECT_EQ(ini.Value(section, key), value);
        for (const auto& [name, before] : others) {
            const auto slash = name.find('/');
            EXPECT_EQ(ini.Value(name.substr(0, slash), name.substr(slash + 1)), before) << name;
        }
        // Writing the same again changes nothing: the line was replaced in place.
        const std::string once = ini.Text();
        ini.WriteString(section, key, value);
        EXPECT_EQ(ini.Text(), once);
    }
}

// Big files and very long lines: one pass per lookup, no quadratic behaviour (ctest's timeout catches it).
TEST(IniLargeTest, FiftyMegabytesAndLongLines) {
    std::string text = "[Settings]\r\n";
    const std::string filler = "Key0000=some value of a line\r\n";
    while (text.size() < 50u * 1024 * 1024) {
        text += filler;
    }
    text += "Long=" + std::string(5u * 1024 * 1024, 'x') + "\r\n";
    text += "Last=end\r\n";
    text += std::string(1u << 20, ';') + "\n";
    IniDocument ini(std::move(text));
    EXPECT_EQ(ini.Value("Settings", "Last"), "end");
    EXPECT_EQ(ini.Value("Settings", "Long")->size(), IniDocument::kMaxValueLength);
    for (int i = 0; i < 3; ++i) {
        ini.WriteString("Settings", "New" + std::to_string(i), "v");
        ini.WriteString("Program", "P" + std::to_string(i), "w");
    }
    EXPECT_EQ(ini.Value("Settings", "New2"), "v");
    EXPECT_EQ(ini.Value("Program", "P0"), "w");
}

} // namespace
} // namespace korvex::platform
