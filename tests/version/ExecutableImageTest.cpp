// Finding the version block in PE and ELF images, and the executable types the shell reports.

#include <unistd.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/ExecutableImage.h"
#include "platform/Shell.h"
#include "tests/version/TestImages.h"

namespace korvex::platform {
namespace {

const std::vector<std::uint8_t> kBlock = {'V', 'E', 'R', 'S', 'I', 'O', 'N', '-', 'B', 'Y', 'T', 'E', 'S'};

bool ViewHolds(ByteView view, const std::vector<std::uint8_t>& bytes) {
    // memcmp may not be handed the null pointer of an empty view, not even for no bytes.
    return view.size == bytes.size() && (bytes.empty() || std::memcmp(view.data, bytes.data(), bytes.size()) == 0);
}

struct PeRow {
    const char* name;
    bool is64;
    bool isDll;
    std::uint16_t versionNameId;
};

void PrintTo(const PeRow& row, std::ostream* out) {
    *out << row.name;
}

class PeLocatorTest : public ::testing::TestWithParam<PeRow> {};

TEST_P(PeLocatorTest, FindsTheVersionResource) {
    test::PeOptions options;
    options.is64 = GetParam().is64;
    options.isDll = GetParam().isDll;
    options.versionNameId = GetParam().versionNameId;
    const std::vector<std::uint8_t> image = test::MakePe(kBlock, options);
    EXPECT_TRUE(ViewHolds(FindPeVersionResource(ByteView(image)), kBlock));
    EXPECT_TRUE(ViewHolds(FindVersionResource(ByteView(image)), kBlock));
    EXPECT_TRUE(FindElfVersionSection(ByteView(image)).empty());
}

INSTANTIATE_TEST_SUITE_P(Images, PeLocatorTest,
                         ::testing::Values(PeRow{"pe32_program", false, false, 1}, PeRow{"pe32_dll", false, true, 1},
                                           PeRow{"pe32_plus_program", true, false, 1},
                                           PeRow{"pe32_plus_dll", true, true, 1},
                                           PeRow{"resource_named_other_than_1", false, false, 2}),
                         test::RowName());

TEST(PeLocator, ImageWithoutResourcesHasNoBlock) {
    test::PeOptions options;
    options.withResources = false;
    EXPECT_TRUE(FindVersionResource(ByteView(test::MakePe({}, options))).empty());
}

struct ElfRow {
    const char* name;
    bool is64;
    bool bigEndian;
};

void PrintTo(const ElfRow& row, std::ostream* out) {
    *out << row.name;
}

class ElfLocatorTest : public ::testing::TestWithParam<ElfRow> {};

TEST_P(ElfLocatorTest, FindsTheVersionSection) {
    test::ElfOptions options;
    options.is64 = GetParam().is64;
    options.bigEndian = GetParam().bigEndian;
    const std::vector<std::uint8_t> image = test::MakeElf(kBlock, options);
    EXPECT_TRUE(ViewHolds(FindElfVersionSection(ByteView(image)), kBlock));
    EXPECT_TRUE(ViewHolds(FindVersionResource(ByteView(image)), kBlock));

    options.sectionName = ".korvex.versions";
    EXPECT_TRUE(FindVersionResource(ByteView(test::MakeElf(kBlock, options))).empty());
    options.sectionName = ".korvex.versio";
    EXPECT_TRUE(FindVersionResource(ByteView(test::MakeElf(kBlock, options))).empty());
    EXPECT_TRUE(FindVersionResource(ByteView(test::MakeElf({}, options))).empty());
}

INSTANTIATE_TEST_SUITE_P(Images, ElfLocatorTest,
                         ::testing::Values(ElfRow{"elf64_little_endian", true, false},
                                           ElfRow{"elf64_big_endian", true, true},
                                           ElfRow{"elf32_little_endian", false, false},
                                           ElfRow{"elf32_big_endian", false, true}),
                         test::RowName());

// Whatever the cut or the overwritten byte, a block found lies inside the image.
void ExpectLocatorsStayInside(const std::vector<std::uint8_t>& bytes) {
    const std::unique_ptr<std::uint8_t[]> exact(new std::uint8_t[bytes.size() + 1]);
    std::copy(bytes.begin(), bytes.end(), exact.get());
    const ByteView image(exact.get(), bytes.size());
    for (ByteView found : {FindPeVersionResource(image), FindElfVersionSection(image)}) {
        if (!found.empty()) {
            ASSERT_GE(found.data, image.data);
            ASSERT_LE(found.data + found.size, image.data + image.size);
        }
    }
    ExecutableType(image);
}

// The About box reads its own program, tens of megabytes with debug information: only the parts that lead to the
// block may be read, whatever the file's size. Each image grows by 64 MiB of hole after its own bytes.
TEST(FileVersionBlock, ReadsOnlyThePartsThatLeadToTheBlock) {
    const struct {
        const char* name;
        std::vector<std::uint8_t> image;
    } rows[] = {
        {"pe32.exe", test::MakePe(kBlock)},
        {"pe64.exe", test::MakePe(kBlock, test::PeOptions{true, false, 3, 4, 0, 1, true})},
        {"elf64", test::MakeElf(kBlock)},
        {"elf32-big-endian", test::MakeElf(kBlock, test::ElfOptions{false, true, 3, ".korvex.version"})},
        {"elf-without-block", test::MakeElf({})},
    };
    constexpr std::uint64_t kGrown = 64u << 20;
    for (const auto& row : rows) {
        const std::string path = test::WriteTempFile(row.name, row.image);
        ASSERT_EQ(::truncate(path.c_str(), static_cast<off_t>(kGrown)), 0) << row.name;
        std::vector<std::uint8_t> block = {1, 2, 3};
        std::uint64_t bytesRead = 0;
        ASSERT_TRUE(ReadFileVersionBlock(path, block, &bytesRead)) << row.name;
        const ByteView expected = FindVersionResource(ByteView(row.image));
        EXPECT_TRUE(ViewHolds(expected, block)) << row.name;
        EXPECT_LE(bytesRead, row.image.size() + 4096) << row.name;
    }
    std::vector<std::uint8_t> block;
    EXPECT_FALSE(ReadFileVersionBlock("/nonexistent/korvex", block));
    EXPECT_FALSE(ReadFileVersionBlock("/tmp", block));
}

TEST(BrokenImages, EveryCutStaysInside) {
    test::PeOptions pe64;
    pe64.is64 = true;
    test::ElfOptions elf32;
    elf32.is64 = false;
    for (const std::vector<std::uint8_t>& image :
         {test::MakePe(kBlock), test::MakePe(kBlock, pe64), test::MakeElf(kBlock), test::MakeElf(kBlock, elf32)}) {
        for (std::size_t size = 0; size <= image.size(); ++size) {
            SCOPED_TRACE(size);
            ExpectLocatorsStayInside(
                std::vector<std::uint8_t>(image.begin(), image.begin() + static_cast<std::ptrdiff_t>(size)));
        }
    }
}

TEST(BrokenImages, EveryOverwrittenHeaderByteStaysInside) {
    // Headers, section table and resource directories: everything the locators read offsets from.
    const std::vector<std::uint8_t> pe = test::MakePe(kBlock);
    const std::vector<std::uint8_t> elf = test::MakeElf(kBlock);
    for (const auto& [image, from, to] : {std::make_tuple(pe, std::size_t{0}, std::size_t{0x180}),
                                          std::make_tuple(pe, std::size_t{0x200}, std::size_t{0x200 + 88}),
                                          std::make_tuple(elf, std::size_t{0}, elf.size())}) {
        for (std::size_t at = from; at < to; ++at) {
            for (std::uint8_t value : {std::uint8_t{0x00}, std::uint8_t{0xFF}, std::uint8_t{0x80}}) {
                SCOPED_TRACE(testing::Message() << "byte " << at << " := " << int{value});
                std::vector<std::uint8_t> broken = image;
                broken[at] = value;
                ExpectLocatorsStayInside(broken);
            }
        }
    }
}

struct TypeRow {
    const char* name;
    std::vector<std::uint8_t> image;
    std::uint32_t type;
};

void PrintTo(const TypeRow& row, std::ostream* out) {
    *out << row.name;
}

std::vector<TypeRow> TypeRows() {
    test::PeOptions gui;
    gui.subsystem = 2;
    gui.subsystemMajor = 6;
    gui.subsystemMinor = 1;
    test::PeOptions dll64;
    dll64.is64 = true;
    dll64.isDll = true;
    dll64.subsystem = 2;
    test::ElfOptions program;
    program.type = 2;
    test::ElfOptions object;
    object.type = 1;
    return {
        {"pe_console_program", test::MakePe(kBlock), 0x00004550},
        {"pe_gui_program_6_1", test::MakePe(kBlock, gui), 0x06014550},
        {"pe32_plus_gui_dll_4_0", test::MakePe(kBlock, dll64), 0x04004550},
        {"dos_program", {'M', 'Z', 0x90, 0x00}, 0x5A4D},
        {"elf_position_independent", test::MakeElf({}), 0x457F},
        {"elf_fixed_address", test::MakeElf({}, program), 0x457F},
        {"elf_relocatable_object", test::MakeElf({}, object), 0},
        {"text", {'G', '9', '0', '\n'}, 0},
        {"one_byte", {'M'}, 0},
        {"empty", {}, 0},
    };
}

class ExecutableTypeTest : public ::testing::TestWithParam<TypeRow> {};

TEST_P(ExecutableTypeTest, FromTheFileContents) {
    EXPECT_EQ(ExecutableType(ByteView(GetParam().image)), GetParam().type);
    // The shell reports the same for the file, whatever its name.
    const std::string path = test::WriteTempFile(std::string(GetParam().name) + ".bin", GetParam().image);
    EXPECT_EQ(SHGetFileInfoA(path, 0, nullptr, 0, SHGFI_EXETYPE), GetParam().type);
}

INSTANTIATE_TEST_SUITE_P(Files, ExecutableTypeTest, ::testing::ValuesIn(TypeRows()), test::RowName());

TEST(ShellFileInfo, QueriesThatFail) {
    SHFILEINFOA info;
    const std::string pe = test::WriteTempFile("shell.exe", test::MakePe(kBlock));
    EXPECT_EQ(SHGetFileInfoA("/nonexistent/file.exe", 0, &info, sizeof info, SHGFI_TYPENAME), 0u);
    EXPECT_EQ(SHGetFileInfoA("/nonexistent/file.exe", 0, nullptr, 0, SHGFI_EXETYPE), 0u);
    EXPECT_EQ(SHGetFileInfoA("/tmp", 0, nullptr, 0, SHGFI_EXETYPE), 0u);
    // The executable type cannot be combined with other queries.
    EXPECT_EQ(SHGetFileInfoA(pe, 0, &info, sizeof info, SHGFI_EXETYPE | SHGFI_TYPENAME), 0u);
    EXPECT_EQ(SHGetFileInfoA(pe, 0, &info, 10, SHGFI_TYPENAME), 0u);
}

TEST(ShellFileInfo, FolderHasATypeNameButNoExecutableType) {
    SHFILEINFOA info;
    std::memset(info.szTypeName, 'x', sizeof info.szTypeName);
    ASSERT_NE(SHGetFileInfoA("/tmp", 0, &info, sizeof info, SHGFI_TYPENAME), 0u);
    EXPECT_STREQ(info.szTypeName, "folder");
}

} // namespace
} // namespace korvex::platform
