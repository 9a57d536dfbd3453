// Sorting files of the list into folders on the real main window: copy and move, the checks
// of a target button, reselection and counters, failures, keys and the undo journal.
#include "files/fake_drive_info.h"
#include "files/file_viewer.h"
#include "files/list_area_view.h"
#include "files/view_host.h"
#include "sorting/sort_bar_view.h"
#include "sorting/sort_config_view.h"
#include "support/test_support.h"
#include "widgets/gradient_button.h"
#include "widgets/panel_status_bar.h"
#include "widgets/progress_panel.h"

#include "lang/texts.h"
#include "sorting/sort_journal.h"

#include <QDir>
#include <QFileSystemModel>
#include <QLabel>
#include <QShortcut>
#include <QToolButton>
#include <QTreeView>

using namespace vorn;
using namespace vorn::test;

namespace
{

// Stands in for the picture view: records what is routed to it.
struct RecordingViewer : FileViewer {
    QStringList shown;
    int released = 0;
    void showFile(const QString &path) override { shown << path; }
    void releaseFile() override { ++released; }
};

QStringList filesIn(const QString &dir)
{
    return QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
}

} // namespace

class TstSorting : public QObject
{
    Q_OBJECT
  private slots:
    void fiveMovedLeaveListAndNextIsShown();
    void copyOfLastItemReselectsIt();
    void movingEveryItemEmptiesList();
    void targetChecks_data();
    void targetChecks();
    void sameFileCopiedTwiceGetsSecondName();
    void failedMoveStaysListedWithOneMessage();
    void keysPressTargetsAndHintsNameThem();
    void undoTwoRunsAfterRestart();
    void unreadableJournalIsReported();
    void unfinishedRunUndoneSaysSo();
    void folderDeleteNamesFilesThatStayed();
    void cancelHandledWhileRunIsHeld_data();
    void cancelHandledWhileRunIsHeld();

  private:
    MainWindow &startIn(WindowFixture &f, RecordingViewer &viewer, int files);
    void selectRows(FileListView *lv, const QList<int> &rows);
    SortBarView *bar(WindowFixture &f) { return f.window->sortView(); }
    // Runs go on a job: the window is live until they end.
    void waitIdle(WindowFixture &f) { QTRY_VERIFY(!bar(f)->engine().isBusy()); }
    void toQuick(WindowFixture &f, const QString &folder)
    {
        bar(f)->assignQuickTarget(folder);
        f.find<GradientButton>("bt_intofolder1")->click();
        waitIdle(f);
    }
    QString name(int i) { return QString("%1.jpg").arg(i, 2, 10, QChar('0')); }
};

MainWindow &TstSorting::startIn(WindowFixture &f, RecordingViewer &viewer, int files)
{
    writeFile(f.path("vorn.cfg"), "0\r\n0\r\n0\r\nnormal\r\n");
    for (int i = 0; i < files; ++i)
        writeFile(f.path("pics/" + name(i)), name(i).toUtf8());
    QDir().mkpath(f.path("target"));
    MainWindow &w = f.start();
    w.host().registerViewer(View::Pictures, &viewer);
    w.listArea()->openFolder(f.path("pics"));
    [&] { QTRY_COMPARE(w.listArea()->folderList()->count(), files); }();
    return w;
}

void TstSorting::selectRows(FileListView *lv, const QList<int> &rows)
{
    lv->clearSelection();
    for (int r : rows)
        lv->selectionModel()->select(lv->fileModel()->index(r, 0),
                                     QItemSelectionModel::Select | QItemSelectionModel::Rows);
    lv->selectionModel()->setCurrentIndex(lv->fileModel()->index(rows.last(), 0),
                                          QItemSelectionModel::NoUpdate);
}

void TstSorting::fiveMovedLeaveListAndNextIsShown()
{
    RecordingViewer viewer;
    WindowFixture f;
    MainWindow &w = startIn(f, viewer, 10);
    FileListView *lv = w.listArea()->folderList();
    selectRows(lv, {2, 3, 4, 5, 6});
    QTest::mouseClick(f.find<QToolButton>("bt_movefile"), Qt::LeftButton);
    QCOMPARE(w.sortStatus()->panelText(0), QString("Modus: Verschieben"));
    toQuick(f, f.path("target"));
    QVERIFY(f.prompter.messages().isEmpty());
    QCOMPARE(filesIn(f.path("target")), (QStringList{"02.jpg", "03.jpg", "04.jpg", "05.jpg", "06.jpg"}));
    QCOMPARE(lv->count(), 5);
    QCOMPARE(lv->selectedRows(), QList<int>{2});
    QCOMPARE(lv->fileModel()->entry(2).name, QString("07.jpg"));
    QCOMPARE(viewer.shown.value(viewer.shown.size() - 1), f.path("pics/07.jpg"));
    QCOMPARE(f.find<QLabel>("pno_nr")->text(), QString("Datei 3 von 5"));
}

void TstSorting::copyOfLastItemReselectsIt()
{
    RecordingViewer viewer;
    WindowFixture f;
    MainWindow &w = startIn(f, viewer, 3);
    FileListView *lv = w.listArea()->folderList();
    selectRows(lv, {2});
    toQuick(f, f.path("target"));
    QCOMPARE(filesIn(f.path("target")), QStringList{"02.jpg"});
    QCOMPARE(filesIn(f.path("pics")).size(), 3);
    QCOMPARE(lv->count(), 3);
    QCOMPARE(lv->selectedRows(), QList<int>{2});
    QCOMPARE(f.find<QLabel>("pno_nr")->text(), QString("Datei 3 von 3"));
}

void TstSorting::movingEveryItemEmptiesList()
{
    RecordingViewer viewer;
    WindowFixture f;
    MainWindow &w = startIn(f, viewer, 3);
    FileListView *lv = w.listArea()->folderList();
    selectRows(lv, {0, 1, 2});
    QTest::mouseClick(f.find<QToolButton>("bt_movefile"), Qt::LeftButton);
    const int releasedBefore = viewer.released;
    toQuick(f, f.path("target"));
    QCOMPARE(lv->count(), 0);
    QVERIFY(viewer.released > releasedBefore);
    QCOMPARE(f.find<QLabel>("pno_nr")->text(), QString("Datei 0 von 0"));
    QCOMPARE(filesIn(f.path("target")).size(), 3);
}

void TstSorting::targetChecks_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("message");
    QTest::newRow("empty quick target") << "empty"
                                        << "Es wurde kein Zielordner für diese Schaltfläche eingegeben!";
    QTest::newRow("deleted target") << "deleted"
                                    << "Ordner nicht gefunden: ";
    QTest::newRow("cd-rom") << "cdrom"
                            << "Auf CD-Rom kann nicht geschrieben werden!";
    QTest::newRow("nothing selected") << "noselection"
                                      << "Keine Datei(en) selektiert!";
}

void TstSorting::targetChecks()
{
    QFETCH(QString, kind);
    QFETCH(QString, message);
    RecordingViewer viewer;
    FakeDriveInfo drives;
    WindowFixture f;
    MainWindow &w = startIn(f, viewer, 3);
    FileListView *lv = w.listArea()->folderList();
    selectRows(lv, {1});
    QTest::mouseClick(f.find<QToolButton>("bt_movefile"), Qt::LeftButton);
    const QString target = f.path("target/");
    if (kind == "empty") {
        f.find<GradientButton>("bt_intofolder1")->click();
    } else {
        bar(f)->assignQuickTarget(target);
        if (kind == "deleted") {
            QVERIFY(QDir(target).removeRecursively());
            message += target;
        } else if (kind == "cdrom") {
            drives.addCdrom(target);
            w.context().setDrives(&drives);
        } else {
            lv->clearSelection();
        }
        f.find<GradientButton>("bt_intofolder1")->click();
    }
    QCOMPARE(f.prompter.messages(), QStringList{message});
    QCOMPARE(lv->count(), 3);
    QCOMPARE(filesIn(f.path("pics")).size(), 3);
    QVERIFY(filesIn(target).isEmpty());
    w.context().setDrives(nullptr);
}

void TstSorting::sameFileCopiedTwiceGetsSecondName()
{
    RecordingViewer viewer;
    WindowFixture f;
    MainWindow &w = startIn(f, viewer, 2);
    FileListView *lv = w.listArea()->folderList();
    selectRows(lv, {0});
    bar(f)->assignQuickTarget(f.path("target"));
    f.find<GradientButton>("bt_intofolder1")->click();
    waitIdle(f);
    selectRows(lv, {0});
    f.find<GradientButton>("bt_intofolder1")->click();
    waitIdle(f);
    QCOMPARE(filesIn(f.path("target")), (QStringList{"00 (2).jpg", "00.jpg"}));
    QCOMPARE(readFile(f.path("target/00.jpg")), QByteArray("00.jpg"));
    QCOMPARE(readFile(f.path("target/00 (2).jpg")), QByteArray("00.jpg"));
    QVERIFY(QFileInfo::exists(f.path("pics/00.jpg")));
    QVERIFY(f.prompter.messages().isEmpty());
}

void TstSorting::failedMoveStaysListedWithOneMessage()
{
    RecordingViewer viewer;
    WindowFixture f;
    MainWindow &w = startIn(f, viewer, 5);
    FileListView *lv = w.listArea()->folderList();
    selectRows(lv, {1, 2, 3});
    // 02.jpg vanishes behind the list's back: its move fails.
    QVERIFY(QFile::remove(f.path("pics/02.jpg")));
    QTest::mouseClick(f.find<QToolButton>("bt_movefile"), Qt::LeftButton);
    toQuick(f, f.path("target"));
    QCOMPARE(filesIn(f.path("target")), (QStringList{"01.jpg", "03.jpg"}));
    QStringList names;
    for (const FileEntry &e : lv->fileModel()->entries())
        names << e.name;
    QCOMPARE(names, (QStringList{"00.jpg", "02.jpg", "04.jpg"}));
    QCOMPARE(f.prompter.messages().size(), 1);
    QVERIFY(f.prompter.lastMessage().startsWith("Diese Dateien wurden nicht einsortiert:\n02.jpg: "));
    // The item after the last selected one is shown.
    QCOMPARE(lv->selectedRows(), QList<int>{2});
    QCOMPARE(f.find<QLabel>("pno_nr")->text(), QString("Datei 3 von 3"));
}

void TstSorting::keysPressTargetsAndHintsNameThem()
{
    RecordingViewer viewer;
    WindowFixture f;
    MainWindow &w = startIn(f, viewer, 3);
    FileListView *lv = w.listArea()->folderList();
    bar(f)->assignQuickTarget(f.path("target"));
    QVERIFY(f.find<GradientButton>("bt_intofolder1")->toolTip().contains("Alt+Q"));
    QVERIFY(f.find<GradientButton>("bt_intofolder3")->toolTip().contains("Alt+E"));
    QVERIFY(!f.find<GradientButton>("bt_intofolder1")->text().isEmpty());
    selectRows(lv, {0});
    w.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    QTest::keyClick(&w, Qt::Key_Q, Qt::AltModifier);
    waitIdle(f);
    QCOMPARE(filesIn(f.path("target")), QStringList{"00.jpg"});
    // A sort button from a template answers to Alt+1, and its hint says so.
    writeFile(f.path("templates/one.ctg"), ("2,2\r\n0,1,Eins\r\n1,1," + f.path("target/") + "\r\n").toUtf8());
    f.prompter.pushText(f.path("templates/one.ctg"));
    QTest::mouseClick(f.find<QToolButton>("bt_loadsort"), Qt::LeftButton);
    auto *sts1 = f.find<GradientButton>("sts_1");
    QVERIFY(sts1);
    QVERIFY(sts1->toolTip().contains("Alt+1"));
    selectRows(lv, {0});
    QTest::keyClick(&w, Qt::Key_1, Qt::AltModifier);
    waitIdle(f);
    QCOMPARE(filesIn(f.path("target")), (QStringList{"00 (2).jpg", "00.jpg"}));
    QVERIFY(f.prompter.messages().isEmpty());
}

void TstSorting::undoTwoRunsAfterRestart()
{
    RecordingViewer viewer;
    WindowFixture f;
    {
        MainWindow &w = startIn(f, viewer, 4);
        FileListView *lv = w.listArea()->folderList();
        QDir().mkpath(f.path("other"));
        // Run 1: two files moved; run 2: one copied.
        selectRows(lv, {0, 1});
        QTest::mouseClick(f.find<QToolButton>("bt_movefile"), Qt::LeftButton);
        toQuick(f, f.path("target"));
        selectRows(lv, {0});
        QTest::mouseClick(f.find<QToolButton>("bt_copyfile"), Qt::LeftButton);
        toQuick(f, f.path("other"));
        QCOMPARE(filesIn(f.path("target")), (QStringList{"00.jpg", "01.jpg"}));
        QCOMPARE(filesIn(f.path("other")), QStringList{"02.jpg"});
        f.closeConfirmed();
    }
    f.prompter.clear(); // the close question
    // A new run of the program in the same program folder.
    MainWindow &w = f.start();
    w.listArea()->openFolder(f.path("pics"));
    QTRY_COMPARE(w.listArea()->folderList()->count(), 2);
    w.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    QTest::keyClick(&w, Qt::Key_Z, Qt::ControlModifier);
    waitIdle(f);
    QVERIFY(filesIn(f.path("other")).isEmpty());
    QCOMPARE(filesIn(f.path("pics")).size(), 2);
    QTest::keyClick(&w, Qt::Key_Z, Qt::ControlModifier);
    waitIdle(f);
    QVERIFY(filesIn(f.path("target")).isEmpty());
    QCOMPARE(filesIn(f.path("pics")), (QStringList{"00.jpg", "01.jpg", "02.jpg", "03.jpg"}));
    QCOMPARE(readFile(f.path("pics/00.jpg")), QByteArray("00.jpg"));
    // The list shows what is on disk.
    QTRY_COMPARE(w.listArea()->folderList()->count(), 4);
    QVERIFY(f.prompter.messages().isEmpty());
    // Nothing left to undo.
    QTest::keyClick(&w, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(f.prompter.messages(),
             QStringList{"Es gibt keinen Sortiervorgang, der rückgängig gemacht werden kann."});
}

// A journal file the program cannot read is kept aside with a message that names where.
void TstSorting::unreadableJournalIsReported()
{
    WindowFixture f;
    writeFile(f.path("vorn.jnl"), "\xff\xfe not a journal");
    f.start();
    QCOMPARE(f.prompter.messages(),
             QStringList{Texts::msg(Msg::JournalSetAside, f.window->context().language()) + "\r\n" +
                         f.path("vorn.jnl.unreadable")});
    QCOMPARE(readFile(f.path("vorn.jnl.unreadable")), QByteArray("\xff\xfe not a journal"));
}

// A run the program did not finish is undone as far as it was recorded, and the message says
// so and counts what was undone and skipped.
void TstSorting::unfinishedRunUndoneSaysSo()
{
    RecordingViewer viewer;
    WindowFixture f;
    writeFile(f.path("done/a.jpg"), "a");
    writeFile(f.path("done/b.jpg"), "b");
    QDir().mkpath(f.path("pics"));
    {
        SortJournal j(f.path("vorn.jnl"));
        j.begin_run();
        for (const char *n : {"a.jpg", "b.jpg"})
            j.add_step(SortStep{f.path("pics/") + n, f.path("done/") + n, SortOp::Move, {}});
        // The program ended here: no end record.
    }
    writeFile(f.path("done/b.jpg"), "b edited");
    MainWindow &w = startIn(f, viewer, 0);
    w.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    QTest::keyClick(&w, Qt::Key_Z, Qt::ControlModifier);
    waitIdle(f);
    QCOMPARE(readFile(f.path("pics/a.jpg")), QByteArray("a"));
    QCOMPARE(readFile(f.path("done/b.jpg")), QByteArray("b edited"));
    QCOMPARE(f.prompter.messages().size(), 1);
    const QString text = f.prompter.messages().first();
    QVERIFY2(text.startsWith(Texts::msg(Msg::UndoUnfinishedRun, German) +
                             "\r\nRückgängig gemacht: 1\r\nÜbersprungen: 1"),
             qPrintable(text));
    QVERIFY2(text.endsWith("b.jpg: " + Texts::msg(Msg::UndoTargetChanged, German)), qPrintable(text));
}

// Deleting a folder of the sort tree: a file that no trash takes stays, and the message names
// it instead of passing over it.
void TstSorting::folderDeleteNamesFilesThatStayed()
{
    WindowFixture f;
    writeFile(f.path("xdg-data/Trash"), "no desktop trash here");
    writeFile(f.path("trash"), "no program trash either");
    writeFile(f.path("gone/keep.jpg"), "k");
    MainWindow &w = f.start();
    auto *tv = f.find<QTreeView>("tv_sort");
    QVERIFY(tv);
    auto *model = qobject_cast<QFileSystemModel *>(tv->model());
    QVERIFY(model);
    tv->setCurrentIndex(model->index(f.path("gone")));
    f.prompter.pushAnswer(Answer::Yes);
    w.findChild<SortConfigView *>()->bt_dirdeleteClick();
    waitIdle(f);
    QCOMPARE(readFile(f.path("gone/keep.jpg")), QByteArray("k"));
    QCOMPARE(f.prompter.messages().size(), 2);
    QVERIFY2(f.prompter.messages().last().startsWith(
                 Texts::msg(Msg::FolderFilesRemained, w.context().language()) + "\r\n\r\nkeep.jpg: "),
             qPrintable(f.prompter.messages().last()));
}

void TstSorting::cancelHandledWhileRunIsHeld_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("sort run") << "run";
    QTest::newRow("cross-device move of a large file") << "move";
    QTest::newRow("undo") << "undo";
}

// While a run is held inside a file operation, the window repaints, the operations that could
// start another run are locked, and a click on the cancel is delivered and handled: the run
// stops, and what it did not do stays as it was.
void TstSorting::cancelHandledWhileRunIsHeld()
{
    QFETCH(QString, kind);
    RecordingViewer viewer;
    WindowFixture f;
    MainWindow &w = startIn(f, viewer, 3);
    FileListView *lv = w.listArea()->folderList();
    SortEngine &engine = bar(f)->engine();
    const QString target = f.path("target");
    std::unique_ptr<QTemporaryDir> other;
    QByteArray bigBytes;
    FileOpStage stage = FileOpStage::Starting;
    if (kind == "move") {
        other = otherFileSystem(f.dir);
        if (!other)
            QSKIP("no second file system here");
        bigBytes = noise(24 << 20, 3);
        writeFile(other->filePath("big.bin"), bigBytes);
        w.listArea()->openFolder(other->path());
        QTRY_COMPARE(lv->count(), 1);
        selectRows(lv, {0});
        QTest::mouseClick(f.find<QToolButton>("bt_movefile"), Qt::LeftButton);
        stage = FileOpStage::DataCopied; // held inside the copy, after its first slice
    } else {
        selectRows(lv, {0, 1, 2});
    }
    if (kind == "undo") {
        toQuick(f, target);
        QCOMPARE(filesIn(target), (QStringList{"00.jpg", "01.jpg", "02.jpg"}));
    } else {
        bar(f)->assignQuickTarget(target);
    }

    PaintCounter painted;
    auto *panel = f.find<ProgressPanel>("pn_sortprogress");
    QVERIFY(panel);
    panel->installEventFilter(&painted);
    FileOpGate gate(stage);
    if (kind == "undo") {
        w.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        QTest::keyClick(&w, Qt::Key_Z, Qt::ControlModifier);
    } else {
        f.find<GradientButton>("bt_intofolder1")->click();
    }
    QVERIFY(engine.isBusy());
    QTRY_VERIFY(gate.reached());
    QTRY_VERIFY(panel->isVisible());
    QTRY_VERIFY(painted.paints > 0);
    QVERIFY(!f.find<QWidget>("tbar_sortmain")->isEnabled());
    QVERIFY(!lv->isEnabled());
    QVERIFY(!engine.sort_into_target(target)); // one run at a time
    QTest::keyClick(lv, Qt::Key_Delete);       // nor a trash run beside it
    QVERIFY(!w.listArea()->isBusy());
    QVERIFY(panel->cancelButton()->isEnabled());
    QTest::mouseClick(panel->cancelButton(), Qt::LeftButton);
    QVERIFY(!panel->cancelButton()->isEnabled()); // the click was handled
    gate.open();
    waitIdle(f);
    QVERIFY(!panel->isVisible());
    QVERIFY(f.find<QWidget>("tbar_sortmain")->isEnabled());
    QVERIFY(lv->isEnabled());
    QVERIFY(f.prompter.messages().isEmpty());

    if (kind == "run") {
        // Stopped inside the first copy: nothing was copied, nothing is recorded.
        QVERIFY(filesIn(target).isEmpty());
        QCOMPARE(lv->count(), 3);
        QVERIFY(engine.journal().isEmpty());
    } else if (kind == "move") {
        // The source stays whole where it was; the target holds no part of it.
        QCOMPARE(readFile(other->filePath("big.bin")), bigBytes);
        QVERIFY(filesIn(target).isEmpty());
        QCOMPARE(lv->count(), 1);
        QVERIFY(engine.journal().isEmpty());
    } else {
        // The step in hand was undone; the two before it can still be undone.
        QCOMPARE(filesIn(target), (QStringList{"00.jpg", "01.jpg"}));
        QCOMPARE(engine.journal().runs().size(), 1);
        QCOMPARE(engine.journal().runs().first().steps.size(), 2);
        QTest::keyClick(&w, Qt::Key_Z, Qt::ControlModifier);
        waitIdle(f);
        QVERIFY(filesIn(target).isEmpty());
        QVERIFY(engine.journal().isEmpty());
        QVERIFY(f.prompter.messages().isEmpty());
    }
}

QTEST_MAIN(TstSorting)
#include "tst_sorting.moc"
