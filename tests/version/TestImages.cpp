#include "tests/version/TestImages.h"

#include <filesystem>
#include <fstream>
#include <stdexcept>

#include <unistd.h>

namespace korvex::test {

namespace {

class Writer {
public:
    explicit Writer(bool bigEndian = false) : big_(bigEndian) {}

    std::vector<std::uint8_t> bytes;

    void Fill(std::size_t size) { bytes.resize(size > bytes.size() ? size : bytes.size(), 0); }

    void Put(std::size_t at, std::uint64_t value, int width) {
        Fill(at + width);
        for (int i = 0; i < width; ++i) {
            const int shift = 8 * (big_ ? width - 1 - i : i);
            bytes[at + i] = static_cast<std::uint8_t>(value >> shift);
        }
    }
    void U16(std::size_t at, std::uint64_t value) { Put(at, value, 2); }
    void U32(std::size_t at, std::uint64_t value) { Put(at, value, 4); }
    void U64(std::size_t at, std::uint64_t value) { Put(at, value, 8); }
    void Bytes(std::size_t at, const std::vector<std::uint8_t>& data) {
        Fill(at + data.size());
        std::copy(data.begin(), data.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at));
    }
    void Text(std::size_t at, const std::string& text) {
        Bytes(at, std::vector<std::uint8_t>(text.begin(), text.end()));
    }

private:
    bool big_;
};

constexpr std::uint32_t kFileAlignment = 0x200;
constexpr std::uint32_t kResourceRva = 0x1000;

std::uint32_t AlignUp(std::uint32_t n, std::uint32_t to) {
    return (n + to - 1) / to * to;
}

} // namespace

std::vector<std::uint8_t> MakePe(const std::vector<std::uint8_t>& block, const PeOptions& options) {
    Writer pe;
    pe.Text(0, "MZ");
    pe.U32(0x3C, 0x40);
    pe.Text(0x40, std::string("PE\0\0", 4));
    const std::size_t coff = 0x44;
    const std::uint32_t optionalSize = options.is64 ? 240 : 224;
    pe.U16(coff, options.is64 ? 0x8664 : 0x14C);
    pe.U16(coff + 2, 1); // one section
    pe.U16(coff + 16, optionalSize);
    pe.U16(coff + 18, options.isDll ? 0x2102 : 0x0102);

    // Resource section: three directory levels, one data entry, then the block.
    Writer rsrc;
    if (options.withResources) {
        rsrc.U16(14, 1); // root: one id entry
        rsrc.U32(16, 16);
        rsrc.U32(20, 0x80000000u | 24);
        rsrc.U16(24 + 14, 1); // names
        rsrc.U32(24 + 16, options.versionNameId);
        rsrc.U32(24 + 20, 0x80000000u | 48);
        rsrc.U16(48 + 14, 1); // languages
        rsrc.U32(48 + 16, 0x0409);
        rsrc.U32(48 + 20, 72);
        rsrc.U32(72, kResourceRva + 88); // data entry: RVA and size of the block
        rsrc.U32(76, static_cast<std::uint32_t>(block.size()));
        rsrc.Bytes(88, block);
    }
    rsrc.Fill(1);
    const auto rawSize = AlignUp(static_cast<std::uint32_t>(rsrc.bytes.size()), kFileAlignment);

    const std::size_t opt = coff + 20;
    pe.U16(opt, options.is64 ? 0x20B : 0x10B);
    pe.U32(opt + 32, 0x1000); // section alignment
    pe.U32(opt + 36, kFileAlignment);
    pe.U16(opt + 48, options.subsystemMajor);
    pe.U16(opt + 50, options.subsystemMinor);
    pe.U32(opt + 56, kResourceRva + AlignUp(rawSize, 0x1000)); // size of image
    pe.U32(opt + 60, kFileAlignment);                          // size of headers
    pe.U16(opt + 68, options.subsystem);
    const std::size_t directories = opt + (options.is64 ? 112 : 96);
    pe.U32(directories - 4, 16);
    if (options.withResources) {
        pe.U32(directories + 16, kResourceRva);
        pe.U32(directories + 20, static_cast<std::uint32_t>(rsrc.bytes.size()));
    }
    const std::size_t section = opt + optionalSize;
    pe.Text(section, ".rsrc");
    pe.U32(section + 8, static_cast<std::uint32_t>(rsrc.bytes.size()));
    pe.U32(section + 12, kResourceRva);
    pe.U32(section + 16, rawSize);
    pe.U32(section + 20, kFileAlignment);
    pe.U32(section + 36, 0x40000040u);

    pe.Fill(kFileAlignment);
    rsrc.Fill(rawSize);
    pe.Bytes(kFileAlignment, rsrc.bytes);
    return pe.bytes;
}

std::vector<std::uint8_t> MakeElf(const std::vector<std::uint8_t>& contents, const ElfOptions& options) {
    Writer elf(options.bigEndian);
    const bool is64 = options.is64;
    elf.Bytes(0, {0x7F, 'E', 'L', 'F'});
    elf.Fill(16);
    elf.bytes[4] = is64 ? 2 : 1;
    elf.bytes[5] = options.bigEndian ? 2 : 1;
    elf.bytes[6] = 1;
    elf.U16(16, options.type);
    elf.U16(18, is64 ? 62 : 3);
    elf.U32(20, 1);
    const std::size_t headerSize = is64 ? 64 : 52;
    elf.U16(is64 ? 52 : 40, headerSize);

    const std::string names = std::string("\0.shstrtab\0.text\0", 17) + options.sectionName + '\0';
    const std::size_t namesAt = headerSize;
    elf.Text(namesAt, names);
    const std::vector<std::uint8_t> code = {0xC3, 0x90, 0x90, 0x90};
    const std::size_t codeAt = (namesAt + names.size() + 7) / 8 * 8;
    elf.Bytes(codeAt, code);
    const std::size_t contentsAt = codeAt + code.size();
    elf.Bytes(contentsAt, contents);
    const std::size_t tableAt = (contentsAt + contents.size() + 7) / 8 * 8;
    const std::size_t entrySize = is64 ? 64 : 40;
    const std::size_t count = contents.empty() ? 3 : 4;

    auto section = [&](std::size_t index, std::uint32_t name, std::uint32_t type, std::size_t offset,
                       std::size_t size) {
        const std::size_t at = tableAt + index * entrySize;
        elf.Fill(at + entrySize);
        elf.U32(at, name);
        elf.U32(at + 4, type);
        if (is64) {
            elf.U64(at + 24, offset);
            elf.U64(at + 32, size);
        } else {
            elf.U32(at + 16, offset);
            elf.U32(at + 20, size);
        }
    };
    section(0, 0, 0, 0, 0);
    section(1, 1, 3, namesAt, names.size()); // .shstrtab
    section(2, 11, 1, codeAt, code.size());  // .text
    if (!contents.empty()) {
        section(3, 17, 1, contentsAt, contents.size());
    }
    if (is64) {
        elf.U64(0x28, tableAt);
        elf.U16(0x3A, entrySize);
        elf.U16(0x3C, count);
        elf.U16(0x3E, 1);
    } else {
        elf.U32(0x20, tableAt);
        elf.U16(0x2E, entrySize);
        elf.U16(0x30, count);
        elf.U16(0x32, 1);
    }
    return elf.bytes;
}

namespace {

std::filesystem::path TempFolder() {
    return std::filesystem::temp_directory_path() / ("korvex-version-tests-" + std::to_string(::getpid()));
}

// Removes the files of this process when it ends.
struct TempFolderRemover {
    ~TempFolderRemover() {
        std::error_code ignored;
        std::filesystem::remove_all(TempFolder(), ignored);
    }
} tempFolderRemover;

} // namespace

std::string WriteTempFile(const std::string& name, const std::vector<std::uint8_t>& bytes) {
    const std::filesystem::path folder = TempFolder();
    std::filesystem::create_directories(folder);
    const std::filesystem::path path = folder / name;
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!file.flush()) {
        throw std::runtime_error("cannot write " + path.string());
    }
    return path.string();
}

} // namespace korvex::test
