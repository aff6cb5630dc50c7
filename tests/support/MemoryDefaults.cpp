// SPDX-License-Identifier: GPL-3.0-or-later

#include "support/MemoryDefaults.h"

#include <string>

#include "core/Log.h"

namespace orvel {

std::optional<PropertyList> MemoryDefaults::object(std::string_view key) const {
  auto found = values_.find(key);
  if (found == values_.end()) {
    return std::nullopt;
  }
  return found->second;
}

void MemoryDefaults::set(std::string_view key, const PropertyList& value) {
  ++writeCount_;
  if (!value.binary()) {
    logLine("Defaults", "Not storing \"" + std::string(key) + "\": the " + value.typeName() +
                            " cannot be encoded");
    return;
  }
  values_.insert_or_assign(std::string(key), value);
}

void MemoryDefaults::remove(std::string_view key) {
  ++writeCount_;
  if (auto found = values_.find(key); found != values_.end()) {
    values_.erase(found);
  }
}

}  // namespace orvel
