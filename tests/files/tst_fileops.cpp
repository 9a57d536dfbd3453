// Copy, move, rename and delete never overwrite and never lose a file: collisions get a new
// name, a move across file systems removes its source only after a complete copy, a failing
// copy leaves the source, and a delete ends in a trash.
#include "files/file_helpers.h"
#include "files/file_ops.h"
#include "support/test_support.h"

#include "lang/texts.h"

#include <QProcess>
#include <QtTest>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace vorn;
using vorn::test::readFile;
using vorn::test::writeFile;

namespace
{

constexpr char kCopyAndHangArg[] = "--copy-and-hang";

// A folder on another file system than the temporary folder (tmpfs at /dev/shm), or none.
void hangAfterWrite(FileOpStage stage, const QString &)
{
    if (stage != FileOpStage::CopyWritten)
        return;
    test::signalAndHang("written");
}

// The helper mode of this executable: copies or moves argv[3] into argv[4] and stops for good
// once the data is written, waiting to be killed.
int copyAndHang(char *argv[])
{
    FileOps::set_hook(hangAfterWrite);
    const QString source = QString::fromLocal8Bit(argv[3]);
    const QString target = QString::fromLocal8Bit(argv[4]);
    const FileOpResult r = std::strcmp(argv[2], "move") == 0 ? FileOps::move_into_folder(source, target)
                                                             : FileOps::copy_into_folder(source, target);
    std::printf("finished %d\n", int(r.ok));
    return 1;
}

struct stat statOf(const QString &path)
{
    struct stat st {
    };
    stat(QFile::encodeName(path).constData(), &st);
    return st;
}

QByteArray pattern(qsizetype size, int seed)
{
    return vorn::test::noise(size, seed);
}

const QDateTime kOldTime(QDate(2003, 7, 14), QTime(12, 34, 57));

// A source file with known bytes, permissions and modification time.
void makeSource(const QString &path, const QByteArray &bytes)
{
    writeFile(path, bytes);
    chmod(QFile::encodeName(path).constData(), 0640);
    QVERIFY(set_modification_time(path, kOldTime));
}

void verifyCopyOf(const QString &copy, const QByteArray &bytes)
{
    QCOMPARE(readFile(copy), bytes);
    const struct stat st = statOf(copy);
    QCOMPARE(qint64(st.st_mtim.tv_sec), kOldTime.toSecsSinceEpoch());
    QCOMPARE(st.st_mode & 0777, mode_t(0640));
}

// Every entry of a folder, hidden ones included.
QStringList allEntries(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

} // namespace

namespace
{
// The two ways a file goes into a folder, chosen by a data column.
enum Op : int { OpMove = 1, OpCopy = 2 };
FileOpResult putInto(int op, const QString &source, const QString &folder)
{
    return op == OpCopy ? FileOps::copy_into_folder(source, folder)
                        : FileOps::move_into_folder(source, folder);
}
} // namespace

class TstFileOps : public QObject
{
    Q_OBJECT
  private slots:
    void initTestCase();
    void collisionName_data();
    void collisionName();
    void intoFolderNeverOverwrites_data();
    void intoFolderNeverOverwrites();
    void copyLargeAndEmptyFiles();
    void moveIntoOwnFolderChangesNothing();
    void failingMoveLeavesSource_data();
    void failingMoveLeavesSource();
    void moveAcrossFileSystems();
    void renameNeverReplaces();
    void deleteGoesToDesktopTrash();
    void deleteFallsBackToProgramTrash();
    void missingSourceFails();
    void moveKeepsSourceSavedOverDuringCopy();
    void killedCopyLeavesNoPartialFile_data();
    void killedCopyLeavesNoPartialFile();
    void pipeIsRefusedWithoutBlocking_data();
    void pipeIsRefusedWithoutBlocking();
    void linkMovedAcrossStaysLink();
    void batchAcrossWithOneFailure_data();
    void batchAcrossWithOneFailure();
    void batchMixesRenamesAndCopies();
    void batchAcrossWithFewDescriptors();

  private:
    QTemporaryDir home_;
};

void TstFileOps::initTestCase()
{
    // The desktop trash of the tests lives in a temporary home on the same file system as
    // the test files, so nothing reaches the user's trash or the root of a file system.
    QVERIFY(home_.isValid());
    qputenv("HOME", QFile::encodeName(home_.path()));
    qputenv("XDG_DATA_HOME", QFile::encodeName(home_.filePath("share")));
    QDir().mkpath(home_.filePath("share"));
}

void TstFileOps::collisionName_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("n");
    QTest::addColumn<QString>("result");
    QTest::newRow("first is unchanged") << "a.jpg" << 1 << "a.jpg";
    QTest::newRow("extension") << "a.jpg" << 2 << "a (2).jpg";
    QTest::newRow("last dot") << "a.tar.gz" << 3 << "a.tar (3).gz";
    QTest::newRow("no extension") << "README" << 2 << "README (2)";
    QTest::newRow("dot file") << ".profile" << 2 << ".profile (2)";
}

void TstFileOps::collisionName()
{
    QFETCH(QString, name);
    QFETCH(int, n);
    QFETCH(QString, result);
    QCOMPARE(FileOps::collision_name(name, n), result);
}

void TstFileOps::intoFolderNeverOverwrites_data()
{
    QTest::addColumn<int>("op");
    QTest::newRow("copy") << int(OpCopy);
    QTest::newRow("move") << int(OpMove);
}

void TstFileOps::intoFolderNeverOverwrites()
{
    QFETCH(int, op);
    QTemporaryDir dir;
    const QString target = dir.filePath("target/");
    writeFile(target + "a.jpg", "already there");
    writeFile(target + "a (2).jpg", "second one");
    const QByteArray bytes = pattern(100000, 1);
    makeSource(dir.filePath("src/a.jpg"), bytes);

    const FileOpResult r = putInto(op, dir.filePath("src/a.jpg"), target);
    QVERIFY2(r.ok, qPrintable(r.error));
    QCOMPARE(r.newPath, target + "a (3).jpg");
    verifyCopyOf(r.newPath, bytes);
    QCOMPARE(readFile(target + "a.jpg"), QByteArray("already there"));
    QCOMPARE(readFile(target + "a (2).jpg"), QByteArray("second one"));
    QCOMPARE(QFile::exists(dir.filePath("src/a.jpg")), op == OpCopy);
    if (op == OpCopy)
        QCOMPARE(readFile(dir.filePath("src/a.jpg")), bytes);
}

void TstFileOps::copyLargeAndEmptyFiles()
{
    QTemporaryDir dir;
    for (qsizetype size : {qsizetype(0), qsizetype(1), qsizetype(5 * 1024 * 1024 + 17)}) {
        const QString name = QStringLiteral("f%1.bin").arg(size);
        const QByteArray bytes = pattern(size, int(size));
        makeSource(dir.filePath("src/" + name), bytes);
        QDir().mkpath(dir.filePath("dst"));
        const FileOpResult r = FileOps::copy_into_folder(dir.filePath("src/" + name), dir.filePath("dst"));
        QVERIFY2(r.ok, qPrintable(r.error));
        verifyCopyOf(r.newPath, bytes);
    }
}

void TstFileOps::moveIntoOwnFolderChangesNothing()
{
    QTemporaryDir dir;
    writeFile(dir.filePath("a.jpg"), "x");
    const FileOpResult r = FileOps::move_into_folder(dir.filePath("a.jpg"), dir.path());
    QVERIFY(r.ok);
    QCOMPARE(r.newPath, dir.filePath("a.jpg"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"a.jpg"});
}

void TstFileOps::failingMoveLeavesSource_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<bool>("crossDevice");
    QTest::newRow("missing folder") << QString() << false;
    // /proc is another file system where no file can be created: the copy half of a move
    // across file systems fails there.
    QTest::newRow("copy to another file system fails") << "/proc/" << true;
    QTest::newRow("folder without write permission") << "ro" << false;
}

void TstFileOps::failingMoveLeavesSource()
{
    QFETCH(QString, target);
    QFETCH(bool, crossDevice);
    QTemporaryDir dir;
    const QString source = dir.filePath("src/a.jpg");
    const QByteArray bytes = pattern(70000, 3);
    makeSource(source, bytes);
    if (target.isEmpty()) {
        target = dir.filePath("missing/");
    } else if (target == "ro") {
        target = dir.filePath("ro/");
        QDir().mkpath(target);
        chmod(QFile::encodeName(target).constData(), 0555);
        if (access(QFile::encodeName(target).constData(), W_OK) == 0)
            QSKIP("running with rights that write into any folder: no read-only folder to try");
    }
    if (crossDevice && statOf(target).st_dev == statOf(source).st_dev)
        QSKIP("the target lies on the same file system here");

    const FileOpResult r = FileOps::move_into_folder(source, target);
    QVERIFY(!r.ok);
    QVERIFY(r.errorCode != 0);
    QVERIFY(!r.error.isEmpty());
    verifyCopyOf(source, bytes);
    QVERIFY(!QFile::exists(target + "a.jpg"));
}

void TstFileOps::moveAcrossFileSystems()
{
    if (!QFileInfo(QStringLiteral("/dev/shm")).isWritable())
        QSKIP("no tmpfs at /dev/shm: move across file systems not tried");
    QTemporaryDir shm(QStringLiteral("/dev/shm/vorn-test-XXXXXX"));
    QTemporaryDir dir;
    QVERIFY(shm.isValid());
    if (statOf(shm.path()).st_dev == statOf(dir.path()).st_dev)
        QSKIP("/dev/shm is on the same file system as the temporary folder: nothing to cross");

    const QByteArray bytes = pattern(3 * 1024 * 1024 + 5, 4);
    for (const auto &[from, to] : {std::pair{shm.path(), dir.path()}, std::pair{dir.path(), shm.path()}}) {
        const QString source = from + "/big.jpg";
        makeSource(source, bytes);
        writeFile(to + "/big.jpg", "taken");
        const FileOpResult r = FileOps::move_into_folder(source, to);
        QVERIFY2(r.ok, qPrintable(r.error));
        QCOMPARE(r.newPath, to + "/big (2).jpg");
        verifyCopyOf(r.newPath, bytes);
        QVERIFY(!QFile::exists(source));
        QCOMPARE(readFile(to + "/big.jpg"), QByteArray("taken"));
    }
}

void TstFileOps::renameNeverReplaces()
{
    QTemporaryDir dir;
    writeFile(dir.filePath("a.jpg"), "aaa");
    writeFile(dir.filePath("b.jpg"), "bbb");
    FileOpResult r = FileOps::rename_no_replace(dir.filePath("a.jpg"), dir.filePath("b.jpg"));
    QVERIFY(!r.ok);
    QCOMPARE(r.errorCode, EEXIST);
    QCOMPARE(readFile(dir.filePath("a.jpg")), QByteArray("aaa"));
    QCOMPARE(readFile(dir.filePath("b.jpg")), QByteArray("bbb"));

    r = FileOps::rename_no_replace(dir.filePath("a.jpg"), dir.filePath("c.jpg"));
    QVERIFY(r.ok);
    QVERIFY(!QFile::exists(dir.filePath("a.jpg")));
    QCOMPARE(readFile(dir.filePath("c.jpg")), QByteArray("aaa"));

    QVERIFY(!FileOps::rename_no_replace(dir.filePath("gone.jpg"), dir.filePath("d.jpg")).ok);
    QVERIFY(!FileOps::rename_no_replace(dir.filePath("c.jpg"), dir.filePath("d") + QChar(0) + "x").ok);
    QCOMPARE(readFile(dir.filePath("c.jpg")), QByteArray("aaa"));
}

void TstFileOps::deleteGoesToDesktopTrash()
{
    QTemporaryDir dir(home_.filePath("files-XXXXXX"));
    QTemporaryDir programDir;
    FileOps ops(programDir.filePath("trash/"));
    const QByteArray bytes = pattern(1000, 5);
    for (int i = 0; i < 2; ++i) { // the same name twice: both kept
        writeFile(dir.filePath("old.jpg"), bytes + char(i));
        const FileOpResult r = ops.delete_to_trash(dir.filePath("old.jpg"));
        QVERIFY2(r.ok, qPrintable(r.error));
        QVERIFY(!QFile::exists(dir.filePath("old.jpg")));
        QVERIFY2(r.newPath.startsWith(home_.filePath("share/Trash/files/")), qPrintable(r.newPath));
        QCOMPARE(readFile(r.newPath), bytes + char(i));
        const QString info =
            home_.filePath("share/Trash/info/") + QFileInfo(r.newPath).fileName() + ".trashinfo";
        const QByteArray expected = "Path=" + QUrl::toPercentEncoding(dir.filePath("old.jpg"), "/") + "\n";
        QVERIFY2(readFile(info).startsWith("[Trash Info]\n"), qPrintable(info));
        QVERIFY2(readFile(info).contains(expected), readFile(info).constData());
        QVERIFY(readFile(info).contains("\nDeletionDate=20"));
    }
    QCOMPARE(QDir(home_.filePath("share/Trash/files")).entryList(QDir::Files).size(), 2);
    QVERIFY(!QFileInfo::exists(programDir.filePath("trash")));
}

void TstFileOps::deleteFallsBackToProgramTrash()
{
    // A desktop trash that cannot be made (a folder inside /proc) takes nothing.
    const QByteArray saved = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", "/proc/vorn-no-such-folder");
    QTemporaryDir dir(home_.filePath("files-XXXXXX"));
    QTemporaryDir programDir;
    FileOps ops(programDir.filePath("trash/"));
    QList<QString> places;
    for (int i = 0; i < 2; ++i) {
        writeFile(dir.filePath("old.jpg"), QByteArray("version ") + char('0' + i));
        const FileOpResult r = ops.delete_to_trash(dir.filePath("old.jpg"));
        QVERIFY2(r.ok, qPrintable(r.error));
        QVERIFY(!QFile::exists(dir.filePath("old.jpg")));
        QCOMPARE(readFile(r.newPath), QByteArray("version ") + char('0' + i));
        places << r.newPath;
    }
    qputenv("XDG_DATA_HOME", saved);
    QCOMPARE(places, (QList<QString>{programDir.filePath("trash/old.jpg"),
                                     programDir.filePath("trash/old (2).jpg")}));

    // Without any trash the file stays.
    qputenv("XDG_DATA_HOME", "/proc/vorn-no-such-folder");
    writeFile(dir.filePath("keep.jpg"), "keep");
    FileOps noTrash;
    QVERIFY(!noTrash.delete_to_trash(dir.filePath("keep.jpg")).ok);
    qputenv("XDG_DATA_HOME", saved);
    QCOMPARE(readFile(dir.filePath("keep.jpg")), QByteArray("keep"));
}

void TstFileOps::missingSourceFails()
{
    QTemporaryDir dir;
    const FileOpResult r = FileOps::copy_into_folder(dir.filePath("missing.jpg"), dir.path());
    QVERIFY(!r.ok);
    QCOMPARE(r.errorCode, ENOENT);
}

// An editor saves over the source (a new file renamed over its name) while the move copies it
// to another file system: the new version must stay, and no copy of the old one is left.
void TstFileOps::moveKeepsSourceSavedOverDuringCopy()
{
    QTemporaryDir dir;
    const auto other = test::otherFileSystem(dir);
    if (!other)
        QSKIP("no second file system at /dev/shm: move across file systems not tried");
    const QString source = dir.filePath("doc.txt");
    makeSource(source, "old version");
    static QString savedOver;
    savedOver = source;
    FileOps::set_hook([](FileOpStage stage, const QString &) {
        if (stage != FileOpStage::CopyWritten)
            return;
        writeFile(savedOver + ".new", "new version");
        QVERIFY(::rename(QFile::encodeName(savedOver + ".new").constData(),
                         QFile::encodeName(savedOver).constData()) == 0);
    });
    const FileOpResult r = FileOps::move_into_folder(source, other->path());
    FileOps::set_hook(nullptr);
    QVERIFY(!r.ok);
    QCOMPARE(r.reason, std::optional<Msg>(Msg::SourceChanged));
    QCOMPARE(r.errorText(German), Texts::msg(Msg::SourceChanged, German));
    QCOMPARE(readFile(source), QByteArray("new version"));
    QCOMPARE(allEntries(other->path()), QStringList());
}

// A copy killed after its data is written, before it has its name: the target folder shows no
// file by that name (a user could take it for a whole copy), and a move keeps its source.
void TstFileOps::killedCopyLeavesNoPartialFile_data()
{
    QTest::addColumn<QString>("op");
    QTest::addColumn<bool>("acrossFileSystems");
    QTest::newRow("copy") << "copy" << false;
    QTest::newRow("move to another file system") << "move" << true;
}

void TstFileOps::killedCopyLeavesNoPartialFile()
{
    QFETCH(QString, op);
    QFETCH(bool, acrossFileSystems);
    QTemporaryDir dir;
    std::unique_ptr<QTemporaryDir> other = test::otherFileSystem(dir);
    if (acrossFileSystems && !other)
        QSKIP("no second file system at /dev/shm: move across file systems not tried");
    const QString target = acrossFileSystems ? other->path() : dir.filePath("target");
    QDir().mkpath(target);
    const QByteArray bytes = pattern(2 * 1024 * 1024, 9);
    makeSource(dir.filePath("video.mp4"), bytes);

    test::runHelperAndKill({kCopyAndHangArg, op, dir.filePath("video.mp4"), target}, "written");
    if (QTest::currentTestFailed())
        return;
    // Only hidden leftovers may remain; the visible names are free.
    for (const QString &name : allEntries(target))
        QVERIFY2(name.startsWith('.'), qPrintable(name));
    QCOMPARE(readFile(dir.filePath("video.mp4")), bytes);
}

void TstFileOps::pipeIsRefusedWithoutBlocking_data()
{
    QTest::addColumn<int>("op");
    QTest::newRow("copy") << int(OpCopy);
    QTest::newRow("move to another file system") << int(OpMove);
}

// A named pipe put in place of a listed file: the copy must fail at once with its reason
// instead of waiting for a writer forever.
void TstFileOps::pipeIsRefusedWithoutBlocking()
{
    QFETCH(int, op);
    QTemporaryDir dir;
    const auto other = test::otherFileSystem(dir);
    if (op == OpMove && !other)
        QSKIP("no second file system at /dev/shm: move across file systems not tried");
    const QString target = other ? other->path() : dir.filePath("target");
    QDir().mkpath(target);
    const QString fifo = dir.filePath("a.jpg");
    QCOMPARE(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const FileOpResult r = putInto(op, fifo, target);
    QVERIFY(!r.ok);
    QCOMPARE(r.reason, std::optional<Msg>(Msg::NotRegularFile));
    QVERIFY(r.errorCode != 0);
    QCOMPARE(allEntries(target), QStringList());
    QVERIFY(S_ISFIFO(statOf(fifo).st_mode));
}

// A symbolic link moved to another file system is the same link there, not a copy of what it
// points to.
void TstFileOps::linkMovedAcrossStaysLink()
{
    QTemporaryDir dir;
    const auto other = test::otherFileSystem(dir);
    if (!other)
        QSKIP("no second file system at /dev/shm: move across file systems not tried");
    writeFile(dir.filePath("real.jpg"), "picture");
    QCOMPARE(symlink("real.jpg", QFile::encodeName(dir.filePath("link.jpg")).constData()), 0);
    writeFile(other->filePath("link.jpg"), "taken");
    const FileOpResult r = FileOps::move_into_folder(dir.filePath("link.jpg"), other->path());
    QVERIFY2(r.ok, qPrintable(r.error));
    QCOMPARE(r.newPath, other->filePath("link (2).jpg"));
    QCOMPARE(QFileInfo(r.newPath).symLinkTarget(), other->filePath("real.jpg"));
    QVERIFY(!QFileInfo(dir.filePath("link.jpg")).isSymLink());
    QVERIFY(!QFileInfo::exists(dir.filePath("link.jpg")));
    QCOMPARE(readFile(dir.filePath("real.jpg")), QByteArray("picture"));
    QCOMPARE(readFile(other->filePath("link.jpg")), QByteArray("taken"));
    QCOMPARE(r.identity, identity_of_path(r.newPath));
}

// Moves many files to another file system in one batch while one of them fails (or the batch
// is stopped inside it): every other file is moved whole with its times and permissions, a
// source is gone only where its copy is complete, the failed file and (when stopped) the ones
// after it stay untouched with no copy left, and a file already in the target stays.
void TstFileOps::batchAcrossWithOneFailure_data()
{
    QTest::addColumn<QString>("failure");
    QTest::newRow("pipe in place of a file") << "pipe";
    QTest::newRow("source grows during its copy") << "grows";
    QTest::newRow("source saved over before removal") << "saved over";
    QTest::newRow("stopped inside a copy") << "stopped";
}

void TstFileOps::batchAcrossWithOneFailure()
{
    QFETCH(QString, failure);
    QTemporaryDir dir;
    const auto other = test::otherFileSystem(dir);
    if (!other)
        QSKIP("no second file system at /dev/shm: move across file systems not tried");
    constexpr int kFiles = 7;
    constexpr int kFailing = 3;
    QStringList sources;
    QList<QByteArray> bytes;
    for (int i = 0; i < kFiles; ++i) {
        sources << dir.filePath(QStringLiteral("src/%1.jpg").arg(i));
        bytes << pattern(i == kFailing ? 3 * 1024 * 1024 : 1000 + 7000 * i, 20 + i);
        QDir().mkpath(dir.filePath("src"));
        if (i == kFailing && failure == "pipe")
            QCOMPARE(mkfifo(QFile::encodeName(sources[i]).constData(), 0600), 0);
        else
            makeSource(sources[i], bytes[i]);
    }
    writeFile(other->filePath("1.jpg"), "taken");

    static QString failing;
    static QString mode;
    failing = sources[kFailing];
    mode = failure;
    FileOps::set_hook([](FileOpStage stage, const QString &source) {
        if (source != failing)
            return;
        if (mode == "grows" && stage == FileOpStage::DataCopied) {
            QFile f(source);
            QVERIFY(f.open(QIODevice::Append));
            f.write("more");
        } else if (mode == "saved over" && stage == FileOpStage::BeforeSourceRemoved) {
            writeFile(source + ".new", "new version");
            QVERIFY(::rename(QFile::encodeName(source + ".new").constData(),
                             QFile::encodeName(source).constData()) == 0);
        }
    });
    QList<std::optional<FileOpResult>> results(kFiles);
    MoveBatchCalls calls;
    calls.done = [&results](qsizetype i, const FileOpResult &r) {
        QVERIFY(!results[i]);
        results[i] = r;
    };
    // Progress is asked for so that a copy is written in slices and can be stopped.
    calls.progress = [](qsizetype i, qint64, qint64) { return !(mode == "stopped" && i == kFailing); };
    const qsizetype handled = FileOps::move_all_into_folder(sources, other->path(), calls);
    FileOps::set_hook(nullptr);

    QCOMPARE(handled, failure == "stopped" ? qsizetype(kFailing) : qsizetype(kFiles));
    QCOMPARE(readFile(other->filePath("1.jpg")), QByteArray("taken"));
    for (int i = 0; i < kFiles; ++i) {
        const QString name = QStringLiteral("%1.jpg").arg(i);
        if (i < handled && i != kFailing) {
            QVERIFY(results[i]);
            QVERIFY2(results[i]->ok, qPrintable(results[i]->error));
            QCOMPARE(results[i]->newPath, other->filePath(i == 1 ? "1 (2).jpg" : name));
            verifyCopyOf(results[i]->newPath, bytes[i]);
            QCOMPARE(results[i]->identity, identity_of_path(results[i]->newPath));
            QVERIFY(!QFileInfo::exists(sources[i]));
            continue;
        }
        QCOMPARE(bool(results[i]), i < handled);
        if (results[i]) {
            QVERIFY(!results[i]->ok);
            QVERIFY(!results[i]->errorText(German).isEmpty());
        }
        QVERIFY(!QFileInfo::exists(other->filePath(name)));
        if (i == kFailing && failure == "pipe")
            QVERIFY(S_ISFIFO(statOf(sources[i]).st_mode));
        else if (i == kFailing && failure == "grows")
            QCOMPARE(readFile(sources[i]), bytes[i] + "more");
        else if (i == kFailing && failure == "saved over")
            QCOMPARE(readFile(sources[i]), QByteArray("new version"));
        else
            verifyCopyOf(sources[i], bytes[i]);
    }
    // Nothing half-made is left in the target.
    for (const QString &name : allEntries(other->path()))
        QVERIFY2(!name.startsWith('.'), qPrintable(name));
}

// One batch with sources in the target itself, on the same file system (from two folders,
// taking turns) and on another one, and a missing file: each outcome belongs to its source.
void TstFileOps::batchMixesRenamesAndCopies()
{
    QTemporaryDir dir;
    const auto other = test::otherFileSystem(dir);
    const QString target = dir.filePath("target/");
    writeFile(target + "in.jpg", "already there");
    writeFile(target + "a.jpg", "taken");
    writeFile(dir.filePath("x/a.jpg"), "xa");
    writeFile(dir.filePath("y/b.jpg"), "yb");
    writeFile(dir.filePath("x/c.jpg"), "xc");
    QStringList sources{dir.filePath("x/a.jpg"), target + "in.jpg", dir.filePath("y/b.jpg"),
                        dir.filePath("x/c.jpg"), dir.filePath("x/gone.jpg")};
    if (other) {
        writeFile(other->filePath("d.jpg"), "shm");
        sources << other->filePath("d.jpg");
    }
    QList<FileOpResult> results(sources.size());
    MoveBatchCalls calls;
    calls.done = [&results](qsizetype i, const FileOpResult &r) { results[i] = r; };
    QCOMPARE(FileOps::move_all_into_folder(sources, target, calls), sources.size());

    const QStringList newNames{"a (2).jpg", "in.jpg", "b.jpg", "c.jpg", "", "d.jpg"};
    const QList<QByteArray> contents{"xa", "already there", "yb", "xc", "", "shm"};
    for (qsizetype i = 0; i < sources.size(); ++i) {
        if (newNames[i].isEmpty()) {
            QVERIFY(!results[i].ok);
            QCOMPARE(results[i].errorCode, ENOENT);
            continue;
        }
        QVERIFY2(results[i].ok, qPrintable(results[i].error));
        QCOMPARE(results[i].newPath, target + newNames[i]);
        QCOMPARE(readFile(results[i].newPath), contents[i]);
        if (i != 1) {
            QVERIFY(!QFileInfo::exists(sources[i]));
            QCOMPARE(results[i].identity, identity_of_path(results[i].newPath));
        }
    }
    QCOMPARE(readFile(target + "a.jpg"), QByteArray("taken"));
}

// A batch across file systems larger than the descriptors the process may still open: the
// waiting copies are finished early instead of failing the files after them.
void TstFileOps::batchAcrossWithFewDescriptors()
{
    QTemporaryDir dir;
    const auto other = test::otherFileSystem(dir);
    if (!other)
        QSKIP("no second file system at /dev/shm: move across file systems not tried");
    QStringList sources;
    for (int i = 0; i < 60; ++i) {
        sources << dir.filePath(QStringLiteral("%1.jpg").arg(i));
        writeFile(sources.last(), QByteArray::number(i));
    }
    struct rlimit saved {
    };
    QCOMPARE(getrlimit(RLIMIT_NOFILE, &saved), 0);
    struct rlimit few = saved;
    few.rlim_cur =
        rlim_t(QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files | QDir::System).size() + 24);
    QCOMPARE(setrlimit(RLIMIT_NOFILE, &few), 0);
    int moved = 0;
    MoveBatchCalls calls;
    calls.done = [&moved](qsizetype, const FileOpResult &r) {
        QVERIFY2(r.ok, qPrintable(r.error));
        ++moved;
    };
    FileOps::move_all_into_folder(sources, other->path(), calls);
    setrlimit(RLIMIT_NOFILE, &saved);
    QCOMPARE(moved, 60);
    for (int i = 0; i < 60; ++i)
        QCOMPARE(readFile(other->filePath(QStringLiteral("%1.jpg").arg(i))), QByteArray::number(i));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList());
}

int main(int argc, char *argv[])
{
    if (argc == 5 && std::strcmp(argv[1], kCopyAndHangArg) == 0)
        return copyAndHang(argv);
    QCoreApplication app(argc, argv);
    TstFileOps test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "tst_fileops.moc"
