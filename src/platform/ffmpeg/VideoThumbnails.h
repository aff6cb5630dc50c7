// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <gdk-pixbuf/gdk-pixbuf.h>

#include <memory>
#include <string>

namespace orvel {

// Thumbnails of local video files, shared with the desktop through the freedesktop thumbnail
// cache ($XDG_CACHE_HOME/thumbnails), so that what the player makes the file manager uses too,
// and the other way round. Safe on any thread.
namespace VideoThumbnails {

using Pixbuf = std::shared_ptr<GdkPixbuf>;

// The largest thumbnail made: the playlist's rows show 160 × 90 at twice the scale.
constexpr int kWidth = 320;
constexpr int kHeight = 180;

// Where the cache keeps the thumbnail of a URI in one of its size folders ("large" holds up to
// 256 pixels, "x-large" up to 512): the MD5 of the URI, as hex, with ".png".
std::string cachePath(const std::string& cacheFolder, const std::string& sizeFolder,
                      const std::string& uri);

// A cached thumbnail that is still current (its Thumb::MTime is the file's), else one frame
// decoded a tenth of the way in and fitted into 320 × 180; the cache keeps it at 256 pixels in
// "large", readable by the user alone. Null when the file cannot be read or decoded.
Pixbuf thumbnail(const std::string& path);
// The same with the cache folder given.
Pixbuf thumbnail(const std::string& path, const std::string& cacheFolder);

}  // namespace VideoThumbnails

}  // namespace orvel
