#include "platform/VersionResource.h"

#include <cstring>
#include <vector>

#include "platform/AsciiText.h"
#include "platform/ExecutableImage.h"

namespace korvex::platform {

namespace {

constexpr std::uint16_t kTextType = 1;
constexpr char kRootKey[] = "VS_VERSION_INFO";
// Follows the block in a buffer of GetFileVersionInfoA; the 8-bit texts live behind it.
constexpr std::uint8_t kTextAreaMark[4] = {'K', 'V', 'A', '8'};

std::size_t Align4(std::size_t n) {
    return (n + 3) & ~std::size_t{3};
}

// One entry of the tree: header (wLength, wValueLength, wType), zero-terminated UTF-16 key, value, children;
// key end, value and each child start on a 32-bit boundary of the block.
struct Node {
    std::size_t end = 0;
    std::uint16_t valueLength = 0;
    std::uint16_t type = 0;
    std::size_t keyStart = 0;
    std::size_t keyUnits = 0; // without the terminating zero
    std::size_t valueStart = 0;
    std::size_t childrenStart = 0;
};

// Reads the entry at `start`. An entry that claims more than `limit` is rejected, except the root, which is
// cut to it (a cut block still yields what it holds).
bool ReadNode(ByteView block, std::size_t start, std::size_t limit, bool isRoot, Node& node) {
    std::uint16_t length = 0;
    if (start > limit || limit - start < 6 || !block.U16(start, length) || !block.U16(start + 2, node.valueLength) ||
        !block.U16(start + 4, node.type) || length < 6) {
        return false;
    }
    if (length > limit - start) {
        if (!isRoot) {
            return false;
        }
        length = static_cast<std::uint16_t>(limit - start);
    }
    node.end = start + length;
    node.keyStart = start + 6;
    std::size_t at = node.keyStart;
    for (;;) {
        std::uint16_t unit = 0;
        if (at + 2 > node.end || !block.U16(at, unit)) {
            return false; // no terminating zero inside the entry
        }
        if (unit == 0) {
            break;
        }
        at += 2;
    }
    node.keyUnits = (at - node.keyStart) / 2;
    node.valueStart = Align4(at + 2);
    if (node.valueStart > node.end) {
        node.valueStart = node.end;
    }
    const std::size_t valueBytes = node.type == kTextType ? std::size_t{node.valueLength} * 2 : node.valueLength;
    node.childrenStart = Align4(node.valueStart + valueBytes);
    return true;
}

std::uint16_t FoldAscii(std::uint16_t unit) {
    return unit >= 'a' && unit <= 'z' ? static_cast<std::uint16_t>(unit - 'a' + 'A') : unit;
}

bool KeyEquals(ByteView block, const Node& node, const std::u16string& key) {
    if (node.keyUnits != key.size()) {
        return false;
    }
    for (std::size_t i = 0; i < key.size(); ++i) {
        std::uint16_t unit = 0;
        block.U16(node.keyStart + 2 * i, unit);
        if (FoldAscii(unit) != FoldAscii(key[i])) {
            return false;
        }
    }
    return true;
}

bool FindChild(ByteView block, const Node& parent, const std::u16string& key, Node& child) {
    std::size_t at = parent.childrenStart;
    while (at < parent.end) {
        if (!ReadNode(block, at, parent.end, false, child)) {
            return false;
        }
        if (KeyEquals(block, child, key)) {
            return true;
        }
        at = Align4(child.end);
    }
    return false;
}

} // namespace

std::u16string Utf8ToUtf16(std::string_view text) {
    std::u16string out;
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        std::size_t extra = 0;
        char32_t code = 0;
        if (lead < 0x80) {
            code = lead;
        } else if (lead >= 0xC2 && lead < 0xE0) {
            extra = 1;
            code = lead & 0x1F;
        } else if (lead >= 0xE0 && lead < 0xF0) {
            extra = 2;
            code = lead & 0x0F;
        } else if (lead >= 0xF0 && lead < 0xF5) {
            extra = 3;
            code = lead & 0x07;
        } else {
            out.push_back(u'\uFFFD');
            ++i;
            continue;
        }
        std::size_t j = 1;
        for (; j <= extra && i + j < text.size(); ++j) {
            const auto next = static_cast<unsigned char>(text[i + j]);
            if ((next & 0xC0) != 0x80) {
                break;
            }
            code = code << 6 | (next & 0x3F);
        }
        const bool complete = j == extra + 1;
        const bool overlong = (extra == 2 && code < 0x800) || (extra == 3 && code < 0x10000);
        if (!complete || overlong || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
            out.push_back(u'\uFFFD');
            i += j;
            continue;
        }
        if (code >= 0x10000) {
            code -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (code >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (code & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(code));
        }
        i += j;
    }
    return out;
}

namespace {

void AppendUtf8(std::string& out, char32_t code) {
    if (code < 0x80) {
        out.push_back(static_cast<char>(code));
    } else if (code < 0x800) {
        out.push_back(static_cast<char>(0xC0 | code >> 6));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else if (code < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | code >> 12));
        out.push_back(static_cast<char>(0x80 | (code >> 6 & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | code >> 18));
        out.push_back(static_cast<char>(0x80 | (code >> 12 & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (code >> 6 & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    }
}

bool IsRootPath(std::string_view path) {
    return path.find_first_not_of('\\') == std::string_view::npos;
}

// The size of a GetFileVersionInfoA buffer for a block of `blockLength` bytes: the block, the mark, and
// room for every text in UTF-8 (at most three bytes per UTF-16 unit) at 3/2 of its offset in the block.
std::size_t BufferSizeFor(std::size_t blockLength) {
    const std::size_t aligned = Align4(blockLength);
    return aligned + sizeof kTextAreaMark + aligned / 2 * 3 + 4;
}

// `image` receives the block alone: only the parts of the file that lead to it are read.
std::size_t FileVersionBlock(const std::string& fileName, std::vector<std::uint8_t>& image, ByteView& block) {
    if (!ReadFileVersionBlock(fileName, image)) {
        return 0;
    }
    block = ByteView(image);
    return VersionBlockLength(block);
}

} // namespace

std::size_t VersionBlockLength(ByteView bytes) {
    Node root;
    if (!ReadNode(bytes, 0, bytes.size, true, root) || !KeyEquals(bytes, root, Utf8ToUtf16(kRootKey))) {
        return 0;
    }
    return root.end;
}

std::optional<VersionValue> FindVersionValue(ByteView block, std::string_view path) {
    Node node;
    if (VersionBlockLength(block) == 0 || !ReadNode(block, 0, block.size, true, node)) {
        return std::nullopt;
    }
    std::size_t at = 0;
    int depth = 0;
    bool inStringFileInfo = false;
    while (at < path.size()) {
        if (path[at] == '\\') {
            ++at;
            continue;
        }
        std::size_t next = path.find('\\', at);
        if (next == std::string_view::npos) {
            next = path.size();
        }
        const std::string_view name = path.substr(at, next - at);
        Node child;
        if (!FindChild(block, node, Utf8ToUtf16(name), child)) {
            return std::nullopt;
        }
        if (depth == 0) {
            inStringFileInfo = EqualsIgnoringAsciiCase(name, "StringFileInfo");
        }
        ++depth;
        node = child;
        at = next;
    }
    VersionValue value;
    value.offset = node.valueStart;
    // A value in a string table is text whatever its type word claims: a wrong type word must not turn its
    // UTF-16 bytes into a garbled 8-bit string.
    value.isText = node.type == kTextType || (inStringFileInfo && depth == 3);
    const std::size_t available = node.end - node.valueStart;
    const std::size_t wanted = value.isText ? std::size_t{node.valueLength} * 2 : node.valueLength;
    const std::size_t bytes = wanted < available ? wanted : available;
    value.length = value.isText ? bytes / 2 : bytes;
    return value;
}

std::string VersionText(ByteView block, const VersionValue& value) {
    std::string text;
    for (std::size_t i = 0; i < value.length; ++i) {
        std::uint16_t unit = 0;
        if (!block.U16(value.offset + 2 * i, unit) || unit == 0) {
            break;
        }
        char32_t code = unit;
        if (unit >= 0xD800 && unit < 0xDC00) {
            std::uint16_t low = 0;
            if (i + 1 < value.length && block.U16(value.offset + 2 * (i + 1), low) && low >= 0xDC00 && low < 0xE000) {
                code = 0x10000 + ((char32_t{unit} - 0xD800) << 10) + (low - 0xDC00);
                ++i;
            } else {
                code = 0xFFFD;
            }
        } else if (unit >= 0xDC00 && unit < 0xE000) {
            code = 0xFFFD;
        }
        AppendUtf8(text, code);
    }
    return text;
}

bool DecodeFixedFileInfo(ByteView bytes, VS_FIXEDFILEINFO& fixed) {
    std::uint32_t words[13] = {};
    for (std::size_t i = 0; i < 13; ++i) {
        if (!bytes.U32(4 * i, words[i])) {
            return false;
        }
    }
    if (words[0] != kFixedFileInfoSignature) {
        return false;
    }
    fixed = VS_FIXEDFILEINFO{words[0], words[1], words[2], words[3],  words[4],  words[5], words[6],
                             words[7], words[8], words[9], words[10], words[11], words[12]};
    return true;
}

std::uint32_t GetFileVersionInfoSizeA(const std::string& fileName, std::uint32_t* handle) {
    if (handle != nullptr) {
        *handle = 0;
    }
    std::vector<std::uint8_t> image;
    ByteView block;
    const std::size_t length = FileVersionBlock(fileName, image, block);
    return length == 0 ? 0 : static_cast<std::uint32_t>(BufferSizeFor(length));
}

bool GetFileVersionInfoA(const std::string& fileName, std::uint32_t /*handle*/, std::uint32_t len, void* data) {
    std::vector<std::uint8_t> image;
    ByteView block;
    std::size_t length = FileVersionBlock(fileName, image, block);
    if (length == 0 || data == nullptr) {
        return false;
    }
    if (BufferSizeFor(length) > len) {
        // Keep as much of the block as leaves room for its texts: 5/2 of the block plus the fixed 8 bytes.
        const std::size_t fitting = len < 8 ? 0 : (std::size_t{len} - 8) / 5 * 2 & ~std::size_t{3};
        length = fitting < length ? fitting : length;
        if (VersionBlockLength(block.Sub(0, length)) == 0) {
            return false;
        }
    }
    auto* out = static_cast<std::uint8_t*>(data);
    std::memcpy(out, block.data, length);
    out[0] = static_cast<std::uint8_t>(length & 0xFF);
    out[1] = static_cast<std::uint8_t>(length >> 8);
    std::memset(out + length, 0, BufferSizeFor(length) - length);
    std::memcpy(out + Align4(length), kTextAreaMark, sizeof kTextAreaMark);
    return true;
}

bool VerQueryValueA(void* block, const std::string& subBlock, void** buffer, std::uint32_t* len) {
    if (block == nullptr || buffer == nullptr) {
        return false;
    }
    auto* bytes = static_cast<std::uint8_t*>(block);
    const std::size_t length = std::size_t{bytes[0]} | std::size_t{bytes[1]} << 8;
    const ByteView view(bytes, length);
    const std::optional<VersionValue> value = FindVersionValue(view, subBlock);
    if (!value) {
        return false;
    }
    std::uint32_t resultLength = 0;
    if (IsRootPath(subBlock)) {
        VS_FIXEDFILEINFO fixed;
        if (!DecodeFixedFileInfo(view.Sub(value->offset, value->length), fixed)) {
            return false;
        }
        *buffer = bytes + value->offset;
        resultLength = static_cast<std::uint32_t>(kFixedFileInfoSize);
    } else if (!value->isText) {
        *buffer = bytes + value->offset;
        resultLength = static_cast<std::uint32_t>(value->length);
    } else {
        std::uint8_t* mark = bytes + Align4(length);
        if (std::memcmp(mark, kTextAreaMark, sizeof kTextAreaMark) != 0) {
            return false; // not a buffer of GetFileVersionInfoA: no room for 8-bit texts
        }
        // At most three UTF-8 bytes per UTF-16 unit, so the copy stays inside its share of the area.
        const std::string text = VersionText(view, *value);
        std::uint8_t* target = mark + sizeof kTextAreaMark + value->offset / 2 * 3;
        std::memcpy(target, text.data(), text.size());
        target[text.size()] = 0;
        *buffer = target;
        resultLength = static_cast<std::uint32_t>(text.size() + 1);
    }
    if (len != nullptr) {
        *len = resultLength;
    }
    return true;
}

} // namespace korvex::platform
