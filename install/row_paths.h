// The paths of one row of the plan (its staged copy, its target, the
// set-aside names of the old target), and the
// set-aside copies that the replacement of a target leaves beside it.
#ifndef INSTALL_ROW_PATHS_H
#define INSTALL_ROW_PATHS_H

#include "common/path_helpers.h"
#include "install/run_folders.h"
#include "install/staged_files.h"

struct RowPaths {
    char staged[PATH_BUFFER_SIZE];        // the staged file's copy in the copy folder
    char target[PATH_BUFFER_SIZE];
    char targetFolder[PATH_BUFFER_SIZE];  // the folder that holds the target
    char setAside[PATH_BUFFER_SIZE];      // the name the old target takes
};

// Fills `paths` for `row`, the set-aside name the first of its names
// (".old"). False when a path does not fit a file call.
bool MakeRowPaths(const StagedFile& row, const GroupFolders& folders, RowPaths* paths);

// MakeRowPaths for a step of the run: a path that does not fit fails it with
// IDS_FOLDER_TOO_LONG, naming the folder as the user knows it.
bool RowPathsFit(const StagedFile& row, const GroupFolders& folders, RowPaths* paths, InstallFailure* failure);

// RowPathsFit for the row `at` of a plan; a row past MAX_PLAN_ROWS, which
// the run's records of its rows cannot hold, fails with IDS_IO_ERROR.
bool PlanRowPathsFit(const PlanRow& at, RowPaths* paths, InstallFailure* failure);

// Whether the copy of the row lies beside its target.
bool IsCopyBesideTarget(const GroupFolders& folders);

// Whether the row's copy stands for its target: the main executable gone,
// with no old copy set aside, and only its staged copy beside it (a
// replacement stopped by an earlier version of this updater, which deleted
// before it renamed). The lookup then takes that copy for the main
// executable, so it must neither be written over nor removed. Another
// row's copy stands for nothing: the release holds its content.
bool StandsForTarget(const StagedFile& row, const RowPaths& paths, const GroupFolders& folders);

// Fails with `message` naming the row's copy: beside the target as the user
// knows its folder, in a work folder of ours as the run names it.
bool FailNamingCopy(const StagedFile& row, const RowPaths& paths, const GroupFolders& folders,
                    unsigned int message, InstallFailure* failure);

// Whether an old copy of the row lies under any of its set-aside names
// ("tl002.old", "tl002.ol1" ...).
bool AnySetAside(const StagedFile& row, const RowPaths& paths);

// Makes the first set-aside name that holds no file the row's. A name
// whose old copy could be deleted now is not taken even so: a copy that
// was held when an earlier run left it is also deleted at the restart,
// which must not take this run's old target with it. False when no name
// is free.
bool ChooseSetAside(const StagedFile& row, RowPaths* paths);

// What RemoveSetAside left of a row's old copies, in growing order of
// interest: nothing, a copy that cannot go now (a program image still
// loaded, on the NT family), a copy that a program holds.
enum SetAsideLeft { NoSetAsideLeft, SetAsideLoaded, SetAsideHeld };

// Deletes every old copy of the row: this run's and any that earlier runs
// left, without waiting for a holder. With `atRestart`, one that cannot go
// now is deleted at the next restart (on the Windows 95 family once
// CommitRestartList writes it).
SetAsideLeft RemoveSetAside(const StagedFile& row, const RowPaths& paths, bool atRestart);

#endif
