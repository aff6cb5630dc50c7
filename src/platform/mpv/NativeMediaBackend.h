// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <memory>
#include <string>

#include "native/MKVVideoSurface.h"
#include "native/MediaEngine.h"
#include "playlist/PlaylistMetadata.h"

namespace Gtk {
class Widget;
}

namespace orvel {

// What the program takes from libmpv and FFmpeg. Their libraries are about a third of the
// program's, and loading them delays every start, so they live in a module of their own that the
// program opens when it first needs one of these: when an MKV plays, a file's facts are read, or
// the engines' versions are asked for.
struct NativeMediaBackend {
  // The engine, and the view it draws into; the view attaches to the engine, which must outlive
  // it.
  std::unique_ptr<MediaEngine> (*makeEngine)();
  std::unique_ptr<Gtk::Widget> (*makeVideoView)(MediaEngine& engine, MKVVideoSurface& surface);
  // A local file's facts and picture, for the playlist; safe on any thread.
  PlaylistMetadata::Info (*readLocalFile)(const std::string& path, bool readFacts);
  // libmpv's client API version, as "major.minor".
  std::string (*mpvVersion)();
};

// The module's one entry point, found by this name.
inline constexpr const char* kNativeMediaBackendSymbol = "orvel_native_media_backend";

}  // namespace orvel

extern "C" const orvel::NativeMediaBackend* orvel_native_media_backend();
