#include "core/PropertyList.h"

#include <plist/plist.h>

#include <cmath>
#include <limits>
#include <memory>

namespace orvel {
namespace {

// Values nest only a few levels in practice; the limit keeps hostile data from exhausting the
// stack in the recursive conversions below.
constexpr int kMaxDepth = 64;

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
    return plist_new_string(text->c_str());
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
    plist_t child = toNode(element, depth + 1);
    if (!child) {
      return nullptr;
    }
    plist_dict_set_item(node.get(), key.c_str(), child);
  }
  return node.release();
}

std::optional<PropertyList> fromNode(plist_t node, int depth) {
  if (!node || depth > kMaxDepth) {
    return std::nullopt;
  }
  switch (plist_get_node_type(node)) {
    case PLIST_BOOLEAN: {
      std::uint8_t flag = 0;
      plist_get_bool_val(node, &flag);
      return PropertyList(flag != 0);
    }
    case PLIST_UINT: {
      std::uint64_t integer = 0;
      plist_get_uint_val(node, &integer);
      return PropertyList(static_cast<std::int64_t>(integer));
    }
    case PLIST_REAL: {
      double real = 0;
      plist_get_real_val(node, &real);
      return PropertyList(real);
    }
    case PLIST_STRING: {
      char* text = nullptr;
      plist_get_string_val(node, &text);
      std::unique_ptr<char, decltype(&std::free)> owned(text, &std::free);
      return PropertyList(std::string(text ? text : ""));
    }
    case PLIST_DATA: {
      char* bytes = nullptr;
      std::uint64_t length = 0;
      plist_get_data_val(node, &bytes, &length);
      std::unique_ptr<char, decltype(&std::free)> owned(bytes, &std::free);
      const auto* begin = reinterpret_cast<const std::uint8_t*>(bytes);
      return PropertyList(bytes ? PropertyList::Data(begin, begin + length) : PropertyList::Data());
    }
    case PLIST_ARRAY: {
      PropertyList::Array array;
      const std::uint32_t count = plist_array_get_size(node);
      array.reserve(count);
      for (std::uint32_t index = 0; index < count; ++index) {
        auto element = fromNode(plist_array_get_item(node, index), depth + 1);
        if (!element) {
          return std::nullopt;
        }
        array.push_back(std::move(*element));
      }
      return PropertyList(std::move(array));
    }
    case PLIST_DICT: {
      PropertyList::Dictionary dictionary;
      plist_dict_iter iterator = nullptr;
      plist_dict_new_iter(node, &iterator);
      std::unique_ptr<void, decltype(&std::free)> ownedIterator(iterator, &std::free);
      for (;;) {
        char* key = nullptr;
        plist_t child = nullptr;
        plist_dict_next_item(node, iterator, &key, &child);
        if (!key) {
          break;
        }
        std::unique_ptr<char, decltype(&std::free)> ownedKey(key, &std::free);
        auto element = fromNode(child, depth + 1);
        if (!element) {
          return std::nullopt;
        }
        dictionary.insert_or_assign(std::string(key), std::move(*element));
      }
      return PropertyList(std::move(dictionary));
    }
    default:
      // Dates, UIDs and the like are never written by this program.
      return std::nullopt;
  }
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
  if (!bytes || size < 8 || size > std::numeric_limits<std::uint32_t>::max()) {
    return std::nullopt;
  }
  plist_t node = nullptr;
  plist_from_bin(reinterpret_cast<const char*>(bytes), static_cast<std::uint32_t>(size), &node);
  PlistPtr owned(node);
  return fromNode(owned.get(), 0);
}

}  // namespace orvel
