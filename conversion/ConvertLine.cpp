#include "conversion/ConvertLine.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <memory>
#include <optional>

#include "conversion/ConversionState.h"
#include "conversion/Numbers.h"
#include "conversion/ProgramEmitter.h"
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

// Reused between lines so that converting a large file does not allocate per line.
struct LineBuffers {
    std::string xText;
    std::string yText;
};

LineBuffers& Buffers() {
    thread_local LineBuffers buffers;
    return buffers;
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
    text.clear();
    text.push_back(UpperFirst(word));
    AppendRealToStr(text, 1, 3, v);
    // A program with INF or an exponent in it would stop the machine mid-job, or worse: end the run as for a
    // bad word.
    if (!std::isfinite(v) || !IsPlainDecimal(std::string_view(text).substr(1))) {
        throw ConversionError(OutOfRangeMessage(word));
    }
    return v;
}

// The T word and every word after it on the line go into the comment; Z and B words set the tool's entry.
void DefineTool(ConversionState& state, ProgramEmitter& program, std::string_view toolWord, WordScanner& rest,
                std::int32_t tool) {
    const bool known = ToolTable::Contains(tool);
    std::string text;
    std::string_view word = toolWord;
    do {
        if (word.empty()) {
            continue;
        }
        const char letter = UpperFirst(word);
        if (known && letter == 'C' && state.Observer != nullptr) {
            const std::optional<double> diameter = ReadReal(word.substr(1)).value;
            if (diameter) {
                program.ToolDiameter(tool, state.InchMode ? *diameter * 25.4 : *diameter);
            }
        } else if (known && letter == 'Z') {
            state.ToolTable[tool].ZDown = StoreZWord(word);
        } else if (known && letter == 'B') {
            std::string zWord("Z");
            zWord.append(word.substr(1));
            state.ToolTable[tool].ZUp = StoreZWord(zWord);
        }
        text.append(word);
        text.append("  ");
    } while (rest.Next(word));
    program.Comment(text, " ; Tool-definition");
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

void Interpret(ConversionState& state, ProgramEmitter& program, LineBuffers& buffers, std::string_view line) {
    WordScanner scanner(line);
    bool xSeen = false;
    bool ySeen = false;
    double x = state.LastX;
    double y = state.LastY;

    std::string_view word;
    while (scanner.Next(word)) {
        if (word.empty()) {
            continue; // an unclassified character or trailing blanks: nothing to interpret
        }
        switch (UpperFirst(word)) {
        case '%':
            if (state.InHeader) {
                state.InHeader = false;
                program.Plain(";% of Header Definition");
            }
            break;
        case 'F':
        case 'S':
            if (state.InHeader) {
                program.Numbered(word);
            }
            break;
        case 'M':
            if (word == "M72") {
                state.InchMode = true;
                program.Comment(word, " Attention tool diameter indicated in inches");
            } else if (word == "M71") {
                state.InchMode = false;
                program.Comment(word);
            } else if (word == "M48") {
                state.InHeader = true;
                program.Comment(word);
            } else if (word == "M95") {
                state.InHeader = false;
                program.Comment(word);
            } else if (word == "METRIC") {
                if (state.InHeader) {
                    state.InchMode = false;
                }
            } else {
                program.Numbered(word);
            }
            break;
        case 'I':
            if (word == "INCH") {
                if (state.InHeader) {
                    state.InchMode = true;
                }
            } else {
                program.Comment(word, " not implemented");
            }
            break;
        case 'T': {
            const std::int32_t tool = StrToIntOrZero(word.substr(1));
            if (state.InHeader) {
                DefineTool(state, program, word, scanner, tool);
                return;
            }
            program.SelectTool(tool, word);
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
            program.Comment(word, " not implemented");
            break;
        }
    }

    if (!xSeen && !ySeen) {
        return;
    }
    state.LastX = x;
    state.LastY = y;
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
    program.Hole(hole);
}

} // namespace

void ConvertLine(ConversionState& state, std::string_view line) {
    ProgramEmitter& program = EmitterOf(state);
    program.BeginLines();
    try {
        Interpret(state, program, Buffers(), line);
    } catch (const ConversionError&) {
        // Lines of the words before the bad one stay written.
        program.EndLines();
        throw;
    } catch (...) {
        // A failed write ends the run; the writer only has to stop collecting.
        try {
            program.EndLines();
        } catch (...) {
        }
        throw;
    }
    program.EndLines();
}

// ---------------------------------------------------------------------------------------------------------
// Coordinate lines

namespace {

// Lines held for a writer that offers no room of its own are handed on in pieces of this size.
constexpr std::size_t kHeldPiece = std::size_t{1} << 16;
// Texts of up to kBlock bytes are copied as one whole block (the compiler inlines a fixed-size copy, where a
// copy of varying size is a library call); the buffers keep kBlock bytes of slack behind what they hold.
constexpr std::size_t kBlock = 32;
// One hole's three lines at most, without the two Z lines: three line numbers, two coordinates and the fixed
// text, and the slack of the block copies.
constexpr std::size_t kMaxCoordinateLine = 3 * kMaxLineNumberPrefix + 2 * 64 + 32 + kBlock;
// Watching observers get the holes in batches of this many.
constexpr std::size_t kWatchBatch = 256;

constexpr double kPowersOfTen[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                   1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};

// The line number "N12345 " lives in a 64-bit word as text, most significant byte first, so that adding the
// increment's digits carries from the last digit towards the first like a plain addition. Bytes 6..2 hold the
// five digits, byte 7 the "N", byte 1 the blank.
constexpr bool kLittleEndian = __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__;
constexpr std::uint64_t kDigitLanes = 0x00FFFFFFFFFF0000u;
constexpr std::uint64_t kDigitValues = 0x000F0F0F0F0F0000u;
constexpr std::uint64_t kLaneOnes = 0x0001010101010000u;

std::uint64_t DigitWord(std::uint32_t value) {
    std::uint64_t word = 0;
    for (int lane = 2; lane <= 6; ++lane) {
        word |= static_cast<std::uint64_t>(value % 10) << (8 * lane);
        value /= 10;
    }
    return word;
}

std::uint64_t TextOrder(std::uint64_t word) {
    return kLittleEndian ? __builtin_bswap64(word) : word;
}

// Copies `size` bytes from a source that has kBlock readable bytes; the destination has kBlock bytes of room.
char* PutBlock(char* p, const char* text, std::size_t size) {
    if (size <= kBlock) {
        std::memcpy(p, text, kBlock);
    } else {
        std::memcpy(p, text, size);
    }
    return p + size;
}

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
      usable_(FastPathsEnabled() && platform::DecimalSeparator() == '.' && state.LineNumberIncrement > 0),
      watchOnly_(state.Observer != nullptr), holding_(state.Order != nullptr && state.Emitter != nullptr) {
    incrementWord_ = DigitWord(static_cast<std::uint32_t>(state.LineNumberIncrement) % 100000u);
    if (watchOnly_) {
        watched_.reset(new HoleEvent[kWatchBatch]);
    }
    SetZLines();
}

CoordinateLines::~CoordinateLines() = default;

void CoordinateLines::ZLine::Set(std::string_view command, std::string_view z) {
    text.assign(command);
    text.append(z);
    text.append("\r\n");
    // Short lines also as a block of kBlock bytes, for the block copy.
    if (text.size() <= kBlock) {
        std::memset(block, 0, sizeof block);
        std::memcpy(block, text.data(), text.size());
    }
}

char* CoordinateLines::ZLine::Put(char* p) const {
    return PutBlock(p, text.size() <= kBlock ? block : text.data(), text.size());
}

void CoordinateLines::SetZLines() {
    up_.Set("G00 ", state_.CurrentZUp);
    down_.Set("G01 ", state_.CurrentZDown);
}

// The number of the word at `start` (its letter, then sign, digits, point and digits) as StrToReal reads it
// with '.' for a separator (up to 15 digits: one exact division), then as FormatCoordinate computes and
// formats it. Returns where the word ends, the caller checks what follows; 0 for any number it leaves to the
// full path.
std::size_t CoordinateLines::Read(std::string_view line, std::size_t start, double offset, Coordinate& coordinate) {
    // Letter, sign, 15 digits and a point at most: a longer word is cut and ends where no word can end.
    const std::size_t n = std::min(line.size(), start + 18);
    const char* s = line.data();
    // The text as written goes out as it is read; it is replaced where it cannot be copied.
    char* out = coordinate.text;
    *out++ = s[start];
    std::size_t i = start + 1;
    const bool negative = i < n && s[i] == '-';
    if (i < n && (s[i] == '-' || s[i] == '+')) {
        ++i;
    }
    if (negative) {
        *out++ = '-';
    }
    std::uint64_t mantissa = 0;
    const std::size_t intStart = i;
    const char* const significantStart = out;
    for (; i < n; ++i) {
        const auto digit = static_cast<unsigned>(s[i]) - '0';
        if (digit > 9) {
            break;
        }
        mantissa = mantissa * 10 + digit;
        if (mantissa != 0) {
            *out++ = s[i]; // leading zeros are not written
        }
    }
    const std::size_t intDigits = i - intStart;
    const auto significant = static_cast<std::size_t>(out - significantStart);
    if (significant == 0) {
        *out++ = '0';
    }
    *out++ = '.';
    const bool point = i < n && s[i] == '.';
    std::size_t fracDigits = 0;
    if (point) {
        const std::size_t fracStart = ++i;
        for (; i < n; ++i) {
            const auto digit = static_cast<unsigned>(s[i]) - '0';
            if (digit > 9) {
                break;
            }
            mantissa = mantissa * 10 + digit;
            *out++ = s[i];
        }
        fracDigits = i - fracStart;
    }
    if (intDigits + fracDigits == 0 || intDigits + fracDigits > 15) {
        return 0;
    }
    double v = static_cast<double>(mantissa);
    if (fracDigits > 0) {
        v /= kPowersOfTen[fracDigits];
    }
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
        return 0;
    }
    coordinate.seen = true;
    coordinate.value = v;
    coordinate.point = point;
    // In metric with divisor 1 and offset 0 a number of at most 5 integer and 3 decimal digits is written
    // as it reads: its nearest double lies far closer to it than half a thousandth.
    if (unchanged && significant <= 5 && fracDigits <= 3 && !(negative && mantissa == 0) && read == v) {
        std::memcpy(out, "000", 3);
        out += 3 - fracDigits;
        coordinate.length = static_cast<std::size_t>(out - coordinate.text);
        return i;
    }
    std::size_t length = WriteThreeDecimals(v, coordinate.text + 1);
    if (length == 0) {
        // Near a tie or large: the full algorithm decides the digits, as it would for the whole line.
        fullText_.clear();
        AppendRealToStrFull(fullText_, 1, 3, v);
        length = fullText_.size();
        // Texts longer than a block, and those no machine may get, are the full path's.
        if (length > kBlock - 1 || !IsPlainDecimal(fullText_)) {
            return 0;
        }
        std::memcpy(coordinate.text + 1, fullText_.data(), length);
    }
    coordinate.length = length + 1;
    return i;
}

void CoordinateLines::AppendLineNumber(char*& p) {
    if (!state_.LineNumbersOn) {
        return;
    }
    if (!numberKnown_ || state_.LineNumber != numberFor_) {
        p += WriteLineNumberPrefix(p, state_);
        // The next number, when it is not negative, is kept as text and advanced in place from now on.
        numberKnown_ = state_.LineNumber >= 0;
        if (numberKnown_) {
            numberWord_ =
                0x4E00000000002000u | (kLaneOnes * 0x30) | DigitWord(static_cast<std::uint32_t>(state_.LineNumber));
            numberFor_ = state_.LineNumber;
        }
        return;
    }
    const std::uint64_t text = TextOrder(numberWord_);
    std::memcpy(p, &text, 8); // "N12345 " and a byte the next text overwrites
    p += 7;
    const auto next = static_cast<std::int32_t>(static_cast<std::uint32_t>(state_.LineNumber) +
                                                static_cast<std::uint32_t>(state_.LineNumberIncrement));
    state_.LineNumber = next;
    numberFor_ = next;
    if (next < 0) {
        numberKnown_ = false; // wrapped: negative numbers take the general path
        return;
    }
    // Each digit lane gets digit + increment digit + 246: a lane of 10 or more overflows into the next one
    // (its carry) and keeps the digit less ten; the others lose the 246 again. The carry out of the first
    // digit drops, as the text keeps the last five digits.
    std::uint64_t sum = (numberWord_ & kDigitValues) + incrementWord_ + kLaneOnes * 0xF6;
    sum -= ((sum >> 7) & kLaneOnes) * 0xF6;
    numberWord_ = (numberWord_ & ~kDigitLanes) | (sum & kDigitLanes) | (kLaneOnes * 0x30);
}

void CoordinateLines::Room(std::size_t needed) {
    WriteHeld();
    std::size_t available = 0;
    char* room = state_.OutputFile->Room(needed, available);
    if (room != nullptr) {
        buffer_ = room;
        capacity_ = available;
        inWriter_ = true;
        return;
    }
    if (heldCapacity_ < kHeldPiece + needed) {
        // Not filled: a small file touches only the pages it uses.
        held_.reset(new char[kHeldPiece + needed]);
        heldCapacity_ = kHeldPiece + needed;
    }
    buffer_ = held_.get();
    capacity_ = heldCapacity_;
    inWriter_ = false;
}

bool CoordinateLines::Take(std::string_view line) {
    if (!usable_ || line.empty()) {
        return false;
    }
    // "X<number>Y<number>", "X<number>" or "Y<number>", capitals, nothing else on the line.
    Coordinate x;
    Coordinate y;
    std::size_t at = 0;
    if (line[0] == 'X') {
        at = Read(line, 0, state_.XOffset, x);
        if (at == 0) {
            return false;
        }
    }
    if (at < line.size()) {
        if (line[at] != 'Y') {
            return false;
        }
        at = Read(line, at, state_.YOffset, y);
        if (at != line.size()) {
            return false;
        }
    }

    if (state_.InchMode && state_.FirstInchDecimalLine == 0 && (x.point || y.point)) {
        state_.FirstInchDecimalLine = state_.InputLine;
    }
    const double xValue = x.seen ? x.value : state_.LastX;
    const double yValue = y.seen ? y.value : state_.LastY;
    state_.LastX = xValue;
    state_.LastY = yValue;
    if (holding_) {
        // The hole order holds every hole: the writer takes them all.
        HoleEvent hole;
        hole.tool = state_.CurrentTool;
        hole.x = xValue;
        hole.y = yValue;
        hole.hasX = x.seen;
        hole.hasY = y.seen;
        hole.xWord = std::string_view(x.text, x.length);
        hole.yWord = std::string_view(y.text, y.length);
        state_.Emitter->Hole(hole);
        return true;
    }

    if (zChanged_) {
        SetZLines();
        zChanged_ = false;
    }
    const std::size_t needed = kMaxCoordinateLine + up_.text.size() + down_.text.size();
    if (buffer_ == nullptr || capacity_ - size_ < needed) {
        Room(needed);
    }
    char* const start = buffer_ + size_;
    char* p = start;
    AppendLineNumber(p);
    p = up_.Put(p);
    AppendLineNumber(p);
    std::memcpy(p, "G00 ", 4);
    p += 4;
    char* const xText = p;
    if (x.seen) {
        p = PutBlock(p, x.text, x.length);
    }
    if (x.seen && y.seen) {
        *p++ = ' ';
    }
    char* const yText = p;
    if (y.seen) {
        p = PutBlock(p, y.text, y.length);
    }
    std::memcpy(p, "\r\n", 2);
    p += 2;
    AppendLineNumber(p);
    p = down_.Put(p);
    size_ += static_cast<std::size_t>(p - start);

    if (watchOnly_) {
        HoleEvent& hole = watched_[watchedCount_++];
        hole.tool = state_.CurrentTool;
        hole.x = xValue;
        hole.y = yValue;
        hole.hasX = x.seen;
        hole.hasY = y.seen;
        // The words as written, in the buffer, which stays as it is until the batch is handed on.
        hole.xWord = std::string_view(xText, x.length);
        hole.yWord = std::string_view(yText, y.length);
        if (watchedCount_ == kWatchBatch) {
            HandOnWatched();
        }
    }
    if (!inWriter_ && size_ >= kHeldPiece) {
        WriteHeld();
    }
    return true;
}

void CoordinateLines::HandOnWatched() {
    const std::size_t count = watchedCount_;
    watchedCount_ = 0;
    if (count > 0) {
        state_.Observer->WatchHoles(state_, watched_.get(), count);
    }
}

void CoordinateLines::WriteHeld() {
    HandOnWatched();
    if (buffer_ == nullptr) {
        return;
    }
    const std::size_t size = size_;
    const bool inWriter = inWriter_;
    // Whatever happens next, a room in the writer is gone with the next call on it.
    size_ = 0;
    buffer_ = nullptr;
    capacity_ = 0;
    if (inWriter) {
        state_.OutputFile->Commit(size);
    } else if (size > 0) {
        state_.OutputFile->WriteLines(std::string_view(held_.get(), size));
    }
}

void CoordinateLines::Flush() {
    WriteHeld();
    // What the caller does next may select another tool.
    zChanged_ = true;
}

} // namespace korvex::conversion
