// The picture view and the magnifier on the real main window: best fit, factor and percentage
// zoom, status texts, the background tester, transparent kinds, GIF speed, EXIF orientation,
// damaged files, the clipboard copy, the background decode of the next entry, and the magnifier's
// steps and screen grabs.
#include "files/list_area_view.h"
#include "support/picture_fixtures.h"
#include "support/test_support.h"
#include "viewers/pictures/magnifier_view.h"
#include "viewers/pictures/picture_view.h"
#include "widgets/image_widget.h"
#include "widgets/magnifier_widget.h"
#include "widgets/panel_status_bar.h"

#include <QBuffer>
#include <QClipboard>
#include <QFrame>
#include <QLineEdit>
#include <QMovie>
#include <QPainter>
#include <QScopeGuard>
#include <QScrollArea>
#include <QScrollBar>
#include <QSlider>
#include <QTabWidget>
#include <QThread>
#include <QToolButton>

#include <atomic>

using namespace vorn;
using namespace vorn::test;

namespace
{

// A picture with a gradient, so that scaled decodes are real work.
QImage photo(int w, int h)
{
    QImage image(w, h, QImage::Format_RGB32);
    QPainter p(&image);
    QLinearGradient g(0, 0, w, h);
    g.setColorAt(0, QColor(200, 120, 40));
    g.setColorAt(1, QColor(30, 90, 160));
    p.fillRect(image.rect(), g);
    return image;
}

QByteArray jpeg(int w, int h)
{
    return encode(photo(w, h), "jpg");
}

// An icon of 32 x 32 with transparent corners and an opaque red disc in the middle.
QByteArray icon()
{
    QImage image(32, 32, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::red);
    p.drawEllipse(QRect(6, 6, 20, 20));
    p.end();
    return encode(image, "ico");
}

// A metafile: a red rectangle from (250, 250) to (750, 750) in a 1000 x 1000 frame at 1000 units
// per inch (96 x 96 pixels), nothing drawn around it.
QByteArray wmf()
{
    QByteArray records;
    auto rec = [&](quint16 fn, const QList<int> &words) {
        const quint32 size = 3 + quint32(words.size());
        for (int i = 0; i < 4; ++i)
            records += char((size >> (8 * i)) & 0xFF);
        records += char(fn & 0xFF);
        records += char(fn >> 8);
        for (int w : words) {
            records += char(w & 0xFF);
            records += char((w >> 8) & 0xFF);
        }
    };
    rec(0x02FC, {0, 0x00FF, 0x0000, 0});
    rec(0x012D, {0});
    rec(0x02FA, {5, 0, 0, 0, 0});
    rec(0x012D, {1});
    rec(0x041B, {750, 750, 250, 250});
    records += QByteArray("\x03\0\0\0\0\0", 6);
    QByteArray b("\xD7\xCD\xC6\x9A\0\0", 6);
    for (int v : {0, 0, 1000, 1000, 1000}) {
        b += char(v & 0xFF);
        b += char(v >> 8);
    }
    b += QByteArray(6, 0);
    const quint32 words = quint32(18 + records.size()) / 2;
    QByteArray h("\x01\0\x09\0\0\x03", 6);
    for (int i = 0; i < 4; ++i)
        h += char((words >> (8 * i)) & 0xFF);
    h += QByteArray("\x04\0\0\0\0\0\0\0", 8);
    return b + h + records;
}

} // namespace

class TstPictureView : public QObject
{
    Q_OBJECT
  private slots:
    void bestFit_data();
    void bestFit();
    void factorZoomAndStatus();
    void newPictureAtNaturalSize();
    void centreIgnoresPreviousScrollBars();
    void shrunkEmptyViewHasNoScrollBars();
    void percentZoom();
    void backgroundTester();
    void backgroundTesterBoundsTiles();
    void transparentKinds_data();
    void transparentKinds();
    void gifSpeedBounds();
    void exifRotatedJpegIsUpright();
    void badFiles_data();
    void badFiles();
    void failedLoadLeavesNoScrollBars();
    void copyToClipboardIsFullPicture();
    void damagedJpegShownWithNote();
    void nextEntryDecodedAhead();
    void decodedOffTheUiThread();
    void zoomWhileDecodingApplies_data();
    void zoomWhileDecodingApplies();
    void listTabResetsTrackBar();
    void magnifierSteps();
    void magnifierGrabsOnlyWhileOn();

  private:
    struct File {
        QString name;
        QByteArray bytes;
    };
    // A German window listing a folder of the given files.
    MainWindow &startWith(WindowFixture &f, const QList<File> &files);
    // The view area at exactly 800 x 600 (the outer size best fit fills).
    void viewSize800x600(WindowFixture &f);
    // Selects entry `row` and clicks it, as the user does.
    void showRow(WindowFixture &f, int row);
    // Clicks a tool button; a click that shows the picture again waits for its decode.
    void click(WindowFixture &f, const char *name)
    {
        QTest::mouseClick(button(f, name), Qt::LeftButton);
        waitForPicture(f);
    }
    // Pictures that were not decoded ahead are shown when their decode finishes.
    void waitForPicture(WindowFixture &f) { QTRY_VERIFY(!view(f)->isLoading()); }
    QToolButton *button(WindowFixture &f, const char *name)
    {
        return f.find<QToolButton>(QString::fromLatin1(name));
    }
    PictureView *view(WindowFixture &f) { return f.window->pictureView(); }
    QString panel(WindowFixture &f, int i) { return f.find<PanelStatusBar>("stat_view")->panelText(i); }
    // The background controls: one painted background, whatever the number of tiles.
    int tiles(WindowFixture &f)
    {
        int n = 0;
        for (QWidget *w : f.window->findChildren<QWidget *>())
            n += w->objectName().startsWith(QLatin1String("bgd_"));
        return n;
    }
};

MainWindow &TstPictureView::startWith(WindowFixture &f, const QList<File> &files)
{
    writeFile(f.path("vorn.cfg"), "0\r\n0\r\n0\r\nnormal\r\n");
    for (const File &file : files)
        writeFile(f.path("pics/" + file.name), file.bytes);
    MainWindow &w = f.start();
    // The picture view, entered by its button (the empty view is in front at start).
    QTest::mouseClick(f.find<QToolButton>("bt_showview"), Qt::LeftButton);
    w.listArea()->openFolder(f.path("pics"));
    [&] { QTRY_COMPARE(w.listArea()->folderList()->count(), int(files.size())); }();
    return w;
}

void TstPictureView::viewSize800x600(WindowFixture &f)
{
    f.window->resize(1400, 1000);
    auto *sb = f.find<QScrollArea>("sb_1");
    sb->setFixedSize(800, 600);
    QTRY_COMPARE(sb->size(), QSize(800, 600));
}

void TstPictureView::showRow(WindowFixture &f, int row)
{
    f.window->listArea()->folderList()->selectRow(row);
    f.window->listArea()->lvclick();
    waitForPicture(f);
}

void TstPictureView::bestFit_data()
{
    QTest::addColumn<QSize>("natural");
    QTest::addColumn<QRect>("fitted");
    // Equal ratios take the width branch; a small picture is enlarged and centred vertically.
    QTest::newRow("1024x768") << QSize(1024, 768) << QRect(0, 0, 800, 600);
    QTest::newRow("100x50") << QSize(100, 50) << QRect(0, 100, 800, 400);
    QTest::newRow("tall 300x600") << QSize(300, 600) << QRect(250, 0, 300, 600);
}

void TstPictureView::bestFit()
{
    QFETCH(QSize, natural);
    QFETCH(QRect, fitted);
    WindowFixture f;
    startWith(f, {{"p.jpg", jpeg(natural.width(), natural.height())}});
    viewSize800x600(f);
    click(f, "bt_bestfit");
    QVERIFY(!button(f, "bt_center")->isEnabled());
    QVERIFY(!button(f, "bt_zoomin")->isEnabled());
    QVERIFY(f.find<QFrame>("pn_zoom")->isHidden());
    showRow(f, 0);
    auto *img = f.find<ImageWidget>("img_x");
    QVERIFY(img->isVisible());
    QCOMPARE(img->geometry(), fitted);
    QCOMPARE(f.find<QFrame>("shape")->geometry(), fitted);
    // Decoded at the shown size (scaled in the DCT domain), natural size reported as the file's.
    QCOMPARE(view(f)->decodedSize(), fitted.size());
    QCOMPARE(panel(f, 1), QString("%1 x %2").arg(natural.width()).arg(natural.height()));
    // Leaving best fit shows the picture at its natural size again, fully decoded.
    click(f, "bt_bestfit");
    QCOMPARE(img->geometry(), QRect(QPoint(0, 0), natural));
    QCOMPARE(view(f)->decodedSize(), natural);
}

void TstPictureView::factorZoomAndStatus()
{
    WindowFixture f;
    startWith(f, {{"p.bmp", encode(photo(20, 10), "bmp")}});
    showRow(f, 0);
    QCOMPARE(panel(f, 2), QString("Größe : 100%"));
    QVERIFY(!button(f, "bt_zoomout")->isEnabled());
    click(f, "bt_zoomin");
    click(f, "bt_zoomin");
    QCOMPARE(panel(f, 2), QString("Faktor: 3"));
    for (int i = 0; i < 12; ++i)
        click(f, "bt_zoomin");
    QCOMPARE(view(f)->zoomFactor(), 15);
    QVERIFY(!button(f, "bt_zoomin")->isEnabled());
    QCOMPARE(f.find<ImageWidget>("img_x")->geometry(), QRect(0, 0, 300, 150));
    QCOMPARE(view(f)->pictureRect(), QRect(0, 0, 300, 150));
    QCOMPARE(panel(f, 2), QString("Faktor: 15"));
    // A fifteenth click changes nothing.
    click(f, "bt_zoomin");
    QCOMPARE(view(f)->zoomFactor(), 15);
    for (int i = 0; i < 14; ++i)
        click(f, "bt_zoomout");
    QCOMPARE(view(f)->zoomFactor(), 1);
    QVERIFY(!button(f, "bt_zoomout")->isEnabled());
    QVERIFY(button(f, "bt_zoomin")->isEnabled());
    QCOMPARE(panel(f, 2), QString("Größe : 100%"));
}

void TstPictureView::newPictureAtNaturalSize()
{
    WindowFixture f;
    startWith(f, {{"a.bmp", encode(photo(20, 10), "bmp")}, {"b.bmp", encode(photo(30, 20), "bmp")}});
    showRow(f, 0);
    click(f, "bt_zoomin");
    click(f, "bt_zoomin");
    QCOMPARE(f.find<ImageWidget>("img_x")->size(), QSize(60, 30));
    // The next picture comes at natural size; the factor waits for the next zoom click.
    showRow(f, 1);
    QCOMPARE(view(f)->zoomFactor(), 3);
    QCOMPARE(f.find<ImageWidget>("img_x")->geometry(), QRect(0, 0, 30, 20));
    QCOMPARE(view(f)->pictureRect(), QRect(0, 0, 30, 20));
    click(f, "bt_zoomin");
    QCOMPARE(f.find<ImageWidget>("img_x")->geometry(), QRect(0, 0, 120, 80));
    QCOMPARE(panel(f, 2), QString("Faktor: 4"));
}

void TstPictureView::centreIgnoresPreviousScrollBars()
{
    WindowFixture f;
    startWith(f, {{"big.bmp", encode(photo(640, 480), "bmp")}, {"small.bmp", encode(photo(100, 50), "bmp")}});
    auto *sb = f.find<QScrollArea>("sb_1");
    click(f, "bt_center");
    QCoreApplication::processEvents();
    QVERIFY(sb->width() < 640 && sb->height() < 480);
    auto *img = f.find<ImageWidget>("img_x");
    showRow(f, 1);
    const QPoint first = img->pos();
    const QSize client = sb->viewport()->size();
    QCOMPARE(first, QPoint((client.width() - 100) / 2, (client.height() - 50) / 2));
    showRow(f, 0);
    QTRY_VERIFY(sb->horizontalScrollBar()->isVisible() && sb->verticalScrollBar()->isVisible());
    // After a picture with scroll bars the small one lands where it did before.
    showRow(f, 1);
    QCOMPARE(img->pos(), first);
    QCOMPARE(view(f)->pictureRect(), QRect(first, QSize(100, 50)));
}

void TstPictureView::shrunkEmptyViewHasNoScrollBars()
{
    WindowFixture f;
    startWith(f, {});
    auto *sb = f.find<QScrollArea>("sb_1");
    f.window->resize(1200, 900);
    QTRY_VERIFY(sb->width() > 700);
    f.window->resize(800, 600);
    QTRY_VERIFY(sb->width() < 700);
    QCoreApplication::processEvents();
    QVERIFY(!sb->horizontalScrollBar()->isVisible());
    QVERIFY(!sb->verticalScrollBar()->isVisible());
}

void TstPictureView::percentZoom()
{
    WindowFixture f;
    startWith(f, {{"p.bmp", encode(photo(40, 30), "bmp")}});
    showRow(f, 0);
    auto *trb = f.find<QSlider>("trb_1");
    QVERIFY(trb->isEnabled());
    trb->setValue(50);
    QCOMPARE(f.find<ImageWidget>("img_x")->size(), QSize(20, 15));
    QCOMPARE(panel(f, 2), QString("Größe : 50%"));
    trb->setValue(0);
    QCOMPARE(f.find<ImageWidget>("img_x")->size(), QSize(0, 0));
    QCOMPARE(panel(f, 2), QString("Größe : 0%"));
    // Back at exactly 100 the size returns and the last zoom text stays.
    trb->setValue(100);
    QCOMPARE(f.find<ImageWidget>("img_x")->size(), QSize(40, 30));
    QCOMPARE(panel(f, 2), QString("Größe : 0%"));
}

void TstPictureView::backgroundTester()
{
    WindowFixture f;
    startWith(f, {{"tile.bmp", encode(photo(64, 48), "bmp")}});
    showRow(f, 0);
    auto *sb = f.find<QScrollArea>("sb_1");
    QVERIFY(button(f, "bt_backgr")->isEnabled());
    click(f, "bt_backgr");
    QVERIFY(view(f)->backgroundActive());
    // Counted for the view as it is once the zoom panel's room has gone to it.
    QCoreApplication::processEvents();
    const int columns = sb->width() / 64 + 1, rows = sb->height() / 48 + 1;
    QCOMPARE(view(f)->tileCount(), columns * rows);
    QCOMPARE(view(f)->tileRect(1), QRect(64, 0, 64, 48));
    // One control paints every tile, repeated from the view's top left.
    QCOMPARE(tiles(f), 1);
    auto *background = f.window->findChild<QWidget *>("bgd_0");
    QVERIFY(background);
    QCOMPARE(background->geometry(), QRect(0, 0, columns * 64, rows * 48));
    const QImage shown = sb->viewport()->grab().toImage();
    QCOMPARE(shown.pixel(64 + 10, 48 + 20), shown.pixel(10, 20));
    QVERIFY(shown.pixel(10, 20) != shown.pixel(50, 40));
    // A larger view is covered too.
    f.window->resize(f.window->width() + 200, f.window->height() + 150);
    QTRY_VERIFY(sb->viewport()->width() > shown.width() && sb->viewport()->height() > shown.height());
    const QImage larger = sb->viewport()->grab().toImage();
    const QPoint corner(larger.width() - 1, larger.height() - 1);
    QCOMPARE(larger.pixel(corner), larger.pixel(corner.x() % 64, corner.y() % 48));
    QCOMPARE(view(f)->tileCount(), (sb->width() / 64 + 1) * (sb->height() / 48 + 1));
    QVERIFY(!f.find<ImageWidget>("img_x")->isVisible());
    QVERIFY(!f.find<QFrame>("shape")->isVisible());
    QVERIFY(!button(f, "bt_zoomin")->isEnabled());
    QVERIFY(f.find<QFrame>("pn_zoom")->isHidden());

    click(f, "bt_backgr");
    QCOMPARE(tiles(f), 0);
    QVERIFY(!view(f)->backgroundActive());
    QVERIFY(f.find<ImageWidget>("img_x")->isVisible());
    QVERIFY(button(f, "bt_zoomin")->isEnabled());
    QVERIFY(!f.find<QFrame>("pn_zoom")->isHidden());

    // A new picture removes an active background first.
    click(f, "bt_backgr");
    QVERIFY(tiles(f) > 0);
    showRow(f, 0);
    QCOMPARE(tiles(f), 0);
    QVERIFY(f.find<ImageWidget>("img_x")->isVisible());
}

void TstPictureView::backgroundTesterBoundsTiles()
{
    // A 1 x 1 picture tiles the view with one control, not one per pixel of the view.
    WindowFixture f;
    startWith(f, {{"dot.bmp", encode(photo(1, 1), "bmp")}});
    showRow(f, 0);
    click(f, "bt_backgr");
    QVERIFY(tiles(f) > 0);
    QVERIFY(tiles(f) <= 1024);
    auto *sb = f.find<QScrollArea>("sb_1");
    QCoreApplication::processEvents(); // no bare strip where the zoom panel was
    QRegion covered;
    for (QWidget *w : f.window->findChildren<QWidget *>())
        if (w->objectName().startsWith(QLatin1String("bgd_")))
            covered += w->geometry();
    QVERIFY(QRegion(QRect(QPoint(0, 0), sb->size())).subtracted(covered).isEmpty());
    click(f, "bt_backgr");
    QCOMPARE(tiles(f), 0);
}

void TstPictureView::transparentKinds_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QPoint>("clearSpot"); // a point of the picture where nothing is drawn
    QTest::newRow("ico") << "i.ico" << icon() << QPoint(1, 1);
    QTest::newRow("wmf") << "m.wmf" << wmf() << QPoint(5, 5);
}

void TstPictureView::transparentKinds()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QFETCH(QPoint, clearSpot);
    WindowFixture f;
    startWith(f, {{name, bytes}});
    auto *area = f.find<QScrollArea>("sb_1")->viewport();
    const QImage before = area->grab().toImage();
    showRow(f, 0);
    auto *img = f.find<ImageWidget>("img_x");
    QVERIFY(img->isVisible());
    QVERIFY(img->isTransparent());
    // Drawn over the view's background: where the picture is clear, the background shows.
    button(f, "bt_shape")->click(); // no frame over the corner
    const QImage after = area->grab().toImage();
    const QPoint spot = img->geometry().topLeft() + clearSpot;
    QCOMPARE(after.pixel(spot), before.pixel(spot));
    const QPoint middle = img->geometry().center();
    QVERIFY(after.pixel(middle) != before.pixel(middle));
    QCOMPARE(QColor(after.pixel(middle)), QColor(Qt::red));
    // The background tester ignores these kinds.
    click(f, "bt_backgr");
    QVERIFY(!view(f)->backgroundActive());
    QCOMPARE(tiles(f), 0);
    QVERIFY(img->isVisible());
}

void TstPictureView::gifSpeedBounds()
{
    WindowFixture f;
    startWith(f, {{"a.gif", gif(2)}, {"b.gif", gif(2)}});
    showRow(f, 0);
    auto *img = f.find<ImageWidget>("img_g");
    QVERIFY(img->isVisible());
    QVERIFY(img->movie());
    auto *field = f.find<QLineEdit>("ed_giftime");
    QCOMPARE(field->text(), QString("100"));
    int clicks = 0;
    while (button(f, "bt_gifspeedup")->isEnabled() && clicks < 200) {
        click(f, "bt_gifspeedup");
        ++clicks;
    }
    QCOMPARE(clicks, 80);
    QCOMPARE(field->text(), QString("500"));
    QCOMPARE(img->movie()->speed(), 500);
    // The next GIF keeps the speed.
    showRow(f, 1);
    QCOMPARE(f.find<ImageWidget>("img_g")->movie()->speed(), 500);
    clicks = 0;
    while (button(f, "bt_gifspeeddown")->isEnabled() && clicks < 200) {
        click(f, "bt_gifspeeddown");
        ++clicks;
    }
    QCOMPARE(clicks, 99);
    QCOMPARE(field->text(), QString("5"));
    QCOMPARE(img->movie()->speed(), 5);
    QVERIFY(button(f, "bt_gifspeedup")->isEnabled());
}

void TstPictureView::exifRotatedJpegIsUpright()
{
    WindowFixture f;
    startWith(f, {{"cam.jpg", withOrientation(jpeg(80, 40), 6)}});
    showRow(f, 0);
    QCOMPARE(view(f)->naturalSize(), QSize(40, 80));
    QCOMPARE(panel(f, 1), QString("40 x 80"));
    QCOMPARE(f.find<ImageWidget>("img_x")->geometry(), QRect(0, 0, 40, 80));
    // Fitted too: the probe that sizes the scaled decode reads the orientation.
    viewSize800x600(f);
    click(f, "bt_bestfit");
    QCOMPARE(f.find<ImageWidget>("img_x")->geometry(), QRect(250, 0, 300, 600));
    QCOMPARE(view(f)->decodedSize(), QSize(300, 600));
}

void TstPictureView::badFiles_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");
    const QByteArray good = jpeg(64, 48);
    // Cut within the headers: nothing to show (cut within the data it is shown, damaged).
    QTest::newRow("truncated jpg") << "BAD.jpg" << good.left(good.indexOf("\xFF\xC4"));
    QTest::newRow("corrupt jpg") << "bad.JPG" << QByteArray("\xFF\xD8\xFF\xE0garbage", 11);
    QTest::newRow("zero bmp") << "zero.bmp" << QByteArray();
    QTest::newRow("corrupt bmp") << "c.bmp" << QByteArray("BM\x10\0\0\0junkjunkjunk", 18);
    QTest::newRow("corrupt ico") << "c.ico" << QByteArray("\0\0\1\0\x05\0junk", 10);
    QTest::newRow("truncated gif") << "t.gif" << gif(2).left(30);
    QTest::newRow("corrupt wmf") << "c.wmf" << QByteArray("\xD7\xCD\xC6\x9Anonsense", 12);
    QTest::newRow("corrupt tif") << "c.tif" << QByteArray("II*\0\x08\0\0\0junkjunk", 16);
}

void TstPictureView::badFiles()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    WindowFixture f;
    startWith(f, {{"a_good.bmp", encode(photo(20, 10), "bmp")}, {name, bytes}});
    showRow(f, 0);
    QVERIFY(view(f)->pictureShown());
    QCOMPARE(panel(f, 1), QString("20 x 10"));
    QVERIFY(!panel(f, 2).isEmpty());
    showRow(f, 1);
    // Nothing shown: neither the size nor the zoom of the picture before stays in the status
    // bar; the file's own size text does.
    QCOMPARE(panel(f, 1), QString());
    QCOMPARE(panel(f, 2), QString());
    QVERIFY(!panel(f, 0).isEmpty());
    const QString path = f.path("pics/" + name);
    QCOMPARE(f.prompter.lastMessage(), "Datei " + path.toUpper() + " konnte nicht geladen werden!");
    QVERIFY(!view(f)->pictureShown());
    QVERIFY(!f.find<ImageWidget>("img_x")->isVisible());
    QVERIFY(!f.find<ImageWidget>("img_g")->isVisible());
    QVERIFY(!f.find<QFrame>("shape")->isVisible());
    // The view stays usable.
    showRow(f, 0);
    QVERIFY(view(f)->pictureShown());
    QCOMPARE(panel(f, 1), QString("20 x 10"));
}

// A picture larger than the view at 100 % has scroll bars; a file that cannot be loaded after it
// leaves an empty view without them.
void TstPictureView::failedLoadLeavesNoScrollBars()
{
    WindowFixture f;
    startWith(f, {{"a_big.bmp", encode(photo(1600, 1200), "bmp")},
                  {"b_bad.jpg", QByteArray("\xFF\xD8\xFF\xE0garbage", 11)}});
    showRow(f, 0);
    QVERIFY(view(f)->pictureShown());
    auto *area = f.find<QScrollArea>("sb_1");
    QVERIFY(area->horizontalScrollBar()->isVisible() || area->verticalScrollBar()->isVisible());
    showRow(f, 1);
    QVERIFY(!view(f)->pictureShown());
    QTRY_VERIFY(!area->horizontalScrollBar()->isVisible() && !area->verticalScrollBar()->isVisible());
}

// A JPEG cut short within its data is shown, the rest grey, and the status bar says it is
// damaged until an intact picture follows.
void TstPictureView::damagedJpegShownWithNote()
{
    const QByteArray good = jpeg(64, 48);
    const qsizetype scan = good.indexOf("\xFF\xDA");
    WindowFixture f;
    startWith(f, {{"a_cut.jpg", good.left(scan + (good.size() - scan) / 2)}, {"b_good.jpg", good}});
    showRow(f, 0);
    QVERIFY(view(f)->pictureShown());
    QVERIFY(f.prompter.messages().isEmpty());
    QCOMPARE(view(f)->naturalSize(), QSize(64, 48));
    QCOMPARE(panel(f, 4), QString("Bild beschädigt"));
    const QColor last = f.find<ImageWidget>("img_x")->currentImage().pixel(60, 46);
    QVERIFY2(qAbs(last.red() - 128) < 12 && qAbs(last.blue() - 128) < 12, qPrintable(last.name()));
    showRow(f, 1);
    QVERIFY(view(f)->pictureShown());
    QCOMPARE(panel(f, 4), QString());
}

void TstPictureView::copyToClipboardIsFullPicture()
{
    WindowFixture f;
    startWith(f, {{"p.jpg", jpeg(1024, 768)}});
    QVERIFY(!button(f, "bt_copytoclpb")->isEnabled());
    click(f, "bt_maskwahl0"); // a picture mask is part of the filter
    QTRY_COMPARE(f.window->listArea()->folderList()->count(), 1);
    viewSize800x600(f);
    click(f, "bt_bestfit");
    showRow(f, 0);
    QCOMPARE(view(f)->decodedSize(), QSize(800, 600));
    QVERIFY(button(f, "bt_copytoclpb")->isEnabled());
    click(f, "bt_copytoclpb");
    // The picture itself, not the smaller copy decoded for the fitted view.
    QTRY_COMPARE(QGuiApplication::clipboard()->image().size(), QSize(1024, 768));
}

namespace
{

// Holds every decode of the picture view at its start while closed.
std::atomic<bool> g_decodeGateClosed{false};
void decodeGate(const QString &)
{
    while (g_decodeGateClosed.load())
        QThread::yieldCurrentThread();
}

} // namespace

void TstPictureView::zoomWhileDecodingApplies_data()
{
    QTest::addColumn<int>("zoomInClicks");
    QTest::addColumn<int>("track");
    QTest::addColumn<QSize>("shown");
    QTest::addColumn<QString>("status");
    QTest::newRow("factor 3") << 2 << -1 << QSize(3000, 2250) << "Faktor: 3";
    QTest::newRow("in and out") << 1 << -1 << QSize(1000, 750) << "Größe : 100%";
    QTest::newRow("track 50") << 0 << 50 << QSize(500, 375) << "Größe : 50%";
}

// Leaving best fit decodes the picture again at natural size; a zoom made before that decode
// ends shows the picture at that zoom when it arrives, and the status agrees.
void TstPictureView::zoomWhileDecodingApplies()
{
    QFETCH(int, zoomInClicks);
    QFETCH(int, track);
    QFETCH(QSize, shown);
    QFETCH(QString, status);
    WindowFixture f;
    startWith(f, {{"p.jpg", jpeg(1000, 750)}});
    viewSize800x600(f);
    click(f, "bt_bestfit");
    showRow(f, 0);
    QCOMPARE(view(f)->decodedSize(), QSize(800, 600));

    PicturePrefetcher::setDecodeHook(decodeGate);
    g_decodeGateClosed = true;
    auto open = qScopeGuard([] {
        g_decodeGateClosed = false;
        PicturePrefetcher::setDecodeHook(nullptr);
    });
    QTest::mouseClick(button(f, "bt_bestfit"), Qt::LeftButton);
    QVERIFY(view(f)->isLoading());
    for (int i = 0; i < zoomInClicks; ++i)
        QTest::mouseClick(button(f, "bt_zoomin"), Qt::LeftButton);
    if (QString(QTest::currentDataTag()) == "in and out")
        QTest::mouseClick(button(f, "bt_zoomout"), Qt::LeftButton);
    if (track >= 0)
        f.find<QSlider>("trb_1")->setValue(track);
    QVERIFY(view(f)->isLoading());
    g_decodeGateClosed = false;
    waitForPicture(f);

    QCOMPARE(view(f)->naturalSize(), QSize(1000, 750));
    QCOMPARE(f.find<ImageWidget>("img_x")->size(), shown);
    QCOMPARE(view(f)->pictureRect().size(), shown);
    QCOMPARE(panel(f, 2), status);
}

void TstPictureView::nextEntryDecodedAhead()
{
    WindowFixture f;
    startWith(f, {{"a.jpg", jpeg(1600, 1200)}, {"b.jpg", jpeg(1600, 1200)}, {"c.jpg", jpeg(1600, 1200)}});
    viewSize800x600(f);
    click(f, "bt_bestfit");
    showRow(f, 0);
    const QString b = f.path("pics/b.jpg");
    QTRY_VERIFY(view(f)->prefetcher().isReady(b, QSize(800, 600)));
    const int hits = view(f)->prefetcher().hits();
    showRow(f, 1);
    QCOMPARE(view(f)->prefetcher().hits(), hits + 1);
    QCOMPARE(view(f)->decodedSize(), QSize(800, 600));
    QCOMPARE(view(f)->currentPath(), b);
    // And the one after it is on its way.
    QTRY_VERIFY(view(f)->prefetcher().isReady(f.path("pics/c.jpg"), QSize(800, 600)));
}

void TstPictureView::decodedOffTheUiThread()
{
    WindowFixture f;
    const QByteArray good = jpeg(640, 480);
    startWith(f, {{"a_bad.jpg", good.left(good.size() / 2)}, {"b_good.jpg", good}});
    auto *list = f.window->listArea();
    // Nothing was decoded ahead: the click returns at once and the picture follows.
    list->folderList()->selectRow(0);
    list->lvclick();
    QVERIFY(view(f)->isLoading());
    QVERIFY(!view(f)->pictureShown());
    // A newer request supersedes it: the damaged first file is never shown nor reported.
    list->folderList()->selectRow(1);
    list->lvclick();
    waitForPicture(f);
    QVERIFY(view(f)->pictureShown());
    QCOMPARE(view(f)->currentPath(), f.path("pics/b_good.jpg"));
    QVERIFY(f.prompter.messages().isEmpty());
    // Letting go of the view forgets a picture still on its way.
    list->folderList()->selectRow(0);
    list->lvclick();
    f.window->releaseViews();
    QVERIFY(!view(f)->isLoading());
    QVERIFY(!view(f)->pictureShown());
}

void TstPictureView::listTabResetsTrackBar()
{
    WindowFixture f;
    startWith(f, {{"p.bmp", encode(photo(40, 30), "bmp")}});
    showRow(f, 0);
    auto *trb = f.find<QSlider>("trb_1");
    trb->setValue(50);
    f.window->listArea()->tabs()->setCurrentIndex(1);
    QCOMPARE(trb->value(), 100);
    // Releasing the views leaves the view empty.
    f.window->listArea()->tabs()->setCurrentIndex(0);
    showRow(f, 0);
    f.window->releaseViews();
    QVERIFY(!view(f)->pictureShown());
    QVERIFY(!f.find<ImageWidget>("img_x")->isVisible());
}

void TstPictureView::magnifierSteps()
{
    WindowFixture f;
    startWith(f, {});
    auto *pn = f.find<QFrame>("pn_lupe");
    QVERIFY(pn->isHidden());
    QCOMPARE(pn->size(), QSize(154, 167));
    QCOMPARE(pn->parentWidget(), f.find<QScrollArea>("sb_1")->viewport());
    click(f, "bt_lupe");
    QVERIFY(pn->isVisible());
    auto *lupe = f.find<MagnifierWidget>("lupe");
    QVERIFY(!button(f, "bt_lupedecfaktor")->isEnabled());
    for (int i = 0; i < 8; ++i)
        click(f, "bt_lupeincfaktor");
    QCOMPARE(lupe->zoom(), 9.0);
    QVERIFY(!button(f, "bt_lupeincfaktor")->isEnabled());
    click(f, "bt_lupedecfaktor");
    QCOMPARE(lupe->zoom(), 8.0);
    QVERIFY(button(f, "bt_lupeincfaktor")->isEnabled());

    QVERIFY(!button(f, "bt_lupesmaller")->isEnabled());
    for (int i = 0; i < 10; ++i)
        click(f, "bt_lupebigger");
    QCOMPARE(pn->size(), QSize(404, 404));
    QVERIFY(button(f, "bt_lupebigger")->isEnabled());
    click(f, "bt_lupebigger");
    QCOMPARE(pn->size(), QSize(404, 404));
    QVERIFY(!button(f, "bt_lupebigger")->isEnabled());
    // The magnifier fills the panel below its button row; the grip fills the row's rest.
    QCOMPARE(lupe->width(), 400);
    QCOMPARE(f.find<QWidget>("img_movelupectrl")->width(), 400 - 122);
    for (int i = 0; i < 10; ++i)
        click(f, "bt_lupesmaller");
    QCOMPARE(pn->size(), QSize(154, 154));
    QVERIFY(!button(f, "bt_lupesmaller")->isEnabled());
    QVERIFY(button(f, "bt_lupebigger")->isEnabled());
}

void TstPictureView::magnifierGrabsOnlyWhileOn()
{
    WindowFixture f;
    startWith(f, {});
    auto *lupe = f.find<MagnifierWidget>("lupe");
    int grabs = 0;
    QRect lastArea;
    lupe->setGrabber([&](const QRect &area) {
        ++grabs;
        lastArea = area;
        QPixmap pm(area.size());
        pm.fill(Qt::green);
        return pm;
    });
    QCOMPARE(lupe->interval(), 100);
    click(f, "bt_lupe");
    QVERIFY(lupe->isActive());
    QTRY_VERIFY(grabs >= 2);
    // The area is the magnifier's size divided by the enlargement.
    click(f, "bt_lupeincfaktor");
    const int before = grabs;
    QTRY_VERIFY(grabs > before);
    QCOMPARE(lastArea.size(), lupe->size() / 2);

    click(f, "bt_lupe");
    QVERIFY(!lupe->isActive());
    QVERIFY(f.find<QFrame>("pn_lupe")->isHidden());
    grabs = 0;
    QTest::qWait(350);
    QCOMPARE(grabs, 0);
    // On again: same size and enlargement as before.
    click(f, "bt_lupe");
    QCOMPARE(lupe->zoom(), 2.0);
    QTRY_VERIFY(grabs > 0);
    view(f)->magnifier()->switchOff();
    QVERIFY(!button(f, "bt_lupe")->isChecked());
    QVERIFY(!lupe->isActive());
}

QTEST_MAIN(TstPictureView)
#include "tst_picture_view.moc"
