// The version services: lookups in a block, the three Windows-style calls, and blocks that are cut or broken.

#include <algorithm>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/VersionResource.h"
#include "tests/version/TestImages.h"
#include "tools/versiongen/VersionBlockWriter.h"

namespace korvex::platform {
namespace {

using tools::VersionDescription;

VersionDescription SampleDescription() {
    VersionDescription d;
    d.fileVersion[0] = 1;
    d.fileVersion[1] = 1;
    d.fileVersion[3] = 1;
    d.productVersion[0] = 2;
    d.fileFlagsMask = 0x3F;
    d.fileOS = 4;
    d.fileType = 1;
    d.stringTables = {
        {"080704E4",
         {{"CompanyName", "Korvex developers"},
          {"InternalName", ""},
          {"Comments", "Gr\xC3\xBC\xC3\x9F"
                       "e \xE2\x80\x93 \xF0\x9F\x98\x80"},
          {"ProductName", "Korvex"}}},
        {"040904B0", {{"ProductName", "Other"}}},
    };
    d.vars = {{"Translation", {0x0807, 0x04E4, 0x0409, 0x04B0}}};
    return d;
}

// The offset of the entry whose key is `key` (its first occurrence).
std::size_t EntryOffset(const std::vector<std::uint8_t>& block, const std::string& key) {
    std::vector<std::uint8_t> pattern;
    for (char c : key) {
        pattern.push_back(static_cast<std::uint8_t>(c));
        pattern.push_back(0);
    }
    const auto found = std::search(block.begin(), block.end(), pattern.begin(), pattern.end());
    EXPECT_NE(found, block.end()) << key;
    return static_cast<std::size_t>(found - block.begin()) - 6;
}

void PutU16(std::vector<std::uint8_t>& block, std::size_t at, std::uint16_t value) {
    block[at] = static_cast<std::uint8_t>(value & 0xFF);
    block[at + 1] = static_cast<std::uint8_t>(value >> 8);
}

const char* const kPaths[] = {
    "",
    "\\",
    "\\VarFileInfo\\Translation",
    "\\StringFileInfo",
    "\\StringFileInfo\\080704E4\\CompanyName",
    "\\StringFileInfo\\080704E4\\InternalName",
    "\\StringFileInfo\\080704E4\\Comments",
    "\\StringFileInfo\\080704E4\\ProductName",
    "\\StringFileInfo\\040904B0\\ProductName",
};

// A found value must lie inside the block, and its text must be readable.
void ExpectLookupsStayInside(const std::vector<std::uint8_t>& bytes) {
    // A heap copy of exactly this size, so that a sanitizer build sees any read past the end.
    const std::unique_ptr<std::uint8_t[]> exact(new std::uint8_t[bytes.size() + (bytes.empty() ? 1 : 0)]);
    std::copy(bytes.begin(), bytes.end(), exact.get());
    const ByteView block(exact.get(), bytes.size());
    EXPECT_LE(VersionBlockLength(block), bytes.size());
    for (const char* path : kPaths) {
        const std::optional<VersionValue> value = FindVersionValue(block, path);
        if (!value) {
            continue;
        }
        const std::size_t bytesUsed = value->isText ? value->length * 2 : value->length;
        ASSERT_LE(value->offset + bytesUsed, bytes.size()) << path;
        if (value->isText) {
            EXPECT_LE(VersionText(block, *value).size(), value->length * 3) << path;
        }
        VS_FIXEDFILEINFO fixed;
        DecodeFixedFileInfo(block.Sub(value->offset, value->length), fixed);
    }
}

// ---- The Windows-style calls on a file ----

class VersionServicesTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        path_ = new std::string(
            test::WriteTempFile("services.exe", test::MakePe(tools::BuildVersionBlock(SampleDescription()))));
    }
    static void TearDownTestSuite() {
        delete path_;
        path_ = nullptr;
    }

    // A buffer filled as a caller of the services does: size first, then the block.
    std::vector<std::uint8_t> ReadBlock() {
        std::uint32_t handle = 99;
        const std::uint32_t size = GetFileVersionInfoSizeA(*path_, &handle);
        EXPECT_EQ(handle, 0u);
        std::vector<std::uint8_t> buffer(size);
        EXPECT_TRUE(GetFileVersionInfoA(*path_, handle, size, buffer.data()));
        return buffer;
    }

    static std::string* path_;
};

std::string* VersionServicesTest::path_ = nullptr;

struct TextRow {
    const char* name;
    const char* path;
    const char* text; // nullptr: not found
};

void PrintTo(const TextRow& row, std::ostream* out) {
    *out << row.name;
}

class VersionTextLookupTest : public VersionServicesTest, public ::testing::WithParamInterface<TextRow> {};

TEST_P(VersionTextLookupTest, FindsTextsOfAnyCaseAsEightBitText) {
    std::vector<std::uint8_t> buffer = ReadBlock();
    void* value = nullptr;
    std::uint32_t length = 0;
    const bool found = VerQueryValueA(buffer.data(), GetParam().path, &value, &length);
    ASSERT_EQ(found, GetParam().text != nullptr);
    if (found) {
        EXPECT_STREQ(static_cast<const char*>(value), GetParam().text);
        EXPECT_EQ(length, std::strlen(GetParam().text) + 1);
        const auto* at = static_cast<const std::uint8_t*>(value);
        EXPECT_TRUE(at >= buffer.data() && at + length <= buffer.data() + buffer.size());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Paths, VersionTextLookupTest,
    ::testing::Values(TextRow{"exact_case", "\\StringFileInfo\\080704E4\\CompanyName", "Korvex developers"},
                      TextRow{"other_case", "\\stringfileinfo\\080704e4\\COMPANYNAME", "Korvex developers"},
                      TextRow{"no_leading_backslash", "StringFileInfo\\080704E4\\ProductName", "Korvex"},
                      TextRow{"doubled_backslashes", "\\\\StringFileInfo\\\\080704E4\\ProductName\\", "Korvex"},
                      TextRow{"second_table", "\\StringFileInfo\\040904B0\\ProductName", "Other"},
                      TextRow{"empty_text", "\\StringFileInfo\\080704E4\\InternalName", ""},
                      TextRow{"non_ascii_text", "\\StringFileInfo\\080704E4\\Comments",
                              "Gr\xC3\xBC\xC3\x9F"
                              "e \xE2\x80\x93 \xF0\x9F\x98\x80"},
                      TextRow{"missing_key", "\\StringFileInfo\\080704E4\\LegalTrademarks", nullptr},
                      TextRow{"key_prefix_only", "\\StringFileInfo\\080704E4\\Company", nullptr},
                      TextRow{"key_longer", "\\StringFileInfo\\080704E4\\CompanyNames", nullptr},
                      TextRow{"missing_table", "\\StringFileInfo\\04070000\\ProductName", nullptr},
                      TextRow{"below_a_text", "\\StringFileInfo\\080704E4\\ProductName\\Korvex", nullptr}),
    test::RowName());

TEST_F(VersionServicesTest, RootPathsGiveTheFixedPart) {
    std::vector<std::uint8_t> buffer = ReadBlock();
    for (const char* path : {"", "\\", "\\\\"}) {
        void* value = nullptr;
        std::uint32_t length = 0;
        ASSERT_TRUE(VerQueryValueA(buffer.data(), path, &value, &length)) << path;
        ASSERT_EQ(length, kFixedFileInfoSize);
        VS_FIXEDFILEINFO fixed;
        ASSERT_TRUE(DecodeFixedFileInfo(ByteView(static_cast<const std::uint8_t*>(value), length), fixed));
        EXPECT_EQ(fixed.dwFileVersionMS, 0x00010001u);
        EXPECT_EQ(fixed.dwFileVersionLS, 0x00000001u);
        EXPECT_EQ(fixed.dwProductVersionMS, 0x00020000u);
        EXPECT_EQ(fixed.dwFileFlagsMask, 0x3Fu);
        EXPECT_EQ(fixed.dwFileOS, 4u);
        EXPECT_EQ(fixed.dwFileType, 1u);
    }
}

TEST_F(VersionServicesTest, TranslationIsTheListOfPairs) {
    std::vector<std::uint8_t> buffer = ReadBlock();
    void* value = nullptr;
    std::uint32_t length = 0;
    ASSERT_TRUE(VerQueryValueA(buffer.data(), "\\VarFileInfo\\Translation", &value, &length));
    const std::vector<std::uint8_t> expected = {0x07, 0x08, 0xE4, 0x04, 0x09, 0x04, 0xB0, 0x04};
    ASSERT_EQ(length, expected.size());
    EXPECT_EQ(std::memcmp(value, expected.data(), expected.size()), 0);
}

TEST_F(VersionServicesTest, SmallerBufferReceivesACutBlock) {
    const std::uint32_t size = GetFileVersionInfoSizeA(*path_, nullptr);
    // Room for the fixed part but not for the string tables behind it.
    for (std::uint32_t len : {size - 1, size / 2, 300u}) {
        std::vector<std::uint8_t> buffer(len);
        ASSERT_TRUE(GetFileVersionInfoA(*path_, 0, len, buffer.data())) << len;
        void* value = nullptr;
        std::uint32_t length = 0;
        EXPECT_TRUE(VerQueryValueA(buffer.data(), "\\", &value, &length)) << len;
        if (VerQueryValueA(buffer.data(), "\\StringFileInfo\\080704E4\\CompanyName", &value, &length)) {
            EXPECT_STREQ(static_cast<const char*>(value), "Korvex developers");
        }
    }
    std::vector<std::uint8_t> tiny(100);
    EXPECT_FALSE(GetFileVersionInfoA(*path_, 0, 100, tiny.data()));
}

TEST(VersionServicesFiles, FilesWithoutBlockGiveSizeZero) {
    const std::string text = test::WriteTempFile("plain.txt", {'a', 'b', '\n'});
    const std::string elf = test::WriteTempFile("no-section", test::MakeElf({}));
    test::PeOptions withoutResources;
    withoutResources.withResources = false;
    const std::string pe = test::WriteTempFile("no-resources.exe", test::MakePe({}, withoutResources));
    for (const std::string& path : {std::string("/nonexistent/korvex"), text, elf, pe, std::string("/tmp")}) {
        std::uint32_t handle = 7;
        EXPECT_EQ(GetFileVersionInfoSizeA(path, &handle), 0u) << path;
        EXPECT_EQ(handle, 0u);
        std::uint8_t buffer[512] = {};
        EXPECT_FALSE(GetFileVersionInfoA(path, 0, sizeof buffer, buffer)) << path;
    }
}

TEST(VersionServicesBlock, TextsNeedABufferOfGetFileVersionInfoA) {
    // A bare block has no room for 8-bit copies: texts are refused, binary values are served.
    std::vector<std::uint8_t> block = tools::BuildVersionBlock(SampleDescription());
    block.resize(block.size() * 3); // so that looking for the mark stays inside
    void* value = nullptr;
    std::uint32_t length = 0;
    EXPECT_FALSE(VerQueryValueA(block.data(), "\\StringFileInfo\\080704E4\\ProductName", &value, &length));
    EXPECT_TRUE(VerQueryValueA(block.data(), "\\VarFileInfo\\Translation", &value, &length));
    EXPECT_FALSE(VerQueryValueA(nullptr, "\\", &value, &length));
}

// ---- Texts ----

TEST(VersionText, UnpairedSurrogatesBecomeReplacementCharacters) {
    tools::VersionNode root = tools::BuildVersionTree(SampleDescription());
    tools::VersionNode odd = tools::TextNode("Odd", "");
    odd.value = {0x41, 0x00, 0x00, 0xD8, 0x42, 0x00, 0x00, 0xDC, 0x3D, 0xD8, 0x00, 0xDE, 0x00, 0x00};
    odd.valueLength = 7;
    root.children.push_back(tools::GroupNode("Extra", {odd}));
    const std::vector<std::uint8_t> block = tools::WriteVersionNode(root);
    const std::optional<VersionValue> value = FindVersionValue(ByteView(block), "\\Extra\\Odd");
    ASSERT_TRUE(value);
    EXPECT_EQ(VersionText(ByteView(block), *value), "A\xEF\xBF\xBD"
                                                    "B\xEF\xBF\xBD\xF0\x9F\x98\x80");
}

// ---- Broken blocks ----

struct BrokenRow {
    const char* name;
    void (*Break)(std::vector<std::uint8_t>& block);
    bool isBlock;            // VersionBlockLength > 0
    const char* companyName; // nullptr: not found
    bool translationFound;
    bool fixedPartFound;
};

void PrintTo(const BrokenRow& row, std::ostream* out) {
    *out << row.name;
}

class BrokenBlockTest : public ::testing::TestWithParam<BrokenRow> {};

TEST_P(BrokenBlockTest, YieldsWhatIsIntactAndNothingElse) {
    std::vector<std::uint8_t> block = tools::BuildVersionBlock(SampleDescription());
    GetParam().Break(block);
    ExpectLookupsStayInside(block);
    const ByteView view(block);
    EXPECT_EQ(VersionBlockLength(view) > 0, GetParam().isBlock);

    const std::optional<VersionValue> company = FindVersionValue(view, "\\StringFileInfo\\080704E4\\CompanyName");
    ASSERT_EQ(company.has_value(), GetParam().companyName != nullptr);
    if (company) {
        EXPECT_EQ(VersionText(view, *company), GetParam().companyName);
    }
    const std::optional<VersionValue> translation = FindVersionValue(view, "\\VarFileInfo\\Translation");
    EXPECT_EQ(translation && translation->length >= 4, GetParam().translationFound);
    const std::optional<VersionValue> root = FindVersionValue(view, "\\");
    VS_FIXEDFILEINFO fixed;
    EXPECT_EQ(root && DecodeFixedFileInfo(view.Sub(root->offset, root->length), fixed), GetParam().fixedPartFound);
}

INSTANTIATE_TEST_SUITE_P(
    Mutations, BrokenBlockTest,
    ::testing::Values(
        BrokenRow{"intact", [](std::vector<std::uint8_t>&) {}, true, "Korvex developers", true, true},
        BrokenRow{"root_length_zero", [](std::vector<std::uint8_t>& b) { PutU16(b, 0, 0); }, false, nullptr, false,
                  false},
        BrokenRow{"root_key_wrong", [](std::vector<std::uint8_t>& b) { b[6] = 'W'; }, false, nullptr, false, false},
        BrokenRow{"root_longer_than_data", [](std::vector<std::uint8_t>& b) { PutU16(b, 0, 0xFFFF); }, true,
                  "Korvex developers", true, true},
        BrokenRow{"root_cut_before_strings",
                  [](std::vector<std::uint8_t>& b) { b.resize(EntryOffset(b, "CompanyName") + 20); }, true, nullptr,
                  false, true},
        BrokenRow{"text_entry_longer_than_table",
                  [](std::vector<std::uint8_t>& b) { PutU16(b, EntryOffset(b, "CompanyName"), 0x7FFF); }, true,
                  nullptr, true, true},
        BrokenRow{"text_entry_shorter_than_header",
                  [](std::vector<std::uint8_t>& b) { PutU16(b, EntryOffset(b, "CompanyName"), 2); }, true, nullptr,
                  true, true},
        BrokenRow{"key_without_terminating_zero",
                  [](std::vector<std::uint8_t>& b) {
                      const std::size_t at = EntryOffset(b, "CompanyName");
                      const std::size_t end = at + (b[at] | b[at + 1] << 8);
                      std::fill(b.begin() + static_cast<std::ptrdiff_t>(at + 6),
                                b.begin() + static_cast<std::ptrdiff_t>(end), 0x41);
                  },
                  true, nullptr, true, true},
        BrokenRow{"text_length_beyond_entry",
                  [](std::vector<std::uint8_t>& b) {
                      const std::size_t at = EntryOffset(b, "CompanyName");
                      PutU16(b, at + 2, 0xFFFF);
                      const std::size_t end = at + (b[at] | b[at + 1] << 8);
                      b[end - 2] = 'X'; // the terminating zero
                  },
                  true, "Korvex developersX", true, true},
        BrokenRow{"string_table_length_zero",
                  [](std::vector<std::uint8_t>& b) { PutU16(b, EntryOffset(b, "080704E4"), 0); }, true, nullptr, true,
                  true},
        // The children are looked for behind the value's stated length, where there are none.
        BrokenRow{"fixed_part_short", [](std::vector<std::uint8_t>& b) { PutU16(b, 2, 40); }, true, nullptr, false,
                  false},
        BrokenRow{"fixed_part_signature_wrong", [](std::vector<std::uint8_t>& b) { b[40] = 0; }, true,
                  "Korvex developers", true, false},
        BrokenRow{"translation_value_short",
                  [](std::vector<std::uint8_t>& b) { PutU16(b, EntryOffset(b, "Translation") + 2, 2); }, true,
                  "Korvex developers", false, true}),
    test::RowName());

TEST(BrokenBlocks, EveryCutOfABlockStaysInside) {
    const std::vector<std::uint8_t> block = tools::BuildVersionBlock(SampleDescription());
    for (std::size_t size = 0; size <= block.size(); ++size) {
        SCOPED_TRACE(size);
        ExpectLookupsStayInside(
            std::vector<std::uint8_t>(block.begin(), block.begin() + static_cast<std::ptrdiff_t>(size)));
        if (size < 38) {
            EXPECT_EQ(VersionBlockLength(ByteView(block.data(), size)), 0u);
        }
    }
}

TEST(BrokenBlocks, EveryOverwrittenByteStaysInside) {
    const std::vector<std::uint8_t> block = tools::BuildVersionBlock(SampleDescription());
    for (std::size_t at = 0; at < block.size(); ++at) {
        for (std::uint8_t value : {std::uint8_t{0x00}, std::uint8_t{0xFF}, std::uint8_t{0x07}}) {
            SCOPED_TRACE(testing::Message() << "byte " << at << " := " << int{value});
            std::vector<std::uint8_t> broken = block;
            broken[at] = value;
            ExpectLookupsStayInside(broken);
        }
    }
}

} // namespace
} // namespace korvex::platform
