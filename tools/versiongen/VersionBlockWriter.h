// Writes version blocks in the published layout: each entry is a header (wLength, wValueLength, wType), a
// zero-terminated UTF-16 key, its value and its children, with key end, value and children aligned to 32 bits.
// The build uses it for the program's own block; the tests use it to make blocks of every shape.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace korvex::tools {

struct VersionNode {
    std::u16string key;
    bool isText = false;             // wType 1 (text) or 0 (binary)
    std::vector<std::uint8_t> value; // as stored
    std::uint16_t valueLength = 0;   // wValueLength: UTF-16 units for text, bytes for binary
    std::vector<VersionNode> children;
};

// A text entry: UTF-8 `text` stored as UTF-16 with its terminating zero, counted in wValueLength.
VersionNode TextNode(const std::string& key, const std::string& text);
// A binary entry holding `words` as little-endian 16-bit values.
VersionNode WordsNode(const std::string& key, const std::vector<std::uint16_t>& words);
// A text-typed entry without a value that only groups children ("StringFileInfo", a string table).
VersionNode GroupNode(const std::string& key, std::vector<VersionNode> children);

// The entry and its children as bytes; wLength counts up to the end of the last child, without the padding
// that would follow it.
std::vector<std::uint8_t> WriteVersionNode(const VersionNode& node);

struct VersionDescription {
    std::uint16_t fileVersion[4] = {};
    std::uint16_t productVersion[4] = {};
    std::uint32_t fileFlagsMask = 0;
    std::uint32_t fileFlags = 0;
    std::uint32_t fileOS = 0;
    std::uint32_t fileType = 0;
    std::uint32_t fileSubtype = 0;

    struct StringTable {
        std::string name; // language and code page as eight hexadecimal digits, e.g. "080704E4"
        std::vector<std::pair<std::string, std::string>> values;
    };
    std::vector<StringTable> stringTables;
    // The values of "VarFileInfo", normally just "Translation" with language, code page pairs.
    std::vector<std::pair<std::string, std::vector<std::uint16_t>>> vars;
};

// The VS_VERSIONINFO tree: fixed part, then "StringFileInfo" and "VarFileInfo" when they have entries.
VersionNode BuildVersionTree(const VersionDescription& description);

// The stored VS_FIXEDFILEINFO of the description (52 bytes).
std::vector<std::uint8_t> FixedFileInfoBytes(const VersionDescription& description);

inline std::vector<std::uint8_t> BuildVersionBlock(const VersionDescription& description) {
    return WriteVersionNode(BuildVersionTree(description));
}

} // namespace korvex::tools
