// Checks that an installation makes before it writes anything, in one pass
// over the plan, so that a failure known in advance never stops it part-way:
// every path fits the file calls, every target can be replaced (no program
// holds it in a way that stops its rename, and this user may replace it),
// every destination folder can be written, and every destination volume has
// room for the plan at its fullest. The targets are asked once more just
// before the first of them is replaced.
#ifndef INSTALL_PLAN_CHECKS_H
#define INSTALL_PLAN_CHECKS_H

#include "install/install_failure.h"
#include "install/run_folders.h"
#include "install/staged_files.h"

// The checks of the plan: with `beforeWriting`, every check, before anything
// is written; without it, once the copies are made and before the first
// target is replaced, every target is asked again whether it can be. False
// with the message that says
// why, and what it names: IDS_FOLDER_TOO_LONG, IDS_FILE_IN_USE (a target
// held without delete sharing, on the Windows 95 family held at all),
// IDS_TOLVANE_RUNNING (the main executable held, or still running),
// IDS_NEED_ADMIN (on the NT family, a folder or target that this user may
// not write), IDS_NO_ROOM (the drive and how many MB more it needs), or
// IDS_IO_ERROR (a missing driver folder, a folder where a file belongs,
// every set-aside name of a target taken). A holder is waited out for up to
// 5 s before it counts. Nothing is kept: a folder is asked whether it takes
// a new file by creating one of ours that the system deletes as it is
// closed, and a read-only main executable loses its attribute for the
// moment it is asked whether it runs.
bool PlanCanRun(const InstallPlan& plan, const RunFolders& run, bool beforeWriting, InstallFailure* failure);

#endif
