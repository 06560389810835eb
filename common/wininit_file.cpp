// QueueWininitLine, WriteWininitLines, WininitRenames and FinishWininitRewrite.
// The file is read whole into uninitialised data (a WININIT.INI larger than
// the buffer is not rewritten); the rewrite goes through the update's file
// operations, so that every step of it is one a stop can fall between.
#include <windows.h>
#include "common/file_flush.h"
#include "common/file_holder.h"
#include "common/file_ops.h"
#include "common/file_removal.h"
#include "common/path_helpers.h"
#include "common/path_kind.h"
#include "common/text.h"
#include "common/wininit_file.h"

static const char WININIT_NAME[] = "WININIT.INI";
static const char NEW_NAME[] = "WININIT.TLN";  // the rewrite, until it takes the name
static const char OLD_NAME[] = "WININIT.TLO";  // the file it replaces, until it is deleted
static const char RENAME_SECTION[] = "rename";
static const char LINE_END[] = "\r\n";

static const unsigned int WININIT_MAX = 32768;
static const unsigned int QUEUE_MAX = 8192;
static char Image[WININIT_MAX + 1];
static char Rewritten[WININIT_MAX + QUEUE_MAX + sizeof "\r\n[rename]\r\n"];
static char Queue[QUEUE_MAX];

// One line of the file: its bytes [start, end), without the line end.
struct Line {
    unsigned int start;
    unsigned int end;
    unsigned int next;  // where the next line starts
};

static void ReadLine(unsigned int at, unsigned int length, Line* line)
{
    line->start = at;
    while (at < length && Image[at] != '\n')
        ++at;
    line->next = at < length ? at + 1 : at;
    if (at > line->start && Image[at - 1] == '\r')
        --at;
    line->end = at;
}

static unsigned int SkipBlanks(unsigned int at, unsigned int end)
{
    while (at < end && (Image[at] == ' ' || Image[at] == '\t'))
        ++at;
    return at;
}

// Whether the line is a section header; `rename` tells whether of [rename]
// (letter case ignored, as the profile calls ignore it).
static bool IsSectionHeader(const Line& line, bool* rename)
{
    unsigned int at = SkipBlanks(line.start, line.end);
    if (at >= line.end || Image[at] != '[')
        return false;
    ++at;
    unsigned int i = 0;
    while (RENAME_SECTION[i] != 0 && at + i < line.end && (Image[at + i] | 0x20) == RENAME_SECTION[i])
        ++i;
    *rename = RENAME_SECTION[i] == 0 && at + i < line.end && Image[at + i] == ']';
    return true;
}

static bool WininitPath(const char* name, char* out)
{
    char windows[PATH_BUFFER_SIZE];
    UINT length = GetWindowsDirectoryA(windows, sizeof windows);
    return length != 0 && length < sizeof windows && MakePath(out, PATH_BUFFER_SIZE, 0, windows, name, 0) &&
           FitsFileCall(out);
}

// Reads WININIT.INI into Image; `length` 0 when there is none. False when
// it exists and cannot be read whole now.
static bool ReadWininit(const char* path, unsigned int* length)
{
    *length = 0;
    Image[0] = 0;
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, 0, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, 0);
    if (file == INVALID_HANDLE_VALUE)
        return QueryPath(path) == PathMissing;
    DWORD got = 0;
    BOOL read = ReadFile(file, Image, WININIT_MAX + 1, &got, 0);
    CloseHandle(file);
    if (!read || got > WININIT_MAX)
        return false;
    *length = got;
    Image[got] = 0;
    return true;
}

bool QueueWininitLine(const char* key, const char* value)
{
    if (TextLength(Queue) + TextLength(key) + 1 + TextLength(value) + 2 >= QUEUE_MAX)
        return false;
    AppendText(Queue, QUEUE_MAX, key);
    AppendText(Queue, QUEUE_MAX, "=");
    AppendText(Queue, QUEUE_MAX, value);
    AppendText(Queue, QUEUE_MAX, LINE_END);
    return true;
}

void ClearWininitQueue()
{
    Queue[0] = 0;
}

// Appends `count` bytes at `bytes` to the rewrite; it has room for the file
// and the queue.
static void Put(unsigned int* size, const char* bytes, unsigned int count)
{
    for (unsigned int i = 0; i < count; ++i)
        Rewritten[(*size)++] = bytes[i];
}

// Walks the `length` bytes in Image: `insertAt` receives where lines are
// added (before the header that ends the first [rename] section, or at the
// end), `found` whether there is such a section. With `source`, true when a
// [rename] line renames (or deletes) that file.
static bool ScanWininit(unsigned int length, const char* source, unsigned int* insertAt, bool* found)
{
    unsigned int sourceLength = source != 0 ? TextLength(source) : 0;
    bool inside = false;
    *insertAt = length;
    *found = false;
    Line line;
    for (unsigned int at = 0; at < length; at = line.next) {
        ReadLine(at, length, &line);
        bool rename = false;
        if (IsSectionHeader(line, &rename)) {
            if (inside && *insertAt == length)
                *insertAt = line.start;
            if (rename && !*found)
                *found = true;
            inside = rename;
            continue;
        }
        unsigned int from = line.start;
        while (from < line.end && Image[from] != '=')
            ++from;
        if (!inside || source == 0 || from >= line.end)
            continue;
        from = SkipBlanks(from + 1, line.end);
        unsigned int to = line.end;
        while (to > from && (Image[to - 1] == ' ' || Image[to - 1] == '\t'))
            --to;
        if (to - from != sourceLength)
            continue;
        // Compared as text, in place: the line's end is our terminator.
        char kept = Image[to];
        Image[to] = 0;
        bool same = lstrcmpiA(Image + from, source) == 0;
        Image[to] = kept;
        if (same)
            return true;
    }
    return false;
}

// The rewrite of the `length` bytes in Image with the queued lines at the
// end of the first [rename] section; its size.
static unsigned int Rewrite(unsigned int length)
{
    unsigned int insertAt = 0;
    bool found = false;
    ScanWininit(length, 0, &insertAt, &found);
    unsigned int size = 0;
    Put(&size, Image, insertAt);
    // A last line without its end is ended first.
    if (insertAt > 0 && Image[insertAt - 1] != '\n')
        Put(&size, LINE_END, 2);
    if (!found) {
        Put(&size, "[", 1);
        Put(&size, RENAME_SECTION, TextLength(RENAME_SECTION));
        Put(&size, "]", 1);
        Put(&size, LINE_END, 2);
    }
    Put(&size, Queue, TextLength(Queue));
    Put(&size, Image + insertAt, length - insertAt);
    return size;
}

bool WriteWininitLines()
{
    char path[PATH_BUFFER_SIZE];
    char newPath[PATH_BUFFER_SIZE];
    char oldPath[PATH_BUFFER_SIZE];
    if (Queue[0] == 0)
        return true;
    if (!WininitPath(WININIT_NAME, path) || !WininitPath(NEW_NAME, newPath) || !WininitPath(OLD_NAME, oldPath))
        return false;
    FinishWininitRewrite();
    unsigned int length = 0;
    if (!ReadWininit(path, &length))
        return false;
    bool existed = QueryPath(path) == PathFile;
    // A file that a later run could not read back is not written.
    unsigned int size = Rewrite(length);
    if (size > WININIT_MAX || !OpWriteNew(newPath, Rewritten, size)) {
        RemoveFile(newPath);
        return false;
    }
    if (existed && !RenameWhenFree(path, oldPath)) {
        RemoveFile(newPath);
        return false;
    }
    if (!RenameWhenFree(newPath, path)) {
        // The old file goes back under its name; where it cannot, both stay
        // for the next run to finish the rewrite (FinishWininitRewrite).
        if (!existed || RenameWhenFree(oldPath, path))
            RemoveFile(newPath);
        return false;
    }
    // The new name on the disk before the old file goes.
    FlushFileAt(path, 0);
    if (existed)
        RemoveFile(oldPath);
    ClearWininitQueue();
    return true;
}

bool WininitRenames(const char* source)
{
    char path[PATH_BUFFER_SIZE];
    unsigned int length = 0;
    unsigned int insertAt = 0;
    bool found = false;
    // A file that cannot be read may name it: the copy is kept.
    if (!WininitPath(WININIT_NAME, path) || !ReadWininit(path, &length))
        return true;
    return ScanWininit(length, source, &insertAt, &found);
}

bool WininitReadable()
{
    char path[PATH_BUFFER_SIZE];
    unsigned int length = 0;
    if (!WininitPath(WININIT_NAME, path))
        return false;
    if (ReadWininit(path, &length))
        return true;
    return AskHolderAfterWaiting(path) != FileHeld && ReadWininit(path, &length);
}

void FinishWininitRewrite()
{
    char path[PATH_BUFFER_SIZE];
    char newPath[PATH_BUFFER_SIZE];
    char oldPath[PATH_BUFFER_SIZE];
    if (!WininitPath(WININIT_NAME, path) || !WininitPath(NEW_NAME, newPath) || !WininitPath(OLD_NAME, oldPath))
        return;
    // The old file is set aside only once the new one is whole and flushed:
    // with both there and no file under the name, the new one takes it. Any
    // other new file may be cut short, and the file under the name (or none,
    // once a restart has carried it out) is the lasting one.
    if (QueryPath(path) == PathMissing && QueryPath(oldPath) == PathFile && QueryPath(newPath) == PathFile &&
        !OpRename(newPath, path))
        return;
    RemoveFile(newPath);
    RemoveFile(oldPath);
}
