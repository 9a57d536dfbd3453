#include "codecs/picture_loader.h"

#include "codecs/bitmap_decoder.h"
#include "codecs/gif_decoder.h"
#include "codecs/image_memory.h"
#include "codecs/wmf_player.h"
#include "lang/texts.h"

#include "base/native_names.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QMovie>
#include <QTransform>

#include <climits>
#include <csetjmp>
#include <cstdio> // jpeglib.h needs FILE and size_t first
#include <jerror.h>
#include <jpeglib.h>

namespace vorn
{

PictureKind picture_kind(const QString &fileName)
{
    const QString ext = QFileInfo(fileName).suffix().toLower();
    if (ext == u"jpg" || ext == u"jpeg" || ext == u"jpe")
        return PictureKind::Jpeg;
    if (ext == u"bmp")
        return PictureKind::Bmp;
    if (ext == u"ico")
        return PictureKind::Ico;
    if (ext == u"gif")
        return PictureKind::Gif;
    if (ext == u"wmf")
        return PictureKind::Wmf;
    return PictureKind::Unknown;
}

QString load_failure_text(const Texts &texts, const QString &fileName)
{
    return texts.msg(Msg::File) + fileName.toUpper() + texts.msg(Msg::CouldNotLoad);
}

// ---------------------------------------------------------------------------------------------
// EXIF orientation

namespace
{

struct ByteView {
    const uchar *p;
    qsizetype n;
    bool little;
    bool u16(qsizetype off, quint16 *v) const
    {
        if (off < 0 || off + 2 > n)
            return false;
        *v = little ? quint16(p[off] | p[off + 1] << 8) : quint16(p[off] << 8 | p[off + 1]);
        return true;
    }
    bool u32(qsizetype off, quint32 *v) const
    {
        if (off < 0 || off + 4 > n)
            return false;
        const quint32 b0 = p[off], b1 = p[off + 1], b2 = p[off + 2], b3 = p[off + 3];
        *v = little ? (b0 | b1 << 8 | b2 << 16 | b3 << 24) : (b0 << 24 | b1 << 16 | b2 << 8 | b3);
        return true;
    }
};

} // namespace

int exif_orientation(const QByteArray &app1)
{
    // "Exif\0\0", then a TIFF header: byte order, 42, offset of the first directory (IFD0).
    static const char kExif[] = {'E', 'x', 'i', 'f', 0, 0};
    if (app1.size() < 6 + 8 || memcmp(app1.constData(), kExif, 6) != 0)
        return 1;
    const uchar *tiff = reinterpret_cast<const uchar *>(app1.constData()) + 6;
    const qsizetype n = app1.size() - 6;
    ByteView v{tiff, n, false};
    if (tiff[0] == 'I' && tiff[1] == 'I')
        v.little = true;
    else if (!(tiff[0] == 'M' && tiff[1] == 'M'))
        return 1;
    quint16 magic = 0;
    quint32 ifd = 0;
    quint16 count = 0;
    if (!v.u16(2, &magic) || magic != 42 || !v.u32(4, &ifd) || ifd > quint32(n) || !v.u16(ifd, &count))
        return 1;
    for (quint32 i = 0; i < count; ++i) {
        const qsizetype entry = qsizetype(ifd) + 2 + qsizetype(i) * 12;
        quint16 tag = 0, type = 0;
        quint32 num = 0;
        if (!v.u16(entry, &tag) || !v.u16(entry + 2, &type) || !v.u32(entry + 4, &num))
            return 1;
        if (tag != 0x0112)
            continue;
        quint16 value = 0;
        if (type != 3 || num < 1 || !v.u16(entry + 8, &value)) // SHORT, stored in the entry
            return 1;
        return value >= 1 && value <= 8 ? value : 1;
    }
    return 1;
}

QImage apply_exif_orientation(const QImage &image, int orientation)
{
    if (orientation <= 1 || orientation > 8 || image.isNull())
        return image;
    QTransform t;
    switch (orientation) {
    case 2:
        return image.mirrored(true, false);
    case 3:
        t.rotate(180);
        return image.transformed(t);
    case 4:
        return image.mirrored(false, true);
    case 5: // transpose: mirror, then rotate three quarter turns clockwise
        t.rotate(270);
        return image.mirrored(true, false).transformed(t);
    case 6:
        t.rotate(90);
        return image.transformed(t);
    case 7: // transverse: mirror, then rotate a quarter turn clockwise
        t.rotate(90);
        return image.mirrored(true, false).transformed(t);
    case 8:
        t.rotate(270);
        return image.transformed(t);
    }
    return image;
}

// ---------------------------------------------------------------------------------------------
// JPEG through libjpeg

int jpeg_scale_for(QSize natural, QSize shown)
{
    if (!shown.isValid())
        return 8;
    for (int m = 1; m < 8; ++m) {
        // libjpeg rounds the scaled size up.
        const qint64 w = (qint64(natural.width()) * m + 7) / 8;
        const qint64 h = (qint64(natural.height()) * m + 7) / 8;
        if (w >= shown.width() && h >= shown.height())
            return m;
    }
    return 8;
}

namespace
{

struct JpegError {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    bool damaged = false; // libjpeg warned about the data and went on
};

// The first Exif block of the file; the other APP1 segments are skipped as they stream by, so
// a file of a great many of them costs no memory and no time.
struct App1Reader {
    QByteArray exif;
    bool found = false;
};

// Progressive files can hold endless scans, each a pass over the whole picture. libjpeg-turbo's
// own tools refuse more than 500 scans. In addition the blocks visited by all scans together
// stay within a budget (a usual scan script visits each block 4 to 8 times), so that refusing a
// large hostile file costs little more than decoding a real picture of its size, and scans that
// contradict the progression (a repeated refinement) are tolerated only a few times.
constexpr int kMaxJpegScans = 500;
constexpr qint64 kScanPassesPerBlock = 12;
constexpr qint64 kMinScanBlockBudget = 1 << 20; // small pictures may use every allowed scan
constexpr int kMaxBogusScans = 2;

struct JpegProgress {
    jpeg_progress_mgr pub;
    int scan = 0;
    qint64 visited = 0;
    qint64 budget = 0;
    int bogus = 0; // scans out of the progression
    int lastBogus = 0;
};

extern "C" void jpeg_fail(j_common_ptr cinfo)
{
    std::longjmp(reinterpret_cast<JpegError *>(cinfo->err)->jump, 1);
}

extern "C" void jpeg_message(j_common_ptr cinfo, int level)
{
    if (level >= 0)
        return; // trace messages
    // Warnings about recoverable data (extra bytes before a marker, a damaged stretch of
    // entropy data, a premature end or a marker inside the data, a scan or two out of the
    // progression) show the picture, as other viewers do, with the missing rest grey; the
    // picture counts as damaged. A progression that contradicts itself again and again fails.
    auto *err = reinterpret_cast<JpegError *>(cinfo->err);
    switch (cinfo->err->msg_code) {
    case JWRN_JPEG_EOF:
    case JWRN_HIT_MARKER:
    case JWRN_EXTRANEOUS_DATA:
    case JWRN_HUFF_BAD_CODE:
    case JWRN_MUST_RESYNC:
    case JWRN_NOT_SEQUENTIAL:
    case JWRN_TOO_MUCH_DATA:
        err->damaged = true;
        break;
    case JWRN_BOGUS_PROGRESSION: { // once for each coefficient of the scan's band
        err->damaged = true;
        auto *progress = reinterpret_cast<JpegProgress *>(cinfo->progress);
        const int scan = reinterpret_cast<j_decompress_ptr>(cinfo)->input_scan_number;
        if (progress && progress->lastBogus != scan) {
            progress->lastBogus = scan;
            if (++progress->bogus > kMaxBogusScans)
                std::longjmp(reinterpret_cast<JpegError *>(cinfo->err)->jump, 1);
        }
        break;
    }
    default:
        break;
    }
}

extern "C" void jpeg_quiet(j_common_ptr) {}

// Takes the next byte of the source; false at its end.
bool source_byte(j_decompress_ptr d, int *b)
{
    jpeg_source_mgr *src = d->src;
    if (src->bytes_in_buffer == 0 && !src->fill_input_buffer(d))
        return false;
    --src->bytes_in_buffer;
    *b = *src->next_input_byte++;
    return true;
}

// The marker processor of APP1: keeps the payload of the first one that is an Exif block and
// passes over every other.
extern "C" boolean read_app1(j_decompress_ptr d)
{
    auto *reader = static_cast<App1Reader *>(d->client_data);
    int hi = 0, lo = 0;
    if (!source_byte(d, &hi) || !source_byte(d, &lo))
        return FALSE;
    qsizetype remaining = qsizetype(hi << 8 | lo) - 2;
    const bool keep = !reader->found;
    jpeg_source_mgr *src = d->src;
    while (remaining > 0) {
        if (src->bytes_in_buffer == 0 && !src->fill_input_buffer(d))
            return FALSE;
        const qsizetype n = std::min(remaining, qsizetype(src->bytes_in_buffer));
        if (keep)
            reader->exif.append(reinterpret_cast<const char *>(src->next_input_byte), n);
        src->next_input_byte += n;
        src->bytes_in_buffer -= size_t(n);
        remaining -= n;
    }
    if (keep) {
        reader->found = reader->exif.startsWith(QByteArrayView("Exif\0\0", 6));
        if (!reader->found)
            reader->exif.clear();
    }
    return TRUE;
}

extern "C" void jpeg_progress(j_common_ptr cinfo)
{
    if (!cinfo->is_decompressor)
        return;
    auto *d = reinterpret_cast<j_decompress_ptr>(cinfo);
    auto *progress = reinterpret_cast<JpegProgress *>(cinfo->progress);
    if (d->input_scan_number == progress->scan)
        return;
    progress->scan = d->input_scan_number;
    for (int i = 0; i < d->comps_in_scan; ++i)
        progress->visited +=
            qint64(d->cur_comp_info[i]->width_in_blocks) * d->cur_comp_info[i]->height_in_blocks;
    if (d->input_scan_number > kMaxJpegScans || progress->visited > progress->budget)
        std::longjmp(reinterpret_cast<JpegError *>(cinfo->err)->jump, 1);
}

struct JpegResult {
    QImage image; // as stored, before orientation
    QSize stored;
    QSize shown; // the upright size asked for (invalid: natural size)
    int orientation = 1;
    int scale = 8;
    bool damaged = false;
    bool scratch = false; // image is the thread's scratch picture
    App1Reader app1;      // here, in the caller's frame, as it must survive the longjmp
};

void cmyk_row_to_rgb32(const JSAMPLE *in, QRgb *out, JDIMENSION width, bool inverted)
{
    for (JDIMENSION x = 0; x < width; ++x, in += 4) {
        unsigned c = in[0], m = in[1], y = in[2], k = in[3];
        if (!inverted) {
            c = 255 - c;
            m = 255 - m;
            y = 255 - y;
            k = 255 - k;
        }
        // Adobe writes inverted CMYK: a stored value is 255 minus the ink.
        out[x] = qRgb(int(c * k / 255), int(m * k / 255), int(y * k / 255));
    }
}

// Decodes into *out (which lives in the caller's frame, so nothing here needs to survive the
// longjmp). Returns false on any libjpeg error or a data warning.
bool decode_jpeg(const uchar *data, size_t size, QSize shown, const ShownSizeRule *rule, qint64 maxPixels,
                 JpegResult *out)
{
    jpeg_decompress_struct cinfo;
    JpegError jerr;
    JpegProgress progress;
    cinfo.err = jpeg_std_error(&jerr.pub);
    jerr.pub.error_exit = jpeg_fail;
    jerr.pub.emit_message = jpeg_message;
    jerr.pub.output_message = jpeg_quiet;
    if (setjmp(jerr.jump)) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    jpeg_create_decompress(&cinfo);
    progress.pub.progress_monitor = jpeg_progress;
    progress.budget = kMinScanBlockBudget;
    cinfo.progress = &progress.pub;
    jpeg_mem_src(&cinfo, data, static_cast<unsigned long>(size));
    cinfo.client_data = &out->app1;
    jpeg_set_marker_processor(&cinfo, JPEG_APP0 + 1, read_app1);
    jpeg_read_header(&cinfo, TRUE);

    out->stored = QSize(int(cinfo.image_width), int(cinfo.image_height));
    if (cinfo.image_width == 0 || cinfo.image_height == 0 ||
        qint64(cinfo.image_width) * cinfo.image_height > maxPixels) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    qint64 blocks = 0;
    for (int i = 0; i < cinfo.num_components; ++i)
        blocks += qint64(cinfo.comp_info[i].width_in_blocks) * cinfo.comp_info[i].height_in_blocks;
    progress.budget = std::max(kMinScanBlockBudget, blocks * kScanPassesPerBlock);
    // Multi-scan files keep all coefficients in memory; within the same limit as the picture,
    // libjpeg refuses them before decoding instead of allocating without bound.
    cinfo.mem->max_memory_to_use = long(std::min<qint64>(maxPixels * 4 + (16 << 20), LONG_MAX));
    out->orientation = exif_orientation(out->app1.exif);
    if (rule)
        shown = (*rule)(out->orientation >= 5 ? out->stored.transposed() : out->stored);
    out->shown = shown;
    // The shown size is upright; compare it with the stored picture in stored orientation.
    if (shown.isValid() && out->orientation >= 5)
        shown.transpose();
    out->scale = jpeg_scale_for(out->stored, shown);
    cinfo.scale_num = unsigned(out->scale);
    cinfo.scale_denom = 8;

    const bool cmyk = cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK;
    if (cmyk)
        cinfo.out_color_space = JCS_CMYK;
    else
        cinfo.out_color_space = QSysInfo::ByteOrder == QSysInfo::LittleEndian ? JCS_EXT_BGRX : JCS_EXT_XRGB;

    jpeg_start_decompress(&cinfo);
    // Decoded to be scaled to the shown size: into the thread's scratch picture.
    out->scratch = shown.isValid() && QSize(int(cinfo.output_width), int(cinfo.output_height)) != shown;
    out->image =
        out->scratch
            ? take_scratch_image(int(cinfo.output_width), int(cinfo.output_height), QImage::Format_RGB32)
            : large_image(int(cinfo.output_width), int(cinfo.output_height), QImage::Format_RGB32);
    if (out->image.isNull()) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    if (cmyk) {
        JSAMPARRAY row = (*cinfo.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&cinfo), JPOOL_IMAGE,
                                                    cinfo.output_width * 4, 1);
        const bool inverted = cinfo.saw_Adobe_marker;
        while (cinfo.output_scanline < cinfo.output_height) {
            const int y = int(cinfo.output_scanline);
            if (jpeg_read_scanlines(&cinfo, row, 1) != 1)
                break;
            cmyk_row_to_rgb32(row[0], reinterpret_cast<QRgb *>(out->image.scanLine(y)), cinfo.output_width,
                              inverted);
        }
    } else {
        // Scanlines go straight into the image's rows, several at a time.
        JSAMPROW rows[16];
        uchar *bits = out->image.bits();
        const qsizetype bpl = out->image.bytesPerLine();
        while (cinfo.output_scanline < cinfo.output_height) {
            const JDIMENSION first = cinfo.output_scanline;
            const JDIMENSION n = std::min<JDIMENSION>(16, cinfo.output_height - first);
            for (JDIMENSION i = 0; i < n; ++i)
                rows[i] = bits + qsizetype(first + i) * bpl;
            if (jpeg_read_scanlines(&cinfo, rows, n) == 0)
                break;
        }
    }
    const bool complete = cinfo.output_scanline == cinfo.output_height;
    // The rest of the file (up to EOI) is not needed; a missing end marker is no reason to fail.
    out->damaged = jerr.damaged;
    jpeg_destroy_decompress(&cinfo);
    return complete;
}

LoadedPicture load_jpeg(const QByteArray &data, QSize shown, const ShownSizeRule *rule, qint64 maxPixels)
{
    LoadedPicture result;
    result.kind = PictureKind::Jpeg;
    if (data.isEmpty())
        return result;
    JpegResult r;
    if (!decode_jpeg(reinterpret_cast<const uchar *>(data.constData()), size_t(data.size()), shown, rule,
                     maxPixels, &r))
        return result;
    result.naturalSize = r.orientation >= 5 ? r.stored.transposed() : r.stored;
    result.jpegScaleEighths = r.scale;
    shown = r.shown;
    QImage image = std::move(r.image);
    if (shown.isValid()) {
        const QSize storedShown = r.orientation >= 5 ? shown.transposed() : shown;
        QImage decoded = std::move(image);
        if (shown.isEmpty())
            image = QImage();
        else if (decoded.size() != storedShown)
            image = decoded.scaled(storedShown, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        else
            image = decoded; // never the scratch picture: that is taken only to be scaled
        if (r.scratch)
            give_back_scratch_image(std::move(decoded));
    }
    result.image = apply_exif_orientation(image, r.orientation);
    result.damaged = r.damaged;
    result.ok = true;
    return result;
}

// ---------------------------------------------------------------------------------------------
// BMP, ICO and GIF

QImage fit_to(const QImage &image, QSize shown)
{
    if (!shown.isValid())
        return image;
    if (shown.isEmpty())
        return QImage();
    if (image.size() == shown)
        return image;
    return image.scaled(shown, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

bool within(QSize s, qint64 maxPixels)
{
    return s.width() > 0 && s.height() > 0 && qint64(s.width()) * s.height() <= maxPixels;
}

LoadedPicture load_raster(const QByteArray &data, PictureKind kind, QSize shown, const ShownSizeRule *rule,
                          bool middleFrame, qint64 maxPixels)
{
    LoadedPicture result;
    result.kind = kind;
    if (data.isEmpty())
        return result;
    QImage image;
    if (kind == PictureKind::Gif) {
        GifDecoder gif;
        int delay = 0;
        if (gif.open(data, maxPixels) && gif.next(&image, &delay)) {
            result.frameCount = gif.frameCount();
            // Asked for the middle frame (frame count div 2), that one instead of the first.
            for (int i = 0; middleFrame && i < gif.frameCount() / 2; ++i)
                if (!gif.next(&image, &delay))
                    image = QImage();
        }
    } else {
        image = kind == PictureKind::Bmp ? decode_bmp(data, maxPixels, &result.damaged)
                                         : decode_ico(data, maxPixels);
    }
    if (image.isNull() || !within(image.size(), maxPixels))
        return result;
    result.naturalSize = image.size();
    if (rule)
        shown = (*rule)(result.naturalSize);
    if (image.format() != QImage::Format_ARGB32_Premultiplied)
        image.convertTo(image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
    result.image = fit_to(image, shown);
    result.ok = true;
    return result;
}

LoadedPicture load_wmf(const QByteArray &data, QSize shown, const ShownSizeRule *rule, qint64 maxPixels)
{
    LoadedPicture result;
    result.kind = PictureKind::Wmf;
    WmfPlayer player;
    if (!player.load(data))
        return result;
    result.naturalSize = player.naturalSize();
    if (rule)
        shown = rule->operator()(result.naturalSize);
    QSize target = shown.isValid() ? shown : result.naturalSize;
    if (target.isEmpty()) {
        result.ok = true;
        return result;
    }
    if (!within(target, maxPixels))
        return result;
    result.image = player.render(target);
    result.ok = !result.image.isNull();
    return result;
}

} // namespace

LoadedPicture load_picture(const QByteArray &data, PictureKind kind, QSize shownSize, qint64 maxPixels)
{
    if (shownSize.isValid() && qint64(shownSize.width()) * shownSize.height() > maxPixels)
        shownSize = QSize(); // too big to hand out at once: the view scales the natural picture
    switch (kind) {
    case PictureKind::Jpeg:
        return load_jpeg(data, shownSize, nullptr, maxPixels);
    case PictureKind::Bmp:
    case PictureKind::Ico:
    case PictureKind::Gif:
        return load_raster(data, kind, shownSize, nullptr, false, maxPixels);
    case PictureKind::Wmf:
        return load_wmf(data, shownSize, nullptr, maxPixels);
    case PictureKind::Unknown:
        break;
    }
    return LoadedPicture();
}

namespace
{

// The bytes of a picture file of a known kind; empty when it cannot be read. Read, not mapped:
// a file shortened by another program while mapped would crash us.
QByteArray read_picture_file(const QString &path, PictureKind kind)
{
    if (kind == PictureKind::Unknown)
        return {};
    return read_whole_file(path);
}

LoadedPicture failed_load(PictureKind kind)
{
    LoadedPicture failed;
    failed.kind = kind;
    return failed;
}

} // namespace

LoadedPicture load_picture(const QString &path, QSize shownSize)
{
    const PictureKind kind = picture_kind(path);
    const QByteArray data = read_picture_file(path, kind);
    return data.isEmpty() ? failed_load(kind) : load_picture(data, kind, shownSize);
}

LoadedPicture load_picture_sized(const QByteArray &data, PictureKind kind, const ShownSizeRule &rule,
                                 qint64 maxPixels)
{
    switch (kind) {
    case PictureKind::Jpeg:
        return load_jpeg(data, QSize(), &rule, maxPixels);
    case PictureKind::Bmp:
    case PictureKind::Ico:
    case PictureKind::Gif:
        return load_raster(data, kind, QSize(), &rule, true, maxPixels);
    case PictureKind::Wmf:
        return load_wmf(data, QSize(), &rule, maxPixels);
    case PictureKind::Unknown:
        break;
    }
    return LoadedPicture();
}

LoadedPicture load_picture_sized(const QString &path, const ShownSizeRule &rule)
{
    const PictureKind kind = picture_kind(path);
    const QByteArray data = read_picture_file(path, kind);
    return data.isEmpty() ? failed_load(kind) : load_picture_sized(data, kind, rule);
}

// ---------------------------------------------------------------------------------------------
// GIF animation

// QMovie reads the frames through GifDecoder (registered under gif_movie_format()), so the
// animation is composited the same way as the first frame.
std::unique_ptr<QMovie> make_gif_movie(const QString &path)
{
    QFile file;
    if (!open_native(file, path, QIODevice::ReadOnly))
        return nullptr;
    return make_gif_movie(file.readAll());
}

std::unique_ptr<QMovie> make_gif_movie(const QByteArray &data)
{
    auto movie = std::make_unique<QMovie>();
    auto *buffer = new QBuffer(movie.get());
    buffer->setData(gif_movie_data(data));
    buffer->open(QIODevice::ReadOnly);
    movie->setFormat(gif_movie_format());
    movie->setDevice(buffer);
    if (!movie->isValid())
        return nullptr;
    movie->setCacheMode(QMovie::CacheNone);
    return movie;
}

} // namespace vorn
