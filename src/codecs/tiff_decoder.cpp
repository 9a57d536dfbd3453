#include "codecs/tiff_decoder.h"

#include "codecs/box_reducer.h"
#include "codecs/image_memory.h"
#include "codecs/picture_colour.h"
#include "codecs/picture_kinds.h"
#include "codecs/picture_orientation.h"

#include <QPainter>

#include <cstdarg>
#include <cstring>
#include <optional>
#include <tiffio.h>
#include <vector>

namespace vorn
{

namespace
{

// No single allocation of libtiff (a strip, a tile, a tag's values) is larger than this.
constexpr tmsize_t kMaxTiffAlloc = tmsize_t(256) << 20;
// Directories beyond this are not looked at.
constexpr int kMaxDirectories = 4096;
// Rows decoded between two looks at the cancel flag.
constexpr int kBandRows = 256;

struct Source {
    const char *data;
    toff_t size;
    toff_t at = 0;
};

extern "C" tmsize_t tiff_read(thandle_t h, void *buf, tmsize_t n)
{
    auto *s = static_cast<Source *>(h);
    if (n <= 0 || s->at >= s->size)
        return 0;
    const tmsize_t k = tmsize_t(std::min<toff_t>(toff_t(n), s->size - s->at));
    memcpy(buf, s->data + s->at, size_t(k));
    s->at += toff_t(k);
    return k;
}

extern "C" tmsize_t tiff_write(thandle_t, void *, tmsize_t)
{
    return 0;
}

extern "C" toff_t tiff_seek(thandle_t h, toff_t off, int whence)
{
    auto *s = static_cast<Source *>(h);
    toff_t base = whence == SEEK_CUR ? s->at : whence == SEEK_END ? s->size : 0;
    if (off > std::numeric_limits<toff_t>::max() - base)
        return toff_t(-1);
    s->at = base + off;
    return s->at;
}

extern "C" int tiff_close(thandle_t)
{
    return 0;
}

extern "C" toff_t tiff_size(thandle_t h)
{
    return static_cast<Source *>(h)->size;
}

extern "C" int tiff_map(thandle_t h, void **base, toff_t *size)
{
    auto *s = static_cast<Source *>(h);
    *base = const_cast<char *>(s->data); // read-only: the file is opened for reading
    *size = s->size;
    return 1;
}

extern "C" void tiff_unmap(thandle_t, void *, toff_t) {}

// Messages of this file only; returning 1 keeps libtiff's global handlers (which print) out.
extern "C" int tiff_message(TIFF *, void *, const char *, const char *, va_list)
{
    return 1;
}

struct Tiff {
    Source src;
    TIFF *tif = nullptr;
    explicit Tiff(const QByteArray &data) : src{data.constData(), toff_t(data.size())}
    {
        TIFFOpenOptions *options = TIFFOpenOptionsAlloc();
        TIFFOpenOptionsSetMaxSingleMemAlloc(options, kMaxTiffAlloc);
        TIFFOpenOptionsSetErrorHandlerExtR(options, tiff_message, nullptr);
        TIFFOpenOptionsSetWarningHandlerExtR(options, tiff_message, nullptr);
        if (!data.isEmpty())
            tif = TIFFClientOpenExt("picture", "r", &src, tiff_read, tiff_write, tiff_seek, tiff_close,
                                    tiff_size, tiff_map, tiff_unmap, options);
        TIFFOpenOptionsFree(options);
    }
    ~Tiff()
    {
        if (tif)
            TIFFClose(tif);
    }
    Tiff(const Tiff &) = delete;
    Tiff &operator=(const Tiff &) = delete;
};

struct Directory {
    tdir_t index;
    QSize size; // as stored
    bool reduced;
};

struct Page {
    Directory main;
    std::vector<Directory> reduced; // smaller versions of the page
};

std::vector<Page> read_pages(TIFF *tif)
{
    std::vector<Page> pages;
    tdir_t index = 0;
    do {
        uint32_t w = 0, h = 0, subfile = 0;
        TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &w);
        TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &h);
        TIFFGetField(tif, TIFFTAG_SUBFILETYPE, &subfile);
        const Directory d{index,
                          QSize(int(std::min<uint32_t>(w, INT_MAX)), int(std::min<uint32_t>(h, INT_MAX))),
                          (subfile & FILETYPE_REDUCEDIMAGE) != 0};
        if (!d.size.isEmpty()) {
            if (!d.reduced || pages.empty()) // a reduced page before any other is the page
                pages.push_back(Page{d, {}});
            else if (!pages.empty())
                pages.back().reduced.push_back(d);
        }
        ++index;
    } while (index < kMaxDirectories && TIFFReadDirectory(tif));
    return pages;
}

int orientation_of(TIFF *tif)
{
    uint16_t o = ORIENTATION_TOPLEFT;
    TIFFGetFieldDefaulted(tif, TIFFTAG_ORIENTATION, &o);
    return o >= 1 && o <= 8 ? o : 1;
}

QByteArray icc_of(TIFF *tif)
{
    uint32_t size = 0;
    void *profile = nullptr;
    if (TIFFGetField(tif, TIFFTAG_ICCPROFILE, &size, &profile) && profile && size > 0)
        return QByteArray(static_cast<const char *>(profile), qsizetype(size));
    return {};
}

bool is_cancelled(const DecodeRequest &request)
{
    return request.cancelled && request.cancelled();
}

// 32-bit rows, top to bottom, into a picture of their full size or, for a factor above 1,
// through a reducer that shrinks them on the way.
class WordRows
{
  public:
    WordRows(QSize size, int factor, QImage::Format format) : width_(size.width())
    {
        if (factor > 1)
            reducer_.emplace(
                size.width(), size.height(), factor, 4, format,
                [](const uchar *in, QRgb *out, int count) { memcpy(out, in, size_t(count) * 4); });
        else
            image_ = large_image(size.width(), size.height(), format);
    }
    bool ok() const
    {
        return reducer_ ? !reducer_->result().isNull()
                        : !image_.isNull() && image_.bytesPerLine() == qsizetype(width_) * 4;
    }
    // Room for `count` rows from row y, `width` pixels apart.
    QRgb *rows(int y, int count)
    {
        return reinterpret_cast<QRgb *>(reducer_ ? reducer_->rows(count) : image_.scanLine(y));
    }
    void rowsDone(int count)
    {
        if (reducer_)
            reducer_->rowsDone(count);
    }
    QImage result() const { return reducer_ ? reducer_->result() : image_; }

  private:
    int width_;
    std::optional<BoxReducer> reducer_;
    QImage image_;
};

// 8-bit contiguous CMYK strips, through the profile.
QImage read_cmyk(TIFF *tif, QSize size, int factor, const QByteArray &icc, const DecodeRequest &request)
{
    std::vector<uchar> row(size_t(TIFFScanlineSize(tif)));
    if (row.size() < size_t(size.width()) * 4)
        return {};
    WordRows out(size, factor, QImage::Format_RGB32);
    if (!out.ok())
        return {};
    const CmykToSrgb convert(icc, false);
    for (int y = 0; y < size.height(); ++y) {
        if ((y % kBandRows == 0 && is_cancelled(request)) ||
            TIFFReadScanline(tif, row.data(), uint32_t(y)) < 0)
            return {};
        convert.convertRow(row.data(), out.rows(y, 1), size.width());
        out.rowsDone(1);
    }
    return out.result();
}

// A directory whose samples are read straight into the picture's rows: 8 bits in one plane,
// gray or RGB, with at most an alpha sample besides. Other layouts go through libtiff's
// generic RGBA reader.
struct DirectSamples {
    int samples = 0; // per pixel as stored
    bool gray = false;
    bool minIsWhite = false;
    bool alpha = false;
    bool premultiplied = false; // the alpha is associated
};

bool direct_samples(TIFF *tif, DirectSamples *s)
{
    uint16_t photometric = 0, bits = 0, samples = 0, planar = PLANARCONFIG_CONTIG, extraCount = 0;
    uint16_t *extra = nullptr;
    if (!TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &photometric))
        return false;
    TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &samples);
    TIFFGetFieldDefaulted(tif, TIFFTAG_PLANARCONFIG, &planar);
    TIFFGetFieldDefaulted(tif, TIFFTAG_EXTRASAMPLES, &extraCount, &extra);
    s->gray = photometric == PHOTOMETRIC_MINISBLACK || photometric == PHOTOMETRIC_MINISWHITE;
    s->minIsWhite = photometric == PHOTOMETRIC_MINISWHITE;
    const int colours = s->gray ? 1 : 3;
    if (bits != 8 || (!s->gray && photometric != PHOTOMETRIC_RGB) || samples < colours ||
        samples != colours + extraCount || extraCount > 1 || (samples > 1 && planar != PLANARCONFIG_CONTIG))
        return false;
    s->samples = samples;
    if (extraCount == 1) {
        // An unspecified extra sample is left to the generic reader, which decides what it is.
        if (!extra || (extra[0] != EXTRASAMPLE_ASSOCALPHA && extra[0] != EXTRASAMPLE_UNASSALPHA))
            return false;
        s->alpha = true;
        s->premultiplied = extra[0] == EXTRASAMPLE_ASSOCALPHA;
    }
    return true;
}

// `width` stored pixels to 32-bit ones (premultiplied when they have alpha).
void convert_samples(const uchar *in, QRgb *out, int width, const DirectSamples &s)
{
    if (s.gray) {
        const uchar flip = s.minIsWhite ? 0xff : 0;
        if (!s.alpha) {
            for (int x = 0; x < width; ++x)
                out[x] = 0xff000000u | 0x010101u * quint32(in[x] ^ flip);
            return;
        }
        for (int x = 0; x < width; ++x, in += 2) {
            const quint32 v = in[0] ^ flip;
            out[x] = s.premultiplied ? quint32(in[1]) << 24 | 0x010101u * v
                                     : qPremultiply(qRgba(int(v), int(v), int(v), in[1]));
        }
        return;
    }
    if (!s.alpha) {
        for (int x = 0; x < width; ++x, in += 3)
            out[x] = 0xff000000u | quint32(in[0]) << 16 | quint32(in[1]) << 8 | in[2];
        return;
    }
    if (s.premultiplied) {
        for (int x = 0; x < width; ++x, in += 4)
            out[x] = quint32(in[3]) << 24 | quint32(in[0]) << 16 | quint32(in[1]) << 8 | in[2];
        return;
    }
    for (int x = 0; x < width; ++x, in += 4)
        out[x] = qPremultiply(qRgba(in[0], in[1], in[2], in[3]));
}

// Where the read rows go: converted to 32-bit pixels (into the picture, or shrunk on the way),
// or as stored into a reducer that averages the samples themselves and converts afterwards.
struct RowTarget {
    const DirectSamples &samples;
    WordRows *words = nullptr;
    BoxReducer *stored = nullptr;

    int pixelBytes() const { return stored ? samples.samples : 4; }
    uchar *rows(int y, int count)
    {
        return stored ? stored->rows(count) : reinterpret_cast<uchar *>(words->rows(y, count));
    }
    void put(const uchar *in, uchar *out, int count) const
    {
        if (stored)
            memcpy(out, in, size_t(count) * size_t(samples.samples));
        else
            convert_samples(in, reinterpret_cast<QRgb *>(out), count, samples);
    }
    void rowsDone(int count)
    {
        if (stored)
            stored->rowsDone(count);
        else
            words->rowsDone(count);
    }
};

// This thread's buffer for a row or a tile, kept from picture to picture so reading one does
// not fault in fresh pages each time.
std::vector<uchar> &tile_buffer(size_t bytes)
{
    thread_local std::vector<uchar> buffer;
    if (buffer.size() < bytes)
        buffer.resize(bytes);
    return buffer;
}

// The directory's rows top to bottom as stored, into the target; false on damage or when
// cancelled.
bool read_direct(TIFF *tif, QSize size, const DecodeRequest &request, RowTarget target)
{
    const int width = size.width(), height = size.height();
    const int samples = target.samples.samples;
    if (!TIFFIsTiled(tif)) {
        // Row by row: libtiff decodes each strip as far as the row asked for, so the row stays
        // in the cache between decoding and converting. Stored samples go straight into the
        // reducer's row.
        const tmsize_t rowBytes = TIFFScanlineSize(tif);
        if (rowBytes < tmsize_t(width) * samples)
            return false;
        const bool direct = target.stored && rowBytes == tmsize_t(width) * samples;
        std::vector<uchar> &row = tile_buffer(size_t(rowBytes));
        for (int y = 0; y < height; ++y) {
            if (y % kBandRows == 0 && is_cancelled(request))
                return false;
            uchar *out = target.rows(y, 1);
            if (TIFFReadScanline(tif, direct ? out : row.data(), uint32_t(y)) < 0)
                return false;
            if (!direct)
                target.put(row.data(), out, width);
            target.rowsDone(1);
        }
        return true;
    }
    uint32_t tileWidth = 0, tileHeight = 0;
    TIFFGetField(tif, TIFFTAG_TILEWIDTH, &tileWidth);
    TIFFGetField(tif, TIFFTAG_TILELENGTH, &tileHeight);
    const tmsize_t tileBytes = TIFFTileSize(tif);
    if (tileWidth == 0 || tileHeight == 0 || tileBytes <= 0 ||
        tileBytes < tmsize_t(tileWidth) * tileHeight * samples)
        return false;
    std::vector<uchar> &tile = tile_buffer(size_t(tileBytes));
    const size_t tileRowBytes = size_t(tileWidth) * size_t(samples);
    const qsizetype stride = qsizetype(width) * target.pixelBytes();
    for (uint32_t y = 0; y < uint32_t(height); y += tileHeight) {
        if (is_cancelled(request))
            return false;
        const int rows = int(std::min<uint32_t>(tileHeight, uint32_t(height) - y));
        uchar *band = target.rows(int(y), rows);
        for (uint32_t x = 0; x < uint32_t(width); x += tileWidth) {
            if (TIFFReadEncodedTile(tif, TIFFComputeTile(tif, x, y, 0, 0), tile.data(), tileBytes) < 0)
                return false;
            const int columns = int(std::min<uint32_t>(tileWidth, uint32_t(width) - x));
            for (int r = 0; r < rows; ++r)
                target.put(tile.data() + size_t(r) * tileRowBytes,
                           band + r * stride + x * target.pixelBytes(), columns);
        }
        target.rowsDone(rows);
    }
    return true;
}

// libtiff's RGBA words (red in the low byte, alpha premultiplied) to QRgb ones, in place.
void rgba_words_to_argb(quint32 *p, qsizetype count)
{
    for (qsizetype i = 0; i < count; ++i) {
        const quint32 v = p[i];
        p[i] = (v & 0xff00ff00u) | (v & 0xffu) << 16 | ((v >> 16) & 0xffu);
    }
}

// Any other layout through libtiff's RGBA reader, band by band, as stored, shrunk by `factor`
// on the way when it is above 1; `format` is the result's (RGB32 when there is no alpha: libtiff
// then writes opaque pixels).
QImage read_rgba(TIFF *tif, QSize size, int factor, QImage::Format format, const DecodeRequest &request)
{
    char message[1024];
    if (!TIFFRGBAImageOK(tif, message))
        return {};
    TIFFRGBAImage img;
    if (!TIFFRGBAImageBegin(&img, tif, 0, message))
        return {};
    img.req_orientation = img.orientation; // as stored: turned upright afterwards, all 8 alike
    WordRows out(size, factor, format);
    bool ok = out.ok();
    for (int y = 0; ok && y < size.height(); y += kBandRows) {
        if (is_cancelled(request)) {
            ok = false;
            break;
        }
        img.row_offset = y;
        const int rows = std::min(kBandRows, size.height() - y);
        QRgb *band = out.rows(y, rows);
        ok = TIFFRGBAImageGet(&img, band, uint32_t(size.width()), uint32_t(rows)) != 0;
        if (!ok)
            break;
        rgba_words_to_argb(band, qsizetype(size.width()) * rows);
        out.rowsDone(rows);
    }
    TIFFRGBAImageEnd(&img);
    return ok ? out.result() : QImage();
}

// The current directory as stored (before orientation), in sRGB, premultiplied; shrunk by a
// whole factor while reading when `storedShown` (the shown size turned as stored) is well
// below its size and the samples allow.
QImage read_directory(TIFF *tif, QSize size, QSize storedShown, const DecodeRequest &request)
{
    if (!within_pixels(size, request.maxPixels))
        return {};
    const QByteArray icc = icc_of(tif);
    uint16_t photometric = 0, bits = 0, samples = 0, planar = PLANARCONFIG_CONTIG, inkset = INKSET_CMYK;
    TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &photometric);
    TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &samples);
    TIFFGetFieldDefaulted(tif, TIFFTAG_PLANARCONFIG, &planar);
    TIFFGetFieldDefaulted(tif, TIFFTAG_INKSET, &inkset);
    const int factor = storedShown.isValid() ? box_factor(size, storedShown) : 1;
    if (photometric == PHOTOMETRIC_SEPARATED && inkset == INKSET_CMYK && bits == 8 && samples == 4 &&
        planar == PLANARCONFIG_CONTIG && !TIFFIsTiled(tif) && !icc.isEmpty())
        return read_cmyk(tif, size, factor, icc, request);

    QImage image;
    DirectSamples direct;
    if (direct_samples(tif, &direct)) {
        const QImage::Format format =
            direct.alpha ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32;
        if (factor > 1 && (!direct.alpha || direct.premultiplied)) {
            // Averaged as stored, converted once per reduced row.
            BoxReducer stored(
                size.width(), size.height(), factor, direct.samples, format,
                [direct](const uchar *in, QRgb *out, int count) { convert_samples(in, out, count, direct); });
            if (stored.result().isNull() ||
                !read_direct(tif, size, request, RowTarget{direct, nullptr, &stored}))
                return {};
            image = stored.result();
        } else {
            // Unassociated alpha is premultiplied before any averaging.
            WordRows words(size, factor, format);
            if (!words.ok() || !read_direct(tif, size, request, RowTarget{direct, &words, nullptr}))
                return {};
            image = words.result();
        }
    } else {
        const bool alpha = samples > 3 || (samples == 2 && photometric <= PHOTOMETRIC_MINISBLACK);
        image = read_rgba(tif, size, factor,
                          alpha ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32, request);
    }
    if (!image.isNull() && photometric != PHOTOMETRIC_SEPARATED)
        convert_icc_to_srgb(&image, icc);
    return image;
}

// The directory to decode for a page at the shown size (upright; invalid: natural): the
// smallest reduced page still at least that size, else the page itself.
Directory pick(const Page &page, QSize storedShown)
{
    Directory best = page.main;
    if (!storedShown.isValid() || storedShown.isEmpty())
        return best;
    for (const Directory &d : page.reduced) {
        if (d.size.width() >= storedShown.width() && d.size.height() >= storedShown.height() &&
            qint64(d.size.width()) * d.size.height() < qint64(best.size.width()) * best.size.height())
            best = d;
    }
    return best;
}

// One page, upright, at the requested size; the natural size set in *result.
bool decode_page(TIFF *tif, const Page &page, const DecodeRequest &request, LoadedPicture *result)
{
    if (!TIFFSetDirectory(tif, page.main.index))
        return false;
    const int orientation = orientation_of(tif);
    result->naturalSize = oriented_size(page.main.size, orientation);
    if (!within_pixels(page.main.size, request.maxPixels))
        return false;
    const QSize shown = requested_size(request, result->naturalSize);
    if (shown.isValid() && shown.isEmpty())
        return true; // ok without an image
    const Directory d = pick(page, oriented_size(shown, orientation));
    if (d.index != page.main.index && !TIFFSetDirectory(tif, d.index))
        return false;
    QImage image =
        read_directory(tif, d.size, shown.isValid() ? oriented_size(shown, orientation) : QSize(), request);
    if (image.isNull())
        return false;
    image = apply_exif_orientation(image, orientation);
    result->image =
        fit_to(image, shown.isValid() ? shown : (d.size == page.main.size ? QSize() : result->naturalSize));
    return !result->image.isNull();
}

class TiffPages : public AnimationDecoder
{
  public:
    bool open(const QByteArray &data, qint64 maxPixels) override
    {
        data_ = data;
        tiff_ = std::make_unique<Tiff>(data_);
        if (!tiff_->tif)
            return false;
        pages_ = read_pages(tiff_->tif);
        maxPixels_ = maxPixels;
        if (pages_.empty() || !TIFFSetDirectory(tiff_->tif, pages_[0].main.index))
            return false;
        size_ = oriented_size(pages_[0].main.size, orientation_of(tiff_->tif));
        return within_pixels(size_, maxPixels);
    }
    QSize size() const override { return size_; }
    int frameCount() const override { return int(pages_.size()); }
    int loopCount() const override { return -1; }
    int currentFrame() const override { return frame_; }
    bool next(QImage *frame, int *delayMs) override
    {
        if (!tiff_ || frame_ + 1 >= frameCount())
            return false;
        ++frame_;
        DecodeRequest request;
        request.maxPixels = maxPixels_;
        LoadedPicture page;
        if (!decode_page(tiff_->tif, pages_[size_t(frame_)], request, &page))
            return false;
        *delayMs = kTiffPageMs;
        if (page.image.size() == size_) {
            *frame = page.image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
            return true;
        }
        // Another size than the first page: fitted into it, centred.
        QImage canvas(size_, QImage::Format_ARGB32_Premultiplied);
        canvas.fill(Qt::transparent);
        const QSize fitted = page.image.size().scaled(size_, Qt::KeepAspectRatio);
        QPainter p(&canvas);
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        p.drawImage(
            QRect(QPoint((size_.width() - fitted.width()) / 2, (size_.height() - fitted.height()) / 2),
                  fitted),
            page.image);
        p.end();
        *frame = canvas;
        return true;
    }
    void rewind() override { frame_ = -1; }

  private:
    QByteArray data_;
    std::unique_ptr<Tiff> tiff_;
    std::vector<Page> pages_;
    QSize size_;
    qint64 maxPixels_ = kMaxPicturePixels;
    int frame_ = -1;
};

} // namespace

LoadedPicture decode_tiff_picture(const QByteArray &data, const DecodeRequest &request)
{
    LoadedPicture result;
    result.kind = PictureKind::Tiff;
    Tiff tiff(data);
    if (!tiff.tif)
        return result;
    const std::vector<Page> pages = read_pages(tiff.tif);
    if (pages.empty())
        return result;
    result.frameCount = int(pages.size());
    const size_t page = request.middleFrame ? pages.size() / 2 : 0;
    if (is_cancelled(request) || !decode_page(tiff.tif, pages[page], request, &result)) {
        result.image = QImage();
        return result;
    }
    result.ok = true;
    return result;
}

QSize probe_tiff_size(const QByteArray &head)
{
    Tiff tiff(head);
    if (!tiff.tif)
        return {};
    uint32_t w = 0, h = 0, subfile = 0;
    if (!TIFFGetField(tiff.tif, TIFFTAG_IMAGEWIDTH, &w) || !TIFFGetField(tiff.tif, TIFFTAG_IMAGELENGTH, &h) ||
        w == 0 || h == 0 || w > INT_MAX || h > INT_MAX)
        return {};
    TIFFGetField(tiff.tif, TIFFTAG_SUBFILETYPE, &subfile);
    if (subfile & FILETYPE_REDUCEDIMAGE)
        return {};
    return oriented_size(QSize(int(w), int(h)), orientation_of(tiff.tif));
}

std::unique_ptr<AnimationDecoder> make_tiff_pages()
{
    return std::make_unique<TiffPages>();
}

} // namespace vorn
