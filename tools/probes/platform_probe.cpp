// platform_probe.exe: prints what the wide/ANSI layer sees, one "key=value"
// per line: family, code pages, the program path and the command line.
#include <cstdio>

#include "sys/wide_ansi.h"

int main() {
  std::printf("nt=%d\n", kq::IsWindowsNT() ? 1 : 0);
  std::printf("ansi=%u\n", static_cast<unsigned>(kq::UserAnsiCodePage()));
  std::printf("oem=%u\n", static_cast<unsigned>(kq::UserOemCodePage()));
  std::printf("path=%s\n", kq::GetProgramPath(kq::ModulePathCaller::kRunSequence).c_str());
  std::printf("cmdline=%s\n", kq::GetProgramCommandLine().c_str());
  return 0;
}
