// SPDX-License-Identifier: GPL-3.0-or-later

// The playlist at the sizes a large collection reaches. Targets: a search redraw over 10,000 items
// in 200 folders within one frame (16 ms); a media-folder scan of 5,000 files in 100 folders within
// 250 ms, beside find and sort listing the same tree; parsing an M3U file of 100,000 entries within
// 500 ms; saving and loading a 10,000-node library (no target: reported for comparison).
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "core/Defaults.h"
#include "playlist/PlaylistLibrary.h"
#include "playlist/PlaylistRows.h"

namespace {

using orvel::PlaylistLibrary;
using orvel::PlaylistNode;
using orvel::PropertyList;
using Nodes = orvel::PlaylistTree::Nodes;

class BenchDefaults final : public orvel::Defaults {
 public:
  std::optional<PropertyList> object(std::string_view key) const override {
    auto found = values_.find(key);
    return found == values_.end() ? std::nullopt : std::optional<PropertyList>(found->second);
  }
  void set(std::string_view key, const PropertyList& value) override {
    values_.insert_or_assign(std::string(key), value);
  }
  void remove(std::string_view key) override { values_.erase(std::string(key)); }

 private:
  std::map<std::string, PropertyList, std::less<>> values_;
};

// 200 folders of 50 items: unnamed files whose titles come from their links, and every fifth a
// named YouTube link; a saved position on every seventh.
Nodes largeLibrary(BenchDefaults& defaults, int itemsPerFolder = 50) {
  Nodes library;
  PropertyList::Dictionary positions;
  int count = 0;
  for (int folder = 0; folder < 200; ++folder) {
    PlaylistNode node = PlaylistNode::folder("Folder " + std::to_string(folder));
    for (int item = 0; item < itemsPerFolder; ++item, ++count) {
      PlaylistNode child =
          item % 5 == 0
              ? PlaylistNode::item("https://youtu.be/v" + std::to_string(1000000000 + count),
                                   "Named clip " + std::to_string(count))
              : PlaylistNode::item("file:///home/user/Videos/Wendle%20Media/Folder%20" +
                                   std::to_string(folder) + "/Episode%20" + std::to_string(item) +
                                   ".mp4");
      if (count % 7 == 0) {
        positions["mp4:" + child.url.value()] = 42.0;
      }
      node.children->push_back(std::move(child));
    }
    library.push_back(std::move(node));
  }
  defaults.set(PlaylistLibrary::kPlaybackPositionsKey, PropertyList(positions));
  return library;
}

// A redraw as the panel makes it: new rows over the stored values, a search over the library.
void visibleRowsSearch(benchmark::State& state) {
  BenchDefaults defaults;
  const Nodes library = largeLibrary(defaults);
  for (auto _ : state) {
    const orvel::PlaylistRows rows(defaults);
    auto shown = rows.visibleRows(library, std::nullopt, " episode 4 ");
    benchmark::DoNotOptimize(shown);
  }
}
BENCHMARK(visibleRowsSearch)->Unit(benchmark::kMillisecond);

// The first search after start, before any link of the library has been resolved.
void visibleRowsSearchFirstTime(benchmark::State& state) {
  BenchDefaults defaults;
  const Nodes library = largeLibrary(defaults);
  for (auto _ : state) {
    const orvel::PlaylistLinkResolver resolver(orvel::StreamingProviderRegistry::shared());
    const orvel::PlaylistRows rows(defaults, {}, resolver);
    auto shown = rows.visibleRows(library, std::nullopt, " episode 4 ");
    benchmark::DoNotOptimize(shown);
  }
}
BENCHMARK(visibleRowsSearchFirstTime)->Unit(benchmark::kMillisecond);

// Typing "clip-123" and erasing it again in a folder of 9,800 items, as in the panel benchmark.
void visibleRowsTyping(benchmark::State& state) {
  BenchDefaults defaults;
  Nodes library;
  PlaylistNode folder = PlaylistNode::folder("Folder 0");
  for (int index = 0; index < 9800; ++index) {
    folder.children->push_back(index % 5 == 0
                                   ? PlaylistNode::item("https://www.youtube.com/watch?v=v" +
                                                            std::to_string(1000000000 + index),
                                                        "YouTube clip-" + std::to_string(index))
                                   : PlaylistNode::item("file:///nonexistent/bench/folder-0/clip-" +
                                                        std::to_string(index) + ".mp4"));
  }
  library.push_back(std::move(folder));
  const auto id = library.front().id;
  const std::string typed = "clip-123";
  // The index is read ahead, on idle turns after the panel opens.
  orvel::PlaylistSearchIndex index([](const PlaylistNode& item) {
    return orvel::PlaylistRows::itemTitle(item, {}, orvel::PlaylistLinkResolver::shared());
  });
  for (auto _ : state) {
    state.PauseTiming();
    index.libraryChanged();
    index.prepare(library, library.front().children->size());
    state.ResumeTiming();
    const orvel::PlaylistRows rows(defaults, {}, orvel::PlaylistLinkResolver::shared(), &index);
    for (std::size_t length = 1; length <= typed.size(); ++length) {
      benchmark::DoNotOptimize(rows.visibleRows(library, id, typed.substr(0, length)));
    }
    for (std::size_t length = typed.size(); length-- > 0;) {
      benchmark::DoNotOptimize(rows.visibleRows(library, id, typed.substr(0, length)));
    }
  }
}
BENCHMARK(visibleRowsTyping)->Unit(benchmark::kMillisecond);

class MediaTree {
 public:
  MediaTree() {
    std::string pattern = (std::filesystem::temp_directory_path() / "orvel-bench-XXXXXX").string();
    root_ = mkdtemp(pattern.data()) ? pattern : std::string();
    for (int folder = 0; folder < 100; ++folder) {
      const auto directory = std::filesystem::path(root_) / ("Season " + std::to_string(folder));
      std::filesystem::create_directories(directory);
      for (int file = 0; file < 50; ++file) {
        std::ofstream(directory / ("Episode " + std::to_string(file) + ".mp4")) << "x";
      }
    }
  }
  ~MediaTree() {
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
  }
  const std::string& root() const { return root_; }

 private:
  std::string root_;
};

void loadFromMediaFolder(benchmark::State& state) {
  const MediaTree tree;
  for (auto _ : state) {
    auto nodes = PlaylistLibrary::loadFromMediaFolder(tree.root());
    benchmark::DoNotOptimize(nodes);
  }
}
BENCHMARK(loadFromMediaFolder)->Unit(benchmark::kMillisecond);

// The peer: the same tree listed by find (hidden names skipped, the three video extensions) and put
// in natural, case-insensitive order by sort, as a shell user would list a media folder. Its time
// includes starting the shell and both programs, which is part of what it costs.
void findAndSortTheSameTree(benchmark::State& state) {
  const MediaTree tree;
  const std::string command = "find '" + tree.root() +
                              "' -name '.*' -prune -o -type f \\( -iname '*.mp4' -o -iname "
                              "'*.webm' -o -iname '*.mkv' \\) -print | sort -f -V >/dev/null";
  for (auto _ : state) {
    if (std::system(command.c_str()) != 0) {
      state.SkipWithError("find or sort failed");
      break;
    }
  }
}
BENCHMARK(findAndSortTheSameTree)->Unit(benchmark::kMillisecond)->UseRealTime();

void parseM3U(benchmark::State& state) {
  std::string text = "#EXTM3U\n";
  for (int index = 0; index < 100'000; ++index) {
    text += "#EXTINF:-1,Clip " + std::to_string(index) + "\n";
    text +=
        index % 4 == 0
            ? "https://www.youtube.com/watch?v=v" + std::to_string(1000000000 + index)
            : "Season " + std::to_string(index / 50) + "/Episode " + std::to_string(index) + ".mp4";
    text += "\n";
  }
  const auto base = orvel::Url::fileURL("/home/user/Playlists");
  for (auto _ : state) {
    auto items = PlaylistLibrary::parseM3U(text, *base);
    benchmark::DoNotOptimize(items);
  }
}
BENCHMARK(parseM3U)->Unit(benchmark::kMillisecond);

void saveThenLoad(benchmark::State& state) {
  // 200 folders and 9,800 items.
  BenchDefaults scratch;
  const Nodes library = largeLibrary(scratch, 49);
  for (auto _ : state) {
    BenchDefaults defaults;
    PlaylistLibrary::save(library, defaults);
    auto loaded = PlaylistLibrary::load(defaults);
    benchmark::DoNotOptimize(loaded);
  }
}
BENCHMARK(saveThenLoad)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
