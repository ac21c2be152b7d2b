#pragma once
// Small files read and written whole: a record, a saved shortcut. The
// declarations are portable (the record's rules run on memory in the host's
// tests); the functions are Windows's.
#include <cstddef>
#include <string>

namespace kq {

enum class WholeFileRead { kRead, kMissing, kTooLarge, kFailed };

// The whole file into `bytes`, when it holds at most `limit` bytes.
WholeFileRead ReadWholeFile(const std::string& path, size_t limit, std::string& bytes);

// Makes what was written to an open file (a HANDLE) reach the disk:
// FlushFileBuffers. Until then a power loss may leave the file empty, cut
// off or full of zeros, whatever the program wrote.
bool FlushToDisk(void* file);
// The flush the functions below call: FlushToDisk in the program, a
// recorder in the tests.
using FlushCall = bool (*)(void* file);

// Creates or truncates the file, writes `bytes` and flushes them to the
// disk: true only once they are there. A file that could not be written
// whole is deleted again.
bool WriteWholeFileThrough(const std::string& path, const std::string& bytes, FlushCall flush = FlushToDisk);

// Flushes a file written by someone else (a file CopyFile made) to the
// disk; false, with the error kept, when it cannot be opened or flushed.
bool FlushFileByName(const std::string& path, FlushCall flush = FlushToDisk);

}  // namespace kq
