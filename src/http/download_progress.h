#pragma once
// What a file download reports to its caller: the status values, the
// callback's answers and the callback itself. Portable.
#include <cstdint>

namespace kq {

enum DownloadStatus : int {
  DownloadStarting = 100,  // before the size request (total -1), again before the first body read
  DownloadReading = 101,   // during the body, at most once per progress interval
  DownloadFailed = 102,
  DownloadAborted = 103,   // stored only: the callback stopped the download
  DownloadComplete = 104,  // once, after the last byte
};

enum ProgressAnswer : int {
  ProgressContinue = 200,
  ProgressAbort = 201,
};

#if defined(_WIN32)
#define KQ_CDECL __cdecl
#else
#define KQ_CDECL
#endif

// localPath, total size (-1 until known), bytes so far, status, bytes per
// second (-1 until a full second has passed), the caller's data.
using DownloadProgressCallback = int(KQ_CDECL*)(const char* localPath, int totalSize, int bytesSoFar, int status,
                                                 int bytesPerSecond, uintptr_t callbackData);

}  // namespace kq
