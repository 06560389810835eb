// Asking a window again and again whether it answers, as the system does
// before it calls a program hung: a WM_NULL sent from a thread of its own at
// a fixed interval, each answer awaited up to five seconds.
#ifndef TESTS_SUPPORT_ANSWER_PROBE_H
#define TESTS_SUPPORT_ANSWER_PROBE_H

#include <windows.h>
#include <atomic>
#include <thread>

class AnswerProbe {
public:
    AnswerProbe(HWND window, DWORD intervalMs);
    ~AnswerProbe();
    AnswerProbe(const AnswerProbe&) = delete;
    AnswerProbe& operator=(const AnswerProbe&) = delete;

    // Ends the probing; afterwards the figures no longer change.
    void Stop();
    // The longest time one probe waited for its answer (a probe that got
    // none counts its whole wait), and the time probed, in milliseconds.
    DWORD LongestUnanswered() const { return longest_; }
    DWORD Probed() const { return probed_; }
    // Probes that got no answer at all.
    unsigned int Unanswered() const { return unanswered_; }

private:
    void Run();

    HWND window_;
    DWORD interval_;
    std::atomic<bool> stop_{ false };
    std::atomic<DWORD> longest_{ 0 }, probed_{ 0 };
    std::atomic<unsigned int> unanswered_{ 0 };
    std::thread thread_;
};

#endif
