#pragma once
// The setup checker's core: everything SETUP.EXE would refuse in a medium's
// setup data, found with the program's own parsers before the medium ships,
// plus what is likely a mistake. Portable: the host program reads packages
// through libmsi, the Windows program through MSI.DLL.
#include <string>

#include "check/finding.h"
#include "check/medium_folder.h"

namespace kq {

struct PackageFacts;

struct CheckOptions {
  unsigned codePage = 1252;  // the target systems' ANSI code page
  // When set, every package named is taken to have these facts and is not
  // read (the fuzz target checks data files against one fixed package).
  const PackageFacts* package = nullptr;
  // Also every other setup data file of the medium (Lang\DE.INI, ...): an
  // .INI file with a section SETUP.EXE reads, or a near miss of one.
  bool everyDataFile = false;
};

// Checks `dataFile` (relative to the medium, "SETUP.INI" or "Lang\DE.INI"),
// its package, the redistributables it pins and every nested setup it names.
// Findings come file by file (the data file first, then the nested ones in
// the order they are named, then the other data files by name), each file's
// in line order.
Findings CheckMedium(const MediumFolder& medium, const std::string& dataFile, const CheckOptions& options);

}  // namespace kq
