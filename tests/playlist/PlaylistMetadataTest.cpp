// SPDX-License-Identifier: GPL-3.0-or-later

#include "playlist/PlaylistMetadata.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <vector>

#include "core/PropertyList.h"
#include "core/Url.h"
#include "playlist/PlaylistLibrary.h"
#include "support/ManualMainQueue.h"
#include "support/MemoryDefaults.h"

namespace orvel {
namespace {

std::uint32_t code(const char (&text)[5]) {
  return (static_cast<std::uint32_t>(static_cast<unsigned char>(text[0])) << 24) |
         (static_cast<std::uint32_t>(static_cast<unsigned char>(text[1])) << 16) |
         (static_cast<std::uint32_t>(static_cast<unsigned char>(text[2])) << 8) |
         static_cast<std::uint32_t>(static_cast<unsigned char>(text[3]));
}

TEST(PlaylistMetadataCodecs, FourCharacterCodesReadAsTheirCodecsNames) {
  EXPECT_EQ(PlaylistMetadata::codecName(code("avc1")), "H.264");
  EXPECT_EQ(PlaylistMetadata::codecName(code("avc3")), "H.264");
  EXPECT_EQ(PlaylistMetadata::codecName(code("hev1")), "HEVC");
  EXPECT_EQ(PlaylistMetadata::codecName(code("av01")), "AV1");
  EXPECT_EQ(PlaylistMetadata::codecName(code("vp09")), "VP9");
  EXPECT_EQ(PlaylistMetadata::codecName(code("apco")), "ProRes");
  // Outside the table: upper case, without the padding spaces.
  EXPECT_EQ(PlaylistMetadata::codecName(code("mp4v")), "MP4V");
  EXPECT_EQ(PlaylistMetadata::codecName(code(" h2 ")), "H2");
  EXPECT_EQ(PlaylistMetadata::codecName(0), "");
  EXPECT_EQ(PlaylistMetadata::codecName(0xFFFFFFFF), "");
}

TEST(PlaylistMetadataDurations, OnlyAChangeOfASecondOrMoreIsWritten) {
  MemoryDefaults defaults;
  auto stored = [&]() -> std::optional<double> {
    auto value = defaults.object(PlaylistLibrary::kMediaDurationsKey);
    const auto* dictionary = value ? value->get<PropertyList::Dictionary>() : nullptr;
    if (!dictionary) {
      return std::nullopt;
    }
    auto found = dictionary->find("mkv:a");
    const double* seconds = found == dictionary->end() ? nullptr : found->second.get<double>();
    return seconds ? std::optional(*seconds) : std::nullopt;
  };
  PlaylistMetadata::recordDuration(defaults, 100.0, "mkv:a");
  EXPECT_EQ(stored(), 100.0);
  PlaylistMetadata::recordDuration(defaults, 100.4, "mkv:a");
  EXPECT_EQ(stored(), 100.0);
  PlaylistMetadata::recordDuration(defaults, 101.2, "mkv:a");
  EXPECT_EQ(stored(), 101.2);
  for (double bad : {0.0, -3.0, std::numeric_limits<double>::infinity(), std::nan("")}) {
    PlaylistMetadata::recordDuration(defaults, bad, "mkv:a");
  }
  EXPECT_EQ(stored(), 101.2);
  // A stored value of the wrong type counts as nothing stored and is replaced.
  defaults.set(PlaylistLibrary::kMediaDurationsKey, PropertyList(std::string("garbage")));
  PlaylistMetadata::recordDuration(defaults, 50, "mkv:a");
  EXPECT_EQ(stored(), 50.0);
}

// Work runs when the test says so, as a worker thread would run it later.
struct MetadataFixture : ::testing::Test {
  ManualMainQueue queue;
  std::vector<std::string> probed;
  std::vector<PlaylistMetadata::Work> pending;
  PlaylistMetadata metadata{
      StreamingProviderRegistry::shared(),
      [this](const std::string& path, bool readFacts) {
        probed.push_back(path);
        PlaylistMetadata::Info info;
        info.thumbnail = std::make_shared<int>(1);
        if (readFacts) {
          info.duration = 12;
        }
        return info;
      },
      [this](PlaylistMetadata::Work work) { pending.push_back(std::move(work)); },
      [this](const std::string& link, const std::string& mediaID,
             std::function<void(PlaylistMetadata::Info)> done) {
        askedOnline.push_back(link + " " + mediaID);
        PlaylistMetadata::Info info;
        info.title = "From the network";
        done(info);
      }};
  std::vector<std::string> askedOnline;

  void runWork() {
    for (auto& work : pending) {
      queue.post(work());
    }
    pending.clear();
    queue.runUntilIdle();
  }
};

TEST_F(MetadataFixture, EachLinkIsLoadedOnceAndOnlyMp4FilesAreRead) {
  const std::string mp4 = Url::fileURL("/videos/clip.MP4")->absoluteString();
  const std::string mkv = Url::fileURL("/videos/film.mkv")->absoluteString();
  std::vector<std::string> published;
  auto token = metadata.observeChanges([&](const std::string& url) { published.push_back(url); });
  metadata.load(mp4);
  metadata.load(mp4);
  metadata.load(mkv);
  EXPECT_EQ(pending.size(), 2u);
  runWork();
  EXPECT_EQ(probed, (std::vector<std::string>{"/videos/clip.MP4", "/videos/film.mkv"}));
  ASSERT_TRUE(metadata.info(mp4));
  EXPECT_EQ(metadata.info(mp4)->duration, 12);
  // WebM and MKV files get their thumbnail and no facts.
  ASSERT_TRUE(metadata.info(mkv));
  EXPECT_TRUE(metadata.info(mkv)->thumbnail);
  EXPECT_FALSE(metadata.info(mkv)->duration);
  EXPECT_EQ(published.size(), 2u);

  // A YouTube link asks the network once; a web video link has nothing more to show.
  const std::string video = "https://www.youtube.com/watch?v=dQw4w9WgXcQ";
  metadata.load(video);
  metadata.load(video);
  EXPECT_EQ(askedOnline, std::vector<std::string>{video + " dQw4w9WgXcQ"});
  EXPECT_EQ(metadata.info(video)->title, "From the network");
  metadata.load("https://example.com/clip.webm");
  ASSERT_TRUE(metadata.info("https://example.com/clip.webm"));
  EXPECT_FALSE(metadata.info("https://example.com/clip.webm")->title);

  // A link that resolves to nothing publishes nothing, and is not tried again.
  metadata.load("not a link");
  EXPECT_TRUE(metadata.wasRequested("not a link"));
  EXPECT_FALSE(metadata.info("not a link"));
}

TEST(PlaylistMetadataLifetime, ResultsArrivingAfterTheObjectWentAreDropped) {
  ManualMainQueue queue;
  PlaylistMetadata::Work work;
  {
    PlaylistMetadata metadata(
        StreamingProviderRegistry::shared(),
        [](const std::string&, bool) { return PlaylistMetadata::Info{}; },
        [&](PlaylistMetadata::Work job) { work = std::move(job); });
    metadata.load(Url::fileURL("/videos/clip.mp4")->absoluteString());
  }
  ASSERT_TRUE(work);
  queue.post(work());
  queue.runUntilIdle();  // must not touch the object that went
}

}  // namespace
}  // namespace orvel
