// The owner of a folder under Wine: one this process made is this user's.
#include "sys/file_owner.h"

#include <gtest/gtest.h>

#include "sys/test_support.h"
#include "sys/wide_ansi.h"

namespace kq {
namespace {

TEST(FileOwner, AFolderThisProcessMadeIsThisUsers) {
  const std::string folder = test::ScratchFolder("kq_owner");
  EXPECT_TRUE(IsOwnedByThisUser(folder));
  // Where Windows has one user, everything is that user's.
  EXPECT_EQ(IsOwnedByThisUser(folder + "missing\\"), !IsWindowsNT()) << "an owner that cannot be read is nobody's";
}

}  // namespace
}  // namespace kq
