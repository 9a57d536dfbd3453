// Attributes (read-only bits, user.DOSATTRIB, dot-names), drive fakes, folder clean-up and the
// small path and text routines.
#include "files/fake_drive_info.h"
#include "files/file_attributes.h"
#include "files/file_helpers.h"
#include "support/test_support.h"

#include <QtTest>

#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

using namespace vorn;
using vorn::test::readFile;
using vorn::test::writeFile;

namespace
{

mode_t modeOf(const QString &path)
{
    struct stat st {
    };
    stat(QFile::encodeName(path).constData(), &st);
    return st.st_mode & 07777;
}

QByteArray dosAttrib(const QString &path)
{
    char buf[64];
    const ssize_t n = getxattr(QFile::encodeName(path).constData(), "user.DOSATTRIB", buf, sizeof buf);
    return n < 0 ? QByteArray() : QByteArray(buf, n);
}

bool keepsUserXattrs(const QString &folder)
{
    const QString probe = folder + "/xattr-probe";
    writeFile(probe, "");
    const bool ok = setxattr(QFile::encodeName(probe).constData(), "user.probe", "1", 1, 0) == 0;
    QFile::remove(probe);
    return ok;
}

} // namespace

class TstFileHelpers : public QObject
{
    Q_OBJECT
  private slots:
    void attributesRoundTrip_data();
    void attributesRoundTrip();
    void sambaValueIsRead();
    void dotNamesAndMissingFiles();
    void makeWritableLeavesArchive();
    void noExtendedAttributes();
    void fakeDrives();
    void systemDrives();
    void clearFolder();
    void countCatalogPages();
    void paths_data();
    void paths();
    void placeholders();
    void replaceAll_data();
    void replaceAll();
    void modificationTime();
};

void TstFileHelpers::attributesRoundTrip_data()
{
    QTest::addColumn<uint>("attrs");
    QTest::addColumn<QByteArray>("stored");
    QTest::newRow("read-only") << uint(AttrReadOnly) << QByteArray();
    QTest::newRow("hidden") << uint(AttrHidden) << QByteArray("0x2");
    QTest::newRow("all four") << uint(AttrReadOnly | AttrHidden | AttrSystem | AttrArchive)
                              << QByteArray("0x26");
    QTest::newRow("read-only hidden") << uint(AttrReadOnly | AttrHidden) << QByteArray("0x2");
    QTest::newRow("archive") << uint(AttrArchive) << QByteArray("0x20");
    QTest::newRow("none") << 0u << QByteArray();
}

void TstFileHelpers::attributesRoundTrip()
{
    QFETCH(uint, attrs);
    QFETCH(QByteArray, stored);
    QTemporaryDir dir;
    if (!keepsUserXattrs(dir.path()))
        QSKIP("the temporary folder keeps no user extended attributes");
    const QString f = dir.filePath("a.jpg");
    writeFile(f, "data");
    chmod(QFile::encodeName(f).constData(), 0664);
    // From a file that has other flags already, so that clearing is tested too.
    QVERIFY(set_file_attributes(f, AttrHidden | AttrSystem));
    QVERIFY(set_file_attributes(f, attrs));
    QCOMPARE(file_attributes(f), std::uint32_t(attrs));
    QCOMPARE(dosAttrib(f), stored);
    QCOMPARE(is_read_only(f), bool(attrs & AttrReadOnly));
    QCOMPARE(is_listed(f), !(attrs & (AttrHidden | AttrSystem)));
    QCOMPARE(modeOf(f), (attrs & AttrReadOnly) ? mode_t(0444) : mode_t(0664));
    // Clearing read-only gives the owner write permission back.
    QVERIFY(set_file_attributes(f, 0));
    QCOMPARE(file_attributes(f), 0u);
    QVERIFY(modeOf(f) & S_IWUSR);
    QCOMPARE(readFile(f), QByteArray("data"));
}

void TstFileHelpers::sambaValueIsRead()
{
    QTemporaryDir dir;
    if (!keepsUserXattrs(dir.path()))
        QSKIP("the temporary folder keeps no user extended attributes");
    const QString f = dir.filePath("a.jpg");
    writeFile(f, "");
    // Samba stores the text with its NUL, then binary data.
    const char value[] = "0x22\0\x03\x00\x01";
    setxattr(QFile::encodeName(f).constData(), "user.DOSATTRIB", value, sizeof value - 1, 0);
    QCOMPARE(file_attributes(f), std::uint32_t(AttrHidden | AttrArchive));
    setxattr(QFile::encodeName(f).constData(), "user.DOSATTRIB", "garbage", 7, 0);
    QCOMPARE(file_attributes(f), 0u);
}

void TstFileHelpers::dotNamesAndMissingFiles()
{
    QTemporaryDir dir;
    writeFile(dir.filePath(".hidden"), "");
    writeFile(dir.filePath("shown.jpg"), "");
    QVERIFY(file_attributes(dir.filePath(".hidden")) & AttrHidden);
    QVERIFY(!is_listed(dir.filePath(".hidden")));
    QVERIFY(is_listed(dir.filePath("shown.jpg")));
    QVERIFY(!is_read_only(dir.filePath("shown.jpg")));
    QCOMPARE(file_attributes(dir.filePath("missing.jpg")), kInvalidAttributes);
    QVERIFY(is_read_only(dir.filePath("missing.jpg")));
    QVERIFY(!set_file_attributes(dir.filePath("missing.jpg"), AttrArchive));
}

void TstFileHelpers::makeWritableLeavesArchive()
{
    QTemporaryDir dir;
    const QString f = dir.filePath("a.jpg");
    writeFile(f, "x");
    const bool xattrs = keepsUserXattrs(dir.path());
    QVERIFY(set_file_attributes(f, AttrReadOnly | AttrHidden | AttrSystem));

    // Nothing changes on a CD-ROM.
    FakeDriveInfo cdrom;
    cdrom.addCdrom(dir.path());
    make_writable(f, cdrom);
    QVERIFY(is_read_only(f));

    FakeDriveInfo fixed;
    make_writable(f, fixed);
    QCOMPARE(file_attributes(f), xattrs ? std::uint32_t(AttrArchive) : 0u);
    QVERIFY(!is_read_only(f));
}

void TstFileHelpers::noExtendedAttributes()
{
    // User extended attributes are refused on anything but files and folders: a FIFO stands
    // for a file system that keeps none. Read-only still works, the other flags are passed over.
    QTemporaryDir dir;
    const QString fifo = dir.filePath("pipe");
    QCOMPARE(mkfifo(QFile::encodeName(fifo).constData(), 0644), 0);
    QVERIFY(set_file_attributes(fifo, AttrReadOnly | AttrHidden | AttrSystem));
    QCOMPARE(file_attributes(fifo), std::uint32_t(AttrReadOnly));
    make_writable(fifo);
    QCOMPARE(file_attributes(fifo), 0u);
    QVERIFY(is_listed(fifo));

    // A real file system without them, where the machine has one.
    bool found = false;
    for (const QString &folder : {QStringLiteral("/dev/shm"), QStringLiteral("/run/user/%1").arg(getuid())}) {
        if (!QFileInfo(folder).isWritable())
            continue;
        QTemporaryDir other(folder + "/vorn-test-XXXXXX");
        if (!other.isValid() || keepsUserXattrs(other.path()))
            continue;
        found = true;
        const QString f = other.filePath("a.jpg");
        writeFile(f, "x");
        QVERIFY(set_file_attributes(f, AttrReadOnly | AttrHidden));
        QCOMPARE(file_attributes(f), std::uint32_t(AttrReadOnly));
        make_writable(f);
        QCOMPARE(file_attributes(f), 0u);
    }
    if (!found)
        qInfo("no writable file system without user extended attributes here: only the FIFO case ran");
}

void TstFileHelpers::fakeDrives()
{
    FakeDriveInfo drives;
    drives.addCdrom("/media/cdrom");
    drives.addRemovable("/media/usb/");
    QVERIFY(drives.is_cdrom_drive("/media/cdrom/pics/a.jpg"));
    QVERIFY(drives.is_cdrom_drive("/media/cdrom"));
    QVERIFY(!drives.is_cdrom_drive("/media/cdrom2/a.jpg"));
    QVERIFY(drives.is_removable("/media/usb/a.jpg"));
    QVERIFY(!drives.is_cdrom_drive("/media/usb/a.jpg"));
    QCOMPARE(drives.mount_point("/media/usb/x/y"), QString("/media/usb/"));
    QCOMPARE(drives.mount_point("/home/x"), QString("/"));
    QVERIFY(!drives.is_removable("/home/x"));
}

void TstFileHelpers::systemDrives()
{
    SystemDriveInfo drives;
    QCOMPARE(drives.mount_point("/"), QString("/"));
    QTemporaryDir dir;
    // A path that does not exist yet lies on the drive of its folder.
    QCOMPARE(drives.mount_point(dir.filePath("new/deeper/a.jpg")), drives.mount_point(dir.path()));
    QVERIFY(!drives.is_cdrom_drive(dir.filePath("a.jpg")));
    if (QFileInfo("/proc").exists())
        QCOMPARE(drives.mount_point("/proc/self"), QString("/proc/"));
}

void TstFileHelpers::clearFolder()
{
    QTemporaryDir dir;
    QTemporaryDir outside;
    const QString f = dir.path() + "/";
    writeFile(f + "ro.jpg", "r");
    chmod(QFile::encodeName(f + "ro.jpg").constData(), 0444);
    writeFile(f + ".dot", "d");
    writeFile(f + "flagged.htm", "h");
    set_file_attributes(f + "flagged.htm", AttrHidden | AttrReadOnly);
    writeFile(f + "sub/inner.jpg", "i");
    writeFile(outside.filePath("target.jpg"), "t");
    chmod(QFile::encodeName(outside.filePath("target.jpg")).constData(), 0444);
    QVERIFY(QFile::link(outside.filePath("target.jpg"), f + "link.jpg"));
    const bool xattrs = keepsUserXattrs(dir.path());
    if (xattrs) {
        writeFile(f + "system.dat", "s");
        set_file_attributes(f + "system.dat", AttrSystem);
    }

    clear_folder(f);
    QStringList left =
        QDir(f).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    left.sort();
    QCOMPARE(left, xattrs ? QStringList({"sub", "system.dat"}) : QStringList{"sub"});
    QCOMPARE(readFile(f + "sub/inner.jpg"), QByteArray("i"));
    // The link went; what it pointed to is untouched.
    QCOMPARE(readFile(outside.filePath("target.jpg")), QByteArray("t"));
    QCOMPARE(modeOf(outside.filePath("target.jpg")), mode_t(0444));

    clear_folder(QString()); // no folder: nothing happens
    clear_folder(f + "missing/");
}

void TstFileHelpers::countCatalogPages()
{
    QTemporaryDir dir;
    QCOMPARE(count_catalog_pages(dir.path() + "/"), 0);
    for (const char *name : {"1.htm", "2.HTM", "3.html", "a.txt", "sub.htm/x"})
        writeFile(dir.filePath(name), "x");
    QCOMPARE(count_catalog_pages(dir.path() + "/"), 2);
    QCOMPARE(count_catalog_pages(dir.filePath("missing/")), 0);
}

void TstFileHelpers::paths_data()
{
    QTest::addColumn<QString>("function");
    QTest::addColumn<QString>("in");
    QTest::addColumn<QString>("out");
    QTest::newRow("add to folder") << "add"
                                   << "/pics"
                                   << "/pics/";
    QTest::newRow("add keeps one") << "add"
                                   << "/pics/"
                                   << "/pics/";
    QTest::newRow("add empty") << "add"
                               << ""
                               << "";
    QTest::newRow("drop double") << "drop"
                                 << "/a/b//"
                                 << "/a/b/";
    QTest::newRow("drop keeps single") << "drop"
                                       << "/a/b/"
                                       << "/a/b/";
    QTest::newRow("drop inner double") << "drop"
                                       << "/a//b"
                                       << "/a//b";
    QTest::newRow("dot first") << "dot"
                               << "Haus.tar.gz"
                               << "Haus";
    QTest::newRow("dot none") << "dot"
                              << "README"
                              << "README";
    QTest::newRow("dot leading") << "dot"
                                 << ".profile"
                                 << "";
}

void TstFileHelpers::paths()
{
    QFETCH(QString, function);
    QFETCH(QString, in);
    QFETCH(QString, out);
    if (function == "add")
        QCOMPARE(with_trailing_slash(in), out);
    else if (function == "drop")
        QCOMPARE(drop_doubled_slash(in), out);
    else
        QCOMPARE(name_before_dot(in), out);
}

void TstFileHelpers::placeholders()
{
    const QString de = "Dateiname";
    QCOMPARE(text_before_placeholder("(Dateiname)", de), QString("("));
    QCOMPARE(text_before_placeholder("Bild_Dateiname", de), QString("Bild_"));
    QCOMPARE(text_before_placeholder("(Filename)", de), QString());
    QCOMPARE(text_before_placeholder("x", QString()), QString());
    QCOMPARE(text_after_placeholder("(Dateiname)", "(", de), QString(")"));
    QCOMPARE(text_after_placeholder("Dateiname", "", de), QString());
    QCOMPARE(text_after_placeholder("ab", "abcdef", de), QString());
    QCOMPARE(text_after_placeholder("(Filename)-x", "(", "Filename"), QString(")-x"));
}

void TstFileHelpers::replaceAll_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("to");
    QTest::addColumn<bool>("caseSensitive");
    QTest::addColumn<QString>("result");
    QTest::newRow("ignoring case") << "aXbxc"
                                   << "x"
                                   << "--" << false << "a--b--c";
    QTest::newRow("case-sensitive") << "aXbxc"
                                    << "x"
                                    << "--" << true << "aXb--c";
    QTest::newRow("not rescanned") << "aaa"
                                   << "a"
                                   << "aa" << true << "aaaaaa";
    QTest::newRow("adjacent") << "\\\\\\\\"
                              << "\\\\"
                              << "/" << true << "//";
    QTest::newRow("removes") << "a/b/c"
                             << "/"
                             << "" << true << "abc";
    QTest::newRow("empty old") << "abc"
                               << ""
                               << "x" << true << "abc";
    QTest::newRow("umlaut case") << "ÄRGER ärger"
                                 << "ä"
                                 << "ae" << false << "aeRGER aerger";
}

void TstFileHelpers::replaceAll()
{
    QFETCH(QString, text);
    QFETCH(QString, from);
    QFETCH(QString, to);
    QFETCH(bool, caseSensitive);
    QFETCH(QString, result);
    QCOMPARE(replace_all(text, from, to, caseSensitive), result);
}

void TstFileHelpers::modificationTime()
{
    QTemporaryDir dir;
    const QString f = dir.filePath("a.jpg");
    writeFile(f, "x");
    struct stat before {
    };
    stat(QFile::encodeName(f).constData(), &before);
    const QDateTime when(QDate(1999, 12, 31), QTime(23, 59, 59, 800));
    QVERIFY(set_modification_time(f, when));
    struct stat after {
    };
    stat(QFile::encodeName(f).constData(), &after);
    QCOMPARE(qint64(after.st_mtim.tv_sec),
             QDateTime(QDate(1999, 12, 31), QTime(23, 59, 59)).toSecsSinceEpoch());
    QCOMPARE(after.st_mtim.tv_nsec, 0L);
    QCOMPARE(after.st_atim.tv_sec, before.st_atim.tv_sec);
    QCOMPARE(QFileInfo(f).lastModified(), QDateTime(QDate(1999, 12, 31), QTime(23, 59, 59)));

    chmod(QFile::encodeName(f).constData(), 0444); // a read-only file gets its time too
    QVERIFY(set_modification_time(f, QDateTime(QDate(2010, 1, 2), QTime(3, 4, 5))));
    QCOMPARE(QFileInfo(f).lastModified(), QDateTime(QDate(2010, 1, 2), QTime(3, 4, 5)));
    QVERIFY(!set_modification_time(dir.filePath("missing.jpg"), when));
    QVERIFY(!set_modification_time(f, QDateTime()));
}

QTEST_GUILESS_MAIN(TstFileHelpers)
#include "tst_filehelpers.moc"
