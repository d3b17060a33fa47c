// Helpers shared by the fuzz targets: a failed check aborts with a message, so that libFuzzer (or the replay
// driver) reports the input that broke it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include <sys/mman.h>
#include <unistd.h>

namespace korvex::fuzz {

[[noreturn]] inline void Fail(const char* file, int line, const char* condition, const std::string& detail) {
    std::fprintf(stderr, "%s:%d: check failed: %s\n%s\n", file, line, condition, detail.c_str());
    std::abort();
}

// Printable form of a text for failure messages: control and high bytes as \xHH.
inline std::string Escaped(std::string_view text, std::size_t limit = 200) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (std::size_t i = 0; i < text.size() && i < limit; ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c >= 0x20 && c < 0x7F && c != '\\') {
            out.push_back(static_cast<char>(c));
        } else {
            out += "\\x";
            out.push_back(kHex[c >> 4]);
            out.push_back(kHex[c & 15]);
        }
    }
    if (text.size() > limit) {
        out += "...";
    }
    return "\"" + out + "\"";
}

// An anonymous file in memory holding `bytes`, positioned at its start; -1 when the system has none to give.
// Lets the targets go through the real file layer without touching the disk.
inline int MemoryFile(const std::uint8_t* bytes, std::size_t size) {
    const int fd = ::memfd_create("korvex-fuzz", MFD_CLOEXEC);
    if (fd < 0) {
        return -1;
    }
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(fd, bytes + done, size - done);
        if (n <= 0) {
            ::close(fd);
            return -1;
        }
        done += static_cast<std::size_t>(n);
    }
    ::lseek(fd, 0, SEEK_SET);
    return fd;
}

} // namespace korvex::fuzz

#define KORVEX_FUZZ_CHECK(condition, detail)                                                                           \
    do {                                                                                                               \
        if (!(condition)) {                                                                                            \
            ::korvex::fuzz::Fail(__FILE__, __LINE__, #condition, (detail));                                            \
        }                                                                                                              \
    } while (false)
