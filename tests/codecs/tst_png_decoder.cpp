// PNG through libpng: bit depths and colour types, interlacing, the colour chunks, eXIf
// orientation, size limits checked from IHDR, damaged files, reduced requests.
#include "codecs/apng_animation.h"
#include "codecs/picture_kinds.h"
#include "codecs/picture_loader.h"
#include "codecs/png_decoder.h"
#include "support/colour_fixtures.h"
#include "support/picture_fixtures.h"
#include "support/tool_fixtures.h"

#include <QBuffer>
#include <QColorSpace>
#include <QtEndian>
#include <QtTest>

using namespace vorn;
using namespace vorn::test;

namespace
{

quint32 crc32(const QByteArray &bytes)
{
    quint32 c = 0xffffffffu;
    for (char ch : bytes) {
        c ^= uchar(ch);
        for (int k = 0; k < 8; ++k)
            c = c & 1 ? 0xedb88320u ^ (c >> 1) : c >> 1;
    }
    return c ^ 0xffffffffu;
}

QByteArray chunk(const QByteArray &type, const QByteArray &data)
{
    QByteArray out(4, 0);
    qToBigEndian<quint32>(quint32(data.size()), out.data());
    const QByteArray body = type + data;
    QByteArray crc(4, 0);
    qToBigEndian<quint32>(crc32(body), crc.data());
    return out + body + crc;
}

// The PNG with a chunk inserted right after IHDR (or before IEND with `atEnd`).
QByteArray withChunk(const QByteArray &png, const QByteArray &type, const QByteArray &data,
                     bool atEnd = false)
{
    QByteArray out = png;
    out.insert(atEnd ? out.size() - 12 : 33, chunk(type, data));
    return out;
}

QByteArray be32(quint32 v)
{
    QByteArray b(4, 0);
    qToBigEndian<quint32>(v, b.data());
    return b;
}

// An EXIF block (TIFF structure, little-endian) with only the orientation tag.
QByteArray exifOrientation(int orientation)
{
    QByteArray t("II*\0\x08\0\0\0", 8);
    t += QByteArray("\x01\0", 2);                                 // one entry
    t += QByteArray("\x12\x01\x03\0\x01\0\0\0", 8);               // 0x0112, SHORT, count 1
    t += char(orientation) + QByteArray(3, 0) + QByteArray(4, 0); // value, next IFD
    return t;
}

// Left half `left`, right half `right`.
QImage halves(QSize size, QColor left, QColor right)
{
    QImage image(size, QImage::Format_ARGB32);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            image.setPixelColor(x, y, x < size.width() / 2 ? left : right);
    return image;
}

// One frame of a hand-built APNG: its picture, place on the canvas, delay (num/den seconds),
// dispose (0 none, 1 background, 2 previous) and blend (0 source, 1 over) operations.
struct ApngFrame {
    QImage image;
    QPoint at;
    int delayNum, delayDen, dispose, blend;
};

// The image data (every IDAT) of a PNG that Qt writes.
QByteArray imageData(const QByteArray &png)
{
    QByteArray data;
    for (qsizetype at = 8; at + 8 <= png.size();) {
        const quint32 length = qFromBigEndian<quint32>(png.constData() + at);
        if (png.mid(at + 4, 4) == "IDAT")
            data += png.mid(at + 8, length);
        at += 12 + qsizetype(length);
    }
    return data;
}

// An APNG of `canvas` whose first frame is the default image, played `plays` times.
QByteArray buildApng(QSize canvas, const QList<ApngFrame> &frames, int plays)
{
    QImage header(canvas, QImage::Format_ARGB32);
    header.fill(Qt::transparent);
    const QByteArray first = encode(header, "png");
    QByteArray out = first.left(33) + chunk("acTL", be32(quint32(frames.size())) + be32(quint32(plays)));
    quint32 sequence = 0;
    for (qsizetype i = 0; i < frames.size(); ++i) {
        const ApngFrame &f = frames[i];
        const QByteArray png = encode(f.image.convertToFormat(QImage::Format_ARGB32), "png");
        if (png.mid(24, 5) != first.mid(24, 5)) // bit depth, colour type, ... as IHDR
            return QByteArray();
        QByteArray control = be32(sequence++) + be32(quint32(f.image.width())) +
                             be32(quint32(f.image.height())) + be32(quint32(f.at.x())) +
                             be32(quint32(f.at.y()));
        control += char(f.delayNum >> 8) + QByteArray(1, char(f.delayNum)) + char(f.delayDen >> 8) +
                   QByteArray(1, char(f.delayDen)) + char(f.dispose) + char(f.blend);
        out += chunk("fcTL", control);
        if (i == 0)
            out += chunk("IDAT", imageData(png));
        else
            out += chunk("fdAT", be32(sequence++) + imageData(png));
    }
    return out + chunk("IEND", QByteArray());
}

LoadedPicture decode(const QByteArray &png, QSize shown = QSize())
{
    DecodeRequest request;
    request.shownSize = shown;
    return decode_png_picture(png, request);
}

} // namespace

class TstPngDecoder : public QObject
{
    Q_OBJECT
  private slots:
    void colourTypes_data();
    void colourTypes();
    void colourChunks_data();
    void colourChunks();
    void orientation_data();
    void orientation();
    void limits();
    void damaged_data();
    void damaged();
    void requests();
    void animatedShowsDefaultImage();
    void apngPlaysComposedFrames();
    void apngRefusesHostileHeaders_data();
    void apngRefusesHostileHeaders();
};

void TstPngDecoder::colourTypes_data()
{
    QTest::addColumn<QByteArray>("png");
    QTest::addColumn<int>("bitDepth");
    QTest::addColumn<int>("colourType");
    QTest::addColumn<bool>("interlaced");
    QTest::addColumn<QColor>("left");
    QTest::addColumn<QColor>("right");
    const QSize s(8, 5);
    const QColor red(200, 40, 40), blue(40, 40, 200), halfBlue(40, 40, 200, 128), light(200, 200, 200),
        dark(40, 40, 40), halfDark(40, 40, 40, 128), none(0, 0, 0, 0);
    const QStringList off{"-alpha", "off"};
    QTest::newRow("rgb 8") << convertPicture(halves(s, red, blue), off, "PNG24:out.png") << 8 << 2 << false
                           << red << blue;
    QTest::newRow("rgba 8") << convertPicture(halves(s, red, halfBlue), {}, "PNG32:out.png") << 8 << 6
                            << false << red << halfBlue;
    QTest::newRow("rgb 16") << convertPicture(halves(s, red, blue), off, "PNG48:out.png") << 16 << 2 << false
                            << red << blue;
    QTest::newRow("rgba 16") << convertPicture(halves(s, red, halfBlue), {}, "PNG64:out.png") << 16 << 6
                             << false << red << halfBlue;
    QTest::newRow("palette, transparent index")
        << convertPicture(halves(s, red, none), {}, "PNG8:out.png") << 8 << 3 << false << red << none;
    QTest::newRow("gray 8") << convertPicture(halves(s, light, dark), {"-define", "png:color-type=0"},
                                              "PNG:out.png")
                            << 8 << 0 << false << light << dark;
    QTest::newRow("gray 1 bit") << convertPicture(halves(s, Qt::white, Qt::black), {"-type", "Bilevel"},
                                                  "PNG:out.png")
                                << 1 << 0 << false << QColor(Qt::white) << QColor(Qt::black);
    QTest::newRow("gray 16") << convertPicture(halves(s, light, dark),
                                               {"-define", "png:color-type=0", "-define", "png:bit-depth=16"},
                                               "PNG:out.png")
                             << 16 << 0 << false << light << dark;
    QTest::newRow("gray + alpha") << convertPicture(halves(s, light, halfDark),
                                                    {"-define", "png:color-type=4"}, "PNG:out.png")
                                  << 8 << 4 << false << light << halfDark;
    QTest::newRow("interlaced") << convertPicture(halves(s, red, halfBlue), {"-interlace", "PNG"},
                                                  "PNG32:out.png")
                                << 8 << 6 << true << red << halfBlue;
}

void TstPngDecoder::colourTypes()
{
    QFETCH(QByteArray, png);
    QFETCH(int, bitDepth);
    QFETCH(int, colourType);
    QFETCH(bool, interlaced);
    QFETCH(QColor, left);
    QFETCH(QColor, right);
    // The fixture is what the row says.
    QVERIFY(png.size() > 33);
    QCOMPARE(int(uchar(png[24])), bitDepth);
    QCOMPARE(int(uchar(png[25])), colourType);
    QCOMPARE(uchar(png[28]) == 1, interlaced);

    const LoadedPicture p = decode(png);
    QVERIFY(p.ok);
    QCOMPARE(p.kind, PictureKind::Png);
    QCOMPARE(p.naturalSize, QSize(8, 5));
    QCOMPARE(p.image.size(), QSize(8, 5));
    QCOMPARE(p.image.hasAlphaChannel(), left.alpha() < 255 || right.alpha() < 255);
    for (int y : {0, 4}) {
        const QColor l = p.image.pixelColor(1, y), r = p.image.pixelColor(6, y);
        QVERIFY2(coloursNear(l, left, 1), colourText(l));
        QVERIFY2(coloursNear(r, right, 2) || (right.alpha() == 0 && r.alpha() == 0), colourText(r));
    }
    QCOMPARE(probe_png_size(png), QSize(8, 5));
}

void TstPngDecoder::colourChunks_data()
{
    QTest::addColumn<QByteArray>("png");
    QTest::addColumn<QColor>("expected");
    const QColor c(200, 120, 60);
    QImage flat(4, 4, QImage::Format_RGB32);
    flat.fill(c);
    const QByteArray plain = encode(flat, "png");
    QByteArray iccp = QByteArray("P3\0\0", 4) + qCompress(displayP3Profile()).mid(4); // name, method 0, zlib
    QByteArray cHrmP3 = be32(31270) + be32(32900) + be32(68000) + be32(32000) + be32(26500) + be32(69000) +
                        be32(15000) + be32(6000);
    QImage gray(4, 4, QImage::Format_RGB32);
    gray.fill(QColor(128, 128, 128));
    QTest::newRow("none") << plain << c;
    QTest::newRow("iCCP display p3") << withChunk(plain, "iCCP", iccp) << displayP3InSrgb(c);
    QTest::newRow("iCCP lookup table")
        << withChunk(plain, "iCCP", QByteArray("t\0\0", 3) + qCompress(channelSwapProfile(false)).mid(4))
        << QColor(60, 120, 200);
    QTest::newRow("broken iCCP: as stored") << withChunk(plain, "iCCP", QByteArray("x\0\0garbage", 10)) << c;
    QTest::newRow("gAMA 1.0 (linear)")
        << withChunk(encode(gray, "png"), "gAMA", be32(100000)) << QColor(188, 188, 188);
    QTest::newRow("gAMA 1/2.2") << withChunk(plain, "gAMA", be32(45455)) << c;
    QTest::newRow("sRGB wins over gAMA")
        << withChunk(withChunk(encode(gray, "png"), "gAMA", be32(100000)), "sRGB", QByteArray(1, 0))
        << QColor(128, 128, 128);
    QTest::newRow("cHRM p3 + gAMA 1/2.2")
        << withChunk(withChunk(plain, "gAMA", be32(45455)), "cHRM", cHrmP3) << displayP3InSrgb(c);
}

void TstPngDecoder::colourChunks()
{
    QFETCH(QByteArray, png);
    QFETCH(QColor, expected);
    const LoadedPicture p = decode(png);
    QVERIFY(p.ok);
    const QColor got = p.image.pixelColor(2, 2);
    QVERIFY2(coloursNear(got, expected, 2), colourText(got) + " expected " + colourText(expected));
}

void TstPngDecoder::orientation_data()
{
    QTest::addColumn<int>("orientation");
    QTest::addColumn<bool>("atEnd");
    for (int o = 1; o <= 8; ++o)
        QTest::addRow("%d", o) << o << false;
    QTest::newRow("6, after the image data") << 6 << true;
    QTest::newRow("8, after the image data") << 8 << true;
}

void TstPngDecoder::orientation()
{
    QFETCH(int, orientation);
    QFETCH(bool, atEnd);
    // Stored turned so that the orientation brings it back upright (6 and 8 undo each other).
    const int inverse = orientation == 6 ? 8 : orientation == 8 ? 6 : orientation;
    const QImage upright = quadrants(QSize(6, 4));
    const QByteArray png = withChunk(encode(apply_exif_orientation(upright, inverse), "png"), "eXIf",
                                     exifOrientation(orientation), atEnd);
    const LoadedPicture p = decode(png);
    QVERIFY(p.ok);
    QCOMPARE(p.naturalSize, upright.size());
    QCOMPARE(p.image.convertToFormat(QImage::Format_RGB32), upright);
    if (!atEnd)
        QCOMPARE(probe_png_size(png), upright.size());
    // Scaled: the shown size is upright too.
    const LoadedPicture half = decode(png, QSize(3, 2));
    QVERIFY(half.ok);
    QCOMPARE(half.image.size(), QSize(3, 2));
    QCOMPARE(half.image.pixelColor(0, 0), QColor(Qt::red));
    QCOMPARE(half.image.pixelColor(2, 1), QColor(Qt::yellow));
}

void TstPngDecoder::limits()
{
    // IHDR claims 100000 x 100000: refused from the header, before anything of that size exists.
    QByteArray png = encode(quadrants(QSize(6, 4)), "png");
    QByteArray huge = png;
    const QByteArray ihdr = be32(100000) + be32(100000) + png.mid(24, 5);
    huge.replace(8, 25, chunk("IHDR", ihdr));
    QVERIFY(!decode(huge).ok);
    QCOMPARE(probe_png_size(huge), QSize(100000, 100000));
    // The caller's limit counts.
    DecodeRequest request;
    request.maxPixels = 23;
    QVERIFY(!decode_png_picture(png, request).ok);
    request.maxPixels = 24;
    QVERIFY(decode_png_picture(png, request).ok);
    // A huge text chunk is dropped, not decompressed.
    const QByteArray bomb =
        withChunk(png, "zTXt", QByteArray("k\0\0", 3) + qCompress(QByteArray(64 << 20, 'a')).mid(4));
    QVERIFY(decode(bomb).ok);
}

void TstPngDecoder::damaged_data()
{
    QTest::addColumn<QByteArray>("png");
    QTest::addColumn<bool>("ok");
    const QByteArray png = encode(quadrants(QSize(6, 4)), "png");
    QByteArray badCrc = withChunk(png, "tIME", QByteArray(7, 1));
    badCrc[33 + 8 + 7] = char(badCrc[33 + 8 + 7] ^ 0xff);
    QByteArray badIhdr = png;
    badIhdr[20] = char(badIhdr[20] ^ 0x01);
    QTest::newRow("empty") << QByteArray() << false;
    QTest::newRow("signature only") << png.left(8) << false;
    QTest::newRow("cut in the image data") << png.left(png.size() - 20) << false;
    QTest::newRow("not png") << QByteArray("GIF89a and more bytes than that") << false;
    QTest::newRow("broken IHDR crc") << badIhdr << false;
    QTest::newRow("broken ancillary crc") << badCrc << true;
    QTest::newRow("no IEND") << png.left(png.size() - 12) << true;
    QTest::newRow("garbage after IEND") << png + QByteArray(100, 'z') << true;
}

void TstPngDecoder::damaged()
{
    QFETCH(QByteArray, png);
    QFETCH(bool, ok);
    const LoadedPicture p = decode(png);
    QCOMPARE(p.ok, ok);
    if (ok)
        QCOMPARE(p.image.convertToFormat(QImage::Format_RGB32), quadrants(QSize(6, 4)));
}

void TstPngDecoder::requests()
{
    const QByteArray png = encode(quadrants(QSize(6, 4)), "png");
    // Through the table and the loader, with a thumbnail rule.
    QCOMPARE(picture_kind("a/b.PNG"), PictureKind::Png);
    const LoadedPicture thumb =
        load_picture_sized(png, PictureKind::Png, [](QSize natural) { return natural / 2; });
    QVERIFY(thumb.ok);
    QCOMPARE(thumb.naturalSize, QSize(6, 4));
    QCOMPARE(thumb.image.size(), QSize(3, 2));
    QCOMPARE(thumb.image.pixelColor(2, 1), QColor(Qt::yellow));
    // Empty shown size: ok without an image.
    const LoadedPicture none = decode(png, QSize(0, 0));
    QVERIFY(none.ok && none.image.isNull());
    // Cancelled: not ok.
    DecodeRequest request;
    request.cancelled = [] { return true; };
    QVERIFY(!decode_png_picture(png, request).ok);
    // Decoding again at another size gives the right picture each time (the scratch picture
    // is reused, never handed out).
    const LoadedPicture a = decode(png, QSize(3, 2));
    const LoadedPicture b = decode(png, QSize(2, 1));
    QCOMPARE(a.image.pixelColor(0, 0), QColor(Qt::red));
    QCOMPARE(b.image.size(), QSize(2, 1));
    QCOMPARE(a.image.pixelColor(2, 1), QColor(Qt::yellow));
}

void TstPngDecoder::animatedShowsDefaultImage()
{
    // Two frames, red then blue, written by ffmpeg as APNG.
    QImage red(6, 4, QImage::Format_RGB32), blue(6, 4, QImage::Format_RGB32);
    red.fill(Qt::red);
    blue.fill(Qt::blue);
    const QByteArray apng = toolOutput(
        "ffmpeg",
        {"-loglevel", "error", "-framerate", "2", "-i", "f%d.png", "-f", "apng", "-plays", "0", "out.png"},
        {{"f1.png", encode(red, "png")}, {"f2.png", encode(blue, "png")}}, "out.png");
    QVERIFY(apng.contains("acTL") && apng.contains("fdAT"));
    const LoadedPicture p = decode(apng);
    QVERIFY(p.ok);
    QCOMPARE(p.image.size(), QSize(6, 4));
    QVERIFY(coloursNear(p.image.pixelColor(3, 2), QColor(Qt::red), 3));
}

void TstPngDecoder::apngPlaysComposedFrames()
{
    // Red, cleared to the background after it shows; a green right half drawn over the cleared
    // canvas; then a blue left half blended over it (its transparent right half keeps green).
    QImage red(8, 6, QImage::Format_ARGB32), green(4, 6, QImage::Format_ARGB32);
    red.fill(Qt::red);
    green.fill(Qt::green);
    const QImage blueLeft = halves(QSize(8, 6), Qt::blue, Qt::transparent);
    const QByteArray apng = buildApng(
        QSize(8, 6),
        {{red, {0, 0}, 4, 100, 1, 0}, {green, {4, 0}, 5, 1000, 0, 0}, {blueLeft, {0, 0}, 70, 1000, 0, 1}}, 3);
    QVERIFY(!apng.isEmpty());
    QCOMPARE(png_animation_info(apng).frames, 3);

    ApngAnimation animation;
    QVERIFY(animation.open(apng, kMaxPicturePixels));
    QCOMPARE(animation.size(), QSize(8, 6));
    QCOMPARE(animation.frameCount(), 3);
    QCOMPARE(animation.loopCount(), 2);
    const QList<QList<QColor>> expected{
        {Qt::red, Qt::red}, {Qt::transparent, Qt::green}, {Qt::blue, Qt::green}};
    for (int pass = 0; pass < 2; ++pass) {
        QCOMPARE(animation.currentFrame(), -1);
        QList<int> delays;
        QImage frame;
        int delay = 0;
        while (animation.next(&frame, &delay)) {
            QCOMPARE(frame.size(), QSize(8, 6));
            const QList<QColor> want = expected.value(delays.size());
            const QColor left = frame.pixelColor(1, 3), right = frame.pixelColor(6, 3);
            QCOMPARE(left.alpha(), want[0].alpha());
            if (left.alpha())
                QCOMPARE(left, want[0]);
            QCOMPARE(right, want[1]);
            delays.append(delay);
        }
        // 40 ms; 5 ms shown as 100 ms as for GIF; 70 ms.
        QCOMPARE(delays, (QList<int>{40, 100, 70}));
        animation.rewind();
    }
    QVERIFY(!ApngAnimation().open(apng, 8 * 6 - 1));

    // As a picture: the default image with the frame count; a thumbnail the middle frame.
    const LoadedPicture still = decode(apng);
    QVERIFY(still.ok);
    QCOMPARE(still.frameCount, 3);
    QCOMPARE(still.image.pixelColor(1, 3), QColor(Qt::red));
    DecodeRequest thumb;
    thumb.middleFrame = true;
    thumb.shownSize = QSize(4, 3);
    const LoadedPicture middle = decode_png_picture(apng, thumb);
    QVERIFY(middle.ok);
    QCOMPARE(middle.image.size(), QSize(4, 3));
    QCOMPARE(middle.image.pixelColor(3, 1), QColor(Qt::green));
    QCOMPARE(middle.image.pixelColor(0, 1).alpha(), 0);
    // A PNG without animation chunks is no animation.
    QCOMPARE(png_animation_info(encode(red, "png")).frames, 0);
    QVERIFY(!ApngAnimation().open(encode(red, "png"), kMaxPicturePixels));
}

void TstPngDecoder::apngRefusesHostileHeaders_data()
{
    QTest::addColumn<QByteArray>("apng");
    QTest::addColumn<bool>("opens");
    QImage red(8, 6, QImage::Format_ARGB32);
    red.fill(Qt::red);
    const QByteArray good =
        buildApng(QSize(8, 6), {{red, {0, 0}, 1, 10, 0, 0}, {red, {0, 0}, 1, 10, 0, 0}}, 0);
    // A frame outside the canvas.
    QTest::newRow("frame outside") << buildApng(QSize(8, 6),
                                                {{red, {0, 0}, 1, 10, 0, 0}, {red, {4, 3}, 1, 10, 0, 0}}, 0)
                                   << true;
    QTest::newRow("cut in the second frame") << good.left(good.size() - 30) << true;
    QTest::newRow("acTL without frames") << withChunk(encode(red, "png"), "acTL", be32(2) + be32(0)) << false;
    QByteArray huge = good;
    qToBigEndian<quint32>(60000, huge.data() + 16); // IHDR width; the CRC no longer fits either
    qToBigEndian<quint32>(60000, huge.data() + 20);
    QTest::newRow("huge canvas") << huge << false;
}

void TstPngDecoder::apngRefusesHostileHeaders()
{
    // Refused or stopped at the broken frame; never a crash, never a frame of another size.
    QFETCH(QByteArray, apng);
    QFETCH(bool, opens);
    ApngAnimation animation;
    QCOMPARE(animation.open(apng, kMaxPicturePixels), opens);
    if (!opens)
        return;
    QImage frame;
    int delay = 0;
    int shown = 0;
    while (animation.next(&frame, &delay)) {
        QCOMPARE(frame.size(), animation.size());
        ++shown;
    }
    QVERIFY(shown < animation.frameCount());
}

QTEST_GUILESS_MAIN(TstPngDecoder)
#include "tst_png_decoder.moc"
