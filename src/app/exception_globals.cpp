// Each thread's exception state for the C++ runtime: the exceptions being
// handled and the number in flight. The runtime's own keeps it in emulated
// thread-local storage, which links a second key-and-mutex layer (some
// 1.5 KB); here it sits in one Win32 TLS slot, taken on first use.
//
// A thread's block is allocated the first time the thread throws or catches
// and is not freed when the thread ends: SETUP.EXE has three threads at most.
#include <windows.h>

#include <cxxabi.h>
#include <cstdlib>

namespace __cxxabiv1 {

// As the runtime lays it out (unwind-cxx.h) on targets without the ARM
// unwinder.
struct __cxa_eh_globals {
  __cxa_exception* caughtExceptions;
  unsigned int uncaughtExceptions;
};

namespace {

volatile LONG slot = static_cast<LONG>(TLS_OUT_OF_INDEXES);

DWORD Slot() {
  if (slot == static_cast<LONG>(TLS_OUT_OF_INDEXES)) {
    const DWORD taken = TlsAlloc();
    if (taken == TLS_OUT_OF_INDEXES) std::abort();
    // Two threads throwing their first exception together: one slot wins.
    if (InterlockedCompareExchange(&slot, static_cast<LONG>(taken), static_cast<LONG>(TLS_OUT_OF_INDEXES)) !=
        static_cast<LONG>(TLS_OUT_OF_INDEXES))
      TlsFree(taken);
  }
  return static_cast<DWORD>(slot);
}

}  // namespace

// Keeps the thread's last error: an exception is often raised right after
// a failed call whose error its handler still reads.
extern "C" __cxa_eh_globals* __cxa_get_globals() noexcept {
  const DWORD error = GetLastError();
  auto* globals = static_cast<__cxa_eh_globals*>(TlsGetValue(Slot()));
  if (globals == nullptr) {
    globals = static_cast<__cxa_eh_globals*>(std::calloc(1, sizeof(__cxa_eh_globals)));
    if (globals == nullptr || !TlsSetValue(Slot(), globals)) std::abort();
  }
  SetLastError(error);
  return globals;
}

extern "C" __cxa_eh_globals* __cxa_get_globals_fast() noexcept { return __cxa_get_globals(); }

}  // namespace __cxxabiv1
