// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/PropertyList.h"

#include <plist/plist.h>

#include <cmath>
#include <memory>
#include <string_view>

#include "core/BinaryPlistReader.h"
#include "core/Text.h"

namespace orvel {
namespace {

// Values nest only a few levels in practice; the limit keeps hostile data from exhausting the
// stack in the recursive conversions, and what is written can always be read back.
constexpr int kMaxDepth = BinaryPlistReader::kMaxDepth;

// libplist 2.2 cuts a string at its first NUL and silently mangles invalid UTF-8 on the way to
// UTF-16, so such text is refused rather than stored as something else.
bool isEncodable(std::string_view text) {
  return text.find('\0') == std::string_view::npos && isValidUTF8(text);
}

struct PlistFree {
  void operator()(plist_t node) const { plist_free(node); }
};
using PlistPtr = std::unique_ptr<void, PlistFree>;

struct BinaryFree {
  void operator()(char* bytes) const { plist_to_bin_free(bytes); }
};

plist_t toNode(const PropertyList& value, int depth) {
  if (depth > kMaxDepth) {
    return nullptr;
  }
  const auto& storage = value.storage();
  if (const bool* flag = std::get_if<bool>(&storage)) {
    return plist_new_bool(*flag ? 1 : 0);
  }
  if (const std::int64_t* integer = std::get_if<std::int64_t>(&storage)) {
    return plist_new_uint(static_cast<std::uint64_t>(*integer));
  }
  if (const double* real = std::get_if<double>(&storage)) {
    return std::isfinite(*real) ? plist_new_real(*real) : nullptr;
  }
  if (const std::string* text = std::get_if<std::string>(&storage)) {
    return isEncodable(*text) ? plist_new_string(text->c_str()) : nullptr;
  }
  if (const PropertyList::Data* data = std::get_if<PropertyList::Data>(&storage)) {
    return plist_new_data(reinterpret_cast<const char*>(data->data()), data->size());
  }
  if (const PropertyList::Array* array = std::get_if<PropertyList::Array>(&storage)) {
    PlistPtr node(plist_new_array());
    for (const PropertyList& element : *array) {
      plist_t child = toNode(element, depth + 1);
      if (!child) {
        return nullptr;
      }
      plist_array_append_item(node.get(), child);
    }
    return node.release();
  }
  const auto& dictionary = std::get<PropertyList::Dictionary>(storage);
  PlistPtr node(plist_new_dict());
  for (const auto& [key, element] : dictionary) {
    if (!isEncodable(key)) {
      return nullptr;
    }
    plist_t child = toNode(element, depth + 1);
    if (!child) {
      return nullptr;
    }
    plist_dict_set_item(node.get(), key.c_str(), child);
  }
  return node.release();
}

}  // namespace

PropertyList PropertyList::stringArray(const std::vector<std::string>& strings) {
  Array array;
  array.reserve(strings.size());
  for (const std::string& text : strings) {
    array.emplace_back(text);
  }
  return PropertyList(std::move(array));
}

std::optional<std::vector<std::string>> PropertyList::strings() const {
  const Array* array = get<Array>();
  if (!array) {
    return std::nullopt;
  }
  std::vector<std::string> result;
  result.reserve(array->size());
  for (const PropertyList& element : *array) {
    if (const std::string* text = element.get<std::string>()) {
      result.push_back(*text);
    }
  }
  return result;
}

const char* PropertyList::typeName() const {
  static constexpr const char* kNames[] = {"boolean", "integer", "real",      "string",
                                           "data",    "array",   "dictionary"};
  return kNames[storage_.index()];
}

std::optional<PropertyList::Data> PropertyList::binary() const {
  PlistPtr node(toNode(*this, 0));
  if (!node) {
    return std::nullopt;
  }
  char* bytes = nullptr;
  std::uint32_t length = 0;
  plist_to_bin(node.get(), &bytes, &length);
  std::unique_ptr<char, BinaryFree> owned(bytes);
  if (!bytes) {
    return std::nullopt;
  }
  const auto* begin = reinterpret_cast<const std::uint8_t*>(bytes);
  return Data(begin, begin + length);
}

std::optional<PropertyList> PropertyList::fromBinary(const std::uint8_t* bytes, std::size_t size) {
  return BinaryPlistReader::read(bytes, size);
}

}  // namespace orvel
