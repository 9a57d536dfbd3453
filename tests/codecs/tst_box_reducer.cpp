// Shrinking rows by a whole factor while they arrive: block averages, the smaller blocks at the
// right and bottom edges, and rows handed in one by one or in bands.
#include "codecs/box_reducer.h"

#include <QtTest>

#include <cstring>

using namespace vorn;

namespace
{

void copyWords(const uchar *in, QRgb *out, int count)
{
    memcpy(out, in, size_t(count) * 4);
}

// Rows of 3-byte pixels taken as blue, green, red.
void threeBytes(const uchar *in, QRgb *out, int count)
{
    for (int i = 0; i < count; ++i, in += 3)
        out[i] = qRgb(in[2], in[1], in[0]);
}

// The picture reduced, its rows handed in `band` at a time.
QImage reduce(const QImage &picture, int factor, int band)
{
    BoxReducer reducer(picture.width(), picture.height(), factor, 4, picture.format(), copyWords);
    for (int y = 0; y < picture.height(); y += band) {
        const int rows = std::min(band, picture.height() - y);
        uchar *to = reducer.rows(rows);
        for (int r = 0; r < rows; ++r)
            memcpy(to + size_t(r) * size_t(picture.width()) * 4, picture.constScanLine(y + r),
                   size_t(picture.width()) * 4);
        reducer.rowsDone(rows);
    }
    return reducer.result();
}

} // namespace

class TstBoxReducer : public QObject
{
    Q_OBJECT
  private slots:
    void flatStaysFlat_data();
    void flatStaysFlat();
    void blockAverages();
    void factorForShownSize();
};

void TstBoxReducer::flatStaysFlat_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<int>("factor");
    QTest::addColumn<int>("band");
    QTest::addColumn<QSize>("expected");
    QTest::newRow("edges smaller than the blocks") << QSize(10, 7) << 3 << 1 << QSize(4, 3);
    QTest::newRow("in bands across blocks") << QSize(10, 7) << 3 << 5 << QSize(4, 3);
    QTest::newRow("one block") << QSize(4, 4) << 4 << 4 << QSize(1, 1);
    QTest::newRow("factor larger than the picture") << QSize(3, 2) << 5 << 1 << QSize(1, 1);
    QTest::newRow("factor 1") << QSize(5, 3) << 1 << 2 << QSize(5, 3);
    QTest::newRow("largest factor") << QSize(300, 260) << kMaxBoxFactor << 16 << QSize(2, 2);
}

void TstBoxReducer::flatStaysFlat()
{
    // Every block, the smaller ones at the edges too, averages a flat picture to its colour:
    // a block divided by the wrong pixel count would come out darker or brighter.
    QFETCH(QSize, size);
    QFETCH(int, factor);
    QFETCH(int, band);
    QFETCH(QSize, expected);
    QImage flat(size, QImage::Format_ARGB32_Premultiplied);
    const QRgb colour = qRgba(200, 100, 255, 255);
    flat.fill(colour);
    const QImage out = reduce(flat, factor, band);
    QCOMPARE(out.size(), expected);
    for (int y = 0; y < out.height(); ++y)
        for (int x = 0; x < out.width(); ++x)
            QCOMPARE(out.pixel(x, y), colour);
}

void TstBoxReducer::blockAverages()
{
    // 3 x 3 pixels of three bytes, factor 2: blocks of 4, 2 (right, bottom) and 1 (the corner)
    // pixels, each averaged with rounding.
    const uchar rows[3][9] = {
        {0, 0, 0, 255, 10, 1, 7, 7, 7}, {255, 20, 2, 255, 30, 2, 9, 9, 9}, {100, 0, 0, 51, 0, 0, 250, 40, 3}};
    BoxReducer reducer(3, 3, 2, 3, QImage::Format_RGB32, threeBytes);
    for (const auto &row : rows) {
        memcpy(reducer.rows(1), row, sizeof row);
        reducer.rowsDone(1);
    }
    const QImage out = reducer.result();
    QCOMPARE(out.size(), QSize(2, 2));
    QCOMPARE(out.pixel(0, 0), qRgb(1, 15, 191)); // (0+255+255+255)/4 = 191.25, 60/4, 5/4 = 1.25
    QCOMPARE(out.pixel(1, 0), qRgb(8, 8, 8));    // (7+9)/2
    QCOMPARE(out.pixel(0, 1), qRgb(0, 0, 76));   // (100+51)/2 = 75.5 rounds up
    QCOMPARE(out.pixel(1, 1), qRgb(3, 40, 250));
}

void TstBoxReducer::factorForShownSize()
{
    QCOMPARE(box_factor(QSize(4000, 3000), QSize(800, 600)), 5);
    QCOMPARE(box_factor(QSize(4000, 3000), QSize(801, 600)), 4); // never below the shown size
    QCOMPARE(box_factor(QSize(4000, 3000), QSize(4000, 3000)), 1);
    QCOMPARE(box_factor(QSize(400, 300), QSize(800, 600)), 1);
    QCOMPARE(box_factor(QSize(100000, 100000), QSize(1, 1)), kMaxBoxFactor);
    QCOMPARE(box_factor(QSize(400, 300), QSize(0, 0)), 1);
}

QTEST_MAIN(TstBoxReducer)
#include "tst_box_reducer.moc"
