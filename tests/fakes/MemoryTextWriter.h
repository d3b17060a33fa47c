// Collects written lines in memory, as the output file would hold them.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/TextFile.h"

namespace korvex::testing {

class MemoryTextWriter : public platform::TextLineWriter {
public:
    void WriteLine(std::string_view text) override { lines.emplace_back(text); }
    void Close() override { closed = true; }

    std::vector<std::string> lines;
    bool closed = false;
};

} // namespace korvex::testing
