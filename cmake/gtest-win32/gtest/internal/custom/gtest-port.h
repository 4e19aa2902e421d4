// GoogleTest's port hooks for the Windows builds. The win32 thread model's
// runtime has no std::mutex or std::condition_variable, which GoogleTest's own
// Notification uses; this one waits on a Win32 event instead (defined in
// Notification.cc, so no test sees <windows.h> through gtest.h).
#ifndef MB_GTEST_CUSTOM_PORT_H
#define MB_GTEST_CUSTOM_PORT_H

#ifdef _WIN32
#define GTEST_HAS_NOTIFICATION_ 1

namespace testing {
namespace internal {

// Lets a controller thread hold new threads until it notifies them.
class Notification {
public:
    Notification();
    ~Notification();
    Notification(const Notification&) = delete;
    Notification& operator=(const Notification&) = delete;

    void Notify();
    void WaitForNotification();

private:
    void* event_;
};

}  // namespace internal
}  // namespace testing
#endif

#endif
