// SPDX-License-Identifier: GPL-3.0-or-later

#include "native/PlayerEqualizerError.h"

namespace orvel {

std::string PlayerEqualizerError::message() const {
  switch (kind) {
    case Kind::audioStatus:
      return "Orvel player couldn\u2019t start audio EQ (sound server error " +
             std::to_string(code) + ").";
    case Kind::ambiguousWebAudio:
      return "Pause audio in other WebKit apps to use Orvel player\u2019s EQ.";
    case Kind::audioIOProcUnavailable:
      return "Orvel player couldn\u2019t open the system audio route for EQ.";
    case Kind::unsupportedAudioFormat:
      return "The selected audio output format is not supported by EQ.";
    case Kind::soundServerUnavailable:
      return "YouTube audio EQ needs a PulseAudio or PipeWire sound server.";
  }
  return {};
}

}  // namespace orvel
