#pragma once

#include <array>
#include <optional>

namespace orvel {

// The colour of one pixel of the screen, as red, green and blue, read straight from the X server
// named by $DISPLAY: a few milliseconds, so the moment it shows is known closely.
std::optional<std::array<int, 3>> readScreenPixel(int x, int y);

// The innermost window that takes the pointer where it is, as the X server decides where a click
// goes: a window whose input region leaves the pointer out is passed over. 0 when unknown.
unsigned long windowUnderPointer();

}  // namespace orvel
