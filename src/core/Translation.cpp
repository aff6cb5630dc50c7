// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/Translation.h"

#include <libintl.h>

#include <cctype>
#include <vector>

namespace orvel {

std::string translated(const char* english) {
  return dgettext(kTextDomain, english);
}

std::string translated(std::string_view english) {
  return translated(std::string(english).c_str());
}

std::string translatedPlural(const char* one, const char* many, unsigned long count) {
  return dngettext(kTextDomain, one, many, count);
}

std::string formatted(std::string_view pattern, std::initializer_list<std::string_view> values) {
  const std::vector<std::string_view> given(values);
  std::string text;
  std::size_t next = 0;
  for (std::size_t at = 0; at < pattern.size(); ++at) {
    if (pattern[at] != '%' || at + 1 == pattern.size()) {
      text += pattern[at];
      continue;
    }
    if (pattern[at + 1] == '%') {
      text += '%';
      ++at;
      continue;
    }
    // %s, or %N$s with N counted from 1.
    std::size_t end = at + 1;
    std::size_t number = 0;
    while (end < pattern.size() && std::isdigit(static_cast<unsigned char>(pattern[end])) &&
           number < given.size() + 1) {
      number = number * 10 + static_cast<std::size_t>(pattern[end] - '0');
      ++end;
    }
    const bool positional =
        number > 0 && end + 1 < pattern.size() && pattern[end] == '$' && pattern[end + 1] == 's';
    if (positional && number <= given.size()) {
      text += given[number - 1];
      at = end + 1;
    } else if (end == at + 1 && pattern[end] == 's' && next < given.size()) {
      text += given[next++];
      at = end;
    } else {
      text += '%';
    }
  }
  return text;
}

void useLocaleFolder(const std::string& folder) {
  bindtextdomain(kTextDomain, folder.c_str());
  bind_textdomain_codeset(kTextDomain, "UTF-8");
}

}  // namespace orvel
