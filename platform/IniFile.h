// INI text that people edit by hand: reading keys with defaults, and writing keys so that every other line of
// the file stays exactly as it was (comments, blank lines, unknown keys and sections, line ends).
//
// Reading:
// - A line "[name]" starts a section (blanks around the line and around the name do not count; text after
//   the "]" is ignored). A line "key=value" in a section holds a key. Lines whose first non-blank character
//   is ";" or "#", lines without "=", lines with an empty key and key lines before the first section are
//   kept but never read.
// - Section and key names are compared without regard to case (ASCII letters). When a section or a key
//   appears twice, the first one counts.
// - A value is the text after the first "=", without the blanks (spaces, tabs) around it and without one
//   pair of enclosing double or single quotes; at most 2047 characters of it are read.
// - A line ends at CR LF, LF or a lone CR. A UTF-8 byte-order mark before the first line is ignored.
// Writing:
// - A present key's line becomes "key=value" (the key spelled as written now) and keeps its line end.
// - A new key goes right after the last key line of its section (or after the section's head), a new
//   section at the end of the file; both with CR LF. A last line without a line end gets CR LF first.
// - A value that would not read back unchanged (blanks at either end, or enclosed in a pair of quotes) is
//   written between double quotes; CR and LF in a value are written as blanks, so a value can never
//   break the file's structure.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace korvex::platform {

// A whole number in decimal, or in hexadecimal after "0x", "0X" or "$", with an optional sign in front;
// at most 32 bits (hexadecimal up to FFFFFFFF, read as two's complement). Nothing else, not even blanks.
std::optional<std::int32_t> ParseIniInteger(std::string_view text);

class IniDocument {
public:
    static constexpr std::size_t kMaxValueLength = 2047;

    // An empty document: what a missing file reads as.
    IniDocument() = default;
    // Any bytes. Nothing is parsed in advance and nothing beyond the bytes is stored: every lookup and
    // every write is one pass over the text, so the cost stays proportional to the size.
    explicit IniDocument(std::string bytes) : text_(std::move(bytes)) {}

    // The value as read (trimmed, unquoted, cut), or nothing when the section or the key is missing.
    std::optional<std::string> Value(std::string_view section, std::string_view key) const;
    bool HasKey(std::string_view section, std::string_view key) const;

    std::string ReadString(std::string_view section, std::string_view key, std::string_view defaultValue) const;
    // A value that is no integer (ParseIniInteger) gives the default.
    std::int32_t ReadInteger(std::string_view section, std::string_view key, std::int32_t defaultValue) const;
    // Any integer other than 0 is true; a value that is no integer gives the default.
    bool ReadBool(std::string_view section, std::string_view key, bool defaultValue) const;

    // Section and key names are plain names: no line break, no "]" in a section's, no "=" in a key's.
    void WriteString(std::string_view section, std::string_view key, std::string_view value);
    void WriteInteger(std::string_view section, std::string_view key, std::int32_t value);
    void WriteBool(std::string_view section, std::string_view key, bool value);

    // The document's bytes: the original lines unchanged except where written.
    const std::string& Text() const { return text_; }

private:
    struct Span {
        std::size_t begin = 0; // first character of the line
        std::size_t end = 0;   // where its line end starts
        std::size_t next = 0;  // first character of the next line
    };
    struct Place;

    Span LineAt(std::size_t begin) const;
    Place Locate(std::string_view section, std::string_view key) const;

    std::string text_;
};

} // namespace korvex::platform
