#include "check/starting_data_file.h"

#include "check/package_reader.h"
#include "text/mbcs_path.h"

namespace kq {

bool StartingDataFile(const std::string& path, std::string& text) {
  PackageFacts facts;
  if (!ReadPackage(path, facts)) return false;
  const std::string name = NameOf(path);
  const std::string productCode = facts.productCode.empty() ? "{PRODUCTCODE}" : facts.productCode;

  // A ';' line is a comment before the first section and inside
  // [ProductInformation]; in a list section it would be read as an entry,
  // so all guidance stands above [ProductFeatures], the last section.
  text = "; Setup data for " + facts.productName + " " + facts.productVersion + " (" + name + ").\n";
  text += "[ProductInformation]\n";
  text += "PackageName=" + name + "\n";
  if (facts.requiredEngine > 0)
    text += "MsiVersion=" + std::to_string(facts.requiredEngine / 100) + "." +
            std::to_string(facts.requiredEngine % 100) + "\n";
  text +=
      "; Optional keys: remove the ';' to use one.\n"
      "; Platforms=NT:5.0,9X:4.10  (the oldest version of each Windows family it runs on; families not named are "
      "refused)\n"
      "; AllowNTServer=NO\n"
      "; CheckRegKey=HKLM,Software\\Vendor\\Product  (the product counts as present only when this key exists)\n"
      "; NTMsiInstaller=http://host/path/InstMsiW.exe  (where to download the Windows Installer, NT family)\n"
      "; NTMsiInstallerSHA256=<its SHA-256, as sha256sum prints it>\n"
      "; 9xMsiInstaller=http://host/path/InstMsiA.exe\n"
      "; 9xMsiInstallerSHA256=<its SHA-256>\n"
      "; NestedInstall={NESTED PRODUCTCODE},Tools\\SETUP.INI,ONEREBOOT  (a second setup from this medium)\n"
      "; Optional sections, each with one entry per line and no comments: put them after [ProductFeatures].\n"
      "; [UpgradeConditions]: UNINSTALLKEY,RANGES,ACTION; list this package with " +
      productCode +
      ",,LEAVE\n"
      "; [PreviousVersionUninstall], [IncompatibleAppExit], [IncompatibleAppUninstall]: product codes\n"
      "; [ShutdownApplication]: WINDOWCLASS[,TIMEOUT] of programs to close first\n"
      "; [LaunchApplications]: COMPONENTCODE[,ARGUMENTS] of programs to start at the end (no '=' in a line);\n"
      ";   the program is the key path file of the component. The package's components (ComponentId, Component,\n"
      ";   key path file):\n";
  for (const ComponentFacts& component : facts.componentRows)
    text += ";   " + component.componentId + "  " + component.component + "  " +
            (component.keyFile.empty() ? std::string("(no key file)") : component.keyFile) + "\n";
  text += "[ProductFeatures]\n";
  for (const std::string& feature : facts.features) text += feature + "\n";
  return true;
}

}  // namespace kq
