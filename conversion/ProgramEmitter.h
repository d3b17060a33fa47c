// The one writer of a run's program lines after the banner: line numbers, tool-change blocks, holes, paths,
// comments and plain lines. Both readings write through it, and it tells the run's observer what it wrote.
// It lives in the engine because the plain reading writes through it and the engine depends on nothing else.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "conversion/RunObserver.h"

namespace korvex::conversion {

struct ConversionState;

struct HolePosition {
    double x = 0.0;
    double y = 0.0;
};

// Chooses the order of one run of holes: the holes between two other program lines, all with the same tool
// and depths. The writer holds such a run and writes it in the order given once anything else is written.
class HoleOrder {
public:
    virtual ~HoleOrder();
    // A permutation of 0..holes.size()-1. `fixed`: some hole leaves out a coordinate the machine keeps from
    // the hole before, so the run must stay in the file's order (the identity is expected).
    virtual std::vector<std::size_t> Order(const std::vector<HolePosition>& holes, bool fixed) = 0;

    // What a reading that reads the whole file before writing knows in advance, in writing order: each run of
    // holes the writer will ask Order about, and between them the paths, which leave the machine elsewhere.
    struct Ahead {
        std::vector<HolePosition> holes; // a run; empty for a path
        HolePosition pathStart;
        HolePosition pathEnd;
    };
    // Told before the first run is written; an order may plan the runs together. Ignored by default.
    virtual void Foresee(const std::vector<Ahead>& steps);
};

class ProgramEmitter {
public:
    // Writes to state.OutputFile, numbers with state's numbering, tells state.Observer, and holds holes for
    // state.Order while one is set.
    explicit ProgramEmitter(ConversionState& state);
    ~ProgramEmitter();
    ProgramEmitter(const ProgramEmitter&) = delete;
    ProgramEmitter& operator=(const ProgramEmitter&) = delete;

    // Between BeginLines and EndLines the lines are collected and written in one piece (long ones in pieces);
    // otherwise each call writes its lines at once. Throws platform::IoError for a failed write.
    void BeginLines();
    void EndLines();

    // "; " + text + suffix
    void Comment(std::string_view text, std::string_view suffix = {});
    // A line without a line number.
    void Plain(std::string_view text);
    void Numbered(std::string_view text);
    // The diameter the drill file gives a tool (only told to the observer: the program does not name it).
    void ToolDiameter(std::int32_t tool, double diameterMm);
    // "; " + text + " ; Tool-definition"; for GRBL with the diameter in mm (`diameterMm`, or as ToolDiameter
    // told it) and the number the program uses where it renumbers the tool.
    void ToolDefinition(std::int32_t tool, std::string_view text, std::optional<double> diameterMm = {});
    // The tool-change block: the macro before, the tool word, the macro after; later holes drill with the
    // tool's Z words.
    void SelectTool(std::int32_t tool, std::string_view word);
    // What starts each part's tool-change block with ConversionState::SplitMarks: "; " kPartMark "T01 0.800 mm".
    static constexpr std::string_view kPartMark = "Program part: ";

    // A comment; later holes belong to no tool.
    void UnloadTool(std::string_view comment);
    // Retract, rapid to the hole, feed down: three numbered lines, now or (with a hole order) once the run of
    // holes ends. The words are copied. With a canned cycle in state.Cycle: the retract and the cycle's line
    // at the first hole of a run, then the hole's X and Y alone; any other line but a comment ends the cycle
    // with G80 first.
    void Hole(const HoleEvent& hole);
    // Retract, rapid to the start, feed down, the segments, retract; `path` in mm as written. Leaves the
    // machine's last position at the path's end. A milled hole (helixPassMm) feeds down to Z0 instead and goes
    // on down along its segments, each with a Z word, the last turn's ending on the tool's depth word.
    void Path(const PathEvent& path);
    // Writes the held holes (in the order chosen for them) and whatever was collected.
    void Flush();

    // The coordinate word ("X12.500") for `value`. Throws ConversionError "Value out of range: " when the
    // value has no plain decimal text (a machine must never get "1.00000E+36" or "INF").
    static void AppendWord(std::string& out, char letter, double value);

    // Whether any hole is held back.
    bool Holding() const { return !held_.empty(); }

private:
    struct HeldHole {
        HolePosition at;
        std::uint32_t wordsAt = 0;
        std::uint32_t xLength = 0;
        std::uint32_t yLength = 0;
        bool ownX = false; // the drill line itself named the coordinate
        bool ownY = false;
    };
    class Block;

    // The tool number a GRBL program gives `tool`: itself up to 255 unless taken, otherwise the lowest free one.
    std::int32_t GrblNumber(std::int32_t tool);
    // " 1.000 mm", or nothing when the drill file gave no diameter.
    std::string DiameterText(std::int32_t tool) const;
    void Hold(const HoleEvent& hole);
    void WriteHeld();
    void WriteHeldHole(const HeldHole& hole, bool bothWords);
    void NumberedLine(std::string_view command, std::string_view rest);
    // The lines of one hole; an empty word is left out.
    void HoleLines(std::string_view xWord, std::string_view yWord, const std::string& zUp, const std::string& zDown);
    void EndCycle();
    void Written();
    // The turns a milled hole's helix takes down to the tool's depth; 0 for a plain path.
    int HelixTurns(const PathEvent& path) const;
    // The number in a Z word ("Z-1.8" -> -1.8); 0 when the word is no plain number.
    static double ZWordValue(std::string_view word);
    void WriteBlock();

    ConversionState& state_;
    std::unique_ptr<Block> block_;
    // GRBL: the diameters the drill file gave (mm), and the numbers given to tools so far (declared after
    // state_, which fills them).
    std::map<std::int32_t, double> diameters_;
    std::map<std::int32_t, std::int32_t> grblNumbers_;
    std::set<std::int32_t> grblNumbersUsed_;
    int collecting_ = 0;

    // Holes held for the hole order. Their coordinate words sit in heldWords_: the X word, then the Y word;
    // either is empty when the line left it out and no earlier hole named it.
    std::vector<HeldHole> held_;
    std::string heldWords_;
    std::string heldZUp_;
    std::string heldZDown_;
    std::int32_t heldTool_ = -1;
    // The last X and Y word of a hole in the drill file's order, with the value it stands for.
    std::string lastXWord_;
    std::string lastYWord_;
    double lastX_ = 0.0;
    double lastY_ = 0.0;
    // The coordinate words the program last gave the machine while holes are held (empty when unknown).
    std::string writtenXWord_;
    std::string writtenYWord_;
    // The canned cycle in force and the Z words it was started with; a change of either starts it anew.
    bool cycleOn_ = false;
    std::string cycleZUp_;
    std::string cycleZDown_;
};

// The run's writer: state.Emitter while a run goes on, otherwise one for the calling thread that writes at
// once and holds nothing (for single lines converted outside a run).
ProgramEmitter& EmitterOf(ConversionState& state);

} // namespace korvex::conversion
