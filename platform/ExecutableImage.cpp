#include "platform/ExecutableImage.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace korvex::platform {

namespace {

// ---- PE ----

constexpr std::uint32_t kRtVersion = 16;
constexpr std::uint32_t kVersionResourceName = 1;
constexpr std::uint32_t kSubdirectoryBit = 0x80000000u;
constexpr std::uint32_t kNameIsStringBit = 0x80000000u;
constexpr std::uint16_t kSubsystemWindowsCui = 3;

struct PeHeaders {
    std::uint32_t ntOffset = 0;       // "PE\0\0"
    std::uint64_t optionalOffset = 0; // optional header
    std::uint16_t optionalSize = 0;
    std::uint16_t sectionCount = 0;
    std::uint16_t magic = 0;
};

bool ReadPeHeaders(ByteView image, PeHeaders& headers) {
    std::uint16_t mz = 0;
    if (!image.U16(0, mz) || mz != 0x5A4D || !image.U32(0x3C, headers.ntOffset)) {
        return false;
    }
    std::uint32_t signature = 0;
    if (!image.U32(headers.ntOffset, signature) || signature != 0x00004550) {
        return false;
    }
    const std::uint64_t coff = std::uint64_t{headers.ntOffset} + 4;
    if (!image.U16(coff + 2, headers.sectionCount) || !image.U16(coff + 16, headers.optionalSize)) {
        return false;
    }
    headers.optionalOffset = coff + 20;
    return image.U16(headers.optionalOffset, headers.magic) && (headers.magic == 0x10B || headers.magic == 0x20B);
}

class PeImage {
public:
    PeImage(ByteView image, const PeHeaders& headers) : image_(image), headers_(headers) {}

    // The file bytes of [rva, rva + length), when one section's raw data holds all of them.
    ByteView MapRva(std::uint32_t rva, std::uint64_t length) const {
        const ByteView rest = MapRvaToSectionEnd(rva);
        return length <= rest.size ? rest.Sub(0, length) : ByteView();
    }

    // From `rva` to the end of its section's raw data (or of the file, when that ends first): resource
    // directories address each other relative to the start of the resource data.
    ByteView MapRvaToSectionEnd(std::uint32_t rva) const {
        const std::uint64_t table = headers_.optionalOffset + headers_.optionalSize;
        for (std::uint32_t i = 0; i < headers_.sectionCount; ++i) {
            const std::uint64_t header = table + std::uint64_t{i} * 40;
            std::uint32_t virtualAddress = 0, rawSize = 0, rawOffset = 0;
            if (!image_.U32(header + 12, virtualAddress) || !image_.U32(header + 16, rawSize) ||
                !image_.U32(header + 20, rawOffset)) {
                return {};
            }
            if (rva < virtualAddress || rva - virtualAddress >= rawSize) {
                continue;
            }
            const std::uint64_t inSection = rva - virtualAddress;
            const std::uint64_t start = std::uint64_t{rawOffset} + inSection;
            if (start > image_.size) {
                return {};
            }
            const std::uint64_t available = image_.size - start;
            const std::uint64_t wanted = rawSize - inSection;
            return image_.Sub(start, wanted < available ? wanted : available);
        }
        return {};
    }

private:
    ByteView image_;
    PeHeaders headers_;
};

struct DirectoryEntry {
    std::uint32_t name = 0;
    std::uint32_t target = 0;
};

// Entries of the resource directory at `offset`; false when its header is not there.
bool ReadDirectory(ByteView resources, std::uint32_t offset, std::vector<DirectoryEntry>& entries) {
    std::uint16_t named = 0, ids = 0;
    if (!resources.U16(std::uint64_t{offset} + 12, named) || !resources.U16(std::uint64_t{offset} + 14, ids)) {
        return false;
    }
    entries.clear();
    const std::uint32_t count = std::uint32_t{named} + ids;
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint64_t at = std::uint64_t{offset} + 16 + std::uint64_t{i} * 8;
        DirectoryEntry entry;
        if (!resources.U32(at, entry.name) || !resources.U32(at + 4, entry.target)) {
            break; // a count larger than the data: keep the entries that are there
        }
        entries.push_back(entry);
    }
    return true;
}

const DirectoryEntry* FindId(const std::vector<DirectoryEntry>& entries, std::uint32_t id) {
    for (const DirectoryEntry& entry : entries) {
        if ((entry.name & kNameIsStringBit) == 0 && (entry.name & 0xFFFF) == id) {
            return &entry;
        }
    }
    return nullptr;
}

bool IsSubdirectory(const DirectoryEntry* entry) {
    return entry != nullptr && (entry->target & kSubdirectoryBit);
}

// ---- ELF ----

class ElfReader {
public:
    ElfReader(ByteView image, bool bigEndian, bool is64) : image_(image), big_(bigEndian), is64_(is64) {}

    bool U16(std::uint64_t offset, std::uint16_t& value) const {
        if (!image_.Holds(offset, 2)) {
            return false;
        }
        const std::uint8_t* p = image_.data + offset;
        value = static_cast<std::uint16_t>(big_ ? (p[0] << 8 | p[1]) : (p[1] << 8 | p[0]));
        return true;
    }
    bool U32(std::uint64_t offset, std::uint32_t& value) const {
        std::uint16_t a = 0, b = 0;
        if (!U16(offset, a) || !U16(offset + 2, b)) {
            return false;
        }
        value = big_ ? (std::uint32_t{a} << 16 | b) : (std::uint32_t{b} << 16 | a);
        return true;
    }
    bool U64(std::uint64_t offset, std::uint64_t& value) const {
        std::uint32_t a = 0, b = 0;
        if (!U32(offset, a) || !U32(offset + 4, b)) {
            return false;
        }
        value = big_ ? (std::uint64_t{a} << 32 | b) : (std::uint64_t{b} << 32 | a);
        return true;
    }
    // An address-sized field: 8 bytes in 64-bit files, 4 in 32-bit ones.
    bool Word(std::uint64_t offset, std::uint64_t& value) const {
        if (is64_) {
            return U64(offset, value);
        }
        std::uint32_t narrow = 0;
        if (!U32(offset, narrow)) {
            return false;
        }
        value = narrow;
        return true;
    }
    bool Is64() const { return is64_; }

private:
    ByteView image_;
    bool big_;
    bool is64_;
};

struct ElfSection {
    std::uint32_t name = 0;
    std::uint32_t type = 0;
    std::uint64_t offset = 0;
    std::uint64_t size = 0;
    std::uint32_t link = 0;
};

constexpr std::uint32_t kShtNobits = 8;

bool ReadElfIdent(ByteView image, bool& bigEndian, bool& is64) {
    static const std::uint8_t kMagic[4] = {0x7F, 'E', 'L', 'F'};
    if (image.size < 16 || std::memcmp(image.data, kMagic, sizeof kMagic) != 0) {
        return false;
    }
    if ((image.data[4] != 1 && image.data[4] != 2) || (image.data[5] != 1 && image.data[5] != 2)) {
        return false;
    }
    is64 = image.data[4] == 2;
    bigEndian = image.data[5] == 2;
    return true;
}

bool ReadElfSection(const ElfReader& elf, std::uint64_t header, ElfSection& section) {
    if (elf.Is64()) {
        return elf.U32(header, section.name) && elf.U32(header + 4, section.type) &&
               elf.U64(header + 24, section.offset) && elf.U64(header + 32, section.size) &&
               elf.U32(header + 40, section.link);
    }
    std::uint32_t offset = 0, size = 0;
    if (!elf.U32(header, section.name) || !elf.U32(header + 4, section.type) || !elf.U32(header + 16, offset) ||
        !elf.U32(header + 20, size) || !elf.U32(header + 24, section.link)) {
        return false;
    }
    section.offset = offset;
    section.size = size;
    return true;
}

} // namespace

ByteView FindPeVersionResource(ByteView image) {
    PeHeaders headers;
    if (!ReadPeHeaders(image, headers)) {
        return {};
    }
    // The data directories: count and resource entry (index 2) sit further out in PE32+.
    const std::uint64_t countAt = headers.optionalOffset + (headers.magic == 0x20B ? 108 : 92);
    const std::uint64_t resourceAt = countAt + 4 + 2 * 8;
    std::uint32_t directoryCount = 0, resourceRva = 0, resourceSize = 0;
    if (!image.U32(countAt, directoryCount) || directoryCount < 3 ||
        resourceAt + 8 > headers.optionalOffset + headers.optionalSize || !image.U32(resourceAt, resourceRva) ||
        !image.U32(resourceAt + 4, resourceSize) || resourceRva == 0 || resourceSize == 0) {
        return {};
    }
    const PeImage pe(image, headers);
    const ByteView resources = pe.MapRvaToSectionEnd(resourceRva);

    std::vector<DirectoryEntry> entries;
    if (!ReadDirectory(resources, 0, entries)) {
        return {};
    }
    const DirectoryEntry* type = FindId(entries, kRtVersion);
    if (!IsSubdirectory(type)) {
        return {};
    }
    if (!ReadDirectory(resources, type->target & ~kSubdirectoryBit, entries) || entries.empty()) {
        return {};
    }
    const DirectoryEntry* name = FindId(entries, kVersionResourceName);
    if (name == nullptr) {
        name = &entries.front();
    }
    if (!IsSubdirectory(name)) {
        return {};
    }
    if (!ReadDirectory(resources, name->target & ~kSubdirectoryBit, entries) || entries.empty() ||
        IsSubdirectory(&entries.front())) {
        return {};
    }
    std::uint32_t dataRva = 0, dataSize = 0;
    if (!resources.U32(entries.front().target, dataRva) || !resources.U32(entries.front().target + 4, dataSize)) {
        return {};
    }
    return pe.MapRva(dataRva, dataSize);
}

ByteView FindElfVersionSection(ByteView image) {
    bool bigEndian = false, is64 = false;
    if (!ReadElfIdent(image, bigEndian, is64)) {
        return {};
    }
    const ElfReader elf(image, bigEndian, is64);
    std::uint64_t tableOffset = 0;
    std::uint16_t entrySize = 0, count16 = 0, names16 = 0;
    const std::uint64_t at = is64 ? 0x28 : 0x20; // e_shoff, then e_flags, e_ehsize, e_phentsize, e_phnum
    const std::uint64_t after = at + (is64 ? 8 : 4) + 10;
    if (!elf.Word(at, tableOffset) || !elf.U16(after, entrySize) || !elf.U16(after + 2, count16) ||
        !elf.U16(after + 4, names16) || tableOffset == 0 || entrySize < (is64 ? 64 : 40)) {
        return {};
    }
    // Files with very many sections keep the real count and string-table index in section 0.
    ElfSection first;
    if (!ReadElfSection(elf, tableOffset, first)) {
        return {};
    }
    const std::uint64_t count = count16 != 0 ? count16 : first.size;
    const std::uint64_t names = names16 != 0xFFFF ? names16 : first.link;
    if (count == 0 || names >= count || count > (image.size - tableOffset) / entrySize ||
        !image.Holds(tableOffset, count * entrySize)) {
        return {};
    }
    ElfSection strings;
    if (!ReadElfSection(elf, tableOffset + names * entrySize, strings)) {
        return {};
    }
    const ByteView nameTable = image.Sub(strings.offset, strings.size);
    const std::size_t wantedLength = sizeof kElfVersionSectionName; // with the terminating zero
    for (std::uint64_t i = 1; i < count; ++i) {
        ElfSection section;
        if (!ReadElfSection(elf, tableOffset + i * entrySize, section)) {
            return {};
        }
        const ByteView name = nameTable.Sub(section.name, wantedLength);
        if (name.empty() || std::memcmp(name.data, kElfVersionSectionName, wantedLength) != 0) {
            continue;
        }
        if (section.type == kShtNobits) {
            return {};
        }
        return image.Sub(section.offset, section.size);
    }
    return {};
}

ByteView FindVersionResource(ByteView image) {
    const ByteView pe = FindPeVersionResource(image);
    return pe.empty() ? FindElfVersionSection(image) : pe;
}

std::uint32_t ExecutableType(ByteView image) {
    std::uint16_t signature = 0;
    if (!image.U16(0, signature)) {
        return 0;
    }
    if (signature == 0x5A4D) {
        PeHeaders headers;
        if (ReadPeHeaders(image, headers)) {
            std::uint16_t subsystem = 0, major = 0, minor = 0;
            if (image.U16(headers.optionalOffset + 68, subsystem) && subsystem != kSubsystemWindowsCui &&
                image.U16(headers.optionalOffset + 48, major) && image.U16(headers.optionalOffset + 50, minor)) {
                return 0x4550u | std::uint32_t{static_cast<std::uint8_t>(major)} << 24 |
                       std::uint32_t{static_cast<std::uint8_t>(minor)} << 16;
            }
            return 0x4550u;
        }
        std::uint32_t next = 0;
        std::uint16_t ne = 0, expectedVersion = 0;
        if (image.U32(0x3C, next) && image.U16(next, ne) && ne == 0x454E && image.U16(next + 0x3E, expectedVersion)) {
            return 0x454Eu | std::uint32_t{expectedVersion} << 16;
        }
        return 0x5A4Du;
    }
    bool bigEndian = false, is64 = false;
    if (ReadElfIdent(image, bigEndian, is64)) {
        std::uint16_t type = 0;
        const ElfReader elf(image, bigEndian, is64);
        constexpr std::uint16_t kEtExec = 2, kEtDyn = 3;
        if (elf.U16(16, type) && (type == kEtExec || type == kEtDyn)) {
            return 0x457Fu;
        }
    }
    return 0;
}

bool ReadFileBytes(const std::string& path, std::vector<std::uint8_t>& bytes, std::size_t maxSize) {
    bytes.clear();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    struct stat info {};
    bool ok = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && static_cast<std::uint64_t>(info.st_size) <= maxSize;
    if (ok) {
        bytes.resize(static_cast<std::size_t>(info.st_size));
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t got = ::read(fd, bytes.data() + done, bytes.size() - done);
            if (got < 0 && errno == EINTR) {
                continue;
            }
            if (got <= 0) {
                break; // shrank while we read: keep what is there
            }
            done += static_cast<std::size_t>(got);
        }
        bytes.resize(done);
    }
    ::close(fd);
    return ok;
}

namespace {

// A file's bytes at their offsets in memory of the file's size, of which only the parts asked for are read; the
// rest is untouched anonymous memory, which reads as zeros and costs nothing. The parsers above then run on it
// unchanged: whatever they look at outside the parts read is zero and leads nowhere.
class PartlyReadFile {
public:
    PartlyReadFile(int fd, std::size_t size) : fd_(fd), size_(size) {
        void* memory = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        memory_ = memory == MAP_FAILED ? nullptr : static_cast<std::uint8_t*>(memory);
    }
    ~PartlyReadFile() {
        if (memory_ != nullptr) {
            ::munmap(memory_, size_);
        }
    }
    PartlyReadFile(const PartlyReadFile&) = delete;
    PartlyReadFile& operator=(const PartlyReadFile&) = delete;

    bool Mapped() const { return memory_ != nullptr; }
    ByteView View() const { return ByteView(memory_, size_); }
    std::uint64_t BytesRead() const { return bytesRead_; }

    // Reads [offset, offset + length), cut at the end of the file.
    void Read(std::uint64_t offset, std::uint64_t length) {
        if (offset >= size_) {
            return;
        }
        std::uint64_t end = length < size_ - offset ? offset + length : size_;
        while (offset < end) {
            const ssize_t got = ::pread(fd_, memory_ + offset, end - offset, static_cast<off_t>(offset));
            if (got < 0 && errno == EINTR) {
                continue;
            }
            if (got <= 0) {
                return; // shrank while we read: keep what is there
            }
            offset += static_cast<std::uint64_t>(got);
            bytesRead_ += static_cast<std::uint64_t>(got);
        }
    }

private:
    int fd_;
    std::size_t size_;
    std::uint8_t* memory_ = nullptr;
    std::uint64_t bytesRead_ = 0;
};

constexpr std::uint64_t kHeaderBytes = 4096;

void ReadPeVersionParts(PartlyReadFile& file) {
    PeHeaders headers;
    if (!ReadPeHeaders(file.View(), headers)) {
        file.Read(0, std::uint64_t{headers.ntOffset} + 24 + 256); // headers placed beyond the first page
        if (!ReadPeHeaders(file.View(), headers)) {
            return;
        }
    }
    const std::uint64_t table = headers.optionalOffset + headers.optionalSize;
    file.Read(0, table + std::uint64_t{headers.sectionCount} * 40);
    const ByteView image = file.View();
    const std::uint64_t countAt = headers.optionalOffset + (headers.magic == 0x20B ? 108 : 92);
    std::uint32_t resourceRva = 0;
    if (!image.U32(countAt + 4 + 2 * 8, resourceRva)) {
        return;
    }
    for (std::uint32_t i = 0; i < headers.sectionCount; ++i) {
        const std::uint64_t header = table + std::uint64_t{i} * 40;
        std::uint32_t virtualAddress = 0, rawSize = 0, rawOffset = 0;
        if (image.U32(header + 12, virtualAddress) && image.U32(header + 16, rawSize) &&
            image.U32(header + 20, rawOffset) && resourceRva >= virtualAddress &&
            resourceRva - virtualAddress < rawSize) {
            file.Read(rawOffset, rawSize);
        }
    }
}

void ReadElfVersionParts(PartlyReadFile& file) {
    bool bigEndian = false, is64 = false;
    if (!ReadElfIdent(file.View(), bigEndian, is64)) {
        return;
    }
    const ElfReader elf(file.View(), bigEndian, is64);
    std::uint64_t tableOffset = 0;
    std::uint16_t entrySize = 0, count16 = 0, names16 = 0;
    const std::uint64_t at = is64 ? 0x28 : 0x20;
    const std::uint64_t after = at + (is64 ? 8 : 4) + 10;
    if (!elf.Word(at, tableOffset) || !elf.U16(after, entrySize) || !elf.U16(after + 2, count16) ||
        !elf.U16(after + 4, names16) || tableOffset == 0 || entrySize < (is64 ? 64 : 40)) {
        return;
    }
    file.Read(tableOffset, entrySize);
    ElfSection first;
    if (!ReadElfSection(elf, tableOffset, first)) {
        return;
    }
    const std::uint64_t count = count16 != 0 ? count16 : first.size;
    const std::uint64_t names = names16 != 0xFFFF ? names16 : first.link;
    if (count == 0 || names >= count || count > (file.View().size - tableOffset) / entrySize) {
        return;
    }
    file.Read(tableOffset, count * entrySize);
    ElfSection strings;
    if (!ReadElfSection(elf, tableOffset + names * entrySize, strings)) {
        return;
    }
    file.Read(strings.offset, strings.size);
    const ByteView nameTable = file.View().Sub(strings.offset, strings.size);
    const std::size_t wantedLength = sizeof kElfVersionSectionName;
    for (std::uint64_t i = 1; i < count; ++i) {
        ElfSection section;
        if (!ReadElfSection(elf, tableOffset + i * entrySize, section)) {
            return;
        }
        const ByteView name = nameTable.Sub(section.name, wantedLength);
        if (!name.empty() && std::memcmp(name.data, kElfVersionSectionName, wantedLength) == 0) {
            if (section.type != kShtNobits) {
                file.Read(section.offset, section.size);
            }
            return;
        }
    }
}

} // namespace

bool ReadFileVersionBlock(const std::string& path, std::vector<std::uint8_t>& block, std::uint64_t* bytesRead) {
    block.clear();
    if (bytesRead != nullptr) {
        *bytesRead = 0;
    }
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    struct stat info {};
    const bool readable =
        ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && static_cast<std::uint64_t>(info.st_size) <= kMaxImageSize;
    if (!readable || info.st_size == 0) {
        ::close(fd);
        return readable;
    }
    PartlyReadFile file(fd, static_cast<std::size_t>(info.st_size));
    if (!file.Mapped()) {
        ::close(fd);
        return false;
    }
    file.Read(0, kHeaderBytes);
    std::uint16_t signature = 0;
    if (file.View().U16(0, signature) && signature == 0x5A4D) {
        ReadPeVersionParts(file);
    } else {
        ReadElfVersionParts(file);
    }
    ::close(fd);
    const ByteView found = FindVersionResource(file.View());
    block.assign(found.data, found.data + found.size);
    if (bytesRead != nullptr) {
        *bytesRead = file.BytesRead();
    }
    return true;
}

} // namespace korvex::platform
