// The view model of the main window: view buttons, list tabs, themes and backgrounds, the
// colour panel, the hint size menu, hiding the list area and the lock-out groups.
#include "app/function_bar_view.h"
#include "app/view_stack_view.h"
#include "files/list_area_view.h"
#include "files/view_host.h"
#include "support/test_support.h"
#include "widgets/collapsible_toolbar.h"
#include "widgets/theme.h"

#include <QAction>
#include <QMenu>
#include <QTabWidget>
#include <QToolButton>
#include <QToolTip>

#include <QLabel>

#include <cmath>

using namespace vorn;
using namespace vorn::test;

class TstViews : public QObject
{
    Q_OBJECT
  private slots:
    void themesAndBackgrounds();
    void scanTabKeepsZipView();
    void scanTabBringsPictures();
    void colourPanelAndHintSize();
    void plainThemeTitlesRead();
    void dirHideAndFunctionButton();
    void lockOut();
    void contextTitles_data();
    void contextTitles();

  private:
    static QStringList textured(QWidget *root)
    {
        QStringList names;
        for (QWidget *w : root->findChildren<QWidget *>())
            if (has_texture(w))
                names << w->objectName();
        names.sort();
        return names;
    }
};

void TstViews::themesAndBackgrounds()
{
    WindowFixture f;
    MainWindow &w = f.start();
    QVERIFY(has_texture(f.find<QWidget>("pn_main")));
    QVERIFY(f.find<QToolButton>("bt_bgblue")->isVisible());
    QTest::mouseClick(f.find<QToolButton>("bt_256cols"), Qt::LeftButton); // plain theme
    QVERIFY(textured(&w).isEmpty());
    QVERIFY(!f.find<QToolButton>("bt_bgblue")->isVisible());
    QTest::mouseClick(f.find<QToolButton>("bt_colors"), Qt::LeftButton);
    QTest::mouseClick(f.find<QToolButton>("pnc12"), Qt::LeftButton);
    QVERIFY(textured(&w).isEmpty());
    QCOMPARE(f.find<QWidget>("pn_main")->palette().window().color(), swatch_color(12));
    emit w.functionBar()->viewingTextureChosen(true); // bt_bgblueClick; its button is hidden now
    QStringList areas;
    for (const char *n : kViewingAreas)
        if (f.find<QWidget>(n))
            areas << n;
    areas.sort();
    QCOMPARE(textured(&w), areas);
}

void TstViews::scanTabKeepsZipView()
{
    WindowFixture f;
    MainWindow &w = f.start();
    QTest::mouseClick(f.find<QToolButton>("bt_showzip"), Qt::LeftButton);
    QCOMPARE(w.views()->front(), View::Zip);
    w.listArea()->tabs()->setCurrentIndex(1);
    QCOMPARE(w.views()->front(), View::Zip);
    QVERIFY(w.context().mode() == ViewMode::Zip);
    QCOMPARE(w.context().listTab(), ListTab::Scan);
    QCOMPARE(w.listArea()->activeList(), w.listArea()->searchList());
}

void TstViews::scanTabBringsPictures()
{
    WindowFixture f;
    MainWindow &w = f.start();
    QTest::mouseClick(f.find<QToolButton>("bt_showrename"), Qt::LeftButton);
    w.listArea()->tabs()->setCurrentIndex(1);
    QCOMPARE(w.views()->front(), View::Pictures);
    QVERIFY(f.find<QToolButton>("bt_showview")->isChecked());
    w.listArea()->tabs()->setCurrentIndex(0);
    QCOMPARE(w.listArea()->activeList(), w.listArea()->folderList());
}

void TstViews::colourPanelAndHintSize()
{
    WindowFixture f;
    f.start();
    QWidget *panel = f.find<QWidget>("fup_color");
    QWidget *bar = f.find<QWidget>("tbar_main");
    const int closed = bar->height();
    QVERIFY(!panel->isVisible());
    // The panel is one button row: the bar grows and shrinks by exactly the row height.
    QTest::mouseClick(f.find<QToolButton>("bt_colors"), Qt::LeftButton);
    QVERIFY(panel->isVisible());
    QTRY_COMPARE(bar->height(), closed + MainWindow::kButtonRowHeight);
    QCOMPARE(panel->findChildren<QToolButton *>().size(), 16);
    QTest::mouseClick(f.find<QToolButton>("bt_colors"), Qt::LeftButton);
    QVERIFY(!panel->isVisible());
    QTRY_COMPARE(bar->height(), closed);

    auto *menu = f.window->findChild<QMenu *>("pop_hint");
    QVERIFY(menu);
    QCOMPARE(menu->actions().size(), 6);
    QAction *twelve = f.window->findChild<QAction *>("mi_fontsize12");
    twelve->trigger();
    QCOMPARE(QToolTip::font().pointSize(), 12);
    int ticked = 0;
    for (QAction *a : menu->actions())
        ticked += a->isChecked();
    QCOMPARE(ticked, 1);
    QVERIFY(twelve->isChecked());
}

void TstViews::plainThemeTitlesRead()
{
    WindowFixture f;
    MainWindow &w = f.start();
    QTest::mouseClick(f.find<QToolButton>("bt_256cols"), Qt::LeftButton); // plain theme
    // Relative luminance and contrast ratio as the usual readability guidelines define them.
    auto luminance = [](const QColor &c) {
        auto lin = [](double v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
        return 0.2126 * lin(c.redF()) + 0.7152 * lin(c.greenF()) + 0.0722 * lin(c.blueF());
    };
    int titles = 0;
    for (QLabel *title : w.findChildren<QLabel *>()) {
        if (!title->property("titleLabel").toBool())
            continue;
        ++titles;
        const double text = luminance(title->palette().color(QPalette::WindowText));
        const double ground = luminance(title->parentWidget()->palette().window().color());
        const double contrast = (std::max(text, ground) + 0.05) / (std::min(text, ground) + 0.05);
        QVERIFY2(contrast >= 4.5, qPrintable(title->objectName() + " " + QString::number(contrast)));
    }
    QVERIFY(titles >= 4);
}

void TstViews::dirHideAndFunctionButton()
{
    WindowFixture f;
    MainWindow &w = f.start();
    QTest::mouseClick(f.find<QToolButton>("bt_dirhide"), Qt::LeftButton);
    QVERIFY(!w.listArea()->isVisible());
    QTest::mouseClick(f.find<QToolButton>("bt_colors"), Qt::LeftButton);
    QVERIFY(w.listArea()->isVisible());
}

void TstViews::lockOut()
{
    WindowFixture f;
    MainWindow &w = f.start();
    w.host().setLocked(true);
    for (const char *n : {"lv", "lvscan", "tv", "pc_list", "tbar_main", "tbar_mask", "tbar_sortmain"})
        QVERIFY2(!f.find<QWidget>(n)->isEnabled(), n);
    QVERIFY(!f.find<QToolButton>("bt_showview")->isEnabled());
    QVERIFY(!f.find<QToolButton>("bt_maskwahl3")->isEnabled());
    w.host().setLocked(false);
    for (const char *n : {"lv", "lvscan", "tv", "pc_list", "tbar_main", "tbar_mask"})
        QVERIFY2(f.find<QWidget>(n)->isEnabled(), n);
    QVERIFY(f.find<QToolButton>("bt_maskwahl3")->isEnabled());
}

// The titles of the user-mask row and the ZIP bar, in both languages, where they belong; the
// ZIP bar's title restores the collapsed bar like every context bar's.
void TstViews::contextTitles_data()
{
    QTest::addColumn<int>("language");
    QTest::addColumn<QString>("filter1");
    QTest::addColumn<QString>("zip");
    QTest::newRow("German") << int(German) << " Filter +"
                            << " ZIP";
    QTest::newRow("English") << int(English) << " Mask +"
                             << " ZIP";
}

void TstViews::contextTitles()
{
    QFETCH(int, language);
    QFETCH(QString, filter1);
    QFETCH(QString, zip);
    WindowFixture f;
    MainWindow &w = f.start();
    w.context().setLanguage(language);
    w.applyTexts();
    auto *lbFilter1 = f.find<QLabel>("lb_filter1");
    auto *lbZip = f.find<QLabel>("lb_contextzip");
    QVERIFY(lbFilter1 && lbZip);
    QCOMPARE(lbFilter1->text(), filter1);
    QCOMPARE(lbZip->text(), zip);
    QVERIFY(f.find<QWidget>("fup_usermask")->isAncestorOf(lbFilter1));
    auto *tbarZip = f.find<CollapsibleToolBar>("tbar_zip");
    QVERIFY(tbarZip && tbarZip->isAncestorOf(lbZip));
    QVERIFY(tbarZip->isAncestorOf(f.find<QToolButton>("bt_zipopen")));

    QTest::mouseClick(f.find<QToolButton>("bt_showzip"), Qt::LeftButton);
    tbarZip->collapse();
    QVERIFY(!f.find<QToolButton>("bt_zipopen")->isVisible());
    QTest::mouseClick(lbZip, Qt::LeftButton);
    QVERIFY(!tbarZip->isCollapsed());
    QVERIFY(f.find<QToolButton>("bt_zipopen")->isVisible());
}

QTEST_MAIN(TstViews)
#include "tst_views.moc"
