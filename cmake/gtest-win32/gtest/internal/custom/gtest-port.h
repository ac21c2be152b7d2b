// GoogleTest customization for the mingw-w64 win32 thread model, which has no
// std::mutex or std::condition_variable: supplies gtest's Notification class
// on a Win32 manual-reset event. gtest finds this file ahead of its own empty
// custom header because the win32 build puts this folder first.
#ifndef KQ_GTEST_CUSTOM_PORT_H_
#define KQ_GTEST_CUSTOM_PORT_H_

#include <windows.h>

#define GTEST_HAS_NOTIFICATION_ 1

namespace testing {
namespace internal {

class Notification {
 public:
  Notification() : event_(::CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}
  ~Notification() { ::CloseHandle(event_); }
  Notification(const Notification&) = delete;
  Notification& operator=(const Notification&) = delete;
  void Notify() { ::SetEvent(event_); }
  void WaitForNotification() { ::WaitForSingleObject(event_, INFINITE); }

 private:
  HANDLE event_;
};

}  // namespace internal
}  // namespace testing

#endif  // KQ_GTEST_CUSTOM_PORT_H_
