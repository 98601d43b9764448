// GoogleTest's own place for what a platform brings: the Windows test
// programs are built with the win32 thread model's C++ runtime (the shipped
// files' own), which has no std::mutex or std::condition_variable. Its
// Notification, the one part of GoogleTest built on them, waits on a
// Windows event instead. GoogleTest's other locks are its own, on Windows'
// critical sections.
#ifndef LAUNCHER_TESTS_GTEST_CUSTOM_PORT_H_
#define LAUNCHER_TESTS_GTEST_CUSTOM_PORT_H_

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#define GTEST_HAS_NOTIFICATION_ 1

namespace testing::internal {

class Notification {
 public:
  Notification() : event_(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
  ~Notification() { ::CloseHandle(event_); }
  Notification(const Notification&) = delete;
  Notification& operator=(const Notification&) = delete;

  void Notify() { ::SetEvent(event_); }
  void WaitForNotification() { ::WaitForSingleObject(event_, INFINITE); }

 private:
  HANDLE event_;
};

}  // namespace testing::internal

#endif  // LAUNCHER_TESTS_GTEST_CUSTOM_PORT_H_
