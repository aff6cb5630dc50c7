// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/Log.h"

namespace orvel::fuzz {

// Log lines cost more than the parsing they describe; a fuzz run throws them away.
inline void silenceLogs() {
  static const bool silenced = [] {
    setLogSink([](const std::string&) {});
    return true;
  }();
  (void)silenced;
}

// A broken promise of the code under test ends the run like a crash, so that the fuzzer keeps the
// input and the replay fails.
inline void require(bool condition, const char* promise) {
  if (!condition) {
    std::fprintf(stderr, "Broken promise: %s\n", promise);
    std::abort();
  }
}

}  // namespace orvel::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);
