// Making and ending the libmpv players of the media engine, on any thread.
//
// A player is made with the options that keep it to exactly the file it is given: no window,
// keys, scripts, configuration files, network helpers or files found next to it. Players may
// overlap (the next one is made before the last has ended): libmpv hands ffmpeg's log to the
// first player alive and, once that one ends, lets ffmpeg write to stderr for good, so while
// anyone holds the log, a player that never plays keeps it. Ending a player unloads its file
// first, taking its frames without drawing them (its video output would otherwise wait up to
// 200 ms for each), and hands the memory it freed back to the system.
#pragma once

struct mpv_handle;
struct mpv_render_context;

namespace vorn
{

// Held by each media engine for its life, around every player it makes: the first holder's
// first player sets up the log holder, the last release ends it.
void hold_player_log();
void release_player_log();

// A new player, initialised and idle; null when libmpv refuses. `video`: with the output for
// the render API, otherwise sound only.
mpv_handle *make_player(bool video);

// While held (counted), the heaps give a free top back to the system at once: taken while a
// file plays, so its threads' heaps do not keep what playback freed.
void hold_low_trim();
void release_low_trim();

// The end of a player starts here, on the thread that lets go of it (before it frees the
// frames it drew), so that what is freed from then on goes back to the system too.
void begin_ending_player();
// Ends `mpv` and its render context (may be null) on the calling thread, after
// begin_ending_player(). Nothing else may use either any more.
void end_player(mpv_handle *mpv, mpv_render_context *ctx);

// Returns the free pages of the heaps to the system.
void give_back_free_memory();

} // namespace vorn
