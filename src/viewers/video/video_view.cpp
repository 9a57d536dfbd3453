#include "viewers/video/video_view.h"

#include "files/active_list.h"
#include "files/app_context.h"
#include "files/file_kind.h"
#include "viewers/video/video_geometry.h"
#include "viewers/video/video_gl_renderer.h"
#include "viewers/video/video_renderer.h"
#include "widgets/collapsible_toolbar.h"
#include "widgets/drawn_icon.h"
#include "widgets/panel_status_bar.h"
#include "widgets/video_gl_widget.h"
#include "widgets/video_panel.h"

#include <QApplication>
#include <QEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QPainter>
#include <QProgressBar>
#include <QShortcut>
#include <QSlider>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

namespace vorn
{

namespace
{

constexpr int kStepFrames = 5;
constexpr int kTimerMs = 10;
constexpr int kRowHeight = 20; // the zoom row and the status bar: 40 together

QIcon standard(QStyle::StandardPixmap sp)
{
    return QApplication::style()->standardIcon(sp);
}

QIcon loadIcon()
{
    return drawn_icon([](QPainter &p) {
        p.setPen(QPen(Qt::black, 1));
        p.setBrush(QColor(60, 60, 60));
        p.drawRect(2, 4, 14, 11); // a film strip
        p.setBrush(Qt::white);
        for (int x = 3; x < 16; x += 3) {
            p.drawRect(x, 5, 1, 1);
            p.drawRect(x, 13, 1, 1);
        }
        p.setBrush(QColor(0, 140, 0));
        p.drawPolygon(QPolygon({QPoint(7, 7), QPoint(12, 9), QPoint(7, 11)}));
    });
}

QIcon ejectIcon()
{
    return drawn_icon([](QPainter &p) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(40, 40, 40));
        p.drawPolygon(QPolygon({QPoint(9, 3), QPoint(15, 10), QPoint(3, 10)}));
        p.drawRect(3, 12, 12, 3);
    });
}

QIcon repeatIcon()
{
    return drawn_icon([](QPainter &p) {
        p.setPen(QPen(QColor(0, 0, 128), 2));
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRect(3, 3, 12, 12), 90 * 16, 300 * 16);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0, 0, 128));
        p.drawPolygon(QPolygon({QPoint(9, 0), QPoint(13, 3), QPoint(9, 6)}));
    });
}

QIcon chainIcon()
{
    return drawn_icon([](QPainter &p) {
        p.setPen(QPen(QColor(0, 0, 128), 2));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(QRect(1, 6, 9, 6), 3, 3);
        p.drawRoundedRect(QRect(8, 6, 9, 6), 3, 3);
    });
}

} // namespace

VideoView::VideoView(AppContext &ctx, ActiveList &list, QFrame *pn_videomain, int rowHeight, QObject *parent)
    : QObject(parent), ctx_(ctx), list_(list), pn_videomain_(pn_videomain), mp1_(MediaEngine::Output::Video)
{
    mp1_.setObjectName(QStringLiteral("mp1"));
    buildToolBar(rowHeight);
    buildVideoArea();
    buildShortcuts();

    tm_video_.setObjectName(QStringLiteral("tm_video"));
    tm_video_.setInterval(kTimerMs);
    connect(&tm_video_, &QTimer::timeout, this, &VideoView::tm_videoTimer);
    connect(&mp1_, &MediaEngine::opened, this, &VideoView::opened);
    connect(&mp1_, &MediaEngine::completed, this, &VideoView::mp1Notify);
    connect(&mp1_, &MediaEngine::failed, this, [this] {
        // The file could not be played on: closed, the window usable again, and said so.
        stopAndClose();
        ctx_.prompter().error(ctx_.msg(Msg::VideoCannotPlay));
    });
    connectOutput();

    connect(&list_, &ActiveList::changed, this, &VideoView::updateLoadButton);
    connect(&ctx_, &AppContext::selectionChanged, this, &VideoView::updateLoadButton);
    connect(&ctx_, &AppContext::filterChanged, this, &VideoView::updateLoadButton);
    connect(&ctx_, &AppContext::languageChanged, this, &VideoView::applyLanguage);
    setTransportEnabled(false);
    bt_loadmovie_->setEnabled(false);
}

VideoView::~VideoView()
{
    dropOpenGL(); // while the engine is still there to let go of the context
    if (QApplication::overrideCursor() && loading_)
        QApplication::restoreOverrideCursor();
}

// ---------------------------------------------------------------------------------------------
// Controls

QToolButton *VideoView::addButton(const char *name, const QIcon &icon, int tag, bool checkable)
{
    auto *b = new QToolButton(fup_videobuts_);
    b->setObjectName(QString::fromLatin1(name));
    b->setIcon(icon);
    b->setCheckable(checkable);
    b->setAutoRaise(true);
    b->setFocusPolicy(Qt::NoFocus);
    b->setFixedSize(fup_videobuts_->height() + 1, fup_videobuts_->height() - 2);
    if (tag > 0) {
        b->setProperty("tag", tag);
        connect(b, &QToolButton::clicked, this, &VideoView::bt_vplayClick);
    }
    fup_videobuts_->layout()->addWidget(b);
    return b;
}

void VideoView::buildToolBar(int rowHeight)
{
    tbar_video_ = new CollapsibleToolBar(QStringLiteral("tbar_video"), QStringLiteral("lb_contextvideo"),
                                         pn_videomain_);
    fup_videobuts_ = new QWidget(tbar_video_->content());
    fup_videobuts_->setObjectName(QStringLiteral("fup_videobuts"));
    fup_videobuts_->setFixedHeight(rowHeight + 2);
    auto *lay = new QHBoxLayout(fup_videobuts_);
    lay->setContentsMargins(2, 1, 2, 1);
    lay->setSpacing(1);
    tbar_video_->contentLayout()->addWidget(fup_videobuts_);

    bt_loadmovie_ = addButton("bt_loadmovie", loadIcon(), 0, false);
    connect(bt_loadmovie_, &QToolButton::clicked, this, [this] {
        bt_loadmovieClick();
        // The user turns to the video: its keys act from now on.
        pn_video_->setFocus(Qt::OtherFocusReason);
    });
    lay->addSpacing(6);
    bt_vplay_ = addButton("bt_vplay", standard(QStyle::SP_MediaPlay), Play, false);
    bt_vpause_ = addButton("bt_vpause", standard(QStyle::SP_MediaPause), Pause, false);
    bt_vstop_ = addButton("bt_vstop", standard(QStyle::SP_MediaStop), Stop, false);
    bt_vnext_ = addButton("bt_vnext", standard(QStyle::SP_MediaSkipForward), Next, false);
    bt_vprev_ = addButton("bt_vprev", standard(QStyle::SP_MediaSkipBackward), Previous, false);
    bt_vstep_ = addButton("bt_vstep", standard(QStyle::SP_MediaSeekForward), Step, false);
    bt_vback_ = addButton("bt_vback", standard(QStyle::SP_MediaSeekBackward), Back, false);
    bt_veject_ = addButton("bt_veject", ejectIcon(), Eject, false);
    lay->addSpacing(6);
    bt_repeat_ = addButton("bt_repeat", repeatIcon(), 0, true);
    bt_chain_ = addButton("bt_chain", chainIcon(), 0, true);
    connect(bt_repeat_, &QToolButton::clicked, this, &VideoView::bt_repeatClick);
    connect(bt_chain_, &QToolButton::clicked, this, &VideoView::bt_chainClick);
    lay->addStretch(1);
    pn_videomain_->layout()->addWidget(tbar_video_);
}

void VideoView::buildVideoArea()
{
    pb_time_ = new QProgressBar(pn_videomain_);
    pb_time_->setObjectName(QStringLiteral("pb_time"));
    pb_time_->setRange(0, 100);
    pb_time_->setValue(0);
    pb_time_->setTextVisible(false);
    pb_time_->setFixedHeight(10);

    pn_video_ = new QFrame(pn_videomain_);
    pn_video_->setObjectName(QStringLiteral("pn_video"));
    pn_video_->setFrameShape(QFrame::NoFrame);
    QPalette pal = pn_video_->palette();
    pal.setColor(QPalette::Window, QColor(0, 0, 128));
    pn_video_->setPalette(pal);
    pn_video_->setAutoFillBackground(true);
    pn_video_->setFocusPolicy(Qt::ClickFocus); // a click into the picture gives the keys to the video
    pn_video_->installEventFilter(this);

    // The picture lives in the part of pn_video above the zoom row and the status bar: a
    // picture larger than the view is cut there and never covers them. The area starts at
    // pn_video's top left, so the panel's place is the same in both.
    pictureArea_ = new QWidget(pn_video_);
    pn_videoout_ = new VideoPanel(QStringLiteral("pn_videoout"), pictureArea_);
    pn_videoout_->hide();

    pn_videozoom_ = new QFrame(pn_video_);
    pn_videozoom_->setObjectName(QStringLiteral("pn_videozoom"));
    pn_videozoom_->setFixedHeight(kRowHeight);
    pn_videozoom_->setAutoFillBackground(true);
    pn_videozoom_->setPalette(QApplication::palette());
    pn_videozoom_->installEventFilter(this);
    trb_videosize_ = new QSlider(Qt::Horizontal, pn_videozoom_);
    trb_videosize_->setObjectName(QStringLiteral("trb_videosize"));
    trb_videosize_->setRange(0, kVideoZoomMax);
    trb_videosize_->setTickInterval(10);
    trb_videosize_->setTickPosition(QSlider::NoTicks);
    trb_videosize_->setPageStep(10);
    trb_videosize_->setValue(0);
    connect(trb_videosize_, &QSlider::valueChanged, this, &VideoView::trb_videosizeChange);

    st_video_ = new PanelStatusBar(QStringLiteral("st_video"), {100, 110, 0}, pn_video_);
    st_video_->setFixedHeight(kRowHeight);
    st_video_->setAutoFillBackground(true);
    st_video_->setPalette(QApplication::palette());

    auto *area = new QVBoxLayout(pn_video_);
    area->setContentsMargins(0, 0, 0, 0);
    area->setSpacing(0);
    area->addWidget(pictureArea_, 1);
    area->addWidget(pn_videozoom_);
    area->addWidget(st_video_);

    auto *lay = static_cast<QVBoxLayout *>(pn_videomain_->layout());
    lay->addWidget(pb_time_);
    lay->addWidget(pn_video_, 1);
}

void VideoView::buildShortcuts()
{
    // While a video is open and the focus is in this view: Space plays or pauses, the arrows
    // step, Escape stops. Elsewhere (the tree, a list, an editor) the keys are that widget's.
    const std::pair<QKeySequence, int> keys[] = {{QKeySequence(Qt::Key_Space), Pause},
                                                 {QKeySequence(Qt::Key_Left), Back},
                                                 {QKeySequence(Qt::Key_Right), Step},
                                                 {QKeySequence(Qt::Key_Escape), Stop}};
    for (const auto &[seq, tag] : keys) {
        auto *s = new QShortcut(seq, pn_videomain_);
        s->setContext(Qt::WidgetWithChildrenShortcut);
        s->setEnabled(false);
        connect(s, &QShortcut::activated, this, [this, t = tag] { keyTransport(t); });
        keys_.append(s);
    }
}

// ---------------------------------------------------------------------------------------------
// Output: OpenGL where the platform offers it, software otherwise; the same panel and
// display rectangle for both.

void VideoView::setUpOpenGL()
{
    gl_ = new VideoGlWidget;
    gl_->setPainter([this](unsigned framebuffer, const QSize &size) {
        if (VideoGlRenderer *r = mp1_.glRenderer())
            r->render(framebuffer, size);
    });
    // The engine switches when the context exists (before the first open) and back when the
    // context goes.
    connect(gl_, &VideoGlWidget::contextReady, this, [this] {
        // Where libmpv refuses, the software renderer goes on drawing.
        if (mp1_.useOpenGL())
            connect(mp1_.glRenderer(), &VideoGlRenderer::updateRequested, gl_, &VideoGlWidget::refresh);
    });
    connect(gl_, &VideoGlWidget::contextLost, this, [this] { mp1_.useSoftware(); });
    pn_videoout_->setSurface(gl_);
}

void VideoView::dropOpenGL()
{
    if (!gl_)
        return;
    pn_videoout_->setSurface(nullptr);
    delete gl_; // tells contextLost with the context current: the engine draws in software
    gl_ = nullptr;
}

void VideoView::connectOutput()
{
    // The software renderer stays for the engine's life, whichever player it draws for.
    if (VideoRenderer *r = mp1_.renderer())
        connect(r, &VideoRenderer::frameReady, this, [this, r] {
            QRect part;
            const QImage frame = r->frame(&part);
            pn_videoout_->setFrame(frame, part);
        });
}

bool VideoView::drawsWithOpenGL() const
{
    return gl_ && mp1_.glRenderer();
}

QToolButton *VideoView::button(const char *name) const
{
    return pn_videomain_->findChild<QToolButton *>(QString::fromLatin1(name));
}

bool VideoView::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Resize) {
        if (watched == pn_video_)
            pn_videoResize();
        else if (watched == pn_videozoom_)
            pn_videozoomResize();
    }
    return QObject::eventFilter(watched, event);
}

void VideoView::setTransportEnabled(bool on)
{
    for (QToolButton *b : {bt_vplay_, bt_vpause_, bt_vstop_, bt_vnext_, bt_vprev_, bt_vstep_, bt_vback_,
                           bt_repeat_, bt_chain_})
        b->setEnabled(on);
    bt_veject_->setEnabled(false); // never reachable
    for (QShortcut *s : std::as_const(keys_))
        s->setEnabled(on);
}

void VideoView::updateLoadButton()
{
    // At least one entry selected, and a video mask in the filter or a video selected (videos
    // of the newer kinds come through user masks or "*.*").
    const Selection &sel = ctx_.selection();
    const bool videoSelected = !sel.fullPath.isEmpty() && file_kind(sel.fullPath) == FileKind::Video;
    if (!playing_ && !loading_)
        bt_loadmovie_->setEnabled(sel.selectedCount >= 1 && (ctx_.filter().flags.videos || videoSelected));
}

// ---------------------------------------------------------------------------------------------
// Routing

void VideoView::showFile(const QString &path)
{
    // Another file lets go of the open one (the chain opens the next one itself).
    if (path != videoFile_ && !chaining_)
        releaseFile();
    videoFile_ = path;
    updateLoadButton();
}

void VideoView::releaseFile()
{
    if (chaining_) {
        mp1_.close(); // the chain loads the next video at once
        return;
    }
    if (playing_) {
        stopAndClose();
        return;
    }
    if (mp1_.deviceId() > 0 || loading_) {
        pn_videoout_->hide();
        pn_videoout_->clearFrame();
        mp1_.close();
        if (loading_) {
            loading_ = false;
            QApplication::restoreOverrideCursor();
        }
        setTransportEnabled(false);
        pb_time_->setValue(0);
        for (int i = 0; i < 3; ++i)
            st_video_->setPanelText(i, QString());
    }
}

// ---------------------------------------------------------------------------------------------
// Load

void VideoView::bt_loadmovieClick()
{
    // 1. Prepare: close, no notify, steps of 5 frames, the routed file.
    mp1_.close();
    mp1_.setNotify(false);
    mp1_.setStepSize(kStepFrames);
    pn_videoout_->update();
    pn_videoout_->raise();
    if (videoFile_.isEmpty())
        return;
    // The output is chosen at the first load (the probe for OpenGL loads its driver, which a
    // start without videos need not wait for). OpenGL needs its context before the open;
    // without one, software draws.
    if (!outputChosen_) {
        outputChosen_ = true;
        if (VideoGlWidget::available())
            setUpOpenGL();
    }
    if (gl_ && !(gl_->ensureContext() && mp1_.glRenderer()))
        dropOpenGL();
    if (!loading_)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    loading_ = true;
    bt_loadmovie_->setEnabled(false);
    // 2. Open; the answer comes to opened().
    mp1_.open(videoFile_);
}

void VideoView::opened(bool ok, const QString &reason)
{
    Q_UNUSED(reason);
    if (!loading_)
        return; // released meanwhile
    loading_ = false;
    QApplication::restoreOverrideCursor();
    if (!ok || mp1_.deviceId() <= 0) {
        // The open failed: the list is usable again and the message says so.
        if (playing_)
            stopAndClose(); // a chained video: the window is unlocked
        mp1_.close();
        updateLoadButton();
        ctx_.prompter().error(ctx_.msg(Msg::VideoCannotPlay));
        return;
    }
    // 4. Initialise.
    savedFormat_ = mp1_.timeFormat();
    {
        const QSignalBlocker block(trb_videosize_);
        trb_videosize_->setValue(0);
    }
    mp1_.setTimeFormat(MediaEngine::TimeFormat::Milliseconds);
    pb_time_->setMaximum(int(std::max<qint64>(1, mp1_.length() / 10)));
    pb_time_->setValue(0);
    bt_loadmovie_->setEnabled(false);
    setTransportEnabled(true);
    // 5. Size the picture: a rectangle without size asks for the natural one.
    mp1_.put(QRect(kVideoInset, kVideoInset, 0, 0));
    base_ = video_base_size(mp1_.where());
    applyZoom();
    // 6. Status.
    st_video_->setPanelText(0, QStringLiteral("%1 x %2").arg(base_.width()).arg(base_.height()));
    st_video_->setPanelText(1, video_loaded_zoom_text(ctx_.msg(Msg::SizeLabel)));
    if (playAfterLoad_) {
        playAfterLoad_ = false;
        pn_videoout_->show();
        mp1_.setNotify(true);
        bt_vstop_->setEnabled(true);
        mp1_.play();
    }
}

// ---------------------------------------------------------------------------------------------
// Zoom and centring

void VideoView::applyZoom()
{
    if (base_.isEmpty())
        return;
    const VideoLayout l = video_layout(base_, trb_videosize_->value(), pn_video_->contentsRect().size());
    pn_videoout_->setGeometry(l.panel);
    pn_videoout_->setDisplayRect(l.display);
    // Only the part inside the area is drawn: a picture enlarged past the view costs no more.
    if (mp1_.deviceId() > 0)
        mp1_.put(l.display, video_visible_part(l, pn_video_->contentsRect().size()));
}

void VideoView::trb_videosizeChange(int position)
{
    applyZoom();
    if (!base_.isEmpty())
        st_video_->setPanelText(1, video_zoom_text(ctx_.msg(Msg::SizeLabel), position));
}

void VideoView::pn_videoResize()
{
    applyZoom();
}

void VideoView::pn_videozoomResize()
{
    trb_videosize_->setGeometry(pn_videozoom_->contentsRect());
}

// ---------------------------------------------------------------------------------------------
// Transport

void VideoView::bt_vplayClick()
{
    if (auto *b = qobject_cast<QToolButton *>(sender()))
        transport(b->property("tag").toInt());
}

void VideoView::keyTransport(int tag)
{
    if (tag == Pause && mp1_.mode() != MediaEngine::Mode::Playing && mp1_.mode() != MediaEngine::Mode::Paused)
        tag = Play;
    transport(tag);
}

void VideoView::transport(int tag)
{
    if (mp1_.deviceId() <= 0)
        return;
    mp1_.setNotify(true);
    switch (tag) {
    case Play:
        if (!playing_) {
            playing_ = true;
            emit lockRequested(true);
        }
        pn_videoout_->show();
        bt_vstop_->setEnabled(true);
        tm_video_.start();
        trb_videosize_->setValue(1); // the picture is drawn afresh, at 101 %
        trb_videosize_->setFocus();
        st_video_->setPanelText(2, ctx_.msg(Msg::VideoStopHint));
        mp1_.play();
        break;
    case Pause:
        bt_vstop_->setEnabled(true);
        mp1_.pauseResume();
        break;
    case Stop:
        stopAndClose();
        break;
    case Next:
        mp1_.next();
        break;
    case Previous:
        mp1_.previous();
        break;
    case Step:
        mp1_.step();
        break;
    case Back:
        mp1_.back();
        break;
    default:
        break; // Eject: the button stays disabled
    }
    tm_videoTimer();
}

void VideoView::stopAndClose()
{
    // The picture goes before the player, so that its memory goes back with the player's.
    pn_videoout_->hide();
    pn_videoout_->clearFrame();
    mp1_.setNotify(false);
    mp1_.setTimeFormat(savedFormat_);
    mp1_.stop();
    mp1_.rewind();
    mp1_.close();
    setTransportEnabled(false);
    bt_chain_->setChecked(false);
    tm_video_.stop();
    chain_ = false;
    playAfterLoad_ = false;
    {
        const QSignalBlocker block(trb_videosize_);
        trb_videosize_->setValue(0);
    }
    pb_time_->setValue(0);
    pb_time_->repaint();
    endPlaying();
    bt_loadmovie_->setEnabled(true);
    for (int i = 0; i < 3; ++i)
        st_video_->setPanelText(i, QString());
    if (loading_) {
        loading_ = false;
        QApplication::restoreOverrideCursor();
    }
}

void VideoView::endPlaying()
{
    if (!playing_)
        return;
    playing_ = false;
    st_video_->setPanelText(2, QString());
    emit lockRequested(false);
}

void VideoView::tm_videoTimer()
{
    if (mp1_.deviceId() <= 0)
        return;
    if (pb_time_->maximum() <= 1 && mp1_.length() > 10)
        pb_time_->setMaximum(int(mp1_.length() / 10));
    pb_time_->setValue(int(std::min<qint64>(pb_time_->maximum(), mp1_.position() / 10)));
}

// ---------------------------------------------------------------------------------------------
// Repeat, chain and the end of a video

void VideoView::bt_repeatClick()
{
    if (bt_chain_->isChecked())
        bt_chain_->setChecked(false);
    chain_ = false;
    repeat_ = bt_repeat_->isChecked();
}

void VideoView::bt_chainClick()
{
    if (bt_repeat_->isChecked())
        bt_repeat_->setChecked(false);
    repeat_ = false;
    chain_ = bt_chain_->isChecked();
    if (!chain_)
        bt_vstop_->setEnabled(true);
}

void VideoView::mp1Notify(vorn::MediaEngine::Command command, bool successful)
{
    tm_videoTimer();
    // Repeat and chain follow a play that ran to the end of the video; the completion of a
    // seek or step, or a play cut short, leaves the device where it is.
    if (command != MediaEngine::Command::Play || !successful || mp1_.mode() == MediaEngine::Mode::Paused)
        return;
    if (repeat_) {
        mp1_.rewind();
        mp1_.setNotify(true);
        mp1_.play();
    } else if (chain_) {
        chainToNext();
    } else {
        endPlaying(); // it stays open at its end; Play takes the lock-out again
    }
}

void VideoView::chainToNext()
{
    // The next video entry of the list (other kinds are passed over); after the last one the
    // same video plays again.
    const int from = list_.currentRow();
    for (int row = std::max(0, from + 1); row < list_.count(); ++row) {
        if (file_kind(list_.path(row)) != FileKind::Video)
            continue;
        chaining_ = true;
        list_.select(row, true);
        chaining_ = false;
        break;
    }
    playAfterLoad_ = true;
    bt_loadmovieClick();
}

void VideoView::applyLanguage()
{
    if (mp1_.deviceId() <= 0)
        return;
    const int p = trb_videosize_->value();
    const QString prefix = ctx_.msg(Msg::SizeLabel);
    st_video_->setPanelText(1, p == 0 ? video_loaded_zoom_text(prefix) : video_zoom_text(prefix, p));
    if (playing_)
        st_video_->setPanelText(2, ctx_.msg(Msg::VideoStopHint));
}

} // namespace vorn
