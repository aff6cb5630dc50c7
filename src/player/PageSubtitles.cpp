// SPDX-License-Identifier: GPL-3.0-or-later

#include "player/PageSubtitles.h"

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <variant>

#include "core/Log.h"
#include "core/Translation.h"
#include "player/MediaTracks.h"
#include "player/PlayerPageScripts.h"
#include "player/SubtitleFile.h"

namespace orvel {
namespace {

// How many subtitle files beside a video are offered, and how much of a large folder is read to
// find them.
constexpr std::size_t kMostBeside = 8;
constexpr std::size_t kMostEntriesRead = 20000;

// "film.en.srt" beside "film.webm" gives "en", "film.srt" nothing, a file of another name none.
std::optional<std::string> languageOf(const std::string& name, const std::string& stem) {
  if (!name.starts_with(stem + ".") || !SubtitleFile::hasSubtitleExtension(name)) {
    return std::nullopt;
  }
  const std::size_t extension = name.rfind('.');
  if (extension == stem.size()) {
    return std::string();
  }
  const std::string language = name.substr(stem.size() + 1, extension - stem.size() - 1);
  const bool word = language.size() <= 16 && language.find('.') == std::string::npos;
  return word ? std::optional(language) : std::nullopt;
}

}  // namespace

std::vector<PageSubtitles::Beside> PageSubtitles::filesBeside(const std::string& videoPath) {
  const std::filesystem::path video(videoPath);
  const std::string stem = video.stem().string();
  std::vector<Beside> found;
  std::error_code error;
  std::filesystem::directory_iterator entries(video.parent_path(), error);
  for (std::size_t read = 0;
       !error && entries != std::filesystem::directory_iterator() && read < kMostEntriesRead;
       entries.increment(error), ++read) {
    const std::string name = entries->path().filename().string();
    if (auto language = languageOf(name, stem)) {
      found.push_back({entries->path().string(), *language});
    }
  }
  std::sort(found.begin(), found.end(), [](const Beside& a, const Beside& b) {
    return std::tie(a.language, a.path) < std::tie(b.language, b.path);
  });
  if (found.size() > kMostBeside) {
    found.resize(kMostBeside);
  }
  return found;
}

std::string PageSubtitles::addScript(std::int64_t id, const MediaTrack& track,
                                     const std::vector<SubtitleCues::Cue>& cues) {
  using PlayerPageScripts::jsNumber;
  using PlayerPageScripts::jsString;
  std::ostringstream script;
  script.imbue(std::locale::classic());
  script << "(() => { const v = document.querySelector('video'); if (!v) return '';"
            " const all = window.__orvelSubtitles || (window.__orvelSubtitles = {});"
            " const id = "
         << jsString(std::to_string(id)) << "; if (all[id]) return 'ok';"
         << " const t = v.addTextTrack('subtitles', " << jsString(MediaTracks::label(track, 1))
         << ", " << jsString(track.language) << "); t.mode = 'hidden'; const cues = [";
  for (const SubtitleCues::Cue& cue : cues) {
    script << "[" << jsNumber(cue.start) << "," << jsNumber(cue.end) << "," << jsString(cue.text)
           << "],";
  }
  script << "]; for (const c of cues) { try { t.addCue(new VTTCue(c[0], c[1], c[2])); }"
            " catch (e) {} } t.mode = 'disabled'; all[id] = t; return 'ok'; })()";
  return script.str();
}

std::string PageSubtitles::selectScript(std::optional<std::int64_t> id) {
  return "(() => { const all = window.__orvelSubtitles || {}; const id = " +
         PlayerPageScripts::jsString(id ? std::to_string(*id) : "") +
         "; for (const k in all) all[k].mode = k === id ? 'showing' : 'disabled'; })()";
}

void PageSubtitles::start(const std::optional<std::string>& videoPath) {
  clear();
  active_ = true;
  if (videoPath) {
    read(*videoPath, false);
  }
}

void PageSubtitles::clear() {
  ++video_;
  active_ = false;
  ready_ = false;
  if (!tracks_.empty()) {
    tracks_.clear();
    host_.changed();
  }
}

void PageSubtitles::videoReady() {
  if (active_ && !ready_) {
    ready_ = true;
    pushIntoPage();
  }
}

void PageSubtitles::add(const std::string& path) {
  read(path, true);
}

void PageSubtitles::read(const std::string& path, bool dropped) {
  auto done = lifetime_.guard([this, video = video_, dropped](std::vector<Loaded> loaded) {
    if (video == video_) {
      took(std::move(loaded), dropped);
    }
  });
  host_.inBackground([path, dropped, done]() -> std::function<void()> {
    std::vector<Loaded> loaded;
    for (Beside& file : dropped ? std::vector<Beside>{{path, ""}} : filesBeside(path)) {
      Loaded one{std::move(file), {}, {}};
      auto result = SubtitleCues::read(one.file.path);
      if (auto* cues = std::get_if<std::vector<SubtitleCues::Cue>>(&result)) {
        one.cues = std::move(*cues);
      } else {
        one.problem = std::get<std::string>(result);
      }
      loaded.push_back(std::move(one));
    }
    return [done, loaded = std::move(loaded)]() mutable { done(std::move(loaded)); };
  });
}

void PageSubtitles::took(std::vector<Loaded> loaded, bool dropped) {
  bool added = false;
  for (Loaded& one : loaded) {
    if (!one.problem.empty()) {
      if (dropped) {
        host_.statusMessage(one.problem, 6.0);
      }
      logLine("Subtitles", one.problem);
      continue;
    }
    const auto id = static_cast<std::int64_t>(tracks_.size() + 1);
    MediaTrack track{MediaTrack::Kind::subtitle,
                     id,
                     one.file.language,
                     one.file.language.empty()
                         ? std::filesystem::path(one.file.path).filename().string()
                         : std::string(),
                     false,
                     true};
    // A dropped file is shown; of the files beside the video, the first.
    const bool show = dropped || !selected();
    if (show) {
      for (Track& other : tracks_) {
        other.track.selected = false;
      }
      track.selected = true;
    }
    tracks_.push_back({track, addScript(id, track, one.cues), false});
    added = true;
  }
  if (!added) {
    return;
  }
  if (dropped) {
    host_.statusMessage(_("Subtitles added"), 2.0);
  }
  if (ready_) {
    pushIntoPage();
  }
  host_.changed();
}

std::optional<std::int64_t> PageSubtitles::selected() const {
  for (const Track& track : tracks_) {
    if (track.track.selected) {
      return track.track.id;
    }
  }
  return std::nullopt;
}

std::vector<MediaTrack> PageSubtitles::tracks() const {
  std::vector<MediaTrack> listed;
  for (const Track& track : tracks_) {
    listed.push_back(track.track);
  }
  return listed;
}

void PageSubtitles::select(std::optional<std::int64_t> id) {
  for (Track& track : tracks_) {
    track.track.selected = id && track.track.id == *id;
  }
  if (ready_) {
    host_.evaluate(selectScript(selected()));
  }
  host_.changed();
}

void PageSubtitles::pushIntoPage() {
  for (Track& track : tracks_) {
    if (!track.inPage) {
      host_.evaluate(track.script);
      track.inPage = true;
      std::string().swap(track.script);
    }
  }
  host_.evaluate(selectScript(selected()));
}

}  // namespace orvel
