#include "conversion/ConvertLine.h"

#include <array>
#include <cmath>
#include <optional>

#include "conversion/ConversionState.h"
#include "conversion/Numbers.h"
#include "conversion/ProgramEmitter.h"
#include "conversion/RunObserver.h"

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
    program.ToolDefinition(tool, text);
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

} // namespace korvex::conversion
