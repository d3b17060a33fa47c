// Decoding the About box's picture, and JPEG data that is broken in every way we could think of.

#include <QFile>
#include <QTest>

#include "ui/JpegPicture.h"

using korvex::ui::DecodeJpeg;

// The registration of the resources that korvex_ui carries.
static void InitAboutResources() {
    Q_INIT_RESOURCE(about);
}

class TestJpegPicture : public QObject {
    Q_OBJECT

private:
    QByteArray picture_;

    // Replaces `length` bytes at `at`.
    static QByteArray Patched(QByteArray data, int at, const QByteArray& bytes) {
        data.replace(at, bytes.size(), bytes);
        return data;
    }

    int FrameHeader() const { return picture_.indexOf(QByteArray("\xFF\xC0", 2)); }

private slots:
    void initTestCase() {
        InitAboutResources();
        QFile file(QStringLiteral(":/korvex/about/about.jpg"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        picture_ = file.readAll();
        QVERIFY(FrameHeader() > 0);
    }

    void decodesTheAboutPicture() {
        QString error = QStringLiteral("left over");
        const QImage image = DecodeJpeg(picture_, &error);
        QVERIFY(!image.isNull());
        QCOMPARE(image.size(), QSize(292, 193));
        QVERIFY(image.allGray() == false);
        QCOMPARE(error, QString());
        // The corner outside the board is dark green.
        const QColor corner = image.pixelColor(1, 1);
        QVERIFY2(corner.green() > corner.red() + 30 && corner.green() > corner.blue() + 30, qPrintable(corner.name()));
    }

    void isBaselineWithThreeComponents() {
        // Start of frame, baseline (FFC0): length, precision 8, height, width, 3 components.
        const int at = FrameHeader();
        QCOMPARE(static_cast<unsigned char>(picture_[at + 4]), 8u);
        QCOMPARE((static_cast<unsigned char>(picture_[at + 5]) << 8) | static_cast<unsigned char>(picture_[at + 6]),
                 193);
        QCOMPARE((static_cast<unsigned char>(picture_[at + 7]) << 8) | static_cast<unsigned char>(picture_[at + 8]),
                 292);
        QCOMPARE(static_cast<unsigned char>(picture_[at + 9]), 3u);
        QVERIFY(!picture_.contains(QByteArray("\xFF\xC2", 2))); // no progressive frame
    }

    void brokenData_data() {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<bool>("decodes");
        QTest::addColumn<QString>("error");
        const int frame = FrameHeader();
        QTest::newRow("empty") << QByteArray() << false << QStringLiteral("Empty input file");
        QTest::newRow("not_a_jpeg") << QByteArray("G90 X1.0\r\n") << false
                                    << QStringLiteral("Not a JPEG file: starts with 0x47 0x39");
        QTest::newRow("headers_only") << picture_.left(frame + 10) << false << QString();
        QTest::newRow("too_large_to_allocate")
            << Patched(picture_, frame + 5, QByteArray("\x4E\x20\x4E\x20", 4)) << false
            << QStringLiteral("Unsupported picture: 20000x20000, 3 components");
        QTest::newRow("zero_width") << Patched(picture_, frame + 7, QByteArray("\x00\x00", 2)) << false << QString();
        QTest::newRow("seven_components") << Patched(picture_, frame + 9, QByteArray("\x07", 1)) << false << QString();
        // Damage inside the scan is worked around: the picture is decoded as far as it goes.
        QTest::newRow("cut_in_half") << picture_.left(picture_.size() / 2) << true << QString();
        // Zeros never form a marker, so the decoder meets bad codes, not a broken structure.
        QByteArray scrambled = picture_;
        for (int i = picture_.size() / 3; i < picture_.size() - 2; i += 97) {
            scrambled[i] = '\0';
        }
        QTest::newRow("scrambled_scan") << scrambled << true << QString();
    }

    void brokenData() {
        QFETCH(QByteArray, data);
        QFETCH(bool, decodes);
        QFETCH(QString, error);
        QString message;
        const QImage image = DecodeJpeg(data, &message);
        QCOMPARE(!image.isNull(), decodes);
        if (decodes) {
            QCOMPARE(image.size(), QSize(292, 193));
        } else {
            QVERIFY(!message.isEmpty());
        }
        if (!error.isEmpty()) {
            QCOMPARE(message, error);
        }
    }

    void everyCutIsSafe() {
        for (int size = 0; size < picture_.size(); size += 61) {
            const QImage image = DecodeJpeg(picture_.left(size));
            QVERIFY(image.isNull() || image.size() == QSize(292, 193));
        }
    }
};

QTEST_MAIN(TestJpegPicture)
#include "tst_jpegpicture.moc"
