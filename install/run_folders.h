// The folders of one installation run: where the release lies, the two
// destination roots, the work folders of our own where staged copies are
// made, and what each group of the plan copies from and to. Every folder is
// kept in the form that the platform's file installer takes (its short
// form where the long one is too long for it), and every file call of the
// run is made through these forms, so that no path reaches the length
// that the ANSI file calls refuse; messages name the folders as the user
// knows them.
#ifndef INSTALL_RUN_FOLDERS_H
#define INSTALL_RUN_FOLDERS_H

#include "common/path_helpers.h"
#include "install/install_failure.h"
#include "install/staged_files.h"

const unsigned int SYSTEM_FOLDER_SIZE = 516;

struct RunFolders {
    char own[PATH_BUFFER_SIZE];          // the release
    char install[PATH_BUFFER_SIZE];      // the installation folder
    char installWork[PATH_BUFFER_SIZE];  // its work folder, when copies are made there
    char system[PATH_BUFFER_SIZE];       // the system folder
    char systemWork[PATH_BUFFER_SIZE];   // its work folder, for the drivers' copies
    const char* installShown;            // the installation folder as the lookup found it
    char systemShown[SYSTEM_FOLDER_SIZE];
    // Started from the installation folder itself, the release's own files
    // lie beside the targets under the staged names: the copies are made in
    // the work folder there instead.
    bool fromInstallFolder;
};

// Where one group's rows are copied from and to.
struct GroupFolders {
    const char* source;       // the release
    const char* copy;         // where the staged copies are made
    const char* destination;  // the group's root, below which the targets lie
    const char* shown;        // that root as the user knows it
};

// Finds every folder of the run without writing anything (every plan has a
// group in the system folder, for the drivers). False when a folder has no
// form that the copy step takes: IDS_PATH_TOO_LONG naming the release's
// folder, IDS_FOLDER_TOO_LONG naming the installation or system folder;
// IDS_IO_ERROR when a folder cannot be found at all.
bool FindRunFolders(const char* installFolder, RunFolders* run, InstallFailure* failure);

GroupFolders FoldersOf(const RunFolders& run, const StagedGroup& group);

// One row of a plan as a run walks it: the row, its place, and where its
// group copies from and to.
struct PlanRow {
    unsigned int group;   // the group's index in the plan
    unsigned int index;   // the row's index in its group
    unsigned int number;  // the row's index in plan order
    const StagedFile* row;
    GroupFolders folders;
};

// Moves `at` to the plan's first row (false when it has none), or to the
// row after it (false past the last).
bool FirstPlanRow(const InstallPlan& plan, const RunFolders& run, PlanRow* at);
bool NextPlanRow(const InstallPlan& plan, const RunFolders& run, PlanRow* at);

// Makes the work folders of the run, emptying what a stopped run
// left in them. False, having removed them again, when one cannot be made.
bool PrepareWorkFolders(const RunFolders& run);

// Empties and removes the work folders (whatever a failed copy left there
// is this run's own), but for copies that wait for the restart; on the NT
// family the restart removes a folder that holds such a copy.
void RemoveWorkFolders(const RunFolders& run);

#endif
