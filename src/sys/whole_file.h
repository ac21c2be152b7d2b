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

// Creates or truncates the file, writes `bytes` and flushes them to the
// disk (FlushFileBuffers): true only once they are there. A file that
// could not be written whole is deleted again.
bool WriteWholeFileThrough(const std::string& path, const std::string& bytes);

}  // namespace kq
