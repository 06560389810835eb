// Releases for tests: every row of the staged-file table written with
// contents of its own into a folder, the rows an installation plans, product
// trees for the release tool, and runs of that tool.
#ifndef TESTS_SUPPORT_STAGED_RELEASE_H
#define TESTS_SUPPORT_STAGED_RELEASE_H

#include <windows.h>
#include <map>
#include <string>
#include <vector>
#include "install/staged_files.h"

// Distinct contents for a staged file, recognisable in a failure message.
std::string StagedContent(const std::string& stagedName);

// Writes all 41 staged files and their list into `folder`; false on any
// failure. RemoveStagedFiles removes them again.
bool WriteStagedFiles(const std::string& folder);
void RemoveStagedFiles(const std::string& folder);
// Writes the list of staged files into `folder`: each file with the content
// that `installed` gives for its name, or StagedContent otherwise.
bool WriteStagedList(const std::string& folder, const std::map<std::string, std::string>& installed);

// Every row of the given groups, with the root each installs into.
struct PlannedRow {
    const StagedFile* row;
    const StagedGroup* group;
};
std::vector<PlannedRow> RowsOf(const InstallPlan& plan);

std::string SystemFolderPath();

// Folder of this build's release tool, where the shipped updater that it
// stages by default lies.
std::string ReleaseToolFolder();
// Runs the release tool with `arguments`; its exit code (999 when it did not
// run or end within a minute), with what it printed in `output`.
DWORD RunReleaseTool(const std::string& arguments, std::string* output);

// Writes a 3.13 product tree as the release tool reads it: every target of
// the table, a target used by two groups under each group's folder, the main
// executable a real image of version `mainVersion`. Fills `sources` with the
// product file behind each staged name. False on any failure.
bool WriteProductTree(const std::string& product, const std::string& mainVersion,
                      std::map<std::string, std::string>* sources);

// Stages `product` into `release` with the release tool. The i686 build
// stages the tool's default updater, the shipped one; the x86_64 build stages
// its own updater (--updater), the one this machine can run. False, with the
// tool's output in `said`, when staging fails.
bool StageRelease(const std::string& product, const std::string& release, std::string* said);

#endif
