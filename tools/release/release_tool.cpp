// Release tool: stages a product build into the updater's folder, with the
// list of the staged files' sizes and CRCs, and checks such a folder. It reads
// the updater's own staged-file table, so which files a release holds is
// written only there.
//
//   release_tool stage <product folder> <output folder> [--compress] [--updater <exe>]
//   release_tool check <folder>
//   release_tool list      (one row a line: group folder, target name, staged name)
//   release_tool --help
// Exit codes: 0 done, 1 a stage or check that failed, 2 a usage error.
//
// The updater staged by default is the shipped 32-bit build, which the build
// copies beside this tool. A target with a folder prefix ("Drivers\TVPKT.SYS")
// is taken from that subfolder of the product folder. Where a group needs its
// own build of a file, the product folder holds it under the group's folder
// name (e.g. "Nt5Driver\Drivers\TVPKT.SYS"); a target name used by two
// groups must come that way.
#include <windows.h>
#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <vector>
#include "common/lead_bytes_init.h"
#include "common/path_helpers.h"
#include "file_helpers.h"
#include "install/staged_files.h"
#include "release_list.h"
#include "szdd.h"
#include "updater_check.h"

namespace {

// Folder names of the groups inside a product folder, in AllStagedGroups order.
const char* const GROUP_FOLDERS[STAGED_GROUP_COUNT] = { "App", "Win9xHelper", "Win9xIoDriver",
                                                         "Nt4Driver", "Nt5Driver" };
const char UPDATER_NAME[] = "TLUPDATE.exe";
const char MAIN_EXECUTABLE[] = "TOLVANE.EXE";
const char RELEASE_VERSION[] = "3, 1, 3, 0";
const char VERSION_QUERY[] = "\\StringFileInfo\\041104b0\\FileVersion";
// Written first into "<output>.partial", so that a later run knows the
// working folder is its own to delete; removed before the folder moves.
const char PARTIAL_MARKER[] = "release_tool.partial";

const int EXIT_FAILED = 1;
const int EXIT_USAGE = 2;

bool Exists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool IsFolder(const std::string& path)
{
    DWORD a = GetFileAttributesA(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool WriteAll(const std::string& path, const std::string& data)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    BOOL ok = data.empty() ||
              WriteFile(file, data.data(), static_cast<DWORD>(data.size()), &written, nullptr);
    BOOL closed = CloseHandle(file);
    return ok && closed && written == data.size();
}

bool IsEmptyFolder(const std::string& path)
{
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA((path + "\\*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE)
        return true;
    bool empty = true;
    do {
        std::string name = entry.cFileName;
        if (name != "." && name != "..")
            empty = false;
    } while (empty && FindNextFileA(search, &entry));
    FindClose(search);
    return empty;
}

std::string Lower(std::string text)
{
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return text;
}

// Target names used by more than one group: these need a per-group source.
std::set<std::string> SharedTargets()
{
    std::map<std::string, int> uses;
    for (const StagedGroup* group : AllStagedGroups)
        for (unsigned int i = 0; i < group->rowCount; ++i)
            ++uses[Lower(group->rows[i].targetName)];
    std::set<std::string> shared;
    for (const auto& entry : uses)
        if (entry.second > 1)
            shared.insert(entry.first);
    return shared;
}

// Finds the product file for one row; empty with `error` set when there is none.
std::string SourceOf(const std::string& product, unsigned int group, const StagedFile& row,
                     const std::set<std::string>& shared, std::string* error)
{
    std::string perGroup = product + "\\" + GROUP_FOLDERS[group] + "\\" + row.targetName;
    if (Exists(perGroup))
        return perGroup;
    if (shared.count(Lower(row.targetName))) {
        *error = std::string("missing product file ") + GROUP_FOLDERS[group] + "\\" +
                 row.targetName + " (the name is used by more than one group)";
        return std::string();
    }
    std::string plain = product + "\\" + row.targetName;
    if (!Exists(plain) || IsFolder(plain)) {
        *error = std::string("missing product file ") + row.targetName;
        return std::string();
    }
    return plain;
}

// The output folder without trailing separators, so that "<output>.partial"
// lies beside it ("C:\\" and the like are left as they are). A separator is
// judged by the last character, since a trail byte can equal '\'.
std::string TrimSeparators(std::string path)
{
    while (path.size() > 3 && EndsWithSeparator(path.c_str()))
        path.pop_back();
    return path;
}

int Stage(const std::string& product, const std::string& requestedOutput, bool compress,
          const std::string& updater)
{
    std::string output = TrimSeparators(requestedOutput);
    if (!IsFolder(product)) {
        fprintf(stderr, "error: product folder %s does not exist\n", product.c_str());
        return EXIT_FAILED;
    }
    if (Exists(output) && !(IsFolder(output) && IsEmptyFolder(output))) {
        fprintf(stderr, "error: output folder %s exists and is not empty\n", output.c_str());
        return EXIT_FAILED;
    }
    // Everything is written into a working folder beside the output and moved
    // into place only when complete, so a failed run leaves nothing that
    // looks like a release. A working folder left by an interrupted run of
    // this tool is replaced; one that the tool did not make is not touched.
    std::string work = output + ".partial";
    if (Exists(work)) {
        if (!IsFolder(work) || !Exists(work + "\\" + PARTIAL_MARKER)) {
            fprintf(stderr, "error: %s exists and was not made by release_tool; remove it or stage elsewhere\n",
                    work.c_str());
            return EXIT_FAILED;
        }
        RemoveFolderTree(work);
        if (Exists(work)) {
            fprintf(stderr, "error: cannot clear %s, left by an earlier run\n", work.c_str());
            return EXIT_FAILED;
        }
    }
    if (!CreateDirectoryA(work.c_str(), nullptr) ||
        !WriteAll(work + "\\" + PARTIAL_MARKER, "working folder of release_tool stage\r\n")) {
        fprintf(stderr, "error: cannot create %s\n", work.c_str());
        RemoveFolderTree(work);
        return EXIT_FAILED;
    }

    std::set<std::string> shared = SharedTargets();
    std::vector<std::string> errors;
    std::vector<ListEntry> listed;
    for (unsigned int g = 0; g < STAGED_GROUP_COUNT; ++g) {
        const StagedGroup& group = *AllStagedGroups[g];
        for (unsigned int i = 0; i < group.rowCount; ++i) {
            const StagedFile& row = group.rows[i];
            std::string error;
            std::string source = SourceOf(product, g, row, shared, &error);
            std::string data;
            if (source.empty()) {
                errors.push_back(error);
                continue;
            }
            if (!ReadWholeFile(source, &data)) {
                errors.push_back("cannot read product file " + source);
                continue;
            }
            // Listed as the product file's bytes: what the updater installs.
            ListEntry entry;
            entry.stagedName = row.stagedName;
            if (!DescribeContent(data, &entry.file))
                errors.push_back("product file " + source + " is too large to list");
            listed.push_back(entry);
            if (compress)
                data = SzddCompress(data);
            if (!WriteAll(work + "\\" + row.stagedName, data))
                errors.push_back(std::string("cannot write ") + row.stagedName);
        }
    }
    std::string list;
    if (!StagedListImage(listed, &list) || !WriteAll(work + "\\" + STAGED_LIST_FILE, list))
        errors.push_back(std::string("cannot write the list of staged files ") + STAGED_LIST_FILE);
    std::string updaterData;
    if (updater.empty()) {
        errors.push_back("cannot find the release tool's own folder, where the updater lies");
    } else if (!ReadWholeFile(updater, &updaterData)) {
        errors.push_back("cannot read the updater " + updater);
    } else {
        if (!WriteAll(work + "\\" + UPDATER_NAME, updaterData))
            errors.push_back("cannot write the updater");
        // Staged as asked, but a release with this updater will not pass check.
        for (const std::string& problem : UpdaterProblems(updater, updaterData))
            fprintf(stderr, "warning: the updater %s %s\n", updater.c_str(), problem.c_str());
    }

    if (errors.empty()) {
        if (!DeleteFileA((work + "\\" + PARTIAL_MARKER).c_str()))
            errors.push_back("cannot finish " + work);
        else if (Exists(output) && !RemoveDirectoryA(output.c_str()))
            errors.push_back("cannot replace the empty folder " + output);
        else if (!MoveFileA(work.c_str(), output.c_str()))
            errors.push_back("cannot move the staged folder to " + output);
    }
    if (!errors.empty()) {
        RemoveFolderTree(work);
        for (const std::string& e : errors)
            fprintf(stderr, "error: %s\n", e.c_str());
        return EXIT_FAILED;
    }
    printf("staged %u files%s, their list %s and the updater into %s\n", STAGED_FILE_COUNT,
           compress ? " (compressed)" : "", STAGED_LIST_FILE, output.c_str());
    return 0;
}

// The name as the folder stores it, or empty when absent.
std::string StoredName(const std::string& folder, const std::string& name)
{
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA((folder + "\\" + name).c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE)
        return std::string();
    FindClose(search);
    return entry.cFileName;
}

std::string FileVersionOf(const std::string& path)
{
    std::vector<char> block = VersionBlock(path);
    char* version = nullptr;
    UINT length = 0;
    if (block.empty() ||
        !VerQueryValueA(block.data(), VERSION_QUERY, reinterpret_cast<void**>(&version), &length) ||
        version == nullptr)
        return std::string();
    return version;
}

int Check(const std::string& folder)
{
    std::vector<std::string> problems;
    if (!IsFolder(folder)) {
        printf("%s: not a folder\n", folder.c_str());
        return EXIT_FAILED;
    }
    if (StoredName(folder, UPDATER_NAME).empty()) {
        problems.push_back(std::string("missing the updater ") + UPDATER_NAME);
    } else {
        std::string path = folder + "\\" + UPDATER_NAME, data;
        if (!ReadWholeFile(path, &data))
            problems.push_back(std::string("cannot read the updater ") + UPDATER_NAME);
        else
            for (const std::string& problem : UpdaterProblems(path, data))
                problems.push_back(std::string("the updater ") + UPDATER_NAME + " " + problem);
    }

    std::set<std::string> seen;
    std::string mainStaged;
    for (const StagedGroup* group : AllStagedGroups)
        for (unsigned int i = 0; i < group->rowCount; ++i) {
            const StagedFile& row = group->rows[i];
            if (!seen.insert(Lower(row.stagedName)).second)
                problems.push_back(std::string("two rows share the staged name ") + row.stagedName);
            if (group == &AppGroup && Lower(row.targetName) == Lower(MAIN_EXECUTABLE))
                mainStaged = row.stagedName;
        }

    // Staged files are compared with the list only when it is intact; a
    // missing or damaged list is one problem, not one for every file.
    std::string list;
    bool listIntact = false;
    if (StoredName(folder, STAGED_LIST_FILE).empty())
        problems.push_back(std::string("missing the list of staged files ") + STAGED_LIST_FILE);
    else if (!ReadWholeFile(folder + "\\" + STAGED_LIST_FILE, &list))
        problems.push_back(std::string("cannot read the list of staged files ") + STAGED_LIST_FILE);
    else if (!(listIntact = IsIntactList(list)))
        problems.push_back(std::string("the list of staged files ") + STAGED_LIST_FILE + " is damaged");

    for (const StagedGroup* group : AllStagedGroups)
        for (unsigned int i = 0; i < group->rowCount; ++i) {
            const StagedFile& row = group->rows[i];
            std::string stored = StoredName(folder, row.stagedName);
            if (stored.empty()) {
                problems.push_back(std::string("missing ") + row.stagedName + " (" + row.targetName + ")");
                continue;
            }
            if (stored != row.stagedName)
                problems.push_back("wrong case: " + stored + " should be " + row.stagedName);
            std::string data, expanded;
            std::string path = folder + "\\" + row.stagedName;
            if (!ReadWholeFile(path, &data)) {
                problems.push_back(std::string("cannot read ") + row.stagedName);
                continue;
            }
            bool compressed = IsSzdd(data);
            if (compressed && !SzddExpand(data, &expanded)) {
                problems.push_back(std::string("compressed file does not expand: ") + row.stagedName);
                continue;
            }
            std::string problem;
            if (listIntact)
                problem = ListedContentProblem(list, row.stagedName, compressed ? expanded : data);
            if (!problem.empty())
                problems.push_back(problem);
        }

    if (!mainStaged.empty() && !StoredName(folder, mainStaged).empty()) {
        std::string data, expanded, path = folder + "\\" + mainStaged;
        std::string version;
        bool readable = true;
        if (ReadWholeFile(path, &data) && IsSzdd(data)) {
            // Expanded into a temporary file, since the version functions read files.
            char tempFolder[MAX_PATH], tempFile[MAX_PATH];
            DWORD length = GetTempPathA(MAX_PATH, tempFolder);
            if (length == 0 || length >= MAX_PATH || GetTempFileNameA(tempFolder, "tlv", 0, tempFile) == 0) {
                problems.push_back("cannot make a temporary file to read the version of " + mainStaged);
                readable = false;
            } else {
                // The name is created empty; the expanded copy is written in its place.
                DeleteFileA(tempFile);
                if (SzddExpand(data, &expanded) && WriteAll(tempFile, expanded))
                    version = FileVersionOf(tempFile);
                DeleteFileA(tempFile);
            }
        } else {
            version = FileVersionOf(path);
        }
        if (readable && version != RELEASE_VERSION)
            problems.push_back(std::string("main executable ") + MAIN_EXECUTABLE + " (" + mainStaged +
                               ") has version \"" + version + "\", not \"" + RELEASE_VERSION + "\"");
    }

    for (const std::string& p : problems)
        printf("%s\n", p.c_str());
    if (problems.empty())
        printf("%s: release folder complete (%u staged files, their list and the updater)\n",
               folder.c_str(), STAGED_FILE_COUNT);
    return problems.empty() ? 0 : EXIT_FAILED;
}

int List()
{
    std::set<std::string> shared = SharedTargets();
    for (unsigned int g = 0; g < STAGED_GROUP_COUNT; ++g)
        for (unsigned int i = 0; i < AllStagedGroups[g]->rowCount; ++i) {
            const StagedFile& row = AllStagedGroups[g]->rows[i];
            printf("%s\t%s\t%s\t%s\n", GROUP_FOLDERS[g], row.targetName, row.stagedName,
                   shared.count(Lower(row.targetName)) ? "per-group" : "shared-folder");
        }
    return 0;
}

const char USAGE[] =
    "usage: release_tool stage <product folder> <output folder> [--compress] [--updater <exe>]\n"
    "       release_tool check <folder>\n"
    "       release_tool list\n"
    "       release_tool --help\n";

int Usage()
{
    fputs(USAGE, stderr);
    return EXIT_USAGE;
}

}  // namespace

int main(int argc, char** argv)
{
    // Paths arrive in the ANSI code page and are walked with its lead-byte table.
    InitLeadBytes();
    if (argc == 2 && (std::string(argv[1]) == "--help" || std::string(argv[1]) == "-h")) {
        fputs(USAGE, stdout);
        return 0;
    }
    if (argc == 2 && std::string(argv[1]) == "list")
        return List();
    if (argc < 3)
        return Usage();
    std::string command = argv[1];
    if (command == "check" && argc == 3)
        return Check(argv[2]);
    if (command != "stage" || argc < 4)
        return Usage();
    bool compress = false;
    std::string own = ModuleFolder();
    std::string updater = own.empty() ? std::string() : own + UPDATER_NAME;
    for (int i = 4; i < argc; ++i) {
        std::string option = argv[i];
        if (option == "--compress")
            compress = true;
        else if (option == "--updater" && i + 1 < argc)
            updater = argv[++i];
        else
            return Usage();
    }
    return Stage(argv[2], argv[3], compress, updater);
}
