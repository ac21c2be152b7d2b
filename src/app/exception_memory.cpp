// Memory for thrown C++ objects. The runtime's own allocator keeps a 64 KB
// emergency pool behind a mutex for when the heap is exhausted, which links
// libgcc's whole Win32 threading layer (some 4 KB). Here an exception comes
// from the heap and, when the heap has nothing left, from a few blocks of
// our own, so that a failure to allocate is still thrown as std::bad_alloc,
// caught at the top of the run and reported.
#include <windows.h>

#include <unwind.h>

#include <cstdlib>
#include <cstring>
#include <exception>
#include <typeinfo>

namespace {

// What the runtime keeps in front of every thrown object
// (__cxa_refcounted_exception, after the Itanium C++ ABI's __cxa_exception)
// and the block of a rethrown exception_ptr (__cxa_dependent_exception).
// Only their sizes are used: the runtime fills them in.
struct Exception {
  std::type_info* exceptionType;
  void (*exceptionDestructor)(void*);
  void (*unexpectedHandler)();
  std::terminate_handler terminateHandler;
  void* nextException;
  int handlerCount;
  int handlerSwitchValue;
  const unsigned char* actionRecord;
  const unsigned char* languageSpecificData;
  _Unwind_Ptr catchTemp;
  void* adjustedPtr;
  _Unwind_Exception unwindHeader;  // aligned to 16 bytes, and with it the whole
};
struct ExceptionHeader {
  int referenceCount;
  Exception exception;
};
struct DependentException {
  void* primaryException;
  void (*exceptionDestructor)(void*);
  void (*unexpectedHandler)();
  std::terminate_handler terminateHandler;
  void* nextException;
  int handlerCount;
  int handlerSwitchValue;
  const unsigned char* actionRecord;
  const unsigned char* languageSpecificData;
  _Unwind_Ptr catchTemp;
  void* adjustedPtr;
  _Unwind_Exception unwindHeader;
};
// As libstdc++ 12 for i686 allocates them (0x60 and 0x50 bytes).
static_assert(sizeof(ExceptionHeader) == 0x60, "the runtime's exception header");
static_assert(sizeof(DependentException) == 0x50, "the runtime's dependent exception");

// The blocks for when the heap is exhausted: enough for the exceptions of
// this program (small objects) in flight on its three threads.
constexpr size_t kReserveBlocks = 4;
constexpr size_t kReserveBlockSize = 512;
alignas(16) unsigned char reserve[kReserveBlocks][kReserveBlockSize];
volatile LONG reserveTaken[kReserveBlocks];

void* Allocate(size_t size) {
  void* block = std::malloc(size);
  if (block == nullptr && size <= kReserveBlockSize) {
    for (size_t i = 0; i < kReserveBlocks && block == nullptr; ++i) {
      if (InterlockedExchange(&reserveTaken[i], 1) == 0) block = reserve[i];
    }
  }
  if (block == nullptr) std::terminate();  // as the runtime does when its pool is spent
  std::memset(block, 0, size);
  return block;
}

void Free(void* block) {
  const auto* bytes = static_cast<unsigned char*>(block);
  if (bytes >= reserve[0] && bytes < reserve[0] + sizeof(reserve)) {
    InterlockedExchange(&reserveTaken[(bytes - reserve[0]) / kReserveBlockSize], 0);
  } else {
    std::free(block);
  }
}

}  // namespace

// The whole block is zeroed (the runtime zeroes the header only).
extern "C" void* __cxa_allocate_exception(size_t thrownSize) noexcept {
  return static_cast<unsigned char*>(Allocate(thrownSize + sizeof(ExceptionHeader))) + sizeof(ExceptionHeader);
}

extern "C" void __cxa_free_exception(void* thrown) noexcept {
  Free(static_cast<unsigned char*>(thrown) - sizeof(ExceptionHeader));
}

extern "C" void* __cxa_allocate_dependent_exception() noexcept { return Allocate(sizeof(DependentException)); }

extern "C" void __cxa_free_dependent_exception(void* dependent) noexcept { Free(dependent); }
