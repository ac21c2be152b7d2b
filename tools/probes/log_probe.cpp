// log_probe.exe lines <threads> <lines-per-thread> <padding>
//   Writes through SetupLog from several threads at once; each line is
//   "T<thread> L<line> " followed by <padding> '#' characters and "|".
// log_probe.exe text <words...>   writes one line with the words joined by blanks
// log_probe.exe empty             writes one line with the empty text
// log_probe.exe null              calls SetupLog with a null text
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "sys/format.h"
#include "sys/setup_log.h"

namespace {

struct Job {
  int thread;
  int lines;
  int padding;
  HANDLE start;
};

DWORD WINAPI Writer(void* param) {
  const Job* job = static_cast<const Job*>(param);
  WaitForSingleObject(job->start, INFINITE);
  const std::string pad(static_cast<size_t>(job->padding), '#');
  for (int i = 0; i < job->lines; ++i) kq::SetupLogF("T%d L%d %s|", job->thread, i, pad.c_str());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 2 && std::strcmp(argv[1], "text") == 0) {
    std::string text;
    for (int i = 2; i < argc; ++i) text += (i > 2 ? " " : "") + std::string(argv[i]);
    kq::SetupLog(text);
    return 0;
  }
  if (argc >= 2 && std::strcmp(argv[1], "empty") == 0) {
    kq::SetupLog("");
    return 0;
  }
  if (argc >= 2 && std::strcmp(argv[1], "null") == 0) {
    kq::SetupLog(static_cast<const char*>(nullptr));
    return 0;
  }
  if (argc < 5 || std::strcmp(argv[1], "lines") != 0) {
    std::fprintf(stderr, "usage: log_probe.exe lines <threads> <lines> <padding> | text ... | empty | null\n");
    return 2;
  }
  const int threads = std::atoi(argv[2]);
  const int lines = std::atoi(argv[3]);
  const int padding = std::atoi(argv[4]);
  HANDLE start = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  std::vector<Job> jobs(static_cast<size_t>(threads));
  std::vector<HANDLE> handles;
  for (int t = 0; t < threads; ++t) {
    jobs[static_cast<size_t>(t)] = Job{t, lines, padding, start};
    handles.push_back(CreateThread(nullptr, 0, Writer, &jobs[static_cast<size_t>(t)], 0, nullptr));
  }
  SetEvent(start);
  WaitForMultipleObjects(static_cast<DWORD>(handles.size()), handles.data(), TRUE, INFINITE);
  for (HANDLE h : handles) CloseHandle(h);
  CloseHandle(start);
  return 0;
}
