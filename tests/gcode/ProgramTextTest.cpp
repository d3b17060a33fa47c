#include "gcode/ProgramText.h"

#include <gtest/gtest.h>

#include <string>

namespace korvex::gcode {
namespace {

struct SafeTextRow {
    const char* name;
    Controller controller;
    std::string line;
    std::string expected;
};

void PrintTo(const SafeTextRow& row, std::ostream* out) {
    *out << row.name;
}

class SafeTextTest : public ::testing::TestWithParam<SafeTextRow> {};

TEST_P(SafeTextTest, ReplacesWhatTheControllerMustNotSee) {
    const SafeTextRow& row = GetParam();
    std::string line = row.line;
    EXPECT_EQ(MakeProgramTextSafe(line, row.controller), row.expected != row.line);
    EXPECT_EQ(line, row.expected);
    EXPECT_EQ(IsProgramTextSafe(row.line, row.controller), row.expected == row.line);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, SafeTextTest,
    ::testing::Values(
        SafeTextRow{"grbl_real_time_commands", Controller::Grbl, "; #@! v5.99~106 ok?", "; #@_ v5.99_106 ok_"},
        SafeTextRow{"grbl_parenthesis_comment", Controller::Grbl, "G04 P2 (wait!)", "G04 P2 (wait_)"},
        SafeTextRow{"grbl_reset_byte", Controller::Grbl, std::string("; a\x18z"), "; a_z"},
        SafeTextRow{"utf8_letter_is_one_stand_in", Controller::Grbl, "; M\xC3\xBCller \xE2\x82\xAC", "; M_ller _"},
        SafeTextRow{"broken_utf8_byte_by_byte", Controller::LinuxCnc, "; \xC3(\xFF\xFE", "; _(__"},
        SafeTextRow{"del_and_lone_cr", Controller::Generic, "; a\x7F\rb", "; a__b"},
        SafeTextRow{"tab_stays", Controller::Grbl, "; a\tb", "; a\tb"},
        SafeTextRow{"other_controllers_keep_real_time_bytes", Controller::LinuxCnc, "; ok? yes!", "; ok? yes!"},
        SafeTextRow{"no_controller_keeps_everything", Controller::None, "; M\xC3\xBCller!", "; M\xC3\xBCller!"}),
    [](const ::testing::TestParamInfo<SafeTextRow>& row) { return std::string(row.param.name); });

// A writer that keeps what it is given.
class KeepingWriter : public platform::TextLineWriter {
public:
    explicit KeepingWriter(std::string& text) : text_(text) {}
    void WriteLine(std::string_view line) override { text_.append(line).append("\r\n"); }
    void WriteLines(std::string_view lines) override { text_.append(lines); }
    void Close() override {}

private:
    std::string& text_;
};

TEST(SafeWriterTest, KeepsLineEndsAndOffersNoRoom) {
    std::string written;
    std::unique_ptr<platform::TextLineWriter> writer =
        SafeProgramTextWriter(std::make_unique<KeepingWriter>(written), Controller::Grbl);
    std::size_t available = 1;
    EXPECT_EQ(writer->Room(64, available), nullptr);
    writer->WriteLines("; a!\r\nN00005 G00 Z1.00\r\n");
    writer->WriteLine("; ~\xC3\xA9");
    EXPECT_EQ(written, "; a_\r\nN00005 G00 Z1.00\r\n; __\r\n");
}

} // namespace
} // namespace korvex::gcode
