#include "media/LinkDetector.h"

#include <algorithm>
#include <array>

#include "core/Text.h"
#include "core/Url.h"

namespace orvel {
namespace {

bool isAlpha(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}
bool isDigit(char c) {
  return c >= '0' && c <= '9';
}
bool isHostCharacter(char c) {
  return isAlpha(c) || isDigit(c) || c == '-' || c == '.';
}
bool isSchemeCharacter(char c) {
  return isAlpha(c) || isDigit(c) || c == '+' || c == '-' || c == '.';
}

bool isLinkCharacter(char c) {
  static constexpr std::string_view kAllowed = "-._~:/?#[]@!$&'()*+,;=%";
  return isAlpha(c) || isDigit(c) || kAllowed.find(c) != std::string_view::npos;
}

// Top-level domains longer than two letters that bare domains are recognised by; every
// two-letter country domain counts too. File names such as "notes.txt" are thus not links.
constexpr std::array<std::string_view, 28> kGenericDomains = {
    "com",   "org",  "net",   "edu",   "gov",  "mil",  "int",  "info", "biz",    "name",
    "pro",   "app",  "dev",   "io",    "tv",   "me",   "xyz",  "site", "online", "video",
    "media", "live", "movie", "music", "blog", "news", "page", "store"};

bool isKnownTopLevelDomain(std::string_view label) {
  if (label.size() < 2 || !std::all_of(label.begin(), label.end(), isAlpha)) {
    return false;
  }
  if (label.size() == 2) {
    return true;
  }
  const std::string lower = asciiLowercased(label);
  return std::find(kGenericDomains.begin(), kGenericDomains.end(), lower) != kGenericDomains.end();
}

// The end of the link that starts at `start`: link characters, less trailing punctuation and
// closing brackets that have no opening partner inside the link.
std::size_t linkEnd(std::string_view text, std::size_t start) {
  std::size_t end = start;
  while (end < text.size() && isLinkCharacter(text[end])) {
    ++end;
  }
  while (end > start) {
    const char last = text[end - 1];
    if (std::string_view(".,;:!?'").find(last) != std::string_view::npos) {
      --end;
      continue;
    }
    const std::string_view closers = ")]}";
    const std::size_t which = closers.find(last);
    if (which != std::string_view::npos) {
      const char opener = "([{"[which];
      const std::string_view link = text.substr(start, end - start);
      if (std::count(link.begin(), link.end(), opener) <
          std::count(link.begin(), link.end(), last)) {
        --end;
        continue;
      }
    }
    break;
  }
  return end;
}

// A link with a scheme: "://" preceded by a scheme that starts at a word boundary.
// `end` receives where the scan may go on, so a run of failed candidates is read only once.
std::optional<std::string> schemeLinkAt(std::string_view text, std::size_t separator,
                                        std::size_t& end) {
  std::size_t start = separator;
  while (start > 0 && isSchemeCharacter(text[start - 1])) {
    --start;
  }
  // The scheme begins with its first letter.
  while (start < separator && !isAlpha(text[start])) {
    ++start;
  }
  end = separator + 3;
  if (start == separator) {
    return std::nullopt;
  }
  end = std::max(end, linkEnd(text, start));
  if (end <= separator + 3) {
    return std::nullopt;
  }
  std::string candidate(text.substr(start, end - start));
  auto url = Url::parse(candidate);
  if (!url || !url->hasHost()) {
    return std::nullopt;
  }
  return candidate;
}

// A "www." or bare-domain link at a word boundary.
std::optional<std::string> domainLinkAt(std::string_view text, std::size_t start,
                                        std::size_t& hostEnd) {
  hostEnd = start;
  while (hostEnd < text.size() && isHostCharacter(text[hostEnd])) {
    ++hostEnd;
  }
  std::string_view host = text.substr(start, hostEnd - start);
  while (!host.empty() && (host.back() == '.' || host.back() == '-')) {
    host.remove_suffix(1);
  }
  const std::size_t dot = host.rfind('.');
  if (dot == std::string_view::npos || dot == 0 ||
      !(isAlpha(host.front()) || isDigit(host.front()))) {
    return std::nullopt;
  }
  const bool www = host.size() > 4 && asciiLowercased(host.substr(0, 4)) == "www.";
  if (!www && !isKnownTopLevelDomain(host.substr(dot + 1))) {
    return std::nullopt;
  }
  std::size_t end = start + host.size();
  if (end == hostEnd && end < text.size() &&
      std::string_view(":/?#").find(text[end]) != std::string_view::npos) {
    end = linkEnd(text, start);
  }
  std::string candidate = "https://" + std::string(text.substr(start, end - start));
  auto url = Url::parse(candidate);
  if (!url || !url->hasHost()) {
    return std::nullopt;
  }
  return candidate;
}

}  // namespace

std::optional<std::string> LinkDetector::firstLink(std::string_view text) {
  std::size_t index = 0;
  while (index < text.size()) {
    const char c = text[index];
    if (c == ':' && text.substr(index, 3) == "://") {
      std::size_t end = index;
      if (auto link = schemeLinkAt(text, index, end)) {
        return link;
      }
      index = end;
      continue;
    }
    const bool atBoundary =
        index == 0 || !(isHostCharacter(text[index - 1]) || text[index - 1] == '@' ||
                        text[index - 1] == '/' || text[index - 1] == ':' || text[index - 1] == '%');
    if (atBoundary && (isAlpha(c) || isDigit(c))) {
      std::size_t hostEnd = index;
      const bool followedBySeparator = [&] {
        std::size_t end = index;
        while (end < text.size() && isHostCharacter(text[end])) {
          ++end;
        }
        return text.substr(end, 3) == "://";
      }();
      if (!followedBySeparator) {
        if (auto link = domainLinkAt(text, index, hostEnd)) {
          return link;
        }
        index = std::max(hostEnd, index + 1);
        continue;
      }
    }
    ++index;
  }
  return std::nullopt;
}

}  // namespace orvel
