// YCbCr samples turned into RGB: the matrices and ranges of H.273 by known colours, the chroma
// subsamplings by which sample a pixel takes, and a large picture split over threads equal to
// one thread's work; the picture reduced by a whole factor as the average of each block.
#include "codecs/ycbcr_to_rgb.h"

#include <QRandomGenerator>
#include <QtTest>

#include <vector>

using namespace vorn;

namespace
{

// One pixel from one sample of each plane.
QRgb convertOne(int y, int cb, int cr, int matrix, bool fullRange)
{
    const uint8_t ys = uint8_t(y), cbs = uint8_t(cb), crs = uint8_t(cr);
    YcbcrPlanes planes;
    planes.y = &ys;
    planes.cb = &cbs;
    planes.cr = &crs;
    planes.yStride = planes.cbStride = planes.crStride = 1;
    QImage out(1, 1, QImage::Format_RGB32);
    if (!ycbcr_to_rgb32(planes, matrix, fullRange, &out, 1))
        return 0;
    return out.pixel(0, 0);
}

// The largest channel difference between two colours.
int distance(QRgb a, QRgb b)
{
    return std::max(
        {std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)), std::abs(qBlue(a) - qBlue(b))});
}

} // namespace

class TestYcbcrToRgb : public QObject
{
    Q_OBJECT

  private slots:
    void knownColours_data();
    void knownColours();
    void unsupportedMatrices();
    void chromaSubsampling_data();
    void chromaSubsampling();
    void threadsGiveTheSamePixels();
    void reducedIsTheAverageOfItsBlock_data();
    void reducedIsTheAverageOfItsBlock();
};

void TestYcbcrToRgb::knownColours_data()
{
    QTest::addColumn<int>("y");
    QTest::addColumn<int>("cb");
    QTest::addColumn<int>("cr");
    QTest::addColumn<int>("matrix");
    QTest::addColumn<bool>("fullRange");
    QTest::addColumn<QRgb>("expected");
    // Limited range: 16 is black, 235 white, whatever the matrix.
    QTest::newRow("709 limited white") << 235 << 128 << 128 << 1 << false << qRgb(255, 255, 255);
    QTest::newRow("709 limited black") << 16 << 128 << 128 << 1 << false << qRgb(0, 0, 0);
    QTest::newRow("709 limited below black") << 4 << 128 << 128 << 1 << false << qRgb(0, 0, 0);
    QTest::newRow("full gray") << 100 << 128 << 128 << 6 << true << qRgb(100, 100, 100);
    // Pure primaries as the matrices code them (values from the matrices' own definitions).
    QTest::newRow("601 full red") << 76 << 85 << 255 << 6 << true << qRgb(254, 0, 0);
    QTest::newRow("601 full blue") << 29 << 255 << 107 << 6 << true << qRgb(0, 0, 254);
    QTest::newRow("unspecified is 601") << 76 << 85 << 255 << 2 << true << qRgb(254, 0, 0);
    QTest::newRow("709 limited red") << 63 << 102 << 240 << 1 << false << qRgb(255, 0, 0);
    QTest::newRow("709 limited green") << 173 << 42 << 26 << 1 << false << qRgb(0, 255, 1);
    QTest::newRow("2020 full red") << 67 << 93 << 255 << 9 << true << qRgb(255, 0, 0);
    // GBR: green in the luma place.
    QTest::newRow("GBR full") << 10 << 20 << 30 << 0 << true << qRgb(30, 10, 20);
}

void TestYcbcrToRgb::knownColours()
{
    QFETCH(int, y);
    QFETCH(int, cb);
    QFETCH(int, cr);
    QFETCH(int, matrix);
    QFETCH(bool, fullRange);
    QFETCH(QRgb, expected);
    QVERIFY(ycbcr_matrix_supported(matrix));
    const QRgb got = convertOne(y, cb, cr, matrix, fullRange);
    QVERIFY2(distance(got, expected) <= 1,
             qPrintable(QColor(got).name() + QStringLiteral(" for ") + QColor(expected).name()));
}

void TestYcbcrToRgb::unsupportedMatrices()
{
    // YCgCo, constant luminance, derived from the primaries, ICtCp: left to the library.
    for (int matrix : {8, 10, 11, 12, 13, 14, 16, 255})
        QVERIFY2(!ycbcr_matrix_supported(matrix), qPrintable(QString::number(matrix)));
    const uint8_t sample = 128;
    YcbcrPlanes planes;
    planes.y = planes.cb = planes.cr = &sample;
    QImage out(1, 1, QImage::Format_RGB32);
    out.fill(Qt::red);
    QVERIFY(!ycbcr_to_rgb32(planes, 8, true, &out, 1));
    QCOMPARE(out.pixel(0, 0), qRgb(255, 0, 0));
}

void TestYcbcrToRgb::chromaSubsampling_data()
{
    QTest::addColumn<int>("shiftX");
    QTest::addColumn<int>("shiftY");
    QTest::newRow("4:2:0") << 1 << 1;
    QTest::newRow("4:2:2") << 1 << 0;
    QTest::newRow("4:4:4") << 0 << 0;
}

// Every chroma sample a distinct red: each pixel must take the one its block holds, also at the
// odd right and bottom edges.
void TestYcbcrToRgb::chromaSubsampling()
{
    QFETCH(int, shiftX);
    QFETCH(int, shiftY);
    const int width = 7, height = 5;
    const int cw = (width + (1 << shiftX) - 1) >> shiftX, ch = (height + (1 << shiftY) - 1) >> shiftY;
    std::vector<uint8_t> y(size_t(width * height), 128), cb(size_t(cw * ch), 128), cr(size_t(cw * ch));
    for (int i = 0; i < cw * ch; ++i)
        cr[size_t(i)] = uint8_t(130 + i * 3);
    YcbcrPlanes planes;
    planes.y = y.data();
    planes.cb = cb.data();
    planes.cr = cr.data();
    planes.yStride = width;
    planes.cbStride = planes.crStride = cw;
    planes.chromaShiftX = shiftX;
    planes.chromaShiftY = shiftY;
    QImage out(width, height, QImage::Format_RGB32);
    QVERIFY(ycbcr_to_rgb32(planes, 6, true, &out, 1));
    for (int py = 0; py < height; ++py)
        for (int px = 0; px < width; ++px) {
            const int c = (py >> shiftY) * cw + (px >> shiftX);
            QCOMPARE(out.pixel(px, py), convertOne(128, 128, cr[size_t(c)], 6, true));
        }
}

void TestYcbcrToRgb::threadsGiveTheSamePixels()
{
    const int width = 1001, height = 777; // above the size split over threads, odd rows
    QRandomGenerator rng(3);
    std::vector<uint8_t> y(size_t(width * height)), c(size_t(((width + 1) / 2) * ((height + 1) / 2)) * 2);
    for (uint8_t &v : y)
        v = uint8_t(rng.bounded(256));
    for (uint8_t &v : c)
        v = uint8_t(rng.bounded(256));
    YcbcrPlanes planes;
    planes.y = y.data();
    planes.yStride = width;
    planes.cb = c.data();
    planes.cr = c.data() + c.size() / 2;
    planes.cbStride = planes.crStride = (width + 1) / 2;
    planes.chromaShiftX = planes.chromaShiftY = 1;
    QImage one(width, height, QImage::Format_RGB32), four(width, height, QImage::Format_RGB32);
    QVERIFY(ycbcr_to_rgb32(planes, 1, false, &one, 1));
    QVERIFY(ycbcr_to_rgb32(planes, 1, false, &four, 4));
    QCOMPARE(four, one);
}

void TestYcbcrToRgb::reducedIsTheAverageOfItsBlock_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<int>("factor");
    QTest::addColumn<int>("shift"); // chroma subsampling in both directions, or -1: gray
    QTest::newRow("4:2:0 by 5, odd edges") << QSize(803, 601) << 5 << 1;
    QTest::newRow("4:2:0 by 2") << QSize(640, 480) << 2 << 1;
    QTest::newRow("4:2:0 by 3, odd chroma blocks") << QSize(301, 199) << 3 << 1;
    QTest::newRow("4:4:4 by 4") << QSize(403, 301) << 4 << 0;
    QTest::newRow("gray by 7") << QSize(100, 51) << 7 << -1;
}

// Each reduced pixel against the average of the full conversion over its block: equal to
// rounding (the samples are averaged before the conversion, which is linear inside RGB).
void TestYcbcrToRgb::reducedIsTheAverageOfItsBlock()
{
    QFETCH(QSize, size);
    QFETCH(int, factor);
    QFETCH(int, shift);
    const int s = std::max(shift, 0);
    const int cw = (size.width() + (1 << s) - 1) >> s, ch = (size.height() + (1 << s) - 1) >> s;
    QRandomGenerator rng(9);
    std::vector<uint8_t> y(size_t(size.width() * size.height())), cb(size_t(cw * ch)), cr(size_t(cw * ch));
    // Smooth samples with some noise, as a photo's, all of whose colours lie inside RGB (a colour
    // clipped at 0 or 255 pixel by pixel has no exact average of the unclipped samples).
    for (int row = 0; row < size.height(); ++row)
        for (int x = 0; x < size.width(); ++x)
            y[size_t(row * size.width() + x)] = uint8_t(std::clamp(
                70 + x * 60 / size.width() + row * 40 / size.height() + int(rng.bounded(9)), 0, 255));
    for (int i = 0; i < cw * ch; ++i) {
        cb[size_t(i)] = uint8_t(110 + (i % cw) * 20 / cw + int(rng.bounded(5)));
        cr[size_t(i)] = uint8_t(140 - (i / cw) * 20 / ch + int(rng.bounded(5)));
    }
    YcbcrPlanes planes;
    planes.y = y.data();
    planes.yStride = size.width();
    if (shift >= 0) {
        planes.cb = cb.data();
        planes.cr = cr.data();
        planes.cbStride = planes.crStride = cw;
        planes.chromaShiftX = planes.chromaShiftY = shift;
    }
    QImage full(size, QImage::Format_RGB32);
    QVERIFY(ycbcr_to_rgb32(planes, 1, true, &full, 1));
    const QSize reducedSize = reduced_size(size, factor);
    QCOMPARE(reducedSize, QSize((size.width() + factor - 1) / factor, (size.height() + factor - 1) / factor));
    QImage reduced(reducedSize, QImage::Format_RGB32);
    QVERIFY(ycbcr_to_rgb32_reduced(planes, size, factor, 1, true, &reduced, 2));
    int worst = 0;
    for (int oy = 0; oy < reducedSize.height(); ++oy)
        for (int ox = 0; ox < reducedSize.width(); ++ox) {
            int sum[3] = {}, n = 0;
            for (int py = oy * factor; py < std::min(size.height(), (oy + 1) * factor); ++py)
                for (int px = ox * factor; px < std::min(size.width(), (ox + 1) * factor); ++px, ++n) {
                    const QRgb c = full.pixel(px, py);
                    sum[0] += qRed(c), sum[1] += qGreen(c), sum[2] += qBlue(c);
                }
            const QRgb mean = qRgb((sum[0] + n / 2) / n, (sum[1] + n / 2) / n, (sum[2] + n / 2) / n);
            worst = std::max(worst, distance(reduced.pixel(ox, oy), mean));
        }
    QVERIFY2(worst <= 1, qPrintable(QString::number(worst)));
    // A wrong size for the result is refused.
    QImage wrong(reducedSize + QSize(1, 0), QImage::Format_RGB32);
    QVERIFY(!ycbcr_to_rgb32_reduced(planes, size, factor, 1, true, &wrong, 1));
}

QTEST_GUILESS_MAIN(TestYcbcrToRgb)
#include "tst_ycbcr_to_rgb.moc"
