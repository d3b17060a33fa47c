// The converter's fast paths against the full algorithm they stand in for; any difference is a failure.
// Input: one byte choosing the check, then its data.
// - Even first byte, values: the next 8 bytes are a double; it and values made from it (its remainder below
//   10^5, the nearest tie of three decimals and the doubles either side; by bits 1-4 of the first byte width
//   5, negated, made subnormal, an extended neighbour that is no double) are formatted by RealToStr with and
//   without the fast path.
// - Odd first byte, files: it and the next byte choose the settings (first: bits 1-2 the increment, bits 3-5
//   the divisor, bit 7 line numbers off; second: bits 0-1 and 2-3 the X and Y offsets, bit 4 a metric start,
//   bit 5 a hole order (the writer holds every run of holes), bit 6 an observer of every hole (told in batches
//   on the fast side),
//   bit 7 a writer that offers rooms of at most 300 bytes in its buffer), the rest is the drill file. It is converted
//   with the fast paths and without them, and the two programs (or the two errors) must be the same bytes.
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <unistd.h>

#include "conversion/ConversionHost.h"
#include "conversion/ConversionState.h"
#include "conversion/Numbers.h"
#include "conversion/ProgramEmitter.h"
#include "conversion/RunConversion.h"
#include "conversion/RunObserver.h"
#include "fuzz/FuzzSupport.h"
#include "platform/DecimalSeparator.h"
#include "platform/TextFile.h"

namespace {

using korvex::conversion::ConversionHost;
using korvex::conversion::ConversionState;
using korvex::conversion::Extended;
using korvex::conversion::Field;
using korvex::conversion::HostMacro;

void CompareValue(Extended value, std::uint8_t width) {
    std::string fast;
    std::string full;
    korvex::conversion::AppendRealToStr(fast, width, 3, value);
    korvex::conversion::AppendRealToStrFull(full, width, 3, value);
    if (fast != full) {
        char text[64];
        std::snprintf(text, sizeof text, "%.21Lg", value);
        korvex::fuzz::Fail(__FILE__, __LINE__, "fast == full", std::string(text) + ": fast " + fast + ", full " + full);
    }
}

// The value, and its remainder below 10^5 with the tie of three decimals nearest to it and the doubles either
// side; the settings byte picks the width, the sign and an extended neighbour that is no double.
void CompareValues(std::uint8_t settings, const std::uint8_t* data, std::size_t size) {
    double d = 0;
    std::memcpy(&d, data, std::min(size, sizeof d));
    const std::uint8_t width = (settings & 2) != 0 ? 5 : 1;
    const double sign = (settings & 4) != 0 ? -1.0 : 1.0;
    CompareValue(sign * d, width);
    if ((settings & 8) != 0) {
        d *= 1e-310; // subnormal and tiny values
    }
    if (!std::isfinite(d)) {
        return;
    }
    const double below = std::fmod(d, 1e5);
    const double tie = (std::floor(below * 1000) + 0.5) / 1000;
    for (const double v : {below, tie, std::nextafter(tie, 0.0), std::nextafter(tie, 1e6)}) {
        CompareValue(sign * v, width);
    }
    if ((settings & 16) != 0) {
        const Extended extended = static_cast<Extended>(tie);
        CompareValue(extended + extended * 0x1p-60L, width);
    }
}

class StringWriter : public korvex::platform::TextLineWriter {
public:
    explicit StringWriter(std::string& text) : text_(text) {}
    void WriteLine(std::string_view line) override {
        text_.append(line);
        text_.append("\r\n");
    }
    void WriteLines(std::string_view lines) override { text_.append(lines); }
    void Close() override { text_.append("<closed>"); }

private:
    std::string& text_;
};

// Offers rooms in a buffer of its own, at most 300 bytes, so the lines written there cross its end often.
class RoomWriter : public StringWriter {
public:
    explicit RoomWriter(std::string& text) : StringWriter(text) {}
    char* Room(std::size_t size, std::size_t& available) override {
        if (size > sizeof room_) {
            return nullptr;
        }
        available = sizeof room_;
        return room_;
    }
    void Commit(std::size_t size) override { WriteLines(std::string_view(room_, size)); }

private:
    char room_[300];
};

// Notes every hole it is told about; batches and single holes must tell the same.
class WatchingObserver : public korvex::conversion::RunObserver {
public:
    void OnHole(ConversionState&, const korvex::conversion::HoleEvent& hole) override {
        char values[96];
        std::snprintf(values, sizeof values, " %a %a %d%d T%d;", hole.x, hole.y, hole.hasX, hole.hasY, hole.tool);
        seen_.append(hole.xWord).append("|").append(hole.yWord).append(values);
    }
    const std::string& Seen() const { return seen_; }

private:
    std::string seen_;
};

// Drills every run of holes that may be reordered backwards, so the writer holds holes from both paths.
class ReversingOrder : public korvex::conversion::HoleOrder {
public:
    std::vector<std::size_t> Order(const std::vector<korvex::conversion::HolePosition>& holes, bool fixed) override {
        std::vector<std::size_t> order(holes.size());
        for (std::size_t i = 0; i < order.size(); ++i) {
            order[i] = fixed ? i : order.size() - 1 - i;
        }
        return order;
    }
};

class MemoryHost : public ConversionHost {
public:
    MemoryHost(int fd, std::uint8_t first, std::uint8_t second, std::string& program)
        : fd_(fd), program_(program), rooms_((second & 0x80) != 0) {
        static const char* const kDivisors[] = {"1", "10", "1000", "0.001", "25.4", "1e-300", "3", "100"};
        static const char* const kOffsets[] = {"0", "-0", "1.5", "-1.7976931348623157e308"};
        divider_ = kDivisors[(first >> 3) & 7];
        xOffset_ = kOffsets[second & 3];
        yOffset_ = kOffsets[(second >> 2) & 3];
    }

    std::string FieldText(Field field) const override {
        switch (field) {
        case Field::InputFileName:
            return "board.drl";
        case Field::OutputFileName:
            return "board.cnc";
        case Field::XOffset:
            return xOffset_;
        case Field::YOffset:
            return yOffset_;
        case Field::ZOffset:
            return "0";
        case Field::ZUp:
            return "1";
        case Field::ZDown:
            return "2";
        case Field::Divisor:
            return divider_;
        }
        return {};
    }
    void SetDividerText(const std::string& text) override { divider_ = text; }
    bool SuppressLeadingZerosChecked() const override { return true; }
    std::vector<std::string> MacroLines(HostMacro macro) const override {
        return macro == HostMacro::Before ? std::vector<std::string>{"G00 Z30"}
                                          : std::vector<std::string>{"M06", "G00 Z20"};
    }
    void AppendLogLine(const std::string&) override {}
    std::string LogText() const override { return {}; }
    void SetLogText(const std::string&) override {}
    void ShowNumericalError(const std::string&) override {}
    std::unique_ptr<korvex::platform::TextLineReader> OpenInput(const std::string& name) override {
        ::lseek(fd_, 0, SEEK_SET);
        return korvex::platform::TextLineReader::FromDescriptor(fd_, name);
    }
    std::unique_ptr<korvex::platform::TextLineWriter> CreateOutput(const std::string&,
                                                                   const korvex::platform::TextLineReader&) override {
        if (rooms_) {
            return std::make_unique<RoomWriter>(program_);
        }
        return std::make_unique<StringWriter>(program_);
    }

private:
    int fd_;
    std::string& program_;
    bool rooms_;
    std::string divider_;
    std::string xOffset_;
    std::string yOffset_;
};

std::string Convert(int fd, std::uint8_t first, std::uint8_t second, bool fast) {
    korvex::conversion::EnableFastPaths(fast);
    std::string program;
    ConversionState state;
    state.LineNumbersOn = (first & 0x80) == 0;
    static const std::int32_t kIncrements[] = {1, 5, 50, INT_MAX - 2};
    state.LineNumberIncrement = kIncrements[(first >> 1) & 3];
    state.LineNumber = 0;
    ReversingOrder order;
    WatchingObserver watching;
    state.Order = (second & 0x20) != 0 ? &order : nullptr;
    state.Observer = (second & 0x40) != 0 ? &watching : nullptr;
    MemoryHost host(fd, first, second, program);
    try {
        korvex::conversion::RunConversion(state, host);
    } catch (const korvex::conversion::ConversionError& error) {
        program += std::string("<error>") + error.what();
    }
    program += "<line " + std::to_string(state.InputLine) + " " + std::to_string(state.FirstInchDecimalLine) + ">";
    program += watching.Seen();
    korvex::conversion::EnableFastPaths(true);
    return program;
}

void CompareFiles(const std::uint8_t* data, std::size_t size) {
    if (size < 2) {
        return;
    }
    const std::uint8_t first = data[0];
    const std::uint8_t second = data[1];
    std::string drill = (second & 0x10) != 0 ? "M71\n" : "";
    drill.append(reinterpret_cast<const char*>(data + 2), size - 2);
    const int fd = korvex::fuzz::MemoryFile(reinterpret_cast<const std::uint8_t*>(drill.data()), drill.size());
    if (fd < 0) {
        return;
    }
    const std::string fast = Convert(fd, first, second, true);
    const std::string full = Convert(fd, first, second, false);
    ::close(fd);
    if (fast != full) {
        std::size_t at = 0;
        while (at < fast.size() && at < full.size() && fast[at] == full[at]) {
            ++at;
        }
        const std::size_t from = at > 80 ? at - 80 : 0;
        korvex::fuzz::Fail(__FILE__, __LINE__, "fast == full",
                           "fast " + korvex::fuzz::Escaped(fast.substr(from, 200)) + "\nfull " +
                               korvex::fuzz::Escaped(full.substr(from, 200)));
    }
}

// How many inputs of each kind were compared, told at exit: the evidence of a long run.
struct Counts {
    std::uint64_t values = 0;
    std::uint64_t files = 0;
    ~Counts() {
        std::fprintf(stderr, "fast paths compared: %llu value inputs, %llu file inputs\n",
                     static_cast<unsigned long long>(values), static_cast<unsigned long long>(files));
    }
} counts;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    korvex::platform::SetDecimalSeparator('.');
    if ((data[0] & 1) == 0) {
        ++counts.values;
        CompareValues(data[0], data + 1, size - 1);
    } else {
        ++counts.files;
        CompareFiles(data, size);
    }
    return 0;
}
