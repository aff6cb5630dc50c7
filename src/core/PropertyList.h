// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace orvel {

// One value of the per-user defaults store: a boolean, integer, real, string, data, array or
// dictionary, nested freely. Stored as a binary property list.
class PropertyList {
 public:
  using Data = std::vector<std::uint8_t>;
  using Array = std::vector<PropertyList>;
  using Dictionary = std::map<std::string, PropertyList, std::less<>>;
  using Storage = std::variant<bool, std::int64_t, double, std::string, Data, Array, Dictionary>;

  PropertyList() : storage_(false) {}
  PropertyList(bool value) : storage_(value) {}
  PropertyList(int value) : storage_(static_cast<std::int64_t>(value)) {}
  PropertyList(std::int64_t value) : storage_(value) {}
  PropertyList(double value) : storage_(value) {}
  PropertyList(const char* value) : storage_(std::string(value)) {}
  PropertyList(std::string value) : storage_(std::move(value)) {}
  PropertyList(Data value) : storage_(std::move(value)) {}
  PropertyList(Array value) : storage_(std::move(value)) {}
  PropertyList(Dictionary value) : storage_(std::move(value)) {}

  static PropertyList stringArray(const std::vector<std::string>& strings);

  const Storage& storage() const { return storage_; }

  // The value when it holds a T, else nullptr.
  template <typename T>
  const T* get() const {
    return std::get_if<T>(&storage_);
  }

  // The array's strings when this is an array; elements of other types are left out.
  std::optional<std::vector<std::string>> strings() const;

  // A short name of the held type, for log lines: "boolean", "data", ...
  const char* typeName() const;

  bool operator==(const PropertyList& other) const { return storage_ == other.storage_; }

  // The binary property-list form; none when a real is not finite, a string or key is not UTF-8
  // or holds a NUL, or nesting is too deep.
  std::optional<Data> binary() const;
  static std::optional<PropertyList> fromBinary(const std::uint8_t* bytes, std::size_t size);
  static std::optional<PropertyList> fromBinary(const Data& bytes) {
    return fromBinary(bytes.data(), bytes.size());
  }

 private:
  Storage storage_;
};

}  // namespace orvel
