#include "job/PlainReadingHazards.h"

#include <cctype>
#include <cmath>

namespace korvex::job {

namespace {

// Lines of a drill file are short; a pathological long line is judged by its start, which is where these
// codes stand, and never copied whole.
constexpr std::size_t kLookedAt = 256;

std::string UpperStart(std::string_view line) {
    std::string upper(line.substr(0, kLookedAt));
    for (char& c : upper) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return upper;
}

bool HasCode(std::string_view upper, std::string_view code) {
    for (std::size_t at = upper.find(code); at != std::string_view::npos; at = upper.find(code, at + 1)) {
        const std::size_t after = at + code.size();
        if (after >= upper.size() || !std::isdigit(static_cast<unsigned char>(upper[after]))) {
            return true;
        }
    }
    return false;
}

std::string Where(std::size_t line, const std::string& text) {
    std::string where = "first in input line " + std::to_string(line);
    if (!text.empty()) {
        where += ": " + text;
    }
    return where;
}

} // namespace

void PlainReadingHazards::Note(Sign& sign, std::string_view line, std::size_t number) {
    if (sign.line == 0) {
        sign.line = number;
        sign.text = std::string(line.substr(0, 60));
        while (!sign.text.empty() && std::isspace(static_cast<unsigned char>(sign.text.back()))) {
            sign.text.pop_back();
        }
    }
}

void PlainReadingHazards::OnLine(std::string_view line, std::size_t number) {
    const excellon::Source zerosBefore = hints_.zeros.source;
    const excellon::Source digitsBefore = hints_.digits.source;
    excellon::TakeLineHints(line.substr(0, kLookedAt), hints_);
    if (hints_.zeros.source != zerosBefore && hints_.zeros.value == excellon::Zeros::LZ) {
        Note(leadingZeros_, line, number);
    }
    if (hints_.digits.source != digitsBefore && hints_.digits.source == excellon::Source::Comment) {
        Note(formatComment_, line, number);
    }

    const std::string upper = UpperStart(line);
    const std::string_view code = std::string_view(upper).substr(0, upper.find(';'));
    if (code.size() >= 2 && code[0] == 'R' && std::isdigit(static_cast<unsigned char>(code[1]))) {
        Note(repeat_, line, number);
    }
    if (HasCode(code, "G91") || code == "ICI" || code.rfind("ICI,ON", 0) == 0) {
        Note(incremental_, line, number);
    }
    if (HasCode(code, "G93")) {
        Note(origin_, line, number);
    }
    if (HasCode(code, "G85")) {
        Note(slot_, line, number);
    }
    if (HasCode(code, "M15") || code.rfind("G00X", 0) == 0 || code.rfind("G00Y", 0) == 0 || code.rfind("G0X", 0) == 0 ||
        code.rfind("G0Y", 0) == 0) {
        Note(route_, line, number);
    }
}

std::vector<std::string> PlainReadingHazards::Causes(const conversion::ConversionState& state) const {
    std::vector<std::string> causes;
    if (leadingZeros_.line != 0) {
        causes.push_back("the file writes leading zeros and leaves out trailing ones, which no divisor reads right (" +
                         Where(leadingZeros_.line, leadingZeros_.text) + ")");
    }
    // A format comment beside a declared trailing-zero format is what a divisor can express.
    if (formatComment_.line != 0 && leadingZeros_.line == 0 && hints_.zeros.value != excellon::Zeros::TZ) {
        causes.push_back("a number format comment that no divisor expresses (" +
                         Where(formatComment_.line, formatComment_.text) + ")");
    }
    if (incremental_.line != 0) {
        causes.push_back("incremental coordinates are read as absolute ones (" +
                         Where(incremental_.line, incremental_.text) + ")");
    }
    if (state.FirstInchDecimalLine != 0 && std::fabs(state.Divisor - 0.001) > 1e-12) {
        causes.push_back("inch coordinates with a decimal point are read as thousandths of an inch (" +
                         Where(state.FirstInchDecimalLine, "") + ")");
    }
    if (repeat_.line != 0) {
        causes.push_back("repeat codes drill one hole at the step instead of the repeated holes (" +
                         Where(repeat_.line, repeat_.text) + ")");
    }
    if (origin_.line != 0) {
        causes.push_back("G93 sets a new origin but is drilled as a hole (" + Where(origin_.line, origin_.text) + ")");
    }
    if (slot_.line != 0) {
        causes.push_back("slots (G85) are drilled as holes at their end points (" + Where(slot_.line, slot_.text) +
                         ")");
    }
    if (route_.line != 0) {
        causes.push_back("routed paths (G00, M15) are drilled as holes at their points (" +
                         Where(route_.line, route_.text) + ")");
    }
    return causes;
}

} // namespace korvex::job
