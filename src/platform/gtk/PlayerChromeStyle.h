// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

namespace orvel {

// The player's one stylesheet: the chrome colours, the panel look, the toolbar's buttons and
// sliders, the bars, the status bubble and the drop prompt.
namespace PlayerChromeStyle {

// Loads it for the display once; later calls do nothing.
void load();

}  // namespace PlayerChromeStyle
}  // namespace orvel
