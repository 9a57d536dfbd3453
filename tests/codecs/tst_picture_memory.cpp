// How pictures meet memory: a JPEG read from its file a piece at a time gives the same picture
// as the same bytes in memory (also when damaged, cut short or not a file at all), and pictures
// placed on memory of their own keep every pixel.
#include "codecs/decoded_picture.h"
#include "codecs/image_memory.h"
#include "codecs/picture_loader.h"
#include "support/picture_fixtures.h"
#include "support/test_support.h"

#include <QBuffer>
#include <QImageWriter>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

using namespace vorn;
using namespace vorn::test;

namespace
{

// Noise compresses badly, so the file spans several of the reader's 64 KiB pieces.
QImage noise(int w, int h)
{
    QImage image(w, h, QImage::Format_RGB32);
    quint32 seed = 7;
    for (int y = 0; y < h; ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < w; ++x) {
            seed = seed * 1664525u + 1013904223u;
            line[x] = qRgb(int(seed >> 24), int(seed >> 16) & 255, int(seed >> 8) & 255);
        }
    }
    return image;
}

QByteArray progressive(const QImage &image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpg");
    writer.setQuality(95);
    writer.setProgressiveScanWrite(true);
    writer.write(image);
    return bytes;
}

// An application segment (APP3) of `length` payload bytes, which the decoder passes over.
QByteArray appSegment(int length)
{
    QByteArray segment("\xFF\xE3", 2);
    segment += char((length + 2) >> 8);
    segment += char((length + 2) & 0xFF);
    return segment + QByteArray(length, 'x');
}

} // namespace

class TstPictureMemory : public QObject
{
    Q_OBJECT

  private slots:
    void jpegFileAsBytes_data();
    void jpegFileAsBytes();
    void jpegNotAFile();
    void largePictures_data();
    void largePictures();
    void displayFormatInItsOwnMemory_data();
    void displayFormatInItsOwnMemory();

  private:
    QTemporaryDir dir_;
};

void TstPictureMemory::jpegFileAsBytes_data()
{
    QTest::addColumn<QByteArray>("jpeg");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<bool>("damaged");
    const QImage picture = noise(480, 360);
    const QByteArray base = encode(picture, "JPEG", 95);
    QTest::newRow("baseline, many pieces") << base << true << false;
    QTest::newRow("progressive") << progressive(picture) << true << false;
    // Segments passed over across the ends of pieces, then the Exif block read across one.
    const QByteArray turned = withOrientation(base, 6);
    const QByteArray skipped = appSegment(60000) + appSegment(65533) + appSegment(30000);
    QTest::newRow("Exif after long segments") << turned.left(2) + skipped + turned.mid(2) << true << false;
    QTest::newRow("cut in the scan") << base.left(base.size() * 2 / 3) << true << true;
    // A segment that claims more bytes than the file has: the end comes before a frame.
    QTest::newRow("segment beyond the end") << base.left(2) + appSegment(65000).left(300) << false << false;
    QTest::newRow("no JPEG") << QByteArray(100000, 'j') << false << false;
}

void TstPictureMemory::jpegFileAsBytes()
{
    QFETCH(QByteArray, jpeg);
    QFETCH(bool, ok);
    QFETCH(bool, damaged);
    QVERIFY(jpeg.size() > 2 * (64 << 10) || !ok || damaged);
    const QString path = dir_.filePath(QStringLiteral("%1.jpg").arg(QTest::currentDataTag()));
    writeFile(path, jpeg);
    // Full size, and fitted from a reduced decode.
    for (const QSize shown : {QSize(), QSize(150, 113)}) {
        const LoadedPicture fromFile = load_picture(path, shown);
        const LoadedPicture fromBytes = load_picture(jpeg, PictureKind::Jpeg, shown);
        QCOMPARE(fromFile.ok, ok);
        QCOMPARE(fromBytes.ok, ok);
        QCOMPARE(fromFile.damaged, damaged);
        QCOMPARE(fromBytes.damaged, damaged);
        QCOMPARE(fromFile.naturalSize, fromBytes.naturalSize);
        QCOMPARE(fromFile.jpegScaleEighths, fromBytes.jpegScaleEighths);
        QVERIFY(fromFile.image == fromBytes.image);
    }
}

// Names of a JPEG that are no regular file are refused without reading (a fifo would block).
void TstPictureMemory::jpegNotAFile()
{
    const QString folder = dir_.filePath(QStringLiteral("folder.jpg"));
    QVERIFY(QDir().mkpath(folder));
    const QString fifo = dir_.filePath(QStringLiteral("fifo.jpg"));
    QCOMPARE(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString empty = dir_.filePath(QStringLiteral("empty.jpg"));
    writeFile(empty, QByteArray());
    for (const QString &path : {folder, fifo, empty, dir_.filePath(QStringLiteral("missing.jpg"))}) {
        const LoadedPicture p = load_picture(path);
        QVERIFY2(!p.ok && p.image.isNull(), qPrintable(path));
        QCOMPARE(p.kind, PictureKind::Jpeg);
    }
}

void TstPictureMemory::largePictures_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QImage::Format>("format");
    QTest::newRow("below the mapping") << QSize(511, 512) << QImage::Format_RGB32;
    QTest::newRow("1 MiB, on small pages") << QSize(512, 512) << QImage::Format_ARGB32_Premultiplied;
    QTest::newRow("800 x 600, one whole huge page") << QSize(800, 600) << QImage::Format_RGB32;
    QTest::newRow("3 MB, huge page and small pages") << QSize(1000, 750) << QImage::Format_RGB32;
    QTest::newRow("one long row") << QSize(600000, 1) << QImage::Format_RGB32;
    QTest::newRow("24-bit, from the allocator") << QSize(1000, 750) << QImage::Format_RGB888;
}

// Every pixel of a large picture and of a scratch picture can be written and is kept, also
// while a newer picture of another size is written; a copy shares until it is written.
void TstPictureMemory::largePictures()
{
    QFETCH(QSize, size);
    QFETCH(QImage::Format, format);
    const auto fill = [](QImage &image, uchar salt) {
        for (int y = 0; y < image.height(); ++y) {
            uchar *line = image.scanLine(y);
            for (qsizetype i = 0; i < image.bytesPerLine(); ++i)
                line[i] = uchar(y * 31 + i + salt);
        }
    };
    const auto kept = [](const QImage &image, uchar salt) {
        for (int y = 0; y < image.height(); ++y) {
            const uchar *line = image.constScanLine(y);
            for (qsizetype i = 0; i < image.bytesPerLine(); ++i)
                if (line[i] != uchar(y * 31 + i + salt))
                    return false;
        }
        return true;
    };
    QImage large = large_image(size.width(), size.height(), format);
    QImage scratch = take_scratch_image(size.width(), size.height(), format);
    for (QImage *image : {&large, &scratch}) {
        QCOMPARE(image->size(), size);
        QCOMPARE(image->format(), format);
        QVERIFY(image->bytesPerLine() >= qsizetype(size.width()) * image->depth() / 8);
    }
    fill(large, 1);
    fill(scratch, 2);
    QImage other = large_image(size.width() + 3, size.height(), format);
    fill(other, 3);
    QVERIFY(kept(large, 1) && kept(scratch, 2) && kept(other, 3));
    QImage copy = large;
    copy.setPixel(0, 0, 0x12345678);
    QVERIFY(kept(large, 1));
    give_back_scratch_image(std::move(scratch));
    const QImage again = take_scratch_image(size.width(), size.height(), format);
    QVERIFY(kept(again, 2)); // the same pixels back
}

void TstPictureMemory::displayFormatInItsOwnMemory_data()
{
    QTest::addColumn<QImage::Format>("format");
    QTest::addColumn<bool>("alpha");
    QTest::newRow("RGBX") << QImage::Format_RGBX8888 << false;
    QTest::newRow("RGBA") << QImage::Format_RGBA8888 << true;
    QTest::newRow("premultiplied RGBA") << QImage::Format_RGBA8888_Premultiplied << true;
    QTest::newRow("RGBA shown opaque: Qt converts") << QImage::Format_RGBA8888 << false;
}

// A decoder's RGBA bytes become the display format with the pixels Qt's conversion gives; on
// memory of its own (a mapped picture) without a copy, and a copy held elsewhere is left alone.
void TstPictureMemory::displayFormatInItsOwnMemory()
{
    QFETCH(QImage::Format, format);
    QFETCH(bool, alpha);
    const auto made = [format](QSize size) {
        QImage image = large_image(size.width(), size.height(), format);
        quint32 seed = 5;
        for (int y = 0; y < size.height(); ++y) {
            uchar *line = image.scanLine(y);
            for (int x = 0; x < size.width() * 4; x += 4) {
                seed = seed * 1664525u + 1013904223u;
                const uint a = seed >> 24;
                line[x + 3] = uchar(a);
                for (int c = 0; c < 3; ++c) // premultiplied: no channel above alpha
                    line[x + c] = uchar(format == QImage::Format_RGBA8888_Premultiplied
                                            ? ((seed >> (8 * c)) & 255) * a / 255
                                            : (seed >> (8 * c)) & 255);
            }
        }
        return image;
    };
    const QImage::Format display = alpha ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32;
    const bool ownPath = format != QImage::Format_RGBA8888 || alpha;
    for (const QSize size : {QSize(1000, 750), QSize(7, 3)}) {
        const QImage original = made(size);
        const QImage want = original.convertToFormat(display);
        // Alone: converted where it lies.
        QImage image = made(size);
        const uchar *bits = image.constBits();
        to_display_format(&image, alpha);
        QCOMPARE(image.format(), display);
        QCOMPARE(image, want);
        if (ownPath)
            QCOMPARE(image.constBits(), bits);
        // Shared: the other copy keeps its pixels.
        QImage shared = made(size);
        const QImage other = shared;
        to_display_format(&shared, alpha);
        QCOMPARE(shared, want);
        QCOMPARE(other, original);
    }
}

QTEST_MAIN(TstPictureMemory)
#include "tst_picture_memory.moc"
