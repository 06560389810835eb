// Staged files and product trees derived from the updater's own table, and
// runs of the release tool.
#include <windows.h>
#include "common/crc32.h"
#include "install/staged_list.h"
#include "support/scratch_files.h"
#include "support/staged_release.h"
#include "support/updater_process.h"
#include "support/version_fixture.h"

std::string StagedContent(const std::string& stagedName)
{
    std::string content = "staged file " + stagedName + " of release 3.13\r\n";
    // Sizes differ from file to file, so a swapped pair would show.
    content.append(stagedName.size() * 37 + (stagedName[4] - '0') * 101, 'x');
    return content;
}

bool WriteStagedList(const std::string& folder, const std::map<std::string, std::string>& installed)
{
    std::vector<std::string> names;
    std::vector<ListedFile> files;
    for (const StagedGroup* group : AllStagedGroups)
        for (unsigned int i = 0; i < group->rowCount; ++i) {
            std::string name = group->rows[i].stagedName;
            auto given = installed.find(name);
            std::string content = given != installed.end() ? given->second : StagedContent(name);
            names.push_back(name);
            files.push_back(ListedFile{ static_cast<unsigned int>(content.size()),
                                        Crc32Of(content.data(), static_cast<unsigned int>(content.size())) });
        }
    std::vector<const char*> pointers;
    for (const std::string& name : names)
        pointers.push_back(name.c_str());
    unsigned char image[STAGED_LIST_MAX_SIZE];
    unsigned int length = BuildStagedList(image, sizeof image, pointers.data(), files.data(),
                                          static_cast<unsigned int>(files.size()));
    return length != 0 &&
           WriteFileBytes(folder + "\\" + STAGED_LIST_FILE, std::string(reinterpret_cast<char*>(image), length));
}

bool WriteStagedFiles(const std::string& folder)
{
    for (const StagedGroup* group : AllStagedGroups)
        for (unsigned int i = 0; i < group->rowCount; ++i) {
            std::string name = group->rows[i].stagedName;
            if (!WriteFileBytes(folder + "\\" + name, StagedContent(name)))
                return false;
        }
    return WriteStagedList(folder, {});
}

void RemoveStagedFiles(const std::string& folder)
{
    for (const StagedGroup* group : AllStagedGroups)
        for (unsigned int i = 0; i < group->rowCount; ++i)
            DeleteFileA((folder + "\\" + group->rows[i].stagedName).c_str());
    DeleteFileA((folder + "\\" + STAGED_LIST_FILE).c_str());
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

std::string ReleaseToolFolder()
{
    return TestProgramFolder() + "..\\tools\\";
}

DWORD RunReleaseTool(const std::string& arguments, std::string* output)
{
    std::string log = TestProgramFolder() + "release_tool.log";
    SECURITY_ATTRIBUTES inherit = { sizeof inherit, nullptr, TRUE };
    HANDLE file = CreateFileA(log.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                              CREATE_ALWAYS, 0, nullptr);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = file;
    startup.hStdError = file;
    PROCESS_INFORMATION info = {};
    std::string command = "\"" + ReleaseToolFolder() + "release_tool.exe\" " + arguments;
    DWORD code = 999;
    if (CreateProcessA(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                       &startup, &info)) {
        if (WaitForSingleObject(info.hProcess, 60000) == WAIT_OBJECT_0)
            GetExitCodeProcess(info.hProcess, &code);
        else
            TerminateProcess(info.hProcess, 999);
        CloseHandle(info.hThread);
        CloseHandle(info.hProcess);
    }
    CloseHandle(file);
    *output = ReadFileBytes(log);
    // A tool that printed nothing says at least how it ended.
    if (output->empty())
        *output = "(no output; exit code " + std::to_string(code) + ")";
    return code;
}

static const char* const GROUP_FOLDERS[STAGED_GROUP_COUNT] = { "App", "Win9xHelper", "Win9xIoDriver",
                                                               "Nt4Driver", "Nt5Driver" };

static bool SharedTarget(const char* target)
{
    int uses = 0;
    for (const StagedGroup* group : AllStagedGroups)
        for (unsigned int i = 0; i < group->rowCount; ++i)
            uses += lstrcmpiA(group->rows[i].targetName, target) == 0;
    return uses > 1;
}

bool WriteProductTree(const std::string& product, const std::string& mainVersion,
                      std::map<std::string, std::string>* sources)
{
    if (!MakeFolder(product))
        return false;
    for (unsigned int g = 0; g < STAGED_GROUP_COUNT; ++g) {
        const StagedGroup& group = *AllStagedGroups[g];
        for (unsigned int i = 0; i < group.rowCount; ++i) {
            std::string target = group.rows[i].targetName;
            std::string folder = SharedTarget(target.c_str()) ? product + "\\" + GROUP_FOLDERS[g] : product;
            std::string path = folder + "\\" + target;
            if (!MakeFolder(folder) || !MakeFolder(path.substr(0, path.find_last_of('\\'))))
                return false;
            bool written;
            if (target == "TOLVANE.EXE") {
                written = WriteMainExecutable(path, "041104b0", mainVersion, 300000);
            } else {
                std::string content;
                for (int k = 0; k < 200; ++k)
                    content += std::string(GROUP_FOLDERS[g]) + " " + target + " line " +
                               std::to_string(k) + "\r\n";
                written = WriteFileBytes(path, content);
            }
            if (!written)
                return false;
            (*sources)[group.rows[i].stagedName] = path;
        }
    }
    return true;
}

bool StageRelease(const std::string& product, const std::string& release, std::string* said)
{
    std::string arguments = "stage \"" + product + "\" \"" + release + "\"";
#if defined(_WIN64)
    arguments += " --updater \"" + BuiltUpdaterPath() + "\"";
#endif
    return RunReleaseTool(arguments, said) == 0;
}
