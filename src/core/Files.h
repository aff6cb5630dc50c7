// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <string>

namespace orvel {

// Whether the path names a regular file this process may read (not a folder, device or FIFO,
// which would block a reader).
bool isReadableRegularFile(const std::string& path);

}  // namespace orvel
