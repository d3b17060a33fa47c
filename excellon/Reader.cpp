#include "excellon/Reader.h"

#include <cctype>
#include <cmath>
#include <set>

#include "conversion/Numbers.h"
#include "platform/DecimalText.h"

namespace korvex::excellon {

ReaderSink::~ReaderSink() = default;

void ReaderSink::UnknownHeaderLine(std::size_t, std::string_view) {}

namespace {

using conversion::ConversionError;
using conversion::PathEvent;
using conversion::PathKind;
using conversion::PathSegment;

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

bool IsLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

char Upper(char c) {
    return static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
}

std::string UpperText(std::string_view text) {
    std::string upper(text);
    for (char& c : upper) {
        c = Upper(c);
    }
    return upper;
}

struct Word {
    char letter = 0;
    std::string_view number;
    std::string_view text; // letter and number as written
};

struct Point {
    double x = 0.0;
    double y = 0.0;
};

// The coordinates a line names, each optional.
struct Coordinates {
    std::optional<double> x;
    std::optional<double> y;
    bool Any() const { return x || y; }
};

enum class Motion { Drill, Rapid, Linear, Clockwise, CounterClockwise };

// What the body codes this reading does not carry out would do, for the message that stops at them.
const char* GMeaning(int code) {
    switch (code) {
    case 32:
    case 33:
        return "routed circle";
    case 34:
    case 35:
    case 36:
    case 37:
    case 38:
    case 39:
        return "vision";
    case 41:
    case 42:
        return "cutter compensation";
    case 45:
    case 46:
    case 47:
    case 48:
        return "vision offset";
    case 82:
    case 83:
        return "dual in-line package";
    case 84:
        return "drilled circle";
    case 87:
        return "routed step slot";
    case 92:
        return "zero set";
    default:
        return "a code this reading does not know";
    }
}

const char* MMeaning(int code) {
    switch (code) {
    case 25:
    case 31:
        return "step and repeat";
    case 50:
    case 51:
        return "vision step and repeat";
    case 60:
    case 61:
        return "reference scaling";
    case 70:
        return "swap axes";
    case 80:
    case 90:
        return "mirror image";
    case 96:
    case 97:
    case 98:
        return "canned text";
    default:
        return "a code this reading does not know";
    }
}

class Reader {
public:
    Reader(const Format& format, ReaderSink& sink)
        : format_(format), sink_(sink), inch_(format.units.value == Units::Inch),
          unitsFixed_(format.units.source == Source::User), incremental_(format.incremental.value.value_or(false)) {}

    // False once the program has ended.
    bool Line(std::string_view line, std::size_t number) {
        number_ = number;
        raw_ = line;
        line_ = Trim(line);
        if (line_.empty()) {
            return true;
        }
        if (line_.front() == ';') {
            sink_.Comment(Trim(line_.substr(1)));
            return true;
        }
        const std::size_t comment = line_.find(';');
        const std::string_view code = Trim(line_.substr(0, comment));
        if (code == "%") {
            inHeader_ = false;
            sink_.Comment(code);
            return true;
        }
        if (IsUnitsCode(code)) {
            UnitsCode(code);
            return true;
        }
        if (IsHeaderWord(code)) {
            HeaderWord(code);
            if (inHeader_ && IsLetter(code[0]) && !IsKnownHeaderWord(code)) {
                sink_.UnknownHeaderLine(number_, line_);
            }
            return true;
        }
        // Vendor lines in a header ("R,H", a lone "/") set nothing the program needs; in the body a line
        // that is not made of words stops the reading.
        if (inHeader_ && !IsWordLine(code)) {
            sink_.Comment(code);
            sink_.UnknownHeaderLine(number_, line_);
            return true;
        }
        // "M02" with an offset, a count or a mirroring repeats the pattern before it ("M02X5.Y0", "M02XYM70"; its X
        // and Y may be empty).
        if (code.size() > 3 && Upper(code[0]) == 'M' && code[1] == '0' && code[2] == '2' && IsLetter(code[3])) {
            NotCarriedOut(code.substr(0, 3), "step and repeat");
        }
        // A message for the operator ("M47,CHECK DRILLS") or canned text to drill ("M97,A1") has its text after a
        // comma.
        if (code.size() >= 4 && Upper(code[0]) == 'M' && code[3] == ',') {
            const std::string_view m = code.substr(1, 2);
            if (m == "45" || m == "47") {
                sink_.Comment(code);
                return true;
            }
            if (m == "97" || m == "98") {
                NotCarriedOut(code.substr(0, 3), "canned text");
            }
        }
        return Words(code);
    }

    void End() { ClosePath(); }

private:
    // Lines that only set up the machine: INCH, METRIC,LZ, FMAT,2, ICI,ON, VER,1, DETECT,ON, ATC,ON, 000.000.
    static bool IsHeaderWord(std::string_view code) {
        if (code.size() >= 2 && IsLetter(code[0]) && IsLetter(code[1])) {
            return true;
        }
        return !code.empty() && code.find_first_not_of("0.") == std::string_view::npos;
    }

    // "M71,TZ", "M72,LZ", "M71,LZ,000.000": the units code with the suffixes of INCH and METRIC. The format
    // took the zeros and digits; here it only sets the units.
    static bool IsUnitsCode(std::string_view code) {
        return code.size() > 4 && Upper(code[0]) == 'M' && code[1] == '7' && (code[2] == '1' || code[2] == '2') &&
               code[3] == ',';
    }

    void UnitsCode(std::string_view code) {
        SetInch(code[2] == '2');
        sink_.Comment(code);
    }

    // The units the user fixed win over the file's.
    void SetInch(bool inch) {
        if (!unitsFixed_) {
            inch_ = inch;
        }
    }

    // A letter followed by a number, as every code and coordinate starts.
    static bool IsWordLine(std::string_view code) {
        return code.size() >= 2 && IsLetter(code[0]) &&
               (IsDigit(code[1]) || code[1] == '.' || code[1] == '-' || code[1] == '+');
    }

    // Excellon's documented header words; what they set up (clocks, checks, changer options) the program
    // does not need, so they become comments without a word.
    static bool IsKnownHeaderWord(std::string_view code) {
        static constexpr std::string_view kKnown[] = {
            "AFS", "ATC",  "BLKD",   "CCW",  "CP",   "DETECT", "DN",     "DTMDIST",  "EXDA", "FMAT", "FSB", "HPCK",
            "ICI", "INCH", "METRIC", "NCSL", "OM48", "OSTOP",  "OTCLMP", "PCKPARAM", "PF",   "PPR",  "PVS", "RC",
            "RD",  "RSB",  "RTC",    "SBK",  "SG",   "TCST",   "TCSTON", "UP",       "VER",  "ZA",   "ZC",  "ZS"};
        const std::string word = UpperText(Trim(code.substr(0, code.find(','))));
        for (const std::string_view known : kKnown) {
            if (word == known) {
                return true;
            }
        }
        return false;
    }

    void HeaderWord(std::string_view code) {
        const std::string upper = UpperText(code);
        if (upper == "INCH" || upper.rfind("INCH,", 0) == 0) {
            SetInch(true);
        } else if (upper == "METRIC" || upper.rfind("METRIC,", 0) == 0) {
            SetInch(false);
        }
        if (upper == "ICI" || upper == "ICI,ON") {
            incremental_ = true;
        } else if (upper == "ICI,OFF") {
            incremental_ = false;
        }
        sink_.Comment(code);
    }

    [[noreturn]] void BadNumber(std::string_view word) const {
        throw ConversionError("Can not read \"" + Shown(word) + "\" in line " + std::to_string(number_) +
                                  " of the drill file: " + Shown(line_),
                              number_, std::string(raw_));
    }

    // A code that would move or multiply holes in a way this reading does not carry out: drilling the rest of the
    // file without it would put holes in the wrong places, so the run stops at its line.
    [[noreturn]] void NotCarriedOut(std::string_view word, const char* meaning) const {
        throw ConversionError("Can not carry out \"" + Shown(word) + "\" (" + meaning + ") in line " +
                                  std::to_string(number_) + " of the drill file: " + Shown(line_),
                              number_, std::string(raw_));
    }

    // The file's text as a message shows it: a control character other than TAB (a NUL would end the message where a C
    // string is read) becomes "?"; the error's FileText keeps the bytes.
    static std::string Shown(std::string_view text) {
        std::string shown(text);
        for (char& c : shown) {
            if ((static_cast<unsigned char>(c) < 0x20 && c != '\t') || c == 0x7F) {
                c = '?';
            }
        }
        return shown;
    }

    double Number(const Word& word) const {
        const std::optional<double> value = ReadFormattedNumber(word.number, format_);
        if (!value) {
            BadNumber(word.text);
        }
        return *value;
    }

    double ToMm(double value) const { return inch_ ? value * 25.4 : value; }

    // A plain decimal number such as a tool diameter (file units) or a code number.
    double Decimal(const Word& word) const {
        const std::optional<double> value = conversion::ParseReal(word.number, '.');
        if (!value || word.number.empty() || word.number.find_first_of("eE") != std::string_view::npos) {
            BadNumber(word.text);
        }
        return *value;
    }

    int Code(const Word& word) const {
        if (word.number.empty() || word.number.size() > 4 ||
            word.number.find_first_not_of("0123456789") != std::string_view::npos) {
            BadNumber(word.text);
        }
        return std::stoi(std::string(word.number));
    }

    Point Resolve(const Coordinates& c, Point from) const {
        Point p = from;
        if (incremental_) {
            p.x += c.x ? ToMm(*c.x) : 0.0;
            p.y += c.y ? ToMm(*c.y) : 0.0;
        } else {
            if (c.x) {
                p.x = origin_.x + ToMm(*c.x);
            }
            if (c.y) {
                p.y = origin_.y + ToMm(*c.y);
            }
        }
        return p;
    }

    void ClosePath() {
        if (pathOpen_ && !path_.segments.empty()) {
            sink_.Path(path_);
        }
        pathOpen_ = false;
        path_ = PathEvent{};
    }

    void OpenPath() {
        if (!pathOpen_) {
            pathOpen_ = true;
            path_ = PathEvent{};
            path_.kind = PathKind::Route;
            path_.startX = position_.x;
            path_.startY = position_.y;
        }
    }

    void Arc(Point to, bool clockwise, const std::optional<double>& radius, const Coordinates& center) {
        PathSegment segment;
        segment.kind = clockwise ? PathSegment::Kind::ClockwiseArc : PathSegment::Kind::CounterClockwiseArc;
        segment.x = to.x;
        segment.y = to.y;
        if (center.Any()) {
            segment.centerX = position_.x + (center.x ? ToMm(*center.x) : 0.0);
            segment.centerY = position_.y + (center.y ? ToMm(*center.y) : 0.0);
        } else if (radius) {
            const double r = ToMm(std::fabs(*radius));
            const double dx = to.x - position_.x;
            const double dy = to.y - position_.y;
            const double chord = std::hypot(dx, dy);
            if (chord == 0.0 || r * 2.0 < chord * (1.0 - 1e-9)) {
                throw ConversionError("An arc of radius " + platform::FixedText(r, 6) +
                                          " mm cannot reach its end in line " + std::to_string(number_) +
                                          " of the drill file: " + std::string(line_),
                                      number_, std::string(raw_));
            }
            const double h = std::sqrt(std::max(0.0, r * r - chord * chord / 4.0));
            // The shorter arc turns about a centre right of the chord when clockwise; a negative radius asks
            // for the longer one.
            double side = clockwise ? -1.0 : 1.0;
            if (*radius < 0) {
                side = -side;
            }
            segment.centerX = (position_.x + to.x) / 2.0 + side * h * (-dy / chord);
            segment.centerY = (position_.y + to.y) / 2.0 + side * h * (dx / chord);
        } else {
            throw ConversionError("An arc without I, J or A in line " + std::to_string(number_) +
                                      " of the drill file: " + std::string(line_),
                                  number_, std::string(raw_));
        }
        path_.segments.push_back(segment);
    }

    bool Words(std::string_view code) {
        std::vector<Word> words;
        for (std::size_t p = 0; p < code.size();) {
            if (code[p] == ' ' || code[p] == '\t') {
                ++p;
                continue;
            }
            if (!IsLetter(code[p])) {
                BadNumber(code.substr(p));
            }
            Word word;
            word.letter = Upper(code[p]);
            const std::size_t start = p++;
            // Everything up to the next letter or blank belongs to the number, so "X1$0" is refused whole
            // rather than read as X1 and a stray word.
            while (p < code.size() && !IsLetter(code[p]) && code[p] != ' ' && code[p] != '\t') {
                ++p;
            }
            word.number = code.substr(start + 1, p - start - 1);
            word.text = code.substr(start, p - start);
            words.push_back(word);
        }

        Coordinates first;
        Coordinates second;
        Coordinates center;
        std::optional<double> radius;
        std::optional<int> repeat;
        bool slot = false;
        bool dwell = false;
        std::optional<std::size_t> patternRepeatAt;
        bool setOrigin = false;
        bool retractAfter = false;
        bool endAfter = false;
        std::optional<std::size_t> toolAt;
        std::optional<std::size_t> arcWordAt;
        // Codes become comments after what their line does, so "M16" follows the path it ends.
        std::vector<std::string> notes;
        std::vector<std::string_view> modeCodes;

        for (std::size_t i = 0; i < words.size(); ++i) {
            const Word& word = words[i];
            Coordinates& target = slot ? second : first;
            switch (word.letter) {
            case 'X':
                target.x = Number(word);
                break;
            case 'Y':
                target.y = Number(word);
                break;
            case 'I':
                center.x = Number(word);
                arcWordAt = arcWordAt.value_or(i);
                break;
            case 'J':
                center.y = Number(word);
                arcWordAt = arcWordAt.value_or(i);
                break;
            case 'A':
                radius = Number(word);
                arcWordAt = arcWordAt.value_or(i);
                break;
            case 'R':
                repeat = Code(word);
                break;
            case 'T':
                toolAt = i;
                i = words.size(); // the rest of the line belongs to the tool
                break;
            case 'G':
                switch (Code(word)) {
                case 0:
                    ClosePath();
                    motion_ = Motion::Rapid;
                    break;
                case 1:
                    motion_ = Motion::Linear;
                    break;
                case 2:
                    motion_ = Motion::Clockwise;
                    break;
                case 3:
                    motion_ = Motion::CounterClockwise;
                    break;
                case 5:
                case 81:
                    ClosePath();
                    motion_ = Motion::Drill;
                    break;
                case 85:
                    slot = true;
                    break;
                case 90:
                    incremental_ = false;
                    break;
                case 91:
                    incremental_ = true;
                    break;
                case 93:
                    setOrigin = true;
                    break;
                case 4:
                    // A dwell: its X is a time, not a place.
                    dwell = true;
                    break;
                case 70:
                    // Units as older NC files set them, like M72 and M71.
                    SetInch(true);
                    break;
                case 71:
                    SetInch(false);
                    break;
                case 40:
                    // Cutter compensation off, which this reading never applies.
                    notes.push_back(std::string(word.text));
                    continue;
                default:
                    NotCarriedOut(word.text, GMeaning(Code(word)));
                }
                modeCodes.push_back(word.text);
                break;
            case 'M':
                switch (Code(word)) {
                case 48:
                    inHeader_ = true;
                    break;
                case 95:
                    inHeader_ = false;
                    break;
                case 71:
                    SetInch(false);
                    break;
                case 72:
                    SetInch(true);
                    break;
                case 15:
                    OpenPath();
                    break;
                case 16:
                case 17:
                    retractAfter = true;
                    break;
                case 30:
                    endAfter = true;
                    break;
                // Stops, checks, messages for the operator, the spindle and the coolant: the holes stay where
                // they are.
                case 0:
                case 1:
                case 3:
                case 4:
                case 5:
                case 6:
                case 7:
                case 8:
                case 9:
                case 18:
                case 45:
                case 47:
                    break;
                case 2:
                    // Alone it ends a program; with an offset it repeats a pattern.
                    patternRepeatAt = i;
                    break;
                default:
                    NotCarriedOut(word.text, MMeaning(Code(word)));
                }
                notes.push_back(std::string(word.text));
                break;
            default:
                // Feeds, speeds and block numbers outside a tool definition mean nothing to the program.
                notes.push_back(std::string(word.text) + " not implemented");
                break;
            }
        }

        // I, J and A only mean something to an arc; elsewhere the letter is a stray character, most likely
        // inside the number before it ("X12A4Y1000").
        if (arcWordAt && motion_ != Motion::Clockwise && motion_ != Motion::CounterClockwise) {
            const Word& stray = words[*arcWordAt];
            if (*arcWordAt > 0) {
                const Word& before = words[*arcWordAt - 1];
                if (before.text.data() + before.text.size() == stray.text.data()) {
                    BadNumber(std::string_view(before.text.data(), before.text.size() + stray.text.size()));
                }
            }
            BadNumber(stray.text);
        }
        if (patternRepeatAt && (first.Any() || repeat)) {
            NotCarriedOut(words[*patternRepeatAt].text, "step and repeat");
        }
        if (toolAt) {
            Tool(words, *toolAt);
        }
        if (dwell) {
            // Nothing moves.
        } else if (setOrigin) {
            origin_ = Point{first.x ? ToMm(*first.x) : 0.0, first.y ? ToMm(*first.y) : 0.0};
            position_ = origin_;
        } else if (repeat) {
            const Point step{first.x ? ToMm(*first.x) : 0.0, first.y ? ToMm(*first.y) : 0.0};
            for (int n = 0; n < *repeat; ++n) {
                position_.x += step.x;
                position_.y += step.y;
                sink_.Hole(position_.x, position_.y);
            }
        } else if (slot) {
            ClosePath();
            const Point start = Resolve(first, position_);
            const Point end = Resolve(second, start);
            PathEvent path;
            path.kind = PathKind::Slot;
            path.startX = start.x;
            path.startY = start.y;
            PathSegment segment;
            segment.x = end.x;
            segment.y = end.y;
            path.segments.push_back(segment);
            sink_.Path(path);
            position_ = end;
        } else if (first.Any() || center.Any() || radius) {
            const Point to = Resolve(first, position_);
            switch (motion_) {
            case Motion::Drill:
                sink_.Hole(to.x, to.y);
                break;
            case Motion::Rapid:
                ClosePath();
                break;
            case Motion::Linear:
                if (pathOpen_) {
                    PathSegment segment;
                    segment.x = to.x;
                    segment.y = to.y;
                    path_.segments.push_back(segment);
                }
                break;
            case Motion::Clockwise:
            case Motion::CounterClockwise:
                if (pathOpen_) {
                    Arc(to, motion_ == Motion::Clockwise, radius, center);
                }
                break;
            }
            position_ = to;
        }
        if (retractAfter) {
            ClosePath();
        }
        // A mode code on a line of its own is noted; with coordinates it shows in the moves it makes.
        if (dwell || (!first.Any() && !second.Any() && !center.Any() && !radius && !repeat)) {
            for (const std::string_view mode : modeCodes) {
                sink_.Comment(mode);
            }
        }
        for (const std::string& note : notes) {
            sink_.Comment(note);
        }
        if (endAfter) {
            ClosePath();
            sink_.EndOfProgram();
            return false;
        }
        return true;
    }

    // T1, T01C0.8, T1F00S00C0.2000, T1C.015F095S3: a definition when it gives a diameter or stands in the
    // header; a selection outside the header.
    void Tool(const std::vector<Word>& words, std::size_t at) {
        const Word& toolWord = words[at];
        if (toolWord.number.empty() || toolWord.number.find_first_not_of("0123456789") != std::string_view::npos ||
            toolWord.number.size() > 9) {
            BadNumber(toolWord.text);
        }
        const std::int32_t tool = std::stoi(std::string(toolWord.number));
        std::optional<double> diameter;
        std::string_view zWord;
        std::string_view bWord;
        for (std::size_t i = at + 1; i < words.size(); ++i) {
            const Word& word = words[i];
            if (word.letter == 'C') {
                diameter = ToMm(word.number.find('.') == std::string_view::npos ? Number(word) : Decimal(word));
            } else if (word.letter == 'Z') {
                zWord = word.text;
            } else if (word.letter == 'B') {
                bWord = word.text;
            } else if (word.letter == 'F' || word.letter == 'S' || word.letter == 'H' || word.letter == 'D') {
                Decimal(word);
            } else {
                BadNumber(word.text);
            }
        }
        const bool definition = inHeader_ || diameter || words.size() > at + 1;
        if (definition) {
            defined_.insert(tool);
            const std::size_t begin = static_cast<std::size_t>(toolWord.text.data() - line_.data());
            const std::string_view text = Trim(line_.substr(begin, line_.find(';', begin) - begin));
            sink_.DefineTool(tool, diameter, text, zWord, bWord);
            if (diameter && tool == 0) {
                toolZeroDefined_ = true;
            }
        }
        if (inHeader_) {
            return;
        }
        ClosePath();
        if (tool == 0 && !toolZeroDefined_) {
            sink_.UnloadTool();
        } else if (!definition && toolWord.number.size() == 4 && defined_.count(tool) == 0 &&
                   defined_.count(tool / 100) != 0) {
            // "T0102": tool 01 with the machine's compensation 02, where the file defines T01 and no tool 102.
            sink_.SelectTool(tool / 100, toolWord.text.substr(0, 3));
            sink_.Comment(std::string(toolWord.text) + ": tool " + std::string(toolWord.number.substr(0, 2)) +
                          ", compensation " + std::string(toolWord.number.substr(2)));
        } else {
            sink_.SelectTool(tool, toolWord.text);
        }
    }

    const Format& format_;
    ReaderSink& sink_;
    bool inch_;
    bool unitsFixed_;
    bool incremental_;
    bool inHeader_ = false;
    bool toolZeroDefined_ = false;
    std::set<std::int32_t> defined_;
    Motion motion_ = Motion::Drill;
    Point position_;
    Point origin_;
    bool pathOpen_ = false;
    PathEvent path_;
    std::size_t number_ = 0;
    std::string_view raw_;
    std::string_view line_;
};

bool IsGerberWord(std::string_view line) {
    if (line.find("%FS") != std::string_view::npos || line.find("%AD") != std::string_view::npos) {
        return true;
    }
    for (std::size_t at = line.find('D'); at != std::string_view::npos; at = line.find('D', at + 1)) {
        const bool wordStart = at == 0 || !IsLetter(line[at - 1]);
        const std::string_view number = line.substr(at + 1, 2);
        if (wordStart && (number == "01" || number == "02" || number == "03") &&
            (at + 3 == line.size() || !IsDigit(line[at + 3]))) {
            return true;
        }
    }
    return false;
}

} // namespace

bool LooksLikeGerber(const std::vector<std::string>& lines) {
    for (const std::string& line : lines) {
        if (IsGerberWord(UpperText(line))) {
            return true;
        }
    }
    return false;
}

std::string NoDrillDataMessage(const std::vector<std::string>& lines, const std::string& name) {
    return "no drill data in " + name + (LooksLikeGerber(lines) ? "; it looks like a Gerber file" : "");
}

std::optional<double> ReadFormattedNumber(std::string_view text, const Format& format) {
    std::size_t p = 0;
    bool negative = false;
    if (p < text.size() && (text[p] == '+' || text[p] == '-')) {
        negative = text[p] == '-';
        ++p;
    }
    const std::string_view body = text.substr(p);
    if (body.empty() || body.find_first_not_of("0123456789.") != std::string_view::npos ||
        body.find_first_of("0123456789") == std::string_view::npos) {
        return std::nullopt;
    }
    const std::size_t point = body.find('.');
    double value = 0.0;
    if (point != std::string_view::npos) {
        if (body.find('.', point + 1) != std::string_view::npos) {
            return std::nullopt;
        }
        const std::optional<double> parsed = conversion::ParseReal(body, '.');
        if (!parsed) {
            return std::nullopt;
        }
        value = *parsed;
    } else {
        if (body.size() > 18) {
            return std::nullopt;
        }
        const Digits digits = format.digits.value.value_or(Digits{2, 4});
        double whole = 0.0;
        for (const char c : body) {
            whole = whole * 10.0 + (c - '0');
        }
        // LZ: the integer digits stand first and the number's length tells where the point is; TZ: the
        // decimal digits stand last, as they do in an LZ number too long for the format.
        const int length = static_cast<int>(body.size());
        const int exponent = format.zeros.value == Zeros::LZ && length <= digits.integer + digits.decimal
                                 ? digits.integer - length
                                 : -digits.decimal;
        // Dividing by an exact power of ten rounds once; multiplying by 1e-4 would round twice.
        value = format.wholeWithoutPoint ? whole
                : exponent < 0           ? whole / std::pow(10.0, -exponent)
                                         : whole * std::pow(10.0, exponent);
    }
    return negative ? -value : value;
}

std::vector<std::string> ReadDrillLines(platform::TextLineReader& input) {
    input.EndLinesAtLoneCr();
    std::vector<std::string> lines;
    std::string line;
    while (input.ReadLine(line)) {
        lines.push_back(line);
    }
    static constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
    if (!lines.empty() && std::string_view(lines.front()).substr(0, kByteOrderMark.size()) == kByteOrderMark) {
        lines.front().erase(0, kByteOrderMark.size());
    }
    return lines;
}

void ReadExcellon(const std::vector<std::string>& lines, std::size_t firstLine, const Format& format,
                  ReaderSink& sink) {
    Reader reader(format, sink);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (!reader.Line(lines[i], firstLine + i)) {
            return;
        }
    }
    reader.End();
}

} // namespace korvex::excellon
