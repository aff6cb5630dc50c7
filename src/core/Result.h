// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <string>
#include <utility>
#include <variant>

namespace orvel {

// A value, or the text of the error that kept it from being made.
template <typename T>
class Result {
 public:
  struct Error {
    std::string message;
  };

  Result(T value) : storage_(std::move(value)) {}
  Result(Error error) : storage_(std::move(error)) {}
  static Result failure(std::string message) { return Result(Error{std::move(message)}); }

  bool ok() const { return storage_.index() == 0; }
  explicit operator bool() const { return ok(); }
  const T& value() const& { return std::get<0>(storage_); }
  T&& value() && { return std::get<0>(std::move(storage_)); }
  const T& operator*() const& { return value(); }
  const T* operator->() const { return &value(); }
  const std::string& error() const { return std::get<1>(storage_).message; }

 private:
  std::variant<T, Error> storage_;
};

}  // namespace orvel
