// korvex-mime PATH: the description of PATH's file type from the shared MIME database, through Qt's reader
// of it. Started by the shell services of korvex and korvex-cli (see MimeTypeName.h).
#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QMimeType>
#include <QString>

#include <cstddef>
#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("Usage: korvex-mime PATH\n", stderr);
        return 2;
    }
    const QFileInfo info(QFile::decodeName(argv[1]));
    const QByteArray comment = QMimeDatabase().mimeTypeForFile(info).comment().toUtf8();
    if (std::fwrite(comment.constData(), 1, static_cast<std::size_t>(comment.size()), stdout) !=
            static_cast<std::size_t>(comment.size()) ||
        std::fflush(stdout) != 0) {
        return 1;
    }
    return 0;
}
