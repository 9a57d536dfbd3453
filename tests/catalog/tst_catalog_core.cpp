// Catalog pages and thumbnails without a window: the size rules and buttons, the page text line
// for line, escaped names whose links resolve, unique thumbnail names, the thumbnail maker
// (rounding, EXIF, GIF middle frame, baseline JPEG of quality 50) and the worker pool.
#include "catalog/catalog_job.h"
#include "catalog/catalog_pages.h"
#include "catalog/catalog_settings.h"
#include "catalog/thumbnail.h"
#include "support/picture_fixtures.h"
#include "support/test_support.h"

#include <QRegularExpression>
#include <QtTest>

using namespace vorn;
using vorn::test::readFile;
using vorn::test::writeFile;

namespace
{

QImage filled(int w, int h, QColor c = Qt::darkGreen)
{
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(c);
    return img;
}

void writePicture(const QString &path, int w, int h)
{
    writeFile(path, vorn::test::encode(filled(w, h), path.endsWith(QLatin1String(".bmp")) ? "bmp" : "jpg"));
}

QList<CatalogCell> cells(int n)
{
    QList<CatalogCell> out;
    for (int i = 0; i < n; ++i)
        out << CatalogCell{QStringLiteral("/pics/p%1.jpg").arg(i), QStringLiteral("p%1.jpg").arg(i),
                           QSize(100, 75)};
    return out;
}

// The attribute values of every IMG SRC and A HREF in a page.
QStringList references(const QByteArray &page)
{
    QStringList out;
    static const QRegularExpression re(QStringLiteral("(?:SRC|HREF)=\"([^\"]*)\""));
    for (const QRegularExpressionMatch &m : re.globalMatch(QString::fromUtf8(page)))
        out << m.captured(1);
    return out;
}

// Resolves a reference as a browser does, relative to the page's own URL.
QString resolve(const QString &pagePath, const QString &ref)
{
    return QUrl::fromLocalFile(pagePath).resolved(QUrl::fromEncoded(ref.toLatin1())).toLocalFile();
}

} // namespace

class TestCatalogCore : public QObject
{
    Q_OBJECT
  private slots:
    void thumbnailSize_data();
    void thumbnailSize();
    void geometry();
    void buttons();
    void pageTextLineForLine();
    void pagesAndRows_data();
    void pagesAndRows();
    void retitle();
    void uniqueThumbnailNames();
    void thumbnailUprightAndBaseline();
    void gifGivesItsMiddleFrame();
    void escapedNamesResolve();
    void poolWritesTheSamePagesAsOneWorker();
    void brokenPictureLeavesAnEmptyCell();
    void cancelAfterTheTenth();
};

void TestCatalogCore::thumbnailSize_data()
{
    QTest::addColumn<QSize>("natural");
    QTest::addColumn<int>("s");
    QTest::addColumn<QSize>("expected");
    QTest::newRow("640x480") << QSize(640, 480) << 100 << QSize(100, 75);
    QTest::newRow("80x60 stays") << QSize(80, 60) << 100 << QSize(80, 60);
    QTest::newRow("480x640") << QSize(480, 640) << 100 << QSize(75, 100);
    QTest::newRow("square") << QSize(300, 300) << 100 << QSize(100, 100);
    QTest::newRow("S 0 is 100") << QSize(640, 480) << 0 << QSize(100, 75);
    QTest::newRow("half to even, down") << QSize(200, 5) << 100 << QSize(100, 2);
    QTest::newRow("half to even, up") << QSize(200, 7) << 100 << QSize(100, 4);
    QTest::newRow("above half") << QSize(300, 200) << 100 << QSize(100, 67);
    QTest::newRow("a line stays one pixel") << QSize(5000, 1) << 100 << QSize(100, 1);
    QTest::newRow("exactly S") << QSize(100, 40) << 100 << QSize(100, 40);
}

void TestCatalogCore::thumbnailSize()
{
    QFETCH(QSize, natural);
    QFETCH(int, s);
    QFETCH(QSize, expected);
    QCOMPARE(thumbnail_size(natural, s), expected);
}

void TestCatalogCore::geometry()
{
    QCOMPARE(rows_per_page(463, 100), 4);
    QCOMPARE(rows_per_page(50, 100), 1); // lower than one row: still one row
    QCOMPARE(thumb_size_for_width(860, 7), (860 - 20 - 70) / 7);
    QCOMPARE(thumb_size_for_width(100, 20), kMinThumbSize);
    ThumbSettings t;
    t.panelResized(860);
    QCOMPARE(t.size(), 110);
    t.set(100, 0);
    t.catalogOpened(900);
    QCOMPARE(t.cols(), 8);
}

void TestCatalogCore::buttons()
{
    ThumbSettings t;
    t.set(60, 20);
    t.colsUp(1000);
    QCOMPARE(t.cols(), 20);
    QVERIFY(!t.colsUpEnabled());
    t.set(100, 3);
    t.colsDown(1000);
    QCOMPARE(t.cols(), 3);
    QVERIFY(!t.colsDownEnabled());
    QVERIFY(t.colsUpEnabled());
    t.colsUp(1000);
    QCOMPARE(t.cols(), 4);
    QCOMPARE(t.size(), (1000 - 40 - 20) / 4);

    t.set(55, 7);
    t.sizeDown();
    QCOMPARE(t.size(), 50);
    QVERIFY(!t.sizeDownEnabled());
    t.sizeDown();
    QCOMPARE(t.size(), 50);

    // Size up: e = 110, W = 780: grows to 105; 110 x 7 = 770 fits, C stays.
    t.set(100, 7);
    t.sizeUp(800);
    QCOMPARE(t.size(), 105);
    QCOMPARE(t.cols(), 7);
    // e = 115: 115 x 7 > 780, so C = 780 div 115 = 6.
    t.sizeUp(800);
    QCOMPARE(t.size(), 110);
    QCOMPARE(t.cols(), 6);
    // A narrow panel: two columns would fit, so three, one step smaller.
    t.set(100, 3);
    t.sizeUp(300);
    QCOMPARE(t.cols(), 3);
    QCOMPARE(t.size(), 95);
    QVERIFY(!t.sizeUpEnabled());
}

void TestCatalogCore::pageTextLineForLine()
{
    const QList<QByteArray> pages = catalog_pages(
        {CatalogCell{QStringLiteral("/pics/tree.bmp"), QStringLiteral("tree.jpg"), QSize(100, 75)}},
        QStringLiteral("[not saved]"), QStringLiteral("/prog/bkg_1.jpg"), 100, 7, 28);
    QCOMPARE(pages.size(), 1);
    QCOMPARE(pages[0], QByteArray("<HTML><HEAD><TITLE>\r\n"
                                  "[not saved]\r\n"
                                  "</TITLE></HEAD>\r\n"
                                  "<BODY BACKGROUND=\"/prog/bkg_1.jpg\">\r\n"
                                  "<table BACKGROUND=\"/prog/bkg_1.jpg\">\r\n"
                                  "<TR>\r\n"
                                  "<TH WIDTH=100 HEIGHT=100>\r\n"
                                  "<A HREF=\"/pics/tree.bmp\">\r\n"
                                  "<IMG SRC=\"tree.jpg\" ALT=\"tree.bmp\" HEIGHT=75 WIDTH=100></A>\r\n"
                                  "</TH>\r\n"
                                  "</TABLE></BODY></HTML>\r\n"));
}

void TestCatalogCore::pagesAndRows_data()
{
    QTest::addColumn<int>("pictures");
    QTest::addColumn<QList<int>>("rowsOpened"); // "<TR>" per page
    QTest::addColumn<QList<int>>("rowsClosed"); // "</TR>" per page
    QTest::newRow("25 at C 7, P 28") << 25 << QList<int>{4} << QList<int>{3};
    QTest::newRow("28 at P 28") << 28 << QList<int>{4} << QList<int>{4};
    QTest::newRow("29 at P 28") << 29 << QList<int>{4, 1} << QList<int>{4, 0};
}

void TestCatalogCore::pagesAndRows()
{
    QFETCH(int, pictures);
    QFETCH(QList<int>, rowsOpened);
    QFETCH(QList<int>, rowsClosed);
    const QList<QByteArray> pages = catalog_pages(
        cells(pictures), QStringLiteral("t"), QStringLiteral("/b.jpg"), 100, 7, 7 * rows_per_page(463, 100));
    QCOMPARE(pages.size(), rowsOpened.size());
    int total = 0;
    for (int k = 0; k < pages.size(); ++k) {
        QCOMPARE(int(pages[k].count("<TR>\r\n")), rowsOpened[k]);
        QCOMPARE(int(pages[k].count("</TR>\r\n")), rowsClosed[k]);
        QVERIFY(pages[k].endsWith("</TABLE></BODY></HTML>\r\n"));
        total += int(pages[k].count("<IMG "));
    }
    QCOMPARE(total, pictures);
    if (pictures == 25)
        QVERIFY(pages[0].endsWith("</TH>\r\n</TABLE></BODY></HTML>\r\n"));
}

void TestCatalogCore::retitle()
{
    const QByteArray page =
        catalog_pages(cells(1), QStringLiteral("[nicht gespeichert]"), QStringLiteral("/b"), 100, 7, 28)
            .first();
    const QByteArray again = retitled_page(page, QStringLiteral(" Urlaub <2024> "));
    QCOMPARE(again.split('\n')[1], QByteArray(" Urlaub &lt;2024&gt; \r"));
    QCOMPARE(again.size() - page.size(), QByteArray(" Urlaub &lt;2024&gt; ").size() - 19);
}

void TestCatalogCore::uniqueThumbnailNames()
{
    const QStringList names = unique_thumbnail_names(
        {QStringLiteral("/a/tree.bmp"), QStringLiteral("/a/tree.jpg"), QStringLiteral("/b/Tree.jpg"),
         QStringLiteral("/a/bkg_1.bmp"), QStringLiteral("/a/x.y.gif"),
         QStringLiteral("/a/") + QString(200, QChar(0xFC)) + QStringLiteral(".jpg")});
    QCOMPARE(names.mid(0, 5), (QStringList{QStringLiteral("tree.jpg"), QStringLiteral("tree (2).jpg"),
                                           QStringLiteral("Tree (3).jpg"), QStringLiteral("bkg_1 (2).jpg"),
                                           QStringLiteral("x.y.jpg")}));
    QVERIFY(QFile::encodeName(names[5]).size() < 128);
}

void TestCatalogCore::thumbnailUprightAndBaseline()
{
    QTemporaryDir dir;
    // Stored 640 x 480, turned by EXIF orientation 6: upright it is 480 x 640.
    writeFile(dir.filePath(QStringLiteral("p.jpg")),
              vorn::test::withOrientation(vorn::test::encode(filled(640, 480), "jpg"), 6));
    const ThumbnailResult r =
        make_thumbnail(dir.filePath(QStringLiteral("p.jpg")), dir.filePath(QStringLiteral("t.jpg")), 100);
    QVERIFY(r.ok);
    QCOMPARE(r.size, QSize(75, 100));
    const QByteArray jpeg = readFile(dir.filePath(QStringLiteral("t.jpg")));
    QCOMPARE(QImage::fromData(jpeg).size(), QSize(75, 100));
    QVERIFY(jpeg.contains("\xFF\xC0"));  // baseline frame
    QVERIFY(!jpeg.contains("\xFF\xC2")); // not progressive
    // Quality 50 uses the standard luminance table unscaled: its first entry is 16.
    const int dqt = jpeg.indexOf("\xFF\xDB");
    QVERIFY(dqt > 0);
    QCOMPARE(int(uchar(jpeg[dqt + 5])), 16);
}

void TestCatalogCore::gifGivesItsMiddleFrame()
{
    QTemporaryDir dir;
    writeFile(dir.filePath(QStringLiteral("a.gif")), vorn::test::gif(3)); // red, blue, red
    const ThumbnailResult r =
        make_thumbnail(dir.filePath(QStringLiteral("a.gif")), dir.filePath(QStringLiteral("a.jpg")), 100);
    QVERIFY(r.ok);
    const QColor c = QImage::fromData(readFile(dir.filePath(QStringLiteral("a.jpg")))).pixelColor(0, 0);
    QVERIFY2(c.blue() > 150 && c.red() < 100, qPrintable(c.name()));
}

void TestCatalogCore::escapedNamesResolve()
{
    QTemporaryDir dir;
    const QString pics = dir.filePath(QStringLiteral("pics #1"));
    const QStringList names{QStringLiteral("50% \"best\" <1>&2 #3.jpg"), QStringLiteral("tree.bmp"),
                            QStringLiteral("tree.jpg"), QStringLiteral("Größe ?x=1.jpg")};
    QStringList pictures;
    for (const QString &n : names) {
        writePicture(pics + QLatin1Char('/') + n, 64, 48);
        pictures << pics + QLatin1Char('/') + n;
    }
    const QString out = dir.filePath(QStringLiteral("temp"));
    QDir().mkpath(out);
    const CatalogRunResult r = run_catalog({pictures, out, QStringLiteral("[not saved]"),
                                            dir.filePath(QStringLiteral("bkg_1.jpg")), 100, 3, 3, 0});
    QCOMPARE(r.pages, 2);
    QVERIFY(r.failed.isEmpty());
    QStringList linked;
    for (int k = 1; k <= 2; ++k) {
        const QString page = out + QStringLiteral("/%1.htm").arg(k);
        const QByteArray text = readFile(page);
        QVERIFY(!text.contains("<1>"));
        for (const QString &ref : references(text)) {
            const QString target = resolve(page, ref);
            QVERIFY2(QFileInfo::exists(target), qPrintable(ref));
            if (!target.endsWith(QLatin1String("bkg_1.jpg")) && !target.startsWith(out))
                linked << target;
        }
    }
    QCOMPARE(linked, pictures); // each link opens that very picture
    QVERIFY(readFile(out + QStringLiteral("/1.htm"))
                .contains("ALT=\"50% &quot;best&quot; &lt;1&gt;&amp;2 #3.jpg\""));
}

void TestCatalogCore::poolWritesTheSamePagesAsOneWorker()
{
    QTemporaryDir dir;
    QStringList pictures;
    for (int i = 0; i < 23; ++i) {
        const QString p = dir.filePath(QStringLiteral("pics/p%1.%2").arg(i).arg(i % 3 ? "jpg" : "bmp"));
        writePicture(p, 40 + 37 * i, 30 + 11 * (i % 5));
        pictures << p;
    }
    QByteArray pagesOf[2];
    for (int run = 0; run < 2; ++run) {
        const QString out = dir.filePath(QStringLiteral("out%1").arg(run));
        QDir().mkpath(out);
        const CatalogRunResult r = run_catalog(
            {pictures, out, QStringLiteral("t"), QStringLiteral("/b.jpg"), 100, 4, 8, run == 0 ? 1 : 4});
        QCOMPARE(r.pages, 3);
        QCOMPARE(r.pictures, 23);
        for (int k = 1; k <= 3; ++k)
            pagesOf[run] += readFile(out + QStringLiteral("/%1.htm").arg(k));
        QCOMPARE(QDir(out).entryList({QStringLiteral("*.jpg")}).size(), 23);
    }
    QCOMPARE(pagesOf[1], pagesOf[0]);
}

void TestCatalogCore::brokenPictureLeavesAnEmptyCell()
{
    QTemporaryDir dir;
    writePicture(dir.filePath(QStringLiteral("a.jpg")), 50, 50);
    writeFile(dir.filePath(QStringLiteral("b.jpg")), "not a picture");
    writePicture(dir.filePath(QStringLiteral("c.jpg")), 50, 50);
    const QString out = dir.filePath(QStringLiteral("temp"));
    QDir().mkpath(out);
    const QStringList pictures{dir.filePath(QStringLiteral("a.jpg")), dir.filePath(QStringLiteral("b.jpg")),
                               dir.filePath(QStringLiteral("c.jpg"))};
    const CatalogRunResult r =
        run_catalog({pictures, out, QStringLiteral("t"), QStringLiteral("/b.jpg"), 100, 7, 28, 2});
    QCOMPARE(r.failed, QStringList{pictures[1]});
    const QByteArray page = readFile(out + QStringLiteral("/1.htm"));
    QCOMPARE(int(page.count("<TH WIDTH")), 3);
    QCOMPARE(int(page.count("<IMG ")), 2);
    QVERIFY(page.contains("<TH WIDTH=100 HEIGHT=100>\r\n</TH>\r\n"));
}

void TestCatalogCore::cancelAfterTheTenth()
{
    QTemporaryDir dir;
    QStringList pictures;
    for (int i = 0; i < 100; ++i) {
        pictures << dir.filePath(QStringLiteral("p%1.jpg").arg(i));
        writePicture(pictures.last(), 120, 90);
    }
    const QString out = dir.filePath(QStringLiteral("temp"));
    QDir().mkpath(out);
    CatalogJob job;
    QSignalSpy done(&job, &CatalogJob::finished);
    connect(&job, &CatalogJob::pictureAdded, &job, [&](int i) {
        if (i == 10)
            job.requestCancel();
    });
    QVERIFY(job.start({pictures, out, QStringLiteral("t"), QStringLiteral("/b.jpg"), 100, 7, 28, 2}));
    QVERIFY(done.wait(20000));
    const auto r = done.first().first().value<CatalogRunResult>();
    QVERIFY(r.cancelled);
    QCOMPARE(r.pictures, 10);
    QCOMPARE(r.pages, 1);
    QCOMPARE(int(readFile(out + QStringLiteral("/1.htm")).count("<IMG ")), 10);
    // No thumbnail is left over from the pictures made ahead.
    QCOMPARE(QDir(out).entryList({QStringLiteral("*.jpg")}).size(), 10);
}

QTEST_GUILESS_MAIN(TestCatalogCore)
#include "tst_catalog_core.moc"
