#include "codecs/picture_loader.h"

#include "codecs/bitmap_decoder.h"
#include "codecs/gif_decoder.h"
#include "codecs/image_memory.h"
#include "codecs/picture_colour.h"
#include "codecs/picture_shrink.h"
#include "codecs/wmf_player.h"
#include "lang/texts.h"

#include "base/native_names.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QMovie>
#include <QTransform>

#include <cerrno>
#include <climits>
#include <csetjmp>
#include <cstdio> // jpeglib.h needs FILE and size_t first
#include <cstdlib>
#include <jerror.h>
#include <jpeglib.h>
#include <memory>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vorn
{

QString load_failure_text(const Texts &texts, const QString &fileName)
{
    return texts.msg(Msg::File) + fileName.toUpper() + texts.msg(Msg::CouldNotLoad);
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

// A JPEG file is read through a small buffer as libjpeg asks for it, as libjpeg's own tools do:
// the whole file in memory would cost a page fault per 4 KiB of fresh memory on the first
// picture of a thread. The end of the file (also one shortened while it is read) is reported
// to libjpeg as a damaged end, as the memory source does.
constexpr size_t kJpegReadChunk = size_t(64) << 10;

struct JpegFileSource {
    jpeg_source_mgr pub;
    int fd = -1;
    std::unique_ptr<JOCTET[]> buffer;
};

extern "C" void file_source_init(j_decompress_ptr) {}

extern "C" boolean file_source_fill(j_decompress_ptr d)
{
    auto *src = reinterpret_cast<JpegFileSource *>(d->src);
    ssize_t n = 0;
    do
        n = ::read(src->fd, src->buffer.get(), kJpegReadChunk);
    while (n < 0 && errno == EINTR);
    if (n <= 0) {
        WARNMS(d, JWRN_JPEG_EOF);
        static const JOCTET kEnd[2] = {0xFF, JPEG_EOI};
        src->pub.next_input_byte = kEnd;
        src->pub.bytes_in_buffer = 2;
        return TRUE;
    }
    src->pub.next_input_byte = src->buffer.get();
    src->pub.bytes_in_buffer = size_t(n);
    return TRUE;
}

extern "C" void file_source_skip(j_decompress_ptr d, long count)
{
    auto *src = reinterpret_cast<JpegFileSource *>(d->src);
    if (count <= 0)
        return;
    if (size_t(count) <= src->pub.bytes_in_buffer) {
        src->pub.next_input_byte += count;
        src->pub.bytes_in_buffer -= size_t(count);
        return;
    }
    // Past the buffer: the file position moves on (beyond the end, the next read ends it).
    const off_t ahead = off_t(size_t(count) - src->pub.bytes_in_buffer);
    src->pub.bytes_in_buffer = 0;
    if (::lseek(src->fd, ahead, SEEK_CUR) < 0)
        ::lseek(src->fd, 0, SEEK_END);
}

extern "C" void file_source_term(j_decompress_ptr) {}

void use_file_source(j_decompress_ptr d, JpegFileSource *src)
{
    src->buffer.reset(new JOCTET[kJpegReadChunk]);
    src->pub.init_source = file_source_init;
    src->pub.fill_input_buffer = file_source_fill;
    src->pub.skip_input_data = file_source_skip;
    src->pub.resync_to_restart = jpeg_resync_to_restart;
    src->pub.term_source = file_source_term;
    src->pub.next_input_byte = nullptr;
    src->pub.bytes_in_buffer = 0;
    d->src = &src->pub;
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
    bool cmyk = false;    // converted to sRGB row by row already
    // Here, in the caller's frame, as they must survive the longjmp:
    App1Reader app1;
    QByteArray icc; // the APP2 colour profile, its chunks joined
    std::unique_ptr<CmykToSrgb> cmykToSrgb;
};

// Where decode_jpeg reads the JPEG from: bytes in memory, or an open file.
struct JpegInput {
    const uchar *data = nullptr;
    size_t size = 0;
    JpegFileSource *file = nullptr;
};

// Decodes into *out (which lives in the caller's frame, so nothing here needs to survive the
// longjmp). Returns false on any libjpeg error or a data warning.
bool decode_jpeg(const JpegInput &input, const DecodeRequest &request, JpegResult *out)
{
    const qint64 maxPixels = request.maxPixels;
    QSize shown = request.shownSize;
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
    if (input.file)
        use_file_source(&cinfo, input.file);
    else
        jpeg_mem_src(&cinfo, input.data, static_cast<unsigned long>(input.size));
    cinfo.client_data = &out->app1;
    jpeg_set_marker_processor(&cinfo, JPEG_APP0 + 1, read_app1);
    jpeg_save_markers(&cinfo, JPEG_APP0 + 2, 0xFFFF);
    jpeg_read_header(&cinfo, TRUE);
    JOCTET *icc = nullptr;
    unsigned int iccSize = 0;
    if (jpeg_read_icc_profile(&cinfo, &icc, &iccSize)) {
        out->icc = QByteArray(reinterpret_cast<const char *>(icc), qsizetype(iccSize));
        free(icc);
    }

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
    shown = requested_size(request, oriented_size(out->stored, out->orientation));
    out->shown = shown;
    // The shown size is upright; compare it with the stored picture in stored orientation.
    if (shown.isValid() && out->orientation >= 5)
        shown.transpose();
    out->scale = jpeg_scale_for(out->stored, shown);
    cinfo.scale_num = unsigned(out->scale);
    cinfo.scale_denom = 8;

    const bool cmyk = cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK;
    out->cmyk = cmyk;
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
        // Adobe writes inverted CMYK: a stored value is 255 minus the ink.
        out->cmykToSrgb = std::make_unique<CmykToSrgb>(out->icc, cinfo.saw_Adobe_marker);
        while (cinfo.output_scanline < cinfo.output_height) {
            const int y = int(cinfo.output_scanline);
            if ((y % 64 == 0 && request.cancelled && request.cancelled()) ||
                jpeg_read_scanlines(&cinfo, row, 1) != 1)
                break;
            out->cmykToSrgb->convertRow(row[0], reinterpret_cast<QRgb *>(out->image.scanLine(y)),
                                        int(cinfo.output_width));
        }
    } else {
        // Scanlines go straight into the image's rows, several at a time.
        JSAMPROW rows[16];
        uchar *bits = out->image.bits();
        const qsizetype bpl = out->image.bytesPerLine();
        while (cinfo.output_scanline < cinfo.output_height) {
            const JDIMENSION first = cinfo.output_scanline;
            if (request.cancelled && request.cancelled())
                break;
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

LoadedPicture load_jpeg(const JpegInput &input, const DecodeRequest &request)
{
    LoadedPicture result;
    result.kind = PictureKind::Jpeg;
    JpegResult r;
    if (!decode_jpeg(input, request, &r))
        return result;
    result.naturalSize = oriented_size(r.stored, r.orientation);
    result.jpegScaleEighths = r.scale;
    const QSize shown = r.shown;
    QImage image = std::move(r.image);
    if (shown.isValid()) {
        const QSize storedShown = oriented_size(shown, r.orientation);
        QImage decoded = std::move(image);
        if (shown.isEmpty())
            image = QImage();
        else if (decoded.size() != storedShown)
            image = shrink_image(decoded, storedShown);
        else
            image = decoded; // never the scratch picture: that is taken only to be scaled
        if (r.scratch)
            give_back_scratch_image(std::move(decoded));
    }
    if (!r.cmyk)
        convert_icc_to_srgb(&image, r.icc);
    result.image = apply_exif_orientation(image, r.orientation);
    result.damaged = r.damaged;
    result.ok = true;
    return result;
}

// A still raster picture (BMP, ICO) at the requested size.
LoadedPicture finish_raster(QImage image, PictureKind kind, const DecodeRequest &request, bool damaged)
{
    LoadedPicture result;
    result.kind = kind;
    if (image.isNull() || !within_pixels(image.size(), request.maxPixels))
        return result;
    result.naturalSize = image.size();
    result.frameCount = 1;
    result.damaged = damaged;
    if (image.format() != QImage::Format_ARGB32_Premultiplied)
        image.convertTo(image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
    result.image = fit_to(image, requested_size(request, result.naturalSize));
    result.ok = true;
    return result;
}

} // namespace

LoadedPicture decode_jpeg_picture(const QByteArray &data, const DecodeRequest &request)
{
    if (data.isEmpty()) {
        LoadedPicture failed;
        failed.kind = PictureKind::Jpeg;
        return failed;
    }
    JpegInput input;
    input.data = reinterpret_cast<const uchar *>(data.constData());
    input.size = size_t(data.size());
    return load_jpeg(input, request);
}

namespace
{

// A JPEG file, read as it is decoded; a file that is not a regular file is not read.
LoadedPicture load_jpeg_file(const QString &path, const DecodeRequest &request)
{
    LoadedPicture failed;
    failed.kind = PictureKind::Jpeg;
    const int fd = ::open(native_path(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return failed;
    struct stat st {
    };
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size <= 0) {
        ::close(fd);
        return failed;
    }
    JpegFileSource source;
    source.fd = fd;
    JpegInput input;
    input.file = &source;
    LoadedPicture picture = load_jpeg(input, request);
    ::close(fd);
    return picture;
}

} // namespace

LoadedPicture decode_bmp_picture(const QByteArray &data, const DecodeRequest &request)
{
    bool damaged = false;
    QImage image = data.isEmpty() ? QImage() : decode_bmp(data, request.maxPixels, &damaged);
    return finish_raster(std::move(image), PictureKind::Bmp, request, damaged);
}

LoadedPicture decode_ico_picture(const QByteArray &data, const DecodeRequest &request)
{
    QImage image = data.isEmpty() ? QImage() : decode_ico(data, request.maxPixels);
    return finish_raster(std::move(image), PictureKind::Ico, request, false);
}

LoadedPicture decode_gif_picture(const QByteArray &data, const DecodeRequest &request)
{
    GifDecoder gif;
    return decode_animation_frame(gif, data, PictureKind::Gif, request);
}

LoadedPicture decode_wmf_picture(const QByteArray &data, const DecodeRequest &request)
{
    LoadedPicture result;
    result.kind = PictureKind::Wmf;
    WmfPlayer player;
    if (!player.load(data))
        return result;
    result.naturalSize = player.naturalSize();
    result.frameCount = 1;
    const QSize shown = requested_size(request, result.naturalSize);
    const QSize target = shown.isValid() ? shown : result.naturalSize;
    if (target.isEmpty()) {
        result.ok = true;
        return result;
    }
    if (!within_pixels(target, request.maxPixels))
        return result;
    result.image = player.render(target);
    result.ok = !result.image.isNull();
    return result;
}

LoadedPicture load_picture(const QByteArray &data, PictureKind kind, QSize shownSize, qint64 maxPixels)
{
    if (shownSize.isValid() && qint64(shownSize.width()) * shownSize.height() > maxPixels)
        shownSize = QSize(); // too big to hand out at once: the view scales the natural picture
    DecodeRequest request;
    request.shownSize = shownSize;
    request.maxPixels = maxPixels;
    return decode_picture(data, kind, request);
}

namespace
{

LoadedPicture failed_load(PictureKind kind)
{
    LoadedPicture failed;
    failed.kind = kind;
    return failed;
}

} // namespace

LoadedPicture load_picture(const QString &path, const DecodeRequest &request)
{
    // Read, not mapped: a file shortened by another program while mapped would crash us.
    const PictureKind kind = picture_kind(path);
    if (kind == PictureKind::Jpeg)
        return load_jpeg_file(path, request);
    const QByteArray data = kind == PictureKind::Unknown ? QByteArray() : read_whole_file(path);
    return data.isEmpty() ? failed_load(kind) : decode_picture(data, kind, request);
}

LoadedPicture load_picture(const QString &path, QSize shownSize)
{
    DecodeRequest request;
    if (!shownSize.isValid() || qint64(shownSize.width()) * shownSize.height() <= request.maxPixels)
        request.shownSize = shownSize;
    return load_picture(path, request);
}

LoadedPicture load_picture_sized(const QByteArray &data, PictureKind kind, const ShownSizeRule &rule,
                                 qint64 maxPixels)
{
    DecodeRequest request;
    request.rule = &rule;
    request.maxPixels = maxPixels;
    request.middleFrame = true;
    return decode_picture(data, kind, request);
}

LoadedPicture load_picture_sized(const QString &path, const ShownSizeRule &rule)
{
    DecodeRequest request;
    request.rule = &rule;
    request.middleFrame = true;
    return load_picture(path, request);
}

} // namespace vorn
