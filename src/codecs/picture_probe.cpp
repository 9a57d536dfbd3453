#include "codecs/picture_probe.h"

#include "codecs/raw_decoder.h"

#include "base/native_names.h"
#include "codecs/picture_loader.h"

#include <QFile>

#include <csetjmp>
#include <cstdio> // jpeglib.h needs FILE and size_t first
#include <jpeglib.h>

namespace vorn
{

namespace
{

struct ProbeError {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
};

extern "C" void probe_fail(j_common_ptr cinfo)
{
    std::longjmp(reinterpret_cast<ProbeError *>(cinfo->err)->jump, 1);
}

extern "C" void probe_quiet(j_common_ptr) {}

} // namespace

bool read_jpeg_header(const QByteArray &data, QSize *stored, int *orientation)
{
    jpeg_decompress_struct cinfo;
    ProbeError jerr;
    cinfo.err = jpeg_std_error(&jerr.pub);
    jerr.pub.error_exit = probe_fail;
    jerr.pub.output_message = probe_quiet;
    if (setjmp(jerr.jump)) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, reinterpret_cast<const unsigned char *>(data.constData()),
                 static_cast<unsigned long>(data.size()));
    jpeg_save_markers(&cinfo, JPEG_APP0 + 1, 0xFFFF);
    if (jpeg_read_header(&cinfo, TRUE) != JPEG_HEADER_OK) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    *stored = QSize(int(cinfo.image_width), int(cinfo.image_height));
    *orientation = 1;
    for (jpeg_saved_marker_ptr m = cinfo.marker_list; m; m = m->next) {
        if (m->marker != JPEG_APP0 + 1)
            continue;
        const int o = exif_orientation(
            QByteArray::fromRawData(reinterpret_cast<const char *>(m->data), int(m->data_length)));
        if (o != 1) {
            *orientation = o;
            break;
        }
    }
    jpeg_destroy_decompress(&cinfo);
    return true;
}

QSize probe_jpeg_size(const QByteArray &head)
{
    QSize stored;
    int orientation = 1;
    if (head.isEmpty() || !read_jpeg_header(head, &stored, &orientation) || stored.isEmpty())
        return QSize();
    return oriented_size(stored, orientation);
}

QSize probe_picture_size(const QString &path)
{
    const PictureKind kind = picture_kind(path);
    const PictureProbe probe = picture_kind_info(kind).probe;
    if (!probe)
        return QSize();
    QFile file;
    if (!open_native(file, path, QIODevice::ReadOnly))
        return QSize();
    const QByteArray head = file.read(kProbeBytes);
    const QSize size = probe(head);
    // RAW directories may lie anywhere in the file; LibRaw then reads them from the file.
    if (!size.isValid() && kind == PictureKind::Raw && file.size() > head.size())
        return probe_raw_file(path);
    return size;
}

} // namespace vorn
