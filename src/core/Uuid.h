// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <array>
#include <compare>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace orvel {

// A 128-bit identifier. Written in the canonical hyphenated form with upper-case digits, as the
// stored playlist has always held them; read in either case.
class Uuid {
 public:
  using Bytes = std::array<std::uint8_t, 16>;

  constexpr Uuid() = default;
  constexpr explicit Uuid(const Bytes& bytes) : bytes_(bytes) {}

  // A random (version 4) identifier.
  static Uuid random();
  // The canonical 36-character form, hyphens at 8, 13, 18 and 23; anything else gives none.
  static std::optional<Uuid> parse(std::string_view text);

  const Bytes& bytes() const { return bytes_; }
  std::string uuidString() const;

  constexpr auto operator<=>(const Uuid&) const = default;

 private:
  Bytes bytes_{};
};

}  // namespace orvel

template <>
struct std::hash<orvel::Uuid> {
  std::size_t operator()(const orvel::Uuid& uuid) const noexcept {
    // The bytes are random or a digest already; folding them is enough.
    std::uint64_t high = 0;
    std::uint64_t low = 0;
    for (std::size_t index = 0; index < 8; ++index) {
      high = (high << 8) | uuid.bytes()[index];
      low = (low << 8) | uuid.bytes()[index + 8];
    }
    return static_cast<std::size_t>(high ^ (low * 0x9e3779b97f4a7c15ULL));
  }
};
