// KQHTTP::DoGetIntoFile: the resource at the object's address copied into a
// local file, in 4096-byte pieces with progress reports to the caller's
// callback, which may stop it.
#include <sys/timeb.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <new>

#include "diag/debug_mgr.h"
#include "http/kqhttp.h"

namespace kq {

namespace {

constexpr int kTransferBufferSize = 4096;
// The file's own buffer: sixteen pieces per write to the system.
constexpr size_t kFileBufferSize = 64 * 1024;

int64_t NowMilliseconds() {
  struct _timeb now;
  _ftime(&now);
  return static_cast<int64_t>(now.time) * 1000 + now.millitm;
}

struct FileCloser {
  void operator()(FILE* file) const { std::fclose(file); }
};
using ScopedCFile = std::unique_ptr<FILE, FileCloser>;

// The system's error behind the C library's last failed file call: the
// library keeps it in _doserrno (cleared before each call), else it is the
// thread's last error.
DWORD SystemFileError() {
  const unsigned long error = _doserrno;
  return error != 0 ? static_cast<DWORD>(error) : GetLastError();
}

// A file error as a result: errno mapped, never success.
int FileErrorResult(int errnoValue) {
  const int mapped = MapErrnoToKQHTTPResult(errnoValue);
  return mapped == KQHTTP_SUCCESS ? static_cast<int>(KQHTTP_Error) : mapped;
}

}  // namespace

int KQHTTP::ReportProgress(int totalSize, int bytesSoFar, int status) {
  downloadStatus = status;
  if (progressCallback == nullptr) return ProgressContinue;
  return progressCallback(localPath.c_str(), totalSize, bytesSoFar, status, bytesPerSecond, callbackData);
}

int KQHTTP::DoGetIntoFile(const char* file, DownloadProgressCallback callback, uintptr_t data, int intervalMs) {
  if (StartupFailed()) return KQHTTP_WSAStartupError;
  localPath = file != nullptr ? file : "";
  progressCallback = callback;
  callbackData = data;
  progressIntervalMs = intervalMs;
  downloadStatus = DownloadStarting;
  downloadResult = KQHTTP_SUCCESS;
  fileError = 0;

  const int result = PerformFileDownload();
  if (result != KQHTTP_SUCCESS) downloadStatus = DownloadFailed;
  downloadResult = result;
  return result;
}

int KQHTTP::PerformFileDownload() {
  int total = -1;
  int status = DownloadStarting;
  int bytes = 0;
  int result = KQHTTP_SUCCESS;
  ScopedCFile file;
  std::unique_ptr<char[]> buffer;
  bool failed = false;

  if (ReportProgress(-1, 0, DownloadStarting) == ProgressAbort) {
    DebugMgr::DebugOutput(10, "KQHTTP PerformFileDownload: USER ABORTED DOWNLOAD (before getting size), file=\"%s\".\n",
                          localPath.c_str());
    status = DownloadAborted;
    result = KQHTTP_UserAbort;
  } else if ((result = GetDownloadFileSize(&total)) != KQHTTP_SUCCESS) {
    DebugMgr::DebugOutput(2, "KQHTTP PerformFileDownload: GetDownloadFileSize FAILED for path \"%s\".\n",
                          localPath.c_str());
    failed = true;
  } else if (_doserrno = 0, file.reset(std::fopen(localPath.c_str(), "wb")), file == nullptr) {
    const int error = errno;
    fileError = SystemFileError();
    DebugMgr::DebugError("KQHTTP PerformFileDownload: Open local file \"%s\" FAILED (errno=%ld).\n",
                         localPath.c_str(), static_cast<long>(error));
    DebugMgr::DebugError("KQHTTP PerformFileDownload : Download to File Error (errno=%d), ABORT.\n", error);
    result = FileErrorResult(error);
    failed = true;
  } else if (std::setvbuf(file.get(), nullptr, _IOFBF, kFileBufferSize),
             buffer.reset(new (std::nothrow) char[kTransferBufferSize]), buffer == nullptr) {
    DebugMgr::DebugError("KQHTTP PerformFileDownload: OUT OF MEMORY.\n");
    result = KQHTTP_OutOfMemory;
    failed = true;
  } else if (ReportProgress(total, 0, DownloadStarting) == ProgressAbort) {
    DebugMgr::DebugOutput(10, "KQHTTP PerformFileDownload: USER ABORTED DOWNLOAD (before starting read), file=\"%s\".\n",
                          localPath.c_str());
    status = DownloadAborted;
    result = KQHTTP_UserAbort;
  } else {
    const int64_t start = NowMilliseconds();
    int64_t lastReport = start;
    status = DownloadReading;
    for (;;) {
      int received = 0;
      result = DoGetIntoBuffer(buffer.get(), kTransferBufferSize, &received);
      if (result != KQHTTP_SUCCESS) {
        DebugMgr::DebugError("KQHTTP PerformFileDownload: DoGetIntoBuffer FAILED %ld.\n", static_cast<long>(result));
        break;
      }
      if (received == 0) {
        // The server closed the connection. A body shorter than announced is
        // a truncated file, never a download.
        if (bytes != total) {
          DebugMgr::DebugError("KQHTTP PerformFileDownload: body ended after %ld of %ld bytes.\n",
                               static_cast<long>(bytes), static_cast<long>(total));
          result = KQHTTP_Error;
        }
        break;
      }
      if (received > total - bytes) {
        DebugMgr::DebugError("KQHTTP PerformFileDownload: body longer than the %ld bytes announced.\n",
                             static_cast<long>(total));
        result = KQHTTP_Error;
        break;
      }
      _doserrno = 0;
      const size_t written = std::fwrite(buffer.get(), 1, static_cast<size_t>(received), file.get());
      if (written < static_cast<size_t>(received)) {
        const int error = errno;
        fileError = SystemFileError();
        DebugMgr::DebugError("KQHTTP PerformFileDownload: fwrite FAILED (requested=%ld,written=%ld,errno=%d.\n",
                             static_cast<long>(received), static_cast<long>(written), error);
        DebugMgr::DebugError("KQHTTP PerformFileDownload : write to File Error (errno=%d), ABORT.\n", error);
        result = FileErrorResult(error);
        break;
      }
      bytes += received;
      const int64_t now = NowMilliseconds();
      const int64_t elapsed = now - start;
      if (elapsed >= 1000) bytesPerSecond = static_cast<int>(static_cast<double>(bytes) / elapsed * 1000.0);
      if (now - lastReport > progressIntervalMs) {
        lastReport = now;
        if (ReportProgress(total, bytes, DownloadReading) == ProgressAbort) {
          DebugMgr::DebugOutput(10, "KQHTTP PerformFileDownload: USER ABORTED DOWNLOAD (during read), file=\"%s\".\n",
                                localPath.c_str());
          status = DownloadAborted;
          result = KQHTTP_UserAbort;
          break;
        }
      }
    }
    if (result == KQHTTP_SUCCESS) {
      // Flushing is part of writing: a full disk shows here at the latest.
      _doserrno = 0;
      if (std::fflush(file.get()) != 0) {
        const int error = errno;
        fileError = SystemFileError();
        DebugMgr::DebugError("KQHTTP PerformFileDownload : write to File Error (errno=%d), ABORT.\n", error);
        result = FileErrorResult(error);
        failed = true;
      } else {
        ReportProgress(total, bytes, DownloadComplete);
        status = DownloadComplete;
      }
    } else if (status != DownloadAborted) {
      failed = true;
    }
  }

  if (failed) {
    DebugMgr::DebugError("KQHTTP PerformFileDownload : transfer error. file=\"%s\"\n", localPath.c_str());
    ReportProgress(total, bytes, DownloadFailed);
    status = DownloadFailed;
  }
  downloadStatus = status;
  downloadResult = result;
  Close();
  buffer.reset();
  file.reset();
  return result;
}

}  // namespace kq
