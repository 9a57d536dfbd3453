// The HEVC in HEIF pictures is decoded in-process by FFmpeg on several threads; libheif's own
// tool (heif-convert, a process of its own with libheif's libde265 decoder) is the reference: both
// are exact HEVC decoders, and the planes of opaque pictures, turned into pixels by our own code,
// give the pixels libheif's interleaved output gives (to rounding for limited range). Odd sizes
// (cropped by a clap box), several rows of coding tree units (decoded side by side), 4:2:0 and
// 4:4:4, 10 bits, alpha, gray, the matrices and ranges of the samples, and damaged coded data.
#include "codecs/heif_decoder.h"
#include "codecs/heif_hevc_plugin.h"
#include "support/tool_fixtures.h"

#include <QRandomGenerator>
#include <QTest>

using namespace vorn;
using namespace vorn::test;

namespace
{

// A photo-like picture: smooth gradients with sharp-edged blocks of random colour, so that the
// coded data holds real detail in every row of coding tree units.
QImage photoLike(QSize size, QImage::Format format, bool withAlpha)
{
    QImage image(size, format);
    QRandomGenerator rng(11);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            image.setPixelColor(x, y,
                                QColor(x * 255 / size.width(), y * 255 / size.height(),
                                       (x + y) * 127 / (size.width() + size.height()) + 64,
                                       withAlpha ? (x * 7 + y * 3) % 256 : 255));
    for (int i = 0; i < 60; ++i) {
        const QColor c = QColor::fromRgb(rng.generate() | 0xff000000);
        const int x0 = rng.bounded(size.width()), y0 = rng.bounded(size.height());
        for (int y = y0; y < std::min(size.height(), y0 + 24); ++y)
            for (int x = x0; x < std::min(size.width(), x0 + 24); ++x)
                image.setPixelColor(x, y, c);
    }
    return image;
}

// The largest difference of any channel of any pixel; -1 when the sizes differ.
int largestDifference(const QImage &a, const QImage &b)
{
    if (a.size() != b.size())
        return -1;
    const QImage x = a.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const QImage y = b.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    int worst = 0;
    for (int row = 0; row < x.height(); ++row) {
        const auto *p = reinterpret_cast<const QRgb *>(x.constScanLine(row));
        const auto *q = reinterpret_cast<const QRgb *>(y.constScanLine(row));
        for (int col = 0; col < x.width(); ++col)
            worst = std::max(
                {worst, std::abs(qRed(p[col]) - qRed(q[col])), std::abs(qGreen(p[col]) - qGreen(q[col])),
                 std::abs(qBlue(p[col]) - qBlue(q[col])), std::abs(qAlpha(p[col]) - qAlpha(q[col]))});
    }
    return worst;
}

} // namespace

class TestHeifHevc : public QObject
{
    Q_OBJECT

  private slots:
    void initTestCase();
    void sameAsTheReferenceDecoder_data();
    void sameAsTheReferenceDecoder();
    void damagedCodedData();
};

void TestHeifHevc::initTestCase()
{
    QVERIFY(register_heif_hevc_plugin());
    QVERIFY(heif_hevc_threads() >= 1);
}

void TestHeifHevc::sameAsTheReferenceDecoder_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("source"); // 0 RGB, 1 RGBA, 2 16-bit RGB, 3 gray
    // The reference goes through 16 bits for the deeper pictures and premultiplies alpha by Qt.
    QTest::addColumn<int>("tolerance");
    QTest::newRow("4:2:0, many CTU rows") << QSize(640, 704) << QStringList{"-q", "70"} << 0 << 0;
    QTest::newRow("odd size") << QSize(333, 187) << QStringList{"-q", "85"} << 0 << 0;
    QTest::newRow("tiny") << QSize(3, 5) << QStringList{"-q", "85"} << 0 << 0;
    QTest::newRow("4:4:4") << QSize(200, 150) << QStringList{"-q", "90", "-p", "chroma=444"} << 0 << 0;
    QTest::newRow("alpha") << QSize(201, 99) << QStringList{"-q", "90"} << 1 << 1;
    QTest::newRow("10 bit") << QSize(160, 120) << QStringList{"-q", "90", "-b", "10"} << 2 << 1;
    QTest::newRow("gray") << QSize(130, 66) << QStringList{"-q", "90"} << 3 << 0;
    // Other codings of the samples: BT.709, limited range, and RGB planes.
    QTest::newRow("709") << QSize(96, 64) << QStringList{"-q", "90", "--matrix_coefficients=1"} << 0 << 0;
    QTest::newRow("709 limited range")
        << QSize(96, 64) << QStringList{"-q", "90", "--matrix_coefficients=1", "--full_range_flag=0"} << 0
        << 2;
    QTest::newRow("RGB planes") << QSize(96, 64) << QStringList{"-q", "90", "--matrix_coefficients=0"} << 0
                                << 0;
}

void TestHeifHevc::sameAsTheReferenceDecoder()
{
    QFETCH(QSize, size);
    QFETCH(QStringList, args);
    QFETCH(int, source);
    QFETCH(int, tolerance);
    const QImage::Format format = source == 1   ? QImage::Format_ARGB32
                                  : source == 2 ? QImage::Format_RGBX64
                                                : QImage::Format_RGB32;
    QImage picture = photoLike(size, format, source == 1);
    if (source == 3)
        picture = picture.convertToFormat(QImage::Format_Grayscale8);
    const QByteArray file = runTool(QStringLiteral("heif-enc"),
                                    args + QStringList{"in0.png", "-o", "out.heic"}, {picture}, "out.heic");
    QVERIFY(!file.isEmpty());
    const QByteArray png =
        runToolOn(QStringLiteral("heif-convert"), {"in.heic", "out.png"}, {{"in.heic", file}}, "out.png");
    QVERIFY(!png.isEmpty());
    const QImage reference = QImage::fromData(png, "PNG");
    QCOMPARE(reference.size(), size);

    const LoadedPicture decoded = decode_heif(file, {});
    QVERIFY(decoded.ok);
    QCOMPARE(decoded.image.size(), size);
    const int difference = largestDifference(decoded.image, reference);
    QVERIFY2(difference >= 0 && difference <= tolerance, qPrintable(QString::number(difference)));
}

void TestHeifHevc::damagedCodedData()
{
    const QImage picture = photoLike(QSize(320, 256), QImage::Format_RGB32, false);
    const QByteArray file =
        runTool(QStringLiteral("heif-enc"), {"-q", "80", "in0.png", "-o", "out.heic"}, {picture}, "out.heic");
    QVERIFY(!file.isEmpty());
    QVERIFY(decode_heif(file, {}).ok);
    // The coded picture is the bulk at the end of the file: bytes in it changed, the boxes intact.
    // The picture is refused or shown at its size; never anything else.
    QRandomGenerator rng(5);
    for (int round = 0; round < 12; ++round) {
        QByteArray damaged = file;
        const int from = int(file.size() * 0.6);
        for (int i = 0; i < 8 * (round + 1); ++i)
            damaged[from + int(rng.bounded(file.size() - from))] = char(rng.generate());
        const LoadedPicture decoded = decode_heif(damaged, {});
        if (decoded.ok)
            QCOMPARE(decoded.image.size(), picture.size());
    }
}

QTEST_GUILESS_MAIN(TestHeifHevc)
#include "tst_heif_hevc.moc"
