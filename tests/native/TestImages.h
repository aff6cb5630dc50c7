// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <gdk-pixbuf/gdk-pixbuf.h>
#include <gio/gio.h>

#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

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

// A valid grey PNG of these dimensions, all black, with these text entries: a few kilobytes of
// file for as many pixels as one likes. Made row by row, so the test never holds the picture.
inline std::string blackPNG(std::uint32_t width, std::uint32_t height,
                            const std::vector<std::pair<std::string, std::string>>& texts = {}) {
  auto crc = [](const std::string& bytes) {
    std::uint32_t value = 0xFFFFFFFFu;
    for (const char c : bytes) {
      value ^= static_cast<unsigned char>(c);
      for (int bit = 0; bit < 8; ++bit) {
        value = (value >> 1) ^ (0xEDB88320u & (0u - (value & 1u)));
      }
    }
    return ~value;
  };
  auto bigEndian = [](std::uint32_t value) {
    return std::string{static_cast<char>(value >> 24), static_cast<char>(value >> 16),
                       static_cast<char>(value >> 8), static_cast<char>(value)};
  };
  auto chunk = [&](const std::string& type, const std::string& data) {
    return bigEndian(static_cast<std::uint32_t>(data.size())) + type + data +
           bigEndian(crc(type + data));
  };
  GZlibCompressor* compressor = g_zlib_compressor_new(G_ZLIB_COMPRESSOR_FORMAT_ZLIB, 9);
  const std::vector<char> row(width + 1, 0);  // the filter byte, then the row's pixels
  std::string compressed;
  std::array<char, 65536> out{};
  for (std::uint32_t y = 0; y <= height; ++y) {
    const bool last = y == height;
    std::size_t offset = 0;
    for (;;) {
      gsize read = 0;
      gsize written = 0;
      const GConverterResult result = g_converter_convert(
          G_CONVERTER(compressor), last ? nullptr : row.data() + offset,
          last ? 0 : row.size() - offset, out.data(), out.size(),
          last ? G_CONVERTER_INPUT_AT_END : G_CONVERTER_NO_FLAGS, &read, &written, nullptr);
      compressed.append(out.data(), written);
      offset += read;
      if (result == G_CONVERTER_ERROR || result == G_CONVERTER_FINISHED ||
          (!last && offset == row.size())) {
        break;
      }
    }
  }
  g_object_unref(compressor);
  const std::string header =
      bigEndian(width) + bigEndian(height) + std::string("\x08\x00\x00\x00\x00", 5);
  std::string png = std::string("\x89PNG\r\n\x1a\n", 8) + chunk("IHDR", header);
  for (const auto& [keyword, text] : texts) {
    png += chunk("tEXt", keyword + '\0' + text);
  }
  return png + chunk("IDAT", compressed) + chunk("IEND", "");
}

}  // namespace orvel
