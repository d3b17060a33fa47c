#include "conversion/ConvertLine.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <memory>
#include <optional>

#include "conversion/ConversionState.h"
#include "conversion/Numbers.h"
#include "conversion/RunObserver.h"
#include "platform/DecimalSeparator.h"
#include "platform/TextFile.h"

namespace korvex::conversion {

namespace {

// The tokenizer's character classes: letters are "A".."z" (with the six signs between the capitals and the
// small letters) and "%"; number characters are the digits, ".", "-" and "+"; blanks are 0x20 only.
enum CharClass : unsigned char { kOther, kBlank, kLetter, kNumber };

constexpr std::array<CharClass, 256> MakeClasses() {
    std::array<CharClass, 256> classes{};
    for (int c = 0x41; c <= 0x7A; ++c) {
        classes[static_cast<std::size_t>(c)] = kLetter;
    }
    classes['%'] = kLetter;
    for (int c = '0'; c <= '9'; ++c) {
        classes[static_cast<std::size_t>(c)] = kNumber;
    }
    classes['.'] = kNumber;
    classes['-'] = kNumber;
    classes['+'] = kNumber;
    classes[' '] = kBlank;
    return classes;
}

constexpr std::array<CharClass, 256> kClasses = MakeClasses();

CharClass ClassOf(char c) {
    return kClasses[static_cast<unsigned char>(c)];
}

char UpperFirst(std::string_view word) {
    const char c = word[0];
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// Collects every line that one drill line gives, each ending in CR LF, so they go to the output in one
// piece. Appending is inline: it is the converter's innermost loop.
class LineBlock {
public:
    void Clear() { size_ = 0; }
    bool Empty() const { return size_ == 0; }
    std::size_t Size() const { return size_; }
    std::string_view View() const { return std::string_view(data_.get(), size_); }

    void Append(std::string_view text) {
        Reserve(text.size());
        std::memcpy(data_.get() + size_, text.data(), text.size());
        size_ += text.size();
    }
    void Append(char c) {
        Reserve(1);
        data_[size_++] = c;
    }
    void EndLine() { Append(std::string_view("\r\n", 2)); }
    void AppendLineNumberPrefix(ConversionState& state) {
        Reserve(kMaxLineNumberPrefix);
        size_ += WriteLineNumberPrefix(data_.get() + size_, state);
    }

private:
    void Reserve(std::size_t more) {
        if (size_ + more > capacity_) {
            Grow(size_ + more);
        }
    }
    void Grow(std::size_t needed) {
        const std::size_t capacity = std::max<std::size_t>(needed, capacity_ * 2 + 256);
        std::unique_ptr<char[]> data(new char[capacity]);
        if (size_ > 0) {
            std::memcpy(data.get(), data_.get(), size_);
        }
        data_ = std::move(data);
        capacity_ = capacity;
    }

    std::unique_ptr<char[]> data_;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
};

constexpr std::size_t kHandOnSize = 1 << 16;

// Reused between lines so that converting a large file does not allocate per line.
struct LineBuffers {
    LineBlock out;
    std::string xText;
    std::string yText;
};

LineBuffers& Buffers() {
    thread_local LineBuffers buffers;
    return buffers;
}

void WriteNumbered(ConversionState& state, LineBlock& out, std::string_view text) {
    // Holes an observer holds back come from earlier lines: they are written, and take their line numbers,
    // before this line does.
    if (state.Observer != nullptr) {
        state.Observer->Flush(state, *state.OutputFile);
    }
    out.AppendLineNumberPrefix(state);
    out.Append(text);
    out.EndLine();
}

void WriteComment(LineBlock& out, std::string_view text, std::string_view suffix) {
    out.Append("; ");
    out.Append(text);
    out.Append(suffix);
    out.EndLine();
}

// X or Y: thousandths of an inch to millimetres when in inch mode, then divided and shifted. Each step is
// computed in extended precision and stored as a double.
double FormatCoordinate(ConversionState& state, std::string_view word, double offset, std::string& text) {
    double v = StrToReal(word.substr(1));
    if (state.InchMode && state.FirstInchDecimalLine == 0 && word.find('.') != std::string_view::npos) {
        state.FirstInchDecimalLine = state.InputLine;
    }
    if (state.InchMode) {
        v = static_cast<double>(static_cast<Extended>(v) * 25.4L / 1000.0L);
    }
    v = static_cast<double>(static_cast<Extended>(v) / static_cast<Extended>(state.Divisor) +
                            static_cast<Extended>(offset));
    if (!std::isfinite(v)) {
        // A program with INF in it would stop the machine mid-job, or worse: end the run as for a bad word.
        throw ConversionError(OutOfRangeMessage(word));
    }
    text.clear();
    text.push_back(UpperFirst(word));
    AppendRealToStr(text, 1, 3, v);
    return v;
}

// Writes the lines collected so far; holes an observer took are written first, as they came first.
void WriteCollected(ConversionState& state, LineBlock& out) {
    if (out.Empty()) {
        return;
    }
    if (state.Observer != nullptr) {
        state.Observer->Flush(state, *state.OutputFile);
    }
    state.OutputFile->WriteLines(out.View());
    out.Clear();
}

// The T word and every word after it on the line go into the comment; Z and B words set the tool's entry.
void DefineTool(ConversionState& state, std::string_view toolWord, WordScanner& rest, std::int32_t tool,
                LineBlock& out) {
    const bool known = ToolTable::Contains(tool);
    out.Append("; ");
    std::string_view word = toolWord;
    do {
        if (word.empty()) {
            continue;
        }
        const char letter = UpperFirst(word);
        if (known && letter == 'C' && state.Observer != nullptr) {
            const std::optional<double> diameter = ReadReal(word.substr(1)).value;
            if (diameter) {
                state.Observer->OnToolDiameter(tool, state.InchMode ? *diameter * 25.4 : *diameter);
            }
        } else if (known && letter == 'Z') {
            state.ToolTable[tool].ZDown = StoreZWord(word);
        } else if (known && letter == 'B') {
            std::string zWord("Z");
            zWord.append(word.substr(1));
            state.ToolTable[tool].ZUp = StoreZWord(zWord);
        }
        out.Append(word);
        out.Append("  ");
    } while (rest.Next(word));
    out.Append(" ; Tool-definition");
    out.EndLine();
}

void SelectTool(ConversionState& state, std::string_view word, std::int32_t tool, LineBlock& out) {
    const ToolZEntry& entry = ToolTable::Contains(tool) ? state.ToolTable[tool] : state.RunZ;
    state.CurrentZUp = entry.ZUp;
    state.CurrentZDown = entry.ZDown;
    state.CurrentTool = tool;
    for (const std::string& line : state.MacroBefore) {
        WriteNumbered(state, out, line);
    }
    WriteNumbered(state, out, word);
    for (const std::string& line : state.MacroAfter) {
        WriteNumbered(state, out, line);
    }
}

} // namespace

bool WordScanner::Next(std::string_view& word) {
    const std::size_t length = scanned_.size();
    // The first word is always taken from a non-empty line; later ones while characters are left.
    if (length == 0 || (started_ && p_ >= length)) {
        return false;
    }
    started_ = true;
    const std::size_t start = p_;
    while (p_ < length && ClassOf(scanned_[p_]) == kBlank) {
        ++p_;
    }
    const std::size_t wordStart = p_;
    while (p_ < length && ClassOf(scanned_[p_]) == kLetter) {
        ++p_;
    }
    while (p_ < length && ClassOf(scanned_[p_]) == kNumber) {
        ++p_;
    }
    word = scanned_.substr(wordStart, p_ - wordStart);
    if (p_ == start) {
        ++p_; // a character that starts no word
    }
    return true;
}

int SplitWords(std::string_view line, WordList& words) {
    words.count = 0;
    WordScanner scanner(line);
    std::string_view word;
    while (scanner.Next(word)) {
        if (static_cast<std::size_t>(words.count) < words.slots.size()) {
            words.slots[static_cast<std::size_t>(words.count)] = word;
        } else {
            words.slots.push_back(word);
        }
        ++words.count;
    }
    return words.count;
}

namespace {

void Interpret(ConversionState& state, LineBuffers& buffers, std::string_view line) {
    LineBlock& out = buffers.out;
    WordScanner scanner(line);
    bool xSeen = false;
    bool ySeen = false;
    double x = state.LastX;
    double y = state.LastY;

    std::string_view word;
    while (scanner.Next(word)) {
        // A line of many words can give a long program: hand it on in pieces, not all at the end.
        if (out.Size() > kHandOnSize) {
            WriteCollected(state, out);
        }
        if (word.empty()) {
            continue; // an unclassified character or trailing blanks: nothing to interpret
        }
        switch (UpperFirst(word)) {
        case '%':
            if (state.InHeader) {
                state.InHeader = false;
                out.Append(";% of Header Definition");
                out.EndLine();
            }
            break;
        case 'F':
        case 'S':
            if (state.InHeader) {
                WriteNumbered(state, out, word);
            }
            break;
        case 'M':
            if (word == "M72") {
                state.InchMode = true;
                WriteComment(out, word, " Attention tool diameter indicated in inches");
            } else if (word == "M71") {
                state.InchMode = false;
                WriteComment(out, word, "");
            } else if (word == "M48") {
                state.InHeader = true;
                WriteComment(out, word, "");
            } else if (word == "M95") {
                state.InHeader = false;
                WriteComment(out, word, "");
            } else if (word == "METRIC") {
                if (state.InHeader) {
                    state.InchMode = false;
                }
            } else {
                WriteNumbered(state, out, word);
            }
            break;
        case 'I':
            if (word == "INCH") {
                if (state.InHeader) {
                    state.InchMode = true;
                }
            } else {
                WriteComment(out, word, " not implemented");
            }
            break;
        case 'T': {
            const std::int32_t tool = StrToIntOrZero(word.substr(1));
            if (state.InHeader) {
                DefineTool(state, word, scanner, tool, out);
                return;
            }
            SelectTool(state, word, tool, out);
            break;
        }
        case 'X':
            x = FormatCoordinate(state, word, state.XOffset, buffers.xText);
            xSeen = true;
            break;
        case 'Y':
            y = FormatCoordinate(state, word, state.YOffset, buffers.yText);
            ySeen = true;
            break;
        default:
            WriteComment(out, word, " not implemented");
            break;
        }
    }

    if (!xSeen && !ySeen) {
        return;
    }
    state.LastX = x;
    state.LastY = y;
    if (state.Observer != nullptr) {
        WriteCollected(state, out);
        HoleEvent hole;
        hole.tool = state.CurrentTool;
        hole.x = x;
        hole.y = y;
        hole.hasX = xSeen;
        hole.hasY = ySeen;
        if (xSeen) {
            hole.xWord = buffers.xText;
        }
        if (ySeen) {
            hole.yWord = buffers.yText;
        }
        if (state.Observer->TakeHole(state, hole)) {
            return;
        }
        state.Observer->Flush(state, *state.OutputFile);
    }
    out.AppendLineNumberPrefix(state);
    out.Append("G00 ");
    out.Append(state.CurrentZUp);
    out.EndLine();

    out.AppendLineNumberPrefix(state);
    out.Append("G00 ");
    if (xSeen) {
        out.Append(buffers.xText);
    }
    if (xSeen && ySeen) {
        out.Append(' ');
    }
    if (ySeen) {
        out.Append(buffers.yText);
    }
    out.EndLine();

    out.AppendLineNumberPrefix(state);
    out.Append("G01 ");
    out.Append(state.CurrentZDown);
    out.EndLine();
}

} // namespace

void ConvertLine(ConversionState& state, std::string_view line) {
    LineBuffers& buffers = Buffers();
    buffers.out.Clear();
    try {
        Interpret(state, buffers, line);
    } catch (const ConversionError&) {
        // Lines of the words before the bad one stay written.
        WriteCollected(state, buffers.out);
        throw;
    }
    WriteCollected(state, buffers.out);
}

// ---------------------------------------------------------------------------------------------------------
// Coordinate lines

namespace {

constexpr std::size_t kHeldPiece = std::size_t{1} << 20;
// One hole's three lines at most: three line numbers, two Z words, two coordinates and the fixed text.
constexpr std::size_t kMaxCoordinateLine = 3 * kMaxLineNumberPrefix + 2 * 16 + 2 * 64 + 32;

constexpr double kPowersOfTen[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                   1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};

} // namespace

struct CoordinateLines::Coordinate {
    bool seen = false;
    double value = 0.0;
    bool point = false; // the word has a decimal point
    char text[64];      // "X12.500"
    std::size_t length = 0;
};

CoordinateLines::CoordinateLines(ConversionState& state)
    : state_(state),
      // The short number reading is the '.'-separated one; a ',' process reads through the full path.
      usable_(FastPathsEnabled() && platform::DecimalSeparator() == '.' && state.LineNumberIncrement > 0) {
    // Not filled: a small file touches only the pages it uses.
    held_.reset(new char[kHeldPiece + kMaxCoordinateLine]);
    std::uint32_t increment = static_cast<std::uint32_t>(state.LineNumberIncrement) % 100000u;
    for (std::size_t i = 5; i-- > 0;) {
        incrementDigits_[i] = static_cast<char>(increment % 10);
        increment /= 10;
    }
    while (incrementStart_ < 5 && incrementDigits_[incrementStart_] == 0) {
        ++incrementStart_;
    }
}

CoordinateLines::~CoordinateLines() = default;

// The word's number as StrToReal reads it with '.' for a separator (up to 15 digits: one exact division),
// then as FormatCoordinate computes and formats it. False for any number it leaves to the full path.
bool CoordinateLines::Read(std::string_view text, double offset, Coordinate& coordinate) const {
    std::size_t i = 1;
    const std::size_t n = text.size();
    const bool negative = i < n && text[i] == '-';
    if (i < n && (text[i] == '-' || text[i] == '+')) {
        ++i;
    }
    std::uint64_t mantissa = 0;
    const std::size_t intStart = i;
    while (i < n && text[i] >= '0' && text[i] <= '9') {
        mantissa = mantissa * 10 + static_cast<std::uint64_t>(text[i] - '0');
        ++i;
    }
    const std::size_t intEnd = i;
    std::size_t fracStart = i;
    const bool point = i < n && text[i] == '.';
    if (point) {
        fracStart = ++i;
        while (i < n && text[i] >= '0' && text[i] <= '9') {
            mantissa = mantissa * 10 + static_cast<std::uint64_t>(text[i] - '0');
            ++i;
        }
    }
    const std::size_t intDigits = intEnd - intStart;
    const std::size_t fracDigits = i - fracStart;
    if (i != n || intDigits + fracDigits == 0 || intDigits + fracDigits > 15) {
        return false;
    }
    double v = static_cast<double>(mantissa) / kPowersOfTen[fracDigits];
    v = negative ? -v : v;
    const double read = v;
    // Metric, divided by 1 and shifted by +0: the extended steps give the value back (a -0 becomes +0).
    const bool unchanged = !state_.InchMode && state_.Divisor == 1.0 && offset == 0.0 && !std::signbit(offset);
    if (unchanged) {
        v = v + 0.0;
    } else {
        if (state_.InchMode) {
            v = static_cast<double>(static_cast<Extended>(v) * 25.4L / 1000.0L);
        }
        v = static_cast<double>(static_cast<Extended>(v) / static_cast<Extended>(state_.Divisor) +
                                static_cast<Extended>(offset));
    }
    if (!std::isfinite(v)) {
        return false;
    }
    coordinate.seen = true;
    coordinate.value = v;
    coordinate.point = point;
    char* out = coordinate.text;
    *out++ = text[0];
    std::size_t significant = intStart;
    while (significant < intEnd && text[significant] == '0') {
        ++significant;
    }
    // In metric with divisor 1 and offset 0 a number of at most 5 integer and 3 decimal digits is written
    // as it reads: its nearest double lies far closer to it than half a thousandth.
    if (unchanged && intEnd - significant <= 5 && fracDigits <= 3 && !(negative && mantissa == 0) && read == v) {
        if (negative) {
            *out++ = '-';
        }
        if (significant == intEnd) {
            *out++ = '0';
        } else {
            std::memcpy(out, text.data() + significant, intEnd - significant);
            out += intEnd - significant;
        }
        *out++ = '.';
        std::memcpy(out, text.data() + fracStart, fracDigits);
        out += fracDigits;
        for (std::size_t pad = fracDigits; pad < 3; ++pad) {
            *out++ = '0';
        }
        coordinate.length = static_cast<std::size_t>(out - coordinate.text);
        return true;
    }
    const std::size_t length = WriteThreeDecimals(v, out);
    if (length == 0) {
        return false; // rare enough to leave to the full path
    }
    coordinate.length = length + 1;
    return true;
}

void CoordinateLines::AppendLineNumber(char*& p) {
    if (!state_.LineNumbersOn) {
        return;
    }
    if (!numberKnown_ || state_.LineNumber != numberFor_) {
        p += WriteLineNumberPrefix(p, state_);
        // The next number, when it is not negative, is kept as digits and advanced in place from now on.
        numberKnown_ = false;
        if (state_.LineNumber >= 0) {
            std::int32_t number = state_.LineNumber;
            for (std::size_t i = 5; i-- > 0;) {
                numberDigits_[i] = static_cast<char>('0' + number % 10);
                number /= 10;
            }
            numberFor_ = state_.LineNumber;
            numberKnown_ = true;
        }
        return;
    }
    *p++ = 'N';
    std::memcpy(p, numberDigits_, 5);
    p += 5;
    *p++ = ' ';
    const auto next = static_cast<std::int32_t>(static_cast<std::uint32_t>(state_.LineNumber) +
                                                static_cast<std::uint32_t>(state_.LineNumberIncrement));
    state_.LineNumber = next;
    if (next < 0) {
        numberKnown_ = false; // wrapped: negative numbers take the general path
        return;
    }
    int carry = 0;
    for (std::size_t i = 5; i-- > 0;) {
        if (carry == 0 && i < incrementStart_) {
            break; // nothing left to add
        }
        int digit = numberDigits_[i] - '0' + incrementDigits_[i] + carry;
        carry = digit >= 10 ? 1 : 0;
        digit -= carry * 10;
        numberDigits_[i] = static_cast<char>('0' + digit);
    }
    numberFor_ = next;
}

bool CoordinateLines::Take(std::string_view line) {
    const std::string& zUp = state_.CurrentZUp;
    const std::string& zDown = state_.CurrentZDown;
    if (!usable_ || line.empty() || zUp.size() + zDown.size() > kHeldPiece) {
        return false;
    }
    // "X<number>Y<number>", "X<number>" or "Y<number>", capitals, nothing else on the line.
    std::size_t ySplit = line.size();
    if (line[0] == 'X') {
        for (std::size_t i = 1; i < line.size(); ++i) {
            if (line[i] == 'Y') {
                ySplit = i;
                break;
            }
        }
    } else if (line[0] == 'Y') {
        ySplit = 0;
    } else {
        return false;
    }
    Coordinate x;
    Coordinate y;
    if (ySplit > 0 && !Read(line.substr(0, ySplit), state_.XOffset, x)) {
        return false;
    }
    if (ySplit < line.size() && !Read(line.substr(ySplit), state_.YOffset, y)) {
        return false;
    }

    if (state_.InchMode && state_.FirstInchDecimalLine == 0 && (x.point || y.point)) {
        state_.FirstInchDecimalLine = state_.InputLine;
    }
    const double xValue = x.seen ? x.value : state_.LastX;
    const double yValue = y.seen ? y.value : state_.LastY;
    state_.LastX = xValue;
    state_.LastY = yValue;
    if (state_.Observer != nullptr) {
        HoleEvent hole;
        hole.tool = state_.CurrentTool;
        hole.x = xValue;
        hole.y = yValue;
        hole.hasX = x.seen;
        hole.hasY = y.seen;
        hole.xWord = std::string_view(x.text, x.length);
        hole.yWord = std::string_view(y.text, y.length);
        if (state_.Observer->TakeHole(state_, hole)) {
            holesTaken_ = true;
            return true;
        }
        if (holesTaken_) {
            WriteHeld();
            state_.Observer->Flush(state_, *state_.OutputFile);
            holesTaken_ = false;
        }
    }

    if (size_ + zUp.size() + zDown.size() > kHeldPiece) { // the room left after the piece is for one hole
        WriteHeld();
    }
    char* const start = held_.get() + size_;
    char* p = start;
    AppendLineNumber(p);
    std::memcpy(p, "G00 ", 4);
    p += 4;
    std::memcpy(p, zUp.data(), zUp.size());
    p += zUp.size();
    std::memcpy(p, "\r\n", 2);
    p += 2;
    AppendLineNumber(p);
    std::memcpy(p, "G00 ", 4);
    p += 4;
    std::memcpy(p, x.text, x.length);
    p += x.length;
    if (x.seen && y.seen) {
        *p++ = ' ';
    }
    std::memcpy(p, y.text, y.length);
    p += y.length;
    std::memcpy(p, "\r\n", 2);
    p += 2;
    AppendLineNumber(p);
    std::memcpy(p, "G01 ", 4);
    p += 4;
    std::memcpy(p, zDown.data(), zDown.size());
    p += zDown.size();
    std::memcpy(p, "\r\n", 2);
    p += 2;
    size_ += static_cast<std::size_t>(p - start);
    if (size_ >= kHeldPiece) {
        WriteHeld();
    }
    return true;
}

void CoordinateLines::WriteHeld() {
    if (size_ == 0) {
        return;
    }
    const std::size_t size = size_;
    size_ = 0;
    state_.OutputFile->WriteLines(std::string_view(held_.get(), size));
}

void CoordinateLines::Flush() {
    WriteHeld();
    // What the caller does next may give the observer holes to hold.
    holesTaken_ = state_.Observer != nullptr;
}

} // namespace korvex::conversion
