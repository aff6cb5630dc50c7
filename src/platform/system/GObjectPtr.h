// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <glib-object.h>

#include <memory>

namespace orvel {

struct GObjectUnref {
  void operator()(gpointer object) const {
    if (object) {
      g_object_unref(object);
    }
  }
};

// Owns one reference of a GObject.
template <typename T>
using GObjectPtr = std::unique_ptr<T, GObjectUnref>;

// Takes over a reference the caller already owns (a "transfer full" return).
template <typename T>
GObjectPtr<T> adoptGObject(T* object) {
  return GObjectPtr<T>(object);
}

// Adds a reference of its own.
template <typename T>
GObjectPtr<T> retainGObject(T* object) {
  return GObjectPtr<T>(object ? static_cast<T*>(g_object_ref(object)) : nullptr);
}

struct GFreeDeleter {
  void operator()(gpointer memory) const { g_free(memory); }
};

// Owns memory that GLib allocated.
using GCharPtr = std::unique_ptr<char, GFreeDeleter>;

}  // namespace orvel
