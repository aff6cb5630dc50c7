#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace orvel {

// What the playlist knows about a link beyond the link itself: titles and authors of YouTube
// links, artwork, and the facts of local files. Filled in while rows are shown; nothing of it is
// written into the playlist tree.
class PlaylistMetadata {
 public:
  // A platform image (a texture where the panel draws), released by its own deleter when the
  // last holder lets go. The model never looks inside.
  using Image = std::shared_ptr<const void>;

  struct Size {
    double width = 0;
    double height = 0;
    bool operator==(const Size&) const = default;
  };

  // Every field is optional: absent means unknown.
  struct Info {
    std::optional<std::string> title;
    std::optional<std::string> author;
    Image thumbnail;
    std::optional<double> duration;
    std::optional<Size> size;
    std::optional<std::string> codec;
    std::optional<float> frameRate;
  };

  // The record for an item's `url` exactly as stored in its node, or null when there is none.
  using Lookup = std::function<const Info*(const std::string& url)>;
};

}  // namespace orvel
