// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <gio/gio.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/StatusMenu.h"
#include "core/ObserverList.h"
#include "platform/gtk/WidgetHelpers.h"
#include "platform/net/RecentThumbnails.h"

typedef struct _DbusmenuServer DbusmenuServer;
typedef struct _DbusmenuMenuitem DbusmenuMenuitem;

namespace orvel {

// The status menu in the desktop's tray: a StatusNotifierItem on the session bus, its menu
// exported with dbusmenu. Without a tray host on the bus nothing shows; that is logged once and
// the menu stays reachable from the player window. A host that comes later, or comes back, is
// registered with again.
class StatusNotifierTray {
 public:
  static constexpr const char* kItemPath = "/StatusNotifierItem";
  static constexpr const char* kMenuPath = "/MenuBar";

  StatusNotifierTray(StatusMenu& menu, RecentThumbnails& thumbnails,
                     std::function<void()> activate);
  ~StatusNotifierTray();
  StatusNotifierTray(const StatusNotifierTray&) = delete;
  StatusNotifierTray& operator=(const StatusNotifierTray&) = delete;

  // The item's bus name, "org.kde.StatusNotifierItem-PID-1".
  const std::string& busName() const { return busName_; }

 private:
  struct Callbacks;
  void exportItem(GDBusConnection* bus);
  void registerWithWatcher(GDBusConnection* bus);
  // `force`: lay the menu out anew even when its entries look the same (a picture arrived).
  void scheduleRebuild(bool force);
  void rebuild(bool force);
  void fill(DbusmenuMenuitem* parent, const std::vector<StatusMenu::Item>& items);
  void describeEntry(DbusmenuMenuitem* entry, const StatusMenu::Item& item);

  StatusMenu& menu_;
  RecentThumbnails& thumbnails_;
  std::function<void()> activate_;
  std::string busName_;
  guint ownerID_ = 0;
  guint watcherID_ = 0;
  guint objectID_ = 0;
  GDBusConnection* bus_ = nullptr;
  DbusmenuServer* server_ = nullptr;
  bool rebuildPending_ = false;
  bool forceRebuild_ = false;
  // The entries the exported layout was made from.
  std::vector<StatusMenu::Item> shown_;
  bool toldNoHost_ = false;
  // The entries of the exported menu, by the index its items carry.
  std::vector<StatusMenu::Item> entries_;
  LaterTurns later_;
  ObserverToken changes_;
  ObserverToken arrivals_;
};

}  // namespace orvel
