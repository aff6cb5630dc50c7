// SPDX-License-Identifier: GPL-3.0-or-later

#include "player/PlayerSession.h"

#include <gtest/gtest.h>

#include <fstream>

#include "native/FakeMediaEngine.h"
#include "player/PlaybackKeys.h"
#include "playlist/PlaylistLibrary.h"
#include "playlist/PlaylistMetadata.h"
#include "playlist/PlaylistRepeat.h"
#include "support/SessionFixture.h"

namespace orvel {
namespace {

constexpr const char* kVideo = "https://www.youtube.com/watch?v=dQw4w9WgXcQ";

TEST_F(SessionFixture, AStoredPositionResumesInWholeSeconds) {
  storePositions({{"dQw4w9WgXcQ", 95.4}});
  start().loadStreamingURL(kVideo, true);
  queue.runUntilIdle();
  bridgeMessage(R"({"event":"ready"})");
  EXPECT_EQ(web.scriptsStartingWith("window.ytLoad("),
            std::vector<std::string>{"window.ytLoad(\"dQw4w9WgXcQ\", 95, true, 0);"});
  EXPECT_EQ(session->currentSourceURL(), kVideo);
  EXPECT_EQ(storedLastURL(), kVideo);
}

TEST_F(SessionFixture, TheVideoAlreadyPlayingIsNotRestarted) {
  start();
  playYouTube(kVideo);
  ASSERT_EQ(web.scriptsStartingWith("window.ytLoad(").size(), 1u);
  session->loadStreamingURL("https://youtu.be/dQw4w9WgXcQ", true);
  queue.runUntilIdle();
  EXPECT_EQ(web.scriptsStartingWith("window.ytLoad(").size(), 1u);
  EXPECT_EQ(session->playerState(), 1);
}

TEST_F(SessionFixture, ReportsUnderOneSecondRecordNothing) {
  start();
  playYouTube(kVideo);
  bridgeMessage(R"({"event":"time","videoId":"dQw4w9WgXcQ","currentTime":0.6,"duration":200,
                    "state":1,"title":"Song"})");
  EXPECT_FALSE(storedPosition("dQw4w9WgXcQ"));
  EXPECT_TRUE(settings->recentVideos().empty());
  bridgeMessage(R"({"event":"time","videoId":"dQw4w9WgXcQ","currentTime":1.0,"duration":200,
                    "state":1,"title":"Song"})");
  EXPECT_EQ(storedPosition("dQw4w9WgXcQ"), 1.0);
  ASSERT_EQ(settings->recentVideos().size(), 1u);
  EXPECT_EQ(settings->recentVideos()[0].title, "Song");
  EXPECT_EQ(session->currentVideoTitle(), "Song");
}

TEST_F(SessionFixture, OpeningByHandLetsADeletedVideoBeRecordedAgain) {
  start();
  settings->recordRecentVideo("dQw4w9WgXcQ", "Song", 12, kVideo);
  settings->removeRecentVideo("dQw4w9WgXcQ");
  settings->removeHistoryVideo("dQw4w9WgXcQ");
  ASSERT_TRUE(settings->deletedRecentVideoIDs().contains("dQw4w9WgXcQ"));
  session->loadStreamingURL(kVideo, true);
  EXPECT_FALSE(settings->deletedRecentVideoIDs().contains("dQw4w9WgXcQ"));
  EXPECT_FALSE(settings->deletedWatchHistoryVideoIDs().contains("dQw4w9WgXcQ"));
}

TEST_F(SessionFixture, AMovedFileResumesAtItsOldPosition) {
  std::filesystem::create_directory(folder.file("new"));
  std::string path = makeFile("new/clip.webm");
  storePositions({{"webm:file:///old/place/clip.webm", 42.5}, {"webm:file:///x/other.webm", 7}});
  start().loadStreamingURL(Url::fileURL(path)->absoluteString(), true);
  queue.runUntilIdle();
  ASSERT_EQ(web.loads.size(), 1u);
  EXPECT_EQ(web.loads[0].kind, FakeWebEngine::Load::Kind::file);
  ASSERT_EQ(web.installed.size(), 1u);
  EXPECT_TRUE(web.installed[0].source.starts_with("window.nativeResumeTime = 42.5; "))
      << web.installed[0].source;
  EXPECT_EQ(web.installed[0].time, UserScript::Time::documentStart);
}

// A video watched to its end (its stored place within the last two seconds of the length the
// player reported) starts over when opened again; one stopped before that resumes.
TEST_F(SessionFixture, AVideoWatchedToItsEndStartsOver) {
  const std::string finished = fileLink("finished.mkv");
  const std::string almost = fileLink("almost.mkv");
  const std::string unknown = fileLink("unknown.mkv");
  storePositions({{"mkv:" + finished, 29.2}, {"mkv:" + almost, 27}, {"mkv:" + unknown, 29.2}});
  PlaylistMetadata::recordDuration(defaults, 30.04, "mkv:" + finished);
  PlaylistMetadata::recordDuration(defaults, 30.04, "mkv:" + almost);
  start();
  for (const std::string& link : {finished, almost, unknown}) {
    session->loadStreamingURL(link, true);
    queue.runUntilIdle();
  }
  ASSERT_EQ(native.plays.size(), 3u);
  EXPECT_EQ(native.plays[0].startTime, 0);
  EXPECT_EQ(native.plays[1].startTime, 27);
  EXPECT_EQ(native.plays[2].startTime, 29) << "no length known: the stored place holds";
}

TEST_F(SessionFixture, ALocalFileWhosePageHasNoTitleIsKnownByItsName) {
  start();
  for (const char* name : {"Holiday 2019.webm", "Talk.mp4"}) {
    const std::string source = fileLink(name);
    session->loadStreamingURL(source, true);
    queue.runUntilIdle();
    web.url = source;
    const std::string id = std::string(source.ends_with("webm") ? "webm:" : "mp4:") + source;
    bridgeMessage(R"({"event":"mediaTime","videoId":")" + id +
                  R"(","currentTime":3,"duration":9,"state":1,"title":" "})");
    const auto& history = settings->watchHistoryVideos();
    auto entry = std::find_if(history.begin(), history.end(),
                              [&](const RecentVideoItem& item) { return item.videoID == id; });
    ASSERT_NE(entry, history.end()) << id;
    EXPECT_EQ(entry->title, std::filesystem::path(name).stem().string());
  }
}

TEST_F(SessionFixture, ResumeScriptsReplaceEachOtherAndKeepTheRest) {
  start();
  web.installed = {{"style()", UserScript::Time::documentEnd, UserScript::Frames::allFrames}};
  session->loadStreamingURL(fileLink("a.webm"), true);
  queue.runUntilIdle();
  session->loadStreamingURL(fileLink("b.mp4"), true);
  queue.runUntilIdle();
  ASSERT_EQ(web.installed.size(), 2u);
  EXPECT_EQ(web.installed[0].source, "style()");
  EXPECT_NE(web.installed[1].source.find("b.mp4\";"), std::string::npos);
}

TEST_F(SessionFixture, UnsupportedTextIsExplainedForEightSeconds) {
  start().loadStreamingURL("just some words", true);
  EXPECT_EQ(session->statusMessage(), PlayerSession::kUnsupportedLink);
  queue.advance(7.9);
  EXPECT_EQ(session->statusMessage(), PlayerSession::kUnsupportedLink);
  queue.advance(0.2);
  EXPECT_EQ(session->statusMessage(), "");
}

TEST_F(SessionFixture, AMissingFileFailsWithTheUnableToReadAlertAndRetries) {
  start().loadStreamingURL(Url::fileURL(folder.file("gone.mkv"))->absoluteString(), true);
  queue.runUntilIdle();
  ASSERT_EQ(dialogs.alerts.size(), 1u);
  EXPECT_EQ(dialogs.alerts[0].title, "Unable to read video");
  EXPECT_EQ(dialogs.alerts[0].message,
            std::string("gone.mkv\n\n") + PlayerSession::kUnreadableFile);
  EXPECT_EQ(dialogs.alerts[0].buttons, (std::vector<std::string>{"Retry", "Cancel"}));
  EXPECT_EQ(session->statusMessage(), PlayerSession::kUnreadableFile);
  EXPECT_TRUE(native.plays.empty());

  // The same failure again changes nothing; a retry after the file is back plays it.
  session->loadStreamingURL(Url::fileURL(folder.file("gone.mkv"))->absoluteString(), true);
  EXPECT_EQ(dialogs.alerts.size(), 1u);
  makeFile("gone.mkv");
  dialogs.alertAnswers[0](0);
  queue.runUntilIdle();
  ASSERT_EQ(native.plays.size(), 1u);
  EXPECT_FALSE(session->failedSourceURL());
}

TEST_F(SessionFixture, HistoryNoticesNameTheStarsAndWarnOfThumbsDown) {
  start();
  settings->recordRecentVideo("dQw4w9WgXcQ", "Song", 12, kVideo);
  settings->setWatchLaterStars("dQw4w9WgXcQ", 1);
  session->loadStreamingURL(kVideo, true);
  queue.runUntilIdle();
  bridgeMessage(R"({"event":"ready"})");
  EXPECT_EQ(session->statusMessage(), "Watched earlier: rated 1 star");
  queue.advance(179);
  EXPECT_EQ(session->statusMessage(), "Watched earlier: rated 1 star");
  queue.advance(2);
  EXPECT_EQ(session->statusMessage(), "");

  settings->recordRecentVideo("abcdefghijk", "Other", 12, std::nullopt);
  settings->setWatchLaterStars("abcdefghijk", 3);
  session->loadVideo("abcdefghijk", 0, true);
  queue.runUntilIdle();
  EXPECT_EQ(session->statusMessage(), "Watched earlier: rated 3 stars");

  auto history = settings->watchHistoryVideos();
  for (auto& entry : history) {
    entry.isThumbsDown = entry.videoID == "dQw4w9WgXcQ";
  }
  settings->setWatchHistoryVideos(history);
  session->loadStreamingURL(kVideo, true);
  queue.runUntilIdle();
  ASSERT_EQ(dialogs.alerts.size(), 1u);
  EXPECT_EQ(dialogs.alerts[0].title, "This video was marked thumbs down");
  EXPECT_EQ(dialogs.alerts[0].message,
            "\u201cSong\u201d is in your history as a thumbs-down video.");
  queue.advance(500);
  EXPECT_EQ(session->statusMessage(), "History note: thumbs down");
}

TEST_F(SessionFixture, NativeSnapshotsOfAnOldSessionAreDropped) {
  std::string path = makeFile("film.mkv");
  start().loadStreamingURL(Url::fileURL(path)->absoluteString(), true);
  queue.runUntilIdle();
  ASSERT_EQ(native.plays.size(), 1u);
  PlaybackSnapshot stale{"an-old-session", native.plays[0].mediaID, 50, 100, 1};
  native.publish(stale);
  EXPECT_EQ(session->playerState(), -1);
  EXPECT_FALSE(storedPosition(native.plays[0].mediaID));

  native.publish(30, 100, 1);
  EXPECT_EQ(session->playerState(), 1);
  EXPECT_EQ(storedPosition(native.plays[0].mediaID), 30.0);

  native.publish(0, 0, -1);
  EXPECT_EQ(session->failedSourceURL(), session->currentSourceURL());
  ASSERT_EQ(dialogs.alerts.size(), 1u);
  EXPECT_EQ(dialogs.alerts[0].message, std::string("film.mkv\n\n") + PlayerSession::kNativeFailure);
}

// A header that claims ten years: the length is taken as unknown, neither shown nor stored, and a
// position out there is not believed; a real one still is.
TEST_F(SessionFixture, ALengthOfYearsIsTakenAsUnknownAndAPositionOutThereIsNotKept) {
  std::string path = makeFile("liar.mkv");
  start().loadStreamingURL(Url::fileURL(path)->absoluteString(), true);
  queue.runUntilIdle();
  const std::string id = native.plays.at(0).mediaID;
  const double tenYears = 10 * 365.25 * 24 * 3600;
  native.publish(3, tenYears, 1);
  EXPECT_EQ(session->playerDuration(), 0);
  EXPECT_EQ(session->playerCurrentTime(), 3);
  EXPECT_FALSE(PlaylistMetadata::recordedDuration(defaults, id));
  native.publish(tenYears, tenYears, 1);
  EXPECT_EQ(session->playerCurrentTime(), 3);
  EXPECT_LT(storedPosition(id).value_or(0), 4);
  native.publish(4, 30, 1);
  EXPECT_EQ(session->playerDuration(), 30);
  EXPECT_EQ(PlaylistMetadata::recordedDuration(defaults, id), 30);
}

// The speed's keys act on whatever plays and stay for the next media: an MKV through the native
// player, a page's video through its script, which a new page gets again.
TEST_F(SessionFixture, TheSpeedKeysActOnWhatPlaysAndTheSpeedStaysForTheNextMedia) {
  start().loadStreamingURL(fileLink("film.mkv"), true);
  queue.runUntilIdle();
  EXPECT_TRUE(session->handlePlaybackKey(PlaybackKeys::kBracketRight));
  EXPECT_EQ(native.speed, 1.25);
  EXPECT_EQ(session->statusMessage(), "Speed 1.25×");
  session->handlePlaybackKey(PlaybackKeys::kBracketRight);
  session->handlePlaybackKey(PlaybackKeys::kBracketRight);
  EXPECT_EQ(session->playbackRate(), 1.75);

  session->loadStreamingURL(fileLink("clip.webm"), true);
  queue.runUntilIdle();
  web.scripts.clear();
  bridge.didFinishNavigation();
  queue.runUntilIdle();
  EXPECT_EQ(web.scriptsStartingWith("window.nativePlaybackRate = 1.75;").size(), 1u);
  session->handlePlaybackKey(PlaybackKeys::kBackspace);
  queue.runUntilIdle();
  EXPECT_EQ(web.scriptsStartingWith("window.nativePlaybackRate = 1.0;").size(), 1u);
  EXPECT_EQ(native.speed, 1.0);
}

TEST_F(SessionFixture, PageKeysGoByTheFilmsChaptersAndSubtitleFilesNeedAVideoThatPlays) {
  start();
  playYouTube("https://www.youtube.com/watch?v=dQw4w9WgXcQ");
  session->addSubtitleFile(makeFile("clip.srt"));
  EXPECT_EQ(session->statusMessage(),
            "Subtitle files are shown over a video that plays, not over YouTube or Disney+.");

  session->loadStreamingURL(fileLink("film.mkv"), true);
  queue.runUntilIdle();
  native.mediaChapters = {{"One", 0}, {"Two", 60}};
  native.mediaTracks = {MediaTrack{MediaTrack::Kind::subtitle, 1, "", "", false, false}};
  native.publish(10, 100, 1);
  EXPECT_EQ(session->mediaTracks().subtitles().size(), 2u);
  EXPECT_TRUE(session->handlePlaybackKey(PlaybackKeys::kPageDown));
  EXPECT_EQ(native.seeks.back(), 60.0);
  native.publish(60, 100, 1);
  EXPECT_FALSE(session->handlePlaybackKey(PlaybackKeys::kPageDown));
  EXPECT_TRUE(session->handlePlaybackKey(PlaybackKeys::kPageUp));
  EXPECT_EQ(native.seeks.back(), 0.0);

  const std::string subtitles = makeFile("film.srt");
  session->addSubtitleFile(subtitles);
  EXPECT_EQ(native.subtitleFiles, std::vector<std::string>{subtitles});
  EXPECT_EQ(session->statusMessage(), "Subtitles added");
  session->addSubtitleFile(subtitles + ".gone.srt");
  EXPECT_EQ(session->statusMessage(), "film.srt.gone.srt could not be read.");
  EXPECT_EQ(native.subtitleFiles.size(), 1u);

  // The next media starts with no tracks to choose until its own arrive.
  session->loadStreamingURL(fileLink("clip.webm"), true);
  queue.runUntilIdle();
  EXPECT_TRUE(session->mediaTracks().subtitles().empty());
  EXPECT_TRUE(session->chapters().empty());
}

// Subtitles over a page video: the files beside it are offered once read, the first shown, and
// go into the page only once its video is there; a dropped file is added and shown, a bad one
// refused in words; the next video starts without them.
TEST_F(SessionFixture, ThePagesVideoTakesTheSubtitleFilesBesideItAndDroppedOnes) {
  constexpr std::string_view kAddSubtitles =
      "(() => { const v = document.querySelector('video'); if (!v) return '';";
  std::ofstream(folder.file("talk.srt")) << "1\n00:00:01,000 --> 00:00:04,000\nHello\n";
  std::ofstream(folder.file("talk.fr.vtt")) << "WEBVTT\n\n00:01.000 --> 00:04.000\nBonjour\n";
  std::ofstream(folder.file("talking.srt")) << "1\n00:00:01,000 --> 00:00:04,000\nOther\n";
  start().loadStreamingURL(fileLink("talk.webm"), true);
  queue.runUntilIdle();
  EXPECT_TRUE(web.scriptsStartingWith(kAddSubtitles).empty());
  ASSERT_EQ(session->mediaTracks().subtitles().size(), 3u);
  EXPECT_EQ(session->mediaTracks().subtitles()[1].label, "talk.srt (file)");
  EXPECT_TRUE(session->mediaTracks().subtitles()[1].selected);
  EXPECT_EQ(session->mediaTracks().subtitles()[2].label, "French (file)");

  bridgeMessage(R"({"event":"state","state":1,"currentTime":0.5,"duration":90})");
  const auto added = web.scriptsStartingWith(kAddSubtitles);
  ASSERT_EQ(added.size(), 2u);
  EXPECT_NE(added[0].find("\"Hello\""), std::string::npos);
  EXPECT_NE(web.scripts.back().find("const id = \"1\""), std::string::npos);

  session->mediaTracks().choose(MediaTrack::Kind::subtitle, std::nullopt);
  EXPECT_NE(web.scripts.back().find("const id = \"\""), std::string::npos);
  EXPECT_FALSE(session->mediaTracks().subtitles()[1].selected);

  std::ofstream(folder.file("extra.ass"))
      << "[Events]\nDialogue: 0,0:00:02.00,0:00:05.00,Default,,0,0,0,,{\\i1}Hi\\Nthere\n";
  session->addSubtitleFile(folder.file("extra.ass"));
  queue.runUntilIdle();
  EXPECT_EQ(session->statusMessage(), "Subtitles added");
  ASSERT_EQ(session->mediaTracks().subtitles().size(), 4u);
  EXPECT_TRUE(session->mediaTracks().subtitles()[3].selected);
  EXPECT_NE(web.scripts[web.scripts.size() - 2].find("\"Hi\\nthere\""), std::string::npos);
  EXPECT_NE(web.scripts.back().find("const id = \"3\""), std::string::npos);

  std::ofstream(folder.file("empty.srt")) << "no times here\n";
  session->addSubtitleFile(folder.file("empty.srt"));
  queue.runUntilIdle();
  EXPECT_EQ(session->statusMessage(), "empty.srt holds no subtitles.");
  EXPECT_EQ(session->mediaTracks().subtitles().size(), 4u);

  session->loadStreamingURL(fileLink("other.webm"), true);
  queue.runUntilIdle();
  EXPECT_TRUE(session->mediaTracks().subtitles().empty());
}

// An MP4 or WebM with several audio tracks offers them once its video is there; choosing one
// enables it alone in the page.
TEST_F(SessionFixture, ThePagesVideoOffersItsAudioTracks) {
  web.answer = [](const std::string& script) {
    ScriptResult result;
    if (script == PageAudioTracks::kListScript) {
      result.stringValue = "0\teng\tSilent\t1\n1\tfre\t\t0";
    }
    return result;
  };
  start().loadStreamingURL(fileLink("talk.mp4"), true);
  queue.runUntilIdle();
  EXPECT_TRUE(session->mediaTracks().audio().empty());
  bridgeMessage(R"({"event":"state","state":1,"currentTime":0.5,"duration":90})");
  queue.runUntilIdle();
  ASSERT_EQ(session->mediaTracks().audio().size(), 2u);
  EXPECT_EQ(session->mediaTracks().audio()[0].label, "English — Silent");
  EXPECT_TRUE(session->mediaTracks().audio()[0].selected);
  session->mediaTracks().choose(MediaTrack::Kind::audio, 1);
  EXPECT_EQ(web.scripts.back(), PageAudioTracks::selectScript(1));
  EXPECT_TRUE(session->mediaTracks().audio()[1].selected);
}

TEST(PageAudioTracks, OnlyWholeLinesOfTheAnswerAreTracks) {
  EXPECT_EQ(PageAudioTracks::parse("0\ten\tMain\t1\nx\ten\tBad\t0\n2\tde\n-1\ta\tb\t0\n"
                                   "3\tfr\tExtra\ttrue\n4\t\t\t0\textra\n5\tit\t\t0"),
            (std::vector<MediaTrack>{{MediaTrack::Kind::audio, 0, "en", "Main", true, false},
                                     {MediaTrack::Kind::audio, 5, "it", "", false, false}}));
  EXPECT_TRUE(PageAudioTracks::parse("").empty());
  std::string many;
  for (int index = 0; index < 1000; ++index) {
    many += std::to_string(index) + "\ten\t\t0\n";
  }
  EXPECT_EQ(PageAudioTracks::parse(many).size(), 64u);
}

TEST_F(SessionFixture, NativePlaybackStoresItsPositionOncePerSecondAndAtOnceOnPause) {
  std::string path = makeFile("film.mkv");
  start().loadStreamingURL(Url::fileURL(path)->absoluteString(), true);
  queue.runUntilIdle();
  const std::string id = native.plays.at(0).mediaID;
  const std::size_t before = defaults.writeCount();
  for (int tick = 0; tick <= 40; ++tick) {  // ten seconds, four snapshots a second
    native.publish(10 + tick * 0.25, 100, 1);
  }
  // Positions, last link, recent list and history once a second, not four times, and the length
  // once.
  EXPECT_LE(defaults.writeCount() - before, 4u * 11 + 1);
  EXPECT_GE(*storedPosition(id), 19.0);
  EXPECT_EQ(session->playbackPositions().at(id), 20.0);

  native.publish(20.1, 100, 2);
  EXPECT_EQ(storedPosition(id), 20.1);
  const std::size_t paused = defaults.writeCount();
  for (int tick = 0; tick < 8; ++tick) {
    native.publish(20.1, 100, 2);
  }
  EXPECT_EQ(defaults.writeCount(), paused);
  native.publish(60, 100, 1);
  EXPECT_EQ(storedPosition(id), 60.0);
}

TEST_F(SessionFixture, ReportsOfTheOldPlaceDoNotUndoASeekUntilThePlayerGetsThere) {
  std::string path = makeFile("film.mkv");
  start().loadStreamingURL(Url::fileURL(path)->absoluteString(), true);
  queue.runUntilIdle();
  native.publish(10, 100, 1);
  session->seek(50);
  EXPECT_EQ(session->playerCurrentTime(), 50);
  native.publish(10.25, 100, 1);
  EXPECT_EQ(session->playerCurrentTime(), 50);
  native.publish(50.1, 100, 1);
  EXPECT_EQ(session->playerCurrentTime(), 50.1);
  // A seek the player never completes is given up after a moment.
  session->seek(80);
  native.publish(50.5, 100, 1);
  EXPECT_EQ(session->playerCurrentTime(), 80);
  queue.advance(2.1);
  native.publish(50.6, 100, 1);
  EXPECT_EQ(session->playerCurrentTime(), 50.6);
}

TEST_F(SessionFixture, ADeadWebProcessReopensTheSourceWhereItWas) {
  std::string path = makeFile("talk.webm");
  start().loadStreamingURL(Url::fileURL(path)->absoluteString(), true);
  queue.runUntilIdle();
  bridgeMessage(R"({"event":"state","state":1,"currentTime":33.0,"duration":90})");
  defaults.remove(PlayerSession::kLastURLKey);
  bridge.webContentProcessDidTerminate();
  queue.runUntilIdle();
  ASSERT_EQ(web.loads.size(), 2u);
  EXPECT_NE(web.installed.back().source.find("nativeResumeTime = 33.0;"), std::string::npos);
  EXPECT_FALSE(storedLastURL());
}

TEST_F(SessionFixture, PageReportsForAFailedSourceAreIgnored) {
  std::string path = makeFile("a.webm");
  start().loadStreamingURL(Url::fileURL(path)->absoluteString(), true);
  queue.runUntilIdle();
  ASSERT_TRUE(session->currentSourceURL());
  const std::string source = *session->currentSourceURL();
  bridgeMessage(R"({"event":"mediaError","code":4,"sourceURL":")" + source + R"("})");
  ASSERT_EQ(session->failedSourceURL(), source);
  bridge.didReceiveScriptMessage(
      "videoProgress", R"({"videoId":"webm:)" + source + R"(","currentTime":20,"title":"A"})");
  queue.runUntilIdle();
  EXPECT_TRUE(settings->recentVideos().empty());
  // Another page's error is not this media's failure.
  bridgeMessage(R"({"event":"mediaError","code":4,"sourceURL":"https://elsewhere/x.mp4"})");
  EXPECT_EQ(dialogs.alerts.size(), 1u);
}

TEST_F(SessionFixture, StartupPlaysThePendingRequestBeforeTheLastURL) {
  defaults.set(PlayerSession::kLastURLKey, std::string(kVideo));
  settings.emplace(defaults, center, [] { return Date{1000}; });
  settings->requestPlayback("abcdefghijk", 30, std::nullopt);
  start().configurePlayback();
  queue.runUntilIdle();
  EXPECT_EQ(session->currentVideoID(), "abcdefghijk");
  EXPECT_FALSE(settings->pendingPlaybackRequest());
}

TEST_F(SessionFixture, StartupWithNothingToPlayWarmsUpThePlayerPage) {
  start().configurePlayback();
  ASSERT_EQ(web.loads.size(), 1u);
  EXPECT_EQ(web.loads[0].baseURL, "https://orvel-player.invalid/");
}

TEST_F(SessionFixture, ClosingTheWindowSavesAndThenQuits) {
  start();
  playYouTube(kVideo);
  bridgeMessage(R"({"event":"time","videoId":"dQw4w9WgXcQ","currentTime":61,"duration":200,
                    "state":1})");
  defaults.remove(PlayerSession::kLastURLKey);
  session->playerWindowWillClose();
  EXPECT_EQ(storedLastURL(), kVideo);
  EXPECT_EQ(storedPosition("dQw4w9WgXcQ"), 61.0);
  EXPECT_EQ(terminations, 0);
  queue.runUntilIdle();
  EXPECT_EQ(terminations, 1);
}

TEST_F(SessionFixture, KeysNeedMediaAndStayInsideTheNativeDuration) {
  start();
  EXPECT_FALSE(session->handlePlaybackKey(49));
  session->loadStreamingURL(fileLink("film.mkv"), true);
  queue.runUntilIdle();
  native.publish(2, 100, 1);
  EXPECT_TRUE(session->handlePlaybackKey(123));
  EXPECT_EQ(native.seeks.back(), 0.0);
  native.publish(98, 100, 1);
  EXPECT_TRUE(session->handlePlaybackKey(124));
  EXPECT_EQ(native.seeks.back(), 100.0);
  EXPECT_TRUE(session->handlePlaybackKey(49));
  EXPECT_EQ(native.toggles, 1);
  EXPECT_FALSE(session->handlePlaybackKey(36));
}

TEST_F(SessionFixture, ReportsFromThePageJustLeftAreNotFiledUnderTheNewMedia) {
  start();
  const std::string first = fileLink("first.webm");
  const std::string second = fileLink("second.webm");
  session->loadStreamingURL(first, true);
  queue.runUntilIdle();
  session->loadStreamingURL(second, true);
  queue.runUntilIdle();
  bridge.didReceiveScriptMessage("videoProgress",
                                 R"({"videoId":"webm:)" + first + R"(","currentTime":20})");
  queue.runUntilIdle();
  EXPECT_EQ(session->currentVideoID(), "webm:" + second);
  EXPECT_FALSE(storedPosition("webm:" + first));
  EXPECT_TRUE(settings->recentVideos().empty());

  // Once YouTube has taken over, the old page's last report changes nothing either.
  playYouTube(kVideo);
  bridgeMessage(R"({"event":"mediaTime","videoId":"webm:)" + second +
                R"(","currentTime":9,"duration":30,"state":2,"title":"Old page"})");
  EXPECT_EQ(session->playerState(), 1);
  EXPECT_NE(session->currentVideoTitle(), "Old page");
}

TEST_F(SessionFixture, AVideoTheEmbeddedPlayerMovesOnToKeepsItsOwnLink) {
  start();
  playYouTube(kVideo);
  bridgeMessage(R"({"event":"time","videoId":"abcdefghijk","currentTime":5,"duration":100,
                    "state":1,"title":"Next"})");
  EXPECT_EQ(session->currentVideoID(), "abcdefghijk");
  EXPECT_EQ(storedLastURL(), "https://www.youtube.com/watch?v=abcdefghijk");
  ASSERT_FALSE(settings->recentVideos().empty());
  EXPECT_EQ(settings->recentVideos()[0].sourceURL, "https://www.youtube.com/watch?v=abcdefghijk");
}

TEST_F(SessionFixture, AWebProcessThatKeepsDyingEndsInTheUnableToReadAlert) {
  start().loadStreamingURL(fileLink("crash.webm"), true);
  queue.runUntilIdle();
  for (int death = 1; death <= 2; ++death) {
    bridge.webContentProcessDidTerminate();
    queue.runUntilIdle();
    EXPECT_EQ(web.loads.size(), 1u + death);
    queue.advance(10);
  }
  bridge.webContentProcessDidTerminate();
  queue.runUntilIdle();
  EXPECT_EQ(web.loads.size(), 3u);
  ASSERT_EQ(dialogs.alerts.size(), 1u);
  EXPECT_NE(dialogs.alerts[0].message.find(PlayerSession::kRepeatedTermination), std::string::npos);
}

TEST_F(SessionFixture, ArrowsStepFromTheCurrentTimeWhileTheLengthIsUnknown) {
  start().loadStreamingURL(fileLink("stream.mkv"), true);
  queue.runUntilIdle();
  native.publish(2, 0, 1);
  EXPECT_TRUE(session->handlePlaybackKey(124));
  EXPECT_EQ(native.seeks.back(), 7.0);
}

TEST_F(SessionFixture, OutlandishPlaylistIndexesAreHarmless) {
  start().loadStreamingURL(
      "https://www.youtube.com/watch?v=dQw4w9WgXcQ&list=PL1&index=-9223372036854775808", true);
  queue.runUntilIdle();
  bridgeMessage(R"({"event":"ready"})");
  EXPECT_EQ(web.scriptsStartingWith("window.ytLoad(").size(), 1u);
  const auto before = session->currentSourceURL();
  bridgeMessage(R"({"event":"time","playlistId":"PL1","playlistIndex":9223372036854775807,
                    "state":1})");
  EXPECT_EQ(session->currentSourceURL(), before);
}

// The equalizer's route, recorded: made while a web video plays, gone otherwise.
struct CountingRoute final : WebAudioEqualizer {
  explicit CountingRoute(std::vector<double>& volumesSeen) : volumes(volumesSeen) {}
  void update(const std::vector<double>&, double volume) override { volumes.push_back(volume); }
  void setVolume(double volume) override { volumes.push_back(volume); }
  std::vector<double>& volumes;
};

TEST_F(SessionFixture, TheEqualizerFollowsWhatPlaysAndTakesTheVolume) {
  FakeMediaEngine engine;
  MKVPlayback playback(queue, engine);
  std::vector<double> routeVolumes;
  int routesMade = 0;
  PlayerEqualizer equalizer(defaults, [&](const std::vector<double>&, double volume,
                                          std::function<void(const std::string&)>) {
    ++routesMade;
    routeVolumes.push_back(volume);
    return Result<std::shared_ptr<WebAudioEqualizer>>(
        std::shared_ptr<WebAudioEqualizer>(std::make_shared<CountingRoute>(routeVolumes)));
  });
  equalizer.setNativePlayback(&playback);
  start().setEqualizer(&equalizer);
  equalizer.setEnabled(true);

  playYouTube(kVideo);
  EXPECT_TRUE(equalizer.isWebAudioRunning());
  EXPECT_EQ(routesMade, 1);
  session->setVolume(40);
  queue.runUntilIdle();
  EXPECT_EQ(web.scriptsStartingWith("window.ytSetVolume(").back(), "window.ytSetVolume(100);");
  EXPECT_DOUBLE_EQ(routeVolumes.back(), 0.4);

  bridgeMessage(R"({"event":"state","state":2,"videoId":"dQw4w9WgXcQ","duration":200})");
  EXPECT_FALSE(equalizer.isWebAudioRunning());

  session->loadStreamingURL(fileLink("film.mkv"), true);
  queue.runUntilIdle();
  EXPECT_TRUE(playback.equalizerEnabled());

  // Switching the equalizer off gives the page its volume back.
  equalizer.setEnabled(false);
  session->loadStreamingURL(kVideo, true);
  queue.runUntilIdle();
  session->setVolume(30);
  queue.runUntilIdle();
  EXPECT_EQ(web.scriptsStartingWith("window.ytSetVolume(").back(), "window.ytSetVolume(30);");

  equalizer.setEnabled(true);
  session->playerWindowWillClose();
  EXPECT_FALSE(equalizer.isEnabled());
  session->setEqualizer(nullptr);
}

TEST_F(SessionFixture, WithoutARunningRouteThePageKeepsThePlayersVolume) {
  FakeMediaEngine engine;
  MKVPlayback playback(queue, engine);
  PlayerEqualizer equalizer(
      defaults, [](const std::vector<double>&, double, std::function<void(const std::string&)>) {
        return Result<std::shared_ptr<WebAudioEqualizer>>::failure(
            "Pause audio in other WebKit apps to use Orvel player’s EQ.");
      });
  equalizer.setNativePlayback(&playback);
  start().setEqualizer(&equalizer);
  equalizer.setEnabled(true);
  playYouTube(kVideo);
  ASSERT_TRUE(equalizer.errorMessage());
  // Nothing filters the sound, so the page must not be turned up to full volume.
  session->setVolume(40);
  queue.runUntilIdle();
  EXPECT_EQ(web.scriptsStartingWith("window.ytSetVolume(").back(), "window.ytSetVolume(40);");
  session->setEqualizer(nullptr);
}

// A folder of MKV files in the playlist, played through the queue.
struct QueueFixture : SessionFixture {
  std::vector<PlaylistNode> items;
  PlaylistNode trip = PlaylistNode::folder("Trip");

  PlayerSession& startWithFolder(int count) {
    for (int index = 0; index < count; ++index) {
      items.push_back(PlaylistNode::item(fileLink("clip" + std::to_string(index) + ".mkv")));
    }
    trip.children = items;
    PlaylistLibrary::save({trip, PlaylistNode::item(fileLink("loose.mkv"))}, defaults);
    return start();
  }
  static std::string mediaID(const PlaylistNode& item) { return "mkv:" + *item.url; }
  void play(std::size_t index) {
    session->playQueue().playRequest(items[index].id, trip.id);
    queue.runUntilIdle();
  }
  void endCurrent() {
    native.publish(30, 30, 0);
    queue.runUntilIdle();
  }
  std::string playing() const { return native.plays.empty() ? "" : native.plays.back().mediaID; }
  std::optional<std::string> stored(std::string_view key) const {
    auto found = defaults.values().find(std::string(key));
    return found == defaults.values().end() ? std::nullopt
                                            : std::optional(*found->second.get<std::string>());
  }
};

TEST_F(QueueFixture, TheEndOfAFoldersLastItemFollowsTheRepeatMode) {
  startWithFolder(3);
  play(2);
  EXPECT_EQ(playing(), mediaID(items[2]));
  EXPECT_EQ(stored(PlaylistLibrary::kLastPlayedKey), items[2].id.uuidString());
  EXPECT_EQ(stored(PlaylistLibrary::kScopeKey), trip.id.uuidString());
  EXPECT_EQ(PlaylistTree::find(session->library(), trip.id)->lastPlayedID, items[2].id);

  // Repeat one: the same item from its beginning, even with a position stored.
  storePlaylistRepeat(defaults, PlaylistRepeat::one);
  session->setPlaybackPosition(mediaID(items[2]), 12);
  endCurrent();
  ASSERT_EQ(native.plays.size(), 2u);
  EXPECT_EQ(playing(), mediaID(items[2]));
  EXPECT_EQ(native.plays.back().startTime, 0);

  // Repeat all: round to the first.
  storePlaylistRepeat(defaults, PlaylistRepeat::all);
  endCurrent();
  EXPECT_EQ(playing(), mediaID(items[0]));
  EXPECT_EQ(session->playlistIndex(), 0u);

  // Repeat off: the queue runs out, the item is forgotten and nothing more plays; the scope stays.
  storePlaylistRepeat(defaults, PlaylistRepeat::off);
  play(2);
  const std::size_t plays = native.plays.size();
  endCurrent();
  EXPECT_EQ(native.plays.size(), plays);
  EXPECT_FALSE(session->playlistItemID());
  EXPECT_EQ(session->playlistScope(), trip.id);
  EXPECT_FALSE(stored(PlaylistLibrary::kLastPlayedKey));
  EXPECT_FALSE(PlaylistTree::find(session->library(), trip.id)->lastPlayedID);
  // The cleared mark is stored too.
  EXPECT_FALSE(PlaylistTree::find(PlaylistLibrary::load(defaults), trip.id)->lastPlayedID);
}

// A file gone from the middle of a queue played unattended: its alert comes up, and after a few
// seconds the queue goes on. Chosen by hand, or with the alert answered, it stays.
TEST_F(QueueFixture, AnUnreadableItemTheQueueWentOnToIsPassedOverAfterAMoment) {
  startWithFolder(4);
  std::filesystem::remove(items[1].fileURL()->path());
  std::filesystem::remove(items[2].fileURL()->path());
  play(0);
  endCurrent();
  ASSERT_EQ(dialogs.alerts.size(), 1u);
  EXPECT_EQ(dialogs.alerts[0].message.rfind("clip1.mkv", 0), 0u);
  queue.advance(SourceRecovery::kFailedItemWait - 0.1);
  EXPECT_TRUE(dialogs.dismissed.empty());
  // Two unreadable items in a row are passed over in turn.
  queue.advance(0.2);
  ASSERT_EQ(dialogs.alerts.size(), 2u);
  EXPECT_EQ(dialogs.dismissed, (std::vector<std::string>{"Unable to read video"}));
  EXPECT_EQ(dialogs.alerts[1].message.rfind("clip2.mkv", 0), 0u);
  queue.advance(SourceRecovery::kFailedItemWait + 0.1);
  EXPECT_EQ(playing(), mediaID(items[3]));
  EXPECT_EQ(session->playlistIndex(), 3u);
  EXPECT_FALSE(session->failedSourceURL());

  // Chosen by hand, an unreadable item waits for the user.
  play(1);
  ASSERT_EQ(dialogs.alerts.size(), 3u);
  queue.advance(60);
  EXPECT_EQ(dialogs.dismissed.size(), 2u);
  EXPECT_EQ(session->playlistIndex(), 1u);

  // Cancelled meanwhile, it stays too.
  dialogs.alertAnswers[2](1);
  play(0);
  endCurrent();
  ASSERT_EQ(dialogs.alerts.size(), 4u);
  dialogs.alertAnswers[3](1);
  queue.advance(60);
  EXPECT_EQ(session->playlistIndex(), 1u);
}

// An item the queue reached by itself and then reopened by hand (the status menu, the watch
// history), or retried from its alert, waits for the user when it fails again.
TEST_F(QueueFixture, AnUnreadableItemReopenedByHandOrRetriedWaitsForTheUser) {
  startWithFolder(3);
  std::filesystem::remove(items[1].fileURL()->path());
  play(0);
  endCurrent();
  ASSERT_EQ(dialogs.alerts.size(), 1u);
  dialogs.alertAnswers[0](0);  // Retry: it fails again
  queue.runUntilIdle();
  ASSERT_EQ(dialogs.alerts.size(), 2u);
  queue.advance(60);
  EXPECT_TRUE(dialogs.dismissed.empty());
  EXPECT_EQ(session->playlistIndex(), 1u);
  dialogs.alertAnswers[1](1);

  // Passed over, the queue reaches the third item by itself; its file goes later, and the user
  // opens it again from the status menu.
  play(0);
  endCurrent();
  queue.advance(SourceRecovery::kFailedItemWait + 0.1);
  ASSERT_EQ(playing(), mediaID(items[2]));
  std::filesystem::remove(items[2].fileURL()->path());
  center.post("openRecentVideo", {{"videoID", mediaID(items[2])}, {"sourceURL", *items[2].url}});
  queue.runUntilIdle();
  ASSERT_EQ(dialogs.alerts.size(), 4u);
  queue.advance(60);
  EXPECT_EQ(dialogs.dismissed.size(), 1u);
  EXPECT_EQ(session->playlistIndex(), 2u);
}

TEST_F(QueueFixture, PreviousAndNextFollowTheQueueOrAYouTubePlaylistsPage) {
  startWithFolder(3);
  play(0);
  EXPECT_FALSE(session->playQueue().hasPrevious());
  ASSERT_TRUE(session->playQueue().hasNext());
  session->playQueue().next();
  queue.runUntilIdle();
  EXPECT_EQ(playing(), mediaID(items[1]));
  session->playQueue().next();
  queue.runUntilIdle();
  EXPECT_FALSE(session->playQueue().hasNext());
  session->playQueue().next();
  queue.runUntilIdle();
  EXPECT_EQ(playing(), mediaID(items[2]));
  session->playQueue().previous();
  queue.runUntilIdle();
  EXPECT_EQ(playing(), mediaID(items[1]));

  // A YouTube playlist goes back and on inside its page, always.
  playYouTube("https://www.youtube.com/playlist?list=PLqueue");
  EXPECT_TRUE(session->playQueue().hasPrevious());
  EXPECT_TRUE(session->playQueue().hasNext());
  session->playQueue().next();
  session->playQueue().previous();
  queue.runUntilIdle();
  EXPECT_EQ(web.scriptsStartingWith("window.ytNext();").size(), 1u);
  EXPECT_EQ(web.scriptsStartingWith("window.ytPrevious();").size(), 1u);
}

TEST_F(QueueFixture, OpeningAQueuedFileFindsItsFolderWhenTheStoredScopeNoLongerHoldsIt) {
  defaults.set(PlaylistLibrary::kScopeKey, PropertyList(Uuid::random().uuidString()));
  startWithFolder(3).loadStreamingURL(*items[1].url, true);
  queue.runUntilIdle();
  EXPECT_EQ(session->playlistItemID(), items[1].id);
  EXPECT_EQ(session->playlistScope(), trip.id);
  EXPECT_EQ(session->playlistIndex(), 1u);
  // A link outside the library has no place in the queue.
  session->loadStreamingURL(fileLink("elsewhere.mkv"), true);
  queue.runUntilIdle();
  EXPECT_FALSE(session->playlistItemID());
  EXPECT_FALSE(session->playQueue().hasNext());
}

TEST_F(QueueFixture, DeletingThePlayingFileTrashesItAndPlaysTheItemThatTookItsPlace) {
  startWithFolder(5);
  play(2);
  session->fileDeletion().confirm();
  ASSERT_EQ(dialogs.alerts.size(), 1u);
  EXPECT_EQ(dialogs.alerts[0].title, "Stop playback and delete this file?");
  EXPECT_EQ(dialogs.alerts[0].message,
            "clip2.mkv will be moved from its original folder to the Trash and removed from the "
            "playlist. You can restore it from Trash.");
  EXPECT_EQ(dialogs.alerts[0].destructiveButton, 0u);
  dialogs.alertAnswers[0](0);
  queue.runUntilIdle();
  EXPECT_EQ(trashed, std::vector<std::string>{folder.file("clip2.mkv")});
  EXPECT_EQ(playing(), mediaID(items[3]));
  EXPECT_EQ(session->playQueue().items().size(), 4u);
  EXPECT_FALSE(session->playbackPositions().contains(mediaID(items[2])));
  EXPECT_EQ(PlaylistLibrary::load(defaults), session->library());

  // The last item of the scope: nothing follows with repeat off, the first with repeat all.
  play(4);
  session->fileDeletion().deleteCurrentFile();
  queue.runUntilIdle();
  EXPECT_FALSE(session->currentVideoID());
  EXPECT_EQ(session->statusMessage(), "Original file moved to Trash");
  storePlaylistRepeat(defaults, PlaylistRepeat::all);
  play(3);
  session->fileDeletion().deleteCurrentFile();
  queue.runUntilIdle();
  EXPECT_EQ(playing(), mediaID(items[0]));
}

// The Trash refusing leaves the file on disk, so everything the user made of it stays: its place,
// its history and the last link.
TEST_F(QueueFixture, ATrashThatFailsSaysWhyAndKeepsTheLibraryThePlaceAndTheHistory) {
  startWithFolder(2);
  play(0);
  const std::string mediaID = playing();
  native.publish(40, 100, 2);
  queue.runUntilIdle();
  session->flushPlaybackPositionToDefaults();
  ASSERT_EQ(storedPosition(mediaID), 40);
  ASSERT_FALSE(settings->watchHistoryVideos().empty());
  const auto lastURL = storedLastURL();
  trashError = "Permission denied";
  session->fileDeletion().deleteCurrentFile();
  queue.runUntilIdle();
  EXPECT_EQ(session->statusMessage(), "Could not move clip0.mkv to Trash: Permission denied");
  EXPECT_EQ(session->playQueue().items().size(), 2u);
  EXPECT_FALSE(session->currentVideoID());  // playback stopped first, as the user asked
  EXPECT_EQ(storedPosition(mediaID), 40);
  EXPECT_FALSE(settings->watchHistoryVideos().empty());
  EXPECT_EQ(storedLastURL(), lastURL);
  queue.advance(2.0);
  EXPECT_NE(session->statusMessage(), "Could not move clip0.mkv to Trash: Permission denied");
}

TEST_F(QueueFixture, TheLengthThePlayerReportsIsKeptForThePlaylist) {
  startWithFolder(1);
  play(0);
  native.publish(2, 30.5, 1);
  queue.runUntilIdle();
  auto durations = defaults.object(PlaylistLibrary::kMediaDurationsKey);
  ASSERT_TRUE(durations && durations->get<PropertyList::Dictionary>());
  const auto& table = *durations->get<PropertyList::Dictionary>();
  ASSERT_TRUE(table.contains(mediaID(items[0])));
  EXPECT_EQ(*table.at(mediaID(items[0])).get<double>(), 30.5);
}

TEST_F(SessionFixture, AnUnreadableStoredPlaylistIsKeptAsideBeforeAnythingIsSaved) {
  const std::string garbage = "[{\"id\": 7";
  defaults.set(PlaylistLibrary::kLibraryKey,
               PropertyList(PropertyList::Data(garbage.begin(), garbage.end())));
  start().setLibrary({PlaylistNode::item(fileLink("new.mkv"))});
  auto aside = defaults.object(std::string(PlaylistLibrary::kLibraryKey) + ".corrupt");
  ASSERT_TRUE(aside);
  const auto* data = aside->get<PropertyList::Data>();
  ASSERT_TRUE(data);
  EXPECT_EQ(std::string(data->begin(), data->end()), garbage);
}

}  // namespace
}  // namespace orvel
