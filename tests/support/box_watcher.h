// Watching the windows of a test: finds message boxes on one thread (of this
// or another process), records what they say and answers them from a
// background thread, so that no test waits on a box nobody answers; ends a
// thread's modal windows at a deadline; captures window pixels, also as BMP.
#ifndef TESTS_SUPPORT_BOX_WATCHER_H
#define TESTS_SUPPORT_BOX_WATCHER_H

#include <windows.h>
#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

enum class BoxIcon { None, Information, Error, Question, Warning, Unknown };
const char* BoxIconName(BoxIcon icon);

struct SeenBox {
    std::string caption;
    std::string text;
    BoxIcon icon = BoxIcon::None;
    bool hasOk = false, hasYes = false, hasNo = false, hasCancel = false;
    HWND owner = nullptr;
    int answeredWith = 0;
};

// Reads a message box window (class "#32770" with a 0xFFFF text control).
bool IsMessageBox(HWND window);
SeenBox ReadMessageBox(HWND box);

class BoxWatcher {
public:
    using BoxCallback = std::function<void(HWND box, const SeenBox& seen)>;

    // Answers the n-th box with answers[n] (the last answer repeats). A box
    // without that button gets its first button instead. `onBox` runs on
    // the watcher thread before the answer.
    BoxWatcher(DWORD threadId, std::vector<int> answers, BoxCallback onBox = nullptr);
    ~BoxWatcher();

    std::vector<SeenBox> Boxes();
    // Waits until `count` boxes were answered; false on timeout.
    bool WaitForBoxes(size_t count, DWORD timeoutMs);

private:
    void Run();

    DWORD threadId_;
    std::vector<int> answers_;
    BoxCallback onBox_;
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    std::vector<SeenBox> boxes_;
    std::vector<HWND> answered_;
    std::thread thread_;
};

// Ends every dialog and message box of the constructing thread once
// `timeoutMs` have passed, so that a test that runs the updater's modal UI on
// its own thread fails when its presses go astray instead of waiting for
// CTest's limit. The timer fires inside the thread's modal loops. One at a
// time per thread.
class ModalDeadline {
public:
    explicit ModalDeadline(DWORD timeoutMs);
    ~ModalDeadline();
    ModalDeadline(const ModalDeadline&) = delete;
    ModalDeadline& operator=(const ModalDeadline&) = delete;
    // Whether the deadline passed and windows were ended.
    bool Expired() const;

private:
    UINT_PTR timer_;
};

// 32-bit top-down pixels (0x00RRGGBB) of a w x h area of a device context.
std::vector<DWORD> CapturePixels(HDC source, int x, int y, int w, int h);

// A BMP file image of such pixels, opaque, for people to look at.
std::string BmpOf(const std::vector<DWORD>& pixels, int w, int h);

// Top-level dialog of a thread whose caption is `caption`, waiting up to
// `timeoutMs`; nullptr when none appears.
HWND WaitForThreadWindow(DWORD threadId, const std::string& caption, DWORD timeoutMs);

#endif
