// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

namespace orvel::ResumePoint {

// A stored position this close to the media's length means it was watched to the end: opened
// again, it starts over. A second or two covers the last report before the end and lengths that
// differ between engines by a frame or a rounding.
inline constexpr double kFinishedMargin = 2.0;

// Where playback of a media of this length starts when it resumes at `position`; a length of 0
// or less is unknown and changes nothing.
inline double startFor(double position, double length) {
  return length > 0 && position >= length - kFinishedMargin ? 0 : position;
}

}  // namespace orvel::ResumePoint
