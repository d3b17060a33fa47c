// The file services behind the file buttons: existence of a file (not a folder), deletion, a rename that
// never replaces anything, and the working directory.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <memory>
#include <string>

#include "platform/FileSystem.h"

namespace fs = korvex::platform;

namespace {

std::string Path(const QTemporaryDir& dir, const char* name) {
    return QFile::encodeName(dir.filePath(QLatin1String(name))).toStdString();
}

QByteArray Content(const QTemporaryDir& dir, const char* name) {
    QFile file(dir.filePath(QLatin1String(name)));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<none>");
}

} // namespace

class FileSystemTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> dir_;

    void Make() {
        QVERIFY(dir_->isValid());
        QFile file(dir_->filePath(QStringLiteral("file")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("content");
        file.close();
        QFile other(dir_->filePath(QStringLiteral("other")));
        QVERIFY(other.open(QIODevice::WriteOnly));
        other.write("other");
        other.close();
        QVERIFY(QDir(dir_->path()).mkdir(QStringLiteral("folder")));
        QVERIFY(QFile::link(dir_->filePath(QStringLiteral("file")), dir_->filePath(QStringLiteral("link"))));
        QVERIFY(QFile::link(dir_->filePath(QStringLiteral("missing")), dir_->filePath(QStringLiteral("dangling"))));
    }

private slots:
    void init() {
        dir_ = std::make_unique<QTemporaryDir>();
        Make();
    }

    void fileExists_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("exists");
        QTest::newRow("file") << "file" << true;
        QTest::newRow("folder") << "folder" << false;
        QTest::newRow("missing") << "missing" << false;
        QTest::newRow("link to a file") << "link" << true;
        QTest::newRow("dangling link") << "dangling" << false;
        QTest::newRow("below a file") << "file/x" << false;
    }

    void fileExists() {
        QFETCH(QString, name);
        QFETCH(bool, exists);
        QCOMPARE(fs::FileExists(Path(*dir_, name.toLatin1().constData())), exists);
    }

    void deleteFile_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("error");
        QTest::newRow("file") << "file" << 0;
        QTest::newRow("folder is never deleted") << "folder" << EISDIR;
        QTest::newRow("missing") << "missing" << ENOENT;
    }

    void deleteFile() {
        QFETCH(QString, name);
        QFETCH(int, error);
        const std::string path = Path(*dir_, name.toLatin1().constData());
        QCOMPARE(fs::DeleteFile(path).value(), error);
        QCOMPARE(QFileInfo::exists(QFile::decodeName(path.c_str())), name == QLatin1String("folder"));
    }

    void renameFile_data() {
        QTest::addColumn<QString>("to");
        QTest::addColumn<int>("error");
        QTest::newRow("free name") << "new" << 0;
        QTest::newRow("a file is never replaced") << "other" << EEXIST;
        QTest::newRow("a folder is never replaced") << "folder" << EEXIST;
        QTest::newRow("a dangling link is never replaced") << "dangling" << EEXIST;
    }

    void renameFile() {
        QFETCH(QString, to);
        QFETCH(int, error);
        const QByteArray target = to.toLatin1();
        QCOMPARE(fs::RenameFile(Path(*dir_, "file"), Path(*dir_, target.constData())).value(), error);
        if (error == 0) {
            QCOMPARE(Content(*dir_, "new"), QByteArray("content"));
            QVERIFY(!QFile::exists(dir_->filePath(QStringLiteral("file"))));
        } else {
            QCOMPARE(Content(*dir_, "file"), QByteArray("content"));
            QCOMPARE(Content(*dir_, "other"), QByteArray("other"));
            QVERIFY(QFileInfo(dir_->filePath(QStringLiteral("folder"))).isDir());
        }
    }

    void renameMissingFile() { QCOMPARE(fs::RenameFile(Path(*dir_, "missing"), Path(*dir_, "new")).value(), ENOENT); }

    void sameFile() {
        QVERIFY(fs::IsSameFile(Path(*dir_, "file"), Path(*dir_, "link")));
        QVERIFY(fs::IsSameFile(Path(*dir_, "file"), Path(*dir_, "folder/../file")));
        QVERIFY(!fs::IsSameFile(Path(*dir_, "file"), Path(*dir_, "other")));
        QVERIFY(!fs::IsSameFile(Path(*dir_, "missing"), Path(*dir_, "missing")));
    }

    void workingDirectory() {
        const QString previous = QDir::currentPath();
        QVERIFY(!fs::SetWorkingDirectory(Path(*dir_, "folder")));
        QCOMPARE(QDir::currentPath(), dir_->filePath(QStringLiteral("folder")));
        QVERIFY(fs::FileExists("../file"));
        QCOMPARE(fs::SetWorkingDirectory(Path(*dir_, "missing")).value(), ENOENT);
        QDir::setCurrent(previous);
    }
};

QTEST_GUILESS_MAIN(FileSystemTest)
#include "FileSystemTest.moc"
