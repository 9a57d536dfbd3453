// The tree scanner's walk order, what it enters and lists, and the cancel rules of a search.
#include "files/tree_scan_job.h"
#include "files/tree_scanner.h"

#include <QtTest>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

using namespace vorn;

class TstTreeScanner : public QObject
{
    Q_OBJECT
  private slots:
    void init();
    void eventOrder();
    void patternsInOrder();
    void hiddenAndSpecialEntries();
    void systemFlaggedFolderNotEntered();
    void notRecursive();
    void stopKeepsCurrentFolder();
    void cancelAnsweredNo();
    void cancelAnsweredYes();
    void cancelWithoutFurtherFileRunsToEnd();
    void questionRunsEventLoop();

  private:
    QStringList runJob(const QStringList &patterns, TreeScanJob &job, bool *stopped = nullptr);
    QString rel(const QString &path) const { return path.mid(root_.size()); }
    void touch(const QString &relPath, const QByteArray &bytes = "x");

    QTemporaryDir dir_;
    QString root_;
};

void TstTreeScanner::touch(const QString &relPath, const QByteArray &bytes)
{
    const QString path = root_ + relPath;
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

// root/ .hidden.jpg a.jpg b.JPG c.gif notes.txt Ärger.jpg
//   alpha/ x.jpg y.gif          Beta/ deep/ z.jpg, w.GIF
//   .secret/ s.jpg              gamma/ (empty)
void TstTreeScanner::init()
{
    QVERIFY(dir_.isValid());
    root_ = dir_.path() + "/t" + QString::number(QRandomGenerator::global()->generate()) + "/";
    touch(".hidden.jpg");
    touch("a.jpg", "abc");
    touch("b.JPG");
    touch("c.gif");
    touch("notes.txt");
    touch(QString::fromUtf8("Ärger.jpg"));
    touch("alpha/x.jpg");
    touch("alpha/y.gif");
    touch("Beta/deep/z.jpg");
    touch("Beta/deep/w.GIF");
    touch(".secret/s.jpg");
    QVERIFY(QDir().mkpath(root_ + "gamma"));
}

void TstTreeScanner::eventOrder()
{
    TTreeScanner ts;
    QStringList events;
    qint64 sizeOfA = -1;
    ts.OnDirectoryFound = [&](TTreeScanner &s) {
        QCOMPARE(s.FileSize(), 0);
        events << "D " + rel(s.FileFound());
    };
    ts.OnDirectoryDone = [&](TTreeScanner &s) { events << "E " + rel(s.FileFound()); };
    ts.OnFileFound = [&](TTreeScanner &s) {
        events << "F " + rel(s.FileFound());
        if (s.FileFound().endsWith("/a.jpg"))
            sizeOfA = s.FileSize();
    };
    ts.setInitialDirectory(root_ + "//"); // trailing separators are reduced to one
    ts.setFileMask("*.JPG");
    QVERIFY(!ts.SearchInProgress());
    ts.search();
    QVERIFY(!ts.SearchInProgress());
    const QStringList expected{"D ",
                               "F .hidden.jpg",
                               "F a.jpg",
                               "F b.JPG",
                               QString::fromUtf8("F Ärger.jpg"),
                               "D alpha/",
                               "F alpha/x.jpg",
                               "E alpha/",
                               "D Beta/",
                               "D Beta/deep/",
                               "F Beta/deep/z.jpg",
                               "E Beta/deep/",
                               "E Beta/",
                               "D gamma/",
                               "E gamma/",
                               "E "};
    QCOMPARE(events, expected);
    QCOMPARE(sizeOfA, 3);
}

QStringList TstTreeScanner::runJob(const QStringList &patterns, TreeScanJob &job, bool *stopped)
{
    QStringList found;
    connect(&job, &TreeScanJob::filesAdded, this, [&](const QStringList &paths) {
        for (const QString &p : paths)
            found << rel(p);
    });
    QSignalSpy done(&job, &TreeScanJob::finished);
    if (!job.isRunning())
        job.start(root_, patterns);
    if (!done.wait(10000))
        return {"timeout"};
    if (stopped)
        *stopped = done.at(0).at(0).toBool();
    return found;
}

void TstTreeScanner::patternsInOrder()
{
    TreeScanJob job;
    const QStringList found = runJob({"*.jpg", "*.gif"}, job);
    QCOMPARE(found,
             (QStringList{".hidden.jpg", "a.jpg", "b.JPG", QString::fromUtf8("Ärger.jpg"), "alpha/x.jpg",
                          "Beta/deep/z.jpg", "c.gif", "alpha/y.gif", "Beta/deep/w.GIF"}));
    QCOMPARE(job.foundCount(), found.size());
    QVERIFY(!job.isRunning());
}

void TstTreeScanner::hiddenAndSpecialEntries()
{
    // A link to a folder is not entered; a link to a file counts as that file; a fifo is no file.
    QVERIFY(::symlink((root_ + "alpha").toUtf8().constData(), (root_ + "link").toUtf8().constData()) == 0);
    QVERIFY(::symlink((root_ + "a.jpg").toUtf8().constData(), (root_ + "l.jpg").toUtf8().constData()) == 0);
    QVERIFY(::symlink("/nonexistent", (root_ + "broken.jpg").toUtf8().constData()) == 0);
    QVERIFY(::mkfifo((root_ + "pipe.jpg").toUtf8().constData(), 0600) == 0);
    TTreeScanner ts;
    QStringList files;
    QStringList dirs;
    ts.OnFileFound = [&](TTreeScanner &s) { files << rel(s.FileFound()); };
    ts.OnDirectoryFound = [&](TTreeScanner &s) { dirs << rel(s.FileFound()); };
    ts.setInitialDirectory(root_);
    ts.setFileMask("*.jpg");
    ts.search();
    QVERIFY(files.contains(".hidden.jpg"));
    QVERIFY(files.contains("l.jpg"));
    QVERIFY(!files.contains("broken.jpg"));
    QVERIFY(!files.contains("pipe.jpg"));
    QVERIFY(!files.contains(".secret/s.jpg"));
    QCOMPARE(dirs, (QStringList{"", "alpha/", "Beta/", "Beta/deep/", "gamma/"}));
}

void TstTreeScanner::systemFlaggedFolderNotEntered()
{
    const QByteArray value("0x4");
    if (::setxattr((root_ + "alpha").toUtf8().constData(), "user.DOSATTRIB", value.constData(), value.size(),
                   0) != 0)
        QSKIP("no user extended attributes here");
    const QByteArray hidden("0x22");
    QCOMPARE(::setxattr((root_ + "Beta/deep").toUtf8().constData(), "user.DOSATTRIB", hidden.constData(),
                        hidden.size(), 0),
             0);
    TreeScanJob job;
    QCOMPARE(runJob({"*.jpg"}, job),
             (QStringList{".hidden.jpg", "a.jpg", "b.JPG", QString::fromUtf8("Ärger.jpg")}));
}

void TstTreeScanner::notRecursive()
{
    TTreeScanner ts;
    QStringList events;
    ts.OnDirectoryFound = [&](TTreeScanner &s) { events << "D " + rel(s.FileFound()); };
    ts.OnFileFound = [&](TTreeScanner &s) { events << "F " + rel(s.FileFound()); };
    ts.setInitialDirectory(root_);
    ts.setRecursive(false);
    ts.setFileMask("*.gif");
    ts.search();
    QCOMPARE(events, (QStringList{"D ", "F c.gif", "D alpha/", "D Beta/", "D gamma/"}));
}

// A stop takes effect at the next folder: the current folder's files are still reported.
void TstTreeScanner::stopKeepsCurrentFolder()
{
    TTreeScanner ts;
    QStringList files;
    ts.OnFileFound = [&](TTreeScanner &s) {
        files << rel(s.FileFound());
        s.stop();
    };
    ts.setInitialDirectory(root_);
    ts.setFileMask("*.jpg");
    ts.search();
    QCOMPARE(files, (QStringList{".hidden.jpg", "a.jpg", "b.JPG", QString::fromUtf8("Ärger.jpg")}));
    QVERIFY(!ts.continues());
}

// The first file that arrives after the cancel mark is the file in hand.
void TstTreeScanner::cancelAnsweredNo()
{
    TreeScanJob job;
    int asked = 0;
    job.confirmCancel = [&] {
        ++asked;
        return false;
    };
    job.start(root_, {"*.jpg", "*.gif"});
    job.requestCancel();
    const QStringList found = runJob({}, job);
    QCOMPARE(asked, 1);
    QCOMPARE(found, (QStringList{"a.jpg", "b.JPG", QString::fromUtf8("Ärger.jpg"), "alpha/x.jpg",
                                 "Beta/deep/z.jpg", "c.gif", "alpha/y.gif", "Beta/deep/w.GIF"}));
    QVERIFY(!job.cancelRequested());
}

void TstTreeScanner::cancelAnsweredYes()
{
    TreeScanJob job;
    int asked = 0;
    job.confirmCancel = [&] {
        ++asked;
        return true;
    };
    job.start(root_, {"*.jpg", "*.gif"});
    job.requestCancel();
    bool stopped = false;
    QCOMPARE(runJob({}, job, &stopped), QStringList());
    QVERIFY(stopped);
    QCOMPARE(asked, 1); // the following pattern does not ask again
}

void TstTreeScanner::cancelWithoutFurtherFileRunsToEnd()
{
    TreeScanJob job;
    bool asked = false;
    job.confirmCancel = [&] { return asked = true; };
    bool stopped = true;
    connect(&job, &TreeScanJob::filesAdded, &job, [&] { job.requestCancel(); });
    root_ += "alpha/"; // one folder: all files come in one batch
    QCOMPARE(runJob({"*.jpg"}, job, &stopped), QStringList{"x.jpg"});
    QVERIFY(!asked);
    QVERIFY(!stopped);
}

// A modal question runs an event loop; batches arriving meanwhile wait for the answer and
// keep their order.
void TstTreeScanner::questionRunsEventLoop()
{
    for (int i = 0; i < 30; ++i)
        touch(QStringLiteral("many/d%1/f.jpg").arg(i, 2, 10, QLatin1Char('0')));
    TreeScanJob job;
    job.confirmCancel = [&] {
        QTest::qWait(100);
        return false;
    };
    job.start(root_ + "many", {"*.jpg"});
    job.requestCancel();
    QStringList found;
    connect(&job, &TreeScanJob::filesAdded, this, [&](const QStringList &paths) { found << paths; });
    QSignalSpy done(&job, &TreeScanJob::finished);
    QVERIFY(done.wait(10000));
    QCOMPARE(found.size(), 29);
    for (int i = 1; i < 30; ++i)
        QVERIFY(found[i - 1].endsWith(QStringLiteral("d%1/f.jpg").arg(i, 2, 10, QLatin1Char('0'))));
}

QTEST_GUILESS_MAIN(TstTreeScanner)
#include "tst_tree_scanner.moc"
