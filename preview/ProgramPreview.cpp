#include "preview/ProgramPreview.h"

#include "platform/AtomicFile.h"

namespace korvex::preview {

Scene LoadProgramScene(const std::string& path, const std::map<std::int32_t, double>& toolDiameters,
                       std::vector<Point> differences, std::error_code& error) {
    std::string program;
    error = platform::ReadWholeFile(path, program);
    if (error) {
        return BuildScene(PreviewModel());
    }
    return BuildScene(PreviewModel(ReadProgramMoves(program), toolDiameters, std::move(differences)));
}

Scene ProgramTextScene(std::string_view program, const std::map<std::int32_t, double>& toolDiameters,
                       std::vector<Point> differences) {
    return BuildScene(PreviewModel(ReadProgramMoves(program), toolDiameters, std::move(differences)));
}

} // namespace korvex::preview
