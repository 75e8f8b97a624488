// GoogleTest's Notification on a Windows event. GoogleTest builds it on
// std::mutex and std::condition_variable, which the tool chain's win32 thread
// model does not have; everything else of its threading uses Windows calls.
// Included before every source of the program (-include).
#pragma once
#define GTEST_HAS_NOTIFICATION_ 1
#include <windows.h>

namespace testing {
namespace internal {

class Notification {
public:
    Notification() : event_(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}
    ~Notification() { CloseHandle(event_); }
    Notification(const Notification&) = delete;
    Notification& operator=(const Notification&) = delete;
    void Notify() { SetEvent(event_); }
    void WaitForNotification() { WaitForSingleObject(event_, INFINITE); }

private:
    HANDLE event_;
};

} // namespace internal
} // namespace testing
