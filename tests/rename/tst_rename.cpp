// The rename view on the real main window over generated files: preview and run, the swap in
// two phases, names of outside files kept, attributes kept, undo (also after a restart), the
// key filters and digit limits, cancelling a rename or undo run from its panel, stamping, the read-only
// question, the lamps and the CD-ROM refusal.
#include "base/text_file.h"
#include "files/fake_drive_info.h"
#include "files/file_attributes.h"
#include "files/file_helpers.h"
#include "rename/rename_journal.h"
#include "rename/rename_view.h"
#include "rename/stamp_view.h"
#include "support/test_support.h"
#include "widgets/led_lamp.h"
#include "widgets/progress_panel.h"

#include <QAbstractButton>
#include <QDateEdit>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTableView>
#include <QTimeEdit>
#include <QToolButton>

#include <sys/stat.h>

using namespace vorn;
using namespace vorn::test;

namespace
{

QStringList filesIn(const QString &dir)
{
    return QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
}

qint64 mtimeOf(const QString &path)
{
    struct stat st = {};
    stat(QFile::encodeName(path).constData(), &st);
    return qint64(st.st_mtim.tv_sec);
}

// A file under the exact bytes given (names that are not UTF-8 too), holding its name's hex.
void writeNamed(const QByteArray &path)
{
    writeRaw(path, path.mid(path.lastIndexOf('/') + 1).toHex());
}

// "1.jpg" to "n.jpg".
QStringList numbered(int n)
{
    QStringList names;
    for (int i = 1; i <= n; ++i)
        names << QString::number(i) + ".jpg";
    return names;
}

const qint64 kOldTime = QDateTime(QDate(2001, 2, 3), QTime(4, 5, 6)).toSecsSinceEpoch();

} // namespace

class TstRename : public QObject
{
    Q_OBJECT
  private slots:
    void previewAndRun();
    void swapInTwoPhases();
    void outsideNameReportedAndKept();
    void attributesKeptOnRename();
    void renameBeforePreviewDoesNothing();
    void undoAfterRestart();
    void cutRunUndoneAtStart();
    void keyFiltersAndDigitLimits();
    void inPlaceRename();
    void stampGivesLocalTime();
    void stampRunCancelledFromItsPanel();
    void renameRunCancelledFromItsPanel_data();
    void renameRunCancelledFromItsPanel();
    void undoCancelledFromItsPanel();
    void readOnlyQuestion_data();
    void readOnlyQuestion();
    void lampsShowAndClearAttributes();
    void cdromRefusal_data();
    void cdromRefusal();
    void nativeNamesActOnTheirOwnFile_data();
    void nativeNamesActOnTheirOwnFile();
    void stampActsOnLinkNotItsTarget();
    void renamedFilesStaySelected();

  private:
    // A window in rename mode showing the folder "files" of the program folder with `names`.
    RenameView *start(WindowFixture &f, const QStringList &names);
    void click(WindowFixture &f, const char *name) { f.find<QAbstractButton>(name)->click(); }
    void previewAll(WindowFixture &f, RenameView *v);
    void runAndWait(WindowFixture &f, RenameView *v)
    {
        click(f, "bt_renameall");
        QTRY_VERIFY(!v->isBusy());
    }
    QString folder(WindowFixture &f) { return f.path("files") + '/'; }
    // Clicks `button` with the file operations held at their first rename, clicks the cancel of
    // the run's progress panel, lets the run go on and waits for its end.
    void cancelAtFirstRename(WindowFixture &f, RenameView *v, const char *button, const QString &title)
    {
        auto *panel = f.find<ProgressPanel>("pn_renameprogress");
        QVERIFY(panel);
        FileOpGate gate(FileOpStage::Renaming);
        click(f, button);
        QTRY_VERIFY(gate.reached());
        QTRY_VERIFY(panel->isVisible());
        QCOMPARE(f.find<QLabel>("pn_renameprogress_title")->text(), title);
        QTest::mouseClick(panel->cancelButton(), Qt::LeftButton);
        gate.open();
        QTRY_VERIFY(!v->isBusy());
        QVERIFY(!panel->isVisible());
    }
    // Stamps every listed file with 24.12.2005 18:30:45; returns that moment.
    qint64 stampAll(WindowFixture &f, RenameView *v)
    {
        f.find<QDateEdit>("dtp_datenew")->setDate(QDate(2005, 12, 24));
        f.find<QTimeEdit>("dtp_timenew")->setTime(QTime(18, 30, 45));
        click(f, "bt_rename");
        click(f, "bt_datetimeset");
        [&] { QTRY_VERIFY(!v->isBusy()); }();
        return QDateTime(QDate(2005, 12, 24), QTime(18, 30, 45)).toSecsSinceEpoch();
    }
};

RenameView *TstRename::start(WindowFixture &f, const QStringList &names)
{
    writeFile(f.path("vorn.cfg"), "0\r\n0\r\n0\r\nnormal\r\n");
    for (const QString &n : names) {
        writeFile(f.path("files/" + n), n.toUtf8());
        set_modification_time(f.path("files/" + n), QDateTime::fromSecsSinceEpoch(kOldTime));
    }
    MainWindow &w = f.start();
    click(f, "bt_showrename");
    RenameView *v = w.renameView();
    v->setFolder(f.path("files"));
    f.prompter.clear();
    return v;
}

void TstRename::previewAll(WindowFixture &f, RenameView *v)
{
    click(f, "bt_rename"); // select all
    QCOMPARE(v->selectedNames().size(), filesIn(folder(f)).size());
    click(f, "bt_prevrename");
}

void TstRename::previewAndRun()
{
    WindowFixture f;
    RenameView *v = start(f, {"b.JPG", "a.jpeg", "c.gif"});
    QVERIFY(f.find<QWidget>("pn_renamemain")->isVisible());
    QCOMPARE(f.find<QLabel>("pn_muster")->text(), QString("1.xyz"));
    QTest::keyClicks(f.find<QLineEdit>("ed_vortext"), "Urlaub");
    QTest::keyClicks(f.find<QLineEdit>("ed_nachtext"), "_x");
    f.find<QLineEdit>("ed_start")->clear();
    QTest::keyClicks(f.find<QLineEdit>("ed_start"), "7");
    click(f, "bt_nofill");
    click(f, "bt_fillup");
    click(f, "bt_fillup");
    QCOMPARE(f.find<QLabel>("pn_muster")->text(), QString("Urlaub007_x.xyz"));
    // The list shows by name: a.jpeg, b.JPG, c.gif.
    previewAll(f, v);
    auto *grid = f.find<QTableView>("sg_rename");
    QCOMPARE(grid->model()->rowCount(), 3);
    QCOMPARE(grid->model()->headerData(0, Qt::Horizontal).toString(), QString("   Alte Dateinamen"));
    QCOMPARE(grid->model()->index(0, 1).data().toString(), QString("Urlaub007_x.jpeg"));
    QCOMPARE(grid->model()->index(1, 0).data().toString(), QString("b.JPG"));
    QCOMPARE(grid->model()->index(1, 1).data().toString(), QString("Urlaub008_x.jpg"));
    QVERIFY(f.find<QAbstractButton>("bt_renameall")->isEnabled());
    runAndWait(f, v);
    QCOMPARE(filesIn(folder(f)), QStringList({"Urlaub007_x.jpeg", "Urlaub008_x.jpg", "Urlaub009_x.gif"}));
    QCOMPARE(readFile(folder(f) + "Urlaub008_x.jpg"), QByteArray("b.JPG"));
    QVERIFY(f.prompter.messages().isEmpty());
    // The preview is consumed; the list shows the disk.
    QVERIFY(!f.find<QAbstractButton>("bt_renameall")->isEnabled());
    QCOMPARE(grid->model()->index(0, 0).data().toString(), QString());
    QTRY_COMPARE(v->findChild<QAbstractItemView *>("lvrename")->model()->rowCount(), 3);
    QCOMPARE(v->findChild<QAbstractItemView *>("lvrename")->model()->index(0, 0).data().toString(),
             QString("Urlaub007_x.jpeg"));
}

void TstRename::swapInTwoPhases()
{
    WindowFixture f;
    RenameView *v = start(f, {"1.jpg", "2.jpg"});
    f.find<QLineEdit>("ed_start")->setText("2");
    previewAll(f, v);
    QCOMPARE(f.find<QAbstractButton>("bt_renameall")->text(), QString("Umbenennen starten"));
    runAndWait(f, v);
    QCOMPARE(filesIn(folder(f)), QStringList({"2.jpg", "3.jpg"}));
    QCOMPARE(readFile(folder(f) + "2.jpg"), QByteArray("1.jpg"));
    QCOMPARE(readFile(folder(f) + "3.jpg"), QByteArray("2.jpg"));
    QVERIFY(f.prompter.messages().isEmpty());
}

void TstRename::outsideNameReportedAndKept()
{
    WindowFixture f;
    RenameView *v = start(f, {"a.jpg", "b.jpg", "2.jpg"});
    v->selectNames({"a.jpg", "b.jpg"});
    click(f, "bt_prevrename");
    auto *grid = f.find<QTableView>("sg_rename");
    QCOMPARE(grid->model()->index(1, 1).data().toString(), QString("2.jpg"));
    QVERIFY(grid->model()->index(1, 1).data(Qt::BackgroundRole).isValid()); // marked
    QVERIFY(!grid->model()->index(0, 1).data(Qt::BackgroundRole).isValid());
    QCOMPARE(f.find<QAbstractButton>("bt_renameall")->text(), QString("Umbenennen starten (1 abgelehnt)"));
    runAndWait(f, v);
    QCOMPARE(filesIn(folder(f)), QStringList({"1.jpg", "2.jpg", "b.jpg"}));
    QCOMPARE(readFile(folder(f) + "2.jpg"), QByteArray("2.jpg"));
    QCOMPARE(f.prompter.records().size(), 1);
    QCOMPARE(f.prompter.records().first().kind, ScriptedPrompter::Kind::List);
    QCOMPARE(f.prompter.records().first().lines,
             QStringList{"b.jpg: der neue Name gehört einer anderen Datei"});
    QCOMPARE(f.prompter.messages(), QStringList{"Diese Dateien wurden nicht umbenannt:\n"
                                                "b.jpg: der neue Name gehört einer anderen Datei"});
}

void TstRename::attributesKeptOnRename()
{
    WindowFixture f;
    RenameView *v = start(f, {"x.jpg"});
    const QString old = folder(f) + "x.jpg";
    QVERIFY(set_file_attributes(old, AttrReadOnly | AttrHidden));
    const quint32 before = file_attributes(old);
    QVERIFY(before & AttrReadOnly);
    f.find<QLineEdit>("ed_vortext")->setText("y");
    previewAll(f, v);
    runAndWait(f, v);
    QCOMPARE(filesIn(folder(f)), QStringList{"y1.jpg"});
    QCOMPARE(file_attributes(folder(f) + "y1.jpg"), before);
    QVERIFY(f.prompter.messages().isEmpty());
}

void TstRename::renameBeforePreviewDoesNothing()
{
    WindowFixture f;
    RenameView *v = start(f, {"a.jpg", "b.jpg"});
    click(f, "bt_rename");
    QVERIFY(!f.find<QAbstractButton>("bt_renameall")->isEnabled());
    v->bt_renameallClick();
    QTRY_VERIFY(!v->isBusy());
    QCOMPARE(filesIn(folder(f)), QStringList({"a.jpg", "b.jpg"}));
    // A discarded preview renames nothing either.
    click(f, "bt_prevrename");
    click(f, "bt_cancelrename");
    v->bt_renameallClick();
    QCOMPARE(filesIn(folder(f)), QStringList({"a.jpg", "b.jpg"}));
    QVERIFY(f.prompter.messages().isEmpty());
}

void TstRename::undoAfterRestart()
{
    WindowFixture f;
    RenameView *v = start(f, {"1.jpg", "2.jpg", "3.jpg"});
    f.find<QLineEdit>("ed_start")->setText("2");
    previewAll(f, v);
    runAndWait(f, v);
    QCOMPARE(filesIn(folder(f)), QStringList({"2.jpg", "3.jpg", "4.jpg"}));
    QVERIFY(f.find<QAbstractButton>("bt_undorename")->isEnabled());
    f.closeConfirmed();

    f.start();
    click(f, "bt_showrename");
    v = f.window->renameView();
    QTRY_VERIFY(f.find<QAbstractButton>("bt_undorename")->isEnabled());
    v->setFolder(f.path("files"));
    f.prompter.clear();
    QTest::keyClick(f.window.get(), Qt::Key_Z, Qt::ControlModifier);
    QTRY_VERIFY(!v->isBusy());
    QCOMPARE(filesIn(folder(f)), QStringList({"1.jpg", "2.jpg", "3.jpg"}));
    for (const QString n : {"1.jpg", "2.jpg", "3.jpg"})
        QCOMPARE(readFile(folder(f) + n), n.toUtf8());
    QVERIFY(f.prompter.messages().isEmpty());
    QVERIFY(!f.find<QAbstractButton>("bt_undorename")->isEnabled());
    QTest::keyClick(f.window.get(), Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(f.prompter.messages(),
             QStringList{"Es gibt kein Umbenennen, das rückgängig gemacht werden kann."});
}

void TstRename::cutRunUndoneAtStart()
{
    // The program ended between the phases of a run 1 -> 2, 2 -> 3: 1.jpg waits under its
    // temporary name. At the next start the user is asked, and "No" undoes the run.
    WindowFixture f;
    const QString dir = f.path("files") + '/';
    writeFile(dir + ".vorn-rename-9-1", "1.jpg");
    writeFile(dir + "2.jpg", "2.jpg");
    writeFile(f.path("vorn.cfg"), "0\r\n0\r\n0\r\nnormal\r\n");
    RenameJournalRun cut;
    quint64 device = 0;
    FileId folderId;
    QVERIFY(file_id(dir, &device, &folderId));
    cut.device = device;
    cut.serial = 1;
    cut.folder = dir;
    RenameJournalEntry first{{}, "1.jpg", ".vorn-rename-9-1", "2.jpg"};
    RenameJournalEntry second{{}, "2.jpg", "", "3.jpg"};
    QVERIFY(file_id(dir + first.tempName, &device, &first.id));
    QVERIFY(file_id(dir + "2.jpg", &device, &second.id));
    cut.entries << first << second;
    QVERIFY(write_file_atomic(f.path("vorn-rename.jnl"), RenameJournal::encode({cut})));
    f.prompter.pushAnswer(Answer::No);
    f.start();
    QTRY_VERIFY(f.prompter.messages().contains("Ein Umbenennen wurde nicht zu Ende geführt.\r\n\r\n"
                                               "Ja: zu Ende führen\r\nNein: rückgängig machen"));
    QCOMPARE(filesIn(dir), QStringList({"1.jpg", "2.jpg"}));
    QCOMPARE(readFile(dir + "1.jpg"), QByteArray("1.jpg"));
    QVERIFY(!f.window->renameView()->journal().hasOpenRun());
}

void TstRename::keyFiltersAndDigitLimits()
{
    WindowFixture f;
    start(f, {"a.jpg"});
    auto *startField = f.find<QLineEdit>("ed_start");
    QTest::keyClicks(startField, "2a");
    QCOMPARE(startField->text(), QString("12"));
    QCOMPARE(
        f.prompter.messages(),
        QStringList{
            "Unerlaubtes Zeichen a !\r\n\r\nIn diesem Eingabefeld sind nur\r\ndie Ziffern 0 bis 9 erlaubt!"});
    QCOMPARE(f.prompter.records().first().buttons, Answers(Answer::Retry));
    f.prompter.clear();
    QTest::keyClicks(f.find<QLineEdit>("ed_vortext"), "x*");
    QCOMPARE(f.find<QLineEdit>("ed_vortext")->text(), QString("x"));
    QCOMPARE(f.prompter.messages().size(), 1);
    QVERIFY(f.prompter.lastMessage().startsWith("Unerlaubtes Zeichen * !"));
    // A dot: the sample keeps its last good text.
    f.prompter.clear();
    QTest::keyClicks(f.find<QLineEdit>("ed_vortext"), ".");
    QCOMPARE(f.prompter.messages().size(), 1);
    QCOMPARE(f.find<QLabel>("pn_muster")->text(), QString("x12.xyz"));

    // "007" raises the digit count to 3; the limits are 1 and 8.
    f.find<QLineEdit>("ed_vortext")->setText("x");
    startField->setText("007");
    QCOMPARE(f.find<QLineEdit>("ed_digits")->text(), QString("3"));
    auto *up = f.find<QAbstractButton>("bt_fillup");
    auto *down = f.find<QAbstractButton>("bt_filldown");
    QVERIFY(!up->isEnabled()); // fill off
    click(f, "bt_nofill");
    for (int i = 0; i < 10 && up->isEnabled(); ++i)
        up->click();
    QCOMPARE(f.find<QLineEdit>("ed_digits")->text(), QString("8"));
    QVERIFY(!up->isEnabled());
    for (int i = 0; i < 10 && down->isEnabled(); ++i)
        down->click();
    QCOMPARE(f.find<QLineEdit>("ed_digits")->text(), QString("1"));
    QVERIFY(!down->isEnabled());
    QVERIFY(up->isEnabled());

    // An empty start field stops the preview with its Retry box.
    startField->clear();
    f.prompter.clear();
    click(f, "bt_rename");
    click(f, "bt_prevrename");
    QCOMPARE(f.prompter.messages(), QStringList{"Das Eingabefeld 'Start bei' benötigt einen Wert!"});
    QVERIFY(!f.find<QAbstractButton>("bt_renameall")->isEnabled());
}

void TstRename::inPlaceRename()
{
    WindowFixture f;
    RenameView *v = start(f, {"a.jpg", "b.jpg"});
    auto *list = f.find<QAbstractItemView>("lvrename");
    list->model()->setData(list->model()->index(0, 0), "c.jpg");
    QCOMPARE(filesIn(folder(f)), QStringList({"b.jpg", "c.jpg"}));
    // Onto a taken name: refused with a message, nothing replaced.
    list->model()->setData(list->model()->index(0, 0), "c.jpg");
    QCOMPARE(filesIn(folder(f)), QStringList({"b.jpg", "c.jpg"}));
    QCOMPARE(readFile(folder(f) + "c.jpg"), QByteArray("a.jpg"));
    QCOMPARE(f.prompter.messages().size(), 1);
    // Another extension: the name check refuses it.
    f.prompter.clear();
    list->model()->setData(list->model()->index(0, 0), "b.png");
    QCOMPARE(filesIn(folder(f)), QStringList({"b.jpg", "c.jpg"}));
    QCOMPARE(f.prompter.messages().size(), 1);
    // Ctrl+Z gives the first rename back.
    f.prompter.clear();
    v->bt_undorenameClick();
    QTRY_VERIFY(!v->isBusy());
    QCOMPARE(filesIn(folder(f)), QStringList({"a.jpg", "b.jpg"}));
}

void TstRename::stampGivesLocalTime()
{
    WindowFixture f;
    RenameView *v = start(f, {"a.jpg", "b.jpg"});
    const qint64 want = stampAll(f, v);
    QCOMPARE(mtimeOf(folder(f) + "a.jpg"), want);
    QCOMPARE(mtimeOf(folder(f) + "b.jpg"), want);
    QVERIFY(f.prompter.messages().isEmpty());

    // "Jetzt": the pickers show the clock bar's moment.
    click(f, "bt_datetimenow");
    const QDateTime picked = v->stampView()->pickedDateTime();
    QVERIFY(qAbs(picked.secsTo(QDateTime::currentDateTime())) <= 2);
}

void TstRename::readOnlyQuestion_data()
{
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("thirdStamped");
    QTest::newRow("OK goes on") << int(Answer::Ok) << true;
    QTest::newRow("Cancel stops") << int(Answer::Cancel) << false;
}

void TstRename::readOnlyQuestion()
{
    QFETCH(int, answer);
    QFETCH(bool, thirdStamped);
    WindowFixture f;
    RenameView *v = start(f, {"1.jpg", "2.jpg", "3.jpg"});
    QVERIFY(set_file_attributes(folder(f) + "2.jpg", AttrReadOnly));
    f.find<QDateEdit>("dtp_datenew")->setDate(QDate(2010, 5, 6));
    click(f, "bt_rename");
    f.prompter.pushAnswer(Answer(answer));
    click(f, "bt_datetimeset");
    QTRY_VERIFY(!v->isBusy());
    const qint64 want = QDateTime(QDate(2010, 5, 6), QTime(0, 0)).toSecsSinceEpoch();
    QCOMPARE(mtimeOf(folder(f) + "1.jpg"), want);
    QCOMPARE(mtimeOf(folder(f) + "2.jpg"), kOldTime);
    QCOMPARE(mtimeOf(folder(f) + "3.jpg"), thirdStamped ? want : kOldTime);
    QCOMPARE(f.prompter.messages(), QStringList{folder(f) + "2.jpg\r\n\r\nDatei ist schreibgeschützt!"});
    QCOMPARE(f.prompter.records().first().buttons, Answer::Ok | Answer::Cancel);
}

// A stamp run shows the progress panel; its cancel stops the run before the next file, and the
// files done so far keep their new time.
void TstRename::stampRunCancelledFromItsPanel()
{
    WindowFixture f;
    RenameView *v = start(f, {"1.jpg", "2.jpg", "3.jpg", "4.jpg"});
    QVERIFY(set_file_attributes(folder(f) + "2.jpg", AttrReadOnly));
    f.find<QDateEdit>("dtp_datenew")->setDate(QDate(2010, 5, 6));
    click(f, "bt_rename");
    auto *panel = f.find<ProgressPanel>("pn_stampprogress");
    QVERIFY(panel);
    // While the run waits on the read-only question, the panel's cancel is clicked.
    bool runningThen = false;
    f.prompter.setOnMessage([panel, &runningThen] {
        runningThen = panel->isRunning();
        panel->cancelButton()->click();
    });
    f.prompter.pushAnswer(Answer::Ok);
    click(f, "bt_datetimeset");
    QTRY_VERIFY(!v->isBusy());
    QVERIFY(runningThen);
    QVERIFY(!panel->isRunning());
    const qint64 want = QDateTime(QDate(2010, 5, 6), QTime(0, 0)).toSecsSinceEpoch();
    QCOMPARE(mtimeOf(folder(f) + "1.jpg"), want);
    for (const char *n : {"2.jpg", "3.jpg", "4.jpg"})
        QCOMPARE(mtimeOf(folder(f) + n), kOldTime);
}

// A few hundred files, held at the first rename while the panel's cancel is clicked: the run
// stops before the next file. A direct rename keeps the one file it renamed; a swap has only
// stepped its first file aside, which goes back. The summary says so; undo restores the rest.
void TstRename::renameRunCancelledFromItsPanel_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("startAt");
    QTest::addColumn<int>("renamed");
    QTest::newRow("direct") << "x"
                            << "1" << 1;
    QTest::newRow("swap") << ""
                          << "2" << 0;
}

void TstRename::renameRunCancelledFromItsPanel()
{
    QFETCH(QString, before);
    QFETCH(QString, startAt);
    QFETCH(int, renamed);
    constexpr int kFiles = 300;
    WindowFixture f;
    RenameView *v = start(f, numbered(kFiles));
    const QStringList original = filesIn(folder(f));
    f.find<QLineEdit>("ed_vortext")->setText(before);
    f.find<QLineEdit>("ed_start")->setText(startAt);
    previewAll(f, v);
    cancelAtFirstRename(f, v, "bt_renameall", "Umbenennen starten");

    const QStringList now = filesIn(folder(f));
    QCOMPARE(now.size(), kFiles); // nothing lost, nothing left under a temporary name
    QStringList moved;
    for (const QString &n : now)
        if (!original.contains(n))
            moved << n;
    QCOMPARE(moved.size(), renamed);
    for (const QString &n : now)
        QVERIFY2(original.contains(n) || n.startsWith(before), qPrintable(n));
    QCOMPARE(
        f.prompter.messages(),
        QStringList{
            QString("Umbenennen abgebrochen: %1 von %2 Dateien wurden umbenannt.").arg(renamed).arg(kFiles)});
    // Undo puts back what the run renamed and passes over the files it never reached.
    f.prompter.clear();
    QVERIFY(f.find<QAbstractButton>("bt_undorename")->isEnabled());
    click(f, "bt_undorename");
    QTRY_VERIFY(!v->isBusy());
    QCOMPARE(filesIn(folder(f)), original);
    for (const QString &n : original)
        QCOMPARE(readFile(folder(f) + n), n.toUtf8());
    QVERIFY2(f.prompter.messages().isEmpty(), qPrintable(f.prompter.messages().join('\n')));
}

// A cancelled undo keeps the run: the files it put back have their old names, and a second undo
// puts back the others without a complaint about the first ones.
void TstRename::undoCancelledFromItsPanel()
{
    constexpr int kFiles = 200;
    WindowFixture f;
    RenameView *v = start(f, numbered(kFiles));
    const QStringList original = filesIn(folder(f));
    f.find<QLineEdit>("ed_vortext")->setText("x");
    previewAll(f, v);
    runAndWait(f, v);
    QCOMPARE(filesIn(folder(f)).filter(QRegularExpression("^x")).size(), kFiles);

    cancelAtFirstRename(f, v, "bt_undorename", "Umbenennen rückgängig");
    QCOMPARE(filesIn(folder(f)).filter(QRegularExpression("^x")).size(), kFiles - 1);
    QCOMPARE(f.prompter.messages(),
             QStringList{QString("Rückgängig machen abgebrochen: 1 von %1 Dateien haben ihren alten Namen "
                                 "zurück. Der Rest lässt sich weiter rückgängig machen.")
                             .arg(kFiles)});
    f.prompter.clear();
    QVERIFY(f.find<QAbstractButton>("bt_undorename")->isEnabled());
    click(f, "bt_undorename");
    QTRY_VERIFY(!v->isBusy());
    QCOMPARE(filesIn(folder(f)), original);
    QVERIFY2(f.prompter.messages().isEmpty(), qPrintable(f.prompter.messages().join('\n')));
    QVERIFY(!f.find<QAbstractButton>("bt_undorename")->isEnabled());
}

void TstRename::lampsShowAndClearAttributes()
{
    WindowFixture f;
    RenameView *v = start(f, {"a.jpg", "b.jpg"});
    QVERIFY(set_file_attributes(folder(f) + "a.jpg", AttrReadOnly | AttrArchive));
    const bool xattrs = file_attributes(folder(f) + "a.jpg") & AttrArchive;
    auto lamp = [&](const char *name) { return f.find<LedLamp>(name)->isOn(); };
    v->selectNames({"a.jpg"});
    QVERIFY(lamp("led_ro"));
    QCOMPARE(lamp("led_archiv"), xattrs);
    QVERIFY(!lamp("led_hidden"));
    QVERIFY(!lamp("led_system"));
    v->selectNames({"a.jpg", "b.jpg"});
    QVERIFY(!lamp("led_ro"));
    // All lamps dark: every attribute goes.
    click(f, "bt_changeattr");
    QTRY_VERIFY(!v->isBusy());
    QCOMPARE(file_attributes(folder(f) + "a.jpg"), 0u);
    QCOMPARE(file_attributes(folder(f) + "b.jpg"), 0u);
    // A lamp button turns its lamp on; applying sets that attribute.
    click(f, "bt_attribut0");
    QVERIFY(lamp("led_ro"));
    click(f, "bt_changeattr");
    QTRY_VERIFY(!v->isBusy());
    QVERIFY(is_read_only(folder(f) + "b.jpg"));
    QVERIFY(f.prompter.messages().isEmpty());
}

void TstRename::cdromRefusal_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("message");
    QTest::newRow("rename") << "bt_renameall"
                            << "Auf einer CD-Rom kann nichts umbenannt werden!";
    QTest::newRow("stamp") << "bt_datetimeset"
                           << "Auf CD-Rom kann nicht geschrieben werden!";
    QTest::newRow("attributes") << "bt_changeattr"
                                << "Auf CD-Rom kann nicht geschrieben werden!";
}

void TstRename::cdromRefusal()
{
    QFETCH(QString, button);
    QFETCH(QString, message);
    WindowFixture f;
    RenameView *v = start(f, {"a.jpg", "b.jpg"});
    FakeDriveInfo drives;
    drives.addCdrom(folder(f));
    f.window->context().setDrives(&drives);
    const quint32 attrs = file_attributes(folder(f) + "a.jpg");
    previewAll(f, v);
    f.find<QAbstractButton>(button)->click();
    QTRY_VERIFY(!v->isBusy());
    QCOMPARE(f.prompter.messages(), QStringList{message});
    QCOMPARE(filesIn(folder(f)), QStringList({"a.jpg", "b.jpg"}));
    QCOMPARE(mtimeOf(folder(f) + "a.jpg"), kOldTime);
    QCOMPARE(file_attributes(folder(f) + "a.jpg"), attrs);
    f.window->context().setDrives(nullptr);
}

void TstRename::nativeNamesActOnTheirOwnFile_data()
{
    QTest::addColumn<QByteArray>("picked");
    QTest::addColumn<QByteArray>("other");
    // A byte that is not UTF-8, and the replacement character it is shown as.
    QTest::newRow("byte 0xff") << QByteArray("\xff.jpg") << QByteArray("\xef\xbf\xbd.jpg");
    QTest::newRow("U+FFFD") << QByteArray("\xef\xbf\xbd.jpg") << QByteArray("\xff.jpg");
}

void TstRename::nativeNamesActOnTheirOwnFile()
{
    QFETCH(QByteArray, picked);
    QFETCH(QByteArray, other);
    WindowFixture f;
    const QByteArray dir = native_path(folder(f));
    QVERIFY(QDir().mkpath(folder(f)));
    const QByteArray latin1 = "latin1_\xe9.jpg";
    for (const QByteArray &n : {picked, other, latin1})
        writeNamed(dir + n);
    auto cleanup = qScopeGuard([&] { removeRaw(folder(f)); });
    RenameView *v = start(f, {});
    auto *list = f.find<QAbstractItemView>("lvrename");
    QCOMPARE(list->model()->rowCount(), 3);

    // In place: the row's own file gets the typed name.
    v->selectNames({path_from_native(picked)});
    QCOMPARE(v->selectedNames(), QStringList{path_from_native(picked)});
    const QModelIndex row = list->selectionModel()->selectedRows().first();
    QCOMPARE(row.data().toString(), QString("\ufffd.jpg"));
    list->model()->setData(row, "typed.jpg");
    QCOMPARE(rawNames(folder(f)), QByteArrayList({"latin1_\xe9.jpg", "typed.jpg", other}));
    QCOMPARE(readRaw(dir + "typed.jpg"), picked.toHex());

    // By pattern, the look-alike and the Latin-1 name: no "No such file or directory".
    v->selectNames({path_from_native(other), path_from_native(latin1)});
    QCOMPARE(v->selectedNames().size(), 2);
    f.find<QLineEdit>("ed_vortext")->setText("p");
    click(f, "bt_prevrename");
    runAndWait(f, v);
    QCOMPARE(f.prompter.messages(), QStringList());
    QCOMPARE(rawNames(folder(f)), QByteArrayList({"p1.jpg", "p2.jpg", "typed.jpg"}));
    QByteArrayList contents{readRaw(dir + "p1.jpg"), readRaw(dir + "p2.jpg")};
    std::sort(contents.begin(), contents.end());
    QByteArrayList expected{other.toHex(), latin1.toHex()};
    std::sort(expected.begin(), expected.end());
    QCOMPARE(contents, expected);

    // Undo gives back exactly those bytes.
    v->bt_undorenameClick();
    QTRY_VERIFY(!v->isBusy());
    QCOMPARE(rawNames(folder(f)), QByteArrayList({latin1, "typed.jpg", other}));
    QCOMPARE(readRaw(dir + other), other.toHex());
    QCOMPARE(f.prompter.messages(), QStringList());
}

void TstRename::stampActsOnLinkNotItsTarget()
{
    WindowFixture f;
    const QString target = f.path("outside/target.jpg");
    writeFile(target, "target");
    set_modification_time(target, QDateTime::fromSecsSinceEpoch(kOldTime));
    QVERIFY(QDir().mkpath(folder(f)));
    QVERIFY(QFile::link(target, folder(f) + "link.jpg"));
    RenameView *v = start(f, {"a.jpg"});
    QCOMPARE(f.find<QAbstractItemView>("lvrename")->model()->rowCount(), 2);
    const qint64 want = stampAll(f, v);
    QCOMPARE(mtimeOf(folder(f) + "a.jpg"), want);
    QCOMPARE(mtimeOf(target), kOldTime);
    struct stat st = {};
    QCOMPARE(lstat(QFile::encodeName(folder(f) + "link.jpg").constData(), &st), 0);
    QCOMPARE(qint64(st.st_mtim.tv_sec), want); // the link itself
    QVERIFY(f.prompter.messages().isEmpty());

    // Attributes: the link is skipped with a note, its target keeps its own.
    click(f, "bt_rename");
    click(f, "bt_attribut0");
    click(f, "bt_changeattr");
    QTRY_VERIFY(!v->isBusy());
    QVERIFY(is_read_only(folder(f) + "a.jpg"));
    QVERIFY(!is_read_only(target));
    QCOMPARE(f.prompter.messages(),
             QStringList{"Diese Dateien wurden nicht geändert:\n"
                         "link.jpg: symbolischer Link: übergangen, seine Zieldatei bleibt unverändert"});
}

void TstRename::renamedFilesStaySelected()
{
    WindowFixture f;
    RenameView *v = start(f, {"1.jpg", "2.jpg", "3.jpg", "7.jpg"});
    v->selectNames({"1.jpg", "2.jpg", "3.jpg"});
    f.find<QLineEdit>("ed_start")->setText("2");
    click(f, "bt_prevrename");
    runAndWait(f, v);
    QCOMPARE(filesIn(folder(f)), QStringList({"2.jpg", "3.jpg", "4.jpg", "7.jpg"}));
    // Exactly the renamed files, under their new names: a stamp now acts on them alone.
    QCOMPARE(v->selectedNames(), QStringList({"2.jpg", "3.jpg", "4.jpg"}));
    QCOMPARE(f.find<QAbstractItemView>("lvrename")->selectionModel()->selection().size(), 1); // one range
    v->bt_undorenameClick();
    QTRY_VERIFY(!v->isBusy());
    QCOMPARE(v->selectedNames(), QStringList({"1.jpg", "2.jpg", "3.jpg"}));
    QVERIFY(f.prompter.messages().isEmpty());
}

QTEST_MAIN(TstRename)
#include "tst_rename.moc"
