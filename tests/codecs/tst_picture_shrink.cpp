// Reducing a picture by area averaging: every result pixel is the average of the source area it
// covers (against a reference computed in floating point), in any ratio and either direction.
#include "codecs/picture_shrink.h"

#include <QtTest>

#include <cmath>

using namespace vorn;

namespace
{

QImage randomPicture(QSize size, QImage::Format format, quint32 seed)
{
    const bool opaque = format == QImage::Format_RGB32 || format == QImage::Format_RGBX8888;
    QImage image(size, opaque ? QImage::Format_RGB32 : QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < size.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < size.width(); ++x) {
            seed = seed * 1664525u + 1013904223u;
            const int a = opaque ? 255 : int(seed >> 24);
            // Premultiplied: no channel above alpha.
            line[x] = qRgba(int((seed >> 16) & 255) * a / 255, int((seed >> 8) & 255) * a / 255,
                            int(seed & 255) * a / 255, a);
        }
    }
    return image.convertToFormat(format);
}

// The exact area average of channel `shift` for result pixel (x, y).
double reference(const QImage &src, QSize to, int x, int y, int shift)
{
    const double sx = double(src.width()) / to.width(), sy = double(src.height()) / to.height();
    const double x0 = x * sx, x1 = (x + 1) * sx, y0 = y * sy, y1 = (y + 1) * sy;
    double sum = 0;
    for (int j = int(y0); j < int(std::ceil(y1)); ++j) {
        const double hy = std::min(y1, j + 1.0) - std::max(y0, double(j));
        for (int i = int(x0); i < int(std::ceil(x1)); ++i) {
            const double wx = std::min(x1, i + 1.0) - std::max(x0, double(i));
            sum += wx * hy * ((src.pixel(i, j) >> shift) & 255);
        }
    }
    return sum / (sx * sy);
}

} // namespace

class TstPictureShrink : public QObject
{
    Q_OBJECT

  private slots:
    void areaAverage_data();
    void areaAverage();
    void notReduced();
};

void TstPictureShrink::areaAverage_data()
{
    QTest::addColumn<QSize>("from");
    QTest::addColumn<QSize>("to");
    QTest::addColumn<QImage::Format>("format");
    QTest::newRow("halved") << QSize(64, 48) << QSize(32, 24) << QImage::Format_RGB32;
    QTest::newRow("1/4 scale to the fitted view (5 to 4)")
        << QSize(125, 94) << QSize(100, 75) << QImage::Format_RGB32;
    QTest::newRow("1/8 scale to a thumbnail") << QSize(500, 375) << QSize(100, 75) << QImage::Format_RGB32;
    QTest::newRow("odd ratios") << QSize(97, 61) << QSize(13, 59) << QImage::Format_RGB32;
    QTest::newRow("one direction only") << QSize(40, 30) << QSize(40, 7) << QImage::Format_RGB32;
    QTest::newRow("to one pixel") << QSize(301, 17) << QSize(1, 1) << QImage::Format_RGB32;
    QTest::newRow("a long line") << QSize(20000, 2) << QSize(3, 1) << QImage::Format_RGB32;
    QTest::newRow("premultiplied alpha")
        << QSize(50, 50) << QSize(21, 34) << QImage::Format_ARGB32_Premultiplied;
    // Bytes in R, G, B, A order, as libjxl and others give them.
    QTest::newRow("RGBX bytes") << QSize(97, 61) << QSize(20, 15) << QImage::Format_RGBX8888;
    QTest::newRow("premultiplied RGBA bytes")
        << QSize(50, 50) << QSize(21, 34) << QImage::Format_RGBA8888_Premultiplied;
}

void TstPictureShrink::areaAverage()
{
    QFETCH(QSize, from);
    QFETCH(QSize, to);
    QFETCH(QImage::Format, format);
    const QImage source = randomPicture(from, format, quint32(from.width() * 31 + to.height()));
    const QImage result = shrink_image(source, to);
    QCOMPARE(result.size(), to);
    QCOMPARE(result.format(), format);
    for (int y = 0; y < to.height(); ++y)
        for (int x = 0; x < to.width(); ++x)
            for (int shift : {0, 8, 16, 24}) {
                const double want = reference(source, to, x, y, shift);
                const int got = int((result.pixel(x, y) >> shift) & 255);
                QVERIFY2(std::abs(got - want) <= 1.0, qPrintable(QString("(%1,%2) channel %3: %4, want %5")
                                                                     .arg(x)
                                                                     .arg(y)
                                                                     .arg(shift / 8)
                                                                     .arg(got)
                                                                     .arg(want)));
            }
}

// Larger sizes, the same size, other formats and an empty size go the usual way.
void TstPictureShrink::notReduced()
{
    const QImage source = randomPicture(QSize(20, 10), QImage::Format_RGB32, 3);
    QCOMPARE(shrink_image(source, QSize(20, 10)), source);
    QCOMPARE(shrink_image(source, QSize(40, 5)).size(), QSize(40, 5));
    QVERIFY(shrink_image(source, QSize(0, 0)).isNull());
    const QImage rgb888 = source.convertToFormat(QImage::Format_RGB888);
    const QImage half = shrink_image(rgb888, QSize(10, 5));
    QCOMPARE(half.size(), QSize(10, 5));
    QCOMPARE(half.format(), QImage::Format_RGB888);
}

QTEST_MAIN(TstPictureShrink)
#include "tst_picture_shrink.moc"
