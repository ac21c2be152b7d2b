#pragma once

namespace kq {

// A process-wide mutual-exclusion lock: a critical section on Windows, a
// pthread mutex elsewhere. Not copyable; usable as a function-local static.
class CriticalSection {
 public:
  CriticalSection();
  ~CriticalSection();
  CriticalSection(const CriticalSection&) = delete;
  CriticalSection& operator=(const CriticalSection&) = delete;

  void Enter();
  void Leave();

 private:
  void* impl_;
};

class AutoLock {
 public:
  explicit AutoLock(CriticalSection& lock) : lock_(lock) { lock_.Enter(); }
  ~AutoLock() { lock_.Leave(); }
  AutoLock(const AutoLock&) = delete;
  AutoLock& operator=(const AutoLock&) = delete;

 private:
  CriticalSection& lock_;
};

}  // namespace kq
