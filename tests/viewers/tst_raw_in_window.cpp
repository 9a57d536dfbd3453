// A camera RAW file on the real main window: in the picture view at 100 % (developed) and
// fitted (its preview), upright by its flip, and as a catalog thumbnail.
#include "catalog/catalog_view.h"
#include "files/list_area_view.h"
#include "support/dng_writer.h"
#include "support/test_support.h"
#include "viewers/pictures/picture_view.h"
#include "widgets/image_widget.h"
#include "widgets/panel_status_bar.h"

#include <QDir>
#include <QPainter>
#include <QScrollArea>
#include <QTabWidget>
#include <QToolButton>

using namespace vorn;
using namespace vorn::test;

namespace
{

// Grey with a red top-left quarter; the preview's opposite quarter is white, so that a picture
// shows which path it came from.
QImage redCorner(int w, int h, bool preview)
{
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(qRgb(128, 128, 128));
    QPainter p(&image);
    p.fillRect(0, 0, w / 2, h / 2, Qt::red);
    if (preview)
        p.fillRect(w / 2, h / 2, w - w / 2, h - h / 2, Qt::white);
    return image;
}

// A DNG of 1200 x 900 stored, turned a quarter clockwise (shown 900 x 1200), with a preview of
// the sensor's size.
QByteArray cameraFile()
{
    DngPicture dng{redCorner(1200, 900, false), 6};
    dng.preview = redCorner(1200, 900, true);
    return dngBytes(dng);
}

QRgb quarter(const QImage &image, int q)
{
    return image.pixel((q % 2) * image.width() / 2 + image.width() / 4,
                       (q / 2) * image.height() / 2 + image.height() / 4);
}

bool red(QRgb c)
{
    return qRed(c) > 200 && qGreen(c) < 60 && qBlue(c) < 60;
}

bool white(QRgb c)
{
    return qRed(c) > 220 && qGreen(c) > 220 && qBlue(c) > 220;
}

} // namespace

class TstRawInWindow : public QObject
{
    Q_OBJECT
  private slots:
    void shownDevelopedAndFitted();
    void catalogThumbnailIsUpright();

  private:
    // A German window of the given size listing a folder that holds the camera file.
    MainWindow &startWithCameraFile(WindowFixture &f, QSize windowSize);
};

MainWindow &TstRawInWindow::startWithCameraFile(WindowFixture &f, QSize windowSize)
{
    writeFile(f.path("vorn.cfg"), "0\r\n0\r\n0\r\nnormal\r\n");
    writeFile(f.path("pics/camera.dng"), cameraFile());
    MainWindow &w = f.start();
    w.resize(windowSize);
    w.listArea()->openFolder(f.path("pics"));
    [&] { QTRY_COMPARE(w.listArea()->folderList()->count(), 1); }();
    return w;
}

// At 100 % the sensor is developed; fitted into 800 x 600 the preview is taken. Both upright:
// the red quarter stored top left shows top right.
void TstRawInWindow::shownDevelopedAndFitted()
{
    WindowFixture f;
    MainWindow &w = startWithCameraFile(f, QSize(1400, 1000));
    auto *area = f.find<QScrollArea>("sb_1");
    area->setFixedSize(800, 600);
    QTRY_COMPARE(area->size(), QSize(800, 600));
    w.listArea()->folderList()->selectRow(0);
    w.listArea()->lvclick();
    PictureView *view = w.pictureView();
    QTRY_VERIFY(!view->isLoading());
    QVERIFY(f.prompter.messages().isEmpty());
    QCOMPARE(view->naturalSize(), QSize(900, 1200));
    QCOMPARE(f.find<PanelStatusBar>("stat_view")->panelText(1), QString("900 x 1200"));
    auto *image = f.find<ImageWidget>("img_x");
    QImage shown = image->grab().toImage();
    QCOMPARE(shown.size(), QSize(900, 1200));
    QVERIFY(red(quarter(shown, 1)));
    QVERIFY(!white(quarter(shown, 2))); // developed from the sensor

    QTest::mouseClick(f.find<QToolButton>("bt_bestfit"), Qt::LeftButton);
    QTRY_VERIFY(!view->isLoading());
    QTRY_COMPARE(view->decodedSize(), QSize(450, 600));
    shown = image->grab().toImage();
    QCOMPARE(shown.size(), QSize(450, 600));
    QVERIFY(red(quarter(shown, 1)));
    QVERIFY(white(quarter(shown, 2))); // the camera's preview
}

// The catalog's thumbnail of the file is the upright picture at the thumbnail size.
void TstRawInWindow::catalogThumbnailIsUpright()
{
    WindowFixture f;
    MainWindow &w = startWithCameraFile(f, QSize(1100, 800));
    w.listArea()->tabs()->setCurrentIndex(2);
    QCoreApplication::processEvents();
    QSignalSpy done(w.catalogView(), &CatalogView::catalogCreated);
    auto *create = f.find<QToolButton>("bt_catcreate");
    QVERIFY(create->isEnabled());
    create->click();
    QVERIFY(done.wait(20000));
    QVERIFY(f.prompter.messages().isEmpty());
    const QString page = QString::fromUtf8(readFile(f.path("temp/1.htm")));
    QCOMPARE(int(page.count(QLatin1String("<IMG "))), 1);
    QStringList thumbs;
    for (const QString &name : QDir(f.path("temp")).entryList(QDir::Files))
        if (page.contains(name) && !name.endsWith(QLatin1String(".htm")))
            thumbs << name;
    QVERIFY2(!thumbs.isEmpty(), qPrintable(page));
    QCOMPARE(thumbs, QStringList{"camera.jpg"});
    const QImage thumb(f.path("temp/camera.jpg"));
    // Upright: three wide to four high.
    QVERIFY2(thumb.height() > 20 && qAbs(thumb.width() * 4 - thumb.height() * 3) <= 4,
             qPrintable(QStringLiteral("%1 x %2").arg(thumb.width()).arg(thumb.height())));
    QVERIFY(red(quarter(thumb, 1)));
    QVERIFY(!red(quarter(thumb, 0)));
}

QTEST_MAIN(TstRawInWindow)
#include "tst_raw_in_window.moc"
