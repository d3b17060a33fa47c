// What the About box does with a file, through the Windows-style version services: size, read into a buffer
// of exactly that size (and into a smaller one), then every lookup the version reader makes. Every pointer
// the services hand out must lie inside the buffer, and every text must be valid UTF-8.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <unistd.h>

#include "fuzz/FuzzSupport.h"
#include "platform/VersionResource.h"
#include "version/VersionInfo.h"

namespace korvex::fuzz {

inline bool IsValidUtf8(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        const auto c = static_cast<unsigned char>(text[i]);
        std::size_t extra = 0;
        std::uint32_t code = 0;
        if (c < 0x80) {
            ++i;
            continue;
        }
        if ((c & 0xE0) == 0xC0) {
            extra = 1;
            code = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            extra = 2;
            code = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            extra = 3;
            code = c & 0x07;
        } else {
            return false;
        }
        if (i + extra >= text.size()) {
            return false;
        }
        for (std::size_t k = 1; k <= extra; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80) {
                return false;
            }
            code = code << 6 | (next & 0x3F);
        }
        const std::uint32_t minimum = extra == 1 ? 0x80 : extra == 2 ? 0x800 : 0x10000;
        if (code < minimum || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
            return false;
        }
        i += extra + 1;
    }
    return true;
}

inline void CheckInside(const std::vector<std::uint8_t>& buffer, const void* pointer, std::uint32_t length,
                        const std::string& what) {
    const auto* p = static_cast<const std::uint8_t*>(pointer);
    KORVEX_FUZZ_CHECK(p >= buffer.data() && p <= buffer.data() + buffer.size() &&
                          length <= static_cast<std::size_t>(buffer.data() + buffer.size() - p),
                      what + " points outside the buffer");
}

inline void QueryBuffer(std::vector<std::uint8_t>& buffer, std::string_view extraPath) {
    static const char* const kKeys[] = {"CompanyName",    "FileDescription", "FileVersion",      "InternalName",
                                        "LegalCopyRight", "LegalTradeMarks", "OriginalFileName", "ProductName",
                                        "ProductVersion", "Comments",        "SpecialBuild",     "PrivateBuild"};
    // The block as the buffer holds it, for the same lookups through the pure functions.
    const platform::ByteView block(buffer.data(), std::min<std::size_t>(buffer.size(), buffer[0] | buffer[1] << 8));
    std::string table;
    if (const auto translation = platform::FindVersionValue(block, "\\VarFileInfo\\Translation")) {
        std::uint16_t language = 0;
        std::uint16_t codePage = 0;
        if (block.U16(translation->offset, language) && block.U16(translation->offset + 2, codePage) &&
            translation->length >= 4) {
            char path[40];
            std::snprintf(path, sizeof path, "\\StringFileInfo\\%04X%04X\\", language, codePage);
            table = path;
        }
    }
    for (const char* key : kKeys) {
        const std::string text = version::detail::QueryVersionString(buffer.data(), key);
        const auto value = table.empty() ? std::nullopt : platform::FindVersionValue(block, table + key);
        // A string-table value arrives as its UTF-8 text, whatever its type word says.
        if (value) {
            KORVEX_FUZZ_CHECK(value->isText, std::string(key) + " is no text value");
            std::string expected = platform::VersionText(block, *value);
            expected = expected.substr(0, expected.find('\0'));
            KORVEX_FUZZ_CHECK(text == expected,
                              std::string(key) + " is " + Escaped(text) + ", stored " + Escaped(expected));
            KORVEX_FUZZ_CHECK(IsValidUtf8(text), std::string(key) + " is no UTF-8: " + Escaped(text));
        }
    }
    platform::VS_FIXEDFILEINFO fixed;
    if (version::detail::QueryFixedFileInfo(buffer.data(), fixed)) {
        version::detail::DescribeFileType(fixed);
    }
    for (const std::string& path :
         {std::string(), std::string("\\"), std::string("\\VarFileInfo\\Translation"), std::string(extraPath)}) {
        void* value = nullptr;
        std::uint32_t length = 0;
        if (platform::VerQueryValueA(buffer.data(), path, &value, &length)) {
            CheckInside(buffer, value, length, Escaped(path));
        }
    }
}

// Runs the services on the file at `path` (a file in memory, named through /proc).
inline void QueryFile(const std::string& path, std::string_view extraPath, std::uint8_t cut) {
    std::uint32_t handle = 7;
    const std::uint32_t size = platform::GetFileVersionInfoSizeA(path, &handle);
    KORVEX_FUZZ_CHECK(handle == 0, "handle not cleared");
    if (size == 0) {
        return;
    }
    KORVEX_FUZZ_CHECK(size < (64u << 20), "absurd buffer size " + std::to_string(size));
    std::vector<std::uint8_t> buffer(size);
    if (platform::GetFileVersionInfoA(path, 0, size, buffer.data())) {
        QueryBuffer(buffer, extraPath);
    }
    // A buffer smaller than asked for gets a cut block.
    std::vector<std::uint8_t> smaller(static_cast<std::size_t>(size) * cut / 256);
    if (!smaller.empty() &&
        platform::GetFileVersionInfoA(path, 0, static_cast<std::uint32_t>(smaller.size()), smaller.data())) {
        QueryBuffer(smaller, extraPath);
    }
}

// Writes `bytes` to a file in memory and runs QueryFile on it.
inline void QueryBytes(const std::uint8_t* bytes, std::size_t size, std::string_view extraPath, std::uint8_t cut) {
    const int fd = MemoryFile(bytes, size);
    if (fd < 0) {
        return;
    }
    QueryFile("/proc/self/fd/" + std::to_string(fd), extraPath, cut);
    ::close(fd);
}

} // namespace korvex::fuzz
