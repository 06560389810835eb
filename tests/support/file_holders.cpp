// HeldFile and FolderScanner, over CreateFileA like the programs they stand
// for.
#include "support/file_holders.h"
#include <map>
#include <set>
#include <vector>

HeldFile::HeldFile(const std::string& path, DWORD access, DWORD share, DWORD ms, bool loaded)
{
    if (loaded)
        image_ = LoadLibraryExA(path.c_str(), nullptr, DONT_RESOLVE_DLL_REFERENCES);
    else
        file_ = CreateFileA(path.c_str(), access, share, nullptr, OPEN_EXISTING, 0, nullptr);
    if (!Held() || ms == 0)
        return;
    stop_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    timer_ = std::thread([this, ms] {
        WaitForSingleObject(stop_, ms);
        Release();
    });
}

HeldFile::~HeldFile()
{
    if (stop_ != nullptr)
        SetEvent(stop_);
    if (timer_.joinable())
        timer_.join();
    Release();
    if (stop_ != nullptr)
        CloseHandle(stop_);
}

void HeldFile::Release()
{
    HANDLE file = InterlockedExchangePointer(&file_, INVALID_HANDLE_VALUE);
    if (file != INVALID_HANDLE_VALUE)
        CloseHandle(file);
    HMODULE image = static_cast<HMODULE>(InterlockedExchangePointer(reinterpret_cast<void**>(&image_), nullptr));
    if (image != nullptr)
        FreeLibrary(image);
}

FolderScanner::FolderScanner(const std::string& folder, DWORD holdMs, DWORD share)
    : folder_(folder), holdMs_(holdMs), share_(share), thread_([this] { Run(); })
{
}

FolderScanner::~FolderScanner()
{
    Stop();
}

void FolderScanner::Stop()
{
    stop_ = true;
    if (thread_.joinable())
        thread_.join();
}

void FolderScanner::Run()
{
    std::set<std::string> seen;
    // Names not yet opened (their writer still had them), and open handles
    // with the time they were opened.
    std::set<std::string> waiting;
    std::map<std::string, std::pair<HANDLE, DWORD>> open;
    // What is there when the scanner starts is not new.
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA((folder_ + "\\*").c_str(), &entry);
    if (search != INVALID_HANDLE_VALUE) {
        do
            seen.insert(entry.cFileName);
        while (FindNextFileA(search, &entry));
        FindClose(search);
    }
    while (!stop_) {
        search = FindFirstFileA((folder_ + "\\*").c_str(), &entry);
        std::set<std::string> present;
        if (search != INVALID_HANDLE_VALUE) {
            do {
                if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                    continue;
                present.insert(entry.cFileName);
                if (seen.insert(entry.cFileName).second)
                    waiting.insert(entry.cFileName);
            } while (FindNextFileA(search, &entry));
            FindClose(search);
        }
        // A name that went is seen anew when it comes back (a rename).
        for (auto it = seen.begin(); it != seen.end();)
            it = present.count(*it) || open.count(*it) ? std::next(it) : seen.erase(it);
        for (auto it = waiting.begin(); it != waiting.end();) {
            HANDLE file = CreateFileA((folder_ + "\\" + *it).c_str(), GENERIC_READ, share_, nullptr,
                                      OPEN_EXISTING, 0, nullptr);
            if (file != INVALID_HANDLE_VALUE) {
                open[*it] = { file, GetTickCount() };
                ++scanned_;
                it = waiting.erase(it);
            } else if (!present.count(*it)) {
                it = waiting.erase(it);
            } else {
                ++it;
            }
        }
        for (auto it = open.begin(); it != open.end();) {
            if (GetTickCount() - it->second.second >= holdMs_) {
                CloseHandle(it->second.first);
                it = open.erase(it);
            } else {
                ++it;
            }
        }
        Sleep(5);
    }
    for (auto& held : open)
        CloseHandle(held.second.first);
}
