// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orvel {

// An absolute URL. Parsing accepts only the characters a URL may hold (no spaces, quotes, angle
// brackets or control characters) and well-formed percent escapes, so text that merely contains
// a link does not parse as one; UTF-8 beyond ASCII is percent-encoded. `absoluteString` is the
// text as given (with that encoding); the components are those of GLib's parser,
// percent-decoded where the name says so. A file URL whose decoded path holds a control character
// (NUL, a line break, an escape) is refused.
class Url {
 public:
  struct QueryItem {
    std::string name;
    std::optional<std::string> value;
    bool operator==(const QueryItem&) const = default;
  };

  static std::optional<Url> parse(std::string_view text);
  // A file URL for an absolute local path.
  static std::optional<Url> fileURL(std::string_view absolutePath);

  const std::string& absoluteString() const { return text_; }
  // Lower-cased.
  const std::string& scheme() const { return scheme_; }
  const std::optional<std::string>& user() const { return user_; }
  const std::optional<std::string>& password() const { return password_; }
  // Empty when the URL has none.
  const std::string& host() const { return host_; }
  bool hasHost() const { return !host_.empty(); }
  // -1 when the URL names none.
  int port() const { return port_; }
  const std::string& percentEncodedPath() const { return path_; }
  std::string path() const;
  // "/" for an absolute path, then each non-empty segment, decoded.
  std::vector<std::string> pathComponents() const;
  // The last path component, or "" when the path is empty.
  std::string lastPathComponent() const;
  // The part of the last path component after its last dot; "" when there is none or the dot
  // starts the name.
  std::string pathExtension() const;
  const std::optional<std::string>& query() const { return query_; }
  // Split on "&" then on the first "="; names and values decoded; no value without "=".
  std::vector<QueryItem> queryItems() const;
  const std::optional<std::string>& fragment() const { return fragment_; }
  bool isFileURL() const { return scheme_ == "file"; }

  // The same URL with this query, already percent-encoded, in place of its own; none removes it.
  std::optional<Url> replacingPercentEncodedQuery(std::optional<std::string_view> query) const;

  bool operator==(const Url& other) const { return text_ == other.text_; }

 private:
  Url() = default;

  std::string text_;
  std::string scheme_;
  std::optional<std::string> user_;
  std::optional<std::string> password_;
  std::string host_;
  int port_ = -1;
  std::string path_;
  std::optional<std::string> query_;
  std::optional<std::string> fragment_;
};

// Encodes what a URL component may not hold as it stands; `allowed` lists the extra characters
// beyond letters, digits and "-._~" that stay as they are.
std::string percentEncoded(std::string_view text, std::string_view allowed);

}  // namespace orvel

template <>
struct std::hash<orvel::Url> {
  std::size_t operator()(const orvel::Url& url) const noexcept {
    return std::hash<std::string>()(url.absoluteString());
  }
};
