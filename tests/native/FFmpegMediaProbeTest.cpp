#include "platform/FFmpegMediaProbe.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "native/MpvTestSupport.h"
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

}  // namespace
}  // namespace orvel
