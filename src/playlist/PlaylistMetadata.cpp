// SPDX-License-Identifier: GPL-3.0-or-later

#include "playlist/PlaylistMetadata.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <utility>

#include "core/PropertyList.h"
#include "playlist/PlaylistLibrary.h"

namespace orvel {

PlaylistMetadata::PlaylistMetadata(const StreamingProviderRegistry& registry, FileProbe probe,
                                   Worker worker, YouTubeLoader youTube)
    : registry_(registry),
      probe_(std::move(probe)),
      worker_(std::move(worker)),
      youTube_(std::move(youTube)) {}

void PlaylistMetadata::load(const std::string& url) {
  if (!requested_.insert(url).second) {
    return;
  }
  auto media = registry_.resolve(url);
  if (!media) {
    return;
  }
  if (!media->playbackURL.isFileURL()) {
    // YouTube's titles and artwork come from the network; other links have nothing more to show.
    if (media->providerID == "youtube" && youTube_) {
      youTube_(url, media->mediaID,
               lifetime_.guard([this, url](Info info) { publish(url, std::move(info)); }));
    } else {
      publish(url, Info{});
    }
    return;
  }
  if (!probe_ || !worker_) {
    publish(url, Info{});
    return;
  }
  // Every file gets a thumbnail; only MP4 files are asked for their facts.
  std::string extension = media->playbackURL.pathExtension();
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  // Reading a file may wait on a slow disk: never on the main loop. The work may outlive this
  // object and the worker; it holds copies and a guarded way back.
  worker_([path = media->playbackURL.path(), readFacts = extension == "mp4", probe = probe_,
           done = lifetime_.guard([this, url](Info info) { publish(url, std::move(info)); })] {
    return std::function<void()>(
        [done, info = probe(path, readFacts)]() mutable { done(std::move(info)); });
  });
}

const PlaylistMetadata::Info* PlaylistMetadata::info(const std::string& url) const {
  auto found = info_.find(url);
  return found == info_.end() ? nullptr : &found->second;
}

ObserverToken PlaylistMetadata::observeChanges(std::function<void(const std::string&)> observer) {
  return observers_.add(std::move(observer));
}

void PlaylistMetadata::publish(const std::string& url, Info info) {
  info_[url] = std::move(info);
  observers_.notify(url);
}

namespace {

PropertyList::Dictionary storedDurations(const Defaults& defaults) {
  if (auto stored = defaults.object(PlaylistLibrary::kMediaDurationsKey)) {
    if (const auto* dictionary = stored->get<PropertyList::Dictionary>()) {
      return *dictionary;
    }
  }
  return {};
}

std::optional<double> durationIn(const PropertyList::Dictionary& durations,
                                 const std::string& mediaID) {
  if (auto found = durations.find(mediaID); found != durations.end()) {
    if (const double* real = found->second.get<double>(); real && std::isfinite(*real)) {
      return *real;
    }
    if (const std::int64_t* whole = found->second.get<std::int64_t>()) {
      return static_cast<double>(*whole);
    }
  }
  return std::nullopt;
}

}  // namespace

std::optional<double> PlaylistMetadata::recordedDuration(const Defaults& defaults,
                                                         const std::string& mediaID) {
  return durationIn(storedDurations(defaults), mediaID);
}

void PlaylistMetadata::recordDuration(Defaults& defaults, double seconds,
                                      const std::string& mediaID) {
  if (!std::isfinite(seconds) || seconds <= 0) {
    return;
  }
  PropertyList::Dictionary durations = storedDurations(defaults);
  const double previous = durationIn(durations, mediaID).value_or(0);
  if (std::abs(previous - seconds) < 1.0) {
    return;
  }
  durations.insert_or_assign(mediaID, PropertyList(seconds));
  defaults.set(PlaylistLibrary::kMediaDurationsKey, PropertyList(std::move(durations)));
}

std::string PlaylistMetadata::codecName(std::uint32_t code) {
  std::string text;
  for (int shift = 24; shift >= 0; shift -= 8) {
    const auto byte = static_cast<unsigned char>((code >> shift) & 0xFF);
    if (byte < 0x20 || byte > 0x7E) {
      return "";
    }
    text.push_back(static_cast<char>(byte));
  }
  if (text == "avc1" || text == "avc3") {
    return "H.264";
  }
  if (text == "hvc1" || text == "hev1") {
    return "HEVC";
  }
  if (text == "av01") {
    return "AV1";
  }
  if (text == "vp09") {
    return "VP9";
  }
  if (text == "ap4h" || text == "apch" || text == "apcn" || text == "apcs" || text == "apco") {
    return "ProRes";
  }
  const auto first = text.find_first_not_of(' ');
  if (first == std::string::npos) {
    return "";
  }
  text = text.substr(first, text.find_last_not_of(' ') - first + 1);
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return text;
}

}  // namespace orvel
