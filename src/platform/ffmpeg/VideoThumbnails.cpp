// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/ffmpeg/VideoThumbnails.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

#include <fcntl.h>
#include <glib/gstdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <optional>

#include "platform/gtk/ImageDecoding.h"

namespace orvel::VideoThumbnails {
namespace {

// A decoder reads at most this many packets looking for one picture.
constexpr int kMaxPackets = 600;

Pixbuf adopt(GdkPixbuf* pixbuf) {
  return Pixbuf(pixbuf, [](GdkPixbuf* owned) { g_object_unref(owned); });
}

std::string takeString(gchar* text) {
  std::string copy = text ? text : "";
  g_free(text);
  return copy;
}

std::optional<long long> modificationTime(const std::string& path) {
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) {
    return std::nullopt;
  }
  return static_cast<long long>(status.st_mtime);
}

// A thumbnail in the cache counts only when it was made from this file as it is now. Another
// program may have put anything there: the file is read only when it is small, and its picture
// only when its dimensions are sane.
Pixbuf cached(const std::string& file, const std::string& uri, long long mtime) {
  constexpr gsize kLargestCachedFile = 4 * 1024 * 1024;
  struct stat status {};
  if (::stat(file.c_str(), &status) != 0 || !S_ISREG(status.st_mode) ||
      static_cast<gsize>(status.st_size) > kLargestCachedFile) {
    return nullptr;
  }
  gchar* contents = nullptr;
  gsize size = 0;
  if (!g_file_get_contents(file.c_str(), &contents, &size, nullptr)) {
    return nullptr;
  }
  GObjectPtr<GdkPixbuf> decoded = decodeImage(contents, size);
  g_free(contents);
  if (!decoded) {
    return nullptr;
  }
  GdkPixbuf* pixbuf = decoded.get();
  Pixbuf owned = adopt(decoded.release());
  const char* storedTime = gdk_pixbuf_get_option(pixbuf, "tEXt::Thumb::MTime");
  const char* storedURI = gdk_pixbuf_get_option(pixbuf, "tEXt::Thumb::URI");
  if (!storedTime || std::to_string(mtime) != storedTime || !storedURI || uri != storedURI) {
    return nullptr;
  }
  return owned;
}

// Written to a temporary file of its own beside its place (made anew, so no other file is
// written through, and readable by the user alone, like the rest of the cache) and renamed, so
// that no reader ever sees half a file.
void store(const Pixbuf& pixbuf, const std::string& file, const std::string& uri, long long mtime) {
  const std::string folder = takeString(g_path_get_dirname(file.c_str()));
  if (g_mkdir_with_parents(folder.c_str(), 0700) != 0) {
    return;
  }
  const std::string time = std::to_string(mtime);
  gchar* png = nullptr;
  gsize size = 0;
  if (!gdk_pixbuf_save_to_buffer(pixbuf.get(), &png, &size, "png", nullptr, "tEXt::Thumb::URI",
                                 uri.c_str(), "tEXt::Thumb::MTime", time.c_str(), nullptr)) {
    return;
  }
  const std::unique_ptr<gchar, decltype(&g_free)> owned(png, &g_free);
  std::string temporary = file + ".XXXXXX";
  const int descriptor = g_mkstemp_full(temporary.data(), O_WRONLY | O_CLOEXEC, 0600);
  if (descriptor < 0) {
    return;
  }
  bool written = true;
  for (gsize done = 0; written && done < size;) {
    const ssize_t count = ::write(descriptor, png + done, size - done);
    if (count < 0 && errno == EINTR) {
      continue;
    }
    written = count > 0;
    done += written ? static_cast<gsize>(count) : 0;
  }
  written = ::close(descriptor) == 0 && written;
  if (!written || g_rename(temporary.c_str(), file.c_str()) != 0) {
    g_unlink(temporary.c_str());
  }
}

struct FormatClose {
  void operator()(AVFormatContext* context) const { avformat_close_input(&context); }
};
struct CodecFree {
  void operator()(AVCodecContext* context) const { avcodec_free_context(&context); }
};
struct PacketFree {
  void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
struct FrameFree {
  void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
struct ScalerFree {
  void operator()(SwsContext* scaler) const { sws_freeContext(scaler); }
};

// The first picture the decoder gives at or after the position, or null.
std::unique_ptr<AVFrame, FrameFree> decodePicture(AVFormatContext& format, int stream,
                                                  AVCodecContext& codec) {
  std::unique_ptr<AVPacket, PacketFree> packet(av_packet_alloc());
  std::unique_ptr<AVFrame, FrameFree> frame(av_frame_alloc());
  if (!packet || !frame) {
    return nullptr;
  }
  for (int read = 0; read < kMaxPackets; ++read) {
    const bool ended = av_read_frame(&format, packet.get()) < 0;
    if (!ended && packet->stream_index != stream) {
      av_packet_unref(packet.get());
      continue;
    }
    // At the end the decoder is drained of what it holds.
    const int sent = avcodec_send_packet(&codec, ended ? nullptr : packet.get());
    av_packet_unref(packet.get());
    if (sent < 0 && sent != AVERROR(EAGAIN) && !ended) {
      continue;
    }
    if (avcodec_receive_frame(&codec, frame.get()) == 0) {
      return frame;
    }
    if (ended) {
      return nullptr;
    }
  }
  return nullptr;
}

Pixbuf decode(const std::string& path) {
  AVFormatContext* opened = nullptr;
  if (avformat_open_input(&opened, path.c_str(), nullptr, nullptr) < 0) {
    return nullptr;
  }
  std::unique_ptr<AVFormatContext, FormatClose> format(opened);
  if (avformat_find_stream_info(format.get(), nullptr) < 0) {
    return nullptr;
  }
  const AVCodec* decoder = nullptr;
  const int stream = av_find_best_stream(format.get(), AVMEDIA_TYPE_VIDEO, -1, -1, &decoder, 0);
  if (stream < 0 || !decoder) {
    return nullptr;
  }
  std::unique_ptr<AVCodecContext, CodecFree> codec(avcodec_alloc_context3(decoder));
  if (!codec || avcodec_parameters_to_context(codec.get(), format->streams[stream]->codecpar) < 0 ||
      avcodec_open2(codec.get(), decoder, nullptr) < 0) {
    return nullptr;
  }
  // A tenth of the way in passes the black of most openings.
  if (format->duration != AV_NOPTS_VALUE && format->duration > 0) {
    av_seek_frame(format.get(), -1, format->duration / 10, AVSEEK_FLAG_BACKWARD);
  }
  auto frame = decodePicture(*format, stream, *codec);
  if (!frame || frame->width <= 0 || frame->height <= 0) {
    return nullptr;
  }
  const double scale = std::min({1.0, static_cast<double>(kWidth) / frame->width,
                                 static_cast<double>(kHeight) / frame->height});
  const int width = std::max(1, static_cast<int>(std::lround(frame->width * scale)));
  const int height = std::max(1, static_cast<int>(std::lround(frame->height * scale)));
  std::unique_ptr<SwsContext, ScalerFree> scaler(
      sws_getContext(frame->width, frame->height, static_cast<AVPixelFormat>(frame->format), width,
                     height, AV_PIX_FMT_RGB24, SWS_BILINEAR, nullptr, nullptr, nullptr));
  GdkPixbuf* pixbuf =
      scaler ? gdk_pixbuf_new(GDK_COLORSPACE_RGB, FALSE, 8, width, height) : nullptr;
  if (!pixbuf) {
    return nullptr;
  }
  Pixbuf picture = adopt(pixbuf);
  std::uint8_t* planes[] = {gdk_pixbuf_get_pixels(pixbuf), nullptr, nullptr, nullptr};
  int strides[] = {gdk_pixbuf_get_rowstride(pixbuf), 0, 0, 0};
  if (sws_scale(scaler.get(), frame->data, frame->linesize, 0, frame->height, planes, strides) <=
      0) {
    return nullptr;
  }
  return picture;
}

}  // namespace

std::string cachePath(const std::string& cacheFolder, const std::string& sizeFolder,
                      const std::string& uri) {
  const std::string digest =
      takeString(g_compute_checksum_for_string(G_CHECKSUM_MD5, uri.c_str(), -1));
  return cacheFolder + "/" + sizeFolder + "/" + digest + ".png";
}

constexpr double kLargeSide = 256;

Pixbuf thumbnail(const std::string& path) {
  return thumbnail(path, std::string(g_get_user_cache_dir()) + "/thumbnails");
}

Pixbuf thumbnail(const std::string& path, const std::string& cacheFolder) {
  const auto mtime = modificationTime(path);
  const std::string uri = takeString(g_filename_to_uri(path.c_str(), nullptr, nullptr));
  if (!mtime || uri.empty()) {
    return nullptr;
  }
  for (const char* size : {"x-large", "large"}) {
    if (auto found = cached(cachePath(cacheFolder, size, uri), uri, *mtime)) {
      return found;
    }
  }
  Pixbuf made = decode(path);
  if (made) {
    // Kept in the cache's class for its size: "large" holds up to 256 pixels.
    const double scale = std::min({1.0, kLargeSide / gdk_pixbuf_get_width(made.get()),
                                   kLargeSide / gdk_pixbuf_get_height(made.get())});
    Pixbuf large(
        gdk_pixbuf_scale_simple(
            made.get(),
            std::max(1, static_cast<int>(std::lround(gdk_pixbuf_get_width(made.get()) * scale))),
            std::max(1, static_cast<int>(std::lround(gdk_pixbuf_get_height(made.get()) * scale))),
            GDK_INTERP_BILINEAR),
        g_object_unref);
    if (large) {
      store(large, cachePath(cacheFolder, "large", uri), uri, *mtime);
    }
  }
  return made;
}

}  // namespace orvel::VideoThumbnails
