// SPDX-License-Identifier: GPL-3.0-or-later

#include <gtkmm/widget.h>
#include <mpv/client.h>

#include "platform/ffmpeg/FFmpegMediaProbe.h"
#include "platform/mpv/MpvMediaEngine.h"
#include "platform/mpv/MpvVideoArea.h"
#include "platform/mpv/NativeMediaBackend.h"

namespace orvel {
namespace {

std::unique_ptr<MediaEngine> makeEngine() {
  return std::make_unique<MpvMediaEngine>();
}

std::unique_ptr<Gtk::Widget> makeVideoView(MediaEngine& engine, MKVVideoSurface& surface) {
  return makeMpvVideoView(static_cast<MpvMediaEngine&>(engine), surface);
}

std::string mpvVersion() {
  const unsigned long version = mpv_client_api_version();
  return std::to_string(version >> 16) + "." + std::to_string(version & 0xffff);
}

constexpr NativeMediaBackend kBackend{makeEngine, makeVideoView, readLocalFile, mpvVersion};

}  // namespace
}  // namespace orvel

extern "C" __attribute__((visibility("default"))) const orvel::NativeMediaBackend*
orvel_native_media_backend() {
  return &orvel::kBackend;
}
