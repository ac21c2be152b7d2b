#include "msi/msi_library.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "msi/scoped_msi_handle.h"
#include "sys/recording_platform.h"
#include "sys/test_support.h"

namespace kq {
namespace {

// What the stand-in entry points answer.
int g_state = 0;
std::string g_path;

int WINAPI QueryProductState(LPCSTR) { return g_state; }
int WINAPI QueryFeatureState(LPCSTR, LPCSTR) { return g_state; }
// As MSI.DLL does: too small a buffer gets the length and "more data".
int WINAPI GetComponentPath(LPCSTR, LPCSTR, LPSTR buffer, DWORD* size) {
  if (*size <= g_path.size()) {
    *size = static_cast<DWORD>(g_path.size());
    return msi::kInstallStateMoreData;
  }
  g_path.copy(buffer, g_path.size());
  buffer[g_path.size()] = '\0';
  *size = static_cast<DWORD>(g_path.size());
  return g_state;
}

// MSI.DLL itself is loaded (Wine has one); its entry points come from the table.
class TableMsiLibrary : public MsiLibrary {
 public:
  std::map<std::string, FARPROC> table;

 protected:
  FARPROC Lookup(const char* entryPoint) const override {
    const auto found = table.find(entryPoint);
    return found != table.end() ? found->second : nullptr;
  }
};

// As GetProcAddress hands them out (the library casts back by name).
FARPROC Entry(void* function) { return reinterpret_cast<FARPROC>(function); }

enum class Query { kProduct, kFeature, kComponentPath };

TEST(MsiLibrary, EachQueryReadsItsEntryPointsAnswer) {
  // Longer than the first buffer: the path is read a second time.
  const std::string longPath = "C:\\" + std::string(300, 'k') + "\\welcome.exe";
  const FARPROC product = Entry(reinterpret_cast<void*>(QueryProductState));
  const FARPROC feature = Entry(reinterpret_cast<void*>(QueryFeatureState));
  const FARPROC path = Entry(reinterpret_cast<void*>(GetComponentPath));
  const struct {
    Query query;
    const char* entryPoint;  // null: the query finds no entry point
    FARPROC function;
    int state;
    bool answer;
  } rows[] = {
      {Query::kProduct, "MsiQueryProductStateA", product, msi::kInstallStateDefault, true},
      {Query::kProduct, "MsiQueryProductStateA", product, msi::kInstallStateLocal, false},
      {Query::kProduct, nullptr, nullptr, msi::kInstallStateDefault, false},
      {Query::kFeature, "MsiQueryFeatureStateA", feature, msi::kInstallStateSource, true},
      {Query::kFeature, "MsiQueryFeatureStateA", feature, msi::kInstallStateLocal, false},
      {Query::kFeature, nullptr, nullptr, msi::kInstallStateSource, false},
      {Query::kComponentPath, "MsiGetComponentPathA", path, msi::kInstallStateLocal, true},
      {Query::kComponentPath, "MsiGetComponentPathA", path, msi::kInstallStateSource, false},
      {Query::kComponentPath, nullptr, nullptr, msi::kInstallStateLocal, false},
  };
  int row = 0;
  for (const auto& r : rows) {
    SCOPED_TRACE(++row);
    TableMsiLibrary library;
    if (r.entryPoint != nullptr) library.table[r.entryPoint] = r.function;
    g_state = r.state;
    g_path = longPath;
    std::string found = "stale";
    switch (r.query) {
      case Query::kProduct: EXPECT_EQ(library.IsProductInstalled("{P}"), r.answer); break;
      case Query::kFeature: EXPECT_EQ(library.IsFeatureRunFromSource("Main"), r.answer); break;
      case Query::kComponentPath:
        EXPECT_EQ(library.GetComponentPath("{C}", found), r.answer);
        EXPECT_EQ(found, r.answer ? longPath : "");
        break;
    }
  }
}

TEST(MsiLibrary, ProductInformationIsReadOnlyAfterALoad) {
  TableMsiLibrary library;  // no entry points: the package cannot be opened
  EXPECT_FALSE(library.LoadProductInformation("C:\\Kit\\Product.msi"));
  EXPECT_FALSE(library.IsProductInfoLoaded());
  EXPECT_EQ(library.GetProductPackagePath(), "C:\\Kit\\Product.msi");
}

// A package that cannot be opened is told by what the file itself shows
// when its product information is needed.
UINT WINAPI OpenFails(LPCSTR, LPCSTR, MsiHandleValue*) { return 1627; }
UINT WINAPI OpenFailsWide(LPCWSTR, LPCWSTR, MsiHandleValue*) { return 1627; }
UINT WINAPI CloseStandIn(MsiHandleValue) { return 0; }

const bool kLogOn = (test::EnableSetupLog(), true);

TEST(MsiLibrary, AnUnreadablePackageSaysWhyWhenItsProductIsNeeded) {
  ASSERT_TRUE(kLogOn);
  testing_support::RecordingPlatform platform;
  const std::string folder = test::ScratchFolder("kq_msi_reasons");
  ASSERT_TRUE(test::WriteWholeFile(folder + "Empty.msi", ""));
  ASSERT_TRUE(test::WriteWholeFile(folder + "Text.msi", "not a package"));
  const struct {
    std::string path;
    std::string why;
  } rows[] = {
      {folder + "Missing.msi", "it does not exist"},
      {folder + "Empty.msi", "it is empty"},
      {folder, "its path names a folder, not a file"},
      {folder + "Text.msi", "it is not a Windows Installer package, or it cannot be opened (return code 1627)"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.path);
    TableMsiLibrary library;
    library.table["MsiOpenDatabaseA"] = Entry(reinterpret_cast<void*>(OpenFails));
    library.table["MsiOpenDatabaseW"] = Entry(reinterpret_cast<void*>(OpenFailsWide));
    library.table["MsiCloseHandle"] = Entry(reinterpret_cast<void*>(CloseStandIn));
    ASSERT_FALSE(library.LoadProductInformation(row.path.c_str()));
    const test::LogCapture log;
    EXPECT_EQ(testing_support::RaisedCode([&] { library.GetProductCode(); }), 0x8004006Cu);
    EXPECT_EQ(log.Lines(), "The package '" + row.path + "' cannot be read: " + row.why +
                               "; PackageName in the setup data names it\n");
    EXPECT_EQ(platform.Boxes().back().text, "Error Code: 000F.8004006C");
  }
}

}  // namespace
}  // namespace kq
