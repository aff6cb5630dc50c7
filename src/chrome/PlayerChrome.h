// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

namespace orvel {

// The player's colours, shared by the toolbar, the panels and the history window.
namespace PlayerChrome {

struct Colour {
  double red;
  double green;
  double blue;
};

inline constexpr Colour accent{1.0, 105.0 / 255, 74.0 / 255};
inline constexpr Colour panel{39.0 / 255, 56.0 / 255, 73.0 / 255};
// The equalizer knob.
inline constexpr Colour eqKnobFill{0.82, 0.82, 0.82};

}  // namespace PlayerChrome
}  // namespace orvel
