#include "sys/log_switch.h"

#include <gtest/gtest.h>

#include <string>

namespace kq {
namespace {

TEST(LogSwitch, OnlyTheWholeTokenLogInAnyCaseSwitchesOn) {
  EXPECT_FALSE(LogSwitchRequested(nullptr));
  EXPECT_FALSE(LogSwitchRequested(""));
  EXPECT_FALSE(LogSwitchRequested("LOGS"));
  EXPECT_FALSE(LogSwitchRequested("DEBUG"));
  EXPECT_FALSE(LogSwitchRequested("LO G"));
  EXPECT_TRUE(LogSwitchRequested("LOG"));
  EXPECT_TRUE(LogSwitchRequested("log"));
  EXPECT_TRUE(LogSwitchRequested("DEBUG,Log"));
  EXPECT_TRUE(LogSwitchRequested("x, log ,y"));
  EXPECT_TRUE(LogSwitchRequested("\"LOG\""));
  EXPECT_TRUE(LogSwitchRequested(" , ,lOg"));
}

TEST(LogSwitch, AMalformedTokenEndsTheScanButKeepsAnEarlierMatch) {
  EXPECT_TRUE(LogSwitchRequested("LOG,x\"y\",z"));
  EXPECT_FALSE(LogSwitchRequested("x\"y\",LOG"));
  EXPECT_FALSE(LogSwitchRequested("\"unclosed,LOG"));
}

TEST(LogSwitch, ValuesLongerThan260CharactersAreReadWhole) {
  std::string value(400, 'x');
  value += ",LOG";
  EXPECT_TRUE(LogSwitchRequested(value.c_str()));
}

TEST(LogSwitch, DoubleByteTextNeverMatches) {
  // Shift-JIS bytes whose trail bytes are ASCII letters.
  EXPECT_FALSE(LogSwitchRequested("\x83L\x83O,\x8BLOG"));
}

}  // namespace
}  // namespace kq
