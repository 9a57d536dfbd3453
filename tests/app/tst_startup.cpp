// The life of a run: what a first start creates, what the close question and shutdown write
// and remove, how "vorn.cfg" is read, damaged grid files at start, the single-instance guard
// across processes, and the about box.
#include "app/info_dialog.h"
#include "app/instance_guard.h"
#include "base/grid_text.h"
#include "base/paths.h"
#include "base/temp_files.h"
#include "base/window_state.h"
#include "files/list_area_view.h"
#include "files/mask_bar_view.h"
#include "support/test_support.h"

#include <QTableWidget>

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>

#include <cstdio>
#include <cstring>
#include <sys/stat.h>

using namespace vorn;
using vorn::test::readFile;
using vorn::test::writeFile;

namespace
{

constexpr char kHoldGuardArg[] = "--hold-guard";

QByteArray cfgBytes(const char *language, const char *state)
{
    return QByteArray("0\r\n0\r\n") + language + "\r\n" + state + "\r\n";
}

QByteArray defaultMask()
{
    QByteArray b("14,1\r\n");
    for (int i = 0; i < 14; ++i)
        b += "cw " + QByteArray::number(i) + ",31\r\n";
    return b;
}

// The helper mode of this executable: holds the guard named by argv[2] until its input closes.
int holdGuard(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    InstanceGuard guard(QString::fromLocal8Bit(argv[2]));
    const bool held = guard.acquire() == InstanceGuard::State::Acquired;
    std::fputs(held ? "acquired\n" : "refused\n", stdout);
    std::fflush(stdout);
    while (std::getchar() != EOF) {
    }
    return held ? 0 : 1;
}

constexpr char kStageAndHangArg[] = "--stage-and-hang";

// The helper mode of this executable: starts a staging folder in the program folder argv[2]
// as a catalog open does, writes a page into it and stops there, waiting to be killed.
int stageAndHang(char *argv[])
{
    const QString staging = make_temp_dir(QString::fromLocal8Bit(argv[2]));
    QFile page(staging + QStringLiteral("/1.htm"));
    if (staging.isEmpty() || !page.open(QIODevice::WriteOnly) || page.write("<html>half") < 0 ||
        !page.flush())
        return 1;
    test::signalAndHang("staged");
}

// The staging folders in the program folder.
QStringList stagingFolders(const test::WindowFixture &f)
{
    return QDir(f.dir.path()).entryList({QStringLiteral(".vorn-tmp-*")}, QDir::Dirs | QDir::Hidden);
}

} // namespace

class TstStartup : public QObject
{
    Q_OBJECT
  private slots:
    void firstStartCreatesFiles();
    void abortWritesNothing();
    void confirmedCloseCleansUp_data();
    void confirmedCloseCleansUp();
    void crashedStagingClearedAtStartAndClose();
    void programDirChoice_data();
    void programDirChoice();
    void startInUsersFolderLeavesItsTemp();
    void windowState_data();
    void windowState();
    void windowPlaceAndFolderKept();
    void damagedPlaceFileGivesDefaults_data();
    void damagedPlaceFileGivesDefaults();
    void placeFitsTheScreens_data();
    void placeFitsTheScreens();
    void languageLine_data();
    void languageLine();
    void qtDialogsSpeakTheLanguage();
    void damagedMaskStillStarts_data();
    void damagedMaskStillStarts();
    void maskLinesDecodedOneByOne();
    void secondProcessIsRefused();
    void alreadyRunningText();
    void aboutBox_data();
    void aboutBox();
};

void TstStartup::firstStartCreatesFiles()
{
    test::WindowFixture f;
    f.start();
    for (const char *dir : {"temp", "templates", "zipdir", "catalogs", "help"})
        QVERIFY2(QFileInfo(f.path(dir)).isDir(), dir);
    QVERIFY(!QFileInfo::exists(f.path("archiv")));
    QCOMPARE(readFile(f.path("vorn.cfg")), cfgBytes("1", "normal"));
    QCOMPARE(readFile(f.path("vorn.msk")), defaultMask());
    // The empty catalog list is an empty file; the grid keeps one empty row of two columns,
    // 300 pixels each, and reads the empty file back as itself.
    QVERIFY(QFileInfo::exists(f.path("vorn.pth")));
    QCOMPARE(readFile(f.path("vorn.pth")), QByteArray());
    StringGrid pth = f.window->catalogGrid();
    QCOMPARE(pth.colCount(), 2);
    QCOMPARE(pth.rowCount(), 1);
    QCOMPARE(pth.colWidth(1), 300);
    QCOMPARE(load_grid(f.path("vorn.pth"), pth), GridLoadStatus::Ok);
    QCOMPARE(pth, f.window->catalogGrid());
    QVERIFY(f.prompter.records().isEmpty());
    QCOMPARE(f.window->windowTitle(), MainWindow::fullTitle());
    QCOMPARE(f.window->size(), QSize(800, 600));
}

void TstStartup::abortWritesNothing()
{
    test::WindowFixture f;
    writeFile(f.path("vorn.cfg"), cfgBytes("0", "maximized"));
    MainWindow &w = f.start();
    writeFile(f.path("zipdir/entry.txt"), "x");
    writeFile(f.path("temp/1.htm"), "y");
    w.context().setLanguage(English); // would be written by a shutdown
    const QByteArray pth = readFile(f.path("vorn.pth"));

    f.prompter.pushAnswer(Answer::Abort);
    f.find<QToolButton>("bt_close")->click();
    QCOMPARE(f.prompter.records().size(), 1);
    QCOMPARE(f.prompter.records().first().buttons, Answer::Yes | Answer::Abort);
    QCOMPARE(f.prompter.lastMessage(), QString("Close this application?"));
    QVERIFY(w.isVisible());
    QCOMPARE(readFile(f.path("vorn.cfg")), cfgBytes("0", "maximized"));
    QCOMPARE(readFile(f.path("vorn.pth")), pth);
    QVERIFY(QFileInfo::exists(f.path("zipdir/entry.txt")));
    QVERIFY(QFileInfo::exists(f.path("temp/1.htm")));

    // The window's own close is swallowed the same way.
    f.prompter.pushAnswer(Answer::Abort);
    w.close();
    QVERIFY(w.isVisible());
    QCOMPARE(readFile(f.path("vorn.cfg")), cfgBytes("0", "maximized"));
}

void TstStartup::confirmedCloseCleansUp_data()
{
    QTest::addColumn<int>("language");
    QTest::addColumn<bool>("viaButton");
    QTest::newRow("German, close button") << int(German) << true;
    QTest::newRow("English, window close") << int(English) << false;
}

void TstStartup::confirmedCloseCleansUp()
{
    QFETCH(int, language);
    QFETCH(bool, viaButton);
    test::WindowFixture f;
    MainWindow &w = f.start();
    w.context().setLanguage(language);
    writeFile(f.path("zipdir/a.jpg"), "a");
    writeFile(f.path("zipdir/b.txt"), "b");
    writeFile(f.path("temp/1.htm"), "c");
    writeFile(f.path("temp/sub/kept.txt"), "d");

    f.prompter.pushAnswer(Answer::Yes);
    if (viaButton)
        f.find<QToolButton>("bt_close")->click();
    else
        w.close();
    QVERIFY(!w.isVisible());
    QVERIFY(!QFileInfo::exists(f.path("zipdir")));
    QVERIFY(!QFileInfo::exists(f.path("temp/1.htm")));
    QVERIFY(QFileInfo::exists(f.path("temp/sub/kept.txt"))); // subfolders are not entered
    for (const char *dir : {"templates", "catalogs", "help"})
        QVERIFY2(QFileInfo(f.path(dir)).isDir(), dir);
    QCOMPARE(readFile(f.path("vorn.cfg")), cfgBytes(language == German ? "0" : "1", "normal"));
    QCOMPARE(readFile(f.path("vorn.pth")), QByteArray("2,1\r\ncw 0,300\r\ncw 1,300\r\n"));
    f.window.reset();
}

void TstStartup::crashedStagingClearedAtStartAndClose()
{
    test::WindowFixture f;
    // one of a running instance (this process) is kept throughout
    const QString live = make_temp_dir(f.dir.path());
    QVERIFY(!live.isEmpty());
    test::runHelperAndKill({kStageAndHangArg, f.dir.path()}, "staged");
    QCOMPARE(stagingFolders(f).size(), 2);

    f.start();
    QCOMPARE(stagingFolders(f), QStringList{QFileInfo(live).fileName()});

    test::runHelperAndKill({kStageAndHangArg, f.dir.path()}, "staged");
    QCOMPARE(stagingFolders(f).size(), 2);
    f.closeConfirmed();
    QCOMPARE(stagingFolders(f), QStringList{QFileInfo(live).fileName()});
    QVERIFY(QDir(live).removeRecursively());
}

void TstStartup::programDirChoice_data()
{
    QTest::addColumn<QString>("given");
    QTest::addColumn<QString>("env");
    QTest::addColumn<bool>("cwdHasCfg");
    QTest::addColumn<QString>("xdg");
    QTest::addColumn<QString>("expected"); // "cwd/..." is relative to the current folder
    QTest::newRow("--home wins") << "/opt/v"
                                 << "/env/v" << true << "/x"
                                 << "/opt/v";
    QTest::newRow("--home relative") << "run"
                                     << "" << false << ""
                                     << "cwd/run";
    QTest::newRow("VORN_HOME") << ""
                               << "/env/v" << true << "/x"
                               << "/env/v";
    QTest::newRow("portable folder") << ""
                                     << "" << true << "/x"
                                     << "cwd";
    QTest::newRow("XDG data folder") << ""
                                     << "" << false << "/x"
                                     << "/x/vorn";
    QTest::newRow("XDG unset") << ""
                               << "" << false << ""
                               << "/h/.local/share/vorn";
    QTest::newRow("XDG relative is ignored") << ""
                                             << "" << false << "rel"
                                             << "/h/.local/share/vorn";
}

void TstStartup::programDirChoice()
{
    QFETCH(QString, given);
    QFETCH(QString, env);
    QFETCH(bool, cwdHasCfg);
    QFETCH(QString, xdg);
    QFETCH(QString, expected);
    QTemporaryDir cwd;
    if (cwdHasCfg)
        writeFile(cwd.filePath("vorn.cfg"), cfgBytes("1", "normal"));
    if (expected.startsWith("cwd"))
        expected = cwd.path() + expected.mid(3);
    QCOMPARE(choose_program_dir({given, env, cwd.path(), xdg, "/h"}), expected);
}

// A start in a folder of the user's (no vorn.cfg there) must neither use nor empty its temp/.
void TstStartup::startInUsersFolderLeavesItsTemp()
{
    QTemporaryDir user;
    QTemporaryDir data;
    writeFile(user.filePath("temp/thesis.txt"), "my work");
    writeFile(user.filePath("zipdir/keep.zip"), "zip");
    const QString oldCwd = QDir::currentPath();
    const QByteArray oldHome = qgetenv("VORN_HOME");
    qunsetenv("VORN_HOME");
    qputenv("XDG_DATA_HOME", data.path().toUtf8());
    QDir::setCurrent(user.path());
    ScriptedPrompter prompter;
    StartOptions o;
    o.prompter = &prompter;
    o.showSplash = false;
    auto w = std::make_unique<MainWindow>(o);
    QDir::setCurrent(oldCwd);
    if (!oldHome.isEmpty())
        qputenv("VORN_HOME", oldHome);
    QCOMPARE(w->context().paths().progDir, data.filePath("vorn/"));
    w->show();
    prompter.pushAnswer(Answer::Yes);
    w->close();
    w.reset();
    QCOMPARE(readFile(user.filePath("temp/thesis.txt")), QByteArray("my work"));
    QCOMPARE(readFile(user.filePath("zipdir/keep.zip")), QByteArray("zip"));
    QVERIFY(!QFileInfo::exists(user.filePath("vorn.cfg")));
    QVERIFY(QFileInfo(data.filePath("vorn/vorn.cfg")).isFile());
}

void TstStartup::windowState_data()
{
    QTest::addColumn<QByteArray>("line4");
    QTest::addColumn<bool>("maximized");
    QTest::newRow("maximized") << QByteArray("maximized") << true;
    QTest::newRow("capital M") << QByteArray("Maximized") << false;
    QTest::newRow("normal") << QByteArray("normal") << false;
    QTest::newRow("minimised run") << QByteArray("0") << false;
}

void TstStartup::windowState()
{
    QFETCH(QByteArray, line4);
    QFETCH(bool, maximized);
    test::WindowFixture f;
    writeFile(f.path("vorn.cfg"), cfgBytes("1", line4.constData()));
    MainWindow &w = f.start(false);
    QCOMPARE(w.context().config().opensMaximized(), maximized);
}

// The window's place and the folder listed last come back at the next start; vorn.cfg keeps its
// four lines.
void TstStartup::windowPlaceAndFolderKept()
{
    test::WindowFixture f;
    QDir().mkpath(f.path("pics/sub"));
    {
        MainWindow &w = f.start();
        w.setGeometry(QRect(30, 40, 600, 450));
        QCOMPARE(w.geometry(), QRect(30, 40, 600, 450));
        w.listArea()->openFolder(f.path("pics/sub"));
        f.closeConfirmed();
    }
    QCOMPARE(readFile(f.path("vorn.cfg")), cfgBytes("1", "normal"));
    MainWindow &w = f.start();
    QCOMPARE(w.geometry(), QRect(30, 40, 600, 450));
    QCOMPARE(w.listArea()->listedFolder(), f.path("pics/sub/"));
}

// A damaged or hostile place file is no obstacle: the window opens 800 x 600 on the home folder.
void TstStartup::damagedPlaceFileGivesDefaults_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("kind"); // "file", "fifo", "folder"
    QTest::newRow("binary") << QByteArray("\x00\xff\xfe geometry=1,2\x00") << "file";
    QTest::newRow("too few numbers") << QByteArray("geometry=10,10,640\nfolder=/nonexistent/x\n") << "file";
    QTest::newRow("overflowing numbers") << QByteArray("geometry=99999999999,2,3000000000,-5\n") << "file";
    QTest::newRow("no size") << QByteArray("geometry=10,10,0,0\n") << "file";
    QTest::newRow("beyond every screen") << QByteArray("geometry=5000,5000,640,480\n") << "file";
    QTest::newRow("relative folder") << QByteArray("folder=../..\n") << "file";
    QTest::newRow("huge") << QByteArray(200000, 'g') << "file";
    QTest::newRow("a pipe") << QByteArray() << "fifo";
    QTest::newRow("a folder") << QByteArray() << "folder";
}

void TstStartup::damagedPlaceFileGivesDefaults()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, kind);
    test::WindowFixture f;
    const QString file = f.path("vorn.win");
    if (kind == "fifo")
        QVERIFY(::mkfifo(QFile::encodeName(file).constData(), 0600) == 0);
    else if (kind == "folder")
        QVERIFY(QDir().mkpath(file));
    else
        writeFile(file, bytes);
    MainWindow &w = f.start();
    QCOMPARE(w.size(), QSize(800, 600));
    QCOMPARE(w.listArea()->listedFolder(), QDir::homePath() + "/");
    QVERIFY(f.prompter.records().isEmpty());
}

void TstStartup::placeFitsTheScreens_data()
{
    QTest::addColumn<QRect>("saved");
    QTest::addColumn<QList<QRect>>("screens");
    QTest::addColumn<QRect>("placed");
    const QList<QRect> one{QRect(0, 0, 1920, 1080)};
    const QList<QRect> two{QRect(0, 0, 1920, 1080), QRect(1920, 0, 1280, 1024)};
    QTest::newRow("as it was") << QRect(100, 80, 800, 600) << one << QRect(100, 80, 800, 600);
    QTest::newRow("second screen") << QRect(2000, 50, 800, 600) << two << QRect(2000, 50, 800, 600);
    QTest::newRow("screen gone") << QRect(2000, 50, 800, 600) << one << QRect();
    QTest::newRow("hanging over the edge") << QRect(1500, 900, 800, 600) << one << QRect(1120, 480, 800, 600);
    QTest::newRow("larger than the screen") << QRect(-50, -50, 4000, 3000) << one << QRect(0, 0, 1920, 1080);
    QTest::newRow("a sliver visible") << QRect(1900, 0, 800, 600) << one << QRect();
    QTest::newRow("mostly on the second") << QRect(1800, 100, 800, 600) << two << QRect(1920, 100, 800, 600);
    QTest::newRow("no screens") << QRect(0, 0, 800, 600) << QList<QRect>() << QRect();
    QTest::newRow("not known") << QRect() << one << QRect();
}

void TstStartup::placeFitsTheScreens()
{
    QFETCH(QRect, saved);
    QFETCH(QList<QRect>, screens);
    QFETCH(QRect, placed);
    QCOMPARE(fit_on_screens(saved, screens, QSize(480, 360)), placed);
}

void TstStartup::languageLine_data()
{
    QTest::addColumn<QByteArray>("cfg");
    QTest::addColumn<int>("language");
    QTest::newRow("German") << cfgBytes("0", "normal") << int(German);
    QTest::newRow("not a number") << cfgBytes("deutsch", "normal") << int(English);
    QTest::newRow("out of range") << cfgBytes("7", "normal") << int(English);
    QTest::newRow("empty") << cfgBytes("", "normal") << int(English);
    QTest::newRow("short file, LF only") << QByteArray("0\n0\n0\n") << int(German);
    QTest::newRow("no file") << QByteArray() << int(English);
}

void TstStartup::languageLine()
{
    QFETCH(QByteArray, cfg);
    QFETCH(int, language);
    test::WindowFixture f;
    if (!cfg.isEmpty())
        writeFile(f.path("vorn.cfg"), cfg);
    MainWindow &w = f.start();
    QCOMPARE(w.context().language(), language);
    QCOMPARE(f.find<QToolButton>("bt_close")->toolTip(),
             QString::fromUtf8(language == German ? "Programm beenden" : "close the program"));
    QVERIFY(f.prompter.records().isEmpty());
}

void TstStartup::qtDialogsSpeakTheLanguage()
{
    // The buttons of message boxes and file dialogs are Qt's own texts.
    const auto yes = [] { return QCoreApplication::translate("QPlatformTheme", "&Yes"); };
    test::WindowFixture f;
    writeFile(f.path("vorn.cfg"), cfgBytes("0", "normal"));
    MainWindow &w = f.start();
    QCOMPARE(yes(), QStringLiteral("&Ja"));
    w.context().setLanguage(English);
    QCOMPARE(yes(), QStringLiteral("&Yes"));
    w.context().setLanguage(German);
    QCOMPARE(yes(), QStringLiteral("&Ja"));
}

void TstStartup::damagedMaskStillStarts_data()
{
    QTest::addColumn<QByteArray>("mask");
    QTest::newRow("absurd size line") << QByteArray("100000000,100000000\r\n");
    QTest::newRow("no columns") << QByteArray("0,1\r\n");
    QTest::newRow("binary") << QByteArray("\x89PNG\r\n\x1a\n\0\0\0", 11);
}

void TstStartup::damagedMaskStillStarts()
{
    QFETCH(QByteArray, mask);
    test::WindowFixture f;
    writeFile(f.path("vorn.msk"), mask);
    MainWindow &w = f.start();
    QCOMPARE(f.prompter.messages(),
             QStringList("File contains no data or corrupt file " + w.context().paths().mskFile));
    QCOMPARE(f.prompter.records().first().icon, PromptIcon::Error);
    QVERIFY(w.isVisible());
    QCOMPARE(w.maskButtons()->grid()->columnCount(), 14);
    QCOMPARE(w.maskButtons()->grid()->rowCount(), 1);
    QCOMPARE(readFile(f.path("vorn.msk")), defaultMask());
}

void TstStartup::maskLinesDecodedOneByOne()
{
    test::WindowFixture f;
    // Cell 0 written by the Windows program, cell 1 by this one.
    writeFile(f.path("vorn.msk"), "14,1\r\n0,0,b\xe4r\r\n1,0,b\xc3\xa4r\r\n");
    MainWindow &w = f.start();
    QVERIFY(f.prompter.messages().isEmpty());
    const QString bear = QString::fromUtf8("bär");
    QCOMPARE(w.maskButtons()->userButton(0)->text(), bear);
    QCOMPARE(w.maskButtons()->userButton(1)->text(), bear);
    // Applied at start and written back: both cells as UTF-8.
    const QByteArray written = readFile(f.path("vorn.msk"));
    QVERIFY(written.contains("0,0,b\xc3\xa4r\r\n"));
    QVERIFY(written.contains("1,0,b\xc3\xa4r\r\n"));
}

void TstStartup::secondProcessIsRefused()
{
    const QString name = QStringLiteral("vorn-test-guard-%1").arg(QCoreApplication::applicationPid());
    QProcess holder;
    holder.start(QCoreApplication::applicationFilePath(), {kHoldGuardArg, name});
    QVERIFY(holder.waitForStarted());
    QVERIFY(holder.waitForReadyRead(30000));
    QCOMPARE(holder.readLine(), QByteArray("acquired\n"));

    {
        InstanceGuard second(name);
        QCOMPARE(second.acquire(), InstanceGuard::State::AlreadyRunning);
    }

    // The first copy is untouched by the refused second one: it still holds the lock.
    QCOMPARE(holder.state(), QProcess::Running);
    {
        InstanceGuard third(name);
        QCOMPARE(third.acquire(), InstanceGuard::State::AlreadyRunning);
    }

    // A copy that crashed leaves a stale lock, which the next start takes over.
    holder.kill();
    QVERIFY(holder.waitForFinished());
    InstanceGuard next(name);
    QCOMPARE(next.acquire(), InstanceGuard::State::Acquired);
}

void TstStartup::alreadyRunningText()
{
    for (int lang : {int(German), int(English)}) {
        const QString text = Texts::msg(Msg::AlreadyRunning, lang);
        QVERIFY(text.contains(QString::fromUtf8("Die Anwendung läuft bereits!")));
        QVERIFY(text.contains(QString("Application is already running!")));
    }
}

void TstStartup::aboutBox_data()
{
    QTest::addColumn<QByteArray>("language");
    QTest::addColumn<QString>("back");
    QTest::newRow("English") << QByteArray("1") << "Back";
    QTest::newRow("German") << QByteArray("0") << QString::fromUtf8("Zurück");
}

void TstStartup::aboutBox()
{
    QFETCH(QByteArray, language);
    QFETCH(QString, back);
    test::WindowFixture f;
    writeFile(f.path("vorn.cfg"), cfgBytes(language.constData(), "normal"));
    MainWindow &w = f.start();

    struct Seen {
        bool open = false;
        QString back;
        QString caption;
        int offsetAtOpen = -1;
        bool scrolled = false;
    };
    for (int round = 0; round < 2; ++round) {
        Seen seen;
        QTimer::singleShot(0, &w, [&] {
            auto *info = w.findChild<InfoDialog *>("form_info");
            if (!info)
                return;
            seen.open = true;
            seen.caption = info->windowTitle();
            seen.offsetAtOpen = info->banner()->offset();
            auto *bt = info->findChild<QPushButton *>("bt_back");
            seen.back = bt->text();
            // Let the credits run a little, so that a box reusing the old state would show it.
            seen.scrolled = QTest::qWaitFor([info] { return info->banner()->offset() > 1; }, 5000);
            bt->click();
        });
        f.find<QToolButton>("bt_info")->click();
        QVERIFY(seen.open);
        QCOMPARE(seen.back, back);
        QCOMPARE(seen.caption, QString::fromUtf8("Info über V.O.R.N."));
        QCOMPARE(seen.offsetAtOpen, 0);
        QVERIFY(seen.scrolled);
        QVERIFY(!w.findChild<InfoDialog *>());
    }
    const QStringList credits = InfoDialog::creditLines();
    QCOMPARE(credits.first(), QString("     In alphabetical order:"));
    for (const QString &line : credits)
        QVERIFY(line.startsWith("     "));
}

int main(int argc, char *argv[])
{
    if (argc == 3 && std::strcmp(argv[1], kHoldGuardArg) == 0)
        return holdGuard(argc, argv);
    if (argc == 3 && std::strcmp(argv[1], kStageAndHangArg) == 0)
        return stageAndHang(argv);
    QApplication app(argc, argv);
    TstStartup test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_startup.moc"
