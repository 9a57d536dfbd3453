// The rename pattern engine as one table, the check of a run against the folder, and the
// journaled run: swaps in two phases, names of outside files kept, undo (also after a
// restart) and the finishing or undoing of a run cut short between its phases.
#include "base/text_file.h"
#include "files/file_attributes.h"
#include "files/file_helpers.h"
#include "lang/texts.h"
#include "rename/rename_journal.h"
#include "rename/rename_pattern.h"
#include "rename/rename_run.h"
#include "rename/time_stamp.h"
#include "support/test_support.h"

#include <QtTest>

#include <sys/stat.h>

using namespace vorn;
using vorn::test::readFile;
using vorn::test::writeFile;

namespace
{

QStringList filesIn(const QString &folder)
{
    QStringList names = QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System);
    names.sort();
    return names;
}

FileId fileIdOf(const QString &path)
{
    FileId id;
    quint64 dev = 0;
    file_id(path, &dev, &id);
    return id;
}

// Files named after their contents, so that every test can see which file ended where.
void makeFiles(const QString &folder, const QStringList &names)
{
    for (const QString &n : names)
        writeFile(folder + QLatin1Char('/') + n, n.toUtf8());
}

QList<RenameMove> movesOf(const QStringList &pairs)
{
    QList<RenameMove> moves;
    for (qsizetype i = 0; i + 1 < pairs.size(); i += 2)
        moves << RenameMove{pairs[i], pairs[i + 1]};
    return moves;
}

} // namespace

class TstRenameCore : public QObject
{
    Q_OBJECT
  private slots:
    void engine_data();
    void engine();
    void check_data();
    void check();
    void swapRunAndUndoAfterRestart();
    void undoNeverOverwrites();
    void undoOnlyTheRenamedFile_data();
    void undoOnlyTheRenamedFile();
    void recoverCutRun_data();
    void recoverCutRun();
    void damagedJournalIsRefused();
    void journalAppendedThenCompacted();
    void localStampRefusesSkippedHour();
};

void TstRenameCore::engine_data()
{
    QTest::addColumn<int>("language");
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("after");
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("ops"); // fill/digit/name controls, in order
    QTest::addColumn<QString>("nameTemplate");
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<QString>("sample");
    QTest::addColumn<int>("digits");

    const QStringList urlaub{"b.JPG", "a.jpeg", "c.gif"};
    QTest::newRow("zero fill") << int(German) << "Urlaub"
                               << "_x"
                               << "7"
                               << "fillon zero up up"
                               << "" << urlaub
                               << QStringList{"Urlaub007_x.jpg", "Urlaub008_x.jpeg", "Urlaub009_x.gif"}
                               << "Urlaub007_x.xyz" << 3;
    QTest::newRow("underscore fill") << int(German) << "Urlaub"
                                     << "_x"
                                     << "7"
                                     << "fillon under up up"
                                     << "" << urlaub
                                     << QStringList{"Urlaub__7_x.jpg", "Urlaub__8_x.jpeg", "Urlaub__9_x.gif"}
                                     << "Urlaub__7_x.xyz" << 3;
    QTest::newRow("fill on, up, off: blanks")
        << int(German) << "Urlaub"
        << "_x"
        << "7"
        << "fillon up up filloff"
        << "" << QStringList{"b.JPG"} << QStringList{"Urlaub  7_x.jpg"} << "Urlaub  7_x.xyz" << 3;
    QTest::newRow("name left") << int(German) << ""
                               << ""
                               << "1"
                               << "insert left fillon under up"
                               << "(Dateiname)" << QStringList{"Haus.PNG", "Garten.jpg"}
                               << QStringList{"(Haus)_1.png", "(Garten)_2.jpg"} << "(Dateiname)_1.xyz" << 2;
    QTest::newRow("name right") << int(German) << ""
                                << ""
                                << "1"
                                << "insert fillon under up"
                                << "(Dateiname)" << QStringList{"Haus.PNG"} << QStringList{"_1(Haus).png"}
                                << "_1(Dateiname).xyz" << 2;
    QTest::newRow("English placeholder")
        << int(English) << ""
        << ""
        << "1"
        << "insert"
        << "[Filename]" << QStringList{"Haus.PNG"} << QStringList{"1[Haus].png"} << "1[Filename].xyz" << 1;
    QTest::newRow("two dots") << int(German) << ""
                              << ""
                              << "1"
                              << "insert"
                              << "Dateiname" << QStringList{"a.b.TXT"} << QStringList{"1a.txt"}
                              << "1Dateiname.xyz" << 1;
    QTest::newRow("no extension") << int(German) << "R"
                                  << ""
                                  << "1"
                                  << ""
                                  << "" << QStringList{"README"} << QStringList{"R1"} << "R1.xyz" << 1;
    QTest::newRow("no placeholder word: bare name")
        << int(German) << ""
        << ""
        << "1"
        << "insert"
        << "abc" << QStringList{"Haus.PNG"} << QStringList{"1Haus.png"} << "1abc.xyz" << 1;
    QTest::newRow("ÄÖ not lower-cased")
        << int(German) << ""
        << ""
        << "1"
        << ""
        << "" << QStringList{"x.ÄJPG"} << QStringList{"1.Äjpg"} << "1.xyz" << 1;
    QTest::newRow("007 before the fill toggle: zeros")
        << int(German) << ""
        << ""
        << "007"
        << ""
        << "" << QStringList{"x.jpg", "y.jpg"} << QStringList{"007.jpg", "008.jpg"} << "007.xyz" << 3;
    QTest::newRow("007 with fill off: blanks")
        << int(German) << ""
        << ""
        << "007"
        << "fillon filloff"
        << "" << QStringList{"x.jpg"} << QStringList{"  7.jpg"} << "007.xyz" << 3;
    QTest::newRow("upper bound 8") << int(German) << ""
                                   << ""
                                   << "1"
                                   << "up up up up up up up up up up"
                                   << "" << QStringList{"x.jpg"} << QStringList{"00000001.jpg"}
                                   << "00000001.xyz" << 8;
    QTest::newRow("lower bound 1") << int(German) << ""
                                   << ""
                                   << "1"
                                   << "up up down down down"
                                   << "" << QStringList{"x.jpg", "y.jpg"} << QStringList{"1.jpg", "2.jpg"}
                                   << "1.xyz" << 1;
    QTest::newRow("texts kept to 30")
        << int(German) << QString(40, 'a') << ""
        << "1"
        << ""
        << "" << QStringList{"x"} << QStringList{QString(30, 'a') + "1"} << QString(30, 'a') + "1.xyz" << 1;
}

void TstRenameCore::engine()
{
    QFETCH(int, language);
    QFETCH(QString, before);
    QFETCH(QString, after);
    QFETCH(QString, start);
    QFETCH(QString, ops);
    QFETCH(QString, nameTemplate);
    QFETCH(QStringList, names);
    QFETCH(QStringList, expected);
    QFETCH(QString, sample);
    QFETCH(int, digits);

    const QString word = Texts::msg(Msg::Filename, language);
    RenamePattern p;
    p.setTextBefore(before);
    p.setTextAfter(after);
    for (const QString &op : ops.split(' ', Qt::SkipEmptyParts)) {
        if (op == "fillon" || op == "filloff")
            p.setFill(op == "fillon");
        else if (op == "zero" || op == "under")
            p.setFillZero(op == "zero");
        else if (op == "up")
            p.digitsUp();
        else if (op == "down")
            p.digitsDown();
        else if (op == "insert")
            p.setInsertName(true, word);
        else if (op == "left")
            p.setNameLeft(true);
    }
    if (p.insertName()) {
        QCOMPARE(p.nameTemplate(), word);
        p.setNameTemplate(nameTemplate);
    }
    p.setStartText(start);
    QCOMPARE(p.digits(), digits);
    QCOMPARE(p.sample(), sample);
    qint64 n = *p.startNumber();
    QStringList got;
    for (const QString &name : names)
        got << p.newName(name, n++, word);
    QCOMPARE(got, expected);
}

void TstRenameCore::check_data()
{
    QTest::addColumn<QStringList>("files"); // on disk
    QTest::addColumn<QStringList>("rows");  // old, new, old, new, ...
    QTest::addColumn<QString>("states");    // one letter per row
    QTest::newRow("swap chain") << QStringList{"1.jpg", "2.jpg"}
                                << QStringList{"1.jpg", "2.jpg", "2.jpg", "3.jpg"} << "RR";
    QTest::newRow("outside file keeps its name")
        << QStringList{"1.jpg", "2.jpg", "9.jpg"} << QStringList{"1.jpg", "9.jpg", "2.jpg", "3.jpg"} << "TR";
    QTest::newRow("refusal spreads down a chain")
        << QStringList{"a", "b", "c"} << QStringList{"a", "b", "b", "c"} << "TT";
    QTest::newRow("repeated new name") << QStringList{"a", "b"} << QStringList{"a", "x", "b", "x"} << "RD";
    QTest::newRow("gone, same, empty, bad")
        << QStringList{"a"} << QStringList{"gone", "x", "a", "a", "", "", "a", "x/y"} << "MSEB";
}

void TstRenameCore::check()
{
    QFETCH(QStringList, files);
    QFETCH(QStringList, rows);
    QFETCH(QString, states);
    QTemporaryDir dir;
    makeFiles(dir.path(), files);
    QList<RenameRow> list;
    for (qsizetype i = 0; i + 1 < rows.size(); i += 2)
        list << RenameRow{rows[i], rows[i + 1]};
    const RenameCheck c = check_renames(dir.path(), list);
    QString got;
    for (RowCheck s : c.rows)
        got += QString("RSEMTDB").at(int(s));
    QCOMPARE(got, states);
}

void TstRenameCore::swapRunAndUndoAfterRestart()
{
    QTemporaryDir dir;
    QTemporaryDir prog;
    const QString folder = dir.path() + '/';
    makeFiles(dir.path(), {"1.jpg", "2.jpg", "3.txt"});
    const QString journalFile = prog.filePath("rename.jnl");
    {
        RenameJournal j(journalFile);
        const RenameOutcome out = j.run(folder, movesOf({"1.jpg", "2.jpg", "2.jpg", "3.jpg"}));
        QCOMPARE(out.renamed, 2);
        QVERIFY(out.failures.isEmpty());
        QVERIFY(j.canUndo());
    }
    QCOMPARE(filesIn(folder), QStringList({"2.jpg", "3.jpg", "3.txt"}));
    QCOMPARE(readFile(folder + "2.jpg"), QByteArray("1.jpg"));
    QCOMPARE(readFile(folder + "3.jpg"), QByteArray("2.jpg"));

    RenameJournal again(journalFile); // a new session
    QVERIFY(again.load());
    QVERIFY(again.canUndo());
    const RenameOutcome undone = again.undo_last();
    QCOMPARE(undone.renamed, 2);
    QCOMPARE(filesIn(folder), QStringList({"1.jpg", "2.jpg", "3.txt"}));
    QCOMPARE(readFile(folder + "1.jpg"), QByteArray("1.jpg"));
    QVERIFY(!again.canUndo());
    RenameJournal third(journalFile);
    QVERIFY(third.load());
    QVERIFY(third.runs().isEmpty());
}

void TstRenameCore::undoNeverOverwrites()
{
    QTemporaryDir dir;
    const QString folder = dir.path() + '/';
    makeFiles(dir.path(), {"a.jpg", "b.jpg"});
    RenameJournal j(dir.filePath(".journal"));
    QCOMPARE(j.run(folder, movesOf({"a.jpg", "x.jpg", "b.jpg", "y.jpg"})).renamed, 2);
    writeFile(folder + "a.jpg", "newcomer"); // the old name is taken meanwhile
    QFile::remove(folder + "y.jpg");         // and one renamed file was replaced
    writeFile(folder + "y.jpg", "someone else");
    const RenameOutcome out = j.undo_last();
    QCOMPARE(out.renamed, 0);
    QCOMPARE(out.failures.size(), 2);
    QCOMPARE(readFile(folder + "a.jpg"), QByteArray("newcomer"));
    QCOMPARE(readFile(folder + "x.jpg"), QByteArray("a.jpg"));
    QCOMPARE(readFile(folder + "y.jpg"), QByteArray("someone else"));
}

void TstRenameCore::undoOnlyTheRenamedFile_data()
{
    QTest::addColumn<int>("change");         // what happens to a.jpg (renamed x.jpg) before the undo
    QTest::addColumn<QByteArray>("oldName"); // a.jpg's contents afterwards ("" = none)
    QTest::addColumn<QByteArray>("newName"); // x.jpg's contents afterwards
    QTest::newRow("old name taken") << 0 << QByteArray("newcomer") << QByteArray("a.jpg");
    // Even if the system hands out the same inode again, it is another file.
    QTest::newRow("replaced, same size") << 2 << QByteArray() << QByteArray("A.JPG");
    // A new time stamp and attributes leave it the file the run renamed.
    QTest::newRow("stamped") << 3 << QByteArray("a.jpg") << QByteArray();
}

void TstRenameCore::undoOnlyTheRenamedFile()
{
    QFETCH(int, change);
    QFETCH(QByteArray, oldName);
    QFETCH(QByteArray, newName);
    QTemporaryDir dir;
    const QString folder = dir.path() + '/';
    makeFiles(dir.path(), {"a.jpg", "b.jpg"});
    RenameJournal j(dir.filePath(".journal"));
    QCOMPARE(j.run(folder, movesOf({"a.jpg", "x.jpg", "b.jpg", "y.jpg"})).renamed, 2);
    if (change == 0) {
        writeFile(folder + "a.jpg", "newcomer");
    } else if (change == 3) {
        QVERIFY(set_modification_time(folder + "x.jpg", QDateTime(QDate(1999, 1, 1), QTime(0, 0))));
        QVERIFY(set_file_attributes(folder + "x.jpg", AttrReadOnly | AttrHidden));
    } else {
        QVERIFY(QFile::remove(folder + "x.jpg"));
        writeFile(folder + "x.jpg", newName);
    }
    const RenameOutcome out = j.undo_last();
    const bool undone = newName.isEmpty();
    const QStringList back = undone ? QStringList{"a.jpg", "b.jpg"} : QStringList{"b.jpg"};
    QCOMPARE(out.newNames, back);
    QCOMPARE(out.failures.size(), undone ? 0 : 1);
    if (!undone)
        QCOMPARE(out.failures.first().reason, change == 0 ? int(RefusedTaken) : int(RefusedChanged));
    QCOMPARE(readFile(folder + "a.jpg"), oldName);
    QCOMPARE(readFile(folder + "x.jpg"), newName);
    QCOMPARE(readFile(folder + "b.jpg"), QByteArray("b.jpg")); // the other file goes back
}

void TstRenameCore::recoverCutRun_data()
{
    QTest::addColumn<bool>("finish");
    QTest::addColumn<QStringList>("expected"); // contents of 1.jpg, 2.jpg, 3.jpg ("" = none)
    QTest::newRow("finish") << true << QStringList{"", "1", "2"};
    QTest::newRow("undo") << false << QStringList{"1", "2", ""};
}

void TstRenameCore::recoverCutRun()
{
    QFETCH(bool, finish);
    QFETCH(QStringList, expected);
    // A run 1 -> 2, 2 -> 3 cut short after its first phase: 1.jpg waits under its temporary
    // name, 2.jpg was not renamed yet.
    QTemporaryDir dir;
    const QString folder = dir.path() + '/';
    writeFile(folder + ".tmp-1", "1");
    writeFile(folder + "2.jpg", "2");
    struct stat st = {};
    lstat(QFile::encodeName(folder).constData(), &st);
    RenameJournalRun cut;
    cut.device = quint64(st.st_dev);
    cut.serial = 1;
    cut.folder = folder;
    cut.entries << RenameJournalEntry{fileIdOf(folder + ".tmp-1"), "1.jpg", ".tmp-1", "2.jpg"}
                << RenameJournalEntry{fileIdOf(folder + "2.jpg"), "2.jpg", "", "3.jpg"};
    const QString journalFile = dir.filePath(".journal");
    QVERIFY(write_file_atomic(journalFile, RenameJournal::encode({cut})));

    RenameJournal j(journalFile);
    QVERIFY(j.load());
    QVERIFY(j.hasOpenRun());
    QVERIFY(j.recover(finish).failures.isEmpty());
    const QStringList names{"1.jpg", "2.jpg", "3.jpg"};
    for (int i = 0; i < 3; ++i)
        QCOMPARE(QString::fromUtf8(readFile(folder + names[i])), expected[i]);
    QVERIFY(!QFileInfo::exists(folder + ".tmp-1"));
    QVERIFY(!j.hasOpenRun());
    QCOMPARE(j.canUndo(), finish); // a finished run can still be undone
}

void TstRenameCore::damagedJournalIsRefused()
{
    QTemporaryDir dir;
    RenameJournalRun run;
    run.open = false;
    run.folder = "/x/";
    run.serial = 4;
    run.entries << RenameJournalEntry{{7, 3, 11}, "a", "", path_from_native("b\xff")};
    QByteArray bytes = RenameJournal::encode({run});
    QCOMPARE(RenameJournal::parse(bytes), QList<RenameJournalRun>{run});
    // A record cut short by a crash is passed over; one changed in the middle is damage.
    QCOMPARE(RenameJournal::parse(bytes + "f\t4\t9"), QList<RenameJournalRun>{run});
    bytes.replace("f\t4\t7\t", "f\t4\t8\t");
    QVERIFY(!RenameJournal::parse(bytes));

    // The fuzzer's seeds: one journal as written, one with a wrong checksum.
    const QString seeds = qEnvironmentVariable("VORN_SOURCE_DIR") + "/fuzz/corpus/fuzz_rename_journal/";
    RenameJournal good(seeds + "two_runs.jnl");
    QVERIFY(good.load());
    QCOMPARE(good.runs().size(), 2);
    QVERIFY(good.hasOpenRun());
    QCOMPARE(good.runs().first().entries.first().tempName, QString(".vorn-rename-1-1"));
    // The appended form: two runs undone by the third and dropped, the last cut short while
    // its entries were written.
    const auto appended = RenameJournal::parse(readFile(seeds + "appended.jnl"));
    QVERIFY(appended);
    QCOMPARE(appended->size(), 2);
    QCOMPARE(appended->at(0).entries.at(1).oldName, path_from_native("latin1_\xe9.jpg"));
    QVERIFY(!appended->at(0).open);
    QVERIFY(appended->at(1).open);
    QCOMPARE(appended->at(1).entries.size(), 1);
    // A damaged journal is kept aside, not written over by the next run.
    const QString jnl = dir.path() + "/vorn-rename.jnl";
    QVERIFY(QFile::copy(seeds + "bad_sum.jnl", jnl));
    const QByteArray damagedBytes = readFile(jnl);
    RenameJournal bad(jnl);
    QVERIFY(!bad.load());
    QVERIFY(bad.runs().isEmpty());
    QCOMPARE(bad.setAsidePath(), jnl + ".unreadable");
    QCOMPARE(readFile(jnl + ".unreadable"), damagedBytes);
    const QString folder = dir.path() + "/pics/";
    QVERIFY(QDir().mkpath(folder));
    QFile f(folder + "a.jpg");
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.close();
    QVERIFY(bad.run(folder, {{"a.jpg", "b.jpg"}}).failures.isEmpty());
    QVERIFY(QFileInfo::exists(folder + "b.jpg"));
    QCOMPARE(readFile(jnl + ".unreadable"), damagedBytes);
    RenameJournal again(jnl);
    QVERIFY(again.load());
    QVERIFY(again.canUndo());
}

void TstRenameCore::journalAppendedThenCompacted()
{
    QTemporaryDir dir;
    const QString folder = dir.path() + "/pics/";
    QVERIFY(QDir().mkpath(folder));
    makeFiles(folder, {"0.jpg"});
    const QString jnl = dir.filePath("vorn-rename.jnl");
    RenameJournal j(jnl);
    QVERIFY(j.load());
    QByteArray before;
    const int runs = RenameJournal::kMaxRuns + RenameJournal::kSpareRuns + 1;
    for (int i = 0; i < runs; ++i) {
        QVERIFY(!j.needsCompaction());
        QCOMPARE(j.run(folder, movesOf({QString("%1.jpg").arg(i), QString("%1.jpg").arg(i + 1)})).renamed, 1);
        // Each run adds to the end of the file; nothing written before changes.
        const QByteArray now = readFile(jnl);
        QVERIFY(now.size() > before.size());
        QVERIFY(now.startsWith(before));
        before = now;
    }
    QVERIFY(j.needsCompaction());
    QCOMPARE(j.runs().size(), RenameJournal::kMaxRuns);
    QVERIFY(j.compact());
    QVERIFY(!j.needsCompaction());
    QVERIFY(readFile(jnl).size() < before.size());
    RenameJournal again(jnl);
    QVERIFY(again.load());
    QCOMPARE(again.runs(), j.runs());
    // The next run appends to the rewritten file, and undo still works from it.
    QCOMPARE(again.run(folder, movesOf({QString("%1.jpg").arg(runs), "last.jpg"})).renamed, 1);
    RenameJournal third(jnl);
    QVERIFY(third.load());
    QCOMPARE(third.undo_last().newNames, QStringList{QString("%1.jpg").arg(runs)});
    QCOMPARE(third.undo_last().renamed, 1);
    QCOMPARE(filesIn(folder), QStringList{QString("%1.jpg").arg(runs - 1)});

    // A journal of the older form is read, and rewritten in the new one before anything is
    // added to it.
    const QString seeds = qEnvironmentVariable("VORN_SOURCE_DIR") + "/fuzz/corpus/fuzz_rename_journal/";
    const QString old = dir.filePath("old.jnl");
    QVERIFY(QFile::copy(seeds + "two_runs.jnl", old));
    RenameJournal older(old);
    QVERIFY(older.load());
    const QList<RenameJournalRun> oldRuns = older.runs();
    QVERIFY(older.needsCompaction());
    QVERIFY(older.compact());
    QCOMPARE(RenameJournal::parse(readFile(old)), oldRuns);
}

void TstRenameCore::localStampRefusesSkippedHour()
{
    qputenv("TZ", "Europe/Berlin");
    tzset();
    const auto stamp = local_stamp(QDate(2005, 12, 24), QTime(18, 30, 45, 500));
    QVERIFY(stamp);
    QCOMPARE(stamp->time(), QTime(18, 30, 45));
    QVERIFY(!local_stamp(QDate(2021, 3, 28), QTime(2, 30, 0))); // skipped at the switch
    QVERIFY(local_stamp(QDate(2021, 10, 31), QTime(2, 30, 0))); // repeated hour exists
}

QTEST_GUILESS_MAIN(TstRenameCore)
#include "tst_rename_core.moc"
