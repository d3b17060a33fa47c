// The INI reader and writer on any bytes: a key is written into the document and read back, and every other
// line of the document must stay as it was. Input: three bytes that size a section name, a key name and a
// value, then the name and value bytes, then the document.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/FuzzSupport.h"
#include "platform/IniFile.h"

namespace {

using korvex::fuzz::Escaped;
using korvex::platform::IniDocument;

struct Line {
    std::string_view content;
    std::string_view end; // "\r\n", "\n", "\r" or "" for a last line without one
};

std::vector<Line> Lines(std::string_view text) {
    std::vector<Line> lines;
    std::size_t begin = 0;
    while (begin < text.size()) {
        std::size_t end = begin;
        while (end < text.size() && text[end] != '\n' && text[end] != '\r') {
            ++end;
        }
        std::size_t next = end;
        if (next < text.size()) {
            next += text[next] == '\r' && next + 1 < text.size() && text[next + 1] == '\n' ? 2 : 1;
        }
        lines.push_back({text.substr(begin, end - begin), text.substr(end, next - end)});
        begin = next;
    }
    return lines;
}

// A plain section or key name from fuzz bytes: letters, digits and "_", at least one character.
std::string Name(std::string_view bytes) {
    static const char kAlphabet[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_";
    std::string name;
    for (char c : bytes) {
        name.push_back(kAlphabet[static_cast<unsigned char>(c) % (sizeof kAlphabet - 1)]);
    }
    return name.empty() ? "k" : name;
}

std::string SwapCase(std::string name) {
    for (char& c : name) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        } else if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return name;
}

// What reading gives back after writing `value`.
std::string ReadBack(std::string_view value) {
    std::string text(value.substr(0, IniDocument::kMaxValueLength));
    for (char& c : text) {
        c = c == '\r' || c == '\n' ? ' ' : c;
    }
    return text;
}

// Only the written key's line may change, and at most a section head and a key line may be added (after a
// last line that then gets its line end).
void CheckOtherLinesKept(const std::string& before, const std::string& after, const std::string& where) {
    const std::vector<Line> old = Lines(before);
    const std::vector<Line> now = Lines(after);
    KORVEX_FUZZ_CHECK(now.size() >= old.size() && now.size() <= old.size() + 2, "line count changed: " + where);
    auto same = [&](std::size_t o, std::size_t n) {
        if (old[o].content != now[n].content) {
            return false;
        }
        const bool lastGainsEnd = o + 1 == old.size() && old[o].end.empty() && now[n].end == "\r\n";
        return old[o].end == now[n].end || lastGainsEnd;
    };
    std::size_t prefix = 0;
    while (prefix < old.size() && same(prefix, prefix)) {
        ++prefix;
    }
    std::size_t suffix = 0;
    while (suffix < old.size() - prefix && same(old.size() - 1 - suffix, now.size() - 1 - suffix)) {
        ++suffix;
    }
    KORVEX_FUZZ_CHECK(old.size() - prefix - suffix <= 1, "more than the key's line changed: " + where);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3) {
        return 0;
    }
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::size_t sectionSize = static_cast<unsigned char>(bytes[0]) % 9;
    const std::size_t keySize = static_cast<unsigned char>(bytes[1]) % 9;
    // Mostly short values, sometimes longer than the 2047 characters that are read.
    const auto valueByte = static_cast<unsigned char>(bytes[2]);
    const std::size_t valueSize = valueByte < 0xF0 ? valueByte % 40 : (valueByte - 0xF0 + 1) * 300;
    std::string_view rest = bytes.substr(3);
    const std::string section = Name(rest.substr(0, sectionSize));
    rest.remove_prefix(std::min(rest.size(), sectionSize));
    const std::string key = Name(rest.substr(0, keySize));
    rest.remove_prefix(std::min(rest.size(), keySize));
    const std::string_view value = rest.substr(0, valueSize);
    rest.remove_prefix(std::min(rest.size(), valueSize));

    IniDocument document{std::string(rest)};
    const std::optional<std::string> present = document.Value(section, key);
    KORVEX_FUZZ_CHECK(document.Value(SwapCase(section), SwapCase(key)) == present, "case matters");
    if (present) {
        KORVEX_FUZZ_CHECK(present->size() <= IniDocument::kMaxValueLength, "value longer than read");
    }
    document.ReadInteger(section, key, 7);
    document.ReadBool(section, key, true);

    const std::string where = "[" + section + "] " + key + "=" + Escaped(value) + " into " + Escaped(rest);
    const std::string before = document.Text();
    document.WriteString(SwapCase(section), key, value);
    const std::string once = document.Text();
    KORVEX_FUZZ_CHECK(document.Value(section, key) == ReadBack(value),
                      "read back " + Escaped(document.ReadString(section, key, "<missing>")) + ": " + where);
    CheckOtherLinesKept(before, once, where);

    document.WriteString(section, key, value);
    KORVEX_FUZZ_CHECK(document.Text() == once, "writing the same value again changed the file");

    const auto number = static_cast<std::int32_t>(static_cast<std::uint32_t>(valueSize) * 2654435761u);
    document.WriteInteger(section, key + "_n", number);
    KORVEX_FUZZ_CHECK(document.ReadInteger(section, key + "_n", 0) == number, "integer lost: " + where);
    KORVEX_FUZZ_CHECK(document.Value(section, key) == ReadBack(value), "a new key changed another: " + where);
    return 0;
}
