// The description of the program's version resource and the reader of such descriptions.

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/version/TestImages.h"
#include "tools/versiongen/RcScript.h"
#include "tools/versiongen/VersionBlockWriter.h"

namespace korvex::tools {
namespace {

std::string ReadText(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

TEST(RcScript, ProgramDescriptionHoldsTheProgramsVersion) {
    const VersionDescription d = ParseRcScript(ReadText(KORVEX_VERSION_SCRIPT), "version.rc");
    EXPECT_EQ(std::vector<std::uint16_t>(d.fileVersion, d.fileVersion + 4), (std::vector<std::uint16_t>{1, 1, 0, 1}));
    EXPECT_EQ(std::vector<std::uint16_t>(d.productVersion, d.productVersion + 4),
              (std::vector<std::uint16_t>{1, 1, 0, 1}));
    EXPECT_EQ(d.fileFlagsMask, 0x3Fu);
    EXPECT_EQ(d.fileFlags, 0u);
    EXPECT_EQ(d.fileOS, 4u);
    EXPECT_EQ(d.fileType, 1u);
    EXPECT_EQ(d.fileSubtype, 0u);
    ASSERT_EQ(d.stringTables.size(), 1u);
    EXPECT_EQ(d.stringTables[0].name, "080704E4");
    const std::vector<std::pair<std::string, std::string>> texts = {
        {"CompanyName", "Korvex developers"},
        {"FileDescription", "Korvex"},
        {"FileVersion", "1.3.0.1"},
        {"InternalName", ""},
        {"LegalCopyright", "Copyright (C) 2026 Korvex developers"},
        {"LegalTrademarks", ""},
        {"OriginalFilename", ""},
        {"ProductName", "Korvex"},
        {"ProductVersion", "1.3"},
        {"Comments", ""},
    };
    EXPECT_EQ(d.stringTables[0].values, texts);
    ASSERT_EQ(d.vars.size(), 1u);
    EXPECT_EQ(d.vars[0].first, "Translation");
    EXPECT_EQ(d.vars[0].second, (std::vector<std::uint16_t>{0x0807, 0x04E4}));
}

TEST(RcScript, SyntaxVariants) {
    const VersionDescription d = ParseRcScript("#include <winver.h>\n"
                                               "VS_VERSION_INFO VERSIONINFO /* fixed part */\n"
                                               "FILEVERSION 2, 0x10 // fewer than four numbers\n"
                                               "FILEFLAGSMASK 0x3fL FILEOS 0x40004L\n"
                                               "{ BLOCK \"StringFileInfo\" { BLOCK \"040904b0\" {\n"
                                               "  VALUE \"Comments\", L\"say \"\"hi\"\"\\n\\t\\\\ \\\"x\\\"\"\n"
                                               "} } }\n",
                                               "variants.rc");
    EXPECT_EQ(d.fileVersion[0], 2);
    EXPECT_EQ(d.fileVersion[1], 16);
    EXPECT_EQ(d.fileVersion[2], 0);
    EXPECT_EQ(d.fileFlagsMask, 0x3Fu);
    EXPECT_EQ(d.fileOS, 0x40004u);
    ASSERT_EQ(d.stringTables.size(), 1u);
    EXPECT_EQ(d.stringTables[0].values[0].second, "say \"hi\"\n\t\\ \"x\"");
    EXPECT_TRUE(d.vars.empty());
}

struct ErrorRow {
    const char* name;
    const char* script;
    const char* message;
};

void PrintTo(const ErrorRow& row, std::ostream* out) {
    *out << row.name;
}

class RcScriptErrorTest : public ::testing::TestWithParam<ErrorRow> {};

TEST_P(RcScriptErrorTest, NamesLineAndProblem) {
    try {
        ParseRcScript(GetParam().script, "v.rc");
        FAIL() << "no error";
    } catch (const RcScriptError& error) {
        EXPECT_STREQ(error.what(), GetParam().message);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Scripts, RcScriptErrorTest,
    ::testing::Values(
        ErrorRow{"empty", "", "v.rc:1: expected 1 or VS_VERSION_INFO, found the end of the script"},
        ErrorRow{"other_resource_name", "2 VERSIONINFO BEGIN END", "v.rc:1: expected 1 or VS_VERSION_INFO, found '2'"},
        ErrorRow{"other_resource_type", "1 ICON \"a.ico\"", "v.rc:1: expected VERSIONINFO, found 'ICON'"},
        ErrorRow{"unknown_statement", "1 VERSIONINFO\nFILEDATE 3\nBEGIN END", "v.rc:2: unknown statement 'FILEDATE'"},
        ErrorRow{"version_part_too_large", "1 VERSIONINFO FILEVERSION 1,65536 BEGIN END",
                 "v.rc:1: number out of range: 65536"},
        ErrorRow{"malformed_number", "1 VERSIONINFO FILEFLAGS 0x BEGIN END", "v.rc:1: malformed number 0x"},
        ErrorRow{"number_with_letters", "1 VERSIONINFO FILEFLAGS 12ab BEGIN END", "v.rc:1: malformed number 12"},
        ErrorRow{"number_too_large", "1 VERSIONINFO FILEFLAGS 0x100000000 BEGIN END",
                 "v.rc:1: number too large: 0x100000000"},
        ErrorRow{"missing_end", "1 VERSIONINFO\nBEGIN\n", "v.rc:3: expected BLOCK, found the end of the script"},
        ErrorRow{"unknown_block", "1 VERSIONINFO BEGIN\nBLOCK \"Other\" BEGIN END END",
                 "v.rc:2: unexpected block \"Other\""},
        ErrorRow{"string_table_name", "1 VERSIONINFO BEGIN BLOCK \"StringFileInfo\" BEGIN BLOCK \"0807\" BEGIN",
                 "v.rc:1: string table name must be eight hexadecimal digits: \"0807\""},
        ErrorRow{"value_without_text",
                 "1 VERSIONINFO BEGIN BLOCK \"StringFileInfo\" BEGIN BLOCK \"080704E4\" BEGIN\nVALUE \"A\", 5",
                 "v.rc:2: expected a text, found '5'"},
        ErrorRow{"translation_without_numbers",
                 "1 VERSIONINFO BEGIN BLOCK \"VarFileInfo\" BEGIN VALUE \"Translation\" END",
                 "v.rc:1: expected ',' and a number, found 'END'"},
        ErrorRow{"unclosed_text", "1 VERSIONINFO BEGIN BLOCK \"StringFileInfo\nEND",
                 "v.rc:1: text without closing quote"},
        ErrorRow{"unknown_escape", "1 VERSIONINFO BEGIN BLOCK \"a\\qb\"", "v.rc:1: unknown escape \\q"},
        ErrorRow{"unclosed_comment", "1 VERSIONINFO\n/* BEGIN\nEND", "v.rc:2: comment without end"},
        ErrorRow{"stray_character", "1 VERSIONINFO BEGIN ; END", "v.rc:1: unexpected character ';'"},
        ErrorRow{"text_after_end", "1 VERSIONINFO BEGIN END\nEND", "v.rc:2: unexpected 'END' after the closing END"}),
    test::RowName());

// The published layout, byte for byte as the GNU resource compiler writes it: taken from its .res output
// when it is installed (binutils-mingw-w64-i686).
TEST(VersionBlockWriter, MatchesTheGnuResourceCompiler) {
    const std::string res = testing::TempDir() + "korvex-version.res";
    const std::string command = "i686-w64-mingw32-windres --preprocessor=cpp -i '" KORVEX_VERSION_SCRIPT
                                "' -O res -o '" +
                                res + "' 2>/dev/null";
    if (std::system(command.c_str()) != 0) {
        GTEST_SKIP() << "i686-w64-mingw32-windres is not installed";
    }
    const std::string bytes = ReadText(res);
    std::remove(res.c_str());
    // A .res file: an empty first entry, then the version resource; each entry has its data size, header size.
    auto u32 = [&](std::size_t at) {
        return static_cast<std::uint32_t>(
            static_cast<unsigned char>(bytes.at(at)) | static_cast<unsigned char>(bytes.at(at + 1)) << 8 |
            static_cast<unsigned char>(bytes.at(at + 2)) << 16 | static_cast<unsigned char>(bytes.at(at + 3)) << 24);
    };
    const std::size_t second = 32;
    const std::string windres = bytes.substr(second + u32(second + 4), u32(second));
    const std::vector<std::uint8_t> ours =
        BuildVersionBlock(ParseRcScript(ReadText(KORVEX_VERSION_SCRIPT), "version.rc"));
    EXPECT_EQ(windres, std::string(ours.begin(), ours.end()));
}

} // namespace
} // namespace korvex::tools
