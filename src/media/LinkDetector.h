// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace orvel {

// Finds the first link in free text: one with a scheme ("https://..."), or one that starts with
// "www." or is a bare domain ("youtu.be/abc"); the last two are returned with "https://" in
// front. Trailing sentence punctuation and unbalanced closing brackets are not part of a link.
// Runs in time linear in the text.
class LinkDetector {
 public:
  static std::optional<std::string> firstLink(std::string_view text);
};

}  // namespace orvel
