// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/Text.h"

#include <algorithm>
#include <cstdint>

namespace orvel {

std::size_t decodeUTF8(std::string_view text, std::size_t index, char32_t& codePoint) {
  const auto byte = static_cast<unsigned char>(text[index]);
  std::size_t length = 0;
  if (byte < 0x80) {
    codePoint = byte;
    return 1;
  }
  if ((byte & 0xE0) == 0xC0) {
    length = 2;
    codePoint = byte & 0x1F;
  } else if ((byte & 0xF0) == 0xE0) {
    length = 3;
    codePoint = byte & 0x0F;
  } else if ((byte & 0xF8) == 0xF0) {
    length = 4;
    codePoint = byte & 0x07;
  } else {
    return 0;
  }
  if (index + length > text.size()) {
    return 0;
  }
  for (std::size_t offset = 1; offset < length; ++offset) {
    const auto next = static_cast<unsigned char>(text[index + offset]);
    if ((next & 0xC0) != 0x80) {
      return 0;
    }
    codePoint = (codePoint << 6) | (next & 0x3F);
  }
  static constexpr char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
  if (codePoint < kSmallest[length] || codePoint > 0x10FFFF ||
      (codePoint >= 0xD800 && codePoint <= 0xDFFF)) {
    return 0;
  }
  return length;
}

bool isWhitespaceOrNewline(char32_t c) {
  switch (c) {
    case 0x09:
    case 0x0A:
    case 0x0B:
    case 0x0C:
    case 0x0D:
    case 0x20:
    case 0x85:
    case 0xA0:
    case 0x1680:
    case 0x2028:
    case 0x2029:
    case 0x202F:
    case 0x205F:
    case 0x3000:
      return true;
    default:
      return c >= 0x2000 && c <= 0x200A;
  }
}

namespace {

// Length of the white space that ends at text[end - 1], or 0.
std::size_t whitespaceBefore(std::string_view text, std::size_t end) {
  std::size_t start = end;
  // Walk back to the first byte of the last sequence (at most four bytes).
  while (start > 0 && end - start < 4) {
    --start;
    if ((static_cast<unsigned char>(text[start]) & 0xC0) != 0x80) {
      break;
    }
  }
  char32_t codePoint = 0;
  const std::size_t length = decodeUTF8(text, start, codePoint);
  return length == end - start && isWhitespaceOrNewline(codePoint) ? length : 0;
}

}  // namespace

int hexDigitValue(char c) {
  if (c >= '0' && c <= '9') {
    return c - '0';
  }
  if (c >= 'a' && c <= 'f') {
    return c - 'a' + 10;
  }
  if (c >= 'A' && c <= 'F') {
    return c - 'A' + 10;
  }
  return -1;
}

std::string_view trimmedWhitespace(std::string_view text) {
  std::size_t begin = 0;
  while (begin < text.size()) {
    char32_t codePoint = 0;
    const std::size_t length = decodeUTF8(text, begin, codePoint);
    if (length == 0 || !isWhitespaceOrNewline(codePoint)) {
      break;
    }
    begin += length;
  }
  std::size_t end = text.size();
  while (end > begin) {
    const std::size_t length = whitespaceBefore(text, end);
    if (length == 0) {
      break;
    }
    end -= length;
  }
  return text.substr(begin, end - begin);
}

bool isBlank(std::string_view text) {
  return trimmedWhitespace(text).empty();
}

std::optional<std::string> removingPercentEncoding(std::string_view text) {
  std::string result;
  result.reserve(text.size());
  for (std::size_t index = 0; index < text.size(); ++index) {
    if (text[index] != '%') {
      result += text[index];
      continue;
    }
    if (index + 2 >= text.size()) {
      return std::nullopt;
    }
    const int high = hexDigitValue(text[index + 1]);
    const int low = hexDigitValue(text[index + 2]);
    if (high < 0 || low < 0) {
      return std::nullopt;
    }
    result += static_cast<char>(high * 16 + low);
    index += 2;
  }
  if (!isValidUTF8(result)) {
    return std::nullopt;
  }
  return result;
}

std::string lenientPercentDecoded(std::string_view text) {
  std::string result;
  result.reserve(text.size());
  for (std::size_t index = 0; index < text.size(); ++index) {
    if (text[index] == '%' && index + 2 < text.size()) {
      const int high = hexDigitValue(text[index + 1]);
      const int low = hexDigitValue(text[index + 2]);
      if (high >= 0 && low >= 0) {
        result += static_cast<char>(high * 16 + low);
        index += 2;
        continue;
      }
    }
    result += text[index];
  }
  return result;
}

bool isValidUTF8(std::string_view text) {
  for (std::size_t index = 0; index < text.size();) {
    char32_t codePoint = 0;
    const std::size_t length = decodeUTF8(text, index, codePoint);
    if (length == 0) {
      return false;
    }
    index += length;
  }
  return true;
}

std::string asciiLowercased(std::string_view text) {
  std::string result(text);
  for (char& c : result) {
    if (c >= 'A' && c <= 'Z') {
      c = static_cast<char>(c - 'A' + 'a');
    }
  }
  return result;
}

std::string_view prefixOfCharacters(std::string_view text, std::size_t maxCharacters) {
  std::size_t index = 0;
  for (std::size_t count = 0; count < maxCharacters && index < text.size(); ++count) {
    char32_t codePoint = 0;
    index += std::max<std::size_t>(decodeUTF8(text, index, codePoint), 1);
  }
  return text.substr(0, index);
}

void cutToCharacters(std::string& text, std::size_t maxCharacters) {
  // A character takes at least one byte: text no longer than the limit in bytes is kept whole.
  if (text.size() > maxCharacters) {
    text.resize(prefixOfCharacters(text, maxCharacters).size());
  }
}

}  // namespace orvel
