// The host's stdio files behind the INI library.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "ini/ini_file.h"
#include "ini_test_util.h"

namespace kq {
namespace {

TEST(IniHostFile, LoadsAndSavesRealFiles) {
  const std::string name = ::testing::TempDir() + "kq_ini_host_test.ini";
  {
    std::ofstream out(name, std::ios::binary);
    out << "[A]\r\nk = v\r\n";
  }
  CIniFile ini;
  ini.Load(name);
  EXPECT_EQ(test::ValueOf(ini, "A", "k"), " v");
  ini.AddSection("B")->AddKeyValue("x", "1");
  ini.Save();
  std::ifstream in(name, std::ios::binary);
  std::stringstream content;
  content << in.rdbuf();
  EXPECT_EQ(content.str(), "[A]\r\nk = v\r\n[B]\r\nx=1\r\n");
  std::remove(name.c_str());

  CKqIniFileException e = test::ExpectIniException([&] { ini.Load(name); });
  EXPECT_EQ(e.Code(), kIniErrorFileNotFound);
}

}  // namespace
}  // namespace kq
