// WebP (still and animated), AVIF, HEIF and JPEG XL files on the real main window, made by the
// formats' own tools: shown in the picture view at 100 % and fitted, as catalog thumbnails and
// in the ZIP preview, each upright with its own colours.
#include "archives/zip_preview_view.h"
#include "archives/zip_view.h"
#include "catalog/catalog_view.h"
#include "codecs/picture_loader.h"
#include "codecs/picture_orientation.h"
#include "files/file_list_view.h"
#include "files/list_area_view.h"
#include "support/test_support.h"
#include "support/tool_fixtures.h"
#include "support/zip_fixtures.h"
#include "viewers/pictures/picture_view.h"
#include "widgets/image_widget.h"

#include <QMovie>
#include <QScopeGuard>
#include <QScrollArea>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTableWidget>
#include <QThread>
#include <QToolButton>

using namespace vorn;
using namespace vorn::test;

namespace
{

// The kinds, each a file of `size` made by its tool from the four quadrants (red top-left).
QByteArray still(const QString &kind, QSize size)
{
    const QImage source = quadrants(size.width(), size.height());
    if (kind == u"webp")
        return runTool(QStringLiteral("cwebp"), {"-q", "90", "in0.png", "-o", "out.webp"}, {source},
                       "out.webp");
    if (kind == u"avif")
        return runTool(QStringLiteral("avifenc"), {"in0.png", "out.avif"}, {source}, "out.avif");
    if (kind == u"heic")
        return runTool(QStringLiteral("heif-enc"), {"-q", "90", "in0.png", "-o", "out.heic"}, {source},
                       "out.heic");
    return runTool(QStringLiteral("cjxl"), {"in0.png", "out.jxl", "-d", "1"}, {source}, "out.jxl");
}

// Three frames of `size`: red, green, blue.
QByteArray animatedWebp(QSize size)
{
    QList<QImage> frames;
    for (Qt::GlobalColor c : {Qt::red, Qt::green, Qt::blue}) {
        QImage frame(size, QImage::Format_RGB32);
        frame.fill(c);
        frames.append(frame);
    }
    return runTool(QStringLiteral("img2webp"),
                   {"-loop", "0", "-lossless", "-d", "80", "in0.png", "in1.png", "in2.png", "-o", "out.webp"},
                   frames, "out.webp");
}

bool near(QRgb a, QColor b)
{
    return std::abs(qRed(a) - b.red()) <= 48 && std::abs(qGreen(a) - b.green()) <= 48 &&
           std::abs(qBlue(a) - b.blue()) <= 48;
}

// The colours of `expected` at its quadrants' centres (default: the quadrants upright).
void verifyQuadrants(const QImage &image, const QImage &expected = quadrants(4, 4))
{
    QVERIFY(!image.isNull());
    for (const QPointF at :
         {QPointF(0.25, 0.25), QPointF(0.75, 0.25), QPointF(0.25, 0.75), QPointF(0.75, 0.75)}) {
        const QRgb got = image.pixel(int(at.x() * image.width()), int(at.y() * image.height()));
        const QColor want =
            expected.pixelColor(int(at.x() * expected.width()), int(at.y() * expected.height()));
        QVERIFY2(near(got, want), qPrintable(QStringLiteral("at %1,%2: %3, expected %4")
                                                 .arg(at.x())
                                                 .arg(at.y())
                                                 .arg(QColor(got).name(), want.name())));
    }
}

} // namespace

class TstWebPhotoWindow : public QObject
{
    Q_OBJECT

  private slots:
    void shownInThePictureView_data();
    void shownInThePictureView();
    void jxlCoarseFirstLookSharpened();
    void animatedWebpPlays();
    void catalogThumbnails();
    void zipPreview_data();
    void zipPreview();

  private:
    MainWindow &startWith(WindowFixture &f, const QMap<QString, QByteArray> &files);
    void showRow(WindowFixture &f, int row)
    {
        f.window->listArea()->folderList()->selectRow(row);
        f.window->listArea()->lvclick();
        QTRY_VERIFY(!f.window->pictureView()->isLoading());
    }
};

MainWindow &TstWebPhotoWindow::startWith(WindowFixture &f, const QMap<QString, QByteArray> &files)
{
    writeFile(f.path("vorn.cfg"), "0\r\n0\r\n0\r\nnormal\r\n");
    for (auto it = files.begin(); it != files.end(); ++it)
        writeFile(f.path("pics/" + it.key()), it.value());
    MainWindow &w = f.start();
    w.listArea()->openFolder(f.path("pics"));
    [&] { QTRY_COMPARE(w.listArea()->folderList()->count(), int(files.size())); }();
    return w;
}

void TstWebPhotoWindow::shownInThePictureView_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("reduced"); // decoded at the fitted size
    QTest::addColumn<int>("orientation");
    QTest::newRow("webp") << "webp" << true << 1;
    QTest::newRow("webp exif 6") << "webp" << true << 6;
    QTest::newRow("avif") << "avif" << false << 1;
    QTest::newRow("heic") << "heic" << true << 1;
    QTest::newRow("jxl") << "jxl" << true << 1;
}

void TstWebPhotoWindow::shownInThePictureView()
{
    QFETCH(QString, kind);
    QFETCH(bool, reduced);
    QFETCH(int, orientation);
    QByteArray file = still(kind, QSize(960, 720));
    if (orientation != 1)
        file = runToolOn(QStringLiteral("webpmux"), {"-set", "exif", "o.exif", "in.webp", "-o", "out.webp"},
                         {{"in.webp", file}, {"o.exif", exifBlock(orientation)}}, "out.webp");
    const QImage expected = apply_exif_orientation(quadrants(960, 720), orientation);
    const QSize fitted = expected.size().scaled(800, 600, Qt::KeepAspectRatio);
    WindowFixture f;
    startWith(f, {{"photo." + kind, file}});
    f.window->resize(1400, 1000);
    auto *area = f.find<QScrollArea>("sb_1");
    area->setFixedSize(800, 600);
    QTRY_COMPARE(area->size(), QSize(800, 600));
    showRow(f, 0);
    PictureView *view = f.window->pictureView();
    QVERIFY(f.prompter.messages().isEmpty());
    QCOMPARE(view->naturalSize(), expected.size());
    auto *img = f.find<ImageWidget>("img_x");
    QVERIFY(img->isVisible());
    QCOMPARE(img->size(), expected.size());
    verifyQuadrants(img->currentImage(), expected);

    // Fitted: the whole picture in the view, decoded at that size where the format can.
    QTest::mouseClick(f.find<QToolButton>("bt_bestfit"), Qt::LeftButton);
    QTRY_VERIFY(!view->isLoading());
    QCOMPARE(img->size(), fitted);
    QCOMPARE(view->decodedSize(), reduced ? fitted : expected.size());
    verifyQuadrants(img->grab().toImage(), expected);
}

namespace
{

// Holds the decodes ahead of pictures named b.* while set.
std::atomic<bool> g_holdB{false};
void holdB(const QString &path)
{
    while (g_holdB.load() && QFileInfo(path).baseName() == u"b")
        QThread::yieldCurrentThread();
}

// Dark and light stripes 8 pixels wide, each 8 x 8 block half of each: the 1/8 image is an even
// grey, a quarter of the size shows stripes 2 pixels wide.
QImage stripes(QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            image.setPixel(x, y, ((x + 4) / 8) % 2 ? qRgb(240, 240, 240) : qRgb(20, 20, 20));
    return image;
}

} // namespace

// A JPEG XL shown at a quarter of its size comes first from its 1/8 image; once the next picture
// is decoded ahead (and not before), the sharp decode replaces it.
void TstWebPhotoWindow::jxlCoarseFirstLookSharpened()
{
    const QByteArray file = runTool(QStringLiteral("cjxl"), {"in0.png", "out.jxl", "-d", "1"},
                                    {stripes({3200, 2400})}, "out.jxl");
    WindowFixture f;
    startWith(f, {{"a.jxl", file}, {"b.jxl", file}});
    f.window->resize(1400, 1000);
    auto *area = f.find<QScrollArea>("sb_1");
    area->setFixedSize(800, 600);
    QTRY_COMPARE(area->size(), QSize(800, 600));
    QTest::mouseClick(f.find<QToolButton>("bt_bestfit"), Qt::LeftButton);
    PicturePrefetcher::setDecodeHook(holdB);
    g_holdB = true;
    auto release = qScopeGuard([] {
        g_holdB = false;
        PicturePrefetcher::setDecodeHook(nullptr);
    });
    showRow(f, 0);
    PictureView *view = f.window->pictureView();
    auto *img = f.find<ImageWidget>("img_x");
    QCOMPARE(view->decodedSize(), QSize(800, 600));
    QVERIFY(view->showsCoarsePicture());
    const QImage coarse = img->currentImage();
    QTest::qWait(400); // well past the view's wait before it decodes a fitted picture again
    QVERIFY(view->showsCoarsePicture());
    QCOMPARE(img->currentImage(), coarse);

    g_holdB = false;
    QTRY_VERIFY(!view->showsCoarsePicture());
    const QImage sharp = img->currentImage();
    QCOMPARE(sharp, load_picture(f.path("pics/a.jxl"), QSize(800, 600)).image);
    // The stripes show only in the sharp picture.
    const auto spread = [](const QImage &image) {
        int low = 255, high = 0;
        for (int x = 300; x < 340; ++x) {
            low = std::min(low, qGreen(image.pixel(x, 300)));
            high = std::max(high, qGreen(image.pixel(x, 300)));
        }
        return high - low;
    };
    QVERIFY2(spread(sharp) > 3 * spread(coarse) + 20,
             qPrintable(QStringLiteral("%1 / %2").arg(spread(sharp)).arg(spread(coarse))));
}

void TstWebPhotoWindow::animatedWebpPlays()
{
    WindowFixture f;
    startWith(f, {{"anim.webp", animatedWebp(QSize(40, 30))}});
    showRow(f, 0);
    QVERIFY(f.prompter.messages().isEmpty());
    auto *img = f.find<ImageWidget>("img_g");
    QVERIFY(img->isVisible());
    QVERIFY(img->movie());
    QCOMPARE(img->movie()->frameCount(), 3);
    QCOMPARE(img->size(), QSize(40, 30));
    // It plays: every colour comes by.
    QSet<QRgb> seen;
    QTRY_VERIFY((seen.insert(img->currentImage().pixel(20, 15) | 0xff000000), seen.size() == 3));
}

void TstWebPhotoWindow::catalogThumbnails()
{
    WindowFixture f;
    MainWindow &w = startWith(
        f,
        {{"a.webp", still("webp", QSize(320, 240))},
         {"b.avif", still("avif", QSize(320, 240))},
         {"c.heic", still("heic", QSize(320, 240))},
         {"d.jxl", still("jxl", QSize(320, 240))},
         {"e.webp", animatedWebp(QSize(80, 60))},
         {"f.webp",
          runToolOn(QStringLiteral("webpmux"), {"-set", "exif", "o.exif", "in.webp", "-o", "out.webp"},
                    {{"in.webp", still("webp", QSize(320, 240))}, {"o.exif", exifBlock(6)}}, "out.webp")}});
    w.resize(1100, 800);
    w.listArea()->tabs()->setCurrentIndex(2);
    QCoreApplication::processEvents();
    QSignalSpy done(w.catalogView(), &CatalogView::catalogCreated);
    f.find<QToolButton>("bt_catcreate")->click();
    QVERIFY(done.wait(60000));
    QVERIFY(f.prompter.messages().isEmpty());
    const QString temp = f.path("temp/");
    QCOMPARE(int(readFile(temp + "1.htm").count("<IMG ")), 6);
    for (const char *name : {"a", "b", "c", "d"}) {
        const QImage thumb(temp + QLatin1String(name) + ".jpg");
        QVERIFY2(!thumb.isNull(), name);
        QVERIFY(std::abs(thumb.width() * 3 - thumb.height() * 4) <= 4); // in proportion
        verifyQuadrants(thumb);
    }
    // Upright by its EXIF chunk: turned a quarter clockwise, blue comes to the top left.
    const QImage turned(temp + "f.jpg");
    QVERIFY(turned.height() > turned.width());
    verifyQuadrants(turned, apply_exif_orientation(quadrants(4, 4), 6));
    // An animation's thumbnail is its middle frame.
    const QImage middle(temp + "e.jpg");
    QVERIFY(near(middle.pixel(middle.width() / 2, middle.height() / 2), Qt::green));
}

void TstWebPhotoWindow::zipPreview_data()
{
    QTest::addColumn<QString>("kind");
    for (const char *kind : {"webp", "avif", "heic", "jxl"})
        QTest::newRow(kind) << kind;
}

void TstWebPhotoWindow::zipPreview()
{
    QFETCH(QString, kind);
    WindowFixture f;
    writeFile(f.path("vorn.cfg"), "0\r\n0\r\n0\r\nnormal\r\n");
    MainWindow &w = f.start();
    QTest::mouseClick(f.find<QToolButton>("bt_showzip"), Qt::LeftButton);
    QTest::mouseClick(f.find<QToolButton>("bt_zipextract"), Qt::LeftButton);
    ZipView &v = *w.zipView();
    const QByteArray name = "bilder/foto." + kind.toLatin1();
    writeFile(f.path("a.zip"), rawZip({{name, still(kind, QSize(64, 48)), false, 0100644, false}}));
    f.prompter.pushText(f.path("a.zip"));
    QTest::mouseClick(f.find<QToolButton>("bt_zipopen"), Qt::LeftButton);
    QTableWidget *grid = v.currentGrid();
    QVERIFY(grid);
    grid->selectionModel()->select(grid->model()->index(0, 0),
                                   QItemSelectionModel::Select | QItemSelectionModel::Rows);
    v.zipgridclick();
    QTRY_VERIFY(!v.isBusy());
    v.zipgriddblclick();
    auto *image = f.find<ImageWidget>("zipimage");
    QVERIFY(image);
    QTRY_VERIFY(image->isVisible());
    QVERIFY(f.prompter.messages().isEmpty());
    QCOMPARE(image->size(), QSize(64, 48));
    verifyQuadrants(image->currentImage());
}

QTEST_MAIN(TstWebPhotoWindow)
#include "tst_web_photo_window.moc"
