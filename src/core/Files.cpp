// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/Files.h"

#include <sys/stat.h>
#include <unistd.h>

namespace orvel {

bool isReadableRegularFile(const std::string& path) {
  struct stat info {};
  return !path.empty() && ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
         ::access(path.c_str(), R_OK) == 0;
}

}  // namespace orvel
