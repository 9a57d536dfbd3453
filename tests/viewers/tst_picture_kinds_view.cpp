// Today's picture kinds (PNG, TIFF, SVG) on the real main window: shown upright with their size
// and pixels, transparent over the view's background, decoded at the fitted size where the kind
// allows, a TIFF of several pages played as frames, as catalog thumbnails and in the ZIP preview.
#include "archives/zip_view.h"
#include "catalog/catalog_view.h"
#include "codecs/picture_loader.h"
#include "files/file_list_view.h"
#include "files/list_area_view.h"
#include "support/colour_fixtures.h"
#include "support/picture_fixtures.h"
#include "support/test_support.h"
#include "support/tool_fixtures.h"
#include "support/zip_fixtures.h"
#include "viewers/pictures/picture_view.h"
#include "widgets/image_widget.h"
#include "widgets/panel_status_bar.h"

#include <QBuffer>
#include <QDir>
#include <QMovie>
#include <QScrollArea>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTableWidget>
#include <QToolButton>

using namespace vorn;
using namespace vorn::test;

namespace
{

// Stored turned a quarter to the left with orientation 6 (turn right to show): upright as above.
QByteArray turnedTiff()
{
    return convertPicture(apply_exif_orientation(quadrants(QSize(60, 40)), 8), {"-orient", "RightTop"},
                          "tiff:out.tif");
}

QByteArray quadrantSvg()
{
    return "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"60\" height=\"40\">"
           "<rect width=\"30\" height=\"20\" fill=\"#ff0000\"/><rect x=\"30\" width=\"30\" height=\"20\" "
           "fill=\"#00ff00\"/>"
           "<rect y=\"20\" width=\"30\" height=\"20\" fill=\"#0000ff\"/>"
           "<rect x=\"30\" y=\"20\" width=\"30\" height=\"20\" fill=\"#ffff00\"/></svg>";
}

} // namespace

class TstPictureKindsView : public QObject
{
    Q_OBJECT
  private slots:
    void shownUpright_data();
    void shownUpright();
    void transparentOverBackground();
    void bestFitDecodesAtShownSize();
    void tiffPagesPlay();
    void animationsPlay_data();
    void animationsPlay();
    void catalogThumbnails();
    void zipPreview();

  private:
    MainWindow &startWith(WindowFixture &f, const QList<std::pair<QString, QByteArray>> &files);
    void showRow(WindowFixture &f, int row)
    {
        f.window->listArea()->folderList()->selectRow(row);
        f.window->listArea()->lvclick();
        QTRY_VERIFY(!f.window->pictureView()->isLoading());
    }
    QToolButton *button(WindowFixture &f, const char *name)
    {
        return f.find<QToolButton>(QString::fromLatin1(name));
    }
};

MainWindow &TstPictureKindsView::startWith(WindowFixture &f,
                                           const QList<std::pair<QString, QByteArray>> &files)
{
    writeFile(f.path("vorn.cfg"), "0\r\n0\r\n0\r\nnormal\r\n");
    for (const auto &[name, bytes] : files)
        writeFile(f.path("pics/" + name), bytes);
    MainWindow &w = f.start();
    w.resize(1100, 800);
    w.listArea()->openFolder(f.path("pics"));
    [&] { QTRY_COMPARE(w.listArea()->folderList()->count(), int(files.size())); }();
    return w;
}

void TstPictureKindsView::shownUpright_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("png") << "q.png" << encode(quadrants(QSize(60, 40)), "png");
    QTest::newRow("tiff, orientation 6") << "q.TIF" << turnedTiff();
    QTest::newRow("svg") << "q.svg" << quadrantSvg();
}

void TstPictureKindsView::shownUpright()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QVERIFY(!bytes.isEmpty());
    WindowFixture f;
    startWith(f, {{name, bytes}});
    showRow(f, 0);
    QVERIFY(f.prompter.messages().isEmpty());
    PictureView *view = f.window->pictureView();
    QCOMPARE(view->naturalSize(), QSize(60, 40));
    QCOMPARE(f.find<PanelStatusBar>("stat_view")->panelText(1), QString("60 x 40"));
    auto *img = f.find<ImageWidget>("img_x");
    QVERIFY(img->isVisible());
    QVERIFY(img->isTransparent());
    QCOMPARE(img->size(), QSize(60, 40));
    const QImage shown = img->currentImage();
    QCOMPARE(shown.size(), QSize(60, 40));
    QCOMPARE(shown.pixelColor(10, 5), QColor(Qt::red));
    QCOMPARE(shown.pixelColor(50, 5), QColor(Qt::green));
    QCOMPARE(shown.pixelColor(10, 35), QColor(Qt::blue));
    QCOMPARE(shown.pixelColor(50, 35), QColor(Qt::yellow));
}

void TstPictureKindsView::transparentOverBackground()
{
    // Left half clear, right half red: the view's background shows through the left half.
    QImage half(60, 40, QImage::Format_ARGB32);
    half.fill(Qt::transparent);
    for (int y = 0; y < 40; ++y)
        for (int x = 30; x < 60; ++x)
            half.setPixelColor(x, y, Qt::red);
    WindowFixture f;
    startWith(f, {{"h.png", encode(half, "png")}});
    button(f, "bt_showview")->click(); // the picture view in front before its background is taken
    auto *area = f.find<QScrollArea>("sb_1")->viewport();
    const QImage before = area->grab().toImage();
    showRow(f, 0);
    button(f, "bt_shape")->click(); // no frame over the corner
    auto *img = f.find<ImageWidget>("img_x");
    const QImage after = area->grab().toImage();
    const QPoint clear = img->geometry().topLeft() + QPoint(10, 20);
    QCOMPARE(after.pixel(clear), before.pixel(clear));
    QCOMPARE(QColor(after.pixel(img->geometry().topLeft() + QPoint(45, 20))), QColor(Qt::red));
}

void TstPictureKindsView::bestFitDecodesAtShownSize()
{
    // An SVG and a TIFF with a reduced page: under best fit the drawing is rendered at the fitted
    // size, the TIFF decoded from its reduced page.
    QImage big(1600, 1200, QImage::Format_RGB32);
    big.fill(Qt::red);
    QImage small(800, 600, QImage::Format_RGB32);
    small.fill(Qt::green); // told apart from the full page: shown green, it was decoded from this
    // Two pages by ImageMagick; tiffset marks the second as the reduced version of the first.
    const QByteArray pyramid =
        toolOutput("sh", {"-c", "convert big.png small.png out.tif && tiffset -d 1 -s 254 1 out.tif"},
                   {{"big.png", encode(big, "png")}, {"small.png", encode(small, "png")}}, "out.tif");
    WindowFixture f;
    startWith(f, {{"a.svg", quadrantSvg()}, {"b.tif", pyramid}});
    f.window->resize(1400, 1000);
    auto *sb = f.find<QScrollArea>("sb_1");
    sb->setFixedSize(800, 600);
    QTRY_COMPARE(sb->size(), QSize(800, 600));
    button(f, "bt_bestfit")->click();
    for (int row : {0, 1}) {
        showRow(f, row);
        auto *img = f.find<ImageWidget>("img_x");
        PictureView *view = f.window->pictureView();
        QTRY_COMPARE(view->decodedSize(), img->size());
        QCOMPARE(img->size().width(), 800);
        QCOMPARE(img->currentImage().pixelColor(5, 5), row == 0 ? QColor(Qt::red) : QColor(Qt::green));
    }
    QCOMPARE(f.window->pictureView()->naturalSize(), QSize(1600, 1200));
}

void TstPictureKindsView::tiffPagesPlay()
{
    QImage red(8, 6, QImage::Format_RGB32), blue(8, 6, QImage::Format_RGB32);
    red.fill(Qt::red);
    blue.fill(Qt::blue);
    const QByteArray pages =
        toolOutput("convert", {"a.png", "b.png", "out.tif"},
                   {{"a.png", encode(red, "png")}, {"b.png", encode(blue, "png")}}, "out.tif");
    WindowFixture f;
    startWith(f, {{"pages.tiff", pages}, {"one.tif", convertPicture(red, {}, "tiff:out.tif")}});
    showRow(f, 1); // listed by name: one.tif, pages.tiff
    auto *anim = f.find<ImageWidget>("img_g");
    QVERIFY(anim->isVisible());
    QVERIFY(anim->movie());
    QCOMPARE(anim->movie()->frameCount(), 2);
    // A single page shows still.
    showRow(f, 0);
    QVERIFY(f.find<ImageWidget>("img_x")->isVisible());
    QVERIFY(!f.find<ImageWidget>("img_g")->isVisible());
}

void TstPictureKindsView::animationsPlay_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<int>("loops");
    QImage red(8, 6, QImage::Format_RGB32), blue(8, 6, QImage::Format_RGB32),
        green(8, 6, QImage::Format_RGB32);
    red.fill(Qt::red);
    blue.fill(Qt::blue);
    green.fill(Qt::green);
    QTest::newRow("apng") << "anim.png" << animatedPng({red, blue, green}, 2) << 1;
    QTest::newRow("jxl") << "anim.jxl" << animatedJxl({red, blue, green}, 0) << -1;
}

void TstPictureKindsView::animationsPlay()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, file);
    QFETCH(int, loops);
    QVERIFY(!file.isEmpty());
    QImage red(8, 6, QImage::Format_RGB32);
    red.fill(Qt::red);
    WindowFixture f;
    startWith(f, {{name, file}, {QStringLiteral("still.png"), encode(red, "png")}});
    showRow(f, 0); // anim.*, then still.png
    auto *anim = f.find<ImageWidget>("img_g");
    QVERIFY(anim->isVisible());
    QMovie *movie = anim->movie();
    QVERIFY(movie);
    QCOMPARE(movie->frameCount(), 3);
    QCOMPARE(movie->loopCount(), loops);
    const QList<QColor> colours{Qt::red, Qt::blue, Qt::green};
    for (int frame : {2, 1, 0}) {
        QVERIFY(movie->jumpToFrame(frame));
        QCOMPARE(movie->currentImage().size(), QSize(8, 6));
        QCOMPARE(movie->currentImage().pixelColor(4, 3), colours[frame]);
        QCOMPARE(movie->nextFrameDelay(), 500);
    }
    QCOMPARE(f.window->pictureView()->naturalSize(), QSize(8, 6));
    // A PNG of one picture shows still.
    showRow(f, 1);
    QVERIFY(f.find<ImageWidget>("img_x")->isVisible());
    QVERIFY(!f.find<ImageWidget>("img_g")->isVisible());
    QVERIFY(f.prompter.messages().isEmpty());
}

void TstPictureKindsView::catalogThumbnails()
{
    WindowFixture f;
    MainWindow &w = startWith(f, {{"a.png", encode(quadrants(QSize(60, 40)), "png")},
                                  {"b.tif", turnedTiff()},
                                  {"c.svg", quadrantSvg()}});
    w.listArea()->tabs()->setCurrentIndex(2);
    QCoreApplication::processEvents();
    QSignalSpy done(w.catalogView(), &CatalogView::catalogCreated);
    button(f, "bt_catcreate")->click();
    QVERIFY(done.wait(20000));
    // Each picture became an upright thumbnail of its shape (3:2), its quadrants in place.
    for (const char *name : {"a.jpg", "b.jpg", "c.jpg"}) {
        const QImage thumb(f.path(QStringLiteral("temp/") + QLatin1String(name)));
        QVERIFY2(!thumb.isNull(), name);
        QCOMPARE(thumb.width() * 2, thumb.height() * 3);
        QVERIFY2(coloursNear(thumb.pixelColor(thumb.width() / 4, thumb.height() / 4), Qt::red, 40), name);
        QVERIFY2(coloursNear(thumb.pixelColor(thumb.width() * 3 / 4, thumb.height() * 3 / 4), Qt::yellow, 40),
                 name);
    }
}

void TstPictureKindsView::zipPreview()
{
    WindowFixture f;
    writeFile(f.path("vorn.cfg"), "0\r\n0\r\n0\r\nnormal\r\n");
    MainWindow &w = f.start();
    button(f, "bt_showzip")->click();
    button(f, "bt_zipextract")->click();
    writeFile(f.path("a.zip"), rawZip({{"p.png", encode(quadrants(QSize(60, 40)), "png")},
                                       {"s.svg", quadrantSvg()},
                                       {"t.tif", turnedTiff()}}));
    f.prompter.pushText(f.path("a.zip"));
    button(f, "bt_zipopen")->click();
    ZipView &v = *w.zipView();
    QTRY_VERIFY(!v.isBusy());
    for (int row = 0; row < 3; ++row) {
        QTableWidget *grid = v.currentGrid();
        grid->clearSelection();
        grid->selectionModel()->select(grid->model()->index(row, 0),
                                       QItemSelectionModel::Select | QItemSelectionModel::Rows);
        v.zipgridclick();
        QTRY_VERIFY(!v.isBusy());
        v.zipgriddblclick();
        auto *image = f.find<ImageWidget>("zipimage");
        QVERIFY(image);
        QTRY_VERIFY(image->isVisible());
        QTRY_COMPARE(image->size(), QSize(60, 40));
        const QImage shown = image->currentImage();
        QCOMPARE(shown.pixelColor(10, 5), QColor(Qt::red));
        QCOMPARE(shown.pixelColor(50, 35), QColor(Qt::yellow));
    }
    QVERIFY(f.prompter.messages().isEmpty());
}

QTEST_MAIN(TstPictureKindsView)
#include "tst_picture_kinds_view.moc"
