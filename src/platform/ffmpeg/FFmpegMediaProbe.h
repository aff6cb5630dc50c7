// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <string>

#include "playlist/PlaylistMetadata.h"

namespace orvel {

// The facts of a local video file as FFmpeg's demuxer reads them: the duration, and of the first
// video stream (cover art aside) the displayed size after its rotation, the codec's
// four-character code as a name, and the nominal frame rate. Unknown facts stay absent; a file
// that cannot be read gives an empty record. Safe on any thread.
PlaylistMetadata::Info probeMediaFile(const std::string& path);

// What the playlist shows of a local file: its thumbnail from the desktop's cache or made now,
// and with `readFacts` the facts above. The playlist metadata's file probe.
PlaylistMetadata::Info readLocalFile(const std::string& path, bool readFacts);

}  // namespace orvel
