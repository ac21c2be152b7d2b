#include <windows.h>

#include <cxxabi.h>
#include <new>

// Guards of function-local statics, smaller than the C++ runtime's (whose
// guard links its own once, mutex and condition machinery and an exception
// type for a recursive initialisation: some 3 KB with its unwind tables).
// The guard's first word is the "done" flag that the compiler's inline
// check reads (its first byte); the second names the thread that is
// initialising. Another thread waits until that one is done or gives up;
// the same thread coming back in is a defect, raised as the runtime's other
// failures are (see compact_runtime.cpp), and the run ends at the top.
namespace __cxxabiv1 {

namespace {

volatile LONG* GuardWord(__guard* guard, int index) {
  return reinterpret_cast<volatile LONG*>(guard) + index;
}

}  // namespace

extern "C" int __cxa_guard_acquire(__guard* guard) {
  volatile LONG* done = GuardWord(guard, 0);
  volatile LONG* owner = GuardWord(guard, 1);
  const LONG self = static_cast<LONG>(GetCurrentThreadId());
  for (;;) {
    if (InterlockedCompareExchange(done, 0, 0) != 0) return 0;
    const LONG was = InterlockedCompareExchange(owner, self, 0);
    if (was == 0) {
      // Another thread may have finished between the two looks.
      if (InterlockedCompareExchange(done, 0, 0) == 0) return 1;
      InterlockedExchange(owner, 0);
      return 0;
    }
    if (was == self) throw std::bad_alloc();
    Sleep(1);  // not Sleep(0): that yields to threads of this priority only
  }
}

extern "C" void __cxa_guard_release(__guard* guard) {
  InterlockedExchange(GuardWord(guard, 0), 1);
  InterlockedExchange(GuardWord(guard, 1), 0);
}

extern "C" void __cxa_guard_abort(__guard* guard) { InterlockedExchange(GuardWord(guard, 1), 0); }

}  // namespace __cxxabiv1
