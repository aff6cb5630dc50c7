#include "app/LaunchArgument.h"

#include <filesystem>

#include "core/Text.h"
#include "core/Url.h"

namespace orvel {
namespace {

// A name that can only mean a file here: a path, or a bare file name, of a video the player
// plays. A link written without its scheme ("youtu.be/…", "example.com/a.mp4") is not one.
bool namesAVideoFile(std::string_view argument) {
  const bool pathLike = argument.starts_with('/') || argument.starts_with("./") ||
                        argument.starts_with("../") || argument.find('/') == std::string_view::npos;
  const std::string extension =
      asciiLowercased(std::filesystem::path(std::string(argument)).extension().string());
  return pathLike && (extension == ".mp4" || extension == ".webm" || extension == ".mkv");
}

}  // namespace

std::string launchArgumentText(std::string_view argument, std::string_view workingDirectory) {
  if (argument.find("://") != std::string_view::npos || argument.empty()) {
    return std::string(argument);
  }
  std::error_code error;
  std::filesystem::path path{std::string(argument)};
  if (path.is_relative() && !workingDirectory.empty()) {
    path = std::filesystem::path(std::string(workingDirectory)) / path;
  }
  if (!std::filesystem::exists(path, error) && !namesAVideoFile(argument)) {
    return std::string(argument);
  }
  auto absolute = std::filesystem::weakly_canonical(path, error);
  if (error) {
    absolute = path.lexically_normal();
  }
  auto url = Url::fileURL(absolute.string());
  return url ? url->absoluteString() : std::string(argument);
}

}  // namespace orvel
