// Files whose names are not UTF-8 (a Latin-1 name, as older systems and cameras write them)
// reach every view by their exact bytes: a JPEG is shown, catalogued and opened in the text and
// hex view on the real main window, a clip plays, and packing and adding to a ZIP keep the name.
#include "archives/folder_packer.h"
#include "archives/zip_archive.h"
#include "catalog/catalog_browser_widget.h"
#include "catalog/catalog_view.h"
#include "files/file_helpers.h"
#include "files/file_list_view.h"
#include "files/list_area_view.h"
#include "support/picture_fixtures.h"
#include "support/test_support.h"
#include "support/video_fixtures.h"
#include "viewers/documents/text_view.h"
#include "viewers/pictures/picture_view.h"
#include "viewers/video/media_engine.h"
#include "widgets/hex_widget.h"

#include <QBuffer>
#include <QPainter>
#include <QPlainTextEdit>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTabWidget>
#include <QToolButton>

#include <unistd.h>

using namespace vorn;
using namespace vorn::test;

namespace
{

const QByteArray kLatin1Jpeg = "latin1_\xe9.jpg";

QByteArray jpeg64x48()
{
    QImage image(64, 48, QImage::Format_RGB32);
    image.fill(QColor(200, 120, 40));
    return encode(image, "jpg");
}

} // namespace

class TstNativeNames : public QObject
{
    Q_OBJECT
  private slots:
    void pictureShownAndCatalogued();
    void pictureOpenedAsTextAndHex();
    void clipPlays();
    void packedAndZippedUnderItsBytes();
};

void TstNativeNames::pictureShownAndCatalogued()
{
    WindowFixture f;
    writeFile(f.path("vorn.cfg"), "0\r\n0\r\n0\r\nnormal\r\n");
    QVERIFY(QDir().mkpath(f.path("pics")));
    const QByteArray raw = native_path(f.path("pics/")) + kLatin1Jpeg;
    writeRaw(raw, jpeg64x48());
    auto cleanup = qScopeGuard([&] { removeRaw(f.path("pics")); });
    MainWindow &w = f.start();
    w.resize(1100, 800);
    w.listArea()->openFolder(f.path("pics"));
    QTRY_COMPARE(w.listArea()->folderList()->count(), 1);

    w.listArea()->folderList()->selectRow(0);
    w.listArea()->lvclick();
    QTRY_VERIFY(!w.pictureView()->isLoading());
    QCOMPARE(w.pictureView()->naturalSize(), QSize(64, 48));
    QVERIFY(f.prompter.messages().isEmpty());

    // The catalog: a thumbnail of it, and its link leads back to exactly this file.
    w.listArea()->tabs()->setCurrentIndex(2);
    QCoreApplication::processEvents();
    QSignalSpy done(w.catalogView(), &CatalogView::catalogCreated);
    f.find<QToolButton>("bt_catcreate")->click();
    QVERIFY(done.wait(20000));
    QVERIFY(f.prompter.messages().isEmpty());
    const QByteArray page = readFile(f.path("temp/1.htm"));
    QCOMPARE(int(page.count("<IMG ")), 1);
    QVERIFY(page.contains("latin1_%E9.jpg\""));
    const qsizetype href = page.indexOf("<A HREF=\"") + 9;
    const QUrl link(QString::fromLatin1(page.mid(href, page.indexOf('"', href) - href)));
    emit w.catalogView()->browser()->anchorClicked(link);
    QCOMPARE(native_path(w.catalogView()->catalogPicture()), raw);
}

void TstNativeNames::pictureOpenedAsTextAndHex()
{
    WindowFixture f;
    f.start();
    QVERIFY(QDir().mkpath(f.path("pics")));
    const QByteArray raw = native_path(f.path("pics/")) + kLatin1Jpeg;
    const QByteArray bytes = jpeg64x48();
    writeRaw(raw, bytes);
    auto cleanup = qScopeGuard([&] { removeRaw(f.path("pics")); });
    TextView *view = f.window->textView();
    view->showTextFile(path_from_native(raw));
    QVERIFY(f.prompter.messages().isEmpty());
    QVERIFY(view->editor1()->isEnabled());
    QCOMPARE(view->hexView()->size(), qint64(bytes.size()));
    QCOMPARE(view->hexView()->lineText(0).left(14), QStringLiteral("00000000: ffd8"));
    f.closeConfirmed();
}

void TstNativeNames::clipPlays()
{
    QTemporaryDir dir;
    const QString made = dir.filePath("clip.mpg");
    QVERIFY(make_clip(made, ClipCodec::Mpeg1));
    const QByteArray raw = native_path(dir.path()) + "/latin1_\xe9.mpg";
    QCOMPARE(::rename(native_path(made).constData(), raw.constData()), 0);
    auto cleanup = qScopeGuard([&] { ::unlink(raw.constData()); });
    MediaEngine engine;
    QSignalSpy opened(&engine, &MediaEngine::opened);
    engine.open(path_from_native(raw));
    QVERIFY(opened.wait(15000));
    QVERIFY(opened.first().first().toBool());
    QCOMPARE(engine.naturalSize(), QSize(320, 240));
}

void TstNativeNames::packedAndZippedUnderItsBytes()
{
    QTemporaryDir dir;
    const QString folder = dir.filePath("album");
    QVERIFY(QDir().mkpath(folder + "/sub"));
    const QByteArray base = native_path(folder);
    writeRaw(base + '/' + kLatin1Jpeg, "one");
    writeRaw(base + "/sub/caf\xe9.txt", "two");
    auto cleanup = qScopeGuard([&] { removeRaw(dir.path()); });

    // The program's own packed form: unpacked again under the same bytes.
    QBuffer packed;
    QVERIFY(packed.open(QIODevice::ReadWrite));
    QCOMPARE(pack_folder(folder, packed), int(PackOk));
    packed.seek(0);
    const QString out = dir.filePath("out");
    QVERIFY(QDir().mkpath(out));
    QCOMPARE(unpack_folder(packed, out, packed.size()), int(PackOk));
    QCOMPARE(rawNames(out + "/album"), QByteArrayList({kLatin1Jpeg, "sub"}));
    QCOMPARE(rawNames(out + "/album/sub"), QByteArrayList({"caf\xe9.txt"}));
    QCOMPARE(readRaw(native_path(out) + "/album/" + kLatin1Jpeg), QByteArray("one"));

    // A new archive from the folder, then one more file added to it: every name as its bytes.
    const QString zip = dir.filePath("album.zip");
    ZipAddOptions options;
    options.baseDir = dir.path();
    QVERIFY(ZipArchive::add(zip, {folder}, options).ok);
    writeRaw(base + "/\xff.jpg", "three");
    QVERIFY(ZipArchive::add(zip, {path_from_native(base + "/\xff.jpg")}, options).ok);
    const QByteArray archive = readFile(zip);
    QVERIFY(archive.contains("album/" + kLatin1Jpeg));
    QVERIFY(archive.contains("album/sub/caf\xe9.txt"));
    QVERIFY(archive.contains("album/\xff.jpg"));
    QVERIFY(!archive.contains("\xef\xbf\xbd"));
}

QTEST_MAIN(TstNativeNames)
#include "tst_native_names.moc"
