#include "msi/msi_library.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>

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

FARPROC Entry(void* function) { return reinterpret_cast<FARPROC>(function); }

TEST(MsiLibrary, EachQueryReadsItsEntryPointsAnswer) {
  const std::string longPath = "C:\\" + std::string(300, 'k') + "\\welcome.exe";  // read a second time
  const struct {
    const char* entryPoint;  // null: the query finds no entry point
    FARPROC function;
    int state;
    std::function<bool(MsiLibrary&)> query;
    bool answer;
  } rows[] = {
      {"MsiQueryProductStateA", Entry(reinterpret_cast<void*>(QueryProductState)), msi::kInstallStateDefault,
       [](MsiLibrary& l) { return l.IsProductInstalled("{P}"); }, true},
      {"MsiQueryProductStateA", Entry(reinterpret_cast<void*>(QueryProductState)), msi::kInstallStateLocal,
       [](MsiLibrary& l) { return l.IsProductInstalled("{P}"); }, false},
      {nullptr, nullptr, msi::kInstallStateDefault, [](MsiLibrary& l) { return l.IsProductInstalled("{P}"); },
       false},
      {"MsiQueryFeatureStateA", Entry(reinterpret_cast<void*>(QueryFeatureState)), msi::kInstallStateSource,
       [](MsiLibrary& l) { return l.IsFeatureRunFromSource("Main"); }, true},
      {"MsiQueryFeatureStateA", Entry(reinterpret_cast<void*>(QueryFeatureState)), msi::kInstallStateLocal,
       [](MsiLibrary& l) { return l.IsFeatureRunFromSource("Main"); }, false},
      {nullptr, nullptr, msi::kInstallStateSource, [](MsiLibrary& l) { return l.IsFeatureRunFromSource("Main"); },
       false},
      {"MsiGetComponentPathA", Entry(reinterpret_cast<void*>(GetComponentPath)), msi::kInstallStateLocal,
       [&](MsiLibrary& l) {
         std::string path;
         return l.GetComponentPath("{C}", path) && path == longPath;
       },
       true},
      {"MsiGetComponentPathA", Entry(reinterpret_cast<void*>(GetComponentPath)), msi::kInstallStateSource,
       [](MsiLibrary& l) {
         std::string path = "stale";
         return l.GetComponentPath("{C}", path) || !path.empty();
       },
       false},
      {nullptr, nullptr, msi::kInstallStateLocal, [](MsiLibrary& l) {
         std::string path;
         return l.GetComponentPath("{C}", path);
       },
       false},
  };
  int row = 0;
  for (const auto& r : rows) {
    SCOPED_TRACE(++row);
    TableMsiLibrary library;
    if (r.entryPoint != nullptr) library.table[r.entryPoint] = r.function;
    g_state = r.state;
    g_path = longPath;
    EXPECT_EQ(r.query(library), r.answer);
  }
}

TEST(MsiLibrary, ProductInformationIsReadOnlyAfterALoad) {
  TableMsiLibrary library;  // no entry points: the package cannot be opened
  EXPECT_FALSE(library.LoadProductInformation("C:\\Kit\\Product.msi"));
  EXPECT_FALSE(library.IsProductInfoLoaded());
  EXPECT_EQ(library.GetProductPackagePath(), "C:\\Kit\\Product.msi");
}

}  // namespace
}  // namespace kq
