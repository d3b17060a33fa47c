#include "excellon/RackFile.h"

#include <cmath>
#include <system_error>

#include "platform/AtomicFile.h"
#include "platform/DecimalText.h"

namespace korvex::excellon {

namespace {

// A rack lists a dozen drills; a file far larger than this is the wrong file.
constexpr std::size_t kLargestRackFileBytes = std::size_t{1} << 20;

constexpr std::string_view kBlanks = " \t\r";

std::string_view Trimmed(std::string_view text) {
    const std::size_t first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

std::string Quoted(std::string_view text) {
    // A control character (a line break in a command-line argument) would break the one-line message.
    std::string quoted = "'";
    for (const char c : text) {
        quoted += static_cast<unsigned char>(c) < 0x20 || c == 0x7F ? '?' : c;
    }
    return quoted + "'";
}

// Two bits of one diameter would leave the second unused: the list is surely mistyped.
std::string Duplicate(const std::vector<RackBit>& bits, double diameter) {
    for (const RackBit& bit : bits) {
        if (bit.diameterMm == diameter) {
            return platform::ShortText(diameter) + " mm is listed twice";
        }
    }
    return {};
}

} // namespace

std::optional<double> ParseRackDiameter(std::string_view text) {
    const std::optional<double> value = platform::ReadDecimal(text);
    if (!value || !(*value > 0.0) || *value > kLargestRackMm) {
        return std::nullopt;
    }
    return value;
}

std::optional<double> ParseRackTolerance(std::string_view text) {
    const std::optional<double> value = platform::ReadDecimal(text);
    if (!value || !(*value >= 0.0) || *value > kLargestRackMm) {
        return std::nullopt;
    }
    return *value == 0.0 ? 0.0 : *value; // "-0" is no negative tolerance
}

std::string ParseDrillList(std::string_view text, std::vector<RackBit>& bits) {
    std::vector<RackBit> read;
    std::size_t item = 0;
    for (std::size_t start = 0;; ++item) {
        const std::size_t comma = text.find(',', start);
        const std::string_view piece =
            Trimmed(text.substr(start, comma == std::string_view::npos ? comma : comma - start));
        const std::optional<double> diameter = ParseRackDiameter(piece);
        if (!diameter) {
            return "--drills: item " + std::to_string(item + 1) + " (" + Quoted(piece) + ") is no diameter in mm";
        }
        if (const std::string duplicate = Duplicate(read, *diameter); !duplicate.empty()) {
            return "--drills: " + duplicate;
        }
        read.push_back(RackBit{*diameter, {}});
        if (comma == std::string_view::npos) {
            break;
        }
        start = comma + 1;
    }
    bits = std::move(read);
    return {};
}

std::string ParseRackText(std::string_view text, std::string_view name, std::vector<RackBit>& bits) {
    if (text.substr(0, 3) == "\xEF\xBB\xBF") {
        text.remove_prefix(3);
    }
    std::vector<RackBit> read;
    std::size_t number = 0;
    for (std::size_t start = 0; start <= text.size(); ++number) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        std::string_view line = text.substr(start, end - start);
        start = end + 1;
        line = Trimmed(line.substr(0, line.find('#')));
        if (line.empty()) {
            continue;
        }
        const std::string where = std::string(name) + ":" + std::to_string(number + 1) + ": ";
        const std::size_t blank = line.find_first_of(kBlanks);
        const std::string_view word = line.substr(0, blank);
        const std::optional<double> diameter = ParseRackDiameter(word);
        if (!diameter) {
            return where + Quoted(word) + " is no diameter in mm (0 to " + platform::ShortText(kLargestRackMm) + ")";
        }
        if (const std::string duplicate = Duplicate(read, *diameter); !duplicate.empty()) {
            return where + duplicate;
        }
        const std::string_view bitName =
            blank == std::string_view::npos ? std::string_view() : Trimmed(line.substr(blank));
        read.push_back(RackBit{*diameter, std::string(bitName)});
    }
    if (read.empty()) {
        return std::string(name) + ": no drills in the file (one diameter in mm a line)";
    }
    bits = std::move(read);
    return {};
}

std::string ReadRackFile(const std::string& path, std::vector<RackBit>& bits) {
    std::string text;
    if (const std::error_code error = platform::ReadWholeFile(path, text)) {
        return path + ": " + platform::SystemReason(error);
    }
    if (text.size() > kLargestRackFileBytes) {
        return path + ": larger than 1 MiB";
    }
    return ParseRackText(text, path, bits);
}

std::string RackText(const std::vector<RackBit>& bits) {
    std::string text;
    for (const RackBit& bit : bits) {
        text += platform::ExactText(bit.diameterMm);
        if (!bit.name.empty()) {
            text += ' ' + bit.name;
        }
        text += '\n';
    }
    return text;
}

} // namespace korvex::excellon
