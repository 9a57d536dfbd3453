// Paths on the command line: what the window lists, selects and shows for a folder, a file,
// several files and a missing path; the hand-over of a second start's paths through the local
// socket, also after a run that was killed and left its socket behind.
#include "app/command_line.h"
#include "app/instance_channel.h"
#include "files/list_area_view.h"
#include "lang/start_texts.h"
#include "support/test_support.h"
#include "viewers/documents/text_view.h"

#include <QDir>
#include <QProcess>
#include <QSignalSpy>

#include <cstdio>
#include <cstring>

using namespace vorn;
using vorn::test::writeFile;

namespace
{

constexpr char kSendArg[] = "--send-paths";
constexpr char kListenArg[] = "--listen-and-hang";

// Helper mode: a second start that hands argv[3...] to the channel named argv[2].
int sendPaths(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QStringList paths;
    for (int i = 3; i < argc; ++i)
        paths << QString::fromLocal8Bit(argv[i]);
    InstanceChannel channel(QString::fromLocal8Bit(argv[2]));
    return channel.send(paths) ? 0 : 1;
}

// Helper mode: a running program that listens on the channel named argv[2] until killed.
int listenAndHang(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    InstanceChannel channel(QString::fromLocal8Bit(argv[2]));
    if (!channel.listen())
        return 1;
    vorn::test::signalAndHang("listening");
}

QStringList selectedNames(MainWindow &w)
{
    FileListView *list = w.listArea()->folderList();
    QStringList names;
    for (int row : list->selectedRows())
        names << list->fileModel()->entry(row).name;
    return names;
}

} // namespace

class TstCommandLine : public QObject
{
    Q_OBJECT
  private slots:
    void parse_data();
    void parse();
    void openPaths_data();
    void openPaths();
    void secondStartHandsOverPaths();
    void staleSocketDoesNotBlock();
};

void TstCommandLine::parse_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("home");
    QTest::addColumn<QStringList>("paths");
    QTest::addColumn<bool>("help");
    QTest::addColumn<QString>("bad");
    QTest::newRow("home and relative path")
        << QStringList{"--home", "/h", "pics/../a.jpg"} << "/h" << QStringList{"/w/a.jpg"} << false << "";
    QTest::newRow("home=") << QStringList{"--home=/h", "/x"} << "/h" << QStringList{"/x"} << false << "";
    QTest::newRow("help") << QStringList{"-h"} << "" << QStringList{} << true << "";
    QTest::newRow("double dash ends options")
        << QStringList{"--", "--help"} << "" << QStringList{"/w/--help"} << false << "";
    QTest::newRow("unknown option") << QStringList{"--bogus", "/x"} << "" << QStringList{"/x"} << false
                                    << "--bogus";
    QTest::newRow("home without folder") << QStringList{"--home"} << "" << QStringList{} << false << "--home";
}

void TstCommandLine::parse()
{
    QFETCH(QStringList, args);
    QFETCH(QString, home);
    QFETCH(QStringList, paths);
    QFETCH(bool, help);
    QFETCH(QString, bad);
    const CommandLine cl = parse_command_line(args, QStringLiteral("/w"));
    QCOMPARE(cl.programDir, home);
    QCOMPARE(cl.paths, paths);
    QCOMPARE(cl.help, help);
    QCOMPARE(cl.badOption, bad);
}

void TstCommandLine::openPaths_data()
{
    QTest::addColumn<QStringList>("args");     // relative to the fixture's "pics" folder
    QTest::addColumn<QString>("listed");       // relative folder, with trailing '/'
    QTest::addColumn<QStringList>("selected"); // names selected in lv
    QTest::addColumn<QString>("shown");        // the text file shown, or empty
    QTest::addColumn<bool>("reportsMissing");
    QTest::newRow("folder") << QStringList{"sub"} << "sub/" << QStringList{} << "" << false;
    QTest::newRow("file") << QStringList{"b.txt"} << "" << QStringList{"b.txt"} << "b.txt" << false;
    QTest::newRow("several files") << QStringList{"c.txt", "a.txt"} << "" << QStringList{"a.txt", "c.txt"}
                                   << "" << false;
    QTest::newRow("missing path, then a file")
        << QStringList{"gone.txt", "a.txt"} << "" << QStringList{"a.txt"} << "a.txt" << true;
    QTest::newRow("only missing") << QStringList{"gone"} << "<start>" << QStringList{} << "" << true;
}

void TstCommandLine::openPaths()
{
    QFETCH(QStringList, args);
    QFETCH(QString, listed);
    QFETCH(QStringList, selected);
    QFETCH(QString, shown);
    QFETCH(bool, reportsMissing);

    test::WindowFixture f;
    const QString pics = f.path("pics/");
    for (const char *name : {"a.txt", "b.txt", "c.txt", "sub/d.txt"})
        writeFile(pics + name, "text");
    MainWindow &w = f.start();
    w.context().setLanguageIndex(English);
    const QString before = w.listArea()->listedFolder();

    QStringList paths;
    for (const QString &a : args)
        paths << pics + a;
    w.openPaths(paths);
    QTRY_VERIFY(!w.listArea()->folderList()->fileModel()->isListing());

    QCOMPARE(w.listArea()->listedFolder(), listed == "<start>" ? before : pics + listed);
    QCOMPARE(selectedNames(w), selected);
    if (!shown.isEmpty())
        QCOMPARE(w.textView()->currentFile(), pics + shown);
    bool reported = false;
    for (const auto &r : f.prompter.records())
        reported = reported || (r.text.startsWith(paths_not_found_text(English)) && r.text.contains("gone"));
    QCOMPARE(reported, reportsMissing);
}

void TstCommandLine::secondStartHandsOverPaths()
{
    test::WindowFixture f;
    writeFile(f.path("pics/x.txt"), "x");
    writeFile(f.path("pics/y.txt"), "y");
    MainWindow &w = f.start();
    const QString name = QStringLiteral("vorn-test-channel-%1").arg(QCoreApplication::applicationPid());
    InstanceChannel channel(name);
    QVERIFY(channel.listen());
    connect(&channel, &InstanceChannel::pathsReceived, &w, &MainWindow::openPaths);

    QProcess second;
    second.start(QCoreApplication::applicationFilePath(),
                 {kSendArg, name, f.path("pics/x.txt"), f.path("pics/y.txt")});
    QVERIFY(second.waitForStarted());
    // The second start waits for the first to read; meanwhile this event loop serves it.
    QTRY_COMPARE_WITH_TIMEOUT(second.state(), QProcess::NotRunning, 20000);
    QCOMPARE(second.exitCode(), 0);
    QTRY_COMPARE(w.listArea()->listedFolder(), f.path("pics/"));
    QTRY_COMPARE(selectedNames(w), QStringList({"x.txt", "y.txt"}));
}

void TstCommandLine::staleSocketDoesNotBlock()
{
    const QString name = QStringLiteral("vorn-test-stale-%1").arg(QCoreApplication::applicationPid());
    test::runHelperAndKill({kListenArg, name}, "listening");
    InstanceChannel next(name);
    QVERIFY(QFileInfo::exists(next.serverPath())); // the killed run left its socket
    // Nobody answers on the stale socket: a second start falls back to the guard's message.
    QVERIFY(!next.send({"/x"}, 2000));
    QVERIFY(next.listen());
    QSignalSpy got(&next, &InstanceChannel::pathsReceived);
    QProcess second;
    second.start(QCoreApplication::applicationFilePath(), {kSendArg, name, "/x"});
    QVERIFY(second.waitForStarted());
    QTRY_COMPARE_WITH_TIMEOUT(got.size(), 1, 20000);
    QCOMPARE(got.first().first().toStringList(), QStringList{"/x"});
    QTRY_COMPARE_WITH_TIMEOUT(second.state(), QProcess::NotRunning, 20000);
    QCOMPARE(second.exitCode(), 0);
}

int main(int argc, char *argv[])
{
    if (argc > 2 && std::strcmp(argv[1], kSendArg) == 0)
        return sendPaths(argc, argv);
    if (argc > 2 && std::strcmp(argv[1], kListenArg) == 0)
        return listenAndHang(argc, argv);
    QApplication app(argc, argv);
    TstCommandLine t;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&t, argc, argv);
}

#include "tst_command_line.moc"
