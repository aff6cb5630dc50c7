#pragma once

#include <gdk-pixbuf/gdk-pixbuf.h>

#include <string>

namespace orvel {

// A JPEG of one colour, as a web server would send a picture.
inline std::string jpegOf(int width, int height, guint32 rgba = 0xcc3344ff) {
  GdkPixbuf* pixbuf = gdk_pixbuf_new(GDK_COLORSPACE_RGB, FALSE, 8, width, height);
  gdk_pixbuf_fill(pixbuf, rgba);
  gchar* data = nullptr;
  gsize size = 0;
  gdk_pixbuf_save_to_buffer(pixbuf, &data, &size, "jpeg", nullptr, nullptr);
  std::string bytes(data, size);
  g_free(data);
  g_object_unref(pixbuf);
  return bytes;
}

}  // namespace orvel
