// What stopped an installation: the message that tells the user why and
// what to do, and what that message names.
#ifndef INSTALL_INSTALL_FAILURE_H
#define INSTALL_INSTALL_FAILURE_H

#include "common/path_helpers.h"

struct InstallFailure {
    unsigned int message;            // string id; 0 while nothing failed
    char subject[PATH_BUFFER_SIZE];  // the file, folder or drive it names
    // What else it names: how many MB more a disk needs, or the program
    // that has the file loaded.
    char detail[PATH_BUFFER_SIZE];
};

// Records `message` naming `subject` (none when 0; the subject is left out
// when it does not fit). Returns false, for the caller to return.
bool Fail(InstallFailure* failure, unsigned int message, const char* subject = 0);

// Records `message` naming the file or folder `name` below `root`, as the
// user knows them (nothing, should the two not fit a path buffer).
bool FailNaming(InstallFailure* failure, unsigned int message, const char* root, const char* name);

// Records that another program holds the file `name` below `root`, found at
// `path`: IDS_FILE_IN_USE naming it, or IDS_FILE_IN_USE_BY naming also the
// program that has it loaded, where the system can tell.
bool FailNamingHeld(InstallFailure* failure, const char* root, const char* name, const char* path);

#endif
