// The checks of data_file_checks.cpp and medium_check.cpp over media laid
// out in a temporary folder, against the fixed facts of one package (so no
// installer library is needed). Each row names every finding it expects by
// file, line, code and severity: a rule that changes its severity, line or
// file fails its row. The same media with real packages, and the two
// programs' outputs, are tests/check.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "check/data_file_checks.h"
#include "check/medium_check.h"
#include "check/package_reader.h"
#include "check/rules.h"
#include "ini/ini_test_util.h"
#include "text/ansi_code_page.h"

namespace kq {
namespace {

constexpr char kWelcome[] = "{2D3E4F5A-6B7C-4D8E-9F0A-1B2C3D4E5F60}";   // key path: welcome.exe
constexpr char kSettings[] = "{3E4F5A6B-7C8D-4E9F-8A0B-1C2D3E4F5A6B}";  // key path: a registry value
constexpr char kFolder[] = "{4F5A6B7C-8D9E-4F0A-9B1C-2D3E4F5A6B7C}";    // no key path: its folder
constexpr char kOther[] = "{11111111-2222-4333-8444-555555555555}";

PackageFacts DemoPackage() {
  PackageFacts facts;
  facts.productCode = "{6A1D2C3B-4E5F-4A6B-8C7D-9E0F1A2B3C4D}";
  facts.productName = "Korvane Demo";
  facts.productVersion = "1.0.0";
  facts.features = {"Complete"};
  facts.components = {kWelcome, kSettings, kFolder};
  facts.componentRows = {{kWelcome, "Welcome", "Welcome", "welcome.exe"},
                         {kSettings, "Settings", "RegSettings", ""},
                         {kFolder, "Data", "", ""}};
  facts.requiredEngine = 200;
  return facts;
}

// SETUP.INI of the rows: line 3 is MsiVersion, line 7 the program to start.
std::string Base(const std::string& line3 = "MsiVersion=2.0", const std::string& line7 = "") {
  return "[ProductInformation]\r\nPackageName=Demo.msi\r\n" + line3 +
         "\r\n[ProductFeatures]\r\nComplete\r\n[LaunchApplications]\r\n" +
         (line7.empty() ? std::string(kWelcome) + ",--welcome" : line7) + "\r\n";
}

class Medium {
 public:
  Medium() {
    root_ = std::filesystem::temp_directory_path() /
            ("kq_medium_check_" + std::to_string(reinterpret_cast<uintptr_t>(this)));
    std::filesystem::create_directories(root_);
  }
  ~Medium() {
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
  }

  // `name` with '/' between folders.
  void Write(const std::string& name, const std::string& bytes) {
    const std::filesystem::path path = root_ / std::filesystem::path(name).make_preferred();
    std::filesystem::create_directories(path.parent_path());
    std::FILE* file = std::fopen(path.string().c_str(), "wb");
    ASSERT_NE(file, nullptr);
    ASSERT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), file), bytes.size());
    std::fclose(file);
  }

  // Every finding as "FILE:LINE CODE SEVERITY".
  std::set<std::string> Check(bool everyDataFile = true) {
    const PackageFacts facts = DemoPackage();
    CheckOptions options;
    options.package = &facts;
    options.everyDataFile = everyDataFile;
    std::set<std::string> found;
    for (const Finding& finding : CheckMedium(MediumFolder(root_.string()), "SETUP.INI", options))
      found.insert(finding.file + ":" + std::to_string(finding.line) + " " + finding.GetCode() + " " +
                   SeverityName(finding.GetSeverity()));
    return found;
  }

 private:
  std::filesystem::path root_;
};

struct Row {
  const char* name;
  std::string ini;
  std::vector<std::pair<std::string, std::string>> files;
  std::set<std::string> expected;
};

TEST(MediumCheck, EachRuleAtItsLineWithItsSeverity) {
  SetTextCodePage(1252);
  const std::string exitOther = "[IncompatibleAppExit]\r\n" + std::string(kOther) + "\r\n";
  const Row rows[] = {
      {"a clean medium", Base(), {}, {}},
      {"MsiVersion above 5.0", Base("MsiVersion=6.0"), {}, {"SETUP.INI:3 msi-version-too-new error"}},
      {"a build of 5.0 is real", Base("MsiVersion=5.0.7601"), {}, {"SETUP.INI:3 msi-version-high warning"}},
      {"MsiVersion with a comma", Base("MsiVersion=2,0"), {}, {"SETUP.INI:3 msi-version error"}},
      {"MsiVersion below the package's", Base("MsiVersion=1.10"), {}, {"SETUP.INI:3 msi-version-low warning"}},
      {"an earlier version refused",
       Base() + "[PreviousVersionUninstall]\r\n" + kOther + "\r\n" + exitOther,
       {},
       {"SETUP.INI:11 refuses-removed-product error"}},
      {"a product in the way, refused first",
       Base() + "[IncompatibleAppUninstall]\r\n" + kOther + "\r\n" + exitOther,
       {},
       {"SETUP.INI:11 refuses-removed-product error"}},
      {"an upgrade's REMOVE refused",
       Base() + "[UpgradeConditions]\r\n{6A1D2C3B-4E5F-4A6B-8C7D-9E0F1A2B3C4D},,LEAVE\r\n" + kOther +
           ",1.0-1.9,REMOVE\r\n" + exitOther,
       {},
       {"SETUP.INI:12 refuses-removed-product error"}},
      {"an upgrade's base kept is no removal",
       Base() + "[UpgradeConditions]\r\n{6A1D2C3B-4E5F-4A6B-8C7D-9E0F1A2B3C4D},,LEAVE\r\n" + kOther +
           ",1.0-1.9,LEAVE\r\n" + exitOther,
       {},
       {}},
      {"a program whose key path is a registry value", Base("MsiVersion=2.0", std::string(kSettings) + ",/x"), {},
       {"SETUP.INI:7 launch-key-path error"}},
      {"a program whose key path is its folder", Base("MsiVersion=2.0", kFolder), {},
       {"SETUP.INI:7 launch-key-path error"}},
      {"product codes as publishers copy them",
       Base() + "[PreviousVersionUninstall]\r\n11111111-2222-4333-8444-555555555555\r\n"
                "{11111111-2222-4333-8444-55555555555O}\r\nFabrikam MapViewer 2.0\r\n",
       {},
       {"SETUP.INI:9 product-code error", "SETUP.INI:10 guid-not-hex error",
        "SETUP.INI:11 uninstall-key-name warning"}},
      {"a nested path with a blank, unquoted",
       Base(std::string("NestedInstall=") + kOther + ",Acme Tools\\SETUP.INI /qb"),
       {{"Acme Tools/SETUP.INI", Base()}},
       {"SETUP.INI:3 nested-path-unquoted error"}},
      {"a nested data file missing", Base(std::string("NestedInstall=") + kOther + ",Tools\\SETUP.INI"), {},
       {"SETUP.INI:3 nested-data-file error"}},
      {"language data files, one UTF-16, and another program's INI",
       Base(),
       {{"Lang/DE.INI", Base("MSIVersion=2.0")},
        {"Lang/JA.INI", test::Utf16File(Base() + "[ShutdownApplications]\r\nMain\r\n")},
        {"desktop.ini", "[.ShellClassInfo]\r\nIconResource=setup.ico,0\r\n"}},
       {"Lang\\DE.INI:3 misspelt-key error", "Lang\\JA.INI:8 misspelt-section error"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Medium medium;
    medium.Write("SETUP.INI", row.ini);
    for (const auto& file : row.files) medium.Write(file.first, file.second);
    EXPECT_EQ(medium.Check(), row.expected);
  }
  SetTextCodePage(0);
}

TEST(MediumCheck, ADataFileNamedIsCheckedAlone) {
  Medium medium;
  medium.Write("SETUP.INI", Base());
  medium.Write("Lang/DE.INI", Base("MSIVersion=2.0"));
  EXPECT_EQ(medium.Check(false), std::set<std::string>());
  EXPECT_EQ(medium.Check(true), std::set<std::string>{"Lang\\DE.INI:3 misspelt-key error"});
}

TEST(MediumCheck, GuidsAsPublishersCopyThem) {
  const struct {
    const char* text;
    GuidForm form;
    char nonHexDigit;
  } cases[] = {
      {"{6A1D2C3B-4E5F-4A6B-8C7D-9E0F1A2B3C4D}", GuidForm::kBraced, '\0'},
      {"{6a1d2c3b-4e5f-4a6b-8c7d-9e0f1a2b3c4d}", GuidForm::kBraced, '\0'},
      {"6A1D2C3B-4E5F-4A6B-8C7D-9E0F1A2B3C4D", GuidForm::kBare, '\0'},
      {"{6A1D2C3B-4E5F-4A6B-8C7D-9E0F1A2B3COD}", GuidForm::kNonHexDigit, 'O'},
      {"6A1D2C3B-4E5F-4A6B-8C7D-9E0F1A2B3CGD", GuidForm::kNonHexDigit, 'G'},
      {"{6A1D2C3B-4E5F-4A6B-8C7D-9E0F1A2B3C4}", GuidForm::kOther, '\0'},   // a digit short
      {"{6A1D2C3B-4E5F-4A6B-8C7D_9E0F1A2B3C4D}", GuidForm::kOther, '\0'},  // no dash
      {"{6A1D2C3B-4E5F-4A6B-8C7D-9E0F1A2B3C4D", GuidForm::kOther, '\0'},   // no closing brace
      {"Fabrikam MapViewer 2.0", GuidForm::kOther, '\0'},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    const GuidReading reading = ReadGuid(c.text);
    EXPECT_EQ(reading.form, c.form);
    EXPECT_EQ(reading.nonHexDigit, c.nonHexDigit);
    EXPECT_EQ(IsBracedGuid(c.text), c.form == GuidForm::kBraced);
  }
}

TEST(MediumCheck, EveryRuleHasOneCodeAndADescription) {
  size_t count = 0;
  const RuleInfo* rules = RuleTable(count);
  std::set<std::string> codes;
  for (size_t i = 0; i < count; ++i) {
    SCOPED_TRACE(rules[i].code);
    EXPECT_TRUE(codes.insert(rules[i].code).second) << "spelt twice";
    EXPECT_EQ(std::string(rules[i].code).find_first_not_of("abcdefghijklmnopqrstuvwxyz0123456789-"), std::string::npos);
    EXPECT_NE(std::string(rules[i].description), "");
    EXPECT_EQ(&Describe(rules[i].rule), &rules[i]);
  }
}

}  // namespace
}  // namespace kq
