// The package through MSI.DLL: the database, a view per query, and the
// summary information.
#include <windows.h>
// After windows.h, which they build on.
#include <msi.h>
#include <msiquery.h>

#include "check/package_reader.h"
#include "msi/scoped_msi_handle.h"

namespace kq {

namespace {

// Summary property 14 (PID_PAGECOUNT), an integer (VT_I4): the installer
// version the package requires.
constexpr UINT kPidPageCount = 14;
constexpr UINT kTypeInteger = 3;

std::string StringField(MSIHANDLE record, unsigned field) {
  DWORD size = 0;
  char empty[1] = "";
  const UINT result = MsiRecordGetStringA(record, field, empty, &size);
  if (result != ERROR_MORE_DATA && result != ERROR_SUCCESS) return std::string();
  std::string value(size + 1, '\0');
  size = static_cast<DWORD>(value.size());
  if (MsiRecordGetStringA(record, field, &value[0], &size) != ERROR_SUCCESS) return std::string();
  value.resize(size);
  return value;
}

class MsiDllPackage : public PackageDatabase {
 public:
  MsiDllPackage() = default;
  MSIHANDLE* Receive() { return database_.Receive(); }

  bool Select(const char* sql, unsigned columns, PackageRows& rows) override {
    ScopedMsiHandle view = MsiHandleClosedBy(&MsiCloseHandle);
    UINT result = MsiDatabaseOpenViewA(database_.Get(), sql, view.Receive());
    if (result == ERROR_SUCCESS) result = MsiViewExecute(view.Get(), 0);
    if (result != ERROR_SUCCESS) return false;
    for (;;) {
      ScopedMsiHandle record = MsiHandleClosedBy(&MsiCloseHandle);
      if (MsiViewFetch(view.Get(), record.Receive()) != ERROR_SUCCESS) break;  // ERROR_NO_MORE_ITEMS
      std::vector<std::string> row;
      for (unsigned field = 1; field <= columns; ++field) row.push_back(StringField(record.Get(), field));
      rows.push_back(row);
    }
    return true;
  }

  int PageCount() override {
    ScopedMsiHandle summary = MsiHandleClosedBy(&MsiCloseHandle);
    if (MsiGetSummaryInformationA(database_.Get(), nullptr, 0, summary.Receive()) != ERROR_SUCCESS) return 0;
    UINT type = 0;
    INT pageCount = 0;
    FILETIME time{};
    DWORD size = 0;
    if (MsiSummaryInfoGetPropertyA(summary.Get(), kPidPageCount, &type, &pageCount, &time, nullptr, &size) !=
            ERROR_SUCCESS ||
        type != kTypeInteger)
      return 0;
    return pageCount > 0 ? pageCount : 0;
  }

 private:
  ScopedMsiHandle database_ = MsiHandleClosedBy(&MsiCloseHandle);
};

}  // namespace

std::unique_ptr<PackageDatabase> OpenPackageDatabase(const std::string& path) {
  auto package = std::make_unique<MsiDllPackage>();
  const UINT opened = MsiOpenDatabaseA(path.c_str(), MSIDBOPEN_READONLY, package->Receive());
  if (opened != ERROR_SUCCESS) return nullptr;
  return package;
}

}  // namespace kq
