// The picture loader: JPEG scaling and orientation, colour spaces, the Qt-read kinds, the WMF
// player, damaged files of every kind and the background prefetcher. (Fuzzer-found inputs are
// replayed by the replay_fuzz_* tests.)
#include "codecs/bitmap_decoder.h"
#include "codecs/gif_decoder.h"
#include "codecs/image_memory.h"
#include "codecs/picture_loader.h"
#include "codecs/wmf_player.h"
#include "lang/texts.h"
#include "support/picture_fixtures.h"
#include "support/test_support.h"
#include "viewers/pictures/picture_prefetch.h"

#include <QBuffer>
#include <QDirIterator>
#include <QImageWriter>
#include <QMovie>
#include <QPainter>

#include <bit>
#include <cstdio>
#include <functional>
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

// How a libjpeg-written JPEG is laid out: one scan, libjpeg's progression with refinement
// scans, or progressive scans that only split the coefficients (every scan at full precision).
enum class Scans { Baseline, Progressive, Spectral };

// A JPEG written by libjpeg from 8-bit rows of `components` samples, with a restart marker every
// `restartRows` MCU rows (0: none).
QByteArray libJpeg(int w, int h, int components, J_COLOR_SPACE space,
                   const std::function<const uchar *(int)> &row, Scans scans = Scans::Baseline,
                   int restartRows = 0)
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
    c.input_components = components;
    c.in_color_space = space;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, 95, TRUE);
    // The DC of all components, then the AC of each component, all at full precision.
    static const jpeg_scan_info spectral[4] = {
        {3, {0, 1, 2}, 0, 0, 0, 0}, {1, {1}, 1, 63, 0, 0}, {1, {2}, 1, 63, 0, 0}, {1, {0}, 1, 63, 0, 0}};
    if (scans == Scans::Progressive)
        jpeg_simple_progression(&c);
    if (scans == Scans::Spectral) {
        c.scan_info = spectral;
        c.num_scans = 4;
    }
    c.restart_in_rows = restartRows;
    jpeg_start_compress(&c, TRUE);
    while (c.next_scanline < c.image_height) {
        JSAMPROW r = const_cast<JSAMPROW>(row(int(c.next_scanline)));
        jpeg_write_scanlines(&c, &r, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    QByteArray bytes(reinterpret_cast<const char *>(out), qsizetype(outSize));
    free(out);
    return bytes;
}

QByteArray libJpeg(const QImage &image, Scans scans, int restartRows = 0)
{
    const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
    return libJpeg(
        rgb.width(), rgb.height(), 3, JCS_RGB, [&](int y) { return rgb.constScanLine(y); }, scans,
        restartRows);
}

// A CMYK JPEG with the Adobe marker (inverted values, as Photoshop writes them), all one ink mix.
QByteArray cmykJpeg(int w, int h, const uchar inverted[4])
{
    std::vector<uchar> row(size_t(w) * 4);
    for (int x = 0; x < w; ++x)
        std::copy(inverted, inverted + 4, row.begin() + x * 4);
    return libJpeg(w, h, 4, JCS_CMYK, [&](int) { return row.data(); });
}

// Offset of the n-th marker `m` (0xFF m) outside entropy-coded data, or -1.
qsizetype markerAt(const QByteArray &jpeg, uchar m, int n = 0)
{
    for (qsizetype i = 2; i + 1 < jpeg.size(); ++i) {
        if (uchar(jpeg[i]) == 0xFF && uchar(jpeg[i + 1]) == m && n-- == 0)
            return i;
    }
    return -1;
}

// The progressive JPEG with its last scan repeated `times` more times.
QByteArray repeatLastScan(const QByteArray &progressive, int times)
{
    qsizetype last = -1;
    for (int n = 0; markerAt(progressive, 0xDA, n) >= 0; ++n)
        last = markerAt(progressive, 0xDA, n);
    const qsizetype eoi = progressive.lastIndexOf("\xFF\xD9");
    const QByteArray scan = progressive.mid(last, eoi - last);
    return progressive.left(eoi) + scan.repeated(times) + progressive.mid(eoi);
}

// A picture of 2 x 3 blocks of 16 pixels in six clearly different colours.
const QRgb kBlockColours[6] = {qRgb(255, 0, 0),   qRgb(0, 200, 0), qRgb(0, 0, 255),
                               qRgb(255, 255, 0), qRgb(0, 0, 0),   qRgb(255, 255, 255)};
QImage sixBlocks()
{
    QImage image(32, 48, QImage::Format_RGB32);
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 32; ++x)
            image.setPixel(x, y, kBlockColours[(y / 16) * 2 + x / 16]);
    return image;
}

// The picture a camera stores for an upright picture u under EXIF orientation o: the stored
// pixel (a, b) per the orientation's definition of where row 0 and column 0 lie.
QImage storedFor(const QImage &u, int o)
{
    const int w = u.width(), h = u.height();
    const QSize size = o >= 5 ? QSize(h, w) : QSize(w, h);
    QImage s(size, u.format());
    for (int b = 0; b < size.height(); ++b) {
        for (int a = 0; a < size.width(); ++a) {
            const QPoint from[9] = {
                {},     {a, b},         {w - 1 - a, b},         {w - 1 - a, h - 1 - b}, {a, h - 1 - b},
                {b, a}, {w - 1 - b, a}, {w - 1 - b, h - 1 - a}, {b, h - 1 - a}};
            s.setPixel(a, b, u.pixel(from[o]));
        }
    }
    return s;
}

// Contiguous masks packed from the lowest bit: blue, green, red, then alpha.
QList<quint32> packedMasks(int r, int g, int b, int a = 0)
{
    auto m = [](int bits, int shift) { return bits ? ((quint32(1) << bits) - 1) << shift : 0u; };
    QList<quint32> masks{m(r, b + g), m(g, b), m(b, 0)};
    if (a)
        masks << m(a, r + g + b);
    return masks;
}

// A channel of 8 bits stored under `mask` and read back scaled to 8 bits, rounded.
quint32 quantize(int v, quint32 mask)
{
    if (!mask)
        return 0;
    const int shift = std::countr_zero(mask);
    const quint32 max = mask >> shift;
    return quint32((qint64(v) * max + 127) / 255) << shift & mask;
}
int expand(quint32 pixel, quint32 mask)
{
    if (!mask)
        return 0;
    const int shift = std::countr_zero(mask);
    const quint32 max = mask >> shift;
    return int(((pixel & mask) >> shift) * 255 + max / 2) / int(max);
}

const QRgb kTestColours[8] = {qRgba(0, 0, 0, 255),     qRgba(255, 255, 255, 255), qRgba(255, 0, 0, 200),
                              qRgba(0, 255, 0, 128),   qRgba(0, 0, 255, 255),     qRgba(12, 200, 99, 64),
                              qRgba(250, 128, 3, 255), qRgba(77, 33, 190, 220)};

// Run-length data from (count, value) pairs, as written.
QByteArray runs(const QList<int> &bytes)
{
    QByteArray b;
    for (int v : bytes)
        b += char(v);
    return b;
}

// A 4-bit (or 8-bit, or 24-bit) icon DIB: colours from `colour`, the AND mask from `masked`.
QByteArray iconDib(int size, int bits, const std::function<quint32(int, int)> &colour,
                   const std::function<bool(int, int)> &masked, const QList<QRgb> &palette = {})
{
    Dib d;
    d.width = size;
    d.height = 2 * size;
    d.bits = bits;
    d.palette = palette;
    d.pixels = dibRows(size, size, bits, colour) +
               dibRows(size, size, 1, [&](int x, int y) { return masked(x, y) ? 1u : 0u; });
    return d.bytes();
}

// GIF colours by letter: R, G, B, W; '.' is transparent in expected frames.
const QList<QRgb> kGifColours{qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255), qRgb(255, 255, 255)};

// Colour indexes from letters ("RG BW" gives two rows).
QByteArray gifIndexes(const QString &letters)
{
    QByteArray b;
    for (QChar c : letters) {
        if (c != ' ')
            b += char(QString("RGBW").indexOf(c));
    }
    return b;
}

// A frame as letters, rows separated by spaces.
QString gifLetters(const QImage &frame)
{
    QString s;
    for (int y = 0; y < frame.height(); ++y) {
        if (y)
            s += ' ';
        for (int x = 0; x < frame.width(); ++x) {
            const QRgb c = frame.pixel(x, y);
            const int i = kGifColours.indexOf(c | 0xFF000000);
            s += qAlpha(c) == 0 ? QChar('.') : i >= 0 ? QString("RGBW")[i] : QChar('?');
        }
    }
    return s;
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
    void exifAllEight_data();
    void exifAllEight();
    void jpegGreyAndCmyk();
    void jpegWarnings_data();
    void jpegWarnings();
    void jpegEndlessScans();
    void jpegManyApp1Segments();
    void buffersReusedSafely();
    void qtKinds();
    void bmpBitFields_data();
    void bmpBitFields();
    void bmpPalettes_data();
    void bmpPalettes();
    void bmpDamagedHeaders_data();
    void bmpDamagedHeaders();
    void bmpRuns_data();
    void bmpRuns();
    void icons_data();
    void icons();
    void gifFrames();
    void gifCompositing_data();
    void gifCompositing();
    void gifLzw();
    void wmfRectangle();
    void wmfDib();
    void wmfChecks_data();
    void wmfChecks();
    void damaged_data();
    void damaged();
    void failureText();
    void prefetch();
    void gifDecodedForView();

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
    QTest::newRow("upside down mirrored (4)") << 4 << QSize(64, 32) << QPoint(4, 16);
    QTest::newRow("transpose (5)") << 5 << QSize(32, 64) << QPoint(16, 4);
    QTest::newRow("turn right (6)") << 6 << QSize(32, 64) << QPoint(16, 4);
    QTest::newRow("transverse (7)") << 7 << QSize(32, 64) << QPoint(16, 60);
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

void TstPictureLoader::exifAllEight_data()
{
    QTest::addColumn<int>("orientation");
    for (int o = 1; o <= 8; ++o)
        QTest::addRow("orientation %d", o) << o;
}

void TstPictureLoader::exifAllEight()
{
    // Every orientation turns the stored picture back into the upright one, pixel for pixel,
    // both on exact pixels and through a JPEG file.
    QFETCH(int, orientation);
    QImage upright(5, 3, QImage::Format_RGB32);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x)
            upright.setPixel(x, y, qRgb(x * 50, y * 100, 7));
    QCOMPARE(apply_exif_orientation(storedFor(upright, orientation), orientation), upright);

    const QImage blocks = sixBlocks();
    const QByteArray jpeg = withOrientation(encode(storedFor(blocks, orientation), "JPEG", 100), orientation);
    const LoadedPicture p = load_picture(jpeg, PictureKind::Jpeg);
    QVERIFY(p.ok);
    QCOMPARE(p.image.size(), blocks.size());
    for (int by = 0; by < 3; ++by) {
        for (int bx = 0; bx < 2; ++bx) {
            const QColor got(p.image.pixel(bx * 16 + 8, by * 16 + 8));
            const QColor want(kBlockColours[by * 2 + bx]);
            QVERIFY2(qAbs(got.red() - want.red()) + qAbs(got.green() - want.green()) +
                             qAbs(got.blue() - want.blue()) <
                         40,
                     qPrintable(QString("block %1,%2 is %3").arg(bx).arg(by).arg(got.name())));
        }
    }
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

void TstPictureLoader::jpegWarnings_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QString>("rest"); // the last band: "whole", "grey" or "any" (coarse)
    QTest::addColumn<bool>("damaged");
    const QImage picture = sixBlocks();
    const QByteArray junk("\x12\x34\x56", 3);
    auto insert = [&](QByteArray b, qsizetype at) { return at < 0 ? QByteArray() : b.insert(at, junk); };
    const QByteArray base = libJpeg(picture, Scans::Baseline), prog = libJpeg(picture, Scans::Progressive);
    const QByteArray restart = libJpeg(picture, Scans::Baseline, 1);
    // Recoverable damage: every viewer shows these, and so do we, saying it is damaged.
    QTest::newRow("extra bytes before the scan") << insert(base, markerAt(base, 0xDA)) << "whole" << true;
    QTest::newRow("extra bytes between scans") << insert(prog, markerAt(prog, 0xDA, 3)) << "whole" << true;
    QTest::newRow("extra bytes before a restart")
        << insert(restart, markerAt(restart, 0xD1)) << "whole" << true;
    const qsizetype interval = (markerAt(restart, 0xD0) + markerAt(restart, 0xD1)) / 2;
    QTest::newRow("bad Huffman code in a restart interval")
        << QByteArray(restart).insert(interval, QByteArray("\xFF\0\xFF\0", 4)) << "whole" << true;
    // The end marker is not read: the picture is whole.
    QTest::newRow("extra bytes before the end") << insert(base, markerAt(base, 0xD9)) << "whole" << false;
    // A premature end, or a marker inside the data: the missing rest is grey.
    const qsizetype scan = markerAt(base, 0xDA);
    const QByteArray cut = base.left(scan + (base.size() - scan) / 3);
    QTest::newRow("cut in the scan") << cut << "grey" << true;
    QTest::newRow("cut, then an end marker") << cut + "\xFF\xD9"
                                             << "grey" << true;
    QTest::newRow("extra bytes, then cut") << insert(cut, markerAt(cut, 0xDA)) << "grey" << true;
    QTest::newRow("progressive, cut before a scan") << prog.left(markerAt(prog, 0xDA, 4)) << "any" << true;
}

void TstPictureLoader::jpegWarnings()
{
    QFETCH(QByteArray, data);
    QFETCH(QString, rest);
    QFETCH(bool, damaged);
    QVERIFY(!data.isEmpty());
    const LoadedPicture p = load_picture(data, PictureKind::Jpeg);
    QVERIFY(p.ok);
    QCOMPARE(p.damaged, damaged);
    QCOMPARE(p.image.size(), QSize(32, 48));
    const QColor last = p.image.pixel(24, 40);
    if (rest == "whole")
        QVERIFY2(last.lightness() > 200, qPrintable(last.name()));
    else if (rest == "grey")
        QVERIFY2(qAbs(last.red() - 128) < 12 && qAbs(last.green() - 128) < 12 && qAbs(last.blue() - 128) < 12,
                 qPrintable(last.name()));
}

// Only the first Exif block counts: an APP1 that is no Exif block before it is passed over, and
// so are 125,000 small APP1 segments and a second Exif block after it.
void TstPictureLoader::jpegManyApp1Segments()
{
    QByteArray jpeg = withOrientation(withOrientation(encode(twoColour(64, 32), "JPEG", 95), 3), 6);
    const qsizetype firstExif = jpeg.indexOf(QByteArray("\xFF\xE1", 2));
    QVERIFY(firstExif > 0 && jpeg.mid(firstExif + 4, 4) == "Exif");
    const qsizetype afterFirstExif =
        firstExif + 2 + (uchar(jpeg[firstExif + 2]) << 8 | uchar(jpeg[firstExif + 3]));
    QByteArray flood;
    for (int i = 0; i < 125000; ++i)
        flood += QByteArray("\xFF\xE1\0\x04"
                            "ab",
                            6);
    jpeg.insert(afterFirstExif, flood);
    jpeg.insert(firstExif, QByteArray("\xFF\xE1\0\x0Ahttp://x", 12));
    const LoadedPicture p = load_picture(jpeg, PictureKind::Jpeg);
    QVERIFY(p.ok);
    QVERIFY(!p.damaged);
    QCOMPARE(p.naturalSize, QSize(32, 64)); // turned right (6), not upside down (3)
    QVERIFY(QColor(p.image.pixel(16, 4)).red() > 200);
}

// Decodes reuse the thread's read buffer and scratch picture: a picture handed out earlier, and
// the bytes a caller still holds, are never written by a later decode.
void TstPictureLoader::buffersReusedSafely()
{
    QImage red(640, 480, QImage::Format_RGB32), green(640, 480, QImage::Format_RGB32);
    red.fill(Qt::red);
    green.fill(Qt::green);
    const QString a = dir_.filePath("reuse_a.jpg"), b = dir_.filePath("reuse_b.jpg");
    writeFile(a, encode(red, "JPEG", 90));
    writeFile(b, encode(green, "JPEG", 90));
    const QSize fitted(300, 225); // decoded at 1/2, then scaled
    const LoadedPicture first = load_picture(a, fitted);
    const LoadedPicture second = load_picture(b, fitted);
    const LoadedPicture full = load_picture(a);
    const LoadedPicture third = load_picture(b, fitted);
    QVERIFY(first.ok && second.ok && full.ok && third.ok);
    QCOMPARE(first.jpegScaleEighths, 4);
    QVERIFY(QColor(first.image.pixel(150, 100)).red() > 240 &&
            QColor(first.image.pixel(150, 100)).green() < 20);
    QVERIFY(QColor(second.image.pixel(150, 100)).green() > 240 &&
            QColor(second.image.pixel(150, 100)).red() < 20);
    QVERIFY(QColor(full.image.pixel(600, 400)).red() > 240);
    QCOMPARE(third.image, second.image);

    // The bytes of a file stay as read while another file is read.
    const QByteArray held = read_whole_file(a);
    const QByteArray other = read_whole_file(b);
    QCOMPARE(held, encode(red, "JPEG", 90));
    QCOMPARE(other, encode(green, "JPEG", 90));
    QVERIFY(read_whole_file(dir_.filePath("missing.jpg")).isEmpty());
    QVERIFY(read_whole_file(dir_.path()).isEmpty()); // a folder
}

void TstPictureLoader::jpegEndlessScans()
{
    // More than 500 scans are refused, as libjpeg-turbo's own tools do.
    const QByteArray small = libJpeg(sixBlocks(), Scans::Spectral);
    QVERIFY(load_picture(repeatLastScan(small, 100), PictureKind::Jpeg).ok);
    QVERIFY(!load_picture(repeatLastScan(small, 500), PictureKind::Jpeg).ok);
    // A refinement scan repeated contradicts the progression: once or twice is shown, again and
    // again is refused.
    const QByteArray refined = libJpeg(sixBlocks(), Scans::Progressive);
    QVERIFY(load_picture(repeatLastScan(refined, 2), PictureKind::Jpeg).ok);
    QVERIFY(!load_picture(repeatLastScan(refined, 10), PictureKind::Jpeg).ok);
    // A large picture fails sooner: its scans together may visit each block only so often.
    QImage large(2048, 2048, QImage::Format_RGB32);
    large.fill(Qt::darkCyan);
    const QByteArray big = libJpeg(large, Scans::Spectral);
    QVERIFY(load_picture(repeatLastScan(big, 5), PictureKind::Jpeg, QSize(256, 256)).ok);
    QVERIFY(!load_picture(repeatLastScan(big, 20), PictureKind::Jpeg, QSize(256, 256)).ok);
    // Multi-scan pictures keep their coefficients in memory: above the memory limit they are
    // refused before decoding.
    QVERIFY(!load_picture(big, PictureKind::Jpeg, QSize(), qint64(1024) * 1024).ok);
    QVERIFY(
        load_picture(libJpeg(large, Scans::Baseline), PictureKind::Jpeg, QSize(), qint64(2048) * 2048).ok);
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

void TstPictureLoader::bmpBitFields_data()
{
    QTest::addColumn<int>("headerSize");
    QTest::addColumn<int>("bits");
    QTest::addColumn<int>("compression");
    QTest::addColumn<QList<quint32>>("masks");
    QTest::newRow("16-bit 5-5-5, no masks") << 40 << 16 << 0 << QList<quint32>();
    QTest::newRow("16-bit 5-6-5") << 40 << 16 << 3 << packedMasks(5, 6, 5);
    QTest::newRow("16-bit 2-3-1") << 40 << 16 << 3 << packedMasks(2, 3, 1);
    QTest::newRow("16-bit 3-10-3") << 40 << 16 << 3 << packedMasks(3, 10, 3);
    QTest::newRow("16-bit 4-4-4-4 alpha") << 40 << 16 << 6 << packedMasks(4, 4, 4, 4);
    QTest::newRow("16-bit 1-5-5-5 alpha, V3 header") << 56 << 16 << 3 << packedMasks(5, 5, 5, 1);
    QTest::newRow("24-bit") << 40 << 24 << 0 << QList<quint32>();
    QTest::newRow("32-bit, no masks") << 40 << 32 << 0 << QList<quint32>();
    QTest::newRow("32-bit 8-8-8 in BGR order") << 40 << 32 << 3 << QList<quint32>{0xFF, 0xFF00, 0xFF0000};
    QTest::newRow("32-bit 11-11-10") << 40 << 32 << 3 << packedMasks(11, 11, 10);
    QTest::newRow("32-bit 10-10-10-2, V5 header") << 124 << 32 << 3 << packedMasks(10, 10, 10, 2);
    QTest::newRow("32-bit 8-8-8-8 alpha, V4 header") << 108 << 32 << 3 << packedMasks(8, 8, 8, 8);
    QTest::newRow("32-bit alpha bit fields") << 40 << 32 << 6 << packedMasks(8, 8, 8, 8);
    QTest::newRow("32-bit 7-18-7") << 40 << 32 << 3 << packedMasks(7, 18, 7);
    QTest::newRow("32-bit 6-6-6 in the top bits, V2 header")
        << 52 << 32 << 3 << QList<quint32>{0xFC000000, 0x03F00000, 0x000FC000};
}

void TstPictureLoader::bmpBitFields()
{
    // Every mask shape decodes by its masks, each channel scaled to 8 bits.
    QFETCH(int, headerSize);
    QFETCH(int, bits);
    QFETCH(int, compression);
    QFETCH(QList<quint32>, masks);
    const QList<quint32> m = !masks.isEmpty() ? masks
                             : bits == 16     ? QList<quint32>{0x7C00, 0x03E0, 0x001F}
                                              : QList<quint32>{0xFF0000, 0xFF00, 0xFF};
    const quint32 alphaMask = m.size() > 3 ? m[3] : 0;
    auto value = [&](int x, int y) {
        const QRgb c = kTestColours[(x + 3 * y) % 8];
        return quantize(qRed(c), m[0]) | quantize(qGreen(c), m[1]) | quantize(qBlue(c), m[2]) |
               quantize(qAlpha(c), alphaMask);
    };
    Dib dib;
    dib.headerSize = headerSize;
    dib.width = 8;
    dib.height = 4;
    dib.bits = bits;
    dib.compression = quint32(compression);
    dib.masks = masks;
    dib.pixels = dibRows(8, 4, bits, value);
    const QImage image = decode_bmp(bmpFile(dib), kMaxPicturePixels);
    QCOMPARE(image.size(), QSize(8, 4));
    QCOMPARE(image.hasAlphaChannel(), alphaMask != 0);
    int wrong = 0;
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 8; ++x) {
            const quint32 v = value(x, y);
            const QRgb want = qRgba(expand(v, m[0]), expand(v, m[1]), expand(v, m[2]),
                                    alphaMask ? expand(v, alphaMask) : 255);
            if (image.pixel(x, y) != want)
                ++wrong;
        }
    }
    QCOMPARE(wrong, 0);
    QVERIFY(load_picture(bmpFile(dib), PictureKind::Bmp).ok);

    // An alpha channel that is zero everywhere was never filled in: the picture is opaque.
    if (alphaMask) {
        dib.pixels = dibRows(8, 4, bits, [&](int x, int y) { return value(x, y) & ~alphaMask; });
        const QImage opaque = decode_bmp(bmpFile(dib), kMaxPicturePixels);
        QVERIFY(!opaque.hasAlphaChannel());
        QCOMPARE(qAlpha(opaque.pixel(1, 1)), 255);
    }
}

void TstPictureLoader::bmpDamagedHeaders_data()
{
    QTest::addColumn<int>("headerSize");
    QTest::addColumn<int>("planes");
    QTest::addColumn<quint32>("coloursUsed"); // 0: as the fixture writes it
    QTest::addColumn<bool>("damaged");
    QTest::newRow("intact") << 40 << 1 << 0u << false;
    QTest::newRow("OS/2 2.x header") << 64 << 1 << 0u << false;
    QTest::newRow("two planes") << 40 << 2 << 0u << true;
    QTest::newRow("no planes") << 40 << 0 << 0u << true;
    QTest::newRow("header of 48 bytes") << 48 << 1 << 0u << true;
    QTest::newRow("300 colours at 8 bits") << 40 << 1 << 300u << true;
}

// Headers Windows would not write are read as before, and the picture is called damaged.
void TstPictureLoader::bmpDamagedHeaders()
{
    QFETCH(int, headerSize);
    QFETCH(int, planes);
    QFETCH(quint32, coloursUsed);
    QFETCH(bool, damaged);
    Dib dib;
    dib.headerSize = headerSize;
    dib.width = 4;
    dib.height = 2;
    dib.bits = 8;
    for (int i = 0; i < 4; ++i)
        dib.palette << (kTestColours[i] | 0xFF000000);
    dib.pixels = dibRows(4, 2, 8, [](int x, int) { return quint32(x); });
    QByteArray file = bmpFile(dib);
    file[14 + 12] = char(planes);
    if (coloursUsed) {
        for (int i = 0; i < 4; ++i)
            file[14 + 32 + i] = char(coloursUsed >> (8 * i));
    }
    const LoadedPicture p = load_picture(file, PictureKind::Bmp);
    QVERIFY(p.ok);
    QCOMPARE(p.damaged, damaged);
    QCOMPARE(p.image.size(), QSize(4, 2));
    QCOMPARE(p.image.pixel(3, 0) | 0xFF000000, kTestColours[3] | 0xFF000000);
}

void TstPictureLoader::bmpPalettes_data()
{
    QTest::addColumn<int>("headerSize");
    QTest::addColumn<int>("bits");
    QTest::addColumn<int>("colours");
    QTest::addColumn<bool>("topDown");
    QTest::newRow("OS/2 core header, short palette") << 12 << 8 << 5 << false;
    QTest::newRow("OS/2 core header, 4-bit, short palette") << 12 << 4 << 3 << false;
    QTest::newRow("OS/2 2.x header, short palette") << 64 << 8 << 6 << false;
    QTest::newRow("1-bit") << 40 << 1 << 2 << false;
    QTest::newRow("2-bit") << 40 << 2 << 4 << false;
    QTest::newRow("4-bit, 7 colours") << 40 << 4 << 7 << false;
    QTest::newRow("8-bit, top-down") << 40 << 8 << 8 << true;
}

void TstPictureLoader::bmpPalettes()
{
    // The palette is as long as stated (or as the room before the pixels): colours after it
    // are not taken from the pixel data.
    QFETCH(int, headerSize);
    QFETCH(int, bits);
    QFETCH(int, colours);
    QFETCH(bool, topDown);
    Dib dib;
    dib.headerSize = headerSize;
    dib.width = 7;
    dib.height = topDown ? -3 : 3;
    dib.bits = bits;
    for (int i = 0; i < colours; ++i)
        dib.palette << (kTestColours[i % 8] | 0xFF000000);
    auto index = [&](int x, int y) { return quint32((x + y) % colours); };
    dib.pixels = dibRows(7, 3, bits, [&](int x, int y) { return index(x, topDown ? 2 - y : y); });
    const QImage image = decode_bmp(bmpFile(dib), kMaxPicturePixels);
    QCOMPARE(image.size(), QSize(7, 3));
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 7; ++x)
            QCOMPARE(image.pixel(x, y), dib.palette[int(index(x, y))]);
}

void TstPictureLoader::bmpRuns_data()
{
    QTest::addColumn<int>("bits");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QString>("rows"); // expected rows from the top, '.' transparent; empty: refused
    // Palette: 0 black, 1 red, 2 green, 3 blue.
    QTest::newRow("RLE8 runs and an absolute run")
        << 8 << QSize(4, 2) << runs({4, 1, 0, 0, 0, 4, 2, 3, 2, 3, 0, 1}) << "2323 1111";
    QTest::newRow("RLE8 delta skips pixels, which stay transparent")
        << 8 << QSize(4, 3) << runs({1, 2, 0, 2, 1, 2, 2, 3, 0, 1}) << "..33 .... 2...";
    QTest::newRow("RLE8 end of line leaves the rest transparent")
        << 8 << QSize(3, 2) << runs({1, 1, 0, 0, 3, 2, 0, 1}) << "222 1..";
    QTest::newRow("RLE4 runs alternate two indexes")
        << 4 << QSize(5, 2) << runs({5, 0x12, 0, 0, 0, 5, 0x30, 0x12, 0x30, 0, 0, 1}) << "30123 12121";
    QTest::newRow("rows complete without an end code")
        << 8 << QSize(2, 2) << runs({2, 1, 0, 0, 2, 3, 0, 0}) << "33 11";
    QTest::newRow("run past the row") << 8 << QSize(4, 2) << runs({5, 1, 0, 1}) << "";
    QTest::newRow("absolute run past the row") << 8 << QSize(2, 1) << runs({0, 3, 1, 1, 1, 0, 0, 1}) << "";
    QTest::newRow("index past the palette") << 8 << QSize(2, 1) << runs({2, 9, 0, 1}) << "";
    QTest::newRow("RLE4 index past the palette") << 4 << QSize(2, 1) << runs({2, 0x19, 0, 1}) << "";
    QTest::newRow("delta past the picture") << 8 << QSize(4, 2) << runs({0, 2, 1, 5, 0, 1}) << "";
    QTest::newRow("rows past the top") << 8 << QSize(2, 1) << runs({2, 1, 0, 0, 2, 1, 0, 1}) << "";
    QTest::newRow("data ends early") << 8 << QSize(4, 4) << runs({4, 1, 0, 0, 4, 2}) << "";
    QTest::newRow("absolute run past the data") << 8 << QSize(8, 1) << runs({0, 8, 1, 1}) << "";
    // 253 bytes cannot hold 2554 x 18803 pixels: at most 255 pixels come from each two bytes.
    QTest::newRow("size beyond the data")
        << 8 << QSize(2554, 18803) << runs({255, 1}).repeated(125) + runs({0, 1, 0}) << "";
}

void TstPictureLoader::bmpRuns()
{
    QFETCH(int, bits);
    QFETCH(QSize, size);
    QFETCH(QByteArray, data);
    QFETCH(QString, rows);
    Dib dib;
    dib.width = size.width();
    dib.height = size.height();
    dib.bits = bits;
    dib.compression = bits == 8 ? 1 : 2;
    dib.palette = {qRgb(0, 0, 0), qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255)};
    dib.pixels = data;
    const QImage image = decode_bmp(bmpFile(dib), kMaxPicturePixels);
    QCOMPARE(load_picture(bmpFile(dib), PictureKind::Bmp).ok, !rows.isEmpty());
    if (rows.isEmpty()) {
        QVERIFY(image.isNull());
        return;
    }
    const QStringList lines = rows.split(' ');
    QCOMPARE(image.size(), size);
    QCOMPARE(image.hasAlphaChannel(), rows.contains('.'));
    for (int y = 0; y < size.height(); ++y) {
        for (int x = 0; x < size.width(); ++x) {
            const QChar c = lines[y][x];
            const QRgb want = c == '.' ? 0 : dib.palette[c.digitValue()];
            QVERIFY2(image.pixel(x, y) == want, qPrintable(QString("pixel %1,%2").arg(x).arg(y)));
        }
    }
}

void TstPictureLoader::icons_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QString>("shape"); // '#' opaque, '.' transparent, per 8 x 8 cell; empty: refused
    // The mask: the left half and the bottom-right cell are transparent (a 4 x 4 grid of cells).
    auto masked = [](int x, int y) { return x < 16 || (x >= 24 && y >= 24); };
    const QString shape = "..## ..## ..## ..#.";
    auto colour24 = [](int x, int y) { return quint32(qRgb(x * 8, y * 8, 100)) & 0xFFFFFF; };
    const QByteArray dib24 = iconDib(32, 24, colour24, masked);
    QTest::newRow("24-bit with an AND mask") << icoFile({{dib24, 32, 32, 24}}) << QSize(32, 32) << shape;
    const QList<QRgb> pal{qRgb(0, 0, 0), qRgb(255, 0, 0), qRgb(0, 0, 255)};
    QTest::newRow("4-bit with an AND mask")
        << icoFile({{iconDib(
                         32, 4, [](int x, int) { return quint32(x % 3); }, masked, pal),
                     32, 32, 4}})
        << QSize(32, 32) << shape;
    // Alpha in the colours wins over the mask.
    auto colour32 = [](int x, int) { return x < 8 ? 0u : 0xFF00FF00u; };
    QTest::newRow("32-bit with alpha") << icoFile({{iconDib(32, 32, colour32, masked), 32, 32, 32}})
                                       << QSize(32, 32) << ".### .### .### .###";
    QTest::newRow("32-bit, alpha all zero: the mask")
        << icoFile({{iconDib(
                         32, 32, [](int, int) { return 0x00FF00u; }, masked),
                     32, 32, 32}})
        << QSize(32, 32) << shape;
    // The embedded image, not the directory, tells sizes, depths and lengths.
    QTest::newRow("directory: wrong length") << icoFile({{dib24, 32, 32, 24, 40}}) << QSize(32, 32) << shape;
    QTest::newRow("directory: wrong size and depth")
        << icoFile({{dib24, 16, 16, 8}}) << QSize(32, 32) << shape;
    QImage png(24, 24, QImage::Format_ARGB32);
    png.fill(Qt::transparent);
    QPainter(&png).fillRect(12, 0, 12, 24, Qt::red);
    QTest::newRow("PNG entry, directory says 500 bits")
        << icoFile({{encode(png, "PNG"), 24, 24, 500}}) << QSize(24, 24) << "..## ..## ..##";
    QTest::newRow("largest entry") << icoFile({{iconDib(16, 24, colour24, [](int, int) { return false; }), 16,
                                                16, 24},
                                               {dib24, 32, 32, 24}})
                                   << QSize(32, 32) << shape;
    QTest::newRow("colours cut short")
        << icoFile({{dib24.left(40 + 32 * 32 * 3 / 2), 32, 32, 24}}) << QSize() << "";
    QTest::newRow("mask cut short") << icoFile({{dib24.left(dib24.size() - 20), 32, 32, 24}}) << QSize()
                                    << "";
    QTest::newRow("entry past the end") << icoFile({{dib24, 32, 32, 24}}).left(6 + 16 + 10) << QSize() << "";
}

void TstPictureLoader::icons()
{
    QFETCH(QByteArray, data);
    QFETCH(QSize, size);
    QFETCH(QString, shape);
    const LoadedPicture p = load_picture(data, PictureKind::Ico);
    QCOMPARE(p.ok, !shape.isEmpty());
    if (shape.isEmpty())
        return;
    QCOMPARE(p.image.size(), size);
    const QStringList rows = shape.split(' ');
    int wrong = 0;
    for (int y = 0; y < size.height(); ++y) {
        for (int x = 0; x < size.width(); ++x) {
            const bool opaque = rows[y * rows.size() / size.height()][x * 4 / size.width()] == '#';
            if ((qAlpha(p.image.pixel(x, y)) == 255) != opaque ||
                (!opaque && qAlpha(p.image.pixel(x, y)) != 0))
                ++wrong;
        }
    }
    QCOMPARE(wrong, 0);
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
    auto movie = make_picture_movie(path, PictureKind::Gif);
    QVERIFY(movie);
    movie->setSpeed(250);
    QCOMPARE(movie->speed(), 250);
    QVERIFY(movie->jumpToNextFrame() && movie->jumpToNextFrame());
    QCOMPARE(movie->currentFrameNumber(), 1);
    QCOMPARE(QColor(movie->currentImage().pixel(1, 1)), QColor(Qt::blue));
    QVERIFY(make_picture_movie(gif(2), PictureKind::Gif));
    QVERIFY(!make_picture_movie(QByteArray("GIF89a"), PictureKind::Gif));
    // Played, the animation starts again after its last frame (the file loops forever).
    QCOMPARE(movie->loopCount(), -1);
    int changes = 0;
    connect(movie.get(), &QMovie::frameChanged, this, [&] { ++changes; });
    movie->setSpeed(1000);
    movie->start();
    QTRY_VERIFY(changes >= 5);
    movie->stop();
}

void TstPictureLoader::gifCompositing_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QStringList>("frames");
    const QSize screen(4, 4);
    auto file = [&](const QList<GifImage> &images) { return gifFile(screen, kGifColours, images); };
    const QByteArray allRed = gifIndexes("RRRR RRRR RRRR RRRR");
    QTest::newRow("screen outside the first image is transparent")
        << file({{QRect(1, 1, 2, 2), gifIndexes("GG GG")}}) << QStringList{".... .GG. .GG. ...."};
    QTest::newRow("transparent pixels show the frame below")
        << file({{QRect(0, 0, 4, 4), allRed, 1, 10},
                 {QRect(0, 0, 4, 4), gifIndexes("WBWB BWBW WWWW BBBB"), 1, 10, 3}})
        << QStringList{"RRRR RRRR RRRR RRRR", "RBRB BRBR RRRR BBBB"};
    QTest::newRow("disposal 2 clears to transparent")
        << file({{QRect(0, 0, 2, 2), gifIndexes("GG GG"), 2, 10},
                 {QRect(2, 2, 2, 2), gifIndexes("BB BB"), 0, 10}})
        << QStringList{"GG.. GG.. .... ....", ".... .... ..BB ..BB"};
    QTest::newRow("disposal 3 restores the frame before, without an extra frame")
        << file({{QRect(0, 0, 4, 4), allRed, 1, 10},
                 {QRect(1, 1, 2, 2), gifIndexes("GG GG"), 3, 10},
                 {QRect(2, 0, 2, 1), gifIndexes("BB"), 1, 10}})
        << QStringList{"RRRR RRRR RRRR RRRR", "RRRR RGGR RGGR RRRR", "RRBB RRRR RRRR RRRR"};
    // Each image is a frame, also one without a delay (shown for 100 ms).
    QTest::newRow("blocks without delay are frames of their own")
        << file({{QRect(0, 0, 2, 4), gifIndexes("GG GG GG GG"), 0, 0},
                 {QRect(2, 0, 2, 4), gifIndexes("BB BB BB BB"), 0, 10},
                 {QRect(0, 0, 1, 1), gifIndexes("W"), 0, 0}})
        << QStringList{"GG.. GG.. GG.. GG..", "GGBB GGBB GGBB GGBB", "WGBB GGBB GGBB GGBB"};
    GifImage noControl{QRect(0, 0, 4, 2), gifIndexes("RRRR RRRR")};
    noControl.control = false;
    GifImage noControl2{QRect(0, 2, 4, 2), gifIndexes("BBBB BBBB")};
    noControl2.control = false;
    QTest::newRow("GIF87a-style images without delays are frames")
        << file({noControl, noControl2}) << QStringList{"RRRR RRRR .... ....", "RRRR RRRR BBBB BBBB"};
    QTest::newRow("image partly outside the screen is clipped")
        << file({{QRect(3, 2, 3, 3), gifIndexes("RGB RGB RGB")}}) << QStringList{".... .... ...R ...R"};
    GifImage local{QRect(0, 0, 2, 1), QByteArray("\0\1", 2)};
    local.local = {qRgb(255, 255, 255), qRgb(0, 0, 255)};
    QTest::newRow("local colour table") << gifFile(QSize(2, 1), kGifColours, {local}) << QStringList{"WB"};
    GifImage interlaced{QRect(0, 0, 1, 10), gifIndexes("R G B W R G B W R G")};
    interlaced.interlaced = true;
    QTest::newRow("interlaced rows") << gifFile(QSize(1, 10), kGifColours, {interlaced})
                                     << QStringList{"R G B W R G B W R G"};
    QTest::newRow("no screen size: the first image's")
        << gifFile(QSize(0, 0), kGifColours, {{QRect(0, 0, 3, 2), gifIndexes("RGB BGR")}})
        << QStringList{"RGB BGR"};
}

void TstPictureLoader::gifCompositing()
{
    // Frames composited as GIF89a describes, the same through the loader, the decoder and
    // the animation.
    QFETCH(QByteArray, data);
    QFETCH(QStringList, frames);
    GifDecoder decoder;
    QVERIFY(decoder.open(data, kMaxPicturePixels));
    QCOMPARE(decoder.frameCount(), frames.size());
    QImage frame;
    int delay = 0;
    for (const QString &want : frames) {
        QVERIFY(decoder.next(&frame, &delay));
        QCOMPARE(gifLetters(frame), want);
        QCOMPARE(delay, 100);
    }
    QVERIFY(!decoder.next(&frame, &delay));

    const LoadedPicture p = load_picture(data, PictureKind::Gif);
    QVERIFY(p.ok);
    QCOMPARE(p.frameCount, frames.size());
    QCOMPARE(gifLetters(p.image.convertToFormat(QImage::Format_ARGB32)), frames.first());

    auto movie = make_picture_movie(data, PictureKind::Gif);
    QVERIFY(movie);
    QCOMPARE(movie->frameCount(), frames.size());
    for (int i = 0; i < frames.size(); ++i) {
        QVERIFY(movie->jumpToNextFrame());
        QCOMPARE(movie->currentFrameNumber(), i);
        QCOMPARE(gifLetters(movie->currentImage().convertToFormat(QImage::Format_ARGB32)), frames[i]);
    }
}

void TstPictureLoader::gifLzw()
{
    // A picture of 256 colours large enough for the code table to grow to 12 bits and start
    // again, with long runs (codes defined by the code just read).
    QList<QRgb> palette;
    for (int i = 0; i < 256; ++i)
        palette << qRgb(i, 255 - i, (i * 7) & 0xFF);
    QByteArray indexes;
    for (int y = 0; y < 120; ++y)
        for (int x = 0; x < 160; ++x)
            indexes += char(y < 30 ? 9 : ((x * 13) ^ (y * 7)) + x / 20);
    const QByteArray data = gifFile(QSize(160, 120), palette, {{QRect(0, 0, 160, 120), indexes}}, -1);
    const LoadedPicture p = load_picture(data, PictureKind::Gif);
    QVERIFY(p.ok);
    QCOMPARE(p.frameCount, 1);
    int wrong = 0;
    for (int y = 0; y < 120; ++y)
        for (int x = 0; x < 160; ++x)
            wrong += p.image.pixel(x, y) != palette[uchar(indexes[y * 160 + x])];
    QCOMPARE(wrong, 0);
    // No loop extension: played once.
    GifDecoder decoder;
    QVERIFY(decoder.open(data, kMaxPicturePixels));
    QCOMPARE(decoder.loopCount(), 0);
    QVERIFY(!decoder.open(data, 160 * 119)); // above the pixel limit
    // A screen far larger than its data could paint: a few bytes, not hundreds of megabytes.
    QVERIFY(decoder.open(gifFile(QSize(100, 100), kGifColours, {{QRect(0, 0, 1, 1), gifIndexes("R")}}),
                         kMaxPicturePixels));
    QVERIFY(!decoder.open(gifFile(QSize(8000, 8000), kGifColours, {{QRect(0, 0, 1, 1), gifIndexes("R")}}),
                          kMaxPicturePixels));
    QVERIFY(!decoder.open(gifFile(QSize(0, 0), kGifColours, {{QRect(0, 0, 4000, 9000), gifIndexes("R")}}),
                          kMaxPicturePixels));
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
    odd.rec(0x0A32, {10, 10, 200, 6, 0, 0, 50, 50});
    QTest::newRow("odd records") << odd.file(100, 100, 96) << true;
    // Point counts that are negative or run past the record make the file invalid.
    const QList<QPair<const char *, QList<int>>> polys{
        {"polygon", {0x0324, 2, 0, 0, 10, 10}},
        {"polygon, negative count", {0x0324, -2, 0, 0, 10, 10}},
        {"polygon, count past the record", {0x0324, 3, 0, 0, 10, 10}},
        {"polyline, count past the record", {0x0325, 300, 0, 0, 10, 10}},
        {"poly-polygon", {0x0538, 2, 1, 1, 0, 0, 10, 10}},
        {"poly-polygon, negative count", {0x0538, 2, 3, -1, 0, 0, 10, 10, 20, 0}},
        {"poly-polygon, points past the record", {0x0538, 2, 1, 2, 0, 0, 10, 10}},
        {"poly-polygon, polygons past the record", {0x0538, 3, 100, 100, 100}},
        {"poly-polygon, negative polygon count", {0x0538, -1, 0}}};
    for (const auto &[name, words] : polys) {
        Wmf w;
        w.rec(quint16(words[0]), words.mid(1));
        QTest::newRow(name) << w.file(100, 100, 96) << (QByteArray(name).count(',') == 0);
    }
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
    // A JPEG cut short is shown, the missing rest grey, and called damaged.
    const bool shownDamaged =
        name.endsWith(QLatin1String(".jpg")) && QTest::currentDataTag() == name + " truncated";
    for (QSize shown : {QSize(), QSize(20, 15)}) {
        const LoadedPicture p = load_picture(path, shown);
        if (shownDamaged) {
            QVERIFY(p.ok && p.damaged);
            QCOMPARE(p.image.size(), shown.isValid() ? shown : QSize(64, 48));
            continue;
        }
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

void TstPictureLoader::prefetch()
{
    const QString next = dir_.filePath("next.jpg");
    writeFile(next, encode(twoColour(320, 240), "JPEG"));
    PicturePrefetcher prefetcher;
    QSignalSpy decoded(&prefetcher, &PicturePrefetcher::decoded);
    const auto picture = [&] { return decoded.takeFirst().at(0).value<DecodedPicture>().picture; };
    prefetcher.prefetch(next, QSize(160, 120));
    prefetcher.prefetch(next, QSize(160, 120)); // same request: nothing new
    QTRY_VERIFY(prefetcher.isReady(next, QSize(160, 120)));
    std::optional<DecodedPicture> p = prefetcher.take(next, QSize(160, 120));
    QVERIFY(p && p->picture.ok);
    QCOMPARE(p->picture.image.size(), QSize(160, 120));
    QCOMPARE(prefetcher.hits(), 1);
    QVERIFY(!prefetcher.isDecoding());

    // Asked for while it is still being decoded: announced once ready, as a hit.
    prefetcher.prefetch(next, QSize(40, 30));
    if (!prefetcher.isReady(next, QSize(40, 30))) {
        QVERIFY(!prefetcher.take(next, QSize(40, 30)));
        QVERIFY(prefetcher.isDecoding());
        QTRY_COMPARE(decoded.size(), 1);
        QCOMPARE(picture().image.size(), QSize(40, 30));
        QCOMPARE(prefetcher.hits(), 2);
    } else {
        QVERIFY(prefetcher.take(next, QSize(40, 30)));
        QCOMPARE(prefetcher.hits(), 2);
    }

    // Another size or another file is decoded on its own, off the caller's thread.
    prefetcher.prefetch(next, QSize(160, 120));
    QVERIFY(!prefetcher.take(next, QSize(80, 60)));
    QVERIFY(prefetcher.isDecoding());
    QTRY_COMPARE(decoded.size(), 1);
    QCOMPARE(picture().image.size(), QSize(80, 60));
    QCOMPARE(prefetcher.hits(), 2);

    // A newer request supersedes an older one: only the newest is announced.
    QVERIFY(!prefetcher.take(next, QSize(20, 15)));
    QVERIFY(!prefetcher.take(next, QSize(32, 24)));
    QTRY_VERIFY(!prefetcher.isDecoding());
    QCOMPARE(decoded.size(), 1);
    QCOMPARE(picture().image.size(), QSize(32, 24));

    // A file rewritten after the prefetch is not served from the stale result.
    prefetcher.prefetch(next, QSize());
    QTRY_VERIFY(prefetcher.isReady(next, QSize()));
    QFile::remove(next);
    writeFile(next, encode(twoColour(100, 50), "JPEG"));
    QFile f(next);
    f.open(QIODevice::ReadWrite);
    f.setFileTime(QDateTime::currentDateTime().addSecs(10), QFileDevice::FileModificationTime);
    f.close();
    QVERIFY(!prefetcher.take(next, QSize()));
    QTRY_COMPARE(decoded.size(), 1);
    QCOMPARE(picture().naturalSize, QSize(100, 50));
    QCOMPARE(prefetcher.hits(), 2);

    // A request that is let go is never announced.
    QVERIFY(!prefetcher.take(next, QSize(10, 5)));
    prefetcher.cancelRequest();
    QVERIFY(!prefetcher.isDecoding());

    // Destroying the prefetcher while it works is safe.
    {
        PicturePrefetcher shortLived;
        shortLived.prefetch(next, QSize(10, 5));
        shortLived.take(dir_.filePath("missing.jpg"), QSize());
    }
    QCOMPARE(decoded.size(), 0);
}

void TstPictureLoader::gifDecodedForView()
{
    const QString path = dir_.filePath("anim.gif");
    writeFile(path, gif(3));
    const DecodedPicture d = decode_for_view(path, QSize(5, 5));
    QVERIFY(d.picture.ok);
    QCOMPARE(d.picture.frameCount, 3);
    QVERIFY(make_picture_movie(d.animation, PictureKind::Gif));
    // A damaged frame fails the whole animation.
    writeFile(path, gif(3).left(40));
    QVERIFY(!decode_for_view(path, QSize()).picture.ok);
}

// QMovie keeps its frames as pixmaps, which need a GUI application.
QTEST_MAIN(TstPictureLoader)
#include "tst_picture_loader.moc"
