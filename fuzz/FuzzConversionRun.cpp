// A whole drill file through the conversion run: the real line reader (on a file in memory), the tokenizer,
// the word interpreter and the number formatting, with the program going to a writer that only checks and
// counts. Input: one byte of settings, then the drill file. The settings byte: bit 0 line numbers on,
// bits 1-2 the increment (1, 5, 50, INT_MAX), bits 3-5 the divisor field, bit 5 also the decimal separator
// ("," when set), bit 6 a huge negative X offset, bit 7 empty tool-change blocks.
//
// Every input runs through both readings, the plain one and the Excellon one (alone and as a board job with
// the options ChooseBoard takes from the settings byte), so the seeds of either serve both. For the Excellon reading
// the same byte also chooses the fixed values: bits 1-2 the units (from the file, inch, mm, from the file), bits 3-4
// the zeros (from the file, LZ, TZ, from the file), bit 6 digits 3:5 instead of those of the file.
//
// Checked besides memory safety: a run either finishes or ends with a coordinate error (in the Excellon
// reading: an unreadable number or arc, naming its line, or a file without drill data; a field that is no
// number: the Numerical Error stop), nothing else; no written line holds a line break or Ctrl-Z; the
// program's size stays proportional to the drill file's; the same file with the same settings gives the same
// program twice.
#include <climits>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <unistd.h>

#include "conversion/ConversionHost.h"
#include "conversion/ConversionState.h"
#include "conversion/Numbers.h"
#include "conversion/RunConversion.h"
#include "excellon/DrillFileReport.h"
#include "fuzz/FuzzSupport.h"
#include "job/ConvertJob.h"
#include "platform/DecimalSeparator.h"
#include "platform/TextFile.h"

namespace {

using korvex::conversion::ConversionHost;
using korvex::conversion::Field;
using korvex::conversion::HostMacro;

struct ProgramDigest {
    std::uint64_t hash = 1469598103934665603ull;
    std::size_t bytes = 0;
    std::size_t lines = 0;
    bool closed = false;
};

class CheckingWriter : public korvex::platform::TextLineWriter {
public:
    explicit CheckingWriter(ProgramDigest& digest) : digest_(digest) {}
    void WriteLine(std::string_view text) override {
        KORVEX_FUZZ_CHECK(!digest_.closed, "a line after Close");
        for (char c : text) {
            KORVEX_FUZZ_CHECK(c != '\n' && c != '\r' && c != 0x1A, "line break inside " + korvex::fuzz::Escaped(text));
            digest_.hash = (digest_.hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
        }
        digest_.hash = (digest_.hash ^ 0x100) * 1099511628211ull;
        digest_.bytes += text.size() + 2;
        ++digest_.lines;
    }
    void Close() override { digest_.closed = true; }

private:
    ProgramDigest& digest_;
};

class MemoryHost : public ConversionHost {
public:
    MemoryHost(int fd, std::uint8_t flags, ProgramDigest& digest) : fd_(fd), flags_(flags), digest_(digest) {
        static const char* const kDivisors[] = {"1", "1000", "0.001", "1e-300", "0", "-2.5", "abc", " 1e300 "};
        divider_ = kDivisors[(flags >> 3) & 7];
    }

    std::string FieldText(Field field) const override {
        switch (field) {
        case Field::InputFileName:
            return "board.drl";
        case Field::OutputFileName:
            return "board.cnc";
        case Field::XOffset:
            return (flags_ & 0x40) != 0 ? "-1.7976931348623157e308" : "0";
        case Field::YOffset:
            return "2.5";
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
        if ((flags_ & 0x80) != 0) {
            return {};
        }
        return macro == HostMacro::Before ? std::vector<std::string>{"G00 Z30"}
                                          : std::vector<std::string>{"M06", "", "G00 Z20"};
    }
    void AppendLogLine(const std::string& line) override { log_ += line + "\n"; }
    std::string LogText() const override { return log_; }
    void SetLogText(const std::string& text) override { log_ = text; }
    void ShowNumericalError(const std::string&) override {}
    std::unique_ptr<korvex::platform::TextLineReader> OpenInput(const std::string& name) override {
        return korvex::platform::TextLineReader::FromDescriptor(fd_, name);
    }
    std::unique_ptr<korvex::platform::TextLineWriter> CreateOutput(const std::string&,
                                                                   const korvex::platform::TextLineReader&) override {
        return std::make_unique<CheckingWriter>(digest_);
    }

private:
    int fd_;
    std::uint8_t flags_;
    ProgramDigest& digest_;
    std::string divider_;
    std::string log_;
};

// Which reading a run uses: the plain one, the Excellon one, or the Excellon one as a board job.
enum class Reading { Plain, Excellon, Board };

// The board job's options from the same settings byte: the tools gathered (bit 0: in diameter order; bit 7:
// equal diameters kept apart), a rack with an end mill (bit 5), the back side mirrored about X or Y with
// alignment holes (bits 1-2), the origin moved (bits 3-4).
void ChooseBoard(std::uint8_t flags, korvex::excellon::BoardOptions& board) {
    using namespace korvex::excellon;
    board.gatherTools = true;
    board.toolOrder = (flags & 1) != 0 ? ToolOrder::Diameter : ToolOrder::File;
    board.keepTools = (flags & 0x80) != 0;
    if ((flags & 0x20) != 0) {
        board.rack.bits = {RackBit{0.3, ""}, RackBit{0.5, "carbide"}, RackBit{0.8, ""}, RackBit{1.0, ""}};
        board.rack.endMillMm = 0.8;
    }
    static const MirrorAxis kMirrors[] = {MirrorAxis::None, MirrorAxis::X, MirrorAxis::Y, MirrorAxis::X};
    board.placement.mirror = kMirrors[(flags >> 1) & 3];
    if (board.placement.mirror != MirrorAxis::None) {
        board.placement.alignmentHoleMm = 3.0;
    }
    static const BoardOrigin kOrigins[] = {BoardOrigin::File, BoardOrigin::LowerLeft, BoardOrigin::Center,
                                           BoardOrigin::File};
    board.placement.origin = kOrigins[(flags >> 3) & 3];
}

korvex::job::JobOptions ChooseReading(std::uint8_t flags, Reading reading) {
    const bool excellon = reading != Reading::Plain;
    using korvex::excellon::UnitsChoice;
    using korvex::excellon::ZerosChoice;
    korvex::job::JobOptions options;
    options.reading.excellon = excellon;
    static const UnitsChoice kUnits[] = {UnitsChoice::FromFile, UnitsChoice::Inch, UnitsChoice::Millimetre,
                                         UnitsChoice::FromFile};
    static const ZerosChoice kZeros[] = {ZerosChoice::FromFile, ZerosChoice::LZ, ZerosChoice::TZ,
                                         ZerosChoice::FromFile};
    options.reading.units = kUnits[(flags >> 1) & 3];
    options.reading.zeros = kZeros[(flags >> 3) & 3];
    if ((flags & 0x40) != 0) {
        options.reading.integerDigits = 3;
        options.reading.decimalDigits = 5;
    }
    if (reading == Reading::Board) {
        ChooseBoard(flags, options.board);
    }
    return options;
}

ProgramDigest Convert(const std::uint8_t* drill, std::size_t size, std::uint8_t flags, Reading reading) {
    const bool excellon = reading != Reading::Plain;
    ProgramDigest digest;
    const int fd = korvex::fuzz::MemoryFile(drill, size);
    if (fd < 0) {
        return digest;
    }
    korvex::conversion::ConversionState state;
    state.LineNumbersOn = (flags & 1) != 0;
    static const std::int32_t kIncrements[] = {1, 5, 50, INT_MAX};
    state.LineNumberIncrement = kIncrements[(flags >> 1) & 3];
    korvex::platform::SetDecimalSeparator((flags & 0x20) != 0 ? ',' : '.');
    MemoryHost host(fd, flags, digest);
    try {
        const auto outcome = korvex::job::ConvertJob(state, host, ChooseReading(flags, reading)).outcome;
        KORVEX_FUZZ_CHECK(outcome == korvex::conversion::RunOutcome::Finished, "the run ended early");
        KORVEX_FUZZ_CHECK(digest.closed, "a finished run did not close its program");
    } catch (const korvex::conversion::ConversionError& error) {
        const std::string message = error.what();
        const bool expected = message.rfind("Can not convert value ", 0) == 0 ||
                              message.rfind("Value out of range: ", 0) == 0 ||
                              // A field that is no number stops the run before it writes anything.
                              message.rfind("Numerical Error in ", 0) == 0 ||
                              (excellon &&
                               (message.rfind("Can not read ", 0) == 0 || message.rfind("Can not carry out ", 0) == 0 ||
                                message.rfind("An arc ", 0) == 0) &&
                               message.find(" line ") != std::string::npos && error.Line() > 0) ||
                              (excellon && message.rfind("no drill data in ", 0) == 0 && error.Line() == 0);
        KORVEX_FUZZ_CHECK(expected, korvex::fuzz::Escaped(message) + " (line " + std::to_string(error.Line()) +
                                        ", reading " + std::to_string(static_cast<int>(reading)) + ")");
        KORVEX_FUZZ_CHECK(!digest.closed, "a failed run closed its program");
    }
    KORVEX_FUZZ_CHECK(state.OutputFile == nullptr, "the state still points at the program");
    ::close(fd);
    return digest;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::uint8_t flags = data[0];
    for (const Reading reading : {Reading::Plain, Reading::Excellon, Reading::Board}) {
        const bool excellon = reading != Reading::Plain;
        const ProgramDigest first = Convert(data + 1, size - 1, flags, reading);
        // The banner and end lines, then at most a few lines per input character; a repeat code ("R9999X1",
        // at most four digits) writes up to 9999 holes from a line of eight characters.
        const std::size_t perCharacter = excellon ? 100000 : 200;
        KORVEX_FUZZ_CHECK(first.bytes <= 4096 + perCharacter * size,
                          "program of " + std::to_string(first.bytes) + " bytes from " + std::to_string(size));
        const ProgramDigest second = Convert(data + 1, size - 1, flags, reading);
        KORVEX_FUZZ_CHECK(first.hash == second.hash && first.lines == second.lines, "two runs differ");
    }
    return 0;
}
