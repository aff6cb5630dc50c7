// SPDX-License-Identifier: GPL-3.0-or-later

#include "player/MediaTracks.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "player/ChapterNavigation.h"
#include "player/SubtitleFile.h"

namespace orvel {
namespace {

using Kind = MediaTrack::Kind;

MediaTrack track(std::string language, std::string title = "", bool external = false) {
  return MediaTrack{Kind::audio, 0, std::move(language), std::move(title), false, external};
}
MediaTrack engineTrack(Kind kind, std::int64_t id, std::string language, bool selected = false) {
  return MediaTrack{kind, id, std::move(language), "", selected, false};
}

struct TracksRecorder {
  std::vector<MediaTrack> engine;
  int changes = 0;
  MediaTracks tracks{MediaTracks::Host{
      .tracks = [this] { return engine; },
      .select = [](Kind, std::optional<std::int64_t>) {},
      .changed = [this] { ++changes; },
  }};
};

TEST(MediaTracks, LabelsNameLanguageAndTitleAndNumberTheRest) {
  EXPECT_EQ(MediaTracks::label(track("eng", "Commentary"), 1), "English — Commentary");
  EXPECT_EQ(MediaTracks::label(track("fre"), 1), "French");
  EXPECT_EQ(MediaTracks::label(track("fr", "French"), 1), "French");
  // An unknown code shows as it stands; "und" says nothing.
  EXPECT_EQ(MediaTracks::label(track("tlh"), 2), "tlh");
  EXPECT_EQ(MediaTracks::label(track("und"), 2), "Track 2");
  EXPECT_EQ(MediaTracks::label(track("", "   "), 3), "Track 3");
  EXPECT_EQ(MediaTracks::label(track("en", "", true), 1), "English (file)");
  // A runaway title is cut to a line.
  EXPECT_EQ(MediaTracks::label(track("", std::string(5000, 'x')), 1), std::string(60, 'x'));
}

TEST(MediaTracks, OneAudioTrackIsNoChoiceAndSubtitlesCanBeTurnedOff) {
  TracksRecorder r;
  r.engine = {engineTrack(Kind::audio, 1, "en", true), engineTrack(Kind::subtitle, 1, "fr")};
  r.tracks.refresh();
  EXPECT_TRUE(r.tracks.audio().empty());
  EXPECT_EQ(r.tracks.subtitles(),
            (std::vector<MediaTracks::Choice>{{std::nullopt, "Off", true}, {1, "French", false}}));

  r.engine.push_back(engineTrack(Kind::audio, 2, "de"));
  r.engine[1].selected = true;
  r.tracks.refresh();
  EXPECT_EQ(r.tracks.audio(),
            (std::vector<MediaTracks::Choice>{{1, "English", true}, {2, "German", false}}));
  EXPECT_FALSE(r.tracks.subtitles().front().selected);
  EXPECT_TRUE(r.tracks.subtitles().back().selected);

  // Views hear of changes only; a new media empties the choices until its tracks arrive.
  r.tracks.refresh();
  EXPECT_EQ(r.changes, 2);
  r.tracks.clear();
  r.tracks.clear();
  EXPECT_EQ(r.changes, 3);
  EXPECT_TRUE(r.tracks.subtitles().empty());
}

std::vector<MediaChapter> film() {
  return {{"Opening", 0}, {"Middle", 60}, {"End", 120}};
}

TEST(ChapterNavigation, NextAndPreviousGoByChaptersAndBackRestartsALongPlayedOne) {
  EXPECT_EQ(ChapterNavigation::next(film(), 10), 60.0);
  // A seek lands a hair before the start: the chapter counts as reached.
  EXPECT_EQ(ChapterNavigation::next(film(), 59.8), 120.0);
  EXPECT_EQ(ChapterNavigation::next(film(), 130), std::nullopt);
  EXPECT_EQ(ChapterNavigation::previous(film(), 90), 60.0);
  EXPECT_EQ(ChapterNavigation::previous(film(), 61), 0.0);
  EXPECT_EQ(ChapterNavigation::previous(film(), 1), 0.0);
  EXPECT_EQ(ChapterNavigation::next({}, 1), std::nullopt);
  EXPECT_EQ(ChapterNavigation::previous({}, 1), std::nullopt);
  // Before a first chapter that starts late, back goes to the start.
  EXPECT_EQ(ChapterNavigation::previous({{"Late", 30}}, 5), 0.0);
  EXPECT_EQ(ChapterNavigation::at({{"Late", 30}}, 5), nullptr);
  EXPECT_EQ(ChapterNavigation::at(film(), 100)->title, "Middle");
}

struct SubtitleFiles : ::testing::Test {
  std::string folder = [] {
    char pattern[] = "/tmp/orvel-subtitles-XXXXXX";
    return std::string(mkdtemp(pattern));
  }();
  std::vector<std::string> made;
  ~SubtitleFiles() override {
    for (const std::string& path : made) {
      std::remove(path.c_str());
    }
    rmdir(folder.c_str());
  }
  std::string write(const std::string& name, const std::string& bytes) {
    made.push_back(folder + "/" + name);
    std::ofstream(made.back(), std::ios::binary) << bytes;
    return made.back();
  }
};

TEST_F(SubtitleFiles, TextFilesAreTakenAndMissingLargeOrBinaryOnesAreSaidSo) {
  EXPECT_TRUE(SubtitleFile::hasSubtitleExtension("/films/A.SRT"));
  EXPECT_TRUE(SubtitleFile::hasSubtitleExtension("a.vtt"));
  EXPECT_FALSE(SubtitleFile::hasSubtitleExtension("/films.srt/a"));
  EXPECT_FALSE(SubtitleFile::hasSubtitleExtension("film.mkv"));

  EXPECT_EQ(SubtitleFile::problem(write("ok.srt", "1\n00:00:01,000 --> 00:00:02,000\nHi\n")),
            std::nullopt);
  EXPECT_EQ(SubtitleFile::problem(write("wide.srt", std::string("\xFF\xFE"
                                                                "1\0\n\0",
                                                                6))),
            std::nullopt);
  EXPECT_EQ(SubtitleFile::problem(write("junk.srt", std::string("\x7F"
                                                                "ELF\0\0",
                                                                6))),
            "junk.srt is not a subtitle file.");
  EXPECT_EQ(SubtitleFile::problem(folder + "/gone.srt"), "gone.srt could not be read.");
  EXPECT_EQ(SubtitleFile::problem(folder),
            folder.substr(folder.rfind('/') + 1) + " could not be read.");
  EXPECT_EQ(SubtitleFile::problem(write("big.srt", std::string(SubtitleFile::kLargest + 1, 'a'))),
            "big.srt is too large to be subtitles.");
  // A name with control characters cannot garble the status line.
  EXPECT_EQ(SubtitleFile::problem(folder + "/a\nb.srt"), "a?b.srt could not be read.");
}

}  // namespace
}  // namespace orvel
