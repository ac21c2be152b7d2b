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
