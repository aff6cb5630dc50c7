// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <gdk-pixbuf/gdk-pixbuf.h>

#include <cstddef>
#include <optional>

#include "platform/system/GObjectPtr.h"

namespace orvel {

// The player shows no picture larger than a YouTube still (1280 × 720); an image wider or taller
// than this is refused before its pixels are held, however small its file: a 775 KB PNG can
// stand for 16000 × 16000 pixels, a gigabyte once decoded.
inline constexpr int kLargestImageSide = 4096;

struct ImageSize {
  int width = 0;
  int height = 0;
};

// Decodes an image from memory (PNG, JPEG, WebP…), refusing it once its header shows a side over
// kLargestImageSide. With `scaledTo` the image is scaled to that size as it is decoded, where the
// format allows it. Null for data that is no image or too large.
GObjectPtr<GdkPixbuf> decodeImage(const void* data, std::size_t size,
                                  std::optional<ImageSize> scaledTo = std::nullopt);

}  // namespace orvel
