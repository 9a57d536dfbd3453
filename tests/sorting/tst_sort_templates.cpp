// Sort buttons and templates on the real main window: the configuration mode, the button
// limit, deleting rows, the flow of the buttons, saving and loading ".ctg" templates and
// the title row in the current language.
#include "files/list_area_view.h"
#include "sorting/sort_bar_view.h"
#include "sorting/sort_config_view.h"
#include "sorting/sort_layout.h"
#include "support/test_support.h"
#include "widgets/collapsible_toolbar.h"
#include "widgets/gradient_button.h"
#include "widgets/panel_status_bar.h"

#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QScrollArea>
#include <QTableWidget>
#include <QToolButton>

using namespace vorn;
using namespace vorn::test;

class TstSortTemplates : public QObject
{
    Q_OBJECT
  private slots:
    void limitOf200Buttons();
    void deletingOnlyRowDisablesEditing();
    void buttonsFlowInRows();
    void saveAndLoadTemplate();
    void languageRewritesTitleRow();
    void damagedTemplateShowsNoName_data();
    void damagedTemplateShowsNoName();
    void titleTogglesSortBar();
    void buttonsFollowColourSwitch();

  private:
    MainWindow &start(WindowFixture &f, const QByteArray &language = "0")
    {
        writeFile(f.path("vorn.cfg"), "0\r\n0\r\n" + language + "\r\nnormal\r\n");
        return f.start();
    }
    void click(WindowFixture &f, const char *name)
    {
        QTest::mouseClick(f.find<QToolButton>(name), Qt::LeftButton);
    }
    SortConfigView *config(WindowFixture &f) { return f.window->sortView()->config(); }
    QTableWidget *grid(WindowFixture &f) { return f.find<QTableWidget>("sg_sortconf"); }
    void setCell(WindowFixture &f, int row, int col, const QString &text)
    {
        grid(f)->item(row, col)->setText(text);
    }
};

void TstSortTemplates::limitOf200Buttons()
{
    WindowFixture f;
    MainWindow &w = start(f);
    click(f, "bt_configsort");
    QCOMPARE(w.sortStatus()->panelText(0), QString("Modus : Sortierschablone konfigurieren"));
    QVERIFY(f.find<QToolButton>("bt_newbut")->isVisible());
    QVERIFY(!f.find<QToolButton>("bt_loadsort")->isEnabled());
    for (int i = 0; i < 200; ++i)
        click(f, "bt_newbut");
    QVERIFY(f.prompter.messages().isEmpty());
    QCOMPARE(w.sortStatus()->panelText(2), QString("Einträge: 200"));
    click(f, "bt_newbut");
    QCOMPARE(f.prompter.messages(), QStringList{"Sorry, Limit erreicht!"});
    QCOMPARE(config(f)->sortConfig().count(), 200);
    QCOMPARE(grid(f)->rowCount(), 200);
    QCOMPARE(w.sortStatus()->panelText(2), QString("Einträge: 200"));
}

void TstSortTemplates::deletingOnlyRowDisablesEditing()
{
    WindowFixture f;
    MainWindow &w = start(f);
    click(f, "bt_configsort");
    QVERIFY(!f.find<QToolButton>("bt_buttondelete")->isEnabled());
    click(f, "bt_newbut");
    for (const char *n : {"bt_buttondelete", "bt_clearsort", "bt_savesort", "bt_newdir"})
        QVERIFY2(f.find<QToolButton>(n)->isEnabled(), n);
    setCell(f, 0, 0, "Eins");
    setCell(f, 0, 1, "/tmp/");
    click(f, "bt_buttondelete");
    QCOMPARE(config(f)->sortConfig().count(), 0);
    QCOMPARE(config(f)->sortConfig().grid().rowCount(), 2);
    QCOMPARE(grid(f)->rowCount(), 1);
    QCOMPARE(grid(f)->item(0, 0)->text(), QString());
    QCOMPARE(grid(f)->item(0, 1)->text(), QString());
    for (const char *n : {"bt_buttondelete", "bt_clearsort", "bt_savesort", "bt_newdir"})
        QVERIFY2(!f.find<QToolButton>(n)->isEnabled(), n);
    QVERIFY(!grid(f)->isEnabled());
    QVERIFY(!f.find<QWidget>("tv_sort")->isEnabled());
    QCOMPARE(w.sortStatus()->panelText(2), QString("Einträge: 0"));
}

void TstSortTemplates::buttonsFlowInRows()
{
    WindowFixture f;
    start(f);
    QByteArray t = "2,10\r\n";
    for (int k = 1; k <= 9; ++k)
        t += "0," + QByteArray::number(k) + ",B" + QByteArray::number(k) + "\r\n";
    writeFile(f.path("templates/nine.ctg"), t);
    f.prompter.pushText(f.path("templates/nine.ctg"));
    click(f, "bt_loadsort");
    QScrollArea *area = config(f)->buttonArea();
    const int perRow = sort_buttons_per_row(area->viewport()->width());
    QVERIFY(perRow > 0);
    for (int k = 1; k <= 9; ++k) {
        GradientButton *b = config(f)->sortButton(k);
        QVERIFY(b);
        QCOMPARE(b->objectName(), QString("sts_%1").arg(k));
        QCOMPARE(b->text(), QString("B%1").arg(k));
        QCOMPARE(b->size(), QSize(75, 29));
        QCOMPARE(b->pos(), sort_button_pos(k, perRow));
    }
    // Narrowed to 300 pixels: rows of 4, 4 and 1.
    area->viewport()->resize(300, area->viewport()->height());
    QCOMPARE(config(f)->sortButton(4)->pos(), QPoint(225, 0));
    QCOMPARE(config(f)->sortButton(5)->pos(), QPoint(0, 29));
    QCOMPARE(config(f)->sortButton(8)->pos(), QPoint(225, 29));
    QCOMPARE(config(f)->sortButton(9)->pos(), QPoint(0, 58));
    // In the configuration mode the buttons do not exist.
    click(f, "bt_configsort");
    QVERIFY(!config(f)->sortButton(1));
    click(f, "bt_configsort");
    QVERIFY(config(f)->sortButton(9));
}

void TstSortTemplates::saveAndLoadTemplate()
{
    WindowFixture f;
    MainWindow &w = start(f);
    writeFile(f.path("pics/a.jpg"), "a");
    QDir().mkpath(f.path("urlaub"));
    click(f, "bt_configsort");
    click(f, "bt_newbut");
    click(f, "bt_newbut");
    setCell(f, 0, 0, "Urlaub");
    setCell(f, 0, 1, f.path("urlaub/"));
    setCell(f, 1, 0, "Rest");
    const QString file = f.path("templates/mine.ctg");
    f.prompter.pushText(f.path("templates/mine")); // the extension is added
    click(f, "bt_savesort");
    const QStringList lines = QString::fromUtf8(readFile(file)).split("\r\n", Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 8);
    QCOMPARE(lines.mid(0, 1), QStringList{"2,3"});
    QVERIFY(lines[1].startsWith("cw 0,") && lines[2].startsWith("cw 1,"));
    QCOMPARE(lines.mid(3), (QStringList{"0,0,Beschriftung      ", "1,0,Verzeichnis", "0,1,Urlaub",
                                        "1,1," + f.path("urlaub/"), "0,2,Rest"}));
    QCOMPARE(w.sortStatus()->panelText(3), QString("Schablone : ")); // no template was loaded
    // Cleared and loaded back.
    click(f, "bt_clearsort");
    QCOMPARE(w.sortStatus()->panelText(3), QString("ohne Namen"));
    click(f, "bt_configsort");
    QVERIFY(!config(f)->sortButton(1));
    f.prompter.pushText(file);
    click(f, "bt_loadsort");
    QCOMPARE(w.sortStatus()->panelText(3), QString("Schablone : MINE.CTG"));
    QCOMPARE(config(f)->sortButton(1)->text(), QString("Urlaub"));
    QCOMPARE(config(f)->sortButton(2)->text(), QString("Rest"));
    QVERIFY(!config(f)->sortButton(3));
    // Its button sorts into its folder.
    w.listArea()->openFolder(f.path("pics"));
    QTRY_COMPARE(w.listArea()->folderList()->count(), 1);
    w.listArea()->folderList()->selectRow(0);
    config(f)->sortButton(1)->click();
    QTRY_VERIFY(!w.sortView()->engine().isBusy()); // the run goes on a job
    QVERIFY(QFileInfo::exists(f.path("urlaub/a.jpg")));
    // The button without a folder says so.
    config(f)->sortButton(2)->click();
    QCOMPARE(f.prompter.lastMessage(),
             QString("Es wurde kein Zielordner für diese Schaltfläche eingegeben!"));
}

void TstSortTemplates::languageRewritesTitleRow()
{
    WindowFixture f;
    MainWindow &w = start(f);
    writeFile(f.path("templates/en.ctg"), "2,2\r\n0,0,Caption      \r\n1,0,Folder\r\n0,1,X\r\n");
    f.prompter.pushText(f.path("templates/en.ctg"));
    click(f, "bt_loadsort");
    QTableWidget *g = grid(f);
    QCOMPARE(g->horizontalHeaderItem(0)->text(), QString("Caption      "));
    w.applyTexts(); // German is set again
    QCOMPARE(g->horizontalHeaderItem(0)->text(), QString("Beschriftung      "));
    QCOMPARE(g->horizontalHeaderItem(1)->text(), QString("Verzeichnis"));
    QCOMPARE(config(f)->sortConfig().grid().cell(0, 0), QString("Beschriftung      "));
    w.context().setLanguageIndex(English);
    w.applyTexts();
    QCOMPARE(g->horizontalHeaderItem(1)->text(), QString("Folder"));
    QCOMPARE(config(f)->sortConfig().grid().cell(1, 0), QString("Folder"));
    QCOMPARE(w.sortStatus()->panelText(0), QString("mode: copy"));
}

void TstSortTemplates::damagedTemplateShowsNoName_data()
{
    QTest::addColumn<QByteArray>("language");
    QTest::addColumn<QString>("loaded");
    QTest::addColumn<QString>("noName");
    QTest::addColumn<QString>("corrupt");
    QTest::newRow("German") << QByteArray("0") << "Schablone : GOOD.CTG"
                            << "ohne Namen"
                            << "Datei enthält keine Daten oder ist beschädigt: ";
    QTest::newRow("English") << QByteArray("1") << "template : GOOD.CTG"
                             << "no name"
                             << "File contains no data or corrupt file ";
}

void TstSortTemplates::damagedTemplateShowsNoName()
{
    QFETCH(QByteArray, language);
    QFETCH(QString, loaded);
    QFETCH(QString, noName);
    QFETCH(QString, corrupt);
    WindowFixture f;
    MainWindow &w = start(f, language);
    writeFile(f.path("templates/good.ctg"), "2,2\r\n0,1,A\r\n");
    writeFile(f.path("templates/bad.ctg"), "0,0\r\n0,1,B\r\n");
    f.prompter.pushText(f.path("templates/good.ctg"));
    click(f, "bt_loadsort");
    QCOMPARE(w.sortStatus()->panelText(3), loaded);
    // A template that cannot be read leaves no name behind, only the message.
    f.prompter.pushText(f.path("templates/bad.ctg"));
    click(f, "bt_loadsort");
    QCOMPARE(f.prompter.lastMessage(), corrupt + f.path("templates/bad.ctg"));
    QCOMPARE(w.sortStatus()->panelText(3), noName);
    QCOMPARE(config(f)->sortConfig().count(), 0);
}

void TstSortTemplates::titleTogglesSortBar()
{
    WindowFixture f;
    MainWindow &w = start(f);
    auto *title = f.find<QLabel>("lb_sortbar");
    QWidget *folders = f.find<QWidget>("pn_sorttodir");
    QVERIFY(folders->isVisible());
    QTest::mouseClick(title, Qt::LeftButton);
    QVERIFY(w.sortBar()->isCollapsed());
    QVERIFY(!folders->isVisible());
    QTest::mouseClick(title, Qt::LeftButton);
    QVERIFY(!w.sortBar()->isCollapsed());
    QVERIFY(folders->isVisible());
}

void TstSortTemplates::buttonsFollowColourSwitch()
{
    // The colour switch sits on the function bar; the sort buttons follow it, also the ones
    // made after the switch.
    WindowFixture f;
    start(f);
    writeFile(f.path("templates/two.ctg"), "2,3\r\n0,1,B1\r\n0,2,B2\r\n");
    f.prompter.pushText(f.path("templates/two.ctg"));
    click(f, "bt_loadsort");
    const QColor silver(0xC0, 0xC0, 0xC0);
    QVERIFY(config(f)->sortButton(1));
    QVERIFY(config(f)->sortButton(1)->lightColor() != silver);
    click(f, "bt_256cols"); // textures off
    for (int k : {1, 2})
        QCOMPARE(config(f)->sortButton(k)->lightColor(), silver);
    f.prompter.pushText(f.path("templates/two.ctg"));
    click(f, "bt_loadsort");
    QCOMPARE(config(f)->sortButton(2)->shadowColor(), silver);
    click(f, "bt_256cols"); // textures on
    QVERIFY(config(f)->sortButton(1)->lightColor() != silver);
}

QTEST_MAIN(TstSortTemplates)
#include "tst_sort_templates.moc"
