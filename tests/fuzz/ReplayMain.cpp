// SPDX-License-Identifier: GPL-3.0-or-later

// Runs a fuzz target over saved inputs without libFuzzer: every file named, and every file in
// every folder named, in name order. A folder that does not exist holds nothing. The run stops at
// the first input that crashes the target, as it would under the fuzzer.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fuzz/FuzzSupport.h"

namespace {

namespace fs = std::filesystem;

std::vector<fs::path> inputsIn(const fs::path& argument) {
  std::error_code error;
  if (fs::is_regular_file(argument, error)) {
    return {argument};
  }
  std::vector<fs::path> files;
  if (!fs::is_directory(argument, error)) {
    return files;
  }
  for (const auto& entry : fs::recursive_directory_iterator(argument, error)) {
    if (entry.is_regular_file(error)) {
      files.push_back(entry.path());
    }
  }
  std::sort(files.begin(), files.end());
  return files;
}

}  // namespace

int main(int argc, char** argv) {
  std::size_t replayed = 0;
  for (int index = 1; index < argc; ++index) {
    for (const fs::path& file : inputsIn(argv[index])) {
      std::ifstream stream(file, std::ios::binary);
      if (!stream) {
        std::fprintf(stderr, "Cannot read %s\n", file.c_str());
        return 1;
      }
      const std::vector<char> bytes((std::istreambuf_iterator<char>(stream)),
                                    std::istreambuf_iterator<char>());
      // Announced first, so that the input that crashes is the last one named.
      std::fprintf(stderr, "Replaying %s\n", file.c_str());
      LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
      ++replayed;
    }
  }
  std::printf("Replayed %zu inputs\n", replayed);
  return 0;
}
