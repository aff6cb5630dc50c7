// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/UpdateCheck.h"

#include <glib.h>

#include <cstdlib>
#include <memory>
#include <vector>

#include "core/Translation.h"

namespace orvel::UpdateCheck {
namespace {

// What the parser gathers of one <item>.
struct Item {
  std::string shortVersion;
  std::string version;
  std::string notes;
  std::string link;
};

struct Parse {
  std::vector<Item> items;
  bool inItem = false;
  std::string element;
  bool sawChannel = false;
};

const char* attribute(const gchar** names, const gchar** values, const char* wanted) {
  for (; *names; ++names, ++values) {
    if (g_strcmp0(*names, wanted) == 0) {
      return *values;
    }
  }
  return nullptr;
}

void startElement(GMarkupParseContext*, const gchar* name, const gchar** names,
                  const gchar** values, gpointer data, GError**) {
  auto& parse = *static_cast<Parse*>(data);
  const std::string element = name;
  if (element == "channel") {
    parse.sawChannel = true;
  } else if (element == "item") {
    parse.inItem = true;
    parse.items.emplace_back();
  } else if (parse.inItem && element == "enclosure") {
    Item& item = parse.items.back();
    if (const char* shortVersion = attribute(names, values, "sparkle:shortVersionString")) {
      item.shortVersion = item.shortVersion.empty() ? shortVersion : item.shortVersion;
    }
    if (const char* version = attribute(names, values, "sparkle:version")) {
      item.version = item.version.empty() ? version : item.version;
    }
  }
  parse.element = element;
}

void endElement(GMarkupParseContext*, const gchar* name, gpointer data, GError**) {
  auto& parse = *static_cast<Parse*>(data);
  if (g_strcmp0(name, "item") == 0) {
    parse.inItem = false;
  }
  parse.element.clear();
}

void text(GMarkupParseContext*, const gchar* content, gsize length, gpointer data, GError**) {
  auto& parse = *static_cast<Parse*>(data);
  if (!parse.inItem) {
    return;
  }
  Item& item = parse.items.back();
  const std::string value(content, length);
  if (parse.element == "sparkle:shortVersionString") {
    item.shortVersion += value;
  } else if (parse.element == "sparkle:version") {
    item.version += value;
  } else if (parse.element == "sparkle:releaseNotesLink") {
    item.notes += value;
  } else if (parse.element == "link") {
    item.link += value;
  }
}

std::string trimmed(std::string value) {
  const auto first = value.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) {
    return "";
  }
  return value.substr(first, value.find_last_not_of(" \t\r\n") - first + 1);
}

bool isWebLink(const std::string& link) {
  return link.starts_with("https://") || link.starts_with("http://");
}

// A version a person can read in an alert: it starts with a digit, holds only letters, digits
// and ".+-~_", and is short. Anything else in a feed (an escape sequence, ten thousand
// characters) is no release.
bool isVersion(std::string_view version) {
  constexpr std::size_t kLongestVersion = 40;
  if (version.empty() || version.size() > kLongestVersion || !g_ascii_isdigit(version.front())) {
    return false;
  }
  for (const char c : version) {
    if (!g_ascii_isalnum(c) && std::string_view(".+-~_").find(c) == std::string_view::npos) {
      return false;
    }
  }
  return true;
}

}  // namespace

Result<Release> parseAppcast(std::string_view xml) {
  static const GMarkupParser parser{&startElement, &endElement, &text, nullptr, nullptr};
  Parse parse;
  GMarkupParseContext* context =
      g_markup_parse_context_new(&parser, GMarkupParseFlags(0), &parse, nullptr);
  GError* error = nullptr;
  const bool ok =
      g_markup_parse_context_parse(context, xml.data(), static_cast<gssize>(xml.size()), &error) &&
      g_markup_parse_context_end_parse(context, &error);
  g_markup_parse_context_free(context);
  if (!ok) {
    std::string message = error ? error->message : "not XML";
    g_clear_error(&error);
    return Result<Release>::failure(
        formatted(_("The update feed could not be read: %s"), {message}));
  }
  std::optional<Release> newest;
  for (const Item& item : parse.items) {
    std::string version = trimmed(item.shortVersion);
    if (version.empty()) {
      version = trimmed(item.version);
    }
    if (!isVersion(version)) {
      continue;
    }
    if (!newest || compareVersions(version, newest->version) > 0) {
      std::string notes = trimmed(item.notes.empty() ? item.link : item.notes);
      newest = Release{version, isWebLink(notes) ? std::optional(notes) : std::nullopt};
    }
  }
  if (!newest) {
    // A release whose version is not one is a broken feed, not an empty one.
    return Result<Release>::failure(parse.items.empty()
                                        ? _("The update feed lists no release.")
                                        : _("The update feed's version could not be read."));
  }
  return *newest;
}

int compareVersions(std::string_view a, std::string_view b) {
  auto part = [](std::string_view& rest) {
    unsigned long value = 0;
    std::size_t at = 0;
    while (at < rest.size() && g_ascii_isdigit(rest[at]) && value < 1000000000UL) {
      value = value * 10 + static_cast<unsigned long>(rest[at] - '0');
      ++at;
    }
    const std::size_t dot = rest.find('.', at);
    rest = dot == std::string_view::npos ? std::string_view() : rest.substr(dot + 1);
    return value;
  };
  while (!a.empty() || !b.empty()) {
    const unsigned long left = part(a);
    const unsigned long right = part(b);
    if (left != right) {
      return left < right ? -1 : 1;
    }
  }
  return 0;
}

Outcome judge(std::string_view currentVersion, const Result<Release>& feed) {
  const std::string current(currentVersion);
  if (!feed) {
    return {Outcome::Kind::failed, _("Could not check for updates"), feed.error(), std::nullopt};
  }
  if (compareVersions(feed->version, currentVersion) > 0) {
    return {Outcome::Kind::newer, _("A new version is available"),
            formatted(_("Orvel player %s is available; you have %s. Your package manager "
                        "installs it."),
                      {feed->version, current}),
            feed->releaseNotesURL};
  }
  return {Outcome::Kind::upToDate, _("You’re up to date"),
          formatted(_("Orvel player %s is the newest version."), {current}), std::nullopt};
}

std::string statusFailure(unsigned status) {
  return formatted(_("The update server answered with status %s."), {std::to_string(status)});
}

std::string transportFailure(std::string_view error) {
  return formatted(_("The update server could not be reached: %s."), {error});
}

}  // namespace orvel::UpdateCheck
