// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/PropertyList.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>

namespace orvel {
namespace {

std::optional<PropertyList> roundTrip(const PropertyList& value) {
  auto bytes = value.binary();
  if (!bytes) {
    ADD_FAILURE() << "cannot encode the " << value.typeName();
    return std::nullopt;
  }
  return PropertyList::fromBinary(*bytes);
}

PropertyList sample() {
  PropertyList::Dictionary entry{
      {"mediaID", "dQw4w9WgXcQ"},
      {"title", "Caf\xC3\xA9 \xF0\x9F\x8E\xAC \xE2\x80\x94 \"live\""},
      {"position", 212.75},
      {"watched", true},
      {"thumbnail", PropertyList::Data{0x00, 0xFF, 0x10, 0x00}},
      {"", PropertyList::Array{}},
  };
  return PropertyList(PropertyList::Dictionary{
      {"history", PropertyList::Array{entry, PropertyList(PropertyList::Dictionary{})}},
      {"volume", 0.0},
      {"emptyData", PropertyList::Data{}},
      {"emptyString", ""},
      {"flags", PropertyList::Array{false, true, 1, -1}},
  });
}

TEST(PropertyListTest, EveryTypeSurvivesRoundTripAtTopLevelAndNested) {
  const PropertyList values[] = {
      true, false, 0, 1, 42, 1.0, 0.5, -1.0e300, "plain", PropertyList::Data{1, 2, 3}, sample(),
  };
  // Equality includes the type, so 1, 1.0 and true must each come back as what they were.
  for (const PropertyList& value : values) {
    EXPECT_EQ(roundTrip(value), value) << value.typeName();
  }
}

TEST(PropertyListTest, IntegersKeepSignAndFullRange) {
  using Limits = std::numeric_limits<std::int64_t>;
  for (std::int64_t value : {std::int64_t{-1}, std::int64_t{-128}, std::int64_t{-40000},
                             std::int64_t{255}, std::int64_t{65536}, std::int64_t{1} << 40,
                             Limits::max(), Limits::min(), Limits::min() + 1}) {
    const auto decoded = roundTrip(value);
    ASSERT_TRUE(decoded && decoded->get<std::int64_t>()) << value;
    EXPECT_EQ(*decoded->get<std::int64_t>(), value);
  }
}

TEST(PropertyListTest, ValuesThatCannotBeStoredFaithfullyAreRefused) {
  for (double real :
       {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
        -std::numeric_limits<double>::infinity()}) {
    EXPECT_FALSE(PropertyList(real).binary());
    EXPECT_FALSE(
        PropertyList(PropertyList::Dictionary{{"a", PropertyList::Array{1, real}}}).binary());
  }
  // Text must be UTF-8 without NUL, or libplist would store something else.
  for (const char* text : {"ab\xC3(x", "\xFF\xFE", "\xC0\xAF", "\xED\xA0\x80"}) {
    EXPECT_FALSE(PropertyList(text).binary()) << text;
    EXPECT_FALSE(PropertyList(PropertyList::Dictionary{{text, 1}}).binary()) << text;
  }
  EXPECT_FALSE(PropertyList(std::string("a\0b", 3)).binary());
  PropertyList deep(1);
  for (int level = 0; level < 100; ++level) {
    deep = PropertyList(PropertyList::Array{deep});
  }
  EXPECT_FALSE(deep.binary());
}

TEST(PropertyListTest, GarbageIsRefusedWithoutCrashing) {
  EXPECT_FALSE(PropertyList::fromBinary(nullptr, 0));
  EXPECT_FALSE(PropertyList::fromBinary(PropertyList::Data{}));
  const std::string text = "<?xml version=\"1.0\"?><plist><true/></plist>";
  EXPECT_FALSE(PropertyList::fromBinary(PropertyList::Data(text.begin(), text.end())));
  const std::string header = "bplist00 and then nothing that makes sense at all, really...";
  EXPECT_FALSE(PropertyList::fromBinary(PropertyList::Data(header.begin(), header.end())));

  // Every truncation and many single-byte corruptions of a real value: none may crash, and a
  // truncated one must not decode.
  const PropertyList::Data valid = *sample().binary();
  for (std::size_t size = 0; size < valid.size(); ++size) {
    EXPECT_FALSE(PropertyList::fromBinary(valid.data(), size)) << size;
  }
  std::uint32_t seed = 12345;
  for (int round = 0; round < 2000; ++round) {
    PropertyList::Data damaged = valid;
    seed = seed * 1664525u + 1013904223u;
    damaged[seed % damaged.size()] = static_cast<std::uint8_t>(seed >> 24);
    (void)PropertyList::fromBinary(damaged);
  }
}

// A binary list of one array that names its second object, `length` bytes of data (or of ASCII
// text), `count` times: shared objects, as the writer makes for equal values.
PropertyList::Data sharedObjectList(std::uint16_t count, std::uint16_t length, bool text) {
  PropertyList::Data bytes{'b', 'p', 'l', 'i', 's', 't', '0', '0'};
  auto append16 = [&bytes](std::uint16_t value) {
    bytes.push_back(static_cast<std::uint8_t>(value >> 8));
    bytes.push_back(static_cast<std::uint8_t>(value & 0xFF));
  };
  bytes.insert(bytes.end(), {0xAF, 0x11});
  append16(count);
  bytes.insert(bytes.end(), count, 1);
  const auto second = static_cast<std::uint16_t>(bytes.size());
  bytes.insert(bytes.end(), {static_cast<std::uint8_t>(text ? 0x5F : 0x4F), 0x11});
  append16(length);
  bytes.insert(bytes.end(), length, 'x');
  const auto table = static_cast<std::uint16_t>(bytes.size());
  append16(8);
  append16(second);
  // The trailer: two-byte offsets, one-byte references, two objects, the first on top.
  bytes.insert(bytes.end(), {0, 0, 0, 0, 0, 0, 2, 1, 0, 0, 0, 0, 0, 0, 0, 2});
  bytes.insert(bytes.end(), 8, 0);
  bytes.insert(bytes.end(), 6, 0);
  append16(table);
  return bytes;
}

TEST(PropertyListTest, SharedObjectsAreReadButCannotMultiplyTheInput) {
  const auto shared = PropertyList::fromBinary(sharedObjectList(8, 100, false));
  ASSERT_TRUE(shared && shared->get<PropertyList::Array>());
  EXPECT_EQ(shared->get<PropertyList::Array>()->size(), 8u);
  EXPECT_EQ(shared->get<PropertyList::Array>()->back(), PropertyList(PropertyList::Data(100, 'x')));
  EXPECT_TRUE(PropertyList::fromBinary(sharedObjectList(8, 100, true)));

  // 40 KB that would decode to 400 MB of copies: more than the small value's allowance, and
  // more than its share.
  EXPECT_FALSE(PropertyList::fromBinary(sharedObjectList(20000, 20000, false)));
  EXPECT_FALSE(PropertyList::fromBinary(sharedObjectList(20000, 20000, true)));
}

}  // namespace
}  // namespace orvel
