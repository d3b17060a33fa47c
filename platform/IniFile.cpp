#include "platform/IniFile.h"

#include <cstring>
#include <limits>

#include "platform/AsciiText.h"

namespace korvex::platform {

namespace {

constexpr std::string_view kNewLine = "\r\n";
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && IsBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

bool IsQuote(char c) {
    return c == '"' || c == '\'';
}

// What one line is: a section head with its name, a key line with its name and raw value, or neither.
struct LineMeaning {
    enum class Kind { Other, Section, Key } kind = Kind::Other;
    std::string_view name;
    std::string_view rawValue;
};

LineMeaning Understand(std::string_view line) {
    LineMeaning meaning;
    const std::string_view text = Trim(line);
    if (text.empty() || text.front() == ';' || text.front() == '#') {
        return meaning;
    }
    if (text.front() == '[') {
        const auto close = text.find(']');
        if (close != std::string_view::npos) {
            meaning.kind = LineMeaning::Kind::Section;
            meaning.name = Trim(text.substr(1, close - 1));
        }
        return meaning;
    }
    const auto equals = text.find('=');
    if (equals == std::string_view::npos) {
        return meaning;
    }
    meaning.name = Trim(text.substr(0, equals));
    if (!meaning.name.empty()) {
        meaning.kind = LineMeaning::Kind::Key;
        meaning.rawValue = text.substr(equals + 1);
    }
    return meaning;
}

std::string ReadValue(std::string_view raw) {
    std::string_view value = Trim(raw);
    if (value.size() >= 2 && IsQuote(value.front()) && value.back() == value.front()) {
        value = value.substr(1, value.size() - 2);
    }
    return std::string(value.substr(0, IniDocument::kMaxValueLength));
}

// The text to put after "=" so that reading gives `value` back (as far as the length limit allows).
std::string WrittenValue(std::string_view value) {
    std::string text(value);
    for (char& c : text) {
        if (c == '\r' || c == '\n') {
            c = ' ';
        }
    }
    const bool trimmedAway = !text.empty() && (IsBlank(text.front()) || IsBlank(text.back()));
    const bool unquotedAway = text.size() >= 2 && IsQuote(text.front()) && text.back() == text.front();
    return trimmedAway || unquotedAway ? "\"" + text + "\"" : text;
}

std::optional<std::uint32_t> ParseDigits(std::string_view digits, unsigned base) {
    if (digits.empty()) {
        return std::nullopt;
    }
    std::uint64_t value = 0;
    for (char c : digits) {
        unsigned digit = 0;
        if (c >= '0' && c <= '9') {
            digit = static_cast<unsigned>(c - '0');
        } else if (base == 16 && LowerAscii(c) >= 'a' && LowerAscii(c) <= 'f') {
            digit = static_cast<unsigned>(LowerAscii(c) - 'a' + 10);
        } else {
            return std::nullopt;
        }
        value = value * base + digit;
        if (value > std::numeric_limits<std::uint32_t>::max()) {
            return std::nullopt;
        }
    }
    return static_cast<std::uint32_t>(value);
}

} // namespace

std::optional<std::int32_t> ParseIniInteger(std::string_view text) {
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    std::uint32_t magnitude = 0;
    if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        const auto hex = ParseDigits(text.substr(2), 16);
        if (!hex) {
            return std::nullopt;
        }
        magnitude = *hex;
    } else if (!text.empty() && text.front() == '$') {
        const auto hex = ParseDigits(text.substr(1), 16);
        if (!hex) {
            return std::nullopt;
        }
        magnitude = *hex;
    } else {
        const auto decimal = ParseDigits(text, 10);
        const std::uint32_t limit = negative ? 0x80000000u : 0x7FFFFFFFu;
        if (!decimal || *decimal > limit) {
            return std::nullopt;
        }
        magnitude = *decimal;
    }
    // Two's complement: hexadecimal FFFFFFFF is -1, and the negation of 80000000 is itself.
    const std::uint32_t bits = negative ? 0u - magnitude : magnitude;
    return static_cast<std::int32_t>(bits);
}

// Where a key is, or would go.
struct IniDocument::Place {
    std::optional<Span> section; // the first head of the section
    std::optional<Span> key;     // the first line of the key in that section
    std::string_view rawValue;   // of that line
    Span insertAfter;            // the section's last key line, or its head
};

IniDocument::Span IniDocument::LineAt(std::size_t begin) const {
    Span span;
    span.begin = begin;
    // memchr twice (LF, then CR before it) is much faster than a character loop on big files.
    const char* const data = text_.data();
    const auto* lf = static_cast<const char*>(std::memchr(data + begin, '\n', text_.size() - begin));
    const std::size_t lfAt = lf ? static_cast<std::size_t>(lf - data) : text_.size();
    const auto* cr = static_cast<const char*>(std::memchr(data + begin, '\r', lfAt - begin));
    span.end = cr ? static_cast<std::size_t>(cr - data) : lfAt;
    if (span.end == text_.size()) {
        span.next = text_.size();
    } else if (text_[span.end] == '\r' && span.end + 1 < text_.size() && text_[span.end + 1] == '\n') {
        span.next = span.end + 2;
    } else {
        span.next = span.end + 1;
    }
    return span;
}

IniDocument::Place IniDocument::Locate(std::string_view section, std::string_view key) const {
    Place place;
    std::size_t begin = text_.compare(0, kByteOrderMark.size(), kByteOrderMark) == 0 ? kByteOrderMark.size() : 0;
    while (begin < text_.size()) {
        const Span line = LineAt(begin);
        begin = line.next;
        const LineMeaning meaning = Understand(std::string_view(text_).substr(line.begin, line.end - line.begin));
        if (meaning.kind == LineMeaning::Kind::Section) {
            if (place.section) {
                break; // the end of our section
            }
            if (EqualsIgnoringAsciiCase(meaning.name, section)) {
                place.section = line;
                place.insertAfter = line;
            }
        } else if (meaning.kind == LineMeaning::Kind::Key && place.section) {
            place.insertAfter = line;
            if (!place.key && EqualsIgnoringAsciiCase(meaning.name, key)) {
                place.key = line;
                place.rawValue = meaning.rawValue;
            }
        }
    }
    return place;
}

std::optional<std::string> IniDocument::Value(std::string_view section, std::string_view key) const {
    const Place place = Locate(section, key);
    if (!place.key) {
        return std::nullopt;
    }
    return ReadValue(place.rawValue);
}

bool IniDocument::HasKey(std::string_view section, std::string_view key) const {
    return Locate(section, key).key.has_value();
}

std::string IniDocument::ReadString(std::string_view section, std::string_view key,
                                    std::string_view defaultValue) const {
    auto value = Value(section, key);
    return value ? std::move(*value) : std::string(defaultValue);
}

std::int32_t IniDocument::ReadInteger(std::string_view section, std::string_view key, std::int32_t defaultValue) const {
    const auto value = Value(section, key);
    const auto number = value ? ParseIniInteger(*value) : std::nullopt;
    return number.value_or(defaultValue);
}

bool IniDocument::ReadBool(std::string_view section, std::string_view key, bool defaultValue) const {
    return ReadInteger(section, key, defaultValue ? 1 : 0) != 0;
}

void IniDocument::WriteString(std::string_view section, std::string_view key, std::string_view value) {
    std::string keyLine(key);
    keyLine += '=';
    keyLine += WrittenValue(value);
    const Place place = Locate(section, key);
    if (place.key) {
        text_.replace(place.key->begin, place.key->end - place.key->begin, keyLine);
        return;
    }
    keyLine += kNewLine;
    if (place.section) {
        const Span after = place.insertAfter;
        if (after.end == after.next) { // the file's last line, without a line end
            keyLine.insert(0, kNewLine);
        }
        text_.insert(after.next, keyLine);
        return;
    }
    if (!text_.empty() && text_.back() != '\n' && text_.back() != '\r') {
        text_ += kNewLine;
    }
    text_ += '[';
    text_ += section;
    text_ += ']';
    text_ += kNewLine;
    text_ += keyLine;
}

void IniDocument::WriteInteger(std::string_view section, std::string_view key, std::int32_t value) {
    WriteString(section, key, std::to_string(value));
}

void IniDocument::WriteBool(std::string_view section, std::string_view key, bool value) {
    WriteString(section, key, value ? "1" : "0");
}

} // namespace korvex::platform
