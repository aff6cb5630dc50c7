// SPDX-License-Identifier: GPL-3.0-or-later

// Writes a playlist library of the given size into a player's store, for timing the player's
// start-up with a large library (bench/library_startup.sh): 200 folders of files titled from
// their links, every fifth item a named YouTube link, a saved position on every seventh.
// usage: make_library STORE_FILE ITEMS

#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/SqliteDefaults.h"
#include "playlist/PlaylistLibrary.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: make_library STORE_FILE ITEMS\n");
    return 2;
  }
  const int items = std::atoi(argv[2]);
  auto defaults = orvel::SqliteDefaults::open(argv[1]);
  if (!defaults || items < 0) {
    std::fprintf(stderr, "make_library: cannot open %s\n", argv[1]);
    return 1;
  }
  constexpr int kFolders = 200;
  orvel::PlaylistTree::Nodes library;
  orvel::PropertyList::Dictionary positions;
  for (int folder = 0; folder < kFolders; ++folder) {
    library.push_back(orvel::PlaylistNode::folder("Folder " + std::to_string(folder)));
  }
  for (int count = 0; count < items; ++count) {
    const int folder = count % kFolders;
    orvel::PlaylistNode child =
        count % 5 == 0
            ? orvel::PlaylistNode::item("https://youtu.be/v" + std::to_string(1000000000 + count),
                                        "Named clip " + std::to_string(count))
            : orvel::PlaylistNode::item("file:///home/user/Videos/Folder%20" +
                                        std::to_string(folder) + "/Episode%20" +
                                        std::to_string(count) + ".mp4");
    if (count % 7 == 0) {
      positions["mp4:" + child.url.value()] = 42.0;
    }
    library[static_cast<std::size_t>(folder)].children->push_back(std::move(child));
  }
  const orvel::Defaults::Batch batch(*defaults);
  defaults->set(orvel::PlaylistLibrary::kPlaybackPositionsKey,
                orvel::PropertyList(std::move(positions)));
  orvel::PlaylistLibrary::save(library, *defaults);
  return 0;
}
