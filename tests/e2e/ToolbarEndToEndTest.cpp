// SPDX-License-Identifier: GPL-3.0-or-later

// The toolbar used with the mouse and the keyboard, and the equalizer heard through a sound server.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>

#include "e2e/EndToEnd.h"
#include "e2e/XDisplay.h"

namespace orvel::e2e {
namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// A PulseAudio server of the home's own, whose only output is a null sink "speakers"; its
// monitor is where the player's sound can be measured.
class SoundServer {
 public:
  explicit SoundServer(const Home& home) : runtime_(home.folder().file("runtime")) {
    const std::string command =
        "XDG_RUNTIME_DIR='" + runtime_ + "' PULSE_RUNTIME_PATH='" + runtime_ + "/pulse' HOME='" +
        home.folder().path() +
        "' pulseaudio --daemonize=yes --system=no --exit-idle-time=-1 -n --use-pid-file=yes "
        "--log-target=file:'" +
        home.folder().file("pulse.log") +
        "' --load='module-null-sink sink_name=speakers format=float32le rate=48000 channels=2' "
        "--load=module-native-protocol-unix";
    available_ = std::system(command.c_str()) == 0 &&
                 waitUntil([&] { return pactl("info").find("speakers") != std::string::npos; }, 30);
  }
  ~SoundServer() { pactl("exit"); }
  SoundServer(const SoundServer&) = delete;
  SoundServer& operator=(const SoundServer&) = delete;

  bool available() const { return available_; }

  std::string pactl(const std::string& arguments) const {
    return commandOutput("XDG_RUNTIME_DIR='" + runtime_ + "' pactl " + arguments + " 2>/dev/null");
  }

  // The level of what the speakers play over half a second, in dB of full scale.
  double level() const {
    const std::string samples =
        commandOutput("XDG_RUNTIME_DIR='" + runtime_ +
                      "' timeout 0.5 parec --latency-msec=20 --device=speakers.monitor "
                      "--format=float32le --channels=2 --rate=48000 --raw 2>/dev/null");
    const std::size_t count = samples.size() / sizeof(float);
    double sum = 0;
    for (std::size_t index = 0; index < count; ++index) {
      float sample = 0;
      std::memcpy(&sample, samples.data() + index * sizeof(float), sizeof(float));
      sum += static_cast<double>(sample) * sample;
    }
    return count ? 10 * std::log10(std::max(sum / count, 1e-20)) : -200;
  }

 private:
  std::string runtime_;
  bool available_ = false;
};

// A subtitle file whose one line covers the whole picture in white, drawn rather than written so
// that no font is needed.
std::string writeCoveringSubtitles(const Home& home, const std::string& name) {
  const std::string path = home.folder().file(name);
  std::ofstream(path) << "[Script Info]\nScriptType: v4.00+\nPlayResX: 320\nPlayResY: 180\n\n"
                         "[V4+ Styles]\nFormat: Name, Fontname, Fontsize, PrimaryColour, "
                         "SecondaryColour, OutlineColour, BackColour, Bold, Italic, Underline, "
                         "StrikeOut, ScaleX, ScaleY, Spacing, Angle, BorderStyle, Outline, Shadow, "
                         "Alignment, MarginL, MarginR, MarginV, Encoding\n"
                         "Style: Default,Sans,20,&H00FFFFFF,&H00FFFFFF,&H00000000,&H00000000,0,0,"
                         "0,0,100,100,0,0,1,0,0,7,0,0,0,1\n\n"
                         "[Events]\nFormat: Layer, Start, End, Style, Name, MarginL, MarginR, "
                         "MarginV, Effect, Text\n"
                         "Dialogue: 0,0:00:00.00,0:05:00.00,Default,,0,0,0,,{\\pos(0,0)\\p1}m 0 0 "
                         "l 320 0 320 180 0 180{\\p0}\n";
  return path;
}

// A black film of three minutes with a silent English track, a French one that sounds, the
// covering subtitles as an English track that is off at first, and chapters at 0, 1 and 2 min.
std::string makeFilmWithTracks(const Home& home) {
  const std::string chapters = home.folder().file("chapters.txt");
  std::ofstream(chapters) << ";FFMETADATA1\n"
                             "[CHAPTER]\nTIMEBASE=1/1000\nSTART=0\nEND=60000\ntitle=Opening\n"
                             "[CHAPTER]\nTIMEBASE=1/1000\nSTART=60000\nEND=120000\ntitle=Middle\n"
                             "[CHAPTER]\nTIMEBASE=1/1000\nSTART=120000\nEND=180000\ntitle=End\n";
  const std::string subtitles = writeCoveringSubtitles(home, "cover.ass");
  const std::string path = home.folder().file("film.mkv");
  EXPECT_TRUE(run({"ffmpeg",
                   "-nostdin",
                   "-v",
                   "error",
                   "-y",
                   "-f",
                   "lavfi",
                   "-i",
                   "color=c=black:size=320x180:rate=25",
                   "-f",
                   "lavfi",
                   "-i",
                   "anullsrc=r=48000:cl=stereo",
                   "-f",
                   "lavfi",
                   "-i",
                   "sine=f=1000",
                   "-i",
                   subtitles,
                   "-i",
                   chapters,
                   "-map",
                   "0:v",
                   "-map",
                   "1:a",
                   "-map",
                   "2:a",
                   "-map",
                   "3:s",
                   "-map_chapters",
                   "4",
                   "-t",
                   "180",
                   "-c:v",
                   "libx264",
                   "-pix_fmt",
                   "yuv420p",
                   "-c:a",
                   "aac",
                   "-c:s",
                   "ass",
                   "-metadata:s:a:0",
                   "language=eng",
                   "-metadata:s:a:0",
                   "title=Silent",
                   "-metadata:s:a:1",
                   "language=fre",
                   "-metadata:s:s:0",
                   "language=eng",
                   "-metadata:s:s:0",
                   "title=Cover",
                   "-disposition:a:1",
                   "0",
                   "-disposition:s:0",
                   "0",
                   path}))
      << "ffmpeg could not make the film";
  return path;
}

bool isBright(const std::optional<std::array<int, 3>>& pixel) {
  return pixel && (*pixel)[0] > 200 && (*pixel)[1] > 200 && (*pixel)[2] > 200;
}

bool isDark(const std::optional<std::array<int, 3>>& pixel) {
  return pixel && (*pixel)[0] < 40 && (*pixel)[1] < 40 && (*pixel)[2] < 40;
}

// The playback options list a film's audio tracks and subtitles: choosing one is heard or seen;
// Page Down goes to the next chapter, and a subtitle file dropped on the window shows.
TEST(PlayerEndToEndTracks, AFilmsTracksAreChosenInTheOptionsAndChaptersAndDroppedSubtitlesWork) {
  Home home;
  SoundServer sound(home);
  if (!sound.available()) {
    GTEST_SKIP() << "no PulseAudio server could be started";
  }
  const std::string film = makeFilmWithTracks(home);
  const std::string mediaID = "mkv:" + fileURL(film);
  Player player(home, {film}, "player.log");
  ASSERT_TRUE(playsTo(home, mediaID, 1)) << player.log();
  const auto shown = playerWindow(home);
  ASSERT_TRUE(shown) << player.log();
  const WindowGeometry window = windowGeometry(*shown);
  // Left of the middle: the options open at the right.
  const auto picture = [&] {
    return x11::readScreenPixel(window.x + window.width / 4, window.centreY());
  };
  ASSERT_TRUE(waitUntil([&] { return isDark(picture()); }, 30)) << player.log();
  EXPECT_LT(sound.level(), -60) << "the first, silent track should play";

  ASSERT_TRUE(clickPlayerControl(home, "Playback options")) << home.controlNames();
  ASSERT_TRUE(clickControl(home, "The subtitles shown over the video")) << home.controlNames();
  ASSERT_TRUE(clickControl(home, "English — Cover")) << home.controlNames();
  EXPECT_TRUE(waitUntil([&] { return isBright(picture()); }, 30)) << player.log();
  screenshot("options-tracks.png");
  ASSERT_TRUE(clickControl(home, "The subtitles shown over the video")) << home.controlNames();
  ASSERT_TRUE(clickControl(home, "Off")) << home.controlNames();
  EXPECT_TRUE(waitUntil([&] { return isDark(picture()); }, 30)) << player.log();

  ASSERT_TRUE(clickControl(home, "The audio track that plays")) << home.controlNames();
  ASSERT_TRUE(clickControl(home, "French")) << home.controlNames();
  EXPECT_TRUE(waitUntil([&] { return sound.level() > -40; }, 30)) << player.log();

  // From the picture, Page Down goes to the second chapter, a minute in.
  pressKeys({"Escape"});
  ASSERT_TRUE(waitUntil([&] { return !home.control("Off", 0); }, 30));
  ASSERT_TRUE(focusWindow(*shown));
  ASSERT_LT(home.position(mediaID).value_or(0), 40);
  pressKeys({"Page_Down"});
  double position = 0;
  EXPECT_TRUE(waitUntil(
      [&] {
        position = home.position(mediaID).value_or(0);
        return position >= 60;
      },
      30))
      << position << "\n"
      << player.log();
  EXPECT_LT(position, 100);

  // A subtitle file dragged over the film says it will be added, and shows once dropped.
  const std::string dropped = writeCoveringSubtitles(home, "extra.ass");
  const auto source = dragFileOnto(
      home, dropped, window, [&] { return home.control("Drop to Add Subtitles", 1).has_value(); });
  ASSERT_TRUE(source) << home.controlNames();
  run({"xdotool", "mouseup", "1"});
  EXPECT_TRUE(waitUntil([&] { return isBright(picture()); }, 30)) << player.log();
  EXPECT_TRUE(home.control("Subtitles added")) << home.controlNames();
  EXPECT_EQ(player.terminate(), 0) << player.log();
}

// A WebM in the page with a silent English track and a French one that sounds: the options
// offer both, and choosing French is heard.
TEST(PlayerEndToEndTracks, AWebVideosAudioTrackIsChosenInTheOptions) {
  Home home;
  SoundServer sound(home);
  if (!sound.available()) {
    GTEST_SKIP() << "no PulseAudio server could be started";
  }
  const std::string clip = home.folder().file("two.webm");
  ASSERT_TRUE(run({"ffmpeg",
                   "-nostdin",
                   "-v",
                   "error",
                   "-y",
                   "-f",
                   "lavfi",
                   "-i",
                   "color=c=black:size=320x180:rate=25",
                   "-f",
                   "lavfi",
                   "-i",
                   "anullsrc=r=48000:cl=stereo",
                   "-f",
                   "lavfi",
                   "-i",
                   "sine=f=1000",
                   "-map",
                   "0:v",
                   "-map",
                   "1:a",
                   "-map",
                   "2:a",
                   "-t",
                   "60",
                   "-c:v",
                   "libvpx",
                   "-c:a",
                   "libopus",
                   "-metadata:s:a:0",
                   "language=eng",
                   "-metadata:s:a:1",
                   "language=fre",
                   "-disposition:a:1",
                   "0",
                   clip}));
  Player player(home, {clip}, "player.log");
  ASSERT_TRUE(playsTo(home, "webm:" + fileURL(clip), 1)) << player.log();
  EXPECT_LT(sound.level(), -60) << "the first, silent track should play";
  ASSERT_TRUE(clickPlayerControl(home, "Playback options")) << home.controlNames();
  ASSERT_TRUE(clickControl(home, "The audio track that plays")) << home.controlNames();
  ASSERT_TRUE(clickControl(home, "French")) << home.controlNames();
  EXPECT_TRUE(waitUntil([&] { return sound.level() > -40; }, 30)) << player.log();
  EXPECT_EQ(player.terminate(), 0) << player.log();
}

// Five lines of full blocks: a bright patch where any engine draws subtitles.
std::string blockSubtitles(const std::string& timing) {
  std::string lines;
  for (int line = 0; line < 5; ++line) {
    lines += "\u2588\u2588\u2588\u2588\u2588\u2588\u2588\u2588\u2588\u2588\n";
  }
  return timing + "\n" + lines + "\n";
}

// Subtitle files on either engine: the file beside the video with its name shows at once, "Off"
// in the playback options hides it, and a file dropped on the window is added and shows.
class PlayerEndToEndSubtitleFiles : public ::testing::TestWithParam<std::string> {};

TEST_P(PlayerEndToEndSubtitleFiles, TheFileBesideShowsOffHidesItAndADroppedFileShows) {
  Home home;
  const std::string clip =
      makeClip(home, "talk." + GetParam(), 60, 440, "color=c=black:size=320x180:rate=25");
  std::ofstream(home.folder().file("talk.en.srt"))
      << "1\n"
      << blockSubtitles("00:00:00,000 --> 00:05:00,000");
  Player player(home, {clip}, "player.log");
  ASSERT_TRUE(playsTo(home, GetParam() + ":" + fileURL(clip), 1)) << player.log();
  const auto shown = playerWindow(home);
  ASSERT_TRUE(shown) << player.log();
  const WindowGeometry window = windowGeometry(*shown);
  // Below the title and above the toolbar, left of the options, which open at the right.
  const auto subtitlePixels = [&] {
    return x11::countBrightPixels(window.x + window.width / 5, window.y + window.height / 3,
                                  window.width * 2 / 5, window.height * 2 / 3 - 100);
  };
  EXPECT_TRUE(waitUntil([&] { return subtitlePixels() > 2000; }, 30)) << subtitlePixels() << "\n"
                                                                      << player.log();
  screenshot("subtitles-beside-" + GetParam() + ".png");

  ASSERT_TRUE(clickPlayerControl(home, "Playback options")) << home.controlNames();
  ASSERT_TRUE(clickControl(home, "The subtitles shown over the video")) << home.controlNames();
  ASSERT_TRUE(clickControl(home, "Off")) << home.controlNames();
  EXPECT_TRUE(waitUntil([&] { return subtitlePixels() < 300; }, 30)) << subtitlePixels();
  pressKeys({"Escape"});
  ASSERT_TRUE(waitUntil([&] { return !home.control("Off", 0); }, 30));

  // A binary file named as subtitles is refused in words, and the video plays on.
  const std::string junk = home.folder().file("junk.srt");
  std::ofstream(junk, std::ios::binary) << std::string(
      "\x7F"
      "ELF\0\0\x01\x02",
      8);
  auto source = dragFileOnto(home, junk, window,
                             [&] { return home.control("Drop to Add Subtitles", 1).has_value(); });
  ASSERT_TRUE(source) << home.controlNames();
  run({"xdotool", "mouseup", "1"});
  EXPECT_TRUE(home.control("junk.srt is not a subtitle file.")) << home.controlNames();
  const double before = home.position(GetParam() + ":" + fileURL(clip)).value_or(0);
  EXPECT_TRUE(waitUntil(
      [&] { return home.position(GetParam() + ":" + fileURL(clip)).value_or(0) > before + 1; }, 30))
      << player.log();

  source.reset();
  const std::string dropped = home.folder().file("extra.vtt");
  std::ofstream(dropped) << "WEBVTT\n\n" << blockSubtitles("00:00.000 --> 05:00.000");
  source = dragFileOnto(home, dropped, window,
                        [&] { return home.control("Drop to Add Subtitles", 1).has_value(); });
  ASSERT_TRUE(source) << home.controlNames();
  run({"xdotool", "mouseup", "1"});
  EXPECT_TRUE(home.control("Subtitles added")) << home.controlNames();
  EXPECT_TRUE(waitUntil([&] { return subtitlePixels() > 2000; }, 30)) << subtitlePixels() << "\n"
                                                                      << player.log();
  EXPECT_EQ(player.terminate(), 0) << player.log();
}

INSTANTIATE_TEST_SUITE_P(Engines, PlayerEndToEndSubtitleFiles, ::testing::Values("mkv", "webm"),
                         [](const ::testing::TestParamInfo<std::string>& format) {
                           return format.param;
                         });

TEST(PlayerEndToEndEqualizer, AWebVideoToneRisesWithItsBandAndFallsBackWhenSwitchedOff) {
  Home home;
  SoundServer sound(home);
  if (!sound.available()) {
    GTEST_SKIP() << "no PulseAudio server could be started";
  }
  const std::string clip = makeClip(home, "tone.webm", 60, 1500);
  Player player(home, {clip}, "player.log");
  ASSERT_TRUE(playsTo(home, "webm:" + fileURL(clip), 2)) << player.log();
  ASSERT_TRUE(waitUntil([&] { return sound.level() > -40; }, 30)) << "no sound reached the server";
  const double flat = sound.level();

  activate(home, "equalizer-gain", "[<(uint32 3, 12.0)>]");
  activate(home, "equalizer", "[<true>]");
  ASSERT_TRUE(waitUntil([&] { return player.logContains("Equalizing the web view's sound"); }, 30))
      << player.log();
  double boosted = flat;
  waitUntil([&] { return (boosted = sound.level()) > flat + 11; }, 30);
  EXPECT_NEAR(boosted - flat, 12, 1.5) << player.log();

  activate(home, "equalizer", "[<false>]");
  double after = boosted;
  waitUntil([&] { return std::abs((after = sound.level()) - flat) < 1; }, 30);
  EXPECT_NEAR(after, flat, 1.5);
  std::printf("levels: flat %.2f dBFS, with +12 dB on 1.5 kHz %.2f dBFS, switched off %.2f dBFS\n",
              flat, boosted, after);
  EXPECT_EQ(player.terminate(), 0) << player.log();
}

// Stop & Delete File from the playback options asks once, and one click on the answer acts: the
// options close before the question comes, so they do not take its first click.
TEST(PlayerEndToEndToolbar, StopAndDeleteFileAsksAndOneClickOnTheAnswerActs) {
  Home home;
  const std::string clip = makeClip(home, "doomed.webm", 30);
  Player player(home, {clip}, "player.log");
  ASSERT_TRUE(playsTo(home, "webm:" + fileURL(clip), 1)) << player.log();
  ASSERT_TRUE(clickPlayerControl(home, "Playback options")) << home.controlNames();
  ASSERT_TRUE(clickControl(home, "Stop & Delete File")) << home.controlNames();
  const auto confirmation = waitForWindow("Stop playback and delete this file?");
  ASSERT_TRUE(confirmation) << player.log();
  ASSERT_TRUE(clickControl(home, "Stop & Delete File", 1, 1, windowGeometry(*confirmation)))
      << home.controlNames();
  EXPECT_TRUE(waitUntil([&] { return !std::filesystem::exists(clip); }, 30)) << player.log();
  EXPECT_EQ(player.terminate(), 0) << player.log();
}

TEST(PlayerEndToEndToolbar, ThePinButtonTakesTheWindowOffTheTopAndBack) {
  Home home;
  const std::string clip = makeClip(home, "clip.webm", 60);
  Player player(home, {clip}, "player.log");
  ASSERT_TRUE(playsTo(home, "webm:" + fileURL(clip), 1)) << player.log();
  ASSERT_TRUE(waitUntil(playerIsAbove, 30));
  ASSERT_TRUE(clickPlayerControl(home, "Always on top")) << home.controlNames();
  EXPECT_TRUE(waitUntil([&] { return !playerIsAbove(); }, 30)) << playerWindowState();
  screenshot("toolbar-wide.png");
  ASSERT_TRUE(clickPlayerControl(home, "Always on top")) << home.controlNames();
  EXPECT_TRUE(waitUntil(playerIsAbove, 30)) << playerWindowState();

  ASSERT_TRUE(clickPlayerControl(home, "Playback options")) << home.controlNames();
  EXPECT_TRUE(home.control("Reset to 100%")) << home.controlNames();
  screenshot("options-popover.png");
  pressKeys({"Escape"});
  EXPECT_TRUE(waitUntil([&] { return !home.control("Reset to 100%", 0); }, 30));

  // Without a sound server the equalizer says why it cannot run.
  ASSERT_TRUE(clickPlayerControl(home, "Equalizer")) << home.controlNames();
  ASSERT_TRUE(clickControl(home, "Enable equalizer")) << home.controlNames();
  EXPECT_TRUE(home.control("YouTube audio EQ needs a PulseAudio or PipeWire sound server."))
      << home.controlNames();
  screenshot("equalizer-popover.png");
  EXPECT_EQ(player.terminate(), 0) << player.log();
}

// Every command has a home the mouse reaches: the options list them with their keys, and Ctrl+?
// shows every key of the player, the playlist and the watch history.
TEST(PlayerEndToEndToolbar, TheOptionsListEveryCommandAndCtrlQuestionShowsEveryKey) {
  Home home;
  const std::string clip = makeClip(home, "clip.mkv", 60);
  Player player(home, {clip}, "player.log");
  ASSERT_TRUE(playsTo(home, "mkv:" + fileURL(clip), 1)) << player.log();
  ASSERT_TRUE(waitUntil(playerIsAbove, 30));
  ASSERT_TRUE(clickPlayerControl(home, "Playback options")) << home.controlNames();
  ASSERT_TRUE(clickControl(home, "All Commands")) << home.controlNames();
  for (const char* command :
       {"Hover Transparency", "80% Transparency", "Toggle Opacity", "Open URL...", "Playlist…",
        "Open Watch History", "Lock 16:9 While Resizing", "Keyboard Shortcuts", "Save Frame"}) {
    EXPECT_TRUE(home.control(command)) << command << "\n" << home.controlNames();
  }
  screenshot("commands-menu.png");
  // The speed and the chapters wait in a submenu, which the menu's foot always shows.
  ASSERT_TRUE(clickControl(home, "Speed and Chapters")) << home.controlNames();
  ASSERT_TRUE(home.control("Next chapter")) << home.controlNames();
  pressKeys({"Left"});
  ASSERT_TRUE(waitUntil([&] { return !home.control("Next chapter", 0); }, 30));
  ASSERT_TRUE(clickControl(home, "Always On Top")) << home.controlNames();
  EXPECT_TRUE(waitUntil([&] { return !playerIsAbove(); }, 30)) << playerWindowState();

  // The options close; from the player window the key shows every key.
  pressKeys({"Escape"});
  EXPECT_TRUE(waitUntil([&] { return !home.control("All Commands", 0); }, 30));
  const auto window = playerWindow(home);
  ASSERT_TRUE(window) << player.log();
  ASSERT_TRUE(focusWindow(*window));
  pressKeys({"ctrl+question"});
  const auto keys = waitForWindow("Keyboard Shortcuts");
  ASSERT_TRUE(keys) << commandOutput("wmctrl -l") << player.log();
  for (const char* key : {"Play or pause", "Toggle Opacity", "Save Frame",
                          "Remove the selected items", "Send feedback", "Quit"}) {
    EXPECT_TRUE(home.control(key, 30, windowGeometry(*keys))) << key << "\n" << home.controlNames();
  }
  screenshot("keyboard-shortcuts.png");
  EXPECT_EQ(player.terminate(), 0) << player.log();
}

// A point of the screen outside the window.
std::pair<int, int> awayFrom(const WindowGeometry& window) {
  for (const auto& corner :
       {std::pair{2, 2}, std::pair{1277, 2}, std::pair{2, 797}, std::pair{1277, 797}}) {
    const bool inside = corner.first >= window.x && corner.first < window.x + window.width &&
                        corner.second >= window.y && corner.second < window.y + window.height;
    if (!inside) {
      return corner;
    }
  }
  return {2, 2};
}

TEST(PlayerEndToEndToolbar, DraggingTheSeekSliderAndItsArrowsMoveAnMkv) {
  Home home;
  const std::string clip = makeClip(home, "film.mkv", 90);
  const std::string mediaID = "mkv:" + fileURL(clip);
  Player player(home, {clip}, "player.log");
  ASSERT_TRUE(playsTo(home, mediaID, 1)) << player.log();
  const auto shown = playerWindow(home);
  ASSERT_TRUE(shown) << player.log();
  const WindowGeometry window = windowGeometry(*shown);
  hoverOver(window);
  const auto seek = home.control("Playback position");
  ASSERT_TRUE(seek) << home.controlNames();
  // The slider's middle is the clip's middle, 45 s; the drag starts at the knob.
  const double before = home.position(mediaID).value_or(0);
  const int y = seek->centreY();
  pointerTo(seek->x + static_cast<int>(seek->width * before / 90), y);
  run({"xdotool", "mousedown", "1"});
  pointerTo(seek->x + seek->width / 4, y);
  pointerTo(seek->centreX(), y);
  run({"xdotool", "mouseup", "1"});
  const auto released = Clock::now();
  // The clip plays on from where the drag ended: never less, and never more than what played
  // since.
  double dragged = 0;
  ASSERT_TRUE(waitUntil(
      [&] {
        dragged = home.position(mediaID).value_or(0);
        return dragged >= 43;
      },
      30))
      << dragged << "\n"
      << player.log();
  EXPECT_LT(dragged, 47 + secondsSince(released));

  // With the pointer away, F6 takes the focus from the slider back to the picture, Tab brings it
  // to the slider again and shows the bars, and each arrow steps five seconds.
  ASSERT_TRUE(focusWindow(*shown));
  const auto away = awayFrom(window);
  pointerTo(away.first, away.second);
  pressKeys({"F6", "Tab"});
  EXPECT_TRUE(home.control("Playback position")) << home.controlNames();
  screenshot("toolbar-keyboard.png");
  const double stepped = home.position(mediaID).value_or(0);
  const auto pressed = Clock::now();
  pressKeys({"Right", "Right"});
  // Ten seconds further than playing alone would have taken it.
  double ahead = 0;
  EXPECT_TRUE(waitUntil(
      [&] {
        ahead = home.position(mediaID).value_or(0) - stepped - secondsSince(pressed);
        return ahead >= 7;
      },
      30))
      << ahead;
  EXPECT_EQ(player.terminate(), 0) << player.log();
}

TEST(PlayerEndToEndToolbar,
     TheEqualizerSwitchStartsTheRouteAndTheNextPlayerRemovesAKilledOnesSink) {
  Home home;
  SoundServer sound(home);
  if (!sound.available()) {
    GTEST_SKIP() << "no PulseAudio server could be started";
  }
  const std::string clip = makeClip(home, "tone.webm", 60, 1500);
  Player player(home, {clip}, "player.log");
  ASSERT_TRUE(playsTo(home, "webm:" + fileURL(clip), 1)) << player.log();
  ASSERT_TRUE(clickPlayerControl(home, "Equalizer")) << home.controlNames();
  ASSERT_TRUE(clickControl(home, "Enable equalizer")) << home.controlNames();
  EXPECT_TRUE(waitUntil([&] { return player.logContains("Equalizing the web view's sound"); }, 30))
      << player.log();
  screenshot("equalizer-popover-on.png");

  // Killed with the route on, the player leaves its sink among the outputs; the next player
  // removes it soon after it starts.
  const auto equalizerModule = [&]() -> std::string {
    std::istringstream modules(sound.pactl("list short modules"));
    for (std::string line; std::getline(modules, line);) {
      if (line.find("OrvelPlayer.eq") != std::string::npos) {
        return line.substr(0, line.find('\t'));
      }
    }
    return "";
  };
  const std::string left = equalizerModule();
  ASSERT_FALSE(left.empty()) << sound.pactl("list short modules");
  player.kill();
  EXPECT_EQ(equalizerModule(), left);
  Player next(home, {}, "next.log");
  EXPECT_TRUE(waitUntil([&] { return equalizerModule() != left; }, 30))
      << sound.pactl("list short modules") << next.log();
  EXPECT_NE(sound.pactl("list short sinks").find("speakers"), std::string::npos);
  EXPECT_EQ(next.terminate(), 0) << next.log();
}

// At launch the keyboard belongs to the picture: with the pointer away, the bars go once the video
// plays, on either engine.
class PlayerEndToEndBars : public ::testing::TestWithParam<std::string> {};

TEST_P(PlayerEndToEndBars, TheBarsHideOnceTheVideoPlaysWithThePointerAway) {
  Home home;
  const std::string clip = makeClip(home, "clip." + GetParam(), 60);
  // The first window stands in the middle of the screen, away from this corner.
  pointerTo(2, 797);
  Player player(home, {clip}, "player.log");
  ASSERT_TRUE(playsTo(home, GetParam() + ":" + fileURL(clip), 1)) << player.log();
  const auto window = playerWindow(home);
  ASSERT_TRUE(window) << player.log();
  ASSERT_FALSE(windowGeometry(*window).contains(2, 797));
  EXPECT_TRUE(waitUntil([&] { return !home.control("Mute / unmute", 0); }, 30))
      << home.controlNames();
  screenshot("bars-hidden-" + GetParam() + ".png");
  // The keyboard reaches the picture: Space pauses, and the bars come back with the pause.
  ASSERT_TRUE(focusWindow(*window));
  pressKeys({"space"});
  EXPECT_TRUE(home.control("Mute / unmute")) << home.controlNames() << player.log();
  EXPECT_EQ(player.terminate(), 0) << player.log();
}

INSTANTIATE_TEST_SUITE_P(Engines, PlayerEndToEndBars, ::testing::Values("mkv", "webm"),
                         [](const ::testing::TestParamInfo<std::string>& format) {
                           return format.param;
                         });

// Whether a pixel is the knob's white.
bool isWhite(const std::optional<std::array<int, 3>>& pixel) {
  return pixel && (*pixel)[0] >= 235 && (*pixel)[1] >= 235 && (*pixel)[2] >= 235;
}

// The volume slider draws a thin track and a knob at every value; at 100 %, the default, it was a
// plain grey block that read as a disabled field.
TEST(PlayerEndToEndToolbar, TheVolumeSliderShowsItsTrackAndKnobAtEveryValue) {
  Home home;
  const std::string clip = makeClip(home, "film.mkv", 60);
  Player player(home, {clip}, "player.log");
  ASSERT_TRUE(playsTo(home, "mkv:" + fileURL(clip), 1)) << player.log();
  const auto window = playerWindow(home);
  ASSERT_TRUE(window) << player.log();
  for (const double volume : {1.0, 0.5, 0.0}) {
    const std::string answer =
        home.busCall("org.mpris.MediaPlayer2.OrvelPlayer", "/org/mpris/MediaPlayer2",
                     "org.freedesktop.DBus.Properties.Set",
                     "org.mpris.MediaPlayer2.Player Volume '<" + std::to_string(volume) + ">'");
    ASSERT_EQ(answer, "()\n");
    hoverOver(windowGeometry(*window));
    const auto slider = home.control("Volume");
    ASSERT_TRUE(slider) << home.controlNames();
    // The knob stands where the volume says, along the track between the slider's ends.
    const int expected = slider->x + 6 + static_cast<int>(volume * (slider->width - 12));
    int knob = -1;
    EXPECT_TRUE(waitUntil(
        [&] {
          for (int x = slider->x; x < slider->x + slider->width; ++x) {
            // The knob is 12 px tall; the track is 3 px, so only the knob is white 4 px off
            // the centre line.
            if (isWhite(x11::readScreenPixel(x, slider->centreY() - 4)) &&
                isWhite(x11::readScreenPixel(x, slider->centreY() + 4))) {
              knob = x + 4;
              return std::abs(knob - expected) <= 4;
            }
          }
          return false;
        },
        30))
        << "knob at " << knob << ", not " << expected << " for " << volume;
    // A thin track: above it, the toolbar's own colour, not the track's.
    const int quarter = slider->x + slider->width / 4;
    EXPECT_NE(x11::readScreenPixel(quarter, slider->y + 2),
              x11::readScreenPixel(quarter, slider->centreY()))
        << volume;
    screenshot("volume-" + std::to_string(static_cast<int>(volume * 100)) + ".png");
  }
  ASSERT_TRUE(clickPlayerControl(home, "Playback options")) << home.controlNames();
  screenshot("volume-options-popover.png");
  EXPECT_EQ(player.terminate(), 0) << player.log();
}

}  // namespace
}  // namespace orvel::e2e
