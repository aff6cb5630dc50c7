// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/BinaryPlistReader.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <utility>

namespace orvel {
namespace {

constexpr std::size_t kHeaderSize = 8;
constexpr std::size_t kTrailerSize = 32;

void appendUtf8(std::string& text, std::uint32_t point) {
  if (point < 0x80) {
    text += static_cast<char>(point);
  } else if (point < 0x800) {
    text += static_cast<char>(0xC0 | (point >> 6));
    text += static_cast<char>(0x80 | (point & 0x3F));
  } else if (point < 0x10000) {
    text += static_cast<char>(0xE0 | (point >> 12));
    text += static_cast<char>(0x80 | ((point >> 6) & 0x3F));
    text += static_cast<char>(0x80 | (point & 0x3F));
  } else {
    text += static_cast<char>(0xF0 | (point >> 18));
    text += static_cast<char>(0x80 | ((point >> 12) & 0x3F));
    text += static_cast<char>(0x80 | ((point >> 6) & 0x3F));
    text += static_cast<char>(0x80 | (point & 0x3F));
  }
}

}  // namespace

std::optional<PropertyList> BinaryPlistReader::read(const std::uint8_t* bytes, std::size_t size) {
  if (!bytes || size < kHeaderSize + 1 + kTrailerSize ||
      std::memcmp(bytes, "bplist00", kHeaderSize) != 0) {
    return std::nullopt;
  }
  BinaryPlistReader reader(bytes, size);
  if (!reader.readTrailer()) {
    return std::nullopt;
  }
  return reader.value(reader.topObject_, 0);
}

bool BinaryPlistReader::readTrailer() {
  const std::size_t trailer = size_ - kTrailerSize;
  offsetWidth_ = bytes_[trailer + 6];
  referenceWidth_ = bytes_[trailer + 7];
  objectCount_ = bigEndian(trailer + 8, 8);
  topObject_ = bigEndian(trailer + 16, 8);
  const std::uint64_t offsetTable = bigEndian(trailer + 24, 8);
  if (offsetWidth_ < 1 || offsetWidth_ > 8 || referenceWidth_ < 1 || referenceWidth_ > 8 ||
      objectCount_ == 0 || topObject_ >= objectCount_ || offsetTable <= kHeaderSize ||
      offsetTable > trailer || objectCount_ > (trailer - offsetTable) / offsetWidth_) {
    return false;
  }
  offsetTable_ = static_cast<std::size_t>(offsetTable);
  budget_ = size_;
  bytesLeft_ = std::max(kFreeBytes, static_cast<std::uint64_t>(size_) * kMaxSharing);
  return true;
}

bool BinaryPlistReader::spend(std::uint64_t bytes) {
  if (bytes > bytesLeft_) {
    return false;
  }
  bytesLeft_ -= bytes;
  return true;
}

std::uint64_t BinaryPlistReader::bigEndian(std::size_t position, std::size_t width) const {
  std::uint64_t result = 0;
  for (std::size_t index = 0; index < width; ++index) {
    result = (result << 8) | bytes_[position + index];
  }
  return result;
}

bool BinaryPlistReader::fits(std::size_t position, std::uint64_t count, std::uint64_t unit) const {
  return position <= offsetTable_ && count <= (offsetTable_ - position) / unit;
}

std::optional<std::size_t> BinaryPlistReader::offsetOf(std::uint64_t object) const {
  if (object >= objectCount_) {
    return std::nullopt;
  }
  const std::uint64_t offset =
      bigEndian(offsetTable_ + static_cast<std::size_t>(object) * offsetWidth_, offsetWidth_);
  if (offset < kHeaderSize || offset >= offsetTable_) {
    return std::nullopt;
  }
  return static_cast<std::size_t>(offset);
}

std::optional<std::uint64_t> BinaryPlistReader::referenceAt(std::size_t position) const {
  const std::uint64_t reference = bigEndian(position, referenceWidth_);
  if (reference >= objectCount_) {
    return std::nullopt;
  }
  return reference;
}

// A count up to 14 sits in the marker itself; 15 means an integer object follows with the count.
std::optional<std::uint64_t> BinaryPlistReader::lengthAfter(std::uint8_t info,
                                                            std::size_t& position) const {
  if (info != 0x0F) {
    return info;
  }
  if (!fits(position, 1, 1)) {
    return std::nullopt;
  }
  const std::uint8_t marker = bytes_[position];
  if ((marker & 0xF0) != 0x10 || (marker & 0x0F) > 3) {
    return std::nullopt;
  }
  const std::size_t width = std::size_t{1} << (marker & 0x0F);
  if (!fits(position + 1, width, 1)) {
    return std::nullopt;
  }
  const std::uint64_t length = bigEndian(position + 1, width);
  position += 1 + width;
  return length;
}

// Strings hold no NUL, so that every string read can be written back unchanged.
std::optional<std::string> BinaryPlistReader::text(std::uint64_t object) {
  if (budget_ == 0) {
    return std::nullopt;
  }
  --budget_;
  const std::optional<std::size_t> offset = offsetOf(object);
  if (!offset) {
    return std::nullopt;
  }
  const std::uint8_t marker = bytes_[*offset];
  std::size_t position = *offset + 1;
  const std::optional<std::uint64_t> length = lengthAfter(marker & 0x0F, position);
  if (!length) {
    return std::nullopt;
  }
  std::string result;
  if ((marker & 0xF0) == 0x50) {
    if (!fits(position, *length, 1) || !spend(*length)) {
      return std::nullopt;
    }
    result.assign(reinterpret_cast<const char*>(bytes_ + position),
                  static_cast<std::size_t>(*length));
    for (char character : result) {
      if (character == '\0' || static_cast<unsigned char>(character) >= 0x80) {
        return std::nullopt;
      }
    }
    return result;
  }
  // UTF-8 takes at most three bytes for each UTF-16 unit.
  if ((marker & 0xF0) != 0x60 || !fits(position, *length, 2) || !spend(*length * 3)) {
    return std::nullopt;
  }
  result.reserve(static_cast<std::size_t>(*length));
  const std::size_t end = position + static_cast<std::size_t>(*length) * 2;
  while (position < end) {
    std::uint32_t unit = static_cast<std::uint32_t>(bigEndian(position, 2));
    position += 2;
    if (unit == 0 || (unit >= 0xDC00 && unit <= 0xDFFF)) {
      return std::nullopt;
    }
    if (unit >= 0xD800 && unit <= 0xDBFF) {
      if (position >= end) {
        return std::nullopt;
      }
      const auto low = static_cast<std::uint32_t>(bigEndian(position, 2));
      position += 2;
      if (low < 0xDC00 || low > 0xDFFF) {
        return std::nullopt;
      }
      unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
    }
    appendUtf8(result, unit);
  }
  return result;
}

std::optional<PropertyList> BinaryPlistReader::value(std::uint64_t object, int depth) {
  if (depth > kMaxDepth || budget_ == 0) {
    return std::nullopt;
  }
  const std::optional<std::size_t> offset = offsetOf(object);
  if (!offset) {
    return std::nullopt;
  }
  const std::uint8_t marker = bytes_[*offset];
  const std::uint8_t info = marker & 0x0F;
  std::size_t position = *offset + 1;
  switch (marker >> 4) {
    case 0x0:
      --budget_;
      if (marker == 0x08 || marker == 0x09) {
        return PropertyList(marker == 0x09);
      }
      return std::nullopt;
    case 0x1:
      return integer(info, position);
    case 0x2:
      return real(info, position);
    case 0x4: {
      --budget_;
      const std::optional<std::uint64_t> length = lengthAfter(info, position);
      if (!length || !fits(position, *length, 1) || !spend(*length)) {
        return std::nullopt;
      }
      const std::uint8_t* begin = bytes_ + position;
      return PropertyList(PropertyList::Data(begin, begin + *length));
    }
    case 0x5:
    case 0x6: {
      std::optional<std::string> string = text(object);
      if (!string) {
        return std::nullopt;
      }
      return PropertyList(std::move(*string));
    }
    case 0xA:
      return array(info, position, depth);
    case 0xD:
      return dictionary(info, position, depth);
    default:
      // Dates, UIDs, sets and the like are never written by this program.
      return std::nullopt;
  }
}

std::optional<PropertyList> BinaryPlistReader::integer(std::uint8_t info, std::size_t position) {
  --budget_;
  if (info > 4 || !fits(position, std::size_t{1} << info, 1)) {
    return std::nullopt;
  }
  if (info == 4) {
    // Sixteen bytes hold unsigned values past the signed range; only those that fit are kept.
    const std::uint64_t high = bigEndian(position, 8);
    const std::uint64_t low = bigEndian(position + 8, 8);
    if (high != 0 || low > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
      return std::nullopt;
    }
    return PropertyList(static_cast<std::int64_t>(low));
  }
  // Eight bytes are two's complement; shorter ones are unsigned.
  return PropertyList(static_cast<std::int64_t>(bigEndian(position, std::size_t{1} << info)));
}

std::optional<PropertyList> BinaryPlistReader::real(std::uint8_t info, std::size_t position) {
  --budget_;
  double number = 0;
  if (info == 2 && fits(position, 4, 1)) {
    const auto bits = static_cast<std::uint32_t>(bigEndian(position, 4));
    float single = 0;
    std::memcpy(&single, &bits, sizeof single);
    number = single;
  } else if (info == 3 && fits(position, 8, 1)) {
    const std::uint64_t bits = bigEndian(position, 8);
    std::memcpy(&number, &bits, sizeof number);
  } else {
    return std::nullopt;
  }
  if (!std::isfinite(number)) {
    return std::nullopt;
  }
  return PropertyList(number);
}

std::optional<PropertyList> BinaryPlistReader::array(std::uint8_t info, std::size_t position,
                                                     int depth) {
  --budget_;
  const std::optional<std::uint64_t> count = lengthAfter(info, position);
  if (!count || !fits(position, *count, referenceWidth_)) {
    return std::nullopt;
  }
  PropertyList::Array array;
  array.reserve(static_cast<std::size_t>(*count));
  for (std::uint64_t index = 0; index < *count; ++index) {
    const auto reference =
        referenceAt(position + static_cast<std::size_t>(index) * referenceWidth_);
    std::optional<PropertyList> element = reference ? value(*reference, depth + 1) : std::nullopt;
    if (!element) {
      return std::nullopt;
    }
    array.push_back(std::move(*element));
  }
  return PropertyList(std::move(array));
}

std::optional<PropertyList> BinaryPlistReader::dictionary(std::uint8_t info, std::size_t position,
                                                          int depth) {
  --budget_;
  const std::optional<std::uint64_t> count = lengthAfter(info, position);
  if (!count || !fits(position, *count, referenceWidth_ * 2)) {
    return std::nullopt;
  }
  const std::size_t values = position + static_cast<std::size_t>(*count) * referenceWidth_;
  PropertyList::Dictionary dictionary;
  for (std::uint64_t index = 0; index < *count; ++index) {
    const std::size_t slot = static_cast<std::size_t>(index) * referenceWidth_;
    const auto keyReference = referenceAt(position + slot);
    const auto valueReference = referenceAt(values + slot);
    if (!keyReference || !valueReference) {
      return std::nullopt;
    }
    std::optional<std::string> key = text(*keyReference);
    std::optional<PropertyList> element = key ? value(*valueReference, depth + 1) : std::nullopt;
    if (!element) {
      return std::nullopt;
    }
    dictionary.insert_or_assign(std::move(*key), std::move(*element));
  }
  return PropertyList(std::move(dictionary));
}

}  // namespace orvel
