#pragma once
// The command line of the engine probes: "<probe> <step>... -- <setup
// arguments>". The steps come from argv; the setup arguments are taken from
// the raw command line after " -- ", so that their quoting reaches the
// setup's own parser byte for byte.
#include <windows.h>

#include <cstring>
#include <string>

namespace kq {

struct ProbeArguments {
  int stepEnd;                 // argv index of "--" (argc without one)
  std::string setupArguments;  // the raw text after " -- "
};

inline ProbeArguments SplitProbeArguments(int argc, char** argv) {
  ProbeArguments split{argc, std::string()};
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--") == 0) {
      split.stepEnd = i;
      break;
    }
  }
  const char* raw = std::strstr(GetCommandLineA(), " -- ");
  if (raw != nullptr) split.setupArguments = raw + 4;
  return split;
}

}  // namespace kq
