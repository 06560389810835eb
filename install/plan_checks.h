// Checks that an installation makes before it writes anything, in one pass
// over the plan, so that a failure known in advance never stops it part-way:
// every path fits the file calls, every target can be replaced (now, or at
// the restart where another program holds it; Tolvane itself must not run,
// and this user may replace it), every destination folder can be written,
// and every destination volume has room for the plan at its fullest.
#ifndef INSTALL_PLAN_CHECKS_H
#define INSTALL_PLAN_CHECKS_H

#include "common/file_holder.h"
#include "install/install_failure.h"
#include "install/row_paths.h"
#include "install/run_folders.h"
#include "install/staged_files.h"

// Every check, before anything is written. False with the message that says
// why, and what it names: IDS_FOLDER_TOO_LONG, IDS_TOLVANE_RUNNING (the main
// executable held, or still running), IDS_NEED_ADMIN (on the NT family, a
// folder or target that this user may not write), IDS_NO_ROOM (the drive
// and how many MB more it needs), or IDS_IO_ERROR (a missing driver folder,
// a folder where a file belongs, every set-aside name of a target taken). A
// holder of the main executable is waited out for up to 5 s before it
// counts; another program's hold on any other target is no failure, and
// `heldBefore` (MAX_PLAN_ROWS entries, in plan order) tells which targets a
// program held. A row that an earlier run left to the restart is not asked
// again. Nothing is
// kept: a folder is asked whether it takes a new file by creating one of
// ours that the system deletes as it is closed, and a read-only main
// executable loses its attribute for the moment it is asked whether it
// runs.
bool PlanCanRun(const InstallPlan& plan, const RunFolders& run, bool* heldBefore, InstallFailure* failure);

// What stops the row's target from being replaced now, given `answer` to
// whether a program holds it: 0 nothing, IDS_FILE_IN_USE another program
// (the row can wait for the restart), IDS_TOLVANE_RUNNING Tolvane itself,
// IDS_NEED_ADMIN this user's rights, IDS_IO_ERROR anything else.
unsigned int TargetCanBeReplaced(const StagedFile& row, const RowPaths& paths, HolderAnswer answer);

// Whether Tolvane may run from its main executable at `path`: a program
// has a module of its name loaded, or the system cannot tell (NT 4.0).
bool TolvaneLoads(const char* path);

#endif
