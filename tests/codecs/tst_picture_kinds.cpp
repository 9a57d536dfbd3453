// The table of picture kinds: extensions, decoders and flags, how the file list, the ZIP preview
// and the loader follow it, and the shared frame picking of animations.
#include "archives/zip_browser.h"
#include "codecs/picture_kinds.h"
#include "codecs/picture_loader.h"
#include "files/file_kind.h"
#include "support/picture_fixtures.h"

#include <QMovie>
#include <QSet>
#include <QtTest>

using namespace vorn;

namespace
{

// Frames of one colour each (red, green, blue, ...), 100 ms apart.
class ColourFrames : public AnimationDecoder
{
  public:
    explicit ColourFrames(QList<QColor> colours, QSize size = QSize(4, 2)) : colours_(colours), size_(size) {}
    bool open(const QByteArray &data, qint64 maxPixels) override
    {
        return data == "frames" && qint64(size_.width()) * size_.height() <= maxPixels;
    }
    QSize size() const override { return size_; }
    int frameCount() const override { return int(colours_.size()); }
    int loopCount() const override { return -1; }
    int currentFrame() const override { return frame_; }
    bool next(QImage *frame, int *delayMs) override
    {
        if (frame_ + 1 >= frameCount())
            return false;
        ++frame_;
        *frame = QImage(size_, QImage::Format_ARGB32);
        frame->fill(colours_[frame_]);
        *delayMs = 100;
        return true;
    }
    void rewind() override { frame_ = -1; }

  private:
    QList<QColor> colours_;
    QSize size_;
    int frame_ = -1;
};

// Declares a large animation (frames of a canvas) but makes tiny frames, counting what it is
// asked to decode; frame i is red when i is even, blue when odd.
class DeclaredFrames : public AnimationDecoder
{
  public:
    DeclaredFrames(int frames, QSize canvas) : frames_(frames), canvas_(canvas) {}
    bool open(const QByteArray &, qint64) override { return true; }
    QSize size() const override { return canvas_; }
    int frameCount() const override { return frames_; }
    int loopCount() const override { return -1; }
    int currentFrame() const override { return frame_; }
    bool next(QImage *frame, int *delayMs) override
    {
        if (frame_ + 1 >= frames_)
            return false;
        ++frame_;
        ++decoded;
        *frame = QImage(1, 1, QImage::Format_ARGB32);
        frame->fill(frame_ % 2 ? Qt::blue : Qt::red);
        *delayMs = 100;
        return true;
    }
    void rewind() override { frame_ = -1; }
    int decoded = 0;

  private:
    int frames_;
    QSize canvas_;
    int frame_ = -1;
};

} // namespace

class TstPictureKinds : public QObject
{
    Q_OBJECT
  private slots:
    void describedKinds_data();
    void describedKinds();
    void reservedRows();
    void decoderMakesAPicture();
    void flags();
    void zipPreviewKinds_data();
    void zipPreviewKinds();
    void animationFrame_data();
    void animationFrame();
    void animationWorkIsBounded_data();
    void animationWorkIsBounded();
};

void TstPictureKinds::describedKinds_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<PictureKind>("kind");
    QTest::newRow("jpg") << "a/b.jpg" << PictureKind::Jpeg;
    QTest::newRow("JPE upper case") << "a/B.JPE" << PictureKind::Jpeg;
    QTest::newRow("jpeg") << "x.jpeg" << PictureKind::Jpeg;
    QTest::newRow("bmp") << "x.bmp" << PictureKind::Bmp;
    QTest::newRow("ico") << "x.Ico" << PictureKind::Ico;
    QTest::newRow("gif") << "x.gif" << PictureKind::Gif;
    QTest::newRow("wmf") << "x.WMF" << PictureKind::Wmf;
    QTest::newRow("other extension") << "x.gif.txt" << PictureKind::Unknown;
    QTest::newRow("dot in a folder only") << "a.jpg/readme" << PictureKind::Unknown;
    QTest::newRow("no name before the dot") << "a/.gif" << PictureKind::Gif;
    QTest::newRow("extension alone") << ".jpg" << PictureKind::Jpeg;
    QTest::newRow("nothing") << "" << PictureKind::Unknown;
}

void TstPictureKinds::describedKinds()
{
    QFETCH(QString, name);
    QFETCH(PictureKind, kind);
    QCOMPARE(picture_kind(name), kind);
    QCOMPARE(file_kind(name) == FileKind::Picture, kind != PictureKind::Unknown);
}

void TstPictureKinds::reservedRows()
{
    // Every kind has one row, and no extension belongs to two rows.
    const QStringList reserved = {"png", "webp", "avif", "heic", "heif", "hif", "jxl", "tif", "tiff",
                                  "svg", "cr2",  "cr3",  "crw",  "nef",  "nrw", "arw", "srf", "sr2",
                                  "dng", "orf",  "raf",  "rw2",  "rwl",  "pef", "srw", "kdc", "dcr",
                                  "mrw", "3fr",  "erf",  "mef",  "mos",  "iiq"};
    QSet<QString> seen;
    QSet<PictureKind> kinds;
    for (const PictureKindInfo &row : picture_kind_table()) {
        QVERIFY(!kinds.contains(row.kind));
        kinds.insert(row.kind);
        QVERIFY(!row.extensions.isEmpty());
        for (const QString &e : row.extensions) {
            QVERIFY2(!seen.contains(e), qPrintable(e));
            QCOMPARE(e, e.toLower());
            seen.insert(e);
        }
    }
    for (const QString &e : reserved)
        QVERIFY2(seen.contains(e), qPrintable(e));
    QCOMPARE(kinds.size(), 13); // every kind but Unknown
    QVERIFY(!kinds.contains(PictureKind::Unknown));
}

void TstPictureKinds::decoderMakesAPicture()
{
    // A row's extensions are pictures (for the file list and the loader) exactly when the row
    // has a decoder; files of the others load as nothing.
    const QStringList listed = picture_extensions();
    for (const PictureKindInfo &row : picture_kind_table()) {
        for (const QString &e : row.extensions) {
            const QString name = QStringLiteral("dir.x/a.") + e.toUpper();
            QCOMPARE(picture_kind(name), row.decode ? row.kind : PictureKind::Unknown);
            QCOMPARE(file_kind(name) == FileKind::Picture, row.decode != nullptr);
            QCOMPARE(listed.contains(QLatin1Char('.') + e), row.decode != nullptr);
        }
        if (!row.decode) {
            QVERIFY(!decode_picture(QByteArray("anything"), row.kind, DecodeRequest()).ok);
            QCOMPARE(decode_picture(QByteArray("anything"), row.kind, DecodeRequest()).kind, row.kind);
        }
    }
    QVERIFY(!decode_picture(test::encode(QImage(2, 2, QImage::Format_RGB32), "bmp"), PictureKind::Unknown,
                            DecodeRequest())
                 .ok);
    // The table's decoder is the loader's: a BMP decodes, and empty bytes do not.
    QImage blue(3, 2, QImage::Format_RGB32);
    blue.fill(Qt::blue);
    const LoadedPicture bmp = decode_picture(test::encode(blue, "bmp"), PictureKind::Bmp, DecodeRequest());
    QVERIFY(bmp.ok);
    QCOMPARE(bmp.kind, PictureKind::Bmp);
    QCOMPARE(bmp.image.pixelColor(2, 1), QColor(Qt::blue));
    QVERIFY(!decode_picture(QByteArray(), PictureKind::Bmp, DecodeRequest()).ok);
}

void TstPictureKinds::flags()
{
    QVERIFY(is_animated_kind(PictureKind::Gif));
    QVERIFY(make_animation_decoder(PictureKind::Gif));
    for (PictureKind k :
         {PictureKind::Jpeg, PictureKind::Bmp, PictureKind::Ico, PictureKind::Wmf, PictureKind::Unknown}) {
        QVERIFY(!is_animated_kind(k));
        QVERIFY(!make_animation_decoder(k));
        QVERIFY(!make_picture_movie(test::gif(2), k)); // only the kind's own decoder plays it
    }
    QVERIFY(is_transparent_kind(PictureKind::Ico) && is_transparent_kind(PictureKind::Wmf));
    QVERIFY(!is_transparent_kind(PictureKind::Bmp) && !is_transparent_kind(PictureKind::Jpeg));
    QVERIFY(!is_transparent_kind(PictureKind::Gif) && !is_transparent_kind(PictureKind::Raw));
    // Rendered again at the shown size: metafiles and drawings; decoded cheaper when smaller: JPEG.
    QVERIFY(picture_kind_info(PictureKind::Wmf).vector && picture_kind_info(PictureKind::Svg).vector);
    QVERIFY(!picture_kind_info(PictureKind::Jpeg).vector && picture_kind_info(PictureKind::Jpeg).reduced);
    QVERIFY(picture_kind_info(PictureKind::Jpeg).probe);
    QCOMPARE(picture_kind_info(PictureKind::Unknown).kind, PictureKind::Unknown);
    QVERIFY(!picture_kind_info(PictureKind::Unknown).decode);
}

void TstPictureKinds::zipPreviewKinds_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<ZipPreviewKind>("kind");
    QTest::newRow("jpg") << "p/a.JPG" << ZipPreviewKind::Picture;
    QTest::newRow("wmf") << "a.wmf" << ZipPreviewKind::Picture;
    QTest::newRow("gif") << "a.gif" << ZipPreviewKind::Animation;
    QTest::newRow("webp") << "a.webp" << ZipPreviewKind::Animation;
    QTest::newRow("text") << "a.txt" << ZipPreviewKind::Text;
    QTest::newRow("no extension") << "readme" << ZipPreviewKind::Text;
    QTest::newRow("unknown") << "a.xyz" << ZipPreviewKind::Hex;
}

void TstPictureKinds::zipPreviewKinds()
{
    QFETCH(QString, name);
    QFETCH(ZipPreviewKind, kind);
    QCOMPARE(zip_preview_kind(name, false), kind);
    // Every picture kind with a decoder shows as a picture.
    for (const QString &e : picture_extensions())
        QVERIFY(zip_preview_kind("a" + e, false) == ZipPreviewKind::Picture ||
                zip_preview_kind("a" + e, false) == ZipPreviewKind::Animation);
}

void TstPictureKinds::animationFrame_data()
{
    QTest::addColumn<int>("frames");
    QTest::addColumn<bool>("middle");
    QTest::addColumn<QSize>("shown");
    QTest::addColumn<QColor>("expected");
    QTest::newRow("first") << 5 << false << QSize() << QColor(Qt::red);
    QTest::newRow("middle of 5") << 5 << true << QSize() << QColor(Qt::blue);
    QTest::newRow("middle of 4") << 4 << true << QSize() << QColor(Qt::blue);
    QTest::newRow("middle of 1") << 1 << true << QSize() << QColor(Qt::red);
    QTest::newRow("middle, fitted") << 5 << true << QSize(2, 1) << QColor(Qt::blue);
}

void TstPictureKinds::animationFrame()
{
    QFETCH(int, frames);
    QFETCH(bool, middle);
    QFETCH(QSize, shown);
    QFETCH(QColor, expected);
    const QList<QColor> colours =
        QList<QColor>{Qt::red, Qt::green, Qt::blue, Qt::yellow, Qt::cyan}.mid(0, frames);
    ColourFrames decoder(colours);
    DecodeRequest request;
    request.middleFrame = middle;
    request.shownSize = shown;
    const LoadedPicture p = decode_animation_frame(decoder, "frames", PictureKind::Gif, request);
    QVERIFY(p.ok);
    QCOMPARE(p.frameCount, frames);
    QCOMPARE(p.naturalSize, QSize(4, 2));
    QCOMPARE(p.image.size(), shown.isValid() ? shown : QSize(4, 2));
    QCOMPARE(p.image.pixelColor(0, 0), expected);

    // Refused: not its data, too many pixels, cancelled on the way to the middle frame.
    ColourFrames other(colours);
    QVERIFY(!decode_animation_frame(other, "other", PictureKind::Gif, request).ok);
    DecodeRequest small = request;
    small.maxPixels = 7;
    ColourFrames big(colours);
    QVERIFY(!decode_animation_frame(big, "frames", PictureKind::Gif, small).ok);
    if (middle && frames > 1) {
        DecodeRequest cancelled = request;
        cancelled.cancelled = [] { return true; };
        ColourFrames stopped(colours);
        QVERIFY(!decode_animation_frame(stopped, "frames", PictureKind::Gif, cancelled).ok);
    }
}

void TstPictureKinds::animationWorkIsBounded_data()
{
    QTest::addColumn<int>("frames");
    QTest::addColumn<QSize>("canvas");
    QTest::addColumn<int>("index"); // of the frame a thumbnail shows
    QTest::newRow("small: the middle") << 7 << QSize(40, 30) << 3;
    QTest::newRow("one frame") << 1 << QSize(40, 30) << 0;
    // 2^28 pixels of work reach frame 2^28 / (4000 * 4000) - 1 of a thousand in the middle.
    QTest::newRow("2000 frames of 4000 x 4000") << 2000 << QSize(4000, 4000) << 15;
    QTest::newRow("canvas of the whole work") << 2000 << QSize(1 << 14, 1 << 14) << 0;
    QTest::newRow("most frames, smallest canvas") << 0x7fffffff << QSize(1, 1) << int(kMaxAnimationWork - 1);
}

void TstPictureKinds::animationWorkIsBounded()
{
    QFETCH(int, frames);
    QFETCH(QSize, canvas);
    QFETCH(int, index);
    DecodeRequest thumb;
    thumb.middleFrame = true;
    QCOMPARE(still_frame_index(thumb, frames, canvas), index);
    QCOMPARE(still_frame_index(DecodeRequest(), frames, canvas), 0);
    if (qint64(index) > 100000)
        return; // the table's bound, without walking the frames
    // The decode walks exactly to that frame: canvas pixels x frames stays within the bound.
    DeclaredFrames decoder(frames, canvas);
    const LoadedPicture p = decode_animation_frame(decoder, "frames", PictureKind::Webp, thumb);
    QVERIFY(p.ok);
    QCOMPARE(decoder.decoded, index + 1);
    QVERIFY(qint64(decoder.decoded) * canvas.width() * canvas.height() <= kMaxAnimationWork ||
            decoder.decoded == 1);
    QCOMPARE(p.image.pixelColor(0, 0), index % 2 ? QColor(Qt::blue) : QColor(Qt::red));
    // A cancel stops the walk at the next frame.
    DeclaredFrames stopped(frames, canvas);
    thumb.cancelled = [&stopped] { return stopped.decoded >= 2; };
    decode_animation_frame(stopped, "frames", PictureKind::Webp, thumb);
    QVERIFY(stopped.decoded <= 2);
}

QTEST_MAIN(TstPictureKinds)
#include "tst_picture_kinds.moc"
