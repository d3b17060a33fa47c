// The tokenizer and word interpreter: one drill-file line in, G-code lines out.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace korvex::conversion {

struct ConversionState;

// The words of one line, as views into that line. Lines of more than 16 words (or 254 characters) are
// converted whole rather than cut, so the list grows as needed.
struct WordList {
    std::vector<std::string_view> slots;
    int count = 0;
};

// Splits `line` into words: blanks skipped, a run of letters ("A".."z" and "%") followed by a run of
// "0".."9", ".", "-", "+". Anything else where a word would start gives an empty word and is skipped.
// Everything from the first ';' on is ignored. Returns the number of words.
int SplitWords(std::string_view line, WordList& words);

// Interprets one input line and writes its G-code lines to state.OutputFile. Throws ConversionError for a
// coordinate that is not a number and platform::IoError for a failed write.
void ConvertLine(ConversionState& state, std::string_view line);

} // namespace korvex::conversion
