#include "widgets/video_gl_widget.h"

#include <QGuiApplication>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QWindow>

namespace vorn
{

VideoGlWidget::VideoGlWidget(QWidget *parent) : QOpenGLWidget(parent)
{
    setObjectName(QStringLiteral("gl_videoout"));
    // Mouse clicks and keys belong to the panel around it.
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
}

VideoGlWidget::~VideoGlWidget()
{
    // The context goes with the widget: let its users clean up while it is current (here, as
    // the widget is still whole when the context announces its end).
    if (context()) {
        disconnect(context(), nullptr, this, nullptr);
        makeCurrent();
        emit contextLost();
        doneCurrent();
    }
}

bool VideoGlWidget::available()
{
    const QByteArray wanted = qgetenv("VORN_VIDEO_OUTPUT");
    if (wanted == "software")
        return false;
    const QString platform = QGuiApplication::platformName();
    if (platform != QLatin1String("xcb") && !platform.startsWith(QLatin1String("wayland")))
        return false;
    QOpenGLContext probe;
    if (!probe.create())
        return false;
    QOffscreenSurface surface;
    surface.setFormat(probe.format());
    surface.create();
    if (!surface.isValid() || !probe.makeCurrent(&surface))
        return false;
    // OpenGL drawn by the processor (Mesa's llvmpipe, softpipe) draws on the UI thread what the
    // software renderer draws on a thread of its own, only slower: it is used only when asked.
    const auto *name = reinterpret_cast<const char *>(probe.functions()->glGetString(GL_RENDERER));
    const QByteArray renderer = QByteArray(name ? name : "").toLower();
    probe.doneCurrent();
    const bool rasterizer = renderer.contains("llvmpipe") || renderer.contains("softpipe") ||
                            renderer.contains("swrast") || renderer.contains("software");
    return wanted == "opengl" || !rasterizer;
}

bool VideoGlWidget::ensureContext()
{
    if (context())
        return context()->isValid();
    // A hidden widget makes its context on its first grab; the grab paints one empty frame.
    if (size().isEmpty())
        resize(16, 16);
    grabFramebuffer();
    return context() && context()->isValid();
}

void VideoGlWidget::refresh()
{
    const QWindow *w = window()->windowHandle();
    if (isVisible() && w && w->isExposed()) {
        update();
        return;
    }
    if (!painter_ || !context())
        return;
    makeCurrent();
    painter_(defaultFramebufferObject(), QSize());
    doneCurrent();
}

void VideoGlWidget::initializeGL()
{
    // Widgets that change windows lose their context: whoever draws lets go in time.
    connect(
        context(), &QOpenGLContext::aboutToBeDestroyed, this,
        [this] {
            makeCurrent();
            emit contextLost();
            doneCurrent();
        },
        Qt::DirectConnection);
    emit contextReady();
}

void VideoGlWidget::paintGL()
{
    QOpenGLFunctions *gl = context()->functions();
    gl->glClearColor(0, 0, 0, 1);
    gl->glClear(GL_COLOR_BUFFER_BIT);
    if (painter_) {
        painter_(defaultFramebufferObject(), size() * devicePixelRatioF());
        ++painted_;
    }
}

} // namespace vorn
