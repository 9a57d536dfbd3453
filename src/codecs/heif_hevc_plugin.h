// HEVC-coded HEIF images decoded by FFmpeg's HEVC decoder on both cores, in place of libheif's
// own libde265 plugin, which decodes on one thread. Registered with libheif at a priority above
// libde265's, so every HEVC image (a whole picture, each tile of a grid, a thumbnail, an alpha
// plane) goes through it. The decoder reads the coded data from memory only: chosen by codec id,
// no demuxer, no file name.
#pragma once

namespace vorn
{

// Registers the plugin once per process (safe to call from any thread, any number of times).
// False when FFmpeg has no HEVC decoder; libheif then keeps using its own.
bool register_heif_hevc_plugin();

// Threads one image's decode uses (at least 1): the machine's cores, at most 4.
int heif_hevc_threads();

} // namespace vorn
