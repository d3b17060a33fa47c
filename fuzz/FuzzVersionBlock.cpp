// The version-block parser on any bytes: the pure lookups on the block as given, and the Windows-style
// services on the same block stored in a small ELF file, as our own executables keep it. Input: one byte that
// sizes a lookup path, the path, one byte that sizes a cut buffer, then the block.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/FuzzSupport.h"
#include "fuzz/FuzzVersionQueries.h"
#include "platform/ByteView.h"
#include "platform/ExecutableImage.h"
#include "platform/VersionResource.h"

namespace {

using korvex::fuzz::Escaped;
using korvex::platform::ByteView;

void Put(std::vector<std::uint8_t>& out, std::size_t at, std::uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        out[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

// A 64-bit little-endian ELF shared object whose only sections are the names and the version section.
std::vector<std::uint8_t> ElfWith(ByteView section) {
    static const char kNames[] = "\0.shstrtab\0.korvex.version"; // offsets 1 and 11
    const std::size_t contentAt = 64;
    const std::size_t namesAt = contentAt + section.size;
    const std::size_t headersAt = (namesAt + sizeof kNames + 7) & ~std::size_t{7};
    std::vector<std::uint8_t> elf(headersAt + 3 * 64, 0);
    const std::uint8_t ident[] = {0x7F, 'E', 'L', 'F', 2, 1, 1};
    std::copy(std::begin(ident), std::end(ident), elf.begin());
    Put(elf, 16, 3, 2);  // ET_DYN
    Put(elf, 18, 62, 2); // x86-64
    Put(elf, 20, 1, 4);
    Put(elf, 40, headersAt, 8);
    Put(elf, 52, 64, 2);
    Put(elf, 58, 64, 2);
    Put(elf, 60, 3, 2);
    Put(elf, 62, 1, 2);
    std::copy(section.data, section.data + section.size, elf.begin() + static_cast<std::ptrdiff_t>(contentAt));
    std::copy(std::begin(kNames), std::end(kNames), elf.begin() + static_cast<std::ptrdiff_t>(namesAt));
    auto header = [&](std::size_t index, std::uint32_t name, std::size_t offset, std::size_t size) {
        const std::size_t at = headersAt + index * 64;
        Put(elf, at, name, 4);
        Put(elf, at + 4, name == 1 ? 3 : 1, 4); // SHT_STRTAB, SHT_PROGBITS
        Put(elf, at + 24, offset, 8);
        Put(elf, at + 32, size, 8);
        Put(elf, at + 48, 1, 8);
    };
    header(1, 1, namesAt, sizeof kNames);
    header(2, 11, contentAt, section.size);
    return elf;
}

void CheckValue(ByteView block, std::string_view path) {
    const auto value = korvex::platform::FindVersionValue(block, path);
    if (!value) {
        return;
    }
    const std::size_t bytes = value->isText ? value->length * 2 : value->length;
    KORVEX_FUZZ_CHECK(block.Holds(value->offset, bytes), "value of " + Escaped(path) + " outside the block");
    if (value->isText) {
        const std::string text = korvex::platform::VersionText(block, *value);
        KORVEX_FUZZ_CHECK(korvex::fuzz::IsValidUtf8(text), "text of " + Escaped(path) + " is no UTF-8");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) {
        return 0;
    }
    const std::size_t pathSize = std::min<std::size_t>(data[0] % 64, size - 2);
    const std::string path(reinterpret_cast<const char*>(data + 1), pathSize);
    const std::uint8_t cut = data[1 + pathSize];
    const ByteView block(data + 2 + pathSize, size - 2 - pathSize);

    const std::size_t length = korvex::platform::VersionBlockLength(block);
    KORVEX_FUZZ_CHECK(length <= block.size, "block longer than its bytes");
    CheckValue(block, path);
    CheckValue(block, "");
    CheckValue(block, "\\VarFileInfo\\Translation");
    korvex::platform::VS_FIXEDFILEINFO fixed;
    if (const auto root = korvex::platform::FindVersionValue(block, "\\")) {
        korvex::platform::DecodeFixedFileInfo(block.Sub(root->offset, root->length), fixed);
    }
    if (const auto translation = korvex::platform::FindVersionValue(block, "\\VarFileInfo\\Translation")) {
        std::uint16_t language = 0;
        std::uint16_t codePage = 0;
        if (!translation->isText && translation->length >= 4 && block.U16(translation->offset, language) &&
            block.U16(translation->offset + 2, codePage)) {
            char table[40];
            std::snprintf(table, sizeof table, "\\StringFileInfo\\%04X%04X\\", language, codePage);
            CheckValue(block, std::string(table) + "ProductName");
            CheckValue(block, std::string(table) + path);
        }
    }

    const std::vector<std::uint8_t> elf = ElfWith(block);
    KORVEX_FUZZ_CHECK(korvex::platform::FindElfVersionSection(ByteView(elf)).size == block.size,
                      "the version section was not found");
    korvex::fuzz::QueryBytes(elf.data(), elf.size(), path, cut);
    return 0;
}
