#include "conversion/ConvertLine.h"

#include "conversion/ConversionState.h"
#include "conversion/Numbers.h"
#include "platform/TextFile.h"

namespace korvex::conversion {

namespace {

bool IsLetter(unsigned char c) {
    return (c >= 0x41 && c <= 0x7A) || c == '%';
}

bool IsNumberChar(unsigned char c) {
    return (c >= '0' && c <= '9') || c == '.' || c == '-' || c == '+';
}

char UpperFirst(std::string_view word) {
    const char c = word[0];
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// Reused between lines so that converting a large file does not allocate per line.
struct LineBuffers {
    WordList words;
    std::string out;
    std::string xText;
    std::string yText;
};

LineBuffers& Buffers() {
    thread_local LineBuffers buffers;
    return buffers;
}

void WriteLine(ConversionState& state, const std::string& text) {
    state.OutputFile->WriteLine(text);
}

void WriteNumbered(ConversionState& state, std::string& out, std::string_view text) {
    out.clear();
    AppendLineNumberPrefix(out, state);
    out.append(text);
    WriteLine(state, out);
}

void WriteComment(ConversionState& state, std::string& out, std::string_view text, std::string_view suffix) {
    out.assign("; ");
    out.append(text);
    out.append(suffix);
    WriteLine(state, out);
}

// X or Y: thousandths of an inch to millimetres when in inch mode, then divided and shifted. Each step is
// computed in extended precision and stored as a double.
void FormatCoordinate(const ConversionState& state, std::string_view word, double offset, std::string& text) {
    double v = StrToReal(word.substr(1));
    if (state.InchMode) {
        v = static_cast<double>(static_cast<Extended>(v) * 25.4L / 1000.0L);
    }
    v = static_cast<double>(static_cast<Extended>(v) / static_cast<Extended>(state.Divisor) +
                            static_cast<Extended>(offset));
    text.assign(1, UpperFirst(word));
    AppendRealToStr(text, 1, 3, v);
}

void DefineTool(ConversionState& state, const WordList& words, int first, std::int32_t tool, std::string& out) {
    const bool known = ToolTable::Contains(tool);
    out.assign("; ");
    for (int i = first; i < words.count; ++i) {
        const std::string_view word = words.slots[static_cast<std::size_t>(i)];
        if (word.empty()) {
            continue;
        }
        const char letter = UpperFirst(word);
        if (known && letter == 'Z') {
            state.ToolTable[tool].ZDown = StoreZWord(word);
        } else if (known && letter == 'B') {
            std::string zWord("Z");
            zWord.append(word.substr(1));
            state.ToolTable[tool].ZUp = StoreZWord(zWord);
        }
        out.append(word);
        out.append("  ");
    }
    out.append(" ; Tool-definition");
    WriteLine(state, out);
}

void SelectTool(ConversionState& state, std::string_view word, std::int32_t tool, std::string& out) {
    const ToolZEntry& entry = ToolTable::Contains(tool) ? state.ToolTable[tool] : state.RunZ;
    state.CurrentZUp = entry.ZUp;
    state.CurrentZDown = entry.ZDown;
    for (const std::string& line : state.MacroBefore) {
        WriteNumbered(state, out, line);
    }
    WriteNumbered(state, out, word);
    for (const std::string& line : state.MacroAfter) {
        WriteNumbered(state, out, line);
    }
}

} // namespace

int SplitWords(std::string_view line, WordList& words) {
    words.count = 0;
    const std::string_view scanned = line.substr(0, line.find(';'));
    const std::size_t length = scanned.size();
    if (length == 0) {
        return 0;
    }
    std::size_t p = 0;
    do {
        const std::size_t start = p;
        while (p < length && scanned[p] == ' ') {
            ++p;
        }
        const std::size_t wordStart = p;
        while (p < length && IsLetter(static_cast<unsigned char>(scanned[p]))) {
            ++p;
        }
        while (p < length && IsNumberChar(static_cast<unsigned char>(scanned[p]))) {
            ++p;
        }
        const std::string_view word = scanned.substr(wordStart, p - wordStart);
        if (p == start) {
            ++p; // a character that starts no word
        }
        if (static_cast<std::size_t>(words.count) < words.slots.size()) {
            words.slots[static_cast<std::size_t>(words.count)] = word;
        } else {
            words.slots.push_back(word);
        }
        ++words.count;
    } while (p < length);
    return words.count;
}

void ConvertLine(ConversionState& state, std::string_view line) {
    LineBuffers& buffers = Buffers();
    WordList& words = buffers.words;
    std::string& out = buffers.out;
    if (SplitWords(line, words) == 0) {
        return;
    }
    bool xSeen = false;
    bool ySeen = false;

    for (int i = 0; i < words.count; ++i) {
        const std::string_view word = words.slots[static_cast<std::size_t>(i)];
        if (word.empty()) {
            continue; // an unclassified character or trailing blanks: nothing to interpret
        }
        switch (UpperFirst(word)) {
        case '%':
            if (state.InHeader) {
                state.InHeader = false;
                out.assign(";% of Header Definition");
                WriteLine(state, out);
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
                WriteComment(state, out, word, " Attention tool diameter indicated in inches");
            } else if (word == "M71") {
                state.InchMode = false;
                WriteComment(state, out, word, "");
            } else if (word == "M48") {
                state.InHeader = true;
                WriteComment(state, out, word, "");
            } else if (word == "M95") {
                state.InHeader = false;
                WriteComment(state, out, word, "");
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
                WriteComment(state, out, word, " not implemented");
            }
            break;
        case 'T': {
            const std::int32_t tool = StrToIntOrZero(word.substr(1));
            if (state.InHeader) {
                DefineTool(state, words, i, tool, out);
                return;
            }
            SelectTool(state, word, tool, out);
            break;
        }
        case 'X':
            FormatCoordinate(state, word, state.XOffset, buffers.xText);
            xSeen = true;
            break;
        case 'Y':
            FormatCoordinate(state, word, state.YOffset, buffers.yText);
            ySeen = true;
            break;
        default:
            WriteComment(state, out, word, " not implemented");
            break;
        }
    }

    if (!xSeen && !ySeen) {
        return;
    }
    out.clear();
    AppendLineNumberPrefix(out, state);
    out.append("G00 ");
    out.append(state.CurrentZUp);
    WriteLine(state, out);

    out.clear();
    AppendLineNumberPrefix(out, state);
    out.append("G00 ");
    if (xSeen) {
        out.append(buffers.xText);
    }
    if (xSeen && ySeen) {
        out.push_back(' ');
    }
    if (ySeen) {
        out.append(buffers.yText);
    }
    WriteLine(state, out);

    out.clear();
    AppendLineNumberPrefix(out, state);
    out.append("G01 ");
    out.append(state.CurrentZDown);
    WriteLine(state, out);
}

} // namespace korvex::conversion
