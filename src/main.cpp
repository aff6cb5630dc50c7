// SPDX-License-Identifier: GPL-3.0-or-later

#include <cstdio>
#include <cstring>
#include <iostream>
#include <nlohmann/json.hpp>
#include <string_view>

#include "Version.h"
#include "core/Translation.h"
#include "media/StreamingProviderRegistry.h"
#include "platform/shell/EngineVersions.h"
#include "platform/shell/PlayerApplication.h"

namespace {

void printUsage(std::FILE* stream) {
  std::fprintf(stream,
               "Usage: orvel-player [URL or FILE]\n"
               "       orvel-player --print-media TEXT\n"
               "       orvel-player --version\n"
               "       orvel-player --help\n");
}

int printMedia(std::string_view text) {
  auto media = orvel::StreamingProviderRegistry::shared().resolve(text);
  if (!media) {
    std::cerr << _(orvel::StreamingProviderRegistry::kUnsupportedLink) << '\n';
    return 1;
  }
  nlohmann::ordered_json json;
  json["providerID"] = media->providerID;
  json["providerName"] = media->providerName;
  json["mediaID"] = media->mediaID;
  json["playbackURL"] = media->playbackURL.absoluteString();
  json["defaultTitle"] = media->defaultTitle;
  json["canResumeWithURLParameter"] = media->canResumeWithURLParameter;
  std::cout << json.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) << '\n';
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 2 && std::strcmp(argv[1], "--version") == 0) {
    std::printf("orvel-player %s (%s)\n", orvel::kVersion, orvel::engineVersions().c_str());
    return 0;
  }
  if (argc >= 2 && std::strcmp(argv[1], "--print-media") == 0) {
    if (argc != 3) {
      printUsage(stderr);
      return 2;
    }
    return printMedia(argv[2]);
  }
  if (argc >= 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    printUsage(stdout);
    return 0;
  }
  // "Open With" on several files passes them all (the desktop file's %U); the first one plays.
  return orvel::runPlayerApplication(argc, argv);
}
