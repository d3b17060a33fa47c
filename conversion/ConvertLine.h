// The tokenizer and word interpreter: one drill-file line in, G-code lines out.
#pragma once

#include <cstdint>
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

// Interprets one input line and writes its G-code lines through the run's writer (EmitterOf(state)). Throws
// ConversionError for a coordinate that is not a number and platform::IoError for a failed write.
void ConvertLine(ConversionState& state, std::string_view line);

} // namespace korvex::conversion
