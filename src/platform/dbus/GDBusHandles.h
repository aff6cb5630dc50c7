// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <gio/gio.h>

#include <memory>
#include <utility>

#include "platform/system/GObjectPtr.h"

namespace orvel {

struct GVariantUnref {
  void operator()(GVariant* value) const {
    if (value) {
      g_variant_unref(value);
    }
  }
};

// Owns one reference of a variant; a floating one is sunk when taken over.
using GVariantPtr = std::unique_ptr<GVariant, GVariantUnref>;

inline GVariantPtr sinkVariant(GVariant* value) {
  return GVariantPtr(value ? g_variant_ref_sink(value) : nullptr);
}

struct GErrorFree {
  void operator()(GError* error) const {
    if (error) {
      g_error_free(error);
    }
  }
};

using GErrorPtr = std::unique_ptr<GError, GErrorFree>;

struct GDBusNodeInfoUnref {
  void operator()(GDBusNodeInfo* info) const {
    if (info) {
      g_dbus_node_info_unref(info);
    }
  }
};

using GDBusNodeInfoPtr = std::unique_ptr<GDBusNodeInfo, GDBusNodeInfoUnref>;

// A name owned on a bus, given up when this goes; no callback of the ownership runs after that.
class BusNameOwnership {
 public:
  BusNameOwnership() = default;
  explicit BusNameOwnership(guint id) : id_(id) {}
  ~BusNameOwnership() {
    if (id_) {
      g_bus_unown_name(id_);
    }
  }
  BusNameOwnership(BusNameOwnership&& other) noexcept : id_(std::exchange(other.id_, 0)) {}
  BusNameOwnership& operator=(BusNameOwnership&& other) noexcept {
    std::swap(id_, other.id_);
    return *this;
  }
  BusNameOwnership(const BusNameOwnership&) = delete;
  BusNameOwnership& operator=(const BusNameOwnership&) = delete;

 private:
  guint id_ = 0;
};

// An object exported on a connection, withdrawn when this goes; its calls stop with it.
class BusObjectRegistration {
 public:
  BusObjectRegistration(GDBusConnection* bus, guint id)
      : bus_(retainGObject(bus)), id_(bus ? id : 0) {}
  ~BusObjectRegistration() {
    if (id_) {
      g_dbus_connection_unregister_object(bus_.get(), id_);
    }
  }
  BusObjectRegistration(const BusObjectRegistration&) = delete;
  BusObjectRegistration& operator=(const BusObjectRegistration&) = delete;

  explicit operator bool() const { return id_ != 0; }

 private:
  GObjectPtr<GDBusConnection> bus_;
  guint id_ = 0;
};

}  // namespace orvel
