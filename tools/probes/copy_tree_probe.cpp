// copy_tree_probe.exe <source folder\> <target folder\>
// Copies a tree with CopyFolderTree (for the copy benchmark) and prints
// "copied=<0|1> ms=<milliseconds inside the call>".
#include <windows.h>

#include <cstdio>

#include "sys/folder_tree.h"

int main(int argc, char** argv) {
  if (argc != 3) return 2;
  const DWORD start = GetTickCount();
  const bool copied = kq::CopyFolderTree(argv[1], argv[2]);
  std::printf("copied=%d ms=%lu\n", copied ? 1 : 0, static_cast<unsigned long>(GetTickCount() - start));
  return copied ? 0 : 1;
}
