// Other programs that hold files while the updater runs: one that opens a
// file with a given access and sharing for a given time (an editor, a
// program whose DLL it is), and an on-access virus scanner that opens every
// file appearing in a folder for a moment. Each works on a thread of its
// own and lets go when destroyed.
#ifndef TESTS_SUPPORT_FILE_HOLDERS_H
#define TESTS_SUPPORT_FILE_HOLDERS_H

#include <windows.h>
#include <atomic>
#include <string>
#include <thread>

class HeldFile {
public:
    // Opens `path` now with `access` and `share`, or with `loaded` maps it
    // as a program image, as a running program holds its files; lets go
    // after `ms` milliseconds (0: when destroyed or released).
    HeldFile(const std::string& path, DWORD access, DWORD share, DWORD ms = 0, bool loaded = false);
    ~HeldFile();
    HeldFile(const HeldFile&) = delete;
    HeldFile& operator=(const HeldFile&) = delete;

    bool Held() const { return file_ != INVALID_HANDLE_VALUE || image_ != nullptr; }
    void Release();

private:
    HANDLE file_ = INVALID_HANDLE_VALUE;
    HMODULE image_ = nullptr;
    HANDLE stop_ = nullptr;
    std::thread timer_;
};

class FolderScanner {
public:
    // Watches `folder` every few milliseconds; each file that appears under
    // a name it has not seen is opened for reading, sharing `share` only,
    // as soon as it can be opened, and held for `holdMs`.
    FolderScanner(const std::string& folder, DWORD holdMs, DWORD share = FILE_SHARE_READ);
    ~FolderScanner();
    FolderScanner(const FolderScanner&) = delete;
    FolderScanner& operator=(const FolderScanner&) = delete;

    // How many files it has held so far.
    size_t Scanned() const { return scanned_; }
    // Lets go of everything and stops watching.
    void Stop();

private:
    void Run();

    std::string folder_;
    DWORD holdMs_, share_;
    std::atomic<bool> stop_{ false };
    std::atomic<size_t> scanned_{ 0 };
    std::thread thread_;
};

#endif
