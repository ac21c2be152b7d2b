// CRegistryKey against Wine's registry, with values written directly by
// RegSetValueExA in the shapes other programs leave behind: long, stored
// without their zero, of the wrong type or size.
#include "sys/registry_key.h"

#include <gtest/gtest.h>

#include <string>

namespace kq {
namespace {

constexpr char kTestKey[] = "Software\\KqTest\\RegistryKey";

class RegistryKeyTest : public ::testing::Test {
 protected:
  RegistryKeyTest() {
    RegDeleteKeyA(HKEY_CURRENT_USER, kTestKey);
    RegCreateKeyExA(HKEY_CURRENT_USER, kTestKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &raw_, nullptr);
  }
  ~RegistryKeyTest() override {
    if (raw_ != nullptr) RegCloseKey(raw_);
    RegDeleteKeyA(HKEY_CURRENT_USER, kTestKey);
  }
  void Set(const char* name, DWORD type, const void* data, DWORD size) {
    ASSERT_EQ(RegSetValueExA(raw_, name, 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS) << name;
  }
  void SetText(const char* name, const std::string& text, DWORD type = REG_SZ) {
    Set(name, type, text.c_str(), static_cast<DWORD>(text.size() + 1));
  }

  HKEY raw_ = nullptr;
};

TEST_F(RegistryKeyTest, StringsAreReadWholeAndTerminated) {
  ASSERT_NE(raw_, nullptr);
  const std::string longText(3000, 'L');
  SetText("Long", longText);
  Set("Unterminated", REG_SZ, "abcdef", 3);  // "abc" without its zero
  Set("Embedded", REG_SZ, "ab\0cd", 6);
  Set("Empty", REG_SZ, "", 0);
  SetText("Expand", "%KQ_REG_TEST%\\bin", REG_EXPAND_SZ);

  CRegistryKey key;
  ASSERT_EQ(key.Open(HKEY_CURRENT_USER, kTestKey), ERROR_SUCCESS);
  std::string value = "stale";
  DWORD type = 0;
  EXPECT_EQ(key.QueryValue("Long", value, &type), ERROR_SUCCESS);
  EXPECT_EQ(value, longText);
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(key.QueryValue("Unterminated", value), ERROR_SUCCESS);
  // Windows 9x stores a string up to its zero whatever size it is given, so
  // there the value is the whole text.
  const bool nineX = (GetVersion() & 0x80000000u) != 0;
  EXPECT_EQ(value, nineX ? "abcdef" : "abc");
  EXPECT_EQ(key.QueryValue("Embedded", value), ERROR_SUCCESS);
  EXPECT_EQ(value, "ab");
  EXPECT_EQ(key.QueryValue("Empty", value), ERROR_SUCCESS);
  EXPECT_EQ(value, "");
  EXPECT_EQ(key.QueryValue("Expand", value, &type), ERROR_SUCCESS);
  EXPECT_EQ(value, "%KQ_REG_TEST%\\bin") << "a plain read leaves the variables";
  EXPECT_EQ(type, static_cast<DWORD>(REG_EXPAND_SZ));

  // The expansion is longer than the stored text by far.
  const std::string folder = "C:\\" + std::string(400, 'e');
  SetEnvironmentVariableA("KQ_REG_TEST", folder.c_str());
  EXPECT_EQ(key.QueryExpandedValue("Expand", value), ERROR_SUCCESS);
  EXPECT_EQ(value, folder + "\\bin");
  SetText("PlainPercent", "%KQ_REG_TEST%");
  EXPECT_EQ(key.QueryExpandedValue("PlainPercent", value), ERROR_SUCCESS);
  EXPECT_EQ(value, "%KQ_REG_TEST%") << "only REG_EXPAND_SZ is expanded";
  SetEnvironmentVariableA("KQ_REG_TEST", nullptr);

  EXPECT_EQ(key.QueryValue("Missing", value), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(value, "");
}

TEST_F(RegistryKeyTest, TypesAndSizesAreChecked) {
  ASSERT_NE(raw_, nullptr);
  const DWORD number = 0x01020304;
  const unsigned long long wide = 5;
  Set("Number", REG_DWORD, &number, sizeof number);
  Set("Binary", REG_BINARY, &number, sizeof number);
  Set("Short", REG_DWORD, &number, 2);
  Set("Wide", REG_QWORD, &wide, sizeof wide);
  SetText("Text", "17");

  CRegistryKey key;
  ASSERT_EQ(key.Open(HKEY_CURRENT_USER, kTestKey), ERROR_SUCCESS);
  uint32_t value = 99;
  EXPECT_EQ(key.QueryValue("Number", value), ERROR_SUCCESS);
  EXPECT_EQ(value, 0x01020304u);
  for (const char* name : {"Binary", "Short", "Wide", "Text"}) {
    value = 99;
    EXPECT_EQ(key.QueryValue(name, value), ERROR_UNSUPPORTED_TYPE) << name;
    EXPECT_EQ(value, 99u) << name;
  }
  std::string text;
  EXPECT_EQ(key.QueryValue("Number", text), ERROR_UNSUPPORTED_TYPE);
  EXPECT_EQ(key.QueryValue("Binary", text), ERROR_UNSUPPORTED_TYPE);
  DWORD size = 0;
  EXPECT_EQ(key.QueryValueSize("Wide", size), ERROR_SUCCESS);
  EXPECT_EQ(size, 8u);
  EXPECT_EQ(key.QueryValueSize("Missing", size), ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryKeyTest, OpeningReplacesTheKeyHeld) {
  ASSERT_NE(raw_, nullptr);
  SetText("Here", "1");
  CRegistryKey key;
  std::string value;
  EXPECT_EQ(key.QueryValue("Here", value), ERROR_INVALID_HANDLE) << "nothing open yet";
  ASSERT_EQ(key.Open(HKEY_CURRENT_USER, kTestKey), ERROR_SUCCESS);
  EXPECT_EQ(key.Open(HKEY_CURRENT_USER, "Software\\KqTest\\Missing"), ERROR_FILE_NOT_FOUND);
  EXPECT_FALSE(key.IsOpen()) << "a failed open leaves no key, not the old one";
  ASSERT_EQ(key.Open(HKEY_CURRENT_USER, kTestKey), ERROR_SUCCESS);
  EXPECT_EQ(key.QueryValue("Here", value), ERROR_SUCCESS);
  EXPECT_EQ(value, "1");
  key.Close();
  EXPECT_FALSE(key.IsOpen());
  // The test prefix is 32-bit: one registry view.
  EXPECT_FALSE(HasWow64RegistryView());
}

}  // namespace
}  // namespace kq
