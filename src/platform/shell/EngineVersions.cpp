// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/shell/EngineVersions.h"

#include <gtk/gtk.h>
#include <webkit/webkit.h>

#include <string>

#include "platform/shell/NativeMedia.h"

namespace orvel {

std::string engineVersions() {
  auto triple = [](unsigned major, unsigned minor, unsigned micro) {
    return std::to_string(major) + "." + std::to_string(minor) + "." + std::to_string(micro);
  };
  const NativeMediaBackend* native = nativeMediaBackend();
  return "GTK " +
         triple(gtk_get_major_version(), gtk_get_minor_version(), gtk_get_micro_version()) +
         ", WebKitGTK " +
         triple(webkit_get_major_version(), webkit_get_minor_version(),
                webkit_get_micro_version()) +
         ", libmpv client API " + (native ? native->mpvVersion() : std::string("missing"));
}

}  // namespace orvel
