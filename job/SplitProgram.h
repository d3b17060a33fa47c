// A GRBL program split into one program per tool. GRBL takes nothing but resume or stop while it pauses, so an
// operator who must zero Z for each new drill runs one program per drill instead.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace korvex::job {

struct ProgramPart {
    std::string tool; // "T01 0.800 mm" as the part comment names it ("T01" without a known diameter)
    std::string text; // a whole program, lines ending in CR LF
};

// The parts of `program` as written with ConversionState::SplitMarks: one per tool, in the order the tools
// are first used, the sections of a tool selected twice joined. Each part starts with a line asking for the
// drill and a Z zero, then the program's leading comments, then the tool's sections; a part that does not end
// the program gets `endLines`. Work before the first tool change becomes a part of its own ("T00").
std::vector<ProgramPart> SplitProgram(std::string_view program, const std::vector<std::string>& endLines);

// "board-T01-0.800mm.nc" beside "board.nc" ("board-T01.nc" beside "board"): the output's path without its
// extension, the tool as "T01-0.800mm", the output's extension or ".nc".
std::string PartPath(const std::string& output, const std::string& tool);

} // namespace korvex::job
