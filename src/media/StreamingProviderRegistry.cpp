// SPDX-License-Identifier: GPL-3.0-or-later

#include "media/StreamingProviderRegistry.h"

#include "core/Text.h"
#include "media/DisneyPlusProvider.h"
#include "media/LinkDetector.h"
#include "media/VideoFileProvider.h"
#include "media/YouTubeProvider.h"

namespace orvel {
namespace {

bool isHostNameCharacter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' ||
         c == '-';
}

bool isLineBreak(std::string_view text, std::size_t index) {
  const char c = text[index];
  if (c == '\n' || c == '\r' || c == '\v' || c == '\f') {
    return true;
  }
  // U+0085, U+2028 and U+2029 end a line too.
  const std::string_view rest = text.substr(index);
  return rest.starts_with("\xC2\x85") || rest.starts_with("\xE2\x80\xA8") ||
         rest.starts_with("\xE2\x80\xA9");
}

// A bare host name with an optional port and path, query or fragment on one line, such as
// "youtube.com/watch?v=abc" typed without a scheme.
bool looksLikeBareHostName(std::string_view text) {
  std::size_t hostEnd = 0;
  while (hostEnd < text.size() && isHostNameCharacter(text[hostEnd])) {
    ++hostEnd;
  }
  const std::string_view host = text.substr(0, hostEnd);
  const std::size_t dot = host.rfind('.');
  if (dot == std::string_view::npos || dot == 0 || host.size() - dot - 1 < 2) {
    return false;
  }
  for (char c : host.substr(dot + 1)) {
    if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'))) {
      return false;
    }
  }
  std::size_t index = hostEnd;
  if (index < text.size() && text[index] == ':') {
    const std::size_t digits = ++index;
    while (index < text.size() && text[index] >= '0' && text[index] <= '9') {
      ++index;
    }
    if (index == digits) {
      return false;
    }
  }
  if (index == text.size()) {
    return true;
  }
  if (text[index] != '/' && text[index] != '?' && text[index] != '#') {
    return false;
  }
  for (; index < text.size(); ++index) {
    if (isLineBreak(text, index)) {
      return false;
    }
  }
  return true;
}

std::optional<std::string> absoluteStringWithHost(std::string_view text) {
  auto url = Url::parse(text);
  if (url && url->hasHost()) {
    return url->absoluteString();
  }
  return std::nullopt;
}

}  // namespace

const StreamingProviderRegistry& StreamingProviderRegistry::shared() {
  static const StreamingProviderRegistry registry = [] {
    std::vector<std::unique_ptr<StreamingProvider>> providers;
    providers.push_back(std::make_unique<YouTubeProvider>());
    providers.push_back(std::make_unique<DisneyPlusProvider>());
    providers.push_back(std::make_unique<VideoFileProvider>("mp4"));
    providers.push_back(std::make_unique<VideoFileProvider>("webm"));
    providers.push_back(std::make_unique<VideoFileProvider>("mkv"));
    return StreamingProviderRegistry(std::move(providers));
  }();
  return registry;
}

StreamingProviderRegistry::StreamingProviderRegistry(
    std::vector<std::unique_ptr<StreamingProvider>> providers)
    : providers_(std::move(providers)) {}

std::optional<std::string> StreamingProviderRegistry::normalizedInput(std::string_view input) {
  const std::string_view trimmed = trimmedWhitespace(input);
  if (trimmed.empty()) {
    return std::nullopt;
  }
  if (looksLikeBareHostName(trimmed)) {
    if (auto url = Url::parse("https://" + std::string(trimmed))) {
      return url->absoluteString();
    }
  }
  static constexpr std::string_view kWrapping = "\"'<>()[]{} ,;.";
  std::string_view unwrapped = trimmed;
  const std::size_t first = unwrapped.find_first_not_of(kWrapping);
  unwrapped = first == std::string_view::npos ? std::string_view() : unwrapped.substr(first);
  unwrapped = unwrapped.substr(0, unwrapped.find_last_not_of(kWrapping) + 1);
  if (auto url = Url::parse(unwrapped)) {
    // A file URL already is what it stands for; asking the link detector about it would only
    // cost time (playlists of many files resolve every entry).
    if (url->hasHost() || url->isFileURL()) {
      return url->absoluteString();
    }
  }
  if (auto decoded = removingPercentEncoding(trimmed); decoded && *decoded != trimmed) {
    if (auto absolute = absoluteStringWithHost(*decoded)) {
      return absolute;
    }
  }
  return LinkDetector::firstLink(trimmed);
}

std::optional<StreamingMedia> StreamingProviderRegistry::resolve(std::string_view input,
                                                                 StartTime startTime) const {
  if (input.size() > kLongestLinkText) {
    return std::nullopt;
  }
  const std::optional<std::string> normalized = normalizedInput(input);
  const std::string_view candidate = normalized ? std::string_view(*normalized) : input;
  // The first answer wins; providers have no side effects, so the rest need not be asked.
  for (const auto& provider : providers_) {
    if (auto media = provider->resolve(candidate, startTime)) {
      return media;
    }
  }
  return std::nullopt;
}

const StreamingProvider* StreamingProviderRegistry::provider(std::string_view mediaID) const {
  std::string_view wanted = "youtube";
  for (std::string_view prefix : {"mkv", "webm", "mp4", "disneyplus"}) {
    if (mediaID.starts_with(prefix) && mediaID.substr(prefix.size()).starts_with(":")) {
      wanted = prefix;
      break;
    }
  }
  for (const auto& candidate : providers_) {
    if (candidate->id() == wanted) {
      return candidate.get();
    }
  }
  return nullptr;
}

}  // namespace orvel
