// The version reader on real and made files, its file-type table and flags, and the text form of its record.

#include <climits>
#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/version/TestImages.h"
#include "tools/versiongen/VersionBlockWriter.h"
#include "version/VersionInfo.h"
#include "version/VersionInfoFormat.h"

namespace korvex::version {
namespace {

// Type names come from korvex-mime, which the programs look for only beside themselves and in ../lib/korvex;
// this test program lives elsewhere in the build tree, so it names the built one (unless the caller did).
const bool kMimeProgramNamed = ::setenv("KORVEX_MIME_PROGRAM", KORVEX_MIME_PROGRAM_PATH, 0) == 0;

using platform::VS_FIXEDFILEINFO;
using tools::VersionDescription;

// The whole record as text: a failing comparison shows every field.
std::string Text(const TFileVersionInfo& info) {
    return FormatFileVersionInfo(info);
}

TFileVersionInfo Read(const std::string& path) {
    TFileVersionInfo info;
    info.Comments = "left over from before";
    info.IsPatched = true;
    ReadFileVersionInfo(path, info);
    return info;
}

std::string RealPath(const char* path) {
    char resolved[PATH_MAX];
    return realpath(path, resolved) != nullptr ? resolved : path;
}

VersionDescription Description(std::uint32_t mask, std::uint32_t flags, std::uint32_t type, std::uint32_t subtype) {
    VersionDescription d;
    d.fileFlagsMask = mask;
    d.fileFlags = flags;
    d.fileOS = 4;
    d.fileType = type;
    d.fileSubtype = subtype;
    d.stringTables = {{"080704E4",
                       {{"CompanyName", "Maker"},
                        {"FileDescription", "Description"},
                        {"FileVersion", "2.0.0.7"},
                        {"InternalName", "internal"},
                        {"LegalCopyright", "Copyright line"},
                        {"LegalTrademarks", "Trademarks"},
                        {"OriginalFilename", "original.exe"},
                        {"ProductName", "Product"},
                        {"ProductVersion", "2.0"},
                        {"Comments", "Comments"},
                        {"SpecialBuild", "special"},
                        {"PrivateBuild", "private"}}}};
    d.vars = {{"Translation", {0x0807, 0x04E4}}};
    return d;
}

TFileVersionInfo AllTexts() {
    TFileVersionInfo info;
    info.CompanyName = "Maker";
    info.FileDescription = "Description";
    info.FileVersion = "2.0.0.7";
    info.InternalName = "internal";
    info.LegalCopyRight = "Copyright line";
    info.LegalTradeMarks = "Trademarks";
    info.OriginalFileName = "original.exe";
    info.ProductName = "Product";
    info.ProductVersion = "2.0";
    info.Comments = "Comments";
    info.SpecialBuild = "special";
    info.PrivateBuild = "private";
    return info;
}

class VersionReaderEnvironment : public ::testing::Environment {
public:
    // Type names come in the user's language, which the program that reads them takes from the environment;
    // the tests read them in English.
    void SetUp() override {
        ::setenv("LC_ALL", "C", 1);
        ::unsetenv("LANGUAGE");
    }
};
const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new VersionReaderEnvironment);

// ---- Files of every kind ----

TEST(ReadFileVersionInfo, TextFileGivesTheTypeNameOnly) {
    TFileVersionInfo expected;
    expected.ShellTypeName = "plain text document";
    EXPECT_EQ(Text(Read(test::WriteTempFile("notes.txt", {'G', '0', '0', '\n'}))), Text(expected));
}

// The type name is read in a process of its own, which takes the user's language from the environment.
TEST(ReadFileVersionInfo, TypeNameFollowsTheUserLanguage) {
    ::setenv("LC_ALL", "de_DE.UTF-8", 1);
    const TFileVersionInfo info = Read(test::WriteTempFile("notiz.txt", {'G', '0', '0', '\n'}));
    ::setenv("LC_ALL", "C", 1);
    EXPECT_EQ(info.ShellTypeName, "Einfaches Textdokument");
}

TEST(ReadFileVersionInfo, MissingFileGivesNothing) {
    EXPECT_EQ(Text(Read("/nonexistent/korvex.exe")), Text(TFileVersionInfo()));
}

TEST(ReadFileVersionInfo, ElfProgramWithoutSectionGivesTheTypeNameOnly) {
    // This test program carries no version block.
    const TFileVersionInfo info = Read(RealPath("/proc/self/exe"));
    TFileVersionInfo expected;
    expected.ShellTypeName = info.ShellTypeName;
    EXPECT_FALSE(info.ShellTypeName.empty());
    EXPECT_EQ(Text(info), Text(expected));
}

TEST(ReadFileVersionInfo, KorvexCliCarriesItsVersionResource) {
    const TFileVersionInfo info = Read(KORVEX_CLI_PATH);
    TFileVersionInfo expected;
    expected.ShellTypeName = "executable";
    expected.CompanyName = "Korvex developers";
    expected.FileDescription = "Korvex";
    expected.FileVersion = "1.3.0.1";
    expected.LegalCopyRight = "Copyright (C) 2026 Korvex developers";
    expected.ProductName = "Korvex";
    expected.ProductVersion = "1.3";
    expected.FileTypeText = "Application";
    EXPECT_EQ(Text(info), Text(expected));
}

struct PeRow {
    const char* name;
    VersionDescription description;
    test::PeOptions options;
    TFileVersionInfo expected; // without ShellTypeName
};

void PrintTo(const PeRow& row, std::ostream* out) {
    *out << row.name;
}

PeRow Row(const char* name, VersionDescription description, TFileVersionInfo expected, test::PeOptions options = {}) {
    return PeRow{name, std::move(description), options, std::move(expected)};
}

TFileVersionInfo WithFlags(TFileVersionInfo info, bool all, const char* fileType) {
    info.IsDebug = info.IsPreRelease = info.IsSpecialBuild = info.IsPrivateBuild = info.IsPatched =
        info.IsInfoInferred = all;
    info.FileTypeText = fileType;
    return info;
}

std::vector<PeRow> PeRows() {
    std::vector<PeRow> rows;
    rows.push_back(
        Row("every_text_in_its_field", Description(0x3F, 0, 1, 0), WithFlags(AllTexts(), false, "Application")));

    VersionDescription mismatched = Description(0x3F, 0x3F, 1, 0);
    mismatched.vars = {{"Translation", {0x0409, 0x04B0, 0x0807, 0x04E4}}};
    rows.push_back(
        Row("first_translation_has_no_table", mismatched, WithFlags(TFileVersionInfo(), true, "Application")));

    VersionDescription noTranslation = Description(0, 0, 1, 0);
    noTranslation.vars.clear();
    rows.push_back(Row("no_translation_list", noTranslation, WithFlags(TFileVersionInfo(), false, "Application")));

    TFileVersionInfo debugOnly = WithFlags(AllTexts(), false, "Application");
    rows.push_back(Row("flag_outside_mask", Description(0, 1, 1, 0), debugOnly));
    debugOnly.IsDebug = true;
    rows.push_back(Row("debug_flag_in_mask", Description(0x01, 0x3F, 1, 0), debugOnly));
    rows.push_back(Row("all_flags", Description(0x3F, 0x3F, 1, 0), WithFlags(AllTexts(), true, "Application")));

    rows.push_back(Row("driver_subtype_11", Description(0, 0, 3, 11), WithFlags(AllTexts(), false, "")));
    rows.push_back(Row("virtual_device_2A", Description(0, 0, 5, 0x2A),
                       WithFlags(AllTexts(), false, "Virtual Defice Identifier = 0000002A")));

    test::PeOptions dll64;
    dll64.is64 = true;
    dll64.isDll = true;
    rows.push_back(Row("dll_pe32_plus", Description(0, 0, 2, 0), WithFlags(AllTexts(), false, "DLL"), dll64));

    test::PeOptions gui;
    gui.subsystem = 2;
    gui.versionNameId = 7; // a resource name other than the usual 1 is still found
    rows.push_back(Row("gui_program_other_resource_name", Description(0, 0, 1, 0),
                       WithFlags(AllTexts(), false, "Application"), gui));
    return rows;
}

class PeFileTest : public ::testing::TestWithParam<PeRow> {};

TEST_P(PeFileTest, ReadsTextsFlagsAndFileType) {
    const PeRow& row = GetParam();
    const std::string path = test::WriteTempFile(std::string(row.name) + ".exe",
                                                 test::MakePe(tools::BuildVersionBlock(row.description), row.options));
    TFileVersionInfo info = Read(path);
    EXPECT_FALSE(info.ShellTypeName.empty());
    info.ShellTypeName.clear();
    EXPECT_EQ(Text(info), Text(row.expected));
}

INSTANTIATE_TEST_SUITE_P(Files, PeFileTest, ::testing::ValuesIn(PeRows()), test::RowName());

// ---- Broken files ----

TEST(ReadFileVersionInfo, BrokenFilesGiveEmptyFields) {
    const std::vector<std::uint8_t> pe = test::MakePe(tools::BuildVersionBlock(Description(0x3F, 0x3F, 1, 0)));
    // Cut inside the block: the resource no longer fits into the file.
    std::vector<std::uint8_t> cut(pe.begin(), pe.begin() + 0x200 + 88 + 200);
    TFileVersionInfo info = Read(test::WriteTempFile("cut.exe", cut));
    info.ShellTypeName.clear();
    EXPECT_EQ(Text(info), Text(TFileVersionInfo()));

    // A fixed part with a wrong signature: texts are there, flags and file type are not.
    std::vector<std::uint8_t> badSignature = pe;
    badSignature[0x200 + 88 + 40] ^= 0xFF;
    info = Read(test::WriteTempFile("bad-signature.exe", badSignature));
    info.ShellTypeName.clear();
    EXPECT_EQ(Text(info), Text(AllTexts()));

    // Only "MZ" and garbage: an executable to the shell, but no block.
    info = Read(test::WriteTempFile("garbage.exe", {'M', 'Z', 0xFF, 0xFF, 0xFF, 0xFF}));
    info.ShellTypeName.clear();
    EXPECT_EQ(Text(info), Text(TFileVersionInfo()));
}

TEST(ReadFileVersionInfo, EveryCutOfAFileIsSafe) {
    // The type name comes from a program started once per file, and this test is about the version block:
    // hundreds of those starts take a minute under the sanitizers. (ctest runs each test in a process of its
    // own, where the program is looked for at the first read.)
    ::setenv("KORVEX_MIME_PROGRAM", "/nonexistent/korvex-mime", 1);
    const std::vector<std::uint8_t> pe = test::MakePe(tools::BuildVersionBlock(Description(0x3F, 0x3F, 1, 0)));
    for (std::size_t size = 0; size < pe.size(); size += 7) {
        SCOPED_TRACE(size);
        TFileVersionInfo info = Read(test::WriteTempFile(
            "every-cut.exe", std::vector<std::uint8_t>(pe.begin(), pe.begin() + static_cast<std::ptrdiff_t>(size))));
        // A file is either whole enough to carry its block or yields nothing from it.
        info.ShellTypeName.clear();
        if (!info.FileTypeText.empty()) {
            EXPECT_EQ(Text(info), Text(WithFlags(AllTexts(), true, "Application")));
        } else {
            EXPECT_EQ(Text(info), Text(TFileVersionInfo()));
        }
    }
}

// ---- The steps ----

TEST(QueryVersionString, UnreadBlockGivesEmptyText) {
    EXPECT_EQ(detail::QueryVersionString(nullptr, "ProductName"), "");
}

TEST(QueryFixedFileInfo, UnreadBlockHasNone) {
    VS_FIXEDFILEINFO fixed;
    EXPECT_FALSE(detail::QueryFixedFileInfo(nullptr, fixed));
}

struct FlagRow {
    const char* name;
    std::uint32_t mask;
    std::uint32_t flags;
    std::uint32_t flag;
    bool set;
};

void PrintTo(const FlagRow& row, std::ostream* out) {
    *out << row.name;
}

class HasFileFlagTest : public ::testing::TestWithParam<FlagRow> {};

TEST_P(HasFileFlagTest, NeedsTheFlagInMaskAndFlags) {
    VS_FIXEDFILEINFO fixed;
    fixed.dwFileFlagsMask = GetParam().mask;
    fixed.dwFileFlags = GetParam().flags;
    EXPECT_EQ(detail::HasFileFlag(fixed, GetParam().flag), GetParam().set);
}

INSTANTIATE_TEST_SUITE_P(Flags, HasFileFlagTest,
                         ::testing::Values(FlagRow{"in_both", 0x3F, 0x3F, VS_FF_DEBUG, true},
                                           FlagRow{"not_in_mask", 0x00, 0x01, VS_FF_DEBUG, false},
                                           FlagRow{"not_in_flags", 0x3F, 0x00, VS_FF_DEBUG, false},
                                           FlagRow{"other_flag_only", 0x3F, 0x20, VS_FF_PRERELEASE, false},
                                           FlagRow{"special_build", 0x20, 0x20, VS_FF_SPECIALBUILD, true},
                                           FlagRow{"info_inferred", 0x10, 0x30, VS_FF_INFOINFERRED, true}),
                         test::RowName());

struct FileTypeRow {
    std::uint32_t type;
    std::uint32_t subtype;
    const char* text;
};

void PrintTo(const FileTypeRow& row, std::ostream* out) {
    *out << "type " << row.type << " subtype " << row.subtype;
}

class DescribeFileTypeTest : public ::testing::TestWithParam<FileTypeRow> {};

TEST_P(DescribeFileTypeTest, NamesTypeAndSubtype) {
    VS_FIXEDFILEINFO fixed;
    fixed.dwFileType = GetParam().type;
    fixed.dwFileSubtype = GetParam().subtype;
    EXPECT_EQ(detail::DescribeFileType(fixed), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Table, DescribeFileTypeTest,
    ::testing::Values(FileTypeRow{0, 9, "Unknown"}, FileTypeRow{1, 0, "Application"}, FileTypeRow{1, 77, "Application"},
                      FileTypeRow{2, 3, "DLL"}, FileTypeRow{3, 0, "Unknown Driver"},
                      FileTypeRow{3, 1, "Printer Driver"}, FileTypeRow{3, 2, "Keyboard Driver"},
                      FileTypeRow{3, 3, "Language Driver"}, FileTypeRow{3, 4, "Display Driver"},
                      FileTypeRow{3, 5, "Mouse Driver"}, FileTypeRow{3, 6, "Network Driver"},
                      FileTypeRow{3, 7, "System Driver"}, FileTypeRow{3, 8, "InstallableDriver"},
                      FileTypeRow{3, 9, "Sound Driver"}, FileTypeRow{3, 10, "Communications Driver"},
                      FileTypeRow{3, 11, ""}, FileTypeRow{3, 0xFFFFFFFF, ""}, FileTypeRow{4, 0, "Unknown Font"},
                      FileTypeRow{4, 1, "Raster Font"}, FileTypeRow{4, 2, "Vector Font"},
                      FileTypeRow{4, 3, "Truetype Font"}, FileTypeRow{4, 4, ""},
                      FileTypeRow{5, 0, "Virtual Defice Identifier = 00000000"},
                      FileTypeRow{5, 0x2A, "Virtual Defice Identifier = 0000002A"},
                      FileTypeRow{5, 0xFFFFFFFF, "Virtual Defice Identifier = FFFFFFFF"}, FileTypeRow{6, 0, ""},
                      FileTypeRow{7, 5, "Static-link Library"}, FileTypeRow{8, 0, ""}, FileTypeRow{0xFFFFFFFF, 1, ""}),
    [](const ::testing::TestParamInfo<FileTypeRow>& row) {
        return "type_" + std::to_string(row.param.type) + "_subtype_" + std::to_string(row.param.subtype);
    });

// ---- Text form ----

TEST(FormatFileVersionInfo, TwentyLinesInFieldOrder) {
    TFileVersionInfo info = AllTexts();
    info.ShellTypeName = "executable";
    info.FileTypeText = "Application";
    info.IsPreRelease = true;
    info.IsInfoInferred = true;
    EXPECT_EQ(FormatFileVersionInfo(info), "ShellTypeName: executable\n"
                                           "CompanyName: Maker\n"
                                           "FileDescription: Description\n"
                                           "FileVersion: 2.0.0.7\n"
                                           "InternalName: internal\n"
                                           "LegalCopyRight: Copyright line\n"
                                           "LegalTradeMarks: Trademarks\n"
                                           "OriginalFileName: original.exe\n"
                                           "ProductName: Product\n"
                                           "ProductVersion: 2.0\n"
                                           "Comments: Comments\n"
                                           "SpecialBuild: special\n"
                                           "PrivateBuild: private\n"
                                           "FileTypeText: Application\n"
                                           "IsDebug: false\n"
                                           "IsPreRelease: true\n"
                                           "IsSpecialBuild: false\n"
                                           "IsPrivateBuild: false\n"
                                           "IsPatched: false\n"
                                           "IsInfoInferred: true\n");
}

} // namespace
} // namespace korvex::version
