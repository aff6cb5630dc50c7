// SPDX-License-Identifier: GPL-3.0-or-later

#include "playlist/PlaylistSearchIndex.h"

#include <glib.h>

#include <algorithm>
#include <memory>

#include "core/Text.h"

namespace orvel {
namespace {

struct GFree {
  void operator()(void* pointer) const { g_free(pointer); }
};
using GString = std::unique_ptr<char, GFree>;

bool isASCII(std::string_view text) {
  return std::all_of(text.begin(), text.end(),
                     [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// Whether the folded text holds the folded needle. A letter followed by a combining accent is one
// letter to the reader: "e" does not find the "é" of "café" written as e and an accent.
bool holds(std::string_view text, std::string_view needle) {
  for (std::size_t at = text.find(needle); at != std::string_view::npos;
       at = text.find(needle, at + 1)) {
    const std::size_t end = at + needle.size();
    if (end < text.size() && static_cast<unsigned char>(text[end]) >= 0x80 &&
        g_unichar_ismark(g_utf8_get_char(text.data() + end))) {
      continue;
    }
    return true;
  }
  return false;
}

// The most searches kept for the next keystroke to narrow or to find again.
constexpr std::size_t kKeptSearches = 32;
constexpr std::size_t kBlockSize = 1 << 20;

}  // namespace

PlaylistSearchIndex::PlaylistSearchIndex(TitleOf titleOf) : titleOf_(std::move(titleOf)) {}

std::string PlaylistSearchIndex::folded(std::string_view text) {
  if (isASCII(text)) {
    return asciiLowercased(text);
  }
  GString valid(g_utf8_make_valid(text.data(), static_cast<gssize>(text.size())));
  GString casefolded(g_utf8_casefold(valid.get(), -1));
  GString composed(g_utf8_normalize(casefolded.get(), -1, G_NORMALIZE_NFC));
  return composed ? composed.get() : casefolded.get();
}

void PlaylistSearchIndex::libraryChanged() {
  listed_ = false;
  entries_.clear();
  ranges_.clear();
  byURL_.clear();
  found_.clear();
  read_ = 0;
  blocks_.clear();
  blockUsed_ = 0;
  changed_.clear();
}

void PlaylistSearchIndex::list(const Nodes& nodes) {
  const std::size_t begin = entries_.size();
  for (const PlaylistNode& node : nodes) {
    if (node.children) {
      list(*node.children);
    } else {
      entries_.push_back({&node, {}});
    }
  }
  ranges_[&nodes] = {begin, entries_.size()};
}

std::string_view PlaylistSearchIndex::kept(std::string_view text) {
  if (text.size() > kBlockSize / 4) {
    return changed_.emplace_back(text);
  }
  if (blocks_.empty() || blockUsed_ + text.size() > kBlockSize) {
    blocks_.push_back(std::make_unique_for_overwrite<char[]>(kBlockSize));
    blockUsed_ = 0;
  }
  char* at = blocks_.back().get() + blockUsed_;
  std::copy(text.begin(), text.end(), at);
  blockUsed_ += text.size();
  return {at, text.size()};
}

std::string PlaylistSearchIndex::textOf(const PlaylistNode& item) const {
  std::string text = folded(titleOf_(item));
  if (item.url) {
    text.push_back('\0');
    text += folded(*item.url);
  }
  return text;
}

bool PlaylistSearchIndex::prepare(const Nodes& library, std::size_t items) {
  const PlaylistNode* first = library.empty() ? nullptr : library.data();
  if (listed_ && (first != listedFrom_ || library.size() != listedSize_)) {
    libraryChanged();
  }
  if (!listed_) {
    list(library);
    listed_ = true;
    listedFrom_ = first;
    listedSize_ = library.size();
  }
  // `items` may be the largest size there is: "all that is left".
  const std::size_t end = read_ + std::min(items, entries_.size() - read_);
  for (; read_ < end; ++read_) {
    const PlaylistNode& item = *entries_[read_].item;
    entries_[read_].text = kept(textOf(item));
    if (item.url) {
      byURL_[*item.url].push_back(read_);
    }
  }
  return read_ == entries_.size();
}

std::vector<const PlaylistNode*> PlaylistSearchIndex::find(const Nodes& library, const Nodes& scope,
                                                           std::string_view text) {
  prepare(library, static_cast<std::size_t>(-1));
  const auto scopeRange = ranges_.find(&scope);
  if (scopeRange == ranges_.end()) {
    return {};
  }
  const Range range = scopeRange->second;
  const std::string needle = folded(text);
  const Found* narrowest = nullptr;
  const Found* same = nullptr;
  for (const Found& found : found_) {
    if (found.range != range) {
      continue;
    }
    if (found.needle == needle) {
      same = &found;
      break;
    }
    // What a longer text finds, a shorter text within it finds too. (Not so for every text: "e"
    // does not find the "e" of an "e" and an accent, which "e" and the accent does find.)
    if (isASCII(needle) && needle.find(found.needle) != std::string::npos &&
        (!narrowest || found.entries.size() < narrowest->entries.size())) {
      narrowest = &found;
    }
  }
  if (!same) {
    std::vector<std::size_t> matched =
        matching(needle, narrowest ? &narrowest->entries : nullptr, range);
    if (found_.size() == kKeptSearches) {
      found_.pop_front();
    }
    same = &found_.emplace_back(Found{range, needle, std::move(matched)});
  }
  const std::vector<std::size_t>& matched = same->entries;
  std::vector<const PlaylistNode*> items;
  items.reserve(matched.size());
  for (std::size_t entry : matched) {
    items.push_back(entries_[entry].item);
  }
  return items;
}

std::vector<std::size_t> PlaylistSearchIndex::matching(const std::string& needle,
                                                       const std::vector<std::size_t>* among,
                                                       Range range) const {
  std::vector<std::size_t> matched;
  if (among) {
    for (std::size_t entry : *among) {
      if (holds(entries_[entry].text, needle)) {
        matched.push_back(entry);
      }
    }
    return matched;
  }
  for (std::size_t entry = range.first; entry < range.second; ++entry) {
    if (holds(entries_[entry].text, needle)) {
      matched.push_back(entry);
    }
  }
  return matched;
}

bool PlaylistSearchIndex::titleChanged(const std::string& url) {
  const auto entries = byURL_.find(url);
  if (entries == byURL_.end()) {
    return false;
  }
  bool changed = false;
  for (std::size_t entry : entries->second) {
    std::string text = textOf(*entries_[entry].item);
    if (text != entries_[entry].text) {
      entries_[entry].text = changed_.emplace_back(std::move(text));
      changed = true;
    }
  }
  if (changed) {
    found_.clear();
  }
  return changed;
}

}  // namespace orvel
