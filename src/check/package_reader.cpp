#include "check/package_reader.h"

namespace kq {

namespace {

bool SelectColumn(PackageDatabase& database, const char* sql, std::vector<std::string>& values) {
  PackageRows rows;
  if (!database.Select(sql, 1, rows)) return false;
  for (const auto& row : rows) values.push_back(row[0]);
  return true;
}

}  // namespace

bool ReadPackage(const std::string& path, PackageFacts& facts) {
  facts = PackageFacts();
  std::unique_ptr<PackageDatabase> database = OpenPackageDatabase(path);
  if (!database) return false;
  PackageRows properties;
  if (!database->Select("SELECT `Property`, `Value` FROM `Property`", 2, properties) ||
      !SelectColumn(*database, "SELECT `Feature` FROM `Feature`", facts.features) ||
      !SelectColumn(*database, "SELECT `ComponentId` FROM `Component`", facts.components))
    return false;
  PackageRows components;
  PackageRows files;
  // A package without files has no File table: its components have no key file.
  if (database->Select("SELECT `Component`, `ComponentId`, `KeyPath` FROM `Component`", 3, components))
    database->Select("SELECT `File`, `FileName` FROM `File`", 2, files);
  for (const auto& row : components) {
    ComponentFacts component{row[1], row[0], row[2], std::string()};
    for (const auto& file : files) {
      if (row[2].empty() || file[0] != row[2]) continue;
      // FileName is SHORT|LONG, or one name that is both.
      const size_t bar = file[1].find('|');
      component.keyFile = bar == std::string::npos ? file[1] : file[1].substr(bar + 1);
    }
    facts.componentRows.push_back(component);
  }
  for (const auto& row : properties) {
    if (row[0] == "ProductCode") facts.productCode = row[1];
    if (row[0] == "ProductName") facts.productName = row[1];
    if (row[0] == "ProductVersion") facts.productVersion = row[1];
    if (row[0] == "UpgradeCode") facts.upgradeCode = row[1];
  }
  facts.requiredEngine = database->PageCount();
  return true;
}

}  // namespace kq
