// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "core/PropertyList.h"

namespace orvel {

// The per-user store of property-list values by key.
class Defaults {
 public:
  virtual ~Defaults() = default;

  virtual std::optional<PropertyList> object(std::string_view key) const = 0;
  virtual void set(std::string_view key, const PropertyList& value) = 0;
  virtual void remove(std::string_view key) = 0;

  // Writes made while a batch is open share one transaction, committed when the outermost batch
  // ends; without a batch every write is committed on its own before it returns.
  class Batch {
   public:
    explicit Batch(Defaults& defaults) : defaults_(defaults) { defaults_.beginBatch(); }
    Batch(const Batch&) = delete;
    Batch& operator=(const Batch&) = delete;
    ~Batch() { defaults_.endBatch(); }

   private:
    Defaults& defaults_;
  };

 protected:
  virtual void beginBatch() {}
  virtual void endBatch() {}
};

}  // namespace orvel
