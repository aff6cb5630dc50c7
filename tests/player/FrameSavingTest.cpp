// SPDX-License-Identifier: GPL-3.0-or-later

#include "player/FrameSaving.h"

#include <gtest/gtest.h>

#include <fstream>
#include <limits>
#include <string>
#include <vector>

#include "support/FakeWebEngine.h"
#include "support/ManualMainQueue.h"
#include "support/TemporaryFolder.h"

namespace orvel {
namespace {

TEST(FrameSaving, FileNamesAreSafeAndCarryTheTime) {
  EXPECT_EQ(FrameSaving::fileName("Big Buck Bunny", 65.9), "Big Buck Bunny 0-01-05.png");
  EXPECT_EQ(FrameSaving::fileName("Film", 3 * 3600 + 62), "Film 3-01-02.png");
  // Slashes and control characters cannot make a path or break a line; leading dots would hide it.
  EXPECT_EQ(FrameSaving::fileName("../../etc/passwd\n", 1), "etc passwd 0-00-01.png");
  EXPECT_EQ(FrameSaving::fileName(". ./.", 0), "Frame 0-00-00.png");
  EXPECT_EQ(FrameSaving::fileName(" \t ", -5), "Frame 0-00-00.png");
  EXPECT_EQ(FrameSaving::fileName("x", std::numeric_limits<double>::quiet_NaN()), "x 0-00-00.png");
  // A title of a megabyte makes a name a file system takes.
  EXPECT_LE(FrameSaving::fileName(std::string(1 << 20, 'a'), 1).size(), 255u);
  std::string wide;
  for (int i = 0; i < 200; ++i) {
    wide += "映";
  }
  const std::string wideName = FrameSaving::fileName(wide, 1);
  EXPECT_LE(wideName.size(), 255u);
  EXPECT_TRUE(wideName.ends_with("映 0-00-01.png")) << wideName;
  EXPECT_EQ(FrameSaving::fileName("Été à Paris", 1), "Été à Paris 0-00-01.png");
}

TEST(FrameSaving, TheRegionIsBelievedOnlyWhenItIsWhole) {
  const auto region = FrameSaving::parseRegion("10 20.5 640 360 1920 1080");
  ASSERT_TRUE(region);
  EXPECT_EQ(region->x, 10);
  EXPECT_EQ(region->y, 20.5);
  EXPECT_EQ(region->width, 640);
  EXPECT_EQ(region->outputWidth, 1920);
  EXPECT_EQ(region->outputHeight, 1080);
  for (const char* answer :
       {"", "1 2 3 4 5", "1 2 3 4 5 6 7", "1 2 3 4 5 six", "1 2 0 4 5 6", "1 2 3 4 0 6",
        "1 2 3 4 100000 6", "1 2 3 4 1e300 6", "nan 2 3 4 5 6", "1 2 inf 4 5 6", "1,2,3,4,5,6"}) {
    EXPECT_FALSE(FrameSaving::parseRegion(answer)) << answer;
  }
}

TEST(FrameSaving, ATakenNameGetsANumber) {
  TemporaryFolder folder;
  EXPECT_EQ(FrameSaving::freePath(folder.path(), "a 0-00-01.png"), folder.file("a 0-00-01.png"));
  std::ofstream(folder.file("a 0-00-01.png")) << "x";
  std::ofstream(folder.file("a 0-00-01 (2).png")) << "x";
  EXPECT_EQ(FrameSaving::freePath(folder.path(), "a 0-00-01.png"),
            folder.file("a 0-00-01 (3).png"));
}

struct SavingRecorder {
  ManualMainQueue queue;
  FakeWebEngine web{queue};
  FrameSaving::Source source = FrameSaving::Source::native;
  std::optional<std::string> folder = "/home/u/Pictures";
  std::vector<std::string> nativePaths;
  std::function<void(bool)> nativeDone;
  std::vector<std::string> messages;
  FrameSaving saving{FrameSaving::Host{
      .source = [this] { return source; },
      .title = [] { return std::string("Film"); },
      .time = [] { return 5.0; },
      .picturesFolder = [this] { return folder; },
      .saveNative =
          [this](const std::string& path, std::function<void(bool)> done) {
            nativePaths.push_back(path);
            nativeDone = std::move(done);
          },
      .web = &web,
      .statusMessage = [this](const std::string& text, double) { messages.push_back(text); },
      .home = "/home/u",
  }};
};

TEST(FrameSaving, TheNativePictureIsSavedOnceAndTheStatusLineSaysWhereOrThatItFailed) {
  SavingRecorder recorder;
  recorder.saving.save();
  recorder.saving.save();  // a second press while the first is written does nothing
  ASSERT_EQ(recorder.nativePaths, std::vector<std::string>{"/home/u/Pictures/Film 0-00-05.png"});
  EXPECT_TRUE(recorder.saving.isSaving());
  recorder.nativeDone(true);
  EXPECT_FALSE(recorder.saving.isSaving());
  EXPECT_EQ(recorder.messages,
            std::vector<std::string>{"Frame saved to ~/Pictures/Film 0-00-05.png"});

  recorder.saving.save();
  recorder.nativeDone(false);
  EXPECT_EQ(recorder.messages.back(), "The frame could not be saved.");
}

TEST(FrameSaving, ThePageIsCutToTheVideosRegionOrSavedWholeWhenTheAnswerIsNonsense) {
  SavingRecorder recorder;
  recorder.source = FrameSaving::Source::page;
  std::string answer = "0 10 320 180 640 360";
  recorder.web.answer = [&](const std::string&) {
    ScriptResult result;
    result.stringValue = answer;
    return result;
  };
  recorder.saving.save();
  recorder.queue.runUntilIdle();
  ASSERT_EQ(recorder.web.pictures.size(), 1u);
  ASSERT_TRUE(recorder.web.pictures[0].second);
  EXPECT_EQ(recorder.web.pictures[0].second->outputWidth, 640);
  EXPECT_EQ(recorder.messages.back(), "Frame saved to ~/Pictures/Film 0-00-05.png");

  answer = "<script>";
  recorder.web.pictureSaved = false;
  recorder.saving.save();
  recorder.queue.runUntilIdle();
  ASSERT_EQ(recorder.web.pictures.size(), 2u);
  EXPECT_FALSE(recorder.web.pictures[1].second);
  EXPECT_EQ(recorder.messages.back(), "The frame could not be saved.");
}

TEST(FrameSaving, NothingToSaveOrNowhereToPutItIsSaidInWords) {
  SavingRecorder recorder;
  recorder.source = FrameSaving::Source::none;
  recorder.saving.save();
  EXPECT_EQ(recorder.messages.back(), "There is no picture to save.");
  recorder.source = FrameSaving::Source::native;
  recorder.folder.reset();
  recorder.saving.save();
  EXPECT_EQ(recorder.messages.back(), "The Pictures folder could not be made.");
  EXPECT_TRUE(recorder.nativePaths.empty());
  EXPECT_FALSE(recorder.saving.isSaving());
}

}  // namespace
}  // namespace orvel
