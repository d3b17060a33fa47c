#include "tools/versiongen/VersionBlockWriter.h"

#include <stdexcept>

#include "platform/VersionResource.h"

namespace korvex::tools {

namespace {

void PutU16(std::vector<std::uint8_t>& out, std::size_t at, std::uint16_t value) {
    out[at] = static_cast<std::uint8_t>(value & 0xFF);
    out[at + 1] = static_cast<std::uint8_t>(value >> 8);
}

void AppendU16(std::vector<std::uint8_t>& out, std::uint16_t value) {
    out.push_back(static_cast<std::uint8_t>(value & 0xFF));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
}

void AppendU32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    AppendU16(out, static_cast<std::uint16_t>(value & 0xFFFF));
    AppendU16(out, static_cast<std::uint16_t>(value >> 16));
}

void PadTo4(std::vector<std::uint8_t>& out) {
    while (out.size() % 4 != 0) {
        out.push_back(0);
    }
}

// Appends the entry at a 32-bit boundary of `out`, which is the block written so far.
void AppendNode(std::vector<std::uint8_t>& out, const VersionNode& node) {
    PadTo4(out);
    const std::size_t start = out.size();
    AppendU16(out, 0); // wLength, filled in below
    AppendU16(out, node.valueLength);
    AppendU16(out, node.isText ? 1 : 0);
    for (char16_t unit : node.key) {
        AppendU16(out, static_cast<std::uint16_t>(unit));
    }
    AppendU16(out, 0);
    PadTo4(out);
    out.insert(out.end(), node.value.begin(), node.value.end());
    for (const VersionNode& child : node.children) {
        AppendNode(out, child);
    }
    const std::size_t length = out.size() - start;
    if (length > 0xFFFF) {
        throw std::length_error("version entry longer than 65535 bytes");
    }
    PutU16(out, start, static_cast<std::uint16_t>(length));
}

std::uint32_t High(const std::uint16_t (&version)[4]) {
    return std::uint32_t{version[0]} << 16 | version[1];
}
std::uint32_t Low(const std::uint16_t (&version)[4]) {
    return std::uint32_t{version[2]} << 16 | version[3];
}

} // namespace

VersionNode TextNode(const std::string& key, const std::string& text) {
    VersionNode node;
    node.key = platform::Utf8ToUtf16(key);
    node.isText = true;
    const std::u16string units = platform::Utf8ToUtf16(text);
    for (char16_t unit : units) {
        AppendU16(node.value, static_cast<std::uint16_t>(unit));
    }
    AppendU16(node.value, 0);
    node.valueLength = static_cast<std::uint16_t>(units.size() + 1);
    return node;
}

VersionNode WordsNode(const std::string& key, const std::vector<std::uint16_t>& words) {
    VersionNode node;
    node.key = platform::Utf8ToUtf16(key);
    for (std::uint16_t word : words) {
        AppendU16(node.value, word);
    }
    node.valueLength = static_cast<std::uint16_t>(node.value.size());
    return node;
}

VersionNode GroupNode(const std::string& key, std::vector<VersionNode> children) {
    VersionNode node;
    node.key = platform::Utf8ToUtf16(key);
    node.isText = true;
    node.children = std::move(children);
    return node;
}

std::vector<std::uint8_t> WriteVersionNode(const VersionNode& node) {
    std::vector<std::uint8_t> out;
    AppendNode(out, node);
    return out;
}

std::vector<std::uint8_t> FixedFileInfoBytes(const VersionDescription& d) {
    std::vector<std::uint8_t> fixed;
    for (std::uint32_t word : {platform::kFixedFileInfoSignature, std::uint32_t{0x00010000}, High(d.fileVersion),
                               Low(d.fileVersion), High(d.productVersion), Low(d.productVersion), d.fileFlagsMask,
                               d.fileFlags, d.fileOS, d.fileType, d.fileSubtype, std::uint32_t{0}, std::uint32_t{0}}) {
        AppendU32(fixed, word);
    }
    return fixed;
}

VersionNode BuildVersionTree(const VersionDescription& description) {
    VersionNode root;
    root.key = u"VS_VERSION_INFO";
    root.value = FixedFileInfoBytes(description);
    root.valueLength = static_cast<std::uint16_t>(root.value.size());

    if (!description.stringTables.empty()) {
        std::vector<VersionNode> tables;
        for (const VersionDescription::StringTable& table : description.stringTables) {
            std::vector<VersionNode> texts;
            for (const auto& [key, text] : table.values) {
                texts.push_back(TextNode(key, text));
            }
            tables.push_back(GroupNode(table.name, std::move(texts)));
        }
        root.children.push_back(GroupNode("StringFileInfo", std::move(tables)));
    }
    if (!description.vars.empty()) {
        std::vector<VersionNode> vars;
        for (const auto& [key, words] : description.vars) {
            vars.push_back(WordsNode(key, words));
        }
        root.children.push_back(GroupNode("VarFileInfo", std::move(vars)));
    }
    return root;
}

} // namespace korvex::tools
