// The staged-file table: every file an update puts in place, grouped by
// destination and platform. The installation, the progress bar and the
// release tool all read this one table.
#ifndef INSTALL_STAGED_FILES_H
#define INSTALL_STAGED_FILES_H

#include <windows.h>
#include "common/path_helpers.h"

// One file: its name in the installed product, relative to the group's
// destination root (a bare name or "IOSUBSYS\" / "Drivers\" and a name), and
// the bare name of its replacement beside the updater.
struct StagedFile {
    char targetName[PATH_BUFFER_SIZE];
    char stagedName[PATH_BUFFER_SIZE];
};

enum DestinationRoot {
    InstallFolder,  // the folder LocateInstallation found
    SystemFolder    // GetSystemDirectoryA
};

struct StagedGroup {
    const StagedFile* rows;
    unsigned int rowCount;
    DestinationRoot root;
    bool advancesProgress;  // only AppGroup moves the progress bar
};

extern const StagedGroup AppGroup;            // every platform, install folder
extern const StagedGroup Win9xHelperGroup;    // Windows 95 family, install folder
extern const StagedGroup Win9xIoDriverGroup;  // Windows 95 family, system folder
extern const StagedGroup Nt4DriverGroup;      // NT family below 5, system folder
extern const StagedGroup Nt5DriverGroup;      // NT family 5 and above, system folder

// Every group of the table, for tools that handle the whole release.
const unsigned int STAGED_GROUP_COUNT = 5;
extern const StagedGroup* const AllStagedGroups[STAGED_GROUP_COUNT];

// Fills the rows of every group with their names. The updater calls it
// before anything else; programs with a C runtime have it done before they
// start.
void FillStagedTable();

// Number of staged files in the whole table.
const unsigned int STAGED_FILE_COUNT = 41;

// The groups a run installs, in installation order, and the most rows they
// hold together.
const unsigned int MAX_PLAN_GROUPS = 3;
const unsigned int MAX_PLAN_ROWS = 40;
struct InstallPlan {
    const StagedGroup* groups[MAX_PLAN_GROUPS];
    unsigned int groupCount;
};

// The names of our own that an installed target takes while its replacement
// takes its place: the staged name with the extension ".old" ("tl002.old"),
// or where an old copy that cannot be deleted yet holds that name (a DLL
// still loaded on the NT family), ".ol1" to ".ol9". False when `index` is
// not below SET_ASIDE_NAME_COUNT or the name does not fit `outSize`.
const unsigned int SET_ASIDE_NAME_COUNT = 10;
bool MakeSetAsideName(char* out, unsigned int outSize, const char* stagedName, unsigned int index);

// The target name of the product's main executable, an AppGroup row.
const char MAIN_EXECUTABLE_NAME[] = "TOLVANE.EXE";

// The AppGroup row whose target is `targetName` (letter case ignored), or 0.
const StagedFile* FindAppRow(const char* targetName);

// Whether `row` is the main executable's, Tolvane's own program.
bool IsMainExecutable(const StagedFile& row);

// Windows 95 family (platform id 1): AppGroup, Win9xHelperGroup,
// Win9xIoDriverGroup. Any other platform id: AppGroup, then Nt4DriverGroup
// below major version 5 or Nt5DriverGroup from 5 on.
InstallPlan GroupsForPlatform(const OSVERSIONINFOA& version);

#endif
