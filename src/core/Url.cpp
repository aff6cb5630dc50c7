// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/Url.h"

#include <glib.h>

#include <memory>

#include "core/Text.h"

namespace orvel {
namespace {

bool isUnreserved(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
         c == '.' || c == '_' || c == '~';
}

bool isURLCharacter(unsigned char c) {
  static constexpr std::string_view kReserved = ":/?#[]@!$&'()*+,;=%";
  return isUnreserved(c) || kReserved.find(static_cast<char>(c)) != std::string_view::npos;
}

std::optional<std::string> optionalString(const char* text) {
  return text ? std::optional<std::string>(text) : std::nullopt;
}

struct UriUnref {
  void operator()(GUri* uri) const { g_uri_unref(uri); }
};

}  // namespace

std::string percentEncoded(std::string_view text, std::string_view allowed) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string result;
  result.reserve(text.size());
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (isUnreserved(byte) || allowed.find(c) != std::string_view::npos) {
      result += c;
    } else {
      result += '%';
      result += kHex[byte >> 4];
      result += kHex[byte & 0x0F];
    }
  }
  return result;
}

std::optional<Url> Url::parse(std::string_view text) {
  if (text.empty()) {
    return std::nullopt;
  }
  // Characters beyond ASCII are taken as UTF-8 and percent-encoded, as browsers do with a link
  // typed with accents; anything else outside the URL character set refuses the text.
  std::string encoded;
  encoded.reserve(text.size());
  for (std::size_t index = 0; index < text.size();) {
    const auto byte = static_cast<unsigned char>(text[index]);
    if (byte < 0x80) {
      if (!isURLCharacter(byte)) {
        return std::nullopt;
      }
      encoded += text[index++];
      continue;
    }
    char32_t codePoint = 0;
    const std::size_t length = decodeUTF8(text, index, codePoint);
    if (length == 0 || isWhitespaceOrNewline(codePoint)) {
      return std::nullopt;
    }
    encoded += percentEncoded(text.substr(index, length), "");
    index += length;
  }
  Url url;
  url.text_ = std::move(encoded);
  GError* error = nullptr;
  std::unique_ptr<GUri, UriUnref> uri(
      g_uri_parse(url.text_.c_str(),
                  static_cast<GUriFlags>(G_URI_FLAGS_ENCODED | G_URI_FLAGS_HAS_PASSWORD), &error));
  if (!uri) {
    g_clear_error(&error);
    return std::nullopt;
  }
  url.scheme_ = asciiLowercased(g_uri_get_scheme(uri.get()));
  url.user_ = optionalString(g_uri_get_user(uri.get()));
  url.password_ = optionalString(g_uri_get_password(uri.get()));
  if (const char* host = g_uri_get_host(uri.get())) {
    url.host_ = lenientPercentDecoded(host);
  }
  url.port_ = g_uri_get_port(uri.get());
  url.path_ = g_uri_get_path(uri.get());
  url.query_ = optionalString(g_uri_get_query(uri.get()));
  url.fragment_ = optionalString(g_uri_get_fragment(uri.get()));
  // A file URL names a path on disk, which the system cuts at a NUL: "thesis.txt%00.mp4" would
  // pass every check made on the name and then act on "thesis.txt". No control character has
  // a place in a path a user plays, so such a URL is refused wherever it comes from.
  if (url.isFileURL()) {
    for (const char c : url.path()) {
      const auto byte = static_cast<unsigned char>(c);
      if (byte < 0x20 || byte == 0x7F) {
        return std::nullopt;
      }
    }
  }
  return url;
}

std::optional<Url> Url::fileURL(std::string_view absolutePath) {
  if (absolutePath.empty() || absolutePath.front() != '/') {
    return std::nullopt;
  }
  return parse("file://" + percentEncoded(absolutePath, "/!$&'()*+,;=:@"));
}

std::string Url::path() const {
  return lenientPercentDecoded(path_);
}

std::vector<std::string> Url::pathComponents() const {
  std::vector<std::string> components;
  std::string_view rest = path_;
  if (!rest.empty() && rest.front() == '/') {
    components.emplace_back("/");
  }
  while (!rest.empty()) {
    const std::size_t slash = rest.find('/');
    const std::string_view segment = rest.substr(0, slash);
    if (!segment.empty()) {
      components.push_back(lenientPercentDecoded(segment));
    }
    if (slash == std::string_view::npos) {
      break;
    }
    rest.remove_prefix(slash + 1);
  }
  return components;
}

std::string Url::lastPathComponent() const {
  std::vector<std::string> components = pathComponents();
  return components.empty() ? std::string() : components.back();
}

std::string Url::pathExtension() const {
  const std::string name = lastPathComponent();
  const std::size_t dot = name.rfind('.');
  if (dot == std::string::npos || dot == 0 || name == "/") {
    return {};
  }
  return name.substr(dot + 1);
}

std::vector<Url::QueryItem> Url::queryItems() const {
  std::vector<QueryItem> items;
  if (!query_) {
    return items;
  }
  std::string_view rest = *query_;
  for (;;) {
    const std::size_t ampersand = rest.find('&');
    const std::string_view piece = rest.substr(0, ampersand);
    const std::size_t equals = piece.find('=');
    QueryItem item;
    item.name = lenientPercentDecoded(piece.substr(0, equals));
    if (equals != std::string_view::npos) {
      item.value = lenientPercentDecoded(piece.substr(equals + 1));
    }
    items.push_back(std::move(item));
    if (ampersand == std::string_view::npos) {
      break;
    }
    rest.remove_prefix(ampersand + 1);
  }
  return items;
}

std::optional<Url> Url::replacingPercentEncodedQuery(std::optional<std::string_view> query) const {
  // The query sits between the first "?" and the first "#"; a "?" after the "#" belongs to the
  // fragment.
  const std::size_t hash = text_.find('#');
  std::size_t question = text_.find('?');
  if (question > hash) {
    question = std::string::npos;
  }
  const std::size_t queryEnd = hash == std::string::npos ? text_.size() : hash;
  const std::size_t queryStart = question == std::string::npos ? queryEnd : question;
  std::string text = text_.substr(0, queryStart);
  if (query) {
    text += '?';
    text += *query;
  }
  text += text_.substr(queryEnd);
  return parse(text);
}

}  // namespace orvel
