// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <array>
#include <cstddef>
#include <string_view>

namespace orvel {

// The seven bands of the player's equalizer, shared by the popover, the engine equalizer and the
// web audio filters so that all three mean the same band by the same index. Gains are in dB,
// -12...12, 0 flat.
namespace PlayerEQBands {

inline constexpr std::size_t count = 7;

inline constexpr std::array<std::string_view, count> labels{"63 Hz", "250 Hz", "500 Hz", "1.5 kHz",
                                                            "3 kHz", "5 kHz",  "8 kHz"};

// Centre frequencies in Hz.
inline constexpr std::array<float, count> frequencies{63, 250, 500, 1500, 3000, 5000, 8000};

}  // namespace PlayerEQBands
}  // namespace orvel
