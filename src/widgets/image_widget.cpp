#include "widgets/image_widget.h"

#include <QMovie>
#include <QPaintEvent>
#include <QPainter>

namespace vorn
{

ImageWidget::ImageWidget(const QString &name, QWidget *parent) : QWidget(parent)
{
    setObjectName(name);
    setAttribute(Qt::WA_NoSystemBackground);
}

ImageWidget::~ImageWidget() = default;

void ImageWidget::setImage(const QImage &image)
{
    movie_.reset();
    image_ = image;
    update();
}

void ImageWidget::setMovie(std::unique_ptr<QMovie> movie)
{
    image_ = QImage();
    movie_ = std::move(movie);
    if (movie_) {
        movie_->setSpeed(speed_);
        connect(movie_.get(), &QMovie::frameChanged, this, [this] { update(); });
        movie_->start();
    }
    update();
}

QImage ImageWidget::currentImage() const
{
    if (movie_)
        return movie_->currentImage();
    return image_;
}

bool ImageWidget::hasPicture() const
{
    return movie_ ? !movie_->currentImage().isNull() : !image_.isNull();
}

void ImageWidget::clear()
{
    movie_.reset();
    image_ = QImage();
    update();
}

void ImageWidget::setTransparent(bool on)
{
    if (transparent_ != on) {
        transparent_ = on;
        update();
    }
}

void ImageWidget::setTiled(bool on)
{
    tiled_ = on;
    update();
}

void ImageWidget::setSpeed(int percent)
{
    speed_ = std::max(1, percent);
    if (movie_)
        movie_->setSpeed(speed_);
}

void ImageWidget::paintEvent(QPaintEvent *event)
{
    const QImage img = movie_ ? movie_->currentImage() : image_;
    if (img.isNull() || width() <= 0 || height() <= 0)
        return;
    QPainter p(this);
    const QRect exposed = event->rect() & rect();
    if (!transparent_ && img.hasAlphaChannel())
        p.fillRect(exposed, Qt::white);
    if (tiled_) {
        p.fillRect(exposed, QBrush(img));
        return;
    }
    if (img.size() == size()) {
        p.drawImage(exposed.topLeft(), img, exposed);
        return;
    }
    // Only the exposed part is scaled: a picture zoomed fifteen-fold stays cheap to paint.
    const double sx = double(img.width()) / width();
    const double sy = double(img.height()) / height();
    const QRectF source(exposed.x() * sx, exposed.y() * sy, exposed.width() * sx, exposed.height() * sy);
    // Shrunk pictures are smoothed; enlarged ones show their pixels, as a zoom should.
    p.setRenderHint(QPainter::SmoothPixmapTransform, sx > 1.0 || sy > 1.0);
    p.drawImage(QRectF(exposed), img, source);
}

} // namespace vorn
