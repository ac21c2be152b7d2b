// The lead-byte tables carried for the host build agree with the system's
// own, and code page 0 is the system's ANSI code page.
#include <windows.h>

#include <gtest/gtest.h>

#include "text/ansi_code_page.h"
#include "text/mbcs_path.h"

namespace kq {
namespace {

TEST(MbcsPathWin, TablesAgreeWithIsDBCSLeadByteEx) {
  for (unsigned codePage : {932u, 936u, 949u, 950u}) {
    ASSERT_TRUE(IsValidCodePage(codePage)) << codePage;
    unsigned leads = 0;
    for (unsigned b = 0; b < 256; ++b) {
      const bool system = IsDBCSLeadByteEx(codePage, static_cast<BYTE>(b)) != FALSE;
      EXPECT_EQ(IsLeadByte(static_cast<unsigned char>(b), codePage), system)
          << "code page " << codePage << " byte " << std::hex << b;
      if (system) ++leads;
    }
    EXPECT_GE(leads, 60u) << codePage;  // 932 has the fewest: 31 + 29
  }
}

TEST(MbcsPathWin, CodePageZeroIsTheSystemAnsiCodePage) {
  EXPECT_EQ(SystemAnsiCodePage(), GetACP());
  for (unsigned b = 0; b < 256; ++b) {
    EXPECT_EQ(IsLeadByte(static_cast<unsigned char>(b)), IsDBCSLeadByte(static_cast<BYTE>(b)) != FALSE) << b;
  }
}

}  // namespace
}  // namespace kq
