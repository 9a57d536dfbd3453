#include "catalog/thumbnail.h"

#include "codecs/picture_loader.h"

#include <QFile>
#include <QPainter>

#include <csetjmp>
#include <cstdio> // jpeglib.h needs FILE and size_t first
#include <jpeglib.h>

namespace vorn
{

namespace
{

// a x b / c rounded to the nearest integer, halves to the even neighbour.
int scaled_half_even(qint64 a, qint64 b, qint64 c)
{
    const qint64 num = a * b;
    qint64 q = num / c;
    const qint64 twice = 2 * (num % c);
    if (twice > c || (twice == c && (q % 2) != 0))
        ++q;
    return int(q);
}

struct EncodeError {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
};

extern "C" void encode_fail(j_common_ptr cinfo)
{
    std::longjmp(reinterpret_cast<EncodeError *>(cinfo->err)->jump, 1);
}

extern "C" void encode_quiet(j_common_ptr) {}

// Runs the encoder; *out and *outSize belong to the caller's frame so they survive the longjmp.
bool run_encoder(const QImage &rgb, int quality, unsigned char **out, unsigned long *outSize)
{
    jpeg_compress_struct cinfo;
    EncodeError jerr;
    cinfo.err = jpeg_std_error(&jerr.pub);
    jerr.pub.error_exit = encode_fail;
    jerr.pub.output_message = encode_quiet;
    if (setjmp(jerr.jump)) {
        jpeg_destroy_compress(&cinfo);
        return false;
    }
    jpeg_create_compress(&cinfo);
    jpeg_mem_dest(&cinfo, out, outSize);
    cinfo.image_width = JDIMENSION(rgb.width());
    cinfo.image_height = JDIMENSION(rgb.height());
    cinfo.input_components = 4;
    cinfo.in_color_space = QSysInfo::ByteOrder == QSysInfo::LittleEndian ? JCS_EXT_BGRX : JCS_EXT_XRGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE); // baseline tables
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(rgb.constScanLine(int(cinfo.next_scanline)));
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    return true;
}

} // namespace

QSize thumbnail_size(QSize natural, int cellSize)
{
    const int s = cellSize == 0 ? 100 : cellSize;
    const int w = natural.width();
    const int h = natural.height();
    if (w <= 0 || h <= 0 || s <= 0)
        return {};
    if (w <= s && h <= s)
        return natural;
    if (w >= h)
        return QSize(s, std::max(1, scaled_half_even(h, s, w)));
    return QSize(std::max(1, scaled_half_even(w, s, h)), s);
}

QByteArray encode_jpeg(const QImage &image, int quality)
{
    if (image.isNull())
        return {};
    QImage rgb;
    if (image.hasAlphaChannel()) {
        rgb = QImage(image.size(), QImage::Format_RGB32);
        rgb.fill(Qt::white);
        QPainter p(&rgb);
        p.drawImage(0, 0, image);
    } else {
        rgb = image.convertToFormat(QImage::Format_RGB32);
    }
    unsigned char *buffer = nullptr;
    unsigned long size = 0;
    const bool ok = run_encoder(rgb, quality, &buffer, &size);
    QByteArray bytes =
        ok ? QByteArray(reinterpret_cast<const char *>(buffer), qsizetype(size)) : QByteArray();
    free(buffer);
    return bytes;
}

ThumbnailResult make_thumbnail(const QString &picture, const QString &thumbPath, int cellSize)
{
    ThumbnailResult result;
    QSize wanted;
    const LoadedPicture loaded = load_picture_sized(picture, [&](QSize natural) {
        wanted = thumbnail_size(natural, cellSize);
        return wanted.isValid() ? wanted : QSize(0, 0);
    });
    if (!loaded.ok || loaded.image.isNull() || loaded.image.size() != wanted)
        return result;
    const QByteArray jpeg = encode_jpeg(loaded.image);
    QFile out(thumbPath);
    if (jpeg.isEmpty() || !out.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        out.write(jpeg) != jpeg.size() || !out.flush())
        return result;
    result.ok = true;
    result.size = wanted;
    return result;
}

} // namespace vorn
