// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstddef>
#include <functional>
#include <map>
#include <string>
#include <utility>

#include "core/Defaults.h"

namespace orvel {

// Defaults held in memory, for tests. Like the real store it refuses values that cannot be
// encoded, so code that passes here does not lose writes there.
class MemoryDefaults final : public Defaults {
 public:
  using Values = std::map<std::string, PropertyList, std::less<>>;

  MemoryDefaults() = default;
  explicit MemoryDefaults(Values values) : values_(std::move(values)) {}

  std::optional<PropertyList> object(std::string_view key) const override;
  void set(std::string_view key, const PropertyList& value) override;
  void remove(std::string_view key) override;

  const Values& values() const { return values_; }
  // Every call of set or remove, whether or not it changed anything.
  std::size_t writeCount() const { return writeCount_; }
  // Batches open right now, so a test can check writes happen inside one.
  int batchDepth() const { return batchDepth_; }

 protected:
  void beginBatch() override { ++batchDepth_; }
  void endBatch() override { --batchDepth_; }

 private:
  Values values_;
  std::size_t writeCount_ = 0;
  int batchDepth_ = 0;
};

}  // namespace orvel
