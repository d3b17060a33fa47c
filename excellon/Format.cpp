#include "excellon/Format.h"

#include <cctype>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace korvex::excellon {

namespace {

std::string Upper(std::string_view text) {
    std::string upper(text);
    for (char& c : upper) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return upper;
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) {
        text.remove_prefix(1);
    }
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) {
        text.remove_suffix(1);
    }
    return text;
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

std::vector<std::string_view> Split(std::string_view text, char separator) {
    std::vector<std::string_view> parts;
    for (;;) {
        const std::size_t at = text.find(separator);
        parts.push_back(Trim(text.substr(0, at)));
        if (at == std::string_view::npos) {
            return parts;
        }
        text.remove_prefix(at + 1);
    }
}

// "3:3", "2.4": one or two digits on each side of the separator, nothing else.
std::optional<Digits> ReadDigitPair(std::string_view text) {
    text = Trim(text);
    const std::size_t at = text.find_first_of(":.");
    if (at == std::string_view::npos || at == 0 || at > 2 || text.size() - at - 1 == 0 || text.size() - at - 1 > 2) {
        return std::nullopt;
    }
    Digits digits;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (i == at) {
            continue;
        }
        if (!IsDigit(text[i])) {
            return std::nullopt;
        }
        int& side = i < at ? digits.integer : digits.decimal;
        side = side * 10 + (text[i] - '0');
    }
    if (digits.integer + digits.decimal == 0) {
        return std::nullopt;
    }
    return digits;
}

// "000.000": the digits an Excellon header shows by example.
std::optional<Digits> ReadDigitPattern(std::string_view text) {
    const std::size_t point = text.find('.');
    if (point == std::string_view::npos || text.find_first_not_of("0.") != std::string_view::npos ||
        text.find('.', point + 1) != std::string_view::npos) {
        return std::nullopt;
    }
    Digits digits{static_cast<int>(point), static_cast<int>(text.size() - point - 1)};
    if (digits.integer + digits.decimal == 0) {
        return std::nullopt;
    }
    return digits;
}

// The words of a format comment after its digits, each tool with its own words for the zeros: `tzWord` means
// the file leaves out leading zeros (Excellon TZ), `lzWord` trailing ones (LZ).
struct FormatWords {
    std::string_view tzWord;
    std::string_view lzWord;
    bool mmIsMetric; // whether "MM" stands for millimetres as "METRIC" does
};

void TakeFormatComment(std::string_view text, const FormatWords& words, Format& format) {
    const std::vector<std::string_view> parts = Split(text, '/');
    if (const std::optional<Digits> digits = ReadDigitPair(parts[0])) {
        format.digits.Set(*digits, Source::Comment);
    }
    for (std::size_t i = 1; i < parts.size(); ++i) {
        const std::string_view part = parts[i];
        if (part == "ABSOLUTE") {
            format.incremental.Set(false, Source::Comment);
        } else if (part == "INCREMENTAL") {
            format.incremental.Set(true, Source::Comment);
        } else if (part == "METRIC" || (words.mmIsMetric && part == "MM")) {
            format.units.Set(Units::Millimetre, Source::Comment);
        } else if (part == "INCH") {
            format.units.Set(Units::Inch, Source::Comment);
        } else if (part == words.tzWord) {
            format.zeros.Set(Zeros::TZ, Source::Comment);
        } else if (part == words.lzWord) {
            format.zeros.Set(Zeros::LZ, Source::Comment);
        }
    }
}

// ";FORMAT={3:3/ absolute / metric / suppress trailing zeros}", "{-:-/ absolute / inch / decimal}".
void TakeBraceFormat(std::string_view inside, Format& format) {
    TakeFormatComment(inside, {"SUPPRESS LEADING ZEROS", "SUPPRESS TRAILING ZEROS", false}, format);
}

// "; Format : 2.4 / Absolute / Inch / Trailing". This tool names the zeros it leaves out, which is the
// opposite of Excellon's words: "Trailing" is a file that writes its leading zeros (LZ).
void TakeColonFormat(std::string_view afterColon, Format& format) {
    TakeFormatComment(afterColon, {"LEADING", "TRAILING", true}, format);
}

void TakeCommentHints(std::string_view comment, Format& format) {
    const std::string upper = Upper(comment);
    const std::string_view text = upper;
    if (const std::size_t at = text.find("FILE_FORMAT="); at != std::string_view::npos) {
        if (const std::optional<Digits> digits = ReadDigitPair(text.substr(at + 12))) {
            format.digits.Set(*digits, Source::Comment);
        }
        return;
    }
    if (const std::size_t at = text.find("FORMAT={"); at != std::string_view::npos) {
        const std::size_t end = text.find('}', at);
        if (end != std::string_view::npos) {
            TakeBraceFormat(text.substr(at + 8, end - at - 8), format);
        }
        return;
    }
    const std::string_view trimmed = Trim(text);
    if (StartsWith(trimmed, "FORMAT")) {
        const std::string_view rest = Trim(trimmed.substr(6));
        if (!rest.empty() && rest.front() == ':') {
            TakeColonFormat(rest.substr(1), format);
        }
    }
}

// "INCH", "METRIC,LZ", "METRIC,TZ,000.000", "INCH,0000.00", and the same suffixes after M71 (metric) or M72
// (inch), as some tools write their header: "M71,TZ", "M72,LZ", "M71,LZ,000.000".
void TakeUnitsWord(std::string_view text, Format& format) {
    const std::vector<std::string_view> parts = Split(text, ',');
    format.units.Set(parts[0] == "INCH" || parts[0] == "M72" ? Units::Inch : Units::Millimetre, Source::Header);
    for (std::size_t i = 1; i < parts.size(); ++i) {
        if (parts[i] == "LZ") {
            format.zeros.Set(Zeros::LZ, Source::Header);
        } else if (parts[i] == "TZ") {
            format.zeros.Set(Zeros::TZ, Source::Header);
        } else if (const std::optional<Digits> digits = ReadDigitPattern(parts[i])) {
            format.digits.Set(*digits, Source::Header);
        }
    }
}

// The keys of Allegro's nc_param.txt and ncdrill.log ("INTEGER-PLACES 3", "SUPPRESS-LEAD-ZEROES<TAB>NO"): key,
// then blanks, tabs, '=' or ':', then the value.
enum class SidecarKey { IntegerPlaces, DecimalPlaces, Units, SuppressLead, SuppressTrail, Coordinates, Other };

SidecarKey SidecarKeyOf(std::string_view line, std::string_view& value) {
    line = Trim(line);
    const std::size_t end = line.find_first_of(" \t=:");
    const std::string_view key = line.substr(0, end);
    value = end == std::string_view::npos ? std::string_view() : Trim(line.substr(end));
    while (!value.empty() && (value.front() == '=' || value.front() == ':')) {
        value = Trim(value.substr(1));
    }
    if (key == "INTEGER-PLACES") {
        return SidecarKey::IntegerPlaces;
    }
    if (key == "DECIMAL-PLACES") {
        return SidecarKey::DecimalPlaces;
    }
    if (key == "OUTPUT-UNITS") {
        return SidecarKey::Units;
    }
    if (key == "SUPPRESS-LEAD-ZEROES" || key == "SUPPRESS-LEAD-ZEROS" || key == "SUPPRESS-LEADING-ZEROES" ||
        key == "SUPPRESS-LEADING-ZEROS") {
        return SidecarKey::SuppressLead;
    }
    if (key == "SUPPRESS-TRAIL-ZEROES" || key == "SUPPRESS-TRAIL-ZEROS" || key == "SUPPRESS-TRAILING-ZEROES" ||
        key == "SUPPRESS-TRAILING-ZEROS") {
        return SidecarKey::SuppressTrail;
    }
    if (key == "COORDINATES") {
        return SidecarKey::Coordinates;
    }
    return SidecarKey::Other;
}

std::optional<int> ReadPlaces(std::string_view value) {
    if (value.size() != 1 || !IsDigit(value.front())) {
        return std::nullopt;
    }
    return value.front() - '0';
}

std::optional<bool> ReadYesNo(std::string_view value) {
    if (value == "YES" || value == "Y" || value == "ON" || value == "TRUE") {
        return true;
    }
    if (value == "NO" || value == "N" || value == "OFF" || value == "FALSE") {
        return false;
    }
    return std::nullopt;
}

// Lines of other sidecars, found by words anywhere in them: "FORMAT 3.5", "UNITS: METRIC", "SUPPRESS LEADING
// ZEROS". A zeros word only counts where no keyed line has said the same.
void TakeLooseSidecarLine(std::string_view view, Format& format, std::optional<bool>& suppressLead,
                          std::optional<bool>& suppressTrail) {
    if (const std::size_t at = view.find("FORMAT"); at != std::string_view::npos) {
        std::string_view rest = view.substr(at + 6);
        const std::size_t first = rest.find_first_of("0123456789");
        if (first != std::string_view::npos) {
            rest.remove_prefix(first);
            const std::size_t end = rest.find_first_not_of("0123456789.:");
            if (const std::optional<Digits> digits = ReadDigitPair(rest.substr(0, end))) {
                format.digits.Set(*digits, Source::Sidecar);
            }
        }
    }
    if (view.find("UNIT") != std::string_view::npos) {
        if (view.find("ENGLISH") != std::string_view::npos || view.find("INCH") != std::string_view::npos) {
            format.units.Set(Units::Inch, Source::Sidecar);
        } else if (view.find("METRIC") != std::string_view::npos || view.find("MM") != std::string_view::npos) {
            format.units.Set(Units::Millimetre, Source::Sidecar);
        }
    }
    const bool suppress = view.find("SUPPRESS") != std::string_view::npos;
    const bool yes = view.find("YES") != std::string_view::npos;
    const bool no = view.find(" NO") != std::string_view::npos || view.find("=NO") != std::string_view::npos ||
                    view.find("\tNO") != std::string_view::npos;
    if (suppress && !no && (yes || view.find("ZERO") != std::string_view::npos)) {
        if (view.find("LEAD") != std::string_view::npos && !suppressLead) {
            suppressLead = true;
        } else if (view.find("TRAIL") != std::string_view::npos && !suppressTrail) {
            suppressTrail = true;
        }
    }
    if (view.find("COORDINATES") != std::string_view::npos) {
        if (view.find("INCREMENTAL") != std::string_view::npos) {
            format.incremental.Set(true, Source::Sidecar);
        } else if (view.find("ABSOLUTE") != std::string_view::npos) {
            format.incremental.Set(false, Source::Sidecar);
        }
    }
}

} // namespace

const char* SourceName(Source source) {
    switch (source) {
    case Source::User:
        return "user";
    case Source::Header:
        return "header";
    case Source::Comment:
        return "comment";
    case Source::Sidecar:
        return "sidecar";
    case Source::Inference:
        return "inference";
    case Source::Default:
        return "default";
    case Source::None:
        break;
    }
    return "none";
}

std::string Format::Describe() const {
    std::ostringstream text;
    text << (units.value == Units::Millimetre ? "mm" : "inch") << ", ";
    if (digits.value) {
        text << digits.value->integer << ':' << digits.value->decimal;
    }
    text << ' ' << (zeros.value == Zeros::LZ ? "LZ" : "TZ") << ", "
         << (incremental.value.value_or(false) ? "incremental" : "absolute") << " (units " << SourceName(units.source)
         << ", digits " << SourceName(digits.source) << ", zeros " << SourceName(zeros.source) << ')';
    if (wholeWithoutPoint) {
        text << "; numbers without a decimal point are whole (inference)";
    }
    return text.str();
}

void TakeLineHints(std::string_view line, Format& format) {
    const std::string_view trimmed = Trim(line);
    if (trimmed.empty()) {
        return;
    }
    if (trimmed.front() == ';') {
        TakeCommentHints(trimmed.substr(1), format);
        return;
    }
    const std::string upper = Upper(trimmed);
    const std::string_view text = upper;
    if (text == "INCH" || text == "METRIC" || StartsWith(text, "INCH,") || StartsWith(text, "METRIC,") ||
        StartsWith(text, "M71,") || StartsWith(text, "M72,")) {
        TakeUnitsWord(text, format);
    } else if (const std::optional<Digits> digits = ReadDigitPattern(text)) {
        format.digits.Set(*digits, Source::Header);
    } else if (StartsWith(text, "M71")) {
        format.units.Set(Units::Millimetre, Source::Header);
    } else if (StartsWith(text, "M72")) {
        format.units.Set(Units::Inch, Source::Header);
    } else if (text == "ICI" || text == "ICI,ON") {
        format.incremental.Set(true, Source::Header);
    } else if (text == "ICI,OFF") {
        format.incremental.Set(false, Source::Header);
    }
}

void TakeSidecarHints(std::string_view text, Format& format) {
    std::optional<int> integerPlaces;
    std::optional<int> decimalPlaces;
    std::optional<bool> suppressLead;
    std::optional<bool> suppressTrail;
    std::istringstream lines{std::string(text)};
    std::string line;
    while (std::getline(lines, line)) {
        const std::string upper = Upper(line);
        const std::string_view view = upper;
        std::string_view value;
        switch (SidecarKeyOf(view, value)) {
        case SidecarKey::IntegerPlaces:
            integerPlaces = ReadPlaces(value);
            continue;
        case SidecarKey::DecimalPlaces:
            decimalPlaces = ReadPlaces(value);
            continue;
        case SidecarKey::Units:
            if (value == "ENGLISH" || value == "INCH" || value == "INCHES") {
                format.units.Set(Units::Inch, Source::Sidecar);
            } else if (value == "METRIC" || value == "MM" || value == "MILLIMETERS") {
                format.units.Set(Units::Millimetre, Source::Sidecar);
            }
            continue;
        case SidecarKey::SuppressLead:
            suppressLead = ReadYesNo(value);
            continue;
        case SidecarKey::SuppressTrail:
            suppressTrail = ReadYesNo(value);
            continue;
        case SidecarKey::Coordinates:
            if (value == "INCREMENTAL") {
                format.incremental.Set(true, Source::Sidecar);
            } else if (value == "ABSOLUTE") {
                format.incremental.Set(false, Source::Sidecar);
            }
            continue;
        case SidecarKey::Other:
            break;
        }
        TakeLooseSidecarLine(view, format, suppressLead, suppressTrail);
    }
    if (integerPlaces && decimalPlaces && *integerPlaces + *decimalPlaces > 0) {
        format.digits.Set(Digits{*integerPlaces, *decimalPlaces}, Source::Sidecar);
    }
    // Excellon's words name the zeros that are written. With neither kind left out every digit is there, and
    // placing the point by the integer digits (LZ) reads such numbers right.
    if (suppressLead == true && suppressTrail != true) {
        format.zeros.Set(Zeros::TZ, Source::Sidecar);
    } else if (suppressTrail == true && suppressLead != true) {
        format.zeros.Set(Zeros::LZ, Source::Sidecar);
    } else if (suppressLead == false) {
        format.zeros.Set(Zeros::LZ, Source::Sidecar);
    } else if (suppressTrail == false) {
        format.zeros.Set(Zeros::TZ, Source::Sidecar);
    }
}

void CountDigits(std::string_view line, DigitCounts& counts) {
    const std::string_view trimmed = Trim(line);
    if (trimmed.empty() || trimmed.front() == ';' || trimmed.front() == '%') {
        return;
    }
    // Header words (INCH, FMAT, ...) start with two letters; their digits are no coordinates.
    if (trimmed.size() >= 2 && std::isalpha(static_cast<unsigned char>(trimmed[0])) &&
        std::isalpha(static_cast<unsigned char>(trimmed[1]))) {
        return;
    }
    for (std::size_t i = 0; i < trimmed.size(); ++i) {
        const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(trimmed[i])));
        if (letter != 'X' && letter != 'Y') {
            continue;
        }
        std::size_t p = i + 1;
        if (p < trimmed.size() && (trimmed[p] == '+' || trimmed[p] == '-')) {
            ++p;
        }
        const std::size_t start = p;
        while (p < trimmed.size() && IsDigit(trimmed[p])) {
            ++p;
        }
        if (p < trimmed.size() && trimmed[p] == '.') {
            counts.decimalPoint = true;
            continue;
        }
        if (p == start) {
            continue;
        }
        // An all-zero number (G93X000000Y000000) reads the same in every format: it says nothing about the
        // zeros or the digits.
        if (trimmed.substr(start, p - start).find_first_not_of('0') == std::string_view::npos) {
            counts.any = true;
            continue;
        }
        const int length = static_cast<int>(p - start);
        counts.any = true;
        counts.longest = std::max(counts.longest, length);
        if (length >= 2 && trimmed[start] == '0') {
            counts.leadingZero = true;
        }
    }
}

void CompleteFormat(Format& format, const DigitCounts& counts) {
    format.units.Set(Units::Inch, Source::Default);
    format.zeros.Set(counts.leadingZero ? Zeros::LZ : Zeros::TZ, counts.any ? Source::Inference : Source::Default);
    format.digits.Set(format.units.value == Units::Inch ? Digits{2, 4} : Digits{3, 3}, Source::Default);
    format.incremental.Set(false, Source::Default);
    // Numbers longer than the format holds keep its decimals and widen its integer part; the user's own
    // choice stands as given. With leading zeros written, the integer digits place every shorter number, so
    // the format stays and only the long numbers are read with the wider integer part (see the reader).
    Digits& digits = *format.digits.value;
    if (format.digits.source != Source::User && format.zeros.value == Zeros::TZ &&
        counts.longest > digits.integer + digits.decimal) {
        digits.integer = counts.longest - digits.decimal;
        format.digits.source = Source::Inference;
    }
    // A tool that writes decimal points and leaves them out only for whole numbers (printing 7 for 7.0) mixes
    // both kinds; no declared format says otherwise, so implied decimals would put those numbers a thousand
    // times too close to the origin. A file that declares its zeros writes implied decimals on purpose.
    const auto found = [](Source source) { return source == Source::Default || source == Source::Inference; };
    format.wholeWithoutPoint =
        counts.decimalPoint && counts.longest > 0 && found(format.digits.source) && found(format.zeros.source);
}

Format DetectFormat(const std::vector<std::string>& lines, const ReadingChoice& choice, const std::string& drillPath) {
    Format format;
    if (choice.units != UnitsChoice::FromFile) {
        format.units.Set(choice.units == UnitsChoice::Inch ? Units::Inch : Units::Millimetre, Source::User);
    }
    if (!choice.DigitsFromFile()) {
        format.digits.Set(Digits{choice.integerDigits, choice.decimalDigits}, Source::User);
    }
    if (choice.zeros != ZerosChoice::FromFile) {
        format.zeros.Set(choice.zeros == ZerosChoice::LZ ? Zeros::LZ : Zeros::TZ, Source::User);
    }
    DigitCounts counts;
    for (const std::string& line : lines) {
        TakeLineHints(line, format);
        CountDigits(line, counts);
    }
    if (!drillPath.empty() && !(format.units.value && format.digits.value && format.zeros.value)) {
        namespace fs = std::filesystem;
        std::error_code ignored;
        const fs::path folder = fs::path(drillPath).parent_path();
        for (const char* name : {"nc_param.txt", "NC_PARAM.TXT", "ncdrill.log", "NCDRILL.LOG"}) {
            const fs::path sidecar = folder / name;
            if (!fs::is_regular_file(sidecar, ignored)) {
                continue;
            }
            std::ifstream file(sidecar, std::ios::binary);
            std::ostringstream text;
            text << file.rdbuf();
            TakeSidecarHints(text.str(), format);
        }
    }
    CompleteFormat(format, counts);
    return format;
}

} // namespace korvex::excellon
