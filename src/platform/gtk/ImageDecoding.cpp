// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/gtk/ImageDecoding.h"

#include <algorithm>

namespace orvel {
namespace {

struct Decoding {
  std::optional<ImageSize> scaledTo;
  bool tooLarge = false;
};

// Told the size as soon as the header is read, before the pixels are given room. A size of 0
// tells the format's reader to allocate nothing more: the loader is about to close.
void sizePrepared(GdkPixbufLoader* loader, int width, int height, gpointer data) {
  auto* decoding = static_cast<Decoding*>(data);
  if (width > kLargestImageSide || height > kLargestImageSide) {
    decoding->tooLarge = true;
    gdk_pixbuf_loader_set_size(loader, 0, 0);
  } else if (decoding->scaledTo) {
    gdk_pixbuf_loader_set_size(loader, decoding->scaledTo->width, decoding->scaledTo->height);
  }
}

}  // namespace

GObjectPtr<GdkPixbuf> decodeImage(const void* data, std::size_t size,
                                  std::optional<ImageSize> scaledTo) {
  auto loader = adoptGObject(gdk_pixbuf_loader_new());
  Decoding decoding{scaledTo, false};
  g_signal_connect(loader.get(), "size-prepared", G_CALLBACK(sizePrepared), &decoding);
  // Fed in pieces, so that the rest of a refused image is never read.
  constexpr std::size_t kPiece = 64 * 1024;
  const auto* bytes = static_cast<const guchar*>(data);
  bool read = true;
  for (std::size_t done = 0; read && !decoding.tooLarge && done < size;) {
    const std::size_t piece = std::min(kPiece, size - done);
    read = gdk_pixbuf_loader_write(loader.get(), bytes + done, piece, nullptr);
    done += piece;
  }
  const bool closed = gdk_pixbuf_loader_close(loader.get(), nullptr);
  if (!read || !closed || decoding.tooLarge) {
    return nullptr;
  }
  return retainGObject(gdk_pixbuf_loader_get_pixbuf(loader.get()));
}

}  // namespace orvel
