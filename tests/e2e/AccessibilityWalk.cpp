// SPDX-License-Identifier: GPL-3.0-or-later

// AccessibilityWalk APPLICATION_NAME_SUBSTRING [seconds]
// Polls the AT-SPI desktop (up to `seconds`, 30 by default) until an application whose accessible
// name contains the substring is there, then prints one line per object of its tree, two spaces of
// indent a level:  role "name" [states] value=current (min..max)
// The name is escaped as a C string; the states are showing, visible, focusable, focused, pressed,
// checked, expanded and selected; the value comes with the Value interface (sliders, scroll bars).
// Exit status: 0 printed, 1 no such application in time, 2 bad usage or no accessibility bus (found
// as libatspi finds it: $AT_SPI_BUS_ADDRESS, the X root window's AT_SPI_BUS, org.a11y.Bus).
#include <atspi/atspi.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <set>
#include <string>
#include <utility>

namespace {

constexpr int kMaxDepth = 40;          // deeper than any sane widget tree
constexpr int kMaxChildren = 1000;     // per object; a list of a million rows is not walked
constexpr int kMaxObjects = 20000;     // for the whole walk
constexpr int kCallTimeoutMs = 10000;  // a sanitized GTK program can be slow to answer

struct Unref {
  void operator()(gpointer object) const { g_object_unref(object); }
};
template <typename T>
using Ref = std::unique_ptr<T, Unref>;

struct Free {
  void operator()(gpointer memory) const { g_free(memory); }
};
using Text = std::unique_ptr<gchar, Free>;

// A GError that frees itself; out() clears the previous error before each call.
struct ErrorSlot {
  GError* error = nullptr;
  ErrorSlot() = default;
  ErrorSlot(const ErrorSlot&) = delete;
  ErrorSlot& operator=(const ErrorSlot&) = delete;
  ~ErrorSlot() { g_clear_error(&error); }
  GError** out() {
    g_clear_error(&error);
    return &error;
  }
  explicit operator bool() const { return error != nullptr; }
  const char* message() const { return error ? error->message : ""; }
};

std::string orEmpty(const Text& text) {
  return text ? text.get() : "";
}

// The name on one line: backslash, quote and line ends escaped as in C.
std::string quoted(const std::string& text) {
  std::string out = "\"";
  for (const char c : text) {
    const bool plain = c != '\\' && c != '"' && c != '\n' && c != '\r';
    out += plain ? std::string(1, c) : std::string("\\") + (c == '\n' ? 'n' : c == '\r' ? 'r' : c);
  }
  return out + "\"";
}

// An object is identified on the bus by its connection's unique name and its object path.
std::string identity(AtspiAccessible* object) {
  const AtspiObject* base = ATSPI_OBJECT(object);
  return std::string(base->app && base->app->bus_name ? base->app->bus_name : "?") + ":" +
         (base->path ? base->path : "?");
}

std::string states(AtspiAccessible* object) {
  static const std::pair<AtspiStateType, const char*> kShown[] = {
      {ATSPI_STATE_SHOWING, "showing"},     {ATSPI_STATE_VISIBLE, "visible"},
      {ATSPI_STATE_FOCUSABLE, "focusable"}, {ATSPI_STATE_FOCUSED, "focused"},
      {ATSPI_STATE_PRESSED, "pressed"},     {ATSPI_STATE_CHECKED, "checked"},
      {ATSPI_STATE_EXPANDED, "expanded"},   {ATSPI_STATE_SELECTED, "selected"},
  };
  Ref<AtspiStateSet> set(atspi_accessible_get_state_set(object));
  std::string shown;
  for (const auto& [state, word] : kShown) {
    if (set && atspi_state_set_contains(set.get(), state)) {
      shown += shown.empty() ? word : std::string(" ") + word;
    }
  }
  return "[" + shown + "]";
}

std::string value(AtspiAccessible* object) {
  Ref<AtspiValue> iface(atspi_accessible_get_value_iface(object));
  if (!iface) {
    return "";
  }
  ErrorSlot error;
  const double current = atspi_value_get_current_value(iface.get(), error.out());
  if (error) {
    return std::string(" value=<") + error.message() + ">";
  }
  const double minimum = atspi_value_get_minimum_value(iface.get(), error.out());
  const double maximum = atspi_value_get_maximum_value(iface.get(), error.out());
  char text[96];
  std::snprintf(text, sizeof text, " value=%g (%g..%g)", current, minimum, maximum);
  return text;
}

struct Walk {
  std::set<std::string> seen;
  int objects = 0;

  void visit(AtspiAccessible* object, int depth) {
    const std::string indent(static_cast<std::size_t>(depth) * 2, ' ');
    if (++objects > kMaxObjects) {
      std::printf("%s<stopped: more than %d objects>\n", indent.c_str(), kMaxObjects);
      return;
    }
    ErrorSlot error;
    Text role(atspi_accessible_get_role_name(object, error.out()));
    if (error) {
      std::printf("%s<unreachable: %s>\n", indent.c_str(), error.message());
      return;
    }
    Text name(atspi_accessible_get_name(object, error.out()));
    std::printf("%s%s %s %s%s\n", indent.c_str(), orEmpty(role).c_str(),
                quoted(orEmpty(name)).c_str(), states(object).c_str(), value(object).c_str());
    if (!seen.insert(identity(object)).second) {
      std::printf("%s  <cycle: %s already printed>\n", indent.c_str(), identity(object).c_str());
      return;
    }
    const int count = atspi_accessible_get_child_count(object, error.out());
    if (error || count <= 0) {
      return;
    }
    if (depth + 1 > kMaxDepth) {
      std::printf("%s  <stopped: deeper than %d>\n", indent.c_str(), kMaxDepth);
      return;
    }
    for (int index = 0; index < count && index < kMaxChildren; ++index) {
      Ref<AtspiAccessible> child(atspi_accessible_get_child_at_index(object, index, error.out()));
      if (child) {
        visit(child.get(), depth + 1);
      } else {
        std::printf("%s  <child %d unreachable: %s>\n", indent.c_str(), index, error.message());
      }
    }
    if (count > kMaxChildren) {
      std::printf("%s  <%d more children not walked>\n", indent.c_str(), count - kMaxChildren);
    }
  }
};

Ref<AtspiAccessible> findApplication(const std::string& part) {
  Ref<AtspiAccessible> desktop(atspi_get_desktop(0));
  if (!desktop) {
    return nullptr;
  }
  atspi_accessible_set_cache_mask(desktop.get(), ATSPI_CACHE_NONE);  // applications come and go
  ErrorSlot error;
  const int count = atspi_accessible_get_child_count(desktop.get(), error.out());
  for (int index = 0; index < count; ++index) {
    Ref<AtspiAccessible> application(
        atspi_accessible_get_child_at_index(desktop.get(), index, error.out()));
    Text name(application ? atspi_accessible_get_name(application.get(), error.out()) : nullptr);
    if (name && std::string(name.get()).find(part) != std::string::npos) {
      return application;
    }
  }
  return nullptr;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || argc > 3) {
    std::fprintf(stderr, "usage: %s APPLICATION_NAME_SUBSTRING [seconds]\n", argv[0]);
    return 2;
  }
  const double seconds = argc == 3 ? std::atof(argv[2]) : 30.0;
  // 0: started, 1: already started; anything else (2) means no accessibility bus was found.
  if (const int started = atspi_init(); started != 0 && started != 1) {
    std::fprintf(stderr,
                 "AccessibilityWalk: atspi_init failed (%d): no accessibility bus; is "
                 "at-spi-bus-launcher running on this session bus or display?\n",
                 started);
    return 2;
  }
  atspi_set_timeout(kCallTimeoutMs, kCallTimeoutMs);
  const gint64 deadline = g_get_monotonic_time() + static_cast<gint64>(seconds * G_USEC_PER_SEC);
  Ref<AtspiAccessible> application;
  while (!(application = findApplication(argv[1])) && g_get_monotonic_time() < deadline) {
    g_usleep(200 * 1000);  // polling interval, not a synchronisation
  }
  if (!application) {
    std::fprintf(stderr, "AccessibilityWalk: no application named like \"%s\" within %g s\n",
                 argv[1], seconds);
    atspi_exit();
    return 1;
  }
  // Ask the application itself every time instead of trusting libatspi's cache.
  atspi_accessible_set_cache_mask(application.get(), ATSPI_CACHE_NONE);
  Walk().visit(application.get(), 0);
  std::fflush(stdout);
  application.reset();
  atspi_exit();
  return 0;
}
