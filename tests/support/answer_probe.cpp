// AnswerProbe: one thread, one WM_NULL at a time.
#include "support/answer_probe.h"

AnswerProbe::AnswerProbe(HWND window, DWORD intervalMs)
    : window_(window), interval_(intervalMs), thread_([this] { Run(); })
{
}

AnswerProbe::~AnswerProbe()
{
    Stop();
}

void AnswerProbe::Stop()
{
    stop_ = true;
    if (thread_.joinable())
        thread_.join();
}

void AnswerProbe::Run()
{
    DWORD begun = GetTickCount();
    while (!stop_) {
        DWORD sent = GetTickCount();
        DWORD_PTR result = 0;
        LRESULT answered = SendMessageTimeoutA(window_, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &result);
        DWORD waited = GetTickCount() - sent;
        if (answered == 0)
            ++unanswered_;
        if (waited > longest_)
            longest_ = waited;
        probed_ = GetTickCount() - begun;
        if (waited < interval_)
            Sleep(interval_ - waited);
    }
}
