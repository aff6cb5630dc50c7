// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <memory>
#include <vector>

#include "native/MediaEngine.h"
#include "platform/mpv/MpvEngineContext.h"

namespace orvel {

class MpvVideoOutput;

// The native media engine over libmpv: every player is its own libmpv core. Main thread only.
class MpvMediaEngine final : public MediaEngine {
 public:
  using Options = MpvEngineContext::Options;

  // The given libmpv options are set after the engine's own, so they win: the engine draws
  // through the render API ("vo" "libmpv"), keeps a file open at its end so its position and
  // length stay readable, and reads no mpv configuration or scripts.
  explicit MpvMediaEngine(Options options = {});
  ~MpvMediaEngine() override;
  MpvMediaEngine(const MpvMediaEngine&) = delete;
  MpvMediaEngine& operator=(const MpvMediaEngine&) = delete;

  std::shared_ptr<MediaEnginePlayer> makePlayer() override;
  // The equalizer model's seven bands: 63, 250, 500, 1500, 3000, 5000 and 8000 Hz.
  std::vector<double> equalizerBandFrequencies() const override;

  // Players made from now on draw into this output; none draws nowhere. The output must
  // unregister before it goes.
  void setVideoOutput(MpvVideoOutput* output) { context_->videoOutput = output; }
  MpvVideoOutput* videoOutput() const { return context_->videoOutput; }
  // What the players share; an output holds it weakly to unregister even after the engine went.
  std::weak_ptr<MpvEngineContext> context() const { return context_; }

 private:
  std::shared_ptr<MpvEngineContext> context_;
};

}  // namespace orvel
