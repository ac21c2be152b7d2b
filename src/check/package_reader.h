#pragma once
// What the checker needs to know of a Windows Installer package, read
// through the platform's own installer library: libmsi on the host, MSI.DLL
// on Windows. Both read the same tables the same way, so the two checker
// programs report the same findings.
#include <memory>
#include <string>
#include <vector>

namespace kq {

// One row of the Component table, as a publisher needs it to write
// [LaunchApplications]: the code SETUP.EXE asks the Windows Installer about,
// the table's key, its KeyPath column and the long name of the key path's
// file ("" when the key path is a registry value, an ODBC source or, with an
// empty KeyPath, the component's folder).
struct ComponentFacts {
  std::string componentId;
  std::string component;
  std::string keyPath;
  std::string keyFile;
};

struct PackageFacts {
  // Empty when the Property table does not hold the property.
  std::string productCode;
  std::string productName;
  std::string productVersion;
  std::string upgradeCode;  // the product family's code: never an Uninstall key name
  std::vector<std::string> features;    // Feature.Feature
  std::vector<std::string> components;  // Component.ComponentId
  std::vector<ComponentFacts> componentRows;  // in the table's order
  // The Windows Installer version the package requires, from the summary
  // information's page count (200 for 2.0, 405 for 4.5); 0 when unknown.
  int requiredEngine = 0;
};

using PackageRows = std::vector<std::vector<std::string>>;

// An open package: the small interface each installer library implements.
class PackageDatabase {
 public:
  virtual ~PackageDatabase() = default;
  // Every row of the query, its first `columns` fields as text; false when
  // the query cannot run.
  virtual bool Select(const char* sql, unsigned columns, PackageRows& rows) = 0;
  // The summary information's page count; 0 when it cannot be read.
  virtual int PageCount() = 0;
};

// Null when the file does not open as a Windows Installer database.
std::unique_ptr<PackageDatabase> OpenPackageDatabase(const std::string& path);

// False when the file does not open as a Windows Installer database or one
// of its Property, Feature and Component tables cannot be read.
bool ReadPackage(const std::string& path, PackageFacts& facts);

}  // namespace kq
