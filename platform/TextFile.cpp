#include "platform/TextFile.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <mutex>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace korvex::platform {

namespace {

constexpr std::size_t kBufferSize = 1 << 16;
constexpr char kCtrlZ = 0x1A;

std::string Reason(int error) {
    return std::strerror(error);
}

FileIdentity IdentityOf(const struct stat& st) {
    return FileIdentity{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
}

void WriteAll(int fd, const char* data, std::size_t size, const std::string& name) {
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            throw IoError("Error writing " + name + ": " + Reason(errno));
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
}

// Collects lines and hands them to the descriptor in large blocks.
class BufferedLines {
public:
    explicit BufferedLines(std::string name) : name_(std::move(name)) { buffer_.reserve(kBufferSize); }

    void Append(std::string_view text, int fd) {
        if (buffer_.size() + text.size() + 2 > kBufferSize) {
            Flush(fd);
        }
        if (text.size() + 2 > kBufferSize) {
            WriteAll(fd, text.data(), text.size(), name_);
            WriteAll(fd, "\r\n", 2, name_);
            return;
        }
        buffer_.append(text);
        buffer_.append("\r\n", 2);
    }

    void AppendRaw(std::string_view text, int fd) {
        if (buffer_.size() + text.size() > kBufferSize) {
            Flush(fd);
        }
        if (text.size() > kBufferSize) {
            WriteAll(fd, text.data(), text.size(), name_);
            return;
        }
        buffer_.append(text);
    }

    void Flush(int fd) {
        if (!buffer_.empty()) {
            WriteAll(fd, buffer_.data(), buffer_.size(), name_);
            buffer_.clear();
        }
    }

    const std::string& Name() const { return name_; }

private:
    std::string name_;
    std::string buffer_;
};

// Writes a file in pieces of 1 MiB on a thread of its own, so converting and writing overlap. The thread is
// started only once the output passes its first piece: a small file is written by the caller alone. Every
// piece is handed to the kernel's writeback at once, so the final fsync finds little left to wait for. The
// first write error is kept and raised by the caller's next Append or by Finish.
class PieceWriter {
public:
    PieceWriter(int fd, std::string name) : fd_(fd), name_(std::move(name)), current_(NewPiece()) {}
    ~PieceWriter() { Stop(); }
    PieceWriter(const PieceWriter&) = delete;
    PieceWriter& operator=(const PieceWriter&) = delete;

    void Append(std::string_view text) {
        while (!text.empty()) {
            const std::size_t room = kPiece - size_;
            const std::size_t part = std::min(room, text.size());
            std::memcpy(current_.get() + size_, text.data(), part);
            size_ += part;
            text.remove_prefix(part);
            if (size_ == kPiece) {
                HandOn();
            }
        }
    }

    // Room in the current piece, after handing it on when it has less than `size` left; nullptr for more than
    // a piece holds.
    char* Room(std::size_t size, std::size_t& available) {
        if (size > kPiece) {
            return nullptr;
        }
        if (kPiece - size_ < size) {
            HandOn();
        }
        available = kPiece - size_;
        return current_.get() + size_;
    }
    void Commit(std::size_t size) { size_ += size; }

    // Writes what is left and waits for the thread. Throws IoError.
    void Finish() {
        if (!thread_.joinable()) {
            WriteAll(fd_, current_.get(), size_, name_);
            size_ = 0;
            return;
        }
        if (size_ > 0) {
            HandOn();
        }
        {
            std::lock_guard<std::mutex> lock(mutex_);
            finishing_ = true;
        }
        changed_.notify_all();
        thread_.join();
        if (failed_) {
            throw IoError(error_);
        }
    }

    const std::string& Name() const { return name_; }

private:
    static constexpr std::size_t kPiece = std::size_t{1} << 20;
    static constexpr std::size_t kMaxQueued = 16; // room for the conversion to go on while the thread syncs
    static constexpr std::size_t kSyncEvery = 8 * kPiece;
    using Piece = std::unique_ptr<char[]>;
    struct Queued {
        Piece piece;
        std::size_t size;
    };

    static Piece NewPiece() { return Piece(new char[kPiece]); }

    void HandOn() {
        if (!thread_.joinable()) {
            thread_ = std::thread([this] { Run(); });
        }
        Piece next;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            changed_.wait(lock, [this] { return queue_.size() < kMaxQueued || failed_; });
            if (failed_) {
                throw IoError(error_);
            }
            queue_.push_back(Queued{std::move(current_), size_});
            if (!spare_.empty()) {
                next = std::move(spare_.back());
                spare_.pop_back();
            }
        }
        changed_.notify_all();
        current_ = next ? std::move(next) : NewPiece();
        size_ = 0;
    }

    void Run() {
        off_t offset = 0;
        for (;;) {
            Queued item;
            {
                std::unique_lock<std::mutex> lock(mutex_);
                changed_.wait(lock, [this] { return !queue_.empty() || finishing_ || stopping_; });
                if (stopping_ || (queue_.empty() && finishing_)) {
                    return;
                }
                item = std::move(queue_.front());
                queue_.pop_front();
            }
            changed_.notify_all();
            try {
                WriteAll(fd_, item.piece.get(), item.size, name_);
            } catch (const IoError& error) {
                {
                    std::lock_guard<std::mutex> lock(mutex_);
                    failed_ = true;
                    error_ = error.what();
                }
                changed_.notify_all();
                return;
            }
            const auto size = static_cast<off_t>(item.size);
            offset += size;
            // Start writing this piece back now, and every few pieces wait until the device holds what was
            // written: a virtual disk's cache flush takes time in proportion to what it has not yet
            // flushed, so the final fsync would otherwise pay for the whole file at the end. Here that
            // wait overlaps the conversion. A failure is the run's failure.
            ::sync_file_range(fd_, offset - size, size, SYNC_FILE_RANGE_WRITE);
            if (offset - synced_ >= static_cast<off_t>(kSyncEvery)) {
                if (::fdatasync(fd_) != 0 && errno != EINVAL) {
                    {
                        std::lock_guard<std::mutex> lock(mutex_);
                        failed_ = true;
                        error_ = "Error writing " + name_ + ": " + Reason(errno);
                    }
                    changed_.notify_all();
                    return;
                }
                synced_ = offset;
            }
            std::lock_guard<std::mutex> lock(mutex_);
            spare_.push_back(std::move(item.piece));
        }
    }

public:
    // Ends the thread without writing what is left (the file is being abandoned).
    void Stop() {
        if (!thread_.joinable()) {
            return;
        }
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stopping_ = true;
        }
        changed_.notify_all();
        thread_.join();
    }

private:
    int fd_;
    std::string name_;
    Piece current_;
    std::size_t size_ = 0;
    off_t synced_ = 0; // written and flushed to the device, by the thread
    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Queued> queue_;
    std::vector<Piece> spare_;
    bool finishing_ = false;
    bool stopping_ = false;
    bool failed_ = false;
    std::string error_;
};

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

std::string FileNameOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A program written beside its target and renamed over it on Close. The target itself stays open and
// locked while the run writes, which is what keeps a second converter away from it.
class ReplacingFileWriter final : public TextLineWriter {
public:
    ReplacingFileWriter(std::string name, std::string target, int targetFd, bool createdTarget, std::string temp,
                        int tempFd)
        : pieces_(tempFd, std::move(name)), target_(std::move(target)), targetFd_(targetFd),
          createdTarget_(createdTarget), temp_(std::move(temp)), tempFd_(tempFd) {}

    ~ReplacingFileWriter() override {
        pieces_.Stop(); // the thread must be gone before its file is
        if (tempFd_ >= 0) {
            ::close(tempFd_);
        }
        if (!committed_) {
            ::unlink(temp_.c_str());
            if (createdTarget_) {
                ::unlink(target_.c_str());
            }
        }
        ::close(targetFd_);
    }

    void WriteLine(std::string_view text) override {
        pieces_.Append(text);
        pieces_.Append(std::string_view("\r\n", 2));
    }
    void WriteLines(std::string_view linesWithCrLf) override { pieces_.Append(linesWithCrLf); }
    char* Room(std::size_t size, std::size_t& available) override { return pieces_.Room(size, available); }
    void Commit(std::size_t size) override { pieces_.Commit(size); }

    void Close() override {
        pieces_.Finish();
        if (::fsync(tempFd_) != 0 && errno != EINVAL) {
            throw IoError("Error writing " + pieces_.Name() + ": " + Reason(errno));
        }
        const int fd = tempFd_;
        tempFd_ = -1;
        if (::close(fd) != 0) {
            throw IoError("Error writing " + pieces_.Name() + ": " + Reason(errno));
        }
        if (::rename(temp_.c_str(), target_.c_str()) != 0) {
            throw IoError("Error writing " + pieces_.Name() + ": " + Reason(errno));
        }
        committed_ = true;
    }

private:
    PieceWriter pieces_;
    std::string target_;
    int targetFd_;
    bool createdTarget_;
    std::string temp_;
    int tempFd_;
    bool committed_ = false;
};

// Devices and pipes cannot be replaced by a rename; they are written in place.
class DescriptorWriter final : public TextLineWriter {
public:
    DescriptorWriter(int fd, std::string name, bool owned) : lines_(std::move(name)), fd_(fd), owned_(owned) {}
    ~DescriptorWriter() override {
        if (owned_) {
            ::close(fd_);
        }
    }
    void WriteLine(std::string_view text) override { lines_.Append(text, fd_); }
    void WriteLines(std::string_view linesWithCrLf) override { lines_.AppendRaw(linesWithCrLf, fd_); }
    void Close() override { lines_.Flush(fd_); }

private:
    BufferedLines lines_;
    int fd_;
    bool owned_;
};

constexpr bool kLittleEndian = __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__;

// The first LF, CR or Ctrl-Z in data[begin, end), or `end`. Eight bytes at a time: drill lines are short and
// nearly all their bytes are printable, so one test per word finds the few that are below 0x1B.
std::size_t FirstLineEnd(const char* data, std::size_t begin, std::size_t end) {
    constexpr std::uint64_t kOnes = 0x0101010101010101u;
    constexpr std::uint64_t kHighs = 0x8080808080808080u;
    std::size_t i = begin;
    for (;;) {
        while (kLittleEndian && i + 8 <= end) {
            std::uint64_t word = 0;
            std::memcpy(&word, data + i, 8);
            // A high bit in the lowest byte below 0x1B, and none in bytes before it (a borrow only moves up).
            const std::uint64_t below = (word - kOnes * 0x1B) & ~word & kHighs;
            if (below != 0) {
                i += static_cast<std::size_t>(__builtin_ctzll(below)) / 8;
                break;
            }
            i += 8;
        }
        while (i < end && static_cast<unsigned char>(data[i]) >= 0x1B) {
            ++i;
        }
        if (i == end || data[i] == '\n' || data[i] == '\r' || data[i] == kCtrlZ) {
            return i;
        }
        ++i; // another control character (a tab): part of the line
    }
}

} // namespace

TextLineReader::TextLineReader(int fd, std::string name, FileIdentity identity, bool owned)
    : fd_(fd), owned_(owned), name_(std::move(name)), identity_(identity), buffer_(new char[kBufferSize]) {}

TextLineReader::~TextLineReader() {
    if (owned_) {
        ::close(fd_);
    }
}

std::unique_ptr<TextLineReader> TextLineReader::Open(const std::string& path) {
    // Non-blocking, so a pipe without a writer cannot stop the program in open(); only regular files are
    // drill files (a device such as /dev/zero would be one endless line).
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        return nullptr;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) ||
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
        ::close(fd);
        return nullptr;
    }
    return std::unique_ptr<TextLineReader>(new TextLineReader(fd, path, IdentityOf(st), true));
}

std::unique_ptr<TextLineReader> TextLineReader::FromDescriptor(int fd, std::string name) {
    struct stat st {};
    FileIdentity identity;
    if (::fstat(fd, &st) == 0) {
        identity = IdentityOf(st);
    }
    return std::unique_ptr<TextLineReader>(new TextLineReader(fd, std::move(name), identity, false));
}

bool TextLineReader::FillBuffer() {
    if (eof_) {
        return false;
    }
    for (;;) {
        const ssize_t got = ::read(fd_, buffer_.get(), kBufferSize);
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            throw IoError("Error reading " + name_ + ": " + Reason(errno));
        }
        begin_ = 0;
        end_ = static_cast<std::size_t>(got);
        if (got == 0) {
            eof_ = true;
            return false;
        }
        return true;
    }
}

bool TextLineReader::ReadLine(std::string& line) {
    line.clear();
    if (finished_) {
        return false;
    }
    bool started = false;
    for (;;) {
        if (begin_ == end_ && !FillBuffer()) {
            finished_ = true;
            return started;
        }
        const char* data = buffer_.get();
        const std::size_t i = FirstLineEnd(data, begin_, end_);
        if (i > begin_) {
            line.append(data + begin_, i - begin_);
            started = true;
        }
        begin_ = i;
        if (i == end_) {
            continue;
        }
        const char special = data[i];
        ++begin_;
        if (special == '\n') {
            return true;
        }
        if (special == '\r') {
            started = true;
            if (begin_ == end_ && !FillBuffer()) {
                finished_ = true;
                return true;
            }
            if (buffer_[begin_] == '\n') {
                ++begin_;
                return true;
            }
            if (loneCrEndsLine_) {
                return true;
            }
            continue; // a lone CR is dropped and the line goes on
        }
        // Ctrl-Z: the end of the file at a line start, the end of this line inside one.
        if (!started) {
            finished_ = true;
            return false;
        }
        for (;;) {
            if (begin_ == end_ && !FillBuffer()) {
                finished_ = true;
                return true;
            }
            const void* lf = std::memchr(buffer_.get() + begin_, '\n', end_ - begin_);
            if (lf != nullptr) {
                begin_ = static_cast<std::size_t>(static_cast<const char*>(lf) - buffer_.get()) + 1;
                return true;
            }
            begin_ = end_;
        }
    }
}

bool TextLineReader::ReadLine(std::string_view& line) {
    if (!finished_) {
        const char* data = buffer_.get();
        const std::size_t i = FirstLineEnd(data, begin_, end_);
        // A line ending in LF or CR LF inside the buffer; everything else (a line across the buffer's end, a
        // lone CR, Ctrl-Z) is left to the reader that assembles lines.
        if (i < end_ && data[i] == '\n') {
            line = std::string_view(data + begin_, i - begin_);
            begin_ = i + 1;
            return true;
        }
        if (i + 1 < end_ && data[i] == '\r' && data[i + 1] == '\n') {
            line = std::string_view(data + begin_, i - begin_);
            begin_ = i + 2;
            return true;
        }
    }
    const bool read = ReadLine(assembled_);
    line = assembled_;
    return read;
}

TextLineWriter::~TextLineWriter() = default;

void TextLineWriter::WriteLines(std::string_view linesWithCrLf) {
    while (!linesWithCrLf.empty()) {
        const std::size_t end = linesWithCrLf.find("\r\n");
        if (end == std::string_view::npos) {
            WriteLine(linesWithCrLf);
            return;
        }
        WriteLine(linesWithCrLf.substr(0, end));
        linesWithCrLf.remove_prefix(end + 2);
    }
}

char* TextLineWriter::Room(std::size_t, std::size_t& available) {
    available = 0;
    return nullptr;
}

void TextLineWriter::Commit(std::size_t) {}

std::unique_ptr<TextLineWriter> CreateTextOutputFile(const std::string& path, const FileIdentity* input) {
    if (path.empty()) {
        return nullptr;
    }
    // Write beside the file a symbolic link points to, so the link survives the replacement.
    std::string target = path;
    struct stat linkStat {};
    if (::lstat(path.c_str(), &linkStat) == 0 && S_ISLNK(linkStat.st_mode)) {
        std::unique_ptr<char, decltype(&std::free)> resolved(realpath(path.c_str(), nullptr), &std::free);
        if (!resolved) {
            return nullptr;
        }
        target = resolved.get();
    }

    bool created = true;
    int targetFd = ::open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
    if (targetFd < 0 && errno == EEXIST) {
        created = false;
        targetFd = ::open(target.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
    }
    if (targetFd < 0) {
        return nullptr;
    }
    auto fail = [&]() -> std::unique_ptr<TextLineWriter> {
        if (created) {
            ::unlink(target.c_str());
        }
        ::close(targetFd);
        return nullptr;
    };
    struct stat st {};
    if (::fstat(targetFd, &st) != 0) {
        return fail();
    }
    if (input != nullptr && IdentityOf(st) == *input) {
        return fail();
    }
    if (::flock(targetFd, LOCK_EX | LOCK_NB) != 0) {
        return fail();
    }
    if (!S_ISREG(st.st_mode)) {
        return std::make_unique<DescriptorWriter>(targetFd, path, true);
    }

    std::string temp = FolderOf(target) + "/." + FileNameOf(target) + ".XXXXXX";
    const int tempFd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (tempFd < 0) {
        return fail();
    }
    // The new program keeps the permissions the old one had (or those a newly created file gets).
    if (::fchmod(tempFd, st.st_mode & 07777) != 0) {
        ::close(tempFd);
        ::unlink(temp.c_str());
        return fail();
    }
    return std::make_unique<ReplacingFileWriter>(path, target, targetFd, created, temp, tempFd);
}

std::unique_ptr<TextLineWriter> DescriptorTextWriter(int fd, std::string name) {
    return std::make_unique<DescriptorWriter>(fd, std::move(name), false);
}

} // namespace korvex::platform
