// The plugin below is linked into the program, not loaded from a file.
#define QT_STATICPLUGIN

#include "codecs/picture_movie.h"

#include "base/native_names.h"

#include "codecs/picture_kinds.h"
#include "codecs/picture_loader.h"

#include <QBuffer>
#include <QFile>
#include <QIODevice>
#include <QImageIOHandler>
#include <QImageIOPlugin>
#include <QMovie>
#include <QVariant>
#include <QtPlugin>

namespace vorn
{

namespace
{

const char kFormat[] = "vornmovie";
// QImageReader also asks every plugin whether it can read the device's content, so Qt's own
// readers would claim plain GIF bytes; the movie's bytes start with this tag and the kind.
const char kTag[] = "vornMOV\x1A";
constexpr int kTagSize = 8;

// Serves an AnimationDecoder's frames to QImageReader and so to QMovie.
class AnimationHandler : public QImageIOHandler
{
  public:
    bool canRead() const override { return open() && decoder_->currentFrame() + 1 < decoder_->frameCount(); }
    bool read(QImage *image) override
    {
        if (!open())
            return false;
        return decoder_->next(image, &delay_);
    }
    bool supportsOption(ImageOption option) const override { return option == Size || option == Animation; }
    QVariant option(ImageOption option) const override
    {
        if (option == Animation)
            return true;
        if (option == Size && open())
            return decoder_->size();
        return QVariant();
    }
    int imageCount() const override { return open() ? decoder_->frameCount() : 0; }
    int loopCount() const override { return open() ? decoder_->loopCount() : 0; }
    int nextImageDelay() const override { return delay_; }
    int currentImageNumber() const override { return decoder_ ? decoder_->currentFrame() : -1; }
    QRect currentImageRect() const override { return open() ? QRect(QPoint(), decoder_->size()) : QRect(); }
    bool jumpToImage(int number) override
    {
        if (!open() || number < 0 || number >= decoder_->frameCount())
            return false;
        if (number <= decoder_->currentFrame())
            decoder_->rewind();
        QImage skipped;
        while (decoder_->currentFrame() + 1 < number) {
            if (!decoder_->next(&skipped, &delay_))
                return false;
        }
        return true;
    }
    bool jumpToNextImage() override { return open() && jumpToImage(decoder_->currentFrame() + 2); }

  private:
    bool open() const
    {
        if (!opened_) {
            opened_ = true;
            if (!device() || device()->read(kTagSize) != QByteArray(kTag, kTagSize))
                return false;
            const QByteArray kind = device()->read(1);
            if (kind.size() != 1)
                return false;
            decoder_ = make_animation_decoder(PictureKind(uchar(kind[0])));
            valid_ = decoder_ && decoder_->open(device()->readAll(), kMaxMoviePixels);
        }
        return valid_;
    }
    mutable std::unique_ptr<AnimationDecoder> decoder_;
    mutable bool opened_ = false;
    mutable bool valid_ = false;
    int delay_ = 0;
};

} // namespace

QByteArray picture_movie_format()
{
    return kFormat;
}

QByteArray picture_movie_data(const QByteArray &file, PictureKind kind)
{
    return QByteArray(kTag, kTagSize) + char(uchar(kind)) + file;
}

// QMovie reads the frames through the kind's AnimationDecoder, so the animation is composited
// the same way as the still frame the loader gives.
std::unique_ptr<QMovie> make_picture_movie(const QString &path, PictureKind kind)
{
    QFile file;
    if (!open_native(file, path, QIODevice::ReadOnly))
        return nullptr;
    return make_picture_movie(file.readAll(), kind);
}

std::unique_ptr<QMovie> make_picture_movie(const QByteArray &data, PictureKind kind)
{
    if (!is_animated_kind(kind))
        return nullptr;
    auto movie = std::make_unique<QMovie>();
    auto *buffer = new QBuffer(movie.get());
    buffer->setData(picture_movie_data(data, kind));
    buffer->open(QIODevice::ReadOnly);
    movie->setFormat(picture_movie_format());
    movie->setDevice(buffer);
    if (!movie->isValid())
        return nullptr;
    movie->setCacheMode(QMovie::CacheNone);
    return movie;
}

} // namespace vorn

// Makes the handler known to QImageReader under picture_movie_format(); it claims no other
// format and never a file by its content.
class VornPictureMoviePlugin : public QImageIOPlugin
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID QImageIOHandlerFactoryInterface_iid FILE "picture_movie.json")
  public:
    Capabilities capabilities(QIODevice *, const QByteArray &format) const override
    {
        return format == vorn::kFormat ? CanRead : Capabilities();
    }
    QImageIOHandler *create(QIODevice *device, const QByteArray &format) const override
    {
        auto *handler = new vorn::AnimationHandler;
        handler->setDevice(device);
        handler->setFormat(format);
        return handler;
    }
};

Q_IMPORT_PLUGIN(VornPictureMoviePlugin)

#include "picture_movie.moc"
