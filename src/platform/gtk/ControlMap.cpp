// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/gtk/ControlMap.h"

// gtkmm comes before Xlib, whose macros clash with glibmm's names.
#include "platform/gtk/WidgetHelpers.h"

#include <X11/Xlib.h>
#include <gdk/x11/gdkx.h>

#include <algorithm>
#include <cmath>
#include <optional>

#include "core/Log.h"
#include "platform/dbus/GDBusHandles.h"

namespace orvel {
namespace {

constexpr const char* kObjectPath = "/com/example/OrvelPlayer/Controls";
constexpr const char* kIntrospection = R"xml(<node>
  <interface name="com.example.OrvelPlayer.Controls">
    <method name="List">
      <arg type="a(siiii)" name="controls" direction="out"/>
    </method>
  </interface>
</node>)xml";

// Where a native widget's own coordinates start on screen, in the X server's pixels.
struct NativeOrigin {
  GtkNative* native = nullptr;
  double x = 0;
  double y = 0;
  double scale = 1;
};

std::optional<NativeOrigin> originOf(GtkNative* native) {
  GdkSurface* surface = gtk_native_get_surface(native);
  if (!surface || !GDK_IS_X11_SURFACE(surface) || !gdk_surface_get_mapped(surface)) {
    return std::nullopt;
  }
  Display* display = gdk_x11_display_get_xdisplay(gdk_surface_get_display(surface));
  const ::Window xid = gdk_x11_surface_get_xid(surface);
  int x = 0;
  int y = 0;
  ::Window child = 0;
  if (!XTranslateCoordinates(display, xid, DefaultRootWindow(display), 0, 0, &x, &y, &child)) {
    return std::nullopt;
  }
  double surfaceX = 0;
  double surfaceY = 0;
  gtk_native_get_surface_transform(native, &surfaceX, &surfaceY);
  const double scale = gdk_surface_get_scale_factor(surface);
  return NativeOrigin{native, x + surfaceX * scale, y + surfaceY * scale, scale};
}

std::string stringProperty(GtkWidget* widget, const char* name) {
  if (!g_object_class_find_property(G_OBJECT_GET_CLASS(widget), name)) {
    return "";
  }
  gchar* value = nullptr;
  g_object_get(widget, name, &value, nullptr);
  std::string text = value ? value : "";
  g_free(value);
  return text;
}

// What a user or a screen reader calls the control.
std::vector<std::string> namesOf(GtkWidget* widget) {
  std::vector<std::string> names;
  // A list's holder of a row is named for screen readers by the title the row shows, which the
  // map lists already, where it stands.
  if (std::string_view(G_OBJECT_TYPE_NAME(widget)) == "GtkListItemWidget") {
    return names;
  }
  auto add = [&names](std::string name) {
    if (!name.empty() && std::find(names.begin(), names.end(), name) == names.end()) {
      names.push_back(std::move(name));
    }
  };
  add(accessibleLabelOf(widget));
  if (const char* help = gtk_widget_get_tooltip_text(widget)) {
    add(help);
  }
  if (const auto* help =
          static_cast<const char*>(g_object_get_qdata(G_OBJECT(widget), rowHelpKey()))) {
    add(help);
  }
  if (GTK_IS_LABEL(widget)) {
    add(gtk_label_get_text(GTK_LABEL(widget)));
  }
  if (GTK_IS_WINDOW(widget)) {
    add(stringProperty(widget, "title"));
  }
  add(stringProperty(widget, "placeholder-text"));
  return names;
}

graphene_rect_t intersection(const graphene_rect_t& first, const graphene_rect_t& second) {
  graphene_rect_t common = GRAPHENE_RECT_INIT(0, 0, 0, 0);
  if (!graphene_rect_intersection(&first, &second, &common)) {
    return GRAPHENE_RECT_INIT(0, 0, 0, 0);
  }
  return common;
}

// A control that the user sees: mapped, not faded out, and not scrolled or cut out of sight by
// what holds it.
void collect(GtkWidget* widget, const NativeOrigin& outer, const graphene_rect_t& outerClip,
             std::vector<ControlPlace>& places) {
  if (!gtk_widget_get_mapped(widget) || gtk_widget_get_opacity(widget) <= 0 ||
      gtk_widget_has_css_class(widget, "orvel-hidden")) {
    return;
  }
  NativeOrigin origin = outer;
  graphene_rect_t clip = outerClip;
  if (GTK_IS_NATIVE(widget) && GTK_NATIVE(widget) != outer.native) {
    auto own = originOf(GTK_NATIVE(widget));
    if (!own) {
      return;
    }
    origin = *own;
    clip = GRAPHENE_RECT_INIT(0, 0, static_cast<float>(gtk_widget_get_width(widget)),
                              static_cast<float>(gtk_widget_get_height(widget)));
  }
  graphene_rect_t bounds;
  if (!gtk_widget_compute_bounds(widget, GTK_WIDGET(origin.native), &bounds)) {
    return;
  }
  const graphene_rect_t shown = intersection(bounds, clip);
  if (shown.size.width >= 1 && shown.size.height >= 1) {
    for (std::string& name : namesOf(widget)) {
      places.push_back(ControlPlace{
          .name = std::move(name),
          .x = static_cast<int>(std::lround(origin.x + shown.origin.x * origin.scale)),
          .y = static_cast<int>(std::lround(origin.y + shown.origin.y * origin.scale)),
          .width = static_cast<int>(std::lround(shown.size.width * origin.scale)),
          .height = static_cast<int>(std::lround(shown.size.height * origin.scale)),
      });
    }
  }
  if (gtk_widget_get_overflow(widget) == GTK_OVERFLOW_HIDDEN) {
    clip = shown;
  }
  for (GtkWidget* child = gtk_widget_get_first_child(widget); child;
       child = gtk_widget_get_next_sibling(child)) {
    collect(child, origin, clip, places);
  }
}

void handleCall(GDBusConnection*, const char*, const char*, const char*, const char* method,
                GVariant*, GDBusMethodInvocation* invocation, gpointer) {
  if (g_strcmp0(method, "List") != 0) {
    g_dbus_method_invocation_return_dbus_error(invocation,
                                               "org.freedesktop.DBus.Error.UnknownMethod", method);
    return;
  }
  GVariantBuilder builder;
  g_variant_builder_init(&builder, G_VARIANT_TYPE("a(siiii)"));
  for (const ControlPlace& place : shownControls()) {
    g_variant_builder_add(&builder, "(siiii)", place.name.c_str(), place.x, place.y, place.width,
                          place.height);
  }
  g_dbus_method_invocation_return_value(invocation, g_variant_new("(a(siiii))", &builder));
}

}  // namespace

std::vector<ControlPlace> shownControls() {
  std::vector<ControlPlace> places;
  GList* windows = gtk_window_list_toplevels();
  for (GList* entry = windows; entry; entry = entry->next) {
    GtkWidget* window = GTK_WIDGET(entry->data);
    if (!gtk_widget_get_mapped(window)) {
      continue;
    }
    auto origin = originOf(GTK_NATIVE(window));
    if (!origin) {
      continue;
    }
    const graphene_rect_t whole =
        GRAPHENE_RECT_INIT(0, 0, static_cast<float>(gtk_widget_get_width(window)),
                           static_cast<float>(gtk_widget_get_height(window)));
    collect(window, *origin, whole, places);
  }
  g_list_free(windows);
  return places;
}

ControlMapService::ControlMapService(GDBusConnection* bus) {
  static const GDBusInterfaceVTable vtable{&handleCall, nullptr, nullptr, {}};
  if (!bus) {
    logLine("App", "No bus for the control map");
    return;
  }
  GError* parseError = nullptr;
  GDBusNodeInfoPtr node(g_dbus_node_info_new_for_xml(kIntrospection, &parseError));
  GErrorPtr parsed(parseError);
  if (!node) {
    logLine("App", std::string("The control map's interface did not parse: ") +
                       (parsed ? parsed->message : "unknown error"));
    return;
  }
  GError* registerError = nullptr;
  const guint id = g_dbus_connection_register_object(bus, kObjectPath, node->interfaces[0], &vtable,
                                                     nullptr, nullptr, &registerError);
  GErrorPtr registered(registerError);
  if (!id) {
    logLine("App", std::string("Could not export the control map: ") +
                       (registered ? registered->message : "unknown error"));
    return;
  }
  object_ = std::make_unique<BusObjectRegistration>(bus, id);
}

ControlMapService::~ControlMapService() = default;

}  // namespace orvel
