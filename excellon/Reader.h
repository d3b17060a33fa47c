// Reads an Excellon drill file as the format says its numbers are written: holes, slots, routed paths and
// tools, in millimetres, handed to a sink in file order.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "conversion/RunObserver.h"
#include "excellon/Format.h"
#include "platform/TextFile.h"

namespace korvex::excellon {

class ReaderSink {
public:
    virtual ~ReaderSink();
    // A line of the file that becomes a comment: header words, Excellon's own codes, the file's comments.
    virtual void Comment(std::string_view text) = 0;
    // `zWord` / `bWord`: the definition's Z and B words as written ("Z-1.5"), empty when it has none.
    virtual void DefineTool(std::int32_t tool, std::optional<double> diameterMm, std::string_view text,
                            std::string_view zWord, std::string_view bWord) = 0;
    virtual void SelectTool(std::int32_t tool, std::string_view word) = 0;
    virtual void UnloadTool() = 0;
    virtual void Hole(double xMm, double yMm) = 0;
    // `path.tool` is left for the sink to fill.
    virtual void Path(const conversion::PathEvent& path) = 0;
    virtual void EndOfProgram() = 0;
    // A header line the reading does not know ("R,H", "/", an unknown word). It has been handed to Comment()
    // already; `line` counts from 1. The default ignores it.
    virtual void UnknownHeaderLine(std::size_t line, std::string_view text);
};

// All lines of a drill file as the Excellon reading takes them: a lone CR ends a line as LF and CR LF do, and a
// UTF-8 byte order mark before the first line is dropped. Throws platform::IoError.
std::vector<std::string> ReadDrillLines(platform::TextLineReader& input);

// `firstLine` is the number of lines[0] in the file, for the messages. Throws conversion::ConversionError
// naming the line (Line(), FileText()) for a number it cannot read or an arc it cannot draw. Header lines it does
// not know become comments (see ReaderSink::UnknownHeaderLine); body lines it cannot read stop it.
void ReadExcellon(const std::vector<std::string>& lines, std::size_t firstLine, const Format& format, ReaderSink& sink);

// The message for a file in which the reading found no tool, hole, slot or route: "no drill data in NAME",
// with a hint where the lines look like a Gerber file (%FS, %AD, D01 to D03).
bool LooksLikeGerber(const std::vector<std::string>& lines);
std::string NoDrillDataMessage(const std::vector<std::string>& lines, const std::string& name);

// A number word's value in file units: with a decimal point as written, otherwise by the format's digits and
// zeros. Empty for a text that is no number.
std::optional<double> ReadFormattedNumber(std::string_view text, const Format& format);

} // namespace korvex::excellon
