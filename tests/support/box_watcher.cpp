// Message-box watching, the modal deadline and pixel captures. A box's icon
// is read from its icon control: by handle when the box belongs to this
// process, otherwise by comparing the pixels on screen with the system icons
// drawn here.
#include "support/box_watcher.h"

#include <algorithm>
#include <chrono>

static const int MESSAGE_TEXT_ID = 0xFFFF;

const char* BoxIconName(BoxIcon icon)
{
    switch (icon) {
    case BoxIcon::None: return "none";
    case BoxIcon::Information: return "information";
    case BoxIcon::Error: return "error";
    case BoxIcon::Question: return "question";
    case BoxIcon::Warning: return "warning";
    default: return "unknown";
    }
}

static std::string WindowText(HWND window)
{
    char text[2048];
    int n = GetWindowTextA(window, text, sizeof text);
    return std::string(text, n > 0 ? n : 0);
}

bool IsMessageBox(HWND window)
{
    char className[64];
    if (!GetClassNameA(window, className, sizeof className) || lstrcmpA(className, "#32770") != 0)
        return false;
    return GetDlgItem(window, MESSAGE_TEXT_ID) != nullptr && IsWindowVisible(window);
}

struct CandidateIcon {
    BoxIcon kind;
    LPCSTR id;
};
static const CandidateIcon CANDIDATES[] = {
    { BoxIcon::Information, IDI_ASTERISK },
    { BoxIcon::Error, IDI_HAND },
    { BoxIcon::Question, IDI_QUESTION },
    { BoxIcon::Warning, IDI_EXCLAMATION },
};

static HWND FindIconControl(HWND box)
{
    for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        char className[32];
        GetClassNameA(child, className, sizeof className);
        LONG style = GetWindowLongA(child, GWL_STYLE);
        if (lstrcmpiA(className, "Static") == 0 && (style & SS_TYPEMASK) == SS_ICON)
            return child;
    }
    return nullptr;
}

std::vector<DWORD> CapturePixels(HDC source, int x, int y, int w, int h)
{
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = -h;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HDC memory = CreateCompatibleDC(source);
    HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, w, h, source, x, y, SRCCOPY);
    GdiFlush();
    std::vector<DWORD> out(static_cast<DWORD*>(bits), static_cast<DWORD*>(bits) + w * h);
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    return out;
}

std::string BmpOf(const std::vector<DWORD>& pixels, int w, int h)
{
    BITMAPINFOHEADER header = {};
    header.biSize = sizeof header;
    header.biWidth = w;
    header.biHeight = -h;
    header.biPlanes = 1;
    header.biBitCount = 32;
    BITMAPFILEHEADER fileHeader = {};
    fileHeader.bfType = 0x4D42;
    fileHeader.bfOffBits = sizeof fileHeader + sizeof header;
    fileHeader.bfSize = fileHeader.bfOffBits + w * h * 4;
    std::string bmp(reinterpret_cast<char*>(&fileHeader), sizeof fileHeader);
    bmp.append(reinterpret_cast<char*>(&header), sizeof header);
    for (DWORD pixel : pixels) {
        pixel |= 0xFF000000;
        bmp.append(reinterpret_cast<char*>(&pixel), sizeof pixel);
    }
    return bmp;
}

static std::vector<DWORD> RenderIcon(HICON icon, DWORD background, int w, int h)
{
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, w, h);
    HGDIOBJ old = SelectObject(memory, bitmap);
    HBRUSH brush = CreateSolidBrush(RGB((background >> 16) & 0xFF, (background >> 8) & 0xFF,
                                        background & 0xFF));
    RECT all = { 0, 0, w, h };
    FillRect(memory, &all, brush);
    DeleteObject(brush);
    DrawIconEx(memory, 0, 0, icon, w, h, 0, nullptr, DI_NORMAL);
    std::vector<DWORD> out = CapturePixels(memory, 0, 0, w, h);
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return out;
}

static BoxIcon IconOnScreen(HWND control)
{
    int w = GetSystemMetrics(SM_CXICON), h = GetSystemMetrics(SM_CYICON);
    RECT r;
    GetWindowRect(control, &r);
    HDC screen = GetDC(nullptr);
    std::vector<DWORD> shown = CapturePixels(screen, r.left, r.top, w, h);
    ReleaseDC(nullptr, screen);
    BoxIcon best = BoxIcon::Unknown;
    size_t bestScore = 0;
    for (const CandidateIcon& candidate : CANDIDATES) {
        std::vector<DWORD> drawn = RenderIcon(LoadIconA(nullptr, candidate.id), shown[0], w, h);
        size_t score = 0;
        for (size_t i = 0; i < shown.size(); ++i)
            score += (shown[i] & 0xFFFFFF) == (drawn[i] & 0xFFFFFF);
        if (score > bestScore) {
            bestScore = score;
            best = candidate.kind;
        }
    }
    return bestScore * 100 >= shown.size() * 97 ? best : BoxIcon::Unknown;
}

static BoxIcon ReadIcon(HWND box)
{
    HWND control = FindIconControl(box);
    if (control == nullptr || !IsWindowVisible(control))
        return BoxIcon::None;
    DWORD processId = 0;
    GetWindowThreadProcessId(box, &processId);
    if (processId == GetCurrentProcessId()) {
        HICON shown = reinterpret_cast<HICON>(SendMessageA(control, STM_GETICON, 0, 0));
        if (shown == nullptr)
            return BoxIcon::None;
        for (const CandidateIcon& candidate : CANDIDATES)
            if (LoadIconA(nullptr, candidate.id) == shown)
                return candidate.kind;
        return BoxIcon::Unknown;
    }
    // Another process: the box must be painted before its pixels tell.
    BoxIcon icon = BoxIcon::Unknown;
    for (int attempt = 0; attempt < 40 && icon == BoxIcon::Unknown; ++attempt) {
        Sleep(50);
        icon = IconOnScreen(control);
    }
    return icon;
}

SeenBox ReadMessageBox(HWND box)
{
    SeenBox seen;
    seen.caption = WindowText(box);
    seen.text = WindowText(GetDlgItem(box, MESSAGE_TEXT_ID));
    seen.owner = GetWindow(box, GW_OWNER);
    seen.hasOk = GetDlgItem(box, IDOK) != nullptr && IsWindowVisible(GetDlgItem(box, IDOK));
    seen.hasYes = GetDlgItem(box, IDYES) != nullptr;
    seen.hasNo = GetDlgItem(box, IDNO) != nullptr;
    seen.hasCancel = GetDlgItem(box, IDCANCEL) != nullptr && IsWindowVisible(GetDlgItem(box, IDCANCEL));
    seen.icon = ReadIcon(box);
    return seen;
}

BoxWatcher::BoxWatcher(DWORD threadId, std::vector<int> answers, BoxCallback onBox)
    : threadId_(threadId), answers_(std::move(answers)), onBox_(std::move(onBox)),
      thread_([this] { Run(); })
{
}

BoxWatcher::~BoxWatcher()
{
    stop_ = true;
    thread_.join();
}

std::vector<SeenBox> BoxWatcher::Boxes()
{
    std::lock_guard<std::mutex> lock(mutex_);
    return boxes_;
}

bool BoxWatcher::WaitForBoxes(size_t count, DWORD timeoutMs)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < deadline) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (boxes_.size() >= count)
                return true;
        }
        Sleep(20);
    }
    return false;
}

struct ThreadWindows {
    std::vector<HWND> windows;
};

static BOOL CALLBACK CollectWindow(HWND window, LPARAM data)
{
    reinterpret_cast<ThreadWindows*>(data)->windows.push_back(window);
    return TRUE;
}

void BoxWatcher::Run()
{
    while (!stop_) {
        ThreadWindows found;
        EnumThreadWindows(threadId_, CollectWindow, reinterpret_cast<LPARAM>(&found));
        for (HWND window : found.windows) {
            if (!IsMessageBox(window))
                continue;
            {
                std::lock_guard<std::mutex> lock(mutex_);
                if (std::find(answered_.begin(), answered_.end(), window) != answered_.end())
                    continue;
            }
            Sleep(100);  // let the box finish drawing
            SeenBox seen = ReadMessageBox(window);
            size_t index;
            {
                std::lock_guard<std::mutex> lock(mutex_);
                index = boxes_.size();
            }
            if (onBox_)
                onBox_(window, seen);
            int answer = answers_.empty() ? IDOK : answers_[std::min(index, answers_.size() - 1)];
            if (GetDlgItem(window, answer) == nullptr)
                answer = seen.hasOk ? IDOK : (seen.hasNo ? IDNO : IDCANCEL);
            seen.answeredWith = answer;
            {
                std::lock_guard<std::mutex> lock(mutex_);
                answered_.push_back(window);
                boxes_.push_back(seen);
            }
            PostMessageA(window, WM_COMMAND, MAKEWPARAM(answer, BN_CLICKED),
                         reinterpret_cast<LPARAM>(GetDlgItem(window, answer)));
        }
        Sleep(20);
    }
}

HWND WaitForThreadWindow(DWORD threadId, const std::string& caption, DWORD timeoutMs)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < deadline) {
        ThreadWindows found;
        EnumThreadWindows(threadId, CollectWindow, reinterpret_cast<LPARAM>(&found));
        for (HWND window : found.windows)
            if (IsWindowVisible(window) && WindowText(window) == caption)
                return window;
        Sleep(20);
    }
    return nullptr;
}

static thread_local bool DeadlinePassed;

static BOOL CALLBACK EndModalWindow(HWND window, LPARAM)
{
    char className[64];
    if (GetClassNameA(window, className, sizeof className) && lstrcmpA(className, "#32770") == 0)
        EndDialog(window, IDCANCEL);
    return TRUE;
}

static void CALLBACK DeadlineReached(HWND, UINT, UINT_PTR timer, DWORD)
{
    KillTimer(nullptr, timer);
    DeadlinePassed = true;
    EnumThreadWindows(GetCurrentThreadId(), EndModalWindow, 0);
}

ModalDeadline::ModalDeadline(DWORD timeoutMs)
{
    DeadlinePassed = false;
    timer_ = SetTimer(nullptr, 0, timeoutMs, DeadlineReached);
}

ModalDeadline::~ModalDeadline()
{
    if (!DeadlinePassed)
        KillTimer(nullptr, timer_);
}

bool ModalDeadline::Expired() const
{
    return DeadlinePassed;
}
