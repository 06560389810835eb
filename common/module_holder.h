// Finding the program that has a file loaded as one of its modules, through
// Toolhelp32. KERNEL32 has it on the 95 family and from Windows 2000 on, not
// on NT 4.0, so it is looked up at run time. A file that a program merely
// holds open (a data file, a copy that a scanner reads) is no module: no
// call of these systems names its holder.
#ifndef COMMON_MODULE_HOLDER_H
#define COMMON_MODULE_HOLDER_H

enum ModuleUse {
    ModuleLoaded,     // a program has it loaded; `program` names it
    ModuleNotLoaded,  // no program that could be asked has it loaded
    ModuleUnknown     // the system cannot tell (NT 4.0, no snapshot to be had)
};

// Whether a program other than this one has `file` loaded; its program
// file's name (without its folder) goes into `program` (capacity
// `programSize`, empty when it does not fit). With `byName`, any module of
// the file's name counts, whatever folder it was loaded from (a drive
// substituted for the folder, a share that names it). A program whose
// modules cannot be listed (another user's, a system process, one that is
// just starting) counts as loading `file` when its own program file has the
// same name: a running program always has its own program file loaded. A
// list of programs without this one tells nothing: ModuleUnknown.
ModuleUse FindLoadingProgram(const char* file, bool byName, char* program, unsigned int programSize);

#endif
