// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/ffmpeg/FFmpegMediaProbe.h"

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/display.h>
}

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>

#include "core/Files.h"
#include "platform/ffmpeg/VideoThumbnails.h"

namespace orvel {
namespace {

struct InputClose {
  void operator()(AVFormatContext* context) const { avformat_close_input(&context); }
};

const AVStream* firstVideoStream(const AVFormatContext& context) {
  for (unsigned index = 0; index < context.nb_streams; ++index) {
    const AVStream* stream = context.streams[index];
    if (stream->codecpar->codec_type == AVMEDIA_TYPE_VIDEO &&
        !(stream->disposition & AV_DISPOSITION_ATTACHED_PIC)) {
      return stream;
    }
  }
  return nullptr;
}

// The stream's size turned by its display matrix, as the picture is shown.
std::optional<PlaylistMetadata::Size> displayedSize(const AVStream& stream) {
  double width = stream.codecpar->width;
  double height = stream.codecpar->height;
  if (const std::uint8_t* matrix =
          av_stream_get_side_data(&stream, AV_PKT_DATA_DISPLAYMATRIX, nullptr)) {
    const double degrees = av_display_rotation_get(reinterpret_cast<const std::int32_t*>(matrix));
    if (std::isfinite(degrees)) {
      const double radians = degrees * M_PI / 180;
      const double turnedWidth = width * std::cos(radians) - height * std::sin(radians);
      const double turnedHeight = width * std::sin(radians) + height * std::cos(radians);
      width = std::round(std::abs(turnedWidth) * 1000) / 1000;
      height = std::round(std::abs(turnedHeight) * 1000) / 1000;
    }
  }
  if (!(width > 0) || !(height > 0)) {
    return std::nullopt;
  }
  return PlaylistMetadata::Size{width, height};
}

}  // namespace

PlaylistMetadata::Info probeMediaFile(const std::string& path) {
  PlaylistMetadata::Info info;
  AVFormatContext* opened = nullptr;
  if (avformat_open_input(&opened, path.c_str(), nullptr, nullptr) < 0) {
    return info;
  }
  std::unique_ptr<AVFormatContext, InputClose> context(opened);
  // An MP4's header holds every fact wanted here; decoding frames to find more (as
  // avformat_find_stream_info does) would cost most of the time.
  if (context->duration != AV_NOPTS_VALUE && context->duration > 0) {
    info.duration = static_cast<double>(context->duration) / AV_TIME_BASE;
  } else {
    double longest = 0;
    for (unsigned index = 0; index < context->nb_streams; ++index) {
      const AVStream* stream = context->streams[index];
      if (stream->duration != AV_NOPTS_VALUE && stream->duration > 0) {
        longest =
            std::max(longest, static_cast<double>(stream->duration) * av_q2d(stream->time_base));
      }
    }
    if (longest > 0) {
      info.duration = longest;
    }
  }
  const AVStream* video = firstVideoStream(*context);
  if (!video) {
    return info;
  }
  info.size = displayedSize(*video);
  const AVRational rate =
      video->avg_frame_rate.num > 0 ? video->avg_frame_rate : video->r_frame_rate;
  if (rate.num > 0 && rate.den > 0) {
    info.frameRate = static_cast<float>(av_q2d(rate));
  }
  // The container's tag is stored little-endian; the name wants the first character highest.
  if (const std::uint32_t tag = video->codecpar->codec_tag; tag != 0) {
    const std::uint32_t code = ((tag & 0xFF) << 24) | (((tag >> 8) & 0xFF) << 16) |
                               (((tag >> 16) & 0xFF) << 8) | ((tag >> 24) & 0xFF);
    if (auto name = PlaylistMetadata::codecName(code); !name.empty()) {
      info.codec = name;
    }
  }
  return info;
}

PlaylistMetadata::Info readLocalFile(const std::string& path, bool readFacts) {
  // Only a regular file is read: a FIFO or a device named like a video would block the reader
  // for good, and with it the player's exit.
  if (!isReadableRegularFile(path)) {
    return {};
  }
  PlaylistMetadata::Info info = readFacts ? probeMediaFile(path) : PlaylistMetadata::Info{};
  info.thumbnail = VideoThumbnails::thumbnail(path);
  return info;
}

}  // namespace orvel
