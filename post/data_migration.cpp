// GetDocumentsFolder, GetDataFolder and MigrateDataFiles. SHGetFolderPathA is
// missing from the original Windows 95 and NT 4.0, so it is looked up at run
// time: SHFOLDER.DLL first (the redistributable), SHELL32.DLL otherwise.
#include <windows.h>
#include "common/path_helpers.h"
#include "common/res_strings.h"
#include "post/data_migration.h"
#include "res/resource.h"

typedef HRESULT(WINAPI* ShGetFolderPathFunction)(HWND, int, HANDLE, DWORD, LPSTR);

static const int DOCUMENTS_FOLDER_ID = 5;  // CSIDL_PERSONAL
static const char DATABASE_FILE[] = "TLCDDB.DB";
static const char CHANGE_LOG_FILE[] = "CHG.LOG";
static const char LIST_FILE_PATTERN[] = "*.LST";

bool GetDocumentsFolder(char* out)
{
    out[0] = 0;
    HMODULE library = LoadLibraryA("SHFOLDER.DLL");
    if (library == 0)
        library = LoadLibraryA("SHELL32.DLL");
    if (library == 0)
        return false;

    bool found = false;
    ShGetFolderPathFunction lookup = reinterpret_cast<ShGetFolderPathFunction>(
        reinterpret_cast<void*>(GetProcAddress(library, "SHGetFolderPathA")));
    if (lookup != 0) {
        // The function writes at most MAX_PATH bytes. A failed call, or one
        // that leaves no path, counts as no lookup: joining the data folder
        // name to nothing would point into the current folder.
        HRESULT status = lookup(0, DOCUMENTS_FOLDER_ID, 0, 0, out);
        out[PATH_BUFFER_SIZE - 1] = 0;
        found = SUCCEEDED(status) && out[0] != 0;
        if (!found)
            out[0] = 0;
    }
    FreeLibrary(library);
    return found;
}

bool GetDataFolder(char* out, unsigned int id)
{
    char documents[PATH_BUFFER_SIZE];
    out[0] = 0;
    documents[0] = 0;
    if (GetDocumentsFolder(documents) &&
        MakePath(out, PATH_BUFFER_SIZE, 0, documents, LoadResString(id), 0)) {
        // Whatever already exists under that name is taken as the data folder.
        if (GetFileAttributesA(out) == INVALID_FILE_ATTRIBUTES)
            CreateDirectoryA(out, 0);
    }
    return lstrlenA(out) != 0;
}

enum Sameness {
    DifferentFiles,
    SameFile,    // or a destination that another program holds: leave both
    CannotTell   // the source could not be held: never delete it for an existing name
};

// Whether two paths name one file, however they are reached (two spellings,
// a substituted or mapped drive, a junction). The source is held open
// without sharing; opening the destination then fails with a sharing
// violation when it is that same file (or when another program holds the
// destination without sharing, which is treated the same way). This works
// on Windows 95 and NT alike, which have no common way to compare file
// identities.
static Sameness CompareFiles(const char* source, const char* destination)
{
    HANDLE held = CreateFileA(source, GENERIC_READ, 0, 0, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, 0);
    if (held == INVALID_HANDLE_VALUE)
        return CannotTell;
    Sameness result = DifferentFiles;
    HANDLE other = CreateFileA(destination, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, 0,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, 0);
    if (other != INVALID_HANDLE_VALUE)
        CloseHandle(other);
    else if (GetLastError() == ERROR_SHARING_VIOLATION)
        result = SameFile;
    CloseHandle(held);
    return result;
}

// Whether `path` exists as a file (a folder of that name does not count).
static bool IsExistingFile(const char* path)
{
    DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// Copies one file without overwriting, and deletes the source when it was
// copied or the data folder already holds another file of that name. A path
// that does not fit, a source that is the destination itself (or may be),
// or a destination name taken by a folder leaves the source where it is.
static void MoveDataFile(const char* folder, const char* dataFolder, const char* name)
{
    char source[PATH_BUFFER_SIZE];
    char destination[PATH_BUFFER_SIZE];
    if (!MakePath(source, sizeof source, 0, folder, name, 0) ||
        !MakePath(destination, sizeof destination, 0, dataFolder, name, 0))
        return;
    Sameness sameness = CompareFiles(source, destination);
    if (sameness == SameFile)
        return;
    if (CopyFileA(source, destination, TRUE)) {
        DeleteFileA(source);
        return;
    }
    DWORD error = GetLastError();
    if ((error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) && sameness == DifferentFiles &&
        IsExistingFile(destination))
        DeleteFileA(source);
}

void MigrateDataFiles(const char* folder)
{
    char dataFolder[PATH_BUFFER_SIZE];
    char pattern[PATH_BUFFER_SIZE];
    dataFolder[0] = 0;
    if (!GetDataFolder(dataFolder, IDS_DATA_FOLDER))
        return;

    MoveDataFile(folder, dataFolder, DATABASE_FILE);
    MoveDataFile(folder, dataFolder, CHANGE_LOG_FILE);

    if (!MakePath(pattern, sizeof pattern, 0, folder, LIST_FILE_PATTERN, 0))
        return;
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA(pattern, &entry);
    if (search == INVALID_HANDLE_VALUE)
        return;
    // Each file is moved while the search is open; the search walks on.
    do {
        MoveDataFile(folder, dataFolder, entry.cFileName);
    } while (FindNextFileA(search, &entry));
    FindClose(search);
}
