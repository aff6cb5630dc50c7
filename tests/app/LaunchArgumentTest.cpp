#include "app/LaunchArgument.h"

#include <gtest/gtest.h>

#include <fstream>

#include "support/TemporaryFolder.h"

namespace orvel {
namespace {

TEST(LaunchArgument, FilesBecomeFileURLsEvenWhenMissingAndLinksStayAsTyped) {
  TemporaryFolder folder;
  std::ofstream(folder.file("here.webm")) << "x";
  EXPECT_EQ(launchArgumentText("here.webm", folder.path()), "file://" + folder.file("here.webm"));
  // A missing video is still a file, so that it is reported as missing, not as a bad link.
  EXPECT_EQ(launchArgumentText("nosuch.mkv", folder.path()), "file://" + folder.file("nosuch.mkv"));
  EXPECT_EQ(launchArgumentText("/gone/Clip.MP4", folder.path()), "file:///gone/Clip.MP4");
  for (const char* typed :
       {"youtu.be/dQw4w9WgXcQ", "example.com/a.mp4", "https://a.example/b.mkv", "notes.txt", ""}) {
    EXPECT_EQ(launchArgumentText(typed, folder.path()), typed);
  }
}

}  // namespace
}  // namespace orvel
