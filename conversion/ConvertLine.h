// The tokenizer and word interpreter: one drill-file line in, G-code lines out.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace korvex::conversion {

struct ConversionState;

// Yields the words of one line, left to right, as views into that line: blanks skipped, a run of letters
// ("A".."z" and "%") followed by a run of "0".."9", ".", "-", "+". Anything else where a word would start
// gives an empty word and is skipped. Everything from the first ';' on is ignored. The converter reads words
// one at a time, so a line of millions of words needs no list of them; lines of any length and any number of
// words are converted whole.
class WordScanner {
public:
    explicit WordScanner(std::string_view line) : scanned_(line.substr(0, line.find(';'))) {}
    // The next word into `word`; false when the line has no more.
    bool Next(std::string_view& word);

private:
    std::string_view scanned_;
    std::size_t p_ = 0;
    bool started_ = false;
};

// The words of one line, as views into that line.
struct WordList {
    std::vector<std::string_view> slots;
    int count = 0;
};

// All words of `line` (see WordScanner); returns their number.
int SplitWords(std::string_view line, WordList& words);

// Interprets one input line and writes its G-code lines to state.OutputFile. Throws ConversionError for a
// coordinate that is not a number and platform::IoError for a failed write.
void ConvertLine(ConversionState& state, std::string_view line);

// The bulk of a drill file is lines of nothing but an X and a Y word. Take() converts such a line as
// ConvertLine would, byte for byte, but holds the program lines and writes them in large pieces; any line it
// is not certain about it leaves alone (returns false). Before the caller writes anything itself or calls
// ConvertLine, it calls Flush(). The watcher does not see the lines taken here; the first inch coordinate
// with a decimal point is noted all the same.
class CoordinateLines {
public:
    explicit CoordinateLines(ConversionState& state);
    ~CoordinateLines();
    CoordinateLines(const CoordinateLines&) = delete;
    CoordinateLines& operator=(const CoordinateLines&) = delete;

    // The line is counted in state.InputLine already.
    bool Take(std::string_view line);
    // Writes the held lines to state.OutputFile, before the caller writes or converts anything itself.
    // Throws platform::IoError.
    void Flush();

private:
    struct Coordinate;
    bool Read(std::string_view text, double offset, Coordinate& coordinate) const;
    void AppendLineNumber(char*& p);
    void WriteHeld();

    ConversionState& state_;
    bool usable_;
    std::unique_ptr<char[]> held_;
    std::size_t size_ = 0;
    // The observer may hold holes (taken here or by ConvertLine) that belong after everything held here.
    bool holesTaken_ = false;
    // The line number as its five digits, advanced in place while it is `numberFor_`.
    char numberDigits_[5] = {};
    bool numberKnown_ = false;
    std::int32_t numberFor_ = 0;
    char incrementDigits_[5] = {};
    std::size_t incrementStart_ = 0; // the first digit of the increment that is not zero
    std::string fullText_;
};

} // namespace korvex::conversion
