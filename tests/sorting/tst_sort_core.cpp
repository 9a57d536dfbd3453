// The sort engine's arithmetic, templates and undo journal, without a window.
#include "base/grid_text.h"
#include "files/file_ops.h"
#include "sorting/sort_engine.h"
#include "sorting/sort_journal.h"
#include "sorting/sort_layout.h"
#include "sorting/sort_template.h"
#include "support/test_support.h"

#include "files/file_helpers.h"
#include "files/file_list_model.h"
#include "lang/texts.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

using namespace vorn;

namespace
{

void touch(const QString &path, const QByteArray &bytes = "x")
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

QByteArray content(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

constexpr char kSortAndDieArg[] = "--sort-and-die";
constexpr int kStopAt = 4; // steps done when the helper stops

int g_reached = 0;
FileOpStage g_stopStage = FileOpStage::CopyWritten;

void stopAtFifthFile(FileOpStage stage, const QString &)
{
    if (stage != g_stopStage || ++g_reached <= kStopAt)
        return;
    test::signalAndHang("stopped");
}

// The helper mode of this executable: sorts argv[5..] into argv[4] (argv[3]: copy or move)
// with the journal argv[2], and stops for good in the fifth file: a copy once written, a move
// (across file systems, where moves go in batches) just before its source is removed.
int sortAndDie(int argc, char *argv[])
{
    const bool move = std::strcmp(argv[3], "move") == 0;
    g_stopStage = move ? FileOpStage::BeforeSourceRemoved : FileOpStage::CopyWritten;
    FileOps::set_hook(stopAtFifthFile);
    SortJournal j(QString::fromLocal8Bit(argv[2]));
    j.load();
    QStringList sources;
    for (int i = 5; i < argc; ++i)
        sources << QString::fromLocal8Bit(argv[i]);
    sort_files(sources, QString::fromLocal8Bit(argv[4]), move ? SortOp::Move : SortOp::Copy, English, &j);
    std::puts("finished");
    return 1;
}

} // namespace

class TstSortCore : public QObject
{
    Q_OBJECT
  private slots:
    void initTestCase();
    void buttonFlow_data();
    void buttonFlow();
    void shortenKeepsDriveAndLastFolder_data();
    void shortenKeepsDriveAndLastFolder();
    void reselectIndex_data();
    void reselectIndex();
    void addStopsAtLimit();
    void deleteOnlyRowEmptiesIt();
    void templateLinesAndLoad();
    void templateLoadRefusals();
    void journalRecordRoundTrip();
    void damagedRecordIsRefused_data();
    void damagedRecordIsRefused();
    void undoNeverOverwritesAndTrashesCopies();
    void undoSkipsFilesChangedSince();
    void damagedRecordIsNeverActedOn();
    void killedSortRunKeepsItsSteps_data();
    void killedSortRunKeepsItsSteps();
    void journalKeepsNewestWholeRuns_data();
    void journalKeepsNewestWholeRuns();
    void unreadableJournalIsKeptAside();
    void namesThatAreNotUtf8();

  private:
    QTemporaryDir home_;
};

void TstSortCore::initTestCase()
{
    // Copies undone go to a trash inside the sandbox.
    qputenv("XDG_DATA_HOME", home_.filePath("xdg").toUtf8());
}

void TstSortCore::buttonFlow_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("k");
    QTest::addColumn<QPoint>("pos");
    // 300 pixels: four buttons a row, rows of 4, 4 and 1 for N = 9.
    QTest::newRow("1") << 300 << 1 << QPoint(0, 0);
    QTest::newRow("4") << 300 << 4 << QPoint(225, 0);
    QTest::newRow("5") << 300 << 5 << QPoint(0, 29);
    QTest::newRow("8") << 300 << 8 << QPoint(225, 29);
    QTest::newRow("9") << 300 << 9 << QPoint(0, 58);
    QTest::newRow("one a row") << 149 << 3 << QPoint(0, 58);
}

void TstSortCore::buttonFlow()
{
    QFETCH(int, width);
    QFETCH(int, k);
    QFETCH(QPoint, pos);
    QCOMPARE(sort_button_pos(k, sort_buttons_per_row(width)), pos);
    QCOMPARE(sort_buttons_per_row(74), 0);
}

void TstSortCore::shortenKeepsDriveAndLastFolder_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("width");
    QTest::addColumn<QString>("shown");
    QTest::newRow("fits") << "/home/ann/pics/" << 40 << "/home/ann/pics";
    QTest::newRow("middle goes") << "/home/ann/photos/holidays/2019" << 20 << "/home/ann/.../2019";
    QTest::newRow("all middle goes") << "/media/usb/photos/holidays/2019" << 16 << "/media/.../2019";
    QTest::newRow("last alone") << "/media/usb/holidays" << 13 << ".../holidays";
    QTest::newRow("last cut") << "/media/usb/holidays" << 8 << "holid...";
}

void TstSortCore::shortenKeepsDriveAndLastFolder()
{
    QFETCH(QString, path);
    QFETCH(int, width);
    QFETCH(QString, shown);
    const auto chars = [](const QString &s) { return int(s.size()); };
    QCOMPARE(shorten_path(path, width, chars), shown);
    QVERIFY(shown.size() <= width);
}

void TstSortCore::reselectIndex_data()
{
    QTest::addColumn<int>("last");
    QTest::addColumn<int>("removed");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("index");
    QTest::newRow("five moved from ten") << 6 << 5 << 5 << 2;
    QTest::newRow("copy of the last") << 9 << 0 << 10 << 9;
    QTest::newRow("copy in the middle") << 3 << 0 << 10 << 4;
    QTest::newRow("moved at the end") << 9 << 2 << 8 << 7;
    QTest::newRow("all moved") << 2 << 3 << 0 << -1;
    QTest::newRow("one of two failed") << 4 << 1 << 9 << 4;
}

void TstSortCore::reselectIndex()
{
    QFETCH(int, last);
    QFETCH(int, removed);
    QFETCH(int, count);
    QFETCH(int, index);
    QCOMPARE(sort_reselect_index(last, removed, count), index);
}

void TstSortCore::addStopsAtLimit()
{
    SortConfig c;
    for (int i = 0; i < kMaxSortButtons; ++i)
        QVERIFY(c.add_button());
    QVERIFY(!c.add_button());
    QCOMPARE(c.count(), 200);
    QCOMPARE(c.grid().rowCount(), 201);
}

void TstSortCore::deleteOnlyRowEmptiesIt()
{
    SortConfig c;
    c.add_button();
    c.setCaption(1, "A");
    c.setFolder(1, "/a/");
    c.delete_row(1);
    QCOMPARE(c.count(), 0);
    QCOMPARE(c.grid().rowCount(), 2);
    QCOMPARE(c.caption(1), QString());
    QCOMPARE(c.folder(1), QString());
    c.delete_row(1); // nothing at N = 0
    QCOMPARE(c.count(), 0);
    // More rows: the row goes and those below move up.
    for (const char *n : {"A", "B", "C"}) {
        c.add_button();
        c.setCaption(c.count(), n);
    }
    c.delete_row(2);
    QCOMPARE(c.count(), 2);
    QCOMPARE(c.caption(2), QString("C"));
}

void TstSortCore::templateLinesAndLoad()
{
    QTemporaryDir dir;
    SortConfig c;
    c.setTitles("Beschriftung      ", "Verzeichnis");
    c.add_button();
    c.add_button();
    c.setCaption(1, "Urlaub");
    c.setFolder(1, "/pics/urlaub/");
    c.setCaption(2, "Zwei\r\nZeilen");
    const QString path = dir.filePath("t.ctg");
    QVERIFY(c.save(path));
    QCOMPARE(QString::fromUtf8(content(path)).split("\r\n"),
             (QStringList{"2,3", "cw 0,120", "cw 1,120", "0,0,Beschriftung      ", "1,0,Verzeichnis",
                          "0,1,Urlaub", "1,1,/pics/urlaub/", "0,2,Zwei\t\bZeilen", ""}));
    SortConfig d;
    QCOMPARE(d.load(path), TemplateLoadStatus::Ok);
    QCOMPARE(d.count(), 2);
    QCOMPARE(d.grid(), c.grid());
    QCOMPARE(d.templateName(), path);
    d.clear();
    QCOMPARE(d.templateName(), QString());
    QCOMPARE(d.caption(0), QString("Beschriftung      ")); // titles stay
}

void TstSortCore::templateLoadRefusals()
{
    QTemporaryDir dir;
    SortConfig c;
    c.add_button();
    QCOMPARE(c.load(dir.filePath("missing.ctg")), TemplateLoadStatus::NotFound);
    QCOMPARE(c.count(), 0);
    touch(dir.filePath("bin.ctg"), QByteArray("2,3\r\n\0\0", 7));
    QCOMPARE(c.load(dir.filePath("bin.ctg")), TemplateLoadStatus::Corrupt);
    // Above the limit of loaded templates: refused, nothing created.
    QByteArray big = "2," + QByteArray::number(kMaxTemplateButtons + 2) + "\r\n";
    for (int k = 1; k <= kMaxTemplateButtons + 1; ++k)
        big += "0," + QByteArray::number(k) + ",b\r\n";
    touch(dir.filePath("big.ctg"), big);
    QCOMPARE(c.load(dir.filePath("big.ctg")), TemplateLoadStatus::TooMany);
    QCOMPARE(c.count(), 0);
    // Exactly at the limit it loads.
    QByteArray ok = "2," + QByteArray::number(kMaxTemplateButtons + 1) + "\r\n";
    touch(dir.filePath("ok.ctg"), ok);
    QCOMPARE(c.load(dir.filePath("ok.ctg")), TemplateLoadStatus::Ok);
    QCOMPARE(c.count(), kMaxTemplateButtons);
    // A title-only template: no buttons, still one empty row.
    touch(dir.filePath("one.ctg"), "2,1\r\n0,0,A\r\n");
    QCOMPARE(c.load(dir.filePath("one.ctg")), TemplateLoadStatus::Ok);
    QCOMPARE(c.count(), 0);
    QCOMPARE(c.grid().rowCount(), 2);
}

void TstSortCore::journalRecordRoundTrip()
{
    const QByteArrayList fields{"step",           "7", "m", "/a/odd\tname%09\n\r.jpg", "/b/bad\xff\xfe.jpg",
                                "/c/\xc3\xbc.jpg"};
    const QByteArray record = SortJournal::encode_record(fields);
    QVERIFY(record.endsWith('\n'));
    QCOMPARE(record.count('\n'), 1);
    QByteArrayList back;
    QVERIFY(SortJournal::decode_record(record, &back));
    QCOMPARE(back, fields);
}

void TstSortCore::damagedRecordIsRefused_data()
{
    QTest::addColumn<QByteArray>("record");
    const QByteArray good = SortJournal::encode_record({"step", "1", "c", "/a/photo.jpg", "/b/photo.jpg"});
    QByteArray flipped = good;
    flipped[20] = flipped[20] ^ 0x01;
    QTest::newRow("cut in the middle") << good.left(good.indexOf("/b/photo") + 8) + '\n';
    QTest::newRow("cut without line end") << good.chopped(1);
    QTest::newRow("one bit changed") << flipped;
    QTest::newRow("no checksum") << QByteArray("step\t1\tc\t/a/photo.jpg\t/b/photo.jpg\n");
}

void TstSortCore::damagedRecordIsRefused()
{
    QFETCH(QByteArray, record);
    QByteArrayList fields;
    QVERIFY(!SortJournal::decode_record(record, &fields));
}

void TstSortCore::undoNeverOverwritesAndTrashesCopies()
{
    QTemporaryDir dir;
    const QString src = dir.filePath("src/"), dst = dir.filePath("dst/");
    touch(src + "a.jpg", "a");
    touch(src + "b.jpg", "b");
    touch(src + "c.jpg", "c");
    QDir().mkpath(dst);
    const QString journalFile = dir.filePath("vorn.jnl");
    {
        SortJournal j(journalFile);
        SortRun run;
        for (const QString &n : {QString("a.jpg"), QString("b.jpg")}) {
            const FileOpResult r = FileOps::move_into_folder(src + n, dst);
            QVERIFY(r.ok);
            run << SortStep{src + n, r.newPath, SortOp::Move, {}};
        }
        j.record(run);
        const FileOpResult r = FileOps::copy_into_folder(src + "c.jpg", dst);
        j.record({SortStep{src + "c.jpg", r.newPath, SortOp::Copy, {}}});
    }
    // A new file took a's old name meanwhile.
    touch(src + "a.jpg", "new");
    SortJournal j(journalFile);
    j.load();
    QCOMPARE(j.runs().size(), 2);
    FileOps ops(dir.filePath("trash/"));
    UndoResult u = j.undo_last(ops);
    QCOMPARE(u.restored, 1);
    QVERIFY(!QFileInfo::exists(dst + "c.jpg"));
    QCOMPARE(content(src + "c.jpg"), QByteArray("c"));
    u = j.undo_last(ops);
    QCOMPARE(u.restored, 2);
    QVERIFY(u.failures.isEmpty());
    QCOMPARE(content(src + "a.jpg"), QByteArray("new"));
    QCOMPARE(content(src + "a (2).jpg"), QByteArray("a"));
    QCOMPARE(content(src + "b.jpg"), QByteArray("b"));
    QVERIFY(QDir(dst).isEmpty());
    QVERIFY(j.isEmpty());
    j.flush();
    SortJournal again(journalFile);
    again.load();
    QVERIFY(again.isEmpty());
}

// Undo acts only on the very file a step left: a copy edited since, a copy whose original is
// gone (it is the last one), a moved file replaced by another under its name all stay, each
// listed with its reason.
void TstSortCore::undoSkipsFilesChangedSince()
{
    QTemporaryDir dir;
    const QString src = dir.filePath("src/"), dst = dir.filePath("dst/");
    for (const char *n : {"c.jpg", "d.jpg", "e.jpg"})
        touch(src + n, n);
    QDir().mkpath(dst);
    SortJournal j(dir.filePath("vorn.jnl"));
    QList<FileSortOutcome> out = sort_files({src + "c.jpg", src + "d.jpg"}, dst, SortOp::Copy, English, &j);
    out += sort_files({src + "e.jpg"}, dst, SortOp::Move, English, &j);
    QCOMPARE(j.runs().size(), 2);
    // The moved file is replaced by another one under its name; the run undoes nothing.
    QVERIFY(QFile::remove(dst + "e.jpg"));
    touch(dst + "e.jpg", "another e");
    FileOps ops(dir.filePath("trash/"));
    UndoResult u = j.undo_last(ops, English);
    QCOMPARE(u.restored, 0);
    QCOMPARE(u.failures, QStringList{"e.jpg: " + Texts::msg(Msg::UndoTargetChanged, English)});
    QCOMPARE(content(dst + "e.jpg"), QByteArray("another e"));
    QVERIFY(!QFile::exists(src + "e.jpg"));

    // The copy c is edited (longer now); the original of d is deleted.
    touch(dst + "c.jpg", "c.jpg edited");
    QVERIFY(QFile::remove(src + "d.jpg"));
    u = j.undo_last(ops, German);
    QCOMPARE(u.restored, 0);
    QCOMPARE(u.failures, (QStringList{"d.jpg: " + Texts::msg(Msg::UndoOriginalGone, German),
                                      "c.jpg: " + Texts::msg(Msg::UndoTargetChanged, German)}));
    QCOMPARE(content(dst + "c.jpg"), QByteArray("c.jpg edited"));
    QCOMPARE(content(dst + "d.jpg"), QByteArray("d.jpg"));
    QVERIFY(j.isEmpty());
}

// A step record cut in the middle (the program died while writing it) names a shorter path; a
// file that really has that name must not be touched.
void TstSortCore::damagedRecordIsNeverActedOn()
{
    QTemporaryDir dir;
    const QString dst = dir.filePath("dst/");
    touch(dst + "photo", "unrelated");
    touch(dir.filePath("src/photo"), "original");
    const FileIdentity id = identity_of_path(dst + "photo");
    QByteArray step = SortJournal::encode_record(
        {"step", "1", "c", QFile::encodeName(dir.filePath("src/photo")), QFile::encodeName(dst + "photo.jpg"),
         QByteArray::number(id.device), QByteArray::number(id.inode), QByteArray::number(id.size),
         QByteArray::number(id.mtimeNs)});
    step = step.left(step.indexOf("photo.jpg") + 5) + '\n'; // ends after ".../dst/photo"
    touch(dir.filePath("vorn.jnl"), "vorn sort journal 2\n" + SortJournal::encode_record({"run", "1"}) +
                                        step + SortJournal::encode_record({"end", "1"}));
    SortJournal j(dir.filePath("vorn.jnl"));
    j.load();
    QCOMPARE(j.runs().size(), 1);
    QCOMPARE(j.runs().first().damaged, 1);
    QVERIFY(j.runs().first().steps.isEmpty());
    FileOps ops(dir.filePath("trash/"));
    const UndoResult u = j.undo_last(ops, English);
    QCOMPARE(u.restored, 0);
    QCOMPARE(u.failures, QStringList{"?: " + Texts::msg(Msg::JournalRecordDamaged, English)});
    QCOMPARE(content(dst + "photo"), QByteArray("unrelated"));
}

void TstSortCore::killedSortRunKeepsItsSteps_data()
{
    QTest::addColumn<QString>("op");
    QTest::addColumn<bool>("acrossFileSystems");
    QTest::newRow("copy") << "copy" << false;
    QTest::newRow("move to another file system") << "move" << true;
}

// The program is killed in the middle of a run of ten files: the journal holds the steps done,
// so the next session undoes them and says the run did not finish.
void TstSortCore::killedSortRunKeepsItsSteps()
{
    QFETCH(QString, op);
    QFETCH(bool, acrossFileSystems);
    QTemporaryDir dir;
    const std::unique_ptr<QTemporaryDir> shm = test::otherFileSystem(dir);
    if (acrossFileSystems && !shm)
        QSKIP("no second file system at /dev/shm: move across file systems not tried");
    const QString target = acrossFileSystems ? shm->path() + "/" : dir.filePath("dst/");
    QDir().mkpath(target);
    // An earlier, finished run that must stay in the journal.
    touch(dir.filePath("earlier/old.jpg"), "old");
    {
        SortJournal j(dir.filePath("vorn.jnl"));
        sort_files({dir.filePath("earlier/old.jpg")}, target, SortOp::Copy, English, &j);
    }
    QStringList args{kSortAndDieArg, dir.filePath("vorn.jnl"), op, target};
    for (int i = 0; i < 10; ++i) {
        const QString p = dir.filePath(QStringLiteral("src/%1.jpg").arg(i));
        touch(p, QByteArray::number(i));
        args << p;
    }
    test::runHelperAndKill(args, "stopped");
    if (QTest::currentTestFailed())
        return;

    SortJournal j(dir.filePath("vorn.jnl"));
    j.load();
    QCOMPARE(j.runs().size(), 2);
    QVERIFY(j.runs().first().closed);
    const JournalRun &killed = j.runs().last();
    QVERIFY(!killed.closed);
    QCOMPARE(killed.steps.size(), kStopAt);
    FileOps ops(dir.filePath("trash/"));
    const UndoResult u = j.undo_last(ops, English);
    QVERIFY(u.unfinishedRun);
    QCOMPARE(u.restored, kStopAt);
    QVERIFY(u.failures.isEmpty());
    // Every source is back. Besides the earlier run's copy, the target may hold only whole
    // copies of files whose sources the killed batch had not removed yet.
    for (int i = 0; i < 10; ++i)
        QCOMPARE(content(dir.filePath(QStringLiteral("src/%1.jpg").arg(i))), QByteArray::number(i));
    QStringList left = QDir(target).entryList(QDir::Files);
    QVERIFY(left.removeOne("old.jpg"));
    if (op == "copy")
        QCOMPARE(left, QStringList());
    for (const QString &name : left)
        QCOMPARE(content(target + name), content(dir.filePath("src/" + name)));
    QCOMPARE(j.runs().size(), 1);
}

void TstSortCore::journalKeepsNewestWholeRuns_data()
{
    QTest::addColumn<QList<int>>("runSizes"); // steps per run, oldest first
    QTest::addColumn<int>("kept");            // newest runs left
    // A step record is about 4 KB here: three runs of 3.6 MB are over the limit together.
    QTest::newRow("oldest run dropped") << QList<int>{900, 900, 900} << 2;
    QTest::newRow("a newest run above the limit stays") << QList<int>{10, 2500} << 1;
}

// The journal has a size limit: the oldest whole runs go, never the newest, and what stays
// reads back the same.
void TstSortCore::journalKeepsNewestWholeRuns()
{
    QFETCH(QList<int>, runSizes);
    QFETCH(int, kept);
    QTemporaryDir dir;
    const QString file = dir.filePath("vorn.jnl");
    const QString longName = "/" + QString(4000, 'x') + "/\u00fc.jpg";
    {
        SortJournal j(file);
        for (int n : runSizes) {
            j.begin_run();
            for (int i = 0; i < n; ++i)
                j.add_step(SortStep{"/a/x.jpg", longName + QString::number(i), SortOp::Move,
                                    FileIdentity{1, 2, 3, 4}});
            j.end_run();
        }
        QCOMPARE(j.runs().size(), kept);
    }
    QVERIFY(QFileInfo(file).size() <= SortJournal::kMaxBytes || kept == 1);
    SortJournal j(file);
    j.load();
    QCOMPARE(j.runs().size(), kept);
    QCOMPARE(j.runs().last().steps.size(), runSizes.last());
    QCOMPARE(j.runs().last().steps.last().to, longName + QString::number(runSizes.last() - 1));
    QVERIFY(j.runs().last().closed);
}

// A journal file the program cannot read is kept under a new name, not overwritten.
void TstSortCore::unreadableJournalIsKeptAside()
{
    QTemporaryDir dir;
    const QByteArray garbage = "vorn sort journal 1\nrun\nm\t/a/\xff\t/b/\xff\n";
    touch(dir.filePath("vorn.jnl"), garbage);
    touch(dir.filePath("vorn.jnl.unreadable"), "taken");
    SortJournal j(dir.filePath("vorn.jnl"));
    j.load();
    QVERIFY(j.isEmpty());
    QCOMPARE(j.setAsidePath(), dir.filePath("vorn.jnl (2).unreadable"));
    QCOMPARE(content(j.setAsidePath()), garbage);
    QCOMPARE(content(dir.filePath("vorn.jnl.unreadable")), QByteArray("taken"));
    touch(dir.filePath("a/x.jpg"));
    QDir().mkpath(dir.filePath("b"));
    sort_files({dir.filePath("a/x.jpg")}, dir.filePath("b/"), SortOp::Copy, English, &j);
    QCOMPARE(content(j.setAsidePath()), garbage);
    QVERIFY(content(dir.filePath("vorn.jnl")).startsWith("vorn sort journal 2\n"));
}

// A name that is not UTF-8 next to its look-alike (the same name with the replacement
// character): listing, moving, copying, undoing, renaming and trashing each touch the right one.
void TstSortCore::namesThatAreNotUtf8()
{
    QTemporaryDir dir;
    const QByteArray src = QFile::encodeName(dir.filePath("src/"));
    const QByteArray dst = QFile::encodeName(dir.filePath("dst/"));
    QDir().mkpath(dir.filePath("src"));
    QDir().mkpath(dir.filePath("dst"));
    const QByteArray bad = "bad\xff.jpg", alike = "bad\xef\xbf\xbd.jpg";
    auto writeRaw = [](const QByteArray &path, const QByteArray &bytes) {
        QFile f;
        const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL, 0644);
        QVERIFY(fd >= 0);
        QCOMPARE(::write(fd, bytes.constData(), size_t(bytes.size())), ssize_t(bytes.size()));
        ::close(fd);
    };
    auto readRaw = [](const QByteArray &path) {
        QByteArray out(64, 0);
        const int fd = ::open(path.constData(), O_RDONLY);
        if (fd < 0)
            return QByteArray("<missing>");
        out.resize(qMax<ssize_t>(0, ::read(fd, out.data(), size_t(out.size()))));
        ::close(fd);
        return out;
    };
    writeRaw(src + bad, "real");
    writeRaw(src + alike, "look-alike");

    // Listed: two entries, shown alike, each naming its own bytes.
    FileListModel model;
    QSignalSpy listing(&model, &FileListModel::listed);
    model.setFolder(dir.filePath("src"), {});
    QVERIFY(listing.wait());
    QCOMPARE(model.rowCount(), 2);
    QList<QByteArray> listed;
    for (int r = 0; r < 2; ++r) {
        listed << native_path(model.entry(r).fullPath());
        QCOMPARE(model.data(model.index(r, 0), Qt::DisplayRole).toString(), QString("bad\uFFFD.jpg"));
    }
    QVERIFY(listed.contains(src + bad));
    QVERIFY(listed.contains(src + alike));
    const QString badPath = path_from_native(src + bad);

    // Moved and undone.
    SortJournal j(dir.filePath("vorn.jnl"));
    QList<FileSortOutcome> out = sort_files({badPath}, dir.filePath("dst/"), SortOp::Move, English, &j);
    QVERIFY2(out.first().error.isEmpty(), qPrintable(out.first().error));
    QCOMPARE(readRaw(dst + bad), QByteArray("real"));
    QCOMPARE(readRaw(src + alike), QByteArray("look-alike"));
    QCOMPARE(readRaw(src + bad), QByteArray("<missing>"));
    FileOps ops(dir.filePath("trash/"));
    SortJournal reread(dir.filePath("vorn.jnl")); // the journal keeps the bytes too
    reread.load();
    QCOMPARE(reread.undo_last(ops, English).restored, 1);
    QCOMPARE(readRaw(src + bad), QByteArray("real"));
    QCOMPARE(readRaw(dst + bad), QByteArray("<missing>"));

    // Copied, and the copy undone into the trash.
    out = sort_files({badPath}, dir.filePath("dst/"), SortOp::Copy, English, &j);
    QCOMPARE(readRaw(dst + bad), QByteArray("real"));
    QCOMPARE(j.undo_last(ops, English).restored, 1);
    QCOMPARE(readRaw(dst + bad), QByteArray("<missing>"));
    QCOMPARE(readRaw(src + bad), QByteArray("real"));

    // Renamed, then sent to the trash.
    const QString renamed = path_from_native(src + "ren\xfe.jpg");
    QVERIFY(FileOps::rename_no_replace(badPath, renamed).ok);
    QCOMPARE(readRaw(src + "ren\xfe.jpg"), QByteArray("real"));
    const FileOpResult t = ops.delete_to_trash(renamed);
    QVERIFY2(t.ok, qPrintable(t.error));
    QCOMPARE(readRaw(native_path(t.newPath)), QByteArray("real"));
    QCOMPARE(readRaw(src + alike), QByteArray("look-alike"));
    QCOMPARE(QDir(dir.filePath("src")).entryList(QDir::Files).size(), 1);
    // Qt's clean-up of the temporary folders cannot name these.
    for (const QString &sub : {home_.filePath("xdg/Trash/files"), home_.filePath("xdg/Trash/info")})
        for (const QString &name : folder_entries(sub, true))
            ::unlink(native_path(sub + "/" + name).constData());
}

int main(int argc, char *argv[])
{
    if (argc >= 5 && std::strcmp(argv[1], kSortAndDieArg) == 0)
        return sortAndDie(argc, argv);
    QCoreApplication app(argc, argv);
    TstSortCore test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "tst_sort_core.moc"
