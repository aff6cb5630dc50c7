// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "core/PropertyList.h"

namespace orvel {

// Decodes Apple's binary property list format ("bplist00") into a PropertyList. The store reads
// it here rather than through libplist 2.2, which aborts the process on some damaged input (a
// NUL byte inside a dictionary key trips an assertion), and one damaged row must never end the
// program. Every offset, count and length is checked against the buffer, nesting is limited,
// and the total work is bounded by the input size so shared or cyclic references cannot blow up:
// at most one object per input byte, and string and data bytes at most kMaxSharing times the
// input or kFreeBytes, whichever is more (a small list that names one large data object many
// times would otherwise decode to gigabytes).
class BinaryPlistReader {
 public:
  static std::optional<PropertyList> read(const std::uint8_t* bytes, std::size_t size);

  // Nesting deeper than this is refused, on reading and on writing alike.
  static constexpr int kMaxDepth = 64;
  // How many times over the input's size the decoded strings and data may be. The writer shares
  // equal objects, so a value may name one string several times; never this often. Small values
  // may always decode to kFreeBytes, so that a value written again (smaller than what was read,
  // when the writer shares more) still reads.
  static constexpr std::uint64_t kMaxSharing = 64;
  static constexpr std::uint64_t kFreeBytes = 16 * 1024 * 1024;

 private:
  BinaryPlistReader(const std::uint8_t* bytes, std::size_t size) : bytes_(bytes), size_(size) {}

  bool readTrailer();
  std::uint64_t bigEndian(std::size_t position, std::size_t width) const;
  bool fits(std::size_t position, std::uint64_t count, std::uint64_t unit) const;
  std::optional<std::size_t> offsetOf(std::uint64_t object) const;
  std::optional<std::uint64_t> referenceAt(std::size_t position) const;
  std::optional<std::uint64_t> lengthAfter(std::uint8_t info, std::size_t& position) const;
  // Takes the bytes from what decoded strings and data may still hold; false when they are
  // more.
  bool spend(std::uint64_t bytes);
  std::optional<std::string> text(std::uint64_t object);
  std::optional<PropertyList> value(std::uint64_t object, int depth);
  // The objects of each kind, from the byte after their marker.
  std::optional<PropertyList> integer(std::uint8_t info, std::size_t position);
  std::optional<PropertyList> real(std::uint8_t info, std::size_t position);
  std::optional<PropertyList> array(std::uint8_t info, std::size_t position, int depth);
  std::optional<PropertyList> dictionary(std::uint8_t info, std::size_t position, int depth);

  const std::uint8_t* bytes_;
  std::size_t size_;
  std::size_t offsetWidth_ = 0;
  std::size_t referenceWidth_ = 0;
  std::uint64_t objectCount_ = 0;
  std::uint64_t topObject_ = 0;
  // Where the offset table starts, which is also where the objects end.
  std::size_t offsetTable_ = 0;
  // Objects still allowed to be decoded; a tree that is not shared needs fewer than the bytes.
  std::uint64_t budget_ = 0;
  // String and data bytes still allowed to be produced.
  std::uint64_t bytesLeft_ = 0;
};

}  // namespace orvel
