// SPDX-License-Identifier: GPL-3.0-or-later

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

// Characters beyond ASCII that end a link although they are not space: CJK and full-width
// punctuation, typographic quotes and guillemets.
bool endsLink(char32_t c) {
  return isWhitespaceOrNewline(c) || (c >= 0x3000 && c <= 0x303F) || (c >= 0xFF00 && c <= 0xFF0F) ||
         (c >= 0x2018 && c <= 0x201F) || c == 0xAB || c == 0xBB;
}

// The end of the run of link characters from `start`; letters beyond ASCII (UTF-8) belong to it.
std::size_t runEnd(std::string_view text, std::size_t start) {
  std::size_t end = start;
  while (end < text.size()) {
    if (static_cast<unsigned char>(text[end]) < 0x80) {
      if (!isLinkCharacter(text[end])) {
        break;
      }
      ++end;
      continue;
    }
    char32_t codePoint = 0;
    const std::size_t length = decodeUTF8(text, end, codePoint);
    if (length == 0 || endsLink(codePoint)) {
      break;
    }
    end += length;
  }
  return end;
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

// The end of the link that starts at `start` and runs to `end`, less trailing punctuation and
// closing brackets that have no opening partner inside the link.
std::size_t trimmedLinkEnd(std::string_view text, std::size_t start, std::size_t end) {
  static constexpr std::string_view kOpeners = "([{";
  static constexpr std::string_view kClosers = ")]}";
  std::array<std::ptrdiff_t, 3> unbalanced{};
  for (std::size_t index = start; index < end; ++index) {
    if (std::size_t which = kOpeners.find(text[index]); which != std::string_view::npos) {
      --unbalanced[which];
    } else if (which = kClosers.find(text[index]); which != std::string_view::npos) {
      ++unbalanced[which];
    }
  }
  while (end > start) {
    const char last = text[end - 1];
    if (std::string_view(".,;:!?'").find(last) != std::string_view::npos) {
      --end;
      continue;
    }
    const std::size_t which = kClosers.find(last);
    if (which != std::string_view::npos && unbalanced[which] > 0) {
      --unbalanced[which];
      --end;
      continue;
    }
    break;
  }
  return end;
}

// The candidate as a link with a host, or none.
std::optional<std::string> linkWithHost(std::string candidate) {
  auto url = Url::parse(candidate);
  if (!url || !url->hasHost()) {
    return std::nullopt;
  }
  return url->absoluteString();
}

// A link with a scheme: "://" preceded by a scheme that starts at a word boundary. `next`
// receives where the scan goes on, past everything this candidate read, so that the text is read
// a bounded number of times however many candidates fail.
std::optional<std::string> schemeLinkAt(std::string_view text, std::size_t separator,
                                        std::size_t& next) {
  std::size_t start = separator;
  while (start > 0 && isSchemeCharacter(text[start - 1])) {
    --start;
  }
  // The scheme begins with its first letter.
  while (start < separator && !isAlpha(text[start])) {
    ++start;
  }
  const std::size_t rawEnd = runEnd(text, separator);
  next = std::max(rawEnd, separator + 3);
  if (start == separator) {
    return std::nullopt;
  }
  const std::size_t end = trimmedLinkEnd(text, start, rawEnd);
  if (end <= separator + 3) {
    return std::nullopt;
  }
  return linkWithHost(std::string(text.substr(start, end - start)));
}

// A "www." or bare-domain link at a word boundary; `next` as above.
std::optional<std::string> domainLinkAt(std::string_view text, std::size_t start,
                                        std::size_t& next) {
  std::size_t hostEnd = start;
  while (hostEnd < text.size() && isHostCharacter(text[hostEnd])) {
    ++hostEnd;
  }
  next = std::max(hostEnd, start + 1);
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
    const std::size_t rawEnd = runEnd(text, start);
    next = std::max(next, rawEnd);
    end = trimmedLinkEnd(text, start, rawEnd);
  }
  return linkWithHost("https://" + std::string(text.substr(start, end - start)));
}

}  // namespace

std::optional<std::string> LinkDetector::firstLink(std::string_view text) {
  std::size_t index = 0;
  while (index < text.size()) {
    const char c = text[index];
    std::size_t next = index + 1;
    if (c == ':' && text.substr(index, 3) == "://") {
      if (auto link = schemeLinkAt(text, index, next)) {
        return link;
      }
    } else if (isAlpha(c) || isDigit(c)) {
      const char before = index == 0 ? ' ' : text[index - 1];
      const bool atBoundary = !(isHostCharacter(before) || before == '@' || before == '/' ||
                                before == ':' || before == '%');
      std::size_t hostEnd = index;
      while (hostEnd < text.size() && isHostCharacter(text[hostEnd])) {
        ++hostEnd;
      }
      if (text.substr(hostEnd, 3) == "://") {
        // The scheme of a link: read it when the scan reaches its separator.
        next = hostEnd;
      } else if (atBoundary) {
        if (auto link = domainLinkAt(text, index, next)) {
          return link;
        }
      } else {
        next = hostEnd;
      }
    }
    index = next;
  }
  return std::nullopt;
}

}  // namespace orvel
