// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/Uuid.h"

#include <random>

#include "core/Text.h"

namespace orvel {
namespace {

bool isHyphenPosition(std::size_t index) {
  return index == 8 || index == 13 || index == 18 || index == 23;
}

}  // namespace

Uuid Uuid::random() {
  // Seeded once per thread from the system's entropy source; fresh identifiers are needed by the
  // thousand when a large playlist file is imported, too many for a system call each.
  thread_local std::mt19937_64 generator = [] {
    std::random_device device;
    std::seed_seq seed{device(), device(), device(), device(),
                       device(), device(), device(), device()};
    return std::mt19937_64(seed);
  }();
  Bytes bytes{};
  for (std::size_t index = 0; index < bytes.size(); index += 8) {
    std::uint64_t word = generator();
    for (std::size_t offset = 0; offset < 8; ++offset) {
      bytes[index + offset] = static_cast<std::uint8_t>(word >> (offset * 8));
    }
  }
  bytes[6] = static_cast<std::uint8_t>((bytes[6] & 0x0F) | 0x40);
  bytes[8] = static_cast<std::uint8_t>((bytes[8] & 0x3F) | 0x80);
  return Uuid(bytes);
}

std::optional<Uuid> Uuid::parse(std::string_view text) {
  if (text.size() != 36) {
    return std::nullopt;
  }
  Bytes bytes{};
  std::size_t byte = 0;
  for (std::size_t index = 0; index < text.size();) {
    if (isHyphenPosition(index)) {
      if (text[index] != '-') {
        return std::nullopt;
      }
      ++index;
      continue;
    }
    const int high = hexDigitValue(text[index]);
    const int low = hexDigitValue(text[index + 1]);
    if (high < 0 || low < 0) {
      return std::nullopt;
    }
    bytes[byte++] = static_cast<std::uint8_t>(high * 16 + low);
    index += 2;
  }
  return Uuid(bytes);
}

std::string Uuid::uuidString() const {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text;
  text.reserve(36);
  for (std::size_t index = 0; index < bytes_.size(); ++index) {
    if (index == 4 || index == 6 || index == 8 || index == 10) {
      text += '-';
    }
    text += kDigits[bytes_[index] >> 4];
    text += kDigits[bytes_[index] & 0x0F];
  }
  return text;
}

}  // namespace orvel
