// GetDocumentsFolder and MigrateDataFiles. SHGetFolderPathA is
// missing from the original Windows 95 and NT 4.0, so it is looked up at run
// time: SHFOLDER.DLL first (the redistributable), SHELL32.DLL otherwise.
//
// On the NT family, where the data folder lies on an NTFS volume, a data
// file is renamed into it: no bytes move, and NTFS logs the rename as one
// step, so a stop at any instant leaves the file under one of its names.
// Elsewhere (the Windows 95 family, FAT, another volume) a data file is
// copied to a temporary name of ours in the data folder, checked for its
// full size, flushed, and only then renamed to its own name; the source is
// deleted last, once the new name is on the disk. A stop at any instant
// leaves the source whole, and at worst a temporary file that the next run
// removes. A source whose name the data folder already holds is deleted
// only when it holds the same bytes; a different one (newer data, say)
// stays where it is. A file that stays for a cause the user can remove
// (no room, a program that holds it, no right to write, a different file
// of its name in the data folder) is told with it.
#include <windows.h>
#include "common/app_state.h"
#include "common/file_flush.h"
#include "common/file_holder.h"
#include "common/file_ops.h"
#include "common/file_removal.h"
#include "common/kernel_functions.h"
#include "common/path_helpers.h"
#include "common/path_kind.h"
#include "common/res_strings.h"
#include "common/text.h"
#include "post/data_migration.h"
#include "post/same_content.h"
#include "res/resource.h"

typedef HRESULT(WINAPI* ShGetFolderPathFunction)(HWND, int, HANDLE, DWORD, LPSTR);
typedef BOOL(WINAPI* GetVolumePathNameFunction)(LPCSTR, LPSTR, DWORD);
typedef BOOL(WINAPI* GetDiskFreeSpaceExFunction)(LPCSTR, PULARGE_INTEGER, PULARGE_INTEGER, PULARGE_INTEGER);

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

// One migration: where the files come from and go, whether they are
// renamed there, and why one stayed.
struct MoveRun {
    const char* folder;
    const char* dataFolder;  // 0: there is nowhere to move to
    bool renames;
    bool oneVolume;  // both folders on one volume: a copy goes in large blocks
    DataStay* stay;
};

// Whether a refused write is this user's want of rights, which an
// administrator has: the Windows 95 family has no administrator, and there
// the refusal comes from the medium or the share, told without a cause.
static bool UserLacksRights(DWORD error)
{
    return error == ERROR_ACCESS_DENIED && !IsWindows95Family();
}

// The data folder inside `documents`, created when missing; a folder this
// user may not create is told as such.
static bool MakeDataFolder(const char* documents, char* out, unsigned int id, DataStay* stay)
{
    if (!MakePath(out, PATH_BUFFER_SIZE, 0, documents, LoadResString(id), 0))
        return false;
    // Whatever already exists under that name is taken as the data folder.
    if (QueryPath(out) == PathMissing && !OpCreateFolder(out) && UserLacksRights(GetLastError()))
        stay->message = IDS_DATA_DENIED;
    return true;
}

// Whether data files reach `dataFolder` by a rename: on the NT family (whose
// KERNEL32 has MoveFileExA), when it lies on an NTFS volume. FAT writes a rename into another folder as two
// directory entries without a log, and a power cut between them can leave
// the file under no name; there, and on the 95 family, files are copied.
// The volume's root is asked of GetVolumePathNameA, which also knows a
// volume mounted in a folder; NT 4.0 lacks it (it is looked up from 2000
// on only), and the drive's root stands for the volume there.
static bool RenamesInto(const char* dataFolder)
{
    char root[MAX_PATH + 1];
    char fileSystem[16];
    if (IsWindows95Family() || FindKernelFunction("MoveFileExA") == 0)
        return false;
    GetVolumePathNameFunction volumePath = 0;
    if (OsVersion.dwMajorVersion >= 5)
        volumePath = reinterpret_cast<GetVolumePathNameFunction>(FindKernelFunction("GetVolumePathNameA"));
    if (volumePath == 0 || !volumePath(dataFolder, root, sizeof root)) {
        if (dataFolder[0] == 0 || dataFolder[1] != ':')
            return false;
        root[0] = dataFolder[0];
        root[1] = ':';
        root[2] = '\\';
        root[3] = 0;
    }
    root[sizeof root - 1] = 0;
    return GetVolumeInformationA(root, 0, 0, 0, 0, 0, fileSystem, sizeof fileSystem) &&
           lstrcmpiA(fileSystem, "NTFS") == 0;
}

// The whole MB that the volume of `dataFolder` lacks for a file of `size`,
// at least 1, into `amount`; its drive ("C:") into `drive`. False when the
// folder has no drive letter or its free space cannot be read.
static bool MegabytesShort(const char* dataFolder, const FileSize& size, char* drive, char* amount)
{
    char path[PATH_BUFFER_SIZE];
    char root[] = "?:\\";
    ULARGE_INTEGER available, total, free;
    DWORD sectors = 0, bytes = 0, freeClusters = 0, clusters = 0;
    if (dataFolder[0] == 0 || dataFolder[1] != ':')
        return false;
    root[0] = dataFolder[0];
    GetDiskFreeSpaceExFunction freeSpaceEx =
        reinterpret_cast<GetDiskFreeSpaceExFunction>(FindKernelFunction("GetDiskFreeSpaceExA"));
    // The Ex call also reads a volume mounted in a folder.
    if (freeSpaceEx == 0 || !MakePath(path, sizeof path, 0, dataFolder, 0, 0) ||
        !freeSpaceEx(path, &available, &total, &free)) {
        if (!GetDiskFreeSpaceA(root, &sectors, &bytes, &freeClusters, &clusters))
            return false;
        available.QuadPart = static_cast<ULONGLONG>(sectors * bytes) * freeClusters;
    }
    ULARGE_INTEGER needed;
    needed.LowPart = size.low;
    needed.HighPart = size.high;
    ULONGLONG shortBy = needed.QuadPart > available.QuadPart ? needed.QuadPart - available.QuadPart : 1;
    drive[0] = dataFolder[0];
    drive[1] = ':';
    drive[2] = 0;
    wsprintfA(amount, "%lu", static_cast<unsigned long>((shortBy + 0xFFFFF) >> 20));
    return true;
}

// Records why a file stayed, from the `error` that stopped it
// (ERROR_FILE_EXISTS: the data folder holds other bytes under its name),
// unless a cause was recorded before: the first one found is told. Returns
// false, for the caller to return.
static bool Stayed(const MoveRun& run, const char* name, DWORD error, const FileSize& size)
{
    DataStay* stay = run.stay;
    if (stay->message != IDS_DATA_STAYED)
        return false;
    switch (error) {
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
        if (CopyText(stay->subject, sizeof stay->subject, name))
            stay->message = IDS_DATA_IN_USE;
        break;
    case ERROR_ACCESS_DENIED:
        if (UserLacksRights(error))
            stay->message = IDS_DATA_DENIED;
        break;
    case ERROR_FILE_EXISTS:
        if (CopyText(stay->subject, sizeof stay->subject, name))
            stay->message = IDS_DATA_DIFFERS;
        break;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        if (MegabytesShort(run.dataFolder, size, stay->subject, stay->amount))
            stay->message = IDS_DATA_NO_ROOM;
        break;
    default:
        break;
    }
    return false;
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
// it is held; `error`, why the source could not be held (a program that
// held it for more than a moment).
static Destination CompareFiles(const char* source, const char* destination,
                                FileSize* sourceSize, DWORD* error)
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

    HANDLE held = OpenWhenFree(source, GENERIC_READ, 0, error);
    if (held == INVALID_HANDLE_VALUE)
        return CannotTell;
    Destination result = CannotTell;
    sourceSize->low = GetFileSize(held, &sourceSize->high);
    bool sized = sourceSize->low != INVALID_FILE_SIZE || GetLastError() == NO_ERROR;
    HANDLE other = OpenToCompare(destination);
    DWORD destinationError = GetLastError();
    if (other != INVALID_HANDLE_VALUE) {
        CloseHandle(other);
        result = DestinationOther;
    } else if (destinationError == ERROR_FILE_NOT_FOUND || destinationError == ERROR_PATH_NOT_FOUND) {
        result = DestinationMissing;
    }
    // A copy can only be checked against a size that was read.
    if (!sized && result == DestinationMissing)
        result = CannotTell;
    CloseHandle(held);
    if (destinationError == ERROR_SHARING_VIOLATION) {
        other = OpenToCompare(destination);
        if (other != INVALID_HANDLE_VALUE) {
            CloseHandle(other);
            result = DestinationSame;
        }
    }
    return result;
}

// Copies `source` to `temp` (in large blocks `inBlocks`), checks the copy's
// size and flushes it. The copy is left writable, since only a writable file
// can be flushed; the source's attributes, which the destination takes at
// the end, are returned in `attributes`. NO_ERROR, or the error that stopped
// it (the copy's own where it failed) with `temp` removed.
static DWORD CopyComplete(const char* source, const char* temp, const FileSize& sourceSize, bool inBlocks,
                          DWORD* attributes)
{
    DWORD error = NO_ERROR;
    DWORD copied = 0;
    if (QueryPath(source, attributes) != PathFile)
        return ERROR_FILE_NOT_FOUND;
    error = OpCopy(source, temp, inBlocks);
    if (error == NO_ERROR &&
        (QueryPath(temp, &copied) != PathFile ||
         ((copied & FILE_ATTRIBUTE_READONLY) && !OpSetAttributes(temp, copied & ~FILE_ATTRIBUTE_READONLY)) ||
         !FlushFileAt(temp, &sourceSize, true)))
        error = ERROR_WRITE_FAULT;
    if (error != NO_ERROR)
        RemoveFile(temp);
    return error;
}

// Moves one file. True when nothing of it stays behind: it was moved, the
// data folder already held it, or there is no such file.
static bool MoveDataFile(const MoveRun& run, const char* name)
{
    const char* folder = run.folder;
    const char* dataFolder = run.dataFolder;
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
    DWORD error = NO_ERROR;
    switch (CompareFiles(source, destination, &sourceSize, &error)) {
    case DestinationSame:
        return true;
    case DestinationOther:
        // The data folder's copy wins. The installation's goes only when it
        // is the same data; different data (a copy the user went on using
        // after going back to an older version) is never deleted: the user
        // is told to choose, since no later run can.
        switch (CompareContent(source, destination)) {
        case SameContent:
            return RemoveFile(source);
        case OtherContent:
            return Stayed(run, name, ERROR_FILE_EXISTS, sourceSize);
        default:
            return false;
        }
    case DestinationMissing:
        break;
    default:
        return Stayed(run, name, error, sourceSize);
    }
    // A rename never overwrites: a file that appeared meanwhile stops it.
    if (run.renames) {
        if (OpMoveOnVolume(source, destination))
            return true;
        error = GetLastError();
        if (error != ERROR_NOT_SAME_DEVICE)
            return Stayed(run, name, error, sourceSize);
    }
    DWORD attributes = 0;
    error = CopyComplete(source, temp, sourceSize, run.oneVolume, &attributes);
    if (error != NO_ERROR)
        return Stayed(run, name, error, sourceSize);
    if (!RenameWhenFree(temp, destination)) {
        error = GetLastError();
        RemoveFile(temp);
        return Stayed(run, name, error, sourceSize);
    }
    // The new name must be on the disk before the source goes: a file system
    // that writes its directory back in any order (FAT) could otherwise keep
    // the delete and lose the rename. Flushing the renamed file writes its
    // directory entry.
    bool named = FlushFileAt(destination, 0, true);
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

bool MigrateDataFiles(const char* folder, char* dataFolder, DataStay* stay)
{
    char documents[PATH_BUFFER_SIZE];
    char pattern[PATH_BUFFER_SIZE];
    char temp[PATH_BUFFER_SIZE];
    dataFolder[0] = 0;
    stay->message = IDS_DATA_STAYED;
    stay->subject[0] = 0;
    stay->amount[0] = 0;
    DocumentsLookup lookup = LookUpDocumentsFolder(documents);
    if (lookup == NoLookup)
        return true;
    MoveRun run = { folder, 0, false, false, stay };
    if (lookup == LookupFound) {
        if (!MakeDataFolder(documents, dataFolder, IDS_DATA_FOLDER, stay))
            CopyText(dataFolder, PATH_BUFFER_SIZE, documents);  // named in the warning
        else if (QueryPath(dataFolder) == PathFolder)
            run.dataFolder = dataFolder;
    }
    if (run.dataFolder != 0) {
        run.renames = RenamesInto(run.dataFolder);
        run.oneVolume = OnOneVolume(folder, run.dataFolder);
        // A temporary file left by a stopped run is never a user's file.
        if (MakePath(temp, sizeof temp, 0, run.dataFolder, MOVE_TEMP_FILE, 0))
            RemoveFile(temp);
    }

    bool complete = MoveDataFile(run, DATABASE_FILE);
    complete = MoveDataFile(run, CHANGE_LOG_FILE) && complete;

    if (!MakePath(pattern, sizeof pattern, 0, folder, LIST_FILE_PATTERN, 0))
        return false;
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA(pattern, &entry);
    if (search == INVALID_HANDLE_VALUE)
        return complete;
    // Each file is moved while the search is open; the search walks on.
    do {
        complete = MoveDataFile(run, ReachableName(folder, entry)) && complete;
    } while (FindNextFileA(search, &entry));
    FindClose(search);
    return complete;
}
