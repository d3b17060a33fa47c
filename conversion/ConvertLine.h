// The tokenizer and word interpreter: one drill-file line in, G-code lines out.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace korvex::conversion {

struct ConversionState;
struct HoleEvent;

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
// ConvertLine would, byte for byte, but writes the program lines straight into the writer's buffer (where it
// offers room) or holds them and writes them in large pieces; any line it is not certain about it leaves
// alone (returns false). Before the caller writes anything itself or calls ConvertLine, it calls Flush(). The
// watcher does not see the lines taken here (nothing in a line of only X and Y words concerns it); the first
// inch coordinate with a decimal point is noted all the same. The observer is told about the holes in
// batches. With a hole order the holes go to the run's writer (ProgramEmitter), which holds them.
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
    // "G00 Z1.000\r\n" or "G01 Z-2.000\r\n", also as a block for the block copy when it is short.
    struct ZLine {
        std::string text;
        char block[32];
        void Set(std::string_view command, std::string_view z);
        char* Put(char* p) const;
    };
    std::size_t Read(std::string_view line, std::size_t start, double offset, Coordinate& coordinate);
    void AppendLineNumber(char*& p);
    void SetZLines();
    // Makes room for `needed` bytes: in the writer's own buffer where it offers one, else in held_.
    void Room(std::size_t needed);
    void HandOnWatched();
    void WriteHeld();

    ConversionState& state_;
    bool usable_;
    // The observer is told about the holes in batches, with their words in the buffer.
    bool watchOnly_;
    // A hole order is set: every hole goes to the run's writer, which holds it.
    bool holding_;
    std::unique_ptr<HoleEvent[]> watched_;
    std::size_t watchedCount_ = 0;
    // Where the lines go until they are written: a room in the writer (committed), or held_ (written).
    char* buffer_ = nullptr;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
    bool inWriter_ = false;
    std::unique_ptr<char[]> held_;
    std::size_t heldCapacity_ = 0;
    ZLine up_;
    ZLine down_;
    bool zChanged_ = false; // the caller converted lines that may have selected another tool
    // The line number "N12345 " as text in a word, advanced in place while it is `numberFor_`.
    std::uint64_t numberWord_ = 0;
    bool numberKnown_ = false;
    std::int32_t numberFor_ = 0;
    std::uint64_t incrementWord_ = 0; // the increment's last five digits in the digit lanes
    std::string fullText_;
};

} // namespace korvex::conversion
