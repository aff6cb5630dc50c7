// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/dbus/MprisService.h"

#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "core/Log.h"

namespace orvel {
namespace {

constexpr const char* kRootInterface = "org.mpris.MediaPlayer2";
constexpr const char* kPlayerInterface = "org.mpris.MediaPlayer2.Player";

constexpr const char* kIntrospection = R"xml(<node>
  <interface name="org.mpris.MediaPlayer2">
    <method name="Raise"/>
    <method name="Quit"/>
    <property name="CanQuit" type="b" access="read"/>
    <property name="CanRaise" type="b" access="read"/>
    <property name="HasTrackList" type="b" access="read"/>
    <property name="Identity" type="s" access="read"/>
    <property name="DesktopEntry" type="s" access="read"/>
    <property name="SupportedUriSchemes" type="as" access="read"/>
    <property name="SupportedMimeTypes" type="as" access="read"/>
  </interface>
  <interface name="org.mpris.MediaPlayer2.Player">
    <method name="Next"/>
    <method name="Previous"/>
    <method name="Pause"/>
    <method name="PlayPause"/>
    <method name="Stop"/>
    <method name="Play"/>
    <method name="Seek"><arg name="Offset" type="x" direction="in"/></method>
    <method name="SetPosition">
      <arg name="TrackId" type="o" direction="in"/>
      <arg name="Position" type="x" direction="in"/>
    </method>
    <method name="OpenUri"><arg name="Uri" type="s" direction="in"/></method>
    <signal name="Seeked"><arg name="Position" type="x"/></signal>
    <property name="PlaybackStatus" type="s" access="read"/>
    <property name="Rate" type="d" access="readwrite"/>
    <property name="Metadata" type="a{sv}" access="read"/>
    <property name="Volume" type="d" access="readwrite"/>
    <property name="Position" type="x" access="read">
      <annotation name="org.freedesktop.DBus.Property.EmitsChangedSignal" value="false"/>
    </property>
    <property name="MinimumRate" type="d" access="read"/>
    <property name="MaximumRate" type="d" access="read"/>
    <property name="CanGoNext" type="b" access="read"/>
    <property name="CanGoPrevious" type="b" access="read"/>
    <property name="CanPlay" type="b" access="read"/>
    <property name="CanPause" type="b" access="read"/>
    <property name="CanSeek" type="b" access="read"/>
    <property name="LoopStatus" type="s" access="readwrite"/>
    <property name="Shuffle" type="b" access="readwrite"/>
    <property name="CanControl" type="b" access="read">
      <annotation name="org.freedesktop.DBus.Property.EmitsChangedSignal" value="false"/>
    </property>
  </interface>
</node>)xml";

using Property = MediaPlayerRemote::Property;

// Titles come from file names and pages; D-Bus strings must be UTF-8.
GVariant* text(const std::string& value) {
  gchar* valid = g_utf8_make_valid(value.c_str(), static_cast<gssize>(value.size()));
  GVariant* variant = g_variant_new_string(valid);
  g_free(valid);
  return variant;
}

GVariant* strings(std::initializer_list<const char*> values) {
  GVariantBuilder builder;
  g_variant_builder_init(&builder, G_VARIANT_TYPE_STRING_ARRAY);
  for (const char* value : values) {
    g_variant_builder_add(&builder, "s", value);
  }
  return g_variant_builder_end(&builder);
}

const char* statusName(MediaPlayerRemote::Status status) {
  switch (status) {
    case MediaPlayerRemote::Status::playing:
      return "Playing";
    case MediaPlayerRemote::Status::paused:
      return "Paused";
    case MediaPlayerRemote::Status::stopped:
      break;
  }
  return "Stopped";
}

// MPRIS's loop status of the playlist's repeat mode, and back.
const char* loopName(PlaylistRepeat repeat) {
  switch (repeat) {
    case PlaylistRepeat::one:
      return "Track";
    case PlaylistRepeat::all:
      return "Playlist";
    case PlaylistRepeat::off:
      break;
  }
  return "None";
}

std::optional<PlaylistRepeat> repeatNamed(std::string_view loop) {
  if (loop == "None") {
    return PlaylistRepeat::off;
  }
  if (loop == "Track") {
    return PlaylistRepeat::one;
  }
  if (loop == "Playlist") {
    return PlaylistRepeat::all;
  }
  return std::nullopt;
}

// An empty map while nothing is loaded.
GVariant* metadata(const std::optional<MediaPlayerRemote::Track>& track) {
  GVariantBuilder builder;
  g_variant_builder_init(&builder, G_VARIANT_TYPE_VARDICT);
  if (track) {
    const char* id = g_variant_is_object_path(track->id.c_str()) ? track->id.c_str()
                                                                 : MediaPlayerRemote::kNoTrack;
    g_variant_builder_add(&builder, "{sv}", "mpris:trackid", g_variant_new_object_path(id));
    if (track->lengthMicroseconds) {
      g_variant_builder_add(&builder, "{sv}", "mpris:length",
                            g_variant_new_int64(*track->lengthMicroseconds));
    }
    if (!track->title.empty()) {
      g_variant_builder_add(&builder, "{sv}", "xesam:title", text(track->title));
    }
    if (track->url) {
      g_variant_builder_add(&builder, "{sv}", "xesam:url", text(*track->url));
    }
    if (track->artURL) {
      g_variant_builder_add(&builder, "{sv}", "mpris:artUrl", text(*track->artURL));
    }
  }
  return g_variant_builder_end(&builder);
}

// The announced properties: their names on the player interface and their values.
struct PlayerProperty {
  Property property;
  const char* name;
  GVariant* (*value)(const MediaPlayerRemote::Properties& now);
};
constexpr PlayerProperty kAnnounced[] = {
    {Property::status, "PlaybackStatus",
     [](const auto& now) { return g_variant_new_string(statusName(now.status)); }},
    {Property::volume, "Volume", [](const auto& now) { return g_variant_new_double(now.volume); }},
    {Property::track, "Metadata", [](const auto& now) { return metadata(now.track); }},
    {Property::canGoNext, "CanGoNext",
     [](const auto& now) { return g_variant_new_boolean(now.canGoNext); }},
    {Property::canGoPrevious, "CanGoPrevious",
     [](const auto& now) { return g_variant_new_boolean(now.canGoPrevious); }},
    {Property::canPlay, "CanPlay",
     [](const auto& now) { return g_variant_new_boolean(now.canPlay); }},
    {Property::canPause, "CanPause",
     [](const auto& now) { return g_variant_new_boolean(now.canPause); }},
    {Property::canSeek, "CanSeek",
     [](const auto& now) { return g_variant_new_boolean(now.canSeek); }},
    {Property::loop, "LoopStatus",
     [](const auto& now) { return g_variant_new_string(loopName(now.loop)); }},
    {Property::rate, "Rate", [](const auto& now) { return g_variant_new_double(now.rate); }},
};

GVariant* playerProperty(const MediaPlayerRemote& remote, std::string_view name) {
  if (name == "Position") {
    return g_variant_new_int64(remote.positionMicroseconds());
  }
  if (name == "MinimumRate") {
    return g_variant_new_double(MediaPlayerRemote::kSlowestRate);
  }
  if (name == "MaximumRate") {
    return g_variant_new_double(MediaPlayerRemote::kFastestRate);
  }
  if (name == "CanControl") {
    return g_variant_new_boolean(TRUE);
  }
  if (name == "Shuffle") {
    return g_variant_new_boolean(FALSE);
  }
  for (const PlayerProperty& known : kAnnounced) {
    if (name == known.name) {
      return known.value(remote.properties());
    }
  }
  return nullptr;
}

GVariant* rootProperty(std::string_view name) {
  if (name == "CanQuit" || name == "CanRaise") {
    return g_variant_new_boolean(TRUE);
  }
  if (name == "HasTrackList") {
    return g_variant_new_boolean(FALSE);
  }
  if (name == "Identity") {
    return g_variant_new_string("Orvel player");
  }
  if (name == "DesktopEntry") {
    return g_variant_new_string("com.example.OrvelPlayer");
  }
  if (name == "SupportedUriSchemes") {
    return strings({"file", "http", "https"});
  }
  if (name == "SupportedMimeTypes") {
    return strings({"video/mp4", "video/webm", "video/x-matroska"});
  }
  return nullptr;
}

}  // namespace

struct MprisService::Callbacks {
  static void methodCall(GDBusConnection*, const gchar*, const gchar*, const gchar* interface,
                         const gchar* method, GVariant* parameters,
                         GDBusMethodInvocation* invocation, gpointer data) {
    auto& service = *static_cast<MprisService*>(data);
    MediaPlayerRemote& remote = service.remote_;
    const std::string_view name = method;
    if (g_strcmp0(interface, kRootInterface) == 0) {
      // Answered first: quitting may take the connection with it.
      g_dbus_method_invocation_return_value(invocation, nullptr);
      const auto& hook = name == "Raise" ? service.hooks_.raise : service.hooks_.quit;
      if (hook) {
        hook();
      }
      return;
    }
    if (name == "Play") {
      remote.play();
    } else if (name == "Pause") {
      remote.pause();
    } else if (name == "PlayPause") {
      remote.playPause();
    } else if (name == "Stop") {
      remote.stop();
    } else if (name == "Next") {
      remote.next();
    } else if (name == "Previous") {
      remote.previous();
    } else if (name == "Seek") {
      gint64 offset = 0;
      g_variant_get(parameters, "(x)", &offset);
      remote.seek(offset);
    } else if (name == "SetPosition") {
      const gchar* track = nullptr;
      gint64 position = 0;
      g_variant_get(parameters, "(&ox)", &track, &position);
      remote.setPosition(track, position);
    } else if (name == "OpenUri") {
      const gchar* uri = nullptr;
      g_variant_get(parameters, "(&s)", &uri);
      if (auto refusal = remote.openURI(uri)) {
        if (*refusal == MediaPlayerRemote::OpenRefusal::missingFile) {
          g_dbus_method_invocation_return_error(
              invocation, G_DBUS_ERROR, G_DBUS_ERROR_FILE_NOT_FOUND, "No readable file at %s", uri);
        } else {
          g_dbus_method_invocation_return_error(invocation, G_DBUS_ERROR,
                                                G_DBUS_ERROR_NOT_SUPPORTED,
                                                "Not a playable file or link: %s", uri);
        }
        return;
      }
    }
    g_dbus_method_invocation_return_value(invocation, nullptr);
  }

  static GVariant* property(GDBusConnection*, const gchar*, const gchar*, const gchar* interface,
                            const gchar* name, GError** error, gpointer data) {
    const auto& service = *static_cast<MprisService*>(data);
    GVariant* value = g_strcmp0(interface, kRootInterface) == 0
                          ? rootProperty(name)
                          : playerProperty(service.remote_, name);
    if (!value) {
      g_set_error(error, G_DBUS_ERROR, G_DBUS_ERROR_UNKNOWN_PROPERTY, "No property %s", name);
    }
    return value;
  }

  static gboolean setProperty(GDBusConnection*, const gchar*, const gchar*, const gchar*,
                              const gchar* name, GVariant* value, GError** error, gpointer data) {
    auto& service = *static_cast<MprisService*>(data);
    // A rate of 0 pauses, as MPRIS has it; any other is the playback speed.
    if (g_strcmp0(name, "Volume") == 0) {
      service.remote_.setVolume(g_variant_get_double(value));
    } else if (g_strcmp0(name, "Rate") == 0) {
      service.remote_.setRate(g_variant_get_double(value));
    } else if (g_strcmp0(name, "LoopStatus") == 0) {
      const auto repeat = repeatNamed(g_variant_get_string(value, nullptr));
      if (!repeat) {
        g_set_error(error, G_DBUS_ERROR, G_DBUS_ERROR_INVALID_ARGS,
                    "LoopStatus is None, Track or Playlist");
        return FALSE;
      }
      service.remote_.setLoop(*repeat);
    } else if (g_strcmp0(name, "Shuffle") == 0) {
      service.remote_.setShuffle(g_variant_get_boolean(value));
    }
    return TRUE;
  }

  static void busAcquired(GDBusConnection* bus, const gchar*, gpointer data) {
    static_cast<MprisService*>(data)->exportObjects(bus);
  }

  static void nameLost(GDBusConnection*, const gchar* name, gpointer data) {
    auto& service = *static_cast<MprisService*>(data);
    if (!service.toldNameLost_) {
      service.toldNameLost_ = true;
      logLine("MPRIS", std::string("Could not own the bus name ") + name +
                           "; the desktop's media controls do not reach the player");
    }
  }
};

MprisService::MprisService(MainQueue& queue, PlaybackControls& session,
                           const StreamingProviderRegistry& registry, Hooks hooks)
    : remote_(queue, session, registry), hooks_(std::move(hooks)) {
  changes_ = remote_.observeChanges(
      [this](const std::vector<MediaPlayerRemote::Property>& changed) { announce(changed); });
  seeks_ = remote_.observeSeeks([this](std::int64_t position) { announceSeek(position); });
  name_ = BusNameOwnership(g_bus_own_name(G_BUS_TYPE_SESSION, kBusName, G_BUS_NAME_OWNER_FLAGS_NONE,
                                          &Callbacks::busAcquired, nullptr, &Callbacks::nameLost,
                                          this, nullptr));
}

MprisService::~MprisService() = default;

void MprisService::exportObjects(GDBusConnection* bus) {
  static const GDBusInterfaceVTable vtable{
      &Callbacks::methodCall, &Callbacks::property, &Callbacks::setProperty, {}};
  GError* parseError = nullptr;
  GDBusNodeInfoPtr node(g_dbus_node_info_new_for_xml(kIntrospection, &parseError));
  if (!node) {
    GErrorPtr error(parseError);
    logLine("MPRIS", std::string("The interfaces did not parse: ") + error->message);
    return;
  }
  objects_.clear();
  bus_ = retainGObject(bus);
  for (GDBusInterfaceInfo** interface = node->interfaces; *interface; ++interface) {
    GError* registerError = nullptr;
    const guint id = g_dbus_connection_register_object(bus, kObjectPath, *interface, &vtable, this,
                                                       nullptr, &registerError);
    if (!id) {
      GErrorPtr error(registerError);
      logLine("MPRIS",
              std::string("Could not export ") + (*interface)->name + ": " + error->message);
      continue;
    }
    objects_.push_back(std::make_unique<BusObjectRegistration>(bus, id));
  }
}

void MprisService::announce(const std::vector<MediaPlayerRemote::Property>& changed) {
  if (!bus_ || objects_.empty()) {
    return;
  }
  GVariantBuilder values;
  g_variant_builder_init(&values, G_VARIANT_TYPE_VARDICT);
  const MediaPlayerRemote::Properties now = remote_.properties();
  for (const Property property : changed) {
    for (const PlayerProperty& known : kAnnounced) {
      if (known.property == property) {
        g_variant_builder_add(&values, "{sv}", known.name, known.value(now));
      }
    }
  }
  g_dbus_connection_emit_signal(
      bus_.get(), nullptr, kObjectPath, "org.freedesktop.DBus.Properties", "PropertiesChanged",
      g_variant_new("(sa{sv}@as)", kPlayerInterface, &values,
                    g_variant_new_array(G_VARIANT_TYPE_STRING, nullptr, 0)),
      nullptr);
}

void MprisService::announceSeek(std::int64_t position) {
  if (!bus_ || objects_.empty()) {
    return;
  }
  g_dbus_connection_emit_signal(bus_.get(), nullptr, kObjectPath, kPlayerInterface, "Seeked",
                                g_variant_new("(x)", static_cast<gint64>(position)), nullptr);
}

}  // namespace orvel
