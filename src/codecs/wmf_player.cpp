#include "codecs/wmf_player.h"

#include "codecs/wmf_playback.h"
#include "codecs/wmf_records.h"

#include <QPainter>

namespace vorn
{

bool WmfPlayer::load(const QByteArray &data)
{
    *this = WmfPlayer();
    const std::optional<wmf::Layout> layout = wmf::scan(data);
    if (!layout)
        return false;
    frame_ = layout->frame;
    natural_ = layout->natural;
    objectCount_ = layout->objectCount;
    firstRecord_ = layout->firstRecord;
    data_ = data;
    data_.detach(); // the caller's bytes may be a raw view
    valid_ = true;
    return true;
}

void WmfPlayer::play(QPainter &painter, QSize target) const
{
    if (!valid_ || target.isEmpty())
        return;
    painter.save();
    // The frame may be given with a negative extent (y growing upwards); map it as it is.
    wmf::Playback playback(painter, target, frame_, objectCount_);
    wmf::for_each_record(data_, firstRecord_,
                         [&](quint16 fn, const wmf::Params &r) { playback.record(fn, r); });
    painter.restore();
}

QImage WmfPlayer::render(QSize size) const
{
    if (!valid_ || size.isEmpty())
        return QImage();
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull())
        return image;
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing |
                           QPainter::SmoothPixmapTransform);
    play(painter, size);
    painter.end();
    return image;
}

} // namespace vorn
