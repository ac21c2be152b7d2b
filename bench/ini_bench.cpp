// Benchmark of the INI library against Windows' own profile functions, run
// under Wine. It writes an INI file of about 100,000 lines (3,000 sections,
// keys, comments and blank lines), then, each in a fresh child process so
// that peak memory is its own:
//   ini      CIniFile::Load, then every section read as a list and every key
//            looked up with GetValue;
//   profile  the same reads with GetPrivateProfileSectionA and every key with
//            GetPrivateProfileStringA;
//   chunks   only the file access the line reader does: 256-byte reads with
//            a seek back after each line (the floor the chunking sets);
//   whole    the file read once in 64 KiB blocks;
//   idle     nothing (the process's own baseline memory).
// Prints time and peak working set of each, and the ratios. Both real
// workloads must return the same total of value lengths, or it fails.
//
//   ini_bench.exe [folder]         (default: the temporary folder)
#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "ini/ini_file.h"

namespace {

constexpr int kSections = 3000;
constexpr int kKeysPerSection = 30;

std::string KeyName(int key) { return "Key" + std::to_string(key); }
std::string SectionName(int section) { return "Section" + std::to_string(section); }

bool WriteTestFile(const std::string& name) {
  std::string text;
  text.reserve(4 << 20);
  text += "; benchmark file\r\n";
  for (int s = 0; s < kSections; ++s) {
    text += "[" + SectionName(s) + "]\r\n; keys of section " + std::to_string(s) + "\r\n";
    for (int k = 0; k < kKeysPerSection; ++k)
      text += KeyName(k) + "=Value " + std::to_string(k) + " of section " + std::to_string(s) + "\r\n";
    text += "\r\n";
  }
  HANDLE file = CreateFileA(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const BOOL ok = WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  CloseHandle(file);
  return ok && written == text.size();
}

double Now() {
  LARGE_INTEGER frequency, counter;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&counter);
  return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

unsigned long long RunIni(const std::string& name) {
  unsigned long long total = 0;
  kq::CIniFile ini;
  ini.Load(name);
  std::string value;
  for (int s = 0; s < kSections; ++s) {
    kq::IniSection* section = nullptr;
    if (!ini.FindSection(SectionName(s), &section)) return 0;
    kq::IniLineCollection* lines = nullptr;
    section->GetLines(&lines);
    kq::IniEnumerator<kq::IniLine> each = lines->CreateEnumerator();
    kq::IniLine* line = nullptr;
    size_t fetched = 0;
    // Count the key lines: the entries the profile section read returns.
    while (each.Next(1, &line, &fetched) && fetched == 1) total += line->GetKey().empty() ? 0 : 1;
    for (int k = 0; k < kKeysPerSection; ++k) {
      if (!section->GetValue(KeyName(k), &value)) return 0;
      total += value.size();
    }
  }
  return total;
}

unsigned long long RunProfile(const std::string& name) {
  unsigned long long total = 0;
  std::vector<char> sectionBuffer(65536);
  char value[256];
  for (int s = 0; s < kSections; ++s) {
    const std::string section = SectionName(s);
    const DWORD got = GetPrivateProfileSectionA(section.c_str(), sectionBuffer.data(),
                                                static_cast<DWORD>(sectionBuffer.size()), name.c_str());
    // Count the entries, as the list read above counts its key lines.
    for (DWORD i = 0; i < got;) {
      const size_t length = std::strlen(sectionBuffer.data() + i);
      if (length == 0) break;
      total += 1;
      i += static_cast<DWORD>(length) + 1;
    }
    for (int k = 0; k < kKeysPerSection; ++k) {
      total += GetPrivateProfileStringA(section.c_str(), KeyName(k).c_str(), "", value, sizeof value, name.c_str());
    }
  }
  return total;
}

unsigned long long RunChunks(const std::string& name) {
  HANDLE file = CreateFileA(name.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 0;
  unsigned long long lines = 0;
  LONG position = 0;
  char chunk[256];
  DWORD got = 0;
  while (ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got > 0) {
    const void* feed = std::memchr(chunk, '\n', got);
    if (feed == nullptr) {
      position += static_cast<LONG>(got);
      continue;
    }
    position += static_cast<LONG>(static_cast<const char*>(feed) - chunk) + 1;
    SetFilePointer(file, position, nullptr, FILE_BEGIN);
    ++lines;
  }
  CloseHandle(file);
  return lines;
}

unsigned long long RunWhole(const std::string& name) {
  HANDLE file = CreateFileA(name.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 0;
  std::vector<char> block(65536);
  unsigned long long bytes = 0;
  DWORD got = 0;
  while (ReadFile(file, block.data(), static_cast<DWORD>(block.size()), &got, nullptr) && got > 0) bytes += got;
  CloseHandle(file);
  return bytes;
}

// Child: runs one workload and writes "seconds peakKiB result" to `out`.
int RunChild(const std::string& mode, const std::string& iniName, const std::string& out) {
  const double start = Now();
  unsigned long long result = 0;
  try {
    if (mode == "ini") result = RunIni(iniName);
    else if (mode == "profile") result = RunProfile(iniName);
    else if (mode == "chunks") result = RunChunks(iniName);
    else if (mode == "whole") result = RunWhole(iniName);
    else if (mode != "idle") return 2;
  } catch (const kq::CKqIniFileException& e) {
    std::fprintf(stderr, "load failed: %s (%u)\n", e.Message().c_str(), e.Code());
    return 3;
  }
  const double seconds = Now() - start;
  PROCESS_MEMORY_COUNTERS memory = {};
  memory.cb = sizeof memory;
  GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof memory);
  FILE* file = std::fopen(out.c_str(), "w");
  if (file == nullptr) return 4;
  std::fprintf(file, "%.6f %lu %llu\n", seconds, static_cast<unsigned long>(memory.PeakWorkingSetSize / 1024),
               result);
  std::fclose(file);
  return 0;
}

struct Measure {
  double seconds = 0;
  unsigned long peakKiB = 0;
  unsigned long long result = 0;
};

bool RunInChild(const std::string& self, const std::string& mode, const std::string& iniName,
                const std::string& folder, Measure& measure) {
  const std::string out = folder + "ini_bench_" + mode + ".txt";
  std::string commandLine = "\"" + self + "\" --child " + mode + " \"" + iniName + "\" \"" + out + "\"";
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
    return false;
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD exitCode = 1;
  GetExitCodeProcess(process.hProcess, &exitCode);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  if (exitCode != 0) return false;
  FILE* file = std::fopen(out.c_str(), "r");
  if (file == nullptr) return false;
  const int fields = std::fscanf(file, "%lf %lu %llu", &measure.seconds, &measure.peakKiB, &measure.result);
  std::fclose(file);
  DeleteFileA(out.c_str());
  return fields == 3;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 5 && std::strcmp(argv[1], "--child") == 0) return RunChild(argv[2], argv[3], argv[4]);

  std::string folder;
  if (argc > 1) {
    folder = argv[1];
  } else {
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    folder = temp;
  }
  if (!folder.empty() && folder.back() != '\\') folder += '\\';
  char self[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, self, MAX_PATH);
  const std::string iniName = folder + "ini_bench.ini";
  if (!WriteTestFile(iniName)) {
    std::fprintf(stderr, "cannot write %s\n", iniName.c_str());
    return 1;
  }
  std::printf("file: %d sections, %d lines\n", kSections, 1 + kSections * (kKeysPerSection + 3));

  const char* modes[] = {"idle", "whole", "chunks", "ini", "profile"};
  Measure results[5];
  for (int i = 0; i < 5; ++i) {
    if (!RunInChild(self, modes[i], iniName, folder, results[i])) {
      std::fprintf(stderr, "workload %s failed\n", modes[i]);
      return 1;
    }
    std::printf("%-8s %9.3f ms  peak working set %7lu KiB  (result %llu)\n", modes[i], results[i].seconds * 1000,
                results[i].peakKiB, results[i].result);
  }
  DeleteFileA(iniName.c_str());
  const Measure& idle = results[0];
  const Measure& chunks = results[2];
  const Measure& ini = results[3];
  const Measure& profile = results[4];
  if (ini.result != profile.result || ini.result == 0) {
    std::fprintf(stderr, "the two workloads disagree: %llu against %llu\n", ini.result, profile.result);
    return 1;
  }
  std::printf("time: profile functions / CIniFile = %.1f\n", profile.seconds / ini.seconds);
  std::printf("peak memory above the idle process: CIniFile %lu KiB, profile functions %lu KiB\n",
              ini.peakKiB > idle.peakKiB ? ini.peakKiB - idle.peakKiB : 0,
              profile.peakKiB > idle.peakKiB ? profile.peakKiB - idle.peakKiB : 0);
  std::printf("share of the CIniFile time spent in 256-byte reads and seeks: %.0f%%\n",
              100.0 * chunks.seconds / ini.seconds);
  return 0;
}
