// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/mpv/MpvMediaEngine.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <algorithm>
#include <mutex>

#include <cmath>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "core/GlibMainQueue.h"
#include "core/Log.h"
#include "native/MKVPlayback.h"
#include "native/MpvTestSupport.h"
#include "platform/mpv/MpvMediaPlayer.h"
#include "support/TemporaryFolder.h"

namespace orvel {
namespace {

using Snapshot = MKVPlayback::Snapshot;

constexpr double kTimeout = 30;

// A clip with a test picture and a 500 Hz tone.
bool makeToneClip(const std::string& path, double seconds) {
  const std::string duration = std::to_string(seconds);
  return makeClip(path, {"-f", "lavfi", "-i", "testsrc=size=160x120:rate=25:d=" + duration, "-f",
                         "lavfi", "-i", "sine=frequency=500:sample_rate=48000:d=" + duration,
                         "-c:v", "ffv1", "-c:a", "flac", "-shortest"});
}

// Levels in dB (of full scale) of consecutive quarter seconds of a mono 16-bit WAV file.
std::vector<double> quarterSecondLevels(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  const std::size_t data = bytes.find("data");
  if (data == std::string::npos) {
    return {};
  }
  std::vector<std::int16_t> samples((bytes.size() - data - 8) / 2);
  std::memcpy(samples.data(), bytes.data() + data + 8, samples.size() * 2);
  std::vector<double> levels;
  const std::size_t quarter = 48000 / 4;
  for (std::size_t start = 0; start + quarter <= samples.size(); start += quarter) {
    double sum = 0;
    for (std::size_t i = start; i < start + quarter; ++i) {
      sum += static_cast<double>(samples[i]) * samples[i];
    }
    levels.push_back(10 * std::log10(sum / quarter / (32768.0 * 32768.0) + 1e-12));
  }
  return levels;
}

class MpvMediaEngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!makeToneClip(clip_, 2)) {
      GTEST_SKIP() << "ffmpeg is needed to make the test media";
    }
  }

  // Plays through the real engine until the final snapshot; all snapshots in order.
  std::vector<Snapshot> playToTheEnd(MpvMediaEngine& engine, const std::string& path,
                                     double startTime = 0,
                                     const std::function<void(MKVPlayback&)>& whenPlaying = {}) {
    GlibMainQueue queue;
    MKVPlayback playback(queue, engine);
    std::vector<Snapshot> snapshots;
    bool sawPlaying = false;
    ObserverToken token = playback.observeUpdates([&](const Snapshot& snapshot) {
      snapshots.push_back(snapshot);
      if (snapshot.state == 1 && !sawPlaying) {
        sawPlaying = true;
        if (whenPlaying) {
          whenPlaying(playback);
        }
      }
    });
    whenStarting(playback);
    playback.play(mkvFile(path), startTime, 100);
    runLoopUntil([&] { return !snapshots.empty() && snapshots.back().state <= 0; }, kTimeout);
    return snapshots;
  }

  std::function<void(MKVPlayback&)> whenStarting = [](MKVPlayback&) {};
  TemporaryFolder folder_;
  std::string clip_ = folder_.file("tone.mkv");
};

TEST_F(MpvMediaEngineTest, AnMkvPlaysToItsEndWithItsPositionAndLength) {
  // The log names the decoder: hardware is asked for, and a machine without it decodes in
  // software, saying nothing else.
  std::mutex linesLock;
  std::vector<std::string> lines;
  const LogSink console = setLogSink([&](const std::string& line) {
    std::lock_guard hold(linesLock);
    lines.push_back(line);
  });
  MpvMediaEngine engine({{"vo", "null"}, {"ao", "null"}});
  const std::vector<Snapshot> snapshots = playToTheEnd(engine, clip_);
  setLogSink(console);
  {
    std::lock_guard hold(linesLock);
    const bool named = std::any_of(lines.begin(), lines.end(), [](const std::string& line) {
      return line.find("Video decoded in software") != std::string::npos ||
             line.find("Video decoded in hardware") != std::string::npos;
    });
    EXPECT_TRUE(named) << ::testing::PrintToString(lines);
  }
  ASSERT_FALSE(snapshots.empty());
  const Snapshot& last = snapshots.back();
  EXPECT_EQ(last.state, 0);
  EXPECT_NEAR(last.duration, 2.0, 0.1);
  EXPECT_GT(last.time, 1.5);
  EXPECT_EQ(last.mediaID, mkvFile(clip_).mediaID);

  int playing = 0;
  double previous = 0;
  for (const Snapshot& snapshot : snapshots) {
    EXPECT_GE(snapshot.time, previous);
    previous = snapshot.time;
    playing += snapshot.state == 1 ? 1 : 0;
  }
  EXPECT_GE(playing, 3) << "polled every quarter second while it played";
}

TEST_F(MpvMediaEngineTest, AFileTheEngineCannotReadFails) {
  const std::string corrupt = folder_.file("corrupt.mkv");
  std::ofstream(corrupt, std::ios::binary) << std::string(20000, '\x5a');
  MpvMediaEngine engine({{"vo", "null"}, {"ao", "null"}});
  const std::vector<Snapshot> snapshots = playToTheEnd(engine, corrupt);
  ASSERT_FALSE(snapshots.empty());
  EXPECT_EQ(snapshots.back().state, -1);
  EXPECT_EQ(snapshots.back().time, 0);
  EXPECT_EQ(snapshots.back().duration, 0);

  const std::vector<Snapshot> missing = playToTheEnd(engine, folder_.file("missing.mkv"));
  ASSERT_FALSE(missing.empty());
  EXPECT_EQ(missing.back().state, -1);
}

// A socket on the loopback that counts who connects to it.
class Listener {
 public:
  Listener() {
    socket_ = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(socket_, reinterpret_cast<sockaddr*>(&address), length) == 0 &&
        ::listen(socket_, 4) == 0 &&
        ::getsockname(socket_, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
      port_ = ntohs(address.sin_port);
    }
  }
  ~Listener() { ::close(socket_); }
  Listener(const Listener&) = delete;
  Listener& operator=(const Listener&) = delete;
  int port() const { return port_; }
  bool wasReached() const {
    const int connection = ::accept(socket_, nullptr, nullptr);
    if (connection >= 0) {
      ::close(connection);
    }
    return connection >= 0;
  }

 private:
  int socket_ = -1;
  int port_ = 0;
};

TEST_F(MpvMediaEngineTest, AnMkvThatIsReallyAPlaylistOpensNothingElse) {
  Listener listener;
  ASSERT_NE(listener.port(), 0);
  const std::string remote = folder_.file("playlist.mkv");
  std::ofstream(remote) << "http://127.0.0.1:" << listener.port() << "/other.mkv\n";
  const std::string local = folder_.file("m3u.mkv");
  std::ofstream(local) << "#EXTM3U\n#EXTINF:2,Tone\n" << clip_ << "\n";

  MpvMediaEngine engine({{"vo", "null"}, {"ao", "null"}});
  for (const std::string& list : {remote, local}) {
    const std::vector<Snapshot> snapshots = playToTheEnd(engine, list);
    ASSERT_FALSE(snapshots.empty()) << list;
    EXPECT_EQ(snapshots.back().state, -1) << list;
    EXPECT_EQ(snapshots.back().duration, 0) << list << " played what it names";
  }
  EXPECT_FALSE(listener.wasReached());
}

// A film with two audio tracks, a subtitle track and two chapters, with a subtitle file beside it
// named after it: every track is listed with its language and title, the file's among them, and a
// choice reaches the engine.
TEST_F(MpvMediaEngineTest, TracksChaptersAndASubtitleFileBesideTheFilmAreListedAndChosen) {
  const std::string subtitles = folder_.file("inside.srt");
  std::ofstream(subtitles) << "1\n00:00:00,000 --> 00:00:05,000\nInside\n";
  const std::string chapters = folder_.file("chapters.txt");
  std::ofstream(chapters) << ";FFMETADATA1\n[CHAPTER]\nTIMEBASE=1/1000\nSTART=0\nEND=2000\n"
                             "title=Opening\n[CHAPTER]\nTIMEBASE=1/1000\nSTART=2000\nEND=6000\n"
                             "title=Second part\n";
  const std::string film = folder_.file("film.mkv");
  ASSERT_TRUE(makeClip(film, {"-f",
                              "lavfi",
                              "-i",
                              "testsrc=size=160x120:rate=25:d=6",
                              "-f",
                              "lavfi",
                              "-i",
                              "sine=frequency=440:d=6",
                              "-f",
                              "lavfi",
                              "-i",
                              "sine=frequency=880:d=6",
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
                              "-metadata:s:a:0",
                              "language=eng",
                              "-metadata:s:a:1",
                              "language=fre",
                              "-metadata:s:a:1",
                              "title=Commentary",
                              "-c:v",
                              "ffv1",
                              "-c:a",
                              "flac",
                              "-c:s",
                              "srt"}));
  std::ofstream(folder_.file("film.en.srt")) << "1\n00:00:00,000 --> 00:00:05,000\nBeside\n";

  MpvMediaEngine engine({{"vo", "null"}, {"ao", "null"}});
  GlibMainQueue queue;
  MKVPlayback playback(queue, engine);
  playback.play(mkvFile(film), 0, 100);
  using Kind = MediaTrack::Kind;
  auto count = [&](Kind kind) {
    const auto tracks = playback.tracks();
    return std::count_if(tracks.begin(), tracks.end(),
                         [kind](const MediaTrack& track) { return track.kind == kind; });
  };
  ASSERT_TRUE(
      runLoopUntil([&] { return count(Kind::audio) == 2 && count(Kind::subtitle) == 2; }, kTimeout))
      << ::testing::PrintToString(playback.tracks().size());
  const auto tracks = playback.tracks();
  EXPECT_EQ(tracks[0].language, "eng");
  EXPECT_EQ(tracks[1].language, "fre");
  EXPECT_EQ(tracks[1].title, "Commentary");
  EXPECT_TRUE(std::any_of(tracks.begin(), tracks.end(), [](const MediaTrack& track) {
    return track.kind == Kind::subtitle && track.external && track.selected;
  })) << "the file beside the film is shown by default";
  EXPECT_EQ(playback.chapters(), (std::vector<MediaChapter>{{"Opening", 0}, {"Second part", 2}}));

  playback.selectTrack(Kind::audio, tracks[1].id);
  EXPECT_TRUE(runLoopUntil(
      [&] {
        const auto now = playback.tracks();
        return now.size() > 1 && now[1].selected && !now[0].selected;
      },
      kTimeout));
  playback.selectTrack(Kind::subtitle, std::nullopt);
  EXPECT_TRUE(runLoopUntil(
      [&] {
        const auto now = playback.tracks();
        return std::none_of(now.begin(), now.end(), [](const MediaTrack& track) {
          return track.kind == Kind::subtitle && track.selected;
        });
      },
      kTimeout));
  playback.stop();
}

TEST_F(MpvMediaEngineTest, PlaybackResumesAtTheStartPosition) {
  // Long enough that the start is not in the last seconds, where playback starts over instead.
  const std::string clip = folder_.file("longer.mkv");
  ASSERT_TRUE(makeToneClip(clip, 3.6));
  MpvMediaEngine engine({{"vo", "null"}, {"ao", "null"}});
  const std::vector<Snapshot> snapshots = playToTheEnd(engine, clip, 1.5);
  ASSERT_FALSE(snapshots.empty());
  EXPECT_EQ(snapshots.back().state, 0);
  // The start is applied by the first poll that finds the clip playing, so the position jumps
  // from near the beginning to the start and never passes through the middle.
  for (const Snapshot& snapshot : snapshots) {
    EXPECT_TRUE(snapshot.time < 0.75 || snapshot.time >= 1.45) << snapshot.time;
  }
  EXPECT_GE(snapshots.back().time, 3.5);
}

TEST_F(MpvMediaEngineTest, PausesResumesAndRestartsAfterTheEnd) {
  MpvMediaEngine engine({{"vo", "null"}, {"ao", "null"}});
  GlibMainQueue queue;
  MKVPlayback playback(queue, engine);
  std::vector<Snapshot> snapshots;
  ObserverToken token =
      playback.observeUpdates([&](const Snapshot& snapshot) { snapshots.push_back(snapshot); });
  auto reaches = [&](int state) {
    return runLoopUntil([&] { return !snapshots.empty() && snapshots.back().state == state; },
                        kTimeout);
  };

  playback.play(mkvFile(clip_), 0, 64);
  ASSERT_TRUE(reaches(1));
  playback.togglePlayPause();
  ASSERT_TRUE(reaches(2));
  const double pausedAt = snapshots.back().time;
  snapshots.clear();
  runLoopUntil([&] { return snapshots.size() >= 3; }, kTimeout);
  EXPECT_EQ(snapshots.back().state, 2);
  EXPECT_EQ(snapshots.back().time, pausedAt);

  playback.togglePlayPause();
  ASSERT_TRUE(reaches(0));
  const std::string firstSession = snapshots.back().sessionID;

  playback.togglePlayPause();
  snapshots.clear();
  ASSERT_TRUE(reaches(1));
  EXPECT_LT(snapshots.back().time, 1.0);
  EXPECT_NE(snapshots.back().sessionID, firstSession);
  ASSERT_TRUE(reaches(0));
  EXPECT_GT(snapshots.back().time, 1.5);
}

// Waits for the player's reported states from its event thread.
class StateRecorder {
 public:
  explicit StateRecorder(MediaEnginePlayer& player) {
    player.setStateObserver([this](MediaEngineState state) {
      std::lock_guard lock(mutex_);
      states_.push_back(state);
      changed_.notify_all();
    });
  }
  bool waitFor(MediaEngineState state) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::seconds(30), [&] {
      return std::find(states_.begin(), states_.end(), state) != states_.end();
    });
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<MediaEngineState> states_;
};

std::string property(MpvMediaPlayer& player, const char* name) {
  char* value = mpv_get_property_string(player.handle(), name);
  std::string text = value ? value : "";
  mpv_free(value);
  return text;
}

TEST_F(MpvMediaEngineTest, TheEqualizerIsAChainOfSevenLabelledPeakingFilters) {
  MpvMediaEngine engine({{"vo", "null"}, {"ao", "null"}});
  auto made = engine.makePlayer();
  auto& player = static_cast<MpvMediaPlayer&>(*made);
  StateRecorder states(player);
  player.setEqualizer(MKVPlayback::engineAmplifications({-20, 1.5, 0, 3, 12, -12, 0.25},
                                                        engine.equalizerBandFrequencies()));
  player.setVolume(42);
  player.setMedia(Url::fileURL(clip_));
  player.play();
  ASSERT_TRUE(states.waitFor(MediaEngineState::playing));
  EXPECT_EQ(property(player, "af"),
            "@eq0:lavfi-equalizer=f=63:t=q:w=1:g=-12,"
            "@eq1:lavfi-equalizer=f=250:t=q:w=1:g=%3%1.5,"
            "@eq2:lavfi-equalizer=f=500:t=q:w=1:g=0,"
            "@eq3:lavfi-equalizer=f=1500:t=q:w=1:g=3,"
            "@eq4:lavfi-equalizer=f=3000:t=q:w=1:g=12,"
            "@eq5:lavfi-equalizer=f=5000:t=q:w=1:g=-12,"
            "@eq6:lavfi-equalizer=f=8000:t=q:w=1:g=%4%0.25")
      << "libmpv quotes a value holding a dot as %length%value";
  EXPECT_EQ(property(player, "volume"), "42.000000");
  EXPECT_EQ(player.volume(), 42);

  player.setEqualizer(std::nullopt);
  player.pause();
  ASSERT_TRUE(states.waitFor(MediaEngineState::paused));
  EXPECT_EQ(property(player, "af"), "");
}

TEST_F(MpvMediaEngineTest, AGainChangedWhilePlayingReachesTheSound) {
  const std::string tone = folder_.file("long-tone.mkv");
  ASSERT_TRUE(makeToneClip(tone, 3));
  const std::string output = folder_.file("out.wav");
  whenStarting = [](MKVPlayback& playback) {
    playback.setEqualizerEnabled(true);
    playback.setEqualizerGains(std::vector<double>(7, 0.0));
  };
  {
    // The sound file is complete once the engine and its cores are gone.
    MpvMediaEngine engine({{"vo", "null"},
                           {"ao", "pcm"},
                           {"ao-pcm-file", output},
                           {"audio-format", "s16"},
                           {"audio-channels", "mono"}});
    const std::vector<Snapshot> snapshots =
        playToTheEnd(engine, tone, 0, [](MKVPlayback& playback) {
          playback.setEqualizerGains({0, 0, -12, 0, 0, 0, 0});
          playback.applyEqualizer();
        });
    ASSERT_EQ(snapshots.back().state, 0);
  }

  // ffmpeg's sine source plays at an eighth of full scale, -21.1 dB. The 500 Hz band takes 12 dB
  // off the 500 Hz tone once the sound filtered before the change has played (under a second).
  const std::vector<double> levels = quarterSecondLevels(output);
  ASSERT_EQ(levels.size(), 12u) << "three seconds of sound, none lost";
  for (std::size_t quarter = 5; quarter < levels.size(); ++quarter) {
    EXPECT_NEAR(levels[quarter], -21.1 - 12, 0.5) << quarter;
  }
}

}  // namespace
}  // namespace orvel
