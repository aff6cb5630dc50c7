// SPDX-License-Identifier: GPL-3.0-or-later

// A stand-in for a desktop's tray host: owns org.kde.StatusNotifierWatcher on the session bus
// and writes each item that registers with it, one per line, to the file named on its command
// line. Runs until it is killed.
#include <gio/gio.h>

#include <cstdio>
#include <string>

namespace {

constexpr const char* kInterface = R"xml(<node>
  <interface name="org.kde.StatusNotifierWatcher">
    <method name="RegisterStatusNotifierItem">
      <arg name="service" type="s" direction="in"/>
    </method>
  </interface>
</node>)xml";

std::string gLog;

void methodCall(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*,
                GVariant* parameters, GDBusMethodInvocation* invocation, gpointer) {
  const gchar* service = nullptr;
  g_variant_get(parameters, "(&s)", &service);
  if (FILE* log = std::fopen(gLog.c_str(), "a")) {
    std::fprintf(log, "registered %s\n", service);
    std::fclose(log);
  }
  g_dbus_method_invocation_return_value(invocation, nullptr);
}

void busAcquired(GDBusConnection* bus, const gchar*, gpointer) {
  static const GDBusInterfaceVTable vtable{&methodCall, nullptr, nullptr, {}};
  GDBusNodeInfo* node = g_dbus_node_info_new_for_xml(kInterface, nullptr);
  g_dbus_connection_register_object(bus, "/StatusNotifierWatcher", node->interfaces[0], &vtable,
                                    nullptr, nullptr, nullptr);
  g_dbus_node_info_unref(node);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    return 2;
  }
  gLog = argv[1];
  g_bus_own_name(G_BUS_TYPE_SESSION, "org.kde.StatusNotifierWatcher", G_BUS_NAME_OWNER_FLAGS_NONE,
                 &busAcquired, nullptr, nullptr, nullptr, nullptr);
  GMainLoop* loop = g_main_loop_new(nullptr, FALSE);
  g_main_loop_run(loop);
  g_main_loop_unref(loop);
  return 0;
}
