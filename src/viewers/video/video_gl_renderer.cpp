#include "viewers/video/video_gl_renderer.h"

#include <QOpenGLContext>
#include <mpv/render_gl.h>

namespace vorn
{

namespace
{

void *procAddress(void *, const char *name)
{
    QOpenGLContext *gl = QOpenGLContext::currentContext();
    return gl ? reinterpret_cast<void *>(gl->getProcAddress(name)) : nullptr;
}

} // namespace

VideoGlRenderer::VideoGlRenderer(mpv_handle *mpv, QObject *parent) : QObject(parent)
{
    if (!mpv || !QOpenGLContext::currentContext())
        return;
    char apiType[] = MPV_RENDER_API_TYPE_OPENGL;
    mpv_opengl_init_params init{&procAddress, nullptr};
    mpv_render_param params[] = {{MPV_RENDER_PARAM_API_TYPE, apiType},
                                 {MPV_RENDER_PARAM_OPENGL_INIT_PARAMS, &init},
                                 {MPV_RENDER_PARAM_INVALID, nullptr}};
    if (mpv_render_context_create(&ctx_, mpv, params) < 0) {
        ctx_ = nullptr;
        return;
    }
    mpv_render_context_set_update_callback(ctx_, &VideoGlRenderer::onUpdate, this);
}

VideoGlRenderer::~VideoGlRenderer()
{
    if (!ctx_)
        return;
    mpv_render_context_set_update_callback(ctx_, nullptr, nullptr);
    mpv_render_context_free(ctx_);
}

void VideoGlRenderer::onUpdate(void *self)
{
    // On a thread of libmpv: no libmpv call here, only a request to our own thread.
    auto *r = static_cast<VideoGlRenderer *>(self);
    if (!r->updateQueued_.exchange(true))
        QMetaObject::invokeMethod(
            r, [r] { r->update(); }, Qt::QueuedConnection);
}

void VideoGlRenderer::update()
{
    updateQueued_ = false;
    if (mpv_render_context_update(ctx_) & MPV_RENDER_UPDATE_FRAME)
        emit updateRequested();
}

void VideoGlRenderer::render(unsigned fbo, const QSize &size)
{
    if (!ctx_)
        return;
    mpv_opengl_fbo target{int(fbo), size.width(), size.height(), 0};
    // The framebuffer's origin is its bottom left, the picture's its top left.
    int flipY = 1;
    int block = 0;
    // Without a size the frame passes undrawn: the player need not wait for it.
    int skip = size.isEmpty() ? 1 : 0;
    mpv_render_param params[] = {{MPV_RENDER_PARAM_OPENGL_FBO, &target},
                                 {MPV_RENDER_PARAM_FLIP_Y, &flipY},
                                 {MPV_RENDER_PARAM_BLOCK_FOR_TARGET_TIME, &block},
                                 {MPV_RENDER_PARAM_SKIP_RENDERING, &skip},
                                 {MPV_RENDER_PARAM_INVALID, nullptr}};
    if (mpv_render_context_render(ctx_, params) >= 0 && !skip)
        ++drawn_;
}

} // namespace vorn
