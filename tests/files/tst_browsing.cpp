// Filter buttons, folder listing, routing by kind, deleting and the tree scan, on the real
// main window.
#include "app/view_stack_view.h"
#include "files/fake_drive_info.h"
#include "files/file_helpers.h"
#include "files/file_list_model.h"
#include "files/list_area_view.h"
#include "files/mask_bar_view.h"
#include "files/masks.h"
#include "files/scan_panel_view.h"
#include "support/test_support.h"
#include "widgets/collapsible_toolbar.h"
#include "widgets/progress_panel.h"

#include <QDir>
#include <QFrame>
#include <QLabel>
#include <QTabWidget>
#include <QTableWidget>
#include <QToolButton>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

using namespace vorn;
using namespace vorn::test;

class TstBrowsing : public QObject
{
    Q_OBJECT
  private slots:
    void maskButtonsCompose();
    void routesByKind_data();
    void routesByKind();
    void deleteReselects();
    void deleteAllShowsZero();
    void deleteRefusedOnCdrom();
    void deleteCancelledKeepsTheRest();
    void hiddenFileNotListed();
    void largeFolderListedInOrder();
    void firstScreenfulThenTheRest_data();
    void firstScreenfulThenTheRest();
    void renameModeHidesLists();
    void scanOrderAndQuestion();
    void scanNoAtQuestion();
    void scanCancelNoMissesFileInHand();
    void scanRefusesStarDotStar();
    void scanNeedsFolderClick_data();
    void scanNeedsFolderClick();
    void multipleSelectionKeepsPosition();
    void maskGridShowsAllCells_data();
    void maskGridShowsAllCells();
    void closeDuringScan();
    void renameInPlace();
    void keys();
    void nameThatIsNotUtf8();

  private:
    // A window in German with a folder of files listed.
    MainWindow &startIn(WindowFixture &f, const QStringList &files, const QString &sub = "pics",
                        int listed = -1);
    QString frontPanel(WindowFixture &f) { return f.window->views()->currentWidget()->objectName(); }
    void click(WindowFixture &f, const QString &name)
    {
        QTest::mouseClick(f.find<QToolButton>(name), Qt::LeftButton);
    }
};

MainWindow &TstBrowsing::startIn(WindowFixture &f, const QStringList &files, const QString &sub, int listed)
{
    writeFile(f.path("vorn.cfg"), "0\r\n0\r\n0\r\nnormal\r\n");
    for (const QString &n : files)
        writeFile(f.path(sub + "/" + n), "x");
    MainWindow &w = f.start();
    w.listArea()->openFolder(f.path(sub));
    [&] { QTRY_COMPARE(w.listArea()->folderList()->count(), listed < 0 ? int(files.size()) : listed); }();
    return w;
}

void TstBrowsing::maskButtonsCompose()
{
    WindowFixture f;
    startIn(f, {"a.jpg", "b.gif", "c.txt"});
    auto *filter = f.find<QLabel>("pn_filter");
    QCOMPARE(filter->text(), QString("*.*"));
    click(f, "bt_maskwahl0");
    click(f, "bt_maskwahl6");
    QCOMPARE(filter->text(), QString("*.gif;*.jpg"));
    QCOMPARE(f.window->context().filter().mask, QString("*.jpg;*.gif;"));
    QTRY_COMPARE(f.window->listArea()->folderList()->count(), 2);
    QVERIFY(!f.find<QToolButton>("bt_maskwahl13")->isChecked());
    click(f, "bt_maskwahl0");
    click(f, "bt_maskwahl6");
    QCOMPARE(filter->text(), QString("*.*"));
    QVERIFY(f.find<QToolButton>("bt_maskwahl13")->isChecked());
    QTRY_COMPARE(f.window->listArea()->folderList()->count(), 3);
}

void TstBrowsing::routesByKind_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("viewTag");
    QTest::addColumn<QString>("panel");
    // viewTag: the view button clicked first (0: none, as at start).
    QTest::newRow("picture") << "PHOTO.JPG" << 2000 << "pn_viewmain";
    QTest::newRow("picture at start") << "PHOTO.JPG" << 0 << "pn_viewmain";
    QTest::newRow("zip in picture mode") << "ARCHIVE.ZIP" << 2000 << "pn_zipmain";
    QTest::newRow("zip at start is text") << "ARCHIVE.ZIP" << 0 << "pn_textmain";
    QTest::newRow("zip elsewhere is text") << "ARCHIVE.ZIP" << 2002 << "pn_textmain";
    QTest::newRow("no extension is text") << "README" << 2000 << "pn_textmain";
    QTest::newRow("html") << "page.htm" << 0 << "pn_htmlmain";
    QTest::newRow("video") << "clip.mpg" << 2000 << "pn_videomain";
}

void TstBrowsing::routesByKind()
{
    QFETCH(QString, file);
    QFETCH(int, viewTag);
    QFETCH(QString, panel);
    WindowFixture f;
    MainWindow &w = startIn(f, {file}, "pics", file.contains('.') ? 1 : 0);
    // At start the empty view is in front and no mode is chosen, with the picture button down.
    QCOMPARE(frontPanel(f), QString("pn_main"));
    QVERIFY(w.context().mode() == ViewMode::None);
    QVERIFY(f.find<QToolButton>("bt_showview")->isChecked());
    if (viewTag == 2000)
        QTest::mouseClick(f.find<QToolButton>("bt_showview"), Qt::LeftButton);
    else if (viewTag == 2002)
        QTest::mouseClick(f.find<QToolButton>("bt_showrename"), Qt::LeftButton);
    FileListView *lv = w.listArea()->folderList();
    if (lv->count() == 1) {
        lv->selectRow(0);
        w.listArea()->lvclick();
    } else {
        w.show_file(f.path("pics/" + file)); // not listed under "*.*", routed all the same
    }
    QCOMPARE(frontPanel(f), panel);
}

void TstBrowsing::deleteReselects()
{
    WindowFixture f;
    MainWindow &w = startIn(f, {"1.jpg", "2.jpg", "3.jpg", "4.jpg", "5.jpg"});
    // Real pictures, so that showing the reselected one is silent.
    QImage picture(4, 4, QImage::Format_RGB32);
    picture.fill(Qt::red);
    for (const char *n : {"1.jpg", "2.jpg", "3.jpg", "4.jpg", "5.jpg"})
        QVERIFY(picture.save(f.path(QStringLiteral("pics/") + QLatin1String(n)), "JPG"));
    FileListView *lv = w.listArea()->folderList();
    lv->selectRow(4);
    w.listArea()->lvclick();
    click(f, "bt_trashmain");
    QTRY_VERIFY(!w.listArea()->isBusy());
    QCOMPARE(lv->count(), 4);
    QCOMPARE(lv->selectedRows(), QList<int>{3});
    QCOMPARE(f.find<QLabel>("pno_nr")->text(), QString("Datei 4 von 4"));
    QVERIFY(!QFileInfo::exists(f.path("pics/5.jpg")));
    QVERIFY(f.prompter.messages().isEmpty());
    // Never gone for good: the file is in the trash.
    QStringList trashed = QDir(f.path("xdg-data/Trash/files")).entryList(QDir::Files);
    trashed += QDir(f.path("trash")).entryList(QDir::Files);
    QCOMPARE(trashed, QStringList{"5.jpg"});
}

void TstBrowsing::deleteAllShowsZero()
{
    WindowFixture f;
    MainWindow &w = startIn(f, {"1.jpg", "2.jpg", "3.jpg"});
    FileListView *lv = w.listArea()->folderList();
    lv->selectAll();
    QTest::keyClick(lv, Qt::Key_Delete);
    QTRY_VERIFY(!w.listArea()->isBusy());
    QCOMPARE(lv->count(), 0);
    QCOMPARE(f.find<QLabel>("pno_nr")->text(), QString("Datei 0 von 0"));
}

void TstBrowsing::deleteRefusedOnCdrom()
{
    WindowFixture f;
    MainWindow &w = startIn(f, {"1.txt", "2.txt"});
    FakeDriveInfo drives;
    drives.addCdrom(f.path("pics"));
    w.context().setDrives(&drives);
    FileListView *lv = w.listArea()->folderList();
    lv->selectRow(0);
    click(f, "bt_trashmain");
    QCOMPARE(f.prompter.messages(), QStringList{"Von einer CD-Rom kann nichts gelöscht werden!"});
    QCOMPARE(lv->count(), 2);
    QVERIFY(QFileInfo::exists(f.path("pics/1.txt")));
    w.context().setDrives(nullptr);
}

// Sending files to the trash runs on a job: held inside the first file, the window takes a
// click on the cancel; the file in hand goes, the others stay listed and on disk.
void TstBrowsing::deleteCancelledKeepsTheRest()
{
    WindowFixture f;
    MainWindow &w = startIn(f, {"1.txt", "2.txt", "3.txt", "4.txt"});
    FileListView *lv = w.listArea()->folderList();
    auto *panel = f.find<ProgressPanel>("pn_trashprogress");
    QVERIFY(panel);
    lv->selectAll();
    FileOpGate gate(FileOpStage::Starting);
    QTest::keyClick(lv, Qt::Key_Delete);
    QTRY_VERIFY(gate.reached());
    QTRY_VERIFY(panel->isVisible());
    QVERIFY(!lv->isEnabled());
    QTest::mouseClick(panel->cancelButton(), Qt::LeftButton);
    gate.open();
    QTRY_VERIFY(!w.listArea()->isBusy());
    QVERIFY(!QFileInfo::exists(f.path("pics/1.txt")));
    for (const char *n : {"2.txt", "3.txt", "4.txt"})
        QVERIFY(QFileInfo::exists(f.path(QStringLiteral("pics/") + QLatin1String(n))));
    QVERIFY(lv->isEnabled());
    QCOMPARE(lv->count(), 3);
    QCOMPARE(lv->selectedRows(), QList<int>{2});
    QVERIFY(f.prompter.messages().isEmpty());
}

void TstBrowsing::hiddenFileNotListed()
{
    WindowFixture f;
    writeFile(f.path("pics/.hidden.jpg"), "x");
    // Under "*.*" a name without a dot is not listed either.
    MainWindow &w = startIn(f, {"shown.jpg", "README", "a.b"}, "pics", 2);
    QStringList names;
    for (const FileEntry &e : w.listArea()->folderList()->fileModel()->entries())
        names << e.name;
    QCOMPARE(names, (QStringList{"a.b", "shown.jpg"}));
}

// A folder of several thousand files is read and checked in blocks on more than one thread:
// every accepted file comes once, in order without regard to case, and files flagged hidden or
// system in user.DOSATTRIB are left out wherever they fall.
void TstBrowsing::largeFolderListedInOrder()
{
    QTemporaryDir dir;
    constexpr int kFiles = 7000;
    const QByteArray folder = QFile::encodeName(dir.path()) + '/';
    const QByteArray probe = folder + "probe.dat";
    QVERIFY(::close(::open(probe.constData(), O_CREAT | O_WRONLY, 0644)) == 0);
    // Without extended attributes on this file system no file is flagged.
    const bool xattrs = setxattr(probe.constData(), "user.DOSATTRIB", "0x20", 4, 0) == 0;
    QStringList expected;
    for (int i = kFiles - 1; i >= 0; --i) {
        const bool accepted = i % 50 != 7;
        const QString name = QStringLiteral("%1_%2.%3")
                                 .arg(i % 2 ? "Img" : "img")
                                 .arg(i, 5, 10, QLatin1Char('0'))
                                 .arg(accepted ? "jpg" : "txt");
        const QByteArray path = folder + QFile::encodeName(name);
        const int fd = ::open(path.constData(), O_CREAT | O_WRONLY, 0644);
        QVERIFY(fd >= 0);
        ::close(fd);
        // Hidden (0x2) and system (0x4) leave a file out; archive (0x20) does not.
        const char *flags = i % 97 == 3 ? "0x2" : i % 89 == 5 ? "0x4" : i % 13 == 0 ? "0x20" : nullptr;
        if (xattrs && flags)
            QVERIFY(setxattr(path.constData(), "user.DOSATTRIB", flags, strlen(flags), 0) == 0);
        const bool flagged = xattrs && flags && qstrcmp(flags, "0x20") != 0;
        if (accepted && !flagged)
            expected.prepend(name);
    }
    const QStringList patterns = parse_patterns(QStringLiteral("*.jpg"));
    QStringList names;
    for (const FileEntry &e :
         list_folder(dir.path(), [&patterns](const QString &n) { return matches_any(n, patterns); })) {
        QCOMPARE(e.folder, dir.path() + QLatin1Char('/'));
        names << e.name;
    }
    QCOMPARE(names.size(), expected.size());
    QCOMPARE(names, expected);
}

// The folder list shows its first screenful before the attributes of the rest are read: one
// reset with the first entries (already without hidden and system files), then the rest in one
// insertion after them; a small folder comes whole in its one reset.
void TstBrowsing::firstScreenfulThenTheRest_data()
{
    QTest::addColumn<int>("files");
    QTest::newRow("small folder") << 50;
    QTest::newRow("more than a screenful") << 900;
}

void TstBrowsing::firstScreenfulThenTheRest()
{
    QFETCH(int, files);
    QTemporaryDir dir;
    const QByteArray folder = QFile::encodeName(dir.path()) + '/';
    const QByteArray probe = folder + "probe.dat";
    QVERIFY(::close(::open(probe.constData(), O_CREAT | O_WRONLY, 0644)) == 0);
    const bool xattrs = setxattr(probe.constData(), "user.DOSATTRIB", "0x20", 4, 0) == 0;
    QVERIFY(::unlink(probe.constData()) == 0);
    QStringList expected;
    for (int i = 0; i < files; ++i) {
        const QString name =
            QStringLiteral("%1%2.jpg").arg(i % 2 ? "P" : "p").arg(i, 4, 10, QLatin1Char('0'));
        const QByteArray path = folder + QFile::encodeName(name);
        QVERIFY(::close(::open(path.constData(), O_CREAT | O_WRONLY, 0644)) == 0);
        // Hidden files among the first screenful and beyond it.
        const bool hidden = xattrs && i % 7 == 3;
        if (hidden)
            QVERIFY(setxattr(path.constData(), "user.DOSATTRIB", "0x2", 3, 0) == 0);
        else
            expected << name;
    }
    FileListModel model;
    QStringList atReset;
    int resets = 0, insertions = 0;
    connect(&model, &FileListModel::modelReset, &model, [&] {
        ++resets;
        atReset.clear();
        for (const FileEntry &e : model.entries())
            atReset << e.name;
    });
    connect(&model, &FileListModel::rowsInserted, &model, [&](const QModelIndex &, int first, int) {
        ++insertions;
        QCOMPARE(first, int(atReset.size())); // after the first screenful
    });
    QSignalSpy listed(&model, &FileListModel::listed);
    model.setFolder(dir.path(), {});
    QVERIFY(listed.wait(20000));
    QCOMPARE(resets, 2); // emptied at once, then the first screenful
    QCOMPARE(atReset, expected.mid(0, FileListModel::kFirstScreenful));
    QCOMPARE(insertions, expected.size() > FileListModel::kFirstScreenful ? 1 : 0);
    QStringList names;
    for (const FileEntry &e : model.entries())
        names << e.name;
    QCOMPARE(names, expected);
}

void TstBrowsing::renameModeHidesLists()
{
    WindowFixture f;
    MainWindow &w = f.start();
    QTest::mouseClick(f.find<QToolButton>("bt_showrename"), Qt::LeftButton);
    QVERIFY(!w.listArea()->isVisible());
    QVERIFY(!w.maskBar()->isVisible());
    QVERIFY(!w.sortBar()->isVisible());
    QCOMPARE(frontPanel(f), QString("pn_renamemain"));
    QTest::mouseClick(f.find<QToolButton>("bt_showview"), Qt::LeftButton);
    QVERIFY(w.listArea()->isVisible());
    QVERIFY(w.maskBar()->isVisible());
    QVERIFY(w.sortBar()->isVisible());
    QCOMPARE(frontPanel(f), QString("pn_viewmain"));
}

void TstBrowsing::scanOrderAndQuestion()
{
    WindowFixture f;
    for (const char *n : {"tree/b.jpg", "tree/A.jpg", "tree/x.gif", "tree/sub/c.jpg", "tree/sub/y.gif",
                          "tree/.hid/h.jpg", "tree/.z.jpg"})
        writeFile(f.path(n), "x");
    MainWindow &w = startIn(f, {}, "tree");
    click(f, "bt_maskwahl0");
    click(f, "bt_maskwahl6");
    click(f, "bt_startscan");
    QTRY_VERIFY(!w.scanPanel()->isScanning());
    const QString root = f.path("tree/");
    QCOMPARE(f.prompter.messages().value(0),
             "Sie wollen den Ordner  " + root.toUpper() +
                 "  nach Dateien vom Typ  *.GIF;*.JPG  durchsuchen.\r\n\r\nFortfahren?");
    QStringList found;
    for (const FileEntry &e : w.listArea()->searchList()->fileModel()->entries())
        found << e.fullPath().mid(root.size());
    // jpg folder by folder (files before subfolders, hidden files listed, hidden folders not
    // entered), then gif.
    QCOMPARE(found, (QStringList{".z.jpg", "A.jpg", "b.jpg", "sub/c.jpg", "x.gif", "sub/y.gif"}));
    QCOMPARE(f.prompter.lastMessage(), QString("Suchvorgang beendet!"));
    QCOMPARE(w.listArea()->tabs()->currentIndex(), 1);
    QCOMPARE(f.find<QLabel>("pns_nr")->text(), QString(" Gefunden: 6"));
    QVERIFY(f.find<QToolButton>("bt_clearscan")->isEnabled());
    // The next question names the last pattern searched.
    QCOMPARE(w.scanPanel()->fileMask(), QString("*.gif"));

    // Clearing returns to an idle search: no count text, start on, clear off.
    click(f, "bt_clearscan");
    QCOMPARE(w.listArea()->searchList()->count(), 0);
    QCOMPARE(f.find<QLabel>("pns_nr")->text(), QString());
    QVERIFY(f.find<QToolButton>("bt_startscan")->isEnabled());
    QVERIFY(!f.find<QToolButton>("bt_clearscan")->isEnabled());
    // A new filter is named again.
    click(f, "bt_maskwahl6");
    QCOMPARE(w.scanPanel()->fileMask(), QString("*.jpg"));
}

void TstBrowsing::scanNoAtQuestion()
{
    WindowFixture f;
    writeFile(f.path("tree/a.jpg"), "x");
    MainWindow &w = startIn(f, {"a.jpg"}, "tree");
    click(f, "bt_maskwahl0");
    f.prompter.pushAnswer(Answer::No);
    click(f, "bt_startscan");
    QCOMPARE(w.listArea()->searchList()->count(), 0);
    QCOMPARE(f.prompter.messages().size(), 1);
}

void TstBrowsing::scanCancelNoMissesFileInHand()
{
    WindowFixture f;
    for (const char *n : {"tree/a/1.jpg", "tree/a/2.jpg", "tree/b/3.jpg", "tree/b/4.jpg", "tree/b/5.jpg"})
        writeFile(f.path(n), "x");
    MainWindow &w = startIn(f, {}, "tree");
    click(f, "bt_maskwahl0");
    FileListModel *model = w.listArea()->searchList()->fileModel();
    // Cancel as soon as the scan has started, before any file has arrived.
    connect(w.scanPanel(), &ScanPanelView::lockRequested, w.scanPanel(), &ScanPanelView::bt_exitscanclick,
            Qt::SingleShotConnection);
    f.prompter.pushAnswer(Answer::Yes); // start
    f.prompter.pushAnswer(Answer::No);  // do not abort
    click(f, "bt_startscan");
    QTRY_VERIFY(!w.scanPanel()->isScanning());
    QStringList names;
    for (const FileEntry &e : model->entries())
        names << e.name;
    // Only the file in hand when the question came is missing.
    QCOMPARE(names, (QStringList{"2.jpg", "3.jpg", "4.jpg", "5.jpg"}));
    QCOMPARE(f.prompter.messages().value(1), QString("Wollen Sie diesen Vorgang wirklich abbrechen?"));
}

void TstBrowsing::scanRefusesStarDotStar()
{
    WindowFixture f;
    MainWindow &w = startIn(f, {"a.jpg"}, "tree");
    click(f, "bt_startscan");
    QCOMPARE(f.prompter.messages(), QStringList{"Mit *.* kann nicht gesucht werden!"});
    QCOMPARE(w.listArea()->searchList()->count(), 0);
}

void TstBrowsing::scanNeedsFolderClick_data()
{
    QTest::addColumn<QByteArray>("language");
    QTest::addColumn<QString>("text");
    QTest::newRow("German") << QByteArray("0") << "Bitte wählen Sie zuerst ein laufwerk!";
    QTest::newRow("English") << QByteArray("1") << "First select a drive, please!";
}

void TstBrowsing::scanNeedsFolderClick()
{
    QFETCH(QByteArray, language);
    QFETCH(QString, text);
    WindowFixture f;
    writeFile(f.path("vorn.cfg"), "0\r\n0\r\n" + language + "\r\nnormal\r\n");
    MainWindow &w = f.start();
    // The start folder is listed, but only a folder click names the folder to search.
    QVERIFY(!w.listArea()->listedFolder().isEmpty());
    click(f, "bt_maskwahl0");
    click(f, "bt_startscan");
    QCOMPARE(f.prompter.messages(), QStringList{text});
    QVERIFY(!w.scanPanel()->isScanning());
    QCOMPARE(w.listArea()->searchList()->count(), 0);
}

void TstBrowsing::multipleSelectionKeepsPosition()
{
    WindowFixture f;
    MainWindow &w = startIn(f, {"1.txt", "2.txt", "3.txt", "4.txt", "5.txt"});
    FileListView *lv = w.listArea()->folderList();
    auto clickRow = [lv](int row, Qt::KeyboardModifiers mods) {
        const QRect r = lv->visualRect(lv->fileModel()->index(row, 0));
        QTest::mouseClick(lv->viewport(), Qt::LeftButton, mods, r.center());
    };
    clickRow(1, Qt::NoModifier);
    QCOMPARE(f.find<QLabel>("pno_nr")->text(), QString("Datei 2 von 5"));
    clickRow(4, Qt::ControlModifier);
    QTest::keyClick(lv, Qt::Key_Control); // the key's release rewrites the texts too
    QCOMPARE(lv->selectedCount(), 2);
    QCOMPARE(f.find<QLabel>("pno_nr")->text(), QString("Datei 2 von 5"));
    QCOMPARE(f.window->context().selection().selectedCount, 2);
}

void TstBrowsing::maskGridShowsAllCells_data()
{
    QTest::addColumn<QByteArray>("widths");
    QTest::newRow("default widths") << QByteArray();
    QTest::newRow("widths of a damaged file") << QByteArray("cw 2,0\r\ncw 5,100000\r\ncw 13,-7\r\n");
}

void TstBrowsing::maskGridShowsAllCells()
{
    QFETCH(QByteArray, widths);
    WindowFixture f;
    QByteArray msk = "14,1\r\n" + widths;
    for (int i = 0; i < 14; ++i)
        msk += QByteArray::number(i) + ",0,m" + QByteArray::number(i) + "\r\n";
    writeFile(f.path("vorn.msk"), msk);
    f.start();
    click(f, "bt_setmasks");
    auto *grid = f.find<QTableWidget>("sg_maskconf");
    auto *ok = f.find<QToolButton>("bt_maskconfigok");
    QVERIFY(grid->isVisible());
    QCOMPARE(grid->columnCount(), 14);
    // Every cell lies inside the grid's visible area, and the Ok button covers none of them.
    const QRect visible = grid->viewport()->rect();
    for (int c = 0; c < 14; ++c) {
        const QRect cell = grid->visualItemRect(grid->item(0, c));
        QVERIFY2(cell.width() >= 16 && visible.contains(cell), qPrintable(QString::number(c)));
    }
    QVERIFY(grid->geometry().right() < ok->geometry().left());
    QVERIFY(grid->window()->width() <= 800);
}

void TstBrowsing::closeDuringScan()
{
    WindowFixture f;
    for (int i = 0; i < 300; ++i)
        writeFile(f.path(QString("tree/d%1/p%2.jpg").arg(i % 30).arg(i)), "x");
    MainWindow &w = startIn(f, {}, "tree");
    click(f, "bt_maskwahl0");
    click(f, "bt_startscan");
    f.prompter.pushAnswer(Answer::Yes); // close question
    w.close();
    // The scan ends first, then the window closes and writes its configuration.
    QTRY_VERIFY(!w.isVisible());
    QVERIFY(!w.scanPanel()->isScanning());
    QCOMPARE(readFile(f.path("vorn.cfg")), QByteArray("0\r\n0\r\n0\r\nnormal\r\n"));
}

void TstBrowsing::renameInPlace()
{
    WindowFixture f;
    MainWindow &w = startIn(f, {"a.jpg", "b.jpg", "ro.jpg"});
    QImage picture(4, 4, QImage::Format_RGB32);
    picture.fill(Qt::blue);
    QVERIFY(picture.save(f.path("pics/a.jpg"), "JPG"));
    FileListView *lv = w.listArea()->folderList();
    FileListModel *model = lv->fileModel();
    QVERIFY(!(model->flags(model->index(0, 0)) & Qt::ItemIsEditable));
    QTest::mouseClick(f.find<QToolButton>("bt_editliste"), Qt::LeftButton);
    QVERIFY(model->flags(model->index(0, 0)) & Qt::ItemIsEditable);

    lv->selectRow(0);
    w.listArea()->lvclick();
    model->setData(model->index(0, 0), "Holiday.JPG", Qt::EditRole);
    QCOMPARE(model->entry(0).name, QString("Holiday.JPG"));
    QVERIFY(QFileInfo::exists(f.path("pics/Holiday.JPG")));
    QVERIFY(f.prompter.messages().isEmpty());

    // A taken name: the file system refuses, the list keeps the name the file really has.
    model->setData(model->index(1, 0), "Holiday.JPG", Qt::EditRole);
    QCOMPARE(model->entry(1).name, QString("b.jpg"));
    QVERIFY(QFileInfo::exists(f.path("pics/b.jpg")));
    QCOMPARE(f.prompter.messages().size(), 1);
    QVERIFY(f.prompter.lastMessage().startsWith("Datei b.jpg: "));

    // An extension change is refused by the name rules.
    model->setData(model->index(1, 0), "b.jpeg", Qt::EditRole);
    QCOMPARE(model->entry(1).name, QString("b.jpg"));
    QVERIFY(f.prompter.lastMessage().startsWith("Das Ändern der Dateinamenserweiterung"));

    // A read-only file is refused with its path.
    QFile::setPermissions(f.path("pics/ro.jpg"), QFile::ReadOwner);
    model->setData(model->index(2, 0), "rw.jpg", Qt::EditRole);
    QCOMPARE(f.prompter.lastMessage(), f.path("pics/ro.jpg") + "\r\n\r\nDatei ist schreibgeschützt!");
    QVERIFY(QFileInfo::exists(f.path("pics/ro.jpg")));
}

// A name that is not UTF-8 beside its look-alike: the read-out gives the real file's size and
// the delete takes the selected file, not the other one.
void TstBrowsing::nameThatIsNotUtf8()
{
    WindowFixture f;
    QDir().mkpath(f.path("pics"));
    const QByteArray folder = QFile::encodeName(f.path("pics/"));
    const QByteArray bad = folder + "bad\xff.bin", alike = folder + "bad\xef\xbf\xbd.bin";
    for (const QByteArray &p : {bad, alike}) {
        const int fd = ::open(p.constData(), O_WRONLY | O_CREAT | O_EXCL, 0644);
        QVERIFY(fd >= 0);
        QCOMPARE(::write(fd, p.constData(), size_t(p.size())), ssize_t(p.size()));
        ::close(fd);
    }
    MainWindow &w = startIn(f, {}, "pics", 2);
    FileListView *lv = w.listArea()->folderList();
    const int row = native_path(lv->fileModel()->entry(0).fullPath()) == bad ? 0 : 1;
    QCOMPARE(native_path(lv->fileModel()->entry(row).fullPath()), bad);
    lv->selectRow(row);
    w.listArea()->updateReadout();
    QCOMPARE(w.context().selection().sizeText, QString::number(bad.size()) + " Bytes");
    QCOMPARE(f.find<QLabel>("pno_nr")->toolTip(), f.path("pics/bad\uFFFD.bin"));
    click(f, "bt_trashmain");
    QTRY_VERIFY(!w.listArea()->isBusy());
    QCOMPARE(lv->count(), 1);
    struct stat st {
    };
    QVERIFY(::lstat(bad.constData(), &st) != 0);
    QCOMPARE(readFile(QFile::decodeName(alike)), alike);
    QVERIFY(f.prompter.messages().isEmpty());
    // Qt's clean-up of the sandbox cannot name the trashed file.
    for (const QString &sub :
         {f.path("xdg-data/Trash/files"), f.path("xdg-data/Trash/info"), f.path("trash")})
        for (const QString &name : folder_entries(sub, true))
            ::unlink(native_path(sub + "/" + name).constData());
}

void TstBrowsing::keys()
{
    WindowFixture f;
    MainWindow &w = startIn(f, {"1.jpg", "2.jpg", "3.txt"});
    FileListView *lv = w.listArea()->folderList();
    lv->setFocus();
    QTest::keyClick(lv, Qt::Key_End);
    QCOMPARE(lv->selectedRows(), QList<int>{2});
    QCOMPARE(w.views()->front(), View::Text);
    QTest::keyClick(lv, Qt::Key_Home);
    QCOMPARE(lv->selectedRows(), QList<int>{0});
    QCOMPARE(w.views()->front(), View::Pictures);
    QCOMPARE(f.find<QLabel>("pno_nr")->text(), QString("Datei 1 von 3"));
    QTest::keyClick(lv, Qt::Key_Down);
    QCOMPARE(f.find<QLabel>("pno_nr")->text(), QString("Datei 2 von 3"));
    QTest::keyClick(lv, Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(lv->selectedCount(), 3);
    // With the stepping switch on, Ctrl steps forward and Shift back.
    lv->selectRow(0);
    w.context().setKeyStepping(true);
    QTest::keyClick(lv, Qt::Key_Control);
    QCOMPARE(lv->selectedRows(), QList<int>{1});
    QTest::keyClick(lv, Qt::Key_Shift);
    QCOMPARE(lv->selectedRows(), QList<int>{0});
}

QTEST_MAIN(TstBrowsing)
#include "tst_browsing.moc"
