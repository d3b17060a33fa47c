#include <algorithm>
#include <cmath>
#include <cstring>

#include "conversion/ConversionState.h"
#include "conversion/Numbers.h"
#include "conversion/ProgramEmitter.h"
#include "conversion/RunObserver.h"
#include "conversion/fast/FastPaths.h"
#include "platform/DecimalSeparator.h"
#include "platform/TextFile.h"

namespace korvex::conversion {

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
      watchOnly_(state.Observer != nullptr),
      holding_((state.Order != nullptr || state.Cycle.kind != CycleKind::Plain) && state.Emitter != nullptr) {
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
// with '.' for a separator (up to kMaxShortDigits digits: ShortDecimal), then as FormatCoordinate computes and
// formats it. Returns where the word ends, the caller checks what follows; 0 for any number it leaves to the
// full path.
std::size_t CoordinateLines::Read(std::string_view line, std::size_t start, double offset, Coordinate& coordinate) {
    // Letter, sign, kMaxShortDigits digits and a point at most: a longer word is cut and ends where no word
    // can end.
    const std::size_t n = std::min(line.size(), start + kMaxShortDigits + 3);
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
    if (intDigits + fracDigits == 0 || intDigits + fracDigits > kMaxShortDigits) {
        return 0;
    }
    double v = ShortDecimal(mantissa, fracDigits);
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
        // The hole order holds every hole, and a canned cycle writes them its own way: the writer takes them all.
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
