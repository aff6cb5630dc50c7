// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/mpv/MpvMediaEngine.h"

#include <utility>

#include "platform/mpv/MpvMediaPlayer.h"
#include "platform/mpv/MpvVideoOutput.h"

namespace orvel {
namespace {

MpvEngineContext::Options engineOptions(MpvEngineContext::Options given) {
  MpvEngineContext::Options options{
      {"vo", "libmpv"},
      {"keep-open", "yes"},
      {"idle", "yes"},
      {"config", "no"},
      {"load-scripts", "no"},
      {"ytdl", "no"},
      {"input-default-bindings", "no"},
      {"input-vo-keyboard", "no"},
      {"osc", "no"},
      {"audio-client-name", "Orvel player"},
      // Hardware decoding where the machine offers it (VA-API, VDPAU, NVDEC...) and libmpv
      // knows it to be safe; software otherwise, without a word to the user.
      {"hwdec", "auto-safe"},
      // The engine plays MKV alone: a file is read by FFmpeg as Matroska and nothing else, so a
      // text file named .mkv is never taken for a playlist (HLS, concat) that opens other files
      // or addresses. Subtitle files, beside the film or dropped on it, are read as subtitles.
      {"demuxer", "lavf"},
      {"demuxer-lavf-o", "format_whitelist=[matroska,srt,ass,webvtt]"},
      // A subtitle file beside the film with its name ("film.srt", "film.en.srt") is offered.
      {"sub-auto", "exact"},
      {"load-unsafe-playlists", "no"},
      {"access-references", "no"},
  };
  for (auto& option : given) {
    options.push_back(std::move(option));
  }
  return options;
}

}  // namespace

MpvMediaEngine::MpvMediaEngine(Options options)
    : context_(std::make_shared<MpvEngineContext>(engineOptions(std::move(options)))) {}

MpvMediaEngine::~MpvMediaEngine() = default;

std::shared_ptr<MediaEnginePlayer> MpvMediaEngine::makePlayer() {
  auto player = std::make_shared<MpvMediaPlayer>(context_);
  if (context_->videoOutput) {
    context_->videoOutput->attach(*player);
  }
  return player;
}

std::vector<double> MpvMediaEngine::equalizerBandFrequencies() const {
  return MpvMediaPlayer::equalizerBandFrequencies();
}

}  // namespace orvel
