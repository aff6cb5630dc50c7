#include "app/LaunchArgument.h"

#include <filesystem>

#include "core/Url.h"

namespace orvel {

std::string launchArgumentText(std::string_view argument, std::string_view workingDirectory) {
  if (argument.find("://") != std::string_view::npos || argument.empty()) {
    return std::string(argument);
  }
  std::error_code error;
  std::filesystem::path path{std::string(argument)};
  if (path.is_relative() && !workingDirectory.empty()) {
    path = std::filesystem::path(std::string(workingDirectory)) / path;
  }
  if (!std::filesystem::exists(path, error)) {
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
