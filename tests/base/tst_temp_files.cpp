// The program's working files: a process killed with SIGKILL in the middle of writing leaves
// nothing that the next start keeps, and the user's file beside it stays as it was.
#include "base/temp_files.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace vorn;

class TstTempFiles : public QObject
{
    Q_OBJECT
  private slots:
    void killedWriterLeavesNothing_data();
    void killedWriterLeavesNothing();
    void runningOwnerKeepsItsFiles();
    void publishNeverReplacesUnlessAsked_data();
    void publishNeverReplacesUnlessAsked();
};

namespace
{

QStringList entriesOf(const QString &dir)
{
    return QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

// Forks a child that starts a working file (or staging folder) in `dir`, writes to it, tells
// the parent through a pipe and then waits; the parent kills it with SIGKILL.
void killChildMidWrite(const QString &dir, int kind)
{
    int gate[2];
    QVERIFY(pipe(gate) == 0);
    const QByteArray folder = QFile::encodeName(dir);
    const pid_t child = fork();
    QVERIFY(child >= 0);
    if (child == 0) {
        // only async-signal-safe work and our own POSIX calls from here on
        ::close(gate[0]);
        const int dfd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY);
        if (kind == 2) {
            const QString staging = make_temp_dir(dir);
            QFile f(staging + QStringLiteral("/1.htm"));
            (void)f.open(QIODevice::WriteOnly);
            (void)f.write("half");
            f.flush();
        } else {
            TempFile t = open_temp_file(dfd, 0644, kind == 0);
            char block[65536] = {};
            for (int i = 0; i < 100; ++i)
                (void)!write(t.fd, block, sizeof block);
        }
        (void)!write(gate[1], "x", 1);
        for (;;)
            pause();
    }
    ::close(gate[1]);
    char c = 0;
    QCOMPARE(read(gate[0], &c, 1), ssize_t(1));
    ::close(gate[0]);
    QCOMPARE(::kill(child, SIGKILL), 0);
    int status = 0;
    QCOMPARE(waitpid(child, &status, 0), child);
    QVERIFY(WIFSIGNALED(status));
}

} // namespace

void TstTempFiles::killedWriterLeavesNothing_data()
{
    QTest::addColumn<int>("kind");
    QTest::newRow("unnamed file") << 0;
    QTest::newRow("named file (no O_TMPFILE)") << 1;
    QTest::newRow("staging folder") << 2;
}

void TstTempFiles::killedWriterLeavesNothing()
{
    QFETCH(int, kind);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString archive = dir.filePath(QStringLiteral("user.zip"));
    {
        QFile f(archive);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("PK user bytes");
    }
    killChildMidWrite(dir.path(), kind);
    if (QTest::currentTestFailed())
        return;
    remove_stale_temp_files(dir.path()); // what the next start does
    QCOMPARE(entriesOf(dir.path()), QStringList{QStringLiteral("user.zip")});
    QFile f(archive);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), QByteArray("PK user bytes"));
}

void TstTempFiles::runningOwnerKeepsItsFiles()
{
    // the files of a running instance (here: this process) are not touched
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString staging = make_temp_dir(dir.path());
    QVERIFY(!staging.isEmpty());
    const int dfd = ::open(QFile::encodeName(dir.path()).constData(), O_RDONLY | O_DIRECTORY);
    TempFile named = open_temp_file(dfd, 0644, false);
    QVERIFY(named.fd >= 0);
    QVERIFY(!named.name.isEmpty());
    QCOMPARE(remove_stale_temp_files(dir.path()), 0);
    QCOMPARE(entriesOf(dir.path()).size(), 2);
    discard_temp_file(named, dfd);
    ::close(dfd);
    QCOMPARE(entriesOf(dir.path()).size(), 1);
}

void TstTempFiles::publishNeverReplacesUnlessAsked_data()
{
    QTest::addColumn<bool>("unnamed");
    QTest::addColumn<bool>("replace");
    QTest::newRow("unnamed, keep") << true << false;
    QTest::newRow("unnamed, replace") << true << true;
    QTest::newRow("named, keep") << false << false;
    QTest::newRow("named, replace") << false << true;
}

void TstTempFiles::publishNeverReplacesUnlessAsked()
{
    QFETCH(bool, unnamed);
    QFETCH(bool, replace);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const int dfd = ::open(QFile::encodeName(dir.path()).constData(), O_RDONLY | O_DIRECTORY);
    TempFile fresh = open_temp_file(dfd, 0644, unnamed);
    QVERIFY(fresh.fd >= 0);
    QCOMPARE(write(fresh.fd, "new", 3), ssize_t(3));
    QCOMPARE(publish_temp_file(fresh, dfd, "a.bin"), 0);
    TempFile second = open_temp_file(dfd, 0644, unnamed);
    QCOMPARE(write(second.fd, "second", 6), ssize_t(6));
    const int err = publish_temp_file(second, dfd, "a.bin", replace);
    QCOMPARE(err, replace ? 0 : EEXIST);
    discard_temp_file(fresh, dfd);
    discard_temp_file(second, dfd);
    ::close(dfd);
    QCOMPARE(entriesOf(dir.path()), QStringList{QStringLiteral("a.bin")});
    QFile f(dir.filePath(QStringLiteral("a.bin")));
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), replace ? QByteArray("second") : QByteArray("new"));
}

QTEST_GUILESS_MAIN(TstTempFiles)
#include "tst_temp_files.moc"
