// The one atomic rewrite: the target holds exactly the new bytes, keeps its permissions, no
// temporary file stays behind, names that are not UTF-8 are written, and a failed write leaves
// the old file untouched.
#include "base/text_file.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace vorn;

namespace
{

QByteArray read_native(const QByteArray &path)
{
    QByteArray out;
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return "<missing>";
    char buf[4096];
    ssize_t n;
    while ((n = ::read(fd, buf, sizeof buf)) > 0)
        out.append(buf, n);
    ::close(fd);
    return out;
}

} // namespace

class TstAtomicWrite : public QObject
{
    Q_OBJECT
  private slots:
    void replacesAndKeepsMode();
    void nativeNameAndNewMode();
    void failureKeepsOldFile();
};

void TstAtomicWrite::replacesAndKeepsMode()
{
    QTemporaryDir dir;
    const QByteArray path = QFile::encodeName(dir.path()) + "/page.htm";
    QVERIFY(write_file_atomic(path, "old"));
    QCOMPARE(::chmod(path.constData(), 0640), 0);
    QString error;
    QVERIFY2(write_file_atomic(path, "new bytes\r\n", &error), qPrintable(error));
    QCOMPARE(read_native(path), QByteArray("new bytes\r\n"));
    struct stat st {
    };
    QCOMPARE(::stat(path.constData(), &st), 0);
    QCOMPARE(int(st.st_mode & 07777), 0640);
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList{QStringLiteral("page.htm")});
}

void TstAtomicWrite::nativeNameAndNewMode()
{
    QTemporaryDir dir;
    const QByteArray path = QFile::encodeName(dir.path()) + "/latin1_\xe9.jnl";
    QVERIFY(write_file_atomic(path, "x", nullptr, 0600));
    QCOMPARE(read_native(path), QByteArray("x"));
    struct stat st {
    };
    QCOMPARE(::stat(path.constData(), &st), 0);
    QCOMPARE(int(st.st_mode & 0077), 0);
    // The look-alike UTF-8 name is a different file and stays absent.
    QCOMPARE(read_native(QFile::encodeName(dir.path()) + "/latin1_\xc3\xa9.jnl"), QByteArray("<missing>"));
    ::unlink(path.constData());
}

void TstAtomicWrite::failureKeepsOldFile()
{
    QTemporaryDir dir;
    const QByteArray folder = QFile::encodeName(dir.path());
    // A folder in the target's place is refused, not replaced; a missing folder is an error.
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("sub")));
    QString error;
    QVERIFY(!write_file_atomic(folder + "/sub", "x", &error));
    QVERIFY(!error.isEmpty());
    QVERIFY(QFileInfo(dir.path() + QStringLiteral("/sub")).isDir());
    QVERIFY(!write_file_atomic(folder + "/missing/file.txt", "x"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList{QStringLiteral("sub")});
    if (::geteuid() == 0)
        return; // root writes into read-only folders
    const QByteArray path = folder + "/keep.txt";
    QVERIFY(write_file_atomic(path, "old"));
    QCOMPARE(::chmod(folder.constData(), 0500), 0);
    QVERIFY(!write_file_atomic(path, "new"));
    ::chmod(folder.constData(), 0700);
    QCOMPARE(read_native(path), QByteArray("old"));
}

QTEST_GUILESS_MAIN(TstAtomicWrite)
#include "tst_atomic_write.moc"
