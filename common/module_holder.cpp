// FindLoadingProgram: one snapshot of the running programs, then one of each
// program's modules, compared with the file by path in its long or short
// form (the 95 family names a module by the form it was loaded by).
#include <windows.h>
#include <tlhelp32.h>
#include "common/app_state.h"
#include "common/kernel_functions.h"
#include "common/module_holder.h"
#include "common/path_helpers.h"
#include "common/text.h"

typedef HANDLE(WINAPI* SnapshotFunction)(DWORD flags, DWORD processId);
typedef BOOL(WINAPI* ProcessWalk)(HANDLE snapshot, PROCESSENTRY32* entry);
typedef BOOL(WINAPI* ModuleWalk)(HANDLE snapshot, MODULEENTRY32* entry);

struct Toolhelp {
    SnapshotFunction snapshot;
    ProcessWalk firstProcess;
    ProcessWalk nextProcess;
    ModuleWalk firstModule;
    ModuleWalk nextModule;
};

// The file being looked for, in both its forms, and its name in both.
struct WantedFile {
    bool byName;  // a module of its name is the file, whatever its folder
    const char* path;
    char shortPath[PATH_BUFFER_SIZE];
    char name[PATH_BUFFER_SIZE];
    char shortName[PATH_BUFFER_SIZE];
};

// Toolhelp32's functions, where the system has them: NT 4.0's KERNEL32 has
// none, and a later service pack's would not be asked.
static bool FindToolhelp(Toolhelp* tools)
{
    if (!IsWindows95Family() && OsVersion.dwMajorVersion < 5)
        return false;
    tools->snapshot = reinterpret_cast<SnapshotFunction>(FindKernelFunction("CreateToolhelp32Snapshot"));
    tools->firstProcess = reinterpret_cast<ProcessWalk>(FindKernelFunction("Process32First"));
    tools->nextProcess = reinterpret_cast<ProcessWalk>(FindKernelFunction("Process32Next"));
    tools->firstModule = reinterpret_cast<ModuleWalk>(FindKernelFunction("Module32First"));
    tools->nextModule = reinterpret_cast<ModuleWalk>(FindKernelFunction("Module32Next"));
    return tools->snapshot != 0 && tools->firstProcess != 0 && tools->nextProcess != 0 && tools->firstModule != 0 &&
           tools->nextModule != 0;
}

// The name of `path` without its folder, into `out` (PATH_BUFFER_SIZE);
// empty when it cannot be had.
static void NameOf(const char* path, char* out)
{
    char name[PATH_PART_SIZE];
    char extension[PATH_PART_SIZE];
    if (!SplitPath(path, 0, 0, name, extension) || !MakePath(out, PATH_BUFFER_SIZE, 0, 0, name, extension))
        out[0] = 0;
}

static bool SameName(const char* name, const WantedFile& wanted)
{
    return name[0] != 0 && (lstrcmpiA(name, wanted.name) == 0 || lstrcmpiA(name, wanted.shortName) == 0);
}

// Whether the module at `modulePath` is the wanted file: the same path in
// either form, or a path of the same name whose short form is the file's.
static bool IsWantedFile(const char* modulePath, const WantedFile& wanted)
{
    char name[PATH_BUFFER_SIZE];
    char shortPath[PATH_BUFFER_SIZE];
    if (lstrcmpiA(modulePath, wanted.path) == 0 || lstrcmpiA(modulePath, wanted.shortPath) == 0)
        return true;
    NameOf(modulePath, name);
    if (!SameName(name, wanted))
        return false;
    if (wanted.byName)
        return true;
    DWORD length = GetShortPathNameA(modulePath, shortPath, sizeof shortPath);
    return length != 0 && length < sizeof shortPath && lstrcmpiA(shortPath, wanted.shortPath) == 0;
}

// Whether the program `processId` has the wanted file loaded; `listed`
// tells whether its modules could be listed at all (a program that is just
// starting has none yet).
static bool LoadsWantedFile(const Toolhelp& tools, DWORD processId, const WantedFile& wanted, bool* listed)
{
    bool found = false;
    MODULEENTRY32 module;
    HANDLE modules = tools.snapshot(TH32CS_SNAPMODULE, processId);
    // A program that loads or unloads a module meanwhile makes the snapshot
    // fail with ERROR_BAD_LENGTH; it is asked once more.
    if (modules == INVALID_HANDLE_VALUE && GetLastError() == ERROR_BAD_LENGTH)
        modules = tools.snapshot(TH32CS_SNAPMODULE, processId);
    *listed = false;
    if (modules == INVALID_HANDLE_VALUE)
        return false;
    ClearBytes(&module, sizeof module);
    module.dwSize = sizeof module;
    *listed = tools.firstModule(modules, &module) != FALSE;
    for (BOOL more = *listed; more && !found; more = tools.nextModule(modules, &module))
        found = IsWantedFile(module.szExePath, wanted);
    CloseHandle(modules);
    return found;
}

ModuleUse FindLoadingProgram(const char* file, bool byName, char* program, unsigned int programSize)
{
    Toolhelp tools;
    WantedFile wanted;
    PROCESSENTRY32 process;
    program[0] = 0;
    if (!FindToolhelp(&tools))
        return ModuleUnknown;
    wanted.byName = byName;
    wanted.path = file;
    DWORD length = GetShortPathNameA(file, wanted.shortPath, sizeof wanted.shortPath);
    if (length == 0 || length >= sizeof wanted.shortPath)
        CopyText(wanted.shortPath, sizeof wanted.shortPath, file);
    NameOf(wanted.path, wanted.name);
    NameOf(wanted.shortPath, wanted.shortName);

    HANDLE processes = tools.snapshot(TH32CS_SNAPPROCESS, 0);
    if (processes == INVALID_HANDLE_VALUE)
        return ModuleUnknown;
    ModuleUse use = ModuleNotLoaded;
    DWORD self = GetCurrentProcessId();
    bool seenSelf = false;
    ClearBytes(&process, sizeof process);
    process.dwSize = sizeof process;
    for (BOOL more = tools.firstProcess(processes, &process); more && use == ModuleNotLoaded;
         more = tools.nextProcess(processes, &process)) {
        // Process 0 (NT's idle process) would ask for this program's own
        // modules.
        seenSelf = seenSelf || process.th32ProcessID == self;
        if (process.th32ProcessID == 0 || process.th32ProcessID == self)
            continue;
        // The 95 family gives the program file's whole path, NT its name.
        char name[PATH_BUFFER_SIZE];
        NameOf(process.szExeFile, name);
        bool listed;
        if (LoadsWantedFile(tools, process.th32ProcessID, wanted, &listed) || (!listed && SameName(name, wanted))) {
            use = ModuleLoaded;
            if (!CopyText(program, programSize, name))
                program[0] = 0;
        }
    }
    CloseHandle(processes);
    // A walk that ended before this program, or never began, saw only part
    // of the list; one that found the file saw enough.
    return use == ModuleNotLoaded && !seenSelf ? ModuleUnknown : use;
}
