#include "sys/format.h"

#include <gtest/gtest.h>

namespace kq {
namespace {

TEST(Format, ProducesResultsOfAnyLength) {
  EXPECT_EQ(Format("Process completed with exit code: %08X", 0x8004FFFFu),
            "Process completed with exit code: 8004FFFF");
  const std::string big(10000, 'a');
  EXPECT_EQ(Format("[%s]", big.c_str()).size(), 10002u);
  EXPECT_EQ(Format("%s", ""), "");
}

}  // namespace
}  // namespace kq
