// What waits for the next restart of Windows: a checked copy that replaces
// its target once no program holds the target any more, and a file of ours
// that cannot be deleted yet. The NT family keeps these in its pending
// renames (MoveFileExA with MOVEFILE_DELAY_UNTIL_REBOOT), which the session
// manager carries out in the order they were asked for before any program
// starts; one whose source is gone fails there and changes nothing. The
// Windows 95 family keeps them in WININIT.INI (common/wininit_file.h), in
// short names; what WININIT.EXE does with a line whose source is gone is
// not documented. So a later run keeps every copy that a line names, and no
// line of ours ever names a copy that is gone.
#ifndef COMMON_RESTART_LIST_H
#define COMMON_RESTART_LIST_H

// Asks that `copy` replace `target` at the next restart. Both lie on one
// volume. On the Windows 95 family the line waits for CommitRestartList.
bool ReplaceAtRestart(const char* copy, const char* target);

// Asks that `path` be deleted at the next restart (on the NT family, for a
// program or DLL still loaded; on the 95 family, for any file held). On the
// Windows 95 family the line waits for CommitRestartList.
bool DeleteAtRestart(const char* path);

// Writes what the Windows 95 family's lines asked for into WININIT.INI.
// True on the NT family, and when there was nothing to write.
bool CommitRestartList();

// Whether a replacement that waits for the restart renames `copy`: a copy
// that must stay until then.
bool IsReplacedAtRestart(const char* copy);

// Whether the restart list can be read whole. Other programs' lines can make
// it longer than a run reads (the NT family's pending renames past 64 KB,
// the 95 family's WININIT.INI past 32 KB), and a program that writes
// WININIT.INI can hold it; then which copies wait for the restart cannot be
// told, nor, on the 95 family, lines added.
bool RestartListReadable();

// Starts a run: forgets lines not written, and finishes a rewrite of
// WININIT.INI that a stopped run left (Windows 95 family).
void StartRestartList();

#endif
