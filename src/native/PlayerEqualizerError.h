// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <string>

namespace orvel {

// Why the web audio route could not run, as the equalizer popover reports it.
struct PlayerEqualizerError {
  enum class Kind {
    // A sound server request failed; `code` is the server's error number.
    audioStatus,
    // Not exactly one web-engine stream is producing sound.
    ambiguousWebAudio,
    // The private sink was made but its sound could not be carried to the output.
    audioIOProcUnavailable,
    // The route's streams are not stereo 32-bit float at one common rate.
    unsupportedAudioFormat,
    // No PulseAudio or PipeWire server answers, or the one in use went away.
    soundServerUnavailable,
  };

  Kind kind = Kind::audioStatus;
  int code = 0;

  static PlayerEqualizerError audioStatus(int code) { return {Kind::audioStatus, code}; }
  static PlayerEqualizerError ambiguousWebAudio() { return {Kind::ambiguousWebAudio, 0}; }
  static PlayerEqualizerError audioIOProcUnavailable() { return {Kind::audioIOProcUnavailable, 0}; }
  static PlayerEqualizerError unsupportedAudioFormat() { return {Kind::unsupportedAudioFormat, 0}; }
  static PlayerEqualizerError soundServerUnavailable() { return {Kind::soundServerUnavailable, 0}; }

  // The line the popover shows in red.
  std::string message() const;

  bool operator==(const PlayerEqualizerError&) const = default;
};

}  // namespace orvel
