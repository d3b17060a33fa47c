// The file-type names of the shared MIME database, through Qt's reader of it. Built as a plugin library that
// the shell services load only when a type name is asked for, so the converter starts without Qt.
#include <QByteArray>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QMimeType>
#include <QString>

#include <cstddef>
#include <cstring>

#include "platform/MimeTypePlugin.h"

extern "C" std::size_t korvex_mime_type_comment(const char* path, char* text, std::size_t size) {
    const QFileInfo info(QString::fromUtf8(path));
    const QByteArray comment = QMimeDatabase().mimeTypeForFile(info).comment().toUtf8();
    const auto length = static_cast<std::size_t>(comment.size());
    if (size > 0) {
        const std::size_t copied = length < size - 1 ? length : size - 1;
        std::memcpy(text, comment.constData(), copied);
        text[copied] = '\0';
    }
    return length;
}
