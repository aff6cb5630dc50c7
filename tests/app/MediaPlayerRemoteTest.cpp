// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/MediaPlayerRemote.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>

#include "playlist/PlaylistLibrary.h"
#include "playlist/PlaylistRepeat.h"
#include "support/SessionFixture.h"

namespace orvel {
namespace {

using Property = MediaPlayerRemote::Property;
using Status = MediaPlayerRemote::Status;

// The desktop's media controls over a session whose engines are fakes: MKV files play on the
// fake native player, YouTube links on the fake web view's player page.
struct RemoteFixture : SessionFixture {
  std::optional<MediaPlayerRemote> remote;
  std::vector<std::vector<Property>> announcements;
  std::vector<std::int64_t> seeks;
  std::vector<ObserverToken> tokens;

  void start() {
    SessionFixture::start();
    remote.emplace(queue, *session, StreamingProviderRegistry::shared());
    tokens.push_back(remote->observeChanges(
        [this](const std::vector<Property>& changed) { announcements.push_back(changed); }));
    tokens.push_back(remote->observeSeeks([this](std::int64_t at) { seeks.push_back(at); }));
  }

  // An MKV playing at `time` of `duration` seconds.
  std::string playFilm(double time = 10, double duration = 100) {
    const std::string link = fileLink("film.mkv");
    session->loadStreamingURL(link, true);
    queue.runUntilIdle();
    native.publish(time, duration, 1);
    queue.runUntilIdle();
    announcements.clear();
    return link;
  }

  void report(double time, int state, double duration = 100) {
    native.publish(time, duration, state);
    queue.runUntilIdle();
  }

  Status status() const { return remote->properties().status; }
  std::string currentTrack() const { return remote->properties().track.value().id; }
};

TEST(MediaPlayerRemoteTrackID, EveryMediaIDHasAValidPathOfItsOwn) {
  const std::vector<std::string> ids{"dQw4w9WgXcQ",
                                     "mkv:file:///home/me/a%20b.mkv",
                                     "a_b",
                                     "a/b",
                                     "a_2Fb",
                                     "\xC3\xA9t\xC3\xA9",
                                     ""};
  std::set<std::string> paths;
  for (const std::string& id : ids) {
    const std::string path = MediaPlayerRemote::trackID(id);
    ASSERT_TRUE(path.starts_with(MediaPlayerRemote::kTrackPrefix)) << path;
    const std::string element = path.substr(std::string(MediaPlayerRemote::kTrackPrefix).size());
    EXPECT_FALSE(element.empty()) << id;
    EXPECT_EQ(element.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"
                                        "0123456789_"),
              std::string::npos)
        << path;
    paths.insert(path);
  }
  EXPECT_EQ(paths.size(), ids.size());
  EXPECT_EQ(MediaPlayerRemote::trackID("dQw4w9WgXcQ"),
            std::string(MediaPlayerRemote::kTrackPrefix) + "dQw4w9WgXcQ");
}

TEST_F(RemoteFixture, AnMkvShowsItsTrackAndPlaybackStateAndNothingLoadedShowsNone) {
  start();
  EXPECT_EQ(remote->properties(), MediaPlayerRemote::Properties{});
  EXPECT_EQ(remote->positionMicroseconds(), 0);

  const std::string link = playFilm(12.5, 100);
  const auto now = remote->properties();
  EXPECT_EQ(now.status, Status::playing);
  ASSERT_TRUE(now.track);
  EXPECT_EQ(now.track->id, MediaPlayerRemote::trackID("mkv:" + link));
  EXPECT_EQ(now.track->lengthMicroseconds, 100'000'000);
  EXPECT_EQ(now.track->title, session->currentVideoTitle());
  EXPECT_FALSE(now.track->title.empty());
  EXPECT_EQ(now.track->url, link);
  EXPECT_FALSE(now.track->artURL);
  EXPECT_TRUE(now.canPlay && now.canPause && now.canSeek);
  EXPECT_EQ(remote->positionMicroseconds(), 12'500'000);

  report(12.5, 2);
  EXPECT_EQ(status(), Status::paused);
  report(100, 0);
  EXPECT_EQ(status(), Status::stopped);
}

TEST_F(RemoteFixture, ChangesAreToldOncePerTurnAndOnlyWhenAPropertyChanged) {
  start();
  session->loadStreamingURL(fileLink("film.mkv"), true);
  queue.runUntilIdle();
  ASSERT_EQ(announcements.size(), 1u);
  EXPECT_EQ(announcements[0],
            (std::vector<Property>{Property::track, Property::canPlay, Property::canPause}));
  // The engine's reports of one turn: opening, the length, playing.
  native.publish(0, 0, 3);
  native.publish(0, 100, 1);
  native.publish(0.25, 100, 1);
  EXPECT_EQ(announcements.size(), 1u);
  queue.runUntilIdle();
  ASSERT_EQ(announcements.size(), 2u);
  EXPECT_EQ(announcements[1],
            (std::vector<Property>{Property::status, Property::track, Property::canSeek}));

  // Playback moving on is no change that is announced.
  for (int tick = 2; tick < 8; ++tick) {
    queue.advance(0.25);
    report(tick * 0.25, 1);
  }
  EXPECT_EQ(announcements.size(), 2u);

  session->setVolume(40);
  queue.runUntilIdle();
  ASSERT_EQ(announcements.size(), 3u);
  EXPECT_EQ(announcements[2], std::vector<Property>{Property::volume});
  EXPECT_DOUBLE_EQ(remote->properties().volume, 0.4);
}

TEST_F(RemoteFixture, PlayPauseAndStopToggleOnlyWhenPlaybackHasToChange) {
  start();
  remote->play();
  remote->stop();
  EXPECT_EQ(native.toggles, 0) << "nothing loaded";

  playFilm(10);
  remote->play();
  EXPECT_EQ(native.toggles, 0);
  remote->pause();
  EXPECT_EQ(native.toggles, 1);
  report(10, 2);
  remote->pause();
  EXPECT_EQ(native.toggles, 1);
  remote->playPause();
  EXPECT_EQ(native.toggles, 2);

  // Stop pauses at the start, even right as playback resumes; a report of playing sent before the
  // pause arrived does not end it.
  native.publish(10, 100, 1);
  remote->stop();
  EXPECT_EQ(native.toggles, 3);
  EXPECT_EQ(native.seeks.back(), 0.0);
  EXPECT_EQ(seeks.back(), 0);
  EXPECT_EQ(status(), Status::stopped);
  report(0, 1);
  report(0, 2);
  EXPECT_EQ(status(), Status::stopped);
  queue.runUntilIdle();
  EXPECT_EQ(announcements.back(), std::vector<Property>{Property::status});
  remote->pause();
  EXPECT_EQ(native.toggles, 3);

  remote->playPause();
  EXPECT_EQ(native.toggles, 4);
  report(0, 1);
  EXPECT_EQ(status(), Status::playing);
}

TEST_F(RemoteFixture, SeeksStayWithinTheTrackAndAreAnnounced) {
  start();
  playFilm(10, 100);
  remote->seek(5'000'000);
  EXPECT_EQ(native.seeks.back(), 15.0);
  EXPECT_EQ(seeks, std::vector<std::int64_t>{15'000'000});
  EXPECT_EQ(remote->positionMicroseconds(), 15'000'000);
  remote->seek(-60'000'000);
  EXPECT_EQ(native.seeks.back(), 0.0);
  // Past the end with nothing next: stopped at the start, as Next with no next track.
  remote->seek(200'000'000);
  EXPECT_EQ(native.seeks.back(), 0.0);
  EXPECT_EQ(status(), Status::stopped);
  report(0, 2);
  EXPECT_EQ(native.seeks.size(), 3u);

  const std::string track = currentTrack();
  remote->setPosition(MediaPlayerRemote::trackID("another"), 20'000'000);
  remote->setPosition(track, 100'000'001);
  remote->setPosition(track, -1);
  EXPECT_EQ(native.seeks.size(), 3u);
  remote->setPosition(track, 20'000'000);
  EXPECT_EQ(native.seeks.back(), 20.0);
  EXPECT_EQ(seeks.back(), 20'000'000);

  // No length known yet: no seeking.
  session->loadStreamingURL(fileLink("stream.mkv"), true);
  queue.runUntilIdle();
  report(2, 1, 0);
  EXPECT_FALSE(remote->properties().canSeek);
  remote->seek(1'000'000);
  remote->setPosition(currentTrack(), 0);
  EXPECT_EQ(native.seeks.size(), 4u);
}

TEST_F(RemoteFixture, ARateOfZeroPauses) {
  start();
  playFilm(10);
  remote->setRate(1);
  remote->setRate(2);
  EXPECT_EQ(native.toggles, 0);
  remote->setRate(0);
  EXPECT_EQ(native.toggles, 1);
  report(10, 2);
  remote->setRate(0);
  EXPECT_EQ(native.toggles, 1);
}

TEST_F(RemoteFixture, AJumpInThePlayersReportsIsASeekButPlaybackMovingOnIsNot) {
  start();
  playFilm(10, 100);
  queue.advance(1);
  report(11, 1);
  queue.advance(1);
  report(12.1, 1);
  EXPECT_TRUE(seeks.empty());

  // The toolbar's slider, or the page's own controls.
  session->seek(70);
  report(70, 1);
  EXPECT_EQ(seeks, std::vector<std::int64_t>{70'000'000});
  // Paused for a while, then a step back while paused.
  report(70, 2);
  queue.advance(30);
  report(70, 2);
  EXPECT_EQ(seeks.size(), 1u);
  report(65, 2);
  EXPECT_EQ(seeks.back(), 65'000'000);

  // Other media resuming at its stored place has not sought.
  session->setPlaybackPosition("mkv:" + fileLink("other.mkv"), 50);
  session->loadStreamingURL(fileLink("other.mkv"), true);
  queue.runUntilIdle();
  report(50, 1);
  EXPECT_EQ(seeks.size(), 2u);
}

// A folder of MKV files in the playlist, played through the queue.
TEST_F(RemoteFixture, NextAndPreviousExistOnlyWhereTheQueueHasANeighbour) {
  std::vector<PlaylistNode> items;
  for (int index = 0; index < 3; ++index) {
    items.push_back(PlaylistNode::item(fileLink("clip" + std::to_string(index) + ".mkv")));
  }
  PlaylistNode trip = PlaylistNode::folder("Trip");
  trip.children = items;
  PlaylistLibrary::save({trip}, defaults);
  start();
  auto playing = [&] { return native.plays.back().mediaID; };
  auto id = [&](int index) { return "mkv:" + *items[index].url; };
  session->playQueue().playRequest(items[0].id, trip.id);
  queue.runUntilIdle();
  EXPECT_FALSE(remote->properties().canGoPrevious);
  EXPECT_TRUE(remote->properties().canGoNext);
  remote->previous();
  EXPECT_EQ(native.plays.size(), 1u);

  remote->next();
  queue.runUntilIdle();
  EXPECT_EQ(playing(), id(1));
  EXPECT_TRUE(remote->properties().canGoPrevious);

  // Seeking past the end goes on to the next item.
  report(5, 1, 30);
  remote->seek(40'000'000);
  queue.runUntilIdle();
  EXPECT_EQ(playing(), id(2));
  EXPECT_FALSE(remote->properties().canGoNext);
  remote->next();
  queue.runUntilIdle();
  EXPECT_EQ(playing(), id(2));
  remote->previous();
  queue.runUntilIdle();
  EXPECT_EQ(playing(), id(1));
}

// The loop status is the playlist's stored repeat mode, whoever changes it; the playlist keeps no
// shuffled order, so shuffling mixes what is left of the folder being played, once.
TEST_F(RemoteFixture, TheLoopStatusIsThePlaylistsRepeatAndShuffleMixesWhatIsLeftOnce) {
  std::vector<PlaylistNode> items;
  for (int index = 0; index < 8; ++index) {
    items.push_back(PlaylistNode::item(fileLink("clip" + std::to_string(index) + ".mkv")));
  }
  PlaylistNode trip = PlaylistNode::folder("Trip");
  trip.children = items;
  PlaylistLibrary::save({trip}, defaults);
  start();
  session->playQueue().playRequest(items[0].id, trip.id);
  queue.runUntilIdle();
  announcements.clear();
  EXPECT_EQ(remote->properties().loop, PlaylistRepeat::off);
  remote->setLoop(PlaylistRepeat::all);
  queue.runUntilIdle();
  EXPECT_EQ(storedPlaylistRepeat(defaults), PlaylistRepeat::all);
  ASSERT_FALSE(announcements.empty());
  EXPECT_EQ(announcements.back(), std::vector<Property>{Property::loop});
  // The panel's repeat button.
  storePlaylistRepeat(defaults, PlaylistRepeat::one);
  session->playQueue().repeatChanged();
  queue.runUntilIdle();
  EXPECT_EQ(announcements.back(), std::vector<Property>{Property::loop});
  EXPECT_EQ(remote->properties().loop, PlaylistRepeat::one);

  auto order = [&] {
    std::vector<Uuid> ids;
    for (const PlaylistNode& item : PlaylistTree::items(session->library())) {
      ids.push_back(item.id);
    }
    return ids;
  };
  const std::vector<Uuid> before = order();
  remote->setShuffle(true);
  queue.runUntilIdle();
  const std::vector<Uuid> after = order();
  EXPECT_EQ(after.front(), items[0].id);
  EXPECT_NE(after, before);
  EXPECT_EQ(std::set<Uuid>(after.begin(), after.end()),
            std::set<Uuid>(before.begin(), before.end()));
  remote->setShuffle(false);
  queue.runUntilIdle();
  EXPECT_EQ(order(), after);
}

// The rate is the playback speed: read, set within its range (0 still pauses) and announced; at
// twice the speed, playback moving on two seconds a second is no seek.
TEST_F(RemoteFixture, TheRateIsThePlaybackSpeedAndPlaybackAtItIsNoSeek) {
  start();
  playFilm(10);
  remote->setRate(2);
  queue.runUntilIdle();
  EXPECT_EQ(remote->properties().rate, 2.0);
  EXPECT_EQ(native.speed, 2.0);
  ASSERT_FALSE(announcements.empty());
  EXPECT_EQ(announcements.back(), std::vector<Property>{Property::rate});
  remote->setRate(10);
  EXPECT_EQ(session->playbackRate(), MediaPlayerRemote::kFastestRate);
  remote->setRate(2);
  queue.runUntilIdle();
  seeks.clear();
  for (int second = 1; second <= 5; ++second) {
    queue.advance(1);
    report(10 + 2 * second, 1);
  }
  EXPECT_TRUE(seeks.empty());
  remote->setRate(0);
  EXPECT_EQ(native.toggles, 1);
  EXPECT_EQ(session->playbackRate(), 2.0);
}

TEST_F(RemoteFixture, AYouTubeVideoHasItsThumbnailAndIsDrivenThroughThePlayerPage) {
  start();
  session->loadStreamingURL("https://www.youtube.com/watch?v=dQw4w9WgXcQ", true);
  queue.runUntilIdle();
  bridge.didReceiveScriptMessage("playerBridge", R"({"event":"ready"})");
  queue.runUntilIdle();
  bridge.didReceiveScriptMessage(
      "playerBridge", R"({"event":"state","state":1,"videoId":"dQw4w9WgXcQ","duration":200})");
  queue.runUntilIdle();
  const auto now = remote->properties();
  EXPECT_EQ(now.status, Status::playing);
  EXPECT_EQ(now.track->artURL, "https://i.ytimg.com/vi/dQw4w9WgXcQ/mqdefault.jpg");
  EXPECT_EQ(now.track->lengthMicroseconds, 200'000'000);
  remote->pause();
  queue.runUntilIdle();
  EXPECT_EQ(web.scriptsStartingWith("window.ytPause();").size(), 1u);
  // Buffering reads as playing, and Pause pauses it rather than being taken as a toggle.
  bridge.didReceiveScriptMessage(
      "playerBridge", R"({"event":"state","state":3,"videoId":"dQw4w9WgXcQ","duration":200})");
  queue.runUntilIdle();
  EXPECT_EQ(remote->properties().status, Status::playing);
  remote->pause();
  queue.runUntilIdle();
  EXPECT_EQ(web.scriptsStartingWith("window.ytPause();").size(), 2u);
  EXPECT_TRUE(web.scriptsStartingWith("window.ytPlay();").empty());
  remote->setVolume(2);
  queue.runUntilIdle();
  EXPECT_EQ(web.scriptsStartingWith("window.ytSetVolume(").back(), "window.ytSetVolume(100);");
  remote->setVolume(-1);
  queue.runUntilIdle();
  EXPECT_EQ(web.scriptsStartingWith("window.ytSetVolume(").back(), "window.ytSetVolume(0);");
}

TEST_F(RemoteFixture, OpenUriTakesPlayableFilesAndWebLinksOnly) {
  using Refusal = MediaPlayerRemote::OpenRefusal;
  start();
  EXPECT_EQ(remote->openURI("ftp://example.com/film.mkv"), Refusal::unsupported);
  EXPECT_EQ(remote->openURI("not a link"), Refusal::unsupported);
  EXPECT_EQ(remote->openURI("https://example.com/about"), Refusal::unsupported);
  EXPECT_EQ(remote->openURI("javascript:alert(1)"), Refusal::unsupported);
  EXPECT_EQ(remote->openURI("file:///dev/zero%00.mp4"), Refusal::unsupported);
  const std::string missing = fileLink("gone.mkv");
  std::filesystem::remove(Url::parse(missing)->path());
  EXPECT_EQ(remote->openURI(missing), Refusal::missingFile);
  const std::string folderPath = folder.file("folder.mkv");
  std::filesystem::create_directory(folderPath);
  EXPECT_EQ(remote->openURI(Url::fileURL(folderPath)->absoluteString()), Refusal::missingFile);
  queue.runUntilIdle();
  EXPECT_TRUE(native.plays.empty());
  EXPECT_TRUE(web.loads.empty());
  EXPECT_TRUE(dialogs.alerts.empty());

  const std::string link = fileLink("film.mkv");
  EXPECT_EQ(remote->openURI(link), std::nullopt);
  queue.runUntilIdle();
  ASSERT_EQ(native.plays.size(), 1u);
  EXPECT_EQ(native.plays[0].mediaID, "mkv:" + link);
  // Opened again while paused there, it plays on from where it is.
  report(40, 2);
  EXPECT_EQ(remote->openURI(link), std::nullopt);
  queue.runUntilIdle();
  EXPECT_EQ(native.plays.size(), 1u);
  EXPECT_EQ(native.toggles, 1);
}

}  // namespace
}  // namespace orvel
