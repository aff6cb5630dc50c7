// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/LaunchArgument.h"

#include <gtest/gtest.h>

#include <fstream>

#include "core/Url.h"
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

TEST(LaunchArgument, AFileManagersFileURLNamesTheFileAsItsPathDoes) {
  TemporaryFolder folder;
  const std::string path = folder.file("Talk; part 2 (café).mkv");
  std::ofstream(path) << "x";
  const std::string typed = launchArgumentText(path, "/");
  EXPECT_EQ(typed, "file://" + percentEncoded(path, "/;()"));
  // As GLib writes it for a launcher that passes URLs: with or without the host, and with
  // lower-case escapes.
  const std::string glibStyle = "file://" + percentEncoded(path, "/()");
  EXPECT_NE(glibStyle, typed);
  EXPECT_EQ(launchArgumentText(glibStyle, "/tmp"), typed);
  EXPECT_EQ(launchArgumentText("file://localhost" + percentEncoded(path, "/()"), "/"), typed);
  EXPECT_EQ(launchArgumentText("file:///films/caf%c3%a9%20noir.webm", "/"),
            "file:///films/caf%C3%A9%20noir.webm");
  // A name that is not UTF-8 keeps its bytes.
  EXPECT_EQ(launchArgumentText("file:///films/caf%E9.webm", "/"), "file:///films/caf%E9.webm");
  // What is more than a local path is left for the player to refuse or open as it is.
  for (const char* other :
       {"file://server/share/a.mkv", "file:///films/a.mkv#t=3", "file:///films/a%2Fb.mkv",
        "file:///films/a%00.mkv", "https://a.example/My%20Clip.mkv", "file:///films/a b.mkv"}) {
    EXPECT_EQ(launchArgumentText(other, "/"), other);
  }
}

}  // namespace
}  // namespace orvel
