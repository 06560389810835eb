// Scratch folders and file contents for the tests, through the ANSI calls.
#include <windows.h>
#include "support/scratch_files.h"
#include "tools/release/file_helpers.h"

static const char SCRATCH_ROOT[] = "C:\\tolvane-tests";

std::string MakeScratchFolder(const std::string& name)
{
    CreateDirectoryA(SCRATCH_ROOT, nullptr);
    std::string path = std::string(SCRATCH_ROOT) + "\\" + name;
    RemoveTree(path);
    CreateDirectoryA(path.c_str(), nullptr);
    return path;
}

std::string TestProgramFolder()
{
    return ModuleFolder();
}

std::string MakeDeepFolder(const std::string& base, size_t length)
{
    std::string deep = base;
    while (length > deep.size() + 41) {
        deep += "\\" + std::string(40, 'd');
        MakeFolder(deep);
    }
    if (length > deep.size() + 1) {
        deep += "\\" + std::string(length - deep.size() - 1, 'd');
        MakeFolder(deep);
    }
    return deep;
}

bool WriteFileBytes(const std::string& path, const std::string& bytes)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    BOOL ok = bytes.empty() ||
              WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    return ok && written == bytes.size();
}

std::string ReadFileBytes(const std::string& path, bool* ok)
{
    std::string bytes;
    bool read = ReadWholeFile(path, &bytes);
    if (ok)
        *ok = read;
    return read ? bytes : std::string();
}

bool FileExists(const std::string& path)
{
    DWORD a = GetFileAttributesA(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool FolderExists(const std::string& path)
{
    DWORD a = GetFileAttributesA(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool MakeFolder(const std::string& path)
{
    return CreateDirectoryA(path.c_str(), nullptr) || FolderExists(path);
}

void RemoveTree(const std::string& path)
{
    RemoveFolderTree(path);
}

std::string ListFolder(const std::string& path)
{
    std::string names;
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA((path + "\\*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE)
        return names;
    do {
        std::string name = entry.cFileName;
        if (name == "." || name == "..")
            continue;
        names += (names.empty() ? "" : " ") + name;
    } while (FindNextFileA(search, &entry));
    FindClose(search);
    return names;
}
