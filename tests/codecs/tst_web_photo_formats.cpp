// The decoders of WebP, AVIF, HEIF and JPEG XL on files made by the formats' own tools: size,
// pixels, the shown size, 10-, 12- and 16-bit sources, alpha, orientation by each format's own
// means, colour profiles and coded colour to sRGB, the probes, the kind table, WebP animation,
// cut-short files, the pixel guard and cancelling.
#include "codecs/avif_decoder.h"
#include "codecs/heif_decoder.h"
#include "codecs/jxl_decoder.h"
#include "codecs/picture_kinds.h"
#include "codecs/picture_orientation.h"
#include "codecs/webp_animation.h"
#include "codecs/webp_decoder.h"
#include "support/tool_fixtures.h"

#include <QColorSpace>
#include <QTest>

using namespace vorn;
using namespace vorn::test;

namespace
{

LoadedPicture decode(const QString &kind, const QByteArray &data, const DecodeRequest &req = {})
{
    if (kind == u"webp")
        return decode_webp(data, req);
    if (kind == u"avif")
        return decode_avif(data, req);
    if (kind == u"heif")
        return decode_heif(data, req);
    return decode_jxl(data, req);
}

// A file of the kind made from `source` by its tool; `args` go before the input.
QByteArray encoded(const QString &kind, const QImage &source, const QStringList &args)
{
    if (kind == u"webp")
        return runTool(QStringLiteral("cwebp"), args + QStringList{"in0.png", "-o", "out.webp"}, {source},
                       "out.webp");
    if (kind == u"avif")
        return runTool(QStringLiteral("avifenc"), args + QStringList{"in0.png", "out.avif"}, {source},
                       "out.avif");
    if (kind == u"heif")
        return runTool(QStringLiteral("heif-enc"), args + QStringList{"in0.png", "-o", "out.heic"}, {source},
                       "out.heic");
    return runTool(QStringLiteral("cjxl"), QStringList{"in0.png", "out.jxl"} + args, {source}, "out.jxl");
}

// The colour at a point given as a fraction of the width and height.
QColor colourAt(const QImage &image, double fx, double fy)
{
    return image.pixelColor(std::min(image.width() - 1, int(fx * image.width())),
                            std::min(image.height() - 1, int(fy * image.height())));
}

bool near(const QColor &a, const QColor &b, int tolerance)
{
    return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance &&
           std::abs(a.blue() - b.blue()) <= tolerance && std::abs(a.alpha() - b.alpha()) <= tolerance;
}

// Every quadrant's centre of `image` has the colour of the same place in `expected`.
void compareQuadrants(const QImage &image, const QImage &expected, int tolerance)
{
    for (double fy : {0.25, 0.75}) {
        for (double fx : {0.25, 0.75}) {
            const QColor got = colourAt(image, fx, fy);
            const QColor want = colourAt(expected, fx, fy);
            QVERIFY2(near(got, want, tolerance), qPrintable(QStringLiteral("at %1,%2: %3, expected %4")
                                                                .arg(fx)
                                                                .arg(fy)
                                                                .arg(got.name(QColor::HexArgb))
                                                                .arg(want.name(QColor::HexArgb))));
        }
    }
}

// Plays the red, green, blue animation twice (rewound between) and checks each frame's colour
// and delay.
void checkPlays(AnimationDecoder &animation, const QList<int> &delaysWanted)
{
    for (int pass = 0; pass < 2; ++pass) {
        QCOMPARE(animation.currentFrame(), -1);
        QList<int> delays;
        QList<QRgb> colours;
        QImage frame;
        int delay = 0;
        while (animation.next(&frame, &delay)) {
            QCOMPARE(frame.size(), QSize(40, 30));
            delays.append(delay);
            colours.append(frame.pixel(20, 15) | 0xff000000);
        }
        QCOMPARE(delays, delaysWanted);
        QCOMPARE(colours, (QList<QRgb>{qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255)}));
        QCOMPARE(animation.currentFrame(), 2);
        animation.rewind();
    }
}

// The red, green, blue animation as a still picture: the first frame, or the middle one for a
// thumbnail.
void checkStillFrames(const QString &kind, const QByteArray &file)
{
    const LoadedPicture first = decode(kind, file);
    QVERIFY(first.ok);
    QCOMPARE(first.frameCount, 3);
    QCOMPARE(first.image.pixel(20, 15) | 0xff000000, qRgb(255, 0, 0));
    DecodeRequest thumb;
    thumb.middleFrame = true;
    thumb.shownSize = QSize(20, 15);
    const LoadedPicture middle = decode(kind, file, thumb);
    QVERIFY(middle.ok);
    QCOMPARE(middle.image.size(), QSize(20, 15));
    QCOMPARE(middle.image.pixel(10, 7) | 0xff000000, qRgb(0, 255, 0));
}

QByteArray le(quint32 v, int bytes)
{
    QByteArray out;
    for (int i = 0; i < bytes; ++i)
        out += char((v >> (8 * i)) & 0xff);
    return out;
}

QByteArray riffChunk(const char *type, const QByteArray &data)
{
    QByteArray out = QByteArray(type, 4) + le(quint32(data.size()), 4) + data;
    if (data.size() % 2)
        out += '\0';
    return out;
}

// An animated WebP of `frames` 1 x 1 frames at the corner of a `canvas`, red for even frames and
// blue for odd ones, each kept (no dispose, no blend): a small file that declares a lot of work.
QByteArray manyFramesOnHugeCanvas(int frames, QSize canvas)
{
    QByteArray payload[2];
    for (int i = 0; i < 2; ++i) {
        QImage px(1, 1, QImage::Format_RGB32);
        px.fill(i ? Qt::blue : Qt::red);
        const QByteArray still = runTool(
            QStringLiteral("cwebp"), {"-quiet", "-lossless", "in0.png", "-o", "out.webp"}, {px}, "out.webp");
        if (still.mid(12, 4) != "VP8L")
            return QByteArray();
        payload[i] = still.mid(12); // the VP8L chunk
    }
    QByteArray body = "WEBP";
    body += riffChunk("VP8X", QByteArray(1, 0x02) + QByteArray(3, 0) + le(quint32(canvas.width() - 1), 3) +
                                  le(quint32(canvas.height() - 1), 3));
    body += riffChunk("ANIM", le(0, 4) + le(0, 2));
    for (int i = 0; i < frames; ++i)
        body += riffChunk("ANMF", le(0, 3) + le(0, 3) + le(0, 3) + le(0, 3) + le(50, 3) +
                                      QByteArray(1, 0x02) + payload[i % 2]);
    return "RIFF" + le(quint32(body.size()), 4) + body;
}

} // namespace

class TestWebPhotoFormats : public QObject
{
    Q_OBJECT

  private slots:
    void decodesAtEverySize_data();
    void decodesAtEverySize();
    void keepsAlpha_data();
    void keepsAlpha();
    void upright_data();
    void upright();
    void jxlCoarseFirstLook_data();
    void jxlCoarseFirstLook();
    void displayP3ShownInSrgb_data();
    void displayP3ShownInSrgb();
    void probesTellTheUprightSize_data();
    void probesTellTheUprightSize();
    void heifThumbnailStandsInWhenLargeEnough();
    void animatedWebp();
    void animatedJxl();
    void hugeAnimationBoundedWork();
    void refusesBrokenAndOversized_data();
    void refusesBrokenAndOversized();
};

void TestWebPhotoFormats::decodesAtEverySize_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<bool>("deep"); // a 16-bit source
    QTest::addColumn<int>("tolerance");
    QTest::newRow("webp lossless") << "webp" << QStringList{"-lossless"} << QSize(64, 48) << false << 0;
    QTest::newRow("webp lossy") << "webp" << QStringList{"-q", "90"} << QSize(64, 48) << false << 40;
    QTest::newRow("webp large") << "webp" << QStringList{"-q", "80"} << QSize(640, 480) << false << 40;
    QTest::newRow("avif lossless") << "avif" << QStringList{"-l"} << QSize(64, 48) << false << 0;
    QTest::newRow("avif 10 bit") << "avif" << QStringList{"-d", "10", "-y", "444"} << QSize(64, 48) << false
                                 << 40;
    QTest::newRow("avif 12 bit 420") << "avif" << QStringList{"-d", "12", "-y", "420"} << QSize(64, 48)
                                     << true << 40;
    QTest::newRow("heif") << "heif" << QStringList{"-q", "90"} << QSize(64, 48) << false << 40;
    QTest::newRow("heif 10 bit") << "heif" << QStringList{"-q", "90", "-b", "10"} << QSize(64, 48) << true
                                 << 40;
    QTest::newRow("jxl lossless") << "jxl" << QStringList{"-d", "0"} << QSize(64, 48) << false << 0;
    QTest::newRow("jxl lossy") << "jxl" << QStringList{"-d", "1"} << QSize(64, 48) << false << 40;
    QTest::newRow("jxl 16 bit") << "jxl" << QStringList{"-d", "0"} << QSize(64, 48) << true << 1;
    // Shown at an eighth and less: from the 1/8 image of the lossy codestream.
    QTest::newRow("jxl lossy large") << "jxl" << QStringList{"-d", "1"} << QSize(640, 480) << false << 40;
}

void TestWebPhotoFormats::decodesAtEverySize()
{
    QFETCH(QString, kind);
    QFETCH(QStringList, args);
    QFETCH(QSize, size);
    QFETCH(bool, deep);
    QFETCH(int, tolerance);
    const QImage source =
        quadrants(size.width(), size.height(), deep ? QImage::Format_RGBX64 : QImage::Format_RGB32);
    const QByteArray file = encoded(kind, source, args);
    QVERIFY(!file.isEmpty());

    const LoadedPicture full = decode(kind, file);
    QVERIFY(full.ok);
    QCOMPARE(full.naturalSize, size);
    QCOMPARE(full.image.size(), size);
    QCOMPARE(full.frameCount, 1);
    QCOMPARE(full.image.format(), QImage::Format_RGB32);
    compareQuadrants(full.image, source, tolerance);

    // A fitted view: exactly the shown size, also where it is not the picture's proportion.
    DecodeRequest fitted;
    fitted.shownSize = QSize(size.width() / 8, size.height() / 10);
    const LoadedPicture small = decode(kind, file, fitted);
    QVERIFY(small.ok);
    QCOMPARE(small.naturalSize, size);
    QCOMPARE(small.image.size(), fitted.shownSize);
    compareQuadrants(small.image, source, std::max(tolerance, 40));

    // Larger than the picture, then by a rule picked from the natural size, then empty.
    DecodeRequest larger;
    larger.shownSize = size * 2;
    QCOMPARE(decode(kind, file, larger).image.size(), size * 2);
    const ShownSizeRule half = [](QSize natural) { return natural / 2; };
    DecodeRequest byRule;
    byRule.rule = &half;
    byRule.shownSize = QSize(5, 5); // ignored when there is a rule
    QCOMPARE(decode(kind, file, byRule).image.size(), size / 2);
    DecodeRequest none;
    none.shownSize = QSize(0, 0);
    const LoadedPicture empty = decode(kind, file, none);
    QVERIFY(empty.ok);
    QVERIFY(empty.image.isNull());
    QCOMPARE(empty.naturalSize, size);
}

void TestWebPhotoFormats::keepsAlpha_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("tolerance");
    QTest::newRow("webp") << "webp" << QStringList{"-lossless", "-exact"} << 0;
    QTest::newRow("avif") << "avif" << QStringList{"-l"} << 0;
    QTest::newRow("heif") << "heif" << QStringList{"-q", "95"} << 40;
    QTest::newRow("jxl") << "jxl" << QStringList{"-d", "0"} << 0;
}

void TestWebPhotoFormats::keepsAlpha()
{
    QFETCH(QString, kind);
    QFETCH(QStringList, args);
    QFETCH(int, tolerance);
    // Left half transparent, right half red at half opacity.
    QImage source(64, 48, QImage::Format_ARGB32);
    source.fill(Qt::transparent);
    for (int y = 0; y < 48; ++y)
        for (int x = 32; x < 64; ++x)
            source.setPixel(x, y, qRgba(255, 0, 0, 128));
    const QByteArray file = encoded(kind, source, args);
    QVERIFY(!file.isEmpty());
    const LoadedPicture picture = decode(kind, file);
    QVERIFY(picture.ok);
    // Premultiplied, so the view draws it over its background as it is.
    QCOMPARE(picture.image.format(), QImage::Format_ARGB32_Premultiplied);
    QCOMPARE(qAlpha(picture.image.pixel(8, 24)), 0);
    const QRgb half = picture.image.pixel(48, 24);
    QVERIFY2(std::abs(qAlpha(half) - 128) <= std::max(tolerance, 1),
             qPrintable(QString::number(qAlpha(half))));
    QVERIFY2(std::abs(qRed(half) - qAlpha(half)) <= std::max(tolerance, 1),
             qPrintable(QString::number(qRed(half))));
    QVERIFY(qGreen(half) <= tolerance && qBlue(half) <= tolerance);
}

void TestWebPhotoFormats::upright_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("orientation"); // the EXIF orientation that turns the same way
    for (int o : {2, 3, 5, 6, 8})
        QTest::addRow("webp exif %d", o) << "webp" << QStringList{} << o;
    // irot turns anticlockwise by quarter turns; imir 0 exchanges top and bottom, 1 left and
    // right; a rotation comes before the mirror.
    QTest::newRow("avif irot 1") << "avif" << QStringList{"--irot", "1"} << 8;
    QTest::newRow("avif irot 2") << "avif" << QStringList{"--irot", "2"} << 3;
    QTest::newRow("avif irot 3") << "avif" << QStringList{"--irot", "3"} << 6;
    QTest::newRow("avif imir 0") << "avif" << QStringList{"--imir", "0"} << 4;
    QTest::newRow("avif imir 1") << "avif" << QStringList{"--imir", "1"} << 2;
    QTest::newRow("avif irot 1 imir 0") << "avif" << QStringList{"--irot", "1", "--imir", "0"} << 5;
    QTest::newRow("avif irot 1 imir 1") << "avif" << QStringList{"--irot", "1", "--imir", "1"} << 7;
    for (int o : {3, 6, 7})
        QTest::addRow("jxl orientation %d", o) << "jxl" << QStringList{} << o;
}

void TestWebPhotoFormats::upright()
{
    QFETCH(QString, kind);
    QFETCH(QStringList, args);
    QFETCH(int, orientation);
    const QImage stored = quadrants(64, 48);
    QByteArray file;
    if (kind == u"webp") {
        const QByteArray plain = encoded(kind, stored, {"-lossless"});
        file = runToolOn(QStringLiteral("webpmux"), {"-set", "exif", "o.exif", "in.webp", "-o", "out.webp"},
                         {{"in.webp", plain}, {"o.exif", exifBlock(orientation)}}, "out.webp");
    } else if (kind == u"avif") {
        file = encoded(kind, stored, args + QStringList{"-l"});
    } else {
        file = runToolOn(QStringLiteral("cjxl"), {"in0.png", "out.jxl", "-d", "0"},
                         {{"in0.png", pngWithOrientation(stored, orientation)}}, "out.jxl");
    }
    QVERIFY(!file.isEmpty());
    const QImage expected = apply_exif_orientation(stored, orientation);
    const LoadedPicture full = decode(kind, file);
    QVERIFY(full.ok);
    QCOMPARE(full.naturalSize, expected.size());
    QCOMPARE(full.image.size(), expected.size());
    compareQuadrants(full.image, expected, 0);
    // At a shown size the same way round.
    DecodeRequest fitted;
    fitted.shownSize = expected.size() / 4;
    const LoadedPicture small = decode(kind, file, fitted);
    QCOMPARE(small.image.size(), fitted.shownSize);
    compareQuadrants(small.image, expected, 40);
}

void TestWebPhotoFormats::jxlCoarseFirstLook_data()
{
    QTest::addColumn<QSize>("natural");
    QTest::addColumn<QSize>("shown");
    QTest::addColumn<int>("orientation");
    QTest::addColumn<bool>("alpha");
    QTest::addColumn<bool>("coarseFirst");
    QTest::addColumn<bool>("coarse"); // from the 1/8 image although it is smaller than shown
    const QSize natural(1280, 960);
    QTest::newRow("a fifth, first look") << natural << QSize(256, 192) << 1 << false << true << true;
    QTest::newRow("a fifth, sharp") << natural << QSize(256, 192) << 1 << false << false << false;
    QTest::newRow("an eighth needs no more") << natural << QSize(160, 120) << 1 << false << true << false;
    QTest::newRow("a third is decoded whole") << natural << QSize(427, 320) << 1 << false << true << false;
    QTest::newRow("odd sizes, a quarter")
        << QSize(1283, 963) << QSize(320, 240) << 1 << false << true << true;
    QTest::newRow("orientation 6") << natural << QSize(256, 192) << 6 << false << true << true;
    // libjxl renders no 1/8 image of a picture with alpha: decoded whole.
    QTest::newRow("alpha") << natural << QSize(256, 192) << 1 << true << true << false;
}

// Upright, with alpha, exactly the shown size and the quadrants' colours however it was made.
void TestWebPhotoFormats::jxlCoarseFirstLook()
{
    QFETCH(QSize, natural);
    QFETCH(QSize, shown);
    QFETCH(int, orientation);
    QFETCH(bool, alpha);
    QFETCH(bool, coarseFirst);
    QFETCH(bool, coarse);
    const QSize size = orientation >= 5 ? natural.transposed() : natural;
    QImage clean =
        quadrants(size.width(), size.height(), alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    if (alpha) // the right half at half opacity
        for (int y = 0; y < clean.height(); ++y)
            for (int x = clean.width() / 2; x < clean.width(); ++x)
                clean.setPixel(x, y, (clean.pixel(x, y) & 0xffffff) | 0x80000000);
    // Noise, so that the file is larger than the first piece the decoder is given and its 1/8
    // image is complete before the rest comes (as in a photo).
    QImage stored = clean;
    quint32 seed = 11;
    for (int y = 0; y < stored.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(stored.scanLine(y));
        for (int x = 0; x < stored.width(); ++x) {
            seed = seed * 1664525u + 1013904223u;
            const auto shaken = [&](int v, int shift) {
                return std::clamp(v + int((seed >> shift) & 127) - 64, 0, 255);
            };
            line[x] = qRgba(shaken(qRed(line[x]), 8), shaken(qGreen(line[x]), 16), shaken(qBlue(line[x]), 24),
                            qAlpha(line[x]));
        }
    }
    const QImage expected = apply_exif_orientation(clean, orientation);
    const QByteArray file = runToolOn(QStringLiteral("cjxl"), {"in0.png", "out.jxl", "-d", "1"},
                                      {{"in0.png", pngWithOrientation(stored, orientation)}}, "out.jxl");
    QVERIFY2(file.size() > 300 * 1024, qPrintable(QString::number(file.size())));
    DecodeRequest req;
    req.shownSize = shown;
    req.coarseFirst = coarseFirst;
    const LoadedPicture picture = decode_jxl(file, req);
    QVERIFY(picture.ok);
    QCOMPARE(picture.coarse, coarse);
    QCOMPARE(picture.naturalSize, natural);
    QCOMPARE(picture.image.size(), shown);
    QCOMPARE(picture.image.format(), alpha ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
    compareQuadrants(picture.image, expected, 40);
}

void TestWebPhotoFormats::displayP3ShownInSrgb_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("tolerance");
    // The tools carry the PNG's profile over, unless told to code the colour instead.
    QTest::newRow("webp iccp") << "webp" << QStringList{"-lossless", "-metadata", "icc"} << 2;
    QTest::newRow("avif icc") << "avif" << QStringList{"-l"} << 2;
    QTest::newRow("avif nclx") << "avif" << QStringList{"-l", "--ignore-icc", "--cicp", "12/13/0"} << 2;
    QTest::newRow("heif icc") << "heif" << QStringList{"-L"} << 2;
    QTest::newRow("jxl original profile") << "jxl" << QStringList{"-d", "0"} << 2;
    QTest::newRow("jxl xyb asked for in srgb") << "jxl" << QStringList{"-d", "0.1"} << 4;
}

void TestWebPhotoFormats::displayP3ShownInSrgb()
{
    QFETCH(QString, kind);
    QFETCH(QStringList, args);
    QFETCH(int, tolerance);
    const QColor p3(180, 90, 60);
    QImage source(32, 24, QImage::Format_RGB32);
    source.fill(p3);
    source.setColorSpace(QColorSpace::DisplayP3);
    const QColor srgb =
        QColorSpace(QColorSpace::DisplayP3).transformationToColorSpace(QColorSpace::SRgb).map(p3);
    QVERIFY(!near(srgb, p3, 10)); // far enough apart to tell
    const QByteArray file = encoded(kind, source, args);
    QVERIFY(!file.isEmpty());
    for (const QSize shown : {QSize(), QSize(16, 12)}) {
        DecodeRequest req;
        req.shownSize = shown;
        const LoadedPicture picture = decode(kind, file, req);
        QVERIFY(picture.ok);
        const QColor got = picture.image.pixelColor(picture.image.width() / 2, picture.image.height() / 2);
        QVERIFY2(near(got, srgb, tolerance),
                 qPrintable(QStringLiteral("%1, expected %2").arg(got.name(), srgb.name())));
    }
}

void TestWebPhotoFormats::probesTellTheUprightSize_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("orientation");
    QTest::newRow("webp") << "webp" << QStringList{"-q", "80"} << 1;
    QTest::newRow("webp exif") << "webp" << QStringList{"-q", "80"} << 6;
    QTest::newRow("heif") << "heif" << QStringList{"-q", "80"} << 1;
    QTest::newRow("jxl") << "jxl" << QStringList{"-d", "1"} << 1;
    QTest::newRow("jxl orientation") << "jxl" << QStringList{"-d", "1"} << 8;
}

void TestWebPhotoFormats::probesTellTheUprightSize()
{
    QFETCH(QString, kind);
    QFETCH(QStringList, args);
    QFETCH(int, orientation);
    const QImage source = quadrants(96, 64);
    QByteArray file;
    if (kind == u"webp" && orientation != 1)
        file = runToolOn(QStringLiteral("webpmux"), {"-set", "exif", "o.exif", "in.webp", "-o", "out.webp"},
                         {{"in.webp", encoded(kind, source, args)}, {"o.exif", exifBlock(orientation)}},
                         "out.webp");
    else if (kind == u"jxl")
        file = runToolOn(QStringLiteral("cjxl"), QStringList{"in0.png", "out.jxl"} + args,
                         {{"in0.png", pngWithOrientation(source, orientation)}}, "out.jxl");
    else
        file = encoded(kind, source, args);
    QVERIFY(!file.isEmpty());
    const PictureKind pictureKind = picture_kind("a." + kind);
    const PictureProbe probe = picture_kind_info(pictureKind).probe;
    QVERIFY(probe);
    const QSize upright = oriented_size(source.size(), orientation);
    QCOMPARE(probe(file), upright);
    QCOMPARE(decode_picture(file, pictureKind, {}).naturalSize, upright);
    // Too little to tell: no size (the view then decodes the whole picture).
    QCOMPARE(probe(file.left(10)), QSize());
    if (kind == u"webp" && orientation != 1) // the EXIF chunk comes after the picture's data
        QCOMPARE(probe(file.left(file.size() - 8)), QSize());
    // The first bytes of a large HEIF end inside its picture's data, after the boxes that tell
    // the size (which a probe of the file's head reads).
    if (kind == u"heif")
        QCOMPARE(probe(file.left(file.size() - 8)), upright);
}

void TestWebPhotoFormats::heifThumbnailStandsInWhenLargeEnough()
{
    const QImage source = quadrants(320, 240);
    const QByteArray file = encoded("heif", source, {"-q", "90", "-t", "64"});
    QVERIFY(!file.isEmpty());
    for (const QSize shown : {QSize(48, 36), QSize(64, 48), QSize(200, 150)}) {
        DecodeRequest req;
        req.shownSize = shown;
        const LoadedPicture picture = decode_heif(file, req);
        QVERIFY(picture.ok);
        QCOMPARE(picture.naturalSize, source.size());
        QCOMPARE(picture.image.size(), shown);
        compareQuadrants(picture.image, source, 40);
    }
}

void TestWebPhotoFormats::animatedWebp()
{
    QImage red(40, 30, QImage::Format_RGB32), green = red, blue = red;
    red.fill(Qt::red);
    green.fill(Qt::green);
    blue.fill(Qt::blue);
    // 40 ms, then 5 ms (shown as 100 ms, as for GIF), then 70 ms; played three times.
    const QByteArray file = runTool(QStringLiteral("img2webp"),
                                    {"-loop", "3", "-lossless", "-d", "40", "in0.png", "-d", "5", "in1.png",
                                     "-d", "70", "in2.png", "-o", "out.webp"},
                                    {red, green, blue}, "out.webp");
    QVERIFY(!file.isEmpty());

    WebpAnimation animation;
    QVERIFY(animation.open(file, kMaxPicturePixels));
    QCOMPARE(animation.size(), QSize(40, 30));
    QCOMPARE(animation.frameCount(), 3);
    QCOMPARE(animation.loopCount(), 2);
    checkPlays(animation, {40, 100, 70});
    if (QTest::currentTestFailed())
        return;
    // A canvas above the guard is refused before anything of its size is made.
    QVERIFY(!WebpAnimation().open(file, 40 * 30 - 1));

    checkStillFrames(QStringLiteral("webp"), file);
}

void TestWebPhotoFormats::animatedJxl()
{
    QImage red(40, 30, QImage::Format_RGB32), green = red, blue = red;
    red.fill(Qt::red);
    green.fill(Qt::green);
    blue.fill(Qt::blue);
    const QByteArray file = vorn::test::animatedJxl({red, green, blue}, 3);
    QVERIFY(!file.isEmpty());

    const std::unique_ptr<AnimationDecoder> animation = make_animation_decoder(PictureKind::Jxl);
    QVERIFY(animation);
    QVERIFY(animation->open(file, kMaxPicturePixels));
    QCOMPARE(animation->size(), QSize(40, 30));
    QCOMPARE(animation->frameCount(), 3);
    QCOMPARE(animation->loopCount(), -1); // cjxl writes every animation as played forever
    checkPlays(*animation, {500, 500, 500});
    if (QTest::currentTestFailed())
        return;
    QVERIFY(!make_animation_decoder(PictureKind::Jxl)->open(file, 40 * 30 - 1));
    // A still JPEG XL is no animation.
    QVERIFY(
        !make_animation_decoder(PictureKind::Jxl)->open(encoded("jxl", red, {"-d", "0"}), kMaxPicturePixels));

    checkStillFrames(QStringLiteral("jxl"), file);
}

void TestWebPhotoFormats::hugeAnimationBoundedWork()
{
    // 2,000 frames declared on a 4000 x 4000 canvas: the middle frame would composite a
    // thousand canvases; the thumbnail stops at the frame the work bound reaches (here a bound
    // of four canvases, so that the test stays small: frame 3, blue).
    const QSize canvas(4000, 4000);
    const QByteArray file = manyFramesOnHugeCanvas(2000, canvas);
    QVERIFY(!file.isEmpty());
    QVERIFY(file.size() < 200000);
    DecodeRequest thumb;
    thumb.middleFrame = true;
    thumb.maxAnimationWork = qint64(4) * 4000 * 4000;
    QCOMPARE(still_frame_index(thumb, 2000, canvas), 3);
    const LoadedPicture p = decode_webp(file, thumb);
    QVERIFY(p.ok);
    QCOMPARE(p.frameCount, 2000);
    QCOMPARE(p.naturalSize, canvas);
    QCOMPARE(p.image.pixelColor(0, 0), QColor(Qt::blue));
    QCOMPARE(p.image.pixelColor(1, 1).alpha(), 0);
    // Played, the frames come one at a time from the file's bytes.
    const std::unique_ptr<AnimationDecoder> animation = make_animation_decoder(PictureKind::Webp);
    QVERIFY(animation->open(file, kMaxMoviePixels));
    QCOMPARE(animation->frameCount(), 2000);
    QImage frame;
    int delay = 0;
    QVERIFY(animation->next(&frame, &delay) && animation->next(&frame, &delay));
    QCOMPARE(animation->currentFrame(), 1);
    QCOMPARE(frame.pixelColor(0, 0), QColor(Qt::blue));
    // A canvas beyond what plays frame by frame is refused as a movie.
    QVERIFY(!make_animation_decoder(PictureKind::Webp)
                 ->open(manyFramesOnHugeCanvas(2, QSize(8000, 8000)), kMaxMoviePixels));
}

void TestWebPhotoFormats::refusesBrokenAndOversized_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QStringList>("args");
    QTest::newRow("webp") << "webp" << QStringList{"-q", "80"};
    QTest::newRow("avif") << "avif" << QStringList{};
    QTest::newRow("heif") << "heif" << QStringList{};
    QTest::newRow("jxl") << "jxl" << QStringList{"-d", "1"};
}

void TestWebPhotoFormats::refusesBrokenAndOversized()
{
    QFETCH(QString, kind);
    QFETCH(QStringList, args);
    const QByteArray file = encoded(kind, quadrants(256, 192), args);
    QVERIFY(!file.isEmpty());
    QVERIFY(decode(kind, file).ok);
    DecodeRequest fitted;
    fitted.shownSize = QSize(32, 24);
    // Cut short anywhere, or filled with zeros after its header: not ok, at any size.
    for (const QByteArray &broken : {file.left(file.size() / 2), file.left(40), file.left(12), QByteArray(),
                                     file.left(64) + QByteArray(file.size() - 64, '\0')}) {
        QVERIFY(!decode(kind, broken).ok);
        QVERIFY(!decode(kind, broken, fitted).ok);
    }
    // More pixels than allowed: refused, also for a fitted view.
    DecodeRequest guarded;
    guarded.maxPixels = 256 * 192 - 1;
    QVERIFY(!decode(kind, file, guarded).ok);
    guarded.shownSize = QSize(32, 24);
    QVERIFY(!decode(kind, file, guarded).ok);
    // Cancelled: not ok.
    DecodeRequest cancelled;
    cancelled.cancelled = [] { return true; };
    QVERIFY(!decode(kind, file, cancelled).ok);
}

QTEST_GUILESS_MAIN(TestWebPhotoFormats)
#include "tst_web_photo_formats.moc"
