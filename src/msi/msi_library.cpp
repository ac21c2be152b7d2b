#include "msi/msi_library.h"

#include <vector>

#include "msi/scoped_msi_handle.h"
#include "sys/internal_error.h"
#include "sys/format.h"
#include "sys/setup_log.h"
#include "sys/wide_ansi.h"
#include "sys/wide_ansi_files.h"

namespace kq {

namespace {

using DllGetVersionFn = HRESULT(CALLBACK*)(DLLVERSIONINFO*);
using MsiOpenDatabaseAFn = UINT(WINAPI*)(LPCSTR, LPCSTR, MsiHandleValue*);
using MsiOpenDatabaseWFn = UINT(WINAPI*)(LPCWSTR, LPCWSTR, MsiHandleValue*);
using MsiDatabaseOpenViewAFn = UINT(WINAPI*)(MsiHandleValue, LPCSTR, MsiHandleValue*);
using MsiViewExecuteFn = UINT(WINAPI*)(MsiHandleValue, MsiHandleValue);
using MsiViewFetchFn = UINT(WINAPI*)(MsiHandleValue, MsiHandleValue*);
using MsiRecordGetStringAFn = UINT(WINAPI*)(MsiHandleValue, UINT, LPSTR, DWORD*);
using MsiQueryProductStateAFn = int(WINAPI*)(LPCSTR);
using MsiGetProductInfoAFn = UINT(WINAPI*)(LPCSTR, LPCSTR, LPSTR, DWORD*);
using MsiGetSummaryInformationAFn = UINT(WINAPI*)(MsiHandleValue, LPCSTR, UINT, MsiHandleValue*);
using MsiGetSummaryInformationWFn = UINT(WINAPI*)(MsiHandleValue, LPCWSTR, UINT, MsiHandleValue*);
using MsiSummaryInfoGetPropertyAFn = UINT(WINAPI*)(MsiHandleValue, UINT, UINT*, INT*, FILETIME*, LPSTR,
                                                   DWORD*);
using MsiQueryFeatureStateAFn = int(WINAPI*)(LPCSTR, LPCSTR);
using MsiGetComponentPathAFn = int(WINAPI*)(LPCSTR, LPCSTR, LPSTR, DWORD*);

constexpr const char kMissingEntryPoints[] = "Failed to load function pointers from MSI.DLL";
// Buffer size the queries start with; a longer text is read again with the
// size the library reports, so no value is ever cut.
constexpr DWORD kTextChars = 260;

// Calls `read(buffer, &size)` with a 260-character buffer, and again with
// the size the library asks for when it answers `moreData`.
template <typename Read, typename Result>
Result ReadText(Read read, Result moreData, std::string& text) {
  DWORD capacity = kTextChars;
  for (int attempt = 0;; ++attempt) {
    std::vector<char> buffer(capacity + 1, '\0');
    DWORD size = capacity;
    const Result result = read(buffer.data(), &size);
    if (result == moreData && attempt == 0 && size >= capacity) {
      capacity = size + 1;
      continue;
    }
    text.assign(buffer.data());
    return result;
  }
}

// Opens a package for reading through a wide Windows Installer call on the
// NT family: the name converted with the ANSI code page, and, this being a
// look-up, once more with the OEM code page when that fails.
// `conversionFailed` receives the empty-conversion case.
template <typename Call>
UINT CallWithWidePath(const std::string& path, Call call, bool& conversionFailed) {
  conversionFailed = false;
  const std::wstring ansi = ToWideAnsi(path.c_str());
  if (ansi.empty()) {
    conversionFailed = true;
    return ERROR_INVALID_PARAMETER;
  }
  const UINT result = call(ansi.c_str());
  if (result == ERROR_SUCCESS) return result;
  const std::wstring oem = ToWideOem(path.c_str());
  if (oem.empty() || oem == ansi) return result;
  return call(oem.c_str());
}

// Why a package could not be opened, as far as the file itself tells.
std::string PackageOpenFailure(const std::string& path, UINT result) {
  if (path.empty() || path.back() == '\\') return "its path names a folder, not a file";
  WIN32_FIND_DATAA found = {};
  const ScopedFind file = FindFirstFileByName(path, found);
  if (!file) return "it does not exist";
  if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return "it is a folder";
  if (found.nFileSizeHigh == 0 && found.nFileSizeLow == 0) return "it is empty";
  return Format("it is not a Windows Installer package, or it cannot be opened (return code %u)",
                static_cast<unsigned>(result));
}

}  // namespace

MsiLibrary::MsiLibrary() = default;

MsiLibrary::~MsiLibrary() {
  // Deliberately not freed: see the declaration.
  msiModule.Release();
}

FARPROC MsiLibrary::Lookup(const char* entryPoint) const {
  if (!msiModule) return nullptr;
  return GetProcAddress(msiModule.Get(), entryPoint);
}

bool MsiLibrary::LoadMsiDll() {
  if (msiModule) return true;
  SetupLog("Attempting to load MSI.DLL");
  msiModule.Reset(LoadSystemLibrary("MSI.DLL"));
  if (msiModule) return true;
  SetupLog("Failed to load MSI.DLL");
  return false;
}

bool MsiLibrary::UnloadMsiDll() {
  if (!msiModule) return true;
  SetupLog("Unloading MSI.DLL");
  return msiModule.TryClose();
}

bool MsiLibrary::GetMsiDllVersion(DLLVERSIONINFO* info) {
  if (!LoadMsiDll()) return false;
  SetupLog("Attempting to determine the version of MSI.DLL");
  auto getVersion = LookupAs<DllGetVersionFn>("DllGetVersion");
  if (getVersion == nullptr) {
    SetupLog(kMissingEntryPoints);
    return false;
  }
  DLLVERSIONINFO version = {};
  version.cbSize = sizeof version;
  const HRESULT result = getVersion(&version);
  if (FAILED(result)) {
    SetupLogF("Failed to get version information from MSI.DLL, Return code = %08X",
              static_cast<unsigned>(result));
    return false;
  }
  if (info != nullptr) *info = version;
  return true;
}

bool MsiLibrary::LoadProductInformation(const char* packagePath) {
  productInfoLoaded = false;
  if (packagePath != nullptr) {
    productPackagePath = packagePath;
  } else if (productPackagePath.empty()) {
    SetupLog("No package was named to read the product information from");
    RaiseInternalError(kLocationProductInfo, kErrorPointer);
  }
  SetupLogF("Loading product information for package '%s'", productPackagePath.c_str());
  if (!LoadMsiDll()) {
    productInfoFailure = "MSI.DLL cannot be loaded";
    return false;
  }
  auto openA = LookupAs<MsiOpenDatabaseAFn>("MsiOpenDatabaseA");
  auto openW = LookupAs<MsiOpenDatabaseWFn>("MsiOpenDatabaseW");
  auto close = LookupAs<MsiCloseHandleFn>("MsiCloseHandle");
  if (openA == nullptr || openW == nullptr || close == nullptr) {
    SetupLog(kMissingEntryPoints);
    productInfoFailure = "MSI.DLL lacks the functions that open a package";
    return false;
  }

  ScopedMsiHandle database = MsiHandleClosedBy(close);
  UINT result = ERROR_SUCCESS;
  if (IsWindowsNT()) {
    bool conversionFailed = false;
    result = CallWithWidePath(
        productPackagePath,
        [&](const wchar_t* path) { return openW(path, nullptr, database.Receive()); },
        conversionFailed);
    if (conversionFailed) {
      // A path the conversion fails for only by its length says so: the
      // medium must move to a shorter folder.
      const std::wstring whole = ToWideAnsi(productPackagePath.c_str(), kCommandLineChars);
      if (whole.size() >= kPathBufferChars) {
        SetupLogF("The package path %s is %u characters long; this setup opens paths of at most %u characters",
                  productPackagePath.c_str(), static_cast<unsigned>(whole.size()),
                  static_cast<unsigned>(kPathBufferChars - 1));
      }
      SetupLogF("Failed to convert filename: %s to Unicode", productPackagePath.c_str());
      productInfoFailure = "its path cannot be converted to Unicode";
      return false;
    }
  } else {
    result = openA(productPackagePath.c_str(), nullptr, database.Receive());
  }
  if (result != ERROR_SUCCESS) {
    SetupLogF("Failed to open package '%s', return code = %d", productPackagePath.c_str(),
              static_cast<int>(result));
    productInfoFailure = PackageOpenFailure(productPackagePath, result);
    return false;
  }

  if (!GetPackageProperty(database.Get(), "ProductCode", productCode))
    RaiseMissingProperty(1, "a ProductCode property");
  if (!GetPackageProperty(database.Get(), "ShortProductName", productName) &&
      !GetPackageProperty(database.Get(), "ProductName", productName))
    RaiseMissingProperty(2, "a ShortProductName or ProductName property");
  if (!GetPackageProperty(database.Get(), "ProductVersion", productVersion))
    RaiseMissingProperty(3, "a ProductVersion property");
  database.Close();
  productInfoFailure.clear();
  productInfoLoaded = true;
  return true;
}

void MsiLibrary::RaiseMissingProperty(uint32_t step, const char* what) const {
  SetupLogF("The package '%s' has no %s, which every Windows Installer package has", productPackagePath.c_str(),
            what);
  RaiseInternalError(WithStep(kLocationProductInfo, step), kErrorValueMissing);
}

void MsiLibrary::RaiseProductInfoUnknown() const {
  if (productPackagePath.empty()) {
    SetupLog("The product information is needed before a package was named");
  } else {
    SetupLogF("The package '%s' cannot be read: %s; PackageName in the setup data names it",
              productPackagePath.c_str(),
              productInfoFailure.empty() ? "its product information was not read" : productInfoFailure.c_str());
  }
  RaiseInternalError(kLocationProductInfo, kErrorUnknownName);
}

const std::string& MsiLibrary::GetProductCode() const {
  if (!productInfoLoaded) RaiseProductInfoUnknown();
  return productCode;
}

const std::string& MsiLibrary::GetProductName() const {
  if (!productInfoLoaded) RaiseProductInfoUnknown();
  return productName;
}

const std::string& MsiLibrary::GetProductVersion() const {
  if (!productInfoLoaded) RaiseProductInfoUnknown();
  return productVersion;
}

bool MsiLibrary::GetPackageProperty(unsigned long database, const char* name, std::string& value) {
  SetupLogF("Attempting to retrieve the value of property '%s'", name);
  value.clear();
  if (!LoadMsiDll()) RaiseInternalError(kLocationPackageProperty, kErrorLibraryMissing);  // logged by the load
  auto openView = LookupAs<MsiDatabaseOpenViewAFn>("MsiDatabaseOpenViewA");
  auto getString = LookupAs<MsiRecordGetStringAFn>("MsiRecordGetStringA");
  auto execute = LookupAs<MsiViewExecuteFn>("MsiViewExecute");
  auto fetch = LookupAs<MsiViewFetchFn>("MsiViewFetch");
  auto close = LookupAs<MsiCloseHandleFn>("MsiCloseHandle");
  if (openView == nullptr || getString == nullptr || execute == nullptr || fetch == nullptr ||
      close == nullptr) {
    SetupLog(kMissingEntryPoints);
    RaiseInternalError(kLocationPackageProperty, kErrorLibraryMissing);
  }
  // Each failure below says which call failed for which property.
  const auto fail = [&](uint32_t step, const char* call, UINT code) {
    SetupLogF("The property '%s' cannot be read from the package '%s': %s failed with %u", name,
              productPackagePath.c_str(), call, static_cast<unsigned>(code));
    RaiseInternalError(WithStep(kLocationPackageProperty, step), HresultFromWin32(code));
  };

  const std::string query = Format("SELECT * FROM `Property` WHERE `Property`='%s'", name);
  ScopedMsiHandle view = MsiHandleClosedBy(close);
  UINT result = openView(database, query.c_str(), view.Receive());
  if (result != ERROR_SUCCESS) fail(1, "MsiDatabaseOpenViewA", result);
  result = execute(view.Get(), 0);
  if (result != ERROR_SUCCESS) {
    view.Close();
    fail(2, "MsiViewExecute", result);
  }
  ScopedMsiHandle record = MsiHandleClosedBy(close);
  result = fetch(view.Get(), record.Receive());
  view.Close();
  if (result == msi::kErrorNoMoreItems) {
    SetupLog("The requested property does not exist");
    return false;
  }
  if (result != ERROR_SUCCESS) fail(3, "MsiViewFetch", result);

  std::string text;
  result = ReadText([&](char* buffer, DWORD* size) { return getString(record.Get(), 2, buffer, size); },
                    static_cast<UINT>(msi::kErrorMoreData), text);
  record.Close();
  if (result != ERROR_SUCCESS) fail(4, "MsiRecordGetStringA", result);
  SetupLogF("The property's value is '%s'", text.c_str());
  value = text;
  return true;
}

bool MsiLibrary::IsProductInstalled(const char* code) {
  SetupLogF("Checking the installation state of the product '%s'", code != nullptr ? code : "");
  if (!LoadMsiDll()) return false;
  auto queryState = LookupAs<MsiQueryProductStateAFn>("MsiQueryProductStateA");
  if (queryState == nullptr) {
    SetupLog(kMissingEntryPoints);
    return false;
  }
  if (queryState(code) == msi::kInstallStateDefault) {
    SetupLog("The specified product is installed");
    return true;
  }
  SetupLog("The specified product is not installed");
  return false;
}

bool MsiLibrary::IsPackageProductInstalled() {
  if (!productInfoLoaded && !LoadProductInformation(nullptr)) RaiseProductInfoUnknown();
  return IsProductInstalled(productCode.c_str());
}

bool MsiLibrary::IsDifferentPackageInstalled() {
  SetupLog("Detecting if the existing installation used the same package as the current one");
  if (!IsProductInstalled(productCode.c_str())) return false;
  auto getProductInfo = LookupAs<MsiGetProductInfoAFn>("MsiGetProductInfoA");
  auto getSummaryProperty = LookupAs<MsiSummaryInfoGetPropertyAFn>("MsiSummaryInfoGetPropertyA");
  auto getSummaryA = LookupAs<MsiGetSummaryInformationAFn>("MsiGetSummaryInformationA");
  auto getSummaryW = LookupAs<MsiGetSummaryInformationWFn>("MsiGetSummaryInformationW");
  auto close = LookupAs<MsiCloseHandleFn>("MsiCloseHandle");
  if (getProductInfo == nullptr || getSummaryProperty == nullptr || getSummaryA == nullptr ||
      getSummaryW == nullptr || close == nullptr) {
    SetupLog(kMissingEntryPoints);
    return false;
  }

  std::string installedCode;
  UINT result = ReadText(
      [&](char* buffer, DWORD* size) { return getProductInfo(productCode.c_str(), "PackageCode", buffer, size); },
      static_cast<UINT>(msi::kErrorMoreData), installedCode);
  if (result != ERROR_SUCCESS) {
    SetupLog("Failed to get the package code of the cached database.");
    RaiseInternalError(kLocationPackageCode, HresultFromWin32(result));
  }

  ScopedMsiHandle summary = MsiHandleClosedBy(close);
  if (IsWindowsNT()) {
    bool conversionFailed = false;
    result = CallWithWidePath(
        productPackagePath,
        [&](const wchar_t* path) { return getSummaryW(0, path, 0, summary.Receive()); }, conversionFailed);
  } else {
    result = getSummaryA(0, productPackagePath.c_str(), 0, summary.Receive());
  }
  if (result != ERROR_SUCCESS) {
    SetupLogF("Failed to get the summary information stream for database: %s", productPackagePath.c_str());
    RaiseInternalError(kLocationPackageCode, HresultFromWin32(result));
  }

  std::string newCode;
  result = ReadText(
      [&](char* buffer, DWORD* size) {
        UINT type = 0;
        INT number = 0;
        FILETIME time = {};
        return getSummaryProperty(summary.Get(), msi::kPidRevNumber, &type, &number, &time, buffer, size);
      },
      static_cast<UINT>(msi::kErrorMoreData), newCode);
  if (result != ERROR_SUCCESS) {
    SetupLog("Failed to get the package code of the database being installed.");
    RaiseInternalError(kLocationPackageCode, HresultFromWin32(result));
  }
  summary.Close();

  // Exact comparison: a package code written in another letter case is
  // another package.
  if (installedCode == newCode) {
    SetupLog("The old and new package codes match");
    return false;
  }
  SetupLogF("The old package code '%s' does not match the new package code '%s'", installedCode.c_str(),
            newCode.c_str());
  return true;
}

bool MsiLibrary::IsFeatureRunFromSource(const char* feature) {
  SetupLogF("Determining if feature '%s' is configured to run from source", feature != nullptr ? feature : "");
  if (!LoadMsiDll()) return false;
  auto queryFeature = LookupAs<MsiQueryFeatureStateAFn>("MsiQueryFeatureStateA");
  if (queryFeature == nullptr) {
    SetupLog(kMissingEntryPoints);
    return false;
  }
  if (queryFeature(productCode.c_str(), feature) == msi::kInstallStateSource) {
    SetupLog("The specified feature is configured to run from source");
    return true;
  }
  SetupLog("The specified feature is not configured to run from source");
  return false;
}

bool MsiLibrary::GetComponentPath(const char* component, std::string& path) {
  path.clear();
  SetupLogF("Determining the installed location for component: %s", component != nullptr ? component : "");
  if (!LoadMsiDll()) return false;
  auto getPath = LookupAs<MsiGetComponentPathAFn>("MsiGetComponentPathA");
  if (getPath == nullptr) {
    SetupLog(kMissingEntryPoints);
    return false;
  }
  std::string text;
  const int state = ReadText(
      [&](char* buffer, DWORD* size) { return getPath(productCode.c_str(), component, buffer, size); },
      msi::kInstallStateMoreData, text);
  if (state != msi::kInstallStateLocal) {
    SetupLogF("Failed to get the key path for component: %s, Return code = %08X",
              component != nullptr ? component : "", static_cast<unsigned>(state));
    return false;
  }
  path = text;
  return true;
}

}  // namespace kq
