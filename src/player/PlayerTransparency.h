// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/Cancellable.h"
#include "core/Lifetime.h"
#include "core/MainQueue.h"
#include "core/NotificationCenter.h"
#include "player/PlayerWindow.h"
#include "settings/AppSettings.h"

namespace orvel {

// How see-through the player is: the 80 % mode, the 25 % toggle, and hover mode, in which the
// content vanishes and clicks pass to the windows below while the pointer is over it. Only the
// content's opacity changes; the window itself stays opaque.
class PlayerTransparency {
 public:
  static constexpr double kHoverPollInterval = 0.15;
  // The strip along the top that never vanishes, so the window can still be reached.
  static constexpr double kTopStripHeight = 28;

  using StatusMessage = std::function<void(const std::string& text, double clearAfter)>;
  struct Hooks {
    std::function<void(const std::string& script)> evaluatePageScript;
    std::function<bool()> isDropTargeted;
    std::function<bool()> isSourceErrorShown;
    std::function<std::optional<std::string>()> currentMediaID;
    // The opacity or the hover state changed; the view redraws the bars.
    std::function<void()> changed;
  };

  PlayerTransparency(MainQueue& queue, AppSettings& settings, NotificationCenter& center,
                     PlayerWindow& window, StatusMessage statusMessage, Hooks hooks);

  void setEightyTransparency(bool on);
  void setHoverTransparency(bool on);
  void toggleOpacity();
  // The stored modes applied to a window that has just been set up.
  void applyCurrentTransparencyState();
  void updateHoverStateFromMouseLocation();
  void handleHoverChange(bool hovering, bool buttonPressed);
  // The view's own pointer events, seen while the window takes input.
  void setPointerInside(bool inside);
  // Solid and clickable while held, whatever the mode; let go, the mode's own look comes back.
  void holdContentSolid(bool solid);

  bool isTransparent() const { return isTransparent_; }
  bool isDimmed() const { return isDimmed_; }
  bool isHovering() const { return isHovering_; }

  // The title bar and toolbar show while the pointer is over the content, while the user
  // scrubs, or while nothing plays (except on a Disney+ page, whose own controls take over).
  static bool barsVisible(bool isHovering, bool isScrubbing, int playerState,
                          const std::optional<std::string>& mediaID);

 private:
  void setContent(double opacity, bool receivesMouseEvents);
  // The content's opacity outside hover mode: the 25 % toggle or the 80 % mode, else solid.
  double restingOpacity() const;
  void applyTransparentSurfaceMode();
  void bringToFront();
  void startHoverMonitor();
  void stopHoverMonitor();
  void scheduleHoverPoll();

  MainQueue& queue_;
  AppSettings& settings_;
  PlayerWindow& window_;
  StatusMessage statusMessage_;
  Hooks hooks_;
  bool isEightyTransparency_ = false;
  bool isTransparent_ = false;
  bool isDimmed_ = false;
  bool isHovering_ = false;
  double contentOpacity_ = 1;
  bool ignoresMouseEvents_ = false;
  TaskHandle hoverPoll_;
  std::vector<ObserverToken> tokens_;
  Lifetime lifetime_;
};

}  // namespace orvel
