// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "core/MainQueue.h"

namespace orvel {

// The main queue over GLib's default main context.
class GlibMainQueue final : public MainQueue {
 public:
  void post(Task task) override;
  [[nodiscard]] TaskHandle postDelayed(double seconds, Task task) override;
  double now() const override;
};

}  // namespace orvel
