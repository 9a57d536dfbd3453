// The ZIP engine on hostile and ordinary archives: what it lists, what it writes, and that
// nothing ever lands outside the chosen folder (each test checks the whole sandbox).
#include "archives/zip_archive.h"
#include "archives/zip_bytes.h"
#include "archives/zip_directory.h"
#include "archives/zip_names.h"
#include "base/temp_files.h"
#include "support/test_support.h"
#include "support/zip_fixtures.h"

#include <QBuffer>
#include <QProcess>
#include <QStandardPaths>
#include <QtEndian>
#include <QtTest>

#include <csignal>
#include <cstring>
#include <numeric>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zip.h>

using namespace vorn;
using namespace vorn::test;

namespace
{

constexpr quint32 kFile = 0100644;

RawZipEntry file(const QByteArray &name, const QByteArray &data, bool deflate = false)
{
    return {name, data, deflate, kFile, false};
}

// An archive held in memory, listed through a QBuffer.
struct MemZip {
    QByteArray bytes;
    QBuffer buffer;
    ZipArchive zip;
    explicit MemZip(const QByteArray &b) : bytes(b)
    {
        buffer.setBuffer(&bytes);
        buffer.open(QIODevice::ReadOnly);
    }
    bool open() { return zip.open(&buffer); }
};

QStringList names(const ZipArchive &zip)
{
    QStringList out;
    for (const ZipEntry &e : zip.entries())
        out << e.name;
    return out;
}

QStringList allKeys(const ZipArchive &zip)
{
    QStringList out;
    for (const ZipEntry &e : zip.entries())
        out << e.key;
    return out;
}

QStringList problemEntries(const ZipResult &r, ZipIssue issue)
{
    QStringList out;
    for (const ZipProblem &p : r.problems)
        if (p.issue == issue)
            out << p.entry;
    return out;
}

// A sandbox with the target folder "out" inside it: what lands beside "out" escaped.
struct Sandbox {
    QTemporaryDir dir;
    QString target() const { return dir.filePath(QStringLiteral("out")); }
    QStringList tree() const { return treeOf(dir.path()); }
};

// A limit on the size of written files: writes beyond it fail as on a full disk.
struct FileSizeLimit {
    struct rlimit old {
    };
    void (*oldHandler)(int) = nullptr;
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &old);
        oldHandler = signal(SIGXFSZ, SIG_IGN);
        struct rlimit small = old;
        small.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &small);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &old);
        signal(SIGXFSZ, oldHandler);
    }
};

quint16 get16(const QByteArray &b, qsizetype at)
{
    return qFromLittleEndian<quint16>(b.constData() + at);
}
quint32 get32(const QByteArray &b, qsizetype at)
{
    return qFromLittleEndian<quint32>(b.constData() + at);
}

// Sets the vendor version of the AES fields in `len` bytes of extra fields at `at`.
void setAesVersion(QByteArray &zip, qsizetype at, qsizetype len, quint16 version)
{
    for (qsizetype x = at; x + 4 <= at + len; x += 4 + get16(zip, x + 2))
        if (get16(zip, x) == 0x9901)
            qToLittleEndian<quint16>(version, zip.data() + x + 4);
}

// Rewrites the AES fields of a libzip-written archive as other writers leave them: the vendor
// version (1: AE-1, 2: AE-2) of every entry with a CRC (libzip stores none for tiny entries,
// which stay AE-2) and, with zeroCrc, no CRC (0) in both headers. Returns the offset of the
// first entry's data.
qsizetype patchAes(QByteArray &zip, quint16 version, bool zeroCrc)
{
    const qsizetype eocd = zip.lastIndexOf(QByteArrayLiteral("PK\x05\x06"));
    qsizetype p = get32(zip, eocd + 16);
    qsizetype firstData = -1;
    for (int n = get16(zip, eocd + 10); n > 0; --n) {
        const qsizetype nameLen = get16(zip, p + 28), extraLen = get16(zip, p + 30);
        const qsizetype local = get32(zip, p + 42);
        const qsizetype localName = get16(zip, local + 26), localExtra = get16(zip, local + 28);
        if (get32(zip, p + 16) != 0) {
            setAesVersion(zip, p + 46 + nameLen, extraLen, version);
            setAesVersion(zip, local + 30 + localName, localExtra, version);
        }
        if (zeroCrc) {
            qToLittleEndian<quint32>(0, zip.data() + p + 16);
            qToLittleEndian<quint32>(0, zip.data() + local + 14);
        }
        if (local == 0)
            firstData = 30 + localName + localExtra;
        p += 46 + nameLen + extraLen + get16(zip, p + 32);
    }
    return firstData;
}

// Runs 7-Zip's command line tool in `dir`; false when it is missing or fails.
bool sevenZip(const QString &dir, const QStringList &args)
{
    const QString tool = QStandardPaths::findExecutable(QStringLiteral("7z"));
    if (tool.isEmpty())
        return false;
    QProcess p;
    p.setWorkingDirectory(dir);
    p.start(tool, args);
    return p.waitForFinished(-1) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

std::vector<size_t> allOf(const ZipArchive &zip)
{
    std::vector<size_t> all(zip.entries().size());
    std::iota(all.begin(), all.end(), size_t(0));
    return all;
}

constexpr char kAddAndHangArg[] = "--add-and-hang";

// The helper mode of this executable: adds argv[3] to the archive argv[2] (with working files
// named when argv[4] is "named") and stops for good in the middle of writing the new archive.
int addAndHang(char *argv[])
{
    set_unnamed_temp_files(std::strcmp(argv[4], "named") != 0);
    const ZipResult r = ZipArchive::add(QString::fromLocal8Bit(argv[2]), {QString::fromLocal8Bit(argv[3])},
                                        {false, false, 9, {}}, [](qint64 done, qint64) {
                                            if (done > 0)
                                                signalAndHang("writing");
                                            return true;
                                        });
    std::printf("finished %d\n", int(r.ok));
    return 1;
}

} // namespace

class TstZipEngine : public QObject
{
    Q_OBJECT
  private slots:
    void nameChecks_data();
    void nameChecks();
    void listsStoredOrderSizesAndTimes();
    void hostileNamesStayInside();
    void linksAreNeverFollowedOrMade();
    void overlapBombRefused();
    void ratioAndTotalLimits();
    void fullDiskRemovesHalfFile();
    void overwriteAndFolderOptions();
    void cp437AndUtf8Names();
    void entryNames_data();
    void entryNames();
    void manyEntries();
    void truncatedArchives_data();
    void truncatedArchives();
    void damagedEntryAloneFails();
    void zip64Archive();
    void addAndDelete();
    void failedWritesLeaveArchive();
    void killedAddLeavesArchiveAndNoWorkingFile_data();
    void killedAddLeavesArchiveAndNoWorkingFile();
    void passwords_data();
    void passwords();
    void aesEntriesOfOtherWriters_data();
    void aesEntriesOfOtherWriters();
    void selfExtractingArchives_data();
    void selfExtractingArchives();
    void compressionMethods_data();
    void compressionMethods();
    void cancelStopsAtOnceAmongEmptyEntries();
};

void TstZipEngine::nameChecks_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("verdict");
    QTest::addColumn<QString>("path");
    const auto row = [](const char *tag, const QString &name, ZipNameVerdict v, const char *path) {
        QTest::newRow(tag) << name << int(v) << QString::fromUtf8(path);
    };
    row("plain", QStringLiteral("Docs/Read.ME"), ZipNameVerdict::Ok, "Docs/Read.ME");
    row("folder", QStringLiteral("Docs/"), ZipNameVerdict::Folder, "Docs");
    row("dot steps", QStringLiteral("./a//b/./c.txt"), ZipNameVerdict::Ok, "a/b/c.txt");
    row("backslash folders", QStringLiteral("docs\\read.me"), ZipNameVerdict::Ok, "docs/read.me");
    row("dot dot", QStringLiteral("../evil"), ZipNameVerdict::ParentStep, "");
    row("dot dot inside", QStringLiteral("a/../../evil"), ZipNameVerdict::ParentStep, "");
    row("backslash dot dot", QStringLiteral("a\\..\\..\\evil"), ZipNameVerdict::ParentStep, "");
    row("absolute", QStringLiteral("/etc/passwd"), ZipNameVerdict::Absolute, "");
    row("backslash root", QStringLiteral("\\evil"), ZipNameVerdict::Absolute, "");
    row("drive letter", QStringLiteral("C:\\evil"), ZipNameVerdict::Absolute, "");
    row("nul", QStringLiteral("a") + QChar(0) + QStringLiteral("b"), ZipNameVerdict::BadChar, "");
    row("newline", QStringLiteral("a\nb"), ZipNameVerdict::BadChar, "");
    row("empty", QString(), ZipNameVerdict::Empty, "");
    row("only dots", QStringLiteral("./."), ZipNameVerdict::Empty, "");
    row("only dot folders", QStringLiteral("././"), ZipNameVerdict::Empty, "");
    row("long part", QString(256, QLatin1Char('x')), ZipNameVerdict::TooLong, "");
    row("dots in a name", QStringLiteral("a..b/..c"), ZipNameVerdict::Ok, "a..b/..c");
    row("path over the system limit", QStringLiteral("d/").repeated(2100) + QStringLiteral("x.txt"),
        ZipNameVerdict::TooLong, "");
    row("path at the system limit", QStringLiteral("d/").repeated(2045) + QStringLiteral("x.txt"),
        ZipNameVerdict::Ok, qPrintable(QStringLiteral("d/").repeated(2045) + QStringLiteral("x.txt")));
}

void TstZipEngine::nameChecks()
{
    QFETCH(QString, name);
    QFETCH(int, verdict);
    QFETCH(QString, path);
    const ZipNameCheck c = check_entry_name(name);
    QCOMPARE(int(c.verdict), verdict);
    QCOMPARE(c.parts.join(QLatin1Char('/')), path);
}

void TstZipEngine::listsStoredOrderSizesAndTimes()
{
    MemZip m(rawZip({{"Docs/", {}, false, 040755, false},
                     file("Docs/Read.ME", QByteArray(1000, 'a'), true),
                     file("Pic.JPG", noise(300, 1))}));
    QVERIFY(m.open());
    QCOMPARE(names(m.zip), (QStringList{"Docs/", "Docs/Read.ME", "Pic.JPG"}));
    const ZipEntry &readMe = m.zip.entries()[1];
    QCOMPARE(readMe.key, QStringLiteral("docs/read.me"));
    QCOMPARE(readMe.size, quint64(1000));
    QVERIFY(readMe.packed < 100);
    QCOMPARE(readMe.time(), QDateTime(QDate(2020, 5, 17), QTime(12, 0)));
    QVERIFY(m.zip.entries()[0].folder);
    QCOMPARE(m.zip.entries()[2].packed, quint64(300));
}

void TstZipEngine::hostileNamesStayInside()
{
    Sandbox box;
    MemZip m(rawZip({file("../evil.txt", "x"), file("/abs.txt", "x"), file("..\\win.txt", "x"),
                     file("C:\\drive.txt", "x"), file("a/../../up.txt", "x"), file("docs\\ok.txt", "ok"),
                     file("good.txt", "good"), file("sub/good2.txt", "good2")}));
    QVERIFY(m.open());
    QCOMPARE(m.zip.entries().size(), size_t(8)); // every name lists
    const ZipResult r = m.zip.extract(allKeys(m.zip), box.target(), {});
    QVERIFY(!r.ok);
    QCOMPARE(r.done, 3);
    QCOMPARE(problemEntries(r, ZipIssue::UnsafeName),
             (QStringList{"../evil.txt", "/abs.txt", "..\\win.txt", "C:\\drive.txt", "a/../../up.txt"}));
    QCOMPARE(box.tree(), (QStringList{"out", "out/docs", "out/docs/ok.txt", "out/good.txt", "out/sub",
                                      "out/sub/good2.txt"}));
    QCOMPARE(readFile(box.target() + "/sub/good2.txt"), QByteArray("good2"));
}

void TstZipEngine::linksAreNeverFollowedOrMade()
{
    Sandbox box;
    QDir(box.dir.path()).mkpath("outside");
    QDir(box.dir.path()).mkpath("out");
    // a link already in the target folder that points outside it
    QVERIFY(symlink("../outside", QFile::encodeName(box.target() + "/pre").constData()) == 0);
    MemZip m(rawZip({{"link", "../outside", false, 0120777, false},
                     file("link/escape.txt", "x"),
                     file("pre/escape2.txt", "x"),
                     {"setuid", "s", false, 0104755, false},
                     {"fifo", {}, false, 010644, false}}));
    QVERIFY(m.open());
    QVERIFY(m.zip.entries()[0].symlink);
    const ZipResult r = m.zip.extract(allKeys(m.zip), box.target(), {});
    QCOMPARE(problemEntries(r, ZipIssue::PathBlocked), (QStringList{"link/escape.txt", "pre/escape2.txt"}));
    QCOMPARE(box.tree(), (QStringList{"out", "out/fifo", "out/link", "out/pre", "out/setuid", "outside"}));
    QFileInfo link(box.target() + "/link");
    QVERIFY(!link.isSymLink() && link.isFile());
    QCOMPARE(readFile(link.filePath()), QByteArray("../outside"));
    struct stat st {
    };
    QCOMPARE(lstat(QFile::encodeName(box.target() + "/setuid").constData(), &st), 0);
    QCOMPARE(st.st_mode & 07000, mode_t(0));
    QCOMPARE(lstat(QFile::encodeName(box.target() + "/fifo").constData(), &st), 0);
    QVERIFY(S_ISREG(st.st_mode));
}

void TstZipEngine::overlapBombRefused()
{
    Sandbox box;
    MemZip m(overlapBomb(20, 1 << 20));
    QVERIFY(m.open());
    QCOMPARE(m.zip.entries().size(), size_t(20));
    const ZipResult r = m.zip.extract(allKeys(m.zip), box.target(), {});
    QCOMPARE(problemEntries(r, ZipIssue::Overlap).size(), 20);
    QCOMPARE(r.done, 0);
    QCOMPARE(box.tree(), QStringList{"out"});

    // entries laid out one after another are not flagged
    MemZip plain(rawZip({file("a", noise(5000, 1)), file("b", QByteArray(5000, 'b'), true)}));
    QVERIFY(plain.open());
    QVERIFY(!plain.zip.entries()[0].overlapped && !plain.zip.entries()[1].overlapped);
}

void TstZipEngine::ratioAndTotalLimits()
{
    Sandbox box;
    MemZip m(rawZip({file("zeros.bin", QByteArray(2 << 20, '\0'), true), file("small.txt", "hello")}));
    QVERIFY(m.open());
    m.zip.limits().ratioFloor = 1 << 20;
    m.zip.limits().maxRatio = 100;
    ZipResult r = m.zip.extract(allKeys(m.zip), box.target(), {});
    QCOMPARE(problemEntries(r, ZipIssue::RatioLimit), QStringList{"zeros.bin"});
    QVERIFY(r.problems.first().detail.contains(QLatin1String("> 100:1")));
    QCOMPARE(box.tree(), (QStringList{"out", "out/small.txt"})); // the rest of the run went on

    m.zip.limits() = ZipLimits{};
    m.zip.limits().maxTotal = 1 << 20;
    r = m.zip.extract(allKeys(m.zip), box.target() + "/2", {});
    QVERIFY(r.has(ZipIssue::TotalLimit));
    QCOMPARE(r.done, 0);
    QVERIFY(!QFileInfo::exists(box.target() + "/2/zeros.bin"));

    m.zip.limits() = ZipLimits{}; // within the default limits the zeros unpack
    r = m.zip.extract({"zeros.bin"}, box.target() + "/3", {});
    QVERIFY(r.ok);
    QCOMPARE(QFileInfo(box.target() + "/3/zeros.bin").size(), qint64(2 << 20));
}

void TstZipEngine::fullDiskRemovesHalfFile()
{
    Sandbox box;
    MemZip m(
        rawZip({file("first.txt", "first"), file("big.bin", noise(1 << 20, 3)), file("last.txt", "last")}));
    QVERIFY(m.open());
    ZipResult r;
    {
        FileSizeLimit full(64 * 1024);
        r = m.zip.extract(allKeys(m.zip), box.target(), {});
    }
    QCOMPARE(problemEntries(r, ZipIssue::DiskFull), QStringList{"big.bin"});
    QCOMPARE(r.done, 1);
    QCOMPARE(box.tree(), (QStringList{"out", "out/first.txt"})); // stopped, no half file
}

void TstZipEngine::overwriteAndFolderOptions()
{
    Sandbox box;
    MemZip m(rawZip({file("docs/read.me", "new"), file("pic.jpg", "jpg")}));
    QVERIFY(m.open());
    writeFile(box.target() + "/docs/read.me", "old");
    ZipResult r = m.zip.extract({"DOCS/READ.ME", "pic.jpg"}, box.target(), {});
    QVERIFY(r.ok);
    QCOMPARE(r.done, 1);
    QCOMPARE(r.skipped, 1);
    QCOMPARE(readFile(box.target() + "/docs/read.me"), QByteArray("old"));

    r = m.zip.extract({"docs/read.me"}, box.target(), {true, true, {}});
    QCOMPARE(r.done, 1);
    QCOMPARE(readFile(box.target() + "/docs/read.me"), QByteArray("new"));

    r = m.zip.extract({"docs/read.me"}, box.target() + "/flat", {false, false, {}});
    QCOMPARE(r.done, 1);
    QCOMPARE(box.tree(), (QStringList{"out", "out/docs", "out/docs/read.me", "out/flat", "out/flat/read.me",
                                      "out/pic.jpg"}));
}

void TstZipEngine::cp437AndUtf8Names()
{
    // "Grüße.txt" in CP437 without the UTF-8 flag, and "Ärger" in UTF-8 with it
    MemZip m(rawZip({file("Gr\x81\xe1"
                          "e.txt",
                          "x"),
                     {"\xc3\x84rger.txt", "y", false, kFile, true}}));
    QVERIFY(m.open());
    QCOMPARE(names(m.zip), (QStringList{QString::fromUtf8("Grüße.txt"), QString::fromUtf8("Ärger.txt")}));
    QCOMPARE(m.zip.entries()[0].key, QString::fromUtf8("grüße.txt"));

    // new archives store UTF-8 names with the flag: read strictly, they come back unchanged
    Sandbox box;
    const QString src = box.dir.filePath(QString::fromUtf8("Grüße.txt"));
    writeFile(src, "z");
    const QString archive = box.dir.filePath("new.zip");
    QVERIFY(ZipArchive::add(archive, {src}, {false, false, 9, {}}).ok);
    int err = 0;
    zip_t *za = zip_open(QFile::encodeName(archive).constData(), ZIP_RDONLY, &err);
    QVERIFY(za);
    QCOMPARE(QString::fromUtf8(zip_get_name(za, 0, ZIP_FL_ENC_STRICT)), QString::fromUtf8("Grüße.txt"));
    zip_discard(za);
}

void TstZipEngine::entryNames_data()
{
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<int>("flags");
    QTest::addColumn<QByteArray>("unicodeField");
    QTest::addColumn<QString>("name");
    const QByteArray cp437 = "Gr\x81\xe1"
                             "e";
    const QByteArray utf8 = "Gr\xc3\xbc\xc3\x9f\x65";
    const auto field = [](const QByteArray &stored, const QByteArray &name, quint32 crcDelta = 0) {
        QByteArray f(1, '\x01');
        zipbytes::put32(f, crc32Of(stored) + crcDelta);
        return f + name;
    };
    const QString gruesse = QString::fromUtf8("Grüße");
    QTest::newRow("ascii") << QByteArray("Docs/Read.ME") << 0 << QByteArray() << "Docs/Read.ME";
    QTest::newRow("cp437 without flag") << cp437 << 0 << QByteArray() << gruesse;
    QTest::newRow("utf-8 flag") << utf8 << 0x0800 << QByteArray() << gruesse;
    QTest::newRow("valid utf-8 without flag") << utf8 << 0 << QByteArray() << gruesse;
    QTest::newRow("overlong utf-8 is cp437")
        << QByteArray("\xc0\xaf") << 0 << QByteArray() << QString::fromUtf8("└»");
    QTest::newRow("unicode path field") << QByteArray("Gr??e") << 0 << field("Gr??e", utf8) << gruesse;
    QTest::newRow("stale unicode path field") << cp437 << 0 << field(cp437, "other", 1) << gruesse;
    QTest::newRow("control characters stay") << QByteArray("a\x01"
                                                           "b")
                                             << 0 << QByteArray()
                                             << "a\x01"
                                                "b";
}

void TstZipEngine::entryNames()
{
    QFETCH(QByteArray, stored);
    QFETCH(int, flags);
    QFETCH(QByteArray, unicodeField);
    QFETCH(QString, name);
    QCOMPARE(zip_entry_name(stored, quint16(flags), unicodeField), name);
}

void TstZipEngine::manyEntries()
{
    Sandbox box;
    QList<RawZipEntry> entries;
    for (int i = 0; i < 20000; ++i)
        entries << file(QStringLiteral("d%1/f%2.txt").arg(i / 1000).arg(i).toUtf8(), QByteArray::number(i));
    MemZip m(rawZip(entries));
    QVERIFY(m.open());
    QCOMPARE(m.zip.entries().size(), size_t(20000));
    QCOMPARE(m.zip.entries()[12345].name, QStringLiteral("d12/f12345.txt"));
    const ZipResult r = m.zip.extract(allKeys(m.zip), box.target(), {});
    QVERIFY(r.ok);
    QCOMPARE(r.done, 20000);
    QCOMPARE(readFile(box.target() + "/d19/f19999.txt"), QByteArray("19999"));
}

void TstZipEngine::truncatedArchives_data()
{
    QTest::addColumn<int>("keep");
    for (int keep : {0, 10, 30, 100, 200, 250, 300, 350, 372, 393})
        QTest::newRow(qPrintable(QString::number(keep))) << keep;
}

void TstZipEngine::truncatedArchives()
{
    QFETCH(int, keep);
    const QByteArray whole = rawZip({file("a.txt", noise(100, 1)), file("b.txt", noise(100, 2))});
    QVERIFY(keep < whole.size());
    Sandbox box;
    MemZip m(whole.left(keep));
    if (m.open()) { // whatever lists must not write anything broken
        const ZipResult r = m.zip.extract(allKeys(m.zip), box.target(), {});
        for (const QString &f : treeOf(box.target()))
            QCOMPARE(QFileInfo(box.target() + "/" + f).size(), qint64(100));
        Q_UNUSED(r);
    } else {
        QVERIFY(m.zip.openError().issue == ZipIssue::NotZip ||
                m.zip.openError().issue == ZipIssue::ReadError);
        QVERIFY(m.zip.entries().empty());
    }
}

void TstZipEngine::damagedEntryAloneFails()
{
    Sandbox box;
    QByteArray bytes =
        rawZip({file("a.txt", noise(1000, 1)), file("b.txt", noise(1000, 2)), file("c.txt", "c")});
    bytes[30 + 5 + 1000 + 30 + 5 + 500] ^= 0x55; // one byte inside b.txt's data
    MemZip m(bytes);
    QVERIFY(m.open());
    const ZipResult r = m.zip.extract(allKeys(m.zip), box.target(), {});
    QCOMPARE(problemEntries(r, ZipIssue::Damaged), QStringList{"b.txt"});
    QCOMPARE(box.tree(), (QStringList{"out", "out/a.txt", "out/c.txt"}));
}

void TstZipEngine::zip64Archive()
{
    Sandbox box;
    MemZip m(rawZip({file("one.bin", noise(70000, 4)), file("two.txt", QByteArray(5000, 't'), true)}, true));
    QVERIFY(m.open());
    QCOMPARE(names(m.zip), (QStringList{"one.bin", "two.txt"}));
    QCOMPARE(m.zip.entries()[1].size, quint64(5000));
    QVERIFY(!m.zip.entries()[0].overlapped && !m.zip.entries()[1].overlapped);
    QVERIFY(m.zip.extract(allKeys(m.zip), box.target(), {}).ok);
    QCOMPARE(readFile(box.target() + "/one.bin"), noise(70000, 4));
}

void TstZipEngine::addAndDelete()
{
    Sandbox box;
    const QString pics = box.dir.filePath("pics");
    writeFile(pics + "/a.jpg", noise(3000, 1));
    writeFile(pics + "/sub/b.txt", QByteArray(4000, 'b'));
    writeFile(pics + "/sub/deeper/c.txt", "c");
    const QString archive = box.dir.filePath("new.zip");

    ZipResult r = ZipArchive::add(archive, {pics}, {true, true, 9, box.dir.path()});
    QVERIFY(r.ok);
    QCOMPARE(r.done, 3);
    ZipArchive zip;
    QVERIFY(zip.open(archive));
    QCOMPARE(names(zip), (QStringList{"pics/a.jpg", "pics/sub/b.txt", "pics/sub/deeper/c.txt"}));
    QVERIFY(zip.entries()[1].packed < 100); // deflated

    // without recursion only the folder's own files; without folder names bare names
    r = ZipArchive::add(box.dir.filePath("flat.zip"), {pics}, {false, false, 9, {}});
    QCOMPARE(r.done, 1);
    // adding a file of the same name replaces the entry
    writeFile(box.dir.filePath("x/pics/a.jpg"), "replaced");
    r = ZipArchive::add(archive, {box.dir.filePath("x/pics/a.jpg")}, {true, false, 9, box.dir.filePath("x")});
    QCOMPARE(r.done, 1);
    QVERIFY(zip.open(archive));
    QCOMPARE(zip.entries().size(), size_t(3));
    QVERIFY(zip.extract({"pics/a.jpg"}, box.target(), {false, false, {}}).ok);
    QCOMPARE(readFile(box.target() + "/a.jpg"), QByteArray("replaced"));

    // delete exactly the two named entries
    r = zip.remove({"pics/a.jpg", "PICS/SUB/DEEPER/C.TXT"});
    QVERIFY(r.ok);
    QCOMPARE(r.done, 2);
    QCOMPARE(names(zip), QStringList{"pics/sub/b.txt"});
    QVERIFY(!zip.busy());

    // a rewritten archive keeps its permissions; deleting the last entry removes it
    QCOMPARE(chmod(QFile::encodeName(archive).constData(), 0600), 0);
    QVERIFY(ZipArchive::add(archive, {pics + "/a.jpg"}, {false, false, 9, {}}).ok);
    struct stat st {
    };
    QCOMPARE(stat(QFile::encodeName(archive).constData(), &st), 0);
    QCOMPARE(st.st_mode & 07777, mode_t(0600));
    QVERIFY(zip.open(archive));
    QCOMPARE(zip.removeAt({0, 1}).done, 2);
    QVERIFY(!QFileInfo::exists(archive));
    QVERIFY(!zip.isOpen());
}

void TstZipEngine::failedWritesLeaveArchive()
{
    Sandbox box;
    // adding to a file that is no archive refuses and keeps the file
    const QString notZip = box.dir.filePath("notes.zip");
    writeFile(notZip, "just text");
    writeFile(box.dir.filePath("f.txt"), "f");
    ZipResult r = ZipArchive::add(notZip, {box.dir.filePath("f.txt")}, {});
    QVERIFY(!r.ok);
    QVERIFY(r.has(ZipIssue::NotZip));
    QCOMPARE(readFile(notZip), QByteArray("just text"));

    // a rewrite that cannot be finished (the disk runs full) keeps the old archive byte for
    // byte and leaves no temporary file
    const QString folder = box.dir.filePath("full");
    const QString archive = folder + "/a.zip";
    QDir().mkpath(folder);
    QVERIFY(ZipArchive::add(archive, {box.dir.filePath("f.txt")}, {false, false, 9, {}}).ok);
    const QByteArray before = readFile(archive);
    writeFile(box.dir.filePath("big.bin"), noise(1 << 20, 5));
    {
        FileSizeLimit full(64 * 1024);
        r = ZipArchive::add(archive, {box.dir.filePath("big.bin")}, {false, false, 9, {}});
    }
    QVERIFY(!r.ok);
    QVERIFY(r.has(ZipIssue::ArchiveWrite));
    QCOMPARE(readFile(archive), before);
    QCOMPARE(treeOf(folder), QStringList{"a.zip"});
}

void TstZipEngine::killedAddLeavesArchiveAndNoWorkingFile_data()
{
    QTest::addColumn<bool>("named");
    QTest::newRow("unnamed working file") << false;
    QTest::newRow("named working file") << true;
}

void TstZipEngine::killedAddLeavesArchiveAndNoWorkingFile()
{
    QFETCH(bool, named);
    Sandbox box;
    const QString folder = box.dir.filePath("user");
    const QString archive = folder + "/work.zip";
    writeFile(folder + "/first.txt", "first");
    QVERIFY(ZipArchive::add(archive, {folder + "/first.txt"}, {false, false, 9, {}}).ok);
    const QByteArray before = readFile(archive);
    const QString big = box.dir.filePath("big.bin");
    writeFile(big, noise(6 << 20, 3));

    runHelperAndKill({kAddAndHangArg, archive, big, named ? "named" : "unnamed"}, "writing");
    if (QTest::currentTestFailed())
        return;
    // the user's archive is as it was; at most a working file of the program's own pattern
    QCOMPARE(readFile(archive), before);
    for (const QString &name : treeOf(folder))
        QVERIFY2(name == "work.zip" || name == "first.txt" || (named && name.startsWith(".vorn-tmp-")),
                 qPrintable(name));

    // the next write into that folder clears what the killed run left and finishes the job
    set_unnamed_temp_files(!named);
    const ZipResult r = ZipArchive::add(archive, {big}, {false, false, 9, {}});
    set_unnamed_temp_files(true);
    QVERIFY(r.ok);
    QCOMPARE(treeOf(folder), (QStringList{"first.txt", "work.zip"}));
    ZipArchive zip;
    QVERIFY(zip.open(archive));
    QCOMPARE(names(zip), (QStringList{"first.txt", "big.bin"}));
    QVERIFY(zip.extract({"big.bin"}, box.target(), {}).ok);
    QCOMPARE(readFile(box.target() + "/big.bin"), noise(6 << 20, 3));
}

void TstZipEngine::passwords_data()
{
    QTest::addColumn<int>("method");
    QTest::newRow("traditional") << int(ZIP_EM_TRAD_PKWARE);
    QTest::newRow("aes-256") << int(ZIP_EM_AES_256);
}

void TstZipEngine::passwords()
{
    QFETCH(int, method);
    Sandbox box;
    const QString archive = box.dir.filePath("secret.zip");
    QVERIFY(writeLibzipArchive(archive, {{"secret.txt", noise(5000, 9)}}, "right", quint16(method)));
    ZipArchive zip;
    QVERIFY(zip.open(archive));
    QVERIFY(zip.needsPassword({"secret.txt"}));

    ZipResult r = zip.extract({"secret.txt"}, box.target(), {});
    QVERIFY(r.has(ZipIssue::PasswordNeeded));
    r = zip.extract({"secret.txt"}, box.target(), {true, false, "wrong"});
    QVERIFY(r.has(ZipIssue::WrongPassword));
    QCOMPARE(treeOf(box.target()), QStringList{});
    r = zip.extract({"secret.txt"}, box.target(), {true, false, "right"});
    QVERIFY(r.ok);
    QCOMPARE(readFile(box.target() + "/secret.txt"), noise(5000, 9));
}

void TstZipEngine::aesEntriesOfOtherWriters_data()
{
    QTest::addColumn<bool>("byLibzip"); // else written by 7-Zip
    QTest::addColumn<int>("version");
    QTest::addColumn<bool>("zeroCrc");
    QTest::addColumn<bool>("alter");
    QTest::addColumn<QByteArray>("password");
    QTest::addColumn<int>("issue"); // for the large entry
    QTest::newRow("AE-1 with CRC") << true << 1 << false << false << QByteArray("right")
                                   << int(ZipIssue::None);
    QTest::newRow("AE-2 without CRC")
        << true << 2 << true << false << QByteArray("right") << int(ZipIssue::None);
    QTest::newRow("AE-2 wrong password")
        << true << 2 << true << false << QByteArray("wrong") << int(ZipIssue::WrongPassword);
    QTest::newRow("AE-2 altered data")
        << true << 2 << true << true << QByteArray("right") << int(ZipIssue::Damaged);
    QTest::newRow("7-Zip AES-256") << false << 0 << false << false << QByteArray("right")
                                   << int(ZipIssue::None);
}

void TstZipEngine::aesEntriesOfOtherWriters()
{
    QFETCH(bool, byLibzip);
    QFETCH(int, version);
    QFETCH(bool, zeroCrc);
    QFETCH(bool, alter);
    QFETCH(QByteArray, password);
    QFETCH(int, issue);
    Sandbox box;
    const QString archive = box.dir.filePath("aes.zip");
    const QByteArray photo = noise(70000, 4);
    if (byLibzip) {
        QVERIFY(writeLibzipArchive(archive, {{"photo.jpg", photo}, {"tiny.txt", "tiny"}}, "right",
                                   ZIP_EM_AES_256));
        QByteArray bytes = readFile(archive);
        const qsizetype data = patchAes(bytes, quint16(version), zeroCrc);
        QVERIFY(data > 0);
        if (alter) // inside the first entry's encrypted data, past salt and verifier
            bytes[data + 18 + 500] = char(bytes[data + 18 + 500] ^ 0x20);
        writeFile(archive, bytes);
    } else {
        writeFile(box.dir.filePath("in/photo.jpg"), photo);
        writeFile(box.dir.filePath("in/tiny.txt"), "tiny");
        if (!sevenZip(box.dir.filePath("in"),
                      {"a", "-tzip", "-mem=AES256", "-pright", archive, "photo.jpg", "tiny.txt"}))
            QSKIP("7z is not installed");
    }
    ZipArchive zip;
    QVERIFY(zip.open(archive));
    QCOMPARE(names(zip), (QStringList{"photo.jpg", "tiny.txt"}));
    const ZipResult r = zip.extractAt(allOf(zip), box.target(), {true, false, password});
    if (issue == int(ZipIssue::None)) {
        QVERIFY(r.ok);
        QCOMPARE(r.done, 2);
        QCOMPARE(readFile(box.target() + "/photo.jpg"), photo);
        QCOMPARE(readFile(box.target() + "/tiny.txt"), QByteArray("tiny"));
        return;
    }
    QCOMPARE(problemEntries(r, ZipIssue(issue)).value(0), QStringLiteral("photo.jpg"));
    // nothing of a refused entry stays; the other entry is judged on its own
    const QStringList expected = alter ? QStringList{"tiny.txt"} : QStringList{};
    QCOMPARE(treeOf(box.target()), expected);
}

void TstZipEngine::selfExtractingArchives_data()
{
    QTest::addColumn<bool>("adjusted");
    QTest::addColumn<bool>("zip64");
    QTest::newRow("appended as it is") << false << false;
    QTest::newRow("offsets adjusted") << true << false;
    QTest::newRow("zip64, appended as it is") << false << true;
    QTest::newRow("zip64, offsets adjusted") << true << true;
}

void TstZipEngine::selfExtractingArchives()
{
    QFETCH(bool, adjusted);
    QFETCH(bool, zip64);
    Sandbox box;
    const QByteArray program = QByteArray("\x7f"
                                          "ELF") +
                               noise(4099, 7);
    const QByteArray b = noise(3000, 2) + QByteArray(3000, 'b');
    const QByteArray bytes = program + rawZip({file("a.txt", "alpha"), file("dir/b.bin", b, true)}, zip64,
                                              adjusted ? program.size() : 0);
    const QString path = box.dir.filePath("setup.exe");
    writeFile(path, bytes);
    ZipArchive zip;
    QVERIFY(zip.open(path));
    QCOMPARE(names(zip), (QStringList{"a.txt", "dir/b.bin"}));
    ZipResult r = zip.extractAt(allOf(zip), box.target(), {});
    QVERIFY(r.ok);
    QCOMPARE(readFile(box.target() + "/a.txt"), QByteArray("alpha"));
    QCOMPARE(readFile(box.target() + "/dir/b.bin"), b);

    MemZip mem(bytes); // the same through a device
    QVERIFY(mem.open());
    r = mem.zip.extractAt({1}, box.target() + "/mem", {});
    QVERIFY(r.ok);
    QCOMPARE(readFile(box.target() + "/mem/dir/b.bin"), b);
}

void TstZipEngine::compressionMethods_data()
{
    QTest::addColumn<int>("method");
    QTest::addColumn<QString>("sevenZipMethod"); // real data by 7-Zip; else libzip or junk
    QTest::newRow("bzip2 by libzip") << int(ZIP_CM_BZIP2) << QString();
    QTest::newRow("bzip2 by 7-Zip") << int(ZIP_CM_BZIP2) << QStringLiteral("BZip2");
    QTest::newRow("LZMA by 7-Zip") << int(ZIP_CM_LZMA) << QStringLiteral("LZMA");
    QTest::newRow("PPMd by 7-Zip") << 98 << QStringLiteral("PPMd");
    QTest::newRow("Deflate64 by 7-Zip") << int(ZIP_CM_DEFLATE64) << QStringLiteral("Deflate64");
    QTest::newRow("XZ") << int(ZIP_CM_XZ) << QString();
    QTest::newRow("Zstandard") << 93 << QString();
}

void TstZipEngine::compressionMethods()
{
    QFETCH(int, method);
    QFETCH(QString, sevenZipMethod);
    Sandbox box;
    const QString archive = box.dir.filePath("m.zip");
    QByteArray text;
    for (int i = 0; i < 2000; ++i)
        text += "line " + QByteArray::number(i % 37) + '\n';
    // real data of the method, or junk under its number beside a plain entry
    bool real = true;
    if (!sevenZipMethod.isEmpty()) {
        writeFile(box.dir.filePath("in/packed.txt"), text);
        if (!sevenZip(box.dir.filePath("in"), {"a", "-tzip", "-mm=" + sevenZipMethod, archive, "packed.txt"}))
            QSKIP("7z is not installed");
    } else if (method == ZIP_CM_BZIP2) {
        QVERIFY(writeLibzipArchive(archive, {{"packed.txt", text}}, nullptr, 0, ZIP_CM_BZIP2));
    } else {
        real = false;
        RawZipEntry junk = file("packed.txt", noise(500, 3));
        junk.method = method;
        writeFile(archive, rawZip({junk, file("plain.txt", "plain")}));
    }
    ZipArchive zip;
    QVERIFY(zip.open(archive));
    const ZipResult r = zip.extractAt(allOf(zip), box.target(), {});
    const bool supported = zip_compression_method_supported(method, 0);
    if (!real)
        QCOMPARE(readFile(box.target() + "/plain.txt"), QByteArray("plain")); // judged per entry
    if (!supported) {
        QCOMPARE(problemEntries(r, ZipIssue::Unsupported), QStringList{"packed.txt"});
        QVERIFY(!QFileInfo::exists(box.target() + "/packed.txt"));
    } else if (real) {
        QVERIFY(r.ok);
        QCOMPARE(readFile(box.target() + "/packed.txt"), text);
    } else {
        QCOMPARE(problemEntries(r, ZipIssue::Damaged), QStringList{"packed.txt"});
    }
}

void TstZipEngine::cancelStopsAtOnceAmongEmptyEntries()
{
    Sandbox box;
    QList<RawZipEntry> entries;
    for (int i = 0; i < 20000; ++i)
        entries << file("e" + QByteArray::number(i) + ".txt", {});
    MemZip mem(rawZip(entries));
    QVERIFY(mem.open());
    int asked = 0;
    const ZipResult r = mem.zip.extractAt(allOf(mem.zip), box.target(), {}, [&asked](qint64, qint64) {
        return ++asked < 5; // the fifth question cancels
    });
    QVERIFY(r.has(ZipIssue::Cancelled));
    QVERIFY(r.done <= 4);
    QVERIFY(treeOf(box.target()).size() <= 4);
    QCOMPARE(asked, 5);
}

int main(int argc, char *argv[])
{
    if (argc == 5 && std::strcmp(argv[1], kAddAndHangArg) == 0)
        return addAndHang(argv);
    QCoreApplication app(argc, argv);
    TstZipEngine test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "tst_zip_engine.moc"
