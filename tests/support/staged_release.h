// Staged files for tests: every row of the staged-file table written with
// contents of its own into a folder, and checks of what got installed.
#ifndef TESTS_SUPPORT_STAGED_RELEASE_H
#define TESTS_SUPPORT_STAGED_RELEASE_H

#include <string>
#include <vector>
#include "install/staged_files.h"

// Distinct contents for a staged file, recognisable in a failure message.
std::string StagedContent(const std::string& stagedName);

// Writes all 41 staged files into `folder`; false on any failure.
bool WriteStagedFiles(const std::string& folder);
void RemoveStagedFiles(const std::string& folder);

// Every row of the given groups, with the root each installs into.
struct PlannedRow {
    const StagedFile* row;
    const StagedGroup* group;
};
std::vector<PlannedRow> RowsOf(const InstallPlan& plan);

std::string SystemFolderPath();

#endif
