#pragma once
// MsiLibrary: the program's only door to the Windows Installer's programming
// interface. The setup must start on machines where MSI.DLL is missing or
// too old, so it never links to it: the library is loaded when a query needs
// it, every entry point is looked up at the moment of the call, and a missing
// library or entry point is an ordinary "no" (0 or an empty answer) with a
// log line, never a crash.
#include <windows.h>
#include <shlwapi.h>

#include <cstdint>
#include <string>

#include "sys/scoped_handle.h"

namespace kq {

// Size of the version record DllGetVersion fills: size, major, minor, build,
// platform.
static_assert(sizeof(DLLVERSIONINFO) == 20, "DLLVERSIONINFO is 20 bytes");

// The Windows Installer values the queries rely on.
namespace msi {
constexpr int kInstallStateLocal = 3;
constexpr int kInstallStateSource = 4;
constexpr int kInstallStateDefault = 5;
constexpr int kInstallStateMoreData = -3;
constexpr unsigned kErrorNoMoreItems = 259;
constexpr unsigned kErrorMoreData = 234;
constexpr unsigned kPidRevNumber = 9;  // summary property holding the package code
}  // namespace msi

class MsiLibrary {
 public:
  MsiLibrary();
  // Keeps MSI.DLL loaded: the library may still have threads of its own
  // running, and the process ends soon after the engine goes away.
  virtual ~MsiLibrary();
  MsiLibrary(const MsiLibrary&) = delete;
  MsiLibrary& operator=(const MsiLibrary&) = delete;

  // True when the library is held afterwards. Loads MSI.DLL from the system
  // folder by full path: a setup often runs from a download folder, where a
  // planted MSI.DLL must never be picked up by the default search order.
  bool LoadMsiDll();
  // True when no library is held afterwards; false when FreeLibrary failed.
  bool UnloadMsiDll();

  // True and the version of MSI.DLL (copied to `info` when given); false
  // when the library, its DllGetVersion or the call fails.
  bool GetMsiDllVersion(DLLVERSIONINFO* info);

  // Opens the package and reads its product code, name and version. A null
  // path reloads the package last named. False when it cannot be opened.
  bool LoadProductInformation(const char* packagePath);

  // The loaded texts; internal error when nothing is loaded.
  const std::string& GetProductCode() const;
  const std::string& GetProductName() const;
  const std::string& GetProductVersion() const;
  bool IsProductInfoLoaded() const { return productInfoLoaded; }
  const std::string& GetProductPackagePath() const { return productPackagePath; }

  // Yes-or-no questions: true and false stand for the 1 and 0 that the
  // queries are documented with.
  bool IsProductInstalled(const char* productCode);
  bool IsPackageProductInstalled();
  bool IsDifferentPackageInstalled();
  bool IsFeatureRunFromSource(const char* feature);

  // The key path of a component of the loaded product when it is installed
  // locally; false (and an empty path) otherwise.
  bool GetComponentPath(const char* component, std::string& path);

  // Reads one row of the package's Property table: true and the value when
  // the row exists, false when it does not.
  bool GetPackageProperty(unsigned long database, const char* name, std::string& value);

 protected:
  // The entry point of MSI.DLL by its name, or null (no library, or no such
  // entry point). Every query goes through here, so a test can answer with
  // a table of stand-in entry points.
  virtual FARPROC Lookup(const char* entryPoint) const;

 private:
  template <typename Fn>
  Fn LookupAs(const char* entryPoint) const {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(Lookup(entryPoint)));
  }
  // Logs that the package lacks `what`, then ends the run at sub-step
  // `step` of the product-information location.
  [[noreturn]] void RaiseMissingProperty(uint32_t step, const char* what) const;
  // Logs why no product information is known (the package, and why its
  // last reading failed), then ends the run.
  [[noreturn]] void RaiseProductInfoUnknown() const;

  std::string productPackagePath;
  std::string productInfoFailure;  // why the last LoadProductInformation failed, in words
  ScopedLibrary msiModule;
  std::string productCode;
  std::string productName;
  std::string productVersion;
  bool productInfoLoaded = false;
};

}  // namespace kq
