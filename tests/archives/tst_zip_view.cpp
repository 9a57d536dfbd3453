// The ZIP view on the real main window: opening and listing archives, the archive lock, the
// click extraction and preview, extracting with the options, packing with its warnings,
// adding and deleting, nested archives, sorting entries into a folder, and the rules of the
// grid rows and buttons as tables.
#include "app/view_stack_view.h"
#include "archives/zip_preview_view.h"
#include "archives/zip_view.h"
#include "files/fake_drive_info.h"
#include "files/list_area_view.h"
#include "sorting/sort_bar_view.h"
#include "sorting/sort_config_view.h"
#include "sorting/sort_engine.h"
#include "support/picture_fixtures.h"
#include "support/test_support.h"
#include "support/video_fixtures.h"
#include "support/zip_fixtures.h"
#include "viewers/documents/html_view.h"
#include "viewers/video/video_view.h"
#include "widgets/gradient_button.h"
#include "widgets/hex_widget.h"
#include "widgets/html_browser.h"
#include "widgets/image_widget.h"
#include "widgets/panel_status_bar.h"
#include "widgets/progress_panel.h"

#include <QCheckBox>
#include <QClipboard>
#include <QFileSystemModel>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>
#include <zip.h>

using namespace vorn;
using namespace vorn::test;

namespace
{

RawZipEntry entry(const QByteArray &name, const QByteArray &data, bool deflate = false)
{
    return {name, data, deflate, 0100644, false};
}

QByteArray smallJpeg()
{
    QImage image(4, 3, QImage::Format_RGB32);
    image.fill(Qt::darkGreen);
    return encode(image, "jpg");
}

} // namespace

class TstZipView : public QObject
{
    Q_OBJECT
  private slots:
    void ratios_data();
    void ratios();
    void packPaths_data();
    void packPaths();
    void previewKinds_data();
    void previewKinds();
    void buttonRules();
    void openListsAndLocks();
    void clickAndPreview();
    void previewInProgramViews_data();
    void previewInProgramViews();
    void htmlPreviewSourceAndCopy();
    void videoPreviewPlays();
    void openWithDesktopApplication_data();
    void openWithDesktopApplication();
    void encryptedEntriesAskForPassword_data();
    void encryptedEntriesAskForPassword();
    void passwordFieldIsMasked();
    void sortSourceText();
    void extractWithOptions();
    void hostileArchiveReported();
    void nestedArchiveOnce();
    void packWarningsAndName();
    void packAddAndDelete();
    void sortFromZipNeverOverwrites();
    void rowsNameExactlyTheirEntry();
    void overflowingSizesStated();
    void sortFromGridAfterItLostTheFocus();
    void sortCopyRunsOnTheJob();

  private:
    // A German window in ZIP mode with extract or pack mode on.
    ZipView &start(WindowFixture &f, bool pack = false);
    void openArchive(WindowFixture &f, const QString &path);
    void selectRows(ZipView &v, const QList<int> &rows);
    void click(WindowFixture &f, const char *name)
    {
        QTest::mouseClick(f.find<QToolButton>(name), Qt::LeftButton);
    }
    void setTarget(WindowFixture &f, const QString &folder);
};

ZipView &TstZipView::start(WindowFixture &f, bool pack)
{
    writeFile(f.path("vorn.cfg"), "0\r\n0\r\n0\r\nnormal\r\n");
    MainWindow &w = f.start();
    click(f, "bt_showzip");
    click(f, pack ? "bt_zipadd" : "bt_zipextract");
    return *w.zipView();
}

void TstZipView::openArchive(WindowFixture &f, const QString &path)
{
    f.prompter.pushText(path);
    click(f, "bt_zipopen");
}

void TstZipView::selectRows(ZipView &v, const QList<int> &rows)
{
    QTableWidget *grid = v.currentGrid();
    grid->clearSelection();
    for (int r : rows)
        grid->selectionModel()->select(grid->model()->index(r, 0),
                                       QItemSelectionModel::Select | QItemSelectionModel::Rows);
    v.zipgridclick();
    QTRY_VERIFY(!v.isBusy());
}

void TstZipView::setTarget(WindowFixture &f, const QString &folder)
{
    QDir().mkpath(folder);
    auto *tree = f.find<QTreeView>("tv_extractto");
    auto *model = static_cast<QFileSystemModel *>(tree->model());
    f.window->zipView()->tv_extracttoclick(model->index(folder));
}

void TstZipView::ratios_data()
{
    QTest::addColumn<quint64>("packed");
    QTest::addColumn<quint64>("size");
    QTest::addColumn<int>("ratio");
    QTest::newRow("a quarter") << quint64(250) << quint64(1000) << 75;
    QTest::newRow("hardly") << quint64(999) << quint64(1000) << 0;
    QTest::newRow("grown") << quint64(1100) << quint64(1000) << 0;
    QTest::newRow("empty") << quint64(0) << quint64(0) << 0;
}

void TstZipView::ratios()
{
    QFETCH(quint64, packed);
    QFETCH(quint64, size);
    QFETCH(int, ratio);
    QCOMPARE(zip_ratio(packed, size), ratio);
    ZipEntry e;
    e.name = QStringLiteral("Docs/Read.ME");
    e.key = e.name.toLower();
    e.packed = packed;
    e.size = size;
    const QList<QStringList> rows = zip_grid_rows({e}, German);
    QCOMPARE(rows.size(), 1);
    QCOMPARE(rows[0][ZcName], QStringLiteral("read.me"));
    QCOMPARE(rows[0][ZcRatio], QString::number(ratio) + QStringLiteral(" %"));
    QCOMPARE(rows[0][ZcPath], QStringLiteral("docs\\read.me"));
    QCOMPARE(rows[0][ZcKey], QStringLiteral("docs/read.me"));
}

void TstZipView::packPaths_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("archive");
    QTest::newRow("plain") << "/data/urlaub"
                           << "/data/urlaub.zip";
    QTest::newRow("other extension") << "/data/urlaub.rar"
                                     << "/data/urlaub.zip";
    QTest::newRow("two dots") << "/data/a.b.c"
                              << "/data/a.zip";
    QTest::newRow("folder only") << "/data/"
                                 << "";
    QTest::newRow("dot first") << "/data/.zip"
                               << "";
}

void TstZipView::packPaths()
{
    QFETCH(QString, typed);
    QFETCH(QString, archive);
    QCOMPARE(zip_pack_path(typed), archive);
}

void TstZipView::previewKinds_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("zipInZip");
    QTest::addColumn<int>("kind");
    QTest::newRow("read.me") << "read.me" << false << int(ZipPreviewKind::Text);
    QTest::newRow("no extension") << "README" << false << int(ZipPreviewKind::Text);
    QTest::newRow("exe") << "setup.exe" << false << int(ZipPreviewKind::Hex);
    QTest::newRow("jpg") << "urlaub.JPG" << false << int(ZipPreviewKind::Picture);
    QTest::newRow("gif") << "a.gif" << false << int(ZipPreviewKind::Gif);
    QTest::newRow("html") << "a.htm" << false << int(ZipPreviewKind::Html);
    QTest::newRow("video") << "a.mpg" << false << int(ZipPreviewKind::Video);
    QTest::newRow("zip") << "inner.zip" << false << int(ZipPreviewKind::Zip);
    QTest::newRow("zip as hex") << "inner.zip" << true << int(ZipPreviewKind::Hex);
}

void TstZipView::previewKinds()
{
    QFETCH(QString, name);
    QFETCH(bool, zipInZip);
    QFETCH(int, kind);
    QCOMPARE(int(zip_preview_kind(name, zipInZip)), kind);
}

void TstZipView::buttonRules()
{
    ZipButtonInput in;
    in.zipMode = true;
    in.extractMode = true;
    in.lastSlot = 0;
    in.hasCurrent = true;
    ZipButtonStates s = zip_button_states(in);
    QVERIFY(s.open && s.addFile && s.remove && s.close && !s.add && s.extract);
    in.lock = true;
    QVERIFY(!zip_button_states(in).open);
    in.lastSlot = 1; // a nested archive opened: add and delete need exactly one archive
    s = zip_button_states(in);
    QVERIFY(!s.addFile && !s.remove && s.close && s.startApp);
}

void TstZipView::openListsAndLocks()
{
    WindowFixture f;
    ZipView &v = start(f);
    const QString archive = f.path("a.zip");
    writeFile(archive, rawZip({{"Docs/", {}, false, 040755, false},
                               entry("Docs/Read.ME", QByteArray(1000, 'r'), true),
                               entry("Pic.JPG", noise(200, 1))}));
    openArchive(f, archive);
    QTableWidget *grid = f.find<QTableWidget>("sg_0");
    QVERIFY(grid);
    QCOMPARE(grid->rowCount(), 2);
    QCOMPARE(grid->item(0, ZcName)->text(), QStringLiteral("read.me"));
    QCOMPARE(grid->item(0, ZcPath)->text(), QStringLiteral("docs\\read.me"));
    QCOMPARE(grid->item(0, ZcKey)->text(), QStringLiteral("docs/read.me"));
    QCOMPARE(grid->item(1, ZcName)->text(), QStringLiteral("pic.jpg"));
    QCOMPARE(grid->horizontalHeaderItem(0)->text(), QStringLiteral("Dateiname    "));
    QCOMPARE(f.find<QTabWidget>("pc_zip")->tabText(0), QStringLiteral("a.zip"));
    // the open button locks until the archive is closed; the execute button refuses meanwhile
    QVERIFY(v.archiveLock());
    QVERIFY(!f.find<QToolButton>("bt_zipopen")->isEnabled());
    click(f, "bt_extractto");
    QCOMPARE(f.prompter.lastMessage(), QStringLiteral("Sie müssen die offene Zipdatei erst schließen!"));
    click(f, "bt_zipclose");
    QVERIFY(!v.archiveLock());
    QCOMPARE(v.lastSlot(), -1);
    QVERIFY(f.find<QToolButton>("bt_zipopen")->isEnabled());

    // an archive of folders only, and a file that is no archive: a message, no tab
    writeFile(f.path("folders.zip"), rawZip({{"only/", {}, false, 040755, false}}));
    openArchive(f, f.path("folders.zip"));
    QCOMPARE(f.prompter.lastMessage(), QStringLiteral("Keine Einträge in dieser Zipdatei!"));
    QVERIFY(!v.archiveLock()); // nothing opened, nothing locked
    writeFile(f.path("text.zip"), "not an archive");
    openArchive(f, f.path("text.zip"));
    QVERIFY(f.prompter.lastMessage().startsWith(QStringLiteral("Keine gültigen Zip-Einträge gefunden")));
    QCOMPARE(v.lastSlot(), -1);
    QCOMPARE(f.find<QTabWidget>("pc_zip")->count(), 0);
    QVERIFY(!f.window->findChild<QObject *>("zip_0"));
}

void TstZipView::clickAndPreview()
{
    WindowFixture f;
    ZipView &v = start(f);
    writeFile(f.path("a.zip"), rawZip({entry("docs/read.me", "hello text"), entry("setup.exe", "MZ\x90"),
                                       entry("bilder/urlaub.jpg", smallJpeg())}));
    openArchive(f, f.path("a.zip"));
    const QString zipDir = f.window->context().paths().zipDir;

    selectRows(v, {0, 1, 2}); // three rows: three copies, no preview
    QCOMPARE(treeOf(zipDir), (QStringList{"read.me", "setup.exe", "urlaub.jpg"}));
    v.zipgriddblclick();
    QVERIFY(!v.previewArea()->textView() && !v.previewArea()->pictureView()); // no viewer was needed

    selectRows(v, {0});
    v.currentGrid()->setFocus();
    v.zipgriddblclick();
    auto *memo = f.find<QPlainTextEdit>("zipmemo");
    QVERIFY(memo && memo->isVisible());
    QCOMPARE(memo->toPlainText(), QStringLiteral("hello text"));
    QVERIFY(memo->isReadOnly());
    QVERIFY(f.find<QToolButton>("bt_zipcopytoclipb")->isEnabled());
    QCOMPARE(v.entryInHand(), QStringLiteral("read.me"));
    QCOMPARE(f.window->focusWidget(), v.currentGrid()); // the grid keeps the focus (the sort source)

    selectRows(v, {1});
    v.zipgriddblclick();
    QVERIFY(!memo->isVisible());
    auto *hex = f.find<HexWidget>("ziphex");
    QVERIFY(hex && hex->isVisible());
    QCOMPARE(hex->bytesPerLine(), 24);
    QVERIFY(hex->lineText(0).contains(QStringLiteral("4d5a 90")));
    QVERIFY(!f.find<QToolButton>("bt_zipcopytoclipb")->isEnabled());

    selectRows(v, {2});
    v.zipgriddblclick();
    QVERIFY(!hex->isVisible());
    auto *image = f.find<ImageWidget>("zipimage");
    QVERIFY(image);
    QTRY_VERIFY(image->isVisible());
    QCOMPARE(image->size(), QSize(4, 3)); // its own size, not stretched
    QVERIFY(!v.archiveLock());            // a preview releases the lock

    click(f, "bt_zipclose"); // closing clears the preview
    QVERIFY(!image->isVisible());
    QVERIFY(memo->toPlainText().isEmpty());
}

void TstZipView::previewInProgramViews_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("viewer");
    QTest::newRow("no extension: text") << QByteArray("LIESMICH") << QByteArray("text") << "zipmemo";
    QTest::newRow("css: text") << QByteArray("web/site.css") << QByteArray("a{}") << "zipmemo";
    QTest::newRow("unknown: hex") << QByteArray("data.bin") << QByteArray("\x01\x02") << "ziphex";
    QTest::newRow("gif: animation") << QByteArray("anim.gif") << gif(3) << "zipgif";
    QImage red(5, 2, QImage::Format_RGB32);
    red.fill(Qt::red);
    QTest::newRow("bmp: picture") << QByteArray("x.bmp") << encode(red, "bmp") << "zipimage";
    QTest::newRow("html") << QByteArray("page.html") << QByteArray("<p>hi</p>") << "ziphtml";
}

void TstZipView::previewInProgramViews()
{
    QFETCH(QByteArray, name);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, viewer);
    WindowFixture f;
    ZipView &v = start(f);
    writeFile(f.path("a.zip"), rawZip({entry(name, bytes)}));
    openArchive(f, f.path("a.zip"));
    selectRows(v, {0});
    v.zipgriddblclick();
    QVERIFY(f.find<QWidget>(viewer));
    QTRY_VERIFY(f.find<QWidget>(viewer)->isVisible());
    QVERIFY(f.prompter.messages().isEmpty());
    // the program's own views in small: their tool bars and status bars stay hidden
    for (const char *own : {"tbar_text", "tbar_html", "tbar_view", "stat_text", "stat_html", "stat_view"})
        for (QWidget *w : v.previewArea()->findChildren<QWidget *>(QString::fromLatin1(own)))
            QVERIFY2(!w->isVisible(), own);
}

void TstZipView::htmlPreviewSourceAndCopy()
{
    WindowFixture f;
    ZipView &v = start(f);
    writeFile(f.path("a.zip"), rawZip({entry("index.htm", "<html><body><b>Bold</b> text</body></html>")}));
    openArchive(f, f.path("a.zip"));
    click(f, "bt_zipclose"); // the lock released; the HTML source button needs picture mode
    f.window->context().setMode(ViewMode::Pictures);
    v.showFile(f.path("a.zip"));
    selectRows(v, {0});
    v.zipgriddblclick();
    auto *html = f.find<HtmlBrowser>("ziphtml");
    QVERIFY(html && html->isVisible());
    QCOMPARE(html->toPlainText().trimmed(), QStringLiteral("Bold text"));
    QVERIFY(!f.find<QToolButton>("bt_zipcopytoclipb")->isEnabled()); // nothing selected yet
    html->selectAll();
    QVERIFY(f.find<QToolButton>("bt_zipcopytoclipb")->isEnabled());
    click(f, "bt_zipcopytoclipb");
    QCOMPARE(QApplication::clipboard()->text().trimmed(), QStringLiteral("Bold text"));

    QVERIFY(f.find<QToolButton>("bt_ziphtmlsource")->isEnabled());
    click(f, "bt_ziphtmlsource"); // the same entry again, as its source text
    QVERIFY(html->isVisible());
    QVERIFY(html->toPlainText().contains(QStringLiteral("<b>Bold</b>")));
}

void TstZipView::videoPreviewPlays()
{
    WindowFixture f;
    ZipView &v = start(f);
    QVERIFY(make_clip(f.path("clip.mpg"), ClipCodec::Mpeg1, QSize(160, 120), 25));
    writeFile(f.path("a.zip"),
              rawZip({entry("film/clip.mpg", readFile(f.path("clip.mpg"))), entry("b.txt", "b")}));
    openArchive(f, f.path("a.zip"));
    selectRows(v, {0});
    v.zipgriddblclick();
    QVERIFY(f.find<QWidget>("pn_zipmovie")->isVisible());
    VideoView *video = v.previewArea()->videoView();
    QVERIFY(video);
    QCOMPARE(video->engine().objectName(), QStringLiteral("mp_zip"));
    QTRY_VERIFY_WITH_TIMEOUT(video->isPlaying(), 20000); // plays as soon as it is open
    QCOMPARE(video->baseSize(), QSize(160, 120));
    QVERIFY(f.window->listArea()->isEnabled()); // the preview does not lock the window

    selectRows(v, {1}); // another entry: the preview is cleared, the player stopped and closed
    v.zipgriddblclick();
    QVERIFY(!video->isPlaying());
    QCOMPARE(video->engine().deviceId(), 0);
    QVERIFY(!f.find<QWidget>("pn_zipmovie")->isVisible());
}

void TstZipView::openWithDesktopApplication_data()
{
    QTest::addColumn<bool>("desktopOpens");
    QTest::newRow("an application opens it") << true;
    QTest::newRow("no application") << false;
}

void TstZipView::openWithDesktopApplication()
{
    QFETCH(bool, desktopOpens);
    WindowFixture f;
    ZipView &v = start(f);
    QStringList opened;
    v.setDesktopOpener([&](const QString &path) {
        opened << path;
        return desktopOpens;
    });
    writeFile(f.path("a.zip"), rawZip({entry("docs/read.me", "hello")}));
    openArchive(f, f.path("a.zip"));
    f.prompter.clear();
    click(f, "bt_zipstartapp"); // nothing previewed yet
    QVERIFY(opened.isEmpty());
    QCOMPARE(f.prompter.lastMessage(), QStringLiteral("Keine passende Verknüpfung gefunden!"));

    selectRows(v, {0});
    v.zipgriddblclick();
    QVERIFY(f.find<QToolButton>("bt_zipstartapp")->isEnabled());
    f.prompter.clear();
    click(f, "bt_zipstartapp");
    QCOMPARE(opened, QStringList{f.window->context().paths().zipDir + "read.me"});
    QCOMPARE(f.prompter.messages().isEmpty(), desktopOpens);
    if (!desktopOpens)
        QCOMPARE(f.prompter.lastMessage(), QStringLiteral("Keine passende Verknüpfung gefunden!"));
    QVERIFY(!f.find<QToolButton>("bt_zipstartapp")->isEnabled());
}

void TstZipView::encryptedEntriesAskForPassword_data()
{
    QTest::addColumn<int>("method");
    QTest::newRow("traditional") << int(ZIP_EM_TRAD_PKWARE);
    QTest::newRow("aes-256") << int(ZIP_EM_AES_256);
}

void TstZipView::encryptedEntriesAskForPassword()
{
    QFETCH(int, method);
    WindowFixture f;
    ZipView &v = start(f);
    QVERIFY(writeLibzipArchive(f.path("secret.zip"), {{"secret.txt", "the secret"}, {"more.txt", "more"}},
                               "right", quint16(method)));
    openArchive(f, f.path("secret.zip"));
    const QString zipDir = f.window->context().paths().zipDir;
    const auto inputs = [&f] { // password questions, which mask what is typed
        int n = 0;
        for (const auto &r : f.prompter.records())
            n += r.kind == ScriptedPrompter::Kind::Secret;
        return n;
    };

    f.prompter.clear();
    f.prompter.pushText("wrong");
    selectRows(v, {0});
    QCOMPARE(inputs(), 1);
    QCOMPARE(f.prompter.lastMessage(),
             QStringLiteral("Fehler! Datei kann nicht entpackt werden!\nFalsches Passwort für: secret.txt"));
    QVERIFY(v.entryInHand().isEmpty());
    QCOMPARE(treeOf(zipDir), QStringList{});

    f.prompter.clear();
    f.prompter.pushText(QString()); // the same row asks again; the question cancelled
    selectRows(v, {0});
    QCOMPARE(inputs(), 1);
    QVERIFY(f.prompter.lastMessage().startsWith(QStringLiteral("Fehler! Datei kann nicht entpackt werden!")));
    QCOMPARE(treeOf(zipDir), QStringList{});

    f.prompter.clear();
    f.prompter.pushText("right");
    selectRows(v, {0});
    QCOMPARE(inputs(), 1);
    QVERIFY(f.prompter.messages().isEmpty());
    QCOMPARE(readFile(zipDir + "secret.txt"), QByteArray("the secret"));
    selectRows(v, {1}); // the archive's password is asked once
    QCOMPARE(inputs(), 1);
    QCOMPARE(readFile(zipDir + "more.txt"), QByteArray("more"));

    // another slot asks again; extracting to a folder then uses the remembered password
    setTarget(f, f.path("target"));
    click(f, "bt_zipclose");
    v.showFile(f.path("secret.zip"));
    f.prompter.clear();
    f.prompter.pushText("right");
    selectRows(v, {0, 1});
    QCOMPARE(inputs(), 1);
    click(f, "bt_extractto");
    QTRY_VERIFY(!v.isBusy());
    QCOMPARE(inputs(), 1);
    QCOMPARE(treeOf(f.path("target")), (QStringList{"more.txt", "secret.txt"}));
}

void TstZipView::passwordFieldIsMasked()
{
    WindowFixture f;
    ZipView &v = start(f);
    QVERIFY(
        writeLibzipArchive(f.path("secret.zip"), {{"secret.txt", "the secret"}}, "right", ZIP_EM_AES_256));
    openArchive(f, f.path("secret.zip"));
    f.prompter.setShowSecrets(f.window.get());
    QLineEdit::EchoMode echo = QLineEdit::Normal;
    QString caption;
    // answers the real password dialog once it is up: reads how it shows what is typed, types
    QTimer answer;
    answer.setInterval(0);
    connect(&answer, &QTimer::timeout, this, [&] {
        auto *dialog = qobject_cast<QInputDialog *>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        answer.stop();
        auto *field = dialog->findChild<QLineEdit *>();
        QVERIFY(field);
        echo = field->echoMode();
        caption = dialog->windowTitle();
        QTest::keyClicks(field, "right");
        dialog->accept();
    });
    answer.start();
    selectRows(v, {0});
    QCOMPARE(echo, QLineEdit::Password);
    QVERIFY(!caption.isEmpty());
    QCOMPARE(readFile(f.window->context().paths().zipDir + "secret.txt"), QByteArray("the secret"));
}

void TstZipView::sortSourceText()
{
    WindowFixture f;
    ZipView &v = start(f);
    writeFile(f.path("a.zip"), rawZip({entry("a.txt", "a")}));
    v.showFile(f.path("a.zip"));
    PanelStatusBar *stat = f.find<PanelStatusBar>("stat_sort");
    QVERIFY(stat);
    v.currentGrid()->setFocus();
    QCOMPARE(stat->panelText(1), QString()); // no sort template loaded

    SortConfig sortTemplate;
    sortTemplate.add_button();
    sortTemplate.setCaption(1, "A");
    sortTemplate.setFolder(1, f.path("x") + "/");
    const QString ctg = f.window->context().paths().templateDir + "t.ctg";
    QVERIFY(sortTemplate.save(ctg));
    f.prompter.pushText(ctg);
    f.window->findChild<SortConfigView *>()->bt_loadsortClick();
    QVERIFY(!f.window->findChild<SortConfigView *>()->sortConfig().templateName().isEmpty());
    f.window->listArea()->folderList()->setFocus();
    v.currentGrid()->setFocus();
    QTRY_COMPARE(stat->panelText(1), QStringLiteral("Quelle : Zip-Datei "));
}

void TstZipView::extractWithOptions()
{
    WindowFixture f;
    ZipView &v = start(f);
    writeFile(f.path("a.zip"), rawZip({entry("docs/read.me", "new"), entry("pic.jpg", "jpg")}));
    openArchive(f, f.path("a.zip"));
    click(f, "bt_zipclose"); // release the lock, open again as the file list would
    v.showFile(f.path("a.zip"));
    const QString target = f.path("target");
    writeFile(target + "/docs/read.me", "old");
    setTarget(f, target);
    QCOMPARE(f.find<QLineEdit>("lb_zipname")->text(), target + "/");
    selectRows(v, {0, 1});
    f.prompter.clear();
    click(f, "bt_extractto");
    QTRY_VERIFY(!v.isBusy());
    QCOMPARE(readFile(target + "/docs/read.me"), QByteArray("old"));
    QCOMPARE(readFile(target + "/pic.jpg"), QByteArray("jpg"));
    QVERIFY(f.prompter.lastMessage().startsWith(QStringLiteral("1 Datei(en) existierten bereits")));

    f.find<QCheckBox>("cb_usefolder")->setChecked(false);
    f.find<QCheckBox>("cb_overwrite")->setChecked(true);
    click(f, "bt_extractto");
    QTRY_VERIFY(!v.isBusy());
    QCOMPARE(readFile(target + "/read.me"), QByteArray("new"));
    QCOMPARE(readFile(target + "/docs/read.me"), QByteArray("old"));
}

void TstZipView::hostileArchiveReported()
{
    WindowFixture f;
    ZipView &v = start(f);
    writeFile(f.path("evil.zip"), rawZip({entry("../escape.txt", "x"), entry("fine.txt", "fine")}));
    v.showFile(f.path("evil.zip"));
    QCOMPARE(v.currentGrid()->rowCount(), 2);
    setTarget(f, f.path("target"));
    selectRows(v, {0, 1});
    QVERIFY(f.prompter.lastMessage().contains(QStringLiteral("../escape.txt")));
    click(f, "bt_extractto");
    QTRY_VERIFY(!v.isBusy());
    QVERIFY(f.prompter.lastMessage().startsWith(QStringLiteral("Fehler! Datei kann nicht entpackt werden!")));
    QVERIFY(f.prompter.lastMessage().contains(QStringLiteral("../escape.txt")));
    QCOMPARE(readFile(f.path("target/fine.txt")), QByteArray("fine"));
    QVERIFY(!QFileInfo::exists(f.path("escape.txt")));
}

void TstZipView::nestedArchiveOnce()
{
    WindowFixture f;
    ZipView &v = start(f);
    const QByteArray inner = rawZip({entry("deep.txt", "deep")});
    writeFile(f.path("outer.zip"), rawZip({entry("inner.zip", inner), entry("x.txt", "x")}));
    openArchive(f, f.path("outer.zip"));
    QVERIFY(f.find<QToolButton>("bt_zipdelete")->isEnabled());
    selectRows(v, {0});
    v.zipgriddblclick();
    QCOMPARE(f.find<QTabWidget>("pc_zip")->count(), 2);
    QCOMPARE(f.find<QTabWidget>("pc_zip")->currentIndex(), 1);
    QCOMPARE(v.currentGrid()->item(0, ZcName)->text(), QStringLiteral("deep.txt"));
    QVERIFY(!f.find<QToolButton>("bt_zipdelete")->isEnabled());
    QVERIFY(!f.find<QToolButton>("bt_zipaddfile")->isEnabled());
    f.find<QTabWidget>("pc_zip")->setCurrentIndex(0);
    selectRows(v, {0});
    v.zipgriddblclick();
    QCOMPARE(f.find<QTabWidget>("pc_zip")->count(), 2);
    QCOMPARE(v.openArchives().size(), 2);
}

void TstZipView::packWarningsAndName()
{
    WindowFixture f;
    ZipView &v = start(f, true);
    FakeDriveInfo drives;
    const QString stick = f.path("stick");
    writeFile(stick + "/photo.jpg", "p");
    drives.addRemovable(stick);
    f.window->context().setDrives(&drives);
    f.window->listArea()->openFolder(stick);
    QTRY_COMPARE(f.window->listArea()->folderList()->count(), 1);
    setTarget(f, f.path("out"));
    f.find<QCheckBox>("cb_selfolder")->click();
    QVERIFY(f.find<QCheckBox>("cb_subfolders")->isEnabled());
    f.find<QLineEdit>("lb_zipname")->setText(f.path("out") + "/all");

    f.prompter.clear();
    f.prompter.pushAnswer(Answer::Yes);
    f.prompter.pushAnswer(Answer::No); // No at the second warning
    click(f, "bt_extractto");
    QCOMPARE(f.prompter.messages().size(), 2);
    QVERIFY(f.prompter.messages()[0].startsWith(
        QStringLiteral("Sie wollen den kompletten Inhalt des Laufwerks packen?")));
    QVERIFY(f.prompter.messages()[1].startsWith(QStringLiteral("Zweite Warnung!")));
    QVERIFY(!v.isBusy());
    QVERIFY(!QFileInfo::exists(f.path("out/all.zip")));
    f.prompter.pushAnswer(Answer::No); // No at the first
    click(f, "bt_extractto");
    QCOMPARE(f.prompter.messages().size(), 3);
    QVERIFY(!QFileInfo::exists(f.path("out/all.zip")));

    // only the folder typed
    f.find<QCheckBox>("cb_selfolder")->click();
    f.window->listArea()->folderList()->selectRow(0);
    f.find<QLineEdit>("lb_zipname")->setText(f.path("out") + "/");
    click(f, "bt_extractto");
    QCOMPARE(f.prompter.lastMessage(), QStringLiteral("Geben Sie bitte einen Dateinamen ein!"));
    f.window->context().setDrives(nullptr);
}

void TstZipView::packAddAndDelete()
{
    WindowFixture f;
    ZipView &v = start(f, true);
    const QString pics = f.path("pics");
    for (const char *n : {"a.jpg", "b.jpg", "c.txt"})
        writeFile(pics + "/" + n, QByteArray(n).repeated(300));
    f.window->listArea()->openFolder(pics);
    QTRY_COMPARE(f.window->listArea()->folderList()->count(), 3);
    f.window->listArea()->folderList()->selectRow(0);
    setTarget(f, f.path("out"));
    f.find<QLineEdit>("lb_zipname")->setText(f.path("out") + "/urlaub.rar");
    click(f, "bt_extractto");
    QTRY_VERIFY(!v.isBusy());
    QCOMPARE(f.prompter.lastMessage(), QStringLiteral("1  Datei hinzugefügt!"));
    QCOMPARE(f.find<QLineEdit>("lb_zipname")->text(), f.path("out") + "/urlaub.zip");
    QCOMPARE(v.currentGrid()->rowCount(), 1);
    QVERIFY(v.archiveLock());

    // add the other two, then delete exactly the two selected rows
    f.window->listArea()->folderList()->selectAll();
    click(f, "bt_zipaddfile");
    QTRY_VERIFY(!v.isBusy());
    QCOMPARE(f.prompter.lastMessage(), QStringLiteral("3  Datei hinzugefügt!"));
    QCOMPARE(v.currentGrid()->rowCount(), 3);
    selectRows(v, {2}); // an earlier extraction of another row
    selectRows(v, {0, 1});
    click(f, "bt_zipdelete");
    QTRY_VERIFY(!v.isBusy());
    QCOMPARE(f.prompter.lastMessage(), QStringLiteral("2  Datei(en) gelöscht!"));
    QCOMPARE(v.currentGrid()->rowCount(), 1);
    QCOMPARE(v.currentGrid()->item(0, ZcName)->text(), QStringLiteral("c.txt"));
}

void TstZipView::sortFromZipNeverOverwrites()
{
    WindowFixture f;
    ZipView &v = start(f);
    writeFile(f.path("a.zip"), rawZip({entry("sub/pic.jpg", "from zip"), entry("other.txt", "o")}));
    v.showFile(f.path("a.zip"));
    const QString target = f.path("sorted");
    writeFile(target + "/pic.jpg", "mine");
    v.currentGrid()->selectRow(0); // never clicked: the copy comes from the archive itself
    SortEngine &engine = f.window->findChild<SortBarView *>()->engine();
    engine.sort_from_zip(target + "/");
    QTRY_VERIFY(!engine.isBusy());
    QVERIFY(f.prompter.messages().isEmpty());
    QCOMPARE(engine.journal().runs().size(), 1);
    QCOMPARE(readFile(target + "/pic.jpg"), QByteArray("mine"));
    QCOMPARE(readFile(target + "/pic (2).jpg"), QByteArray("from zip"));
}

void TstZipView::rowsNameExactlyTheirEntry()
{
    WindowFixture f;
    ZipView &v = start(f);
    // names that differ only in case are two entries: deleting one keeps the other
    writeFile(f.path("case.zip"),
              rawZip({entry("Photo.JPG", "upper"), entry("photo.jpg", "lower"), entry("keep.txt", "k")}));
    openArchive(f, f.path("case.zip"));
    QCOMPARE(v.currentGrid()->rowCount(), 3);
    selectRows(v, {1});
    QCOMPARE(readFile(f.window->context().paths().zipDir + "photo.jpg"), QByteArray("lower"));
    click(f, "bt_zipdelete");
    QTRY_VERIFY(!v.isBusy());
    QCOMPARE(f.prompter.lastMessage(), QStringLiteral("1  Datei(en) gelöscht!"));
    QStringList left;
    for (const ZipEntry &e : v.currentArchive()->entries())
        left << e.name;
    QCOMPARE(left, (QStringList{"Photo.JPG", "keep.txt"}));

    // a folder entry stored with a backslash is no row and shifts none
    writeFile(f.path("bs.zip"), rawZip({entry("first.txt", "first"), entry("dir\\", {}),
                                        entry("second.txt", "second"), entry("third.txt", "third")}));
    openArchive(f, f.path("bs.zip"));
    QCOMPARE(v.currentGrid()->rowCount(), 3);
    selectRows(v, {2});
    v.currentGrid()->setFocus();
    v.zipgriddblclick();
    QCOMPARE(v.entryInHand(), QStringLiteral("third.txt"));
    QTRY_COMPARE(f.find<QPlainTextEdit>("zipmemo")->toPlainText(), QStringLiteral("third"));
    QDir().mkpath(f.path("sorted"));
    SortEngine &engine = f.window->findChild<SortBarView *>()->engine();
    f.prompter.clear();
    engine.sort_from_zip(f.path("sorted") + "/");
    QTRY_VERIFY(!engine.isBusy());
    QVERIFY2(f.prompter.messages().isEmpty(), qPrintable(f.prompter.messages().join('\n')));
    QCOMPARE(treeOf(f.path("sorted")), QStringList{"third.txt"});
    QCOMPARE(readFile(f.path("sorted/third.txt")), QByteArray("third"));
}

void TstZipView::overflowingSizesStated()
{
    // declared sizes past what a signed count holds still show as figures, never as "0 bytes"
    const ZipProblem p{ZipIssue::TotalLimit, {}, QStringLiteral("18446744073709551615|274877906944")};
    const QString text = zip_problem_text(p, Texts(English));
    QVERIFY2(text.contains(QLatin1String("16.0 EB")), qPrintable(text));
    QVERIFY2(!text.startsWith(QLatin1String("Unpacking refused: 0 ")), qPrintable(text));
}

void TstZipView::sortFromGridAfterItLostTheFocus()
{
    WindowFixture f;
    ZipView &v = start(f);
    writeFile(f.path("a.zip"), rawZip({entry("pic.jpg", "from zip"), entry("other.txt", "o")}));
    openArchive(f, f.path("a.zip"));
    const QString target = f.path("sorted") + "/";
    QVERIFY(QDir().mkpath(target));
    SortEngine &engine = f.window->findChild<SortBarView *>()->engine();

    // a normal click: the preview extraction runs, the focus goes elsewhere meanwhile
    v.currentGrid()->setFocus();
    selectRows(v, {0});
    v.currentGrid()->clearFocus();
    QVERIFY(!v.currentGrid()->hasFocus());
    QVERIFY(engine.sort_into_target(target));
    QTRY_COMPARE(readFile(target + "pic.jpg"), QByteArray("from zip"));
    QTRY_VERIFY(!v.isBusy()); // the copy's run has ended, not only its file been written

    // the window moving the focus into the file list is not the user's choice: the grid stays
    // the only source, the list does not sort too
    QVERIFY(v.gridHasFocus());
    ListAreaView *area = f.window->listArea();
    area->openFolder(f.path("sorted"));
    FileListView *list = area->folderList();
    QVERIFY(list->isVisible());
    list->setFocus();
    QVERIFY(list->hasFocus());
    QVERIFY(v.gridHasFocus());
    QVERIFY(engine.sort_into_target(target));
    QTRY_VERIFY(!engine.isBusy());
    QCOMPARE(treeOf(f.path("sorted")), (QStringList{"pic (2).jpg", "pic.jpg"}));

    // a click into that list, which has the focus already, makes it the source: the grid's
    // entries are not copied again
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->viewport()->rect().bottomRight() - QPoint(4, 4));
    QVERIFY(list->hasFocus());
    QVERIFY(!v.gridHasFocus());
    QVERIFY(engine.sort_into_target(target));
    QTRY_VERIFY(!engine.isBusy());
    QCOMPARE(treeOf(f.path("sorted")), (QStringList{"pic (2).jpg", "pic.jpg"}));

    // a click on the grid makes it the source again
    QTest::mouseClick(v.currentGrid()->viewport(), Qt::LeftButton, {},
                      v.currentGrid()->visualRect(v.currentGrid()->model()->index(0, 0)).center());
    QTRY_VERIFY(!v.isBusy());
    QVERIFY(v.gridHasFocus());
}

void TstZipView::sortCopyRunsOnTheJob()
{
    WindowFixture f;
    ZipView &v = start(f);
    const QByteArray big = noise(6 << 20, 5);
    writeFile(f.path("a.zip"), rawZip({entry("big.bin", big), entry("other.txt", "o")}));
    openArchive(f, f.path("a.zip"));
    const QString target = f.path("sorted") + "/";
    QVERIFY(QDir().mkpath(target));
    auto *sortBar = f.window->findChild<SortBarView *>();
    SortEngine &engine = sortBar->engine();
    sortBar->assignQuickTarget(target);
    selectRows(v, {0}); // clicked: the preview copy is in zip_dir, the grid is the source
    auto *panel = f.find<ProgressPanel>("pn_sortprogress");
    QVERIFY(panel);

    // held inside the copy into the target: the window answers, shows the run, takes a cancel
    {
        FileOpGate gate(FileOpStage::DataCopied);
        f.find<GradientButton>("bt_intofolder1")->click();
        QVERIFY(engine.isBusy()); // the button returned while the copy goes on
        QTRY_VERIFY(gate.reached());
        QTRY_VERIFY(panel->isVisible());
        QVERIFY(v.isBusy()); // nothing else starts on the archive meanwhile
        QVERIFY(!engine.sort_into_target(target));
        QTest::mouseClick(panel->cancelButton(), Qt::LeftButton);
        QVERIFY(!panel->cancelButton()->isEnabled());
        gate.open();
        QTRY_VERIFY(!engine.isBusy());
    }
    QVERIFY(!panel->isVisible());
    QVERIFY(!v.isBusy());
    QVERIFY(f.prompter.messages().isEmpty());
    QCOMPARE(treeOf(f.path("sorted")), QStringList{});
    QVERIFY(engine.journal().isEmpty());

    // run through, it copies the entry and records the copy
    f.find<GradientButton>("bt_intofolder1")->click();
    QVERIFY(engine.isBusy());
    QTRY_VERIFY(!engine.isBusy());
    QVERIFY(f.prompter.messages().isEmpty());
    QCOMPARE(readFile(target + "big.bin"), big);
    QCOMPARE(engine.journal().runs().size(), 1);
}

QTEST_MAIN(TstZipView)
#include "tst_zip_view.moc"
