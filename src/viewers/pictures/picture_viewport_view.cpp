#include "viewers/pictures/picture_viewport_view.h"

#include "widgets/image_widget.h"

#include <QEvent>
#include <QFrame>
#include <QScrollArea>
#include <QScrollBar>

namespace vorn
{

namespace
{

const QColor kNavy(0, 0, 128);

} // namespace

PictureViewport::PictureViewport(QWidget *panel, QObject *owner) : QObject(owner)
{
    sb_1_ = new QScrollArea(panel);
    sb_1_->setObjectName(QStringLiteral("sb_1"));
    sb_1_->setFrameShape(QFrame::NoFrame);
    sb_1_->setWidgetResizable(false);
    QPalette pal = sb_1_->palette();
    pal.setColor(QPalette::Window, kNavy);
    sb_1_->setPalette(pal);
    sb_1_->viewport()->setBackgroundRole(QPalette::Window);
    sb_1_->viewport()->setAutoFillBackground(true);
    canvas_ = new QWidget;
    canvas_->setObjectName(QStringLiteral("sb_1_canvas"));
    sb_1_->setWidget(canvas_);
    canvas_->setAutoFillBackground(false); // the view's navy or the background shows around the picture

    img_x_ = new ImageWidget(QStringLiteral("img_x"), canvas_);
    img_g_ = new ImageWidget(QStringLiteral("img_g"), canvas_);
    img_x_->hide();
    img_g_->hide();
    shape_ = new QFrame(canvas_);
    shape_->setObjectName(QStringLiteral("shape"));
    shape_->setFrameShape(QFrame::Panel);
    shape_->setFrameShadow(QFrame::Raised);
    shape_->setLineWidth(2);
    shape_->setAttribute(Qt::WA_TransparentForMouseEvents);
    shape_->hide();
    sb_1_->installEventFilter(this);
}

bool PictureViewport::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == sb_1_ && event->type() == QEvent::Resize)
        emit resized();
    return QObject::eventFilter(watched, event);
}

void PictureViewport::clearPictures()
{
    shape_->hide();
    for (ImageWidget *img : {img_x_, img_g_}) {
        img->hide();
        img->resize(0, 0);
        img->clear();
    }
    // Nothing left to scroll to: the canvas of the picture before must not keep its scroll bars.
    canvas_->resize(sb_1_->maximumViewportSize());
    scrollHome();
}

void PictureViewport::hidePictures()
{
    img_x_->hide();
    img_g_->hide();
    shape_->hide();
}

void PictureViewport::showOnly(bool animated)
{
    image(!animated)->hide();
    image(animated)->show();
}

QRect PictureViewport::centre(bool animated)
{
    // The picture at its current size, so a zoomed picture is centred as it is shown.
    ImageWidget *img = image(animated);
    const QPoint offset = centre_offset(sb_1_->maximumViewportSize(), img->size());
    img->move(offset);
    return QRect(offset, img->size());
}

QRect PictureViewport::bestFit(bool animated, QSize natural)
{
    const QRect r = best_fit_rect(sb_1_->size(), natural);
    image(animated)->setGeometry(r);
    return r;
}

QRect PictureViewport::placeAt(bool animated, QSize size)
{
    const QRect r(QPoint(0, 0), size);
    image(animated)->setGeometry(r);
    return r;
}

void PictureViewport::fitCanvas(bool animated)
{
    // Measured from the view's own size: while it is being resized its viewport still has the
    // old one.
    QSize extent(0, 0);
    const ImageWidget *img = image(animated);
    if (img->isVisibleTo(canvas_))
        extent = QSize(std::max(0, img->geometry().right() + 1), std::max(0, img->geometry().bottom() + 1));
    const QSize bars(sb_1_->verticalScrollBar()->sizeHint().width(),
                     sb_1_->horizontalScrollBar()->sizeHint().height());
    canvas_->resize(canvas_size(sb_1_->maximumViewportSize(), extent, bars));
}

void PictureViewport::scrollHome()
{
    sb_1_->horizontalScrollBar()->setValue(0);
    sb_1_->verticalScrollBar()->setValue(0);
}

void PictureViewport::setBarsShown(bool on)
{
    const Qt::ScrollBarPolicy bars = on ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff;
    sb_1_->setHorizontalScrollBarPolicy(bars);
    sb_1_->setVerticalScrollBarPolicy(bars);
}

void PictureViewport::placeFrame(const QRect &rect)
{
    shape_->setGeometry(rect);
    shape_->show();
    shape_->raise();
}

void PictureViewport::hideFrame()
{
    shape_->hide();
}

bool PictureViewport::frameShown() const
{
    return shape_->isVisibleTo(canvas_);
}

void PictureViewport::showBackground(const QImage &tile)
{
    hidePictures();
    scrollHome();
    if (!background_) {
        background_ = new ImageWidget(QStringLiteral("bgd_0"), canvas_);
        background_->setTiled(true);
    }
    background_->setImage(tile);
    tiles_ = TileGrid{tile.size(), 0, 0};
    coverBackground();
    background_->show();
}

void PictureViewport::coverBackground()
{
    if (!background_)
        return;
    // The grid is measured on the view's outer size, so it also covers where bars would be.
    tiles_ = tile_grid(sb_1_->size(), tiles_.tile);
    // Measured from the view's own size: while it is being resized its viewport still has the
    // old one.
    canvas_->resize(sb_1_->maximumViewportSize());
    background_->setGeometry(QRect(QPoint(0, 0), tiles_.extent()));
}

void PictureViewport::removeBackground()
{
    delete background_;
    background_ = nullptr;
    tiles_ = TileGrid();
}

} // namespace vorn
