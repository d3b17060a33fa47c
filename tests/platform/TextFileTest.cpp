#include "platform/TextFile.h"

#include <algorithm>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace korvex::platform {
namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

class TextFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder = fs::temp_directory_path() / ("korvex-textfile-" + std::to_string(::getpid()) + "-" +
                                              ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(folder);
        fs::create_directories(folder);
    }
    void TearDown() override {
        fs::permissions(folder, fs::perms::owner_all, fs::perm_options::add);
        fs::remove_all(folder);
    }

    fs::path Write(const std::string& name, const std::string& content) {
        const fs::path path = folder / name;
        std::ofstream file(path, std::ios::binary);
        file << content;
        return path;
    }

    static std::string Read(const fs::path& path) {
        std::ifstream file(path, std::ios::binary);
        std::ostringstream content;
        content << file.rdbuf();
        return content.str();
    }

    Lines ReadLines(const std::string& content) {
        auto reader = TextLineReader::Open(Write("in.txt", content).string());
        Lines lines;
        std::string line;
        while (reader->ReadLine(line)) {
            lines.push_back(line);
        }
        EXPECT_FALSE(reader->ReadLine(line)) << "the end of the input is final";
        // Lines handed out as views are the same lines.
        auto viewReader = TextLineReader::Open((folder / "in.txt").string());
        Lines viewed;
        std::string_view view;
        while (viewReader->ReadLine(view)) {
            viewed.emplace_back(view);
        }
        EXPECT_FALSE(viewReader->ReadLine(view));
        EXPECT_EQ(viewed, lines);
        return lines;
    }

    fs::path folder;
};

TEST_F(TextFileTest, LineEndsAndEndOfFileMarks) {
    struct Case {
        const char* name;
        std::string content;
        Lines lines;
    };
    const Case cases[] = {
        {"empty file", "", {}},
        {"crlf", "A\r\nB\r\n", {"A", "B"}},
        {"lf", "A\nB\n", {"A", "B"}},
        {"no final line end", "A\r\nB", {"A", "B"}},
        {"empty lines", "\r\n\nA\r\n", {"", "", "A"}},
        {"lone cr dropped", "A\rB\r\n", {"AB"}},
        {"cr cr lf", "A\r\r\nB", {"A", "B"}},
        {"lf cr", "A\n\rB\n", {"A", "B"}},
        {"final lone cr", "A\r", {"A"}},
        {"ctrl-z at line start",
         "A\r\n\x1a"
         "B\r\n",
         {"A"}},
        {"ctrl-z at file start",
         "\x1a"
         "A\r\n",
         {}},
        {"ctrl-z mid line",
         "AB\x1a"
         "CD\r\nE\r\n",
         {"AB", "E"}},
        {"ctrl-z mid line at end",
         "AB\x1a"
         "CD",
         {"AB"}},
        {"ctrl-z after last line", "A\r\n\x1a", {"A"}},
        {"eight-bit bytes", std::string("\xe4\xf6\xfc\x00Z\r\n", 7), {std::string("\xe4\xf6\xfc\x00Z", 5)}},
        // Line ends are searched for in words of eight bytes: other control bytes and bytes just above or far
        // above CR and Ctrl-Z belong to the line, at any place in a word.
        {"control bytes in long lines",
         "ABCDEFGH\tIJ\x1b\x1f\x01KLMNOPQRS\xff\x80\r\nTUVWXYZ\x19\x0c"
         "0123456789\n",
         {"ABCDEFGH\tIJ\x1b\x1f\x01KLMNOPQRS\xff\x80", "TUVWXYZ\x19\x0c"
                                                       "0123456789"}},
        {"lone cr inside a word", "ABCDEFGHIJ\rKLMNOPQRSTUV\n", {"ABCDEFGHIJKLMNOPQRSTUV"}},
        {"ctrl-z inside a word",
         "ABCDEFGHIJKL\x1a"
         "MNOPQRSTUVWX\nY\n",
         {"ABCDEFGHIJKL", "Y"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ReadLines(c.content), c.lines);
    }
}

TEST_F(TextFileTest, LinesLongerThanTheBufferAndEndsOnItsBoundary) {
    const std::string longLine(200000, 'X');
    EXPECT_EQ(ReadLines(longLine + "\r\nB"), (Lines{longLine, "B"}));
    // A CR as the last byte of one read and its LF as the first of the next.
    const std::string first(65535, 'A');
    EXPECT_EQ(ReadLines(first + "\r\nB\r\n"), (Lines{first, "B"}));
    EXPECT_EQ(ReadLines(first + "\rB\r\n"), (Lines{first + "B"}));
    EXPECT_EQ(ReadLines(first + "\x1a" + std::string(100000, 'C') + "\nD"), (Lines{first, "D"}));
}

TEST_F(TextFileTest, OpenRefusesMissingFilesAndFolders) {
    EXPECT_EQ(TextLineReader::Open((folder / "missing.drl").string()), nullptr);
    EXPECT_EQ(TextLineReader::Open(folder.string()), nullptr);
    EXPECT_EQ(TextLineReader::Open(""), nullptr);
}

TEST_F(TextFileTest, WrittenLinesEndInCrLfAndAppearOnlyOnClose) {
    const fs::path path = folder / "out.CNC";
    Write("out.CNC", "old\r\n");
    auto writer = CreateTextOutputFile(path.string(), nullptr);
    ASSERT_NE(writer, nullptr);
    writer->WriteLine("G00 Z1.000");
    writer->WriteLine("");
    writer->WriteLine(std::string(100000, 'Y'));
    EXPECT_EQ(Read(path), "old\r\n") << "the old program stays until the new one is complete";
    writer->Close();
    EXPECT_EQ(Read(path), "G00 Z1.000\r\n\r\n" + std::string(100000, 'Y') + "\r\n");
    writer.reset();
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1);
}

TEST_F(TextFileTest, AbandonedWriterLeavesNothingBehind) {
    const fs::path fresh = folder / "fresh.CNC";
    {
        auto writer = CreateTextOutputFile(fresh.string(), nullptr);
        ASSERT_NE(writer, nullptr);
        writer->WriteLine("N00000 G00 Z30");
    }
    EXPECT_FALSE(fs::exists(fresh));
    const fs::path existing = Write("old.CNC", "kept\r\n");
    {
        auto writer = CreateTextOutputFile(existing.string(), nullptr);
        writer->WriteLine("lost");
    }
    EXPECT_EQ(Read(existing), "kept\r\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1);
}

TEST_F(TextFileTest, OutputThatIsTheInputIsRefusedByAnyName) {
    const fs::path drill = Write("board.drl", "X1\r\n");
    fs::create_hard_link(drill, folder / "hard.drl");
    fs::create_symlink(drill, folder / "soft.drl");
    auto reader = TextLineReader::Open(drill.string());
    for (const fs::path& name : {drill, folder / "hard.drl", folder / "soft.drl", folder / "." / "board.drl"}) {
        EXPECT_EQ(CreateTextOutputFile(name.string(), &reader->Identity()), nullptr) << name;
    }
    EXPECT_EQ(Read(drill), "X1\r\n");
    EXPECT_NE(CreateTextOutputFile((folder / "other.CNC").string(), &reader->Identity()), nullptr);
}

TEST_F(TextFileTest, SymbolicLinkToAnOutputStaysALink) {
    const fs::path real = Write("real.CNC", "old");
    fs::create_symlink(real, folder / "link.CNC");
    auto writer = CreateTextOutputFile((folder / "link.CNC").string(), nullptr);
    ASSERT_NE(writer, nullptr);
    writer->WriteLine("new");
    writer->Close();
    EXPECT_TRUE(fs::is_symlink(folder / "link.CNC"));
    EXPECT_EQ(Read(real), "new\r\n");
}

TEST_F(TextFileTest, TwoConvertersNeverWriteOneOutput) {
    const fs::path path = folder / "out.CNC";
    auto first = CreateTextOutputFile(path.string(), nullptr);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(CreateTextOutputFile(path.string(), nullptr), nullptr);
    first->WriteLine("first");
    first->Close();
    first.reset();
    auto second = CreateTextOutputFile(path.string(), nullptr);
    ASSERT_NE(second, nullptr);
    second.reset();
    EXPECT_EQ(Read(path), "first\r\n");
}

TEST_F(TextFileTest, OutputsThatCannotBeCreated) {
    EXPECT_EQ(CreateTextOutputFile(folder.string(), nullptr), nullptr);
    EXPECT_EQ(CreateTextOutputFile((folder / "missing" / "out.CNC").string(), nullptr), nullptr);
    EXPECT_EQ(CreateTextOutputFile("", nullptr), nullptr);
    Write("file", "");
    EXPECT_EQ(CreateTextOutputFile((folder / "file" / "out.CNC").string(), nullptr), nullptr);
}

TEST_F(TextFileTest, ReadOnlyFolderRefusesTheOutput) {
    if (::geteuid() == 0) {
        GTEST_SKIP() << "root writes into read-only folders";
    }
    fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_EQ(CreateTextOutputFile((folder / "out.CNC").string(), nullptr), nullptr);
}

TEST_F(TextFileTest, FullDeviceReportsTheWrite) {
    auto writer = CreateTextOutputFile("/dev/full", nullptr);
    ASSERT_NE(writer, nullptr);
    try {
        for (int i = 0; i < 100000; ++i) {
            writer->WriteLine("N00000 G00 X1.000 Y2.000");
        }
        writer->Close();
        FAIL() << "no error raised";
    } catch (const IoError& error) {
        EXPECT_STREQ(error.what(), "Error writing /dev/full: No space left on device");
    }
}

// Pieces of a large program go to the file on a thread of its own; a small program is written without one.
TEST_F(TextFileTest, LargeOutputsAreWrittenOnAThreadSmallOnesWithout) {
    auto threads = [] { return std::distance(fs::directory_iterator("/proc/self/task"), fs::directory_iterator()); };
    const std::string line = "N00000 G00 X123.456 Y78.900"; // 29 bytes with its CR LF
    for (const int lines : {0, 1, 36157, 36158, 110000}) {
        SCOPED_TRACE(lines);
        const auto before = threads();
        const fs::path path = folder / "out.CNC";
        auto writer = CreateTextOutputFile(path.string(), nullptr);
        ASSERT_NE(writer, nullptr);
        for (int i = 0; i < lines; ++i) {
            writer->WriteLine(line);
        }
        const bool pastFirstPiece = static_cast<std::size_t>(lines) * 29 > (std::size_t{1} << 20);
        EXPECT_EQ(threads(), before + (pastFirstPiece ? 1 : 0));
        writer->Close();
        EXPECT_EQ(threads(), before);
        const std::string written = Read(path);
        ASSERT_EQ(written.size(), static_cast<std::size_t>(lines) * 29);
        for (std::size_t at = 0; at < written.size(); at += 29 * 997) {
            ASSERT_EQ(written.substr(at, 29), line + "\r\n") << at;
        }
    }
}

// Lines written through rooms in the writer's buffer, of sizes that do and do not fit a piece, keep their place
// between the lines written otherwise.
TEST_F(TextFileTest, LinesWrittenInTheWritersRoomKeepTheirPlace) {
    const fs::path path = folder / "out.CNC";
    auto writer = CreateTextOutputFile(path.string(), nullptr);
    ASSERT_NE(writer, nullptr);
    std::string expected;
    std::size_t serial = 0;
    for (const std::size_t size : {std::size_t{10}, std::size_t{700000}, std::size_t{400000}, std::size_t{1} << 20,
                                   (std::size_t{1} << 20) + 1, std::size_t{3}}) {
        std::size_t available = 0;
        char* room = writer->Room(size, available);
        const std::string text = std::to_string(serial++) + std::string(size, 'x') + "\r\n";
        if (room == nullptr) {
            EXPECT_GT(size, std::size_t{1} << 20);
            writer->WriteLines(text);
        } else {
            ASSERT_GE(available, size);
            // Committed in two parts; the bytes behind what is committed are overwritten by what follows.
            std::memcpy(room, text.data(), std::min(text.size(), available));
            const std::size_t first = std::min(text.size(), available) / 2;
            writer->Commit(first);
            room = writer->Room(text.size() - first, available);
            ASSERT_NE(room, nullptr);
            std::memcpy(room, text.data() + first, text.size() - first);
            writer->Commit(text.size() - first);
        }
        expected += text;
        writer->WriteLine("between");
        expected += "between\r\n";
    }
    writer->Close();
    EXPECT_TRUE(Read(path) == expected);
}

// A file-size limit in a child process is a disk that fails after N bytes: the error reaches the writer's
// caller whether it comes before the thread starts, in its first piece or later, and nothing is left behind.
TEST_F(TextFileTest, DiskFailingAfterNBytesEndsTheWriteAndLeavesNothing) {
    const fs::path path = folder / "out.CNC";
    for (const rlim_t limit : {rlim_t{0}, rlim_t{100}, rlim_t{(1 << 20) - 7}, rlim_t{(1 << 20) + 7}, rlim_t{3 << 20}}) {
        SCOPED_TRACE(limit);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::signal(SIGXFSZ, SIG_IGN);
            const rlimit size{limit, limit};
            ::setrlimit(RLIMIT_FSIZE, &size);
            int status = 2; // no error raised
            try {
                auto writer = CreateTextOutputFile(path.string(), nullptr);
                const std::string_view lines = "N00000 G00 X123.456 Y78.900\r\n";
                for (int i = 0; i < 200000; ++i) {
                    // Every other line through a room in the writer's buffer.
                    std::size_t available = 0;
                    char* room = i % 2 != 0 ? writer->Room(lines.size(), available) : nullptr;
                    if (room == nullptr) {
                        writer->WriteLines(lines);
                        continue;
                    }
                    std::memcpy(room, lines.data(), lines.size());
                    writer->Commit(lines.size());
                }
                writer->Close();
            } catch (const IoError& error) {
                status = error.what() == "Error writing " + path.string() + ": File too large" ? 0 : 3;
            }
            ::_exit(status);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 0) << "2: no error raised, 3: another message";
        EXPECT_TRUE(fs::is_empty(folder));
    }
}

} // namespace
} // namespace korvex::platform
