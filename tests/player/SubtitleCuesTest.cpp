// SPDX-License-Identifier: GPL-3.0-or-later

#include "player/SubtitleCues.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "player/PageSubtitles.h"
#include "support/TemporaryFolder.h"

namespace orvel {
namespace {

using SubtitleCues::Cue;

TEST(SubtitleCues, SubRipAndWebVTTGiveTheirCuesWithSafeText) {
  EXPECT_EQ(SubtitleCues::parse("\xEF\xBB\xBF"
                                "1\r\n00:00:01,500 --> 00:00:03,000\r\n<i>Hello</i>\r\n"
                                "<font color=\"red\">there</font> & <script>\r\n\r\n"
                                "2\r\n00:00:04,000 --> 00:00:02,000\r\nbackwards\r\n\r\n"
                                "3\r\n00:00:x --> 00:00:09,000\r\nbroken\r\n\r\n"
                                "4\r\n01:00:00,000 --> 01:00:01,000\r\n\r\n"),
            (std::vector<Cue>{{1.5, 3, "<i>Hello</i>\nthere &amp;"}}));
  EXPECT_EQ(SubtitleCues::parse("WEBVTT\n\nNOTE a note\n\nintro\n00:01.000 --> 00:02.250 "
                                "align:start line:0\nOne < two\n\n"
                                "1:00:03.000 --> 1:00:04.000\nLate\n"),
            (std::vector<Cue>{{1, 2.25, "One &lt; two"}, {3603, 3604, "Late"}}));
}

TEST(SubtitleCues, SubStationFollowsItsFormatAndDropsOverridesAndDrawings) {
  EXPECT_EQ(SubtitleCues::parse(
                "[Script Info]\nTitle: x\n\n[Events]\n"
                "Format: Layer, Style, Start, End, Name, MarginL, MarginR, MarginV, Effect, Text\n"
                "Comment: 0,Default,0:00:00.00,0:00:09.00,,0,0,0,,not shown\n"
                "Dialogue: 0,Default,0:00:01.50,0:00:02.00,,0,0,0,,{\\b1}Bold,\\Nnext\\hword\n"
                "Dialogue: 0,Default,0:00:03.00,0:00:04.00,,0,0,0,,{\\p1}m 0 0 l 9 9{\\p0}After\n"
                "Dialogue: 0,Default,0:00:05.00\n"),
            (std::vector<Cue>{{1.5, 2, "Bold,\nnext word"}, {3, 4, "After"}}));
}

TEST(SubtitleCues, OldEncodingsAreReadAsTheyWereWritten) {
  EXPECT_EQ(SubtitleCues::decoded("caf\xE9 \x93quoted\x94"), "café “quoted”");
  EXPECT_EQ(SubtitleCues::decoded(std::string("\xFF\xFEh\0\xE9\0", 6)), "hé");
  EXPECT_EQ(SubtitleCues::decoded(std::string("\xFE\xFF\0h", 4)), "h");
  EXPECT_EQ(SubtitleCues::decoded("\xEF\xBB\xBFplain"), "plain");
}

TEST(SubtitleCues, AHugeOrHostileFileIsBoundedOrRefusedInWords) {
  std::string many = "00:00:01.000 --> 00:00:02.000\n" + std::string(5000, 'x') + "\n\n";
  for (int index = 0; index < 30000; ++index) {
    many += "00:00:01.000 --> 00:00:02.000\nx\n\n";
  }
  const auto cues = SubtitleCues::parse(many);
  EXPECT_EQ(cues.size(), SubtitleCues::kMostCues);
  EXPECT_EQ(cues[0].text.size(), SubtitleCues::kLongestText);

  TemporaryFolder folder;
  std::ofstream(folder.file("junk.srt"), std::ios::binary) << std::string(
      "\x7F"
      "ELF\0\0",
      6);
  std::ofstream(folder.file("words.srt")) << "just some words\n";
  EXPECT_EQ(std::get<std::string>(SubtitleCues::read(folder.file("junk.srt"))),
            "junk.srt is not a subtitle file.");
  EXPECT_EQ(std::get<std::string>(SubtitleCues::read(folder.file("words.srt"))),
            "words.srt holds no subtitles.");
  EXPECT_EQ(std::get<std::string>(SubtitleCues::read(folder.file("gone.srt"))),
            "gone.srt could not be read.");
}

TEST(PageSubtitles, TheFilesBesideAVideoAreThoseOfItsName) {
  TemporaryFolder folder;
  for (const char* name : {"film.webm", "film.srt", "film.en.vtt", "film.fr.ass", "film.txt",
                           "films.srt", "film.a.b.srt", "other.srt", "film.en.srt.bak"}) {
    std::ofstream(folder.file(name)) << "x";
  }
  EXPECT_EQ(PageSubtitles::filesBeside(folder.file("film.webm")),
            (std::vector<PageSubtitles::Beside>{{folder.file("film.srt"), ""},
                                                {folder.file("film.en.vtt"), "en"},
                                                {folder.file("film.fr.ass"), "fr"}}));
  EXPECT_TRUE(PageSubtitles::filesBeside(folder.file("gone/film.webm")).empty());
}

}  // namespace
}  // namespace orvel
