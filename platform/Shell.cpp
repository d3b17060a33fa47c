#include "platform/Shell.h"

#include <cstring>
#include <vector>

#include <QFile>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QMimeType>
#include <QString>

#include "platform/ExecutableImage.h"

namespace korvex::platform {

namespace {

// Enough of a file to tell the executable formats apart: headers and, for PE, the optional header.
constexpr std::size_t kHeaderBytes = 4096;

bool ReadFileStart(const std::string& path, std::vector<std::uint8_t>& bytes) {
    QFile file(QString::fromStdString(path));
    if (!QFileInfo(file).isFile() || !file.open(QIODevice::ReadOnly)) {
        return false;
    }
    const QByteArray start = file.read(static_cast<qint64>(kHeaderBytes));
    bytes.assign(start.begin(), start.end());
    return true;
}

// Copies `text` into a zero-terminated field, cut at a UTF-8 character boundary.
void CopyCut(const QByteArray& text, char* field, std::size_t fieldSize) {
    std::size_t length = static_cast<std::size_t>(text.size());
    if (length > fieldSize - 1) {
        length = fieldSize - 1;
        while (length > 0 && (static_cast<unsigned char>(text[static_cast<qsizetype>(length)]) & 0xC0) == 0x80) {
            --length; // the byte after the cut continues a character: drop that character whole
        }
    }
    std::memcpy(field, text.constData(), length);
    field[length] = '\0';
}

} // namespace

std::uintptr_t SHGetFileInfoA(const std::string& path, std::uint32_t /*fileAttributes*/, SHFILEINFOA* psfi,
                              std::uint32_t cbFileInfo, std::uint32_t flags) {
    if (flags & SHGFI_EXETYPE) {
        std::vector<std::uint8_t> start;
        if (flags != SHGFI_EXETYPE || !ReadFileStart(path, start)) {
            return 0;
        }
        return ExecutableType(ByteView(start));
    }
    if (flags & SHGFI_TYPENAME) {
        const QFileInfo info(QString::fromStdString(path));
        if (psfi == nullptr || cbFileInfo < sizeof(SHFILEINFOA) || !info.exists()) {
            return 0;
        }
        const QMimeType type = QMimeDatabase().mimeTypeForFile(info);
        CopyCut(type.comment().toUtf8(), psfi->szTypeName, sizeof psfi->szTypeName);
        return 1;
    }
    return 0;
}

} // namespace korvex::platform
