// The video view on the real main window, with clips made by ffmpeg: loading shows the base
// size and zoom, the track bar scales and centres the picture, Play locks the window and every
// way out of playback frees it once, repeat and chain at the end of a video, exact frame steps
// from the buttons and keys, keys that belong to the focused view, Previous back to 0 (with a
// sound track too), a large picture that leaves the zoom row reachable, the message for a file
// that is not a video, and the formats that load.
#include "app/view_stack_view.h"
#include "files/list_area_view.h"
#include "files/view_host.h"
#include "support/test_support.h"
#include "support/video_fixtures.h"
#include "viewers/pictures/picture_view.h"
#include "viewers/video/video_geometry.h"
#include "viewers/video/video_renderer.h"
#include "viewers/video/video_view.h"
#include "widgets/collapsible_toolbar.h"
#include "widgets/panel_status_bar.h"
#include "widgets/video_gl_widget.h"
#include "widgets/video_panel.h"

#include <QFile>
#include <QProgressBar>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QSlider>
#include <QTcpServer>
#include <QTcpSocket>
#include <QToolButton>
#include <QTreeView>

using namespace vorn;
using namespace vorn::test;

namespace
{

constexpr int kWait = 15000;

} // namespace

class TstVideoView : public QObject
{
    Q_OBJECT

  private slots:
    void initTestCase();
    void layoutArithmetic_data();
    void layoutArithmetic();
    void loadSizesAndZooms();
    void playLocksAndStopFrees();
    void playAfterStopStartsAfresh();
    void lockIsReleasedOnce_data();
    void lockIsReleasedOnce();
    void repeatRestartsAtTheEnd();
    void chainPlaysOnAndAgainAtTheLast();
    void framesStepFromButtonsAndKeys();
    void keysBelongToTheFocusedView();
    void previousGoesToTheStart_data();
    void previousGoesToTheStart();
    void largePictureLeavesZoomAndStatusReachable();
    void enlargedPictureDrawsOnlyWhatShows();
    void notAVideoGivesTheMessage();
    void listsAndReferencesOpenNothing_data();
    void listsAndReferencesOpenNothing();
    void formatsLoad_data();
    void formatsLoad();
    void openGlDrawsAtTheDisplayRect();

  private:
    // An English window listing `files` (copied from the clips made once) in "vids".
    MainWindow &startWith(WindowFixture &f, const QStringList &files);
    // Selects a listed file, routes it and loads it; true when the device opened.
    bool load(WindowFixture &f, int row);
    void click(WindowFixture &f, const char *name)
    {
        QTest::mouseClick(f.find<QToolButton>(QString::fromLatin1(name)), Qt::LeftButton);
    }

    QTemporaryDir clips_;
};

void TstVideoView::initTestCase()
{
    QVERIFY(make_clip(clips_.filePath("a.mpg"), ClipCodec::Mpeg1, QSize(320, 240), 25));
    QVERIFY(make_clip(clips_.filePath("b.mpg"), ClipCodec::Mpeg1, QSize(160, 120), 20));
    QVERIFY(make_clip(clips_.filePath("c.mpeg"), ClipCodec::Mpeg2, QSize(352, 288), 10));
    QVERIFY(make_clip(clips_.filePath("d.avi"), ClipCodec::Avi, QSize(176, 144), 10));
    QVERIFY(make_clip(clips_.filePath("e.mp4"), ClipCodec::Mp4, QSize(320, 180), 10));
    QVERIFY(make_clip(clips_.filePath("f.mpg"), ClipCodec::Mpeg1Mp2, QSize(320, 240), 25));
    QFile junk(clips_.filePath("junk.avi"));
    QVERIFY(junk.open(QIODevice::WriteOnly));
    junk.write("not a video at all\n");
}

MainWindow &TstVideoView::startWith(WindowFixture &f, const QStringList &files)
{
    writeFile(f.path("vorn.cfg"), "0\r\n0\r\n1\r\nnormal\r\n");
    for (const QString &n : files) {
        QDir().mkpath(f.path("vids"));
        QFile::copy(clips_.filePath(n), f.path("vids/" + n));
    }
    MainWindow &w = f.start();
    w.resize(900, 700);
    w.listArea()->openFolder(f.path("vids"));
    [&] { QTRY_COMPARE(w.listArea()->folderList()->count(), int(files.size())); }();
    return w;
}

bool TstVideoView::load(WindowFixture &f, int row)
{
    MainWindow &w = *f.window;
    w.listArea()->folderList()->selectRow(row);
    w.listArea()->lvclick();
    if (w.views()->currentWidget()->objectName() != QLatin1String("pn_videomain"))
        return false;
    auto *load = f.find<QToolButton>("bt_loadmovie");
    if (!load->isEnabled())
        return false;
    QSignalSpy opened(&w.videoView()->engine(), &MediaEngine::opened);
    QTest::mouseClick(load, Qt::LeftButton);
    if (!opened.wait(kWait))
        return false;
    QCoreApplication::processEvents();
    return opened.at(0).at(0).toBool();
}

void TstVideoView::layoutArithmetic_data()
{
    QTest::addColumn<QSize>("base");
    QTest::addColumn<int>("p");
    QTest::addColumn<QSize>("area");
    QTest::addColumn<QRect>("panel");
    QTest::addColumn<QSize>("picture");
    // The part of the picture above the bottom rows and inside the area.
    QTest::addColumn<QRect>("visible");
    QTest::newRow("100 %") << QSize(320, 240) << 0 << QSize(600, 500) << QRect(137, 107, 326, 246)
                           << QSize(320, 240) << QRect(0, 0, 320, 240);
    QTest::newRow("150 %") << QSize(320, 240) << 50 << QSize(600, 500) << QRect(57, 47, 486, 366)
                           << QSize(480, 360) << QRect(0, 0, 480, 360);
    // 101 % of an odd size: the divisions truncate.
    QTest::newRow("101 % odd") << QSize(333, 199) << 1 << QSize(601, 401) << QRect(129, 77, 342, 206)
                               << QSize(336, 200) << QRect(0, 0, 336, 200);
    // Larger than the area: negative offsets truncate toward zero.
    QTest::newRow("500 %") << QSize(320, 240) << 400 << QSize(600, 500) << QRect(-503, -373, 1606, 1206)
                           << QSize(1600, 1200) << QRect(500, 370, 600, 460);
    QTest::newRow("clamped") << QSize(100, 100) << 900 << QSize(0, 0) << QRect(-253, -273, 506, 506)
                             << QSize(500, 500) << QRect();
}

void TstVideoView::layoutArithmetic()
{
    QFETCH(QSize, base);
    QFETCH(int, p);
    QFETCH(QSize, area);
    const VideoLayout l = video_layout(base, p, area);
    QTEST(l.panel, "panel");
    QCOMPARE(l.display.topLeft(), QPoint(kVideoInset, kVideoInset));
    QTEST(l.display.size(), "picture");
    QFETCH(QRect, visible);
    const QRect part = video_visible_part(l, area);
    if (visible.isNull())
        QVERIFY(part.isEmpty());
    else
        QCOMPARE(part, visible);
}

void TstVideoView::loadSizesAndZooms()
{
    WindowFixture f;
    MainWindow &w = startWith(f, {"a.mpg"});
    QVERIFY(load(f, 0));
    VideoView *v = w.videoView();
    QCOMPARE(v->statusBar()->panelText(0), QString("320 x 240"));
    QCOMPARE(v->statusBar()->panelText(1), QString("Size :  100%"));
    QVERIFY(!f.find<QToolButton>("bt_loadmovie")->isEnabled());
    for (const char *n : {"bt_vplay", "bt_vpause", "bt_vstop", "bt_vnext", "bt_vprev", "bt_vstep", "bt_vback",
                          "bt_repeat", "bt_chain"})
        QVERIFY2(f.find<QToolButton>(n)->isEnabled(), n);
    QVERIFY(!f.find<QToolButton>("bt_veject")->isEnabled());
    // The length in milliseconds div 10 (MPEG counts to the start of the last frame).
    QVERIFY(v->progressBar()->maximum() >= 96 && v->progressBar()->maximum() <= 100);
    QCOMPARE(v->output()->displayRect(), QRect(3, 3, 320, 240));
    const QSize area = v->videoArea()->contentsRect().size();
    QCOMPARE(v->output()->geometry(), video_layout(QSize(320, 240), 0, area).panel);

    v->trackBar()->setValue(50);
    QCOMPARE(v->output()->displayRect().size(), QSize(480, 360));
    QCOMPARE(v->output()->geometry().size(), QSize(486, 366));
    QCOMPARE(v->engine().where(), QRect(3, 3, 480, 360));
    QCOMPARE(v->statusBar()->panelText(1), QString("Size : 150%"));
    // The frames follow the new size.
    QTRY_COMPARE_WITH_TIMEOUT(v->engine().renderer()->frame().size(), QSize(480, 360), kWait);
    // German status texts.
    w.context().setLanguage(German);
    QCOMPARE(v->statusBar()->panelText(1), QString("Größe : 150%"));
}

void TstVideoView::playLocksAndStopFrees()
{
    WindowFixture f;
    MainWindow &w = startWith(f, {"a.mpg"});
    QVERIFY(load(f, 0));
    VideoView *v = w.videoView();
    click(f, "bt_vplay");
    QVERIFY(v->output()->isVisible());
    QVERIFY(v->timer()->isActive());
    QCOMPARE(v->trackBar()->value(), 1);
    QCOMPARE(v->statusBar()->panelText(2), QString("Click STOP to activate filelist"));
    QVERIFY(!w.listArea()->folderList()->isEnabled());
    QVERIFY(!w.pictureView()->toolBar()->isEnabled());
    for (const char *n : {"bt_showview", "bt_showrename", "bt_showzip", "bt_maskwahl0", "bt_maskwahl7"})
        QVERIFY2(!f.find<QToolButton>(n)->isEnabled(), n);
    QTRY_VERIFY_WITH_TIMEOUT(v->output()->framesPainted() > 0, kWait);

    click(f, "bt_vpause");
    QCOMPARE(v->engine().mode(), MediaEngine::Mode::Paused);
    click(f, "bt_vstop");
    QCOMPARE(v->engine().deviceId(), 0);
    QVERIFY(!v->output()->isVisible());
    QVERIFY(!v->timer()->isActive());
    QCOMPARE(v->trackBar()->value(), 0);
    QCOMPARE(v->progressBar()->value(), 0);
    QVERIFY(w.listArea()->folderList()->isEnabled());
    QVERIFY(w.pictureView()->toolBar()->isEnabled());
    for (const char *n : {"bt_showview", "bt_showrename", "bt_showzip", "bt_maskwahl0", "bt_loadmovie"})
        QVERIFY2(f.find<QToolButton>(n)->isEnabled(), n);
    for (const char *n : {"bt_vplay", "bt_vstop", "bt_vstep", "bt_repeat", "bt_chain"})
        QVERIFY2(!f.find<QToolButton>(n)->isEnabled(), n);
    for (int i = 0; i < 3; ++i)
        QVERIFY(v->statusBar()->panelText(i).isEmpty());
    // Transport without a device does nothing.
    v->transport(VideoView::Play);
    QCOMPARE(v->engine().deviceId(), 0);
    QVERIFY(w.listArea()->folderList()->isEnabled());
}

void TstVideoView::playAfterStopStartsAfresh()
{
    // Stop ends the player with all it holds; the next load sets up a new one, which starts
    // at the first frame, draws, locks the window again and plays to the end.
    WindowFixture f;
    MainWindow &w = startWith(f, {"a.mpg"});
    VideoView *v = w.videoView();
    for (int round = 0; round < 2; ++round) {
        QVERIFY(load(f, 0));
        QCOMPARE(v->engine().position(), qint64(0));
        QCOMPARE(v->progressBar()->value(), 0);
        const quint64 painted = v->output()->framesPainted();
        QSignalSpy ended(&v->engine(), &MediaEngine::completed);
        click(f, "bt_vplay");
        QVERIFY(!w.listArea()->folderList()->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(v->output()->framesPainted() > painted, kWait);
        QTRY_VERIFY_WITH_TIMEOUT(!ended.isEmpty(), kWait);
        QCOMPARE(ended.at(0).at(0).value<MediaEngine::Command>(), MediaEngine::Command::Play);
        QVERIFY(ended.at(0).at(1).toBool());
        QVERIFY(v->engine().position() > 900); // a.mpg lasts one second
        click(f, "bt_vstop");
        QCOMPARE(v->engine().deviceId(), 0);
        QVERIFY(v->output()->frame().isNull());
        QVERIFY(w.listArea()->folderList()->isEnabled());
    }
}

void TstVideoView::lockIsReleasedOnce_data()
{
    // Steps on a.mpg, loaded from a list of a.mpg, b.mpg and junk.avi: buttons by name, "end"
    // waits for the end of the clip, "space" and "escape" are keys to the focused widget,
    // "other file" routes b.mpg (as a second start of the program does), "folder" opens
    // another folder, "mode" chooses the picture mode, "close" closes the window, "message"
    // waits for the error message. `open`: the clip is still open afterwards.
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<bool>("open");
    QTest::newRow("play twice") << QStringList{"bt_vplay", "bt_vplay", "bt_vstop"} << false;
    QTest::newRow("play while paused") << QStringList{"bt_vplay", "bt_vpause", "bt_vplay", "escape"} << false;
    QTest::newRow("play after end") << QStringList{"bt_vplay", "end", "bt_vplay", "bt_vstop"} << false;
    QTest::newRow("play after next") << QStringList{"bt_vplay", "bt_vnext", "bt_vplay", "escape"} << false;
    QTest::newRow("space after end") << QStringList{"bt_vplay", "end", "space", "escape"} << false;
    QTest::newRow("end without stop") << QStringList{"bt_vplay", "bt_vplay", "end"} << true;
    QTest::newRow("failure in the chain") << QStringList{"bt_chain", "bt_vplay", "message"} << false;
    QTest::newRow("another file") << QStringList{"bt_vplay", "bt_vplay", "other file"} << false;
    QTest::newRow("another folder") << QStringList{"bt_vplay", "folder"} << false;
    QTest::newRow("view switch") << QStringList{"bt_vplay", "bt_vpause", "bt_vplay", "mode"} << false;
    QTest::newRow("window closed") << QStringList{"bt_vplay", "bt_vplay", "close"} << false;
}

void TstVideoView::lockIsReleasedOnce()
{
    QFETCH(QStringList, steps);
    QFETCH(bool, open);
    WindowFixture f;
    MainWindow &w = startWith(f, {"a.mpg", "b.mpg", "junk.avi"});
    QDir().mkpath(f.path("other"));
    QVERIFY(load(f, 0));
    MediaEngine &e = w.videoView()->engine();
    QVERIFY(!f.find<QToolButton>("bt_usermask3")->isEnabled()); // no caption
    for (const QString &step : steps) {
        QWidget *focus = QApplication::focusWidget() ? QApplication::focusWidget() : &w;
        if (step == QLatin1String("end"))
            QTRY_VERIFY_WITH_TIMEOUT(e.mode() != MediaEngine::Mode::Playing, kWait);
        else if (step == QLatin1String("space"))
            QTest::keyClick(focus, Qt::Key_Space);
        else if (step == QLatin1String("escape"))
            QTest::keyClick(focus, Qt::Key_Escape);
        else if (step == QLatin1String("other file"))
            w.host().showFile(f.path("vids/b.mpg"));
        else if (step == QLatin1String("folder"))
            w.listArea()->openFolder(f.path("other"));
        else if (step == QLatin1String("mode"))
            w.host().enterMode(ViewMode::Pictures);
        else if (step == QLatin1String("close"))
            w.close();
        else if (step == QLatin1String("message"))
            QTRY_COMPARE_WITH_TIMEOUT(f.prompter.messages(), QStringList{"Cannot open file!"}, 2 * kWait);
        else
            click(f, step.toLatin1().constData());
    }
    QCOMPARE(e.deviceId() > 0, open);
    QVERIFY(w.listArea()->folderList()->isEnabled());
    QVERIFY(w.listArea()->tree()->isEnabled());
    // All twenty-eight mask buttons alike, user masks without a caption too.
    for (const char *n : {"bt_showview", "bt_showzip", "bt_close", "bt_maskwahl0", "bt_usermask3"})
        QVERIFY2(f.find<QToolButton>(n)->isEnabled(), n);
    for (const char *n : {"tbar_mask", "tbar_main", "tbar_view"})
        QVERIFY2(f.find<QWidget>(n)->isEnabled(), n);
    if (!w.isVisible())
        return; // closed
    if (w.views()->currentWidget()->objectName() != QLatin1String("pn_videomain"))
        w.host().enterMode(ViewMode::None);
    w.listArea()->openFolder(f.path("vids"));
    QTRY_COMPARE(w.listArea()->folderList()->count(), 3);
    // Loading and playing again locks, and one Stop frees again.
    QVERIFY(load(f, 0));
    click(f, "bt_vplay");
    QVERIFY(!w.listArea()->folderList()->isEnabled());
    QVERIFY(!f.find<QToolButton>("bt_usermask3")->isEnabled());
    click(f, "bt_vstop");
    QVERIFY(w.listArea()->folderList()->isEnabled());
    QVERIFY(f.find<QToolButton>("bt_usermask3")->isEnabled());
}

void TstVideoView::repeatRestartsAtTheEnd()
{
    WindowFixture f;
    MainWindow &w = startWith(f, {"b.mpg"});
    QVERIFY(load(f, 0));
    VideoView *v = w.videoView();
    click(f, "bt_repeat");
    QVERIFY(v->repeatOn());
    QSignalSpy done(&v->engine(), &MediaEngine::completed);
    click(f, "bt_vplay");
    // It ran to its end twice and plays on, still locked.
    auto ends = [&] {
        return std::count_if(done.begin(), done.end(), [](const QList<QVariant> &a) {
            return a.at(0).value<MediaEngine::Command>() == MediaEngine::Command::Play && a.at(1).toBool();
        });
    };
    QTRY_VERIFY_WITH_TIMEOUT(ends() >= 2, kWait);
    QTRY_COMPARE_WITH_TIMEOUT(v->engine().mode(), MediaEngine::Mode::Playing, kWait);
    QVERIFY(!w.listArea()->folderList()->isEnabled());
    click(f, "bt_vstop");
}

void TstVideoView::chainPlaysOnAndAgainAtTheLast()
{
    WindowFixture f;
    MainWindow &w = startWith(f, {"a.mpg", "b.mpg"});
    QVERIFY(load(f, 0));
    VideoView *v = w.videoView();
    click(f, "bt_chain");
    QVERIFY(v->chainOn());
    click(f, "bt_vplay");
    // a.mpg ends: b.mpg is selected, loaded and plays.
    QTRY_COMPARE_WITH_TIMEOUT(v->videoFile(), f.path("vids/b.mpg"), kWait);
    QTRY_COMPARE_WITH_TIMEOUT(v->baseSize(), QSize(160, 120), kWait);
    QTRY_COMPARE_WITH_TIMEOUT(v->engine().mode(), MediaEngine::Mode::Playing, kWait);
    QCOMPARE(w.listArea()->folderList()->currentRow(), 1);
    QVERIFY(!w.listArea()->folderList()->isEnabled());
    // b.mpg is the last entry: at its end it plays again.
    const int device = v->engine().deviceId();
    QTRY_VERIFY_WITH_TIMEOUT(v->engine().deviceId() > device, kWait);
    QTRY_COMPARE_WITH_TIMEOUT(v->engine().mode(), MediaEngine::Mode::Playing, kWait);
    QCOMPARE(v->videoFile(), f.path("vids/b.mpg"));
    click(f, "bt_vstop");
    QVERIFY(w.listArea()->folderList()->isEnabled());
}

void TstVideoView::framesStepFromButtonsAndKeys()
{
    WindowFixture f;
    MainWindow &w = startWith(f, {"a.mpg"});
    QVERIFY(load(f, 0));
    VideoView *v = w.videoView();
    MediaEngine &e = v->engine();
    auto stepBy = [&](const char *name) {
        QSignalSpy done(&e, &MediaEngine::completed);
        click(f, name);
        return done.wait(kWait) && done.last().at(1).toBool();
    };
    QVERIFY(stepBy("bt_vstep"));
    QCOMPARE(e.frameNumber(), qint64(5));
    QVERIFY(stepBy("bt_vstep"));
    QCOMPARE(e.frameNumber(), qint64(10));
    QVERIFY(stepBy("bt_vstep"));
    QCOMPARE(e.frameNumber(), qint64(15));
    QVERIFY(stepBy("bt_vback"));
    QCOMPARE(e.frameNumber(), qint64(10));
    // After a seek to the end (the position is the end of the file).
    QVERIFY(stepBy("bt_vnext"));
    QTRY_VERIFY_WITH_TIMEOUT(e.frameNumber() >= 23, kWait);
    const qint64 end = e.frameNumber();
    QVERIFY(stepBy("bt_vback"));
    QCOMPARE(e.frameNumber(), end - 5);
    QVERIFY(stepBy("bt_vback"));
    QCOMPARE(e.frameNumber(), end - 10);
    QVERIFY(stepBy("bt_vstep"));
    QCOMPARE(e.frameNumber(), end - 5);
    QVERIFY(stepBy("bt_vprev"));
    QTRY_COMPARE_WITH_TIMEOUT(e.frameNumber(), qint64(0), kWait);
    QTest::qWait(200); // nothing moves on after the seek has landed
    QCOMPARE(e.frameNumber(), qint64(0));
    QVERIFY(stepBy("bt_vstep"));
    QCOMPARE(e.frameNumber(), qint64(5));

    // The keys: Right and Left step, Space plays and pauses, Escape stops.
    w.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    QSignalSpy done(&e, &MediaEngine::completed);
    QTest::keyClick(&w, Qt::Key_Right);
    QVERIFY(done.wait(kWait));
    QCOMPARE(e.frameNumber(), qint64(10));
    QTest::keyClick(&w, Qt::Key_Left);
    QTRY_COMPARE_WITH_TIMEOUT(e.frameNumber(), qint64(5), kWait);
    QTest::keyClick(&w, Qt::Key_Space);
    QCOMPARE(e.mode(), MediaEngine::Mode::Playing);
    QTest::keyClick(&w, Qt::Key_Space);
    QCOMPARE(e.mode(), MediaEngine::Mode::Paused);
    QTest::keyClick(&w, Qt::Key_Escape);
    QCOMPARE(e.deviceId(), 0);
    QVERIFY(w.listArea()->folderList()->isEnabled());
}

void TstVideoView::keysBelongToTheFocusedView()
{
    WindowFixture f;
    QDir().mkpath(f.path("vids/sub/deeper"));
    MainWindow &w = startWith(f, {"a.mpg"});
    QVERIFY(load(f, 0));
    w.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    MediaEngine &e = w.videoView()->engine();
    // The listed folder is the tree's current one, with the folder "sub" in it.
    QTreeView *tv = w.listArea()->tree();
    const QModelIndex folder = tv->currentIndex();
    QCOMPARE(folder.data().toString(), QString("vids"));
    tv->expand(folder);
    QTRY_VERIFY_WITH_TIMEOUT(tv->model()->index(0, 0, folder).isValid(), kWait);
    tv->setFocus();
    QVERIFY(tv->hasFocus());

    // In the tree the arrows open and close the folder; nothing reaches the video.
    QSignalSpy done(&e, &MediaEngine::completed);
    QTest::keyClick(tv, Qt::Key_Left);
    QVERIFY(!tv->isExpanded(folder));
    QTest::keyClick(tv, Qt::Key_Right);
    QVERIFY(tv->isExpanded(folder));
    QCOMPARE(tv->currentIndex(), folder);
    QTest::keyClick(tv, Qt::Key_Space);
    QTest::keyClick(tv, Qt::Key_Escape);
    QCOMPARE(e.mode(), MediaEngine::Mode::Stopped);
    QVERIFY(e.deviceId() > 0);
    QCOMPARE(e.frameNumber(), qint64(0));
    QCOMPARE(done.count(), 0);

    // A click into the picture gives the keys to the video.
    QTest::mouseClick(w.videoView()->videoArea(), Qt::LeftButton, {}, QPoint(5, 5));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Right);
    QVERIFY(done.wait(kWait));
    QCOMPARE(e.frameNumber(), qint64(5));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    QCOMPARE(e.deviceId(), 0);
}

void TstVideoView::previousGoesToTheStart_data()
{
    QTest::addColumn<QString>("clip");
    QTest::newRow("mpeg-1") << "a.mpg";
    QTest::newRow("mpeg-1 with mp2 sound") << "f.mpg";
}

void TstVideoView::previousGoesToTheStart()
{
    QFETCH(QString, clip);
    WindowFixture f;
    MainWindow &w = startWith(f, {clip});
    QVERIFY(load(f, 0));
    VideoView *v = w.videoView();
    MediaEngine &e = v->engine();
    // The seek's own completion (a play it cuts short reports first).
    auto seek = [&](const char *name) {
        QSignalSpy done(&e, &MediaEngine::completed);
        click(f, name);
        auto landed = [&] {
            return std::any_of(done.begin(), done.end(), [](const QList<QVariant> &a) {
                return a.at(0).value<MediaEngine::Command>() == MediaEngine::Command::Seek &&
                       a.at(1).toBool();
            });
        };
        return QTest::qWaitFor(landed, kWait);
    };
    click(f, "bt_vplay");
    QTRY_VERIFY_WITH_TIMEOUT(e.position() > 200, kWait);
    QVERIFY(seek("bt_vprev"));
    QCOMPARE(e.position(), qint64(0));
    QCOMPARE(e.frameNumber(), qint64(0));
    QCOMPARE(v->progressBar()->value(), 0);
    QVERIFY(seek("bt_vnext"));
    QVERIFY(e.position() >= 900);
    QVERIFY(seek("bt_vprev"));
    QCOMPARE(e.position(), qint64(0));
    click(f, "bt_vstop");
}

void TstVideoView::largePictureLeavesZoomAndStatusReachable()
{
    WindowFixture f;
    MainWindow &w = startWith(f, {"a.mpg"});
    QVERIFY(load(f, 0));
    VideoView *v = w.videoView();
    click(f, "bt_vplay");
    v->trackBar()->setValue(kVideoZoomMax); // 1600 x 1200 in a smaller view
    const QRect area = v->videoArea()->contentsRect();
    QVERIFY(v->output()->width() > area.width() && v->output()->height() > area.height());
    // Still centred by the arithmetic, but cut above the zoom row.
    QCOMPARE(v->output()->geometry(), video_layout(QSize(320, 240), kVideoZoomMax, area.size()).panel);
    const QRect shown = v->output()->visibleRegion().boundingRect().translated(
        v->output()->mapTo(v->videoArea(), QPoint(0, 0)));
    QVERIFY(!shown.isEmpty());
    QVERIFY(shown.bottom() < v->trackBar()->parentWidget()->geometry().top());
    // What is under the middle of the track bar and of the status bar is they themselves.
    for (QWidget *target : {static_cast<QWidget *>(v->trackBar()), static_cast<QWidget *>(v->statusBar())}) {
        QWidget *hit = w.childAt(target->mapTo(&w, target->rect().center()));
        QVERIFY(hit == target || target->isAncestorOf(hit));
    }
    // The zoom can still be moved with the mouse.
    QTest::mouseClick(v->trackBar(), Qt::LeftButton, {}, QPoint(5, v->trackBar()->height() / 2));
    QVERIFY(v->trackBar()->value() < kVideoZoomMax);
    click(f, "bt_vstop");
}

void TstVideoView::enlargedPictureDrawsOnlyWhatShows()
{
    // Enlarged past the view, only the part inside the view is drawn, and it is that part of
    // the picture: each point matches the point of the 100 % frame it enlarges.
    WindowFixture f;
    MainWindow &w = startWith(f, {"a.mpg"});
    QVERIFY(load(f, 0));
    VideoView *v = w.videoView();
    VideoRenderer *r = v->engine().renderer();
    QTRY_COMPARE_WITH_TIMEOUT(r->frame().size(), QSize(320, 240), kWait);
    const QImage whole = r->frame();
    constexpr int kFactor = 4;
    v->trackBar()->setValue((kFactor - 1) * 100);
    const VideoLayout l =
        video_layout(QSize(320, 240), (kFactor - 1) * 100, v->videoArea()->contentsRect().size());
    const QRect part = video_visible_part(l, v->videoArea()->contentsRect().size());
    QVERIFY(part.width() < 1280 && part.height() < 960 && part.x() > 0 && part.y() > 0);
    auto mismatches = [&] {
        QRect drawn;
        const QImage frame = r->frame(&drawn);
        if (drawn != part || frame.size() != part.size())
            return 1 << 30;
        int bad = 0;
        for (int y = 4; y < frame.height() - 4; y += 16)
            for (int x = 4; x < frame.width() - 4; x += 16) {
                const QRgb a = frame.pixel(x, y);
                const QRgb b = whole.pixel((part.x() + x) / kFactor, (part.y() + y) / kFactor);
                const int d = std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                                        std::abs(qBlue(a) - qBlue(b))});
                bad += d > 48 ? 1 : 0;
            }
        return bad;
    };
    // Edges of the test picture blur when enlarged: a few points may differ, a shift would not.
    const int points = (part.width() / 16) * (part.height() / 16);
    QTRY_VERIFY2_WITH_TIMEOUT(mismatches() * 10 < points, qPrintable(QString::number(mismatches())), kWait);
    // The panel paints the frame at its place in the picture.
    QCOMPARE(v->output()->displayRect(), l.display);
}

void TstVideoView::notAVideoGivesTheMessage()
{
    WindowFixture f;
    MainWindow &w = startWith(f, {"junk.avi"});
    QVERIFY(!load(f, 0));
    QCOMPARE(f.prompter.messages(), QStringList{"Cannot open file!"});
    VideoView *v = w.videoView();
    QCOMPARE(v->engine().deviceId(), 0);
    QVERIFY(w.listArea()->folderList()->isEnabled());
    QVERIFY(f.find<QToolButton>("bt_loadmovie")->isEnabled());
    QVERIFY(!f.find<QToolButton>("bt_vplay")->isEnabled());
    QVERIFY(!v->output()->isVisible());
}

void TstVideoView::listsAndReferencesOpenNothing_data()
{
    // Text files disguised as videos that name another file, local or on a loopback server;
    // %1 is the server's address, %2 a real clip; sub/rel.mpg beside the list is one too.
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("content");
    QTest::newRow("edl remote") << "x.mpg"
                                << "# mpv EDL v0\n%1/a.mpg\n";
    QTest::newRow("edl local") << "x.avi"
                               << "# mpv EDL v0\n%2\n";
    QTest::newRow("ffconcat") << "x.avi"
                              << "ffconcat version 1.0\nfile 'sub/rel.mpg'\nfile '%1/b.mpg'\n";
    QTest::newRow("hls") << "x.avi"
                         << "#EXTM3U\n#EXT-X-TARGETDURATION:10\n#EXTINF:10,\n%1/s.ts\n"
                            "#EXT-X-ENDLIST\n";
    QTest::newRow("m3u") << "x.mpg"
                         << "#EXTM3U\n#EXTINF:1,a\n%1/a.mpg\n%2\n";
    QTest::newRow("pls") << "x.avi"
                         << "[playlist]\nFile1=%1/a.mpg\nFile2=%2\nNumberOfEntries=2\n";
    QTest::newRow("cue") << "x.mpg"
                         << "FILE \"%2\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n";
    QTest::newRow("mf") << "x.mpg"
                        << "mf://%2\n";
}

void TstVideoView::listsAndReferencesOpenNothing()
{
    QFETCH(QString, name);
    QFETCH(QString, content);
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost));
    int requests = 0;
    connect(&server, &QTcpServer::newConnection, &server, [&] {
        while (QTcpSocket *s = server.nextPendingConnection()) {
            ++requests;
            s->close();
            s->deleteLater();
        }
    });
    const QString url = QStringLiteral("http://127.0.0.1:%1").arg(server.serverPort());
    WindowFixture f;
    QDir().mkpath(f.path("vids"));
    const QString clip = f.path("real.mpg");
    QVERIFY(QFile::copy(clips_.filePath("a.mpg"), clip));
    QDir().mkpath(f.path("vids/sub"));
    QVERIFY(QFile::copy(clips_.filePath("a.mpg"), f.path("vids/sub/rel.mpg")));
    writeFile(f.path("vids/" + name), QString(content).replace("%1", url).replace("%2", clip).toUtf8());
    writeFile(f.path("vorn.cfg"), "0\r\n0\r\n1\r\nnormal\r\n");
    MainWindow &w = f.start();
    w.resize(900, 700);
    w.listArea()->openFolder(f.path("vids"));
    QTRY_COMPARE(w.listArea()->folderList()->count(), 1);
    QVERIFY(!load(f, 0));
    QCOMPARE(f.prompter.messages(), QStringList{"Cannot open file!"});
    QCOMPARE(w.videoView()->engine().deviceId(), 0);
    // Give a late fetch time to arrive before the count is taken.
    QTest::qWait(300);
    QCOMPARE(requests, 0);
}

void TstVideoView::formatsLoad_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("size");
    QTest::newRow("mpeg-2") << "c.mpeg"
                            << "352 x 288";
    QTest::newRow("avi") << "d.avi"
                         << "176 x 144";
    QTest::newRow("mp4") << "e.mp4"
                         << "320 x 180";
}

void TstVideoView::formatsLoad()
{
    QFETCH(QString, file);
    WindowFixture f;
    MainWindow &w = startWith(f, {file});
    QVERIFY(load(f, 0));
    QTEST(w.videoView()->statusBar()->panelText(0), "size");
}

void TstVideoView::openGlDrawsAtTheDisplayRect()
{
    // Where OpenGL is at hand (X11 or Wayland, also a rasterizer such as Mesa's under a
    // virtual display; never on the offscreen platform of the suite) the same view draws
    // through it: the surface follows the display rectangle and shows the picture.
    qputenv("VORN_VIDEO_OUTPUT", "opengl");
    const auto restore = qScopeGuard([] { qunsetenv("VORN_VIDEO_OUTPUT"); });
    if (!VideoGlWidget::available())
        QSKIP("no OpenGL on this platform");
    WindowFixture f;
    MainWindow &w = startWith(f, {"a.mpg"});
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QVERIFY(load(f, 0));
    VideoView *v = w.videoView();
    QVERIFY(v->drawsWithOpenGL());
    QVERIFY(!v->engine().renderer());
    QCOMPARE(v->glSurface()->parentWidget(), v->output());
    QCOMPARE(v->glSurface()->geometry(), QRect(3, 3, 320, 240));
    click(f, "bt_vplay");
    QCOMPARE(v->glSurface()->geometry(), v->output()->displayRect());
    QCOMPARE(v->glSurface()->size(), QSize(323, 242)); // 101 %
    QTRY_VERIFY_WITH_TIMEOUT(v->engine().framesDrawn() > 0, kWait);
    click(f, "bt_vpause");
    // The picture, not black: most points of a grid over it have colour.
    const QImage shot = v->glSurface()->grabFramebuffer();
    int coloured = 0;
    for (int y = 10; y < shot.height(); y += 20)
        for (int x = 10; x < shot.width(); x += 20)
            coloured += qGray(shot.pixel(x, y)) > 24 ? 1 : 0;
    QVERIFY2(coloured > 100, qPrintable(QString::number(coloured)));
    click(f, "bt_vstop");
    QCOMPARE(v->engine().deviceId(), 0);
    QVERIFY(!v->output()->isVisible());
    // The next video loads through OpenGL again.
    QVERIFY(load(f, 0));
    QVERIFY(v->drawsWithOpenGL());
}

QTEST_MAIN(TstVideoView)
#include "tst_video_view.moc"
