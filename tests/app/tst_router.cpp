// Routing of files to views without widgets: the kind table, the modes, the slideshow, the
// release on a change of extension, and the counted lock-out.
#include "app/view_router.h"
#include "files/file_viewer.h"
#include "support/scripted_prompter.h"

#include <QSignalSpy>
#include <QtTest>

using namespace vorn;

namespace
{

struct RecordingViewer : FileViewer {
    QStringList shown;
    int released = 0;
    void showFile(const QString &path) override { shown << path; }
    void releaseFile() override { ++released; }
};

struct RouterFixture {
    ScriptedPrompter prompter;
    AppContext ctx{Paths{}, prompter};
    ViewRouter router{ctx};
    RecordingViewer pictures, text, zip;
    RouterFixture()
    {
        router.registerViewer(View::Pictures, &pictures);
        router.registerViewer(View::Text, &text);
        router.registerViewer(View::Zip, &zip);
    }
};

} // namespace

Q_DECLARE_METATYPE(vorn::ViewMode)
Q_DECLARE_METATYPE(vorn::View)

class TstRouter : public QObject
{
    Q_OBJECT
  private slots:
    void routesByKindAndMode_data();
    void routesByKindAndMode();
    void zipModeRoutesNothing();
    void picturesOnlyInPictureModeOrSlideshow();
    void extensionChangeReleases();
    void lockOutIsCounted();
};

void TstRouter::routesByKindAndMode_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<ViewMode>("mode");
    QTest::addColumn<View>("view");
    QTest::newRow("picture") << "/d/PHOTO.JPG" << ViewMode::Pictures << View::Pictures;
    QTest::newRow("zip in picture mode") << "/d/a.zip" << ViewMode::Pictures << View::Zip;
    QTest::newRow("zip in rename mode is text") << "/d/a.zip" << ViewMode::Rename << View::Text;
    QTest::newRow("no extension is text") << "/d.x/README" << ViewMode::Pictures << View::Text;
    QTest::newRow("html") << "/d/page.htm" << ViewMode::Pictures << View::Html;
    QTest::newRow("video") << "/d/clip.mpg" << ViewMode::Rename << View::Video;
}

void TstRouter::routesByKindAndMode()
{
    QFETCH(QString, file);
    QFETCH(ViewMode, mode);
    QFETCH(View, view);
    RouterFixture f;
    QSignalSpy front(&f.router, &ViewRouter::frontRequested);
    f.router.enterMode(mode);
    f.router.route(file);
    QCOMPARE(f.ctx.view(), view);
    QCOMPARE(front.last().at(0).value<View>(), view);
    QCOMPARE(view_for_kind(file_kind(file), mode), view);
}

void TstRouter::zipModeRoutesNothing()
{
    RouterFixture f;
    f.router.enterMode(ViewMode::Zip);
    QCOMPARE(f.ctx.view(), View::Zip);
    f.router.route("/d/a.txt");
    f.router.route("/d/b.jpg");
    QCOMPARE(f.ctx.view(), View::Zip);
    QVERIFY(f.text.shown.isEmpty() && f.pictures.shown.isEmpty());
}

void TstRouter::picturesOnlyInPictureModeOrSlideshow()
{
    RouterFixture f;
    f.router.enterMode(ViewMode::Rename);
    f.router.route("/d/a.jpg");
    QCOMPARE(f.ctx.view(), View::Pictures); // its panel comes to the front, empty
    QVERIFY(f.pictures.shown.isEmpty());
    f.ctx.setSlideshowRunning(true);
    f.router.route("/d/b.jpg");
    QCOMPARE(f.pictures.shown, QStringList{"/d/b.jpg"});
    f.ctx.setSlideshowRunning(false);
    f.router.enterMode(ViewMode::Pictures);
    f.router.route("/d/c.jpg");
    QCOMPARE(f.pictures.shown.last(), QString("/d/c.jpg"));
}

void TstRouter::extensionChangeReleases()
{
    RouterFixture f;
    QSignalSpy reset(&f.router, &ViewRouter::viewsReset);
    f.router.enterMode(ViewMode::Pictures);
    f.router.route("/d/a.jpg"); // .jpg is where the window starts: nothing to release
    QCOMPARE(reset.count(), 0);
    f.router.route("/d/a.txt");
    QCOMPARE(reset.count(), 1);
    QCOMPARE(f.pictures.released, 1);
    QCOMPARE(f.text.released, 1);
    f.router.route("/d/b.txt");
    QCOMPARE(reset.count(), 1);
    // While the slideshow runs an entry of another kind does not reset the views.
    f.ctx.setSlideshowRunning(true);
    f.router.route("/d/c.jpg");
    QCOMPARE(reset.count(), 1);
    QCOMPARE(f.pictures.shown.last(), QString("/d/c.jpg"));
}

void TstRouter::lockOutIsCounted()
{
    RouterFixture f;
    QList<bool> calls;
    f.router.addLockout([&](bool locked) { calls << locked; });
    f.router.setLocked(true);
    f.router.setLocked(true); // a second long operation inside the first
    f.router.setLocked(false);
    QVERIFY(f.router.isLocked());
    f.router.setLocked(false);
    f.router.setLocked(false); // one too many changes nothing
    QCOMPARE(calls, (QList<bool>{true, false}));
    QVERIFY(!f.router.isLocked());
}

QTEST_GUILESS_MAIN(TstRouter)
#include "tst_router.moc"
