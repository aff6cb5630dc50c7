// SPDX-License-Identifier: GPL-3.0-or-later

// Draws the application's SVG icon as PNG files at the sizes docks, trays and menus that read no
// SVG ask a theme for.
// Usage: render-icon SVG OUTPUT_FOLDER NAME SIZE...; writes OUTPUT_FOLDER/SIZExSIZE/apps/NAME.png.
#include <gdk-pixbuf/gdk-pixbuf.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

int main(int argc, char** argv) {
  if (argc < 5) {
    std::fprintf(stderr, "usage: %s SVG OUTPUT_FOLDER NAME SIZE...\n", argv[0]);
    return 2;
  }
  for (int index = 4; index < argc; ++index) {
    const int size = std::atoi(argv[index]);
    if (size <= 0 || size > 1024) {
      std::fprintf(stderr, "not a size: %s\n", argv[index]);
      return 2;
    }
    GError* error = nullptr;
    GdkPixbuf* picture = gdk_pixbuf_new_from_file_at_size(argv[1], size, size, &error);
    if (!picture) {
      std::fprintf(stderr, "cannot draw %s: %s\n", argv[1], error->message);
      g_error_free(error);
      return 1;
    }
    const std::string side = std::to_string(size);
    const std::filesystem::path folder =
        std::filesystem::path(argv[2]) / (side + "x" + side) / "apps";
    std::filesystem::create_directories(folder);
    const std::string file = (folder / (std::string(argv[3]) + ".png")).string();
    const gboolean saved = gdk_pixbuf_save(picture, file.c_str(), "png", &error, nullptr);
    g_object_unref(picture);
    if (!saved) {
      std::fprintf(stderr, "cannot write %s: %s\n", file.c_str(), error->message);
      g_error_free(error);
      return 1;
    }
  }
  return 0;
}
