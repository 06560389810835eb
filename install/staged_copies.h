// The first of an installation's two passes: every staged file of the plan
// copied into its copy folder under its staged name, checked against the
// release's list and flushed, before any target is touched; and the removal
// of those copies when the run cannot go on.
#ifndef INSTALL_STAGED_COPIES_H
#define INSTALL_STAGED_COPIES_H

#include <windows.h>
#include "install/install_failure.h"
#include "install/run_folders.h"
#include "install/staged_files.h"

// Copies every row of `plan` in plan order, moving `dialog`'s IDC_PROGRESS
// after each AppGroup row (posted: the copying never waits for the bar).
// `reached` receives how many rows, in plan order, it made ready for their
// copy: whatever lies under their staged names is this run's own.
// False at the first row that fails, with the message that says why:
// IDS_READ_ERROR (the staged file cannot be read to its end), IDS_DAMAGED
// (its content cannot be expanded or differs from the list), IDS_FILE_IN_USE
// (a program still held the fresh copy after 5 s), IDS_IO_ERROR otherwise.
// A program that holds a fresh copy or the copy step's temporary file for
// a moment is waited out.
bool CopyPlan(HWND dialog, const InstallPlan& plan, const RunFolders& run, unsigned int* reached,
              InstallFailure* failure);

// Removes the copies of every row of `plan` from their copy folders, and the
// copy step's temporary files in the installation folder. Of the rows after
// the first `reached`, a copy that stands for the main executable stays.
void RemoveCopies(const InstallPlan& plan, const RunFolders& run, unsigned int reached);

#endif
