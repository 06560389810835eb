// Staged test files, derived from the updater's own table.
#include <windows.h>
#include "support/scratch_files.h"
#include "support/staged_release.h"

std::string StagedContent(const std::string& stagedName)
{
    std::string content = "staged file " + stagedName + " of release 3.13\r\n";
    // Sizes differ from file to file, so a swapped pair would show.
    content.append(stagedName.size() * 37 + (stagedName[4] - '0') * 101, 'x');
    return content;
}

bool WriteStagedFiles(const std::string& folder)
{
    for (const StagedGroup* group : AllStagedGroups)
        for (unsigned int i = 0; i < group->rowCount; ++i) {
            std::string name = group->rows[i].stagedName;
            if (!WriteFileBytes(folder + "\\" + name, StagedContent(name)))
                return false;
        }
    return true;
}

void RemoveStagedFiles(const std::string& folder)
{
    for (const StagedGroup* group : AllStagedGroups)
        for (unsigned int i = 0; i < group->rowCount; ++i)
            DeleteFileA((folder + "\\" + group->rows[i].stagedName).c_str());
}

std::vector<PlannedRow> RowsOf(const InstallPlan& plan)
{
    std::vector<PlannedRow> rows;
    for (unsigned int g = 0; g < plan.groupCount; ++g)
        for (unsigned int i = 0; i < plan.groups[g]->rowCount; ++i)
            rows.push_back(PlannedRow{ &plan.groups[g]->rows[i], plan.groups[g] });
    return rows;
}

std::string SystemFolderPath()
{
    char folder[MAX_PATH];
    UINT n = GetSystemDirectoryA(folder, MAX_PATH);
    return std::string(folder, n);
}
