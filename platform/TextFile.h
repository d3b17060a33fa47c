// Line-oriented text files for the drill file and the G-code program.
//
// Windows share modes do not exist here, so this layer supplies what the converter relied on them for:
// the drill file can never be the file being written, and two converters never write one output at once.
#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

namespace korvex::platform {

// A failed read or write of an open file. The message names the file and the system's reason.
class IoError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Identifies a file independently of the name it was reached by (links, "..", symlinks).
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    friend bool operator==(const FileIdentity& a, const FileIdentity& b) {
        return a.device == b.device && a.inode == b.inode;
    }
};

// Reads 8-bit text line by line: a line ends at LF or CR LF, a lone CR is dropped, and Ctrl-Z (0x1A) is an
// end-of-file mark (at a line start it ends the input; inside a line it ends that line and the rest of that
// line is skipped). Lines may be of any length; memory stays proportional to the longest line.
class TextLineReader {
public:
    // nullptr when the file cannot be opened for reading or is no regular file (a folder, pipe or device).
    static std::unique_ptr<TextLineReader> Open(const std::string& path);
    // Reads from an already open descriptor (standard input); the reader does not close it.
    static std::unique_ptr<TextLineReader> FromDescriptor(int fd, std::string name);
    ~TextLineReader();
    TextLineReader(const TextLineReader&) = delete;
    TextLineReader& operator=(const TextLineReader&) = delete;

    // Next line without its end into `line`; false when the input is exhausted. Throws IoError.
    bool ReadLine(std::string& line);
    // The same line as a view, into the read buffer where the line lies whole in it (no copy) or into a
    // line assembled inside the reader. The view is valid until the next read.
    bool ReadLine(std::string_view& line);
    // From now on a lone CR ends a line too, as in files with the old Macintosh line ends; a CR before LF is still
    // one line end.
    void EndLinesAtLoneCr() { loneCrEndsLine_ = true; }
    const FileIdentity& Identity() const { return identity_; }
    const std::string& Name() const { return name_; }

private:
    TextLineReader(int fd, std::string name, FileIdentity identity, bool owned);
    bool FillBuffer();

    int fd_;
    bool owned_;
    std::string name_;
    FileIdentity identity_;
    std::unique_ptr<char[]> buffer_;
    std::size_t begin_ = 0;
    std::size_t end_ = 0;
    bool eof_ = false;
    bool finished_ = false;
    bool loneCrEndsLine_ = false;
    std::string assembled_;
};

// Receives the lines of a G-code program; every line is written with CR LF.
class TextLineWriter {
public:
    virtual ~TextLineWriter();
    virtual void WriteLine(std::string_view text) = 0;
    // Several lines at once, each already ending in CR LF (the converter hands over everything one drill
    // line gives in one piece). The default splits them into WriteLine calls.
    virtual void WriteLines(std::string_view linesWithCrLf);
    // For a caller that produces many lines: room for at least `size` bytes of them straight in the writer's
    // own buffer (`available` bytes in all), or nullptr when the writer has none (the default) and the caller
    // writes through WriteLines. The bytes become output through Commit(n), the first n of them, which must
    // come before any other call on the writer. Throws IoError.
    virtual char* Room(std::size_t size, std::size_t& available);
    virtual void Commit(std::size_t size);
    // Makes the written program visible under its name. Throws IoError. A writer destroyed without Close
    // leaves no partial program behind.
    virtual void Close() = 0;
};

// Creates `path` for writing. Returns nullptr when it cannot be created: folder missing or read-only, the
// path is a folder, it is the very file `input` (by device and inode, whatever name reached it), or
// another converter is writing it right now (advisory lock). The content goes to a temporary file beside
// the target and replaces the target only on Close, so an older program survives a failed run whole.
std::unique_ptr<TextLineWriter> CreateTextOutputFile(const std::string& path, const FileIdentity* input);

// Writes to an already open descriptor (standard output); Close flushes.
std::unique_ptr<TextLineWriter> DescriptorTextWriter(int fd, std::string name);

} // namespace korvex::platform
