// msi_probe.exe: drives one MsiLibrary through a list of operations given as
// arguments and prints one "operation=result" line for each, so that a
// scenario test can check the answers against real packages and Wine's
// MSI.DLL. Arguments (in order; anything else, such as /qn, is ignored):
//   version            GetMsiDllVersion            -> 1 major.minor.build | 0
//   load=<path>        LoadProductInformation      -> 1 code|name|version | 0
//   reload             LoadProductInformation(null)
//   installed=<code>   IsProductInstalled
//   package-installed  IsPackageProductInstalled
//   different          IsDifferentPackageInstalled
//   current            IsPackageProductInstalled and not IsDifferentPackageInstalled
//   feature=<name>     IsFeatureRunFromSource
//   component=<code>   GetComponentPath            -> 1 <path> | 0
//   unload             UnloadMsiDll
//   name               GetProductName (internal error when nothing is loaded)
// An internal error ends the probe: it prints "ended=0x%08X" and exits
// with that code.
#include <windows.h>

#include <cstdio>
#include <string>

#include "sys/setup_exit_code.h"
#include "msi/msi_library.h"

namespace {

void Run(kq::MsiLibrary& library, const std::string& arg) {
  const size_t eq = arg.find('=');
  const std::string op = arg.substr(0, eq);
  const std::string value = eq == std::string::npos ? std::string() : arg.substr(eq + 1);
  if (op == "version") {
    DLLVERSIONINFO info = {};
    const int ok = library.GetMsiDllVersion(&info);
    std::printf("version=%d %lu.%lu.%lu\n", ok, info.dwMajorVersion, info.dwMinorVersion, info.dwBuildNumber);
  } else if (op == "load" || op == "reload") {
    const int ok = library.LoadProductInformation(op == "load" ? value.c_str() : nullptr);
    if (ok)
      std::printf("%s=1 %s|%s|%s\n", op.c_str(), library.GetProductCode().c_str(),
                  library.GetProductName().c_str(), library.GetProductVersion().c_str());
    else
      std::printf("%s=0\n", op.c_str());
  } else if (op == "installed") {
    std::printf("installed=%d\n", library.IsProductInstalled(value.c_str()));
  } else if (op == "package-installed") {
    std::printf("package-installed=%d\n", library.IsPackageProductInstalled());
  } else if (op == "different") {
    std::printf("different=%d\n", library.IsDifferentPackageInstalled());
  } else if (op == "current") {
    const int current = library.IsPackageProductInstalled() && !library.IsDifferentPackageInstalled();
    std::printf("current=%d\n", current ? 1 : 0);
  } else if (op == "feature") {
    std::printf("feature=%d\n", library.IsFeatureRunFromSource(value.c_str()));
  } else if (op == "component") {
    std::string path;
    const bool ok = library.GetComponentPath(value.c_str(), path);
    std::printf("component=%d %s\n", ok ? 1 : 0, path.c_str());
  } else if (op == "unload") {
    std::printf("unload=%d\n", library.UnloadMsiDll());
  } else if (op == "name") {
    std::printf("name=%s\n", library.GetProductName().c_str());
  }
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  kq::MsiLibrary library;
  const uint32_t code = kq::CatchSetupExitCode([&] {
    for (int i = 1; i < argc; ++i) Run(library, argv[i]);
    kq::RaiseSetupExitCode(0);
  });
  if (code != 0) std::printf("ended=0x%08X\n", static_cast<unsigned>(code));
  return static_cast<int>(code);
}
