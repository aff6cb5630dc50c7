// SPDX-License-Identifier: GPL-3.0-or-later

// The playlist's metadata for 1,000 local files, first with a cold thumbnail cache (every
// thumbnail decoded and stored) and then with a warm one (read back from the cache). Targets: the
// main loop never stalls longer than one frame (16 ms) while the results arrive; at least 1,000
// cached thumbnails a second. Beside them, in the same run and on the same files, FFmpeg's own
// programs as many at a time as the player decodes (one per core): ffprobe reading each file's
// facts, and ffmpeg making each thumbnail (one frame a tenth of the way in, fitted into 320 x 180,
// written as PNG), which is what the cold cache costs the player.
// usage: bench_metadata [FILES]
#include <glib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/Url.h"
#include "platform/ffmpeg/FFmpegMediaProbe.h"
#include "platform/system/WorkerPool.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Run {
  double seconds = 0;
  double longestStallMs = 0;
  std::size_t thumbnails = 0;
};

// Loads every link and runs the main loop until all are published, timing the gaps between the
// turns of a 1 ms timer: a gap is how long the loop could not run.
Run loadAll(const std::vector<std::string>& links) {
  orvel::WorkerPool pool;
  orvel::PlaylistMetadata metadata(
      orvel::StreamingProviderRegistry::shared(), orvel::readLocalFile,
      [&pool](orvel::PlaylistMetadata::Work work) { pool.run(std::move(work)); });
  std::size_t published = 0;
  Run run;
  auto token = metadata.observeChanges([&](const std::string& url) {
    ++published;
    if (metadata.info(url)->thumbnail) {
      ++run.thumbnails;
    }
  });
  auto last = Clock::now();
  auto tick = [](gpointer data) -> gboolean {
    auto* state = static_cast<std::pair<Clock::time_point*, double*>*>(data);
    const auto now = Clock::now();
    *state->second = std::max(
        *state->second, std::chrono::duration<double, std::milli>(now - *state->first).count());
    *state->first = now;
    return G_SOURCE_CONTINUE;
  };
  std::pair<Clock::time_point*, double*> state{&last, &run.longestStallMs};
  const guint timer = g_timeout_add(1, tick, &state);
  const auto start = Clock::now();
  for (const auto& link : links) {
    metadata.load(link);
  }
  last = Clock::now();
  while (published < links.size()) {
    g_main_context_iteration(nullptr, TRUE);
  }
  run.seconds = std::chrono::duration<double>(Clock::now() - start).count();
  g_source_remove(timer);
  return run;
}

// Runs a shell command over every file of the list, as many at a time as there are cores, and
// returns the seconds it took, or a negative number when it failed.
double overEveryFile(const std::string& list, const std::string& command) {
  const std::string line = "xargs -d '\\n' -P " + std::to_string(g_get_num_processors()) +
                           " -I{} " + command + " <'" + list + "' >/dev/null";
  const auto start = Clock::now();
  const int status = std::system(line.c_str());
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  return status == 0 ? seconds : -1;
}

}  // namespace

int main(int argc, char** argv) {
  // A number of files may be given; the other benchmarks' flags are not for this one.
  std::size_t count = 1000;
  if (argc > 1 && g_ascii_isdigit(argv[1][0])) {
    count = std::max<std::size_t>(1, std::strtoul(argv[1], nullptr, 10));
  }
  gchar* made = g_dir_make_tmp("orvel-bench-metadata-XXXXXX", nullptr);
  const std::string folder = made;
  g_free(made);
  // The thumbnail cache is the process's own, inside the folder.
  g_setenv("XDG_CACHE_HOME", (folder + "/cache").c_str(), TRUE);
  const std::string clip = folder + "/clip.mp4";
  const std::string command =
      "ffmpeg -nostdin -v error -y -f lavfi -i testsrc2=s=1280x720:r=25:d=4 -c:v libx264 "
      "-pix_fmt yuv420p '" +
      clip + "'";
  if (std::system(command.c_str()) != 0) {
    std::fprintf(stderr, "ffmpeg is needed to make the clip\n");
    return 1;
  }
  std::vector<std::string> links;
  for (std::size_t index = 0; index < count; ++index) {
    const std::string copy = folder + "/clip-" + std::to_string(index) + ".mp4";
    std::filesystem::copy_file(clip, copy);
    links.push_back(orvel::Url::fileURL(copy)->absoluteString());
  }
  const Run cold = loadAll(links);
  const Run warm = loadAll(links);
  std::printf(
      "%zu files, cold cache: %.2f s (%.0f a second), %zu thumbnails, longest main-loop "
      "stall %.1f ms (target at most 16)\n",
      count, cold.seconds, count / cold.seconds, cold.thumbnails, cold.longestStallMs);
  std::printf(
      "%zu files, warm cache: %.3f s (%.0f cached thumbnails a second, target at least "
      "1000), longest main-loop stall %.1f ms (target at most 16)\n",
      count, warm.seconds, warm.thumbnails / warm.seconds, warm.longestStallMs);
  std::fflush(stdout);
  const std::string list = folder + "/files.txt";
  {
    std::ofstream names(list);
    for (std::size_t index = 0; index < count; ++index) {
      names << folder << "/clip-" << index << ".mp4\n";
    }
  }
  const double probed =
      overEveryFile(list, "ffprobe -v error -threads 1 -show_format -show_streams {}");
  const double thumbnailed =
      overEveryFile(list,
                    "ffmpeg -nostdin -v error -y -threads 1 -ss 0.4 -i {} -frames:v 1 -vf "
                    "scale=320:180:force_original_aspect_ratio=decrease {}.png");
  const unsigned cores = g_get_num_processors();
  if (probed > 0) {
    std::printf("%zu files, ffprobe, %u at a time: %.2f s (%.1f files a second)\n", count, cores,
                probed, count / probed);
  } else {
    std::printf("ffprobe failed\n");
  }
  if (thumbnailed > 0) {
    std::printf("%zu files, ffmpeg thumbnails, %u at a time: %.2f s (%.1f files a second)\n", count,
                cores, thumbnailed, count / thumbnailed);
  } else {
    std::printf("ffmpeg failed to make the thumbnails\n");
  }
  std::filesystem::remove_all(folder);
  return 0;
}
