// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/dbus/StatusNotifierTray.h"

#include <libdbusmenu-glib/menuitem.h>
#include <libdbusmenu-glib/server.h>
#include <unistd.h>

#include <glibmm/main.h>

#include <algorithm>
#include <utility>

#include "chrome/PlayerSymbols.h"
#include "core/Log.h"
#include "platform/gtk/WindowPresenting.h"
#include "platform/shell/Resources.h"
#include "platform/system/GObjectPtr.h"

namespace orvel {
namespace {

constexpr const char* kWatcherName = "org.kde.StatusNotifierWatcher";
constexpr const char* kTitle = "Orvel player";

constexpr const char* kItemInterface = R"xml(<node>
  <interface name="org.kde.StatusNotifierItem">
    <property name="Category" type="s" access="read"/>
    <property name="Id" type="s" access="read"/>
    <property name="Title" type="s" access="read"/>
    <property name="Status" type="s" access="read"/>
    <property name="WindowId" type="i" access="read"/>
    <property name="IconName" type="s" access="read"/>
    <property name="IconThemePath" type="s" access="read"/>
    <property name="ToolTip" type="(sa(iiay)ss)" access="read"/>
    <property name="ItemIsMenu" type="b" access="read"/>
    <property name="Menu" type="o" access="read"/>
    <method name="ContextMenu"><arg name="x" type="i" direction="in"/><arg name="y" type="i" direction="in"/></method>
    <method name="Activate"><arg name="x" type="i" direction="in"/><arg name="y" type="i" direction="in"/></method>
    <method name="SecondaryActivate"><arg name="x" type="i" direction="in"/><arg name="y" type="i" direction="in"/></method>
    <method name="Scroll"><arg name="delta" type="i" direction="in"/><arg name="orientation" type="s" direction="in"/></method>
    <signal name="NewTitle"/>
    <signal name="NewIcon"/>
    <signal name="NewStatus"><arg name="status" type="s"/></signal>
  </interface>
</node>)xml";

// The player's own symbolic icon, which the tray host finds in the installed icon theme or, for
// a program run where it was built, in the folder named by IconThemePath.
constexpr const char* kTrayIcon = "com.example.OrvelPlayer-symbolic";

std::string trayIconThemePath() {
  return resourcePath("icons").value_or("");
}

// "<Control><Shift>h" as dbusmenu writes a shortcut: [["Control", "Shift", "h"]].
GVariant* shortcutVariant(const std::string& accelerator) {
  GVariantBuilder keys;
  g_variant_builder_init(&keys, G_VARIANT_TYPE("as"));
  std::size_t at = 0;
  while (at < accelerator.size() && accelerator[at] == '<') {
    const std::size_t end = accelerator.find('>', at);
    if (end == std::string::npos) {
      break;
    }
    g_variant_builder_add(&keys, "s", accelerator.substr(at + 1, end - at - 1).c_str());
    at = end + 1;
  }
  g_variant_builder_add(&keys, "s", accelerator.substr(at).c_str());
  GVariantBuilder shortcut;
  g_variant_builder_init(&shortcut, G_VARIANT_TYPE("aas"));
  g_variant_builder_add_value(&shortcut, g_variant_builder_end(&keys));
  return g_variant_builder_end(&shortcut);
}

// The same menu on screen: every entry alike but for the positions of the recent videos, which
// playback moves every second and which only a chosen entry reads.
bool sameLayout(const std::vector<StatusMenu::Item>& a, const std::vector<StatusMenu::Item>& b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                    [](const auto& left, const auto& right) {
                      return left.kind == right.kind && left.title == right.title &&
                             left.accelerator == right.accelerator && left.symbol == right.symbol &&
                             left.action == right.action && left.command == right.command &&
                             left.checked == right.checked && left.enabled == right.enabled &&
                             left.videoID == right.videoID && left.sourceURL == right.sourceURL &&
                             sameLayout(left.children, right.children);
                    });
}

// The entries that can be chosen, in the order the layout numbers them.
void collectEntries(const std::vector<StatusMenu::Item>& items,
                    std::vector<StatusMenu::Item>& entries) {
  for (const StatusMenu::Item& item : items) {
    if (item.kind == StatusMenu::Item::Kind::submenu) {
      collectEntries(item.children, entries);
    } else if (item.kind == StatusMenu::Item::Kind::item && item.enabled &&
               item.action != StatusMenu::Action::none) {
      entries.push_back(item);
    }
  }
}

}  // namespace

struct StatusNotifierTray::Callbacks {
  static void methodCall(GDBusConnection*, const gchar*, const gchar*, const gchar*,
                         const gchar* method, GVariant*, GDBusMethodInvocation* invocation,
                         gpointer data) {
    auto* tray = static_cast<StatusNotifierTray*>(data);
    if (g_strcmp0(method, "Activate") == 0 && tray->activate_) {
      tray->activate_();
    }
    g_dbus_method_invocation_return_value(invocation, nullptr);
  }

  static GVariant* property(GDBusConnection*, const gchar*, const gchar*, const gchar*,
                            const gchar* name, GError**, gpointer) {
    const std::string property = name;
    if (property == "Category") {
      return g_variant_new_string("ApplicationStatus");
    }
    if (property == "Id") {
      return g_variant_new_string("orvel-player");
    }
    if (property == "Title") {
      return g_variant_new_string(kTitle);
    }
    if (property == "Status") {
      return g_variant_new_string("Active");
    }
    if (property == "WindowId") {
      return g_variant_new_int32(0);
    }
    if (property == "IconName") {
      return g_variant_new_string(kTrayIcon);
    }
    if (property == "IconThemePath") {
      return g_variant_new_string(trayIconThemePath().c_str());
    }
    if (property == "ToolTip") {
      return g_variant_new("(s@a(iiay)ss)", kTrayIcon,
                           g_variant_new_array(G_VARIANT_TYPE("(iiay)"), nullptr, 0), kTitle, "");
    }
    if (property == "ItemIsMenu") {
      return g_variant_new_boolean(TRUE);
    }
    if (property == "Menu") {
      return g_variant_new_object_path(kMenuPath);
    }
    return nullptr;
  }

  static void busAcquired(GDBusConnection* bus, const gchar*, gpointer data) {
    static_cast<StatusNotifierTray*>(data)->exportItem(bus);
  }

  static void nameLost(GDBusConnection*, const gchar* name, gpointer) {
    logLine("Tray", std::string("Could not own the bus name ") + name);
  }

  static void watcherAppeared(GDBusConnection* bus, const gchar*, const gchar*, gpointer data) {
    static_cast<StatusNotifierTray*>(data)->registerWithWatcher(bus);
  }

  static void watcherVanished(GDBusConnection*, const gchar*, gpointer data) {
    auto* tray = static_cast<StatusNotifierTray*>(data);
    if (!tray->toldNoHost_) {
      tray->toldNoHost_ = true;
      logLine("Tray",
              "No tray host on the session bus; the status menu opens from a right click "
              "on the player window's top strip");
    }
  }

  static void itemActivated(DbusmenuMenuitem*, guint timestamp, gpointer data) {
    // The tray host's click: what it opens comes to the front as that click's answer.
    noteUserEventTime(timestamp);
    auto* tray = static_cast<StatusNotifierTray*>(g_object_get_data(G_OBJECT(data), "orvel-tray"));
    const auto index = GPOINTER_TO_SIZE(g_object_get_data(G_OBJECT(data), "orvel-entry"));
    if (!tray || index == 0 || index > tray->entries_.size()) {
      return;
    }
    // Acted on from the main loop: the menu may be rebuilt by what the entry does.
    tray->later_.post(
        [menu = &tray->menu_, chosen = tray->entries_[index - 1]] { menu->perform(chosen); });
  }
};

StatusNotifierTray::StatusNotifierTray(StatusMenu& menu, RecentThumbnails& thumbnails,
                                       std::function<void()> activate)
    : menu_(menu), thumbnails_(thumbnails), activate_(std::move(activate)) {
  busName_ = "org.kde.StatusNotifierItem-" + std::to_string(::getpid()) + "-1";
  server_ = dbusmenu_server_new(kMenuPath);
  rebuild(true);
  ownerID_ = g_bus_own_name(G_BUS_TYPE_SESSION, busName_.c_str(), G_BUS_NAME_OWNER_FLAGS_NONE,
                            &Callbacks::busAcquired, nullptr, &Callbacks::nameLost, this, nullptr);
  watcherID_ =
      g_bus_watch_name(G_BUS_TYPE_SESSION, kWatcherName, G_BUS_NAME_WATCHER_FLAGS_NONE,
                       &Callbacks::watcherAppeared, &Callbacks::watcherVanished, this, nullptr);
  changes_ = menu_.observeChanges([this] { scheduleRebuild(false); });
  arrivals_ = thumbnails_.observeArrivals([this] { scheduleRebuild(true); });
}

StatusNotifierTray::~StatusNotifierTray() {
  changes_.cancel();
  arrivals_.cancel();
  if (watcherID_) {
    g_bus_unwatch_name(watcherID_);
  }
  if (bus_ && objectID_) {
    g_dbus_connection_unregister_object(bus_, objectID_);
  }
  if (ownerID_) {
    g_bus_unown_name(ownerID_);
  }
  if (bus_) {
    g_object_unref(bus_);
  }
  if (server_) {
    g_object_unref(server_);
  }
}

void StatusNotifierTray::exportItem(GDBusConnection* bus) {
  static const GDBusInterfaceVTable vtable{
      &Callbacks::methodCall, &Callbacks::property, nullptr, {}};
  GError* error = nullptr;
  GDBusNodeInfo* node = g_dbus_node_info_new_for_xml(kItemInterface, &error);
  if (!node) {
    logLine("Tray", std::string("The tray interface did not parse: ") + error->message);
    g_error_free(error);
    return;
  }
  bus_ = static_cast<GDBusConnection*>(g_object_ref(bus));
  objectID_ = g_dbus_connection_register_object(bus, kItemPath, node->interfaces[0], &vtable, this,
                                                nullptr, &error);
  g_dbus_node_info_unref(node);
  if (!objectID_) {
    logLine("Tray", std::string("The tray item could not be exported: ") + error->message);
    g_error_free(error);
  }
}

void StatusNotifierTray::registerWithWatcher(GDBusConnection* bus) {
  toldNoHost_ = false;
  g_dbus_connection_call(
      bus, kWatcherName, "/StatusNotifierWatcher", kWatcherName, "RegisterStatusNotifierItem",
      g_variant_new("(s)", busName_.c_str()), nullptr, G_DBUS_CALL_FLAGS_NONE, 5000, nullptr,
      [](GObject* source, GAsyncResult* result, gpointer) {
        GError* error = nullptr;
        GVariant* reply = g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, &error);
        if (reply) {
          g_variant_unref(reply);
          logLine("Tray", "Registered with the tray host");
        } else {
          logLine("Tray", std::string("The tray host refused the item: ") + error->message);
          g_error_free(error);
        }
      },
      nullptr);
}

void StatusNotifierTray::scheduleRebuild(bool force) {
  forceRebuild_ = forceRebuild_ || force;
  if (rebuildPending_) {
    return;
  }
  rebuildPending_ = true;
  // Changes that come together (a cleared list and its statistics) make one new layout.
  later_.post([this] {
    rebuildPending_ = false;
    rebuild(std::exchange(forceRebuild_, false));
  });
}

void StatusNotifierTray::rebuild(bool force) {
  std::vector<StatusMenu::Item> menu = menu_.items();
  entries_.clear();
  if (!force && sameLayout(menu, shown_)) {
    // Hosts are not told of a new layout every second of playback.
    collectEntries(menu, entries_);
    shown_ = std::move(menu);
    return;
  }
  DbusmenuMenuitem* root = dbusmenu_menuitem_new();
  fill(root, menu);
  shown_ = std::move(menu);
  dbusmenu_server_set_root(server_, root);
  g_object_unref(root);
}

// Appends the items under `parent`; the entries that do something are kept, by their order.
void StatusNotifierTray::fill(DbusmenuMenuitem* parent,
                              const std::vector<StatusMenu::Item>& items) {
  for (const StatusMenu::Item& item : items) {
    DbusmenuMenuitem* entry = dbusmenu_menuitem_new();
    if (item.kind == StatusMenu::Item::Kind::separator) {
      dbusmenu_menuitem_property_set(entry, DBUSMENU_MENUITEM_PROP_TYPE, "separator");
    } else {
      describeEntry(entry, item);
      if (item.kind == StatusMenu::Item::Kind::submenu) {
        dbusmenu_menuitem_property_set(entry, DBUSMENU_MENUITEM_PROP_CHILD_DISPLAY,
                                       DBUSMENU_MENUITEM_CHILD_DISPLAY_SUBMENU);
        fill(entry, item.children);
      } else if (item.enabled && item.action != StatusMenu::Action::none) {
        entries_.push_back(item);
        g_object_set_data(G_OBJECT(entry), "orvel-tray", this);
        g_object_set_data(G_OBJECT(entry), "orvel-entry", GSIZE_TO_POINTER(entries_.size()));
        g_signal_connect(entry, DBUSMENU_MENUITEM_SIGNAL_ITEM_ACTIVATED,
                         G_CALLBACK(&Callbacks::itemActivated), entry);
      }
    }
    dbusmenu_menuitem_child_append(parent, entry);
    g_object_unref(entry);
  }
}

// The entry's label, state, symbol or picture, and key.
void StatusNotifierTray::describeEntry(DbusmenuMenuitem* entry, const StatusMenu::Item& item) {
  dbusmenu_menuitem_property_set(entry, DBUSMENU_MENUITEM_PROP_LABEL, item.title.c_str());
  if (!item.enabled) {
    dbusmenu_menuitem_property_set_bool(entry, DBUSMENU_MENUITEM_PROP_ENABLED, FALSE);
  }
  if (!item.symbol.empty()) {
    dbusmenu_menuitem_property_set(entry, DBUSMENU_MENUITEM_PROP_ICON_NAME,
                                   std::string(PlayerSymbols::iconName(item.symbol)).c_str());
  }
  if (item.action == StatusMenu::Action::openRecent) {
    if (const auto* png = thumbnails_.png(item.videoID)) {
      dbusmenu_menuitem_property_set_byte_array(entry, DBUSMENU_MENUITEM_PROP_ICON_DATA,
                                                png->data(), png->size());
    }
  }
  if (!item.accelerator.empty()) {
    dbusmenu_menuitem_property_set_variant(entry, DBUSMENU_MENUITEM_PROP_SHORTCUT,
                                           shortcutVariant(item.accelerator));
  }
  if (item.checked) {
    dbusmenu_menuitem_property_set(entry, DBUSMENU_MENUITEM_PROP_TOGGLE_TYPE,
                                   DBUSMENU_MENUITEM_TOGGLE_CHECK);
    dbusmenu_menuitem_property_set_int(entry, DBUSMENU_MENUITEM_PROP_TOGGLE_STATE,
                                       *item.checked ? DBUSMENU_MENUITEM_TOGGLE_STATE_CHECKED
                                                     : DBUSMENU_MENUITEM_TOGGLE_STATE_UNCHECKED);
  }
}

}  // namespace orvel
