// The folder packer: the record format byte for byte, round trips, the checks and error codes,
// and hostile packed files that must never write outside the target or over a file.
#include "archives/folder_packer.h"
#include "lang/texts.h"
#include "support/test_support.h"

#include <QBuffer>
#include <QDirIterator>
#include <QTemporaryFile>
#include <QtTest>

#include <sys/stat.h>

using namespace vorn;
using vorn::test::readFile;
using vorn::test::writeFile;

namespace
{

QByteArray bytes(int n, char seed = 'a')
{
    QByteArray b(n, Qt::Uninitialized);
    for (int i = 0; i < n; ++i)
        b[i] = char(seed + i % 23);
    return b;
}

// Every case runs twice: through memory buffers, and through files as the window packs and
// unpacks (read and written by descriptor, contents copied by the kernel).
bool viaFiles = false;

QByteArray packToBytes(const QString &folder, int *code = nullptr)
{
    int c = PackOk;
    QByteArray out;
    if (viaFiles) {
        QTemporaryFile file;
        if (!file.open())
            qFatal("no temporary file");
        c = pack_folder(folder, file);
        file.flush();
        file.seek(0);
        out = file.readAll();
    } else {
        QBuffer buf;
        buf.open(QIODevice::WriteOnly);
        c = pack_folder(folder, buf);
        out = buf.data();
    }
    if (code)
        *code = c;
    return out;
}

int unpackBytes(const QByteArray &packed, const QString &target)
{
    if (viaFiles) {
        QTemporaryFile file;
        if (!file.open() || file.write(packed) != packed.size() || !file.flush())
            qFatal("no temporary file");
        QFile in(file.fileName());
        if (!in.open(QIODevice::ReadOnly))
            qFatal("cannot read the temporary file");
        return unpack_folder(in, target, packed.size());
    }
    QByteArray copy = packed;
    QBuffer buf(&copy);
    buf.open(QIODevice::ReadOnly);
    return unpack_folder(buf, target, packed.size());
}

// Every file below `dir` with its bytes, keyed by its relative path; folders end with "/".
QMap<QString, QByteArray> tree(const QString &dir)
{
    QMap<QString, QByteArray> out;
    QDirIterator it(dir, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString p = it.next();
        const QString rel = QDir(dir).relativeFilePath(p);
        if (it.fileInfo().isDir())
            out.insert(rel + QLatin1Char('/'), {});
        else
            out.insert(rel, readFile(p));
    }
    return out;
}

QByteArray rec(const char *head, const QByteArray &name, const char *size = nullptr,
               const QByteArray &data = {})
{
    QByteArray r = QByteArray(head) + name;
    if (size)
        r += QByteArray(size) + data;
    return r;
}

} // namespace

class TestFolderPacker : public QObject
{
    Q_OBJECT
  private slots:
    void examplePacksByteForByte();
    void emptyFolderIsTheRootRecordOnly();
    void roundTrip_data();
    void roundTrip();
    void cutFileEndsWithSizeMismatch();
    void hostileFilesAreRefused_data();
    void hostileFilesAreRefused();
    void unpackNeverReplacesAFile();
    void unpackRefusesAFolderThatIsALink();
    void longNameIsNotPacked();
    void pipeInTheFolderIsLeftOut();
    void executeChecks_data();
    void executeChecks();
    void failedPackKeepsTheOldFile();
    void executeRoundTripReportsProgress();
    void everyCodeHasAMessage();
};

void TestFolderPacker::examplePacksByteForByte()
{
    QTemporaryDir dir;
    const QString root = dir.filePath(QStringLiteral("temp"));
    const QByteArray page = bytes(300);
    writeFile(root + QStringLiteral("/1.htm"), page);
    writeFile(root + QStringLiteral("/img/a.jpg"), "12345");
    int code = -1;
    const QByteArray packed = packToBytes(root, &code);
    QCOMPARE(code, int(PackOk));
    QCOMPARE(packed,
             QByteArray("8401temp") + "05011.htm0000012C" + page + "8301img" + "0502a.jpg00000005" + "12345");
}

void TestFolderPacker::emptyFolderIsTheRootRecordOnly()
{
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("temp")));
    const QByteArray packed = packToBytes(dir.filePath(QStringLiteral("temp")));
    QCOMPARE(packed, QByteArray("8401temp"));
    QTemporaryDir out;
    QCOMPARE(unpackBytes(packed, out.path()), int(PackOk));
    QCOMPARE(tree(out.path()), (QMap<QString, QByteArray>{{QStringLiteral("temp/"), {}}}));
}

void TestFolderPacker::roundTrip_data()
{
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QList<int>>("sizes");
    QTest::newRow("0-byte file") << QStringList{QStringLiteral("empty.txt")} << QList<int>{0};
    QTest::newRow("one block") << QStringList{QStringLiteral("a.bin")} << QList<int>{16384};
    QTest::newRow("two blocks") << QStringList{QStringLiteral("a.bin")} << QList<int>{16385};
    QTest::newRow("nested, hidden, umlauts") << QStringList{QStringLiteral("1.htm"),
                                                            QStringLiteral("img/a.jpg"),
                                                            QStringLiteral("img/deep/b c.jpg"),
                                                            QStringLiteral(".hidden"),
                                                            QStringLiteral("Größe/ü.jpg"),
                                                            QStringLiteral("z/y/x/w.txt")}
                                             << QList<int>{300, 5, 70000, 1, 2, 3};
}

void TestFolderPacker::roundTrip()
{
    QFETCH(QStringList, names);
    QFETCH(QList<int>, sizes);
    QTemporaryDir dir;
    const QString root = dir.filePath(QStringLiteral("temp"));
    QDir().mkpath(root + QStringLiteral("/emptysub"));
    for (int i = 0; i < names.size(); ++i)
        writeFile(root + QLatin1Char('/') + names[i], bytes(sizes[i], char('a' + i)));
    int code = -1;
    const QByteArray packed = packToBytes(root, &code);
    QCOMPARE(code, int(PackOk));
    QTemporaryDir out;
    QCOMPARE(unpackBytes(packed, out.path()), int(PackOk));
    QCOMPARE(tree(out.path() + QStringLiteral("/temp")), tree(root));
}

void TestFolderPacker::cutFileEndsWithSizeMismatch()
{
    QTemporaryDir dir;
    const QString root = dir.filePath(QStringLiteral("temp"));
    writeFile(root + QStringLiteral("/a.bin"), bytes(40000));
    writeFile(root + QStringLiteral("/b.bin"), bytes(10));
    const QByteArray packed = packToBytes(root);
    // From a file on disk (random access: the size is checked before the file is created) and
    // from a stream that only ends when it ends.
    QTemporaryDir out;
    QCOMPARE(unpackBytes(packed.left(20000), out.path()), int(PackSizeMismatch));
    QVERIFY(!QFile::exists(out.filePath(QStringLiteral("temp/a.bin"))));

    QTemporaryDir out2;
    QProcess cat;
    cat.start(QStringLiteral("cat"));
    QVERIFY(cat.waitForStarted());
    cat.write(packed.left(20000));
    cat.closeWriteChannel();
    QCOMPARE(unpack_folder(cat, out2.path()), int(PackSizeMismatch));
    cat.waitForFinished();
    QVERIFY(QFileInfo(out2.filePath(QStringLiteral("temp/a.bin"))).size() < 40000);
}

void TestFolderPacker::hostileFilesAreRefused_data()
{
    QTest::addColumn<QByteArray>("packed");
    QTest::addColumn<int>("code");
    const QByteArray root = "8401temp";
    QTest::newRow("dot-dot folder") << root + rec("8201", "..") + rec("0502", "x.txt", "00000001", "x")
                                    << int(PackBadRecord);
    QTest::newRow("dot-dot file") << root + rec("0201", "..", "00000001", "x") << int(PackBadRecord);
    QTest::newRow("dot folder") << root + rec("8101", ".") << int(PackBadRecord);
    QTest::newRow("slash in name") << root + rec("0901", "../x.txt", "00000001", "x") << int(PackBadRecord);
    QTest::newRow("backslash in name")
        << root + rec("0901", "..\\x.txt", "00000001", "x") << int(PackBadRecord);
    QTest::newRow("NUL in name") << root + rec("0301", QByteArray("a\0b", 3), "00000001", "x")
                                 << int(PackBadRecord);
    QTest::newRow("empty name") << root + rec("0001", "", "00000001", "x") << int(PackBadRecord);
    QTest::newRow("root dot-dot") << rec("8201", "..") + rec("0501", "x.txt", "00000001", "x")
                                  << int(PackBadRecord);
    QTest::newRow("root is a file") << rec("0501", "x.txt", "00000001", "x") << int(PackBadRecord);
    QTest::newRow("root at level 2") << rec("8402", "temp") << int(PackBadRecord);
    QTest::newRow("level jumps") << root + rec("0503", "x.txt", "00000001", "x") << int(PackBadRecord);
    QTest::newRow("level 0 leaves the root")
        << root + rec("0500", "x.txt", "00000001", "x") << int(PackBadRecord);
    QTest::newRow("not hex") << root + rec("0G01", "x.txt", "00000001", "x") << int(PackBadRecord);
    QTest::newRow("size not hex") << root + rec("0501", "x.txt", "0000000Z", "x") << int(PackBadRecord);
    QTest::newRow("negative size") << root + rec("0501", "x.txt", "FFFFFFFF", "x") << int(PackBadRecord);
    QTest::newRow("size beyond the end")
        << root + rec("0501", "x.txt", "7FFFFFFF", "x") << int(PackSizeMismatch);
    QTest::newRow("name cut") << root + QByteArray("0501x.t") << int(PackWriteFailed);
    QTest::newRow("size cut") << root + QByteArray("0501x.txt0000") << int(PackWriteFailed);
    QTest::newRow("head cut") << root + QByteArray("05") << int(PackBadRecord);
    QTest::newRow("same file twice") << root + rec("0501", "x.txt", "00000001", "x") +
                                            rec("0501", "x.txt", "00000001", "y")
                                     << int(PackWouldReplace);
    QTest::newRow("file where a folder goes")
        << root + rec("0501", "x.txt", "00000001", "x") + rec("8501", "x.txt") << int(PackOpenFailed);
}

void TestFolderPacker::hostileFilesAreRefused()
{
    QFETCH(QByteArray, packed);
    QFETCH(int, code);
    // The target is a folder inside a sandbox; nothing may appear beside it.
    QTemporaryDir sandbox;
    const QString target = sandbox.filePath(QStringLiteral("target"));
    QVERIFY(QDir().mkdir(target));
    QCOMPARE(unpackBytes(packed, target), code);
    const QMap<QString, QByteArray> all = tree(sandbox.path());
    for (auto it = all.begin(); it != all.end(); ++it)
        QVERIFY2(it.key().startsWith(QStringLiteral("target/")), qPrintable(it.key()));
    QVERIFY(!all.contains(QStringLiteral("target/x.txt")));
}

void TestFolderPacker::unpackNeverReplacesAFile()
{
    QTemporaryDir out;
    writeFile(out.filePath(QStringLiteral("temp/1.htm")), "mine");
    QCOMPARE(unpackBytes(QByteArray("8401temp") + rec("0501", "1.htm", "00000003", "new"), out.path()),
             int(PackWouldReplace));
    QCOMPARE(readFile(out.filePath(QStringLiteral("temp/1.htm"))), QByteArray("mine"));
}

void TestFolderPacker::unpackRefusesAFolderThatIsALink()
{
    QTemporaryDir outside, out;
    QVERIFY(QFile::link(outside.path(), out.filePath(QStringLiteral("temp"))));
    QCOMPARE(unpackBytes(QByteArray("8401temp") + rec("0501", "x.txt", "00000001", "x"), out.path()),
             int(PackOpenFailed));
    QVERIFY(QDir(outside.path()).isEmpty());
}

// A pipe in the folder holds no file (reading it would never end): it is left out, the files
// around it are packed.
void TestFolderPacker::pipeInTheFolderIsLeftOut()
{
    QTemporaryDir dir;
    const QString root = dir.filePath(QStringLiteral("temp"));
    writeFile(root + QStringLiteral("/a.txt"), "abc");
    QVERIFY(::mkfifo(QFile::encodeName(root + QStringLiteral("/pipe")).constData(), 0600) == 0);
    writeFile(root + QStringLiteral("/z.txt"), "xyz");
    int code = -1;
    const QByteArray packed = packToBytes(root, &code);
    QCOMPARE(code, int(PackOk));
    QCOMPARE(packed, QByteArray("8401temp") + rec("0501", "a.txt", "00000003", "abc") +
                         rec("0501", "z.txt", "00000003", "xyz"));
}

void TestFolderPacker::longNameIsNotPacked()
{
    QTemporaryDir dir;
    const QString root = dir.filePath(QStringLiteral("temp"));
    writeFile(root + QLatin1Char('/') + QString(127, QLatin1Char('n')), "ok");
    int code = -1;
    const QByteArray packed = packToBytes(root, &code);
    QCOMPARE(code, int(PackOk));
    QVERIFY(packed.startsWith("8401temp7F01nnn"));
    writeFile(root + QLatin1Char('/') + QString(128, QLatin1Char('m')), "too long");
    QCOMPARE((packToBytes(root, &code), code), int(PackNotRepresentable));
    QVERIFY(packToBytes(root).isEmpty()); // refused before anything is written
}

void TestFolderPacker::executeChecks_data()
{
    QTest::addColumn<bool>("pack");
    QTest::addColumn<QString>("source"); // "@" stands for the sandbox folder
    QTest::addColumn<QString>("target");
    QTest::addColumn<int>("code");
    QTest::newRow("blank source") << true << QStringLiteral("  ") << QStringLiteral("@/x.cat")
                                  << int(PackNoPath);
    QTest::newRow("empty target") << false << QStringLiteral("@/x.cat") << QString() << int(PackNoPath);
    QTest::newRow("pack: no folder") << true << QStringLiteral("@/nothere") << QStringLiteral("@/x.cat")
                                     << int(PackFolderNotFound);
    QTest::newRow("pack: target is a folder")
        << true << QStringLiteral("@/temp") << QStringLiteral("@/") << int(PackNoTargetName);
    QTest::newRow("pack: target folder missing")
        << true << QStringLiteral("@/temp") << QStringLiteral("@/nothere/x.cat") << int(PackTargetNotFound);
    QTest::newRow("unpack: no file") << false << QStringLiteral("@/nothere.cat") << QStringLiteral("@/")
                                     << int(UnpackFileNotFound);
    QTest::newRow("unpack: no folder")
        << false << QStringLiteral("@/temp/1.htm") << QStringLiteral("@/nothere/") << int(PackTargetNotFound);
}

void TestFolderPacker::executeChecks()
{
    QFETCH(bool, pack);
    QFETCH(QString, source);
    QFETCH(QString, target);
    QFETCH(int, code);
    QTemporaryDir dir;
    writeFile(dir.filePath(QStringLiteral("temp/1.htm")), "x");
    FolderPacker packer;
    packer.mode = pack ? FolderPacker::Mode::Pack : FolderPacker::Mode::Unpack;
    packer.sourcePath = source.replace(QLatin1Char('@'), dir.path());
    packer.targetPath = target.replace(QLatin1Char('@'), dir.path());
    QCOMPARE(packer.execute(), code);
    QCOMPARE(packer.errorCode(), code);
    QCOMPARE(packer.progress(), 0);
}

void TestFolderPacker::failedPackKeepsTheOldFile()
{
    QTemporaryDir dir;
    writeFile(dir.filePath(QStringLiteral("temp/") + QString(130, QLatin1Char('n'))), "x");
    writeFile(dir.filePath(QStringLiteral("old.cat")), "old catalog");
    FolderPacker packer;
    packer.sourcePath = dir.filePath(QStringLiteral("temp"));
    packer.targetPath = dir.filePath(QStringLiteral("old.cat"));
    QCOMPARE(packer.execute(), int(PackNotRepresentable));
    QCOMPARE(readFile(dir.filePath(QStringLiteral("old.cat"))), QByteArray("old catalog"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("old.cat")});
}

void TestFolderPacker::executeRoundTripReportsProgress()
{
    QTemporaryDir dir;
    writeFile(dir.filePath(QStringLiteral("temp/1.htm")), bytes(50000));
    writeFile(dir.filePath(QStringLiteral("temp/img/a.jpg")), bytes(7));
    writeFile(dir.filePath(QStringLiteral("old.cat")), "old");
    FolderPacker packer;
    packer.sourcePath = dir.filePath(QStringLiteral("temp/"));
    packer.targetPath = dir.filePath(QStringLiteral("old.cat"));
    QCOMPARE(packer.execute(), int(PackOk));
    QCOMPARE(packer.progress(), 100);
    QVERIFY(readFile(packer.targetPath).startsWith("8401temp"));

    QTemporaryDir out;
    packer.mode = FolderPacker::Mode::Unpack;
    packer.sourcePath = dir.filePath(QStringLiteral("old.cat"));
    packer.targetPath = out.path();
    QCOMPARE(packer.execute(), int(PackOk));
    QCOMPARE(packer.progress(), 100);
    QCOMPARE(tree(out.filePath(QStringLiteral("temp"))), tree(dir.filePath(QStringLiteral("temp"))));
}

void TestFolderPacker::everyCodeHasAMessage()
{
    for (int code : {1, 2, 3, 4, 5, 10, 11, 12, 13, 14, 15, 16, 17})
        QVERIFY(pack_code_message(code) != Msg::Count_);
    QCOMPARE(pack_code_message(0), Msg::Count_);
    QCOMPARE(Texts(German).msg(pack_code_message(PackNoTargetName)), QStringLiteral("Zieldateiname fehlt"));
}

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    TestFolderPacker t;
    int failed = QTest::qExec(&t, argc, argv);
    viaFiles = true;
    failed += QTest::qExec(&t, argc, argv);
    return failed;
}
#include "tst_folder_packer.moc"
