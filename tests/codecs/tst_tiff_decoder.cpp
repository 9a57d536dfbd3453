// TIFF through libtiff: pages as frames, reduced pages for smaller sizes, orientation, colour
// profiles (CMYK too), 16-bit samples, limits and damaged files.
#include "codecs/picture_kinds.h"
#include "codecs/picture_loader.h"
#include "codecs/tiff_decoder.h"
#include "support/colour_fixtures.h"
#include "support/tool_fixtures.h"

#include <QBuffer>
#include <QMovie>
#include <QTemporaryDir>
#include <QtTest>

#include <tiffio.h>

using namespace vorn;
using namespace vorn::test;

namespace
{

struct TiffPage {
    QSize size;
    QColor colour;
    bool reduced = false;
    int orientation = 1;
    int bits = 8;
    bool cmyk = false; // colour written as plain ink: C = 255 - red, ...
    bool alpha = false;
    bool associated = false; // the alpha is premultiplied
    int gray = 0;            // 1: min is black, 2: min is white (the red channel as the level)
    QSize tile{};            // tiled when set, else strips of 4 rows
    QByteArray icc{};
    QImage picture{}; // when set, written instead of the flat colour (8-bit RGB)
};

// A TIFF written by libtiff, one directory per page.
QByteArray tiffFile(const QList<TiffPage> &pages)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("t.tif");
    TIFF *tif = TIFFOpen(path.toLocal8Bit().constData(), "w");
    if (!tif)
        return {};
    for (const TiffPage &p : pages) {
        const int samples = (p.gray ? 1 : p.cmyk ? 4 : 3) + (p.alpha ? 1 : 0);
        TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, uint32_t(p.size.width()));
        TIFFSetField(tif, TIFFTAG_IMAGELENGTH, uint32_t(p.size.height()));
        TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, uint16_t(p.bits));
        TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, uint16_t(samples));
        TIFFSetField(tif, TIFFTAG_PHOTOMETRIC,
                     p.cmyk        ? PHOTOMETRIC_SEPARATED
                     : p.gray == 1 ? PHOTOMETRIC_MINISBLACK
                     : p.gray == 2 ? PHOTOMETRIC_MINISWHITE
                                   : PHOTOMETRIC_RGB);
        TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
        TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_LZW);
        if (p.tile.isValid()) {
            TIFFSetField(tif, TIFFTAG_TILEWIDTH, uint32_t(p.tile.width()));
            TIFFSetField(tif, TIFFTAG_TILELENGTH, uint32_t(p.tile.height()));
        } else {
            TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, uint32_t(4));
        }
        TIFFSetField(tif, TIFFTAG_ORIENTATION, uint16_t(p.orientation));
        if (p.alpha) {
            const uint16_t extra = p.associated ? EXTRASAMPLE_ASSOCALPHA : EXTRASAMPLE_UNASSALPHA;
            TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, 1, &extra);
        }
        if (p.reduced)
            TIFFSetField(tif, TIFFTAG_SUBFILETYPE, uint32_t(FILETYPE_REDUCEDIMAGE));
        if (!p.icc.isEmpty())
            TIFFSetField(tif, TIFFTAG_ICCPROFILE, uint32_t(p.icc.size()), p.icc.constData());
        const int bytes = p.bits / 8;
        const size_t rowBytes = size_t(p.size.width()) * samples * bytes;
        std::vector<uchar> whole(rowBytes * size_t(p.size.height()));
        for (int y = 0; y < p.size.height(); ++y) {
            uchar *row = whole.data() + rowBytes * size_t(y);
            for (int x = 0; x < p.size.width(); ++x) {
                const QColor c = p.picture.isNull() ? p.colour : p.picture.pixelColor(x, y);
                int v[4] = {c.red(), c.green(), c.blue(), c.alpha()};
                if (p.associated)
                    for (int i = 0; i < 3; ++i)
                        v[i] = (v[i] * c.alpha() + 127) / 255;
                if (p.gray) {
                    v[0] = p.gray == 2 ? 255 - v[0] : v[0];
                    v[1] = c.alpha();
                }
                if (p.cmyk) {
                    v[0] = 255 - c.red();
                    v[1] = 255 - c.green();
                    v[2] = 255 - c.blue();
                    v[3] = 0;
                }
                for (int s = 0; s < samples; ++s) {
                    uchar *at = row + (size_t(x) * samples + s) * bytes;
                    if (bytes == 1) {
                        *at = uchar(v[s]);
                    } else {
                        const uint16_t w = uint16_t(v[s] * 257);
                        memcpy(at, &w, 2);
                    }
                }
            }
        }
        if (!p.tile.isValid()) {
            for (int y = 0; y < p.size.height(); ++y)
                TIFFWriteScanline(tif, whole.data() + rowBytes * size_t(y), uint32_t(y), 0);
        } else {
            // Each tile cut from the whole picture; the parts beyond its edges stay zero.
            const size_t tileRow = size_t(p.tile.width()) * samples * bytes;
            std::vector<uchar> tile(tileRow * size_t(p.tile.height()));
            for (int ty = 0; ty < p.size.height(); ty += p.tile.height()) {
                for (int tx = 0; tx < p.size.width(); tx += p.tile.width()) {
                    std::fill(tile.begin(), tile.end(), uchar(0));
                    const int w = std::min(p.tile.width(), p.size.width() - tx);
                    for (int r = 0; r < p.tile.height() && ty + r < p.size.height(); ++r)
                        memcpy(tile.data() + tileRow * size_t(r),
                               whole.data() + rowBytes * size_t(ty + r) + size_t(tx) * samples * bytes,
                               size_t(w) * samples * bytes);
                    TIFFWriteTile(tif, tile.data(), uint32_t(tx), uint32_t(ty), 0, 0);
                }
            }
        }
        TIFFWriteDirectory(tif);
    }
    TIFFClose(tif);
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

LoadedPicture decode(const QByteArray &tiff, QSize shown = QSize(), bool middle = false)
{
    DecodeRequest request;
    request.shownSize = shown;
    request.middleFrame = middle;
    return decode_tiff_picture(tiff, request);
}

} // namespace

class TstTiffDecoder : public QObject
{
    Q_OBJECT
  private slots:
    void samples_data();
    void samples();
    void orientation_data();
    void orientation();
    void reducedPages();
    void shrunkWhileReading_data();
    void shrunkWhileReading();
    void cmykShrunkWhileReading();
    void pagesAsFrames();
    void damaged();
};

void TstTiffDecoder::samples_data()
{
    QTest::addColumn<QByteArray>("tiff");
    QTest::addColumn<QColor>("expected");
    const QColor c(200, 120, 60);
    const QSize s(9, 7);
    QTest::newRow("rgb 8") << tiffFile({{s, c}}) << c;
    TiffPage wide{s, c};
    wide.bits = 16;
    QTest::newRow("rgb 16") << tiffFile({wide}) << c;
    TiffPage alpha{s, QColor(200, 120, 60, 128)};
    alpha.alpha = true;
    QTest::newRow("rgba, unassociated alpha") << tiffFile({alpha}) << QColor(200, 120, 60, 128);
    TiffPage gray{s, QColor(90, 90, 90)};
    gray.gray = 1;
    QTest::newRow("gray 8") << tiffFile({gray}) << QColor(90, 90, 90);
    gray.gray = 2;
    QTest::newRow("gray 8, min is white") << tiffFile({gray}) << QColor(90, 90, 90);
    gray.colour = QColor(90, 90, 90, 128);
    gray.alpha = true;
    QTest::newRow("gray and alpha") << tiffFile({gray}) << QColor(90, 90, 90, 128);
    alpha.associated = true;
    QTest::newRow("rgba, associated alpha") << tiffFile({alpha}) << QColor(200, 120, 60, 128);
    TiffPage tiled{s, c};
    tiled.tile = QSize(16, 16); // one tile larger than the picture
    QTest::newRow("rgb 8, tiled") << tiffFile({tiled}) << c;
    TiffPage p3{s, c};
    p3.icc = displayP3Profile();
    QTest::newRow("display p3 profile") << tiffFile({p3}) << displayP3InSrgb(c);
    TiffPage cmyk{s, QColor(Qt::red)};
    cmyk.cmyk = true;
    QTest::newRow("cmyk") << tiffFile({cmyk}) << QColor(Qt::red);
    TiffPage cmykProfiled = cmyk;
    cmykProfiled.icc = channelSwapProfile(true);
    QTest::newRow("cmyk with profile") << tiffFile({cmykProfiled}) << QColor(Qt::blue);
    // Written by ImageMagick: gray 16 bit, and JPEG-compressed YCbCr.
    QImage flat(s, QImage::Format_RGB32);
    flat.fill(QColor(90, 90, 90));
    QTest::newRow("gray 16, imagemagick")
        << convertPicture(flat, {"-colorspace", "Gray", "-depth", "16"}, "tiff:out.tif")
        << QColor(90, 90, 90);
    flat.fill(c);
    QTest::newRow("jpeg compressed, imagemagick")
        << convertPicture(flat, {"-compress", "JPEG", "-quality", "98"}, "tiff:out.tif") << c;
}

void TstTiffDecoder::samples()
{
    QFETCH(QByteArray, tiff);
    QFETCH(QColor, expected);
    QVERIFY(tiff.startsWith("II*") || tiff.startsWith("MM"));
    const LoadedPicture p = decode(tiff);
    QVERIFY(p.ok);
    QCOMPARE(p.kind, PictureKind::Tiff);
    QCOMPARE(p.naturalSize, QSize(9, 7));
    QCOMPARE(p.image.size(), QSize(9, 7));
    QCOMPARE(p.frameCount, 1);
    const QColor got = p.image.pixelColor(4, 3);
    QVERIFY2(coloursNear(got, expected, 3), colourText(got) + " expected " + colourText(expected));
    QCOMPARE(probe_tiff_size(tiff), QSize(9, 7));
}

void TstTiffDecoder::orientation_data()
{
    QTest::addColumn<int>("orientation");
    for (int o = 1; o <= 8; ++o)
        QTest::addRow("%d", o) << o;
}

void TstTiffDecoder::orientation()
{
    QFETCH(int, orientation);
    const int inverse = orientation == 6 ? 8 : orientation == 8 ? 6 : orientation;
    const QImage upright = quadrants(QSize(6, 4));
    const QImage stored = apply_exif_orientation(upright, inverse);
    TiffPage page{stored.size(), QColor()};
    page.picture = stored;
    page.orientation = orientation;
    const QByteArray tiff = tiffFile({page});
    const LoadedPicture p = decode(tiff);
    QVERIFY(p.ok);
    QCOMPARE(p.naturalSize, upright.size());
    QCOMPARE(p.image.convertToFormat(QImage::Format_RGB32), upright);
    QCOMPARE(probe_tiff_size(tiff), upright.size());
}

void TstTiffDecoder::reducedPages()
{
    // A 400 x 300 page (red) with reduced versions 100 x 75 (green) and 50 x 38 (blue): a small
    // shown size is made from the smallest reduced page still large enough.
    TiffPage full{QSize(400, 300), Qt::red};
    TiffPage mid{QSize(100, 75), Qt::green};
    mid.reduced = true;
    TiffPage small{QSize(50, 38), Qt::blue};
    small.reduced = true;
    const QByteArray tiff = tiffFile({full, mid, small});
    struct Case {
        QSize shown;
        QColor colour;
    };
    for (const Case &c : {Case{QSize(40, 30), Qt::blue}, Case{QSize(80, 60), Qt::green},
                          Case{QSize(200, 150), Qt::red}, Case{QSize(), Qt::red}}) {
        const LoadedPicture p = decode(tiff, c.shown);
        QVERIFY(p.ok);
        QCOMPARE(p.naturalSize, QSize(400, 300));
        QCOMPARE(p.frameCount, 1); // reduced pages are no pages of their own
        QCOMPARE(p.image.size(), c.shown.isValid() ? c.shown : QSize(400, 300));
        QCOMPARE(p.image.pixelColor(p.image.width() / 2, p.image.height() / 2), c.colour);
    }
    QCOMPARE(probe_tiff_size(tiff), QSize(400, 300));
}

void TstTiffDecoder::shrunkWhileReading_data()
{
    // A smaller shown size is read shrunk by a whole factor, then fitted; the natural size is
    // read as it is. The picture's size is no multiple of the factors, so the blocks at its
    // edges are smaller.
    QTest::addColumn<QSize>("tile");
    QTest::addColumn<int>("gray");
    QTest::addColumn<bool>("alpha");
    QTest::addColumn<int>("orientation");
    QTest::addColumn<int>("bits");
    QTest::addColumn<QSize>("shown");
    const QSize tile(32, 16);
    QTest::newRow("strips, a fifth") << QSize() << 0 << false << 1 << 8 << QSize(20, 15);
    QTest::newRow("strips, a half") << QSize() << 0 << false << 1 << 8 << QSize(50, 38);
    QTest::newRow("tiles, a fifth") << tile << 0 << false << 1 << 8 << QSize(20, 15);
    QTest::newRow("tiles, natural size") << tile << 0 << false << 1 << 8 << QSize();
    QTest::newRow("tiles, turned") << tile << 0 << false << 6 << 8 << QSize(20, 15);
    QTest::newRow("gray min is white, tiles") << tile << 2 << false << 1 << 8 << QSize(20, 15);
    QTest::newRow("unassociated alpha") << QSize() << 0 << true << 1 << 8 << QSize(20, 15);
    QTest::newRow("unassociated alpha, tiles, natural size") << tile << 0 << true << 1 << 8 << QSize();
    // 16 bits go through libtiff's RGBA reader, shrunk band by band the same way.
    QTest::newRow("16 bit, a fifth") << QSize() << 0 << false << 1 << 16 << QSize(20, 15);
    QTest::newRow("16 bit alpha, tiles, turned") << tile << 0 << true << 8 << 16 << QSize(15, 20);
    QTest::newRow("16 bit alpha, natural size") << QSize() << 0 << true << 1 << 16 << QSize();
}

void TstTiffDecoder::shrunkWhileReading()
{
    QFETCH(QSize, tile);
    QFETCH(int, gray);
    QFETCH(bool, alpha);
    QFETCH(int, orientation);
    QFETCH(int, bits);
    QFETCH(QSize, shown);
    const QSize natural(103, 77);
    QImage upright = quadrants(natural).convertToFormat(QImage::Format_ARGB32);
    if (gray || alpha) {
        for (int y = 0; y < natural.height(); ++y) {
            for (int x = 0; x < natural.width(); ++x) {
                const QColor c = upright.pixelColor(x, y);
                const int level = c.red();
                upright.setPixelColor(x, y,
                                      gray ? QColor(level, level, level, alpha ? 200 : 255)
                                           : QColor(c.red(), c.green(), c.blue(), alpha ? 200 : 255));
            }
        }
    }
    const int inverse = orientation == 6 ? 8 : orientation == 8 ? 6 : orientation;
    TiffPage page{QSize(), QColor()};
    page.picture = apply_exif_orientation(upright, inverse);
    page.size = page.picture.size();
    page.tile = tile;
    page.gray = gray;
    page.alpha = alpha;
    page.orientation = orientation;
    page.bits = bits;
    const LoadedPicture p = decode(tiffFile({page}), shown);
    QVERIFY(p.ok);
    QCOMPARE(p.naturalSize, natural);
    const QSize size = shown.isValid() ? shown : natural;
    QCOMPARE(p.image.size(), size);
    if (!shown.isValid()) {
        QCOMPARE(p.image.convertToFormat(QImage::Format_ARGB32), upright);
        return;
    }
    for (const QPointF at :
         {QPointF(0.25, 0.25), QPointF(0.75, 0.25), QPointF(0.25, 0.75), QPointF(0.75, 0.75)}) {
        const QColor expected =
            upright.pixelColor(int(at.x() * natural.width()), int(at.y() * natural.height()));
        const QColor got = p.image.pixelColor(int(at.x() * size.width()), int(at.y() * size.height()));
        QVERIFY2(coloursNear(got, expected, 3), colourText(got) + " expected " + colourText(expected));
    }
}

void TstTiffDecoder::cmykShrunkWhileReading()
{
    // CMYK with a profile (one that turns red into blue) is converted row by row, then shrunk.
    TiffPage cmyk{QSize(103, 77), QColor(Qt::red)};
    cmyk.cmyk = true;
    cmyk.icc = channelSwapProfile(true);
    const LoadedPicture p = decode(tiffFile({cmyk}), QSize(20, 15));
    QVERIFY(p.ok);
    QCOMPARE(p.image.size(), QSize(20, 15));
    for (const QPoint at : {QPoint(0, 0), QPoint(10, 7), QPoint(19, 14)})
        QVERIFY2(coloursNear(p.image.pixelColor(at), QColor(Qt::blue), 3),
                 colourText(p.image.pixelColor(at)));
}

void TstTiffDecoder::pagesAsFrames()
{
    // Three pages: red, green (another size) and blue, from ImageMagick.
    QImage a(8, 6, QImage::Format_RGB32), b(4, 6, QImage::Format_RGB32);
    a.fill(Qt::red);
    b.fill(Qt::green);
    QImage c = a;
    c.fill(Qt::blue);
    QByteArray pngA, pngB, pngC;
    for (auto [img, out] : {std::pair{&a, &pngA}, std::pair{&b, &pngB}, std::pair{&c, &pngC}}) {
        QBuffer buf(out);
        buf.open(QIODevice::WriteOnly);
        img->save(&buf, "PNG");
    }
    const QByteArray tiff = toolOutput("convert", {"a.png", "b.png", "c.png", "out.tif"},
                                       {{"a.png", pngA}, {"b.png", pngB}, {"c.png", pngC}}, "out.tif");
    const LoadedPicture first = decode(tiff);
    QVERIFY(first.ok);
    QCOMPARE(first.frameCount, 3);
    QCOMPARE(first.image.pixelColor(4, 3), QColor(Qt::red));
    const LoadedPicture middle = decode(tiff, QSize(), true);
    QVERIFY(middle.ok);
    QCOMPARE(middle.naturalSize, QSize(4, 6));
    QCOMPARE(middle.image.pixelColor(2, 3), QColor(Qt::green));

    // Played: every page in turn on the first page's canvas, the other size fitted and centred.
    QVERIFY(is_animated_kind(PictureKind::Tiff));
    auto movie = make_picture_movie(tiff, PictureKind::Tiff);
    QVERIFY(movie);
    QVERIFY(movie->jumpToNextFrame());
    QCOMPARE(movie->currentImage().size(), QSize(8, 6));
    QCOMPARE(movie->currentImage().pixelColor(4, 3), QColor(Qt::red));
    QCOMPARE(movie->nextFrameDelay(), kTiffPageMs);
    QVERIFY(movie->jumpToNextFrame());
    QCOMPARE(movie->currentImage().pixelColor(4, 3), QColor(Qt::green));
    QCOMPARE(movie->currentImage().pixelColor(0, 3).alpha(), 0); // outside the fitted page
    QVERIFY(movie->jumpToNextFrame());
    QCOMPARE(movie->currentImage().pixelColor(4, 3), QColor(Qt::blue));
}

void TstTiffDecoder::damaged()
{
    const QByteArray good = tiffFile({{QSize(64, 64), Qt::red}});
    QByteArray huge = tiffFile({{QSize(8, 8), Qt::red}});
    // The width and length tags (SHORT or LONG) claim 100000 x 100000.
    QVERIFY(huge.contains(QByteArray::fromHex("000103000100000008000000")) ||
            huge.contains(QByteArray::fromHex("000104000100000008000000")));
    huge.replace(QByteArray::fromHex("000103000100000008000000"),
                 QByteArray::fromHex("0001040001000000a0860100"));
    huge.replace(QByteArray::fromHex("000104000100000008000000"),
                 QByteArray::fromHex("0001040001000000a0860100"));
    huge.replace(QByteArray::fromHex("010103000100000008000000"),
                 QByteArray::fromHex("0101040001000000a0860100"));
    huge.replace(QByteArray::fromHex("010104000100000008000000"),
                 QByteArray::fromHex("0101040001000000a0860100"));
    QCOMPARE(probe_tiff_size(huge), QSize(100000, 100000));
    QVERIFY(!decode(huge).ok);
    DecodeRequest request;
    request.maxPixels = 64 * 64 - 1;
    QVERIFY(!decode_tiff_picture(good, request).ok);
    request.cancelled = [] { return true; };
    request.maxPixels = kMaxPicturePixels;
    QVERIFY(!decode_tiff_picture(good, request).ok);
    for (const QByteArray &bad : {QByteArray(), QByteArray("II*\0", 4), good.left(good.size() / 2),
                                  QByteArray("MM\0*\xff\xff\xff\xff", 8), QByteArray(200, 'I')})
        QVERIFY(!decode(bad).ok);
    QVERIFY(decode(good).ok);
}

QTEST_MAIN(TstTiffDecoder)
#include "tst_tiff_decoder.moc"
