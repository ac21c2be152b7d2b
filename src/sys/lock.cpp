#include "sys/lock.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <pthread.h>
#endif

namespace kq {

#ifdef _WIN32
CriticalSection::CriticalSection() : impl_(new CRITICAL_SECTION) {
  InitializeCriticalSection(static_cast<CRITICAL_SECTION*>(impl_));
}
CriticalSection::~CriticalSection() {
  DeleteCriticalSection(static_cast<CRITICAL_SECTION*>(impl_));
  delete static_cast<CRITICAL_SECTION*>(impl_);
}
void CriticalSection::Enter() { EnterCriticalSection(static_cast<CRITICAL_SECTION*>(impl_)); }
void CriticalSection::Leave() { LeaveCriticalSection(static_cast<CRITICAL_SECTION*>(impl_)); }
#else
CriticalSection::CriticalSection() : impl_(new pthread_mutex_t) {
  pthread_mutex_init(static_cast<pthread_mutex_t*>(impl_), nullptr);
}
CriticalSection::~CriticalSection() {
  pthread_mutex_destroy(static_cast<pthread_mutex_t*>(impl_));
  delete static_cast<pthread_mutex_t*>(impl_);
}
void CriticalSection::Enter() { pthread_mutex_lock(static_cast<pthread_mutex_t*>(impl_)); }
void CriticalSection::Leave() { pthread_mutex_unlock(static_cast<pthread_mutex_t*>(impl_)); }
#endif

}  // namespace kq
