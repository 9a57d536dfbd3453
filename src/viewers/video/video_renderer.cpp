#include "viewers/video/video_renderer.h"

#include <mpv/render.h>
#include <utility>

namespace vorn
{

VideoRenderer::VideoRenderer(QObject *parent) : QObject(parent)
{
    worker_ = new QObject;
    worker_->moveToThread(&thread_);
    thread_.setObjectName(QStringLiteral("video-render"));
    thread_.start();
}

VideoRenderer::~VideoRenderer()
{
    if (mpv_render_context *ctx = detach())
        mpv_render_context_free(ctx);
    thread_.quit();
    thread_.wait();
    delete worker_;
}

bool VideoRenderer::attach(mpv_handle *mpv)
{
    if (ctx_ || !mpv)
        return ctx_ != nullptr;
    char apiType[] = MPV_RENDER_API_TYPE_SW;
    mpv_render_param params[] = {{MPV_RENDER_PARAM_API_TYPE, apiType}, {MPV_RENDER_PARAM_INVALID, nullptr}};
    mpv_render_context *ctx = nullptr;
    if (mpv_render_context_create(&ctx, mpv, params) < 0)
        return false;
    {
        QMutexLocker lock(&renderLock_);
        ctx_ = ctx;
    }
    mpv_render_context_set_update_callback(ctx_, &VideoRenderer::onUpdate, this);
    return true;
}

mpv_render_context *VideoRenderer::detach()
{
    if (!ctx_)
        return nullptr;
    // No more callbacks, then no more drawing: a render under way ends before the lock is had.
    mpv_render_context_set_update_callback(ctx_, nullptr, nullptr);
    mpv_render_context *ctx = nullptr;
    {
        QMutexLocker lock(&renderLock_);
        ctx = std::exchange(ctx_, nullptr);
        // The render thread draws no more: its buffers go now, with the player.
        for (QImage &b : buffers_)
            b = QImage();
        spare_ = QImage();
    }
    releaseFrames();
    return ctx;
}

void VideoRenderer::onUpdate(void *self)
{
    // Called on a thread of libmpv: no libmpv call here, only a request to the render thread.
    static_cast<VideoRenderer *>(self)->requestRender(false);
}

void VideoRenderer::requestRender(bool force)
{
    if (force)
        force_ = true;
    if (!renderQueued_.exchange(true))
        QMetaObject::invokeMethod(
            worker_, [this] { render(); }, Qt::QueuedConnection);
}

void VideoRenderer::setTarget(const QRect &part)
{
    {
        QMutexLocker lock(&mutex_);
        if (part == target_)
            return;
        target_ = part;
    }
    if (ctx_)
        requestRender(true);
}

QImage VideoRenderer::frame(QRect *part) const
{
    QMutexLocker lock(&mutex_);
    if (part)
        *part = latestPart_;
    return latest_;
}

void VideoRenderer::releaseFrames()
{
    {
        QMutexLocker lock(&mutex_);
        target_ = QRect();
        latest_ = QImage();
        latestPart_ = QRect();
    }
    QMetaObject::invokeMethod(
        worker_,
        [this] {
            for (QImage &b : buffers_)
                b = QImage();
            spare_ = QImage();
        },
        Qt::QueuedConnection);
}

void VideoRenderer::render()
{
    renderQueued_ = false;
    QMutexLocker drawing(&renderLock_);
    if (!ctx_)
        return;
    const uint64_t flags = mpv_render_context_update(ctx_);
    const bool force = force_.exchange(false);
    if (!(flags & MPV_RENDER_UPDATE_FRAME) && !force)
        return;
    QRect part;
    {
        QMutexLocker lock(&mutex_);
        part = target_;
    }
    const QSize size = part.size();
    if (size.isEmpty() || size.width() > 16384 || size.height() > 16384) {
        // Nothing to draw into yet (the size of the picture is still being asked for): the
        // frame is taken without drawing, as the player waits for each frame to be taken (up
        // to 200 ms) before it goes on. It stays the current frame and is drawn at the target.
        if (flags & MPV_RENDER_UPDATE_FRAME) {
            int skip = 1;
            mpv_render_param params[] = {{MPV_RENDER_PARAM_SKIP_RENDERING, &skip},
                                         {MPV_RENDER_PARAM_INVALID, nullptr}};
            mpv_render_context_render(ctx_, params);
        }
        return;
    }
    QImage &image = buffer(size);
    if (image.isNull())
        return;
    int sz[2] = {size.width(), size.height()};
    size_t stride = size_t(image.bytesPerLine());
    // Blue, green, red, padding in memory: QImage's RGB32, the format of the window's backing
    // store, so that painting the frame is a plain copy without a conversion.
    char format[] = "bgr0";
    mpv_render_param params[] = {{MPV_RENDER_PARAM_SW_SIZE, sz},
                                 {MPV_RENDER_PARAM_SW_FORMAT, format},
                                 {MPV_RENDER_PARAM_SW_STRIDE, &stride},
                                 {MPV_RENDER_PARAM_SW_POINTER, image.bits()},
                                 {MPV_RENDER_PARAM_INVALID, nullptr}};
    if (mpv_render_context_render(ctx_, params) < 0)
        return;
    {
        QMutexLocker lock(&mutex_);
        latest_ = image;
        latestPart_ = part;
    }
    ++drawn_;
    publish();
}

QImage &VideoRenderer::buffer(const QSize &size)
{
    // A frame buffer nobody else holds any more (neither the newest frame nor a panel still
    // showing an older one): reusing it spares allocating and faulting in megabytes per frame.
    for (QImage &b : buffers_) {
        if (b.size() != size)
            b = QImage();
        if (b.isNull())
            b = QImage(size, QImage::Format_RGB32);
        if (b.isDetached())
            return b;
    }
    spare_ = QImage(size, QImage::Format_RGB32); // all in use: a frame of its own
    return spare_;
}

void VideoRenderer::publish()
{
    if (!publishQueued_.exchange(true))
        QMetaObject::invokeMethod(
            this,
            [this] {
                publishQueued_ = false;
                emit frameReady();
            },
            Qt::QueuedConnection);
}

} // namespace vorn
