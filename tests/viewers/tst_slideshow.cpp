// The slideshow: the tick rules, pause and navigation, interval and styles as tables, then the
// control panel and slideshow mode on the real main window (ticks driven by hand).
#include "app/function_bar_view.h"
#include "app/view_stack_view.h"
#include "files/file_viewer.h"
#include "files/list_area_view.h"
#include "files/view_host.h"
#include "support/test_support.h"
#include "viewers/pictures/slide_host.h"
#include "viewers/pictures/slideshow.h"
#include "viewers/pictures/slideshow_view.h"
#include "widgets/collapsible_toolbar.h"

#include <QApplication>
#include <QFileInfo>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QTimer>
#include <QToolButton>

using namespace vorn;
using namespace vorn::test;

namespace
{

// A list of n entries that records what it was asked to show.
struct FakeList : SlideList {
    int n = 3;
    int selected = -1;
    int focused = -1;
    QList<int> shown;

    int count() const override { return n; }
    int selectedIndex() const override { return selected; }
    int focusedIndex() const override { return focused; }
    void select(int i, bool show) override
    {
        if (i < 0 || i >= n)
            return;
        selected = focused = i;
        if (show)
            shown << i;
    }
    void deselect() override { selected = -1; }
};

// Runs ticks and writes one word per tick: S(tepped), R(estarted), E(nded) or I(gnored),
// the entry shown by it (or "-") and the counter.
QString runTicks(Slideshow &s, FakeList &l, int ticks)
{
    QStringList words;
    for (int t = 0; t < ticks; ++t) {
        const qsizetype before = l.shown.size();
        const Slideshow::Tick r = s.tick(l);
        const char *letter = r == Slideshow::Tick::Stepped     ? "S"
                             : r == Slideshow::Tick::Restarted ? "R"
                             : r == Slideshow::Tick::Ended     ? "E"
                                                               : "I";
        if (r == Slideshow::Tick::Ended || r == Slideshow::Tick::Ignored) {
            words << letter;
            continue;
        }
        const QString what = l.shown.size() > before ? QString::number(l.shown.last()) : QStringLiteral("-");
        words << letter + what + ' ' + s.counterText();
    }
    return words.join(", ");
}

QString navFlags(const SlideControls &c)
{
    return QString("%1%2%3%4")
        .arg(int(c.firstEnabled))
        .arg(int(c.prevEnabled))
        .arg(int(c.nextEnabled))
        .arg(int(c.lastEnabled));
}

// Stands in for the picture view: remembers the calls, its area is the picture panel.
struct TestHost : SlideHost {
    QWidget *area = nullptr;
    ViewStyle style = ViewStyle::Normal;
    QStringList calls;

    QWidget *slideArea() override { return area; }
    ViewStyle slideStyle() const override { return style; }
    void enterSlideMode() override { calls << "enter"; }
    void showSlide(const QString &path, ViewStyle s) override
    {
        calls << QString("show %1 %2").arg(QFileInfo(path).fileName()).arg(slide_style_tag(s));
    }
    void leaveSlideMode() override { calls << "leave"; }
};

struct Recorder : FileViewer {
    QStringList names;
    void showFile(const QString &path) override { names << QFileInfo(path).fileName(); }
};

} // namespace

class TstSlideshow : public QObject
{
    Q_OBJECT
  private slots:
    // The rules.
    void ticks_data();
    void ticks();
    void pauseIgnoresTicks();
    void navigation_data();
    void navigation();
    void interval_data();
    void interval();
    void controlsThroughTheModes();

    // The window.
    void showRunsAndEnds();
    void repeatStartsAgain();
    void intervalButtons();
    void pauseAndLast();
    void styleButtonsAndPanelPlace();
    void dragKeepsPanelInside();
    void showButtonFollowsList();

  private:
    struct Setup {
        TestHost host;
        Recorder seen;
        SlideshowView *view = nullptr;
        WindowFixture f; // goes first, before what it points to
    };
    // A German window listing a.jpg, b.jpg, c.jpg, the first selected, in slideshow mode.
    void enterShow(Setup &s, int files = 3);
    void click(Setup &s, const char *name) { QTest::mouseClick(s.view->button(name), Qt::LeftButton); }
    QString counter(Setup &s) { return s.f.find<QLabel>("pn_diashowcount")->text(); }
    QString status(Setup &s) { return s.f.find<QLabel>("pn_diashowstat")->text(); }
};

void TstSlideshow::ticks_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("focus");
    QTest::addColumn<bool>("repeat");
    QTest::addColumn<int>("ticks");
    QTest::addColumn<QString>("log");
    QTest::newRow("three, once") << 3 << 0 << false << 5 << "S0 1/3, S1 2/3, S2 3/3, S- 3/3, E";
    QTest::newRow("three, repeat") << 3 << 0 << true << 7
                                   << "S0 1/3, S1 2/3, S2 3/3, S- 3/3, R0 1/3, S1 2/3, S2 3/3";
    QTest::newRow("starts at the focus") << 3 << 1 << false << 4 << "S1 2/3, S2 3/3, S- 3/3, E";
    QTest::newRow("no selection starts at the first") << 3 << -1 << false << 2 << "S0 1/3, S1 2/3";
    QTest::newRow("one entry") << 1 << 0 << true << 4 << "S0 1/1, S- 1/1, R0 1/1, S- 1/1";
    QTest::newRow("empty list ends") << 0 << -1 << false << 3 << "S- 0/0, S- 0/0, E";
}

void TstSlideshow::ticks()
{
    QFETCH(int, count);
    QFETCH(int, focus);
    QFETCH(bool, repeat);
    QFETCH(int, ticks);
    QFETCH(QString, log);
    FakeList l;
    l.n = count;
    if (focus >= 0)
        l.selected = l.focused = focus;
    Slideshow s;
    s.enter(ViewStyle::Normal);
    s.start(l);
    QVERIFY(l.shown.isEmpty()); // the first slide comes one interval after the start
    QCOMPARE(s.counterText(), QString("%1/%2").arg(qMax(focus, 0) + (count ? 1 : 0)).arg(count));
    s.setRepeat(repeat);
    QCOMPARE(runTicks(s, l, ticks), log);
    const bool ended = log.endsWith('E');
    QCOMPARE(s.running(), !ended);
    if (ended) {
        QCOMPARE(s.status(), SlideStatus::Done);
        QCOMPARE(s.position(), 0);
        QVERIFY(s.controls().startEnabled);
        QVERIFY(!s.controls().pauseEnabled);
        QCOMPARE(runTicks(s, l, 1), QString("I")); // nothing runs after the end
    }
}

void TstSlideshow::pauseIgnoresTicks()
{
    FakeList l;
    l.selected = l.focused = 0;
    Slideshow s;
    s.enter(ViewStyle::Normal);
    s.start(l);
    QCOMPARE(runTicks(s, l, 2), QString("S0 1/3, S1 2/3"));
    s.setPaused(true);
    QCOMPARE(s.status(), SlideStatus::Paused);
    QCOMPARE(runTicks(s, l, 3), QString("I, I, I"));
    // The first "previous" after pausing selects the entry that is shown; resuming shows the
    // entry at the position again before moving on.
    s.navigate(l, SlideNav::Prev);
    QCOMPARE(l.shown.last(), 1);
    s.setPaused(false);
    QCOMPARE(s.status(), SlideStatus::Running);
    QCOMPARE(navFlags(s.controls()), QString("0000"));
    QVERIFY(!s.controls().startEnabled);
    QCOMPARE(runTicks(s, l, 2), QString("S1 2/3, S2 3/3"));
}

void TstSlideshow::navigation_data()
{
    QTest::addColumn<int>("ticks");
    QTest::addColumn<QList<int>>("clicks");
    QTest::addColumn<int>("selected");
    QTest::addColumn<QString>("flags");
    QTest::addColumn<QString>("counter");
    QTest::newRow("pause only") << 1 << QList<int>{} << 0 << "1111"
                                << "1/3";
    QTest::newRow("last") << 1 << QList<int>{3} << 2 << "1100"
                          << "3/3";
    QTest::newRow("first") << 3 << QList<int>{0} << 0 << "0011"
                           << "1/3";
    QTest::newRow("prev shows the shown entry") << 2 << QList<int>{1} << 1 << "1111"
                                                << "2/3";
    QTest::newRow("prev twice") << 2 << QList<int>{1, 1} << 0 << "0011"
                                << "1/3";
    QTest::newRow("next after last stays") << 1 << QList<int>{3, 2} << 2 << "1100"
                                           << "3/3";
    QTest::newRow("prev before first stays") << 1 << QList<int>{0, 1} << 0 << "0011"
                                             << "1/3";
}

void TstSlideshow::navigation()
{
    QFETCH(int, ticks);
    QFETCH(QList<int>, clicks);
    QFETCH(int, selected);
    QFETCH(QString, flags);
    QFETCH(QString, counter);
    FakeList l;
    l.selected = l.focused = 0;
    Slideshow s;
    s.enter(ViewStyle::Normal);
    s.start(l);
    runTicks(s, l, ticks);
    s.setPaused(true);
    for (int c : clicks)
        s.navigate(l, SlideNav(c));
    QCOMPARE(l.selected, selected);
    QCOMPARE(navFlags(s.controls()), flags);
    QCOMPARE(s.counterText(), counter);
    // A click puts the position on the entry it shows; before one it is one past the shown.
    QCOMPARE(s.position(), clicks.isEmpty() ? ticks : selected);
}

void TstSlideshow::interval_data()
{
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("clicks"); // positive: up, negative: down
    QTest::addColumn<int>("seconds");
    QTest::addColumn<int>("ms");
    QTest::newRow("3 down once") << 3 << -1 << 2 << 2000;
    QTest::newRow("3 up once") << 3 << 1 << 4 << 4000;
    QTest::newRow("never below 1") << 3 << -5 << 1 << 1000;
    QTest::newRow("never above 360") << 358 << 5 << 360 << 360000;
    QTest::newRow("typed above the range") << 999 << -1 << 359 << 359000;
    QTest::newRow("typed below the range") << 0 << 1 << 2 << 2000;
}

void TstSlideshow::interval()
{
    QFETCH(int, from);
    QFETCH(int, clicks);
    QFETCH(int, seconds);
    QFETCH(int, ms);
    Slideshow s;
    QCOMPARE(s.intervalMs(), 3000);
    s.setSeconds(from);
    int last = 0;
    for (int i = 0; i < qAbs(clicks); ++i)
        last = clicks > 0 ? s.intervalUp() : s.intervalDown();
    QCOMPARE(s.seconds(), seconds);
    QCOMPARE(last, ms);
}

void TstSlideshow::controlsThroughTheModes()
{
    FakeList l;
    Slideshow s;
    s.enter(ViewStyle::Center);
    QCOMPARE(s.style(), ViewStyle::Center);
    SlideControls idle;
    idle.pauseEnabled = false;
    QCOMPARE(s.controls(), idle);
    QCOMPARE(s.status(), SlideStatus::None);
    QVERIFY(s.counterText().isEmpty());

    s.start(l);
    QVERIFY(s.running());
    QVERIFY(!s.controls().startEnabled && s.controls().pauseEnabled && s.controls().stylesEnabled);
    QCOMPARE(l.selected, 0);
    QVERIFY(l.shown.isEmpty()); // selected without being shown
    s.setRepeat(true);
    s.setPaused(true);
    s.stop();
    QVERIFY(!s.running());
    QCOMPARE(s.controls(), idle);
    QVERIFY(s.counterText().isEmpty());
    QCOMPARE(s.status(), SlideStatus::None);

    QCOMPARE(slide_style_for_tag(5), ViewStyle::Normal);
    QCOMPARE(slide_style_for_tag(6), ViewStyle::Center);
    QCOMPARE(slide_style_for_tag(7), ViewStyle::BestFit);
    QCOMPARE(slide_style_tag(ViewStyle::BestFit), 7);
}

// ---- on the real window ----

void TstSlideshow::enterShow(Setup &s, int files)
{
    writeFile(s.f.path("vorn.cfg"), "0\r\n0\r\n0\r\nnormal\r\n");
    const QStringList names{"a.jpg", "b.jpg", "c.jpg", "d.jpg"};
    for (int i = 0; i < files; ++i)
        writeFile(s.f.path("pics/" + names[i]), "x");
    MainWindow &w = s.f.start();
    // The picture view, entered by its button (the empty view is in front at start).
    QTest::mouseClick(s.f.find<QToolButton>("bt_showview"), Qt::LeftButton);
    w.listArea()->openFolder(s.f.path("pics"));
    QTRY_COMPARE(w.listArea()->folderList()->count(), files);
    w.host().registerViewer(View::Pictures, &s.seen);
    s.host.area = w.views()->panel(View::Pictures);
    s.view = w.slideshow();
    QVERIFY(s.view);
    s.view->setHost(&s.host);
    w.listArea()->folderList()->selectRow(0);
    s.view->bt_diashowClick();
    QCoreApplication::processEvents();
}

void TstSlideshow::showRunsAndEnds()
{
    Setup s;
    enterShow(s);
    MainWindow &w = *s.f.window;
    QCOMPARE(s.host.calls, QStringList{"enter"});
    QVERIFY(s.view->isVisible());
    for (QWidget *bar : {static_cast<QWidget *>(w.listArea()), static_cast<QWidget *>(w.maskBar()),
                         static_cast<QWidget *>(w.sortBar()), static_cast<QWidget *>(w.functionBar())})
        QVERIFY2(bar->isHidden(), qPrintable(bar->objectName()));
    QVERIFY(counter(s).isEmpty() && status(s).isEmpty());
    QVERIFY(!s.view->button("bt_diafirst")->isEnabled());
    QVERIFY(!s.view->button("bt_diacenter")->isEnabled());

    click(s, "bt_startdiashow");
    s.view->timer()->stop(); // ticks are driven by hand
    QVERIFY(w.context().slideshowRunning());
    QVERIFY(!s.view->button("bt_startdiashow")->isEnabled());
    QVERIFY(s.view->button("bt_diacenter")->isEnabled());
    QCOMPARE(status(s), QString("Diaschau läuft"));
    QCOMPARE(counter(s), QString("1/3"));
    QVERIFY(s.seen.names.isEmpty());

    const QStringList expected{"a.jpg", "b.jpg", "c.jpg"};
    for (int t = 0; t < 3; ++t) {
        s.view->tm_diashowTimer();
        QCOMPARE(s.seen.names, expected.mid(0, t + 1));
        QCOMPARE(counter(s), QString("%1/3").arg(t + 1));
    }
    s.view->tm_diashowTimer(); // nothing new
    QCOMPARE(s.seen.names, expected);
    QVERIFY(w.context().slideshowRunning());

    s.view->tm_diashowTimer(); // the end: back to the normal view, showing the first entry
    QVERIFY(!w.context().slideshowRunning());
    QVERIFY(!s.view->timer()->isActive());
    QVERIFY(s.view->isHidden());
    QCOMPARE(s.seen.names, expected + QStringList{"a.jpg"});
    QCOMPARE(s.host.calls, (QStringList{"enter", "leave"}));
    QCOMPARE(w.listArea()->folderList()->selectedRows(), QList<int>{0});
    QVERIFY(w.listArea()->isVisible() && w.maskBar()->isVisible() && w.sortBar()->isVisible() &&
            w.functionBar()->isVisible());
    QCOMPARE(w.views()->currentWidget()->objectName(), QString("pn_viewmain"));
}

void TstSlideshow::repeatStartsAgain()
{
    Setup s;
    enterShow(s);
    click(s, "bt_startdiashow");
    s.view->timer()->stop();
    click(s, "bt_repeatshow");
    QVERIFY(s.view->state().repeat());
    for (int t = 0; t < 5; ++t)
        s.view->tm_diashowTimer();
    QCOMPARE(s.seen.names, (QStringList{"a.jpg", "b.jpg", "c.jpg", "a.jpg"}));
    QCOMPARE(counter(s), QString("1/3"));
    QVERIFY(s.f.window->context().slideshowRunning());
    s.view->tm_diashowTimer();
    QCOMPARE(s.seen.names.last(), QString("b.jpg"));

    // Stop leaves slideshow mode with every flag cleared.
    click(s, "bt_stopshow");
    QVERIFY(!s.f.window->context().slideshowRunning());
    QVERIFY(!s.view->button("bt_repeatshow")->isChecked());
    QVERIFY(s.view->isHidden());
    QCOMPARE(s.seen.names.last(), QString("a.jpg"));
}

void TstSlideshow::intervalButtons()
{
    Setup s;
    enterShow(s);
    auto *ed = s.f.find<QLineEdit>("ed_diatime");
    QCOMPARE(ed->text(), QString("3"));
    QCOMPARE(s.view->timer()->interval(), 3000);
    click(s, "bt_diatimedown");
    QCOMPARE(ed->text(), QString("2"));
    QCOMPARE(s.view->timer()->interval(), 2000);
    for (int i = 0; i < 3; ++i)
        click(s, "bt_diatimedown");
    QCOMPARE(ed->text(), QString("1"));
    QCOMPARE(s.view->timer()->interval(), 1000);
    QVERIFY(s.view->button("bt_diatimedown")->isEnabled() && s.view->button("bt_diatimeup")->isEnabled());
    ed->setText("360");
    click(s, "bt_diatimeup");
    QCOMPARE(ed->text(), QString("360"));
    QCOMPARE(s.view->timer()->interval(), 360000);
}

void TstSlideshow::pauseAndLast()
{
    Setup s;
    enterShow(s);
    click(s, "bt_startdiashow");
    s.view->timer()->stop();
    s.view->tm_diashowTimer();
    click(s, "bt_pauseshow");
    QCOMPARE(status(s), QString("Pause"));
    for (const char *b : {"bt_diafirst", "bt_diaprev", "bt_dianext", "bt_dialast"})
        QVERIFY2(s.view->button(b)->isEnabled(), b);
    s.view->tm_diashowTimer(); // paused: nothing happens
    QCOMPARE(s.seen.names, QStringList{"a.jpg"});
    click(s, "bt_dialast");
    QCOMPARE(s.seen.names.last(), QString("c.jpg"));
    QCOMPARE(counter(s), QString("3/3"));
    QVERIFY(!s.view->button("bt_dianext")->isEnabled());
    QVERIFY(!s.view->button("bt_dialast")->isEnabled());
    QVERIFY(s.view->button("bt_diafirst")->isEnabled() && s.view->button("bt_diaprev")->isEnabled());
    click(s, "bt_diaprev");
    QCOMPARE(s.seen.names.last(), QString("b.jpg"));

    // The language switch rewrites the state text.
    s.f.window->context().setLanguage(English);
    QCOMPARE(status(s), QString("pause"));
    click(s, "bt_pauseshow");
    QCOMPARE(status(s), QString("running"));
    QVERIFY(!s.view->button("bt_diafirst")->isEnabled());
    s.view->tm_diashowTimer(); // resuming shows the entry at the position again
    QCOMPARE(s.seen.names.last(), QString("b.jpg"));
}

void TstSlideshow::styleButtonsAndPanelPlace()
{
    Setup s;
    s.host.style = ViewStyle::BestFit; // bt_bestfit is down in the picture view
    enterShow(s);
    QVERIFY(s.view->button("bt_diabestfit")->isChecked());
    QVERIFY(!s.view->button("bt_diaviewstyle")->isChecked());

    // Floating over the picture area: 5 px below its top, its left edge 205 px from the right.
    QTRY_COMPARE(s.view->y(), s.host.area->mapTo(s.view->parentWidget(), QPoint(0, 0)).y() + 5);
    const int areaRight = s.host.area->mapTo(s.view->parentWidget(), QPoint(s.host.area->width(), 0)).x();
    QTRY_COMPARE(s.view->x(), areaRight - 205);
    QCOMPARE(s.view->height(), MainWindow::kButtonRowHeight * 3 + 4);

    click(s, "bt_startdiashow");
    s.view->timer()->stop();
    s.view->tm_diashowTimer();
    click(s, "bt_diacenter");
    QCOMPARE(s.host.calls.last(), QString("show a.jpg 6"));
    click(s, "bt_diaviewstyle");
    QCOMPARE(s.host.calls.last(), QString("show a.jpg 5"));
    QVERIFY(!s.view->button("bt_diacenter")->isChecked());
    click(s, "bt_stopshow");
    QVERIFY(!s.view->button("bt_diabestfit")->isEnabled());
}

void TstSlideshow::dragKeepsPanelInside()
{
    Setup s;
    enterShow(s);
    QWidget *grip = s.f.find<QWidget>("img_movediactrl");
    QVERIFY(grip);
    QTRY_VERIFY(s.view->x() > 0);
    const QPoint start = s.view->pos();
    const QPoint g = grip->mapToGlobal(QPoint(5, 5));
    const auto send = [grip](QEvent::Type type, QPoint global, Qt::MouseButtons buttons) {
        QMouseEvent e(type, grip->mapFromGlobal(global), global,
                      type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, buttons, Qt::NoModifier);
        QApplication::sendEvent(grip, &e);
    };
    send(QEvent::MouseButtonPress, g, Qt::LeftButton);
    send(QEvent::MouseMove, g + QPoint(-100, 40), Qt::LeftButton);
    QCOMPARE(s.view->pos(), start + QPoint(-100, 40));
    send(QEvent::MouseMove, g + QPoint(5000, 5000), Qt::LeftButton); // never out of the view
    const QRect area(s.host.area->mapTo(s.view->parentWidget(), QPoint(0, 0)), s.host.area->size());
    QVERIFY(area.contains(s.view->geometry()));
    QCOMPARE(s.view->geometry().right(), area.right());
    send(QEvent::MouseButtonRelease, g, Qt::NoButton);

    // A smaller window keeps the moved panel inside the view's right edge.
    s.f.window->resize(600, 500);
    QTRY_VERIFY(s.view->geometry().right() <=
                s.host.area->mapTo(s.view->parentWidget(), QPoint(s.host.area->width() - 1, 0)).x());
}

void TstSlideshow::showButtonFollowsList()
{
    Setup s;
    enterShow(s, 1);
    QToolButton diashow;
    s.view->bt_stopshowClick();
    s.view->setShowButton(&diashow);
    QVERIFY(diashow.isEnabled());
    s.f.window->listArea()->folderList()->selectRow(0);
    s.f.window->listArea()->bt_trashmainClick();
    QTRY_VERIFY(!s.f.window->listArea()->isBusy());
    QCOMPARE(s.f.window->listArea()->folderList()->count(), 0);
    QVERIFY(!diashow.isEnabled());
    s.view->bt_diashowClick(); // an empty list has no show
    QVERIFY(s.view->isHidden());
    s.view->setShowButton(nullptr);
}

QTEST_MAIN(TstSlideshow)
#include "tst_slideshow.moc"
