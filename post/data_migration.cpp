// GetDocumentsFolder and MigrateDataFiles. SHGetFolderPathA is
// missing from the original Windows 95 and NT 4.0, so it is looked up at run
// time: SHFOLDER.DLL first (the redistributable), SHELL32.DLL otherwise.
//
// A data file is copied to a temporary name of ours in the data folder,
// checked for its full size, flushed, and only then renamed to its own
// name; the source is deleted last, once the new name is on the disk. A
// stop at any instant leaves the source whole, and at worst a temporary
// file that the next run removes. A source whose name the data folder
// already holds is deleted only when it holds the same bytes; a different
// one (newer data, say) stays where it is.
#include <windows.h>
#include "common/file_flush.h"
#include "common/file_ops.h"
#include "common/file_removal.h"
#include "common/path_helpers.h"
#include "common/path_kind.h"
#include "common/res_strings.h"
#include "common/text.h"
#include "post/data_migration.h"
#include "post/same_content.h"
#include "res/resource.h"

typedef HRESULT(WINAPI* ShGetFolderPathFunction)(HWND, int, HANDLE, DWORD, LPSTR);

static const int DOCUMENTS_FOLDER_ID = 5;  // CSIDL_PERSONAL
static const char DATABASE_FILE[] = "TLCDDB.DB";
static const char CHANGE_LOG_FILE[] = "CHG.LOG";
static const char LIST_FILE_PATTERN[] = "*.LST";
// The copy in progress, in the data folder; never a data file's name.
static const char MOVE_TEMP_FILE[] = "TLMOVE.TMP";

enum DocumentsLookup {
    NoLookup,      // neither library, or no SHGetFolderPathA in it
    LookupFailed,  // the lookup exists but gave no folder
    LookupFound
};

static DocumentsLookup LookUpDocumentsFolder(char* out)
{
    out[0] = 0;
    HMODULE library = LoadLibraryA("SHFOLDER.DLL");
    if (library == 0)
        library = LoadLibraryA("SHELL32.DLL");
    if (library == 0)
        return NoLookup;

    DocumentsLookup result = NoLookup;
    ShGetFolderPathFunction lookup = reinterpret_cast<ShGetFolderPathFunction>(
        reinterpret_cast<void*>(GetProcAddress(library, "SHGetFolderPathA")));
    if (lookup != 0) {
        // The function writes at most MAX_PATH bytes. A failed call, or one
        // that leaves no path, gives no folder: joining the data folder
        // name to nothing would point into the current folder.
        HRESULT status = lookup(0, DOCUMENTS_FOLDER_ID, 0, 0, out);
        out[PATH_BUFFER_SIZE - 1] = 0;
        result = SUCCEEDED(status) && out[0] != 0 ? LookupFound : LookupFailed;
        if (result != LookupFound)
            out[0] = 0;
    }
    FreeLibrary(library);
    return result;
}

bool GetDocumentsFolder(char* out)
{
    return LookUpDocumentsFolder(out) == LookupFound;
}

// The data folder inside `documents`, created when missing.
static bool MakeDataFolder(const char* documents, char* out, unsigned int id)
{
    if (!MakePath(out, PATH_BUFFER_SIZE, 0, documents, LoadResString(id), 0))
        return false;
    // Whatever already exists under that name is taken as the data folder.
    if (QueryPath(out) == PathMissing)
        OpCreateFolder(out);
    return true;
}

enum Destination {
    DestinationMissing,  // known not to exist: the file can be copied there
    DestinationOther,    // another file of that name: the data folder's copy wins
    DestinationSame,     // the source itself, reached another way: nothing to do
    CannotTell           // anything else: the source stays
};

// Opens a data folder's file only to learn whether it can be opened.
static HANDLE OpenToCompare(const char* destination)
{
    return CreateFileA(destination, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, 0, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, 0);
}

// Whether two paths name one file, however they are reached (two spellings,
// a substituted or mapped drive, a junction). The source is held open
// without sharing; opening the destination then fails with a sharing
// violation when it is that same file, or when another program holds the
// destination: the destination is opened once more after the source is let
// go, and only when that succeeds was the source in the way. Only an open
// that succeeds, or an answer that the name does not exist, tells that the
// destination is another file; any other answer (a redirector's access
// denied or lock violation, a destination held elsewhere) tells nothing.
// This works on Windows 95 and NT alike, which have no common way to
// compare file identities. `sourceSize` receives the source's size while
// it is held.
static Destination CompareFiles(const char* source, const char* destination,
                                FileSize* sourceSize)
{
    char sourceFull[PATH_BUFFER_SIZE];
    char destinationFull[PATH_BUFFER_SIZE];
    char* part;
    DWORD sourceLength = GetFullPathNameA(source, sizeof sourceFull, sourceFull, &part);
    DWORD destinationLength =
        GetFullPathNameA(destination, sizeof destinationFull, destinationFull, &part);
    if (sourceLength == 0 || sourceLength >= sizeof sourceFull || destinationLength == 0 ||
        destinationLength >= sizeof destinationFull)
        return CannotTell;
    if (lstrcmpiA(sourceFull, destinationFull) == 0)
        return DestinationSame;

    HANDLE held = CreateFileA(source, GENERIC_READ, 0, 0, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, 0);
    if (held == INVALID_HANDLE_VALUE)
        return CannotTell;
    Destination result = CannotTell;
    sourceSize->low = GetFileSize(held, &sourceSize->high);
    bool sized = sourceSize->low != INVALID_FILE_SIZE || GetLastError() == NO_ERROR;
    HANDLE other = OpenToCompare(destination);
    DWORD error = GetLastError();
    if (other != INVALID_HANDLE_VALUE) {
        CloseHandle(other);
        result = DestinationOther;
    } else if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
        result = DestinationMissing;
    }
    // A copy can only be checked against a size that was read.
    if (!sized && result == DestinationMissing)
        result = CannotTell;
    CloseHandle(held);
    if (error == ERROR_SHARING_VIOLATION) {
        other = OpenToCompare(destination);
        if (other != INVALID_HANDLE_VALUE) {
            CloseHandle(other);
            result = DestinationSame;
        }
    }
    return result;
}

// Copies `source` to `temp`, checks the copy's size and flushes it. The copy
// carries the source's attributes, returned in `attributes`; it is left
// writable, since only a writable file can be flushed. False, with `temp`
// removed, on failure.
static bool CopyComplete(const char* source, const char* temp, const FileSize& sourceSize,
                         DWORD* attributes)
{
    bool complete = OpCopy(source, temp) && QueryPath(temp, attributes) == PathFile;
    if (complete && (*attributes & FILE_ATTRIBUTE_READONLY))
        complete = OpSetAttributes(temp, *attributes & ~FILE_ATTRIBUTE_READONLY) != FALSE;
    if (complete)
        complete = FlushFileAt(temp, &sourceSize);
    if (!complete)
        RemoveFile(temp);
    return complete;
}

// Moves one file. True when nothing of it stays behind: it was moved, the
// data folder already held it, or there is no such file. A `dataFolder` of 0
// means there is nowhere to move to.
static bool MoveDataFile(const char* folder, const char* dataFolder, const char* name)
{
    char source[PATH_BUFFER_SIZE];
    char destination[PATH_BUFFER_SIZE];
    char temp[PATH_BUFFER_SIZE];
    // A path the ANSI calls cannot take leaves the file where it is.
    if (!MakePath(source, sizeof source, 0, folder, name, 0) || lstrlenA(source) >= MAX_PATH)
        return false;
    // A folder named like a data file is not a data file; a name whose
    // attributes cannot be read may still be one, and stays.
    switch (QueryPath(source)) {
    case PathMissing:
    case PathFolder:
        return true;
    case PathFile:
        break;
    default:
        return false;
    }
    if (dataFolder == 0 || !MakePath(destination, sizeof destination, 0, dataFolder, name, 0) ||
        lstrlenA(destination) >= MAX_PATH ||
        !MakePath(temp, sizeof temp, 0, dataFolder, MOVE_TEMP_FILE, 0))
        return false;

    FileSize sourceSize = { 0, 0 };
    switch (CompareFiles(source, destination, &sourceSize)) {
    case DestinationSame:
        return true;
    case DestinationOther:
        // The data folder's copy wins. The installation's goes only when it
        // is the same data; different data (a copy the user went on using
        // after going back to an older version) is never deleted.
        return HoldSameBytes(source, destination) && RemoveFile(source);
    case DestinationMissing:
        break;
    default:
        return false;
    }
    DWORD attributes = 0;
    if (!CopyComplete(source, temp, sourceSize, &attributes))
        return false;
    if (!OpRename(temp, destination)) {
        RemoveFile(temp);
        return false;
    }
    // The new name must be on the disk before the source goes: a file system
    // that writes its directory back in any order (FAT) could otherwise keep
    // the delete and lose the rename. Flushing the renamed file writes its
    // directory entry.
    bool named = FlushFileAt(destination, 0);
    if (attributes & FILE_ATTRIBUTE_READONLY)
        OpSetAttributes(destination, attributes);
    return named && RemoveFile(source);
}

// The name by which a found list file can be opened: its long name, or its
// short one where the long name cannot be used. On the NT family a long name
// with characters outside the ANSI code page comes back with '?' in their
// place, and a long name can make a path that the ANSI calls cannot take.
// The file then moves under its short name.
static const char* ReachableName(const char* folder, const WIN32_FIND_DATAA& entry)
{
    char path[PATH_BUFFER_SIZE];
    if (entry.cAlternateFileName[0] == 0)
        return entry.cFileName;
    if (MakePath(path, sizeof path, 0, folder, entry.cFileName, 0) && lstrlenA(path) < MAX_PATH &&
        QueryPath(path) != PathUnknown)
        return entry.cFileName;
    return entry.cAlternateFileName;
}

bool MigrateDataFiles(const char* folder, char* dataFolder)
{
    char documents[PATH_BUFFER_SIZE];
    char pattern[PATH_BUFFER_SIZE];
    char temp[PATH_BUFFER_SIZE];
    dataFolder[0] = 0;
    DocumentsLookup lookup = LookUpDocumentsFolder(documents);
    if (lookup == NoLookup)
        return true;
    const char* target = 0;
    if (lookup == LookupFound) {
        if (!MakeDataFolder(documents, dataFolder, IDS_DATA_FOLDER))
            CopyText(dataFolder, PATH_BUFFER_SIZE, documents);  // named in the warning
        else if (QueryPath(dataFolder) == PathFolder)
            target = dataFolder;
    }
    // A temporary file left by a stopped run is never a user's file.
    if (target != 0 && MakePath(temp, sizeof temp, 0, target, MOVE_TEMP_FILE, 0))
        RemoveFile(temp);

    bool complete = MoveDataFile(folder, target, DATABASE_FILE);
    complete = MoveDataFile(folder, target, CHANGE_LOG_FILE) && complete;

    if (!MakePath(pattern, sizeof pattern, 0, folder, LIST_FILE_PATTERN, 0))
        return false;
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA(pattern, &entry);
    if (search == INVALID_HANDLE_VALUE)
        return complete;
    // Each file is moved while the search is open; the search walks on.
    do {
        complete = MoveDataFile(folder, target, ReachableName(folder, entry)) && complete;
    } while (FindNextFileA(search, &entry));
    FindClose(search);
    return complete;
}
