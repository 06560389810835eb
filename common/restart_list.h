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

// Whether the restart list can be read whole: always on the NT family. On
// the Windows 95 family, WININIT.INI can hold more than a run reads (other
// programs' lines), or be held by a program that writes it; then neither
// the copies that wait for the restart can be told nor lines added.
bool RestartListReadable();

// Starts a run: forgets lines not written, and finishes a rewrite of
// WININIT.INI that a stopped run left (Windows 95 family).
void StartRestartList();

#endif
