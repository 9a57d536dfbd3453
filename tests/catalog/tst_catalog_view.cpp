// The catalog page on the real main window: generating from the folder list, saving with a
// description, the catalog list in vorn.pth, closing and opening again, a vanished file,
// deleting, paging, and copying a clicked picture with a target button.
#include "app/view_stack_view.h"
#include "base/grid_text.h"
#include "catalog/catalog_browser_widget.h"
#include "catalog/catalog_pages.h"
#include "catalog/catalog_settings.h"
#include "catalog/catalog_view.h"
#include "files/file_list_model.h"
#include "files/file_list_view.h"
#include "files/list_area_view.h"
#include "sorting/sort_bar_view.h"
#include "sorting/sort_engine.h"
#include "support/picture_fixtures.h"
#include "support/test_support.h"
#include "widgets/panel_status_bar.h"
#include "widgets/theme.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QLineEdit>
#include <QTabWidget>
#include <QTableWidget>
#include <QTextDocument>
#include <QToolButton>

using namespace vorn;
using namespace vorn::test;

namespace
{

QByteArray jpeg(int w, int h)
{
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(Qt::darkCyan);
    return encode(img, "jpg");
}

const QString kLongDescription = QStringLiteral("Urlaub am Meer und Berge 2024"); // 29 characters
const QString kStored = kLongDescription.left(25);

} // namespace

class TstCatalogView : public QObject
{
    Q_OBJECT
  private slots:
    void createSaveCloseOpen();
    void createdCatalogTabInFrontAndFailuresListed();
    void openVanishedFileRemovesTheRow();
    void deleteAskedAndAborted();
    void pagingOverThreePages();
    void clickedPictureIsCopiedByATargetButton();
    void mouseClicksOnThumbnailAndPicture();
    void plainThemeReachesTheDescriptionForm();
    void toolBarIconsFromTheProgramSet();
    void gotoCatalogAndBackToViewer();
    void largePictureShownWhole();

  private:
    MainWindow &startWith(WindowFixture &f, int pictures, int others = 0);
    CatalogView *view(WindowFixture &f) { return f.window->catalogView(); }
    QToolButton *button(WindowFixture &f, const char *name) { return f.find<QToolButton>(name); }
    void create(WindowFixture &f);
    void save(WindowFixture &f, const QString &description, const QString &file);
};

MainWindow &TstCatalogView::startWith(WindowFixture &f, int pictures, int others)
{
    writeFile(f.path("vorn.cfg"), "0\r\n0\r\n0\r\nnormal\r\n");
    for (int i = 0; i < pictures; ++i)
        writeFile(f.path(QStringLiteral("pics/p%1.jpg").arg(i, 3, 10, QLatin1Char('0'))), jpeg(64 + i, 48));
    for (int i = 0; i < others; ++i)
        writeFile(f.path(QStringLiteral("pics/t%1.txt").arg(i)), "text");
    MainWindow &w = f.start();
    w.resize(1100, 800);
    w.listArea()->openFolder(f.path("pics"));
    [&] { QTRY_COMPARE(w.listArea()->folderList()->count(), pictures + others); }();
    w.listArea()->tabs()->setCurrentIndex(2);
    QCoreApplication::processEvents();
    return w;
}

void TstCatalogView::create(WindowFixture &f)
{
    QSignalSpy done(view(f), &CatalogView::catalogCreated);
    QVERIFY(button(f, "bt_catcreate")->isEnabled());
    button(f, "bt_catcreate")->click();
    QVERIFY(done.wait(20000));
}

void TstCatalogView::save(WindowFixture &f, const QString &description, const QString &file)
{
    QSignalSpy io(view(f), &CatalogView::catalogIoFinished);
    f.prompter.pushText(description);
    f.prompter.pushText(file);
    QVERIFY(button(f, "bt_catsave")->isEnabled());
    button(f, "bt_catsave")->click();
    // The description is asked for by the catalog's own form.
    QVERIFY(std::any_of(f.prompter.records().begin(), f.prompter.records().end(), [](const auto &r) {
        return r.kind == ScriptedPrompter::Kind::Form && r.text == QLatin1String("form_cattitle");
    }));
    QVERIFY(io.wait(20000));
    QCOMPARE(io.first().first().toInt(), 0);
}

// Started from the folder tab, a generation ends with the catalog tab in front (the catalog is
// then the source of the sort buttons); the pictures that could not be read come as one list
// message, whatever their number, not as a box of one line per picture.
void TstCatalogView::createdCatalogTabInFrontAndFailuresListed()
{
    WindowFixture f;
    MainWindow &w = startWith(f, 2);
    for (int i = 0; i < 60; ++i)
        writeFile(f.path(QStringLiteral("pics/x%1.jpg").arg(i, 2, 10, QLatin1Char('0'))), "not a picture");
    w.listArea()->tabs()->setCurrentIndex(0);
    w.listArea()->openFolder(f.path("pics"));
    QTRY_COMPARE(w.listArea()->folderList()->count(), 62);
    QCOMPARE(w.context().listTab(), ListTab::Folder);
    f.prompter.clear();
    create(f);
    QCOMPARE(w.listArea()->tabs()->currentWidget(), w.listArea()->catalogTab());
    QCOMPARE(w.context().listTab(), ListTab::Catalog);
    QCOMPARE(w.views()->front(), View::Catalog);
    QList<ScriptedPrompter::Record> lists;
    for (const auto &r : f.prompter.records())
        if (r.kind == ScriptedPrompter::Kind::List)
            lists << r;
    QCOMPARE(lists.size(), 1);
    QCOMPARE(lists.first().lines.size(), 60);
    QCOMPARE(lists.first().lines.first(), QString("x00.jpg"));
    QCOMPARE(lists.first().lines.last(), QString("x59.jpg"));
}

void TstCatalogView::createSaveCloseOpen()
{
    WindowFixture f;
    startWith(f, 4, 6); // nothing selected: the 4 pictures of 10 files are catalogued
    create(f);
    FileListView *lv = f.window->listArea()->folderList();
    QCOMPARE(lv->selectedRows().size(), 4);
    const QString temp = f.path("temp/");
    QCOMPARE(int(readFile(temp + "1.htm").count("<IMG ")), 4);
    auto *stat = f.find<PanelStatusBar>("stat_catalog");
    QCOMPARE(stat->panelText(0), QStringLiteral("[nicht gespeichert]     Seite 1 von 1"));
    QVERIFY(!button(f, "bt_catcreate")->isEnabled());
    QVERIFY(!button(f, "bt_catdelete")->isEnabled());

    const QString file = f.path("catalogs/holiday.cat");
    save(f, kLongDescription, file);
    QCOMPARE(f.window->catalogGrid().cell(0, 0), kStored);
    QCOMPARE(f.window->catalogGrid().cell(1, 0), file);
    StringGrid onDisk;
    QCOMPARE(load_grid(f.path("vorn.pth"), onDisk), GridLoadStatus::Ok);
    QCOMPARE(onDisk.cell(0, 0), kStored);
    const QByteArray page = readFile(temp + "1.htm");
    QCOMPARE(page.split('\n')[1], (QLatin1Char(' ') + kStored + QStringLiteral(" \r")).toUtf8());
    QVERIFY(!button(f, "bt_catsave")->isEnabled());
    QVERIFY(button(f, "bt_catdelete")->isEnabled());

    button(f, "bt_catclose")->click();
    QVERIFY(!view(f)->catalogShown());
    QVERIFY(!view(f)->browser()->isVisible());

    // Open from the list: the same pages and thumbnails come back.
    QMap<QString, QByteArray> before;
    for (const QString &n : QDir(temp).entryList(QDir::Files))
        before.insert(n, readFile(temp + n));
    QSignalSpy io(view(f), &CatalogView::catalogIoFinished);
    f.find<QTableWidget>("sg_catalog")->selectRow(0);
    button(f, "bt_catopen")->click();
    QVERIFY(io.wait(20000));
    QCOMPARE(io.first().first().toInt(), 0);
    QMap<QString, QByteArray> after;
    for (const QString &n : QDir(temp).entryList(QDir::Files))
        after.insert(n, readFile(temp + n));
    QCOMPARE(after, before);
    QVERIFY(view(f)->catalogShown());
    QCOMPARE(stat->panelText(0), QLatin1Char(' ') + kStored + QStringLiteral("      Seite 1 von 1"));
    // Nothing was left beside the catalog folder by the staging.
    QCOMPARE(
        QDir(f.path(".")).entryList({QStringLiteral(".catalog-open-*")}, QDir::AllEntries | QDir::Hidden),
        QStringList());
}

void TstCatalogView::openVanishedFileRemovesTheRow()
{
    WindowFixture f;
    StringGrid grid(2, 2);
    grid.setAllColWidths(300);
    grid.setCell(0, 0, QStringLiteral("gone"));
    grid.setCell(1, 0, f.path("catalogs/gone.cat"));
    grid.setCell(0, 1, QStringLiteral("kept"));
    grid.setCell(1, 1, f.path("catalogs/kept.cat"));
    QVERIFY(save_grid(f.path("vorn.pth"), grid));
    startWith(f, 1);
    // The list read from vorn.pth at start is shown on the catalog tab.
    auto *list = f.find<QTableWidget>("sg_catalog");
    QCOMPARE(list->rowCount(), 2);
    QCOMPARE(list->item(1, 0)->text(), QStringLiteral("kept"));
    list->selectRow(0);
    button(f, "bt_catopen")->click();
    QCOMPARE(f.prompter.lastMessage(),
             f.path("catalogs/gone.cat") + QStringLiteral(" : Kann Katalog nicht finden!"));
    QCOMPARE(f.window->catalogGrid().rowCount(), 1);
    QCOMPARE(f.window->catalogGrid().cell(0, 0), QStringLiteral("kept"));
    StringGrid onDisk;
    load_grid(f.path("vorn.pth"), onDisk);
    QCOMPARE(onDisk.rowCount(), 1);
}

void TstCatalogView::deleteAskedAndAborted()
{
    WindowFixture f;
    startWith(f, 2);
    create(f);
    const QString file = f.path("catalogs/only.cat");
    save(f, QStringLiteral("only"), file);

    f.prompter.pushAnswer(Answer::Abort);
    button(f, "bt_catdelete")->click();
    QVERIFY(f.prompter.lastMessage().startsWith(QStringLiteral("Katalog:  only\r\n\r\nWollen Sie")));
    QVERIFY(QFileInfo::exists(file));
    QCOMPARE(f.window->catalogGrid().cell(1, 0), file);
    QVERIFY(f.find<QTabWidget>("pc_list")->isEnabled()); // the lock-out is off again

    f.prompter.pushAnswer(Answer::Yes);
    button(f, "bt_catdelete")->click();
    QVERIFY(!QFileInfo::exists(file));
    QCOMPARE(f.window->catalogGrid().rowCount(), 1);
    QCOMPARE(f.window->catalogGrid().cell(0, 0), QString());
    QCOMPARE(f.window->catalogGrid().cell(1, 0), QString());
    QVERIFY(!view(f)->catalogShown());
    QVERIFY(!view(f)->browser()->isVisible());
}

void TstCatalogView::pagingOverThreePages()
{
    WindowFixture f;
    MainWindow &w = startWith(f, 0);
    // Just enough pictures for three pages at the panel's size.
    auto *panel = w.findChild<QFrame *>(QStringLiteral("pn_catalog"));
    const int perPage = std::max(kMinThumbCols, view(f)->settings().cols()) *
                        rows_per_page(panel->contentsRect().height(), view(f)->settings().size());
    for (int i = 0; i < 2 * perPage + 1; ++i)
        writeFile(f.path(QStringLiteral("pics/q%1.jpg").arg(i, 3, 10, QLatin1Char('0'))), jpeg(8, 8));
    w.listArea()->tabs()->setCurrentIndex(0);
    w.listArea()->openFolder(f.path("pics"));
    QTRY_COMPARE(w.listArea()->folderList()->count(), 2 * perPage + 1);
    w.listArea()->tabs()->setCurrentIndex(2);
    create(f);
    QVERIFY(QFileInfo::exists(f.path("temp/3.htm")));
    QVERIFY(!button(f, "bt_firstpage")->isEnabled());
    QVERIFY(!button(f, "bt_prevpage")->isEnabled());
    QVERIFY(button(f, "bt_changepage")->isEnabled());
    button(f, "bt_changepage")->click();
    button(f, "bt_changepage")->click();
    QCOMPARE(QFileInfo(view(f)->browser()->pagePath()).fileName(), QStringLiteral("3.htm"));
    QVERIFY(f.find<PanelStatusBar>("stat_catalog")->panelText(0).endsWith(QStringLiteral("Seite 3 von 3")));
    QVERIFY(!button(f, "bt_changepage")->isEnabled());
    QVERIFY(!button(f, "bt_lastpage")->isEnabled());
    QVERIFY(button(f, "bt_firstpage")->isEnabled());
    QCOMPARE(int(readFile(f.path("temp/3.htm")).count("<IMG ")), 1);
}

void TstCatalogView::clickedPictureIsCopiedByATargetButton()
{
    WindowFixture f;
    startWith(f, 3);
    create(f);
    QDir().mkpath(f.path("target"));
    writeFile(f.path("target/p001.jpg"), "mine");
    SortEngine &engine = f.window->sortView()->engine();

    // A click on a thumbnail shows the picture; a target button copies it, never over a file.
    const QString picture = f.path("pics/p001.jpg");
    emit view(f)->browser()->anchorClicked(QUrl::fromEncoded(catalog_url_path(picture)));
    QCOMPARE(view(f)->catalogPicture(), picture);
    QVERIFY(!view(f)->browser()->pageState());
    QVERIFY(!button(f, "bt_changepage")->isEnabled());
    {
        // the copy runs on the sort job: held at its start it can be cancelled
        FileOpGate gate(FileOpStage::Starting);
        QVERIFY(engine.sort_into_target(f.path("target/")));
        QVERIFY(engine.isBusy());
        QTRY_VERIFY(gate.reached());
        engine.cancel();
        gate.open();
        QTRY_VERIFY(!engine.isBusy());
        QCOMPARE(QDir(f.path("target")).entryList(QDir::Files), QStringList{"p001.jpg"});
        QVERIFY(engine.journal().isEmpty());
    }
    QVERIFY(engine.sort_into_target(f.path("target/")));
    QVERIFY(engine.isBusy());
    QTRY_VERIFY(!engine.isBusy());
    QCOMPARE(readFile(f.path("target/p001.jpg")), QByteArray("mine"));
    QCOMPARE(readFile(f.path("target/p001 (2).jpg")), readFile(picture));
    QCOMPARE(engine.journal().runs().size(), 1);

    // Back on the page, nothing is clicked: a target button copies nothing.
    view(f)->browser()->backToPage();
    QVERIFY(view(f)->catalogPicture().isEmpty());
    QVERIFY(engine.sort_into_target(f.path("target/")));
    QTRY_VERIFY(!engine.isBusy());
    QCOMPARE(QDir(f.path("target")).entryList(QDir::Files).size(), 2);
}

void TstCatalogView::mouseClicksOnThumbnailAndPicture()
{
    WindowFixture f;
    startWith(f, 3);
    create(f);
    CatalogBrowser *browser = view(f)->browser();
    QWidget *port = browser->viewport();
    QPoint onLink;
    for (int y = 1; y < port->height() && onLink.isNull(); y += 3)
        for (int x = 1; x < port->width() && onLink.isNull(); x += 3)
            if (!browser->anchorAt(QPoint(x, y)).isEmpty())
                onLink = QPoint(x, y);
    QVERIFY(!onLink.isNull());

    // The click that opens the picture does not also close it.
    QTest::mouseClick(port, Qt::LeftButton, {}, onLink);
    QVERIFY(!browser->pageState());
    QVERIFY(QFileInfo(view(f)->catalogPicture()).isFile());
    QCOMPARE(QFileInfo(view(f)->catalogPicture()).dir(), QDir(f.path("pics")));
    QVERIFY(!button(f, "bt_firstpage")->isEnabled());

    // A click on the picture brings the page back.
    QTest::mouseClick(port, Qt::LeftButton, {}, QPoint(2, 2));
    QVERIFY(browser->pageState());
    QVERIFY(view(f)->catalogPicture().isEmpty());
    QCOMPARE(QFileInfo(browser->pagePath()).fileName(), QStringLiteral("1.htm"));
}

void TstCatalogView::plainThemeReachesTheDescriptionForm()
{
    WindowFixture f;
    startWith(f, 2);
    create(f);
    auto *progress = f.find<QFrame>("pn_createcat");
    QVERIFY(has_texture(progress));
    f.find<QToolButton>("bt_256cols")->click(); // the plain theme
    QVERIFY(!has_texture(progress));

    // The real form is shown; it is answered from inside its own event loop.
    f.prompter.setShowForms(true);
    bool formPlain = false;
    QMetaObject::invokeMethod(
        view(f),
        [&formPlain] {
            auto *form = qobject_cast<QDialog *>(QApplication::activeModalWidget());
            QVERIFY(form && form->objectName() == QLatin1String("form_cattitle"));
            formPlain = !has_texture(form->findChild<QWidget *>(QStringLiteral("pn_background"))) &&
                        !has_texture(form->findChild<QWidget *>(QStringLiteral("fup_titlebreak")));
            auto *edit = form->findChild<QLineEdit *>(QStringLiteral("ed_catedit"));
            QTest::keyClicks(edit, kLongDescription);
            QTest::keyClick(edit, Qt::Key_Return);
        },
        Qt::QueuedConnection);
    const QString file = f.path("catalogs/plain.cat");
    f.prompter.pushText(file);
    QSignalSpy io(view(f), &CatalogView::catalogIoFinished);
    button(f, "bt_catsave")->click();
    QVERIFY(formPlain);
    QVERIFY(io.wait(20000));
    QCOMPARE(f.window->catalogGrid().cell(0, 0), kStored);
    QCOMPARE(f.window->catalogGrid().cell(1, 0), file);
}

void TstCatalogView::toolBarIconsFromTheProgramSet()
{
    WindowFixture f;
    f.start();
    const auto buttons = f.find<QWidget>("fup_catbuts")->findChildren<QToolButton *>();
    QCOMPARE(buttons.size(), 16);
    for (QToolButton *b : buttons) {
        const QString file = QStringLiteral(":/icons/catalog/%1.svg").arg(b->objectName());
        QVERIFY2(QFileInfo::exists(file), qPrintable(file));
        // The icon is drawn: some of its pixels are not transparent.
        const QImage img = b->icon().pixmap(18, 18).toImage().convertToFormat(QImage::Format_ARGB32);
        bool drawn = false;
        for (int y = 0; y < img.height() && !drawn; ++y)
            for (int x = 0; x < img.width() && !drawn; ++x)
                drawn = qAlpha(img.pixel(x, y)) > 0;
        QVERIFY2(drawn, qPrintable(b->objectName()));
    }
}

void TstCatalogView::gotoCatalogAndBackToViewer()
{
    WindowFixture f;
    f.start();
    auto *pictures = f.find<QWidget>("pn_viewmain");
    auto *catalog = f.find<QWidget>("pn_catalogmain");
    // The empty view is in front at start; the picture view button brings the pictures.
    QVERIFY(!pictures->isVisible());
    QTest::mouseClick(f.find<QToolButton>("bt_showview"), Qt::LeftButton);
    QVERIFY(pictures->isVisible());
    auto *go = f.find<QToolButton>("bt_gotocatalog");
    QVERIFY(go->isVisible());
    QCOMPARE(go->toolTip(), QStringLiteral("create catalog")); // the first start is English
    go->click();
    QVERIFY(catalog->isVisible());
    QVERIFY(!pictures->isVisible());
    button(f, "bt_backtoview")->click();
    QVERIFY(pictures->isVisible());
    QVERIFY(!catalog->isVisible());
}

void TstCatalogView::largePictureShownWhole()
{
    WindowFixture f;
    startWith(f, 1);
    writeFile(f.path("pics/large.jpg"), jpeg(2400, 1800));
    create(f);
    CatalogBrowser *browser = view(f)->browser();
    const auto shownSize = [browser](const QString &path) {
        browser->openPicture(path);
        QCoreApplication::processEvents(); // the document is laid out and its picture loaded
        return browser->document()
            ->resource(QTextDocument::ImageResource, QUrl::fromLocalFile(path))
            .value<QImage>()
            .size();
    };
    // Fitted into the view, in its proportions.
    const QSize large = shownSize(f.path("pics/large.jpg"));
    const QSize room = browser->viewport()->size();
    QVERIFY2(large.width() <= room.width() && large.height() <= room.height(),
             qPrintable(QStringLiteral("%1 x %2 in %3 x %4")
                            .arg(large.width())
                            .arg(large.height())
                            .arg(room.width())
                            .arg(room.height())));
    QVERIFY(large.width() > room.width() / 2 || large.height() > room.height() / 2);
    QVERIFY(qAbs(large.width() * 3 - large.height() * 4) <= 4); // 4:3, give or take rounding

    // A small picture keeps its size.
    browser->backToPage();
    QCOMPARE(shownSize(f.path("pics/p000.jpg")), QSize(64, 48));
}

QTEST_MAIN(TstCatalogView)
#include "tst_catalog_view.moc"
