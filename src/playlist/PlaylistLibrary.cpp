// SPDX-License-Identifier: GPL-3.0-or-later

#include "playlist/PlaylistLibrary.h"

#include <glib.h>

#include <algorithm>
#include <memory>
#include <nlohmann/json.hpp>

#include "core/Log.h"
#include "core/Text.h"
#include "core/Translation.h"

namespace orvel {
namespace {

using Json = nlohmann::json;
using Nodes = PlaylistLibrary::Nodes;

// The JSON parser builds any depth it is given, and the decoder below walks it recursively, so
// the nesting is measured first without building anything.
bool nestsWithin(std::string_view json, std::size_t limit) {
  std::size_t depth = 0;
  bool inString = false;
  for (std::size_t index = 0; index < json.size(); ++index) {
    const char c = json[index];
    if (inString) {
      if (c == '\\') {
        ++index;
      } else if (c == '"') {
        inString = false;
      }
    } else if (c == '"') {
      inString = true;
    } else if (c == '[' || c == '{') {
      if (++depth > limit) {
        return false;
      }
    } else if ((c == ']' || c == '}') && depth > 0) {
      --depth;
    }
  }
  return true;
}

// Absent and null both mean none; any other type fails the whole node.
const Json* optionalMember(const Json& object, const char* key) {
  auto found = object.find(key);
  if (found == object.end() || found->is_null()) {
    return nullptr;
  }
  return &*found;
}

std::optional<PlaylistNode> decodeNode(const Json& json, std::size_t depth);

std::optional<Nodes> decodeNodes(const Json& json, std::size_t depth) {
  if (!json.is_array() || depth > PlaylistLibrary::maxDepth) {
    return std::nullopt;
  }
  Nodes nodes;
  nodes.reserve(json.size());
  for (const Json& element : json) {
    auto node = decodeNode(element, depth);
    if (!node) {
      return std::nullopt;
    }
    nodes.push_back(std::move(*node));
  }
  return nodes;
}

std::optional<PlaylistNode> decodeNode(const Json& json, std::size_t depth) {
  if (!json.is_object()) {
    return std::nullopt;
  }
  auto id = json.find("id");
  auto name = json.find("name");
  auto isExpanded = json.find("isExpanded");
  if (id == json.end() || !id->is_string() || name == json.end() || !name->is_string() ||
      isExpanded == json.end() || !isExpanded->is_boolean()) {
    return std::nullopt;
  }
  PlaylistNode node;
  auto parsedID = Uuid::parse(id->get_ref<const std::string&>());
  if (!parsedID) {
    return std::nullopt;
  }
  node.id = *parsedID;
  node.name = name->get_ref<const std::string&>();
  cutToCharacters(node.name, kLongestTitle);
  node.isExpanded = isExpanded->get<bool>();
  if (const Json* url = optionalMember(json, "url")) {
    if (!url->is_string()) {
      return std::nullopt;
    }
    node.url = url->get_ref<const std::string&>();
  }
  if (const Json* children = optionalMember(json, "children")) {
    node.children = decodeNodes(*children, depth + 1);
    if (!node.children) {
      return std::nullopt;
    }
  }
  if (const Json* lastPlayed = optionalMember(json, "lastPlayedID")) {
    if (!lastPlayed->is_string()) {
      return std::nullopt;
    }
    node.lastPlayedID = Uuid::parse(lastPlayed->get_ref<const std::string&>());
    if (!node.lastPlayedID) {
      return std::nullopt;
    }
  }
  return node;
}

void appendString(std::string& out, std::string_view text) {
  static constexpr char kHex[] = "0123456789abcdef";
  out += '"';
  for (std::size_t index = 0; index < text.size();) {
    const auto byte = static_cast<unsigned char>(text[index]);
    if (byte >= 0x80) {
      char32_t codePoint = 0;
      const std::size_t length = decodeUTF8(text, index, codePoint);
      if (length == 0) {
        out += "\xEF\xBF\xBD";
        ++index;
      } else {
        out.append(text.substr(index, length));
        index += length;
      }
      continue;
    }
    switch (byte) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\b':
        out += "\\b";
        break;
      case '\f':
        out += "\\f";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (byte < 0x20) {
          out += "\\u00";
          out += kHex[byte >> 4];
          out += kHex[byte & 0x0F];
        } else {
          out += static_cast<char>(byte);
        }
    }
    ++index;
  }
  out += '"';
}

bool encodeNodes(const Nodes& nodes, std::size_t depth, std::string& out) {
  if (depth > PlaylistLibrary::maxDepth) {
    return false;
  }
  out += '[';
  for (std::size_t index = 0; index < nodes.size(); ++index) {
    const PlaylistNode& node = nodes[index];
    if (index > 0) {
      out += ',';
    }
    out += "{\"id\":\"";
    out += node.id.uuidString();
    out += "\",\"name\":";
    appendString(out, node.name);
    if (node.url) {
      out += ",\"url\":";
      appendString(out, *node.url);
    }
    if (node.children) {
      out += ",\"children\":";
      if (!encodeNodes(*node.children, depth + 1, out)) {
        return false;
      }
    }
    out += node.isExpanded ? ",\"isExpanded\":true" : ",\"isExpanded\":false";
    if (node.lastPlayedID) {
      out += ",\"lastPlayedID\":\"";
      out += node.lastPlayedID->uuidString();
      out += '"';
    }
    out += '}';
  }
  out += ']';
  return true;
}

}  // namespace

std::optional<std::string> PlaylistLibrary::encode(const Nodes& library) {
  std::string out;
  if (!encodeNodes(library, 0, out)) {
    return std::nullopt;
  }
  return out;
}

std::optional<Nodes> PlaylistLibrary::decode(std::string_view json) {
  // The top-level array, then an object and a children array per folder level.
  if (!nestsWithin(json, 2 * maxDepth + 3)) {
    return std::nullopt;
  }
  const Json parsed = Json::parse(json.begin(), json.end(), nullptr, false);
  if (parsed.is_discarded()) {
    return std::nullopt;
  }
  return decodeNodes(parsed, 0);
}

namespace {

std::optional<PlaylistLibrary::Nodes> storedLibrary(const PropertyList& stored) {
  const auto* data = stored.get<PropertyList::Data>();
  if (!data) {
    return std::nullopt;
  }
  auto library = PlaylistLibrary::decode(
      std::string_view(reinterpret_cast<const char*>(data->data()), data->size()));
  if (library) {
    // Libraries saved before each row had an id of its own can hold one file twice under one id.
    // The first keeps it; each later one gets an id derived from it, the same at every start, so
    // that what is stored about it (the last-played mark) still finds it.
    std::unordered_set<Uuid> taken;
    PlaylistTree::makeIDsUnique(*library, taken, [](const Uuid& id, int attempt) {
      return PlaylistLibrary::stableID(id.uuidString() + "#" + std::to_string(attempt));
    });
  }
  return library;
}

PlaylistLibrary::Nodes legacyLibrary(const Defaults& defaults) {
  PlaylistLibrary::Nodes library;
  if (auto legacy = defaults.object(PlaylistLibrary::kLegacyURLsKey)) {
    for (std::string& link : legacy->strings().value_or(std::vector<std::string>())) {
      library.push_back(PlaylistNode::item(std::move(link)));
    }
  }
  return library;
}

}  // namespace

std::optional<Uuid> PlaylistLibrary::storedID(const Defaults& defaults, std::string_view key) {
  auto stored = defaults.object(key);
  const std::string* text = stored ? stored->get<std::string>() : nullptr;
  return text ? Uuid::parse(*text) : std::nullopt;
}

Nodes PlaylistLibrary::load(const Defaults& defaults) {
  if (auto stored = defaults.object(kLibraryKey)) {
    if (auto library = storedLibrary(*stored)) {
      return std::move(*library);
    }
  }
  return legacyLibrary(defaults);
}

std::string PlaylistLibrary::keepAside(Defaults& defaults, std::string_view key,
                                       const PropertyList& value) {
  std::string aside = std::string(key) + ".overflow";
  for (int attempt = 2; defaults.object(aside); ++attempt) {
    aside = std::string(key) + ".overflow-" + std::to_string(attempt);
  }
  defaults.set(aside, value);
  return aside;
}

Nodes PlaylistLibrary::loadKeepingUnreadable(Defaults& defaults, SetAside* setAside,
                                             std::size_t most) {
  auto stored = defaults.object(kLibraryKey);
  if (!stored) {
    return legacyLibrary(defaults);
  }
  if (auto library = storedLibrary(*stored)) {
    const std::size_t count = PlaylistTree::itemCount(*library);
    if (count <= most) {
      return std::move(*library);
    }
    const std::string aside = keepAside(defaults, kLibraryKey, *stored);
    std::unordered_set<Uuid> past;
    std::size_t seen = 0;
    PlaylistTree::forEachItem(*library, [&](const PlaylistNode& item) {
      if (++seen > most) {
        past.insert(item.id);
      }
      return true;
    });
    PlaylistTree::removeItems(*library,
                              [&past](const PlaylistNode& item) { return past.contains(item.id); });
    save(*library, defaults);
    logLine("Playlist", "The stored playlist holds " + std::to_string(count) +
                            " videos; the first " + std::to_string(most) +
                            " are kept, and the whole of it as \"" + aside + "\"");
    if (setAside) {
      *setAside = SetAside{count - most, aside};
    }
    return std::move(*library);
  }
  const std::string aside = std::string(kLibraryKey) + ".corrupt";
  // An older unreadable library kept aside is the user's, not this one's: it stays.
  if (!defaults.object(aside)) {
    defaults.set(aside, *stored);
  }
  logLine("Playlist", "The stored playlist cannot be read; it is kept as \"" + aside + "\"");
  return legacyLibrary(defaults);
}

std::size_t PlaylistLibrary::boundStoredTable(Defaults& defaults, std::string_view key,
                                              std::size_t most) {
  auto stored = defaults.object(key);
  const auto* table = stored ? stored->get<PropertyList::Dictionary>() : nullptr;
  if (!table || table->size() <= most) {
    return 0;
  }
  const std::string aside = keepAside(defaults, key, *stored);
  PropertyList::Dictionary kept;
  for (const auto& [name, value] : *table) {
    if (kept.size() == most) {
      break;
    }
    kept.emplace(name, value);
  }
  const std::size_t past = table->size() - most;
  defaults.set(key, PropertyList(std::move(kept)));
  logLine("Playlist", "\"" + std::string(key) + "\" held " + std::to_string(most + past) +
                          " entries; the first " + std::to_string(most) +
                          " are kept, and the whole of it as \"" + aside + "\"");
  return past;
}

void PlaylistLibrary::save(const Nodes& library, Defaults& defaults) {
  auto json = encode(library);
  if (!json) {
    return;
  }
  PropertyList::Data data(json->begin(), json->end());
  if (auto stored = defaults.object(kLibraryKey)) {
    if (const auto* storedData = stored->get<PropertyList::Data>();
        storedData && *storedData == data) {
      return;
    }
  }
  defaults.set(kLibraryKey, PropertyList(std::move(data)));
}

Uuid PlaylistLibrary::stableID(std::string_view path) {
  std::unique_ptr<GChecksum, decltype(&g_checksum_free)> checksum(g_checksum_new(G_CHECKSUM_SHA256),
                                                                  &g_checksum_free);
  g_checksum_update(checksum.get(), reinterpret_cast<const guchar*>(path.data()),
                    static_cast<gssize>(path.size()));
  std::array<guint8, 32> digest{};
  gsize length = digest.size();
  g_checksum_get_digest(checksum.get(), digest.data(), &length);
  Uuid::Bytes bytes{};
  std::copy_n(digest.begin(), bytes.size(), bytes.begin());
  return Uuid(bytes);
}

std::string PlaylistLibrary::countText(std::size_t count) {
  std::string digits = std::to_string(count);
  for (std::size_t at = digits.size(); at > 3; at -= 3) {
    digits.insert(at - 3, ",");
  }
  return digits;
}

std::string PlaylistLibrary::tooManyVideos(std::size_t adding, std::size_t present) {
  return formatted(_("The playlist holds at most %s videos; it has %s, and this would add %s."),
                   {countText(kLargestLibrary), countText(present), countText(adding)});
}

}  // namespace orvel
