// The picture loader: JPEG scaling and orientation, colour spaces, the Qt-read kinds, the WMF
// player, damaged files of every kind, fuzzer-found inputs and the background prefetcher.
#include "lang/texts.h"
#include "support/picture_fixtures.h"
#include "support/test_support.h"
#include "viewers/picture_loader.h"
#include "viewers/picture_prefetch.h"
#include "viewers/wmf_player.h"

#include <QBuffer>
#include <QDirIterator>
#include <QImageWriter>
#include <QMovie>
#include <QPainter>

#include <cstdio>
#include <jpeglib.h>

using namespace vorn;
using vorn::test::writeFile;
using namespace vorn::test;

namespace
{


// Left half red, right half blue.
QImage twoColour(int w, int h)
{
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(Qt::blue);
    QPainter(&image).fillRect(0, 0, w / 2, h, Qt::red);
    return image;
}


// A CMYK JPEG with the Adobe marker (inverted values, as Photoshop writes them), all one ink mix.
QByteArray cmykJpeg(int w, int h, const uchar inverted[4])
{
    jpeg_compress_struct c;
    jpeg_error_mgr err;
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char *out = nullptr;
    unsigned long outSize = 0;
    jpeg_mem_dest(&c, &out, &outSize);
    c.image_width = JDIMENSION(w);
    c.image_height = JDIMENSION(h);
    c.input_components = 4;
    c.in_color_space = JCS_CMYK;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, 95, TRUE);
    jpeg_start_compress(&c, TRUE);
    std::vector<JSAMPLE> row(size_t(w) * 4);
    for (int x = 0; x < w; ++x)
        std::copy(inverted, inverted + 4, row.begin() + x * 4);
    while (c.next_scanline < c.image_height) {
        JSAMPROW r = row.data();
        jpeg_write_scanlines(&c, &r, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    QByteArray bytes(reinterpret_cast<const char *>(out), qsizetype(outSize));
    free(out);
    return bytes;
}


// Builds WMF records; words are little-endian.
struct Wmf {
    QByteArray records;
    void rec(quint16 fn, const QList<int> &words, const QByteArray &tail = QByteArray())
    {
        const quint32 size = 3 + quint32(words.size()) + quint32(tail.size() + 1) / 2;
        QByteArray r;
        for (int i = 0; i < 4; ++i)
            r += char((size >> (8 * i)) & 0xFF);
        r += char(fn & 0xFF);
        r += char(fn >> 8);
        for (int w : words) {
            r += char(w & 0xFF);
            r += char((w >> 8) & 0xFF);
        }
        r += tail;
        if (tail.size() % 2)
            r += char(0);
        records += r;
    }
    // Placeable header with the given bounding box and units per inch, then the standard one.
    QByteArray file(int right, int bottom, int inch, bool withEnd = true) const
    {
        QByteArray body = records;
        if (withEnd)
            body += QByteArray("\x03\0\0\0\0\0", 6);
        QByteArray b("\xD7\xCD\xC6\x9A\0\0", 6);
        for (int v : {0, 0, right, bottom, inch}) {
            b += char(v & 0xFF);
            b += char(v >> 8);
        }
        b += QByteArray(6, 0); // reserved, checksum
        const quint32 words = quint32(18 + body.size()) / 2;
        QByteArray h("\x01\0\x09\0\0\x03", 6);
        for (int i = 0; i < 4; ++i)
            h += char((words >> (8 * i)) & 0xFF);
        h += QByteArray("\x04\0\0\0\0\0\0\0", 8); // 4 objects, max record, no members
        return b + h + body;
    }
};

// A red filled rectangle from (250, 250) to (750, 750) in a 1000 x 1000 frame, no outline.
QByteArray wmfRectangle()
{
    Wmf w;
    w.rec(0x02FC, {0, 0x00FF, 0x0000, 0}); // solid brush, red (COLORREF 0x000000FF)
    w.rec(0x012D, {0});                    // select it
    w.rec(0x02FA, {5, 0, 0, 0, 0});        // null pen
    w.rec(0x012D, {1});
    w.rec(0x041B, {750, 750, 250, 250}); // bottom, right, top, left
    return w.file(1000, 1000, 1000);
}

// A 2 x 1 bottom-up 24-bit DIB (red, blue) stretched over the whole 1000 x 1000 frame.
QByteArray wmfStretchDib()
{
    QByteArray dib;
    auto u32 = [&](quint32 v) {
        for (int i = 0; i < 4; ++i)
            dib += char((v >> (8 * i)) & 0xFF);
    };
    u32(40);
    u32(2);
    u32(1);
    dib += QByteArray("\x01\0\x18\0", 4); // planes 1, 24 bits
    u32(0);
    u32(8);
    u32(0);
    u32(0);
    u32(0);
    u32(0);
    dib += QByteArray("\0\0\xFF\xFF\0\0\0\0", 8); // BGR red, BGR blue, padding to 8 bytes
    Wmf w;
    // ROP SRCCOPY, colour usage, src h, src w, y, x, dest h, dest w, y, x
    w.rec(0x0F43, {0x0020, 0x00CC, 0, 1, 2, 0, 0, 1000, 1000, 0, 0}, dib);
    return w.file(1000, 1000, 1000);
}

} // namespace

class TstPictureLoader : public QObject
{
    Q_OBJECT
  private slots:
    void kinds();
    void jpegScale_data();
    void jpegScale();
    void jpegExifOrientation_data();
    void jpegExifOrientation();
    void jpegGreyAndCmyk();
    void qtKinds();
    void gifFrames();
    void wmfRectangle();
    void wmfDib();
    void wmfChecks_data();
    void wmfChecks();
    void damaged_data();
    void damaged();
    void failureText();
    void fuzzRegressions();
    void prefetch();

  private:
    QTemporaryDir dir_;
};

void TstPictureLoader::kinds()
{
    QCOMPARE(picture_kind("a/B.JPE"), PictureKind::Jpeg);
    QCOMPARE(picture_kind("x.jpeg"), PictureKind::Jpeg);
    QCOMPARE(picture_kind("x.Wmf"), PictureKind::Wmf);
    QCOMPARE(picture_kind("x.gif.txt"), PictureKind::Unknown);
    QVERIFY(is_transparent_kind(PictureKind::Ico) && !is_transparent_kind(PictureKind::Bmp));
}

void TstPictureLoader::jpegScale_data()
{
    QTest::addColumn<QSize>("shown");
    QTest::addColumn<int>("scale");
    QTest::addColumn<QSize>("imageSize");
    QTest::newRow("fit a quarter") << QSize(400, 300) << 4 << QSize(400, 300);
    QTest::newRow("one pixel more needs 5/8") << QSize(401, 300) << 5 << QSize(401, 300);
    QTest::newRow("thumbnail at 1/8") << QSize(100, 75) << 1 << QSize(100, 75);
    QTest::newRow("tall box, width decides") << QSize(300, 30) << 3 << QSize(300, 30);
    QTest::newRow("natural size, full decode") << QSize(800, 600) << 8 << QSize(800, 600);
    QTest::newRow("zoomed, full decode then enlarged") << QSize(1600, 1200) << 8 << QSize(1600, 1200);
    QTest::newRow("no shown size: natural") << QSize() << 8 << QSize(800, 600);
    QTest::newRow("0 x 0: nothing to paint") << QSize(0, 0) << 1 << QSize(0, 0);
}

void TstPictureLoader::jpegScale()
{
    QFETCH(QSize, shown);
    QFETCH(int, scale);
    QFETCH(QSize, imageSize);
    const QString path = dir_.filePath("photo.jpg");
    if (!QFile::exists(path))
        writeFile(path, encode(twoColour(800, 600), "JPEG"));
    const LoadedPicture p = load_picture(path, shown);
    QVERIFY(p.ok);
    QCOMPARE(p.naturalSize, QSize(800, 600));
    QCOMPARE(p.jpegScaleEighths, scale);
    QCOMPARE(p.image.size(), imageSize);
    if (!p.image.isNull()) {
        QCOMPARE(QColor(p.image.pixel(2, 2)).red() > 200, true);
        QCOMPARE(QColor(p.image.pixel(p.image.width() - 3, 2)).blue() > 200, true);
    }
}

void TstPictureLoader::jpegExifOrientation_data()
{
    QTest::addColumn<int>("orientation");
    QTest::addColumn<QSize>("natural");
    QTest::addColumn<QPoint>("redAt"); // a pixel of the upright picture that must be red
    // Stored 64 x 32, red on the left.
    QTest::newRow("none") << 1 << QSize(64, 32) << QPoint(4, 16);
    QTest::newRow("mirrored") << 2 << QSize(64, 32) << QPoint(60, 16);
    QTest::newRow("upside down") << 3 << QSize(64, 32) << QPoint(60, 16);
    QTest::newRow("turn right (6)") << 6 << QSize(32, 64) << QPoint(16, 4);
    QTest::newRow("turn left (8)") << 8 << QSize(32, 64) << QPoint(16, 60);
}

void TstPictureLoader::jpegExifOrientation()
{
    QFETCH(int, orientation);
    QFETCH(QSize, natural);
    QFETCH(QPoint, redAt);
    const QByteArray jpeg = withOrientation(encode(twoColour(64, 32), "JPEG", 95), orientation);
    const LoadedPicture p = load_picture(jpeg, PictureKind::Jpeg);
    QVERIFY(p.ok);
    QCOMPARE(p.naturalSize, natural);
    QCOMPARE(p.image.size(), natural);
    QVERIFY2(QColor(p.image.pixel(redAt)).red() > 200, qPrintable(QColor(p.image.pixel(redAt)).name()));
    // The shown size is upright too: half the upright size picks the 1/2 scale.
    const LoadedPicture half = load_picture(jpeg, PictureKind::Jpeg, natural / 2);
    QCOMPARE(half.jpegScaleEighths, 4);
    QCOMPARE(half.image.size(), natural / 2);
}

void TstPictureLoader::jpegGreyAndCmyk()
{
    QImage grey(16, 16, QImage::Format_Grayscale8);
    grey.fill(128);
    const LoadedPicture g = load_picture(encode(grey, "JPEG", 100), PictureKind::Jpeg);
    QVERIFY(g.ok);
    QVERIFY(qAbs(qRed(g.image.pixel(8, 8)) - 128) <= 2 &&
            qRed(g.image.pixel(8, 8)) == qBlue(g.image.pixel(8, 8)));

    const uchar red[4] = {255, 0, 0, 255}; // no cyan, full magenta and yellow, no black
    const LoadedPicture c = load_picture(cmykJpeg(16, 16, red), PictureKind::Jpeg);
    QVERIFY(c.ok);
    const QColor px(c.image.pixel(8, 8));
    QVERIFY2(px.red() > 240 && px.green() < 15 && px.blue() < 15, qPrintable(px.name()));
}

void TstPictureLoader::qtKinds()
{
    QImage icon(32, 32, QImage::Format_ARGB32);
    icon.fill(Qt::transparent);
    QPainter(&icon).fillRect(8, 8, 16, 16, Qt::green);
    const LoadedPicture ico = load_picture(encode(icon, "ICO"), PictureKind::Ico);
    QVERIFY(ico.ok);
    QCOMPARE(ico.naturalSize, QSize(32, 32));
    QCOMPARE(qAlpha(ico.image.pixel(1, 1)), 0);
    QCOMPARE(QColor(ico.image.pixel(16, 16)), QColor(Qt::green));

    const LoadedPicture bmp = load_picture(encode(twoColour(30, 20), "BMP"), PictureKind::Bmp, QSize(60, 40));
    QVERIFY(bmp.ok);
    QCOMPARE(bmp.naturalSize, QSize(30, 20));
    QCOMPARE(bmp.image.size(), QSize(60, 40));
}

void TstPictureLoader::gifFrames()
{
    const QString path = dir_.filePath("anim.gif");
    writeFile(path, gif(3));
    const LoadedPicture p = load_picture(path);
    QVERIFY(p.ok);
    QCOMPARE(p.naturalSize, QSize(2, 2));
    QCOMPARE(p.frameCount, 3);
    QCOMPARE(QColor(p.image.pixel(0, 0)), QColor(Qt::red));
    auto movie = make_gif_movie(path);
    QVERIFY(movie);
    movie->setSpeed(250);
    QCOMPARE(movie->speed(), 250);
    QVERIFY(movie->jumpToNextFrame() && movie->jumpToNextFrame());
    QCOMPARE(movie->currentFrameNumber(), 1);
    QCOMPARE(QColor(movie->currentImage().pixel(1, 1)), QColor(Qt::blue));
    QVERIFY(make_gif_movie(gif(2)));
}

void TstPictureLoader::wmfRectangle()
{
    const QString path = dir_.filePath("rect.wmf");
    writeFile(path, ::wmfRectangle());
    const LoadedPicture p = load_picture(path, QSize(200, 200));
    QVERIFY(p.ok);
    QCOMPARE(p.naturalSize, QSize(96, 96)); // 1000 units at 1000 per inch, at 96 dpi
    QCOMPARE(p.image.size(), QSize(200, 200));
    QVERIFY(p.image.hasAlphaChannel());
    QCOMPARE(qAlpha(p.image.pixel(10, 10)), 0);
    QCOMPARE(qAlpha(p.image.pixel(190, 100)), 0);
    QCOMPARE(QColor(p.image.pixel(100, 100)), QColor(Qt::red));
    QCOMPARE(QColor(p.image.pixel(52, 52)), QColor(Qt::red));
    QCOMPARE(qAlpha(p.image.pixel(47, 47)), 0);
    // Without a shown size it comes at its natural size.
    QCOMPARE(load_picture(path).image.size(), QSize(96, 96));
}

void TstPictureLoader::wmfDib()
{
    const LoadedPicture p = load_picture(wmfStretchDib(), PictureKind::Wmf, QSize(100, 100));
    QVERIFY(p.ok);
    QCOMPARE(QColor(p.image.pixel(20, 50)), QColor(Qt::red));
    QCOMPARE(QColor(p.image.pixel(80, 50)), QColor(Qt::blue));
}

void TstPictureLoader::wmfChecks_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<bool>("valid");
    const QByteArray good = ::wmfRectangle();
    QTest::newRow("good") << good << true;
    Wmf noEnd;
    noEnd.rec(0x041B, {10, 10, 0, 0});
    QTest::newRow("no end record") << noEnd.file(100, 100, 96, false) << false;
    QByteArray zeroSize = good;
    zeroSize[22 + 18] = 0; // first record claims 0 words
    QTest::newRow("record of size 0") << zeroSize << false;
    QByteArray tooLong = good;
    tooLong[22 + 18 + 2] = 0x7F; // first record runs past the end
    QTest::newRow("record past the end") << tooLong << false;
    QByteArray badType = good;
    badType[22] = 7;
    QTest::newRow("bad header type") << badType << false;
    QTest::newRow("empty box") << Wmf().file(0, 100, 96) << false;
    QTest::newRow("header only") << good.left(22 + 18) << false;
    // Unknown records are passed over, short records are skipped, objects out of range ignored.
    Wmf odd;
    odd.rec(0x7777, {1, 2, 3});
    odd.rec(0x041B, {1});
    odd.rec(0x012D, {999});
    odd.rec(0x0127, {-5});
    odd.rec(0x0538, {3, 100, 100, 100});
    odd.rec(0x0A32, {10, 10, 200, 6, 0, 0, 50, 50});
    QTest::newRow("odd records") << odd.file(100, 100, 96) << true;
}

void TstPictureLoader::wmfChecks()
{
    QFETCH(QByteArray, data);
    QFETCH(bool, valid);
    WmfPlayer player;
    QCOMPARE(player.load(data), valid);
    const LoadedPicture p = load_picture(data, PictureKind::Wmf, QSize(50, 50));
    QCOMPARE(p.ok, valid);
    if (!valid)
        QVERIFY(p.image.isNull());
}

void TstPictureLoader::damaged_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("data");
    QImage noisy(64, 48, QImage::Format_RGB32);
    for (int y = 0; y < noisy.height(); ++y)
        for (int x = 0; x < noisy.width(); ++x)
            noisy.setPixel(x, y, qRgb((x * 37 + y * 11) & 0xFF, (x * y) & 0xFF, (x ^ y) * 4 & 0xFF));
    const QByteArray jpeg = encode(noisy, "JPEG");
    const QByteArray progressive = [&] {
        QImageWriter w;
        QByteArray b;
        QBuffer buf(&b);
        buf.open(QIODevice::WriteOnly);
        w.setDevice(&buf);
        w.setFormat("jpeg");
        w.setProgressiveScanWrite(true);
        w.write(noisy);
        return b;
    }();
    QImage iconImage(32, 32, QImage::Format_ARGB32);
    iconImage.fill(Qt::red);
    const QMap<QString, QByteArray> good{{"a.jpg", jpeg},
                                         {"p.jpg", progressive},
                                         {"a.bmp", encode(noisy, "BMP")},
                                         {"a.ico", encode(iconImage, "ICO")},
                                         {"a.gif", gif(3)},
                                         {"a.wmf", ::wmfRectangle()}};
    for (auto it = good.begin(); it != good.end(); ++it) {
        const QByteArray &d = it.value();
        QTest::addRow("%s zero bytes", qPrintable(it.key())) << it.key() << QByteArray();
        QTest::addRow("%s truncated", qPrintable(it.key())) << it.key() << d.left(d.size() * 2 / 3);
        QTest::addRow("%s header only", qPrintable(it.key()))
            << it.key() << d.left(std::min<qsizetype>(20, d.size() / 4));
        QByteArray garbage = d;
        for (qsizetype i = 0; i < garbage.size(); i += 3)
            garbage[i] = char(0xA5 ^ garbage[i]);
        QTest::addRow("%s corrupt", qPrintable(it.key())) << it.key() << garbage;
    }
}

void TstPictureLoader::damaged()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, data);
    const QString path = dir_.filePath("damaged/" + name);
    writeFile(path, data);
    for (QSize shown : {QSize(), QSize(20, 15)}) {
        const LoadedPicture p = load_picture(path, shown);
        QVERIFY2(!p.ok, qPrintable(QStringLiteral("loaded at %1x%2").arg(shown.width()).arg(shown.height())));
        QVERIFY(p.image.isNull());
    }
}

void TstPictureLoader::failureText()
{
    const Texts en(English), de(German);
    QCOMPARE(load_failure_text(en, "/tmp/Bild.jpg"), QString("File /TMP/BILD.JPG couldn't be loaded!"));
    QCOMPARE(load_failure_text(de, "x.gif"), QString("Datei X.GIF konnte nicht geladen werden!"));
    QVERIFY(!load_picture(dir_.filePath("missing.jpg")).ok);
}

void TstPictureLoader::fuzzRegressions()
{
    // Inputs the fuzzers once stumbled on: each must load or fail, never crash.
    const QString root = qEnvironmentVariable("VORN_SOURCE_DIR") + "/fuzz/corpus";
    const QList<QPair<QString, PictureKind>> targets{{"jpeg", PictureKind::Jpeg}, {"wmf", PictureKind::Wmf}};
    int files = 0;
    for (const auto &[folder, kind] : targets) {
        QDirIterator it(root + "/" + folder, QDir::Files);
        while (it.hasNext()) {
            QFile f(it.next());
            QVERIFY(f.open(QIODevice::ReadOnly));
            const QByteArray data = f.readAll();
            load_picture(data, kind, QSize(64, 48));
            load_picture(data, kind, QSize(), qint64(1) << 22);
            ++files;
        }
    }
    qInfo("%d regression inputs", files);
}

void TstPictureLoader::prefetch()
{
    const QString next = dir_.filePath("next.jpg");
    writeFile(next, encode(twoColour(320, 240), "JPEG"));
    PicturePrefetcher prefetcher;
    prefetcher.prefetch(next, QSize(160, 120));
    prefetcher.prefetch(next, QSize(160, 120)); // same request: nothing new
    LoadedPicture p = prefetcher.take(next, QSize(160, 120));
    QVERIFY(p.ok);
    QCOMPARE(p.image.size(), QSize(160, 120));
    QCOMPARE(prefetcher.hits(), 1);

    // Another size or another file is decoded on the spot.
    prefetcher.prefetch(next, QSize(160, 120));
    QCOMPARE(prefetcher.take(next, QSize(80, 60)).image.size(), QSize(80, 60));
    QCOMPARE(prefetcher.hits(), 1);

    // A file rewritten after the prefetch is not served from the stale result.
    prefetcher.prefetch(next, QSize());
    QTRY_VERIFY(prefetcher.isReady(next, QSize()));
    QFile::remove(next);
    writeFile(next, encode(twoColour(100, 50), "JPEG"));
    QFile f(next);
    f.open(QIODevice::ReadWrite);
    f.setFileTime(QDateTime::currentDateTime().addSecs(10), QFileDevice::FileModificationTime);
    f.close();
    QCOMPARE(prefetcher.take(next, QSize()).naturalSize, QSize(100, 50));
    QCOMPARE(prefetcher.hits(), 1);

    // Destroying the prefetcher while it works is safe.
    {
        PicturePrefetcher shortLived;
        shortLived.prefetch(next, QSize(10, 5));
    }
}

// QMovie keeps its frames as pixmaps, which need a GUI application.
QTEST_MAIN(TstPictureLoader)
#include "tst_picture_loader.moc"
