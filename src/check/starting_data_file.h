#pragma once
// setupcheck --init: a first setup data file for a package, with what the
// package itself says and commented guidance for the rest.
#include <string>

namespace kq {

// The data file's text (LF line ends) for the package at `path`, named in
// PackageName by its file name; false when it does not read as a package.
bool StartingDataFile(const std::string& path, std::string& text);

}  // namespace kq
