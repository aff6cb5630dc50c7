// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <string>

namespace orvel {

// The versions of the toolkit, web engine and media engine the program runs with, for
// `--version` and for bug reports.
std::string engineVersions();

}  // namespace orvel
