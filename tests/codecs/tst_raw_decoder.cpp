// Camera RAW through LibRaw: developed colours and sizes, the embedded preview for a small shown
// size and the development otherwise, the flip applied once on either path, damaged and hostile
// files, the pixel guard and cancelling. The files are DNGs written by the test.
#include "codecs/picture_kinds.h"
#include "codecs/picture_probe.h"
#include "codecs/raw_decoder.h"
#include "support/dng_writer.h"

#include <QPainter>
#include <QtTest>

#include <libraw/libraw.h>

using namespace vorn;
using namespace vorn::test;

namespace
{

const QRgb kPatches[4] = {qRgb(200, 60, 40), qRgb(40, 160, 80), qRgb(60, 80, 200), qRgb(128, 128, 128)};

// Four patches: top left, top right, bottom left, bottom right.
QImage patches(int w, int h)
{
    QImage image(w, h, QImage::Format_RGB32);
    QPainter p(&image);
    p.fillRect(0, 0, w / 2, h / 2, QColor(kPatches[0]));
    p.fillRect(w / 2, 0, w - w / 2, h / 2, QColor(kPatches[1]));
    p.fillRect(0, h / 2, w / 2, h - h / 2, QColor(kPatches[2]));
    p.fillRect(w / 2, h / 2, w - w / 2, h - h / 2, QColor(kPatches[3]));
    return image;
}

QImage filled(int w, int h, QRgb colour)
{
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

// Grey with a red top-left quarter: where the red quarter ends up shows the orientation.
QImage redCorner(int w, int h)
{
    QImage image = filled(w, h, qRgb(128, 128, 128));
    QPainter(&image).fillRect(0, 0, w / 2, h / 2, Qt::red);
    return image;
}

bool near(QRgb a, QRgb b, int tolerance)
{
    return std::abs(qRed(a) - qRed(b)) <= tolerance && std::abs(qGreen(a) - qGreen(b)) <= tolerance &&
           std::abs(qBlue(a) - qBlue(b)) <= tolerance;
}

QString rgbText(QRgb c)
{
    return QStringLiteral("(%1, %2, %3)").arg(qRed(c)).arg(qGreen(c)).arg(qBlue(c));
}

// The colour at the centre of a quarter (0 top left, 1 top right, 2 bottom left, 3 bottom right).
QRgb quarter(const QImage &image, int q)
{
    const int x = (q % 2) * image.width() / 2 + image.width() / 4;
    const int y = (q / 2) * image.height() / 2 + image.height() / 4;
    return image.pixel(x, y);
}

// Which quarter is red (-1: none or several).
int redQuarter(const QImage &image)
{
    int found = -1;
    for (int q = 0; q < 4; ++q) {
        const QRgb c = quarter(image, q);
        if (qRed(c) > 200 && qGreen(c) < 60 && qBlue(c) < 60) {
            if (found >= 0)
                return -1;
            found = q;
        }
    }
    return found;
}

DecodeRequest sized(QSize shown)
{
    DecodeRequest req;
    req.shownSize = shown;
    return req;
}

} // namespace

class TstRawDecoder : public QObject
{
    Q_OBJECT

  private slots:
    void developsColours_data();
    void developsColours();
    void previewOrDevelopment_data();
    void previewOrDevelopment();
    void flipAppliedOnce_data();
    void flipAppliedOnce();
    void refusesDamagedAndHostile_data();
    void refusesDamagedAndHostile();
    void previewOfCutFileIsDamaged();
    void probeReadsSizeFromHead();
    void probeFindsDirectoriesPastTheHead();
    void cancelStopsDevelopment();
    void kindsOfTheLinkedLibrary();
};

// A developed patch is its colour in sRGB, at 100 % and at half size, at the right size.
void TstRawDecoder::developsColours_data()
{
    QTest::addColumn<QSize>("shown");
    QTest::addColumn<QSize>("expected");
    QTest::newRow("natural size") << QSize() << QSize(64, 48);
    QTest::newRow("half size") << QSize(32, 24) << QSize(32, 24);
    QTest::newRow("between half and natural") << QSize(48, 36) << QSize(48, 36);
    QTest::newRow("quarter size") << QSize(16, 12) << QSize(16, 12);
}

void TstRawDecoder::developsColours()
{
    QFETCH(QSize, shown);
    QFETCH(QSize, expected);
    const QByteArray dng = dngBytes({patches(64, 48)});
    QVERIFY(!dng.isEmpty());
    const LoadedPicture p = decode_raw(dng, sized(shown));
    QVERIFY(p.ok);
    QCOMPARE(p.kind, PictureKind::Raw);
    QCOMPARE(p.naturalSize, QSize(64, 48));
    QCOMPARE(p.image.size(), expected);
    QVERIFY(!p.damaged);
    for (int q = 0; q < 4; ++q)
        QVERIFY2(near(quarter(p.image, q), kPatches[q], 12),
                 qPrintable(QStringLiteral("patch %1: %2, expected %3")
                                .arg(q)
                                .arg(rgbText(quarter(p.image, q)), rgbText(kPatches[q]))));
}

// The preview (green here, the sensor red) is taken only for a shown size it covers and of the
// sensor's shape; else, and at 100 %, the sensor is developed.
void TstRawDecoder::previewOrDevelopment_data()
{
    QTest::addColumn<QSize>("previewSize");
    QTest::addColumn<bool>("jpeg");
    QTest::addColumn<QSize>("shown");
    QTest::addColumn<bool>("fromPreview");
    QTest::newRow("JPEG preview covers the shown size") << QSize(64, 48) << true << QSize(32, 24) << true;
    QTest::newRow("JPEG preview exactly the shown size") << QSize(32, 24) << true << QSize(32, 24) << true;
    QTest::newRow("RGB preview covers the shown size") << QSize(40, 30) << false << QSize(20, 15) << true;
    QTest::newRow("preview smaller than shown") << QSize(16, 12) << true << QSize(32, 24) << false;
    QTest::newRow("preview of another shape") << QSize(64, 36) << true << QSize(32, 24) << false;
    QTest::newRow("natural size develops") << QSize(64, 48) << true << QSize() << false;
    QTest::newRow("shown at the natural size develops") << QSize(64, 48) << true << QSize(64, 48) << false;
}

void TstRawDecoder::previewOrDevelopment()
{
    QFETCH(QSize, previewSize);
    QFETCH(bool, jpeg);
    QFETCH(QSize, shown);
    QFETCH(bool, fromPreview);
    DngPicture dng{filled(64, 48, qRgb(220, 20, 20))};
    dng.preview = filled(previewSize.width(), previewSize.height(), qRgb(20, 200, 20));
    dng.previewJpeg = jpeg;
    const LoadedPicture p = decode_raw(dngBytes(dng), sized(shown));
    QVERIFY(p.ok);
    QCOMPARE(p.naturalSize, QSize(64, 48));
    QCOMPARE(p.image.size(), shown.isValid() ? shown : QSize(64, 48));
    const QRgb centre = p.image.pixel(p.image.width() / 2, p.image.height() / 2);
    QVERIFY2(near(centre, fromPreview ? qRgb(20, 200, 20) : qRgb(220, 20, 20), 16),
             qPrintable(rgbText(centre)));
}

// The red quarter stored top left ends up where the orientation puts it, once: on the
// developed picture, on a preview stored as the sensor is, and on a preview that carries the
// same orientation in its own EXIF block.
void TstRawDecoder::flipAppliedOnce_data()
{
    QTest::addColumn<int>("orientation");
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("expectedQuarter");
    const struct {
        int orientation;
        int quarter;
    } cases[] = {{1, 0}, {2, 1}, {3, 3}, {6, 1}, {8, 2}};
    const char *paths[] = {"development", "half development", "JPEG preview", "RGB preview",
                           "preview with EXIF"};
    for (const auto &c : cases)
        for (const char *path : paths)
            QTest::addRow("orientation %d, %s", c.orientation, path)
                << c.orientation << QString::fromLatin1(path) << c.quarter;
}

void TstRawDecoder::flipAppliedOnce()
{
    QFETCH(int, orientation);
    QFETCH(QString, path);
    QFETCH(int, expectedQuarter);
    DngPicture dng{redCorner(64, 48), orientation};
    if (path.contains(u"preview")) {
        // The preview is stored as the sensor is; only its colour differs (a brighter grey).
        dng.preview = redCorner(64, 48);
        QPainter(&dng.preview).fillRect(32, 24, 32, 24, QColor(230, 230, 230));
        dng.previewJpeg = !path.startsWith(u"RGB");
        if (path.contains(u"EXIF"))
            dng.previewExifOrientation = orientation;
    }
    const bool swapped = orientation >= 5;
    const QSize natural = swapped ? QSize(48, 64) : QSize(64, 48);
    QSize shown;
    if (path != u"development")
        shown = natural / 2;
    const LoadedPicture p = decode_raw(dngBytes(dng), sized(shown));
    QVERIFY(p.ok);
    QCOMPARE(p.naturalSize, natural);
    QCOMPARE(p.image.size(), shown.isValid() ? shown : natural);
    QCOMPARE(redQuarter(p.image), expectedQuarter);
    // The bright quarter sits opposite the red one only on the preview: it proves which path.
    const QRgb opposite = quarter(p.image, 3 - expectedQuarter);
    QCOMPARE(qRed(opposite) > 200, path.contains(u"preview"));
}

// Files cut short, not RAW at all, or claiming more pixels than allowed are refused.
void TstRawDecoder::refusesDamagedAndHostile_data()
{
    const QByteArray dng = dngBytes({patches(64, 48)});
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QSize>("shown");
    QTest::addColumn<qint64>("maxPixels");
    QTest::newRow("empty") << QByteArray() << QSize() << kMaxPicturePixels;
    QTest::newRow("a JPEG") << QByteArray("\xFF\xD8\xFF\xE0") + QByteArray(200, 'x') << QSize()
                            << kMaxPicturePixels;
    QTest::newRow("header only") << dng.left(16) << QSize() << kMaxPicturePixels;
    QTest::newRow("cut in the mosaic, natural")
        << dng.left(dng.size() * 3 / 4) << QSize() << kMaxPicturePixels;
    QTest::newRow("cut in the mosaic, fitted")
        << dng.left(dng.size() * 3 / 4) << QSize(16, 12) << kMaxPicturePixels;
    QTest::newRow("more pixels than allowed") << dng << QSize() << qint64(64 * 48 - 1);
    QTest::newRow("fitted, more pixels than allowed") << dng << QSize(16, 12) << qint64(64 * 48 - 1);
}

void TstRawDecoder::refusesDamagedAndHostile()
{
    QFETCH(QByteArray, data);
    QFETCH(QSize, shown);
    QFETCH(qint64, maxPixels);
    DecodeRequest req = sized(shown);
    req.maxPixels = maxPixels;
    const LoadedPicture p = decode_raw(data, req);
    QVERIFY(!p.ok);
    QVERIFY(p.image.isNull());
}

// A file cut in its sensor data still shows its whole preview, as damaged; its development
// fails.
void TstRawDecoder::previewOfCutFileIsDamaged()
{
    DngPicture dng{patches(64, 48)};
    dng.preview = patches(64, 48);
    const QByteArray whole = dngBytes(dng);
    const QByteArray cut = whole.left(whole.size() - 1000);
    const LoadedPicture fitted = decode_raw(cut, sized(QSize(32, 24)));
    QVERIFY(fitted.ok);
    QVERIFY(fitted.damaged);
    QCOMPARE(fitted.image.size(), QSize(32, 24));
    QVERIFY(!decode_raw(whole, sized(QSize(32, 24))).damaged);
    QVERIFY(!decode_raw(cut, sized(QSize())).ok);
}

// The upright natural size comes from the directories at the head of the file.
void TstRawDecoder::probeReadsSizeFromHead()
{
    DngPicture dng{patches(64, 48), 6};
    dng.preview = patches(64, 48);
    const QByteArray bytes = dngBytes(dng);
    QCOMPARE(probe_raw_size(bytes.left(bytes.size() / 2)), QSize(48, 64));
    QCOMPARE(probe_raw_size(bytes), QSize(48, 64));
    QVERIFY(!probe_raw_size(bytes.left(8)).isValid());
    QVERIFY(!probe_raw_size(QByteArray(4096, 'x')).isValid());
}

// A file whose directories lie past the first bytes (here after a detailed preview, as cameras
// and converters may write them) is still measured, so the picture view asks for the preview at
// the fitted size instead of a full development.
void TstRawDecoder::probeFindsDirectoriesPastTheHead()
{
    QImage noise(640, 480, QImage::Format_RGB32);
    quint32 seed = 12345;
    for (int y = 0; y < noise.height(); ++y) {
        auto *row = reinterpret_cast<quint32 *>(noise.scanLine(y));
        for (int x = 0; x < noise.width(); ++x)
            row[x] = 0xff000000u | ((seed = seed * 1664525u + 1013904223u) >> 8);
    }
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("late.dng"));
    DngPicture dng{patches(640, 480), 6};
    dng.preview = noise;
    QVERIFY(writeDng(path, dng));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(!probe_raw_size(file.read(kProbeBytes)).isValid()); // the head alone is not enough
    QCOMPARE(probe_picture_size(path), QSize(480, 640));
    QVERIFY(!probe_raw_file(dir.filePath(QStringLiteral("missing.dng"))).isValid());
}

// Cancelling stops the development between its steps, and the result is not ok.
void TstRawDecoder::cancelStopsDevelopment()
{
    const QByteArray dng = dngBytes({patches(64, 48)});
    int polls = 0;
    DecodeRequest req;
    req.cancelled = [&] { return ++polls > 3; };
    const LoadedPicture p = decode_raw(dng, req);
    QVERIFY(!p.ok);
    QVERIFY(p.image.isNull());
    QVERIFY(polls > 3);
    // The same request not cancelled develops.
    int calls = 0;
    req.cancelled = [&] { return ++calls < 0; };
    QVERIFY(decode_raw(dng, req).ok);
    QVERIFY(calls > 3);
}

void TstRawDecoder::kindsOfTheLinkedLibrary()
{
    // The RAW row offers exactly the kinds the linked LibRaw reads: CR3 needs 0.20 or later,
    // and X3F is read only by a LibRaw built with its X3F tools (Debian's 0.20 is not).
    const QStringList raw = picture_kind_info(PictureKind::Raw).extensions;
    for (const char *e : {"cr2", "crw", "nef", "nrw", "arw", "srf", "sr2", "dng", "orf", "raf", "rw2",
                          "rwl", "pef", "srw", "kdc", "dcr", "mrw", "3fr", "erf", "mef", "mos", "iiq"})
        QVERIFY2(raw.contains(QLatin1String(e)), e);
    QCOMPARE(raw.contains(QStringLiteral("cr3")), LibRaw::versionNumber() >= LIBRAW_MAKE_VERSION(0, 20, 0));
    const bool x3f = (libraw_capabilities() & LIBRAW_CAPS_X3FTOOLS) != 0;
    QCOMPARE(raw.contains(QStringLiteral("x3f")), x3f);
    QCOMPARE(picture_kind(QStringLiteral("a.X3F")), x3f ? PictureKind::Raw : PictureKind::Unknown);
}

QTEST_MAIN(TstRawDecoder)
#include "tst_raw_decoder.moc"
