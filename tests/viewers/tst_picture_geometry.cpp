// The view arithmetic: best fit, centring, the background tester's tiles, factor and percentage
// zoom, status texts, GIF speed, slideshow interval and magnifier steps.
#include "lang/texts.h"
#include "viewers/pictures/picture_geometry.h"

#include <QtTest>

using namespace vorn;

class TstPictureGeometry : public QObject
{
    Q_OBJECT
  private slots:
    void bestFit_data();
    void bestFit();
    void centre_data();
    void centre();
    void canvas_data();
    void canvas();
    void tiles_data();
    void tiles();
    void zoom();
    void statusTexts();
    void steps();
};

void TstPictureGeometry::bestFit_data()
{
    QTest::addColumn<QSize>("view");
    QTest::addColumn<QSize>("natural");
    QTest::addColumn<QRect>("rect");
    QTest::newRow("equal ratios fill the width")
        << QSize(800, 600) << QSize(1024, 768) << QRect(0, 0, 800, 600);
    QTest::newRow("wide small picture enlarged")
        << QSize(800, 600) << QSize(100, 50) << QRect(0, 100, 800, 400);
    QTest::newRow("tall picture fills the height")
        << QSize(800, 600) << QSize(300, 900) << QRect(300, 0, 200, 600);
    // 800 / 3 = 266.67 -> 267 rows; top (600 - 267) div 2 = 166.
    QTest::newRow("rounding") << QSize(800, 600) << QSize(3, 1) << QRect(0, 166, 800, 267);
    // 101 x 0.5 = 50.5 goes to the even 50; 303 x 0.5 = 151.5 goes to 152.
    QTest::newRow("half to even, down") << QSize(100, 60) << QSize(200, 101) << QRect(0, 5, 100, 50);
    QTest::newRow("half to even, up") << QSize(100, 200) << QSize(200, 303) << QRect(0, 24, 100, 152);
    QTest::newRow("height branch, odd width") << QSize(101, 50) << QSize(50, 50) << QRect(25, 0, 50, 50);
    // 4000 x 1 at 0.2 rounds to 0 rows: a fitted side keeps at least one pixel.
    QTest::newRow("one-pixel line stays visible")
        << QSize(800, 600) << QSize(4000, 1) << QRect(0, 299, 800, 1);
    QTest::newRow("one-pixel column stays visible")
        << QSize(800, 600) << QSize(1, 3000) << QRect(399, 0, 1, 600);
    QTest::newRow("no natural size") << QSize(800, 600) << QSize(0, 10) << QRect();
}

void TstPictureGeometry::bestFit()
{
    QFETCH(QSize, view);
    QFETCH(QSize, natural);
    QFETCH(QRect, rect);
    const QRect got = best_fit_rect(view, natural);
    QCOMPARE(got, rect);
}

void TstPictureGeometry::centre_data()
{
    QTest::addColumn<QSize>("client");
    QTest::addColumn<QSize>("picture");
    QTest::addColumn<QPoint>("offset");
    QTest::newRow("smaller") << QSize(800, 600) << QSize(101, 51) << QPoint(349, 274);
    QTest::newRow("larger truncates toward zero") << QSize(800, 600) << QSize(1001, 603) << QPoint(-100, -1);
    QTest::newRow("same") << QSize(800, 600) << QSize(800, 600) << QPoint(0, 0);
}

void TstPictureGeometry::centre()
{
    QFETCH(QSize, client);
    QFETCH(QSize, picture);
    QFETCH(QPoint, offset);
    QCOMPARE(centre_offset(client, picture), offset);
}

void TstPictureGeometry::canvas_data()
{
    QTest::addColumn<QSize>("picture");
    QTest::addColumn<QSize>("canvas");
    // A view of 500 x 300 without bars; bars are 15 pixels thick.
    QTest::newRow("empty view fills the view, no bars") << QSize(0, 0) << QSize(500, 300);
    QTest::newRow("exactly the view") << QSize(500, 300) << QSize(500, 300);
    QTest::newRow("taller: only the vertical bar") << QSize(100, 1000) << QSize(485, 1000);
    QTest::newRow("wider: only the horizontal bar") << QSize(900, 100) << QSize(900, 285);
    QTest::newRow("taller and too wide for the narrowed view") << QSize(490, 1000) << QSize(490, 1000);
    QTest::newRow("both") << QSize(900, 700) << QSize(900, 700);
}

void TstPictureGeometry::canvas()
{
    QFETCH(QSize, picture);
    QFETCH(QSize, canvas);
    QCOMPARE(canvas_size(QSize(500, 300), picture, QSize(15, 15)), canvas);
}

void TstPictureGeometry::tiles_data()
{
    QTest::addColumn<QSize>("view");
    QTest::addColumn<QSize>("tile");
    QTest::addColumn<int>("columns");
    QTest::addColumn<int>("rows");
    QTest::addColumn<QRect>("second"); // tile 1
    QTest::addColumn<QRect>("last");
    // One more column and row than fit, so the grid reaches past the view's edges.
    QTest::newRow("64x48 over 800x600")
        << QSize(800, 600) << QSize(64, 48) << 13 << 13 << QRect(64, 0, 64, 48) << QRect(768, 576, 64, 48);
    QTest::newRow("exact multiple still one more")
        << QSize(128, 96) << QSize(64, 48) << 3 << 3 << QRect(64, 0, 64, 48) << QRect(128, 96, 64, 48);
    QTest::newRow("larger than the view")
        << QSize(100, 50) << QSize(300, 200) << 1 << 1 << QRect() << QRect(0, 0, 300, 200);
    QTest::newRow("1x1 tile") << QSize(800, 600) << QSize(1, 1) << 801 << 601 << QRect(1, 0, 1, 1)
                              << QRect(800, 600, 1, 1);
    QTest::newRow("empty tile") << QSize(800, 600) << QSize(0, 48) << 0 << 0 << QRect() << QRect();
}

void TstPictureGeometry::tiles()
{
    QFETCH(QSize, view);
    QFETCH(QSize, tile);
    QFETCH(int, columns);
    QFETCH(int, rows);
    QFETCH(QRect, second);
    QFETCH(QRect, last);
    const TileGrid grid = tile_grid(view, tile);
    QCOMPARE(grid.columns, columns);
    QCOMPARE(grid.rows, rows);
    QCOMPARE(grid.count(), columns * rows);
    QCOMPARE(grid.tileRect(1), second);
    QCOMPARE(grid.tileRect(grid.count() - 1), last);
    QCOMPARE(grid.tileRect(grid.count()), QRect());
    // The tiles cover the view.
    if (grid.count() > 0)
        QVERIFY(QRect(QPoint(0, 0), grid.extent()).contains(QRect(QPoint(0, 0), view)));
}

void TstPictureGeometry::zoom()
{
    int f = 1;
    for (int i = 0; i < 14; ++i)
        f = zoom_in_factor(f);
    QCOMPARE(f, 15);
    QVERIFY(!zoom_in_enabled(f));
    QCOMPARE(zoom_in_factor(f), 15);
    QCOMPARE(factor_size(QSize(640, 480), f), QSize(9600, 7200));
    QCOMPARE(zoom_out_factor(1), 1);
    QVERIFY(!zoom_out_enabled(1) && zoom_out_enabled(2));

    QCOMPARE(percent_size(QSize(640, 480), 0), QSize(0, 0));
    QCOMPARE(percent_size(QSize(333, 101), 50), QSize(166, 50));
    QCOMPARE(percent_size(QSize(30000, 20000), 200), QSize(60000, 40000));
}

void TstPictureGeometry::statusTexts()
{
    const Texts de(German), en(English);
    QCOMPARE(natural_size_text(QSize(640, 480)), QString("640 x 480"));
    QCOMPARE(zoom_status_text(de, 3, 100), QString("Faktor: 3"));
    QCOMPARE(zoom_status_text(de, 1, 100), QString("Größe : 100%"));
    QCOMPARE(zoom_status_text(en, 1, 100), QString("Size : 100%"));
    QCOMPARE(zoom_status_text(en, 1, 0), QString("Size : 0%"));
    QCOMPARE(zoom_status_text(de, 4, 150), QString("Größe : 150%"));
}

void TstPictureGeometry::steps()
{
    // GIF speed: 100 up to 500 and down to 5 in steps of 5.
    int speed = 100;
    while (gif_speed_up_enabled(speed))
        speed = next_gif_speed(speed, true);
    QCOMPARE(speed, 500);
    while (gif_speed_down_enabled(speed))
        speed = next_gif_speed(speed, false);
    QCOMPARE(speed, 5);
    QCOMPARE(next_gif_speed(3, false), 1);

    // Slideshow interval 1..360 s.
    QCOMPARE(slide_interval_ms(next_slide_interval(3, false)), 2000);
    QCOMPARE(next_slide_interval(1, false), 1);
    QCOMPARE(next_slide_interval(360, true), 360);

    // Magnifier: eight clicks reach 9; ten bigger clicks reach 404, the eleventh disables.
    int factor = 1;
    for (int i = 0; i < 8; ++i)
        factor = next_lupe_factor(factor, true);
    QCOMPARE(factor, 9);
    QCOMPARE(next_lupe_factor(9, true), 9);
    int w = kLupeSizeMin;
    for (int i = 0; i < 10; ++i) {
        QVERIFY(lupe_bigger_enabled_after(w));
        w = next_lupe_size(w, true);
    }
    QCOMPARE(w, 404);
    QCOMPARE(next_lupe_size(w, true), 404);
    QVERIFY(!lupe_bigger_enabled_after(w));
    QCOMPARE(next_lupe_size(179, false), 154);
    QVERIFY(!lupe_smaller_enabled_after(154));
    QCOMPARE(next_lupe_size(154, false), 154);
}

QTEST_GUILESS_MAIN(TstPictureGeometry)
#include "tst_picture_geometry.moc"
