#include "viewers/video/media_engine.h"

#include "base/native_names.h"
#include "viewers/video/mpv_players.h"
#include "viewers/video/video_geometry.h"
#include "viewers/video/video_gl_renderer.h"
#include "viewers/video/video_renderer.h"

#include <QFileInfo>
#include <QVector>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <fcntl.h>
#include <mpv/client.h>
#include <mpv/render.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace vorn
{

namespace
{

enum Observed : uint64_t { TimePos = 1, Duration, EofReached, Fps, FrameCount, IdleActive };

// Properties read while events are handled are asked for asynchronously: a synchronous read
// waits for the player's core, which may itself wait for a frame to be drawn on this thread
// (OpenGL), and both would stall until libmpv's timeout. The reply carries the kind and the
// generation of the question; answers to an older open or step are dropped.
enum Query : uint64_t { OpenDuration = 1, OpenFps, OpenVid, SizeWidth, SizeHeight, StepTime };
constexpr int kQueryBits = 8;

int nextDeviceId = 0;

// The most back steps one step command may take before it seeks to its frame directly.
constexpr int kMaxExtraSteps = 3;

} // namespace

MediaEngine::MediaEngine(Output output, QObject *parent) : QObject(parent), output_(output)
{
    if (output == Output::Video)
        renderer_ = std::make_unique<VideoRenderer>();
    hold_player_log();
    makeSpare();
}

MediaEngine::~MediaEngine()
{
    // The OpenGL renderer went with its context before this (useSoftware).
    glRenderer_.reset();
    releasePlayer();
    if (spare_.valid()) {
        if (mpv_handle *spare = spare_.get()) {
            begin_ending_player();
            end_player(spare, nullptr);
        }
    }
    for (std::future<void> &f : ending_)
        f.wait();
    release_player_log();
}

void MediaEngine::makeSpare()
{
    if (spare_.valid() || glRenderer_)
        return;
    const bool video = output_ == Output::Video;
    spare_ = std::async(std::launch::async, [video] { return make_player(video); });
}

bool MediaEngine::createPlayer()
{
    if (mpv_)
        return true;
    mpv_ = spare_.valid() ? spare_.get() : make_player(output_ == Output::Video);
    if (!mpv_)
        return false;
    mpv_observe_property(mpv_, TimePos, "time-pos", MPV_FORMAT_DOUBLE);
    mpv_observe_property(mpv_, Duration, "duration", MPV_FORMAT_DOUBLE);
    mpv_observe_property(mpv_, EofReached, "eof-reached", MPV_FORMAT_FLAG);
    mpv_observe_property(mpv_, Fps, "container-fps", MPV_FORMAT_DOUBLE);
    mpv_observe_property(mpv_, FrameCount, "estimated-frame-count", MPV_FORMAT_INT64);
    mpv_observe_property(mpv_, IdleActive, "idle-active", MPV_FORMAT_FLAG);
    if (renderer_)
        renderer_->attach(mpv_);
    mpv_set_wakeup_callback(
        mpv_,
        [](void *self) {
            // On a thread of libmpv: only queue the draining on our own thread.
            auto *engine = static_cast<MediaEngine *>(self);
            if (!engine->wakeupQueued_.exchange(true))
                QMetaObject::invokeMethod(
                    engine, [engine] { engine->drainEvents(); }, Qt::QueuedConnection);
        },
        this);
    return true;
}

void MediaEngine::releasePlayer()
{
    // The OpenGL render context can only go with its OpenGL context current: that player stays.
    if (!mpv_ || glRenderer_) {
        if (std::exchange(lowTrim_, false))
            release_low_trim();
        return;
    }
    // The low trim threshold held while playing carries over into the end.
    if (!std::exchange(lowTrim_, false))
        begin_ending_player();
    mpv_set_wakeup_callback(mpv_, nullptr, nullptr);
    mpv_render_context *ctx = renderer_ ? renderer_->detach() : nullptr;
    mpv_handle *mpv = std::exchange(mpv_, nullptr);
    // Ending the player joins its threads and frees its decoders, queues and frames, which takes
    // a while: on a thread of its own, so the window goes on meanwhile and the next player need
    // not wait for it.
    collectEnded();
    ending_.push_back(std::async(std::launch::async, [ctx, mpv] { end_player(mpv, ctx); }));
}

void MediaEngine::collectEnded()
{
    std::erase_if(ending_, [](const std::future<void> &f) {
        return f.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
    });
}

bool MediaEngine::useOpenGL()
{
    if (glRenderer_)
        return true;
    if (!renderer_ || !createPlayer())
        return false;
    // One render context per player: the software one goes first.
    if (mpv_render_context *ctx = renderer_->detach())
        mpv_render_context_free(ctx);
    glRenderer_ = std::make_unique<VideoGlRenderer>(mpv_);
    if (glRenderer_->isValid()) {
        if (std::exchange(lowTrim_, false))
            release_low_trim();
        return true;
    }
    glRenderer_.reset();
    renderer_->attach(mpv_);
    showPart();
    return false;
}

void MediaEngine::useSoftware()
{
    if (!glRenderer_)
        return;
    glRenderer_.reset();
    if (mpv_)
        renderer_->attach(mpv_);
    showPart();
    makeSpare();
}

quint64 MediaEngine::framesDrawn() const
{
    if (glRenderer_)
        return glRenderer_->framesDrawn();
    return renderer_ ? renderer_->framesDrawn() : 0;
}

// ---------------------------------------------------------------------------------------------
// Commands

void MediaEngine::command(std::initializer_list<const char *> args)
{
    if (!mpv_)
        return;
    QVector<const char *> argv(args.begin(), args.end());
    argv.append(nullptr);
    mpv_command_async(mpv_, 0, argv.data());
}

void MediaEngine::setPaused(bool paused)
{
    int flag = paused ? 1 : 0;
    mpv_set_property_async(mpv_, 0, "pause", MPV_FORMAT_FLAG, &flag);
}

void MediaEngine::supersede()
{
    ++stepQuery_;
    stepsLeft_ = 0;
    stepDirection_ = 0;
    if (pending_ != Command::None) {
        const Command c = pending_;
        pending_ = Command::None;
        QMetaObject::invokeMethod(
            this, [this, c] { emit completed(c, false); }, Qt::QueuedConnection);
    }
}

void MediaEngine::expect(Command c)
{
    if (notify_)
        pending_ = c;
    notify_ = false; // notify applies to one command
}

void MediaEngine::finish(Command c, bool successful)
{
    if (pending_ != c)
        return;
    pending_ = Command::None;
    QMetaObject::invokeMethod(
        this, [this, c, successful] { emit completed(c, successful); }, Qt::QueuedConnection);
}

void MediaEngine::open(const QString &file)
{
    close();
    notify_ = false;
    if (!createPlayer()) {
        QMetaObject::invokeMethod(
            this, [this] { emit opened(false, QStringLiteral("libmpv")); }, Qt::QueuedConnection);
        return;
    }
    opening_ = true;
    entryId_ = -1;
    timeFormat_ = TimeFormat::Frames;
    setPaused(true);
    // The player reads the file through a descriptor of its own, so no name is ever taken for
    // a protocol, an option or a list, and a renamed or replaced file cannot swap in.
    const QByteArray path = native_path(QFileInfo(file).absoluteFilePath());
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    struct stat st {
    };
    if (fd < 0 || ::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        if (fd >= 0)
            ::close(fd);
        opening_ = false;
        QMetaObject::invokeMethod(
            this, [this] { emit opened(false, QStringLiteral("not a regular file")); }, Qt::QueuedConnection);
        return;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    // fdclose: the player closes the descriptor with the stream.
    const QByteArray url = "fdclose://" + QByteArray::number(fd);
    used_ = true;
    if (!glRenderer_ && !std::exchange(lowTrim_, true))
        hold_low_trim();
    makeSpare(); // for the file after this one
    command({"loadfile", url.constData(), "replace"});
}

void MediaEngine::close()
{
    supersede();
    deviceId_ = 0;
    // A player that has had a file goes with everything it holds (a new one plays the next
    // file); the one drawing through OpenGL only lets go of the file.
    if (used_ && glRenderer_)
        command({"stop"});
    else if (used_)
        releasePlayer();
    used_ = false;
    if (renderer_)
        renderer_->releaseFrames();
    opening_ = loaded_ = hasVideo_ = seeking_ = eof_ = false;
    entryId_ = -1;
    mode_ = Mode::NotReady;
    timePos_ = duration_ = fps_ = 0;
    frame_ = frameCount_ = 0;
    natural_ = QSize();
    display_ = QRect();
    part_ = QRect();
    ++openQuery_;
}

void MediaEngine::query(const char *name, int format, uint64_t kind, quint64 generation)
{
    mpv_get_property_async(mpv_, (generation << kQueryBits) | kind, name, mpv_format(format));
}

void MediaEngine::finishOpen(bool ok, const QString &reason)
{
    opening_ = false;
    if (ok) {
        deviceId_ = ++nextDeviceId;
        mode_ = Mode::Stopped;
        if (!hasVideo_)
            timeFormat_ = TimeFormat::Milliseconds;
    } else {
        command({"stop"});
        loaded_ = false;
        entryId_ = -1;
    }
    emit opened(ok, reason);
}

void MediaEngine::play()
{
    if (deviceId_ <= 0)
        return;
    supersede();
    startPlaying();
}

// Playing (or resuming) completes at the end of the file; with nothing left to play the
// command completes at once, as it ran to the end.
void MediaEngine::startPlaying()
{
    expect(Command::Play);
    if (eof_) {
        mode_ = Mode::Stopped;
        finish(Command::Play, true);
        return;
    }
    mode_ = Mode::Playing;
    setPaused(false);
}

void MediaEngine::pauseResume()
{
    if (deviceId_ <= 0)
        return;
    supersede();
    if (mode_ == Mode::Paused) {
        startPlaying(); // resuming continues the play
        return;
    }
    expect(Command::Pause);
    if (mode_ == Mode::Playing) {
        mode_ = Mode::Paused;
        setPaused(true);
    }
    finish(Command::Pause, true);
}

void MediaEngine::stop()
{
    if (deviceId_ <= 0)
        return;
    supersede();
    expect(Command::Stop);
    setPaused(true);
    mode_ = Mode::Stopped;
    finish(Command::Stop, true);
}

void MediaEngine::seekTo(const char *target, const char *kind)
{
    if (deviceId_ <= 0)
        return;
    supersede();
    expect(Command::Seek);
    setPaused(true);
    mode_ = Mode::Stopped;
    seeking_ = true;
    eof_ = false; // eof-reached reports the end again if the seek lands there
    command({"seek", target, kind});
}

void MediaEngine::rewind()
{
    seekTo("0", "absolute+exact");
}
void MediaEngine::next()
{
    seekTo("100", "absolute-percent+exact");
}
void MediaEngine::previous()
{
    rewind();
}

void MediaEngine::step()
{
    if (deviceId_ <= 0)
        return;
    supersede();
    expect(Command::Step);
    mode_ = Mode::Paused;
    if (!hasVideo_ || eof_) {
        finish(Command::Step, true);
        return;
    }
    // Each frame-step shows one more frame and pauses; libmpv adds them up.
    stepDirection_ = 1;
    stepTarget_ = frame_ + stepSize_;
    stepsLeft_ = 0;
    finishAs_ = Command::Step;
    for (int i = 0; i < stepSize_; ++i)
        command({"frame-step"});
}

void MediaEngine::back()
{
    if (deviceId_ <= 0)
        return;
    supersede();
    expect(Command::Step);
    mode_ = Mode::Paused;
    if (!hasVideo_ || frame_ <= 0) {
        setPaused(true);
        finish(Command::Step, true);
        return;
    }
    // A back step is an exact seek; the next one may only start when it has landed.
    stepDirection_ = -1;
    finishAs_ = Command::Step;
    stepTarget_ = std::max<qint64>(0, frame_ - stepSize_);
    stepsLeft_ = int(frame_ - stepTarget_) + kMaxExtraSteps;
    eof_ = false;
    issueStep();
}

void MediaEngine::issueStep()
{
    ++stepQuery_;
    --stepsLeft_;
    seeking_ = true;
    command({"frame-back-step"});
}

qint64 MediaEngine::frameAt(double seconds) const
{
    if (fps_ <= 0)
        return 0;
    return qint64(std::llround(seconds * fps_));
}

void MediaEngine::landStep()
{
    // The frame shown is the target, or past it when libmpv took a step too many: then an
    // exact seek goes to the target itself.
    if (frame_ != stepTarget_ && fps_ > 0 && stepsLeft_ >= 0) {
        stepsLeft_ = -1; // one correction only
        seeking_ = true;
        ++stepQuery_;
        const QByteArray t = QByteArray::number(double(stepTarget_) / fps_ - 0.001, 'f', 6);
        command({"seek", t.constData(), "absolute+exact"});
        return;
    }
    stepDirection_ = 0;
    stepsLeft_ = 0;
    setPaused(true);
    finish(finishAs_, true);
}

void MediaEngine::put(const QRect &rect, const QRect &visible)
{
    display_ = rect;
    if (rect.width() <= 0 || rect.height() <= 0)
        display_ = QRect(rect.topLeft(), natural_);
    const QRect whole(QPoint(0, 0), display_.size());
    part_ = visible.isNull() ? whole : visible & whole;
    showPart();
}

void MediaEngine::showPart()
{
    if (!renderer_ || glRenderer_)
        return; // OpenGL draws the whole picture into a surface the window cuts
    // The software renderer draws only what shows: the player enlarges the picture, centred,
    // so that the output of the part's size holds just that (centred) part.
    if (mpv_ && !part_.isEmpty()) {
        double zoom = video_zoom_exponent(display_.size(), part_.size());
        mpv_set_property_async(mpv_, 0, "video-zoom", MPV_FORMAT_DOUBLE, &zoom);
    }
    renderer_->setTarget(part_);
}

// ---------------------------------------------------------------------------------------------
// Status

qint64 MediaEngine::length() const
{
    if (timeFormat_ == TimeFormat::Frames)
        return frameCount_ > 0 ? frameCount_ : qint64(std::llround(duration_ * fps_));
    return qint64(std::llround(duration_ * 1000));
}

qint64 MediaEngine::position() const
{
    if (timeFormat_ == TimeFormat::Frames)
        return frame_;
    // With a picture, the time of the frame shown: the sound of a program stream may start a
    // little before the first frame, which must still be at 0.
    if (hasVideo_ && fps_ > 0)
        return qint64(std::llround(double(frame_) * 1000.0 / fps_));
    return qint64(std::llround(timePos_ * 1000));
}

MediaEngine::Mode MediaEngine::mode() const
{
    if (deviceId_ <= 0)
        return Mode::NotReady;
    return seeking_ && stepDirection_ == 0 ? Mode::Seeking : mode_;
}

qint64 MediaEngine::droppedFrames() const
{
    return property("frame-drop-count").toLongLong() + property("decoder-frame-drop-count").toLongLong();
}

QString MediaEngine::property(const char *name) const
{
    if (!mpv_)
        return {};
    char *value = mpv_get_property_string(mpv_, name);
    const QString text = value ? QString::fromUtf8(value) : QString();
    mpv_free(value);
    return text;
}

// ---------------------------------------------------------------------------------------------
// Events, on the thread of this object

void MediaEngine::drainEvents()
{
    wakeupQueued_ = false;
    while (mpv_) {
        mpv_event *event = mpv_wait_event(mpv_, 0);
        if (!event || event->event_id == MPV_EVENT_NONE)
            break;
        handleEvent(*event);
    }
}

void MediaEngine::handleReply(const mpv_event &event)
{
    const uint64_t kind = event.reply_userdata & ((1u << kQueryBits) - 1);
    const quint64 generation = event.reply_userdata >> kQueryBits;
    const auto *prop = static_cast<mpv_event_property *>(event.data);
    const bool has = event.error >= 0 && prop && prop->data && prop->format != MPV_FORMAT_NONE;
    auto number = [&] {
        return has && prop->format == MPV_FORMAT_DOUBLE ? *static_cast<double *>(prop->data) : 0.0;
    };
    auto integer = [&] {
        return has && prop->format == MPV_FORMAT_INT64 ? *static_cast<int64_t *>(prop->data) : 0;
    };

    if (kind == StepTime) {
        if (generation != stepQuery_ || stepDirection_ == 0)
            return;
        frame_ = frameAt(number());
        if (stepDirection_ < 0 && frame_ > stepTarget_ && stepsLeft_ > 0)
            issueStep();
        else if (stepDirection_ < 0 || frame_ >= stepTarget_ || stepsLeft_ < 0)
            landStep();
        return;
    }
    if (generation != openQuery_)
        return; // about a file closed since
    switch (kind) {
    case OpenDuration:
        if (duration_ <= 0) // the observed value may still be on the way
            duration_ = number();
        break;
    case OpenFps:
        if (fps_ <= 0)
            fps_ = number();
        break;
    case OpenVid: {
        if (!opening_)
            break;
        loaded_ = true;
        const QString vid = has && prop->format == MPV_FORMAT_STRING
                                ? QString::fromUtf8(*static_cast<char **>(prop->data))
                                : QString();
        const bool output = (renderer_ && renderer_->isValid()) || glRenderer_;
        hasVideo_ = output && !vid.isEmpty() && vid != QLatin1String("no");
        // With video, the open completes when the first frame has told its size.
        if (!hasVideo_ || !natural_.isEmpty())
            finishOpen(true, {});
        break;
    }
    case SizeWidth:
        pendingWidth_ = int(integer());
        break;
    case SizeHeight: {
        const QSize size(pendingWidth_, int(integer()));
        if (!size.isEmpty())
            natural_ = size;
        if (opening_ && loaded_ && hasVideo_ && !natural_.isEmpty())
            finishOpen(true, {});
        break;
    }
    default:
        break;
    }
}

void MediaEngine::handleEvent(const mpv_event &event)
{
    switch (event.event_id) {
    case MPV_EVENT_START_FILE:
        // The entry this open loads; end events of earlier entries are not ours.
        if (opening_ && entryId_ < 0)
            entryId_ = static_cast<mpv_event_start_file *>(event.data)->playlist_entry_id;
        break;
    case MPV_EVENT_FILE_LOADED:
        if (!opening_ || entryId_ < 0)
            break;
        // Answered in this order; the open goes on with the answer about the video track.
        query("duration", MPV_FORMAT_DOUBLE, OpenDuration, openQuery_);
        query("container-fps", MPV_FORMAT_DOUBLE, OpenFps, openQuery_);
        query("vid", MPV_FORMAT_STRING, OpenVid, openQuery_);
        break;
    case MPV_EVENT_VIDEO_RECONFIG:
        query("dwidth", MPV_FORMAT_INT64, SizeWidth, openQuery_);
        query("dheight", MPV_FORMAT_INT64, SizeHeight, openQuery_);
        break;
    case MPV_EVENT_GET_PROPERTY_REPLY:
        handleReply(event);
        break;
    case MPV_EVENT_END_FILE: {
        const auto *end = static_cast<mpv_event_end_file *>(event.data);
        if (entryId_ < 0 || end->playlist_entry_id != entryId_)
            break;
        if (opening_) {
            QString reason = end->reason == MPV_END_FILE_REASON_ERROR
                                 ? QString::fromUtf8(mpv_error_string(end->error))
                                 : QStringLiteral("no playable stream");
            finishOpen(false, reason);
        } else if (deviceId_ > 0) {
            // The file went away under the player (a read error): nothing more plays.
            loaded_ = false;
            eof_ = true;
            seeking_ = false;
            mode_ = Mode::Stopped;
            if (pending_ != Command::None)
                finish(pending_, false);
            const int device = deviceId_;
            QMetaObject::invokeMethod(
                this,
                [this, device] {
                    if (deviceId_ == device) // not closed or opened anew meanwhile
                        emit failed();
                },
                Qt::QueuedConnection);
        }
        break;
    }
    case MPV_EVENT_PLAYBACK_RESTART:
        if (!seeking_)
            break;
        seeking_ = false;
        if (stepDirection_ != 0) {
            // The position event follows the restart: ask where the step landed now.
            query("time-pos", MPV_FORMAT_DOUBLE, StepTime, stepQuery_);
            break;
        } else {
            finish(Command::Seek, true);
        }
        emit positionChanged();
        break;
    case MPV_EVENT_PROPERTY_CHANGE: {
        const auto *prop = static_cast<mpv_event_property *>(event.data);
        const bool has = prop->format != MPV_FORMAT_NONE && prop->data;
        switch (event.reply_userdata) {
        case TimePos:
            // The frame shown: its time at the container's rate, as libmpv estimates it.
            timePos_ = has ? *static_cast<double *>(prop->data) : 0;
            frame_ = frameAt(timePos_);
            if (stepDirection_ > 0 && frame_ >= stepTarget_)
                landStep();
            break;
        case Duration:
            duration_ = has ? *static_cast<double *>(prop->data) : 0;
            break;
        case Fps:
            fps_ = has ? *static_cast<double *>(prop->data) : 0;
            break;
        case FrameCount:
            frameCount_ = has ? *static_cast<int64_t *>(prop->data) : 0;
            break;
        case IdleActive:
            // The player has let go of the closed file (decoders, queues, frames): the heap
            // keeps what they freed unless asked to hand it back.
            if (has && *static_cast<int *>(prop->data) && deviceId_ == 0 && !opening_)
                give_back_free_memory();
            break;
        case EofReached:
            eof_ = has && *static_cast<int *>(prop->data);
            if (eof_ && deviceId_ > 0 && !seeking_) {
                if (mode_ == Mode::Playing)
                    mode_ = Mode::Stopped;
                if (stepDirection_ > 0)
                    landStep();
                finish(Command::Play, true);
            }
            break;
        default:
            break;
        }
        if (deviceId_ > 0)
            emit positionChanged();
        break;
    }
    default:
        break;
    }
}

} // namespace vorn
