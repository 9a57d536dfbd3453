// The sort engine's arithmetic, templates and undo journal, without a window.
#include "base/grid_text.h"
#include "files/file_ops.h"
#include "sorting/sort_engine.h"
#include "sorting/sort_journal.h"
#include "sorting/sort_layout.h"
#include "sorting/sort_template.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace vorn;

namespace {

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

} // namespace

class TstSortCore : public QObject {
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
    void journalLinesRoundTrip();
    void journalIgnoresGarbage();
    void undoNeverOverwritesAndTrashesCopies();

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
             (QStringList{"2,3", "cw 0,120", "cw 1,120", "0,0,Beschriftung      ", "1,0,Verzeichnis", "0,1,Urlaub",
                          "1,1,/pics/urlaub/", "0,2,Zwei\t\bZeilen", ""}));
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

void TstSortCore::journalLinesRoundTrip()
{
    const QList<SortRun> runs{
        {SortStep{"/a/1.jpg", "/b/1.jpg", SortOp::Move}, SortStep{"/a/odd\tname%09\n.jpg", "/b/x (2).jpg", SortOp::Copy}},
        {SortStep{"/c/ü.jpg", "/d/ü.jpg", SortOp::Move}}};
    QCOMPARE(SortJournal::from_lines(SortJournal::to_lines(runs)), runs);
}

void TstSortCore::journalIgnoresGarbage()
{
    QCOMPARE(SortJournal::from_lines({"something else", "run", "m\t/a/b\t/c/b"}).size(), 0);
    const QList<SortRun> runs = SortJournal::from_lines(
        {"vorn sort journal 1", "m\t/x/a\t/y/a", "run", "run", "m\trelative\t/y/a", "x\t/a/b\t/c/b", "c\t/a/b\t/c/",
         "m\t/a/b\t/c/b\textra", "c\t/a/b\t/c/b"});
    QCOMPARE(runs.size(), 1);
    QCOMPARE(runs.first(), (SortRun{SortStep{"/a/b", "/c/b", SortOp::Copy}}));
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
            run << SortStep{src + n, r.newPath, SortOp::Move};
        }
        j.record(run);
        const FileOpResult r = FileOps::copy_into_folder(src + "c.jpg", dst);
        j.record({SortStep{src + "c.jpg", r.newPath, SortOp::Copy}});
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

QTEST_GUILESS_MAIN(TstSortCore)
#include "tst_sort_core.moc"
