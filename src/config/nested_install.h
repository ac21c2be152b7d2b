#pragma once
// The NestedInstall value of the setup data: PRODUCTCODE,ARGUMENTS,FLAGS.
// Read once, when the data file is loaded; the steps use the result.
#include <string>
#include <vector>

namespace kq {

struct NestedInstallValue {
  std::string productCode;
  std::string arguments;  // as written, quotes kept: the data file, then more setup arguments
  bool oneReboot = false;
  bool noUpdate = false;
  std::vector<std::string> flags;  // every flag as written, known or not
};

// False when the product code or the arguments cannot be read; flags that
// cannot be split end the flag list.
bool ReadNestedInstall(const std::string& value, NestedInstallValue& nested);

}  // namespace kq
