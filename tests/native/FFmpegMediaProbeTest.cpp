// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/ffmpeg/FFmpegMediaProbe.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "native/MpvTestSupport.h"
#include "native/TestImages.h"
#include "platform/ffmpeg/VideoThumbnails.h"
#include "support/TemporaryFolder.h"

namespace orvel {
namespace {

// Real files made by ffmpeg, read the way the playlist reads them.
class FFmpegMediaProbeTest : public ::testing::Test {
 protected:
  std::string make(const std::string& name, const std::vector<std::string>& arguments) {
    const std::string path = folder_.file(name);
    if (!makeClip(path, arguments)) {
      return {};
    }
    return path;
  }
  TemporaryFolder folder_;
};

TEST_F(FFmpegMediaProbeTest, Mp4FactsFollowTheFirstVideoStreamAndItsRotation) {
  const std::string video =
      make("video.mp4", {"-f", "lavfi", "-i", "testsrc2=s=320x180:r=25:d=2", "-f", "lavfi", "-i",
                         "sine=d=2", "-c:v", "libx264", "-pix_fmt", "yuv420p", "-c:a", "aac"});
  if (video.empty()) {
    GTEST_SKIP() << "ffmpeg is needed to make the test media";
  }
  auto info = probeMediaFile(video);
  ASSERT_TRUE(info.duration);
  EXPECT_NEAR(*info.duration, 2, 0.1);
  EXPECT_EQ(info.size, (PlaylistMetadata::Size{320, 180}));
  EXPECT_EQ(info.codec, "H.264");
  ASSERT_TRUE(info.frameRate);
  EXPECT_FLOAT_EQ(*info.frameRate, 25);

  // Stored landscape with a quarter turn: shown portrait.
  const std::string portrait =
      make("portrait.mp4", {"-i", video, "-metadata:s:v:0", "rotate=90", "-c", "copy"});
  ASSERT_FALSE(portrait.empty());
  EXPECT_EQ(probeMediaFile(portrait).size, (PlaylistMetadata::Size{180, 320}));

  // Sound only: a length and nothing else.
  const std::string audio = make("audio.mp4", {"-f", "lavfi", "-i", "sine=d=3", "-c:a", "aac"});
  ASSERT_FALSE(audio.empty());
  auto sound = probeMediaFile(audio);
  ASSERT_TRUE(sound.duration);
  EXPECT_NEAR(*sound.duration, 3, 0.1);
  EXPECT_FALSE(sound.size);
  EXPECT_FALSE(sound.codec);
  EXPECT_FALSE(sound.frameRate);
}

TEST_F(FFmpegMediaProbeTest, FilesThatAreNotVideoGiveAnEmptyRecord) {
  const std::string empty = folder_.file("empty.mp4");
  std::ofstream(empty).flush();
  const std::string text = folder_.file("text.mp4");
  std::ofstream(text) << "not a video at all";
  for (const std::string& path : {empty, text, folder_.file("missing.mp4")}) {
    auto info = probeMediaFile(path);
    EXPECT_FALSE(info.duration) << path;
    EXPECT_FALSE(info.size) << path;
  }
}

TEST_F(FFmpegMediaProbeTest, ThumbnailsComeFromTheDesktopsCacheWhileTheFileIsUnchanged) {
  const std::string film = make("film.mkv", {"-f", "lavfi", "-i", "testsrc2=s=640x360:r=25:d=3",
                                             "-c:v", "libx264", "-pix_fmt", "yuv420p"});
  if (film.empty()) {
    GTEST_SKIP() << "ffmpeg is needed to make the test media";
  }
  const std::string cache = folder_.file("thumbnails");
  auto made = VideoThumbnails::thumbnail(film, cache);
  ASSERT_TRUE(made);
  EXPECT_EQ(gdk_pixbuf_get_width(made.get()), 320);
  EXPECT_EQ(gdk_pixbuf_get_height(made.get()), 180);
  gchar* uri = g_filename_to_uri(film.c_str(), nullptr, nullptr);
  // Kept in the class of its size, 256 × 144 in "large", readable by the user alone, and
  // nothing else left beside it.
  const std::string stored = VideoThumbnails::cachePath(cache, "large", uri);
  ASSERT_TRUE(std::filesystem::exists(stored));
  struct stat kept {};
  ASSERT_EQ(::stat(stored.c_str(), &kept), 0);
  EXPECT_EQ(kept.st_mode & 0777, 0600u);
  GdkPixbuf* large = gdk_pixbuf_new_from_file(stored.c_str(), nullptr);
  ASSERT_TRUE(large);
  EXPECT_EQ(gdk_pixbuf_get_width(large), 256);
  EXPECT_EQ(gdk_pixbuf_get_height(large), 144);
  g_object_unref(large);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(cache + "/large"),
                          std::filesystem::directory_iterator()),
            1);

  // What the cache holds for this file as it is now is used as it stands (here a smaller one
  // that a file manager might have made)...
  struct stat status {};
  ASSERT_EQ(::stat(film.c_str(), &status), 0);
  GdkPixbuf* small = gdk_pixbuf_new(GDK_COLORSPACE_RGB, FALSE, 8, 64, 36);
  gdk_pixbuf_fill(small, 0x336699ff);
  ASSERT_TRUE(gdk_pixbuf_save(small, stored.c_str(), "png", nullptr, "tEXt::Thumb::URI", uri,
                              "tEXt::Thumb::MTime", std::to_string(status.st_mtime).c_str(),
                              nullptr));
  g_object_unref(small);
  EXPECT_EQ(gdk_pixbuf_get_width(VideoThumbnails::thumbnail(film, cache).get()), 64);

  // ...until the file changes.
  std::filesystem::last_write_time(
      film, std::filesystem::last_write_time(film) + std::chrono::seconds(10));
  EXPECT_EQ(gdk_pixbuf_get_width(VideoThumbnails::thumbnail(film, cache).get()), 320);

  // A picture of huge dimensions in its place, though made for this file as it is, is not read:
  // a thumbnail is made anew.
  ASSERT_EQ(::stat(film.c_str(), &status), 0);
  std::ofstream(stored, std::ios::binary | std::ios::trunc) << blackPNG(
      16000, 16000, {{"Thumb::URI", uri}, {"Thumb::MTime", std::to_string(status.st_mtime)}});
  EXPECT_EQ(gdk_pixbuf_get_width(VideoThumbnails::thumbnail(film, cache).get()), 320);
  g_free(uri);

  // A file that is not a video gives none and leaves nothing in the cache.
  const std::string text = folder_.file("notes.mkv");
  std::ofstream(text) << "not a video";
  EXPECT_FALSE(VideoThumbnails::thumbnail(text, cache));
  gchar* textURI = g_filename_to_uri(text.c_str(), nullptr, nullptr);
  EXPECT_FALSE(std::filesystem::exists(VideoThumbnails::cachePath(cache, "x-large", textURI)));
  g_free(textURI);
}

}  // namespace
}  // namespace orvel
