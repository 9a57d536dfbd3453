#include "viewers/video/mpv_players.h"

#include "codecs/image_memory.h"

#include <atomic>
#include <mutex>
#ifdef __GLIBC__
#include <malloc.h>
#endif
#include <mpv/client.h>
#include <mpv/render.h>
#include <utility>

namespace vorn
{

namespace
{

using Options = std::initializer_list<std::pair<const char *, const char *>>;

// A player without its own window, keys, scripts (the built-in ones included), configuration,
// resume files or network helpers.
constexpr Options kQuiet = {
    {"config", "no"},
    {"terminal", "no"},
    {"input-default-bindings", "no"},
    {"input-vo-keyboard", "no"},
    {"osc", "no"},
    {"load-scripts", "no"},
    {"load-stats-overlay", "no"},
    {"load-osd-console", "no"},
    {"load-auto-profiles", "no"},
    {"ytdl", "no"},
    {"resume-playback", "no"},
    {"idle", "yes"},
};

// What a playing player needs besides: it stays at the end of a file instead of unloading it,
// like a media device does, and plays exactly the file it is given.
constexpr Options kPlaying = {
    {"keep-open", "yes"},
    {"pause", "yes"},
    {"audio-display", "no"},
    {"sub-auto", "no"},
    {"audio-file-auto", "no"},
    {"cover-art-auto", "no"},
    {"hr-seek", "yes"},
    // Exact seeks start decoding a second early: MPEG program streams otherwise land on the
    // key frame after the start when asked for the first frame.
    {"hr-seek-demuxer-offset", "1"},
    {"osd-level", "0"},
    {"load-unsafe-playlists", "no"},
    // Exactly the chosen file plays: the file is handed over by its descriptor, only
    // libavformat reads it (mpv's own EDL, CUE, playlist and image-list readers never see it),
    // only real container formats are accepted (no HLS, concat or other list that names further
    // files), and nothing the file refers to is opened, local or remote.
    {"demuxer", "lavf"},
    {"demuxer-lavf-o", "format_whitelist=[mpeg,mpegts,mpegvideo,m4v,h264,hevc,avi,matroska,mov,asf,flv,ogg,"
                       "mp3,wav,flac,aac,ac3,aiff,au,dv,nut,rm,ivf,w64,amr,ape,wv,mpc,tta,voc],"
                       "protocol_whitelist=none"},
    {"access-references", "no"},
    {"ordered-chapters", "no"},
    // Decoding stays on the processor: no probing of graphics interop libraries.
    {"hwdec", "no"},
    {"gpu-hwdec-interop", "no"},
    // The software renderer enlarges with a bilinear filter: a tenth less processor time than
    // the default, which leaves more to decoding on a busy machine.
    {"zimg-scaler", "bilinear"},
};

mpv_handle *new_player(std::initializer_list<Options> sets)
{
    mpv_handle *mpv = mpv_create();
    if (!mpv)
        return nullptr;
    for (const Options &set : sets)
        for (const auto &[name, value] : set)
            mpv_set_option_string(mpv, name, value);
    if (mpv_initialize(mpv) < 0) {
        mpv_terminate_destroy(mpv);
        return nullptr;
    }
    return mpv;
}

std::mutex logLock;
int logHolders = 0;
mpv_handle *logHolder = nullptr; // never plays; made with the first player after a hold

// While a player ends, the heaps give back what it frees. Its threads allocate from heaps of
// their own, and glibc returns the free top of such a heap only when a free in it finds the top
// above the trim threshold, which grows with the largest block freed (up to 64 MB): frames of a
// few megabytes would keep 10-50 MB a heap for good, and malloc_trim does not touch these tops.
// So the threshold is low while a file plays (a heap top freed during playback goes back at
// once) and from the start of the end until everything is freed, and then at glibc's upper
// bound, so later work keeps what it reuses as before. Counted, since several players may play
// and end at once.
std::atomic<int> playersEnding{0};

// How long an ending player may take to unload its file before it is ended regardless.
constexpr int kUnloadPolls = 400;
constexpr double kUnloadPollSeconds = 0.005;

} // namespace

void hold_player_log()
{
    const std::lock_guard lock(logLock);
    ++logHolders;
}

void release_player_log()
{
    mpv_handle *ending = nullptr;
    {
        const std::lock_guard lock(logLock);
        if (--logHolders == 0)
            ending = std::exchange(logHolder, nullptr);
    }
    if (ending)
        mpv_terminate_destroy(ending);
}

mpv_handle *make_player(bool video)
{
    {
        const std::lock_guard lock(logLock);
        if (logHolders > 0 && !logHolder)
            logHolder = new_player({kQuiet, {{"vo", "null"}, {"ao", "null"}, {"vid", "no"}, {"aid", "no"}}});
    }
    return new_player(
        {kQuiet, kPlaying, {{"vo", video ? "libmpv" : "null"}, {"vid", video ? "auto" : "no"}}});
}

void hold_low_trim()
{
#ifdef __GLIBC__
    if (playersEnding.fetch_add(1) == 0)
        mallopt(M_TRIM_THRESHOLD, 0);
#endif
}

void release_low_trim()
{
#ifdef __GLIBC__
    malloc_trim(0);
    if (playersEnding.fetch_sub(1) == 1)
        mallopt(M_TRIM_THRESHOLD, kKeptHeapTopBytes);
#endif
}

void begin_ending_player()
{
    hold_low_trim();
}

void end_player(mpv_handle *mpv, mpv_render_context *ctx)
{
    if (ctx) {
        // The file is unloaded while its frames are taken without drawing: the decoders and the
        // video output end at once instead of waiting for a window that draws no more.
        constexpr uint64_t kIdleActive = 0x1d1e;
        mpv_observe_property(mpv, kIdleActive, "idle-active", MPV_FORMAT_FLAG);
        const char *stop[] = {"stop", nullptr};
        mpv_command_async(mpv, 0, stop);
        int skip = 1;
        mpv_render_param skipping[] = {{MPV_RENDER_PARAM_SKIP_RENDERING, &skip},
                                       {MPV_RENDER_PARAM_INVALID, nullptr}};
        bool idle = false;
        for (int i = 0; i < kUnloadPolls && !idle; ++i) {
            if (mpv_render_context_update(ctx) & MPV_RENDER_UPDATE_FRAME)
                mpv_render_context_render(ctx, skipping);
            for (mpv_event *e = mpv_wait_event(mpv, kUnloadPollSeconds); e->event_id != MPV_EVENT_NONE;
                 e = mpv_wait_event(mpv, 0)) {
                const auto *prop = static_cast<mpv_event_property *>(e->data);
                if (e->event_id == MPV_EVENT_PROPERTY_CHANGE && e->reply_userdata == kIdleActive &&
                    prop->format == MPV_FORMAT_FLAG && *static_cast<int *>(prop->data))
                    idle = true;
            }
        }
        mpv_render_context_free(ctx);
    }
    mpv_terminate_destroy(mpv);
    release_low_trim();
}

void give_back_free_memory()
{
#ifdef __GLIBC__
    malloc_trim(0);
#endif
}

} // namespace vorn
