// SPDX-License-Identifier: GPL-3.0-or-later

#include <gtest/gtest.h>

#include "support/LogCapture.h"

namespace orvel {
namespace {

TEST(Log, ControlCharactersAreWrittenVisiblyAndCannotForgeALine) {
  LogCapture log;
  logLine("Updates",
          "feed offers 7.7\x1B[2J\a\nfake line \xC2\x9B"
          "1m caf\xC3\xA9\x7F");
  ASSERT_EQ(log.lines.size(), 1u);
  EXPECT_EQ(log.lines[0],
            "[Updates] feed offers 7.7\\x1B[2J\\x07\\x0Afake line \\x9B"
            "1m caf\xC3\xA9\\x7F");
}

}  // namespace
}  // namespace orvel
